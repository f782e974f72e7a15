// Where the bytes of a text the parser reads stand in the text an XML document wrote, so
// that messages give positions in the written text. Plain value, owns nothing.
#pragma once

#include <td/Types.h>

#include "ParserPools.h"

namespace sl
{
// The text read is made of pieces, each copied from the written text or put in by the
// builder (the residual form lhs - (rhs) of an equation).
class XmlPositions
{
public:
    static constexpr td::UINT4 cMaxPieces = 4;

    // The written text read from its byte offset on.
    explicit XmlPositions(td::UINT4 offset = 0) { copied(0, offset); }

    // From byte from of the text read on (and up to the next piece), the bytes are those
    // of the written text from its byte origin on. Pieces come in increasing from; a piece
    // beyond cMaxPieces is dropped.
    void copied(td::UINT4 from, td::UINT4 origin) { add(from, origin, true); }
    // From byte from on, the bytes are put in by the builder: they stand at origin.
    void inserted(td::UINT4 from, td::UINT4 origin) { add(from, origin, false); }

    // The position (from 1) in the written text of a column (from 1) of the text read;
    // 0 stays 0 (no column).
    td::UINT4 positionOf(td::UINT4 column) const;

    // The columns of the tokens from pFirst on become positions in the written text; 0
    // where a position does not fit a token's column.
    template <typename T> void apply(TokenNode<T>* pFirst) const
    {
        for (TokenNode<T>* p = pFirst; p; p = p->pNext)
        {
            const td::UINT4 position = positionOf(p->token.column);
            p->token.column = position <= 0xFFFFu ? static_cast<td::UINT2>(position) : 0;
        }
    }

private:
    struct Piece
    {
        td::UINT4 from = 0;
        td::UINT4 origin = 0;
        bool copied = true;
    };

    void add(td::UINT4 from, td::UINT4 origin, bool copy)
    {
        if (_n < cMaxPieces)
            _pieces[_n++] = Piece{from, origin, copy};
    }

    Piece _pieces[cMaxPieces];
    td::UINT4 _n = 0;
};
} // namespace sl
