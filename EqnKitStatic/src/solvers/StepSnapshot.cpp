// Saving and putting back the state of a time step.
#include "StepSnapshot.h"

#include <algorithm>

namespace sl
{
namespace
{
template <typename T> std::size_t countDerivatives(const FnLimits<T>& limits)
{
    std::size_t n = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
        n += limits[id]._derivEvaluators.size();
    return n;
}
} // namespace

template <typename T> void StepSnapshot<T>::save(const SolverStores<T>& s)
{
    const std::size_t n = std::size_t(s.nVars) + s.nParams;
    _values.reserve(n);
    if (n > 0)
        std::copy_n(s.values.data(), n, &_values[0]);
    const FnLimits<T>& limits = s.fnLimits;
    if (limits.size() == 0)
        return;
    _limits.reserve(std::size_t(limits.size()) * cLimitFields);
    _derivatives.reserve(countDerivatives(limits));
    std::size_t k = 0, d = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        const FnLimit<T>& limit = limits[id];
        _limits[k++] = limit._currentValue;
        _limits[k++] = limit._lowerBound;
        _limits[k++] = limit._upperBound;
        for (std::size_t j = 0; j < limit._derivEvaluators.size(); ++j)
            _derivatives[d++] = limit._derivEvaluators[j].value;
    }
}

template <typename T> void StepSnapshot<T>::restore(SolverStores<T>& s) const
{
    const std::size_t n = std::min(_values.size(), s.values.size());
    if (n > 0)
        std::copy_n(&_values[0], n, s.values.data());
    FnLimits<T>& limits = s.fnLimits;
    if (_limits.size() != std::size_t(limits.size()) * cLimitFields)
        return;
    std::size_t k = 0, d = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        FnLimit<T>& limit = limits[id];
        limit._currentValue = _limits[k++];
        limit._lowerBound = _limits[k++];
        limit._upperBound = _limits[k++];
        for (std::size_t j = 0; j < limit._derivEvaluators.size() && d < _derivatives.size(); ++j)
            limit._derivEvaluators[j].value = _derivatives[d++];
    }
}

template class StepSnapshot<double>;
template class StepSnapshot<std::complex<double>>;
} // namespace sl
