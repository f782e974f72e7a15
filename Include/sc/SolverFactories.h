// The solver library's factories: each makes one solver kind, or a figure evaluator, for real
// or complex values. The caller owns the result and ends it with release; a null logger makes it silent.
#pragma once

#include <complex>

#include <sc/EqnKitAPI.h>
#include <sc/IFigureEvaluator.h>
#include <sc/ILog.h>
#include <sc/ISolver.h>

namespace sc
{
// maxIter is the iteration limit; values above 65535 become 65535, negative ones 0.
// Null when the solver cannot be made.
EQNKIT_API ISolver<double>* createDblNRSolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<std::complex<double>>* createCmplxNRSolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<double>* createDblWLSSolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<std::complex<double>>* createCmplxWLSSolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<double>* createDblDAESolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<std::complex<double>>* createCmplxDAESolver(ILog* pLog, int maxIter);
EQNKIT_API ISolver<double>* createDblODESolver(ILog* pLog);
EQNKIT_API ISolver<std::complex<double>>* createCmplxODESolver(ILog* pLog);
// A figure evaluator with nothing defined yet; plot messages go to the logger of the
// solver it is initialised with. Null when it cannot be made.
EQNKIT_API IFigureEvaluator<double>* createDblPlotEvaluator(ILog* pLog);
EQNKIT_API IFigureEvaluator<std::complex<double>>* createCmplxPlotEvaluator(ILog* pLog);
} // namespace sc
