// What a sparse matrix or a sparse solver offers to the code that fills it cell by cell:
// setting one value, and the hooks that open and close a fill.
#pragma once

#include <td/Types.h>

namespace dense
{
template <typename T> class Matrix;
template <typename T> class DiagMatrix;
} // namespace dense

namespace sparse
{
template <typename T> class ISolver;

template <typename T> class IMatrixReceiver
{
public:
    // Sets the value of cell (row, col); a later put on the same cell replaces it.
    virtual void put(td::INT4 row, td::INT4 col, const T* value) = 0;
    // Opens a fill: every cell and right-hand side value starts at zero.
    virtual void begin() = 0;
    // Closes a fill of measurement rows: puts the weighted normal equations of the rows
    // collected into the solver. The three objects belong to the caller.
    virtual void finishMeasurements(const dense::DiagMatrix<double>& weights, const dense::Matrix<T>& residuals,
                                    ISolver<T>& solver) = 0;
    // Closes a fill of constraint rows: puts them, and their adjoint columns, into the
    // solver's system from row and column rowOffset on.
    virtual void finishConstraints(td::UINT4 rowOffset, const dense::Matrix<T>& residuals, ISolver<T>& solver) = 0;

protected:
    ~IMatrixReceiver() = default;
};
} // namespace sparse
