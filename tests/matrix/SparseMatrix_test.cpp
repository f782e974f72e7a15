#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>
#include <sparse/IMatrix.h>

#include "MatrixSupport.h"

namespace
{
using test::Cells;
using test::Cmplx;
using test::Dense;
using test::val;

template <typename T> class SparseMatrix : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(SparseMatrix, Builds);

// One constrained weighted least-squares step: measurement Jacobian J (m x n), weights w,
// residuals r; constraint Jacobian C (k x n) with residuals rc.
template <typename T> struct Step
{
    int m = 0, n = 0, k = 0;
    Cells<T> j, c;
    std::vector<double> w;
    std::vector<T> r, rc;

    // The oracle: [J*WJ C*; C 0] and [J*Wr; rc], conjugating in the complex build.
    Dense<T> kkt() const
    {
        const Dense<T> dj = j.toDense(m, n);
        const Dense<T> dc = c.toDense(k, n);
        Dense<T> a(n + k, n + k);
        for (int p = 0; p < n; ++p)
            for (int q = 0; q < n; ++q)
                for (int i = 0; i < m; ++i)
                    a.at(p, q) += test::conjOf(dj.at(i, p)) * w[static_cast<std::size_t>(i)] * dj.at(i, q);
        for (int i = 0; i < k; ++i)
            for (int q = 0; q < n; ++q)
            {
                a.at(n + i, q) = dc.at(i, q);
                a.at(q, n + i) = test::conjOf(dc.at(i, q));
            }
        return a;
    }
    std::vector<T> rhs() const
    {
        const Dense<T> dj = j.toDense(m, n);
        std::vector<T> b(static_cast<std::size_t>(n + k), T(0));
        for (int p = 0; p < n; ++p)
            for (int i = 0; i < m; ++i)
                b[static_cast<std::size_t>(p)] +=
                    test::conjOf(dj.at(i, p)) * w[static_cast<std::size_t>(i)] * r[static_cast<std::size_t>(i)];
        for (int i = 0; i < k; ++i)
            b[static_cast<std::size_t>(n + i)] = rc[static_cast<std::size_t>(i)];
        return b;
    }
};

template <typename T> dense::Matrix<T> column(const std::vector<T>& v)
{
    dense::Matrix<T> m(static_cast<td::UINT4>(v.size()), 1);
    for (std::size_t i = 0; i < v.size(); ++i)
        m(static_cast<td::UINT4>(i), 0) = v[i];
    return m;
}

dense::DiagMatrix<double> diagonal(const std::vector<double>& w)
{
    dense::DiagMatrix<double> d(static_cast<td::UINT4>(w.size()));
    dense::DiagIO<double> io = d.getManipulator();
    for (std::size_t i = 0; i < w.size(); ++i)
        io[static_cast<td::UINT4>(i)] = w[i];
    return d;
}

// Puts the step through the matrices into the solver, as the least-squares solver does.
template <typename T>
void assemble(const Step<T>& s, sparse::IMatrix<T>& meas, sparse::IMatrix<T>* pCons, sparse::ISolver<T>& solver)
{
    const dense::DiagMatrix<double> w = diagonal(s.w);
    const dense::Matrix<T> r = column(s.r);
    meas.begin();
    s.j.putInto(meas);
    meas.finishMeasurements(w, r, solver);
    if (!pCons)
        return;
    const dense::Matrix<T> rc = column(s.rc);
    pCons->begin();
    s.c.putInto(*pCons);
    pCons->finishConstraints(static_cast<td::UINT4>(s.n), rc, solver);
}

template <typename T> double maxDifference(const Dense<T>& a, const Dense<T>& b)
{
    double d = 0.0;
    for (std::size_t i = 0; i < a.a.size(); ++i)
        d = std::max(d, std::abs(a.a[i] - b.a[i]));
    return d;
}

template <typename T> Step<T> randomStep(int m, int n, int k, int perRow, std::mt19937& rng)
{
    Step<T> s;
    s.m = m;
    s.n = n;
    s.k = k;
    std::uniform_int_distribution<int> col(0, n - 1);
    std::uniform_real_distribution<double> weight(0.1, 10.0);
    for (int i = 0; i < m; ++i)
    {
        s.j.add(i, i % n, val<T>(1.0) + test::randomValue<T>(rng));
        for (int e = 1; e < perRow; ++e)
            s.j.add(i, col(rng), test::randomValue<T>(rng));
        s.w.push_back(weight(rng));
    }
    for (int i = 0; i < k; ++i)
    {
        s.c.add(i, (3 * i) % n, val<T>(1.0));
        s.c.add(i, col(rng), test::randomValue<T>(rng));
    }
    s.r = test::randomVector<T>(m, rng);
    s.rc = test::randomVector<T>(k, rng);
    return s;
}

// A small step written out: 4 measurements of 2 unknowns, one constraint.
template <typename T> Step<T> handStep()
{
    Step<T> s;
    s.m = 4;
    s.n = 2;
    s.k = 1;
    s.j.add(0, 0, val<T>(1, 1));
    s.j.add(1, 1, val<T>(1));
    s.j.add(2, 0, val<T>(1));
    s.j.add(2, 1, val<T>(1, -2));
    s.j.add(3, 0, val<T>(9)); // replaced by the next put
    s.j.add(3, 1, val<T>(-1));
    s.j.add(3, 0, val<T>(2, 0.5));
    s.w = {1, 2, 3, 4};
    s.r = {val<T>(1), val<T>(2, 1), val<T>(3), val<T>(-4, 2)};
    s.c.add(0, 0, val<T>(1, 1));
    s.c.add(0, 1, val<T>(-1));
    s.rc = {val<T>(0.5, -0.5)};
    return s;
}

TYPED_TEST(SparseMatrix, FinishingOperationsPutTheWeightedNormalEquationsAndTheConstraintRows)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    struct Case
    {
        std::string name;
        Step<T> step;
    };
    std::vector<Case> cases{{"hand", handStep<T>()}, {"random", randomStep<T>(40, 9, 3, 4, rng)}};
    {
        // Zero and negative weights are used as given; column 3 holds no cell.
        Step<T> s = randomStep<T>(12, 5, 2, 2, rng);
        s.w[0] = 0.0;
        s.w[1] = -4.0;
        Cells<T> kept;
        for (const auto& cell : s.j.list)
            if (cell.col != 3)
                kept.list.push_back(cell);
        s.j = kept;
        cases.push_back(Case{"odd weights, unmeasured column", s});
    }
    for (const Case& c : cases)
    {
        const Step<T>& s = c.step;
        for (bool constrained : {false, true})
        {
            const int size = constrained ? s.n + s.k : s.n;
            test::RecordingSolver<T> recorder(size);
            sparse::IMatrix<T>* meas = sparse::createMatrix<T>(s.m, s.n, 10, sparse::Symmetry::General);
            sparse::IMatrix<T>* cons = sparse::createMatrix<T>(s.k, s.n, 10, sparse::Symmetry::General);
            EXPECT_EQ(meas->getNoOfRows(), s.m);
            EXPECT_EQ(meas->getNoOfCols(), s.n);
            assemble(s, *meas, constrained ? cons : nullptr, recorder);
            meas->release();
            cons->release();

            Dense<T> expected = s.kkt();
            std::vector<T> expectedRhs = s.rhs();
            if (!constrained)
            {
                Dense<T> top(s.n, s.n);
                for (int p = 0; p < s.n; ++p)
                    for (int q = 0; q < s.n; ++q)
                        top.at(p, q) = expected.at(p, q);
                expected = top;
                expectedRhs.resize(static_cast<std::size_t>(s.n));
            }
            const std::string what = c.name + (constrained ? " with constraints" : "");
            EXPECT_LE(maxDifference(recorder.toDense(), expected), 1e-13) << what;
            EXPECT_LE(test::relativeError(recorder.rhs, expectedRhs), 1e-14) << what;
            // Only the cells of the product are put: none in an unmeasured row or column.
            for (const auto& [rc, v] : recorder.cells)
                EXPECT_TRUE(rc.first >= s.n || rc.second >= s.n ||
                            std::any_of(s.j.list.begin(), s.j.list.end(),
                                        [column = rc.first](const auto& cell) { return cell.col == column; }))
                    << what;
        }
    }
}

TYPED_TEST(SparseMatrix, ConstrainedStepsSolveAsTheDenseOracleAndKeepTheAnalysis)
{
    using T = TypeParam;
    std::mt19937 rng(9);
    // Each measurement couples two neighbouring unknowns: J*WJ is a cyclic band.
    Step<T> s = randomStep<T>(60, 20, 4, 1, rng);
    for (int i = 0; i < s.m; ++i)
        s.j.add(i, (i + 1) % s.n, test::randomValue<T>(rng));
    sparse::IMatrix<T>* meas = sparse::createMatrix<T>(s.m, s.n, 200, sparse::Symmetry::General);
    sparse::IMatrix<T>* cons = sparse::createMatrix<T>(s.k, s.n, 10, sparse::Symmetry::General);
    sparse::ISolver<T>* solver =
        sparse::createSolver<T>(s.n + s.k, 400, sparse::Symmetry::Indefinite, sparse::SolverType::LDLT,
                                sparse::Pivoting::Threshold, sparse::Ordering::AMD);
    struct Iteration
    {
        const char* name;
        bool reused;
        unsigned analyses;
    } iterations[] = {
        {"first", false, 1}, {"new values", true, 1}, {"a cell dropped", true, 1}, {"a new cell", false, 2}};
    for (const Iteration& it : iterations)
    {
        if (std::string(it.name) == "new values")
            for (auto& cell : s.j.list)
                cell.value *= val<T>(0.9, 0.1);
        if (std::string(it.name) == "a cell dropped")
            s.j.list.pop_back(); // begin zeroes it; the oracle reads it as 0
        if (std::string(it.name) == "a new cell")
            s.j.add(0, s.n / 2, val<T>(0.75));
        solver->begin();
        assemble(s, *meas, cons, *solver);
        ASSERT_TRUE(solver->solve()) << it.name;
        EXPECT_EQ(solver->isSymbolicReused(), it.reused) << it.name;
        EXPECT_EQ(solver->getStats().analyses, it.analyses) << it.name;
        // A small residual on the oracle's system, and the oracle's solution up to the
        // conditioning of the saddle point.
        const Dense<T> a = s.kkt();
        const std::vector<T> b = s.rhs();
        const std::vector<T> got(solver->getSolution(0), solver->getSolution(0) + s.n + s.k);
        EXPECT_LE(test::backwardError(a, got, b), 1e-12) << it.name;
        EXPECT_LE(test::relativeError(got, test::solveDense(a, b)), 1e-9) << it.name;
    }
    meas->release();
    cons->release();
    solver->release();
}
} // namespace
