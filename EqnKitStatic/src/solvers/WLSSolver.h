// The weighted-least-squares solver: estimates the variables of more measurement equations
// than variables, each with a weight, optionally under equality constraints, by Gauss-Newton
// steps JᴴWJ dx = JᴴWr (with constraints the KKT system) until the step is small.
#pragma once

#include <complex>

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>
#include <sparse/IMatrix.h>

#include "LinearSystem.h"
#include "NewtonBase.h"

namespace sl
{
// Owns its measurement and constraint matrices (made after every build) and its linear
// system, the weighted system whose sparse solver is kept while the pattern stays.
template <typename T> class WLSSolver : public NewtonBase<T>
{
public:
    WLSSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps);

    // The estimate; SolutionError at once when no build has succeeded.
    sc::Solution solve() override;

    td::UINT4 getNumberOfMeasurements() const { return _nMeas; }
    // The weights as the solve uses them (divided by their mid-range after a build).
    const dense::DiagMatrix<double>& getWeights() const { return _weights; }
    // The sparse solver's counts; zero without one.
    sparse::FactorStats getFactorStats() const { return _system.getStats(); }

protected:
    ~WLSSolver() override;

private:
    using BuildInput = typename Solver<T>::BuildInput;
    using BuildRules = typename Solver<T>::BuildRules;
    using Finish = sc::ISolverConsumer::Finish;

    // ---- the kind's parts of the build road ----
    // Matrices, counts and weights dropped.
    void dropBuild() override;
    void prepareBuild(SolverData<T>& data) override { data.pWeights = &_weights; }
    bool runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in) override;
    // A failed XML build writes "Cannot read the data.." in section Other; the tolerance
    // stays the solver's.
    BuildRules buildRules() const override;
    // Matrices, residual columns, the system and the weights' normalisation.
    bool finishBuild(const BuildResults& results, const BuildInput& in) override;
    void releaseMatrices();

    bool runRepetition(td::UINT4 r, bool& repeat, sc::Solution& result);
    // The Gauss-Newton iterations of one pass; false when the solve ends with result.
    bool iterate(td::UINT2 pass, sc::Solution& result);
    // How the pass stands before an iteration: the progress record, the status places.
    void showIteration(td::UINT2 pass);
    // The weighted system (and the constraint rows) at the current values.
    void fillSystem();
    // The solved step onto the variables: its largest size (NaN when one is NaN).
    double takeStep();
    // The constraint residuals -C(x) and their L1 norm.
    double evaluateConstraints();
    bool hasConstraints() const { return _pConstraintMatrix != nullptr; }

    LinearSystem<T> _system;
    sparse::IMatrix<T>* _pMeasurementMatrix = nullptr;
    sparse::IMatrix<T>* _pConstraintMatrix = nullptr;
    dense::Matrix<T> _constraintResiduals;
    dense::Matrix<T> _measurementResiduals;
    dense::DiagMatrix<double> _weights;
    td::UINT4 _nMeas = 0;
    td::UINT4 _nConstraints = 0;
    // The L1 norm of the constraint residuals at the last evaluation.
    double _constraintNorm = 0;
    td::BYTE _normaliseWeights = 1;
};

extern template class WLSSolver<double>;
extern template class WLSSolver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using WLSSolver = sl::WLSSolver<double>;
}

namespace slCmplx
{
using WLSSolver = sl::WLSSolver<std::complex<double>>;
}
