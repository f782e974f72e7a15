// Test helpers for the matrix layer: a dense oracle (products and Gaussian elimination),
// random sparse systems, and a solver double that records the system put into it.
#pragma once

#include <cmath>
#include <complex>
#include <map>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>
#include <sparse/ISolver.h>

namespace test
{
using Cmplx = std::complex<double>;

inline double conjOf(double v) { return v; }
inline Cmplx conjOf(const Cmplx& v) { return std::conj(v); }

// A value in [-1, 1] (each part for complex values).
template <typename T> T randomValue(std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    if constexpr (std::is_same_v<T, double>)
        return u(rng);
    else
    {
        const double re = u(rng);
        return T(re, u(rng));
    }
}

// re, with the imaginary part im in the complex build.
template <typename T> T val(double re, double im = 0.0)
{
    if constexpr (std::is_same_v<T, double>)
        return re;
    else
        return T(re, im);
}

// A dense rows x cols matrix, row by row.
template <typename T> struct Dense
{
    Dense(int r, int c) : rows(r), cols(c), a(static_cast<std::size_t>(r * c), T(0)) {}

    T& at(int i, int j) { return a[static_cast<std::size_t>(i * cols + j)]; }
    const T& at(int i, int j) const { return a[static_cast<std::size_t>(i * cols + j)]; }

    std::vector<T> times(const std::vector<T>& x) const
    {
        std::vector<T> y(static_cast<std::size_t>(rows), T(0));
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                y[static_cast<std::size_t>(i)] += at(i, j) * x[static_cast<std::size_t>(j)];
        return y;
    }

    int rows;
    int cols;
    std::vector<T> a;
};

// x of A x = b by Gaussian elimination with partial pivoting.
template <typename T> std::vector<T> solveDense(Dense<T> m, std::vector<T> b)
{
    const int n = m.rows;
    for (int k = 0; k < n; ++k)
    {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            if (std::abs(m.at(i, k)) > std::abs(m.at(p, k)))
                p = i;
        for (int j = 0; j < n; ++j)
            std::swap(m.at(k, j), m.at(p, j));
        std::swap(b[static_cast<std::size_t>(k)], b[static_cast<std::size_t>(p)]);
        for (int i = k + 1; i < n; ++i)
        {
            const T f = m.at(i, k) / m.at(k, k);
            for (int j = k; j < n; ++j)
                m.at(i, j) -= f * m.at(k, j);
            b[static_cast<std::size_t>(i)] -= f * b[static_cast<std::size_t>(k)];
        }
    }
    std::vector<T> x(static_cast<std::size_t>(n));
    for (int k = n - 1; k >= 0; --k)
    {
        T s = b[static_cast<std::size_t>(k)];
        for (int j = k + 1; j < n; ++j)
            s -= m.at(k, j) * x[static_cast<std::size_t>(j)];
        x[static_cast<std::size_t>(k)] = s / m.at(k, k);
    }
    return x;
}

// Largest |a_i - b_i| over the largest |b_i| (or 1 when all are smaller).
template <typename T> double relativeError(const std::vector<T>& a, const std::vector<T>& b)
{
    double err = 0.0, scale = 1.0;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        err = std::max(err, std::abs(a[i] - b[i]));
        scale = std::max(scale, std::abs(b[i]));
    }
    return err / scale;
}

// Normwise backward error of x for A x = b: |Ax - b| / (|A| |x| + |b|), infinity norms.
template <typename T> double backwardError(const Dense<T>& a, const std::vector<T>& x, const std::vector<T>& b)
{
    const std::vector<T> ax = a.times(x);
    double residual = 0.0, normA = 0.0, normX = 0.0, normB = 0.0;
    for (int i = 0; i < a.rows; ++i)
    {
        double row = 0.0;
        for (int j = 0; j < a.cols; ++j)
            row += std::abs(a.at(i, j));
        normA = std::max(normA, row);
        residual = std::max(residual, std::abs(ax[static_cast<std::size_t>(i)] - b[static_cast<std::size_t>(i)]));
        normB = std::max(normB, std::abs(b[static_cast<std::size_t>(i)]));
    }
    for (const T& v : x)
        normX = std::max(normX, std::abs(v));
    return residual / (normA * normX + normB);
}

// Cells of a sparse matrix with their values, in the order they are put.
template <typename T> struct Cells
{
    struct Cell
    {
        int row;
        int col;
        T value;
    };

    void add(int row, int col, T value) { list.push_back(Cell{row, col, value}); }
    void putInto(sparse::IMatrixReceiver<T>& receiver) const
    {
        for (const Cell& c : list)
            receiver.put(c.row, c.col, &c.value);
    }
    // Later cells replace earlier ones at the same place, as a put does.
    Dense<T> toDense(int rows, int cols) const
    {
        Dense<T> d(rows, cols);
        for (const Cell& c : list)
            d.at(c.row, c.col) = c.value;
        return d;
    }

    std::vector<Cell> list;
};

// A regular sparse n x n system: a dominant diagonal and `perRow` off-diagonal cells per row.
template <typename T> Cells<T> randomSystem(int n, int perRow, std::mt19937& rng)
{
    Cells<T> cells;
    std::uniform_int_distribution<int> col(0, n - 1);
    for (int i = 0; i < n; ++i)
    {
        cells.add(i, i, val<T>(perRow + 2.0) + randomValue<T>(rng));
        for (int k = 0; k < perRow; ++k)
        {
            const int j = col(rng);
            if (j != i)
                cells.add(i, j, randomValue<T>(rng));
        }
    }
    return cells;
}

template <typename T> std::vector<T> randomVector(int n, std::mt19937& rng)
{
    std::vector<T> v(static_cast<std::size_t>(n));
    for (T& x : v)
        x = randomValue<T>(rng);
    return v;
}

// A solver that only records the system put into it.
template <typename T> class RecordingSolver final : public sparse::ISolver<T>
{
public:
    explicit RecordingSolver(int n) : rhs(static_cast<std::size_t>(n), T(0)), _n(n) {}

    void put(td::INT4 row, td::INT4 col, const T* value) override
    {
        EXPECT_TRUE(row >= 0 && row < _n && col >= 0 && col < _n) << row << "," << col;
        cells[{row, col}] = *value;
    }
    void begin() override {}
    // Knows no order of cells: the caller fills cell by cell.
    bool refill(const T*, td::INT4) override { return false; }
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<T>&, sparse::ISolver<T>&) override
    {
        ADD_FAILURE() << "finishMeasurements on a solver";
    }
    void finishConstraints(td::UINT4, const dense::Matrix<T>&, sparse::ISolver<T>&) override
    {
        ADD_FAILURE() << "finishConstraints on a solver";
    }
    td::INT4 size() const override { return _n; }
    void putRHS(td::INT4 row, const T& value) override { rhs.at(static_cast<std::size_t>(row)) = value; }
    const T* getSolution(td::INT4) const override { return nullptr; }
    bool factorise() override { return false; }
    bool solve() override { return false; }
    bool solve(const T*, T*) override { return false; }
    bool isFactorised() const override { return false; }
    bool isSymbolicReused() const override { return false; }
    const sparse::FactorStats& getStats() const override { return _stats; }
    // Makes no analysis and ends one given.
    void pivotAfresh() override {}
    sparse::Analysis<T> takeAnalysis() override { return nullptr; }
    void giveAnalysis(sparse::Analysis<T>) override {}
    void release() override {}

    Dense<T> toDense() const
    {
        Dense<T> d(_n, _n);
        for (const auto& [rc, v] : cells)
            d.at(rc.first, rc.second) = v;
        return d;
    }

    std::map<std::pair<int, int>, T> cells;
    std::vector<T> rhs;

private:
    int _n;
    sparse::FactorStats _stats;
};

// Owns a solver made by the factory for the length of a test.
template <typename T> struct SolverHandle
{
    explicit SolverHandle(int n, sparse::Pivoting pivoting = sparse::Pivoting::Threshold,
                          sparse::Ordering ordering = sparse::Ordering::AMD)
        : p(sparse::createSolver<T>(n, 3 * n, sparse::Symmetry::General, sparse::SolverType::LU, pivoting, ordering))
    {
    }
    ~SolverHandle() { p->release(); }
    SolverHandle(const SolverHandle&) = delete;
    SolverHandle& operator=(const SolverHandle&) = delete;

    sparse::ISolver<T>* operator->() const { return p; }
    sparse::ISolver<T>& operator*() const { return *p; }

    sparse::ISolver<T>* p;
};
} // namespace test
