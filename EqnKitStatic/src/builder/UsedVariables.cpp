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
}

template class UsedVariables<double>;
template class UsedVariables<std::complex<double>>;
} // namespace sl
