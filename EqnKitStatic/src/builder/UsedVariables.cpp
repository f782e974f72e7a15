#include "UsedVariables.h"

#include "BuildState.h"

namespace sl
{
template <typename T> UsedVariables<T>::UsedVariables(BuildState<T>& state)
    : _s(state), _pPrevious(state.parser.getUsedVariables())
{
    _s.parser.setUsedVariables(this);
}

template <typename T> UsedVariables<T>::~UsedVariables()
{
    if (_s.parser.getUsedVariables() == this)
        _s.parser.setUsedVariables(_pPrevious);
    // The context outlives these sets: it no longer points at them.
    if (_pBound && _pBound->pUsedVars == &_variables)
        _pBound->pUsedVars = nullptr;
    if (_pBound && _pBound->pLastUsedVarsForLimits == &_forLimits)
        _pBound->pLastUsedVarsForLimits = nullptr;
}

template <typename T> bool UsedVariables<T>::markVariableUsed(td::UINT4 index)
{
    if (index >= _s.getNumVariables())
        return false;
    _variables.insert(index);
    return true;
}

template <typename T> void UsedVariables<T>::bind(SolverData<T>& data)
{
    data.pUsedVars = &_variables;
    data.pLastUsedVarsForLimits = &_forLimits;
    _pBound = &data;
}

template class UsedVariables<double>;
template class UsedVariables<std::complex<double>>;
} // namespace sl
