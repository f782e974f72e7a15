// Sorted set of pool strings (in the owner's string pool) or of 32-bit numbers, with
// batch mode and bisection membership.
#pragma once

#include <cstring>
#include <type_traits>

#include <cnt/SortedEntries.h>
#include <mem/StringMemoryManager.h>
#include <td/Assert.h>
#include <td/String.h>

namespace cnt
{
template <typename T> class SortedVector
{
    static constexpr bool isText = std::is_same_v<T, td::PoolString>;
    static_assert(isText || (std::is_integral_v<T> && sizeof(T) == 4), "pool strings or 32-bit numbers");

public:
    // String items are copied into the pool, which the owner keeps beside the vector.
    explicit SortedVector(mem::StringPool* pPool = nullptr) : _pPool(pPool) {}
    SortedVector(const SortedVector&) = delete;
    SortedVector& operator=(const SortedVector&) = delete;
    ~SortedVector() { delete[] _items; }

    void reserve(td::UINT4 n)
    {
        if (n == _capacity)
            return;
        T* pNew = n ? new T[n]() : nullptr;
        td::UINT4 keep = _count < n ? _count : n;
        for (td::UINT4 i = 0; i < keep; ++i)
            pNew[i] = _items[i];
        delete[] _items;
        _items = pNew;
        _capacity = n;
        _count = keep;
    }

    // A null text does nothing; an empty text is stored as the empty string.
    void add(const char* text) requires isText
    {
        if (!text)
            return;
        TD_ASSERT(_pPool != nullptr);
        td::PoolString s;
        td::String::allocateIn(*_pPool, s, static_cast<unsigned>(std::strlen(text)), text);
        store(s);
    }

    void add(T number) requires(!isText) { store(number); }

    bool contains(const td::String& s) const requires isText
    {
        return search([&s](const T& item) { return s.compare(item); });
    }

    bool contains(T number) const requires(!isText)
    {
        return search([number](T item) { return number < item ? -1 : (item < number ? 1 : 0); });
    }

    void setBatchMode(bool batch) { _batch = batch; }
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
    td::UINT4 count() const { return _count; }
    td::UINT4 capacity() const { return _capacity; }
    bool needsSort() const { return _needsSort; }

private:
    // Bounds first, then bisection; cmp gives the sought value against an item.
    template <typename Cmp> bool search(Cmp&& cmp) const
    {
        if (_count == 0 || cmp(_items[0]) < 0 || cmp(_items[_count - 1]) > 0)
            return false;
        td::UINT4 lo = 0, hi = _count - 1;
        for (;;)
        {
            td::UINT4 mid = (lo + hi) / 2;
            int c = cmp(_items[mid]);
            if (c == 0)
                return true;
            if (c < 0)
            {
                if (mid <= lo)
                    return false;
                hi = mid - 1;
            }
            else
            {
                if (mid >= hi)
                    return false;
                lo = mid + 1;
            }
        }
    }

    void store(const T& item)
    {
        if (_count >= _capacity)
            reserve(priv::grownCapacity(_capacity, _policy));
        _items[_count++] = item;
        if (_batch)
            _needsSort = true;
        else
        {
            sortItems();
            _needsSort = false;
        }
    }

    void sortItems()
    {
        if constexpr (isText)
            std::sort(_items, _items + _count, [](const T& a, const T& b) { return a.compare(b) < 0; });
        else
            std::sort(_items, _items + _count);
    }

    T* _items = nullptr;
    mem::StringPool* _pPool;
    td::UINT4 _capacity = 0;
    td::UINT4 _count = 0;
    bool _batch = false;
    bool _needsSort = false;
    td::BYTE _policy = 0;
};
} // namespace cnt
