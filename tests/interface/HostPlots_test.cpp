// A host that records figures through the shared solver library alone: two namings, the
// model loaded with the plot naming, a figure evaluator over the model's solver.
#include <gtest/gtest.h>

#include <cnt/Figure.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/IFigureEvaluator.h>
#include <sc/Naming.h>
#include <sc/SCLib.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <td/Variant.h>

#include "HostLog.h"

namespace
{
td::String keepKey(const char* key) { return td::String(key); }

TEST(HostPlots, ASweepRecordedThroughTheExportedInterface)
{
    sc::reserveNamings(2);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
    sc::setPlotDataForNaming(1);

    test::HostLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    sc::TokenizedModel model(&log, header, keepKey, naming, 1);
    ASSERT_TRUE(model.loadFromString(td::String("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nParams:\na = 0\n"
                                                "NLEs:\nx^3 = a\nPlots:\nlinePlot [name = \"cube root\"]\n"
                                                "@x << a\n@y [name = \"x\"] << x\nend\nend\n")));
    sc::ISolver<double>* pSolver = sc::createDblNRSolver(&log, 50);
    sc::IFigureEvaluator<double>* pFigures = sc::createDblPlotEvaluator(&log);
    ASSERT_TRUE(pSolver && pFigures);
    ASSERT_TRUE(pSolver->init(&naming, model, true));
    ASSERT_TRUE(pFigures->init(model, pSolver));
    pSolver->setEps(1e-12);
    for (int k = 1; k <= 3; ++k)
    {
        pSolver->setParameterValue("a", k * k * k);
        ASSERT_EQ(pSolver->solve(), sc::Solution::OK);
        pFigures->evaluate();
    }
    cnt::PushBackVector<cnt::Figure> figures;
    ASSERT_TRUE(pFigures->buildFigures(figures));
    ASSERT_EQ(figures.size(), 1u);
    const cnt::Figure& f = figures[0];
    EXPECT_STREQ(f.title().c_str(), "cube root");
    EXPECT_STREQ(f.yAxis(0).label.c_str(), "x");
    ASSERT_EQ(f.xAxis().points.size(), 3u);
    for (td::UINT4 i = 0; i < 3; ++i)
    {
        EXPECT_EQ(f.xAxis().points[i], (i + 1.0) * (i + 1) * (i + 1));
        EXPECT_NEAR(f.yAxis(0).points[i], i + 1.0, 1e-10);
    }
    EXPECT_TRUE(log.messages.empty());
    pFigures->release();
    pSolver->release();
}
} // namespace
