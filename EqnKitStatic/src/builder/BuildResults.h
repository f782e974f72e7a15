// What a solver takes from a successful build, in one record: the build fills it and the
// solver takes it whole: the time parameters, tolerance and step, integration method,
// section flags and counts.
#pragma once

#include <td/Types.h>

namespace sl
{
struct BuildResults
{
    // Model tolerance read from the model (0: the model gives none).
    double eps = 0;
    // The time step: the solver's own before the build (time-stepping kinds), the model's
    // after it when the model gives one.
    double stepValue = 0;
    // Indices of the time parameter t and the step parameter dT (-1: none); a build
    // starts from the solver's.
    td::INT4 indexOfTParam = -1;
    td::INT4 indexOfDeltaTParam = -1;
    // Symbols and equations of the build.
    td::UINT4 nVars = 0;
    td::UINT4 nParams = 0;
    td::UINT4 nEquations = 0;
    // 0 Euler, 1 trapezoidal, 2 and 3 two- and three-stage Runge-Kutta.
    td::BYTE IntegrationMethod = 1;
    // The IterPostP and BasePostP groups run after every pass (alwaysOn).
    td::BYTE iterPostProcFlag = 0;
    td::BYTE basePostProcFlag = 0;
};
} // namespace sl
