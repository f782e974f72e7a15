// Locale-independent reading of decimal number texts.
// The longest valid prefix counts; a text without digits reads as 0.
#pragma once

namespace mu
{
// Reads [+-] digits [. digits] [e [+-] digits]; "1e999" gives infinity.
double toDouble(const char* text);
} // namespace mu
