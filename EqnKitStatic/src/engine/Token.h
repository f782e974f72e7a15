// Expression tokens: one numbering serves as token type, function identifier and opcode
// of the stack machine. Codes 31 and above are operators and functions.
#pragma once

#include <complex>

#include <sc/priv/FunctionTable.h>
#include <td/Types.h>

#include "SymbolOrigin.h"
#include "ValueTraits.h"

namespace sl
{
struct TokenCodes
{
    enum Type : td::BYTE
    {
        UNUSABLE = 0,
        IDENTIFIER = 1,
        SYMBOL = 2,
        PARAM_OR_PARENT = 3,
        LAPLACE = 4,
        RND_GEN = 5,
        STATISTIC = 6,
        FUNCTION = 7,
        INT_LITERAL = 8,
        REAL_LITERAL = 9,
        PI = 10,
        E = 11,
        TRUE_LITERAL = 12,
        FALSE_LITERAL = 13,
        IMAG_LITERAL = 14,
        CMPLX_LITERAL = 15,
        OPEN_PARENTHESIS = 16,
        CLOSE_PARENTHESIS = 17,
        END_OF_STATEMENT = 19,
        COLON = 20,
        DOT = 21,
        COMMA = 22,
        PRIME = 23,
        DOUBLE_PRIME = 24,
        END_OF_TEXT = 25,
        END_OF_EXPRESSION = 27,
        OPEN_BRACKET = 29,
        CLOSE_BRACKET = 30,
        // operators
        ADD = 31,
        SUB = 32,
        MUL = 33,
        DIV = 34,
        MOD = 35,
        BACKSLASH = 36,
        POW = 37,
        LOGIC_OR = 38,
        LOGIC_AND = 39,
        LOGIC_XOR = 40,
        GREATER = 41,
        GREATER_EQUAL = 42,
        LESS = 43,
        LESS_EQUAL = 44,
        EQUAL = 45,
        NOT_EQUAL = 46,
        LOGIC_NEGATION = 47,
        ASSIGN = 48,
        ADD_ASSIGN = 49,
        SUB_ASSIGN = 50,
        MUL_ASSIGN = 51,
        DIV_ASSIGN = 52,
        REV_SUB = 53,
        REV_DIV = 54,
        REV_POW = 55,
        POW_ASSIGN = 56,
#define EQNKIT_FUNCTION_CODE(name, ...) name,
        // functions: functionID = 57 + the row of the function table
        EQNKIT_FUNCTIONS(EQNKIT_FUNCTION_CODE)
#undef EQNKIT_FUNCTION_CODE
    };

    static constexpr td::BYTE cFirstOperator = ADD;
    static constexpr td::BYTE cFirstFunction = ABS;

    // Integer, real, pi, e, true, false, imaginary and complex literals.
    static constexpr bool isNumber(td::BYTE type) { return type >= INT_LITERAL && type <= CMPLX_LITERAL; }

    // Keyword of a function of the table, `abs` (57) to `imag` (96); null outside it.
    static const char* functionKeyword(td::BYTE functionID);

    // Statistics, limit and generator functions take their operand from the token value.
    static constexpr bool takesTokenOperand(td::BYTE functionID)
    {
        return (functionID >= SMIN && functionID <= DEV) || functionID == LIMIT || functionID == RND;
    }
};

template <typename T> struct Token : TokenCodes
{
    using Traits = ValueTraits<T>;
    static constexpr td::BYTE PSHI = Traits::cPushInt;
    static constexpr td::BYTE PSHF = Traits::cPushFloat;
    static constexpr td::BYTE NO_PREVIOUS = Traits::cNoPreviousToken;

    // Literal value; for statistics, generator and limit functions the operand constant.
    T value = T(0);
    // Symbol index, list position, or functionID in the low byte of a function token.
    td::UINT4 index = 0;
    td::BYTE type = UNUSABLE;
    sc::SymbolOrigin symbolOrigin = sc::SymbolOrigin::ThisModel;
    // Where it stands, for messages, counted from 1: the column of the model-text token it
    // comes from, or on the text road the byte position of its lexeme in the expression
    // text; 0 when it has none (tokens made apart from a text, and beyond 16 bits).
    td::UINT2 column = 0;

    td::BYTE functionID() const { return static_cast<td::BYTE>(index & 0xFFu); }
    // The minus of lhs - (rhs) that the text road writes for an equation's "=" carries this
    // index; messages name it as the "=" the text holds.
    static constexpr td::UINT4 cEquationSign = 0xFFFFFFFFu;
    bool isEquationSign() const { return type == SUB && index == cEquationSign; }
    bool isNumber() const { return TokenCodes::isNumber(type); }

    // Name of an operator, function or push code as it appears in messages and printed
    // trees; "NA" for codes outside the table.
    static const char* printName(td::BYTE code);
};

// The codes that token lists, stored models and tests know. A new row of the function
// table moves the codes after it: these pins and the golden token lists of the engine's and
// the front end's tests (Token_test, Tokenizer_test) follow it.
#define EQNKIT_MOVED_CODES "a function row moved the codes after it: update these pins and the golden token lists"
static_assert(TokenCodes::ABS == cFirstFunctionCode && TokenCodes::ABS == 57, EQNKIT_MOVED_CODES);
static_assert(TokenCodes::ATG2 == 69 && TokenCodes::INTEGRAL == 85 && TokenCodes::LIMIT == 86 &&
                  TokenCodes::ROUND == 90,
              EQNKIT_MOVED_CODES);
static_assert(TokenCodes::CONJ == 91 && TokenCodes::REAL == 95 && TokenCodes::IMAG == 96, EQNKIT_MOVED_CODES);
static_assert(ValueTraits<double>::cPushInt == 91 && ValueTraits<double>::cNoPreviousToken == 93, EQNKIT_MOVED_CODES);
static_assert(ValueTraits<std::complex<double>>::cPushInt == 97 &&
                  ValueTraits<std::complex<double>>::cNoPreviousToken == 99,
              EQNKIT_MOVED_CODES);
#undef EQNKIT_MOVED_CODES

extern template struct Token<double>;
extern template struct Token<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using Token = sl::Token<double>;
}

namespace slCmplx
{
using Token = sl::Token<std::complex<double>>;
}
