// The DAE solver on the generated power-flow network with a machine at every tenth bus
// (trapezoid and two-stage Gauss-Legendre, nonlinear and linear): build time, Newton
// iterations per step, time per step, the factorisations, and the best time per iteration
// of a step against the best of KLU's refactor + solve of the same Jacobian, timed in turn.
#include "DAESolver_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <klu.h>

#include <matrix/IMatrixReceiver.h>
#include <sc/Naming.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>

#include "DAESolver.h"
#include "models/PowerFlowGrid.h"

namespace bench
{
namespace
{
using Clock = std::chrono::steady_clock;
constexpr int cSteps = 20;
constexpr double cStep = 0.01;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

td::String keepKey(const char* key) { return td::String(key); }

// Prints the keys of a failed build.
class KeyLog final : public sc::ILog
{
public:
    void reserved0() override {}
    void reserved1() override {}
    void reserved2() override {}
    void showEntry(const LE& entry, Type) override { print(entry.msg.c_str(), entry.line); }
    void setTranslator(Translator) override {}
    void showText(const td::String& text, Type) override { print(text.c_str(), 0); }
    void showFormatted(const char* key, td::UINT4 line, td::UINT4, Type, int, ...) override { print(key, line); }
    void showKeyAt(const char* key, td::UINT4 line, td::UINT4, Type) override { print(key, line); }
    void showKey(const char* key, Type) override { print(key, 0); }
    void reserved9() override {}
    td::UINT4 reserved10() override { return 0; }

private:
    static void print(const char* text, td::UINT4 line) { std::printf("    %s (line %u)\n", text, line); }
};

// The cells of one Jacobian walk as compressed columns.
class Columns final : public sparse::IMatrixReceiver<double>
{
public:
    explicit Columns(int n) : _n(n) {}
    void put(td::INT4 r, td::INT4 c, const double* v) override { _cells.push_back({r, c, *v}); }
    void begin() override { _cells.clear(); }
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<double>&,
                            sparse::ISolver<double>&) override
    {
    }
    void finishConstraints(td::UINT4, const dense::Matrix<double>&, sparse::ISolver<double>&) override {}

    // Ap, Ai, Ax of the cells (a cell put twice keeps its last value).
    void compress(std::vector<int>& ap, std::vector<int>& ai, std::vector<double>& ax) const
    {
        std::vector<std::vector<std::pair<int, double>>> cols(_n);
        for (const Cell& c : _cells)
            cols[c.col].push_back({c.row, c.value});
        ap.assign(_n + 1, 0);
        ai.clear();
        ax.clear();
        for (int j = 0; j < _n; ++j)
        {
            std::vector<std::pair<int, double>>& col = cols[j];
            std::stable_sort(col.begin(), col.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (std::size_t k = 0; k < col.size(); ++k)
            {
                if (k + 1 < col.size() && col[k + 1].first == col[k].first)
                    continue;
                ai.push_back(col[k].first);
                ax.push_back(col[k].second);
            }
            ap[j + 1] = static_cast<int>(ai.size());
        }
    }

private:
    struct Cell
    {
        td::INT4 row;
        td::INT4 col;
        double value;
    };
    int _n;
    std::vector<Cell> _cells;
};

// KLU on the solver's Jacobian at its current values: refactor + solve, timed one at a time.
class KluOnJacobian
{
public:
    explicit KluOnJacobian(sl::DAESolver<double>& solver) : _n(static_cast<int>(solver.getNumberOfVariables()))
    {
        Columns columns(_n);
        solver.getStores().jacobian.evaluate(columns);
        columns.compress(_ap, _ai, _ax);
        _rhs.assign(_n, 1.0);
        klu_defaults(&_common);
        _pSymbolic = klu_analyze(_n, _ap.data(), _ai.data(), &_common);
        _pNumeric = _pSymbolic ? klu_factor(_ap.data(), _ai.data(), _ax.data(), _pSymbolic, &_common) : nullptr;
    }
    ~KluOnJacobian()
    {
        klu_free_numeric(&_pNumeric, &_common);
        klu_free_symbolic(&_pSymbolic, &_common);
    }
    KluOnJacobian(const KluOnJacobian&) = delete;
    KluOnJacobian& operator=(const KluOnJacobian&) = delete;

    // Milliseconds of one refactor + solve; NaN when the matrix does not factorise.
    double time()
    {
        if (!_pNumeric)
            return NAN;
        const auto t0 = Clock::now();
        klu_refactor(_ap.data(), _ai.data(), _ax.data(), _pSymbolic, _pNumeric, &_common);
        std::fill(_rhs.begin(), _rhs.end(), 1.0);
        klu_solve(_pSymbolic, _pNumeric, _n, 1, _rhs.data(), &_common);
        return msSince(t0);
    }

private:
    int _n;
    std::vector<int> _ap, _ai;
    std::vector<double> _ax, _rhs;
    klu_common _common;
    klu_symbolic* _pSymbolic = nullptr;
    klu_numeric* _pNumeric = nullptr;
};

void runCase(const PowerFlowGrid& grid, const char* method, bool linear)
{
    const std::string text = grid.daeModelText(method, linear);
    auto t0 = Clock::now();
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    KeyLog loadLog;
    auto* pModel = new sc::TokenizedModel(&loadLog, header, keepKey, naming, 0);
    if (!pModel->loadFromString(td::String(text.c_str())))
    {
        std::printf("  %s %s: the model does not load\n", method, linear ? "linear" : "nonlinear");
        delete pModel;
        return;
    }
    const double loadMs = msSince(t0);
    KeyLog log;
    auto* pSolver = static_cast<sl::DAESolver<double>*>(sc::createDblDAESolver(&log, 50));
    t0 = Clock::now();
    const bool built = pSolver->init(&naming, *pModel, true);
    const double buildMs = msSince(t0);
    delete pModel;
    if (!built)
    {
        std::printf("  %s %s: the model does not build\n", method, linear ? "linear" : "nonlinear");
        pSolver->release();
        return;
    }
    pSolver->setStepSize(cStep);
    pSolver->reset(0.0);
    // One step first (it may solve the initial problem), then cSteps steps one at a time,
    // each followed by KLU on the Jacobian of the first: the ratio is of the best of each,
    // so that a slow spell of the machine weighs on both alike.
    sc::Solution status = pSolver->step(1);
    KluOnJacobian klu(*pSolver);
    const td::UINT4 iterationsBefore = pSolver->getTotalIterations();
    double stepsMs = 0, bestIterationMs = INFINITY, bestKluMs = INFINITY;
    for (int k = 0; k < cSteps && status == sc::Solution::OK; ++k)
    {
        const td::UINT4 before = pSolver->getTotalIterations();
        const auto t0 = Clock::now();
        status = pSolver->step(1);
        const double ms = msSince(t0);
        stepsMs += ms;
        const td::UINT4 iterations = pSolver->getTotalIterations() - before;
        if (iterations > 0)
            bestIterationMs = std::min(bestIterationMs, ms / iterations);
        bestKluMs = std::min(bestKluMs, klu.time());
    }
    const double iterations = static_cast<double>(pSolver->getTotalIterations() - iterationsBefore) / cSteps;
    const sparse::FactorStats stats = pSolver->getFactorStats();
    std::printf("  %-6s %-9s %6u unknowns, %7u Jacobian entries: load %5.0f ms, build %5.0f ms; status %d; "
                "%.2f iterations/step, %.3f ms/step; best iteration %.3f ms; factorisations %u + %u "
                "refactorisations in %d steps; KLU refactor+solve %.3f ms; iteration / KLU %.2f\n",
                method, linear ? "linear" : "nonlinear", pSolver->getNumberOfVariables(),
                pSolver->getJacobianEntryCount(), loadMs, buildMs, static_cast<int>(status), iterations,
                stepsMs / cSteps, bestIterationMs, stats.factorisations, stats.refactorisations, cSteps + 1, bestKluMs,
                bestIterationMs / bestKluMs);
    pSolver->release();
}
} // namespace

void runDAEBenchmark(int nBuses)
{
    const PowerFlowGrid grid = PowerFlowGrid::generate(nBuses);
    std::printf("\n== DAE: %d buses, %d machines, dT %.2f, %d steps\n", nBuses, grid.machines(), cStep, cSteps);
    for (const char* method : {"Trapez", "RK4"})
    {
        for (bool linear : {false, true})
            runCase(grid, method, linear);
    }
}
} // namespace bench
