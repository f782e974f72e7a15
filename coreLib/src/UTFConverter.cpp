#include <mu/UTFConverter.h>

#include <cstdint>

namespace mu
{
namespace
{
constexpr char32_t cReplacement = 0xFFFD;

// Decodes one code point at p (p < end); malformed sequences give U+FFFD and one byte.
char32_t decodeUTF8(const unsigned char*& p, const unsigned char* end)
{
    unsigned char b = *p++;
    if (b < 0x80)
        return b;
    int extra;
    char32_t cp;
    if ((b & 0xE0) == 0xC0)
    {
        extra = 1;
        cp = b & 0x1F;
    }
    else if ((b & 0xF0) == 0xE0)
    {
        extra = 2;
        cp = b & 0x0F;
    }
    else if ((b & 0xF8) == 0xF0)
    {
        extra = 3;
        cp = b & 0x07;
    }
    else
        return cReplacement;
    if (end - p < extra)
        return cReplacement;
    for (int i = 0; i < extra; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return cReplacement;
    for (int i = 0; i < extra; ++i)
        cp = (cp << 6) | (*p++ & 0x3F);
    static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return cReplacement;
    return cp;
}

char32_t decodeUTF16(const char16_t*& p, const char16_t* end)
{
    char16_t u = *p++;
    if (u < 0xD800 || u > 0xDFFF)
        return u;
    if (u >= 0xDC00 || p == end || *p < 0xDC00 || *p > 0xDFFF)
        return cReplacement;
    char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (static_cast<char32_t>(*p) - 0xDC00);
    ++p;
    return cp;
}

int utf8Length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }
} // namespace

int UTFConverter::measureUTF8toUTF16(const char* begin, const char* end, int)
{
    if (!begin || end <= begin)
        return 0;
    auto p = reinterpret_cast<const unsigned char*>(begin);
    auto e = reinterpret_cast<const unsigned char*>(end);
    int bytes = 0;
    while (p < e)
        bytes += decodeUTF8(p, e) >= 0x10000 ? 4 : 2;
    return bytes;
}

int UTFConverter::convertUTF8toUTF16(const char* begin, const char* end, char16_t* destBegin, char16_t* destEnd, int)
{
    if (!begin || end <= begin)
        return 0;
    auto p = reinterpret_cast<const unsigned char*>(begin);
    auto e = reinterpret_cast<const unsigned char*>(end);
    char16_t* d = destBegin;
    while (p < e)
    {
        char32_t cp = decodeUTF8(p, e);
        if (cp >= 0x10000)
        {
            if (destEnd - d < 2)
                break;
            cp -= 0x10000;
            *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
        else
        {
            if (d == destEnd)
                break;
            *d++ = static_cast<char16_t>(cp);
        }
    }
    return static_cast<int>((d - destBegin) * 2);
}

int UTFConverter::measureUTF16toUTF8(const char16_t* begin, const char16_t* end, int)
{
    if (!begin || end <= begin)
        return 0;
    int bytes = 0;
    while (begin < end)
        bytes += utf8Length(decodeUTF16(begin, end));
    return bytes;
}

int UTFConverter::convertUTF16toUTF8(const char16_t* begin, const char16_t* end, char* destBegin, char* destEnd, int)
{
    if (!begin || end <= begin)
        return 0;
    char* d = destBegin;
    while (begin < end)
    {
        char32_t cp = decodeUTF16(begin, end);
        int n = utf8Length(cp);
        if (destEnd - d < n)
            break;
        if (n == 1)
            *d++ = static_cast<char>(cp);
        else
        {
            static const unsigned char lead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
            for (int i = n - 1; i > 0; --i)
                d[i] = static_cast<char>(0x80 | ((cp >> (6 * (n - 1 - i))) & 0x3F));
            d[0] = static_cast<char>(lead[n] | (cp >> (6 * (n - 1))));
            d += n;
        }
    }
    return static_cast<int>(d - destBegin);
}
} // namespace mu
