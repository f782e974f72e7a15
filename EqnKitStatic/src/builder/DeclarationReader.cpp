#include "DeclarationReader.h"

#include <sc/MessageKeys.h>

#include "DAESymbols.h"
#include "InitValueReader.h"
#include "SolverStores.h"

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

template <typename T> bool DeclarationReader<T>::buildDeclarations(const sc::Naming& naming,
                                                                   const sc::TokenizedModel& model,
                                                                   sc::ModelLevel level)
{
    // The loader has told each duplicate at its declaration; the build refuses the model.
    if (hasDuplicates(naming))
        return _s.lineError(msg::scDuplicatedNames, modelPlace(model, level));
    return declareSymbols(naming, model, level) && setDeclaredValues(model, level);
}

template <typename T> bool DeclarationReader<T>::declareSymbols(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = _s.data();
    SolverStores<T>& stores = d.stores;
    const td::UINT4 nVars = naming.getNumberOfVars(level);
    const td::UINT4 nParams = naming.getNumberOfParams(level);
    if (nVars < 1)
        return _s.lineError(msg::scNoVarsDeclared, groupPlace(model, sc::Group::Vars, level));
    d.results.nEquations = nVars;
    if (d.dynamics != 0)
    {
        d.results.indexOfTParam = model.getIndexOfTimeParam(level);
        d.results.indexOfDeltaTParam = model.getIndexOfDeltaTimeParam(level);
    }

    // A DAE model's generated symbols follow the declared variables and parameters.
    td::UINT4 nAllVars = nVars, nAllParams = nParams;
    if (_pDAE)
        DAESymbols<T>(_s, *_pDAE).countDAESymbols(nAllVars, nAllParams);
    stores.setSize(nAllVars, nAllParams);
    _s.parser.setNumberOfSymbols(nAllVars, nAllParams);
    const td::UINT4 nValues = stores.getNumberOfValues();
    for (td::UINT4 i = 0; i < nValues; ++i)
        _s.values().push(T(0));
    for (td::UINT4 i = 0; i < nVars; ++i)
        _s.parser.addSymbolName(nameText(naming.getVarName(i, level)), i);
    for (td::UINT4 i = 0; i < nParams; ++i)
        _s.parser.addSymbolName(nameText(naming.getParamName(i, level)), nAllVars + i);

    setKinds(model, level, nVars, nParams);
    if (_pDAE && !DAESymbols<T>(_s, *_pDAE).declareDAESymbols(nVars, nParams))
        return false;

    _used.reserve(nAllVars);
    _s.parser.setNextFreePosition(true);

    if (level == sc::ModelLevel::Sub)
        copyParentParams(model, nAllVars, nParams);

    for (td::UINT4 k = 0; k < ISolverServices<T>::cStatusSymbols; ++k)
        _s.parser.addSymbolName(td::String(ISolverServices<T>::statusSymbolName(k)), nAllVars + nAllParams + k);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    d.declarationsDone = 1;
    return true;
}

template <typename T>
bool DeclarationReader<T>::setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    td::BYTE& section = _s.data().currentSection;
    DeferredList vars, params;
    section = static_cast<td::BYTE>(ErrorSection::Vars);
    if (!InitValueReader<T>(_s).setDeclarationValues(model.getGroup(sc::Group::Vars, level), vars, sc::UserLabel::Var))
        return false;
    section = static_cast<td::BYTE>(ErrorSection::Params);
    if (!InitValueReader<T>(_s).setDeclarationValues(model.getGroup(sc::Group::Params, level), params,
                                                     sc::UserLabel::Param))
        return false;
    section = static_cast<td::BYTE>(ErrorSection::Vars);
    return InitValueReader<T>(_s).setInitialValues(params, vars);
}

template <typename T> void DeclarationReader<T>::setKinds(const sc::TokenizedModel& model, sc::ModelLevel level,
                                                          td::UINT4 nVars, td::UINT4 nParams)
{
    const bool outVars = groupFlag(model, sc::Group::Vars, level, sc::AttribID::Out);
    const bool outParams = groupFlag(model, sc::Group::Params, level, sc::AttribID::Out);
    const td::UINT4 nAllVars = _s.getNumVariables();
    const td::UINT4 nAll = _s.symbolCount();
    cnt::SafeFullVector<SymbolInfo>& info = _s.data().stores.symbolInfo;
    info.reserve(nAll);
    for (td::UINT4 i = 0; i < nAll; ++i)
    {
        const bool variable = i < nAllVars;
        const bool declared = variable ? i < nVars : i - nAllVars < nParams;
        const bool out = declared && (variable ? outVars : outParams);
        info[i] = SymbolInfo{static_cast<td::BYTE>(variable ? 1 : 0), 2, static_cast<td::BYTE>(out ? 2 : 0)};
    }
}

template <typename T>
void DeclarationReader<T>::copyParentParams(const sc::TokenizedModel& model, td::UINT4 nAllVars, td::UINT4 nParams)
{
    // A sub-model's parameters copied from the parent take the parent's current values.
    const SolverData<T>& d = _s.data();
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    if (!pParent)
        return;
    const td::UINT4 first = model.getNumberOfInitialSubProblemParams();
    const td::UINT4 nCopied = model.getCopyParamsFromParentToSubModelCopied();
    const T* pParentParams = pParent->getVariableValuesPtr() + pParent->getNumberOfVariables();
    for (td::UINT4 i = 0; i < nCopied && first + i < nParams && i < pParent->getNumberOfParameters(); ++i)
        _s.values()[nAllVars + first + i] = pParentParams[i];
}

template class DeclarationReader<double>;
template class DeclarationReader<std::complex<double>>;
} // namespace sl
