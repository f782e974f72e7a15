// The small records and codes of the solver interface: the status of a solve, the solver
// kind, the trace levels of a consumer and the (unread) solution options.
#pragma once

#include <td/Types.h>

namespace sc
{
// Status of a solve or a time step; the solver keeps the last one (getStatus).
enum class Solution : td::BYTE
{
    OK = 0,
    // A Newton pass converged; turned into OK at the end of the solve.
    BaseOK = 1,
    // Set at the start of a solve and of each repetition, kept while iterating.
    IterBase = 2,
    // Reported to a progress record when a limit group forces a new pass.
    LimitFix = 3,
    // Iterating in the second or a later pass.
    NewPass = 4,
    EmptyMatrix = 5,
    FactorizationError = 6,
    SolutionError = 7,
    Oscillation = 8,
    NoImprovement = 9,
    MaxIters = 10,
    SubmodelFailed = 11
};

// The solver kind; NA until a kind's constructor sets it.
enum class SolverType : td::BYTE
{
    NR = 1,
    WLS = 2,
    ODE = 3,
    DAE = 4,
    NA = 5
};

// How much a solver reports to its consumer while it runs.
enum class TraceLevel : td::BYTE
{
    // No progress calls (a limit group's new pass still calls progress).
    None = 0,
    // progress at the start of each repetition (weighted least squares: at its first iteration).
    Repetitions = 1,
    // Also progress after every Newton iteration.
    Iterations = 2
};

// Solution options: accepted by every solver and its hosts, read by none.
struct so
{
};
} // namespace sc
