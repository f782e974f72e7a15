#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "SolverSupport.h"
#include "models/PowerFlowGrid.h"

namespace
{
using sc::Solution;
using test::BuiltSolver;
using test::Cmplx;
namespace msg = sc::msg;

template <typename T> class NRSolve : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(NRSolve, Builds);

const std::string cSample = "Model [type = NL, eps = 1e-6]:\nVars:\nx = 1; y = 1\nParams:\na = 3\n"
                            "NLEs:\nx + y = a\nx - y = 1\nend\n";

// Records the consumer's calls as "p" (progress) and the codes of finished.
class Consumer final : public sc::ISolverConsumer
{
public:
    void progress() override { calls += "p"; }
    void finished(td::BYTE code) override { calls += std::to_string(code); }
    std::string calls;
};

std::string complexModel(const std::string& vars, const std::string& params, const std::string& eqs)
{
    return "Model [type = NL, domain = cmplx, eps = 1e-10]:\nVars:\n" + vars + "\nParams:\n" + params + "\nNLEs:\n" +
           eqs + "end\n";
}

TYPED_TEST(NRSolve, TheSampleModelSolvesAndWritesTheStatusSymbols)
{
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build(cSample)) << s.keys();
    EXPECT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_NEAR(std::abs(s.value("x") - TypeParam(2)), 0, 1e-12);
    EXPECT_NEAR(std::abs(s.value("y") - TypeParam(1)), 0, 1e-12);
    EXPECT_STREQ(s.pSolver->getStatusName(), "OK");
    // A linear model converges in one Newton step.
    EXPECT_EQ(s.pSolver->getNumberOfIterations(), 1u);
    EXPECT_EQ(test::re(s.place(4)), 1.0);                  // totIter#
    EXPECT_EQ(test::re(s.place(5)), 0.0);                  // solState#
    EXPECT_EQ(test::re(s.place(6)), 1e-6);                 // reqEps#
    EXPECT_LT(test::re(s.place(7)), 1e-6);                 // obtEps#
    EXPECT_EQ(s.pSolver->getSymbolIndex("solState#"), -1); // the model's to read, not the host's
}

TEST(NRSolve, ComplexModelsSolveToTheirClosedForms)
{
    BuiltSolver<Cmplx> square;
    ASSERT_TRUE(square.build(complexModel("z = 1+1i", "c = 3+4i", "z*z = c\n"))) << square.keys();
    EXPECT_EQ(square.pSolver->solve(), Solution::OK);
    EXPECT_LT(std::abs(square.value("z") - Cmplx(2, 1)), 1e-10);

    // A source E behind R1 feeding R2 parallel to a capacitor (impedance -j/(w C)):
    // node voltage v, branch currents i1 and i2.
    BuiltSolver<Cmplx> circuit;
    ASSERT_TRUE(circuit.build(complexModel("v = 0; i1 = 0; i2 = 0", "E = 10; R1 = 2; R2 = 4; Zc = -3i",
                                           "E - R1*(i1 + i2) = v\nv = R2*i1\nv = Zc*i2\n")))
        << circuit.keys();
    EXPECT_EQ(circuit.pSolver->solve(), Solution::OK);
    const Cmplx E(10), R1(2), R2(4), Zc(0, -3);
    const Cmplx Zp = R2 * Zc / (R2 + Zc);
    const Cmplx v = E * Zp / (R1 + Zp);
    EXPECT_LT(std::abs(circuit.value("v") - v), 1e-10);
    EXPECT_LT(std::abs(circuit.value("i1") - v / R2), 1e-10);
    EXPECT_LT(std::abs(circuit.value("i2") - v / Zc), 1e-10);
}

TYPED_TEST(NRSolve, StartsIterationLimitsEmptyJacobiansAndTheConsumer)
{
    const std::string converged = "Model [type = NL]:\nVars:\nx = 2\nNLEs:\nx^2 = 4\nend\n";
    const std::string far = "Model [type = NL]:\nVars:\nx = 10\nNLEs:\nx^2 = 4\nend\n";
    const std::string near = "Model [type = NL]:\nVars:\nx = 3\nNLEs:\nx^2 = 4\nend\n";
    const std::string empty = "Model [type = NL]:\nVars:\nx = 1\nParams:\na = 1\nNLEs:\na = 2\nend\n";
    // The start's residual norm equals the tolerance: not converged yet, so one step.
    const std::string atEps = "Model [type = NL, eps = 1]:\nVars:\nx = 3\nNLEs:\nx = 2\nend\n";
    struct Case
    {
        const char* name;
        std::string model;
        td::UINT2 maxIter;
        td::BYTE trace;
        Solution result;
        Solution status;
        td::UINT4 iterations;
        const char* key;
        // Progress calls as "p", then the codes of finished.
        const char* consumer;
    } cases[] = {
        {"converged start", converged, 100, 0, Solution::OK, Solution::OK, 0, nullptr, "23"},
        {"converged start, traced", converged, 100, 1, Solution::OK, Solution::OK, 0, nullptr, "p23"},
        {"iteration limit", far, 1, 0, Solution::MaxIters, Solution::MaxIters, 1, msg::scMaxIterLimit, ""},
        {"iteration limit, traced", far, 1, 1, Solution::MaxIters, Solution::MaxIters, 1, msg::scMaxIterLimit, "p0"},
        // The pass's convergence and the solve's end both report finished 2.
        {"every iteration traced", near, 100, 2, Solution::OK, Solution::OK, 4, nullptr, "pppp223"},
        {"start norm at the tolerance", atEps, 100, 0, Solution::OK, Solution::OK, 1, nullptr, "223"},
        {"no Jacobian entries", empty, 100, 0, Solution::SolutionError, Solution::EmptyMatrix, 0, msg::scEmptyJacobian,
         "0"},
    };
    for (const Case& c : cases)
    {
        BuiltSolver<TypeParam> s;
        Consumer consumer;
        ASSERT_TRUE(s.build(c.model)) << c.name << "\n" << s.keys();
        s.pSolver->setMaxIter(c.maxIter);
        s.pSolver->setConsumer(&consumer);
        s.pSolver->setTraceLevel(c.trace);
        EXPECT_EQ(s.pSolver->solve(), c.result) << c.name;
        EXPECT_EQ(s.pSolver->getStatus(), c.status) << c.name;
        EXPECT_EQ(s.pSolver->getNumberOfIterations(), c.iterations) << c.name;
        EXPECT_EQ(s.keys(), c.key ? std::string(c.key) + "\n" : std::string()) << c.name;
        EXPECT_EQ(consumer.calls, c.consumer) << c.name;
    }
}

TYPED_TEST(NRSolve, TheSymbolicAnalysisIsKeptWhileThePatternStays)
{
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(
        s.build("Model [type = NL, eps = 1e-12]:\nVars:\nx = 3; y = 3\nNLEs:\nx^2 + y = 11\nx + y^2 = 7\nend\n"));
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    const td::UINT4 iterations = s.pSolver->getNumberOfIterations();
    ASSERT_GT(iterations, 2u);
    sparse::FactorStats stats = s.pSolver->getFactorStats();
    EXPECT_EQ(stats.analyses, 1u);
    EXPECT_EQ(stats.factorisations + stats.refactorisations, iterations);
    EXPECT_NEAR(std::abs(s.value("x") - TypeParam(3)), 0, 1e-9);
    EXPECT_NEAR(std::abs(s.value("y") - TypeParam(2)), 0, 1e-9);

    // A new value refactors the kept analysis; a new build with another pattern analyses afresh.
    s.pSolver->setVariableValue("x", TypeParam(4));
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_EQ(s.pSolver->getFactorStats().analyses, 1u);
    EXPECT_GT(s.pSolver->getFactorStats().refactorisations, stats.refactorisations);
    s.loaded.naming.clean();
    ASSERT_TRUE(s.build("Model [type = NL]:\nVars:\nx = 1; y = 1; z = 1\nNLEs:\nx = 1\ny = x + 1\nz = y*x\nend\n"));
    EXPECT_EQ(s.pSolver->getFactorStats().analyses, 0u);
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_EQ(s.pSolver->getFactorStats().analyses, 1u);
    EXPECT_NEAR(std::abs(s.value("z") - TypeParam(2)), 0, 1e-12);
}

// A scenario sweep: values set from outside make the next solve factorise afresh over the
// analysis of the unchanged pattern, so that it repeats bit for bit the solve of a model
// loaded anew and given the same values; here also where the pivots kept from the last
// scenario are not those a fresh factorisation chooses (the tiny a is no pivot, 0.7 is),
// and where a return to the first Jacobian solves with the factorisation kept from it (the
// loads of a power flow are not in its Jacobian).
TYPED_TEST(NRSolve, ASolveAfterValuesSetRepeatsAModelLoadedAnew)
{
    using T = TypeParam;
    struct Case
    {
        const char* name;
        std::string text;
        const char* param;
        T value;
        td::UINT4 kept;
    } cases[] = {
        {"pivots",
         "Model [type = NL, eps = 1e-12]:\nVars:\nx = 1.5; y = 1; z = 0.8\nParams:\na = 1e-7\nNLEs:\n"
         "a*x + y = 1.5\nx + y*y + z = 3\ny*z + x*x = 2\nend\n",
         "a", T(0.7), 0},
        {"power flow", bench::PowerFlowGrid::generate(200).modelText(1e-12), "P7", T(-0.75), 1},
    };
    for (const Case& c : cases)
    {
        BuiltSolver<T> swept;
        ASSERT_TRUE(swept.build(c.text)) << c.name;
        const td::UINT4 nVars = swept.pSolver->getNumberOfVariables();
        const std::vector<T> start(swept.pSolver->getVariableValuesPtr(),
                                   swept.pSolver->getVariableValuesPtr() + nVars);
        ASSERT_EQ(swept.pSolver->solve(), Solution::OK) << c.name;
        const sparse::FactorStats first = swept.pSolver->getFactorStats();
        EXPECT_EQ(first.analyses, 1u) << c.name;
        // Back to the start with another parameter value, twice; then another parameter value
        // alone, from the last solution.
        for (int sweep = 0; sweep < 3; ++sweep)
        {
            const T value = sweep < 2 ? c.value : c.value * T(0.5);
            const T* from = sweep < 2 ? start.data() : swept.pSolver->getVariableValuesPtr();
            const std::vector<T> values(from, from + nVars);
            BuiltSolver<T> anew;
            ASSERT_TRUE(anew.build(c.text)) << c.name;
            for (BuiltSolver<T>* p : {&swept, &anew})
            {
                ASSERT_TRUE(p->pSolver->setParameterValue(c.param, value)) << c.name;
                for (td::UINT4 i = 0; i < nVars; ++i)
                    p->pSolver->setVariableValue(static_cast<td::INT4>(i), values[i]);
                ASSERT_EQ(p->pSolver->solve(), Solution::OK) << c.name << " " << sweep;
            }
            EXPECT_EQ(test::firstDifference(swept, anew), "") << c.name << " " << sweep;
            EXPECT_EQ(swept.pSolver->getNumberOfIterations(), anew.pSolver->getNumberOfIterations()) << c.name;
            const sparse::FactorStats stats = swept.pSolver->getFactorStats();
            EXPECT_EQ(stats.analyses, 1u) << c.name << " " << sweep;
            EXPECT_EQ(stats.factorisations, first.factorisations + static_cast<td::UINT4>(sweep + 1)) << c.name;
        }
        EXPECT_EQ(swept.pSolver->getFactorStats().factorisationsKept, c.kept) << c.name;
    }
}

TYPED_TEST(NRSolve, RepetitionsLimitPassesAndTheirCap)
{
    BuiltSolver<TypeParam> reps;
    ASSERT_TRUE(reps.build("Model [type = NL]:\nVars:\nx = 0\nParams:\nn = 0\nNLEs:\nx = n\nPostProc:\nn += 1\n"
                           "Repeats:\nrepeat\nend\n"));
    reps.pSolver->setMaxReps(2);
    EXPECT_EQ(reps.pSolver->solve(), Solution::OK);
    EXPECT_EQ(test::re(reps.value("n")), 3.0);
    EXPECT_EQ(test::re(reps.value("x")), 2.0);

    // The group clamps p once: the second pass solves with the clamped value.
    const std::string clamp = "Model [type = NL]:\nVars:\nx = 0\nParams:\np = 5\nNLEs:\nx = p\nLimits:\n"
                              "group [name = \"clamp\"]\n    if p > 2 [signal = TooHigh]\n        p = 2\n    end\nend\n"
                              "end\n";
    BuiltSolver<TypeParam> once;
    ASSERT_TRUE(once.build(clamp)) << once.keys();
    sc::SolverMonitor<TypeParam> monitor;
    once.pSolver->attachMonitor(&monitor);
    EXPECT_EQ(once.pSolver->solve(), Solution::OK);
    EXPECT_EQ(test::re(once.value("x")), 2.0);
    EXPECT_EQ(monitor.pass, 2u);
    EXPECT_STREQ(monitor.limitGroupName, "clamp");
    EXPECT_EQ(once.pSolver->getSignalCount(4), 0u); // cleared by the second pass

    // A group that signals in every pass, while each pass converges at once, ends at the
    // iteration limit instead of running on.
    BuiltSolver<TypeParam> always;
    ASSERT_TRUE(always.build("Model [type = NL]:\nVars:\nx = 0\nParams:\np = 5\nn = 0\nNLEs:\nx = p\nLimits:\n"
                             "group\n    if p > 0 [signal = TooHigh]\n        n += 1\n    end\nend\nend\n"));
    always.pSolver->setMaxIter(7);
    EXPECT_EQ(always.pSolver->solve(), Solution::MaxIters);
    EXPECT_EQ(always.keys(), std::string(msg::scMaxIterLimit) + "\n");
    EXPECT_EQ(test::re(always.value("n")), 7.0);
}

TYPED_TEST(NRSolve, LimitFunctionsClampAndChangeRegions)
{
    // x is held at the upper bound; y follows the clamped value.
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build("Model [type = NL]:\nVars:\nx = 0; y = 0\nParams:\nhi = 3\nNLEs:\nx = 5\n"
                        "y = lim(x, 0, hi)\nend\n"))
        << s.keys();
    EXPECT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    EXPECT_NEAR(test::re(s.value("y")), 3.0, 1e-12);
    // A bound given by a parameter is read again at every walk.
    s.pSolver->setParameterValue("hi", TypeParam(10));
    EXPECT_EQ(s.pSolver->solve(), Solution::OK);
    EXPECT_NEAR(test::re(s.value("y")), 5.0, 1e-12);
}

TYPED_TEST(NRSolve, ASubModelIsSolvedBeforeItsParent)
{
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build("Model [type = NL]:\nVars:\nx = 0\nParams:\np = 3\nq = 4\n"
                        "SubModel [type = NL, copyPars = 2]:\nVars:\nu = 0\nParams:\nk = 2\n"
                        "NLEs:\nu = k*p + @main.q\nPostProc:\n@main.q = u\nend\n"
                        "NLEs:\nx = 2*q\nend\n"))
        << s.keys();
    ASSERT_EQ(s.pSolver->getNumberOfChildren(), 1u);
    sl::Solver<TypeParam>* pChild = s.pSolver->getChild(0);
    EXPECT_EQ(pChild->getParent(), s.pSolver);
    EXPECT_EQ(*pChild->getSolverFlagsPtr(), 1);
    EXPECT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
    // u = 2*3 + 4 = 10 with the copied p; the child's post-processing hands it to q.
    TypeParam u{};
    ASSERT_TRUE(pChild->getVariableValue("u", u));
    EXPECT_NEAR(test::re(u), 10.0, 1e-12);
    EXPECT_NEAR(test::re(s.value("x")), 20.0, 1e-12);

    // A child that fails stops its parent; its keys are the sub-model twins.
    BuiltSolver<TypeParam> failing;
    ASSERT_TRUE(failing.build("Model [type = NL]:\nVars:\nx = 0\nSubModel [type = NL]:\nVars:\nu = 0\n"
                              "NLEs:\nu^2 + 1 = 0\nend\nNLEs:\nx = 1\nend\n"));
    EXPECT_EQ(failing.pSolver->solve(), Solution::SubmodelFailed);
    EXPECT_EQ(failing.keys(), std::string(msg::scErrFactorizeSub) + "\n" + msg::scCannotSolveSubModel + "\n");
}

TYPED_TEST(NRSolve, ASubModelTakesItsParentsParametersBeforeEverySolve)
{
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build("Model [type = NL]:\nVars:\nx = 0\nParams:\np = 3\n"
                        "SubModel [type = NL, copyPars = 1]:\nVars:\nu = 0\nNLEs:\nu = 2*p\nend\n"
                        "NLEs:\nx = p\nend\n"))
        << s.keys();
    sl::Solver<TypeParam>* pChild = s.pSolver->getChild(0);
    ASSERT_NE(pChild, nullptr);
    for (double p : {5.0, -1.5})
    {
        ASSERT_TRUE(s.pSolver->setParameterValue("p", TypeParam(p)));
        ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.keys();
        TypeParam u{};
        ASSERT_TRUE(pChild->getVariableValue("u", u));
        EXPECT_NEAR(std::abs(u - TypeParam(2 * p)), 0, 1e-12) << p;
        EXPECT_NEAR(std::abs(s.value("x") - TypeParam(p)), 0, 1e-12) << p;
    }

    // The initial problem of a DAE model, at every reset.
    test::BuiltSolver<TypeParam, sl::DAESolver<TypeParam>> dae;
    ASSERT_TRUE(dae.build("Model [type = DAE, method = Euler]:\nVars:\nx = 0\nParams:\na = 1\n"
                          "SubModel [type = NL, copyPars = -1]:\nVars:\nu = 0\nNLEs:\nu = 3*a\nPostProc:\n"
                          "@main.x = u\nend\nODEs:\nx' = 0\nend\n"))
        << dae.keys();
    dae.pSolver->setStepSize(0.1);
    for (double a : {2.0, -4.0})
    {
        ASSERT_TRUE(dae.pSolver->setParameterValue("a", TypeParam(a)));
        ASSERT_TRUE(dae.pSolver->reset(0.0)) << dae.keys();
        EXPECT_NEAR(std::abs(dae.value("x") - TypeParam(3 * a)), 0, 1e-12) << a;
    }
}

TYPED_TEST(NRSolve, FailedFactorisationsAndSolvesAreNotReused)
{
    // (x - 1)^2 = 0 has a singular Jacobian at its root.
    BuiltSolver<TypeParam> singular;
    ASSERT_TRUE(singular.build("Model [type = NL]:\nVars:\nx = 1\nNLEs:\nx^2 + 4 = 2*x + 3\nend\n"));
    EXPECT_EQ(singular.pSolver->solve(), Solution::FactorizationError);
    EXPECT_EQ(singular.keys(), std::string(msg::scErrFactorize) + "\n");
    EXPECT_EQ(singular.pSolver->getFactorStats().analyses, 0u); // released
    // Away from the root the next solve factorises afresh, over the analysis the failed one
    // made of the same pattern.
    singular.pSolver->setVariableValue("x", TypeParam(3));
    EXPECT_EQ(singular.pSolver->solve(), Solution::OK);
    EXPECT_EQ(singular.pSolver->getFactorStats().analyses, 0u);
    EXPECT_EQ(singular.pSolver->getFactorStats().analysesAdopted, 1u);
    EXPECT_NEAR(test::re(singular.value("x")), 1.0, 1e-3);
}

TEST(NRSolve, NonFiniteValuesEndTheSolveWithAStatus)
{
    // A NaN Jacobian is refused by the factorisation; a NaN residual by the solve.
    struct Case
    {
        const char* model;
        Solution result;
        const char* key;
    } cases[] = {
        {"Model [type = NL]:\nVars:\nx = -1\nNLEs:\nsqrt(x) = 1\nend\n", Solution::FactorizationError,
         msg::scErrFactorize},
        {"Model [type = NL]:\nVars:\nx = 0\nParams:\np = -1\nNLEs:\nx + sqrt(p) = 1\nend\n", Solution::SolutionError,
         msg::scLUSolveError},
    };
    for (const Case& c : cases)
    {
        BuiltSolver<double> s;
        ASSERT_TRUE(s.build(c.model));
        EXPECT_EQ(s.pSolver->solve(), c.result) << c.model;
        EXPECT_EQ(s.pSolver->getStatus(), c.result) << c.model;
        EXPECT_EQ(s.keys(), std::string(c.key) + "\n") << c.model;
        EXPECT_TRUE(std::isnan(s.pSolver->getResidualNorm())) << c.model;
    }
}

TYPED_TEST(NRSolve, CountChecksCanBeLiftedWithoutUnsafeSolves)
{
    struct Case
    {
        const char* model;
        const char* key;
    } cases[] = {
        // The count with the counts, then the solver's refusal.
        {"Model [type = NL]:\nVars:\nx = 1; y = 1; z = 1\nNLEs:\nx = 1\ny = 2\nend\n",
         "@CS.#Vars!=#Eqs: 3 variables, 2 equations"},
        {"Model [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nx = 2\nx^2 = 3\nend\n",
         "@CS.#Vars!=#Eqs: 1 variable, 3 equations"},
    };
    for (const Case& c : cases)
    {
        BuiltSolver<TypeParam> strict;
        EXPECT_FALSE(strict.build(c.model));
        EXPECT_EQ(strict.keys(), std::string(c.key) + "\n" + msg::scNLReadFail + "\n");
        EXPECT_EQ(strict.pSolver->solve(), Solution::SolutionError); // never built

        BuiltSolver<TypeParam> lifted;
        lifted.pSolver->skipInitialValues();
        ASSERT_TRUE(lifted.build(c.model)) << lifted.keys();
        // Not square: nothing to factorise, and nothing written outside the arrays.
        EXPECT_EQ(lifted.pSolver->solve(), Solution::FactorizationError);
    }
}
} // namespace

// The iterations take the residuals and the Jacobian of plain equations from the rows'
// walk; entry by entry (rows dropped) the solve runs the same iterates bit for bit, also
// where statements between the residuals and the next Jacobian change what it reads.
template <typename T> void expectSameSolveWithoutRows(const std::string& text, const char* where)
{
    BuiltSolver<T> rows, entries;
    ASSERT_TRUE(rows.build(text)) << where << "\n" << rows.keys();
    ASSERT_TRUE(entries.build(text)) << where;
    const sl::SolverStores<T>& s = rows.pSolver->getStores();
    ASSERT_TRUE(s.rows.isUsable(s.equations, s.jacobian)) << where;
    entries.pSolver->getStores().rows.clear();
    const Solution status = rows.pSolver->solve();
    EXPECT_EQ(status, entries.pSolver->solve()) << where;
    EXPECT_EQ(rows.pSolver->getNumberOfIterations(), entries.pSolver->getNumberOfIterations()) << where;
    const td::UINT4 n = rows.pSolver->getNumberOfVariables() + rows.pSolver->getNumberOfParameters();
    for (td::UINT4 i = 0; i < n; ++i)
        EXPECT_EQ(std::memcmp(&rows.pSolver->getVariableValuesPtr()[i], &entries.pSolver->getVariableValuesPtr()[i],
                              sizeof(T)),
                  0)
            << where << ": symbol " << i;
}

TYPED_TEST(NRSolve, RowsGiveTheIteratesOfTheEntryEvaluators)
{
    const bool complex = sl::ValueTraits<TypeParam>::isComplex;
    std::string grid = bench::PowerFlowGrid::generate(300).modelText(1e-12);
    if (complex)
        grid.insert(grid.find("Model [type = NL") + 16, ", domain = cmplx");
    expectSameSolveWithoutRows<TypeParam>(grid, "power flow");
    // A statement after each iteration moves the parameter the Jacobian reads; a limit
    // group starts a second pass at new values.
    const std::string statements =
        std::string("Model [type = NL") + (complex ? ", domain = cmplx" : "") +
        ", eps = 1e-12]:\nVars:\nx = 1; y = 1; z = 1\nParams:\np = 2\nq = 3\nNLEs:\nx^2 + p*y*sin(x) = q\nx*y*p = 1.5\n"
        "if p > 0\n    z - x = p\nelse\n    z = 2\nend\nIterPostP:\np = p*0.9 + 0.1\nLimits:\n"
        "group\n    if q > 2 [signal = TooHigh]\n        q = 2\n    end\nend\nend\n";
    expectSameSolveWithoutRows<TypeParam>(statements, "statements");
}

template <typename T> class LinearSystemOf : public ::testing::Test
{
};
TYPED_TEST_SUITE(LinearSystemOf, Builds);

// The linear system each Newton-type kind holds: one pivoting rule for every form, a sparse
// solver made by the first fill and kept while it serves, factorised again only when stale,
// and ended by a failed factorisation or solve and by a new definition.
TYPED_TEST(LinearSystemOf, OnePivotingRuleAndTheLifeOfItsSparseSolver)
{
    using T = TypeParam;
    using System = sl::LinearSystem<T>;
    using sl::SystemForm;
    EXPECT_EQ(System::pivoting(SystemForm::Square, 1), sparse::Pivoting::Partial);
    EXPECT_EQ(System::pivoting(SystemForm::Square, 0), sparse::Pivoting::Threshold);
    EXPECT_EQ(System::pivoting(SystemForm::Normal, 1), sparse::Pivoting::Threshold);
    EXPECT_EQ(System::pivoting(SystemForm::Constrained, 1), sparse::Pivoting::Threshold);

    System system;
    system.define(2, 3, SystemForm::Square, 0);
    const T cells[] = {T(4), T(1), T(2)};
    EXPECT_FALSE(system.isHeld());
    EXPECT_TRUE(system.needsFactorisation());
    EXPECT_FALSE(system.refill(cells, 3)); // nothing filled yet
    // [a 1; 0 2] cell by cell.
    auto fill = [&system](T a) {
        sparse::ISolver<T>& s = system.beginFill();
        const T one(1), two(2);
        s.put(0, 0, &a);
        s.put(0, 1, &one);
        s.put(1, 1, &two);
    };
    fill(T(4));
    ASSERT_TRUE(system.isHeld());
    ASSERT_TRUE(system.factorise());
    EXPECT_FALSE(system.needsFactorisation());
    const T rhs[] = {T(5), T(4)};
    T x[2] = {};
    ASSERT_TRUE(system.solve(rhs, x));
    EXPECT_EQ(x[0], T(0.75));
    EXPECT_EQ(x[1], T(2));

    // The same cells again: the held factorisation serves until it is marked stale, then
    // the analysis is kept and the values refactorised.
    ASSERT_TRUE(system.refill(cells, 3));
    ASSERT_TRUE(system.refactorise());
    EXPECT_EQ(system.getStats().factorisations + system.getStats().refactorisations, 1u);
    system.markStale();
    EXPECT_TRUE(system.needsFactorisation());
    ASSERT_TRUE(system.refactorise());
    EXPECT_EQ(system.getStats().analyses, 1u);
    EXPECT_EQ(system.getStats().refactorisations, 1u);

    // A solve that gives no finite solution, and a singular fill, release the sparse solver.
    const T nan(std::numeric_limits<double>::quiet_NaN());
    const T bad[] = {nan, T(1)};
    EXPECT_FALSE(system.solve(bad, x));
    EXPECT_FALSE(system.isHeld());
    EXPECT_EQ(system.getStats().analyses, 0u);
    fill(T(0));
    EXPECT_FALSE(system.factorise());
    EXPECT_FALSE(system.isHeld());
    EXPECT_TRUE(system.needsFactorisation());

    // The filled system with the right-hand side of its fill.
    fill(T(4));
    sparse::ISolver<T>& filled = system.beginFill();
    for (td::INT4 k = 0; k < 3; ++k)
        filled.put(k / 2, (k + 1) / 2, &cells[k]);
    filled.putRHS(0, T(5));
    filled.putRHS(1, T(4));
    ASSERT_TRUE(system.solveFilled());
    EXPECT_EQ(system.solution(0), T(0.75));
    EXPECT_EQ(system.solution(1), T(2));
    EXPECT_FALSE(system.needsFactorisation());
    system.define(2, 3, SystemForm::Normal, 0);
    EXPECT_FALSE(system.isHeld());
    EXPECT_EQ(system.getStats().analyses, 0u);
}

// A released system keeps the analysis of its last pattern and gives it to its next sparse
// solver, which uses it only for exactly that pattern; startAfresh keeps the sparse solver
// and its analysis but chooses the pivots anew; define forgets the analysis.
TYPED_TEST(LinearSystemOf, TheAnalysisOutlivesItsSparseSolverForItsPatternAlone)
{
    using T = TypeParam;
    using System = sl::LinearSystem<T>;
    System system;
    system.define(3, 5, sl::SystemForm::Square, 0);
    // [4 1 0; 0 2 0.5; 0 0 3], then with (2, 0) in place of (0, 1): the same size and count
    // (x = 1 both times).
    auto fill = [&system](bool moved) {
        sparse::ISolver<T>& s = system.beginFill();
        const T cells[] = {T(4), T(1), T(2), T(3), T(0.5)};
        s.put(0, 0, &cells[0]);
        s.put(moved ? 2 : 0, moved ? 0 : 1, &cells[1]);
        s.put(1, 1, &cells[2]);
        s.put(2, 2, &cells[3]);
        s.put(1, 2, &cells[4]);
    };
    auto expect = [&system](const char* step, td::UINT4 analyses, td::UINT4 adopted, td::UINT4 factorisations) {
        const sparse::FactorStats stats = system.getStats();
        EXPECT_EQ(stats.analyses, analyses) << step;
        EXPECT_EQ(stats.analysesAdopted, adopted) << step;
        EXPECT_EQ(stats.factorisations, factorisations) << step;
    };
    const T rhs[] = {T(5), T(2.5), T(3)};
    T x[3] = {};
    fill(false);
    ASSERT_TRUE(system.factorise());
    expect("first fill", 1, 0, 1);
    system.release();
    fill(false);
    ASSERT_TRUE(system.factorise());
    expect("after a release", 0, 1, 1);
    ASSERT_TRUE(system.solve(rhs, x));
    EXPECT_TRUE(x[0] == T(1) && x[1] == T(1) && x[2] == T(1));

    system.startAfresh();
    EXPECT_TRUE(system.isHeld());
    EXPECT_TRUE(system.needsFactorisation());
    ASSERT_TRUE(system.refactorise());
    expect("afresh", 0, 1, 2);
    EXPECT_EQ(system.getStats().refactorisations, 0u);

    system.release();
    fill(true);
    ASSERT_TRUE(system.factorise());
    expect("other cells", 1, 0, 1);
    const T movedRhs[] = {T(4), T(2.5), T(4)};
    ASSERT_TRUE(system.solve(movedRhs, x));
    EXPECT_TRUE(x[0] == T(1) && x[1] == T(1) && x[2] == T(1));
    system.define(3, 5, sl::SystemForm::Square, 0);
    fill(true);
    ASSERT_TRUE(system.factorise());
    expect("another build", 1, 0, 1);
}
