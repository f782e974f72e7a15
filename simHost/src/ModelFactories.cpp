// The model factories: each asks the solver library for the solver of the problem kind and
// pairs it with a new model object.
#include <climits>
#include <new>

#include <sc/ModelFactories.h>
#include <sc/SolverFactories.h>

#include "DynamicSolver.h"
#include "StaticSolver.h"

namespace
{
using Cmplx = std::complex<double>;

// The ODE solver takes no iteration limit.
sc::ISolver<double>* createODESolver(sc::ILog* pLog, int) { return sc::createDblODESolver(pLog); }

// The model of type M around a solver from makeSolver; null when either cannot be made.
template <typename M, typename S> M* makeModel(S* (*makeSolver)(sc::ILog*, int), sc::ILog* pLog, unsigned maxIter)
{
    // The solver library takes a signed limit; a larger one saturates there.
    int limit = maxIter > INT_MAX ? INT_MAX : static_cast<int>(maxIter);
    S* pSolver = makeSolver(pLog, limit);
    if (!pSolver)
        return nullptr;
    M* pModel = new (std::nothrow) M(pSolver, makeSolver, limit);
    if (!pModel)
        pSolver->release();
    return pModel;
}
} // namespace

sc::IModel<double, sc::IStatic>* sc::createRealStaticModel(IStatic::Problem problem, ILog* pLog, unsigned maxIter)
{
    using Model = StaticSolver<double, ISolver<double>>;
    switch (problem)
    {
    case IStatic::NLE: return makeModel<Model>(&createDblNRSolver, pLog, maxIter);
    case IStatic::WLS: return makeModel<Model>(&createDblWLSSolver, pLog, maxIter);
    }
    return nullptr;
}

sc::IModel<std::complex<double>, sc::IStatic>* sc::createCmplxStaticModel(IStatic::Problem problem, ILog* pLog,
                                                                          unsigned maxIter)
{
    using Model = StaticSolver<Cmplx, ISolver<Cmplx>>;
    switch (problem)
    {
    case IStatic::NLE: return makeModel<Model>(&createCmplxNRSolver, pLog, maxIter);
    case IStatic::WLS: return makeModel<Model>(&createCmplxWLSSolver, pLog, maxIter);
    }
    return nullptr;
}

sc::IModel<double, sc::IDynamic>* sc::createRealDynamicModel(IDynamic::Problem problem, ILog* pLog, unsigned maxIter)
{
    using Model = DynamicSolver<double, ISolver<double>>;
    switch (problem)
    {
    case IDynamic::ODE: return makeModel<Model>(&createODESolver, pLog, maxIter);
    case IDynamic::DAE: return makeModel<Model>(&createDblDAESolver, pLog, maxIter);
    }
    return nullptr;
}
