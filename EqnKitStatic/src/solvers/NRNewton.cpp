// The Newton-Raphson solve: repetitions, the child models, passes of damped Newton
// iterations over the sparse LU, the limit functions' region states and the limit
// groups that may ask for further passes.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include <sc/MessageKeys.h>

#include "IterationRules.h"

#include "CU.h"
#include "NRSolver.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;
using namespace iteration;

namespace
{
constexpr double cDampingThreshold = 10.0;
constexpr double cNoImprovementNorm = 100000.0;

// Region of a value against its bounds: 0 at or below the lower, 1 strictly between
// (NaN counts here), 2 at or above the upper.
int region(double v, double lower, double upper) { return v <= lower ? 0 : (v >= upper ? 2 : 1); }

// Region state of a move from old to new: LL 0, II 1, HH 2, LI 3, HI 4, IL 5, IH 6, HL 7, LH 8.
td::BYTE regionState(int oldRegion, int newRegion)
{
    static const td::BYTE s_states[3][3] = {{0, 3, 8}, {5, 1, 6}, {7, 4, 2}};
    return s_states[oldRegion][newRegion];
}
} // namespace

template <typename T> Solution NRSolver<T>::solve()
{
    if (!this->_built)
    {
        this->_status = Solution::SolutionError;
        return Solution::SolutionError;
    }
    if (this->_pMonitor)
        this->_pMonitor->eps = this->_eps;
    if (this->_reInit)
        this->keepStartValues();
    bool repeat = false;
    for (td::UINT4 r = 0;; ++r)
    {
        Solution result = Solution::OK;
        if (!runRepetition(r, repeat, result))
            return result;
        if (!repeat)
            break;
        if (this->_maxReps >= 0 && r + 1 > static_cast<td::UINT4>(this->_maxReps))
            break;
    }
    this->notifyFinished(Finish::Ended);
    return this->_status;
}

template <typename T> bool NRSolver<T>::runRepetition(td::UINT4 r, bool& repeat, Solution& result)
{
    sc::SolverMonitor<T>* pMonitor = this->_pMonitor;
    this->_totalIterations = this->_iterationsInPass = 0;
    this->setRepetition(r);
    this->setPass(0);
    if (pMonitor)
    {
        pMonitor->totalIterations = 0;
        pMonitor->iteration = 0;
        pMonitor->status = static_cast<td::BYTE>(Solution::IterBase);
    }
    this->writeStatusPlaces();
    this->_status = Solution::IterBase;
    decideRows();
    if (this->_stores.nVars == 0)
    {
        result = Solution::OK;
        return false;
    }
    if (r > 0 && this->_reInit)
    {
        this->restoreStartValues();
        this->runReInit();
    }
    this->runPreProc();
    if ((this->_childrenPending || this->_reInit) && !solveChildren(r))
    {
        result = Solution::SubmodelFailed;
        return false;
    }
    this->runPreProc();

    td::UINT2 pass = 1;
    walkLimits();
    evaluateResiduals();
    writeNormPlaces();
    if (this->_valuesChanged)
    {
        _factorStale = true;
        this->_valuesChanged = 0;
    }
    this->_iterationsInPass = 0;
    if (this->_traceLevel != 0)
    {
        this->notifyProgress();
        entriesStale();
    }
    if (_nJacobianEntries == 0 || this->_stores.jacobian.size() == 0)
    {
        this->reportKey(msg::scEmptyJacobian, msg::scEmptyJacSubModel);
        this->_status = Solution::EmptyMatrix;
        this->monitorStatus();
        this->notifyFinished(Finish::Failed);
        result = Solution::SolutionError;
        return false;
    }
    if (!runPasses(pass, result))
        return false;

    if (pass == 1 || this->_basePostProcEveryPass)
        this->runBasePostProc();
    if (this->_status == Solution::BaseOK)
        this->_status = Solution::OK;
    writeNormPlaces();
    if (this->_status == Solution::OK)
    {
        this->runPostProc();
        this->monitorStatus();
        this->notifyFinished(Finish::PassConverged);
        repeat = this->evalRepeat();
    }
    result = this->_status;
    return true;
}

template <typename T> bool NRSolver<T>::solveChildren(td::UINT4 r)
{
    for (td::UINT4 i = 0; i < this->getNumberOfChildren(); ++i)
    {
        Solver<T>* pChild = this->getChild(i);
        if (!pChild || (r > 0 && !pChild->isAlwaysOn()))
            continue;
        // The parent's parameters may have been set since the child was built or last solved.
        pChild->copyFromParent();
        if (pChild->solve() == Solution::OK)
            continue;
        this->_status = Solution::SubmodelFailed;
        this->reportKey(msg::scCannotSolveSubModel);
        if (this->_pMonitor)
        {
            this->_pMonitor->residualNorm = 0;
            this->monitorStatus();
            this->notifyFinished(Finish::Failed);
        }
        return false;
    }
    return true;
}

template <typename T> bool NRSolver<T>::runPasses(td::UINT2& pass, Solution& result)
{
    for (;;)
    {
        this->setPass(pass);
        if (this->_pMonitor)
            this->_pMonitor->iteration = saturated16(this->_iterationsInPass);
        this->clearSignalCounts();
        if ((!_pSparse || _factorStale) && !factorise())
        {
            result = fail(Solution::FactorizationError, msg::scErrFactorize, msg::scErrFactorizeSub, true);
            return false;
        }
        if (this->_eps > this->_residualNorm)
            this->_status = Solution::OK;
        writeNormPlaces();
        // A NaN norm is not small: the iterations go on and the sparse layer refuses it.
        if (!(this->_residualNorm <= this->_eps) && !iterate(pass, result))
            return false;
        bool newPass = false;
        if (!runLimitGroups(pass, newPass, result))
            return false;
        if (!newPass)
            return true;
    }
}

template <typename T> bool NRSolver<T>::iterate(td::UINT2 pass, Solution& result)
{
    sc::SolverMonitor<T>* pMonitor = this->_pMonitor;
    SolverStores<T>& s = this->_stores;
    const td::UINT4 n = s.nVars;
    double damping = 1.0;
    double previousNorm = DBL_MAX;
    double smallestNorm = this->_residualNorm;
    td::UINT4 rising = 0;
    do
    {
        ++this->_totalIterations;
        ++this->_iterationsInPass;
        if (pMonitor)
        {
            pMonitor->totalIterations = this->_totalIterations;
            pMonitor->iteration = saturated16(this->_iterationsInPass);
            pMonitor->residualNorm = this->_residualNorm;
            if (pass >= 2)
                pMonitor->status = static_cast<td::BYTE>(Solution::NewPass);
        }
        if (pMonitor && pass >= 2)
            this->_status = Solution::NewPass;
        this->writeStatusPlaces();

        if (!_pSparse->solve(_residuals.data(), _step.data()))
        {
            releaseSparse();
            result = fail(Solution::SolutionError, msg::scLUSolveError, msg::scLUSolveErrorSubModel, true);
            return false;
        }
        T* x = s.values.data();
        const T* dx = _step.data();
        for (td::UINT4 i = 0; i < n; ++i)
            x[i] += damping * dx[i];
        const td::BYTE regionChange = walkLimits();
        evaluateResiduals();

        const double norm = this->_residualNorm;
        const td::UINT4 k = this->_iterationsInPass;
        if (k == cSmallestNormFrom)
            smallestNorm = norm;
        else if (k > cSmallestNormFrom)
            smallestNorm = std::min(smallestNorm, norm);
        rising = norm > previousNorm ? rising + 1 : 0;
        if (k >= 3 && norm > 0 && previousNorm / norm < cDampingThreshold)
            damping = 0.5;
        previousNorm = norm;
        if ((pass == 1 || this->_iterPostProcEveryPass) && !s.sections[SolverStores<T>::IterPostProc].empty())
        {
            this->runIterPostProc();
            entriesStale();
        }

        if (this->_eps > norm && regionChange <= 2)
        {
            this->_status = Solution::BaseOK;
            writeNormPlaces();
            this->monitorStatus();
            this->notifyFinished(Finish::PassConverged);
            return true;
        }
        Solution ended = Solution::OK;
        if (k > cOscillationIterations && norm > cOscillationFactor * smallestNorm)
            ended = Solution::Oscillation;
        if (k >= this->_maxIter)
        {
            result = fail(Solution::MaxIters, msg::scMaxIterLimit, msg::scMaxIterLimitSubModel, false);
            return false;
        }
        if (ended == Solution::OK && rising >= 2 && norm > cNoImprovementNorm)
            ended = Solution::NoImprovement;
        if (ended != Solution::OK)
        {
            result = fail(ended, nullptr, nullptr, false);
            return false;
        }
        writeNormPlaces();
        if (this->_traceLevel == 2)
        {
            this->notifyProgress();
            entriesStale();
        }
        if (!_keepFactorisation && !factorise())
        {
            result = fail(Solution::FactorizationError, msg::scFactorizationError, msg::scFactorErrorSubModel, false);
            return false;
        }
    } while (!(this->_residualNorm <= this->_eps));
    return true;
}

template <typename T> bool NRSolver<T>::runLimitGroups(td::UINT2& pass, bool& newPass, Solution& result)
{
    newPass = false;
    const cnt::SafeFullVector<LimitGroup<T>>& groups = this->_stores.limitGroups;
    for (std::size_t g = 0; g < groups.size(); ++g)
    {
        const LimitGroup<T>& group = groups[g];
        if (group.enabled && group.n > 0)
        {
            this->runLimitGroup(group);
            entriesStale();
        }
        if (!this->anySignal())
            continue;
        // A limit that acts in every pass must not keep the solve going for ever.
        if (pass >= this->_maxIter)
        {
            result = fail(Solution::MaxIters, msg::scMaxIterLimit, msg::scMaxIterLimitSubModel, false);
            return false;
        }
        ++pass;
        this->setPass(pass);
        if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
        {
            pMonitor->iteration = 0;
            pMonitor->status = static_cast<td::BYTE>(Solution::LimitFix);
            pMonitor->limitGroupName = group.name.isEmpty() ? nullptr : group.name.c_str();
        }
        writeNormPlaces();
        this->notifyProgress();
        this->_residualNorm = 2 * this->_eps;
        _factorStale = true;
        entriesStale();
        newPass = true;
        return true;
    }
    return true;
}

template <typename T> bool NRSolver<T>::factorise()
{
    SolverStores<T>& s = this->_stores;
    const td::UINT4 n = s.nVars;
    // Only a square system has a factorisation (the count checks may have been lifted).
    if (s.equations.size() != n)
    {
        releaseSparse();
        return false;
    }
    if (!_pSparse)
    {
        const auto estimate = static_cast<td::INT4>(static_cast<double>(_nJacobianEntries) * cNonZeroGrowth);
        const sparse::Pivoting pivoting =
            s.settings.pivot == 1 ? sparse::Pivoting::Partial : sparse::Pivoting::Threshold;
        _pSparse = sparse::createSolver<T>(static_cast<td::INT4>(n), estimate, sparse::Symmetry::General,
                                           sparse::SolverType::LU, pivoting, sparse::Ordering::AMD);
    }
    if (!refillJacobian())
    {
        _pSparse->begin();
        fillJacobian(*_pSparse);
    }
    if (!_pSparse->factorise())
    {
        releaseSparse();
        return false;
    }
    _factorStale = false;
    return true;
}

template <typename T> void NRSolver<T>::fillJacobian(sparse::IMatrixReceiver<T>& receiver)
{
    const EvaluatorSparseMatrix<T>& jacobian = this->_stores.jacobian;
    if (_entriesFresh)
        jacobian.put(_entryValues.data(), receiver);
    else
        jacobian.evaluate(receiver);
    _entriesFresh = false;
}

template <typename T> bool NRSolver<T>::refillJacobian()
{
    const EvaluatorSparseMatrix<T>& jacobian = this->_stores.jacobian;
    if (!_entriesFresh || !jacobian.isPlain() ||
        !_pSparse->refill(_entryValues.data(), static_cast<td::INT4>(jacobian.size())))
        return false;
    _entriesFresh = false;
    return true;
}

template <typename T> void NRSolver<T>::decideRows()
{
    const SolverStores<T>& s = this->_stores;
    _useRows = _entryValues.size() == s.jacobian.size() && s.rows.isUsable(s.equations, s.jacobian);
    _entriesFresh = false;
}

template <typename T> void NRSolver<T>::evaluateResiduals(bool withEntries)
{
    SolverStores<T>& s = this->_stores;
    T* out = _residuals.size() ? &_residuals[0] : nullptr;
    double norm = 0;
    _entriesFresh = _useRows && withEntries;
    if (_useRows)
        s.rows.evaluate(s.equations, out, T(-1.0), &norm, withEntries ? _entryValues.data() : nullptr);
    else
        s.equations.evaluateScaledMaxAbs(out, T(-1.0), &norm);
    this->_residualNorm = norm;
    if (this->_pMonitor)
        this->_pMonitor->residualNorm = norm;
}

template <typename T> td::BYTE NRSolver<T>::walkLimits()
{
    FnLimits<T>& limits = this->_stores.fnLimits;
    if (limits.size() == 0)
        return 0;
    CU<T> cu(this);
    const T* params = this->getParameterValuesPtr();
    const td::UINT4 nParams = this->_stores.nParams;
    td::BYTE largest = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        FnLimit<T>& limit = limits[id];
        TD_ASSERT(limit._pFnEvaluator);
        const double v = realPart(limit._pFnEvaluator->evaluate(cu));
        if (limit._lowerParamIndex < nParams)
            limit._lowerBound = realPart(params[limit._lowerParamIndex]);
        if (limit._upperParamIndex < nParams)
            limit._upperBound = realPart(params[limit._upperParamIndex]);
        const double lower = limit._lowerBound, upper = limit._upperBound;
        const double clamped = v <= lower ? lower : (v >= upper ? upper : v);
        const double old = limit._currentValue;
        limit._currentValue = clamped;
        largest = std::max(largest, regionState(region(old, lower, upper), region(clamped, lower, upper)));
        if (!(lower < clamped && clamped < upper))
            continue;
        for (std::size_t k = 0; k < limit._derivEvaluators.size(); ++k)
        {
            typename FnLimit<T>::Derivative& d = limit._derivEvaluators[k];
            d.value = d.pEvaluator->evaluate(cu);
        }
    }
    return largest;
}

template <typename T> void NRSolver<T>::writeNormPlaces()
{
    this->statusPlace(Solver<T>::PlaceStatus) = T(static_cast<double>(this->_status));
    this->statusPlace(Solver<T>::PlaceEps) = T(this->_eps);
    this->statusPlace(Solver<T>::PlaceNorm) = T(this->_residualNorm);
}

template <typename T>
Solution NRSolver<T>::fail(Solution status, const char* key, const char* subModelKey, bool finishedAlways)
{
    this->_status = status;
    writeNormPlaces();
    this->monitorStatus();
    if (finishedAlways || this->_traceLevel != 0)
        this->notifyFinished(Finish::Failed);
    if (key)
        this->reportKey(key, subModelKey);
    return status;
}

template class NRSolver<double>;
template class NRSolver<std::complex<double>>;
} // namespace sl
