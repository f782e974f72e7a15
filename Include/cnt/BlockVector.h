// Vector of fixed blocks of N items linked in a list: growth adds a block, so items
// never move and keep their addresses.
#pragma once

#include <utility>

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
template <typename T, td::UINT4 N> class BlockVector
{
    struct Link
    {
        T* pBlock;
        Link* pNext;
    };

public:
    BlockVector() = default;
    BlockVector(const BlockVector& other) { *this = other; }
    ~BlockVector() { freeBlocks(); }

    BlockVector& operator=(const BlockVector& other)
    {
        if (this == &other)
            return *this;
        _size = 0;
        if (other._size > _capacity)
        {
            freeBlocks();
            td::UINT4 nBlocks = (other._size + N - 1) / N;
            for (td::UINT4 i = 0; i < nBlocks; ++i)
                appendBlock();
        }
        _pCurrent = _pHead;
        _iCurrent = 0;
        for (td::UINT4 i = 0; i < other._size; ++i)
            push(other[i]);
        return *this;
    }

    void push(const T& item)
    {
        T copy(item);
        if (_size == _capacity)
            appendBlock();
        slot(_size) = std::move(copy);
        ++_size;
    }

    // The next slot, for the caller to fill.
    T& emplace()
    {
        if (_size == _capacity)
            appendBlock();
        return slot(_size++);
    }

    T& operator[](td::UINT4 pos)
    {
        TD_ASSERT(pos < _size);
        return slot(pos);
    }
    const T& operator[](td::UINT4 pos) const
    {
        TD_ASSERT(pos < _size);
        return const_cast<BlockVector*>(this)->slot(pos);
    }

    T& back()
    {
        TD_ASSERT(_size > 0);
        return slot(_size - 1);
    }

    // Empties the vector; the blocks stay for reuse.
    void clear()
    {
        _size = 0;
        _pCurrent = _pHead;
        _iCurrent = 0;
    }

    td::UINT4 size() const { return _size; }
    td::UINT4 capacity() const { return _capacity; }
    bool empty() const { return _size == 0; }

private:
    // Finds the block from the current one, forward, or from the head when it lies behind.
    T& slot(td::UINT4 pos)
    {
        td::UINT4 iBlock = pos / N;
        if (iBlock < _iCurrent)
        {
            _pCurrent = _pHead;
            _iCurrent = 0;
        }
        while (_iCurrent < iBlock)
        {
            _pCurrent = _pCurrent->pNext;
            ++_iCurrent;
        }
        return _pCurrent->pBlock[pos % N];
    }

    void appendBlock()
    {
        TD_ASSERT(_capacity <= 0xFFFFFFFFu - N);
        Link* pLink = new Link{new T[N](), nullptr};
        if (!_pHead)
        {
            _pHead = _pCurrent = pLink;
            _iCurrent = 0;
        }
        else
        {
            Link* pLast = _pHead;
            while (pLast->pNext)
                pLast = pLast->pNext;
            pLast->pNext = pLink;
        }
        _capacity += N;
    }

    void freeBlocks()
    {
        while (_pHead)
        {
            Link* pNext = _pHead->pNext;
            delete[] _pHead->pBlock;
            delete _pHead;
            _pHead = pNext;
        }
        _pCurrent = nullptr;
        _size = _capacity = _iCurrent = 0;
    }

    Link* _pHead = nullptr;
    Link* _pCurrent = nullptr;
    td::UINT4 _size = 0;
    td::UINT4 _capacity = 0;
    td::UINT4 _iCurrent = 0;
};
} // namespace cnt
