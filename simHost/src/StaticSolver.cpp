// The static model's solve.
#include "StaticSolver.h"

#include "ModelKeys.h"

template <typename T, typename S>
StaticSolver<T, S>::StaticSolver(S* pSolver, typename Base::SolverMaker makeSolver, int maxIter)
    : Base(pSolver, makeSolver, maxIter)
{
}

template <typename T, typename S> sc::Solution StaticSolver<T, S>::solve()
{
    if (!this->isLoaded())
    {
        this->reportKey(simHost::msg::modelNotLoaded);
        return sc::Solution::SolutionError;
    }
    return this->_pSolver->solve();
}

template class StaticSolver<double, sc::ISolver<double>>;
template class StaticSolver<std::complex<double>, sc::ISolver<std::complex<double>>>;
