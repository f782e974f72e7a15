// The Newton-Raphson solver on the generated power-flow models (polar form), the regular
// grid and the one shaped like real transmission networks: the build by phase with the
// peak memory of a fresh process, the solve from the flat start, one Newton iteration
// (residuals and Jacobian values, assembly, refactorisation, solve) and a repeat solve
// after values set from outside and load scenarios from the flat start and from the
// solution before, per iteration, each against KLU's refactor+solve on the same matrix,
// and the evaluation against a hand-written residual and Jacobian of the same equations
// (checked to agree with it); then the DAE solver on the regular networks with machines
// (DAESolver_bench.cpp, left out with --no-dae).
// Usage: nrSolverBenchmarks [--no-dae] [buses...] (default 1000 10000 30000). Each size
// and grid runs in a process of its own, so that every build is cold and its peak memory
// its own.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <klu.h>

#include <matrix/IMatrixReceiver.h>
#include <sc/Naming.h>
#include <sc/SCLib.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>
#include <sparse/ISolver.h>

#include "BuildClock.h"
#include "DAESolver_bench.h"
#include "NRSolver.h"
#include "models/PowerFlowGrid.h"
#include "models/TransmissionGrid.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int cReps = 30;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// The best of the runs timed, in milliseconds: the figure least disturbed by other work.
struct Best
{
    double ms = std::numeric_limits<double>::max();
    template <typename F> void time(F&& f)
    {
        const auto t0 = Clock::now();
        f();
        ms = std::min(ms, msSince(t0));
    }
};

// Peak resident memory of the process (MiB).
double peakMiB()
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

// Takes the cells of a Jacobian walk and drops them.
class Discard final : public sparse::IMatrixReceiver<double>
{
public:
    void put(td::INT4, td::INT4, const double* v) override { sum += *v; }
    void begin() override {}
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<double>&,
                            sparse::ISolver<double>&) override
    {
    }
    void finishConstraints(td::UINT4, const dense::Matrix<double>&, sparse::ISolver<double>&) override {}
    double sum = 0;
};

// The engine's evaluation of all residuals and Jacobian values, as the solver's
// iterations do it: by rows where the build made them.
struct Evaluation
{
    sl::SolverStores<double>& stores;
    std::vector<double> residuals;
    std::vector<double> values;
    double norm = 0;

    explicit Evaluation(sl::SolverStores<double>& s)
        : stores(s), residuals(s.equations.size()), values(s.jacobian.size())
    {
    }
    bool byRows() const { return stores.rows.isUsable(stores.equations, stores.jacobian); }
    void evaluate()
    {
        if (byRows())
        {
            stores.rows.evaluate(stores.equations, residuals.data(), -1.0, &norm, values.data());
            return;
        }
        stores.equations.evaluateScaledMaxAbs(residuals.data(), -1.0, &norm);
        Discard discard;
        stores.jacobian.evaluate(discard);
    }
    // The Jacobian at the values evaluated last into the sparse solver.
    void assemble(sparse::ISolver<double>& sparse)
    {
        if (byRows() && stores.jacobian.isPlain() && sparse.refill(values.data(), static_cast<td::INT4>(values.size())))
            return;
        sparse.begin();
        if (byRows())
            stores.jacobian.put(values.data(), sparse);
        else
            stores.jacobian.evaluate(sparse);
    }
};

// The cells of a Jacobian walk in the slots of a compressed-column pattern.
template <typename Pattern> class SlotRecorder final : public sparse::IMatrixReceiver<double>
{
public:
    explicit SlotRecorder(const Pattern& pattern) : _pattern(pattern), values(pattern.rowIndex.size(), 0.0) {}
    void put(td::INT4 row, td::INT4 col, const double* v) override
    {
        const auto first = _pattern.rowIndex.begin() + _pattern.colStart[static_cast<std::size_t>(col)];
        const auto last = _pattern.rowIndex.begin() + _pattern.colStart[static_cast<std::size_t>(col) + 1];
        const auto it = std::lower_bound(first, last, row);
        if (it == last || *it != row)
        {
            ++outside;
            return;
        }
        values[static_cast<std::size_t>(it - _pattern.rowIndex.begin())] = *v;
    }
    void begin() override {}
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<double>&,
                            sparse::ISolver<double>&) override
    {
    }
    void finishConstraints(td::UINT4, const dense::Matrix<double>&, sparse::ISolver<double>&) override {}

private:
    const Pattern& _pattern;

public:
    std::vector<double> values;
    int outside = 0;
};

// The largest difference between the model's residuals and Jacobian cells and the
// hand-written ones at x, relative to the largest magnitude of each; infinite when a cell
// of the model lies outside the hand-written pattern.
template <typename Grid>
double handWrittenDifference(const Grid& grid, sl::NRSolver<double>& solver, const std::vector<double>& x)
{
    const int n = grid.unknowns();
    for (int i = 0; i < n; ++i)
        solver.setVariableValue(i, x[static_cast<std::size_t>(i)]);
    sl::SolverStores<double>& stores = solver.getStores();
    std::vector<double> residuals(stores.equations.size()), f(n), values(grid.pattern().rowIndex.size());
    double norm = 0;
    stores.equations.evaluateScaledMaxAbs(residuals.data(), 1.0, &norm);
    SlotRecorder recorder(grid.pattern());
    stores.jacobian.evaluate(recorder);
    grid.evaluate(x.data(), f.data(), values.data());
    if (recorder.outside > 0 || residuals.size() != f.size())
        return std::numeric_limits<double>::infinity();
    auto relative = [](const std::vector<double>& a, const std::vector<double>& b) {
        double diff = 0, scale = 0;
        for (std::size_t k = 0; k < a.size(); ++k)
        {
            diff = std::fmax(diff, std::fabs(a[k] - b[k]));
            scale = std::fmax(scale, std::fabs(b[k]));
        }
        return diff / std::fmax(scale, 1e-300);
    };
    return std::fmax(relative(residuals, f), relative(recorder.values, values));
}

// The shape of the network, where it differs from the regular grid.
void describe(const bench::PowerFlowGrid&) {}
void describe(const bench::TransmissionGrid& grid)
{
    const std::vector<int> degrees = grid.degrees();
    const double n = grid.buses();
    int six = 0;
    for (std::size_t d = 6; d < degrees.size(); ++d)
        six += degrees[d];
    std::printf("network: neighbours of a bus 1: %.0f %%, 2: %.0f %%, 6 or more: %.0f %%, at most %zu; %d "
                "transformers (%d shifting the phase), %d zero-injection buses\n",
                100 * degrees[1] / n, 100 * degrees[2] / n, 100 * six / n, degrees.size() - 1, grid.transformers(),
                grid.phaseShifters(), grid.zeroInjections());
}

td::String keepKey(const char* key) { return td::String(key); }

// Load scenarios: every P and Q parameter scaled (0.96 to 1.04), solved from the flat start
// or from the solution before; a solve's time per iteration, the loads set back after it.
class LoadScenarios
{
public:
    LoadScenarios(sl::NRSolver<double>& solver, int nBuses) : _solver(solver)
    {
        for (int i = 1; i < nBuses; ++i)
        {
            for (const char* kind : {"P", "Q"})
            {
                const td::INT4 k = solver.getParameterIndex((kind + std::to_string(i)).c_str());
                if (k >= 0)
                    _loads.push_back(k);
            }
        }
        for (td::INT4 k : _loads)
            _base.push_back(solver.getParameterValuesPtr()[k]);
    }
    template <typename SetStart> double solve(int scenario, SetStart&& setStart)
    {
        const double scale = 1.0 + 0.02 * (scenario % 5 - 2);
        setLoads(scale);
        setStart();
        const auto t0 = Clock::now();
        _allSolved = _solver.solve() == sc::Solution::OK && _allSolved;
        const double ms = msSince(t0) / std::max<td::UINT4>(_solver.getNumberOfIterations(), 1);
        setLoads(1.0);
        return ms;
    }
    bool allSolved() const { return _allSolved; }

private:
    void setLoads(double scale)
    {
        for (std::size_t j = 0; j < _loads.size(); ++j)
            _solver.setParameterValue(_loads[j], _base[j] * scale);
    }

    sl::NRSolver<double>& _solver;
    std::vector<td::INT4> _loads;
    std::vector<double> _base;
    bool _allSolved = true;
};

template <typename Grid> void run(const Grid& grid, const char* kind)
{
    const int nBuses = grid.buses();
    const std::string text = grid.modelText();
    const int n = grid.unknowns();
    const double baseMiB = peakMiB();

    // Load and build, cold.
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
    sl::BuildClock phases;
    sl::BuildClock::active() = &phases;
    t0 = Clock::now();
    const bool built = pSolver->init(&naming, *pModel, true);
    const double buildMs = msSince(t0);
    sl::BuildClock::active() = nullptr;
    delete pModel;
    const double peak = peakMiB();
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
    // The solve builds what evaluation keeps besides the model (the rows' batches).
    const double peakSolved = peakMiB();
    const td::UINT4 iterations = pSolver->getNumberOfIterations();
    const std::vector<double> exact = grid.solution();
    double error = 0;
    for (int i = 0; i < n; ++i)
        error = std::fmax(error, std::fabs(pSolver->getVariableValuesPtr()[i] - exact[i]));
    const std::vector<double> solved(pSolver->getVariableValuesPtr(), pSolver->getVariableValuesPtr() + n);

    // A scenario sweep's solve: the variables set from outside (back to the flat start,
    // where the first solve began), then a whole solve; its time per iteration, and
    // whether it repeats the first solve bit for bit. Timed in the rounds below.
    const std::vector<double> flat = grid.flatStart();
    const std::vector<double> firstSolution(pSolver->getVariableValuesPtr(), pSolver->getVariableValuesPtr() + n);
    auto setFlat = [&] {
        for (int i = 0; i < n; ++i)
            pSolver->setVariableValue(i, flat[i]);
    };
    td::UINT4 repeatIterations = 0;
    bool repeatSame = true;
    auto repeatSolve = [&] {
        setFlat();
        const auto start = Clock::now();
        const sc::Solution repeatStatus = pSolver->solve();
        const double ms = msSince(start);
        repeatIterations = std::max<td::UINT4>(pSolver->getNumberOfIterations(), 1);
        repeatSame = repeatSame && repeatStatus == status &&
                     std::equal(firstSolution.begin(), firstSolution.end(), pSolver->getVariableValuesPtr(),
                                [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; });
        return ms / repeatIterations;
    };

    // One iteration at the flat start through the solver's stores and sparse layer.
    setFlat();
    sl::SolverStores<double>& stores = pSolver->getStores();
    Evaluation evaluation(stores);
    std::vector<double> dx(n);
    sparse::ISolver<double>* pSparse = sparse::createDblSolver(
        n, static_cast<td::INT4>(pSolver->getJacobianEntryCount() * 1.5), sparse::Symmetry::General,
        sparse::SolverType::LU, sparse::Pivoting::Threshold, sparse::Ordering::AMD);
    evaluation.evaluate();
    evaluation.assemble(*pSparse);
    pSparse->factorise();

    // The same equations by hand, and KLU on their matrix.
    const auto& pattern = grid.pattern();
    std::vector<int> ap(pattern.colStart), ai(pattern.rowIndex);
    std::vector<double> ax(ai.size()), f(n), rhs(n);
    grid.evaluate(flat.data(), f.data(), ax.data());
    // KLU's own cost of a first solve beyond a repeat one: the analysis and the first
    // factorisation (with its pivot search and its first touch of the factor's memory).
    klu_common common;
    klu_defaults(&common);
    t0 = Clock::now();
    klu_symbolic* pSymbolic = klu_analyze(n, ap.data(), ai.data(), &common);
    klu_numeric* pNumeric = klu_factor(ap.data(), ai.data(), ax.data(), pSymbolic, &common);
    const double kluFirstMs = msSince(t0);

    // Every figure is the best of cReps rounds, the rounds taking each measurement in turn,
    // so that a slow spell of the machine weighs on all of them alike.
    // A load scenario from the flat start returns to the first Jacobian as the repeat solve
    // does; one from the solution before starts from a Jacobian not factorised before, so
    // those are timed after the rounds, in a sweep of their own.
    LoadScenarios scenarios(*pSolver, nBuses);
    Best evaluateMs, assembleMs, refactorMs, luSolveMs, iterationMs, handMs, kluMs, repeatMs, flatScenarioMs,
        warmScenarioMs;
    for (int r = 0; r < cReps; ++r)
    {
        repeatMs.ms = std::min(repeatMs.ms, repeatSolve());
        flatScenarioMs.ms = std::min(flatScenarioMs.ms, scenarios.solve(r, setFlat));
        setFlat();
        evaluateMs.time([&] { evaluation.evaluate(); });
        assembleMs.time([&] { evaluation.assemble(*pSparse); });
        refactorMs.time([&] { pSparse->factorise(); });
        luSolveMs.time([&] { pSparse->solve(evaluation.residuals.data(), dx.data()); });
        iterationMs.time([&] {
            evaluation.evaluate();
            evaluation.assemble(*pSparse);
            pSparse->factorise();
            pSparse->solve(evaluation.residuals.data(), dx.data());
        });
        handMs.time([&] { grid.evaluate(flat.data(), f.data(), ax.data()); });
        kluMs.time([&] {
            klu_refactor(ap.data(), ai.data(), ax.data(), pSymbolic, pNumeric, &common);
            for (int i = 0; i < n; ++i)
                rhs[i] = -f[i];
            klu_solve(pSymbolic, pNumeric, n, 1, rhs.data(), &common);
        });
    }
    for (int r = 0; r < cReps; ++r)
        warmScenarioMs.ms = std::min(warmScenarioMs.ms, scenarios.solve(r, [] {}));
    pSparse->release();
    klu_free_numeric(&pNumeric, &common);
    klu_free_symbolic(&pSymbolic, &common);
    td::UINT4 inBatches = 0;
    for (td::UINT4 i = 0; i < stores.rows.size(); ++i)
        inBatches += stores.rows.ranInBatch(i) ? 1 : 0;
    const td::UINT4 shapes = stores.rows.rowShapes();
    // Last, since it sets the variables: the model against the hand-written equations.
    const double handDifference =
        std::fmax(handWrittenDifference(grid, *pSolver, flat), handWrittenDifference(grid, *pSolver, solved));

    const double otherMs = buildMs - phases.parseMs - phases.differentiateMs - phases.compileMs;
    std::printf("\n== %d buses, %s grid: %d equations, %d branches, %d generators, %u Jacobian entries (%s)\n", nBuses,
                kind, n, grid.branches(), grid.generators(), pSolver->getJacobianEntryCount(),
                evaluation.byRows() ? "rows" : "entries");
    describe(grid);
    std::printf("rows: %u shapes, %.1f %% of the rows in batches; hand-written equations agree to %.1e\n", shapes,
                100.0 * inBatches / std::max<std::size_t>(stores.rows.size(), 1), handDifference);
    std::printf("build, cold: load %.0f + parse %.0f + differentiate %.0f + compile %.0f + other %.0f = %.0f ms; "
                "peak %.0f MiB (%.0f MiB before the load)\n",
                loadMs, phases.parseMs, phases.differentiateMs, phases.compileMs, otherMs, loadMs + buildMs, peak,
                baseMiB);
    std::printf("solve from the flat start: status %d, %u iterations, %.1f ms, max error %.1e; peak %.0f MiB\n",
                static_cast<int>(status), iterations, solveMs, error, peakSolved);
    std::printf("one iteration (best of %d), ms: evaluation %.3f + assembly %.3f + refactor %.3f + solve %.3f; "
                "whole %.3f\n",
                cReps, evaluateMs.ms, assembleMs.ms, refactorMs.ms, luSolveMs.ms, iterationMs.ms);
    std::printf("repeat solve after set values (best of %d), per iteration: %.3f ms over %u iterations; %s the "
                "first solve\n",
                cReps, repeatMs.ms, repeatIterations, repeatSame ? "bit for bit" : "differs from");
    std::printf("KLU refactor+solve on the same matrix %.3f ms, its analysis and first factorisation %.1f ms; "
                "hand-written residual+Jacobian %.3f ms\n",
                kluMs.ms, kluFirstMs, handMs.ms);
    std::printf("load scenarios (loads scaled by 0.96 to 1.04, best of %d), per iteration: from the flat start %.3f ms "
                "(%.2f x KLU), from the last solution %.3f ms (%.2f x KLU); %s\n",
                cReps, flatScenarioMs.ms, flatScenarioMs.ms / kluMs.ms, warmScenarioMs.ms, warmScenarioMs.ms / kluMs.ms,
                scenarios.allSolved() ? "every one solved" : "not every one solved");
    std::printf("ratios: iteration / KLU %.2f; first solve per iteration / KLU %.2f; repeat solve per iteration / "
                "KLU %.2f; first solve / repeat solve %.2f (%.2f without KLU's analysis and first factorisation); "
                "evaluation / hand-written %.2f\n",
                iterationMs.ms / kluMs.ms, solveMs / std::max<td::UINT4>(iterations, 1) / kluMs.ms,
                repeatMs.ms / kluMs.ms, solveMs / (repeatMs.ms * repeatIterations),
                (solveMs - kluFirstMs) / (repeatMs.ms * repeatIterations), evaluateMs.ms / handMs.ms);
    pSolver->release();
}
} // namespace

int main(int argc, char** argv)
{
    const bool dae = argc < 2 || std::string(argv[1]) != "--no-dae";
    const int firstSize = dae ? 1 : 2;
    // A child: --one regular|irregular buses.
    if (argc == firstSize + 3 && std::string(argv[firstSize]) == "--one")
    {
        sc::reserveNamings(1);
        sc::setDefaultDataForAllNamings();
        sc::setDefaultDataForNaming(0);
        const std::string kind = argv[firstSize + 1];
        const int n = std::atoi(argv[firstSize + 2]);
        if (kind == "irregular")
        {
            run(bench::TransmissionGrid::generate(n), "irregular");
            return 0;
        }
        run(bench::PowerFlowGrid::generate(n), "regular");
        if (dae)
            bench::runDAEBenchmark(n);
        return 0;
    }
    std::vector<std::string> sizes(argv + firstSize, argv + argc);
    if (sizes.empty())
        sizes = {"1000", "10000", "30000"};
    for (const std::string& size : sizes)
    {
        if (size.find_first_not_of("0123456789") != std::string::npos || std::atoi(size.c_str()) < 1)
        {
            std::fprintf(stderr, "usage: %s [--no-dae] [buses...] (whole numbers from 1)\n", argv[0]);
            return 2;
        }
        for (const char* kind : {"regular", "irregular"})
        {
            const std::string command = std::string(argv[0]) + (dae ? "" : " --no-dae") + " --one " + kind + " " + size;
            if (std::system(command.c_str()) != 0)
                return 1;
        }
    }
    return 0;
}
