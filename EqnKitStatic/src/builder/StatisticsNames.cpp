#include "StatisticsNames.h"

namespace sl
{
template <typename T> bool setStatsName(StatisticsStore<T>& store, td::UINT4 i, const td::String& name)
{
    for (td::UINT4 j = 0; j < i; ++j)
    {
        if (store.record(j).name == name)
            return false;
    }
    store.record(i).name = name;
    return true;
}

template bool setStatsName(StatisticsStore<double>&, td::UINT4, const td::String&);
template bool setStatsName(StatisticsStore<std::complex<double>>&, td::UINT4, const td::String&);
} // namespace sl
