#include <mu/ZeroBuffer.h>

namespace mu
{
const char __zeroBuffer[1] = {0};
} // namespace mu
