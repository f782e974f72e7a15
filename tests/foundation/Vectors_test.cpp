#include <cnt/Array.h>
#include <cnt/BlockVector.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <cnt/Vector.h>

#include <complex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <td/Variant.h>

namespace
{
TEST(PushBackVector, CapacityDoublesFromOne)
{
    cnt::PushBackVector<int> v;
    std::vector<std::size_t> capacities;
    for (int i = 0; i < 5; ++i)
    {
        v.push(i);
        capacities.push_back(v.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<std::size_t>{1, 2, 4, 4, 8}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(v[static_cast<std::size_t>(i)], i);
}

TEST(PushBackVector, ReserveAtTheSameCapacityEmptiesWithoutReallocating)
{
    cnt::PushBackVector<td::String> v;
    v.reserve(4);
    v.push(td::String("a"));
    const td::String* data = v.data();
    v.reserve(4);
    EXPECT_EQ(v.size(), 0u);
    EXPECT_EQ(v.data(), data);
    v.reserve(8);
    EXPECT_EQ(v.capacity(), 8u);
    v.reserve(0);
    EXPECT_EQ(v.data(), nullptr);
    EXPECT_EQ(v.capacity(), 0u);
}

TEST(PushBackVector, PushingItsOwnElementWhileGrowing)
{
    cnt::PushBackVector<td::String> v;
    v.push(td::String("first"));
    v.push(td::String("second"));
    ASSERT_EQ(v.size(), v.capacity());
    v.push(v[0]);
    EXPECT_STREQ(v[2].c_str(), "first");
    cnt::PushBackVector<double> d;
    d.push(1.5);
    d.push(d[0]);
    d.push(d[1]);
    EXPECT_EQ(d[2], 1.5);
}

TEST(PushBackVector, ReservedVariantSlotsAreAddressable)
{
    cnt::PushBackVector<td::Variant> v;
    v.reserve(10);
    for (std::size_t i = 0; i < 10; ++i)
    {
        EXPECT_EQ(v.slot(i).getType(), td::TD_NONE);
        v.slot(i) = td::Variant(td::INT4(0));
    }
    v.slot(3) = td::Variant("text");
    EXPECT_EQ(v.slot(9).getType(), td::int4);
    EXPECT_STREQ(v.slot(3).strVal().c_str(), "text");
}

TEST(SafeFullVector, ReserveKeepsItemsOnlyAtTheSameSize)
{
    cnt::SafeFullVector<double> v;
    v.reserve(3);
    for (double x : v)
        EXPECT_EQ(x, 0.0);
    v[1] = 7.0;
    v.reserve(3);
    EXPECT_EQ(v[1], 7.0);
    v.reserve(4);
    EXPECT_EQ(v.size(), 4u);
    for (double x : v)
        EXPECT_EQ(x, 0.0);
    cnt::SafeFullVector<std::complex<double>> c(2);
    EXPECT_EQ(c[1], std::complex<double>(0, 0));
    cnt::SafeFullVector<td::UINT4> u(5);
    for (td::UINT4 x : u)
        EXPECT_EQ(x, 0u);
    v.reserve(0);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.data(), nullptr);
}

TEST(SafeFullVector, ResizeNeverShrinksAndKeepsThePrefix)
{
    cnt::SafeFullVector<td::String> v(2);
    v[0] = "a";
    v[1] = "b";
    v.resize(1);
    EXPECT_EQ(v.size(), 2u);
    v.resize(4);
    EXPECT_EQ(v.size(), 4u);
    EXPECT_STREQ(v[0].c_str(), "a");
    EXPECT_STREQ(v[1].c_str(), "b");
    EXPECT_EQ(v[3].length(), 0u);
}

TEST(SafeFullVector, MoveCopyZerosAndTakeDataFrom)
{
    cnt::SafeFullVector<int> a(3);
    a.setAll(4);
    cnt::SafeFullVector<int> b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(b[2], 4);
    cnt::SafeFullVector<int> c(b);
    c[0] = 9;
    EXPECT_EQ(b[0], 4);
    cnt::SafeFullVector<int> longer(5);
    longer.takeDataFrom(c);
    EXPECT_EQ(longer[0], 9);
    EXPECT_EQ(longer[2], 4);
    EXPECT_EQ(longer[4], 0);
    longer.zeros();
    EXPECT_EQ(longer[0], 0);
}

TEST(SafeFullVectorDeathTest, OutOfRangeAccessTrips)
{
    cnt::SafeFullVector<int> v(2);
    EXPECT_DEATH(v[2], "pos < _size && _data");
    cnt::SafeFullVector<int> empty;
    EXPECT_DEATH(empty[0], "pos < _size && _data");
}

TEST(Vector, BlockGrowthAndZeros)
{
    cnt::Vector<int> v;
    v.reserve(3, true);
    EXPECT_EQ(v.size(), 3u);
    EXPECT_EQ(v.capacity(), 3u);
    for (td::UINT4 i = 0; i < v.size(); ++i)
        EXPECT_EQ(v[i], 0);
    v.push(5);
    EXPECT_EQ(v.capacity(), 6u);
    v.reserve(10, false);
    EXPECT_EQ(v.capacity(), 10u);
    EXPECT_EQ(v[3], 5);
    v.makeBlock(2);
    EXPECT_EQ(v.size(), 0u);
    EXPECT_DEATH(v.at(0), "pos < size_ref\\(\\)");
    cnt::Vector<int> none;
    EXPECT_DEATH(none.at(0), "_data != nullptr");
}

TEST(BlockVector, ItemsKeepTheirAddressesAcrossBlocks)
{
    cnt::BlockVector<td::LUINT8, 4096> v;
    for (td::LUINT8 i = 0; i < 4097; ++i)
        v.push(i);
    EXPECT_EQ(v.capacity(), 8192u);
    const td::LUINT8* first = &v[0];
    const td::LUINT8* last = &v[4096];
    for (td::LUINT8 i = 0; i < 5000; ++i)
        v.push(i);
    EXPECT_EQ(&v[0], first);
    EXPECT_EQ(&v[4096], last);
    EXPECT_EQ(v[4096], 4096u);
    EXPECT_EQ(v[9096], 4999u);
}

TEST(BlockVector, AssignmentKeepsBlocksWhenCapacitySuffices)
{
    cnt::BlockVector<td::LUINT8, 4096> big, small, target;
    for (td::LUINT8 i = 0; i < 4097; ++i)
        big.push(i);
    for (td::LUINT8 i = 0; i < 10; ++i)
        small.push(100 + i);
    target = big;
    EXPECT_EQ(target.capacity(), 8192u);
    EXPECT_EQ(target.size(), 4097u);
    EXPECT_EQ(target[4096], 4096u);
    const td::LUINT8* block0 = &target[0];
    target = small;
    EXPECT_EQ(target.capacity(), 8192u);
    EXPECT_EQ(target.size(), 10u);
    EXPECT_EQ(&target[0], block0);
    EXPECT_EQ(target[9], 109u);
    cnt::BlockVector<td::LUINT8, 4096>& alias = target;
    target = alias;
    EXPECT_EQ(target.size(), 10u);
    EXPECT_EQ(target[9], 109u);
}

TEST(Array, ItemsInPlaceAndChecked)
{
    cnt::Array<int, 2> a;
    EXPECT_EQ(a[0], 0);
    a[1] = 3;
    EXPECT_EQ(a[1], 3);
    EXPECT_DEATH(a[2], "pos < N");
}
} // namespace
