// The error record of the XML parser: thrown by the grammar at the first error, caught by
// the parser's entries and kept as its last error. Copies share the message text.
#pragma once

#include <td/String.h>
#include <td/Types.h>

namespace mu
{
class ParserException
{
public:
    enum Kind : td::BYTE
    {
        EndOfInput = 0,  // "End of input detected"
        Syntax = 1,      // an error in the document, its limits included
        NotXml = 3,      // "Not an XML file"
        Encoding = 7,    // "Unsupported file encoding"
        Declaration = 8, // an error in the XML declaration
        AfterRoot = 9    // "Unexpected token at the end of xml"
    };

    // An empty record: no message, line and column -1, kind 0.
    ParserException() = default;
    ParserException(td::INT4 line, td::INT4 column, td::BYTE kind, const td::String& message)
        : _message(message), _line(line), _column(column), _kind(kind)
    {
    }

    const td::String& getMessage() const { return _message; }
    // Line feeds read before the error (0 on the first line).
    td::INT4 getLine() const { return _line; }
    // Bytes from the start of the error's line to the place where reading stopped.
    td::INT4 getColumn() const { return _column; }
    td::BYTE getKind() const { return _kind; }

private:
    td::String _message;
    td::INT4 _line = -1;
    td::INT4 _column = -1;
    td::BYTE _kind = 0;
};
} // namespace mu
