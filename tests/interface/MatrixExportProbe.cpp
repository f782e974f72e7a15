// A library that exports an allowed factory of the matrix library, named with its return
// type in front as instances of function templates are, an allowed member of a dense
// matrix, and two internal names: a member of the library's own solver and a member of
// the dense matrix that is not exported. Specialisations stand for the library's
// instances, which the library alone instantiates.
#include <complex>

#include <matrix/MatrixAPI.h>

namespace sparse
{
template <typename T> class ISolver;

template <typename T> MATRIX_API ISolver<T>* createSolver(int n);
template <> MATRIX_API ISolver<std::complex<double>>* createSolver<std::complex<double>>(int) { return nullptr; }

template <typename T> class KluSolver;
template <> class KluSolver<double>
{
public:
    MATRIX_API bool factorise();
};
bool KluSolver<double>::factorise() { return false; }
} // namespace sparse

namespace dense
{
template <typename T> class Matrix;
template <> class Matrix<std::complex<double>>
{
public:
    MATRIX_API void reserve(unsigned rows, unsigned cols);
    MATRIX_API std::complex<double>& operator()(unsigned row, unsigned col);

private:
    std::complex<double> _value;
};
void Matrix<std::complex<double>>::reserve(unsigned, unsigned) {}
std::complex<double>& Matrix<std::complex<double>>::operator()(unsigned, unsigned) { return _value; }
} // namespace dense
