#include <string>

#include <gtest/gtest.h>

#include "FrontEndTokenMap.h"
#include "Token.h"

namespace
{
using C = sl::TokenCodes;

TEST(Token, PrintNamesFollowTheCodesOfEachBuild)
{
    struct Case
    {
        td::BYTE code;
        const char* real;
        const char* cmplx;
    } cases[] = {
        {31, "+", "+"},         {36, "\\", "\\"},   {53, "-'", "-'"},   {56, "^=", "^="},       {57, "abs", "abs"},
        {69, "atan2", "atan2"}, {85, "int", "int"}, {86, "lim", "lim"}, {90, "round", "round"}, {91, "pshi", "conj"},
        {92, "pshf", "cabs"},   {93, "NA", "rtop"}, {94, "NA", "ptor"}, {95, "NA", "real"},     {97, "NA", "pshi"},
        {98, "NA", "pshf"},     {99, "NA", "NA"},   {30, "NA", "NA"},
    };
    for (const Case& c : cases)
    {
        EXPECT_STREQ(slDbl::Token::printName(c.code), c.real) << int(c.code);
        EXPECT_STREQ(slCmplx::Token::printName(c.code), c.cmplx) << int(c.code);
    }
    EXPECT_EQ(slDbl::Token::PSHF, 92);
    EXPECT_EQ(slCmplx::Token::PSHF, 98);
    EXPECT_EQ(slCmplx::Token::NO_PREVIOUS, 99);
}

TEST(FrontEndTokenMap, MapsFrontEndCodesToExpressionTypes)
{
    struct Case
    {
        td::BYTE frontEnd;
        td::BYTE expression;
    } cases[] = {
        {0, C::IDENTIFIER},
        {1, C::SYMBOL},
        {2, C::PARAM_OR_PARENT},
        {3, C::PARAM_OR_PARENT},
        {4, C::FUNCTION},
        {9, 0},
        {10, 0},
        {11, C::INT_LITERAL},
        {12, C::REAL_LITERAL},
        {14, C::IMAG_LITERAL},
        {15, C::CMPLX_LITERAL},
        {16, 0},
        {20, C::TRUE_LITERAL},
        {21, C::FALSE_LITERAL},
        {23, C::OPEN_PARENTHESIS},
        {24, C::CLOSE_PARENTHESIS},
        {25, C::OPEN_BRACKET},
        {27, 0},
        {28, 0},
        {33, C::MOD},
        {34, C::DIV},
        {35, C::POW},
        {36, C::MUL_ASSIGN},
        {40, C::POW_ASSIGN},
        {41, C::ASSIGN},
        {44, C::ASSIGN},
        {45, C::ASSIGN},
        {46, C::PRIME},
        {49, 0},
        {52, C::LOGIC_NEGATION},
        {55, C::LOGIC_XOR},
        {56, C::LESS},
        {58, C::GREATER},
        {61, C::NOT_EQUAL},
        {62, C::COMMA},
        {65, C::END_OF_STATEMENT},
        {66, C::RND_GEN},
        {67, C::STATISTIC},
        {68, 0},
        {69, C::END_OF_TEXT},
        {70, 0},
        {71, 0},
        {255, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sl::expressionTypeOfFrontEndCode(c.frontEnd), c.expression) << int(c.frontEnd);
}
} // namespace
