#include <cnt/List.h>
#include <cnt/ListSL.h>
#include <mem/Manager.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <td/String.h>

namespace
{
struct Token
{
    double value = 0.0;
    td::UINT4 aux = 0;
    td::UINT2 type = 93;
};

TEST(BlockPool, TheItemAfterAFullBlockOpensASecondBlock)
{
    mem::priv::Manager<Token, 2730> pool;
    std::set<Token*> seen;
    for (int i = 0; i < 2730; ++i)
        seen.insert(pool.alloc());
    EXPECT_EQ(pool.blockCount(), 1u);
    EXPECT_EQ(seen.size(), 2730u);
    seen.insert(pool.alloc());
    EXPECT_EQ(pool.blockCount(), 2u);
    EXPECT_EQ(seen.size(), 2731u);
}

TEST(BlockPool, FreshItemsAreDefaultConstructed)
{
    mem::priv::Manager<Token, 16> pool;
    for (int i = 0; i < 20; ++i)
    {
        Token* t = pool.alloc();
        EXPECT_EQ(t->type, 93);
        EXPECT_EQ(t->value, 0.0);
    }
    mem::priv::Manager<td::String, 4> strings;
    td::String* s = strings.alloc();
    EXPECT_EQ(s->length(), 0u);
    *s = "kept";
    strings.free(s);
    EXPECT_STREQ(strings.alloc()->c_str(), "kept");
}

TEST(BlockPool, AFreedItemComesBackFirst)
{
    mem::priv::Manager<Token, 8> pool;
    Token* a = pool.alloc();
    Token* b = pool.alloc();
    pool.free(a);
    pool.free(b);
    EXPECT_EQ(pool.alloc(), b);
    EXPECT_EQ(pool.alloc(), a);
}

TEST(BlockPool, RewindHandsOutExistingBlocksFirst)
{
    mem::priv::Manager<Token, 4> pool;
    std::set<Token*> first;
    for (int i = 0; i < 12; ++i)
        first.insert(pool.alloc());
    EXPECT_EQ(pool.blockCount(), 3u);
    pool.rewind();
    std::set<Token*> second;
    for (int i = 0; i < 12; ++i)
        second.insert(pool.alloc());
    EXPECT_EQ(pool.blockCount(), 3u);
    EXPECT_EQ(first, second);
    pool.alloc();
    EXPECT_EQ(pool.blockCount(), 4u);
}

struct Record
{
    int target = -1;
    char op = '=';
};

TEST(ItemList, RunsComeFromOneBlock)
{
    cnt::List<Record> list(4);
    EXPECT_EQ(list.alloc(0), nullptr);
    Record* a = list.alloc(3);
    Record* b = list.alloc(2);
    EXPECT_EQ(list.blockCount(), 2u);
    EXPECT_NE(b, a + 3);
    Record* big = list.alloc(10);
    EXPECT_EQ(list.blockLength(), 10u);
    EXPECT_EQ(list.blockCount(), 3u);
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(big[i].target, -1);
        EXPECT_EQ(big[i].op, '=');
    }
    Record* single = list.alloc();
    EXPECT_EQ(single->target, -1);
}

TEST(ItemList, ReuseNeverOverrunsAShortBlock)
{
    cnt::List<Record> list(4);
    list.alloc(4);
    list.alloc(4);
    list.rewind();
    Record* reused = list.alloc(4);
    EXPECT_EQ(list.blockCount(), 2u);
    reused[3].target = 5;
    // The second block holds 4 items only; a run of 6 needs a block of its own.
    Record* run = list.alloc(6);
    EXPECT_EQ(list.blockCount(), 3u);
    for (int i = 0; i < 6; ++i)
        run[i].target = i;
    EXPECT_EQ(reused[3].target, 5);
}

TEST(SinglyLinkedList, PushBackKeepsOrderAcrossBlocks)
{
    cnt::ListSL<int, 3> store;
    cnt::ListSL<int, 3>::List a, b;
    for (int i = 0; i < 7; ++i)
    {
        store.pushBack(a) = i;
        store.pushBack(b) = 100 + i;
    }
    std::vector<int> seenA, seenB;
    for (auto it = store.begin(a); it.isValid(); it.next())
        seenA.push_back(*it);
    for (auto it = store.begin(b); it.isValid(); it.next())
        seenB.push_back(*it);
    EXPECT_EQ(seenA, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(seenB.front(), 100);
    EXPECT_EQ(seenB.back(), 106);
    cnt::ListSL<int, 3>::List empty;
    EXPECT_FALSE(store.begin(empty).isValid());
}
} // namespace
