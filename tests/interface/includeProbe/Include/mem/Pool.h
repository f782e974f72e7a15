// Half of a cycle: a pool that includes a container, which stands above it.
#pragma once

#include <td/Base.h>
#include <cnt/Run.h>
