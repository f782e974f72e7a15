// Trees read as polynomials in the Laplace operator s, a pass over one expression tree:
// order and form, coefficient arrays, their products and division, taking an operand out.
#pragma once

#include <complex>

#include <td/Types.h>

#include "ETNode.h"
#include "TransferFunction.h"

namespace sl
{
template <typename T> class ExpressionTree;

// Made on the stack over a tree, whose pools and simplifying constructor make every new
// node; it keeps no state of its own. Coefficient arrays hold one subtree per power of s,
// the leading (highest-power) coefficient at index 0; null is a zero coefficient.
template <typename T> class Polynomials
{
public:
    using Node = ETNode<T>;

    explicit Polynomials(ExpressionTree<T>& tree) : _tree(tree) {}

    // Order and form of node as a polynomial in s; every operator node below keeps the
    // forms of its operands in its tags. The exponent of s must be an integer literal
    // 0..64 and no order may pass 64, else the form is NotPoly.
    static PolyForm polynomialForm(Node* pNode);
    // The same; with the form NotPoly, the term that makes it so (the leftmost node that is
    // no polynomial in s though its operands are) in pCulprit.
    static PolyForm polynomialForm(Node* pNode, const Node*& pCulprit);
    // The order + 1 coefficients of node, a polynomial of that order, as new subtrees;
    // literal zeros become null. False when node is no such polynomial.
    bool polynomialCoefficients(Node* pNode, td::UINT2 order, Node** pCoeffs);
    // c = a * b (orders na and nb, c has na + nb + 1 slots); returns na + nb.
    td::UINT4 multiplyPolynomials(Node* const* a, Node* const* b, Node** c, td::UINT2 na, td::UINT2 nb);
    // a (order n) = quotient * b + remainder, b of order m monic (b[0] is not read):
    // quotient gets n - m + 1 slots, remainder m slots (powers m - 1 down to 0). a stays
    // as it is. False when n < m.
    bool dividePolynomials(Node* const* a, Node* const* b, Node** pQuotient, Node** pRemainder, td::UINT2 n,
                           td::UINT2 m);
    // Takes the operand of the binary node that is not kept out of the tree below
    // rootLink: the kept operand takes the node's place, except that a '-' or '/' losing
    // its left operand becomes 0 - kept or 1 / kept. False for a node that is no '+',
    // '-', '*' or '/' with kept as an operand, or that is not below rootLink.
    bool removeOperand(Node*& rootLink, Node* pNode, Node* pKept);

private:
    ExpressionTree<T>& _tree;
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over Polynomials.inl.
extern template class Polynomials<double>;
extern template class Polynomials<std::complex<double>>;
} // namespace sl
