// Checked out-vector: a pointer and a size, every access asserted. The vector type that
// crosses the deliverables; callees resize and fill vectors that callers made.
#pragma once

#include <cstddef>
#include <utility>

#include <td/Assert.h>

namespace cnt
{
// Owns its elements. New elements are value-initialised (numbers and plain records zero).
template <typename T, int FLAGS = 0> class SafeFullVector
{
public:
    SafeFullVector() = default;
    explicit SafeFullVector(std::size_t n) { reserve(n); }
    SafeFullVector(const SafeFullVector& other) { copyFrom(other); }
    SafeFullVector(SafeFullVector&& other) noexcept : _data(other._data), _size(other._size)
    {
        other._data = nullptr;
        other._size = 0;
    }
    ~SafeFullVector() { clean(); }

    SafeFullVector& operator=(const SafeFullVector& other)
    {
        if (this != &other)
        {
            clean();
            copyFrom(other);
        }
        return *this;
    }
    SafeFullVector& operator=(SafeFullVector&& other) noexcept
    {
        if (this != &other)
        {
            clean();
            std::swap(_data, other._data);
            std::swap(_size, other._size);
        }
        return *this;
    }

    T& operator[](std::size_t pos)
    {
        TD_ASSERT(pos < _size && _data);
        return _data[pos];
    }
    const T& operator[](std::size_t pos) const
    {
        TD_ASSERT(pos < _size && _data);
        return _data[pos];
    }
    void setAt(std::size_t pos, const T& value) { (*this)[pos] = value; }

    // A size other than the current one gives n fresh elements; the old ones are dropped.
    void reserve(std::size_t n)
    {
        if (n == _size)
            return;
        clean();
        if (n == 0)
            return;
        _data = new T[n]();
        _size = n;
    }

    // Grows only; the old elements keep their positions, the new ones are fresh.
    void resize(std::size_t n)
    {
        if (n <= _size)
            return;
        T* pNew = new T[n]();
        for (std::size_t i = 0; i < _size; ++i)
            pNew[i] = std::move(_data[i]);
        delete[] _data;
        _data = pNew;
        _size = n;
    }

    void clean()
    {
        delete[] _data;
        _data = nullptr;
        _size = 0;
    }

    void zeros()
    {
        for (std::size_t i = 0; i < _size; ++i)
            _data[i] = T();
    }
    void setAll(const T& value)
    {
        for (std::size_t i = 0; i < _size; ++i)
            _data[i] = value;
    }

    // Copies other's elements to the same positions; this vector must be at least as long.
    void takeDataFrom(const SafeFullVector& other)
    {
        TD_ASSERT(other._size <= _size);
        for (std::size_t i = 0; i < other._size; ++i)
            _data[i] = other._data[i];
    }

    bool empty() const { return _size == 0; }
    std::size_t size() const { return _size; }
    T* data() { return _data; }
    const T* data() const { return _data; }
    T* begin() { return _data; }
    T* end() { return _data + _size; }
    const T* begin() const { return _data; }
    const T* end() const { return _data + _size; }

private:
    void copyFrom(const SafeFullVector& other)
    {
        if (other._size == 0)
            return;
        _data = new T[other._size]();
        _size = other._size;
        for (std::size_t i = 0; i < _size; ++i)
            _data[i] = other._data[i];
    }

    T* _data = nullptr;
    std::size_t _size = 0;
};
} // namespace cnt
