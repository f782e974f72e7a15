// A bounded fuzz run over the whole road: fixed-seed mutants of the example and test models
// (texts and XML documents) go into every model and solver kind, are built and solved or
// stepped, each in a child process under a time limit. An abort, a crash, a sanitizer report,
// a time-out, a failed load without a message or an OK status with a value that is not finite
// fails the test, which prints the input.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "RoadMutators.h"
#include "WholeRoad.h"

namespace
{
constexpr int cShards = 4;
constexpr std::uint32_t cTextSeed = 20250301u;
constexpr std::uint32_t cXmlSeed = 20250401u;
// An input takes a few milliseconds (some tens under the sanitizers, mostly the fork).
constexpr int cMutantsPerShard = 250;
constexpr double cSecondsPerInput = 10.0;

// EQNKIT_FUZZ_MUTANTS, when set, runs longer: the same mutants and then more;
// EQNKIT_FUZZ_SEED, when set, is added to the fixed seeds, for other mutants.
int fromEnvironment(const char* name, int otherwise)
{
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : otherwise;
}

int mutantsPerShard() { return std::max(1, fromEnvironment("EQNKIT_FUZZ_MUTANTS", cMutantsPerShard)); }

// Faults whose mends are on their way: a finding whose output holds one of these texts (an
// assertion's expression, say) is counted and printed but does not fail the mutant runs. Keep
// it empty but while such a mend is pending.
const std::vector<std::string>& faultsMendedElsewhere()
{
    static const std::vector<std::string> s_faults;
    return s_faults;
}

enum class Road
{
    Text,
    Xml
};

using test::replaced;

// The example models, the front end's test models and the model texts of the XML samples.
std::vector<std::string> textSeeds() { return test::modelTextSeeds(EQNKIT_EXAMPLE_MODELS, EQNKIT_TEST_DATA); }

// The XML samples, each real one also in the complex domain (without conjugate partners); the DAE sample, which names its
// method by a placeholder, with two methods.
std::vector<std::string> xmlSeeds()
{
    std::vector<std::string> seeds;
    for (const std::string& doc : test::readModels(std::string(EQNKIT_TEST_DATA) + "/xml", ".xml"))
    {
        for (const char* method : {"Trapez", "RK4"})
        {
            const std::string one = replaced(doc, "METHOD", method);
            seeds.push_back(one);
            if (one.find("domain=\"real\"") != std::string::npos)
                seeds.push_back(
                    replaced(replaced(one, "domain=\"real\"", "domain=\"cmplx\""), "<Vars>", "<Vars conj=\"false\">"));
            if (one == doc)
                break;
        }
    }
    return seeds;
}

// The input with its bytes outside printable ASCII escaped, so that it can be pasted back.
std::string printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text.substr(0, 8000))
    {
        if (c == '\n' || (c >= 0x20 && c < 0x7F && c != '\\'))
            out += static_cast<char>(c);
        else
        {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
        }
    }
    return text.size() > 8000 ? out + "..." : out;
}

struct RoadRun
{
    test::IsolatedOutcome outcome;
    int built = 0;
    double seconds = 0;

    bool finding() const { return !outcome.clean() || outcome.notes.find(test::cFindingMark) != std::string::npos; }
    // The fault mended elsewhere that the output shows, or null.
    const std::string* mendedElsewhere() const
    {
        for (const std::string& fault : faultsMendedElsewhere())
        {
            if (outcome.errors.find(fault) != std::string::npos || outcome.notes.find(fault) != std::string::npos)
                return &fault;
        }
        return nullptr;
    }
    // The last note names the kind and the stage where the child stopped.
    std::string lastNote() const
    {
        const std::size_t end = outcome.notes.find_last_not_of('\n');
        if (end == std::string::npos)
            return "(none)";
        const std::size_t start = outcome.notes.rfind('\n', end);
        return outcome.notes.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
    }
};

RoadRun runInput(Road road, const std::string& input)
{
    const std::string scratch = ::testing::TempDir() + "eqnkit_road_" + std::to_string(::getpid()) + "_" +
                                std::to_string(road == Road::Text ? 0 : 1);
    RoadRun run;
    const auto start = std::chrono::steady_clock::now();
    run.outcome = test::runIsolated(
        [&](int notes) {
            test::WholeRoad whole(notes, scratch);
            return (road == Road::Text ? whole.text(input) : whole.xml(input)) == 0 ? 0 : 1;
        },
        cSecondsPerInput);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::remove(scratch.c_str());
    // Models that got as far as a solve or a step.
    for (const char* stage : {": solve\n", ": step\n"})
    {
        for (std::size_t p = run.outcome.notes.find(stage); p != std::string::npos;
             p = run.outcome.notes.find(stage, p + 1))
            ++run.built;
    }
    return run;
}

std::string report(const RoadRun& run, const std::string& what, const std::string& input)
{
    return what + ": " + run.outcome.describe() + "\nlast stage: " + run.lastNote() + "\ninput:\n" + printable(input);
}

// The child process turns what would end or hang the test into an outcome.
TEST(WholeRoadFuzz, ChildRunsCatchAbortsHangsAndSanitizerReports)
{
    const test::IsolatedOutcome aborted = test::runIsolated([](int) -> int { std::abort(); }, 5.0);
    EXPECT_EQ(aborted.kind, test::IsolatedOutcome::Kind::Signalled);
    EXPECT_EQ(aborted.code, SIGABRT);
    const auto start = std::chrono::steady_clock::now();
    const test::IsolatedOutcome hung = test::runIsolated(
        [](int notes) {
            test::isolatedNote(notes, "waiting");
            for (;;)
                ::pause();
            return 0;
        },
        0.2);
    EXPECT_EQ(hung.kind, test::IsolatedOutcome::Kind::TimedOut);
    EXPECT_EQ(hung.notes, "waiting\n");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    const test::IsolatedOutcome reported = test::runIsolated(
        [](int) {
            std::fprintf(stderr, "x.cpp:1:2: runtime error: signed integer overflow\n");
            return 0;
        },
        5.0);
    EXPECT_EQ(reported.kind, test::IsolatedOutcome::Kind::Exited);
    EXPECT_TRUE(reported.sanitizerReport());
    EXPECT_FALSE(reported.clean());
}

// A value made infinite by the model's own statements after the solve is no finding; the
// model without those statements is what the check falls back on.
TEST(WholeRoadFuzz, ValuesThatLateStatementsMakeInfiniteAreTheModels)
{
    const std::string text = "Header:\nmaxIter = 20\nend\nModel [type = NL]:\nVars:\nx = 1\nSubModel [type = NL]:\n"
                             "Vars:\nu = 0\nNLEs:\nu = 1\nPostProc:\nu = 2\nend\nNLEs:\nx = 2\nLimits:\n"
                             "group [name = \"g\"]\n    if x > 1\n        x = 1\n    end\nend\nPostProc:\n"
                             "x = 1/0\nend\n";
    EXPECT_EQ(test::withoutLateGroups(text), "Header:\nmaxIter = 20\nend\nModel [type = NL]:\nVars:\nx = 1\n"
                                             "SubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu = 1\nend\nNLEs:\n"
                                             "x = 2\nend\n\n");
    const RoadRun run = runInput(Road::Text, text);
    EXPECT_FALSE(run.finding()) << report(run, "late statements", text);
    EXPECT_NE(run.outcome.notes.find("real NLE: its late statements made a value that is not finite"),
              std::string::npos)
        << run.outcome.notes;
    const std::string doc = "<?xml version=\"1.0\"?><Model type=\"NR\"><Vars><Var name=\"x\" val=\"1\"/></Vars>"
                            "<NLEqs><Eq fx=\"x = 2\"/></NLEqs><Limits><Group/></Limits><PostProc>"
                            "<Eq fx=\"x = 1/0\"/></PostProc><PostProcessing/></Model>";
    EXPECT_EQ(test::withoutLateElements(doc), "<?xml version=\"1.0\"?><Model type=\"NR\"><Vars><Var name=\"x\" "
                                              "val=\"1\"/></Vars><NLEqs><Eq fx=\"x = 2\"/></NLEqs>"
                                              "<PostProcessing/></Model>");
}

TEST(WholeRoadFuzz, SeedsRunOnEveryKindWithoutFindings)
{
    for (Road road : {Road::Text, Road::Xml})
    {
        int built = 0;
        for (const std::string& input : road == Road::Text ? textSeeds() : xmlSeeds())
        {
            const RoadRun run = runInput(road, input);
            EXPECT_FALSE(run.finding()) << report(run, "seed", input);
            built += run.built;
        }
        // Most seeds build in at least one kind (some front-end models are not meant to build).
        EXPECT_GE(built, 7);
    }
}

// Inputs that once aborted or hung the road.
struct KnownInput
{
    const char* fault;
    Road road;
    const char* input;
};

const std::vector<KnownInput>& inputsThatOnceEndedTheRoad()
{
    static const std::vector<KnownInput> s_inputs = {
        {"a statement that names a solver-status symbol", Road::Text,
         "Header:\nmaxIter = 20\nend\nModel [type = NL]:\nVars:\nx = 1\nParams:\np = 0\nNLEs:\nx = 2\n"
         "PostProc:\np = (x)repeat#\nend\n"},
        {"a status symbol in a weighted measurement", Road::Text,
         "Header:\nmaxIter = 100\nend\nModel [type = WLS, domain = cmplx]:\nVars:\nu = 1\nv = 1\nParams:\np = 2\n"
         "WLSEs:\nu reqEps#= 1+1i [w = 2]\nv = 2-1i\nu + v = 3.1\nECs:\nu - v = -1+2i\nend\n"},
        {"a transfer function whose message names a generated symbol", Road::Text,
         "Header:\ndTime = 0.01\nend\nModel [type = DAE, method = Trapez]:\nVars:\ny = 0\nu = 1\nParams:\n"
         "K = 2\nTFs:\ny / u = (2K*s + 1)/(s + 1)\nNLEs:\nu = 1\nend\n"},
        {"a status symbol in a complex statement", Road::Text,
         "Header:\nmaxIter = 20\nend\nModel [type = NL, domain = cmplx]:\nVars:\nIa = 1\nParams:\nPl = 1+1i\n"
         "q = 0\nNLEs:\nIa = 1\nPostProc:\nq = Pl*conj(Ia)baseIter#\nend\n"},
        {"a nonlinear text with ODEs in a dynamic model", Road::Text,
         "Header:\nmaxIter = 20\ndTime = 0.01\nend\nModel [type = NL]:\nVars:\nx = 1\nv = 0\nParams:\nk = 4\n"
         "ODEs:\nx' = v\nv = -k*x\nend\n"},
        {"a weighted least squares text with ODEs", Road::Text,
         "Header:\nmaxIter = 20\ndTime = 0.01\nend\nModel [type = WLS]:\nVars:\nx = 1\nParams:\nk = 4\n"
         "WLSEs:\nx = 1\nODEs:\nx' = -k*x\nend\n"},
        {"repetitions that read the repetition number", Road::Text,
         "Header:\nmaxIter = 20\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 2\nRepeats:\n"
         "if repeat# < 2\n    repeat\nend\nend\n"},
    };
    return s_inputs;
}

TEST(WholeRoadFuzz, InputsThatOnceAbortedOrHungEndCleanly)
{
    for (const KnownInput& known : inputsThatOnceEndedTheRoad())
    {
        const RoadRun run = runInput(known.road, known.input);
        EXPECT_FALSE(run.finding()) << report(run, known.fault, known.input);
    }
}

class WholeRoadFuzzShard : public testing::TestWithParam<int>
{
protected:
    void runMutants(Road road)
    {
        const std::vector<std::string> seeds = road == Road::Text ? textSeeds() : xmlSeeds();
        ASSERT_GE(seeds.size(), 6u);
        const std::uint32_t seed = (road == Road::Text ? cTextSeed : cXmlSeed) +
                                   static_cast<std::uint32_t>(GetParam() + fromEnvironment("EQNKIT_FUZZ_SEED", 0));
        std::unique_ptr<test::Mutator> pMutator;
        if (road == Road::Text)
            pMutator = std::make_unique<test::TextRoadMutator>(seeds, seed);
        else
            pMutator = std::make_unique<test::XmlRoadMutator>(seeds, seed);
        int built = 0, findings = 0, known = 0, slowest = 0;
        double slowestSeconds = 0;
        const int mutants = mutantsPerShard();
        for (int i = 0; i < mutants && findings < 5; ++i)
        {
            const std::string input = pMutator->next();
            const RoadRun run = runInput(road, input);
            built += run.built;
            if (run.seconds > slowestSeconds)
            {
                slowestSeconds = run.seconds;
                slowest = i;
            }
            if (!run.finding())
                continue;
            if (const std::string* fault = run.mendedElsewhere())
            {
                ++known;
                std::printf("mutant %d of seed %u, %s: %s\n", i, seed, run.lastNote().c_str(), fault->c_str());
                continue;
            }
            ++findings;
            ADD_FAILURE() << report(run, "mutant " + std::to_string(i) + " of seed " + std::to_string(seed), input);
        }
        // Enough mutants must get through a build to test the solvers.
        EXPECT_GT(built, mutants / 5) << known << " faults mended elsewhere";
        std::printf("%d mutants, %d solved or stepped, %d faults mended elsewhere; slowest: mutant %d, %.3f s\n",
                    mutants, built, known, slowest, slowestSeconds);
    }
};

TEST_P(WholeRoadFuzzShard, TextMutants) { runMutants(Road::Text); }

TEST_P(WholeRoadFuzzShard, XmlMutants) { runMutants(Road::Xml); }

INSTANTIATE_TEST_SUITE_P(WholeRoadFuzz, WholeRoadFuzzShard, testing::Range(0, cShards));
} // namespace
