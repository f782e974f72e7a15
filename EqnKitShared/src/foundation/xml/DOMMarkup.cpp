#include <xml/DOMReader.h>

namespace xml
{
namespace
{
using mu::ParserException;
} // namespace

void DOMReader::parseMarkupDeclaration()
{
    skip();
    char c = peek();
    if (c == '-')
    {
        skip();
        if (peek() != '-')
            raise(ParserException::Syntax, "Unexpected token");
        skip();
        skipPastDoubleDash();
        if (peek() != '>')
            raise(ParserException::Syntax, "Unexpected token! Comments are not closed with '>'");
        skip();
        return;
    }
    if (c == '[')
    {
        skip();
        parseCData();
        return;
    }
    if (c == 'D')
    {
        skip();
        parseDocType();
        return;
    }
    raise(ParserException::Syntax, "Unexpected token");
}

void DOMReader::skipPastDoubleDash()
{
    bool dash = false;
    for (;;)
    {
        char c = peek();
        skip();
        if (c == '-')
        {
            if (dash)
                return;
            dash = true;
            continue;
        }
        dash = false;
        if (c == '\n')
            newLine(_pCur - 1);
    }
}

void DOMReader::parseCData()
{
    readName();
    if (!_token.equals("CDATA") || peek() != '[')
        raise(ParserException::Syntax, "Unexpected token");
    skip();
    // Everything up to the first "]]>"; brackets are held back until it is clear
    // whether they begin the end mark.
    _token.clear();
    td::LUINT8 brackets = 0;
    for (;;)
    {
        char c = peek();
        skip();
        if (c == ']')
        {
            ++brackets;
            continue;
        }
        if (c == '>' && brackets >= 2)
        {
            for (brackets -= 2; brackets > 0; --brackets)
                appendToken(']');
            break;
        }
        for (; brackets > 0; --brackets)
            appendToken(']');
        if (c == '\n')
            newLine(_pCur - 1);
        appendToken(c);
    }
    if (!_token.isBlank())
        _store.setText(_token.data(), _token.length());
}

void DOMReader::parseDocType()
{
    readName();
    if (!_token.equals("OCTYPE"))
        raise(ParserException::Syntax, "Unexpected token");
    // The byte after the keyword, whatever it is, then everything up to the first '>'.
    if (peek() == '\n')
        newLine(_pCur);
    skip();
    _token.clear();
    for (char c = peek(); c != '>'; c = peek())
    {
        if (c == '\n')
            newLine(_pCur);
        appendToken(c);
        skip();
    }
    skip();
    if (!_token.isBlank())
        _docType = td::String(_token.data(), _token.length());
}

void DOMReader::parseProcessingInstruction()
{
    constexpr td::BYTE cSyntax = ParserException::Syntax;
    skip();
    if (!isNameStart(peek()))
        raise(cSyntax, "Unexpected token. Expected working instructions name");
    readName();
    td::BYTE t = nextToken();
    while (t == Name)
    {
        readName();
        if (nextToken() != Equal)
            raise(cSyntax, "Unexpected token while parsing working instructions attribute. Expected '='");
        t = nextToken();
        if (t != Apostrophe && t != Quote)
            raise(cSyntax, "Unexpected token while parsing working instructions attribute. Expected '\"' or \"'\"");
        parseQuotedString(t == Apostrophe ? '\'' : '"');
        t = nextToken();
    }
    if (t != Question)
        raise(cSyntax, "Unexpected token while parsing working instructions name");
    if (peek() != '>')
        raise(cSyntax, "Unexpected token while parsing working instructions attribute. Expected '>'");
    skip();
}
} // namespace xml
