// The time-stepping face of a dynamic model (ODE or DAE), reached through
// IModel::getSolverInterface. The order of its four operations is part of the interface.
#pragma once

#include <sc/SimHostAPI.h>
#include <sc/SolverTypes.h>
#include <td/Types.h>

namespace sc
{
// Owned by the model it belongs to; it ends with the model's release.
class SIMHOST_API IDynamic
{
public:
    // The kind of a dynamic model, chosen when it is created.
    enum Problem : td::BYTE
    {
        ODE = 0,
        DAE = 1
    };

    // Restarts the run at t0 (a DAE model solves its initial problem); false when no
    // model is loaded or the restart fails.
    virtual bool reset(double t0) = 0;
    // Advances nSteps time steps; SolutionError when no model is loaded. A step that fails
    // (DAE or ODE) ends the call with its own status and leaves the time and the values as
    // they were before it.
    virtual Solution step(int nSteps) = 0;
    virtual double getStepSize() = 0;
    virtual void setStepSize(double dT) = 0;

protected:
    ~IDynamic() = default;
};
} // namespace sc
