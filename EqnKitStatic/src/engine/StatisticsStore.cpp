#include "StatisticsStore.h"

#include <cmath>

namespace sl
{
double StatisticsRecord::deviation() const
{
    if (count == 0)
        return 0.0;
    if (count == 1)
        return std::sqrt(sumSqDev);
    return std::sqrt(sumSqDev / static_cast<double>(count - 1));
}

template <typename T> td::INT4 StatisticsStore<T>::find(const char* name, td::UINT4 length) const
{
    for (std::size_t i = 0; i < _records.size(); ++i)
    {
        if (_records[i].name.equals(name, length))
            return static_cast<td::INT4>(i);
    }
    return -1;
}

template class StatisticsStore<double>;
template class StatisticsStore<std::complex<double>>;
} // namespace sl
