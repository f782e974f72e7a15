// Locale-independent reading of decimal number texts.
// The longest valid prefix counts; a text without digits reads as 0.
#pragma once

#include <td/CoreLibNames.h>
