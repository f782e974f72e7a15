#include "SparseMatrix.h"

#include <dense/DiagMatrix.h>
#include <dense/Matrix.h>
#include <td/Assert.h>

#include "Conj.h"

namespace sparse
{
template <typename T> void SparseMatrix<T>::put(td::INT4 row, td::INT4 col, const T* value)
{
    TD_ASSERT(value);
    _matrix.put(row, col, *value);
}

template <typename T> void SparseMatrix<T>::finishMeasurements(const dense::DiagMatrix<double>& weights,
                                                               const dense::Matrix<T>& residuals, ISolver<T>& solver)
{
    const td::UINT4 nRows = static_cast<td::UINT4>(_matrix.rows());
    TD_ASSERT(weights.size() == nRows);
    TD_ASSERT(residuals.getNoOfRows() == nRows && residuals.getNoOfCols() >= (nRows > 0 ? 1u : 0u));
    TD_ASSERT(solver.size() >= _matrix.cols());
    if (_matrix.endFill() || !_normalPlanned)
    {
        _normal.plan(_matrix);
        _normalPlanned = true;
    }
    _normal.evaluate(_matrix, weights.getData(), residuals.getData());
    _normal.putInto(solver);
}

template <typename T>
void SparseMatrix<T>::finishConstraints(td::UINT4 rowOffset, const dense::Matrix<T>& residuals, ISolver<T>& solver)
{
    const td::INT4 nRows = _matrix.rows();
    const td::INT4 offset = static_cast<td::INT4>(rowOffset);
    TD_ASSERT(residuals.getNoOfRows() == static_cast<td::UINT4>(nRows) &&
              residuals.getNoOfCols() >= (nRows > 0 ? 1u : 0u));
    // The constraint block must lie beside the columns it constrains.
    TD_ASSERT(offset >= _matrix.cols() && offset <= solver.size() - nRows);
    _matrix.endFill();
    const td::INT4* colStart = _matrix.colStart();
    const td::INT4* rowIndex = _matrix.rowIndex();
    const T* values = _matrix.values();
    for (td::INT4 c = 0; c < _matrix.cols(); ++c)
    {
        for (td::INT4 s = colStart[c]; s < colStart[c + 1]; ++s)
        {
            const T adjoint = conjOf(values[s]);
            solver.put(offset + rowIndex[s], c, &values[s]);
            solver.put(c, offset + rowIndex[s], &adjoint);
        }
    }
    const T* r = residuals.getData();
    for (td::INT4 i = 0; i < nRows; ++i)
        solver.putRHS(offset + i, r[i]);
}

template <typename T> IMatrix<T>* createMatrix(td::INT4 rows, td::INT4 cols, td::INT4 nonZeros, Symmetry)
{
    return new SparseMatrix<T>(rows, cols, nonZeros);
}

template class SparseMatrix<double>;
template class SparseMatrix<std::complex<double>>;
template IMatrix<double>* createMatrix<double>(td::INT4, td::INT4, td::INT4, Symmetry);
template IMatrix<std::complex<double>>* createMatrix<std::complex<double>>(td::INT4, td::INT4, td::INT4, Symmetry);
} // namespace sparse
