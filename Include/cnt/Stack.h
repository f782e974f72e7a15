// Stack that grows by 16 items and holds at most 32,752: a push beyond the limit is
// refused (false) so that its caller can report it.
#pragma once

#include <utility>

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
template <typename T> class Stack
{
public:
    static constexpr td::UINT2 cGrowth = 16;
    static constexpr td::UINT2 cMaxCapacity = 32752;

    Stack() = default;
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack() { delete[] _data; }

    // False when the stack is full; nothing changes then.
    [[nodiscard]] bool push(const T& item)
    {
        if (_top + 1 == static_cast<int>(_capacity))
        {
            if (_capacity >= cMaxCapacity)
                return false;
            T* pNew = new T[_capacity + cGrowth]();
            for (int i = 0; i <= _top; ++i)
                pNew[i] = std::move(_data[i]);
            delete[] _data;
            _data = pNew;
            _capacity = static_cast<td::UINT2>(_capacity + cGrowth);
        }
        _data[++_top] = item;
        return true;
    }

    void pop()
    {
        TD_ASSERT(_top >= 0);
        --_top;
    }

    T& top()
    {
        TD_ASSERT(_top >= 0);
        return _data[_top];
    }

    // Item i from the bottom.
    T& operator[](int i)
    {
        TD_ASSERT(i >= 0 && i <= _top);
        return _data[i];
    }

    bool isEmpty() const { return _top < 0; }
    int size() const { return _top + 1; }
    td::UINT2 capacity() const { return _capacity; }
    void clear() { _top = -1; }

private:
    T* _data = nullptr;
    td::UINT2 _capacity = 0;
    td::INT2 _top = -1;
};
} // namespace cnt
