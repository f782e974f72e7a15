#include "Token.h"

namespace sl
{
namespace
{
// Operators 31-56 and functions 57-90, shared by both builds; atg2 prints as atan2.
#define EQNKIT_COMMON_PRINT_NAMES                                                                                  \
    "+", "-", "*", "/", "%", "\\", "^", "or", "and", "xor", ">", ">=", "<", "<=", "==", "!=", "not", "=", "+=", "-=", \
        "*=", "/=", "-'", "/'", "^'", "^=", "abs", "acos", "asin", "atg", "cos", "exp", "sqrt", "ln", "log", "sin",    \
        "tg", "sqr", "atan2", "min", "max", "smin", "smax", "avg", "var", "dev", "diff", "sign", "sinh", "cosh",        \
        "tgh", "asnh", "acsh", "atgh", "int", "lim", "rnd", "disn", "disc", "round"

const char* const s_realNames[] = {EQNKIT_COMMON_PRINT_NAMES, "pshi", "pshf", "NA"};
const char* const s_cmplxNames[] = {EQNKIT_COMMON_PRINT_NAMES, "conj", "cabs", "rtop", "ptor", "real", "imag",
                                    "pshi", "pshf", "NA"};
#undef EQNKIT_COMMON_PRINT_NAMES

static_assert(sizeof(s_realNames) / sizeof(s_realNames[0]) == 63);
static_assert(sizeof(s_cmplxNames) / sizeof(s_cmplxNames[0]) == 69);
} // namespace

template <typename T> const char* Token<T>::printName(td::BYTE code)
{
    if (code < cFirstOperator || code > Traits::cLastCode)
        return "NA";
    if constexpr (Traits::isComplex)
        return s_cmplxNames[code - cFirstOperator];
    else
        return s_realNames[code - cFirstOperator];
}

template struct Token<double>;
template struct Token<std::complex<double>>;
} // namespace sl
