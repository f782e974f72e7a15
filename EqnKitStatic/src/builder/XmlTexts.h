// Reads of the texts an XML model document gives its values in: decimal numbers, complex
// constants and the comma-separated name lists of parameter groups.
#pragma once

#include <complex>

#include <cnt/PushBackVector.h>
#include <td/String.h>
#include <td/Types.h>

namespace sl::xmlnodes
{
// One decimal number at text ([+-] digits [. digits] [e [+-] digits], blanks before);
// text is left just after it.
bool parseNumber(double& out, const char*& text);
// A whole text as one number, blanks around it allowed.
bool parseWholeNumber(double& out, const char* text);
// Complex constants a, bi, a+bi, a -bi, bi+a (strict: nothing but blanks after them).
bool parseComplexNumber(std::complex<double>& out, const char* text, bool strict);
// The comma-separated pieces of text strictly between two positions, each cut before an
// '=' and trimmed.
void addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos, cnt::PushBackVector<td::String>& names);
} // namespace sl::xmlnodes
