#include <cmath>
#include <complex>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "SolverSupport.h"

namespace
{
using sc::Solution;
using test::Cmplx;
namespace msg = sc::msg;

template <typename T> using WLS = test::BuiltSolver<T, sl::WLSSolver<T>>;

template <typename T> class WLSSolve : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(WLSSolve, Builds);

// A number as the model text holds it, to the last digit.
std::string num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string wlsModel(const std::string& body, const char* domain = "")
{
    return std::string("Model [type = WLS, eps = 1e-12") + domain + "]:\n" + body + "end\n";
}

TYPED_TEST(WLSSolve, TheWeightedMeanAndItsNormalisedWeights)
{
    WLS<TypeParam> s;
    ASSERT_TRUE(s.build(wlsModel("Vars:\nx = 0\nWLSEs:\nx = 10.1\nx = 9.9\nx = 10.4 [w = 2]\n"))) << s.keys();
    EXPECT_EQ(s.pSolver->getNumberOfMeasurements(), 3u);
    // Weights 1, 1, 2 are divided by their mid-range 1.5; the estimate stays.
    EXPECT_EQ(s.pSolver->getWeights()[2], 2 / 1.5);
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_NEAR(std::abs(s.value("x") - TypeParam(10.2)), 0, 1e-12);
    EXPECT_STREQ(s.pSolver->getStatusName(), "OK");
}

TYPED_TEST(WLSSolve, ALineUnderAnEqualityConstraint)
{
    // a + b*t through four weighted points with a + b = 3: substituting a = 3 - b leaves
    // b = sum w(y - 3)(t - 1) / sum w(t - 1)^2.
    const double t[] = {0, 1, 2, 3}, y[] = {1, 2.9, 5.2, 6.8}, w[] = {1, 2, 1, 4};
    std::string body = "Vars:\na = 0\nb = 0\nWLSEs:\n";
    double num = 0, den = 0;
    for (int i = 0; i < 4; ++i)
    {
        body +=
            "a + b*" + std::to_string(t[i]) + " = " + std::to_string(y[i]) + " [w = " + std::to_string(w[i]) + "]\n";
        num += w[i] * (y[i] - 3) * (t[i] - 1);
        den += w[i] * (t[i] - 1) * (t[i] - 1);
    }
    body += "ECs:\na + b = 3\n";
    WLS<TypeParam> s;
    ASSERT_TRUE(s.build(wlsModel(body))) << s.keys();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_NEAR(std::abs(s.value("b") - TypeParam(num / den)), 0, 1e-10);
    EXPECT_NEAR(std::abs(s.value("a") - TypeParam(3 - num / den)), 0, 1e-10);
}

// A scenario sweep: measured values (and a factor the Jacobian reads) set from outside, and
// the variables back at their start; the next solve factorises afresh over the analysis of
// the unchanged pattern and repeats bit for bit the solve of a model loaded anew. While k is
// tiny the diagonal of c in the bordered system is no pivot; at k = 0.8 it is.
TYPED_TEST(WLSSolve, ASolveAfterValuesSetRepeatsAModelLoadedAnew)
{
    using T = TypeParam;
    const std::string text = wlsModel("Vars:\na = 1\nb = 0\nc = 0.5\nParams:\nk = 1e-6\ny0 = 2\ny1 = 1.2\n"
                                      "y2 = 0.75\ny3 = 0.45\nWLSEs:\na = y0\na*exp(b) = y1\na*exp(2*b) = y2\n"
                                      "a*exp(3*b) + k*c = y3\nECs:\na + c = 2.5\n");
    WLS<T> swept;
    ASSERT_TRUE(swept.build(text)) << swept.keys();
    const td::UINT4 nVars = swept.pSolver->getNumberOfVariables();
    const std::vector<T> start(swept.pSolver->getVariableValuesPtr(), swept.pSolver->getVariableValuesPtr() + nVars);
    ASSERT_EQ(swept.pSolver->solve(), Solution::OK) << swept.keys();
    const sparse::FactorStats first = swept.pSolver->getFactorStats();
    const struct
    {
        const char* name;
        double value;
    } scenarios[] = {{"y1", 1.25}, {"y3", 0.5}, {"k", 0.8}};
    for (std::size_t k = 0; k < std::size(scenarios); ++k)
    {
        const auto& scenario = scenarios[k];
        // The model loaded anew takes the values of the earlier scenarios too.
        WLS<T> anew;
        ASSERT_TRUE(anew.build(text));
        for (std::size_t j = 0; j < k; ++j)
            ASSERT_TRUE(anew.pSolver->setParameterValue(scenarios[j].name, T(scenarios[j].value)));
        for (WLS<T>* p : {&swept, &anew})
        {
            ASSERT_TRUE(p->pSolver->setParameterValue(scenario.name, T(scenario.value)));
            for (td::UINT4 i = 0; i < nVars; ++i)
                p->pSolver->setVariableValue(static_cast<td::INT4>(i), start[i]);
            ASSERT_EQ(p->pSolver->solve(), Solution::OK) << scenario.name;
        }
        EXPECT_EQ(test::firstDifference(swept, anew), "") << scenario.name;
        EXPECT_EQ(swept.pSolver->getFactorStats().analyses, 1u) << scenario.name;
    }
    EXPECT_GE(swept.pSolver->getFactorStats().factorisations, first.factorisations + 3);
}

TEST(WLSSolve, ANonlinearFitOnExactData)
{
    // y = a*exp(b*t) on exact data of a = 2, b = -0.5, from (1, 0).
    std::string body = "Vars:\na = 1\nb = 0\nWLSEs:\n";
    for (int t = 0; t <= 4; ++t)
        body += "a*exp(b*" + std::to_string(t) + ") = " + num(2 * std::exp(-0.5 * t)) + "\n";
    WLS<double> s;
    ASSERT_TRUE(s.build(wlsModel(body))) << s.keys();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_NEAR(s.value("a"), 2, 1e-9);
    EXPECT_NEAR(s.value("b"), -0.5, 1e-9);
}

TEST(WLSSolve, AComplexWeightedMean)
{
    WLS<Cmplx> s;
    ASSERT_TRUE(s.build(wlsModel("Vars:\nz = 0\nWLSEs:\nz = 1+2i\nz = 1.2+1.8i [w = 3]\n", ", domain = cmplx")))
        << s.keys();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_LT(std::abs(s.value("z") - Cmplx(1.15, 1.85)), 1e-12);
}

TYPED_TEST(WLSSolve, AConstraintThatCannotHoldEndsAtTheIterationLimit)
{
    // The step gets below eps while rounding keeps the scaled constraint above 10 eps.
    WLS<TypeParam> s;
    ASSERT_TRUE(
        s.build("Model [type = WLS, eps = 1e-10]:\nVars:\nx = 1\nWLSEs:\nx = 1.5\nECs:\n1e10*(x*x - 2) = 0\nend\n"))
        << s.keys();
    s.pSolver->setMaxIter(10);
    EXPECT_EQ(s.pSolver->solve(), Solution::MaxIters);
    EXPECT_EQ(s.keys(), std::string(msg::scMaxIterLimit) + "\n");
    EXPECT_EQ(s.pSolver->getNumberOfIterations(), 10u);
    EXPECT_NEAR(std::abs(s.value("x") - TypeParam(std::sqrt(2.0))), 0, 1e-9);
}

TEST(WLSSolve, ALimitGroupThatSignalsInEveryPassEndsAtTheIterationLimit)
{
    WLS<double> s;
    ASSERT_TRUE(s.build(wlsModel("Vars:\nx = 0\nParams:\np = 5\nn = 0\nWLSEs:\nx = p\nLimits:\n"
                                 "group\n    if p > 0 [signal = TooHigh]\n        n += 1\n    end\nend\n")))
        << s.keys();
    s.pSolver->setMaxIter(7);
    EXPECT_EQ(s.pSolver->solve(), Solution::MaxIters);
    EXPECT_EQ(s.keys(), std::string(msg::scMaxIterLimit) + "\n");
    EXPECT_EQ(s.value("n"), 7.0);
}

TEST(WLSSolve, AMeasuredParameterChangedIsEstimatedAgain)
{
    WLS<double> s;
    ASSERT_TRUE(s.build(wlsModel("Vars:\nx = 0\nParams:\nm1 = 1\nm2 = 3\nWLSEs:\nx = m1\nx = m2\n"))) << s.keys();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_NEAR(s.value("x"), 2, 1e-12);
    s.pSolver->setParameterValue("m2", 5.0);
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_NEAR(s.value("x"), 3, 1e-12);
}
} // namespace
