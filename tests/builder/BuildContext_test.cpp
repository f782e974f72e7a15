#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "DeclarationReader.h"
#include "LimitGroups.h"
#include "RPNDerivParser.h"
#include "XmlBuilder.h"

namespace
{
using sc::Group;
using test::Cmplx;

const char* const s_body = "Vars:\nx = 1; y = 2\nParams:\np = 3\nNLEs:\nx*y = p\nx - y = 1\nend\n";

TEST(BindSolverData, ModelLineSettings)
{
    struct Case
    {
        const char* attributes;
        td::BYTE pivotMode;
        td::BYTE treeOption;
    } cases[] = {
        {"", 0, 1},
        {", pivot = Diagonal", 0, 1},
        {", pivot = Markowitz", 1, 1},
        {", simplify = false", 0, 0},
        {", simplify = true, pivot = Markowitz", 1, 1},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        b.solver.stores.settings.pivot = 1;
        ASSERT_TRUE(b.load(std::string("Model [type = NL") + c.attributes + "]:\n" + s_body)) << b.loaded.errors();
        b.bind();
        EXPECT_EQ(b.data.pivotMode, c.pivotMode) << c.attributes;
        EXPECT_EQ(b.data.treeOption, c.treeOption) << c.attributes;
        // The solver's own pivot flag is cleared by every binding.
        EXPECT_EQ(b.solver.stores.settings.pivot, 0);
    }
}

TEST(BindSolverData, SolverSettingsAndStoresReachTheContext)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(std::string("Model [type = NL]:\n") + s_body));
    sl::BuildSettings& s = b.solver.stores.settings;
    s.indexOfTParam = 4;
    s.indexOfDeltaTParam = 5;
    s.line = 17;
    s.inputKind = 1;
    s.buildOptions[0] = 7;
    s.buildOptions[1] = 8;
    // A context made over the solver starts from its settings.
    sl::SolverData<double> d(b.solver.stores, b.solver);
    b.state.bindSolverData(d, b.loaded.model.get(), sc::ModelLevel::Main);
    b.builder.bindEntry(d, b.loaded.model.get(), sc::ModelLevel::Main);
    EXPECT_EQ(d.results.indexOfTParam, 4);
    EXPECT_EQ(d.results.indexOfDeltaTParam, 5);
    EXPECT_EQ(d.currentLine, 17);
    // The settings are read in place.
    EXPECT_EQ(&d.settings(), &s);
    EXPECT_EQ(d.settings().inputKind, 1);
    EXPECT_EQ(d.settings().buildOptions[0], 7);
    EXPECT_EQ(d.settings().buildOptions[1], 8);
    EXPECT_EQ(d.pSolver, &b.solver);
    EXPECT_EQ(d.pLog, &b.log);
    EXPECT_EQ(&d.stores, &b.solver.stores);
    EXPECT_EQ(d.sectionList(6), &b.solver.stores.sections[sl::SolverStores<double>::Repeat]);
    EXPECT_EQ(d.sectionList(5), nullptr);
    EXPECT_EQ(d.pUsedVars, &b.used().variables());
    EXPECT_EQ(d.pTokenizedModel, b.loaded.model.get());
    EXPECT_EQ(d.pODEList, nullptr);
}

// What the solver takes: the context's results with the builder's counts.
TEST(BindSolverData, ResultsCarryTheBuildersCounts)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(std::string("Model [type = NL]:\n") + s_body));
    b.solver.stores.settings.indexOfTParam = 4;
    sl::SolverData<double> d(b.solver.stores, b.solver);
    sl::RPNDerivParser<double> builder(b.solver.stores);
    builder.bindSolverData(d, b.loaded.model.get(), sc::ModelLevel::Main);
    ASSERT_TRUE(builder.initNR(b.loaded.naming, *b.loaded.model, d, sc::ModelLevel::Main)) << b.keys();
    d.results.eps = 0.25;
    const sl::BuildResults r = builder.results();
    EXPECT_EQ(r.nVars, 2u);
    EXPECT_EQ(r.nParams, 1u);
    EXPECT_EQ(r.nEquations, 2u);
    EXPECT_EQ(r.eps, 0.25);
    EXPECT_EQ(r.indexOfTParam, 4);
}

// A rebuild hands the same records out again, each with the record defaults, and the
// model it builds evaluates as a fresh one.
TEST(BindSolverData, RebuildResetsReusedRecords)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load("Model [type = NL]:\nVars:\nx = 1; y = 2\nParams:\np = 3\nNLEs:\n"
                       "if p > 0\n    x*y = p\nelse\n    x = y\nend\nx - y = 1\nPostProc:\np += x\nend\n"));
    const sl::Evaluator<double>* firstRecord = nullptr;
    std::string firstCells;
    for (int build = 0; build < 3; ++build)
    {
        ASSERT_TRUE(b.declare()) << b.keys();
        sl::Evaluator<double>* probe = b.data.newEvaluator();
        if (build == 0)
            firstRecord = probe;
        // The cursor is rewound: the same place as in the first build, with the defaults.
        EXPECT_EQ(probe, firstRecord);
        EXPECT_EQ(probe->getType(), sl::Evaluator<double>::Type::Code);
        EXPECT_EQ(probe->getTargetIndex(), -1);
        EXPECT_EQ(probe->getCondition(), nullptr);
        // Leave the record dirty for the next build.
        probe->setIfThenElse(probe, probe, probe);
        probe->setTarget(3, 0, '*');
        ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
        ASSERT_TRUE(b.run(Group::PostProc)) << b.keys();
        EXPECT_EQ(b.solver.stores.equations.size(), 2u);
        EXPECT_EQ(b.value("p"), 4.0);
        std::string cells = b.jacobian().positions();
        if (build == 0)
            firstCells = cells;
        EXPECT_EQ(cells, firstCells);
    }
    // The conditional row zeroes its column union before its branch fills it.
    EXPECT_EQ(firstCells, "0,0 0,1 0,0 0,1 1,0 1,1");
}

TEST(BuilderObject, UsedVariablesAndSymbolKinds)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(std::string("Model [type = NL]:\n") + s_body));
    EXPECT_FALSE(b.data.declarationsDone);
    ASSERT_TRUE(b.declare());
    EXPECT_TRUE(b.data.declarationsDone);
    EXPECT_EQ(b.data.results.nEquations, 2u);
    EXPECT_FALSE(b.used().markVariableUsed(static_cast<td::UINT4>(-1)));
    EXPECT_FALSE(b.used().markVariableUsed(2));
    EXPECT_TRUE(b.used().markVariableUsed(1));
    EXPECT_TRUE(b.used().markVariableUsed(1));
    std::vector<td::UINT4> used;
    for (td::UINT4 v : b.used().variables())
        used.push_back(v);
    EXPECT_EQ(used, std::vector<td::UINT4>{1});
    b.state.setStateVarType(1, 3);
    b.state.setVarType(0, 2);
    EXPECT_EQ(b.solver.stores.symbolInfo[1].varType, 3);
    EXPECT_EQ(b.solver.stores.symbolInfo[0].varType, 2);
    b.state.copyName(td::String("gen#k1"), 14);
    EXPECT_EQ(b.state.parser.getSymbolIndex("gen#k1"), 14);
}

// The parser collects into the used-variable sets of the entry that lives; when an entry
// ends, the one before it collects again and no set that is gone is written.
TEST(BuilderObject, EntriesLendTheParserTheirUsedVariables)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(std::string("Model [type = NL]:\n") + s_body));
    ASSERT_TRUE(b.declare());
    EXPECT_EQ(b.state.parser.getUsedVariables(), &b.used());
    {
        sl::XmlBuilder<double> xml(b.state);
        EXPECT_EQ(b.state.parser.getUsedVariables(), &xml.usedVariables());
        {
            sl::TextBuilder<double> inner(b.state);
            EXPECT_EQ(b.state.parser.getUsedVariables(), &inner.usedVariables());
        }
        EXPECT_EQ(b.state.parser.getUsedVariables(), &xml.usedVariables());
        xml.usedVariables().bind(b.state.data());
        EXPECT_EQ(b.state.data().pUsedVars, &xml.usedVariables().variables());
    }
    EXPECT_EQ(b.state.parser.getUsedVariables(), &b.used());
    // The context outlives the entry whose sets it was given: it no longer points at them.
    EXPECT_EQ(b.state.data().pUsedVars, nullptr);
    EXPECT_EQ(b.state.data().pLastUsedVarsForLimits, nullptr);
    b.used().bind(b.state.data());
    // An equation reads into the text road's set: x - y = 1 uses both variables.
    auto it = b.group(Group::NLEs);
    ++it;
    ++it;
    td::UINT4 nonZeros = 0;
    ASSERT_TRUE(b.pass<sl::EquationReader>().buildSymbolicJacobian(it, 1, nonZeros, 'F')) << b.keys();
    std::vector<td::UINT4> used;
    for (td::UINT4 v : b.used().variables())
        used.push_back(v);
    EXPECT_EQ(used, (std::vector<td::UINT4>{0, 1}));
    EXPECT_EQ(nonZeros, 2u);
}

TEST(BuilderObjectDeathTest, SymbolKindSettersCheckTheirArguments)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(std::string("Model [type = NL]:\n") + s_body));
    ASSERT_TRUE(b.declare());
    EXPECT_DEATH(b.state.setStateVarType(0, 1), "isStateVariable");
    EXPECT_DEATH(b.state.setVarType(0, 3), "isStateVariable");
    EXPECT_DEATH(b.state.setVarType(2, 1), "varID.* < nVars");
}

TEST(BuilderObject, LimitGroupAllocation)
{
    cnt::List<sl::Evaluator<double>> pool(4);
    sl::LimitGroups<double> groups(3);
    sl::Evaluator<double>* first = sl::allocLimitGroup(groups, pool, 1, 6, false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(groups[1].pFirst, first);
    EXPECT_EQ(groups[1].n, 6u);
    EXPECT_EQ(groups[1].enabled, 0);
    // Six consecutive records: the block grew to hold them.
    EXPECT_GE(pool.blockLength(), 6u);
    EXPECT_EQ(sl::allocLimitGroup(groups, pool, 2, 0, true), nullptr);
    EXPECT_EQ(groups[2].n, 0u);
    EXPECT_EQ(groups[2].pFirst, nullptr);
}

// Complex text road: no conjugate partners, so the three variables keep their indices.
TEST(ComplexRoad, ConjInAPostProcStatementUsesTheVariablesAsDeclared)
{
    test::Build<Cmplx> b;
    b.solver.stores.settings.conjugatePartners = 1;
    ASSERT_TRUE(b.load("Model [type = NL, domain = cmplx]:\nVars:\nx = 1+2i; y = 3-1i; z = 0\nParams:\n"
                       "c = 2i\nNLEs:\nx = 1\ny = 2\nz = 3\nPostProc:\nz = conj(y) + x*c\nc = conj(z)\nend\n"))
        << b.loaded.errors();
    ASSERT_TRUE(b.declare()) << b.keys();
    EXPECT_FALSE(b.state.hasConjugatePartners());
    EXPECT_FALSE(b.solver.hasConjugatePartners());
    EXPECT_EQ(b.state.getNumVariables(), 3u);
    ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    ASSERT_TRUE(b.run(Group::PostProc)) << b.keys();
    const Cmplx z = std::conj(Cmplx(3, -1)) + Cmplx(1, 2) * Cmplx(0, 2);
    EXPECT_EQ(b.value("z"), z);
    EXPECT_EQ(b.value("c"), std::conj(z));
    EXPECT_EQ(b.value("x"), Cmplx(1, 2));
    EXPECT_EQ(b.value("y"), Cmplx(3, -1));
}
} // namespace
