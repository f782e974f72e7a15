#include "SineCache.h"

#include <cmath>

namespace sl
{
// With the GNU C library from its one call (whose results are those of its sin and cos),
// elsewhere from the two.
void sineAndCosine(double x, double& s, double& c)
{
#if defined(__GLIBC__)
    ::sincos(x, &s, &c);
#else
    s = std::sin(x);
    c = std::cos(x);
#endif
}

void sineAndCosine(const std::complex<double>& x, std::complex<double>& s, std::complex<double>& c)
{
    const std::complex<double> v = x;
    s = std::sin(v);
    c = std::cos(v);
}

// Every slot starts as the call at zero.
template <typename T> SineCache<T>::SineCache()
{
    for (Slot& slot : _slots)
    {
        slot.x = T(0);
        sl::sineAndCosine(slot.x, slot.s, slot.c);
    }
}

template class SineCache<double>;
template class SineCache<std::complex<double>>;
} // namespace sl
