// Fixed-width integer and real names used across the toolkit.
// Every deliverable spells sizes with these so that records keep their layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace td
{
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using INT2 = std::int16_t;
using UINT2 = std::uint16_t;
using INT4 = std::int32_t;
using UINT4 = std::uint32_t;
using LINT8 = std::int64_t;
using LUINT8 = std::uint64_t;
using REAL4 = float;
using REAL8 = double;
} // namespace td
