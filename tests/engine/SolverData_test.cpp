#include <string>

#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "SolverData.h"
#include "support/RecordingLog.h"

namespace
{
struct Context
{
    sl::ErrorLog log;
    sl::ReportCursor data;
    Context() { data.pErrorLog = &log; }
    std::string text() const { return log.toString().c_str(); }
};

// A build context is a view of the solver's stores: it reports into their error log, takes
// records and code from their pools and starts its results from their settings.
TEST(SolverData, DefaultsOfAFreshContext)
{
    sl::SolverStores<double> stores;
    test::FakeSolver<double> solver(1, 0);
    slDbl::SolverData d(stores, solver);
    EXPECT_EQ(d.results.indexOfTParam, -1);
    EXPECT_EQ(d.results.indexOfDeltaTParam, -1);
    EXPECT_EQ(d.results.IntegrationMethod, 1);
    EXPECT_EQ(d.results.eps, 0.0);
    EXPECT_EQ(d.treeOption, 1);
    EXPECT_EQ(d.pSolver, &solver);
    EXPECT_EQ(&d.stores, &stores);
    EXPECT_EQ(d.pErrorLog, &stores.errorLog);
    EXPECT_EQ(d.pEvaluatorPool, &stores.evaluators);
    EXPECT_EQ(d.pInstructionPool, &stores.instructions);
    EXPECT_EQ(d.pSymbolInfo, &stores.symbolInfo);
    EXPECT_EQ(d.currentSection, 0);
    EXPECT_EQ(d.getLog(), nullptr);
    EXPECT_EQ(d.sectionList(5), nullptr);
    EXPECT_EQ(d.sectionList(6), &stores.sections[sl::SolverStores<double>::Repeat]);
    EXPECT_EQ(d.sectionList(3), &stores.sections[sl::SolverStores<double>::BasePostProc]);
    EXPECT_EQ(d.sectionList(7), nullptr);

    stores.settings.indexOfTParam = 2;
    stores.settings.indexOfDeltaTParam = 3;
    stores.settings.line = 9;
    slDbl::SolverData seeded(stores, solver);
    EXPECT_EQ(seeded.results.indexOfTParam, 2);
    EXPECT_EQ(seeded.results.indexOfDeltaTParam, 3);
    EXPECT_EQ(seeded.currentLine, 9u);
    // The settings are read in place.
    stores.settings.inputKind = 1;
    EXPECT_EQ(seeded.settings().inputKind, 1);

    slDbl::CompileContext bare;
    EXPECT_EQ(bare.pSolver, nullptr);
    EXPECT_EQ(bare.getLog(), nullptr);
    EXPECT_STREQ(bare.getSymbolName(0), "-");
}

TEST(SolverData, EntriesBeginWithLineAndSection)
{
    Context c;
    c.data.currentLine = 12;
    c.data.currentSection = static_cast<td::BYTE>(sl::ErrorSection::Vars);
    c.data.addError("first");
    EXPECT_EQ(c.text(), "(12,Vars):first");
    c.data.currentLine = 3;
    c.data.currentSection = 20;
    c.data.addError("Differentiation is not defined for operator '@'", "%");
    EXPECT_EQ(c.text(), "(12,Vars):first\n(3,NDEF):Differentiation is not defined for operator '%'");
}

TEST(SolverData, SectionNames)
{
    const char* names[] = {"Other", "RndGens", "Stats",   "Vars", "Params",    "Init",   "PreProc",  "ODEqs",
                           "TFs",   "NLEqs",   "MeasEqs", "ECs",  "ReadModel", "Limits", "PostProc", "RTSolution"};
    for (int i = 0; i < 16; ++i)
        EXPECT_STREQ(sl::errorSectionName(static_cast<td::BYTE>(i)), names[i]);
    EXPECT_STREQ(sl::errorSectionName(16), "NDEF");
    EXPECT_STREQ(sl::errorSectionName(255), "NDEF");
}

TEST(SolverData, SubstitutionTakesArgumentsInOrder)
{
    struct Case
    {
        const char* name;
        std::string (*write)(Context&);
        const char* expected;
    } cases[] = {
        {"second @ kept",
         [](Context& c) {
             c.data.addError("a @ b @", "x");
             return c.text();
         },
         "(0,Other):a x b @"},
        {"third argument dropped",
         [](Context& c) {
             c.data.addError("@-@", "x", "y", "z");
             return c.text();
         },
         "(0,Other):x-y"},
        {"no @",
         [](Context& c) {
             c.data.addError("plain", "x");
             return c.text();
         },
         "(0,Other):plain"},
        {"number kinds",
         [](Context& c) {
             c.data.addError("@ @ @ @", td::UINT2(65535), td::INT4(-7), td::UINT4(4000000000u), td::LUINT8(1ull << 40));
             return c.text();
         },
         "(0,Other):65535 -7 4000000000 1099511627776"},
        {"strings and null",
         [](Context& c) {
             c.data.addError("[@][@]", td::String("name"), static_cast<const char*>(nullptr));
             return c.text();
         },
         "(0,Other):[name][]"},
        {"empty text",
         [](Context& c) {
             c.data.addError("");
             return c.text();
         },
         "(0,Other):"},
        {"explicit line and section",
         [](Context& c) {
             sl::ReportCursor::addErrorEntry(c.log, 5, 2, "@ at @", td::String("s"), td::LUINT8(9));
             return c.text();
         },
         "(5,Stats):s at 9"},
    };
    for (const Case& c : cases)
    {
        Context ctx;
        EXPECT_EQ(c.write(ctx), c.expected) << c.name;
    }
}

TEST(SolverData, ItemLocationTexts)
{
    struct Case
    {
        td::BYTE current;
        td::BYTE section;
        const char* expected;
    } cases[] = {
        {3, 16, "(0,Vars):Var#: 5"},
        {9, 16, "(0,NLEqs):Eq#: 5"},
        {1, 16, "(0,RndGens):RndGen#: 5"},
        {4, 12, "(0,ReadModel):Par#: 5"},
    };
    for (const Case& c : cases)
    {
        Context ctx;
        ctx.data.currentSection = c.current;
        ctx.data.itemLocationText(5, c.section);
        EXPECT_EQ(ctx.text(), c.expected);
    }
    Context ctx;
    ctx.data.currentSection = 13;
    ctx.data.groupItemLocationText(2, 7, 16);
    EXPECT_EQ(ctx.text(), "(0,Limits):Group#: 2; Eq#: 7");
}

TEST(SolverData, KeysGoToTheSolversLogger)
{
    test::RecordingLog log;
    test::FakeSolver<double> solver(1, 0);
    solver.pLog = &log;
    sl::SolverStores<double> stores;
    slDbl::SolverData d(stores, solver);
    d.reportKey("@SC.Key", 3, 4);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "@SC.Key");
    EXPECT_EQ(log.messages[0].type, sc::ILog::Error);
    EXPECT_EQ(log.messages[0].slot, test::RecordingLog::Slot::KeyAt);
    EXPECT_EQ(log.messages[0].line, 3u);
    EXPECT_EQ(log.messages[0].col, 4u);
    EXPECT_STREQ(d.getSymbolName(0), "sym");
    // While keys are silenced (the XML road) none reaches the logger: the first is held.
    d.keysSilenced = 1;
    d.reportKey("@SC.Other", 5, 6);
    EXPECT_EQ(d.getLog(), nullptr);
    EXPECT_EQ(log.messages.size(), 1u);
    EXPECT_STREQ(d.heldKey.key, "@SC.Other");
    EXPECT_EQ(d.heldKey.column, 6u);
}

TEST(SolverData, EvaluatorRecordsCarryTheirDefaults)
{
    test::Pools<double> pools;
    for (int i = 0; i < 3; ++i)
    {
        sl::Evaluator<double>* e = pools.data.newEvaluator();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->getTargetIndex(), -1);
        EXPECT_EQ(e->getTargetKind(), 1);
        EXPECT_EQ(e->getType(), sl::Evaluator<double>::Type::Code);
        EXPECT_EQ(e->getSignal(), 6);
        EXPECT_EQ(e->getOperator(), '=');
    }
}
} // namespace
