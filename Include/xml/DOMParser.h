// The XML DOM parser: one template for the file parser (XmlFileParser, read in windows)
// and the text parser (SAXParser, one NUL-terminated text). A parser holds one document.
#pragma once

#include <fstream>

#include <mu/AppSettings.h>
#include <xml/DOMReader.h>

namespace xml
{
enum class Input : td::BYTE
{
    File,
    Memory
};

// Each parse starts from an empty tree and ends with true, the tree then walkable from
// getDocument(), or with false, getLastError() then saying what and where, and one report
// to the error reporter (when there is one). Entries never throw. Handles into the tree
// stay valid until the next parse or the parser's destruction.
template <Input IN> class DOMParser : public DOMReader
{
public:
    static constexpr td::UINT4 cBuckets = IN == Input::File ? 1024 : 256;

    DOMParser() requires(IN == Input::Memory);
    // windowSize: bytes read from the file at a time (at least 10).
    explicit DOMParser(td::INT4 windowSize = mu::Tokenizer::cDefaultWindow) requires(IN == Input::File);
    DOMParser(const DOMParser&) = delete;
    DOMParser& operator=(const DOMParser&) = delete;
    ~DOMParser() = default;

    // Parses the UTF-8 file at path (opened as given), which must begin with an XML
    // declaration. A path that is not a regular file of at most mu::cMaxInputFileSize bytes
    // fails unread, as a file that cannot be opened. A null reporter takes the application
    // settings' reporter.
    bool parseFile(const td::String& path, mu::IErrorReporter* pReporter) requires(IN == Input::File);

    // Parses the text up to its NUL (null reads as an empty text), after an XML
    // declaration when readHeader. A null reporter takes the application settings'.
    bool parseMemory(const char* text, mu::IErrorReporter* pReporter, bool readHeader) requires(IN == Input::Memory);

private:
    std::ifstream _file;
};

extern template class DOMParser<Input::File>;
extern template class DOMParser<Input::Memory>;
} // namespace xml

using XmlFileParser = xml::DOMParser<xml::Input::File>;
using SAXParser = xml::DOMParser<xml::Input::Memory>;
