// The names of an XML document's Stats section (its name or names attribute) as the solver's
// statistics records.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlStatisticsReader
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlStatisticsReader(BuildState<T>& state) : _s(state) {}

    bool loadStats(const xml::Node& root);

private:
    BuildState<T>& _s;
};

extern template class XmlStatisticsReader<double>;
extern template class XmlStatisticsReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlStatisticsReader = sl::XmlStatisticsReader<double>;
}

namespace slCmplx
{
using XmlStatisticsReader = sl::XmlStatisticsReader<std::complex<double>>;
}
