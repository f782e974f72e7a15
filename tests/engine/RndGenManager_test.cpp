#include <gtest/gtest.h>

#include "EngineSupport.h"

namespace
{
TEST(RndGenManager, AddFindAndDraw)
{
    td::String a("noise"), b("drift"), again("noise"), empty;
    sl::RndGenManager m;
    m.reserve(2);
    EXPECT_EQ(m.add(a, new test::CountingGen(1)), 0);
    EXPECT_EQ(m.add(b, new test::CountingGen(100)), 1);
    // The first generator of a name stays; the second is dropped.
    EXPECT_EQ(m.add(again, new test::CountingGen(50)), -1);
    EXPECT_EQ(m.size(), 2u);
    EXPECT_EQ(m.find(again), 0);
    EXPECT_EQ(m.find(b), 1);
    EXPECT_EQ(m.find(empty), -1);
    EXPECT_EQ(m.find("drif", 4), -1);
    double out = 0;
    m.draw(1, out);
    EXPECT_EQ(out, 100);
    m.draw(1, out);
    EXPECT_EQ(out, 101);
    m.draw(0, out);
    EXPECT_EQ(out, 1);
}

class SeededGen final : public rnd::Gen
{
public:
    void generate(double& out) override { out = static_cast<double>(_engine()); }
};

TEST(RndGenManager, GeneratorsDrawTheirOwnStreams)
{
    SeededGen first, second;
    double a = 0, b = 0, c = 0, d = 0;
    first.generate(a);
    first.generate(b);
    second.generate(c);
    second.generate(d);
    EXPECT_FALSE(a == c && b == d);
}

TEST(RndGenManagerDeathTest, DrawOutsideTheGeneratorsAsserts)
{
    td::String a("g");
    sl::RndGenManager m;
    m.add(a, new test::CountingGen(1));
    double out = 0;
    EXPECT_DEATH(m.draw(1, out), "pos < sz");
    EXPECT_DEATH(m.draw(-1, out), "pos >= 0");
}
} // namespace
