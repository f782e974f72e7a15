#include <cnt/StringBuilder.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace
{
std::string pattern(std::size_t n, std::size_t seed)
{
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return s;
}

template <td::UINT4 N> void checkJoins()
{
    const std::size_t sizes[][3] = {{N, 1, 0}, {N - 1, 1, 1}, {1, N, N}, {3 * N + 5, 0, 2}, {N / 2, N / 2, N + 3}};
    for (const auto& parts : sizes)
    {
        cnt::StringBuilder<N> b;
        std::string expected;
        for (std::size_t i = 0; i < 3; ++i)
        {
            std::string part = pattern(parts[i], i);
            b.append(part.data(), static_cast<td::UINT4>(part.size()));
            expected += part;
        }
        EXPECT_EQ(b.length(), expected.size());
        td::String joined = b.toString();
        EXPECT_EQ(std::string(joined.c_str(), joined.length()), expected) << N << " " << parts[0];
    }
}

TEST(StringBuilder, BytesAcrossChunkBoundariesJoinInOrder)
{
    checkJoins<1024>();
    checkJoins<65536>();
}

TEST(StringBuilder, ExactlyFullChunkThenOneByteMore)
{
    cnt::StringBuilder<65536> b;
    std::string full = pattern(65536, 3);
    b.append(full.data(), 65536);
    EXPECT_EQ(b.usedInCurrentChunk(), 65536u);
    EXPECT_EQ(b.allocatedBytes(), 65536u);
    b.append("!", 1);
    EXPECT_EQ(b.allocatedBytes(), 2u * 65536);
    EXPECT_EQ(b.usedInCurrentChunk(), 1u);
    td::String s = b.toString();
    EXPECT_EQ(s.length(), 65537u);
    EXPECT_EQ(std::string(s.c_str(), s.length()), full + "!");
}

TEST(StringBuilder, NumbersAndReuseAfterClear)
{
    cnt::StringBuilder<1024> b;
    EXPECT_EQ(b.toString().length(), 0u);
    b.append("(");
    b.append(td::INT4(-12));
    b.append(',');
    b.append(td::UINT4(7));
    b.append("):");
    b.append(0.25);
    EXPECT_STREQ(b.toString().c_str(), "(-12,7):0.25");
    std::string big = pattern(3000, 1);
    b.append(big.data(), 3000);
    td::UINT4 allocated = b.allocatedBytes();
    b.clear();
    EXPECT_EQ(b.length(), 0u);
    b.append(big.data(), 3000);
    EXPECT_EQ(b.allocatedBytes(), allocated);
    EXPECT_EQ(std::string(b.toString().c_str()), big);
}
// A solver's error log quotes the texts it refuses: an entry that quotes one near the
// string length limit is cut at the limit instead of ending the process.
TEST(StringBuilder, BytesBeyondTheLengthLimitAreDropped)
{
    const td::UINT4 limit = td::priv::cMaxStringLength;
    const std::string mebibyte = pattern(1u << 20, 5);
    cnt::StringBuilder<65536> b;
    b.append("(3,NLEqs):");
    while (b.length() + mebibyte.size() <= limit)
        b.append(mebibyte.data(), static_cast<td::UINT4>(mebibyte.size()));
    const td::UINT4 before = b.length();
    b.append(mebibyte.data(), static_cast<td::UINT4>(mebibyte.size()));
    EXPECT_EQ(b.length(), limit);
    b.append(" (@ET.OperAfterOper)");
    b.append('!');
    b.append(td::INT4(42));
    EXPECT_EQ(b.length(), limit);
    const td::String joined = b.toString();
    ASSERT_EQ(joined.length(), limit);
    EXPECT_EQ(std::memcmp(joined.c_str() + before, mebibyte.data(), limit - before), 0);
    b.clear();
    b.append("again");
    EXPECT_STREQ(b.toString().c_str(), "again");
}
} // namespace
