// The dynamic model (ODE or DAE), real only: a model object whose solving face
// sc::IDynamic steps its solver in time.
#pragma once

#include "BaseModel.h"

// S is the solver interface of double. Made by createRealDynamicModel; owned by the caller
// until release. Every sc::IDynamic operation goes to the solver unchanged, except that
// reset and step refuse while no model is loaded.
template <typename T, typename S> class DynamicSolver final : public BaseModel<T, sc::IDynamic, S>, public sc::IDynamic
{
    using Base = BaseModel<T, sc::IDynamic, S>;

public:
    DynamicSolver(S* pSolver, typename Base::SolverMaker makeSolver, int maxIter);

    sc::IDynamic* getSolverInterface() override { return this; }
    // false (and "MS.ModelNotLoaded") while no model is loaded.
    bool reset(double t0) override;
    // SolutionError (and "MS.ModelNotLoaded") while no model is loaded.
    sc::Solution step(int nSteps) override;
    double getStepSize() override;
    void setStepSize(double dT) override;
};

extern template class DynamicSolver<double, sc::ISolver<double>>;
