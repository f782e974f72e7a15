// The child models of an XML document's Init section, each built as an NR model by a solver
// of its type.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlChildModels
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlChildModels(BuildState<T>& state) : _s(state) {}

    bool loadInitModels(const xml::Node& root);

private:
    BuildState<T>& _s;
};

extern template class XmlChildModels<double>;
extern template class XmlChildModels<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlChildModels = sl::XmlChildModels<double>;
}

namespace slCmplx
{
using XmlChildModels = sl::XmlChildModels<std::complex<double>>;
}
