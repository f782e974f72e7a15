// Transfer functions y/u = f(s) of an XML DAE document's TFs section: their texts, orders
// and forms, the variables each adds, and their realisation into rows.
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
template <typename T> class XmlTFReader
{
public:
    using Tree = ExpressionTree<T>;

    // The transfer functions of records; the variables of their rows are collected into
    // used.
    XmlTFReader(BuildState<T>& state, UsedVariables<T>& used, DAERecords& records)
        : _s(state), _used(used), _records(records)
    {
    }

    // The Eq elements y/u = f(s) of a TFs section: texts, orders and forms per record.
    bool loadTF(const xml::Node& tfs);
    // The states of transfer function i, each followed by its stage variables, and its
    // division variable as the next variables; false after an entry.
    bool expandVarHistoryTF(td::UINT4 i);
    // Zero start values for the variables expandVarHistoryTF gave function i.
    void setupTFStates(td::UINT4 i);
    // Transfer function i realised and discretised into rows from row on.
    bool expandXmlTF(td::UINT4 i, td::UINT4& row, td::UINT4& nonZeros);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords& _records;
};

extern template class XmlTFReader<double>;
extern template class XmlTFReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlTFReader = sl::XmlTFReader<double>;
}

namespace slCmplx
{
using XmlTFReader = sl::XmlTFReader<std::complex<double>>;
}
