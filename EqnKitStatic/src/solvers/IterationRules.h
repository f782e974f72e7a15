// Tuning rules shared by the Newton-Raphson and weighted-least-squares passes: growth of
// the sparse solver's nonzero estimate, the oscillation test and counter saturation.
#pragma once
#include <td/Types.h>

namespace sl::iteration
{
inline constexpr double cNonZeroGrowth = 1.5;
inline constexpr td::UINT4 cOscillationIterations = 10000;
inline constexpr double cOscillationFactor = 5.0;
// The iteration of a pass from which the smallest norm is tracked.
inline constexpr td::UINT4 cSmallestNormFrom = 10;

// The smallest norm of a pass from iteration cSmallestNormFrom on, and the oscillation it
// shows: after cOscillationIterations a norm cOscillationFactor times larger.
struct SmallestNorm
{
    double value;

    void observe(td::UINT4 k, double norm)
    {
        if (k == cSmallestNormFrom)
            value = norm;
        else if (k > cSmallestNormFrom && norm < value)
            value = norm;
    }
    bool oscillates(td::UINT4 k, double norm) const
    {
        return k > cOscillationIterations && norm > cOscillationFactor * value;
    }
};

// A 32-bit count as the 16-bit counters report it: saturated, never wrapped.
inline td::UINT2 saturated16(td::UINT4 v) { return v > 0xFFFF ? td::UINT2(0xFFFF) : static_cast<td::UINT2>(v); }
} // namespace sl::iteration
