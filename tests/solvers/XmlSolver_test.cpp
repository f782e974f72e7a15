// Solvers built from XML model documents (slot 22): each kind solves or steps a model
// written as XML (file and text) as it does the same model written as text; failed builds,
// child models.
#include <cmath>
#include <cstring>
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
              std::string("(1,Other):Cannot parse xml input data\n(1,Other):Line no=1: End of input detected\n") +
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
        {child("type=\"NR\" domain=\"real\""), "(1,Init):Init (child) model without name"},
        {child("name=\"k\" domain=\"real\""), "(1,Init):Missing type for init (child) model with name= 'k'"},
        {child("name=\"k\" type=\"NR\""),
         "(1,Init):Missing domain for init (child) model with type='NR' and name= 'k'"},
        {child("name=\"k\" type=\"nr\" domain=\"real\""),
         "(1,Init):Cannot create solver of type='nr' for model name= 'k'"},
        {child("name=\"k\" type=\"ODE\" domain=\"real\""),
         "(1,Init):Cannot initialize child solver of type='ODE' for model name= 'k'"},
        {child("name=\"k\" type=\"DAE\" domain=\"real\""),
         "(1,Init):Cannot initialize child solver of type='DAE' for model name= 'k'"},
        {child("name=\"k\" type=\"WLS\" domain=\"real\""),
         "(1,Init):Cannot initialize child solver of type='WLS' for model name= 'k'"},
        {child("name=\"k\" type=\"NR\" domain=\"real\"", "<Vars><Var name=\"u\"/></Vars>"),
         "\n(1,Other):Missing NLEqs node!\n(1,Init):Cannot initialize child solver of type='NR' for model name= 'k'"},
    };
    for (const auto& r : refusals)
    {
        XmlSolver<double> p;
        EXPECT_FALSE(p.fromText(parentWith(r.model))) << r.model;
        EXPECT_EQ(p.errors(), std::string(r.entry) + "\n(0,ReadModel):Cannot read the data..") << r.model;
    }
}

// A text as the value of an XML attribute.
std::string attributeText(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        switch (c)
        {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

// One expression e in every kind of statement that reads one, in a model text and in an
// XML document of the same model: a start value (sv), the right side of an equation (x1)
// and its left side (x2), the conditions of a conditional equation (y) and of a conditional
// assignment (b), that assignment's branch (b) and a plain assignment (a); th is the
// threshold of both conditions.
struct BothRoads
{
    std::string text;
    std::string xml;
};

template <typename T> BothRoads modelsReading(const std::string& e)
{
    const bool complex = sl::ValueTraits<T>::isComplex;
    const std::string x = attributeText(e);
    BothRoads m;
    m.text = std::string("Model [type = NL, eps = 1e-12") + (complex ? ", domain = cmplx" : "") +
             "]:\nVars:\nx1 = 0; x2 = 0; y = 0\nParams:\np = 3\nth = 0\nsv = " + e +
             "\na = 0\nb = 0\nNLEs:\nx1 = " + e + "\n" + e + " + x2 = 0\nif " + e +
             " >= th\n    y = 1\nelse\n    y = 2\nend\nPostProc:\na = " + e + "\nif " + e + " >= th\n    b = " + e +
             "\nelse\n    b = 7\nend\nend\n";
    m.xml = std::string("<?xml version=\"1.0\"?>\n<Model type=\"NR\" eps=\"1e-12\"") +
            (complex ? " domain=\"cmplx\"" : "") +
            ">\n<Vars conj=\"false\"><Var name=\"x1\" val=\"0\"/><Var name=\"x2\" val=\"0\"/><Var name=\"y\" "
            "val=\"0\"/></Vars>\n<Params><Param name=\"p\" val=\"3\"/><Param name=\"th\" val=\"0\"/><Param "
            "name=\"sv\" val=\"" +
            x + "\"/><Param name=\"a\" val=\"0\"/><Param name=\"b\" val=\"0\"/></Params>\n<NLEqs>\n<Eq fx=\"x1 = " + x +
            "\"/>\n<Eq fx=\"" + x + " + x2 = 0\"/>\n<Eq cond=\"" + x + " &gt;= th\"><Then fx=\"y = 1\"/><Else " +
            "fx=\"y = 2\"/></Eq>\n</NLEqs>\n<PostProc><Eq fx=\"a = " + x + "\"/><Eq cond=\"" + x +
            " &gt;= th\"><Then fx=\"b = " + x + "\"/><Else fx=\"b = 7\"/></Eq></PostProc>\n</Model>\n";
    return m;
}

template <typename T> class XmlReadings : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(XmlReadings, Builds);

// Both roads read an expression alike in every kind of statement, bit for bit, and as its
// value says: a solve at a threshold of the value and at the next double above it.
TYPED_TEST(XmlReadings, EveryStatementReadsAnExpressionAsTheModelTextDoes)
{
    using T = TypeParam;
    struct Reading
    {
        const char* expression;
        T value;
    };
    std::vector<Reading> readings = {
        {"-2^2", T(4)},     {"- 2^2", T(-4)},     {"-(2^2)", T(-4)},        {"2^-2", T(0.25)},
        {"-2^-2", T(0.25)}, {"3*-2^2", T(12)},    {"-p^2", T(-9)},          {"1 - -2^2", T(-3)},
        {"p*-2", T(-6)},    {"-p*-2", T(6)},      {"-2.5e-1^2", T(0.0625)}, {"2 - 3 - 4", T(-5)},
        {"-1 - -1", T(0)},  {"(p == 3)*2", T(2)}, {"(p >= 3) - 1", T(0)},   {"-3 + p", T(0)},
        {"-(p)", T(-3)},    {"10*(-p)", T(-30)},  {"abs(-2^2)", T(4)},      {"2*-3", T(-6)}};
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        readings.push_back({"3 + 4i", T(3, 4)});
        readings.push_back({"-2i*2i", T(4)});
        readings.push_back({"(1 + 2i)*-3", T(-3, -6)});
        readings.push_back({"-1 + 2i", T(-1, 2)});
    }
    for (const Reading& r : readings)
    {
        SCOPED_TRACE(r.expression);
        const BothRoads m = modelsReading<T>(r.expression);
        BuiltSolver<T> text;
        ASSERT_TRUE(text.build(m.text)) << text.keys();
        XmlSolver<T> xml;
        ASSERT_TRUE(xml.fromText(m.xml)) << xml.errors();
        EXPECT_NEAR(std::abs(text.value("sv") - r.value), 0, 1e-12);
        // The thresholds: the value as the text road reads it and the next double above.
        ASSERT_EQ(text.pSolver->solve(), Solution::OK);
        const double v = test::re(text.value("a"));
        for (const double th : {v, std::nextafter(v, 1e300)})
        {
            SCOPED_TRACE(th);
            for (sc::ISolver<T>* s :
                 {static_cast<sc::ISolver<T>*>(text.pSolver), static_cast<sc::ISolver<T>*>(xml.pSolver)})
            {
                ASSERT_TRUE(s->setParameterValue("th", T(th)));
                ASSERT_EQ(s->solve(), Solution::OK);
            }
            const std::map<std::string, T> a = valuesByName(*text.pSolver), b = valuesByName(*xml.pSolver);
            ASSERT_EQ(a.size(), b.size());
            for (const auto& [name, value] : a)
            {
                const auto it = b.find(name);
                ASSERT_NE(it, b.end()) << name;
                EXPECT_EQ(std::memcmp(&value, &it->second, sizeof(T)), 0) << name << ": " << value << " " << it->second;
            }
            const bool holds = th == v;
            EXPECT_NEAR(std::abs(text.value("x1") - r.value), 0, 1e-12);
            EXPECT_NEAR(std::abs(text.value("x2") + r.value), 0, 1e-12);
            EXPECT_NEAR(std::abs(text.value("a") - r.value), 0, 1e-12);
            EXPECT_EQ(text.value("y"), T(holds ? 1 : 2));
            EXPECT_EQ(text.value("b"), holds ? text.value("a") : T(7));
        }
    }
}

// The equation sign stands where a model text has it: not in a comparison of the left side,
// and before a comment of the left side, which stays out of the residual; a minus before a
// number after the `=` of an assignment belongs to the number as in equations, so -2^2 is
// (-2)^2 wherever it stands.
TYPED_TEST(XmlReadings, EquationSignsAndMinusSignsStandWhereTheModelTextHasThem)
{
    using T = TypeParam;
    const bool complex = sl::ValueTraits<T>::isComplex;
    const std::string xml =
        std::string("<?xml version=\"1.0\"?>\n<Model type=\"NR\" eps=\"1e-12\"") +
        (complex ? " domain=\"cmplx\"" : "") +
        ">\n<Vars conj=\"false\"><Var name=\"x\" val=\"1\"/><Var name=\"y\" val=\"1\"/><Var name=\"z\" val=\"1\"/>"
        "<Var name=\"w\" val=\"1\"/></Vars>\n<Params><Param name=\"p\" val=\"1\"/><Param name=\"q\" val=\"0\"/>"
        "<Param name=\"r\" val=\"0\"/><Param name=\"c\" val=\"0\"/></Params>\n<NLEqs>\n"
        "<Eq fx=\"(p == 1)*x = 3\"/>\n<Eq fx=\"(p != 2)*y + (p &gt;= 1) = 5\"/>\n"
        "<Eq fx=\"z // the left side&#10; = 4\"/>\n<Eq fx=\"w = -2^2\"/>\n</NLEqs>\n"
        "<PreProc><Eq fx=\"q = -2^2\"/></PreProc>\n<PostProc><Eq fx=\"r = -2^2 + q\"/><Eq cond=\"p &gt; 0\">"
        "<Then fx=\"c = -2^2\"/></Eq></PostProc>\n</Model>\n";
    XmlSolver<T> s;
    ASSERT_TRUE(s.fromText(xml)) << s.errors();
    ASSERT_EQ(s.pSolver->solve(), Solution::OK) << s.errors();
    const T square = T(std::pow(-2.0, 2));
    const std::pair<const char*, T> expected[] = {
        {"x", T(3)}, {"y", T(4)}, {"z", T(4)}, {"w", square}, {"q", square}, {"r", square + square}, {"c", square}};
    for (const auto& [name, value] : expected)
    {
        T v{};
        ASSERT_TRUE(s.pSolver->getVariableValue(name, v) || s.pSolver->getParameterValue(name, v)) << name;
        EXPECT_NEAR(std::abs(v - value), 0, 1e-12) << name;
    }
}

// A minus after an operator starts an operand only as the sign of a number: before a name
// both roads refuse it at the minus, a bracket takes it.
TYPED_TEST(XmlReadings, AMinusAfterAnOperatorIsTheSignOfANumberOnly)
{
    using T = TypeParam;
    const bool complex = sl::ValueTraits<T>::isComplex;
    const auto text = [complex](const std::string& e) {
        return std::string("Header:\nmaxIter = 100\nend\nModel [type = NL") + (complex ? ", domain = cmplx" : "") +
               "]:\nVars:\nz = 0\nParams:\nx = 2\ny = 3\nNLEs:\nz = " + e + "\nend\n";
    };
    const auto xml = [complex](const std::string& e) {
        return std::string("<?xml version=\"1.0\"?>\n<Model type=\"NR\"") + (complex ? " domain=\"cmplx\"" : "") +
               ">\n<Vars conj=\"false\"><Var name=\"z\" val=\"0\"/></Vars>\n<Params><Param name=\"x\" val=\"2\"/>"
               "<Param name=\"y\" val=\"3\"/></Params>\n<NLEqs><Eq fx=\"z = " +
               attributeText(e) + "\"/></NLEqs>\n</Model>\n";
    };
    for (const auto& [e, op] : {std::pair{"x*-y", "*"}, {"x + -y", "+"}, {"x^-y", "^"}, {"x - -y", "-"}})
    {
        SCOPED_TRACE(e);
        const std::string equation = std::string("z = ") + e;
        const std::size_t minus = equation.rfind('-') + 1;
        BuiltSolver<T> t;
        EXPECT_FALSE(t.loaded.fromString(text(e)) && t.pSolver->init(&t.loaded.naming, *t.loaded.model, true));
        ASSERT_FALSE(t.log.messages.empty());
        const test::RecordingLog::Message& first = t.log.messages.front();
        EXPECT_NE(first.text.find("OperAfterOper"), std::string::npos) << first.text;
        EXPECT_EQ(first.line, 11u);
        EXPECT_EQ(first.col, minus);
        XmlSolver<T> x;
        EXPECT_FALSE(x.fromText(xml(e)));
        EXPECT_NE(x.errors().find("(5,NLEqs):Cannot make expression for: " + equation + " (@ET.OperAfterOper: -, " +
                                  op + " at position " + std::to_string(minus) + ")"),
                  std::string::npos)
            << x.errors();
    }
    for (const auto& [e, value] : {std::pair{"x*-2", -4.0}, {"x*(-y)", -6.0}, {"(-y)*2", -6.0}, {"x - (-y)", 5.0}})
    {
        SCOPED_TRACE(e);
        BuiltSolver<T> t;
        ASSERT_TRUE(t.build(text(e))) << t.keys();
        XmlSolver<T> x;
        ASSERT_TRUE(x.fromText(xml(e))) << x.errors();
        for (sc::ISolver<T>* s : {static_cast<sc::ISolver<T>*>(t.pSolver), static_cast<sc::ISolver<T>*>(x.pSolver)})
        {
            ASSERT_EQ(s->solve(), Solution::OK);
            T z{};
            ASSERT_TRUE(s->getVariableValue("z", z));
            EXPECT_NEAR(std::abs(z - T(value)), 0, 1e-12);
        }
    }
}
} // namespace
