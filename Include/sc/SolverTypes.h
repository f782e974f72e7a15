// The small records and codes of the solver interface: the status of a solve, the solver
// kind, the trace levels of a consumer and the (unread) solution options.
#pragma once

#include <td/Types.h>

namespace sc
{
// The statuses of a solve or a time step, one row each: its name, its value, the name a
// solver prints for it (getStatusName) and the name of its member in Python. Values run
// from 0 in the order of the rows; a row needs both names.
// clang-format off
#define EQNKIT_SOLUTIONS(X)                                                                  \
    /* name              value printed               Python */                              \
    X(OK,                 0,    "OK",                 "OK")                                 \
    /* a Newton pass converged; turned into OK at the end of the solve */                   \
    X(BaseOK,             1,    "BaseOK",             "BaseOK")                             \
    /* set at the start of a solve and of each repetition, kept while iterating */          \
    X(IterBase,           2,    "IterBase",           "Iterating")                          \
    /* reported to a progress record when a limit group forces a new pass */                \
    X(LimitFix,           3,    "LimitFix",           "LimitFix")                           \
    /* iterating in the second or a later pass */                                           \
    X(NewPass,            4,    "NewPass",            "NewPass")                            \
    X(EmptyMatrix,        5,    "EmptyMatrix",        "EmptyMatrix")                        \
    X(FactorizationError, 6,    "FactorizationError", "FactorizationError")                 \
    X(SolutionError,      7,    "SolutionError",      "SolutionError")                      \
    X(Oscillation,        8,    "Oscillation",        "Oscillation")                        \
    X(NoImprovement,      9,    "NoImprovement",      "NoImprovement")                      \
    X(MaxIters,           10,   "MaxIters",           "MaximumIteration")                   \
    X(SubmodelFailed,     11,   "SubmodelFailed",     "SubmodelFailed")
// clang-format on

// Status of a solve or a time step; the solver keeps the last one (getStatus).
enum class Solution : td::BYTE
{
#define EQNKIT_SOLUTION_ENUMERATOR(name, value, printed, python) name = value,
    EQNKIT_SOLUTIONS(EQNKIT_SOLUTION_ENUMERATOR)
#undef EQNKIT_SOLUTION_ENUMERATOR
};

namespace detail
{
struct SolutionRow
{
    Solution status;
    const char* printed;
    const char* python;
};

inline constexpr SolutionRow cSolutionRows[] = {
#define EQNKIT_SOLUTION_ROW(name, value, printed, python) {Solution::name, printed, python},
    EQNKIT_SOLUTIONS(EQNKIT_SOLUTION_ROW)
#undef EQNKIT_SOLUTION_ROW
};

constexpr bool sameText(const char* a, const char* b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

// The rows in the order of their values, from 0, each with both names, and no name twice.
constexpr bool solutionRowsComplete()
{
    unsigned value = 0;
    for (const SolutionRow& row : cSolutionRows)
    {
        if (static_cast<unsigned>(row.status) != value++ || !row.printed || !row.printed[0] || !row.python ||
            !row.python[0])
            return false;
        for (const SolutionRow& other : cSolutionRows)
        {
            if (&other != &row && (sameText(other.printed, row.printed) || sameText(other.python, row.python)))
                return false;
        }
    }
    return true;
}
} // namespace detail

// The number of statuses: every value below it is a status with its names.
inline constexpr unsigned cSolutionCount = sizeof(detail::cSolutionRows) / sizeof(detail::cSolutionRows[0]);
static_assert(detail::solutionRowsComplete(), "a status out of order, or without a printed or Python name of its own");

// The name a solver prints for a status; null for a value no status has.
constexpr const char* printedName(Solution status)
{
    const unsigned value = static_cast<unsigned>(status);
    return value < cSolutionCount ? detail::cSolutionRows[value].printed : nullptr;
}

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
