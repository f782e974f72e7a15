// Bump-allocated item list: runs of consecutive items are handed out from blocks that
// live until the list dies; a rewound list hands its blocks out again.
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
    ~List()
    {
        while (_pHead)
        {
            Link* pNext = _pHead->pNext;
            delete[] _pHead->pBlock;
            delete _pHead;
            _pHead = pNext;
        }
    }

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
        return pFirst;
    }

    T* alloc()
    {
        if (_pCursor == _pEnd)
            addBlock();
        return _pCursor++;
    }

    // Makes the next block current: the following one when it is long enough, else a new one.
    void addBlock()
    {
        Link* pNext = _pCurrent ? _pCurrent->pNext : _pHead;
        if (pNext && pNext->length >= _blockLength)
        {
            setCurrent(pNext);
            return;
        }
        Link* pLink = new Link{new T[_blockLength](), _blockLength, pNext};
        if (_pCurrent)
            _pCurrent->pNext = pLink;
        else
            _pHead = pLink;
        setCurrent(pLink);
    }

    // Hands the existing blocks out again from the first; their items keep their contents.
    void rewind()
    {
        _pCurrent = nullptr;
        _pCursor = _pEnd = nullptr;
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
};
} // namespace cnt
