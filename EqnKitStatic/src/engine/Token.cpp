#include "Token.h"

namespace sl
{
namespace
{
const char* const s_operatorNames[] = {"+",  "-",  "*",  "/",   "%", "\\", "^",  "or", "and", "xor", ">",  ">=", "<",
                                       "<=", "==", "!=", "not", "=", "+=", "-=", "*=", "/=",  "-'",  "/'", "^'", "^="};
static_assert(sizeof(s_operatorNames) / sizeof(s_operatorNames[0]) ==
              TokenCodes::cFirstFunction - TokenCodes::cFirstOperator);

// In functionID order; the last six only in the complex build.
const char* const s_functionKeywords[] = {
    "abs", "acos", "asin", "atg",  "cos",  "exp",   "sqrt", "ln",   "log",  "sin",  "tg",   "sqr",  "atg2", "min",
    "max", "smin", "smax", "avg",  "var",  "dev",   "diff", "sign", "sinh", "cosh", "tgh",  "asnh", "acsh", "atgh",
    "int", "lim",  "rnd",  "disn", "disc", "round", "conj", "cabs", "rtop", "ptor", "real", "imag"};
static_assert(sizeof(s_functionKeywords) / sizeof(s_functionKeywords[0]) == TokenCodes::IMAG - TokenCodes::ABS + 1);
} // namespace

const char* TokenCodes::functionKeyword(td::BYTE functionID)
{
    return functionID >= ABS && functionID <= IMAG ? s_functionKeywords[functionID - ABS] : nullptr;
}

// Operators, then the function keywords (atg2 prints as atan2), then the push codes.
template <typename T> const char* Token<T>::printName(td::BYTE code)
{
    if (code >= cFirstOperator && code < cFirstFunction)
        return s_operatorNames[code - cFirstOperator];
    if (code == ATG2)
        return "atan2";
    if (code >= cFirstFunction && code < PSHI)
        return s_functionKeywords[code - cFirstFunction];
    if (code == PSHI)
        return "pshi";
    if (code == PSHF)
        return "pshf";
    return "NA";
}

template struct Token<double>;
template struct Token<std::complex<double>>;
} // namespace sl
