// A host's road through the shared solver library, built against Include/ and libeqnKit
// alone: whatever a host calls must be exported, whatever it includes must be public.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cnt/SafeFullVector.h>
#include <cnt/StringBuilder.h>
#include <sc/Naming.h>
#include <sc/SCLib.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <td/Variant.h>

#include "HostLog.h"

namespace
{
using test::HostLog;

td::String keepKey(const char* key) { return td::String(key); }

// The vocabulary set-up a host makes before its first load.
void setUpVocabulary()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    sc::reserveNamings(1);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
}

struct HostLoad
{
    HostLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;

    bool load(const char* text)
    {
        setUpVocabulary();
        naming.clean();
        sc::TokenizedModel model(&log, header, keepKey, naming, 0);
        if (!model.loadFromString(td::String(text)))
            return false;
        info = model.getModelInfo(sc::ModelLevel::Main);
        maxIterAnswer = model.getHeaderParamValue(sc::HeaderParam::MaxIter, maxIter);
        dTimeAnswer = model.getHeaderParamValue(sc::HeaderParam::DTime, dTime);
        return true;
    }

    sc::_MI info;
    int maxIter = 0;
    int maxIterAnswer = 0;
    double dTime = 0.0;
    int dTimeAnswer = 0;
};

const char* const circle = "Header:\n"
                           "maxIter = 50 report = All\n"
                           "end\n"
                           "Model [type = NL, eps = 1e-8]:\n"
                           "Vars [out = true]:\n"
                           "x = 1; y = 1\n"
                           "Params:\n"
                           "r = 2\n"
                           "NLEs:\n"
                           "x^2 + y^2 = r^2\n"
                           "x - y = 0\n"
                           "end\n";
} // namespace

TEST(HostRoad, LoadsAModelThroughTheExportedInterface)
{
    HostLoad host;
    ASSERT_TRUE(host.load(circle));
    EXPECT_TRUE(host.log.messages.empty());
    EXPECT_EQ(host.info.type, 0);
    EXPECT_EQ(host.info.complex, 0);
    EXPECT_EQ(host.info.eps, 1e-8);
    EXPECT_EQ(host.maxIterAnswer, 1);
    EXPECT_EQ(host.maxIter, 50);
    // dTime keeps its default when the header does not name it.
    EXPECT_EQ(host.dTimeAnswer, 1);
    EXPECT_EQ(host.dTime, 0.001);

    ASSERT_EQ(host.naming.getNumberOfVars(sc::ModelLevel::Main), 2u);
    ASSERT_EQ(host.naming.getNumberOfParams(sc::ModelLevel::Main), 1u);
    EXPECT_STREQ(host.naming.getVarName(1, sc::ModelLevel::Main)->c_str(), "y");
    EXPECT_STREQ(host.naming.getParamName(0, sc::ModelLevel::Main)->c_str(), "r");
}

TEST(HostRoad, ABadTextReachesTheHostsLogger)
{
    HostLoad host;
    ASSERT_TRUE(host.load(circle));
    // A second load clears the table first; the error reaches the logger with its position
    // in the model text, lines counted from its first.
    EXPECT_FALSE(host.load("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx + $ = 0\nend\n"));
    ASSERT_EQ(host.log.messages.size(), 1u);
    EXPECT_EQ(host.log.messages.front(), "@ML.UnexpectedToken:$@7:5");
    EXPECT_EQ(host.naming.getNumberOfParams(sc::ModelLevel::Main), 0u);
}

TEST(HostRoad, SolvesThroughTheExportedSolverInterface)
{
    HostLoad host;
    setUpVocabulary();
    sc::TokenizedModel model(&host.log, host.header, keepKey, host.naming, 0);
    ASSERT_TRUE(model.loadFromString(td::String(circle)));
    sc::ISolver<double>* pSolver = sc::createDblNRSolver(&host.log, 50);
    ASSERT_NE(pSolver, nullptr);
    ASSERT_TRUE(pSolver->init(&host.naming, model, true));
    pSolver->setEps(1e-12);
    EXPECT_EQ(pSolver->solve(), sc::Solution::OK);
    double x = 0;
    ASSERT_TRUE(pSolver->getVariableValue("x", x));
    EXPECT_NEAR(x, 1.4142135623730951, 1e-12);
    cnt::SafeFullVector<td::UINT4> out;
    EXPECT_TRUE(pSolver->getOutputSymbolIndices(out));
    EXPECT_EQ(out.size(), 2u);
    EXPECT_TRUE(host.log.messages.empty());
    pSolver->release();
}

TEST(HostRoad, FoundationFunctionsOfThePublicHeaders)
{
    // The library's start-up sets the solution report text.
    EXPECT_STREQ(sc::getSolutionOKReportString().c_str(), "OK");
    cnt::StringBuilder<64> text;
    text.append(0.25);
    EXPECT_STREQ(text.toString().c_str(), "0.25");
    EXPECT_EQ(td::classifyNumber("-12"), 2);
}
