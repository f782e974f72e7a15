// The Newton-Raphson solver: its parts of the build road (the NR entries of both roads and
// the count of the equations), and the solve: repetitions, the child models, passes of
// damped Newton iterations over the sparse LU and the limit groups that may ask for more.
#include "NRSolver.h"

#include <algorithm>
#include <cfloat>

#include <sc/MessageKeys.h>
#include <sc/TokenizedModel.h>

#include "IterationRules.h"

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;
using namespace iteration;

namespace
{
constexpr double cDampingThreshold = 10.0;
constexpr double cNoImprovementNorm = 100000.0;
} // namespace

template <typename T> NRSolver<T>::NRSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps)
    : NewtonBase<T>(pLog, maxIter, eps)
{
    this->_type = sc::SolverType::NR;
}

// ---- the build ----

template <typename T> void NRSolver<T>::dropBuild()
{
    NewtonBase<T>::dropBuild();
    _system.clear();
}

template <typename T>
bool NRSolver<T>::runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in)
{
    if (in.pModel)
        return builder.initNR(*in.pNaming, *in.pModel, data, in.level);
    if (in.pSource)
        return builder.loadNRFromXML(*in.pSource, data);
    return builder.loadNRModel(*in.pElement, data);
}

template <typename T> typename NRSolver<T>::BuildRules NRSolver<T>::buildRules() const
{
    return {msg::scNLReadFail, ErrorSection::ReadModel, msg::txtCannotReadData, true};
}

template <typename T> bool NRSolver<T>::finishBuild(const BuildResults&, const BuildInput& in)
{
    this->takeJacobianCount();
    const SolverStores<T>& s = this->_stores;
    const bool countsLifted = s.settings.skipCountChecks != 0;
    if (in.pModel && !countsLifted && in.pModel->getNumberOfExpressions(sc::Group::NLEs, in.level) != s.nVars)
    {
        // At the equations' group, as the build tells a count.
        const Place at = groupPlace(*in.pModel, sc::Group::NLEs, in.level);
        if (sc::ILog* pLog = this->getLog())
            pLog->showKeyAt(msg::scNLNvarsNeqNEQsl, at.line, at.column, sc::ILog::Error);
        return false;
    }
    // The count checks may be lifted; the set-up always runs.
    if (!this->setUp())
    {
        this->addReadModelError(msg::txtMissingInitialValues);
        return false;
    }
    _system.define(s.nVars, this->_nJacobianEntries, SystemForm::Square, s.settings.pivot);
    return true;
}

// ---- the solve ----

template <typename T> Solution NRSolver<T>::solve()
{
    if (!this->beginSolve())
        return Solution::SolutionError;
    bool repeat = false;
    for (td::UINT4 r = 0;; ++r)
    {
        Solution result = Solution::OK;
        if (!runRepetition(r, repeat, result))
            return result;
        if (!this->repeatsAfter(r, repeat))
            break;
    }
    this->notifyFinished(Finish::Ended);
    return this->_status;
}

template <typename T> bool NRSolver<T>::runRepetition(td::UINT4 r, bool& repeat, Solution& result)
{
    this->beginRepetition(r);
    this->writeStatusPlaces();
    this->_status = Solution::IterBase;
    this->decideRows();
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
    if ((this->_childrenPending || this->_reInit) && !this->solveChildren(r))
    {
        result = Solution::SubmodelFailed;
        return false;
    }
    this->runPreProc();

    td::UINT2 pass = 1;
    this->walkLimits();
    if (this->refusedNaNBound())
    {
        result = this->fail(Solution::SolutionError, nullptr, nullptr, true);
        return false;
    }
    this->evaluateResiduals();
    this->writeNormPlaces();
    // Values set from outside: the next factorisation chooses its pivots afresh, as in a
    // model loaded anew, over the analysis of the unchanged pattern.
    if (this->_valuesChanged)
    {
        _system.startAfresh();
        this->_valuesChanged = 0;
    }
    this->_iterationsInPass = 0;
    if (this->_traceLevel != 0)
    {
        this->notifyProgress();
        this->entriesStale();
    }
    if (this->_nJacobianEntries == 0 || this->_stores.jacobian.size() == 0)
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
    result = this->endRepetition(repeat);
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
        if (_system.needsFactorisation() && !this->factoriseJacobian(_system))
        {
            result = this->fail(Solution::FactorizationError, msg::scErrFactorize, msg::scErrFactorizeSub, true);
            return false;
        }
        if (this->_eps > this->_residualNorm)
            this->_status = Solution::OK;
        this->writeNormPlaces();
        // A NaN norm is not small: the iterations go on and the sparse layer refuses it.
        if (!(this->_eps > this->_residualNorm) && !iterate(pass, result))
            return false;
        bool newPass = false;
        if (!this->runLimitGroups(pass, newPass, result))
            return false;
        if (!newPass)
            return true;
        _system.markStale();
    }
}

template <typename T> bool NRSolver<T>::iterate(td::UINT2 pass, Solution& result)
{
    NormTrend trend{1.0, DBL_MAX, {this->_residualNorm}, 0};
    // The iterations end converged or failed: a step that moved a limit into another
    // region is followed by one with the Jacobian of that region, however small the norm.
    for (;;)
    {
        countIteration(pass);
        if (!_system.solve(this->_residuals.data(), this->_step.data()))
        {
            result = this->fail(Solution::SolutionError, msg::scLUSolveError, msg::scLUSolveErrorSubModel, true);
            return false;
        }
        const td::BYTE regionChange = takeStep(trend.damping);
        if (this->refusedNaNBound())
        {
            result = this->fail(Solution::SolutionError, nullptr, nullptr, true);
            return false;
        }
        const double norm = this->_residualNorm;
        const td::UINT4 k = this->_iterationsInPass;
        trend.observe(k, norm);
        if ((pass == 1 || this->_iterPostProcEveryPass) &&
            !this->_stores.sections[SolverStores<T>::IterPostProc].empty())
        {
            this->runIterPostProc();
            this->entriesStale();
        }

        if (this->_eps > norm && regionChange <= 2)
        {
            this->_status = Solution::BaseOK;
            this->writeNormPlaces();
            this->monitorStatus();
            this->notifyFinished(Finish::PassConverged);
            return true;
        }
        if (!mayGoOn(k, norm, trend, result))
            return false;
        this->writeNormPlaces();
        if (this->_traceLevel == 2)
        {
            this->notifyProgress();
            this->entriesStale();
        }
        if (!this->factoriseJacobian(_system))
        {
            result =
                this->fail(Solution::FactorizationError, msg::scFactorizationError, msg::scFactorErrorSubModel, false);
            return false;
        }
    }
}

template <typename T> void NRSolver<T>::NormTrend::observe(td::UINT4 k, double norm)
{
    smallest.observe(k, norm);
    rising = norm > previous ? rising + 1 : 0;
    if (k >= 3 && norm > 0 && previous / norm < cDampingThreshold)
        damping = 0.5;
    previous = norm;
}

template <typename T> void NRSolver<T>::countIteration(td::UINT2 pass)
{
    ++this->_totalIterations;
    ++this->_iterationsInPass;
    if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
    {
        pMonitor->totalIterations = this->_totalIterations;
        pMonitor->iteration = saturated16(this->_iterationsInPass);
        pMonitor->residualNorm = this->_residualNorm;
        if (pass >= 2)
        {
            pMonitor->status = static_cast<td::BYTE>(Solution::NewPass);
            this->_status = Solution::NewPass;
        }
    }
    this->writeStatusPlaces();
}

template <typename T> td::BYTE NRSolver<T>::takeStep(double damping)
{
    SolverStores<T>& s = this->_stores;
    T* x = s.values.data();
    const T* dx = this->_step.data();
    for (td::UINT4 i = 0; i < s.nVars; ++i)
        x[i] += damping * dx[i];
    const td::BYTE regionChange = this->walkLimits();
    this->evaluateResiduals();
    return regionChange;
}

template <typename T> bool NRSolver<T>::mayGoOn(td::UINT4 k, double norm, const NormTrend& trend, Solution& result)
{
    Solution ended = trend.smallest.oscillates(k, norm) ? Solution::Oscillation : Solution::OK;
    if (k >= this->_maxIter)
    {
        result = this->fail(Solution::MaxIters, msg::scMaxIterLimit, msg::scMaxIterLimitSubModel, false);
        return false;
    }
    if (ended == Solution::OK && trend.rising >= 2 && norm > cNoImprovementNorm)
        ended = Solution::NoImprovement;
    if (ended == Solution::OK)
        return true;
    result = this->fail(ended, nullptr, nullptr, false);
    return false;
}

template class NRSolver<double>;
template class NRSolver<std::complex<double>>;
} // namespace sl
