// The static model (nonlinear equations or weighted least squares), real or complex:
// a model object whose solving face sc::IStatic runs one solve of its solver.
#pragma once

#include "BaseModel.h"

// T is the value type, S the solver interface of T. Made by createRealStaticModel and
// createCmplxStaticModel; owned by the caller until release.
template <typename T, typename S> class StaticSolver final : public BaseModel<T, sc::IStatic, S>, public sc::IStatic
{
    using Base = BaseModel<T, sc::IStatic, S>;

public:
    StaticSolver(S* pSolver, typename Base::SolverMaker makeSolver, int maxIter);

    sc::IStatic* getSolverInterface() override { return this; }
    // SolutionError (and "MS.ModelNotLoaded") while no model is loaded.
    sc::Solution solve() override;
};

extern template class StaticSolver<double, sc::ISolver<double>>;
extern template class StaticSolver<std::complex<double>, sc::ISolver<std::complex<double>>>;
