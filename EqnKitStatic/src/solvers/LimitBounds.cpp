// Finding and telling of a limit function's bound that is not a number.
#include "LimitBounds.h"

#include <cmath>

#include <sc/MessageKeys.h>

namespace sl
{
namespace msg = sc::msg;

template <typename T> td::UINT4 LimitBounds<T>::findNaN() const
{
    const FnLimits<T>& limits = _s.fnLimits;
    if (limits.size() == 0 || _s.values.size() < std::size_t(_s.nVars) + _s.nParams)
        return 0;
    const T* params = _s.values.data() + _s.nVars;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        const FnLimit<T>& limit = limits[id];
        if (std::isnan(limit.lowerBoundOver(params, _s.nParams)) ||
            std::isnan(limit.upperBoundOver(params, _s.nParams)))
            return id;
    }
    return 0;
}

template <typename T> bool LimitBounds<T>::upperIsNaN(const FnLimit<T>& limit) const
{
    if (_s.values.size() < std::size_t(_s.nVars) + _s.nParams)
        return false;
    return !std::isnan(limit.lowerBoundOver(_s.values.data() + _s.nVars, _s.nParams));
}

template <typename T> void LimitBounds<T>::showKey(td::UINT4 fnLimitID, sc::ILog& log) const
{
    const FnLimit<T>& limit = _s.fnLimits[fnLimitID];
    const td::UINT2 column = upperIsNaN(limit) ? limit._upperColumn : limit._lowerColumn;
    log.showKeyAt(msg::scLimitBoundNaN, limit._line, column, sc::ILog::Error);
}

template <typename T> void LimitBounds<T>::addEntry(td::UINT4 fnLimitID, td::BYTE section) const
{
    const FnLimit<T>& limit = _s.fnLimits[fnLimitID];
    const td::UINT4 paramIndex = upperIsNaN(limit) ? limit._upperParamIndex : limit._lowerParamIndex;
    const std::size_t symbol = std::size_t(_s.nVars) + paramIndex;
    const bool named = paramIndex < _s.nParams && symbol < _s.symbols.getNumberOfNames();
    const td::String name = named ? *_s.symbols.nameAt(symbol) : td::String();
    beginErrorEntry(_s.errorLog, limit._line != 0 ? limit._line : _s.settings.line, section);
    appendSubstituted(_s.errorLog, msg::txtLimitBoundNaN, name);
}

template class LimitBounds<double>;
template class LimitBounds<std::complex<double>>;
} // namespace sl
