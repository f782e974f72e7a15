// The XML road's limits: groups of assignments and conditional assignments whose branches
// carry signals.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlLimitReader
{
public:
    using Tree = ExpressionTree<T>;

    // The variables of each assignment are collected into used.
    XmlLimitReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The Group elements of the Limits section into the solver's limit groups.
    bool loadLimits(const xml::Node& root);
    bool loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth = 1);

private:
    bool loadLimitBranch(const xml::Node& branch, const char* cond, bool isThen, Evaluator<T>*& pFirst, td::UINT4& n,
                         td::UINT4 depth);
    bool loadLimitAssignment(const xml::Node& node, Evaluator<T>* pRecord);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class XmlLimitReader<double>;
extern template class XmlLimitReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlLimitReader = sl::XmlLimitReader<double>;
}

namespace slCmplx
{
using XmlLimitReader = sl::XmlLimitReader<std::complex<double>>;
}
