// The DOM parser stands beside the front end, not above it: it may include the
// containers but not the front end.
#pragma once

#include <cnt/Run.h>
#include <sc/Api.h>
