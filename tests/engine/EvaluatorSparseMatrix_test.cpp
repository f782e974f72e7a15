#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>
#include <sparse/ISolver.h>

#include "EngineSupport.h"
#include "EvaluatorSparseMatrix.h"

namespace
{
using C = sl::TokenCodes;
using KD = test::Tokens<double>;
using Ev = sl::Evaluator<double>;

class RecordingReceiver final : public sparse::IMatrixReceiver<double>
{
public:
    void put(td::INT4 row, td::INT4 col, const double* value) override
    {
        calls.push_back("put " + std::to_string(row) + "," + std::to_string(col) + "=" + format(*value));
        cells[{row, col}] = *value;
    }
    void begin() override { calls.push_back("begin"); }
    void finishMeasurements(const dense::DiagMatrix<double>& weights, const dense::Matrix<double>& residuals,
                            sparse::ISolver<double>& solver) override
    {
        calls.push_back("measurements");
        handles = {&weights, &residuals, &solver};
    }
    void finishConstraints(td::UINT4 rowOffset, const dense::Matrix<double>& residuals,
                           sparse::ISolver<double>& solver) override
    {
        calls.push_back("constraints " + std::to_string(rowOffset));
        handles = {nullptr, &residuals, &solver};
    }

    static std::string format(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof(buf), "%g", v);
        return buf;
    }

    std::vector<std::string> calls;
    std::map<std::pair<td::INT4, td::INT4>, double> cells;
    std::vector<const void*> handles;
};

struct Matrix
{
    test::Pools<double> pools;
    // x0, x1; p0 (index 2), p1 (index 3)
    test::FakeSolver<double> solver{2, 2};
    sl::EvaluatorSparseMatrix<double> matrix{&solver};

    // A run of records, each a postfix list with its target column.
    Ev* run(const std::vector<std::pair<std::vector<sl::Token<double>>, td::INT4>>& records)
    {
        std::vector<std::vector<sl::Token<double>>> lists;
        for (const auto& r : records)
            lists.push_back(r.first);
        Ev* first = test::makeRun(pools, lists, 2);
        for (std::size_t i = 0; i < records.size(); ++i)
            first[i].setTarget(records[i].second, 0, '=');
        return first;
    }
    Ev* expr(const std::vector<sl::Token<double>>& postfix) { return test::make(pools, postfix, 2); }
    Ev* ite(Ev* cond, Ev* thenRun, td::UINT4 nThen, Ev* elseRun, td::UINT4 nElse)
    {
        Ev* e = pools.data.newEvaluator();
        e->setIfThenElse(cond, thenRun, elseRun);
        e->setBranchCounts(nThen, nElse);
        return e;
    }
    std::vector<std::string> walk()
    {
        RecordingReceiver r;
        matrix.evaluate(r);
        return r.calls;
    }
};

TEST(EvaluatorSparseMatrix, HooksFrameTheWalkInOrder)
{
    Matrix m;
    m.solver.var(0) = 2;
    m.matrix.addEvaluator(0, 1, m.expr({KD::sym(0), KD::num(3), KD::op(C::MUL)}));
    m.matrix.addEvaluator(1, 0, m.expr({KD::num(5)}));
    dense::DiagMatrix<double> weights(2);
    dense::Matrix<double> residuals(2, 1);
    sparse::ISolver<double>* pSolver =
        sparse::createDblSolver(2, 3, sparse::Symmetry::PositiveDefinite, sparse::SolverType::LDLT,
                                sparse::Pivoting::Threshold, sparse::Ordering::AMD);

    RecordingReceiver measurements;
    m.matrix.evaluateWithHooks2(measurements, weights, residuals, *pSolver);
    EXPECT_EQ(measurements.calls, (std::vector<std::string>{"begin", "put 0,1=6", "put 1,0=5", "measurements"}));
    EXPECT_EQ(measurements.handles, (std::vector<const void*>{&weights, &residuals, pSolver}));

    RecordingReceiver constraints;
    m.matrix.evaluateWithHooks(7, constraints, residuals, *pSolver);
    EXPECT_EQ(constraints.calls, (std::vector<std::string>{"begin", "put 0,1=6", "put 1,0=5", "constraints 7"}));
    EXPECT_EQ(constraints.handles, (std::vector<const void*>{nullptr, &residuals, pSolver}));

    EXPECT_EQ(m.walk(), (std::vector<std::string>{"put 0,1=6", "put 1,0=5"}));

    Matrix empty;
    RecordingReceiver none;
    empty.matrix.evaluateWithHooks2(none, weights, residuals, *pSolver);
    EXPECT_EQ(none.calls, (std::vector<std::string>{"begin", "measurements"}));
    pSolver->release();
}

TEST(EvaluatorSparseMatrix, CodeWithoutInstructionsIsSkipped)
{
    Matrix m;
    Ev* empty = m.pools.data.newEvaluator();
    empty->init(m.pools.data, 0, 0, 0, 0);
    m.matrix.addEvaluator(0, 0, empty);
    m.matrix.addEvaluator(0, 1, m.expr({KD::num(1)}));
    EXPECT_EQ(m.matrix.size(), 1u);
    EXPECT_EQ(m.matrix.getNumberOfNonZeros(), 1u);
}

TEST(EvaluatorSparseMatrix, ConditionalEntryZeroesItsColumnUnionBeforeTheBranch)
{
    Matrix m;
    // if p0 then {col 1: 10, col 2: x1} else {col 2: 20, col 3: constant 0 slot}
    Ev* thenRun = m.run({{{KD::num(10)}, 1}, {{KD::sym(1)}, 2}});
    Ev* elseRun = m.pools.evaluators.alloc(2);
    test::compile(elseRun[0], m.pools.data, {KD::num(20)}, 2);
    elseRun[0].setTarget(2, 0, '=');
    elseRun[1].setConstant(0);
    elseRun[1].setTarget(3, 0, '=');
    m.matrix.addIfThenElse(4, m.ite(m.expr({KD::sym(2)}), thenRun, 2, elseRun, 2));
    EXPECT_EQ(m.matrix.getNumberOfNonZeros(), 3u);

    m.solver.var(1) = 7;
    m.solver.par(0) = 1;
    RecordingReceiver r;
    m.matrix.evaluate(r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"put 4,1=0", "put 4,2=0", "put 4,3=0", "put 4,1=10", "put 4,2=7"}));

    // The condition flips: the cell only the old branch set is cleared.
    m.solver.par(0) = 0;
    r.calls.clear();
    m.matrix.evaluate(r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"put 4,1=0", "put 4,2=0", "put 4,3=0", "put 4,2=20", "put 4,3=0"}));
    EXPECT_EQ((r.cells[{4, 1}]), 0);
    EXPECT_EQ((r.cells[{4, 2}]), 20);

    // NaN counts as true.
    m.solver.par(0) = std::numeric_limits<double>::quiet_NaN();
    r.calls.clear();
    m.matrix.evaluate(r);
    EXPECT_EQ(r.calls.back(), "put 4,2=7");
}

TEST(EvaluatorSparseMatrix, NestedConditionalsFollowTheChosenBranches)
{
    Matrix m;
    // Switch on p0: case p0 == 1 -> nested switch on p1 (case p1: col 0 = 1; default: col 1 = 2);
    // case p0 == 2 -> lone if (x0 > 0) then {col 2 = 3} else {col 3 = 4};
    // no default.
    Ev* inner = m.pools.evaluators.alloc(2);
    inner[0].setSwitchCase(m.expr({KD::sym(3)}), m.run({{{KD::num(1)}, 0}}), 1, &inner[1]);
    inner[1].setSwitchCase(nullptr, m.run({{{KD::num(2)}, 1}}), 1, nullptr);
    Ev* nestedIf = m.ite(m.expr({KD::sym(0), KD::num(0), KD::op(C::GREATER)}), m.run({{{KD::num(3)}, 2}}), 1,
                         m.run({{{KD::num(4)}, 3}}), 1);
    Ev* outer = m.pools.evaluators.alloc(2);
    outer[0].setSwitchCase(m.expr({KD::sym(2), KD::num(1), KD::op(C::EQUAL)}), inner, 1, &outer[1]);
    outer[1].setSwitchCase(m.expr({KD::sym(2), KD::num(2), KD::op(C::EQUAL)}), nestedIf, 1, nullptr);
    m.matrix.addSwitch(0, outer);
    EXPECT_EQ(m.matrix.getNumberOfNonZeros(), 4u);

    const std::vector<std::string> zeros{"put 0,0=0", "put 0,1=0", "put 0,2=0", "put 0,3=0"};
    struct Case
    {
        double p0, p1, x0;
        const char* last;
    } cases[] = {
        {1, 1, 0, "put 0,0=1"},  {1, 0, 0, "put 0,1=2"}, {2, 0, 1, "put 0,2=3"},
        {2, 0, -1, "put 0,3=4"}, {3, 0, 0, nullptr},
    };
    for (const Case& c : cases)
    {
        m.solver.par(0) = c.p0;
        m.solver.par(1) = c.p1;
        m.solver.var(0) = c.x0;
        std::vector<std::string> expected = zeros;
        if (c.last)
            expected.push_back(c.last);
        EXPECT_EQ(m.walk(), expected) << c.p0 << " " << c.p1 << " " << c.x0;
    }
}

TEST(EvaluatorSparseMatrix, LoneSwitchInAnIfBranchIsOneValueAtItsColumn)
{
    Matrix m;
    Ev* sw = m.pools.evaluators.alloc(2);
    sw[0].setSwitchCase(m.expr({KD::sym(2)}), m.run({{{KD::num(5)}, 9}}), 1, &sw[1]);
    sw[1].setSwitchCase(nullptr, m.run({{{KD::num(6)}, 9}}), 1, nullptr);
    sw[0].setTarget(3, 0, '=');
    Ev* nestedThen = m.ite(m.expr({KD::num(1)}), sw, 1, nullptr, 0);
    m.matrix.addIfThenElse(1, m.ite(m.expr({KD::num(1)}), nestedThen, 1, nullptr, 0));
    EXPECT_EQ(m.matrix.getNumberOfNonZeros(), 1u);
    m.solver.par(0) = 0;
    EXPECT_EQ(m.walk(), (std::vector<std::string>{"put 1,3=0", "put 1,3=6"}));
}

TEST(EvaluatorSparseMatrix, EmptyCaseBodySetsOnlyTheZeroes)
{
    Matrix m;
    Ev* sw = m.pools.evaluators.alloc(2);
    sw[0].setSwitchCase(m.expr({KD::num(1)}), nullptr, 0, &sw[1]);
    sw[1].setSwitchCase(nullptr, m.run({{{KD::num(6)}, 2}}), 1, nullptr);
    m.matrix.addSwitch(0, sw);
    EXPECT_EQ(m.walk(), (std::vector<std::string>{"put 0,2=0"}));
}

TEST(EvaluatorSparseMatrix, ConstantWhenNoEntryBranchOrConditionReadsAVariable)
{
    using Tokens = std::vector<sl::Token<double>>;
    const Tokens param{KD::sym(2)}, variable{KD::sym(0)}, mixed{KD::sym(3), KD::sym(1), KD::op(C::ADD)};
    struct Case
    {
        const char* name;
        bool constant;
        void (*build)(Matrix&, const Tokens&, const Tokens&, const Tokens&);
    } cases[] = {
        {"empty", true, [](Matrix&, const Tokens&, const Tokens&, const Tokens&) {}},
        {"lone variable", false,
         [](Matrix& m, const Tokens&, const Tokens& v, const Tokens&) { m.matrix.addEvaluator(0, 0, m.expr(v)); }},
        {"code of parameters", true,
         [](Matrix& m, const Tokens& p, const Tokens&, const Tokens&) {
             m.matrix.addEvaluator(0, 0, m.expr({KD::sym(2), KD::num(2), KD::op(C::MUL)}));
             m.matrix.addEvaluator(0, 1, m.expr(p));
         }},
        {"if of constants and parameters on a parameter condition", true,
         [](Matrix& m, const Tokens& p, const Tokens&, const Tokens&) {
             m.matrix.addIfThenElse(0, m.ite(m.expr(p), m.run({{p, 0}, {{KD::num(1)}, 1}}), 2, m.run({{p, 2}}), 1));
         }},
        {"if whose later record reads a variable", false,
         [](Matrix& m, const Tokens& p, const Tokens&, const Tokens& x) {
             m.matrix.addIfThenElse(0, m.ite(m.expr(p), m.run({{p, 0}, {x, 1}}), 2, nullptr, 0));
         }},
        {"if whose else reads a variable", false,
         [](Matrix& m, const Tokens& p, const Tokens& v, const Tokens&) {
             m.matrix.addIfThenElse(0, m.ite(m.expr(p), m.run({{p, 0}}), 1, m.run({{p, 1}, {v, 2}}), 2));
         }},
        {"if whose condition reads a variable", false,
         [](Matrix& m, const Tokens& p, const Tokens& v, const Tokens&) {
             m.matrix.addIfThenElse(0, m.ite(m.expr(v), m.run({{p, 0}}), 1, nullptr, 0));
         }},
        {"switch whose second case body reads a variable", false,
         [](Matrix& m, const Tokens& p, const Tokens& v, const Tokens&) {
             Ev* sw = m.pools.evaluators.alloc(2);
             sw[0].setSwitchCase(m.expr(p), m.run({{p, 0}}), 1, &sw[1]);
             sw[1].setSwitchCase(nullptr, m.run({{p, 1}, {v, 2}}), 2, nullptr);
             m.matrix.addSwitch(0, sw);
         }},
        {"switch whose case condition reads a variable", false,
         [](Matrix& m, const Tokens& p, const Tokens& v, const Tokens&) {
             Ev* sw = m.pools.evaluators.alloc(1);
             sw[0].setSwitchCase(m.expr(v), m.run({{p, 0}}), 1, nullptr);
             m.matrix.addSwitch(0, sw);
         }},
        {"switch of parameters", true,
         [](Matrix& m, const Tokens& p, const Tokens&, const Tokens&) {
             Ev* sw = m.pools.evaluators.alloc(2);
             sw[0].setSwitchCase(m.expr(p), m.run({{p, 0}}), 1, &sw[1]);
             sw[1].setSwitchCase(nullptr, m.run({{{KD::num(3)}, 1}}), 1, nullptr);
             m.matrix.addSwitch(0, sw);
         }},
    };
    for (const Case& c : cases)
    {
        Matrix m;
        c.build(m, param, variable, mixed);
        EXPECT_EQ(m.matrix.isConstant(), c.constant) << c.name;
    }
}
} // namespace
