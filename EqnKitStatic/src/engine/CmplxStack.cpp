#include "CmplxStack.h"

#include <td/Assert.h>

namespace sl
{
namespace
{
using C = TokenCodes;
constexpr td::BYTE cNone = 99;
constexpr td::BYTE cStart = Token<std::complex<double>>::NO_PREVIOUS;

bool isSign(td::BYTE type) { return type == C::ADD || type == C::SUB; }

// Types after which a literal may open a complex constant.
bool opensConstant(td::BYTE type) { return type == cStart || type == C::OPEN_PARENTHESIS || isSign(type); }

// Tokens that bind no tighter than the sign between the parts.
bool endsConstant(td::BYTE type)
{
    return type == C::CLOSE_PARENTHESIS || type == C::END_OF_STATEMENT || type == C::END_OF_TEXT || isSign(type);
}

// A literal is an imaginary part or, whatever its type, a real part.
td::BYTE partKind(const CmplxStack::Tok& t) { return t.type == C::IMAG_LITERAL ? C::IMAG_LITERAL : C::REAL_LITERAL; }

double partValue(const CmplxStack::Tok& t) { return t.type == C::IMAG_LITERAL ? t.value.imag() : t.value.real(); }
} // namespace

void CmplxStack::clear()
{
    _nParts = 0;
    _complexTokenTypes[0] = _complexTokenTypes[1] = cNone;
    _sign = cNone;
}

void CmplxStack::reset()
{
    clear();
    _context = cStart;
}

void CmplxStack::setContext(td::BYTE type) { _context = opensConstant(type) ? type : 0; }

void CmplxStack::store(const Tok& literal)
{
    TD_ASSERT(_nParts < 2);
    _parts[_nParts] = literal;
    _complexTokenTypes[_nParts] = partKind(literal);
    ++_nParts;
}

bool CmplxStack::collect(const Tok& literal)
{
    if (_nParts == 0)
    {
        if (!opensConstant(_context))
            return false;
        store(literal);
        return true;
    }
    if (_nParts == 1 && _sign != cNone)
    {
        if (partKind(literal) != _complexTokenTypes[0])
        {
            store(literal);
            return true;
        }
        // Two real or two imaginary parts: the first one and the sign go out, the new
        // literal may still open a constant behind that sign.
        td::BYTE sign = _sign;
        _tokenizedLst->append(_parts[0]);
        emitSign(sign, _signColumn);
        clear();
        _context = sign;
        store(literal);
        return true;
    }
    // A part without a sign, or two parts before another literal: they go out first so
    // that the list keeps the source order.
    emitSeparately();
    clear();
    _context = 0;
    return false;
}

bool CmplxStack::push(td::BYTE type, bool& twoOperators, td::UINT2 column)
{
    twoOperators = false;
    if (_nParts == 1 && isSign(type))
    {
        if (_sign != cNone)
        {
            twoOperators = true;
            return false;
        }
        _sign = type;
        _signColumn = column;
        return true;
    }
    if (_nParts == 2 && endsConstant(type))
        merge();
    else if (_nParts > 0)
        emitSeparately();
    clear();
    setContext(type);
    return false;
}

bool CmplxStack::flush(bool atEnd)
{
    TD_ASSERT(_tokenizedLst);
    if (_nParts == 0)
        return false;
    bool merged = atEnd && _nParts == 2;
    if (merged)
        merge();
    else
        emitSeparately();
    clear();
    return merged;
}

void CmplxStack::merge()
{
    TD_ASSERT(_complexTokenTypes[0] != _complexTokenTypes[1]);
    double first = partValue(_parts[0]);
    double second = partValue(_parts[1]);
    // A `-` before the constant negates all of it, so the second part takes the sign
    // that gives the written value.
    if ((_sign == C::SUB && _context != C::SUB) || (_sign == C::ADD && _context == C::SUB))
        second = -second;
    Tok merged;
    merged.type = C::CMPLX_LITERAL;
    // The constant stands where its first part does.
    merged.column = _parts[0].column;
    merged.value = _complexTokenTypes[0] == C::IMAG_LITERAL ? Value(second, first) : Value(first, second);
    _tokenizedLst->append(merged);
}

void CmplxStack::emitSign(td::BYTE sign, td::UINT2 column)
{
    Tok op;
    op.type = sign;
    op.column = column;
    _tokenizedLst->append(op);
}

void CmplxStack::emitSeparately()
{
    if (_nParts > 0)
        _tokenizedLst->append(_parts[0]);
    if (_sign != cNone)
        emitSign(_sign, _signColumn);
    if (_nParts > 1)
        _tokenizedLst->append(_parts[1]);
}
} // namespace sl
