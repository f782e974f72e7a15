// A header of the builder: the engine must not include it.
#pragma once

#include "Lower.h"
#include <td/Base.h>
