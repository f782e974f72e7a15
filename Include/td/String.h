// Reference-counted UTF-8 strings: one pointer to a buffer whose 32-bit header holds
// the length (bits 0-27) and the count of extra sharers (bits 28-31, saturating at 15).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include <td/Assert.h>
#include <td/CoreLibNames.h>
#include <td/Export.h>
#include <td/Types.h>

namespace cnt
{
template <typename T> class PushBackVector;
}

namespace mem
{
template <typename TStr, unsigned CHUNK> class StringMemoryManager;
}

namespace td
{
namespace priv
{
constexpr UINT4 cMaxStringLength = 0x0FFFFFFFu;
constexpr UINT4 cLengthMask = 0x0FFFFFFFu;
constexpr UINT4 cShareShift = 28;
constexpr UINT4 cShareSaturated = 15;
constexpr UINT4 cStackFormatSize = 1024;

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline void checkLength(std::size_t n) { TD_ASSERT(n <= cMaxStringLength); }

// Formats into a 1024-byte stack buffer, or measures and formats into a heap buffer of
// exactly the needed size. Calls sink(text, length) once with a non-empty result.
template <typename Sink> bool vformat(const char* fmt, va_list args, Sink&& sink)
{
    if (!fmt)
        return false;
    char stackBuf[cStackFormatSize];
    va_list firstPass;
    va_copy(firstPass, args);
    int n = std::vsnprintf(stackBuf, sizeof(stackBuf), fmt, firstPass);
    va_end(firstPass);
    if (n <= 0)
        return false;
    if (static_cast<unsigned>(n) < cStackFormatSize)
    {
        sink(stackBuf, static_cast<UINT4>(n));
        return true;
    }
    checkLength(static_cast<std::size_t>(n));
    char* heapBuf = static_cast<char*>(::operator new(static_cast<std::size_t>(n) + 1));
    va_list secondPass;
    va_copy(secondPass, args);
    int m = std::vsnprintf(heapBuf, static_cast<std::size_t>(n) + 1, fmt, secondPass);
    va_end(secondPass);
    bool ok = m > 0;
    if (ok)
        sink(heapBuf, static_cast<UINT4>(m < n ? m : n));
    ::operator delete(heapBuf);
    return ok;
}
} // namespace priv

// CH: character type, ENC: encoding tag, HDR: header bytes, POOL: 1 for strings carved
// out of a mem::StringMemoryManager (never shared, never freed one by one).
template <typename CH, int ENC, int HDR, int POOL> class StringBase
{
    static_assert(sizeof(CH) == 1 && HDR == 4, "byte strings with a 4-byte header only");
    template <typename, int, int, int> friend class StringBase;
    template <typename, int, int> friend class MutableStringBase;

public:
    using PoolString = StringBase<CH, ENC, HDR, 1>;
    static constexpr bool isPool = POOL != 0;

    StringBase() noexcept = default;

    StringBase(const char* text) { assignBytes(text, text ? std::strlen(text) : 0); }

    StringBase(const char* text, std::size_t n) { assignBytes(text, text ? n : 0); }

    StringBase(const std::string& s)
    {
        if (static_cast<INT4>(s.size()) >= 1)
            assignBytes(s.data(), s.size());
    }

    StringBase(const StringBase& other) noexcept { shareFrom(other); }

    StringBase(StringBase&& other) noexcept : _pBuffer(other._pBuffer) { other._pBuffer = nullptr; }

    // A string of the other kind (heap from pool or pool from heap) copies the text.
    template <int OTHER_POOL, typename = std::enable_if_t<OTHER_POOL != POOL && !POOL>>
    explicit StringBase(const StringBase<CH, ENC, HDR, OTHER_POOL>& other)
    {
        assignBytes(other.c_str(), other.length());
    }

    ~StringBase() { release(); }

    StringBase& operator=(const StringBase& other) noexcept
    {
        if (_pBuffer == other._pBuffer)
            return *this;
        release();
        shareFrom(other);
        return *this;
    }

    StringBase& operator=(StringBase&& other) noexcept
    {
        if (this == &other)
            return *this;
        release();
        _pBuffer = other._pBuffer;
        other._pBuffer = nullptr;
        return *this;
    }

    // The text may point into this string's own buffer: it is copied before the release.
    StringBase& operator=(const char* text)
    {
        std::size_t n = text ? std::strlen(text) : 0;
        char* pNew = n > 0 ? newHeapBuffer(n, text) : nullptr;
        release();
        _pBuffer = pNew;
        return *this;
    }

    StringBase clone() const
    {
        StringBase copy;
        if (_pBuffer)
            copy._pBuffer = newHeapBuffer(length(), c_str());
        return copy;
    }

    void assignClone(const StringBase& other)
    {
        if (&other == this)
        {
            detach();
            return;
        }
        char* pNew = other._pBuffer ? newHeapBuffer(other.length(), other.c_str()) : nullptr;
        release();
        _pBuffer = pNew;
    }

    void release() noexcept
    {
        if (!_pBuffer)
            return;
        if constexpr (!isPool)
        {
            UINT4 count = shareCount();
            if (count > 0)
                setHeader((header() & priv::cLengthMask) | ((count - 1) << priv::cShareShift));
            else
                ::operator delete(_pBuffer);
        }
        _pBuffer = nullptr;
    }

    // Takes a private copy when the buffer is shared, so that it may be written.
    void detach()
    {
        if constexpr (!isPool)
        {
            if (!_pBuffer || shareCount() == 0)
                return;
            char* pNew = newHeapBuffer(length(), c_str());
            release();
            _pBuffer = pNew;
        }
    }

    // A fresh private buffer of n bytes (unset) with its terminating zero; false for n < 1.
    bool allocate(int n)
    {
        release();
        if (n < 1)
            return false;
        _pBuffer = newHeapBuffer(static_cast<std::size_t>(n), nullptr);
        return true;
    }

    // Replaces the length bits, keeping the share bits; the terminating zero is written.
    void setLength(UINT4 n)
    {
        TD_ASSERT(_pBuffer != nullptr);
        priv::checkLength(n);
        setHeader((header() & ~priv::cLengthMask) | n);
        textPtr()[n] = 0;
    }

    const char* c_str() const noexcept { return _pBuffer ? _pBuffer + HDR : mu::__zeroBuffer; }

    // Writable bytes of a private buffer (after allocate or detach).
    char* data()
    {
        TD_ASSERT(_pBuffer != nullptr);
        return textPtr();
    }

    UINT4 length() const noexcept { return _pBuffer ? (header() & priv::cLengthMask) : 0; }
    bool isEmpty() const noexcept { return length() == 0; }

    // Count of holders besides the first; meaningless for pool strings.
    UINT4 shareCount() const noexcept { return _pBuffer ? (header() >> priv::cShareShift) : 0; }
    const void* bufferAddress() const noexcept { return _pBuffer; }

    char at(UINT4 pos) const
    {
        TD_ASSERT(pos < length());
        return _pBuffer[HDR + pos];
    }

    template <int P> bool operator==(const StringBase<CH, ENC, HDR, P>& other) const noexcept
    {
        UINT4 n = length();
        return n == other.length() && std::memcmp(c_str(), other.c_str(), n) == 0;
    }

    bool operator==(const char* text) const noexcept
    {
        const char* s = text ? text : "";
        std::size_t n = std::strlen(s);
        return n == length() && std::memcmp(c_str(), s, n) == 0;
    }

    bool equals(const char* s, UINT4 n) const
    {
        TD_ASSERT(s != nullptr);
        return length() == n && std::strncmp(c_str(), s, n) == 0;
    }

    template <int P> int compare(const StringBase<CH, ENC, HDR, P>& other) const noexcept
    {
        UINT4 a = length(), b = other.length();
        int r = std::memcmp(c_str(), other.c_str(), a < b ? a : b);
        if (r != 0)
            return r < 0 ? -1 : 1;
        return a == b ? 0 : (a < b ? -1 : 1);
    }

    template <int P> bool operator<(const StringBase<CH, ENC, HDR, P>& other) const noexcept
    {
        return compare(other) < 0;
    }

    StringBase<CH, ENC, HDR, 0> left(int n) const
    {
        UINT4 len = length();
        if (n <= 0 || len == 0)
            return {};
        return StringBase<CH, ENC, HDR, 0>(c_str(), static_cast<UINT4>(n) < len ? static_cast<UINT4>(n) : len);
    }

    StringBase<CH, ENC, HDR, 0> trimmed() const
    {
        const char* p = c_str();
        UINT4 begin = 0, end = length();
        while (begin < end && priv::isBlank(p[begin]))
            ++begin;
        while (end > begin && priv::isBlank(p[end - 1]))
            --end;
        return StringBase<CH, ENC, HDR, 0>(p + begin, end - begin);
    }

    int findNonBlank(int pos) const noexcept
    {
        UINT4 len = length();
        if (len == 0 || pos < 0 || static_cast<UINT4>(pos) >= len)
            return -1;
        const char* p = c_str();
        for (UINT4 i = static_cast<UINT4>(pos); i < len; ++i)
            if (!priv::isBlank(p[i]))
                return static_cast<int>(i);
        return -1;
    }

    bool isTrue() const noexcept
    {
        if (length() != 4)
            return false;
        const char* p = c_str();
        return (p[0] == 'T' || p[0] == 't') && p[1] == 'r' && p[2] == 'u' && p[3] == 'e';
    }

    // Appends n bytes into a new buffer of exactly the new length.
    void append(const char* p, int n)
    {
        static_assert(!isPool, "pool strings are written once");
        if (n < 1 || !p)
            return;
        UINT4 oldLen = length();
        std::size_t newLen = static_cast<std::size_t>(oldLen) + static_cast<std::size_t>(n);
        priv::checkLength(newLen);
        char* pNew = newHeapBuffer(newLen, nullptr);
        std::memcpy(pNew + HDR, c_str(), oldLen);
        std::memcpy(pNew + HDR + oldLen, p, static_cast<std::size_t>(n));
        release();
        _pBuffer = pNew;
    }

    // Splits at every sep byte into count(sep) + 1 parts appended to out.
    template <typename Vec = cnt::PushBackVector<StringBase<CH, ENC, HDR, 0>>>
    void split(char sep, Vec& out, bool trimParts, bool clearFirst) const
    {
        if (clearFirst)
            out.clear();
        const char* p = c_str();
        UINT4 len = length();
        UINT4 start = 0;
        for (UINT4 i = 0; i <= len; ++i)
        {
            if (i < len && p[i] != sep)
                continue;
            StringBase<CH, ENC, HDR, 0> part(p + start, i - start);
            out.push(trimParts ? part.trimmed() : part);
            start = i + 1;
        }
    }

    // Replaces the text with the printf-style result; the arguments may point into it.
    bool format(const char* fmt, ...)
    {
        va_list args;
        va_start(args, fmt);
        bool ok = formatV(fmt, args);
        va_end(args);
        return ok;
    }

    bool formatV(const char* fmt, va_list args)
    {
        static_assert(!isPool, "pool strings are written once");
        char* pNew = nullptr;
        bool ok = priv::vformat(fmt, args, [&](const char* text, UINT4 n) { pNew = newHeapBuffer(n, text); });
        release();
        _pBuffer = pNew;
        return ok;
    }

    // Pool strings -------------------------------------------------------------------

    template <typename Manager> static void allocateIn(Manager& manager, PoolString& out, unsigned n, const char* text)
    {
        if (n == 0)
            return;
        priv::checkLength(n);
        char* pBlock = static_cast<char*>(manager.alloc(roundUp8(HDR + n + 1)));
        out._pBuffer = fillBuffer(pBlock, n, text);
    }

    template <typename Manager> static PoolString* createIn(Manager& manager, unsigned n, const char* text)
    {
        if (n == 0)
            return nullptr;
        priv::checkLength(n);
        char* pBlock = static_cast<char*>(manager.alloc(roundUp8(n + 9 + HDR)));
        PoolString* pStr = new (pBlock) PoolString();
        pStr->_pBuffer = fillBuffer(pBlock + sizeof(PoolString), n, text);
        return pStr;
    }

    template <typename Manager, int P>
    static PoolString* createIn(Manager& manager, const StringBase<CH, ENC, HDR, P>& s)
    {
        if (s.length() == 0)
            return nullptr;
        return createIn(manager, s.length(), s.c_str());
    }

private:
    static UINT4 roundUp8(std::size_t n) { return static_cast<UINT4>((n + 7) & ~std::size_t(7)); }

    static char* fillBuffer(char* pBuf, UINT4 n, const char* text)
    {
        UINT4 h = n;
        std::memcpy(pBuf, &h, sizeof(h));
        if (text)
            std::memcpy(pBuf + HDR, text, n);
        pBuf[HDR + n] = 0;
        return pBuf;
    }

    // A heap buffer of exactly n + 5 bytes, share count 0.
    static char* newHeapBuffer(std::size_t n, const char* text)
    {
        priv::checkLength(n);
        char* pBuf = static_cast<char*>(::operator new(n + HDR + 1));
        return fillBuffer(pBuf, static_cast<UINT4>(n), text);
    }

    void assignBytes(const char* text, std::size_t n)
    {
        if (n < 1)
            return;
        if constexpr (isPool)
            TD_ASSERT(!"pool strings are made by their manager");
        else
            _pBuffer = newHeapBuffer(n, text);
    }

    void shareFrom(const StringBase& other) noexcept
    {
        if (!other._pBuffer)
            return;
        if constexpr (isPool)
        {
            _pBuffer = other._pBuffer;
        }
        else
        {
            UINT4 count = other.shareCount();
            if (count >= priv::cShareSaturated)
            {
                _pBuffer = newHeapBuffer(other.length(), other.c_str());
                return;
            }
            const_cast<StringBase&>(other).setHeader((other.header() & priv::cLengthMask) |
                                                     ((count + 1) << priv::cShareShift));
            _pBuffer = other._pBuffer;
        }
    }

    UINT4 header() const noexcept
    {
        UINT4 h;
        std::memcpy(&h, _pBuffer, sizeof(h));
        return h;
    }
    void setHeader(UINT4 h) noexcept { std::memcpy(_pBuffer, &h, sizeof(h)); }
    char* textPtr() noexcept { return _pBuffer + HDR; }

    char* _pBuffer = nullptr;
};

using String = StringBase<char, 0, 4, 0>;
using PoolString = StringBase<char, 0, 4, 1>;

// Growable string whose buffer is never shared: its header carries share count 15, so a
// td::String copied from it duplicates the text instead of aliasing a buffer that grows.
template <typename CH, int ENC, int HDR> class MutableStringBase
{
public:
    MutableStringBase() = default;
    explicit MutableStringBase(const char* text) { append(text, 0); }
    MutableStringBase(const MutableStringBase& other) { append(other.c_str(), other.length()); }
    MutableStringBase(MutableStringBase&& other) noexcept : _capacity(other._capacity)
    {
        std::swap(_str, other._str);
        other._capacity = 0;
    }
    ~MutableStringBase() { freeBuffer(); }

    MutableStringBase& operator=(const MutableStringBase& other)
    {
        if (this != &other)
        {
            clear();
            append(other.c_str(), other.length());
        }
        return *this;
    }

    MutableStringBase& operator=(MutableStringBase&& other) noexcept
    {
        if (this != &other)
        {
            freeBuffer();
            std::swap(_str, other._str);
            _capacity = other._capacity;
            other._capacity = 0;
        }
        return *this;
    }

    const char* c_str() const noexcept { return _str.c_str(); }
    UINT4 length() const noexcept { return _str.length(); }
    LUINT8 capacity() const noexcept { return _capacity; }
    char at(UINT4 pos) const { return _str.at(pos); }

    // The text as a read-only string; copies of it duplicate the text.
    const StringBase<CH, ENC, HDR, 0>& str() const noexcept { return _str; }
    StringBase<CH, ENC, HDR, 0> toString() const { return StringBase<CH, ENC, HDR, 0>(_str); }

    // n = 0 means strlen(p). Grows in place while the text fits.
    void append(const char* p, std::size_t n = 0)
    {
        if (!p)
            return;
        if (n == 0)
            n = std::strlen(p);
        if (n == 0)
            return;
        UINT4 len = length();
        std::size_t newLen = static_cast<std::size_t>(len) + n;
        priv::checkLength(newLen);
        if (newLen < _capacity)
        {
            std::memmove(_str.data() + len, p, n);
            _str.setLength(static_cast<UINT4>(newLen));
            return;
        }
        String grown;
        grown.allocate(static_cast<int>(newLen));
        std::memcpy(grown.data(), c_str(), len);
        std::memcpy(grown.data() + len, p, n);
        adopt(grown, newLen + 1);
    }

    void append(char c) { append(&c, 1); }

    bool appendFormat(const char* fmt, ...)
    {
        va_list args;
        va_start(args, fmt);
        bool ok = priv::vformat(fmt, args, [&](const char* text, UINT4 n) { append(text, n); });
        va_end(args);
        return ok;
    }

    // Room for n bytes and the zero; always empties the text.
    void reserve(std::size_t n)
    {
        if (_capacity < n)
        {
            priv::checkLength(n);
            String fresh;
            fresh.allocate(static_cast<int>(n));
            adopt(fresh, n);
        }
        clear();
    }

    void clear()
    {
        if (_str._pBuffer)
            _str.setLength(0);
    }

    // Cuts the text to n bytes (n at most the length).
    void truncate(UINT4 n)
    {
        TD_ASSERT(n <= length());
        if (_str._pBuffer)
            _str.setLength(n);
    }

private:
    void adopt(String& fresh, std::size_t capacity)
    {
        freeBuffer();
        std::swap(_str, fresh);
        UINT4 len = _str.length();
        markSaturated(len);
        _capacity = capacity;
    }

    void markSaturated(UINT4 len) { _str.setHeader(len | (priv::cShareSaturated << priv::cShareShift)); }

    // The share bits are a mark, not a count: the buffer is freed outright.
    void freeBuffer()
    {
        ::operator delete(_str._pBuffer);
        _str._pBuffer = nullptr;
        _capacity = 0;
    }

    String _str;
    LUINT8 _capacity = 0;
};

using MutableString = MutableStringBase<char, 0, 4>;

// The two functions below are defined in the solver library, which exports them.

// Formats a double like "%g" in the C locale into the caller's 64-byte buffer; the
// process locale is neither read nor changed.
TD_EXPORT char* toString(double value, char buffer[64]);

// 0 nothing, 1 not a number, 2 negative integer, 3 integer, 4 negative real, 5 real.
TD_EXPORT int classifyNumber(const char* s);
} // namespace td

namespace td
{
// Rotate left by 5 within 32 bits, then XOR the byte read as signed.
inline std::uint32_t hashText(const char* p) noexcept
{
    std::uint32_t h = 0;
    for (; *p; ++p)
        h = ((h << 5) | (h >> 27)) ^
            static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(*p)));
    return h;
}
} // namespace td

namespace std
{
template <> struct hash<td::String>
{
    std::size_t operator()(const td::String& s) const noexcept { return td::hashText(s.c_str()); }
};
template <> struct hash<td::PoolString>
{
    std::size_t operator()(const td::PoolString& s) const noexcept { return td::hashText(s.c_str()); }
};
} // namespace std
