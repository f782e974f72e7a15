// The bump-allocated item list cnt::List: a block pool of the memory level, which the
// pools of mem build on; its header stands there.
#pragma once

#include <mem/BlockList.h>
