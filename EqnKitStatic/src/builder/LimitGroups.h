// What both roads make the groups of a Limits section with: the signal words of their
// branches and the consecutive records each group takes from the evaluator pool.
#pragma once

#include <complex>

#include <cnt/List.h>
#include <cnt/SafeFullVector.h>
#include <td/Types.h>

#include "SolverStores.h"

namespace sl
{
// The limit groups of a solver.
template <typename T> using LimitGroups = cnt::SafeFullVector<LimitGroup<T>>;

// The signal code of none (and of any word that is not a signal).
constexpr td::BYTE cNoSignal = 6;

// Code of a signal word; cNoSignal for none or any other text.
td::BYTE getSignalCode(const char* text);

// Reserves n consecutive records for limit group groupIndex and records the group; n <= 0
// reserves none.
template <typename T> Evaluator<T>* allocLimitGroup(LimitGroups<T>& groups, cnt::List<Evaluator<T>>& pool,
                                                    td::UINT4 groupIndex, td::INT4 n, bool enabled);

extern template Evaluator<double>* allocLimitGroup(LimitGroups<double>&, cnt::List<Evaluator<double>>&, td::UINT4,
                                                   td::INT4, bool);
extern template Evaluator<std::complex<double>>* allocLimitGroup(LimitGroups<std::complex<double>>&,
                                                                 cnt::List<Evaluator<std::complex<double>>>&, td::UINT4,
                                                                 td::INT4, bool);
} // namespace sl
