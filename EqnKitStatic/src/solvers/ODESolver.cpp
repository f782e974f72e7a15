// The ODE solver: its parts of the build road (the ODE entries of both roads), the Heun
// step, the stepping operations a dynamic model calls and the simulation run.
#include "ODESolver.h"

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;

template <typename T> ODESolver<T>::ODESolver(sc::ILog* pLog) : Solver<T>(pLog) { this->_type = sc::SolverType::ODE; }

// ---- the build ----

template <typename T> void ODESolver<T>::prepareBuild(SolverData<T>& data)
{
    _states.reserve(0);
    data.pODEList = &_states;
    data.results.stepValue = _dT;
}

template <typename T>
bool ODESolver<T>::runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in)
{
    if (in.pModel)
        return builder.initODE(*in.pNaming, *in.pModel, data, in.level);
    return in.pSource && builder.loadODEFromXML(*in.pSource, data);
}

template <typename T> typename ODESolver<T>::BuildRules ODESolver<T>::buildRules() const
{
    return {msg::scODEReadModelError, ErrorSection::ReadModel, msg::txtODECannotReadData, true};
}

template <typename T> bool ODESolver<T>::finishBuild(const BuildResults& results, const BuildInput&)
{
    if (results.stepValue > 0)
        _dT = results.stepValue;
    SolverStores<T>& s = this->_stores;
    if (s.values.empty() || _states.size() != s.equations.size())
        return false;
    const td::UINT4 n = s.nVars;
    _k1.reserve(n);
    _predictor.reserve(n);
    _k2.reserve(n);
    s.bind(this);
    this->_iterationsInPass = 0;
    // A step the model declares is the step; otherwise the model reads the solver's.
    if (this->getDeltaTParam() > 0)
        _dT = this->getDeltaTParam();
    else
        this->setDeltaTParam(_dT);
    this->_built = true;
    return true;
}

// ---- the steps ----

template <typename T> void ODESolver<T>::setStepSize(double dT)
{
    _dT = dT;
    this->setDeltaTParam(dT);
}

template <typename T> Solution ODESolver<T>::solve()
{
    if (!this->_built)
        return this->_status = Solution::SolutionError;
    _stepStart.save(this->_stores);
    const td::BYTE valuesChanged = this->_valuesChanged;
    const Solution status = runStep();
    if (status == Solution::OK)
        return status;
    _stepStart.restore(this->_stores);
    this->_valuesChanged = valuesChanged;
    return status;
}

template <typename T> Solution ODESolver<T>::runStep()
{
    SolverStores<T>& s = this->_stores;
    this->_status = Solution::OK;
    // Nothing walks the limits of an ODE model: `lim` clamps its argument where it is
    // evaluated.
    s.fnLimits.restart();
    if (this->_valuesChanged && this->_reInit)
        this->restoreStartValues();
    this->_valuesChanged = 0;
    this->runPreProc();
    this->runPreProc();

    // k1 at (x_n, t_n), k2 at the predictor and t_n + dT, where the time stays.
    const double t = this->getTimeParam();
    const td::UINT4 nEq = s.equations.size();
    s.equations.evaluate(_k1.data(), T(1.0));
    if (this->_stepReporting)
        this->notifyProgress();
    T* x = s.values.data();
    for (td::UINT4 i = 0; i < s.nVars; ++i)
        _predictor[i] = x[i];
    for (td::UINT4 i = 0; i < nEq; ++i)
        _predictor[static_cast<td::UINT4>(_states[i])] += _dT * _k1[i];
    this->setTimeParam(t + _dT);
    s.equations.useVariableValues(_predictor.data());
    s.equations.evaluate(_k2.data(), T(1.0));
    s.equations.useVariableValues(nullptr);

    bool finite = true;
    for (td::UINT4 i = 0; i < nEq; ++i)
    {
        T& state = x[static_cast<td::UINT4>(_states[i])];
        state += (_k2[i] + _k1[i]) * (_dT * 0.5);
        finite = finite && isFiniteValue(state);
    }
    ++this->_iterationsInPass;
    ++this->_totalIterations;
    if (this->refusedNaNBound() || !finite)
        return this->_status = Solution::SolutionError;
    this->runPostProc();
    if (this->refusedNaNBound())
        return Solution::SolutionError;
    return this->_status;
}

template <typename T> Solution ODESolver<T>::step(td::INT4 nSteps)
{
    for (td::INT4 i = 0; i < nSteps; ++i)
    {
        const Solution status = solve();
        if (status != Solution::OK)
            return status;
    }
    return Solution::OK;
}

template <typename T> bool ODESolver<T>::reset(double t0)
{
    if (!this->restartTime(t0, _dT))
        return false;
    this->_running = 1;
    this->_totalIterations = this->_iterationsInPass = 0;
    if (this->_reInit)
        this->keepStartValues();
    return true;
}

template <typename T>
bool ODESolver<T>::simulate(double t0, double dT, double tEnd, sc::ISolverConsumer* pConsumer, td::INT4 reportEvery)
{
    if (!this->_built)
        return false;
    this->statusPlace(Solver<T>::PlaceStartTime) = T(t0);
    this->statusPlace(Solver<T>::PlaceEndTime) = T(tEnd);
    this->_auxCounter = this->_totalIterations = this->_iterationsInPass = 0;
    if (!(dT > 0))
    {
        this->reportKey(msg::scWrongDTForODE);
        return false;
    }
    TD_ASSERT(pConsumer);
    for (td::INT4 reps = 0;;)
    {
        this->setRepetition(static_cast<td::UINT4>(reps));
        this->_pConsumer = pConsumer;
        if (!this->hasDeltaTParam())
        {
            this->reportKey(msg::scNoDeltaT);
            return false;
        }
        _dT = dT;
        this->setDeltaTParam(dT);
        if (!this->hasTimeParam())
            return false;
        const bool untilStopped = t0 >= tEnd;
        bool result = true;
        if (!runOnce(t0, tEnd, reportEvery, result))
            return result;
        if (untilStopped || !this->evalRepeat())
            break;
        ++reps;
        if (this->_maxReps >= 0 && reps > this->_maxReps)
            break;
        this->_auxCounter = this->_totalIterations = this->_iterationsInPass = 0;
    }
    this->notifyFinished(Finish::Ended);
    return true;
}

template <typename T> bool ODESolver<T>::runOnce(double t0, double tEnd, td::INT4 reportEvery, bool& result)
{
    double t = t0;
    this->setTimeParam(t0);
    this->_running = t0 >= tEnd ? 1 : 0;
    if (this->_pMonitor)
        this->_pMonitor->time = t0;
    this->notifyProgress();
    if (this->_reInit)
        this->keepStartValues();
    for (td::INT4 n = 1; this->_running || t <= tEnd; ++n)
    {
        if (this->_pMonitor)
            this->_pMonitor->time += _dT;
        const Solution status = solve();
        this->monitorStatus();
        // A step that leaves the time where it was (a step too small for t) would never end.
        const double next = this->getTimeParam();
        if (status != Solution::OK || !(next > t || this->_running))
        {
            this->notifyFinished(Finish::Failed);
            result = false;
            return false;
        }
        if (reportEvery > 0 && n % reportEvery == 0)
            this->notifyProgress();
        t = next;
    }
    return true;
}

template class ODESolver<double>;
template class ODESolver<std::complex<double>>;
} // namespace sl
