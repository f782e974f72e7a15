#include "Assembler.h"

#include <algorithm>

#include <td/Assert.h>

namespace sparse
{
template <typename T> Assembler<T>::Assembler(td::INT4 nRows, td::INT4 nCols, td::INT4 nonZeroEstimate)
    : _nRows(nRows), _nCols(nCols), _colStart(static_cast<std::size_t>(nCols) + 1, 0)
{
    TD_ASSERT(nRows >= 0 && nCols >= 0);
    const std::size_t estimate = nonZeroEstimate > 0 ? static_cast<std::size_t>(nonZeroEstimate) : 0;
    _rowIndex.reserve(estimate);
    _values.reserve(estimate);
    _stepCells.reserve(estimate);
    _stepSlots.reserve(estimate);
    _pending.reserve(estimate);
}

template <typename T> void Assembler<T>::begin()
{
    std::fill(_values.begin(), _values.end(), T(0));
    for (Pending& p : _pending)
        p.value = T(0);
    _cursor = 0;
    _repeatable = false;
}

template <typename T> bool Assembler<T>::refill(const T* values, std::size_t n)
{
    // After endFill every step has its slot. A fill opened since (by begin, which resets the
    // cursor, or by a put) may have changed the steps or held cells aside.
    if (!_repeatable || _cursor != 0 || n != _stepCells.size())
        return false;
    _repeatable = false;
    if (!_coversPattern)
        std::fill(_values.begin(), _values.end(), T(0));
    T* slots = _values.data();
    const td::INT4* stepSlots = _stepSlots.data();
    for (std::size_t k = 0; k < n; ++k)
        slots[stepSlots[k]] = values[k];
    _cursor = n;
    return true;
}

// A put that does not repeat the previous fill at its place: its slot is looked up, or
// the cell is held aside when it is new to the pattern.
template <typename T> void Assembler<T>::putAside(td::INT4 row, td::INT4 col, const T& value)
{
    _stepsChanged = true;
    // A first fill has no pattern to search.
    td::INT4 slot = _rowIndex.empty() ? -1 : find(row, col);
    if (slot >= 0)
        _values[static_cast<std::size_t>(slot)] = value;
    else
    {
        slot = heldStep(_pending.size());
        _pending.push_back(Pending{row, col, value});
    }
    if (_cursor < _stepCells.size())
    {
        _stepCells[_cursor] = Cell{row, col};
        _stepSlots[_cursor] = slot;
    }
    else
    {
        _stepCells.push_back(Cell{row, col});
        _stepSlots.push_back(slot);
    }
    ++_cursor;
}

template <typename T> td::INT4 Assembler<T>::find(td::INT4 row, td::INT4 col) const
{
    TD_ASSERT(col >= 0 && col < _nCols);
    const auto first = _rowIndex.begin() + _colStart[static_cast<std::size_t>(col)];
    const auto last = _rowIndex.begin() + _colStart[static_cast<std::size_t>(col) + 1];
    const auto it = std::lower_bound(first, last, row);
    if (it == last || *it != row)
        return -1;
    return static_cast<td::INT4>(it - _rowIndex.begin());
}

template <typename T> bool Assembler<T>::endFill()
{
    _stepsChanged = _stepsChanged || _cursor != _stepCells.size();
    _stepCells.resize(_cursor);
    _stepSlots.resize(_cursor);
    _cursor = 0;
    const bool grew = !_pending.empty();
    if (grew)
        mergePending();
    if (_stepsChanged)
        _coversPattern = stepsCoverPattern();
    _stepsChanged = false;
    _repeatable = true;
    return grew;
}

template <typename T> bool Assembler<T>::stepsCoverPattern() const
{
    std::vector<bool> put(_rowIndex.size(), false);
    std::size_t nPut = 0;
    for (const td::INT4 slot : _stepSlots)
    {
        if (slot < 0 || put[static_cast<std::size_t>(slot)])
            continue;
        put[static_cast<std::size_t>(slot)] = true;
        ++nPut;
    }
    return nPut == put.size();
}

// Adds the held cells to the pattern, column by column; of two puts on one cell the later
// wins. The held cells are ordered by two stable counting passes (by row, then by column;
// the first left out when they came row by row), so the cost grows with the cells and the
// matrix's size, not faster. Each step's slot is
// then known from where its cell went.
template <typename T> void Assembler<T>::mergePending()
{
    const std::size_t nPending = _pending.size();
    // A fill row by row (as a Jacobian's walk) needs the pass by column alone.
    bool byRows = true;
    for (std::size_t k = 1; k < nPending && byRows; ++k)
        byRows = _pending[k - 1].row <= _pending[k].row;
    if (byRows && _rowIndex.empty() && firstPattern())
        return;
    std::vector<td::UINT4> byRow(byRows ? 0 : nPending), order(nPending);
    if (!byRows)
        countingOrder(
            nPending, static_cast<std::size_t>(_nRows), [this](std::size_t k) { return _pending[k].row; }, nullptr,
            byRow.data());
    countingOrder(
        nPending, static_cast<std::size_t>(_nCols), [this](std::size_t k) { return _pending[k].col; },
        byRows ? nullptr : byRow.data(), order.data());

    // The new slot of each old slot and of each held cell.
    std::vector<td::INT4> oldSlot(_rowIndex.size()), heldSlot(nPending);
    std::vector<td::INT4> colStart(_colStart.size(), 0);
    std::vector<td::INT4> rowIndex;
    std::vector<T> values;
    rowIndex.reserve(_rowIndex.size() + nPending);
    values.reserve(_rowIndex.size() + nPending);
    std::size_t p = 0;
    for (td::INT4 c = 0; c < _nCols; ++c)
    {
        std::size_t s = static_cast<std::size_t>(_colStart[static_cast<std::size_t>(c)]);
        const std::size_t sEnd = static_cast<std::size_t>(_colStart[static_cast<std::size_t>(c) + 1]);
        while (s < sEnd || (p < nPending && _pending[order[p]].col == c))
        {
            const bool takeOld =
                p == nPending || _pending[order[p]].col != c || (s < sEnd && _rowIndex[s] < _pending[order[p]].row);
            if (takeOld)
            {
                oldSlot[s] = static_cast<td::INT4>(rowIndex.size());
                rowIndex.push_back(_rowIndex[s]);
                values.push_back(_values[s]);
                ++s;
                continue;
            }
            // The puts of one cell in the order they came: the last one's value stays.
            const Pending& first = _pending[order[p]];
            const td::INT4 slot = static_cast<td::INT4>(rowIndex.size());
            rowIndex.push_back(first.row);
            values.push_back(first.value);
            for (; p < nPending && _pending[order[p]].col == c && _pending[order[p]].row == first.row; ++p)
            {
                heldSlot[order[p]] = slot;
                values.back() = _pending[order[p]].value;
            }
        }
        colStart[static_cast<std::size_t>(c) + 1] = static_cast<td::INT4>(rowIndex.size());
    }
    TD_ASSERT(p == nPending);
    for (td::INT4& slot : _stepSlots)
        slot = slot >= 0 ? oldSlot[static_cast<std::size_t>(slot)] : heldSlot[heldOf(slot)];
    _colStart.swap(colStart);
    _rowIndex.swap(rowIndex);
    _values.swap(values);
    _pending.clear();
}

// The first fill of an empty pattern, row by row, each cell put once (as a Jacobian's first
// walk): each held cell goes straight to its slot, its column's cells coming in row order.
// False, with nothing changed, when a cell was put twice.
template <typename T> bool Assembler<T>::firstPattern()
{
    const std::size_t nPending = _pending.size();
    const std::size_t nCols = static_cast<std::size_t>(_nCols);
    std::vector<td::INT4> colStart(nCols + 1, 0);
    for (const Pending& held : _pending)
        ++colStart[static_cast<std::size_t>(held.col) + 1];
    for (std::size_t c = 0; c < nCols; ++c)
        colStart[c + 1] += colStart[c];
    std::vector<td::INT4> next(colStart.begin(), colStart.end() - 1);
    std::vector<td::INT4> rowIndex(nPending);
    std::vector<T> values(nPending);
    // The slot of held cell k in place of its step: a step of an empty pattern holds its
    // cell, the k-th held cell by the k-th step.
    std::vector<td::INT4> heldSlot(nPending);
    for (std::size_t k = 0; k < nPending; ++k)
    {
        const Pending& held = _pending[k];
        const std::size_t c = static_cast<std::size_t>(held.col);
        const td::INT4 slot = next[c];
        if (slot > colStart[c] && rowIndex[static_cast<std::size_t>(slot) - 1] == held.row)
            return false;
        rowIndex[static_cast<std::size_t>(slot)] = held.row;
        values[static_cast<std::size_t>(slot)] = held.value;
        heldSlot[k] = slot;
        next[c] = slot + 1;
    }
    for (td::INT4& slot : _stepSlots)
        slot = heldSlot[heldOf(slot)];
    _colStart.swap(colStart);
    _rowIndex.swap(rowIndex);
    _values.swap(values);
    _pending.clear();
    return true;
}

// The order of items 0..n-1 (or of from[0..n-1]) by key(item) in [0, range), stable.
template <typename T> template <typename Key>
void Assembler<T>::countingOrder(std::size_t n, std::size_t range, Key&& key, const td::UINT4* from, td::UINT4* to)
{
    std::vector<td::UINT4> start(range + 1, 0);
    for (std::size_t k = 0; k < n; ++k)
        ++start[static_cast<std::size_t>(key(k)) + 1];
    for (std::size_t v = 0; v < range; ++v)
        start[v + 1] += start[v];
    for (std::size_t k = 0; k < n; ++k)
    {
        const td::UINT4 item = from ? from[k] : static_cast<td::UINT4>(k);
        to[start[static_cast<std::size_t>(key(item))]++] = item;
    }
}

template class Assembler<double>;
template class Assembler<std::complex<double>>;
} // namespace sparse
