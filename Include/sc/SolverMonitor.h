// A progress record a host may attach to a solver (ISolver::attachMonitor): the solver
// writes its counts, status and norms into it while it runs.
#pragma once

#include <cnt/SafeFullVector.h>
#include <sc/SymbolInfo.h>
#include <td/Types.h>

namespace sc
{
// Owned by the host; the solver writes into it only while it is attached.
template <typename T> struct SolverMonitor
{
    // The solver's symbol values (variables, parameters, solver-status places).
    T* pValues = nullptr;
    // One record per variable and parameter.
    const cnt::SafeFullVector<SymbolInfo>* pSymbolKinds = nullptr;
    // Symbol indices of the output symbols, ascending.
    cnt::SafeFullVector<td::UINT4> outputSymbols;
    // Written at the start of a solve.
    double eps = 0;
    // Written after every evaluation of the residuals; 0 after a child model failed.
    double residualNorm = 0;
    // Time-stepping solvers.
    double time = 0;
    // Name of the limit group that forced the last new pass; null for an unnamed one.
    const char* limitGroupName = nullptr;
    td::UINT4 nVars = 0;
    td::UINT4 nParams = 0;
    td::UINT4 repetition = 0;
    td::UINT4 totalIterations = 0;
    td::UINT2 pass = 0;
    td::UINT2 iteration = 0;
    // An sc::SolverType.
    td::BYTE solverType = 0;
    // An sc::Solution.
    td::BYTE status = 0;
    // An sc::TraceLevel, read when the record is attached.
    td::BYTE traceLevel = 0;
};
} // namespace sc
