// Equations of the text road: one statement of an equation group (plain, if/else or switch)
// into its residual evaluator and its symbolic Jacobian entries, one equation at a time;
// the trees of an equation are given back once its evaluators exist.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "JacobianBuilder.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class EquationReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // The variables of each equation are collected into used.
    EquationReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used), _jacobian(state, used) {}

    // Compiles the equation at it (an if or a switch leaves it on its end line) into
    // the residual list of its kind and adds its Jacobian entries to row eqIndex.
    bool buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    // The first n equations of a group of the level as rows row, row + 1, ... of their
    // kind; false after keyOnFailure at the first that fails.
    bool buildEquations(const sc::TokenizedModel& model, sc::Group group, sc::ModelLevel level, td::UINT4 n,
                        td::UINT4& row, td::UINT4& nonZeroCount, char kind, const char* keyOnFailure);
    // The branches of an if equation, each one equation or a nested if, into tree.
    bool buildIfExpression(Iterator& it, Tree& tree, sc::Group group);
    // The cases of a switch equation into tree.
    bool buildSwitch(Iterator& it, Tree& tree, sc::Group group);

private:
    bool buildCase(Iterator& it, Tree& caseTree, bool withCondition, bool last);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    JacobianBuilder<T> _jacobian;
    // Blocks (if, switch) around the one being read.
    td::UINT4 _blockDepth = 0;
};

extern template class EquationReader<double>;
extern template class EquationReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using EquationReader = sl::EquationReader<double>;
}

namespace slCmplx
{
using EquationReader = sl::EquationReader<std::complex<double>>;
}
