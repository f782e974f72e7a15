// A library that exports the empty C string and one allowed member of the utility
// library's converter, and a member of the converter that the other libraries never call.
#include <td/CoreLibAPI.h>

namespace mu
{
CORELIB_API extern const char __zeroBuffer[];
const char __zeroBuffer[1] = {0};

class UTFConverter
{
public:
    CORELIB_API static int measureUTF16toUTF8(const char16_t* begin, const char16_t* end);
    CORELIB_API static int measureUTF8toUTF16(const char* begin, const char* end);
};
int UTFConverter::measureUTF16toUTF8(const char16_t* begin, const char16_t* end)
{
    return static_cast<int>(end - begin);
}
int UTFConverter::measureUTF8toUTF16(const char* begin, const char* end) { return static_cast<int>(end - begin); }
} // namespace mu
