// Which equation groups a model type and a solver kind take: a group that the model's own
// type does not hold, or that the building solver does not read, is refused at its header
// before anything of the level is built.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class GroupCheck
{
public:
    using Iterator = sc::TokenizedModel::iterator;

    explicit GroupCheck(BuildState<T>& state) : _s(state) {}

    // The equation groups of the level fit the model's type and the kind the solver
    // reads; false after a key (and an error-log entry) at the header of the first group
    // in the text that does not.
    bool checkGroups(const sc::TokenizedModel& model, sc::ModelLevel level, ModelKind solverKind);

private:
    BuildState<T>& _s;
};

extern template class GroupCheck<double>;
extern template class GroupCheck<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using GroupCheck = sl::GroupCheck<double>;
}

namespace slCmplx
{
using GroupCheck = sl::GroupCheck<std::complex<double>>;
}
