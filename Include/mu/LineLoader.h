// Reads a text line by line from a file stream, a string or an editor.
// Lines end at LF, CRLF or a lone CR; positions are byte offsets into the source.
#pragma once

#include <fstream>
#include <vector>

#include <mu/ILineLoader.h>
#include <td/CoreLibAPI.h>
#include <td/String.h>

namespace mu
{
class LineLoader
{
public:
    enum class Source : td::BYTE
    {
        FileStream = 0,
        String = 1,
        Editor = 2
    };

    CORELIB_API LineLoader(td::UINT4 startPosition, Source kind);
    LineLoader(const LineLoader&) = delete;
    LineLoader& operator=(const LineLoader&) = delete;

    // Start position of the next read; a value of getCurrentPosition of an earlier loader
    // over the same source reads exactly the rest.
    CORELIB_API void setOffset(td::UINT4 offset);

    // The stream must be opened in binary mode; the caller keeps it (and the string) alive.
    CORELIB_API void setSource(std::ifstream* pStream);
    CORELIB_API void setSource(const td::String* pText);
    CORELIB_API void setSource(ILineLoader* pEditor);

    // The next line without its terminator; false at the end of the source.
    CORELIB_API bool getLine(td::MutableString& line);

    td::UINT4 getPreviousPosition() const { return _previous; }
    td::UINT4 getCurrentPosition() const { return _current; }

private:
    bool nextByte(char& c);
    bool peekByte(char& c);
    bool fillBuffer();
    void skipByteOrderMark();

    Source _kind;
    td::UINT4 _previous;
    td::UINT4 _current;
    std::ifstream* _pStream = nullptr;
    const td::String* _pText = nullptr;
    ILineLoader* _pEditor = nullptr;
    std::vector<char> _buffer;
    std::size_t _bufPos = 0;
    std::size_t _bufEnd = 0;
    bool _started = false;
};
} // namespace mu
