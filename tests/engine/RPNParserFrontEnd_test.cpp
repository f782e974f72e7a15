#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>
#include <sc/priv/FunctionTable.h>

#include "ParserSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using sc::Group;
using sc::ModelLevel;

struct Golden
{
    const char* statement;
    const char* tokens;
};

// Builds the body of a model whose main NLEs group holds the statements, one per line.
// Variables x, y, z (0-2), parameters a, b (0-1), a generator g and a statistic st;
// a sub-model with variable u, parameter k and one equation over main-model values.
template <std::size_t N> std::string modelBody(const Golden (&rows)[N], const char* domain = "real")
{
    std::string body = std::string("Model [type = NL, domain = ") + domain +
                       "]:\nVars:\nx = 1; y = 1; z = 1\nParams:\na = 1; b = 2\n"
                       "Distribs:\ng [type = Gauss, mean = 0, dev = 1]\nStats:\nst\n"
                       "SubModel [type = NL]:\nVars:\nu = 0\nParams:\nk = 2\nNLEs:\nu = k*@main.a + @main.y\nend\n"
                       "NLEs:\n";
    for (const Golden& g : rows)
        body += std::string(g.statement) + "\n";
    return body + "end\n";
}

template <typename T, std::size_t N> void expectGolden(const Golden (&rows)[N], const char* domain, td::UINT4 varFactor)
{
    test::ModelRig<T> rig;
    ASSERT_TRUE(rig.load(modelBody(rows, domain)));
    rig.useLevel(ModelLevel::Main, varFactor);
    auto statements = rig.statements(Group::NLEs);
    ASSERT_EQ(statements.size(), N);
    for (std::size_t i = 0; i < N; ++i)
    {
        td::BYTE kind = 0;
        EXPECT_TRUE(rig.compile(statements[i], kind)) << rows[i].statement << "\n" << rig.keys();
        EXPECT_EQ(kind, 1) << rows[i].statement;
        EXPECT_EQ(rig.tokens(), rows[i].tokens) << rows[i].statement;
    }
    EXPECT_EQ(rig.keys(), "");
}

// Parameters follow the three variables; embedded parameters follow both.
const Golden s_frontEndGolden[] = {
    {"x = 0", "s0"},
    {"x = false", "s0"},
    {"x = 3", "s0 -#-1 i3"},
    {"x = -2", "s0 -#-1 i-2"},
    {"x = true", "s0 -#-1 true"},
    {"x = a + b", "s0 -#-1 ( s3 + s4 )"},
    {"x = -y", "s0 -#-1 ( i0 - s1 )"},
    {"-x + y = 1", "i0 - s0 + s1 -#-1 i1"},
    {"x*(-y) = 2.5e-1", "s0 * ( i0 - s1 ) -#-1 r0.25"},
    {"-2^2 = x", "i-2 ^ i2 -#-1 s0"},
    {"y = e + pi", "s1 -#-1 ( r2.7182818284590451 + r3.1415926535897931 )"},
    {"z = round(x, 2)", "s2 -#-1 ( round ( s0 , i2 ) )"},
    {"z = repeat# + solState#", "s2 -#-1 ( s5 + s10 )"},
    {"z = g + st", "s2 -#-1 ( g0 + st0 )"},
    {"z = s*y + 1", "s2 -#-1 ( lap * s1 + i1 )"},
    {"x = a\\b % 2", "s0 -#-1 ( s3 / s4 % i2 )"},
    {"x = not y and z or a xor b", "s0 -#-1 ( not s1 and s2 or s3 xor s4 )"},
    {"x += y", "s0 += s1"},
    {"x -> y", "s0 = s1"},
    {"x = y // a comment", "s0 -#-1 s1"},
    {"x = y :", "s0 -#-1 ( s1 )"},
    {"x = lim(y, -1, 1)", "s0 -#-1 ( lim ( s1 , i-1 , i1 ) )"},
};

TEST(FrontEndRoad, GoldenTokenLists) { expectGolden<double>(s_frontEndGolden, "real", 1); }

// Derivative marks stand only in ODEs; there they reach the parser as their own tokens.
TEST(FrontEndRoad, DerivativeMarksOfAnODE)
{
    test::ModelRig<double> rig;
    ASSERT_TRUE(rig.load("Model [type = ODE]:\nVars:\nx = 1; y = 1; z = 1\nODEs:\nx = y' + z''\nend\n"))
        << rig.modelLog.messages.size();
    rig.useLevel(ModelLevel::Main);
    auto statements = rig.statements(Group::ODEs);
    ASSERT_EQ(statements.size(), 1u);
    td::BYTE kind = 0;
    ASSERT_TRUE(rig.compile(statements[0], kind)) << rig.keys();
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(rig.tokens(), "s0 -#-1 ( s1 ' + s2 '' )");
}

TEST(FrontEndRoad, ParentModelSymbolsCarryTheirOrigin)
{
    const Golden rows[] = {{"x = y", "s0 -#-1 s1"}};
    test::ModelRig<double> rig;
    ASSERT_TRUE(rig.load(modelBody(rows)));
    rig.useLevel(ModelLevel::Sub);
    auto statements = rig.statements(Group::NLEs, ModelLevel::Sub);
    ASSERT_EQ(statements.size(), 1u);
    td::BYTE kind = 0;
    ASSERT_TRUE(rig.compile(statements[0], kind)) << rig.keys();
    // Own u and k; the main model's parameter a after its three variables, its y as is.
    EXPECT_EQ(rig.tokens(), "s0 -#-1 ( s1 * ^s3 + ^s1 )");
}

TEST(FrontEndRoad, LeadingReservedWordsSetTheExpressionKind)
{
    test::ModelRig<double> rig;
    ASSERT_TRUE(rig.load("Model [type = NL]:\nVars:\nx = 1\nParams:\na = 1; b = 2\nPreProc:\n"
                         "if a > 0\n    b = 2*a\nelse\n    b = 1\nend\n"
                         "switch\ncase a > 1 -> b = 3\ndefault -> b = 4\nend\nNLEs:\nx = a\nend\n"))
        << rig.modelLog.messages.size();
    rig.useLevel(ModelLevel::Main);
    auto statements = rig.statements(Group::PreProc);
    struct Row
    {
        bool ok;
        td::BYTE kind;
        const char* tokens;
    } rows[] = {{true, 2, "s1 > i0"}, {true, 1, "s2 -#-1 ( i2 * s1 )"},
                {true, 3, ""},        {true, 1, "s2 -#-1 i1"},
                {true, 6, ""},        {true, 4, ""},
                {false, 0, ""},       {true, 1, "s2 -#-1 i3"},
                {false, 0, ""},       {true, 1, "s2 -#-1 i4"},
                {true, 6, ""}};
    ASSERT_EQ(statements.size(), sizeof(rows) / sizeof(rows[0]));
    for (std::size_t i = 0; i < statements.size(); ++i)
    {
        td::BYTE kind = 99;
        EXPECT_EQ(rig.compile(statements[i], kind), rows[i].ok) << i;
        EXPECT_EQ(kind, rows[i].kind) << i;
        EXPECT_EQ(rig.tokens(), rows[i].tokens) << i;
    }
    // `case` and `default` cannot lead an expression; behind the word the condition reads.
    EXPECT_EQ(rig.keys(), "@SC.WrongExprType @16:1/2\n@SC.WrongExprType @17:1/2\n");
    td::BYTE kind = 0;
    ASSERT_TRUE(rig.compile(statements[6], kind, 1));
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(rig.tokens(), "s1 > i1");
    // A sub-range: only the right-hand side of `b = 2*a`.
    ASSERT_TRUE(rig.compile(statements[1], kind, 2, 5));
    EXPECT_EQ(rig.tokens(), "i2 * s1");
}

struct KeyCase
{
    const char* statement;
    const char* key;
};

// Each key at the statement's line and the token's column.
template <typename T, std::size_t N> void expectKeys(const KeyCase (&cases)[N], const char* domain, td::UINT4 varFactor)
{
    for (const KeyCase& c : cases)
    {
        const Golden rows[] = {{c.statement, ""}};
        test::ModelRig<T> rig;
        ASSERT_TRUE(rig.load(modelBody(rows, domain))) << c.statement;
        rig.useLevel(ModelLevel::Main, varFactor);
        auto statements = rig.statements(Group::NLEs);
        ASSERT_EQ(statements.size(), 1u) << c.statement;
        td::BYTE kind = 0;
        EXPECT_FALSE(rig.compile(statements[0], kind)) << c.statement;
        EXPECT_EQ(rig.keys(), c.key) << c.statement;
    }
}

// The statement stands on the text's line 22.
TEST(FrontEndRoad, KeysCarryLineColumnAndType)
{
    const KeyCase cases[] = {
        {"x + = 3", "@SC.OperatorAfter= @22:5/2\n"},
        {"x = y = 3", "@SC.Double= @22:7/2\n"},
        {"x =", "@SC.EqEndsWith= @22:3/2\n"},
        {"x = sin y", "@SC.Missing(AfterFnName @22:9/2\n"},
        {"x = sin", "@SC.Missing(AfterFnName @22:5/2\n"},
        {"x = y : z", "@SC.MissingColor @22:7/2\n"},
        {"x = {y}", "@SC.UnexpectedToken @22:5/2\n"},
        {"x = \"text\"", "@SC.UnexpectedToken @22:6/2\n"},
        {"x = y & z", "@SC.UnexpectedToken @22:7/2\n"},
    };
    expectKeys<double>(cases, "real", 1);
}

// Tokens made by hand, for codes the statement pass never stores in an expression.
struct HandTokens
{
    void add(sc::Token kind, td::UINT2 code = 0xFFFF)
    {
        sc::_TokV t;
        t.kind = kind;
        t.code = code;
        t.column = static_cast<td::UINT2>(2 * tokens.size() + 1);
        tokens.push(t);
    }
    sc::TokenizedModel::iterator line(td::UINT4 lineNo)
    {
        lines.push(sc::_tl{lineNo, 0, 0, tokens.size(), 0, 0});
        return sc::TokenizedModel::iterator{&lines, &tokens, nullptr, 0, 1};
    }

    sc::ExprTokens tokens;
    sc::TokenLines lines;
};

TEST(FrontEndRoad, CodesOutsideExpressions)
{
    using F = sc::Token;
    struct Case
    {
        std::vector<F> kinds;
        bool ok;
        const char* tokens;
        const char* key;
    } cases[] = {
        {{F::Var, F::Plus, F::BlockCommentStart, F::Var}, true, "s0 +", ""},
        {{F::Var, F::Semicolon, F::Var}, true, "s0", ""},
        {{F::Var, F::Plus, F::Word}, false, "s0 +", "@SC.UnkownSymbol @5:5/2\n"},
        {{F::Var, F::BlockCommentEnd}, false, "s0", "@SC.UnexpectedToken @5:3/2\n"},
        {{F::Var, F::EndOfLine}, false, "s0", "@SC.UnexpectedToken @5:3/2\n"},
        {{F::Var, F::Reserved}, false, "s0", "@SC.UnexpectedToken @5:3/2\n"},
        {{F::Colon, F::Var}, true, ": s0", ""},
        {{F::Var, F::Minus, F::LBracket, F::Integer, F::RBracket}, true, "s0 - [ i0 ]", ""},
    };
    for (const Case& c : cases)
    {
        test::ParserRig<double> rig;
        HandTokens hand;
        for (F k : c.kinds)
            hand.add(k, k == F::Reserved ? sc::idx(sc::ReservedID::Case) : 0);
        td::BYTE kind = 0;
        EXPECT_EQ(rig.parser.compileTokens(hand.line(5), 0, kind), c.ok) << c.tokens;
        EXPECT_EQ(test::describe(rig.parser.getFirstToken()), c.tokens);
        EXPECT_EQ(test::keyText(rig.log), c.key) << c.tokens;
    }
}

TEST(FrontEndRoad, EmptyRangesAndRefusedVariables)
{
    using F = sc::Token;
    test::ParserRig<double, test::CollectingParser<double>> rig;
    HandTokens hand;
    hand.add(F::Var, 0);
    hand.add(F::Assign);
    hand.add(F::Var, 1);
    hand.add(F::Plus);
    hand.add(F::Var, 7);
    sc::TokenizedModel::iterator it = hand.line(4);
    td::BYTE kind = 9;
    EXPECT_FALSE(rig.parser.compileTokens(it, 5, kind));
    EXPECT_EQ(kind, 0);
    EXPECT_FALSE(rig.parser.compileTokens(it, 2, kind, 2));
    ASSERT_EQ(rig.log.messages.size(), 2u);
    EXPECT_EQ(rig.log.messages[1].text, "@SC.BadExpression");
    EXPECT_EQ(rig.log.messages[1].line, 4u);
    // Behind the last token before the empty range: the `=` (hand columns 1, 3, 5, ...).
    EXPECT_EQ(rig.log.messages[1].col, 3u);

    // The variable that markVariableUsed refuses stops the road.
    rig.parser.refuseFrom = 2;
    EXPECT_FALSE(rig.parser.compileTokens(it, 0, kind));
    EXPECT_EQ(rig.parser.marked, (std::vector<td::UINT4>{0, 1, 7}));
    EXPECT_EQ(rig.log.messages.back().text, "@SC.VarOutOfIndex");
    EXPECT_EQ(rig.log.messages.back().col, 9u);
    // Without collecting nothing is reported and the index stays as it came.
    rig.parser.collecting = false;
    rig.parser.clearTokens();
    EXPECT_TRUE(rig.parser.compileTokens(it, 0, kind));
    EXPECT_EQ(test::describe(rig.parser.getFirstToken()), "s0 -#-1 ( s1 + s7 )");
}

// ---- complex build ----

const Golden s_complexGolden[] = {
    {"z = 1 + 2i", "s4 -#-1 c(1,2)"},
    {"z = 2i - 1", "s4 -#-1 c(-1,2)"},
    {"z = 4 / 2i", "s4 -#-1 c(0,-2)"},
    {"z = 2i * 2i", "s4 -#-1 c-4"},
    {"z = e + 1i", "s4 -#-1 c(2.7182818284590451,1)"},
    {"z = true - 1i", "s4 -#-1 c(1,-1)"},
    {"z = 1 / 0", "s4 -#-1 ( i1 / i0 )"},
    {"z = 1 / 0i", "s4 -#-1 ( i1 / j0 )"},
    {"z = 1 % 2", "s4 -#-1 ( i1 % i2 )"},
    {"z = 0i", "s4"},
    {"z = 4i", "s4 -#-1 j(0,4)"},
    {"z = x - 3 + 4i", "s4 -#-1 ( s0 - c(3,-4) )"},
    {"z = 3 + 4i * x", "s4 -#-1 ( i3 + j(0,4) * s0 )"},
    {"z = (2i - 1)*y", "s4 -#-1 ( ( c(-1,2) ) * s2 )"},
    {"z = x^2 + 1 + 2i", "s4 -#-1 ( s0 ^ i2 + c(1,2) )"},
    {"x - 1 + 2i = y", "s0 - c(1,-2) -#-1 s2"},
    {"z = conj((x)) + conj(y)", "s4 -#-1 ( conj ( ( s0 ) ) + conj ( s2 ) )"},
};

TEST(FrontEndRoadComplex, LiteralsMergeAndConstantsFold)
{
    // Three variables with their partners: x, y, z at 0, 2, 4; parameters from 6.
    expectGolden<Cmplx>(s_complexGolden, "cmplx", 2);
}

TEST(FrontEndRoadComplex, PowerFoldsInComplexArithmetic)
{
    const Golden rows[] = {{"z = 2 ^ 1i", ""}};
    test::ModelRig<Cmplx> rig;
    ASSERT_TRUE(rig.load(modelBody(rows, "cmplx")));
    rig.useLevel(ModelLevel::Main, 2);
    td::BYTE kind = 0;
    ASSERT_TRUE(rig.compile(rig.statements(Group::NLEs)[0], kind));
    const sl::TokenNode<Cmplx>* pLast = rig.parser.getLastToken();
    EXPECT_EQ(pLast->token.type, C::CMPLX_LITERAL);
    EXPECT_EQ(pLast->token.value, std::pow(Cmplx(2, 0), Cmplx(0, 1)));
}

TEST(FrontEndRoadComplex, SmithQuotient)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(sl::priv::smithQuotient({1, 0}, {0, 2}), Cmplx(0, -0.5));
    EXPECT_EQ(sl::priv::smithQuotient({3, 4}, {1, 2}), Cmplx(2.2, -0.4));
    EXPECT_EQ(sl::priv::smithQuotient({3, 4}, {2, 1}), Cmplx(2, 1));
    for (Cmplx divisor : {Cmplx(nan, 1), Cmplx(1, nan), Cmplx(inf, inf), Cmplx(-inf, inf)})
    {
        Cmplx q = sl::priv::smithQuotient({1, 1}, divisor);
        EXPECT_TRUE(std::isnan(q.real()) && std::isnan(q.imag())) << divisor;
    }
}

TEST(FrontEndRoadComplex, PartnersAndSubRanges)
{
    const Golden rows[] = {{"z = (2i - 1)", ""}, {"z = x*y", ""}};
    test::ModelRig<Cmplx, test::CollectingParser<Cmplx>> rig;
    ASSERT_TRUE(rig.load(modelBody(rows, "cmplx")));
    rig.useLevel(ModelLevel::Main, 2);
    rig.parser.refuseFrom = 100;
    auto statements = rig.statements(Group::NLEs);
    td::BYTE kind = 0;
    // From the literal on: the merged constant, then the closing bracket.
    ASSERT_TRUE(rig.compile(statements[0], kind, 3));
    EXPECT_EQ(rig.tokens(), "c(-1,2) )");
    rig.parser.marked.clear();
    ASSERT_TRUE(rig.compile(statements[1], kind));
    EXPECT_EQ(rig.tokens(), "s4 -#-1 ( s0 * s2 )");
    EXPECT_EQ(rig.parser.marked, (std::vector<td::UINT4>{4, 0, 2}));
    // Without partners the indices stay as the symbol table gives them.
    rig.parser.setConjugatePartners(false);
    rig.useLevel(ModelLevel::Main);
    ASSERT_TRUE(rig.compile(statements[1], kind));
    EXPECT_EQ(rig.tokens(), "s2 -#-1 ( s0 * s1 )");
}

TEST(FrontEndRoadComplexDeathTest, PartnerIndicesNeedAVariable)
{
    test::ParserRig<Cmplx> rig;
    rig.parser.setNumberOfSymbols(2, 0);
    HandTokens hand;
    hand.add(sc::Token::Var, 2);
    td::BYTE kind = 0;
    EXPECT_DEATH(rig.parser.compileTokens(hand.line(1), 0, kind), "tokenEntry.index < _nVars");
}

TEST(FrontEndRoadComplex, Refusals)
{
    const KeyCase cases[] = {
        {"z = conj(conj(x))", "@SC.NestedConjNotAllowed @22:10/2\n"},
        {"z = conj(x + conj(y))", "@SC.NestedConjNotAllowed @22:14/2\n"},
        {"z = 3 + - 4i", "@SC.TwoConsOperands @22:9/2\n"},
    };
    expectKeys<Cmplx>(cases, "cmplx", 2);
}

TEST(FrontEndRoad, RealBuildRefusesComplexOnlyTokens)
{
    const KeyCase cases[] = {
        {"z = 4i", "@SC.UnexpectedToken @22:5/2\n"},
        {"z = conj(x)", "@SC.UnexpectedToken @22:5/2\n"},
    };
    expectKeys<double>(cases, "cmplx", 1);
}
// The code of the first function token of the parser's list; 0 without one.
template <typename T> td::BYTE firstFunctionCode(const sl::TokenNode<T>* pNode)
{
    for (; pNode; pNode = pNode->pNext)
    {
        if (pNode->token.type == C::FUNCTION)
            return pNode->token.functionID();
    }
    return 0;
}

// Every function a build knows has one code on both roads, 57 plus its row of the table:
// in a model text and in an XML expression alike. A function complex models alone know is
// no word of the real build's XML road.
template <typename T> void expectOneCodeOnBothRoads()
{
    constexpr bool complex = sl::ValueTraits<T>::isComplex;
    const unsigned nKnown = complex ? sc::priv::cFunctionCount : sc::priv::cRealFunctionCount;
    std::string body =
        std::string("Model [type = NL, domain = ") + (complex ? "cmplx" : "real") + "]:\nVars:\nx = 1; z = 1\nNLEs:\n";
    for (unsigned row = 0; row < nKnown; ++row)
        body += std::string("z = ") + sc::priv::cFunctionWords[row] + "(x)\n";
    test::ModelRig<T> rig;
    ASSERT_TRUE(rig.load(body + "end\n")) << test::keyText(rig.modelLog);
    rig.useLevel(ModelLevel::Main, complex ? 2 : 1);
    auto statements = rig.statements(Group::NLEs);
    ASSERT_EQ(statements.size(), nKnown);
    for (unsigned row = 0; row < sc::priv::cFunctionCount; ++row)
    {
        const char* word = sc::priv::cFunctionWords[row];
        const td::BYTE code = static_cast<td::BYTE>(C::cFirstFunction + row);
        test::ParserRig<T> xml;
        const bool parsed = xml.parser.parse((std::string(word) + "(x)").c_str()) != 0;
        if (row >= nKnown)
        {
            EXPECT_FALSE(parsed) << word;
            continue;
        }
        td::BYTE kind = 0;
        ASSERT_TRUE(rig.compile(statements[row], kind)) << word << "\n" << rig.keys();
        EXPECT_EQ(firstFunctionCode(rig.parser.getFirstToken()), code) << word;
        ASSERT_TRUE(parsed) << word << "\n" << xml.errorText();
        EXPECT_EQ(firstFunctionCode(xml.parser.getFirstToken()), code) << word;
        EXPECT_STREQ(C::functionKeyword(code), word);
    }
}

TEST(FrontEndRoad, EveryFunctionHasOneCodeOnBothRoads)
{
    expectOneCodeOnBothRoads<double>();
    expectOneCodeOnBothRoads<Cmplx>();
}
} // namespace
