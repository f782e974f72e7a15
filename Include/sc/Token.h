// Front-end token codes: what the model-text lexer returns and the tokenized model stores.
// The expression engine maps these codes to its own token types.
#pragma once

#include <td/Types.h>

namespace sc
{
enum class Token : td::BYTE
{
    Word = 0,  // a name found in no map
    Var = 1,   // resolved variable (statement pass only)
    Param = 2, // resolved parameter (statement pass only)
    EmbeddedParam = 3,
    Function = 4,
    GroupName = 5,
    AttribName = 6,
    EnumWord = 7,
    Reserved = 9,
    String = 10,
    Integer = 11,
    SpecialConst = 12,
    Real = 13,
    Imaginary = 14,
    Color = 16,
    LinePattern = 17,
    DotPattern = 18,
    True = 20,
    False = 21,
    Boolean = 22, // value kind only: true or false
    LParen = 23,
    RParen = 24,
    LBracket = 25,
    RBracket = 26,
    LBrace = 27,
    RBrace = 28,
    Plus = 29,
    Minus = 30,
    Mult = 31,
    Div = 32,
    Percent = 33,
    Backslash = 34,
    Power = 35,
    MultAssign = 36,
    DivAssign = 37,
    PlusAssign = 38,
    MinusAssign = 39,
    PowerAssign = 40,
    ShiftLeft = 41,
    ShiftRight = 42,
    ArrowLeft = 43,
    ArrowRight = 44,
    Assign = 45,
    Apostrophe = 46,
    DoubleApostrophe = 47,
    Bar = 49,
    Ampersand = 50,
    Hash = 51,
    Not = 52,
    Or = 53,
    And = 54,
    Xor = 55,
    Less = 56,
    LessEq = 57,
    Greater = 58,
    GreaterEq = 59,
    Equal = 60,
    NotEqual = 61,
    Comma = 62,
    Dot = 63,
    Colon = 64,
    Semicolon = 65,
    DistribName = 66, // resolved Distribs name (statement pass only)
    StatName = 67,    // resolved Stats name (statement pass only)
    Comment = 68,
    BlockCommentStart = 69,
    BlockCommentEnd = 70,
    EndOfLine = 71,
    Error = 72
};

// Value kind of attributes and header parameters: the token code a value must have.
using AttribKind = Token;
} // namespace sc
