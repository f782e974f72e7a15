// Two includes that point up (the builder's header by name, the solvers' by a relative
// path) among two that point down.
#pragma once

#include "Upper.h"
#include "Lower.h"
#include <td/Base.h>
#include "../solvers/Top.h"
