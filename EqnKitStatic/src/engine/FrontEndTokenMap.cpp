#include "FrontEndTokenMap.h"

#include <array>

#include "Token.h"

namespace sl
{
namespace
{
using C = TokenCodes;
using F = sc::Token;

struct Row
{
    F frontEnd;
    td::BYTE type;
};

// Every code not listed maps to 0. Reserved words are handled by the parser before the
// table; `\` divides like `/`; `/*` ends the expression.
constexpr Row s_rows[] = {
    {F::Word, C::IDENTIFIER},
    {F::Var, C::SYMBOL},
    {F::Param, C::PARAM_OR_PARENT},
    {F::EmbeddedParam, C::PARAM_OR_PARENT},
    {F::Function, C::FUNCTION},
    {F::Integer, C::INT_LITERAL},
    {F::SpecialConst, C::REAL_LITERAL},
    {F::Real, C::REAL_LITERAL},
    {F::Imaginary, C::IMAG_LITERAL},
    // 15: a complex literal, a code the front end has no name for.
    {static_cast<F>(15), C::CMPLX_LITERAL},
    {F::True, C::TRUE_LITERAL},
    {F::False, C::FALSE_LITERAL},
    {F::LParen, C::OPEN_PARENTHESIS},
    {F::RParen, C::CLOSE_PARENTHESIS},
    {F::LBracket, C::OPEN_BRACKET},
    {F::RBracket, C::CLOSE_BRACKET},
    {F::Plus, C::ADD},
    {F::Minus, C::SUB},
    {F::Mult, C::MUL},
    {F::Div, C::DIV},
    {F::Percent, C::MOD},
    {F::Backslash, C::DIV},
    {F::Power, C::POW},
    {F::MultAssign, C::MUL_ASSIGN},
    {F::DivAssign, C::DIV_ASSIGN},
    {F::PlusAssign, C::ADD_ASSIGN},
    {F::MinusAssign, C::SUB_ASSIGN},
    {F::PowerAssign, C::POW_ASSIGN},
    {F::ShiftLeft, C::ASSIGN},
    {F::ShiftRight, C::ASSIGN},
    {F::ArrowLeft, C::ASSIGN},
    {F::ArrowRight, C::ASSIGN},
    {F::Assign, C::ASSIGN},
    {F::Apostrophe, C::PRIME},
    {F::DoubleApostrophe, C::DOUBLE_PRIME},
    {F::Not, C::LOGIC_NEGATION},
    {F::Or, C::LOGIC_OR},
    {F::And, C::LOGIC_AND},
    {F::Xor, C::LOGIC_XOR},
    {F::Less, C::LESS},
    {F::LessEq, C::LESS_EQUAL},
    {F::Greater, C::GREATER},
    {F::GreaterEq, C::GREATER_EQUAL},
    {F::Equal, C::EQUAL},
    {F::NotEqual, C::NOT_EQUAL},
    {F::Comma, C::COMMA},
    {F::Dot, C::DOT},
    {F::Colon, C::COLON},
    {F::Semicolon, C::END_OF_STATEMENT},
    {F::DistribName, C::RND_GEN},
    {F::StatName, C::STATISTIC},
    {F::BlockCommentStart, C::END_OF_TEXT},
};

constexpr std::array<td::BYTE, cFrontEndCodes> buildMap()
{
    std::array<td::BYTE, cFrontEndCodes> map{};
    for (const Row& row : s_rows)
        map[static_cast<td::BYTE>(row.frontEnd)] = row.type;
    return map;
}

constexpr std::array<td::BYTE, cFrontEndCodes> s_map = buildMap();
static_assert(static_cast<td::BYTE>(F::BlockCommentStart) + 1 == cFrontEndCodes);
} // namespace

td::BYTE expressionTypeOfFrontEndCode(td::BYTE frontEndCode)
{
    return frontEndCode < cFrontEndCodes ? s_map[frontEndCode] : 0;
}

td::BYTE expressionTypeOf(sc::Token frontEndCode)
{
    return expressionTypeOfFrontEndCode(static_cast<td::BYTE>(frontEndCode));
}
} // namespace sl
