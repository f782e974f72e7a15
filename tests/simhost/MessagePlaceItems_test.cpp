// Where each kind of refusal and warning of a model text stands, as a host of the model library
// sees it: the first message's key, its line counted from the text's first line and the column
// of the token it names, both counted in the test's own text; the messages after it stand at
// lines of the text too.
#include <complex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/RecordingLog.h"
#include <sc/MessageKeys.h>
#include <sc/ModelFactories.h>

namespace
{
using Cmplx = std::complex<double>;
using test::RecordingLog;
namespace msg = sc::msg;

struct Place
{
    unsigned line = 0, col = 0;
};

// The place of token on the one line of text that reads line (the n-th occurrence of the
// token on it, from 1).
Place placeOf(const std::string& text, const std::string& line, const std::string& token, int n = 1)
{
    Place p;
    const std::string whole = "\n" + text;
    const std::size_t start = whole.find("\n" + line + "\n");
    EXPECT_NE(start, std::string::npos) << line;
    EXPECT_EQ(whole.find("\n" + line + "\n", start + 1), std::string::npos) << "twice: " << line;
    if (start == std::string::npos)
        return p;
    p.line = 1;
    for (std::size_t i = 0; i < start; ++i)
        p.line += text[i] == '\n';
    std::size_t at = std::string::npos;
    for (int k = 0; k < n; ++k)
        at = line.find(token, at == std::string::npos ? 0 : at + 1);
    EXPECT_NE(at, std::string::npos) << token << " in " << line;
    p.col = static_cast<unsigned>(at) + 1;
    return p;
}

enum class Kind
{
    NLE,
    WLS,
    ODE,
    DAE
};

template <typename T> bool load(Kind kind, const std::string& text, RecordingLog& log)
{
    sc::IStatic::Problem problem = kind == Kind::WLS ? sc::IStatic::WLS : sc::IStatic::NLE;
    bool loaded = false;
    if (kind == Kind::ODE || kind == Kind::DAE)
    {
        auto* p = sc::createRealDynamicModel(kind == Kind::ODE ? sc::IDynamic::ODE : sc::IDynamic::DAE, &log, 50);
        loaded = p->initFromString(td::String(text));
        p->release();
    }
    else if constexpr (std::is_same_v<T, double>)
    {
        auto* p = sc::createRealStaticModel(problem, &log, 50);
        loaded = p->initFromString(td::String(text));
        p->release();
    }
    else
    {
        auto* p = sc::createCmplxStaticModel(problem, &log, 50);
        loaded = p->initFromString(td::String(text));
        p->release();
    }
    return loaded;
}

// One text with its first message: the key (the start of the message's text), the line that
// holds it and the token on that line it stands at.
struct Case
{
    const char* what;
    Kind kind;
    std::string text;
    std::string key;
    std::string line;
    std::string token;
    sc::ILog::Type type = sc::ILog::Error;
    int nth = 1;
};

std::string lineOf(const std::string& text, unsigned n)
{
    std::size_t start = 0;
    for (unsigned i = 1; i < n && start != std::string::npos; ++i)
        start = text.find('\n', start) + 1;
    return start == std::string::npos ? std::string() : text.substr(start, text.find('\n', start) - start);
}

template <typename T> void expectFirstMessage(const Case& c)
{
    SCOPED_TRACE(std::string(c.what) + "\n" + c.text);
    RecordingLog log;
    const bool loaded = load<T>(c.kind, c.text, log);
    EXPECT_EQ(loaded, c.type != sc::ILog::Error);
    const RecordingLog::Message* pFirst = nullptr;
    unsigned nLines = 1;
    for (char ch : c.text)
        nLines += ch == '\n';
    for (const RecordingLog::Message& m : log.messages)
    {
        if (m.type == sc::ILog::Info)
            continue;
        pFirst = pFirst ? pFirst : &m;
        EXPECT_GE(m.line, 1u) << m.text;
        EXPECT_LE(m.line, nLines) << m.text;
        EXPECT_GE(m.col, 1u) << m.text;
        EXPECT_LE(m.col, lineOf(c.text, m.line).size() + 1) << m.text;
    }
    ASSERT_NE(pFirst, nullptr);
    const Place at = placeOf(c.text, c.line, c.token, c.nth);
    EXPECT_EQ(pFirst->text.substr(0, c.key.size()), c.key);
    EXPECT_EQ(pFirst->line, at.line) << pFirst->text;
    EXPECT_EQ(pFirst->col, at.col) << pFirst->text;
    EXPECT_EQ(pFirst->type, c.type) << pFirst->text;
}

const std::string cHeader = "Header:\nmaxIter = 50\ndTime = 0.1\nend\n";

std::string nl(const std::string& body) { return cHeader + "Model [type = NL]:\n" + body + "end\n"; }
std::string wls(const std::string& body) { return cHeader + "Model [type = WLS]:\n" + body + "end\n"; }
std::string ode(const std::string& body) { return cHeader + "Model [type = ODE]:\n" + body + "end\n"; }
std::string dae(const std::string& body) { return cHeader + "Model [type = DAE, method = Trapez]:\n" + body + "end\n"; }

// Counts at their group's line with the counts; a statement that makes a count wrong first,
// at its place.
const std::vector<Case>& countCases()
{
    static const std::vector<Case> cases = {
        {"NR equations too few", Kind::NLE, nl("Vars:\nx = 1; y = 1\nNLEs:\nx = 1\n"),
         "@CS.#Vars!=#Eqs: 2 variables, 1 equation", "NLEs:", "NLEs"},
        {"NR equations, one split", Kind::NLE, nl("Vars:\nx = 1; y = 1\nNLEs:\nx + y =\n3\nx - y = 1\n"),
         msg::scEqEndsWithEq, "x + y =", "="},
        {"NR without equations, at the model line", Kind::NLE, nl("Vars:\nx = 1\n"), "@CS.#Vars!=#Eqs",
         "Model [type = NL]:", "Model"},
        {"WLS too few", Kind::WLS, wls("Vars:\nx = 1; y = 1; z = 1\nWLSEs:\nx = 1\nECs:\ny = 2\n"),
         "@SC.WLSNotEnoughEQs: 3 variables, 2 equations", "WLSEs:", "WLSEs"},
        {"WLS without measurements", Kind::WLS, wls("Vars:\nx = 1\nECs:\nx = 2\n"), msg::scWLSNoWLSEs,
         "Model [type = WLS]:", "Model"},
        {"ODEs too few", Kind::ODE, ode("Vars:\nx = 1; v = 0\nODEs:\nx' = v\n"),
         "@SC.#Vars!=#ODEs: 2 variables, 1 equation", "ODEs:", "ODEs"},
        {"ODE of a parameter", Kind::ODE, ode("Vars:\nx = 1; v = 0\nParams:\nk = 2\nODEs:\nx' = v\n  k' = x\n"),
         msg::scODEExpectedVariable, "  k' = x", "k"},
        {"a state given twice", Kind::ODE, ode("Vars:\nx = 1; v = 0\nODEs:\nx' = v\n x' = -x\n"), msg::scDAEEqError,
         " x' = -x", "x"},
        {"ODE model without ODEs", Kind::ODE, ode("Vars:\nx = 1\n"), msg::scNoODEEqs, "Model [type = ODE]:", "Model"},
        {"DAE equations too few", Kind::DAE, dae("Vars:\nx = 0; u = 0; z = 0\nODEs:\nx' = -x + u\nNLEs:\nu = 1\n"),
         "@SC.Vars!=#Eqs: 3 variables, 2 equations", "NLEs:", "NLEs"},
        {"DAE state twice", Kind::DAE, dae("Vars:\nx = 0; u = 0\nODEs:\nx' = -x + u\n x' = u\nNLEs:\nu = 1\n"),
         msg::scODENotOK, " x' = u", "x"},
        {"DAE with two ODEs joined", Kind::DAE,
         dae("Vars:\nx = 0; v = 0; u = 0\nODEs:\nx' = v v' = -x\nNLEs:\nu = 1\n"), msg::scDoubleEq, "x\' = v v\' = -x",
         "=", sc::ILog::Error, 2},
        {"DAE without ODEs or transfer functions", Kind::DAE, dae("Vars:\nx = 0\nNLEs:\nx = 1\n"), msg::scNoDAEorTFEqs,
         "Model [type = DAE, method = Trapez]:", "Model"},
    };
    return cases;
}

// Blocks and branches, groups out of place, group lines and declarations broken.
const std::vector<Case>& structureCases()
{
    static const std::vector<Case> cases = {
        {"an if whose end is missing, before a group", Kind::NLE,
         nl("Vars:\nx = 1\nParams:\np = 1\nPreProc:\n  if x > 0\n    p = 1\nNLEs:\nx = p\n"), msg::mlBlockWithoutEnd,
         "  if x > 0", "if"},
        {"a switch whose end is missing, at the text's end", Kind::NLE,
         cHeader + "Model [type = NL]:\nVars:\nx = 1\nParams:\np = 1\nNLEs:\nx = 1\nPostProc:\nswitch\ncase x > 0\n"
                   "p = 1\ndefault\np = 2\n",
         msg::mlBlockWithoutEnd, "switch", "switch"},
        {"else if is no chain", Kind::NLE,
         nl("Vars:\nx = 1\nParams:\np = 1\nNLEs:\nx = 1\nPostProc:\nif x > 1\n p = 2\nelse if x > 0\n p = 3\nend\n"),
         msg::mlBlockWordNotFirst, "else if x > 0", "if"},
        {"a stray else", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\nx = 1\n  else\n"), msg::mlBranchWithoutBlock, "  else",
         "else"},
        {"a stray case", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\ncase x > 0\nx = 1\n"), msg::mlBranchWithoutBlock,
         "case x > 0", "case"},
        {"a stray default", Kind::NLE, nl("Vars:\nx = 1\nParams:\np = 1\nNLEs:\nx = 1\nPostProc:\np = 2; default\n"),
         msg::mlBranchWithoutBlock, "p = 2; default", "default"},
        {"an else with a statement", Kind::NLE,
         nl("Vars:\nx = 1\nParams:\np = 1\nNLEs:\nx = 1\nPostProc:\nif x > 1\n p = 2\nelse p = 3\n p = 4\nend\n"),
         msg::mlExprAfterElse, "else p = 3", "p"},
        {"a sub-model after the equations", Kind::NLE,
         nl("Vars:\nx = 1\nNLEs:\nx = 2\n SubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu = 1\nend\n"),
         msg::mlSubModelAfterEquations, " SubModel [type = NL]:", "SubModel"},
        {"a group before the model line", Kind::NLE, cHeader + "Vars:\nx = 1\nModel [type = NL]:\nNLEs:\nx = 2\nend\n",
         msg::mlGroupBeforeModel, "Vars:", "Vars"},
        {"a declaration without its name", Kind::NLE, nl("Vars:\nx = 1\n  = 2\nNLEs:\nx = 1\n"),
         msg::mlDeclarationWithoutName, "  = 2", "="},
        {"a group line without its name", Kind::NLE, nl("Vars:\nx = 1\nParams:\np = 1\nNLEs:\nx = p\n :\np = 2\n"),
         msg::mlGroupNameMissing, " :", ":"},
        {"a group line joined to the line before", Kind::NLE, nl("Vars:\nx = 1\nParams:\np = 1 NLEs:\nx = p\n"),
         msg::mlGroupNotFirst, "p = 1 NLEs:", "NLEs"},
        {"a header without its end", Kind::NLE,
         "Header:\nmaxIter = 50\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n", msg::mlHeaderWithoutEnd,
         "Header:", "Header"},
    };
    return cases;
}

// Refusals of a statement's tokens: at the token, naming only what the text holds.
const std::vector<Case>& tokenCases()
{
    static const std::vector<Case> cases = {
        {"not before a function call", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\nx = 1 + not sin(x)\n"),
         msg::etOperatorWoOprnd, "x = 1 + not sin(x)", "not"},
        {"an equation sign after an opening bracket", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\nsin( = x\n"),
         msg::etOperatorWoOprnd, "sin( = x", "="},
        {"an equation sign with nothing before it", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\n  = x\n"),
         msg::etOperatorWoOprnd, "  = x", "="},
        {"an operator right after the equation sign", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\nx = * 2\n"),
         "@ET.OperAfterOper: *, =", "x = * 2", "*"},
        {"a power of s to a parameter", Kind::DAE,
         dae("Vars:\ny = 0; u = 0\nParams:\np = 2\nTFs:\ny / u = 1/(s^p + 1)\nNLEs:\nu = 1\n"), msg::etTFBadFormat,
         "y / u = 1/(s^p + 1)", "^"},
        {"a power of a sum of s", Kind::DAE, dae("Vars:\ny = 0; u = 0\nTFs:\ny / u = 1/(s + 1)^2\nNLEs:\nu = 1\n"),
         msg::etTFDenomBadFormat, "y / u = 1/(s + 1)^2", "^"},
        {"a function of s", Kind::DAE, dae("Vars:\ny = 0; u = 0\nTFs:\ny / u = 2*sin(s)\nNLEs:\nu = 1\n"),
         msg::etTFNomBadFormat, "y / u = 2*sin(s)", "sin"},
        {"a transfer function too short", Kind::DAE, dae("Vars:\ny = 0; u = 0\nTFs:\ny / u = s\nNLEs:\nu = 1\n"),
         msg::scTFsWrongFormat, "y / u = s", "s"},
    };
    return cases;
}

// What the model library and the solvers add after a refusal, and the header's warnings:
// each at its place.
const std::vector<Case>& libraryCases()
{
    static const std::vector<Case> cases = {
        {"maxIter below 2", Kind::NLE,
         "Header:\nmaxIter = 1\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n",
         "Too small value for maxIter!", "maxIter = 1", "1", sc::ILog::Warning},
        {"dTime not above 0", Kind::NLE,
         "Header:\n  dTime = 0\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n",
         "Too small value for dTime!", "  dTime = 0", "0", sc::ILog::Warning},
        {"an integer setting cut", Kind::NLE,
         "Header:\nmaxIter = 2.9\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n",
         std::string(msg::mlHeaderRealCut) + " (maxIter)", "maxIter = 2.9", "2.9", sc::ILog::Warning},
        {"a weight of no symbol", Kind::WLS, wls("Vars:\nx = 1\nWLSEs:\nx = 1 [w = q]\n"), msg::scWeightNotASymbol,
         "x = 1 [w = q]", "q", sc::ILog::Warning},
        {"a negative weight", Kind::WLS, wls("Vars:\nx = 1\nWLSEs:\nx = 1 [w = -2]\n"), msg::scNegativeWeight,
         "x = 1 [w = -2]", "-", sc::ILog::Warning},
        {"a model line without a type", Kind::NLE,
         cHeader + "Model [eps = 1e-6, name = \"m\"]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n", "MS.UndefindeModelType",
         "Model [eps = 1e-6, name = \"m\"]:", "Model"},
        {"a sub-model of a kind that cannot be made", Kind::NLE,
         nl("Vars:\nx = 1\nSubModel [type = ODE, eps = 1e-6]:\nVars:\nu = 0\nODEs:\nu' = 1\nend\nNLEs:\nx = 1\n"),
         msg::scCannotCreateSolver, "SubModel [type = ODE, eps = 1e-6]:", "ODE"},
        {"a section that fails", Kind::NLE, nl("Vars:\nx = 1\nNLEs:\nx = 1\nPostProc:\nx = 2 +\n"),
         msg::etOperatorWoOprnd, "x = 2 +", "+"},
    };
    return cases;
}

template <typename T> class MessagePlaceItems : public testing::Test
{
};
using ValueTypes = testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(MessagePlaceItems, ValueTypes);

template <typename T> void expectAll(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
    {
        // The dynamic models are real only.
        if (std::is_same_v<T, double> || c.kind == Kind::NLE || c.kind == Kind::WLS)
            expectFirstMessage<T>(c);
    }
}

TYPED_TEST(MessagePlaceItems, CountsStandAtTheirGroupWithTheCounts) { expectAll<TypeParam>(countCases()); }

TYPED_TEST(MessagePlaceItems, BlocksGroupsAndDeclarationsStandWhereTheyBreak)
{
    expectAll<TypeParam>(structureCases());
}

TYPED_TEST(MessagePlaceItems, TokensOfAStatementStandAtTheToken) { expectAll<TypeParam>(tokenCases()); }

TYPED_TEST(MessagePlaceItems, TheLibrarysWarningsAndRefusalsStandAtTheirPlace) { expectAll<TypeParam>(libraryCases()); }

// The messages that follow a refusal stand at the lines of what refused: the section's group,
// the model, and the model library's at the model line; a complex model in the real model at
// its domain.
TYPED_TEST(MessagePlaceItems, FollowUpsStandAtTheGroupAndTheModel)
{
    const std::string text = nl("Vars:\nx = 1\nNLEs:\nx = 1\nPostProc:\nx = 2 +\n");
    RecordingLog log;
    EXPECT_FALSE(load<TypeParam>(Kind::NLE, text, log));
    std::vector<std::string> got;
    for (const RecordingLog::Message& m : log.messages)
        got.push_back(m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col));
    // The statement on line 11, its group on line 10, the model on line 5.
    const std::vector<std::string> expected = {"@ET.OperatorWoOprnd @11:7", "@SC.CannotMakeExpression @11:1",
                                               "@SC.ErrInPostProc @10:1", "@SC.NLReadFail @5:1",
                                               "Cannot init the solver! @5:1"};
    EXPECT_EQ(got, expected);

    if constexpr (std::is_same_v<TypeParam, double>)
    {
        RecordingLog complexLog;
        const std::string cmplx = cHeader + "Model [type = NL, domain = cmplx]:\nVars:\nz = 1\nNLEs:\nz = 1i\nend\n";
        EXPECT_FALSE(load<double>(Kind::NLE, cmplx, complexLog));
        ASSERT_EQ(complexLog.messages.size(), 1u);
        EXPECT_EQ(complexLog.messages[0].text, "Cannot use complex domain model with real domain solver!");
        const Place at = placeOf(cmplx, "Model [type = NL, domain = cmplx]:", "cmplx");
        EXPECT_EQ(complexLog.messages[0].line, at.line);
        EXPECT_EQ(complexLog.messages[0].col, at.col);
    }
}

// What loads stays as it loaded: a weight the warnings tell of, and a fraction cut from an
// integer setting, load.
TYPED_TEST(MessagePlaceItems, WarnedTextsStillLoad)
{
    for (const std::string& text : std::vector<std::string>{
             wls("Vars:\nx = 1\nWLSEs:\nx = 1 [w = q]\n"), wls("Vars:\nx = 1\nWLSEs:\nx = 1 [w = -2]\n"),
             "Header:\nmaxIter = 2.9\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 1\nend\n"})
    {
        RecordingLog log;
        const Kind kind = text.find("WLS") != std::string::npos ? Kind::WLS : Kind::NLE;
        EXPECT_TRUE(load<TypeParam>(kind, text, log)) << text;
        EXPECT_EQ(log.countOfType(sc::ILog::Error), 0u) << text;
    }
}
} // namespace
