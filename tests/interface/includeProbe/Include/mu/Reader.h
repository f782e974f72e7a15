// A header of the utility library: it may include td.
#pragma once

#include <td/Base.h>
