// The DAE solver on the generated power-flow network with a machine at every tenth bus
// (trapezoid and two-stage Gauss-Legendre, nonlinear and linear): build time, Newton
// iterations per step, time per step and per iteration, the factorisations, and KLU's
// refactor + solve of the same Jacobian for comparison.
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
constexpr int cReps = 10;
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

// KLU refactor + solve of the solver's Jacobian at its current values, mean ms.
double kluRefactorSolve(sl::DAESolver<double>& solver)
{
    const int n = static_cast<int>(solver.getNumberOfVariables());
    Columns columns(n);
    solver.getStores().jacobian.evaluate(columns);
    std::vector<int> ap, ai;
    std::vector<double> ax, rhs(n, 1.0);
    columns.compress(ap, ai, ax);
    klu_common common;
    klu_defaults(&common);
    klu_symbolic* pSymbolic = klu_analyze(n, ap.data(), ai.data(), &common);
    klu_numeric* pNumeric = pSymbolic ? klu_factor(ap.data(), ai.data(), ax.data(), pSymbolic, &common) : nullptr;
    if (!pNumeric)
    {
        klu_free_symbolic(&pSymbolic, &common);
        return NAN;
    }
    const auto t0 = Clock::now();
    for (int r = 0; r < cReps; ++r)
    {
        klu_refactor(ap.data(), ai.data(), ax.data(), pSymbolic, pNumeric, &common);
        std::fill(rhs.begin(), rhs.end(), 1.0);
        klu_solve(pSymbolic, pNumeric, n, 1, rhs.data(), &common);
    }
    const double ms = msSince(t0) / cReps;
    klu_free_numeric(&pNumeric, &common);
    klu_free_symbolic(&pSymbolic, &common);
    return ms;
}

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
    t0 = Clock::now();
    const sc::Solution status = pSolver->step(cSteps);
    const double stepsMs = msSince(t0);
    const double iterations = static_cast<double>(pSolver->getTotalIterations()) / cSteps;
    const sparse::FactorStats stats = pSolver->getFactorStats();
    const double perStep = stepsMs / cSteps, perIteration = perStep / iterations;
    const double klu = kluRefactorSolve(*pSolver);
    std::printf("  %-6s %-9s %6u unknowns, %7u Jacobian entries: load %5.0f ms, build %5.0f ms; status %d; "
                "%.2f iterations/step, %.3f ms/step, %.3f ms/iteration; factorisations %u + %u refactorisations in "
                "%d steps; KLU refactor+solve %.3f ms; iteration / KLU %.2f\n",
                method, linear ? "linear" : "nonlinear", pSolver->getNumberOfVariables(),
                pSolver->getJacobianEntryCount(), loadMs, buildMs, static_cast<int>(status), iterations, perStep,
                perIteration, stats.factorisations, stats.refactorisations, cSteps, klu, perIteration / klu);
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
