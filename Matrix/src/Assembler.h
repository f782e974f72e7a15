// Compressed-column storage of a sparse matrix filled cell by cell. The pattern is the
// set of cells ever put; each put is matched to its slot by its place in the fill, so a
// fill that repeats the previous one writes its values without any search.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include <td/Assert.h>
#include <td/Types.h>

namespace sparse
{
// Owns its arrays. A fill runs from begin (or the end of the previous fill) to endFill.
template <typename T> class Assembler
{
public:
    Assembler(td::INT4 nRows, td::INT4 nCols, td::INT4 nonZeroEstimate);

    // Zeroes every value and restarts the fill.
    void begin();
    // Sets cell (row, col); a later put on the same cell replaces the value. A cell new
    // to the pattern is held aside until endFill.
    void put(td::INT4 row, td::INT4 col, const T& value)
    {
        TD_ASSERT(row >= 0 && row < _nRows);
        TD_ASSERT(col >= 0 && col < _nCols);
        if (_cursor < _stepCells.size())
        {
            const Cell& cell = _stepCells[_cursor];
            const td::INT4 slot = _stepSlots[_cursor];
            if (cell.row == row && cell.col == col && slot >= 0)
            {
                ++_cursor;
                _values[static_cast<std::size_t>(slot)] = value;
                return;
            }
        }
        putAside(row, col, value);
    }
    // Opens a fill and repeats the puts of the last ended fill, in their order, with
    // values[0..n): begin and those puts without their searches. False, with nothing
    // changed, unless a fill of exactly n puts has ended and no other has begun (by begin
    // or a put).
    bool refill(const T* values, std::size_t n);
    // Ends the fill: cells put for the first time join the pattern, with their values.
    // True when the pattern grew (its slots then moved).
    bool endFill();

    td::INT4 rows() const { return _nRows; }
    td::INT4 cols() const { return _nCols; }
    td::INT4 nonZeros() const { return _colStart[_nCols]; }
    // Column c holds slots colStart()[c] to colStart()[c + 1] - 1, rows ascending.
    const td::INT4* colStart() const { return _colStart.data(); }
    const td::INT4* rowIndex() const { return _rowIndex.data(); }
    const T* values() const { return _values.data(); }
    T* values() { return _values.data(); }
    // Slot of cell (row, col); -1 when the cell is not in the pattern.
    td::INT4 find(td::INT4 row, td::INT4 col) const;

private:
    // The cell of one put of the last fill.
    struct Cell
    {
        td::INT4 row;
        td::INT4 col;
    };
    struct Pending
    {
        td::INT4 row;
        td::INT4 col;
        T value;
    };

    static td::INT4 heldStep(std::size_t k) { return -2 - static_cast<td::INT4>(k); }
    static std::size_t heldOf(td::INT4 slot) { return static_cast<std::size_t>(-2 - slot); }

    void putAside(td::INT4 row, td::INT4 col, const T& value);
    void mergePending();
    bool firstPattern();
    template <typename Key>
    static void countingOrder(std::size_t n, std::size_t range, Key&& key, const td::UINT4* from, td::UINT4* to);
    // True when the steps put every cell of the pattern.
    bool stepsCoverPattern() const;

    td::INT4 _nRows;
    td::INT4 _nCols;
    std::vector<td::INT4> _colStart;
    std::vector<td::INT4> _rowIndex;
    std::vector<T> _values;
    // The puts of the last fill: their cells, and apart (a refill reads them alone) their
    // slots; while a cell waits to join the pattern, its slot is heldStep(k) (below -1) for
    // the k-th held cell.
    std::vector<Cell> _stepCells;
    std::vector<td::INT4> _stepSlots;
    std::size_t _cursor = 0;
    std::vector<Pending> _pending;
    // Whether the steps of the last ended fill put every cell (a refill then leaves no
    // value of an earlier fill behind without zeroing first); known again after a fill
    // that changed them.
    bool _coversPattern = false;
    bool _stepsChanged = true;
    // A fill has ended and none has been opened since: a refill may repeat its steps.
    bool _repeatable = false;
};

extern template class Assembler<double>;
extern template class Assembler<std::complex<double>>;
} // namespace sparse
