// Where the value of a symbol token lives: in this model or in the parent (main) model
// of a sub-model.
#pragma once

#include <td/Types.h>

namespace sc
{
enum class SymbolOrigin : td::BYTE
{
    ThisModel = 0,
    ParentModel = 1
};
} // namespace sc
