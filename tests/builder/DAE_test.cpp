#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "DAEReader.h"
#include "TFReader.h"

namespace
{
using sc::ModelLevel;
using test::Cmplx;
namespace msg = sc::msg;

const char* const s_methods[] = {"Euler", "Trapez", "RK4", "RK6"};

// The DAE entry over a store solver: the model line, then body, then "end".
template <typename T> struct DaeBuild : test::Build<T>
{
    bool run(const std::string& method, const std::string& body)
    {
        const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
        this->load("Model [type = DAE" + std::string(domain) + ", method = " + method + "]:\n" + body + "end\n");
        this->bind();
        return this->template pass<sl::DAEReader>().initDAE(this->loaded.naming, *this->loaded.model, this->data,
                                                            ModelLevel::Main);
    }

    sl::SolverStores<T>& stores() { return this->solver.stores; }

    // Names of symbols first .. last - 1, blank-separated.
    std::string names(td::UINT4 first, td::UINT4 last)
    {
        std::string s;
        for (td::UINT4 i = first; i < last; ++i)
        {
            if (!s.empty())
                s += ' ';
            s += stores().symbols.nameAt(i)->c_str();
        }
        return s;
    }
    // Variable types and, for every variable with one, its record "name:hist/stage/tf".
    std::string kinds()
    {
        std::string s;
        for (td::UINT4 i = 0; i < stores().nVars; ++i)
            s += std::to_string(stores().symbolInfo[i].varType);
        for (td::UINT4 i = 0; i < stores().daeVarRecords.size(); ++i)
        {
            const sl::DAEVarRecord& r = stores().daeVarRecords[i];
            if (r.histParam < 0 && r.firstStage < 0 && r.firstTFState < 0)
                continue;
            s += ' ';
            s += stores().symbols.nameAt(i)->c_str();
            const td::INT4 fields[] = {r.histParam, r.firstStage, r.firstTFState};
            for (int f = 0; f < 3; ++f)
            {
                s += f == 0 ? ':' : '/';
                s += std::to_string(fields[f]);
            }
        }
        return s;
    }
    // The messages as "key column", and whether all stand at line.
    std::vector<std::string> keysAt(td::UINT4 line, bool& allAtLine) const
    {
        std::vector<std::string> out;
        allAtLine = true;
        for (const test::RecordingLog::Message& m : this->log.messages)
        {
            out.push_back(m.text + " " + std::to_string(m.col));
            allAtLine = allAtLine && m.line == line;
        }
        return out;
    }
};

TEST(DAEBuild, MethodWords)
{
    struct Case
    {
        const char* word;
        td::BYTE method;
        bool warns;
    } cases[] = {{"Trapezoidal", 1, false}, {"trapez", 1, true}, {"RK3", 1, true},   {"RK2", 1, false},
                 {"RK4", 2, false},         {"RK6", 3, false},   {"Euler", 0, false}};
    for (const Case& c : cases)
    {
        DaeBuild<double> b;
        b.load(std::string("Model [type = DAE, method = ") + c.word + "]:\nVars:\nx = 0\nODEs:\nx' = -x\nend\n");
        b.bind();
        b.pass<sl::DAEReader>().initIntegrationMethod(*b.loaded.model, ModelLevel::Main);
        EXPECT_EQ(b.data.results.IntegrationMethod, c.method) << c.word;
        // At the word: line 4 behind the three header lines, column 29 behind "Model [type = DAE, method = ".
        EXPECT_EQ(b.keys(), c.warns ? "@SC.WrongDAEMethod @4:29\n" : "") << c.word;
        if (c.warns)
        {
            EXPECT_EQ(b.log.messages[0].type, sc::ILog::Warning);
        }
    }
    DaeBuild<double> sub;
    sub.load("Model [type = NL]:\nVars:\nx = 1\nSubModel [type = DAE, method = RK3]:\nVars:\nz = 0\nODEs:\nz' = -z\n"
             "end\nNLEs:\nx = 2\nend\n");
    sub.bind();
    sub.pass<sl::DAEReader>().initIntegrationMethod(*sub.loaded.model, ModelLevel::Sub);
    EXPECT_EQ(sub.firstKey(), msg::scWrongDAEMethodSM);
}

TEST(DAEBuild, GeneratedSymbolsTheirKindsAndRecords)
{
    struct Case
    {
        const char* method;
        const char* body;
        const char* variables;
        const char* parameters;
        const char* kinds;
    } cases[] = {
        // 2 ODEs and an NL equation under RK6: 3 + 2*3 variables, 2 history parameters, 9 rows.
        {"RK6", "Vars:\nx = 0\nv = 0\nw = 0\nODEs:\nv' = -x\nx' = v\nNLEs:\nw = x + v\n",
         "x v w x#k1 x#k2 x#k3 v#k1 v#k2 v#k3", "dT t x@_ v@_", "331111111 x:2/3/-1 v:3/6/-1"},
        // A first-order function under Euler: one state, its history, two rows.
        {"Euler", "Vars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nNLEs:\nu = 1\n", "y u y'x1", "dT t y'x1@_",
         "114 y:-1/-1/2 y'x1:2/-1/-1"},
        // Improper under RK4: states after y, then after u, each with its stages; y#div last.
        {"RK4", "Vars:\ny = 0\nu = 0\nTFs:\ny / u = (s^2 + 1)/(s + 2)\nNLEs:\nu = 1\n",
         "y u y'x1 y'x1#k1 y'x1#k2 u'x1 u'x1#k1 u'x1#k2 y#div", "dT t y'x1@_ u'x1@_",
         "114114112 y:-1/-1/2 y'x1:2/3/-1 u'x1:3/6/-1"},
        // A polynomial of a parameter input beside an ODE: ODE stages first, states after u;
        // f(s) may begin with s.
        {"Trapez", "Vars:\nx = 0\ny = 0\nParams:\np = 1\nTFs:\ny / p = s*2\nODEs:\nx' = y - x\n", "x y p'x1",
         "p dT t x@_ p'x1@_", "314 x:3/-1/-1 y:-1/-1/2 p'x1:4/-1/-1"},
    };
    for (const Case& c : cases)
    {
        DaeBuild<double> b;
        ASSERT_TRUE(b.run(c.method, c.body)) << c.body << b.keys();
        const td::UINT4 nVars = b.stores().nVars, nParams = b.stores().nParams;
        EXPECT_EQ(b.names(0, nVars), c.variables) << c.body;
        EXPECT_EQ(b.names(nVars, nVars + nParams), c.parameters) << c.body;
        EXPECT_EQ(b.kinds(), c.kinds) << c.body;
        EXPECT_EQ(b.stores().equations.size(), nVars) << c.body;
        EXPECT_EQ(b.data.results.nEquations, nVars) << c.body;
        EXPECT_EQ(b.names(nVars + nParams + 5, nVars + nParams + 6), "solState#");
    }
}

// One statement of a small model: its keys in order ("key column"), all at its line.
TEST(DAEBuild, StatementKeys)
{
    struct Case
    {
        const char* method;
        const char* tf;
        const char* ode;
        std::vector<std::string> keys;
    } cases[] = {
        {"Trapez", "y / u = 1/(s+1)", "x'", {"@SC.ODEWrongFormat 1", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "p' = x", {"@SC.ODEExpectedVariable 1", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x' x", {"@SC.ODEExpected=Token 4", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x + 1 = 0", {"@SC.ODEExpected'or= 3", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x' = int(x)", {"@SC.DerivAndIntAvailable 6", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x = 2*y", {"@SC.NoDerivNoInt 1", "@SC.ODENotOK 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x' =", {"@SC.BadExpression 4", "@SC.WrongODEExp 1", "@SC.DAEEqError 1"}},
        {"Trapez",
         "y / u = 1/(s+1)",
         "x' = x +",
         {"@ET.OperatorWoOprnd 8", "@SC.CannotCrODEExpTree 1", "@SC.DAEEqError 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x = int(x)*int(y)", {"@SC.ODEHasMultInts 1", "@SC.DAEEqError 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x = int(x) + 1", {"@SC.ODEIntWrongOperators 1", "@SC.DAEEqError 1"}},
        {"Trapez", "y / u = 1/(s+1)", "x = x*int(y)", {"@SC.ODEIntWithSS 1", "@SC.DAEEqError 1"}},
        // t where a call takes a single token has no history copy.
        {"Trapez", "y / u = 1/(s+1)", "x' = -x + round(x, t)", {"@SC.DAEEqExp0Error 1"}},
        {"Euler",
         "y / u = 1/(s+1)",
         "x' = -x + (x > 1)",
         {"@ET.CantDiff 14", "@ET.ErrDifEqua 1", "@SC.DAEEqExp0DiffError 1"}},
        {"RK4",
         "y / u = 1/(s+1)",
         "x' = -x + (x > 1)",
         {"@ET.CantDiff 14", "@ET.ErrDifEqua 1", "@SC.DAEEqExpDiffError 1"}},
        // A right side or a transfer function that is a comparison, at the comparison.
        {"Trapez", "y / u = 1/(s+1)", "x' = x > 1", {"@SC.ComparisonAsEquation 8", "@SC.DAEEqError 1"}},
        {"RK4", "y / u = 1/(s+1)", "x' = (x < 1)", {"@SC.ComparisonAsEquation 9", "@SC.DAEEqError 1"}},
        {"Trapez", "y / u = 1/(s+1) > 0", "x' = -x", {"@SC.ComparisonAsEquation 17"}},
        // Too short: at f(s), which is.
        {"Trapez", "y / u = s", "x' = -x", {"@SC.TFsWrongFormat 9"}},
        {"Trapez", "y * u = 1/(s+1)", "x' = -x", {"@SC.TFsNoDiv1Operator 3"}},
        {"Trapez", "y / u + 1/(s+1)", "x' = -x", {"@SC.TFsNoAssignOperator 7"}},
        {"Trapez", "y / u = 1/(s+1) \"a\"", "x' = -x", {"@SC.UnexpectedToken 18", "@SC.TFsWrongTokens 9"}},
        {"Trapez", "y / u = 1/(s+1) +", "x' = -x", {"@ET.OperatorWoOprnd 17", "@SC.TFsCannotMakeET 9"}},
        {"Trapez", "y / u = sin(s)/(s+1)", "x' = -x", {"@ET.TFNomBadFormat 9", "@SC.TFBadFormat 9"}},
        {"Trapez", "y / u = 1/(s^-1 + 1)", "x' = -x", {"@ET.TFBadFormat 13", "@SC.TFBadFormat 9"}},
        {"Trapez", "y / u = 1/(s + 1)^2", "x' = -x", {"@ET.TFDenomBadFormat 18", "@SC.TFBadFormat 9"}},
        {"Trapez", "y / u = 1/(s^p + 1)", "x' = -x", {"@ET.TFBadFormat 13", "@SC.TFBadFormat 9"}},
        {"Trapez", "2 / u = 1/(s+1)", "x' = -x", {"@SC.WrongYInTF 1"}},
        {"Trapez", "p / u = 1/(s+1)", "x' = -x", {"@SC.TFYNotVariable 1"}},
        {"Trapez", "y / 2 = 1/(s+1)", "x' = -x", {"@SC.WrongUInTF 5"}},
        {"Trapez", "y / solState# = 1/(s+1)", "x' = -x", {"@SC.TFUNotVarNorParam 5"}},
        {"Trapez", "y / u = 1/(s + round(p, t))", "x' = -x", {"@SC.DAEExpandError 9"}},
        {"Trapez", "y / u = round(p, t)*s", "x' = -x", {"@SC.0Expansion 9"}},
        {"RK4", "y / u = 1/(s + round(x, 2))", "x' = -x", {"@ET.CantDiff 16", "@ET.ErrDifEqua 9", "@SC.DAENLDerivs 9"}},
        {"RK4", "y / u = round(x, 2)/(s+1)", "x' = -x", {"@ET.CantDiff 9", "@ET.ErrDifEqua 9", "@SC.DAENLJack2 9"}},
        {"RK4", "y / u = round(x, 2)*s", "x' = -x", {"@ET.CantDiff 9", "@ET.ErrDifEqua 9", "@SC.DAENLJack0Exp 9"}},
    };
    // Lines of the text (the model line is line 4): 12 the transfer function, 14 the ODE.
    // Problems of f(s) stand at its first token, column 9, a form refused for a term of it
    // at that term; a derivative that fails at the operation it cannot differentiate.
    const std::string declarations = "Vars:\nx = 0\ny = 0\nu = 0\nParams:\np = 1\nTFs:\n";
    for (const Case& c : cases)
    {
        DaeBuild<double> b;
        const std::string body = declarations + c.tf + "\nODEs:\n" + c.ode + "\nNLEs:\nu = 1\n";
        EXPECT_FALSE(b.run(c.method, body)) << c.tf << " | " << c.ode;
        bool atLine = false;
        const td::UINT4 line = std::string(c.ode) == "x' = -x" ? 12 : 14;
        EXPECT_EQ(b.keysAt(line, atLine), c.keys) << c.tf << " | " << c.ode;
        EXPECT_TRUE(atLine) << c.tf << " | " << c.ode << "\n" << b.keys();
    }
}

// Whole-model refusals, the mended faults among them: a second ODE of a state, and a name
// the build would generate that already names a symbol (never an alias of it).
TEST(DAEBuild, ModelRefusals)
{
    struct Case
    {
        const char* method;
        const char* body;
        const char* keys;
    } cases[] = {
        // A model without ODEs or transfer functions at its line; a count at the group whose
        // equations complete it, with the counts.
        {"Euler", "Vars:\nx = 0\nNLEs:\nx = 1\n", "@SC.NoDAEorTFEqs @4:1\n"},
        {"Euler", "Vars:\nx = 0\nv = 0\nODEs:\nx' = -x\n", "@SC.Vars!=#Eqs: 2 variables, 1 equation @8:1\n"},
        {"Euler", "Vars:\nx = 0\nz = 0\nODEs:\nx' = -x\nx' = z\n", "@SC.ODENotOK @10:1\n"},
        {"RK4", "Vars:\nx = 0\nx#k1 = 0\nODEs:\nx' = -x\nNLEs:\nx#k1 = 1\n", "@SC.GeneratedNameTaken @9:1\n"},
        {"Euler", "Vars:\nx = 0\nParams:\nx@_ = 1\nODEs:\nx' = -x\n", "@SC.GeneratedNameTaken @10:1\n"},
        {"Euler", "Vars:\ny = 0\nu = 0\ny#div = 0\nTFs:\ny / u = (s^2 + 1)/(s + 1)\nNLEs:\nu = 1\ny#div = 2\n",
         "@SC.GeneratedNameTaken @10:1\n"},
        // Two polynomials of one input would both name their state u'x1.
        {"Euler", "Vars:\ny = 0\nu = 0\nz = 0\nTFs:\ny / u = 2*s\nz / u = 3*s\nNLEs:\nu = 1\n",
         "@SC.GeneratedNameTaken @11:1\n"},
        // One output, two definitions: a second transfer function or an ODE of its output.
        {"Euler", "Vars:\ny = 0\nu = 0\nv = 0\nTFs:\ny / u = 1/(s + 1)\ny / u = 2/(s + 1)\nNLEs:\nu = 1\n",
         "@SC.TFOutputTaken @11:1\n"},
        {"Trapezoidal", "Vars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nODEs:\ny' = -u\n", "@SC.ODENotOK @11:1\n"},
    };
    for (const Case& c : cases)
    {
        DaeBuild<double> b;
        EXPECT_FALSE(b.run(c.method, c.body)) << c.body;
        EXPECT_EQ(b.keys(), c.keys) << c.body;
        // Each is found before the declarations pass ends.
        EXPECT_FALSE(b.data.declarationsDone) << c.body;
    }
}

// The statements of a long model read whole: a line's tokens may span two blocks of the
// token store. Padding statements before the transfer functions shift them until the head
// of one (y / u =) spans two blocks.
TEST(DAEBuild, StatementsAcrossTokenBlocks)
{
    const td::UINT4 block = 4096, n = 400;
    std::string vars = "Vars:\n", tfs = "TFs:\n", odes = "ODEs:\n";
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const std::string x = "x" + std::to_string(i), y = "y" + std::to_string(i);
        vars += x + " = 0\n" + y + " = 0\n";
        tfs += y + " / " + x + " = (s + 3)/(s^2 + 2*s + 5)\n";
        odes += x + "' = -" + x + " + " + y + "\n";
    }
    bool spanned = false;
    for (int pad = 0; pad < 40 && !spanned; ++pad)
    {
        std::string pre = "PreProc:\n" + std::string(pad % 2 ? "p = p\n" : "") + "p = 0";
        for (int k = 0; k < pad / 2; ++k)
            pre += " + 1";
        DaeBuild<double> b;
        b.load("Model [type = DAE, method = Euler]:\n" + vars + "Params:\np = 0\n" + pre + "\n" + tfs + odes + "end\n");
        for (auto it = ++b.group(sc::Group::TFs); !it.atEnd(); ++it)
            spanned = spanned || it.line().firstExpr % block > block - 4;
        if (!spanned)
            continue;
        b.bind();
        ASSERT_TRUE(b.pass<sl::DAEReader>().initDAE(b.loaded.naming, *b.loaded.model, b.data, ModelLevel::Main))
            << b.keys().substr(0, 200);
        EXPECT_EQ(b.stores().nVars, 4 * n);
        EXPECT_EQ(b.stores().equations.size(), 4 * n);
        EXPECT_EQ(b.stores().sections[sl::SolverStores<double>::PreProc].size(), 1u + pad % 2);
    }
    EXPECT_TRUE(spanned);
}

// A realisation that fails stops the build: the model would lack the function's rows.
TEST(DAEBuild, FailedRealisationFailsTheBuild)
{
    DaeBuild<double> b;
    b.load("Model [type = DAE, method = Euler]:\nVars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nNLEs:\nu = 1\nend\n");
    b.bind();
    sl::DAEReader<double> dae(b.builder);
    ASSERT_TRUE(dae.initDAE(b.loaded.naming, *b.loaded.model, b.data, ModelLevel::Main)) << b.keys();
    auto stmt = dae.records().tfs[0];
    stmt.tf.firstState = -1;
    td::UINT4 row = 0, nonZeros = 0;
    EXPECT_FALSE(b.pass<sl::TFReader>().expandTransferFunction(stmt, row, nonZeros));
    EXPECT_EQ(b.keys(), "@SC.TF2SSError @9:9\n");
}

TEST(DAEBuild, LimInAnODERowHasItsJacobianEntry)
{
    for (const char* method : s_methods)
    {
        DaeBuild<double> b;
        ASSERT_TRUE(b.run(method, "Vars:\nx = 0\nv = 0.5\nODEs:\nx' = lim(v, -1, 1)\nNLEs:\nv = 0.5\n")) << b.keys();
        // The step row of x (row 0) reads v through the limit.
        const std::string cells = ' ' + b.jacobian().positions() + ' ';
        EXPECT_NE(cells.find(" 0,1 "), std::string::npos) << method;
    }
}

// ---- the discretised system against the methods' own step ----

// x (n unknowns) = x - J^-1 F(x) by Gaussian elimination with partial pivoting.
template <typename T> void newtonStep(std::vector<T>& x, const std::vector<T>& f, const test::CellRecorder<T>& jac)
{
    const std::size_t n = x.size();
    std::vector<std::vector<T>> a(n, std::vector<T>(n + 1, T(0)));
    for (const auto& c : jac.cells)
        a[static_cast<std::size_t>(c.row)][static_cast<std::size_t>(c.col)] += c.value;
    for (std::size_t i = 0; i < n; ++i)
        a[i][n] = -f[i];
    for (std::size_t k = 0; k < n; ++k)
    {
        std::size_t p = k;
        for (std::size_t i = k + 1; i < n; ++i)
            if (std::abs(a[i][k]) > std::abs(a[p][k]))
                p = i;
        std::swap(a[k], a[p]);
        for (std::size_t i = k + 1; i < n; ++i)
        {
            const T m = a[i][k] / a[k][k];
            for (std::size_t j = k; j <= n; ++j)
                a[i][j] -= m * a[k][j];
        }
    }
    for (std::size_t k = n; k-- > 0;)
    {
        T s = a[k][n];
        for (std::size_t j = k + 1; j < n; ++j)
            s -= a[k][j] * a[j][n];
        a[k][n] = s / a[k][k];
        x[k] += a[k][n];
    }
}

// x' = -k*x and y / u = 1/(s + k) at u = 0 decay alike: one step multiplies both states by
// the method's stability function R(z), z = -k*dT.
template <typename T> void checkOneLinearStep()
{
    T k = T(2);
    if constexpr (sl::ValueTraits<T>::isComplex)
        k = T(2, 1);
    const double dT = 0.1;
    const T z = -k * dT;
    const T expected[] = {T(1) / (T(1) - z), (T(1) + z / 2.0) / (T(1) - z / 2.0),
                          (T(1) + z / 2.0 + z * z / 12.0) / (T(1) - z / 2.0 + z * z / 12.0),
                          (T(1) + z / 2.0 + z * z / 10.0 + z * z * z / 120.0) /
                              (T(1) - z / 2.0 + z * z / 10.0 - z * z * z / 120.0)};
    for (int m = 0; m < 4; ++m)
    {
        DaeBuild<T> b;
        ASSERT_TRUE(b.run(s_methods[m], "Vars:\nx = 0\ny = 0\nParams:\nk = 2\nu = 0\nTFs:\ny / u = 1/(s + k)\n"
                                        "ODEs:\nx' = -k*x\n"))
            << b.keys();
        b.value("k") = k;
        b.value("dT") = T(dT);
        b.value("x@_") = b.value("y'x1@_") = T(1);
        const std::size_t n = b.stores().nVars;
        std::vector<T> x(n, T(0));
        newtonStep(x, b.residuals(), b.jacobian());
        const std::size_t ix = static_cast<std::size_t>(b.stores().symbols.find("x"));
        const std::size_t iy = static_cast<std::size_t>(b.stores().symbols.find("y'x1"));
        EXPECT_LT(std::abs(x[ix] - expected[m]), 1e-12) << s_methods[m];
        EXPECT_LT(std::abs(x[iy] - expected[m]), 1e-12) << s_methods[m];
    }
}

TEST(DAEBuild, OneStepOfALinearModelIsTheMethodsStep)
{
    checkOneLinearStep<double>();
    checkOneLinearStep<Cmplx>();
}

// Every row's symbolic Jacobian against central differences of its residual.
template <typename T> void checkJacobianByDifferences(unsigned seed)
{
    const std::string body = "Vars:\nx = 0\nv = 0\ny = 0\nu = 0\nw = 0\nParams:\nk = 2\n"
                             "TFs:\ny / u = (s + 3)/(s^2 + 2*s + 5)\n"
                             "ODEs:\nx' = -k*x + sin(v*t) + u\nv = 2*int(cos(x) - v*w)\n"
                             "NLEs:\nu = exp(-t) + x*w\nw^2 + y = 3\n";
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> draw(0.5, 1.5);
    for (const char* method : s_methods)
    {
        DaeBuild<T> b;
        ASSERT_TRUE(b.run(method, body)) << b.keys();
        const std::size_t n = b.stores().nVars;
        T* values = b.stores().values.data();
        for (std::size_t i = 0; i < n + b.stores().nParams; ++i)
        {
            if constexpr (sl::ValueTraits<T>::isComplex)
                values[i] = T(draw(gen), draw(gen) - 1.0);
            else
                values[i] = draw(gen);
        }
        std::vector<std::vector<T>> jac(n, std::vector<T>(n, T(0)));
        for (const auto& c : b.jacobian().cells)
            jac[static_cast<std::size_t>(c.row)][static_cast<std::size_t>(c.col)] = c.value;
        for (std::size_t v = 0; v < n; ++v)
        {
            const T keep = values[v];
            const double h = 1e-6;
            values[v] = keep + h;
            const std::vector<T> up = b.residuals();
            values[v] = keep - h;
            const std::vector<T> down = b.residuals();
            values[v] = keep;
            for (std::size_t r = 0; r < n; ++r)
            {
                const T diff = (up[r] - down[r]) / (2 * h);
                EXPECT_LE(std::abs(jac[r][v] - diff), 1e-6 * std::max(1.0, std::abs(diff)))
                    << method << " row " << r << " column " << b.stores().symbols.nameAt(v)->c_str();
            }
        }
    }
}

TEST(DAEBuild, JacobianEqualsCentralDifferences)
{
    checkJacobianByDifferences<double>(7);
    checkJacobianByDifferences<Cmplx>(11);
}
} // namespace
