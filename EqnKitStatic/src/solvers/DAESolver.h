// The DAE solver: steps a model of ODEs, transfer functions and algebraic equations that the
// build discretised into one nonlinear system per time step, solved by Newton iterations.
#pragma once

#include <complex>

#include <cnt/PushBackVector.h>
#include <sc/ITime.h>

#include "LinearSystem.h"
#include "NewtonBase.h"
#include "StepSnapshot.h"

namespace sl
{
// Owns the linear system of the step's Jacobian and the variable records of the build (in
// its stores). A Jacobian whose entries read no variable is factorised only when one of its
// values differs from the kept factorisation's.
template <typename T> class DAESolver : public NewtonBase<T>, public sc::ITime
{
public:
    DAESolver(sc::ILog* pLog, td::UINT2 maxIter, double eps);

    // One step at the current time parameter (not a first step).
    sc::Solution solve() override;
    // Steps from t0 while t < tEnd - 0.9999 dT (or until stopSimulation when t0 >= tEnd).
    bool simulate(double t0, double dT, double tEnd, sc::ISolverConsumer* pConsumer, td::INT4 reportEvery) override;
    double getStepSize() override { return _dT; }
    // The step, also into the model's time-step parameter.
    void setStepSize(double dT) override;
    void stopSimulation() override { this->_running = 0; }
    // The time parameter takes t0; the initial problem (the children) is solved and the
    // history saved. False with a key without a time-step parameter or a positive step.
    bool reset(double t0) override;
    // nSteps steps from the time parameter's t; the status of the first failing step,
    // which leaves t and the values as they were before it.
    sc::Solution step(td::INT4 nSteps) override;
    sc::ITime* getTime() override { return this; }
    // Variables of type 3 or more: the states of ODEs and transfer functions.
    td::UINT4 getNumberOfStateVariables() override;
    cnt::SafeFullVector<DAEVarRecord>* getVariableRecords() override { return &this->_stores.daeVarRecords; }

    // ---- sc::ITime ----
    void setIntegrationMethod(td::BYTE method) override { _method = method; }
    void setTime(double t, double dT) override { this->injectTime(t, dT); }

    td::BYTE getIntegrationMethod() const { return _method; }
    // Every Jacobian entry reads no variable: the factorisation is kept while its values stay.
    bool keepsFactorisation() const { return _keepFactorisation != 0; }
    // The sparse solver's counts; zero without one.
    sparse::FactorStats getFactorStats() const { return _system.getStats(); }

protected:
    ~DAESolver() override = default;

private:
    using BuildInput = typename Solver<T>::BuildInput;
    using BuildRules = typename Solver<T>::BuildRules;
    using Finish = sc::ISolverConsumer::Finish;

    // ---- the kind's parts of the build road ----
    void dropBuild() override;
    // A dynamic build (history parameters and stages) with the solver's step.
    void prepareBuild(SolverData<T>& data) override;
    bool runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in) override;
    // A failed XML build writes "Cannot read the data.." in section Other.
    BuildRules buildRules() const override;
    // The method, keep-factorisation, the set-up and the step.
    bool finishBuild(const BuildResults& results, const BuildInput& in) override;

    // One time step at time t (first: from t, raised by dT in the step). A step that fails
    // puts back t, the values, the limits' state and the flags it cleared; the next step
    // factorises afresh.
    sc::Solution tryStep(double t, bool first);
    // One time step; first raises the time parameter by dT before solving.
    sc::Solution runStep(bool first);
    // The initial problem: every child solved; false (status and error entry) when one fails.
    bool solveInitialProblem();
    // With step reporting, the consumer's progress at the time before the step.
    void reportStepStart();
    // The Newton iterations of one pass; false when the step ends with result.
    bool iterate(double initialNorm, sc::Solution& result);
    // A factorisation of the Jacobian at the current values at the start of a pass: with
    // keep-factorisation only when a value differs from the kept one, else only when the
    // system needs one.
    bool factoriseStep();
    // The previous values: the history parameters and the stage variables take x.
    void saveHistory();
    // The outputs of the transfer functions into their first states.
    void copyTargets();
    sc::Solution failStep(sc::Solution status, const char* key);

    LinearSystem<T> _system;
    // The Jacobian values of the held factorisation, in fill order (keep-factorisation).
    cnt::PushBackVector<T> _keptJacobian;
    // The state before the step that runs, for a failed step to return to.
    StepSnapshot<T> _stepStart;
    double _dT = 0.0;
    td::BYTE _method = 1;
    // Every Jacobian entry is constant: a factorisation serves every iteration of a pass.
    td::BYTE _keepFactorisation = 0;
};

extern template class DAESolver<double>;
extern template class DAESolver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DAESolver = sl::DAESolver<double>;
}

namespace slCmplx
{
using DAESolver = sl::DAESolver<std::complex<double>>;
}
