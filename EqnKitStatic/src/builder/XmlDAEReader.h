// An XML DAE document read: its method, transfer functions and states, the declarations with
// the generated symbols, then the rows (transfer functions, each ODE discretised, the NL
// equations) and the processing sections and child models.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "DAERecords.h"
#include "UsedVariables.h"
#include "XmlBuilder.h"

namespace sl
{
template <typename T> class XmlDAEReader
{
public:
    using Tree = ExpressionTree<T>;

    // A pass of the XML entry, over its state and its used-variable sets; holds the
    // records of the model's states and transfer functions.
    explicit XmlDAEReader(XmlBuilder<T>& entry) : _entry(entry), _s(entry.state()), _used(entry.usedVariables()) {}
    XmlDAEReader(const XmlDAEReader&) = delete;
    XmlDAEReader& operator=(const XmlDAEReader&) = delete;

    // TF rows, then each ODE's discretised rows, then the NL equations (Euler,
    // trapezoidal or the stage expansion of the root's method).
    bool loadDAEModel(const xml::Node& root);

private:
    // Before the declarations: the transfer functions and, for a stage method, the state
    // names of the ODEs.
    bool readAhead(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE);
    // The declarations with the states, the generated symbols and the solver-status
    // symbols; the counts checked.
    bool declare(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE);
    // The rows: transfer functions, each ODE discretised, the NL equations.
    bool buildRows(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE);
    bool checkXmlDAECounts(td::UINT4 nNL);
    bool expandXmlODEs(const xml::Node& odeqs, td::UINT4 nODE, td::UINT4& row, td::UINT4& nonZeros);

    XmlBuilder<T>& _entry;
    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords _records;
};

extern template class XmlDAEReader<double>;
extern template class XmlDAEReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlDAEReader = sl::XmlDAEReader<double>;
}

namespace slCmplx
{
using XmlDAEReader = sl::XmlDAEReader<std::complex<double>>;
}
