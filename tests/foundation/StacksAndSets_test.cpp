#include <cnt/FixNumSet.h>
#include <cnt/Stack.h>
#include <cnt/StackExt.h>

#include <vector>

#include <gtest/gtest.h>

namespace
{
std::vector<td::UINT4> members(const cnt::FixNumSet& s)
{
    std::vector<td::UINT4> out;
    for (td::UINT4 v : s)
        out.push_back(v);
    return out;
}

TEST(Stack, GrowsBySixteen)
{
    cnt::Stack<int*> s;
    int items[17];
    for (int& i : items)
        ASSERT_TRUE(s.push(&i));
    EXPECT_EQ(s.capacity(), 32);
    EXPECT_EQ(s.size(), 17);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(s[i], &items[i]);
    EXPECT_EQ(s.top(), &items[16]);
    s.pop();
    EXPECT_EQ(s.top(), &items[15]);
}

TEST(Stack, GrowthBeyondTheLimitIsRefused)
{
    cnt::Stack<int> s;
    for (int i = 0; i < cnt::Stack<int>::cMaxCapacity; ++i)
        ASSERT_TRUE(s.push(i));
    EXPECT_EQ(s.size(), 32752);
    EXPECT_FALSE(s.push(-1));
    EXPECT_EQ(s.size(), 32752);
    EXPECT_EQ(s.top(), 32751);
    s.pop();
    EXPECT_TRUE(s.push(7));
    EXPECT_FALSE(s.push(8));
}

TEST(StackDeathTest, EmptyTopAndPopTrip)
{
    cnt::Stack<int> s;
    EXPECT_DEATH(s.top(), "_top >= 0");
    EXPECT_DEATH(s.pop(), "_top >= 0");
}

TEST(StackExt, NodesReturnToThePool)
{
    cnt::priv::StackExt<int, 4> s;
    for (int i = 0; i < 10; ++i)
        s.push(i);
    for (int i = 9; i >= 0; --i)
    {
        EXPECT_EQ(s.top(), i);
        s.pop();
    }
    EXPECT_TRUE(s.isEmpty());
    s.push() = 42;
    EXPECT_EQ(s.top(), 42);
}

TEST(StackExt, StacksShareOnePool)
{
    cnt::priv::StackExt<int, 2>::Pool pool;
    cnt::priv::StackExt<int, 2> a(&pool), b(&pool);
    a.push(1);
    b.push(2);
    a.push(3);
    EXPECT_EQ(pool.blockCount(), 2u);
    a.pop();
    b.push(4);
    EXPECT_EQ(pool.blockCount(), 2u);
    EXPECT_EQ(a.top(), 1);
    EXPECT_EQ(b.top(), 4);
}

TEST(FixNumSet, InsertKeepsAscendingOrder)
{
    cnt::FixNumSet s(10);
    for (td::UINT4 v : {5u, 2u, 7u, 5u})
        s.insert(v);
    EXPECT_EQ(members(s), (std::vector<td::UINT4>{2, 5, 7}));
    EXPECT_EQ(s.first(), 3u);
    EXPECT_EQ(s.last(), 8u);
    s.insert(0);
    EXPECT_EQ(s.first(), 1u);
    s.insert(6);
    s.insert(9);
    EXPECT_EQ(members(s), (std::vector<td::UINT4>{0, 2, 5, 6, 7, 9}));
    EXPECT_TRUE(s.contains(6));
    EXPECT_FALSE(s.contains(3));
    EXPECT_FALSE(s.contains(42));
}

TEST(FixNumSet, EmptyingLeavesAReusableSet)
{
    cnt::FixNumSet s(10);
    for (td::UINT4 v : {9u, 1u, 4u})
        s.insert(v);
    s.clear();
    EXPECT_TRUE(s.isEmpty());
    EXPECT_TRUE(members(s).empty());
    for (td::UINT4 v = 0; v < 10; ++v)
        EXPECT_FALSE(s.contains(v)) << v;
    s.insert(3);
    s.insert(1);
    EXPECT_EQ(members(s), (std::vector<td::UINT4>{1, 3}));
    s.reserve(20);
    EXPECT_EQ(s.size(), 20u);
    EXPECT_TRUE(s.isEmpty());
    s.insert(19);
    EXPECT_EQ(members(s), (std::vector<td::UINT4>{19}));
    EXPECT_DEATH(s.insert(20), "val < _size");
}
} // namespace
