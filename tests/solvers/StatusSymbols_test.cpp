// What a model reads of its run through the solver-status symbols (repetition, pass,
// iterations, status, tolerance and norm) in every solver kind, with or without a progress
// record, and repeat decisions that read them.
#include <complex>
#include <string>

#include <gtest/gtest.h>

#include "SolverSupport.h"

namespace
{
using sc::Solution;
using test::Cmplx;
using test::re;

template <typename T> class StatusSymbols : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(StatusSymbols, Builds);

// Repeats while the repetition number is below 2: three repetitions.
const std::string cRepeatTwice = "Repeats:\nif repeat# < 2\n    repeat\nend\n";
// Far above three repetitions: a run that does not see its repetition number ends here
// instead of running on.
constexpr td::INT4 cRepetitionCap = 20;

// Counts the consumer's progress calls and records the codes of finished.
class Counter final : public sc::ISolverConsumer
{
public:
    void progress() override { ++progressCalls; }
    void finished(td::BYTE code) override { finishes += std::to_string(code); }
    int progressCalls = 0;
    std::string finishes;
};

TYPED_TEST(StatusSymbols, ANewtonModelReadsThemWithOrWithoutAProgressRecord)
{
    test::BuiltSolver<TypeParam> reps;
    ASSERT_TRUE(reps.build("Model [type = NL]:\nVars:\nx = 0\nParams:\nn = 0\nlast = -1\nNLEs:\nx = n\n"
                           "PostProc:\nn += 1\nlast = repeat#\n" +
                           cRepeatTwice + "end\n"))
        << reps.keys();
    reps.pSolver->setMaxReps(cRepetitionCap);
    EXPECT_EQ(reps.pSolver->solve(), Solution::OK);
    EXPECT_EQ(re(reps.value("n")), 3.0);
    EXPECT_EQ(re(reps.value("last")), 2.0);
    EXPECT_EQ(re(reps.place(0)), 2.0);
    // The same with a progress record.
    sc::SolverMonitor<TypeParam> monitor;
    reps.pSolver->attachMonitor(&monitor);
    EXPECT_EQ(reps.pSolver->solve(), Solution::OK);
    EXPECT_EQ(re(reps.value("n")), 6.0);
    EXPECT_EQ(monitor.repetition, 2u);
    reps.pSolver->attachMonitor(nullptr);

    const std::string params = "rep = -1; aux = -1; pss = -1; it = -1; tot = -1; st = -1; req = -1; obt = -1\n";
    const std::string reads = "PostProc:\nrep = repeat#\naux = succRep#\npss = outIter#\nit = baseIter#\n"
                              "tot = totIter#\nst = solState#\nreq = reqEps#\nobt = obtEps#\n";
    test::BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build("Model [type = NL, eps = 1e-9]:\nVars:\nx = 3; y = 3\nParams:\n" + params +
                        "NLEs:\nx^2 + y = 11\nx + y^2 = 7\n" + reads + "end\n"))
        << s.keys();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    const double iterations = s.pSolver->getNumberOfIterations();
    EXPECT_GT(iterations, 2.0);
    EXPECT_EQ(re(s.value("rep")), 0.0);
    EXPECT_EQ(re(s.value("aux")), 0.0);
    EXPECT_EQ(re(s.value("pss")), 1.0);
    EXPECT_EQ(re(s.value("it")), iterations);
    EXPECT_EQ(re(s.value("tot")), iterations);
    EXPECT_EQ(re(s.value("st")), 0.0);
    EXPECT_EQ(re(s.value("req")), 1e-9);
    EXPECT_EQ(re(s.value("obt")), s.pSolver->getResidualNorm());
    EXPECT_LT(re(s.value("obt")), 1e-9);

    // A limit group that clamps once makes the solve end in its second pass.
    test::BuiltSolver<TypeParam> clamp;
    ASSERT_TRUE(clamp.build("Model [type = NL]:\nVars:\nx = 0\nParams:\np = 5\npss = 0\nNLEs:\nx = p\n"
                            "PostProc:\npss = outIter#\nLimits:\ngroup\n    if p > 2 [signal = TooHigh]\n"
                            "        p = 2\n    end\nend\nend\n"))
        << clamp.keys();
    EXPECT_EQ(clamp.pSolver->solve(), Solution::OK);
    EXPECT_EQ(re(clamp.value("pss")), 2.0);
}

TYPED_TEST(StatusSymbols, AWeightedLeastSquaresModelRepeatsByThem)
{
    test::BuiltSolver<TypeParam, sl::WLSSolver<TypeParam>> s;
    ASSERT_TRUE(s.build("Model [type = WLS, eps = 1e-12]:\nVars:\nx = 0\nParams:\nn = 0; last = -1; pss = -1; st = -1\n"
                        "WLSEs:\nx = 10.1\nx = 9.9\nPostProc:\nn += 1\nlast = repeat#\npss = outIter#\n"
                        "st = solState#\n" +
                        cRepeatTwice + "end\n"))
        << s.keys();
    s.pSolver->setMaxReps(cRepetitionCap);
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_NEAR(std::abs(s.value("x") - TypeParam(10)), 0, 1e-12);
    EXPECT_EQ(re(s.value("n")), 3.0);
    EXPECT_EQ(re(s.value("last")), 2.0);
    EXPECT_EQ(re(s.value("pss")), 1.0);
    EXPECT_EQ(re(s.value("st")), 0.0);
}

TYPED_TEST(StatusSymbols, TimeSteppingRunsReadThemAndRepeatByThem)
{
    test::BuiltSolver<TypeParam, sl::ODESolver<TypeParam>> ode;
    ASSERT_TRUE(ode.build("Model [type = ODE]:\nVars:\nx = 0\nODEs:\nx' = 1\n" + cRepeatTwice + "end\n")) << ode.keys();
    ode.pSolver->setMaxReps(cRepetitionCap);
    Counter odeRun;
    ASSERT_TRUE(ode.pSolver->simulate(0, 0.5, 1, &odeRun, 0));
    EXPECT_EQ(odeRun.progressCalls, 3); // one at the start of each repetition
    EXPECT_EQ(odeRun.finishes, "3");
    EXPECT_EQ(re(ode.place(0)), 2.0);

    // Every step of a DAE model ends in its first pass; a simulation repeats as the ODE's.
    test::BuiltSolver<TypeParam, sl::DAESolver<TypeParam>> dae;
    ASSERT_TRUE(dae.build("Model [type = DAE, method = Euler]:\nVars:\nx = 0\nParams:\npss = -1; rep = -1\n"
                          "ODEs:\nx' = 1\nPostProc:\npss = outIter#\nrep = repeat#\n" +
                          cRepeatTwice + "end\n"))
        << dae.keys();
    dae.pSolver->setStepSize(0.5);
    ASSERT_TRUE(dae.pSolver->reset(0.0));
    ASSERT_EQ(dae.pSolver->step(2), Solution::OK);
    EXPECT_EQ(re(dae.value("pss")), 1.0);
    EXPECT_EQ(re(dae.value("rep")), 0.0);
    dae.pSolver->setMaxReps(cRepetitionCap);
    Counter daeRun;
    ASSERT_TRUE(dae.pSolver->simulate(0, 0.5, 1, &daeRun, 0));
    EXPECT_EQ(daeRun.finishes, "3");
    EXPECT_EQ(re(dae.value("rep")), 2.0);
}
} // namespace
