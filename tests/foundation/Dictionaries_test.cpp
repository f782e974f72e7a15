#include <cnt/Dictionary.h>
#include <cnt/DictionaryNonDyn.h>
#include <cnt/SortedVector.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <td/StrKey.h>

namespace
{
using Dict = cnt::Dictionary<td::StrKey, int>;

std::vector<td::LUINT8> keys(const Dict& d)
{
    std::vector<td::LUINT8> out;
    for (td::UINT4 i = 0; i < d.count(); ++i)
        out.push_back(d[i].key.value());
    return out;
}

TEST(Dictionary, SortedOutsideBatchModeAndOnFinalize)
{
    Dict d;
    d.reserve(4);
    for (td::LUINT8 k : {5u, 1u, 3u})
        d.insert(td::StrKey(k), static_cast<int>(k));
    EXPECT_EQ(keys(d), (std::vector<td::LUINT8>{1, 3, 5}));

    Dict b;
    b.reserve(4);
    b.setBatchMode(true);
    for (td::LUINT8 k : {5u, 1u, 3u})
        b.insert(td::StrKey(k), static_cast<int>(k));
    EXPECT_EQ(keys(b), (std::vector<td::LUINT8>{5, 1, 3}));
    EXPECT_TRUE(b.needsSort());
    b.finalize();
    EXPECT_FALSE(b.needsSort());
    EXPECT_FALSE(b.isBatch());
    EXPECT_EQ(keys(b), (std::vector<td::LUINT8>{1, 3, 5}));
}

TEST(Dictionary, GrowthPolicies)
{
    struct Case
    {
        td::BYTE policy;
        td::UINT4 expected;
    } cases[] = {{0, 70}, {1, 36}, {7, 42}, {255, 35 + 65536}};
    for (const Case& c : cases)
    {
        Dict d;
        d.setGrowthPolicy(c.policy);
        d.reserve(35);
        for (td::LUINT8 k = 1; k <= 36; ++k)
            d.insert(td::StrKey(k), 0);
        EXPECT_EQ(d.capacity(), c.expected) << "policy " << int(c.policy);
        EXPECT_EQ(d.count(), 36u);
    }
    Dict never;
    never.insert(td::StrKey("a"), 1);
    never.insert(td::StrKey("b"), 2);
    EXPECT_EQ(never.count(), 2u);
    EXPECT_EQ(never.find(td::StrKey("b"))->value, 2);
}

TEST(Dictionary, BisectionFindsEveryKeyAndMissesAbsentOnes)
{
    for (td::UINT4 n : {0u, 1u, 2u, 7u, 64u})
    {
        Dict d;
        for (td::UINT4 i = 0; i < n; ++i)
            d.insert(td::StrKey(td::LUINT8(2 * i + 2)), static_cast<int>(i));
        for (td::UINT4 i = 0; i < n; ++i)
        {
            const Dict::Entry* e = d.find(td::StrKey(td::LUINT8(2 * i + 2)), 0, n - 1);
            ASSERT_NE(e, nullptr) << n << " " << i;
            EXPECT_EQ(e->value, static_cast<int>(i));
        }
        for (td::LUINT8 miss = 1; miss <= 2 * n + 3; miss += 2)
            EXPECT_EQ(d.find(td::StrKey(miss)), nullptr) << n << " " << miss;
        EXPECT_EQ(d.find(td::StrKey(td::LUINT8(0))), nullptr);
        EXPECT_EQ(d.find(td::StrKey(td::LUINT8(2)), 3, 1), nullptr);
    }
}

TEST(Dictionary, ReserveCases)
{
    Dict d;
    d.reserve(10);
    for (td::LUINT8 k = 1; k <= 10; ++k)
        d.insert(td::StrKey(k), static_cast<int>(k));
    d.reserve(20);
    EXPECT_EQ(d.capacity(), 20u);
    EXPECT_EQ(keys(d).size(), 10u);
    EXPECT_EQ(d.find(td::StrKey(td::LUINT8(10)))->value, 10);
    d.reserve(0);
    EXPECT_EQ(d.capacity(), 20u);
    d.reserve(6);
    EXPECT_EQ(d.capacity(), 6u);
    EXPECT_LE(d.count(), d.capacity());
    EXPECT_EQ(keys(d), (std::vector<td::LUINT8>{1, 2, 3, 4, 5, 6}));
    d.insert(td::StrKey(td::LUINT8(99)), 99);
    EXPECT_EQ(d.count(), 7u);
    d.clear();
    EXPECT_EQ(d.find(td::StrKey(td::LUINT8(1))), nullptr);
}

TEST(DictionaryNonDyn, AFullTableRefusesAndCanBeCleared)
{
    cnt::DictionaryNonDyn<td::StrKey, int, 1> d;
    EXPECT_TRUE(d.insert(td::StrKey("s"), 4));
    EXPECT_FALSE(d.insert(td::StrKey("t"), 5));
    EXPECT_EQ(d.count(), 1u);
    EXPECT_EQ(d.find(td::StrKey("s"))->value, 4);
    EXPECT_EQ(d.find(td::StrKey("t")), nullptr);
    d.clear();
    EXPECT_EQ(d.find(td::StrKey("s")), nullptr);
    EXPECT_TRUE(d.insert(td::StrKey("t"), 5));

    cnt::DictionaryNonDyn<td::StrKey, int, 3> batch;
    batch.setBatchMode(true);
    for (const char* k : {"c", "a", "b"})
        EXPECT_TRUE(batch.insert(td::StrKey(k), k[0]));
    batch.finalize();
    EXPECT_EQ(batch.find(td::StrKey("a"))->value, 'a');
    EXPECT_EQ(batch.find(td::StrKey("c"))->value, 'c');
}

TEST(SortedVector, StringsInThePool)
{
    mem::StringPool pool;
    cnt::SortedVector<td::PoolString> v(&pool);
    v.setGrowthPolicy(1);
    for (const char* t : {"pear", "apple", "fig", "", "kiwi"})
        v.add(t);
    v.add(nullptr);
    EXPECT_EQ(v.count(), 5u);
    EXPECT_EQ(v.capacity(), 5u);
    std::vector<std::string> items;
    for (td::UINT4 i = 0; i < v.count(); ++i)
        items.emplace_back(v[i].c_str());
    EXPECT_EQ(items, (std::vector<std::string>{"", "apple", "fig", "kiwi", "pear"}));
    EXPECT_EQ(v[0].length(), 0u);
    for (const char* t : {"", "apple", "fig", "kiwi", "pear"})
        EXPECT_TRUE(v.contains(td::String(t))) << t;
    for (const char* t : {"zebra", "banana", "applf", "pea"})
        EXPECT_FALSE(v.contains(td::String(t))) << t;
}

TEST(SortedVector, NumbersInBatchMode)
{
    cnt::SortedVector<td::INT4> v;
    v.reserve(2);
    v.setBatchMode(true);
    for (td::INT4 x : {9, -3, 4, 100})
        v.add(x);
    EXPECT_TRUE(v.needsSort());
    v.finalize();
    EXPECT_EQ(v.count(), 4u);
    EXPECT_EQ(v.capacity(), 4u);
    EXPECT_EQ(v[0], -3);
    for (td::INT4 x : {9, -3, 4, 100})
        EXPECT_TRUE(v.contains(x));
    for (td::INT4 x : {-4, 5, 101, 0})
        EXPECT_FALSE(v.contains(x));
    cnt::SortedVector<td::INT4> empty;
    EXPECT_FALSE(empty.contains(0));
}
} // namespace
