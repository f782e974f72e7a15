// A sparse rectangular matrix filled cell by cell that turns into a solver's system when
// its fill is closed: the weighted normal equations of measurement rows, or constraint rows.
#pragma once

#include <complex>

#include <matrix/IMatrixReceiver.h>
#include <matrix/MatrixAPI.h>
#include <sparse/Types.h>
#include <td/Types.h>

namespace sparse
{
// Made by createMatrix (or createDblMatrix / createCmplxMatrix) and owned by the caller,
// who ends it with release(); it cannot be deleted directly.
//
// Cells are put as for a solver (a later put on the same cell replaces the value; begin
// zeroes every cell). With A the matrix (m rows, n columns), W the diagonal weights, r
// the residuals and A* the conjugate transpose (the transpose for real values):
//   finishMeasurements(W, r, solver) puts A*WA into the solver's cells (i, j), i, j < n,
//     and A*Wr into its right-hand side rows 0..n-1;
//   finishConstraints(k, r, solver) puts A at rows k..k+m-1 and A* at columns k..k+m-1,
//     and r into the right-hand side rows k..k+m-1; with k = n after the measurements
//     this completes the system [A*WA C*; C 0] [dx; l] = [A*Wr; r] of a constrained
//     weighted least-squares step.
template <typename T> class IMatrix : public IMatrixReceiver<T>
{
public:
    virtual td::INT4 getNoOfRows() const = 0;
    virtual td::INT4 getNoOfCols() const = 0;
    // Ends the matrix.
    virtual void release() = 0;

protected:
    ~IMatrix() = default;
};

// rows, cols >= 0; nonZeros sizes the first pattern; the symmetry is not acted upon. Never null.
template <typename T>
MATRIX_API IMatrix<T>* createMatrix(td::INT4 rows, td::INT4 cols, td::INT4 nonZeros, Symmetry symmetry);

extern template IMatrix<double>* createMatrix<double>(td::INT4, td::INT4, td::INT4, Symmetry);
extern template IMatrix<std::complex<double>>* createMatrix<std::complex<double>>(td::INT4, td::INT4, td::INT4,
                                                                                  Symmetry);

inline IMatrix<double>* createDblMatrix(td::INT4 rows, td::INT4 cols, td::INT4 nonZeros, Symmetry symmetry)
{
    return createMatrix<double>(rows, cols, nonZeros, symmetry);
}

inline IMatrix<std::complex<double>>* createCmplxMatrix(td::INT4 rows, td::INT4 cols, td::INT4 nonZeros,
                                                        Symmetry symmetry)
{
    return createMatrix<std::complex<double>>(rows, cols, nonZeros, symmetry);
}
} // namespace sparse
