// Expression token type of each front-end token code (0: the token may not stand in an
// expression). Indexed by the codes of sc::Token.
#pragma once

#include <sc/Token.h>
#include <td/Types.h>

namespace sl
{
// Number of front-end codes the table covers; codes from here on are refused like 0.
constexpr td::BYTE cFrontEndCodes = 70;

td::BYTE expressionTypeOf(sc::Token frontEndCode);
td::BYTE expressionTypeOfFrontEndCode(td::BYTE frontEndCode);
} // namespace sl
