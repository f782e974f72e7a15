#include "FrontEndTokenMap.h"

#include "Token.h"

namespace sl
{
namespace
{
using C = TokenCodes;

// Indexed by front-end code. Reserved words (9) are handled by the parser before the
// table; `\` divides like `/`; `/*` ends the expression.
constexpr td::BYTE s_map[cFrontEndCodes] = {
    C::IDENTIFIER,      // 0 plain word
    C::SYMBOL,          // 1 variable
    C::PARAM_OR_PARENT, // 2 parameter
    C::PARAM_OR_PARENT, // 3 embedded parameter
    C::FUNCTION,        // 4 function name
    0, 0, 0, 0, 0, 0,   // 5 group, 6 attribute, 7 enumerated word, 8, 9 reserved word, 10 string
    C::INT_LITERAL,     // 11
    C::REAL_LITERAL,    // 12 special constant
    C::REAL_LITERAL,    // 13
    C::IMAG_LITERAL,    // 14
    C::CMPLX_LITERAL,   // 15
    0, 0, 0, 0,         // 16 colour, 17 line pattern, 18 dot pattern, 19
    C::TRUE_LITERAL,    // 20
    C::FALSE_LITERAL,   // 21
    0,                  // 22 boolean value kind
    C::OPEN_PARENTHESIS,  // 23
    C::CLOSE_PARENTHESIS, // 24
    C::OPEN_BRACKET,      // 25
    C::CLOSE_BRACKET,     // 26
    0, 0,                 // 27 {, 28 }
    C::ADD,               // 29
    C::SUB,               // 30
    C::MUL,               // 31
    C::DIV,               // 32
    C::MOD,               // 33
    C::DIV,               // 34 backslash
    C::POW,               // 35
    C::MUL_ASSIGN,        // 36
    C::DIV_ASSIGN,        // 37
    C::ADD_ASSIGN,        // 38
    C::SUB_ASSIGN,        // 39
    C::POW_ASSIGN,        // 40
    C::ASSIGN, C::ASSIGN, C::ASSIGN, C::ASSIGN, // 41 <<, 42 >>, 43 <-, 44 ->
    C::ASSIGN,            // 45 =
    C::PRIME,             // 46
    C::DOUBLE_PRIME,      // 47
    0, 0, 0, 0,           // 48, 49 |, 50 &, 51 #
    C::LOGIC_NEGATION,    // 52
    C::LOGIC_OR,          // 53
    C::LOGIC_AND,         // 54
    C::LOGIC_XOR,         // 55
    C::LESS,              // 56
    C::LESS_EQUAL,        // 57
    C::GREATER,           // 58
    C::GREATER_EQUAL,     // 59
    C::EQUAL,             // 60
    C::NOT_EQUAL,         // 61
    C::COMMA,             // 62
    C::DOT,               // 63
    C::COLON,             // 64
    C::END_OF_STATEMENT,  // 65
    C::RND_GEN,           // 66 name declared in Distribs
    C::STATISTIC,         // 67 name declared in Stats
    0,                    // 68 comment
    C::END_OF_TEXT,       // 69 block comment start
};
} // namespace

td::BYTE expressionTypeOfFrontEndCode(td::BYTE frontEndCode)
{
    return frontEndCode < cFrontEndCodes ? s_map[frontEndCode] : 0;
}
} // namespace sl
