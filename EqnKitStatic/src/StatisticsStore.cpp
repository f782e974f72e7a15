#include "StatisticsStore.h"

#include <cmath>
#include <cstring>

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
        const td::String& s = _records[i].name;
        if (s.length() == length && std::memcmp(s.c_str(), name, length) == 0)
            return static_cast<td::INT4>(i);
    }
    return -1;
}

template class StatisticsStore<double>;
template class StatisticsStore<std::complex<double>>;
} // namespace sl
