#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "TreeSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using Slot = test::RecordingLog::Slot;
namespace msg = sc::msg;

// Prefix form of a subtree: (token left right), "_" for a missing left operand.
template <typename T> std::string shape(const sl::ETNode<T>* p, td::UINT4 nVars)
{
    if (!p)
        return "_";
    const sl::Token<T>& t = *p->pToken;
    std::string s;
    if (t.type == C::SYMBOL)
    {
        if (t.symbolOrigin == sc::SymbolOrigin::ParentModel)
            s = "m" + std::to_string(t.index);
        else
            s = t.index < nVars ? "v" + std::to_string(t.index) : "p" + std::to_string(t.index - nVars);
    }
    else if (t.isNumber())
        s = sl::ExpressionTree<T>::numberText(t.value, t.type).c_str();
    else
        s = sl::Token<T>::printName(t.type == C::FUNCTION ? t.functionID() : t.type);
    if (!p->pLeftNode && !p->pRightNode)
        return s;
    s = "(" + s + " " + shape(p->pLeftNode, nVars);
    if (p->pRightNode)
        s += " " + shape(p->pRightNode, nVars);
    return s + ")";
}

using namespace test::realTokens;

TEST(TreeBuild, PrecedenceAssociativityAndCalls)
{
    struct Case
    {
        std::vector<K> tokens;
        const char* shape;
    } cases[] = {
        {{v(0), o(C::SUB), v(1), o(C::SUB), v(2)}, "(- (- v0 v1) v2)"},
        {{v(0), o(C::POW), v(1), o(C::POW), v(2)}, "(^ (^ v0 v1) v2)"},
        {{v(0), o(C::ADD), v(1), o(C::MUL), v(2), o(C::GREATER), p(0), o(C::LOGIC_AND), p(1)},
         "(and (> (+ v0 (* v1 v2)) p0) p1)"},
        {{v(0), o(C::LOGIC_OR), v(1), o(C::LOGIC_AND), v(2), o(C::EQUAL), p(0)}, "(or v0 (and v1 (== v2 p0)))"},
        {{o(C::LOGIC_NEGATION), v(0), o(C::GREATER), v(1)}, "(> (not v0) v1)"},
        {{o(C::LOGIC_NEGATION), lp, v(0), o(C::GREATER), v(1), rp}, "(not (> v0 v1))"},
        {{o(C::LOGIC_NEGATION), lp, f(C::SIN), lp, v(0), rp, rp}, "(not (sin v0))"},
        {{v(0), o(C::MUL), o(C::LOGIC_NEGATION), v(1)}, "(* v0 (not v1))"},
        {{o(C::ADD), v(0)}, "v0"},
        {{lp, o(C::ADD), v(0), rp}, "v0"},
        {{f(C::SIN), lp, o(C::ADD), v(0), rp}, "(sin v0)"},
        // A not right after a call's bracket is the not of the argument.
        {{f(C::SIN), lp, o(C::LOGIC_NEGATION), v(0), rp}, "(sin (not v0))"},
        {{lp, v(0), o(C::ADD), v(1), rp, o(C::MUL), v(2)}, "(* (+ v0 v1) v2)"},
        {{f(C::MIN), lp, v(0), cm, v(1), o(C::ADD), n(1), rp}, "(min v0 (+ v1 1))"},
        {{f(C::MAX), lp, v(0), o(C::MUL), v(1), cm, f(C::SIN), lp, v(2), rp, rp}, "(max (* v0 v1) (sin v2))"},
        {{f(C::ROUND), lp, v(0), cm, n(2), rp}, "(round v0 2)"},
        {{f(C::DISN), lp, v(0), cm, p(0), cm, n(3), rp}, "(disn v0 (p0 _ 3))"},
        {{f(C::ATG2), lp, v(1), cm, v(0), o(C::ADD), n(1), rp}, "(atan2 v1 (+ v0 1))"},
        {{f(C::SIN), lp, lp, v(0), rp, rp, o(C::POW), n(2)}, "(^ (sin v0) 2)"},
        {{Mk::parent(1), o(C::ADD), v(1)}, "(+ m1 v1)"},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(first)) << c.shape;
        EXPECT_EQ(shape(tree.getRoot(), 3), c.shape);
        EXPECT_TRUE(ctx.log.messages.empty()) << c.shape;
    }
}

TEST(TreeBuild, TagsAreSubtreeHeights)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // (x + y * z) - sin(x)
    ASSERT_TRUE(tree.build(ctx.list({v(0), o(C::ADD), v(1), o(C::MUL), v(2), o(C::SUB), f(C::SIN), lp, v(0), rp})));
    const sl::ETNode<double>* root = tree.getRoot();
    EXPECT_EQ(root->leftTag, 3u);
    EXPECT_EQ(root->rightTag, 2u);
    EXPECT_EQ(root->pLeftNode->leftTag, 1u);
    EXPECT_EQ(root->pLeftNode->rightTag, 2u);
    EXPECT_EQ(root->pRightNode->leftTag, 1u);
    EXPECT_EQ(root->pRightNode->rightTag, 0u);
}

struct KeyCase
{
    const char* name;
    std::vector<K> tokens;
    const char* key;
    std::vector<std::string> args;
    Slot slot;
    // A failed argument build is followed by the key of its call.
    const char* followUp = nullptr;
};

std::string expectedText(const KeyCase& c)
{
    std::string s = c.key;
    for (std::size_t i = 0; i < c.args.size(); ++i)
        s += (i == 0 ? ": " : ", ") + c.args[i];
    return s;
}

TEST(TreeBuild, EveryKeyWithItsArgumentsAndChannel)
{
    const KeyCase cases[] = {
        {"parenthesis left open", {f(C::SIN), lp, v(0)}, msg::etFnParamOrParMM, {}, Slot::KeyAt},
        {"operator at the end", {v(0), o(C::ADD)}, msg::etOperatorWoOprnd, {}, Slot::KeyAt},
        {"not before a call", {o(C::LOGIC_NEGATION), f(C::SIN), lp, v(0), rp}, msg::etOperatorWoOprnd, {}, Slot::KeyAt},
        {"symbol after operand", {v(0), v(1)}, msg::etLabelAfterOperand, {"b"}, Slot::Formatted},
        {"literal after operand", {v(0), Mk::real(2.5)}, msg::etConstAfterOperand, {"2.5"}, Slot::Formatted},
        {"s after operand", {v(0), Mk::op(C::LAPLACE)}, msg::etSAfterOprnd, {}, Slot::KeyAt},
        {"bracket after operand", {v(0), lp, v(1), rp}, msg::etOpenParAfterOperand, {}, Slot::KeyAt},
        {"function after operand", {v(0), f(C::SIN), lp, v(1), rp}, msg::etFnAfterOperand, {}, Slot::KeyAt},
        {"operator after not",
         {o(C::LOGIC_NEGATION), o(C::MUL), v(0)},
         msg::etOperAfterUnOp,
         {"*", "not"},
         Slot::Formatted},
        {"operator after operator",
         {v(0), o(C::ADD), o(C::MUL), v(1)},
         msg::etOperAfterOper,
         {"*", "+"},
         Slot::Formatted},
        {"plus after plus", {v(0), o(C::ADD), o(C::ADD), v(1)}, msg::etOperAfterOper, {"+", "+"}, Slot::Formatted},
        {"operator first", {o(C::DIV), v(0)}, msg::etOperAfterOper, {"/", "NA"}, Slot::Formatted},
        {"not as binary", {v(0), o(C::LOGIC_NEGATION), v(1)}, msg::etUnexpUnaryOp, {}, Slot::KeyAt},
        {"not before a statistic",
         {o(C::LOGIC_NEGATION), f(C::AVG), lp, Mk::stat(0), rp},
         msg::etUnexpRn,
         {},
         Slot::KeyAt},
        {"bracket after operator", {lp, v(0), o(C::ADD), rp}, msg::etCloseParAfterOper, {}, Slot::KeyAt},
        {"bracket never opened", {v(0), rp}, msg::etFnNeedsClosePar, {}, Slot::KeyAt},
        {"statistic not closed", {f(C::AVG), lp, Mk::stat(0), cm}, msg::etFnNeedsClosePar, {"avg"}, Slot::Formatted},
        {"comma after not",
         {f(C::MIN), lp, o(C::LOGIC_NEGATION), cm, v(1), rp},
         msg::etCommaNeedsOperator,
         {},
         Slot::KeyAt},
        {"comma outside calls", {v(0), cm, v(1)}, msg::etCommaOutsideFn, {}, Slot::KeyAt},
        {"comma in the second argument",
         {f(C::MIN), lp, v(0), cm, v(1), cm, v(2), rp},
         msg::etCommaOutsideFn,
         {},
         Slot::KeyAt,
         msg::etFnParam2Err},
        {"call inside the second argument",
         {f(C::MIN), lp, v(0), cm, f(C::MAX), lp, v(1), cm, v(2), rp, rp},
         msg::etParMismatch,
         {},
         Slot::KeyAt,
         msg::etFnParam2Err},
        {"comma in a parenthesis", {lp, v(0), cm, v(1), rp}, msg::etFnParamMising, {}, Slot::KeyAt},
        {"comma in a one-argument call", {f(C::SIN), lp, v(0), cm, v(1), rp}, msg::etFnParamNumCommas, {}, Slot::KeyAt},
        {"second argument not closed", {f(C::MIN), lp, v(0), cm, v(1)}, msg::etFnParam2Err, {}, Slot::KeyAt},
        {"end after the comma", {f(C::ROUND), lp, v(0), cm}, msg::etMFnPremEnd, {"round"}, Slot::Formatted},
        {"expression as second argument",
         {f(C::ROUND), lp, v(0), cm, lp},
         msg::etMFnExpOprnd,
         {"round"},
         Slot::Formatted},
        {"variable as second argument",
         {f(C::ROUND), lp, v(0), cm, v(1), rp},
         msg::etMFnNoVar2,
         {"round"},
         Slot::Formatted},
        {"variable as third argument",
         {f(C::DISC), lp, v(0), cm, p(0), cm, v(1), rp},
         msg::etMFnNoVar3,
         {"disc"},
         Slot::Formatted},
        {"end before the second comma", {f(C::DISC), lp, v(0), cm, p(0)}, msg::etExpPremEnd, {}, Slot::KeyAt},
        {"no second comma", {f(C::DISC), lp, v(0), cm, p(0), rp}, msg::etExpCommaInMFn, {"disc"}, Slot::Formatted},
        {"end before the third argument",
         {f(C::DISC), lp, v(0), cm, p(0), cm},
         msg::etExpPremEndFn,
         {"disc"},
         Slot::Formatted},
        {"call not closed", {f(C::ROUND), lp, v(0), cm, n(2), cm, n(3), rp}, msg::etExpectedClosePar, {}, Slot::KeyAt},
        {"function at the end", {f(C::SIN)}, msg::etFnNotPrpFormatted, {"sin"}, Slot::Formatted},
        {"statistic at the end", {f(C::AVG), lp}, msg::etFnNotPrpFormatted, {"avg"}, Slot::Formatted},
        {"function without bracket", {f(C::SIN), v(0)}, msg::etFnNeedsOpenPar, {"sin"}, Slot::Formatted},
        {"generator where a statistic is due",
         {f(C::AVG), lp, Mk::gen(0), rp},
         msg::etFnNotPrpFmt,
         {"avg", "Stat"},
         Slot::Formatted},
        {"statistic where a generator is due",
         {f(C::RND), lp, Mk::stat(0), rp},
         msg::etFnNotPrpFmt,
         {"rnd", "RndGen"},
         Slot::Formatted},
        {"lim at the end", {f(C::LIMIT)}, msg::etLimitFnFormatNotOk, {}, Slot::KeyAt},
        {"lim without bracket", {f(C::LIMIT), v(0)}, msg::etLimiFnWoOpenPar, {}, Slot::KeyAt},
        {"lim without bounds", {f(C::LIMIT), lp, v(0), rp}, msg::etLimitFnNeedsClosePar, {}, Slot::KeyAt},
        {"lim not closed",
         {f(C::LIMIT), lp, v(0), cm, n(0), cm, n(1)},
         msg::etExpectedClosePar,
         {},
         Slot::KeyAt,
         msg::etLimitFnNeedsClosePar},
        {"square bracket", {v(0), Mk::op(C::OPEN_BRACKET)}, msg::etUnexpTokenID, {"29", "["}, Slot::Formatted},
        {"colon", {v(0), Mk::op(C::COLON)}, msg::etUnexpTokenID, {"20", ":"}, Slot::Formatted},
        {"assignment inside", {v(0), o(C::ASSIGN), v(1)}, msg::etUnexpTokenID, {"48", "NEDEF"}, Slot::Formatted},
        {"reversed power inside", {v(0), o(C::REV_POW), v(1)}, msg::etUnexpTokenID, {"55", "NEDEF"}, Slot::Formatted},
        // Empty brackets and calls closed before their arguments.
        {"empty brackets", {lp, rp}, msg::etEmptyExpression, {}, Slot::KeyAt},
        {"empty call", {f(C::SIN), lp, rp}, msg::etFnParamMising, {}, Slot::KeyAt},
        {"min with one argument", {f(C::MIN), lp, v(0), rp}, msg::etFnParamNumCommas, {}, Slot::KeyAt},
        {"round with one argument", {f(C::ROUND), lp, v(0), rp}, msg::etFnParamNumCommas, {}, Slot::KeyAt},
        {"disc with two arguments",
         {f(C::DISC), lp, v(0), cm, p(0), rp},
         msg::etExpCommaInMFn,
         {"disc"},
         Slot::Formatted},
        {"third argument an expression",
         {f(C::DISC), lp, v(0), cm, p(0), cm, lp, n(1), rp, rp},
         msg::etMFnExpOprnd,
         {"disc"},
         Slot::Formatted},
        {"only a plus", {o(C::ADD)}, msg::etEmptyExpression, {}, Slot::KeyAt},
    };
    for (const KeyCase& c : cases)
    {
        test::TreeContext<double> ctx;
        ctx.solver.names = {"a", "b", "c", "pa", "pb", "pc"};
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        auto tree = ctx.tree();
        EXPECT_FALSE(tree.build(first)) << c.name;
        ASSERT_EQ(ctx.log.messages.size(), c.followUp ? 2u : 1u) << c.name;
        if (c.followUp)
        {
            EXPECT_EQ(ctx.log.messages[1].text, c.followUp) << c.name;
        }
        const test::RecordingLog::Message& m = ctx.log.messages[0];
        EXPECT_EQ(m.text, expectedText(c)) << c.name;
        EXPECT_EQ(m.slot, c.slot) << c.name;
        EXPECT_EQ(m.type, sc::ILog::Error) << c.name;
        // Every key stands at the statement's position.
        EXPECT_EQ(m.line, 7u) << c.name;
        EXPECT_EQ(m.col, 3u) << c.name;
    }
}

TEST(TreeBuild, EmptyListAndFailedArgumentBuilds)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    EXPECT_FALSE(tree.build(nullptr));
    EXPECT_EQ(ctx.only().text, msg::etEmptyExpression);

    // The inner reason comes first, then the key of the call.
    ctx.log.messages.clear();
    EXPECT_FALSE(tree.build(ctx.list({f(C::LIMIT), lp, v(0), cm, v(1), cm, n(1), rp})));
    ASSERT_EQ(ctx.log.messages.size(), 2u);
    EXPECT_EQ(ctx.log.messages[0].text, std::string(msg::etMFnNoVar2) + ": lim");
    EXPECT_EQ(ctx.log.messages[1].text, msg::etLimitFnNeedsClosePar);

    ctx.log.messages.clear();
    EXPECT_FALSE(tree.build(ctx.list({f(C::MIN), lp, v(0), cm, rp})));
    ASSERT_EQ(ctx.log.messages.size(), 2u);
    EXPECT_EQ(ctx.log.messages[0].text, msg::etFnParamMising);
    EXPECT_EQ(ctx.log.messages[1].text, msg::etFnParam2Err);
}

TEST(TreeBuild, FailedBuildKeepsTheEarlierRoot)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    ASSERT_TRUE(tree.build(ctx.list({v(0)})));
    sl::ETNode<double>* first = tree.getRoot();
    // A trailing operator must not take the earlier root as its operand.
    EXPECT_FALSE(tree.build(ctx.list({v(1), o(C::ADD)})));
    EXPECT_EQ(tree.getRoot(), first);
    ASSERT_TRUE(tree.build(ctx.list({v(1), o(C::MUL), v(2)})));
    EXPECT_EQ(shape(tree.getRoot(), 3), "(* v1 v2)");
}

TEST(TreeBuild, StatisticsAndGeneratorReferences)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    ASSERT_TRUE(tree.build(ctx.list({f(C::AVG), lp, Mk::stat(2), rp, o(C::ADD), f(C::RND), lp, Mk::gen(1), rp})));
    const sl::ETNode<double>* root = tree.getRoot();
    EXPECT_EQ(root->pLeftNode->pToken->value, 2.0);
    EXPECT_EQ(root->pRightNode->pToken->value, 1.0);
    EXPECT_TRUE(!root->pLeftNode->pLeftNode && !root->pRightNode->pLeftNode);
    // Two instructions and one constant per reference, one for the sum.
    EXPECT_EQ(tree.getNumberOfNodes(), 5u);
    EXPECT_EQ(tree.getNumberOfConstants(), 2u);
}

TEST(TreeBuild, ComplexAtg2TakesOneArgument)
{
    using KC = test::Tok<Cmplx>;
    test::TreeContext<Cmplx> ctx;
    auto tree = ctx.tree();
    EXPECT_FALSE(tree.build(ctx.list({KC::fn(C::ATG2), KC::open(), KC::sym(0), KC::comma(), KC::sym(1), KC::close()})));
    EXPECT_EQ(ctx.only().text, msg::etFnParamNumCommas);
    ctx.log.messages.clear();
    ASSERT_TRUE(tree.build(ctx.list({KC::fn(C::ATG2), KC::open(), KC::sym(0), KC::close()})));
    EXPECT_EQ(shape(tree.getRoot(), 3), "(atan2 v0)");
}

// ---- lim ----

TEST(TreeBuild, LimitRecordIdWordAndCounts)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // lim(x + y, 0, pmax) with pmax the third parameter
    ASSERT_TRUE(tree.build(ctx.list({f(C::LIMIT), lp, v(0), o(C::ADD), v(1), cm, n(0), cm, p(2), rp})));
    sl::FnLimits<double>& limits = ctx.solver.limits;
    ASSERT_EQ(limits.size(), 1u);
    const sl::FnLimit<double>& record = limits[1];
    EXPECT_EQ(record._lowerBound, 0.0);
    EXPECT_EQ(record._lowerParamIndex, static_cast<td::UINT4>(-1));
    EXPECT_EQ(record._upperParamIndex, 2u);
    ASSERT_NE(record._pFnEvaluator, nullptr);
    ctx.solver.var(0) = 1.5;
    ctx.solver.var(1) = 2.25;
    EXPECT_EQ(ctx.evaluate(*record._pFnEvaluator), 3.75);

    const sl::ETNode<double>* root = tree.getRoot();
    EXPECT_TRUE(root->pLeftNode == nullptr && root->pRightNode == nullptr);
    EXPECT_EQ(root->leftTag, 0u);
    EXPECT_EQ(sl::unpackLimitWord(root->pToken->value), 1u);
    EXPECT_EQ(tree.getNumberOfNodes(), 2u);
    EXPECT_EQ(tree.getNumberOfConstants(), 1u);
    EXPECT_EQ(tree.getNumberOfVariableRefs(), 0u);
    EXPECT_EQ(tree.getNumberOfParameterRefs(), 0u);

    // Before the solver's walk the leaf clamps x + y = 3.75 to [0, pmax] as they are then;
    // a NaN bound gives NaN and is noted.
    limits[1]._currentValue = 0.5;
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    for (double pmax : {2.0, 5.0, -1.0})
    {
        ctx.solver.par(2) = pmax;
        EXPECT_EQ(ctx.evaluate(*e), pmax == 5.0 ? 3.75 : pmax) << pmax;
    }
    EXPECT_EQ(limits.takeNaNBound(), 0u);
    ctx.solver.par(2) = std::nan("");
    EXPECT_TRUE(std::isnan(ctx.evaluate(*e)));
    EXPECT_EQ(limits.takeNaNBound(), 1u);
    EXPECT_EQ(limits.takeNaNBound(), 0u);
    EXPECT_EQ(record._currentValue, 0.5);

    // Once the walk holds the limits the leaf reads the record's current value.
    limits.beginWalk();
    EXPECT_EQ(ctx.evaluate(*e), 0.5);
    limits.restart();
    ctx.solver.par(2) = 1.0;
    EXPECT_EQ(ctx.evaluate(*e), 1.0);
}

TEST(TreeBuild, NestedLimitsAndTheLastUsedVariables)
{
    test::TreeContext<double> ctx;
    cnt::FixNumSet used(3), lastUsed;
    used.insert(2);
    ctx.data().pUsedVars = &used;
    ctx.data().pLastUsedVarsForLimits = &lastUsed;
    auto tree = ctx.tree();
    // 2 * lim(lim(z, 0, 1) + x, p0, 3)
    ASSERT_TRUE(tree.build(ctx.list({n(2), o(C::MUL), f(C::LIMIT), lp, f(C::LIMIT), lp, v(2), cm, n(0), cm, n(1), rp,
                                     o(C::ADD), v(0), cm, p(0), cm, n(3), rp})));
    ASSERT_EQ(ctx.solver.limits.size(), 2u);
    EXPECT_EQ(sl::unpackLimitWord(tree.getRoot()->pRightNode->pToken->value), 2u);
    EXPECT_EQ(ctx.solver.limits[2]._lowerParamIndex, 0u);
    EXPECT_EQ(ctx.solver.limits[2]._upperBound, 3.0);
    // The outer argument reads x and the inner limit; only x is a variable of it.
    std::vector<td::UINT4> members;
    for (td::UINT4 m : lastUsed)
        members.push_back(m);
    EXPECT_EQ(members, std::vector<td::UINT4>{0});
    EXPECT_EQ(lastUsed.size(), 3u);
}

TEST(TreeBuild, LimitBoundsMustBeOwnParametersOrLiterals)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    EXPECT_FALSE(tree.build(ctx.list({f(C::LIMIT), lp, v(0), cm, Mk::parent(5), cm, n(1), rp})));
    EXPECT_EQ(ctx.log.messages.front().text, std::string(msg::etMFnNoVar2) + ": lim");
    ctx.log.messages.clear();
    EXPECT_FALSE(tree.build(ctx.list({f(C::LIMIT), lp, v(0), cm, n(0), cm, Mk::sym(6), rp})));
    EXPECT_EQ(ctx.only().text, std::string(msg::etSymbolOutOfIndex) + ": 6");
    EXPECT_EQ(ctx.solver.limits.size(), 0u);
}
} // namespace
