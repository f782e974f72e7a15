// Bump pool for items that are never freed one by one: items are handed out in order from
// blocks that live until the pool dies; rewinding hands the blocks out again, in O(1).
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace mem::priv
{
template <typename T, td::UINT4 ITEMS_PER_BLOCK> class Arena
{
    static_assert(ITEMS_PER_BLOCK > 0);

    struct Link
    {
        T* pBlock;
        Link* pNext;
    };

public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena()
    {
        while (_pHead)
        {
            Link* pNext = _pHead->pNext;
            delete[] _pHead->pBlock;
            delete _pHead;
            _pHead = pNext;
        }
    }

    // The next item: default-constructed when its block is new, else as an earlier use left it.
    T* alloc()
    {
        if (_pCursor == _pEnd)
            nextBlock();
        return _pCursor++;
    }

    // Hands the existing blocks out again from the first; the items handed out so far
    // must not be used any more.
    void rewind()
    {
        _pCurrent = nullptr;
        _pCursor = _pEnd = nullptr;
    }

    td::UINT4 blockCount() const { return _nBlocks; }
    static constexpr td::UINT4 itemsPerBlock() { return ITEMS_PER_BLOCK; }

private:
    void nextBlock()
    {
        Link* pNext = _pCurrent ? _pCurrent->pNext : _pHead;
        if (!pNext)
        {
            pNext = new Link{new T[ITEMS_PER_BLOCK](), nullptr};
            (_pCurrent ? _pCurrent->pNext : _pHead) = pNext;
            ++_nBlocks;
        }
        _pCurrent = pNext;
        _pCursor = pNext->pBlock;
        _pEnd = _pCursor + ITEMS_PER_BLOCK;
        TD_ASSERT(_pCursor);
    }

    Link* _pHead = nullptr;
    Link* _pCurrent = nullptr;
    T* _pCursor = nullptr;
    T* _pEnd = nullptr;
    td::UINT4 _nBlocks = 0;
};
} // namespace mem::priv
