#include "PowerFlowGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

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
} // namespace

PowerFlowGrid PowerFlowGrid::generate(int nBuses, unsigned seed)
{
    PowerFlowGrid grid;
    grid._nBuses = std::max(nBuses, 2);
    const int n = grid._nBuses;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };

    // Buses on a square map: every row is a chain and the first column joins the rows, so
    // the network is connected; some short vertical and diagonal branches close meshes.
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    auto link = [&](int a, int b) {
        grid._from.push_back(a);
        grid._to.push_back(b);
        const double r = uniform(0.005, 0.02), x = uniform(0.03, 0.1);
        grid._gSeries.push_back(r / (r * r + x * x));
        grid._bSeries.push_back(-x / (r * r + x * x));
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

    // The operating point: the slack in the corner at angle 0 and magnitude 1; angles and
    // magnitudes fall off smoothly across the map, with a little noise from bus to bus,
    // so that the branch flows stay in the range of a loaded grid.
    grid._theta.resize(n);
    grid._v.resize(n);
    for (int i = 0; i < n; ++i)
    {
        const double distance = static_cast<double>(i / side + i % side) / (2.0 * side);
        grid._theta[i] = i == 0 ? 0.0 : -0.2 * distance + uniform(-0.01, 0.01);
        grid._v[i] = i == 0 ? 1.0 : 1.0 - 0.04 * distance + uniform(-0.005, 0.005);
    }
    grid.buildAdmittances();
    // Line charging: a small shunt susceptance at both ends of every branch.
    for (std::size_t k = 0; k < grid._from.size(); ++k)
    {
        const double half = uniform(0.0, 0.02) / 2;
        grid._bii[grid._from[k]] += half;
        grid._bii[grid._to[k]] += half;
    }
    grid.buildPattern();
    grid.computeInjections();
    return grid;
}

void PowerFlowGrid::buildAdmittances()
{
    _gii.assign(_nBuses, 0.0);
    _bii.assign(_nBuses, 0.0);
    _rows.assign(_nBuses, {});
    for (std::size_t k = 0; k < _from.size(); ++k)
    {
        const int a = _from[k], b = _to[k];
        const double g = _gSeries[k], bs = _bSeries[k];
        _gii[a] += g;
        _gii[b] += g;
        _bii[a] += bs;
        _bii[b] += bs;
        _rows[a].push_back(Entry{b, -g, -bs, {{-1, -1}, {-1, -1}}});
        _rows[b].push_back(Entry{a, -g, -bs, {{-1, -1}, {-1, -1}}});
    }
    for (std::vector<Entry>& row : _rows)
        std::sort(row.begin(), row.end(), [](const Entry& x, const Entry& y) { return x.bus < y.bus; });
}

// Column th_k (and V_k) holds the rows P_i, Q_i of bus k and of its neighbours but the
// slack, in ascending order.
void PowerFlowGrid::buildPattern()
{
    const int nu = unknowns();
    _pattern.colStart.assign(nu + 1, 0);
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
            const int col = 2 * (k - 1) + v;
            for (int i : buses)
            {
                for (int e = 0; e < 2; ++e)
                {
                    const int slot = static_cast<int>(_pattern.rowIndex.size());
                    _pattern.rowIndex.push_back(2 * (i - 1) + e);
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
    std::vector<double> x(unknowns());
    for (int i = 1; i < _nBuses; ++i)
    {
        x[2 * (i - 1)] = _theta[i];
        x[2 * (i - 1) + 1] = _v[i];
    }
    return x;
}

std::vector<double> PowerFlowGrid::flatStart() const
{
    std::vector<double> x(unknowns(), 0.0);
    for (int i = 1; i < _nBuses; ++i)
        x[2 * (i - 1) + 1] = 1.0;
    return x;
}

std::string PowerFlowGrid::modelText(double eps, int maxIter) const
{
    std::string t;
    t.reserve(static_cast<std::size_t>(_nBuses) * 400);
    t += "Header:\nmaxIter = " + std::to_string(maxIter) + "\nend\n";
    t += "Model [type = NL, eps = " + number(eps) + "]:\nVars:\n";
    for (int i = 1; i < _nBuses; ++i)
        t += "th" + std::to_string(i) + " = 0; V" + std::to_string(i) + " = 1\n";
    t += "Params:\nth0 = 0; V0 = 1\n";
    for (int i = 1; i < _nBuses; ++i)
        t += "P" + std::to_string(i) + " = " + number(_p[i]) + "; Q" + std::to_string(i) + " = " + number(_q[i]) + "\n";
    t += "NLEs:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i), th = "th" + si, v = "V" + si;
        for (int e = 0; e < 2; ++e)
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

void PowerFlowGrid::evaluate(const double* x, double* f, double* values) const
{
    auto theta = [&](int k) { return k == 0 ? 0.0 : x[2 * (k - 1)]; };
    auto magnitude = [&](int k) { return k == 0 ? 1.0 : x[2 * (k - 1) + 1]; };
    for (int i = 1; i < _nBuses; ++i)
    {
        const double th = theta(i), v = magnitude(i);
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
            values[e.slot[0][1]] = v * a;
            values[e.slot[1][0]] = -v * vk * a;
            values[e.slot[1][1]] = v * bq;
        }
        f[2 * (i - 1)] = v * sp - _p[i];
        f[2 * (i - 1) + 1] = v * sq - _q[i];
        values[_diagSlots[0][0][i]] = dPdTh;
        values[_diagSlots[0][1][i]] = sp + _gii[i] * v;
        values[_diagSlots[1][0][i]] = dQdTh;
        values[_diagSlots[1][1][i]] = sq - _bii[i] * v;
    }
}
} // namespace bench
