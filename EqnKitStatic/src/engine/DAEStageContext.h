// The symbols one differential equation x' = f is discretised with: the state x, the step
// and time parameters, and the per-variable records that name history and stage symbols.
#pragma once

#include <td/Types.h>

#include "DAEVarRecord.h"

namespace sl
{
// Filled by the builder for each equation; the expansions only read it.
struct DAEStageContext
{
    // Not owned; the DAE solver's records, indexed by variable.
    const DAEVarRecords* pVarRecords = nullptr;
    // Symbol index of the state x being discretised (a variable).
    td::UINT4 state = 0;
    // Symbol indices (variables first, then parameters) of the step dT and the time t;
    // the step ends at t. A negative time index means the model has no time parameter.
    td::UINT4 deltaT = 0;
    td::INT4 time = -1;
};
} // namespace sl
