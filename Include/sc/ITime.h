// Time injection for the time-stepping solvers (ODE, DAE), reached through
// ISolver::getTime; the static solvers have none.
#pragma once

#include <sc/EqnKitAPI.h>
#include <td/Types.h>

namespace sc
{
class EQNKIT_API ITime
{
public:
    // 0 Euler, 1 trapezoidal, 2 and 3 the two- and three-stage Runge-Kutta methods (DAE only).
    virtual void setIntegrationMethod(td::BYTE method) = 0;
    // Writes t and dT into the model's time and time-step parameters.
    virtual void setTime(double t, double dT) = 0;

protected:
    ~ITime() = default;
};
} // namespace sc
