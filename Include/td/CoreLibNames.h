// The two names of the utility library coreLib that inline code of td reads: the empty C
// string of every empty td::String and the number reader of td::Variant.
#pragma once

#include <td/CoreLibAPI.h>

namespace mu
{
// The shared, never written empty C string; every empty string of the toolkit reads as it.
CORELIB_API extern const char __zeroBuffer[];

// Locale-independent reading of a decimal number text: the longest valid prefix of
// [+-] digits [. digits] [e [+-] digits] counts, a text without digits reads as 0, and
// "1e999" gives infinity.
CORELIB_API double toDouble(const char* text);
} // namespace mu
