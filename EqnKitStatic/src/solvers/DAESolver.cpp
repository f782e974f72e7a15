// The DAE solver: its parts of the build road (the DAE entries of both roads), the time
// operations a host calls (step size, reset with the initial problem, steps and the
// simulation run) and one time step: the history saved, then passes of undamped Newton
// iterations on the discretised system until both the residuals and the step are small.
#include "DAESolver.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;

namespace
{
// The residual norm a reset or a simulation starts from.
constexpr double cStartNorm = 1.7976931348623156e306;
// A simulation stops once t is within this share of a step of its end.
constexpr double cEndShare = 0.9999;
// Converged also needs every step value below this times eps.
constexpr double cStepFactor = 100.0;
// Oscillation: past a fifth of the iteration limit the norm exceeds this times the first.
constexpr double cOscillationFactor = 5.0 * 10.0;
constexpr td::UINT4 cOscillationShare = 5;

// Size of a step value, like the residual norm: complex takes the larger part; NaN stays.
double stepSize(double v) { return std::fabs(v); }
double stepSize(const std::complex<double>& v)
{
    const double re = std::fabs(v.real()), im = std::fabs(v.imag());
    return re >= im || std::isnan(re) ? re : im;
}

// Passes a Jacobian fill on to the sparse solver and notes whether a value differs from
// the same entry of the kept fill (which it updates).
template <typename T> class KeptFill final : public sparse::IMatrixReceiver<T>
{
public:
    KeptFill(sparse::ISolver<T>& target, cnt::PushBackVector<T>& kept) : _target(target), _kept(kept) {}

    void put(td::INT4 row, td::INT4 col, const T* value) override
    {
        _target.put(row, col, value);
        if (_next < _kept.size())
        {
            // NaN differs from everything: the factorisation refuses it.
            if (!(_kept[_next] == *value))
            {
                _kept[_next] = *value;
                _changed = true;
            }
        }
        else
        {
            _kept.push(*value);
            _changed = true;
        }
        ++_next;
    }
    void begin() override { _target.begin(); }
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<T>&, sparse::ISolver<T>&) override
    {
        TD_ASSERT(false);
    }
    void finishConstraints(td::UINT4, const dense::Matrix<T>&, sparse::ISolver<T>&) override { TD_ASSERT(false); }

    // True when a value differs or the fill put fewer entries than the kept one.
    bool changed() const { return _changed || _next != _kept.size(); }

private:
    sparse::ISolver<T>& _target;
    cnt::PushBackVector<T>& _kept;
    std::size_t _next = 0;
    bool _changed = false;
};
} // namespace

template <typename T> DAESolver<T>::DAESolver(sc::ILog* pLog, td::UINT2 maxIter, double eps)
    : NewtonBase<T>(pLog, maxIter, eps)
{
    this->_type = sc::SolverType::DAE;
}

// ---- the build ----

template <typename T> void DAESolver<T>::dropBuild()
{
    NewtonBase<T>::dropBuild();
    _system.clear();
    _keepFactorisation = 0;
    _keptJacobian.clear();
}

template <typename T> void DAESolver<T>::prepareBuild(SolverData<T>& data)
{
    data.dynamics = 2;
    data.results.stepValue = _dT;
}

template <typename T>
bool DAESolver<T>::runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in)
{
    if (in.pModel)
        return builder.initDAE(*in.pNaming, *in.pModel, data, in.level);
    return in.pSource && builder.loadDAEFromXML(*in.pSource, data);
}

template <typename T> typename DAESolver<T>::BuildRules DAESolver<T>::buildRules() const
{
    return {msg::scErrorDAEInit, ErrorSection::Other, msg::txtCannotReadData, true};
}

template <typename T> bool DAESolver<T>::finishBuild(const BuildResults& results, const BuildInput&)
{
    _method = results.IntegrationMethod;
    this->takeJacobianCount();
    _keepFactorisation = this->_stores.jacobian.isConstant() ? 1 : 0;
    if (!this->setUp())
        return false;
    const SolverStores<T>& s = this->_stores;
    _system.define(s.nVars, this->_nJacobianEntries, SystemForm::Square, s.settings.pivot);
    // A step the model declares is the step; otherwise the model reads the solver's.
    if (this->getDeltaTParam() > 0)
        _dT = this->getDeltaTParam();
    else
        this->setDeltaTParam(_dT);
    return true;
}

// ---- time operations ----

template <typename T> void DAESolver<T>::setStepSize(double dT)
{
    // The Jacobian holds dT: another step size needs another factorisation, with its pivots
    // chosen afresh over the analysis of the unchanged pattern.
    if (dT != _dT)
        _system.startAfresh();
    _dT = dT;
    this->setDeltaTParam(dT);
}

template <typename T> td::UINT4 DAESolver<T>::getNumberOfStateVariables()
{
    const SolverStores<T>& s = this->_stores;
    td::UINT4 n = 0;
    for (td::UINT4 i = 0; i < s.nVars && i < s.symbolInfo.size(); ++i)
    {
        if (s.symbolInfo[i].varType >= 3)
            ++n;
    }
    return n;
}

template <typename T> void DAESolver<T>::saveHistory()
{
    SolverStores<T>& s = this->_stores;
    const DAEVarRecords& records = s.daeVarRecords;
    const td::UINT4 nStages = _method == 2 ? 2 : _method == 3 ? 3 : 0;
    T* x = s.values.data();
    for (td::UINT4 i = 0; i < records.size() && i < s.nVars; ++i)
    {
        const DAEVarRecord& r = records[i];
        if (r.histParam < 0 || static_cast<td::UINT4>(r.histParam) >= s.nParams)
            continue;
        x[s.nVars + static_cast<td::UINT4>(r.histParam)] = x[i];
        // The stages start from the previous value: a good first guess for Newton.
        for (td::UINT4 k = 0; r.firstStage >= 0 && k < nStages; ++k)
        {
            const td::UINT4 stage = static_cast<td::UINT4>(r.firstStage) + k;
            if (stage < s.nVars)
                x[stage] = x[i];
        }
    }
}

template <typename T> void DAESolver<T>::copyTargets()
{
    SolverStores<T>& s = this->_stores;
    const DAEVarRecords& records = s.daeVarRecords;
    T* x = s.values.data();
    for (td::UINT4 i = 0; i < records.size() && i < s.nVars; ++i)
    {
        const td::INT4 c = records[i].firstTFState;
        if (c > 0 && static_cast<td::UINT4>(c) < s.nVars)
            x[c] = x[i];
    }
}

template <typename T> bool DAESolver<T>::solveInitialProblem()
{
    for (td::UINT4 i = 0; i < this->getNumberOfChildren(); ++i)
    {
        Solver<T>* pChild = this->getChild(i);
        if (!pChild)
            continue;
        pChild->copyFromParent();
        if (pChild->solve() == Solution::OK)
            continue;
        this->_status = Solution::SubmodelFailed;
        this->addErrorEntry(ErrorSection::RTSolution, msg::txtCannotSolveInitialProblem);
        return false;
    }
    return true;
}

template <typename T> void DAESolver<T>::reportStepStart()
{
    if (!this->_stepReporting)
        return;
    TD_ASSERT(this->_pConsumer);
    const double t = this->getTimeParam();
    this->setTimeParam(t - _dT);
    this->notifyProgress();
    this->setTimeParam(t);
}

template <typename T> bool DAESolver<T>::reset(double t0)
{
    if (!this->_built)
        return false;
    if (!this->restartTime(t0, _dT))
        return false;
    this->_residualNorm = cStartNorm;
    this->_valuesChanged = 1;
    this->_childrenPending = 1;
    this->statusPlace(Solver<T>::PlaceStartTime) = T(t0);
    this->statusPlace(Solver<T>::PlaceEndTime) = T(DBL_MAX);
    this->_running = 1;
    this->_auxCounter = this->_totalIterations = this->_iterationsInPass = 0;
    copyTargets();
    this->setRepetition(0);
    this->setPass(0);
    if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
        pMonitor->time = t0;
    this->writeStatusPlaces();
    this->_traceLevel = 0;
    if (this->_reInit)
        this->keepStartValues();
    if (!solveInitialProblem())
        return false;
    reportStepStart();
    this->_childrenPending = 0;
    saveHistory();
    return true;
}

template <typename T> Solution DAESolver<T>::solve()
{
    if (!this->_built)
        return this->_status = Solution::SolutionError;
    return tryStep(this->getTimeParam(), false);
}

template <typename T> Solution DAESolver<T>::step(td::INT4 nSteps)
{
    if (!this->_built)
        return this->_status = Solution::SolutionError;
    double t = this->getTimeParam();
    for (td::INT4 i = 0; i < nSteps; ++i)
    {
        t += _dT;
        const Solution status = tryStep(t, false);
        if (status != Solution::OK)
            return status;
    }
    return Solution::OK;
}

template <typename T> Solution DAESolver<T>::tryStep(double t, bool first)
{
    _stepStart.save(this->_stores);
    const td::BYTE valuesChanged = this->_valuesChanged, childrenPending = this->_childrenPending;
    this->setTimeParam(t);
    const Solution status = runStep(first);
    if (status == Solution::OK)
        return status;
    _stepStart.restore(this->_stores);
    this->_valuesChanged = valuesChanged;
    this->_childrenPending = childrenPending;
    // A factorisation still held is of the failed iterate.
    _system.markStale();
    this->entriesStale();
    return status;
}

template <typename T>
bool DAESolver<T>::simulate(double t0, double dT, double tEnd, sc::ISolverConsumer* pConsumer, td::INT4 reportEvery)
{
    if (!this->_built)
        return false;
    this->statusPlace(Solver<T>::PlaceStartTime) = T(t0);
    this->statusPlace(Solver<T>::PlaceEndTime) = T(tEnd);
    this->_residualNorm = cStartNorm;
    this->_auxCounter = this->_totalIterations = this->_iterationsInPass = 0;
    if (!(dT > 0))
    {
        this->reportKey(msg::scWrongDTForDAE);
        return false;
    }
    TD_ASSERT(pConsumer);
    const bool untilStopped = t0 >= tEnd;
    for (td::INT4 rep = 0;; ++rep)
    {
        copyTargets();
        this->setRepetition(static_cast<td::UINT4>(rep));
        this->setPass(0);
        if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
            pMonitor->time = t0;
        this->writeStatusPlaces();
        this->_traceLevel = 0;
        this->_pConsumer = pConsumer;
        TD_ASSERT(this->hasDeltaTParam());
        setStepSize(dT);
        this->_running = untilStopped ? 1 : 0;
        if (this->_reInit)
            this->keepStartValues();

        double t = t0;
        td::INT4 n = 0;
        for (bool first = true; this->_running || t < tEnd - cEndShare * dT; first = false)
        {
            if (!first)
                t += dT;
            const Solution status = tryStep(t, first);
            if (first)
                t += dT;
            if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
            {
                pMonitor->time = t;
                pMonitor->status = static_cast<td::BYTE>(status);
            }
            if (status != Solution::OK)
            {
                this->notifyFinished(Finish::Failed);
                return false;
            }
            if (reportEvery > 0 && ++n % reportEvery == 0)
                this->notifyProgress();
        }
        if (untilStopped || !this->evalRepeat())
            break;
        if (this->_maxReps >= 0 && rep + 1 > this->_maxReps)
            break;
        this->_auxCounter = this->_totalIterations = this->_iterationsInPass = 0;
    }
    this->notifyFinished(Finish::Ended);
    return true;
}

// ---- one time step ----

template <typename T> Solution DAESolver<T>::failStep(Solution status, const char* key)
{
    this->_status = status;
    if (status == Solution::FactorizationError || status == Solution::SolutionError)
    {
        _system.release();
        _keptJacobian.clear();
    }
    if (key)
        this->reportKey(key);
    this->writeNormPlaces();
    return status;
}

template <typename T> bool DAESolver<T>::factoriseStep()
{
    // The factorisation of the last iteration serves the first of this step: every
    // iteration that does not end the step factorises afresh.
    if (!_keepFactorisation)
        return !_system.needsFactorisation() || this->factoriseJacobian(_system);
    SolverStores<T>& s = this->_stores;
    if (s.equations.size() != s.nVars)
        return false;
    // A new sparse solver holds no factorisation to keep.
    if (!_system.isHeld())
        _keptJacobian.clear();
    KeptFill<T> fill(_system.beginFill(), _keptJacobian);
    this->fillJacobian(fill);
    if (fill.changed())
        _system.markStale();
    return _system.refactorise();
}

template <typename T> Solution DAESolver<T>::runStep(bool first)
{
    this->_status = Solution::OK;
    this->_traceLevel = 0;
    // Until the step's walk, `lim` clamps its argument where it is evaluated.
    this->_stores.fnLimits.restart();
    this->decideRows();
    if (this->_valuesChanged && this->_reInit)
        this->restoreStartValues();
    // Values set from outside (a reset among them) may be far from the last factorisation's:
    // the next one chooses its pivots afresh over the analysis of the unchanged pattern.
    if (this->_valuesChanged)
        _system.startAfresh();
    this->_valuesChanged = 0;
    if (this->_childrenPending)
    {
        if (!solveInitialProblem())
            return Solution::SubmodelFailed;
        reportStepStart();
        this->_childrenPending = 0;
    }
    saveHistory();
    this->runPreProc();
    if (first)
    {
        this->notifyProgress();
        this->setTimeParam(this->getTimeParam() + _dT);
    }
    this->walkLimits();
    if (this->refusedNaNBound())
        return failStep(Solution::SolutionError, nullptr);
    // Jacobian values only for a factorisation that follows at once.
    this->evaluateResiduals(_keepFactorisation || _system.needsFactorisation());
    this->_iterationsInPass = 0;
    const double initialNorm = this->_residualNorm;

    Solution result = Solution::OK;
    td::UINT2 pass = 1;
    for (bool newPass = true; newPass;)
    {
        this->setPass(pass);
        this->clearSignalCounts();
        if (!factoriseStep())
            return failStep(Solution::FactorizationError, msg::scDAEFactorizationError);
        if (!iterate(initialNorm, result))
            return result;
        this->_status = Solution::OK;
        if (!this->runLimitGroups(pass, newPass, result))
            return result;
        // The limit groups may have changed values: the next pass starts from their residuals
        // and factorises afresh.
        if (newPass)
        {
            _system.markStale();
            this->evaluateResiduals();
        }
    }
    this->writeNormPlaces();
    this->runPostProc();
    return this->_status;
}

template <typename T> bool DAESolver<T>::iterate(double initialNorm, Solution& result)
{
    SolverStores<T>& s = this->_stores;
    const td::UINT4 n = s.nVars;
    for (;;)
    {
        ++this->_iterationsInPass;
        ++this->_totalIterations;
        if (!_system.solve(this->_residuals.data(), this->_step.data()))
        {
            result = failStep(Solution::SolutionError, nullptr);
            return false;
        }
        T* x = s.values.data();
        const T* dx = this->_step.data();
        double stepNorm = 0;
        for (td::UINT4 i = 0; i < n; ++i)
        {
            x[i] += dx[i];
            const double size = stepSize(dx[i]);
            if (size > stepNorm || std::isnan(size))
                stepNorm = size;
        }
        const td::BYTE regionChange = this->walkLimits();
        if (this->refusedNaNBound())
        {
            result = failStep(Solution::SolutionError, nullptr);
            return false;
        }
        // The entries serve only the next factorisation: none comes under a kept one, and
        // a step this small may end the pass (should it not, the entries are evaluated then).
        this->evaluateResiduals(!_keepFactorisation && !(stepNorm < cStepFactor * this->_eps));
        const double norm = this->_residualNorm;
        if (norm < this->_eps && stepNorm < cStepFactor * this->_eps && regionChange <= 2)
            return true;
        const td::UINT4 k = this->_iterationsInPass;
        if (k > this->_maxIter / cOscillationShare && norm > cOscillationFactor * initialNorm)
        {
            result = failStep(Solution::Oscillation, msg::scOscillation);
            return false;
        }
        if (k >= this->_maxIter)
        {
            this->_status = Solution::MaxIters;
            this->reportKey(msg::scMaxIterLimit, msg::scMaxIterLimitSubModel);
            this->writeNormPlaces();
            result = Solution::MaxIters;
            return false;
        }
        if (!_keepFactorisation && !this->factoriseJacobian(_system))
        {
            result = failStep(Solution::FactorizationError, msg::scDAEFactorizationError);
            return false;
        }
    }
}

template class DAESolver<double>;
template class DAESolver<std::complex<double>>;
} // namespace sl
