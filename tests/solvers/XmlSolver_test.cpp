#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SolverSupport.h"

namespace
{
using sc::Solution;
using test::BuiltSolver;
using test::Cmplx;

std::string dataPath(const std::string& name) { return std::string(EQNKIT_TEST_DATA) + "/xml/" + name; }

std::string readFile(const std::string& name)
{
    std::ifstream in(dataPath(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

template <typename T> struct XmlSolver
{
    XmlSolver() : pSolver(static_cast<sl::NRSolver<T>*>(BuiltSolver<T>::makeSolver(&log))) {}
    ~XmlSolver() { pSolver->release(); }
    XmlSolver(const XmlSolver&) = delete;
    XmlSolver& operator=(const XmlSolver&) = delete;

    bool fromText(const std::string& text) { return pSolver->initFromXML(td::String(text.c_str()), 1); }
    bool fromFile(const std::string& name) { return pSolver->initFromXML(td::String(dataPath(name).c_str()), 0); }
    std::string errors() const { return pSolver->getErrorLog().c_str(); }

    test::RecordingLog log;
    sl::NRSolver<T>* pSolver;
};

// Names, counts, values and the compiled model's sizes of two solvers agree.
template <typename T> void expectSameSolver(sc::ISolver<T>& a, sc::ISolver<T>& b, double tolerance)
{
    ASSERT_EQ(a.getNumberOfVariables(), b.getNumberOfVariables());
    ASSERT_EQ(a.getNumberOfParameters(), b.getNumberOfParameters());
    const td::UINT4 n = a.getNumberOfVariables() + a.getNumberOfParameters();
    for (td::UINT4 i = 0; i < n; ++i)
    {
        EXPECT_STREQ(a.getSymbolName(static_cast<td::INT4>(i)), b.getSymbolName(static_cast<td::INT4>(i)));
        const T va = a.getVariableValuesPtr()[i], vb = b.getVariableValuesPtr()[i];
        EXPECT_LE(std::abs(va - vb), tolerance * std::max(1.0, std::abs(va)))
            << a.getSymbolName(static_cast<td::INT4>(i));
    }
}

TEST(XmlSolver, NrSampleSolvesAsItsModelText)
{
    BuiltSolver<double> text;
    ASSERT_TRUE(text.build(readFile("nr_sample.txt"))) << text.keys();
    XmlSolver<double> file, mem;
    ASSERT_TRUE(file.fromFile("nr_sample.xml")) << file.errors();
    ASSERT_TRUE(mem.fromText(readFile("nr_sample.xml"))) << mem.errors();
    expectSameSolver<double>(*file.pSolver, *mem.pSolver, 0);
    expectSameSolver<double>(*text.pSolver, *file.pSolver, 0);
    const Solution st = text.pSolver->solve();
    EXPECT_EQ(file.pSolver->solve(), st) << file.errors();
    EXPECT_EQ(st, Solution::OK);
    EXPECT_EQ(text.pSolver->getNumberOfIterations(), file.pSolver->getNumberOfIterations());
    expectSameSolver<double>(*text.pSolver, *file.pSolver, 1e-12);
    EXPECT_NEAR(text.value("x"), (-1 + std::sqrt(45.0)) / 2, 1e-10);
}
} // namespace
