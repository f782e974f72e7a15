// The dynamic model's time stepping, forwarded to its solver.
#include "DynamicSolver.h"

#include "ModelKeys.h"

template <typename T, typename S>
DynamicSolver<T, S>::DynamicSolver(S* pSolver, typename Base::SolverMaker makeSolver, int maxIter)
    : Base(pSolver, makeSolver, maxIter)
{
}

template <typename T, typename S> bool DynamicSolver<T, S>::reset(double t0)
{
    if (!this->isLoaded())
    {
        this->reportKey(simHost::msg::modelNotLoaded);
        return false;
    }
    return this->_pSolver->reset(t0);
}

template <typename T, typename S> sc::Solution DynamicSolver<T, S>::step(int nSteps)
{
    if (!this->isLoaded())
    {
        this->reportKey(simHost::msg::modelNotLoaded);
        return sc::Solution::SolutionError;
    }
    return this->_pSolver->step(nSteps);
}

template <typename T, typename S> double DynamicSolver<T, S>::getStepSize() { return this->_pSolver->getStepSize(); }

template <typename T, typename S> void DynamicSolver<T, S>::setStepSize(double dT) { this->_pSolver->setStepSize(dT); }

template class DynamicSolver<double, sc::ISolver<double>>;
