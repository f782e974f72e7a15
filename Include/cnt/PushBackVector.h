// Growable array that doubles when full; slots beyond the end stay constructed, so a
// reserved vector can be addressed by position before anything is pushed.
#pragma once

#include <cstddef>
#include <utility>

#include <td/Assert.h>

namespace cnt
{
template <typename T> class PushBackVector
{
public:
    PushBackVector() = default;
    PushBackVector(const PushBackVector&) = delete;
    PushBackVector& operator=(const PushBackVector&) = delete;
    PushBackVector(PushBackVector&& other) noexcept : _data(other._data), _end(other._end), _capacity(other._capacity)
    {
        other._data = other._end = nullptr;
        other._capacity = 0;
    }
    PushBackVector& operator=(PushBackVector&& other) noexcept
    {
        if (this != &other)
        {
            delete[] _data;
            _data = other._data;
            _end = other._end;
            _capacity = other._capacity;
            other._data = other._end = nullptr;
            other._capacity = 0;
        }
        return *this;
    }
    ~PushBackVector() { delete[] _data; }

    // The item is copied before growing, so an item of this vector may be pushed.
    void push(const T& item)
    {
        T copy(item);
        growIfFull();
        *_end++ = std::move(copy);
    }

    void push(T&& item)
    {
        T moved(std::move(item));
        growIfFull();
        *_end++ = std::move(moved);
    }

    // The slot at the end (already constructed) for the caller to fill.
    T& emplace()
    {
        growIfFull();
        return *_end++;
    }

    // Empties the vector; the capacity becomes exactly n (kept when equal).
    void reserve(std::size_t n)
    {
        if (n != _capacity)
        {
            delete[] _data;
            _data = n > 0 ? new T[n]() : nullptr;
            _capacity = n;
        }
        _end = _data;
    }

    // Sets the end back to the start; slots keep their items until overwritten.
    void clear() { _end = _data; }

    std::size_t size() const { return static_cast<std::size_t>(_end - _data); }
    std::size_t capacity() const { return _capacity; }
    bool empty() const { return _end == _data; }

    T& operator[](std::size_t pos)
    {
        TD_ASSERT(pos < size());
        return _data[pos];
    }
    const T& operator[](std::size_t pos) const
    {
        TD_ASSERT(pos < size());
        return _data[pos];
    }

    // A reserved slot by position, also beyond the end.
    T& slot(std::size_t pos)
    {
        TD_ASSERT(pos < _capacity);
        return _data[pos];
    }

    T& back()
    {
        TD_ASSERT(!empty());
        return *(_end - 1);
    }

    T* data() { return _data; }
    const T* data() const { return _data; }
    T* begin() { return _data; }
    T* end() { return _end; }
    const T* begin() const { return _data; }
    const T* end() const { return _end; }

private:
    void growIfFull()
    {
        if (static_cast<std::size_t>(_end - _data) < _capacity)
            return;
        std::size_t newCapacity = _capacity == 0 ? 1 : 2 * _capacity;
        T* pNewData = new T[newCapacity]();
        TD_ASSERT(pNewData != nullptr);
        std::size_t n = size();
        for (std::size_t i = 0; i < n; ++i)
            pNewData[i] = std::move(_data[i]);
        delete[] _data;
        _data = pNewData;
        _end = pNewData + n;
        _capacity = newCapacity;
    }

    T* _data = nullptr;
    T* _end = nullptr;
    std::size_t _capacity = 0;
};
} // namespace cnt
