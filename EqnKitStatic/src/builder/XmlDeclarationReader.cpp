#include "XmlDeclarationReader.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <sc/priv/LanguageWords.h>

#include "CU.h"
#include "SolverData.h"
#include "XmlDAESymbols.h"
#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlStartValues.h"
#include "XmlTFReader.h"
#include "XmlTexts.h"

namespace sl
{
using namespace xmlnodes;

namespace
{

template <typename T> T conjugate(const T& v)
{
    if constexpr (ValueTraits<T>::isComplex)
        return std::conj(v);
    else
        return v;
}

// Tokens that name a symbol, an unknown name, a generator or a statistic.
bool namesSomething(td::BYTE type)
{
    using C = TokenCodes;
    return (type >= C::IDENTIFIER && type <= C::PARAM_OR_PARENT) || type == C::RND_GEN || type == C::STATISTIC;
}
} // namespace

// One Param element: its name and, for a group base{a, b}, the symbols base.a, base.b.
template <typename T> struct XmlDeclarationReader<T>::XmlParam
{
    xml::Node element;
    const char* name = nullptr;
    std::vector<td::String> members;
    bool group = false;
    bool wellFormed = true;
    // Parameter index of its first symbol.
    td::UINT4 first = 0;

    td::UINT4 count() const { return group && wellFormed ? static_cast<td::UINT4>(members.size()) : 1; }

    void read(const xml::Node& el)
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
        std::vector<td::String> items;
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
    std::size_t baseLength() const { return static_cast<std::size_t>(std::strchr(name, '{') - name); }
};

template <typename T> bool XmlDeclarationReader<T>::readVarNames(const xml::Node& vars, bool dynamic)
{
    SolverData<T>& d = *_s.pData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    bool partners = false;
    if constexpr (ValueTraits<T>::isComplex)
        partners = _s.parser.hasConjugatePartners();
    td::UINT4 item = 0;
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName(), ++item)
    {
        const char* name = attrib(v, "name");
        if (!name || !*name)
            return _s.xmlError("Empty variable name!");
        if (!XmlNames<T>(_s).checkXmlName(name, item, true))
            return false;
        const td::String text(name);
        if (_s.parser.hasSymbol(text))
            return _s.xmlError("Variable declared twice: @", text);
        if (text.length() > cMaxXmlNameLength)
        {
            d.addError("Variable name is too long! Maximum allowed variable name length is @ chars! Var name=@",
                       cMaxXmlNameLength, text);
            return false;
        }
        // The time parameters of a dynamic model keep their names.
        if (dynamic && (text == "t" || text == "dT"))
            return _s.xmlError("Variable name @ is reserved for the time parameters!", text);
        if (partners)
        {
            std::string partner(1, '#');
            partner += name;
            if (_s.parser.hasSymbol(td::String(partner.c_str())))
                return _s.xmlError("Generated symbol name @ is already declared!", partner.c_str());
        }
        _s.parser.addVariable(text);
        // A state of a stage method: its stage variables follow it.
        const td::UINT2 stages = d.dynamics == 2 ? _s.getNumberOfStages() : 0;
        if (stages > 0 && XmlDAESymbols<T>(_s).isXmlStateName(text))
        {
            const td::INT4 index = _s.parser.getSymbolIndex(text);
            _s.setStateVarType(index, 3);
            if (!XmlDAESymbols<T>(_s).addIndexedSymbol(text, static_cast<td::UINT4>(index), stages, false))
                return false;
        }
    }
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::readParamNames(std::vector<XmlParam>& decl, td::UINT4 parentParams)
{
    SolverData<T>& d = *_s.pData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    for (td::UINT4 k = 0; k < parentParams; ++k)
    {
        const char* name = pParent->getSymbolName(static_cast<td::INT4>(pParent->getNumberOfVariables() + k));
        const td::String text(name ? name : "");
        if (_s.parser.hasSymbol(text))
            return _s.xmlError("Parameter declared twice: @", text);
        XmlNames<T>(_s).addPlainName(text);
    }
    for (td::UINT4 i = 0; i < decl.size(); ++i)
    {
        const XmlParam& p = decl[i];
        if (!p.name || !*p.name)
        {
            d.addError("Empty parameter name!");
            if (!p.name)
                d.itemLocationText(i, cCurrent);
            return false;
        }
        const td::String text(p.name);
        const td::String base = p.group && p.wellFormed ? td::String(p.name, p.baseLength()) : text;
        if (!XmlNames<T>(_s).checkXmlName(base.c_str(), i, true))
            return false;
        if (_s.parser.hasSymbol(text))
        {
            d.addError("Parameter declared twice: @", text);
            d.itemLocationText(i, cCurrent);
            return false;
        }
        if (p.group && !p.wellFormed)
            return _s.xmlError("Parameter name is not formatted properly! Par name=@", text);
        if ((p.group ? p.baseLength() : text.length()) > cMaxXmlNameLength)
        {
            d.addError("Parameter name is too long! Maximum allowed parameter name length is @ chars! Par name=@",
                       cMaxXmlNameLength, text);
            return false;
        }
        if (!p.group)
        {
            XmlNames<T>(_s).addPlainName(text);
            continue;
        }
        for (const td::String& member : p.members)
        {
            if (_s.parser.hasSymbol(member))
            {
                d.addError("Parameter declared twice: @", member);
                d.itemLocationText(i, cCurrent);
                return false;
            }
            XmlNames<T>(_s).addPlainName(member);
        }
    }
    return true;
}

template <typename T> bool XmlDeclarationReader<T>::loadVarsAndParams(const xml::Node& vars, const xml::Node& params)
{
    SolverData<T>& d = *_s.pData;
    if (vars.isEmpty())
        return _s.xmlError("Missing declation of variables!");
    bool outAll = false;
    vars.getBoolAttrib("out", outAll);
    const td::UINT4 nVarElements = countChildren(vars, "Var");
    if (nVarElements == 0)
        return _s.xmlError("There is no any variable declared!");
    td::UINT4 perVariable = 1;
    if constexpr (ValueTraits<T>::isComplex)
    {
        const char* conj = attrib(vars, "conj");
        const bool partners = !conj || isTrueText(conj);
        _s.setConjugatePartners(partners);
        perVariable = partners ? 2 : 1;
    }

    // Parameters: the parent's (a child model), the declared ones with the members of
    // each group, then the time parameters of a dynamic model that it does not declare.
    const bool dynamic = d.dynamics != 0;
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    const td::UINT4 parentParams =
        pParent ? pParent->getNumberOfParameters() - pParent->getNumberOfStateVariables() : 0;
    std::vector<XmlParam> decl(countChildren(params, "Param"));
    td::UINT4 nParams = parentParams;
    {
        xml::Node p = child(params, "Param");
        for (XmlParam& e : decl)
        {
            e.read(p);
            e.first = nParams;
            nParams += e.count();
            p.nextSameName();
        }
    }
    d.results.indexOfTParam = d.results.indexOfDeltaTParam = -1;
    if (dynamic)
    {
        d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
        for (td::UINT4 i = 0; i < decl.size(); ++i)
        {
            const char* name = decl[i].name;
            if (!name)
            {
                d.addError("Empty name");
                d.itemLocationText(i, cCurrent);
                d.currentSection = 0;
                return false;
            }
            for (td::UINT4 j = 0; j < i; ++j)
            {
                if (decl[j].name && !std::strcmp(decl[j].name, name))
                {
                    d.addError("Param declared twice: @", name);
                    d.itemLocationText(i, cCurrent);
                    d.currentSection = 0;
                    return false;
                }
            }
            if (!decl[i].group && !std::strcmp(name, "dT"))
                d.results.indexOfDeltaTParam = static_cast<td::INT4>(decl[i].first);
            if (!decl[i].group && !std::strcmp(name, "t"))
                d.results.indexOfTParam = static_cast<td::INT4>(decl[i].first);
        }
        d.currentSection = 0;
        if (d.results.indexOfDeltaTParam < 0)
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(nParams++);
        if (d.results.indexOfTParam < 0)
            d.results.indexOfTParam = static_cast<td::INT4>(nParams++);
    }

    td::UINT4 nVars = nVarElements * perVariable;
    // DAE documents: stage variables, transfer-function variables and the history
    // parameters, which the DAE reader adds last.
    const bool dae = d.dynamics == 2;
    const td::UINT4 nDeclaredParams = nParams;
    if (dae && !XmlDAESymbols<T>(_s).countXmlDAESymbols(nVars, nParams))
        return false;
    const td::UINT4 nHistory = nParams - nDeclaredParams;
    d.stores.setSize(nVars, nParams);
    _s.parser.setNumberOfSymbols(nVars, nParams);
    cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    info.reserve(nVars + nParams);
    for (td::UINT4 i = 0; i < nVars + nParams; ++i)
        info[i] = SymbolInfo{static_cast<td::BYTE>(i < nVars ? 1 : 0), 0, 0};
    _s.usedVars.reserve(nVars);
    _s.parser.setNextFreePosition(true);
    _s.declarationsDone = 1;
    _s.nEquations = nVars;

    bool named = readVarNames(vars, dynamic);
    for (td::UINT4 i = 0; named && dae && i < _s.dae.tfs.size(); ++i)
        named = XmlTFReader<T>(_s).expandVarHistoryTF(i);
    named = named && readParamNames(decl, parentParams) && (!dae || XmlDAESymbols<T>(_s).checkXmlStateNames());
    if (!named)
    {
        d.currentSection = 0;
        return false;
    }

    // Start values in the order of the symbols.
    XmlDeferredList deferred;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName())
    {
        const td::UINT4 symbol = static_cast<td::UINT4>(_s.parser.getSymbolIndex(attrib(v, "name")));
        T value(0);
        if (!XmlStartValues<T>(_s).readStartValue(v, symbol, deferred, value))
        {
            d.itemLocationText(symbol, cCurrent);
            d.currentSection = 0;
            return false;
        }
        _s.parser.values().push(value);
        bool out = outAll;
        if (!outAll)
            v.getBoolAttrib("out", out);
        if (out)
            info[symbol].kind = 2;
        if (perVariable == 2)
            _s.parser.values().push(conjugate(value));
        for (td::UINT2 k = 0; dae && info[symbol].varType == 3 && k < _s.getNumberOfStages(); ++k)
            _s.parser.values().push(value);
    }
    for (td::UINT4 i = 0; dae && i < _s.dae.tfs.size(); ++i)
        XmlTFReader<T>(_s).setupTFStates(i);

    if (const char* dT = attrib(params, "dT"); dT && *dT)
    {
        double step = 0;
        if (!parseWholeNumber(step, dT) || !std::isfinite(step))
            return _s.xmlError("Attribute dT of Params is not a number: @", dT);
        if (step > 0)
            d.results.stepValue = step;
    }

    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    if (parentParams > 0)
    {
        const T* pParentValues = pParent->getVariableValuesPtr() + pParent->getNumberOfVariables();
        for (td::UINT4 k = 0; k < parentParams; ++k)
            _s.parser.values().push(pParentValues[k]);
    }
    for (td::UINT4 j = 0; j < decl.size(); ++j)
    {
        const XmlParam& p = decl[j];
        if (!dynamic && d.results.indexOfDeltaTParam < 0 && !p.group && !std::strcmp(p.name, "dT"))
        {
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(p.first);
            double step = 0;
            if (const char* val = attrib(p.element, "val"); val && parseWholeNumber(step, val))
                d.results.stepValue = step;
        }
        bool out = false;
        if (dynamic)
            p.element.getBoolAttrib("out", out);
        for (td::UINT4 m = 0; m < p.count(); ++m)
        {
            const td::UINT4 symbol = nVars + p.first + m;
            T value(0);
            if (!XmlStartValues<T>(_s).readStartValue(p.element, symbol, deferred, value))
            {
                d.itemLocationText(j, cCurrent);
                d.currentSection = 0;
                return false;
            }
            _s.parser.values().push(value);
            if (out)
                info[symbol].kind = 2;
        }
    }

    d.currentSection = 0;
    if (dynamic && _s.parser.getSymbolIndex("dT") < 0)
    {
        XmlNames<T>(_s).addPlainName(td::String("dT"));
        _s.parser.values().push(T(d.results.stepValue));
    }
    if (dynamic && _s.parser.getSymbolIndex("t") < 0)
    {
        XmlNames<T>(_s).addPlainName(td::String("t"));
        _s.parser.values().push(T(d.startTime));
    }
    TD_ASSERT(_s.parser.values().size() + nHistory == _s.symbolCount());
    if (!XmlStartValues<T>(_s).evaluateDeferred(deferred))
        return false;
    // The DAE reader adds its history parameters first.
    if (!dae)
        XmlNames<T>(_s).addStatusSymbols();
    return true;
}

template class XmlDeclarationReader<double>;
template class XmlDeclarationReader<std::complex<double>>;
} // namespace sl
