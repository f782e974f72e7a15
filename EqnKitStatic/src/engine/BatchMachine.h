// The batch machine: runs the steps of one shape over a batch of rows of that shape, each
// operation once for all of them, bit for bit what the stack machine gives each row.
#pragma once

#include <complex>
#include <cstring>
#include <vector>

#include <td/Types.h>

#include "RowShapes.h"
#include "SineCache.h"

namespace sl
{
inline constexpr td::UINT4 cBatchRows = 32;

// Up to capacity rows of one shape and their own operands; column c of row r at
// c * capacity + r. Owned by the batches that group the rows.
template <typename T> struct RowBatch
{
    td::UINT4 shape;
    td::UINT4 nRows;
    td::UINT4 capacity;
    td::UINT4 rows[cBatchRows];
    td::UINT4 firstEntries[cBatchRows];
    std::vector<td::UINT4> indices;
    std::vector<T> constants;
};

// Runs the steps of one batch: the top cells of its rows in one block, the cells below
// them a block per level, the temporary cells a block each. Blocks move whole (a fixed
// size the compiler copies in place); arithmetic runs over the batch's rows. Made for one
// walk of the batches over cells its caller owns (cellCount of them).
template <typename T> class BatchMachine
{
public:
    // The cells a machine takes for a stack of depth cells and nTemps temporary cells.
    static std::size_t cellCount(td::UINT4 depth, td::UINT4 nTemps)
    {
        return static_cast<std::size_t>(1 + depth + 1 + nTemps) * cBatchRows;
    }
    BatchMachine(const T* x, const T* p, SineCache<T>& sines, T* cells, td::UINT4 depth)
        : _x(x), _p(p), _sines(sines), _acc(cells), _stack(cells + cBatchRows), _temps(cells + (2 + depth) * cBatchRows)
    {
    }

    // Runs the steps of shape over the rows of batch b: residuals into heads, entries into
    // values (none: the steps end at the residuals).
    void run(const RowShape& shape, const RowBatch<T>& b, T* heads, T* values);

private:
    // The cells of the batch's rows: as many as it holds (4, 8, 16 or a full block).
    void move(T* to, const T* from) const
    {
        switch (_stride)
        {
        case 4: return moveCells<4>(to, from);
        case 8: return moveCells<8>(to, from);
        case 16: return moveCells<16>(to, from);
        default: return moveCells<cBatchRows>(to, from);
        }
    }
    template <td::UINT4 n> static void moveCells(T* to, const T* from)
    {
        std::memcpy(static_cast<void*>(to), from, n * sizeof(T));
    }
    const td::UINT4* index(const BatchStep& s, td::UINT4 k = 0) const
    {
        return _pIndices + static_cast<std::size_t>(s.indexColumns[k]) * _stride;
    }
    const T* constant(const BatchStep& s, td::UINT4 k = 0) const
    {
        return _pConstants + static_cast<std::size_t>(s.constColumns[k]) * _stride;
    }
    T* temp(td::UINT4 t) const { return _temps + t * cBatchRows; }
    void push()
    {
        move(_sp, _acc);
        _sp += cBatchRows;
    }
    const T* pop()
    {
        _sp -= cBatchRows;
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
    [[gnu::always_inline]] inline bool step(const BatchStep& s, const RowBatch<T>& b, T* heads, T* values);
    template <Op op> [[gnu::always_inline]] inline bool stepOf(const BatchStep& s);
    template <Op op> [[gnu::always_inline]] inline void formStep(const BatchStep& s);
    template <Op op> [[gnu::always_inline]] inline void pushStep(const BatchStep& s);
    template <Op op> [[gnu::always_inline]] inline void cellStep(const BatchStep& s);
    [[gnu::always_inline]] inline void fusedStep(const BatchStep& s);
    [[gnu::always_inline]] inline void scaledCellStep(const BatchStep& s);
    [[gnu::always_inline]] inline bool putStep(const BatchStep& s, const RowBatch<T>& b, T* heads, T* values);

    const T* _x;
    const T* _p;
    SineCache<T>& _sines;
    T* _acc;
    T* _stack;
    T* _temps;
    T* _sp = nullptr;
    td::UINT4 _n = 0;
    td::UINT4 _stride = cBatchRows;
    const td::UINT4* _pIndices = nullptr;
    const T* _pConstants = nullptr;
};

extern template class BatchMachine<double>;
extern template class BatchMachine<std::complex<double>>;
} // namespace sl
