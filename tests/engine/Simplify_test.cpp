#include <cmath>
#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "TreeSupport.h"

namespace
{
using C = sl::TokenCodes;
using Tree = sl::ExpressionTree<double>;
using Node = sl::ETNode<double>;

// Fresh nodes of one tree, and the text and value of any node.
struct Nodes
{
    explicit Nodes(bool simplify = true) : tree(ctx.tree(simplify)) {}

    Node* x(td::UINT4 i) { return tree.newSymbol(i); }
    Node* p(td::UINT4 i) { return tree.newSymbol(3 + i); }
    Node* n(int v) { return tree.newLiteral(C::INT_LITERAL, v); }
    Node* r(double v) { return tree.newLiteral(C::REAL_LITERAL, v); }
    Node* op(td::BYTE code, Node* a, Node* b) { return tree.newOperator(code, a, b); }
    Node* neg(Node* a) { return op(C::SUB, n(0), a); }
    Node* make(Node* a, Node* b, td::BYTE code, bool copyA = false, bool copyB = false)
    {
        return tree.makeBinary(a, b, copyA, copyB, code);
    }

    std::string text(Node* node)
    {
        Tree t = ctx.tree();
        t.pushRoot(node);
        return ctx.text(t, 1);
    }
    double value(Node* node)
    {
        Tree t = ctx.tree();
        t.pushRoot(node);
        sl::Evaluator<double>* e = ctx.compile(t);
        EXPECT_NE(e, nullptr);
        return e ? ctx.evaluate(*e) : std::nan("");
    }

    test::TreeContext<double> ctx;
    Tree tree;
};

TEST(Simplify, EdgeCases)
{
    struct Case
    {
        const char* name;
        std::function<Node*(Nodes&)> make;
        const char* text;
        td::BYTE rootType;
    } cases[] = {
        {"x - 0", [](Nodes& s) { return s.make(s.x(0), s.n(0), C::SUB); }, "x[0]", C::SYMBOL},
        {"0 + x", [](Nodes& s) { return s.make(s.n(0), s.x(0), C::ADD); }, "x[0]", C::SYMBOL},
        {"1 * x", [](Nodes& s) { return s.make(s.n(1), s.x(0), C::MUL); }, "x[0]", C::SYMBOL},
        {"x / 1", [](Nodes& s) { return s.make(s.x(0), s.n(1), C::DIV); }, "x[0]", C::SYMBOL},
        {"x * 3", [](Nodes& s) { return s.make(s.x(0), s.n(3), C::MUL); }, "3*x[0]", C::MUL},
        {"x / -1", [](Nodes& s) { return s.make(s.x(0), s.n(-1), C::DIV); }, "-1*x[0]", C::MUL},
        {"-1 * x", [](Nodes& s) { return s.make(s.n(-1), s.x(0), C::MUL); }, "0-x[0]", C::SUB},
        {"0 * x", [](Nodes& s) { return s.make(s.n(0), s.x(0), C::MUL); }, "0", C::INT_LITERAL},
        {"2 * 3", [](Nodes& s) { return s.make(s.n(2), s.n(3), C::MUL); }, "6", C::INT_LITERAL},
        {"1 / 4", [](Nodes& s) { return s.make(s.n(1), s.n(4), C::DIV); }, "0.25", C::REAL_LITERAL},
        {"6 / 3", [](Nodes& s) { return s.make(s.n(6), s.n(3), C::DIV); }, "2", C::REAL_LITERAL},
        {"2 * 1.5", [](Nodes& s) { return s.make(s.n(2), s.r(1.5), C::MUL); }, "3", C::REAL_LITERAL},
        {"2 * pi", [](Nodes& s) { return s.make(s.n(2), s.tree.newLiteral(C::PI, 3.141592653589793), C::MUL); },
         "6.28319", C::REAL_LITERAL},
        {"2 ^ 3", [](Nodes& s) { return s.make(s.n(2), s.n(3), C::POW); }, "8", C::INT_LITERAL},
        {"2 ^ -1", [](Nodes& s) { return s.make(s.n(2), s.n(-1), C::POW); }, "0.5", C::REAL_LITERAL},
        {"x + 3 - 3", [](Nodes& s) { return s.make(s.op(C::ADD, s.x(0), s.n(3)), s.n(3), C::SUB); }, "x[0]", C::SYMBOL},
        {"x + 3 - 1", [](Nodes& s) { return s.make(s.op(C::ADD, s.x(0), s.n(3)), s.n(1), C::SUB); }, "x[0]+2", C::ADD},
        {"x * 4 / 2", [](Nodes& s) { return s.make(s.op(C::MUL, s.x(0), s.n(4)), s.n(2), C::DIV); }, "x[0]*2", C::MUL},
        {"3 - x - 2", [](Nodes& s) { return s.make(s.op(C::SUB, s.n(3), s.x(0)), s.n(2), C::SUB); }, "1-x[0]", C::SUB},
        {"2 + (x + 3)", [](Nodes& s) { return s.make(s.n(2), s.op(C::ADD, s.x(0), s.n(3)), C::ADD); }, "5+x[0]",
         C::ADD},
        {"6 * (3 * x)", [](Nodes& s) { return s.make(s.n(6), s.op(C::MUL, s.n(3), s.x(0)), C::MUL); }, "18*x[0]",
         C::MUL},
        {"2 + (x - 3)", [](Nodes& s) { return s.make(s.n(2), s.op(C::SUB, s.x(0), s.n(3)), C::ADD); }, "-1+x[0]",
         C::ADD},
        {"(0 - a) * (0 - b)", [](Nodes& s) { return s.make(s.neg(s.x(0)), s.neg(s.x(1)), C::MUL); }, "x[0]*x[1]",
         C::MUL},
        {"x - (0 - y)", [](Nodes& s) { return s.make(s.x(0), s.neg(s.x(1)), C::SUB); }, "x[0]+x[1]", C::ADD},
        {"(0 - a) + r", [](Nodes& s) { return s.make(s.neg(s.x(0)), s.x(1), C::ADD); }, "x[1]-x[0]", C::SUB},
        {"(0 - a) - r", [](Nodes& s) { return s.make(s.neg(s.x(0)), s.x(1), C::SUB); }, "0-(x[0]+x[1])", C::SUB},
        {"x - x", [](Nodes& s) { return s.make(s.x(0), s.x(0), C::SUB); }, "0", C::INT_LITERAL},
        {"x / x", [](Nodes& s) { return s.make(s.x(0), s.x(0), C::DIV); }, "1", C::INT_LITERAL},
        {"x * x", [](Nodes& s) { return s.make(s.x(0), s.x(0), C::MUL); }, "x[0]^2", C::POW},
        {"x + x", [](Nodes& s) { return s.make(s.x(0), s.x(0), C::ADD); }, "2*x[0]", C::MUL},
        {"x^2 * x^2",
         [](Nodes& s) { return s.make(s.op(C::POW, s.x(0), s.p(0)), s.op(C::POW, s.x(0), s.p(0)), C::MUL); },
         "x[0]^(2*u[0])", C::POW},
        {"(a / b) / (c / d)",
         [](Nodes& s) { return s.make(s.op(C::DIV, s.x(0), s.x(1)), s.op(C::DIV, s.x(2), s.p(0)), C::DIV); },
         "(x[0]*u[0])/(x[1]*x[2])", C::DIV},
        {"(a / b) * r", [](Nodes& s) { return s.make(s.op(C::DIV, s.x(0), s.x(1)), s.x(2), C::MUL); },
         "(x[0]*x[2])/x[1]", C::DIV},
        {"3 * (x / 4)", [](Nodes& s) { return s.make(s.n(3), s.op(C::DIV, s.x(0), s.n(4)), C::MUL); }, "0.75*x[0]",
         C::MUL},
        // A division by a literal zero stays for run time.
        {"x / 0", [](Nodes& s) { return s.make(s.x(0), s.n(0), C::DIV); }, "x[0]/0", C::DIV},
        {"1 / 0", [](Nodes& s) { return s.make(s.n(1), s.n(0), C::DIV); }, "1/0", C::DIV},
        {"0 / 0", [](Nodes& s) { return s.make(s.n(0), s.n(0), C::DIV); }, "0/0", C::DIV},
        {"x * 4 / 0", [](Nodes& s) { return s.make(s.op(C::MUL, s.x(0), s.n(4)), s.n(0), C::DIV); }, "(x[0]*4)/0",
         C::DIV},
        {"0 ^ -1", [](Nodes& s) { return s.make(s.n(0), s.n(-1), C::POW); }, "0^-1", C::POW},
        // Literals that cannot be taken out of their chain leave a plain node.
        {"5 - ((3 - x) + y)",
         [](Nodes& s) { return s.make(s.n(5), s.op(C::ADD, s.op(C::SUB, s.n(3), s.x(0)), s.x(1)), C::SUB); },
         "5-((3-x[0])+x[1])", C::SUB},
        {"8 / ((4 / x) * y)",
         [](Nodes& s) { return s.make(s.n(8), s.op(C::MUL, s.op(C::DIV, s.n(4), s.x(0)), s.x(1)), C::DIV); },
         "8/((4/x[0])*x[1])", C::DIV},
        {"5 - (y + (3 - x))",
         [](Nodes& s) { return s.make(s.n(5), s.op(C::ADD, s.x(1), s.op(C::SUB, s.n(3), s.x(0))), C::SUB); },
         "2-(x[1]-x[0])", C::SUB},
        {"2 + (y - (3 + x))",
         [](Nodes& s) { return s.make(s.n(2), s.op(C::SUB, s.x(1), s.op(C::ADD, s.n(3), s.x(0))), C::ADD); },
         "x[1]-(1+x[0])", C::SUB},
    };
    for (const Case& c : cases)
    {
        Nodes s;
        Node* result = c.make(s);
        ASSERT_NE(result, nullptr) << c.name;
        EXPECT_EQ(s.text(result), c.text) << c.name;
        EXPECT_EQ(result->pToken->type, c.rootType) << c.name;
    }
}

TEST(Simplify, PlainNodesWithoutTheFlag)
{
    Nodes s(false);
    EXPECT_EQ(s.text(s.make(s.n(2), s.n(3), C::MUL)), "2*3");
    EXPECT_EQ(s.text(s.make(s.x(0), s.n(0), C::SUB)), "x[0]-0");
    EXPECT_EQ(s.text(s.make(s.x(0), s.x(0), C::MUL)), "x[0]*x[0]");
    EXPECT_EQ(s.text(s.tree.minusOne(s.n(3))), "3-1");
}

TEST(Simplify, MinusOneAndPowers)
{
    Nodes s;
    EXPECT_EQ(s.text(s.tree.minusOne(s.n(3))), "2");
    EXPECT_EQ(s.text(s.tree.minusOne(s.op(C::ADD, s.x(0), s.n(1)))), "x[0]");
    EXPECT_EQ(s.text(s.tree.minusOne(s.op(C::SUB, s.x(0), s.n(2)))), "x[0]-3");
    EXPECT_EQ(s.text(s.tree.minusOne(s.x(1))), "x[1]-1");
    Node* root = s.op(C::POW, s.x(0), s.n(3));
    EXPECT_EQ(s.text(s.tree.power(root, 2, true)), "x[0]^6");
    EXPECT_EQ(s.text(root), "x[0]^3");
    EXPECT_EQ(s.text(s.tree.power(s.x(1), -1, false)), "x[1]^-1");
}

// ---- property: the simplified node has the value of the plain node ----

// Small operand trees, chain shapes among them.
Node* operand(Nodes& s, std::mt19937& rng, int depth)
{
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto leaf = [&]() -> Node* {
        switch (pick(5))
        {
        case 0:
        case 1: return s.x(static_cast<td::UINT4>(pick(3)));
        case 2: return s.p(static_cast<td::UINT4>(pick(2)));
        case 3: return s.n(pick(7) - 3);
        default: return s.r((pick(16) + 1) / 4.0);
        }
    };
    if (depth == 0 || pick(3) == 0)
        return leaf();
    static const td::BYTE ops[] = {C::ADD, C::SUB, C::MUL, C::DIV};
    td::BYTE code = ops[pick(4)];
    switch (pick(4))
    {
    case 0:
        // a literal on the left, as in (3 - x) + y
        return s.op(code, s.n(pick(5) + 1), operand(s, rng, depth - 1));
    case 1: return s.op(code, operand(s, rng, depth - 1), s.r((pick(8) + 1) / 2.0));
    case 2: return s.neg(operand(s, rng, depth - 1));
    default: return s.op(code, operand(s, rng, depth - 1), operand(s, rng, depth - 1));
    }
}

bool close(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)}); }

TEST(Simplify, SimplifiedNodeHasThePlainValue)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.25, 3.0);
    static const td::BYTE ops[] = {C::ADD, C::SUB, C::MUL, C::DIV, C::POW};
    int compared = 0;
    for (int i = 0; i < 3000; ++i)
    {
        Nodes s;
        for (double& v : s.ctx.solver.values)
            v = u(rng);
        Node* l = operand(s, rng, 3);
        Node* r = operand(s, rng, 3);
        const td::BYTE code = ops[i % 5];
        const bool copyL = rng() % 2 == 0;
        const bool copyR = rng() % 2 == 0;
        Node* savedL = s.tree.copy(l);
        Node* savedR = s.tree.copy(r);
        // Identities hold for finite operands and a finite plain value.
        const bool finite = std::isfinite(s.value(s.tree.copy(l))) && std::isfinite(s.value(s.tree.copy(r)));
        const double plain = s.value(s.op(code, s.tree.copy(l), s.tree.copy(r)));
        Node* result = s.make(l, r, code, copyL, copyR);
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(!copyL || Tree::equal(l, savedL)) << s.text(savedL);
        EXPECT_TRUE(!copyR || Tree::equal(r, savedR)) << s.text(savedR);
        if (!finite || !std::isfinite(plain))
            continue;
        const double simplified = s.value(result);
        ++compared;
        EXPECT_TRUE(close(simplified, plain))
            << s.text(savedL) << " " << sl::Token<double>::printName(code) << " " << s.text(savedR) << " -> "
            << s.text(result) << ": " << simplified << " vs " << plain;
    }
    EXPECT_GT(compared, 2000);
}
} // namespace
