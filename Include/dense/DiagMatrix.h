// A square diagonal matrix held as its diagonal; the weights of weighted least squares.
#pragma once

#include <vector>

#include <dense/IO.h>
#include <matrix/MatrixAPI.h>
#include <td/Types.h>

namespace dense
{
// Owns its values. The members marked MATRIX_API leave the matrix library; the others
// serve the library itself.
template <typename T> class DiagMatrix
{
public:
    DiagMatrix() = default;
    explicit DiagMatrix(td::UINT4 n) { reserve(n); }

    // Sizes the matrix to n x n, every diagonal value zero.
    MATRIX_API void reserve(td::UINT4 n);

    td::UINT4 size() const { return static_cast<td::UINT4>(_values.size()); }
    const T* getData() const { return _values.data(); }
    // Diagonal value posDiag.
    MATRIX_API const T& operator[](td::UINT4 posDiag) const;

    DiagIO<T> getManipulator() { return DiagIO<T>(_values.data(), size()); }

private:
    std::vector<T> _values;
};

extern template class DiagMatrix<double>;
} // namespace dense
