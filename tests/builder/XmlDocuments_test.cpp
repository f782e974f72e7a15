// The XML road's documents through the builder: what each kind refuses (with its entries),
// and what accepted documents give (symbols, start values, residuals, records).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "XmlBuildSupport.h"

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
    }
}

TEST(XmlDocuments, HeaderAndCountRefusals)
{
    const std::string wlsVars = "<Vars><Var name=\"x\"/><Var name=\"y\"/><Var name=\"z\"/></Vars>";
    const Refusal cases[] = {
        {"NR", "type=\"NL\"", s_xy + s_xyEqs, "(0,Other):Model type is not NR"},
        {"NR", "type=\"nr\"", s_xy + s_xyEqs, "Model type is not NR"},
        {"NR", "desc=\"d\"", s_xy + s_xyEqs, "Undefined model type!"},
        {"ODE", "type=\"DAE\"", s_xy, "Model type is not ODE"},
        {"NR", "type=\"NR\" domain=\"cmplx\"", s_xy + s_xyEqs, "Numeric type is not 'real'"},
        {"NR", "type=\"NR\" eps=\"small\"", s_xy + s_xyEqs, "eps"},
        {"NR", "type=\"NR\" eps=\"-1e-6\"", s_xy + s_xyEqs, "eps"},
        {"NR", "", s_xy + "<NLEqs><Eq fx=\"x = 1\"/></NLEqs>", "Detected 2 variables and 1 equations!"},
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
    } cases[] = {{"NR", "(0,Other):Cannot parse the file\n(0,Other):"},
                 {"ODE", "(0,Other):Cannot parse the file!"},
                 {"DAE", "(0,Other):Cannot parse the file!"},
                 {"WLS", "(0,Other):Cannot parse the xml file"}};
    for (const Case& c : cases)
    {
        XmlBuild<double> text;
        EXPECT_FALSE(buildKind(text, c.kind, "<Model type=\"NR\"><Vars>"));
        EXPECT_EQ(text.errors(), "(0,Other):Cannot parse xml input data") << c.kind;
        XmlBuild<double> file;
        file.data.inputKind = 0;
        EXPECT_FALSE(buildKind(file, c.kind, test::xmlPath("broken.xml")));
        EXPECT_EQ(file.errors().rfind(c.fileEntry, 0), 0u) << c.kind << "\n" << file.errors();
        XmlBuild<double> other;
        other.data.inputKind = 2;
        EXPECT_FALSE(buildKind(other, c.kind, test::readXml("nr_sample.xml")));
    }
    // NR names the parser's line.
    XmlBuild<double> file;
    file.data.inputKind = 0;
    EXPECT_FALSE(file.nr(test::xmlPath("broken.xml")));
    EXPECT_NE(file.errors().find("Line no="), std::string::npos) << file.errors();
}

TEST(XmlDocuments, HeaderDomainDescAndEps)
{
    XmlBuild<double> real;
    real.data.eps = 0.5;
    ASSERT_TRUE(real.nr(doc("type=\"NR\" eps=\"\" desc=\"two\"", s_xy + s_xyEqs))) << real.errors();
    EXPECT_EQ(real.data.eps, 0.5);
    EXPECT_STREQ(real.solver.stores.modelDescription.c_str(), "two");
    XmlBuild<double> withEps;
    ASSERT_TRUE(withEps.nr(doc("type=\"NR\" domain=\"real\" eps=\"1e-9\"", s_xy + s_xyEqs))) << withEps.errors();
    EXPECT_EQ(withEps.data.eps, 1e-9);

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
            EXPECT_EQ(b.errors(), std::string("(0,Other):") + c.entry);
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
        {"NR", "", "<Vars><Var val=\"1\"/></Vars>" + oneEq, "(0,Vars):Empty variable name!"},
        {"NR", "", "<Vars><Var name=\"" + name33 + "\"/></Vars>" + oneEq,
         "Maximum allowed variable name length is 32 chars! Var name=" + name33},
        {"NR", "", s_xy + "<Params><Param name=\"x\"/></Params>" + s_xyEqs, "(0,Params):Parameter declared twice: x"},
        {"NR", "", "<Vars><Var name=\"x\"/><Var name=\"x\"/></Vars>" + s_xyEqs, "Variable declared twice: x"},
        {"NR", "", s_xy + "<Params><Param name=\"k{a\"/></Params>" + s_xyEqs,
         "Parameter name is not formatted properly! Par name=k{a"},
        {"NR", "", s_xy + "<Params><Param val=\"1\"/></Params>" + s_xyEqs,
         "(0,Params):Empty parameter name!\n(0,Params):Par#: 0"},
        {"NR", "", s_xy + "<Params><Param name=\"\"/></Params>" + s_xyEqs, "(0,Params):Empty parameter name!"},
        {"NR", "", "<Vars><Var name=\"x\" val=\"(1+\"/><Var name=\"y\"/></Vars>" + s_xyEqs,
         "Error in initial value expression: (1+"},
        // Deferred values: a cycle, a name nothing declares.
        {"NR", "", "<Vars><Var name=\"x\" val=\"y+1\"/><Var name=\"y\" val=\"2*x\"/></Vars>" + s_xyEqs,
         "Something wrong with initial value expression: "},
        {"NR", "", "<Vars><Var name=\"x\" val=\"q+1\"/><Var name=\"y\"/></Vars>" + s_xyEqs,
         "(0,Other):Something wrong with initial value expression: q+1\n(0,Vars):Var#: 0"},
        // The time parameters keep their names in dynamic documents.
        {"ODE", "", "<Vars><Var name=\"t\"/></Vars><ODEqs><Eq fx=\"t' = 1\"/></ODEqs>", "t"},
        {"ODE", "", "<Vars><Var name=\"dT\"/></Vars><ODEqs><Eq fx=\"dT' = 1\"/></ODEqs>", "dT"},
        {"ODE", "", "<Vars><Var name=\"x\"/></Vars><Params><Param val=\"1\"/></Params>" + odeX,
         "(0,Params):Empty name\n(0,Params):Par#: 0"},
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
         "(0,ODEqs):Cannot combine integrate with differentiate in a single ODE. Error in ODE eq:x' = int(v)\n"
         "(0,ODEqs):Eq#: 0"},
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
         "(0,ODEqs):State variable already used!\n(0,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"Euler\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(0,ODEqs):State variable already used!\n(0,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"Trapez\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x = int(x)\"/></ODEqs>",
         "State variable already used!"},
        {"DAE", "type=\"DAE\" method=\"RK4\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(0,ODEqs):State variable already used!\n(0,ODEqs):Eq#: 1"},
        {"DAE", "type=\"DAE\" method=\"RK6\"", xv + "<ODEqs><Eq fx=\"x' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "State variable already used!"},
        {"DAE", "type=\"DAE\" method=\"RK4\"", xv + "<ODEqs><Eq fx=\"q' = v\"/><Eq fx=\"x' = -x\"/></ODEqs>",
         "(0,ODEqs):Undeclared state variable:q, found in ODE equation:q' = v\n(0,ODEqs):Eq#: 0"},
        // Transfer functions.
        {"DAE", "", xv + "<TFs><Eq fx=\"x = v/(s+1)\"/></TFs><NLEqs><Eq fx=\"v = 1\"/></NLEqs>",
         "(0,TFs):Missing division sign '/' in left part of TF Equation! TF must be in form y/=f(s)\n(0,TFs):Eq#: 0"},
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
} // namespace
