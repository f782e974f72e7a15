// What the Newton-type kinds share: the set-up of a build's work vectors, the child models,
// the limit functions' region states and the limit groups, the residuals and the Jacobian
// at the current values, and how a solve ends on a failure.
#include "NewtonBase.h"

#include <algorithm>
#include <cmath>

#include <sc/MessageKeys.h>

#include "IterationRules.h"

#include "CU.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;
using namespace iteration;

namespace
{
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

template <typename T> NewtonBase<T>::NewtonBase(sc::ILog* pLog, td::UINT2 maxIter, double eps) : Solver<T>(pLog)
{
    this->_eps = eps;
    this->_maxIter = maxIter;
}

template <typename T> bool NewtonBase<T>::reset(double)
{
    this->_totalIterations = 0;
    return true;
}

// ---- the build ----

template <typename T> void NewtonBase<T>::dropBuild() { _nJacobianEntries = _nJacobianEntriesBuilt = 0; }

template <typename T> void NewtonBase<T>::takeJacobianCount()
{
    _nJacobianEntriesBuilt = this->_stores.jacobian.getNumberOfNonZeros();
    _nJacobianEntries = _nJacobianEntriesBuilt;
}

template <typename T> bool NewtonBase<T>::setUp()
{
    SolverStores<T>& s = this->_stores;
    if (!s.values.data() || s.values.empty())
        return false;
    const td::UINT4 n = s.nVars;
    // Equations beyond the variables (counts lifted) still get their residual places.
    const td::UINT4 nEq = s.equations.size();
    _residuals.reserve(0);
    _residuals.reserve(n > nEq ? n : nEq);
    _step.reserve(0);
    _step.reserve(n);
    s.bind(this);
    _entryValues.reserve(0);
    if (s.rows.isUsable(s.equations, s.jacobian))
    {
        _entryValues.reserve(s.jacobian.size());
        // The rows group into their batches at their first walk: here, with the model,
        // not in the first solve. The walk only reads the values; its residuals are dropped.
        double norm = 0;
        s.rows.evaluate(s.equations, _residuals.data(), T(-1.0), &norm, nullptr);
    }
    _entriesFresh = false;
    this->_iterationsInPass = 0;
    this->_built = true;
    return true;
}

// ---- children, limits and the end of a solve ----

template <typename T> bool NewtonBase<T>::solveChildren(td::UINT4 r)
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

template <typename T> bool NewtonBase<T>::runLimitGroups(td::UINT2& pass, bool& newPass, Solution& result)
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
        entriesStale();
        newPass = true;
        return true;
    }
    return true;
}

template <typename T> td::BYTE NewtonBase<T>::walkLimits()
{
    FnLimits<T>& limits = this->_stores.fnLimits;
    if (limits.size() == 0)
        return 0;
    // From here on `lim` reads what the walk stores (a limit nested in another's argument
    // is walked before it).
    limits.beginWalk();
    CU<T> cu(this);
    const T* params = this->getParameterValuesPtr();
    const td::UINT4 nParams = this->_stores.nParams;
    td::BYTE largest = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
    {
        FnLimit<T>& limit = limits[id];
        TD_ASSERT(limit._pFnEvaluator);
        const double v = realPart(limit._pFnEvaluator->evaluate(cu));
        const double lower = limit.lowerBoundOver(params, nParams), upper = limit.upperBoundOver(params, nParams);
        // The caller refuses the solve; the record stays as it was.
        if (std::isnan(lower) || std::isnan(upper))
        {
            limits.noteNaNBound(id);
            continue;
        }
        limit._lowerBound = lower;
        limit._upperBound = upper;
        const double clamped = FnLimit<T>::clamp(v, lower, upper);
        const double old = limit._currentValue;
        limit._currentValue = clamped;
        largest = std::max(largest, regionState(region(old, lower, upper), region(clamped, lower, upper)));
        if (FnLimit<T>::isConstantAt(clamped, lower, upper))
            continue;
        for (std::size_t k = 0; k < limit._derivEvaluators.size(); ++k)
        {
            typename FnLimit<T>::Derivative& d = limit._derivEvaluators[k];
            d.value = d.pEvaluator->evaluate(cu);
        }
    }
    return largest;
}

template <typename T> void NewtonBase<T>::writeNormPlaces()
{
    this->statusPlace(Solver<T>::PlaceStatus) = T(static_cast<double>(this->_status));
    this->statusPlace(Solver<T>::PlaceEps) = T(this->_eps);
    this->statusPlace(Solver<T>::PlaceNorm) = T(this->_residualNorm);
}

template <typename T> bool NewtonBase<T>::beginSolve()
{
    if (!this->_built)
    {
        this->_status = Solution::SolutionError;
        return false;
    }
    if (this->_pMonitor)
        this->_pMonitor->eps = this->_eps;
    if (this->_reInit)
        this->keepStartValues();
    return true;
}

template <typename T> void NewtonBase<T>::beginRepetition(td::UINT4 r)
{
    this->_totalIterations = this->_iterationsInPass = 0;
    // Until this repetition's walk, `lim` clamps its argument where it is evaluated.
    this->_stores.fnLimits.restart();
    this->setRepetition(r);
    this->setPass(0);
    if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
    {
        pMonitor->totalIterations = 0;
        pMonitor->iteration = 0;
        pMonitor->status = static_cast<td::BYTE>(Solution::IterBase);
    }
}

template <typename T> Solution NewtonBase<T>::endRepetition(bool& repeat)
{
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
    return this->_status;
}

template <typename T>
Solution NewtonBase<T>::fail(Solution status, const char* key, const char* subModelKey, bool finishedAlways)
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

// ---- residuals and the Jacobian ----

template <typename T> bool NewtonBase<T>::factoriseJacobian(LinearSystem<T>& system)
{
    // Only a square system has a factorisation (the count checks may have been lifted).
    if (this->_stores.equations.size() != this->_stores.nVars)
    {
        system.release();
        return false;
    }
    if (!refillJacobian(system))
        fillJacobian(system.beginFill());
    return system.factorise();
}

template <typename T> void NewtonBase<T>::fillJacobian(sparse::IMatrixReceiver<T>& receiver)
{
    const EvaluatorSparseMatrix<T>& jacobian = this->_stores.jacobian;
    if (_entriesFresh)
        jacobian.put(_entryValues.data(), receiver);
    else
        jacobian.evaluate(receiver);
    _entriesFresh = false;
}

template <typename T> bool NewtonBase<T>::refillJacobian(LinearSystem<T>& system)
{
    const EvaluatorSparseMatrix<T>& jacobian = this->_stores.jacobian;
    if (!_entriesFresh || !jacobian.isPlain() || !system.refill(_entryValues.data(), jacobian.size()))
        return false;
    _entriesFresh = false;
    return true;
}

template <typename T> void NewtonBase<T>::decideRows()
{
    const SolverStores<T>& s = this->_stores;
    _useRows = _entryValues.size() == s.jacobian.size() && s.rows.isUsable(s.equations, s.jacobian);
    _entriesFresh = false;
}

template <typename T> void NewtonBase<T>::evaluateResiduals(bool withEntries)
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

template class NewtonBase<double>;
template class NewtonBase<std::complex<double>>;
} // namespace sl
