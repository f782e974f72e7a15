// A word of the language declared as a name: refused at its declaration, with the word, in
// main and sub-models on the model-text road and in the declarations of the XML road.
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "XmlBuildSupport.h"

namespace
{
using test::Cmplx;
namespace msg = sc::msg;

const std::string cHeader = "Header:\nend\n";

std::string named(const char* word, td::UINT4 textLine, td::UINT4 col)
{
    return std::string(msg::mlReservedWordAsName) + " (" + word + ") @" + std::to_string(textLine) + ":" +
           std::to_string(col);
}

// Text lines count from the header's first line: the Model line is line 3.
TEST(ReservedNames, AWordOfTheLanguageDeclaredInAModelTextIsRefusedWhereItStands)
{
    const std::string sub = "Model [type = NL]:\nVars:\nx = 1\nSubModel [type = NL]:\n"; // sub-model from line 6
    const struct Case
    {
        std::string body;
        std::string first;
    } cases[] = {
        // The Laplace operator as each kind of name, in the main model.
        {"Model [type = NL]:\nVars:\nx = 0\ns = 1\nNLEs:\nx = 1\nend\n", named("s", 6, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nParams:\n  s = 2\nNLEs:\nx = 1\nend\n", named("s", 7, 3)},
        {"Model [type = NL]:\nVars:\nx = 0\nDistribs:\ns\nNLEs:\nx = 1\nend\n", named("s", 7, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nStats:\ns\nNLEs:\nx = 1\nend\n", named("s", 7, 1)},
        // The other reserved words, a statement after a semicolon, an end that is assigned.
        {"Model [type = NL]:\nVars:\nx = 0; if = 1\nNLEs:\nx = 1\nend\n", named("if", 5, 8)},
        {"Model [type = NL]:\nParams:\ndefault = 1\nVars:\nx = 0\nNLEs:\nx = 1\nend\n", named("default", 5, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nend = 1\nNLEs:\nx = 1\nend\n", named("end", 6, 1)},
        // Functions, constants and logical words are no names either.
        {"Model [type = NL]:\nVars:\nx = 0\nsin = 1\nNLEs:\nx = 1\nend\n", named("sin", 6, 1)},
        {"Model [type = NL]:\nParams:\npi = 3\nVars:\nx = 0\nNLEs:\nx = 1\nend\n", named("pi", 5, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nand\nNLEs:\nx = 1\nend\n", named("and", 6, 1)},
        // The sub-model's declaration groups.
        {sub + "Vars:\ny = 0\ncase = 1\nNLEs:\ny = 1\nend\nNLEs:\nx = 1\nend\n", named("case", 9, 1)},
        {sub + "Vars:\ny = 0\nParams:\n repeat = 1\nNLEs:\ny = 1\nend\nNLEs:\nx = 1\nend\n", named("repeat", 10, 2)},
        {sub + "Vars:\ny = 0\nStats:\ns\nNLEs:\ny = 1\nend\nNLEs:\nx = 1\nend\n", named("s", 10, 1)},
        // conj is a function of the complex domain only.
        {"Model [type = NL, domain = cmplx]:\nVars:\nx = 0\nconj = 1\nNLEs:\nx = 1\nend\n", named("conj", 6, 1)},
    };
    for (const Case& c : cases)
    {
        test::LoadedModel m;
        EXPECT_FALSE(m.fromString(cHeader + c.body)) << c.body;
        const std::string errors = m.errors();
        EXPECT_EQ(errors.substr(0, errors.find('\n')), c.first) << c.body << errors;
    }

    // Words that close or name as they should still do: an end after declarations, conj
    // of a real model, a name that begins with a reserved word.
    test::LoadedModel closed;
    EXPECT_TRUE(closed.fromString(cHeader + sub + "Vars:\ny = 0\nend\nNLEs:\nx = 1\nend\n")) << closed.errors();
    test::LoadedModel real;
    EXPECT_TRUE(real.fromString(cHeader + "Model [type = NL]:\nVars:\nconj = 1\nsx = 2\nend_ = 3\nNLEs:\nconj = 1\n"
                                          "sx = 2\nend_ = 3\nend\n"))
        << real.errors();
    EXPECT_EQ(real.varPos("conj"), 0);
    EXPECT_EQ(real.varPos("end_"), 2);
}

template <typename T> class ReservedNamesXml : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(ReservedNamesXml, Builds);

TYPED_TEST(ReservedNamesXml, AWordOfTheLanguageDeclaredInAnXmlDocumentIsRefused)
{
    const bool complex = sl::ValueTraits<TypeParam>::isComplex;
    const std::string root = complex ? "type=\"WLS\" domain=\"cmplx\"" : "type=\"WLS\"";
    auto wls = [&root](const std::string& before, const std::string& vars, const std::string& params) {
        return test::doc(root, before + "<Vars conj=\"false\"><Var name=\"x\"/>" + vars + "</Vars><Params>" + params +
                                   "</Params><MeasEqs><Eq fx=\"x = 1\"/><Eq fx=\"x = 2\"/></MeasEqs>");
    };
    const struct Case
    {
        std::string text;
        const char* entry;
    } cases[] = {
        {wls("", "<Var name=\"s\"/>", ""),
         "(3,Vars):Name s is a reserved word of the model language!\n(3,Vars):Var#: 1"},
        {wls("", "<Var name=\"e\"/>", ""), "Name e is a reserved word of the model language!"},
        {wls("", "", "<Param name=\"if\"/>"),
         "(3,Params):Name if is a reserved word of the model language!\n(3,Params):Par#: 0"},
        {wls("", "", "<Param name=\"a\"/><Param name=\"pi{u, v}\"/>"),
         "Name pi is a reserved word of the model language!\n(3,Params):Par#: 1"},
        {wls("", "", "<Param name=\"max\"/>"), "Name max is a reserved word of the model language!"},
        {wls("<RndGens><RndGen name=\"end\" type=\"Poisson\" lambda=\"1\"/></RndGens>", "", ""),
         "(3,RndGens):Name end is a reserved word of the model language!\n(3,RndGens):RndGen#: 0"},
        {wls("<RndGens><RndGen name=\"max\" type=\"Poisson\" lambda=\"1\"/></RndGens>", "", ""),
         "Name max is a reserved word of the model language!"},
        {wls("<Stats name=\"s\"/>", "", ""), "(3,Stats):Name s is a reserved word of the model language!"},
        {wls("<Stats names=\"a, default\"/>", "", ""), "Name default is a reserved word of the model language!"},
    };
    for (const Case& c : cases)
    {
        test::XmlBuild<TypeParam> b;
        EXPECT_FALSE(b.wls(c.text)) << c.text;
        EXPECT_NE(b.errors().find(c.entry), std::string::npos) << c.text << "\n" << b.errors();
    }

    // A statistic is fed by its name, which expressions do not read: a function's name may
    // name one. conj names a variable of the real domain, a function of the complex one.
    test::XmlBuild<TypeParam> stats;
    EXPECT_TRUE(stats.wls(wls("<Stats name=\"avg\"/>", "", ""))) << stats.errors();
    test::XmlBuild<TypeParam> conj;
    EXPECT_EQ(conj.wls(wls("", "<Var name=\"conj\"/>", "")), !complex) << conj.errors();
    if (complex)
    {
        EXPECT_NE(conj.errors().find("Name conj is a reserved word"), std::string::npos) << conj.errors();
    }
}
} // namespace
