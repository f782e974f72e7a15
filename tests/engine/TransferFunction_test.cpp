#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "SymbolRigSupport.h"
#include "TFStateSpace.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;
using sl::TFType;
using sl::TransferFunction;
namespace msg = sc::msg;

template <typename T> using Rig = test::SymbolRig<T>;
template <typename T> using NodeOf = sl::ETNode<T>;
template <typename T> using TreeOf = sl::ExpressionTree<T>;
template <typename T> using RealisationOf = sl::TFStateSpace<T>;

// y / u = f(s) over the variables y, the states the builder names after y or u (each
// followed by its stages), the division variable, and u as a variable or a parameter.
template <typename T> struct TFRig
{
    TFRig(const std::string& f, td::UINT2 stages = 0, bool inputIsParameter = false)
        : rig(variables(f, stages, inputIsParameter),
              inputIsParameter ? std::vector<std::string>{"u", "a", "b"} : std::vector<std::string>{"a", "b"}),
          f(f), stages(stages)
    {
        tf.output = rig.index("y");
        tf.input = rig.index("u");
        tf.firstState = 1;
    }

    // The orders of f, read by a rig of its own, decide the names.
    static std::vector<std::string> variables(const std::string& f, td::UINT2 stages, bool inputIsParameter)
    {
        Rig<T> probe({"y", "u"}, {"a", "b"});
        auto tree = probe.ctx.tree();
        TransferFunction tf;
        if (!probe.build(tree, f) || !RealisationOf<T>(tree).checkTFFormat(tf))
            return {"y", "u"};
        std::vector<std::string> v = {"y"};
        auto states = [&](const std::string& owner, int count) {
            for (int k = 1; k <= count; ++k)
            {
                const std::string state = owner + "'x" + std::to_string(k);
                v.push_back(state);
                for (int j = 1; j <= stages; ++j)
                    v.push_back(state + "#k" + std::to_string(j));
            }
        };
        const int n = tf.denomOrder, m = tf.nomOrder;
        states(n > 0 ? "y" : "u", n > 0 ? n : m);
        states("u", n > 0 && m > n ? m - n : 0);
        if (tf.isImproper())
            v.push_back("y#div");
        if (!inputIsParameter)
            v.push_back("u");
        return v;
    }

    // Check, polynomials and realisation.
    bool realise()
    {
        RealisationOf<T> realisation(tree);
        if (!rig.build(tree, f) || !realisation.checkTFFormat(tf))
            return false;
        denom.assign(tf.denomOrder + 1u, nullptr);
        nom.assign(tf.nomOrder + 1u, nullptr);
        eqs.assign(tf.equationCount(), nullptr);
        return realisation.getTFPolynomials(denom.data(), nom.data(), tf) &&
               realisation.makeTFStateSpace(eqs.data(), denom.data(), nom.data(), tf, stages);
    }

    std::vector<std::string> texts()
    {
        std::vector<std::string> out;
        for (NodeOf<T>* p : eqs)
            out.push_back(p ? rig.text(tree, p) : "-");
        return out;
    }

    Rig<T> rig;
    std::string f;
    td::UINT2 stages;
    TreeOf<T> tree = rig.ctx.tree();
    TransferFunction tf;
    std::vector<NodeOf<T>*> denom, nom, eqs;
};

// ---- the realisations ----

TEST(TransferFunctions, RealisationsOfTheThreeKinds)
{
    struct Case
    {
        const char* f;
        std::vector<std::string> equations;
    } cases[] = {
        // polynomial: x0' = y / 2 with x0 = u, so y = 2 u'
        {"2*s", {"(y/2)", "(u-u'x1)"}},
        {"2*s/4", {"(y/0.5)", "(u-u'x1)"}},
        {"s^2 + 3*s + 2", {"u'x2", "(y-((3*u'x2)+(2*u'x1)))", "(u-u'x1)"}},
        // proper
        {"1/(s + 2)", {"(u-(2*y'x1))", "(y'x1-y)"}},
        {"(s + 3)/(s + 2)", {"(u-(2*y'x1))", "((u+y'x1)-y)"}},
        {"1/(2*s^2 + 4*s + 8)", {"y'x2", "((u-(4*y'x1))-(2*y'x2))", "((0.5*y'x1)-y)"}},
        {"1/((s + 1)*(s + 2))", {"y'x2", "((u-(2*y'x1))-(3*y'x2))", "(y'x1-y)"}},
        {"1/(s^2 + 1)", {"y'x2", "(u-y'x1)", "(y'x1-y)"}},
        {"a*s/(s^2 + b)", {"y'x2", "(u-(b*y'x1))", "((a*y'x2)-y)"}},
        // improper: s^2 + 1 = (s - 2)(s + 2) + 5
        {"(s^2 + 1)/(s + 2)", {"(u-(2*y'x1))", "(y#div-(-2*u'x1))", "(u-u'x1)", "((y#div+(5*y'x1))-y)"}},
    };
    for (const Case& c : cases)
    {
        TFRig<double> r(c.f);
        ASSERT_TRUE(r.realise()) << c.f;
        EXPECT_EQ(r.texts(), c.equations) << c.f;
        EXPECT_TRUE(r.rig.ctx.log.messages.empty()) << c.f;
    }
}

TEST(TransferFunctions, StatesFollowedByTheirStages)
{
    TFRig<double> r("1/(s^2 + 3*s + 2)", 2);
    ASSERT_TRUE(r.realise());
    EXPECT_EQ(r.texts(), (std::vector<std::string>{"y'x2", "((u-(2*y'x1))-(3*y'x2))", "(y'x1-y)"}));
    EXPECT_EQ(r.rig.index("y'x2"), r.tf.slot(1, 2));
    EXPECT_EQ(r.tf.slot(1, 2), 4u);

    TFRig<double> d("(s^3 + 1)/(s + 1)", 3, true);
    ASSERT_TRUE(d.realise());
    EXPECT_EQ(d.tf.stateCount(), 3);
    EXPECT_EQ(d.tf.variableCount(3), 13u);
    EXPECT_EQ(d.rig.index("y#div"), d.tf.slot(3, 3));
    // s^3 + 1 = (s^2 - s + 1)(s + 1): no rest, so y = y_div.
    EXPECT_EQ(d.texts(),
              (std::vector<std::string>{"(u-y'x1)", "u'x2", "(y#div-(u'x1-u'x2))", "(u-u'x1)", "(y#div-y)"}));
}

TEST(TransferFunctions, CoefficientsHoldingS)
{
    TFRig<double> r("1/(s + 1)");
    auto& tree = r.tree;
    NodeOf<double>* coeffs[] = {tree.newSymbol(r.rig.index("a")), nullptr,
                                tree.newOperator(C::MUL, tree.newLiteral(C::INT_LITERAL, 2),
                                                 tree.newOperator(C::SIN, tree.newLiteral(C::LAPLACE, 0), nullptr))};
    EXPECT_EQ(RealisationOf<double>::findCoeffWithLaplace(coeffs, 1), -1);
    EXPECT_EQ(RealisationOf<double>::findCoeffWithLaplace(coeffs, 2), 2);

    // The numerator slot of the same power as a denominator slot.
    TransferFunction tf;
    tf.denomOrder = 3;
    tf.nomOrder = 1;
    NodeOf<double>* nom[] = {coeffs[0], coeffs[2]};
    EXPECT_EQ(RealisationOf<double>::coefficientAt(nom, tf, 0), nullptr);
    EXPECT_EQ(RealisationOf<double>::coefficientAt(nom, tf, 1), nullptr);
    EXPECT_EQ(RealisationOf<double>::coefficientAt(nom, tf, 2), coeffs[0]);
    EXPECT_EQ(RealisationOf<double>::coefficientAt(nom, tf, 3), coeffs[2]);
    EXPECT_EQ(RealisationOf<double>::coefficientAt(nom, tf, 4), nullptr);
}

// ---- refusals ----

// A form refused for a term of f stands at that term (at, the first text of f there); one
// refused as a whole at the statement's key column, 3.
template <typename T> void expectRefusal(const std::string& f, const char* key, const char* at)
{
    Rig<T> rig({"y", "u", "x"}, {"a", "b"});
    auto tree = rig.ctx.tree();
    ASSERT_TRUE(rig.build(tree, f)) << f;
    TransferFunction tf;
    EXPECT_FALSE(RealisationOf<T>(tree).checkTFFormat(tf)) << f;
    EXPECT_EQ(tf.nomOrder, 0) << f;
    EXPECT_EQ(tf.denomOrder, 0) << f;
    const test::RecordingLog::Message m = rig.ctx.only();
    EXPECT_EQ(m.text, key) << f;
    EXPECT_EQ(m.line, 7u);
    EXPECT_EQ(m.col, at ? f.find(at) + 1 : 3u) << f;
    EXPECT_EQ(m.type, sc::ILog::Error);
}

TEST(TransferFunctions, FormatRefusals)
{
    struct Case
    {
        const char* f;
        const char* key;
        const char* at;
    } cases[] = {
        {"3", msg::etTFNoLaplace, nullptr},
        {"a/(b + 1)", msg::etTFNoLaplace, nullptr},
        // A function of s, the power of a sum, a sum of a product of s, a quotient in the
        // numerator, a comparison: the term that is no polynomial in s.
        {"sin(s)", msg::etTFNomBadFormat, "sin"},
        {"(s + 1)^2", msg::etTFNomBadFormat, "^"},
        {"1/(s*s + 1)", msg::etTFDenomBadFormat, "+"},
        {"1/(s + 1)/(s + 2)", msg::etTFNomBadFormat, "/"},
        {"s/(x < s)", msg::etTFDenomBadFormat, "<"},
        // exponents of s other than integer literals 0..64: at the power
        {"s^-1", msg::etTFBadFormat, "^"},
        {"1/(s^-1 + 1)", msg::etTFBadFormat, "^"},
        {"s^2.5", msg::etTFBadFormat, "^"},
        {"s^100000", msg::etTFBadFormat, "^"},
        {"1/(s^65 + 1)", msg::etTFBadFormat, "^"},
        {"s^a", msg::etTFBadFormat, "^"},
        // zero leading coefficients
        {"(0*s^2 + s + 1)/(s + 1)", msg::etTFBadFormat, nullptr},
        {"1/(0*s^2 + s + 1)", msg::etTFBadFormat, nullptr},
        {"1/(a*s^2 - a*s^2 + s)", msg::etTFBadFormat, nullptr},
        {"0/(s + 1)", msg::etTFBadFormat, nullptr},
    };
    for (const Case& c : cases)
    {
        expectRefusal<double>(c.f, c.key, c.at);
        expectRefusal<Cmplx>(c.f, c.key, c.at);
    }
    expectRefusal<Cmplx>("s^(2+1i)", msg::etTFBadFormat, "^");
    expectRefusal<Cmplx>("1/(s^(3i) + 1)", msg::etTFBadFormat, "^");
}

TEST(TransferFunctions, RealisationRefusesSymbolsItCannotWrite)
{
    // No states reserved, states past the variables, a parameter as output, polynomials
    // that were never normalised.
    for (int spoil = 0; spoil < 4; ++spoil)
    {
        TFRig<double> r("(s^2 + 1)/(2*s + 4)");
        ASSERT_TRUE(r.rig.build(r.tree, r.f));
        ASSERT_TRUE(RealisationOf<double>(r.tree).checkTFFormat(r.tf));
        NodeOf<double>* denom[2] = {};
        NodeOf<double>* nom[3] = {};
        ASSERT_TRUE(RealisationOf<double>(r.tree).getTFPolynomials(denom, nom, r.tf));
        switch (spoil)
        {
        case 0: r.tf.firstState = -1; break;
        case 1: r.tf.firstState = 3; break;
        case 2: r.tf.output = r.rig.index("a"); break;
        default: denom[0] = r.tree.newLiteral(C::INT_LITERAL, 2);
        }
        std::vector<NodeOf<double>*> eqs(r.tf.equationCount(), nullptr);
        EXPECT_FALSE(RealisationOf<double>(r.tree).makeTFStateSpace(eqs.data(), denom, nom, r.tf, 0)) << spoil;
        EXPECT_EQ(eqs, std::vector<NodeOf<double>*>(eqs.size(), nullptr)) << spoil;
    }
    // Orders that do not match the tree.
    TFRig<double> r("1/(2*s + 1)");
    ASSERT_TRUE(r.rig.build(r.tree, r.f));
    ASSERT_TRUE(RealisationOf<double>(r.tree).checkTFFormat(r.tf));
    r.tf.denomOrder = 2;
    NodeOf<double>* denom[3] = {};
    NodeOf<double>* nom[1] = {};
    EXPECT_FALSE(RealisationOf<double>(r.tree).getTFPolynomials(denom, nom, r.tf));
}

// Sums as long as a model line may make them read without a deep call stack.
TEST(TransferFunctions, LongSums)
{
    std::string ones;
    for (int i = 0; i < 50000; ++i)
        ones += "1 + ";
    for (const std::string& f : {"1/(" + ones + "s)", "1/(s + " + ones + "1)"})
    {
        TFRig<double> r(f);
        ASSERT_TRUE(r.realise()) << f.size();
        ASSERT_EQ(r.tf.denomOrder, 1);
        r.rig.at("u") = 3;
        r.rig.at("y'x1") = 0.5;
        EXPECT_DOUBLE_EQ(r.rig.value(r.eqs[0]), 3 - (f[3] == 's' ? 50001 : 50000) * 0.5);
        EXPECT_DOUBLE_EQ(r.rig.value(r.eqs[1]), 0.5 - r.rig.at("y"));
    }
}

// ---- random transfer functions on u = e^(pt) ----

// A polynomial with its literal coefficients (leading first) and its text.
template <typename T> struct RandomPoly
{
    std::vector<T> coeffs;
    std::string text;
};

template <typename T> std::string literal(const T& v)
{
    char buf[64];
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        if (v.imag() != 0)
        {
            std::snprintf(buf, sizeof(buf), "(%.17g%+.17gi)", v.real(), v.imag());
            return buf;
        }
        std::snprintf(buf, sizeof(buf), "%.17g", v.real());
    }
    else
        std::snprintf(buf, sizeof(buf), "%.17g", v);
    return buf;
}

template <typename T> class PolyMaker
{
public:
    explicit PolyMaker(unsigned seed) : _gen(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(_gen); }

    // Quarters in -3..3; the leading one never 0, the others 0 one time in three.
    T coefficient(bool leading)
    {
        double re = 0;
        while (re == 0)
        {
            re = pick(-12, 12) / 4.0;
            if (!leading && pick(0, 2) == 0)
                return T(0);
        }
        if constexpr (sl::ValueTraits<T>::isComplex)
            return T(re, pick(0, 1) ? pick(-8, 8) / 4.0 : 0.0);
        else
            return re;
    }

    // A sum of terms c*s^k in one of the written forms, or a product of two such sums.
    RandomPoly<T> poly(int order, bool allowProduct)
    {
        if (allowProduct && order >= 2 && pick(0, 2) == 0)
        {
            const int first = pick(1, order - 1);
            RandomPoly<T> a = poly(first, false), b = poly(order - first, false);
            RandomPoly<T> p;
            p.coeffs.assign(order + 1, T(0));
            for (std::size_t i = 0; i < a.coeffs.size(); ++i)
                for (std::size_t j = 0; j < b.coeffs.size(); ++j)
                    p.coeffs[i + j] += a.coeffs[i] * b.coeffs[j];
            p.text = "(" + a.text + ")*(" + b.text + ")";
            return p;
        }
        RandomPoly<T> p;
        for (int i = 0; i <= order; ++i)
        {
            const int k = order - i;
            const T c = coefficient(i == 0);
            p.coeffs.push_back(c);
            if (c == T(0))
                continue;
            // A real negative coefficient goes in as a subtraction (or a leading minus).
            const bool negative = std::imag(c) == 0 && std::real(c) < 0;
            const T magnitude = negative ? -c : c;
            std::string term;
            const std::string lit = literal(magnitude);
            const std::string power = k == 1 ? "s" : "s^" + std::to_string(k);
            if (k == 0)
                term = lit;
            else if (magnitude == T(1) && pick(0, 1))
                term = power;
            else
                term = pick(0, 1) ? lit + "*" + power : power + "*" + lit;
            p.text += (p.text.empty() ? (negative ? "-" : "") : (negative ? " - " : " + ")) + term;
        }
        return p;
    }

private:
    std::mt19937 _gen;
};

template <typename T> T evaluateAt(const std::vector<T>& coeffs, T p)
{
    T v = T(0);
    for (const T& c : coeffs)
        v = v * p + c;
    return v;
}

// Numerator over monic denominator: quotient and remainder coefficients, leading first.
template <typename T>
void divide(std::vector<T> a, const std::vector<T>& monic, std::vector<T>& quotient, std::vector<T>& rest)
{
    const std::size_t n = a.size() - 1, m = monic.size() - 1;
    quotient.assign(n - m + 1, T(0));
    for (std::size_t i = 0; i + m <= n; ++i)
    {
        quotient[i] = a[i];
        for (std::size_t j = 1; j <= m; ++j)
            a[i + j] -= monic[j] * quotient[i];
    }
    rest.assign(a.begin() + static_cast<std::ptrdiff_t>(n - m + 1), a.end());
}

template <typename T> void checkRandomTransferFunctions(unsigned firstSeed, int count)
{
    int kinds[3] = {};
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(count); ++seed)
    {
        PolyMaker<T> maker(seed);
        const int n = maker.pick(0, 4);
        const int m = maker.pick(n == 0 ? 1 : 0, 4);
        const RandomPoly<T> num = maker.poly(m, true);
        RandomPoly<T> den = maker.poly(n, true);
        std::string f = "(" + num.text + ")/(" + den.text + ")";
        if (n == 0 && maker.pick(0, 1))
        {
            // A polynomial without denominator.
            f = num.text;
            den.coeffs = {T(1)};
        }
        const td::UINT2 stages = static_cast<td::UINT2>(maker.pick(0, 1) * 2);
        const bool uIsParameter = maker.pick(0, 1);
        TFRig<T> r(f, stages, uIsParameter);
        ASSERT_TRUE(r.realise()) << f << " seed " << seed << " "
                                 << (r.rig.ctx.log.messages.empty() ? std::string("no message")
                                                                    : r.rig.ctx.log.messages.front().text)
                                 << " " << r.rig.text(r.tree, r.tree.getRoot()) << " " << r.tf.nomOrder << "/"
                                 << r.tf.denomOrder;
        ASSERT_EQ(r.tf.nomOrder, m) << f;
        ASSERT_EQ(r.tf.denomOrder, n) << f;
        ++kinds[n == 0 ? 0 : (m > n ? 2 : 1)];

        std::vector<T> monic = den.coeffs;
        for (T& c : monic)
            c /= den.coeffs[0];
        for (double p : {0.5, 2.0})
        {
            const T dp = evaluateAt(monic, T(p));
            if (std::abs(dp) < 0.05)
                continue;
            // u = e^(pt) at t = 0.3, and every symbol on the same exponential.
            const T u = std::exp(T(p * 0.3));
            const T y = evaluateAt(num.coeffs, T(p)) / evaluateAt(den.coeffs, T(p)) * u;
            r.rig.at("u") = u;
            r.rig.at("y") = y;
            const int states = r.tf.stateCount();
            const int inputChain = n == 0 ? 0 : n;
            for (int k = 0; k < states; ++k)
            {
                T x = k < inputChain ? std::pow(T(p), k) * u / dp : std::pow(T(p), k - inputChain) * u;
                r.rig.ctx.solver.values.at(r.tf.slot(k, stages)) = x;
            }
            if (r.tf.isImproper())
            {
                std::vector<T> nomMonic = num.coeffs, q, rest;
                for (T& c : nomMonic)
                    c /= den.coeffs[0];
                divide(nomMonic, monic, q, rest);
                r.rig.at("y#div") = evaluateAt(q, T(p)) * u;
            }
            const double scale = std::abs(u) + std::abs(y) + 1;
            for (int k = 0; k < r.tf.equationCount(); ++k)
            {
                const T expected = k < states ? T(p) * r.rig.ctx.solver.values.at(r.tf.slot(k, stages)) : T(0);
                const T value = r.rig.value(r.eqs[k]);
                EXPECT_LE(std::abs(value - expected), 1e-10 * (std::abs(expected) + scale))
                    << f << " p " << p << " equation " << k << ": " << r.rig.text(r.tree, r.eqs[k]);
            }
        }
    }
    // Every kind was drawn.
    EXPECT_GT(kinds[0], 0);
    EXPECT_GT(kinds[1], 0);
    EXPECT_GT(kinds[2], 0);
}

TEST(TransferFunctions, RandomFunctionsHoldOnExponentials)
{
    checkRandomTransferFunctions<double>(1, 150);
    checkRandomTransferFunctions<Cmplx>(5001, 150);
}
} // namespace
