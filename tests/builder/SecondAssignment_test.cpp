// A second assignment operator in a statement, a start value, an equation, an ODE or a
// transfer function: refused where it stands on the model-text road and the XML road, in
// both value types, instead of being read as an equation sign.
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "DAEReader.h"
#include "XmlBuildSupport.h"

namespace
{
using sc::ModelLevel;
using test::Cmplx;
namespace msg = sc::msg;

enum class Entry
{
    NR,
    ODE,
    DAE
};

template <typename T> struct TextBuild : test::Build<T>
{
    // The text after the three-line header, built by the entry of its kind.
    bool run(Entry entry, const std::string& body)
    {
        this->load(body);
        this->bind();
        this->data.pODEList = &odeList;
        const sc::Naming& naming = this->loaded.naming;
        const sc::TokenizedModel& model = *this->loaded.model;
        switch (entry)
        {
        case Entry::ODE: return this->builder.initODE(naming, model, this->data, ModelLevel::Main);
        case Entry::DAE:
            return this->template pass<sl::DAEReader>().initDAE(naming, model, this->data, ModelLevel::Main);
        default: return this->builder.initNR(naming, model, this->data, ModelLevel::Main);
        }
    }
    // The first key with its position.
    std::string first() const
    {
        const std::string keys = this->keys();
        return keys.substr(0, keys.find('\n'));
    }
    cnt::SafeFullVector<td::INT4> odeList;
};

std::string doubleAt(td::UINT4 textLine, td::UINT4 col)
{
    return std::string(msg::scDoubleEq) + " @" + std::to_string(textLine) + ":" + std::to_string(col);
}

template <typename T> class SecondAssignment : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(SecondAssignment, Builds);

// Text lines count from the header's first line: the Model line is line 4.
TYPED_TEST(SecondAssignment, AModelTextRefusesASecondAssignmentOperatorAtItsColumn)
{
    const std::string domain = sl::ValueTraits<TypeParam>::isComplex ? ", domain = cmplx" : "";
    // x, y; p, q; statistic st; the equations give x = 1, y = 2. Line 16 is the line of
    // the group that closes the text.
    auto nl = [&domain](const std::string& group) {
        return "Model [type = NL" + domain +
               "]:\nVars:\nx = 0\ny = 0\nParams:\np = 0\nq = 5\nStats:\nst\nNLEs:\nx = 1\ny = 2\n" + group + "end\n";
    };
    const struct Case
    {
        Entry entry;
        std::string body;
        std::string first;
    } cases[] = {
        {Entry::NR, nl("PostProc:\np = q = 1\n"), doubleAt(17, 7)},
        {Entry::NR, nl("PostProc:\np += q = 1\n"), doubleAt(17, 8)},
        {Entry::NR, nl("PostProc:\np = q -= 1\n"), doubleAt(17, 7)},
        {Entry::NR, nl("PreProc:\nst << x = 1\n"), doubleAt(17, 9)},
        {Entry::NR, nl("PostProc:\nif x > 0\n  p = q = 1\nend\n"), doubleAt(18, 9)},
        {Entry::NR, nl("Limits:\ngroup\np = q = 1\nend\n"), doubleAt(18, 7)},
        // A start value is the right side of an assignment too.
        {Entry::NR, "Model [type = NL" + domain + "]:\nVars:\nx = 0\ny = x = 1\nNLEs:\nx = 1\ny = 1\nend\n",
         doubleAt(7, 7)},
        // An equation has one equation sign.
        {Entry::NR, "Model [type = NL" + domain + "]:\nVars:\nx = 0\ny = 0\nNLEs:\nx = y = 1\ny = 1\nend\n",
         doubleAt(9, 7)},
        {Entry::NR, "Model [type = NL" + domain + "]:\nVars:\nx = 0\ny = 0\nNLEs:\ny = 1\nx = y += 1\nend\n",
         doubleAt(10, 7)},
        {Entry::ODE, "Model [type = ODE" + domain + "]:\nVars:\nx = 0\nParams:\ny = 1\nODEs:\nx' = y = 1\nend\n",
         doubleAt(10, 8)},
        {Entry::DAE, "Model [type = DAE" + domain + "]:\nVars:\nx = 0\nParams:\ny = 1\nODEs:\nx' = x - y = 1\nend\n",
         doubleAt(10, 12)},
        {Entry::DAE,
         "Model [type = DAE" + domain + "]:\nVars:\ny = 0\nParams:\nu = 1\nTFs:\ny / u = 1/(s + 1) = 2\nend\n",
         doubleAt(10, 19)},
    };
    for (const Case& c : cases)
    {
        TextBuild<TypeParam> b;
        EXPECT_FALSE(b.run(c.entry, c.body)) << c.body;
        EXPECT_EQ(b.first(), c.first) << c.body << b.keys();
    }

    // One operator assigns; comparisons after it are no second one.
    TextBuild<TypeParam> ok;
    ASSERT_TRUE(ok.run(Entry::NR, nl("PostProc:\np = q == 5\nq += (x >= 1) + (y != 2)\n"))) << ok.keys();
    EXPECT_TRUE(ok.solver.stores.sections[sl::SolverStores<TypeParam>::PostProc].execute(&ok.solver));
    EXPECT_EQ(test::re(ok.value("p")), 1.0);
    EXPECT_EQ(test::re(ok.value("q")), 6.0);
}

// A condition compares: an `=` in it would read as `x - 1` and hold for every x but 1.
TYPED_TEST(SecondAssignment, AModelTextRefusesAnAssignmentOperatorInAConditionAtItsColumn)
{
    const std::string domain = sl::ValueTraits<TypeParam>::isComplex ? ", domain = cmplx" : "";
    // As above: line 16 is the group's line.
    auto nl = [&domain](const std::string& group) {
        return "Model [type = NL" + domain +
               "]:\nVars:\nx = 0\ny = 0\nParams:\np = 0\nq = 5\nStats:\nst\nNLEs:\nx = 1\ny = 2\n" + group + "end\n";
    };
    // The equations start on line 9.
    auto equations = [&domain](const std::string& eqs) {
        return "Model [type = NL" + domain + "]:\nVars:\nx = 0\ny = 0\nNLEs:\n" + eqs + "y = 1\nend\n";
    };
    const struct Case
    {
        std::string body;
        std::string first;
    } cases[] = {
        {nl("PostProc:\nif x = 1\n    p = 1\nend\n"), doubleAt(17, 6)},
        {nl("PostProc:\nif x += 1\n    p = 1\nend\n"), doubleAt(17, 6)},
        {nl("PostProc:\nif x > 0\n    p = 1\nelse\n    if y = 2\n        p = 2\n    end\nend\n"), doubleAt(20, 10)},
        {nl("PostProc:\nswitch\ncase x = 1 -> p = 1\ndefault -> p = 2\nend\n"), doubleAt(18, 8)},
        {nl("Limits:\ngroup\nif x = 1\n    p = 1\nend\nend\n"), doubleAt(18, 6)},
        {equations("if x = 1\n    x = 1\nelse\n    x = 2\nend\n"), doubleAt(9, 6)},
        {equations("switch\ncase x = 1 -> x = 1\ndefault -> x = 2\nend\n"), doubleAt(10, 8)},
    };
    for (const Case& c : cases)
    {
        TextBuild<TypeParam> b;
        EXPECT_FALSE(b.run(Entry::NR, c.body)) << c.body;
        EXPECT_EQ(b.first(), c.first) << c.body << b.keys();
    }

    // A comparison decides: x is 0, so the else branch runs.
    TextBuild<TypeParam> ok;
    ASSERT_TRUE(ok.run(Entry::NR, nl("PostProc:\nif x == 1\n    p = 3\nelse\n    p = 4\nend\n"))) << ok.keys();
    EXPECT_TRUE(ok.solver.stores.sections[sl::SolverStores<TypeParam>::PostProc].execute(&ok.solver));
    EXPECT_EQ(test::re(ok.value("p")), 4.0);
}

TYPED_TEST(SecondAssignment, AnXmlDocumentRefusesASecondAssignmentOperatorAtItsPosition)
{
    const bool complex = sl::ValueTraits<TypeParam>::isComplex;
    const std::string domain = complex ? " domain=\"cmplx\"" : "";
    const std::string decl = "<Vars conj=\"false\"><Var name=\"x\"/><Var name=\"y\"/></Vars>"
                             "<Params><Param name=\"p\"/><Param name=\"q\" val=\"5\"/></Params>";
    auto nr = [&](const std::string& eqs, const std::string& sections) {
        return test::doc("type=\"NR\"" + domain, decl + "<NLEqs>" + eqs + "</NLEqs>" + sections);
    };
    const std::string eqs = "<Eq fx=\"x = 1\"/><Eq fx=\"y = 2\"/>";
    const struct Case
    {
        std::string text;
        const char* entry;
    } cases[] = {
        {nr("<Eq fx=\"x = y = 1\"/><Eq fx=\"y = 2\"/>", ""),
         "(3,NLEqs):Second assignment operator at position 7 in: x = y = 1\n"},
        {nr("<Eq fx=\"x = 1\"/><Eq fx=\"y = x += 1\"/>", ""),
         "(3,NLEqs):Second assignment operator at position 7 in: y = x += 1\n"},
        {nr("<Eq cond=\"x &gt; 0\"><Then fx=\"x = y = 1\"/><Else fx=\"x = 1\"/></Eq><Eq fx=\"y = 2\"/>", ""),
         "Second assignment operator at position 7 in: x = y = 1"},
        {nr(eqs, "<PostProc><Eq fx=\"p = q = 1\"/></PostProc>"),
         "(3,PostProc):Second assignment operator at position 7 in: p = q = 1\n(3,PostProc):Eq#: 0"},
        {nr(eqs, "<PreProc><Eq fx=\"q = 1\"/><Eq fx=\"p += q = 1\"/></PreProc>"),
         "(3,PreProc):Second assignment operator at position 8 in: p += q = 1\n(3,PreProc):Eq#: 1"},
        {nr(eqs, "<PostProc><Eq fx=\"st &lt;&lt; x = 1\"/></PostProc>"),
         "Second assignment operator at position 9 in: st << x = 1"},
        {nr(eqs, "<PostProc><Eq cond=\"x &gt; 0\"><Then fx=\"p = q = 1\"/></Eq></PostProc>"),
         "Second assignment operator at position 7 in: p = q = 1"},
        {nr(eqs, "<Limits><Group><Eq fx=\"p = q = 1\"/></Group></Limits>"),
         "Second assignment operator at position 7 in: p = q = 1"},
        // A condition holds no assignment operator either: refused at the element's line
        // (the document's third), at the position of its '='.
        {nr("<Eq cond=\"x = 1\"><Then fx=\"x = 2\"/><Else fx=\"x = 1\"/></Eq><Eq fx=\"y = 2\"/>", ""),
         "(3,NLEqs):Cannot make expression for: x = 1 (@ET.UnexpTokenID: 48, NEDEF at position 3)\n"},
        {nr(eqs, "<PostProc><Eq cond=\"x = 1\"><Then fx=\"p = 1\"/></Eq></PostProc>"),
         "(3,PostProc):Cannot make expression for: x = 1 (@ET.UnexpTokenID: 48, NEDEF at position 3)\n"},
        {nr(eqs, "<Limits><Group><Eq cond=\"x = 1\"><Then fx=\"p = 1\"/></Eq></Group></Limits>"),
         "(3,Limits):Cannot make expression for eq: x = 1 (@ET.UnexpTokenID: 48, NEDEF at position 3)\n"},
        {test::doc("type=\"ODE\"" + domain, decl + "<ODEqs><Eq fx=\"x' = y = 1\"/><Eq fx=\"y' = 1\"/></ODEqs>"),
         "Second assignment operator at position 8 in: x' = y = 1"},
        {test::doc("type=\"DAE\"" + domain, decl + "<TFs><Eq fx=\"y/x = 1/(s+1) = 2\"/></TFs>"),
         "Second assignment operator at position 15 in: y/x = 1/(s+1) = 2"},
    };
    for (const Case& c : cases)
    {
        test::XmlBuild<TypeParam> b;
        const std::string type = c.text.substr(c.text.find("type=\"") + 6, 3);
        const bool built = type == "ODE" ? b.ode(c.text) : type == "DAE" ? b.dae(c.text) : b.nr(c.text);
        EXPECT_FALSE(built) << c.text;
        EXPECT_NE(b.errors().find(c.entry), std::string::npos) << c.text << "\n" << b.errors();
    }

    // Comparisons after the operator are no second one.
    test::XmlBuild<TypeParam> ok;
    ASSERT_TRUE(ok.nr(nr(eqs, "<PostProc><Eq fx=\"p = q == 5\"/><Eq fx=\"q += (x &gt;= 1) + (y != 2)\"/></PostProc>")))
        << ok.errors();
    EXPECT_TRUE(ok.solver.stores.sections[sl::SolverStores<TypeParam>::PostProc].execute(&ok.solver));
    EXPECT_EQ(test::re(ok.value("p")), 1.0);
    EXPECT_EQ(test::re(ok.value("q")), 6.0);
}
} // namespace
