// Checked views into the storage of a dense matrix: a column and a diagonal. A view does
// not own its values and lives no longer than the matrix it came from.
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace dense
{
template <typename T> class ColumnIO
{
public:
    ColumnIO(T* pData, td::UINT4 size) : _pData(pData), _size(size) {}

    T& operator[](td::UINT4 pos) const
    {
        TD_ASSERT(_size > pos);
        return _pData[pos];
    }
    T* getData() const { return _pData; }
    td::UINT4 size() const { return _size; }

private:
    T* _pData;
    td::UINT4 _size;
};

template <typename T> class DiagIO
{
public:
    DiagIO(T* pData, td::UINT4 size) : _pData(pData), _size(size) {}

    T& operator[](td::UINT4 posDiag) const
    {
        TD_ASSERT(_size > posDiag);
        return _pData[posDiag];
    }
    T* getData() const { return _pData; }
    td::UINT4 size() const { return _size; }

private:
    T* _pData;
    td::UINT4 _size;
};
} // namespace dense
