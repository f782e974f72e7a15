// Pool of runs of consecutive records: a run grows by one record at its end while its
// block has room, and moves to the start of a new block when it has not.
#pragma once

#include <mem/BlockList.h>
#include <td/Assert.h>
#include <td/Types.h>

namespace mem
{
// The pool owns its blocks of SINGLEBUFFLEN records; records live until the pool dies and
// are handed out again after rewind(). A run holds fewer than SINGLEBUFFLEN records.
template <typename T, td::UINT4 SINGLEBUFFLEN = 4096> class CntMemoryManager
{
public:
    static constexpr td::UINT4 cBlockLength = SINGLEBUFFLEN;

    CntMemoryManager() : _blocks(SINGLEBUFFLEN) {}
    CntMemoryManager(const CntMemoryManager&) = delete;
    CntMemoryManager& operator=(const CntMemoryManager&) = delete;

    // Extends the run of n records at pRun (the last n records taken; none when n is 0) by
    // one record and returns the run's first record; the new record is the result + n.
    // The caller keeps n below SINGLEBUFFLEN.
    T* append(T* pRun, td::UINT4 n)
    {
        if (n == 0)
            return _blocks.alloc();
        td::UINT4 nToCopy = n;
        TD_ASSERT(nToCopy < SINGLEBUFFLEN);
        if (_blocks.room() > 0)
        {
            T* pNext = _blocks.alloc();
            TD_ASSERT(pNext == pRun + n);
            return pRun;
        }
        T* pNew = _blocks.alloc(n + 1);
        for (td::UINT4 i = 0; i < nToCopy; ++i)
            pNew[i] = pRun[i];
        return pNew;
    }

    // Hands the blocks out again from the first; their records keep their old contents.
    void rewind() { _blocks.rewind(); }
    td::UINT4 blockCount() const { return _blocks.blockCount(); }

private:
    cnt::List<T> _blocks;
};
} // namespace mem
