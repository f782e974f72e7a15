// TD_EXPORT lets a name leave the shared library that defines it: every library of the
// toolkit is compiled with hidden visibility, and its own export mark is this one.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define TD_EXPORT __attribute__((visibility("default")))
#else
#define TD_EXPORT
#endif
