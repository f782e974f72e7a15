#include <sc/priv/ModelLoader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <sc/priv/FunctionTable.h>

namespace sc
{
namespace
{
// Front-end function code of lim.
constexpr td::BYTE cLimFunction = priv::frontEndCode(priv::Function::LIMIT);

// An integer literal that fits 32 bits; a longer one is read as a real number.
bool toInteger(const char* text, td::UINT4 len, td::INT4& out)
{
    auto res = std::from_chars(text, text + len, out);
    return res.ec == std::errc() && res.ptr == text + len;
}

// Whether a value token suits an attribute of integer kind as far as its size goes: an
// integer literal does, a real one when it fits 32 bits once cut toward zero. Other kinds
// are left to the attribute's reader.
bool fitsInteger(const _TokV& tok)
{
    if (tok.kind != Token::Real)
        return true;
    const double d = std::trunc(tok.getReal());
    return std::isfinite(d) && d >= -2147483648.0 && d <= 2147483647.0;
}

bool isDerivativeMark(Token t) { return t == Token::Apostrophe || t == Token::DoubleApostrophe; }

// Groups whose lines declare names or set a model: none of them holds a statement.
bool holdsNoStatements(Group g) { return g <= Group::Stats || g == Group::NA; }
} // namespace

// The statement parser of one load: state of the current line and statement.
class ContentReader
{
public:
    ContentReader(ModelLoader& loader, ModelLoader::ContentStores& stores, Naming::Pool& pool,
                  cnt::Array<td::UINT4, 2>& nLimits, bool complex)
        : _loader(loader), _s(stores), _pool(pool), _nLimits(nLimits), _lineNo(loader._linesBeforeBody)
    {
        for (unsigned l = 0; l < 2; ++l)
            for (unsigned k = 0; k < 4; ++k)
                _maps[l][k] = loader.map(static_cast<ModelLevel>(l), static_cast<UserLabel>(k));
        loader.bindLexer(_lex, complex);
    }

    bool read(mu::LineLoader& lineLoader, td::MutableString& line)
    {
        for (unsigned l = 0; l < 2; ++l)
        {
            for (_CP& cp : groups(l))
                cp = _CP();
            _s.metGroups[l] = 0;
        }
        _loader._bodyStart = {};
        while (lineLoader.getLine(line))
        {
            ++_lineNo;
            if (line.length() == 0)
                continue;
            _position = lineLoader.getPreviousPosition();
            _lex.setLine(line.c_str(), line.length());
            if (!readLine())
                return false;
        }
        // A body without a token: where the header ends.
        if (!_loader._bodyStart.isSet())
            _loader._bodyStart = {std::max<td::UINT4>(_loader._linesBeforeBody, 1), 1};
        // The model's own end may be missing at the text's end, a block's not; the plots,
        // which no solver reads, leave theirs to the figures.
        if (_blocks.empty() || _group == Group::Plots)
            return true;
        return failAt(msg::mlBlockWithoutEnd, unclosedBlock());
    }

private:
    TokenLines& lines(unsigned level) { return level == 0 ? _s.mainLines : _s.subLines; }
    GroupTable& groups(unsigned level) { return level == 0 ? _s.mainGroups : _s.subGroups; }

    bool fail(const char* key)
    {
        _loader.report(key, _lineNo, _lex._tokenColumn + 1);
        return false;
    }

    bool failAt(const char* key, const TextPlace& at)
    {
        _loader.report(key, at.line, at.column);
        return false;
    }

    TextPlace here() const { return {_lineNo, _lex._tokenColumn + 1}; }

    // Of the blocks left open, the one whose end is missing: an end closes the innermost
    // block, but the one at its own column is taken to be the block it was written for.
    TextPlace unclosedBlock() const { return _unmatchedBlocks.back(); }

    void openBlock()
    {
        _blocks.push_back(here());
        _unmatchedBlocks.push_back(here());
    }

    void closeBlock(td::UINT4 endColumn)
    {
        _blocks.pop_back();
        for (std::size_t i = _unmatchedBlocks.size(); i-- > 0;)
        {
            if (_unmatchedBlocks[i].column == endColumn)
            {
                _unmatchedBlocks.erase(_unmatchedBlocks.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
        }
        _unmatchedBlocks.pop_back();
    }

    // At the current token, as "text (name)".
    bool failNamed(const char* key, const char* name)
    {
        _loader.report(key, _lineNo, _lex._tokenColumn + 1, ILog::Error, name);
        return false;
    }

    // A line of one word and a colon is a group line whose word is no group, unless it is a
    // statement of a statement group on a declared name (an equation x = 0 that a colon
    // ends). Such a word never declares or sets a model.
    bool isStatementWord() const
    {
        if (holdsNoStatements(_group))
            return false;
        const std::string_view word(_lex._text.c_str(), _lex._text.length());
        for (const Naming::SymbolMap* pMap : _maps[_level])
        {
            if (pMap->find(word) != pMap->end())
                return true;
        }
        return false;
    }

    void startStatement()
    {
        _stmtFirst = _s.exprTokens.size();
        _stmtHasTokens = false;
        _afterElse = false;
        _attribOpen = _attribClosed = false;
        _attribStart = _attribEnd = 0;
        _attribMode = false;
        _pairState = 0;
    }

    bool readLine()
    {
        _countFlag = true;
        _lineHasExpr = false;
        _groupLine = false;
        _caseCond = false;
        _mainRef = 0;
        _firstToken = true;
        startStatement();
        for (;;)
        {
            Token t = _lex.getNextToken();
            bool first = _firstToken;
            _firstToken = false;
            if (t == Token::Error)
            {
                _loader.report(msg::mlUnexpectedToken, _lineNo, _lex._tokenColumn + 1, ILog::Error, nullptr, true,
                               _lex._text.c_str());
                return false;
            }
            if (t == Token::EndOfLine || t == Token::Comment)
            {
                if (!endStatement(false))
                    return false;
                if (t == Token::EndOfLine)
                    return true;
                continue;
            }
            if (!_loader._bodyStart.isSet())
                _loader._bodyStart = here();
            if (_modelClosed)
                return fail(msg::mlExprAfterEnd);
            if (t == Token::Semicolon)
            {
                if (_caseCond)
                    return fail(msg::mlSemicolonInCaseCond);
                if (!endStatement(true))
                    return false;
                continue;
            }
            if (!readToken(t, first))
                return false;
        }
    }

    bool readToken(Token t, bool first)
    {
        if (_mainRef > 0)
            return readMainRef(t);
        // An else stands alone on its statement, but for its attributes (else if is no
        // chain).
        if (_afterElse && !_attribMode && t != s_attribStart && t != s_attribEnd)
            return fail(t == Token::Reserved && opensBlock(static_cast<ReservedID>(_lex._value))
                            ? msg::mlBlockWordNotFirst
                            : msg::mlExprAfterElse);
        // A statement that begins with a colon is a group line without its name; the
        // declaration groups are the structure pass's and the plots no solver reads.
        if (t == Token::Colon && !_stmtHasTokens && !_groupLine && !holdsNoStatements(_group) && _group != Group::Plots)
            return fail(msg::mlGroupNameMissing);
        if (t == s_attribStart)
            return openAttribs();
        if (t == s_attribEnd)
            return closeAttribs();
        if (_attribMode)
            return readAttrib(t);
        if (_groupLine && t != Token::Colon)
            return fail(msg::mlExprAfterGroup);
        // Only an ODE reads a derivative; elsewhere the mark is refused where it stands.
        if (isDerivativeMark(t) && _group != Group::ODEs && _group != Group::NA)
            return failNamed(msg::mlDerivOutsideODEs, _groupWord.c_str());
        if (t == Token::Word && first && _lex.onlyColonFollows() && !isStatementWord())
            return failNamed(msg::mlUnknownGroupName, _lex._text.c_str());
        switch (t)
        {
        case Token::GroupName: return readGroup(first);
        case Token::Reserved: return readReserved();
        case Token::ArrowRight:
            if (_caseCond)
            {
                _caseCond = false;
                return endStatement(false);
            }
            break;
        case Token::Word: return storeName();
        default: break;
        }
        _TokV tok;
        if (!convert(t, tok))
            return false;
        return storeExpr(tok);
    }

    bool convert(Token t, _TokV& tok)
    {
        tok.kind = t;
        tok.column = _lex._tokenColumn + 1 <= 0xFFFF ? static_cast<td::UINT2>(_lex._tokenColumn + 1) : 0;
        tok.code = _lex._value; // the lexer gives no code (0xFFFF) to literals
        const char* text = _lex._text.c_str();
        switch (t)
        {
        case Token::Integer:
        {
            td::INT4 v = 0;
            if (toInteger(text, _lex._text.length(), v))
            {
                tok.set(v);
                break;
            }
            // Beyond 32 bits: the nearest double, as the XML road reads it.
            tok.kind = Token::Real;
            tok.set(mu::toDouble(text));
            break;
        }
        case Token::Real:
        case Token::Imaginary: tok.set(mu::toDouble(text)); break;
        case Token::String:
        case Token::EnumWord:
            tok.set(static_cast<const td::PoolString*>(td::PoolString::createIn(_pool, _lex._text.length(), text)));
            break;
        case Token::SpecialConst:
        {
            SpecialConstant c = static_cast<SpecialConstant>(_lex._value);
            tok.set(c == SpecialConstant::Pi ? std::numbers::pi : (c == SpecialConstant::E ? std::numbers::e : 0.0));
            break;
        }
        case Token::Color:
        case Token::LinePattern: tok.set(static_cast<td::BYTE>(_lex._value)); break;
        default: break;
        }
        if (t == Token::Function && _lex._value == cLimFunction)
            ++_nLimits[_level];
        return true;
    }

    bool storeExpr(const _TokV& tok)
    {
        _s.exprTokens.push(tok);
        _lineHasExpr = true;
        _stmtHasTokens = true;
        return true;
    }

    bool storeName()
    {
        static const Token kinds[] = {Token::Var, Token::Param, Token::DistribName, Token::StatName};
        for (unsigned k = 0; k < 4; ++k)
            if (storeSymbol(_maps[_level][k], kinds[k], 0))
                return true;
        // A sub-model after the main model's equation groups declares nothing, nor does a
        // group before the Model line: their names are unknown because of where they stand.
        if (_level == 1 && _lateSubModel.isSet())
            return failAt(msg::mlSubModelAfterEquations, _lateSubModel);
        if (_level == 0 && (_s.metGroups[0] & 1u) == 0 && _groupPlace.isSet())
            return failAt(msg::mlGroupBeforeModel, _groupPlace);
        return fail(_level == 0 ? msg::mlUnknownLbl : msg::mlUnknownLblSM);
    }

    // Stores the current word as a symbol token when the map holds it.
    bool storeSymbol(const Naming::SymbolMap* pMap, Token kind, td::BYTE extra)
    {
        auto it = pMap->find(std::string_view(_lex._text.c_str(), _lex._text.length()));
        if (it == pMap->end())
            return false;
        // A token holds 16 bits of index; a symbol beyond them is refused, never wrapped.
        if (it->second > 0xFFFFu)
        {
            fail(msg::mlSymbolIndexTooBig);
            return true;
        }
        _TokV tok;
        convert(kind, tok);
        tok.code = static_cast<td::UINT2>(it->second);
        tok.set(&it->first);
        tok.extra = extra;
        return storeExpr(tok);
    }

    // After @main in the sub-model: a dot, then a name of the main model.
    bool readMainRef(Token t)
    {
        if (_mainRef == 1)
        {
            if (t != Token::Dot)
                return fail(msg::mlNoDotAfterBase);
            _mainRef = 2;
            return true;
        }
        _mainRef = 0;
        if (t != Token::Word)
            return fail(msg::mlNoDotAfterBase);
        if (storeSymbol(_maps[0][idx(UserLabel::Var)], Token::Var, 1) ||
            storeSymbol(_maps[0][idx(UserLabel::Param)], Token::Param, 1))
            return true;
        return fail(msg::mlUnknownLblBase);
    }

    bool openAttribs()
    {
        if (_group == Group::NA)
            return fail(msg::mlAttribStartGr);
        if (_attribOpen)
            return fail(msg::mlConsAttribStartToken);
        _attribOpen = true;
        _attribStart = _s.attribTokens.size();
        _attribMode = true;
        _pairState = 0;
        _stmtHasTokens = true;
        return true;
    }

    bool closeAttribs()
    {
        if (_group == Group::NA)
            return fail(msg::mlAttribEndGr);
        if (_attribClosed)
            return fail(msg::mlConsAttribEndToken);
        _attribClosed = true;
        _attribEnd = _s.attribTokens.size();
        _attribMode = false;
        return true;
    }

    bool readAttrib(Token t)
    {
        if (_pairState == 0)
        {
            if (t == Token::Comma)
                return true;
            if (t != Token::AttribName)
                return fail(msg::mlExpectedAttName);
            if (_lex._value > idx(AttribID::YLabel))
                return fail(msg::mlUnknownAttName);
            _attribId = static_cast<td::BYTE>(_lex._value);
            _attribKind = _lex._valueKind;
            _attribName.assign(_lex._text.c_str(), _lex._text.length());
            _pairState = 1;
            return true;
        }
        if (_pairState == 1)
        {
            if (t != Token::Assign)
                return fail(msg::mlExpectedEqInAttDef);
            _pairState = 2;
            return true;
        }
        _pairState = 0;
        _TokV tok;
        if (!convert(t, tok))
            return false;
        // An attribute of integer kind (copyPars, maxIter) is never given a value that
        // would wrap around or be cut to fit.
        if (_attribKind == Token::Integer && !fitsInteger(tok))
            return failNamed(msg::mlIntegerOutOfRange, _attribName.c_str());
        tok.extra = _attribId;
        _s.attribTokens.push(tok);
        return true;
    }

    bool readGroup(bool first)
    {
        if (!first)
            return fail(msg::mlGroupNotFirst);
        if (!_blocks.empty())
            return failAt(msg::mlBlockWithoutEnd, unclosedBlock());
        Group g = static_cast<Group>(_lex._value);
        if (g == Group::Model)
            ++_depth;
        else if (g == Group::SubModel)
        {
            ++_depth;
            _level = 1;
            // The structure pass reads a sub-model's declarations only before the main
            // model's equation groups.
            if ((_s.metGroups[0] >> idx(Group::ReInit)) != 0)
                _lateSubModel = here();
        }
        td::UINT4 bit = 1u << idx(g);
        if (_s.metGroups[_level] & bit)
            return fail(msg::mlDblGroupInModel);
        _s.metGroups[_level] |= bit;
        _group = g;
        _groupPlace = here();
        _groupWord.assign(_lex._text.c_str(), _lex._text.length());
        groups(_level)[idx(g)].firstLine = lines(_level).size();
        _s.lastLines[_level][idx(g)] = lines(_level).size();
        _countFlag = false;
        _groupLine = true;
        _TokV tok;
        convert(Token::GroupName, tok);
        return storeExpr(tok);
    }

    bool readReserved()
    {
        ReservedID id = static_cast<ReservedID>(_lex._value);
        if (id == ReservedID::Main)
        {
            if (_level == 0)
                return fail(msg::mlMainRefInMainModel);
            _mainRef = 1;
            _stmtHasTokens = true;
            return true;
        }
        if (id == ReservedID::End)
            return readEnd();
        const bool branch = id == ReservedID::Else || id == ReservedID::Case || id == ReservedID::Default;
        if (branch && !_stmtHasTokens && _blocks.empty())
            return fail(msg::mlBranchWithoutBlock);
        if (_level == 0 && (id == ReservedID::Case || id == ReservedID::Default))
        {
            if (_caseCond)
                return fail(msg::mlConsecCase);
            _caseCond = true;
        }
        _afterElse = id == ReservedID::Else;
        if (opensBlock(id))
        {
            // A block begins its statement (else if is no chain: the if needs an end of its own).
            if (_stmtHasTokens)
                return fail(msg::mlBlockWordNotFirst);
            ++_depth;
            openBlock();
        }
        _TokV tok;
        convert(Token::Reserved, tok);
        return storeExpr(tok);
    }

    // An end stands alone on its line and is stored as a line of its own.
    bool readEnd()
    {
        --_depth;
        if (_lineHasExpr || _stmtHasTokens)
            return fail(msg::mlExprAfterEnd);
        if (!_blocks.empty())
            closeBlock(_lex._tokenColumn + 1);
        _TokV tok;
        convert(Token::Reserved, tok);
        _s.exprTokens.push(tok);
        _tl rec{_lineNo, _position, _s.exprTokens.size() - 1, 1, 0, 0};
        lines(_level).push(rec);
        Group countFor = _group;
        if (_level == 1)
        {
            if (_depth == 1)
                countFor = Group::SubModel;
        }
        else if (_depth == 0)
            countFor = Group::Model;
        if (countFor == Group::NA)
            return fail(msg::mlWrongCurrentGroup);
        countLine(countFor);
        if (_level == 1 && _depth < 2)
        {
            // Back in the main model: a statement needs a group line first.
            _level = 0;
            _group = Group::NA;
        }
        if (_level == 0 && _depth <= 0)
            _modelClosed = true;
        Token next = _lex.getNextToken();
        if (next != Token::EndOfLine && next != Token::Comment)
            return fail(msg::mlExprAfterEnd);
        _lineHasExpr = true;
        startStatement();
        return true;
    }

    void countLine(Group g)
    {
        ++groups(_level)[idx(g)].nLines;
        _s.lastLines[_level][idx(g)] = lines(_level).size() - 1;
    }

    bool endStatement(bool bySemicolon)
    {
        if (!_stmtHasTokens)
            return true;
        if (!_lineHasExpr)
            return fail(bySemicolon ? msg::mlSemiColNoExpr : msg::mlEmptyExpression);
        bool listOpen = _attribOpen && !_attribClosed;
        td::UINT4 firstAttrib = _attribOpen ? _attribStart : 0;
        td::UINT4 nAttrib = _attribOpen && _attribClosed ? _attribEnd - _attribStart : 0;
        _tl rec{_lineNo, _position, _stmtFirst, _s.exprTokens.size() - _stmtFirst, firstAttrib, nAttrib};
        lines(_level).push(rec);
        if (_countFlag)
        {
            if (_group == Group::NA)
                return fail(msg::mlWrongCurrentGroup);
            countLine(_group);
        }
        if (listOpen)
            return fail(msg::mlAttribStartEndMismatch);
        startStatement();
        return true;
    }

    ModelLoader& _loader;
    ModelLoader::ContentStores& _s;
    Naming::SymbolMap* _maps[2][4];
    Naming::Pool& _pool;
    cnt::Array<td::UINT4, 2>& _nLimits;
    TokenizerBase<1> _lex;
    td::UINT4 _lineNo = 0;
    td::UINT4 _position = 0;
    unsigned _level = 0;
    int _depth = 0;
    Group _group = Group::NA;
    std::string _groupWord; // the current group's name
    // The words of the blocks open now, innermost last; and the same blocks as their ends'
    // columns match them, for telling which one lacks its end.
    std::vector<TextPlace> _blocks;
    std::vector<TextPlace> _unmatchedBlocks;
    // A SubModel line after the main model's equation groups.
    TextPlace _lateSubModel;
    // The current group's line.
    TextPlace _groupPlace;
    bool _modelClosed = false;
    // Per line.
    bool _countFlag = true;
    bool _lineHasExpr = false;
    bool _groupLine = false;
    bool _caseCond = false;
    bool _firstToken = true;
    int _mainRef = 0;
    // Per statement.
    td::UINT4 _stmtFirst = 0;
    bool _stmtHasTokens = false;
    bool _afterElse = false;
    bool _attribOpen = false;
    bool _attribClosed = false;
    bool _attribMode = false;
    td::UINT4 _attribStart = 0;
    td::UINT4 _attribEnd = 0;
    int _pairState = 0;
    td::BYTE _attribId = 0;
    Token _attribKind = Token::Error; // the value kind of the attribute read
    std::string _attribName;
};

bool ModelLoader::readContent(mu::LineLoader& loader, td::MutableString& line, ContentStores& stores, bool complex)
{
    (*_targets.pNLimits)[0] = (*_targets.pNLimits)[1] = 0;
    ContentReader reader(*this, stores, *_pStrings, *_targets.pNLimits, complex);
    return reader.read(loader, line);
}

bool ModelLoader::readModelLine(const TokenLines& lines, const ExprTokens& exprTokens, const AttribTokens& attribTokens,
                                _MI& info, td::UINT2)
{
    info.eps = 0.0;
    info.method = nullptr;
    info.type = 4;
    info.complex = 0;
    if (lines.size() == 0)
        return true;
    const _tl& first = lines[0];
    if (first.nAttrib == 0 || first.nExpr == 0)
        return true;
    const _TokV& head = exprTokens[first.firstExpr];
    if (head.kind != Token::GroupName || (head.code != idx(Group::Model) && head.code != idx(Group::SubModel)))
        return true;
    for (td::UINT4 i = 0; i < first.nAttrib; ++i)
    {
        const _TokV& t = attribTokens[first.firstAttrib + i];
        auto error = [&](const char* key) {
            report(key, first.line, t.column, ILog::Error, nullptr, false);
            return false;
        };
        const td::PoolString* pText = t.kind == Token::EnumWord || t.kind == Token::String ? t.getString() : nullptr;
        switch (static_cast<AttribID>(t.extra))
        {
        case AttribID::Domain:
            if (t.kind != Token::EnumWord)
                return error(msg::mlMissDomainEn);
            info.complex = pText && *pText == "cmplx" ? 1 : 0;
            break;
        case AttribID::Type:
        {
            if (t.kind != Token::EnumWord)
                return error(msg::mlMissModelTypeEn);
            static const char* const types[] = {"NL", "WLS", "ODE", "DAE"};
            td::BYTE type = 4;
            for (td::BYTE k = 0; k < 4; ++k)
                if (pText && *pText == types[k])
                    type = k;
            if (type == 4)
                return error(msg::mlWrongModelType);
            info.type = type;
            break;
        }
        case AttribID::Method:
            if (t.kind != Token::EnumWord)
                return error(msg::mlWrongMethodType);
            info.method = pText;
            break;
        case AttribID::Eps:
            if (t.kind != Token::Integer && t.kind != Token::Real)
                return error(msg::mlWrongEpsType);
            info.eps = t.kind == Token::Integer ? t.getInt() : t.getReal();
            if (info.eps < 0.0)
            {
                info.eps = 1e-6;
                report(msg::mlNegativeEpsUseDefault, first.line, t.column, ILog::Warning, nullptr, false);
            }
            break;
        case AttribID::Name:
            if (t.kind != Token::String)
                return error(msg::mlWrongModelNameType);
            info.name = pText;
            break;
        default: break;
        }
    }
    return true;
}
} // namespace sc
