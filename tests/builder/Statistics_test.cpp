#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "StatisticsNames.h"

namespace
{
using sc::Group;
using test::Cmplx;

template <typename T> void checkFeeds()
{
    const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
    test::Build<T> b;
    ASSERT_TRUE(b.prepare(std::string("Model [type = NL") + domain +
                          "]:\nVars:\nx = 0; y = 0\nParams:\nm = 0; lo = 0\nStats:\na; b\nNLEs:\nx = 1\ny = 1\n"
                          "PostProc:\na << x\nb << x*10\na << y << y + x\nm = avg(a)\nlo = smin(b)\nend\n"))
        << b.keys() << b.loaded.errors();
    ASSERT_EQ(b.solver.stores.statistics.size(), 2u);
    EXPECT_STREQ(b.solver.stores.statistics.record(0).name.c_str(), "a");
    EXPECT_STREQ(b.solver.stores.statistics.record(1).name.c_str(), "b");
    sl::EvaluatorVect<T>& list = b.solver.stores.sections[sl::SolverStores<T>::PostProc];
    ASSERT_TRUE(b.statements(Group::PostProc, list)) << b.keys();
    std::vector<double> fedA, fedB;
    for (double x : {1.0, 2.0, 3.0})
    {
        b.value("x") = T(x);
        b.value("y") = T(-x);
        ASSERT_TRUE(list.execute(&b.solver));
        fedA.insert(fedA.end(), {x, -x, 0.0});
        fedB.push_back(10 * x);
    }
    // Each feed feeds what it names, into its own statistic.
    const sl::StatisticsRecord& a = b.solver.stores.statistics.record(0);
    const sl::StatisticsRecord& s = b.solver.stores.statistics.record(1);
    EXPECT_EQ(a.count, 9u);
    EXPECT_EQ(a.min, -3.0);
    EXPECT_EQ(a.max, 3.0);
    EXPECT_NEAR(a.mean, 0.0, 1e-15);
    // Squared deviations from the mean 0: twice 1 + 4 + 9.
    EXPECT_NEAR(a.sumSqDev, 28.0, 1e-12);
    EXPECT_EQ(s.count, 3u);
    EXPECT_EQ(s.min, 10.0);
    EXPECT_EQ(s.max, 30.0);
    EXPECT_EQ(s.mean, 20.0);
    EXPECT_EQ(s.sumSqDev, 200.0);
    EXPECT_NEAR(test::re(b.value("m")), 0.0, 1e-15);
    EXPECT_EQ(test::re(b.value("lo")), 10.0);
}

TEST(Statistics, SeveralFeedsOfOneStatistic)
{
    checkFeeds<double>();
    checkFeeds<Cmplx>();
}

TEST(Statistics, OneTwoThree)
{
    test::Build<double> b;
    ASSERT_TRUE(b.prepare("Model [type = NL]:\nVars:\nx = 0\nStats:\nst\nNLEs:\nx = 1\nPostProc:\nst << x\nend\n"))
        << b.keys() << b.loaded.errors();
    sl::EvaluatorVect<double>& list = b.solver.stores.sections[sl::SolverStores<double>::PostProc];
    ASSERT_TRUE(b.statements(Group::PostProc, list)) << b.keys();
    for (double x : {1.0, 2.0, 3.0})
    {
        b.value("x") = x;
        ASSERT_TRUE(list.execute(&b.solver));
    }
    const sl::StatisticsRecord& r = b.solver.stores.statistics.record(0);
    EXPECT_EQ(r.min, 1.0);
    EXPECT_EQ(r.max, 3.0);
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.mean, 2.0);
    EXPECT_EQ(r.sumSqDev, 2.0);
}

TEST(Statistics, NamesAreUnique)
{
    sl::StatisticsStore<double> store;
    store.reserve(3);
    EXPECT_TRUE(sl::setStatsName(store, 0, td::String("a")));
    EXPECT_TRUE(sl::setStatsName(store, 1, td::String("b")));
    EXPECT_FALSE(sl::setStatsName(store, 2, td::String("a")));
    EXPECT_TRUE(store.record(2).name.isEmpty());
    EXPECT_TRUE(sl::setStatsName(store, 2, td::String("")));
    EXPECT_EQ(store.find(td::String("b")), 1);
    // Two empty names are a repetition too.
    store.reserve(2);
    EXPECT_TRUE(sl::setStatsName(store, 0, td::String()));
    EXPECT_FALSE(sl::setStatsName(store, 1, td::String()));
}
} // namespace
