// The Newton-Raphson solver: F(x) = 0 with as many equations as variables, solved by
// damped Newton iterations over a sparse LU, around which run the statement lists, the
// child models, the limit functions and limit groups, and the repetitions of a model.
#pragma once

#include <complex>

#include "IterationRules.h"
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
    // Newton iterations of a pass until the norm is below eps after a step that moved no
    // limit into another region (BaseOK); false when the solve ends with result.
    bool iterate(td::UINT2 pass, sc::Solution& result);

    // How the norms of a pass go: the damping of the step (halved once the norm falls
    // slowly), the last norm, the smallest one and the iterations it has risen in a row.
    struct NormTrend
    {
        double damping;
        double previous;
        iteration::SmallestNorm smallest;
        td::UINT4 rising;

        void observe(td::UINT4 k, double norm);
    };
    // One more iteration in the counters, the progress record and the status places.
    void countIteration(td::UINT2 pass);
    // The damped step onto the variables, the limit walk and the residuals there: the
    // walk's largest region state.
    td::BYTE takeStep(double damping);
    // Whether iteration k's norm lets the iterations go on; false with result on an
    // oscillation, at the iteration cap and when the norm keeps rising far from a root.
    bool mayGoOn(td::UINT4 k, double norm, const NormTrend& trend, sc::Solution& result);

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
