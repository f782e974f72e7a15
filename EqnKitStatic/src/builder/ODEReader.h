// ODE statements of the text road: the two forms x' = f and x = ... int(f) ..., their
// checks, and the tree of f that the ODE solver evaluates (or the DAE rows discretise).
#pragma once

#include <complex>

#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class ODEReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // The variables of each ODE are collected into used.
    ODEReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The state an ODE statement defines, x' = f (headLength 2) or x = ... int(f) ...
    // (headLength 1, isIntegral); -1 after a key.
    td::INT4 checkODEFormat(const Iterator& it, td::UINT4& headLength, bool& isIntegral) const;
    // Calls of int in the statement's tokens; the column of the first in pFirstColumn.
    static td::UINT4 countIntegrals(const Iterator& it, td::UINT2* pFirstColumn = nullptr);
    // Builds f of an ODE statement into tree (integral form: pIntegral is the int node,
    // which odeMode 1 takes out so that the tree is the derivative); ODE mode writes the
    // state into entry eqIndex of the context's ODE list. The state, or -1 after a key.
    td::INT4 buildODEExpression(const Iterator& it, Tree& tree, typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                                td::BYTE odeMode);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class ODEReader<double>;
extern template class ODEReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using ODEReader = sl::ODEReader<double>;
}

namespace slCmplx
{
using ODEReader = sl::ODEReader<std::complex<double>>;
}
