#include "BatchMachine.h"

#include <td/Assert.h>

namespace sl
{
namespace
{
// For the static_assert of an operation the batch machine does not handle.
template <Op> [[maybe_unused]] constexpr bool cStepMissing = false;

// The operations that share one target of the batch machine's dispatch, in one step each
// group, told apart by comparisons there: the puts, and the fused operations other than the
// arithmetic forms. Fewer targets keep that jump predictable (the steps a few per cent
// faster than with one target an operation).
enum class Shared : td::BYTE
{
    None,
    Put,
    Fused
};

constexpr Shared sharedOf(Op op)
{
    const OpTraits& o = traitsOf(op);
    if (!o.batched || o.form != Form::None)
        return Shared::None;
    if (o.arg == Operand::Result || o.arg == Operand::ResultTemp)
        return Shared::Put;
    const bool fused =
        (o.arg == Operand::Var || o.arg == Operand::Temp) && (o.consts > 0 || o.next != Operand::None || o.takes == 2);
    return fused ? Shared::Fused : Shared::None;
}

// True when the operations of group g are exactly those of a shared step's branches.
template <std::size_t n> constexpr bool sharedAre(Shared g, const Op (&handled)[n])
{
    std::size_t nShared = 0;
    for (std::size_t k = 0; k < cOperationCount; ++k)
    {
        if (sharedOf(static_cast<Op>(k)) != g)
            continue;
        ++nShared;
        bool found = false;
        for (Op op : handled)
            found = found || op == static_cast<Op>(k);
        if (!found)
            return false;
    }
    return nShared == n;
}
} // namespace

template <typename T> void BatchMachine<T>::run(const RowShape& shape, const RowBatch<T>& b, T* heads, T* values)
{
    _n = b.nRows;
    _stride = b.capacity;
    _pIndices = b.indices.data();
    _pConstants = b.constants.data();
    _sp = _stack;
    for (const BatchStep& s : shape.steps)
    {
        if (!step(s, b, heads, values))
            return;
        if (s.store)
            move(temp(s.temp), _acc);
    }
}

// False ends the batch's run: at its end, or at the residual of a run without values.
template <typename T> bool BatchMachine<T>::step(const BatchStep& s, const RowBatch<T>& b, T* heads, T* values)
{
    switch (s.op)
    {
#define EQNKIT_OPERATION_STEP(name, ...)                                                                               \
    case Op::name:                                                                                                     \
        if constexpr (sharedOf(Op::name) == Shared::Put)                                                               \
            goto put;                                                                                                  \
        else if constexpr (sharedOf(Op::name) == Shared::Fused)                                                        \
            goto fused;                                                                                                \
        else                                                                                                           \
            return stepOf<Op::name>(s);
        EQNKIT_OPERATIONS(EQNKIT_OPERATION_STEP)
#undef EQNKIT_OPERATION_STEP
    }
    return false;
put:
    return putStep(s, b, heads, values);
fused:
    fusedStep(s);
    return true;
}

// The operations of a step of their own, by their row: the arithmetic forms, the pushes
// and the operations on one temporary cell.
template <typename T> template <Op op> bool BatchMachine<T>::stepOf(const BatchStep& s)
{
    constexpr OpTraits o = traitsOf(op);
    static_assert(sharedOf(op) == Shared::None);
    if constexpr (!o.batched)
    {
        // The reader leaves out a program that holds it.
        TD_ASSERT(!"an operation the batches do not run");
        return false;
    }
    else if constexpr (op == Op::End)
        return false;
    else if constexpr (o.form != Form::None)
        formStep<op>(s);
    else if constexpr (o.arg == Operand::Temp)
        cellStep<op>(s);
    else if constexpr (o.takes == 0)
        pushStep<op>(s);
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
    return true;
}

// The top combined with the operand of the form's family: a variable, a parameter, a
// constant, a temporary cell, or the cell below it.
template <typename T> template <Op op> void BatchMachine<T>::formStep(const BatchStep& s)
{
    constexpr OpTraits o = traitsOf(op);
    if constexpr (o.takes == 2)
        withBelow<o.form>();
    else if constexpr (o.arg == Operand::Var)
        withCells<o.form>(_x, index(s));
    else if constexpr (o.arg == Operand::Par)
        withCells<o.form>(_p, index(s));
    else if constexpr (o.arg == Operand::Temp)
        withBlock<o.form>(temp(s.arg));
    else if constexpr (o.consts == 1)
        withBlock<o.form>(constant(s));
    else
        static_assert(cStepMissing<op>, "a form without its family in the batch machine");
}

template <typename T> template <Op op> void BatchMachine<T>::pushStep(const BatchStep& s)
{
    push();
    if constexpr (op == Op::PushVar || op == Op::PushPar)
    {
        const T* from = op == Op::PushVar ? _x : _p;
        const td::UINT4* i = index(s);
        each([&](td::UINT4 r) { _acc[r] = from[i[r]]; });
    }
    else if constexpr (op == Op::PushConst)
    {
        // A column holds the batch's capacity, which may be less than a block.
        const T* c = constant(s);
        each([&](td::UINT4 r) { _acc[r] = c[r]; });
    }
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
}

// The operations on one temporary cell.
template <typename T> template <Op op> void BatchMachine<T>::cellStep(const BatchStep& s)
{
    if constexpr (op == Op::Load)
    {
        push();
        move(_acc, temp(s.arg));
    }
    else if constexpr (op == Op::Store)
        move(temp(s.arg), _acc);
    else if constexpr (op == Op::SinCos || op == Op::CosSin)
    {
        T* partner = temp(s.arg);
        constexpr bool sine = op == Op::SinCos;
        each([&](td::UINT4 r) {
            T sn, cs;
            _sines.sineAndCosine(_acc[r], sn, cs);
            _acc[r] = sine ? sn : cs;
            partner[r] = sine ? cs : sn;
        });
    }
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
}

// The fused operations other than the arithmetic forms: a difference of two variables,
// products of the top and a variable, and (scaledCellStep) temporary cells times constants.
template <typename T> void BatchMachine<T>::fusedStep(const BatchStep& s)
{
    static_assert(sharedAre(Shared::Fused, {Op::PushVarSubVar, Op::MulVarRevSubConst, Op::MulVarAdd, Op::MulVarSub,
                                            Op::TempMulConst, Op::AddTempMulConst, Op::SubTempMulConst,
                                            Op::MulConstAddTempMulConst, Op::MulConstSubTempMulConst,
                                            Op::TempMulConstAddTempMulConst, Op::TempMulConstSubTempMulConst}),
                  "a fused operation without its branch in the batch machine's fusedStep");
    T* a = _acc;
    if (s.op == Op::PushVarSubVar)
    {
        push();
        const td::UINT4 *i = index(s), *k = index(s, 1);
        each([&](td::UINT4 r) { a[r] = _x[i[r]] - _x[k[r]]; });
    }
    else if (s.op == Op::MulVarRevSubConst)
    {
        const td::UINT4* i = index(s);
        const T* c = constant(s);
        each([&](td::UINT4 r) { a[r] = c[r] - a[r] * _x[i[r]]; });
    }
    else if (s.op == Op::MulVarAdd || s.op == Op::MulVarSub)
    {
        const T* below = pop();
        const td::UINT4* i = index(s);
        if (s.op == Op::MulVarAdd)
            each([&](td::UINT4 r) { a[r] = below[r] + a[r] * _x[i[r]]; });
        else
            each([&](td::UINT4 r) { a[r] = below[r] - a[r] * _x[i[r]]; });
    }
    else
        scaledCellStep(s);
}

// The fused operations on a temporary cell times a constant.
template <typename T> void BatchMachine<T>::scaledCellStep(const BatchStep& s)
{
    T* a = _acc;
    const T* t = temp(s.arg);
    const T* c = constant(s);
    if (s.op == Op::TempMulConst)
    {
        push();
        each([&](td::UINT4 r) { a[r] = t[r] * c[r]; });
        return;
    }
    if (s.op == Op::AddTempMulConst || s.op == Op::SubTempMulConst)
    {
        if (s.op == Op::AddTempMulConst)
            each([&](td::UINT4 r) { a[r] = a[r] + t[r] * c[r]; });
        else
            each([&](td::UINT4 r) { a[r] = a[r] - t[r] * c[r]; });
        return;
    }
    const T* c2 = constant(s, 1);
    if (s.op == Op::MulConstAddTempMulConst)
        each([&](td::UINT4 r) { a[r] = a[r] * c[r] + t[r] * c2[r]; });
    else if (s.op == Op::MulConstSubTempMulConst)
        each([&](td::UINT4 r) { a[r] = a[r] * c[r] - t[r] * c2[r]; });
    else
    {
        // TempMulConstAddTempMulConst, TempMulConstSubTempMulConst
        push();
        const T* t2 = temp(s.arg2);
        if (s.op == Op::TempMulConstAddTempMulConst)
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] + t2[r] * c2[r]; });
        else
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] - t2[r] * c2[r]; });
    }
}

// A put: the residual into heads, an entry into values; then the cell below, a
// temporary cell, or one times a variable becomes the top.
template <typename T> bool BatchMachine<T>::putStep(const BatchStep& s, const RowBatch<T>& b, T* heads, T* values)
{
    static_assert(sharedAre(Shared::Put, {Op::Put, Op::PutHead, Op::PutLoad, Op::PutHeadLoad, Op::PutLoadMulVar}),
                  "a put without its branch in the batch machine's putStep");
    const bool head = s.op == Op::PutHead || s.op == Op::PutHeadLoad;
    if (head)
        each([&](td::UINT4 r) { heads[b.rows[r]] = _acc[r]; });
    else if (values)
        each([&](td::UINT4 r) { values[b.firstEntries[r] + s.arg - 1] = _acc[r]; });
    if (head && !values)
        return false;
    if (s.op == Op::Put || s.op == Op::PutHead)
        move(_acc, pop());
    else if (s.op == Op::PutLoadMulVar)
    {
        const T* loaded = temp(s.arg2);
        const td::UINT4* i = index(s);
        each([&](td::UINT4 r) { _acc[r] = loaded[r] * _x[i[r]]; });
    }
    else
        move(_acc, temp(s.arg2));
    return true;
}

template class BatchMachine<double>;
template class BatchMachine<std::complex<double>>;
} // namespace sl
