#include <xml/DOMReader.h>

#include <mu/UTFConverter.h>

namespace xml
{
namespace
{
using mu::ParserException;

constexpr char cEntityMessage[] = "Unexpected character while parsing special character in string";
constexpr char cNbspMessage[] = "Unexpected character while parsing special character in string nbsp";
constexpr char cCharRefMessage[] = "Wrong unicode formating!";
} // namespace

void DOMReader::parseText()
{
    for (;;)
    {
        if (_pCur == _pEnd)
            refillInput();
        const char* p = _pCur;
        while (p < _pEnd && *p != '<' && *p != '&')
        {
            if (*p == '\n')
                newLine(p);
            ++p;
        }
        appendToken(_pCur, static_cast<std::size_t>(p - _pCur));
        _pCur = p;
        if (p == _pEnd)
            continue;
        if (*p == '<')
            return;
        skip();
        parseEntity();
    }
}

void DOMReader::parseQuotedString(char quote)
{
    _token.clear();
    for (;;)
    {
        if (_pCur == _pEnd)
            refillInput();
        const char* p = _pCur;
        while (p < _pEnd && *p != quote && *p != '&')
        {
            if (*p == '\n')
                newLine(p);
            ++p;
        }
        appendToken(_pCur, static_cast<std::size_t>(p - _pCur));
        _pCur = p;
        if (p == _pEnd)
            continue;
        skip();
        if (*p == quote)
            return;
        parseEntity();
    }
}

void DOMReader::expectEntityRest(const char* rest, const char* message)
{
    for (; *rest; ++rest)
    {
        if (peek() != *rest)
            raise(ParserException::Syntax, message);
        skip();
    }
}

void DOMReader::parseEntity()
{
    char c = peek();
    if (c != 'a' && c != 'g' && c != 'l' && c != 'q' && c != 'n' && c != '#')
        raise(ParserException::Syntax, cEntityMessage);
    skip();
    switch (c)
    {
    case 'a':
        if (peek() == 'm')
        {
            expectEntityRest("mp;", cEntityMessage);
            appendToken('&');
            return;
        }
        expectEntityRest("pos;", cEntityMessage);
        appendToken('\'');
        return;
    case 'g':
        expectEntityRest("t;", cEntityMessage);
        appendToken('>');
        return;
    case 'l':
        expectEntityRest("t;", cEntityMessage);
        appendToken('<');
        return;
    case 'q':
        expectEntityRest("uot;", cEntityMessage);
        appendToken('"');
        return;
    case 'n':
        // The no-break space in UTF-8, like every other text.
        expectEntityRest("bsp;", cNbspMessage);
        appendToken("\xC2\xA0", 2);
        return;
    default: parseCharRef(); return;
    }
}

void DOMReader::parseCharRef()
{
    // One to four decimal digits and ';': a UTF-16 unit from 1 to 9999.
    int value = 0;
    int nDigits = 0;
    for (char c = peek(); c != ';'; c = peek())
    {
        if (c < '0' || c > '9' || nDigits == 4)
            raise(ParserException::Syntax, cCharRefMessage);
        value = value * 10 + (c - '0');
        ++nDigits;
        skip();
    }
    if (value == 0)
        raise(ParserException::Syntax, cCharRefMessage);
    char16_t unit = static_cast<char16_t>(value);
    int n = mu::UTFConverter::measureUTF16toUTF8(&unit, &unit + 1);
    if (n >= 1 && n <= 4)
    {
        char bytes[4];
        mu::UTFConverter::convertUTF16toUTF8(&unit, &unit + 1, bytes, bytes + n);
        appendToken(bytes, static_cast<std::size_t>(n));
    }
    skip();
}
} // namespace xml
