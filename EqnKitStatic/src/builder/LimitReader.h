// Limits of the text road: the groups of the Limits section, each a run of statements that
// the solver executes after a converged pass.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class LimitReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;

    // The variables of each statement are collected into used.
    LimitReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The groups of the level's Limits section into the solver's limit groups; false
    // (after a key where the section is malformed) at the first that fails.
    bool buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class LimitReader<double>;
extern template class LimitReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using LimitReader = sl::LimitReader<double>;
}

namespace slCmplx
{
using LimitReader = sl::LimitReader<std::complex<double>>;
}
