#include <mu/Tokenizer.h>

#include <cstring>
#include <limits>

namespace mu
{
namespace
{
td::INT4 clampToInt(td::LINT8 v)
{
    constexpr td::LINT8 cMax = std::numeric_limits<td::INT4>::max();
    return static_cast<td::INT4>(v < 0 ? 0 : (v > cMax ? cMax : v));
}
} // namespace

Tokenizer::Tokenizer(td::INT4 windowSize) : _windowSize(windowSize < cMinWindow ? cMinWindow : windowSize) {}

void Tokenizer::bindInput(InputSource* pInput)
{
    _pInput = pInput;
    _token.clear();
    _windowBase = 0;
    _lineStart = 0;
    _line = 0;
    _inputEnded = false;
    if (!pInput)
    {
        _pWinStart = _pCur = _pEnd = nullptr;
        return;
    }
    _pWinStart = _pCur = pInput->pBuffer + pInput->start;
    _pEnd = pInput->pBuffer + pInput->count;
}

bool Tokenizer::tryRefill()
{
    TD_ASSERT(_pCur == _pEnd);
    if (!_pInput || !_pInput->pStream || _inputEnded)
        return false;
    std::istream& in = *_pInput->pStream;
    if (!in.good())
    {
        _inputEnded = true;
        return false;
    }
    in.read(_pInput->pBuffer, _windowSize);
    std::streamsize n = in.gcount();
    // The input ends at its first NUL byte, as a text in memory does.
    if (n > 0)
        if (const void* pNul = std::memchr(_pInput->pBuffer, 0, static_cast<std::size_t>(n)))
        {
            n = static_cast<const char*>(pNul) - _pInput->pBuffer;
            _inputEnded = true;
        }
    if (n < 1)
    {
        _inputEnded = true;
        return false;
    }
    _windowBase += _pEnd - _pWinStart;
    _pWinStart = _pCur = _pInput->pBuffer;
    _pEnd = _pWinStart + n;
    return true;
}

void Tokenizer::refillInput()
{
    if (!tryRefill())
        raise(ParserException::EndOfInput, "End of input detected");
}

td::BYTE Tokenizer::nextToken()
{
    _token.clear();
    skipBlanks();
    char c = *_pCur;
    if (isNameStart(c))
        return Name;
    ++_pCur;
    if (td::BYTE code = punctuationCode(c))
        return code;
    appendToken(c);
    return Other;
}

td::UINT4 Tokenizer::readName()
{
    _token.clear();
    td::UINT4 h = 0;
    for (;;)
    {
        if (_pCur == _pEnd)
            refillInput();
        const char* p = _pCur;
        while (p < _pEnd && isNameByte(*p))
            h = hashStep(h, *p++);
        appendToken(_pCur, static_cast<std::size_t>(p - _pCur));
        _pCur = p;
        if (p < _pEnd)
            return h;
    }
}

void Tokenizer::skipBlanks()
{
    if (!skipBlanksOrEnd())
        raise(ParserException::EndOfInput, "End of input detected");
}

bool Tokenizer::skipBlanksOrEnd()
{
    for (;;)
    {
        if (_pCur == _pEnd && !tryRefill())
            return false;
        while (_pCur < _pEnd && isBlank(*_pCur))
        {
            if (*_pCur == '\n')
                newLine(_pCur);
            ++_pCur;
        }
        if (_pCur < _pEnd)
            return true;
    }
}

void Tokenizer::raise(td::BYTE kind, const char* message) const { raise(kind, td::String(message)); }

ParserException Tokenizer::located(td::BYTE kind, const td::String& message) const
{
    td::LINT8 offset = _windowBase + (_pCur - _pWinStart);
    return ParserException(clampToInt(_line), clampToInt(offset - _lineStart), kind, message);
}

void Tokenizer::raise(td::BYTE kind, const td::String& message) const { throw located(kind, message); }

void Tokenizer::raiseTooLong() const
{
    raise(ParserException::Syntax, "Text, value or name longer than 268435455 bytes");
}
} // namespace mu
