#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <list>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "ConditionalDerivatives.h"
#include "Differentiator.h"
#include "FunctionTraits.h"
#include "TreeSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using Slot = test::RecordingLog::Slot;
namespace msg = sc::msg;
using namespace test::realTokens;

template <typename T> using TreeOf = sl::ExpressionTree<T>;
template <typename T> using RulesOf = sl::Differentiator<T>;
template <typename T> using RecordsOf = sl::ConditionalDerivatives<T>;
template <typename T> using NodeOf = sl::ETNode<T>;

// The derivative of a tree by v as text (mode 1); "empty" for a zero derivative.
std::string derivativeText(test::TreeContext<double>& ctx, TreeOf<double>& tree, td::UINT4 v)
{
    TreeOf<double> out = ctx.tree();
    if (!tree.differentiate(out, v))
        return "failed";
    return out.getRoot() ? ctx.text(out, 1) : "empty";
}

// The functions of a build whose derivative rule is one of the given, in table order.
template <typename T> std::vector<td::BYTE> functionsOfRule(std::initializer_list<sl::DiffRule> rules)
{
    std::vector<td::BYTE> ids;
    for (td::BYTE id = C::cFirstFunction; id < sl::ValueTraits<T>::cPushInt; ++id)
    {
        if (std::find(rules.begin(), rules.end(), sl::functionTraits<T>(id).rule) != rules.end())
            ids.push_back(id);
    }
    return ids;
}

TEST(Differentiate, ShapesOfTheRules)
{
    const K e = Mk::make(C::E, 0, std::exp(1.0));
    struct Case
    {
        std::vector<K> tokens;
        td::UINT4 var;
        const char* text;
    } cases[] = {
        {{p(0), o(C::MUL), v(0)}, 0, "u[0]"},
        {{v(0), o(C::MUL), v(0)}, 0, "2*x[0]"},
        {{v(0), o(C::DIV), v(0)}, 0, "0"},
        {{v(1)}, 0, "empty"},
        {{p(0), o(C::ADD), Mk::parent(0)}, 0, "empty"},
        {{f(C::SIN), lp, v(0), rp}, 0, "cos(x[0])"},
        {{f(C::SIN), lp, n(2), o(C::MUL), v(0), rp}, 0, "2*cos(2*x[0])"},
        {{v(0), o(C::POW), n(3)}, 0, "3*(x[0]^2)"},
        {{v(0), o(C::POW), n(2)}, 0, "2*x[0]"},
        {{v(0), o(C::POW), n(1)}, 0, "1"},
        {{n(2), o(C::POW), v(0)}, 0, "0.693147*(2^x[0])"},
        {{e, o(C::POW), lp, n(3), o(C::MUL), v(0), rp}, 0, "3*(e^(3*x[0]))"},
        {{v(0), o(C::SUB), v(1)}, 1, "-1"},
        {{p(0), o(C::DIV), v(0)}, 0, "0-(u[0]/(x[0]^2))"},
        {{f(C::LN), lp, v(0), rp}, 0, "1/x[0]"},
        {{f(C::EXP), lp, v(0), rp}, 0, "exp(x[0])"},
        {{f(C::COS), lp, v(0), rp}, 0, "0-sin(x[0])"},
        {{f(C::SIGN), lp, v(0), rp}, 0, "0"},
        // A parent symbol with the variable's index is a constant.
        {{Mk::parent(0), o(C::MUL), v(0)}, 0, "main_s[0]"},
        {{v(0), o(C::POW), p(0)}, 0, "u[0]*(x[0]^(u[0]-1))"},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        TreeOf<double> tree = ctx.tree();
        ASSERT_TRUE(tree.build(ctx.list(c.tokens))) << c.text;
        EXPECT_EQ(derivativeText(ctx, tree, c.var), c.text);
        EXPECT_TRUE(ctx.log.messages.empty()) << c.text;
    }
}

TEST(Differentiate, LiteralTypesOfTheRules)
{
    test::TreeContext<double> ctx;
    TreeOf<double> tree = ctx.tree();
    ctx.build(tree, {n(2), o(C::POW), v(0)});
    TreeOf<double> out = ctx.tree();
    ASSERT_TRUE(tree.differentiate(out, 0));
    EXPECT_EQ(out.getRoot()->pLeftNode->pToken->type, C::REAL_LITERAL);
    EXPECT_EQ(out.getRoot()->pLeftNode->pToken->value, std::log(2.0));
    TreeOf<double> square = ctx.tree();
    ctx.build(square, {v(0), o(C::POW), n(3)});
    TreeOf<double> dsquare = ctx.tree();
    ASSERT_TRUE(square.differentiate(dsquare, 0));
    EXPECT_EQ(dsquare.getRoot()->pLeftNode->pToken->type, C::INT_LITERAL);
    EXPECT_EQ(dsquare.getRoot()->pRightNode->pRightNode->pToken->type, C::INT_LITERAL);
}

// ---- what has no derivative ----

struct Refusal
{
    const char* name;
    std::function<NodeOf<double>*(TreeOf<double>&)> make;
    const char* entry;
};

// The entries stand at the line of the statement being built (the context's key line 7),
// not at the solver's current line 12.
TEST(Differentiate, WithoutDerivativeTheLogAndTheKey)
{
    const std::string fn = "(7,NLEqs):Function @ cannot be differentiated and thus cannot be used as part of NLEqs!";
    auto fnText = [&fn](const char* name) { return std::string(fn).replace(fn.find('@'), 1, name); };
    auto opText = [](const char* name) {
        return std::string("(7,NLEqs):Differentiation is not defined for operator '") + name + "'";
    };
    // Every function without a derivative, its argument depending in each place it can.
    std::vector<Refusal> cases;
    for (td::BYTE id : functionsOfRule<double>({sl::DiffRule::None}))
    {
        const char* name = sl::Token<double>::printName(id);
        if (sl::functionTraits<double>(id).arity == 1)
        {
            cases.push_back(
                {name, [id](TreeOf<double>& t) { return t.newOperator(id, t.newSymbol(0), nullptr); }, name});
            continue;
        }
        cases.push_back(
            {name,
             [id](TreeOf<double>& t) { return t.newOperator(id, t.newSymbol(0), t.newLiteral(C::INT_LITERAL, 1)); },
             name});
        cases.push_back(
            {name,
             [id](TreeOf<double>& t) { return t.newOperator(id, t.newLiteral(C::INT_LITERAL, 1), t.newSymbol(0)); },
             name});
    }
    ASSERT_FALSE(cases.empty());
    for (const Refusal& c : cases)
    {
        test::TreeContext<double> ctx;
        TreeOf<double> tree = ctx.tree();
        // sin(f(x)): the refusal inside a chain
        tree.pushRoot(tree.newOperator(C::SIN, c.make(tree), nullptr));
        EXPECT_EQ(derivativeText(ctx, tree, 0), "failed") << c.name;
        EXPECT_EQ(std::string(ctx.errorLog.toString().c_str()), fnText(c.entry)) << c.name;
        test::RecordingLog::Message m = ctx.only();
        EXPECT_EQ(m.text, msg::etCantDiff);
        EXPECT_EQ(m.slot, Slot::KeyAt);
        EXPECT_EQ(m.line, 7u);
    }
    for (td::BYTE code : {C::GREATER, C::LESS_EQUAL, C::EQUAL, C::LOGIC_AND, C::MOD})
    {
        test::TreeContext<double> ctx;
        TreeOf<double> tree = ctx.tree();
        tree.pushRoot(tree.newOperator(code, tree.newSymbol(0), tree.newLiteral(C::INT_LITERAL, 1)));
        EXPECT_EQ(derivativeText(ctx, tree, 0), "failed");
        EXPECT_EQ(std::string(ctx.errorLog.toString().c_str()), opText(sl::Token<double>::printName(code)));
        EXPECT_EQ(ctx.only().text, msg::etCantDiff);
    }
    test::TreeContext<double> ctx;
    TreeOf<double> negation = ctx.tree();
    ctx.build(negation, {o(C::LOGIC_NEGATION), v(0)});
    EXPECT_EQ(derivativeText(ctx, negation, 0), "failed");
    EXPECT_EQ(std::string(ctx.errorLog.toString().c_str()), opText("not"));
}

// abs, atg2 and the complex-only functions but conj are not holomorphic: with every other
// function that has no derivative they are refused.
TEST(Differentiate, ComplexFunctionsThatAreNotHolomorphic)
{
    using KC = test::Tok<Cmplx>;
    const std::vector<td::BYTE> refused = functionsOfRule<Cmplx>({sl::DiffRule::None});
    for (td::BYTE id : {C::ABS, C::ATG2, C::REAL, C::IMAG, C::CABS, C::RTOP, C::PTOR})
        EXPECT_NE(std::find(refused.begin(), refused.end(), id), refused.end()) << int(id);
    for (td::BYTE id : refused)
    {
        test::TreeContext<Cmplx> ctx;
        TreeOf<Cmplx> tree = ctx.tree();
        // Calls of one argument as written; statistics, draws and calls of more arguments
        // as nodes.
        const td::BYTE arity = sl::functionTraits<Cmplx>(id).arity;
        if (arity == 1 && !C::takesTokenOperand(id))
            ctx.build(tree, {KC::fn(id), KC::open(), KC::sym(0), KC::close()});
        else
            tree.pushRoot(
                tree.newOperator(id, tree.newSymbol(0), arity > 1 ? tree.newLiteral(C::INT_LITERAL, 1) : nullptr));
        ASSERT_NE(tree.getRoot(), nullptr) << int(id);
        TreeOf<Cmplx> out = ctx.tree();
        EXPECT_FALSE(tree.differentiate(out, 0)) << int(id);
        EXPECT_EQ(out.getRoot(), nullptr);
        std::string expected = std::string("(7,NLEqs):Function ") + sl::Token<Cmplx>::printName(id) +
                               " cannot be differentiated and thus cannot be used as part of NLEqs!";
        EXPECT_EQ(std::string(ctx.errorLog.toString().c_str()), expected);
        EXPECT_EQ(ctx.only().text, msg::etCantDiff);
    }
}

// ---- finite differences ----

// The solver's part of limit functions: current values and derivative values.
template <typename T> void refreshLimits(test::TreeContext<T>& ctx)
{
    sl::FnLimits<T>& limits = ctx.solver.limits;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        sl::FnLimit<T>& l = limits[id];
        double lower = l._lowerParamIndex == static_cast<td::UINT4>(-1)
                           ? l._lowerBound
                           : sl::realPart(ctx.solver.par(l._lowerParamIndex));
        double upper = l._upperParamIndex == static_cast<td::UINT4>(-1)
                           ? l._upperBound
                           : sl::realPart(ctx.solver.par(l._upperParamIndex));
        double value = sl::realPart(ctx.evaluate(*l._pFnEvaluator));
        l._lowerBound = lower;
        l._upperBound = upper;
        l._currentValue = value < lower ? lower : (value > upper ? upper : value);
        for (auto& d : l._derivEvaluators)
            d.value = ctx.evaluate(*d.pEvaluator);
    }
}

template <typename T> struct Probe
{
    test::TreeContext<T>& ctx;
    sl::Evaluator<T>* function = nullptr;
    sl::Evaluator<T>* derivative = nullptr;

    T at()
    {
        refreshLimits(ctx);
        return ctx.evaluate(*function);
    }

    // f(x + h) - f(x - h) over 2h, moving variable v (and its partner with it).
    T central(td::UINT4 v, T h, int partner)
    {
        T x = ctx.solver.var(v);
        auto set = [&](T value) {
            ctx.solver.var(v) = value;
            if (partner >= 0)
                ctx.solver.var(static_cast<td::UINT4>(partner)) = test::valueOf<T>(sl::realPart(value), -imagOf(value));
        };
        set(x + h);
        T up = at();
        set(x - h);
        T down = at();
        set(x);
        return (up - down) / (T(2) * h);
    }

    static double imagOf(const T& v)
    {
        if constexpr (sl::ValueTraits<T>::isComplex)
            return v.imag();
        else
        {
            (void)v;
            return 0.0;
        }
    }
};

template <typename T> double relativeError(const T& a, const T& b)
{
    return std::abs(a - b) / std::max(1.0, std::abs(b));
}

// Compares the compiled derivative by v with central differences; false when the point is
// unfit (not finite, or the difference quotient unsettled).
template <typename T>
bool compareWithDifferences(test::TreeContext<T>& ctx, TreeOf<T>& tree, td::UINT4 v, int partner, double& error)
{
    Probe<T> probe{ctx};
    probe.function = ctx.compile(tree);
    TreeOf<T> out = ctx.tree();
    if (!probe.function || !tree.differentiate(out, v))
        return false;
    probe.derivative = out.getRoot() ? ctx.compile(out) : nullptr;
    T f = probe.at();
    T d = probe.derivative ? ctx.evaluate(*probe.derivative) : T(0);
    if (!std::isfinite(std::abs(f)) || !std::isfinite(std::abs(d)))
        return false;
    const double h = 1e-6 * std::max(1.0, std::abs(ctx.solver.var(v)));
    T fd = probe.central(v, T(h), partner);
    T fd2 = probe.central(v, T(2 * h), partner);
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        // The derivative by z with the partner z* held apart: (d/da - i d/db) / 2.
        const T ih(0.0, h);
        fd = (fd + probe.central(v, ih, partner)) / 2.0;
        fd2 = (fd2 + probe.central(v, T(2.0) * ih, partner)) / 2.0;
    }
    if (!std::isfinite(std::abs(fd)) || relativeError(fd, fd2) > 1e-7)
        return false;
    error = relativeError(d, fd);
    return true;
}

TEST(Differentiate, EveryRuleAgainstDifferences)
{
    // Every function whose derivative has a formula of its own, and sign.
    const std::vector<td::BYTE> functions = functionsOfRule<double>({sl::DiffRule::Chain, sl::DiffRule::Zero});
    struct Case
    {
        std::string name;
        std::vector<K> tokens;
    };
    std::vector<Case> cases;
    // f(0.3 * x + 0.1 * y); acsh needs an argument above 1.
    for (td::BYTE id : functions)
    {
        K offset = Mk::real(id == C::ACSH ? 1.5 : 0.1);
        cases.push_back({sl::Token<double>::printName(id),
                         {f(id), lp, Mk::real(0.3), o(C::MUL), v(0), o(C::ADD), offset, o(C::MUL), v(1), rp}});
    }
    for (td::BYTE code : {C::ADD, C::SUB, C::MUL, C::DIV, C::POW})
    {
        const char* name = sl::Token<double>::printName(code);
        cases.push_back({std::string("x ") + name + " y", {v(0), o(code), v(1)}});
        cases.push_back({std::string("y ") + name + " x", {v(1), o(code), v(0)}});
        cases.push_back({std::string("x ") + name + " x", {v(0), o(code), v(0)}});
        cases.push_back({std::string("sin x ") + name + " p", {f(C::SIN), lp, v(0), rp, o(code), p(0)}});
        cases.push_back({std::string("p ") + name + " sin x", {p(0), o(code), f(C::SIN), lp, v(0), rp}});
        cases.push_back(
            {std::string("sin x ") + name + " exp x", {f(C::SIN), lp, v(0), rp, o(code), f(C::EXP), lp, v(0), rp}});
    }
    cases.push_back({"p ^ (2x)", {p(0), o(C::POW), lp, n(2), o(C::MUL), v(0), rp}});
    cases.push_back({"exp x ^ x", {f(C::EXP), lp, v(0), rp, o(C::POW), v(0)}});
    cases.push_back({"atg2(x, y)", {f(C::ATG2), lp, v(0), cm, v(1), rp}});
    cases.push_back({"atg2(y, x)", {f(C::ATG2), lp, v(1), cm, v(0), rp}});
    cases.push_back({"atg2(-x, y - 2)", {f(C::ATG2), lp, n(0), o(C::SUB), v(0), cm, v(1), o(C::SUB), n(2), rp}});
    cases.push_back(
        {"parent m0 * x + m0 / x", {Mk::parent(0), o(C::MUL), v(0), o(C::ADD), Mk::parent(0), o(C::DIV), v(0)}});
    cases.push_back({"x ^ m0", {v(0), o(C::POW), Mk::parent(0)}});
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        ctx.solver.var(0) = 0.7;
        ctx.solver.var(1) = 1.3;
        ctx.solver.par(0) = 1.9;
        ctx.parent.var(0) = 2.5;
        TreeOf<double> tree = ctx.tree();
        ASSERT_TRUE(tree.build(ctx.list(c.tokens))) << c.name;
        for (td::UINT4 var : {0u, 1u})
        {
            double error = 0;
            ASSERT_TRUE(compareWithDifferences(ctx, tree, var, -1, error)) << c.name << " by " << var;
            EXPECT_LT(error, 1e-6) << c.name << " by " << var;
        }
        EXPECT_TRUE(ctx.log.messages.empty()) << c.name;
    }
}

// Random differentiable compositions, built node by node.
template <typename T> class Compositions
{
public:
    using Node = NodeOf<T>;
    static constexpr bool isComplex = sl::ValueTraits<T>::isComplex;

    Compositions(unsigned seed, TreeOf<T>& tree) : _rng(seed), _tree(tree) {}

    Node* make(int depth)
    {
        if (depth == 0 || pick(4) == 0)
            return leaf();
        if (pick(2) == 0)
        {
            static const td::BYTE ops[] = {C::ADD, C::SUB, C::MUL, C::DIV, C::POW};
            td::BYTE code = ops[pick(5)];
            Node* l = make(depth - 1);
            // Powers mostly by small literals.
            Node* r =
                code == C::POW && pick(2) == 0 ? _tree.newLiteral(C::INT_LITERAL, T(pick(4) + 1)) : make(depth - 1);
            return _tree.newOperator(code, l, r);
        }
        // Every function of one argument that has a derivative, and the real atg2.
        static const std::vector<td::BYTE> ids =
            functionsOfRule<T>({sl::DiffRule::Chain, sl::DiffRule::Zero, sl::DiffRule::Conjugate});
        if constexpr (!isComplex)
        {
            if (pick(6) == 0)
                return _tree.newOperator(C::ATG2, make(depth - 1), make(depth - 1));
        }
        return _tree.newOperator(ids[static_cast<std::size_t>(pick(static_cast<int>(ids.size())))], make(depth - 1),
                                 nullptr);
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(_rng); }

    Node* leaf()
    {
        switch (pick(6))
        {
        case 0:
        case 1:
            // x0, x1 (and in the complex build their partners 1 and 3)
            return _tree.newSymbol(static_cast<td::UINT4>(isComplex ? pick(4) : pick(2)));
        case 2: return _tree.newSymbol(_tree.getNumberOfVariables() + static_cast<td::UINT4>(pick(2)));
        case 3: return _tree.newSymbol(static_cast<td::UINT4>(pick(2)), sc::SymbolOrigin::ParentModel);
        case 4: return _tree.newLiteral(C::INT_LITERAL, T(pick(4) + 1));
        default:
            if constexpr (isComplex)
                return _tree.newLiteral(C::IMAG_LITERAL, T(0.0, (pick(8) + 1) / 4.0));
            return _tree.newLiteral(C::REAL_LITERAL, T((pick(8) + 1) / 4.0));
        }
    }

    std::mt19937 _rng;
    TreeOf<T>& _tree;
};

template <typename T> void checkCompositions(unsigned firstSeed, int count)
{
    constexpr bool isComplex = sl::ValueTraits<T>::isComplex;
    int compared = 0;
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        // Complex: x0, its partner, x1, its partner.
        test::TreeContext<T> ctx(isComplex ? 4 : 2, 2);
        ctx.solver.conjugatePartners = isComplex;
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(0.2, 1.4);
        for (td::UINT4 i = 0; i < ctx.solver.nVars; i += isComplex ? 2 : 1)
        {
            ctx.solver.var(i) = test::valueOf<T>(u(rng), u(rng) - 0.8);
            if constexpr (isComplex)
                ctx.solver.var(i + 1) = std::conj(ctx.solver.var(i));
        }
        for (td::UINT4 i = 0; i < 2; ++i)
            ctx.solver.par(i) = T(u(rng));
        for (T& x : ctx.parent.values)
            x = T(u(rng));

        TreeOf<T> tree = ctx.tree();
        Compositions<T> gen(seed, tree);
        tree.pushRoot(gen.make(4));
        double error = 0;
        if (!compareWithDifferences(ctx, tree, 0, isComplex ? 1 : -1, error))
            continue;
        ++compared;
        td::MutableString text;
        tree.toString(text, 1);
        EXPECT_LT(error, 1e-6) << "seed " << seed << ": " << text.c_str();
    }
    EXPECT_GT(compared, count / 3);
}

TEST(Differentiate, RandomCompositionsAgainstDifferences)
{
    checkCompositions<double>(1, 600);
    checkCompositions<Cmplx>(5001, 600);
}

// A root that is a chain of sums and differences: with the dependence prepared, each
// derivative is made from the terms that depend on the variable alone, and it is the
// tree the whole walk makes.
template <typename T> void checkChains(unsigned firstSeed, int count)
{
    constexpr bool isComplex = sl::ValueTraits<T>::isComplex;
    int prepared = 0;
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        test::TreeContext<T> ctx(isComplex ? 4 : 2, 2);
        ctx.solver.conjugatePartners = isComplex;
        TreeOf<T> tree = ctx.tree();
        Compositions<T> gen(seed, tree);
        NodeOf<T>* pRoot = gen.make(3);
        for (unsigned k = 0; k < 2 + seed % 7; ++k)
            pRoot = tree.newOperator((seed >> k) % 3 == 0 ? C::SUB : C::ADD, pRoot, gen.make(3));
        tree.pushRoot(pRoot);
        auto derivatives = [&]() {
            std::string all;
            for (td::UINT4 v = 0; v < ctx.solver.nVars; ++v)
            {
                TreeOf<T> out = ctx.tree();
                const bool ok = tree.differentiate(out, v);
                all += ok ? (out.getRoot() ? ctx.text(out, 1) : "empty") : "failed";
                all += "\n";
            }
            return all;
        };
        const std::string whole = derivatives();
        if (!RulesOf<T>::prepareDependence(tree))
            continue;
        ++prepared;
        EXPECT_EQ(derivatives(), whole) << "seed " << seed << ": " << ctx.text(tree, 1);
        RulesOf<T>::forgetDependence();
    }
    EXPECT_GT(prepared, count / 2);
}

TEST(Differentiate, ChainsOfSumsFromTheirDependingTermsAlone)
{
    checkChains<double>(1, 400);
    checkChains<Cmplx>(7001, 400);
}

// A tree that is one leaf (a bare variable, parameter or literal as the whole equation):
// prepared for its entries it has the derivatives it has unprepared.
template <typename T> void checkLeafRoots()
{
    test::TreeContext<T> ctx(2, 1);
    for (int kind = 0; kind < 3; ++kind)
    {
        TreeOf<T> tree = ctx.tree();
        NodeOf<T>* pLeaf = kind == 0   ? tree.newSymbol(0)
                           : kind == 1 ? tree.newSymbol(2)
                                       : tree.newLiteral(C::INT_LITERAL, T(3));
        tree.pushRoot(pLeaf);
        for (bool prepared : {false, true})
        {
            if (prepared)
            {
                ASSERT_TRUE(RulesOf<T>::prepareDependence(tree));
            }
            for (td::UINT4 v = 0; v < 2; ++v)
            {
                TreeOf<T> out = ctx.tree();
                ASSERT_TRUE(tree.differentiate(out, v));
                const std::string text = out.getRoot() ? ctx.text(out, 1) : "empty";
                EXPECT_EQ(text, kind == 0 && v == 0 ? "1" : "empty") << kind << " " << prepared << " " << v;
            }
        }
        RulesOf<T>::forgetDependence();
    }
}

TEST(Differentiate, ALeafAsTheWholeTreePreparedOrNot)
{
    checkLeafRoots<double>();
    checkLeafRoots<Cmplx>();
}

// One equation of n variables, x1*x2 + x2*x3 + ... + xn*x1, differentiated by each: the
// time grows with its n entries, not with n times its length (best of three runs, a
// quarter of the variables against all of them: 4 when linear, 16 when quadratic).
// The processor time of this thread: other processes on a loaded machine do not count.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

TEST(Differentiate, AnEquationOfManyVariablesInTimeOfItsEntries)
{
    auto run = [](td::UINT4 n) {
        double best = 1e9;
        for (int r = 0; r < 5; ++r)
        {
            test::TreeContext<double> ctx(n, 0);
            TreeOf<double> tree = ctx.tree();
            NodeOf<double>* pRoot = nullptr;
            for (td::UINT4 i = 0; i < n; ++i)
            {
                NodeOf<double>* pTerm = tree.newOperator(C::MUL, tree.newSymbol(i), tree.newSymbol((i + 1) % n));
                pRoot = pRoot ? tree.newOperator(C::ADD, pRoot, pTerm) : pTerm;
            }
            tree.pushRoot(pRoot);
            for (td::UINT4 i = 0; i < n; ++i)
                ctx.solver.var(i) = 1.0 + i;
            const double start = threadSeconds();
            EXPECT_TRUE(RulesOf<double>::prepareDependence(tree));
            td::UINT4 entries = 0;
            for (td::UINT4 v = 0; v < n; ++v)
            {
                TreeOf<double> out = ctx.tree();
                EXPECT_TRUE(tree.differentiate(out, v));
                entries += out.getRoot() != nullptr;
                // d/dx_v = x_(v-1) + x_(v+1)
                if (v == n / 2)
                {
                    EXPECT_EQ(ctx.evaluate(*ctx.compile(out)), (v + 0.0) + (v + 2.0));
                }
            }
            RulesOf<double>::forgetDependence();
            best = std::min(best, threadSeconds() - start);
            EXPECT_EQ(entries, n);
        }
        return best;
    };
    // Eight times the variables: linear work takes about 8 times as long, a walk of the
    // whole equation per variable 64 times; the margin between absorbs a loaded machine.
    const double eighth = run(1000);
    const double all = run(8000);
    EXPECT_LT(all, 24 * eighth) << eighth << " s for 1000 variables, " << all << " s for 8000";
}

TEST(Differentiate, ConjugateThroughThePartner)
{
    using KC = test::Tok<Cmplx>;
    struct Case
    {
        std::vector<sl::Token<Cmplx>> tokens;
        const char* text;
    } cases[] = {
        {{KC::fn(C::CONJ), KC::open(), KC::sym(0), KC::close()}, "empty"},
        {{KC::fn(C::CONJ), KC::open(), KC::sym(1), KC::close()}, "1"},
        {{KC::sym(1), KC::op(C::MUL), KC::sym(0)}, "x[1]"},
        {{KC::fn(C::CONJ), KC::open(), KC::make(C::IMAG_LITERAL, 0, Cmplx(0, 2)), KC::op(C::MUL), KC::sym(1),
          KC::close()},
         "-2i"},
        {{KC::fn(C::CONJ), KC::open(), KC::sym(1), KC::op(C::MUL), KC::sym(1), KC::close()}, "conj(2*x[1])"},
        {{KC::fn(C::CONJ), KC::open(), KC::integer(0), KC::op(C::SUB), KC::fn(C::SIN), KC::open(), KC::sym(1),
          KC::close(), KC::close()},
         "0-conj(cos(x[1]))"},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<Cmplx> ctx(4, 2);
        ctx.solver.conjugatePartners = true;
        TreeOf<Cmplx> tree = ctx.tree();
        ASSERT_TRUE(tree.build(ctx.list(c.tokens))) << c.text;
        TreeOf<Cmplx> out = ctx.tree();
        ASSERT_TRUE(tree.differentiate(out, 0)) << c.text;
        EXPECT_EQ(out.getRoot() ? ctx.text(out, 1) : std::string("empty"), c.text);
    }
}

// ---- lim ----

struct LimitModel
{
    test::TreeContext<double> ctx;
    cnt::FixNumSet used{3};
    cnt::FixNumSet lastUsed;
    TreeOf<double> tree;

    explicit LimitModel(std::initializer_list<K> tokens, td::BYTE section = 9, td::BYTE dynamics = 0) : tree(ctx.tree())
    {
        used.insert(0);
        used.insert(1);
        ctx.data().pUsedVars = &used;
        ctx.data().pLastUsedVarsForLimits = &lastUsed;
        ctx.data().currentSection = section;
        ctx.data().dynamics = dynamics;
        ctx.solver.var(0) = 1.1;
        ctx.solver.var(1) = 0.4;
        ctx.solver.par(0) = 100;
        ctx.solver.par(1) = 1.7;
        if (tokens.size() > 0)
            ctx.build(tree, tokens);
    }
};

TEST(Differentiate, LimitDerivativeEntriesAndLeaves)
{
    // lim(x * x + y, 0, p0)
    LimitModel m({f(C::LIMIT), lp, v(0), o(C::MUL), v(0), o(C::ADD), v(1), cm, n(0), cm, p(0), rp});
    const sl::FnLimit<double>& record = m.ctx.solver.limits[1];
    ASSERT_EQ(record._derivEvaluators.size(), 2u);
    EXPECT_EQ(record._derivEvaluators[0].varIndex, 0u);
    EXPECT_EQ(record._derivEvaluators[1].varIndex, 1u);
    EXPECT_EQ(m.ctx.evaluate(*record._derivEvaluators[0].pEvaluator), 2.2);
    EXPECT_EQ(m.ctx.evaluate(*record._derivEvaluators[1].pEvaluator), 1.0);
    EXPECT_EQ(derivativeText(m.ctx, m.tree, 0), "lim(1,1)");
    EXPECT_EQ(derivativeText(m.ctx, m.tree, 1), "lim(1,2)");
    EXPECT_EQ(derivativeText(m.ctx, m.tree, 2), "empty");
}

TEST(Differentiate, LimitDerivativesInEveryDifferentiatedSection)
{
    struct Case
    {
        td::BYTE section;
        td::BYTE dynamics;
        std::size_t entries;
    } cases[] = {{9, 0, 2}, {10, 0, 2}, {11, 0, 2}, {7, 2, 2}, {8, 2, 2}, {7, 1, 0}, {7, 0, 0}, {13, 2, 0}, {0, 0, 0}};
    for (const Case& c : cases)
    {
        LimitModel m({f(C::LIMIT), lp, v(0), o(C::ADD), v(1), cm, n(0), cm, n(1), rp}, c.section, c.dynamics);
        EXPECT_EQ(m.ctx.solver.limits[1]._derivEvaluators.size(), c.entries)
            << int(c.section) << "/" << int(c.dynamics);
    }
}

TEST(Differentiate, LimitLeavesThroughTheGeneralRules)
{
    // g = x * x + y inside its bounds
    auto g = [](std::vector<K> tokens) {
        std::vector<K> call = {f(C::LIMIT), lp, v(0), o(C::MUL), v(0), o(C::ADD), v(1), cm, n(0), cm, p(0), rp};
        for (std::size_t i = 0; i < tokens.size(); ++i)
            if (tokens[i].type == C::IDENTIFIER)
            {
                tokens.erase(tokens.begin() + static_cast<long>(i));
                tokens.insert(tokens.begin() + static_cast<long>(i), call.begin(), call.end());
                break;
            }
        return tokens;
    };
    const K lim = Mk::make(C::IDENTIFIER);
    struct Case
    {
        const char* name;
        std::vector<K> tokens;
    } cases[] = {
        {"x * lim", g({v(0), o(C::MUL), lim})},    {"lim * x", g({lim, o(C::MUL), v(0)})},
        {"lim * p", g({lim, o(C::MUL), p(1)})},    {"lim ^ 2", g({lim, o(C::POW), n(2)})},
        {"lim ^ 3", g({lim, o(C::POW), n(3)})},    {"lim ^ p", g({lim, o(C::POW), p(1)})},
        {"lim / p", g({lim, o(C::DIV), p(1)})},    {"p / lim", g({p(1), o(C::DIV), lim})},
        {"lim / x", g({lim, o(C::DIV), v(0)})},    {"2 ^ lim", g({n(2), o(C::POW), lim})},
        {"p ^ lim", g({p(1), o(C::POW), lim})},    {"lim - x", g({lim, o(C::SUB), v(0)})},
        {"sin(lim)", g({f(C::SIN), lp, lim, rp})},
    };
    for (const Case& c : cases)
    {
        LimitModel m({});
        TreeOf<double> tree = m.ctx.tree();
        ASSERT_TRUE(tree.build(m.ctx.list(c.tokens))) << c.name;
        for (td::UINT4 var : {0u, 1u})
        {
            double error = 0;
            ASSERT_TRUE(compareWithDifferences(m.ctx, tree, var, -1, error)) << c.name;
            EXPECT_LT(error, 1e-6) << c.name << " by " << var;
        }
    }
}

// ---- conditionals ----

struct Conditional
{
    test::TreeContext<double> ctx;
    cnt::FixNumSet used{3};
    std::list<TreeOf<double>> parts;

    Conditional()
    {
        used.insert(0);
        used.insert(1);
        used.insert(2);
        ctx.data().pUsedVars = &used;
        ctx.solver.var(0) = 2;
        ctx.solver.var(1) = 3;
        ctx.solver.var(2) = 5;
    }

    TreeOf<double>* part(std::initializer_list<K> tokens)
    {
        TreeOf<double>& t = parts.emplace_back(&ctx.data(), nullptr, ctx.nVars(), true);
        ctx.build(t, tokens);
        return &t;
    }

    TreeOf<double>* conditional(TreeOf<double>* cond, TreeOf<double>* thenTree, TreeOf<double>* elseTree)
    {
        TreeOf<double>& t = parts.emplace_back(&ctx.data(), nullptr, ctx.nVars(), true);
        t.setType(TreeOf<double>::Type::IfThenElse);
        t.setConditional(cond, thenTree, elseTree);
        return &t;
    }

    sl::Evaluator<double>* record(TreeOf<double>* cond)
    {
        sl::Evaluator<double>* e = ctx.data().newEvaluator();
        e->setIfThenElse(ctx.compile(*cond), nullptr, nullptr);
        return e;
    }

    // The targets and values of a run of derivative records.
    std::vector<std::pair<td::INT4, double>> run(const sl::Evaluator<double>* p, td::UINT4 n)
    {
        std::vector<std::pair<td::INT4, double>> out;
        for (td::UINT4 i = 0; i < n; ++i)
        {
            EXPECT_EQ(p[i].getTargetKind(), 1);
            out.push_back({p[i].getTargetIndex(), ctx.evaluate(p[i])});
        }
        return out;
    }
};

using Records = std::vector<std::pair<td::INT4, double>>;

TEST(Differentiate, IfThenElseBranchRecords)
{
    Conditional c;
    TreeOf<double>* cond = c.part({v(0), o(C::GREATER), n(1)});
    // then: x * y + p, else: x ^ 2 - z + z (whose derivative by z folds to 0)
    TreeOf<double>* tree = c.conditional(cond, c.part({v(0), o(C::MUL), v(1), o(C::ADD), p(0)}),
                                         c.part({v(0), o(C::POW), n(2), o(C::SUB), v(2), o(C::ADD), v(2)}));
    sl::Evaluator<double>* e = c.record(cond);
    ASSERT_TRUE(RecordsOf<double>(*tree).differentiateIfThenElse(e));
    EXPECT_EQ(e->getThenCount(), 2u);
    EXPECT_EQ(e->getElseCount(), 2u);
    EXPECT_EQ(c.run(e->getThen(), 2), (Records{{0, 3.0}, {1, 2.0}}));
    EXPECT_EQ(c.run(e->getElse(), 2), (Records{{0, 4.0}, {2, 0.0}}));
    EXPECT_EQ(e->getElse()[1].getType(), sl::Evaluator<double>::Type::Constant);
    EXPECT_TRUE(c.ctx.log.messages.empty());
}

TEST(Differentiate, NestedIfThenElseGetsItsOwnRecord)
{
    Conditional c;
    TreeOf<double>* cond = c.part({v(0)});
    TreeOf<double>* inner = c.conditional(c.part({v(1)}), c.part({v(2), o(C::MUL), n(4)}), c.part({v(1)}));
    TreeOf<double>* tree = c.conditional(cond, inner, c.part({v(0), o(C::MUL), n(3)}));
    sl::Evaluator<double>* e = c.record(cond);
    ASSERT_TRUE(RecordsOf<double>(*tree).differentiateIfThenElse(e));
    ASSERT_EQ(e->getThenCount(), 1u);
    const sl::Evaluator<double>* nested = e->getThen();
    EXPECT_EQ(nested->getType(), sl::Evaluator<double>::Type::IfThenElse);
    ASSERT_NE(nested->getCondition(), nullptr);
    EXPECT_EQ(c.run(nested->getThen(), nested->getThenCount()), (Records{{2, 4.0}}));
    EXPECT_EQ(c.run(nested->getElse(), nested->getElseCount()), (Records{{1, 1.0}}));
    EXPECT_EQ(c.run(e->getElse(), e->getElseCount()), (Records{{0, 3.0}}));
}

TEST(Differentiate, IfThenElseKeys)
{
    struct Case
    {
        const char* name;
        std::function<TreeOf<double>*(Conditional&)> thenPart;
        std::function<TreeOf<double>*(Conditional&)> elsePart;
        std::vector<std::string> keys;
    } cases[] = {
        {"then without variables",
         [](Conditional& c) { return c.part({p(0)}); },
         [](Conditional& c) { return c.part({v(0)}); },
         {msg::etZeroThenExps}},
        {"else without variables",
         [](Conditional& c) { return c.part({v(0)}); },
         [](Conditional& c) { return c.part({n(3)}); },
         {msg::etZeroElseExps}},
        {"then not differentiable",
         [](Conditional& c) {
             return c.part({f(C::MIN), lp, v(0), cm, n(1), rp});
         },
         [](Conditional& c) { return c.part({v(0)}); },
         {msg::etCantDiff, msg::etThenCantDiff}},
        {"else not differentiable",
         [](Conditional& c) { return c.part({v(0)}); },
         [](Conditional& c) {
             return c.part({v(1), o(C::GREATER), n(1)});
         },
         {msg::etCantDiff, msg::etElseCantDiff}},
    };
    for (const Case& k : cases)
    {
        Conditional c;
        TreeOf<double>* cond = c.part({v(0)});
        TreeOf<double>* tree = c.conditional(cond, k.thenPart(c), k.elsePart(c));
        EXPECT_FALSE(RecordsOf<double>(*tree).differentiateIfThenElse(c.record(cond))) << k.name;
        std::vector<std::string> keys;
        for (const auto& m : c.ctx.log.messages)
            keys.push_back(m.text);
        EXPECT_EQ(keys, k.keys) << k.name;
    }
}

TEST(Differentiate, SwitchCaseRecords)
{
    Conditional c;
    using Tree = TreeOf<double>;
    Tree cases[3] = {c.ctx.tree(), c.ctx.tree(), c.ctx.tree()};
    for (Tree& t : cases)
        t.setType(Tree::Type::SwitchCase);
    cases[0].setConditional(c.part({v(0), o(C::LESS), n(0)}), c.part({v(0), o(C::MUL), v(1)}), &cases[1]);
    cases[1].setConditional(c.part({v(0), o(C::EQUAL), n(0)}), c.part({v(2), o(C::MUL), n(7)}), &cases[2]);
    cases[2].setConditional(nullptr, c.part({v(1), o(C::POW), n(2), o(C::ADD), v(0), o(C::SUB), v(0)}), nullptr);
    sl::Evaluator<double>* source = c.ctx.compile(cases[0]);
    ASSERT_NE(source, nullptr);
    sl::Evaluator<double>* e = c.ctx.data().newEvaluator();
    ASSERT_TRUE(RecordsOf<double>(cases[0]).differentiateSwitch(e, source));
    EXPECT_EQ(e->getType(), sl::Evaluator<double>::Type::Switch);
    EXPECT_EQ(e->getSwitchColumns(), 2u);
    EXPECT_EQ(e->getCondition(), source->getCondition());
    EXPECT_EQ(c.run(e->getThen(), e->getStatementCount()), (Records{{0, 3.0}, {1, 2.0}}));
    const sl::Evaluator<double>* second = e->getNextCase();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->getCondition(), source->getNextCase()->getCondition());
    EXPECT_EQ(c.run(second->getThen(), second->getStatementCount()), (Records{{2, 7.0}}));
    const sl::Evaluator<double>* third = second->getNextCase();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->getCondition(), nullptr);
    EXPECT_EQ(c.run(third->getThen(), third->getStatementCount()), (Records{{0, 0.0}, {1, 6.0}}));
    EXPECT_EQ(third->getNextCase(), nullptr);
}

TEST(Differentiate, SwitchKeys)
{
    for (int broken : {0, 1})
    {
        Conditional c;
        using Tree = TreeOf<double>;
        Tree first = c.ctx.tree(), second = c.ctx.tree();
        first.setType(Tree::Type::SwitchCase);
        second.setType(Tree::Type::SwitchCase);
        first.setConditional(c.part({v(0)}), c.part({v(0), o(C::MUL), n(2)}), &second);
        second.setConditional(nullptr, broken ? c.part({f(C::ROUND), lp, v(1), cm, n(1), rp}) : c.part({p(1)}),
                              nullptr);
        sl::Evaluator<double>* source = c.ctx.compile(first);
        EXPECT_FALSE(RecordsOf<double>(first).differentiateSwitch(c.ctx.data().newEvaluator(), source));
        ASSERT_FALSE(c.ctx.log.messages.empty());
        EXPECT_EQ(c.ctx.log.messages.back().text, broken ? msg::etCaseDiffError : msg::etCaseNoDiffVars);
    }
}
} // namespace
