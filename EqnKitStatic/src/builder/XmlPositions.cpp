#include "XmlPositions.h"

namespace sl
{
td::UINT4 XmlPositions::positionOf(td::UINT4 column) const
{
    if (column == 0 || _n == 0)
        return column;
    const td::UINT4 offset = column - 1;
    const Piece* pPiece = &_pieces[0];
    for (td::UINT4 k = 1; k < _n && _pieces[k].from <= offset; ++k)
        pPiece = &_pieces[k];
    if (!pPiece->copied || offset < pPiece->from)
        return pPiece->origin + 1;
    return pPiece->origin + (offset - pPiece->from) + 1;
}
} // namespace sl
