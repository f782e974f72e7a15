// What an XML document's entries say of an expression the builder refuses: the line of the
// element that holds it, the reason the engine gave and where in the text written it
// stands (the rewriting of a residual moving no position).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "XmlBuildSupport.h"

namespace
{
using test::Cmplx;
using test::XmlBuild;

template <typename T> class XmlReasons : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(XmlReasons, Builds);

// One refused document: its kind and lines below the root element, the line that holds
// the refused text, and the entry expected there: prefix, the text as the entry shows it,
// the reason (none: the equation is a comparison, the token) and the token of the text
// the reason stands at (its first occurrence).
struct Refusal
{
    const char* kind;
    std::vector<std::string> lines;
    std::string marked;
    const char* section;
    std::string prefix;
    std::string shown;
    std::string reason;
    std::string token;
};

std::string documentOf(const Refusal& r, bool complex)
{
    std::string text = std::string("<?xml version=\"1.0\"?>\n<Model type=\"") + r.kind + "\"" +
                       (complex ? " domain=\"cmplx\"" : "") +
                       (std::string(r.kind) == "DAE" ? " method=\"Euler\"" : "") + ">\n";
    for (const std::string& line : r.lines)
        text += line + "\n";
    return text + "</Model>\n";
}

// The line (from 1) of the document that reads marked.
td::UINT4 lineOf(const Refusal& r)
{
    for (std::size_t i = 0; i < r.lines.size(); ++i)
    {
        if (r.lines[i] == r.marked)
            return static_cast<td::UINT4>(i + 3);
    }
    ADD_FAILURE() << r.marked;
    return 0;
}

std::string expectedEntry(const Refusal& r)
{
    const std::size_t at = r.shown.find(r.token);
    EXPECT_NE(at, std::string::npos) << r.shown;
    const std::string position = std::to_string(at + 1);
    const std::string head = "(" + std::to_string(lineOf(r)) + "," + r.section + "):";
    if (r.reason.empty())
        return head + "Equation is a comparison (" + r.token + " at position " + position + "): " + r.shown;
    return head + r.prefix + r.shown + " (" + r.reason + " at position " + position + ")";
}

const std::string s_vars = "<Vars conj=\"false\"><Var name=\"x\" val=\"1\"/><Var name=\"y\" val=\"2\"/></Vars>";
const std::string s_params = "<Params><Param name=\"p\" val=\"1\"/></Params>";

// An NR document whose second equation is eq, with sections after the equations.
std::vector<std::string> nr(const std::string& eq, const std::vector<std::string>& after = {})
{
    std::vector<std::string> lines = {s_vars, s_params, "<NLEqs>", "<Eq fx=\"x = 1\"/>", eq, "</NLEqs>"};
    lines.insert(lines.end(), after.begin(), after.end());
    return lines;
}

const std::string s_eqs[] = {"<NLEqs>", "<Eq fx=\"x = 1\"/>", "<Eq fx=\"y = 2\"/>", "</NLEqs>"};

std::vector<std::string> nrWith(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    std::vector<std::string> lines = before;
    lines.insert(lines.end(), std::begin(s_eqs), std::end(s_eqs));
    lines.insert(lines.end(), after.begin(), after.end());
    return lines;
}

const char* const s_cannot = "Cannot make expression for: ";
const char* const s_operAfterOper = "@ET.OperAfterOper: *, +";
const char* const s_syntax = "Syntax error in equation: ";
const char* const s_operatorAfter = "@SC.OperatorAfter=";

std::vector<Refusal> refusals()
{
    const std::string cond = "<Eq cond=\"x &gt; 0\">";
    const std::string branchElse = "<Else fx=\"y = 1\"/></Eq>";
    return {
        {"NR", nr("<Eq fx=\"x + * 2 = 1\"/>"), "<Eq fx=\"x + * 2 = 1\"/>", "NLEqs", s_cannot, "x + * 2 = 1",
         s_operAfterOper, "*"},
        {"NR", nr("<Eq fx=\"y =  2 + * x\"/>"), "<Eq fx=\"y =  2 + * x\"/>", "NLEqs", s_cannot, "y =  2 + * x",
         s_operAfterOper, "*"},
        // The bracket closing the right side stands at its last character.
        {"NR", nr("<Eq fx=\"y = x + \"/>"), "<Eq fx=\"y = x + \"/>", "NLEqs", s_cannot, "y = x + ", "@ET.)_AfterOper",
         "+"},
        {"NR", nr("<Eq fx=\"y = (x 2) // a comment\"/>"), "<Eq fx=\"y = (x 2) // a comment\"/>", "NLEqs", s_cannot,
         "y = (x 2) // a comment", "@ET.ConstAfterOperand: 2", "2"},
        {"NR", nr("<Eq cond=\"x &gt; * 1\"><Then fx=\"y = 1\"/><Else fx=\"y = 2\"/></Eq>"),
         "<Eq cond=\"x &gt; * 1\"><Then fx=\"y = 1\"/><Else fx=\"y = 2\"/></Eq>", "NLEqs", s_cannot, "x > * 1",
         "@ET.OperAfterOper: *, >", "*"},
        // A branch on a line of its own.
        {"NR",
         {s_vars, s_params, "<NLEqs>", "<Eq fx=\"x = 1\"/>", cond, "<Then fx=\"y = 2 x\"/>", branchElse, "</NLEqs>"},
         "<Then fx=\"y = 2 x\"/>",
         "NLEqs",
         s_cannot,
         "y = 2 x",
         "@ET.LabelAfterOperand: x",
         "x"},
        {"NR", nr("<Eq fx=\"y = 2 + min(x, 1)\"/>"), "<Eq fx=\"y = 2 + min(x, 1)\"/>", "NLEqs",
         "Cannot create Jacobian entry for equation: ", "y = 2 + min(x, 1)", "@ET.CantDiff", "min"},
        // An operator right before the equation sign, as a model text refuses it.
        {"NR", nr("<Eq fx=\"x * = 3\"/>"), "<Eq fx=\"x * = 3\"/>", "NLEqs", s_syntax, "x * = 3", s_operatorAfter, "="},
        {"NR", nr("<Eq fx=\"y - = -3\"/>"), "<Eq fx=\"y - = -3\"/>", "NLEqs", s_syntax, "y - = -3", s_operatorAfter,
         "="},
        {"NR", nr("<Eq fx=\"y + = x\"/>"), "<Eq fx=\"y + = x\"/>", "NLEqs", s_syntax, "y + = x", s_operatorAfter, "="},
        {"NR", nr("<Eq fx=\"(p &gt; 1) and = 1\"/>"), "<Eq fx=\"(p &gt; 1) and = 1\"/>", "NLEqs", s_syntax,
         "(p > 1) and = 1", s_operatorAfter, "="},
        {"NR", nr("<Eq fx=\"y == = 1\"/>"), "<Eq fx=\"y == = 1\"/>", "NLEqs", s_syntax, "y == = 1", s_operatorAfter,
         "= 1"},
        {"NR",
         {s_vars, s_params, "<NLEqs>", "<Eq fx=\"x = 1\"/>", cond, "<Then fx=\"y / = 2\"/>", branchElse, "</NLEqs>"},
         "<Then fx=\"y / = 2\"/>",
         "NLEqs",
         s_syntax,
         "y / = 2",
         s_operatorAfter,
         "="},
        {"NR", nr("<Eq fx=\"x - y == 0\"/>"), "<Eq fx=\"x - y == 0\"/>", "NLEqs", "", "x - y == 0", "", "=="},
        {"NR", nr("<Eq fx=\"p &lt;= 2\"/>"), "<Eq fx=\"p &lt;= 2\"/>", "NLEqs", "", "p <= 2", "", "<="},
        {"NR",
         {s_vars, s_params, "<NLEqs>", "<Eq fx=\"x = 1\"/>", cond, "<Then fx=\"y &gt;= 1\"/>", branchElse, "</NLEqs>"},
         "<Then fx=\"y &gt;= 1\"/>",
         "NLEqs",
         "",
         "y >= 1",
         "",
         ">="},
        {"NR", nrWith({s_vars, s_params}, {"<PostProc>", "<Eq fx=\"p = -x * / 2\"/>", "</PostProc>"}),
         "<Eq fx=\"p = -x * / 2\"/>", "PostProc", "Cannot make expression for assignment part: ", "-x * / 2",
         "@ET.OperAfterOper: /, *", "/"},
        {"NR",
         nrWith({s_vars, s_params},
                {"<Limits><Group>", "<Eq cond=\"x &gt; * 1\"><Then fx=\"p = 1\"/></Eq>", "</Group></Limits>"}),
         "<Eq cond=\"x &gt; * 1\"><Then fx=\"p = 1\"/></Eq>", "Limits", "Cannot make expression for eq: ", "x > * 1",
         "@ET.OperAfterOper: *, >", "*"},
        // Start values: a constant expression at once, one over symbols after the others.
        {"NR",
         nrWith({"<Vars conj=\"false\">", "<Var name=\"x\" val=\"1\"/>", "<Var name=\"y\" val=\"2 + * 3\"/>", "</Vars>",
                 s_params},
                {}),
         "<Var name=\"y\" val=\"2 + * 3\"/>", "Vars", "Cannot make expression for initial value: ", "2 + * 3",
         s_operAfterOper, "*"},
        {"NR", nrWith({s_vars, "<Params>", "<Param name=\"p\" val=\"x + * 3\"/>", "</Params>"}, {}),
         "<Param name=\"p\" val=\"x + * 3\"/>", "Other", "Cannot make expression for initial value: ", "x + * 3",
         s_operAfterOper, "*"},
        {"ODE",
         {s_vars, s_params, "<ODEqs>", "<Eq fx=\"x' = 2 y\"/>", "<Eq fx=\"y' = x\"/>", "</ODEqs>"},
         "<Eq fx=\"x' = 2 y\"/>",
         "ODEqs",
         "Cannot make expression for eq: ",
         "x' = 2 y",
         "@ET.LabelAfterOperand: y",
         "y"},
        {"ODE",
         {s_vars, s_params, "<ODEqs>", "<Eq fx=\"x' = y\"/>", "<Eq fx=\"y' = x &gt; 1\"/>", "</ODEqs>"},
         "<Eq fx=\"y' = x &gt; 1\"/>",
         "ODEqs",
         "",
         "y' = x > 1",
         "",
         ">"},
        {"DAE",
         {s_vars, s_params, "<TFs>", "<Eq fx=\"y/x = 1/(s + * 1)\"/>", "</TFs>"},
         "<Eq fx=\"y/x = 1/(s + * 1)\"/>",
         "TFs",
         "Cannot make expression for Transfer Function: ",
         "1/(s + * 1)",
         s_operAfterOper,
         "*"},
        {"DAE",
         {s_vars, s_params, "<TFs>", "<Eq fx=\"y/x = 1/(s+1) &gt; 0\"/>", "</TFs>"},
         "<Eq fx=\"y/x = 1/(s+1) &gt; 0\"/>",
         "TFs",
         "",
         "1/(s+1) > 0",
         "",
         ">"},
    };
}

TYPED_TEST(XmlReasons, RefusedExpressionsNameTheReasonWhereTheyStand)
{
    const bool complex = sl::ValueTraits<TypeParam>::isComplex;
    for (const Refusal& r : refusals())
    {
        const std::string document = documentOf(r, complex);
        SCOPED_TRACE(document);
        XmlBuild<TypeParam> b;
        const std::string kind = r.kind;
        const bool built = kind == "NR" ? b.nr(document) : kind == "ODE" ? b.ode(document) : b.dae(document);
        EXPECT_FALSE(built);
        EXPECT_NE(b.errors().find(expectedEntry(r)), std::string::npos) << expectedEntry(r) << "\n" << b.errors();
        // The XML road writes the error log only.
        EXPECT_TRUE(b.log.messages.empty());
    }
}
} // namespace
