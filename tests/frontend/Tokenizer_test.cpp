#include <sc/priv/Tokenizer.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Vocabulary.h"

namespace
{
using sc::Token;
using T = Token;
constexpr int cNone = 0xFFFF;
constexpr int cAny = -1;

struct Tok
{
    Token code;
    std::string text;
    int value = cAny;
    int column = cAny;
};

std::ostream& operator<<(std::ostream& os, const Tok& t)
{
    return os << "{" << static_cast<int>(t.code) << " '" << t.text << "' v=" << t.value << " c=" << t.column << "}";
}

class Lexer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::ensureDefaultVocabulary();
        _lex.bind(&sc::s_commonFunctions[0][0], &sc::s_commonFunctions[0][1], &sc::s_commonReservedMaps[0],
                  &sc::s_commonGroupMaps[0], &sc::s_commonAttribMaps[0], &sc::s_specialConstantMap);
    }

    // Tokens of the line up to and including the end of line or the first error.
    std::vector<Tok> lex(const std::string& line, bool complex = false)
    {
        _line = line;
        _lex._complex = complex;
        _lex.setLine(_line.c_str(), static_cast<td::UINT4>(_line.size()));
        std::vector<Tok> out;
        for (int guard = 0; guard < 64; ++guard)
        {
            Token t = _lex.getNextToken();
            out.push_back({t, _lex._text.c_str(), _lex._value, static_cast<int>(_lex._tokenColumn)});
            if (t == Token::EndOfLine || t == Token::Error)
                break;
        }
        return out;
    }

    std::string _line;
    sc::TokenizerBase<1> _lex;
};

struct LexCase
{
    const char* name;
    std::string line;
    bool complex;
    std::vector<Tok> expected;
};

const std::vector<LexCase>& lexCases()
{
    static const std::vector<LexCase> cases = {
        {"minus after assignment",
         "x=-2",
         false,
         {{T::Word, "x", cNone, 0}, {T::Assign, "=", cNone, 1}, {T::Integer, "-2", cNone, 2}, {T::EndOfLine, ""}}},
        {"negative real",
         "x = -2.5e-3",
         false,
         {{T::Word, "x"}, {T::Assign, "="}, {T::Real, "-2.5e-3", cAny, 4}, {T::EndOfLine, ""}}},
        {"minus after bracket",
         "(-2)",
         false,
         {{T::LParen, "("}, {T::Integer, "-2", cAny, 1}, {T::RParen, ")", cAny, 3}, {T::EndOfLine, ""}}},
        {"minus after operator",
         "a*-2",
         false,
         {{T::Word, "a"}, {T::Mult, "*"}, {T::Integer, "-2"}, {T::EndOfLine, ""}}},
        {"minus at line start", "-2", false, {{T::Integer, "-2", cAny, 0}, {T::EndOfLine, ""}}},
        {"minus after if", "if -2", false, {{T::Reserved, "if"}, {T::Integer, "-2", cAny, 3}, {T::EndOfLine, ""}}},
        {"minus after case", "case -2", false, {{T::Reserved, "case"}, {T::Integer, "-2"}, {T::EndOfLine, ""}}},
        {"minus after else",
         "else -2",
         false,
         {{T::Reserved, "else"}, {T::Minus, "-"}, {T::Integer, "2"}, {T::EndOfLine, ""}}},
        {"minus after s", "s -2", false, {{T::Reserved, "s"}, {T::Minus, "-"}, {T::Integer, "2"}, {T::EndOfLine, ""}}},
        {"spaced subtraction",
         "a - 2",
         false,
         {{T::Word, "a"}, {T::Minus, "-", cAny, 2}, {T::Integer, "2", cAny, 4}, {T::EndOfLine, ""}}},
        {"tight subtraction", "a-2", false, {{T::Word, "a"}, {T::Minus, "-"}, {T::Integer, "2"}, {T::EndOfLine, ""}}},
        {"exponent without digits", "1e", false, {{T::Error, "1e"}}},
        {"exponent sign without digits", "1e+", false, {{T::Error, "1e+"}}},
        {"point then exponent", "1.e5", false, {{T::Real, "1.e5"}, {T::EndOfLine, ""}}},
        {"leading point", ".5", false, {{T::Dot, "."}, {T::Integer, "5", cAny, 1}, {T::EndOfLine, ""}}},
        {"imaginary literal", "3i", true, {{T::Imaginary, "3"}, {T::EndOfLine, ""}}},
        {"imaginary in real mode", "3i", false, {{T::Integer, "3"}, {T::Word, "i", cNone, 1}, {T::EndOfLine, ""}}},
        {"imaginary real",
         "2.5e1i+1",
         true,
         {{T::Imaginary, "2.5e1"}, {T::Plus, "+", cAny, 6}, {T::Integer, "1"}, {T::EndOfLine, ""}}},
        {"comment", "x // note", false, {{T::Word, "x"}, {T::Comment, "// note", cAny, 2}, {T::EndOfLine, ""}}},
        {"column after two-byte letter",
         "\xC3\xA9 = 1",
         false,
         {{T::Word, "\xC3\xA9", cNone, 0}, {T::Assign, "=", cAny, 2}, {T::Integer, "1", cAny, 4}, {T::EndOfLine, ""}}},
        {"column after string with four-byte char",
         "\"\xF0\x9F\x91\x8D\" x",
         false,
         {{T::String, "\xF0\x9F\x91\x8D", cAny, 1}, {T::Word, "x", cAny, 4}, {T::EndOfLine, ""}}},
        {"string", "\"abc\"", false, {{T::String, "abc", cNone, 1}, {T::EndOfLine, ""}}},
        {"word after string", "\"a\"b", false, {{T::String, "a"}, {T::Word, "b", cAny, 3}, {T::EndOfLine, ""}}},
        {"unterminated string", "\"abc", false, {{T::Error, "abc"}}},
        {"attribute list",
         "[type = NL, eps = 1e-6]",
         false,
         {{T::LBracket, "["},
          {T::AttribName, "type", 1},
          {T::Assign, "="},
          {T::EnumWord, "NL", cNone},
          {T::Comma, ","},
          {T::AttribName, "eps", 3},
          {T::Assign, "="},
          {T::Real, "1e-6"},
          {T::RBracket, "]", cAny, 22},
          {T::EndOfLine, ""}}},
        {"attribute without value", "[out]", false, {{T::LBracket, "["}, {T::AttribName, "out", 5}, {T::Error, "]"}}},
        {"nested bracket", "[[", false, {{T::LBracket, "["}, {T::Error, "["}}},
        {"closing bracket outside list", "x]", false, {{T::Word, "x"}, {T::Error, "]"}}},
        {"attribute name outside list", "out", false, {{T::Word, "out"}, {T::EndOfLine, ""}}},
        {"plot attribute not in default naming",
         "[colorL = red]",
         false,
         {{T::LBracket, "["},
          {T::Word, "colorL"},
          {T::Assign, "="},
          {T::Word, "red"},
          {T::RBracket, "]"},
          {T::EndOfLine, ""}}},
        {"boolean attribute",
         "[out = true w = 2]",
         false,
         {{T::LBracket, "["},
          {T::AttribName, "out"},
          {T::Assign, "="},
          {T::True, "true"},
          {T::AttribName, "w", 6},
          {T::Assign, "="},
          {T::Integer, "2"},
          {T::RBracket, "]"},
          {T::EndOfLine, ""}}},
        {"string attribute",
         "[name = \"m\"]",
         false,
         {{T::LBracket, "["},
          {T::AttribName, "name", 29},
          {T::Assign, "="},
          {T::String, "m"},
          {T::RBracket, "]"},
          {T::EndOfLine, ""}}},
        {"truth words",
         "True true trueness false",
         false,
         {{T::Word, "True"}, {T::True, "true"}, {T::Word, "trueness"}, {T::False, "false"}, {T::EndOfLine, ""}}},
        {"ten letters",
         "abcdefghij IterPostPx",
         false,
         {{T::Word, "abcdefghij"}, {T::Word, "IterPostPx"}, {T::EndOfLine, ""}}},
        {"nine-character keywords",
         "baseIter# solState# IterPostP BasePostP",
         false,
         {{T::EmbeddedParam, "baseIter#", 3},
          {T::EmbeddedParam, "solState#", 5},
          {T::GroupName, "IterPostP", 14},
          {T::GroupName, "BasePostP", 15},
          {T::EndOfLine, ""}}},
        {"special constants",
         "pi \xCF\x80 e @solOk#",
         false,
         {{T::SpecialConst, "pi", 0},
          {T::SpecialConst, "\xCF\x80", 0, 3},
          {T::SpecialConst, "e", 1, 5},
          {T::SpecialConst, "@solOk#", 2},
          {T::EndOfLine, ""}}},
        {"embedded and logical",
         "repeat# and or xor not",
         false,
         {{T::EmbeddedParam, "repeat#", 0},
          {T::And, "and", cNone},
          {T::Or, "or"},
          {T::Xor, "xor"},
          {T::Not, "not"},
          {T::EndOfLine, ""}}},
        {"keywords of the default naming",
         "NLEs end if @main Plots linePlot",
         false,
         {{T::GroupName, "NLEs", 8},
          {T::Reserved, "end", 9},
          {T::Reserved, "if", 4},
          {T::Reserved, "@main", 0},
          {T::Word, "Plots", cNone},
          {T::Word, "linePlot"},
          {T::EndOfLine, ""}}},
        {"functions by mode",
         "sin lim imag",
         false,
         {{T::Function, "sin", 9}, {T::Function, "lim", 29}, {T::Word, "imag"}, {T::EndOfLine, ""}}},
        {"complex functions",
         "imag conj",
         true,
         {{T::Function, "imag", 39}, {T::Function, "conj", 34}, {T::EndOfLine, ""}}},
        {"underscores", "__", false, {{T::Error, "__"}}},
        {"underscore word", "_a1", false, {{T::Word, "_a1"}, {T::EndOfLine, ""}}},
        {"delete byte outside string", "x\x7F", false, {{T::Word, "x"}, {T::Error, "\x7F"}}},
        {"delete byte inside string", "\"\x7F\"", false, {{T::String, "\x7F"}, {T::EndOfLine, ""}}},
        {"two-character operators",
         "<= << <- -> == != && || ## '' *= /= += -= ^=",
         false,
         {{T::LessEq, "<="},
          {T::ShiftLeft, "<<"},
          {T::ArrowLeft, "<-"},
          {T::ArrowRight, "->"},
          {T::Equal, "=="},
          {T::NotEqual, "!="},
          {T::And, "&&"},
          {T::Or, "||"},
          {T::Xor, "##"},
          {T::DoubleApostrophe, "''"},
          {T::MultAssign, "*="},
          {T::DivAssign, "/="},
          {T::PlusAssign, "+="},
          {T::MinusAssign, "-="},
          {T::PowerAssign, "^="},
          {T::EndOfLine, ""}}},
        {"one-character operators",
         "%\\^|&#!<>'{}:;/",
         false,
         {{T::Percent, "%"},
          {T::Backslash, "\\"},
          {T::Power, "^"},
          {T::Bar, "|"},
          {T::Ampersand, "&"},
          {T::Hash, "#"},
          {T::Not, "!"},
          {T::Less, "<"},
          {T::Greater, ">"},
          {T::Apostrophe, "'"},
          {T::LBrace, "{"},
          {T::RBrace, "}"},
          {T::Colon, ":"},
          {T::Semicolon, ";"},
          {T::Div, "/"},
          {T::EndOfLine, ""}}},
        {"unknown characters", "$", false, {{T::Error, "$"}}},
        // Malformed UTF-8 and zero bytes never pass as text.
        {"truncated lead at line end", "\xC3", false, {{T::Error, ""}}},
        {"lead followed by ASCII", "\xC3(", false, {{T::Error, ""}}},
        {"word ending in truncated lead", "ab\xC3", false, {{T::Error, "ab"}}},
        {"three-byte sequence cut short", "a\xE2\x82", false, {{T::Error, "a"}}},
        {"stray continuation byte", "\x80", false, {{T::Error, ""}}},
        {"invalid lead byte", "\xF8\x80\x80\x80\x80", false, {{T::Error, ""}}},
        {"word stops at stray continuation", "a\x80", false, {{T::Word, "a"}, {T::Error, ""}}},
        {"lead before closing quote", "\"\xC3\" x", false, {{T::Error, ""}}},
        {"three-byte sequence before closing quote", "\"a\xE2\x82\"", false, {{T::Error, "a"}}},
        {"stray continuation in string", "\"\x80\"", false, {{T::Error, ""}}},
        {"zero byte in a word", std::string("a\0b", 3), false, {{T::Word, "a"}, {T::Error, "", cAny, 1}}},
        {"zero byte in a string", std::string("\"a\0b\"", 5), false, {{T::Error, "a"}}},
        {"zero byte in a comment", std::string("x // a\0b", 8), false, {{T::Word, "x"}, {T::Error, "//"}}},
        {"malformed comment is still a comment",
         "x // \xC3",
         false,
         {{T::Word, "x"}, {T::Comment, "// \xC3"}, {T::EndOfLine, ""}}},
    };
    return cases;
}

TEST_F(Lexer, TokenTable)
{
    for (const LexCase& c : lexCases())
    {
        std::vector<Tok> got = lex(c.line, c.complex);
        ASSERT_EQ(got.size(), c.expected.size()) << c.name << ": " << ::testing::PrintToString(got);
        for (std::size_t i = 0; i < got.size(); ++i)
        {
            const Tok& e = c.expected[i];
            EXPECT_EQ(got[i].code, e.code) << c.name << " #" << i;
            EXPECT_EQ(got[i].text, e.text) << c.name << " #" << i;
            if (e.value != cAny)
            {
                EXPECT_EQ(got[i].value, e.value) << c.name << " #" << i;
            }
            if (e.column != cAny)
            {
                EXPECT_EQ(got[i].column, e.column) << c.name << " #" << i;
            }
        }
    }
}

TEST_F(Lexer, LengthsAndPositionsCountCharacters)
{
    lex("x // \xC3\xA9");
    // Re-run to inspect the comment token itself.
    _lex.setLine(_line.c_str(), static_cast<td::UINT4>(_line.size()));
    _lex.getNextToken();
    td::UINT4 before = _lex._pos;
    ASSERT_EQ(_lex.getNextToken(), Token::Comment);
    EXPECT_EQ(_lex._tokenLength, 4u);
    EXPECT_EQ(_lex._pos - before, 6u); // the blank before the comment, then 5 bytes
    EXPECT_EQ(_lex.getNextToken(), Token::EndOfLine);

    lex("3i");
    _lex._complex = true;
    _lex.setLine(_line.c_str(), 2);
    ASSERT_EQ(_lex.getNextToken(), Token::Imaginary);
    EXPECT_EQ(_lex._tokenLength, 2u);
}

// Strings and digit runs are cut out of the line whole: taken a character at a time, every
// character regrew the token's text, and a token of a million characters took minutes.
TEST_F(Lexer, LongStringsAndNumbersAreReadInLinearTime)
{
    const std::string run(1000000, '7');
    const std::string accent = "\xC3\xA9";
    struct Case
    {
        std::string line;
        Token code;
        std::size_t textBytes;
        td::UINT4 chars;
    } cases[] = {
        {"\"" + run + accent + "\"", Token::String, run.size() + 2, 1000001},
        {"\"" + run, Token::Error, run.size(), 1000000},
        {run, Token::Integer, run.size(), 1000000},
        {"0." + run + "e" + run, Token::Real, 2 * run.size() + 3, 2000003},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases)
    {
        _lex.setLine(c.line.c_str(), static_cast<td::UINT4>(c.line.size()));
        ASSERT_EQ(_lex.getNextToken(), c.code) << c.line.substr(0, 8);
        EXPECT_EQ(_lex._text.length(), c.textBytes) << c.line.substr(0, 8);
        EXPECT_EQ(_lex._tokenLength, c.chars) << c.line.substr(0, 8);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(Lexer, AttributeNameRemembersItsValueKind)
{
    std::string line = "[eps = 1, type = NL]";
    _lex.setLine(line.c_str(), static_cast<td::UINT4>(line.size()));
    _lex.getNextToken();
    ASSERT_EQ(_lex.getNextToken(), Token::AttribName);
    EXPECT_EQ(_lex._valueKind, Token::Real);
    _lex.getNextToken();
    _lex.getNextToken();
    _lex.getNextToken();
    ASSERT_EQ(_lex.getNextToken(), Token::AttribName);
    EXPECT_EQ(_lex._valueKind, Token::EnumWord);
    _lex.getNextToken();
    ASSERT_EQ(_lex.getNextToken(), Token::EnumWord);
    EXPECT_EQ(_lex._valueKind, Token::Error);
}

TEST_F(Lexer, PlotValuesThroughANamingThatHasThem)
{
    sc::AttribMap plotAttribs;
    plotAttribs.reserve(2);
    plotAttribs.insert(td::StrKey("colorL"), {sc::AttribID::ColorL, Token::Color});
    plotAttribs.insert(td::StrKey("pattern"), {sc::AttribID::Pattern, Token::LinePattern});
    _lex._attribNames = &plotAttribs;
    auto got = lex("[colorL = red pattern = nonsense]");
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[1].code, Token::AttribName);
    EXPECT_EQ(got[3].code, Token::Color);
    EXPECT_EQ(got[3].value, td::toColorID("red", 3, td::cDefaultColor));
    EXPECT_EQ(got[6].code, Token::LinePattern);
    EXPECT_EQ(got[6].value, 0); // an unknown pattern is stored as 0
}

// A packed 9-byte key keeps 7 bits per byte: "abcdefg" + U+00B1 (C2 B1) packs like "abcdefgB1".
TEST_F(Lexer, NineByteWordWithHighByteIsNeverAKeyword)
{
    sc::FunctionMap functions;
    functions.reserve(1);
    functions.insert(td::StrKey("abcdefgB1"), 5);
    ASSERT_EQ(td::StrKey("abcdefg\xC2\xB1"), td::StrKey("abcdefgB1"));
    _lex._realFunctions = &functions;
    EXPECT_EQ(lex("abcdefgB1")[0].code, Token::Function);
    EXPECT_EQ(lex("abcdefg\xC2\xB1")[0].code, Token::Word);
}

TEST(LexerUtilities, SequenceLength)
{
    struct Case
    {
        td::BYTE lead;
        int n;
    } cases[] = {{0x00, 1}, {0x41, 1}, {0x7F, 1}, {0x80, -1}, {0xBF, -1}, {0xC2, 2}, {0xDF, 2},
                 {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xF7, 4},  {0xF8, -1}, {0xFF, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(sc::TokenizerBase<1>::getSequenceLength(c.lead), c.n) << static_cast<int>(c.lead);
}

TEST(LexerUtilities, UTF8Length)
{
    struct Case
    {
        const char* text;
        td::UINT4 chars, bytes;
    } cases[] = {{nullptr, 0, 0},
                 {"", 0, 0},
                 {"abc", 3, 3},
                 {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x91\x8D", 3, 9},
                 {"\x80"
                  "abc",
                  0, 0},
                 {"a\xC3", 0, 0},
                 {"a\xE2\x82", 0, 0},
                 {"\xF8", 0, 0},
                 {"x\xF0\x9F\x91", 0, 0}};
    for (const Case& c : cases)
    {
        auto [chars, bytes] = td::getUTF8Length(c.text);
        EXPECT_EQ(chars, c.chars) << (c.text ? c.text : "null");
        EXPECT_EQ(bytes, c.bytes) << (c.text ? c.text : "null");
    }
}
} // namespace
