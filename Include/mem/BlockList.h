// Bump-allocated item list cnt::List: runs of consecutive items are handed out from
// blocks that live until the list dies; a rewound list hands its blocks out again, each
// item reset to a fresh one as it is handed out, so nothing of an earlier use leaks into
// a new one. The pools of mem build on it, so it stands beside them.
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
template <typename T> class List
{
    struct Link
    {
        T* pBlock;
        td::UINT4 length;
        Link* pNext;
    };

public:
    explicit List(td::UINT4 blockLength = 1024) : _blockLength(blockLength) { TD_ASSERT(blockLength > 0); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List() { freeBlocks(); }

    // n consecutive items of one block; null for n < 1.
    T* alloc(td::UINT4 n)
    {
        if (n < 1)
            return nullptr;
        if (static_cast<td::UINT4>(_pEnd - _pCursor) < n)
        {
            if (_blockLength < n)
                _blockLength = n;
            addBlock();
        }
        T* pFirst = _pCursor;
        _pCursor += n;
        if (_reused)
            freshen(pFirst, n);
        return pFirst;
    }

    T* alloc()
    {
        if (_pCursor == _pEnd)
            addBlock();
        if (_reused)
            freshen(_pCursor, 1);
        return _pCursor++;
    }

    // Makes the next block current: the following one when it is long enough, else a new one.
    void addBlock()
    {
        Link* pNext = _pCurrent ? _pCurrent->pNext : _pHead;
        if (pNext && pNext->length >= _blockLength)
        {
            setCurrent(pNext);
            _reused = true;
            return;
        }
        Link* pLink = new Link{new T[_blockLength](), _blockLength, pNext};
        if (_pCurrent)
            _pCurrent->pNext = pLink;
        else
            _pHead = pLink;
        setCurrent(pLink);
        _reused = false;
    }

    // Hands the existing blocks out again from the first, each item fresh when handed out.
    void rewind()
    {
        _pCurrent = nullptr;
        _pCursor = _pEnd = nullptr;
    }

    // Frees every block; later blocks hold blockLength items.
    void reset(td::UINT4 blockLength)
    {
        TD_ASSERT(blockLength > 0);
        freeBlocks();
        rewind();
        _blockLength = blockLength;
    }

    // Gives back the end of the run of n items from pFirst, keeping its first kept items,
    // when it is the run handed out last; false (nothing changes) otherwise.
    bool shrinkLast(T* pFirst, td::UINT4 n, td::UINT4 kept)
    {
        if (!pFirst || kept > n || pFirst + n != _pCursor)
            return false;
        _pCursor = pFirst + kept;
        return true;
    }

    // Items the current block still holds; alloc(n) with n up to it extends the last run.
    td::UINT4 room() const { return static_cast<td::UINT4>(_pEnd - _pCursor); }
    td::UINT4 blockLength() const { return _blockLength; }
    td::UINT4 blockCount() const
    {
        td::UINT4 n = 0;
        for (Link* p = _pHead; p; p = p->pNext)
            ++n;
        return n;
    }

private:
    static void freshen(T* p, td::UINT4 n)
    {
        for (td::UINT4 i = 0; i < n; ++i)
            p[i] = T();
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
    }

    void setCurrent(Link* pLink)
    {
        _pCurrent = pLink;
        _pCursor = pLink->pBlock;
        _pEnd = pLink->pBlock + pLink->length;
    }

    Link* _pHead = nullptr;
    T* _pCursor = nullptr;
    T* _pEnd = nullptr;
    Link* _pCurrent = nullptr;
    td::UINT4 _blockLength;
    // The current block was handed out before the last rewind.
    bool _reused = false;
};
} // namespace cnt
