// The ODE solver: explicit ODEs x' = f(x, t), one per state, integrated with Heun's method
// (the explicit trapezoidal rule) at a fixed step; the model's time and time step are two
// of its parameters, which the solver keeps up to date.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>
#include <sc/ITime.h>

#include "Solver.h"
#include "StepSnapshot.h"

namespace sl
{
// Owns its work vectors (the slopes and the predictor) and the state of each equation.
template <typename T> class ODESolver : public Solver<T>, public sc::ITime
{
public:
    static constexpr double cDefaultStep = 0.0001;

    explicit ODESolver(sc::ILog* pLog);

    // One Heun step from the time parameter's t to t + dT, where it leaves the parameter.
    // SolutionError when a state is not finite afterwards, or without a build; a step that
    // fails leaves t, the variables and the parameters as they were before it.
    sc::Solution solve() override;
    // Heun steps from t0 while t <= tEnd (or until stopSimulation when t0 >= tEnd).
    bool simulate(double t0, double dT, double tEnd, sc::ISolverConsumer* pConsumer, td::INT4 reportEvery) override;
    double getStepSize() override { return _dT; }
    // The step, also into the model's time-step parameter.
    void setStepSize(double dT) override;
    void stopSimulation() override { this->_running = 0; }
    // The time parameter takes t0 and the time-step parameter the step; false (with a key)
    // without a time-step parameter or a positive step.
    bool reset(double t0) override;
    // nSteps Heun steps; the status of the first that fails ends them, with the state as
    // it was before that step.
    sc::Solution step(td::INT4 nSteps) override;
    void setEps(double) override {}
    double getResidualNorm() override { return 0.0; }
    void setMaxIter(td::UINT2) override {}
    td::UINT2 getMaxIter() override { return 0; }
    td::INT4 formatJacobianLabel(char*, std::size_t, td::INT4, td::INT4) override { return 0; }
    sc::ITime* getTime() override { return this; }

    // ---- sc::ITime ----
    // The method is fixed: must not be called.
    void setIntegrationMethod(td::BYTE) override { TD_ASSERT(false); }
    void setTime(double t, double dT) override { this->injectTime(t, dT); }

    // The state that equation i differentiates.
    td::INT4 getStateOfEquation(td::UINT4 i) const { return i < _states.size() ? _states[i] : -1; }

protected:
    ~ODESolver() override = default;

private:
    using BuildInput = typename Solver<T>::BuildInput;
    using BuildRules = typename Solver<T>::BuildRules;
    using Finish = sc::ISolverConsumer::Finish;

    // ---- the kind's parts of the build road ----
    // The build collects the state of each equation and reads the model's step.
    void prepareBuild(SolverData<T>& data) override;
    bool runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in) override;
    BuildRules buildRules() const override;
    // The step, work vectors and bindings.
    bool finishBuild(const BuildResults& results, const BuildInput& in) override;

    // One Heun step from the current state; SolutionError when a state is not finite.
    sc::Solution runStep();
    // One run of simulate from t0; false when it ended the simulation (result set).
    bool runOnce(double t0, double tEnd, td::INT4 reportEvery, bool& result);

    cnt::SafeFullVector<T> _k1;
    cnt::SafeFullVector<T> _predictor;
    cnt::SafeFullVector<T> _k2;
    cnt::SafeFullVector<td::INT4> _states;
    // The state before the step that runs, for a failed step to return to.
    StepSnapshot<T> _stepStart;
    double _dT = cDefaultStep;
};

extern template class ODESolver<double>;
extern template class ODESolver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using ODESolver = sl::ODESolver<double>;
}

namespace slCmplx
{
using ODESolver = sl::ODESolver<std::complex<double>>;
}
