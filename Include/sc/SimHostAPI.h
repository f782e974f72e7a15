// SIMHOST_API marks the names the model library exports; its objects are compiled with
// hidden visibility, so everything without the mark stays inside the library.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define SIMHOST_API __attribute__((visibility("default")))
#else
#define SIMHOST_API
#endif
