#include "XmlDAESymbols.h"

#include <algorithm>
#include <cstring>

#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlODEReader.h"

namespace sl
{
using namespace xmlnodes;

template <typename T>
bool XmlDAESymbols<T>::addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues)
{
    DAEVarRecords& records = _s.data().stores.daeVarRecords;
    for (td::UINT2 k = 1; k <= n; ++k)
    {
        const td::String stage = XmlNames<T>::generatedName(name, "#k", k);
        if (!XmlNames<T>(_s).addGeneratedName(stage))
            return false;
        if (k == 1)
            records[variable].firstStage = _s.parser.getSymbolIndex(stage);
        if (pushValues)
            _s.values().push(T(0));
    }
    return true;
}

template <typename T> bool XmlDAESymbols<T>::countXmlDAESymbols(td::UINT4& nVars, td::UINT4& nParams)
{
    SolverData<T>& d = _s.data();
    const td::UINT2 s = _s.getNumberOfStages();
    td::UINT4 states = d.nDAEStates;
    td::UINT4 nTFVars = 0;
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        const TransferFunction& tf = _records.tfs[i].tf;
        TD_ASSERT(tf.stateCount() > 0);
        states += tf.stateCount();
        nTFVars += tf.variableCount(s);
    }
    if (states == 0)
        return _s.xmlError("DAE Solver requires either one ODE or TF!");
    nVars += nTFVars + s * d.nDAEStates;
    nParams += states;
    d.nTFVars = nTFVars;
    d.stores.daeVarRecords.reserve(nVars);
    for (td::UINT4 v = 0; v < nVars; ++v)
        d.stores.daeVarRecords[v] = DAEVarRecord{};
    return true;
}

template <typename T> bool XmlDAESymbols<T>::readXmlStateNames(const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    _records.xmlStateNames.clear();
    xml::Node eq = child(odeqs, "Eq");
    for (td::UINT4 i = 0; i < nODE; ++i, eq.nextSameName())
    {
        const ElementLine line(d.xmlLine, eq);
        const char* fx = nullptr;
        td::String name;
        td::UINT4 sign = 0;
        bool integral = false;
        bool ok = XmlODEReader<T>(_s, _used).splitODEEquation(eq, fx, name, sign, integral);
        if (ok && std::any_of(_records.xmlStateNames.begin(), _records.xmlStateNames.end(),
                              [&](const DAERecords::XmlState& st) { return st.name == name; }))
            ok = _s.xmlError("State variable already used!");
        if (!ok)
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
        _records.xmlStateNames.push_back(DAERecords::XmlState{name, fx, i, eq.getLine()});
    }
    std::sort(_records.xmlStateNames.begin(), _records.xmlStateNames.end(),
              [](const DAERecords::XmlState& a, const DAERecords::XmlState& b) {
                  return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
              });
    d.currentSection = 0;
    return true;
}

template <typename T> bool XmlDAESymbols<T>::isXmlStateName(const td::String& name) const
{
    return std::binary_search(_records.xmlStateNames.begin(), _records.xmlStateNames.end(),
                              DAERecords::XmlState{name, nullptr, 0},
                              [](const DAERecords::XmlState& a, const DAERecords::XmlState& b) {
                                  return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
                              });
}

template <typename T> bool XmlDAESymbols<T>::checkXmlStateNames()
{
    SolverData<T>& d = _s.data();
    for (const DAERecords::XmlState& st : _records.xmlStateNames)
    {
        const td::INT4 index = _s.parser.getSymbolIndex(st.name);
        if (index >= 0 && static_cast<td::UINT4>(index) < _s.getNumVariables())
            continue;
        d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
        const td::UINT4 saved = d.xmlLine;
        if (st.line != 0)
            d.xmlLine = st.line;
        if (index < 0)
            d.addError("Undeclared state variable:@, found in ODE equation:@", st.name, st.fx);
        else
            d.addError("State variable cannot be declared as a parameter! Variable name=@ in ODEeq=@", st.name, st.fx);
        d.itemLocationText(st.eq, cCurrent);
        d.xmlLine = saved;
        d.currentSection = 0;
        return false;
    }
    return true;
}

template <typename T> bool XmlDAESymbols<T>::markXmlStates(const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    xml::Node eq = child(odeqs, "Eq");
    for (td::UINT4 i = 0; i < nODE; ++i, eq.nextSameName())
    {
        const ElementLine line(d.xmlLine, eq);
        const char* fx = nullptr;
        td::String name;
        td::INT4 state = -1;
        bool integral = false;
        bool ok = XmlODEReader<T>(_s, _used).checkODEEquation(eq, fx, name, state, integral) != nullptr;
        if (ok && d.stores.symbolInfo[static_cast<td::UINT4>(state)].varType != 1)
            ok = _s.xmlError("State variable already used!");
        if (!ok)
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
        _s.setStateVarType(state, cODEState);
    }
    d.currentSection = 0;
    return true;
}

template <typename T> bool XmlDAESymbols<T>::addXmlHistoryParams()
{
    SolverData<T>& d = _s.data();
    DAEVarRecords& records = d.stores.daeVarRecords;
    const cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    _records.stateVars.reserve(d.nDAEStates);
    td::UINT4 nStates = 0;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    for (td::UINT4 v = 0; v < _s.getNumVariables(); ++v)
    {
        if (!SymbolInfo::isStateVariable(info[v].varType))
            continue;
        if (info[v].varType == cODEState)
            _records.stateVars[nStates++] = static_cast<td::INT4>(v);
        const td::String history = XmlNames<T>::generatedName(*_s.parser.symbols().nameAt(v), "@_");
        if (!XmlNames<T>(_s).addGeneratedName(history))
        {
            d.currentSection = 0;
            return false;
        }
        records[v].histParam = _s.parser.getSymbolIndex(history) - static_cast<td::INT4>(_s.getNumVariables());
        _s.values().push(T(0));
    }
    d.currentSection = 0;
    TD_ASSERT(nStates == d.nDAEStates);
    TD_ASSERT(_s.values().size() == _s.symbolCount());
    return true;
}

template class XmlDAESymbols<double>;
template class XmlDAESymbols<std::complex<double>>;
} // namespace sl
