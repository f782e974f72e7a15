#include <cnt/HashList.h>
#include <mem/CntMemoryManager.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{
struct Entry
{
    td::UINT4 hash = 0;
    Entry* pNext = nullptr;
    int value = 0;
};

TEST(HashList, EqualHashesAreToldApartByTheCaller)
{
    cnt::HashList<Entry> table(4);
    Entry* pA = table.add(7);
    pA->value = 1;
    Entry* pB = table.add(7);
    pB->value = 2;
    table.add(3)->value = 3;
    auto valueIs = [](int v) { return [v](const Entry& e) { return e.value == v; }; };
    EXPECT_EQ(table.find(7, valueIs(1)), pA);
    EXPECT_EQ(table.find(7, valueIs(2)), pB);
    EXPECT_EQ(table.find(7, valueIs(3)), nullptr);                   // same bucket, other hash
    EXPECT_EQ(table.find(7, [](const Entry&) { return true; }), pB); // newest first
    EXPECT_EQ(table.size(), 3u);
}

TEST(HashList, GrowsAndClears)
{
    cnt::HashList<Entry> table(4);
    std::vector<Entry*> entries;
    for (int i = 0; i < 1000; ++i)
    {
        entries.push_back(table.add(static_cast<td::UINT4>(i * 37)));
        entries.back()->value = i;
    }
    EXPECT_EQ(table.bucketCount(), 512u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(table.find(static_cast<td::UINT4>(i * 37), [i](const Entry& e) { return e.value == i; }),
                  entries[static_cast<std::size_t>(i)]);
    table.clear();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.find(0, [](const Entry&) { return true; }), nullptr);
    Entry* pReused = table.add(5);
    EXPECT_EQ(pReused->value, 0);
    EXPECT_EQ(pReused->pNext, nullptr);
}

TEST(CntMemoryManager, RunsGrowInPlaceOrMoveWhole)
{
    mem::CntMemoryManager<int, 8> pool;
    int* pA = pool.append(nullptr, 0);
    for (int i = 0; i < 5; ++i)
    {
        int* pRun = pool.append(pA, static_cast<td::UINT4>(i + 1));
        EXPECT_EQ(pRun, pA);
        pRun[i + 1] = i + 1;
    }
    *pA = 0;
    // Six records of eight are taken: a run of three starts at record 7 and moves once.
    int* pB = pool.append(nullptr, 0);
    pB[0] = 10;
    pB = pool.append(pB, 1);
    pB[1] = 11;
    int* pMoved = pool.append(pB, 2);
    EXPECT_NE(pMoved, pB);
    pMoved[2] = 12;
    EXPECT_EQ(std::vector<int>(pMoved, pMoved + 3), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(std::vector<int>(pA, pA + 6), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(pool.blockCount(), 2u);
    pool.rewind();
    EXPECT_EQ(pool.append(nullptr, 0), pA);
    EXPECT_EQ(pool.blockCount(), 2u);
}

TEST(CntMemoryManagerDeathTest, ARunStaysBelowABlock)
{
    mem::CntMemoryManager<int, 4> pool;
    int* pRun = pool.append(nullptr, 0);
    for (td::UINT4 n = 1; n < 4; ++n)
        pRun = pool.append(pRun, n);
    EXPECT_DEATH(pool.append(pRun, 4), "nToCopy < SINGLEBUFFLEN");
}
} // namespace
