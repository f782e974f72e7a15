// EQNKIT_API marks the names the solver library exports; its objects are compiled with
// hidden visibility, so everything without the mark stays inside the library.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define EQNKIT_API __attribute__((visibility("default")))
#else
#define EQNKIT_API
#endif
