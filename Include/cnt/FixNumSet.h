// Ordered set of integers in [0, size), a sorted linked list threaded through an array
// of links (value + 1, 0 = none): O(1) membership, emptying in time of its members.
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
class FixNumSet
{
public:
    FixNumSet() = default;
    explicit FixNumSet(td::UINT4 size) { reset(size); }
    FixNumSet(const FixNumSet&) = delete;
    FixNumSet& operator=(const FixNumSet&) = delete;
    ~FixNumSet() { delete[] _links; }

    // An empty set over [0, n); n of 0 does nothing.
    void reset(td::UINT4 n)
    {
        if (n == 0)
            return;
        delete[] _links;
        _links = new td::UINT4[n]();
        _first = _last = 0;
        _size = n;
    }

    // Sets the size: an empty set over [0, n), reusing the links when the size stays.
    void reserve(td::UINT4 n)
    {
        if (n == _size)
            clear();
        else
            reset(n);
    }

    void insert(td::UINT4 val)
    {
        TD_ASSERT(val < _size);
        td::UINT4 w = val + 1;
        if (_first == 0)
        {
            _first = _last = w;
            _links[val] = 0;
            return;
        }
        if (contains(val))
            return;
        if (w < _first)
        {
            _links[val] = _first;
            _first = w;
            return;
        }
        if (w > _last)
        {
            _links[_last - 1] = w;
            _links[val] = 0;
            _last = w;
            return;
        }
        td::UINT4 p = _first;
        td::UINT4 q = _links[p - 1];
        while (q < w)
        {
            p = q;
            q = _links[p - 1];
        }
        _links[p - 1] = w;
        _links[val] = q;
    }

    bool contains(td::UINT4 val) const
    {
        if (val >= _size)
            return false;
        td::UINT4 w = val + 1;
        return w == _first || w == _last || _links[val] != 0;
    }

    // Walks the members and zeroes their links.
    void clear()
    {
        for (td::UINT4 w = _first; w != 0;)
        {
            td::UINT4 next = _links[w - 1];
            _links[w - 1] = 0;
            w = next;
        }
        _first = _last = 0;
    }

    bool isEmpty() const { return _first == 0; }
    td::UINT4 size() const { return _size; }
    // Smallest and largest member + 1 (0 when empty).
    td::UINT4 first() const { return _first; }
    td::UINT4 last() const { return _last; }

    class Iterator
    {
    public:
        Iterator(const td::UINT4* links, td::UINT4 w) : _links(links), _w(w) {}
        td::UINT4 operator*() const { return _w - 1; }
        Iterator& operator++()
        {
            _w = _links[_w - 1];
            return *this;
        }
        bool operator!=(const Iterator& other) const { return _w != other._w; }

    private:
        const td::UINT4* _links;
        td::UINT4 _w;
    };

    // Members in ascending order.
    Iterator begin() const { return Iterator(_links, _first); }
    Iterator end() const { return Iterator(_links, 0); }

private:
    td::UINT4* _links = nullptr;
    td::UINT4 _first = 0;
    td::UINT4 _last = 0;
    td::UINT4 _size = 0;
};
} // namespace cnt
