#include <string>

#include <gtest/gtest.h>

#include "PlotSupport.h"

namespace
{
using test::modelWithPlots;
using test::PlotModel;
using test::PlotRig;

constexpr td::UINT2 cNaming0 = 0;

// Under naming 0 the Plots group is no group of the language; under the plot naming the
// same text loads.
TEST(PlotVocabulary, APlotsGroupNeedsThePlotNaming)
{
    const std::string text = modelWithPlots("linePlot [name = \"P\", minX = 0]\n@y [colorL = red] << x\nend\n");
    PlotModel plain(cNaming0);
    EXPECT_FALSE(plain.load(text));
    ASSERT_EQ(plain.log.messages.size(), 1u) << PlotRig<double>::keys(plain.log);
    EXPECT_EQ(plain.log.messages[0].text, "@ML.UnknownGroupName (Plots)");
    // The Plots line, counted from the text's first line (three header lines, then the model).
    EXPECT_EQ(plain.log.messages[0].line, 12u);

    PlotModel withPlots;
    EXPECT_TRUE(withPlots.load(text)) << PlotRig<double>::keys(withPlots.log);
    EXPECT_EQ(withPlots.model->getNumberOfExpressions(sc::Group::Plots, sc::ModelLevel::Main), 1u);
}

// Naming 0 keeps its vocabulary: the plot words are ordinary names there, while the plot
// naming reserves them.
TEST(PlotVocabulary, NamingZeroKnowsNoPlotWords)
{
    const std::string text =
        "Model [type = NL]:\nVars:\nlinePlot = 1; minX = 2\nNLEs:\nlinePlot = 3\nminX = 2*linePlot\nend\n";
    PlotRig<double> plain(sc::SolverType::NR, cNaming0);
    ASSERT_TRUE(plain.text.load(text)) << plain.keys(plain.text.log);
    ASSERT_TRUE(plain.pSolver->init(&plain.text.symbols, *plain.text.model, true)) << plain.keys();
    ASSERT_EQ(plain.pSolver->solve(), sc::Solution::OK);
    double minX = 0;
    ASSERT_TRUE(plain.pSolver->getVariableValue("minX", minX));
    EXPECT_NEAR(minX, 6, 1e-12);

    PlotModel withPlots;
    EXPECT_FALSE(withPlots.load(text));
}

// A model without plots, its equations with a switch and a function, builds and solves
// alike under both namings.
TEST(PlotVocabulary, ModelsBuildAndSolveUnderBothNamings)
{
    const std::string text = "Model [type = NL]:\nVars:\nx = 1; y = 1\nParams:\np = 2\nNLEs:\n"
                             "switch\ncase p > 1 -> x = 2*cos(0)\ndefault -> x = 5\nend\nx*y = 3\nend\n";
    double x[2] = {}, y[2] = {};
    for (td::UINT2 naming : {cNaming0, test::cPlotNaming})
    {
        SCOPED_TRACE(naming);
        PlotRig<double> rig(sc::SolverType::NR, naming);
        ASSERT_TRUE(rig.text.load(text)) << rig.keys(rig.text.log);
        ASSERT_TRUE(rig.pSolver->init(&rig.text.symbols, *rig.text.model, true)) << rig.keys();
        ASSERT_EQ(rig.pSolver->solve(), sc::Solution::OK);
        rig.pSolver->getVariableValue("x", x[naming]);
        rig.pSolver->getVariableValue("y", y[naming]);
        // Without plot statements the evaluator has nothing to record.
        EXPECT_TRUE(rig.pFigures->init(*rig.text.model, rig.pSolver));
        EXPECT_FALSE(rig.pFigures->buildFigures(rig.figures));
    }
    EXPECT_NEAR(x[0], 2, 1e-12);
    EXPECT_NEAR(y[0], 1.5, 1e-12);
    EXPECT_EQ(x[1], x[0]);
    EXPECT_EQ(y[1], y[0]);
}
} // namespace
