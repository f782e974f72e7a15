// Byte reader of the XML parser: a window over the input that is refilled from a stream,
// the token buffer, and the line and column of the reading position.
#pragma once

#include <array>
#include <cstddef>
#include <istream>

#include <mu/ParserException.h>
#include <td/BufferString.h>
#include <td/Types.h>

namespace mu
{
namespace priv
{
// Byte classes: 1 blank, 2 name start ('A'-'Z', 'a'-'z', '_'), 4 name byte (a name start,
// '0'-'9', ':', '-', '.'); bytes 0x80 and above are none of them.
constexpr std::array<td::BYTE, 256> makeXmlClasses()
{
    std::array<td::BYTE, 256> t{};
    for (int c = 0; c < 256; ++c)
    {
        bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        bool byte = start || (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '.';
        t[c] = static_cast<td::BYTE>((blank ? 1 : 0) | (start ? 2 : 0) | (byte ? 4 : 0));
    }
    return t;
}

constexpr std::array<td::BYTE, 256> makeXmlPunctuation()
{
    std::array<td::BYTE, 256> t{};
    const char chars[] = "<>\\/+-*!?&#='\"()[]{}";
    const td::BYTE codes[] = {1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 15, 16, 17, 18, 23, 24, 25, 26, 27, 28};
    for (int i = 0; i < 20; ++i)
        t[static_cast<unsigned char>(chars[i])] = codes[i];
    return t;
}

inline constexpr std::array<td::BYTE, 256> s_xmlClasses = makeXmlClasses();
inline constexpr std::array<td::BYTE, 256> s_xmlPunctuation = makeXmlPunctuation();
} // namespace priv

// The input of one parse, owned by the parser's entry for the length of the parse. With a
// stream each refill reads the next window into the buffer; without one the buffer is the
// whole text, and its end is the end of input.
struct InputSource
{
    char* pBuffer = nullptr;
    std::istream* pStream = nullptr;
    std::size_t count = 0; // bytes of the first window
    std::size_t start = 0; // offset of the first byte to read
};

class Tokenizer
{
public:
    // Codes of nextToken: the 20 punctuation characters, a name, or any other byte.
    enum Token : td::BYTE
    {
        Other = 0,
        Lt = 1,
        Gt = 2,
        Backslash = 3,
        Slash = 4,
        Plus = 5,
        Minus = 6,
        Star = 7,
        Exclamation = 11,
        Question = 12,
        Ampersand = 13,
        Hash = 15,
        Equal = 16,
        Apostrophe = 17,
        Quote = 18,
        Name = 22,
        LParen = 23,
        RParen = 24,
        LBracket = 25,
        RBracket = 26,
        LBrace = 27,
        RBrace = 28
    };

    static constexpr td::INT4 cDefaultWindow = 4096;
    static constexpr td::INT4 cMinWindow = 10;
    // Longest token, text or value: the longest string the toolkit holds.
    static constexpr td::UINT4 cMaxTokenLength = 0x0FFFFFFFu;

    static bool isBlank(char c) { return (priv::s_xmlClasses[static_cast<unsigned char>(c)] & 1) != 0; }
    static bool isNameStart(char c) { return (priv::s_xmlClasses[static_cast<unsigned char>(c)] & 2) != 0; }
    static bool isNameByte(char c) { return (priv::s_xmlClasses[static_cast<unsigned char>(c)] & 4) != 0; }
    // The code of a punctuation character, 0 for any other byte.
    static td::BYTE punctuationCode(char c) { return priv::s_xmlPunctuation[static_cast<unsigned char>(c)]; }
    // Name hash: from 0, for each byte h = rotl32(h, 5) XOR the byte read as signed.
    static td::UINT4 hashStep(td::UINT4 h, char c)
    {
        return ((h << 5) | (h >> 27)) ^ static_cast<td::UINT4>(static_cast<td::INT4>(static_cast<signed char>(c)));
    }

    td::INT4 getWindowSize() const { return _windowSize; }

protected:
    // windowSize: bytes read from a stream at a time, at least cMinWindow.
    explicit Tokenizer(td::INT4 windowSize);
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;
    ~Tokenizer() = default;

    // Reads from pInput from its start offset on, at line 0 (null: no input).
    void bindInput(InputSource* pInput);
    // Makes the next window current once the cursor has reached the end of this one;
    // false at the end of input.
    bool tryRefill();
    // The same, but the end of input throws "End of input detected".
    void refillInput();

    // The byte at the cursor, refilling first when the window is used up.
    char peek()
    {
        if (_pCur == _pEnd)
            refillInput();
        return *_pCur;
    }
    void skip() { ++_pCur; }
    std::size_t bytesInWindow() const { return static_cast<std::size_t>(_pEnd - _pCur); }

    // Clears the token buffer, skips blanks, and returns the code of what follows: a name
    // is not consumed, a punctuation character is, and any other byte is consumed into
    // the buffer.
    td::BYTE nextToken();
    // Clears the token buffer and reads name bytes into it up to the first other byte,
    // which stays at the cursor; returns the name's hash.
    td::UINT4 readName();
    // Skips blanks, counting line feeds; the cursor is then on a byte that is not blank.
    void skipBlanks();
    // The same; false when the input ends first.
    bool skipBlanksOrEnd();

    void appendToken(const char* p, std::size_t n)
    {
        if (n > cMaxTokenLength - _token.length())
            raiseTooLong();
        _token.append(p, static_cast<td::UINT4>(n));
    }
    void appendToken(char c)
    {
        if (_token.length() == cMaxTokenLength)
            raiseTooLong();
        _token.append(c);
    }
    // Line feeds read so far (0 on the first line).
    td::LINT8 linesRead() const { return _line; }
    // A line feed at pLF (inside the current window) has been read.
    void newLine(const char* pLF)
    {
        ++_line;
        _lineStart = _windowBase + (pLF - _pWinStart) + 1;
    }

    // An error record at the current line and column.
    ParserException located(td::BYTE kind, const td::String& message) const;
    // Throws a ParserException at the current line and column.
    [[noreturn]] void raise(td::BYTE kind, const char* message) const;
    [[noreturn]] void raise(td::BYTE kind, const td::String& message) const;

    InputSource* _pInput = nullptr;
    const char* _pCur = nullptr;
    const char* _pEnd = nullptr;
    td::BufferString _token;

private:
    [[noreturn]] void raiseTooLong() const;

    const char* _pWinStart = nullptr;
    td::LINT8 _windowBase = 0; // input offset of the window's first byte
    td::LINT8 _lineStart = 0;  // input offset of the current line's first byte
    td::LINT8 _line = 0;
    td::INT4 _windowSize;
    bool _inputEnded = false;
};
} // namespace mu
