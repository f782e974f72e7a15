// The XML road's equations: an Eq element's fx in residual form, or its cond with Then and
// Else branches (nested conditions read depth-first), compiled with its Jacobian entries.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "JacobianBuilder.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlEquationReader
{
public:
    using Tree = ExpressionTree<T>;

    // The variables of each equation are collected into used.
    XmlEquationReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used), _jacobian(state, used) {}

    // Equations: an Eq of fx (residual form) or cond with Then/Else branches.
    bool loadEquation(const xml::Node& eq, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    // The n Eq elements from eq on as equations firstRow, firstRow + 1, ... of their kind;
    // false after the entry of the first that fails and its item number (section 0 after).
    bool loadEquations(xml::Node eq, td::UINT4 n, td::UINT4 firstRow, td::UINT4& nonZeroCount, char kind);
    // Fills tree (made if-then-else) from a node with cond; depth counts from 1. In
    // assignment mode each branch is an assignment of its own fx.
    bool loadCondEquation(const xml::Node& condNode, bool elseRequired, Tree& tree, bool assignmentMode,
                          td::UINT4 depth = 1);

private:
    bool loadBranch(const xml::Node& branch, bool isThen, bool elseRequired, bool assignmentMode, td::UINT4 depth,
                    Tree*& pOut);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    JacobianBuilder<T> _jacobian;
};

extern template class XmlEquationReader<double>;
extern template class XmlEquationReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlEquationReader = sl::XmlEquationReader<double>;
}

namespace slCmplx
{
using XmlEquationReader = sl::XmlEquationReader<std::complex<double>>;
}
