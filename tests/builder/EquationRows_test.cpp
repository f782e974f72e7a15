// The equations' rows (residual and Jacobian entries of a plain equation in one program)
// against the per-entry evaluators, bit for bit, and the random draws of the per-entry
// walks that serve where a row would draw.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BuilderSupport.h"
#include "engine/RandomExpressions.h"
#include "models/PowerFlowGrid.h"

namespace
{
using sc::Group;
using test::Cmplx;

// Equal bits, or both not a number: which of two NaN operands an operation passes on is
// the compiler's choice for commutative operations, even without fast math.
template <typename T> bool sameBits(const T& a, const T& b) { return test::sameValue(a, b); }

template <typename T> const char* domain() { return sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : ""; }

// Residuals, norm and Jacobian cells of the rows' walk against the walks of the equation
// list and of the Jacobian, at the solver's current values.
template <typename T> void expectRowsMatchEntries(test::Build<T>& b, const std::string& where)
{
    sl::SolverStores<T>& s = b.solver.stores;
    ASSERT_TRUE(s.rows.isUsable(s.equations, s.jacobian)) << where;
    const std::size_t nEq = s.equations.size();
    std::vector<T> expected(nEq), got(nEq), values(s.jacobian.size());
    double expectedNorm = 0, gotNorm = 0;
    s.equations.evaluateScaledMaxAbs(expected.data(), T(-1.0), &expectedNorm);
    test::CellRecorder<T> expectedCells;
    s.jacobian.evaluate(expectedCells);

    s.rows.evaluate(s.equations, got.data(), T(-1.0), &gotNorm, values.data());
    test::CellRecorder<T> gotCells;
    s.jacobian.put(values.data(), gotCells);

    EXPECT_TRUE(sameBits(expectedNorm, gotNorm)) << where << ": norm " << expectedNorm << " " << gotNorm;
    for (std::size_t i = 0; i < nEq; ++i)
        EXPECT_TRUE(sameBits(expected[i], got[i])) << where << ": residual " << i;
    // The residuals alone: each program stops at its residual.
    std::vector<T> alone(nEq);
    double aloneNorm = 0;
    s.rows.evaluate(s.equations, alone.data(), T(-1.0), &aloneNorm, nullptr);
    EXPECT_TRUE(sameBits(expectedNorm, aloneNorm)) << where << ": norm alone";
    for (std::size_t i = 0; i < nEq; ++i)
        EXPECT_TRUE(sameBits(expected[i], alone[i])) << where << ": residual alone " << i;
    ASSERT_EQ(expectedCells.positions(), gotCells.positions()) << where;
    for (std::size_t k = 0; k < gotCells.cells.size(); ++k)
        EXPECT_TRUE(sameBits(expectedCells.cells[k].value, gotCells.cells[k].value))
            << where << ": cell " << expectedCells.cells[k].row << "," << expectedCells.cells[k].col << " "
            << expectedCells.cells[k].value << " " << gotCells.cells[k].value;
}

template <typename T> T randomValue(std::mt19937& rng)
{
    std::uniform_real_distribution<double> d(-2.0, 2.0);
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        const double re = d(rng);
        return T(re, d(rng));
    }
    else
        return d(rng);
}

// With a variable (a branch of a conditional equation needs one) and without the
// operations that have no derivative (logic, comparisons, min, max, round, disc, and the
// complex build's parts and magnitudes).
template <typename T> bool differentiable(const std::vector<sl::Token<T>>& tokens)
{
    using C = sl::TokenCodes;
    bool variable = false;
    for (const sl::Token<T>& t : tokens)
    {
        switch (t.type)
        {
        case C::SYMBOL: variable = variable || t.index < 3; break;
        case C::LOGIC_OR:
        case C::LOGIC_AND:
        case C::LOGIC_XOR:
        case C::LOGIC_NEGATION:
        case C::GREATER:
        case C::GREATER_EQUAL:
        case C::LESS:
        case C::LESS_EQUAL:
        case C::EQUAL:
        case C::NOT_EQUAL: return false;
        case C::FUNCTION:
            for (td::BYTE id : {C::MIN, C::MAX, C::ROUND, C::DISC, C::CABS, C::RTOP, C::PTOR, C::REAL, C::IMAG})
            {
                if (t.functionID() == id)
                    return false;
            }
            break;
        default: break;
        }
    }
    return variable;
}

// Models of random equations over x, y, z and a, b, c: two plain equations and a
// conditional one between them, so rows with and without a program alternate.
template <typename T> void checkRandomModels(unsigned firstSeed, int count)
{
    const std::vector<std::string> names = {"x", "y", "z", "a", "b", "c"};
    int built = 0;
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        test::RandomExpressions<T> gen(seed, 3, 3, 0);
        std::string texts[4];
        for (std::string& text : texts)
        {
            std::vector<sl::Token<T>> tokens;
            do
            {
                tokens.clear();
                gen.tokens(gen.generate(5), tokens);
            } while (!differentiable(tokens));
            text = test::RandomExpressions<T>::text(tokens, names);
        }
        const std::string equations = texts[0] + " = a\nif x > y\n    " + texts[1] + " = b\nelse\n    " + texts[2] +
                                      " = 0\nend\n" + texts[3] + " = c*x\n";
        test::Build<T> b;
        const std::string body = std::string("Model [type = NL") + domain<T>() +
                                 "]:\nVars:\nx = 1\ny = 2\nz = 3\nParams:\na = 1\nb = 2\nc = 3\nNLEs:\n" + equations +
                                 "end\n";
        if (!b.load(body) || !b.declare() || !b.equations(Group::NLEs, 'F'))
            continue;
        ++built;
        ASSERT_EQ(b.solver.stores.rows.size(), 3u);
        std::mt19937 rng(seed);
        for (int point = 0; point < 4; ++point)
        {
            for (const char* name : {"x", "y", "z", "a", "b", "c"})
                b.value(name) = randomValue<T>(rng);
            expectRowsMatchEntries(b, equations);
            if (::testing::Test::HasFailure())
                return;
        }
    }
    // A derivative the builder refuses (a pole of a literal power...) skips a model.
    EXPECT_GE(built, count * 3 / 4);
}

TEST(EquationRows, RandomEquationsGiveTheEntryEvaluatorsValuesBitForBit)
{
    checkRandomModels<double>(1, 200);
    checkRandomModels<Cmplx>(5001, 200);
}

// Forty equations of one random form, each over its own variables and parameters: rows
// of one shape, more than a batch holds, run together (those whose operations the batches
// run) and give what the per-entry evaluators give.
template <typename T> int checkRepeatedForms(unsigned firstSeed, int count)
{
    constexpr int cRows = 40;
    auto name = [](char prefix, int k) { return std::string(1, prefix) + std::to_string(k % cRows); };
    int batched = 0;
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        test::RandomExpressions<T> gen(seed, 3, 3, 0);
        std::vector<sl::Token<T>> tokens;
        do
        {
            tokens.clear();
            gen.tokens(gen.generate(5), tokens);
        } while (!differentiable(tokens));
        std::string vars, params, equations;
        for (int k = 0; k < cRows; ++k)
        {
            vars += name('x', k) + " = 1\n";
            params += name('a', k) + " = 1\n";
            equations += test::RandomExpressions<T>::text(tokens, {name('x', k), name('x', k + 1), name('x', k + 2),
                                                                   name('a', k), name('a', k + 1), name('a', k + 2)}) +
                         " = 0\n";
        }
        test::Build<T> b;
        if (!b.load(std::string("Model [type = NL") + domain<T>() + "]:\nVars:\n" + vars + "Params:\n" + params +
                    "NLEs:\n" + equations + "end\n") ||
            !b.declare() || !b.equations(Group::NLEs, 'F'))
            continue;
        std::mt19937 rng(seed);
        for (int k = 0; k < cRows; ++k)
        {
            b.value(name('x', k).c_str()) = randomValue<T>(rng);
            b.value(name('a', k).c_str()) = randomValue<T>(rng);
        }
        expectRowsMatchEntries(b, equations.substr(0, equations.find('\n')));
        if (::testing::Test::HasFailure())
            return batched;
        for (td::UINT4 i = 0; i < b.solver.stores.rows.size(); ++i)
            batched += b.solver.stores.rows.ranInBatch(i) ? 1 : 0;
    }
    return batched;
}

TEST(EquationRows, RowsOfOneShapeRunInBatchesWithTheEntryEvaluatorsValues)
{
    EXPECT_GT(checkRepeatedForms<double>(1, 60), 400);
    EXPECT_GT(checkRepeatedForms<Cmplx>(3001, 60), 400);
}

template <typename T> void checkPowerFlow()
{
    const bench::PowerFlowGrid grid = bench::PowerFlowGrid::generate(300);
    std::string text = grid.modelText();
    // After the generated header, in the value type of the build.
    const std::size_t model = text.find("Model [type = NL");
    ASSERT_NE(model, std::string::npos);
    text.insert(model + 16, domain<T>());
    test::Build<T> b;
    ASSERT_TRUE(b.loaded.fromString(text)) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    sl::SolverStores<T>& s = b.solver.stores;
    ASSERT_EQ(s.nVars, static_cast<td::UINT4>(grid.unknowns()));
    ASSERT_EQ(s.jacobian.size(), grid.pattern().rowIndex.size());
    // The flat start, the solution and a point around it.
    const std::vector<double> points[] = {grid.flatStart(), grid.solution()};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.05, 0.05);
    for (int k = 0; k < 3; ++k)
    {
        const std::vector<double>& x = points[k == 0 ? 0 : 1];
        for (td::UINT4 i = 0; i < s.nVars; ++i)
            s.values[i] = T(x[i] + (k == 2 ? jitter(rng) : 0.0));
        expectRowsMatchEntries(b, "power flow, point " + std::to_string(k));
    }
    // The rows of the network's common shapes run in batches; the few of a rare shape run
    // alone (with the same values, checked above).
    td::UINT4 batched = 0;
    for (td::UINT4 i = 0; i < s.rows.size(); ++i)
        batched += s.rows.ranInBatch(i) ? 1 : 0;
    EXPECT_GT(batched, s.rows.size() / 2);
    EXPECT_LT(batched, s.rows.size());
}

TEST(EquationRows, PowerFlowRowsGiveTheEntryEvaluatorsValuesBitForBit)
{
    checkPowerFlow<double>();
    checkPowerFlow<Cmplx>();
}

// The network's equations as real cases write them: every active power balance, then every
// reactive one. The rows run grouped by the first variable their code reads, a bus's two
// rows next to each other: each row still gives the entry evaluators' values, and the two
// rows of a bus read the same variable first.
template <typename T> void checkPowerFlowInBlocks()
{
    const bench::PowerFlowGrid grid = bench::PowerFlowGrid::generate(300);
    const std::string text = grid.modelText();
    const std::size_t nles = text.find("NLEs:\n"), end = text.rfind("end\n");
    ASSERT_TRUE(nles != std::string::npos && end != std::string::npos && nles < end);
    std::string active, reactive;
    std::vector<std::string> activeBuses, reactiveBuses;
    for (std::size_t at = nles + 6; at < end;)
    {
        const std::size_t eol = text.find('\n', at);
        const std::string line = text.substr(at, eol + 1 - at);
        const std::size_t sign = line.rfind(" = ");
        ASSERT_NE(sign, std::string::npos) << line;
        const bool isReactive = line[sign + 3] == 'Q';
        (isReactive ? reactive : active) += line;
        (isReactive ? reactiveBuses : activeBuses).push_back(line.substr(sign + 4, line.size() - sign - 5));
        at = eol + 1;
    }
    ASSERT_FALSE(reactiveBuses.empty());
    std::string blocks = text.substr(0, nles + 6) + active + reactive + text.substr(end);
    blocks.insert(blocks.find("Model [type = NL") + 16, domain<T>());
    test::Build<T> b;
    ASSERT_TRUE(b.loaded.fromString(blocks)) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    sl::SolverStores<T>& s = b.solver.stores;
    ASSERT_EQ(s.rows.size(), activeBuses.size() + reactiveBuses.size());
    const std::vector<double> points[] = {grid.flatStart(), grid.solution()};
    for (int k = 0; k < 2; ++k)
    {
        for (td::UINT4 i = 0; i < s.nVars; ++i)
            s.values[i] = T(points[k][i]);
        expectRowsMatchEntries(b, "power flow in blocks, point " + std::to_string(k));
    }
    const td::UINT4 nActive = static_cast<td::UINT4>(activeBuses.size());
    for (td::UINT4 q = 0; q < reactiveBuses.size(); ++q)
    {
        const auto p = std::find(activeBuses.begin(), activeBuses.end(), reactiveBuses[q]);
        ASSERT_NE(p, activeBuses.end()) << reactiveBuses[q];
        const td::UINT4 first = sl::CU<T>::firstVariable(s.rows.program(nActive + q)->code());
        EXPECT_NE(first, sl::CU<T>::cNoVariable) << "bus " << reactiveBuses[q];
        EXPECT_EQ(first,
                  sl::CU<T>::firstVariable(s.rows.program(static_cast<td::UINT4>(p - activeBuses.begin()))->code()))
            << "bus " << reactiveBuses[q];
    }
}

TEST(EquationRows, PowerFlowInBlocksGivesTheEntryEvaluatorsValuesBitForBit)
{
    checkPowerFlowInBlocks<double>();
    checkPowerFlowInBlocks<Cmplx>();
}

// Records the generator of every draw and hands out 1, 2, 3...
class RecordingGenerators final : public sl::RndGenManager
{
public:
    void draw(td::INT4 iGen, double& out) override
    {
        drawn += static_cast<char>('g' + iGen);
        out = ++_count;
    }
    std::string take()
    {
        std::string s;
        s.swap(drawn);
        return s;
    }
    std::string drawn;

private:
    double _count = 0;
};

// Each rnd draws once per evaluation (a complex value twice: real part, then imaginary
// part), in the order of the code, and only in the branch taken; the residuals' walk
// and the Jacobian's walk draw apart. A row that draws is never evaluated as one.
template <typename T> void checkDraws()
{
    const bool complex = sl::ValueTraits<T>::isComplex;
    test::Build<T> b;
    ASSERT_TRUE(b.prepare(std::string("Model [type = NL") + domain<T>() +
                          "]:\nVars:\nx = 1\ny = 2\nParams:\np = 1\nDistribs:\ng [type = Uniform, min = 0, max = 1]\n"
                          "h [type = Uniform, min = 0, max = 1]\nNLEs:\n"
                          "x*rnd(g) + y*rnd(h) = 1\n"
                          "if p > 0\n    x*rnd(h) + y*rnd(g) = 1\nelse\n    x*rnd(g) + y*rnd(g) = 2\nend\n"
                          "end\n"));
    ASSERT_TRUE(b.equations(Group::NLEs, 'F')) << b.keys();
    sl::SolverStores<T>& s = b.solver.stores;
    EXPECT_FALSE(s.rows.isUsable(s.equations, s.jacobian));
    RecordingGenerators generators;
    b.solver.pGenerators = &generators;
    auto twice = [](const std::string& s) {
        if (!complex)
            return s;
        std::string d;
        for (char c : s)
            d.append(2, c);
        return d;
    };
    struct Case
    {
        double p;
        const char* residuals;
        const char* jacobian;
    } cases[] = {{1, "ghhg", "ghhg"}, {-1, "ghgg", "ghgg"}};
    for (const Case& c : cases)
    {
        b.value("p") = T(c.p);
        b.residuals();
        EXPECT_EQ(generators.take(), twice(c.residuals)) << "p = " << c.p;
        b.jacobian();
        EXPECT_EQ(generators.take(), twice(c.jacobian)) << "p = " << c.p;
    }
    // The values drawn are the values used: x*1 + y*2 - 1 with x = 1, y = 2 in the real build.
    if constexpr (!complex)
    {
        b.value("p") = T(1.0);
        RecordingGenerators fresh;
        b.solver.pGenerators = &fresh;
        EXPECT_EQ(b.residuals()[0], 1.0 * 1 + 2.0 * 2 - 1);
    }
}

TEST(EquationRows, RandomDrawsOncePerUseInCodeOrderOnlyInTakenBranches)
{
    checkDraws<double>();
    checkDraws<Cmplx>();
}
} // namespace
