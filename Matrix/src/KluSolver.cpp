#include "KluSolver.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include <td/Assert.h>

#include "KluTraits.h"

namespace sparse
{
namespace
{
static_assert(sizeof(int) == sizeof(td::INT4), "KLU takes the index arrays as int");

// Pivot tolerance of KLU: 1 takes the largest entry of a column, KLU's default 0.001
// prefers the diagonal unless it is a thousand times smaller.
double pivotTolerance(Pivoting pivoting) { return pivoting == Pivoting::Partial ? 1.0 : 0.001; }

// Kept pivots serve while the crude reciprocal condition estimate (smallest over largest
// diagonal of U) stays within this factor of its value when the pivots were chosen.
constexpr double cPivotDecay = 1e-3;

int* klu(const td::INT4* p) { return const_cast<int*>(p); }
} // namespace

template <typename T>
KluSolver<T>::KluSolver(td::INT4 n, td::INT4 nonZeroEstimate, Pivoting pivoting, Ordering ordering)
    : _matrix(n, n, nonZeroEstimate), _rhs(static_cast<std::size_t>(n), T(0)),
      _solution(static_cast<std::size_t>(n), T(0)), _n(n)
{
    TD_ASSERT(pivoting == Pivoting::Partial || pivoting == Pivoting::Threshold);
    TD_ASSERT(ordering == Ordering::AMD || ordering == Ordering::COLAMD);
    klu_defaults(&_common);
    _common.tol = pivotTolerance(pivoting);
    _common.ordering = ordering == Ordering::AMD ? 0 : 1;
}

template <typename T> KluSolver<T>::~KluSolver() { releaseNumeric(); }

template <typename T> void KluSolver<T>::put(td::INT4 row, td::INT4 col, const T* value)
{
    TD_ASSERT(value);
    _matrix.put(row, col, *value);
    _valuesChanged = true;
}

template <typename T> void KluSolver<T>::begin()
{
    _matrix.begin();
    std::fill(_rhs.begin(), _rhs.end(), T(0));
    _valuesChanged = true;
}

template <typename T> bool KluSolver<T>::refill(const T* values, td::INT4 n)
{
    if (n < 0 || !_matrix.refill(values, static_cast<std::size_t>(n)))
        return false;
    std::fill(_rhs.begin(), _rhs.end(), T(0));
    _valuesChanged = true;
    return true;
}

template <typename T>
void KluSolver<T>::finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<T>&, ISolver<T>&)
{
    TD_ASSERT(!"a sparse solver has no measurement rows to finish");
}

template <typename T> void KluSolver<T>::finishConstraints(td::UINT4, const dense::Matrix<T>&, ISolver<T>&)
{
    TD_ASSERT(!"a sparse solver has no constraint rows to finish");
}

template <typename T> void KluSolver<T>::putRHS(td::INT4 row, const T& value)
{
    TD_ASSERT(row >= 0 && row < _n);
    _rhs[static_cast<std::size_t>(row)] = value;
}

template <typename T> const T* KluSolver<T>::getSolution(td::INT4 i) const
{
    TD_ASSERT(i >= 0 && i < _n);
    return &_solution[static_cast<std::size_t>(i)];
}

template <typename T> bool KluSolver<T>::factorise()
{
    const bool patternGrew = _matrix.endFill();
    _valuesChanged = false;
    _symbolicReused = false;
    if (!valuesFinite())
    {
        releaseNumeric();
        return false;
    }
    checkAnalysis(patternGrew);
    const bool keepSymbolic = _pAnalysis != nullptr;
    if (!keepSymbolic && !analyse())
        return false;
    // Pivots chosen afresh at the very values filled are those a fresh choice makes now, and
    // the factorisation at those values is the one that choice makes.
    const bool afresh = _pivotAfresh;
    _pivotAfresh = false;
    _useAtPivots = false;
    const bool served = _pNumeric && (afresh ? valuesOfPivots() && useFactorAtPivots() : refactorKeepingPivots());
    if (served)
    {
        ++(afresh ? _stats.factorisations : _stats.refactorisations);
        _symbolicReused = keepSymbolic;
        return true;
    }
    releaseNumeric();
    if (!factorFresh())
        return false;
    ++_stats.factorisations;
    _symbolicReused = keepSymbolic;
    return true;
}

template <typename T> void KluSolver<T>::checkAnalysis(bool patternGrew)
{
    if (!_pAnalysis)
        return;
    if (_analysisOwn ? !patternGrew : _pAnalysis->fits(_n, _matrix.colStart(), _matrix.rowIndex(), _common))
    {
        if (!_analysisOwn)
            ++_stats.analysesAdopted;
        _analysisOwn = true;
        return;
    }
    releaseNumeric();
    _pAnalysis.reset();
}

template <typename T> Analysis<T> KluSolver<T>::takeAnalysis()
{
    releaseNumeric();
    _analysisOwn = false;
    return Analysis<T>(std::move(_pAnalysis));
}

template <typename T> void KluSolver<T>::giveAnalysis(Analysis<T> analysis)
{
    releaseNumeric();
    _analysisOwn = false;
    _pAnalysis.reset(dynamic_cast<KluAnalysis<T>*>(analysis.get()));
    // Anything but an analysis of this layer is ended with its owner.
    if (_pAnalysis)
        analysis.release();
}

// A value is finite unless its exponent bits are all set (infinity, NaN), and only then
// does adding one to its exponent carry into the top bit: the sums of all are merged
// without a branch, so that the scan runs at the speed of memory.
template <typename T> bool KluSolver<T>::valuesFinite() const
{
    constexpr std::uint64_t cExponent = 0x7FF0000000000000ull, cExponentOne = 0x0010000000000000ull;
    const auto* p = reinterpret_cast<const unsigned char*>(_matrix.values());
    const std::size_t nDoubles = static_cast<std::size_t>(_matrix.nonZeros()) * (sizeof(T) / sizeof(double));
    std::uint64_t merged = 0;
    for (std::size_t i = 0; i < nDoubles; ++i)
    {
        std::uint64_t bits;
        std::memcpy(&bits, p + i * sizeof(double), sizeof(bits));
        merged |= (bits & cExponent) + cExponentOne;
    }
    return (merged >> 63) == 0;
}

// An empty system (no unknowns or no cells) has nothing to analyse and is refused.
template <typename T> bool KluSolver<T>::analyse()
{
    if (_n == 0 || _matrix.nonZeros() == 0)
        return false;
    _pAnalysis = KluAnalysis<T>::analyse(_n, _matrix.colStart(), _matrix.rowIndex(), _common);
    if (!_pAnalysis)
        return false;
    _analysisOwn = true;
    ++_stats.analyses;
    return true;
}

template <typename T> klu_numeric* KluSolver<T>::factorFilled()
{
    klu_numeric* pNumeric = KluTraits<T>::factor(klu(_matrix.colStart()), klu(_matrix.rowIndex()),
                                                 KluTraits<T>::raw(_matrix.values()), symbolic(), &_common);
    if (pNumeric && _common.status != KLU_OK)
        KluTraits<T>::freeNumeric(&pNumeric, &_common);
    return pNumeric;
}

template <typename T> bool KluSolver<T>::factorFresh()
{
    _pNumeric = factorFilled();
    if (!_pNumeric)
        return false;
    _rcondOfPivots = KluTraits<T>::rcond(symbolic(), _pNumeric, &_common) ? _common.rcond : 0.0;
    _pivotValues.assign(_matrix.values(), _matrix.values() + _matrix.nonZeros());
    return true;
}

template <typename T> bool KluSolver<T>::valuesOfPivots() const
{
    const auto n = static_cast<std::size_t>(_matrix.nonZeros());
    return _pivotValues.size() == n && std::memcmp(_pivotValues.data(), _matrix.values(), n * sizeof(T)) == 0;
}

// The working factorisation keeps the pivots of this choice for the refactorisations after
// it; the one at the values of the pivots is made by KLU's own factor, as a new solver's.
template <typename T> bool KluSolver<T>::useFactorAtPivots()
{
    if (_pAtPivots)
        ++_stats.factorisationsKept;
    else
        _pAtPivots = factorFilled();
    _useAtPivots = _pAtPivots != nullptr;
    return _useAtPivots;
}

// False when the kept pivots meet a zero or have decayed; the caller then pivots afresh.
template <typename T> bool KluSolver<T>::refactorKeepingPivots()
{
    if (!KluTraits<T>::refactor(klu(_matrix.colStart()), klu(_matrix.rowIndex()), KluTraits<T>::raw(_matrix.values()),
                                symbolic(), _pNumeric, &_common))
        return false;
    if (_common.status != KLU_OK || !KluTraits<T>::rcond(symbolic(), _pNumeric, &_common))
        return false;
    return _common.rcond >= cPivotDecay * _rcondOfPivots;
}

template <typename T> bool KluSolver<T>::solve()
{
    if ((_valuesChanged || !_pNumeric) && !factorise())
        return false;
    std::copy(_rhs.begin(), _rhs.end(), _solution.begin());
    return solveInPlace(_solution.data());
}

template <typename T> bool KluSolver<T>::solve(const T* rhs, T* x)
{
    if (!_pNumeric)
        return false;
    TD_ASSERT(rhs && x);
    if (x != rhs)
        std::copy(rhs, rhs + _n, x);
    return solveInPlace(x);
}

template <typename T> bool KluSolver<T>::solveInPlace(T* x)
{
    const bool solved =
        KluTraits<T>::solve(symbolic(), numeric(), _n, KluTraits<T>::raw(x), &_common) && _common.status == KLU_OK;
    if (solved && std::all_of(x, x + _n, [](const T& v) { return KluTraits<T>::isFinite(v); }))
        return true;
    releaseNumeric();
    return false;
}

template <typename T> void KluSolver<T>::releaseNumeric()
{
    if (_pNumeric)
        KluTraits<T>::freeNumeric(&_pNumeric, &_common);
    _pNumeric = nullptr;
    if (_pAtPivots)
        KluTraits<T>::freeNumeric(&_pAtPivots, &_common);
    _pAtPivots = nullptr;
    _useAtPivots = false;
}

template <typename T> ISolver<T>* createSolver(td::INT4 n, td::INT4 nonZeroEstimate, Symmetry, SolverType,
                                               Pivoting pivoting, Ordering ordering)
{
    return new KluSolver<T>(n, nonZeroEstimate, pivoting, ordering);
}

template class KluSolver<double>;
template class KluSolver<std::complex<double>>;
template ISolver<double>* createSolver<double>(td::INT4, td::INT4, Symmetry, SolverType, Pivoting, Ordering);
template ISolver<std::complex<double>>* createSolver<std::complex<double>>(td::INT4, td::INT4, Symmetry, SolverType,
                                                                           Pivoting, Ordering);
} // namespace sparse
