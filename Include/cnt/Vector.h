// Vector held as one pointer to a block {u32 size, u32 capacity, items}.
// Owners make a block directly or reserve; appends double the capacity when full.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
template <typename T> class Vector
{
    struct Block
    {
        td::UINT4 size;
        td::UINT4 capacity;
        T* items() { return reinterpret_cast<T*>(this + 1); }
    };
    static_assert(alignof(T) <= alignof(Block) || sizeof(Block) % alignof(T) == 0, "items follow the block header");

public:
    Vector() = default;
    Vector(const Vector&) = delete;
    Vector& operator=(const Vector&) = delete;
    Vector(Vector&& other) noexcept : _data(other._data) { other._data = nullptr; }
    Vector& operator=(Vector&& other) noexcept
    {
        std::swap(_data, other._data);
        return *this;
    }
    ~Vector() { freeBlock(_data); }

    // A new empty block of the given capacity with every item zero.
    void makeBlock(td::UINT4 capacity)
    {
        TD_ASSERT(capacity > 0);
        freeBlock(_data);
        _data = newBlock(capacity);
    }

    // Capacity n (at least the size); with appendZeros, n zero items are then appended.
    void reserve(td::UINT4 n, bool appendZeros)
    {
        TD_ASSERT(n > 0);
        if (!_data)
            _data = newBlock(n);
        else if (_data->capacity != n)
            moveTo(n);
        if (appendZeros)
            for (td::UINT4 i = 0; i < n; ++i)
                push(T());
    }

    void push(const T& item)
    {
        T copy(item);
        if (!_data)
            _data = newBlock(1);
        else if (_data->size == _data->capacity)
            moveTo(2 * _data->capacity);
        _data->items()[_data->size++] = std::move(copy);
    }

    T& at(std::size_t pos)
    {
        TD_ASSERT(_data != nullptr);
        TD_ASSERT(pos < size_ref());
        return _data->items()[pos];
    }
    const T& at(std::size_t pos) const
    {
        TD_ASSERT(_data != nullptr);
        TD_ASSERT(pos < size_ref());
        return _data->items()[pos];
    }
    T& operator[](std::size_t pos) { return at(pos); }
    const T& operator[](std::size_t pos) const { return at(pos); }

    T* data()
    {
        TD_ASSERT(_data != nullptr);
        return _data->items();
    }
    td::UINT4 size() const { return _data ? _data->size : 0; }
    td::UINT4 capacity() const { return _data ? _data->capacity : 0; }
    const td::UINT4& size_ref() const { return _data->size; }

private:
    static Block* newBlock(td::UINT4 capacity)
    {
        void* p = ::operator new(sizeof(Block) + sizeof(T) * capacity);
        Block* pBlock = new (p) Block{0, capacity};
        T* items = pBlock->items();
        for (td::UINT4 i = 0; i < capacity; ++i)
            new (items + i) T();
        return pBlock;
    }

    static void freeBlock(Block* pBlock)
    {
        if (!pBlock)
            return;
        T* items = pBlock->items();
        for (td::UINT4 i = 0; i < pBlock->capacity; ++i)
            items[i].~T();
        ::operator delete(pBlock);
    }

    void moveTo(td::UINT4 capacity)
    {
        TD_ASSERT(capacity >= _data->size);
        Block* pNew = newBlock(capacity);
        for (td::UINT4 i = 0; i < _data->size; ++i)
            pNew->items()[i] = std::move(_data->items()[i]);
        pNew->size = _data->size;
        freeBlock(_data);
        _data = pNew;
    }

    Block* _data = nullptr;
};
} // namespace cnt
