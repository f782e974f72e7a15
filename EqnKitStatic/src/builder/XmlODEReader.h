// The XML road's differential equations: x' = f and x = ... int(f) ... of an ODEqs Eq, their
// state variable and right side, and the integration method of a DAE document.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlODEReader
{
public:
    using Tree = ExpressionTree<T>;

    // The variables of each ODE are collected into used.
    XmlODEReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // ODE equations: the state of x' = f or x = ... int(f) ..., f into tree; -1 after an
    // entry. recordState (the ODE solver) writes the ODE list and reduces k*int(f) to k*f;
    // otherwise pIntegral is the int node.
    td::INT4 checkODETerm(const xml::Node& eq, Tree& tree, typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                          bool recordState);
    // The fx of an ODE split at its first '=': the state's name and the form; false after
    // an entry.
    bool splitODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::UINT4& equationSign,
                          bool& integralForm);
    // The right side of the ODE of a declared variable (its index in state); null after
    // an entry.
    const char* checkODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::INT4& state,
                                 bool& integralForm);
    // The method attribute of the root; other words leave the method.
    void loadIntegrationMethod(const xml::Node& root);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class XmlODEReader<double>;
extern template class XmlODEReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlODEReader = sl::XmlODEReader<double>;
}

namespace slCmplx
{
using XmlODEReader = sl::XmlODEReader<std::complex<double>>;
}
