#include <dense/Matrix.h>

#include <algorithm>
#include <cmath>

#include <td/Assert.h>

namespace dense
{
template <typename T> void Matrix<T>::reserve(td::UINT4 rows, td::UINT4 cols)
{
    _values.assign(static_cast<std::size_t>(rows) * cols, T(0));
    _rows = rows;
    _cols = cols;
}

template <typename T> T& Matrix<T>::operator()(td::UINT4 row, td::UINT4 col)
{
    TD_ASSERT(_rows > row && _cols > col);
    return _values[static_cast<std::size_t>(col) * _rows + row];
}

template <typename T> const T& Matrix<T>::operator()(td::UINT4 row, td::UINT4 col) const
{
    TD_ASSERT(_rows > row && _cols > col);
    return _values[static_cast<std::size_t>(col) * _rows + row];
}

template <typename T> double Matrix<T>::getL1Norm() const
{
    double norm = 0.0;
    for (td::UINT4 c = 0; c < _cols; ++c)
    {
        const T* column = _values.data() + static_cast<std::size_t>(c) * _rows;
        double sum = 0.0;
        for (td::UINT4 r = 0; r < _rows; ++r)
            sum += std::abs(column[r]);
        // A NaN column sum is the norm: a non-finite residual must not pass for a small one.
        if (std::isnan(sum))
            return sum;
        norm = std::max(norm, sum);
    }
    return norm;
}

template <typename T> ColumnIO<T> Matrix<T>::getFirstColumnManipulator()
{
    return ColumnIO<T>(_values.data(), _cols > 0 ? _rows : 0);
}

template class Matrix<double>;
template class Matrix<std::complex<double>>;
} // namespace dense
