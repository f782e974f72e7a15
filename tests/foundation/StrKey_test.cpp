#include <td/StrKey.h>

#include <gtest/gtest.h>

namespace
{
using td::StrKey;

TEST(StrKey, ShortNamesAreStoredByteForByte)
{
    EXPECT_EQ(StrKey("x").value(), 0x78u);
    EXPECT_EQ(StrKey("abc").value(), 0x636261u);
    EXPECT_EQ(StrKey("abcdefgh").value(), 0x6867666564636261u);
    EXPECT_EQ(StrKey("abcdef", 3).value(), 0x636261u);
    EXPECT_EQ(StrKey(td::String("abc")).value(), 0x636261u);
}

TEST(StrKey, LongNamesKeepNineCharactersAtSevenBits)
{
    td::LUINT8 expected = 0;
    const char* name = "abcdefghi";
    for (int i = 0; i < 8; ++i)
        expected |= td::LUINT8(name[i] & 0x7F) << (57 - 7 * i);
    expected |= td::LUINT8(name[8] & 0x7F);
    EXPECT_EQ(StrKey("abcdefghi").value(), expected);
    EXPECT_EQ(StrKey("abcdefghi").value(), StrKey("abcdefghiXYZ").value());
    EXPECT_EQ(StrKey("abcdefghi").value() ^ StrKey("abcdefghj").value(), td::LUINT8('i' ^ 'j'));
    EXPECT_EQ(StrKey("abcdefghi").value() & 0x80u, 0u);
}

TEST(StrKey, HighBytesContributeTheirLowSevenBitsOnly)
{
    td::LUINT8 plain = StrKey("abcdefghi").value();
    td::LUINT8 high = StrKey("abc\xe4"
                             "efghi")
                          .value();
    td::LUINT8 field = td::LUINT8(0x7F) << (57 - 7 * 3);
    EXPECT_EQ(plain & ~field, high & ~field);
    EXPECT_EQ((high & field) >> (57 - 7 * 3), td::LUINT8(0xe4 & 0x7F));
}

TEST(StrKey, NullOrEmptyNameIsZero)
{
    EXPECT_EQ(StrKey(static_cast<const char*>(nullptr)).value(), 0u);
    EXPECT_EQ(StrKey("").value(), 0u);
    EXPECT_EQ(StrKey("abc", 0).value(), 0u);
    EXPECT_EQ(StrKey(td::String()).value(), 0u);
    EXPECT_EQ(StrKey().value(), 0u);
    EXPECT_LT(StrKey("a"), StrKey("b"));
}
} // namespace
