#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "EngineSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using KD = test::Tokens<double>;
using KC = test::Tokens<Cmplx>;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

class RecordingSignal final : public sc::ISignal
{
public:
    void signal(td::BYTE code) override { codes.push_back(code); }
    std::vector<td::BYTE> codes;
};

template <typename T> sl::Evaluator<T>* constant(test::Pools<T>& pools, T v)
{
    sl::Evaluator<T>* e = pools.data.newEvaluator();
    e->setConstant(v);
    return e;
}

// ---- shortcuts ----

template <typename T> void checkShortcutsEqualCode(T constantValue)
{
    using K = test::Tokens<T>;
    test::FakeSolver<T> parent(2, 1);
    parent.var(1) = T(-4.5);
    test::FakeSolver<T> solver(2, 2);
    solver.pParent = &parent;
    solver.var(1) = T(2.5);
    solver.par(1) = T(7.25);

    using Type = typename sl::Evaluator<T>::Type;
    struct Case
    {
        const char* name;
        sl::Token<T> token;
        Type shortcutType;
        T expected;
        td::INT4 nConst, nVar, nPar;
    } cases[] = {
        {"constant", K::num(constantValue), Type::Constant, constantValue, 1, 0, 0},
        {"parameter", K::sym(3), Type::Parameter, T(7.25), 0, 0, 1},
        {"variable", K::sym(1), Type::Variable, T(2.5), 0, 1, 0},
        {"parent value", K::sym(1, sc::SymbolOrigin::ParentModel), Type::ParentValue, T(-4.5), 0, 0, 1},
    };
    for (const Case& c : cases)
    {
        test::Pools<T> pools;
        sl::Evaluator<T> shortcut, code;
        shortcut.init(pools.data, 1, c.nConst, c.nVar, c.nPar);
        ASSERT_TRUE(shortcut.compileToken(c.token, solver.nVars)) << c.name;
        code.init(pools.data, 2, c.nConst, c.nVar, c.nPar);
        ASSERT_TRUE(code.compileToken(c.token, solver.nVars)) << c.name;
        EXPECT_EQ(shortcut.getType(), c.shortcutType) << c.name;
        EXPECT_EQ(code.getType(), Type::Code) << c.name;
        sl::CU<T> cu(&solver);
        EXPECT_EQ(shortcut.evaluate(cu), c.expected) << c.name;
        EXPECT_EQ(code.evaluate(cu), c.expected) << c.name;
    }
}

TEST(Evaluator, ShortcutsGiveTheValuesOfCode)
{
    checkShortcutsEqualCode<double>(3.5);
    // The complex constant keeps its imaginary part.
    checkShortcutsEqualCode<Cmplx>(Cmplx(3.5, -1.25));
}

TEST(Evaluator, ShortcutRefusesASecondToken)
{
    test::Pools<double> pools;
    sl::Evaluator<double> e;
    e.init(pools.data, 1, 1, 0, 0);
    EXPECT_TRUE(e.compileToken(KD::num(1), 0));
    EXPECT_FALSE(e.compileToken(KD::num(2), 0));
    test::FakeSolver<double> solver(1, 0);
    sl::CU<double> cu(&solver);
    EXPECT_TRUE(std::isnan(e.evaluate(cu)));
}

// ---- conditional statements ----

struct Branches
{
    test::Pools<double> pools;
    test::FakeSolver<double> solver{3, 0};
    RecordingSignal signal;
    sl::Evaluator<double>* thenRun = nullptr;
    sl::Evaluator<double>* elseRun = nullptr;

    Branches()
    {
        thenRun = test::makeRun(pools, {{KD::num(1)}, {KD::num(2)}}, 3);
        thenRun[0].setTarget(0, 0, '=');
        thenRun[1].setTarget(1, 0, '=');
        thenRun[0].setSignal(3);
        elseRun = test::makeRun(pools, {{KD::num(9)}}, 3);
        elseRun[0].setTarget(2, 0, '=');
    }

    bool run(const sl::Evaluator<double>& e, bool withReceiver = true)
    {
        sl::CU<double> cu(&solver);
        if (withReceiver)
            cu.setSignalReceiver(&signal);
        return e.execute(cu);
    }
};

TEST(Evaluator, IfThenElseTakesThenForNonZeroAndNaN)
{
    struct Case
    {
        double condition;
        bool withElse;
        std::vector<double> values;
        std::vector<td::BYTE> signals;
    } cases[] = {
        {1, true, {1, 2, 0}, {3}}, {NaN, true, {1, 2, 0}, {3}}, {0, true, {0, 0, 9}, {}},
        {0, false, {0, 0, 0}, {}}, {-0.0, true, {0, 0, 9}, {}},
    };
    for (const Case& c : cases)
    {
        Branches b;
        sl::Evaluator<double>* ite = b.pools.data.newEvaluator();
        ite->setIfThenElse(constant(b.pools, c.condition), b.thenRun, c.withElse ? b.elseRun : nullptr);
        ite->setBranchCounts(2, c.withElse ? 1 : 0);
        EXPECT_TRUE(b.run(*ite)) << c.condition;
        EXPECT_EQ(b.solver.values, c.values) << c.condition;
        EXPECT_EQ(b.signal.codes, c.signals) << c.condition;
        // The evaluated value follows the same branch.
        sl::CU<double> cu(&b.solver);
        double expected = c.values[0] == 1 ? 1 : (c.withElse ? 9 : 0);
        EXPECT_EQ(ite->evaluate(cu), expected) << c.condition;
    }
}

TEST(Evaluator, SignalNeedsAReceiver)
{
    Branches b;
    sl::Evaluator<double>* ite = b.pools.data.newEvaluator();
    ite->setIfThenElse(constant(b.pools, 1.0), b.thenRun, nullptr);
    ite->setBranchCounts(2, 0);
    EXPECT_TRUE(b.run(*ite, false));
    EXPECT_EQ(b.solver.var(1), 2);
    EXPECT_TRUE(b.signal.codes.empty());
}

TEST(Evaluator, FirstFailingStatementEndsTheBranch)
{
    Branches b;
    b.thenRun[0].setTarget(0, static_cast<td::BYTE>(sl::RealTarget::None), '=');
    sl::Evaluator<double>* ite = b.pools.data.newEvaluator();
    ite->setIfThenElse(constant(b.pools, 1.0), b.thenRun, nullptr);
    ite->setBranchCounts(2, 0);
    EXPECT_FALSE(b.run(*ite));
    EXPECT_EQ(b.solver.var(1), 0);
}

TEST(Evaluator, SwitchTakesTheFirstTrueCaseOrTheDefault)
{
    struct Case
    {
        double first, second;
        bool withDefault;
        std::vector<double> values;
        std::vector<td::BYTE> signals;
    } cases[] = {
        {0, NaN, true, {0, 0, 9}, {4}}, // a NaN condition is chosen
        {1, 1, true, {1, 2, 0}, {2}},   // the first true case wins
        {0, 0, true, {5, 0, 0}, {1}},   // the default
        {0, 0, false, {0, 0, 0}, {}},   // nothing matches
    };
    for (const Case& c : cases)
    {
        Branches b;
        sl::Evaluator<double>* defaultBody = test::makeRun(b.pools, {{KD::num(5)}}, 3);
        defaultBody->setTarget(0, 0, '=');
        sl::Evaluator<double>* cases3 = b.pools.evaluators.alloc(3);
        cases3[0].setSwitchCase(constant(b.pools, c.first), b.thenRun, 2, &cases3[1]);
        cases3[1].setSwitchCase(constant(b.pools, c.second), b.elseRun, 1, c.withDefault ? &cases3[2] : nullptr);
        cases3[2].setSwitchCase(nullptr, defaultBody, 1, nullptr);
        cases3[0].setSignal(2);
        cases3[1].setSignal(4);
        cases3[2].setSignal(1);
        EXPECT_TRUE(b.run(cases3[0]));
        EXPECT_EQ(b.solver.values, c.values) << c.first << " " << c.second;
        EXPECT_EQ(b.signal.codes, c.signals) << c.first << " " << c.second;
        EXPECT_EQ(cases3[0].getStatementCount(), 2u);
    }
}

TEST(Evaluator, EnabledListEvaluatesEveryRecord)
{
    for (bool enabled : {true, false})
    {
        test::Pools<double> pools;
        test::FakeSolver<double> solver(1, 0);
        td::String name("g");
        solver.generators.add(name, new test::CountingGen(1));
        sl::Evaluator<double>* draws = test::makeRun(pools, {{KD::fn(C::RND, 0)}, {KD::fn(C::RND, 0)}}, 1);
        sl::Evaluator<double>* list = pools.data.newEvaluator();
        list->setList(draws, 2, enabled);
        sl::CU<double> cu(&solver);
        EXPECT_TRUE(list->execute(cu));
        double next = 0;
        solver.generators.draw(0, next);
        EXPECT_EQ(next, enabled ? 3 : 1);
    }
}

template <typename T> void checkStatisticsUpdate()
{
    using K = test::Tokens<T>;
    test::Pools<T> pools;
    test::FakeSolver<T> solver(1, 0);
    solver.stats.reserve(2);
    sl::Evaluator<T>* feeds = test::makeRun(pools, {{K::sym(0)}, {K::sym(0), K::num(T(2)), K::op(C::MUL)}}, 1);
    sl::Evaluator<T>* update = pools.data.newEvaluator();
    update->setStatisticsUpdate(1, feeds, 2);

    std::vector<double> fed;
    for (double x : {3.0, -1.5, 1e8, 0.25, 7.0})
    {
        solver.var(0) = T(x);
        sl::CU<T> cu(&solver);
        EXPECT_TRUE(update->execute(cu));
        fed.push_back(x);
        fed.push_back(2 * x);
    }
    double sum = 0;
    for (double v : fed)
        sum += v;
    double mean = sum / fed.size(), m2 = 0;
    for (double v : fed)
        m2 += (v - mean) * (v - mean);
    const sl::StatisticsRecord& r = solver.stats.record(1);
    EXPECT_EQ(r.count, fed.size());
    EXPECT_NEAR(r.mean, mean, 1e-9 * std::fabs(mean));
    EXPECT_NEAR(r.sumSqDev, m2, 1e-12 * m2);
    EXPECT_EQ(r.min, -3.0);
    EXPECT_EQ(r.max, 2e8);
    EXPECT_EQ(solver.stats.record(0).count, 0u);
}

TEST(Evaluator, StatisticsUpdateMatchesATwoPassReference)
{
    checkStatisticsUpdate<double>();
    checkStatisticsUpdate<Cmplx>();
}

TEST(StatisticsRecord, OneTwoThreeGivesTheKnownMoments)
{
    sl::StatisticsRecord r;
    for (double x : {1.0, 2.0, 3.0})
        r.feed(x);
    EXPECT_EQ(r.min, 1);
    EXPECT_EQ(r.max, 3);
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.mean, 2);
    EXPECT_EQ(r.sumSqDev, 2);
}

// ---- assignment targets ----

TEST(Evaluator, RealTargetsAndOperators)
{
    using K = sl::RealTarget;
    struct Case
    {
        K kind;
        char op;
        double value;
        bool ok;
        double var, par, parentVar;
    } cases[] = {
        {K::Variable, '=', 3, true, 3, 2, 5},        {K::Variable, '+', 3, true, 7, 2, 5},
        {K::Variable, '-', 3, true, 1, 2, 5},        {K::Variable, '*', 3, true, 12, 2, 5},
        {K::Variable, '/', 8, true, 0.5, 2, 5},      {K::Variable, '^', 0.5, true, 2, 2, 5},
        {K::Variable, '/', 0, false, 4, 2, 5},       {K::Parameter, '*', 3, true, 4, 6, 5},
        {K::Parameter, '/', 0, false, 4, 2, 5},      {K::Parent, '+', 1, true, 4, 2, 6},
        {K::Parent, '/', 0, false, 4, 2, 5},         {K::None, '=', 1, false, 4, 2, 5},
        {static_cast<K>(4), '=', 1, false, 4, 2, 5},
    };
    for (const Case& c : cases)
    {
        test::Pools<double> pools;
        test::FakeSolver<double> parent(1, 0);
        parent.var(0) = 5;
        test::FakeSolver<double> solver(1, 1);
        solver.pParent = &parent;
        solver.var(0) = 4;
        solver.par(0) = 2;
        sl::Evaluator<double>* e = test::make(pools, {KD::num(c.value)}, 1);
        e->setTarget(0, static_cast<td::BYTE>(c.kind), c.op);
        sl::CU<double> cu(&solver);
        EXPECT_EQ(e->execute(cu), c.ok) << int(c.kind) << c.op;
        EXPECT_EQ(solver.var(0), c.var) << int(c.kind) << c.op;
        EXPECT_EQ(solver.par(0), c.par) << int(c.kind) << c.op;
        EXPECT_EQ(parent.var(0), c.parentVar) << int(c.kind) << c.op;
    }
}

TEST(Evaluator, ComplexTargetsWholeAndParts)
{
    using K = sl::CmplxTarget;
    const Cmplx start(4, 2), value(2, 7);
    struct Case
    {
        K kind;
        char op;
        Cmplx value;
        bool ok;
        Cmplx var, par, parentVar;
    } cases[] = {
        {K::Variable, '*', value, true, start * value, start, start},
        {K::Variable, '/', Cmplx(0, 0), false, start, start, start},
        {K::Variable, '/', Cmplx(0, 1), true, start / Cmplx(0, 1), start, start},
        {K::VariableReal, '+', value, true, Cmplx(6, 2), start, start},
        {K::VariableImag, '*', value, true, Cmplx(4, 4), start, start},
        {K::VariableImag, '/', Cmplx(0, 5), false, start, start, start},
        {K::Parameter, '-', value, true, start, start - value, start},
        {K::ParameterReal, '=', value, true, start, Cmplx(2, 2), start},
        {K::ParameterImag, '^', value, true, start, Cmplx(4, 4), start},
        {K::Parent, '+', value, true, start, start, start + value},
        {K::ParentReal, '-', value, true, start, start, Cmplx(2, 2)},
        {K::ParentImag, '=', value, true, start, start, Cmplx(4, 2)},
        {K::ParentImag, '/', Cmplx(0, 3), false, start, start, start},
        {K::None, '=', value, false, start, start, start},
        {static_cast<K>(10), '=', value, false, start, start, start},
    };
    for (const Case& c : cases)
    {
        test::Pools<Cmplx> pools;
        test::FakeSolver<Cmplx> parent(1, 0);
        parent.var(0) = start;
        test::FakeSolver<Cmplx> solver(1, 1);
        solver.pParent = &parent;
        solver.var(0) = start;
        solver.par(0) = start;
        sl::Evaluator<Cmplx>* e = test::make(pools, {KC::num(c.value)}, 1);
        e->setTarget(0, static_cast<td::BYTE>(c.kind), c.op);
        sl::CU<Cmplx> cu(&solver);
        EXPECT_EQ(e->execute(cu), c.ok) << int(c.kind) << c.op;
        EXPECT_EQ(solver.var(0), c.var) << int(c.kind) << c.op;
        EXPECT_EQ(solver.par(0), c.par) << int(c.kind) << c.op;
        EXPECT_EQ(parent.var(0), c.parentVar) << int(c.kind) << c.op;
    }
}

TEST(Evaluator, ConjugatePartnerFollowsEveryAssignment)
{
    using K = sl::CmplxTarget;
    const Cmplx value(0.5, -1.5);
    for (K kind : {K::Variable, K::VariableReal, K::VariableImag})
        for (char op : {'=', '+', '-', '*', '/', '^'})
        {
            test::Pools<Cmplx> pools;
            test::FakeSolver<Cmplx> solver(4, 0);
            solver.conjugatePartners = true;
            solver.var(2) = Cmplx(3, 2);
            solver.var(3) = std::conj(solver.var(2));
            sl::Evaluator<Cmplx>* e = test::make(pools, {KC::num(value)}, 4);
            e->setTarget(2, static_cast<td::BYTE>(kind), op);
            sl::CU<Cmplx> cu(&solver);
            ASSERT_TRUE(e->execute(cu));
            EXPECT_NE(solver.var(2), Cmplx(3, 2)) << int(kind) << op;
            EXPECT_EQ(solver.var(3), std::conj(solver.var(2))) << int(kind) << op;
            EXPECT_EQ(solver.var(0), Cmplx(0, 0));
        }
}

TEST(Evaluator, ParentPartnersTakeTheDoubledIndex)
{
    using K = sl::CmplxTarget;
    for (K kind : {K::Parent, K::ParentReal, K::ParentImag})
        for (char op : {'=', '+', '*', '/', '^'})
        {
            test::Pools<Cmplx> pools;
            test::FakeSolver<Cmplx> parent(4, 0);
            parent.conjugatePartners = true;
            parent.var(2) = Cmplx(3, 2);
            parent.var(3) = std::conj(parent.var(2));
            test::FakeSolver<Cmplx> solver(1, 0);
            solver.pParent = &parent;
            sl::Evaluator<Cmplx>* e = test::make(pools, {KC::num(Cmplx(0.5, -1.5))}, 1);
            e->setTarget(1, static_cast<td::BYTE>(kind), op);
            sl::CU<Cmplx> cu(&solver);
            ASSERT_TRUE(e->execute(cu));
            EXPECT_NE(parent.var(2), Cmplx(3, 2)) << int(kind) << op;
            EXPECT_EQ(parent.var(3), std::conj(parent.var(2))) << int(kind) << op;
            EXPECT_EQ(parent.var(1), Cmplx(0, 0));
        }

    // Without room for the partner the plain index is used.
    test::Pools<Cmplx> pools;
    test::FakeSolver<Cmplx> parent(3, 0);
    parent.conjugatePartners = true;
    test::FakeSolver<Cmplx> solver(1, 0);
    solver.pParent = &parent;
    sl::Evaluator<Cmplx>* e = test::make(pools, {KC::num(Cmplx(3, 1))}, 1);
    e->setTarget(1, static_cast<td::BYTE>(K::Parent), '=');
    sl::CU<Cmplx> cu(&solver);
    ASSERT_TRUE(e->execute(cu));
    EXPECT_EQ(parent.var(1), Cmplx(3, 1));
    EXPECT_EQ(parent.var(2), Cmplx(0, 0));
}

TEST(EvaluatorDeathTest, AssignmentWithoutTargetIndexAsserts)
{
    test::Pools<double> pools;
    test::FakeSolver<double> solver(1, 1);
    sl::Evaluator<double>* e = test::make(pools, {KD::num(1)}, 1);
    sl::CU<double> cu(&solver);
    EXPECT_DEATH(e->execute(cu), "_varIndex >= 0");
}
} // namespace

// A cell kept right after a put and a load (which reads its cell from where a kept cell's
// number would go) keeps the loaded value without moving the load to the new cell.
TEST(Evaluator, AKeepAfterAPutAndLoadLeavesTheLoadAsItIs)
{
    test::Pools<double> pools;
    test::FakeSolver<double> solver(2, 0);
    solver.var(0) = 3.0;
    solver.var(1) = 5.0;
    sl::Evaluator<double>* e = pools.data.newEvaluator();
    e->init(pools.data, 12, 0, 4, 0, 2);
    // x0 kept in t0; x1 put into result 0; t0 loaded and kept in t1; + t1: 3 + 3.
    ASSERT_TRUE(e->compileToken(KD::sym(0), 2));
    ASSERT_TRUE(e->compileStore(0));
    ASSERT_TRUE(e->compileToken(KD::sym(1), 2));
    ASSERT_TRUE(e->compilePut(0));
    ASSERT_TRUE(e->compileLoad(0));
    ASSERT_TRUE(e->compileStore(1));
    ASSERT_TRUE(e->compileLoad(1));
    ASSERT_TRUE(e->compileToken(KD::op(C::ADD), 2));
    double temps[2] = {-1.0, -1.0}, results[1] = {0.0};
    sl::CU<double> cu(&solver);
    EXPECT_EQ(cu.run(e->code(), temps, results), 6.0);
    EXPECT_EQ(results[0], 5.0);
    EXPECT_EQ(temps[1], 3.0);
}
