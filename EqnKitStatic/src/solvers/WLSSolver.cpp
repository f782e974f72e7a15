// The weighted-least-squares solver: its parts of the build road (the WLS entries of both
// roads, the measurement and constraint matrices and the weights' normalisation), and the
// solve: repetitions and child models as in the Newton-Raphson solve, passes of Gauss-Newton
// steps on the weighted normal equations (with constraints the KKT system) that converge on
// the size of the step, and the limit groups.
#include "WLSSolver.h"

#include <algorithm>
#include <cmath>

#include <sc/MessageKeys.h>

#include "IterationRules.h"

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;
using namespace iteration;

namespace
{
// The constraints hold when the L1 norm of their residuals is below this times eps.
constexpr double cConstraintFactor = 10.0;
// The norm a repetition starts from: not small, so that at least one step is taken.
constexpr double cStartNorm = 100.0;

// Size of a step value, like the residual norm: complex takes the larger part; NaN stays.
double stepSize(double v) { return std::fabs(v); }
double stepSize(const std::complex<double>& v)
{
    const double re = std::fabs(v.real()), im = std::fabs(v.imag());
    return re >= im || std::isnan(re) ? re : im;
}
} // namespace

template <typename T> WLSSolver<T>::WLSSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps)
    : NewtonBase<T>(pLog, maxIter, eps)
{
    this->_type = sc::SolverType::WLS;
}

template <typename T> WLSSolver<T>::~WLSSolver() { releaseMatrices(); }

template <typename T> void WLSSolver<T>::releaseMatrices()
{
    if (_pMeasurementMatrix)
        _pMeasurementMatrix->release();
    if (_pConstraintMatrix)
        _pConstraintMatrix->release();
    _pMeasurementMatrix = _pConstraintMatrix = nullptr;
}

// ---- the build ----

template <typename T> void WLSSolver<T>::dropBuild()
{
    NewtonBase<T>::dropBuild();
    _system.clear();
    releaseMatrices();
    _nMeas = _nConstraints = 0;
    _weights.reserve(0);
}

template <typename T>
bool WLSSolver<T>::runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in)
{
    if (in.pModel)
        return builder.initWLS(*in.pNaming, *in.pModel, data, in.level);
    return in.pSource && builder.loadWLSFromXML(*in.pSource, data);
}

template <typename T> typename WLSSolver<T>::BuildRules WLSSolver<T>::buildRules() const
{
    return {msg::scWLSReadFail, ErrorSection::Other, msg::txtCannotReadData, false};
}

template <typename T> bool WLSSolver<T>::finishBuild(const BuildResults& results, const BuildInput&)
{
    _nMeas = results.nEquations;
    this->takeJacobianCount();
    // The Newton vectors stay empty: the step comes out of the sparse solver.
    SolverStores<T>& s = this->_stores;
    s.bind(this);
    _measurementResiduals.reserve(_nMeas, 1);
    const auto nVars = static_cast<td::INT4>(s.nVars);
    _pMeasurementMatrix =
        sparse::createMatrix<T>(static_cast<td::INT4>(_nMeas), nVars, static_cast<td::INT4>(this->_nJacobianEntries),
                                sparse::Symmetry::General);
    _nConstraints = s.constraints.size();
    if (_nConstraints > 0)
    {
        _pConstraintMatrix = sparse::createMatrix<T>(static_cast<td::INT4>(_nConstraints), nVars,
                                                     static_cast<td::INT4>(s.constraintJacobian.getNumberOfNonZeros()),
                                                     sparse::Symmetry::General);
        _constraintResiduals.reserve(_nConstraints, 1);
    }
    if (_weights.size() != _nMeas)
        _weights.reserve(_nMeas);
    if (_normaliseWeights)
    {
        // Dividing every weight by one positive number leaves the estimate as it is.
        double lo = 1e100, hi = 0.0;
        for (td::UINT4 i = 0; i < _nMeas; ++i)
        {
            lo = std::min(lo, _weights[i]);
            hi = std::max(hi, _weights[i]);
        }
        const double mid = (lo + hi) * 0.5;
        dense::DiagIO<double> w = _weights.getManipulator();
        for (td::UINT4 i = 0; mid > 0 && i < _nMeas; ++i)
            w[i] /= mid;
    }
    const SystemForm form = _nConstraints > 0 ? SystemForm::Constrained : SystemForm::Normal;
    _system.define(s.nVars + _nConstraints, this->_nJacobianEntries, form, s.settings.pivot);
    this->_iterationsInPass = 0;
    this->_built = true;
    return true;
}

// ---- the solve ----

template <typename T> Solution WLSSolver<T>::solve()
{
    if (!this->beginSolve())
        return Solution::SolutionError;
    this->_auxCounter = 0;
    // Values set from outside: the first factorisation chooses its pivots afresh, as in a
    // model loaded anew, over the analysis of the unchanged pattern.
    if (this->_valuesChanged)
    {
        _system.startAfresh();
        this->_valuesChanged = 0;
    }
    bool repeat = false;
    for (td::UINT4 r = 0;; ++r)
    {
        Solution result = Solution::OK;
        const bool goOn = runRepetition(r, repeat, result);
        // The children are solved again by the next solve, whatever this one did.
        if (!goOn)
        {
            this->_childrenPending = 1;
            return result;
        }
        if (!this->repeatsAfter(r, repeat))
            break;
    }
    this->_childrenPending = 1;
    this->notifyFinished(Finish::Ended);
    return this->_status;
}

template <typename T> bool WLSSolver<T>::runRepetition(td::UINT4 r, bool& repeat, Solution& result)
{
    this->_status = Solution::IterBase;
    this->beginRepetition(r);
    if (r > 0 && this->_reInit)
    {
        this->restoreStartValues();
        this->runReInit();
    }
    this->writeStatusPlaces();
    this->runPreProc();
    if (this->_childrenPending || this->_reInit)
    {
        if (!this->solveChildren(r))
        {
            this->writeNormPlaces();
            result = Solution::SubmodelFailed;
            return false;
        }
        this->_childrenPending = 0;
    }
    this->runPreProc();
    this->_residualNorm = cStartNorm;
    this->writeNormPlaces();
    td::UINT2 pass = 1;
    for (bool newPass = true; newPass;)
    {
        this->setPass(pass);
        if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
            pMonitor->iteration = 0;
        this->_iterationsInPass = 0;
        this->clearSignalCounts();
        if (!iterate(pass, result))
            return false;
        this->_status = Solution::BaseOK;
        this->writeNormPlaces();
        this->monitorStatus();
        this->notifyFinished(Finish::PassConverged);
        if (pass == 1 || this->_basePostProcEveryPass)
            this->runBasePostProc();
        if (!this->runLimitGroups(pass, newPass, result))
            return false;
    }
    result = this->endRepetition(repeat);
    return true;
}

template <typename T> bool WLSSolver<T>::iterate(td::UINT2 pass, Solution& result)
{
    sc::SolverMonitor<T>* pMonitor = this->_pMonitor;
    SmallestNorm smallestNorm{this->_residualNorm};
    for (;;)
    {
        showIteration(pass);
        fillSystem();
        // Nothing walks the limits here: each `lim` read its bounds where it was evaluated.
        if (this->refusedNaNBound())
        {
            result = this->fail(Solution::SolutionError, nullptr, nullptr, true);
            return false;
        }
        if (pass == 1 && this->_iterationsInPass == 0 && this->_traceLevel != 0)
            this->notifyProgress();
        ++this->_totalIterations;
        const td::UINT4 k = ++this->_iterationsInPass;
        if (pMonitor)
        {
            pMonitor->iteration = saturated16(k);
            pMonitor->totalIterations = this->_totalIterations;
        }
        if (!_system.solveFilled())
        {
            result = this->fail(Solution::SolutionError, msg::ceWLSEErrorSolve, msg::ceWLSEErrorSolve, true);
            return false;
        }
        const double norm = takeStep();
        this->_residualNorm = norm;
        if (pass == 1 || this->_iterPostProcEveryPass)
            this->runIterPostProc();
        smallestNorm.observe(k, norm);
        if (pMonitor)
            pMonitor->residualNorm = norm;
        if (hasConstraints())
            _constraintNorm = evaluateConstraints();

        const bool stepSmall = norm < this->_eps;
        if (stepSmall && (!hasConstraints() || _constraintNorm < cConstraintFactor * this->_eps))
            return true;
        if (!stepSmall && smallestNorm.oscillates(k, norm))
        {
            result = this->fail(Solution::Oscillation, msg::scOscillation, msg::scOscillation, false);
            return false;
        }
        // Also a small step whose constraints do not hold yet counts against the limit.
        if (k >= this->_maxIter)
        {
            result = this->fail(Solution::MaxIters, msg::scMaxIterLimit, msg::scMaxIterLimitSubModel, false);
            return false;
        }
        if (this->_traceLevel == 2)
            this->notifyProgress();
    }
}

template <typename T> void WLSSolver<T>::showIteration(td::UINT2 pass)
{
    if (sc::SolverMonitor<T>* pMonitor = this->_pMonitor)
    {
        pMonitor->iteration = saturated16(this->_iterationsInPass);
        pMonitor->totalIterations = this->_totalIterations;
        pMonitor->residualNorm = this->_residualNorm;
        if (pass >= 2)
        {
            pMonitor->status = static_cast<td::BYTE>(Solution::NewPass);
            this->_status = Solution::NewPass;
        }
    }
    this->writeStatusPlaces();
    this->writeNormPlaces();
}

template <typename T> double WLSSolver<T>::takeStep()
{
    const td::UINT4 n = this->_stores.nVars;
    T* x = this->_stores.values.data();
    double norm = 0;
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const T dx = _system.solution(i);
        x[i] += dx;
        const double size = stepSize(dx);
        if (size > norm || std::isnan(size))
            norm = size;
    }
    return norm;
}

template <typename T> void WLSSolver<T>::fillSystem()
{
    SolverStores<T>& s = this->_stores;
    s.equations.evaluate(_measurementResiduals.getData(), T(-1.0));
    // The sparse solver keeps the pattern of the weighted system from one iteration to
    // the next and refactorises numerically.
    sparse::ISolver<T>& target = _system.beginFill();
    s.jacobian.evaluateWithHooks2(*_pMeasurementMatrix, _weights, _measurementResiduals, target);
    if (hasConstraints())
    {
        _constraintNorm = evaluateConstraints();
        s.constraintJacobian.evaluateWithHooks(s.nVars, *_pConstraintMatrix, _constraintResiduals, target);
    }
}

template <typename T> double WLSSolver<T>::evaluateConstraints()
{
    this->_stores.constraints.evaluate(_constraintResiduals.getData(), T(-1.0));
    return _constraintResiduals.getL1Norm();
}

template class WLSSolver<double>;
template class WLSSolver<std::complex<double>>;
} // namespace sl
