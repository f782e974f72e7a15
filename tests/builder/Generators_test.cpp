#include <cfloat>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "GeneratorReader.h"
#include "RndGen.h"

namespace
{
constexpr int cDraws = 10000;

// Builds the Distribs group of a model; false with the builder's keys.
struct Generators
{
    explicit Generators(const std::string& lines)
    {
        b.load("Model [type = NL]:\nVars:\nx = 0\nDistribs:\n" + lines + "NLEs:\nx = 1\nend\n");
        ok = b.declare() && b.pass<sl::GeneratorReader>().buildDistributions(*b.loaded.model, sc::ModelLevel::Main);
    }

    std::vector<double> draws(const char* name, int n = cDraws)
    {
        const td::INT4 i = b.solver.stores.generators.find(name, static_cast<td::UINT4>(std::strlen(name)));
        EXPECT_GE(i, 0) << name;
        std::vector<double> out(static_cast<std::size_t>(n));
        if (i < 0)
            return out;
        for (double& v : out)
            b.solver.stores.generators.draw(i, v);
        return out;
    }

    test::Build<double> b;
    bool ok = false;
};

double mean(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return s / static_cast<double>(v.size());
}

double variance(const std::vector<double>& v)
{
    const double m = mean(v);
    double s = 0;
    for (double x : v)
        s += (x - m) * (x - m);
    return s / static_cast<double>(v.size() - 1);
}

// Each generator against its distribution's mean and variance; the tolerance is six
// standard errors of the mean of cDraws draws.
TEST(Generators, DrawsFollowTheirDistributions)
{
    struct Case
    {
        const char* line;
        double mean;
        double variance;
    } cases[] = {
        {"u [type = Uniform, min = -1, max = 2]", 0.5, 0.75},
        {"b [type = Bernoulli, p = 0.25]", 0.25, 0.1875},
        {"po [type = Poisson, lambda = 4]", 4, 4},
        {"ex [type = Expo, lambda = 2]", 0.5, 0.25},
        {"ga [type = Gamma, alpha = 2, beta = 3]", 6, 18},
        {"g [type = Gauss, mean = 1, dev = 2]", 1, 4},
        {"ch [type = ChiSqr, k = 3]", 3, 6},
        {"st [type = Student, n = 5]", 0, 5.0 / 3},
    };
    for (const Case& c : cases)
    {
        Generators g(std::string(c.line) + "\n");
        ASSERT_TRUE(g.ok) << c.line << g.b.keys();
        const std::string name(c.line, std::strchr(c.line, ' '));
        const std::vector<double> v = g.draws(name.c_str());
        EXPECT_NEAR(mean(v), c.mean, 6 * std::sqrt(c.variance / cDraws)) << c.line;
        EXPECT_NEAR(variance(v), c.variance, 0.15 * c.variance) << c.line;
    }
}

// The largest mean a Poisson generator takes still draws, near its mean; a larger one is
// refused (InvalidDeclarationsAreRefused), as its draws would never return.
TEST(Generators, APoissonAtItsLargestMeanDraws)
{
    Generators g("big [type = Poisson, lambda = 4611686018427387904]\n");
    ASSERT_TRUE(g.ok) << g.b.keys();
    const double lambda = rnd::Poisson::cMaxMean;
    EXPECT_NEAR(mean(g.draws("big", 1000)), lambda, 1e-6 * lambda);
}

TEST(Generators, IntegerUniformHitsExactlyItsIntegers)
{
    Generators g("k [type = Uniform, integer = true, min = 1.9, max = 3]\n");
    ASSERT_TRUE(g.ok) << g.b.keys();
    std::map<double, int> counts;
    for (double v : g.draws("k"))
        ++counts[v];
    ASSERT_EQ(counts.size(), 3u);
    for (double v : {1.0, 2.0, 3.0})
    {
        // A third of the draws each, within six standard deviations.
        EXPECT_NEAR(counts[v], cDraws / 3.0, 6 * std::sqrt(cDraws * 2.0 / 9)) << v;
    }
}

TEST(Generators, BoundedNormalDrawsStayInTheirBounds)
{
    Generators g("w [type = Gauss, mean = 0, dev = 1, width = 2]\nfree [type = Gauss, mean = 0, dev = 1]\n"
                 "lw [type = LogGauss, mean = 0, dev = 0.5, width = 2]\n"
                 "narrow [type = Gauss, mean = 3, dev = 1, width = 1e-12]\n"
                 "far [type = LogGauss, mean = 0, dev = 1, width = 0.001]\n");
    ASSERT_TRUE(g.ok) << g.b.keys();
    bool beyondOne = false;
    for (double v : g.draws("free"))
        beyondOne = beyondOne || std::fabs(v) > 1;
    EXPECT_TRUE(beyondOne);
    const std::vector<double> w = g.draws("w");
    for (double v : w)
        ASSERT_TRUE(v >= -1 && v <= 1) << v;
    EXPECT_NEAR(mean(w), 0, 0.05);
    for (double v : g.draws("lw"))
        ASSERT_TRUE(v > 0 && v <= 1) << v;
    // Bounds that a draw almost never meets: the draws stop and clamp to the bounds.
    for (double v : g.draws("narrow", 3))
        EXPECT_TRUE(v >= 3 - 0.5e-12 && v <= 3 + 0.5e-12) << v;
    for (double v : g.draws("far", 3))
        EXPECT_EQ(v, 0.0005);
}

TEST(Generators, GeneratorsDrawTheirOwnStreams)
{
    Generators g("a [type = Gauss, mean = 0, dev = 1]\nb [type = Gauss, mean = 0, dev = 1]\n");
    ASSERT_TRUE(g.ok);
    EXPECT_NE(g.draws("a", 20), g.draws("b", 20));
    Generators again("a [type = Gauss, mean = 0, dev = 1]\nb [type = Gauss, mean = 0, dev = 1]\n");
    EXPECT_NE(g.draws("a", 20), again.draws("a", 20));
}

TEST(Generators, InvalidDeclarationsAreRefused)
{
    namespace msg = sc::msg;
    struct Case
    {
        const char* line;
        const char* key;
    } cases[] = {
        {"g [mean = 0]", msg::csDistNoType},
        {"g [type = Markowitz]", msg::csUnknowntDistribution},
        {"g [type = Uniform, max = 1]", msg::csNoMinInUniformDist},
        {"g [type = Uniform, min = 1]", msg::csNoMaxInUniformDist},
        {"g [type = Uniform, min = 2, max = 1]", msg::csMinGtMaxInUniformDist},
        {"g [type = Uniform, integer = true, min = 2, max = 1]", msg::csMinGtMaxInUniformDist},
        {"g [type = Uniform, integer = true, min = 0, max = 3e9]", msg::csIntRangeInUniformDist},
        {"g [type = Bernoulli]", msg::csNoPimBernoulliDist},
        {"g [type = Bernoulli, p = 1.5]", msg::csPNotIn01InBernoulliDist},
        {"g [type = Bernoulli, p = -0.1]", msg::csPNotIn01InBernoulliDist},
        {"g [type = Poisson]", msg::csNoLamdaInPoissonDist},
        {"g [type = Poisson, lambda = 0]", msg::cs0LamdaInPoissonDist},
        // A mean beyond the 64-bit draws: the standard draw would reject every candidate.
        {"g [type = Poisson, lambda = 1e19]", msg::csLamdaRangeInPoissonDist},
        {"g [type = Poisson, lambda = 1e300]", msg::csLamdaRangeInPoissonDist},
        {"g [type = Expo, lambda = -1]", msg::cs0LamdaInExponDist},
        {"g [type = Expo]", msg::csNoLamdaInExponDist},
        {"g [type = Gamma, beta = 1]", msg::csNoAlphaInGammaDist},
        {"g [type = Gamma, alpha = 1]", msg::csNoBetaInGammaDist},
        {"g [type = Gamma, alpha = 0, beta = 1]", msg::cs0AlphaInGammaDist},
        {"g [type = Gamma, alpha = 1, beta = -2]", msg::cs0BetaInGammaDist},
        {"g [type = Gauss, dev = 1]", msg::csNoMeanInGaussDist},
        {"g [type = Gauss, mean = 1]", msg::csNoDevInGaussDist},
        {"g [type = Gauss, mean = 1, dev = 0]", msg::cs0DevInGaussDist},
        {"g [type = Gauss, mean = 1e400, dev = 1]", msg::csNotFiniteInDist},
        {"g [type = LogGauss, dev = 1]", msg::csNoMeanInLogGaussDist},
        {"g [type = LogGauss, mean = 0]", msg::csNoDevInLogGausDist},
        {"g [type = LogGauss, mean = 0, dev = -1]", msg::cs0DevInGaussDist},
        {"g [type = LogGauss, mean = -3, dev = 1, width = 4]", msg::cs0UpperInLogGaussDist},
        {"g [type = ChiSqr]", msg::csNoKInChiSquaredDist},
        {"g [type = ChiSqr, k = 0]", msg::cs0KInChiSquaredDist},
        {"g [type = Student]", msg::csNoNInStudentDist},
        {"g [type = Student, n = -4]", msg::cs0NInStudentDist},
    };
    for (const Case& c : cases)
    {
        Generators g(std::string(c.line) + "\n");
        EXPECT_FALSE(g.ok) << c.line;
        EXPECT_EQ(g.b.keys(), std::string(c.key) + " @8:1\n") << c.line << g.b.loaded.errors();
    }
}

TEST(Generators, TheManagerKeepsItsOwnNames)
{
    sl::RndGenManager m;
    m.add(td::String("made here"), new rnd::Uniform(0, 1));
    std::string name = "drift";
    {
        td::String temporary(name);
        m.add(temporary, new rnd::Uniform(0, 1));
    }
    EXPECT_EQ(m.find(td::String("made here")), 0);
    EXPECT_EQ(m.find(td::String("drift")), 1);
    EXPECT_STREQ(m.getName(1)->c_str(), "drift");
}
} // namespace
