// Collector of complex constants written as a real literal, a sign and an imaginary
// literal (3 + 4i, 2.5i - 1): such a run becomes one complex literal when the token after
// it binds no tighter than the sign. Complex build of the expression parser only.
#pragma once

#include <complex>

#include <td/Types.h>

#include "Token.h"
#include "TokenList.h"

namespace sl
{
class CmplxStack
{
public:
    using Value = std::complex<double>;
    using Tok = Token<Value>;

    // Emits into the parser's token list.
    explicit CmplxStack(TokenList<Value>& list) : _tokenizedLst(&list) { reset(); }

    // Empty, at the start of an expression.
    void reset();

    // Offers a literal (types 8 to 14); true when it is kept as a part. Otherwise the
    // caller appends it, behind whatever the collector had to emit first.
    bool collect(const Tok& literal);

    // Offers the type of any other token; true when it is taken as the sign between two
    // parts (the caller then does not append it; the sign keeps its column should it go
    // out on its own). A sign while one is pending sets twoOperators and is not taken.
    bool push(td::BYTE type, bool& twoOperators, td::UINT2 column = 0);

    // Empties the collector into the list: at the end of an expression two parts merge,
    // otherwise the parts and the sign go out as they came. True when it merged.
    bool flush(bool atEnd);

    td::UINT4 size() const { return _nParts; }

private:
    void clear();
    void setContext(td::BYTE type);
    void store(const Tok& literal);
    void merge();
    void emitSeparately();
    void emitSign(td::BYTE sign, td::UINT2 column);

    TokenList<Value>* _tokenizedLst;
    Tok _parts[2];
    // 9 real part, 14 imaginary part, 99 empty.
    td::BYTE _complexTokenTypes[2] = {};
    // Type of the token before the first part: 99 start, 16 `(`, 31 `+`, 32 `-`; 0 other.
    td::BYTE _context = 0;
    // `+` 31 or `-` 32 between the parts; 99 none.
    td::BYTE _sign = 0;
    td::UINT2 _signColumn = 0;
    td::UINT4 _nParts = 0;
};
} // namespace sl

namespace slCmplx
{
using CmplxStack = sl::CmplxStack;
}
