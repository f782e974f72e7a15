#include "TransmissionGrid.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include <klu.h>

namespace bench
{
namespace
{
constexpr double cPi = 3.14159265358979323846;
} // namespace

// Lays out the network: substations and their mesh, the lines between them and the radial
// ones, the generators with their blocks, then loads and shunts. Each new bus remembers the
// substation it hangs from, whose block supplies its load.
class TransmissionGrid::Builder
{
public:
    Builder(TransmissionGrid& grid, int nBuses, unsigned seed) : _grid(grid), _n(nBuses), _rng(seed) {}

    void build()
    {
        _nSubstations = std::max(4, static_cast<int>(0.5 * _n));
        _side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(_nSubstations))));
        // Blocks of substations along the rows of the map, one generator each.
        _blockLength = std::max(1, _nSubstations / std::max(1, static_cast<int>(0.03 * _n)));
        int nBlocks = 0;
        for (int s = 0; s < _nSubstations; ++s)
            nBlocks += s % _side % _blockLength == 0 ? 1 : 0;
        const int nLeaves = static_cast<int>(0.15 * _n);
        const int nInterior = _n - _nSubstations - nBlocks - nLeaves;
        if (nInterior < 0)
            throw std::runtime_error("transmission grid: too few buses");
        for (int s = 0; s < _nSubstations; ++s)
            newBus(s);
        mesh();
        weigh();
        chains(nInterior);
        for (int k = 0; k < nLeaves; ++k)
            radial(drawSubstation());
        generators();
        centreSlack();
        loads();
    }

    // Generation of each block: its load with its share of the losses.
    void supply(double lossShare)
    {
        for (std::size_t k = 0; k < _blockGenerator.size(); ++k)
            _grid._p[static_cast<std::size_t>(_blockGenerator[k])] = _blockLoad[k] * (1.0 + lossShare);
    }

    double totalLoad() const
    {
        double total = 0;
        for (double l : _blockLoad)
            total += l;
        return total;
    }

private:
    double uniform(double lo, double hi) { return lo + (hi - lo) * _unit(_rng); }

    int newBus(int owner)
    {
        _owner.push_back(owner);
        return static_cast<int>(_owner.size()) - 1;
    }

    void line(int a, int b)
    {
        const double x = uniform(0.01, 0.12);
        const double r = _unit(_rng) < 0.125 ? 0.0 : x / uniform(5.0, 20.0);
        _grid.addBranch(Branch{a, b, r, x, uniform(0.0, 0.03), 1.0, 0.0});
    }

    void transformer(int a, int b, double shift)
    {
        const double x = uniform(0.02, 0.15);
        const double r = _unit(_rng) < 0.5 ? 0.0 : x / uniform(20.0, 40.0);
        _grid.addBranch(Branch{a, b, r, x, 0.0, uniform(0.95, 1.05), shift});
    }

    // Each row of the map a chain, the first column joining the rows, some vertical links;
    // one link in ten a transformer, a few of them shifting the phase. Sparse enough that
    // the meshes are those of a real network, whose matrix fills in about half as much as
    // a square map of short branches everywhere.
    void mesh()
    {
        const double shifters = std::max(1.0, 0.002 * _n);
        for (int s = 0; s < _nSubstations; ++s)
        {
            const int c = s % _side;
            if (c + 1 < _side && s + 1 < _nSubstations)
                link(s, s + 1, shifters);
            if (s + _side < _nSubstations && (c == 0 || _unit(_rng) < 0.15))
                link(s, s + _side, shifters);
        }
    }

    void link(int a, int b, double shifters)
    {
        const double u = _unit(_rng);
        // About 1.7 links a substation: shifters among them at the rate asked for.
        if (u < shifters / (1.7 * _nSubstations))
        {
            const double degrees = uniform(2.0, 6.0) * (_unit(_rng) < 0.5 ? -1.0 : 1.0);
            transformer(a, b, degrees * cPi / 180.0);
        }
        else if (u < 0.1)
            transformer(a, b, 0.0);
        else
            line(a, b);
    }

    // The weights by which substations draw lines: a long tail, capped.
    void weigh()
    {
        _weights.resize(static_cast<std::size_t>(_nSubstations));
        for (double& w : _weights)
        {
            w = std::min(60.0, 1.0 / std::pow(1.0 - _unit(_rng), 1.0 / 0.6));
            // A few hubs of many lines.
            if (_unit(_rng) < 0.004)
                w = uniform(150.0, 400.0);
        }
        _draw = std::discrete_distribution<int>(_weights.begin(), _weights.end());
    }

    int drawSubstation() { return _draw(_rng); }

    // Of three substations near s on the map, the one of the largest weight.
    int near(int s)
    {
        int best = nearOne(s);
        for (int k = 0; k < 2; ++k)
        {
            const int t = nearOne(s);
            best = _weights[static_cast<std::size_t>(t)] > _weights[static_cast<std::size_t>(best)] ? t : best;
        }
        return best;
    }

    // A substation next to s on the map (one step each way, diagonals too), not s.
    int nearOne(int s)
    {
        for (;;)
        {
            const int dc = static_cast<int>(std::floor(uniform(-1.0, 2.0)));
            const int dr = static_cast<int>(std::floor(uniform(-1.0, 2.0)));
            const int c = s % _side + dc, r = s / _side + dr;
            const int t = r * _side + c;
            if ((dc != 0 || dr != 0) && c >= 0 && c < _side && r >= 0 && t < _nSubstations)
                return t;
        }
    }

    // Lines between substations through chains of one to four buses.
    void chains(int nInterior)
    {
        while (nInterior > 0)
        {
            const int a = drawSubstation(), b = near(a);
            int m = 1;
            while (m < 4 && _unit(_rng) < 0.4)
                ++m;
            m = std::min(m, nInterior);
            nInterior -= m;
            int previous = a;
            for (int k = 0; k < m; ++k)
            {
                const int bus = newBus(a);
                line(previous, bus);
                previous = bus;
            }
            line(previous, b);
        }
    }

    // A bus of one neighbour: half of them behind a transformer.
    void radial(int s)
    {
        const int bus = newBus(s);
        if (_unit(_rng) < 0.5)
            transformer(s, bus, 0.0);
        else
            line(s, bus);
    }

    // One generator a block, behind its step-up transformer at a substation of the block.
    void generators()
    {
        for (int s = 0; s < _nSubstations; ++s)
        {
            if (s % _side % _blockLength != 0)
                continue;
            const int last = std::min({s + _blockLength, s - s % _side + _side, _nSubstations});
            const int at = s + static_cast<int>(_unit(_rng) * (last - s)) % (last - s);
            const int bus = newBus(at);
            const double x = uniform(0.01, 0.04);
            _grid.addBranch(Branch{at, bus, 0.0, x, 0.0, uniform(0.98, 1.05), 0.0});
            _blockGenerator.push_back(bus);
        }
    }

    // The slack is bus 0: the substation in the middle of the map takes that number, and
    // substation 0 its number, so that no flow crosses the map to reach the slack.
    void centreSlack()
    {
        _slack = std::min(_nSubstations - 1, _side / 2 * _side + _side / 2);
        auto renumber = [this](int& bus) { bus = bus == 0 ? _slack : bus == _slack ? 0 : bus; };
        for (Branch& br : _grid._branches)
        {
            renumber(br.from);
            renumber(br.to);
        }
        for (int& owner : _owner)
            renumber(owner);
        std::swap(_owner[0], _owner[static_cast<std::size_t>(_slack)]);
    }

    // Blocks are numbered in the order of their first substation on the map.
    int blockOf(int bus) const
    {
        int s = _owner[static_cast<std::size_t>(bus)];
        s = s == 0 ? _slack : s == _slack ? 0 : s;
        const int perRow = (_side + _blockLength - 1) / _blockLength;
        return s / _side * perRow + s % _side / _blockLength;
    }

    void loads()
    {
        const int n = static_cast<int>(_owner.size());
        TransmissionGrid& g = _grid;
        g._nBuses = n;
        g._p.assign(n, 0.0);
        g._q.assign(n, 0.0);
        g._v.assign(n, 1.0);
        g._theta.assign(n, 0.0);
        g._isGenerator.assign(n, 0);
        g._zeroInjection.assign(n, 0);
        g._gShunt.assign(n, 0.0);
        g._bShunt.assign(n, 0.0);
        _blockLoad.assign(_blockGenerator.size(), 0.0);
        for (int bus : _blockGenerator)
        {
            g._isGenerator[bus] = 1;
            g._v[bus] = uniform(1.0, 1.04);
        }
        g._v[0] = 1.02;
        for (int i = 1; i < n; ++i)
        {
            if (_unit(_rng) < 0.05)
                g._bShunt[i] = _unit(_rng) < 0.7 ? uniform(0.02, 0.2) : -uniform(0.02, 0.2);
            if (g._isGenerator[i])
                continue;
            if (_unit(_rng) < 0.125)
            {
                g._zeroInjection[i] = 1;
                continue;
            }
            const double p = uniform(0.02, 0.12);
            g._p[i] = -p;
            g._q[i] = -p * uniform(0.1, 0.4);
            _blockLoad[static_cast<std::size_t>(blockOf(i))] += p;
        }
    }

    TransmissionGrid& _grid;
    int _n;
    std::mt19937 _rng;
    std::uniform_real_distribution<double> _unit{0.0, 1.0};
    int _nSubstations = 0;
    int _side = 0;
    int _blockLength = 1;
    int _slack = 0;
    std::vector<int> _owner;
    std::vector<double> _weights;
    std::discrete_distribution<int> _draw;
    std::vector<int> _blockGenerator;
    std::vector<double> _blockLoad;
};

TransmissionGrid TransmissionGrid::generate(int nBuses, unsigned seed)
{
    TransmissionGrid grid;
    Builder builder(grid, std::max(nBuses, 16), seed);
    builder.build();
    grid.buildAdmittances();
    grid.numberUnknowns();
    grid.buildPattern();
    // Generation at the load and a guess of the losses first; then each block takes its
    // share of what the slack took besides, so that the slack takes little.
    builder.supply(0.01);
    if (!grid.solveOperatingPoint())
        throw std::runtime_error("transmission grid: the operating point does not converge");
    const double slack = grid.injectionAt(0).p;
    builder.supply(0.01 + slack / builder.totalLoad());
    if (!grid.solveOperatingPoint())
        throw std::runtime_error("transmission grid: the operating point does not converge");
    return grid;
}

void TransmissionGrid::addBranch(const Branch& branch) { _branches.push_back(branch); }

int TransmissionGrid::transformers() const
{
    return static_cast<int>(
        std::count_if(_branches.begin(), _branches.end(), [](const Branch& b) { return b.tap != 1.0; }));
}

int TransmissionGrid::phaseShifters() const
{
    return static_cast<int>(
        std::count_if(_branches.begin(), _branches.end(), [](const Branch& b) { return b.shift != 0.0; }));
}

int TransmissionGrid::zeroInjections() const
{
    return static_cast<int>(std::count(_zeroInjection.begin(), _zeroInjection.end(), 1));
}

// A branch from f to t with tap a = tap e^(j shift) at f and series admittance y:
// Y_ff = (y + j bc/2) / tap^2, Y_tt = y + j bc/2, Y_ft = -y/tap e^(j shift),
// Y_tf = -y/tap e^(-j shift).
void TransmissionGrid::buildAdmittances()
{
    clearAdmittances();
    for (int i = 0; i < _nBuses; ++i)
    {
        _gii[i] = _gShunt[i];
        _bii[i] = _bShunt[i];
    }
    for (const Branch& br : _branches)
    {
        const double z2 = br.r * br.r + br.x * br.x;
        const double g = br.r / z2, b = -br.x / z2, half = br.charging / 2, t2 = br.tap * br.tap;
        _gii[br.from] += g / t2;
        _bii[br.from] += (b + half) / t2;
        _gii[br.to] += g;
        _bii[br.to] += b + half;
        const double gm = -g / br.tap, bm = -b / br.tap;
        _rows[br.from].push_back(Entry{br.to, gm, bm, br.shift, {{-1, -1}, {-1, -1}}});
        _rows[br.to].push_back(Entry{br.from, gm, bm, -br.shift, {{-1, -1}, {-1, -1}}});
    }
    sortRows();
}

bool TransmissionGrid::solveOperatingPoint()
{
    const int n = _nUnknowns;
    std::vector<double> x = flatStart(), f(n), ax(_pattern.rowIndex.size());
    std::vector<int> ap(_pattern.colStart), ai(_pattern.rowIndex);
    klu_common common;
    klu_defaults(&common);
    klu_symbolic* pSymbolic = klu_analyze(n, ap.data(), ai.data(), &common);
    bool converged = false;
    for (int iteration = 0; iteration < 30 && pSymbolic; ++iteration)
    {
        evaluate(x.data(), f.data(), ax.data());
        double norm = 0;
        for (double v : f)
            norm = std::max(norm, std::fabs(v));
        if (norm < 1e-12)
        {
            converged = true;
            break;
        }
        klu_numeric* pNumeric = klu_factor(ap.data(), ai.data(), ax.data(), pSymbolic, &common);
        const bool solved = pNumeric && klu_solve(pSymbolic, pNumeric, n, 1, f.data(), &common);
        klu_free_numeric(&pNumeric, &common);
        if (!solved)
            break;
        for (int i = 0; i < n; ++i)
            x[i] -= f[i];
    }
    klu_free_symbolic(&pSymbolic, &common);
    for (int i = 1; i < _nBuses; ++i)
    {
        _theta[i] = x[_thIndex[i]];
        if (_vIndex[i] >= 0)
            _v[i] = x[_vIndex[i]];
    }
    return converged;
}
} // namespace bench
