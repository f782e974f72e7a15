#include <sc/priv/ModelLoader.h>

#include <cmath>
#include <cstring>
#include <string>

#include <mu/Number.h>
#include <sc/MessageKeys.h>

namespace sc
{
namespace
{
constexpr td::UINT4 cUnset = LineLocation::cUnset;

bool inRange(const LineLocation& x, td::UINT4 line)
{
    return x.location != cUnset && line > x.location && (x.count == cUnset || line < x.location + x.count);
}

bool isDeclarationGroup(Group g) { return g >= Group::Vars && g <= Group::Stats; }

// A word the language reads as something other than a name: a reserved word, a function,
// a constant, an embedded parameter, a truth or a logical word (not its operator sign).
bool isLanguageWord(Token t, const char* text)
{
    switch (t)
    {
    case Token::Reserved:
    case Token::Function:
    case Token::SpecialConst:
    case Token::EmbeddedParam:
    case Token::True:
    case Token::False: return true;
    case Token::Not:
    case Token::Or:
    case Token::And:
    case Token::Xor: return (text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z');
    default: return false;
    }
}

// The integer part of a copyPars value, kept within 32 bits (the statement pass refuses a
// value beyond them, so a clamped count is never used).
td::INT4 integerPart(const char* text)
{
    double d = std::trunc(mu::toDouble(text));
    if (std::isnan(d))
        return 0;
    if (d > 2147483647.0)
        return 2147483647;
    if (d < -2147483648.0)
        return -2147483647 - 1;
    return static_cast<td::INT4>(d);
}

td::UINT4 countEquals(const td::MutableString& line)
{
    td::UINT4 n = 0;
    for (const char* p = line.c_str(); *p; ++p)
        n += *p == '=';
    return n;
}
} // namespace

LineLocation& ModelLoader::groupLocation(int group, unsigned level)
{
    switch (static_cast<Group>(group))
    {
    case Group::Vars: return (*_targets.pVars)[level];
    case Group::Params: return (*_targets.pParams)[level];
    case Group::Distribs: return (*_targets.pDistribs)[level];
    default: return (*_targets.pStats)[level];
    }
}

void ModelLoader::closeGroup(int group, td::UINT4 line)
{
    if (static_cast<Group>(group) == Group::NA)
        return;
    unsigned level = getLineLocation(line) < SubOther ? 0 : 1;
    LineLocation& loc = groupLocation(group, level);
    if (loc.location != cUnset && line > loc.location)
        loc.count = line - loc.location;
}

void ModelLoader::startModelAttribs(unsigned level, const td::MutableString& rawLine)
{
    cnt::PushBackVector<td::Variant>& attribs = (*_targets.pModelAttribs)[level];
    td::UINT4 n = countEquals(rawLine);
    if (n == 0)
    {
        attribs.clear();
        return;
    }
    attribs.reserve(n);
    for (td::UINT4 i = 0; i < n; ++i)
        attribs.slot(i) = td::Variant(td::INT4(0));
}

td::BYTE ModelLoader::getLineLocation(td::UINT4 line) const
{
    const LocationPair& m = *_targets.pModels;
    const LocationPair& v = *_targets.pVars;
    const LocationPair& p = *_targets.pParams;
    if (m[0].location == cUnset || line < m[0].location)
        return BeforeModel;
    if (line == m[0].location)
        return ModelLine;
    if (m[0].count != cUnset && line > m[0].location + m[0].count)
        return AfterModel;
    if (line <= v[0].location && line <= p[0].location)
        return MainBeforeDecls;
    if (inRange((*_targets.pDistribs)[0], line) || inRange((*_targets.pStats)[0], line))
        return MainBeforeDecls;
    if (inRange(m[1], line))
    {
        if (inRange(v[1], line))
            return SubVars;
        if (inRange(p[1], line))
            return SubParams;
        if (inRange((*_targets.pDistribs)[1], line))
            return SubDistribs;
        if (inRange((*_targets.pStats)[1], line))
            return SubStats;
        return SubOther;
    }
    if (inRange(v[0], line))
        return MainVars;
    if (inRange(p[0], line))
        return MainParams;
    return MainOther;
}

// The structure pass of one load: the model and sub-model lines with their attributes,
// the declaration groups with their names, and where each of them stands.
class StructureReader
{
public:
    StructureReader(ModelLoader& loader, bool declare)
        : _loader(loader), _targets(loader._targets), _lex(*loader._pTokenizer), _declare(declare),
          _lineNo(loader._linesBeforeBody)
    {
    }

    bool read(mu::LineLoader& lineLoader, td::MutableString& line)
    {
        reset();
        while (lineLoader.getLine(line))
        {
            ++_lineNo;
            if (line.length() == 0)
                continue;
            _lex.setLine(line.c_str(), line.length());
            if (readLine(line) == Go::Stop)
                break;
        }
        if (_loader._isDynamic)
            _loader.findOrAddTimeParams(_declare);
        return true;
    }

private:
    // What follows a token: the line's next token, the next line, or the end of the pass.
    enum class Go : td::BYTE
    {
        NextToken,
        NextLine,
        Stop
    };

    void reset()
    {
        if (_declare)
        {
            for (ModelLevel level : {ModelLevel::Main, ModelLevel::Sub})
            {
                _loader.map(level, UserLabel::Var)->clear();
                _loader.map(level, UserLabel::Param)->clear();
            }
        }
        for (LocationPair* pLoc :
             {_targets.pVars, _targets.pParams, _targets.pDistribs, _targets.pStats, _targets.pModels})
            (*pLoc)[0] = (*pLoc)[1] = LineLocation();
        (*_targets.pDTParamIndex)[0] = (*_targets.pDTParamIndex)[1] = -1;
        (*_targets.pTimeParamIndex)[0] = (*_targets.pTimeParamIndex)[1] = -1;
        _lex.reset();
        // A complex mode left from an earlier load must not carry over.
        _loader.bindLexer(_lex, false);
        _loader._isComplex = _loader._isDynamic = false;
        _loader._copyParsCount = 0;
    }

    Go readLine(const td::MutableString& line)
    {
        _modelLine = _subModelLine = false;
        _statementStart = _firstToken = true;
        _pairState = 0;
        _attrib = AttribID::NA;
        for (;;)
        {
            Token t = _lex.getNextToken();
            bool first = _firstToken;
            _firstToken = false;
            if (t == Token::Semicolon)
            {
                _statementStart = true;
                continue;
            }
            bool atStatementStart = _statementStart;
            _statementStart = false;
            if (t == Token::Error)
            {
                _loader.report(msg::mlUnexpectedToken, _lineNo, _lex._tokenColumn + 1);
                return Go::NextLine;
            }
            if (t == Token::EndOfLine)
                return Go::NextLine;
            Go go = Go::NextToken;
            if (atStatementStart && declaring() && isLanguageWord(t, _lex._text.c_str()))
                go = readWordAsName(t, first);
            else if (t == Token::Reserved && static_cast<ReservedID>(_lex._value) == ReservedID::End)
                go = readEnd(first, _lex._tokenColumn + 1);
            else if (t == Token::Reserved)
                go = readReserved(static_cast<ReservedID>(_lex._value));
            else if (_modelLine || _subModelLine)
                go = readModelAttrib(t);
            else if (t == Token::GroupName)
                go = first ? readGroup(line) : readLateGroup(line);
            else if (t == Token::Word && first && declaring() && _lex.onlyColonFollows())
                go = readUnknownGroup();
            else if (t == Token::Word && atStatementStart)
                readDeclaration();
            else if (atStatementStart && declaring() && t != Token::Comment)
                go = readNamelessDeclaration();
            if (go != Go::NextToken)
                return go;
        }
    }

    // Whether a name at the start of a statement here is declared: in an open declaration
    // group of the main model or of the sub-model.
    bool declaring() const
    {
        if (!_declare || static_cast<Group>(_openGroup) == Group::NA)
            return false;
        return _depth == 1 || (_depth == 2 && _loader.getLineLocation(_lineNo) >= ModelLoader::SubOther);
    }

    // A word of the language where a declaration names a symbol is refused with the word;
    // an end that is not assigned to closes its block or model as anywhere else.
    Go readWordAsName(Token t, bool first)
    {
        const std::string word(_lex._text.c_str(), _lex._text.length());
        const td::UINT4 column = _lex._tokenColumn + 1;
        if (t == Token::Reserved)
        {
            const ReservedID id = static_cast<ReservedID>(_lex._value);
            if (id == ReservedID::End && _lex.getNextToken() != Token::Assign)
                return readEnd(first, column);
        }
        _loader.report(msg::mlReservedWordAsName, _lineNo, column, ILog::Error, word.c_str());
        return Go::NextLine;
    }

    // An end closes its block or model. After a declaration's tokens it still does, so the
    // declarations after it are never read: it is told here, before the start values that
    // read them are compiled.
    Go readEnd(bool first, td::UINT4 column)
    {
        if (!first && declaring())
            _loader.report(msg::mlExprAfterEnd, _lineNo, column);
        return readReserved(ReservedID::End);
    }

    // A reserved word ends the line; an end closes a block, the sub-model or the model.
    Go readReserved(ReservedID id)
    {
        if (opensBlock(id) && _depth > 0)
            ++_blockDepth;
        if (id != ReservedID::End)
            return Go::NextLine;
        if (_blockDepth > 0)
        {
            --_blockDepth;
            return Go::NextLine;
        }
        bool subLine = _loader.getLineLocation(_lineNo) >= ModelLoader::SubOther;
        --_depth;
        LocationPair& models = *_targets.pModels;
        if (subLine && _depth == 1)
        {
            models[1].count = _lineNo - models[1].location;
            return Go::Stop;
        }
        if (_depth == 0)
        {
            models[0].count = _lineNo - models[0].location + 1;
            return Go::Stop;
        }
        return Go::NextLine;
    }

    // The attribute list of a model or sub-model line: name = value pairs.
    Go readModelAttrib(Token t)
    {
        cnt::PushBackVector<td::Variant>& attribs = (*_targets.pModelAttribs)[_modelLine ? 0 : 1];
        if (_pairState == 1)
        {
            _pairState = 2;
            return t == Token::Assign ? Go::NextToken : Go::NextLine;
        }
        if (_pairState == 2)
        {
            _pairState = 0;
            const char* text = _lex._text.c_str();
            switch (t)
            {
            case Token::True: attribs.back() = td::Variant(true); break;
            case Token::False: attribs.back() = td::Variant(false); break;
            case Token::EnumWord:
            case Token::String: attribs.back() = td::Variant(td::String(text, _lex._text.length())); break;
            case Token::Integer:
            case Token::SpecialConst:
            case Token::Real: attribs.back() = td::Variant(mu::toDouble(text)); break;
            default: return Go::NextToken;
            }
            if (_modelLine && t == Token::EnumWord && _attrib == AttribID::Domain)
                _loader._isComplex = _lex._complex = _loader._strComplexAttribValue == text;
            if (_modelLine && t == Token::EnumWord && _attrib == AttribID::Type)
                _loader._isDynamic = std::strcmp(text, "ODE") == 0 || std::strcmp(text, "DAE") == 0;
            if (_subModelLine && _attrib == AttribID::CopyPars && (t == Token::Integer || t == Token::Real))
                _loader._copyParsCount = integerPart(text);
            return Go::NextToken;
        }
        if (t == Token::AttribName && _lex._value < idx(AttribID::NA))
        {
            _attrib = static_cast<AttribID>(_lex._value);
            attribs.emplace() = td::Variant();
            _pairState = 1;
        }
        return Go::NextToken;
    }

    // A group name at the start of a line: the model, the sub-model, a declaration group,
    // or any other group, which ends the declarations of the main model.
    Go readGroup(const td::MutableString& line)
    {
        Group g = static_cast<Group>(_lex._value);
        unsigned level = _loader.getLineLocation(_lineNo) < ModelLoader::SubOther ? 0 : 1;
        if (g == Group::Model)
        {
            if (++_depth != 1)
            {
                _loader.report(msg::mlWrongModelPos, _lineNo, _lex._tokenColumn + 1);
                return Go::NextToken;
            }
            (*_targets.pModels)[0].location = _lineNo;
            _modelLine = true;
            _loader.startModelAttribs(0, line);
            return Go::NextToken;
        }
        if (g == Group::SubModel)
        {
            // Without a model line the statement pass tells what is missing.
            if (++_depth != 2 && _depth > 1)
                _loader.report(msg::mlWrongSubModelPos, _lineNo, _lex._tokenColumn + 1);
            (*_targets.pModels)[1].location = _lineNo;
            closeOpenGroup();
            if (_depth == 2)
            {
                _subModelLine = true;
                _loader.startModelAttribs(1, line);
            }
            return Go::NextToken;
        }
        if (isDeclarationGroup(g))
        {
            if (_openGroup != static_cast<int>(idx(g)))
                _loader.closeGroup(_openGroup, _lineNo);
            _openGroup = idx(g);
            _loader.groupLocation(_openGroup, level).location = _lineNo;
            return Go::NextToken;
        }
        closeOpenGroup();
        return level == 0 && _depth <= 1 ? Go::Stop : Go::NextToken;
    }

    // A group name after other tokens of its line (a group line joined to the line before):
    // refused where it stands, as the statement pass refuses it, and taken as the group's
    // line, so that the names after it are not declared in the group before.
    Go readLateGroup(const td::MutableString& line)
    {
        if (_depth < 1)
            return Go::NextToken;
        _loader.report(msg::mlGroupNotFirst, _lineNo, _lex._tokenColumn + 1);
        return readGroup(line);
    }

    // A statement of a declaration group that does not begin with the name it declares (a
    // group line without its name leaves its colon there): refused at its first token; the
    // group's declarations end.
    Go readNamelessDeclaration()
    {
        _loader.report(msg::mlDeclarationWithoutName, _lineNo, _lex._tokenColumn + 1);
        closeOpenGroup();
        return Go::NextLine;
    }

    // A line of one word and a colon in a declaration group is a group line whose word is
    // no group (the statement pass refuses it): it declares nothing and ends the group as
    // any other group line.
    // A line of one word and a colon that names no group ends the declarations: it is told
    // here, before the start values that read the names declared after it are compiled.
    Go readUnknownGroup()
    {
        _loader.report(msg::mlUnknownGroupName, _lineNo, _lex._tokenColumn + 1, ILog::Error, _lex._text.c_str());
        const bool mainLine = _loader.getLineLocation(_lineNo) < ModelLoader::SubOther;
        closeOpenGroup();
        return mainLine && _depth <= 1 ? Go::Stop : Go::NextLine;
    }

    void closeOpenGroup()
    {
        _loader.closeGroup(_openGroup, _lineNo);
        _openGroup = idx(Group::NA);
    }

    // A name at the start of a statement in an open declaration group.
    void readDeclaration()
    {
        if (!declaring())
            return;
        static const td::BYTE mainCodes[] = {ModelLoader::MainVars, ModelLoader::MainParams, ModelLoader::MainDistribs,
                                             ModelLoader::MainStats};
        static const td::BYTE subCodes[] = {ModelLoader::SubVars, ModelLoader::SubParams, ModelLoader::SubDistribs,
                                            ModelLoader::SubStats};
        unsigned k = _openGroup - idx(Group::Vars);
        _loader.readDeclarations(_lex, _lineNo, _lex._tokenColumn + 1, _depth == 1 ? mainCodes[k] : subCodes[k]);
    }

    ModelLoader& _loader;
    ModelLoader::Targets& _targets;
    TokenizerBase<1>& _lex;
    const bool _declare;
    int _depth = 0;
    // Blocks opened inside the models, closed by their own end.
    int _blockDepth = 0;
    int _openGroup = idx(Group::NA);
    td::UINT4 _lineNo = 0;
    // Per line.
    bool _modelLine = false;
    bool _subModelLine = false;
    bool _statementStart = true;
    bool _firstToken = true;
    int _pairState = 0;
    AttribID _attrib = AttribID::NA;
};

bool ModelLoader::readStructure(mu::LineLoader& loader, td::MutableString& line, bool declare)
{
    // A loader without a symbol table has nothing to enter.
    if (!map(ModelLevel::Main, UserLabel::Var) || !map(ModelLevel::Main, UserLabel::Param))
        return true;
    StructureReader reader(*this, declare);
    return reader.read(loader, line);
}

namespace
{
// A map a declared name must not be in, and the key when it is.
struct DeclarationCheck
{
    ModelLevel level;
    UserLabel kind;
    const char* key;
};
constexpr ModelLevel M = ModelLevel::Main, S = ModelLevel::Sub;
constexpr UserLabel V = UserLabel::Var, P = UserLabel::Param, D = UserLabel::Distrib, St = UserLabel::Stat;
// The duplicate checks of a declaration group (the first map that holds the name gives the
// key), the map that takes a new name and the set that keeps the names refused.
struct DeclarationRule
{
    ModelLevel level;
    UserLabel target;
    unsigned duplicateSet;
    DeclarationCheck checks[5];
    unsigned nChecks;
};
constexpr DeclarationRule cMainVars{
    M,
    V,
    0,
    {{M, V, msg::mlVarDDVars}, {M, P, msg::mlVarDDInPars}, {M, D, msg::mlVarDDInDists}, {M, St, msg::mlVarDDInDists}},
    4};
constexpr DeclarationRule cMainParams{
    M,
    P,
    1,
    {{M, P, msg::mlParDDInPars}, {M, V, msg::mlParDDInVars}, {M, D, msg::mlParDDInDists}, {M, St, msg::mlParDDInDists}},
    4};
constexpr DeclarationRule cMainDistribs{M,
                                        D,
                                        1,
                                        {{M, P, msg::mlDistDDInPars},
                                         {M, V, msg::mlDistDDInVars},
                                         {M, D, msg::mlDistDDInDists},
                                         {M, St, msg::mlDistDDInDists}},
                                        4};
constexpr DeclarationRule cMainStats{M,
                                     St,
                                     1,
                                     {{M, P, msg::mlDistDDInPars},
                                      {M, V, msg::mlDistDDInVars},
                                      {M, D, msg::mlDistDDInDists},
                                      {M, St, msg::mlDistDDInDists}},
                                     4};
constexpr DeclarationRule cSubVars{S,
                                   V,
                                   2,
                                   {{S, V, msg::mlSubVarDDSubVars},
                                    {S, P, msg::mlSubVarDDSubPars},
                                    {S, D, msg::mlSubVarDDSubDists},
                                    {S, St, msg::mlSubVarDDSubDists}},
                                   4};
constexpr DeclarationRule cSubParams{S,
                                     P,
                                     3,
                                     {{S, V, msg::mlSubParDDSubVars},
                                      {S, P, msg::mlSubParDDSubPars},
                                      {M, P, msg::mlSubParDDInPars},
                                      {S, D, msg::mlSubParDDSubDists},
                                      {S, St, msg::mlSubParDDSubDists}},
                                     5};
constexpr DeclarationRule cSubDistribs{S,
                                       D,
                                       1,
                                       {{S, V, msg::mlDistDDInVars},
                                        {S, P, msg::mlDistDDInPars},
                                        {S, D, msg::mlDistDDInDists},
                                        {S, St, msg::mlDistDDInDists}},
                                       4};
constexpr DeclarationRule cSubStats{S,
                                    St,
                                    1,
                                    {{S, V, msg::mlDistDDInVars},
                                     {S, P, msg::mlDistDDInPars},
                                     {S, D, msg::mlDistDDInDists},
                                     {S, St, msg::mlDistDDInDists}},
                                    4};

// The rule of a declaration group's location code; none for another code.
const DeclarationRule* declarationRule(td::BYTE code)
{
    switch (code)
    {
    case ModelLoader::MainVars: return &cMainVars;
    case ModelLoader::MainParams: return &cMainParams;
    case ModelLoader::MainDistribs: return &cMainDistribs;
    case ModelLoader::MainStats: return &cMainStats;
    case ModelLoader::SubVars: return &cSubVars;
    case ModelLoader::SubParams: return &cSubParams;
    case ModelLoader::SubDistribs: return &cSubDistribs;
    case ModelLoader::SubStats: return &cSubStats;
    default: return nullptr;
    }
}
} // namespace

void ModelLoader::readDeclarations(const TokenizerBase<1>& lexer, td::UINT4 line, td::UINT4 column, td::BYTE code)
{
    // Every kind of the level is checked; the first map that holds the name decides.
    const DeclarationRule* pRule = declarationRule(code);
    if (!pRule)
        return;
    std::string_view name(lexer._text.c_str(), lexer._text.length());
    for (unsigned i = 0; i < pRule->nChecks; ++i)
    {
        const DeclarationCheck& c = pRule->checks[i];
        Naming::SymbolMap* pMap = map(c.level, c.kind);
        if (pMap->find(name) == pMap->end())
            continue;
        report(c.key, line, column, ILog::Error, lexer._text.c_str());
        _pDuplicates[pRule->duplicateSet].insert(pooled(lexer._text.c_str(), lexer._text.length()));
        return;
    }
    Naming::SymbolMap* pTarget = map(pRule->level, pRule->target);
    if (pRule->level == S)
        _subPlaces[idx(pRule->target)].push({line, column});
    pTarget->emplace(pooled(lexer._text.c_str(), lexer._text.length()), static_cast<unsigned>(pTarget->size()));
}
} // namespace sc
