// The DAE solver on generated power-flow networks with machines: build, Newton iterations
// per time step, time per step and per iteration against KLU on the same Jacobian.
#pragma once

namespace bench
{
// Prints the report of the nonlinear and the linear (constant-Jacobian) network of nBuses
// buses under the trapezoidal rule and the two-stage Gauss-Legendre method.
void runDAEBenchmark(int nBuses);
} // namespace bench
