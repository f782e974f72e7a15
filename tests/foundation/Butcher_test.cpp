#include <matrix/Butcher.h>

#include <gtest/gtest.h>

namespace
{
void checkConsistency(const matrix::Butcher& t)
{
    td::UINT2 s = t.stages();
    double weights = 0;
    for (td::UINT2 i = 0; i < s; ++i)
    {
        double row = 0;
        for (td::UINT2 j = 0; j < s; ++j)
            row += t.A()(i, j);
        EXPECT_NEAR(row, t.c()[i], 1e-15) << "row " << i;
        weights += t.b()[i];
    }
    EXPECT_NEAR(weights, 1.0, 1e-15);
}

TEST(Butcher, TwoStageGaussLegendre)
{
    matrix::Butcher t;
    t.init(4);
    EXPECT_EQ(t.A().rows(), 2);
    EXPECT_EQ(t.A().cols(), 2);
    EXPECT_EQ(t.b().rows(), 2);
    EXPECT_EQ(t.c().cols(), 1);
    EXPECT_EQ(t.A()(0, 0), 0.25);
    EXPECT_EQ(t.A()(0, 1), -0.038675134594812866);
    EXPECT_EQ(t.A()(1, 0), 0.5386751345948129);
    EXPECT_EQ(t.A().item(1), 0.5386751345948129);
    EXPECT_EQ(t.c()[0], 0.21132486540518713);
    EXPECT_EQ(t.c()[1], 0.7886751345948129);
    EXPECT_EQ(t.b()[0], 0.5);
    checkConsistency(t);
}

TEST(Butcher, ThreeStageGaussLegendre)
{
    matrix::Butcher t;
    t.init(5);
    EXPECT_EQ(t.A().rows(), 3);
    EXPECT_EQ(t.b().rows(), 3);
    EXPECT_EQ(t.A()(0, 0), 0.1388888888888889);
    EXPECT_EQ(t.A()(1, 1), 0.2222222222222222);
    EXPECT_EQ(t.b()[0], 0.2777777777777778);
    EXPECT_EQ(t.b()[1], 0.4444444444444444);
    EXPECT_EQ(t.c()[1], 0.5);
    EXPECT_NEAR(t.c()[0], 0.1127016653792583, 1e-16);
    checkConsistency(t);
}

TEST(ButcherDeathTest, OtherCodesTrip)
{
    matrix::Butcher t;
    EXPECT_DEATH(t.init(3), "false");
    EXPECT_DEATH(t.init(6), "false");
    matrix::SmallStackMax<double, 9> m;
    EXPECT_DEATH(m.resize(4, 3), "rows\\) \\* cols <= NM");
    m.resize(3, 3);
    EXPECT_DEATH(m(3, 0), "row < _rows && col < _cols");
}
} // namespace
