// The Newton-Raphson solver on power-flow models (polar form): a real network read from its
// files, the generated regular grid and the one shaped like real transmission networks. The
// build by phase with the peak memory of a fresh process, the solve from the flat start, one
// Newton iteration (residuals and Jacobian values, assembly, refactorisation, solve) and a
// repeat solve after values set from outside and load scenarios from the flat start and from
// the solution before, per iteration, each against KLU's refactor+solve on the same matrix,
// and the evaluation against a hand-written residual and Jacobian of the same equations
// (checked to agree with it); then the DAE solver on the regular networks with machines
// (DAESolver_bench.cpp, left out with --no-dae).
// The hand-written equations must agree with the model's to 1e-12 at the flat start, at a
// point off it and at the solution, and a real network's solution with its solution file to
// 1e-12, or the benchmark stops with an error.
// Usage: nrSolverBenchmarks [--no-dae] [buses or network names...] (default case2869pegase
// 1000 10000 30000). A name is read from the folder of real networks (EQNKIT_POWERFLOW_DATA,
// else the one named at build time) and skipped with a note where its files are not there.
// Each network runs in a process of its own (nrSolverBenchmarks [--no-dae] --one regular|
// irregular buses, or --one case name), so that every build is cold and its peak memory its
// own.
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
#include "models/PowerFlowCase.h"
#include "models/PowerFlowGrid.h"
#include "models/TransmissionGrid.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int cReps = 30;
// The largest difference allowed between the model and the hand-written equations, relative,
// and between a real network's solution and its solution file.
constexpr double cAgreement = 1e-12;

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

// The largest differences between the model's residuals and Jacobian cells and the
// hand-written ones, and the largest magnitudes of each, over the points checked.
struct Difference
{
    double residual = 0, residualScale = 0, jacobian = 0, jacobianScale = 0;
    bool outside = false; // a cell of the model outside the hand-written pattern

    // Relative to the largest magnitude at any of the points: near the solution the
    // residuals are what is left of sums of large terms, so their own magnitude is no scale.
    double relative() const
    {
        if (outside)
            return std::numeric_limits<double>::infinity();
        return std::fmax(residual / std::fmax(residualScale, 1e-300), jacobian / std::fmax(jacobianScale, 1e-300));
    }
};

// The model against the hand-written equations at x, added to difference.
template <typename Grid> void addHandWrittenDifference(const Grid& grid, sl::NRSolver<double>& solver,
                                                       const std::vector<double>& x, Difference& difference)
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
    {
        difference.outside = true;
        return;
    }
    auto add = [](const std::vector<double>& a, const std::vector<double>& b, double& diff, double& scale) {
        for (std::size_t k = 0; k < a.size(); ++k)
        {
            diff = std::fmax(diff, std::fabs(a[k] - b[k]));
            scale = std::fmax(scale, std::fabs(b[k]));
        }
    };
    add(residuals, f, difference.residual, difference.residualScale);
    add(recorder.values, values, difference.jacobian, difference.jacobianScale);
}

// A point off the flat start: angles moved by up to 0.1 rad, magnitudes by up to 5 %, the
// same at every run.
std::vector<double> offStart(const std::vector<double>& flat)
{
    std::vector<double> x(flat);
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        const double wave = std::sin(0.7 * static_cast<double>(i) + 0.3);
        x[i] += x[i] == 0.0 ? 0.1 * wave : 0.05 * wave;
    }
    return x;
}

// What the generated grids and the real networks differ in: their title, their branches and
// the shape of their network.
std::string title(const bench::PowerFlowGrid& grid, const char* kind)
{
    return std::to_string(grid.buses()) + " buses, " + kind + " grid";
}
std::string title(const bench::TransmissionGrid& grid, const char* kind)
{
    return std::to_string(grid.buses()) + " buses, " + kind + " grid";
}
std::string title(const bench::PowerFlowCase& grid, const char*)
{
    return grid.name() + ", " + std::to_string(grid.buses()) + " buses";
}
std::string branchText(const bench::PowerFlowGrid& grid) { return std::to_string(grid.branches()) + " branches"; }
std::string branchText(const bench::TransmissionGrid& grid) { return std::to_string(grid.branches()) + " branches"; }
std::string branchText(const bench::PowerFlowCase& grid)
{
    return std::to_string(grid.joinedPairs()) + " joined bus pairs";
}
// Whether the solve must agree with the network's own solution to cAgreement: a real
// network's solution file is that exact; a generated grid's operating point is met only to the
// model's eps.
bool solutionBinds(const bench::PowerFlowGrid&) { return false; }
bool solutionBinds(const bench::TransmissionGrid&) { return false; }
bool solutionBinds(const bench::PowerFlowCase&) { return true; }
std::string summaryName(const bench::PowerFlowGrid& grid, const char* kind)
{
    return std::string(kind) + "-" + std::to_string(grid.buses());
}
std::string summaryName(const bench::TransmissionGrid& grid, const char* kind)
{
    return std::string(kind) + "-" + std::to_string(grid.buses());
}
std::string summaryName(const bench::PowerFlowCase& grid, const char*) { return grid.name(); }

void describeDegrees(const std::vector<int>& degrees, double n)
{
    int six = 0;
    for (std::size_t d = 6; d < degrees.size(); ++d)
        six += degrees[d];
    std::printf("network: neighbours of a bus 1: %.0f %%, 2: %.0f %%, 6 or more: %.0f %%, at most %zu",
                100 * degrees[1] / n, 100 * degrees[2] / n, 100 * six / n, degrees.size() - 1);
}

void describe(const bench::PowerFlowGrid&) {}
void describe(const bench::PowerFlowCase& grid)
{
    describeDegrees(grid.degrees(), grid.buses());
    std::printf("; %d bus pairs with unsymmetric admittances (shifting the phase)\n", grid.unsymmetricPairs());
}
void describe(const bench::TransmissionGrid& grid)
{
    describeDegrees(grid.degrees(), grid.buses());
    std::printf("; %d transformers (%d shifting the phase), %d zero-injection buses\n", grid.transformers(),
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
        for (int i = 0; i <= nBuses; ++i)
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

// The figures of one network; false where the model and the hand-written equations or the
// solution file disagree (the figures then stay unprinted).
template <typename Grid> bool run(const Grid& grid, const char* kind)
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
        std::fprintf(stderr, "%s: the model does not load\n", title(grid, kind).c_str());
        return false;
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
        std::fprintf(stderr, "%s: the model does not build\n", title(grid, kind).c_str());
        pSolver->release();
        return false;
    }

    // The solve from the flat start.
    t0 = Clock::now();
    const sc::Solution status = pSolver->solve();
    const double solveMs = msSince(t0);
    // The solve builds what evaluation keeps besides the model (the rows' batches).
    const double peakSolved = peakMiB();
    const td::UINT4 iterations = pSolver->getNumberOfIterations();
    const std::vector<double>& exact = grid.solution();
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
    // The evaluation against the hand-written one where the angles are those of the solution,
    // not the flat start's zeros, the two timed in turn with nothing between them: both with
    // their data in the caches, where in the rounds above each follows KLU's work.
    for (int i = 0; i < n; ++i)
        pSolver->setVariableValue(i, solved[i]);
    Best evaluateSolvedMs, handSolvedMs;
    for (int r = 0; r < cReps; ++r)
    {
        evaluateSolvedMs.time([&] { evaluation.evaluate(); });
        handSolvedMs.time([&] { grid.evaluate(solved.data(), f.data(), ax.data()); });
    }
    pSparse->release();
    klu_free_numeric(&pNumeric, &common);
    klu_free_symbolic(&pSymbolic, &common);
    td::UINT4 inBatches = 0;
    for (td::UINT4 i = 0; i < stores.rows.size(); ++i)
        inBatches += stores.rows.ranInBatch(i) ? 1 : 0;
    const td::UINT4 shapes = stores.rows.rowShapes();
    // Last, since it sets the variables: the model against the hand-written equations.
    Difference difference;
    for (const std::vector<double>& x : {flat, offStart(flat), solved})
        addHandWrittenDifference(grid, *pSolver, x, difference);
    const double handDifference = difference.relative();
    if (!(handDifference <= cAgreement) || (solutionBinds(grid) && !(error <= cAgreement)))
    {
        std::fprintf(stderr,
                     "%s: FAILED: the hand-written equations differ from the model's by %.1e (relative), the "
                     "solution from the solution file by %.1e; allowed %.0e\n",
                     title(grid, kind).c_str(), handDifference, error, cAgreement);
        pSolver->release();
        return false;
    }

    const double otherMs = buildMs - phases.parseMs - phases.differentiateMs - phases.compileMs;
    std::printf("\n== %s: %d equations, %s, %d generators, %u Jacobian entries (%s)\n", title(grid, kind).c_str(), n,
                branchText(grid).c_str(), grid.generators(), pSolver->getJacobianEntryCount(),
                evaluation.byRows() ? "rows" : "entries");
    describe(grid);
    std::printf("rows: %u shapes, %u of %u rows (%.1f %%) in batches; hand-written equations agree to %.1e (flat "
                "start, off it, solution)\n",
                shapes, inBatches, static_cast<unsigned>(stores.rows.size()),
                100.0 * inBatches / std::max<std::size_t>(stores.rows.size(), 1), handDifference);
    std::printf("build, cold: load %.0f + parse %.0f + differentiate %.0f + compile %.0f + other %.0f = %.0f ms; "
                "peak %.0f MiB (%.0f MiB before the load)\n",
                loadMs, phases.parseMs, phases.differentiateMs, phases.compileMs, otherMs, loadMs + buildMs, peak,
                baseMiB);
    std::printf("solve from the flat start: status %d, %u iterations, %.1f ms, max error %.1e%s; peak %.0f MiB\n",
                static_cast<int>(status), iterations, solveMs, error,
                solutionBinds(grid) ? " against the solution file" : "", peakSolved);
    std::printf("one iteration (best of %d), ms: evaluation %.3f + assembly %.3f + refactor %.3f + solve %.3f; "
                "whole %.3f\n",
                cReps, evaluateMs.ms, assembleMs.ms, refactorMs.ms, luSolveMs.ms, iterationMs.ms);
    std::printf("repeat solve after set values (best of %d), per iteration: %.3f ms over %u iterations; %s the "
                "first solve\n",
                cReps, repeatMs.ms, repeatIterations, repeatSame ? "bit for bit" : "differs from");
    std::printf("KLU refactor+solve on the same matrix %.3f ms, its analysis and first factorisation %.1f ms; "
                "hand-written residual+Jacobian %.3f ms\n",
                kluMs.ms, kluFirstMs, handMs.ms);
    std::printf("at the solution (best of %d): evaluation %.3f ms, hand-written residual+Jacobian %.3f ms, "
                "evaluation / hand-written %.2f\n",
                cReps, evaluateSolvedMs.ms, handSolvedMs.ms, evaluateSolvedMs.ms / handSolvedMs.ms);
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
    // The floors of this design: an iteration needs KLU's refactor+solve and an evaluation at
    // least as costly as the hand-written one; a first solve needs KLU's analysis and first
    // factorisation and a repeat solve.
    const double iterationFloor = iterationMs.ms / (kluMs.ms + handMs.ms);
    const double firstFloor = solveMs / (kluFirstMs + repeatMs.ms * repeatIterations);
    std::printf("against the floors: iteration / (KLU refactor+solve + hand-written) %.2f; first solve / (KLU "
                "analysis and first factorisation + repeat solve) %.2f; KLU analysis and first factorisation / "
                "KLU refactor+solve %.2f\n",
                iterationFloor, firstFloor, kluFirstMs / kluMs.ms);
    // One line of key=value for scripts that compare builds.
    std::printf(
        "summary: network=%s iteration_floor=%.4f first_floor=%.4f iteration_klu=%.4f repeat_klu=%.4f "
        "eval_hand=%.4f eval_hand_solved=%.4f first_ms=%.3f iteration_ms=%.4f repeat_ms=%.4f klu_ms=%.4f hand_ms=%.4f "
        "hand_solved_ms=%.4f klu_first_ms=%.3f build_ms=%.1f peak_mib=%.1f batched=%.4f shapes=%u\n",
        summaryName(grid, kind).c_str(), iterationFloor, firstFloor, iterationMs.ms / kluMs.ms, repeatMs.ms / kluMs.ms,
        evaluateMs.ms / handMs.ms, evaluateSolvedMs.ms / handSolvedMs.ms, solveMs, iterationMs.ms, repeatMs.ms,
        kluMs.ms, handMs.ms, handSolvedMs.ms, kluFirstMs, loadMs + buildMs, peak,
        static_cast<double>(inBatches) / std::max<std::size_t>(stores.rows.size(), 1), shapes);
    pSolver->release();
    return true;
}
} // namespace

// The folder of real networks: EQNKIT_POWERFLOW_DATA, else the one named at build time.
std::string dataDirectory()
{
    if (const char* pDir = std::getenv("EQNKIT_POWERFLOW_DATA"); pDir != nullptr && *pDir != '\0')
        return pDir;
#ifdef EQNKIT_POWERFLOW_DATA_DIR
    return EQNKIT_POWERFLOW_DATA_DIR;
#else
    return ".";
#endif
}

// A real network: skipped with a note where its files are not there, an error where they
// are but do not fit.
int runCase(const std::string& name)
{
    const std::string directory = dataDirectory();
    if (!bench::PowerFlowCase::exists(directory, name))
    {
        std::printf("\n%s: data not found at %s, skipped\n", name.c_str(), directory.c_str());
        return 0;
    }
    bench::PowerFlowCase network;
    std::string error;
    if (!bench::PowerFlowCase::load(directory, name, network, error))
    {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
        return 1;
    }
    return run(network, "case") ? 0 : 1;
}

bool isSize(const std::string& word)
{
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos && std::atoi(word.c_str()) >= 1;
}

// A network name: letters, digits, '_' and '-', as a file name in the data folder.
bool isName(const std::string& word)
{
    return !word.empty() && !isSize(word) && word[0] != '-' &&
           word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") ==
               std::string::npos;
}

int main(int argc, char** argv)
{
    const bool dae = argc < 2 || std::string(argv[1]) != "--no-dae";
    const int firstSize = dae ? 1 : 2;
    // A child: --one regular|irregular buses, or --one case name.
    if (argc == firstSize + 3 && std::string(argv[firstSize]) == "--one")
    {
        sc::reserveNamings(1);
        sc::setDefaultDataForAllNamings();
        sc::setDefaultDataForNaming(0);
        const std::string kind = argv[firstSize + 1];
        if (kind == "case")
            return isName(argv[firstSize + 2]) ? runCase(argv[firstSize + 2]) : 2;
        const int n = std::atoi(argv[firstSize + 2]);
        if (kind == "irregular")
            return run(bench::TransmissionGrid::generate(n), "irregular") ? 0 : 1;
        if (!run(bench::PowerFlowGrid::generate(n), "regular"))
            return 1;
        if (dae)
            bench::runDAEBenchmark(n);
        return 0;
    }
    std::vector<std::string> networks(argv + firstSize, argv + argc);
    if (networks.empty())
        networks = {"case2869pegase", "1000", "10000", "30000"};
    for (const std::string& network : networks)
    {
        if (!isSize(network) && !isName(network))
        {
            std::fprintf(stderr, "usage: %s [--no-dae] [buses or network names...] (whole numbers from 1)\n", argv[0]);
            return 2;
        }
    }
    const std::string self = std::string(argv[0]) + (dae ? "" : " --no-dae") + " --one ";
    for (const std::string& network : networks)
    {
        if (isName(network))
        {
            if (std::system((self + "case " + network).c_str()) != 0)
                return 1;
            continue;
        }
        for (const char* kind : {"regular", "irregular"})
        {
            if (std::system((self + kind + " " + network).c_str()) != 0)
                return 1;
        }
    }
    return 0;
}
