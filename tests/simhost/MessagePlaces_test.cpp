// Where the messages of a model text stand, over one-place mutants of the example, test and
// benchmark models loaded into each model kind that reads them: every warning and error names
// a line of the text and a column within that line, and where the change touched one line the
// first message stands on it or on the line of the group or block it broke.
#include <complex>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "models/PowerFlowGrid.h"
#include "support/ModelTextMutator.h"
#include "support/PlacedMutations.h"
#include "support/RecordingLog.h"
#include <sc/ModelFactories.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>

namespace
{
using Cmplx = std::complex<double>;
using test::PlacedMutant;
using test::RecordingLog;

// The example models, the front end's and the XML samples' model texts and small networks of
// the benchmarks.
std::vector<std::string> seedModels()
{
    std::vector<std::string> seeds = test::modelTextSeeds(EQNKIT_EXAMPLE_MODELS, EQNKIT_TEST_DATA);
    const bench::PowerFlowGrid grid = bench::PowerFlowGrid::generate(4);
    seeds.push_back(grid.modelText());
    // The smallest network with a machine, whose angle and speed have ODEs.
    seeds.push_back(bench::PowerFlowGrid::generate(11).daeModelText("Trapez", true));
    return seeds;
}

// The model kinds a text is loaded into: those of its model line's type, real and complex
// where the kind has both (a complex text into the complex one only).
enum class Kind
{
    RealNLE,
    CmplxNLE,
    RealWLS,
    CmplxWLS,
    ODE,
    DAE
};

const char* kindName(Kind k)
{
    static const char* names[] = {"real NLE", "complex NLE", "real WLS", "complex WLS", "ODE", "DAE"};
    return names[static_cast<int>(k)];
}

std::vector<Kind> kindsOf(const std::string& text)
{
    const std::size_t model = text.find("Model [");
    const std::size_t lineEnd = model == std::string::npos ? model : text.find('\n', model);
    const std::string line = model == std::string::npos ? std::string() : text.substr(model, lineEnd - model);
    const bool complex = line.find("cmplx") != std::string::npos;
    auto both = [complex](Kind real, Kind cmplx) {
        return complex ? std::vector<Kind>{cmplx} : std::vector<Kind>{real, cmplx};
    };
    if (line.find("WLS") != std::string::npos)
        return both(Kind::RealWLS, Kind::CmplxWLS);
    if (line.find("ODE") != std::string::npos)
        return {Kind::ODE};
    if (line.find("DAE") != std::string::npos)
        return {Kind::DAE};
    return both(Kind::RealNLE, Kind::CmplxNLE);
}

template <typename M> bool loadInto(M* pModel, const std::string& text)
{
    const bool loaded = pModel->initFromString(td::String(text));
    pModel->release();
    return loaded;
}

bool load(Kind kind, const std::string& text, RecordingLog& log)
{
    constexpr int cMaxIter = 50;
    switch (kind)
    {
    case Kind::RealNLE: return loadInto(sc::createRealStaticModel(sc::IStatic::NLE, &log, cMaxIter), text);
    case Kind::CmplxNLE: return loadInto(sc::createCmplxStaticModel(sc::IStatic::NLE, &log, cMaxIter), text);
    case Kind::RealWLS: return loadInto(sc::createRealStaticModel(sc::IStatic::WLS, &log, cMaxIter), text);
    case Kind::CmplxWLS: return loadInto(sc::createCmplxStaticModel(sc::IStatic::WLS, &log, cMaxIter), text);
    case Kind::ODE: return loadInto(sc::createRealDynamicModel(sc::IDynamic::ODE, &log, cMaxIter), text);
    default: return loadInto(sc::createRealDynamicModel(sc::IDynamic::DAE, &log, cMaxIter), text);
    }
}

td::String keepKey(const char* key) { return td::String(key); }

// The entries of the solver's error log after the text is loaded and handed to a fresh solver
// of the kind, as the model library does: each "(line,section):text" as a message at its line.
template <typename T> std::vector<RecordingLog::Message> errorLogOf(sc::ISolver<T>* pSolver, const std::string& text)
{
    RecordingLog quiet;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    std::vector<RecordingLog::Message> out;
    {
        sc::TokenizedModel model(&quiet, header, &keepKey, naming, 0);
        if (model.loadFromString(td::String(text)))
            pSolver->init(&naming, model, true);
    }
    const std::string log = pSolver->getErrorLog().c_str();
    pSolver->release();
    for (std::size_t at = 0; at < log.size();)
    {
        std::size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end;
        const std::string entry = log.substr(at, end - at);
        unsigned line = 0;
        std::sscanf(entry.c_str(), "(%u,", &line);
        // An entry names no column: the first of its line stands for it.
        out.push_back({RecordingLog::Slot::Text, entry, line, 1, sc::ILog::Error});
        at = end + 1;
    }
    return out;
}

std::vector<RecordingLog::Message> errorLog(Kind kind, const std::string& text)
{
    RecordingLog unused;
    switch (kind)
    {
    case Kind::RealNLE: return errorLogOf(sc::createDblNRSolver(&unused, 50), text);
    case Kind::CmplxNLE: return errorLogOf(sc::createCmplxNRSolver(&unused, 50), text);
    case Kind::RealWLS: return errorLogOf(sc::createDblWLSSolver(&unused, 50), text);
    case Kind::CmplxWLS: return errorLogOf(sc::createCmplxWLSSolver(&unused, 50), text);
    case Kind::ODE: return errorLogOf(sc::createDblODESolver(&unused), text);
    default: return errorLogOf(sc::createDblDAESolver(&unused, 50), text);
    }
}

bool shown(const RecordingLog::Message& m) { return m.type == sc::ILog::Warning || m.type == sc::ILog::Error; }

std::string describe(const RecordingLog::Message& m)
{
    return m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col);
}

// What the mutants of all seeds gave.
struct Figures
{
    int mutants = 0;
    int loads = 0;
    int loaded = 0;
    // Loads whose messages all name a line of the text and a column within it.
    int placed = 0;
    // Loads of one-line changes with a message, and those whose first message stands where
    // the change was.
    int oneLine = 0;
    int atTheChange = 0;
    std::vector<std::string> unplaced;
    std::vector<std::string> elsewhere;
    // The messages of the failures, by their key (the text before a colon or a blank).
    std::map<std::string, int> unplacedKeys, elsewhereKeys;
};

std::string keyOf(const std::string& text) { return text.substr(0, text.find_first_of(": (")); }

void printKeys(const char* what, const std::map<std::string, int>& keys)
{
    for (const auto& [key, n] : keys)
        std::printf("  %s %s: %d\n", what, key.c_str(), n);
}

// The first problem of a message's place, or empty: its line must be a line of the text and
// its column within that line (one past its end for what is missing at the end).
std::string misplacement(const RecordingLog::Message& m, const test::ModelOutline& lines)
{
    if (m.line < 1 || m.line > lines.size())
        return "line outside the text";
    std::string text = lines.line(m.line);
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (m.col < 1 || m.col > text.size() + 1)
        return "column outside its line";
    return {};
}

// Whether a seed loads into a kind without a message: only then is a mutant's first
// message the mutation's. Each kind is tried once.
class CleanSeed
{
public:
    explicit CleanSeed(const std::string& seed) : _seed(seed) {}

    bool loadsCleanly(Kind kind)
    {
        auto it = _clean.find(kind);
        if (it != _clean.end())
            return it->second;
        RecordingLog log;
        bool clean = load(kind, _seed, log);
        for (const RecordingLog::Message& m : log.messages)
            clean = clean && !shown(m);
        return _clean[kind] = clean;
    }

private:
    const std::string& _seed;
    std::map<Kind, bool> _clean;
};

void check(const PlacedMutant& mutant, CleanSeed& seed, Figures& f)
{
    const test::ModelOutline lines(mutant.text);
    for (Kind kind : kindsOf(mutant.text))
    {
        RecordingLog log;
        ++f.loads;
        f.loaded += load(kind, mutant.text, log) ? 1 : 0;
        const std::string context = std::string(kindName(kind)) + ", " + mutant.what + ":\n" + mutant.text;
        bool placed = true;
        const RecordingLog::Message* pFirst = nullptr;
        std::vector<RecordingLog::Message> messages = log.messages;
        for (const RecordingLog::Message& entry : errorLog(kind, mutant.text))
            messages.push_back(entry);
        for (const RecordingLog::Message& m : messages)
        {
            if (!shown(m))
                continue;
            pFirst = pFirst ? pFirst : &m;
            const std::string problem = misplacement(m, lines);
            if (problem.empty())
                continue;
            ++f.unplacedKeys[keyOf(m.text)];
            if (placed && f.unplaced.size() < 10)
                f.unplaced.push_back(problem + ": " + describe(m) + " (" + context + ")");
            placed = false;
        }
        f.placed += placed ? 1 : 0;
        if (!pFirst || mutant.places.empty() || !seed.loadsCleanly(kind))
            continue;
        ++f.oneLine;
        if (mutant.places.count(pFirst->line))
        {
            ++f.atTheChange;
            continue;
        }
        ++f.elsewhereKeys[keyOf(pFirst->text)];
        if (f.elsewhere.size() < 10)
            f.elsewhere.push_back("first message " + describe(*pFirst) + " (" + context + ")");
    }
}

Figures runAll()
{
    Figures f;
    for (const std::string& text : seedModels())
    {
        CleanSeed seed(text);
        for (const PlacedMutant& mutant : test::PlacedMutations(text).all())
        {
            ++f.mutants;
            check(mutant, seed, f);
        }
    }
    return f;
}

TEST(MessagePlaces, MutantsReportAtTheirLinesAndColumns)
{
    const Figures f = runAll();
    std::printf("%d mutants, %d loads, %d loaded; messages placed in %d loads (%.1f%%); %d of %d one-line "
                "changes (%.1f%%) first reported where the change was\n",
                f.mutants, f.loads, f.loaded, f.placed, 100.0 * f.placed / f.loads, f.atTheChange, f.oneLine,
                f.oneLine ? 100.0 * f.atTheChange / f.oneLine : 0.0);
    printKeys("unplaced", f.unplacedKeys);
    printKeys("elsewhere", f.elsewhereKeys);
    EXPECT_GT(f.mutants, 2000);
    // Mutants of every kind get through a load, and most are refused.
    EXPECT_GT(f.loaded, f.loads / 10);
    EXPECT_LT(f.loaded, f.loads / 2);
    EXPECT_GT(f.oneLine, f.loads / 2);
    EXPECT_EQ(f.placed, f.loads);
    for (const std::string& s : f.unplaced)
        ADD_FAILURE() << s;
    EXPECT_EQ(f.atTheChange, f.oneLine);
    for (const std::string& s : f.elsewhere)
        ADD_FAILURE() << s;
}
} // namespace
