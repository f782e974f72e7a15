#include <sc/TokenizedModel.h>

#include <fstream>

#include <mu/InputFile.h>
#include <sc/MessageKeys.h>
#include <sc/SCLib.h>
#include <sc/priv/ModelLoader.h>

namespace sc
{
namespace
{
constexpr td::UINT4 cGroupCount = idx(Group::NA);
constexpr td::UINT2 cNoReserved = 0xFFFF;
constexpr int cErrorLimit = 32;

bool openFile(std::ifstream& stream, const td::String& path)
{
    try
    {
        return mu::openInputFile(stream, path.c_str());
    }
    catch (...)
    {
        return false;
    }
}

// The reserved word that starts the line, or none.
td::UINT2 leadingReserved(const TokenLines& lines, const ExprTokens& tokens, td::UINT4 i, bool& empty)
{
    const _tl& l = lines[i];
    empty = l.nExpr == 0;
    if (empty)
        return cNoReserved;
    const _TokV& t = tokens[l.firstExpr];
    return t.kind == Token::Reserved ? t.code : cNoReserved;
}

bool isBlockOpener(td::UINT2 id) { return id != cNoReserved && opensBlock(static_cast<ReservedID>(id)); }
} // namespace

TokenizedModel::TokenizedModel(ILog* pLog, cnt::SafeFullVector<td::Variant>& headerValues, Translator translate,
                               Naming& naming, td::UINT2 namingIndex)
    : _headerValues(headerValues), _translate(translate), _naming(naming), _pLog(pLog), _namingIndex(namingIndex)
{
    resetStores();
}

TokenizedModel::TokenizedModel(TokenizedModel&& other)
    : _headerValues(other._headerValues), _translate(other._translate), _naming(other._naming),
      _exprTokens(other._exprTokens), _attribTokens(other._attribTokens), _mainLines(other._mainLines),
      _subLines(other._subLines), _subGroups(other._subGroups), _mainGroups(other._mainGroups),
      _locationOfVars(other._locationOfVars), _locationOfParams(other._locationOfParams),
      _locationOfDistribs(other._locationOfDistribs), _locationOfStats(other._locationOfStats),
      _locationOfModels(other._locationOfModels), _dTParamIndex(other._dTParamIndex),
      _timeParamIndex(other._timeParamIndex), _nLimits(other._nLimits), _modelInfo(other._modelInfo),
      _pLog(other._pLog), _nVars(other._nVars), _nParams(other._nParams), _nOutVars(other._nOutVars),
      _nOutParams(other._nOutParams), _copyParsRequested(other._copyParsRequested),
      _copyParsCopied(other._copyParsCopied), _nInitialSubProblemParams(other._nInitialSubProblemParams),
      _nHeaderLines(other._nHeaderLines), _namingIndex(other._namingIndex), _isComplex(other._isComplex),
      _metGroups(other._metGroups), _lastGroupLines(other._lastGroupLines), _headerPlace(other._headerPlace),
      _headerValuePlaces(other._headerValuePlaces)
{
    for (unsigned l = 0; l < 2; ++l)
        _modelAttribs[l] = std::move(other._modelAttribs[l]);
    other.resetStores();
}

TokenizedModel::~TokenizedModel() = default;

void TokenizedModel::resetStores()
{
    _exprTokens.clear();
    _attribTokens.clear();
    _mainLines.clear();
    _subLines.clear();
    _subGroups = GroupTable();
    _mainGroups = GroupTable();
    for (unsigned l = 0; l < 2; ++l)
    {
        _modelAttribs[l].clear();
        _locationOfVars[l] = _locationOfParams[l] = _locationOfDistribs[l] = _locationOfStats[l] =
            _locationOfModels[l] = LineLocation();
        _dTParamIndex[l] = _timeParamIndex[l] = -1;
        _nLimits[l] = 0;
        _modelInfo[l] = _MI();
        _metGroups[l] = 0;
        _lastGroupLines[l] = cnt::Array<td::UINT4, 20>();
    }
    _headerPlace = TextPlace();
    _headerValuePlaces = HeaderPlaces();
    _nVars = _nParams = _nOutVars = _nOutParams = 0;
    _copyParsRequested = 0;
    _copyParsCopied = _nInitialSubProblemParams = _nHeaderLines = 0;
    _isComplex = false;
}

LoaderTargets TokenizedModel::targets()
{
    LoaderTargets t;
    t.pModelAttribs = &_modelAttribs;
    t.pVars = &_locationOfVars;
    t.pParams = &_locationOfParams;
    t.pDistribs = &_locationOfDistribs;
    t.pStats = &_locationOfStats;
    t.pModels = &_locationOfModels;
    t.pDTParamIndex = &_dTParamIndex;
    t.pTimeParamIndex = &_timeParamIndex;
    t.pNLimits = &_nLimits;
    return t;
}

void TokenizedModel::initModelLoader(ModelLoader* pLoader)
{
    pLoader->setErrorLimit(cErrorLimit);
    pLoader->setLog(_pLog);
    pLoader->bindVocabulary(_namingIndex);
}

void TokenizedModel::addLogEntry(const ILog::LE& entry, ILog::Type type)
{
    if (_pLog)
        _pLog->showEntry(entry, type);
}

// Header pass, then the structure pass from the header's end; gives the body position,
// or 0 when the header is missing or broken: that ends the load, so that its messages are
// the header's alone, never those of a body read from the text's first line.
td::UINT4 TokenizedModel::readHeadAndStructure(ModelLoader& loader, mu::LineLoader& first, td::MutableString& line)
{
    ModelLoader::HeaderEnd end = loader.readHeader(_headerValues, _headerValuePlaces, line, first);
    if (end.headerLines == 0 || end.bodyPosition == 0)
    {
        loader.report(msg::mlHeaderIncorrectOrMissing, end.start);
        return 0;
    }
    _headerPlace = end.start;
    loader.readStructure(first, line);
    _nHeaderLines = end.headerLines;
    return end.bodyPosition;
}

// A load succeeds only when no error was logged and the text held a model.
bool TokenizedModel::finishLoad(ModelLoader& loader, bool ok)
{
    if (ok && (_metGroups[0] & 1u) == 0)
    {
        loader.report(msg::mlEmptyModel, loader.bodyStart());
        ok = false;
    }
    return ok && loader.getErrorCount() == 0;
}

bool TokenizedModel::loadFromFile(const td::String& path)
{
    resetStores();
    ModelLoader loader(_naming, s_tokenizer, targets(), _translate, s_strComplexAttribValue, true);
    initModelLoader(&loader);
    std::ifstream stream;
    if (!openFile(stream, path))
    {
        loader.reportUnreadableFile();
        return false;
    }
    mu::LineLoader first(0, mu::LineLoader::Source::FileStream);
    first.setOffset(0);
    first.setSource(&stream);
    td::MutableString line;
    td::UINT4 body = readHeadAndStructure(loader, first, line);
    if (body == 0)
        return false;
    int unused = 0;
    if (!loadVarsAndParams(&loader, line, unused))
        return finishLoad(loader, false);
    stream.close();
    std::ifstream again;
    if (!openFile(again, path))
    {
        loader.reportUnreadableFile();
        return false;
    }
    mu::LineLoader second(body, mu::LineLoader::Source::FileStream);
    second.setOffset(body);
    second.setSource(&again);
    return finishLoad(loader, loadContent(&loader, second, line, 0));
}

bool TokenizedModel::loadFromString(const td::String& text)
{
    resetStores();
    ModelLoader loader(_naming, s_tokenizer, targets(), _translate, s_strComplexAttribValue, true);
    initModelLoader(&loader);
    if (_pLog)
        _pLog->reserved0();
    mu::LineLoader first(0, mu::LineLoader::Source::String);
    first.setOffset(0);
    first.setSource(&text);
    td::MutableString line;
    td::UINT4 body = readHeadAndStructure(loader, first, line);
    if (body == 0)
        return false;
    int unused = 0;
    if (!loadVarsAndParams(&loader, line, unused))
        return finishLoad(loader, false);
    mu::LineLoader second(body, mu::LineLoader::Source::String);
    second.setOffset(body);
    second.setSource(&text);
    return finishLoad(loader, loadContent(&loader, second, line, 0));
}

bool TokenizedModel::loadFromEditor(mu::ILineLoader* pEditor, bool reloadNames, Domain)
{
    resetStores();
    ModelLoader loader(_naming, s_tokenizer, targets(), _translate, s_strComplexAttribValue, reloadNames);
    initModelLoader(&loader);
    td::MutableString line;
    mu::LineLoader first(0, mu::LineLoader::Source::Editor);
    first.setOffset(0);
    first.setSource(pEditor);
    if (reloadNames)
    {
        if (!loader.readStructure(first, line))
            return false;
        int unused = 0;
        if (!loadVarsAndParams(&loader, line, unused))
            return finishLoad(loader, false);
    }
    else
    {
        // The names stay; the model lines and time parameters are read again.
        loader.readStructure(first, line, false);
        setCopyCounts(loader);
    }
    mu::LineLoader second(0, mu::LineLoader::Source::Editor);
    second.setOffset(0);
    second.setSource(pEditor);
    return finishLoad(loader, loadContent(&loader, second, line, 0));
}

bool TokenizedModel::loadVarsAndParams(ModelLoader* pLoader, td::MutableString&, int&)
{
    _copyParsRequested = pLoader->getCopyParsCount();
    // Copies come before the positions so that every copied name is listed by index.
    bool ok = pLoader->copyParentParams(_copyParsRequested, _copyParsCopied, _nInitialSubProblemParams);
    _naming.buildNamePositions();
    pLoader->findSubModelTimeParams();
    return ok;
}

void TokenizedModel::setCopyCounts(ModelLoader& loader)
{
    _copyParsRequested = loader.getCopyParsCount();
    td::UINT4 nMain = _naming.getNumberOfParams(ModelLevel::Main);
    td::UINT4 nSub = _naming.getNumberOfParams(ModelLevel::Sub);
    td::INT4 n = _copyParsRequested;
    _copyParsCopied = n == 0 ? 0 : (n > 0 && static_cast<td::UINT4>(n) < nMain ? static_cast<td::UINT4>(n) : nMain);
    _nInitialSubProblemParams = nSub >= _copyParsCopied ? nSub - _copyParsCopied : 0;
    loader.findSubModelTimeParams();
}

bool TokenizedModel::loadContent(ModelLoader* pLoader, mu::LineLoader& loader, td::MutableString& line, int)
{
    _isComplex = pLoader->isComplex();
    _copyParsRequested = pLoader->getCopyParsCount();
    ModelLoader::ContentStores stores{_attribTokens, _exprTokens, _subLines,  _mainLines,
                                      _subGroups,    _mainGroups, _metGroups, _lastGroupLines};
    if (!pLoader->readContent(loader, line, stores, _isComplex))
        return false;
    if (!countExpressions(_mainGroups, _mainLines, ModelLevel::Main) ||
        !countExpressions(_subGroups, _subLines, ModelLevel::Sub))
        return false;
    _isComplex = pLoader->isComplex();
    if (_subGroups[idx(Group::Vars)].nLines != 0 &&
        !pLoader->readModelLine(_subLines, _exprTokens, _attribTokens, _modelInfo[1], _namingIndex))
        return false;
    return pLoader->readModelLine(_mainLines, _exprTokens, _attribTokens, _modelInfo[0], _namingIndex);
}

// Queries ----------------------------------------------------------------------------

TokenizedModel::iterator TokenizedModel::getGroup(Group g, ModelLevel level) const
{
    TD_ASSERT(idx(g) < 20);
    unsigned l = levelIndex(level);
    const _CP& cp = (l == 0 ? _mainGroups : _subGroups)[idx(g)];
    iterator it;
    it.pLines = l == 0 ? &_mainLines : &_subLines;
    it.pExprTokens = &_exprTokens;
    it.pAttribTokens = &_attribTokens;
    it.current = it.end = cp.firstLine;
    if (_metGroups[l] & (1u << idx(g)))
        it.end = _lastGroupLines[l][idx(g)] + 1;
    return it;
}

td::UINT4 TokenizedModel::getNumberOfExpressions(Group g, ModelLevel level) const
{
    TD_ASSERT(idx(g) < 20);
    return (levelIndex(level) == 0 ? _mainGroups : _subGroups)[idx(g)].nExpressions;
}

td::UINT4 TokenizedModel::getNumberOfExpressionsInLevel(ModelLevel level) const
{
    td::UINT4 n = 0;
    for (const _CP& cp : levelIndex(level) == 0 ? _mainGroups : _subGroups)
        n += cp.nExpressions;
    return n;
}

td::UINT4 TokenizedModel::getNumberOfLimits(ModelLevel level) const { return _nLimits[levelIndex(level)]; }

bool TokenizedModel::getHeaderVariantValue(HeaderParam p, td::Variant& out) const
{
    if (p >= HeaderParam::NA)
        return false;
    out = _headerValues[idx(p)];
    return true;
}

int TokenizedModel::getHeaderParamValue(HeaderParam p, int& out) const
{
    if (p >= HeaderParam::NA)
        return 0;
    const td::Variant& v = _headerValues[idx(p)];
    if (v.getType() != td::int4)
        return -1;
    out = v.i4Val();
    return 1;
}

int TokenizedModel::getHeaderParamValue(HeaderParam p, double& out) const
{
    if (p >= HeaderParam::NA)
        return 0;
    const td::Variant& v = _headerValues[idx(p)];
    if (v.getType() != td::real8)
        return -1;
    out = v.r8Val();
    return 1;
}

TextPlace TokenizedModel::getHeaderValuePlace(HeaderParam p) const
{
    return p < HeaderParam::NA ? _headerValuePlaces[idx(p)] : TextPlace();
}

TextPlace TokenizedModel::getGroupPlace(Group g, ModelLevel level) const
{
    const iterator it = getGroup(g, level);
    if (it.atEnd())
        return {};
    const _tl& l = it.line();
    return {l.line, l.nExpr > 0 ? it.exprToken(0).column : 1u};
}

td::String TokenizedModel::getHeaderParamString(HeaderParam p)
{
    if (p >= HeaderParam::NA)
        return {};
    const td::Variant& v = _headerValues[idx(p)];
    return v.getType() == td::string8 ? v.strVal() : td::String();
}

Report TokenizedModel::getReportingType()
{
    const td::Variant& v = _headerValues[idx(HeaderParam::Report)];
    TD_ASSERT(v.getType() == td::int4);
    return static_cast<Report>(v.i4Val() & 0xFF);
}

// Calls f(iterator) for every declaration line of group g that carries out, or once with
// a null line when the group line itself does.
template <typename F> void TokenizedModel::forEachOutLine(Group g, F&& f) const
{
    iterator it = getGroup(g, ModelLevel::Main);
    bool out = false;
    if (it.getAttrib(AttribID::Out, out) && out)
    {
        f(static_cast<const iterator*>(nullptr));
        return;
    }
    for (++it; !it.atEnd(); ++it)
        if (it.getAttrib(AttribID::Out, out) && out)
            f(&it);
}

td::UINT4 TokenizedModel::countOutputs(Group g, td::UINT4 total) const
{
    td::UINT4 n = 0;
    forEachOutLine(g, [&](const iterator* pLine) { n += pLine ? 1 : total; });
    return n;
}

td::UINT4 TokenizedModel::countOutSymbols()
{
    _nVars = _naming.getNumberOfVars(ModelLevel::Main);
    _nParams = _naming.getNumberOfParams(ModelLevel::Main);
    _nOutVars = countOutputs(Group::Vars, _nVars);
    _nOutParams = countOutputs(Group::Params, _nParams);
    return _nOutVars + _nOutParams;
}

void TokenizedModel::populateOutSymbols(cnt::SafeFullVector<_SI>& symbols, unsigned int)
{
    if (_nVars != _nOutVars || _nVars == 0)
        return;
    for (td::UINT4 i = 0; i < _nOutVars; ++i)
        symbols[i].kind = 2;
}

namespace
{
template <typename It> void writeOutIndices(const It* pLine, td::UINT4 total, Token kind, int offset, int*& pOut)
{
    if (!pLine)
    {
        for (td::UINT4 i = 0; i < total; ++i)
            *pOut++ = static_cast<int>(i) + offset;
        return;
    }
    const _tl& l = pLine->line();
    if (l.nExpr == 0)
        return;
    const _TokV& t = (*pLine->pExprTokens)[l.firstExpr];
    if (t.kind == kind)
        *pOut++ = t.code + offset;
}
} // namespace

void TokenizedModel::populateOutVars(int* pOut)
{
    td::UINT4 total = _naming.getNumberOfVars(ModelLevel::Main);
    forEachOutLine(Group::Vars, [&](const iterator* pLine) { writeOutIndices(pLine, total, Token::Var, 0, pOut); });
}

void TokenizedModel::populateOutParams(int* pOut, int offset)
{
    td::UINT4 total = _naming.getNumberOfParams(ModelLevel::Main);
    forEachOutLine(Group::Params,
                   [&](const iterator* pLine) { writeOutIndices(pLine, total, Token::Param, offset, pOut); });
}

// Expression counting and block structure ---------------------------------------------

void TokenizedModel::logCounting(const char* key, const _tl& line) const
{
    ILog::LE entry;
    entry.msg = _translate ? _translate(key) : td::String(key);
    entry.line = line.line;
    entry.col = 1;
    if (line.nExpr > 0)
        entry.col = _exprTokens[line.firstExpr].column;
    else if (line.nAttrib > 0)
        entry.col = _attribTokens[line.firstAttrib].column;
    if (_pLog)
        _pLog->showEntry(entry, ILog::Error);
}

bool TokenizedModel::countExpressions(GroupTable& groups, const TokenLines& lines, ModelLevel level)
{
    for (td::UINT4 g = 0; g < cGroupCount; ++g)
    {
        _CP& cp = groups[g];
        if (g <= idx(Group::Stats) || cp.nLines == 0)
        {
            cp.nExpressions = cp.nLines;
            continue;
        }
        int depth = 0;
        td::UINT4 count = 0;
        for (td::UINT4 i = cp.firstLine + 1; i <= cp.firstLine + cp.nLines && i < lines.size(); ++i)
        {
            bool empty = false;
            td::UINT2 id = leadingReserved(lines, _exprTokens, i, empty);
            const char* error = nullptr;
            if (empty)
                error = msg::ceNoTokensCountExpr;
            else if (id == cNoReserved)
                count += depth == 0;
            else if (isBlockOpener(id))
                count += depth++ == 0;
            else if (id == idx(ReservedID::End))
            {
                if (--depth < 0)
                    error = msg::ceOutOfModel;
            }
            else if (id == idx(ReservedID::Repeat))
            {
                if (g == idx(Group::Repeats))
                    count += depth == 0;
                else
                    error = msg::ceRepeatOnlyInRepeatsGroup;
            }
            else if (id == idx(ReservedID::Main))
            {
                if (level == ModelLevel::Sub)
                    count += depth == 0;
                else
                    error = msg::ceMainRefInMainModel;
            }
            if (error)
            {
                // At the offending statement, as the block queries report.
                logCounting(error, lines[i]);
                return false;
            }
        }
        cp.nExpressions = count;
    }
    return true;
}

ExpressionType TokenizedModel::getExpressionType(const iterator& it, td::UINT2) const
{
    if (it.atEnd())
        return ExpressionType::None;
    bool empty = false;
    td::UINT2 id = leadingReserved(*it.pLines, *it.pExprTokens, it.current, empty);
    if (empty)
        return ExpressionType::None;
    switch (id)
    {
    case cNoReserved: return ExpressionType::Plain;
    case idx(ReservedID::Repeat): return ExpressionType::Repeat;
    case idx(ReservedID::Group): return ExpressionType::Group;
    case idx(ReservedID::If): return ExpressionType::If;
    case idx(ReservedID::Else): return ExpressionType::Else;
    case idx(ReservedID::End): return ExpressionType::End;
    default: return ExpressionType::None;
    }
}

td::UINT4 TokenizedModel::countChildren(const iterator& it, td::UINT2, Group group, ExpressionType type) const
{
    int depth = 0;
    td::UINT4 count = 0;
    for (td::UINT4 i = it.current + 1; i < it.end; ++i)
    {
        bool empty = false;
        td::UINT2 id = leadingReserved(*it.pLines, *it.pExprTokens, i, empty);
        const char* error = nullptr;
        if (empty)
            error = msg::ceNoTokensInExpr;
        else if (id == cNoReserved)
            count += depth == 0;
        else if (isBlockOpener(id))
            count += depth++ == 0;
        else if (id == idx(ReservedID::Else))
        {
            if (depth == 0)
            {
                if (type == ExpressionType::If)
                    return count;
                error = msg::ceElseWoEnd;
            }
        }
        else if (id == idx(ReservedID::End))
        {
            if (depth == 0)
                return count;
            --depth;
        }
        else if (id == idx(ReservedID::Case) || id == idx(ReservedID::Default))
        {
            if (depth == 0)
                return count;
        }
        else if (id == idx(ReservedID::Repeat))
        {
            if (group == Group::Repeats)
                count += depth == 0;
            else
                error = msg::ceRepeatWrongPos;
        }
        else
            error = msg::ceEqStartWReservedKW;
        if (error)
        {
            logCounting(error, (*it.pLines)[i]);
            return 0;
        }
    }
    return 0;
}

td::UINT4 TokenizedModel::countSwitchCases(const iterator& it, td::UINT2, Group group, bool& hasDefault) const
{
    hasDefault = false;
    td::UINT4 count = 0;
    for (td::UINT4 i = it.current + 1; i < it.end; ++i)
    {
        bool empty = false;
        td::UINT2 id = leadingReserved(*it.pLines, *it.pExprTokens, i, empty);
        const char* error = nullptr;
        if (empty)
            error = msg::ceNoTokensInExpr;
        else if (id == cNoReserved)
            continue;
        else if (id == idx(ReservedID::Case) || id == idx(ReservedID::Default))
        {
            bool isDefault = id == idx(ReservedID::Default);
            if (hasDefault)
                error = isDefault ? msg::ceDblDefaultInCase : msg::ceCaseAfterDefault;
            else
            {
                hasDefault = isDefault;
                ++count;
            }
        }
        else if (id == idx(ReservedID::End))
            return count;
        else if (id == idx(ReservedID::Repeat))
        {
            if (group != Group::Repeats)
                error = msg::ceRepeatWrongPos;
        }
        else
            error = msg::ceEqStartWReservedKW;
        if (error)
        {
            logCounting(error, (*it.pLines)[i]);
            return 0;
        }
    }
    return 0;
}
} // namespace sc
