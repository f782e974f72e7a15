// An ordered list of evaluators bound to one solver: equations evaluated into an array,
// statements executed in order. It owns only its list of addresses; the evaluators live
// in the solver's pools.
#pragma once

#include <complex>

#include <cnt/PushBackVector.h>
#include <td/Types.h>

#include "Evaluator.h"
#include "ISolverServices.h"

namespace sl
{
template <typename T> class EvaluatorVect
{
public:
    EvaluatorVect() = default;
    explicit EvaluatorVect(ISolverServices<T>* pSolver) : _pSolver(pSolver) {}
    EvaluatorVect(EvaluatorVect&&) noexcept = default;
    EvaluatorVect& operator=(EvaluatorVect&&) noexcept = default;

    void bind(ISolverServices<T>* pSolver) { _pSolver = pSolver; }
    ISolverServices<T>* getSolver() const { return _pSolver; }
    // Variables are read from values instead of the solver's own (null: the solver's).
    void useVariableValues(T* values) { _pReplacementValues = values; }
    bool hasReplacementValues() const { return _pReplacementValues != nullptr; }

    // Empties the list and makes room for n addresses.
    void reserve(td::UINT4 n) { _evaluators.reserve(n); }
    void add(Evaluator<T>* pEvaluator) { _evaluators.push(pEvaluator); }
    void push(Evaluator<T>* pEvaluator) { add(pEvaluator); }
    td::UINT4 size() const { return static_cast<td::UINT4>(_evaluators.size()); }
    bool empty() const { return _evaluators.empty(); }
    Evaluator<T>* operator[](td::UINT4 i) const { return _evaluators[i]; }

    // out[i] = value of evaluator i, times scale unless scale is exactly 1.
    void evaluate(T* out, T scale) const;
    // out[i] = scale * value i; *pMax = the largest magnitude written (complex: of the
    // larger part), 0 for an empty list, NaN when a value has a NaN part.
    void evaluateScaledMaxAbs(T* out, T scale, double* pMax) const;
    // Executes the statements in order on a stack machine over the solver; false at the
    // first statement that fails or an empty entry. The first call binds the solver.
    bool execute(ISolverServices<T>* pSolver);

private:
    ISolverServices<T>* _pSolver = nullptr;
    T* _pReplacementValues = nullptr;
    cnt::PushBackVector<Evaluator<T>*> _evaluators;
};

extern template class EvaluatorVect<double>;
extern template class EvaluatorVect<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using EvaluatorVect = sl::EvaluatorVect<double>;
}

namespace slCmplx
{
using EvaluatorVect = sl::EvaluatorVect<std::complex<double>>;
}
