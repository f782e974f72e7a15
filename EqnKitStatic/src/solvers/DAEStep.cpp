// One DAE time step: the initial problem when pending, the history saved, then passes of
// undamped Newton iterations on the discretised system until both the residuals and the
// step are small, and the limit groups that may ask for another pass.
#include <algorithm>
#include <cmath>

#include <sc/MessageKeys.h>

#include "DAESolver.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Solution;

namespace
{
constexpr double cNonZeroGrowth = 1.5;
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

template <typename T> Solution DAESolver<T>::failStep(Solution status, const char* key)
{
    this->_status = status;
    if (status == Solution::FactorizationError || status == Solution::SolutionError)
    {
        this->releaseSparse();
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
    if (!this->_keepFactorisation)
        return !factorisationDue() || this->factorise();
    SolverStores<T>& s = this->_stores;
    if (s.equations.size() != s.nVars)
        return false;
    if (!this->_pSparse)
    {
        const auto estimate = static_cast<td::INT4>(static_cast<double>(this->_nJacobianEntries) * cNonZeroGrowth);
        this->_pSparse =
            sparse::createSolver<T>(static_cast<td::INT4>(s.nVars), estimate, sparse::Symmetry::General,
                                    sparse::SolverType::LU, sparse::Pivoting::Threshold, sparse::Ordering::AMD);
        _keptJacobian.clear();
    }
    KeptFill<T> fill(*this->_pSparse, _keptJacobian);
    fill.begin();
    this->fillJacobian(fill);
    if (fill.changed())
        this->_factorStale = true;
    if (!this->_factorStale && this->_pSparse->isFactorised())
        return true;
    if (!this->_pSparse->factorise())
        return false;
    this->_factorStale = false;
    return true;
}

template <typename T> Solution DAESolver<T>::runStep(bool first)
{
    this->_status = Solution::OK;
    this->_traceLevel = 0;
    this->decideRows();
    if (this->_valuesChanged && this->_reInit)
        this->restoreStartValues();
    // Values set from outside (a reset among them) may be far from the last factorisation's.
    if (this->_valuesChanged)
        this->_factorStale = true;
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
    // Jacobian values only for a factorisation that follows at once.
    this->evaluateResiduals(this->_keepFactorisation || factorisationDue());
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
        // The limit groups may have changed values: the next pass starts from their residuals.
        if (newPass)
            this->evaluateResiduals();
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
        if (!this->_pSparse->solve(this->_residuals.data(), this->_step.data()))
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
        // The entries serve only the next factorisation: none comes under a kept one, and
        // a step this small may end the pass (should it not, the entries are evaluated then).
        this->evaluateResiduals(!this->_keepFactorisation && !(stepNorm < cStepFactor * this->_eps));
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
        if (!this->_keepFactorisation && !this->factorise())
        {
            result = failStep(Solution::FactorizationError, msg::scDAEFactorizationError);
            return false;
        }
    }
}

template class DAESolver<double>;
template class DAESolver<std::complex<double>>;
} // namespace sl
