#include "DAESymbols.h"

#include <sc/MessageKeys.h>

namespace sl
{
namespace msg = sc::msg;

template <typename T> void DAESymbols<T>::countDAESymbols(td::UINT4& nVars, td::UINT4& nParams)
{
    SolverData<T>& d = _s.data();
    const td::UINT2 s = _s.getNumberOfStages();
    const td::UINT4 nStates = static_cast<td::UINT4>(_records.stateVars.size());
    nVars += s * nStates;
    nParams += nStates;
    td::UINT4 nTFVars = 0;
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        nTFVars += _records.tfs[i].tf.variableCount(s);
        nParams += _records.tfs[i].tf.stateCount();
    }
    nVars += nTFVars;
    d.nDAEStates = nStates;
    d.nTFVars = nTFVars;
}

template <typename T> bool DAESymbols<T>::addGeneratedSymbol(const td::String& name, td::UINT4 index, const Place& at)
{
    // Never two symbols of one name: the second would be unreachable by name.
    if (_s.parser.getSymbolIndex(name) >= 0)
        return _s.lineError(msg::scGeneratedNameTaken, at);
    _s.copyName(name, index);
    return true;
}

template <typename T> bool DAESymbols<T>::declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams)
{
    _s.data().stores.daeVarRecords.reserve(_s.getNumVariables());
    _var = nDeclaredVars;
    _param = nDeclaredParams;
    for (std::size_t i = 0; i < _records.stateVars.size(); ++i)
    {
        const td::UINT4 x = static_cast<td::UINT4>(_records.stateVars[i]);
        _s.setStateVarType(static_cast<td::INT4>(x), cODEState);
        const td::String state = *_s.parser.symbols().nameAt(x);
        if (!addStagesAndHistory(state, x, _records.stateLines[i]))
            return false;
    }
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        if (!declareTFSymbols(_records.tfs[i]))
            return false;
    }
    TD_ASSERT(_var == _s.getNumVariables());
    TD_ASSERT(_param == _s.getNumParameters());
    return true;
}

template <typename T> bool DAESymbols<T>::declareTFSymbols(TFStatement& stmt)
{
    const td::UINT4 nVars = _s.getNumVariables();
    TransferFunction& tf = stmt.tf;
    const Place line = placeOf(stmt.line);
    if (stmt.inputIsParam)
        tf.input += nVars;
    tf.firstState = static_cast<td::INT4>(_var);
    _s.data().stores.daeVarRecords[tf.output].firstTFState = tf.firstState;
    // States after the output while the denominator lasts, then after the input.
    const td::String y = *_s.parser.symbols().nameAt(tf.output);
    const td::String u = *_s.parser.symbols().nameAt(tf.input);
    for (td::UINT2 k = 0; k < tf.stateCount(); ++k)
    {
        const bool ofOutput = k < tf.denomOrder;
        const int number = ofOutput ? k + 1 : k - tf.denomOrder + 1;
        _name.format("%s'x%d", (ofOutput ? y : u).c_str(), number);
        const td::String state = _name;
        const td::UINT4 index = _var++;
        if (!addGeneratedSymbol(state, index, line))
            return false;
        _s.setStateVarType(static_cast<td::INT4>(index), cTFState);
        if (!addStagesAndHistory(state, index, line))
            return false;
    }
    if (!tf.isImproper())
        return true;
    _name.format("%s#div", y.c_str());
    if (!addGeneratedSymbol(_name, _var, line))
        return false;
    _s.setVarType(static_cast<td::INT4>(_var++), cTFAuxiliary);
    return true;
}

template <typename T>
bool DAESymbols<T>::addStagesAndHistory(const td::String& state, td::UINT4 index, const Place& line)
{
    const td::UINT2 s = _s.getNumberOfStages();
    DAEVarRecord& r = _s.data().stores.daeVarRecords[index];
    r.firstStage = s > 0 ? static_cast<td::INT4>(_var) : -1;
    for (td::UINT2 k = 1; k <= s; ++k)
    {
        _name.format("%s#k%d", state.c_str(), static_cast<int>(k));
        if (!addGeneratedSymbol(_name, _var++, line))
            return false;
    }
    r.histParam = static_cast<td::INT4>(_param);
    _name.format("%s@_", state.c_str());
    return addGeneratedSymbol(_name, _s.getNumVariables() + _param++, line);
}

template class DAESymbols<double>;
template class DAESymbols<std::complex<double>>;
} // namespace sl
