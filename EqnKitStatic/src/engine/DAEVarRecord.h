// What a DAE model keeps per variable: its history parameter, its first stage variable and,
// for the output of a transfer function, that function's first state. Builder, stage
// expansion and DAE solver share these records; the solver owns the vector.
#pragma once

#include <cnt/SafeFullVector.h>
#include <td/Types.h>

namespace sl
{
struct DAEVarRecord
{
    // The variable's value at the previous step: parameter index counted from the first
    // parameter (the symbol is nVars + histParam); -1 none.
    td::INT4 histParam = -1;
    // Symbol index of the variable's first stage variable; stage j is firstStage + j; -1 none.
    td::INT4 firstStage = -1;
    // For the output of a transfer function, the function's first state (the solver copies
    // the output there); -1 none.
    td::INT4 firstTFState = -1;
};
static_assert(sizeof(DAEVarRecord) == 12);

// One record per variable, indexed by variable; fresh records hold -1 throughout.
using DAEVarRecords = cnt::SafeFullVector<DAEVarRecord>;
} // namespace sl
