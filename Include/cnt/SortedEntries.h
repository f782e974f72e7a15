// Shared store of the sorted dictionaries and vectors: growth policy, batch mode, one
// sort per finalize, and bisection.
#pragma once

#include <algorithm>

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt::priv
{
// Growth policy byte: 0 doubles, 1 adds one, 2..254 add that many, 255 adds 65,536.
inline td::UINT4 grownCapacity(td::UINT4 capacity, td::BYTE policy)
{
    td::UINT4 step = policy == 0 ? capacity : policy == 255 ? 65536u : policy;
    td::UINT4 grown = capacity + step;
    return grown > capacity ? grown : capacity + 1;
}

// Bisection over positions lo..hi; cmp(item) is below 0 when the sought value is less
// than the item, 0 when equal. Null when absent.
template <typename T, typename Cmp> const T* bisect(const T* items, td::UINT4 lo, td::UINT4 hi, Cmp&& cmp)
{
    if (!items || lo > hi)
        return nullptr;
    for (;;)
    {
        td::UINT4 mid = static_cast<td::UINT4>((static_cast<td::LUINT8>(lo) + hi) / 2);
        int c = cmp(items[mid]);
        if (c == 0)
            return items + mid;
        if (c < 0)
        {
            if (mid <= lo)
                return nullptr;
            hi = mid - 1;
        }
        else
        {
            if (mid >= hi)
                return nullptr;
            lo = mid + 1;
        }
    }
}

template <typename Key> int compareKeys(const Key& sought, const Key& key)
{
    return sought < key ? -1 : (key < sought ? 1 : 0);
}

// Items kept sorted by Less outside batch mode; the storage grows by the policy byte.
template <typename T, typename Less> class SortedStore
{
public:
    SortedStore() = default;
    SortedStore(const SortedStore& other) { *this = other; }
    SortedStore& operator=(const SortedStore& other)
    {
        if (this == &other)
            return *this;
        delete[] _items;
        _items = other._capacity ? new T[other._capacity]() : nullptr;
        std::copy(other._items, other._items + other._count, _items);
        _capacity = other._capacity;
        _count = other._count;
        _batch = other._batch;
        _needsSort = other._needsSort;
        _policy = other._policy;
        return *this;
    }
    ~SortedStore() { delete[] _items; }

    // Capacity n keeping the first min(count, n) items; n of 0 or the capacity does nothing.
    void reserve(td::UINT4 n)
    {
        if (n == 0 || n == _capacity)
            return;
        T* pNew = new T[n]();
        td::UINT4 keep = _count < n ? _count : n;
        std::copy(_items, _items + keep, pNew);
        delete[] _items;
        _items = pNew;
        _capacity = n;
        _count = keep;
    }

    void setBatchMode(bool batch) { _batch = batch; }

    // Leaves batch mode and sorts once when needed.
    void finalize()
    {
        _batch = false;
        if (_needsSort)
            sortItems();
        _needsSort = false;
    }

    const T& operator[](td::UINT4 i) const
    {
        TD_ASSERT(i < _count);
        return _items[i];
    }

    void setGrowthPolicy(td::BYTE policy) { _policy = policy; }
    void clear()
    {
        _count = 0;
        _needsSort = false;
    }
    td::UINT4 count() const { return _count; }
    td::UINT4 capacity() const { return _capacity; }
    bool isBatch() const { return _batch; }
    bool needsSort() const { return _needsSort; }

protected:
    void store(const T& item)
    {
        if (_count >= _capacity)
            reserve(grownCapacity(_capacity, _policy));
        _items[_count++] = item;
        if (_batch)
            _needsSort = true;
        else
        {
            sortItems();
            _needsSort = false;
        }
    }

    template <typename Cmp> const T* search(td::UINT4 lo, td::UINT4 hi, Cmp&& cmp) const
    {
        if (_count == 0)
            return nullptr;
        return bisect(_items, lo, hi < _count ? hi : _count - 1, cmp);
    }

    const T* items() const { return _items; }

private:
    void sortItems() { std::sort(_items, _items + _count, Less()); }

    T* _items = nullptr;
    td::UINT4 _capacity = 0;
    td::UINT4 _count = 0;
    bool _batch = false;
    bool _needsSort = false;
    td::BYTE _policy = 0;
};
} // namespace cnt::priv
