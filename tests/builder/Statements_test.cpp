#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "AssignmentText.h"
#include "BuilderSupport.h"
#include "DeclarationReader.h"
#include "StatisticsReader.h"

namespace
{
using sc::Group;
using test::Cmplx;
using Ev = sl::Evaluator<double>;
using Result = sl::StatementResult;

std::string model(const std::string& statements, const char* group = "PostProc")
{
    return std::string("Model [type = NL]:\nVars:\nx = 2; y = 3; z = 0\nParams:\np = 1; q = 0\nStats:\nst\n"
                       "NLEs:\nx = 1\ny = 1\nz = 1\n") +
           group + ":\n" + statements + "end\n";
}

// Each statement of a PostProc group alone: its record and its effect on x = 2.
TEST(Statements, AssignmentOperators)
{
    struct Case
    {
        const char* statement;
        char op;
        td::BYTE kind;
        td::INT4 target;
        double x;
        double p;
    } cases[] = {
        {"x = y + 1", '=', 0, 0, 4, 1}, {"x += 2", '+', 0, 0, 4, 1},   {"x -= 0.5", '-', 0, 0, 1.5, 1},
        {"x *= y", '*', 0, 0, 6, 1},    {"x /= 4", '/', 0, 0, 0.5, 1}, {"x ^= 3", '^', 0, 0, 8, 1},
        {"p = x*10", '=', 1, 0, 2, 20}, {"q += p", '+', 1, 1, 2, 1},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        ASSERT_TRUE(b.load(model(std::string(c.statement) + "\n"))) << b.loaded.errors();
        ASSERT_TRUE(b.declare());
        auto it = b.group(Group::PostProc);
        ++it;
        Ev* record = b.data.newEvaluator();
        EXPECT_EQ(b.pass<sl::StatementReader>().buildStatements(it, *b.loaded.model, record, Group::PostProc),
                  Result::Compiled);
        EXPECT_EQ(record->getOperator(), c.op) << c.statement;
        EXPECT_EQ(record->getTargetKind(), c.kind) << c.statement;
        EXPECT_EQ(record->getTargetIndex(), c.target) << c.statement;
        sl::CU<double> cu(&b.solver);
        EXPECT_TRUE(record->execute(cu)) << c.statement;
        EXPECT_EQ(b.value("x"), c.x) << c.statement;
        EXPECT_EQ(b.value("p"), c.p) << c.statement;
    }
}

TEST(Statements, StatisticsFeedsOwnTheirExpressions)
{
    test::Build<double> b;
    ASSERT_TRUE(b.prepare(model("st << x\nst << y*2 << abs(sin(x)) << x - -1\nx += 1\n")));
    ASSERT_TRUE(b.run(Group::PostProc)) << b.keys();
    const sl::EvaluatorVect<double>& list = b.solver.stores.sections[sl::SolverStores<double>::PostProc];
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->getType(), Ev::Type::Statistics);
    EXPECT_EQ(list[0]->getTargetIndex(), 0);
    EXPECT_EQ(list[0]->getThenCount(), 1u);
    EXPECT_EQ(list[1]->getThenCount(), 3u);
    // Each feed feeds what it names: x = 2, then 6, |sin 2|, 3.
    const sl::StatisticsRecord& r = b.solver.stores.statistics.record(0);
    EXPECT_EQ(r.count, 4u);
    EXPECT_EQ(r.min, std::abs(std::sin(2.0)));
    EXPECT_EQ(r.max, 6.0);
    EXPECT_DOUBLE_EQ(r.mean, (2 + 6 + std::abs(std::sin(2.0)) + 3) / 4);
    EXPECT_EQ(b.value("x"), 3.0);
}

TEST(Statements, RefusedStatements)
{
    struct Case
    {
        const char* statement;
        const char* group;
        const char* keys;
    } cases[] = {
        {"x >> y", "PostProc", "@SC.WrongAssignmentType @16:1\n"},
        {"x <- y", "PostProc", "@SC.WrongAssignmentType @16:1\n"},
        // The plot operator belongs to the Plots group alone.
        {"x -> y", "PostProc", "@SC.WrongAssignmentType @16:3\n"},
        {"x + y", "PostProc", "@SC.WrongAssignmentType @16:1\n"},
        {"x y +=", "PostProc", "@SC.IncAssignmentEq @16:5\n"},
        {"x += ", "PostProc", "@SC.WrongAssignmentEq @16:1\n"},
        {"if x\n    y = 1\nend", "PostProc", "@SC.WrongAssignmentEq @16:1\n"},
        {"x 1", "PostProc", "@SC.WrongAssignmentEq @16:1\n"},
        {"st = x", "PostProc", "@SC.UnknownSymbol @16:1\n"},
        {"if p > 0\nend", "PostProc", "@SC.EmptyIf @16:1\n"},
        {"st << x <<", "PostProc", "@CS.EmptyStatAsssignment @16:1\n"},
        {"st << x << << y", "PostProc", "@CS.EmptyStatAsssignment @16:1\n"},
        {"x << y", "PostProc", "@CS.StatsToNotStatVar @16:1\n"},
        {"switch\ny = 1\ncase p > 0 -> x = 1\nend", "PostProc", "@SC.StatementOutsideCase @17:1\n"},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        b.load(model(std::string(c.statement) + "\n", c.group));
        ASSERT_TRUE(b.declare()) << c.statement;
        ASSERT_TRUE(
            b.pass<sl::StatisticsReader>().buildStatsNames(b.loaded.naming, *b.loaded.model, sc::ModelLevel::Main));
        sl::EvaluatorVect<double> list;
        EXPECT_FALSE(b.statements(sc::Group::PostProc, list)) << c.statement;
        EXPECT_EQ(b.keys(), c.keys) << c.statement << "\n" << b.loaded.errors();
    }
}

TEST(Statements, RepeatMarkers)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(model("x += 1\nif x < 4\n    repeat\nelse\n    y = 7\nend\nrepeat\n", "Repeats")))
        << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    sl::EvaluatorVect<double> list;
    ASSERT_TRUE(b.statements(Group::Repeats, list)) << b.keys();
    ASSERT_EQ(list.size(), 3u);
    // A lone repeat is an empty entry; inside a block a record of the repeat kind.
    EXPECT_EQ(list[2], nullptr);
    const Ev* marker = list[1]->getThen();
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->getTargetKind(), static_cast<td::BYTE>(sl::RealTarget::None));
    EXPECT_EQ(marker->getSignal(), 6);
    // x = 2: the block repeats (false) until x reaches 4.
    EXPECT_FALSE(list.execute(&b.solver));
    EXPECT_EQ(b.value("x"), 3.0);
    EXPECT_FALSE(list.execute(&b.solver));
    EXPECT_EQ(b.value("x"), 4.0);
    // The else branch runs, then the lone repeat stops the list.
    EXPECT_FALSE(list.execute(&b.solver));
    EXPECT_EQ(b.value("y"), 7.0);

    // Outside Repeats a lone repeat is no statement.
    test::Build<double> c;
    c.load(model("repeat\n"));
    ASSERT_TRUE(c.declare());
    EXPECT_FALSE(c.statements(Group::PostProc, list));
    EXPECT_EQ(c.keys(), "@SC.WrongAssignmentEq @16:1\n");
}

// if inside if, switch inside else: records, counts and the branches taken.
TEST(Statements, NestedBlocks)
{
    const char* text = "if p > 0\n"
                       "    x = 1\n"
                       "    if q > 0\n"
                       "        y = 2\n"
                       "    else\n"
                       "        y = 3\n"
                       "        z = 4\n"
                       "    end\n"
                       "else\n"
                       "    switch\n"
                       "    case q > 1\n"
                       "        x = 5\n"
                       "        y = 6\n"
                       "    case q > 0 -> x = 7\n"
                       "    default\n"
                       "        x = 8\n"
                       "    end\n"
                       "end\n"
                       "if p > 5\n    z = 9\nend\n";
    test::Build<double> b;
    ASSERT_TRUE(b.load(model(text, "PreProc"))) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    auto it = b.group(Group::PreProc);
    ++it;
    Ev* outer = b.data.newEvaluator();
    sl::StatementReader<double> statements = b.pass<sl::StatementReader>();
    ASSERT_EQ(statements.buildStatements(it, *b.loaded.model, outer, Group::PreProc), Result::Compiled) << b.keys();
    EXPECT_EQ(sl::reservedWord(it), sc::idx(sc::ReservedID::End));
    ++it;
    Ev* second = b.data.newEvaluator();
    ASSERT_EQ(statements.buildStatements(it, *b.loaded.model, second, Group::PreProc), Result::IfCompiled);
    EXPECT_EQ(second->getElseCount(), 0u);

    ASSERT_EQ(outer->getType(), Ev::Type::IfThenElse);
    EXPECT_EQ(outer->getThenCount(), 2u);
    EXPECT_EQ(outer->getElseCount(), 1u);
    const Ev* inner = outer->getThen() + 1;
    ASSERT_EQ(inner->getType(), Ev::Type::IfThenElse);
    EXPECT_EQ(inner->getThenCount(), 1u);
    EXPECT_EQ(inner->getElseCount(), 2u);
    const Ev* sw = outer->getElse();
    ASSERT_EQ(sw->getType(), Ev::Type::Switch);
    EXPECT_NE(sw->getCondition(), nullptr);
    EXPECT_EQ(sw->getStatementCount(), 2u);
    const Ev* second_case = sw->getNextCase();
    ASSERT_NE(second_case, nullptr);
    EXPECT_EQ(second_case->getStatementCount(), 1u);
    const Ev* byDefault = second_case->getNextCase();
    ASSERT_NE(byDefault, nullptr);
    EXPECT_EQ(byDefault->getCondition(), nullptr);
    EXPECT_EQ(byDefault->getNextCase(), nullptr);

    struct Run
    {
        double p, q, x, y, z;
    } runs[] = {{1, 1, 1, 2, 0}, {1, 0, 1, 3, 4}, {0, 2, 5, 6, 0}, {0, 0.5, 7, 3, 0}, {-1, -1, 8, 3, 0}};
    for (const Run& r : runs)
    {
        b.value("x") = 2;
        b.value("y") = 3;
        b.value("z") = 0;
        b.value("p") = r.p;
        b.value("q") = r.q;
        sl::CU<double> cu(&b.solver);
        ASSERT_TRUE(outer->execute(cu));
        EXPECT_EQ(b.value("x"), r.x) << r.p << " " << r.q;
        EXPECT_EQ(b.value("y"), r.y) << r.p << " " << r.q;
        EXPECT_EQ(b.value("z"), r.z) << r.p << " " << r.q;
    }
}

// Statements of a sub-model may assign to the main model's symbols, but only with a parent.
TEST(Statements, ParentTargets)
{
    const char* text = "Model [type = NL]:\nVars:\nx = 1; y = 2\nParams:\np = 3\n"
                       "SubModel [type = NL]:\nVars:\nu = 5\nParams:\nk = 2\nNLEs:\nu = 1\n"
                       "PostProc:\n@main.y = u*k\n@main.p += u\nend\nNLEs:\nx = 1\ny = 1\nend\n";
    test::Build<double> parent;
    ASSERT_TRUE(parent.load(text)) << parent.loaded.errors();
    ASSERT_TRUE(parent.declare());

    test::Build<double> child;
    ASSERT_TRUE(child.load(text));
    child.solver.pParent = &parent.solver;
    ASSERT_TRUE(child.declare(sc::ModelLevel::Sub)) << child.keys();
    sl::EvaluatorVect<double> list;
    auto it = child.group(Group::PostProc, sc::ModelLevel::Sub);
    for (++it; !it.atEnd(); ++it)
    {
        Ev* record = child.data.newEvaluator();
        ASSERT_EQ(child.pass<sl::StatementReader>().buildStatements(it, *child.loaded.model, record, Group::PostProc),
                  Result::Compiled)
            << child.keys();
        EXPECT_EQ(record->getTargetKind(), static_cast<td::BYTE>(sl::RealTarget::Parent));
        list.add(record);
    }
    ASSERT_TRUE(list.execute(&child.solver));
    EXPECT_EQ(parent.value("y"), 10.0);
    EXPECT_EQ(parent.value("p"), 8.0);

    test::Build<double> orphan;
    ASSERT_TRUE(orphan.load(text));
    orphan.state.bindSolverData(orphan.data, orphan.loaded.model.get(), sc::ModelLevel::Sub);
    ASSERT_TRUE(orphan.pass<sl::DeclarationReader>().declareSymbols(orphan.loaded.naming, *orphan.loaded.model,
                                                                    sc::ModelLevel::Sub));
    it = orphan.group(Group::PostProc, sc::ModelLevel::Sub);
    ++it;
    EXPECT_EQ(orphan.pass<sl::StatementReader>().buildStatements(it, *orphan.loaded.model, orphan.data.newEvaluator(),
                                                                 Group::PostProc),
              Result::Failed);
    // At the target's column, after "@main.".
    EXPECT_EQ(orphan.keys(), "@SC.NoParentSolver @17:7\n");
}

TEST(Statements, ComplexPartTargets)
{
    const char* text = "Model [type = NL, domain = cmplx]:\nVars:\nz = 1+2i; w = 0\nParams:\nc = 3-1i\n"
                       "NLEs:\nz = 1\nw = 1\nPostProc:\nz.real = 5\nz.imag += 1\nc.imag *= 2\nw = conj(z)*c\nend\n";
    test::Build<Cmplx> b;
    ASSERT_TRUE(b.load(text)) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.run(Group::PostProc)) << b.keys();
    EXPECT_EQ(b.value("z"), Cmplx(5, 3));
    EXPECT_EQ(b.value("c"), Cmplx(3, -2));
    EXPECT_EQ(b.value("w"), std::conj(Cmplx(5, 3)) * Cmplx(3, -2));
    const sl::EvaluatorVect<Cmplx>& list = b.solver.stores.sections[sl::SolverStores<Cmplx>::PostProc];
    EXPECT_EQ(list[0]->getTargetKind(), static_cast<td::BYTE>(sl::CmplxTarget::VariableReal));
    EXPECT_EQ(list[1]->getTargetKind(), static_cast<td::BYTE>(sl::CmplxTarget::VariableImag));
    EXPECT_EQ(list[2]->getTargetKind(), static_cast<td::BYTE>(sl::CmplxTarget::ParameterImag));

    struct Case
    {
        const char* statement;
        const char* keys;
    } cases[] = {
        {"z w real = 1", "@SC.MissingDotInAssignment @13:3\n@SC.UnknownSymbol @13:1\n"},
        {"z.w = 1", "@SC.NoImagRealPartInAssignment @13:3\n@SC.UnknownSymbol @13:1\n"},
    };
    for (const Case& c : cases)
    {
        test::Build<Cmplx> e;
        e.load("Model [type = NL, domain = cmplx]:\nVars:\nz = 1+2i; w = 0\nParams:\nc = 3-1i\n"
               "NLEs:\nz = 1\nw = 1\nPostProc:\n" +
               std::string(c.statement) + "\nend\n");
        ASSERT_TRUE(e.declare());
        sl::EvaluatorVect<Cmplx> list2;
        EXPECT_FALSE(e.statements(Group::PostProc, list2)) << c.statement;
        EXPECT_EQ(e.keys(), c.keys) << c.statement << e.loaded.errors();
    }
}

TEST(Statements, TextFormsOfTargets)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(model("x = 1\n")));
    ASSERT_TRUE(b.declare());
    struct Case
    {
        const char* fx;
        const char* name;
        char op;
        td::UINT4 exprStart;
    } cases[] = {
        {"  x ^= y*2", "x", '^', 6},
        {"s<<a", "s", '<', 3},
        {"\tvalue = 3", "value", '=', 8},
        {"a -= b", "a", '-', 4},
    };
    for (const Case& c : cases)
    {
        std::string text = c.fx;
        td::UINT4 exprStart = 0;
        char op = 0;
        const char* name = b.pass<sl::AssignmentText>().splitAssignment(3, text.data(), exprStart, op);
        ASSERT_NE(name, nullptr) << c.fx;
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(op, c.op);
        EXPECT_EQ(exprStart, c.exprStart);
    }
    std::string bad = "=x";
    td::UINT4 exprStart = 0;
    char op = 0;
    b.data.currentSection = 14;
    EXPECT_EQ(b.pass<sl::AssignmentText>().splitAssignment(3, bad.data(), exprStart, op), nullptr);
    EXPECT_EQ(std::string(b.solver.stores.errorLog.toString().c_str()),
              "(0,PostProc):Missing missing '=' for numeric assignment eq or '<<' for stats assignment equation. "
              "Eq:=x\n(0,PostProc):Eq#: 3");
    EXPECT_EQ(b.data.currentSection, 0);

    td::BYTE isParent = 7;
    EXPECT_EQ(b.pass<sl::AssignmentText>().findSymbol("y", isParent), 1);
    EXPECT_EQ(isParent, 0);
    EXPECT_EQ(b.pass<sl::AssignmentText>().findSymbol("base.y", isParent), -1);
}

TEST(Statements, ComplexTextTargets)
{
    test::Build<Cmplx> parent, b;
    const char* text = "Model [type = NL, domain = cmplx]:\nVars:\nz = 1; w = 0\nParams:\nc = 1\n"
                       "SubModel [type = NL]:\nVars:\nu = 1\nNLEs:\nu = 1\nend\nNLEs:\nz = 1\nw = 1\nend\n";
    ASSERT_TRUE(parent.load(text));
    ASSERT_TRUE(parent.declare());
    ASSERT_TRUE(b.load(text));
    b.solver.pParent = &parent.solver;
    ASSERT_TRUE(b.declare(sc::ModelLevel::Sub));
    struct Case
    {
        const char* name;
        td::INT4 index;
        td::BYTE isParent;
        td::BYTE part;
    } cases[] = {
        {"u", 0, 9, 0}, {"u.imag", 0, 9, 2}, {"base.w.real", 1, 1, 1}, {"base.c", 2, 1, 0}, {"base.q", -1, 1, 0},
    };
    for (const Case& c : cases)
    {
        td::BYTE isParent = 9, part = 9;
        EXPECT_EQ(b.pass<sl::AssignmentText>().findSymbol(c.name, isParent, part), c.index) << c.name;
        EXPECT_EQ(isParent, c.isParent) << c.name;
        EXPECT_EQ(part, c.part) << c.name;
    }
    td::BYTE isParent = 0, part = 0;
    EXPECT_EQ(b.pass<sl::AssignmentText>().findSymbol("u.abs", isParent, part), -1);
    EXPECT_EQ(std::string(b.solver.stores.errorLog.toString().c_str()),
              "(0,Vars):Unknown complex assignmet part abs (can be real or imag) in u.abs");
}
} // namespace
