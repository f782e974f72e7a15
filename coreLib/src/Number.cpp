#include <mu/Number.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace mu
{
namespace
{
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the first non-zero digit, to tell overflow from underflow.
long magnitudeOf(const char* mantissa, const char* mantissaEnd, long exponent)
{
    long intDigits = 0;
    bool seenNonZero = false;
    long leadingFractionZeros = 0;
    const char* p = mantissa;
    for (; p < mantissaEnd && *p != '.'; ++p)
    {
        if (*p != '0' || seenNonZero)
        {
            seenNonZero = true;
            ++intDigits;
        }
    }
    if (!seenNonZero && p < mantissaEnd)
    {
        for (++p; p < mantissaEnd && *p == '0'; ++p)
            ++leadingFractionZeros;
        return exponent - leadingFractionZeros - 1;
    }
    return exponent + intDigits - 1;
}
} // namespace

double toDouble(const char* text)
{
    if (!text)
        return 0.0;
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-')
    {
        negative = *p == '-';
        ++p;
    }
    const char* mantissa = p;
    bool digits = false;
    while (isDigit(*p))
    {
        ++p;
        digits = true;
    }
    if (*p == '.')
    {
        ++p;
        while (isDigit(*p))
        {
            ++p;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    const char* mantissaEnd = p;
    long exponent = 0;
    if (*p == 'e' || *p == 'E')
    {
        const char* q = p + 1;
        bool expNegative = false;
        if (*q == '+' || *q == '-')
        {
            expNegative = *q == '-';
            ++q;
        }
        if (isDigit(*q))
        {
            for (; isDigit(*q); ++q)
                if (exponent < 100000)
                    exponent = exponent * 10 + (*q - '0');
            if (expNegative)
                exponent = -exponent;
            p = q;
        }
    }
    double value = 0.0;
    auto res = std::from_chars(mantissa, p, value);
    if (res.ec == std::errc::result_out_of_range)
        value = magnitudeOf(mantissa, mantissaEnd, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}
} // namespace mu
