// Three bytes a solver keeps per symbol (variables, then parameters): the variable type,
// the numeric type and the kind that marks output symbols.
#pragma once

#include <td/Types.h>

namespace sc
{
struct SymbolInfo
{
    // 0 parameter or extra symbol, 1 variable, 2 auxiliary variable of a transfer
    // function, 3 ODE state, 4 transfer-function state.
    td::BYTE varType;
    // 0 bool, 1 int, 2 real, 3 cmplx.
    td::BYTE numType;
    // 2 output symbol, 0 otherwise.
    td::BYTE kind;

    static constexpr td::BYTE cOutputSymbol = 2;
    static constexpr bool isStateVariable(td::BYTE varType) { return varType >= 3; }
};
static_assert(sizeof(SymbolInfo) == 3);
} // namespace sc
