// Sorted dictionary of fixed capacity held in place; an insert into a full table is
// refused and reported to the caller.
#pragma once

#include <cnt/Dictionary.h>

namespace cnt
{
template <typename K, typename V, td::UINT4 CAPACITY> class DictionaryNonDyn
{
public:
    using Entry = DictEntry<K, V>;

    // False (and nothing changes) when the table is full.
    [[nodiscard]] bool insert(K key, V value)
    {
        if (_noEntries >= CAPACITY)
            return false;
        _entries[_noEntries++] = Entry{key, value};
        _needsSort = true;
        if (!_batch)
            finalize();
        return true;
    }

    void setBatchMode(bool batch) { _batch = batch; }
    void finalize()
    {
        _batch = false;
        if (_needsSort)
            std::sort(_entries, _entries + _noEntries, priv::ByKey());
        _needsSort = false;
    }

    const Entry* find(K key) const
    {
        if (_noEntries == 0)
            return nullptr;
        return priv::bisect(_entries, 0, _noEntries - 1,
                            [&key](const Entry& e) { return priv::compareKeys(key, e.key); });
    }

    void clear()
    {
        _noEntries = 0;
        _needsSort = false;
    }
    td::UINT4 count() const { return _noEntries; }
    static constexpr td::UINT4 capacity() { return CAPACITY; }

private:
    Entry _entries[CAPACITY]{};
    td::UINT4 _noEntries = 0;
    bool _batch = false;
    bool _needsSort = false;
};
} // namespace cnt
