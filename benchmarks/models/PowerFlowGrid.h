// A generated power-flow network for benchmarks and tests: N buses on a square map with
// short branches, a known operating point, the model text of its polar power-flow
// equations and a hand-written residual and Jacobian of the same equations.
#pragma once

#include <string>
#include <vector>

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
// Unknowns, bus by bus (1..N-1): th_i, then V_i on load buses; equations P_i, then Q_i on
// load buses, in the same order (10,000 buses: 2,000 generators, 17,998 equations).
class PowerFlowGrid
{
public:
    // Same seed, same grid. nBuses >= 2.
    static PowerFlowGrid generate(int nBuses, unsigned seed = 20240611);

    int buses() const { return _nBuses; }
    int unknowns() const { return _nUnknowns; }
    int branches() const { return static_cast<int>(_from.size()); }
    int generators() const;

    // The model in the modelling language, one declaration or equation a line: flat
    // start (th = 0, V = 1), P, Q and the generators' V as parameters, admittances as
    // literals.
    std::string modelText(double eps = 1e-8, int maxIter = 50) const;

    // The network as a DAE with a machine at every tenth bus but the slack, method the
    // model's DAE method: d' = w, w' = Pm - K*sin(d - th) - D*w, whose power
    // K*sin(d - th) - Pe enters its bus (Pe its value at rest). The start is the known
    // operating point with the machines at rest; Pm = 1.2 Pe sets them swinging. Linear:
    // the DC form, angles alone (sum b (th_i - th_k) = P_i) and K*(d - th) for the sine,
    // whose Jacobian reads no variable.
    std::string daeModelText(const char* method, bool linear, double eps = 1e-8, int maxIter = 50) const;
    // Machines of daeModelText.
    int machines() const { return (_nBuses - 1) / cMachineEvery; }

    // The known solution in the order of the unknowns.
    std::vector<double> solution() const;
    // The flat start in the order of the unknowns.
    std::vector<double> flatStart() const;

    // Compressed columns of the Jacobian (rows ascending in each column), with the slot of
    // each of its cells; fill values with evaluate.
    struct Pattern
    {
        std::vector<int> colStart;
        std::vector<int> rowIndex;
    };
    const Pattern& pattern() const { return _pattern; }
    // F(x) (calculated minus specified injections) into f and the Jacobian values into
    // values (in the slots of pattern()), at unknowns x; the hand-written equations.
    void evaluate(const double* x, double* f, double* values) const;

private:
    static constexpr int cMachineEvery = 10;

    struct Entry
    {
        int bus;  // the other bus of the entry
        double g; // real part of the admittance matrix entry
        double b; // imaginary part
        // Slots of the Jacobian cells (d/dth_k, d/dV_k) of rows P_i and Q_i; -1 where the
        // cell does not exist.
        int slot[2][2];
    };

    void buildAdmittances();
    void numberUnknowns();
    void buildPattern();
    void operatingPoint(const std::vector<double>& pNet, const std::vector<double>& qNet);
    void computeInjections();

    int _nBuses = 0;
    int _nUnknowns = 0;
    std::vector<int> _from, _to;
    std::vector<double> _gSeries, _bSeries, _xSeries, _charging;
    // Per bus: a generator (voltage magnitude fixed); the slack is not one.
    std::vector<char> _isGenerator;
    // Per bus: the index of th_i and of V_i among the unknowns (-1: none).
    std::vector<int> _thIndex, _vIndex;
    // Per bus: the diagonal admittance and the entries of its neighbours.
    std::vector<double> _gii, _bii;
    std::vector<std::vector<Entry>> _rows;
    // Per bus: the slots of its own 2 x 2 block (rows P_i, Q_i; columns th_i, V_i).
    std::vector<int> _diagSlots[2][2];
    std::vector<double> _theta, _v;
    std::vector<double> _p, _q;
    Pattern _pattern;
};
} // namespace bench
