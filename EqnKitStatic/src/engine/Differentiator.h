// The derivative of an expression tree by one variable, a pass over the tree: the
// dependence marks, the rule of each operation and function, and the node budget.
#pragma once

#include <complex>

#include <td/Types.h>

#include "ETNode.h"

namespace sl
{
template <typename T> class ExpressionTree;

// Made on the stack for one tree and one variable; it keeps the variable (and in the
// complex build its conjugate partner), the tree keeps the marks in its nodes and makes
// every node of the derivative with its pools and its simplifying constructor.
template <typename T> class Differentiator
{
public:
    using Tree = ExpressionTree<T>;
    using Node = ETNode<T>;

    // Complex build: the partner of v is v ^ 1 when the solver pairs each variable with its
    // conjugate (variables 2k and 2k + 1), else v has none.
    Differentiator(Tree& tree, td::UINT4 v);

    // The derivative of the root by v, pushed as out's root; true with out unchanged when
    // it is zero; false after "@ET.CantDiff", or after "@ET.DerivTooLarge" when making it
    // takes more nodes than derivativeNodeLimit allows.
    bool differentiate(Tree& out);
    // Marks the dependence of every node on v; false for an IfThenElse tree.
    bool dependsOn();
    // The rules on the root marked for v (by dependsOn), the result pushed as out's root;
    // false after the message.
    bool differentiateMarked(Tree& out);

    // Makes the following derivatives of tree's root by one variable each mark only what
    // depends on it (the root must stay as it is meanwhile); false when the tree is
    // marked whole for each instead (an empty tree, conj). forgetDependence ends it. One
    // tree at a time for each thread.
    static bool prepareDependence(Tree& tree);
    static void forgetDependence();

    // Nodes one derivative of a tree of nNodes nodes may take: 50 per node, at least
    // 100,000 and at most ten million (intermediate nodes that simplification drops count).
    static td::UINT4 derivativeNodeLimit(td::UINT4 nNodes);
    static constexpr td::UINT4 cDerivativeNodesPerNode = 50;
    static constexpr td::UINT4 cDerivativeNodesMin = 100000;
    static constexpr td::UINT4 cDerivativeNodesMax = 10000000;

private:
    // The rules on a marked node; null for zero. Throws std::invalid_argument for an
    // operation without a derivative. Walks without recursion, so any depth is fine.
    Node* differentiateNode(Node* pNode);
    // The derivative of the root's chain of sums and differences (pChain[j] the chain's
    // node j levels below the root) from its nodes at the positions given, deepest first,
    // whose terms depend on the variable: the nodes above and between them pass the
    // derivative from below on unchanged, so they are not walked.
    Node* differentiateChain(Node* const* pChain, const td::UINT4* pPositions, td::UINT4 nPositions);
    td::UINT4 mark(Node* pNode);
    static td::UINT4 countDistinct(const Node* pRoot);
    td::UINT4 markLeaf(Node* pNode);
    void swapConjugate();
    // Complex build: the variable being differentiated has a conjugate partner.
    bool hasConjugatePartner() const;
    bool isDiffVariable(const Node* pNode) const;
    // A rule in two halves: start gives the derivative at once (true), or names the
    // subtrees whose derivatives it needs (needed[0] in the left's place, needed[1] in the
    // right's); finish then makes the derivative from theirs.
    bool startRule(Node* pNode, Node*& pResult, Node* (&needed)[2]);
    Node* finishRule(Node* pNode, Node* dLeft, Node* dRight);
    bool startFunction(Node* pNode, Node*& pResult, Node* (&needed)[2]);
    bool startQuotient(Node* pNode, Node*& pResult, Node* (&needed)[2]);
    Node* finishFunction(Node* pNode, Node* pInner);
    Node* derivativeOf(td::BYTE functionID, Node* pNode);
    // f'(u) of a function whose derivative rule is Chain (null for the other rules).
    template <td::BYTE functionID, bool chain> Node* chainFactor(Node* pNode);
    Node* conjugated(Node* pInner);
    bool startOperator(Node* pNode, Node*& pResult, Node* (&needed)[2]);
    Node* finishOperator(Node* pNode, Node* dl, Node* dr);
    Node* negatedOverSquare(Node* pNumerator, Node* r);
    // Writes the entry of an operation (code) without a derivative and makes the column of
    // node's token the one the failure is reported at; the caller then throws.
    void failAt(const Node* pNode, const char* text, td::BYTE code);
    bool startPower(Node* pNode, Node*& pResult, Node* (&needed)[2]);
    Node* finishPower(Node* pNode, Node* db, Node* de);
    Node* powerOfVariable(Node* b, Node* e);
    Node* intLiteral(int value);
    // A subtree of the differentiated tree in a derivative: shared, or copied.
    Node* share(const Node* pNode);

    Tree& _tree;
    // The variable asked for, and the one the rules differentiate by (its partner under
    // conj).
    td::UINT4 _var;
    td::UINT4 _diffVar;
    // Complex build: the variable and its conjugate partner, swapped under conj.
    td::UINT4 _cmplxVarIndex = static_cast<td::UINT4>(-1);
    td::UINT4 _cmplxPartnerIndex = static_cast<td::UINT4>(-1);
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over Differentiator.inl.
extern template class Differentiator<double>;
extern template class Differentiator<std::complex<double>>;
} // namespace sl
