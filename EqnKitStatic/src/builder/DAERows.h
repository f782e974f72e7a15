// The rows of a DAE model's time step, whichever road read the model: each differential
// equation discretised with the model's method, each transfer function realised in state
// space, and every row compiled with its symbolic Jacobian.
#pragma once

#include <complex>

#include <td/Types.h>

#include "DAEStageContext.h"
#include "JacobianBuilder.h"

namespace sl
{
template <typename T> class BuildState;
template <typename T> class ExpressionTree;
template <typename T> struct ETNode;
template <typename T> class UsedVariables;
struct TransferFunction;

// Where realising a transfer function failed.
enum class TFFailure : td::BYTE
{
    None,
    Polynomials,
    DenomLaplace,
    NomLaplace,
    StateSpace,
    Discretize,
    StateRows,
    OutputRows
};

template <typename T> class DAERows
{
public:
    using Tree = ExpressionTree<T>;
    using Node = ETNode<T>;

    // The variables of each row are gathered into used.
    DAERows(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used), _jacobian(state, used) {}

    // x' = f as the method's rows (the tree's root, or the int node's operand): one for
    // Euler and trapezoidal, stages + 1 for a stage method. False after an error entry
    // for equation eqNo.
    bool discretize(Tree& tree, Node* pIntegral, td::UINT4 state, td::UINT4 eqNo, Node** pRows, td::UINT4& nRows);
    // Replaces tree (f of the ODE of variable, or its integral form) by its Euler or
    // trapezoidal residual; false after an error entry for equation eqNo.
    bool mapDAEVarHistory(Tree& tree, Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo);
    // Compiles root as row with the derivatives by every variable it reads.
    bool compileRow(Node* pRoot, td::UINT4 row, td::UINT4& nonZeros);
    // The realisation of f(s) (fTree) and its rows from row on; position is the
    // coefficient that still holds s.
    TFFailure realiseTransferFunction(Tree& fTree, const TransferFunction& tf, td::UINT4& row, td::UINT4& nonZeros,
                                      td::INT4& position);

private:
    DAEStageContext stageContext(td::UINT4 state) const;
    // An error entry for equation eqNo; false for chaining.
    bool reportDiscretizeFailure(td::UINT4 variable, td::UINT4 eqNo) const;

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    JacobianBuilder<T> _jacobian;
};

extern template class DAERows<double>;
extern template class DAERows<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DAERows = sl::DAERows<double>;
}

namespace slCmplx
{
using DAERows = sl::DAERows<std::complex<double>>;
}
