// Reusable character buffer of the XML tokenizer: cleared for every token, it keeps its
// array and remembers whether everything appended since the last clear was blank.
#pragma once

#include <algorithm>
#include <cstring>

#include <td/String.h>

namespace td
{
class BufferString
{
public:
    explicit BufferString(UINT4 capacity = 512) : _capacity(capacity), _pBuf(new char[capacity + 1]) { _pBuf[0] = 0; }
    BufferString(const BufferString&) = delete;
    BufferString& operator=(const BufferString&) = delete;
    ~BufferString() { delete[] _pBuf; }

    void append(char c)
    {
        if (_length == _capacity)
            grow(1);
        _pBuf[_length++] = c;
        if (_blank && !priv::isBlank(c))
            _blank = false;
    }

    void append(const char* p, UINT4 n)
    {
        if (n > _capacity - _length)
            grow(n);
        std::memcpy(_pBuf + _length, p, n);
        _length += n;
        for (UINT4 i = 0; _blank && i < n; ++i)
            _blank = priv::isBlank(p[i]);
    }

    void clear()
    {
        _length = 0;
        _pBuf[0] = 0;
        _blank = true;
    }

    // True when nothing but blanks (space, TAB, LF, CR) was appended since the last clear.
    bool isBlank() const { return _blank; }
    bool equals(const char* text) const
    {
        std::size_t n = std::strlen(text);
        return n == _length && std::memcmp(_pBuf, text, n) == 0;
    }
    const char* data() const { return _pBuf; }
    char* data() { return _pBuf; }
    UINT4 length() const { return _length; }
    UINT4 capacity() const { return _capacity; }
    const char* c_str()
    {
        _pBuf[_length] = 0;
        return _pBuf;
    }

private:
    // At least the request plus 256 bytes more, and at least half the capacity more, so
    // that a long text costs a linear number of copied bytes.
    void grow(UINT4 request)
    {
        std::size_t need = static_cast<std::size_t>(_length) + request;
        priv::checkLength(need);
        std::size_t cap = std::max<std::size_t>(static_cast<std::size_t>(_capacity) + request + 256,
                                                static_cast<std::size_t>(_capacity) * 3 / 2);
        cap = std::max(need, std::min<std::size_t>(cap, priv::cMaxStringLength));
        char* pNew = new char[cap + 1];
        std::memcpy(pNew, _pBuf, _length);
        delete[] _pBuf;
        _pBuf = pNew;
        _capacity = static_cast<UINT4>(cap);
    }

    UINT4 _capacity;
    UINT4 _length = 0;
    char* _pBuf;
    bool _blank = true;
};
} // namespace td
