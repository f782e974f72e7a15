#include <sc/priv/ModelLoader.h>

#include <cmath>
#include <cstring>

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

// The integer part of a copyPars value, kept within 32 bits.
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

bool ModelLoader::readStructure(mu::LineLoader& loader, td::MutableString& line, bool declare)
{
    Naming::SymbolMap* pMainVars = map(ModelLevel::Main, UserLabel::Var);
    Naming::SymbolMap* pMainParams = map(ModelLevel::Main, UserLabel::Param);
    if (!pMainVars || !pMainParams)
        return true;
    if (declare)
    {
        pMainVars->clear();
        pMainParams->clear();
        map(ModelLevel::Sub, UserLabel::Var)->clear();
        map(ModelLevel::Sub, UserLabel::Param)->clear();
    }
    for (LocationPair* pLoc : {_targets.pVars, _targets.pParams, _targets.pDistribs, _targets.pStats, _targets.pModels})
        (*pLoc)[0] = (*pLoc)[1] = LineLocation();
    (*_targets.pDTParamIndex)[0] = (*_targets.pDTParamIndex)[1] = -1;
    (*_targets.pTimeParamIndex)[0] = (*_targets.pTimeParamIndex)[1] = -1;

    TokenizerBase<1>& lex = *_pTokenizer;
    lex.reset();
    // A complex mode left from an earlier load must not carry over.
    bindLexer(lex, false);
    _isComplex = _isDynamic = false;
    _copyParsCount = 0;

    int depth = 0;
    int blockDepth = 0; // blocks opened inside the models, closed by their own end
    int openGroup = idx(Group::NA);
    td::UINT4 lineNo = 0;
    auto finish = [&]() {
        if (_isDynamic)
            findOrAddTimeParams(declare);
        return true;
    };

    while (loader.getLine(line))
    {
        ++lineNo;
        if (line.length() == 0)
            continue;
        lex.setLine(line.c_str(), line.length());
        bool modelLine = false, subModelLine = false;
        bool statementStart = true, firstToken = true;
        int pairState = 0;
        AttribID attrib = AttribID::NA;
        for (bool lineDone = false; !lineDone;)
        {
            Token t = lex.getNextToken();
            bool wasFirst = firstToken;
            firstToken = false;
            if (t == Token::Semicolon)
            {
                statementStart = true;
                continue;
            }
            bool atStatementStart = statementStart;
            statementStart = false;
            switch (t)
            {
            case Token::Error:
                report(msg::mlUnexpectedToken, lineNo, lex._tokenColumn + 1);
                lineDone = true;
                continue;
            case Token::EndOfLine: lineDone = true; continue;
            default: break;
            }
            if (t == Token::Reserved)
            {
                ReservedID id = static_cast<ReservedID>(lex._value);
                lineDone = true;
                if (opensBlock(id) && depth > 0)
                    ++blockDepth;
                if (id != ReservedID::End)
                    continue;
                if (blockDepth > 0)
                {
                    --blockDepth;
                    continue;
                }
                bool subLine = getLineLocation(lineNo) >= SubOther;
                --depth;
                LocationPair& models = *_targets.pModels;
                if (subLine && depth == 1)
                {
                    models[1].count = lineNo - models[1].location;
                    return finish();
                }
                if (depth == 0)
                {
                    models[0].count = lineNo - models[0].location + 1;
                    return finish();
                }
                continue;
            }
            if (modelLine || subModelLine)
            {
                unsigned level = modelLine ? 0 : 1;
                cnt::PushBackVector<td::Variant>& attribs = (*_targets.pModelAttribs)[level];
                if (pairState == 1)
                {
                    if (t != Token::Assign)
                        lineDone = true;
                    pairState = 2;
                    continue;
                }
                if (pairState == 2)
                {
                    pairState = 0;
                    const char* text = lex._text.c_str();
                    switch (t)
                    {
                    case Token::True: attribs.back() = td::Variant(true); break;
                    case Token::False: attribs.back() = td::Variant(false); break;
                    case Token::EnumWord:
                    case Token::String: attribs.back() = td::Variant(td::String(text, lex._text.length())); break;
                    case Token::Integer:
                    case Token::SpecialConst:
                    case Token::Real: attribs.back() = td::Variant(mu::toDouble(text)); break;
                    default: continue;
                    }
                    if (modelLine && t == Token::EnumWord && attrib == AttribID::Domain)
                        _isComplex = lex._complex = _strComplexAttribValue == text;
                    if (modelLine && t == Token::EnumWord && attrib == AttribID::Type)
                        _isDynamic = std::strcmp(text, "ODE") == 0 || std::strcmp(text, "DAE") == 0;
                    if (subModelLine && attrib == AttribID::CopyPars && (t == Token::Integer || t == Token::Real))
                        _copyParsCount = integerPart(text);
                    continue;
                }
                if (t == Token::AttribName && lex._value < idx(AttribID::NA))
                {
                    attrib = static_cast<AttribID>(lex._value);
                    attribs.emplace() = td::Variant();
                    pairState = 1;
                }
                continue;
            }
            if (t == Token::GroupName && wasFirst)
            {
                Group g = static_cast<Group>(lex._value);
                td::BYTE where = getLineLocation(lineNo);
                unsigned level = where < SubOther ? 0 : 1;
                if (g == Group::Model)
                {
                    if (++depth != 1)
                    {
                        report(msg::mlWrongModelPos, lineNo, lex._tokenColumn + 1);
                        continue;
                    }
                    (*_targets.pModels)[0].location = lineNo;
                    modelLine = true;
                    startModelAttribs(0, line);
                    continue;
                }
                if (g == Group::SubModel)
                {
                    if (++depth != 2)
                        report(msg::mlWrongSubModelPos, lineNo, lex._tokenColumn + 1);
                    (*_targets.pModels)[1].location = lineNo;
                    closeGroup(openGroup, lineNo);
                    openGroup = idx(Group::NA);
                    if (depth == 2)
                    {
                        subModelLine = true;
                        startModelAttribs(1, line);
                    }
                    continue;
                }
                if (isDeclarationGroup(g))
                {
                    if (openGroup != static_cast<int>(idx(g)))
                        closeGroup(openGroup, lineNo);
                    openGroup = idx(g);
                    groupLocation(openGroup, level).location = lineNo;
                    continue;
                }
                closeGroup(openGroup, lineNo);
                openGroup = idx(Group::NA);
                if (level == 0 && depth <= 1)
                    return finish();
                continue;
            }
            if (t == Token::Word && atStatementStart && static_cast<Group>(openGroup) != Group::NA && declare)
            {
                static const td::BYTE mainCodes[] = {MainVars, MainParams, MainDistribs, MainStats};
                static const td::BYTE subCodes[] = {SubVars, SubParams, SubDistribs, SubStats};
                unsigned k = openGroup - idx(Group::Vars);
                if (depth == 1)
                    readDeclarations(lex, lineNo, lex._tokenColumn + 1, mainCodes[k]);
                else if (depth == 2 && getLineLocation(lineNo) >= SubOther)
                    readDeclarations(lex, lineNo, lex._tokenColumn + 1, subCodes[k]);
            }
        }
    }
    return finish();
}

void ModelLoader::readDeclarations(const TokenizerBase<1>& lexer, td::UINT4 line, td::UINT4 column, td::BYTE code)
{
    struct Check
    {
        ModelLevel level;
        UserLabel kind;
        const char* key;
    };
    constexpr ModelLevel M = ModelLevel::Main, S = ModelLevel::Sub;
    constexpr UserLabel V = UserLabel::Var, P = UserLabel::Param, D = UserLabel::Distrib, St = UserLabel::Stat;
    struct Rule
    {
        ModelLevel level;
        UserLabel target;
        unsigned duplicateSet;
        Check checks[5];
        unsigned nChecks;
    };
    // Every kind of the level is checked; the first map that holds the name decides.
    static const Rule mainVars{M,
                               V,
                               0,
                               {{M, V, msg::mlVarDDVars},
                                {M, P, msg::mlVarDDInPars},
                                {M, D, msg::mlVarDDInDists},
                                {M, St, msg::mlVarDDInDists}},
                               4};
    static const Rule mainParams{M,
                                 P,
                                 1,
                                 {{M, P, msg::mlParDDInPars},
                                  {M, V, msg::mlParDDInVars},
                                  {M, D, msg::mlParDDInDists},
                                  {M, St, msg::mlParDDInDists}},
                                 4};
    static const Rule mainDistribs{M,
                                   D,
                                   1,
                                   {{M, P, msg::mlDistDDInPars},
                                    {M, V, msg::mlDistDDInVars},
                                    {M, D, msg::mlDistDDInDists},
                                    {M, St, msg::mlDistDDInDists}},
                                   4};
    static const Rule mainStats{M,
                                St,
                                1,
                                {{M, P, msg::mlDistDDInPars},
                                 {M, V, msg::mlDistDDInVars},
                                 {M, D, msg::mlDistDDInDists},
                                 {M, St, msg::mlDistDDInDists}},
                                4};
    static const Rule subVars{S,
                              V,
                              2,
                              {{S, V, msg::mlSubVarDDSubVars},
                               {S, P, msg::mlSubVarDDSubPars},
                               {S, D, msg::mlSubVarDDSubDists},
                               {S, St, msg::mlSubVarDDSubDists}},
                              4};
    static const Rule subParams{S,
                                P,
                                3,
                                {{S, V, msg::mlSubParDDSubVars},
                                 {S, P, msg::mlSubParDDSubPars},
                                 {M, P, msg::mlSubParDDInPars},
                                 {S, D, msg::mlSubParDDSubDists},
                                 {S, St, msg::mlSubParDDSubDists}},
                                5};
    static const Rule subDistribs{S,
                                  D,
                                  1,
                                  {{S, V, msg::mlDistDDInVars},
                                   {S, P, msg::mlDistDDInPars},
                                   {S, D, msg::mlDistDDInDists},
                                   {S, St, msg::mlDistDDInDists}},
                                  4};
    static const Rule subStats{S,
                               St,
                               1,
                               {{S, V, msg::mlDistDDInVars},
                                {S, P, msg::mlDistDDInPars},
                                {S, D, msg::mlDistDDInDists},
                                {S, St, msg::mlDistDDInDists}},
                               4};

    const Rule* pRule = nullptr;
    switch (code)
    {
    case MainVars: pRule = &mainVars; break;
    case MainParams: pRule = &mainParams; break;
    case MainDistribs: pRule = &mainDistribs; break;
    case MainStats: pRule = &mainStats; break;
    case SubVars: pRule = &subVars; break;
    case SubParams: pRule = &subParams; break;
    case SubDistribs: pRule = &subDistribs; break;
    case SubStats: pRule = &subStats; break;
    default: return;
    }
    std::string_view name(lexer._text.c_str(), lexer._text.length());
    for (unsigned i = 0; i < pRule->nChecks; ++i)
    {
        const Check& c = pRule->checks[i];
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
