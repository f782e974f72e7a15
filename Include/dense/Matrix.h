// A dense matrix of rows x columns stored column by column; the solvers use it mostly as
// an n x 1 column of residuals.
#pragma once

#include <complex>
#include <vector>

#include <dense/IO.h>
#include <matrix/MatrixAPI.h>
#include <td/Types.h>

namespace dense
{
// Owns its values. The members marked MATRIX_API leave the matrix library; the others
// serve the library itself.
template <typename T> class Matrix
{
public:
    Matrix() = default;
    Matrix(td::UINT4 rows, td::UINT4 cols) { reserve(rows, cols); }

    // Sizes the matrix to rows x cols, every value zero.
    MATRIX_API void reserve(td::UINT4 rows, td::UINT4 cols);

    T* getData() { return _values.data(); }
    const T* getData() const { return _values.data(); }
    td::UINT4 getNoOfRows() const { return _rows; }
    td::UINT4 getNoOfCols() const { return _cols; }

    T& operator()(td::UINT4 row, td::UINT4 col);
    const T& operator()(td::UINT4 row, td::UINT4 col) const;

    // The largest column sum of absolute values (complex: moduli); for an n x 1 matrix the
    // sum of the absolute values. 0 for an empty matrix.
    MATRIX_API double getL1Norm() const;
    // The first column (empty for a matrix without columns).
    ColumnIO<T> getFirstColumnManipulator();

private:
    std::vector<T> _values;
    td::UINT4 _rows = 0;
    td::UINT4 _cols = 0;
};

extern template class Matrix<double>;
extern template class Matrix<std::complex<double>>;
} // namespace dense
