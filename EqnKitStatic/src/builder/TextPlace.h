// Where a statement of a tokenized model stands (its line and the column of its first
// token) and the reserved word that starts it: what the text road's keys are placed by.
#pragma once

#include <sc/TokenizedModel.h>
#include <td/Types.h>

namespace sl
{
struct Place
{
    td::UINT4 line = 0;
    td::UINT4 column = 1;
};

// The statement at it (column 1 for a line without tokens); past the group's end, the
// group's last line.
Place placeOf(const sc::TokenizedModel::iterator& it);

// The ReservedID of the line's first token; -1 for another token or an empty line.
int reservedWord(const sc::TokenizedModel::iterator& it);
} // namespace sl
