#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using namespace test::realTokens;
using Tree = sl::ExpressionTree<double>;

TEST(TreePrint, ByNameAndByIndex)
{
    struct Case
    {
        std::vector<K> tokens;
        const char* byName;
        const char* byIndex;
    } cases[] = {
        {{v(0), o(C::ADD), v(1), o(C::MUL), v(2)}, "(a+(b*c))", "x[0]+(x[1]*x[2])"},
        {{f(C::SIN), lp, v(0), rp}, "sin(a)", "sin(x[0])"},
        {{f(C::SIN), lp, v(0), o(C::ADD), Mk::integer(1), rp}, "sin(a+1)", "sin(x[0]+1)"},
        {{f(C::ATG2), lp, v(1), cm, v(0), rp}, "atan2(b,a)", "atan2(x[1],x[0])"},
        {{f(C::ROUND), lp, v(0), cm, Mk::integer(2), rp}, "round(a,2)", "round(x[0],2)"},
        {{p(2), o(C::SUB), Mk::parent(5)}, "(pc-main_s[5])", "u[2]-main_s[5]"},
        {{Mk::parent(1), o(C::MUL), Mk::real(0.25)}, "(pb*0.25)", "main_s[1]*0.25"},
        // Word operators stand between blanks.
        {{v(0), o(C::GREATER), v(1), o(C::LOGIC_AND), v(2)}, "((a>b) and c)", "(x[0]>x[1]) and x[2]"},
        {{v(0), o(C::LOGIC_XOR), v(1)}, "(a xor b)", "x[0] xor x[1]"},
        // not and the three-argument calls print whole.
        {{o(C::LOGIC_NEGATION), v(0)}, "not(a)", "not(x[0])"},
        {{o(C::LOGIC_NEGATION), lp, v(0), o(C::GREATER), v(1), rp}, "not(a>b)", "not(x[0]>x[1])"},
        {{f(C::DISC), lp, v(0), cm, p(0), cm, Mk::real(0.5), rp}, "disc(a,pa,0.5)", "disc(x[0],u[0],0.5)"},
        {{f(C::DISN), lp, v(0), cm, p(1), cm, Mk::integer(3), rp}, "disn(a,pb,3)", "disn(x[0],u[1],3)"},
        {{f(C::AVG), lp, Mk::stat(1), rp, o(C::ADD), f(C::RND), lp, Mk::gen(0), rp},
         "(avg(speed)+rnd(noise))",
         "avg(1)+rnd(0)"},
        {{Mk::make(C::PI), o(C::MUL), Mk::make(C::E), o(C::ADD), Mk::make(C::TRUE_LITERAL)},
         "((pi*e)+true)",
         "(pi*e)+true"},
        {{Mk::integer(1), o(C::ADD), Mk::make(C::INT_LITERAL, 0, 6e15)}, "(1+6000000000000000)", "1+6000000000000000"},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        ctx.solver.names = {"a", "b", "c", "pa", "pb", "pc"};
        ctx.parent.names = {"m0", "pb"};
        ctx.solver.stats.reserve(2);
        ctx.solver.stats.record(1).name = "speed";
        td::String noise("noise");
        ctx.solver.generators.add(noise, new test::CountingGen(0));
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        Tree tree = ctx.tree();
        ASSERT_TRUE(tree.build(first)) << c.byName;
        EXPECT_EQ(ctx.text(tree, 0), c.byName);
        EXPECT_EQ(ctx.text(tree, 1), c.byIndex);
    }
}

TEST(TreePrint, NamesOutsideTheSymbolListFallBackToIndices)
{
    test::TreeContext<double> ctx;
    ctx.solver.names = {"a"};
    Tree tree = ctx.tree();
    tree.pushRoot(tree.newOperator(C::ADD, tree.newSymbol(9), tree.newSymbol(4, sc::SymbolOrigin::ParentModel)));
    EXPECT_EQ(ctx.text(tree, 0), "(u[6]+main_s[4])");
    ctx.solver.pParent = nullptr;
    tree.pushRoot(tree.newSymbol(1, sc::SymbolOrigin::ParentModel));
    EXPECT_EQ(ctx.text(tree, 0), "main_s[1]");
}

TEST(TreePrint, LimitLeavesAndMissingParts)
{
    test::TreeContext<double> ctx;
    Tree tree = ctx.tree();
    ASSERT_TRUE(tree.build(ctx.list({f(C::LIMIT), lp, v(0), cm, Mk::integer(0), cm, Mk::integer(1), rp})));
    EXPECT_EQ(ctx.text(tree, 0), "lim(1,0)");
    tree.getRoot()->pToken->value = sl::packLimitWord(3, 2);
    EXPECT_EQ(ctx.text(tree, 1), "lim(3,2)");

    Tree partial = ctx.tree();
    partial.pushRoot(partial.newOperator(C::MUL, partial.newSymbol(0), nullptr));
    EXPECT_EQ(ctx.text(partial, 1), "x[0]*NDEF");
    Tree none = ctx.tree();
    EXPECT_EQ(ctx.text(none, 0), "NDEF");
}

TEST(TreePrint, NumberTexts)
{
    EXPECT_EQ(std::string(Tree::numberText(42.9, C::INT_LITERAL).c_str()), "42");
    EXPECT_EQ(std::string(Tree::numberText(-9007199254740993.0, C::INT_LITERAL).c_str()), "-9007199254740992");
    EXPECT_EQ(std::string(Tree::numberText(1e300, C::INT_LITERAL).c_str()), "1e+300");
    EXPECT_EQ(std::string(Tree::numberText(0.1, C::REAL_LITERAL).c_str()), "0.1");
    EXPECT_EQ(std::string(Tree::numberText(0, C::FALSE_LITERAL).c_str()), "false");
    EXPECT_EQ(std::string(Tree::numberText(0, C::OPEN_PARENTHESIS).c_str()), "NEDEF");
    EXPECT_EQ(std::string(Tree::numberText(0, C::IMAG_LITERAL).c_str()), "NEDEF");

    using CT = sl::ExpressionTree<Cmplx>;
    EXPECT_EQ(std::string(CT::numberText(Cmplx(0, 2.5), C::IMAG_LITERAL).c_str()), "2.5i");
    EXPECT_EQ(std::string(CT::numberText(Cmplx(1, -2), C::CMPLX_LITERAL).c_str()), "(1-2i)");
    EXPECT_EQ(std::string(CT::numberText(Cmplx(1, 2), C::CMPLX_LITERAL).c_str()), "(1+2i)");
    EXPECT_EQ(std::string(CT::numberText(Cmplx(3, 7), C::REAL_LITERAL).c_str()), "3");
}

TEST(TreePrint, ConditionalTrees)
{
    test::TreeContext<double> ctx;
    ctx.solver.names = {"c", "a", "b"};
    Tree cond = ctx.tree(), thenTree = ctx.tree(), elseTree = ctx.tree();
    ctx.build(cond, {v(0)});
    ctx.build(thenTree, {v(1)});
    ctx.build(elseTree, {v(2), o(C::ADD), Mk::integer(1)});
    Tree ifTree = ctx.tree();
    ifTree.setType(Tree::Type::IfThenElse);
    ifTree.setConditional(&cond, &thenTree, nullptr);
    EXPECT_EQ(ctx.text(ifTree, 1), "if c:\n\ta\nend");
    ifTree.setConditional(&cond, &thenTree, &elseTree);
    EXPECT_EQ(ctx.text(ifTree, 1), "if c:\n\taelse\n\t(b+1)\nend");

    Tree first = ctx.tree(), second = ctx.tree();
    first.setType(Tree::Type::SwitchCase);
    second.setType(Tree::Type::SwitchCase);
    first.setConditional(&cond, &thenTree, &second);
    second.setConditional(nullptr, &elseTree, nullptr);
    EXPECT_EQ(ctx.text(first, 0), "switch:\n\tcase c -> a\n\tdefault -> (b+1)\nend");
}

TEST(TreePrint, ComplexLiteralsInTrees)
{
    using KC = test::Tok<Cmplx>;
    test::TreeContext<Cmplx> ctx;
    sl::ExpressionTree<Cmplx> tree = ctx.tree();
    ctx.build(tree, {KC::fn(C::CONJ), KC::open(), KC::sym(0), KC::close(), KC::op(C::MUL),
                     KC::make(C::CMPLX_LITERAL, 0, Cmplx(0.5, -1)), KC::op(C::ADD),
                     KC::make(C::IMAG_LITERAL, 0, Cmplx(0, 3))});
    EXPECT_EQ(ctx.text(tree, 1), "(conj(x[0])*(0.5-1i))+3i");
}
} // namespace
