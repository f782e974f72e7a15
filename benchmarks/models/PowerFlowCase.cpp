#include "PowerFlowCase.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace bench
{
// Reads the three files of a network into a PowerFlowCase; every failure says which file
// and what did not fit.
class PowerFlowCase::Reader
{
public:
    Reader(PowerFlowCase& out, std::string& error) : _out(out), _error(error) {}

    bool read(const std::string& directory, const std::string& name)
    {
        _out._name = name;
        const std::string base = directory + "/" + name;
        return readText(base + ".model", _out._modelText) && readNumbers(base + ".dat") &&
               numberUnknowns(base + ".model") && checkEquations(base + ".model") && buildRows(base + ".dat") &&
               readSolution(base + "_solution.json");
    }

private:
    struct Bus
    {
        int type;
        double p, q, vm, va;
    };
    struct Admittance
    {
        int row, col;
        double g, b;
    };

    bool fail(const std::string& file, const std::string& what)
    {
        _error = file + ": " + what;
        return false;
    }

    bool readText(const std::string& file, std::string& text)
    {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return fail(file, "cannot be read");
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
        return true;
    }

    // PFDATA 1, N n NNZY m, BUS and n lines "type P Q Vm0 Va0", YBUS and m lines
    // "row col G B" (0-based), REF and n lines "Vm Va" (the solution), END.
    bool readNumbers(const std::string& file)
    {
        std::ifstream in(file);
        if (!in)
            return fail(file, "cannot be read");
        std::string word, nWord, nnzWord;
        int version = 0, n = 0, m = 0;
        if (!(in >> word >> version) || word != "PFDATA" || version != 1)
            return fail(file, "does not start with PFDATA 1");
        if (!(in >> nWord >> n >> nnzWord >> m) || nWord != "N" || nnzWord != "NNZY" || n < 2 || m < n)
            return fail(file, "no valid line N n NNZY m");
        if (!(in >> word) || word != "BUS")
            return fail(file, "BUS expected");
        _buses.resize(static_cast<std::size_t>(n));
        for (Bus& bus : _buses)
        {
            if (!(in >> bus.type >> bus.p >> bus.q >> bus.vm >> bus.va) || bus.type < 1 || bus.type > 3)
                return fail(file, "bad bus line");
        }
        if (!(in >> word) || word != "YBUS")
            return fail(file, "YBUS expected");
        _admittances.resize(static_cast<std::size_t>(m));
        for (Admittance& y : _admittances)
        {
            if (!(in >> y.row >> y.col >> y.g >> y.b) || y.row < 0 || y.col < 0 || y.row >= n || y.col >= n)
                return fail(file, "bad admittance line");
        }
        if (!(in >> word) || word != "REF")
            return fail(file, "REF expected");
        _reference.resize(static_cast<std::size_t>(n));
        for (auto& [vm, va] : _reference)
        {
            if (!(in >> vm >> va))
                return fail(file, "bad solution line");
        }
        if (!(in >> word) || word != "END")
            return fail(file, "END expected");
        return numberBuses(file);
    }

    // The slack first, then the other buses in file order.
    bool numberBuses(const std::string& file)
    {
        const int n = static_cast<int>(_buses.size());
        int slack = -1;
        for (int k = 0; k < n; ++k)
        {
            if (_buses[k].type != 3)
                continue;
            if (slack >= 0)
                return fail(file, "more than one slack bus");
            slack = k;
        }
        if (slack < 0)
            return fail(file, "no slack bus");
        _internal.assign(n, 0);
        int next = 1;
        for (int k = 0; k < n; ++k)
            _internal[k] = k == slack ? 0 : next++;
        return true;
    }

    // The name of a section's line "name = ...", or empty for a line without one (blank, a
    // comment).
    static std::string leftName(const std::string& line)
    {
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t eq = line.find('=');
        if (first == std::string::npos || eq == std::string::npos || line.compare(first, 2, "//") == 0)
            return {};
        std::string name = line.substr(first, eq - first);
        name.erase(name.find_last_not_of(" \t\r") + 1);
        return name;
    }

    // The lines of the section that starts with header, up to the next line starting with
    // one of the ends.
    std::vector<std::string> section(const std::string& header, std::initializer_list<const char*> ends) const
    {
        std::istringstream in(_out._modelText);
        std::string line;
        std::vector<std::string> lines;
        bool inside = false;
        while (std::getline(in, line))
        {
            if (!inside)
            {
                inside = line.rfind(header, 0) == 0;
                continue;
            }
            for (const char* end : ends)
            {
                if (line.rfind(end, 0) == 0)
                    return lines;
            }
            lines.push_back(line);
        }
        return lines;
    }

    // A bus named th<k> or V<k> (k from 1), its kind (0: th, 1: V), or false.
    bool busOfName(const std::string& name, const char* thName, const char* vName, int& bus, int& kind) const
    {
        const std::size_t thLength = std::char_traits<char>::length(thName);
        const std::size_t vLength = std::char_traits<char>::length(vName);
        std::size_t prefix = 0;
        if (name.rfind(thName, 0) == 0)
            kind = 0, prefix = thLength;
        else if (name.rfind(vName, 0) == 0)
            kind = 1, prefix = vLength;
        else
            return false;
        const std::string digits = name.substr(prefix);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        bus = std::atoi(digits.c_str()) - 1;
        return bus >= 0 && bus < static_cast<int>(_buses.size());
    }

    // The unknowns in the model's order of declaration: th<k> of every bus but the slack,
    // V<k> of every load bus, each once.
    bool numberUnknowns(const std::string& file)
    {
        const int n = static_cast<int>(_buses.size());
        _out._nBuses = n;
        _out._thIndex.assign(n, -1);
        _out._vIndex.assign(n, -1);
        _order.clear();
        for (const std::string& line : section("Vars", {"Params", "NLEs", "end"}))
        {
            const std::string name = leftName(line);
            if (name.empty())
                continue;
            int bus = 0, kind = 0;
            if (!busOfName(name, "th", "V", bus, kind))
                return fail(file, "unknown " + name + " is not th<k> or V<k> of a bus");
            const int internal = _internal[bus];
            std::vector<int>& index = kind == 0 ? _out._thIndex : _out._vIndex;
            if (internal == 0 || (kind == 1 && _buses[bus].type != 1) || index[internal] >= 0)
                return fail(file, "unknown " + name + " does not fit the numbers file");
            index[internal] = static_cast<int>(_order.size());
            _order.emplace_back(bus, kind);
        }
        for (int k = 0; k < n; ++k)
        {
            const int internal = _internal[k];
            if (internal != 0 && (_out._thIndex[internal] < 0 || (_buses[k].type == 1 && _out._vIndex[internal] < 0)))
                return fail(file, "bus " + std::to_string(k + 1) + " lacks an unknown");
        }
        _out._nUnknowns = static_cast<int>(_order.size());
        return true;
    }

    // Equation j is P<k> where unknown j is th<k>, Q<k> where it is V<k>.
    bool checkEquations(const std::string& file)
    {
        std::size_t j = 0;
        for (const std::string& line : section("NLEs", {"end"}))
        {
            const std::string name = leftName(line);
            if (name.empty())
                continue;
            int bus = 0, kind = 0;
            if (!busOfName(name, "P", "Q", bus, kind) || j >= _order.size() || _order[j] != std::make_pair(bus, kind))
                return fail(file,
                            "equation " + std::to_string(j + 1) + " (" + name + ") is not the balance of its unknown");
            ++j;
        }
        if (j != _order.size())
            return fail(file, "fewer equations than unknowns");
        return true;
    }

    bool buildRows(const std::string& file)
    {
        PowerFlowCase& c = _out;
        const int n = c._nBuses;
        c.clearAdmittances();
        c._isGenerator.assign(n, 0);
        c._theta.assign(n, 0.0);
        c._v.assign(n, 0.0);
        c._p.assign(n, 0.0);
        c._q.assign(n, 0.0);
        c._startTheta.assign(n, 0.0);
        c._startV.assign(n, 0.0);
        const double slackAngle = _reference[static_cast<std::size_t>(slackOfFile())].second;
        for (int k = 0; k < n; ++k)
        {
            const int i = _internal[k];
            const Bus& bus = _buses[k];
            c._isGenerator[i] = bus.type == 2 ? 1 : 0;
            c._p[i] = bus.p;
            c._q[i] = bus.q;
            c._startTheta[i] = bus.va;
            c._startV[i] = bus.vm;
            // The operating point is the numbers file's solution; generators and the slack keep
            // their set magnitude.
            c._v[i] = bus.type == 1 ? _reference[k].first : bus.vm;
            c._theta[i] = _reference[k].second - slackAngle;
        }
        std::map<std::pair<int, int>, std::pair<double, double>> offDiagonal;
        for (const Admittance& y : _admittances)
        {
            const int i = _internal[y.row], k = _internal[y.col];
            if (i == k)
            {
                c._gii[i] += y.g;
                c._bii[i] += y.b;
                continue;
            }
            if (!offDiagonal.emplace(std::make_pair(i, k), std::make_pair(y.g, y.b)).second)
                return fail(file, "admittance entry " + std::to_string(y.row) + " " + std::to_string(y.col) + " twice");
            c._rows[i].push_back(Entry{k, y.g, y.b, {{-1, -1}, {-1, -1}}});
        }
        c._joinedPairs = 0;
        c._unsymmetricPairs = 0;
        for (const auto& [ik, gb] : offDiagonal)
        {
            const auto mirror = offDiagonal.find({ik.second, ik.first});
            if (mirror == offDiagonal.end())
                return fail(file, "the admittance matrix has entry " + std::to_string(ik.first) + " " +
                                      std::to_string(ik.second) + " without its mirror");
            if (ik.first < ik.second)
            {
                ++c._joinedPairs;
                c._unsymmetricPairs += mirror->second != gb ? 1 : 0;
            }
        }
        c.sortRows();
        c.buildPattern();
        return true;
    }

    int slackOfFile() const
    {
        return static_cast<int>(std::find(_internal.begin(), _internal.end(), 0) - _internal.begin());
    }

    // "solution": {"name": value, ...}: a value for every unknown.
    bool readSolution(const std::string& file)
    {
        std::string text;
        if (!readText(file, text))
            return false;
        std::size_t at = text.find("\"solution\"");
        if (at == std::string::npos || (at = text.find('{', at)) == std::string::npos)
            return fail(file, "no \"solution\" object");
        std::map<std::string, double> values;
        while (true)
        {
            const std::size_t open = text.find_first_of("\"}", at + 1);
            if (open == std::string::npos)
                return fail(file, "the solution object does not end");
            if (text[open] == '}')
                break;
            const std::size_t close = text.find('"', open + 1);
            const std::size_t colon = close == std::string::npos ? close : text.find(':', close);
            if (colon == std::string::npos)
                return fail(file, "a solution entry without a value");
            char* end = nullptr;
            const double value = std::strtod(text.c_str() + colon + 1, &end);
            if (end == text.c_str() + colon + 1)
                return fail(file, "a solution entry without a number");
            values[text.substr(open + 1, close - open - 1)] = value;
            at = static_cast<std::size_t>(end - text.c_str());
        }
        _out._solution.assign(_order.size(), 0.0);
        for (std::size_t j = 0; j < _order.size(); ++j)
        {
            const auto [bus, kind] = _order[j];
            const std::string name = (kind == 0 ? "th" : "V") + std::to_string(bus + 1);
            const auto found = values.find(name);
            if (found == values.end())
                return fail(file, "no value for " + name);
            _out._solution[j] = found->second;
        }
        return true;
    }

    PowerFlowCase& _out;
    std::string& _error;
    std::vector<Bus> _buses;
    std::vector<Admittance> _admittances;
    std::vector<std::pair<double, double>> _reference;
    // Per bus of the files: its internal number.
    std::vector<int> _internal;
    // Per unknown: its bus in the files and its kind (0: th, 1: V).
    std::vector<std::pair<int, int>> _order;
};

bool PowerFlowCase::load(const std::string& directory, const std::string& name, PowerFlowCase& out, std::string& error)
{
    out = PowerFlowCase();
    Reader reader(out, error);
    return reader.read(directory, name);
}

bool PowerFlowCase::exists(const std::string& directory, const std::string& name)
{
    return std::ifstream(directory + "/" + name + ".model").good();
}

std::vector<double> PowerFlowCase::flatStart() const
{
    std::vector<double> x(static_cast<std::size_t>(_nUnknowns));
    for (int i = 1; i < _nBuses; ++i)
    {
        x[_thIndex[i]] = _startTheta[i];
        if (_vIndex[i] >= 0)
            x[_vIndex[i]] = _startV[i];
    }
    return x;
}
} // namespace bench
