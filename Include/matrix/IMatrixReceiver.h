// What a sparse matrix or a sparse solver offers to the code that fills it cell by cell:
// setting one value, and the hooks that open and close a fill.
#pragma once

#include <td/Types.h>

namespace sparse
{
template <typename T> class IMatrixReceiver
{
public:
    // Sets the value of cell (row, col); a later put on the same cell replaces it.
    virtual void put(td::INT4 row, td::INT4 col, const T* value) = 0;
    // Opens a fill.
    virtual void begin() = 0;
    // Closes a fill of measurement rows; the three handles belong to the caller.
    virtual void finishMeasurements(void* a, void* b, void* c) = 0;
    // Closes a fill of constraint rows that start at rowOffset.
    virtual void finishConstraints(td::UINT4 rowOffset, void* b, void* c) = 0;

protected:
    ~IMatrixReceiver() = default;
};
} // namespace sparse
