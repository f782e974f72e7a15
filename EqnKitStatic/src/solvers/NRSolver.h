// The Newton-Raphson solver: F(x) = 0 with as many equations as variables, solved by
// damped Newton iterations over a sparse LU, around which run the statement lists, the
// child models, the limit functions and limit groups, and the repetitions of a model.
#pragma once

#include <complex>

#include "LinearSystem.h"
#include "NewtonBase.h"

namespace sl
{
// Owns its linear system: the sparse solver is kept across iterations, passes and solves
// while the size and the pattern of the Jacobian stay, refactorised numerically at new
// values; dropped by a new build and by a failed factorisation or solve.
template <typename T> class NRSolver : public NewtonBase<T>
{
public:
    NRSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps);

    // The solve; SolutionError at once when no build has succeeded.
    sc::Solution solve() override;

    // The sparse solver's counts; zero without one.
    sparse::FactorStats getFactorStats() const { return _system.getStats(); }

protected:
    ~NRSolver() override = default;

private:
    using BuildInput = typename Solver<T>::BuildInput;
    using BuildRules = typename Solver<T>::BuildRules;
    using Finish = sc::ISolverConsumer::Finish;

    // ---- the kind's parts of the build road ----
    void dropBuild() override;
    bool runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in) override;
    BuildRules buildRules() const override;
    // The equations must be as many as the variables (unless the count checks are lifted)
    // and the model must have values.
    bool finishBuild(const BuildResults& results, const BuildInput& in) override;

    // One repetition; false when the solve ends with result at once.
    bool runRepetition(td::UINT4 r, bool& repeat, sc::Solution& result);
    // The passes of a repetition: Newton iterations, then the limit groups, which may
    // ask for another pass. False when the solve ends with result.
    bool runPasses(td::UINT2& pass, sc::Solution& result);
    bool iterate(td::UINT2 pass, sc::Solution& result);

    LinearSystem<T> _system;
};

extern template class NRSolver<double>;
extern template class NRSolver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using NRSolver = sl::NRSolver<double>;
}

namespace slCmplx
{
using NRSolver = sl::NRSolver<std::complex<double>>;
}
