// The sines and cosines the stack machine computed last, by argument: the equations of
// one walk meet the same angles again (a bus's active and reactive power equations).
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <cstring>

#include <td/Types.h>

namespace sl
{
// The sine and the cosine of x, bit for bit what std::sin and std::cos give.
void sineAndCosine(double x, double& s, double& c);
void sineAndCosine(const std::complex<double>& x, std::complex<double>& s, std::complex<double>& c);

// Direct-mapped by the bits of the argument: a hit gives what the call gave for the same
// bits, so the values are those of sineAndCosine. Owned by its user; a stack machine
// given one only reads and writes it while it runs.
template <typename T> class SineCache
{
public:
    SineCache();

    void sineAndCosine(const T& x, T& s, T& c)
    {
        Slot& slot = _slots[slotOf(x)];
        if (std::memcmp(&slot.x, &x, sizeof(T)) != 0)
        {
            sl::sineAndCosine(x, slot.s, slot.c);
            slot.x = x;
        }
        s = slot.s;
        c = slot.c;
    }

private:
    static constexpr unsigned cBits = 10;
    struct Slot
    {
        T x;
        T s;
        T c;
    };

    static unsigned slotOf(const T& x)
    {
        std::uint64_t words[sizeof(T) / sizeof(std::uint64_t)];
        std::memcpy(words, &x, sizeof(T));
        std::uint64_t key = 0;
        for (std::uint64_t w : words)
            key = (key ^ w) * 0x9E3779B97F4A7C15ull;
        return static_cast<unsigned>(key >> (64 - cBits));
    }

    std::array<Slot, 1u << cBits> _slots;
};

extern template class SineCache<double>;
extern template class SineCache<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using SineCache = sl::SineCache<double>;
}

namespace slCmplx
{
using SineCache = sl::SineCache<std::complex<double>>;
}
