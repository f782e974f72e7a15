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
        if (_batch)
            _needsSort = true;
        else
        {
            priv::sortByKey(_entries, _noEntries);
            _needsSort = false;
        }
        return true;
    }

    void setBatchMode(bool batch) { _batch = batch; }
    void finalize()
    {
        _batch = false;
        if (_needsSort)
            priv::sortByKey(_entries, _noEntries);
        _needsSort = false;
    }

    const Entry* find(K key) const { return _noEntries == 0 ? nullptr : priv::bisect(_entries, key, 0, _noEntries - 1); }

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
