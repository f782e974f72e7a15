#include "XmlDeclarationReader.h"

#include <cmath>
#include <cstring>
#include <string>

#include "XmlDAESymbols.h"
#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlTFReader.h"
#include "XmlTexts.h"

namespace sl
{
using namespace xmlnodes;

void XmlParam::read(const xml::Node& el)
{
    element = el;
    name = attrib(el, "name");
    const char* open = name ? std::strchr(name, '{') : nullptr;
    if (!open || open == name)
        return;
    group = true;
    const char* close = std::strchr(name, '}');
    if (!close || close < open)
    {
        wellFormed = false;
        return;
    }
    cnt::PushBackVector<td::String> pieces;
    addNameList(name, static_cast<td::UINT4>(open - name), static_cast<td::UINT4>(close - name), pieces);
    const std::string base(name, static_cast<std::size_t>(open - name));
    for (const td::String& piece : pieces)
    {
        if (piece.isEmpty())
            wellFormed = false;
        members.push_back(td::String((base + "." + piece.c_str()).c_str()));
    }
}

std::size_t XmlParam::baseLength() const { return static_cast<std::size_t>(std::strchr(name, '{') - name); }

template <typename T> bool XmlDeclarationReader<T>::loadVarsAndParams(const xml::Node& vars, const xml::Node& params)
{
    SolverData<T>& d = _s.data();
    if (vars.isEmpty())
        return _s.xmlError("Missing declation of variables!");
    const ElementLine varsLine(d.xmlLine, vars);
    vars.getBoolAttrib("out", _outAll);
    const td::UINT4 nVarElements = countChildren(vars, "Var");
    if (nVarElements == 0)
        return _s.xmlError("There is no any variable declared!");
    if constexpr (ValueTraits<T>::isComplex)
    {
        const char* conj = attrib(vars, "conj");
        const bool partners = !conj || isTrueText(conj);
        _s.setConjugatePartners(partners);
        _perVariable = partners ? 2 : 1;
    }
    _dynamic = d.dynamics != 0;
    _dae = _pDAE != nullptr;
    td::UINT4 nParams = readParams(params);
    if (_dynamic && !findTimeParams(nParams))
        return false;

    // DAE documents: stage variables, transfer-function variables and the history
    // parameters, which the DAE reader adds last.
    _nVars = nVarElements * _perVariable;
    const td::UINT4 nDeclaredParams = nParams;
    if (_dae && !XmlDAESymbols<T>(_s, _used, *_pDAE).countXmlDAESymbols(_nVars, nParams))
        return false;
    const td::UINT4 nHistory = nParams - nDeclaredParams;
    sizeSymbols(nParams);
    if (!declareNames(vars) || !readVarValues(vars) || !readStepAttribute(params) || !readParamValues())
        return false;
    addTimeParams();
    TD_ASSERT(_s.values().size() + nHistory == _s.symbolCount());
    if (!XmlStartValues<T>(_s, _used).evaluateDeferred(_deferred))
        return false;
    // The DAE reader adds its history parameters first.
    if (!_dae)
        XmlNames<T>(_s).addStatusSymbols();
    return true;
}

template <typename T> td::UINT4 XmlDeclarationReader<T>::readParams(const xml::Node& params)
{
    // Parameters: the parent's (a child model), the declared ones with the members of
    // each group, then the time parameters of a dynamic model that it does not declare.
    SolverData<T>& d = _s.data();
    _pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    _parentParams = _pParent ? _pParent->getNumberOfParameters() - _pParent->getNumberOfStateVariables() : 0;
    _params.resize(countChildren(params, "Param"));
    td::UINT4 nParams = _parentParams;
    xml::Node p = child(params, "Param");
    for (XmlParam& e : _params)
    {
        e.read(p);
        e.first = nParams;
        nParams += e.count();
        p.nextSameName();
    }
    d.results.indexOfTParam = d.results.indexOfDeltaTParam = -1;
    return nParams;
}

template <typename T> bool XmlDeclarationReader<T>::findTimeParams(td::UINT4& nParams)
{
    SolverData<T>& d = _s.data();
    // An entry at a Param, then false.
    auto fail = [&d](td::UINT4 item, const char* text, const auto&... args) {
        d.addError(text, args...);
        d.itemLocationText(item, cCurrent);
        d.currentSection = 0;
        return false;
    };
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    for (td::UINT4 i = 0; i < _params.size(); ++i)
    {
        const ElementLine line(d.xmlLine, _params[i].element);
        const char* name = _params[i].name;
        if (!name)
            return fail(i, "Empty name");
        for (td::UINT4 j = 0; j < i; ++j)
        {
            if (_params[j].name && !std::strcmp(_params[j].name, name))
                return fail(i, "Param declared twice: @", name);
        }
        if (!_params[i].group && !std::strcmp(name, "dT"))
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(_params[i].first);
        if (!_params[i].group && !std::strcmp(name, "t"))
            d.results.indexOfTParam = static_cast<td::INT4>(_params[i].first);
    }
    d.currentSection = 0;
    if (d.results.indexOfDeltaTParam < 0)
        d.results.indexOfDeltaTParam = static_cast<td::INT4>(nParams++);
    if (d.results.indexOfTParam < 0)
        d.results.indexOfTParam = static_cast<td::INT4>(nParams++);
    return true;
}

template <typename T> void XmlDeclarationReader<T>::sizeSymbols(td::UINT4 nParams)
{
    SolverData<T>& d = _s.data();
    d.stores.setSize(_nVars, nParams);
    _s.parser.setNumberOfSymbols(_nVars, nParams);
    cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    info.reserve(_nVars + nParams);
    for (td::UINT4 i = 0; i < _nVars + nParams; ++i)
        info[i] = SymbolInfo{static_cast<td::BYTE>(i < _nVars ? 1 : 0), 0, 0};
    _used.reserve(_nVars);
    _s.parser.setNextFreePosition(true);
    d.declarationsDone = 1;
    d.results.nEquations = _nVars;
}

template <typename T> bool XmlDeclarationReader<T>::declareNames(const xml::Node& vars)
{
    bool named = readVarNames(vars);
    for (td::UINT4 i = 0; named && _dae && i < _pDAE->tfs.size(); ++i)
        named = XmlTFReader<T>(_s, _used, *_pDAE).expandVarHistoryTF(i);
    named = named && readParamNames() && (!_dae || XmlDAESymbols<T>(_s, _used, *_pDAE).checkXmlStateNames());
    if (!named)
        _s.data().currentSection = 0;
    return named;
}

template <typename T> bool XmlDeclarationReader<T>::readVarNames(const xml::Node& vars)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    const bool partners = _s.hasConjugatePartners();
    const td::UINT2 stages = _dae ? _s.getNumberOfStages() : 0;
    td::UINT4 item = 0;
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName(), ++item)
    {
        const ElementLine line(d.xmlLine, v);
        const char* name = attrib(v, "name");
        if (!name || !*name)
            return _s.xmlError("Empty variable name!");
        if (!XmlNames<T>(_s).checkXmlName(name, item, true))
            return false;
        const td::String text(name);
        if (_s.parser.hasSymbol(text))
            return _s.xmlError("Variable declared twice: @", text);
        if (text.length() > cMaxXmlNameLength)
            return _s.xmlError("Variable name is too long! Maximum allowed variable name length is @ chars! Var name=@",
                               cMaxXmlNameLength, text);
        // The time parameters of a dynamic model keep their names.
        if (_dynamic && (text == "t" || text == "dT"))
            return _s.xmlError("Variable name @ is reserved for the time parameters!", text);
        if (partners)
        {
            const std::string partner = std::string(1, '#') + name;
            if (_s.parser.hasSymbol(td::String(partner.c_str())))
                return _s.xmlError("Generated symbol name @ is already declared!", partner.c_str());
        }
        _s.parser.addVariable(text);
        // A state of a stage method: its stage variables follow it.
        if (stages == 0 || !XmlDAESymbols<T>(_s, _used, *_pDAE).isXmlStateName(text))
            continue;
        const td::INT4 index = _s.parser.getSymbolIndex(text);
        _s.setStateVarType(index, cODEState);
        if (!XmlDAESymbols<T>(_s, _used, *_pDAE).addIndexedSymbol(text, static_cast<td::UINT4>(index), stages, false))
            return false;
    }
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::readParamNames()
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    XmlNames<T> names(_s);
    for (td::UINT4 k = 0; k < _parentParams; ++k)
    {
        const char* name = _pParent->getSymbolName(static_cast<td::INT4>(_pParent->getNumberOfVariables() + k));
        const td::String text(name ? name : "");
        if (_s.parser.hasSymbol(text))
            return _s.xmlError("Parameter declared twice: @", text);
        names.addPlainName(text);
    }
    // A name declared before, at item i.
    auto declaredTwice = [&d](td::UINT4 i, const td::String& name) {
        d.addError("Parameter declared twice: @", name);
        d.itemLocationText(i, cCurrent);
        return false;
    };
    for (td::UINT4 i = 0; i < _params.size(); ++i)
    {
        const XmlParam& p = _params[i];
        const ElementLine line(d.xmlLine, p.element);
        if (!p.name || !*p.name)
        {
            d.addError("Empty parameter name!");
            if (!p.name)
                d.itemLocationText(i, cCurrent);
            return false;
        }
        const td::String text(p.name);
        const td::String base = p.group && p.wellFormed ? td::String(p.name, p.baseLength()) : text;
        if (!names.checkXmlName(base.c_str(), i, true))
            return false;
        if (_s.parser.hasSymbol(text))
            return declaredTwice(i, text);
        if (p.group && !p.wellFormed)
            return _s.xmlError("Parameter name is not formatted properly! Par name=@", text);
        if ((p.group ? p.baseLength() : text.length()) > cMaxXmlNameLength)
            return _s.xmlError(
                "Parameter name is too long! Maximum allowed parameter name length is @ chars! Par name=@",
                cMaxXmlNameLength, text);
        for (td::UINT4 m = 0; p.group && m < p.members.size(); ++m)
        {
            if (_s.parser.hasSymbol(p.members[m]))
                return declaredTwice(i, p.members[m]);
            names.addPlainName(p.members[m]);
        }
        if (!p.group)
            names.addPlainName(text);
    }
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::readVarValues(const xml::Node& vars)
{
    SolverData<T>& d = _s.data();
    cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName())
    {
        const td::UINT4 symbol = static_cast<td::UINT4>(_s.parser.getSymbolIndex(attrib(v, "name")));
        T value(0);
        if (!XmlStartValues<T>(_s, _used).readStartValue(v, symbol, _deferred, value))
        {
            d.itemLocationText(symbol, cCurrent);
            d.currentSection = 0;
            return false;
        }
        _s.values().push(value);
        bool out = _outAll;
        if (!_outAll)
            v.getBoolAttrib("out", out);
        if (out)
            info[symbol].kind = 2;
        if (_perVariable == 2)
            _s.values().push(conjugate(value));
        for (td::UINT2 k = 0; _dae && info[symbol].varType == cODEState && k < _s.getNumberOfStages(); ++k)
            _s.values().push(value);
    }
    for (td::UINT4 i = 0; _dae && i < _pDAE->tfs.size(); ++i)
        XmlTFReader<T>(_s, _used, *_pDAE).setupTFStates(i);
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::readStepAttribute(const xml::Node& params)
{
    const char* dT = attrib(params, "dT");
    if (!dT || !*dT)
        return true;
    double step = 0;
    if (!parseWholeNumber(step, dT) || !std::isfinite(step))
        return _s.xmlError("Attribute dT of Params is not a number: @", dT);
    if (step > 0)
        _s.data().results.stepValue = step;
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::readParamValues()
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    if (_parentParams > 0)
    {
        const T* pParentValues = _pParent->getVariableValuesPtr() + _pParent->getNumberOfVariables();
        for (td::UINT4 k = 0; k < _parentParams; ++k)
            _s.values().push(pParentValues[k]);
    }
    for (td::UINT4 j = 0; j < _params.size(); ++j)
    {
        const XmlParam& p = _params[j];
        const ElementLine line(d.xmlLine, p.element);
        if (!_dynamic && d.results.indexOfDeltaTParam < 0 && !p.group && !std::strcmp(p.name, "dT"))
        {
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(p.first);
            double step = 0;
            if (const char* val = attrib(p.element, "val"); val && parseWholeNumber(step, val))
                d.results.stepValue = step;
        }
        bool out = false;
        if (_dynamic)
            p.element.getBoolAttrib("out", out);
        for (td::UINT4 m = 0; m < p.count(); ++m)
        {
            const td::UINT4 symbol = _nVars + p.first + m;
            T value(0);
            if (!XmlStartValues<T>(_s, _used).readStartValue(p.element, symbol, _deferred, value))
            {
                d.itemLocationText(j, cCurrent);
                d.currentSection = 0;
                return false;
            }
            _s.values().push(value);
            if (out)
                d.stores.symbolInfo[symbol].kind = 2;
        }
    }
    d.currentSection = 0;
    return true;
}

template <typename T> void XmlDeclarationReader<T>::addTimeParams()
{
    if (!_dynamic)
        return;
    const SolverData<T>& d = _s.data();
    if (_s.parser.getSymbolIndex("dT") < 0)
    {
        XmlNames<T>(_s).addPlainName(td::String("dT"));
        _s.values().push(T(d.results.stepValue));
    }
    if (_s.parser.getSymbolIndex("t") < 0)
    {
        XmlNames<T>(_s).addPlainName(td::String("t"));
        _s.values().push(T(d.startTime));
    }
}

template class XmlDeclarationReader<double>;
template class XmlDeclarationReader<std::complex<double>>;
} // namespace sl
