// SIMHOST_API marks the names the model library exports; its objects are compiled with
// hidden visibility, so everything without the mark stays inside the library.
#pragma once

#include <td/Export.h>

#define SIMHOST_API TD_EXPORT
