// Small matrix of at most NM items stored by columns inside the object (no heap).
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace matrix
{
template <typename T, td::UINT2 NM> class SmallStackMax
{
public:
    void resize(td::UINT2 rows, td::UINT2 cols)
    {
        TD_ASSERT(static_cast<unsigned>(rows) * cols <= NM);
        _rows = rows;
        _cols = cols;
    }

    T& operator()(td::UINT2 row, td::UINT2 col)
    {
        TD_ASSERT(row < _rows && col < _cols);
        return _items[row + _rows * col];
    }
    const T& operator()(td::UINT2 row, td::UINT2 col) const
    {
        TD_ASSERT(row < _rows && col < _cols);
        return _items[row + _rows * col];
    }

    // Element i of a column vector.
    T& operator[](td::UINT2 i)
    {
        TD_ASSERT(_cols == 1 && i < _rows);
        return _items[i];
    }
    const T& operator[](td::UINT2 i) const
    {
        TD_ASSERT(_cols == 1 && i < _rows);
        return _items[i];
    }

    td::UINT2 rows() const { return _rows; }
    td::UINT2 cols() const { return _cols; }
    // Item i in storage order (by columns).
    const T& item(td::UINT2 i) const
    {
        TD_ASSERT(i < static_cast<unsigned>(_rows) * _cols);
        return _items[i];
    }

private:
    T _items[NM]{};
    td::UINT2 _rows = 0;
    td::UINT2 _cols = 0;
};
} // namespace matrix
