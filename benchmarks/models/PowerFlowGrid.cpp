#include "PowerFlowGrid.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include <klu.h>

namespace bench
{
namespace
{
// A symmetric sparse matrix assembled from its off-diagonal couplings, solved once by KLU.
class LinearSystem
{
public:
    explicit LinearSystem(int n) : _n(n), _diag(n, 0.0), _cols(n) {}

    void addDiagonal(int i, double v) { _diag[i] += v; }
    void addCoupling(int i, int k, double v)
    {
        _cols[k].push_back({i, v});
        _cols[i].push_back({k, v});
    }

    // Solves in place: rhs becomes the solution.
    void solve(std::vector<double>& rhs)
    {
        std::vector<int> ap(_n + 1, 0), ai;
        std::vector<double> ax;
        for (int k = 0; k < _n; ++k)
        {
            std::vector<std::pair<int, double>>& col = _cols[k];
            col.push_back({k, _diag[k]});
            std::sort(col.begin(), col.end());
            for (std::size_t j = 0; j < col.size(); ++j)
            {
                if (!ai.empty() && static_cast<int>(ai.size()) > ap[k] && ai.back() == col[j].first)
                    ax.back() += col[j].second;
                else
                {
                    ai.push_back(col[j].first);
                    ax.push_back(col[j].second);
                }
            }
            ap[k + 1] = static_cast<int>(ai.size());
        }
        klu_common common;
        klu_defaults(&common);
        klu_symbolic* pSymbolic = klu_analyze(_n, ap.data(), ai.data(), &common);
        klu_numeric* pNumeric = pSymbolic ? klu_factor(ap.data(), ai.data(), ax.data(), pSymbolic, &common) : nullptr;
        const bool ok = pNumeric && klu_solve(pSymbolic, pNumeric, _n, 1, rhs.data(), &common);
        klu_free_numeric(&pNumeric, &common);
        klu_free_symbolic(&pSymbolic, &common);
        if (!ok)
            throw std::runtime_error("power-flow grid: singular network matrix");
    }

private:
    int _n;
    std::vector<double> _diag;
    std::vector<std::vector<std::pair<int, double>>> _cols;
};
} // namespace

PowerFlowGrid PowerFlowGrid::generate(int nBuses, unsigned seed)
{
    PowerFlowGrid grid;
    grid._nBuses = std::max(nBuses, 2);
    const int n = grid._nBuses;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };

    // The map and its branches.
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    auto link = [&](int a, int b) {
        grid._from.push_back(a);
        grid._to.push_back(b);
        const double x = uniform(0.03, 0.1), r = x * uniform(0.05, 0.15);
        grid._gSeries.push_back(r / (r * r + x * x));
        grid._bSeries.push_back(-x / (r * r + x * x));
        grid._xSeries.push_back(x);
        grid._charging.push_back(uniform(0.0, 0.02));
    };
    for (int i = 0; i < n; ++i)
    {
        const int c = i % side;
        if (c + 1 < side && i + 1 < n)
            link(i, i + 1);
        if (i + side < n && (c == 0 || unit(rng) < 0.4))
            link(i, i + side);
        if (c + 1 < side && i + side + 1 < n && unit(rng) < 0.1)
            link(i, i + side + 1);
    }

    // Loads on every bus but the slack.
    std::vector<double> pNet(n, 0.0), qNet(n, 0.0);
    for (int i = 1; i < n; ++i)
    {
        const double p = uniform(0.05, 0.15);
        pNet[i] = -p;
        qNet[i] = -p * uniform(0.2, 0.4);
    }

    // Each row of the map in blocks of five neighbouring buses, each block with one
    // generator that supplies the block's load; neighbouring blocks of a row trade a
    // little power in pairs (one exports, the other imports as much), so the generation
    // is spread over the map and balanced at every scale.
    struct Block
    {
        int first, last;
        double load;
        bool rowStart;
    };
    constexpr int cBlock = 5;
    std::vector<Block> blocks;
    for (int first = 0; first < n;)
    {
        const int c = first % side;
        const int last = std::min({first + cBlock, first - c + side, n});
        double load = 0;
        for (int i = first; i < last; ++i)
            load -= pNet[i];
        blocks.push_back(Block{first, last, load, c == 0});
        first = last;
    }
    std::vector<double> traded(blocks.size(), 0.0);
    for (std::size_t k = 0; k + 1 < blocks.size(); ++k)
    {
        if (blocks[k + 1].rowStart)
            continue;
        // Either way: pairs all trading the same way would add up to a flow across the map.
        const double d = uniform(-0.2, 0.2) * std::min(blocks[k].load, blocks[k + 1].load);
        traded[k] = d;
        traded[k + 1] = -d;
        ++k;
    }
    grid._isGenerator.assign(n, 0);
    grid._v.assign(n, 1.0);
    grid._v[0] = 1.01;
    for (std::size_t k = 0; k < blocks.size(); ++k)
    {
        // The slack never generates here; a block of the slack alone has no generator.
        const int lo = blocks[k].first == 0 ? 1 : blocks[k].first, last = blocks[k].last;
        if (lo >= last)
            continue;
        const int g = lo + static_cast<int>(unit(rng) * (last - lo)) % (last - lo);
        grid._isGenerator[g] = 1;
        grid._v[g] = uniform(1.0, 1.01);
        pNet[g] += blocks[k].load + traded[k];
    }

    grid.buildAdmittances();
    grid.numberUnknowns();
    grid.buildPattern();
    grid.operatingPoint(pNet, qNet);
    grid.computeInjections();
    return grid;
}

void PowerFlowGrid::buildAdmittances()
{
    clearAdmittances();
    for (std::size_t k = 0; k < _from.size(); ++k)
    {
        const int a = _from[k], b = _to[k];
        const double g = _gSeries[k], bs = _bSeries[k], half = _charging[k] / 2;
        _gii[a] += g;
        _gii[b] += g;
        _bii[a] += bs + half;
        _bii[b] += bs + half;
        _rows[a].push_back(Entry{b, -g, -bs, {{-1, -1}, {-1, -1}}});
        _rows[b].push_back(Entry{a, -g, -bs, {{-1, -1}, {-1, -1}}});
    }
    sortRows();
}

// Angles: B' th = P over the buses but the slack (B' from the branch reactances).
// Magnitudes of load buses: sum_k (V_i - V_k) / x_ik = Q_i + charging_i, the generators'
// and the slack's magnitudes fixed.
void PowerFlowGrid::operatingPoint(const std::vector<double>& pNet, const std::vector<double>& qNet)
{
    const int n = _nBuses;
    LinearSystem angles(n - 1);
    std::vector<double> rhs(pNet.begin() + 1, pNet.end());
    for (std::size_t k = 0; k < _from.size(); ++k)
    {
        const int a = _from[k], b = _to[k];
        const double y = 1.0 / _xSeries[k];
        if (a > 0)
            angles.addDiagonal(a - 1, y);
        if (b > 0)
            angles.addDiagonal(b - 1, y);
        if (a > 0 && b > 0)
            angles.addCoupling(a - 1, b - 1, -y);
    }
    angles.solve(rhs);
    _theta.assign(n, 0.0);
    for (int i = 1; i < n; ++i)
        _theta[i] = rhs[i - 1];

    // The load buses in their own numbering.
    std::vector<int> local(n, -1);
    int nLoads = 0;
    for (int i = 1; i < n; ++i)
    {
        if (!_isGenerator[i])
            local[i] = nLoads++;
    }
    if (nLoads == 0)
        return;
    LinearSystem magnitudes(nLoads);
    std::vector<double> q(nLoads, 0.0);
    for (int i = 1; i < n; ++i)
    {
        if (local[i] >= 0)
            q[local[i]] = qNet[i];
    }
    for (std::size_t k = 0; k < _from.size(); ++k)
    {
        const int ends[2] = {_from[k], _to[k]};
        const double y = 1.0 / _xSeries[k];
        for (int s = 0; s < 2; ++s)
        {
            const int i = ends[s], other = ends[1 - s];
            if (local[i] < 0)
                continue;
            magnitudes.addDiagonal(local[i], y);
            q[local[i]] += _charging[k] / 2;
            if (local[other] < 0)
                q[local[i]] += y * _v[other];
        }
        if (local[ends[0]] >= 0 && local[ends[1]] >= 0)
            magnitudes.addCoupling(local[ends[0]], local[ends[1]], -y);
    }
    magnitudes.solve(q);
    for (int i = 1; i < n; ++i)
    {
        if (local[i] >= 0)
            _v[i] = q[local[i]];
    }
}

void PowerFlowGrid::computeInjections()
{
    _p.assign(_nBuses, 0.0);
    _q.assign(_nBuses, 0.0);
    for (int i = 1; i < _nBuses; ++i)
    {
        const Injection s = injectionAt(i);
        _p[i] = s.p;
        _q[i] = s.q;
    }
}

std::string PowerFlowGrid::daeModelText(const char* method, bool linear, double eps, int maxIter) const
{
    constexpr double K = 2, D = 0.5, Pe = 0.5;
    auto isMachine = [](int i) { return i % cMachineEvery == 0; };
    // The machine's angle over its bus at rest.
    const double rest = linear ? Pe / K : std::asin(Pe / K);
    std::string t;
    t.reserve(static_cast<std::size_t>(_nBuses) * 400);
    t += headerText(maxIter);
    t += "Model [type = DAE, method = " + std::string(method) + ", eps = " + numberText(eps) + "]:\nVars:\n";
    // DC angles at rest: the flows of the operating point's angles.
    std::vector<double> pDC(_nBuses, 0.0);
    for (int i = 1; i < _nBuses; ++i)
    {
        for (const Entry& entry : _rows[i])
            pDC[i] += entry.b * (_theta[i] - _theta[entry.bus]);
    }
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        t += "th" + si + " = " + numberText(_theta[i]);
        if (!linear)
            t += "; V" + si + " = " + numberText(_v[i]);
        if (isMachine(i))
            t += "; d" + si + " = " + numberText(_theta[i] + rest) + "; w" + si + " = 0";
        t += "\n";
    }
    t += "Params:\nth0 = 0; V0 = 1; K = " + numberText(K) + "; D = " + numberText(D) + "; Pe = " + numberText(Pe) +
         "; Pm = " + numberText(1.2 * Pe) + "\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        t += "P" + si + " = " + numberText(linear ? pDC[i] : _p[i]);
        if (!linear)
            t += "; Q" + si + " = " + numberText(_q[i]);
        t += "\n";
    }
    auto machinePower = [&](const std::string& si) {
        return linear ? "K*(d" + si + " - th" + si + ")" : "K*sin(d" + si + " - th" + si + ")";
    };
    t += "ODEs:\n";
    for (int i = cMachineEvery; i < _nBuses; i += cMachineEvery)
    {
        const std::string si = std::to_string(i);
        t += "d" + si + "' = w" + si + "\nw" + si + "' = Pm - " + machinePower(si) + " - D*w" + si + "\n";
    }
    t += "NLEs:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i), th = "th" + si;
        const std::string machine = isMachine(i) ? " + " + machinePower(si) + " - Pe" : "";
        if (linear)
        {
            t += "0";
            for (const Entry& entry : _rows[i])
                t += " + " + numberText(entry.b) + "*(" + th + " - th" + std::to_string(entry.bus) + ")";
            t += " = P" + si + machine + "\n";
            continue;
        }
        t += balanceText(i, false) + " = P" + si + machine + "\n";
        t += balanceText(i, true) + " = Q" + si + "\n";
    }
    t += "end\n";
    return t;
}

} // namespace bench
