#include "XmlTexts.h"

#include <mu/Number.h>

#include "XmlNodes.h"

namespace sl::xmlnodes
{
bool parseNumber(double& out, const char*& text)
{
    if (!text)
        return false;
    const char* start = skipBlanks(text);
    const char* p = start;
    if (*p == '+' || *p == '-')
        ++p;
    else if (*p < '0' || *p > '9')
        return false;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p)
        digits = true;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            digits = true;
    if (!digits)
        return false;
    if (*p == 'e' || *p == 'E')
    {
        ++p;
        if (*p == '+' || *p == '-')
            ++p;
        if (*p < '0' || *p > '9')
            return false;
        while (*p >= '0' && *p <= '9')
            ++p;
    }
    out = mu::toDouble(start);
    text = p;
    return true;
}

bool parseWholeNumber(double& out, const char* text)
{
    const char* p = text;
    return parseNumber(out, p) && onlyBlanks(p);
}

bool parseComplexNumber(std::complex<double>& out, const char* text, bool strict)
{
    const char* p = text;
    double a = 0, b = 0;
    if (!parseNumber(a, p))
        return false;
    const bool aImag = *p == 'i';
    p += aImag;
    if (onlyBlanks(p))
    {
        out = aImag ? std::complex<double>(0, a) : std::complex<double>(a, 0);
        return true;
    }
    p = skipBlanks(p);
    if (!parseNumber(b, p))
        return false;
    const bool bImag = *p == 'i';
    p += bImag;
    if (aImag == bImag || (strict && !onlyBlanks(p)))
        return false;
    out = aImag ? std::complex<double>(b, a) : std::complex<double>(a, b);
    return true;
}

void addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos, cnt::PushBackVector<td::String>& names)
{
    const char* p = text + openPos + 1;
    const char* end = text + closePos;
    while (p <= end)
    {
        const char* comma = p;
        while (comma < end && *comma != ',')
            ++comma;
        const char* cut = p;
        while (cut < comma && *cut != '=')
            ++cut;
        const char* b = skipBlanks(p);
        const char* e = cut;
        while (e > b && isBlank(e[-1]))
            --e;
        names.push(b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String());
        p = comma + 1;
    }
}
} // namespace sl::xmlnodes
