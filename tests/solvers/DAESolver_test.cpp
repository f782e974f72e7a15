#include <cmath>
#include <complex>
#include <cstring>
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

template <typename T> using DAE = test::BuiltSolver<T, sl::DAESolver<T>>;

const char* const s_methods[] = {"Euler", "Trapez", "RK4", "RK6"};

std::string daeModel(const std::string& method, const std::string& body, const char* extra = "")
{
    return "Model [type = DAE, method = " + method + ", eps = 1e-12" + extra + "]:\n" + body + "end\n";
}

// Records the consumer's calls as "p" (progress, with the time parameter) and the codes of finished.
template <typename T> class TimeConsumer final : public sc::ISolverConsumer
{
public:
    explicit TimeConsumer(sc::ISolver<T>* pSolver) : _pSolver(pSolver) {}
    void progress() override
    {
        T t{};
        _pSolver->getParameterValue("t", t);
        calls += "p" + std::to_string(test::re(t)).substr(0, 4) + " ";
    }
    void finished(td::BYTE code) override { calls += std::to_string(code) + " "; }
    std::string calls;

private:
    sc::ISolver<T>* _pSolver;
};

// Runs nSteps steps of dT from t = 0; false at a failing step.
template <typename T> bool run(DAE<T>& s, double dT, int nSteps)
{
    s.pSolver->setStepSize(dT);
    return s.pSolver->reset(0.0) && s.pSolver->step(nSteps) == Solution::OK;
}

TEST(DAESolve, MethodsReachTheirOrders)
{
    // x' = -x + sin(t), x(0) = 0: x = (sin t - cos t + e^-t) / 2; steps halved twice to T = 2.
    const double steps[] = {0.1, 0.1, 0.2, 0.4};
    const double orders[] = {1, 2, 4, 6};
    for (int m = 0; m < 4; ++m)
    {
        double errors[3];
        for (int k = 0; k < 3; ++k)
        {
            DAE<double> s;
            ASSERT_TRUE(s.build(daeModel(s_methods[m], "Vars:\nx = 0\nODEs:\nx' = -x + sin(t)\n"))) << s.keys();
            const double dT = steps[m] / (1 << k);
            const int n = static_cast<int>(std::lround(2.0 / dT));
            ASSERT_TRUE(run(s, dT, n)) << s_methods[m] << s.keys();
            EXPECT_NEAR(s.value("t"), 2.0, 1e-12);
            errors[k] = std::fabs(s.value("x") - (std::sin(2.0) - std::cos(2.0) + std::exp(-2.0)) / 2);
        }
        for (int k = 0; k < 2; ++k)
            EXPECT_NEAR(std::log2(errors[k] / errors[k + 1]), orders[m], 0.15) << s_methods[m];
    }
}

TYPED_TEST_SUITE_P(DAEStep);
template <typename T> class DAEStep : public ::testing::Test
{
};

TYPED_TEST_P(DAEStep, OrdersOfEveryKindOfRightSide)
{
    // Each case stepped to T = 2 from 0 at three steps halved; the error of out against its
    // exact value there. A right side that reads no state (constants, t, an algebraic
    // variable, the state equation of a polynomial transfer function) has stage equations
    // of its own, which every step must solve. Order 0: exact at every step size.
    struct Case
    {
        const char* body;
        const char* out;
        double exact;
        double orders[4];
    };
    const double T = 2;
    const Case cases[] = {
        {"Vars:\nx = 0\nODEs:\nx' = 1\n", "x", T, {0, 0, 0, 0}},
        {"Vars:\nx = 0\nParams:\np = 3\nODEs:\nx' = p\n", "x", 3 * T, {0, 0, 0, 0}},
        {"Vars:\nx = 0\nODEs:\nx' = t\n", "x", T * T / 2, {1, 0, 0, 0}},
        {"Vars:\nx = 0\nODEs:\nx' = cos(t)\n", "x", std::sin(T), {1, 2, 4, 6}},
        {"Vars:\nx = 1\nODEs:\nx' = -x*cos(t)\n", "x", std::exp(-std::sin(T)), {1, 2, 4, 6}},
        {"Vars:\nx = 0\nv = 0\nODEs:\nx' = v\nNLEs:\nv = 2\n", "x", 2 * T, {0, 0, 0, 0}},
        // An algebraic input is read at the step's end in every stage: first order.
        {"Vars:\nx = 0\nv = 0\nODEs:\nx' = v\nNLEs:\nv = cos(t)\n", "x", std::sin(T), {1, 1, 1, 1}},
        {"Vars:\ny = 0\nu = 0\nTFs:\ny / u = 3*s\nNLEs:\nu = t\n", "y", 3, {0, 0, 0, 0}},
        {"Vars:\ny = 0\nu = 0\nTFs:\ny / u = 3*s\nNLEs:\nu = sin(t)\n", "y", 3 * std::cos(T), {1, 1, 1, 1}},
        {"Vars:\ny = 0\nu = 0\nTFs:\ny / u = 2/(s + 2)\nNLEs:\nu = 1\n", "y", 1 - std::exp(-2 * T), {1, 2, 4, 6}},
        // A state read by another state's right side at its stages, its own right side
        // reading none: a constant, an algebraic variable, the integrators of 1/s^2.
        {"Vars:\nx = 0\nv = 0\nODEs:\nx' = v\nv' = 1\n", "x", T * T / 2, {1, 0, 0, 0}},
        {"Vars:\nx = 0\nv = 0\nF = 0\nODEs:\nx' = v\nv' = F\nNLEs:\nF = 2\n", "x", T * T, {1, 0, 0, 0}},
        {"Vars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s^2)\nNLEs:\nu = 1\n", "y", T * T / 2, {1, 0, 0, 0}},
        // A state or t read inside a limit, nested ones too: each stage (and the previous
        // step of the trapezoid) reads the limit of its own values, never those of the end.
        {"Vars:\nx = 1\nODEs:\nx' = lim(-x, -10, 10)\n", "x", std::exp(-T), {1, 2, 4, 6}},
        {"Vars:\nx = 1\nODEs:\nx' = -lim(lim(x, -5, 5)*cos(t), -10, 10)\n", "x", std::exp(-std::sin(T)), {1, 2, 4, 6}},
    };
    const double steps[] = {0.05, 0.05, 0.2, 0.4};
    for (const Case& c : cases)
    {
        for (int m = 0; m < 4; ++m)
        {
            double errors[3];
            for (int k = 0; k < 3; ++k)
            {
                DAE<TypeParam> s;
                ASSERT_TRUE(s.build(daeModel(s_methods[m], c.body))) << c.body << s.keys();
                const double dT = steps[m] / (1 << k);
                ASSERT_TRUE(run(s, dT, static_cast<int>(std::lround(T / dT))))
                    << s_methods[m] << " " << c.body << s.keys();
                errors[k] = std::abs(s.value(c.out) - TypeParam(c.exact));
            }
            const double order = c.orders[m];
            for (int k = 0; k < 3; ++k)
            {
                if (order == 0)
                {
                    EXPECT_LT(errors[k], 1e-11) << s_methods[m] << " " << c.body;
                }
                else if (k < 2)
                {
                    EXPECT_NEAR(std::log2(errors[k] / errors[k + 1]), order, 0.2) << s_methods[m] << " " << c.body;
                }
            }
        }
    }
}

TYPED_TEST_P(DAEStep, ATransferFunctionStepsByTheStabilityFunction)
{
    // y/u = 1/(s+1) with u = 1 from y = 0: y_n = 1 - R(-dT)^n, R the method's stability function.
    auto R = [](int m, double z) {
        switch (m)
        {
        case 0: return 1 / (1 - z);
        case 1: return (1 + z / 2) / (1 - z / 2);
        case 2: return (1 + z / 2 + z * z / 12) / (1 - z / 2 + z * z / 12);
        default: return (1 + z / 2 + z * z / 10 + z * z * z / 120) / (1 - z / 2 + z * z / 10 - z * z * z / 120);
        }
    };
    const double dTs[] = {0.01, 0.01, 0.1, 0.2};
    const double bounds[] = {2e-3, 4e-6, 1e-7, 5e-10};
    for (int m = 0; m < 4; ++m)
    {
        DAE<TypeParam> s;
        ASSERT_TRUE(s.build(daeModel(s_methods[m], "Vars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nNLEs:\nu = 1\n")))
            << s.keys();
        const double dT = dTs[m];
        s.pSolver->setStepSize(dT);
        ASSERT_TRUE(s.pSolver->reset(0.0));
        const int n = static_cast<int>(std::lround(5.0 / dT));
        double worst = 0;
        for (int k = 1; k <= n; ++k)
        {
            ASSERT_EQ(s.pSolver->step(1), Solution::OK) << s_methods[m] << " step " << k;
            const TypeParam y = s.value("y");
            ASSERT_NEAR(std::abs(y - TypeParam(1 - std::pow(R(m, -dT), k))), 0, 1e-12) << s_methods[m] << " " << k;
            worst = std::max(worst, std::abs(y - TypeParam(1 - std::exp(-k * dT))));
        }
        EXPECT_LT(worst, bounds[m]) << s_methods[m];
    }
}

TYPED_TEST_P(DAEStep, ATimeVaryingJacobianIsRefactorisedEveryStep)
{
    // x' = -(1+t)x under Euler: x_(n+1) = x_n / (1 + dT(1 + t_(n+1))); the Jacobian reads no
    // variable, yet changes with t.
    DAE<TypeParam> s;
    ASSERT_TRUE(s.build(daeModel("Euler", "Vars:\nx = 1\nODEs:\nx' = -(1 + t)*x\n"))) << s.keys();
    EXPECT_TRUE(s.pSolver->keepsFactorisation());
    const double dT = 0.1;
    s.pSolver->setStepSize(dT);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    double x = 1;
    for (int k = 1; k <= 20; ++k)
    {
        ASSERT_EQ(s.pSolver->step(1), Solution::OK);
        x /= 1 + dT * (1 + k * dT);
        EXPECT_NEAR(std::abs(s.value("x") - TypeParam(x)), 0, 1e-13) << k;
        EXPECT_LE(s.pSolver->getNumberOfIterations(), 2u) << k;
    }
    const sparse::FactorStats stats = s.pSolver->getFactorStats();
    EXPECT_EQ(stats.factorisations + stats.refactorisations, 20u);
}

TYPED_TEST_P(DAEStep, AConstantJacobianIsFactorisedOncePerChange)
{
    DAE<TypeParam> s;
    ASSERT_TRUE(s.build(daeModel("Trapez", "Vars:\nx = 1\ny = 0\nODEs:\nx' = -2*x\nNLEs:\ny = 2*x\n"))) << s.keys();
    ASSERT_TRUE(s.pSolver->keepsFactorisation());
    ASSERT_TRUE(run(s, 0.01, 100));
    auto factorisations = [&] {
        const sparse::FactorStats stats = s.pSolver->getFactorStats();
        return stats.factorisations + stats.refactorisations;
    };
    EXPECT_EQ(factorisations(), 1u);
    const TypeParam x = s.value("x");
    EXPECT_NEAR(std::abs(x - TypeParam(std::pow(0.99 / 1.01, 100))), 0, 1e-12);
    EXPECT_NEAR(std::abs(s.value("y") - TypeParam(2) * x), 0, 1e-12);
    // A new step size changes the Jacobian once.
    s.pSolver->setStepSize(0.02);
    ASSERT_EQ(s.pSolver->step(10), Solution::OK);
    EXPECT_EQ(factorisations(), 2u);
    EXPECT_NEAR(std::abs(s.value("x") - x * TypeParam(std::pow(0.98 / 1.02, 10))), 0, 1e-12);
}

TYPED_TEST_P(DAEStep, ANonlinearStepStartsOnTheLastFactorisation)
{
    // x' = -x^3 under Euler: x_(n+1) solves x + dT x^3 = x_n (Newton in the test). An
    // iteration that does not end its step factorises for the next, the first iteration of a
    // step uses the last one; a reset or another step size factorises afresh.
    DAE<TypeParam> s;
    ASSERT_TRUE(s.build(daeModel("Euler", "Vars:\nx = 1\nODEs:\nx' = -x*x*x\n"))) << s.keys();
    ASSERT_FALSE(s.pSolver->keepsFactorisation());
    auto factorisations = [&] {
        const sparse::FactorStats stats = s.pSolver->getFactorStats();
        return stats.factorisations + stats.refactorisations;
    };
    double x = 1, dT = 0.05;
    td::UINT4 expected = 0;
    auto steps = [&](int n, bool fresh) {
        for (int k = 1; k <= n; ++k)
        {
            ASSERT_EQ(s.pSolver->step(1), Solution::OK) << k;
            double next = x;
            for (int i = 0; i < 50; ++i)
                next -= (next + dT * next * next * next - x) / (1 + 3 * dT * next * next);
            x = next;
            EXPECT_NEAR(std::abs(s.value("x") - TypeParam(x)), 0, 1e-12) << k;
            expected += s.pSolver->getNumberOfIterations() - 1 + (fresh && k == 1 ? 1 : 0);
            EXPECT_EQ(factorisations(), expected) << k;
        }
    };
    s.pSolver->setStepSize(dT);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    steps(20, true);
    steps(5, false);
    dT = 0.1;
    s.pSolver->setStepSize(dT);
    steps(5, true);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    x = test::re(s.value("x"));
    steps(5, true);
}

TYPED_TEST_P(DAEStep, RowsGiveTheStepsOfTheEntryEvaluators)
{
    // The Newton iterations take residuals and Jacobian from the equations' rows; entry by
    // entry (rows dropped) every step gives the same values bit for bit. The linear coupling
    // keeps its factorisation (its Jacobian filled from the rows' values), the nonlinear one
    // is refactorised each iteration.
    const char* const domain = sl::ValueTraits<TypeParam>::isComplex ? ", domain = cmplx" : "";
    const char* const couplings[] = {"u = x", "u = x*x + 0.1*sin(y)"};
    for (const char* method : {"Trapez", "RK4"})
    {
        for (const char* coupling : couplings)
        {
            const std::string text =
                daeModel(method,
                         std::string("Vars:\nx = 1\ny = 0.5\nu = 0\nODEs:\nx' = -x\nTFs:\ny / u = 1/(s + 1)\nNLEs:\n") +
                             coupling + "\n",
                         domain);
            const std::string where = std::string(method) + ", " + coupling;
            DAE<TypeParam> rows, entries;
            ASSERT_TRUE(rows.build(text)) << where << rows.keys();
            ASSERT_TRUE(entries.build(text)) << where;
            const sl::SolverStores<TypeParam>& s = rows.pSolver->getStores();
            ASSERT_TRUE(s.rows.isUsable(s.equations, s.jacobian)) << where;
            EXPECT_EQ(rows.pSolver->keepsFactorisation(), coupling == couplings[0]) << where;
            entries.pSolver->getStores().rows.clear();
            const td::UINT4 n = rows.pSolver->getNumberOfVariables() + rows.pSolver->getNumberOfParameters();
            for (DAE<TypeParam>* p : {&rows, &entries})
            {
                p->pSolver->setStepSize(0.05);
                ASSERT_TRUE(p->pSolver->reset(0.0)) << where;
            }
            for (int k = 1; k <= 20; ++k)
            {
                ASSERT_EQ(rows.pSolver->step(1), Solution::OK) << where << " step " << k;
                ASSERT_EQ(entries.pSolver->step(1), Solution::OK) << where << " step " << k;
                EXPECT_EQ(rows.pSolver->getNumberOfIterations(), entries.pSolver->getNumberOfIterations()) << where;
                for (td::UINT4 i = 0; i < n; ++i)
                    ASSERT_EQ(std::memcmp(&rows.pSolver->getVariableValuesPtr()[i],
                                          &entries.pSolver->getVariableValuesPtr()[i], sizeof(TypeParam)),
                              0)
                        << where << ", step " << k << ": symbol " << i;
            }
            const sparse::FactorStats a = rows.pSolver->getFactorStats(), b = entries.pSolver->getFactorStats();
            EXPECT_EQ(a.factorisations + a.refactorisations, b.factorisations + b.refactorisations) << where;
        }
    }
}

TYPED_TEST_P(DAEStep, AFailedStepLeavesTheStateBeforeItAndASmallerStepGoesOn)
{
    // Good steps of dT, then a step of bigDT that fails with status: t, the variables
    // (stages among them), the parameters (history among them) and the limit's state are
    // as before it; a step of dT then goes on as a run that never failed.
    struct Case
    {
        const char* method;
        const char* body;
        td::UINT2 maxIter;
        int good;
        double dT, bigDT;
        Solution status;
        const char* key;
    };
    const Case cases[] = {
        // Newton needs more than three iterations for the big step.
        {"RK4", "Vars:\nx = 1\nODEs:\nx' = -x*x*x\n", 3, 2, 0.01, 1.0, Solution::MaxIters, msg::scMaxIterLimit},
        // The first iterate of y overshoots by e^5: the residual grows past 50 times its start.
        {"RK4", "Vars:\nx = 1\ny = 0\nz = 0\nODEs:\nx' = -x\nNLEs:\nexp(y) = exp(50*t)\nz = lim(y, 0, 3)\n", 10, 2,
         0.01, 0.1, Solution::Oscillation, msg::scOscillation},
        // From y = 0 the first iterate is y = 1, where the Jacobian 3y^2 - 3 is singular.
        {"Trapez", "Vars:\nx = 1\ny = 0\nODEs:\nx' = -x\nNLEs:\ny^3 - 3*y = -30*t\n", 100, 0, 0.05, 0.1,
         Solution::FactorizationError, msg::scDAEFactorizationError},
        // At t = 2 the residual is not finite: the solve fails.
        {"Euler", "Vars:\nx = 0\nODEs:\nx' = 1/(2 - t)\n", 100, 2, 0.25, 1.5, Solution::SolutionError, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.body);
        DAE<TypeParam> s, reference;
        for (DAE<TypeParam>* p : {&s, &reference})
        {
            ASSERT_TRUE(p->build(daeModel(c.method, c.body))) << p->keys();
            p->pSolver->setMaxIter(c.maxIter);
            ASSERT_TRUE(run(*p, c.dT, c.good));
        }
        sl::Solver<TypeParam>& solver = *s.pSolver;
        solver.setStepSize(c.bigDT);
        const td::UINT4 n = solver.getNumberOfVariables() + solver.getNumberOfParameters();
        const std::vector<TypeParam> before(solver.getVariableValuesPtr(), solver.getVariableValuesPtr() + n);
        sl::FnLimits<TypeParam>& limits = *solver.getFnLimits();
        const double limitBefore = limits.size() ? limits[1]._currentValue : 0;
        EXPECT_EQ(solver.step(3), c.status);
        EXPECT_EQ(solver.getStatus(), c.status);
        EXPECT_EQ(s.keys(), c.key ? std::string(c.key) + "\n" : std::string());
        for (td::UINT4 i = 0; i < n; ++i)
            EXPECT_EQ(solver.getVariableValuesPtr()[i], before[i]) << solver.getSymbolName(static_cast<td::INT4>(i));
        if (limits.size())
        {
            EXPECT_EQ(limits[1]._currentValue, limitBefore);
        }

        solver.setStepSize(c.dT);
        ASSERT_EQ(solver.step(1), Solution::OK) << s.keys();
        ASSERT_EQ(reference.pSolver->step(1), Solution::OK);
        for (td::UINT4 i = 0; i < n; ++i)
            EXPECT_NEAR(std::abs(solver.getVariableValuesPtr()[i] - reference.pSolver->getVariableValuesPtr()[i]), 0,
                        1e-12)
                << solver.getSymbolName(static_cast<td::INT4>(i));
    }
}

TYPED_TEST_P(DAEStep, AStepAfterAFailedOneFactorisesAfresh)
{
    // The step that ran out of iterations held the factorisation of its last iterate; the
    // same step tried again with more iterations factorises at the restored values first.
    DAE<TypeParam> s, reference;
    for (DAE<TypeParam>* p : {&s, &reference})
    {
        ASSERT_TRUE(p->build(daeModel("RK4", "Vars:\nx = 1\nODEs:\nx' = -x*x*x\n"))) << p->keys();
        ASSERT_TRUE(run(*p, 1.0, 1));
    }
    ASSERT_FALSE(s.pSolver->keepsFactorisation());
    auto factorisations = [&] {
        const sparse::FactorStats stats = s.pSolver->getFactorStats();
        return stats.factorisations + stats.refactorisations;
    };
    s.pSolver->setMaxIter(3);
    ASSERT_EQ(s.pSolver->step(1), Solution::MaxIters);
    EXPECT_EQ(s.value("t"), TypeParam(1));
    const td::UINT4 before = factorisations();
    s.pSolver->setMaxIter(100);
    ASSERT_EQ(s.pSolver->step(1), Solution::OK) << s.keys();
    EXPECT_EQ(factorisations(), before + s.pSolver->getNumberOfIterations());
    ASSERT_EQ(reference.pSolver->step(1), Solution::OK);
    EXPECT_NEAR(std::abs(s.value("x") - reference.value("x")), 0, 1e-14);
    EXPECT_EQ(s.value("t"), TypeParam(2));
}

// Scenario sweeps of a dynamic model: values set from outside, a reset and new step sizes
// factorise afresh over the analysis of the unchanged pattern, so that the steps repeat bit
// for bit those of a model loaded anew; also where the pivots kept from the last run are not
// those a fresh factorisation chooses (the tiny a is no pivot, 0.7 is).
TYPED_TEST_P(DAEStep, StepsAfterValuesSetRepeatAModelLoadedAnew)
{
    using T = TypeParam;
    const std::string text =
        daeModel("Euler", "Vars:\nw = 1\nx = 1.5\ny = 1\nz = 0.8\nParams:\na = 1e-7\nODEs:\nw' = -w + 0.1*x\n"
                          "NLEs:\na*x + y = 1.5\nx + y*y + z = 3\ny*z + x*x = 2\n");
    DAE<T> swept;
    ASSERT_TRUE(swept.build(text)) << swept.keys();
    const td::UINT4 nVars = swept.pSolver->getNumberOfVariables();
    const std::vector<T> start(swept.pSolver->getVariableValuesPtr(), swept.pSolver->getVariableValuesPtr() + nVars);
    ASSERT_TRUE(run(swept, 0.1, 5)) << swept.keys();
    EXPECT_EQ(swept.pSolver->getFactorStats().analyses, 1u);
    const struct
    {
        double a, dT, nextDT;
        td::UINT4 kept;
    } scenarios[] = {
        {0.7, 0.05, 0.02, 0}, {0.7, 0.05, 0.05, 0}, {0.7, 0.05, 0.05, 0}, {0.7, 0.05, 0.05, 1}, {1e-7, 0.1, 0.2, 1}};
    for (const auto& scenario : scenarios)
    {
        DAE<T> anew;
        ASSERT_TRUE(anew.build(text));
        for (DAE<T>* p : {&swept, &anew})
        {
            ASSERT_TRUE(p->pSolver->setParameterValue("a", T(scenario.a)));
            for (td::UINT4 i = 0; i < nVars; ++i)
                p->pSolver->setVariableValue(static_cast<td::INT4>(i), start[i]);
            p->pSolver->setStepSize(scenario.dT);
            ASSERT_TRUE(p->pSolver->reset(0.0)) << scenario.a;
            ASSERT_EQ(p->pSolver->step(3), Solution::OK) << scenario.a;
            p->pSolver->setStepSize(scenario.nextDT);
            ASSERT_EQ(p->pSolver->step(3), Solution::OK) << scenario.a;
        }
        EXPECT_EQ(test::firstDifference(swept, anew), "") << scenario.a << " " << scenario.nextDT;
        EXPECT_EQ(swept.pSolver->getFactorStats().analyses, 1u) << scenario.a;
        // A reset to the start of the scenario before returns to the values of its fresh choice:
        // from the second return on, the factorisation kept from it serves.
        EXPECT_EQ(swept.pSolver->getFactorStats().factorisationsKept, scenario.kept) << scenario.a;
    }
}

REGISTER_TYPED_TEST_SUITE_P(DAEStep, ATransferFunctionStepsByTheStabilityFunction,
                            ATimeVaryingJacobianIsRefactorisedEveryStep, AConstantJacobianIsFactorisedOncePerChange,
                            ANonlinearStepStartsOnTheLastFactorisation, RowsGiveTheStepsOfTheEntryEvaluators,
                            AFailedStepLeavesTheStateBeforeItAndASmallerStepGoesOn,
                            AStepAfterAFailedOneFactorisesAfresh, OrdersOfEveryKindOfRightSide,
                            StepsAfterValuesSetRepeatAModelLoadedAnew);
using Builds = ::testing::Types<double, Cmplx>;
INSTANTIATE_TYPED_TEST_SUITE_P(Both, DAEStep, Builds);

TEST(DAESolve, ComplexTrapezoidStepsByItsStabilityFunction)
{
    DAE<Cmplx> s;
    ASSERT_TRUE(s.build("Model [type = DAE, domain = cmplx, method = Trapez, eps = 1e-12]:\nVars:\nx = 1\n"
                        "Params:\nlambda = -1+2i\nODEs:\nx' = lambda*x\nend\n"))
        << s.keys();
    ASSERT_TRUE(run(s, 0.1, 5));
    const Cmplx z = 0.1 * Cmplx(-1, 2);
    EXPECT_LT(std::abs(s.value("x") - std::pow((1.0 + z / 2.0) / (1.0 - z / 2.0), 5)), 1e-12);
}

TEST(DAESolve, StatesAndVariableRecordsOfTheBuild)
{
    // x is an ODE state, y'x1 the state of the transfer function; y's record names it as
    // the copy target, which a reset fills from y.
    DAE<double> s;
    ASSERT_TRUE(s.build(daeModel("RK4", "Vars:\nx = 1\ny = 0.5\nu = 0\nODEs:\nx' = -x\nTFs:\ny / u = 1/(s + 1)\n"
                                        "NLEs:\nu = x\n")))
        << s.keys();
    EXPECT_EQ(s.pSolver->getIntegrationMethod(), 2);
    EXPECT_EQ(s.pSolver->getNumberOfStateVariables(), 2u);
    const cnt::SafeFullVector<sl::DAEVarRecord>* pRecords = s.pSolver->getVariableRecords();
    ASSERT_NE(pRecords, nullptr);
    ASSERT_EQ(pRecords->size(), s.pSolver->getNumberOfVariables());
    const td::INT4 y = s.pSolver->getSymbolIndex("y"), state = s.pSolver->getSymbolIndex("y'x1");
    EXPECT_EQ((*pRecords)[static_cast<td::UINT4>(y)].firstTFState, state);
    s.pSolver->setStepSize(0.1);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    EXPECT_EQ(s.value("y'x1"), 0.5);
    // The history parameters hold the values the first step starts from.
    EXPECT_EQ(s.value("x@_"), 1.0);
    EXPECT_EQ(s.value("x#k1"), 1.0);
    ASSERT_EQ(s.pSolver->step(1), Solution::OK);
    EXPECT_EQ(s.value("x@_"), 1.0);
    EXPECT_NEAR(s.value("x"), (1 - 0.05 + 0.01 / 12) / (1 + 0.05 + 0.01 / 12), 1e-12);
}

TEST(DAESolve, SimulateRunsItsStepsAndReportsThem)
{
    DAE<double> s;
    ASSERT_TRUE(s.build(daeModel("Euler", "Vars:\nx = 0\nODEs:\nx' = 1\n"))) << s.keys();
    TimeConsumer<double> consumer(s.pSolver);
    ASSERT_TRUE(s.pSolver->simulate(0.0, 0.25, 1.0, &consumer, 1));
    // The first step reports before it raises t; then after every step.
    EXPECT_EQ(consumer.calls, "p0.00 p0.25 p0.50 p0.75 p1.00 3 ");
    EXPECT_NEAR(s.value("x"), 1.0, 1e-12);
    EXPECT_EQ(s.place(8), 0.0);
    EXPECT_EQ(s.place(9), 1.0);
    EXPECT_FALSE(s.pSolver->simulate(0.0, 0.0, 1.0, &consumer, 1));
    EXPECT_EQ(s.keys(), std::string(msg::scWrongDTForDAE) + "\n");
}

TEST(DAESolve, FailedFactorisationsAndEndlessLimitGroupsEndTheStep)
{
    // y^2 = x has a singular Jacobian at y = 0: the sparse solver is released, and a
    // start away from it steps.
    DAE<double> singular;
    ASSERT_TRUE(singular.build(daeModel("Euler", "Vars:\nx = 1\ny = 0\nODEs:\nx' = -x\nNLEs:\ny^2 = x\n")));
    singular.pSolver->setStepSize(0.1);
    ASSERT_TRUE(singular.pSolver->reset(0.0));
    EXPECT_EQ(singular.pSolver->solve(), Solution::FactorizationError);
    EXPECT_EQ(singular.keys(), std::string(msg::scDAEFactorizationError) + "\n");
    EXPECT_EQ(singular.pSolver->getFactorStats().analyses, 0u);
    singular.pSolver->setVariableValue("y", 1.0);
    ASSERT_EQ(singular.pSolver->step(1), Solution::OK);
    EXPECT_NEAR(singular.value("y"), std::sqrt(1 / 1.1), 1e-12);

    // A group that signals in every pass ends the step at the iteration limit.
    DAE<double> always;
    ASSERT_TRUE(always.build(daeModel("Euler", "Vars:\nx = 1\nParams:\np = 5\nn = 0\nODEs:\nx' = -x\nLimits:\n"
                                               "group\n    if p > 0 [signal = TooHigh]\n        n += 1\n    end\n"
                                               "end\n")))
        << always.keys();
    always.pSolver->setMaxIter(7);
    always.pSolver->setStepSize(0.1);
    ASSERT_TRUE(always.pSolver->reset(0.0));
    EXPECT_EQ(always.pSolver->solve(), Solution::MaxIters);
    EXPECT_EQ(always.keys(), std::string(msg::scMaxIterLimit) + "\n");
    // The failed step puts back the parameter its group counted up.
    EXPECT_EQ(always.value("n"), 0.0);
}

TEST(DAESolve, ResetKeysFailingStepsAndTheInitialProblem)
{
    DAE<double> noStep;
    ASSERT_TRUE(noStep.build(daeModel("Euler", "Vars:\nx = 0\nODEs:\nx' = 1\n")));
    noStep.pSolver->setStepSize(-1);
    EXPECT_FALSE(noStep.pSolver->reset(0.0));
    EXPECT_EQ(noStep.keys(), std::string(msg::scZeroOrNegDeltaT) + "\n");

    // x' = 1/(2 - t) steps well to t = 1.5; at t = 2 the residual is not finite, and the
    // failed step leaves t where it was.
    DAE<double> failing;
    ASSERT_TRUE(failing.build(daeModel("Euler", "Vars:\nx = 0\nODEs:\nx' = 1/(2 - t)\n")));
    failing.pSolver->setStepSize(0.5);
    ASSERT_TRUE(failing.pSolver->reset(0.0));
    ASSERT_EQ(failing.pSolver->step(3), Solution::OK);
    EXPECT_EQ(failing.pSolver->step(3), Solution::SolutionError);
    EXPECT_EQ(failing.value("t"), 1.5);
    EXPECT_NE(failing.pSolver->getStatus(), Solution::OK);

    // A child (the initial problem) that cannot be solved fails the reset.
    DAE<double> initial;
    ASSERT_TRUE(initial.build("Model [type = DAE, method = Euler]:\nVars:\nx = 0\n"
                              "SubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu^2 + 1 = 0\nend\n"
                              "ODEs:\nx' = -x\nend\n"))
        << initial.keys();
    initial.pSolver->setStepSize(0.1);
    EXPECT_FALSE(initial.pSolver->reset(0.0));
    EXPECT_EQ(initial.pSolver->getStatus(), Solution::SubmodelFailed);
    EXPECT_NE(std::string(initial.pSolver->getErrorLog().c_str()).find("Cannot solve initial problem!"),
              std::string::npos);
}
} // namespace
