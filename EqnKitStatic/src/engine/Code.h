// The code of the stack machine: a stream of 8-byte units, each an operation (Operations.h)
// with its argument (a symbol index), a constant's value following its operation in place.
#pragma once

#include <complex>
#include <cstring>

#include <td/Types.h>

#include "Operations.h"

namespace sl
{
// One unit of code: an operation, its argument, and when the store flag is set the
// temporary cell that keeps its result; or (after a constant's operation) part of the
// constant: one unit for a real value, two for a complex one.
struct CodeUnit
{
    td::BYTE op = 0;
    td::BYTE store = 0;
    td::UINT2 temp = 0;
    td::UINT4 arg = 0;

    Op operation() const { return static_cast<Op>(op); }
    static constexpr td::UINT4 cMaxFlagTemp = 0xFFFF;
};
static_assert(sizeof(CodeUnit) == 8);

template <typename T> struct CodeValue
{
    // Units a constant of the value type takes.
    static constexpr td::UINT4 cUnits = sizeof(T) / sizeof(CodeUnit);
    static_assert(sizeof(T) % sizeof(CodeUnit) == 0);

    static T read(const CodeUnit* p)
    {
        T v;
        std::memcpy(static_cast<void*>(&v), p, sizeof(T));
        return v;
    }
    static void write(CodeUnit* p, const T& v) { std::memcpy(static_cast<void*>(p), &v, sizeof(T)); }
};
} // namespace sl
