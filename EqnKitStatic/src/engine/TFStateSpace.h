// A transfer function y / u = N(s)/D(s) realised in state space, a pass over the tree of
// f(s): the format check, the normalised coefficient arrays and the state-space equations.
#pragma once

#include <complex>

#include <td/Types.h>

#include "ETNode.h"
#include "TransferFunction.h"

namespace sl
{
template <typename T> class ExpressionTree;

// Made on the stack over the tree of f(s) of one statement, whose pools make every new
// node and at whose statement its messages stand; it keeps no state of its own.
template <typename T> class TFStateSpace
{
public:
    using Node = ETNode<T>;

    explicit TFStateSpace(ExpressionTree<T>& tree) : _tree(tree) {}

    // Fills the orders and forms of tf; false after "@ET.TFBadFormatL", "@ET.TFBadFormatR",
    // "@ET.TFNomBadFormat", "@ET.TFDenomBadFormat", "@ET.TFNoLaplace" or "@ET.TFBadFormat"
    // (a power of s other than 0..64, a zero leading coefficient).
    bool checkTFFormat(TransferFunction& tf);
    // The coefficients of D (denomOrder + 1 slots) and N (nomOrder + 1 slots) after the
    // check, divided by the leading coefficient of D, which becomes 1. False when the
    // tree does not match the orders of tf.
    bool getTFPolynomials(Node** pDenom, Node** pNom, const TransferFunction& tf);
    // The numerator coefficient of the same power of s as denominator slot position.
    static Node* coefficientAt(Node* const* pNom, const TransferFunction& tf, td::UINT2 position);
    // Index of the first coefficient (0..order) that holds s; -1 when none does.
    static td::INT4 findCoeffWithLaplace(Node* const* pCoeffs, td::UINT2 order);
    // The state-space equations of the normalised polynomials into tf.equationCount()
    // slots: equation k < tf.stateCount() is the derivative of state slot k, the rest are
    // residuals (proper: the output; polynomial: u - x0; improper: u - x_n, then the
    // output through the division variable). State slot k is the symbol
    // firstState + k*(stages + 1), the division variable slot stateCount(). False (nothing
    // written) when tf's symbols are not variables of the tree or the polynomials are not
    // normalised.
    bool makeTFStateSpace(Node** pEquations, Node* const* pDenom, Node* const* pNom, const TransferFunction& tf,
                          td::UINT2 stages);

private:
    ExpressionTree<T>& _tree;
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over TFStateSpace.inl.
extern template class TFStateSpace<double>;
extern template class TFStateSpace<std::complex<double>>;
} // namespace sl
