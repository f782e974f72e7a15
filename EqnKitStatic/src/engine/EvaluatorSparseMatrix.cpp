#include "EvaluatorSparseMatrix.h"

#include <algorithm>
#include <vector>

#include "CU.h"

namespace sl
{
namespace
{
template <typename T> using Ev = Evaluator<T>;

template <typename T> void collectConditional(const Ev<T>* e, std::vector<td::UINT4>& cols);

// Columns a run of branch records can fill, following the same nesting as the walks:
// a lone IfThenElse is entered everywhere, a lone Switch only inside a Switch body.
template <typename T> void collectRun(const Ev<T>* p, td::UINT4 n, bool inSwitch, std::vector<td::UINT4>& cols)
{
    if (!p || n == 0)
        return;
    using Type = typename Ev<T>::Type;
    if (n == 1 && (p->getType() == Type::IfThenElse || (inSwitch && p->getType() == Type::Switch)))
        return collectConditional(p, cols);
    for (td::UINT4 i = 0; i < n; ++i)
        cols.push_back(static_cast<td::UINT4>(p[i].getTargetIndex()));
}

template <typename T> void collectConditional(const Ev<T>* e, std::vector<td::UINT4>& cols)
{
    using Type = typename Ev<T>::Type;
    if (e->getType() == Type::IfThenElse)
    {
        collectRun(e->getThen(), e->getThenCount(), false, cols);
        collectRun(e->getElse(), e->getElseCount(), false, cols);
        return;
    }
    for (const Ev<T>* pCase = e; pCase; pCase = pCase->getNextCase())
        collectRun(pCase->getThen(), pCase->getStatementCount(), true, cols);
}
} // namespace

template <typename T>
void EvaluatorSparseMatrix<T>::addEvaluator(td::UINT4 row, td::UINT4 col, Evaluator<T>* pEvaluator)
{
    TD_ASSERT(pEvaluator);
    if (pEvaluator->getType() == Evaluator<T>::Type::Code && pEvaluator->getNumberOfInstructions() == 0)
        return;
    _entries.push_back(Entry{pEvaluator, row, col, 0, 0});
    ++_nNonZeros;
}

template <typename T> void EvaluatorSparseMatrix<T>::addIfThenElse(td::UINT4 row, Evaluator<T>* pEvaluator)
{
    TD_ASSERT(pEvaluator);
    TD_ASSERT(pEvaluator->getType() == Evaluator<T>::Type::IfThenElse);
    addConditional(row, pEvaluator);
}

template <typename T> void EvaluatorSparseMatrix<T>::addSwitch(td::UINT4 row, Evaluator<T>* pEvaluator)
{
    TD_ASSERT(pEvaluator);
    TD_ASSERT(pEvaluator->getType() == Evaluator<T>::Type::Switch);
    addConditional(row, pEvaluator);
}

template <typename T> void EvaluatorSparseMatrix<T>::addConditional(td::UINT4 row, Evaluator<T>* pEvaluator)
{
    std::vector<td::UINT4> cols;
    collectConditional(pEvaluator, cols);
    std::sort(cols.begin(), cols.end());
    cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
    Entry entry{pEvaluator, row, cConditional, static_cast<td::UINT4>(_unionColumns.size()),
                static_cast<td::UINT4>(cols.size())};
    for (td::UINT4 c : cols)
        _unionColumns.push(c);
    _entries.push_back(entry);
    _nNonZeros += entry.nColumns;
    ++_nConditional;
}

template <typename T> void EvaluatorSparseMatrix<T>::walk(sparse::IMatrixReceiver<T>& receiver, const T* values) const
{
    if (_entries.empty())
        return;
    TD_ASSERT(_pSolver);
    CU<T> cu(_pSolver);
    const T zero(0);
    for (std::size_t k = 0; k < _entries.size(); ++k)
    {
        const Entry& entry = _entries[k];
        const Evaluator<T>* e = entry.pEvaluator;
        const td::INT4 row = static_cast<td::INT4>(entry.row);
        if (entry.col != cConditional)
        {
            if (values)
            {
                receiver.put(row, static_cast<td::INT4>(entry.col), values + k);
                continue;
            }
            T v = e->evaluate(cu);
            receiver.put(row, static_cast<td::INT4>(entry.col), &v);
            continue;
        }
        for (td::UINT4 i = 0; i < entry.nColumns; ++i)
            receiver.put(row, static_cast<td::INT4>(_unionColumns[entry.firstColumn + i]), &zero);
        if (e->getType() == Evaluator<T>::Type::Switch)
            e->applySwitch(cu, entry.row, receiver);
        else
            e->applyIfThenElse(cu, entry.row, receiver);
    }
}

template <typename T> void EvaluatorSparseMatrix<T>::evaluate(sparse::IMatrixReceiver<T>& receiver) const
{
    walk(receiver, nullptr);
}

template <typename T> void EvaluatorSparseMatrix<T>::put(const T* values, sparse::IMatrixReceiver<T>& receiver) const
{
    TD_ASSERT(values || _entries.empty());
    walk(receiver, values);
}

template <typename T>
void EvaluatorSparseMatrix<T>::evaluateWithHooks(td::UINT4 rowOffset, sparse::IMatrixReceiver<T>& receiver,
                                                 const dense::Matrix<T>& residuals, sparse::ISolver<T>& solver) const
{
    receiver.begin();
    walk(receiver, nullptr);
    receiver.finishConstraints(rowOffset, residuals, solver);
}

template <typename T> void EvaluatorSparseMatrix<T>::evaluateWithHooks2(sparse::IMatrixReceiver<T>& receiver,
                                                                        const dense::DiagMatrix<double>& weights,
                                                                        const dense::Matrix<T>& residuals,
                                                                        sparse::ISolver<T>& solver) const
{
    receiver.begin();
    walk(receiver, nullptr);
    receiver.finishMeasurements(weights, residuals, solver);
}

template <typename T> bool EvaluatorSparseMatrix<T>::isConstant() const
{
    for (const Entry& entry : _entries)
    {
        if (entry.pEvaluator->readsVariables())
            return false;
    }
    return true;
}

template class EvaluatorSparseMatrix<double>;
template class EvaluatorSparseMatrix<std::complex<double>>;
} // namespace sl
