// String pool: hands out 8-byte-rounded blocks from chunks of at least 64 KB by first fit.
// Blocks never come back one by one; release() frees every chunk at once.
#pragma once

#include <cstring>
#include <new>

#include <td/Assert.h>
#include <td/String.h>

namespace mem
{
template <typename TStr, unsigned CHUNK> class StringMemoryManager
{
    struct ChunkNode
    {
        char* pMemory;
        td::UINT4 size;
        ChunkNode* pNext;
    };
    struct FreeBlock
    {
        FreeBlock* pNext;
        td::UINT4 size;
    };
    static constexpr td::UINT4 cMinRemainder = 32;

public:
    StringMemoryManager() = default;
    StringMemoryManager(const StringMemoryManager&) = delete;
    StringMemoryManager& operator=(const StringMemoryManager&) = delete;
    ~StringMemoryManager() { release(); }

    // n is already a multiple of 8.
    void* alloc(td::UINT4 n)
    {
        TD_ASSERT(n > 0);
        if (!_pFirstFree)
            _pFirstFree = newChunk(n);
        FreeBlock* pPrev = nullptr;
        FreeBlock* pBlock = _pFirstFree;
        while (pBlock && pBlock->size < n)
        {
            pPrev = pBlock;
            pBlock = pBlock->pNext;
        }
        if (!pBlock)
        {
            pBlock = newChunk(n);
            pPrev->pNext = pBlock;
        }
        FreeBlock* pSuccessor = pBlock->pNext;
        if (pBlock->size - n >= cMinRemainder)
        {
            FreeBlock* pRest = reinterpret_cast<FreeBlock*>(reinterpret_cast<char*>(pBlock) + n);
            pRest->size = pBlock->size - n;
            pRest->pNext = pSuccessor;
            pSuccessor = pRest;
        }
        if (pPrev)
            pPrev->pNext = pSuccessor;
        else
            _pFirstFree = pSuccessor;
        return pBlock;
    }

    void release()
    {
        while (_pHead)
        {
            ChunkNode* pNext = _pHead->pNext;
            ::operator delete(_pHead->pMemory);
            delete _pHead;
            _pHead = pNext;
        }
        _pTail = nullptr;
        _pFirstFree = nullptr;
    }

    td::UINT4 headerSize() const { return _headerSize; }

    // Chunk sizes in order of allocation (for inspection).
    template <typename F> void forEachChunk(F&& f) const
    {
        for (const ChunkNode* p = _pHead; p; p = p->pNext)
            f(p->size);
    }

private:
    FreeBlock* newChunk(td::UINT4 n)
    {
        td::UINT4 size = n > CHUNK ? n : CHUNK;
        ChunkNode* pNode = new ChunkNode{static_cast<char*>(::operator new(size)), size, nullptr};
        if (_pTail)
            _pTail->pNext = pNode;
        else
            _pHead = pNode;
        _pTail = pNode;
        FreeBlock* pBlock = reinterpret_cast<FreeBlock*>(pNode->pMemory);
        pBlock->pNext = nullptr;
        pBlock->size = size;
        return pBlock;
    }

    ChunkNode* _pHead = nullptr;
    ChunkNode* _pTail = nullptr;
    FreeBlock* _pFirstFree = nullptr;
    td::UINT4 _headerSize = 4;
};

using StringPool = StringMemoryManager<td::PoolString, 65536>;
} // namespace mem
