#include <xml/DOMReader.h>

namespace xml
{
namespace
{
using mu::ParserException;
} // namespace

void DOMReader::openElement(const NameEntry* pName)
{
    // The start tag's name has just been read, on the line of its '<'.
    const td::LINT8 line = linesRead() + 1;
    if (!_store.openElement(pName, line <= 0xFFFFFFFF ? static_cast<td::UINT4>(line) : 0xFFFFFFFFu))
        raise(ParserException::Syntax, "Elements nested deeper than 32751 levels");
    _rootSeen = true;
}

void DOMReader::closeElement() { _store.closeElement(); }

void DOMReader::parseStartTag()
{
    td::UINT4 hash = readName();
    const NameEntry* pName = _store.intern(hash, _token.data(), _token.length());
    char c = peek();
    if (c == '>')
    {
        openElement(pName);
        skip();
        return;
    }
    if (c == '/')
    {
        skip();
        if (peek() != '>')
            raise(ParserException::Syntax, "Unexpected token");
        openElement(pName);
        closeElement();
        skip();
        return;
    }
    openElement(pName);
    if (parseAttributes() == Slash)
    {
        if (peek() != '>')
            raise(ParserException::Syntax, "Unexpected token! Expected '>'");
        closeElement();
        skip();
    }
}

td::BYTE DOMReader::parseAttributes()
{
    for (;;)
    {
        _token.clear();
        skipBlanks();
        char c = *_pCur;
        if (!isNameStart(c))
        {
            if (c != '/' && c != '>')
                raise(ParserException::Syntax, "Unexpected token");
            skip();
            return c == '/' ? Slash : Gt;
        }
        if (_store.current()->nAttribs >= DOMStore::cMaxAttribs)
            raise(ParserException::Syntax, "More than 4096 attributes in one element");
        td::UINT4 hash = readName();
        const NameEntry* pName = _store.intern(hash, _token.data(), _token.length());
        skipBlanks();
        if (*_pCur != '=')
            raise(ParserException::Syntax, "Unexpected token");
        skip();
        skipBlanks();
        char quote = *_pCur;
        if (quote != '\'' && quote != '"')
            raise(ParserException::Syntax, "Unexpected token");
        skip();
        parseQuotedString(quote);
        _store.addAttribute(pName, _token.data(), _token.length());
    }
}

void DOMReader::parseClosingTag()
{
    td::UINT4 hash = readName();
    if (peek() != '>')
        raise(ParserException::Syntax, "Unexpected token");
    const NodeRecord* pOpen = _store.current();
    if (_store.depth() == 0)
    {
        td::String text;
        text.format("Unexpected closing element name: '%s'. No element is open", _token.c_str());
        raise(ParserException::Syntax, text);
    }
    // Names are interned, so the closing name matches exactly when its entry is the open one.
    if (_store.findName(hash, _token.data(), _token.length()) != pOpen->pName)
    {
        td::String text;
        text.format("Unexpected closing element name: '%s'. Expected: '%s'", _token.c_str(),
                    pOpen->pName->pName->c_str());
        raise(ParserException::Syntax, text);
    }
    closeElement();
    skip();
}
} // namespace xml
