#include <cmath>
#include <complex>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "SolverSupport.h"

namespace
{
using sc::Solution;
using test::BuiltSolver;
using test::Cmplx;
namespace msg = sc::msg;

template <typename T> class LimitFunctions : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(LimitFunctions, Builds);

template <typename T> using ODE = BuiltSolver<T, sl::ODESolver<T>>;
template <typename T> using DAE = BuiltSolver<T, sl::DAESolver<T>>;
template <typename T> using WLS = BuiltSolver<T, sl::WLSSolver<T>>;

const double cNaN = std::numeric_limits<double>::quiet_NaN();

// A model line of the kind with the value type's domain and the header in front, so that
// the model text's lines count from the header's first.
template <typename T> std::string modelOf(const char* kind, const std::string& body)
{
    const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
    return std::string("Header:\nmaxIter = 20\nend\nModel [type = ") + kind + domain + ", eps = 1e-12]:\n" + body +
           "end\n";
}

// Messages as "key @line:col" (keys with a place) or "key", one a line.
template <typename S> std::string placedKeys(const S& s)
{
    std::string out;
    for (const test::RecordingLog::Message& m : s.log.messages)
    {
        out += m.text;
        if (m.slot == test::RecordingLog::Slot::KeyAt)
            out += " @" + std::to_string(m.line) + ":" + std::to_string(m.col);
        out += "\n";
    }
    return out;
}

TYPED_TEST(LimitFunctions, BeforeTheWalkTheyClampTheirArgumentWhereTheyAreEvaluated)
{
    using T = TypeParam;
    // PreProc runs before the solve's walk: q is p clamped as it stands, in a model loaded
    // anew as in every later solve, so that a solve after a new p repeats a model loaded
    // anew bit for bit.
    const std::string preProc = modelOf<T>("NL", "Vars:\nx = 0\nParams:\np = 0.5\nq = 0\nNLEs:\nx = 2*q\n"
                                                 "PreProc:\nq = lim(p, 0, 1)\n");
    BuiltSolver<T> swept;
    ASSERT_TRUE(swept.build(preProc)) << swept.keys();
    ASSERT_EQ(swept.pSolver->solve(), Solution::OK) << swept.keys();
    EXPECT_EQ(swept.value("q"), T(0.5));
    EXPECT_EQ(swept.value("x"), T(1.0));
    for (double p : {0.5, 3.0, -2.0, 0.25})
    {
        BuiltSolver<T> anew;
        ASSERT_TRUE(anew.build(preProc));
        for (BuiltSolver<T>* s : {&swept, &anew})
        {
            ASSERT_TRUE(s->pSolver->setParameterValue("p", T(p)));
            ASSERT_EQ(s->pSolver->solve(), Solution::OK) << p;
        }
        EXPECT_EQ(test::firstDifference(swept, anew), "") << p;
        EXPECT_EQ(swept.value("q"), T(p < 0 ? 0 : p > 1 ? 1 : p)) << p;
    }

    // Start values: nothing has walked the limits of a model being built.
    BuiltSolver<T> start;
    ASSERT_TRUE(start.build(modelOf<T>("NL", "Vars:\nx = lim(5, 0, 1)\ny = lim(-5, 0, 1)\nz = lim(0.25, 0, 1)\n"
                                             "NLEs:\nx = 2\ny = x + z\nz = 3\n")))
        << start.keys();
    EXPECT_EQ(start.value("x"), T(1));
    EXPECT_EQ(start.value("y"), T(0));
    EXPECT_EQ(start.value("z"), T(0.25));

    // Nothing walks the limits of an ODE model: x' is c clamped, in the right sides as in
    // the statements, and the same text as a DAE model steps alike.
    const std::string body = "Vars:\nx = 0\nParams:\nc = 2\nm = 0\nODEs:\nx' = lim(c, -0.5, 0.5)\n"
                             "PostProc:\nm = lim(x, 0, 0.3)\n";
    ODE<T> ode;
    ASSERT_TRUE(ode.build(modelOf<T>("ODE", body))) << ode.keys();
    DAE<T> dae;
    ASSERT_TRUE(dae.build(modelOf<T>("DAE", body))) << dae.keys();
    for (sl::Solver<T>* s : {static_cast<sl::Solver<T>*>(ode.pSolver), static_cast<sl::Solver<T>*>(dae.pSolver)})
    {
        s->setStepSize(0.25);
        ASSERT_TRUE(s->reset(0.0));
        ASSERT_EQ(s->step(4), Solution::OK);
        T x{}, m{};
        ASSERT_TRUE(s->getVariableValue("x", x) && s->getParameterValue("m", m));
        EXPECT_NEAR(std::abs(x - T(0.5)), 0, 1e-12) << static_cast<int>(s->getSolverType());
        EXPECT_EQ(m, T(0.3)) << static_cast<int>(s->getSolverType());
    }

    // A weighted estimate through a limit: its value and its slope at the iterate.
    WLS<T> wls;
    ASSERT_TRUE(wls.build(modelOf<T>("WLS", "Vars:\nx = 0.5\nParams:\nhi = 4\nWLSEs:\nlim(x, 0, hi) = 3\n")))
        << wls.keys();
    ASSERT_EQ(wls.pSolver->solve(), Solution::OK) << wls.keys();
    EXPECT_NEAR(std::abs(wls.value("x") - T(3)), 0, 1e-12);
}

// One run of a solver: a solve, or a step of 0.5 of a dynamic model.
template <typename T> Solution runOnce(sl::Solver<T>& s)
{
    const bool dynamic = s.getSolverType() == sc::SolverType::ODE || s.getSolverType() == sc::SolverType::DAE;
    return dynamic ? s.step(1) : s.solve();
}

// A model of y and its bound ymax = 3, run once; then ymax set to NaN makes a run fail with
// SolutionError, the key at the bound (line, column) and an error entry at its line; with
// ymax back the next run gives y again.
template <typename T, typename S>
void expectANaNBoundToEndARun(const char* kind, const std::string& body, td::UINT4 line, td::UINT4 column, double y)
{
    SCOPED_TRACE(std::string(kind) + ": " + body);
    BuiltSolver<T, S> b;
    ASSERT_TRUE(b.build(modelOf<T>(kind, body))) << b.keys();
    sl::Solver<T>& s = *b.pSolver;
    s.setStepSize(0.5);
    ASSERT_TRUE(s.reset(0.0));
    ASSERT_EQ(runOnce(s), Solution::OK) << b.keys();
    EXPECT_NEAR(std::abs(b.value("y") - T(y)), 0, 1e-12);
    const T before = b.value("y");

    ASSERT_TRUE(s.setParameterValue("ymax", T(cNaN)));
    EXPECT_EQ(runOnce(s), Solution::SolutionError);
    EXPECT_EQ(s.getStatus(), Solution::SolutionError);
    EXPECT_EQ(placedKeys(b),
              std::string(msg::scLimitBoundNaN) + " @" + std::to_string(line) + ":" + std::to_string(column) + "\n");
    EXPECT_EQ(std::string(s.getErrorLog().c_str()),
              "(" + std::to_string(line) + ",RTSolution):Bound ymax of a limit function is not a number!");
    // A failed step leaves y where it was.
    if (s.getSolverType() == sc::SolverType::ODE || s.getSolverType() == sc::SolverType::DAE)
    {
        EXPECT_EQ(b.value("y"), before);
    }

    ASSERT_TRUE(s.setParameterValue("ymax", T(3)));
    EXPECT_EQ(runOnce(s), Solution::OK) << b.keys();
    EXPECT_NEAR(std::abs(b.value("y") - T(std::string(kind) == "ODE" ? 2 * y : y)), 0, 1e-12);
}

TYPED_TEST(LimitFunctions, ANaNBoundIsRefusedWhereItIsRead)
{
    using T = TypeParam;
    // At a load, after the start values: ymax on line 10, column 15.
    BuiltSolver<T> load;
    EXPECT_FALSE(load.build(modelOf<T>("NL", "Vars:\ny = 0\nParams:\nymax = 0/0\nNLEs:\ny = lim(2, 0, ymax)\n")));
    EXPECT_EQ(placedKeys(load), std::string(msg::scLimitBoundNaN) + " @10:15\n" + msg::scNLReadFail + " @4:1\n");
    // The XML road tells of it in the error log, at the line of its Eq element.
    sl::Solver<T>* pXml = BuiltSolver<T>::makeSolver(&load.log);
    const std::string domain = sl::ValueTraits<T>::isComplex ? " domain=\"cmplx\"" : "";
    const std::string xml = "<?xml version=\"1.0\"?><Model type=\"NR\"" + domain +
                            "><Vars conj=\"false\"><Var name=\"y\" val=\"0\"/></Vars><Params><Param name=\"ymax\" "
                            "val=\"0/0\"/></Params><NLEqs><Eq fx=\"y = lim(2, 0, ymax)\"/></NLEqs></Model>";
    EXPECT_FALSE(pXml->initFromXML(td::String(xml.c_str()), 1));
    EXPECT_EQ(std::string(pXml->getErrorLog().c_str()),
              "(1,NLEqs):Bound ymax of a limit function is not a number!\n(0,ReadModel):Cannot read the data..");
    pXml->release();

    // In a solve or a time step of every kind; in the Newton walk and before it (PreProc).
    const std::string nle = "Vars:\ny = 0\nParams:\nymax = 3\nNLEs:\ny = lim(2, 0, ymax)\n";
    expectANaNBoundToEndARun<T, sl::NRSolver<T>>("NL", nle, 10, 15, 2);
    expectANaNBoundToEndARun<T, sl::NRSolver<T>>(
        "NL", "Vars:\ny = 0\nParams:\nq = 0\nymax = 3\nNLEs:\ny = q\nPreProc:\nq = lim(2, ymax, 5)\n", 13, 12, 3);
    expectANaNBoundToEndARun<T, sl::DAESolver<T>>(
        "DAE", "Vars:\ny = 0\nx = 0\nParams:\nymax = 3\nNLEs:\ny = lim(2, 0, ymax)\nODEs:\nx' = y\n", 11, 15, 2);
    expectANaNBoundToEndARun<T, sl::ODESolver<T>>(
        "ODE", "Vars:\ny = 0\nParams:\nymax = 3\nODEs:\ny' = lim(2, 0, ymax)\n", 10, 16, 1);
    expectANaNBoundToEndARun<T, sl::WLSSolver<T>>(
        "WLS", "Vars:\ny = 1\nParams:\nymax = 3\nWLSEs:\nlim(y, 0, ymax) = 2\n", 10, 11, 2);
}

// An XML document of a kind with the value type's domain around body.
template <typename T> std::string documentOf(const char* kind, const std::string& body)
{
    const char* domain = sl::ValueTraits<T>::isComplex ? " domain=\"cmplx\"" : "";
    return std::string("<?xml version=\"1.0\"?>\n<Model type=\"") + kind + "\"" + domain + " eps=\"1e-12\">\n" + body +
           "</Model>\n";
}

// The limit records of a built solver that have no derivative.
template <typename T> td::UINT4 limitsWithoutDerivative(sl::Solver<T>& s)
{
    const sl::FnLimits<T>& limits = *s.getFnLimits();
    td::UINT4 n = 0;
    for (td::UINT4 id = 1; id <= limits.size(); ++id)
        n += limits[id]._derivEvaluators.size() == 0 ? 1 : 0;
    return n;
}

TYPED_TEST(LimitFunctions, ALimitInAnEquationWithAJacobianHasItsDerivativeOnBothRoads)
{
    using T = TypeParam;
    // (1 - x)^2 + y^2 is smallest on x = y at x = y = 1/2, with the limit on either side of
    // the constraint; without its derivative the constraint's Jacobian misses a column.
    for (const char* constraint : {"x - lim(y, -10, 10) = 0", "lim(x, -10, 10) - y = 0"})
    {
        SCOPED_TRACE(constraint);
        WLS<T> text;
        ASSERT_TRUE(text.build(
            modelOf<T>("WLS", std::string("Vars:\nx = 0\ny = 0\nWLSEs:\nx = 1\ny = 0\nECs:\n") + constraint + "\n")))
            << text.keys();
        WLS<T> xml;
        ASSERT_TRUE(xml.pSolver->initFromXML(
            td::String(documentOf<T>("WLS", std::string("<Vars conj=\"false\"><Var name=\"x\" val=\"0\"/><Var "
                                                        "name=\"y\" val=\"0\"/></Vars><Params/>\n<MeasEqs><Eq "
                                                        "fx=\"x = 1\"/><Eq fx=\"y = 0\"/></MeasEqs>\n<ECs><Eq fx=\"") +
                                                constraint + "\"/></ECs>\n")
                           .c_str()),
            1))
            << xml.pSolver->getErrorLog().c_str();
        for (WLS<T>* s : {&text, &xml})
        {
            EXPECT_EQ(limitsWithoutDerivative(*s->pSolver), 0u);
            ASSERT_EQ(s->pSolver->solve(), Solution::OK) << s->keys();
            EXPECT_NEAR(std::abs(s->value("x") - T(0.5)), 0, 1e-10);
            EXPECT_NEAR(std::abs(s->value("y") - T(0.5)), 0, 1e-10);
        }
    }

    // Every other equation the Newton iterations differentiate: NLEs of a static model, and
    // the ODEs and NLEs of a DAE model, on both roads.
    BuiltSolver<T> nr;
    ASSERT_TRUE(nr.build(modelOf<T>("NL", "Vars:\nx = 0\nNLEs:\nlim(x, -10, 10) = 1\n"))) << nr.keys();
    EXPECT_EQ(limitsWithoutDerivative(*nr.pSolver), 0u);
    BuiltSolver<T> nrXml;
    ASSERT_TRUE(nrXml.pSolver->initFromXML(
        td::String(documentOf<T>("NR", "<Vars conj=\"false\"><Var name=\"x\" val=\"0\"/></Vars><Params/>\n<NLEqs><Eq "
                                       "fx=\"lim(x, -10, 10) = 1\"/></NLEqs>\n")
                       .c_str()),
        1))
        << nrXml.pSolver->getErrorLog().c_str();
    EXPECT_EQ(limitsWithoutDerivative(*nrXml.pSolver), 0u);
    DAE<T> dae;
    ASSERT_TRUE(
        dae.build(modelOf<T>("DAE", "Vars:\nx = 0\ny = 0\nODEs:\nx' = lim(y, -10, 10)\nNLEs:\nlim(y, -10, 10) = 1\n")))
        << dae.keys();
    EXPECT_EQ(limitsWithoutDerivative(*dae.pSolver), 0u);
    DAE<T> daeXml;
    ASSERT_TRUE(daeXml.pSolver->initFromXML(
        td::String(documentOf<T>("DAE",
                                 "<Vars conj=\"false\"><Var name=\"x\" val=\"0\"/><Var name=\"y\" val=\"0\"/></Vars>"
                                 "<Params dT=\"0.5\"/>\n<ODEqs><Eq fx=\"x' = lim(y, -10, 10)\"/></ODEqs>\n"
                                 "<NLEqs><Eq fx=\"lim(y, -10, 10) = 1\"/></NLEqs>\n")
                       .c_str()),
        1))
        << daeXml.pSolver->getErrorLog().c_str();
    EXPECT_EQ(limitsWithoutDerivative(*daeXml.pSolver), 0u);
    for (sl::Solver<T>* s : {static_cast<sl::Solver<T>*>(dae.pSolver), static_cast<sl::Solver<T>*>(daeXml.pSolver)})
    {
        s->setStepSize(0.5);
        ASSERT_TRUE(s->reset(0.0));
        ASSERT_EQ(s->step(2), Solution::OK);
        T x{};
        ASSERT_TRUE(s->getVariableValue("x", x));
        EXPECT_NEAR(std::abs(x - T(1)), 0, 1e-10);
    }
}

TYPED_TEST(LimitFunctions, ALimitOfAStateStepsByItsMethodOnBothRoads)
{
    // A limit that never clamps leaves the two-stage step as it is without it, on the text
    // road and in an XML document alike; read at the step's end in every stage, it would
    // step as implicit Euler.
    using T = TypeParam;
    const auto stepped = [](sl::Solver<T>& s) {
        s.setStepSize(0.1);
        EXPECT_TRUE(s.reset(0.0));
        EXPECT_EQ(s.step(10), Solution::OK);
        T x{};
        EXPECT_TRUE(s.getVariableValue("x", x));
        return x;
    };
    const auto text = [](const char* rhs) {
        const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
        return std::string("Header:\nmaxIter = 20\nend\nModel [type = DAE, method = RK4") + domain +
               ", eps = 1e-12]:\nVars:\nx = 1\nODEs:\nx' = " + rhs + "\nend\n";
    };
    DAE<T> plain, limited;
    ASSERT_TRUE(plain.build(text("-x"))) << plain.keys();
    ASSERT_TRUE(limited.build(text("lim(-x, -10, 10)"))) << limited.keys();
    const T expected = stepped(*plain.pSolver);
    EXPECT_NEAR(std::abs(expected - T(std::exp(-1.0))), 0, 1e-6);
    EXPECT_NEAR(std::abs(stepped(*limited.pSolver) - expected), 0, 1e-13);

    const char* domain = sl::ValueTraits<T>::isComplex ? " domain=\"cmplx\"" : "";
    DAE<T> xml;
    ASSERT_TRUE(xml.pSolver->initFromXML(
        td::String((std::string("<?xml version=\"1.0\"?>\n<Model type=\"DAE\" method=\"RK4\"") + domain +
                    " eps=\"1e-12\">\n<Vars conj=\"false\"><Var name=\"x\" val=\"1\"/></Vars>\n"
                    "<ODEqs><Eq fx=\"x' = lim(-x, -10, 10)\"/></ODEqs>\n</Model>\n")
                       .c_str()),
        1))
        << xml.pSolver->getErrorLog().c_str();
    EXPECT_NEAR(std::abs(stepped(*xml.pSolver) - expected), 0, 1e-13);
}

TYPED_TEST(LimitFunctions, ASolveWhoseLastStepMovesALimitAcrossABoundEndsConverged)
{
    using T = TypeParam;
    // The one step to x = -1 (or 6) solves the equation and moves the limit of PostProc out
    // of its range: the iterations go on once with the Jacobian of the new region, and the
    // converged solve says OK and runs PostProc (q is x clamped to [0, 5]).
    for (const auto& [target, clamped] : {std::pair{-1.0, 0.0}, {6.0, 5.0}})
    {
        SCOPED_TRACE(target);
        BuiltSolver<T> b;
        ASSERT_TRUE(b.build(modelOf<T>("NL", "Vars:\nx = 1\nParams:\nq = 7\nNLEs:\nx = " + std::to_string(target) +
                                                 "\nPostProc:\nq = lim(x, 0, 5)\n")))
            << b.keys();
        ASSERT_EQ(b.pSolver->solve(), Solution::OK) << b.keys();
        EXPECT_EQ(b.pSolver->getStatus(), Solution::OK);
        EXPECT_EQ(b.pSolver->getNumberOfIterations(), 2u);
        EXPECT_EQ(b.place(5), T(0));
        EXPECT_EQ(b.value("x"), T(target));
        EXPECT_EQ(b.value("q"), T(clamped));
        // Solved again from there: no step, OK at once.
        ASSERT_TRUE(b.pSolver->setParameterValue("q", T(7)));
        ASSERT_EQ(b.pSolver->solve(), Solution::OK);
        EXPECT_EQ(b.pSolver->getNumberOfIterations(), 0u);
        EXPECT_EQ(b.value("q"), T(clamped));
    }
}

TYPED_TEST(LimitFunctions, ANaNArgumentTakesItsDerivativeAtTheValuesOfTheSolve)
{
    using T = TypeParam;
    // No solution: the walk of the first solve reads the limit inside its range, then at its
    // lower bound. With y set to NaN from outside, the argument's derivative (0.5) comes from
    // the values of this solve, as in a model loaded anew with the same values: the repeat
    // solve ends as that model's, bit for bit.
    const std::string model = modelOf<T>("NL", "Vars:\nx = 0\ny = 1\nNLEs:\nx = lim(0.5*y, -1.5, 10)\n-3 = x + 1\n");
    BuiltSolver<T> swept;
    ASSERT_TRUE(swept.build(model)) << swept.keys();
    EXPECT_EQ(swept.pSolver->solve(), Solution::FactorizationError);
    BuiltSolver<T> anew;
    ASSERT_TRUE(anew.build(model)) << anew.keys();
    for (BuiltSolver<T>* s : {&swept, &anew})
    {
        ASSERT_TRUE(s->pSolver->setVariableValue("x", T(0)));
        ASSERT_TRUE(s->pSolver->setVariableValue("y", T(cNaN)));
    }
    const Solution repeated = swept.pSolver->solve();
    EXPECT_EQ(anew.pSolver->solve(), repeated);
    EXPECT_EQ(repeated, Solution::SolutionError);
    EXPECT_EQ(test::firstDifference(swept, anew), "");
    for (BuiltSolver<T>* s : {&swept, &anew})
    {
        const sl::FnLimit<T>& limit = (*s->pSolver->getFnLimits())[1];
        EXPECT_TRUE(std::isnan(limit._currentValue));
        ASSERT_EQ(limit._derivEvaluators.size(), 1u);
        EXPECT_EQ(limit._derivEvaluators[0].value, T(0.5));
    }
}
} // namespace
