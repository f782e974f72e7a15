// The model library's exports: a factory for each model kind and the console logger.
// Only these four functions leave libsimHost; everything else is reached through tables.
#pragma once

#include <complex>

#include <sc/IDynamic.h>
#include <sc/ILog.h>
#include <sc/IModel.h>
#include <sc/IStatic.h>
#include <sc/SimHostAPI.h>

namespace sc
{
// Each factory makes the solver of the problem kind with the logger (null: silent) and the
// iteration limit, then the model that owns it. Null for a problem outside the enum or a
// solver kind the solver library cannot make. The caller ends the model with release.
SIMHOST_API IModel<double, IStatic>* createRealStaticModel(IStatic::Problem problem, ILog* pLog, unsigned maxIter);
SIMHOST_API IModel<std::complex<double>, IStatic>* createCmplxStaticModel(IStatic::Problem problem, ILog* pLog,
                                                                          unsigned maxIter);
// An ODE model does not take the iteration limit.
SIMHOST_API IModel<double, IDynamic>* createRealDynamicModel(IDynamic::Problem problem, ILog* pLog, unsigned maxIter);

// The one console logger of the process: each message a line on standard output. Never freed.
SIMHOST_API ILog* getConsoleLogger();
} // namespace sc
