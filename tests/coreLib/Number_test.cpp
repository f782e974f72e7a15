#include <mu/Number.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace
{
TEST(ToDouble, LongestValidPrefix)
{
    struct Case
    {
        const char* text;
        double expected;
    } cases[] = {
        {"3", 3},     {"2.5", 2.5}, {"1e3", 1000}, {"-2e", -2},   {"-.5", -0.5}, {"+4", 4},      {"1.5,2", 1.5},
        {"abc", 0},   {"", 0},      {"1.", 1},     {"1.e5", 1e5}, {".5", 0.5},   {"1E-2", 0.01}, {"7e+2x", 700},
        {"0.1", 0.1}, {"-0", 0},    {"1e-999", 0}, {"12abc", 12}, {"-", 0},      {".", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mu::toDouble(c.text), c.expected) << c.text;
    EXPECT_EQ(mu::toDouble("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(mu::toDouble("-1e999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(mu::toDouble(nullptr), 0.0);
    EXPECT_TRUE(std::signbit(mu::toDouble("-0")));
}
} // namespace
