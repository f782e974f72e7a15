// A generated power-flow network for benchmarks: N buses on a square map with short
// branches, a known operating point, the model text of its polar power-flow equations and
// a hand-written residual and Jacobian of the same equations (the floor of evaluation).
#pragma once

#include <string>
#include <vector>

namespace bench
{
// Bus 0 is the slack bus (angle 0, magnitude fixed); every other bus has a specified
// active and reactive injection, computed from the known operating point so that the
// model's solution is that point. Unknowns: th_i and V_i of buses 1..N-1, interleaved
// (variable 2(i-1) is th_i, 2(i-1)+1 is V_i); equations P_i then Q_i in the same order.
class PowerFlowGrid
{
public:
    // Same seed, same grid. nBuses >= 2.
    static PowerFlowGrid generate(int nBuses, unsigned seed = 20240611);

    int buses() const { return _nBuses; }
    int unknowns() const { return 2 * (_nBuses - 1); }
    int branches() const { return static_cast<int>(_from.size()); }

    // The model in the modelling language: flat start (th = 0, V = 1), P and Q as
    // parameters, admittances as literals.
    std::string modelText(double eps = 1e-8, int maxIter = 50) const;

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
    struct Entry
    {
        int bus;  // the other bus of the entry
        double g; // real part of the admittance matrix entry
        double b; // imaginary part
        // Slots of the Jacobian cells (d/dth_k, d/dV_k) of rows P_i and Q_i; -1 for the slack.
        int slot[2][2];
    };

    void buildAdmittances();
    void buildPattern();
    void computeInjections();

    int _nBuses = 0;
    std::vector<int> _from, _to;
    std::vector<double> _gSeries, _bSeries;
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
