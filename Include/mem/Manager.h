// Fixed-item pool: items are carved out of blocks in order, and freed items go onto a free
// list that serves first; they go back to the heap only with the pool. New items are
// default-constructed.
#pragma once

#include <cstddef>

#include <td/Assert.h>
#include <td/Types.h>

namespace mem::priv
{
template <typename T, td::UINT4 ITEMS_PER_BLOCK> class Manager
{
    static_assert(ITEMS_PER_BLOCK > 0);

    // The free-list link sits beside the item, so no item layout is overwritten.
    struct Slot
    {
        T item{};
        Slot* pNextFree = nullptr;
    };
    struct Link
    {
        Slot* pBlock;
        Link* pNext;
    };

public:
    Manager() = default;
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;
    ~Manager()
    {
        while (_pHead)
        {
            Link* pNext = _pHead->pNext;
            delete[] _pHead->pBlock;
            delete _pHead;
            _pHead = pNext;
        }
    }

    // An item as it was freed, or default-constructed when its block is new.
    T* alloc()
    {
        if (_current)
        {
            Slot* pSlot = _current;
            _current = pSlot->pNextFree;
            return &pSlot->item;
        }
        if (_pCursor == _pEnd)
            nextBlock();
        return &(_pCursor++)->item;
    }

    // Puts the item back at the front of the free list.
    void free(T* pItem)
    {
        TD_ASSERT(pItem != nullptr);
        Slot* pSlot = reinterpret_cast<Slot*>(pItem);
        pSlot->pNextFree = _current;
        _current = pSlot;
    }

    // Hands the existing blocks out again before any new one is made; O(1).
    void rewind()
    {
        _current = nullptr;
        _pReuse = _pHead;
        _pCursor = _pEnd = nullptr;
    }

    td::UINT4 blockCount() const { return _nBlocks; }
    static constexpr td::UINT4 itemsPerBlock() { return ITEMS_PER_BLOCK; }

private:
    // Items are taken from a block in order (the free list holds only freed items).
    void nextBlock()
    {
        Slot* pBlock;
        if (_pReuse)
        {
            pBlock = _pReuse->pBlock;
            _pReuse = _pReuse->pNext;
        }
        else
        {
            pBlock = new Slot[ITEMS_PER_BLOCK]();
            // Blocks stay in the order they were made, so a rewind reuses them in turn.
            Link* pLink = new Link{pBlock, nullptr};
            (_pTail ? _pTail->pNext : _pHead) = pLink;
            _pTail = pLink;
            ++_nBlocks;
        }
        _pCursor = pBlock;
        _pEnd = pBlock + ITEMS_PER_BLOCK;
    }

    Link* _pHead = nullptr;
    Link* _pTail = nullptr;
    Link* _pReuse = nullptr;
    // The free list.
    Slot* _current = nullptr;
    Slot* _pCursor = nullptr;
    Slot* _pEnd = nullptr;
    td::UINT4 _nBlocks = 0;
};
} // namespace mem::priv
