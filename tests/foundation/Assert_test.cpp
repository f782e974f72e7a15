#include <td/Assert.h>

#include <gtest/gtest.h>

namespace
{
int twice(int v) { return 2 * v; }

TEST(AssertDeathTest, FailureNamesExpressionFileAndLine)
{
    volatile int v = 3;
    EXPECT_DEATH(TD_ASSERT(twice(v) == 7),
                 "Assertion failed: twice\\(v\\) == 7, file .*Assert_test\\.cpp, line [0-9]+");
}

TEST(AssertDeathTest, PassingCheckDoesNothing)
{
    int calls = 0;
    TD_ASSERT(++calls == 1);
    EXPECT_EQ(calls, 1);
}
} // namespace
