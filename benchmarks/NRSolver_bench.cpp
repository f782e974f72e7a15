// The Newton-Raphson solver on generated power-flow models of 1,000 and 10,000 buses
// (polar form): load and build time with the peak memory, Newton iterations, the time of
// one iteration split into residual and Jacobian evaluation, assembly, refactorisation
// and solve, against KLU called directly on the same matrix and a hand-written residual
// and Jacobian of the same equations. Usage: nrSolverBenchmarks [buses...]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <klu.h>

#include <matrix/IMatrixReceiver.h>
#include <sc/Naming.h>
#include <sc/SCLib.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>
#include <sparse/ISolver.h>

#include "NRSolver.h"
#include "models/PowerFlowGrid.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int cReps = 10;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Mean milliseconds of f over cReps runs.
template <typename F> double meanMs(F&& f)
{
    const auto t0 = Clock::now();
    for (int r = 0; r < cReps; ++r)
        f();
    return msSince(t0) / cReps;
}

// Peak resident memory (MB) since the last reset.
double peakMB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
    {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Keeps the cells of a Jacobian walk, or only their sum.
class Cells final : public sparse::IMatrixReceiver<double>
{
public:
    void put(td::INT4 r, td::INT4 c, const double* v) override
    {
        if (keep)
            cells.push_back({r, c, *v});
        sum += *v;
    }
    void begin() override {}
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<double>&,
                            sparse::ISolver<double>&) override
    {
    }
    void finishConstraints(td::UINT4, const dense::Matrix<double>&, sparse::ISolver<double>&) override {}

    struct Cell
    {
        td::INT4 row;
        td::INT4 col;
        double value;
    };
    std::vector<Cell> cells;
    double sum = 0;
    bool keep = false;
};

td::String keepKey(const char* key) { return td::String(key); }

void run(int nBuses)
{
    const bench::PowerFlowGrid grid = bench::PowerFlowGrid::generate(nBuses);
    const std::string text = grid.modelText();
    const int n = grid.unknowns();

    // Load and build.
    resetPeak();
    const double before = peakMB();
    auto t0 = Clock::now();
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    auto* pModel = new sc::TokenizedModel(nullptr, header, keepKey, naming, 0);
    if (!pModel->loadFromString(td::String(text.c_str())))
    {
        std::printf("%d buses: the model does not load\n", nBuses);
        return;
    }
    const double loadMs = msSince(t0);
    auto* pSolver = static_cast<sl::NRSolver<double>*>(sc::createDblNRSolver(nullptr, 50));
    t0 = Clock::now();
    const bool built = pSolver->init(&naming, *pModel, true);
    const double buildMs = msSince(t0);
    delete pModel;
    const double peak = peakMB();
    if (!built)
    {
        std::printf("%d buses: the model does not build\n", nBuses);
        pSolver->release();
        return;
    }

    // The solve from the flat start.
    t0 = Clock::now();
    const sc::Solution status = pSolver->solve();
    const double solveMs = msSince(t0);
    const td::UINT4 iterations = pSolver->getNumberOfIterations();
    const std::vector<double> exact = grid.solution();
    double error = 0;
    for (int i = 0; i < n; ++i)
        error = std::fmax(error, std::fabs(pSolver->getVariableValuesPtr()[i] - exact[i]));

    // One iteration's parts at the flat start, through the solver's own stores.
    const std::vector<double> flat = grid.flatStart();
    for (int i = 0; i < n; ++i)
        pSolver->setVariableValue(i, flat[i]);
    sl::SolverStores<double>& stores = pSolver->getStores();
    std::vector<double> residuals(n), dx(n);
    double norm = 0;
    sparse::ISolver<double>* pSparse = sparse::createDblSolver(
        n, static_cast<td::INT4>(pSolver->getJacobianEntryCount() * 1.5), sparse::Symmetry::General,
        sparse::SolverType::LU, sparse::Pivoting::Threshold, sparse::Ordering::AMD);
    pSparse->begin();
    stores.jacobian.evaluate(*pSparse);
    pSparse->factorise();
    Cells walk;
    const double residualMs = meanMs([&] { stores.equations.evaluateScaledMaxAbs(residuals.data(), -1.0, &norm); });
    const double jacobianMs = meanMs([&] { stores.jacobian.evaluate(walk); });
    // Assembly: the cells of one walk put into the sparse solver, as the walk puts them.
    walk.keep = true;
    stores.jacobian.evaluate(walk);
    const double assemblyMs = meanMs([&] {
        pSparse->begin();
        for (const Cells::Cell& c : walk.cells)
            pSparse->put(c.row, c.col, &c.value);
    });
    const double refactorMs = meanMs([&] { pSparse->factorise(); });
    const double luSolveMs = meanMs([&] { pSparse->solve(residuals.data(), dx.data()); });
    const sparse::FactorStats stats = pSparse->getStats();
    pSparse->release();

    // The same equations by hand, and KLU on their matrix.
    const bench::PowerFlowGrid::Pattern& pattern = grid.pattern();
    std::vector<int> ap(pattern.colStart), ai(pattern.rowIndex);
    std::vector<double> ax(ai.size()), f(n), rhs(n);
    const double handMs = meanMs([&] { grid.evaluate(flat.data(), f.data(), ax.data()); });
    klu_common common;
    klu_defaults(&common);
    klu_symbolic* pSymbolic = klu_analyze(n, ap.data(), ai.data(), &common);
    klu_numeric* pNumeric = klu_factor(ap.data(), ai.data(), ax.data(), pSymbolic, &common);
    const double kluMs = meanMs([&] {
        klu_refactor(ap.data(), ai.data(), ax.data(), pSymbolic, pNumeric, &common);
        for (int i = 0; i < n; ++i)
            rhs[i] = -f[i];
        klu_solve(pSymbolic, pNumeric, n, 1, rhs.data(), &common);
    });
    klu_free_numeric(&pNumeric, &common);
    klu_free_symbolic(&pSymbolic, &common);

    const double iterationMs = residualMs + jacobianMs + assemblyMs + refactorMs + luSolveMs;
    std::printf("\n== %d buses: %d unknowns, %d branches, %u Jacobian entries (hand-written: %zu)\n", nBuses, n,
                grid.branches(), pSolver->getJacobianEntryCount(), ai.size());
    std::printf("load %.0f ms + build %.0f ms = %.0f ms; peak memory %.0f MB (%.0f MB before)\n", loadMs, buildMs,
                loadMs + buildMs, peak, before);
    std::printf("solve: status %d, %u iterations, %.1f ms (%.2f ms per iteration), max error %.1e\n",
                static_cast<int>(status), iterations, solveMs, solveMs / iterations, error);
    std::printf("one iteration (mean of %d), ms: residuals %.3f, Jacobian evaluation %.3f, assembly %.3f, "
                "refactor %.3f, solve %.3f; total %.3f\n",
                cReps, residualMs, jacobianMs, assemblyMs, refactorMs, luSolveMs, iterationMs);
    std::printf("sparse layer: %u analyses, %u fresh factorisations, %u refactorisations\n", stats.analyses,
                stats.factorisations, stats.refactorisations);
    std::printf("KLU refactor + solve on the hand-written matrix: %.3f ms; hand-written residual + Jacobian: "
                "%.3f ms\n",
                kluMs, handMs);
    std::printf("iteration / KLU refactor+solve: %.2f; engine evaluation / hand-written: %.1f\n", iterationMs / kluMs,
                (residualMs + jacobianMs) / handMs);
    pSolver->release();
}
} // namespace

int main(int argc, char** argv)
{
    sc::reserveNamings(1);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
    if (argc < 2)
    {
        run(1000);
        run(10000);
        return 0;
    }
    for (int i = 1; i < argc; ++i)
        run(std::atoi(argv[i]));
    return 0;
}
