// The weighted normal equations A*WA x = A*Wr of a sparse matrix A (A* its conjugate
// transpose). Their pattern and the place of every product term are worked out once
// per pattern of A; an evaluation then only multiplies and adds.
#pragma once

#include <complex>
#include <vector>

#include <sparse/ISolver.h>
#include <td/Types.h>

#include "Assembler.h"

namespace sparse
{
template <typename T> class NormalEquations
{
public:
    // Works out the pattern of A*WA for the pattern of a.
    void plan(const Assembler<T>& a);
    // A*WA and A*Wr for the values of a (planned for its pattern), weights w and residuals r.
    void evaluate(const Assembler<T>& a, const double* w, const T* r);
    // Puts A*WA into the cells and A*Wr into the right-hand side of the solver.
    void putInto(ISolver<T>& solver) const;

private:
    struct RowCell
    {
        td::INT4 col;
        td::INT4 slot;
    };

    // The cells of A by row: row i holds _rowCells[_rowStart[i]] to _rowCells[_rowStart[i + 1] - 1].
    std::vector<td::INT4> _rowStart;
    std::vector<RowCell> _rowCells;
    // The pattern of A*WA in compressed columns, its values and A*Wr.
    std::vector<td::INT4> _colStart;
    std::vector<td::INT4> _rowIndex;
    std::vector<T> _values;
    std::vector<T> _rhs;
    // For each row of A and each ordered pair (p, q) of its cells, the slot of A*WA that
    // conj(A[i][p]) w[i] A[i][q] adds to, in the order evaluate visits them.
    std::vector<td::INT4> _termSlot;
};

extern template class NormalEquations<double>;
extern template class NormalEquations<std::complex<double>>;
} // namespace sparse
