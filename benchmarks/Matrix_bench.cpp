// The sparse LU layer on a generated power-flow-like Jacobian of 10,000 buses (20,000
// unknowns: an angle and a magnitude per bus, a 2 x 2 block per bus and per branch end):
// a Newton iteration's fill, refactorisation and solve through the layer, against KLU
// called directly on the same arrays and against a solver made afresh every iteration.
#include <algorithm>
#include <complex>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <klu.h>

#include <sparse/ISolver.h>

namespace
{
constexpr int cSide = 100;
constexpr int cBuses = cSide * cSide;
constexpr int cUnknowns = 2 * cBuses;

template <typename T> T value(double re, double im)
{
    if constexpr (std::is_same_v<T, double>)
        return re;
    else
        return T(re, im);
}

// Cells in the order of a Jacobian walk, with two sets of values that iterations alternate.
template <typename T> struct Jacobian
{
    std::vector<int> rows;
    std::vector<int> cols;
    std::vector<T> values[2];
    std::vector<T> rhs;

    Jacobian()
    {
        // Buses on a 100 x 100 map, each linked to some of its nearest neighbours: about
        // 1.5 branches per bus and only short ones, as in transmission grids.
        std::mt19937 rng(20240611);
        std::vector<std::vector<int>> neighbours(cBuses);
        auto link = [&](int a, int b) {
            neighbours[a].push_back(b);
            neighbours[b].push_back(a);
        };
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        for (int r = 0; r < cSide; ++r)
            for (int c = 0; c < cSide; ++c)
            {
                const int i = r * cSide + c;
                if (c + 1 < cSide && chance(rng) < 0.7)
                    link(i, i + 1);
                if (r + 1 < cSide && chance(rng) < 0.7)
                    link(i, i + cSide);
                if (r + 1 < cSide && c + 1 < cSide && chance(rng) < 0.1)
                    link(i, i + cSide + 1);
            }

        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (int i = 0; i < cBuses; ++i)
        {
            std::vector<int> blockCols = neighbours[i];
            blockCols.push_back(i);
            for (int j : blockCols)
                for (int a = 0; a < 2; ++a)
                    for (int b = 0; b < 2; ++b)
                    {
                        const double dominant = (i == j && a == b) ? 4.0 * static_cast<double>(blockCols.size()) : 0.0;
                        rows.push_back(2 * i + a);
                        cols.push_back(2 * j + b);
                        const T v = value<T>(dominant + u(rng), u(rng));
                        values[0].push_back(v);
                        values[1].push_back(v * value<T>(1.0 + 0.01 * u(rng), 0.01 * u(rng)));
                    }
        }
        for (int i = 0; i < cUnknowns; ++i)
            rhs.push_back(value<T>(u(rng), u(rng)));
    }

    void fill(sparse::ISolver<T>& s, int set) const
    {
        const T* v = values[set].data();
        for (std::size_t k = 0; k < rows.size(); ++k)
            s.put(rows[k], cols[k], v + k);
    }
};

template <typename T> const Jacobian<T>& jacobian()
{
    static const Jacobian<T> j;
    return j;
}

template <typename T> sparse::ISolver<T>* makeSolver()
{
    return sparse::createSolver<T>(cUnknowns, static_cast<td::INT4>(jacobian<T>().rows.size() * 3 / 2),
                                   sparse::Symmetry::General, sparse::SolverType::LU, sparse::Pivoting::Threshold,
                                   sparse::Ordering::AMD);
}

// One Newton iteration's linear algebra through the layer: fill, refactor, solve.
template <typename T> void FillRefactorSolve(benchmark::State& state)
{
    const Jacobian<T>& j = jacobian<T>();
    sparse::ISolver<T>* s = makeSolver<T>();
    j.fill(*s, 0);
    s->factorise();
    std::vector<T> x(cUnknowns);
    int set = 0;
    for (auto _ : state)
    {
        set ^= 1;
        s->begin();
        j.fill(*s, set);
        const bool ok = s->factorise() && s->solve(j.rhs.data(), x.data());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["analyses"] = s->getStats().analyses;
    state.counters["refactors"] = s->getStats().refactorisations;
    state.counters["nonzeros"] = static_cast<double>(j.rows.size());
    s->release();
}

// The fill alone: every cell written into its slot.
template <typename T> void Fill(benchmark::State& state)
{
    const Jacobian<T>& j = jacobian<T>();
    sparse::ISolver<T>* s = makeSolver<T>();
    j.fill(*s, 0);
    s->factorise();
    int set = 0;
    for (auto _ : state)
    {
        set ^= 1;
        s->begin();
        j.fill(*s, set);
        benchmark::ClobberMemory();
    }
    s->release();
}

// What a solver released and made again every iteration costs: analysis, factorisation, solve.
template <typename T> void FreshSolverEachIteration(benchmark::State& state)
{
    const Jacobian<T>& j = jacobian<T>();
    std::vector<T> x(cUnknowns);
    int set = 0;
    for (auto _ : state)
    {
        set ^= 1;
        sparse::ISolver<T>* s = makeSolver<T>();
        j.fill(*s, set);
        const bool ok = s->factorise() && s->solve(j.rhs.data(), x.data());
        benchmark::DoNotOptimize(ok);
        s->release();
    }
}

// KLU called directly on compressed columns of the same matrix: refactor and solve.
template <typename T> void KluRefactorSolve(benchmark::State& state)
{
    const Jacobian<T>& j = jacobian<T>();
    std::vector<std::size_t> order(j.rows.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return j.cols[a] != j.cols[b] ? j.cols[a] < j.cols[b] : j.rows[a] < j.rows[b];
    });
    std::vector<int> ap(cUnknowns + 1, 0), ai;
    std::vector<T> ax[2];
    for (std::size_t k : order)
    {
        ++ap[static_cast<std::size_t>(j.cols[k]) + 1];
        ai.push_back(j.rows[k]);
        ax[0].push_back(j.values[0][k]);
        ax[1].push_back(j.values[1][k]);
    }
    for (int c = 0; c < cUnknowns; ++c)
        ap[static_cast<std::size_t>(c) + 1] += ap[static_cast<std::size_t>(c)];

    constexpr bool complex = !std::is_same_v<T, double>;
    auto raw = [](std::vector<T>& v) { return reinterpret_cast<double*>(v.data()); };
    klu_common common;
    klu_defaults(&common);
    klu_symbolic* symbolic = klu_analyze(cUnknowns, ap.data(), ai.data(), &common);
    klu_numeric* numeric = complex ? klu_z_factor(ap.data(), ai.data(), raw(ax[0]), symbolic, &common)
                                   : klu_factor(ap.data(), ai.data(), raw(ax[0]), symbolic, &common);
    std::vector<T> x(cUnknowns);
    int set = 0;
    for (auto _ : state)
    {
        set ^= 1;
        std::copy(j.rhs.begin(), j.rhs.end(), x.begin());
        if constexpr (complex)
        {
            klu_z_refactor(ap.data(), ai.data(), raw(ax[set]), symbolic, numeric, &common);
            klu_z_solve(symbolic, numeric, cUnknowns, 1, raw(x), &common);
        }
        else
        {
            klu_refactor(ap.data(), ai.data(), raw(ax[set]), symbolic, numeric, &common);
            klu_solve(symbolic, numeric, cUnknowns, 1, raw(x), &common);
        }
        benchmark::DoNotOptimize(x.data());
    }
    klu_free_numeric(&numeric, &common);
    klu_free_symbolic(&symbolic, &common);
}

BENCHMARK_TEMPLATE(FillRefactorSolve, double)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(FillRefactorSolve, std::complex<double>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Fill, double)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Fill, std::complex<double>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(KluRefactorSolve, double)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(KluRefactorSolve, std::complex<double>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(FreshSolverEachIteration, double)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(FreshSolverEachIteration, std::complex<double>)->Unit(benchmark::kMillisecond);
} // namespace
