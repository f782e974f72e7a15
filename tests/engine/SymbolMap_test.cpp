#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "SymbolMap.h"

namespace
{
// The hash rule written out for a check: signed bytes, lower case shifted down by 40.
td::LUINT8 reference(const std::string& s)
{
    td::LUINT8 h = 0;
    for (char ch : s)
    {
        long long c = static_cast<signed char>(ch);
        if (c >= 96)
            c -= 40;
        h = static_cast<td::LUINT8>(c) + (h >> 28) + h * 8;
    }
    return h;
}

TEST(SymbolMap, HashFollowsTheRule)
{
    EXPECT_EQ(sl::SymbolMap::hash(""), 0u);
    EXPECT_EQ(sl::SymbolMap::hash("A"), 65u);
    EXPECT_EQ(sl::SymbolMap::hash("a"), 57u);
    EXPECT_EQ(sl::SymbolMap::hash("ab"), 57u * 8 + 58u);
    for (const char* s : {"x", "velocity", "repeat#", "\xC3\xA9t\xC3\xA9", "a_very_long_symbol_name_for_the_shift"})
        EXPECT_EQ(sl::SymbolMap::hash(s), reference(s)) << s;
    // Bytes of 128 and above count negative.
    EXPECT_EQ(sl::SymbolMap::hash("\xFF"), static_cast<td::LUINT8>(-1));
}

TEST(SymbolMap, LookupByName)
{
    sl::SymbolMap map;
    map.addSymbolName("x", 0);
    map.addSymbolName("y", 1);
    map.addSymbolName("speed", 2);
    map.addSymbolName("x", 3);
    struct Case
    {
        const char* name;
        td::INT4 index;
    } cases[] = {{"x", 0}, {"y", 1}, {"speed", 2}, {"spee", -1}, {"speeds", -1}, {"z", -1}, {"", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(map.find(c.name), c.index) << c.name;
    EXPECT_EQ(map.find(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(map.getNumberOfNames(), 4u);
    EXPECT_STREQ(map.nameAt(2)->c_str(), "speed");
}

TEST(SymbolMap, EqualHashesAreToldApartByTheName)
{
    // "ab" and "`B": 57 * 8 + 58 == 56 * 8 + 66 (the backquote is 96, minus 40).
    ASSERT_EQ(sl::SymbolMap::hash("ab"), sl::SymbolMap::hash("`B"));
    sl::SymbolMap map;
    map.addSymbolName("ab", 0);
    map.addSymbolName("`B", 1);
    EXPECT_EQ(map.find("ab"), 0);
    EXPECT_EQ(map.find("`B"), 1);
}

TEST(SymbolMap, NamesFillUpToTheirIndex)
{
    sl::SymbolMap map;
    map.addSymbolName("p", 5);
    EXPECT_EQ(map.getNumberOfNames(), 6u);
    EXPECT_TRUE(map.nameAt(3)->isEmpty());
    EXPECT_EQ(map.find("p"), 5);
    // A name mapped without being stored is not found.
    map.mapSymbol("q", 2);
    EXPECT_EQ(map.find("q"), -1);
    map.clean();
    EXPECT_EQ(map.find("p"), -1);
    EXPECT_EQ(map.getNumberOfNames(), 0u);
}
} // namespace
