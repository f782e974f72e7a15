#include "TextLexer.h"

#include <cstring>

#include "Token.h"

namespace sl
{
namespace
{
using C = TokenCodes;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_'; }

bool isLineEnd(char c) { return c == 0 || c == '\n' || c == '\r'; }

const char* skipDigits(const char* p)
{
    while (isDigit(*p))
        ++p;
    return p;
}

// Blanks, line breaks and `//` comments up to their line's end.
const char* skipSpace(const char* p)
{
    for (;;)
    {
        while (td::priv::isBlank(*p))
            ++p;
        if (p[0] != '/' || p[1] != '/')
            return p;
        while (!isLineEnd(*p))
            ++p;
    }
}

struct OperatorRow
{
    char first;
    td::BYTE single;
    char second;
    td::BYTE pair;
};

// One character, or two when the second follows directly.
constexpr OperatorRow s_operators[] = {
    {'(', C::OPEN_PARENTHESIS, 0, 0},
    {')', C::CLOSE_PARENTHESIS, 0, 0},
    {'+', C::ADD, '=', C::ADD_ASSIGN},
    {'-', C::SUB, '=', C::SUB_ASSIGN},
    {'*', C::MUL, '=', C::MUL_ASSIGN},
    {'/', C::DIV, '=', C::DIV_ASSIGN},
    {'^', C::POW, '=', C::POW_ASSIGN},
    {'>', C::GREATER, '=', C::GREATER_EQUAL},
    {'<', C::LESS, '=', C::LESS_EQUAL},
    {'=', C::ASSIGN, '=', C::EQUAL},
    {'!', C::LOGIC_NEGATION, '=', C::NOT_EQUAL},
    {':', C::COLON, 0, 0},
    {',', C::COMMA, 0, 0},
    {'.', C::DOT, 0, 0},
};
} // namespace

void TextLexer::start(const char* text)
{
    _pText = text;
    _pStart = text;
    _cursor = 0;
    _length = 0;
    _buffer[0] = 0;
}

bool TextLexer::equals(const char* word) const
{
    return std::strlen(word) == _length && std::memcmp(_buffer, word, _length) == 0;
}

td::BYTE TextLexer::finish(const char* pEnd, td::BYTE type)
{
    _length = static_cast<td::UINT4>(pEnd - _pStart);
    _cursor = static_cast<td::UINT4>(pEnd - _pText);
    if (_length >= cBufferSize)
    {
        _buffer[0] = 0;
        return C::UNUSABLE;
    }
    std::memcpy(_buffer, _pStart, _length);
    _buffer[_length] = 0;
    return type;
}

const char* TextLexer::scanNumber(const char* p, bool negative, td::BYTE& type) const
{
    type = C::INT_LITERAL;
    p = skipDigits(p);
    if (*p == '.')
    {
        type = C::REAL_LITERAL;
        p = skipDigits(p + 1);
    }
    if (*p == 'e' || *p == 'E')
    {
        const char* q = p + 1;
        if (*q == '+' || *q == '-')
            ++q;
        // Without exponent digits a negative number still ends here as a real one.
        if (isDigit(*q))
            q = skipDigits(q);
        type = isDigit(q[-1]) || negative ? C::REAL_LITERAL : C::UNUSABLE;
        p = q;
    }
    if (_complex && type != C::UNUSABLE && *p == 'i')
        type = C::IMAG_LITERAL;
    return p;
}

td::BYTE TextLexer::scanOperator(const char* p)
{
    for (const OperatorRow& row : s_operators)
    {
        if (row.first != *p)
            continue;
        if (row.second && p[1] == row.second)
            return finish(p + 2, row.pair);
        return finish(p + 1, row.single);
    }
    // Unusable: the character (a whole UTF-8 sequence) is the lexeme; the cursor stays.
    const char* pEnd = p + 1;
    while ((static_cast<unsigned char>(*pEnd) & 0xC0) == 0x80)
        ++pEnd;
    td::UINT4 cursor = _cursor;
    finish(pEnd, C::UNUSABLE);
    _cursor = cursor;
    return C::UNUSABLE;
}

td::BYTE TextLexer::next(bool minusStartsNumber)
{
    const char* p = skipSpace(_pText + _cursor);
    _pStart = p;
    if (*p == 0)
        return finish(p, C::END_OF_TEXT);
    if (isLetter(*p) || *p == '_')
    {
        const char* pEnd = p;
        bool underscoresOnly = true;
        for (; isNameChar(*pEnd); ++pEnd)
            underscoresOnly = underscoresOnly && *pEnd == '_';
        return finish(pEnd, underscoresOnly ? C::UNUSABLE : C::IDENTIFIER);
    }
    bool negative = *p == '-' && isDigit(p[1]) && minusStartsNumber;
    if (!negative && !isDigit(*p))
        return scanOperator(p);
    td::BYTE type;
    const char* pEnd = scanNumber(negative ? p + 1 : p, negative, type);
    if (type != C::IMAG_LITERAL)
        return finish(pEnd, type);
    // The `i` is passed over but not part of the number.
    type = finish(pEnd, type);
    ++_cursor;
    return type;
}
} // namespace sl
