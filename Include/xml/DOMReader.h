// The grammar of the XML parser: reads a fixed subset of XML 1.0 (one declaration,
// elements, attributes, texts, entities, comments, CDATA, DOCTYPE and processing
// instructions) byte by byte and builds the tree as it goes. The first error throws.
#pragma once

#include <mu/AppSettings.h>
#include <mu/ParserException.h>
#include <mu/Tokenizer.h>
#include <xml/DOMStore.h>

namespace xml
{
// Base of both parser classes; it owns the tree (through its store), the last error and
// the DOCTYPE text, all of which live until the next parse or the parser's destruction.
class DOMReader : protected mu::Tokenizer
{
public:
    // Encoding codes of the byte-order-mark check; only Utf8Mark and NoMark are read.
    enum Encoding : td::BYTE
    {
        Ucs4BigEndian = 0,
        Ucs4LittleEndian = 1,
        Utf16BigEndian = 2,
        Utf16LittleEndian = 3,
        Utf8Mark = 4,
        NoMark = 5
    };

    // The document: its children are the top-level elements (one after a successful parse).
    Node getDocument() const { return _store.getDocument(); }
    // The error of the last failed parse; an empty record (line and column -1) otherwise.
    const mu::ParserException& getLastError() const { return _lastError; }
    // The text of the last DOCTYPE line that was not all blanks.
    const td::String& getDocType() const { return _docType; }
    const DOMStore& getStore() const { return _store; }
    using mu::Tokenizer::getWindowSize;

protected:
    DOMReader(td::UINT4 nBuckets, td::INT4 windowSize);
    ~DOMReader() = default;

    // Entry support --------------------------------------------------------------------
    // Starts a parse: empty tree, names, DOCTYPE and last error, no input.
    void resetParse();
    // True for the end of input right after a complete root element.
    bool endsCleanly(const mu::ParserException& e) const;
    // The reporter given, else the application settings' (none without settings).
    static mu::IErrorReporter* reporterFor(mu::IErrorReporter* pGiven);
    // Hands a report to the reporter; nothing the reporter throws gets out.
    static void report(mu::IErrorReporter* pReporter, const char* source, const td::String& text) noexcept;
    // Keeps e as the last error; nothing is thrown.
    void keepError(const mu::ParserException& e) noexcept;
    // Keeps a failure that is not the grammar's at the place reading stopped.
    void keepFailure(const td::String& message) noexcept;

    // Grammar --------------------------------------------------------------------------
    void checkByteOrderMark();
    // The XML declaration (after the byte-order mark); the first window is read first.
    void parseHeader();
    // The document loop and then its tail; returns when the input ends after the root.
    void parseDocument();

private:
    void parseDocumentEnd();
    void parseMarkup();
    void parseStartTag();
    td::BYTE parseAttributes();
    void parseClosingTag();
    void openElement(const NameEntry* pName);
    void closeElement();
    void parseText();
    void parseQuotedString(char quote);
    void parseEntity();
    void parseCharRef();
    void expectEntityRest(const char* rest, const char* message);
    void parseMarkupDeclaration();
    void skipPastDoubleDash();
    void parseCData();
    void parseDocType();
    void parseProcessingInstruction();
    void expectHeaderQuote(const char* message);

    DOMStore _store;
    mu::ParserException _lastError;
    td::String _docType;
    td::BYTE _encoding = NoMark;
    bool _rootSeen = false;
    bool _tailStarted = false;
};
} // namespace xml
