// The batch machine against the stack machine, bit for bit: power-flow rows of many shapes
// (long rows, rows of one term, phase-shifted and lossless terms, neighbours whose
// magnitude is a parameter), those of common shapes run in batches (widened as their rows
// come, and more than one of a shape, the operands a shape's rows repeat kept once but
// those equal in one batch only kept apart) and the rare ones left to the stack machine, as
// are rows of more operands than a step names, in both value types; and the stack
// machine's joined code for the rows it runs alone against their own code.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CU.h"
#include "RowBatches.h"
#include "builder/BuilderSupport.h"

namespace
{
using test::Cmplx;

template <typename T> bool sameBits(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// One term of a bus's sums: the neighbour, its admittance and shift; its magnitude a
// parameter, or a variable.
struct Term
{
    int bus;
    double g, b, shift;
    bool parameterMagnitude;
};

// Buses 1..n of a network written as the benchmark grids write it; bus 0 and the magnitudes
// marked are parameters.
class Network
{
public:
    void add(std::vector<Term> terms) { _buses.push_back(std::move(terms)); }
    int buses() const { return static_cast<int>(_buses.size()); }

    std::string text(bool complex) const
    {
        std::string t = std::string("Model [type = NL") + (complex ? ", domain = cmplx" : "") + "]:\nVars:\n";
        for (int i = 1; i <= buses(); ++i)
            t += "th" + std::to_string(i) + " = 0\nV" + std::to_string(i) + " = 1\n";
        t += "Params:\nth0 = 0\nV0 = 1\n";
        for (int i = 1; i <= buses(); ++i)
        {
            const std::string si = std::to_string(i);
            t += "W" + si + " = 1\nP" + si + " = 0\nQ" + si + " = 0\n";
        }
        t += "NLEs:\n";
        for (int i = 1; i <= buses(); ++i)
        {
            for (int reactive = 0; reactive < 2; ++reactive)
                t += equation(i, reactive != 0);
        }
        return t + "end\n";
    }

private:
    static std::string number(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        return buf;
    }

    std::string equation(int i, bool reactive) const
    {
        const std::string si = std::to_string(i);
        std::string t = "V" + si + "*(" + number(reactive ? -2.5 - i : 0.5 + 0.0101 * i) + "*V" + si;
        for (const Term& term : _buses[static_cast<std::size_t>(i - 1)])
        {
            const std::string k = std::to_string(term.bus);
            std::string d = "(th" + si + " - th" + k;
            if (term.shift != 0)
                d += (term.shift > 0 ? " - " : " + ") + number(std::abs(term.shift));
            d += ")";
            t += std::string(" + ") + (term.parameterMagnitude && term.bus != 0 ? "W" : "V") + k + "*(";
            if (term.g != 0)
                t += number(term.g) + (reactive ? "*sin" : "*cos") + d + " + ";
            t += number(reactive ? -term.b : term.b) + (reactive ? "*cos" : "*sin") + d + ")";
        }
        return t + ") = " + (reactive ? "Q" : "P") + si + "\n";
    }

    std::vector<std::vector<Term>> _buses;
};

// The buses of one term: more than a full batch of rows of one shape.
constexpr int cSingleTerms = 40;

// The network: shapes of twelve buses each (plain pairs; a shifted and a lossless term
// among three), cSingleTerms buses of one term, three buses of one shifted term each, and
// one bus of forty terms of every kind. Within a shape each term's neighbour lies on the
// same side of its bus, since the order of the symbols may order the code.
Network manyShapes()
{
    Network net;
    const int nCommon = 12;
    // Buses 1..12: two plain terms.
    for (int i = 1; i <= nCommon; ++i)
        net.add({{i + 1, -1.0 - 0.1 * i, 9.0 + i, 0, false}, {0, -0.7, 6.5, 0, false}});
    // Buses 13..24: three terms, the second shifted, the third lossless with a parameter magnitude.
    for (int i = 13; i <= 2 * nCommon; ++i)
        net.add({{i - 12, -1.2, 10.0 + 0.5 * i, 0, false},
                 {i + 1, -0.4, 7.0, 0.05 + 0.001 * i, false},
                 {i - 11, 0.0, 12.0 - 0.1 * i, 0, true}});
    // Buses 25..64: one term.
    for (int i = 25; i <= 2 * nCommon + cSingleTerms; ++i)
        net.add({{i - 24, -2.0 + 0.01 * i, 15.0, 0, false}});
    // Buses 65..67: one term shifted the other way.
    for (int i = 65; i <= 67; ++i)
        net.add({{i - 10, -0.9, 8.0, -0.08, false}});
    // Bus 68: forty terms, every kind in turn.
    std::vector<Term> hub;
    for (int k = 0; k < 40; ++k)
    {
        const int bus = k % 39 + 1;
        hub.push_back({bus, k % 3 == 0 ? 0.0 : -0.1 * k, 3.0 + k, k % 4 == 1 ? 0.02 * k : (k % 4 == 3 ? -0.03 : 0.0),
                       k % 5 == 2});
    }
    net.add(hub);
    return net;
}

template <typename T> T randomValue(std::mt19937& rng)
{
    std::uniform_real_distribution<double> d(0.5, 1.5);
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        const double re = d(rng);
        return T(re, d(rng) - 1.0);
    }
    else
        return d(rng);
}

// The results a program puts: result 0 (its residual) and 1..n (its entries).
template <typename T> td::UINT4 resultsOf(const sl::CodeUnit* pc)
{
    td::UINT4 last = 0;
    for (;;)
    {
        const sl::CodeUnit u = *pc++;
        const sl::OpTraits& o = sl::traitsOf(u.operation());
        if (u.operation() == sl::Op::End)
            return last;
        if (o.arg == sl::Operand::Result || o.arg == sl::Operand::ResultTemp)
            last = std::max(last, u.arg);
        pc += o.consts * sl::CodeValue<T>::cUnits + (o.next != sl::Operand::None ? 1 : 0);
    }
}

// The rows of a built model grouped into batches, each row's program beside it.
template <typename T> struct Grouped
{
    std::vector<typename sl::RowBatches<T>::Member> members;
    std::vector<td::UINT4> nResults;
    td::UINT4 nEntries = 0;
    sl::RowBatches<T> batches;

    explicit Grouped(sl::SolverStores<T>& s)
    {
        const td::UINT4 nRows = s.rows.size();
        for (td::UINT4 i = 0; i < nRows; ++i)
        {
            const sl::CodeUnit* pCode = s.rows.program(i) ? s.rows.program(i)->code() : nullptr;
            members.push_back({i, pCode, nEntries});
            nResults.push_back(pCode ? resultsOf<T>(pCode) : 0);
            nEntries += nResults.back();
        }
        batches.build(members, nRows);
    }
    td::UINT4 covered() const
    {
        td::UINT4 n = 0;
        for (td::UINT4 i = 0; i < members.size(); ++i)
            n += batches.covers(i) ? 1 : 0;
        return n;
    }
};

// At points of random values of every symbol, the residuals and entries of each batched
// row with and without values, against the stack machine's run of the row's program.
template <typename T> void expectStackMachinesValues(test::Build<T>& b, Grouped<T>& g, int nPoints, unsigned seed)
{
    sl::SolverStores<T>& s = b.solver.stores;
    const td::UINT4 nRows = static_cast<td::UINT4>(g.members.size());
    sl::CU<T> cu(&b.solver);
    sl::SineCache<T> sines;
    std::mt19937 rng(seed);
    std::vector<T> temps(1u << 16), results;
    for (int point = 0; point < nPoints; ++point)
    {
        for (std::size_t k = 0; k < s.values.size(); ++k)
            s.values[k] = randomValue<T>(rng);
        std::vector<T> heads(nRows, T(-7)), values(g.nEntries, T(-7)), headsAlone(nRows, T(-7));
        g.batches.run(cu.getVariableValues(), cu.getParameterValues(), sines, heads.data(), values.data());
        g.batches.run(cu.getVariableValues(), cu.getParameterValues(), sines, headsAlone.data(), nullptr);
        for (td::UINT4 i = 0; i < nRows; ++i)
        {
            if (!g.batches.covers(i))
                continue;
            results.assign(g.nResults[i] + 1, T(0));
            cu.run(g.members[i].pCode, temps.data(), results.data());
            EXPECT_TRUE(sameBits(heads[i], results[0])) << "point " << point << ", row " << i;
            EXPECT_TRUE(sameBits(headsAlone[i], results[0])) << "point " << point << ", row " << i << " alone";
            for (td::UINT4 k = 0; k < g.nResults[i]; ++k)
                EXPECT_TRUE(sameBits(values[g.members[i].firstEntry + k], results[1 + k]))
                    << "point " << point << ", row " << i << ", entry " << k;
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

// The joined code of a row (CU::joinRuns), whose runs are marked in seen; only the op of a
// run's first unit differs from the row's own code, its units and constants stay.
template <typename T>
std::vector<sl::CodeUnit> joinedCodeOf(const typename sl::RowBatches<T>::Member& m, std::vector<bool>& seen)
{
    std::vector<sl::CodeUnit> joined(m.pCode, m.pCode + sl::CU<T>::unitCount(m.pCode));
    sl::CU<T>::joinRuns(joined.data());
    for (std::size_t k = 0; k < joined.size(); ++k)
    {
        sl::CodeUnit original = m.pCode[k];
        if (joined[k].op != original.op)
        {
            EXPECT_GE(joined[k].op, sl::cOperationCount) << "row " << m.row << ", unit " << k;
            seen[joined[k].op] = true;
            original.op = joined[k].op;
        }
        EXPECT_EQ(std::memcmp(&original, &joined[k], sizeof original), 0) << "row " << m.row << ", unit " << k;
    }
    return joined;
}

// At points of random values of every symbol, each row's joined code against its own code on
// the stack machine, with its entries and as far as its residual; the runs the rows take.
template <typename T> std::vector<bool> expectJoinedCodesValues(test::Build<T>& b, Grouped<T>& g, unsigned seed)
{
    std::vector<bool> seen(sl::CU<T>::cJoinedCodes, false);
    std::vector<std::vector<sl::CodeUnit>> joinedCodes(g.members.size());
    for (std::size_t i = 0; i < g.members.size(); ++i)
    {
        if (g.members[i].pCode)
            joinedCodes[i] = joinedCodeOf<T>(g.members[i], seen);
    }
    sl::SolverStores<T>& s = b.solver.stores;
    sl::CU<T> cu(&b.solver);
    std::mt19937 rng(seed);
    std::vector<T> temps(1u << 16), joinedTemps(1u << 16), results, joinedResults;
    for (int point = 0; point < 2; ++point)
    {
        for (std::size_t k = 0; k < s.values.size(); ++k)
            s.values[k] = randomValue<T>(rng);
        for (std::size_t i = 0; i < g.members.size(); ++i)
        {
            const auto& m = g.members[i];
            if (!m.pCode)
                continue;
            for (bool headOnly : {false, true})
            {
                const td::UINT4 n = g.nResults[m.row] + 1;
                results.assign(n, T(-7));
                joinedResults.assign(n, T(-7));
                const T top = cu.run(m.pCode, temps.data(), results.data(), headOnly);
                const T joinedTop = cu.run(joinedCodes[i].data(), joinedTemps.data(), joinedResults.data(), headOnly);
                EXPECT_TRUE(sameBits(top, joinedTop)) << "point " << point << ", row " << m.row;
                for (td::UINT4 k = 0; k < n; ++k)
                    EXPECT_TRUE(sameBits(results[k], joinedResults[k]))
                        << "point " << point << ", row " << m.row << ", result " << k << (headOnly ? ", head" : "");
                if (::testing::Test::HasFailure())
                    return {};
            }
        }
    }
    return seen;
}

// The runs taken and, through them, the runs that are their rests.
std::vector<bool> reachedRuns(std::vector<bool> reached)
{
    enum class Run : std::size_t
    {
#define RUN_NAME(name, ...) name,
        EQNKIT_JOINED_RUNS(RUN_NAME, RUN_NAME)
#undef RUN_NAME
    };
    struct Rest
    {
        Run run, rest;
    };
    std::vector<Rest> rests;
#define NO_REST(...)
#define REST(name, first, rest) rests.push_back({Run::name, Run::rest});
    EQNKIT_JOINED_RUNS(NO_REST, REST)
#undef NO_REST
#undef REST
    // A rest is listed before its run: from the last run back, each one reached reaches its rest.
    for (auto r = rests.rbegin(); r != rests.rend(); ++r)
    {
        if (reached[sl::cOperationCount + static_cast<std::size_t>(r->run)])
            reached[sl::cOperationCount + static_cast<std::size_t>(r->rest)] = true;
    }
    return reached;
}

std::size_t countOf(const std::vector<bool>& seen)
{
    return static_cast<std::size_t>(std::count(seen.begin(), seen.end(), true));
}

// The rows of a network's model, built in b.
template <typename T> void buildRows(test::Build<T>& b, const Network& net)
{
    ASSERT_TRUE(b.load(net.text(sl::ValueTraits<T>::isComplex))) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(sc::Group::NLEs, 'F')) << b.keys();
}

template <typename T> void checkManyShapes()
{
    const Network net = manyShapes();
    test::Build<T> b;
    ASSERT_NO_FATAL_FAILURE(buildRows(b, net));
    const td::UINT4 nRows = b.solver.stores.rows.size();
    ASSERT_EQ(nRows, 2u * net.buses());
    Grouped<T> g(b.solver.stores);
    for (td::UINT4 i = 0; i < nRows; ++i)
        ASSERT_NE(g.members[i].pCode, nullptr) << i;

    // The rows of the common shapes run in batches; the long row and the rare shifted ones
    // are left to the stack machine.
    const td::UINT4 nCovered = 2 * (24 + cSingleTerms);
    for (td::UINT4 i = 0; i < nCovered; ++i)
        EXPECT_TRUE(g.batches.covers(i)) << "row " << i;
    for (td::UINT4 i = nCovered; i < nRows; ++i)
        EXPECT_FALSE(g.batches.covers(i)) << "row " << i;
    expectStackMachinesValues(b, g, 3, 11);
    EXPECT_GT(countOf(expectJoinedCodesValues(b, g, 13)), 0u);
}

TEST(RowBatches, RowsOfManyShapesGiveTheStackMachinesValuesBitForBit)
{
    checkManyShapes<double>();
    checkManyShapes<Cmplx>();
}

// The longest length of the rows of many lengths, and the rows of each length.
constexpr int cLongest = 24;
constexpr int cRowsOfALength = 9;

// Buses 1..cLongest of one term each to the parameter bus 0, then cRowsOfALength buses of
// each length from 1 to cLongest terms, the term j of each to bus j + 1 (every neighbour
// below its bus, so that the buses of a length share their shape), of a kind by j: plain,
// phase-shifted, lossless, with a parameter magnitude.
Network manyLengths()
{
    Network net;
    for (int i = 1; i <= cLongest; ++i)
        net.add({{0, -1.0 - 0.01 * i, 8.0 + i, 0, false}});
    for (int n = 1; n <= cLongest; ++n)
    {
        for (int copy = 0; copy < cRowsOfALength; ++copy)
        {
            std::vector<Term> terms;
            for (int j = 0; j < n; ++j)
                terms.push_back({j + 1, j % 3 == 2 ? 0.0 : -0.5 - 0.01 * (j + copy), 4.0 + j + 0.1 * copy,
                                 j % 4 == 1 ? 0.01 * (j + 1) : 0.0, j % 5 == 3});
            net.add(terms);
        }
    }
    return net;
}

template <typename T> void checkManyLengths()
{
    const Network net = manyLengths();
    test::Build<T> b;
    ASSERT_NO_FATAL_FAILURE(buildRows(b, net));
    Grouped<T> g(b.solver.stores);
    // Every row runs in a batch of its length: long rows too, past a full batch of rows
    // of one shape where the buses of a length are that many.
    const td::UINT4 nRows = static_cast<td::UINT4>(g.members.size());
    ASSERT_EQ(nRows, 2u * net.buses());
    for (td::UINT4 i = 0; i < nRows; ++i)
        EXPECT_TRUE(g.batches.covers(i)) << "row " << i;
    // A shape for the buses of one term and one for each length and equation.
    EXPECT_EQ(g.batches.shapeCount(), 2u + 2u * cLongest);
    expectStackMachinesValues(b, g, 2, 5);
}

TEST(RowBatches, RowsOfManyLengthsGiveTheStackMachinesValuesBitForBit)
{
    checkManyLengths<double>();
    checkManyLengths<Cmplx>();
}

// The buses of one term to the parameter bus, in two batches of one shape: in the active
// rows of the first batch the term's conductance is the number the row's own bus takes, in
// those of the second it differs. A column repeated in every row of a shape is kept once;
// these two columns are equal in one batch only, and stay apart.
constexpr int cFirstBatch = 32;
constexpr int cAfterIt = 8;

Network columnsEqualInOneBatch()
{
    Network net;
    for (int i = 1; i <= cFirstBatch + cAfterIt; ++i)
        net.add({{0, i <= cFirstBatch ? 0.5 + 0.0101 * i : 2.0 + 0.01 * i, 9.0 + 0.1 * i, 0, false}});
    return net;
}

template <typename T> void checkColumnsEqualInOneBatch()
{
    const Network net = columnsEqualInOneBatch();
    test::Build<T> b;
    ASSERT_NO_FATAL_FAILURE(buildRows(b, net));
    Grouped<T> g(b.solver.stores);
    // One shape of active and one of reactive rows, each in a full batch and one after it.
    EXPECT_EQ(g.batches.shapeCount(), 2u);
    EXPECT_EQ(g.covered(), static_cast<td::UINT4>(g.members.size()));
    expectStackMachinesValues(b, g, 2, 23);
}

TEST(RowBatches, ColumnsEqualInOneBatchOfAShapeStayApart)
{
    checkColumnsEqualInOneBatch<double>();
    checkColumnsEqualInOneBatch<Cmplx>();
}

// The code of a row that sums n constants.
std::vector<sl::CodeUnit> sumOfConstants(td::UINT4 n)
{
    std::vector<sl::CodeUnit> code;
    auto withConstant = [&code](sl::Op op, double v) {
        code.push_back({static_cast<td::BYTE>(op), 0, 0, 0});
        code.emplace_back();
        sl::CodeValue<double>::write(&code.back(), v);
    };
    withConstant(sl::Op::PushConst, 1.0);
    for (td::UINT4 k = 1; k < n; ++k)
        withConstant(sl::Op::AddConst, 1.0 + k);
    code.push_back({static_cast<td::BYTE>(sl::Op::PutHead), 0, 0, 0});
    code.push_back({static_cast<td::BYTE>(sl::Op::End), 0, 0, 0});
    return code;
}

// A step names its columns in two bytes: rows of more own operands than that run alone,
// those of fewer in batches.
TEST(RowBatches, RowsOfMoreOperandsThanAStepNamesRunAlone)
{
    const std::vector<sl::CodeUnit> shortRow = sumOfConstants(100), longRow = sumOfConstants(0xFFFF);
    std::vector<sl::RowBatches<double>::Member> members;
    for (td::UINT4 i = 0; i < 16; ++i)
        members.push_back({i, (i < 8 ? shortRow : longRow).data(), 0});
    sl::RowBatches<double> batches;
    batches.build(members, 16);
    for (td::UINT4 i = 0; i < 16; ++i)
        EXPECT_EQ(batches.covers(i), i < 8) << "row " << i;
    EXPECT_EQ(sl::describeRow<double>(longRow.data()), "not batched: more own operands than a step's columns name\n");
    std::vector<double> heads(16, -7.0);
    sl::SineCache<double> sines;
    batches.run(nullptr, nullptr, sines, heads.data(), nullptr);
    EXPECT_EQ(heads[0], 5050.0);
    EXPECT_EQ(heads[8], -7.0);
}

// The real network of the benchmarks, where it is found (beside the project's folder, as
// the benchmark reads it, or where EQNKIT_POWERFLOW_DATA says).
std::string realNetworkText()
{
    const char* pDir = std::getenv("EQNKIT_POWERFLOW_DATA");
    std::string dir = pDir ? pDir : std::string(__FILE__);
    if (!pDir)
        dir = dir.substr(0, dir.find_last_of('/') + 1) + "../../../shared/data/powerflow";
    std::ifstream in(dir + "/case2869pegase.model");
    if (!in)
        return {};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename T> void checkRealNetwork(const std::string& model)
{
    std::string text = model;
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        const std::size_t at = text.find("Model [type = NL");
        ASSERT_NE(at, std::string::npos);
        text.insert(at + 16, ", domain = cmplx");
    }
    test::Build<T> b;
    ASSERT_TRUE(b.loaded.fromString(text)) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(sc::Group::NLEs, 'F')) << b.keys();
    Grouped<T> g(b.solver.stores);
    // Three rows in four run in batches there; the long rows of buses with many
    // neighbours, of rare shapes, are left to the stack machine.
    const td::UINT4 nRows = static_cast<td::UINT4>(g.members.size());
    EXPECT_EQ(nRows, 5227u);
    EXPECT_GT(g.covered(), nRows / 2);
    EXPECT_LT(g.covered(), nRows);
    expectStackMachinesValues(b, g, 2, 17);
    // The runs joined are those of its rows: each of them is taken there, or is the rest of
    // one taken.
    const std::vector<bool> seen = expectJoinedCodesValues(b, g, 19);
    if constexpr (!sl::ValueTraits<T>::isComplex)
    {
        for (std::size_t code = sl::cOperationCount; code < seen.size(); ++code)
            EXPECT_TRUE(reachedRuns(seen)[code]) << "joined run " << code << " taken by no row";
    }
}

TEST(RowBatches, RealNetworkRowsGiveTheStackMachinesValuesBitForBit)
{
    const std::string model = realNetworkText();
    if (model.empty())
        GTEST_SKIP() << "case2869pegase.model not found";
    checkRealNetwork<double>(model);
    checkRealNetwork<Cmplx>(model);
}
} // namespace

namespace
{
// A row's program as the batches read it, for a bus with one neighbour whose angle and
// magnitude are parameters: the row's own operands (x0, p1, the constants) beside the
// cells and slots every row of its shape shares.
TEST(RowBatches, PrintsARowsShapeAndSteps)
{
    test::Build<double> b;
    ASSERT_TRUE(b.load("Model [type = NL]:\nVars:\nth1 = 0\nV1 = 1\nParams:\nth2 = 0\nV2 = 1\nP1 = 0\nNLEs:\n"
                       "V1*(0.5*V1 + V2*(-1.5*cos(th1 - th2) + 9*sin(th1 - th2))) = P1\nsqrt(th1) = V1\nend\n"))
        << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(sc::Group::NLEs, 'F')) << b.keys();
    EXPECT_EQ(sl::describeRow<double>(b.solver.stores.rows.program(0)->code()),
              "shape: 18 steps, 8 indices, 5 constants, depth 2, 4 temporary cells\n"
              "PushVar x0\n"
              "SubPar p0\n"
              "CosSin t2 -> t1\n"
              "MulConstAddTempMulConst t2 -1.5 9\n"
              "MulPar p1\n"
              "PushConst 0.5\n"
              "MulVar x1 -> t3\n"
              "Add -> t0\n"
              "MulVar x1\n"
              "SubPar p2\n"
              "PutHeadLoad r0 t1\n"
              "MulConstSubTempMulConst t2 9 -1.5\n"
              "MulPar p1\n"
              "MulVar x1\n"
              "PutLoad r1 t0\n"
              "AddTemp t3\n"
              "Put r2\n"
              "End\n");
    EXPECT_EQ(sl::describeRow<double>(b.solver.stores.rows.program(1)->code()), "not batched: Sqrt\n");
}
} // namespace
