// A generated power-flow network shaped like real transmission networks: irregular degrees
// with a long tail, transformers with taps and phase shifts, shunts, a solved operating point.
#pragma once

#include <vector>

#include "PolarPowerFlow.h"

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
// The unknowns and equations are those of PolarPowerFlow: a term of a branch without
// resistance has no cosine in P (no sine in Q); a phase-shifted term reads th_i - th_k - shift.
class TransmissionGrid : public PolarPowerFlow<ShiftedAdmittanceEntry>
{
public:
    // Same seed, same network. nBuses >= 16.
    static TransmissionGrid generate(int nBuses, unsigned seed = 20250307);

    int branches() const { return static_cast<int>(_branches.size()); }
    int transformers() const;
    int phaseShifters() const;
    int zeroInjections() const;

private:
    struct Branch
    {
        int from, to;
        double r, x, charging, tap, shift;
    };

    class Builder;

    void addBranch(const Branch& branch);
    void buildAdmittances();
    // Newton iterations from the flat start; false when they do not converge.
    bool solveOperatingPoint();

    std::vector<Branch> _branches;
    std::vector<double> _gShunt, _bShunt;
    std::vector<char> _zeroInjection;
};
} // namespace bench
