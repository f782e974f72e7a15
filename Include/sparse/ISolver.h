// A sparse linear system of n unknowns solved by LU factorisation: filled cell by cell,
// factorised, and solved for one or more right-hand sides.
#pragma once

#include <complex>

#include <matrix/IMatrixReceiver.h>
#include <matrix/MatrixAPI.h>
#include <sparse/Analysis.h>
#include <sparse/Types.h>
#include <td/Types.h>

namespace sparse
{
// Made by createSolver (or createDblSolver / createCmplxSolver) and owned by the caller,
// who ends it with release(); it cannot be deleted directly.
//
// A fill sets cells with put. The first fill teaches the solver its pattern (the cells
// put); later fills that put the same cells write straight into their places, and
// factorise then keeps the symbolic analysis and refactors numerically. A fill that
// puts a cell outside the pattern widens it and the next factorise analyses afresh.
// Cells of the pattern that a fill does not put keep their values, unless the fill was
// opened with begin, which zeroes them.
//
// A failed factorisation or solve drops the numeric factorisation: solving with the
// last factorisation is then refused until factorise succeeds again.
//
// A refactorisation keeps the pivots of the last factorisation while they serve, so its
// values depend on the fills before it; pivotAfresh makes the next factorise choose them
// as a new solver's first does. The symbolic analysis can be taken out of a solver and
// given to a new one: it serves a factorise whose pattern is exactly the one analysed.
// Either way the factorisation gives, bit for bit, the values of a new solver filled alike.
// A fresh choice at exactly the values of the last one keeps the factorisation at those
// values from then on, and later fresh choices at them solve with it without factorising.
//
// The finishing operations of the receiver belong to a sparse matrix (IMatrix); called
// on a solver they fail an assertion.
template <typename T> class ISolver : public IMatrixReceiver<T>
{
public:
    // Opens a fill and puts the cells of the last fill again, in the same order, with
    // values[0..n): as begin followed by those puts, without finding their places. False,
    // with nothing changed, unless the last fill put exactly n cells and was factorised
    // (and no fill has been opened since); the caller then fills cell by cell.
    virtual bool refill(const T* values, td::INT4 n) = 0;
    // Number of unknowns (and of rows and columns).
    virtual td::INT4 size() const = 0;
    // Sets entry row of the right-hand side used by solve(); begin zeroes it.
    virtual void putRHS(td::INT4 row, const T& value) = 0;
    // Address of the i-th value of the last solution of solve().
    virtual const T* getSolution(td::INT4 i) const = 0;

    // Factorises the values filled so far. False for a matrix that holds a value that is
    // not finite, or that is singular.
    virtual bool factorise() = 0;
    // Solves the filled system for the right-hand side given by putRHS, factorising first
    // when the values changed since the last factorisation. False when the factorisation
    // fails or a solution value is not finite.
    virtual bool solve() = 0;
    // Solves with the last factorisation for rhs into x (both n values; they may be the
    // same array). False without a factorisation, or when a solution value is not finite.
    virtual bool solve(const T* rhs, T* x) = 0;

    // A factorisation is held and may be solved with.
    virtual bool isFactorised() const = 0;
    // The last successful factorise kept the symbolic analysis of an earlier one.
    virtual bool isSymbolicReused() const = 0;
    virtual const FactorStats& getStats() const = 0;

    // The next factorise chooses its pivots afresh (and keeps the analysis while the
    // pattern stays).
    virtual void pivotAfresh() = 0;
    // Hands out the symbolic analysis held (null when none), and drops the factorisation
    // with it: the next factorise analyses afresh unless it is given an analysis again.
    virtual Analysis<T> takeAnalysis() = 0;
    // Takes an analysis for the next factorise in place of the one held (and drops the
    // factorisation): it is used when the pattern then filled is exactly the one analysed
    // (same size, same cells) and the solver orders as the one that made it; otherwise it
    // is ended and the pattern analysed afresh. Null drops the analysis held.
    virtual void giveAnalysis(Analysis<T> analysis) = 0;

    // Ends the solver.
    virtual void release() = 0;

protected:
    ~ISolver() = default;
};

// n >= 0 unknowns; nonZeroEstimate sizes the first pattern. Never null.
template <typename T> MATRIX_API ISolver<T>* createSolver(td::INT4 n, td::INT4 nonZeroEstimate, Symmetry symmetry,
                                                          SolverType type, Pivoting pivoting, Ordering ordering);

extern template ISolver<double>* createSolver<double>(td::INT4, td::INT4, Symmetry, SolverType, Pivoting, Ordering);
extern template ISolver<std::complex<double>>* createSolver<std::complex<double>>(td::INT4, td::INT4, Symmetry,
                                                                                  SolverType, Pivoting, Ordering);

inline ISolver<double>* createDblSolver(td::INT4 n, td::INT4 nonZeroEstimate, Symmetry symmetry, SolverType type,
                                        Pivoting pivoting, Ordering ordering)
{
    return createSolver<double>(n, nonZeroEstimate, symmetry, type, pivoting, ordering);
}

inline ISolver<std::complex<double>>* createCmplxSolver(td::INT4 n, td::INT4 nonZeroEstimate, Symmetry symmetry,
                                                        SolverType type, Pivoting pivoting, Ordering ordering)
{
    return createSolver<std::complex<double>>(n, nonZeroEstimate, symmetry, type, pivoting, ordering);
}
} // namespace sparse
