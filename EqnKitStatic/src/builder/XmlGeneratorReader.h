// Random generators of an XML document's RndGens section, their parameters checked as on the
// text road.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlGeneratorReader
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlGeneratorReader(BuildState<T>& state) : _s(state) {}

    bool loadRndGens(const xml::Node& root);

private:
    BuildState<T>& _s;
};

extern template class XmlGeneratorReader<double>;
extern template class XmlGeneratorReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlGeneratorReader = sl::XmlGeneratorReader<double>;
}

namespace slCmplx
{
using XmlGeneratorReader = sl::XmlGeneratorReader<std::complex<double>>;
}
