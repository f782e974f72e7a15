// The sparse matrix of measurement or constraint rows: its cells are collected in
// compressed columns and, when a fill is closed, put into a solver's system as weighted
// normal equations or as constraint rows and columns.
#pragma once

#include <complex>

#include <sparse/IMatrix.h>

#include "Assembler.h"
#include "NormalEquations.h"

namespace sparse
{
// Made only by createMatrix; ended by release. Owns its arrays.
template <typename T> class SparseMatrix final : public IMatrix<T>
{
public:
    SparseMatrix(td::INT4 rows, td::INT4 cols, td::INT4 nonZeros) : _matrix(rows, cols, nonZeros) {}
    SparseMatrix(const SparseMatrix&) = delete;
    SparseMatrix& operator=(const SparseMatrix&) = delete;

    void put(td::INT4 row, td::INT4 col, const T* value) override;
    void begin() override { _matrix.begin(); }
    void finishMeasurements(const dense::DiagMatrix<double>& weights, const dense::Matrix<T>& residuals,
                            ISolver<T>& solver) override;
    void finishConstraints(td::UINT4 rowOffset, const dense::Matrix<T>& residuals, ISolver<T>& solver) override;

    td::INT4 getNoOfRows() const override { return _matrix.rows(); }
    td::INT4 getNoOfCols() const override { return _matrix.cols(); }
    void release() override { delete this; }

private:
    ~SparseMatrix() = default;

    Assembler<T> _matrix;
    NormalEquations<T> _normal;
    bool _normalPlanned = false;
};

extern template class SparseMatrix<double>;
extern template class SparseMatrix<std::complex<double>>;
} // namespace sparse
