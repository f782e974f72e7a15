// Settings of a sparse solver as its factories take them, and the counters that tell how
// much of its factorisation work was reused.
#pragma once

#include <td/Types.h>

namespace sparse
{
// What the caller knows of the matrix. Accepted and not acted upon: every kind is
// factorised by a general sparse LU, which serves symmetric and Hermitian matrices too.
enum class Symmetry : td::BYTE
{
    General = 0,
    PositiveDefinite = 1,
    Structural = 2,
    Indefinite = 3
};

// The factorisation the matrix admits. Accepted and not acted upon: every type is served
// by sparse LU.
enum class SolverType : td::BYTE
{
    LU = 0,
    Cholesky = 1,
    LDLT = 2
};

// Row pivoting inside the diagonal blocks of the LU factorisation.
enum class Pivoting : td::BYTE
{
    // Always the largest entry of the column.
    Partial = 2,
    // The diagonal entry unless it is below a thousandth of the largest in its column.
    Threshold = 3
};

// Fill-reducing column ordering of the symbolic analysis.
enum class Ordering : td::BYTE
{
    AMD = 0,
    COLAMD = 1
};

// Counts since the solver was made.
struct FactorStats
{
    // Symbolic analyses (ordering and block structure of a pattern).
    td::UINT4 analyses = 0;
    // Analyses given to the solver (ISolver::giveAnalysis) that served its pattern.
    td::UINT4 analysesAdopted = 0;
    // Numeric factorisations with a fresh choice of pivots (among them refactorisations over
    // pivots chosen at exactly the same values, which are the pivots of a fresh choice).
    td::UINT4 factorisations = 0;
    // Numeric factorisations that kept the pivots of the previous one.
    td::UINT4 refactorisations = 0;
    // Fresh choices at exactly the values of a factorisation held from an earlier fresh
    // choice, which then served without factorising (counted among factorisations too).
    td::UINT4 factorisationsKept = 0;
};
} // namespace sparse
