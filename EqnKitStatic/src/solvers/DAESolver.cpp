// The DAE solver's construction and build (the tokenized road's DAE entry) and the time
// operations a host calls: step size, reset with the initial problem, steps and the
// simulation run.
#include "DAESolver.h"

#include <cfloat>

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
} // namespace

template <typename T> DAESolver<T>::DAESolver(sc::ILog* pLog, td::UINT2 maxIter, double eps)
    : NRSolver<T>(pLog, maxIter, eps)
{
    this->_type = sc::SolverType::DAE;
}

template <typename T> bool DAESolver<T>::init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel)
{
    TD_ASSERT(pNaming);
    const sc::ModelLevel level = mainModel ? sc::ModelLevel::Main : sc::ModelLevel::Sub;
    beginDAEBuild();
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, &model, level);
    data.dynamics = 2;
    this->readReInit(model, level);
    if (!builder.initDAE(*pNaming, model, data, level))
    {
        this->reportKey(msg::scErrorDAEInit);
        return false;
    }
    this->applyModelLineSettings(model, level);
    this->takeBuildResults(builder.results());
    return finishDAEBuild();
}

template <typename T> void DAESolver<T>::beginDAEBuild()
{
    this->beginBuild();
    this->releaseSparse();
    this->_nJacobianEntries = this->_nJacobianEntriesBuilt = 0;
    this->_keepFactorisation = 0;
    _keptJacobian.clear();
}

template <typename T> bool DAESolver<T>::initFromXML(const td::String& source, td::BYTE inputKind)
{
    beginDAEBuild();
    this->_stores.settings.inputKind = inputKind;
    this->_reInit = 0;
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, nullptr, sc::ModelLevel::Main);
    data.dynamics = 2;
    data.results.stepValue = _dT;
    if (!builder.loadDAEFromXML(source, data))
    {
        this->addErrorEntry(ErrorSection::Other, msg::txtCannotReadData);
        return false;
    }
    this->takeBuildResults(builder.results());
    return finishDAEBuild();
}

template <typename T> void DAESolver<T>::takeBuildResults(const BuildResults& results)
{
    NRSolver<T>::takeBuildResults(results);
    _method = results.IntegrationMethod;
}

template <typename T> bool DAESolver<T>::finishDAEBuild()
{
    this->_nJacobianEntriesBuilt = this->_stores.jacobian.getNumberOfNonZeros();
    this->_nJacobianEntries = this->_nJacobianEntriesBuilt;
    this->_keepFactorisation = this->_stores.jacobian.isConstant() ? 1 : 0;
    if (!this->setUp())
        return false;
    // A step the model declares is the step; otherwise the model reads the solver's.
    if (this->getDeltaTParam() > 0)
        _dT = this->getDeltaTParam();
    else
        this->setDeltaTParam(_dT);
    return true;
}

template <typename T> void DAESolver<T>::setStepSize(double dT)
{
    // The Jacobian holds dT: another step size needs another factorisation.
    if (dT != _dT)
        this->_factorStale = true;
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
    this->_factorStale = true;
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

template class DAESolver<double>;
template class DAESolver<std::complex<double>>;
} // namespace sl
