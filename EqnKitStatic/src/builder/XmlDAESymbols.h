// The symbols an XML DAE document adds to its declared ones: the stage variables after each
// state, the states of the ODEs (named before the declarations for a stage method) and the
// history parameters after all other parameters.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "DAERecords.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlDAESymbols
{
public:
    using Tree = ExpressionTree<T>;

    // The states and transfer functions of records, which the declarations complete; the
    // ODEs are read with used.
    XmlDAESymbols(BuildState<T>& state, UsedVariables<T>& used, DAERecords& records)
        : _s(state), _used(used), _records(records)
    {
    }

    // The n stage variables name#k1 ... name#kn as the next variables; values are pushed
    // when pushValues is set. False after an entry when a name is taken.
    bool addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues);
    // The symbols the states and transfer functions add to the declared ones; false after
    // an entry when there are no states.
    bool countXmlDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // The state names of the ODEs (stage methods, before the declarations), sorted.
    bool readXmlStateNames(const xml::Node& odeqs, td::UINT4 nODE);
    bool isXmlStateName(const td::String& name) const;
    // Every state name of the ODEs names a declared variable; false after an entry.
    bool checkXmlStateNames();
    // Euler and trapezoidal: each ODE's state typed; a second ODE of a state refused.
    bool markXmlStates(const xml::Node& odeqs, td::UINT4 nODE);
    // The history parameter of every state, after all other parameters.
    bool addXmlHistoryParams();

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords& _records;
};

extern template class XmlDAESymbols<double>;
extern template class XmlDAESymbols<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlDAESymbols = sl::XmlDAESymbols<double>;
}

namespace slCmplx
{
using XmlDAESymbols = sl::XmlDAESymbols<std::complex<double>>;
}
