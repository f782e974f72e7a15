#include <dense/DiagMatrix.h>

#include <td/Assert.h>

namespace dense
{
template <typename T> void DiagMatrix<T>::reserve(td::UINT4 n) { _values.assign(n, T(0)); }

template <typename T> const T& DiagMatrix<T>::operator[](td::UINT4 posDiag) const
{
    TD_ASSERT(size() > posDiag);
    return _values[posDiag];
}

template class DiagMatrix<double>;
} // namespace dense
