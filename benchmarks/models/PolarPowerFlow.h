// The polar power-flow equations of a network given by its per-bus admittance rows: the
// numbering of the unknowns, the Jacobian pattern, the model text and the hand-written F and J.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

namespace bench
{
// An entry of a bus's admittance row: the other bus, the admittance matrix entry and the
// Jacobian cells it fills.
struct AdmittanceEntry
{
    int bus;  // the other bus of the entry
    double g; // real part of the admittance matrix entry
    double b; // imaginary part
    // Slots of the Jacobian cells (d/dth_k, d/dV_k) of rows P_i and Q_i; -1 where the
    // cell does not exist.
    int slot[2][2];
};

// An entry of a branch that may shift the phase.
struct ShiftedAdmittanceEntry
{
    int bus;      // the other bus of the entry
    double g;     // real part of the admittance matrix entry, without the shift
    double b;     // imaginary part
    double shift; // the entry's admittance is (g + jb) e^(j shift)
    // Slots of the Jacobian cells (d/dth_k, d/dV_k) of rows P_i and Q_i; -1 where the
    // cell does not exist.
    int slot[2][2];
};

// Bus 0 is the slack (angle 0, magnitude fixed), a generator has its magnitude fixed.
// Unknowns, bus by bus (1..N-1): th_i, then V_i on load buses; equations P_i, then Q_i on
// load buses, in the same order. A grid derives from it and fills the buses, the generators,
// the rows and the operating point (_theta, _v, _p, _q), then numbers the unknowns and builds
// the pattern; all of it is owned here by value. TEntry: ShiftedAdmittanceEntry where
// branches may shift the phase, else AdmittanceEntry, whose equations read no shift at all.
template <typename TEntry> class PolarPowerFlow
{
public:
    using Entry = TEntry;

    int buses() const { return _nBuses; }
    int unknowns() const { return _nUnknowns; }
    int generators() const;
    // Buses by their count of neighbours: degrees()[d] buses have d neighbours.
    std::vector<int> degrees() const;

    // The model in the modelling language, one declaration or equation a line: flat start
    // (th = 0, V = 1), P, Q and the generators' V as parameters, admittances (and shifts) as
    // literals.
    std::string modelText(double eps = 1e-8, int maxIter = 50) const;

    // The operating point, the model's solution, in the order of the unknowns.
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

protected:
    // evaluate, or with cNegated its negative (F = specified - calculated, and its Jacobian).
    template <bool cNegated> void evaluateSigned(const double* x, double* f, double* values) const;

    // P_i and Q_i as the equations calculate them at the stored point.
    struct Injection
    {
        double p, q;
    };
    Injection injectionAt(int i) const;

    // Empty rows and a zero diagonal for _nBuses buses, for the grid to add its branches to.
    void clearAdmittances();
    // Each row in ascending order of the other buses.
    void sortRows();
    // From _isGenerator: _thIndex, _vIndex and _nUnknowns.
    void numberUnknowns();
    // From the rows and the numbering (any order of the unknowns): the pattern, the entries'
    // slots and _diagSlots. Bus k's row lists bus i where bus i's row lists bus k.
    void buildPattern();

    // A literal that reads back as the same double.
    static std::string numberText(double v);
    static std::string headerText(int maxIter);
    // V_i*(G_ii*V_i + sum of the terms of the row) of equation P_i, or of Q_i (-B_ii for
    // G_ii) when reactive. A term reads V_k*(g*cos(d) + b*sin(d)) in P, V_k*(g*sin(d) +
    // -b*cos(d)) in Q, d = (th_i - th_k) less the entry's shift; a zero g or diagonal is left
    // out.
    std::string balanceText(int i, bool reactive) const;

    int _nBuses = 0;
    int _nUnknowns = 0;
    // Per bus: a generator (voltage magnitude fixed); the slack is not one.
    std::vector<char> _isGenerator;
    // Per bus: the index of th_i and of V_i among the unknowns (-1: none).
    std::vector<int> _thIndex, _vIndex;
    // Per bus: the diagonal admittance and the entries of its neighbours.
    std::vector<double> _gii, _bii;
    std::vector<std::vector<Entry>> _rows;
    // Per bus: the slots of its own 2 x 2 block (rows P_i, Q_i; columns th_i, V_i).
    std::vector<int> _diagSlots[2][2];
    // Per bus: the operating point and the specified injections.
    std::vector<double> _theta, _v;
    std::vector<double> _p, _q;
    Pattern _pattern;

private:
    static constexpr bool cShifted = std::is_same_v<TEntry, ShiftedAdmittanceEntry>;

    // The angle of an entry's term: th_i - th_k, less the shift where the entry has one.
    static double angle(double thI, double thK, const Entry& entry)
    {
        if constexpr (cShifted)
            return thI - thK - entry.shift;
        else
            return thI - thK;
    }
    std::string termText(int i, const Entry& entry, bool reactive) const;
};

extern template class PolarPowerFlow<AdmittanceEntry>;
extern template class PolarPowerFlow<ShiftedAdmittanceEntry>;
} // namespace bench
