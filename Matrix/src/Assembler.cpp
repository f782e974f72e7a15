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
    _steps.reserve(estimate);
    _pending.reserve(estimate);
}

template <typename T> void Assembler<T>::begin()
{
    std::fill(_values.begin(), _values.end(), T(0));
    for (Pending& p : _pending)
        p.value = T(0);
    _cursor = 0;
}

template <typename T> bool Assembler<T>::refill(const T* values, std::size_t n)
{
    // After endFill every step has its slot; a fill under way may have held cells aside.
    if (_cursor != 0 || !_pending.empty() || n != _steps.size())
        return false;
    if (!_coversPattern)
        std::fill(_values.begin(), _values.end(), T(0));
    T* slots = _values.data();
    const Step* steps = _steps.data();
    for (std::size_t k = 0; k < n; ++k)
        slots[steps[k].slot] = values[k];
    _cursor = n;
    return true;
}

// A put that does not repeat the previous fill at its place: its slot is looked up, or
// the cell is held aside when it is new to the pattern.
template <typename T> void Assembler<T>::putAside(td::INT4 row, td::INT4 col, const T& value)
{
    _stepsChanged = true;
    const td::INT4 slot = find(row, col);
    if (slot >= 0)
        _values[static_cast<std::size_t>(slot)] = value;
    else
        _pending.push_back(Pending{row, col, value});
    const Step step{row, col, slot};
    if (_cursor < _steps.size())
        _steps[_cursor] = step;
    else
        _steps.push_back(step);
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
    _stepsChanged = _stepsChanged || _cursor != _steps.size();
    _steps.resize(_cursor);
    _cursor = 0;
    const bool grew = !_pending.empty();
    if (grew)
    {
        mergePending();
        for (Step& step : _steps)
            step.slot = find(step.row, step.col);
    }
    if (_stepsChanged)
        _coversPattern = stepsCoverPattern();
    _stepsChanged = false;
    return grew;
}

template <typename T> bool Assembler<T>::stepsCoverPattern() const
{
    std::vector<bool> put(_rowIndex.size(), false);
    std::size_t nPut = 0;
    for (const Step& step : _steps)
    {
        if (step.slot < 0 || put[static_cast<std::size_t>(step.slot)])
            continue;
        put[static_cast<std::size_t>(step.slot)] = true;
        ++nPut;
    }
    return nPut == put.size();
}

// Adds the held cells to the pattern, column by column; of two puts on one cell the later wins.
template <typename T> void Assembler<T>::mergePending()
{
    std::stable_sort(_pending.begin(), _pending.end(),
                     [](const Pending& a, const Pending& b) { return a.col != b.col ? a.col < b.col : a.row < b.row; });
    std::size_t nUnique = 0;
    for (std::size_t i = 0; i < _pending.size(); ++i)
    {
        const bool lastOfCell = i + 1 == _pending.size() || _pending[i + 1].row != _pending[i].row ||
                                _pending[i + 1].col != _pending[i].col;
        if (lastOfCell)
            _pending[nUnique++] = _pending[i];
    }
    _pending.resize(nUnique);

    const std::size_t nz = _rowIndex.size() + nUnique;
    std::vector<td::INT4> colStart(_colStart.size(), 0);
    std::vector<td::INT4> rowIndex;
    std::vector<T> values;
    rowIndex.reserve(nz);
    values.reserve(nz);
    std::size_t p = 0;
    for (td::INT4 c = 0; c < _nCols; ++c)
    {
        std::size_t s = static_cast<std::size_t>(_colStart[static_cast<std::size_t>(c)]);
        const std::size_t sEnd = static_cast<std::size_t>(_colStart[static_cast<std::size_t>(c) + 1]);
        while (s < sEnd || (p < _pending.size() && _pending[p].col == c))
        {
            const bool takeOld =
                p == _pending.size() || _pending[p].col != c || (s < sEnd && _rowIndex[s] < _pending[p].row);
            if (takeOld)
            {
                rowIndex.push_back(_rowIndex[s]);
                values.push_back(_values[s]);
                ++s;
                continue;
            }
            rowIndex.push_back(_pending[p].row);
            values.push_back(_pending[p].value);
            ++p;
        }
        colStart[static_cast<std::size_t>(c) + 1] = static_cast<td::INT4>(rowIndex.size());
    }
    TD_ASSERT(p == _pending.size());
    _colStart.swap(colStart);
    _rowIndex.swap(rowIndex);
    _values.swap(values);
    _pending.clear();
}

template class Assembler<double>;
template class Assembler<std::complex<double>>;
} // namespace sparse
