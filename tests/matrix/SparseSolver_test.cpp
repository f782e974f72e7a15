#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sparse/ISolver.h>

#include "MatrixSupport.h"

namespace
{
using test::Cells;
using test::Cmplx;
using test::randomValue;
using test::SolverHandle;
using test::val;

template <typename T> class SparseSolver : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(SparseSolver, Builds);

// Fills the solver with the cells, factorises, and solves A x = A xTrue both ways.
template <typename T> void expectSolves(sparse::ISolver<T>& solver, const Cells<T>& cells, int n,
                                        const std::vector<T>& xTrue, const std::string& what)
{
    cells.putInto(solver);
    ASSERT_TRUE(solver.factorise()) << what;
    const std::vector<T> b = cells.toDense(n, n).times(xTrue);
    std::vector<T> x(static_cast<std::size_t>(n));
    ASSERT_TRUE(solver.solve(b.data(), x.data())) << what;
    EXPECT_LE(test::relativeError(x, xTrue), 1e-12) << what;

    std::vector<T> inPlace = b;
    ASSERT_TRUE(solver.solve(inPlace.data(), inPlace.data())) << what;
    EXPECT_LE(test::relativeError(inPlace, xTrue), 1e-12) << what;

    for (int i = 0; i < n; ++i)
        solver.putRHS(i, b[static_cast<std::size_t>(i)]);
    ASSERT_TRUE(solver.solve()) << what;
    std::vector<T> stored(solver.getSolution(0), solver.getSolution(0) + n);
    EXPECT_LE(test::relativeError(stored, xTrue), 1e-12) << what;
}

TYPED_TEST(SparseSolver, KnownSystemsSolveToTheirSolutions)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    struct Case
    {
        std::string name;
        int n;
        Cells<T> cells;
    };
    std::vector<Case> cases;
    {
        Case c{"tridiagonal", 3, {}};
        c.cells.add(0, 0, val<T>(4));
        c.cells.add(0, 1, val<T>(-1));
        c.cells.add(1, 0, val<T>(-1));
        c.cells.add(1, 1, val<T>(4, 1));
        c.cells.add(1, 2, val<T>(-1));
        c.cells.add(2, 1, val<T>(-1));
        c.cells.add(2, 2, val<T>(4));
        cases.push_back(c);
    }
    {
        // Zero diagonal: only row exchanges make it solvable.
        Case c{"needs pivoting", 3, {}};
        c.cells.add(0, 1, val<T>(2));
        c.cells.add(1, 2, val<T>(-3, 1));
        c.cells.add(2, 0, val<T>(5));
        c.cells.add(2, 2, val<T>(1));
        c.cells.add(0, 2, val<T>(0.5));
        cases.push_back(c);
    }
    {
        // A lower triangular block feeding a coupled pair: several diagonal blocks.
        Case c{"block triangular", 4, {}};
        c.cells.add(0, 0, val<T>(2));
        c.cells.add(1, 0, val<T>(1));
        c.cells.add(1, 1, val<T>(3, -2));
        c.cells.add(2, 1, val<T>(1));
        c.cells.add(2, 2, val<T>(1));
        c.cells.add(2, 3, val<T>(2));
        c.cells.add(3, 2, val<T>(3));
        c.cells.add(3, 3, val<T>(1e-3));
        cases.push_back(c);
    }
    cases.push_back(Case{"random 500", 500, test::randomSystem<T>(500, 4, rng)});
    {
        // Scaled rows: magnitudes from 1e-6 to 1e6.
        Case c{"badly scaled rows", 200, test::randomSystem<T>(200, 3, rng)};
        for (auto& cell : c.cells.list)
            cell.value *= std::pow(10.0, (cell.row % 13) - 6);
        cases.push_back(c);
    }
    for (const Case& c : cases)
    {
        SolverHandle<T> solver(c.n);
        std::vector<T> xTrue = test::randomVector<T>(c.n, rng);
        xTrue[0] = val<T>(1.0);
        expectSolves(*solver, c.cells, c.n, xTrue, c.name);
    }
}

TYPED_TEST(SparseSolver, PivotingAndOrderingChoicesGiveTheSameSolution)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    const int n = 300;
    const Cells<T> cells = test::randomSystem<T>(n, 5, rng);
    const std::vector<T> xTrue = test::randomVector<T>(n, rng);
    for (sparse::Pivoting pivoting : {sparse::Pivoting::Partial, sparse::Pivoting::Threshold})
        for (sparse::Ordering ordering : {sparse::Ordering::AMD, sparse::Ordering::COLAMD})
        {
            SolverHandle<T> solver(n, pivoting, ordering);
            expectSolves(*solver, cells, n, xTrue,
                         "pivoting " + std::to_string(int(pivoting)) + " ordering " + std::to_string(int(ordering)));
        }
}

TYPED_TEST(SparseSolver, SingularAndNonFiniteMatricesAreRefused)
{
    using T = TypeParam;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        const char* name;
        std::vector<std::vector<double>> rows; // 3 x 3, dense; 0 is no cell
        std::vector<std::pair<int, int>> zeroCells;
    } cases[] = {
        {"equal rows", {{1, 2, 3}, {4, 5, 6}, {1, 2, 3}}, {}},
        {"dependent columns", {{1, 2, 3}, {2, 4, 7}, {3, 6, 1}}, {}},
        {"empty column", {{1, 0, 3}, {4, 0, 6}, {7, 0, 9}}, {}},
        {"cells of value zero", {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}}, {{1, 1}}},
        {"NaN cell", {{1, 0, 0}, {0, nan, 0}, {0, 0, 1}}, {}},
        {"infinite cell", {{1, 0, 0}, {0, 1, inf}, {0, 0, 1}}, {}},
        {"negative infinite off the pivots", {{1, 0, -inf}, {0, 1, 0}, {0, 0, 1}}, {}},
    };
    const std::vector<T> rhs{val<T>(1), val<T>(2), val<T>(3)};
    for (const Case& c : cases)
    {
        SolverHandle<T> solver(3);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
            {
                const double v = c.rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                if (v != 0.0 || std::find(c.zeroCells.begin(), c.zeroCells.end(), std::pair(i, j)) != c.zeroCells.end())
                {
                    const T value = val<T>(v);
                    solver->put(i, j, &value);
                }
            }
        EXPECT_FALSE(solver->factorise()) << c.name;
        EXPECT_FALSE(solver->isFactorised()) << c.name;
        std::vector<T> x(3, val<T>(42));
        EXPECT_FALSE(solver->solve(rhs.data(), x.data())) << c.name;
        EXPECT_EQ(x[0], val<T>(42)) << c.name << ": a refused solve leaves x alone";
        EXPECT_FALSE(solver->solve()) << c.name;

        // A regular fill after the failure factorises again.
        solver->begin();
        for (int i = 0; i < 3; ++i)
        {
            const T one = val<T>(i + 1.0);
            solver->put(i, i, &one);
        }
        ASSERT_TRUE(solver->factorise()) << c.name;
        ASSERT_TRUE(solver->solve(rhs.data(), x.data())) << c.name;
        EXPECT_EQ(x[2], val<T>(1)) << c.name;
    }
}

TYPED_TEST(SparseSolver, SolvingWithoutAFactorisationIsRefused)
{
    using T = TypeParam;
    const std::vector<T> rhs{val<T>(1), val<T>(2)};
    std::vector<T> x(2, val<T>(0));

    SolverHandle<T> fresh(2);
    EXPECT_FALSE(fresh->isFactorised());
    EXPECT_FALSE(fresh->solve(rhs.data(), x.data()));
    // Cells put but not factorised: still nothing to solve with.
    const T one = val<T>(1);
    fresh->put(0, 0, &one);
    fresh->put(1, 1, &one);
    EXPECT_FALSE(fresh->solve(rhs.data(), x.data()));

    // No cells, or no unknowns: nothing to factorise.
    SolverHandle<T> noCells(2);
    EXPECT_FALSE(noCells->factorise());
    EXPECT_FALSE(noCells->solve());
    SolverHandle<T> noUnknowns(0);
    EXPECT_FALSE(noUnknowns->factorise());
    EXPECT_FALSE(noUnknowns->solve());
}

TYPED_TEST(SparseSolver, NonFiniteSolutionsAreRefusedAndDropTheFactorisation)
{
    using T = TypeParam;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    SolverHandle<T> solver(2);
    const T tiny = val<T>(1e-300), one = val<T>(1);
    solver->put(0, 0, &tiny);
    solver->put(1, 1, &one);
    ASSERT_TRUE(solver->factorise());

    struct Case
    {
        const char* name;
        std::vector<T> rhs;
    } cases[] = {
        {"overflowing solution", {val<T>(1e300), val<T>(1)}},
        {"NaN right-hand side", {val<T>(1), val<T>(nan)}},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(solver->factorise()) << c.name;
        std::vector<T> x(2);
        EXPECT_FALSE(solver->solve(c.rhs.data(), x.data())) << c.name;
        EXPECT_FALSE(solver->isFactorised()) << c.name;
        const std::vector<T> fine{val<T>(0), val<T>(1)};
        EXPECT_FALSE(solver->solve(fine.data(), x.data())) << c.name << ": the failed factorisation is not reused";
    }
    // The filled system: solve() factorises again, then refuses the overflow.
    solver->putRHS(0, val<T>(1e300));
    EXPECT_FALSE(solver->solve());
    solver->putRHS(0, val<T>(1e-300));
    ASSERT_TRUE(solver->solve());
    EXPECT_EQ(*solver->getSolution(0), val<T>(1));
}

TYPED_TEST(SparseSolver, ALaterPutOnTheSameCellReplacesTheValue)
{
    using T = TypeParam;
    const std::vector<T> rhs{val<T>(6), val<T>(8)};
    std::vector<T> x(2);
    auto put = [](sparse::ISolver<T>& s, int r, int c, double v) {
        const T value = val<T>(v);
        s.put(r, c, &value);
    };
    SolverHandle<T> solver(2);
    // First fill, while the pattern is learnt: the conditional walk's zero, then the value.
    put(*solver, 0, 0, 0);
    put(*solver, 0, 0, 5);
    put(*solver, 0, 0, 3);
    put(*solver, 1, 1, 4);
    ASSERT_TRUE(solver->factorise());
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_EQ(x, (std::vector<T>{val<T>(2), val<T>(2)}));

    // A later fill in the same order, and one that puts a cell twice out of order.
    put(*solver, 0, 0, 0);
    put(*solver, 0, 0, 2);
    put(*solver, 1, 1, 8);
    ASSERT_TRUE(solver->factorise());
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_EQ(x, (std::vector<T>{val<T>(3), val<T>(1)}));
    put(*solver, 1, 1, 1);
    put(*solver, 0, 0, 6);
    put(*solver, 1, 1, 2);
    ASSERT_TRUE(solver->factorise());
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_EQ(x, (std::vector<T>{val<T>(1), val<T>(4)}));
    EXPECT_EQ(solver->getStats().analyses, 1u);

    // Without begin a cell not put keeps its value; begin zeroes it.
    put(*solver, 0, 1, 1);
    put(*solver, 0, 0, 1);
    put(*solver, 1, 1, 1);
    ASSERT_TRUE(solver->factorise());
    put(*solver, 1, 1, 2);
    ASSERT_TRUE(solver->factorise());
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_EQ(x, (std::vector<T>{val<T>(2), val<T>(4)}));
    solver->begin();
    put(*solver, 0, 0, 1);
    put(*solver, 1, 1, 2);
    ASSERT_TRUE(solver->factorise());
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_EQ(x, (std::vector<T>{val<T>(6), val<T>(4)}));
}

// Fills in scattered order: cells put twice in one fill (the later value stays), a later
// fill whose new cells fall between the cells of the pattern (which grows around them),
// and a refill after that growth, which must find every cell, old or new, in its slot.
TYPED_TEST(SparseSolver, FillsInAnyOrderGrowThePatternAroundItsCells)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    const int n = 50;
    auto expectSolution = [&](sparse::ISolver<T>& solver, const Cells<T>& system, const std::string& what) {
        ASSERT_TRUE(solver.factorise()) << what;
        const std::vector<T> xTrue = test::randomVector<T>(n, rng);
        const std::vector<T> b = system.toDense(n, n).times(xTrue);
        std::vector<T> x(static_cast<std::size_t>(n));
        ASSERT_TRUE(solver.solve(b.data(), x.data())) << what;
        EXPECT_LE(test::relativeError(x, xTrue), 1e-12) << what;
    };
    // The first fill: every cell in a shuffled order, a tenth of them first with a value
    // that a later put replaces.
    Cells<T> first = test::randomSystem<T>(n, 2, rng);
    std::shuffle(first.list.begin(), first.list.end(), rng);
    Cells<T> puts;
    for (std::size_t k = 0; k < first.list.size(); k += 10)
        puts.add(first.list[k].row, first.list[k].col, val<T>(1e3));
    std::shuffle(puts.list.begin(), puts.list.end(), rng);
    for (const auto& c : first.list)
        puts.list.push_back(c);
    SolverHandle<T> solver(n);
    puts.putInto(*solver);
    expectSolution(*solver, puts, "first fill");

    // A second fill, in reverse order, with cells between the pattern's in every column.
    Cells<T> second;
    for (auto it = first.list.rbegin(); it != first.list.rend(); ++it)
        second.add(it->row, it->col, randomValue<T>(rng) + (it->row == it->col ? val<T>(4) : val<T>(0)));
    for (int c = 0; c < n; ++c)
        second.add((c * 7 + 3) % n, c, randomValue<T>(rng) * val<T>(0.1));
    std::shuffle(second.list.end() - n, second.list.end(), rng);
    solver->begin();
    second.putInto(*solver);
    expectSolution(*solver, second, "grown pattern");

    // A refill of the grown fill's puts with new values.
    Cells<T> third = second;
    std::vector<T> values;
    for (auto& c : third.list)
    {
        c.value = c.row == c.col ? val<T>(6) + randomValue<T>(rng) : randomValue<T>(rng);
        values.push_back(c.value);
    }
    ASSERT_TRUE(solver->refill(values.data(), static_cast<td::INT4>(values.size())));
    expectSolution(*solver, third, "refill after growth");

    // A first fill row by row (as a Jacobian's walk puts it), its columns in any order
    // within a row and a tenth of its cells put twice there, the later value staying.
    Cells<T> rows = test::randomSystem<T>(n, 3, rng);
    std::shuffle(rows.list.begin(), rows.list.end(), rng);
    std::stable_sort(rows.list.begin(), rows.list.end(), [](const auto& a, const auto& b) { return a.row < b.row; });
    Cells<T> rowPuts;
    for (std::size_t k = 0; k < rows.list.size(); ++k)
    {
        if (k % 10 == 0)
            rowPuts.add(rows.list[k].row, rows.list[k].col, val<T>(-1e3));
        rowPuts.list.push_back(rows.list[k]);
    }
    SolverHandle<T> byRows(n);
    rowPuts.putInto(*byRows);
    expectSolution(*byRows, rowPuts, "first fill row by row");
}

// A refill repeats the cells of the last factorised fill with new values: the same
// system as begin and those puts (a cell put twice keeps its later value, a pattern
// cell the fill did not put is zero), and it is refused while it cannot be that.
TYPED_TEST(SparseSolver, ARefillRepeatsTheCellsOfTheLastFill)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    const int n = 40;
    Cells<T> cells = test::randomSystem<T>(n, 3, rng);
    // An extra cell kept in the pattern by an earlier fill only, and a cell put twice.
    Cells<T> wider = cells;
    wider.add(0, n - 1, val<T>(0.5));
    SolverHandle<T> solver(n);
    wider.putInto(*solver);
    ASSERT_TRUE(solver->factorise());
    // Without begin the extra cell keeps its value through the second fill.
    cells.add(cells.list[0].row, cells.list[0].col, val<T>(7));
    cells.putInto(*solver);
    ASSERT_TRUE(solver->factorise());

    for (auto& cell : cells.list)
        cell.value *= val<T>(0.9, 0.3);
    std::vector<T> values;
    for (const auto& cell : cells.list)
        values.push_back(cell.value);
    const auto nCells = static_cast<td::INT4>(values.size());
    EXPECT_FALSE(solver->refill(values.data(), nCells - 1));
    ASSERT_TRUE(solver->refill(values.data(), nCells));
    ASSERT_TRUE(solver->factorise());
    EXPECT_TRUE(solver->isSymbolicReused());
    const std::vector<T> xTrue = test::randomVector<T>(n, rng);
    const std::vector<T> b = cells.toDense(n, n).times(xTrue);
    std::vector<T> x(static_cast<std::size_t>(n));
    ASSERT_TRUE(solver->solve(b.data(), x.data()));
    EXPECT_LE(test::relativeError(x, xTrue), 1e-12);

    // Refills after a fill that puts every cell and after one that leaves the extra cell
    // out again: the extra cell holds its refilled value, then zero.
    for (const Cells<T>* pFill : {&wider, &cells})
    {
        solver->begin();
        pFill->putInto(*solver);
        ASSERT_TRUE(solver->factorise());
        Cells<T> scaled = *pFill;
        std::vector<T> refilled;
        for (auto& cell : scaled.list)
        {
            cell.value *= val<T>(1.5);
            refilled.push_back(cell.value);
        }
        ASSERT_TRUE(solver->refill(refilled.data(), static_cast<td::INT4>(refilled.size())));
        ASSERT_TRUE(solver->factorise());
        const std::vector<T> bScaled = scaled.toDense(n, n).times(xTrue);
        ASSERT_TRUE(solver->solve(bScaled.data(), x.data()));
        EXPECT_LE(test::relativeError(x, xTrue), 1e-12) << (pFill == &wider ? "every cell" : "extra cell left out");
    }

    // A fill under way, a solver never filled, and a fill that met a new cell refuse.
    const T one = val<T>(1);
    solver->begin();
    solver->put(0, 0, &one);
    EXPECT_FALSE(solver->refill(values.data(), nCells));
    SolverHandle<T> fresh(n);
    EXPECT_FALSE(fresh->refill(values.data(), nCells));
    fresh->put(1, 2, &one);
    EXPECT_FALSE(fresh->refill(&one, 1));
}

TYPED_TEST(SparseSolver, SymbolicAnalysisIsKeptWhileThePatternStays)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    const int n = 60;
    Cells<T> cells = test::randomSystem<T>(n, 3, rng);
    SolverHandle<T> solver(n);
    auto check = [&](const char* step, bool reused, unsigned analyses) {
        std::vector<T> xTrue = test::randomVector<T>(n, rng);
        expectSolves(*solver, cells, n, xTrue, step);
        EXPECT_EQ(solver->isSymbolicReused(), reused) << step;
        EXPECT_EQ(solver->getStats().analyses, analyses) << step;
    };
    check("first fill", false, 1);

    // New values on the same cells: numeric refactorisation only.
    for (auto& cell : cells.list)
        cell.value *= val<T>(1.1, 0.2);
    check("new values", true, 1);
    EXPECT_EQ(solver->getStats().factorisations, 1u);
    EXPECT_EQ(solver->getStats().refactorisations, 1u);

    // The same cells in another order.
    std::reverse(cells.list.begin(), cells.list.end());
    check("reversed order", true, 1);

    // The conditional walk: the cells of a row zeroed first, then every value set.
    Cells<T> walk;
    for (const auto& c : cells.list)
        if (c.row == 5)
            walk.add(c.row, c.col, val<T>(0));
    walk.list.insert(walk.list.end(), cells.list.begin(), cells.list.end());
    std::swap(cells, walk);
    check("conditional walk", true, 1);

    // A new cell widens the pattern: a fresh analysis, then reuse again.
    cells.add(0, n - 1, val<T>(0.25));
    check("new cell", false, 2);
    check("after the change", true, 2);
}

TYPED_TEST(SparseSolver, KeptPivotsThatMeetAZeroArePickedAfresh)
{
    using T = TypeParam;
    auto fill = [](sparse::ISolver<T>& s, double a00) {
        const T a = val<T>(a00), one = val<T>(1), two = val<T>(2);
        s.put(0, 0, &a);
        s.put(0, 1, &one);
        s.put(1, 0, &one);
        s.put(1, 1, &two);
    };
    SolverHandle<T> solver(2);
    fill(*solver, 4);
    ASSERT_TRUE(solver->factorise());
    // [0 1; 1 2] is regular, but the pivot kept from [4 1; 1 2] is now zero.
    fill(*solver, 0);
    ASSERT_TRUE(solver->factorise());
    EXPECT_TRUE(solver->isSymbolicReused());
    EXPECT_EQ(solver->getStats().factorisations, 2u);
    EXPECT_EQ(solver->getStats().refactorisations, 0u);
    const std::vector<T> rhs{val<T>(1), val<T>(4)};
    std::vector<T> x(2);
    ASSERT_TRUE(solver->solve(rhs.data(), x.data()));
    EXPECT_LE(test::relativeError(x, std::vector<T>{val<T>(2), val<T>(1)}), 1e-15);
}

TYPED_TEST(SparseSolver, SolveFactorisesTheFilledSystemWhenItsValuesChanged)
{
    using T = TypeParam;
    SolverHandle<T> solver(1);
    const T two = val<T>(2), four = val<T>(4, 2);
    solver->put(0, 0, &two);
    solver->putRHS(0, val<T>(8));
    ASSERT_TRUE(solver->solve());
    EXPECT_EQ(*solver->getSolution(0), val<T>(4));
    solver->put(0, 0, &four);
    ASSERT_TRUE(solver->solve());
    EXPECT_LE(std::abs(*solver->getSolution(0) - val<T>(8) / four), 1e-15);
    // begin zeroes the right-hand side too.
    solver->begin();
    solver->put(0, 0, &two);
    ASSERT_TRUE(solver->solve());
    EXPECT_EQ(*solver->getSolution(0), val<T>(0));
}
} // namespace

namespace
{
template <typename T> bool sameBits(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Factorises what was filled and solves for b.
template <typename T> std::vector<T> factoriseAndSolve(sparse::ISolver<T>& solver, const std::vector<T>& b)
{
    std::vector<T> x(b.size());
    EXPECT_TRUE(solver.factorise());
    EXPECT_TRUE(solver.solve(b.data(), x.data()));
    return x;
}

// An analysis taken out of one solver serves another one only for exactly its pattern and
// its ordering, and there gives the values of a solver that analysed for itself, bit for bit.
TYPED_TEST(SparseSolver, AnAnalysisHandedOnServesExactlyItsPattern)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    const int n = 80;
    const Cells<T> cells = test::randomSystem<T>(n, 4, rng);
    const std::vector<T> b = test::randomVector<T>(n, rng);
    // (A cell put twice keeps its later value: the reversed fill is another matrix.)
    Cells<T> reversed = cells;
    std::reverse(reversed.list.begin(), reversed.list.end());
    SolverHandle<T> first(n), own(n);
    cells.putInto(*first);
    reversed.putInto(*own);
    const std::vector<T> expected = factoriseAndSolve(*own, b);
    factoriseAndSolve(*first, b);
    EXPECT_EQ(own->takeAnalysis() != nullptr, true);
    EXPECT_FALSE(own->isFactorised());
    EXPECT_EQ(own->takeAnalysis(), nullptr);
    std::vector<T> x(static_cast<std::size_t>(n));
    EXPECT_FALSE(own->solve(b.data(), x.data()));

    // The same cells in another order: no analysis of its own, the solution of its own.
    auto handOn = [&](sparse::ISolver<T>& from, sparse::ISolver<T>& to, const Cells<T>& fill) {
        to.giveAnalysis(from.takeAnalysis());
        fill.putInto(to);
        return factoriseAndSolve(to, b);
    };
    SolverHandle<T> second(n);
    EXPECT_TRUE(sameBits(handOn(*first, *second, reversed), expected));
    EXPECT_EQ(second->getStats().analyses, 0u);
    EXPECT_EQ(second->getStats().analysesAdopted, 1u);
    EXPECT_TRUE(second->isSymbolicReused());
    // Kept while the pattern stays, as an analysis of its own.
    reversed.putInto(*second);
    EXPECT_TRUE(sameBits(factoriseAndSolve(*second, b), expected));
    EXPECT_EQ(second->getStats().analyses, 0u);
    EXPECT_EQ(second->getStats().refactorisations, 1u);

    // Another pattern (a cell more, a cell moved), another size or another ordering: analysed
    // anew, and solved right.
    Cells<T> wider = cells, moved = cells;
    wider.add(0, n - 1, val<T>(0.125));
    for (auto& cell : moved.list)
    {
        if (cell.row != cell.col && cell.col + 1 < n && moved.toDense(n, n).at(cell.row, cell.col + 1) == T(0))
        {
            ++cell.col;
            break;
        }
    }
    Cells<T> larger = cells;
    larger.add(n, n, val<T>(1));
    SolverHandle<T> toWider(n), toMoved(n), toLarger(n + 1),
        toColamd(n, sparse::Pivoting::Threshold, sparse::Ordering::COLAMD);
    struct Case
    {
        const char* name;
        sparse::ISolver<T>* pTo;
        const Cells<T>* pFill;
    };
    sparse::ISolver<T>* pFrom = second.p;
    for (const Case& c : {Case{"a cell more", toWider.p, &wider}, Case{"a cell moved", toMoved.p, &moved},
                          Case{"a size more", toLarger.p, &larger}, Case{"another ordering", toColamd.p, &cells}})
    {
        const int size = c.pTo->size();
        std::vector<T> xTrue = test::randomVector<T>(size, rng);
        const std::vector<T> rhs = c.pFill->toDense(size, size).times(xTrue);
        c.pTo->giveAnalysis(pFrom->takeAnalysis());
        c.pFill->putInto(*c.pTo);
        ASSERT_TRUE(c.pTo->factorise()) << c.name;
        std::vector<T> solved(static_cast<std::size_t>(size));
        ASSERT_TRUE(c.pTo->solve(rhs.data(), solved.data())) << c.name;
        EXPECT_LE(test::relativeError(solved, xTrue), 1e-12) << c.name;
        EXPECT_EQ(c.pTo->getStats().analyses, 1u) << c.name;
        EXPECT_EQ(c.pTo->getStats().analysesAdopted, 0u) << c.name;
        pFrom = c.pTo;
    }
}

// pivotAfresh makes the next factorisation choose its pivots as a new solver's first does,
// where a refactorisation keeps those of the last one: the values of a new solver filled
// alike, also where it refactorises over pivots chosen at exactly the same values.
TYPED_TEST(SparseSolver, PivotsChosenAfreshGiveTheValuesOfANewSolver)
{
    using T = TypeParam;
    // [a 1 0; 1 1.1 1; 0 0.3 3]: a tiny a is no pivot; then a = 0.7 is.
    auto fill = [](sparse::ISolver<T>& s, double a) {
        const T cells[] = {val<T>(a, 0.25), val<T>(1), val<T>(1), val<T>(1.1), val<T>(1), val<T>(0.3), val<T>(3)};
        const int rows[] = {0, 0, 1, 1, 1, 2, 2}, cols[] = {0, 1, 0, 1, 2, 1, 2};
        s.begin();
        for (int k = 0; k < 7; ++k)
            s.put(rows[k], cols[k], &cells[k]);
    };
    const std::vector<T> b{val<T>(0.1, 1), val<T>(1.0 / 3), val<T>(2.0 / 7, -0.5)};
    SolverHandle<T> solver(3), fresh(3);
    fill(*solver, 1e-7);
    factoriseAndSolve(*solver, b);
    fill(*solver, 0.7);
    factoriseAndSolve(*solver, b);
    EXPECT_EQ(solver->getStats().refactorisations, 1u);
    fill(*fresh, 0.7);
    const std::vector<T> expected = factoriseAndSolve(*fresh, b);
    solver->pivotAfresh();
    EXPECT_TRUE(sameBits(factoriseAndSolve(*solver, b), expected));
    EXPECT_EQ(solver->getStats().analyses, 1u);
    EXPECT_EQ(solver->getStats().factorisations, 2u);
    EXPECT_EQ(solver->getStats().refactorisations, 1u);

    // Random systems, both pivoting rules: the pivots of the first values, kept through other
    // values, serve a fresh choice when the first values come back.
    std::mt19937 rng(19);
    for (const sparse::Pivoting pivoting : {sparse::Pivoting::Threshold, sparse::Pivoting::Partial})
    {
        for (int round = 0; round < 10; ++round)
        {
            const int n = 30 + 20 * round;
            Cells<T> cells = test::randomSystem<T>(n, 3 + round % 4, rng), other = cells;
            for (auto& cell : other.list)
                cell.value *= val<T>(1.0 + 0.01 * round, 0.02);
            const std::vector<T> rhs = test::randomVector<T>(n, rng);
            SolverHandle<T> kept(n, pivoting), anew(n, pivoting);
            cells.putInto(*anew);
            const std::vector<T> x = factoriseAndSolve(*anew, rhs);
            for (const Cells<T>* pFill : {&cells, &other, &cells})
            {
                kept->begin();
                pFill->putInto(*kept);
                ASSERT_TRUE(kept->factorise());
            }
            kept->pivotAfresh();
            kept->begin();
            cells.putInto(*kept);
            EXPECT_TRUE(sameBits(factoriseAndSolve(*kept, rhs), x)) << n;
            // Refactorised with the first pivots throughout, counted fresh at the end.
            EXPECT_EQ(kept->getStats().factorisations, 2u) << n;
            EXPECT_EQ(kept->getStats().refactorisations, 2u) << n;
        }
    }
}

// A sweep that returns to the values of its fresh choice (a solve from the same start) keeps
// the factorisation at those values from its second return on, and solves with it as a new
// solver filled alike would; the refactorisations after it keep the pivots. Other values at a
// fresh choice make it anew, and a failed solve drops it with the working one.
TYPED_TEST(SparseSolver, AFactorisationAtTheValuesOfTheFreshChoiceServesEveryReturnToThem)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    for (int round = 0; round < 6; ++round)
    {
        const int n = 40 + 25 * round;
        const Cells<T> start = test::randomSystem<T>(n, 3 + round % 3, rng);
        Cells<T> later = start, otherStart = start;
        for (auto& cell : later.list)
            cell.value *= val<T>(1.0 + 0.02 * (round + 1), -0.01);
        otherStart.list.front().value += val<T>(0.5);
        const std::vector<T> rhs = test::randomVector<T>(n, rng);

        // What new solvers give: at a start, and refactorised from there to the later values.
        struct Expected
        {
            std::vector<T> first, later;
        };
        auto anew = [&](const Cells<T>& first) {
            SolverHandle<T> solver(n);
            first.putInto(*solver);
            Expected e{factoriseAndSolve(*solver, rhs), {}};
            later.putInto(*solver);
            e.later = factoriseAndSolve(*solver, rhs);
            return e;
        };
        const Expected fromStart = anew(start), fromOther = anew(otherStart);

        SolverHandle<T> sweep(n);
        auto solveFrom = [&](const Cells<T>& first, td::UINT4 kept, const Expected& expected) {
            sweep->pivotAfresh();
            first.putInto(*sweep);
            EXPECT_TRUE(sameBits(factoriseAndSolve(*sweep, rhs), expected.first)) << n;
            EXPECT_EQ(sweep->getStats().factorisationsKept, kept) << n;
            later.putInto(*sweep);
            EXPECT_TRUE(sameBits(factoriseAndSolve(*sweep, rhs), expected.later)) << n;
        };
        solveFrom(start, 0, fromStart);
        solveFrom(start, 0, fromStart);
        solveFrom(start, 1, fromStart);
        solveFrom(start, 2, fromStart);
        solveFrom(otherStart, 2, fromOther);
        solveFrom(otherStart, 2, fromOther);
        solveFrom(start, 2, fromStart);
        solveFrom(start, 2, fromStart);
        solveFrom(start, 3, fromStart);
        EXPECT_EQ(sweep->getStats().factorisations, 9u) << n;
        EXPECT_EQ(sweep->getStats().refactorisations, 9u) << n;

        // A solve that fails ends both factorisations: no solve until the next factorise.
        std::vector<T> bad = rhs, x(rhs.size());
        bad.front() = val<T>(std::numeric_limits<double>::infinity());
        sweep->pivotAfresh();
        start.putInto(*sweep);
        ASSERT_TRUE(sweep->factorise());
        EXPECT_EQ(sweep->getStats().factorisationsKept, 4u) << n;
        EXPECT_FALSE(sweep->solve(bad.data(), x.data())) << n;
        EXPECT_FALSE(sweep->isFactorised()) << n;
        EXPECT_FALSE(sweep->solve(rhs.data(), x.data())) << n;
        EXPECT_TRUE(sameBits(factoriseAndSolve(*sweep, rhs), fromStart.first)) << n;
    }
}
} // namespace
