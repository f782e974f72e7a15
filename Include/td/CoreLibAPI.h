// CORELIB_API marks the names the utility library coreLib exports. Its names begin at this
// level (td's strings read its empty C string), so its mark stands here too.
#pragma once

#include <td/Export.h>

#define CORELIB_API TD_EXPORT
