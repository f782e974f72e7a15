// The sparse linear system of a solver's iterations: making, filling, factorising, solving
// and ending its sparse solver.
#include "LinearSystem.h"

#include <utility>

#include <td/Assert.h>

#include "IterationRules.h"

namespace sl
{
namespace
{
sparse::Symmetry symmetryOf(SystemForm form)
{
    switch (form)
    {
    case SystemForm::Normal: return sparse::Symmetry::PositiveDefinite;
    case SystemForm::Constrained: return sparse::Symmetry::Indefinite;
    default: return sparse::Symmetry::General;
    }
}

sparse::SolverType solverTypeOf(SystemForm form)
{
    return form == SystemForm::Square ? sparse::SolverType::LU : sparse::SolverType::LDLT;
}
} // namespace

template <typename T> sparse::Pivoting LinearSystem<T>::pivoting(SystemForm form, td::BYTE pivotFlag)
{
    return form == SystemForm::Square && pivotFlag == 1 ? sparse::Pivoting::Partial : sparse::Pivoting::Threshold;
}

template <typename T> void LinearSystem<T>::define(td::UINT4 n, td::UINT4 nEntries, SystemForm form, td::BYTE pivotFlag)
{
    clear();
    _n = n;
    _nEntries = nEntries;
    _form = form;
    _pivoting = pivoting(form, pivotFlag);
}

template <typename T> sparse::ISolver<T>& LinearSystem<T>::beginFill()
{
    if (!_pSolver)
    {
        const auto estimate = static_cast<td::INT4>(static_cast<double>(_nEntries) * iteration::cNonZeroGrowth);
        _pSolver = sparse::createSolver<T>(static_cast<td::INT4>(_n), estimate, symmetryOf(_form), solverTypeOf(_form),
                                           _pivoting, sparse::Ordering::AMD);
        if (_analysis)
            _pSolver->giveAnalysis(std::move(_analysis));
    }
    _pSolver->begin();
    return *_pSolver;
}

template <typename T> bool LinearSystem<T>::refill(const T* values, td::UINT4 n)
{
    return _pSolver && _pSolver->refill(values, static_cast<td::INT4>(n));
}

template <typename T> bool LinearSystem<T>::factorise()
{
    TD_ASSERT(_pSolver);
    if (!_pSolver->factorise())
    {
        release();
        return false;
    }
    _stale = false;
    return true;
}

template <typename T> bool LinearSystem<T>::refactorise()
{
    if (!_stale && isFactorised())
        return true;
    return factorise();
}

template <typename T> bool LinearSystem<T>::solve(const T* rhs, T* x)
{
    TD_ASSERT(_pSolver);
    if (_pSolver->solve(rhs, x))
        return true;
    release();
    return false;
}

template <typename T> bool LinearSystem<T>::solveFilled()
{
    TD_ASSERT(_pSolver);
    if (_pSolver->solve())
    {
        _stale = false;
        return true;
    }
    release();
    return false;
}

template <typename T> const T& LinearSystem<T>::solution(td::UINT4 i) const
{
    TD_ASSERT(_pSolver);
    return *_pSolver->getSolution(static_cast<td::INT4>(i));
}

template <typename T> void LinearSystem<T>::release()
{
    if (_pSolver)
    {
        _analysis = _pSolver->takeAnalysis();
        _pSolver->release();
    }
    _pSolver = nullptr;
    _stale = true;
}

template <typename T> void LinearSystem<T>::clear()
{
    release();
    _analysis.reset();
}

template <typename T> void LinearSystem<T>::startAfresh()
{
    if (_pSolver)
        _pSolver->pivotAfresh();
    _stale = true;
}

template <typename T> sparse::FactorStats LinearSystem<T>::getStats() const
{
    return _pSolver ? _pSolver->getStats() : sparse::FactorStats();
}

template class LinearSystem<double>;
template class LinearSystem<std::complex<double>>;
} // namespace sl
