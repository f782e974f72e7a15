// UTF-8 and UTF-16 conversion: measure the result in bytes, then convert into a
// destination of exactly that size. Malformed input is replaced by U+FFFD.
#pragma once

#include <td/CoreLibAPI.h>

namespace mu
{
// The members marked CORELIB_API leave the utility library; the others serve it and its tests.
class UTFConverter
{
public:
    // Size in bytes of the UTF-16 form of [begin, end); below 1 when there is nothing.
    static int measureUTF8toUTF16(const char* begin, const char* end, int flags = 0);
    static int convertUTF8toUTF16(const char* begin, const char* end, char16_t* destBegin, char16_t* destEnd,
                                  int flags = 0);
    // Size in bytes of the UTF-8 form of [begin, end).
    CORELIB_API static int measureUTF16toUTF8(const char16_t* begin, const char16_t* end, int flags = 0);
    CORELIB_API static int convertUTF16toUTF8(const char16_t* begin, const char16_t* end, char* destBegin,
                                              char* destEnd, int flags = 0);
};
} // namespace mu
