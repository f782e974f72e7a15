#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DAEStages.h"
#include "Polynomials.h"
#include "SymbolRigSupport.h"
#include "TFStateSpace.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using sl::PolyForm;
using sl::TFType;

template <typename T> using Rig = test::SymbolRig<T>;
template <typename T> using NodeOf = sl::ETNode<T>;
template <typename T> using PolysOf = sl::Polynomials<T>;

// Symbols of the polynomial tests: variables x, y, parameters a = 2, b = 3, c = -0.5.
template <typename T> struct PolyRig : Rig<T>
{
    PolyRig() : Rig<T>({"x", "y"}, {"a", "b", "c"})
    {
        this->at("a") = T(2);
        this->at("b") = T(3);
        this->at("c") = T(-0.5);
    }
};

// A state x with history x@_ and stages x#k1, x#k2, an algebraic y, and t, dT, a.
struct StateRig : Rig<double>
{
    StateRig() : Rig<double>({"x", "x#k1", "x#k2", "y"}, {"t", "dT", "x@_", "a"}) { state("x", "x@_", "x#k1"); }
};

// ---- order and form ----

TEST(Polynomials, FormsOfTrees)
{
    struct Case
    {
        const char* text;
        td::UINT2 order;
        TFType type;
    } cases[] = {
        {"3 * s ^ 2 + s", 2, TFType::Sum},
        {"(s + 1) * (s + 2)", 2, TFType::Mult},
        {"1 / s", 0, TFType::NotPoly},
        {"2 ^ 3", 0, TFType::NotPoly},
        {"s ^ x", 0, TFType::NotPoly},
        {"s", 1, TFType::Term},
        {"a", 0, TFType::Term},
        {"sin(a) * pi", 0, TFType::Term},
        {"2 * s ^ 3", 3, TFType::Term},
        {"s ^ 2 * a / b", 2, TFType::Term},
        {"s * s", 2, TFType::Mult},
        {"s * s + 1", 0, TFType::NotPoly},
        {"2 * (s + 1)", 1, TFType::Mult},
        {"(s + 1) / 2 - s ^ 3", 3, TFType::Sum},
        {"-s", 1, TFType::Sum},
        {"s ^ 0", 0, TFType::Term},
        {"s ^ 64 * 2", 64, TFType::Term},
        {"s ^ 65", 0, TFType::NotPoly},
        {"s ^ 64 * s", 0, TFType::NotPoly},
        {"s ^ 2.5", 0, TFType::NotPoly},
        {"sin(s)", 0, TFType::NotPoly},
        {"(s + 1) ^ 2", 0, TFType::NotPoly},
        {"a < s", 0, TFType::NotPoly},
    };
    for (const Case& c : cases)
    {
        PolyRig<double> rig;
        auto tree = rig.ctx.tree();
        ASSERT_TRUE(rig.build(tree, c.text)) << c.text;
        const PolyForm f = PolysOf<double>::polynomialForm(tree.getRoot());
        EXPECT_EQ(f.type, c.type) << c.text;
        EXPECT_EQ(f.order, c.order) << c.text;
    }

    // The operands' forms stay in the tags of their parent.
    PolyRig<double> rig;
    auto tree = rig.ctx.tree();
    ASSERT_TRUE(rig.build(tree, "3 * s ^ 2 + s"));
    PolysOf<double>::polynomialForm(tree.getRoot());
    const PolyForm left = PolyForm::fromTag(tree.getRoot()->leftTag);
    const PolyForm right = PolyForm::fromTag(tree.getRoot()->rightTag);
    EXPECT_EQ(left.order, 2);
    EXPECT_EQ(left.type, TFType::Term);
    EXPECT_EQ(right.order, 1);
    EXPECT_EQ(right.type, TFType::Term);
}

// ---- coefficients ----

template <typename T> class PolynomialsTyped : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(PolynomialsTyped, Builds);

TYPED_TEST(PolynomialsTyped, CoefficientsOfEveryForm)
{
    using T = TypeParam;
    // a = 2, b = 3, c = -0.5; coefficients leading first, 0 where none.
    struct Case
    {
        const char* text;
        std::vector<double> coeffs;
    } cases[] = {
        {"3 * s ^ 2 + s", {3, 1, 0}},
        {"s ^ 2 * a - b * s + c", {2, -3, -0.5}},
        {"(s + a) * (2 * s - b)", {2, 1, -6}},
        {"(s + 1) * (s + 2) * (s + 3)", {1, 6, 11, 6}},
        {"(s ^ 2 + a * s) / b - s ^ 2 / 3 + 1", {0, 2.0 / 3, 1}},
        {"2 * (s - 1) * s", {2, -2, 0}},
        {"s + s + a * s - s ^ 0", {4, -1}},
        {"-s ^ 3 + s", {-1, 0, 1, 0}},
        {"a * b", {6}},
        {"s ^ 0 * a + 1", {3}},
    };
    for (const Case& c : cases)
    {
        PolyRig<T> rig;
        auto tree = rig.ctx.tree();
        ASSERT_TRUE(rig.build(tree, c.text)) << c.text;
        const PolyForm f = PolysOf<T>::polynomialForm(tree.getRoot());
        ASSERT_EQ(f.order + 1u, c.coeffs.size()) << c.text;
        std::vector<NodeOf<T>*> coeffs(c.coeffs.size(), nullptr);
        ASSERT_TRUE(PolysOf<T>(tree).polynomialCoefficients(tree.getRoot(), f.order, coeffs.data())) << c.text;
        for (std::size_t i = 0; i < coeffs.size(); ++i)
        {
            // Zero is no coefficient, unless only the value is zero.
            if (!coeffs[i])
            {
                EXPECT_EQ(c.coeffs[i], 0) << c.text << " slot " << i;
                continue;
            }
            EXPECT_EQ(sl::TFStateSpace<T>::findCoeffWithLaplace(&coeffs[i], 0), -1) << c.text;
            EXPECT_NEAR(std::abs(rig.value(coeffs[i]) - T(c.coeffs[i])), 0.0, 1e-14) << c.text << " slot " << i;
        }
        // A wrong order reads nothing.
        EXPECT_FALSE(PolysOf<T>(tree).polynomialCoefficients(tree.getRoot(), f.order + 1, coeffs.data())) << c.text;
    }
}

// ---- products and division of coefficient arrays ----

TEST(Polynomials, ProductOfCoefficientArrays)
{
    PolyRig<double> rig;
    auto tree = rig.ctx.tree();
    auto lit = [&tree](int v) { return tree.newLiteral(C::INT_LITERAL, v); };
    NodeOf<double>* a[] = {lit(1), lit(1)};
    NodeOf<double>* b[] = {lit(2), lit(1)};
    NodeOf<double>* c[3] = {};
    EXPECT_EQ(PolysOf<double>(tree).multiplyPolynomials(a, b, c, 1, 1), 2u);
    const char* expected[] = {"2", "3", "1"};
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_NE(c[i], nullptr);
        EXPECT_EQ(c[i]->pToken->type, C::INT_LITERAL);
        EXPECT_EQ(rig.text(tree, c[i]), expected[i]);
    }
    // The factors are copied: they stay as they were.
    EXPECT_EQ(rig.text(tree, a[0]), "1");
    EXPECT_EQ(rig.text(tree, b[0]), "2");
}

TEST(Polynomials, DivisionOfCoefficientArrays)
{
    PolyRig<double> rig;
    auto tree = rig.ctx.tree();
    auto lit = [&tree](int v) { return tree.newLiteral(C::INT_LITERAL, v); };
    auto texts = [&](NodeOf<double>** p, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
        {
            if (i)
                s += ' ';
            s += p[i] ? rig.text(tree, p[i]) : std::string("-");
        }
        return s;
    };
    // 2s^3 + 3s^2 + 5s + 7 = (2s + 1)(s^2 + s + 2) + 5
    NodeOf<double>* a[] = {lit(2), lit(3), lit(5), lit(7)};
    NodeOf<double>* b[] = {nullptr, lit(1), lit(2)};
    NodeOf<double>* q[2] = {};
    NodeOf<double>* r[2] = {};
    ASSERT_TRUE(PolysOf<double>(tree).dividePolynomials(a, b, q, r, 3, 2));
    EXPECT_EQ(texts(q, 2), "2 1");
    EXPECT_EQ(texts(r, 2), "- 5");
    EXPECT_EQ(texts(a, 4), "2 3 5 7");

    // Equal orders: 3s^2 + 4s + 5 = 3(s^2 + s + 2) + (s - 1)
    NodeOf<double>* e[] = {lit(3), lit(4), lit(5)};
    NodeOf<double>* qe[1] = {};
    NodeOf<double>* re[2] = {};
    ASSERT_TRUE(PolysOf<double>(tree).dividePolynomials(e, b, qe, re, 2, 2));
    EXPECT_EQ(texts(qe, 1), "3");
    EXPECT_EQ(texts(re, 2), "1 -1");

    // Symbolic coefficients: (s^2 + a s + b) / (s + c) = s + (a - c), rest b - c(a - c).
    NodeOf<double>* sa[] = {lit(1), tree.newSymbol(rig.index("a")), tree.newSymbol(rig.index("b"))};
    NodeOf<double>* sb[] = {nullptr, tree.newSymbol(rig.index("c"))};
    NodeOf<double>* sq[2] = {};
    NodeOf<double>* sr[1] = {};
    ASSERT_TRUE(PolysOf<double>(tree).dividePolynomials(sa, sb, sq, sr, 2, 1));
    EXPECT_DOUBLE_EQ(rig.value(sq[0]), 1);
    EXPECT_DOUBLE_EQ(rig.value(sq[1]), 2.5);
    EXPECT_DOUBLE_EQ(rig.value(sr[0]), 3 + 0.5 * 2.5);

    // A divisor of higher order divides nothing.
    EXPECT_FALSE(PolysOf<double>(tree).dividePolynomials(sb, sa, sq, sr, 1, 2));
}

// ---- taking an operand out ----

TEST(Polynomials, RemoveOperand)
{
    // Which operand of which node goes: the node by its path from the root (l, r), the
    // kept operand 'l' or 'r' of it.
    struct Case
    {
        const char* text;
        const char* path;
        char kept;
        const char* result;
    } cases[] = {
        // at the root
        {"a + b", "", 'r', "b"},
        {"a * b", "", 'l', "a"},
        {"a - b", "", 'l', "a"},
        {"a - b", "", 'r', "(0-b)"},
        {"a / b", "", 'l', "a"},
        {"a / b", "", 'r', "(1/b)"},
        {"a / (b + 1)", "", 'r', "(1/(b+1))"},
        // under - and /
        {"c + (a - b)", "r", 'r', "(c+(0-b))"},
        {"c + (a - b)", "r", 'l', "(c+a)"},
        {"c * (a / b)", "r", 'r', "(c*(1/b))"},
        {"c * (a / (b + x))", "r", 'r', "(c*(1/(b+x)))"},
        {"(a * b) / c", "l", 'l', "(a/c)"},
        {"c - (a + b)", "r", 'l', "(c-a)"},
        {"(x - (a * b)) + c", "lr", 'l', "((x-a)+c)"},
    };
    for (const Case& c : cases)
    {
        PolyRig<double> rig;
        auto tree = rig.ctx.tree();
        ASSERT_TRUE(rig.build(tree, c.text)) << c.text;
        NodeOf<double>* root = tree.getRoot();
        NodeOf<double>* node = root;
        for (const char* p = c.path; *p; ++p)
            node = *p == 'l' ? node->pLeftNode : node->pRightNode;
        NodeOf<double>* kept = c.kept == 'l' ? node->pLeftNode : node->pRightNode;
        ASSERT_TRUE(PolysOf<double>(tree).removeOperand(root, node, kept)) << c.text;
        EXPECT_EQ(rig.text(tree, root), c.result) << c.text << " at '" << c.path << "'";
    }

    // Refused: a kept node that is no operand, a node outside the tree, a function.
    PolyRig<double> rig;
    auto tree = rig.ctx.tree();
    ASSERT_TRUE(rig.build(tree, "a + sin(b * c)"));
    NodeOf<double>* root = tree.getRoot();
    NodeOf<double>* sine = root->pRightNode;
    EXPECT_FALSE(PolysOf<double>(tree).removeOperand(root, root, sine->pLeftNode));
    EXPECT_FALSE(PolysOf<double>(tree).removeOperand(root, sine, sine->pLeftNode));
    NodeOf<double>* stray = tree.newOperator(C::ADD, tree.newSymbol(0), tree.newSymbol(1));
    EXPECT_FALSE(PolysOf<double>(tree).removeOperand(root, stray, stray->pLeftNode));
    EXPECT_EQ(rig.text(tree, root), "(a+sin(b*c))");
}

// ---- substituting copies ----

TEST(Polynomials, HistoryAndStageSubstitutions)
{
    struct Case
    {
        const char* f;
        const char* history;
        const char* stage;
    } cases[] = {
        {"x*y + sin(t) - a", "(((x@_*y)+sin(t-dT))-a)", "(((x#k2*y)+sin(t-(0.75*dT)))-a)"},
        {"atg2(x, t)", "atan2(x@_,(t-dT))", "atan2(x#k2,(t-(0.75*dT)))"},
        {"y + a", "(y+a)", "(y+a)"},
        // t inside a call that takes single tokens cannot become an expression
        {"round(x, t)", "", ""},
    };
    for (const Case& c : cases)
    {
        StateRig rig;
        sl::DAEStageContext ctx;
        ctx.pVarRecords = &rig.records;
        ctx.deltaT = rig.index("dT");
        ctx.time = static_cast<td::INT4>(rig.index("t"));
        auto tree = rig.ctx.tree();
        sl::DAEStages<double> stages(tree);
        ASSERT_TRUE(rig.build(tree, c.f)) << c.f;
        const std::string original = rig.text(tree, tree.getRoot());
        NodeOf<double>* history = stages.mapHistoryVariables(tree.getRoot(), ctx);
        NodeOf<double>* stage = stages.copyWithStageSubstitution(tree.getRoot(), ctx, 0.25, 1);
        EXPECT_EQ(history ? rig.text(tree, history) : "", c.history) << c.f;
        EXPECT_EQ(stage ? rig.text(tree, stage) : "", c.stage) << c.f;
        // The copies leave the tree as it was.
        EXPECT_EQ(rig.text(tree, tree.getRoot()), original) << c.f;
    }

    // At the end of the step t stays t; a model without time keeps every t.
    StateRig rig;
    sl::DAEStageContext ctx;
    ctx.pVarRecords = &rig.records;
    ctx.deltaT = rig.index("dT");
    ctx.time = static_cast<td::INT4>(rig.index("t"));
    auto tree = rig.ctx.tree();
    sl::DAEStages<double> stages(tree);
    ASSERT_TRUE(rig.build(tree, "x*t"));
    EXPECT_EQ(rig.text(tree, stages.copyWithStageSubstitution(tree.getRoot(), ctx, 1.0, 0)), "(x#k1*t)");
    ctx.time = -1;
    EXPECT_EQ(rig.text(tree, stages.mapHistoryVariables(tree.getRoot(), ctx)), "(x@_*t)");

    // A state without the record a copy needs, and copies without records, give nothing.
    rig.records[0].firstStage = -1;
    EXPECT_EQ(stages.copyWithStageSubstitution(tree.getRoot(), ctx, 0.5, 0), nullptr);
    rig.records[0].firstStage = 3;
    EXPECT_EQ(stages.copyWithStageSubstitution(tree.getRoot(), ctx, 0.5, 1), nullptr);
    rig.records[0].histParam = -1;
    EXPECT_EQ(stages.mapHistoryVariables(tree.getRoot(), ctx), nullptr);
    ctx.pVarRecords = nullptr;
    EXPECT_EQ(stages.mapHistoryVariables(tree.getRoot(), ctx), nullptr);
}
} // namespace
