// Equations far longer and deeper than any call stack holds, through the whole road from
// model text to derivative: they either work or are refused at their line.
#include <chrono>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "ModelBuildSupport.h"

namespace
{
namespace msg = sc::msg;

std::string repeat(const std::string& s, int n)
{
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// n terms joined by op.
std::string chain(const std::string& term, const std::string& op, int n) { return term + repeat(op + term, n - 1); }

// f( f( ... inner ... ) ) n deep, with closing text after each level.
std::string nested(const std::string& open, const std::string& inner, const std::string& close, int n)
{
    return repeat(open, n) + inner + repeat(close, n);
}

// The value every symbol starts with in the build (see LevelBuild).
constexpr double cX = 0.5;

double nestedSin(int n)
{
    double v = cX;
    for (int i = 0; i < n; ++i)
        v = std::sin(v);
    return v;
}

// d/dx of sin(sin(... sin(x))), n deep, at cX.
double nestedSinSlope(int n)
{
    double v = cX, slope = 1;
    for (int i = 0; i < n; ++i)
    {
        slope *= std::cos(v);
        v = std::sin(v);
    }
    return slope;
}

struct LongCase
{
    const char* name;
    std::string rhs; // of "x = rhs"; the statement's value is x - rhs
    double value;
    double slope;
    const char* key;   // a refusal at the statement; null when all steps work
    td::UINT4 col = 1; // of the refusal
};

void expectClose(double actual, double expected, const char* what, const char* name)
{
    EXPECT_NEAR(actual, expected, 1e-9 * (1 + std::fabs(expected))) << what << " of " << name;
}

TEST(LongExpressions, WorkOrAreRefusedAtTheirLine)
{
    const LongCase cases[] = {
        {"200000 terms", chain("x", "+", 200000), cX - 200000 * cX, 1 - 200000.0, nullptr},
        {"200000 calls", chain("sin(x)", "+", 200000), cX - 200000 * std::sin(cX), 1 - 200000 * std::cos(cX), nullptr},
        {"20000 brackets", nested("(", "x", ")", 20000), 0, 0, nullptr},
        {"20001 unary minus", nested("-(", "x", ")", 20001), 2 * cX, 2, nullptr},
        {"20000 nested subtractions", nested("x-(", "x", ")", 20000), 0, 0, nullptr},
        {"deep unary minus in a sum", chain(nested("(", nested("-(", "x", ")", 2001), ")", 1), "+", 10), 11 * cX, 11,
         nullptr},
        // Derivatives that share their argument instead of copying it at every level.
        {"2000 nested sin", nested("sin(", "x", ")", 2000), cX - nestedSin(2000), 1 - nestedSinSlope(2000), nullptr},
        {"20000 nested sin", nested("sin(", "x", ")", 20000), cX - nestedSin(20000), 1 - nestedSinSlope(20000),
         nullptr},
        {"4000 factors", chain("x", "*", 4000), cX - std::pow(cX, 4000), 1 - 4000 * std::pow(cX, 3999), nullptr},
        // Beyond the stack machine, and calls nested beyond what is built apart.
        {"20000 nested comparisons", nested("x>(", "x", ")", 20000), 0, 0, msg::etExprTooDeep},
        // At the first lim nested beyond what is built apart: "x = " and 64 times "lim(" before it.
        {"100 nested lim", nested("lim(", "x", ",0,1)", 100), 0, 0, msg::etExprTooDeep,
         5 + 4 * sl::ExpressionTree<double>::cMaxNestedCalls},
    };
    for (const LongCase& c : cases)
    {
        const auto start = std::chrono::steady_clock::now();
        test::ModelText text;
        ASSERT_TRUE(text.load("Header:\nend\nModel:\nVars:\nx\nNLEs:\nx = " + c.rhs + "\nend\n")) << c.name;
        test::LevelBuild<double> build(text, sc::ModelLevel::Main, nullptr);
        build.buildAll();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 20.0) << c.name;
        EXPECT_TRUE(text.silentFailures.empty()) << c.name;
        EXPECT_TRUE(text.misplacedMessages().empty()) << c.name;
        if (!c.key)
        {
            EXPECT_TRUE(text.log.messages.empty()) << c.name << ": " << text.log.messages.front().text;
            ASSERT_EQ(build.values.size(), 1u) << c.name;
            expectClose(build.values[0], c.value, "value", c.name);
            ASSERT_EQ(build.derivatives.size(), 1u) << c.name;
            expectClose(build.derivatives[0], c.slope, "slope", c.name);
            continue;
        }
        // One message, on the statement's line (the text's line 7), at the statement or at
        // the call that nests too deep.
        ASSERT_EQ(text.log.messages.size(), 1u) << c.name;
        const test::RecordingLog::Message& m = text.log.messages[0];
        EXPECT_EQ(m.text, c.key) << c.name;
        EXPECT_EQ(m.line, 7u) << c.name;
        EXPECT_EQ(m.col, c.col) << c.name;
        // A refused derivative leaves the equation itself working.
        if (c.key == msg::etDerivTooLarge)
        {
            ASSERT_EQ(build.values.size(), 1u) << c.name;
            expectClose(build.values[0], c.value, "value", c.name);
            EXPECT_TRUE(build.derivatives.empty()) << c.name;
        }
    }
}
TEST(LongExpressions, ComplexModelsAlike)
{
    // conj of a parameter is a constant (without conjugate partners conj of a variable
    // has no derivative). The parameter c starts at 0.75.
    test::ModelText text;
    ASSERT_TRUE(text.load("Header:\nend\nModel [domain = cmplx]:\nVars:\nz\nParams:\nc\nNLEs:\nz = " +
                          chain("conj(c)+2*z", "+", 100000) + "\nend\n"));
    test::LevelBuild<test::Cmplx> build(text, sc::ModelLevel::Main, nullptr);
    build.buildAll();
    EXPECT_TRUE(text.log.messages.empty());
    ASSERT_EQ(build.values.size(), 1u);
    expectClose(build.values[0].real(), cX - 100000 * (0.75 + 2 * cX), "value", "complex sum");
    ASSERT_EQ(build.derivatives.size(), 1u);
    expectClose(build.derivatives[0].real(), 1 - 200000.0, "slope", "complex sum");
}
} // namespace
