// Fixed-point numbers: an integer holding the value times 10^N.
// Reading divides the fraction first and adds the integer part afterwards.
#pragma once

#include <type_traits>

#include <td/Types.h>

namespace td
{
template <typename TInt, int N> class Decimal
{
    static_assert(N >= 0 && N <= 4, "0 to 4 decimals");

public:
    static constexpr TInt scale()
    {
        TInt d = 1;
        for (int i = 0; i < N; ++i)
            d *= 10;
        return d;
    }

    constexpr explicit Decimal(TInt stored = 0) noexcept : _value(stored) {}
    constexpr TInt stored() const noexcept { return _value; }

    double toDouble() const noexcept
    {
        bool negative = _value < 0;
        // Magnitude in the unsigned twin, so the most negative value has one too.
        using U = std::make_unsigned_t<TInt>;
        U magnitude = negative ? U(0) - static_cast<U>(_value) : static_cast<U>(_value);
        U d = static_cast<U>(scale());
        U q = magnitude / d;
        U r = magnitude - q * d;
        double result = static_cast<double>(r) / static_cast<double>(d);
        result += static_cast<double>(q);
        return negative ? -result : result;
    }

private:
    TInt _value;
};
} // namespace td
