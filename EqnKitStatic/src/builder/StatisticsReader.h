// Statistics of the text road: the names of the Stats group become the solver's statistics
// records, and a statement "s << e1 << e2 ..." becomes a feed that owns its expressions.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class StatisticsReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // The variables of a feed's expressions are collected into used.
    StatisticsReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The names of the level's Stats group, each once, into the statistics records.
    bool buildStatsNames(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Compiles "s << e1 << e2 ..." into out as a feed of statistic s; its index, or -1.
    td::INT4 buildStatsAssignment(const Iterator& it, Evaluator<T>* out);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class StatisticsReader<double>;
extern template class StatisticsReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using StatisticsReader = sl::StatisticsReader<double>;
}

namespace slCmplx
{
using StatisticsReader = sl::StatisticsReader<std::complex<double>>;
}
