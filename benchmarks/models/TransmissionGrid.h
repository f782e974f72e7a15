// A generated power-flow network shaped like real transmission networks: irregular degrees
// with a long tail, transformers with taps and phase shifts, the model text of its polar
// power-flow equations and a hand-written residual and Jacobian of the same equations.
#pragma once

#include <string>
#include <vector>

namespace bench
{
// Where the regular grid (PowerFlowGrid) has buses of two to four neighbours and lines
// alike, this network has what makes the equations of real networks unlike each other
// (per unit on a 100 MVA base):
// - Substations on a square map, meshed with their neighbours (each row a chain, the first
//   column joining the rows, some vertical links). Lines between substations next to each
//   other on the map run through chains of one to four buses of two neighbours each;
//   radial lines end at buses of one neighbour. A substation draws its lines by a weight
//   with a long tail, so that a few have up to about 40 neighbours (at 10,000 buses: about
//   19 % of the buses with one neighbour, 50 % with two, 6 % with six or more). Nearly
//   planar and locally meshed, as real networks are: KLU's refactor and solve of its
//   Jacobian costs about half of that of the regular grid of the same size.
// - Lines: x 0.01-0.12 with x/r 5-20, one in eight without resistance, line charging
//   0-0.04. Transformers (radial ones, and one in ten links between substations): no
//   resistance or x/r 20-40, taps 0.95-1.05, and about 0.2 % of the branches shift the
//   phase by 2-6 degrees (their admittances are then unsymmetric).
// - Bus shunts at one bus in twenty; one bus in eight has no load (zero injection).
// - Generators: about 300 per 10,000 buses, each behind a step-up transformer at a
//   substation of its block of the map, supplying that block's load with its share of the
//   losses (PV buses at 1.00-1.04). The slack (bus 0, a substation in a corner) takes the
//   remainder.
// - The operating point is solved here by Newton iterations from the flat start with the
//   hand-written Jacobian, so that the specified injections are those given (zero at the
//   zero-injection buses); the model's solution is that point.
// Unknowns, bus by bus (1..N-1): th_i, then V_i on load buses; equations P_i, then Q_i on
// load buses, in the same order. A term of a branch without resistance has no cosine in P
// (no sine in Q); a phase-shifted term reads th_i - th_k - shift.
class TransmissionGrid
{
public:
    // Same seed, same network. nBuses >= 16.
    static TransmissionGrid generate(int nBuses, unsigned seed = 20250307);

    int buses() const { return _nBuses; }
    int unknowns() const { return _nUnknowns; }
    int branches() const { return static_cast<int>(_branches.size()); }
    int generators() const;
    int transformers() const;
    int phaseShifters() const;
    int zeroInjections() const;
    // Buses by their count of neighbours: degrees()[d] buses have d neighbours.
    std::vector<int> degrees() const;

    // The model in the modelling language, one declaration or equation a line: flat start
    // (th = 0, V = 1), P, Q and the generators' V as parameters, admittances and shifts as
    // literals.
    std::string modelText(double eps = 1e-8, int maxIter = 50) const;

    // The solved operating point in the order of the unknowns.
    std::vector<double> solution() const;
    // The flat start in the order of the unknowns.
    std::vector<double> flatStart() const;

    // Compressed columns of the Jacobian (rows ascending in each column); fill values with
    // evaluate.
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
        int bus;      // the other bus of the entry
        double g;     // real part of the admittance matrix entry, without the shift
        double b;     // imaginary part
        double shift; // the entry's admittance is (g + jb) e^(j shift)
        // Slots of the Jacobian cells (d/dth_k, d/dV_k) of rows P_i and Q_i; -1 where the
        // cell does not exist.
        int slot[2][2];
    };
    struct Branch
    {
        int from, to;
        double r, x, charging, tap, shift;
    };

    class Builder;

    void addBranch(const Branch& branch);
    void buildAdmittances();
    void numberUnknowns();
    void buildPattern();
    // Newton iterations from the flat start; false when they do not converge.
    bool solveOperatingPoint();
    std::string termText(int i, const Entry& entry, bool reactive) const;

    int _nBuses = 0;
    int _nUnknowns = 0;
    std::vector<Branch> _branches;
    std::vector<double> _gShunt, _bShunt;
    // Per bus: a generator (voltage magnitude fixed); the slack is not one.
    std::vector<char> _isGenerator;
    std::vector<char> _zeroInjection;
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
