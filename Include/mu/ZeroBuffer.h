// The shared, never written empty C string of the utility library.
// Every empty string of the toolkit reads as this text.
#pragma once

#include <td/CoreLibNames.h>
