// Sorted set of pool strings (in the owner's string pool) or of 32-bit numbers, with
// batch mode and bisection membership.
#pragma once

#include <cstring>
#include <type_traits>

#include <cnt/SortedEntries.h>
#include <mem/StringMemoryManager.h>
#include <td/String.h>

namespace cnt
{
namespace priv
{
struct TextOrNumberLess
{
    bool operator()(const td::PoolString& a, const td::PoolString& b) const { return a.compare(b) < 0; }
    template <typename N> bool operator()(N a, N b) const { return a < b; }
};
} // namespace priv

template <typename T> class SortedVector : public priv::SortedStore<T, priv::TextOrNumberLess>
{
    using Base = priv::SortedStore<T, priv::TextOrNumberLess>;
    static constexpr bool isText = std::is_same_v<T, td::PoolString>;
    static_assert(isText || (std::is_integral_v<T> && sizeof(T) == 4), "pool strings or 32-bit numbers");

public:
    // String items are copied into the pool, which the owner keeps beside the vector.
    explicit SortedVector(mem::StringPool* pPool = nullptr) : _pPool(pPool) {}
    SortedVector(const SortedVector&) = delete;
    SortedVector& operator=(const SortedVector&) = delete;

    // A null text does nothing; an empty text is stored as the empty string.
    void add(const char* text) requires isText
    {
        if (!text)
            return;
        TD_ASSERT(_pPool != nullptr);
        td::PoolString s;
        td::String::allocateIn(*_pPool, s, static_cast<unsigned>(std::strlen(text)), text);
        Base::store(s);
    }

    void add(T number) requires(!isText) { Base::store(number); }

    bool contains(const td::String& s) const requires isText
    {
        return within([&s](const T& item) { return s.compare(item); });
    }

    bool contains(T number) const requires(!isText)
    {
        return within([number](T item) { return priv::compareKeys(number, item); });
    }

private:
    // The first and last items bound the search before any bisection.
    template <typename Cmp> bool within(Cmp&& cmp) const
    {
        td::UINT4 n = Base::count();
        if (n == 0 || cmp((*this)[0]) < 0 || cmp((*this)[n - 1]) > 0)
            return false;
        return Base::search(0, n - 1, cmp) != nullptr;
    }

    mem::StringPool* _pPool;
};
} // namespace cnt
