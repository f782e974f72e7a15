#include "PowerFlowGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>

#include <klu.h>

namespace bench
{
namespace
{
std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.17g", v);
    return buf;
}

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

int PowerFlowGrid::generators() const
{
    return static_cast<int>(std::count(_isGenerator.begin(), _isGenerator.end(), 1));
}

void PowerFlowGrid::buildAdmittances()
{
    _gii.assign(_nBuses, 0.0);
    _bii.assign(_nBuses, 0.0);
    _rows.assign(_nBuses, {});
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
    for (std::vector<Entry>& row : _rows)
        std::sort(row.begin(), row.end(), [](const Entry& x, const Entry& y) { return x.bus < y.bus; });
}

void PowerFlowGrid::numberUnknowns()
{
    _thIndex.assign(_nBuses, -1);
    _vIndex.assign(_nBuses, -1);
    int next = 0;
    for (int i = 1; i < _nBuses; ++i)
    {
        _thIndex[i] = next++;
        if (!_isGenerator[i])
            _vIndex[i] = next++;
    }
    _nUnknowns = next;
}

// Column th_k (and V_k) holds the rows P_i (and Q_i) of bus k and of its neighbours but
// the slack, in ascending order.
void PowerFlowGrid::buildPattern()
{
    _pattern.colStart.assign(_nUnknowns + 1, 0);
    _pattern.rowIndex.clear();
    for (int e = 0; e < 2; ++e)
        for (int v = 0; v < 2; ++v)
            _diagSlots[e][v].assign(_nBuses, -1);
    for (int k = 1; k < _nBuses; ++k)
    {
        std::vector<int> buses{k};
        for (const Entry& entry : _rows[k])
        {
            if (entry.bus != 0)
                buses.push_back(entry.bus);
        }
        std::sort(buses.begin(), buses.end());
        for (int v = 0; v < 2; ++v)
        {
            const int col = v == 0 ? _thIndex[k] : _vIndex[k];
            if (col < 0)
                continue;
            for (int i : buses)
            {
                for (int e = 0; e < 2; ++e)
                {
                    const int row = e == 0 ? _thIndex[i] : _vIndex[i];
                    if (row < 0)
                        continue;
                    const int slot = static_cast<int>(_pattern.rowIndex.size());
                    _pattern.rowIndex.push_back(row);
                    if (i == k)
                        _diagSlots[e][v][k] = slot;
                    else
                    {
                        // The entry of bus i for its neighbour k.
                        for (Entry& entry : _rows[i])
                        {
                            if (entry.bus == k)
                                entry.slot[e][v] = slot;
                        }
                    }
                }
            }
            _pattern.colStart[col + 1] = static_cast<int>(_pattern.rowIndex.size());
        }
    }
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
        double sp = _gii[i] * _v[i], sq = -_bii[i] * _v[i];
        for (const Entry& e : _rows[i])
        {
            const double d = _theta[i] - _theta[e.bus];
            sp += _v[e.bus] * (e.g * std::cos(d) + e.b * std::sin(d));
            sq += _v[e.bus] * (e.g * std::sin(d) - e.b * std::cos(d));
        }
        _p[i] = _v[i] * sp;
        _q[i] = _v[i] * sq;
    }
}

std::vector<double> PowerFlowGrid::solution() const
{
    std::vector<double> x(_nUnknowns);
    for (int i = 1; i < _nBuses; ++i)
    {
        x[_thIndex[i]] = _theta[i];
        if (_vIndex[i] >= 0)
            x[_vIndex[i]] = _v[i];
    }
    return x;
}

std::vector<double> PowerFlowGrid::flatStart() const
{
    std::vector<double> x(_nUnknowns, 0.0);
    for (int i = 1; i < _nBuses; ++i)
    {
        if (_vIndex[i] >= 0)
            x[_vIndex[i]] = 1.0;
    }
    return x;
}

std::string PowerFlowGrid::modelText(double eps, int maxIter) const
{
    std::string t;
    t.reserve(static_cast<std::size_t>(_nBuses) * 500);
    t += "Header:\nmaxIter = " + std::to_string(maxIter) + "\nend\n";
    t += "Model [type = NL, eps = " + number(eps) + "]:\nVars:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        t += "th" + std::to_string(i) + " = 0\n";
        if (_vIndex[i] >= 0)
            t += "V" + std::to_string(i) + " = 1\n";
    }
    t += "Params:\nth0 = 0\nV0 = " + number(_v[0]) + "\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        if (_vIndex[i] < 0)
            t += "V" + si + " = " + number(_v[i]) + "\n";
        t += "P" + si + " = " + number(_p[i]) + "\n";
        if (_vIndex[i] >= 0)
            t += "Q" + si + " = " + number(_q[i]) + "\n";
    }
    t += "NLEs:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i), th = "th" + si, v = "V" + si;
        for (int e = 0; e < (_vIndex[i] >= 0 ? 2 : 1); ++e)
        {
            // P: V_i*(G_ii V_i + sum V_k (G cos + B sin)); Q: V_i*(-B_ii V_i + sum V_k (G sin - B cos)).
            t += v + "*(" + number(e == 0 ? _gii[i] : -_bii[i]) + "*" + v;
            for (const Entry& entry : _rows[i])
            {
                const std::string sk = std::to_string(entry.bus);
                const std::string d = "(" + th + " - th" + sk + ")";
                t += " + V" + sk + "*(";
                if (e == 0)
                    t += number(entry.g) + "*cos" + d + " + " + number(entry.b) + "*sin" + d;
                else
                    t += number(entry.g) + "*sin" + d + " + " + number(-entry.b) + "*cos" + d;
                t += ")";
            }
            t += ") = " + std::string(e == 0 ? "P" : "Q") + si + "\n";
        }
    }
    t += "end\n";
    return t;
}

std::string PowerFlowGrid::daeModelText(const char* method, bool linear, double eps, int maxIter) const
{
    constexpr double K = 2, D = 0.5, Pe = 0.5;
    auto isMachine = [](int i) { return i % cMachineEvery == 0; };
    // The machine's angle over its bus at rest.
    const double rest = linear ? Pe / K : std::asin(Pe / K);
    std::string t;
    t.reserve(static_cast<std::size_t>(_nBuses) * 400);
    t += "Header:\nmaxIter = " + std::to_string(maxIter) + "\nend\n";
    t += "Model [type = DAE, method = " + std::string(method) + ", eps = " + number(eps) + "]:\nVars:\n";
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
        t += "th" + si + " = " + number(_theta[i]);
        if (!linear)
            t += "; V" + si + " = " + number(_v[i]);
        if (isMachine(i))
            t += "; d" + si + " = " + number(_theta[i] + rest) + "; w" + si + " = 0";
        t += "\n";
    }
    t += "Params:\nth0 = 0; V0 = 1; K = " + number(K) + "; D = " + number(D) + "; Pe = " + number(Pe) +
         "; Pm = " + number(1.2 * Pe) + "\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        t += "P" + si + " = " + number(linear ? pDC[i] : _p[i]);
        if (!linear)
            t += "; Q" + si + " = " + number(_q[i]);
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
        const std::string si = std::to_string(i), th = "th" + si, v = "V" + si;
        const std::string machine = isMachine(i) ? " + " + machinePower(si) + " - Pe" : "";
        if (linear)
        {
            t += "0";
            for (const Entry& entry : _rows[i])
                t += " + " + number(entry.b) + "*(" + th + " - th" + std::to_string(entry.bus) + ")";
            t += " = P" + si + machine + "\n";
            continue;
        }
        for (int e = 0; e < 2; ++e)
        {
            t += v + "*(" + number(e == 0 ? _gii[i] : -_bii[i]) + "*" + v;
            for (const Entry& entry : _rows[i])
            {
                const std::string sk = std::to_string(entry.bus);
                const std::string d = "(" + th + " - th" + sk + ")";
                t += " + V" + sk + "*(";
                if (e == 0)
                    t += number(entry.g) + "*cos" + d + " + " + number(entry.b) + "*sin" + d;
                else
                    t += number(entry.g) + "*sin" + d + " + " + number(-entry.b) + "*cos" + d;
                t += ")";
            }
            t += ") = " + std::string(e == 0 ? "P" : "Q") + si + (e == 0 ? machine : std::string()) + "\n";
        }
    }
    t += "end\n";
    return t;
}

void PowerFlowGrid::evaluate(const double* x, double* f, double* values) const
{
    auto theta = [&](int k) { return k == 0 ? 0.0 : x[_thIndex[k]]; };
    auto magnitude = [&](int k) { return _vIndex[k] < 0 ? _v[k] : x[_vIndex[k]]; };
    for (int i = 1; i < _nBuses; ++i)
    {
        const double th = theta(i), v = magnitude(i);
        const bool load = _vIndex[i] >= 0;
        double sp = _gii[i] * v, sq = -_bii[i] * v, dPdTh = 0, dQdTh = 0;
        for (const Entry& e : _rows[i])
        {
            const double vk = magnitude(e.bus), d = th - theta(e.bus);
            const double c = std::cos(d), s = std::sin(d);
            const double a = e.g * c + e.b * s, bq = e.g * s - e.b * c;
            sp += vk * a;
            sq += vk * bq;
            dPdTh -= v * vk * bq;
            dQdTh += v * vk * a;
            if (e.bus == 0)
                continue;
            values[e.slot[0][0]] = v * vk * bq;
            if (e.slot[0][1] >= 0)
                values[e.slot[0][1]] = v * a;
            if (!load)
                continue;
            values[e.slot[1][0]] = -v * vk * a;
            if (e.slot[1][1] >= 0)
                values[e.slot[1][1]] = v * bq;
        }
        f[_thIndex[i]] = v * sp - _p[i];
        values[_diagSlots[0][0][i]] = dPdTh;
        if (!load)
            continue;
        f[_vIndex[i]] = v * sq - _q[i];
        values[_diagSlots[0][1][i]] = sp + _gii[i] * v;
        values[_diagSlots[1][0][i]] = dQdTh;
        values[_diagSlots[1][1][i]] = sq - _bii[i] * v;
    }
}
} // namespace bench
