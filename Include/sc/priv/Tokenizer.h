// Lexer of the model text: cuts one line into front-end tokens (sc::Token) and classifies
// words against the vocabulary maps bound to it. Part of the model loader.
#pragma once

#include <cstring>
#include <vector>

#include <mu/GraphicNames.h>
#include <sc/SCLib.h>
#include <sc/Token.h>
#include <td/StrKey.h>
#include <td/String.h>
#include <td/StringUtils.h>

namespace sc
{
template <int N> class TokenizerBase
{
public:
    static constexpr td::UINT2 cNoValue = 0xFFFF;

    // Byte length of the UTF-8 sequence the byte leads; -1 for continuation bytes and 0xF8-0xFF.
    static int getSequenceLength(td::BYTE lead) { return td::getUTF8SequenceLength(lead); }

    // Back to the start-of-line state; the bound maps and the modes stay.
    void reset()
    {
        _line = nullptr;
        _lineLength = 0;
        _text.clear();
        _column = _pos = _tokenColumn = _tokenLength = 0;
        _value = _lastValue = cNoValue;
        _attribState = 0;
        _lastToken = Token::Error;
        _valueKind = Token::Error;
    }

    // Resets onto a line of len bytes (followed by a zero byte).
    void setLine(const char* line, td::UINT4 len)
    {
        if (_text.capacity() == 0)
            _text.reserve(1024);
        reset();
        _line = line;
        _lineLength = len;
    }

    void bind(const FunctionMap* pReal, const FunctionMap* pComplex, const ReservedMap* pReserved,
              const GroupMap* pGroups, const AttribMap* pAttribs, const SpecialConstantMap* pConstants)
    {
        _realFunctions = pReal;
        _complexFunctions = pComplex;
        _reservedWords = pReserved;
        _groupNames = pGroups;
        _attribNames = pAttribs;
        _specialConstants = pConstants;
        _keywords.clear();
    }

    Token getNextToken()
    {
        _text.clear();
        _tokenLength = 0;
        _lastValue = _value;
        _value = cNoValue;
        if (_lastToken == Token::Comment)
            return _lastToken = Token::EndOfLine;
        if (_lastToken == Token::String)
        {
            if (byteAt(_pos) != '"')
                return fail();
            ++_pos;
            ++_column;
        }
        while (byteAt(_pos) == ' ' || byteAt(_pos) == '\t')
        {
            ++_pos;
            ++_column;
        }
        td::BYTE c = byteAt(_pos);
        if (c == 0)
        {
            // A zero byte before the line's end is refused, not taken as its end.
            if (_pos < _lineLength)
            {
                _tokenColumn = _column;
                return fail();
            }
            return Token::EndOfLine;
        }
        if (c == '\n' || c == '\r')
            return Token::EndOfLine;
        _tokenColumn = _column;
        int n = getSequenceLength(c);
        if (n < 1)
            return fail();
        if (isLetter(c) || c == '@' || c == '_' || n > 1)
            return _lastToken = readWord();
        if (isDigit(c))
            return _lastToken = readNumber();
        return _lastToken = readOperator(c);
    }

    // Whether the rest of the line behind the last token is a colon alone (blanks and a
    // comment may stand around it), as behind the name of a group on its own line.
    bool onlyColonFollows() const
    {
        td::UINT4 p = skipBlanks(_pos);
        if (byteAt(p) != ':')
            return false;
        p = skipBlanks(p + 1);
        const td::BYTE c = byteAt(p);
        if (c == 0)
            return p >= _lineLength;
        return c == '\n' || c == '\r' || (c == '/' && byteAt(p + 1) == '/');
    }

    td::MutableString _text;
    const FunctionMap* _realFunctions = nullptr;
    const FunctionMap* _complexFunctions = nullptr;
    const ReservedMap* _reservedWords = nullptr;
    const GroupMap* _groupNames = nullptr;
    const AttribMap* _attribNames = nullptr;
    const SpecialConstantMap* _specialConstants = nullptr;
    const char* _line = nullptr;
    td::UINT4 _column = 0;
    td::UINT4 _pos = 0;
    td::UINT4 _tokenColumn = 0;
    td::UINT4 _tokenLength = 0;
    td::UINT2 _value = cNoValue;
    // The value of the token before the one being read.
    td::UINT2 _lastValue = cNoValue;
    bool _complex = false;
    td::BYTE _attribState = 0;
    bool _trackAttribs = true;
    bool _blockComments = false;
    Token _lastToken = Token::Error;
    Token _valueKind = Token::Error;
    td::UINT4 _lineLength = 0;

private:
    static bool isLetter(td::BYTE c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(td::BYTE c) { return c >= '0' && c <= '9'; }

    td::BYTE byteAt(td::UINT4 pos) const { return _line && pos <= _lineLength ? static_cast<td::BYTE>(_line[pos]) : 0; }

    td::UINT4 skipBlanks(td::UINT4 pos) const
    {
        while (byteAt(pos) == ' ' || byteAt(pos) == '\t')
            ++pos;
        return pos;
    }

    Token fail() { return _lastToken = Token::Error; }

    // Takes n bytes as one character of the token.
    void take(td::UINT4 n)
    {
        _text.append(_line + _pos, n);
        _pos += n;
        ++_column;
        ++_tokenLength;
    }

    // Length of the complete UTF-8 character at pos within the line, or 0 when it is
    // malformed: every continuation byte must be 10xxxxxx (and so not zero).
    td::UINT4 characterAt(td::UINT4 pos) const
    {
        return _line && pos <= _lineLength ? td::getUTF8CharLength(_line + pos, _lineLength - pos) : 0;
    }

    static bool isWordByte(td::BYTE c) { return isLetter(c) || isDigit(c) || c == '_' || c == '@' || c == '#'; }

    // The word is cut out of the line whole: its bytes go to the text at once.
    Token readWord()
    {
        const td::UINT4 start = _pos;
        td::UINT4 chars = 0;
        bool underscoresOnly = true;
        bool asciiOnly = true;
        for (;;)
        {
            td::BYTE c = byteAt(_pos);
            if (c < 0x80)
            {
                if (!isWordByte(c))
                    break;
                underscoresOnly = underscoresOnly && c == '_';
                ++_pos;
                ++chars;
                continue;
            }
            if (getSequenceLength(c) < 1)
                break;
            td::UINT4 n = characterAt(_pos);
            if (n == 0)
            {
                cutOut(start, chars);
                return Token::Error;
            }
            underscoresOnly = false;
            asciiOnly = false;
            _pos += n;
            ++chars;
        }
        cutOut(start, chars);
        const char* word = _text.c_str();
        td::UINT4 len = _text.length();
        if (underscoresOnly)
            return Token::Error;
        if ((len == 4 && std::memcmp(word, "true", 4) == 0) || (len == 5 && std::memcmp(word, "false", 5) == 0))
        {
            if (_attribState == 3)
                _attribState = 1;
            return word[0] == 't' ? Token::True : Token::False;
        }
        if (_attribState == 3)
            return attributeWord(word, len);
        // No keyword is longer than 9 characters; a packed 9-byte key keeps 7 bits per
        // byte, so a word with a byte above 0x7F could match a keyword falsely.
        if (len >= 10 || (len == static_cast<td::UINT4>(td::StrKey::Length) && !asciiOnly))
            return Token::Word;
        return classify(td::StrKey(word, static_cast<int>(len)));
    }

    // The bytes from start to the scan position as the token's text, of chars characters.
    void cutOut(td::UINT4 start, td::UINT4 chars)
    {
        if (_pos > start)
            _text.append(_line + start, _pos - start);
        _column += chars;
        _tokenLength += chars;
    }

    Token attributeWord(const char* word, td::UINT4 len)
    {
        _attribState = 1;
        Token kind = _valueKind;
        _valueKind = Token::Error;
        switch (kind)
        {
        case Token::Color: _value = td::toColorID(word, static_cast<int>(len), td::cDefaultColor); return Token::Color;
        case Token::LinePattern:
        {
            td::LinePattern p = td::toLinePattern(_text.str());
            _value = p == td::LinePattern::NotSet ? 0 : static_cast<td::UINT2>(p);
            return Token::LinePattern;
        }
        case Token::DotPattern:
        {
            td::DotPattern p = td::toDotPattern(_text.str());
            _value = p == td::DotPattern::NotSet ? 0 : static_cast<td::UINT2>(p);
            return Token::DotPattern;
        }
        default: return Token::EnumWord;
        }
    }

    template <typename Map> static const typename Map::Entry* lookup(const Map* pMap, td::StrKey key)
    {
        return pMap ? pMap->find(key) : nullptr;
    }

    Token classify(td::StrKey key)
    {
        // Most words are names: one probe tells a word that no bound map holds.
        if (!keywords().mayHold(key.value()))
            return Token::Word;
        if (_attribState == 1)
        {
            if (const auto* p = lookup(_attribNames, key))
            {
                _value = static_cast<td::UINT2>(p->value.id);
                _valueKind = p->value.kind;
                _attribState = 2;
                return Token::AttribName;
            }
        }
        if (const auto* p = lookup(_complex ? _complexFunctions : _realFunctions, key))
        {
            _value = static_cast<td::UINT2>(p->value);
            return Token::Function;
        }
        if (const auto* p = lookup(_specialConstants, key))
        {
            _value = static_cast<td::UINT2>(p->value);
            return Token::SpecialConst;
        }
        if (const auto* p = lookup(_reservedWords, key))
        {
            _value = static_cast<td::UINT2>(p->value.id);
            return Token::Reserved;
        }
        if (const auto* p = lookup(_groupNames, key))
        {
            _value = static_cast<td::UINT2>(p->value.group);
            return Token::GroupName;
        }
        if (const auto* p = lookup(&s_logicalTokenMap, key))
            return p->value;
        if (const auto* p = lookup(&s_embeddedParamMap, key))
        {
            _value = static_cast<td::UINT2>(p->value);
            return Token::EmbeddedParam;
        }
        return Token::Word;
    }

    // The keys of every map a word is looked up in, hashed, made on the first lookup after
    // a bind.
    class KeywordSet
    {
    public:
        bool empty() const { return _slots.empty(); }
        void clear() { _slots.clear(); }
        template <typename Map> void addAll(const Map* pMap)
        {
            if (!pMap)
                return;
            for (td::UINT4 i = 0; i < pMap->count(); ++i)
                _keys.push_back((*pMap)[i].key.value());
        }
        void build()
        {
            std::size_t n = 16;
            while (n < 2 * _keys.size())
                n *= 2;
            _slots.assign(n, 0);
            for (td::LUINT8 k : _keys)
            {
                std::size_t i = slot(k);
                while (_slots[i] != 0 && _slots[i] != k)
                    i = (i + 1) & (_slots.size() - 1);
                _slots[i] = k;
            }
            _keys.clear();
        }
        // False when no map holds the key; the key 0 (an empty word) is never held.
        bool mayHold(td::LUINT8 k) const
        {
            for (std::size_t i = slot(k);; i = (i + 1) & (_slots.size() - 1))
            {
                if (_slots[i] == k)
                    return k != 0;
                if (_slots[i] == 0)
                    return false;
            }
        }

    private:
        std::size_t slot(td::LUINT8 k) const
        {
            return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> 40) & (_slots.size() - 1);
        }

        std::vector<td::LUINT8> _keys;
        std::vector<td::LUINT8> _slots;
    };

    const KeywordSet& keywords()
    {
        if (_keywords.empty())
        {
            _keywords.addAll(_attribNames);
            _keywords.addAll(_realFunctions);
            _keywords.addAll(_complexFunctions);
            _keywords.addAll(_specialConstants);
            _keywords.addAll(_reservedWords);
            _keywords.addAll(_groupNames);
            _keywords.addAll(&s_logicalTokenMap);
            _keywords.addAll(&s_embeddedParamMap);
            _keywords.build();
        }
        return _keywords;
    }

    KeywordSet _keywords;

    // The digits go to the text at once: a byte at a time, a long run would regrow the text
    // for every digit.
    void takeDigits()
    {
        const td::UINT4 start = _pos;
        while (isDigit(byteAt(_pos)))
            ++_pos;
        cutOut(start, _pos - start);
    }

    // From the first digit (a leading minus is already in the text).
    Token readNumber()
    {
        bool real = false;
        takeDigits();
        if (byteAt(_pos) == '.')
        {
            real = true;
            take(1);
            takeDigits();
        }
        if (byteAt(_pos) == 'e' || byteAt(_pos) == 'E')
        {
            real = true;
            take(1);
            if (byteAt(_pos) == '+' || byteAt(_pos) == '-')
                take(1);
            if (!isDigit(byteAt(_pos)))
                return Token::Error;
            takeDigits();
        }
        if (_attribState == 3)
            _attribState = 1;
        if (_complex && byteAt(_pos) == 'i')
        {
            ++_pos;
            ++_column;
            ++_tokenLength;
            return Token::Imaginary;
        }
        return real ? Token::Real : Token::Integer;
    }

    Token readString()
    {
        ++_pos;
        ++_column;
        _tokenColumn = _column;
        // Cut out of the line whole, as a word is.
        const td::UINT4 start = _pos;
        td::UINT4 chars = 0;
        for (;;)
        {
            td::BYTE c = byteAt(_pos);
            if (c == '"')
                break;
            td::UINT4 n = c == 0 ? 0 : characterAt(_pos);
            if (n == 0)
            {
                cutOut(start, chars);
                return Token::Error;
            }
            _pos += n;
            ++chars;
        }
        cutOut(start, chars);
        if (_attribState == 3)
            _attribState = 1;
        return Token::String;
    }

    Token readComment()
    {
        take(1);
        const char* rest = _line + _pos;
        td::UINT4 restBytes = _lineLength - _pos;
        if (std::memchr(rest, 0, restBytes))
            return Token::Error;
        _text.append(rest, restBytes);
        auto [chars, bytes] = td::getUTF8Length(rest);
        _pos += bytes;
        _column += chars;
        _tokenLength += chars;
        return Token::Comment;
    }

    // Takes the second character of a two-character operator when it follows.
    bool takeIf(char next)
    {
        if (byteAt(_pos) != static_cast<td::BYTE>(next))
            return false;
        take(1);
        return true;
    }

    // A minus directly before a digit starts a number where an operand starts: at the line's
    // start, after an opening bracket, after any operator and after the `if` or `case` that
    // a condition follows.
    bool minusStartsNumber() const
    {
        Token last = _lastToken;
        const bool condition =
            last == Token::Reserved && (_lastValue == idx(ReservedID::If) || _lastValue == idx(ReservedID::Case));
        return isDigit(byteAt(_pos)) &&
               (last == Token::LParen || last == Token::LBracket || last == Token::LBrace || condition ||
                static_cast<td::BYTE>(last) > static_cast<td::BYTE>(Token::RBrace));
    }

    Token readOperator(td::BYTE c)
    {
        if (c == '"')
            return readString();
        take(1);
        switch (c)
        {
        case '(': return Token::LParen;
        case ')': return Token::RParen;
        case '{': return Token::LBrace;
        case '}': return Token::RBrace;
        case '%': return Token::Percent;
        case '\\': return Token::Backslash;
        case ',': return Token::Comma;
        case '.': return Token::Dot;
        case ':': return Token::Colon;
        case ';': return Token::Semicolon;
        case '+': return takeIf('=') ? Token::PlusAssign : Token::Plus;
        case '^': return takeIf('=') ? Token::PowerAssign : Token::Power;
        case '!': return takeIf('=') ? Token::NotEqual : Token::Not;
        case '#': return takeIf('#') ? Token::Xor : Token::Hash;
        case '&': return takeIf('&') ? Token::And : Token::Ampersand;
        case '|': return takeIf('|') ? Token::Or : Token::Bar;
        case '\'': return takeIf('\'') ? Token::DoubleApostrophe : Token::Apostrophe;
        case '<':
            if (takeIf('='))
                return Token::LessEq;
            if (takeIf('<'))
                return Token::ShiftLeft;
            return takeIf('-') ? Token::ArrowLeft : Token::Less;
        case '>':
            if (takeIf('='))
                return Token::GreaterEq;
            return takeIf('>') ? Token::ShiftRight : Token::Greater;
        case '-':
            if (takeIf('='))
                return Token::MinusAssign;
            if (takeIf('>'))
                return Token::ArrowRight;
            return minusStartsNumber() ? readNumber() : Token::Minus;
        case '*':
            if (takeIf('='))
                return Token::MultAssign;
            if (_blockComments && takeIf('/'))
                return Token::BlockCommentEnd;
            return Token::Mult;
        case '/':
            if (takeIf('='))
                return Token::DivAssign;
            if (byteAt(_pos) == '/')
                return readComment();
            if (_blockComments && takeIf('*'))
                return Token::BlockCommentStart;
            return Token::Div;
        case '=':
            if (takeIf('='))
                return Token::Equal;
            if (_attribState == 2)
                _attribState = 3;
            return Token::Assign;
        case '[':
            if (_trackAttribs && _attribState != 0)
                return Token::Error;
            _attribState = 1;
            return Token::LBracket;
        case ']':
            if (_trackAttribs && _attribState != 1)
                return Token::Error;
            _attribState = 0;
            return Token::RBracket;
        default: return Token::Error;
        }
    }
};

// The structure pass's lexer; every load rebinds it.
extern TokenizerBase<1> s_tokenizer;
} // namespace sc
