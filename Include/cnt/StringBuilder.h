// Collects a long text in fixed chunks of N bytes and joins it into one td::String.
// Chunks following the current one are reused after clear().
#pragma once

#include <cstdio>
#include <cstring>

#include <td/Assert.h>
#include <td/String.h>

namespace cnt
{
template <td::UINT4 N> class StringBuilder
{
    struct Chunk
    {
        char bytes[N];
        Chunk* pNext = nullptr;
    };

public:
    StringBuilder() : _pFirst(new Chunk()), _allocated(N), _pCurrent(_pFirst) {}
    StringBuilder(const StringBuilder&) = delete;
    StringBuilder& operator=(const StringBuilder&) = delete;
    ~StringBuilder()
    {
        while (_pFirst)
        {
            Chunk* pNext = _pFirst->pNext;
            delete _pFirst;
            _pFirst = pNext;
        }
    }

    // Bytes beyond the string length limit are dropped, so that the text always joins into
    // one td::String (an error entry that quotes a text near the limit ends there).
    void append(const void* bytes, td::UINT4 n)
    {
        const td::UINT4 room = td::priv::cMaxStringLength - _nTotalCh;
        if (n > room)
            n = room;
        if (n == 0)
            return;
        const char* p = static_cast<const char*>(bytes);
        _nTotalCh += n;
        while (n > 0)
        {
            if (_used == N)
                nextChunk();
            td::UINT4 room = N - _used;
            td::UINT4 take = n < room ? n : room;
            std::memcpy(_pCurrent->bytes + _used, p, take);
            _used += take;
            p += take;
            n -= take;
        }
    }

    void append(const char* text)
    {
        if (text)
            append(text, static_cast<td::UINT4>(std::strlen(text)));
    }
    void append(const td::String& s) { append(s.c_str(), s.length()); }
    void append(char c) { append(&c, 1); }

    // Numbers go through a 64-byte scratch area.
    void append(double value)
    {
        char scratch[64];
        append(td::toString(value, scratch));
    }
    void append(td::INT4 value)
    {
        char scratch[64];
        append(scratch, static_cast<td::UINT4>(std::snprintf(scratch, sizeof(scratch), "%d", value)));
    }
    void append(td::UINT4 value)
    {
        char scratch[64];
        append(scratch, static_cast<td::UINT4>(std::snprintf(scratch, sizeof(scratch), "%u", value)));
    }

    td::String toString() const
    {
        td::String s;
        if (_nTotalCh == 0)
            return s;
        s.allocate(static_cast<int>(_nTotalCh));
        char* out = s.data();
        for (const Chunk* c = _pFirst; c != _pCurrent; c = c->pNext, out += N)
            std::memcpy(out, c->bytes, N);
        std::memcpy(out, _pCurrent->bytes, _used);
        return s;
    }

    // Empties the text; the chunks stay for reuse.
    void clear()
    {
        _pCurrent = _pFirst;
        _used = 0;
        _nTotalCh = 0;
    }

    td::UINT4 length() const { return _nTotalCh; }
    bool isEmpty() const { return _nTotalCh == 0; }
    td::UINT4 allocatedBytes() const { return _allocated; }
    td::UINT4 usedInCurrentChunk() const { return _used; }

private:
    void nextChunk()
    {
        if (!_pCurrent->pNext)
        {
            _pCurrent->pNext = new Chunk();
            _allocated += N;
        }
        _pCurrent = _pCurrent->pNext;
        _used = 0;
    }

    Chunk* _pFirst;
    td::UINT4 _used = 0;
    td::UINT4 _nTotalCh = 0;
    td::UINT4 _allocated;
    Chunk* _pCurrent;
};
} // namespace cnt
