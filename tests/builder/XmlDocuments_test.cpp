// The XML road's documents through the builder: what each kind refuses (with its entries),
// and what accepted documents give (symbols, start values, residuals, records).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <xml/DOMParser.h>

#include "StatisticsNames.h"
#include "XmlBuildSupport.h"
#include "XmlEquationReader.h"
#include "XmlTexts.h"

namespace
{
using test::Cmplx;
using test::doc;
using test::XmlBuild;

// Builds a document of a kind ("NR", "ODE", "DAE", "WLS") from its text.
template <typename T> bool buildKind(XmlBuild<T>& b, const std::string& kind, const std::string& text)
{
    if (kind == "NR")
        return b.nr(text);
    if (kind == "ODE")
        return b.ode(text);
    if (kind == "DAE")
        return b.dae(text);
    return b.wls(text);
}

const std::string s_xy = "<Vars><Var name=\"x\"/><Var name=\"y\"/></Vars>";
const std::string s_xyEqs = "<NLEqs><Eq fx=\"x = 1\"/><Eq fx=\"y = 2\"/></NLEqs>";

// One refused document: its kind, root attributes and body, and a text its error log holds.
struct Refusal
{
    const char* kind;
    std::string attribs;
    std::string body;
    std::string entry;
};

void expectRefused(const Refusal* first, const Refusal* last)
{
    for (const Refusal* c = first; c != last; ++c)
    {
        XmlBuild<double> b;
        const std::string attribs = c->attribs.empty() ? std::string("type=\"") + c->kind + "\"" : c->attribs;
        EXPECT_FALSE(buildKind(b, c->kind, doc(attribs, c->body))) << c->body;
        EXPECT_NE(b.errors().find(c->entry), std::string::npos) << c->body << "\n" << b.errors();
        EXPECT_EQ(b.data.currentSection, 0) << c->body;
        // The XML road writes the error log only.
        EXPECT_TRUE(b.log.messages.empty()) << c->body;
    }
}

TEST(XmlDocuments, HeaderAndCountRefusals)
{
    const std::string wlsVars = "<Vars><Var name=\"x\"/><Var name=\"y\"/><Var name=\"z\"/></Vars>";
    const Refusal cases[] = {
        {"NR", "type=\"NL\"", s_xy + s_xyEqs, "(2,Other):Model type is not NR"},
        {"NR", "type=\"nr\"", s_xy + s_xyEqs, "Model type is not NR"},
        {"NR", "desc=\"d\"", s_xy + s_xyEqs, "Undefined model type!"},
        {"ODE", "type=\"DAE\"", s_xy, "Model type is not ODE"},
        {"NR", "type=\"NR\" domain=\"cmplx\"", s_xy + s_xyEqs, "Numeric type is not 'real'"},
        {"NR", "type=\"NR\" eps=\"small\"", s_xy + s_xyEqs, "eps"},
        {"NR", "type=\"NR\" eps=\"-1e-6\"", s_xy + s_xyEqs, "eps"},
        {"NR", "", "<Vars><Var name=\"x\"/><Var name=\"y\"/><Var name=\"z\"/></Vars>" + s_xyEqs,
         "(2,Other):Detected 3 variables and 2 equations!"},
        {"NR", "", s_xy, "Missing NLEqs node!"},
        {"NR", "", s_xy + "<NLEqs/>", "Missing Eq node in NLEqs!"},
        {"ODE", "", s_xy, "Number of unknows and number of equations do not match"},
        {"WLS", "", wlsVars + "<MeasEqs><Eq fx=\"x = 1\"/><Eq fx=\"y = 1\"/></MeasEqs>",
         "Number of equations < number of variables"},
        {"WLS", "", wlsVars, "MeasEqs node is not specified! Missing MeasEqs tag!"},
        {"WLS", "", wlsVars + "<MeasEqs/>", "No measurement equations"},
        {"DAE", "", s_xy + s_xyEqs, "Missing both ODE and TF equaitons in DAE model!"},
        {"DAE", "", s_xy + "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs>",
         "Number of unknows and number of equations do not match"},
    };
    expectRefused(std::begin(cases), std::end(cases));
}

TEST(XmlDocuments, ParseFailuresOfEachKind)
{
    struct Case
    {
        const char* kind;
        const char* fileEntry;
    } cases[] = {{"NR", "(3,Other):Cannot parse the file"},
                 {"ODE", "(3,Other):Cannot parse the file!"},
                 {"DAE", "(3,Other):Cannot parse the file!"},
                 {"WLS", "(3,Other):Cannot parse the xml file"}};
    // broken.xml closes Vars before Var on its third line: both entries stand there.
    const std::string brokenAt = "\n(3,Other):Line no=3: Unexpected closing element name: 'Vars'. Expected: 'Var'";
    for (const Case& c : cases)
    {
        XmlBuild<double> text;
        EXPECT_FALSE(buildKind(text, c.kind, "<Model type=\"NR\"><Vars>"));
        // The parser's error follows, at its line of the document counted from 1.
        EXPECT_EQ(text.errors(), "(1,Other):Cannot parse xml input data\n(1,Other):Line no=1: Wrong XML header")
            << c.kind;
        XmlBuild<double> file;
        file.solver.stores.settings.inputKind = 0;
        EXPECT_FALSE(buildKind(file, c.kind, test::xmlPath("broken.xml")));
        EXPECT_EQ(file.errors(), c.fileEntry + brokenAt) << c.kind;
        XmlBuild<double> other;
        other.solver.stores.settings.inputKind = 2;
        EXPECT_FALSE(buildKind(other, c.kind, test::readXml("nr_sample.xml")));
    }
    // A file that cannot be opened has no line.
    XmlBuild<double> file;
    file.solver.stores.settings.inputKind = 0;
    EXPECT_FALSE(file.nr(test::xmlPath("no-such-document.xml")));
    EXPECT_EQ(file.errors(), "(0,Other):Cannot parse the file\n(0,Other):Cannot open xml file: " +
                                 test::xmlPath("no-such-document.xml"));
}

TEST(XmlDocuments, HeaderDomainDescAndEps)
{
    XmlBuild<double> real;
    real.data.results.eps = 0.5;
    ASSERT_TRUE(real.nr(doc("type=\"NR\" eps=\"\" desc=\"two\"", s_xy + s_xyEqs))) << real.errors();
    EXPECT_EQ(real.data.results.eps, 0.5);
    EXPECT_STREQ(real.solver.stores.modelDescription.c_str(), "two");
    XmlBuild<double> withEps;
    ASSERT_TRUE(withEps.nr(doc("type=\"NR\" domain=\"real\" eps=\"1e-9\"", s_xy + s_xyEqs))) << withEps.errors();
    EXPECT_EQ(withEps.data.results.eps, 1e-9);

    const struct
    {
        const char* attribs;
        const char* entry;
    } complexCases[] = {{"type=\"NR\"", "Numeric domain is not specified!"},
                        {"type=\"NR\" domain=\"real\"", "Numeric type is not 'cmplx'"},
                        {"type=\"NR\" domain=\"cmplx\"", nullptr}};
    for (const auto& c : complexCases)
    {
        XmlBuild<Cmplx> b;
        const std::string vars = "<Vars conj=\"false\"><Var name=\"x\"/><Var name=\"y\"/></Vars>";
        EXPECT_EQ(b.nr(doc(c.attribs, vars + s_xyEqs)), c.entry == nullptr) << c.attribs << b.errors();
        if (c.entry)
        {
            // At the Model element, whose attribute it is.
            EXPECT_EQ(b.errors(), std::string("(2,Other):") + c.entry);
        }
    }
}

TEST(XmlDocuments, DeclarationRefusals)
{
    const std::string name33(33, 'v');
    const std::string oneEq = "<NLEqs><Eq fx=\"x = 1\"/></NLEqs>";
    const std::string odeX = "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs>";
    const Refusal cases[] = {
        {"NR", "", oneEq, "Missing declation of variables!"},
        {"NR", "", "<Vars/>" + oneEq, "There is no any variable declared!"},
        {"NR", "", "<Vars><Var val=\"1\"/></Vars>" + oneEq, "(3,Vars):Empty variable name!"},
        {"NR", "", "<Vars><Var name=\"" + name33 + "\"/></Vars>" + oneEq,
         "Maximum allowed variable name length is 32 chars! Var name=" + name33},
        {"NR", "", s_xy + "<Params><Param name=\"x\"/></Params>" + s_xyEqs, "(3,Params):Parameter declared twice: x"},
        {"NR", "", "<Vars><Var name=\"x\"/><Var name=\"x\"/></Vars>" + s_xyEqs, "Variable declared twice: x"},
        {"NR", "", s_xy + "<Params><Param name=\"k{a\"/></Params>" + s_xyEqs,
         "Parameter name is not formatted properly! Par name=k{a"},
        {"NR", "", s_xy + "<Params><Param val=\"1\"/></Params>" + s_xyEqs,
         "(3,Params):Empty parameter name!\n(3,Params):Par#: 0"},
        {"NR", "", s_xy + "<Params><Param name=\"\"/></Params>" + s_xyEqs, "(3,Params):Empty parameter name!"},
        {"NR", "", "<Vars><Var name=\"x\" val=\"(1+\"/><Var name=\"y\"/></Vars>" + s_xyEqs,
         "Error in initial value expression: (1+"},
        // Deferred values: a cycle, a name nothing declares.
        {"NR", "", "<Vars><Var name=\"x\" val=\"y+1\"/><Var name=\"y\" val=\"2*x\"/></Vars>" + s_xyEqs,
         "Something wrong with initial value expression: "},
        {"NR", "", "<Vars><Var name=\"x\" val=\"q+1\"/><Var name=\"y\"/></Vars>" + s_xyEqs,
         "(3,Other):Something wrong with initial value expression: q+1\n(3,Vars):Var#: 0"},
        // The time parameters keep their names in dynamic documents.
        {"ODE", "", "<Vars><Var name=\"t\"/></Vars><ODEqs><Eq fx=\"t' = 1\"/></ODEqs>", "t"},
        {"ODE", "", "<Vars><Var name=\"dT\"/></Vars><ODEqs><Eq fx=\"dT' = 1\"/></ODEqs>", "dT"},
        {"ODE", "", "<Vars><Var name=\"x\"/></Vars><Params><Param val=\"1\"/></Params>" + odeX,
         "(3,Params):Empty name\n(3,Params):Par#: 0"},
        {"ODE", "", "<Vars><Var name=\"x\"/></Vars><Params><Param name=\"k\"/><Param name=\"k\"/></Params>" + odeX,
         "Param declared twice: k"},
    };
    expectRefused(std::begin(cases), std::end(cases));
}

TEST(XmlDocuments, DynamicEquationRefusals)
{
    const std::string xv = "<Vars><Var name=\"x\"/><Var name=\"v\"/></Vars>";
    auto odes = [](const std::string& first) {
        return "<ODEqs><Eq fx=\"" + first + "\"/><Eq fx=\"v' = -x\"/></ODEqs>";
    };
    const std::string left33 = std::string(32, 'w') + "'", left34 = std::string(33, 'w') + "'";
    const Refusal cases[] = {
        {"ODE", "", xv + odes("x' = int(v)"),
         "(3,ODEqs):Cannot combine integrate with differentiate in a single ODE. Error in ODE eq:x' = int(v)\n"
         "(3,ODEqs):Eq#: 0"},
        {"ODE", "", xv + odes("x = int(v) + int(x)"),
         "More than one 'int' specified in ODE equation:x = int(v) + int(x)"},
        {"ODE", "", xv + odes("x = v"), "Missing ' or 'int' in ODE equation:x = v"},
        {"ODE", "", xv + odes("x = t*int(v)"),
         "Detected int (integrate) with time or state variables outside of 'int' function in ODE equation:x = "
         "t*int(v)"},
        {"ODE", "", xv + odes("x = int(v) + 1"), "The integration (int) function can only be multiplied or divided"},
        {"ODE", "", xv + odes("' = v"), "Missing state variable name in ODE equation: ' = v"},
        {"ODE", "", xv + odes(left34 + " = v"), "Variable name in ODE equation too long. Eq=" + left34 + " = v"},
        {"ODE", "", xv + odes(left33 + " = v"), "Undeclared state variable:" + std::string(32, 'w')},
        {"ODE", "", xv + odes("x' v"), "Missing equation sign in ODE equation: x' v"},
        {"ODE", "", xv + odes("x' = "), "Right hand side of ODE equation x' =  is empty"},
        {"ODE", "", xv + "<Params><Param name=\"k\"/></Params>" + odes("k' = v"),
         "State variable cannot be declared as a parameter! Variable name=k in ODEeq=k' = v"},
        // One ODE per state, in ODE documents and in DAE documents of every method.
        {"ODE", "", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(3,ODEqs):State variable already used!\n(3,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"Euler\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(3,ODEqs):State variable already used!\n(3,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"Trapez\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x = int(x)\"/></ODEqs>",
         "State variable already used!"},
        {"DAE", "type=\"DAE\" method=\"RK4\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(3,ODEqs):State variable already used!\n(3,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"RK6\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "State variable already used!"},
        {"DAE", "type=\"DAE\" method=\"RK4\"", xv + "<ODEqs><Eq fx=\"q' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(3,ODEqs):Undeclared state variable:q, found in ODE equation:q' = v\n(3,ODEqs):Eq#: 0"},
        // Transfer functions.
        {"DAE", "", xv + "<TFs><Eq fx=\"x = v/(s+1)\"/></TFs><NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "(3,TFs):Missing division sign '/' in left part of TF Equation! TF must be in form y/=f(s)\n(3,TFs):Eq#: 0"},
        {"DAE", "", xv + "<TFs><Eq fx=\"x/v\"/></TFs>", "Missing equaity sign '=' in fx part of TF Equation!"},
        {"DAE", "", xv + "<TFs><Eq fx=\"x/v = 1/(s+\"/></TFs>", "Something wrong with TF expression: 1/(s+"},
        {"DAE", "", xv + "<TFs><Eq fx=\"q/v = 1/(s+1)\"/></TFs><NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "TF output 'q' was not declared! It must be declared as a variable!"},
        {"DAE", "",
         xv + "<Params><Param name=\"k\"/></Params><TFs><Eq fx=\"k/v = 1/(s+1)\"/></TFs>" +
             "<NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "TF output 'k' was declared as a parameter! It must be declared as a variable!"},
        {"DAE", "", xv + "<TFs><Eq fx=\"x/q = 1/(s+1)\"/></TFs><NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "TF input 'q' was not declared! It must be declared as a variable!"},
        {"DAE", "", xv + "<TFs><Eq fx=\"x/v = 2*s\"/><Eq fx=\" x /q = 3*s\"/></TFs>",
         "(3,TFs):TF output 'x' is the output of another TF already!\n(3,TFs):Eq#: 1"},
        {"DAE", "", xv + "<TFs><Eq fx=\"x/v = 1/(s+1)\"/></TFs><ODEqs><Eq fx=\"x' = v\"/></ODEqs>",
         "TF output 'x' is the state variable of an ODE!"},
    };
    expectRefused(std::begin(cases), std::end(cases));
}

// A declared name equal to one the DAE build generates is refused, never aliased.
TEST(XmlDocuments, GeneratedNamesAreNotAliased)
{
    const struct
    {
        const char* method;
        std::string body;
        const char* name;
    } cases[] = {
        {"RK4",
         "<Vars><Var name=\"x#k1\"/><Var name=\"x\"/><Var name=\"v\"/></Vars>"
         "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs><NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "x#k1"},
        {"Euler",
         "<Vars><Var name=\"x\"/></Vars><Params><Param name=\"x@_\"/></Params>"
         "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs>",
         "x@_"},
        {"Euler",
         "<Vars><Var name=\"y\"/><Var name=\"u\"/><Var name=\"y'x1\"/></Vars>"
         "<TFs><Eq fx=\"y/u = 1/(s+1)\"/></TFs><NLEqs><Eq fx=\"u = 1\"/></NLEqs>",
         "y'x1"},
        {"Euler",
         "<Vars><Var name=\"y\"/><Var name=\"u\"/></Vars><Params><Param name=\"y#div\"/></Params>"
         "<TFs><Eq fx=\"y/u = (s^2+1)/(s+2)\"/></TFs><NLEqs><Eq fx=\"u = 1\"/></NLEqs>",
         "y#div"},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        EXPECT_FALSE(b.dae(doc(std::string("type=\"DAE\" method=\"") + c.method + "\"", c.body))) << c.name;
        EXPECT_NE(b.errors().find(c.name), std::string::npos) << b.errors();
        int named = 0;
        for (td::UINT4 i = 0; i < b.solver.stores.symbols.getNumberOfNames(); ++i)
            named += std::string(b.solver.stores.symbols.nameAt(i)->c_str()) == c.name;
        EXPECT_LE(named, 1) << c.name;
    }
}

TEST(XmlDocuments, DeclaredSymbolsAndStartValues)
{
    const std::string name32(32, 'n');
    XmlBuild<double> b;
    ASSERT_TRUE(b.nr(doc("type=\"NR\"",
                         "<Vars out=\"TRUE\"><Var name=\"" + name32 +
                             "\" val=\"2.5 \"/>"
                             "<Var name=\"x\" val=\"2*3\" out=\"true\"/><Var name=\"y\" val=\"x + 10\"/></Vars>"
                             "<Params><Param name=\"q\" val=\"y - 6\" out=\"true\"/><Param name=\"k{a, b}\" val=\"5\"/>"
                             "<Param name=\"dT\" val=\"0.25\"/><Param name=\"t\"/><Param name=\"{c}\"/></Params>"
                             "<NLEqs><Eq fx=\"x = 1\"/><Eq fx=\"y = 1\"/><Eq fx=\"" +
                             name32 + " = 1\"/></NLEqs>")))
        << b.errors();
    auto& st = b.solver.stores;
    // A group counts its members; deferred values follow what they read, whatever the order.
    EXPECT_EQ(st.nVars, 3u);
    EXPECT_EQ(st.nParams, 6u);
    const std::pair<const char*, double> values[] = {{"x", 6}, {"y", 16}, {"q", 10}, {"k.a", 5}, {"k.b", 5}, {"t", 0}};
    for (const auto& [name, v] : values)
        EXPECT_EQ(b.value(name), v) << name;
    EXPECT_EQ(b.value(name32.c_str()), 2.5);
    EXPECT_GE(b.index("{c}"), 0);
    // In a static document dT is an ordinary parameter that gives the step.
    EXPECT_EQ(b.data.results.indexOfDeltaTParam, 3);
    EXPECT_EQ(b.data.results.stepValue, 0.25);
    // Only the exact words mark outputs, and parameters only in dynamic documents.
    EXPECT_EQ(st.symbolInfo[static_cast<td::UINT4>(b.index("x"))].kind, 2);
    EXPECT_EQ(st.symbolInfo[static_cast<td::UINT4>(b.index("y"))].kind, 0);
    EXPECT_EQ(st.symbolInfo[static_cast<td::UINT4>(b.index("q"))].kind, 0);
    EXPECT_EQ(st.symbols.nameAt(st.nVars + st.nParams)->c_str(), std::string("repeat#"));
}

TEST(XmlDocuments, TimeParametersOfDynamicDocuments)
{
    const struct
    {
        std::string params;
        const char* names;
        td::INT4 dT, t;
        double step;
    } cases[] = {
        {"", "dT t", 0, 1, 0.5},
        {"<Params dT=\"0.1\"><Param name=\"k{a,b}\" out=\"true\"/></Params>", "k.a k.b dT t", 2, 3, 0.1},
        {"<Params><Param name=\"t\" val=\"1\"/><Param name=\"m\"/></Params>", "t m dT", 2, 0, 0.5},
        {"<Params dT=\"-1\"><Param name=\"dT\" val=\"2\"/></Params>", "dT t", 0, 1, 0.5},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        b.data.results.stepValue = 0.5;
        ASSERT_TRUE(b.ode(
            doc("type=\"ODE\"", "<Vars><Var name=\"x\"/></Vars>" + c.params + "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs>")))
            << b.errors();
        auto& st = b.solver.stores;
        std::string names;
        for (td::UINT4 i = st.nVars; i < st.nVars + st.nParams; ++i)
            names += std::string(names.empty() ? "" : " ") + st.symbols.nameAt(i)->c_str();
        EXPECT_EQ(names, c.names) << c.params;
        EXPECT_EQ(b.data.results.indexOfDeltaTParam, c.dT) << c.params;
        EXPECT_EQ(b.data.results.indexOfTParam, c.t) << c.params;
        EXPECT_EQ(b.data.results.stepValue, c.step) << c.params;
        if (c.dT == 2 && c.t == 3)
        {
            EXPECT_EQ(st.symbolInfo[st.nVars].kind, 2);
        }
    }
}

TEST(XmlDocuments, ComplexStartValues)
{
    const struct
    {
        const char* val;
        Cmplx value;
    } cases[] = {{"1+2i", {1, 2}},    {"2i", {0, 2}},  {"3", {3, 0}},    {"2i+1", {1, 2}},     {"4 -2i", {4, -2}},
                 {"1 - 2i", {1, -2}}, {"1+2", {3, 0}}, {"p*1i", {0, 7}}, {"q*1i - p", {-7, 5}}};
    for (const auto& c : cases)
    {
        XmlBuild<Cmplx> b;
        ASSERT_TRUE(
            b.nr(doc("type=\"NR\" domain=\"cmplx\"",
                     std::string("<Vars><Var name=\"x\" val=\"") + c.val +
                         "\"/></Vars><Params><Param name=\"p\" val=\"7\"/><Param name=\"q\" val=\"5\"/></Params>"
                         "<NLEqs><Eq fx=\"x = 1\"/><Eq fx=\"x = 2\"/></NLEqs>")))
            << c.val << b.errors();
        EXPECT_EQ(b.value("x"), c.value) << c.val;
        // Partners are on unless conj says otherwise; each starts at the conjugate.
        EXPECT_EQ(b.value("#x"), std::conj(c.value)) << c.val;
        // Parameters have none.
        EXPECT_EQ(b.solver.stores.nParams, 2u);
        EXPECT_LT(b.index("#q"), 0);
        EXPECT_STREQ(b.solver.stores.symbols.nameAt(4)->c_str(), "repeat#");
    }
    Cmplx v;
    for (const char* text : {"1+2", "1i+2i", "1+2i x", "i"})
        EXPECT_FALSE(sl::xmlnodes::parseComplexNumber(v, text, true)) << text;
    XmlBuild<Cmplx> off;
    ASSERT_TRUE(off.nr(doc("type=\"NR\" domain=\"cmplx\"",
                           "<Vars conj=\"no\"><Var name=\"x\" val=\"1-1i\"/></Vars><NLEqs><Eq fx=\"x = 1\"/></NLEqs>")))
        << off.errors();
    EXPECT_EQ(off.solver.stores.nVars, 1u);
    EXPECT_LT(off.index("#x"), 0);
    EXPECT_EQ(off.solver.stores.settings.conjugatePartners, 0);
}

TEST(XmlDocuments, EquationsByTheirResiduals)
{
    // x = 2, y = 3 (a parameter), a = 1, b = 4.
    const struct
    {
        std::string eq;
        double residual;
    } cases[] = {
        {"<Eq fx=\"x*y = 6\"/>", 0},
        {"<Eq fx=\"x = 0\"/>", 2},
        {"<Eq fx=\"x = -2.5\"/>", 4.5},
        {"<Eq fx=\"x = 3\"/>", -1},
        {"<Eq fx=\"y = a+b\"/>", -2},
        {"<Eq fx=\"x =\"/>", 2},
        // A comment after the right side.
        {"<Eq fx=\"x = 3 // the set point\"/>", -1},
        {"<Eq fx=\"x = a + b // the sum\"/>", -3},
        {"<Eq fx=\"x*1e1\"/>", 20},
        {"<Eq fx=\"x = 1\" cond=\"x &gt; 0\"/>", 1},
        {"<Eq cond=\"x &gt; 0\"><Then fx=\"x = 5\"><Eq fx=\"x = 7\"/></Then><Else fx=\"x = 6\"/></Eq>", -3},
        {"<Eq cond=\"x &gt; 9\"><Then fx=\"x = 5\"/><Else><Eq cond=\"y &lt; 0\"><Then fx=\"x\"/>"
         "<Else><Eq fx=\"x = y\"/></Else></Eq></Else></Eq>",
         -1},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        ASSERT_TRUE(b.nr(doc("type=\"NR\"", "<Vars><Var name=\"x\" val=\"2\"/></Vars><Params><Param name=\"y\" "
                                            "val=\"3\"/><Param name=\"a\" val=\"1\"/><Param name=\"b\" val=\"4\"/>"
                                            "</Params><NLEqs>" +
                                                c.eq + "</NLEqs>")))
            << c.eq << b.errors();
        const std::vector<double> r = b.residuals();
        ASSERT_EQ(r.size(), 1u);
        EXPECT_DOUBLE_EQ(r[0], c.residual) << c.eq;
    }
}

TEST(XmlDocuments, ConditionalEquationFailures)
{
    const std::string head = "<Vars><Var name=\"x\" val=\"2\"/></Vars><NLEqs><Eq fx=\"x = 1\"/>";
    // Three levels deep: the innermost entry, the top equation's and the location.
    const std::string deep = "<Eq cond=\"x &gt; 0\"><Then fx=\"x\"/><Else><Eq cond=\"x &gt; 1\"><Then fx=\"x\"/>"
                             "<Else><Eq cond=\"x &gt; 2\"><Then fx=\"x +* 2\"/><Else fx=\"x\"/></Eq></Else></Eq>"
                             "</Else></Eq>";
    const struct
    {
        std::string eq;
        std::string entries;
    } cases[] = {
        {deep, "Syntax error in Then statement:x +* 2\n(3,NLEqs):Cannot parse if-then-else equation with condition: "
               "x > 0\n(3,NLEqs):Eq#: 1"},
        {"<Eq cond=\"x &gt; 0\"><Then fx=\"x\"/></Eq>", "Missing Else statement in conditional equation!"},
        {"<Eq cond=\"x &gt; 0\"><Else fx=\"x\"/></Eq>", "Missing Then statement in conditional equation!"},
        {"<Eq cond=\"x &gt;\"><Then fx=\"x\"/><Else fx=\"x\"/></Eq>", "Syntax error in conditition statement: x >"},
        {"<Eq cond=\"x &gt; 0\"><Then/><Else fx=\"x\"/></Eq>", "Missing Then Equation for condition!"},
        {"<Eq cond=\"x &gt; 0\"><Then fx=\"x\"/><Else/></Eq>", "Missing Else Equation for condition!"},
        {"<Eq cond=\"x &gt; 0\"><Then fx=\"x\"/><Else><Eq w=\"1\"/></Else></Eq>",
         "(3,NLEqs):Cannot parse if-then-else equation with condition: x > 0\n(3,NLEqs):Eq#: 1"},
        {"<Eq/>", "Equation is neither condition (missing cond) nor normal (missing fx)"},
        {"<Eq fx=\"x + (1\"/>", "Syntax error in equation: x + (1"},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        b.solver.stores.settings.skipCountChecks = 1;
        EXPECT_FALSE(b.nr(doc("type=\"NR\"", head + c.eq + "</NLEqs>"))) << c.eq;
        EXPECT_NE(b.errors().find(c.entries), std::string::npos) << c.eq << "\n" << b.errors();
        // The pool of branch trees is given back.
        EXPECT_LE(b.state.treePoolBlocks(), 1u) << c.eq;
    }
    // Deeper than 64 levels: an entry, not an exhausted stack.
    std::string nested = "<Eq fx=\"x\"/>";
    for (int i = 0; i < 70; ++i)
        nested = "<Eq cond=\"x &gt; 0\"><Then fx=\"x\"/><Else>" + nested + "</Else></Eq>";
    XmlBuild<double> b;
    EXPECT_FALSE(b.nr(doc("type=\"NR\"", "<Vars><Var name=\"x\"/></Vars><NLEqs>" + nested + "</NLEqs>")));
    EXPECT_NE(b.errors().find("Conditions nested deeper than 64 levels"), std::string::npos) << b.errors();
}

TEST(XmlDocuments, CountsOfEachKind)
{
    const std::string xyz = "<Vars><Var name=\"x\"/><Var name=\"y\"/><Var name=\"z\"/></Vars>";
    XmlBuild<double> nr;
    nr.solver.stores.settings.skipCountChecks = 1;
    ASSERT_TRUE(nr.nr(doc("type=\"NR\"", xyz + "<NLEqs><Eq fx=\"x = 1\"/><Eq fx=\"y = z\"/></NLEqs>"))) << nr.errors();
    EXPECT_EQ(nr.solver.stores.nVars, 3u);
    EXPECT_EQ(nr.residuals().size(), 2u);

    XmlBuild<double> wls;
    ASSERT_TRUE(wls.wls(doc("type=\"WLS\"", xyz + "<Params><Param name=\"p\" val=\"-4\"/></Params><MeasEqs>"
                                                  "<Eq fx=\"x = 1\" w=\"-2\"/><Eq fx=\"y = 1\" w=\"1e-3\"/>"
                                                  "<Eq fx=\"z = 1\" w=\"p\"/><Eq fx=\"x+y = 2\"/></MeasEqs>")))
        << wls.errors();
    EXPECT_EQ(wls.residuals().size(), 4u);
    ASSERT_EQ(wls.weights.size(), 4u);
    const double weights[] = {-2, 0.001, 4, 1};
    for (td::UINT4 i = 0; i < 4; ++i)
        EXPECT_EQ(wls.weights[i], weights[i]) << i;

    // DAE: 2 declared ODE states and an improper transfer function under RK6.
    XmlBuild<double> dae;
    ASSERT_TRUE(dae.dae(doc("type=\"DAE\" method=\"RK6\"",
                            "<Vars><Var name=\"x\"/><Var name=\"v\"/><Var name=\"y\"/><Var name=\"u\"/></Vars>"
                            "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"v = int(-x)\"/></ODEqs>"
                            "<TFs><Eq fx=\"y/u = (s^2+1)/(s+2)\"/></TFs><NLEqs><Eq fx=\"u = x\"/></NLEqs>")))
        << dae.errors();
    auto& st = dae.solver.stores;
    // 4 declared + 2 x 3 stages + 2 transfer-function states x 4 + y#div.
    EXPECT_EQ(st.nVars, 4u + 6u + 8u + 1u);
    EXPECT_EQ(st.nParams, 2u + 4u);
    EXPECT_EQ(st.equations.size(), st.nVars);
    EXPECT_EQ(dae.data.nDAEStates, 2u);
    EXPECT_EQ(st.symbols.nameAt(1)->c_str(), std::string("x#k1"));
    EXPECT_EQ(st.symbols.nameAt(st.nVars - 1)->c_str(), std::string("y#div"));
    EXPECT_EQ(st.symbols.nameAt(st.nVars + st.nParams - 1)->c_str(), std::string("u'x1@_"));
    EXPECT_EQ(st.daeVarRecords[0].firstStage, 1);
}

TEST(XmlDocuments, ODEFormsAndMethodWords)
{
    // Both forms of one ODE give the same right side.
    for (const char* fx : {"x' = -k*x", "x = int(-k*x)", "x = k*int(-x)", "x = int(-x)/(1/k)"})
    {
        XmlBuild<double> b;
        ASSERT_TRUE(b.ode(doc("type=\"ODE\"", std::string("<Vars><Var name=\"x\" val=\"2\"/></Vars><Params>"
                                                          "<Param name=\"k\" val=\"3\"/></Params><ODEqs><Eq fx=\"") +
                                                  fx + "\"/></ODEqs>")))
            << fx << b.errors();
        const std::vector<double> r = b.residuals();
        ASSERT_EQ(r.size(), 1u);
        EXPECT_DOUBLE_EQ(r[0], -6.0) << fx;
        EXPECT_EQ(b.odeList[0], 0) << fx;
    }
    const struct
    {
        const char* word;
        td::BYTE method;
    } words[] = {{"Euler", 0}, {"RK2", 1}, {"Trapezoidal", 1}, {"RK4", 2}, {"RK6", 3}, {"rk4", 1}, {"Gauss", 1}};
    for (const auto& w : words)
    {
        XmlBuild<double> b;
        ASSERT_TRUE(b.dae(doc(std::string("type=\"DAE\" method=\"") + w.word + "\"",
                              "<Vars><Var name=\"x\"/></Vars><ODEqs><Eq fx=\"x' = -x\"/></ODEqs>")))
            << w.word << b.errors();
        EXPECT_EQ(b.data.results.IntegrationMethod, w.method) << w.word;
    }
    // Transfer-function texts: output, input (may be empty) and f(s).
    const struct
    {
        const char* fx;
        td::UINT4 nVars;
    } tfs[] = {{"y/u = 1/(s+1)", 3}, {"y/ u = 2*s", 3}};
    for (const auto& c : tfs)
    {
        XmlBuild<double> b;
        const bool ok = b.dae(doc("type=\"DAE\" method=\"Euler\"",
                                  std::string("<Vars><Var name=\"y\"/><Var name=\"u\"/></Vars><TFs><Eq fx=\"") + c.fx +
                                      "\"/></TFs><NLEqs><Eq fx=\"u = 1\"/></NLEqs>"));
        EXPECT_TRUE(ok) << c.fx << b.errors();
        EXPECT_EQ(b.solver.stores.nVars, c.nVars) << c.fx;
    }
    XmlBuild<double> noInput;
    EXPECT_FALSE(
        noInput.dae(doc("type=\"DAE\"", "<Vars><Var name=\"y\"/></Vars><TFs><Eq fx=\"y/ = 1/(s+1)\"/></TFs>")));
    EXPECT_NE(noInput.errors().find("TF input '' was not declared!"), std::string::npos) << noInput.errors();
}

// x = 2, y = 3, parameters p and q, statistic avg; the sections after the equations.
std::string processingDoc(const std::string& sections)
{
    return doc("type=\"NR\"", "<Stats name=\"avg\"/><Vars><Var name=\"x\" val=\"2\"/><Var name=\"y\" val=\"3\"/>"
                              "</Vars><Params><Param name=\"p\"/><Param name=\"q\"/></Params>" +
                                  s_xyEqs + sections);
}

TEST(XmlDocuments, ProcessingRecords)
{
    XmlBuild<double> b;
    // Stats is read by WLS and DAE documents; an NR document's feeds find the statistic
    // of the store the test gives it.
    b.solver.stores.statistics.reserve(1);
    sl::setStatsName(b.solver.stores.statistics, 0, td::String("avg"));
    ASSERT_TRUE(
        b.nr(processingDoc("<PreProc><Eq fx=\"p = -x\"/><Eq fx=\"x += 1\"/><Eq fx=\"avg &lt;&lt; x &lt;&lt; y\"/>"
                           "<Eq cond=\"x &gt; 1\"><Then fx=\"q = y\"/></Eq>"
                           "<Eq cond=\"x &gt; 1\" fx=\"q *= 2\"><Then fx=\"q = 0\"/></Eq></PreProc><PostProc/>")))
        << b.errors();
    const auto& pre = b.solver.stores.sections[sl::SolverStores<double>::PreProc];
    ASSERT_EQ(pre.size(), 5u);
    EXPECT_EQ(b.solver.stores.sections[sl::SolverStores<double>::PostProc].size(), 0u);
    using Type = sl::Evaluator<double>::Type;
    const struct
    {
        Type type;
        td::INT4 target;
        td::BYTE kind;
        char op;
    } expected[] = {{Type::Code, 0, 1, '='},
                    {Type::Constant, 0, 0, '+'},
                    {Type::Statistics, -1, 0, 0},
                    {Type::IfThenElse, -1, 0, 0},
                    {Type::Constant, 1, 1, '*'}};
    for (td::UINT4 i = 0; i < 5; ++i)
    {
        EXPECT_EQ(pre[i]->getType(), expected[i].type) << i;
        if (expected[i].target < 0)
            continue;
        EXPECT_EQ(pre[i]->getTargetIndex(), expected[i].target) << i;
        EXPECT_EQ(pre[i]->getTargetKind(), expected[i].kind) << i;
        EXPECT_EQ(pre[i]->getOperator(), expected[i].op) << i;
    }
    sl::CU<double> cu(b.solver.stores.values.data(), b.solver.stores.values.data() + 2, &b.solver);
    EXPECT_EQ(pre[0]->evaluate(cu), -2.0);
    EXPECT_EQ(pre[3]->getElse(), nullptr);
}

TEST(XmlDocuments, LimitGroups)
{
    XmlBuild<double> b;
    ASSERT_TRUE(b.nr(processingDoc(
        "<Limits><Group><Eq cond=\"y &gt; 1\"><Then signal=\"TooHigh\" fx=\"y = 1\"/>"
        "<Else signal=\"TooLow\"><Eq fx=\"p = 1\"/><Eq cond=\"x &lt; 0\"><Then fx=\"q = 0\"/></Eq><Eq fx=\"x = 0\"/>"
        "</Else>"
        "</Eq></Group><Group enabled=\"True\"><Eq fx=\"x = 1\"/><Eq fx=\"q = 2\"/></Group>"
        "<Group enabled=\"TRUE\"/><Group enabled=\"1\"><Eq fx=\"x = 0\"/></Group></Limits>")))
        << b.errors();
    const auto& groups = b.solver.stores.limitGroups;
    ASSERT_EQ(groups.size(), 4u);
    const td::UINT4 counts[] = {1, 2, 0, 1};
    const bool enabled[] = {true, true, false, false};
    for (td::UINT4 g = 0; g < 4; ++g)
    {
        EXPECT_EQ(groups[g].n, counts[g]) << g;
        EXPECT_EQ(groups[g].enabled != 0, enabled[g]) << g;
    }
    const sl::Evaluator<double>& cond = *groups[0].pFirst;
    ASSERT_EQ(cond.getType(), sl::Evaluator<double>::Type::IfThenElse);
    EXPECT_EQ(cond.getThenCount(), 1u);
    EXPECT_EQ(cond.getThen()->getSignal(), 4);
    EXPECT_EQ(cond.getElseCount(), 3u);
    EXPECT_EQ(cond.getElse()[1].getType(), sl::Evaluator<double>::Type::IfThenElse);
    EXPECT_EQ(cond.getElse()->getSignal(), 0);
    EXPECT_EQ(cond.getElse()->getTargetKind(), 1);
    EXPECT_EQ(groups[1].pFirst[1].getTargetIndex(), 1);
}

TEST(XmlDocuments, ProcessingAndLimitRefusals)
{
    std::string nested = "<Eq fx=\"x = 1\"/>";
    for (int i = 0; i < 70; ++i)
        nested = "<Eq cond=\"x &gt; 0\"><Then>" + nested + "</Then></Eq>";
    const struct
    {
        std::string sections;
        std::string entry;
    } cases[] = {
        {"<PreProc><Eq fx=\"base.y = x\"/></PreProc>", "(3,PreProc):Variable was not declared:base.y"},
        {"<PreProc><Eq fx=\"zz = x\"/></PreProc>", "(3,PreProc):Variable was not declared:zz\n(3,PreProc):Eq#: 0"},
        {"<PostProc><Eq fx=\"p = x +\"/></PostProc>",
         "(3,PostProc):Cannot make expression for assignment part: x + (@ET.OperatorWoOprnd at position 3)"},
        // A leading minus stands where it is written.
        {"<PostProc><Eq fx=\"p = -x +\"/></PostProc>",
         "(3,PostProc):Cannot make expression for assignment part: -x + (@ET.OperatorWoOprnd at position 4)"},
        {"<PostProc><Eq w=\"1\"/></PostProc>",
         "Empty Equation (missing fx and cond)! Assignment equation requires either fx or cond attribute!"},
        {"<PostProc><Eq fx=\"zz &lt;&lt; x\"/></PostProc>", "Cannot find stats object with name=zz"},
        {"<PostProc><Eq cond=\"x &gt; 0\"><Then fx=\"zz = 1\"/></Eq></PostProc>", "Unknown variable or parameter=zz"},
        {"<Limits><Eq fx=\"x = 1\"/></Limits>",
         "(3,Limits):Limits have to be grouped! Missing Group node in Limits section!"},
        {"<Limits><Group><Eq cond=\"y &gt; 1\"><Then signal=\"toohigh\" fx=\"y = 1\"/></Eq></Group></Limits>",
         "(3,Limits):Wrong signal for Then equations for condition: y > 1. Signal=toohigh\n(3,Limits):Group#: 0; Eq#: "
         "0"},
        {"<Limits><Group><Eq cond=\"y &gt; 1\"><Then fx=\"y = 1\"><Eq fx=\"y = 2\"/></Then></Eq></Group></Limits>",
         "If-then equation for condition: y > 1 has specified fx in Then and Eq as child of Then!!"},
        {"<Limits><Group><Eq cond=\"y &gt; 1\"/></Group></Limits>", "Missing Then in condition eq: y > 1"},
        {"<Limits><Group><Eq cond=\"y &gt; 1\"><Then/></Eq></Group></Limits>",
         "Missing Then equations for condition: y > 1"},
        {"<Limits><Group><Eq cond=\"y &gt; 1\"><Then fx=\"y = 1\"/><Else/></Eq></Group></Limits>",
         "Missing Else equations for condition: y > 1"},
        {"<Limits><Group><Eq fx=\"x = 1\"/><Eq fx=\"zz = 1\"/></Group></Limits>",
         "(3,Limits):Assignment parameter name wasn't declared:zz, fx=1\n(3,Limits):Group#: 0; Eq#: 1"},
        {"<Limits><Group><Eq w=\"1\"/></Group></Limits>", "Empty Equation (fx) in assignment part"},
        {"<Limits><Group>" + nested + "</Group></Limits>", "Conditions nested deeper than 64 levels"},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        EXPECT_FALSE(b.nr(processingDoc(c.sections))) << c.sections;
        EXPECT_NE(b.errors().find(c.entry), std::string::npos) << c.sections << "\n" << b.errors();
        EXPECT_EQ(b.data.currentSection, 0) << c.sections;
    }
}

TEST(XmlDocuments, ComplexAssignmentParts)
{
    XmlBuild<Cmplx> b;
    ASSERT_TRUE(b.nr(doc("type=\"NR\" domain=\"cmplx\"",
                         "<Vars conj=\"false\"><Var name=\"x\"/></Vars><Params><Param name=\"p\"/></Params>"
                         "<NLEqs><Eq fx=\"x = 1\"/></NLEqs><PostProc><Eq fx=\"x.real = 2\"/><Eq fx=\"p.imag = 1\"/>"
                         "<Eq fx=\"p = x\"/></PostProc>")))
        << b.errors();
    const auto& post = b.solver.stores.sections[sl::SolverStores<Cmplx>::PostProc];
    ASSERT_EQ(post.size(), 3u);
    EXPECT_EQ(post[0]->getTargetKind(), 5);
    EXPECT_EQ(post[1]->getTargetKind(), 8);
    EXPECT_EQ(post[2]->getTargetKind(), 1);
}

TEST(XmlDocuments, GeneratorsAndStatistics)
{
    const std::string wls = "<Vars><Var name=\"x\"/></Vars><MeasEqs><Eq fx=\"x = 1\"/></MeasEqs>";
    const struct
    {
        std::string sections;
        const char* entry;
        td::UINT4 nGens, nStats;
    } cases[] = {
        {"<RndGens><RndGen name=\"g\" type=\"Gauss\" mean=\"1\" dev=\"0.5\"/>"
         "<RndGen name=\"u\" type=\"Uniform\" real=\"false\" min=\"1\" max=\"6\"/></RndGens>"
         "<Stats names=\"a, b,c\"/>",
         nullptr, 2, 3},
        {"<Stats name=\"\"/>", nullptr, 0, 1},
        {"<RndGens><RndGen name=\"g\" type=\"Gauss\" mean=\"1\" dev=\"0\"/></RndGens>",
         "(3,RndGens):Invalid dev value in Gauss RndGen entry with name=g!\n(3,RndGens):RndGen#: 0", 0, 0},
        {"<RndGens><RndGen name=\"g\" type=\"Gauss\" mean=\"1e\" dev=\"1\"/></RndGens>",
         "Invalid mean value in Gauss RndGen entry with name=g!", 0, 0},
        {"<RndGens><RndGen name=\"g\" type=\"Poisson\" lambda=\"2\"/><RndGen name=\"g\" type=\"Poisson\" "
         "lambda=\"2\"/></RndGens>",
         "RndGen entry with name=g defined twice. First position=0!", 0, 0},
        {"<RndGens><RndGen name=\"g\" type=\"Poisson\" lambda=\"1e19\"/></RndGens>",
         "Invalid lambda value in Poisson RndGen entry with name=g!", 0, 0},
        {"<RndGens><RndGen name=\"g\" type=\"Gauss\" dev=\"1\"/></RndGens>",
         "Missing mean value in Gauss RndGen entry with name=g!", 0, 0},
        {"<RndGens><RndGen name=\"g\" type=\"Cauchy\"/></RndGens>", "Unnown type=Cauchy in RndGen with name=g!", 0, 0},
        {"<Stats names=\"a,a\"/>", "(3,Stats):Stats name a entered two times! Second time on pos 1!", 0, 0},
        {"<Stats/>", "(3,Stats):Stats needs attribute name or names!", 0, 0},
        // A statistics feed: a well-formed one, then a single '<'.
        {"<Stats name=\"avg\"/><PostProc><Eq fx=\"avg &lt;&lt; x &lt;&lt; 2*x\"/></PostProc>", nullptr, 0, 1},
        {"<Stats name=\"avg\"/><PostProc><Eq fx=\"avg &lt;&lt; x &lt; 2\"/></PostProc>",
         "Badly formatted stats assignement part 'x < 2'", 0, 1},
    };
    for (const auto& c : cases)
    {
        XmlBuild<double> b;
        const bool ok = b.wls(doc("type=\"WLS\"", c.sections + wls));
        EXPECT_EQ(ok, c.entry == nullptr) << c.sections << b.errors();
        if (c.entry)
        {
            EXPECT_NE(b.errors().find(c.entry), std::string::npos) << c.sections << "\n" << b.errors();
            continue;
        }
        EXPECT_EQ(b.solver.stores.generators.size(), c.nGens) << c.sections;
        EXPECT_EQ(b.solver.stores.statistics.size(), c.nStats) << c.sections;
    }
    // The dT of Params and eps read whole as numbers.
    XmlBuild<double> dT;
    EXPECT_FALSE(dT.ode(doc("type=\"ODE\"", "<Vars><Var name=\"x\"/></Vars><Params dT=\"0.1s\"/>"
                                            "<ODEqs><Eq fx=\"x' = 1\"/></ODEqs>")));
    EXPECT_NE(dT.errors().find("dT"), std::string::npos) << dT.errors();
}

// A child document sees its parent's parameters first: its own time-step parameter and
// groups are counted after them.
TEST(XmlDocuments, ChildParametersAfterTheParents)
{
    XmlBuild<double> parent;
    ASSERT_TRUE(parent.nr(doc("type=\"NR\"", "<Vars><Var name=\"x\"/></Vars><Params><Param name=\"a\" val=\"3\"/>"
                                             "<Param name=\"c\"/></Params><NLEqs><Eq fx=\"x = a\"/></NLEqs>")))
        << parent.errors();
    XmlBuild<double> b;
    b.solver.pParent = &parent.solver;
    ASSERT_TRUE(b.nr(doc("type=\"NR\"", "<Vars><Var name=\"u\" val=\"a*2\"/></Vars><Params><Param name=\"k{p,q}\"/>"
                                        "<Param name=\"dT\" val=\"0.5\"/></Params><NLEqs><Eq fx=\"u = a\"/></NLEqs>"
                                        "<PostProc><Eq fx=\"base.c = u\"/></PostProc>")))
        << b.errors();
    EXPECT_EQ(b.solver.stores.nParams, 5u);
    EXPECT_EQ(b.data.results.indexOfDeltaTParam, 4);
    EXPECT_EQ(b.data.results.stepValue, 0.5);
    EXPECT_EQ(b.value("a"), 3.0);
    EXPECT_EQ(b.value("u"), 6.0);
    EXPECT_EQ(b.index("k.q"), 4);
    const auto& post = b.solver.stores.sections[sl::SolverStores<double>::PostProc];
    ASSERT_EQ(post.size(), 1u);
    EXPECT_EQ(post[0]->getTargetKind(), 2);
    EXPECT_EQ(post[0]->getTargetIndex(), 2);
}

// Failed conditional equations give their trees back: repeating one never grows the pool.
TEST(XmlDocuments, FailedConditionsRewindTheTreePool)
{
    XmlBuild<double> b;
    ASSERT_TRUE(b.nr(doc("type=\"NR\"", "<Vars><Var name=\"x\"/></Vars><NLEqs><Eq fx=\"x = 1\"/></NLEqs>")));
    SAXParser parser;
    ASSERT_TRUE(parser.parseMemory("<?xml version=\"1.0\"?><Eq cond=\"x &gt; 0\"><Then fx=\"x\"/><Else><Eq "
                                   "cond=\"x &gt; 1\"><Then fx=\"x\"/><Else><Eq cond=\"x &gt; 2\"><Then fx=\"x\"/>"
                                   "<Else fx=\"x +* 2\"/></Eq></Else></Eq></Else></Eq>",
                                   nullptr, true));
    const xml::Node eq = parser.getDocument().getFirstChild();
    td::UINT4 nonZeros = 0;
    for (int i = 0; i < 40; ++i)
        EXPECT_FALSE(b.pass<sl::XmlEquationReader>().loadEquation(eq, 1, nonZeros, 'F'));
    EXPECT_EQ(b.state.treePoolBlocks(), 1u);
    EXPECT_NE(
        b.errors().find("Syntax error in Else statement:x +* 2\n(1,Other):Cannot parse if-then-else equation with "
                        "condition: x > 0"),
        std::string::npos)
        << b.errors();
}
} // namespace
