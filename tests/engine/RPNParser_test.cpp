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

template <typename T> class TextRoad : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(TextRoad, Builds);

struct Golden
{
    const char* text;
    const char* tokens;
};

// Variables x, y are 0 and 1, parameters a, b are 2 and 3.
const Golden s_textGolden[] = {
    {"-2*x", "i-2 * s0"},
    {"a*-2", "s2 * i-2"},
    {"-x", "i0 - s0"},
    {"-(x)", "i0 - ( s0 )"},
    {"max(x, -y)", "max ( s0 , i0 - s1 )"},
    {"max(x,-2)", "max ( s0 , i-2 )"},
    {"x - 2", "s0 - i2"},
    {"x^-2/-3", "s0 ^ i-2 / i-3"},
    {"-2^2", "i-2 ^ i2"},
    {"round(x,2)", "round ( s0 , i2 )"},
    {"atg2(y, x)", "atan2 ( s1 , s0 )"},
    {"x//comment", "s0"},
    {"x // (note", "s0"},
    {"(-2e)", "( r-2 )"},
    {"1. + 1.e5 + 2.5E-3 + 7e+2", "r1 + r100000 + r0.0025000000000000001 + r700"},
    {".5", ". i5"},
    {"e + pi", "e + pi"},
    {"true or false and not x", "true or false and not s0"},
    {"x+=1", "s0 += i1"},
    {"-x--2", "i0 - s0 - i-2"},
    // After any operator a minus before a digit starts a number, as in model texts.
    {"x > -1 + -2.5", "s0 > i-1 + r-2.5"},
    {"x==-1 or y<=-1 and not -3", "s0 == i-1 or s1 <= i-1 and not i-3"},
    {"x - - 2", "s0 - - i2"},
    {"(x)-1", "( s0 ) - i1"},
    {"a = b", "s2 = s3"},
    {"x>y>=a<b<=1==2!=3", "s0 > s1 >= s2 < s3 <= i1 == i2 != i3"},
    {"x-=1, y*=2: a/=3 . b^=4", "s0 -= i1 , s1 *= i2 : s2 /= i3 . s3 ^= i4"},
    {"2147483647 * -2147483648", "i2147483647 * i-2147483648"},
    {"(-2147483648)", "( i-2147483648 )"},
    {"2147483648", "r2147483648"},
    {"1234567890123456789012345678901234567890", "r1.2345678901234568e+39"},
    {"x\n+ y", "s0 + s1"},
    {"x // first line\r\n  * (y // ( in a comment\n)", "s0 * ( s1 )"},
    {"\tsin(x)\r+\tcos(y)\n", "sin ( s0 ) + cos ( s1 )"},
};

TYPED_TEST(TextRoad, GoldenTokenLists)
{
    for (const Golden& g : s_textGolden)
    {
        test::ParserRig<TypeParam> rig;
        EXPECT_EQ(rig.parser.parse(g.text), C::END_OF_TEXT) << g.text << ": " << rig.errorText();
        EXPECT_EQ(rig.tokens(), g.tokens) << g.text;
        EXPECT_EQ(rig.errorText(), "") << g.text;
    }
}

struct Failure
{
    std::string text;
    std::string entry;
    const char* tokensBefore;
};

TYPED_TEST(TextRoad, ErrorEntriesCarryLineAndSection)
{
    const std::string longName(300, 'q');
    const Failure failures[] = {
        {"((x)", "Brackets mismatch", ""},
        {")x(", "Brackets mismatch", ""},
        {"(x // )", "Brackets mismatch", ""},
        {"x + 2e", "Unexpected token: 2e", "s0 +"},
        {"2e+ * x", "Unexpected token: 2e+", ""},
        {"__ + x", "Unexpected token: __", ""},
        {"x $ y", "Unexpected token: $", "s0"},
        {"x % y", "Unexpected token: %", "s0"},
        {"x + \xC3\xA9", "Unexpected token: \xC3\xA9", "s0 +"},
        {"x + " + longName, "Unexpected token: " + longName, "s0 +"},
        {"x + 1" + std::string(300, '0'), "Unexpected token: 1" + std::string(300, '0'), "s0 +"},
        {"sin x", "Missing open bracket after function name!", "sin"},
        {"x + sin", "Missing open bracket after function name!", "s0 + sin"},
        {"x + z", "Unknown variable or parameter: z", "s0 +"},
    };
    for (const Failure& f : failures)
    {
        test::ParserRig<TypeParam> rig;
        rig.data.currentLine = 7;
        rig.data.currentSection = static_cast<td::BYTE>(sl::ErrorSection::NLEqs);
        EXPECT_EQ(rig.parser.parse(f.text.c_str()), 0) << f.text;
        EXPECT_EQ(rig.errorText(), "(7,NLEqs):" + f.entry) << f.text;
        EXPECT_EQ(rig.tokens(), f.tokensBefore) << f.text;
    }
}

TYPED_TEST(TextRoad, NullTextFailsSilentlyAndEachParseStartsAfresh)
{
    test::ParserRig<TypeParam> rig;
    EXPECT_EQ(rig.parser.parse(nullptr), 0);
    EXPECT_EQ(rig.errorText(), "");

    ASSERT_EQ(rig.parser.parse("x + y"), C::END_OF_TEXT);
    EXPECT_EQ(rig.parser.parse("x + z + y"), 0);
    // A failed parse leaves nothing behind for the next one.
    ASSERT_EQ(rig.parser.parse("a*b"), C::END_OF_TEXT);
    EXPECT_EQ(rig.tokens(), "s2 * s3");
    EXPECT_EQ(rig.parser.getNumberOfTokens(), 3u);
    EXPECT_EQ(rig.parser.getLastToken()->token.type, C::SYMBOL);
    EXPECT_EQ(rig.parser.getLastToken()->pNext, nullptr);
}

TYPED_TEST(TextRoad, NamesResolveInOrder)
{
    test::ParserRig<TypeParam> rig;
    // Symbols that constants, functions and operator words hide.
    for (const char* name : {"e", "pi", "sin", "and", "or", "gen", "stat", "s"})
        rig.parser.addSymbolName(name, rig.symbols.getNumberOfNames());
    test::CountingGen* pGen = new test::CountingGen(0);
    td::String genName("gen"), otherGen("noise");
    rig.solver.generators.add(otherGen, new test::CountingGen(0));
    rig.solver.generators.add(genName, pGen);
    rig.solver.stats.reserve(2);
    rig.solver.stats.record(0).name = "avgT";
    rig.solver.stats.record(1).name = "load";

    ASSERT_EQ(rig.parser.parse("e*pi + sin(x) and y or gen"), C::END_OF_TEXT) << rig.errorText();
    // The symbol `gen` comes before the generator of that name.
    EXPECT_EQ(rig.tokens(), "e * pi + sin ( s0 ) and s1 or s9");
    ASSERT_EQ(rig.parser.parse("noise + load + avgT"), C::END_OF_TEXT) << rig.errorText();
    EXPECT_EQ(rig.tokens(), "g0 + st1 + st0");

    // Short names come after the symbols; an unknown name is refused unless accepted.
    test::ParserRig<TypeParam> tf;
    EXPECT_TRUE(tf.parser.addShortName("s", C::LAPLACE));
    EXPECT_TRUE(tf.parser.addShortName("s", C::LAPLACE));
    EXPECT_FALSE(tf.parser.addShortName("s", C::SYMBOL));
    EXPECT_FALSE(tf.parser.addShortName("sigma", C::LAPLACE));
    ASSERT_EQ(tf.parser.parse("x/(s*a + 1)"), C::END_OF_TEXT);
    EXPECT_EQ(tf.tokens(), "s0 / ( lap#-1 * s2 + i1 )");
    EXPECT_EQ(tf.parser.parse("k + s"), 0);
    EXPECT_EQ(tf.errorText(), "(0,Other):Unknown variable or parameter: k");
    tf.parser.setAcceptUnknownNames(true);
    ASSERT_EQ(tf.parser.parse("k + s"), C::END_OF_TEXT);
    EXPECT_EQ(tf.tokens(), "s-1 + lap#-1");
}

TYPED_TEST(TextRoad, OnlyOwnVariablesAreReportedUsed)
{
    sl::SymbolMap symbols;
    cnt::PushBackVector<TypeParam> values;
    test::CollectingParser<TypeParam> parser(symbols, values);
    for (const char* name : {"x", "y", "a"})
        parser.addSymbolName(name, symbols.getNumberOfNames());
    parser.setNumberOfSymbols(2, 1);
    parser.setAcceptUnknownNames(true);
    // The refusal of markVariableUsed does not stop the text road.
    ASSERT_EQ(parser.parse("y + a*x + unknown + y"), C::END_OF_TEXT);
    EXPECT_EQ(parser.marked, (std::vector<td::UINT4>{1, 0, 1}));
    parser.collecting = false;
    parser.marked.clear();
    ASSERT_EQ(parser.parse("x + y"), C::END_OF_TEXT);
    EXPECT_TRUE(parser.marked.empty());
}

// ---- symbols ----

TEST(RPNParserSymbols, GoldenHashesAndCollisionsToldApartByName)
{
    struct Case
    {
        const char* name;
        td::LUINT8 hash;
    } cases[] = {{"x", 80},
                 {"velocity", 182122737},
                 {"repeat#", 21727939},
                 {"aI", 529},
                 {"bA", 529},
                 {"Temperature_of_the_inlet_stream", 8414272611755128627ull}};
    for (const Case& c : cases)
        EXPECT_EQ(sl::SymbolMap::hash(c.name), c.hash) << c.name;

    test::ParserRig<double> rig;
    rig.parser.setNextFreePosition(true);
    EXPECT_EQ(rig.parser.addVariable("bA"), 4);
    EXPECT_EQ(rig.parser.addVariable("aI"), 5);
    EXPECT_EQ(rig.parser.getSymbolIndex("aI"), 5);
    EXPECT_EQ(rig.parser.getSymbolIndex("bA"), 4);
    EXPECT_EQ(rig.parser.getSymbolIndex("b9"), -1);
    ASSERT_EQ(rig.parser.parse("aI - bA"), C::END_OF_TEXT);
    EXPECT_EQ(rig.tokens(), "s5 - s4");
}

TEST(RPNParserSymbols, AddVariableTakesTheVariableCountOrTheNextFreePosition)
{
    sl::SymbolMap symbols;
    cnt::PushBackVector<double> values;
    slDbl::RPNParser parser(symbols, values);
    EXPECT_EQ(parser.addVariable("x"), 0);
    EXPECT_EQ(parser.addVariable(td::String("y")), 1);
    EXPECT_EQ(parser.addVariable("x"), 0);
    EXPECT_EQ(parser.addVariable("z", false), -1);
    EXPECT_EQ(parser.addVariable(""), -1);
    EXPECT_EQ(parser.getNumberOfVariables(), 2u);
    EXPECT_TRUE(parser.hasSymbol("y"));
    EXPECT_FALSE(parser.hasSymbol("z"));
    EXPECT_STREQ(parser.getVariableName(1).c_str(), "y");

    // Parameters follow; with the variable list closed new names go behind them.
    parser.addSymbolName("p", 2);
    parser.setNumberOfSymbols(2, 1);
    parser.setNextFreePosition(true);
    EXPECT_EQ(parser.addVariable("extra"), 3);
    EXPECT_EQ(parser.getNumberOfVariables(), 2u);
    EXPECT_EQ(parser.getSymbolIndex("extra"), 3);
    EXPECT_STREQ(symbols.nameAt(3)->c_str(), "extra");

    // mapSymbol enters the hash only; the name becomes findable once it is listed.
    parser.mapSymbol("w", 4);
    EXPECT_EQ(parser.getSymbolIndex("w"), -1);
    symbols.addSymbolName("w", 4);
    EXPECT_EQ(parser.getSymbolIndex("w"), 4);
}

TEST(RPNParserSymbolsDeathTest, IndexAndNameCannotDisagree)
{
    sl::SymbolMap symbols;
    cnt::PushBackVector<double> values;
    slDbl::RPNParser parser(symbols, values);
    parser.addSymbolName("x", 0);
    parser.addSymbolName("p", 1);
    parser.setNumberOfSymbols(1, 1);
    // With the list open a new variable would take index 1, where the parameter's name is.
    EXPECT_DEATH(parser.addVariable("y"), "_symbols.getNumberOfNames\\(\\) == _nVars");
    EXPECT_DEATH(parser.getVariableName(1), "index < _nVars");
}

TEST(RPNParserSymbols, ComplexVariablesGetConjugatePartners)
{
    sl::SymbolMap symbols;
    cnt::PushBackVector<Cmplx> values;
    slCmplx::RPNParser parser(symbols, values);
    EXPECT_TRUE(parser.hasConjugatePartners());
    EXPECT_EQ(parser.addVariable("x"), 0);
    EXPECT_EQ(parser.addVariable("y"), 2);
    EXPECT_EQ(parser.getSymbolIndex("#x"), 1);
    EXPECT_EQ(parser.getSymbolIndex("#y"), 3);
    EXPECT_EQ(parser.getNumberOfVariables(), 4u);
    parser.setConjugatePartners(false);
    EXPECT_EQ(parser.addVariable("z"), 4);
    EXPECT_EQ(parser.getSymbolIndex("#z"), -1);
    EXPECT_EQ(parser.getNumberOfVariables(), 5u);
}

TEST(RPNParserSymbols, BindingPointsTheContextAtTheParser)
{
    test::ParserRig<double> rig;
    rig.values.reserve(6);
    for (double v : {1.0, 2.0, 3.0, 4.0})
        rig.values.push(v);
    ASSERT_NE(rig.data.pParserPools, nullptr);
    EXPECT_EQ(rig.data.pMemMgrETN, &rig.data.pParserPools->nodeLinks);
    // Names resolve against the solver's symbol store, values are read from its array.
    EXPECT_EQ(rig.parser.getSymbolIndex("b"), 3);
    EXPECT_EQ(rig.parser.getValuesPtr(), rig.values.data());
    EXPECT_EQ(*rig.parser.getValuesPtr(), 1.0);
    EXPECT_EQ(*rig.parser.getParamValuesPtr(), 3.0);
    // Token nodes come from the pool the context now knows.
    ASSERT_EQ(rig.parser.parse("x"), C::END_OF_TEXT);
    EXPECT_EQ(rig.data.pParserPools->tokenNodes.blockCount(), 1u);

    rig.parser.logKey(sc::msg::scBadExpression, 4, 9, sc::ILog::Error);
    ASSERT_EQ(rig.log.messages.size(), 1u);
    EXPECT_EQ(rig.log.messages[0].slot, test::RecordingLog::Slot::KeyAt);
    EXPECT_EQ(rig.log.messages[0].text, "@SC.BadExpression");
    EXPECT_EQ(rig.log.messages[0].line, 4u);
    EXPECT_EQ(rig.log.messages[0].col, 9u);
    rig.data.pLog = nullptr;
    rig.parser.logKey(sc::msg::scBadExpression, 4, 9, sc::ILog::Error);
    EXPECT_EQ(rig.log.messages.size(), 1u);
}

// ---- keyword tables ----

template <typename T> void expectKeywords(std::size_t count)
{
    cnt::SafeFullVector<td::String> names = sl::RPNParser<T>::getFunctionNames();
    ASSERT_EQ(names.size(), count);
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        listed.push_back(names[i].c_str());
        if (i > 0)
        {
            EXPECT_LT(td::StrKey(names[i - 1]), td::StrKey(names[i])) << names[i].c_str();
        }
    }
    for (const char* kw : {"abs", "atg2", "round", "lim", "int", "\xE2\x88\xAB"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), kw), listed.end()) << kw;
    bool complexOnly = std::find(listed.begin(), listed.end(), "conj") != listed.end();
    EXPECT_EQ(complexOnly, sl::ValueTraits<T>::isComplex);

    cnt::SafeFullVector<td::String> words = sl::RPNParser<T>::getOperatorWords();
    ASSERT_EQ(words.size(), 4u);
    EXPECT_STREQ(words[0].c_str(), "or");
    EXPECT_STREQ(words[1].c_str(), "and");
    EXPECT_STREQ(words[2].c_str(), "xor");
    EXPECT_STREQ(words[3].c_str(), "not");
}

TEST(RPNParserKeywords, FunctionNamesInDictionaryOrder)
{
    // The functions of each build and the integral sign.
    expectKeywords<double>(sc::priv::cRealFunctionCount + 1);
    expectKeywords<Cmplx>(sc::priv::cFunctionCount + 1);
}

TYPED_TEST(TextRoad, ConjExistsOnlyInTheComplexBuild)
{
    test::ParserRig<TypeParam> rig;
    EXPECT_EQ(rig.parser.parse("conj(x)") != 0, sl::ValueTraits<TypeParam>::isComplex);
}
} // namespace
