#include <td/String.h>

#include <charconv>

namespace td
{
char* toString(double value, char buffer[64])
{
    auto res = std::to_chars(buffer, buffer + 62, value, std::chars_format::general, 6);
    if (res.ec != std::errc())
        res.ptr = buffer;
    *res.ptr = 0;
    buffer[63] = 0;
    return buffer;
}

int classifyNumber(const char* s)
{
    if (!s)
        return 0;
    while (*s == ' ' || *s == '\t')
        ++s;
    if (*s == 0)
        return 0;
    bool negative = *s == '-';
    if (negative)
        ++s;
    if (*s < '0' || *s > '9')
        return 1;
    bool point = false;
    for (; *s; ++s)
    {
        if (*s >= '0' && *s <= '9')
            continue;
        if (*s == '.' && !point)
        {
            point = true;
            continue;
        }
        return 1;
    }
    if (point)
        return negative ? 4 : 5;
    return negative ? 2 : 3;
}
} // namespace td
