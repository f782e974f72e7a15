// The XML road's processing sections: the PreProc and PostProc assignments (plain, statistics
// feeds, conditional) into the solver's section lists.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlAssignmentReader
{
public:
    using Tree = ExpressionTree<T>;

    // The variables of each assignment are collected into used.
    XmlAssignmentReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    bool loadPreProc(const xml::Node& root);
    bool loadPostProc(const xml::Node& root);
    // The Eq elements from firstEq on into the PreProc or PostProc list.
    bool loadAssignment(const xml::Node& firstEq, bool isPostProc);
    // The parts of "e1 << e2 ..." for statistic statsName into n records from pRun; the
    // statistic's index, or -1 after an entry.
    td::INT4 makeStatsAssignmentPart(const char* statsName, const char* text, Evaluator<T>*& pRun, td::UINT4& n);

private:
    bool loadAssignmentEq(const xml::Node& eq, td::UINT4 i, EvaluatorVect<T>& list);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class XmlAssignmentReader<double>;
extern template class XmlAssignmentReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlAssignmentReader = sl::XmlAssignmentReader<double>;
}

namespace slCmplx
{
using XmlAssignmentReader = sl::XmlAssignmentReader<std::complex<double>>;
}
