// The solving face of a static model (nonlinear equations or weighted least squares),
// reached through IModel::getSolverInterface. Its one operation is called through its table.
#pragma once

#include <sc/SimHostAPI.h>
#include <sc/SolverTypes.h>
#include <td/Types.h>

namespace sc
{
// Owned by the model it belongs to; it ends with the model's release.
class SIMHOST_API IStatic
{
public:
    // The kind of a static model, chosen when it is created.
    enum Problem : td::BYTE
    {
        // Nonlinear equations, solved by Newton-Raphson.
        NLE = 0,
        // Weighted least squares.
        WLS = 1
    };

    // One solve of the loaded model; SolutionError when no model is loaded.
    virtual Solution solve() = 0;

protected:
    ~IStatic() = default;
};
} // namespace sc
