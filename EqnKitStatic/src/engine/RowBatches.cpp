#include "RowBatches.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <unordered_map>

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

// Steps compared by their bytes: they have no padding.
template <typename Step> bool sameSteps(const std::vector<Step>& a, const std::vector<Step>& b)
{
    static_assert(std::has_unique_object_representations_v<Step>, "steps compared by their bytes");
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Step)) == 0;
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

// Reads one program into its shape's steps and its own operands (variable and parameter
// indices, constants), in the order the steps take them; false at an operation the
// batches do not run.
template <typename T> class RowBatches<T>::Reader
{
public:
    // Reads the program at pc, the vectors of the last one cleared (their room kept).
    bool read(const CodeUnit* pc)
    {
        _pc = pc;
        _depth = nTemps = depth = 0;
        steps.clear();
        indices.clear();
        constants.clear();
        for (;;)
        {
            const CodeUnit u = *_pc++;
            Step s{u.operation(), u.store, u.store ? u.temp : td::UINT2(0), 0, 0, 0, 0};
            s.indexColumn = static_cast<td::UINT4>(indices.size());
            s.constColumn = static_cast<td::UINT4>(constants.size());
            if (!readOperands(u, s))
                return false;
            steps.push_back(s);
            if (s.op == Op::End)
                return true;
        }
    }

    // Of the steps, the part rows of one shape share.
    std::uint64_t hash() const
    {
        std::uint64_t h = 0;
        auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 0x9E3779B97F4A7C15ull; };
        for (const Step& s : steps)
        {
            mix((static_cast<std::uint64_t>(s.op) << 24) | (static_cast<std::uint64_t>(s.store) << 16) | s.temp);
            mix((static_cast<std::uint64_t>(s.arg) << 32) | s.arg2);
        }
        return h;
    }

    std::vector<Step> steps;
    std::vector<td::UINT4> indices;
    std::vector<T> constants;
    td::UINT4 nTemps = 0;
    td::UINT4 depth = 0;

private:
    using V = CodeValue<T>;

    void constant()
    {
        constants.push_back(V::read(_pc));
        _pc += V::cUnits;
    }
    void cell(td::UINT4 t) { nTemps = std::max(nTemps, t + 1); }
    void push()
    {
        ++_depth;
        depth = std::max(depth, _depth);
    }
    // False for code that takes a cell nobody pushed (the stack machine's compiler makes
    // none; such code is left to the machine).
    bool pop()
    {
        if (_depth == 0)
            return false;
        --_depth;
        return true;
    }

    // The operands of unit u, read by its operation's row of the table in the order of the
    // code; false for an operation the batches do not run. One reading for every row of the
    // table (not one instantiation an operation): the build reads every unit of every row.
    bool readOperands(const CodeUnit& u, Step& s)
    {
        if (u.op >= cOperationCount)
            return false;
        const OpTraits& o = cOpTraits[u.op];
        if (!o.batched)
            return false;
        if (u.store)
            cell(u.temp);
        // The cells it takes beyond the one it leaves go; one left where none was taken is new.
        for (td::BYTE k = o.leaves; k < o.takes; ++k)
        {
            if (!pop())
                return false;
        }
        if (o.leaves > o.takes)
            push();
        readArgument(o.arg, u, s);
        if (o.consts > 0)
            constant();
        if (o.next == Operand::Var)
            indices.push_back(_pc++->arg);
        else if (o.next == Operand::Temp)
        {
            s.arg2 = _pc++->arg;
            cell(s.arg2);
        }
        if (o.consts > 1)
            constant();
        return true;
    }

    // A variable's or parameter's index is the row's own; a cell or result is the shape's.
    void readArgument(Operand arg, const CodeUnit& u, Step& s)
    {
        switch (arg)
        {
        case Operand::Var:
        case Operand::Par: indices.push_back(u.arg); break;
        case Operand::Temp:
            s.arg = u.arg;
            cell(u.arg);
            break;
        case Operand::Result: s.arg = u.arg; break;
        case Operand::ResultTemp:
            s.arg = u.arg;
            s.arg2 = u.temp;
            cell(u.temp);
            break;
        default: break;
        }
    }

    const CodeUnit* _pc = nullptr;
    td::UINT4 _depth = 0;
};

template <typename T> void RowBatches<T>::clear()
{
    _shapes.clear();
    _batches.clear();
    _covered.clear();
    _nTemps = _depth = 0;
    _built = false;
}

template <typename T> void RowBatches<T>::build(const std::vector<Member>& members, td::UINT4 nRows)
{
    clear();
    _covered.assign(nRows, false);
    // The first shape of each hash; the batch of each shape still taking rows, and its rows.
    std::unordered_map<std::uint64_t, td::UINT4> shapeOf;
    std::vector<td::UINT4> open, rowsOf;
    Reader reader;
    for (const Member& m : members)
    {
        if (!m.pCode || m.row >= nRows || !reader.read(m.pCode))
            continue;
        const td::UINT4 shape = shapeFor(reader, shapeOf);
        if (shape == open.size())
        {
            open.push_back(UINT32_MAX);
            rowsOf.push_back(0);
        }
        ++rowsOf[shape];
        if (open[shape] == UINT32_MAX || _batches[open[shape]].nRows == _batches[open[shape]].capacity)
        {
            const td::UINT4 capacity =
                open[shape] == UINT32_MAX ? 4 : std::min(cBatch, 2 * _batches[open[shape]].capacity);
            open[shape] = static_cast<td::UINT4>(_batches.size());
            Batch b{};
            b.shape = shape;
            b.capacity = capacity;
            b.indices.resize(static_cast<std::size_t>(_shapes[shape].nIndexColumns) * capacity);
            b.constants.resize(static_cast<std::size_t>(_shapes[shape].nConstColumns) * capacity);
            _batches.push_back(std::move(b));
        }
        Batch& b = _batches[open[shape]];
        const td::UINT4 r = b.nRows++;
        b.rows[r] = m.row;
        b.firstEntries[r] = m.firstEntry;
        for (std::size_t c = 0; c < reader.indices.size(); ++c)
            b.indices[c * b.capacity + r] = reader.indices[c];
        for (std::size_t c = 0; c < reader.constants.size(); ++c)
            b.constants[c * b.capacity + r] = reader.constants[c];
    }
    // A shape of too few rows for its batch to pay leaves them to the stack machine.
    std::size_t kept = 0;
    for (Batch& b : _batches)
    {
        if (rowsOf[b.shape] < cMinRows)
            continue;
        for (td::UINT4 r = 0; r < b.nRows; ++r)
            _covered[b.rows[r]] = true;
        if (&_batches[kept] != &b)
            _batches[kept] = std::move(b);
        ++kept;
    }
    _batches.resize(kept);
    _cells.assign(static_cast<std::size_t>(1 + _depth + 1 + _nTemps) * cBatch, T(0));
    _built = true;
}

// The shape of the program read: found by its hash (a shape of another hash sharing it is
// searched for among all), or added.
template <typename T>
td::UINT4 RowBatches<T>::shapeFor(const Reader& reader, std::unordered_map<std::uint64_t, td::UINT4>& shapeOf)
{
    const auto [it, added] = shapeOf.try_emplace(reader.hash(), static_cast<td::UINT4>(_shapes.size()));
    if (!added)
    {
        if (sameSteps(_shapes[it->second].steps, reader.steps))
            return it->second;
        for (td::UINT4 k = 0; k < _shapes.size(); ++k)
        {
            if (sameSteps(_shapes[k].steps, reader.steps))
                return k;
        }
    }
    Shape s;
    s.steps = reader.steps;
    s.nIndexColumns = static_cast<td::UINT4>(reader.indices.size());
    s.nConstColumns = static_cast<td::UINT4>(reader.constants.size());
    _nTemps = std::max(_nTemps, reader.nTemps);
    _depth = std::max(_depth, reader.depth);
    _shapes.push_back(std::move(s));
    return static_cast<td::UINT4>(_shapes.size() - 1);
}

// Runs the steps of one batch: the top cells of its rows in one block, the cells below
// them a block per level, the temporary cells a block each. Blocks move whole (a fixed
// size the compiler copies in place); arithmetic runs over the batch's rows.
template <typename T> class RowBatches<T>::Machine
{
public:
    Machine(const T* x, const T* p, SineCache<T>& sines, T* cells, td::UINT4 depth)
        : _x(x), _p(p), _sines(sines), _acc(cells), _stack(cells + cBatch), _temps(cells + (2 + depth) * cBatch)
    {
    }

    void run(const Shape& shape, const Batch& b, T* heads, T* values)
    {
        _n = b.nRows;
        _stride = b.capacity;
        _pIndices = b.indices.data();
        _pConstants = b.constants.data();
        _sp = _stack;
        for (const Step& s : shape.steps)
        {
            if (!step(s, b, heads, values))
                return;
            if (s.store)
                move(temp(s.temp), _acc);
        }
    }

private:
    static void move(T* to, const T* from) { std::memcpy(static_cast<void*>(to), from, cBatch * sizeof(T)); }
    const td::UINT4* index(const Step& s, td::UINT4 k = 0) const { return _pIndices + (s.indexColumn + k) * _stride; }
    const T* constant(const Step& s, td::UINT4 k = 0) const { return _pConstants + (s.constColumn + k) * _stride; }
    T* temp(td::UINT4 t) const { return _temps + t * cBatch; }
    void push()
    {
        move(_sp, _acc);
        _sp += cBatch;
    }
    const T* pop()
    {
        _sp -= cBatch;
        return _sp;
    }
    template <typename F> void each(F&& f) const
    {
        for (td::UINT4 r = 0; r < _n; ++r)
            f(r);
    }
    // The top becomes x op y for form F: x + y, x - y, x * y, x / y, then y - x and y / x
    // (the reversed forms), with x and y read for each row.
    template <Form F, typename X, typename Y> void combine(X&& x, Y&& y)
    {
        T* a = _acc;
        if constexpr (F == Form::Add)
            each([&](td::UINT4 r) { a[r] = x(r) + y(r); });
        else if constexpr (F == Form::Sub)
            each([&](td::UINT4 r) { a[r] = x(r) - y(r); });
        else if constexpr (F == Form::Mul)
            each([&](td::UINT4 r) { a[r] = x(r) * y(r); });
        else if constexpr (F == Form::Div)
            each([&](td::UINT4 r) { a[r] = x(r) / y(r); });
        else if constexpr (F == Form::RevSub)
            each([&](td::UINT4 r) { a[r] = y(r) - x(r); });
        else
        {
            static_assert(F == Form::RevDiv, "a form without its arithmetic");
            each([&](td::UINT4 r) { a[r] = y(r) / x(r); });
        }
    }
    // The top and a variable, a parameter, a constant or a temporary cell; the cell below
    // the top and the top.
    template <Form F> void withCells(const T* from, const td::UINT4* i)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [from, i](td::UINT4 r) { return from[i[r]]; });
    }
    template <Form F> void withBlock(const T* c)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [c](td::UINT4 r) { return c[r]; });
    }
    template <Form F> void withBelow()
    {
        const T* t = pop();
        combine<F>([t](td::UINT4 r) { return t[r]; }, [this](td::UINT4 r) { return _acc[r]; });
    }

    // Inlined into the loop of run: one call a batch, not one a step. step dispatches each
    // operation of the table to stepOf<op>, or to the step its group shares; each operation
    // the batches run has its branch in one of the steps below, or the build fails.
    [[gnu::always_inline]] inline bool step(const Step& s, const Batch& b, T* heads, T* values);
    template <Op op> [[gnu::always_inline]] inline bool stepOf(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void formStep(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void pushStep(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void cellStep(const Step& s);
    [[gnu::always_inline]] inline void fusedStep(const Step& s);
    [[gnu::always_inline]] inline void scaledCellStep(const Step& s);
    [[gnu::always_inline]] inline bool putStep(const Step& s, const Batch& b, T* heads, T* values);

    const T* _x;
    const T* _p;
    SineCache<T>& _sines;
    T* _acc;
    T* _stack;
    T* _temps;
    T* _sp = nullptr;
    td::UINT4 _n = 0;
    td::UINT4 _stride = cBatch;
    const td::UINT4* _pIndices = nullptr;
    const T* _pConstants = nullptr;
};

// False ends the batch's run: at its end, or at the residual of a run without values.
template <typename T> bool RowBatches<T>::Machine::step(const Step& s, const Batch& b, T* heads, T* values)
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
template <typename T> template <Op op> bool RowBatches<T>::Machine::stepOf(const Step& s)
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
template <typename T> template <Op op> void RowBatches<T>::Machine::formStep(const Step& s)
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

template <typename T> template <Op op> void RowBatches<T>::Machine::pushStep(const Step& s)
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
template <typename T> template <Op op> void RowBatches<T>::Machine::cellStep(const Step& s)
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
template <typename T> void RowBatches<T>::Machine::fusedStep(const Step& s)
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
template <typename T> void RowBatches<T>::Machine::scaledCellStep(const Step& s)
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
template <typename T> bool RowBatches<T>::Machine::putStep(const Step& s, const Batch& b, T* heads, T* values)
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

template <typename T> void RowBatches<T>::run(const T* x, const T* p, SineCache<T>& sines, T* heads, T* values) const
{
    Machine machine(x, p, sines, _cells.data(), _depth);
    for (const Batch& b : _batches)
        machine.run(_shapes[b.shape], b, heads, values);
}

template class RowBatches<double>;
template class RowBatches<std::complex<double>>;
} // namespace sl
