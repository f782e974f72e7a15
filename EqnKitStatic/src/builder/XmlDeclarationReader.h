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
#include "DAERecords.h"
#include "UsedVariables.h"
#include "XmlStartValues.h"

namespace sl
{
// A Param element: its name and, for a group base{a, b}, the symbols base.a, base.b.
struct XmlParam
{
    xml::Node element;
    const char* name = nullptr;
    std::vector<td::String> members;
    bool group = false;
    bool wellFormed = true;
    // Parameter index of its first symbol.
    td::UINT4 first = 0;

    td::UINT4 count() const { return group && wellFormed ? static_cast<td::UINT4>(members.size()) : 1; }
    // The element's name and, for a group, its members.
    void read(const xml::Node& el);
    // The length of a group's base name.
    std::size_t baseLength() const;
};

template <typename T> class XmlDeclarationReader
{
public:
    // used gets room for the variables, and start values are read without collecting;
    // a DAE document's generated symbols come from its records pDAE (none for the other
    // kinds).
    XmlDeclarationReader(BuildState<T>& state, UsedVariables<T>& used, DAERecords* pDAE = nullptr)
        : _s(state), _used(used), _pDAE(pDAE)
    {
    }

    // Declarations: the Vars and Params sections into symbols, kinds and start values.
    bool loadVarsAndParams(const xml::Node& vars, const xml::Node& params);

private:
    // The Param elements after the parent's parameters; the parameter count.
    td::UINT4 readParams(const xml::Node& params);
    // A dynamic document's t and dT among its parameters, else after them; false after an
    // entry for a Param without a name or declared twice.
    bool findTimeParams(td::UINT4& nParams);
    // The stores and the parser sized for the symbols, their kinds reset.
    void sizeSymbols(td::UINT4 nParams);
    // The names: variables (with the stage variables of a state), the variables of the
    // transfer functions, the parent's and the declared parameters.
    bool declareNames(const xml::Node& vars);
    bool readVarNames(const xml::Node& vars);
    bool readParamNames();
    // The start values of the variables, then of the parameters, in the order of the symbols.
    bool readVarValues(const xml::Node& vars);
    bool readParamValues();
    // The step of the Params section's dT attribute.
    bool readStepAttribute(const xml::Node& params);
    // A dynamic document's t and dT when it does not declare them.
    void addTimeParams();

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords* _pDAE;
    std::vector<XmlParam> _params;
    XmlDeferredList _deferred;
    // The parent of a child model and the parameters taken from it.
    ISolverServices<T>* _pParent = nullptr;
    td::UINT4 _parentParams = 0;
    td::UINT4 _nVars = 0;
    // 2 when each variable has a conjugate partner.
    td::UINT4 _perVariable = 1;
    bool _outAll = false;
    bool _dynamic = false;
    bool _dae = false;
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
