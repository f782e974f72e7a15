// The operations of the stack machine, one row each: what its unit names, what follows the
// unit in the code, how many cells it takes and leaves, and whether the batches of rows run it.
#pragma once

#include <array>
#include <cstddef>

#include <td/Types.h>

namespace sl
{
// What an argument names: a variable, a parameter or a value of the parent model (by its
// index), a temporary cell or a result slot. ResultTemp: a result slot, the unit's temp
// field naming the temporary cell loaded after the put (so the unit takes no store flag).
enum class Operand : td::BYTE
{
    None,
    Var,
    Par,
    Parent,
    Temp,
    Result,
    ResultTemp
};

// The arithmetic of a binary operation and of its fused forms, t being the cell below the
// top (fused: the top) and s the top (fused: the operand the push would have pushed):
// t + s, t - s, t * s, t / s, then the reversed s - t and s / t.
enum class Form : td::BYTE
{
    None,
    Add,
    Sub,
    Mul,
    Div,
    RevSub,
    RevDiv
};

// The columns of a row:
//   form    the arithmetic of a binary operation or of a push fused with it (None: other)
//   arg     what the unit's argument names
//   consts  the constants that follow the unit in place
//   next    what the argument of the unit after it names (after its first constant, if any)
//   takes   the cells it takes, the top and those below it (Atg2: one in the complex build)
//   leaves  the cells it leaves in their place (none or the new top)
//   batched whether the batches of rows run it; a program holding another runs on the stack
//           machine alone
// Any operation may also keep its result in a temporary cell (its store flag), unless its
// temp field names a cell it loads.
//
// A new operation needs its row here, its handler in the stack machine's loop (CU::run)
// and, when batched, its step in the batch machine (BatchMachine.cpp); the build fails
// without either. The fused forms follow from the table (fusedOperation), the batches read
// a program's operands by it (RowShapes.h).
//
// The fused forms: "Var", "Par", "Const" and "Temp" forms take s from the value their push
// would have pushed (PushVar, PushPar, PushConst, Load). Store copies the top into temporary
// cell arg, Load pushes that cell, Put pops the top into result slot arg, PutLoad puts and
// then loads cell temp (programs that compute shared parts once); PutHead and PutHeadLoad
// put result 0, where a run that asks for that result alone ends. TempMulConst pushes
// temporary cell arg times the constant after it; AddTempMulConst and SubTempMulConst add
// it to the top or subtract it from the top instead; MulConstAddTempMulConst and
// MulConstSubTempMulConst first multiply the top by the constant after them (the product's
// constant follows that one). PushVarSubVar pushes variable arg less the variable of the
// next unit's arg. TempMulConstAddTempMulConst and TempMulConstSubTempMulConst push
// TempMulConst's product with the AddTempMulConst or SubTempMulConst after it applied (the
// second's unit following the first's constant); MulVarRevSubConst takes the product of the
// top and variable arg from the constant after it; MulVarAdd and MulVarSub add that product
// to the cell below the top or subtract it from that cell; PutLoadMulVar multiplies the cell
// loaded by the variable of the next unit's arg. SinCos and CosSin leave the sine (the
// cosine) of the top in its place and the other one in temporary cell arg.
// clang-format off
#define EQNKIT_OPERATIONS(X)                                                                   \
    /* name                          form    arg         consts next  takes leaves batched */ \
    X(End,                           None,   None,       0,     None, 0,    0,     true)      \
    /* pushes */                                                                               \
    X(PushVar,                       None,   Var,        0,     None, 0,    1,     true)      \
    X(PushPar,                       None,   Par,        0,     None, 0,    1,     true)      \
    X(PushParent,                    None,   Parent,     0,     None, 0,    1,     false)     \
    X(PushConst,                     None,   None,       1,     None, 0,    1,     true)      \
    /* a push fused with the binary operation after it */                                     \
    X(AddVar,                        Add,    Var,        0,     None, 1,    1,     true)      \
    X(SubVar,                        Sub,    Var,        0,     None, 1,    1,     true)      \
    X(MulVar,                        Mul,    Var,        0,     None, 1,    1,     true)      \
    X(DivVar,                        Div,    Var,        0,     None, 1,    1,     true)      \
    X(RevSubVar,                     RevSub, Var,        0,     None, 1,    1,     true)      \
    X(RevDivVar,                     RevDiv, Var,        0,     None, 1,    1,     true)      \
    X(AddPar,                        Add,    Par,        0,     None, 1,    1,     true)      \
    X(SubPar,                        Sub,    Par,        0,     None, 1,    1,     true)      \
    X(MulPar,                        Mul,    Par,        0,     None, 1,    1,     true)      \
    X(DivPar,                        Div,    Par,        0,     None, 1,    1,     true)      \
    X(RevSubPar,                     RevSub, Par,        0,     None, 1,    1,     true)      \
    X(RevDivPar,                     RevDiv, Par,        0,     None, 1,    1,     true)      \
    X(AddConst,                      Add,    None,       1,     None, 1,    1,     true)      \
    X(SubConst,                      Sub,    None,       1,     None, 1,    1,     true)      \
    X(MulConst,                      Mul,    None,       1,     None, 1,    1,     true)      \
    X(DivConst,                      Div,    None,       1,     None, 1,    1,     true)      \
    X(RevSubConst,                   RevSub, None,       1,     None, 1,    1,     true)      \
    X(RevDivConst,                   RevDiv, None,       1,     None, 1,    1,     true)      \
    X(AddTemp,                       Add,    Temp,       0,     None, 1,    1,     true)      \
    X(SubTemp,                       Sub,    Temp,       0,     None, 1,    1,     true)      \
    X(MulTemp,                       Mul,    Temp,       0,     None, 1,    1,     true)      \
    X(DivTemp,                       Div,    Temp,       0,     None, 1,    1,     true)      \
    X(RevSubTemp,                    RevSub, Temp,       0,     None, 1,    1,     true)      \
    X(RevDivTemp,                    RevDiv, Temp,       0,     None, 1,    1,     true)      \
    /* two or more operands */                                                                 \
    X(Add,                           Add,    None,       0,     None, 2,    1,     true)      \
    X(Sub,                           Sub,    None,       0,     None, 2,    1,     true)      \
    X(Mul,                           Mul,    None,       0,     None, 2,    1,     true)      \
    X(Div,                           Div,    None,       0,     None, 2,    1,     true)      \
    X(Pow,                           None,   None,       0,     None, 2,    1,     false)     \
    X(RevSub,                        RevSub, None,       0,     None, 2,    1,     true)      \
    X(RevDiv,                        RevDiv, None,       0,     None, 2,    1,     true)      \
    X(RevPow,                        None,   None,       0,     None, 2,    1,     false)     \
    X(Assign,                        None,   None,       0,     None, 2,    1,     false)     \
    X(Or,                            None,   None,       0,     None, 2,    1,     false)     \
    X(And,                           None,   None,       0,     None, 2,    1,     false)     \
    X(Xor,                           None,   None,       0,     None, 2,    1,     false)     \
    X(Greater,                       None,   None,       0,     None, 2,    1,     false)     \
    X(GreaterEqual,                  None,   None,       0,     None, 2,    1,     false)     \
    X(Less,                          None,   None,       0,     None, 2,    1,     false)     \
    X(LessEqual,                     None,   None,       0,     None, 2,    1,     false)     \
    X(Equal,                         None,   None,       0,     None, 2,    1,     false)     \
    X(NotEqual,                      None,   None,       0,     None, 2,    1,     false)     \
    X(Min,                           None,   None,       0,     None, 2,    1,     false)     \
    X(Max,                           None,   None,       0,     None, 2,    1,     false)     \
    X(Atg2,                          None,   None,       0,     None, 2,    1,     false)     \
    X(Round,                         None,   None,       0,     None, 2,    1,     false)     \
    X(Disc,                          None,   None,       0,     None, 3,    1,     false)     \
    /* one operand */                                                                          \
    X(Not,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Abs,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Acos,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Asin,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Atg,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Cos,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Exp,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Sqrt,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Ln,                            None,   None,       0,     None, 1,    1,     false)     \
    X(Log,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Sin,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Tg,                            None,   None,       0,     None, 1,    1,     false)     \
    X(Sqr,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Sign,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Sinh,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Cosh,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Tgh,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Asnh,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Acsh,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Atgh,                          None,   None,       0,     None, 1,    1,     false)     \
    X(StatMin,                       None,   None,       0,     None, 1,    1,     false)     \
    X(StatMax,                       None,   None,       0,     None, 1,    1,     false)     \
    X(StatAvg,                       None,   None,       0,     None, 1,    1,     false)     \
    X(StatVar,                       None,   None,       0,     None, 1,    1,     false)     \
    X(StatDev,                       None,   None,       0,     None, 1,    1,     false)     \
    X(Lim,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Rnd,                           None,   None,       0,     None, 1,    1,     false)     \
    X(Conj,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Cabs,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Rtop,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Ptor,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Real,                          None,   None,       0,     None, 1,    1,     false)     \
    X(Imag,                          None,   None,       0,     None, 1,    1,     false)     \
    /* further fused operations */                                                             \
    X(TempMulConst,                  None,   Temp,       1,     None, 0,    1,     true)      \
    X(AddTempMulConst,               None,   Temp,       1,     None, 1,    1,     true)      \
    X(SubTempMulConst,               None,   Temp,       1,     None, 1,    1,     true)      \
    X(MulConstAddTempMulConst,       None,   Temp,       2,     None, 1,    1,     true)      \
    X(MulConstSubTempMulConst,       None,   Temp,       2,     None, 1,    1,     true)      \
    X(PushVarSubVar,                 None,   Var,        0,     Var,  0,    1,     true)      \
    X(TempMulConstAddTempMulConst,   None,   Temp,       2,     Temp, 0,    1,     true)      \
    X(TempMulConstSubTempMulConst,   None,   Temp,       2,     Temp, 0,    1,     true)      \
    X(MulVarRevSubConst,             None,   Var,        1,     None, 1,    1,     true)      \
    X(MulVarAdd,                     None,   Var,        0,     None, 2,    1,     true)      \
    X(MulVarSub,                     None,   Var,        0,     None, 2,    1,     true)      \
    X(PutLoadMulVar,                 None,   ResultTemp, 0,     Var,  1,    1,     true)      \
    /* one call for the sine and the cosine of the top */                                      \
    X(SinCos,                        None,   Temp,       0,     None, 1,    1,     true)      \
    X(CosSin,                        None,   Temp,       0,     None, 1,    1,     true)      \
    /* temporary cells and results of a program */                                             \
    X(Store,                         None,   Temp,       0,     None, 1,    1,     true)      \
    X(Load,                          None,   Temp,       0,     None, 0,    1,     true)      \
    X(Put,                           None,   Result,     0,     None, 1,    0,     true)      \
    X(PutLoad,                       None,   ResultTemp, 0,     None, 1,    1,     true)      \
    X(PutHead,                       None,   Result,     0,     None, 1,    0,     true)      \
    X(PutHeadLoad,                   None,   ResultTemp, 0,     None, 1,    1,     true)
// clang-format on

enum class Op : td::BYTE
{
#define EQNKIT_OPERATION_NAME(name, ...) name,
    EQNKIT_OPERATIONS(EQNKIT_OPERATION_NAME)
#undef EQNKIT_OPERATION_NAME
};

// One row of the table.
struct OpTraits
{
    Form form;
    Operand arg;
    td::BYTE consts;
    Operand next;
    td::BYTE takes;
    td::BYTE leaves;
    bool batched;
};

inline constexpr OpTraits cOpTraits[] = {
#define EQNKIT_OPERATION_ROW(name, form, arg, consts, next, takes, leaves, batched)                                    \
    OpTraits{Form::form, Operand::arg, consts, Operand::next, takes, leaves, batched},
    EQNKIT_OPERATIONS(EQNKIT_OPERATION_ROW)
#undef EQNKIT_OPERATION_ROW
};
inline constexpr std::size_t cOperationCount = std::size(cOpTraits);

constexpr const OpTraits& traitsOf(Op op) { return cOpTraits[static_cast<std::size_t>(op)]; }

// A binary operation that takes both its operands from the stack (the one fused forms replace).
constexpr bool isPlainBinary(const OpTraits& o)
{
    return o.form != Form::None && o.takes == 2 && o.arg == Operand::None && o.consts == 0;
}

namespace detail
{
// For each push and each form, the operation of that form that takes its operand where the
// push takes it (none: Op::End).
constexpr auto makeFusedForms()
{
    std::array<std::array<Op, 7>, cOperationCount> forms{};
    for (std::size_t p = 0; p < cOperationCount; ++p)
    {
        const OpTraits& push = cOpTraits[p];
        if (push.takes != 0 || push.leaves != 1)
            continue;
        for (std::size_t k = 0; k < cOperationCount; ++k)
        {
            const OpTraits& f = cOpTraits[k];
            if (f.form != Form::None && f.takes == 1 && f.arg == push.arg && f.consts == push.consts &&
                f.next == push.next)
                forms[p][static_cast<std::size_t>(f.form)] = static_cast<Op>(k);
        }
    }
    return forms;
}
inline constexpr auto cFusedForms = makeFusedForms();

// Each push has all six fused forms or none.
constexpr bool fusedFormsComplete()
{
    for (const auto& forms : cFusedForms)
    {
        std::size_t n = 0;
        for (std::size_t f = 1; f < forms.size(); ++f)
            n += forms[f] != Op::End ? 1 : 0;
        if (n != 0 && n != forms.size() - 1)
            return false;
    }
    return true;
}

// The columns of a row agree with each other.
constexpr bool rowsWellFormed()
{
    for (const OpTraits& o : cOpTraits)
    {
        const bool fusedForm = o.form != Form::None && o.takes == 1 && o.leaves == 1 && o.next == Operand::None;
        if (o.leaves > 1 || o.consts > 2 || (o.form != Form::None && !fusedForm && !isPlainBinary(o)))
            return false;
        if (o.next != Operand::None && o.next != Operand::Var && o.next != Operand::Temp)
            return false;
    }
    return true;
}
} // namespace detail

static_assert(cOperationCount <= 256, "an operation is one byte of its unit");
static_assert(Op::End == Op{}, "a unit of zeros ends the code");
static_assert(detail::fusedFormsComplete(), "a push fuses with all six binary forms or with none");
static_assert(detail::rowsWellFormed(), "a row of the operation table is inconsistent");

// The push a fused operation replaces, and the fused form of binary operation op after
// that push; Op::End when the pair has no fused form.
constexpr Op fusedOperation(Op push, Op op)
{
    const OpTraits& o = traitsOf(op);
    if (!isPlainBinary(o))
        return Op::End;
    return detail::cFusedForms[static_cast<std::size_t>(push)][static_cast<std::size_t>(o.form)];
}

// True for a push whose value a binary operation after it may take in a fused form.
constexpr bool hasFusedForms(Op push) { return fusedOperation(push, Op::Add) != Op::End; }
} // namespace sl
