#include "RowBatches.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include <td/Assert.h>

namespace sl
{
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

    bool readOperands(const CodeUnit& u, Step& s)
    {
        if (u.store)
            cell(u.temp);
        const Op op = u.operation();
        switch (op)
        {
        case Op::End: return true;
        case Op::PushVar:
        case Op::PushPar: push(); [[fallthrough]];
        case Op::AddVar:
        case Op::SubVar:
        case Op::MulVar:
        case Op::DivVar:
        case Op::RevSubVar:
        case Op::RevDivVar:
        case Op::AddPar:
        case Op::SubPar:
        case Op::MulPar:
        case Op::DivPar:
        case Op::RevSubPar:
        case Op::RevDivPar: indices.push_back(u.arg); return true;
        case Op::MulVarAdd:
        case Op::MulVarSub: indices.push_back(u.arg); return pop();
        case Op::PushConst: push(); [[fallthrough]];
        case Op::AddConst:
        case Op::SubConst:
        case Op::MulConst:
        case Op::DivConst:
        case Op::RevSubConst:
        case Op::RevDivConst: constant(); return true;
        case Op::MulVarRevSubConst:
            indices.push_back(u.arg);
            constant();
            return true;
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::RevSub:
        case Op::RevDiv: return pop();
        case Op::PushVarSubVar:
            push();
            indices.push_back(u.arg);
            indices.push_back(_pc++->arg);
            return true;
        case Op::TempMulConst: push(); [[fallthrough]];
        case Op::AddTempMulConst:
        case Op::SubTempMulConst:
            s.arg = u.arg;
            cell(u.arg);
            constant();
            return true;
        case Op::MulConstAddTempMulConst:
        case Op::MulConstSubTempMulConst:
            s.arg = u.arg;
            cell(u.arg);
            constant();
            constant();
            return true;
        case Op::TempMulConstAddTempMulConst:
        case Op::TempMulConstSubTempMulConst:
            push();
            s.arg = u.arg;
            cell(u.arg);
            constant();
            s.arg2 = _pc++->arg;
            cell(s.arg2);
            constant();
            return true;
        default: return readCellOperands(u, s);
        }
    }

    // Operations on temporary cells and results.
    bool readCellOperands(const CodeUnit& u, Step& s)
    {
        s.arg = u.arg;
        switch (u.operation())
        {
        case Op::AddTemp:
        case Op::SubTemp:
        case Op::MulTemp:
        case Op::DivTemp:
        case Op::RevSubTemp:
        case Op::RevDivTemp:
        case Op::SinCos:
        case Op::CosSin:
        case Op::Store: cell(u.arg); return true;
        case Op::Load:
            push();
            cell(u.arg);
            return true;
        case Op::Put:
        case Op::PutHead: return pop();
        case Op::PutLoad:
        case Op::PutHeadLoad:
            s.arg2 = u.temp;
            cell(u.temp);
            return true;
        case Op::PutLoadMulVar:
            s.arg2 = u.temp;
            cell(u.temp);
            indices.push_back(_pc++->arg);
            return true;
        default: return false;
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
    // The first shape of each hash; the batch of each shape still taking rows.
    std::unordered_map<std::uint64_t, td::UINT4> shapeOf;
    std::vector<td::UINT4> open;
    Reader reader;
    for (const Member& m : members)
    {
        if (!m.pCode || m.row >= nRows || !reader.read(m.pCode))
            continue;
        const td::UINT4 shape = shapeFor(reader, shapeOf);
        if (shape == open.size())
            open.push_back(UINT32_MAX);
        if (open[shape] == UINT32_MAX || _batches[open[shape]].nRows == cBatch)
        {
            open[shape] = static_cast<td::UINT4>(_batches.size());
            Batch b{};
            b.shape = shape;
            b.indices.resize(static_cast<std::size_t>(_shapes[shape].nIndexColumns) * cBatch);
            b.constants.resize(static_cast<std::size_t>(_shapes[shape].nConstColumns) * cBatch);
            _batches.push_back(std::move(b));
        }
        Batch& b = _batches[open[shape]];
        const td::UINT4 r = b.nRows++;
        b.rows[r] = m.row;
        b.firstEntries[r] = m.firstEntry;
        for (std::size_t c = 0; c < reader.indices.size(); ++c)
            b.indices[c * cBatch + r] = reader.indices[c];
        for (std::size_t c = 0; c < reader.constants.size(); ++c)
            b.constants[c * cBatch + r] = reader.constants[c];
        _covered[m.row] = true;
    }
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
        if (_shapes[it->second].steps == reader.steps)
            return it->second;
        for (td::UINT4 k = 0; k < _shapes.size(); ++k)
        {
            if (_shapes[k].steps == reader.steps)
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
    const td::UINT4* index(const Step& s, td::UINT4 k = 0) const { return _pIndices + (s.indexColumn + k) * cBatch; }
    const T* constant(const Step& s, td::UINT4 k = 0) const { return _pConstants + (s.constColumn + k) * cBatch; }
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
    // The top becomes x op y for operation form F of a family: x + y, x - y, x * y, x / y,
    // then y - x and y / x (the reversed forms), with x and y read for each row.
    template <int F, typename X, typename Y> void combine(X&& x, Y&& y)
    {
        T* a = _acc;
        if constexpr (F == 0)
            each([&](td::UINT4 r) { a[r] = x(r) + y(r); });
        else if constexpr (F == 1)
            each([&](td::UINT4 r) { a[r] = x(r) - y(r); });
        else if constexpr (F == 2)
            each([&](td::UINT4 r) { a[r] = x(r) * y(r); });
        else if constexpr (F == 3)
            each([&](td::UINT4 r) { a[r] = x(r) / y(r); });
        else if constexpr (F == 4)
            each([&](td::UINT4 r) { a[r] = y(r) - x(r); });
        else
            each([&](td::UINT4 r) { a[r] = y(r) / x(r); });
    }
    // The top and a variable, a parameter, a constant or a temporary cell; the cell below
    // the top and the top.
    template <int F> void withCells(const T* from, const td::UINT4* i)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [from, i](td::UINT4 r) { return from[i[r]]; });
    }
    template <int F> void withBlock(const T* c)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [c](td::UINT4 r) { return c[r]; });
    }
    template <int F> void variableForm(const Step& s) { withCells<F>(_x, index(s)); }
    template <int F> void parameterForm(const Step& s) { withCells<F>(_p, index(s)); }
    template <int F> void constantForm(const Step& s) { withBlock<F>(constant(s)); }
    template <int F> void tempForm(const Step& s) { withBlock<F>(temp(s.arg)); }
    template <int F> void belowForm(const Step&)
    {
        const T* t = pop();
        combine<F>([t](td::UINT4 r) { return t[r]; }, [this](td::UINT4 r) { return _acc[r]; });
    }

    // Inlined into the loop of run: one call a batch, not one a step.
    [[gnu::always_inline]] inline bool step(const Step& s, const Batch& b, T* heads, T* values);
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
    const td::UINT4* _pIndices = nullptr;
    const T* _pConstants = nullptr;
};

// False ends the batch's run: at its end, or at the residual of a run without values.
template <typename T> bool RowBatches<T>::Machine::step(const Step& s, const Batch& b, T* heads, T* values)
{
    const Op op = s.op;
    switch (op)
    {
// The six forms of a family, each a case of its own: a step costs one dispatch.
#define EQNKIT_SIX_FORMS(family, form)                                                                                 \
    case Op::Add##family: form<0>(s); return true;                                                                     \
    case Op::Sub##family: form<1>(s); return true;                                                                     \
    case Op::Mul##family: form<2>(s); return true;                                                                     \
    case Op::Div##family: form<3>(s); return true;                                                                     \
    case Op::RevSub##family: form<4>(s); return true;                                                                  \
    case Op::RevDiv##family: form<5>(s); return true;
        EQNKIT_SIX_FORMS(Var, variableForm)
        EQNKIT_SIX_FORMS(Par, parameterForm)
        EQNKIT_SIX_FORMS(Const, constantForm)
        EQNKIT_SIX_FORMS(Temp, tempForm)
        EQNKIT_SIX_FORMS(, belowForm)
#undef EQNKIT_SIX_FORMS
    case Op::End: return false;
    case Op::PushVar:
    case Op::PushPar:
    {
        push();
        const T* from = op == Op::PushVar ? _x : _p;
        const td::UINT4* i = index(s);
        each([&](td::UINT4 r) { _acc[r] = from[i[r]]; });
        return true;
    }
    case Op::PushConst:
        push();
        move(_acc, constant(s));
        return true;
    case Op::Load:
        push();
        move(_acc, temp(s.arg));
        return true;
    case Op::Store: move(temp(s.arg), _acc); return true;
    case Op::SinCos:
    case Op::CosSin:
    {
        T* partner = temp(s.arg);
        const bool sine = op == Op::SinCos;
        each([&](td::UINT4 r) {
            T sn, cs;
            _sines.sineAndCosine(_acc[r], sn, cs);
            _acc[r] = sine ? sn : cs;
            partner[r] = sine ? cs : sn;
        });
        return true;
    }
    case Op::Put:
    case Op::PutHead:
    case Op::PutLoad:
    case Op::PutHeadLoad:
    case Op::PutLoadMulVar: return putStep(s, b, heads, values);
    default: fusedStep(s); return true;
    }
}

template <typename T> void RowBatches<T>::Machine::fusedStep(const Step& s)
{
    T* a = _acc;
    switch (s.op)
    {
    case Op::PushVarSubVar:
    {
        push();
        const td::UINT4 *i = index(s), *k = index(s, 1);
        each([&](td::UINT4 r) { a[r] = _x[i[r]] - _x[k[r]]; });
        return;
    }
    case Op::MulVarRevSubConst:
    {
        const td::UINT4* i = index(s);
        const T* c = constant(s);
        each([&](td::UINT4 r) { a[r] = c[r] - a[r] * _x[i[r]]; });
        return;
    }
    case Op::MulVarAdd:
    case Op::MulVarSub:
    {
        const T* below = pop();
        const td::UINT4* i = index(s);
        if (s.op == Op::MulVarAdd)
            each([&](td::UINT4 r) { a[r] = below[r] + a[r] * _x[i[r]]; });
        else
            each([&](td::UINT4 r) { a[r] = below[r] - a[r] * _x[i[r]]; });
        return;
    }
    default: scaledCellStep(s); return;
    }
}

// The fused operations on a temporary cell times a constant.
template <typename T> void RowBatches<T>::Machine::scaledCellStep(const Step& s)
{
    T* a = _acc;
    const T* t = temp(s.arg);
    const T* c = constant(s);
    switch (s.op)
    {
    case Op::TempMulConst:
        push();
        each([&](td::UINT4 r) { a[r] = t[r] * c[r]; });
        return;
    case Op::AddTempMulConst: each([&](td::UINT4 r) { a[r] = a[r] + t[r] * c[r]; }); return;
    case Op::SubTempMulConst: each([&](td::UINT4 r) { a[r] = a[r] - t[r] * c[r]; }); return;
    default: break;
    }
    const T* c2 = constant(s, 1);
    switch (s.op)
    {
    case Op::MulConstAddTempMulConst: each([&](td::UINT4 r) { a[r] = a[r] * c[r] + t[r] * c2[r]; }); return;
    case Op::MulConstSubTempMulConst: each([&](td::UINT4 r) { a[r] = a[r] * c[r] - t[r] * c2[r]; }); return;
    case Op::TempMulConstAddTempMulConst:
    case Op::TempMulConstSubTempMulConst:
    {
        push();
        const T* t2 = temp(s.arg2);
        if (s.op == Op::TempMulConstAddTempMulConst)
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] + t2[r] * c2[r]; });
        else
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] - t2[r] * c2[r]; });
        return;
    }
    default: TD_ASSERT(!"an operation the batches do not run"); return;
    }
}

// A put: the residual into heads, an entry into values; then the cell below, a
// temporary cell, or one times a variable becomes the top.
template <typename T> bool RowBatches<T>::Machine::putStep(const Step& s, const Batch& b, T* heads, T* values)
{
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
