// A library that exports one allowed name and one internal name: the export check must
// name the internal one and pass over the other.
#include <sc/EqnKitAPI.h>

namespace sc
{
EQNKIT_API void reserveNamings(unsigned short) {}
} // namespace sc

namespace sl
{
EQNKIT_API int leakedInternal() { return 1; }
} // namespace sl
