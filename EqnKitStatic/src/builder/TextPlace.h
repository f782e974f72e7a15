// Where a statement, a token or a group of a tokenized model stands (its line and the column
// of its first token) and the reserved word that starts a statement: what the text road's
// keys are placed by.
#pragma once

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

namespace sl
{
using Place = sc::TextPlace;

// The statement at it (column 1 for a line without tokens); past the group's end, the
// group's last line.
Place placeOf(const sc::TokenizedModel::iterator& it);
// Token i of the statement at it.
Place tokenPlace(const sc::TokenizedModel::iterator& it, td::UINT4 i);
// The Model line of the main model, the SubModel line of the sub-model.
Place modelPlace(const sc::TokenizedModel& model, sc::ModelLevel level);
// The group's own line; the model line where the level has no such group.
Place groupPlace(const sc::TokenizedModel& model, sc::Group group, sc::ModelLevel level);

// The ReservedID of the line's first token; -1 for another token or an empty line.
int reservedWord(const sc::TokenizedModel::iterator& it);
} // namespace sl
