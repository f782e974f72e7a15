// The code of the stack machine: a stream of 8-byte units, each an operation with its
// argument (a symbol index), a constant's value following its operation in place.
#pragma once

#include <complex>
#include <cstring>

#include <td/Types.h>

namespace sl
{
// Operations of the stack machine. A binary operation works on t (the cell below the top)
// and s (the top) and leaves its result in t's place; "Var", "Par" and "Const" forms take s
// from the value their push would have pushed (a push fused with the operation after it).
// "Temp" forms take s from temporary cell arg. Store copies the top into temporary cell
// arg, Load pushes that cell, Put pops the top into result slot arg, PutLoad puts and then
// loads cell temp (programs that compute shared parts once); PutHead and PutHeadLoad put
// result 0, where a run that asks for that result alone ends. TempMulConst pushes temporary
// cell arg times the constant after it; AddTempMulConst and SubTempMulConst add it to the
// top or subtract it from the top instead; MulConstAddTempMulConst and
// MulConstSubTempMulConst first multiply the top by the constant after them (the product's
// constant follows that one). PushVarSubVar pushes variable arg less the variable of the
// next unit's arg. TempMulConstAddTempMulConst and TempMulConstSubTempMulConst push
// TempMulConst's product with the AddTempMulConst or SubTempMulConst after it applied (the
// second's unit following the first's constant); MulVarRevSubConst takes the product of
// the top and variable arg from the constant after it; MulVarAdd and MulVarSub add that
// product to the cell below the top or subtract it from that cell; PutLoadMulVar multiplies the cell
// loaded by the variable of the next unit's arg. Any operation may also keep its result in a
// temporary cell (its store flag).
#define EQNKIT_OPERATIONS(X)                                                                                           \
    X(End)                                                                                                             \
    X(PushVar)                                                                                                         \
    X(PushPar)                                                                                                         \
    X(PushParent)                                                                                                      \
    X(PushConst)                                                                                                       \
    X(AddVar)                                                                                                          \
    X(SubVar)                                                                                                          \
    X(MulVar)                                                                                                          \
    X(DivVar)                                                                                                          \
    X(RevSubVar)                                                                                                       \
    X(RevDivVar)                                                                                                       \
    X(AddPar)                                                                                                          \
    X(SubPar)                                                                                                          \
    X(MulPar)                                                                                                          \
    X(DivPar)                                                                                                          \
    X(RevSubPar)                                                                                                       \
    X(RevDivPar)                                                                                                       \
    X(AddConst)                                                                                                        \
    X(SubConst)                                                                                                        \
    X(MulConst)                                                                                                        \
    X(DivConst)                                                                                                        \
    X(RevSubConst)                                                                                                     \
    X(RevDivConst)                                                                                                     \
    X(AddTemp)                                                                                                         \
    X(SubTemp)                                                                                                         \
    X(MulTemp)                                                                                                         \
    X(DivTemp)                                                                                                         \
    X(RevSubTemp)                                                                                                      \
    X(RevDivTemp)                                                                                                      \
    X(Add)                                                                                                             \
    X(Sub)                                                                                                             \
    X(Mul)                                                                                                             \
    X(Div)                                                                                                             \
    X(Pow)                                                                                                             \
    X(RevSub)                                                                                                          \
    X(RevDiv)                                                                                                          \
    X(RevPow)                                                                                                          \
    X(Assign)                                                                                                          \
    X(Or)                                                                                                              \
    X(And)                                                                                                             \
    X(Xor)                                                                                                             \
    X(Greater)                                                                                                         \
    X(GreaterEqual)                                                                                                    \
    X(Less)                                                                                                            \
    X(LessEqual)                                                                                                       \
    X(Equal)                                                                                                           \
    X(NotEqual)                                                                                                        \
    X(Min)                                                                                                             \
    X(Max)                                                                                                             \
    X(Atg2)                                                                                                            \
    X(Round)                                                                                                           \
    X(Disc)                                                                                                            \
    X(Not)                                                                                                             \
    X(Abs)                                                                                                             \
    X(Acos)                                                                                                            \
    X(Asin)                                                                                                            \
    X(Atg)                                                                                                             \
    X(Cos)                                                                                                             \
    X(Exp)                                                                                                             \
    X(Sqrt)                                                                                                            \
    X(Ln)                                                                                                              \
    X(Log)                                                                                                             \
    X(Sin)                                                                                                             \
    X(Tg)                                                                                                              \
    X(Sqr)                                                                                                             \
    X(Sign)                                                                                                            \
    X(Sinh)                                                                                                            \
    X(Cosh)                                                                                                            \
    X(Tgh)                                                                                                             \
    X(Asnh)                                                                                                            \
    X(Acsh)                                                                                                            \
    X(Atgh)                                                                                                            \
    X(StatMin)                                                                                                         \
    X(StatMax)                                                                                                         \
    X(StatAvg)                                                                                                         \
    X(StatVar)                                                                                                         \
    X(StatDev)                                                                                                         \
    X(Lim)                                                                                                             \
    X(Rnd)                                                                                                             \
    X(Conj)                                                                                                            \
    X(Cabs)                                                                                                            \
    X(Rtop)                                                                                                            \
    X(Ptor)                                                                                                            \
    X(Real)                                                                                                            \
    X(Imag)                                                                                                            \
    X(TempMulConst)                                                                                                    \
    X(AddTempMulConst)                                                                                                 \
    X(SubTempMulConst)                                                                                                 \
    X(MulConstAddTempMulConst)                                                                                         \
    X(MulConstSubTempMulConst)                                                                                         \
    X(PushVarSubVar)                                                                                                   \
    X(TempMulConstAddTempMulConst)                                                                                     \
    X(TempMulConstSubTempMulConst)                                                                                     \
    X(MulVarRevSubConst)                                                                                               \
    X(MulVarAdd)                                                                                                       \
    X(MulVarSub)                                                                                                       \
    X(PutLoadMulVar)                                                                                                   \
    X(SinCos)                                                                                                          \
    X(CosSin)                                                                                                          \
    X(Store)                                                                                                           \
    X(Load)                                                                                                            \
    X(Put)                                                                                                             \
    X(PutLoad)                                                                                                         \
    X(PutHead)                                                                                                         \
    X(PutHeadLoad)

enum class Op : td::BYTE
{
#define EQNKIT_OPERATION_NAME(name) name,
    EQNKIT_OPERATIONS(EQNKIT_OPERATION_NAME)
#undef EQNKIT_OPERATION_NAME
};

// One unit of code: an operation, its argument, and when the store flag is set the
// temporary cell that keeps its result; or (after a constant's operation) part of the
// constant: one unit for a real value, two for a complex one.
struct CodeUnit
{
    td::BYTE op = 0;
    td::BYTE store = 0;
    td::UINT2 temp = 0;
    td::UINT4 arg = 0;

    Op operation() const { return static_cast<Op>(op); }
    static constexpr td::UINT4 cMaxFlagTemp = 0xFFFF;
};
static_assert(sizeof(CodeUnit) == 8);

template <typename T> struct CodeValue
{
    // Units a constant of the value type takes.
    static constexpr td::UINT4 cUnits = sizeof(T) / sizeof(CodeUnit);
    static_assert(sizeof(T) % sizeof(CodeUnit) == 0);

    static T read(const CodeUnit* p)
    {
        T v;
        std::memcpy(static_cast<void*>(&v), p, sizeof(T));
        return v;
    }
    static void write(CodeUnit* p, const T& v) { std::memcpy(static_cast<void*>(p), &v, sizeof(T)); }
};

// The push a fused operation replaces, and the fused form of binary operation op after
// that push; Op::End when the pair has no fused form.
inline Op fusedOperation(Op push, Op op)
{
    int base;
    switch (push)
    {
    case Op::PushVar: base = static_cast<int>(Op::AddVar); break;
    case Op::PushPar: base = static_cast<int>(Op::AddPar); break;
    case Op::PushConst: base = static_cast<int>(Op::AddConst); break;
    case Op::Load: base = static_cast<int>(Op::AddTemp); break;
    default: return Op::End;
    }
    switch (op)
    {
    case Op::Add: return static_cast<Op>(base);
    case Op::Sub: return static_cast<Op>(base + 1);
    case Op::Mul: return static_cast<Op>(base + 2);
    case Op::Div: return static_cast<Op>(base + 3);
    case Op::RevSub: return static_cast<Op>(base + 4);
    case Op::RevDiv: return static_cast<Op>(base + 5);
    default: return Op::End;
    }
}
} // namespace sl
