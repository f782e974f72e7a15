#include <mu/LineLoader.h>

#include <cstring>

#include <td/Assert.h>

namespace mu
{
namespace
{
constexpr std::size_t cFileChunk = 4096;
}

LineLoader::LineLoader(td::UINT4 startPosition, Source kind)
    : _kind(kind), _previous(startPosition), _current(startPosition)
{
}

void LineLoader::setOffset(td::UINT4 offset)
{
    _previous = offset;
    _current = offset;
    _bufPos = _bufEnd = 0;
    if (_pStream)
    {
        _pStream->clear();
        _pStream->seekg(offset);
    }
    if (_pEditor)
        _pEditor->setPosition(offset);
}

void LineLoader::setSource(std::ifstream* pStream)
{
    TD_ASSERT(_kind == Source::FileStream);
    _pStream = pStream;
    setOffset(_current);
}

void LineLoader::setSource(const td::String* pText)
{
    TD_ASSERT(_kind == Source::String);
    _pText = pText;
    setOffset(_current);
}

void LineLoader::setSource(ILineLoader* pEditor)
{
    TD_ASSERT(_kind == Source::Editor);
    _pEditor = pEditor;
    setOffset(_current);
}

bool LineLoader::fillBuffer()
{
    if (!_pStream || !*_pStream)
        return false;
    if (_buffer.size() < cFileChunk)
        _buffer.resize(cFileChunk);
    _pStream->read(_buffer.data(), static_cast<std::streamsize>(_buffer.size()));
    _bufPos = 0;
    _bufEnd = static_cast<std::size_t>(_pStream->gcount());
    return _bufEnd > 0;
}

bool LineLoader::peekByte(char& c)
{
    if (_kind == Source::String)
    {
        if (!_pText || _current >= _pText->length())
            return false;
        c = _pText->c_str()[_current];
        return true;
    }
    if (_bufPos >= _bufEnd && !fillBuffer())
        return false;
    c = _buffer[_bufPos];
    return true;
}

bool LineLoader::nextByte(char& c)
{
    if (!peekByte(c))
        return false;
    if (_kind != Source::String)
        ++_bufPos;
    ++_current;
    return true;
}

void LineLoader::skipByteOrderMark()
{
    if (_current != 0)
        return;
    static const char bom[3] = {'\xEF', '\xBB', '\xBF'};
    if (_kind == Source::String)
    {
        if (_pText && _pText->length() >= 3 && std::memcmp(_pText->c_str(), bom, 3) == 0)
            _current = 3;
        return;
    }
    if (_bufPos >= _bufEnd && !fillBuffer())
        return;
    if (_bufEnd - _bufPos >= 3 && std::memcmp(_buffer.data() + _bufPos, bom, 3) == 0)
    {
        _bufPos += 3;
        _current = 3;
    }
}

bool LineLoader::getLine(td::MutableString& line)
{
    line.clear();
    if (_kind == Source::Editor)
    {
        if (!_pEditor)
            return false;
        _previous = _pEditor->getCurrentPosition();
        bool ok = _pEditor->getLine(line);
        _current = _pEditor->getCurrentPosition();
        return ok;
    }
    if (!_started)
    {
        _started = true;
        skipByteOrderMark();
    }
    _previous = _current;
    char c;
    if (!peekByte(c))
        return false;
    if (_kind == Source::String)
    {
        const char* text = _pText->c_str();
        td::UINT4 len = _pText->length();
        td::UINT4 end = _current;
        while (end < len && text[end] != '\n' && text[end] != '\r')
            ++end;
        if (end > _current)
            line.append(text + _current, end - _current);
        _current = end;
    }
    else
    {
        while (peekByte(c) && c != '\n' && c != '\r')
        {
            std::size_t run = _bufPos;
            while (run < _bufEnd && _buffer[run] != '\n' && _buffer[run] != '\r')
                ++run;
            line.append(_buffer.data() + _bufPos, run - _bufPos);
            _current += static_cast<td::UINT4>(run - _bufPos);
            _bufPos = run;
        }
    }
    if (nextByte(c) && c == '\r' && peekByte(c) && c == '\n')
        nextByte(c);
    return true;
}
} // namespace mu
