// Solvers built from XML model documents (slot 22): each kind solves or steps a model
// written as XML (file and text) as it does the same model written as text; failed builds,
// child models.
#include <cmath>
#include <fstream>
#include <map>
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

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

template <typename T, typename S = sl::NRSolver<T>> struct XmlSolver
{
    XmlSolver() : pSolver(BuiltSolver<T, S>::makeSolver(&log)) {}
    ~XmlSolver() { pSolver->release(); }
    XmlSolver(const XmlSolver&) = delete;
    XmlSolver& operator=(const XmlSolver&) = delete;

    bool fromText(const std::string& text) { return pSolver->initFromXML(td::String(text.c_str()), 1); }
    bool fromFile(const std::string& path) { return pSolver->initFromXML(td::String(path.c_str()), 0); }
    std::string errors() const { return pSolver->getErrorLog().c_str(); }

    test::RecordingLog log;
    S* pSolver;
};

// Every symbol's value by name.
template <typename T> std::map<std::string, T> valuesByName(sc::ISolver<T>& s)
{
    std::map<std::string, T> out;
    const td::UINT4 n = s.getNumberOfVariables() + s.getNumberOfParameters();
    for (td::UINT4 i = 0; i < n; ++i)
        out[s.getSymbolName(static_cast<td::INT4>(i))] = s.getVariableValuesPtr()[i];
    return out;
}

// Same counts, names and values (within tolerance, relative); the XML road may place
// generated symbols elsewhere, so symbols are matched by name.
template <typename T> void expectSameSolver(sc::ISolver<T>& a, sc::ISolver<T>& b, double tolerance)
{
    ASSERT_EQ(a.getNumberOfVariables(), b.getNumberOfVariables());
    ASSERT_EQ(a.getNumberOfParameters(), b.getNumberOfParameters());
    const std::map<std::string, T> va = valuesByName(a), vb = valuesByName(b);
    for (const auto& [name, v] : va)
    {
        const auto it = vb.find(name);
        ASSERT_NE(it, vb.end()) << name;
        EXPECT_LE(std::abs(v - it->second), tolerance * std::max(1.0, std::abs(v))) << name;
    }
}

// A model as text, as an XML file and as XML text: the two XML builds are identical and
// the text build agrees with them after run (a solve or time steps) within 1e-12.
template <typename T, typename S, typename Run>
void expectEquivalent(const std::string& text, const std::string& xmlName, const std::string& xml, Run run)
{
    BuiltSolver<T, S> t;
    ASSERT_TRUE(t.build(text)) << t.keys();
    XmlSolver<T, S> file, mem;
    const std::string path = ::testing::TempDir() + "eqnkit_" + xmlName;
    {
        std::ofstream out(path, std::ios::binary);
        out << xml;
    }
    ASSERT_TRUE(file.fromFile(path)) << file.errors();
    ASSERT_TRUE(mem.fromText(xml)) << mem.errors();
    std::remove(path.c_str());
    expectSameSolver<T>(*file.pSolver, *mem.pSolver, 0);
    const Solution st = run(*t.pSolver);
    EXPECT_EQ(st, Solution::OK) << t.keys();
    EXPECT_EQ(run(*file.pSolver), st) << file.errors();
    EXPECT_EQ(run(*mem.pSolver), st) << mem.errors();
    EXPECT_EQ(t.pSolver->getNumberOfIterations(), file.pSolver->getNumberOfIterations());
    expectSameSolver<T>(*t.pSolver, *file.pSolver, 1e-12);
    expectSameSolver<T>(*file.pSolver, *mem.pSolver, 0);
}

template <typename T> Solution solveOnce(sc::ISolver<T>& s) { return s.solve(); }

TEST(XmlSolver, StaticModelsSolveAsTheirModelTexts)
{
    expectEquivalent<double, sl::NRSolver<double>>(readFile("nr_sample.txt"), "nr.xml", readFile("nr_sample.xml"),
                                                   solveOnce<double>);
    expectEquivalent<Cmplx, sl::NRSolver<Cmplx>>(readFile("cnr_sample.txt"), "cnr.xml", readFile("cnr_sample.xml"),
                                                 solveOnce<Cmplx>);
    expectEquivalent<double, sl::WLSSolver<double>>(readFile("wls_sample.txt"), "wls.xml", readFile("wls_sample.xml"),
                                                    solveOnce<double>);
    expectEquivalent<Cmplx, sl::WLSSolver<Cmplx>>(readFile("cwls_sample.txt"), "cwls.xml", readFile("cwls_sample.xml"),
                                                  solveOnce<Cmplx>);
    // The child model set c = 3*a before the parent solved: x^2 + y = 4 + 6, x - y = 1.
    XmlSolver<double> nr;
    ASSERT_TRUE(nr.fromText(readFile("nr_sample.xml"))) << nr.errors();
    ASSERT_EQ(nr.pSolver->solve(), Solution::OK);
    double x = 0;
    ASSERT_TRUE(nr.pSolver->getVariableValue("x", x));
    EXPECT_NEAR(x, (-1 + std::sqrt(45.0)) / 2, 1e-10);
}

template <typename T> Solution steps200(sc::ISolver<T>& s)
{
    s.setStepSize(0.01);
    if (!s.reset(0.0))
        return Solution::SolutionError;
    return s.step(200);
}

TEST(XmlSolver, DynamicModelsStepAsTheirModelTexts)
{
    expectEquivalent<double, sl::ODESolver<double>>(readFile("ode_sample.txt"), "ode.xml", readFile("ode_sample.xml"),
                                                    steps200<double>);
    for (const char* method : {"Euler", "Trapez", "RK4", "RK6"})
    {
        SCOPED_TRACE(method);
        expectEquivalent<double, sl::DAESolver<double>>(
            replaced(readFile("dae_sample.txt"), "METHOD", method), "dae.xml",
            replaced(readFile("dae_sample.xml"), "METHOD", method), steps200<double>);
    }
}
} // namespace
