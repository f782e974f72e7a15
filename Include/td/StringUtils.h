// Small text utilities over zero-terminated UTF-8 byte texts.
// Malformed UTF-8 is reported, never read past.
#pragma once

#include <utility>

#include <td/Types.h>

namespace td
{
// Byte length of the UTF-8 sequence the byte leads; -1 for continuation bytes and 0xF8-0xFF.
inline int getUTF8SequenceLength(BYTE lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return -1;
}

// Bytes of the complete UTF-8 character at p when it fits in the avail bytes there; 0 when
// it is malformed (a bad lead or a continuation byte that is not 10xxxxxx) or cut short.
// Continuation bytes are read only while they are valid, so a zero byte ends the reading.
inline UINT4 getUTF8CharLength(const char* p, UINT4 avail)
{
    int n = getUTF8SequenceLength(static_cast<BYTE>(*p));
    if (n < 1 || static_cast<UINT4>(n) > avail)
        return 0;
    for (int k = 1; k < n; ++k)
        if ((static_cast<BYTE>(p[k]) & 0xC0) != 0x80)
            return 0;
    return static_cast<UINT4>(n);
}

// Characters and bytes before the terminating zero; (0, 0) for a null or empty text and
// for any malformed sequence (a missing continuation byte or a byte that leads none).
inline std::pair<UINT4, UINT4> getUTF8Length(const char* text)
{
    if (!text)
        return {0, 0};
    UINT4 chars = 0, bytes = 0;
    while (text[bytes])
    {
        UINT4 n = getUTF8CharLength(text + bytes, 4);
        if (n == 0)
            return {0, 0};
        bytes += n;
        ++chars;
    }
    return {chars, bytes};
}
} // namespace td
