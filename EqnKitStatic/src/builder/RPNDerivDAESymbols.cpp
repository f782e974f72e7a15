// The symbols a DAE model adds to its declared ones: per ODE state its stage variables
// and its history parameter; per transfer function its states, each followed by its
// stages, their history parameters and the division variable; and the variable records
// that tie them together.
#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

namespace
{
constexpr td::BYTE cODEState = 3;
constexpr td::BYTE cTFState = 4;
constexpr td::BYTE cTFAuxiliary = 2;
} // namespace

template <typename T> void RPNDerivParser<T>::countDAESymbols(td::UINT4& nVars, td::UINT4& nParams)
{
    SolverData<T>& d = *this->_pSolverData;
    const td::UINT2 s = getNumberOfStages();
    const td::UINT4 nStates = static_cast<td::UINT4>(_stateVars.size());
    nVars += s * nStates;
    nParams += nStates;
    td::UINT4 nTFVars = 0;
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        nTFVars += _tfs[i].tf.variableCount(s);
        nParams += _tfs[i].tf.stateCount();
    }
    nVars += nTFVars;
    d.nDAEStates = nStates;
    d.nTFVars = nTFVars;
}

template <typename T>
bool RPNDerivParser<T>::addGeneratedSymbol(const td::String& name, td::UINT4 index, const Place& at)
{
    // Never two symbols of one name: the second would be unreachable by name.
    if (this->getSymbolIndex(name) >= 0)
        return lineError(msg::scGeneratedNameTaken, at);
    this->addSymbolName(name, index);
    return true;
}

template <typename T> bool RPNDerivParser<T>::declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams)
{
    SolverData<T>& d = *this->_pSolverData;
    DAEVarRecords& records = d.stores.daeVarRecords;
    records.reserve(this->_nVars);
    const td::UINT2 s = getNumberOfStages();
    const td::UINT4 nVars = this->_nVars;
    td::UINT4 var = nDeclaredVars;
    td::UINT4 param = nDeclaredParams;
    td::String name;

    // A state's stage variables from var on, and its history parameter.
    auto addStagesAndHistory = [&](const td::String& state, td::UINT4 index, const Place& line) {
        DAEVarRecord& r = records[index];
        r.firstStage = s > 0 ? static_cast<td::INT4>(var) : -1;
        for (td::UINT2 k = 1; k <= s; ++k)
        {
            name.format("%s#k%d", state.c_str(), static_cast<int>(k));
            if (!addGeneratedSymbol(name, var++, line))
                return false;
        }
        r.histParam = static_cast<td::INT4>(param);
        name.format("%s@_", state.c_str());
        return addGeneratedSymbol(name, nVars + param++, line);
    };

    for (std::size_t i = 0; i < _stateVars.size(); ++i)
    {
        const td::UINT4 x = static_cast<td::UINT4>(_stateVars[i]);
        setStateVarType(static_cast<td::INT4>(x), cODEState);
        const td::String state = *this->_symbols.nameAt(x);
        if (!addStagesAndHistory(state, x, _stateLines[i]))
            return false;
    }

    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        TransferFunction& tf = _tfs[i].tf;
        const Place line = placeOf(_tfs[i].line);
        if (_tfs[i].inputIsParam)
            tf.input += nVars;
        tf.firstState = static_cast<td::INT4>(var);
        records[tf.output].firstTFState = tf.firstState;
        // States after the output while the denominator lasts, then after the input.
        const td::String y = *this->_symbols.nameAt(tf.output);
        const td::String u = *this->_symbols.nameAt(tf.input);
        for (td::UINT2 k = 0; k < tf.stateCount(); ++k)
        {
            const bool ofOutput = k < tf.denomOrder;
            const int number = ofOutput ? k + 1 : k - tf.denomOrder + 1;
            name.format("%s'x%d", (ofOutput ? y : u).c_str(), number);
            const td::String state = name;
            const td::UINT4 index = var++;
            if (!addGeneratedSymbol(state, index, line))
                return false;
            setStateVarType(static_cast<td::INT4>(index), cTFState);
            if (!addStagesAndHistory(state, index, line))
                return false;
        }
        if (tf.isImproper())
        {
            name.format("%s#div", y.c_str());
            if (!addGeneratedSymbol(name, var, line))
                return false;
            setVarType(static_cast<td::INT4>(var++), cTFAuxiliary);
        }
    }
    TD_ASSERT(var == this->_nVars);
    TD_ASSERT(param == this->_nParams);
    return true;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
