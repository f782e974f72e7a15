// Lexer of the expression parser's text road: one lexeme per call from a cursor into an
// equation text. Blanks, tabs and line breaks separate lexemes; `//` comments out the
// rest of its line.
#pragma once

#include <td/String.h>
#include <td/Types.h>

namespace sl
{
class TextLexer
{
public:
    // A lexeme of at most 255 characters and its terminating zero.
    static constexpr td::UINT4 cBufferSize = 256;

    // In complex mode a number directly followed by `i` is an imaginary literal.
    explicit TextLexer(bool complexMode) : _complex(complexMode) {}

    // Starts reading text from its first byte.
    void start(const char* text);
    void rewind() { _cursor = 0; }

    // Type of the next lexeme (token type codes; 0 for a lexeme that cannot be used, 25
    // at the end of the text). A `-` directly before a digit starts a negative number
    // when minusStartsNumber is set.
    td::BYTE next(bool minusStartsNumber);

    // The lexeme, zero-terminated; empty when it did not fit the buffer.
    const char* buffer() const { return _buffer; }
    td::UINT4 length() const { return _length; }
    // The lexeme as written, also when it is too long for the buffer.
    td::String lexeme() const { return td::String(_pStart ? _pStart : "", _pStart ? _length : 0); }
    bool equals(const char* word) const;

    td::UINT4 cursor() const { return _cursor; }
    // Byte offset of the lexeme's first byte in the text.
    td::UINT4 position() const { return static_cast<td::UINT4>(_pStart && _pText ? _pStart - _pText : 0); }

private:
    td::BYTE finish(const char* pEnd, td::BYTE type);
    const char* scanNumber(const char* p, bool negative, td::BYTE& type) const;
    td::BYTE scanOperator(const char* p);

    const char* _pText = nullptr;
    const char* _pStart = nullptr;
    td::UINT4 _cursor = 0;
    td::UINT4 _length = 0;
    char _buffer[cBufferSize] = {};
    bool _complex;
};
} // namespace sl
