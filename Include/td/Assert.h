// The one assertion of the toolkit: active in every build type.
// A failed check prints its expression, source path and line, then aborts.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace td
{
[[noreturn]] [[gnu::cold]] inline void assertFailed(const char* expr, const char* file, int line) noexcept
{
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expr, file, line);
    std::fflush(stderr);
    std::abort();
}
} // namespace td

#define TD_ASSERT(expr)                                                                                                \
    (__builtin_expect(static_cast<bool>(expr), 1) ? static_cast<void>(0)                                               \
                                                  : ::td::assertFailed(#expr, __FILE__, __LINE__))
