// The other half of the cycle: a container may include a pool below it.
#pragma once

#include <mem/Pool.h>
