#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlotSupport.h"
#include "simhost/FakeSolver.h"

namespace
{
using test::Cmplx;
using test::modelWithPlots;
using test::PlotRig;

std::vector<double> points(const cnt::FigurePoints& p) { return std::vector<double>(p.data(), p.data() + p.size()); }

const std::string cCurves = "linePlot [name = \"T\", xLabel = \"step\", yLabel = \"v\"]\n"
                            "@y [name = \"x\"] << x\n@y [name = \"y\", width = 3, colorL = red] << y\nend\n";

template <typename T> class FigureSampling : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(FigureSampling, Builds);

TYPED_TEST(FigureSampling, AModelWithoutPlotsRecordsNothing)
{
    PlotRig<TypeParam> rig;
    EXPECT_TRUE(rig.build(modelWithPlots("")));
    EXPECT_TRUE(rig.definitions().empty());
    EXPECT_TRUE(rig.pFigures->evaluate());
    rig.figures.emplace();
    EXPECT_FALSE(rig.pFigures->buildFigures(rig.figures));
    EXPECT_EQ(rig.figures.size(), 1u);
}

TYPED_TEST(FigureSampling, SamplesWithoutXAreNumberedAndMarkersStayUntilCleared)
{
    PlotRig<TypeParam> rig;
    ASSERT_TRUE(rig.build(modelWithPlots("linePlot\n@y << x\nhLine@ << x\nvLine@ << y\nhBand@ << a\n"
                                         "vBand@ << 2*a\nend\n")))
        << rig.keys();
    const double xs[] = {5, 6, 7};
    for (double x : xs)
    {
        rig.set("x", TypeParam(x));
        rig.set("y", TypeParam(-x));
        rig.set("a", TypeParam(10 * x));
        EXPECT_TRUE(rig.pFigures->evaluate());
    }
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    ASSERT_EQ(rig.figures.size(), 1u);
    const cnt::Figure& f = rig.figures[0];
    EXPECT_EQ(points(f.xAxis().points), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(points(f.yAxis(0).points), (std::vector<double>{5, 6, 7}));
    EXPECT_EQ(f.hLines()[0].position, 5.0);
    EXPECT_EQ(f.vLines()[0].position, -5.0);
    EXPECT_EQ(f.hBands()[0].position, 50.0);
    EXPECT_EQ(f.vBands()[0].position, 100.0);

    // Cleared: no figure until the next sample, which fixes the markers anew.
    rig.pFigures->clearSeries();
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    EXPECT_EQ(rig.figures.size(), 0u);
    rig.set("x", TypeParam(9));
    rig.pFigures->evaluate();
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    ASSERT_EQ(rig.figures.size(), 1u);
    EXPECT_EQ(points(rig.figures[0].xAxis().points), (std::vector<double>{0}));
    EXPECT_EQ(rig.figures[0].hLines()[0].position, 9.0);
}

TYPED_TEST(FigureSampling, TheConditionSkipsOnlyAtZero)
{
    PlotRig<TypeParam> rig;
    ASSERT_TRUE(rig.build(modelWithPlots("linePlot\n@cond << a\n@x -> 2*x\n@y << y\nend\n"
                                         "linePlot\n@cond << 0\n@y << x\nend\n")));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double as[] = {1, 0, nan, -2};
    for (std::size_t i = 0; i < 4; ++i)
    {
        rig.set("a", TypeParam(as[i]));
        rig.set("x", TypeParam(static_cast<double>(i)));
        rig.set("y", TypeParam(static_cast<double>(10 * i)));
        rig.pFigures->evaluate();
    }
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    // The block whose condition is always 0 gives no figure.
    ASSERT_EQ(rig.figures.size(), 1u);
    EXPECT_EQ(points(rig.figures[0].xAxis().points), (std::vector<double>{0, 4, 6}));
    EXPECT_EQ(points(rig.figures[0].yAxis(0).points), (std::vector<double>{0, 20, 30}));
}

TYPED_TEST(FigureSampling, FiguresCarryTheDefinitionsTextsStylesAndBounds)
{
    PlotRig<TypeParam> rig;
    ASSERT_TRUE(rig.build(modelWithPlots(
        "linePlot [name = \"T\", xLabel = \"step\", yLabel = \"v\", minX = 0, maxX = 9, minY = -1, maxY = 1]\n"
        "@y [name = \"x\", width = 3, colorL = red, colorD = blue, pattern = dash] << x\n"
        "@y [legend = false] << y\nhLine@ [name = \"h\", minX = 1, maxX = 2, legend = false] << a\n"
        "vBand@ [name = \"vb\", width = 0.5, colorL = green, minY = -3, maxY = 3] << a\nend\n")));
    rig.pFigures->evaluate();
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    ASSERT_EQ(rig.figures.size(), 1u);
    const cnt::Figure& f = rig.figures[0];
    EXPECT_STREQ(f.title().c_str(), "T");
    EXPECT_STREQ(f.xAxis().label.c_str(), "step");
    EXPECT_STREQ(f.yLabel().c_str(), "v");
    EXPECT_EQ(f.xMin(), 0.0);
    EXPECT_EQ(f.xMax(), 9.0);
    EXPECT_EQ(f.yMin(), -1.0);
    EXPECT_EQ(f.yMax(), 1.0);
    EXPECT_EQ(f.legendCount(), 1u);
    ASSERT_EQ(f.yAxes().size(), 2u);
    EXPECT_STREQ(f.yAxis(0).label.c_str(), "x");
    EXPECT_EQ(f.yAxis(0).style.width, 3.0f);
    EXPECT_EQ(f.yAxis(0).style.colorL, td::toColorID("red", 3, 0));
    EXPECT_EQ(f.yAxis(0).style.colorD, td::toColorID("blue", 4, 0));
    EXPECT_EQ(f.yAxis(0).style.pattern, static_cast<td::BYTE>(td::LinePattern::Dash));
    EXPECT_TRUE(f.yAxis(1).label.isEmpty());
    ASSERT_EQ(f.hLines().size(), 1u);
    EXPECT_STREQ(f.hLines()[0].name.c_str(), "h");
    EXPECT_EQ(f.hLines()[0].min, 1.0);
    EXPECT_EQ(f.hLines()[0].max, 2.0);
    EXPECT_FALSE(f.hLines()[0].legend);
    EXPECT_EQ(f.hLines()[0].position, 3.0);
    ASSERT_EQ(f.vBands().size(), 1u);
    EXPECT_STREQ(f.vBands()[0].name.c_str(), "vb");
    EXPECT_EQ(f.vBands()[0].width, 0.5);
    EXPECT_EQ(f.vBands()[0].colorL, td::toColorID("green", 5, 0));
    EXPECT_EQ(f.vBands()[0].min, -3.0);
    EXPECT_EQ(f.vBands()[0].position, 3.0);
    EXPECT_TRUE(f.vLines().empty() && f.hBands().empty());
}

TEST(FigureSampling, LongRunsFillBlocksThatClearingKeeps)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots(cCurves)));
    constexpr int n = 5000;
    for (int i = 0; i < n; ++i)
    {
        rig.set("x", i);
        rig.set("y", -i);
        rig.pFigures->evaluate();
    }
    const sl::FigureDefinition<double>& d = rig.definitions()[0];
    EXPECT_EQ(d.samples.size(), 3u * n);
    EXPECT_EQ(d.samples.getBlockCount(), 4u);
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    const cnt::Figure& f = rig.figures[0];
    ASSERT_EQ(f.xAxis().points.size(), static_cast<td::UINT4>(n));
    ASSERT_EQ(f.yAxis(1).points.size(), static_cast<td::UINT4>(n));
    EXPECT_EQ(f.xAxis().points.capacity(), static_cast<td::UINT4>(n));
    for (int i = 0; i < n; i += 997)
    {
        EXPECT_EQ(f.xAxis().points[i], i);
        EXPECT_EQ(f.yAxis(0).points[i], i);
        EXPECT_EQ(f.yAxis(1).points[i], -i);
    }
    // A second run reuses the blocks.
    rig.pFigures->clearSeries();
    for (int i = 0; i < n; ++i)
        rig.pFigures->evaluate();
    EXPECT_EQ(d.samples.getBlockCount(), 4u);
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    EXPECT_EQ(rig.figures[0].xAxis().points[n - 1], n - 1.0);
}

TEST(FigureSampling, TextsOutliveTheTokenizedModel)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots(cCurves)));
    rig.text.model.reset();
    rig.pFigures->evaluate();
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    const cnt::Figure& f = rig.figures[0];
    EXPECT_STREQ(f.title().c_str(), "T");
    EXPECT_STREQ(f.xAxis().label.c_str(), "step");
    EXPECT_STREQ(f.yLabel().c_str(), "v");
    EXPECT_STREQ(f.yAxis(1).label.c_str(), "y");
}

// A second init drops what the first built, also when the new model has no plots or
// when it is refused: no definition outlives the build it was compiled for.
TEST(FigureSampling, ASecondInitLeavesNoEarlierDefinition)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots(cCurves)));
    rig.pFigures->evaluate();
    ASSERT_EQ(rig.definitions().size(), 1u);

    PlotRig<double> plain;
    ASSERT_TRUE(plain.build(modelWithPlots("")));
    EXPECT_TRUE(rig.pFigures->init(*plain.text.model, plain.pSolver));
    EXPECT_TRUE(rig.definitions().empty());
    EXPECT_FALSE(rig.pFigures->buildFigures(rig.figures));
    // Sampling now reads nothing of either solver.
    EXPECT_TRUE(rig.pFigures->evaluate());

    ASSERT_TRUE(rig.pFigures->init(*rig.text.model, rig.pSolver));
    ASSERT_EQ(rig.definitions().size(), 1u);
    EXPECT_FALSE(rig.pFigures->init(*rig.text.model, nullptr));
    EXPECT_TRUE(rig.definitions().empty());
}

TEST(FigureSampling, InitRefusesSolversItCannotRecordAndEvaluateWaitsForIt)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.text.load(modelWithPlots(cCurves)));
    // Before init nothing is sampled.
    EXPECT_TRUE(rig.pFigures->evaluate());
    EXPECT_FALSE(rig.pFigures->buildFigures(rig.figures));
    // No solver, a solver without a built model, a solver of another library.
    EXPECT_FALSE(rig.pFigures->init(*rig.text.model, nullptr));
    EXPECT_FALSE(rig.pFigures->init(*rig.text.model, rig.pSolver));
    sc::ISolver<double>* pForeign = test::FakeSolver<double>::make(nullptr, 10);
    ASSERT_TRUE(pForeign->init(&rig.text.symbols, *rig.text.model, true));
    EXPECT_FALSE(rig.pFigures->init(*rig.text.model, pForeign));
    pForeign->release();
    // A build that failed leaves no model either.
    PlotRig<double> failed;
    ASSERT_TRUE(failed.text.load("Model [type = NL]:\nVars:\nx = 1; y = 2\nNLEs:\nx = 1\nend\n"));
    EXPECT_FALSE(failed.pSolver->init(&failed.text.symbols, *failed.text.model, true));
    EXPECT_FALSE(failed.pFigures->init(*failed.text.model, failed.pSolver));
    EXPECT_TRUE(rig.definitions().empty());
    EXPECT_TRUE(rig.pFigures->evaluate());
}

// ---- end to end ----

TEST(FigureRoad, ASweepOfANewtonRaphsonModel)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots("linePlot\n@x << a\n@y << x\n@y << y\nend\n")));
    std::vector<double> as, xs, ys;
    for (int k = 0; k < 20; ++k)
    {
        const double a = -3 + 0.5 * k;
        rig.set("a", a);
        ASSERT_EQ(rig.pSolver->solve(), sc::Solution::OK);
        double x = 0, y = 0;
        rig.pSolver->getVariableValue("x", x);
        rig.pSolver->getVariableValue("y", y);
        as.push_back(a);
        xs.push_back(x);
        ys.push_back(y);
        rig.pFigures->evaluate();
    }
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    const cnt::Figure& f = rig.figures[0];
    EXPECT_EQ(points(f.xAxis().points), as);
    EXPECT_EQ(points(f.yAxis(0).points), xs);
    EXPECT_EQ(points(f.yAxis(1).points), ys);
    EXPECT_NEAR(xs.back(), (as.back() + 1) / 2, 1e-12);
}

// Stepped one time step at a time, an oscillator's recorded time and states are the
// solver's after each step. Runs once the library makes ODE solvers.
TEST(FigureRoad, AnODEModelSteppedAHundredTimes)
{
    PlotRig<double> rig(sc::SolverType::ODE);
    if (!rig.pSolver)
        GTEST_SKIP() << "the library makes no ODE solver";
    ASSERT_TRUE(rig.build("Model [type = ODE]:\nVars:\nx = 1; v = 0\nParams:\nk = 4\nODEs:\nx' = v\nv' = -k*x\n"
                          "Plots:\nlinePlot [name = \"Oscillator\", xLabel = \"t\"]\n@x << t\n@y << x\n"
                          "@y [name = \"v\"] << v\nhLine@ << x\nend\nend\n"))
        << rig.keys();
    constexpr double dT = 0.01;
    rig.pSolver->setStepSize(dT);
    std::vector<double> ts, xs, vs;
    for (int step = 0; step < 100; ++step)
    {
        ASSERT_EQ(rig.pSolver->solve(), sc::Solution::OK);
        double t = 0, x = 0, v = 0;
        ASSERT_TRUE(rig.pSolver->getParameterValue("t", t));
        rig.pSolver->getVariableValue("x", x);
        rig.pSolver->getVariableValue("v", v);
        ts.push_back(t);
        xs.push_back(x);
        vs.push_back(v);
        rig.pFigures->evaluate();
    }
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    ASSERT_EQ(rig.figures.size(), 1u);
    const cnt::Figure& f = rig.figures[0];
    EXPECT_EQ(points(f.xAxis().points), ts);
    EXPECT_EQ(points(f.yAxis(0).points), xs);
    EXPECT_EQ(points(f.yAxis(1).points), vs);
    EXPECT_EQ(f.hLines()[0].position, xs.front());
    EXPECT_STREQ(f.yAxis(1).label.c_str(), "v");
    // The trajectory is the oscillator's: x = cos(2t) from t = 0 to 1.
    EXPECT_NEAR(ts.front(), dT, 1e-12);
    EXPECT_NEAR(ts.back(), 100 * dT, 1e-9);
    EXPECT_NEAR(xs.back(), std::cos(2.0), 1e-3);
}

TEST(FigureRoad, AComplexModelRecordsRealParts)
{
    PlotRig<Cmplx> rig;
    ASSERT_TRUE(rig.build("Model [type = NL, domain = cmplx]:\nVars:\nz = 1\nParams:\nc = 1; k = 1\nNLEs:\n"
                          "z = c*(1+2i)\nPlots:\nlinePlot\n@cond << k\n@x << c\n@y << z\n@y << imag(z)\n"
                          "hLine@ << z\nend\nend\n"))
        << rig.keys();
    const Cmplx ks[] = {Cmplx(1, 0), Cmplx(0, 0), Cmplx(0, 1), Cmplx(0, -0.0)};
    for (int i = 0; i < 4; ++i)
    {
        rig.set("c", Cmplx(i + 1, 5));
        rig.set("k", ks[i]);
        ASSERT_EQ(rig.pSolver->solve(), sc::Solution::OK);
        rig.pFigures->evaluate();
    }
    ASSERT_TRUE(rig.pFigures->buildFigures(rig.figures));
    const cnt::Figure& f = rig.figures[0];
    // Skipped where both parts of the condition are 0; z = c (1 + 2i).
    EXPECT_EQ(points(f.xAxis().points), (std::vector<double>{1, 3}));
    EXPECT_EQ(points(f.yAxis(0).points), (std::vector<double>{1 - 10, 3 - 10}));
    EXPECT_EQ(points(f.yAxis(1).points), (std::vector<double>{2 + 5, 6 + 5}));
    EXPECT_EQ(f.hLines()[0].position, -9.0);
}
} // namespace
