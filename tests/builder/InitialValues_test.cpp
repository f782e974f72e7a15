#include <cmath>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "InitValueReader.h"

namespace
{
using sc::Group;
using test::Cmplx;

std::string model(const std::string& vars, const std::string& params, const char* domain = "")
{
    return std::string("Model [type = NL") + domain + "]:\nVars:\n" + vars + "Params:\n" + params +
           "Distribs:\ng [type = Uniform, min = 0, max = 1]\nStats:\nst\nNLEs:\nx = 1\nend\n";
}

TEST(InitialValues, LiteralsConstantsAndTypes)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(model("x = 3\ny = -2.5 [out = true]\nz = 2*3 [type = int]\nw = sin(0)\nv\n",
                             "p = 3\nflag = true\noff = false\nc = pi\n")))
        << b.loaded.errors();
    ASSERT_TRUE(b.declare()) << b.keys();
    struct Expected
    {
        const char* name;
        double value;
        td::BYTE numType;
        td::BYTE kind;
    } expected[] = {{"x", 3, 2, 0}, {"y", -2.5, 2, 2}, {"z", 6, 1, 0},   {"w", 0, 2, 0},   {"v", 0, 2, 0},
                    {"p", 3, 2, 0}, {"flag", 1, 0, 0}, {"off", 0, 0, 0}, {"c", M_PI, 2, 0}};
    for (const Expected& e : expected)
    {
        EXPECT_EQ(b.value(e.name), e.value) << e.name;
        const td::INT4 i = b.solver.stores.symbols.find(e.name);
        EXPECT_EQ(b.solver.stores.symbolInfo[i].numType, e.numType) << e.name;
        EXPECT_EQ(b.solver.stores.symbolInfo[i].kind, e.kind) << e.name;
        EXPECT_EQ(b.solver.stores.symbolInfo[i].varType, i < 5 ? 1 : 0) << e.name;
    }
    // The solver-status symbols follow the variables and parameters.
    EXPECT_EQ(b.solver.stores.symbols.find("solState#"), 5 + 4 + 5);
    EXPECT_EQ(b.solver.stores.values.size(), 5u + 4u + 10u);
    EXPECT_EQ(b.solver.stores.symbolInfo.size(), 9u);
}

TEST(InitialValues, GroupOutputMarksAndComplexValues)
{
    test::Build<Cmplx> b;
    ASSERT_TRUE(b.load("Model [type = NL, domain = cmplx]:\nVars [out = true]:\nx = 1+2i\ny = 3i [out = false]\n"
                       "Params:\nc = 2*x\nNLEs:\nx = 1\ny = 1\nend\n"))
        << b.loaded.errors();
    ASSERT_TRUE(b.declare()) << b.keys();
    EXPECT_EQ(b.value("x"), Cmplx(1, 2));
    EXPECT_EQ(b.value("y"), Cmplx(0, 3));
    EXPECT_EQ(b.value("c"), Cmplx(2, 4));
    EXPECT_EQ(b.solver.stores.symbolInfo[0].kind, 2);
    EXPECT_EQ(b.solver.stores.symbolInfo[1].kind, 0);
    EXPECT_EQ(b.solver.stores.symbolInfo[2].kind, 0);
}

// Deferred values are evaluated after every deferred value they read, in either group.
TEST(InitialValues, DeferredValuesInDependencyOrder)
{
    struct Case
    {
        const char* vars;
        const char* params;
        const char* name;
        double value;
    } cases[] = {
        {"x = 2*p\n", "p = 3\n", "x", 6},
        {"x = y + 1\ny = 2*p\n", "p = 3\n", "x", 7},
        {"x = 1\n", "a = 2*b\nb = 3*c\nc = 1\n", "a", 6},
        {"x = 2*p\n", "p = 3\nk = x + 1\n", "k", 7},
        {"x = y*z\ny = z + 1\nz = 2\n", "p = 0\n", "x", 6},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        ASSERT_TRUE(b.load(model(c.vars, c.params))) << b.loaded.errors();
        ASSERT_TRUE(b.declare()) << c.vars << c.params << b.keys();
        EXPECT_EQ(b.value(c.name), c.value) << c.vars << c.params;
    }
}

// Lines count from the text's first line: the first declaration is on line 6.
TEST(InitialValues, RefusedDeclarations)
{
    struct Case
    {
        const char* vars;
        const char* params;
        const char* keys;
    } cases[] = {
        {"x 3\n", "p = 1\n", "@SC.AssignWith2Tokens @6:3\n"},
        {"x : 3\n", "p = 1\n", "@SC.Mising=InAssign @6:3\n"},
        {"x = y + 1\ny = x*2\n", "p = 1\n", "@SC.InitValErr @7:5\n"},
        {"x = x + 1\n", "p = 1\n", "@SC.InitValErr @6:5\n"},
        {"x = 1\n", "p = q\nq = 2*p\n", "@SC.InitValErr @9:7\n"},
        {"x = rnd(g)\n", "p = 1\n", "@SC.InitValErr @6:9\n"},
        {"x = avg(st) + p\n", "p = 1\n", "@SC.InitValErr @6:9\n"},
        {"x = 2*)\n", "p = 1\n", "@ET.)_AfterOper @6:7\n@ET.ErrInitValueExp @6:1\n@SC.InitValErr @6:1\n"},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        b.load(model(c.vars, c.params));
        EXPECT_FALSE(b.declare()) << c.vars << c.params;
        EXPECT_EQ(b.keys(), c.keys) << c.vars << c.params << b.loaded.errors();
    }
}

// A name declared twice fails the build; a value lands on the symbol its line names.
TEST(InitialValues, DuplicatedNames)
{
    test::Build<double> b;
    EXPECT_FALSE(b.load(model("x = 1\ny = 2\nx = 3\n", "p = 5\n")));
    EXPECT_FALSE(b.declare());
    // At the model line: the loader has told the duplicate at its declaration.
    EXPECT_EQ(b.keys(), "@SC.DuplicatedNames @4:1\n");

    b.log.messages.clear();
    b.bind();
    ASSERT_TRUE(b.pass<sl::DeclarationReader>().declareSymbols(b.loaded.naming, *b.loaded.model, sc::ModelLevel::Main));
    EXPECT_EQ(b.state.getNumVariables(), 2u);
    sl::DeferredList deferred;
    ASSERT_TRUE(b.pass<sl::InitValueReader>().setDeclarationValues(b.group(Group::Vars), deferred, sc::UserLabel::Var));
    // The third line names x: the first parameter, third in the symbol list, is untouched.
    EXPECT_EQ(b.value("p"), 0.0);
    ASSERT_TRUE(
        b.pass<sl::InitValueReader>().setDeclarationValues(b.group(Group::Params), deferred, sc::UserLabel::Param));
    EXPECT_EQ(b.value("x"), 3.0);
    EXPECT_EQ(b.value("y"), 2.0);
    EXPECT_EQ(b.value("p"), 5.0);

    // A parameter's name on a line of the Vars group.
    test::Build<double> c;
    c.load("Model [type = NL]:\nParams:\np = 5\nVars:\nx = 1\np = 3\nNLEs:\nx = 1\nend\n");
    c.bind();
    ASSERT_TRUE(c.pass<sl::DeclarationReader>().declareSymbols(c.loaded.naming, *c.loaded.model, sc::ModelLevel::Main));
    EXPECT_FALSE(
        c.pass<sl::InitValueReader>().setDeclarationValues(c.group(Group::Vars), deferred, sc::UserLabel::Var));
    EXPECT_EQ(c.keys(), "@SC.WrongType @9:1\n");
    EXPECT_EQ(c.value("p"), 0.0);
}
} // namespace
