#include <cmath>
#include <complex>
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

template <typename T> using ODE = test::BuiltSolver<T, sl::ODESolver<T>>;

template <typename T> class ODEStep : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(ODEStep, Builds);

std::string odeModel(const std::string& body, const char* domain = "")
{
    return std::string("Model [type = ODE") + domain + "]:\n" + body + "end\n";
}

// Records the consumer's calls as "p" with the time parameter, and the codes of finished;
// stops the simulation at its stop-th progress call.
class Consumer final : public sc::ISolverConsumer
{
public:
    Consumer(sc::ISolver<double>* pSolver, int stop) : _pSolver(pSolver), _stop(stop) {}
    void progress() override
    {
        double t = 0;
        _pSolver->getParameterValue("t", t);
        calls += "p" + std::to_string(t).substr(0, 3) + " ";
        if (++_count == _stop)
            _pSolver->stopSimulation();
    }
    void finished(td::BYTE code) override { calls += std::to_string(code) + " "; }
    std::string calls;

private:
    sc::ISolver<double>* _pSolver;
    int _stop;
    int _count = 0;
};

TYPED_TEST(ODEStep, HeunStepsAreExactOnPolynomialsOfTime)
{
    struct Case
    {
        const char* ode;
        double dT;
        int steps;
        double x;
    } cases[] = {
        {"x' = 1", 0.1, 1, 0.1},
        // k1 at t_n and k2 at t_n + dT: one step of 0.5 from 0 gives t^2/2 = 0.125.
        {"x' = t", 0.5, 1, 0.125},
        {"x' = t", 0.25, 8, 2.0},
    };
    for (const Case& c : cases)
    {
        ODE<TypeParam> s;
        ASSERT_TRUE(s.build(odeModel(std::string("Vars:\nx = 0\nODEs:\n") + c.ode + "\n"))) << s.keys();
        s.pSolver->setStepSize(c.dT);
        // setStepSize also writes the step parameter the model reads.
        EXPECT_EQ(test::re(s.value("dT")), c.dT);
        ASSERT_TRUE(s.pSolver->reset(0.0));
        ASSERT_EQ(s.pSolver->step(c.steps), Solution::OK);
        EXPECT_EQ(test::re(s.value("x")), c.x) << c.ode;
        EXPECT_NEAR(test::re(s.value("t")), c.steps * c.dT, 1e-15) << c.ode;
    }
}

TYPED_TEST(ODEStep, TheOscillatorsEnergyGrowsByHeunsFactor)
{
    // x' = v, v' = -w^2 x: each step multiplies (w^2 x^2 + v^2)/2 by 1 + (w h)^4 / 4.
    const double w = 2, h = 0.05;
    ODE<TypeParam> s;
    ASSERT_TRUE(s.build(odeModel("Vars:\nx = 1\nv = 0\nParams:\nw = 2\nODEs:\nx' = v\nv' = -w^2*x\n"))) << s.keys();
    s.pSolver->setStepSize(h);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    const double e0 = w * w / 2;
    for (int n = 1; n <= 4; ++n)
    {
        ASSERT_EQ(s.pSolver->step(50), Solution::OK);
        const double x = test::re(s.value("x")), v = test::re(s.value("v"));
        const double expected = e0 * std::pow(1 + std::pow(w * h, 4) / 4, 50 * n);
        EXPECT_NEAR((w * w * x * x + v * v) / 2 / expected, 1, 1e-12) << n;
    }
    EXPECT_NEAR(test::re(s.value("t")), 200 * h, 1e-12);
}

TEST(ODEStep, HeunIsOfSecondOrder)
{
    double errors[3];
    for (int k = 0; k < 3; ++k)
    {
        ODE<double> s;
        ASSERT_TRUE(s.build(odeModel("Vars:\nx = 1\nODEs:\nx' = -x\n")));
        const double dT = 0.1 / (1 << k);
        s.pSolver->setStepSize(dT);
        ASSERT_TRUE(s.pSolver->reset(0.0));
        ASSERT_EQ(s.pSolver->step(static_cast<int>(std::lround(2 / dT))), Solution::OK);
        errors[k] = std::fabs(s.value("x") - std::exp(-2.0));
    }
    for (int k = 0; k < 2; ++k)
        EXPECT_NEAR(std::log2(errors[k] / errors[k + 1]), 2, 0.1);
}

TEST(ODEStep, AComplexStepMultipliesByHeunsPolynomial)
{
    ODE<Cmplx> s;
    ASSERT_TRUE(s.build(odeModel("Vars:\nx = 1\nParams:\nlambda = -1+2i\nODEs:\nx' = lambda*x\n", ", domain = cmplx")))
        << s.keys();
    s.pSolver->setStepSize(0.1);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    ASSERT_EQ(s.pSolver->step(5), Solution::OK);
    const Cmplx z = 0.1 * Cmplx(-1, 2);
    EXPECT_LT(std::abs(s.value("x") - std::pow(1.0 + z + z * z / 2.0, 5)), 1e-14);
}

TEST(ODEStep, ANonFiniteStateEndsTheSteps)
{
    // x' = 1/(1 - t): the second step's slope at t = 1 is infinite; t stays before it.
    ODE<double> s;
    ASSERT_TRUE(s.build(odeModel("Vars:\nx = 0\nODEs:\nx' = 1/(1 - t)\n")));
    s.pSolver->setStepSize(0.5);
    ASSERT_TRUE(s.pSolver->reset(0.0));
    EXPECT_EQ(s.pSolver->step(5), Solution::SolutionError);
    EXPECT_EQ(s.value("t"), 0.5);
    EXPECT_EQ(s.pSolver->getStatus(), Solution::SolutionError);

    // A step that is not positive cannot reset.
    s.pSolver->setStepSize(0);
    EXPECT_FALSE(s.pSolver->reset(0.0));
    EXPECT_EQ(s.keys(), std::string(msg::scZeroOrNegDeltaT) + "\n");
}

TYPED_TEST(ODEStep, AFailedStepLeavesTheStateBeforeItAndASmallerStepGoesOn)
{
    // good steps of dT, then steps of failDT that fail: t, the variables and the parameters
    // (n counts the steps in PreProc) stay as they were, however often the step is tried; a
    // step of goOnDT then goes on bit for bit as in a run that never failed.
    struct Case
    {
        const char* ode;
        int good;
        double dT, failDT, goOnDT;
        bool complexToo;
    };
    const Case cases[] = {
        // Heun multiplies x by 41 a step: the 190th overflows.
        {"x' = -1000*x", 189, 0.01, 0.01, 0.001, true},
        // The predictor's slope at t = 1.25 is the root of a negative number.
        {"x' = sqrt(1 - t)", 2, 0.25, 0.75, 0.25, false},
        // The predictor's slope at t = 1 divides by zero.
        {"x' = 1/(1 - t)", 1, 0.5, 0.5, 0.25, true},
    };
    for (const Case& c : cases)
    {
        if (sl::ValueTraits<TypeParam>::isComplex && !c.complexToo)
            continue;
        SCOPED_TRACE(c.ode);
        const std::string text =
            odeModel(std::string("Vars:\nx = 1\nParams:\nn = 0\nODEs:\n") + c.ode + "\nPreProc:\nn = n + 1\n");
        ODE<TypeParam> s, reference;
        for (ODE<TypeParam>* p : {&s, &reference})
        {
            ASSERT_TRUE(p->build(text)) << p->keys();
            p->pSolver->setStepSize(c.dT);
            ASSERT_TRUE(p->pSolver->reset(0.0));
            ASSERT_EQ(p->pSolver->step(c.good), Solution::OK);
        }
        sl::Solver<TypeParam>& solver = *s.pSolver;
        solver.setStepSize(c.failDT);
        const td::UINT4 n = solver.getNumberOfVariables() + solver.getNumberOfParameters();
        const std::vector<TypeParam> before(solver.getVariableValuesPtr(), solver.getVariableValuesPtr() + n);
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            EXPECT_EQ(solver.step(3), Solution::SolutionError);
            EXPECT_EQ(solver.getStatus(), Solution::SolutionError);
            for (td::UINT4 i = 0; i < n; ++i)
                EXPECT_EQ(solver.getVariableValuesPtr()[i], before[i])
                    << solver.getSymbolName(static_cast<td::INT4>(i)) << " " << attempt;
        }
        // PreProc runs twice a step.
        EXPECT_EQ(test::re(s.value("n")), 2 * c.good);

        for (ODE<TypeParam>* p : {&s, &reference})
        {
            p->pSolver->setStepSize(c.goOnDT);
            ASSERT_EQ(p->pSolver->step(1), Solution::OK) << p->keys();
        }
        EXPECT_EQ(test::firstDifference(s, reference), "");
        EXPECT_NEAR(test::re(s.value("t")), c.good * c.dT + c.goOnDT, 1e-12);
    }
}

TEST(ODEStep, StatementsOfALargeModelBuildWhereverTheirTokensAreStored)
{
    // The tokens of 3000 ODEs fill several blocks of the tokenized model: the lines that
    // cross from one block to the next read like every other.
    const int n = 3000;
    std::string vars = "Vars:\n", odes = "ODEs:\n";
    for (int i = 0; i < n; ++i)
    {
        const std::string x = "x" + std::to_string(i);
        vars += x + " = 1\n";
        odes += x + "' = -" + x + "\n";
    }
    ODE<double> ode;
    ASSERT_TRUE(ode.build(odeModel(vars + odes))) << ode.keys();
    test::BuiltSolver<double, sl::DAESolver<double>> dae;
    ASSERT_TRUE(dae.build("Model [type = DAE, method = Euler]:\n" + vars + odes + "end\n")) << dae.keys();
    for (sc::ISolver<double>* p :
         {static_cast<sc::ISolver<double>*>(ode.pSolver), static_cast<sc::ISolver<double>*>(dae.pSolver)})
    {
        p->setStepSize(0.5);
        ASSERT_TRUE(p->reset(0.0));
        ASSERT_EQ(p->step(1), Solution::OK);
    }
    for (int i = 0; i < n; i += 997)
    {
        const std::string x = "x" + std::to_string(i);
        EXPECT_EQ(ode.value(x.c_str()), 0.625) << x; // 1 - 0.5 + 0.125
        EXPECT_NEAR(dae.value(x.c_str()), 1 / 1.5, 1e-12) << x;
    }
}

TEST(ODEStep, SimulateStepsReportsAndStops)
{
    ODE<double> s;
    ASSERT_TRUE(s.build(odeModel("Vars:\nx = 0\nODEs:\nx' = 1\n")));
    // Steps start at 0, 0.5 and 1; t ends at 1.5. Progress before the first and after every
    // second step.
    Consumer run(s.pSolver, 0);
    ASSERT_TRUE(s.pSolver->simulate(0, 0.5, 1, &run, 2));
    EXPECT_EQ(run.calls, "p0.0 p1.0 3 ");
    EXPECT_EQ(s.value("t"), 1.5);
    EXPECT_EQ(s.value("x"), 1.5);
    EXPECT_EQ(s.place(8), 0.0);
    EXPECT_EQ(s.place(9), 1.0);

    // t0 >= tEnd runs until the consumer stops it (at its third call).
    s.pSolver->setVariableValue("x", 0.0);
    Consumer untilStopped(s.pSolver, 3);
    ASSERT_TRUE(s.pSolver->simulate(2, 0.5, 1, &untilStopped, 1));
    EXPECT_EQ(untilStopped.calls, "p2.0 p2.5 p3.0 3 ");
    EXPECT_EQ(s.value("x"), 1.0);

    EXPECT_FALSE(s.pSolver->simulate(0, -1, 1, &run, 1));
    EXPECT_EQ(s.keys(), std::string(msg::scWrongDTForODE) + "\n");
}
} // namespace
