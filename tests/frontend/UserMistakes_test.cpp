// Texts as people mistype them, read by the front end: integer literals beyond 32 bits,
// headers that fail, group lines whose word is no group and derivative marks outside ODEs.
// Lines and columns are counted in each test's own text, from its first line.
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "ModelFixture.h"
#include "support/ScratchPath.h"

namespace
{
using sc::Group;
using sc::ModelLevel;
using sc::Token;
using test::LoadedModel;
namespace msg = sc::msg;

std::string named(const char* key, const char* name) { return std::string(key) + " (" + name + ")"; }

std::string at(const std::string& text, td::UINT4 line, td::UINT4 col)
{
    return text + " @" + std::to_string(line) + ":" + std::to_string(col) + "\n";
}

// Token k of statement s (0 = the first after the group's line) of a group.
const sc::_TokV& tokenOf(const LoadedModel& m, Group g, td::UINT4 s, td::UINT4 k, ModelLevel level = ModelLevel::Main)
{
    sc::TokenizedModel::iterator it = m.model->getGroup(g, level);
    for (td::UINT4 i = 0; i <= s; ++i)
        ++it;
    EXPECT_FALSE(it.atEnd());
    EXPECT_LT(k, it.line().nExpr);
    return it.exprToken(k);
}

const sc::_TokV& attribOf(const LoadedModel& m, Group g, ModelLevel level, td::UINT4 k)
{
    sc::TokenizedModel::iterator it = m.model->getGroup(g, level);
    EXPECT_LT(k, it.line().nAttrib);
    return m.model->getAttribTokens()[it.line().firstAttrib + k];
}

TEST(UserMistakes, IntegerLiteralsBeyond32BitsAreRealNumbers)
{
    for (const char* domain : {"real", "cmplx"})
    {
        SCOPED_TRACE(domain);
        LoadedModel m;
        ASSERT_TRUE(m.fromString(std::string("Header:\nend\nModel [type = NL, domain = ") + domain +
                                 "]:\n"
                                 "Vars:\n"
                                 "x = 3000000000\n"
                                 "Params:\n"
                                 "p = -2147483649; q = -2147483648; r = 2147483647; u = 2147483648\n"
                                 "NLEs:\n"
                                 "x = 3000000000*p + 99999999999999999999\n"
                                 "PostProc:\n"
                                 "if x > -4294967296\n"
                                 "    r = 4294967297\n"
                                 "end\n"
                                 "end\n"))
            << m.errors();
        struct Expected
        {
            Group g;
            td::UINT4 statement, token;
            Token kind;
            double value;
        } cases[] = {
            {Group::Vars, 0, 2, Token::Real, 3000000000.0},
            {Group::Params, 0, 2, Token::Real, -2147483649.0},
            {Group::Params, 1, 2, Token::Integer, -2147483648.0}, // still fits: an integer
            {Group::Params, 2, 2, Token::Integer, 2147483647.0},
            {Group::Params, 3, 2, Token::Real, 2147483648.0},
            {Group::NLEs, 0, 2, Token::Real, 3000000000.0},
            {Group::NLEs, 0, 6, Token::Real, 1e20}, // the nearest double
            {Group::PostProc, 0, 3, Token::Real, -4294967296.0},
            {Group::PostProc, 1, 2, Token::Real, 4294967297.0},
        };
        for (const Expected& e : cases)
        {
            const sc::_TokV& t = tokenOf(m, e.g, e.statement, e.token);
            EXPECT_EQ(t.kind, e.kind) << static_cast<int>(e.g) << " " << e.statement;
            EXPECT_EQ(t.kind == Token::Integer ? double(t.getInt()) : t.getReal(), e.value)
                << static_cast<int>(e.g) << " " << e.statement;
        }
    }
}

TEST(UserMistakes, IntegerSettingsBeyondTheirRangeAreRefusedAtTheValue)
{
    const std::string model = "Model [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 2\nend\n";
    const struct Case
    {
        std::string text;
        std::string errors;
    } cases[] = {
        // Header settings: the load ends with the header (line 2 or 3 of the text).
        {"Header:\nmaxIter = 3000000000\nend\n" + model,
         at(named(msg::mlIntegerOutOfRange, "maxIter"), 2, 11) + at(msg::mlHeaderIncorrectOrMissing, 1, 1)},
        {"Header:\nmaxIter = 50\nmaxReps = -2147483649\nend\n" + model,
         at(named(msg::mlIntegerOutOfRange, "maxReps"), 3, 11) + at(msg::mlHeaderIncorrectOrMissing, 1, 1)},
        {"Header:\n  maxIter = 1e10\nend\n" + model,
         at(named(msg::mlIntegerOutOfRange, "maxIter"), 2, 13) + at(msg::mlHeaderIncorrectOrMissing, 1, 1)},
        {"Header:\nmaxReps = -1e999 maxIter = 5\nend\n" + model,
         at(named(msg::mlIntegerOutOfRange, "maxReps"), 2, 11) + at(msg::mlHeaderIncorrectOrMissing, 1, 1)},
        // Attributes of integer kind on model lines.
        {"Header:\nend\nModel [type = NL, maxIter = 3000000000]:\nVars:\nx = 1\nNLEs:\nx = 2\nend\n",
         at(named(msg::mlIntegerOutOfRange, "maxIter"), 3, 29)},
        {"Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nParams:\na = 1\n"
         "SubModel [type = NL, copyPars = -3000000000]:\nVars:\nu = 0\nNLEs:\nu = a\nend\nNLEs:\nx = 2\nend\n",
         at(named(msg::mlIntegerOutOfRange, "copyPars"), 8, 33)},
        {"Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nParams:\na = 1\n"
         "SubModel [copyPars = 1e10]:\nVars:\nu = 0\nNLEs:\nu = a\nend\nNLEs:\nx = 2\nend\n",
         at(named(msg::mlIntegerOutOfRange, "copyPars"), 8, 22)},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(c.text)) << c.text;
        EXPECT_EQ(m.errors(), c.errors) << c.text;
    }

    // The ends of the range still fit; a fraction is cut as before.
    LoadedModel edges;
    ASSERT_TRUE(edges.fromString("Header:\nmaxIter = 2147483647 maxReps = -2147483648\nend\n"
                                 "Model [type = NL, maxIter = -2147483648]:\nVars:\nx = 1\nParams:\na = 1; b = 2\n"
                                 "SubModel [copyPars = 1.9]:\nVars:\nu = 0\nNLEs:\nu = a\nend\nNLEs:\nx = 2\nend\n"))
        << edges.errors();
    int value = 0;
    EXPECT_EQ(edges.model->getHeaderParamValue(sc::HeaderParam::MaxIter, value), 1);
    EXPECT_EQ(value, 2147483647);
    EXPECT_EQ(edges.model->getHeaderParamValue(sc::HeaderParam::MaxReps, value), 1);
    EXPECT_EQ(value, -2147483648);
    EXPECT_EQ(attribOf(edges, Group::Model, ModelLevel::Main, 1).kind, Token::Integer);
    EXPECT_EQ(edges.model->getCopyParamsFromParentToSubModelCopied(), 1u);
}

TEST(UserMistakes, AFailedHeaderEndsTheLoadWithItsOwnMessages)
{
    const std::string body = "Model [type = NL]:\nVars:\nx = 0\nNLEs:\nx = 1\nend\n";
    // Then the missing header's message, at the header's line (or where it should stand).
    const struct Case
    {
        std::string text;
        std::string first; // the header pass's message
        td::UINT4 headerLine;
    } cases[] = {
        {"Heder:\nmaxIter = 50\nend\n" + body, at(msg::mlHeaderFirstTokenErr, 1, 1), 1},
        {"Header:\nmaxIters = 50\nend\n" + body, at(msg::mlHeaderParamUnknown, 2, 1), 1},
        // Without its end the header runs into the model line: the header is at fault.
        {"Header:\nmaxIter = 50\n" + body, at(msg::mlHeaderWithoutEnd, 1, 1), 1},
        {"// a model\nHeader:\nmaxIter = 50 dTime 0.1\nend\n" + body, at(msg::mlHeaderParamExpEq, 3, 20), 2},
        // No header at all: the model line is where it should stand.
        {body, at(msg::mlHeaderFirstTokenErr, 1, 1), 1},
    };
    const std::string path = test::scratchPath("userMistakesHeader.txt");
    for (const Case& c : cases)
    {
        const std::string expected = c.first + at(msg::mlHeaderIncorrectOrMissing, c.headerLine, 1);
        LoadedModel fromString;
        EXPECT_FALSE(fromString.fromString(c.text)) << c.text;
        EXPECT_EQ(fromString.errors(), expected) << c.text;
        EXPECT_EQ(fromString.log.messages.size(), 2u) << c.text; // no warning or note either
        EXPECT_EQ(fromString.naming.getNumberOfVars(ModelLevel::Main), 0u) << c.text;

        std::ofstream(path, std::ios::binary) << c.text;
        LoadedModel fromFile;
        EXPECT_FALSE(fromFile.fromFile(path)) << c.text;
        EXPECT_EQ(fromFile.errors(), expected) << c.text;
        EXPECT_EQ(fromFile.log.messages.size(), 2u) << c.text;
    }
    std::remove(path.c_str());

    // A text that ends inside its header has the missing header's message alone.
    LoadedModel unfinished;
    EXPECT_FALSE(unfinished.fromString("Header:\nmaxIter = 50\n"));
    EXPECT_EQ(unfinished.errors(), at(msg::mlHeaderIncorrectOrMissing, 1, 1));
}

TEST(UserMistakes, AOneWordLineEndingInAColonMustNameAGroup)
{
    const std::string header = "Header:\nend\n"; // lines 1-2
    const struct Case
    {
        std::string body; // from line 3
        std::string errors;
    } cases[] = {
        // The issue's two: equations read as declarations, a group read as a start value.
        {"Model [type = NL]:\nVars:\nx = 0; y = 0\nParams:\np = 1\nNLE:\nx = 1\ny = p\nend\n",
         at(named(msg::mlUnknownGroupName, "NLE"), 8, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nparams:\np = 1\nNLEs:\nx = p\nend\n",
         at(named(msg::mlUnknownGroupName, "params"), 6, 1)},
        // Right after the model line, with blanks and a comment, in a sub-model, after the
        // equations, before the model line.
        {"Model [type = NL]:\n  vars : // the unknowns\nx = 0\nNLEs:\nx = 1\nend\n",
         at(named(msg::mlUnknownGroupName, "vars"), 4, 3)},
        {"Model [type = NL]:\nVars:\nx = 0\nSubModel [type = NL]:\nVars:\nu = 0\nNLE:\nu = 1\nend\nNLEs:\nx = "
         "1\nend\n",
         at(named(msg::mlUnknownGroupName, "NLE"), 9, 1)},
        {"Model [type = NL]:\nVars:\nx = 0\nParams:\np = 0\nNLEs:\nx = 1\nPostProcess:\np = x\nend\n",
         at(named(msg::mlUnknownGroupName, "PostProcess"), 10, 1)},
        {"Modle:\nVars:\nx = 0\nNLEs:\nx = 1\nend\n", at(named(msg::mlUnknownGroupName, "Modle"), 3, 1)},
        // A name declared before does not make a declaration group's line a statement.
        {"Model [type = NL]:\nVars:\nx = 0\nx:\nNLEs:\nx = 1\nend\n", at(named(msg::mlUnknownGroupName, "x"), 6, 1)},
        // A start value that reads a name declared after the misspelt group: the group line
        // is told first, the name it leaves undeclared after it.
        {"Model [type = NL]:\nVars:\nx = 2*k\nParms:\nk = 1\nNLEs:\nx = k\nend\n",
         at(named(msg::mlUnknownGroupName, "Parms"), 6, 1) + at(msg::mlUnknownLbl, 5, 7)},
        {"Model [type = NL]:\nVars:\nx = 0\nSubModel [type = NL]:\nVars:\nu = 2*q\nparams:\nq = 1\nNLEs:\nu = "
         "q\nend\nNLEs:\nx = 1\nend\n",
         at(named(msg::mlUnknownGroupName, "params"), 9, 1) + at(msg::mlUnknownLblSM, 8, 7)},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(header + c.body)) << c.body;
        EXPECT_EQ(m.errors(), c.errors) << c.body;
    }

    // Lines ending in a colon that the language reads: group lines with attributes or a
    // comment, a case and a default that a colon closes, and an equation on a declared
    // name that a colon ends.
    LoadedModel valid;
    ASSERT_TRUE(valid.fromString(header + "Model [type = NL]:\nVars [out = true]:\nx = 0\nParams: // fixed\np = 1\n"
                                          "NLEs:\nx:\nPostProc:\nswitch\ncase p > 0:\np = 5\ndefault:\np = 6\nend\n"
                                          "end\n"))
        << valid.errors();
    EXPECT_EQ(valid.varPos("x"), 0);
    EXPECT_EQ(valid.paramPos("p"), 0);
    EXPECT_EQ(valid.model->getNumberOfExpressions(Group::NLEs, ModelLevel::Main), 1u);
    EXPECT_EQ(valid.model->getNumberOfExpressions(Group::PostProc, ModelLevel::Main), 1u);
}

TEST(UserMistakes, AnEndAfterADeclarationIsToldBeforeTheNamesItLeavesUndeclared)
{
    const std::string header = "Header:\nend\n"; // lines 1-2
    const std::string vars = "Model [type = NL]:\nVars:\nx = 2*k\nParams:\n";
    const std::string rest = "k = 1\nNLEs:\nx = k\nend\n";
    const struct Case
    {
        std::string line; // line 7
        std::string errors;
    } cases[] = {
        {"r = end", at(msg::mlExprAfterEnd, 7, 5) + at(msg::mlUnknownLbl, 5, 7)},
        {"r end 2", at(msg::mlExprAfterEnd, 7, 3) + at(msg::mlUnknownLbl, 5, 7)},
        {"r = 1; end", at(msg::mlExprAfterEnd, 7, 8) + at(msg::mlUnknownLbl, 5, 7)},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(header + vars + c.line + "\n" + rest)) << c.line;
        EXPECT_EQ(m.errors(), c.errors) << c.line;
    }
}

TEST(UserMistakes, ADerivativeMarkOutsideODEsIsRefusedAtTheMark)
{
    const std::string header = "Header:\nend\n"; // lines 1-2
    const std::string dae = "Model [type = DAE]:\nVars:\nx = 0; y = 0\n";
    const struct Case
    {
        std::string body; // from line 3
        std::string errors;
    } cases[] = {
        {"Model [type = NL]:\nVars:\nx = 0; y = 0\nNLEs:\nx' = y\ny = 2\nend\n",
         at(named(msg::mlDerivOutsideODEs, "NLEs"), 7, 2)},
        {"Model [type = WLS]:\nVars:\nx = 0\nWLSEs:\nx = 1\n  x = 2 + x''\nECs:\nx = 1\nend\n",
         at(named(msg::mlDerivOutsideODEs, "WLSEs"), 8, 12)},
        {"Model [type = WLS]:\nVars:\nx = 0\nWLSEs:\nx = 1\nx = 2\nECs:\nx' = 1\nend\n",
         at(named(msg::mlDerivOutsideODEs, "ECs"), 10, 2)},
        {"Model [type = NL]:\nVars:\nx' = 0\nNLEs:\nx = 1\nend\n", at(named(msg::mlDerivOutsideODEs, "Vars"), 5, 2)},
        {"Model [type = NL]:\nVars:\nx = 0\nParams:\np = 1\nPreProc:\np = x'\nNLEs:\nx = p\nend\n",
         at(named(msg::mlDerivOutsideODEs, "PreProc"), 9, 6)},
        {"Model [type = NL]:\nVars:\nx = 0\nParams:\np = 1\nNLEs:\nx = p\nPostProc:\nif x' > 0\np = 2\nend\nend\n",
         at(named(msg::mlDerivOutsideODEs, "PostProc"), 11, 5)},
        // A DAE model's algebraic equations and transfer functions.
        {dae + "ODEs:\nx' = -x + y\nNLEs:\ny' = 1\nend\n", at(named(msg::mlDerivOutsideODEs, "NLEs"), 9, 2)},
        {dae + "ODEs:\nx' = -x\nTFs:\ny / x' = 1/(s + 1)\nend\n", at(named(msg::mlDerivOutsideODEs, "TFs"), 9, 6)},
        // A sub-model's equations.
        {"Model [type = NL]:\nVars:\nx = 0\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu' = 1\nend\nNLEs:\nx = "
         "1\nend\n",
         at(named(msg::mlDerivOutsideODEs, "NLEs"), 10, 2)},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(header + c.body)) << c.body;
        EXPECT_EQ(m.errors(), c.errors) << c.body;
    }

    // In ODEs, of the main model and of a sub-model, the mark stays for the model builder.
    LoadedModel odes;
    ASSERT_TRUE(odes.fromString(header + dae +
                                "SubModel [type = DAE]:\nVars:\nu = 0\nODEs:\nu' = -u\nend\n"
                                "ODEs:\nx' = -x + y\nNLEs:\ny = 1\nend\n"))
        << odes.errors();
    EXPECT_EQ(tokenOf(odes, Group::ODEs, 0, 1).kind, Token::Apostrophe);
    EXPECT_EQ(tokenOf(odes, Group::ODEs, 0, 1, ModelLevel::Sub).kind, Token::Apostrophe);
}
} // namespace
