#include <cmath>
#include <map>
#include <utility>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"

namespace
{
using sc::Group;
using test::Cmplx;

template <typename T> std::string model(const std::string& equations, const char* more = "")
{
    const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
    return std::string("Model [type = NL") + domain +
           "]:\nVars:\nx = 1.5; y = 2; z = 0.5\nParams:\np = 1\nDistribs:\ng [type = Uniform, min = 0, max = 1]\n" +
           more + "NLEs:\n" + equations + "end\n";
}

// Every cell of the Jacobian against central differences of the residuals, each
// variable moved along the real axis.
template <typename T> void expectJacobianMatchesDifferences(test::Build<T>& b, const char* where)
{
    const td::UINT4 nVars = b.solver.stores.nVars;
    std::map<std::pair<int, int>, T> cells;
    for (const auto& c : b.jacobian().cells)
        cells[{c.row, c.col}] = c.value;
    const std::vector<T> base = b.residuals();
    for (td::UINT4 j = 0; j < nVars; ++j)
    {
        T& x = b.solver.stores.values[j];
        const T keep = x;
        const double h = 1e-6;
        x = keep + T(h);
        const std::vector<T> up = b.residuals();
        x = keep - T(h);
        const std::vector<T> down = b.residuals();
        x = keep;
        for (std::size_t row = 0; row < base.size(); ++row)
        {
            const T expected = (up[row] - down[row]) / T(2 * h);
            auto it = cells.find({static_cast<int>(row), static_cast<int>(j)});
            const T actual = it == cells.end() ? T(0) : it->second;
            EXPECT_LT(std::abs(actual - expected), 1e-6 * (1 + std::abs(expected)))
                << where << ": row " << row << ", variable " << j;
        }
    }
}

template <typename T> void checkPlainRows()
{
    test::Build<T> b;
    ASSERT_TRUE(b.load(model<T>("x*y = 2\np = 3\nsin(z)*x = z^2 + p*y\n")));
    ASSERT_TRUE(b.declare());
    td::UINT4 nonZeros = 0;
    ASSERT_TRUE(b.equations(Group::NLEs, 'F', &nonZeros)) << b.keys();
    // Columns in increasing order per row; the parameter-only row adds nothing.
    EXPECT_EQ(b.jacobian().positions(), "0,0 0,1 2,0 2,1 2,2");
    EXPECT_EQ(nonZeros, 5u);
    EXPECT_EQ(b.solver.stores.equations.size(), 3u);
    EXPECT_EQ(b.solver.stores.jacobian.getNumberOfNonZeros(), 5u);
    expectJacobianMatchesDifferences(b, "plain");
}

TEST(Equations, PlainRowsTakeTheColumnsOfTheirVariables)
{
    checkPlainRows<double>();
    checkPlainRows<Cmplx>();
}

TEST(Equations, ConstraintsGoToTheConstraintJacobian)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load(model<double>("x*y = 2\ny + z = 1\n")));
    ASSERT_TRUE(b.declare());
    td::UINT4 nonZeros = 0, row = 0;
    auto it = b.group(Group::NLEs);
    ++it;
    sl::EquationReader<double> equations = b.pass<sl::EquationReader>();
    ASSERT_TRUE(equations.buildSymbolicJacobian(it, row, nonZeros, 'H'));
    ++it;
    ASSERT_TRUE(equations.buildSymbolicJacobian(it, 0, nonZeros, 'E'));
    EXPECT_EQ(b.solver.stores.equations.size(), 1u);
    EXPECT_EQ(b.solver.stores.constraints.size(), 1u);
    EXPECT_EQ(b.jacobian().positions(), "0,0 0,1");
    EXPECT_EQ(b.jacobian(true).positions(), "0,1 0,2");
    EXPECT_EQ(nonZeros, 4u);
}

template <typename T> void checkConditionalRows()
{
    const char* equations = "if p > 0\n    x*y - sin(z) = 2\nelse\n    x^2 = y\nend\n"
                            "if x > 0\n    if y > 1\n        y*z = 1\n    else\n        z = x\n    end\n"
                            "else\n    x + y + z = 0\nend\n"
                            "switch\ncase p > 1 -> x*z = 1\ncase p > 0 -> y^2 = z\ndefault -> x = z*y\nend\n";
    struct Point
    {
        double x, y, p;
    } points[] = {{1.5, 2, 2}, {1.5, 0.5, 1}, {-1, 2, 0}, {-0.5, 0.3, -1}};
    test::Build<T> b;
    ASSERT_TRUE(b.load(model<T>(equations))) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    td::UINT4 nonZeros = 0;
    ASSERT_TRUE(b.equations(Group::NLEs, 'F', &nonZeros)) << b.keys();
    EXPECT_EQ(b.solver.stores.equations.size(), 3u);
    // Conditional rows count no plain entries.
    EXPECT_EQ(nonZeros, 0u);
    for (const Point& pt : points)
    {
        b.value("x") = T(pt.x);
        b.value("y") = T(pt.y);
        b.value("p") = T(pt.p);
        expectJacobianMatchesDifferences(b, "conditional");
    }
    // The residuals follow the branches: p = 2 takes the first case of the switch.
    b.value("x") = T(1.5);
    b.value("y") = T(2);
    b.value("z") = T(0.5);
    b.value("p") = T(2);
    std::vector<T> r = b.residuals();
    EXPECT_NEAR(test::re(r[0]), 3 - std::sin(0.5) - 2, 1e-12);
    EXPECT_NEAR(test::re(r[1]), 1 - 1, 1e-12);
    EXPECT_NEAR(test::re(r[2]), 0.75 - 1, 1e-12);
}

TEST(Equations, IfNestedIfAndSwitchRowsDifferentiateBranchByBranch)
{
    checkConditionalRows<double>();
    checkConditionalRows<Cmplx>();
}

TEST(Equations, GeneratorsAreConstantsOfTheDerivative)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load("Model [type = NL]:\nVars:\nu = 0\nDistribs:\ng [type = Uniform, min = 2, max = 3]\n"
                       "NLEs:\nu = 1 + rnd(g)\nend\n"));
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.builder.initRndGensAndStats(b.loaded.naming, *b.loaded.model, sc::ModelLevel::Main));
    ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    auto cells = b.jacobian().cells;
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].col, 0);
    EXPECT_EQ(cells[0].value, 1.0);
    const double r = b.residuals()[0];
    EXPECT_GE(r, -4.0);
    EXPECT_LE(r, -3.0);
}

struct Failure
{
    const char* equations;
    const char* keys;
};

template <typename T> void expectFailures(const Failure* cases, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
    {
        const Failure& c = cases[i];
        test::Build<T> b;
        b.load(model<T>(c.equations));
        ASSERT_TRUE(b.declare()) << c.equations << b.loaded.errors();
        EXPECT_FALSE(b.equations(Group::NLEs, 'F')) << c.equations;
        EXPECT_EQ(b.keys(), c.keys) << c.equations;
    }
}

// Lines count from the text's first line: the first equation is on line 12.
TEST(Equations, FailuresCarryTheirKeys)
{
    const Failure cases[] = {
        {"x = round(y, 2)\n", "@ET.CantDiff @12:5\n@ET.ErrDifEqua @12:1\n@SC.SymbolicJacobian @12:1\n"},
        {"if p > 0\n    x = 1\nend\n", "@SC.IncompleteIfElse @14:1\n"},
        {"if p > 0\n    x = 1\n    y = 2\nelse\n    x = 2\nend\n", "@SC.IncompleteIfElse @14:5\n"},
        {"if p > 0\nelse\n    x = 2\nend\n", "@SC.IncompleteIfElse @13:1\n"},
        {"if p > 0\n    x = 1\nelse\nend\n", "@SC.IncompleteIfElse @15:1\n"},
        {"if p > 0\n    x = 1\nelse\n    x = 2\n    y = 1\nend\n", "@SC.IncompleteIfElse @16:5\n"},
        {"switch\ncase p > 0 -> x = 1\nend\n", "@SC.SwitchWoDef @12:1\n"},
        {"switch\ncase p > 0\n    x = 1\n    y = 1\ndefault -> x = 2\nend\n", "@SC.CaseNeedsOneExpr @13:1\n"},
        {"switch\ncase p > 0\ndefault -> x = 2\nend\n", "@SC.CaseNeedsOneExpr @13:1\n"},
        {"switch\ncase p > 0 -> x = 1\ndefault\nend\n", "@SC.CaseNeedsOneExpr @14:1\n"},
        {"switch\ncase p > 0 -> x = 1\ndefault -> x = 2\n    y = 3\nend\n", "@SC.CaseNeedsOneExpr @14:1\n"},
        {"switch\nx = 3\ncase p > 0 -> x = 1\ndefault -> x = 2\nend\n", "@SC.StatementOutsideCase @13:1\n"},
    };
    expectFailures<double>(cases, sizeof(cases) / sizeof(cases[0]));
}

// Lines count from the text's first line, columns from 1 on each: an operation without a
// derivative stands where it is written, in a branch on the branch's line; an equation
// whose top operation is a comparison is refused at the comparison before it is
// differentiated, in a branch or a case too, while conditions compare freely.
template <typename T> void expectPlacesOfUndifferentiableEquations()
{
    const Failure cases[] = {
        {"x - y == 0\n", "@SC.ComparisonAsEquation @12:7\n"},
        {"x = 1\n2*x >= y\n", "@SC.ComparisonAsEquation @13:5\n"},
        {"x = min(y, 1)\n", "@ET.CantDiff @12:5\n@ET.ErrDifEqua @12:1\n@SC.SymbolicJacobian @12:1\n"},
        {"x = 2*y + (y != z)\n", "@ET.CantDiff @12:14\n@ET.ErrDifEqua @12:1\n@SC.SymbolicJacobian @12:1\n"},
        {"if p > 0\n    x = 1\nelse\n    x >= y\nend\n", "@SC.ComparisonAsEquation @15:7\n"},
        {"if p > 0\n    x = 1\nelse\n  if p > 1\n    x = 2\n  else\n    y < x\n  end\nend\n",
         "@SC.ComparisonAsEquation @18:7\n"},
        {"switch\ncase p > 0 -> x < 1\ndefault -> x = 2\nend\n", "@SC.ComparisonAsEquation @13:17\n"},
        {"if p > 0\n    x = 1\nelse\n    x = round(y, 2)\nend\n",
         "@ET.CantDiff @15:9\n@ET.ElseCantDiff @12:1\n@ET.ErrDifIfThen @12:1\n@SC.SymbolicJacobian @12:1\n"},
        // A function without an operation stands at its own column too.
        {"x = 1\ny = 2 + diff(x, 1)\n", "@ET.FnNotSupported: diff @13:9\n@SC.SymbolicJacobian @13:1\n"},
    };
    expectFailures<T>(cases, sizeof(cases) / sizeof(cases[0]));
    // Measurements and constraints are refused alike.
    for (char kind : {'H', 'E'})
    {
        test::Build<T> b;
        ASSERT_TRUE(b.load(model<T>("x + 1 > y\n")));
        ASSERT_TRUE(b.declare());
        td::UINT4 nonZeros = 0;
        auto it = b.group(Group::NLEs);
        ++it;
        EXPECT_FALSE(b.template pass<sl::EquationReader>().buildSymbolicJacobian(it, 0, nonZeros, kind)) << kind;
        EXPECT_EQ(b.keys(), "@SC.ComparisonAsEquation @12:7\n") << kind;
    }
    // A comparison below the top, and in a condition, is a value.
    test::Build<T> b;
    ASSERT_TRUE(b.load(model<T>("if x - y > 0\n    x = 1 + (p > 0)\nelse\n    x = y\nend\ny = 2\nz = 3\n")));
    ASSERT_TRUE(b.declare());
    EXPECT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
}

TEST(Equations, ComparisonsAndUndifferentiableOperationsAreReportedWhereTheyStand)
{
    expectPlacesOfUndifferentiableEquations<double>();
    expectPlacesOfUndifferentiableEquations<Cmplx>();
}

// Without conjugate partners conj(u) of a variable-dependent u has no derivative.
TEST(Equations, ConjOfAVariableIsNotDifferentiable)
{
    const Failure cases[] = {
        {"x = conj(y)\n", "@ET.CantDiff @12:5\n@ET.ErrDifEqua @12:1\n@SC.SymbolicJacobian @12:1\n"},
    };
    expectFailures<Cmplx>(cases, 1);
    // conj of a parameter is a constant factor.
    test::Build<Cmplx> b;
    ASSERT_TRUE(b.load(model<Cmplx>("x = conj(p)*y\n")));
    ASSERT_TRUE(b.declare());
    b.value("p") = Cmplx(2, 3);
    EXPECT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    expectJacobianMatchesDifferences(b, "conj(p)");
}

// Nothing of an equation's trees is kept: the token and tree pools do not grow with the
// number of equations.
TEST(Equations, TreePoolsAreGivenBackAfterEachEquation)
{
    std::string many;
    for (int i = 0; i < 400; ++i)
        many += "x*y*sin(z + " + std::to_string(i) + ")*exp(x - y) + z^3 = " + std::to_string(i) + "\n";
    td::UINT4 blocks[2] = {};
    for (int run = 0; run < 2; ++run)
    {
        test::Build<double> b;
        ASSERT_TRUE(b.load(model<double>(run == 0 ? "x*y*sin(z + 1)*exp(x - y) + z^3 = 1\n" : many)));
        ASSERT_TRUE(b.declare());
        ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
        blocks[run] = b.data.pParserPools->nodes.blockCount() + b.data.pParserPools->treeTokens.blockCount();
    }
    EXPECT_EQ(blocks[1], blocks[0]);
}
} // namespace
