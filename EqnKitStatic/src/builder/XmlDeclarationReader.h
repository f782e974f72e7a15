// The XML road's declarations: the Vars and Params sections become the solver's symbols
// (names, kinds, start values), with the time parameters of dynamic documents, the
// parameters a child copies from its parent and parameter groups base{a, b}.
#pragma once

#include <complex>
#include <vector>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlDeclarationReader
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlDeclarationReader(BuildState<T>& state) : _s(state) {}

    // Declarations: the Vars and Params sections into symbols, kinds and start values.
    bool loadVarsAndParams(const xml::Node& vars, const xml::Node& params);

private:
    // A Param element: its name and, for a group base{a, b}, the symbols base.a, base.b.
    struct XmlParam;
    bool readVarNames(const xml::Node& vars, bool dynamic);
    bool readParamNames(std::vector<XmlParam>& decl, td::UINT4 parentParams);

    BuildState<T>& _s;
};

extern template class XmlDeclarationReader<double>;
extern template class XmlDeclarationReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlDeclarationReader = sl::XmlDeclarationReader<double>;
}

namespace slCmplx
{
using XmlDeclarationReader = sl::XmlDeclarationReader<std::complex<double>>;
}
