// The step both roads and the DAE rows end an equation with: its tree compiled into the
// residual list of its kind, its symbolic Jacobian entries and the program of its row.
#pragma once

#include <complex>
#include <vector>

#include <td/Types.h>

namespace sl
{
template <typename T> class BuildState;
template <typename T> class ExpressionTree;
template <typename T> class EquationRows;
template <typename T> class Evaluator;
template <typename T> class EvaluatorSparseMatrix;
template <typename T> class UsedVariables;
template <typename T> struct ETNode;

// Equation kinds: nonlinear equations, measurement equations, equality constraints.
constexpr char cNLEquation = 'F';
constexpr char cMeasurement = 'H';
constexpr char cConstraint = 'E';
// The Jacobian entries a build reserves per equation.
constexpr td::UINT4 cEntriesPerEquation = 5;

template <typename T> class JacobianBuilder
{
public:
    using Tree = ExpressionTree<T>;

    // The variables of each equation are collected into used.
    JacobianBuilder(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // Compiles tree as equation eqIndex of its kind with its derivatives by every
    // variable collected for it.
    bool makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);

private:
    // The derivative record of a switch or if equation (pEquation its residual) and its
    // row, from firstEntry of the matrix.
    bool makeConditional(Tree& tree, Evaluator<T>* pEquation, EvaluatorSparseMatrix<T>& matrix, td::UINT4 eqIndex,
                         EquationRows<T>* pRows, td::UINT4 firstEntry);
    // The roots of a plain equation's row: its own, then its derivative by each used
    // variable that has one.
    bool collectDerivatives(Tree& tree);
    // The entries of the row from the roots, each compiled into the matrix.
    bool compileEntries(Tree& tree, EvaluatorSparseMatrix<T>& matrix, td::UINT4 eqIndex, td::UINT4& nonZeroCount);
    // The program of a plain equation's row from the roots collected for it.
    void addRow(Tree& tree, EquationRows<T>& rows, td::UINT4 firstEntry, td::UINT4 nEntries);
    bool reportDiffFailure(const char* key) const;

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    // The roots of the row being compiled: the equation's, then its entries', and the
    // variable of each entry; kept from equation to equation.
    std::vector<ETNode<T>*> _roots;
    std::vector<td::UINT4> _rootVariables;
};

extern template class JacobianBuilder<double>;
extern template class JacobianBuilder<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using JacobianBuilder = sl::JacobianBuilder<double>;
}

namespace slCmplx
{
using JacobianBuilder = sl::JacobianBuilder<std::complex<double>>;
}
