#include <xml/DOMReader.h>

#include <cctype>

namespace xml
{
namespace
{
using mu::ParserException;
} // namespace

DOMReader::DOMReader(td::UINT4 nBuckets, td::INT4 windowSize) : mu::Tokenizer(windowSize), _store(nBuckets) {}

void DOMReader::resetParse()
{
    bindInput(nullptr);
    _store.reset();
    _lastError = ParserException();
    _docType = td::String();
    _encoding = NoMark;
    _rootSeen = false;
    _tailStarted = false;
}

bool DOMReader::endsCleanly(const ParserException& e) const
{
    return e.getKind() == ParserException::EndOfInput && _rootSeen && _store.depth() == 0 && !_tailStarted;
}

mu::IErrorReporter* DOMReader::reporterFor(mu::IErrorReporter* pGiven)
{
    if (pGiven)
        return pGiven;
    mu::IAppSettings* pSettings = mu::getAppSettings();
    return pSettings ? pSettings->getErrorReporter() : nullptr;
}

void DOMReader::report(mu::IErrorReporter* pReporter, const char* source, const td::String& text) noexcept
{
    if (!pReporter)
        return;
    try
    {
        pReporter->report(2, td::String(source), text);
    }
    catch (...)
    {
    }
}

void DOMReader::keepError(const ParserException& e) noexcept { _lastError = e; }

void DOMReader::keepFailure(const td::String& message) noexcept
{
    try
    {
        _lastError = located(ParserException::Syntax, message);
    }
    catch (...)
    {
        _lastError = ParserException(0, 0, ParserException::Syntax, td::String());
    }
}

void DOMReader::checkByteOrderMark()
{
    TD_ASSERT(bytesInWindow() >= 4);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(_pCur);
    struct Mark
    {
        td::BYTE code;
        int length;
    };
    Mark mark{NoMark, 0};
    if (b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
        mark = {Ucs4BigEndian, 4};
    else if (b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0)
        mark = {Ucs4LittleEndian, 4};
    else if (b[0] == 0xFE && b[1] == 0xFF)
        mark = {Utf16BigEndian, 2};
    else if (b[0] == 0xFF && b[1] == 0xFE && b[2] != 0)
        mark = {Utf16LittleEndian, 2};
    else if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        mark = {Utf8Mark, 3};
    else if (b[0] == 0 || b[0] == 0xFF || b[0] == 0xFE || b[0] == 0xEF)
        raise(ParserException::NotXml, "Not an XML file");
    _encoding = mark.code;
    if (mark.code != Utf8Mark && mark.code != NoMark)
        raise(ParserException::Encoding, "Unsupported file encoding");
    _pCur += mark.length;
}

void DOMReader::expectHeaderQuote(const char* message)
{
    td::BYTE t = nextToken();
    if (t != Apostrophe && t != Quote)
        raise(ParserException::Declaration, message);
    parseQuotedString(t == Apostrophe ? '\'' : '"');
}

void DOMReader::parseHeader()
{
    constexpr td::BYTE cDecl = ParserException::Declaration;
    // A stream's first window is read here; an empty input holds fewer than 10 bytes too.
    if (_pCur == _pEnd)
        tryRefill();
    if (bytesInWindow() < 10)
        raise(ParserException::NotXml, "Not an XML file");
    checkByteOrderMark();
    if (nextToken() != Lt)
        raise(cDecl, "Wrong header file");
    if (peek() != '?')
        raise(cDecl, "Wrong XML header");
    skip();
    if (peek() != 'x')
        raise(cDecl, "Wrong XML header");
    readName();
    if (!_token.equals("xml"))
        raise(cDecl, "Wrong XML header");
    if (nextToken() != Name || (readName(), !_token.equals("version")))
        raise(cDecl, "XML version expected");
    if (nextToken() != Equal)
        raise(cDecl, "Wrong XML header: Expected '=' after 'version'");
    expectHeaderQuote("Wrong XML header: Expected version number");
    if (!_token.equals("1.0"))
        raise(cDecl, "Unsupported XML version");
    td::BYTE t = nextToken();
    if (t == Question)
    {
        if (peek() != '>')
            raise(cDecl, "Wrong XML header: Expected xml header closing sign '>'");
        skip();
        return;
    }
    if (t != Name)
        raise(cDecl, "Wrong XML header");
    readName();
    if (!_token.equals("encoding"))
        raise(cDecl, "Unsupported XML version");
    if (nextToken() != Equal)
        raise(cDecl, "Wrong XML header: Expected '=' after 'version'");
    expectHeaderQuote("Wrong XML header: Expected version number");
    char* p = _token.data();
    for (td::UINT4 i = 0; i < _token.length(); ++i)
        if (p[i] >= 'a' && p[i] <= 'z')
            p[i] = static_cast<char>(p[i] - 'a' + 'A');
    if (!_token.equals("UTF-8") && !_token.equals("UTF8"))
        raise(cDecl, "Unsupported XML encoding");
    if (nextToken() != Question)
        raise(cDecl, "Wrong XML header: Expected xml header closing sign '?'");
    if (peek() != '>')
        raise(cDecl, "Wrong XML header: Expected xml header closing sign '>'");
    skip();
}

void DOMReader::parseDocument()
{
    _rootSeen = false;
    while (!_rootSeen || _store.depth() > 0)
    {
        // A text run up to the next '<'; one of blanks only is dropped.
        _token.clear();
        parseText();
        if (!_token.isBlank())
            _store.setText(_token.data(), _token.length());
        skip();
        parseMarkup();
    }
    parseDocumentEnd();
}

void DOMReader::parseMarkup()
{
    char c = peek();
    if (c == '!')
        parseMarkupDeclaration();
    else if (isNameStart(c))
        parseStartTag();
    else if (c == '/')
    {
        skip();
        if (!isNameStart(peek()))
            raise(ParserException::Syntax, "Unexpected token");
        parseClosingTag();
    }
    else if (c == '?')
        parseProcessingInstruction();
    else
        raise(ParserException::Syntax, "Invalid element name");
}

void DOMReader::parseDocumentEnd()
{
    // Only blanks and complete comments may follow the root element.
    for (;;)
    {
        _tailStarted = false;
        if (!skipBlanksOrEnd())
            return;
        _tailStarted = true;
        for (char expected : {'<', '!', '-', '-'})
        {
            if (peek() != expected)
                raise(ParserException::AfterRoot, "Unexpected token at the end of xml");
            skip();
        }
        skipPastDoubleDash();
        if (peek() != '>')
            raise(ParserException::Syntax, "Unexpected token! Trailing comments are not closed with '>'");
        skip();
    }
}
} // namespace xml
