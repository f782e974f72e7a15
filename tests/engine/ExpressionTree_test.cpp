#include <gtest/gtest.h>

#include "TreeSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using namespace test::realTokens;
using Tree = sl::ExpressionTree<double>;
using Node = sl::ETNode<double>;

TEST(ExpressionTree, StatisticsOfSymbolsLiteralsAndFunctionLeaves)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // x + 2 * p
    ctx.build(tree, {v(0), o(C::ADD), Mk::integer(2), o(C::MUL), p(0)});
    EXPECT_EQ(tree.getNumberOfNodes(), 5u);
    EXPECT_EQ(tree.getNumberOfVariableRefs(), 1u);
    EXPECT_EQ(tree.getNumberOfParameterRefs(), 1u);
    EXPECT_EQ(tree.getNumberOfConstants(), 1u);

    // A parent symbol with a variable's index is a parameter reference; each reference
    // leaf is two instructions and one constant.
    auto other = ctx.tree();
    ctx.build(other, {Mk::parent(1), o(C::ADD), f(C::SMAX), lp, Mk::stat(0), rp});
    EXPECT_EQ(other.getNumberOfNodes(), 4u);
    EXPECT_EQ(other.getNumberOfVariableRefs(), 0u);
    EXPECT_EQ(other.getNumberOfParameterRefs(), 1u);
    EXPECT_EQ(other.getNumberOfConstants(), 1u);
}

TEST(ExpressionTree, DetachLiftsTheLeftChild)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // sin(x) * y: detaching sin puts x in its place
    ctx.build(tree, {f(C::SIN), lp, v(0), rp, o(C::MUL), v(1)});
    Node* root = tree.getRoot();
    Node* sinNode = root->pLeftNode;
    tree.detachNode(sinNode);
    EXPECT_EQ(root->pLeftNode, sinNode->pLeftNode);
    EXPECT_EQ(tree.getNumberOfNodes(), 3u);
    // On the root the left child becomes the root.
    tree.detachNode(root);
    EXPECT_EQ(tree.getRoot(), sinNode->pLeftNode);
    EXPECT_EQ(tree.getNumberOfNodes(), 2u);
}

TEST(ExpressionTree, FreeOfVariablesOutsideAnExcludedSubtree)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // p0 * sin(x) + p1
    ctx.build(tree, {p(0), o(C::MUL), f(C::SIN), lp, v(0), rp, o(C::ADD), p(1)});
    Node* sinNode = tree.getRoot()->pLeftNode->pRightNode;
    EXPECT_FALSE(tree.isFreeOfVars(nullptr, -4));
    EXPECT_TRUE(tree.isFreeOfVars(sinNode, -4));
    // p1 is the symbol nVars + 1.
    EXPECT_FALSE(tree.isFreeOfVars(sinNode, 1));
    EXPECT_TRUE(tree.isFreeOfVars(sinNode, 2));

    // Parent symbols are neither variables nor the time parameter of this model.
    auto parentOnly = ctx.tree();
    ctx.build(parentOnly, {Mk::parent(0), o(C::ADD), Mk::parent(4)});
    EXPECT_TRUE(parentOnly.isFreeOfVars(nullptr, 1));
}

TEST(ExpressionTree, EqualityComparesTypesIndicesOriginsAndValues)
{
    test::TreeContext<double> ctx;
    auto build = [&ctx](std::initializer_list<K> tokens) {
        auto t = ctx.tree();
        EXPECT_TRUE(t.build(ctx.list(tokens)));
        return t.getRoot();
    };
    Node* a = build({v(0), o(C::ADD), Mk::integer(1)});
    EXPECT_TRUE(Tree::equal(a, build({v(0), o(C::ADD), Mk::integer(1)})));
    EXPECT_FALSE(Tree::equal(a, build({v(0), o(C::ADD), Mk::real(1)})));
    EXPECT_FALSE(Tree::equal(a, build({v(1), o(C::ADD), Mk::integer(1)})));
    EXPECT_FALSE(Tree::equal(a, build({v(0), o(C::SUB), Mk::integer(1)})));
    EXPECT_FALSE(Tree::equal(a, build({v(0), o(C::ADD), Mk::integer(2)})));
    EXPECT_FALSE(Tree::equal(a, build({Mk::parent(0), o(C::ADD), Mk::integer(1)})));
    EXPECT_FALSE(Tree::equal(build({f(C::SIN), lp, v(0), rp}), build({f(C::COS), lp, v(0), rp})));
    EXPECT_FALSE(Tree::equal(a, nullptr));
    EXPECT_TRUE(Tree::equal(nullptr, nullptr));
}

TEST(ExpressionTree, CopiesAreDeepAndReplaceOneNode)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    ctx.build(tree, {v(0), o(C::MUL), lp, v(1), o(C::ADD), Mk::integer(2), rp});
    Node* root = tree.getRoot();
    Node* copy = tree.copy(root);
    EXPECT_TRUE(Tree::equal(root, copy));
    EXPECT_NE(copy->pToken, root->pToken);
    EXPECT_NE(copy->pRightNode, root->pRightNode);
    copy->pRightNode->pRightNode->pToken->value = 5;
    EXPECT_EQ(root->pRightNode->pRightNode->pToken->value, 2.0);

    Node* replacement = tree.newSymbol(2);
    Node* swapped = tree.copy(root, root->pRightNode, replacement);
    EXPECT_EQ(swapped->pRightNode, replacement);
    EXPECT_NE(swapped->pLeftNode, root->pLeftNode);
    EXPECT_EQ(Tree::findParent(replacement, swapped), swapped);
    EXPECT_EQ(Tree::findParent(root->pRightNode->pRightNode, root), root->pRightNode);
    EXPECT_EQ(Tree::findParent(root, root), nullptr);
}

TEST(ExpressionTree, StageUpdateWrapsTheRoot)
{
    test::TreeContext<double> ctx;
    ctx.solver.var(0) = 2;
    ctx.solver.var(1) = 3;
    ctx.solver.par(0) = 10;
    auto tree = ctx.tree();
    ctx.build(tree, {v(2)});
    ctx.solver.var(2) = 4;
    // p0 + ((x1 * x2) - x0) = 10 + 12 - 2
    tree.makeStageUpdate(0, 1);
    EXPECT_EQ(tree.getNumberOfNodes(), 7u);
    sl::Evaluator<double>* e = ctx.compile(tree);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ctx.evaluate(*e), 20.0);
}

TEST(ExpressionTree, FunctionArityByBuild)
{
    for (td::BYTE id : {C::ATG2, C::MIN, C::MAX, C::DIFF, C::ROUND})
        EXPECT_EQ(Tree::functionArity(id), 2) << int(id);
    for (td::BYTE id : {C::LIMIT, C::DISN, C::DISC})
        EXPECT_EQ(Tree::functionArity(id), 3) << int(id);
    EXPECT_EQ(Tree::functionArity(C::SIN), 1);
    EXPECT_EQ(sl::ExpressionTree<Cmplx>::functionArity(C::ATG2), 1);
}

TEST(ExpressionTree, TokenListQueries)
{
    test::TreeContext<double> ctx;
    sl::TokenNode<double>* list =
        ctx.list({f(C::INTEGRAL), lp, v(0), rp, o(C::ADD), f(C::INTEGRAL), lp, Mk::integer(1), rp});
    EXPECT_EQ(Tree::countFunctionTokens(list, C::INTEGRAL), 2u);
    EXPECT_EQ(Tree::countFunctionTokens(list, C::SIN), 0u);
    EXPECT_EQ(Tree::countFunctionTokens(nullptr, C::SIN), 0u);
    EXPECT_FALSE(Tree::hasNoSymbolTokens(list));
    EXPECT_TRUE(Tree::hasNoSymbolTokens(ctx.list({Mk::integer(1), o(C::ADD), Mk::real(2)})));
    EXPECT_FALSE(Tree::hasNoSymbolTokens(ctx.list({Mk::make(C::IDENTIFIER)})));
    EXPECT_TRUE(Tree::hasNoSymbolTokens(nullptr));
}

TEST(ExpressionTree, IntegralFunctionThroughProductsAndDividends)
{
    struct Case
    {
        std::vector<K> tokens;
        bool found;
    } cases[] = {
        {{f(C::INTEGRAL), lp, v(0), rp}, true},
        {{p(0), o(C::MUL), f(C::INTEGRAL), lp, v(0), rp}, true},
        {{f(C::INTEGRAL), lp, v(0), rp, o(C::DIV), p(0)}, true},
        {{p(0), o(C::DIV), f(C::INTEGRAL), lp, v(0), rp}, false},
        {{p(0), o(C::ADD), f(C::INTEGRAL), lp, v(0), rp}, false},
    };
    for (const Case& c : cases)
    {
        test::TreeContext<double> ctx;
        sl::TokenNode<double>* first = ctx.list(c.tokens);
        auto tree = ctx.tree();
        ASSERT_TRUE(tree.build(first));
        Node* found = tree.findIntegralFn();
        EXPECT_EQ(found != nullptr, c.found);
        EXPECT_TRUE(!found || found->pToken->functionID() == C::INTEGRAL);
    }
}

TEST(ExpressionTree, StateVariablesByTheirSymbolRecords)
{
    test::TreeContext<double> ctx;
    cnt::SafeFullVector<sl::SymbolInfo> info;
    info.resize(6);
    for (std::size_t i = 0; i < 6; ++i)
        info[i] = sl::SymbolInfo{0, 2, 0};
    info[1].varType = 3;
    ctx.data().pSymbolInfo = &info;
    auto tree = ctx.tree();
    ctx.build(tree, {v(0), o(C::ADD), v(1)});
    EXPECT_TRUE(tree.containsStateVariable(tree.getRoot(), C::SYMBOL));
    EXPECT_FALSE(tree.containsStateVariable(tree.getRoot()->pLeftNode, C::SYMBOL));
    // A parent symbol never reads this model's records.
    auto parent = ctx.tree();
    ctx.build(parent, {Mk::parent(1)});
    EXPECT_FALSE(parent.containsStateVariable(parent.getRoot(), C::SYMBOL));
}

TEST(ExpressionTree, LiteralSearchAlongChains)
{
    test::TreeContext<double> ctx;
    auto tree = ctx.tree();
    // x / (y * 3)
    ctx.build(tree, {v(0), o(C::DIV), lp, v(1), o(C::MUL), Mk::integer(3), rp});
    bool inverted = false;
    Node* found = Tree::findLiteralFactor(tree.getRoot(), inverted);
    EXPECT_EQ(found, tree.getRoot()->pRightNode);
    EXPECT_TRUE(inverted);
    // (2 - x) + y: the literal is the left operand of the inner node, not inverted.
    auto terms = ctx.tree();
    ctx.build(terms, {lp, Mk::integer(2), o(C::SUB), v(0), rp, o(C::ADD), v(1)});
    inverted = false;
    EXPECT_EQ(Tree::findLiteralTerm(terms.getRoot(), inverted), terms.getRoot()->pLeftNode);
    EXPECT_FALSE(inverted);
    // y - (x - 2): below the right operand of one '-' and the right operand of another.
    auto twice = ctx.tree();
    ctx.build(twice, {v(1), o(C::SUB), lp, v(0), o(C::SUB), Mk::integer(2), rp});
    inverted = false;
    EXPECT_EQ(Tree::findLiteralTerm(twice.getRoot(), inverted), twice.getRoot()->pRightNode);
    EXPECT_FALSE(inverted);
    inverted = false;
    EXPECT_EQ(Tree::findLiteralTerm(tree.getRoot(), inverted), nullptr);
}
} // namespace

// Trees deeper than any call stack: every walk keeps its path on the heap.
TEST(ExpressionTree, WalksOfTreesAHundredThousandLevelsDeep)
{
    constexpr int n = 100000;
    test::TreeContext<double> ctx;
    ctx.solver.names = {"x", "y", "z", "p", "q", "r"};
    cnt::SafeFullVector<sl::SymbolInfo> info;
    info.resize(6);
    for (std::size_t i = 0; i < 6; ++i)
        info[i] = sl::SymbolInfo{0, 2, 0};
    info[0].varType = 3;
    ctx.data().pSymbolInfo = &info;

    // 2 + x + p + p + ... leans left; its literal and x lie at the bottom.
    std::vector<K> sum = {Mk::integer(2), o(C::ADD), v(0)};
    for (int i = 0; i < n; ++i)
        sum.insert(sum.end(), {o(C::ADD), p(0)});
    auto left = ctx.tree();
    ASSERT_TRUE(left.build(ctx.list(sum)));
    Node* bottom = left.getRoot();
    while (bottom->pLeftNode->pLeftNode)
        bottom = bottom->pLeftNode;
    Node* x = bottom->pRightNode;
    EXPECT_EQ(left.getNumberOfNodes(), static_cast<td::UINT4>(2 * n + 3));
    EXPECT_EQ(Tree::stackNeed(left.getRoot()), 2u);
    EXPECT_EQ(Tree::findParent(x, left.getRoot()), bottom);
    bool inverted = false;
    EXPECT_EQ(Tree::findLiteralTerm(left.getRoot(), inverted), bottom);
    EXPECT_FALSE(inverted);
    EXPECT_FALSE(left.isFreeOfVars(nullptr, -4));
    EXPECT_TRUE(left.isFreeOfVars(bottom, -4));
    EXPECT_TRUE(left.containsStateVariable(left.getRoot(), C::SYMBOL));
    // The text: "((2+x)+p)" and one more "(", "+p)" per term.
    EXPECT_EQ(ctx.text(left).size(), std::string("(2+x)").size() + 4u * n);

    Node* copy = left.copy(left.getRoot());
    EXPECT_TRUE(Tree::equal(copy, left.getRoot()));
    Node* copyBottom = copy;
    while (copyBottom->pLeftNode->pLeftNode)
        copyBottom = copyBottom->pLeftNode;
    copyBottom->pRightNode->pToken->index = 1;
    EXPECT_FALSE(Tree::equal(copy, left.getRoot()));

    // p * (p * (... * int(x))) leans right; comparisons nested the same way need a cell
    // per level.
    std::vector<K> product, comparison;
    for (int i = 0; i < n; ++i)
    {
        product.insert(product.end(), {p(0), o(C::MUL), lp});
        comparison.insert(comparison.end(), {p(0), o(C::GREATER), lp});
    }
    product.insert(product.end(), {f(C::INTEGRAL), lp, v(0), rp});
    comparison.push_back(v(0));
    for (int i = 0; i < n; ++i)
    {
        product.push_back(rp);
        comparison.push_back(rp);
    }
    auto right = ctx.tree();
    ASSERT_TRUE(right.build(ctx.list(product)));
    Node* integral = right.findIntegralFn();
    ASSERT_NE(integral, nullptr);
    EXPECT_EQ(integral->pToken->functionID(), C::INTEGRAL);
    auto nestedComparison = ctx.tree();
    ASSERT_TRUE(nestedComparison.build(ctx.list(comparison)));
    EXPECT_EQ(Tree::stackNeed(nestedComparison.getRoot()), static_cast<td::UINT4>(n + 1));
    EXPECT_TRUE(ctx.log.messages.empty());
}
