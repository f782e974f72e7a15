// Nanoseconds per stack-machine operation over a large generated set of evaluators,
// for both builds.
#include <complex>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "EngineSupport.h"

namespace
{
using C = sl::TokenCodes;
constexpr td::UINT4 cVars = 50;
constexpr td::UINT4 cParams = 50;
constexpr int cEvaluators = 2000;
constexpr int cDepth = 5;

template <typename T> void emit(std::vector<sl::Token<T>>& out, std::mt19937& rng, int depth)
{
    using K = test::Tokens<T>;
    std::uniform_int_distribution<int> pick(0, 99);
    int p = pick(rng);
    if (depth == 0 || p < 10)
    {
        if (p % 3 == 0)
            out.push_back(K::num(T(1.0 + pick(rng) / 100.0)));
        else
            out.push_back(K::sym(static_cast<td::UINT4>(pick(rng)) % (cVars + cParams)));
        return;
    }
    if (p < 25)
    {
        static const td::BYTE unary[] = {C::SIN, C::COS, C::ATG, C::SQR};
        emit(out, rng, depth - 1);
        out.push_back(K::fn(unary[p % 4]));
        return;
    }
    static const td::BYTE binary[] = {C::ADD, C::SUB, C::MUL, C::DIV, C::ADD, C::MUL};
    emit(out, rng, depth - 1);
    emit(out, rng, depth - 1);
    out.push_back(K::op(binary[p % 6]));
}

template <typename T> struct Workload
{
    test::Pools<T> pools;
    test::FakeSolver<T> solver{cVars, cParams};
    std::vector<sl::Evaluator<T>*> evaluators;
    std::size_t operations = 0;

    Workload()
    {
        std::mt19937 rng(12345);
        for (std::size_t i = 0; i < solver.values.size(); ++i)
            solver.values[i] = T(0.5 + 0.01 * static_cast<double>(i));
        while (operations < 100000 || evaluators.size() < static_cast<std::size_t>(cEvaluators))
        {
            std::vector<sl::Token<T>> postfix;
            emit(postfix, rng, cDepth);
            sl::Evaluator<T>* e = test::make(pools, postfix, cVars);
            operations += e->getNumberOfInstructions();
            evaluators.push_back(e);
        }
    }
};

template <typename T> void evaluateAll(benchmark::State& state)
{
    static Workload<T> work;
    for (auto _ : state)
    {
        sl::CU<T> cu(&work.solver);
        T sum(0);
        for (const sl::Evaluator<T>* e : work.evaluators)
            sum += cu.evaluate(*e);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["operations"] = static_cast<double>(work.operations);
    // Seconds per operation, shown with an SI prefix (n: nanoseconds).
    state.counters["sec_per_op"] =
        benchmark::Counter(static_cast<double>(work.operations),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void realEvaluators(benchmark::State& state) { evaluateAll<double>(state); }
void complexEvaluators(benchmark::State& state) { evaluateAll<std::complex<double>>(state); }
} // namespace

BENCHMARK(realEvaluators);
BENCHMARK(complexEvaluators);
