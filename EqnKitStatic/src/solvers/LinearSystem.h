// The sparse linear system of a solver's iterations: the sparse solver made with the one
// pivoting rule, filled or refilled, factorised or refactorised, solved and released.
#pragma once

#include <complex>

#include <sparse/ISolver.h>
#include <td/Types.h>

namespace sl
{
// What a system is, which tells the sparse solver what its matrix is.
enum class SystemForm : td::BYTE
{
    // As many equations as unknowns: a Jacobian.
    Square,
    // The weighted normal equations of measurements: symmetric positive definite.
    Normal,
    // The normal equations bordered by constraint rows: symmetric indefinite.
    Constrained
};

// Owns the one sparse solver of its system: made by the first fill after a define or a
// release, kept across fills and factorisations while it serves, ended by release, by a
// failed factorisation or solve, by define and with the object. Every sparse solver of a
// solver kind is made and ended here; it cannot be copied.
//
// The symbolic analysis of the last pattern outlives a release: the next sparse solver
// takes it and uses it when its first fill has exactly that pattern (the ordering depends
// on the pattern alone, so the values come out bit for bit as after an analysis of its
// own). It belongs to this system, which forgets it with define and clear.
template <typename T> class LinearSystem
{
public:
    // The one pivoting rule: partial pivoting for a square system whose model asks for it
    // (pivot flag 1), else threshold pivoting (the diagonal while it is not too small).
    static sparse::Pivoting pivoting(SystemForm form, td::BYTE pivotFlag);

    LinearSystem() = default;
    LinearSystem(const LinearSystem&) = delete;
    LinearSystem& operator=(const LinearSystem&) = delete;
    ~LinearSystem() { release(); }

    // The system the next sparse solver is made for: n unknowns, nEntries cells a fill
    // puts (the solver's first pattern is sized for half as many again), its form and the
    // model's pivot flag. A held sparse solver is released and its analysis forgotten.
    void define(td::UINT4 n, td::UINT4 nEntries, SystemForm form, td::BYTE pivotFlag);

    // Opens a fill (every cell and right-hand side value zero), making the sparse solver
    // when none is held; the cells go to the solver returned, which serves as the target
    // of a sparse matrix's finishing operations too.
    sparse::ISolver<T>& beginFill();
    // Opens a fill that puts the cells of the last fill again in the same order with
    // values[0..n); false, with nothing changed, without a sparse solver or when the last
    // fill cannot be repeated so (sparse::ISolver::refill): the caller then fills.
    bool refill(const T* values, td::UINT4 n);
    // Factorises the values of the fill; the sparse solver keeps its symbolic analysis
    // while the pattern stays. False, with the sparse solver released, when it fails.
    bool factorise();
    // The held factorisation serves while it is not stale; otherwise factorise.
    bool refactorise();
    // Solves with the held factorisation for rhs into x (n values each; they may be the
    // same array). False, with the sparse solver released, when it fails.
    bool solve(const T* rhs, T* x);
    // Solves the filled system for the right-hand side of its fill, factorising it when
    // needed; the solution is read with solution(i). False, released, when it fails.
    bool solveFilled();
    const T& solution(td::UINT4 i) const;
    // Ends the sparse solver, keeping its analysis; the next fill makes a new one.
    void release();
    // Ends the sparse solver and forgets its analysis: the next build may be another model.
    void clear();
    // The next factorisation chooses its pivots afresh, as a new sparse solver's first
    // would, over the analysis kept while the pattern stays: for values set from outside.
    void startAfresh();

    // The held factorisation, if any, is not of the values the next solve is for.
    void markStale() { _stale = true; }
    bool isStale() const { return _stale; }
    // No sparse solver is held, or its factorisation is stale.
    bool needsFactorisation() const { return !_pSolver || _stale; }
    bool isHeld() const { return _pSolver != nullptr; }
    bool isFactorised() const { return _pSolver && _pSolver->isFactorised(); }
    // The held sparse solver's counts; zero without one.
    sparse::FactorStats getStats() const;

private:
    sparse::ISolver<T>* _pSolver = nullptr;
    // The analysis of the last sparse solver released, for the next one.
    sparse::Analysis<T> _analysis;
    td::UINT4 _n = 0;
    td::UINT4 _nEntries = 0;
    SystemForm _form = SystemForm::Square;
    sparse::Pivoting _pivoting = sparse::Pivoting::Threshold;
    bool _stale = true;
};

extern template class LinearSystem<double>;
extern template class LinearSystem<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using LinearSystem = sl::LinearSystem<double>;
}

namespace slCmplx
{
using LinearSystem = sl::LinearSystem<std::complex<double>>;
}
