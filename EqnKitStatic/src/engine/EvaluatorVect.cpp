#include "EvaluatorVect.h"

#include <cmath>

#include "CU.h"

namespace sl
{
template <typename T> void EvaluatorVect<T>::evaluate(T* out, T scale) const
{
    TD_ASSERT(_pSolver);
    T* pVars = _pSolver->getVariableValuesPtr();
    T* pParams = pVars + _pSolver->getNumberOfVariables();
    CU<T> cu(_pReplacementValues ? _pReplacementValues : pVars, pParams, _pSolver);
    const bool plain = scale == T(1.0);
    const std::size_t n = _evaluators.size();
    for (std::size_t i = 0; i < n; ++i)
    {
        T v = _evaluators[i]->evaluate(cu);
        out[i] = plain ? v : v * scale;
    }
}

template <typename T> void EvaluatorVect<T>::evaluateScaledMaxAbs(T* out, T scale, double* pMax) const
{
    TD_ASSERT(pMax);
    *pMax = 0.0;
    const std::size_t n = _evaluators.size();
    if (n == 0)
        return;
    TD_ASSERT(_pSolver);
    CU<T> cu(_pSolver);
    double maxAbs = 0.0;
    for (std::size_t i = 0; i < n; ++i)
    {
        T v = scale * _evaluators[i]->evaluate(cu);
        out[i] = v;
        // A NaN value makes the norm NaN, so that no comparison takes it for small.
        double a = normMagnitude(v);
        if (a > maxAbs || std::isnan(a))
            maxAbs = a;
    }
    *pMax = maxAbs;
}

template <typename T> bool EvaluatorVect<T>::execute(ISolverServices<T>* pSolver)
{
    if (!_pSolver)
        _pSolver = pSolver;
    TD_ASSERT(_pSolver == pSolver);
    CU<T> cu(pSolver);
    for (Evaluator<T>* pEvaluator : _evaluators)
    {
        if (!pEvaluator || !pEvaluator->execute(cu))
            return false;
    }
    return true;
}

template class EvaluatorVect<double>;
template class EvaluatorVect<std::complex<double>>;
} // namespace sl
