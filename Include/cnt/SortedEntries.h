// Shared sorting, bisection and growth rules of the sorted dictionaries and vectors.
#pragma once

#include <algorithm>

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

// Bisection over positions lo..hi of entries sorted by key; null when absent.
template <typename Entry, typename Key> const Entry* bisect(const Entry* entries, Key key, td::UINT4 lo, td::UINT4 hi)
{
    if (!entries || lo > hi)
        return nullptr;
    for (;;)
    {
        td::UINT4 mid = static_cast<td::UINT4>((static_cast<td::LUINT8>(lo) + hi) / 2);
        const Entry& e = entries[mid];
        if (e.key == key)
            return &e;
        if (key < e.key)
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

template <typename Entry> void sortByKey(Entry* entries, td::UINT4 count)
{
    std::sort(entries, entries + count, [](const Entry& a, const Entry& b) { return a.key < b.key; });
}
} // namespace cnt::priv
