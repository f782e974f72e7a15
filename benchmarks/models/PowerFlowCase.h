// A real power-flow network read from files: its model text as published, the same network
// as numbers (bus data, admittance matrix) for the hand-written equations, and its solution.
#pragma once

#include <string>
#include <vector>

#include "PolarPowerFlow.h"

namespace bench
{
// The files of a network <name> in a folder: <name>.model (the power flow as a model text:
// unknowns th<k> of every bus but the slack and V<k> of every load bus, equations P<k> =
// ... and Q<k> = ... in the same order), <name>.dat (bus data and admittance matrix, see
// load) and <name>_solution.json (the solution by name). Buses are numbered 1..n in the
// files; here the slack is bus 0 and the others follow in file order. An admittance entry
// carries its phase shift in its value, so rows are those of PolarPowerFlow without a
// shift. The equations read "specified = calculated", so the model's F is the specified
// minus the calculated injections, and evaluate gives that sign. Owns all it read.
class PowerFlowCase : public PolarPowerFlow<AdmittanceEntry>
{
public:
    // The network from <directory>/<name>.*; false, with the reason in error, when a file
    // cannot be read or does not fit the others.
    static bool load(const std::string& directory, const std::string& name, PowerFlowCase& out, std::string& error);
    // Whether <directory>/<name>.model exists at all.
    static bool exists(const std::string& directory, const std::string& name);

    const std::string& name() const { return _name; }
    // The model text as read.
    const std::string& modelText() const { return _modelText; }
    // Bus pairs joined by at least one branch (branches in parallel are one pair).
    int joinedPairs() const { return _joinedPairs; }
    // Pairs whose admittances differ either way (phase-shifting transformers).
    int unsymmetricPairs() const { return _unsymmetricPairs; }

    // The solution of the solution file in the order of the unknowns.
    const std::vector<double>& solution() const { return _solution; }
    // The start of the numbers file (the model's own start) in the order of the unknowns.
    std::vector<double> flatStart() const;
    // F = specified - calculated injections and its Jacobian in the slots of pattern().
    void evaluate(const double* x, double* f, double* values) const { evaluateSigned<true>(x, f, values); }

private:
    class Reader;

    std::string _name;
    std::string _modelText;
    std::vector<double> _solution;
    // Per bus: the start of the numbers file.
    std::vector<double> _startTheta, _startV;
    int _joinedPairs = 0;
    int _unsymmetricPairs = 0;
};
} // namespace bench
