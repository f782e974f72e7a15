#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <matrix/Butcher.h>

#include "DAEStages.h"
#include "SymbolRigSupport.h"
#include "TFStateSpace.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;

template <typename T> using Rig = test::SymbolRig<T>;
template <typename T> using NodeOf = sl::ETNode<T>;
template <typename T> using TreeOf = sl::ExpressionTree<T>;
template <typename T> using StagesOf = sl::DAEStages<T>;

enum class Method
{
    Euler,
    Trapezoidal,
    TwoStage,
    ThreeStage
};

td::UINT2 stagesOf(Method m) { return m == Method::TwoStage ? 2 : (m == Method::ThreeStage ? 3 : 0); }

// A number as a printed tree shows it.
std::string g(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%g", v);
    return buf;
}

// The state x with its stage variables x#k1.., an algebraic y, and the parameters t, dT,
// the history x@_ and a.
template <typename T> struct DAERig
{
    explicit DAERig(td::UINT2 stages) : rig(variables(stages), {"t", "dT", "x@_", "a"})
    {
        rig.state("x", "x@_", stages ? "x#k1" : "");
        ctx.pVarRecords = &rig.records;
        ctx.state = rig.index("x");
        ctx.deltaT = rig.index("dT");
        ctx.time = static_cast<td::INT4>(rig.index("t"));
        if (stages)
            tableau.init(stages == 2 ? matrix::Butcher::GaussLegendre2 : matrix::Butcher::GaussLegendre3);
    }

    static std::vector<std::string> variables(td::UINT2 stages)
    {
        std::vector<std::string> v = {"x"};
        for (int k = 1; k <= stages; ++k)
            v.push_back("x#k" + std::to_string(k));
        v.push_back("y");
        return v;
    }

    // The equations of x' = f (or of x = f with its int node) under a method; empty when
    // the expansion refuses.
    std::vector<NodeOf<T>*> expand(Method m, const std::string& f, bool integral = false)
    {
        EXPECT_TRUE(rig.build(tree, f)) << f;
        NodeOf<T>* pInt = integral ? tree.findIntegralFn() : nullptr;
        EXPECT_EQ(pInt != nullptr, integral) << f;
        std::vector<NodeOf<T>*> eqs;
        switch (m)
        {
        case Method::Euler:
        case Method::Trapezoidal:
            if (m == Method::Euler ? StagesOf<T>(tree).discretizeEuler(pInt, ctx)
                                   : StagesOf<T>(tree).discretizeTrapezoidal(pInt, ctx))
                eqs.push_back(tree.getRoot());
            break;
        default:
            eqs.assign(tableau.stages() + 1u, nullptr);
            if (!StagesOf<T>(tree).expandDAEStages(pInt, ctx, tableau, eqs.data()))
                eqs.clear();
        }
        return eqs;
    }

    std::vector<std::string> texts(const std::vector<NodeOf<T>*>& eqs)
    {
        std::vector<std::string> out;
        for (NodeOf<T>* p : eqs)
            out.push_back(rig.text(tree, p));
        return out;
    }

    Rig<T> rig;
    TreeOf<T> tree = rig.ctx.tree();
    sl::DAEStageContext ctx;
    matrix::Butcher tableau;
};

// ---- printed equations ----

TEST(Expansions, PrintedEquations)
{
    matrix::Butcher gl2, gl3;
    gl2.init(matrix::Butcher::GaussLegendre2);
    gl3.init(matrix::Butcher::GaussLegendre3);
    const auto& A2 = gl2.A();
    const auto& A3 = gl3.A();
    const auto& b3 = gl3.b();
    const auto& c3 = gl3.c();
    // sum over stages of w_j * f(j) as the expansion prints it
    auto sum = [](int s, std::function<double(int)> w, std::function<std::string(int)> f) {
        std::string text;
        for (int j = 0; j < s; ++j)
        {
            const std::string term = std::string("(").append(g(w(j))).append("*").append(f(j)).append(")");
            text = j ? std::string("(").append(text).append("+").append(term).append(")") : term;
        }
        return text;
    };
    auto negK = [](int j) { return "(0-x#k" + std::to_string(j + 1) + ")"; };
    auto sinT = [&c3](int j) { return "sin(t-(" + g(1 - c3[j]) + "*dT))"; };
    auto rk = [](const std::string& sumText, const std::string& target) {
        return "((x@_+(dT*" + sumText + "))-" + target + ")";
    };

    struct Case
    {
        Method method;
        const char* f;
        bool integral;
        std::vector<std::string> equations;
    } cases[] = {
        {Method::Euler, "-x + y", false, {"(x@_+((dT*((0-x)+y))-x))"}},
        {Method::Euler, "2*int(-x)", true, {"(x@_+((2*(dT*(0-x)))-x))"}},
        {Method::Trapezoidal, "x", false, {"(x@_+(((dT/2)*(x@_+x))-x))"}},
        {Method::Trapezoidal, "cos(t)", false, {"(x@_+(((dT/2)*(cos(t-dT)+cos(t)))-x))"}},
        {Method::Trapezoidal, "2*a*y", false, {"(x@_+((dT*((2*a)*y))-x))"}},
        {Method::Trapezoidal, "int(x*y)/a", true, {"(x@_+((((dT/2)*((x@_*y)+(x*y)))/a)-x))"}},
        {Method::TwoStage,
         "-x",
         false,
         {rk(sum(
                 2, [](int) { return 0.5; }, negK),
             "x"),
          rk(sum(
                 2, [&](int j) { return A2(0, j); }, negK),
             "x#k1"),
          rk(sum(
                 2, [&](int j) { return A2(1, j); }, negK),
             "x#k2")}},
        {Method::TwoStage,
         "a*int(x)",
         true,
         {"((x@_+(a*(dT*((0.5*x#k1)+(0.5*x#k2)))))-x)",
          "((x@_+(a*(dT*((" + g(A2(0, 0)) + "*x#k1)+(" + g(A2(0, 1)) + "*x#k2)))))-x#k1)",
          "((x@_+(a*(dT*((" + g(A2(1, 0)) + "*x#k1)+(" + g(A2(1, 1)) + "*x#k2)))))-x#k2)"}},
        // t without a state: the stages sample f along the step.
        {Method::ThreeStage,
         "sin(t)",
         false,
         {rk(sum(
                 3, [&](int j) { return b3[j]; }, sinT),
             "x"),
          rk(sum(
                 3, [&](int j) { return A3(0, j); }, sinT),
             "x#k1"),
          rk(sum(
                 3, [&](int j) { return A3(1, j); }, sinT),
             "x#k2"),
          rk(sum(
                 3, [&](int j) { return A3(2, j); }, sinT),
             "x#k3")}},
        // Neither a state nor t: one sample, and the stages follow x along the step, since the
        // equations of other states read them.
        {Method::ThreeStage,
         "2*a + y",
         false,
         {"((x@_+(dT*((2*a)+y)))-x)", "((x@_+(dT*(" + g(c3[0]) + "*((2*a)+y))))-x#k1)",
          "((x@_+(dT*(" + g(c3[1]) + "*((2*a)+y))))-x#k2)", "((x@_+(dT*(" + g(c3[2]) + "*((2*a)+y))))-x#k3)"}},
    };
    for (const Case& c : cases)
    {
        DAERig<double> r(stagesOf(c.method));
        const std::vector<NodeOf<double>*> eqs = r.expand(c.method, c.f, c.integral);
        std::vector<std::string> texts = r.texts(eqs);
        if (texts.size() > c.equations.size())
            texts.resize(c.equations.size());
        EXPECT_EQ(texts, c.equations) << c.f;
    }
}

TEST(Expansions, RefusedWithoutTheirSymbols)
{
    struct Case
    {
        const char* name;
        Method method;
        const char* f;
        std::function<void(DAERig<double>&)> spoil;
    } cases[] = {
        {"no history", Method::Euler, "x", [](DAERig<double>& r) { r.rig.records[0].histParam = -1; }},
        {"no records", Method::Trapezoidal, "x", [](DAERig<double>& r) { r.ctx.pVarRecords = nullptr; }},
        {"no symbol records", Method::Trapezoidal, "x",
         [](DAERig<double>& r) { r.rig.ctx.data().pSymbolInfo = nullptr; }},
        {"state past the variables", Method::Euler, "x", [](DAERig<double>& r) { r.ctx.state = 9; }},
        {"no stages", Method::TwoStage, "x", [](DAERig<double>& r) { r.rig.records[0].firstStage = -1; }},
        {"stages past the variables", Method::ThreeStage, "x",
         [](DAERig<double>& r) { r.rig.records[0].firstStage = 3; }},
        // y is a state without records of its own
        {"other state without history", Method::Trapezoidal, "x + y",
         [](DAERig<double>& r) { r.rig.info[r.rig.index("y")].varType = 4; }},
        {"other state without stages", Method::TwoStage, "x + y",
         [](DAERig<double>& r) { r.rig.info[r.rig.index("y")].varType = 3; }},
        // t inside an argument that takes a single token
        {"time as a token argument", Method::Trapezoidal, "round(x, t)", [](DAERig<double>&) {}},
        {"time as a token argument", Method::ThreeStage, "round(x, t)", [](DAERig<double>&) {}},
    };
    for (const Case& c : cases)
    {
        DAERig<double> r(stagesOf(c.method));
        c.spoil(r);
        ASSERT_TRUE(r.rig.build(r.tree, c.f));
        NodeOf<double>* root = r.tree.getRoot();
        const std::string before = r.rig.text(r.tree, root);
        std::vector<NodeOf<double>*> eqs(4, nullptr);
        bool done = false;
        switch (c.method)
        {
        case Method::Euler: done = StagesOf<double>(r.tree).discretizeEuler(nullptr, r.ctx); break;
        case Method::Trapezoidal: done = StagesOf<double>(r.tree).discretizeTrapezoidal(nullptr, r.ctx); break;
        default: done = StagesOf<double>(r.tree).expandDAEStages(nullptr, r.ctx, r.tableau, eqs.data());
        }
        EXPECT_FALSE(done) << c.name;
        EXPECT_EQ(r.tree.getRoot(), root) << c.name;
        EXPECT_EQ(r.rig.text(r.tree, root), before) << c.name;
        EXPECT_EQ(eqs, std::vector<NodeOf<double>*>(4, nullptr)) << c.name;
    }

    // A named node that is no int of this tree.
    DAERig<double> r(0);
    ASSERT_TRUE(r.rig.build(r.tree, "2*sin(x)"));
    EXPECT_FALSE(StagesOf<double>(r.tree).discretizeEuler(r.tree.getRoot()->pRightNode, r.ctx));
    DAERig<double> other(0);
    ASSERT_TRUE(other.rig.build(other.tree, "int(x)"));
    EXPECT_FALSE(StagesOf<double>(r.tree).discretizeTrapezoidal(other.tree.getRoot(), r.ctx));
}

// A transfer-function state equation whose input is an ODE state: every state, of the
// function or not, reads its own stage variable from its record.
TEST(Expansions, TransferFunctionStatesAtTheirStages)
{
    Rig<double> rig({"x", "x#k1", "x#k2", "y", "y'x1", "y'x1#k1", "y'x1#k2"}, {"t", "dT", "x@_", "y'x1@_"});
    rig.state("x", "x@_", "x#k1");
    rig.state("y'x1", "y'x1@_", "y'x1#k1");
    rig.info[rig.index("y'x1")].varType = 4;
    auto tree = rig.ctx.tree();
    ASSERT_TRUE(rig.build(tree, "1/(s + 2)"));
    sl::TransferFunction tf;
    sl::TFStateSpace<double> realisation(tree);
    ASSERT_TRUE(realisation.checkTFFormat(tf));
    tf.output = rig.index("y");
    tf.input = rig.index("x");
    tf.firstState = static_cast<td::INT4>(rig.index("y'x1"));
    NodeOf<double>* denom[2] = {};
    NodeOf<double>* nom[1] = {};
    NodeOf<double>* tfEqs[2] = {};
    ASSERT_TRUE(realisation.getTFPolynomials(denom, nom, tf));
    ASSERT_TRUE(realisation.makeTFStateSpace(tfEqs, denom, nom, tf, 2));
    EXPECT_EQ(rig.text(tree, tfEqs[0]), "(x-(2*y'x1))");

    sl::DAEStageContext ctx;
    ctx.pVarRecords = &rig.records;
    ctx.state = rig.index("y'x1");
    ctx.deltaT = rig.index("dT");
    ctx.time = static_cast<td::INT4>(rig.index("t"));
    matrix::Butcher gl2;
    gl2.init(matrix::Butcher::GaussLegendre2);
    auto stateTree = rig.ctx.tree();
    stateTree.pushRoot(tfEqs[0]);
    NodeOf<double>* eqs[3] = {};
    ASSERT_TRUE(StagesOf<double>(stateTree).expandDAEStages(nullptr, ctx, gl2, eqs));
    auto stage = [](int j) {
        const std::string k = "#k" + std::to_string(j + 1);
        return "(x" + k + "-(2*y'x1" + k + "))";
    };
    EXPECT_EQ(rig.text(stateTree, eqs[0]), "((y'x1@_+(dT*((0.5*" + stage(0) + ")+(0.5*" + stage(1) + "))))-y'x1)");
    EXPECT_EQ(rig.text(stateTree, eqs[2]), "((y'x1@_+(dT*((" + g(gl2.A()(1, 0)) + "*" + stage(0) + ")+(" +
                                               g(gl2.A()(1, 1)) + "*" + stage(1) + "))))-y'x1#k2)");
}

// Right-hand sides as long or as deep as a model line may make them expand without a deep
// call stack.
TEST(Expansions, LongAndDeepRightHandSides)
{
    std::string sum = "x", nested = "x";
    for (int i = 1; i < 200000; ++i)
        sum += " + x";
    for (int i = 0; i < 20000; ++i)
        nested = "sin(" + nested + ")";
    for (Method m : {Method::Trapezoidal, Method::TwoStage})
    {
        DAERig<double> r(stagesOf(m));
        const std::vector<NodeOf<double>*> eqs = r.expand(m, sum);
        ASSERT_EQ(eqs.size(), stagesOf(m) + 1u);
        // With every symbol 1 and dT = 1: x_old + 200000*(w_0 + w_1 ...) - x.
        for (double& v : r.rig.ctx.solver.values)
            v = 1;
        for (std::size_t i = 0; i < eqs.size(); ++i)
        {
            const double weights =
                m == Method::Trapezoidal ? 1.0 : (i == 0 ? 1.0 : r.tableau.A()(i - 1, 0) + r.tableau.A()(i - 1, 1));
            EXPECT_NEAR(r.rig.value(eqs[i]), 200000 * weights, 1e-5) << i;
        }
        DAERig<double> deep(stagesOf(m));
        EXPECT_EQ(deep.expand(m, nested).size(), stagesOf(m) + 1u);
    }
}

// ---- convergence ----

// Dense solution of the linear system of one step, read off the residuals: column i of
// the matrix is r(e_i) - r(0).
template <typename T> std::vector<T> solveLinear(std::function<std::vector<T>(const std::vector<T>&)> residual, int n)
{
    const std::vector<T> r0 = residual(std::vector<T>(n, T(0)));
    std::vector<std::vector<T>> a(n, std::vector<T>(n + 1));
    for (int i = 0; i < n; ++i)
    {
        std::vector<T> e(n, T(0));
        e[i] = T(1);
        const std::vector<T> ri = residual(e);
        for (int row = 0; row < n; ++row)
            a[row][i] = ri[row] - r0[row];
    }
    for (int row = 0; row < n; ++row)
        a[row][n] = -r0[row];
    for (int col = 0; col < n; ++col)
    {
        int pivot = col;
        for (int row = col + 1; row < n; ++row)
        {
            if (std::abs(a[row][col]) > std::abs(a[pivot][col]))
                pivot = row;
        }
        std::swap(a[col], a[pivot]);
        for (int row = col + 1; row < n; ++row)
        {
            const T f = a[row][col] / a[col][col];
            for (int k = col; k <= n; ++k)
                a[row][k] -= f * a[col][k];
        }
    }
    std::vector<T> v(n);
    for (int row = n - 1; row >= 0; --row)
    {
        T sum = a[row][n];
        for (int k = row + 1; k < n; ++k)
            sum -= a[row][k] * v[k];
        v[row] = sum / a[row][row];
    }
    return v;
}

// The equations of one method compiled once, stepped from x(0) = 0.
template <typename T> struct Stepper
{
    Stepper(Method method, const std::string& f) : r(stagesOf(method))
    {
        for (NodeOf<T>* p : r.expand(method, f))
        {
            TreeOf<T> t = r.rig.ctx.tree();
            t.pushRoot(p);
            equations.push_back(r.rig.ctx.compile(t));
            EXPECT_NE(equations.back(), nullptr);
        }
        EXPECT_EQ(equations.size(), stagesOf(method) + 1u);
    }

    // x at the end of one step of length h that ends at time t.
    T step(T xOld, double t, double h)
    {
        r.rig.at("t") = T(t);
        r.rig.at("dT") = T(h);
        r.rig.at("x@_") = xOld;
        const int n = static_cast<int>(equations.size());
        auto residual = [&](const std::vector<T>& v) {
            for (int i = 0; i < n; ++i)
                r.rig.ctx.solver.values.at(static_cast<std::size_t>(i)) = v[i];
            std::vector<T> out;
            for (sl::Evaluator<T>* e : equations)
                out.push_back(r.rig.ctx.evaluate(*e));
            return out;
        };
        return solveLinear<T>(residual, n)[0];
    }

    double errorAt(double end, double h, double (*exact)(double))
    {
        const int steps = static_cast<int>(std::lround(end / h));
        T x = T(0);
        for (int i = 1; i <= steps; ++i)
            x = step(x, i * h, h);
        return std::abs(x - T(exact(end)));
    }

    DAERig<T> r;
    std::vector<sl::Evaluator<T>*> equations;
};

double dampedExact(double t) { return (std::sin(t) - std::cos(t) + std::exp(-t)) / 2; }
double sineExact(double t) { return std::sin(t); }

TEST(Expansions, OrdersByStepHalving)
{
    struct Case
    {
        Method method;
        double order;
        double firstStep;
    } methods[] = {
        {Method::Euler, 1, 0.1},
        {Method::Trapezoidal, 2, 0.1},
        {Method::TwoStage, 4, 0.2},
        {Method::ThreeStage, 6, 0.4},
    };
    struct Problem
    {
        const char* f;
        double (*exact)(double);
    } problems[] = {{"-x + sin(t)", dampedExact}, {"cos(t)", sineExact}};
    for (const Problem& p : problems)
    {
        for (const Case& m : methods)
        {
            Stepper<double> stepper(m.method, p.f);
            const double e1 = stepper.errorAt(2, m.firstStep, p.exact);
            const double e2 = stepper.errorAt(2, m.firstStep / 2, p.exact);
            const double e3 = stepper.errorAt(2, m.firstStep / 4, p.exact);
            EXPECT_NEAR(std::log2(e1 / e2), m.order, 0.1) << p.f << " order " << m.order << ": " << e1 << " " << e2;
            EXPECT_NEAR(std::log2(e2 / e3), m.order, 0.1) << p.f << " order " << m.order << ": " << e2 << " " << e3;
        }
    }
}

TEST(Expansions, ComplexStepsMultiplyByTheStabilityFunction)
{
    const Cmplx lambda(-1, 2);
    const double h = 0.1;
    const Cmplx z = h * lambda;
    const Cmplx xOld(1, 0.5);
    struct Case
    {
        Method method;
        Cmplx factor;
    } cases[] = {
        {Method::Euler, 1.0 / (1.0 - z)},
        {Method::Trapezoidal, (1.0 + z / 2.0) / (1.0 - z / 2.0)},
        {Method::TwoStage, (1.0 + z / 2.0 + z * z / 12.0) / (1.0 - z / 2.0 + z * z / 12.0)},
    };
    for (const Case& c : cases)
    {
        Stepper<Cmplx> stepper(c.method, "(-1+2i)*x");
        const Cmplx x = stepper.step(xOld, 0.3, h);
        EXPECT_LT(std::abs(x - xOld * c.factor), 1e-13) << static_cast<int>(c.method) << ": " << x;
    }
}
} // namespace
