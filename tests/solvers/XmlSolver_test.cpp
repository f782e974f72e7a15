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
#include "support/RefusedFiles.h"
#include "support/ScratchPath.h"

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
    const std::string path = test::scratchPath(xmlName);
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

// A one-variable document of a kind.
std::string doc(const char* kind)
{
    return std::string("<?xml version=\"1.0\"?><Model type=\"") + (std::string(kind) == "NR" ? "WLS" : "NR") +
           "\"><Vars><Var name=\"x\"/></Vars></Model>";
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

// A minus before a number after +, -, >, <, == and * belongs to the number on both roads.
template <typename T> void expectMinusNumbersAsInTheModelText()
{
    const bool complex = sl::ValueTraits<T>::isComplex;
    const std::string text = std::string("Model [type = NL, eps = 1e-12") + (complex ? ", domain = cmplx" : "") +
                             "]:\nVars:\nx = 3; y = 1; z = 1; w = 1; v = 1\nParams:\np = 0\nNLEs:\n"
                             "x + -1 = 0\n"
                             "if x > -1\n    y - -1 = 0\nelse\n    y = 5\nend\n"
                             "if y == -1\n    z = x * -2\nelse\n    z = 7\nend\n"
                             "if z < -1\n    w - -3 = 0\nelse\n    w = 0\nend\n"
                             "v^2 + -4 = 0\n"
                             "PostProc:\nif y == -1\n    p = -1 - -0.5\nend\nend\n";
    const std::string xml = std::string("<?xml version=\"1.0\"?>\n<Model type=\"NR\" eps=\"1e-12\"") +
                            (complex ? " domain=\"cmplx\"" : "") +
                            ">\n<Vars conj=\"false\"><Var name=\"x\" val=\"3\"/><Var name=\"y\" val=\"1\"/>"
                            "<Var name=\"z\" val=\"1\"/><Var name=\"w\" val=\"1\"/><Var name=\"v\" val=\"1\"/></Vars>\n"
                            "<Params><Param name=\"p\" val=\"0\"/></Params>\n<NLEqs>\n"
                            "<Eq fx=\"x + -1 = 0\"/>\n"
                            "<Eq cond=\"x &gt; -1\"><Then fx=\"y - -1 = 0\"/><Else fx=\"y = 5\"/></Eq>\n"
                            "<Eq cond=\"y == -1\"><Then fx=\"z = x * -2\"/><Else fx=\"z = 7\"/></Eq>\n"
                            "<Eq cond=\"z &lt; -1\"><Then fx=\"w - -3 = 0\"/><Else fx=\"w = 0\"/></Eq>\n"
                            "<Eq fx=\"v^2 + -4 = 0\"/>\n</NLEqs>\n"
                            "<PostProc><Eq cond=\"y == -1\"><Then fx=\"p = -1 - -0.5\"/></Eq></PostProc>\n</Model>\n";
    expectEquivalent<T, sl::NRSolver<T>>(text, "minus.xml", xml, solveOnce<T>);
    XmlSolver<T> s;
    ASSERT_TRUE(s.fromText(xml)) << s.errors();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK);
    for (const auto& [name, expected] : {std::pair{"x", 1.0}, {"y", -1.0}, {"z", -2.0}, {"w", -3.0}, {"v", 2.0}})
    {
        T value{};
        ASSERT_TRUE(s.pSolver->getVariableValue(name, value)) << name;
        EXPECT_NEAR(std::abs(value - T(expected)), 0.0, 1e-10) << name;
    }
    T p{};
    ASSERT_TRUE(s.pSolver->getParameterValue("p", p));
    EXPECT_EQ(p, T(-0.5));
}

TEST(XmlSolver, AMinusBeforeANumberAfterAnOperatorReadsAsInTheModelText)
{
    expectMinusNumbersAsInTheModelText<double>();
    expectMinusNumbersAsInTheModelText<Cmplx>();
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

TEST(XmlSolver, RightSidesWithoutStatesStepOnBothRoads)
{
    // x' = p, w' = v (v algebraic) and the state of y/u = 3*s read no state: their stage
    // equations hold the bare stage variables, which the Jacobian must cover.
    const std::string text = "Model [type = DAE, method = METHOD]:\nVars:\nx = 0\nw = 0\nv = 0\ny = 0\nu = 0\n"
                             "Params:\np = 3\nODEs:\nx' = p\nw' = v\nTFs:\ny / u = 3*s\nNLEs:\nv = 2\nu = t\nend\n";
    const std::string xml = "<?xml version=\"1.0\"?><Model type=\"DAE\" domain=\"real\" method=\"METHOD\"><Vars>"
                            "<Var name=\"x\" val=\"0\"/><Var name=\"w\" val=\"0\"/><Var name=\"v\" val=\"0\"/>"
                            "<Var name=\"y\" val=\"0\"/><Var name=\"u\" val=\"0\"/></Vars><Params dT=\"0.01\">"
                            "<Param name=\"p\" val=\"3\"/></Params><TFs><Eq fx=\"y/u = 3*s\"/></TFs><ODEqs>"
                            "<Eq fx=\"x' = p\"/><Eq fx=\"w' = v\"/></ODEqs><NLEqs><Eq fx=\"v = 2\"/>"
                            "<Eq fx=\"u = t\"/></NLEqs></Model>";
    for (const char* method : {"RK4", "RK6"})
    {
        SCOPED_TRACE(method);
        expectEquivalent<double, sl::DAESolver<double>>(replaced(text, "METHOD", method), "free.xml",
                                                        replaced(xml, "METHOD", method), steps200<double>);
        XmlSolver<double, sl::DAESolver<double>> s;
        ASSERT_TRUE(s.fromText(replaced(xml, "METHOD", method))) << s.errors();
        ASSERT_EQ(steps200<double>(*s.pSolver), Solution::OK);
        for (const auto& [name, expected] : {std::pair{"x", 6.0}, {"w", 4.0}, {"y", 3.0}})
        {
            double value = 0;
            ASSERT_TRUE(s.pSolver->getVariableValue(name, value));
            EXPECT_NEAR(value, expected, 1e-10) << name;
        }
    }
}

// A refused document: the builder's entries, the solver's own entry, and solve answers 7.
template <typename S> void expectRefusedBuild(const char* kind, const char* solverEntry)
{
    XmlSolver<double, S> s;
    const std::string good = replaced(readFile("dae_sample.xml"), "METHOD", "Euler");
    if (std::string(kind) == "DAE")
    {
        ASSERT_TRUE(s.fromText(good)) << s.errors();
    }
    EXPECT_FALSE(s.fromText("<?xml version=\"1.0\"?><Model type=\"" + std::string(kind) + "\"><Vars>"));
    EXPECT_EQ(s.errors(),
              std::string("(0,Other):Cannot parse xml input data\n(0,Other):Line no=1: End of input detected\n") +
                  solverEntry)
        << kind;
    EXPECT_EQ(s.pSolver->solve(), Solution::SolutionError) << kind;
    EXPECT_FALSE(s.fromText(doc(kind)));
    EXPECT_NE(s.errors().find("Model type is not"), std::string::npos) << s.errors();
    EXPECT_EQ(s.pSolver->solve(), Solution::SolutionError) << kind;
}

TEST(XmlSolver, FailedBuildsOfEachKind)
{
    expectRefusedBuild<sl::NRSolver<double>>("NR", "(0,ReadModel):Cannot read the data..");
    expectRefusedBuild<sl::WLSSolver<double>>("WLS", "(0,Other):Cannot read the data..");
    expectRefusedBuild<sl::ODESolver<double>>("ODE", "(0,ReadModel):ODESolver cannot read the data..");
    expectRefusedBuild<sl::DAESolver<double>>("DAE", "(0,Other):Cannot read the data..");
}

// Each kind's file entry, real and complex: "cannot open" when the error log names the
// parser's cannot-open text, else the log's first line.
template <typename T, typename S> std::string fileEntryOutcome(const std::string& path)
{
    XmlSolver<T, S> s;
    if (s.fromFile(path))
        return "built";
    const std::string errors = s.errors();
    const std::size_t open = errors.find("Cannot open xml file: " + path);
    return open != std::string::npos ? "cannot open" : errors.substr(0, errors.find('\n'));
}

template <typename T> std::string fileEntryOutcomes(const std::string& path)
{
    return fileEntryOutcome<T, sl::NRSolver<T>>(path) + "; " + fileEntryOutcome<T, sl::WLSSolver<T>>(path) + "; " +
           fileEntryOutcome<T, sl::ODESolver<T>>(path) + "; " + fileEntryOutcome<T, sl::DAESolver<T>>(path);
}

TEST(XmlSolver, FoldersDevicesPipesAndOversizedFilesAreRefusedUnread)
{
    test::RefusedFiles refused;
    const std::string outcomes = refused.outcomes([](const std::string& path) {
        return fileEntryOutcomes<double>(path) + "; " + fileEntryOutcomes<Cmplx>(path);
    });
    const std::string kinds = "cannot open; cannot open; cannot open; cannot open";
    std::string expected;
    for (std::size_t i = 0; i < refused.paths().size(); ++i)
        expected += kinds + "; " + kinds + "\n";
    EXPECT_EQ(outcomes, expected);
}

std::string parentWith(const std::string& init)
{
    return "<?xml version=\"1.0\"?><Model type=\"NR\"><Vars><Var name=\"x\" val=\"1\"/></Vars><Params>"
           "<Param name=\"a\" val=\"2\"/><Param name=\"c\"/></Params><NLEqs><Eq fx=\"x = c + a\"/></NLEqs><Init>" +
           init + "</Init></Model>";
}

std::string child(const std::string& attribs, const std::string& body = "<Vars><Var name=\"u\"/></Vars>"
                                                                        "<NLEqs><Eq fx=\"u = 3*a\"/></NLEqs>")
{
    return "<Model " + attribs + ">" + body + "</Model>";
}

TEST(XmlSolver, ChildModels)
{
    // Three children, one line each after the parent's (a child's entries come first in
    // the parent's log, each child's after a line break); each sees the parent's parameters
    // by name first and sets the parent's symbols through base.
    XmlSolver<double> s;
    const std::string post = "<PostProc><Eq fx=\"base.c = u\"/><Eq fx=\"base.x = 0\"/></PostProc>";
    ASSERT_TRUE(s.fromText(parentWith(
        child("name=\"one\" type=\"NR\" domain=\"real\"") + child("name=\"two\" type=\"NL\" domain=\"real\"") +
        child("name=\"three\" type=\"NR\" domain=\"real\"",
              "<Vars><Var name=\"u\"/></Vars><NLEqs><Eq fx=\"u = 3*a\"/></NLEqs>" + post))))
        << s.errors();
    ASSERT_EQ(s.pSolver->getNumberOfChildren(), 3u);
    for (td::UINT4 m = 0; m < 3; ++m)
    {
        sl::Solver<double>* pChild = s.pSolver->getChild(m);
        EXPECT_EQ(pChild->getLine(), m + 1);
        EXPECT_EQ(pChild->getNumberOfParameters(), 2u);
        EXPECT_STREQ(pChild->getSymbolName(1), "a");
        EXPECT_STREQ(pChild->getSymbolName(2), "c");
    }
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.errors();
    double c = 0, x = 0;
    ASSERT_TRUE(s.pSolver->getParameterValue("c", c));
    ASSERT_TRUE(s.pSolver->getVariableValue("x", x));
    EXPECT_EQ(c, 6.0);
    EXPECT_NEAR(x, 8.0, 1e-12);
    // The children take the parent's parameters as they stand before every solve.
    ASSERT_TRUE(s.pSolver->setParameterValue("a", 5.0));
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.errors();
    ASSERT_TRUE(s.pSolver->getParameterValue("c", c));
    EXPECT_EQ(c, 15.0);

    XmlSolver<double> none;
    ASSERT_TRUE(none.fromText(parentWith(""))) << none.errors();
    EXPECT_EQ(none.pSolver->getNumberOfChildren(), 0u);

    const struct
    {
        std::string model;
        const char* entry;
    } refusals[] = {
        {child("type=\"NR\" domain=\"real\""), "(0,Init):Init (child) model without name"},
        {child("name=\"k\" domain=\"real\""), "(0,Init):Missing type for init (child) model with name= 'k'"},
        {child("name=\"k\" type=\"NR\""),
         "(0,Init):Missing domain for init (child) model with type='NR' and name= 'k'"},
        {child("name=\"k\" type=\"nr\" domain=\"real\""),
         "(0,Init):Cannot create solver of type='nr' for model name= 'k'"},
        {child("name=\"k\" type=\"ODE\" domain=\"real\""),
         "(0,Init):Cannot initialize child solver of type='ODE' for model name= 'k'"},
        {child("name=\"k\" type=\"DAE\" domain=\"real\""),
         "(0,Init):Cannot initialize child solver of type='DAE' for model name= 'k'"},
        {child("name=\"k\" type=\"WLS\" domain=\"real\""),
         "(0,Init):Cannot initialize child solver of type='WLS' for model name= 'k'"},
        {child("name=\"k\" type=\"NR\" domain=\"real\"", "<Vars><Var name=\"u\"/></Vars>"),
         "\n(1,Other):Missing NLEqs node!\n(0,Init):Cannot initialize child solver of type='NR' for model name= 'k'"},
    };
    for (const auto& r : refusals)
    {
        XmlSolver<double> p;
        EXPECT_FALSE(p.fromText(parentWith(r.model))) << r.model;
        EXPECT_EQ(p.errors(), std::string(r.entry) + "\n(0,ReadModel):Cannot read the data..") << r.model;
    }
}
} // namespace
