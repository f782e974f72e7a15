// The built-in functions of the model language, one row each: the words both roads read,
// and what the expression engine makes of each function in the real and the complex build.
#pragma once

#include <cstddef>

#include <td/Types.h>

// The columns of a row:
//   name      the function in the expression engine's codes, where its code is 57 plus its
//             row; the front end's function sets number it by its row from 0
//   word      its keyword in model texts and XML equations
//   domain    Both: real and complex models; Complex: complex models alone. Complex rows
//             come last, since a complex model numbers its own functions after the others
//   op, cOp   the stack machine's operation in the real and the complex build; None: no
//             run-time operation, the function is refused where it is compiled
//   arity, cArity   its arguments in the real and the complex build
//   rule, cRule     how the real and the complex build differentiate it:
//             Chain      du * f'(u), with the function's formula f'(u) where trees are
//                        differentiated
//             Zero       its derivative is 0 (sign)
//             Quotient   atg2(u, w) as atg(u / w)
//             Conjugate  conj(u) by the conjugate partner of the variable
//             Limit      a lim leaf takes the derivative its limit keeps
//             None       no derivative: an equation that needs one is refused
// The real columns of a Complex row are None, 1 and None.
//
// A new function is its row here, its operation's row and handler in the stack machine
// and, with the rule Chain, its formula f'(u); the build fails while any of them is
// missing. A function that both builds know goes among the Both rows, best after the last
// (round): every row after it moves up by one code, and the engine's pins of the codes
// (engine/Token.h) fail the build until they follow. The front end finds int and lim by
// their codes (frontEndCode), which must stay rows of both domains.
// clang-format off
#define EQNKIT_FUNCTIONS(X)                                                                           \
    /* name     word     domain   op       cOp      arity cArity rule      cRule */                  \
    X(ABS,      "abs",   Both,    Abs,     Abs,     1,    1,     Chain,    None)                      \
    X(ACOS,     "acos",  Both,    Acos,    Acos,    1,    1,     Chain,    Chain)                     \
    X(ASIN,     "asin",  Both,    Asin,    Asin,    1,    1,     Chain,    Chain)                     \
    X(ATG,      "atg",   Both,    Atg,     Atg,     1,    1,     Chain,    Chain)                     \
    X(COS,      "cos",   Both,    Cos,     Cos,     1,    1,     Chain,    Chain)                     \
    X(EXP,      "exp",   Both,    Exp,     Exp,     1,    1,     Chain,    Chain)                     \
    X(SQRT,     "sqrt",  Both,    Sqrt,    Sqrt,    1,    1,     Chain,    Chain)                     \
    X(LN,       "ln",    Both,    Ln,      Ln,      1,    1,     Chain,    Chain)                     \
    X(LOG,      "log",   Both,    Log,     Log,     1,    1,     Chain,    Chain)                     \
    X(SIN,      "sin",   Both,    Sin,     Sin,     1,    1,     Chain,    Chain)                     \
    X(TG,       "tg",    Both,    Tg,      Tg,      1,    1,     Chain,    Chain)                     \
    X(SQR,      "sqr",   Both,    Sqr,     Sqr,     1,    1,     Chain,    Chain)                     \
    /* the complex atg2 is the angle of its one argument */                                           \
    X(ATG2,     "atg2",  Both,    Atg2,    Atg2,    2,    1,     Quotient, None)                      \
    X(MIN,      "min",   Both,    Min,     Min,     2,    2,     None,     None)                      \
    X(MAX,      "max",   Both,    Max,     Max,     2,    2,     None,     None)                      \
    /* statistics of a Stats name */                                                                  \
    X(SMIN,     "smin",  Both,    StatMin, StatMin, 1,    1,     None,     None)                      \
    X(SMAX,     "smax",  Both,    StatMax, StatMax, 1,    1,     None,     None)                      \
    X(AVG,      "avg",   Both,    StatAvg, StatAvg, 1,    1,     None,     None)                      \
    X(VAR,      "var",   Both,    StatVar, StatVar, 1,    1,     None,     None)                      \
    X(DEV,      "dev",   Both,    StatDev, StatDev, 1,    1,     None,     None)                      \
    X(DIFF,     "diff",  Both,    None,    None,    2,    2,     None,     None)                      \
    X(SIGN,     "sign",  Both,    Sign,    Sign,    1,    1,     Zero,     Zero)                      \
    X(SINH,     "sinh",  Both,    Sinh,    Sinh,    1,    1,     Chain,    Chain)                     \
    X(COSH,     "cosh",  Both,    Cosh,    Cosh,    1,    1,     Chain,    Chain)                     \
    X(TGH,      "tgh",   Both,    Tgh,     Tgh,     1,    1,     Chain,    Chain)                     \
    X(ASNH,     "asnh",  Both,    Asnh,    Asnh,    1,    1,     Chain,    Chain)                     \
    X(ACSH,     "acsh",  Both,    Acsh,    Acsh,    1,    1,     Chain,    Chain)                     \
    X(ATGH,     "atgh",  Both,    Atgh,    Atgh,    1,    1,     Chain,    Chain)                     \
    /* the integral of an ODE, which the DAE build expands */                                         \
    X(INTEGRAL, "int",   Both,    None,    None,    1,    1,     None,     None)                      \
    /* lim(x, lower, upper), compiled as one packed operand */                                        \
    X(LIMIT,    "lim",   Both,    Lim,     Lim,     3,    3,     Limit,    Limit)                     \
    /* a draw of a Distribs name */                                                                   \
    X(RND,      "rnd",   Both,    Rnd,     Rnd,     1,    1,     None,     None)                      \
    X(DISN,     "disn",  Both,    None,    None,    3,    3,     None,     None)                      \
    X(DISC,     "disc",  Both,    Disc,    None,    3,    3,     None,     None)                      \
    X(ROUND,    "round", Both,    Round,   Round,   2,    2,     None,     None)                      \
    X(CONJ,     "conj",  Complex, None,    Conj,    1,    1,     None,     Conjugate)                 \
    X(CABS,     "cabs",  Complex, None,    Cabs,    1,    1,     None,     None)                      \
    X(RTOP,     "rtop",  Complex, None,    Rtop,    1,    1,     None,     None)                      \
    X(PTOR,     "ptor",  Complex, None,    Ptor,    1,    1,     None,     None)                      \
    X(REAL,     "real",  Complex, None,    Real,    1,    1,     None,     None)                      \
    X(IMAG,     "imag",  Complex, None,    Imag,    1,    1,     None,     None)
// clang-format on

namespace sc::priv
{
// Which models know a function.
enum class FunctionDomain : td::BYTE
{
    Both,
    Complex
};

// The functions in the order of the table: a function's value is its code in the front
// end's function sets (the real set holds the Both rows, the complex set all of them).
enum class Function : td::BYTE
{
#define EQNKIT_FUNCTION_ENUMERATOR(name, ...) name,
    EQNKIT_FUNCTIONS(EQNKIT_FUNCTION_ENUMERATOR)
#undef EQNKIT_FUNCTION_ENUMERATOR
};

inline constexpr const char* cFunctionWords[] = {
#define EQNKIT_FUNCTION_WORD(name, word, ...) word,
    EQNKIT_FUNCTIONS(EQNKIT_FUNCTION_WORD)
#undef EQNKIT_FUNCTION_WORD
};

inline constexpr FunctionDomain cFunctionDomains[] = {
#define EQNKIT_FUNCTION_DOMAIN(name, word, domain, ...) FunctionDomain::domain,
    EQNKIT_FUNCTIONS(EQNKIT_FUNCTION_DOMAIN)
#undef EQNKIT_FUNCTION_DOMAIN
};

inline constexpr unsigned cFunctionCount = static_cast<unsigned>(sizeof(cFunctionWords) / sizeof(cFunctionWords[0]));

namespace detail
{
constexpr unsigned countBothRows()
{
    unsigned n = 0;
    while (n < cFunctionCount && cFunctionDomains[n] == FunctionDomain::Both)
        ++n;
    return n;
}

// After the first Complex row no Both row follows, and every word is a keyword whose key
// holds its bytes: from 1 to 8 of them.
constexpr bool rowsWellOrdered()
{
    for (unsigned i = countBothRows(); i < cFunctionCount; ++i)
    {
        if (cFunctionDomains[i] != FunctionDomain::Complex)
            return false;
    }
    for (const char* word : cFunctionWords)
    {
        std::size_t n = 0;
        while (word[n] != '\0')
            ++n;
        if (n == 0 || n > 8)
            return false;
    }
    return true;
}
} // namespace detail

// The functions real models know (the first rows), and those complex models add.
inline constexpr unsigned cRealFunctionCount = detail::countBothRows();
inline constexpr unsigned cComplexOnlyFunctionCount = cFunctionCount - cRealFunctionCount;

static_assert(detail::rowsWellOrdered(), "a function row after the complex-only ones, or a word of more than 8 bytes");
static_assert(cFunctionCount == sizeof(cFunctionDomains) / sizeof(cFunctionDomains[0]));

// A function's code in the front end's function sets: its row.
constexpr td::BYTE frontEndCode(Function f) { return static_cast<td::BYTE>(f); }

// The loader counts the calls of lim and the ODE reader finds those of int by one code in
// either function set, which holds for rows of both domains only.
static_assert(cFunctionDomains[frontEndCode(Function::INTEGRAL)] == FunctionDomain::Both &&
                  cFunctionDomains[frontEndCode(Function::LIMIT)] == FunctionDomain::Both,
              "int and lim are rows of both domains: the front end finds them by one code in either set");
} // namespace sc::priv
