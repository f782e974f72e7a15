// Sorted array of (key, value) entries searched by bisection; in batch mode inserts stay
// unsorted until finalize sorts them once.
#pragma once

#include <td/Assert.h>
#include <td/Types.h>
#include <cnt/SortedEntries.h>

namespace cnt
{
template <typename K, typename V> struct DictEntry
{
    K key{};
    V value{};
};

template <typename K, typename V> class Dictionary
{
public:
    using Entry = DictEntry<K, V>;

    Dictionary() = default;
    Dictionary(const Dictionary& other) { *this = other; }
    Dictionary& operator=(const Dictionary& other)
    {
        if (this == &other)
            return *this;
        delete[] _entries;
        _entries = other._capacity ? new Entry[other._capacity]() : nullptr;
        for (td::UINT4 i = 0; i < other._count; ++i)
            _entries[i] = other._entries[i];
        _capacity = other._capacity;
        _count = other._count;
        _batch = other._batch;
        _needsSort = other._needsSort;
        _policy = other._policy;
        return *this;
    }
    ~Dictionary() { delete[] _entries; }

    // Capacity n keeping the first min(count, n) entries; n of 0 or the capacity does nothing.
    void reserve(td::UINT4 n)
    {
        if (n == 0 || n == _capacity)
            return;
        Entry* pNew = new Entry[n]();
        td::UINT4 keep = _count < n ? _count : n;
        for (td::UINT4 i = 0; i < keep; ++i)
            pNew[i] = _entries[i];
        delete[] _entries;
        _entries = pNew;
        _capacity = n;
        _count = keep;
    }

    void insert(K key, V value)
    {
        if (_count >= _capacity)
            reserve(priv::grownCapacity(_capacity, _policy));
        _entries[_count++] = Entry{key, value};
        if (_batch)
            _needsSort = true;
        else
        {
            priv::sortByKey(_entries, _count);
            _needsSort = false;
        }
    }

    void setBatchMode(bool batch) { _batch = batch; }

    // Leaves batch mode and sorts once when needed.
    void finalize()
    {
        _batch = false;
        if (_needsSort)
            priv::sortByKey(_entries, _count);
        _needsSort = false;
    }

    // Bisection over positions lo..hi (hi cut to the last entry); null when absent or empty.
    const Entry* find(K key, td::UINT4 lo, td::UINT4 hi) const
    {
        if (_count == 0)
            return nullptr;
        return priv::bisect(_entries, key, lo, hi < _count ? hi : _count - 1);
    }

    const Entry* find(K key) const { return _count == 0 ? nullptr : priv::bisect(_entries, key, 0, _count - 1); }

    const Entry& operator[](td::UINT4 i) const
    {
        TD_ASSERT(i < _count);
        return _entries[i];
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

private:
    Entry* _entries = nullptr;
    td::UINT4 _capacity = 0;
    td::UINT4 _count = 0;
    bool _batch = false;
    bool _needsSort = false;
    td::BYTE _policy = 0;
};
} // namespace cnt
