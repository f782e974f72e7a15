// The declarations pass: the variables and parameters of a model level become the
// solver's symbols (names, values, kinds) followed by the ten solver-status symbols,
// and the declarations' start values are set.
#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

namespace
{
bool groupFlag(const sc::TokenizedModel& model, sc::Group g, sc::ModelLevel level, sc::AttribID id)
{
    bool on = false;
    model.getGroup(g, level).getAttrib(id, on);
    return on;
}

td::String nameText(const td::PoolString* pName)
{
    return pName ? td::String(pName->c_str(), pName->length()) : td::String();
}

// A name declared twice anywhere in the model: the loader has refused it, and the
// positions of the names no longer follow their lines.
bool hasDuplicates(const sc::Naming& naming)
{
    sc::Naming::NameSet* pSets = const_cast<sc::Naming&>(naming).getDuplicatedVarsAndParams();
    for (int k = 0; k < 4; ++k)
    {
        if (!pSets[k].empty())
            return true;
    }
    return false;
}
} // namespace

template <typename T> bool RPNDerivParser<T>::buildDeclarations(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    if (hasDuplicates(naming))
        return lineError(msg::scDuplicatedNames, 0, 0);
    return declareSymbols(naming, model, level) && setDeclaredValues(model, level);
}

template <typename T>
bool RPNDerivParser<T>::declareSymbols(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level)
{
    TD_ASSERT(this->_pSolverData);
    SolverData<T>& d = *this->_pSolverData;
    SolverStores<T>& stores = d.stores;
    const td::UINT4 nVars = naming.getNumberOfVars(level);
    const td::UINT4 nParams = naming.getNumberOfParams(level);
    const bool outVars = groupFlag(model, sc::Group::Vars, level, sc::AttribID::Out);
    const bool outParams = groupFlag(model, sc::Group::Params, level, sc::AttribID::Out);
    if (nVars < 1)
        return lineError(msg::scNoVarsDeclared, 0, 0);
    _nEquations = nVars;
    if (d.dynamics != 0)
    {
        d.results.indexOfTParam = model.getIndexOfTimeParam(level);
        d.results.indexOfDeltaTParam = model.getIndexOfDeltaTimeParam(level);
    }

    // A DAE model's generated symbols follow the declared variables and parameters.
    td::UINT4 nAllVars = nVars, nAllParams = nParams;
    if (d.dynamics == 2)
        countDAESymbols(nAllVars, nAllParams);
    stores.setSize(nAllVars, nAllParams);
    this->setNumberOfSymbols(nAllVars, nAllParams);
    const td::UINT4 nValues = stores.getNumberOfValues();
    for (td::UINT4 i = 0; i < nValues; ++i)
        this->_values.push(T(0));
    for (td::UINT4 i = 0; i < nVars; ++i)
        this->addSymbolName(nameText(naming.getVarName(i, level)), i);
    for (td::UINT4 i = 0; i < nParams; ++i)
        this->addSymbolName(nameText(naming.getParamName(i, level)), nAllVars + i);

    cnt::SafeFullVector<SymbolInfo>& info = stores.symbolInfo;
    info.reserve(nAllVars + nAllParams);
    for (td::UINT4 i = 0; i < nAllVars + nAllParams; ++i)
    {
        const bool variable = i < nAllVars;
        const bool declared = variable ? i < nVars : i - nAllVars < nParams;
        const bool out = declared && (variable ? outVars : outParams);
        info[i] = SymbolInfo{static_cast<td::BYTE>(variable ? 1 : 0), 2, static_cast<td::BYTE>(out ? 2 : 0)};
    }
    if (d.dynamics == 2 && !declareDAESymbols(nVars, nParams))
        return false;

    _usedVars.reserve(nAllVars);
    this->setNextFreePosition(true);

    // A sub-model's parameters copied from the parent take the parent's current values.
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    if (level == sc::ModelLevel::Sub && pParent)
    {
        const td::UINT4 first = model.getNumberOfInitialSubProblemParams();
        const td::UINT4 nCopied = model.getCopyParamsFromParentToSubModelCopied();
        const T* pParentParams = pParent->getVariableValuesPtr() + pParent->getNumberOfVariables();
        for (td::UINT4 i = 0; i < nCopied && first + i < nParams && i < pParent->getNumberOfParameters(); ++i)
            this->_values[nAllVars + first + i] = pParentParams[i];
    }

    for (td::UINT4 k = 0; k < ISolverServices<T>::cStatusSymbols; ++k)
        this->addSymbolName(td::String(ISolverServices<T>::statusSymbolName(k)), nAllVars + nAllParams + k);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    _declarationsDone = 1;
    return true;
}

template <typename T> bool RPNDerivParser<T>::setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    td::BYTE& section = this->_pSolverData->currentSection;
    DeferredList vars, params;
    section = static_cast<td::BYTE>(ErrorSection::Vars);
    if (!setDeclarationValues(model.getGroup(sc::Group::Vars, level), vars, sc::UserLabel::Var))
        return false;
    section = static_cast<td::BYTE>(ErrorSection::Params);
    if (!setDeclarationValues(model.getGroup(sc::Group::Params, level), params, sc::UserLabel::Param))
        return false;
    section = static_cast<td::BYTE>(ErrorSection::Vars);
    return setInitialValues(params, vars);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
