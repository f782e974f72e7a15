#include "PolarPowerFlow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace bench
{
template <typename TEntry> int PolarPowerFlow<TEntry>::generators() const
{
    return static_cast<int>(std::count(_isGenerator.begin(), _isGenerator.end(), 1));
}

template <typename TEntry> std::vector<int> PolarPowerFlow<TEntry>::degrees() const
{
    std::vector<int> counts;
    for (const std::vector<Entry>& row : _rows)
    {
        if (row.size() >= counts.size())
            counts.resize(row.size() + 1, 0);
        ++counts[row.size()];
    }
    return counts;
}

template <typename TEntry> void PolarPowerFlow<TEntry>::clearAdmittances()
{
    _gii.assign(_nBuses, 0.0);
    _bii.assign(_nBuses, 0.0);
    _rows.assign(_nBuses, {});
}

template <typename TEntry> void PolarPowerFlow<TEntry>::sortRows()
{
    for (std::vector<Entry>& row : _rows)
        std::sort(row.begin(), row.end(), [](const Entry& x, const Entry& y) { return x.bus < y.bus; });
}

template <typename TEntry> void PolarPowerFlow<TEntry>::numberUnknowns()
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
// the slack, in ascending order; the columns in the order of the unknowns.
template <typename TEntry> void PolarPowerFlow<TEntry>::buildPattern()
{
    _pattern.colStart.assign(_nUnknowns + 1, 0);
    _pattern.rowIndex.clear();
    for (int e = 0; e < 2; ++e)
        for (int v = 0; v < 2; ++v)
            _diagSlots[e][v].assign(_nBuses, -1);
    // The bus and the kind (0: th, 1: V) of every column.
    std::vector<std::pair<int, int>> columns(_nUnknowns);
    for (int k = 1; k < _nBuses; ++k)
    {
        columns[_thIndex[k]] = {k, 0};
        if (_vIndex[k] >= 0)
            columns[_vIndex[k]] = {k, 1};
    }
    struct Cell
    {
        int row, bus, kind;
    };
    std::vector<Cell> cells;
    for (int col = 0; col < _nUnknowns; ++col)
    {
        const auto [k, v] = columns[col];
        cells.clear();
        auto addBus = [&](int i) {
            cells.push_back({_thIndex[i], i, 0});
            if (_vIndex[i] >= 0)
                cells.push_back({_vIndex[i], i, 1});
        };
        addBus(k);
        for (const Entry& entry : _rows[k])
        {
            if (entry.bus != 0)
                addBus(entry.bus);
        }
        std::sort(cells.begin(), cells.end(), [](const Cell& x, const Cell& y) { return x.row < y.row; });
        for (const Cell& cell : cells)
        {
            const int slot = static_cast<int>(_pattern.rowIndex.size());
            _pattern.rowIndex.push_back(cell.row);
            if (cell.bus == k)
            {
                _diagSlots[cell.kind][v][k] = slot;
                continue;
            }
            // The entry of bus i for its neighbour k.
            for (Entry& entry : _rows[cell.bus])
            {
                if (entry.bus == k)
                    entry.slot[cell.kind][v] = slot;
            }
        }
        _pattern.colStart[col + 1] = static_cast<int>(_pattern.rowIndex.size());
    }
}

template <typename TEntry> std::vector<double> PolarPowerFlow<TEntry>::solution() const
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

template <typename TEntry> std::vector<double> PolarPowerFlow<TEntry>::flatStart() const
{
    std::vector<double> x(_nUnknowns, 0.0);
    for (int i = 1; i < _nBuses; ++i)
    {
        if (_vIndex[i] >= 0)
            x[_vIndex[i]] = 1.0;
    }
    return x;
}

template <typename TEntry> std::string PolarPowerFlow<TEntry>::numberText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.17g", v);
    return buf;
}

template <typename TEntry> std::string PolarPowerFlow<TEntry>::headerText(int maxIter)
{
    return "Header:\nmaxIter = " + std::to_string(maxIter) + "\nend\n";
}

template <typename TEntry> std::string PolarPowerFlow<TEntry>::termText(int i, const Entry& entry, bool reactive) const
{
    std::string d = "(th" + std::to_string(i) + " - th" + std::to_string(entry.bus);
    if constexpr (cShifted)
    {
        if (entry.shift > 0)
            d += " - " + numberText(entry.shift);
        else if (entry.shift < 0)
            d += " + " + numberText(-entry.shift);
    }
    d += ")";
    std::string t = " + V" + std::to_string(entry.bus) + "*(";
    const char* first = reactive ? "*sin" : "*cos";
    const char* second = reactive ? "*cos" : "*sin";
    if (entry.g != 0.0)
        t += numberText(entry.g) + first + d + " + ";
    t += numberText(reactive ? -entry.b : entry.b) + second + d + ")";
    return t;
}

template <typename TEntry> std::string PolarPowerFlow<TEntry>::balanceText(int i, bool reactive) const
{
    const std::string v = std::string("V") + std::to_string(i);
    const double diagonal = reactive ? -_bii[i] : _gii[i];
    std::string sum = diagonal != 0.0 ? numberText(diagonal) + "*" + v : std::string();
    for (const Entry& entry : _rows[i])
        sum += termText(i, entry, reactive);
    // Without the diagonal the sum starts with the first term's " + ".
    if (diagonal == 0.0)
        sum.erase(0, 3);
    return v + "*(" + sum + ")";
}

template <typename TEntry> std::string PolarPowerFlow<TEntry>::modelText(double eps, int maxIter) const
{
    std::string t;
    t.reserve(static_cast<std::size_t>(_nBuses) * 500);
    t += headerText(maxIter);
    t += "Model [type = NL, eps = " + numberText(eps) + "]:\nVars:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        t.append("th").append(si).append(" = 0\n");
        if (_vIndex[i] >= 0)
            t.append("V").append(si).append(" = 1\n");
    }
    t += "Params:\nth0 = 0\nV0 = " + numberText(_v[0]) + "\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        if (_vIndex[i] < 0)
            t += "V" + si + " = " + numberText(_v[i]) + "\n";
        t += "P" + si + " = " + numberText(_p[i]) + "\n";
        if (_vIndex[i] >= 0)
            t += "Q" + si + " = " + numberText(_q[i]) + "\n";
    }
    t += "NLEs:\n";
    for (int i = 1; i < _nBuses; ++i)
    {
        const std::string si = std::to_string(i);
        t += balanceText(i, false) + " = P" + si + "\n";
        if (_vIndex[i] >= 0)
            t += balanceText(i, true) + " = Q" + si + "\n";
    }
    t += "end\n";
    return t;
}

template <typename TEntry> typename PolarPowerFlow<TEntry>::Injection PolarPowerFlow<TEntry>::injectionAt(int i) const
{
    double sp = _gii[i] * _v[i], sq = -_bii[i] * _v[i];
    for (const Entry& e : _rows[i])
    {
        const double d = angle(_theta[i], _theta[e.bus], e);
        sp += _v[e.bus] * (e.g * std::cos(d) + e.b * std::sin(d));
        sq += _v[e.bus] * (e.g * std::sin(d) - e.b * std::cos(d));
    }
    return Injection{_v[i] * sp, _v[i] * sq};
}

template <typename TEntry> void PolarPowerFlow<TEntry>::evaluate(const double* x, double* f, double* values) const
{
    evaluateSigned<false>(x, f, values);
}

// cNegated: F the specified minus the calculated injections, and its Jacobian; the sign is
// a constant, so that the form F = calculated - specified pays nothing for it.
template <typename TEntry> template <bool cNegated>
void PolarPowerFlow<TEntry>::evaluateSigned(const double* x, double* f, double* values) const
{
    constexpr double s = cNegated ? -1.0 : 1.0;
    auto theta = [&](int k) { return k == 0 ? 0.0 : x[_thIndex[k]]; };
    auto magnitude = [&](int k) { return _vIndex[k] < 0 ? _v[k] : x[_vIndex[k]]; };
    for (int i = 1; i < _nBuses; ++i)
    {
        const double th = theta(i), v = magnitude(i);
        const bool load = _vIndex[i] >= 0;
        double sp = _gii[i] * v, sq = -_bii[i] * v, dPdTh = 0, dQdTh = 0;
        for (const Entry& e : _rows[i])
        {
            const double vk = magnitude(e.bus), d = angle(th, theta(e.bus), e);
            const double c = std::cos(d), sn = std::sin(d);
            const double a = e.g * c + e.b * sn, bq = e.g * sn - e.b * c;
            sp += vk * a;
            sq += vk * bq;
            dPdTh -= v * vk * bq;
            dQdTh += v * vk * a;
            if (e.bus == 0)
                continue;
            values[e.slot[0][0]] = s * (v * vk * bq);
            if (e.slot[0][1] >= 0)
                values[e.slot[0][1]] = s * (v * a);
            if (!load)
                continue;
            values[e.slot[1][0]] = s * (-v * vk * a);
            if (e.slot[1][1] >= 0)
                values[e.slot[1][1]] = s * (v * bq);
        }
        f[_thIndex[i]] = s * (v * sp - _p[i]);
        values[_diagSlots[0][0][i]] = s * dPdTh;
        if (!load)
            continue;
        f[_vIndex[i]] = s * (v * sq - _q[i]);
        values[_diagSlots[0][1][i]] = s * (sp + _gii[i] * v);
        values[_diagSlots[1][0][i]] = s * dQdTh;
        values[_diagSlots[1][1][i]] = s * (sq - _bii[i] * v);
    }
}

template class PolarPowerFlow<AdmittanceEntry>;
template class PolarPowerFlow<ShiftedAdmittanceEntry>;
template void PolarPowerFlow<AdmittanceEntry>::evaluateSigned<true>(const double*, double*, double*) const;
} // namespace bench
