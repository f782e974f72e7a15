#include "Token.h"

namespace sl
{
namespace
{
const char* const s_operatorNames[] = {"+",  "-",  "*",  "/",   "%", "\\", "^",  "or", "and", "xor", ">",  ">=", "<",
                                       "<=", "==", "!=", "not", "=", "+=", "-=", "*=", "/=",  "-'",  "/'", "^'", "^="};
static_assert(sizeof(s_operatorNames) / sizeof(s_operatorNames[0]) ==
              TokenCodes::cFirstFunction - TokenCodes::cFirstOperator);

// In functionID order, from the function table.
const char* const* const s_functionKeywords = sc::priv::cFunctionWords;
} // namespace

const char* TokenCodes::functionKeyword(td::BYTE functionID)
{
    if (functionID < cFirstFunction || functionID - cFirstFunction >= static_cast<int>(sc::priv::cFunctionCount))
        return nullptr;
    return s_functionKeywords[functionID - cFirstFunction];
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
