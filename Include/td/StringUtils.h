// Small text utilities over zero-terminated UTF-8 byte texts.
// Malformed UTF-8 is reported, never read past.
#pragma once

#include <utility>

#include <td/Types.h>

namespace td
{
// Characters and bytes before the terminating zero; (0, 0) for a null or empty text and
// for any malformed sequence (a missing continuation byte or a byte that leads none).
inline std::pair<UINT4, UINT4> getUTF8Length(const char* text)
{
    if (!text || !*text)
        return {0, 0};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    UINT4 chars = 0, bytes = 0;
    while (p[bytes])
    {
        unsigned char lead = p[bytes];
        UINT4 n;
        if (lead < 0x80)
            n = 1;
        else if ((lead & 0xE0) == 0xC0)
            n = 2;
        else if ((lead & 0xF0) == 0xE0)
            n = 3;
        else if ((lead & 0xF8) == 0xF0)
            n = 4;
        else
            return {0, 0};
        for (UINT4 k = 1; k < n; ++k)
            if ((p[bytes + k] & 0xC0) != 0x80)
                return {0, 0};
        bytes += n;
        ++chars;
    }
    return {chars, bytes};
}
} // namespace td
