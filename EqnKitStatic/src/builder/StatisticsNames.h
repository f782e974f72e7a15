// How both roads name the records of a model's statistics: a name is taken once, by the
// first record that has it.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>

#include "StatisticsStore.h"

namespace sl
{
// Record i takes the name unless one of the records before it has it.
template <typename T> bool setStatsName(StatisticsStore<T>& store, td::UINT4 i, const td::String& name);

extern template bool setStatsName(StatisticsStore<double>&, td::UINT4, const td::String&);
extern template bool setStatsName(StatisticsStore<std::complex<double>>&, td::UINT4, const td::String&);
} // namespace sl
