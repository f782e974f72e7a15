#include <cfloat>
#include <memory>

#include <gtest/gtest.h>

#include <cnt/Figure.h>

namespace
{
// A figure of two curves of n points each, one marker line of each kind and one band.
std::unique_ptr<cnt::Figure> filledFigure(td::UINT4 n)
{
    auto pFigure = std::make_unique<cnt::Figure>();
    cnt::Figure& f = *pFigure;
    f.title() = td::String("T");
    f.yLabel() = td::String("v");
    f.xAxis().label = td::String("t");
    f.xAxis().points.reserve(n);
    f.yAxes().reserve(2);
    for (td::UINT4 i = 0; i < 2; ++i)
    {
        f.yAxis(i).label = td::String(i == 0 ? "x" : "y");
        f.yAxis(i).style.width = 3.0f + i;
        f.yAxis(i).points.reserve(n);
    }
    for (td::UINT4 k = 0; k < n; ++k)
    {
        f.xAxis().points.append(k);
        f.yAxis(0).points.append(2.0 * k);
        f.yAxis(1).points.append(-1.0 * k);
    }
    f.hLines().reserve(1);
    f.hLines()[0].position = 4;
    f.hLines()[0].name = td::String("h");
    f.vLines().reserve(1);
    f.vLines()[0].legend = false;
    f.vBands().reserve(1);
    f.vBands()[0].width = 0.25;
    f.vBands()[0].name = td::String("band");
    f.setBounds(-1, -2, 10, 20);
    f.setLegendCount(3);
    return pFigure;
}

TEST(Figure, DefaultsOfTheFigureAndItsRecords)
{
    const cnt::Figure f;
    EXPECT_EQ(f.xMin(), -DBL_MAX);
    EXPECT_EQ(f.yMin(), -DBL_MAX);
    EXPECT_EQ(f.xMax(), DBL_MAX);
    EXPECT_EQ(f.yMax(), DBL_MAX);
    EXPECT_EQ(f.legendCount(), 0u);
    EXPECT_EQ(f.secondCount(), 0u);
    EXPECT_TRUE(f.title().isEmpty() && f.yLabel().isEmpty() && f.xAxis().label.isEmpty());
    EXPECT_EQ(f.xAxis().points.size(), 0u);
    EXPECT_EQ(f.xAxis().points.capacity(), 0u);
    EXPECT_TRUE(f.yAxes().empty() && f.hLines().empty() && f.vLines().empty());
    EXPECT_TRUE(f.hBands().empty() && f.vBands().empty());

    const cnt::Figure::YAxis axis;
    EXPECT_EQ(axis.style.width, 2.0f);
    EXPECT_EQ(axis.style.colorL, 167);
    EXPECT_EQ(axis.style.colorD, 167);
    EXPECT_EQ(axis.style.pattern, 0);
    const cnt::Figure::Line line;
    EXPECT_EQ(line.position, 0.0);
    EXPECT_EQ(line.min, -DBL_MAX);
    EXPECT_EQ(line.max, DBL_MAX);
    EXPECT_EQ(line.style.width, 2.0f);
    EXPECT_TRUE(line.legend);
    const cnt::Figure::Band band;
    EXPECT_EQ(band.position, 0.0);
    EXPECT_EQ(band.width, 1.0);
    EXPECT_EQ(band.min, -DBL_MAX);
    EXPECT_EQ(band.max, DBL_MAX);
    EXPECT_EQ(band.colorL, 167);
    EXPECT_EQ(band.colorD, 167);
    EXPECT_TRUE(band.legend);
}

// A copy owns its points and records: it keeps every value after the original is
// changed and destroyed (the sanitizer build catches shared storage freed twice).
TEST(Figure, CopiesAreDeep)
{
    constexpr td::UINT4 n = 50;
    std::unique_ptr<cnt::Figure> pOriginal = filledFigure(n);
    cnt::Figure copy(*pOriginal);
    cnt::Figure assigned;
    assigned = *pOriginal;
    pOriginal->yAxis(0).points.reserve(1);
    pOriginal->yAxis(0).points.append(99);
    pOriginal->hLines()[0].position = -7;
    pOriginal->vBands().reserve(0);
    pOriginal->title() = td::String("changed");
    pOriginal.reset();

    for (const cnt::Figure* p : {&copy, &assigned})
    {
        const cnt::Figure& f = *p;
        EXPECT_STREQ(f.title().c_str(), "T");
        EXPECT_STREQ(f.yLabel().c_str(), "v");
        EXPECT_STREQ(f.xAxis().label.c_str(), "t");
        ASSERT_EQ(f.yAxes().size(), 2u);
        EXPECT_STREQ(f.yAxis(1).label.c_str(), "y");
        EXPECT_EQ(f.yAxis(1).style.width, 4.0f);
        ASSERT_EQ(f.xAxis().points.size(), n);
        ASSERT_EQ(f.yAxis(0).points.size(), n);
        EXPECT_EQ(f.yAxis(0).points.capacity(), n);
        for (td::UINT4 k = 0; k < n; ++k)
        {
            EXPECT_EQ(f.xAxis().points[k], k);
            EXPECT_EQ(f.yAxis(0).points[k], 2.0 * k);
            EXPECT_EQ(f.yAxis(1).points[k], -1.0 * k);
        }
        EXPECT_EQ(f.hLines()[0].position, 4.0);
        EXPECT_STREQ(f.hLines()[0].name.c_str(), "h");
        EXPECT_FALSE(f.vLines()[0].legend);
        ASSERT_EQ(f.vBands().size(), 1u);
        EXPECT_EQ(f.vBands()[0].width, 0.25);
        EXPECT_STREQ(f.vBands()[0].name.c_str(), "band");
        EXPECT_EQ(f.xMin(), -1.0);
        EXPECT_EQ(f.yMax(), 20.0);
        EXPECT_EQ(f.legendCount(), 3u);
    }
}

TEST(FigureDeathTest, PointsPastTheRoomAndAxesOutsideTheListAssert)
{
    std::unique_ptr<cnt::Figure> pFigure = filledFigure(3);
    EXPECT_DEATH(pFigure->xAxis().points.append(1), "_size < _capacity");
    cnt::Figure empty;
    EXPECT_DEATH(empty.xAxis().points.append(1), "_size < _capacity");
    const char* axisCheck = "yAxisIndex >= 0 && yAxisIndex < static_cast<td::UINT4>\\(_yAxes.size\\(\\)\\)";
    EXPECT_DEATH(pFigure->yAxis(2), axisCheck);
    EXPECT_DEATH(pFigure->yAxis(-1), axisCheck);
    EXPECT_DEATH(empty.yAxis(0), axisCheck);
}
} // namespace
