#include <algorithm>
#include <cmath>
#include <list>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "RPNParser.h"
#include "RandomExpressions.h"
#include "SymbolMap.h"
#include "TreeSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using Slot = test::RecordingLog::Slot;
namespace msg = sc::msg;
using namespace test::realTokens;

// ---- random expressions: tokens, tree, evaluator, stack machine ----

// Values in [-2, 2) for the solver (both parts in the complex build) and, when asked,
// real values for its parent.
template <typename T> void randomValues(test::TreeContext<T>& ctx, unsigned seed, bool parent)
{
    std::mt19937 values(seed);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    for (T& x : ctx.solver.values)
    {
        double re = u(values);
        x = test::valueOf<T>(re, u(values));
    }
    if (!parent)
        return;
    for (T& x : ctx.parent.values)
        x = T(u(values));
}

template <typename T> void checkRandomExpressions(unsigned firstSeed, int count)
{
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        test::TreeContext<T> ctx(3, 3);
        randomValues(ctx, seed, true);

        test::RandomExpressions<T> gen(seed, 3, 3, 4);
        int root = gen.generate(6);
        std::vector<sl::Token<T>> tokens;
        gen.tokens(root, tokens);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(ctx.list(tokens))) << "seed " << seed;
        ASSERT_TRUE(gen.matches(root, tree.getRoot())) << "seed " << seed;
        sl::Evaluator<T>* e = ctx.compile(tree);
        ASSERT_NE(e, nullptr) << "seed " << seed;
        EXPECT_EQ(e->getStackDepth(), sl::ExpressionTree<T>::stackNeed(tree.getRoot())) << "seed " << seed;
        T expected = test::evaluateByNodes(ctx, tree.getRoot());
        T actual = ctx.evaluate(*e);
        EXPECT_TRUE(test::sameValue(actual, expected)) << "seed " << seed << ": " << actual << " vs " << expected;
    }
}

TEST(TreeEmit, RandomExpressionsEvaluateAsTheirTrees)
{
    checkRandomExpressions<double>(1, 400);
    checkRandomExpressions<Cmplx>(1001, 400);
}

// A parser over variables x, y, z and parameters a, b, c, bound to a tree context.
template <typename T> struct TextRoad
{
    TextRoad()
    {
        for (td::UINT4 i = 0; i < names.size(); ++i)
            parser.addSymbolName(td::String(names[i].c_str()), i);
        parser.setNumberOfSymbols(3, 3);
        parser.bindSolverData(ctx.data());
    }

    sl::TokenNode<T>* parse(const std::string& text)
    {
        EXPECT_EQ(parser.parse(text.c_str()), C::END_OF_TEXT) << text;
        return parser.getFirstToken();
    }

    const std::vector<std::string> names = {"x", "y", "z", "a", "b", "c"};
    test::TreeContext<T> ctx;
    sl::SymbolMap symbols;
    cnt::PushBackVector<T> values;
    sl::RPNParser<T> parser{symbols, values};
};

// The same from model text through the expression parser.
template <typename T> void checkRandomTexts(unsigned firstSeed, int count)
{
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        TextRoad<T> road;
        test::TreeContext<T>& ctx = road.ctx;
        randomValues(ctx, seed, false);

        test::RandomExpressions<T> gen(seed, 3, 3, 0);
        int root = gen.generate(6);
        std::vector<sl::Token<T>> tokens;
        gen.tokens(root, tokens);
        const std::string text = test::RandomExpressions<T>::text(tokens, road.names);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(road.parse(text))) << text;
        ASSERT_TRUE(gen.matches(root, tree.getRoot())) << text;
        sl::Evaluator<T>* e = ctx.compile(tree);
        ASSERT_NE(e, nullptr) << text;
        T expected = test::evaluateByNodes(ctx, tree.getRoot());
        EXPECT_TRUE(test::sameValue(ctx.evaluate(*e), expected)) << text;
    }
}

TEST(TreeEmit, RandomTextsThroughParserTreeAndMachine)
{
    checkRandomTexts<double>(1, 300);
    checkRandomTexts<Cmplx>(2001, 300);
}

TEST(TreeEmit, PrecedenceFromText)
{
    struct Case
    {
        const char* text;
        const char* byIndex;
        double value;
    } cases[] = {
        {"x - y - z", "(x[0]-x[1])-x[2]", 5.0 - 3.0 - 0.5},
        {"x ^ y ^ z", "(x[0]^x[1])^x[2]", std::pow(std::pow(5.0, 3.0), 0.5)},
        {"not x > y", "not(x[0])>x[1]", 0.0},
        {"not (x > y)", "not(x[0]>x[1])", 0.0},
        {"x + y * z > a and b", "((x[0]+(x[1]*x[2]))>u[0]) and u[1]", 1.0},
        {"-2*x + atg2(y, x)", "(-2*x[0])+atan2(x[1],x[0])", -10.0 + std::atan2(3.0, 5.0)},
        {"min(x, y + 1) - round(z, 0)", "min(x[0],(x[1]+1))-round(x[2],0)", 4.0 - 1.0},
    };
    for (const Case& c : cases)
    {
        TextRoad<double> road;
        road.ctx.solver.values = {5, 3, 0.5, 1, 2, 0};
        auto tree = road.ctx.tree();
        ASSERT_TRUE(tree.build(road.parse(c.text))) << c.text;
        EXPECT_EQ(road.ctx.text(tree, 1), c.byIndex);
        sl::Evaluator<double>* e = road.ctx.compile(tree);
        ASSERT_NE(e, nullptr) << c.text;
        EXPECT_EQ(road.ctx.evaluate(*e), c.value) << c.text;
    }

    // not sin(x): the call takes the bracket and the waiting not finds no operand.
    TextRoad<double> road;
    auto tree = road.ctx.tree();
    EXPECT_FALSE(tree.build(road.parse("not sin(x)")));
    EXPECT_EQ(road.ctx.only().text, msg::etOperatorWoOprnd);
}

// ---- operand order and stack depth ----

TEST(TreeEmit, DeeperOperandFirstThroughReversedTwins)
{
    struct Case
    {
        const char* name;
        std::vector<K> tokens;
        td::UINT2 depth;
        double value;
    } cases[] = {
        // a - (b + c) runs b, c, +, a, -'
        {"reversed minus", {v(0), o(C::SUB), lp, v(1), o(C::ADD), v(2), rp}, 2, 5.0 - (3.0 + 0.5)},
        {"reversed division", {v(0), o(C::DIV), lp, v(1), o(C::ADD), v(2), rp}, 2, 5.0 / 3.5},
        {"reversed power", {v(0), o(C::POW), lp, v(1), o(C::SUB), v(2), rp}, 2, std::pow(5.0, 2.5)},
        {"commuting product", {v(0), o(C::MUL), lp, v(1), o(C::ADD), v(2), rp}, 2, 17.5},
        // Comparisons and calls keep their order.
        {"comparison", {v(0), o(C::GREATER), v(1), o(C::ADD), v(2)}, 3, 1.0},
        {"atan2 order", {f(C::ATG2), lp, v(1), cm, v(0), o(C::ADD), Mk::integer(1), rp}, 3, std::atan2(3.0, 6.0)},
        {"min of a sum", {f(C::MIN), lp, v(2), cm, v(1), o(C::ADD), v(2), rp}, 3, 0.5},
        {"round", {f(C::ROUND), lp, v(2), o(C::MUL), v(1), cm, Mk::integer(0), rp}, 2, 2.0},
        {"disc", {f(C::DISC), lp, v(0), cm, p(0), cm, Mk::integer(2), rp}, 3, 5.0},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        ctx.solver.var(0) = 5;
        ctx.solver.var(1) = 3;
        ctx.solver.var(2) = 0.5;
        ctx.solver.par(0) = 1;
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(first)) << c.name;
        sl::Evaluator<double>* e = ctx.compile(tree);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->getStackDepth(), c.depth) << c.name;
        EXPECT_EQ(ctx.evaluate(*e), c.value) << c.name;
    }
}

TEST(TreeEmit, RealAtg2TakesTheOrdinateFirst)
{
    test::TreeContext<double> ctx;
    ctx.solver.var(0) = 1;
    ctx.solver.var(1) = -1;
    auto tree = ctx.tree();
    ctx.build(tree, {f(C::ATG2), lp, v(0), cm, v(1), rp});
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ctx.evaluate(*e), std::atan2(1.0, -1.0));
}

// x < (x < (x < ... x)) needs one cell per level.
sl::TokenNode<double>* nestedComparisons(test::TreeContext<double>& ctx, int levels)
{
    std::vector<K> tokens;
    for (int i = 0; i < levels; ++i)
        tokens.insert(tokens.end(), {v(0), o(C::LESS), lp});
    tokens.push_back(v(1));
    tokens.insert(tokens.end(), static_cast<std::size_t>(levels), rp);
    return ctx.list(tokens);
}

TEST(TreeEmit, ExpressionsDeeperThanTheMachineAreRefused)
{
    test::TreeContext<double> ctx;
    ctx.solver.var(0) = 1;
    ctx.solver.var(1) = 2;
    auto fits = ctx.tree();
    ASSERT_TRUE(fits.build(nestedComparisons(ctx, 63)));
    EXPECT_EQ(sl::ExpressionTree<double>::stackNeed(fits.getRoot()), 64u);
    sl::Evaluator<double>* e = ctx.compile(fits);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ctx.evaluate(*e), 0.0);

    auto deep = ctx.tree();
    ASSERT_TRUE(deep.build(nestedComparisons(ctx, 64)));
    EXPECT_EQ(ctx.compile(deep), nullptr);
    test::RecordingLog::Message m = ctx.only();
    EXPECT_EQ(m.text, msg::etExprTooDeep);
    EXPECT_EQ(m.slot, Slot::KeyAt);
    EXPECT_EQ(m.line, 7u);
    EXPECT_EQ(m.col, 3u);
}

// ---- refusals at emission ----

TEST(TreeEmit, OperationsWithoutRoutinesAreRefusedByName)
{
    struct Case
    {
        std::vector<K> tokens;
        const char* name;
    } cases[] = {
        {{v(0), o(C::MOD), v(1)}, "%"},
        {{v(0), o(C::BACKSLASH), v(1)}, "\\"},
        {{f(C::DIFF), lp, v(0), cm, Mk::integer(1), rp}, "diff"},
        {{f(C::DISN), lp, v(0), cm, p(0), cm, Mk::integer(3), rp}, "disn"},
        {{Mk::integer(2), o(C::MUL), f(C::INTEGRAL), lp, v(0), rp}, "int"},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(first)) << c.name;
        EXPECT_EQ(ctx.compile(tree), nullptr) << c.name;
        test::RecordingLog::Message m = ctx.only();
        EXPECT_EQ(m.text, std::string(msg::etFnNotSupported) + ": " + c.name);
        EXPECT_EQ(m.slot, Slot::Formatted);
    }

    using KC = test::Tok<Cmplx>;
    test::TreeContext<Cmplx> ctx;
    auto tree = ctx.tree();
    ctx.build(tree, {KC::fn(C::DISC), KC::open(), KC::sym(0), KC::comma(), KC::sym(3), KC::comma(), KC::integer(2),
                     KC::close()});
    EXPECT_EQ(ctx.compile(tree), nullptr);
    EXPECT_EQ(ctx.only().text, std::string(msg::etFnNotSupported) + ": disc");
}

TEST(TreeEmit, SymbolsOutsideTheValueArraysAreRefused)
{
    struct Case
    {
        K token;
        bool withParent;
        const char* index;
    } cases[] = {
        {Mk::sym(6), true, "6"},
        {Mk::sym(static_cast<td::UINT4>(-1)), true, "4294967295"},
        {Mk::parent(4), true, "4"},
        {Mk::parent(0), false, "0"},
    };
    for (const Case& c : cases)
    {
        // Inside an expression, and as the whole expression (a root refused before it is
        // measured).
        for (bool alone : {false, true})
        {
            test::TreeContext<double> ctx;
            if (!c.withParent)
                ctx.solver.pParent = nullptr;
            auto tree = ctx.tree();
            if (alone)
                ctx.build(tree, {c.token});
            else
                ctx.build(tree, {v(0), o(C::ADD), c.token});
            EXPECT_EQ(ctx.compile(tree), nullptr) << c.index;
            EXPECT_EQ(ctx.only().text, std::string(msg::etSymbolOutOfIndex) + ": " + c.index);
        }
    }
}

TEST(TreeEmit, EmptyTreeGivesNoEvaluator)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    EXPECT_EQ(ctx.compile(tree), nullptr);
    EXPECT_TRUE(ctx.log.messages.empty());
}

TEST(TreeEmit, SizesFromAFreshCount)
{
    test::TreeContext<double> ctx;
    ctx.solver.var(0) = 2;
    ctx.solver.var(1) = 3;
    ctx.solver.par(1) = 2;
    auto tree = ctx.tree();
    ctx.build(tree, {v(0), o(C::ADD), v(1)});
    // x0 + x1 * p1 put together by hand, the counts left at those of x0 + x1.
    EXPECT_EQ(tree.getNumberOfNodes(), 3u);
    sl::ETNode<double>* root = tree.getRoot();
    root->pRightNode = tree.newOperator(C::MUL, root->pRightNode, tree.newSymbol(4));
    EXPECT_EQ(tree.getNumberOfNodes(), 3u);
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ctx.evaluate(*e), 8.0);
    EXPECT_EQ(e->getNumberOfInstructions(), 5u);
}

// The operations of e's code in order, the units of their operands skipped.
template <typename T> std::vector<sl::Op> operationsOf(const sl::Evaluator<T>& e)
{
    using O = sl::Op;
    constexpr long cValue = sl::CodeValue<T>::cUnits;
    std::vector<O> ops;
    for (const sl::CodeUnit* pc = e.code(); pc->operation() != O::End; ++pc)
    {
        const O op = pc->operation();
        ops.push_back(op);
        const sl::OpTraits& traits = sl::traitsOf(op);
        pc += traits.consts * cValue + (traits.next != sl::Operand::None ? 1 : 0);
    }
    return ops;
}

// The sin and the cos of one shared part come from one call in the code; each is what
// the library's sin and cos give, bit for bit, small and huge arguments alike. The part
// loaded again and multiplied by a constant is one operation.
template <typename T> void checkSineAndCosine()
{
    test::TreeContext<T> ctx;
    auto tree = ctx.tree(false);
    // sin(x0 * x1) - cos(x0 * x1) / x2, the product shared; cos(x0 * x1) first in the reversed form.
    sl::ETNode<T>* pPart = tree.newOperator(C::MUL, tree.newSymbol(0), tree.newSymbol(1));
    sl::ETNode<T>* pCos = tree.newOperator(C::DIV, tree.newOperator(C::COS, pPart, nullptr), tree.newSymbol(2));
    sl::ETNode<T>* pDifference = tree.newOperator(C::SUB, tree.newOperator(C::SIN, pPart, nullptr), pCos);
    // ... + x0 * x1 * 2.5: the shared part loaded and multiplied by the constant in one operation.
    tree.pushRoot(tree.newOperator(C::ADD, pDifference,
                                   tree.newOperator(C::MUL, pPart, tree.newLiteral(C::REAL_LITERAL, T(2.5)))));
    sl::Evaluator<T>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    // The code holds the call for both, and the load joined to the multiplication (the
    // constant in the units after it), and here to the addition after them.
    const std::vector<sl::Op> ops = operationsOf(*e);
    auto count = [&](std::initializer_list<sl::Op> which) {
        return std::count_if(ops.begin(), ops.end(),
                             [&](sl::Op op) { return std::find(which.begin(), which.end(), op) != which.end(); });
    };
    using O = sl::Op;
    const auto pairs = count({O::SinCos, O::CosSin});
    const auto joined = count({O::TempMulConst, O::AddTempMulConst, O::SubTempMulConst, O::MulConstAddTempMulConst,
                               O::MulConstSubTempMulConst});
    EXPECT_EQ(pairs, 1);
    EXPECT_EQ(joined, 1);
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> small(-10, 10);
    for (int i = 0; i < 20000; ++i)
    {
        const double scale = i % 3 == 0 ? 1e15 : 1.0;
        const T a = test::valueOf<T>(small(rng) * scale, small(rng)), b = test::valueOf<T>(small(rng), small(rng));
        ctx.solver.var(0) = a;
        ctx.solver.var(1) = b;
        ctx.solver.var(2) = T(1.5);
        const T part = a * b;
        const T expected = std::sin(part) - std::cos(part) / T(1.5) + part * T(2.5);
        ASSERT_TRUE(test::sameValue(ctx.evaluate(*e), expected)) << i;
    }
}

TEST(TreeEmit, SineAndCosineOfOnePartFromOneCall)
{
    checkSineAndCosine<double>();
    checkSineAndCosine<Cmplx>();
}

// A difference of two variables is one operation, a top (or a kept part) scaled by a
// constant plus or minus a kept part scaled by another is one, and so are a constant less
// the product of the top and a variable and a cell plus or minus that product; the values
// stay those of the expression.
template <typename T> void checkJoinedSums()
{
    test::TreeContext<T> ctx;
    auto tree = ctx.tree(false);
    // (sin(d)*1.25 + cos(d)*-0.75) * x2 + (3 - (sin(d)*0.5 - cos(d)*2) * x2) + x0 * x1,
    // d = x0 - x1 (one node).
    sl::ETNode<T>* pD = tree.newOperator(C::SUB, tree.newSymbol(0), tree.newSymbol(1));
    sl::ETNode<T>* pSin = tree.newOperator(C::SIN, pD, nullptr);
    sl::ETNode<T>* pCos = tree.newOperator(C::COS, pD, nullptr);
    auto scaled = [&](sl::ETNode<T>* p, double c) {
        return tree.newOperator(C::MUL, p, tree.newLiteral(C::REAL_LITERAL, T(c)));
    };
    sl::ETNode<T>* pFirst = tree.newOperator(C::ADD, scaled(pSin, 1.25), scaled(pCos, -0.75));
    sl::ETNode<T>* pSecond = tree.newOperator(C::SUB, scaled(pSin, 0.5), scaled(pCos, 2.0));
    sl::ETNode<T>* pRest = tree.newOperator(C::SUB, tree.newLiteral(C::REAL_LITERAL, T(3)),
                                            tree.newOperator(C::MUL, pSecond, tree.newSymbol(2)));
    sl::ETNode<T>* pSum = tree.newOperator(C::ADD, tree.newOperator(C::MUL, pFirst, tree.newSymbol(2)), pRest);
    tree.pushRoot(tree.newOperator(C::ADD, pSum, tree.newOperator(C::MUL, tree.newSymbol(0), tree.newSymbol(1))));
    sl::Evaluator<T>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    const std::vector<sl::Op> code = operationsOf(*e);
    const std::set<sl::Op> ops(code.begin(), code.end());
    EXPECT_TRUE(ops.count(sl::Op::PushVarSubVar));
    // Cells for the sine and the cosine only: the pair reads the difference once.
    EXPECT_EQ(e->getNumberOfTemps(), 2u);
    EXPECT_TRUE(ops.count(sl::Op::MulConstAddTempMulConst) || ops.count(sl::Op::MulConstSubTempMulConst));
    EXPECT_TRUE(ops.count(sl::Op::TempMulConstAddTempMulConst) || ops.count(sl::Op::TempMulConstSubTempMulConst));
    EXPECT_TRUE(ops.count(sl::Op::MulVarRevSubConst));
    EXPECT_TRUE(ops.count(sl::Op::MulVarAdd) || ops.count(sl::Op::MulVarSub));
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> d(-4, 4);
    for (int i = 0; i < 2000; ++i)
    {
        const T a = test::valueOf<T>(d(rng), d(rng)), b = test::valueOf<T>(d(rng), d(rng));
        const T c = test::valueOf<T>(d(rng), d(rng));
        ctx.solver.var(0) = a;
        ctx.solver.var(1) = b;
        ctx.solver.var(2) = c;
        const T s = std::sin(a - b), k = std::cos(a - b);
        const T expected = (s * T(1.25) + k * T(-0.75)) * c + (T(3) - (s * T(0.5) - k * T(2.0)) * c) + a * b;
        ASSERT_TRUE(test::sameValue(ctx.evaluate(*e), expected)) << i;
    }
}

TEST(TreeEmit, DifferencesScaledSumsAndNegatedProductsAreJoined)
{
    checkJoinedSums<double>();
    checkJoinedSums<Cmplx>();
}

TEST(TreeEmit, LoneParentSymbolReadsTheParent)
{
    test::TreeContext<double> ctx;
    ctx.parent.var(2) = -7.5;
    ctx.solver.var(2) = 1;
    auto tree = ctx.tree();
    ctx.build(tree, {Mk::parent(2)});
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ctx.evaluate(*e), -7.5);
}

// ---- targets ----

TEST(TreeEmit, TargetsOfVariablesParametersAndTheParent)
{
    struct Case
    {
        td::INT4 target;
        bool parent;
        td::BYTE part;
        td::INT4 index;
        td::BYTE realKind;
        td::BYTE complexKind;
    } cases[] = {
        {2, false, 0, 2, 0, 0}, {4, false, 0, 1, 1, 1}, {5, true, 0, 5, 2, 2},  {1, true, 0, 1, 2, 2},
        {1, false, 1, 1, 0, 5}, {1, false, 2, 1, 0, 6}, {3, false, 1, 0, 1, 7}, {3, false, 2, 0, 1, 8},
        {5, true, 1, 5, 2, 3},  {5, true, 2, 5, 2, 4},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> real;
        auto tree = real.tree();
        real.build(tree, {Mk::integer(1), o(C::ADD), v(0)});
        tree.setTarget(c.target, c.parent, '+');
        tree.setTargetPart(c.part);
        sl::Evaluator<double>* e = real.compile(tree);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->getTargetIndex(), c.index) << c.target;
        EXPECT_EQ(e->getTargetKind(), c.realKind) << c.target;
        EXPECT_EQ(e->getOperator(), '+');

        using KC = test::Tok<Cmplx>;
        test::TreeContext<Cmplx> cmplx;
        auto ctree = cmplx.tree();
        cmplx.build(ctree, {KC::integer(1), KC::op(C::ADD), KC::sym(0)});
        ctree.setTarget(c.target, c.parent, '=');
        ctree.setTargetPart(c.part);
        sl::Evaluator<Cmplx>* ce = cmplx.compile(ctree);
        ASSERT_NE(ce, nullptr);
        EXPECT_EQ(ce->getTargetIndex(), c.index) << c.target;
        EXPECT_EQ(ce->getTargetKind(), c.complexKind) << c.target << " part " << int(c.part);
    }
}

TEST(TreeEmit, ParentTargetExecutesIntoTheParent)
{
    test::TreeContext<double> ctx;
    ctx.solver.var(0) = 2;
    ctx.parent.var(3) = 10;
    auto tree = ctx.tree();
    ctx.build(tree, {v(0), o(C::MUL), Mk::integer(3)});
    tree.setTarget(3, true, '+');
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    sl::CU<double> cu(&ctx.solver);
    EXPECT_TRUE(e->execute(cu));
    EXPECT_EQ(ctx.parent.var(3), 16.0);
}

// ---- conditionals ----

struct Conditional
{
    test::TreeContext<double> ctx;
    std::list<sl::ExpressionTree<double>> parts;

    sl::ExpressionTree<double>* part(std::initializer_list<K> tokens, td::INT4 target = -1)
    {
        sl::ExpressionTree<double>& t = parts.emplace_back(&ctx.data(), nullptr, ctx.nVars(), true);
        ctx.build(t, tokens);
        t.setTarget(target, false, '=');
        return &t;
    }
};

TEST(TreeEmit, IfThenElseTakesTheChosenBranch)
{
    Conditional c;
    c.ctx.solver.var(0) = 2;
    auto tree = c.ctx.tree();
    tree.setType(sl::ExpressionTree<double>::Type::IfThenElse);
    tree.setConditional(c.part({v(0), o(C::GREATER), Mk::integer(1)}), c.part({v(0), o(C::MUL), Mk::integer(10)}, 1),
                        c.part({v(0), o(C::SUB), Mk::integer(10)}, 1));
    sl::Evaluator<double>* e = c.ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->getType(), sl::Evaluator<double>::Type::IfThenElse);
    EXPECT_EQ(e->getThenCount(), 1u);
    EXPECT_EQ(e->getElseCount(), 1u);
    EXPECT_EQ(c.ctx.evaluate(*e), 20.0);
    sl::CU<double> cu(&c.ctx.solver);
    EXPECT_TRUE(e->execute(cu));
    EXPECT_EQ(c.ctx.solver.var(1), 20.0);
    c.ctx.solver.var(0) = 0;
    EXPECT_TRUE(e->execute(cu));
    EXPECT_EQ(c.ctx.solver.var(1), -10.0);

    // Without an else branch the else count is 0 and a false condition does nothing.
    auto noElse = c.ctx.tree();
    noElse.setType(sl::ExpressionTree<double>::Type::IfThenElse);
    noElse.setConditional(c.part({v(0)}), c.part({Mk::integer(4)}, 2), nullptr);
    sl::Evaluator<double>* ne = c.ctx.compile(noElse);
    ASSERT_NE(ne, nullptr);
    EXPECT_EQ(ne->getThenCount(), 1u);
    EXPECT_EQ(ne->getElseCount(), 0u);
    EXPECT_TRUE(ne->execute(cu));
    EXPECT_EQ(c.ctx.solver.var(2), 0.0);
}

TEST(TreeEmit, SwitchTakesTheFirstMatchingCaseOrTheDefault)
{
    Conditional c;
    using Tree = sl::ExpressionTree<double>;
    Tree cases[3] = {c.ctx.tree(), c.ctx.tree(), c.ctx.tree()};
    for (Tree& t : cases)
        t.setType(Tree::Type::SwitchCase);
    cases[0].setConditional(c.part({v(0), o(C::LESS), Mk::integer(0)}), c.part({Mk::integer(-1)}, 1), &cases[1]);
    cases[1].setConditional(c.part({v(0), o(C::EQUAL), Mk::integer(0)}), c.part({p(0)}, 1), &cases[2]);
    cases[2].setConditional(nullptr, c.part({v(0), o(C::ADD), Mk::integer(100)}, 1), nullptr);
    c.ctx.solver.par(0) = 42;
    sl::Evaluator<double>* e = c.ctx.compile(cases[0]);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->getType(), sl::Evaluator<double>::Type::Switch);
    EXPECT_EQ(e->getStatementCount(), 1u);
    ASSERT_NE(e->getNextCase(), nullptr);
    ASSERT_NE(e->getNextCase()->getNextCase(), nullptr);
    EXPECT_EQ(e->getNextCase()->getNextCase()->getCondition(), nullptr);

    sl::CU<double> cu(&c.ctx.solver);
    struct Step
    {
        double x;
        double result;
    } steps[] = {{-3, -1}, {0, 42}, {5, 105}};
    for (const Step& s : steps)
    {
        c.ctx.solver.var(0) = s.x;
        EXPECT_EQ(c.ctx.evaluate(*e), s.result) << s.x;
        EXPECT_TRUE(e->execute(cu));
        EXPECT_EQ(c.ctx.solver.var(1), s.result) << s.x;
    }
}

TEST(TreeEmit, ConditionalPartsPassOnTheirRefusals)
{
    Conditional c;
    auto tree = c.ctx.tree();
    tree.setType(sl::ExpressionTree<double>::Type::IfThenElse);
    tree.setConditional(c.part({v(0)}), c.part({v(0), o(C::MOD), Mk::integer(2)}, 1), nullptr);
    EXPECT_EQ(c.ctx.compile(tree), nullptr);
    EXPECT_EQ(c.ctx.only().text, std::string(msg::etFnNotSupported) + ": %");
}
} // namespace
