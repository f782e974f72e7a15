// Fixed array of N items held in place, with checked access.
#pragma once

#include <cstddef>

#include <td/Assert.h>

namespace cnt
{
template <typename T, std::size_t N> class Array
{
public:
    T& operator[](std::size_t pos)
    {
        TD_ASSERT(pos < N);
        return _items[pos];
    }
    const T& operator[](std::size_t pos) const
    {
        TD_ASSERT(pos < N);
        return _items[pos];
    }
    static constexpr std::size_t size() { return N; }
    T* begin() { return _items; }
    T* end() { return _items + N; }
    const T* begin() const { return _items; }
    const T* end() const { return _items + N; }

private:
    T _items[N]{};
};
} // namespace cnt
