#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dense/DiagMatrix.h>
#include <sc/MessageKeys.h>

#include "BuilderSupport.h"

namespace
{
using sc::ModelLevel;
namespace msg = sc::msg;

std::string odeModel(const std::string& odes)
{
    return "Model [type = ODE]:\nVars:\nx = 1\nv = 2\nParams:\nk = 4\nODEs:\n" + odes + "end\n";
}

// Runs the ODE entry with an ODE list.
struct OdeBuild : test::Build<double>
{
    bool run(const std::string& odes)
    {
        load(odeModel(odes));
        bind();
        data.pODEList = &odeList;
        return builder.initODE(loaded.naming, *loaded.model, data, ModelLevel::Main);
    }
    cnt::SafeFullVector<td::INT4> odeList;
};

TEST(Road, OdeStatementsBuildTheDerivativesOfTheirStates)
{
    struct Case
    {
        const char* odes;
        std::vector<td::INT4> states;
        // The equations at x = 1, v = 2, k = 4.
        std::vector<double> derivatives;
    } cases[] = {
        {"x' = v\nv' = -k*x\n", {0, 1}, {2, -4}},
        // The integral form x = c*int(f) is the derivative c*f.
        {"v' = -k*x\nx = 3*int(v)\n", {1, 0}, {-4, 6}},
        // lim in an ODE has the used-variable sets it needs; nothing walks it, so it clamps
        // its argument where it is evaluated.
        {"x' = lim(v, -1, 1)\nv' = -x\n", {0, 1}, {1, -1}},
    };
    for (const Case& c : cases)
    {
        OdeBuild b;
        ASSERT_TRUE(b.run(c.odes)) << c.odes << b.keys();
        ASSERT_EQ(b.odeList.size(), c.states.size());
        for (std::size_t i = 0; i < c.states.size(); ++i)
            EXPECT_EQ(b.odeList[i], c.states[i]) << c.odes;
        EXPECT_EQ(b.residuals(), c.derivatives) << c.odes;
    }
}

TEST(Road, MalformedOdeStatementsAreRefusedWithTheirKeys)
{
    struct Case
    {
        const char* odes;
        const char* firstKey;
    } cases[] = {
        {"x' = int(v)\nv' = x\n", msg::scDerivAndIntAvailable},
        {"x = 2*v\nv' = x\n", msg::scNoDerivNoInt},
        {"x + v = 1\nv' = x\n", msg::scODEExpectedDerivOrEq},
        {"k' = x\nv' = x\n", msg::scODEExpectedVariable},
        {"x' v\nv' = x\n", msg::scODEExpectedEqToken},
        {"x = v*int(v)\nv' = x\n", msg::scODEIntWithSS},
        {"x = int(v) + 1\nv' = x\n", msg::scODEIntWrongOperators},
        {"x = int(v)*int(x)\nv' = x\n", msg::scODEHasMultInts},
        // Two ODEs for one state would leave the other without any.
        {"x' = v\nx' = -x\n", msg::scDAEEqError},
        {"x' = v\n", "@SC.#Vars!=#ODEs: 2 variables, 1 equation"},
    };
    for (const Case& c : cases)
    {
        OdeBuild b;
        EXPECT_FALSE(b.run(c.odes)) << c.odes;
        EXPECT_EQ(b.firstKey(), c.firstKey) << c.odes << b.keys();
        // The right side after a refused head is read from behind its `=`: that `=` is never
        // taken for a second one.
        EXPECT_EQ(b.keys().find(msg::scDoubleEq), std::string::npos) << c.odes << b.keys();
    }
    // A right side with a mistake of its own after a refused head: both at their columns.
    OdeBuild b;
    EXPECT_FALSE(b.run("2*x' = sin(\nv' = x\n"));
    EXPECT_EQ(b.firstKey(), msg::scODEExpectedVariable) << b.keys();
    EXPECT_NE(b.keys().find("@ET."), std::string::npos) << b.keys();
}

TEST(Road, MeasurementCountsAndWeights)
{
    const std::string head = "Model [type = WLS]:\nVars:\nx = 1; y = 2; z = 3\nParams:\np = -4\nWLSEs:\n";
    struct Case
    {
        std::string body;
        const char* key;
        std::vector<double> weights;
    } cases[] = {
        {"x = 1 [w = 2]\ny + z = 2 [w = \"p\"]\nECs:\nx + y = z\nend\n", nullptr, {2, 4}},
        {"x = 1 [w = -4]\ny = 2\nECs:\nz = 1 [w = x]\nend\n", nullptr, {-4, 1}},
        {"x = 1 [w = y]\ny = 2\nend\n", "@SC.WLSNotEnoughEQs: 3 variables, 2 equations", {}},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        ASSERT_TRUE(b.load(head + c.body)) << b.loaded.errors();
        b.bind();
        dense::DiagMatrix<double> weights;
        b.data.pWeights = &weights;
        const bool built = b.builder.initWLS(b.loaded.naming, *b.loaded.model, b.data, ModelLevel::Main);
        EXPECT_EQ(built, c.key == nullptr) << c.body << b.keys();
        if (c.key)
        {
            EXPECT_EQ(b.firstKey(), c.key);
            continue;
        }
        ASSERT_EQ(weights.size(), c.weights.size());
        for (td::UINT4 i = 0; i < weights.size(); ++i)
            EXPECT_EQ(weights[i], c.weights[i]) << c.body << " weight " << i;
        EXPECT_EQ(b.solver.stores.equations.size(), 2u);
        EXPECT_EQ(b.solver.stores.constraints.size(), 1u);
    }
}

TEST(Road, SectionsRepeatsAndSubModelsOfTheNREntry)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load("Model [type = NL]:\nVars:\nx = 1\nParams:\nn = 0\nNLEs:\nx = 2\nPreProc:\nn += 1\n"
                       "IterPostP [alwaysOn = true]:\nn += 2\nRepeats:\nrepeat\nend\n"))
        << b.loaded.errors();
    b.bind();
    ASSERT_TRUE(b.builder.initNR(b.loaded.naming, *b.loaded.model, b.data, ModelLevel::Main)) << b.keys();
    const auto& sections = b.solver.stores.sections;
    EXPECT_EQ(sections[sl::SolverStores<double>::PreProc].size(), 1u);
    EXPECT_EQ(sections[sl::SolverStores<double>::IterPostProc].size(), 1u);
    EXPECT_EQ(b.data.results.iterPostProcFlag, 1);
    ASSERT_EQ(sections[sl::SolverStores<double>::Repeat].size(), 1u);
    EXPECT_EQ(sections[sl::SolverStores<double>::Repeat][0], nullptr);

    // A store double has no children to make: the sub-model is refused with its key, as is
    // a time-stepping sub-model that has no time of its own.
    for (const char* type : {"NL", "ODE"})
    {
        test::Build<double> withChild;
        ASSERT_TRUE(withChild.load(std::string("Model [type = NL]:\nVars:\nx = 1\nSubModel [type = ") + type +
                                   "]:\nVars:\nu = 0\nNLEs:\nu = 1\nend\nNLEs:\nx = 2\nend\n"))
            << withChild.loaded.errors();
        withChild.bind();
        EXPECT_FALSE(withChild.builder.initNR(withChild.loaded.naming, *withChild.loaded.model, withChild.data,
                                              ModelLevel::Main));
        EXPECT_EQ(withChild.firstKey(), msg::scCannotCreateSolver) << type;
    }
}
} // namespace
