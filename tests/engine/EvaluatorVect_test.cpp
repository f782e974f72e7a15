#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "EvaluatorVect.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using KD = test::Tokens<double>;
using KC = test::Tokens<Cmplx>;

struct Equations
{
    test::Pools<double> pools;
    test::FakeSolver<double> solver{2, 1};
    sl::EvaluatorVect<double> list{&solver};

    Equations()
    {
        solver.var(0) = 3;
        solver.var(1) = -4;
        solver.par(0) = 0.5;
        list.add(test::make(pools, {KD::sym(0), KD::sym(2), KD::op(C::MUL)}, 2));
        list.add(test::make(pools, {KD::sym(1)}, 2));
    }
};

TEST(EvaluatorVect, EvaluateScalesUnlessTheScaleIsOne)
{
    struct Case
    {
        double scale;
        double first, second;
    } cases[] = {{1.0, 1.5, -4}, {2.0, 3, -8}, {-1.0, -1.5, 4}};
    for (const Case& c : cases)
    {
        Equations e;
        double out[2] = {};
        e.list.evaluate(out, c.scale);
        EXPECT_EQ(out[0], c.first);
        EXPECT_EQ(out[1], c.second);
    }
}

TEST(EvaluatorVect, ReplacementVariablesAreReadByEvaluate)
{
    Equations e;
    double replacement[2] = {10, 20};
    e.list.useVariableValues(replacement);
    double out[2] = {};
    e.list.evaluate(out, 1.0);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 20);
    double max = -1;
    e.list.evaluateScaledMaxAbs(out, 1.0, &max);
    EXPECT_EQ(max, 4);
}

TEST(EvaluatorVect, ScaledMaxAbs)
{
    Equations e;
    double out[2] = {};
    double max = -1;
    e.list.evaluateScaledMaxAbs(out, -2.0, &max);
    EXPECT_EQ(out[0], -3);
    EXPECT_EQ(out[1], 8);
    EXPECT_EQ(max, 8);

    sl::EvaluatorVect<double> empty(&e.solver);
    max = -1;
    empty.evaluateScaledMaxAbs(out, 1.0, &max);
    EXPECT_EQ(max, 0);

    test::Pools<Cmplx> pools;
    test::FakeSolver<Cmplx> solver(1, 0);
    solver.var(0) = Cmplx(1, -3);
    sl::EvaluatorVect<Cmplx> list(&solver);
    list.add(test::make(pools, {KC::sym(0)}, 1));
    Cmplx cout[1];
    list.evaluateScaledMaxAbs(cout, Cmplx(0, 1), &max);
    EXPECT_EQ(cout[0], Cmplx(3, 1));
    EXPECT_EQ(max, 3);
}

template <typename T> double scaledMaxOf(const std::vector<T>& values)
{
    test::Pools<T> pools;
    test::FakeSolver<T> solver(static_cast<td::UINT4>(values.size()), 0);
    sl::EvaluatorVect<T> list(&solver);
    for (td::UINT4 i = 0; i < values.size(); ++i)
    {
        solver.var(i) = values[i];
        list.add(test::make(pools, {test::Tokens<T>::sym(i)}, solver.nVars));
    }
    std::vector<T> out(values.size());
    double max = -1;
    list.evaluateScaledMaxAbs(out.data(), T(1.0), &max);
    return max;
}

TEST(EvaluatorVect, ScaledMaxAbsIsNaNWhenAValueIsNaN)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Wherever the NaN stands, it is not hidden behind a finite maximum.
    for (const std::vector<double>& values : {std::vector<double>{nan, 0, 5}, {0, nan, 5}, {5, 0, nan}})
        EXPECT_TRUE(std::isnan(scaledMaxOf(values))) << values[0] << " " << values[1] << " " << values[2];
    for (const std::vector<Cmplx>& values : {std::vector<Cmplx>{Cmplx(nan, 0), Cmplx(2, 1)},
                                             {Cmplx(2, 1), Cmplx(0, nan)},
                                             {Cmplx(3, nan)},
                                             {Cmplx(nan, 3)}})
        EXPECT_TRUE(std::isnan(scaledMaxOf(values))) << values[0];
    EXPECT_EQ(scaledMaxOf(std::vector<double>{-7, 5}), 7);
}

TEST(EvaluatorVect, ExecuteRunsStatementsInOrderAndStopsAtTheFirstFailure)
{
    Equations e;
    sl::EvaluatorVect<double> statements;
    sl::Evaluator<double>* a = test::make(e.pools, {KD::sym(0), KD::num(1), KD::op(C::ADD)}, 2);
    a->setTarget(0, 0, '=');
    sl::Evaluator<double>* b = test::make(e.pools, {KD::sym(0)}, 2);
    b->setTarget(1, 0, '*');
    statements.add(a);
    statements.add(b);
    EXPECT_TRUE(statements.execute(&e.solver));
    EXPECT_EQ(e.solver.var(0), 4);
    EXPECT_EQ(e.solver.var(1), -16);
    EXPECT_EQ(statements.getSolver(), &e.solver);

    sl::Evaluator<double>* fails = test::make(e.pools, {KD::num(0)}, 2);
    fails->setTarget(1, 0, '/');
    sl::EvaluatorVect<double> stopping;
    stopping.add(fails);
    stopping.add(a);
    EXPECT_FALSE(stopping.execute(&e.solver));
    EXPECT_EQ(e.solver.var(0), 4);

    sl::EvaluatorVect<double> withHole;
    withHole.add(nullptr);
    EXPECT_FALSE(withHole.execute(&e.solver));
}

TEST(EvaluatorVectDeathTest, ExecuteWithAnotherSolverAsserts)
{
    Equations e;
    test::FakeSolver<double> other(2, 1);
    sl::EvaluatorVect<double> statements;
    EXPECT_TRUE(statements.execute(&e.solver));
    EXPECT_DEATH(statements.execute(&other), "_pSolver == pSolver");
}
} // namespace
