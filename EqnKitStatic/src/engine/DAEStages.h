// A differential equation x' = f discretised for the DAE solver, a pass over its tree:
// copies of f at the previous step and at the stages, and the Euler, trapezoidal and
// Gauss-Legendre equations over history parameters and stage variables.
#pragma once

#include <complex>

#include <td/Types.h>

#include "DAEStageContext.h"
#include "ETNode.h"

namespace matrix
{
class Butcher;
}

namespace sl
{
template <typename T> class ExpressionTree;

// Made on the stack over the tree of one equation, whose pools make every new node and
// whose root the Euler and trapezoidal forms replace; it keeps no state of its own.
// f is the root, or the operand of pIntegral, the int node of an integral form
// x = k*int(f); then f's increment replaces that node and the whole tree is the
// increment. States are symbols whose SymbolInfo type is 3 or more. A state without the
// record an expansion needs, or t as a single-token argument (round(x, t)), fails the
// expansion (false, null) and leaves the tree as it was.
template <typename T> class DAEStages
{
public:
    using Node = ETNode<T>;

    explicit DAEStages(ExpressionTree<T>& tree) : _tree(tree) {}

    // A copy of node at the previous step: states become their history parameters and
    // t becomes t - dT.
    Node* mapHistoryVariables(const Node* pNode, const DAEStageContext& ctx);
    // A copy of node at stage j of fraction c: states become their stage variable j and
    // t becomes t - (1 - c)*dT.
    Node* copyWithStageSubstitution(const Node* pNode, const DAEStageContext& ctx, double c, td::UINT2 stage);
    // The root becomes x_old + (dT*f - x).
    bool discretizeEuler(Node* pIntegral, const DAEStageContext& ctx);
    // The root becomes x_old + (dT/2*(f_old + f) - x), f_old the history copy; f without
    // states and t gives x_old + (dT*f - x).
    bool discretizeTrapezoidal(Node* pIntegral, const DAEStageContext& ctx);
    // stages + 1 equations: x_old + dT*(sum of b_j*f_j) - x, then for each stage i
    // x_old + dT*(sum of A_ij*f_j) - K_i; f without states and t gives x_old + dT*f - x
    // and the bare K_i. The root is left as it is.
    bool expandDAEStages(Node* pIntegral, const DAEStageContext& ctx, const matrix::Butcher& tableau,
                         Node** pEquations);

private:
    // The increment takes the place of the int node: the whole tree after that, or the
    // increment itself without one.
    Node* replaceIntegral(Node* pIntegral, Node* pIncrement);

    ExpressionTree<T>& _tree;
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over DAEStages.inl.
extern template class DAEStages<double>;
extern template class DAEStages<std::complex<double>>;
} // namespace sl
