#include <gtest/gtest.h>

#include "SolverSupport.h"

namespace
{
TEST(NRSolver, SampleModel)
{
    test::BuiltSolver<double> s;
    ASSERT_TRUE(s.build(
        "Model [type = NL, eps = 1e-6]:\nVars:\nx = 1; y = 1\nParams:\na = 3\nNLEs:\nx + y = a\nx - y = 1\nend\n"))
        << s.keys();
    EXPECT_EQ(s.pSolver->solve(), sc::Solution::OK) << s.keys();
    EXPECT_NEAR(s.value("x"), 2, 1e-12);
    EXPECT_NEAR(s.value("y"), 1, 1e-12);
}
} // namespace
