#include "NormalEquations.h"

#include <algorithm>

#include <td/Assert.h>

#include "Conj.h"

namespace sparse
{
template <typename T> void NormalEquations<T>::plan(const Assembler<T>& a)
{
    const std::size_t nRows = static_cast<std::size_t>(a.rows());
    const std::size_t nCols = static_cast<std::size_t>(a.cols());
    const td::INT4* colStart = a.colStart();
    const td::INT4* rowIndex = a.rowIndex();

    // The cells by row, columns ascending within a row.
    _rowStart.assign(nRows + 1, 0);
    for (td::INT4 s = 0; s < a.nonZeros(); ++s)
        ++_rowStart[static_cast<std::size_t>(rowIndex[s]) + 1];
    for (std::size_t i = 0; i < nRows; ++i)
        _rowStart[i + 1] += _rowStart[i];
    _rowCells.resize(static_cast<std::size_t>(a.nonZeros()));
    std::vector<td::INT4> next(_rowStart.begin(), _rowStart.end() - 1);
    for (std::size_t c = 0; c < nCols; ++c)
    {
        for (td::INT4 s = colStart[c]; s < colStart[c + 1]; ++s)
            _rowCells[static_cast<std::size_t>(next[static_cast<std::size_t>(rowIndex[s])]++)] =
                RowCell{static_cast<td::INT4>(c), s};
    }

    // Column q of A*WA has a cell in row p for every row of A holding cells in p and q.
    _colStart.assign(nCols + 1, 0);
    _rowIndex.clear();
    std::vector<td::INT4> mark(nCols, -1);
    for (std::size_t q = 0; q < nCols; ++q)
    {
        const std::size_t first = _rowIndex.size();
        for (td::INT4 s = colStart[q]; s < colStart[q + 1]; ++s)
        {
            const std::size_t i = static_cast<std::size_t>(rowIndex[s]);
            for (td::INT4 k = _rowStart[i]; k < _rowStart[i + 1]; ++k)
            {
                const td::INT4 p = _rowCells[static_cast<std::size_t>(k)].col;
                if (mark[static_cast<std::size_t>(p)] == static_cast<td::INT4>(q))
                    continue;
                mark[static_cast<std::size_t>(p)] = static_cast<td::INT4>(q);
                _rowIndex.push_back(p);
            }
        }
        std::sort(_rowIndex.begin() + static_cast<std::ptrdiff_t>(first), _rowIndex.end());
        _colStart[q + 1] = static_cast<td::INT4>(_rowIndex.size());
    }
    _values.assign(_rowIndex.size(), T(0));
    _rhs.assign(nCols, T(0));

    _termSlot.clear();
    for (std::size_t i = 0; i < nRows; ++i)
    {
        for (td::INT4 kp = _rowStart[i]; kp < _rowStart[i + 1]; ++kp)
        {
            const td::INT4 p = _rowCells[static_cast<std::size_t>(kp)].col;
            for (td::INT4 kq = _rowStart[i]; kq < _rowStart[i + 1]; ++kq)
            {
                const std::size_t q = static_cast<std::size_t>(_rowCells[static_cast<std::size_t>(kq)].col);
                const auto first = _rowIndex.begin() + _colStart[q];
                const auto last = _rowIndex.begin() + _colStart[q + 1];
                const auto it = std::lower_bound(first, last, p);
                TD_ASSERT(it != last && *it == p);
                _termSlot.push_back(static_cast<td::INT4>(it - _rowIndex.begin()));
            }
        }
    }
}

template <typename T> void NormalEquations<T>::evaluate(const Assembler<T>& a, const double* w, const T* r)
{
    std::fill(_values.begin(), _values.end(), T(0));
    std::fill(_rhs.begin(), _rhs.end(), T(0));
    const T* values = a.values();
    const td::INT4* termSlot = _termSlot.data();
    const std::size_t nRows = _rowStart.size() - 1;
    for (std::size_t i = 0; i < nRows; ++i)
    {
        const RowCell* first = _rowCells.data() + _rowStart[i];
        const RowCell* last = _rowCells.data() + _rowStart[i + 1];
        for (const RowCell* p = first; p != last; ++p)
        {
            const T left = conjOf(values[p->slot]) * w[i];
            _rhs[static_cast<std::size_t>(p->col)] += left * r[i];
            for (const RowCell* q = first; q != last; ++q)
                _values[static_cast<std::size_t>(*termSlot++)] += left * values[q->slot];
        }
    }
}

template <typename T> void NormalEquations<T>::putInto(ISolver<T>& solver) const
{
    const td::INT4 nCols = static_cast<td::INT4>(_rhs.size());
    for (td::INT4 q = 0; q < nCols; ++q)
    {
        for (td::INT4 s = _colStart[static_cast<std::size_t>(q)]; s < _colStart[static_cast<std::size_t>(q) + 1]; ++s)
            solver.put(_rowIndex[static_cast<std::size_t>(s)], q, &_values[static_cast<std::size_t>(s)]);
        solver.putRHS(q, _rhs[static_cast<std::size_t>(q)]);
    }
}

template class NormalEquations<double>;
template class NormalEquations<std::complex<double>>;
} // namespace sparse
