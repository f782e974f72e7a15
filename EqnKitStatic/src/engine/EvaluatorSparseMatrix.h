// The cells of a sparse Jacobian or measurement matrix as (row, column, evaluator)
// entries. A conditional entry fills the columns of the branch its conditions choose;
// its pattern is the union of the columns of all its branches, and every walk zeroes
// that union first, so a cell of a branch no longer taken never keeps a stale value.
#pragma once

#include <complex>
#include <vector>

#include <cnt/PushBackVector.h>
#include <matrix/IMatrixReceiver.h>
#include <td/Types.h>

#include "Evaluator.h"
#include "ISolverServices.h"

namespace sl
{
template <typename T> class EvaluatorSparseMatrix
{
public:
    explicit EvaluatorSparseMatrix(ISolverServices<T>* pSolver = nullptr) : _pSolver(pSolver) {}

    void setSolver(ISolverServices<T>* pSolver) { _pSolver = pSolver; }
    // Drops every entry and makes room for n.
    void reserve(td::UINT4 n)
    {
        std::vector<Entry>().swap(_entries);
        _entries.reserve(n);
        _unionColumns.clear();
        _nNonZeros = 0;
        _nConditional = 0;
    }

    // A code evaluator without instructions is skipped.
    void addEvaluator(td::UINT4 row, td::UINT4 col, Evaluator<T>* pEvaluator);
    // The records of the branches carry their columns in their target indices.
    void addIfThenElse(td::UINT4 row, Evaluator<T>* pEvaluator);
    void addSwitch(td::UINT4 row, Evaluator<T>* pEvaluator);

    // Evaluates every entry at the solver's current values into the receiver.
    void evaluate(sparse::IMatrixReceiver<T>& receiver) const;
    // The same walk with the value of plain entry k taken from values[k] (evaluated before,
    // as by EquationRows); conditional entries are evaluated.
    void put(const T* values, sparse::IMatrixReceiver<T>& receiver) const;
    // begin, the walk, then finishConstraints(rowOffset, residuals, solver).
    void evaluateWithHooks(td::UINT4 rowOffset, sparse::IMatrixReceiver<T>& receiver, const dense::Matrix<T>& residuals,
                           sparse::ISolver<T>& solver) const;
    // begin, the walk, then finishMeasurements(weights, residuals, solver).
    void evaluateWithHooks2(sparse::IMatrixReceiver<T>& receiver, const dense::DiagMatrix<double>& weights,
                            const dense::Matrix<T>& residuals, sparse::ISolver<T>& solver) const;

    // True when no entry is conditional: every walk then puts size() cells, the k-th of
    // them by entry k.
    bool isPlain() const { return _nConditional == 0; }
    // True when no entry, branch or condition reads a variable.
    bool isConstant() const;

    // Cells the entries can fill (a conditional entry counts its column union).
    td::UINT4 getNumberOfNonZeros() const { return _nNonZeros; }
    td::UINT4 size() const { return static_cast<td::UINT4>(_entries.size()); }

private:
    static constexpr td::UINT4 cConditional = static_cast<td::UINT4>(-1);

    struct Entry
    {
        Evaluator<T>* pEvaluator = nullptr;
        td::UINT4 row = 0;
        td::UINT4 col = 0;
        // Conditional entries: their column union in _unionColumns.
        td::UINT4 firstColumn = 0;
        td::UINT4 nColumns = 0;
    };

    void addConditional(td::UINT4 row, Evaluator<T>* pEvaluator);
    void walk(sparse::IMatrixReceiver<T>& receiver, const T* values) const;

    ISolverServices<T>* _pSolver;
    // A standard vector: the room it grows into is not written before entries fill it, so
    // what it has not filled yet takes no memory of the process.
    std::vector<Entry> _entries;
    cnt::PushBackVector<td::UINT4> _unionColumns;
    td::UINT4 _nNonZeros = 0;
    td::UINT4 _nConditional = 0;
};

extern template class EvaluatorSparseMatrix<double>;
extern template class EvaluatorSparseMatrix<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using EvaluatorSparseMatrix = sl::EvaluatorSparseMatrix<double>;
}

namespace slCmplx
{
using EvaluatorSparseMatrix = sl::EvaluatorSparseMatrix<std::complex<double>>;
}
