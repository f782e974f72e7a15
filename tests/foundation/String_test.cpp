#include <td/BufferString.h>
#include <td/String.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cnt/PushBackVector.h>
#include <mem/StringMemoryManager.h>

namespace
{
using td::String;

bool isNull(const String& s) { return s.bufferAddress() == nullptr && s.c_str() == mu::__zeroBuffer; }

std::vector<std::string> parts(const cnt::PushBackVector<String>& v)
{
    std::vector<std::string> out;
    for (const String& s : v)
        out.emplace_back(s.c_str());
    return out;
}

TEST(StringSharing, SixteenHoldersShareThenTheNextCopyIsPrivate)
{
    String source("shared text");
    std::vector<String> copies;
    for (int i = 0; i < 15; ++i)
        copies.push_back(source);
    EXPECT_EQ(source.shareCount(), 15u);
    for (const String& c : copies)
        EXPECT_EQ(c.bufferAddress(), source.bufferAddress());

    String seventeenth(source);
    EXPECT_NE(seventeenth.bufferAddress(), source.bufferAddress());
    EXPECT_EQ(seventeenth.shareCount(), 0u);
    EXPECT_EQ(source.shareCount(), 15u);
    EXPECT_STREQ(seventeenth.c_str(), "shared text");
}

TEST(StringSharing, ReleasingAnyHolderLeavesTheOthersReadable)
{
    auto* pFirst = new String("abc");
    String second(*pFirst);
    String third(second);
    EXPECT_EQ(third.shareCount(), 2u);
    delete pFirst;
    EXPECT_EQ(second.shareCount(), 1u);
    EXPECT_STREQ(second.c_str(), "abc");
    second.release();
    EXPECT_TRUE(isNull(second));
    EXPECT_EQ(third.shareCount(), 0u);
    EXPECT_STREQ(third.c_str(), "abc");
}

TEST(StringSharing, SelfAndSameBufferAssignmentChangeNothing)
{
    String a("value");
    String b(a);
    const void* buffer = a.bufferAddress();
    String& alias = a;
    a = alias;
    EXPECT_EQ(a.bufferAddress(), buffer);
    EXPECT_EQ(a.shareCount(), 1u);
    b = a;
    EXPECT_EQ(b.bufferAddress(), buffer);
    EXPECT_EQ(a.shareCount(), 1u);
    EXPECT_STREQ(b.c_str(), "value");
}

TEST(StringSharing, AssignmentFromItsOwnText)
{
    String a("prefix-rest");
    a = a.c_str() + 7;
    EXPECT_STREQ(a.c_str(), "rest");
    a = a.c_str();
    EXPECT_STREQ(a.c_str(), "rest");
    String shared(a);
    shared = shared.c_str() + 1;
    EXPECT_STREQ(shared.c_str(), "est");
    EXPECT_STREQ(a.c_str(), "rest");
}

TEST(StringSharing, CloneAndDetachGivePrivateBuffers)
{
    String a("xyz");
    String b(a);
    String c = a.clone();
    EXPECT_NE(c.bufferAddress(), a.bufferAddress());
    b.detach();
    EXPECT_NE(b.bufferAddress(), a.bufferAddress());
    EXPECT_EQ(a.shareCount(), 0u);
    b.data()[0] = 'X';
    EXPECT_STREQ(a.c_str(), "xyz");
    EXPECT_STREQ(b.c_str(), "Xyz");
    String d;
    d.assignClone(a);
    EXPECT_NE(d.bufferAddress(), a.bufferAddress());
    EXPECT_STREQ(d.c_str(), "xyz");
}

TEST(StringEmpty, EveryEmptyResultIsTheNullString)
{
    EXPECT_TRUE(isNull(String("")));
    EXPECT_TRUE(isNull(String(static_cast<const char*>(nullptr))));
    EXPECT_TRUE(isNull(String(std::string())));
    EXPECT_TRUE(isNull(String("abc").left(0)));
    EXPECT_TRUE(isNull(String("abc").left(-3)));
    EXPECT_TRUE(isNull(String("  \t\r\n").trimmed()));
    String allocated("x");
    EXPECT_FALSE(allocated.allocate(0));
    EXPECT_TRUE(isNull(allocated));
    String formatted("old");
    EXPECT_FALSE(formatted.format("%s", ""));
    EXPECT_TRUE(isNull(formatted));
    String assigned("old");
    assigned = "";
    EXPECT_TRUE(isNull(assigned));
}

TEST(StringRead, CompareEqualsLeftTrimmed)
{
    struct Case
    {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {{"ab", "abc", -1}, {"abd", "abc", 1}, {"", "a", -1},
                 {"abc", "abc", 0}, {"b", "abc", 1},   {"\xff", "a", 1}};
    for (const Case& c : cases)
    {
        EXPECT_EQ(String(c.a).compare(String(c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(String(c.b).compare(String(c.a)), -c.expected) << c.b << " vs " << c.a;
    }
    EXPECT_TRUE(String("abc").equals("abcdef", 3));
    EXPECT_FALSE(String("abc").equals("abd", 3));
    EXPECT_FALSE(String("abc").equals("abc", 2));
    EXPECT_TRUE(String().equals("", 0));
    EXPECT_STREQ(String("abcdef").left(3).c_str(), "abc");
    EXPECT_STREQ(String("abc").left(10).c_str(), "abc");
    EXPECT_STREQ(String(" \t a b \r\n").trimmed().c_str(), "a b");
    EXPECT_TRUE(String("abc") == String("abc"));
    EXPECT_FALSE(String("abc") == String("abcd"));
}

TEST(StringRead, FindNonBlankAndIsTrue)
{
    String s("  x ");
    EXPECT_EQ(s.findNonBlank(0), 2);
    EXPECT_EQ(s.findNonBlank(2), 2);
    EXPECT_EQ(s.findNonBlank(3), -1);
    EXPECT_EQ(s.findNonBlank(4), -1);
    EXPECT_EQ(String().findNonBlank(0), -1);
    for (const char* t : {"True", "true"})
        EXPECT_TRUE(String(t).isTrue()) << t;
    for (const char* f : {"TRUE", "true ", "yes", "", "tRue"})
        EXPECT_FALSE(String(f).isTrue()) << f;
}

TEST(StringRead, ClassifyNumber)
{
    struct Case
    {
        const char* text;
        int expected;
    } cases[] = {{"  -12", 2}, {"3.14", 5}, {"-0.5", 4}, {"1.2.3", 1}, {"12 ", 1}, {"", 0},    {" \t", 0}, {"-", 1},
                 {"5.", 5},    {".5", 1},   {"42", 3},   {"1e5", 1},   {"-7", 2},  {"-3.", 4}, {"+3", 1}};
    for (const Case& c : cases)
        EXPECT_EQ(td::classifyNumber(c.text), c.expected) << "'" << c.text << "'";
}

TEST(StringChange, SplitGivesSeparatorCountPlusOneParts)
{
    cnt::PushBackVector<String> out;
    String("a,,b,").split(',', out, false, true);
    EXPECT_EQ(parts(out), (std::vector<std::string>{"a", "", "b", ""}));
    String("abc").split(',', out, false, true);
    EXPECT_EQ(parts(out), (std::vector<std::string>{"abc"}));
    String().split(',', out, false, true);
    EXPECT_EQ(parts(out), (std::vector<std::string>{""}));
    String(" a , b ").split(',', out, true, true);
    EXPECT_EQ(parts(out), (std::vector<std::string>{"a", "b"}));
    String("c").split(',', out, false, false);
    EXPECT_EQ(parts(out), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(StringChange, AppendGrowsExactly)
{
    String s;
    s.append("ab", 2);
    s.append(nullptr, 3);
    s.append("zz", 0);
    EXPECT_STREQ(s.c_str(), "ab");
    String shared(s);
    s.append("cd", 2);
    EXPECT_STREQ(s.c_str(), "abcd");
    EXPECT_STREQ(shared.c_str(), "ab");
    s.append(s.c_str(), static_cast<int>(s.length()));
    EXPECT_STREQ(s.c_str(), "abcdabcd");
}

TEST(StringFormat, LongTextsComeOutWhole)
{
    for (std::size_t n : {std::size_t(1023), std::size_t(1500), std::size_t(70000)})
    {
        std::string text(n, 'q');
        text.back() = 'E';
        String s;
        EXPECT_TRUE(s.format("%s", text.c_str()));
        EXPECT_EQ(s.length(), n);
        EXPECT_EQ(std::string(s.c_str()), text);

        td::MutableString m("<");
        EXPECT_TRUE(m.appendFormat("%s%d", text.c_str(), 7));
        EXPECT_EQ(m.length(), n + 2);
        EXPECT_EQ(std::string(m.c_str()), "<" + text + "7");
    }
}

TEST(StringFormat, FormattingItsOwnText)
{
    String s("own text");
    EXPECT_TRUE(s.format("%s", s.c_str()));
    EXPECT_STREQ(s.c_str(), "own text");
    String big(std::string(3000, 'w'));
    EXPECT_TRUE(big.format("[%s]", big.c_str()));
    EXPECT_EQ(big.length(), 3002u);
    td::MutableString m;
    EXPECT_FALSE(m.appendFormat("%s", ""));
    EXPECT_EQ(m.length(), 0u);
}

TEST(StringFormat, ToStringIsLocaleIndependent)
{
    char buf[64];
    EXPECT_STREQ(td::toString(0.1, buf), "0.1");
    EXPECT_STREQ(td::toString(1e20, buf), "1e+20");
    EXPECT_STREQ(td::toString(-2.5e-7, buf), "-2.5e-07");
    EXPECT_STREQ(td::toString(123456789.0, buf), "1.23457e+08");
    EXPECT_STREQ(td::toString(100000.0, buf), "100000");

    const char* before = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = before ? before : "C";
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    bool switched = false;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_NUMERIC, name))
        {
            switched = true;
            break;
        }
    if (!switched)
        GTEST_SKIP() << "no comma-decimal locale installed";
    std::string active = std::setlocale(LC_NUMERIC, nullptr);
    char probe[16];
    std::snprintf(probe, sizeof(probe), "%g", 0.5);
    EXPECT_STREQ(probe, "0,5");
    EXPECT_STREQ(td::toString(0.1, buf), "0.1");
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), active);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StringAccessDeathTest, AtAssertsItsBounds)
{
    String s("ab");
    EXPECT_EQ(s.at(1), 'b');
    EXPECT_DEATH(s.at(2), "pos < length\\(\\)");
    EXPECT_DEATH(String().at(0), "pos < length\\(\\)");
}

TEST(StringAccessDeathTest, LengthBeyondTheLimitFailsLoudly)
{
    String s("x");
    EXPECT_DEATH(s.setLength(0x10000000u), "cMaxStringLength");
    td::BufferString b(4);
    b.append('x');
    const char* volatile src = "y";
    EXPECT_DEATH(b.append(src, 0x0FFFFFFFu), "cMaxStringLength");
}

TEST(MutableString, CopiesNeverAliasItsBuffer)
{
    td::MutableString m;
    m.reserve(64);
    EXPECT_EQ(m.length(), 0u);
    m.append("grow");
    String copy = m.toString();
    EXPECT_NE(copy.bufferAddress(), m.str().bufferAddress());
    m.append(" more");
    EXPECT_STREQ(copy.c_str(), "grow");
    EXPECT_STREQ(m.c_str(), "grow more");
    String fromRef(m.str());
    EXPECT_NE(fromRef.bufferAddress(), m.str().bufferAddress());
}

TEST(MutableString, GrowsInPlaceWhileItFits)
{
    td::MutableString m;
    m.reserve(16);
    const void* buffer = m.str().bufferAddress();
    m.append("0123456789");
    EXPECT_EQ(m.str().bufferAddress(), buffer);
    m.append("abcdefghij");
    EXPECT_NE(m.str().bufferAddress(), buffer);
    EXPECT_EQ(m.capacity(), 21u);
    EXPECT_STREQ(m.c_str(), "0123456789abcdefghij");
    m.append(m.c_str(), 4);
    EXPECT_STREQ(m.c_str(), "0123456789abcdefghij0123");
    m.reserve(8);
    EXPECT_EQ(m.length(), 0u);
    EXPECT_STREQ(m.c_str(), "");
}

TEST(BufferString, GrowthIsTheLargerOfRequestPlus256AndHalfTheCapacity)
{
    struct Step
    {
        td::UINT4 append;
        td::UINT4 capacityAfter;
    };
    // From 512 one byte past gives 512 + 1 + 256; from 769 a byte gives 769 * 3 / 2; a
    // large request gives the request plus 256 more; a full array fills before it grows.
    const Step steps[] = {{512, 512}, {1, 769}, {256, 769}, {1, 1153}, {2000, 3409}, {10000, 13665}, {1000, 20497}};
    td::BufferString b;
    std::string expected;
    for (const Step& s : steps)
    {
        std::string chunk(s.append, static_cast<char>('a' + expected.size() % 26));
        if (s.append == 1)
            b.append(chunk[0]);
        else
            b.append(chunk.data(), s.append);
        expected += chunk;
        EXPECT_EQ(b.capacity(), s.capacityAfter) << "after " << expected.size() << " bytes";
    }
    EXPECT_EQ(b.length(), expected.size());
    EXPECT_EQ(std::string(b.c_str()), expected);
}

TEST(BufferString, ClearKeepsTheArrayAndTracksBlanks)
{
    td::BufferString b(4);
    EXPECT_TRUE(b.isBlank());
    b.append(" \t\r\n", 4);
    EXPECT_TRUE(b.isBlank());
    b.append('x');
    EXPECT_FALSE(b.isBlank());
    b.append(' ');
    EXPECT_FALSE(b.isBlank());
    td::UINT4 capacity = b.capacity();
    b.clear();
    EXPECT_TRUE(b.isBlank());
    EXPECT_EQ(b.length(), 0u);
    EXPECT_EQ(b.capacity(), capacity);
    EXPECT_STREQ(b.c_str(), "");
    b.append("ab", 2);
    EXPECT_TRUE(b.equals("ab"));
    EXPECT_FALSE(b.equals("abc"));
}

TEST(StringPool, ChunksAndRemainders)
{
    mem::StringPool pool;
    std::vector<unsigned> chunks;
    auto chunkSizes = [&] {
        chunks.clear();
        pool.forEachChunk([&](unsigned size) { chunks.push_back(size); });
        return chunks;
    };
    char* a = static_cast<char*>(pool.alloc(65536 + 8));
    EXPECT_EQ(chunkSizes(), (std::vector<unsigned>{65544}));
    // The whole chunk went out (remainder 0); the next request opens a standard chunk.
    char* b = static_cast<char*>(pool.alloc(65536 - 24));
    EXPECT_EQ(chunkSizes(), (std::vector<unsigned>{65544, 65536}));
    // A remainder of 24 bytes was handed out with b, so this needs a third chunk.
    char* c = static_cast<char*>(pool.alloc(16));
    EXPECT_EQ(chunkSizes().size(), 3u);
    // A remainder of 32 bytes is split off and used next.
    char* d = static_cast<char*>(pool.alloc(65536 - 16 - 32));
    char* e = static_cast<char*>(pool.alloc(32));
    EXPECT_EQ(chunkSizes().size(), 3u);
    EXPECT_EQ(d, c + 16);
    EXPECT_EQ(e, d + (65536 - 16 - 32));
    EXPECT_NE(a, b);
    pool.release();
    EXPECT_TRUE(chunkSizes().empty());
}

TEST(StringPool, PoolStringsAndHashes)
{
    mem::StringPool pool;
    td::PoolString p;
    String::allocateIn(pool, p, 3, "abc");
    EXPECT_STREQ(p.c_str(), "abc");
    EXPECT_EQ(p.length(), 3u);
    td::PoolString* pObj = String::createIn(pool, String("abcdef"));
    ASSERT_NE(pObj, nullptr);
    EXPECT_STREQ(pObj->c_str(), "abcdef");
    EXPECT_EQ(String::createIn(pool, String()), nullptr);
    EXPECT_EQ(String::createIn(pool, 0, "x"), nullptr);
    td::PoolString none;
    String::allocateIn(pool, none, 0, "x");
    EXPECT_EQ(none.length(), 0u);

    String heap(p);
    EXPECT_NE(heap.bufferAddress(), p.bufferAddress());
    EXPECT_TRUE(heap == p);
    EXPECT_EQ(std::hash<String>()(String("abc")), 0x18823u);
    EXPECT_EQ(std::hash<td::PoolString>()(p), 0x18823u);
    EXPECT_EQ(std::hash<String>()(String("Vars")), 0x2A8A33u);
    EXPECT_EQ(std::hash<String>()(String()), 0u);
}
} // namespace
