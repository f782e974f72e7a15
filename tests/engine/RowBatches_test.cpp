// The batch machine against the stack machine, bit for bit: power-flow rows of many shapes
// (long rows, rows of one term, phase-shifted and lossless terms, neighbours whose
// magnitude is a parameter), those of common shapes run in batches (widened as their rows
// come, and more than one of a shape) and the rare ones left to the stack machine, in both
// value types.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

template <typename T> void checkManyShapes()
{
    const Network net = manyShapes();
    test::Build<T> b;
    ASSERT_TRUE(b.load(net.text(sl::ValueTraits<T>::isComplex))) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.equations(sc::Group::NLEs, 'F')) << b.keys();
    sl::SolverStores<T>& s = b.solver.stores;
    const td::UINT4 nRows = s.rows.size();
    ASSERT_EQ(nRows, 2u * net.buses());

    std::vector<typename sl::RowBatches<T>::Member> members;
    std::vector<td::UINT4> nResults;
    td::UINT4 nEntries = 0;
    for (td::UINT4 i = 0; i < nRows; ++i)
    {
        ASSERT_NE(s.rows.program(i), nullptr) << i;
        const sl::CodeUnit* pCode = s.rows.program(i)->code();
        members.push_back({i, pCode, nEntries});
        nResults.push_back(resultsOf<T>(pCode));
        nEntries += nResults.back();
    }
    sl::RowBatches<T> batches;
    batches.build(members, nRows);

    // The rows of the common shapes run in batches; the long row and the rare shifted ones
    // are left to the stack machine.
    const td::UINT4 nCovered = 2 * (24 + cSingleTerms);
    for (td::UINT4 i = 0; i < nCovered; ++i)
        EXPECT_TRUE(batches.covers(i)) << "row " << i;
    for (td::UINT4 i = nCovered; i < nRows; ++i)
        EXPECT_FALSE(batches.covers(i)) << "row " << i;

    sl::CU<T> cu(&b.solver);
    sl::SineCache<T> sines;
    std::mt19937 rng(11);
    std::vector<T> temps(4096), results(256);
    for (int point = 0; point < 3; ++point)
    {
        for (std::size_t k = 0; k < s.values.size(); ++k)
            s.values[k] = randomValue<T>(rng);
        std::vector<T> heads(nRows, T(-7)), values(nEntries, T(-7)), headsAlone(nRows, T(-7));
        batches.run(cu.getVariableValues(), cu.getParameterValues(), sines, heads.data(), values.data());
        batches.run(cu.getVariableValues(), cu.getParameterValues(), sines, headsAlone.data(), nullptr);
        for (td::UINT4 i = 0; i < nRows; ++i)
        {
            if (!batches.covers(i))
                continue;
            ASSERT_LE(nResults[i] + 1, results.size());
            cu.run(members[i].pCode, temps.data(), results.data());
            EXPECT_TRUE(sameBits(heads[i], results[0])) << "point " << point << ", row " << i;
            EXPECT_TRUE(sameBits(headsAlone[i], results[0])) << "point " << point << ", row " << i << " alone";
            for (td::UINT4 k = 0; k < nResults[i]; ++k)
                EXPECT_TRUE(sameBits(values[members[i].firstEntry + k], results[1 + k]))
                    << "point " << point << ", row " << i << ", entry " << k;
        }
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(RowBatches, RowsOfManyShapesGiveTheStackMachinesValuesBitForBit)
{
    checkManyShapes<double>();
    checkManyShapes<Cmplx>();
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
