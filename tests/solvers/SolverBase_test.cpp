#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "ErrorLog.h"
#include "SolverSupport.h"

namespace
{
using sc::Solution;
using test::BuiltSolver;
using test::Cmplx;

const std::string cModel = "Model [type = NL]:\nVars [out = true]:\nx = 1; y = 2\nParams:\na = 3\nb = 4\n"
                           "NLEs:\nx = a\ny = b\nend\n";

// A solver whose children, error log and status a test sets.
class LogSolver final : public sl::NRSolver<double>
{
public:
    LogSolver() : NRSolver(nullptr, 100, 1e-6) {}
    void adopt(LogSolver* pChild) { _children.push(pChild); }
    void write(const char* text) { sl::appendSubstituted(_stores.errorLog, text); }
    void setStatus(Solution status) { _status = status; }
};

TEST(SolverBase, AFreshSolverIsReadyForItsBuild)
{
    test::RecordingLog log;
    sc::ISolver<double>* p = sc::createDblNRSolver(&log, 100);
    ASSERT_NE(p, nullptr);
    auto* pSolver = static_cast<sl::Solver<double>*>(p);
    EXPECT_EQ(p->getStatus(), Solution::OK);
    EXPECT_STREQ(p->getStatusName(), "OK");
    EXPECT_EQ(pSolver->getEps(), 1e-6);
    EXPECT_EQ(p->getMaxIter(), 100);
    EXPECT_EQ(pSolver->getMaxReps(), -1);
    EXPECT_EQ(p->getSolverType(), sc::SolverType::NR);
    EXPECT_EQ(p->getStepSize(), 0.0);
    EXPECT_EQ(p->getTime(), nullptr);
    EXPECT_FALSE(p->simulate(0, 0.1, 1, nullptr, 1));
    EXPECT_EQ(p->step(1), Solution::SolutionError);
    // Never built: refused without touching any value.
    EXPECT_EQ(p->solve(), Solution::SolutionError);
    EXPECT_EQ(p->getNumberOfVariables(), 0u);
    EXPECT_TRUE(p->getErrorLog().isEmpty());
    EXPECT_TRUE(log.messages.empty());
    // A text that is no XML document: the parser's refusal with its line, then the solver's.
    EXPECT_FALSE(p->initFromXML(td::String("<Model/>"), 1));
    EXPECT_STREQ(p->getErrorLog().c_str(), "(1,Other):Cannot parse xml input data\n(1,Other):Line no=1: Not an XML "
                                           "file\n(0,ReadModel):Cannot read the data..");
    p->release();

    // The iteration limit is kept in 16 bits: larger limits saturate.
    const std::pair<int, td::UINT2> limits[] = {{20, 20}, {65535, 65535}, {70000, 65535}, {-5, 0}};
    for (const auto& [given, kept] : limits)
    {
        sc::ISolver<Cmplx>* pc = sc::createCmplxNRSolver(nullptr, given);
        EXPECT_EQ(pc->getMaxIter(), kept) << given;
        pc->release();
    }
}

TEST(SolverBase, SymbolsByNameAndByIndex)
{
    BuiltSolver<double> s;
    ASSERT_TRUE(s.build(cModel)) << s.keys();
    sc::ISolver<double>& p = *s.pSolver;
    struct Case
    {
        const char* name;
        td::INT4 symbol;
        td::INT4 parameter;
        bool variable;
    } cases[] = {{"x", 0, -2, true},   {"y", 1, -1, true},  {"a", 2, 0, false},          {"b", 3, 1, false},
                 {"c", -1, -3, false}, {"", -1, -3, false}, {"solState#", -1, -3, false}};
    for (const Case& c : cases)
    {
        EXPECT_EQ(p.getSymbolIndex(c.name), c.symbol) << c.name;
        EXPECT_EQ(p.getParameterIndex(c.name), c.parameter) << c.name;
        double v = -1;
        EXPECT_EQ(p.setVariableValue(c.name, 7.0), c.variable) << c.name;
        EXPECT_EQ(p.getVariableValue(c.name, v), c.variable) << c.name;
        EXPECT_EQ(p.setParameterValue(c.name, 8.0), c.parameter >= 0) << c.name;
        EXPECT_EQ(p.getParameterValue(c.name, v), c.parameter >= 0) << c.name;
        if (c.symbol >= 0)
        {
            ASSERT_TRUE(p.getSymbolValue(c.symbol, v));
            EXPECT_EQ(v, c.variable ? 7.0 : 8.0) << c.name;
            EXPECT_STREQ(p.getSymbolName(c.symbol), c.name);
        }
    }
    EXPECT_STREQ(p.getVariableName(1), "y");
    EXPECT_STREQ(p.getParameterName(1), "b");
    double v = 0;
    for (td::INT4 bad : {-1, 4})
    {
        EXPECT_FALSE(p.getSymbolValue(bad, v));
        EXPECT_FALSE(p.setVariableValue(bad, 1.0));
        EXPECT_FALSE(p.setParameterValue(bad - 2, 1.0));
    }
    std::vector<double> params(2);
    p.copyParameterValues(params.data());
    EXPECT_EQ(params, (std::vector<double>{8, 8}));

    // The output symbols are the variables of the out group.
    EXPECT_EQ(p.getNumberOfOutputSymbols(), 2u);
    cnt::SafeFullVector<td::UINT4> out;
    EXPECT_TRUE(p.getOutputSymbolIndices(out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 1u);
    char label[32];
    EXPECT_EQ(p.formatJacobianLabel(label, sizeof(label), 3, 1), 12);
    EXPECT_STREQ(label, "d(Eq3)/d(y)=");
}

TEST(SolverBase, TheErrorLogPutsTheChildrenFirst)
{
    auto* pMain = new LogSolver;
    auto* pFirst = new LogSolver;
    auto* pSecond = new LogSolver;
    auto* pSilent = new LogSolver;
    pMain->adopt(pFirst);
    pMain->adopt(pSilent);
    pMain->adopt(pSecond);
    EXPECT_TRUE(pMain->getErrorLog().isEmpty());
    pMain->write("own");
    EXPECT_STREQ(pMain->getErrorLog().c_str(), "own");
    pFirst->write("first");
    pSecond->write("second");
    EXPECT_STREQ(pMain->getErrorLog().c_str(), "\nfirst\nsecond\nown");
    pMain->release();
}

TEST(SolverBase, ModelLineSettings)
{
    struct Case
    {
        const char* attribs;
        double eps;
        td::UINT2 maxIter;
        td::BYTE alwaysOn;
    } cases[] = {
        {"", 1e-6, 100, 0},
        {", eps = -1", 1e-6, 100, 0},
        {", eps = 1e-9, maxIter = 20", 1e-9, 20, 0},
        {", maxIter = 0, alwaysOn = true", 1e-6, 100, 1},
        {", maxIter = 70000", 1e-6, 65535, 0},
        {", maxIter = 12.7, alwaysOn = 0", 1e-6, 12, 0},
    };
    for (const Case& c : cases)
    {
        BuiltSolver<double> s;
        ASSERT_TRUE(s.build(std::string("Model [type = NL") + c.attribs + "]:\nVars:\nx = 1\nNLEs:\nx = 2\nend\n"))
            << c.attribs << s.keys();
        EXPECT_EQ(s.pSolver->getEps(), c.eps) << c.attribs;
        EXPECT_EQ(s.pSolver->getMaxIter(), c.maxIter) << c.attribs;
        EXPECT_EQ(s.pSolver->isAlwaysOn(), c.alwaysOn) << c.attribs;
        EXPECT_EQ(*s.pSolver->getSolverFlagsPtr(), 0) << c.attribs;
    }

    // A sub-model line: its own eps, and initMain false marks the child.
    BuiltSolver<double> s;
    ASSERT_TRUE(s.build("Model [type = NL]:\nVars:\nx = 1\nSubModel [type = NL, eps = 1e-3, initMain = false]:\n"
                        "Vars:\nu = 0\nNLEs:\nu = 1\nend\nNLEs:\nx = 2\nend\n"))
        << s.keys();
    ASSERT_EQ(s.pSolver->getNumberOfChildren(), 1u);
    EXPECT_EQ(s.pSolver->getChild(0)->getEps(), 1e-3);
    EXPECT_EQ(*s.pSolver->getChild(0)->getSolverFlagsPtr(), 2);
}

template <typename T> class SymbolUpdate : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(SymbolUpdate, Builds);

TYPED_TEST(SymbolUpdate, AssignmentOperators)
{
    BuiltSolver<TypeParam> s;
    ASSERT_TRUE(s.build(cModel));
    struct Case
    {
        char op;
        double operand;
        double result;
    } cases[] = {{'=', 5, 5}, {'+', 2, 5}, {'-', 2, 1}, {'*', 2, 6}, {'/', 2, 1.5}, {'^', 2, 9}, {'/', 0, 3}};
    for (const Case& c : cases)
    {
        s.pSolver->setParameterValue(0, TypeParam(3));
        const TypeParam operand(c.operand);
        s.pSolver->updateSymbolValue(&operand, 2, c.op, sl::ValuePart::Whole);
        EXPECT_LT(std::abs(s.value("a") - TypeParam(c.result)), 1e-12) << c.op << c.operand;
    }
}

TEST(SymbolUpdate, ComplexPartsTakeTheRealPartOfTheValue)
{
    BuiltSolver<Cmplx> s;
    ASSERT_TRUE(s.build(cModel));
    struct Case
    {
        sl::ValuePart part;
        char op;
        Cmplx result;
    } cases[] = {{sl::ValuePart::Real, '=', {2, 4}},
                 {sl::ValuePart::Imag, '*', {1, 8}},
                 {sl::ValuePart::Whole, '+', {3, 5}},
                 {sl::ValuePart::Whole, '*', {-2, 9}}};
    for (const Case& c : cases)
    {
        s.pSolver->setVariableValue(0, Cmplx(1, 4));
        const Cmplx operand(2, 1);
        s.pSolver->updateSymbolValue(&operand, 0, c.op, c.part);
        EXPECT_EQ(s.value("x"), c.result) << c.op;
    }
}

TEST(SolverBase, EveryFactoryAndTypeWordGivesAReadySolverOfItsKind)
{
    using sc::SolverType;
    struct Case
    {
        const char* word;
        sc::ISolver<double>* (*makeDbl)(sc::ILog*, int);
        sc::ISolver<Cmplx>* (*makeCmplx)(sc::ILog*, int);
        SolverType type;
        td::UINT2 maxIter;
        bool timed;
    } cases[] = {
        {"NR", sc::createDblNRSolver, sc::createCmplxNRSolver, SolverType::NR, 30, false},
        {"WLS", sc::createDblWLSSolver, sc::createCmplxWLSSolver, SolverType::WLS, 30, false},
        {"ODE", [](sc::ILog* p, int) { return sc::createDblODESolver(p); },
         [](sc::ILog* p, int) { return sc::createCmplxODESolver(p); }, SolverType::ODE, 0, true},
        {"DAE", sc::createDblDAESolver, sc::createCmplxDAESolver, SolverType::DAE, 30, true},
    };
    auto check = [](auto* p, const Case& c, td::UINT2 maxIter) {
        ASSERT_NE(p, nullptr) << c.word;
        EXPECT_EQ(p->getSolverType(), c.type) << c.word;
        EXPECT_STREQ(p->getStatusName(), "OK") << c.word;
        EXPECT_EQ(p->getMaxIter(), maxIter) << c.word;
        EXPECT_EQ(p->getTime() != nullptr, c.timed) << c.word;
        EXPECT_EQ(p->getNumberOfVariables(), 0u) << c.word;
        // Never built: nothing to solve.
        EXPECT_NE(p->solve(), Solution::OK) << c.word;
        p->release();
    };
    for (const Case& c : cases)
    {
        sc::ISolver<double>* pDbl = c.makeDbl(nullptr, 30);
        EXPECT_EQ(static_cast<sl::Solver<double>*>(pDbl)->getEps(), 1e-6) << c.word;
        check(pDbl, c, c.maxIter);
        check(c.makeCmplx(nullptr, 30), c, c.maxIter);
        sl::Solver<double>* pByWord =
            sl::Solver<double>::create(nullptr, nullptr, td::String(c.word), td::String(), 40, 1e-3, 3);
        ASSERT_NE(pByWord, nullptr) << c.word;
        EXPECT_EQ(pByWord->getLine(), 3u) << c.word;
        check(pByWord, c, c.type == SolverType::ODE ? 0 : 40);
        check(sl::Solver<Cmplx>::create(nullptr, nullptr, td::String(c.word), td::String(), 40, 1e-3, 3), c,
              c.type == SolverType::ODE ? 0 : 40);
    }
    for (const char* word : {"wls", "ODE ", "DAE2", "Dae"})
        EXPECT_EQ(sl::Solver<double>::create(nullptr, nullptr, td::String(word), td::String(), 100, 1e-6, 0), nullptr);
}

TEST(SolverBase, StatusNamesSignalsAndCreationByWord)
{
    // Each status prints the name of its row; a value no status has prints as null.
    LogSolver solver;
#define STATUS_NAME_CASE(name, code, printed, python)                                                                  \
    solver.setStatus(Solution::name);                                                                                  \
    EXPECT_STREQ(solver.getStatusName(), printed);
    EQNKIT_SOLUTIONS(STATUS_NAME_CASE)
#undef STATUS_NAME_CASE
    solver.setStatus(static_cast<Solution>(sc::cSolutionCount));
    EXPECT_EQ(solver.getStatusName(), nullptr);
    EXPECT_EQ(sc::printedName(static_cast<Solution>(255)), nullptr);

    using S = sl::Solver<double>;
    S* pParent = S::create(nullptr, nullptr, td::String("NR"), td::String(), 70000, 1e-4, 0);
    ASSERT_NE(pParent, nullptr);
    S* pChild = S::create(pParent, nullptr, td::String("NL"), td::String("real"), 20, 1e-3, 12);
    ASSERT_NE(pChild, nullptr);
    EXPECT_EQ(pChild->getSolverType(), sc::SolverType::NR);
    EXPECT_EQ(pChild->getParent(), pParent);
    EXPECT_EQ(pChild->getLine(), 12u);
    EXPECT_EQ(pChild->getMaxIter(), 20);
    EXPECT_EQ(pChild->getEps(), 1e-3);
    EXPECT_EQ(pParent->getMaxIter(), 65535);
    for (const char* word : {"nr", "NR ", "", "N", "NRX", "Nl"})
        EXPECT_EQ(S::create(nullptr, nullptr, td::String(word), td::String(), 100, 1e-6, 0), nullptr) << word;

    // Signals are counted by kind and passed on.
    struct Listener final : sc::ISignal
    {
        void signal(td::BYTE code) override { codes.push_back(code); }
        std::vector<td::BYTE> codes;
    } listener;
    pChild->signal(4);
    pChild->setSignalListener(&listener);
    pChild->signal(4);
    pChild->signal(0);
    EXPECT_EQ(pChild->getSignalCount(4), 2u);
    EXPECT_EQ(pChild->getSignalCount(0), 1u);
    EXPECT_EQ(listener.codes, (std::vector<td::BYTE>{4, 0}));
    pChild->release();
    pParent->release();
}
template <typename T> class SymbolNames : public ::testing::Test
{
};
TYPED_TEST_SUITE(SymbolNames, Builds);

// The messages of a build that fails: its keys, one a line.
template <typename T, typename S> std::string failedBuildKeys(const std::string& text)
{
    BuiltSolver<T, S> s;
    EXPECT_FALSE(s.build(text)) << text;
    return s.keys();
}

TYPED_TEST(SymbolNames, EveryIndexAModelHoldsHasItsNameForMessages)
{
    using NR = sl::NRSolver<TypeParam>;
    using DAE = sl::DAESolver<TypeParam>;
    // The states, stages and histories a DAE build adds, the time parameters and the
    // solver-status symbols all answer by name; past them there is none.
    BuiltSolver<TypeParam, DAE> dae;
    ASSERT_TRUE(dae.build("Model [type = DAE, method = RK4]:\nVars:\nx = 0\ny = 0\nParams:\nk = 1\nTFs:\n"
                          "y / x = 1/(s + 1)\nODEs:\nx' = -k*x\nend\n"))
        << dae.keys();
    const char* const names[] = {"x",       "y",        "x#k1",     "x#k2",      "y'x1",     "y'x1#k1",
                                 "y'x1#k2", "k",        "dT",       "t",         "x@_",      "y'x1@_",
                                 "repeat#", "succRep#", "outIter#", "baseIter#", "totIter#", "solState#",
                                 "reqEps#", "obtEps#",  "startT#",  "endT#"};
    const td::INT4 n = static_cast<td::INT4>(std::size(names));
    for (td::INT4 i = 0; i < n; ++i)
    {
        const char* name = dae.pSolver->getSymbolName(i);
        EXPECT_STREQ(name ? name : "(none)", names[i]) << i;
    }
    EXPECT_EQ(dae.pSolver->getSymbolName(n), nullptr);
    EXPECT_EQ(dae.pSolver->getSymbolName(-1), nullptr);

    // A statement that names a solver-status symbol, or a symbol read before the
    // declarations of a DAE model, is reported with that name.
    const std::string label = std::string(sc::msg::etLabelAfterOperand) + ": ";
    auto reports = [&label](const std::string& keys, const char* name) {
        return keys.find(label + name + "\n") != std::string::npos;
    };
    EXPECT_TRUE(reports(failedBuildKeys<TypeParam, NR>("Model [type = NL]:\nVars:\nx = 1\nParams:\np = 0\nNLEs:\n"
                                                       "x = 2\nPostProc:\np = (x)repeat#\nend\n"),
                        "repeat#"));
    const std::string tf = "Model [type = DAE, method = Trapez]:\nVars:\ny = 0\nParams:\nu = 1\nK = 2\nTFs:\n";
    EXPECT_TRUE(reports(failedBuildKeys<TypeParam, DAE>(tf + "y / u = (2K*s + 1)/(s + 1)\nend\n"), "K"));
    EXPECT_TRUE(reports(failedBuildKeys<TypeParam, DAE>(tf + "y / u = 1/(s + 1)endT#\nend\n"), "endT#"));
    EXPECT_TRUE(reports(failedBuildKeys<TypeParam, DAE>("Model [type = DAE, method = RK4]:\nVars:\nx = 0\nv = 0\n"
                                                        "ODEs:\nx' = v\nNLEs:\nv = (x)solState#\nend\n"),
                        "solState#"));
    if constexpr (std::is_same_v<TypeParam, Cmplx>)
    {
        EXPECT_TRUE(reports(failedBuildKeys<TypeParam, NR>("Model [type = NL, domain = cmplx]:\nVars:\nIa = 1\n"
                                                           "Params:\nPl = 1\nNLEs:\nIa = 2\nPostProc:\n"
                                                           "Pl = Pl*conj(Ia)baseIter#\nend\n"),
                            "baseIter#"));
    }
}

// One build on a solver that another build made before: the new build drops everything of
// the last one first.
template <typename T, typename S> struct Rebuilt
{
    Rebuilt() : pSolver(BuiltSolver<T, S>::makeSolver(&log)) {}
    ~Rebuilt() { pSolver->release(); }
    Rebuilt(const Rebuilt&) = delete;
    Rebuilt& operator=(const Rebuilt&) = delete;

    bool build(const std::string& text)
    {
        models.push_back(std::make_unique<test::LoadedModel>());
        if (!models.back()->fromString("Header:\nmaxIter = 100\nend\n" + text))
        {
            ADD_FAILURE() << "load failed:\n" << models.back()->errors();
            return false;
        }
        return pSolver->init(&models.back()->naming, *models.back()->model, true);
    }
    std::string lastKey() const { return log.messages.empty() ? "" : log.messages.back().text; }
    // A solve, or a reset and two steps of a time-stepping kind.
    Solution run()
    {
        if (!pSolver->getTime())
            return pSolver->solve();
        pSolver->setStepSize(0.5);
        return pSolver->reset(0) ? pSolver->step(2) : Solution::SolutionError;
    }

    test::RecordingLog log;
    std::vector<std::unique_ptr<test::LoadedModel>> models;
    S* pSolver;
};

// Every kind's text entry takes the one build road: a failed build reports the kind's key
// and leaves nothing to solve, the good build before it dropped; the next good build runs
// as a first one does.
template <typename T, typename S> void expectOneBuildRoad(const char* word, const char* equations, const char* key)
{
    SCOPED_TRACE(word);
    const std::string head = std::string("Model [type = ") + word + "]:\nVars:\nx = 1\nParams:\nk = 2\n";
    const std::string good = head + equations + "end\n";
    // A label after an operand: the tokenized model loads, its build fails.
    const std::string bad = head + equations + "PostProc:\nk = (x)k\nend\n";
    Rebuilt<T, S> s, fresh;
    ASSERT_TRUE(s.build(good)) << s.lastKey();
    ASSERT_EQ(s.run(), Solution::OK);
    EXPECT_FALSE(s.build(bad));
    EXPECT_EQ(s.lastKey(), key);
    EXPECT_EQ(s.pSolver->solve(), Solution::SolutionError);
    EXPECT_EQ(s.pSolver->step(1), Solution::SolutionError);
    ASSERT_TRUE(s.build(good)) << s.lastKey();
    ASSERT_TRUE(fresh.build(good));
    EXPECT_EQ(s.run(), fresh.run());
    EXPECT_EQ(s.pSolver->getNumberOfIterations(), fresh.pSolver->getNumberOfIterations());
    T x{}, y{};
    ASSERT_TRUE(s.pSolver->getVariableValue("x", x));
    ASSERT_TRUE(fresh.pSolver->getVariableValue("x", y));
    EXPECT_EQ(x, y);
}

template <typename T> class BuildRoad : public ::testing::Test
{
};
TYPED_TEST_SUITE(BuildRoad, Builds);

TYPED_TEST(BuildRoad, EveryKindsTextEntryTakesTheOneRoad)
{
    using T = TypeParam;
    namespace msg = sc::msg;
    expectOneBuildRoad<T, sl::NRSolver<T>>("NL", "NLEs:\nx^2 = k\n", msg::scNLReadFail);
    expectOneBuildRoad<T, sl::WLSSolver<T>>("WLS", "WLSEs:\nx = 1.9\nx = k\n", msg::scWLSReadFail);
    expectOneBuildRoad<T, sl::ODESolver<T>>("ODE", "ODEs:\nx' = -k*x\n", msg::scODEReadModelError);
    expectOneBuildRoad<T, sl::DAESolver<T>>("DAE", "ODEs:\nx' = -k*x\n", msg::scErrorDAEInit);
}

} // namespace
