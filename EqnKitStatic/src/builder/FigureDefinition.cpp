#include "FigureDefinition.h"

#include <td/Assert.h>

namespace sl
{
void SampleBuffer::append(double value)
{
    if (!_pCurrent || _used == cBlockLength)
    {
        // The next block: one kept from an earlier run, else a new one.
        Block* pNext = _pCurrent ? _pCurrent->pNext : _pFirst;
        if (!pNext)
        {
            pNext = new Block;
            ++_nBlocks;
            (_pCurrent ? _pCurrent->pNext : _pFirst) = pNext;
        }
        _pCurrent = pNext;
        _used = 0;
    }
    _pCurrent->values[_used++] = value;
    ++_count;
}

void SampleBuffer::clear()
{
    _pCurrent = nullptr;
    _used = 0;
    _count = 0;
}

double SampleBuffer::Reader::next()
{
    if (_pos == cBlockLength)
    {
        _pBlock = _pBlock->pNext;
        _pos = 0;
    }
    TD_ASSERT(_pBlock);
    return _pBlock->values[_pos++];
}

void SampleBuffer::take(SampleBuffer& other) noexcept
{
    _pFirst = other._pFirst;
    _pCurrent = other._pCurrent;
    _count = other._count;
    _used = other._used;
    _nBlocks = other._nBlocks;
    other._pFirst = other._pCurrent = nullptr;
    other._count = 0;
    other._used = other._nBlocks = 0;
}

void SampleBuffer::freeBlocks()
{
    while (_pFirst)
    {
        Block* pNext = _pFirst->pNext;
        delete _pFirst;
        _pFirst = pNext;
    }
    _pCurrent = nullptr;
    _count = 0;
    _used = _nBlocks = 0;
}
} // namespace sl
