// A generated power-flow network for benchmarks and tests: N buses on a square map with
// short branches and a known operating point, as a power flow and as a DAE with machines.
#pragma once

#include <string>
#include <vector>

#include "PolarPowerFlow.h"

namespace bench
{
// The network is meant to look like a normally loaded transmission grid of its size, so
// that a Newton solve from the flat start takes a handful of iterations at any size (per
// unit on a 100 MVA base):
// - Buses on a square map: each row of the map is a chain, the first column joins the
//   rows, and short vertical (40 %) and diagonal (10 %) branches close meshes, so every
//   bus has two to four neighbours nearby.
// - Branches: x 0.03-0.1 with x/r 7-20 (overhead lines of a transmission grid), line
//   charging 0-0.02 split over both ends.
// - Loads on every bus but the slack: P 0.05-0.15, Q 0.2-0.4 of P (lagging).
// - Generators spread over the map: each row in blocks of five neighbouring buses, one
//   generator at a random bus of each block (a fifth of the buses; PV buses with their
//   voltage magnitude 1.00-1.01). Each supplies its block's load; neighbouring blocks of
//   a row trade up to a fifth of the smaller load in pairs, either way, so generation and
//   load balance at every scale and no flow crosses the map. Flows stay local: branch
//   angles of a few degrees, no bus angle beyond about 0.15 rad at any size.
// - The slack (bus 0, a corner of the map, angle 0, magnitude 1.01) takes only the
//   losses, which stay small (about 0.15 % of the load): voltages near the flat start's
//   1.0 keep the flat start close to the solution, so the solve does not depend on how
//   far the slack lies from the rest of a large map.
// - The operating point: angles from the linear (DC) power flow of these injections;
//   magnitudes of the load buses from the linearised reactive balance around the fixed
//   magnitudes. The specified injections are then the exact AC injections at that point,
//   so the model's solution is the point itself.
// The unknowns and equations are those of PolarPowerFlow (10,000 buses: 2,000 generators,
// 17,998 equations).
class PowerFlowGrid : public PolarPowerFlow<AdmittanceEntry>
{
public:
    // Same seed, same grid. nBuses >= 2.
    static PowerFlowGrid generate(int nBuses, unsigned seed = 20240611);

    int branches() const { return static_cast<int>(_from.size()); }

    // The network as a DAE with a machine at every tenth bus but the slack, method the
    // model's DAE method: d' = w, w' = Pm - K*sin(d - th) - D*w, whose power
    // K*sin(d - th) - Pe enters its bus (Pe its value at rest). The start is the known
    // operating point with the machines at rest; Pm = 1.2 Pe sets them swinging. Linear:
    // the DC form, angles alone (sum b (th_i - th_k) = P_i) and K*(d - th) for the sine,
    // whose Jacobian reads no variable.
    std::string daeModelText(const char* method, bool linear, double eps = 1e-8, int maxIter = 50) const;
    // Machines of daeModelText.
    int machines() const { return (_nBuses - 1) / cMachineEvery; }

private:
    static constexpr int cMachineEvery = 10;

    void buildAdmittances();
    void operatingPoint(const std::vector<double>& pNet, const std::vector<double>& qNet);
    void computeInjections();

    std::vector<int> _from, _to;
    std::vector<double> _gSeries, _bSeries, _xSeries, _charging;
};
} // namespace bench
