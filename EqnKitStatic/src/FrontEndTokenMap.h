// Expression token type of each front-end token code (0: the token may not stand in an
// expression). Keyed by the numeric front-end codes.
#pragma once

#include <td/Types.h>

namespace sl
{
// Number of front-end codes the table covers; codes from here on are refused like 0.
constexpr td::BYTE cFrontEndCodes = 70;

td::BYTE expressionTypeOfFrontEndCode(td::BYTE frontEndCode);
} // namespace sl
