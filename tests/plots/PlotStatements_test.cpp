#include <cfloat>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "PlotSupport.h"

namespace
{
namespace msg = sc::msg;
using test::modelWithPlots;
using test::PlotRig;

// A plot group, whether init succeeds, the legend count of each definition it leaves, and
// the plot messages as "key@line:col/type" with line counted from the Plots line (1 = first
// statement).
struct StatementCase
{
    const char* name;
    std::string plots;
    bool ok;
    std::vector<td::UINT2> legendCounts;
    std::vector<std::string> messages;
};

std::string at(const char* key, td::UINT4 line, td::UINT4 col, int type)
{
    return std::string(key) + "@" + std::to_string(line) + ":" + std::to_string(col) + "/" + std::to_string(type);
}

constexpr int W = 1, E = 2;

const std::string cValid = "linePlot\n@y << x\n@y [legend = false] << y\nhLine@ << a\nend\n";

TEST(PlotStatements, BlocksAndTheirMessages)
{
    const StatementCase cases[] = {
        {"empty block, then a valid one", "linePlot\nend\n" + cValid, true, {2}, {at(msg::scEmptyPlot, 2, 1, W)}},
        {"no curve, then a valid one",
         "linePlot\n@x << a\nhLine@ << x\nend\n" + cValid,
         true,
         {2},
         {at(msg::scPlotNoYAxis, 1, 1, W)}},
        {"barPlot", "barPlot\n@y << x\nend\n", false, {}, {at(msg::scWrongPlotTokenRKW, 1, 1, E)}},
        {"piePlot after a valid block",
         cValid + "piePlot\n@y << x\nend\n",
         false,
         {2},
         {at(msg::scWrongPlotTokenRKW, 6, 1, E)}},
        {"statement without a keyword", "x << 2\n", false, {}, {at(msg::scWrongPlotToken, 1, 1, E)}},
        {"item outside a block", cValid + "@y << x\n", false, {2}, {at(msg::scWrongPlotTokenRKW, 6, 1, E)}},
        {"second @x",
         "linePlot\n@x << a\n@y << x\n @x << y\nend\n",
         false,
         {},
         {at(msg::scSecondXAxisInPlot, 4, 2, E)}},
        {"second @cond",
         "linePlot\n@cond << a\n@cond << x\n@y << x\nend\n",
         false,
         {},
         {at(msg::scSecondCondInPlot, 3, 1, E)}},
        {"foreign line in a block",
         "linePlot\n@y << x\nx << 2\nend\n",
         false,
         {},
         {at(msg::scWrongPlotAttrib, 3, 1, E)}},
        {"block inside a block",
         "linePlot\n@y << x\nlinePlot\n@y << y\nend\nend\n",
         false,
         {},
         {at(msg::scWrongPlotAttrib, 3, 1, E)}},
        {"equal x bounds, y bounds the wrong way round",
         "linePlot [minX = 5, maxX = 5, minY = 2, maxY = -1]\n@y << x\nend\n",
         true,
         {1},
         {at(msg::scWrongPlotXBounds, 1, 1, W), at(msg::scWrongPlotYBounds, 1, 1, W)}},
        {"<< and -> both assign", "linePlot\n@y << x\n@y -> y\nend\n", true, {2}, {}},
        {"= is refused",
         "linePlot\n@y = x\nend\n",
         false,
         {},
         {at(msg::scWrongAssignmentType, 2, 4, E), at(msg::scPlotYAxisErr, 2, 1, E)}},
    };
    for (const StatementCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        PlotRig<double> rig;
        EXPECT_EQ(rig.build(modelWithPlots(c.plots)), c.ok) << rig.keys();
        std::vector<td::UINT2> legendCounts;
        for (const sl::FigureDefinition<double>& d : rig.definitions())
            legendCounts.push_back(d.legendCount);
        EXPECT_EQ(legendCounts, c.legendCounts);
        std::vector<std::string> got;
        for (const test::RecordingLog::Message& m : rig.log.messages)
            if (m.text.rfind("@SC.", 0) == 0)
                got.push_back(at(m.text.c_str(), m.line - rig.plotsLine(), m.col, m.type));
        EXPECT_EQ(got, c.messages);
    }
}

TEST(PlotStatements, AMissingEndAtTheGroupsEnd)
{
    PlotRig<double> rig;
    // Without the model's own end the block runs to the end of the text.
    std::string text = modelWithPlots("linePlot\n@y << x\n");
    text.resize(text.size() - 4);
    EXPECT_FALSE(rig.build(text));
    ASSERT_FALSE(rig.log.messages.empty());
    const test::RecordingLog::Message& last = rig.log.messages.back();
    EXPECT_EQ(last.text, msg::scPlotPremEnd);
    EXPECT_EQ(last.line, rig.plotsLine() + 2);
    EXPECT_EQ(last.col, 1u);
    EXPECT_EQ(last.type, sc::ILog::Error);
}

// Each item kind reports its own key after the statement compiler's, at its keyword.
TEST(PlotStatements, EachItemsCompileErrorKey)
{
    const struct
    {
        const char* item;
        const char* key;
    } items[] = {{"@y", msg::scPlotYAxisErr},     {"hLine@", msg::scPlotHLineErr}, {"vLine@", msg::scPlotVLineErr},
                 {"hBand@", msg::scPlotHBandErr}, {"vBand@", msg::scPlotVBandErr}, {"@cond", msg::scPlotCondErr},
                 {"@x", msg::scPlotAxisErr}};
    for (const auto& item : items)
    {
        SCOPED_TRACE(item.item);
        PlotRig<double> rig;
        const std::string bad = std::string(item.item) + " << x +\n";
        EXPECT_FALSE(rig.build(modelWithPlots("linePlot\n@y << y\n" + bad + "end\n")));
        ASSERT_GE(rig.log.messages.size(), 2u);
        const auto& last = rig.log.messages.back();
        EXPECT_EQ(last.text, item.key);
        EXPECT_EQ(last.line, rig.plotsLine() + 3);
        EXPECT_EQ(last.col, 1u);
        // The compiler's own key comes first.
        EXPECT_EQ(rig.log.messages[rig.log.messages.size() - 2].line, last.line);
        EXPECT_EQ(rig.definitions().size(), 0u);
    }
}

TEST(PlotStatements, HeaderTextsAndBoundsAreKept)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots("linePlot [name = \"P\", xLabel = \"a\", yLabel = \"v\", minX = 5, maxX = 5, "
                                         "minY = 2, maxY = -1]\n@y << x\nend\nlinePlot\n@y << y\nend\n")));
    ASSERT_EQ(rig.definitions().size(), 2u);
    const auto& d = rig.definitions()[0];
    EXPECT_STREQ(d.name.c_str(), "P");
    EXPECT_STREQ(d.xLabel.c_str(), "a");
    EXPECT_STREQ(d.yLabel.c_str(), "v");
    EXPECT_EQ(d.xMin, 5.0);
    EXPECT_EQ(d.xMax, 5.0);
    EXPECT_EQ(d.yMin, 2.0);
    EXPECT_EQ(d.yMax, -1.0);
    const auto& plain = rig.definitions()[1];
    EXPECT_TRUE(plain.name.isEmpty() && plain.xLabel.isEmpty() && plain.yLabel.isEmpty());
    EXPECT_EQ(plain.xMin, -DBL_MAX);
    EXPECT_EQ(plain.yMax, DBL_MAX);
}

TEST(PlotStatements, StylesAndTheirDefaults)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(modelWithPlots(
        "linePlot\n@y << x\n"
        "@y [name = \"c\", width = true, colorL = red, colorD = blue, pattern = dash, legend = false] << y\n"
        "@y [width = 3, pattern = \"dot\", colorL = 3] << a\n@y [width = 2.5, pattern = \"wavy\"] << x\n"
        "hLine@ [width = 1, minX = -2, maxX = 4, minY = 7, pattern = dashDot] << a\nvLine@ [minY = 1] << x\n"
        "hBand@ << a\nvBand@ [name = \"b\", width = 0.5, colorD = green, legend = false, minY = -1, maxY = 1] << x\n"
        "end\n")))
        << rig.keys();
    ASSERT_EQ(rig.definitions().size(), 1u);
    const auto& d = rig.definitions()[0];
    ASSERT_EQ(d.curveStyles.size(), 4u);
    const sl::PlotItemStyle& plain = d.curveStyles[0];
    EXPECT_EQ(plain.width, 2.0f);
    EXPECT_EQ(plain.colorL, td::cDefaultColor);
    EXPECT_EQ(plain.colorD, td::cDefaultColor);
    EXPECT_EQ(plain.pattern, 0);
    EXPECT_TRUE(plain.legend);
    EXPECT_TRUE(plain.name.isEmpty());
    const sl::PlotItemStyle& styled = d.curveStyles[1];
    EXPECT_STREQ(styled.name.c_str(), "c");
    EXPECT_EQ(styled.width, 1.0f);
    EXPECT_EQ(styled.colorL, td::toColorID("red", 3, td::cDefaultColor));
    EXPECT_EQ(styled.colorD, td::toColorID("blue", 4, td::cDefaultColor));
    EXPECT_EQ(styled.pattern, static_cast<td::BYTE>(td::LinePattern::Dash));
    EXPECT_FALSE(styled.legend);
    // A number is no colour word; a pattern text reads as the word.
    EXPECT_EQ(d.curveStyles[2].width, 3.0f);
    EXPECT_EQ(d.curveStyles[2].colorL, td::cDefaultColor);
    EXPECT_EQ(d.curveStyles[2].pattern, static_cast<td::BYTE>(td::LinePattern::Dot));
    EXPECT_EQ(d.curveStyles[3].width, 2.5f);
    EXPECT_EQ(d.curveStyles[3].pattern, 0);

    ASSERT_EQ(d.hLines.size(), 1u);
    const sl::PlotItemStyle& h = d.hLines[0].style;
    EXPECT_EQ(h.width, 1.0f);
    EXPECT_EQ(h.min, -2.0);
    EXPECT_EQ(h.max, 4.0);
    EXPECT_EQ(h.pattern, static_cast<td::BYTE>(td::LinePattern::DashDot));
    ASSERT_EQ(d.vLines.size(), 1u);
    EXPECT_EQ(d.vLines[0].style.min, 1.0);
    EXPECT_EQ(d.vLines[0].style.max, DBL_MAX);

    ASSERT_EQ(d.hBands.size(), 1u);
    const sl::PlotBand& hb = d.hBands[0];
    EXPECT_EQ(hb.width, 1.0);
    EXPECT_EQ(hb.colorL, td::cDefaultColor);
    EXPECT_EQ(hb.colorD, td::cDefaultColor);
    EXPECT_TRUE(hb.legend);
    EXPECT_EQ(hb.min, -DBL_MAX);
    ASSERT_EQ(d.vBands.size(), 1u);
    const sl::PlotBand& vb = d.vBands[0];
    EXPECT_STREQ(vb.name.c_str(), "b");
    EXPECT_EQ(vb.width, 0.5);
    EXPECT_EQ(vb.colorD, td::toColorID("green", 5, td::cDefaultColor));
    EXPECT_EQ(vb.min, -1.0);
    EXPECT_EQ(vb.max, 1.0);
    EXPECT_FALSE(vb.legend);
    // Three curves, both lines and the horizontal band show in the legend.
    EXPECT_EQ(d.legendCount, 6u);
}

TEST(PlotStatements, LegendCountLeavesOutVerticalBands)
{
    PlotRig<double> rig;
    ASSERT_TRUE(rig.build(
        modelWithPlots("linePlot\n@y << x\n@y [legend = false] << y\nhBand@ [legend = false] << a\nvBand@ << x\nend\n"
                       "linePlot\n@y << x\n@y [legend = false] << y\nhBand@ << a\nvBand@ << x\nend\n")));
    ASSERT_EQ(rig.definitions().size(), 2u);
    EXPECT_EQ(rig.definitions()[0].legendCount, 1u);
    EXPECT_EQ(rig.definitions()[1].legendCount, 2u);
}
} // namespace
