#include <td/Variant.h>

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace
{
using td::Variant;

TEST(Variant, ConversionsByCode)
{
    struct Case
    {
        Variant v;
        int asInt;
        double asDouble;
    } cases[] = {
        {Variant(true), 1, 1.0},
        {Variant(false), 0, 0.0},
        {Variant::make(td::byte, td::BYTE(200)), 200, 200.0},
        {Variant::make(td::word, td::WORD(65535)), 65535, 65535.0},
        {Variant::make(td::int2, td::INT2(-5)), -5, -5.0},
        {Variant::make(td::uint4, td::UINT4(4000000000u)), static_cast<int>(4000000000u - 4294967296LL), 4000000000.0},
        {Variant(td::INT4(-7)), -7, -7.0},
        {Variant::make(td::lint8, td::LINT8(0x100000005LL)), 5, 4294967301.0},
        {Variant::make(td::real4, 2.75f), 2, 2.75},
        {Variant(-2.75), -2, -2.75},
        {Variant("42"), 42, 42.0},
        {Variant("2.5"), 2, 2.5},
        {Variant(""), 0, 0.0},
        {Variant::make(td::decimal2, td::LINT8(-1234)), -12, -12.34},
        {Variant::make(td::decimal2, td::LINT8(150)), 1, 1.5},
        {Variant::make(td::smallDecimal2, td::INT4(-5)), 0, -0.05},
        {Variant::make(td::noValue, td::INT4(9)), 0, 0.0},
        {Variant(), 0, 0.0},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.v.toInt(), c.asInt) << "code " << int(c.v.getType());
        EXPECT_DOUBLE_EQ(c.v.toDouble(), c.asDouble) << "code " << int(c.v.getType());
    }
    EXPECT_EQ(Variant::make(td::decimal2, td::LINT8(-1234)).toDouble(), -(0.34 + 12.0));
}

TEST(Variant, UnsignedSixtyFourBitReadsPositive)
{
    td::LUINT8 big = (td::LUINT8(1) << 63) + 2;
    EXPECT_EQ(Variant::make(td::luint8, big).toDouble(), 9223372036854775808.0);
}

TEST(Variant, ToIntOfNaNOrOutOfRangeIsIntMin)
{
    for (double d : {std::nan(""), 3e9, -3e9, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(Variant(d).toInt(), INT_MIN) << d;
    EXPECT_EQ(Variant(2147483647.9).toInt(), INT_MAX);
    EXPECT_EQ(Variant(-2147483648.9).toInt(), INT_MIN);
    EXPECT_EQ(Variant("99999999999").toInt(), INT_MIN);
}

TEST(Variant, AdditionExamples)
{
    Variant n = Variant(false);
    n += Variant(true);
    EXPECT_TRUE(n.boolVal());
    Variant y = Variant(true);
    y += Variant(false);
    EXPECT_TRUE(y.boolVal());

    Variant a = Variant(td::INT4(2)) + Variant::make(td::byte, td::BYTE(3));
    EXPECT_EQ(a.getType(), td::int4);
    EXPECT_EQ(a.i4Val(), 5);
    Variant b = Variant(td::INT4(2)) + Variant(0.5);
    EXPECT_EQ(b.getType(), td::real8);
    EXPECT_EQ(b.r8Val(), 2.5);
    Variant c = Variant("7") + Variant(td::INT4(1));
    EXPECT_EQ(c.getType(), td::real8);
    EXPECT_EQ(c.r8Val(), 8.0);
    Variant s = Variant("ab") + Variant("cd");
    EXPECT_STREQ(s.strVal().c_str(), "abcd");
}

TEST(Variant, IntegerAdditionWraps)
{
    Variant m(td::INT4(INT_MAX));
    m += Variant(td::INT4(1));
    EXPECT_EQ(m.i4Val(), INT_MIN);
    Variant mixed = Variant(td::INT4(INT_MAX)) + Variant::make(td::byte, td::BYTE(1));
    EXPECT_EQ(mixed.i4Val(), INT_MIN);
    Variant b = Variant::make(td::byte, td::BYTE(255));
    b += Variant::make(td::byte, td::BYTE(2));
    EXPECT_EQ(b.toInt(), 1);
}

TEST(Variant, StringValueSemantics)
{
    td::String text("payload");
    {
        Variant v(text);
        EXPECT_EQ(text.shareCount(), 1u);
        Variant copy(v);
        EXPECT_EQ(text.shareCount(), 2u);
        Variant assigned;
        assigned = copy;
        EXPECT_EQ(text.shareCount(), 3u);
        assigned = Variant(td::INT4(3));
        EXPECT_EQ(text.shareCount(), 2u);
        copy.release();
        EXPECT_EQ(copy.getType(), td::string8);
        EXPECT_STREQ(copy.strVal().c_str(), "");
        EXPECT_EQ(text.shareCount(), 1u);
    }
    EXPECT_EQ(text.shareCount(), 0u);
    Variant self(text);
    Variant& alias = self;
    self = alias;
    EXPECT_STREQ(self.strVal().c_str(), "payload");
}
} // namespace
