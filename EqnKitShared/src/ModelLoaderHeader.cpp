#include <sc/priv/ModelLoader.h>

#include <cmath>
#include <cstring>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <sc/SCLib.h>

namespace sc
{
namespace
{
constexpr unsigned cNHeaderParams = idx(HeaderParam::NA);

HeaderParam findHeaderParam(const char* name)
{
    for (unsigned i = 0; i < cNHeaderParams; ++i)
        if (std::strcmp(name, getHeaderParamName(static_cast<HeaderParam>(i))) == 0)
            return static_cast<HeaderParam>(i);
    return HeaderParam::NA;
}

bool isLineEnd(Token t) { return t == Token::EndOfLine || t == Token::Comment; }

// Integer header values come from the whole literal, cut toward zero; they must be
// finite and fit 32 bits (a value beyond is refused, never wrapped around).
bool toHeaderInteger(const char* text, td::INT4& out)
{
    double d = std::trunc(mu::toDouble(text));
    if (!std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0)
        return false;
    out = static_cast<td::INT4>(d);
    return true;
}

bool toHeaderReal(const char* text, double& out)
{
    out = mu::toDouble(text);
    return std::isfinite(out);
}

// One header read: the pair state and the message that ends it.
class HeaderReader
{
public:
    HeaderReader(ModelLoader& loader, cnt::SafeFullVector<td::Variant>& values, HeaderPlaces& places)
        : _loader(loader), _values(values), _places(places)
    {
    }

    // Where the header stands (or should stand) is given also when it fails.
    ModelLoader::HeaderEnd read(td::MutableString& line, mu::LineLoader& loader)
    {
        bool headerSeen = false;
        ModelLoader::HeaderEnd failed;
        failed.start = {1, 1};
        while (loader.getLine(line))
        {
            ++_lineNo;
            if (line.length() == 0)
                continue;
            _lex.setLine(line.c_str(), line.length());
            Token t = _lex.getNextToken();
            if (t == Token::Comment)
                continue;
            if (!headerSeen)
            {
                if (t == Token::EndOfLine)
                    continue;
                failed.start = _start = {_lineNo, _lex._tokenColumn + 1};
                if (!readHeaderLine(t))
                    return failed;
                headerSeen = true;
                continue;
            }
            Outcome outcome = readPairs(t);
            if (outcome == Outcome::Failed)
                return failed;
            if (outcome == Outcome::End)
                return {loader.getCurrentPosition(), _lineNo, _start};
        }
        return failed;
    }

private:
    enum class Outcome
    {
        Continue,
        NextLine,
        End,
        Failed
    };

    bool report(const char* key, ILog::Type type = ILog::Error)
    {
        if (ILog* pLog = _loader.getLog())
            pLog->showKeyAt(key, _lineNo, _lex._tokenColumn + 1, type);
        return false;
    }

    Outcome fail(const char* key)
    {
        report(key);
        return Outcome::Failed;
    }

    bool readHeaderLine(Token t)
    {
        if (t == Token::Error)
            return report(msg::mlHeaderTokError);
        if (t != Token::Word || std::strcmp(_lex._text.c_str(), "Header") != 0)
            return report(msg::mlHeaderFirstTokenErr);
        if (_lex.getNextToken() != Token::Colon)
            return report(msg::mlHeaderWithoutColon);
        if (!isLineEnd(_lex.getNextToken()))
            return report(msg::mlHeaderTokenAfterColon);
        return true;
    }

    Outcome readPairs(Token t)
    {
        _state = 0;
        for (;; t = _lex.getNextToken())
        {
            switch (t)
            {
            case Token::EndOfLine:
            case Token::Comment:
                if (_state != 0)
                    return fail(msg::mlHeaderParamIncomplete);
                return Outcome::NextLine;
            case Token::Error: return fail(msg::mlHeaderTokError);
            case Token::Word:
            {
                Outcome o = readWord();
                if (o != Outcome::Continue)
                    return o;
                break;
            }
            case Token::Assign:
                if (_state != 1)
                    return fail(msg::mlHeaderWrongEqPos);
                _state = 2;
                break;
            case Token::Integer:
            case Token::Real:
                if (!storeNumber())
                    return Outcome::Failed;
                break;
            case Token::True:
            case Token::False:
            case Token::Boolean:
                if (!checkValue(Token::Boolean))
                    return Outcome::Failed;
                store(td::Variant(_lex._text.str().isTrue()));
                break;
            case Token::String:
                if (!checkValue(Token::String))
                    return Outcome::Failed;
                store(td::Variant(td::String(_lex._text.c_str(), _lex._text.length())));
                break;
            default: report(msg::mlHeaderUnknownParamType, ILog::Warning); break;
            }
        }
    }

    Outcome readWord()
    {
        const char* word = _lex._text.c_str();
        if (_state == 1)
            return fail(msg::mlHeaderParamExpEq);
        if (_state == 2)
        {
            if (_param != HeaderParam::Report)
                return fail(msg::mlHeaderReportExp);
            Report r = std::strcmp(word, "Solved") == 0 ? Report::Solved
                                                        : (std::strcmp(word, "All") == 0 ? Report::All : Report::Other);
            store(td::Variant(static_cast<td::INT4>(r)));
            return Outcome::Continue;
        }
        if (std::strcmp(word, "end") == 0)
        {
            if (!isLineEnd(_lex.getNextToken()))
                return fail(msg::mlHeaderEndAfter);
            return Outcome::End;
        }
        _param = findHeaderParam(word);
        // The model's line where a setting should stand: the header has no end line.
        if (_param == HeaderParam::NA && std::strcmp(word, "Model") == 0)
        {
            const Token next = _lex.getNextToken();
            if (next == Token::Colon || next == Token::LBracket)
            {
                _loader.report(msg::mlHeaderWithoutEnd, _start.line, _start.column, ILog::Error, nullptr, false);
                return Outcome::Failed;
            }
        }
        if (_param == HeaderParam::NA)
            return fail(msg::mlHeaderParamUnknown);
        _state = 1;
        return Outcome::Continue;
    }

    // A value right after a name lacks its equals sign; anywhere else it is misplaced.
    bool checkPosition()
    {
        if (_state == 1)
            return report(msg::mlHeaderParamExpEq);
        if (_state != 2)
            return report(msg::mlHeaderWrongConstPos);
        return true;
    }

    bool checkValue(AttribKind kind)
    {
        if (!checkPosition())
            return false;
        if (getHeaderParamKind(_param) != kind)
            return report(msg::mlHeaderWrongParamType);
        return true;
    }

    bool storeNumber()
    {
        if (!checkPosition())
            return false;
        AttribKind kind = getHeaderParamKind(_param);
        if (kind == Token::Integer)
        {
            td::INT4 value = 0;
            if (!toHeaderInteger(_lex._text.c_str(), value))
            {
                // At the value, with the setting's name.
                _loader.report(msg::mlIntegerOutOfRange, _lineNo, _lex._tokenColumn + 1, ILog::Error,
                               getHeaderParamName(_param), false);
                return false;
            }
            // A fraction is cut: the setting is used as its integer part, with a warning.
            if (_lex._text.length() > 0 && static_cast<double>(value) != mu::toDouble(_lex._text.c_str()))
                _loader.report(msg::mlHeaderRealCut, _lineNo, _lex._tokenColumn + 1, ILog::Warning,
                               getHeaderParamName(_param), false);
            store(td::Variant(value));
            return true;
        }
        double value = 0.0;
        if (kind != Token::Real || !toHeaderReal(_lex._text.c_str(), value))
            return report(msg::mlHeaderWrongParamType);
        store(td::Variant(value));
        return true;
    }

    void store(td::Variant&& value)
    {
        _values[idx(_param)] = std::move(value);
        _places[idx(_param)] = {_lineNo, _lex._tokenColumn + 1};
        _state = 0;
        _param = HeaderParam::NA;
    }

    ModelLoader& _loader;
    cnt::SafeFullVector<td::Variant>& _values;
    HeaderPlaces& _places;
    TokenizerBase<1> _lex;
    TextPlace _start;
    td::UINT4 _lineNo = 0;
    int _state = 0;
    HeaderParam _param = HeaderParam::NA;
};
} // namespace

ModelLoader::HeaderEnd ModelLoader::readHeader(cnt::SafeFullVector<td::Variant>& headerValues,
                                               HeaderPlaces& valuePlaces, td::MutableString& line,
                                               mu::LineLoader& loader)
{
    if (headerValues.size() != cNHeaderParams)
        headerValues.reserve(cNHeaderParams);
    for (unsigned i = 0; i < cNHeaderParams; ++i)
    {
        headerValues[i] = HeaderDefaultValues[i];
        valuePlaces[i] = TextPlace();
    }
    HeaderReader reader(*this, headerValues, valuePlaces);
    HeaderEnd end = reader.read(line, loader);
    _linesBeforeBody = end.bodyPosition != 0 ? end.headerLines : 0;
    return end;
}
} // namespace sc
