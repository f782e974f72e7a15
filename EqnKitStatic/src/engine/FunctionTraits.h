// What the expression engine makes of each function of the language in one build, from the
// function table: its operation on the stack machine, its arguments and its derivative rule.
#pragma once

#include <sc/priv/FunctionTable.h>
#include <td/Types.h>

#include "Operations.h"
#include "ValueTraits.h"

namespace sl
{
// How a function is differentiated; the rules of the function table.
enum class DiffRule : td::BYTE
{
    None,
    Zero,
    Chain,
    Quotient,
    Conjugate,
    Limit
};

// A function in one build; without an operation it is refused where it is compiled.
struct FunctionTraits
{
    Op op = Op::End;
    bool hasOperation = false;
    td::BYTE arity = 1;
    DiffRule rule = DiffRule::None;
};

namespace detail
{
// The operation columns name an operation of the stack machine, or None.
struct NoOperation
{
};

namespace functionOps
{
using enum Op;
inline constexpr NoOperation None{};
} // namespace functionOps

constexpr FunctionTraits functionRow(Op op, td::BYTE arity, DiffRule rule) { return {op, true, arity, rule}; }
constexpr FunctionTraits functionRow(NoOperation, td::BYTE arity, DiffRule rule)
{
    return {Op::End, false, arity, rule};
}

// The columns of each build, in the order of the table.
inline constexpr FunctionTraits cRealFunctions[] = {
#define EQNKIT_REAL_FUNCTION(name, word, domain, op, cOp, arity, cArity, rule, cRule)                                  \
    functionRow(functionOps::op, arity, DiffRule::rule),
    EQNKIT_FUNCTIONS(EQNKIT_REAL_FUNCTION)
#undef EQNKIT_REAL_FUNCTION
};
inline constexpr FunctionTraits cComplexFunctions[] = {
#define EQNKIT_COMPLEX_FUNCTION(name, word, domain, op, cOp, arity, cArity, rule, cRule)                               \
    functionRow(functionOps::cOp, cArity, DiffRule::cRule),
    EQNKIT_FUNCTIONS(EQNKIT_COMPLEX_FUNCTION)
#undef EQNKIT_COMPLEX_FUNCTION
};
inline constexpr FunctionTraits cNoFunction{};

// A function's operation computes on the stack and leaves one value; the rules fit the
// arguments (a chain rule one, the quotient two) and the build; the real build knows
// nothing of the complex-only functions.
constexpr bool rowFits(const FunctionTraits& f, bool complex)
{
    if (f.arity < 1 || f.arity > 3)
        return false;
    if (f.hasOperation)
    {
        const OpTraits& o = traitsOf(f.op);
        if (o.form != Form::None || o.arg != Operand::None || o.consts != 0 || o.takes < 1 || o.leaves != 1)
            return false;
    }
    switch (f.rule)
    {
    case DiffRule::Chain: return f.arity == 1;
    case DiffRule::Quotient: return f.arity == 2;
    case DiffRule::Conjugate: return complex && f.arity == 1;
    default: return true;
    }
}

constexpr bool rowsFit()
{
    for (unsigned i = 0; i < sc::priv::cFunctionCount; ++i)
    {
        const FunctionTraits& real = cRealFunctions[i];
        const bool realModels = i < sc::priv::cRealFunctionCount;
        if (!rowFits(real, false) || !rowFits(cComplexFunctions[i], true))
            return false;
        if (!realModels && (real.hasOperation || real.rule != DiffRule::None))
            return false;
    }
    return true;
}
static_assert(detail::rowsFit(), "a row of the function table does not fit its operation, arguments or build");
} // namespace detail

// The codes of a build's functions: from the first function up to its push codes.
template <typename T> constexpr bool isFunctionOfBuild(td::BYTE id)
{
    return id >= cFirstFunctionCode && id < ValueTraits<T>::cPushInt;
}

// The function of a code in a build; a code that is no function of the build has no
// operation, one argument and no derivative.
template <typename T> constexpr const FunctionTraits& functionTraits(td::BYTE id)
{
    if (!isFunctionOfBuild<T>(id))
        return detail::cNoFunction;
    const unsigned row = static_cast<unsigned>(id - cFirstFunctionCode);
    return ValueTraits<T>::isComplex ? detail::cComplexFunctions[row] : detail::cRealFunctions[row];
}

// The cells a function's operation takes: those of its operation, at most its arguments
// (lim compiles its three as one packed operand, the complex atg2 takes its one).
constexpr td::BYTE cellsTaken(const FunctionTraits& f)
{
    const td::BYTE takes = traitsOf(f.op).takes;
    return takes < f.arity ? takes : f.arity;
}
} // namespace sl
