#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>

#include "MatrixSupport.h"

namespace
{
using test::Cmplx;
using test::val;

template <typename T> class DenseMatrix : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(DenseMatrix, Builds);

TYPED_TEST(DenseMatrix, ReserveZeroesAndStoresColumnByColumn)
{
    using T = TypeParam;
    dense::Matrix<T> m;
    EXPECT_EQ(m.getNoOfRows(), 0u);
    EXPECT_EQ(m.getFirstColumnManipulator().size(), 0u);
    m.reserve(3, 2);
    m(2, 0) = val<T>(5);
    m(0, 1) = val<T>(7, 1);
    EXPECT_EQ(m.getNoOfRows(), 3u);
    EXPECT_EQ(m.getNoOfCols(), 2u);
    EXPECT_EQ(m.getData()[2], val<T>(5));
    EXPECT_EQ(m.getData()[3], val<T>(7, 1));

    dense::ColumnIO<T> first = m.getFirstColumnManipulator();
    EXPECT_EQ(first.size(), 3u);
    first[1] = val<T>(-2);
    EXPECT_EQ(m(1, 0), val<T>(-2));

    m.reserve(2, 1);
    EXPECT_EQ(m(0, 0), val<T>(0));
    EXPECT_EQ(m(1, 0), val<T>(0));
    EXPECT_DEATH(m(2, 0), "_rows > row");
    EXPECT_DEATH(m.getFirstColumnManipulator()[2], "_size > pos");
}

TYPED_TEST(DenseMatrix, L1NormIsTheLargestColumnSumOfMagnitudes)
{
    using T = TypeParam;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char* name;
        td::UINT4 rows, cols;
        std::vector<T> values; // column by column
        double norm;
    } cases[] = {
        {"empty", 0, 0, {}, 0.0},
        {"column", 3, 1, {val<T>(1), val<T>(-2), val<T>(3)}, 6.0},
        {"two columns", 2, 2, {val<T>(1), val<T>(1), val<T>(-4), val<T>(0.5)}, 4.5},
        {"NaN", 2, 1, {val<T>(1), val<T>(nan)}, nan},
        {"NaN in the first column", 1, 2, {val<T>(nan), val<T>(3)}, nan},
    };
    for (const Case& c : cases)
    {
        dense::Matrix<T> m(c.rows, c.cols);
        std::copy(c.values.begin(), c.values.end(), m.getData());
        if (std::isnan(c.norm))
            EXPECT_TRUE(std::isnan(m.getL1Norm())) << c.name;
        else
            EXPECT_EQ(m.getL1Norm(), c.norm) << c.name;
    }
    if constexpr (!std::is_same_v<T, double>)
    {
        dense::Matrix<T> m(2, 1);
        m(0, 0) = T(3, 4);
        m(1, 0) = T(0, -1);
        EXPECT_EQ(m.getL1Norm(), 6.0);
    }
}

TEST(DiagMatrix, ManipulatorWritesTheDiagonalWithinItsSize)
{
    dense::DiagMatrix<double> d;
    d.reserve(3);
    dense::DiagIO<double> io = d.getManipulator();
    EXPECT_EQ(io.size(), 3u);
    io[0] = 2.0;
    io[2] = -4.0;
    EXPECT_EQ(d[0], 2.0);
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(d.getData()[2], -4.0);
    EXPECT_DEATH(io[3], "_size > posDiag");
    d.reserve(1);
    EXPECT_EQ(d[0], 0.0);
    EXPECT_DEATH(d[1], "size\\(\\) > posDiag");
}
} // namespace
