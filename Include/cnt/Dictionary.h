// Sorted array of (key, value) entries searched by bisection; in batch mode inserts stay
// unsorted until finalize sorts them once.
#pragma once

#include <cnt/SortedEntries.h>

namespace cnt
{
template <typename K, typename V> struct DictEntry
{
    K key{};
    V value{};
};

namespace priv
{
struct ByKey
{
    template <typename E> bool operator()(const E& a, const E& b) const { return a.key < b.key; }
};
} // namespace priv

template <typename K, typename V> class Dictionary : public priv::SortedStore<DictEntry<K, V>, priv::ByKey>
{
    using Base = priv::SortedStore<DictEntry<K, V>, priv::ByKey>;

public:
    using Entry = DictEntry<K, V>;

    void insert(K key, V value) { Base::store(Entry{key, value}); }

    // Bisection over positions lo..hi (hi cut to the last entry); null when absent or empty.
    const Entry* find(K key, td::UINT4 lo, td::UINT4 hi) const
    {
        return Base::search(lo, hi, [&key](const Entry& e) { return priv::compareKeys(key, e.key); });
    }

    const Entry* find(K key) const { return find(key, 0, Base::count() ? Base::count() - 1 : 0); }
};
} // namespace cnt
