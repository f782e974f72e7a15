// The shared, never written empty C string of the utility library.
// Every empty string of the toolkit reads as this text.
#pragma once

namespace mu
{
extern const char __zeroBuffer[];
} // namespace mu
