#include <sc/priv/ModelLoader.h>

#include <cstring>

#include <sc/MessageKeys.h>

namespace sc
{
ModelLoader::ModelLoader(Naming& naming, TokenizerBase<1>& tokenizer, const Targets& targets, Translator translate,
                         const td::String& complexWord, bool cleanFirst)
    : _pNaming(&naming), _pStrings(naming.getStringMemManager()), _pDuplicates(naming.getDuplicatedVarsAndParams()),
      _pTokenizer(&tokenizer), _targets(targets), _translate(translate), _strComplexAttribValue(complexWord)
{
    if (cleanFirst)
        naming.clean();
    for (unsigned k = 0; k < 4; ++k)
    {
        _pMaps[0][k] = naming.getUserLabels() + k;
        _pMaps[1][k] = naming.getUserSubModelLabels() + k;
    }
}

void ModelLoader::bindVocabulary(td::UINT2 namingIndex)
{
    _pRealFunctions = &s_commonFunctions[namingIndex][idx(FunctionSet::Real)];
    _pComplexFunctions = &s_commonFunctions[namingIndex][idx(FunctionSet::Complex)];
    _pReserved = &s_commonReservedMaps[namingIndex];
    _pGroups = &s_commonGroupMaps[namingIndex];
    _pAttribs = &s_commonAttribMaps[namingIndex];
}

void ModelLoader::bindLexer(TokenizerBase<1>& lex, bool complex) const
{
    lex.bind(_pRealFunctions, _pComplexFunctions, _pReserved, _pGroups, _pAttribs, &s_specialConstantMap);
    lex._complex = complex;
}

td::PoolString ModelLoader::pooled(const char* text, td::UINT4 len) const
{
    td::PoolString s;
    td::PoolString::allocateIn(*_pStrings, s, len, text);
    return s;
}

td::String ModelLoader::translate(const char* key) const { return _translate ? _translate(key) : td::String(key); }

void ModelLoader::report(const char* key, td::UINT4 line, td::UINT4 column, ILog::Type type, const char* name,
                         bool limited, const char* tokenText)
{
    if (type == ILog::Error)
        ++_nErrors;
    if (!_pLog)
        return;
    // The structure pass and the statement pass may find the same fault: it is told once.
    for (const Shown& s : _shown)
    {
        if (s.line == line && s.column == column && std::strcmp(s.key, key) == 0)
            return;
    }
    _shown.push({key, line, column});
    if (limited && _pLog->reserved10() >= static_cast<td::UINT4>(_errorLimit))
        return;
    ILog::LE entry;
    td::String text = translate(key);
    if (name)
        entry.msg.format("%s (%s)", text.c_str(), name);
    else if (tokenText)
        entry.msg.format("%s:%s", text.c_str(), tokenText);
    else
        entry.msg = text;
    entry.line = line;
    entry.col = column;
    _pLog->showEntry(entry, type);
}

void ModelLoader::reportUnreadableFile()
{
    ++_nErrors;
    if (_pLog)
        _pLog->showKey(msg::mlCannotOpenFile, ILog::Error);
}

namespace
{
int findName(const Naming::SymbolMap* pMap, std::string_view name)
{
    if (!pMap)
        return -1;
    auto it = pMap->find(name);
    return it == pMap->end() ? -1 : static_cast<int>(it->second);
}
} // namespace

bool ModelLoader::copyParentParams(td::INT4 requested, td::UINT4& copied, td::UINT4& initial)
{
    Naming::SymbolMap& subParams = *map(ModelLevel::Sub, UserLabel::Param);
    const td::UINT4 nMain = _pNaming->getNumberOfParams(ModelLevel::Main);
    initial = static_cast<td::UINT4>(subParams.size());
    copied = 0;
    if (requested == 0)
        return true;
    td::UINT4 n =
        requested > 0 && static_cast<td::UINT4>(requested) < nMain ? static_cast<td::UINT4>(requested) : nMain;
    // The positions are not built yet: order the main parameters by their index.
    cnt::SafeFullVector<const td::PoolString*> byIndex(nMain);
    for (const auto& [name, pos] : *map(ModelLevel::Main, UserLabel::Param))
        byIndex[pos] = &name;
    bool ok = true;
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const td::PoolString* pName = byIndex[i];
        if (!pName || pName->isEmpty())
        {
            // At the sub-model's line, whose copyPars asks for the copies.
            report(msg::scEmpryParamName, TextPlace{(*_targets.pModels)[1].location, 1});
            return false;
        }
        std::string_view name = NameHash::view(*pName);
        int clashAt = -1;
        unsigned k = 0;
        for (; k < 4 && clashAt < 0; ++k)
            clashAt = findName(map(ModelLevel::Sub, static_cast<UserLabel>(k)), name);
        if (clashAt >= 0)
        {
            // The sub-model's own entry stays; the message points at its declaration.
            const cnt::PushBackVector<Place>& places = _subPlaces[k - 1];
            const Place at =
                static_cast<std::size_t>(clashAt) < places.size() ? places[static_cast<std::size_t>(clashAt)] : Place{};
            report(msg::mlCopiedParDDInSubModel, at.line, at.column, ILog::Error, pName->c_str(), false);
            ok = false;
            continue;
        }
        subParams.emplace(*pName, static_cast<unsigned>(subParams.size()));
    }
    copied = n;
    return ok;
}

void ModelLoader::findSubModelTimeParams()
{
    const Naming::SymbolMap* pParams = map(ModelLevel::Sub, UserLabel::Param);
    (*_targets.pDTParamIndex)[1] = findName(pParams, "dT");
    (*_targets.pTimeParamIndex)[1] = findName(pParams, "t");
}

// A dynamic main model has the parameters dT and t; missing ones follow the declared
// parameters (when add is set).
void ModelLoader::findOrAddTimeParams(bool add)
{
    Naming::SymbolMap* pParams = map(ModelLevel::Main, UserLabel::Param);
    auto entry = [&](const char* name) {
        int pos = findName(pParams, name);
        if (pos >= 0 || !add)
            return pos;
        pos = static_cast<int>(pParams->size());
        pParams->emplace(pooled(name, static_cast<td::UINT4>(std::strlen(name))), static_cast<unsigned>(pos));
        return pos;
    };
    (*_targets.pDTParamIndex)[0] = entry("dT");
    (*_targets.pTimeParamIndex)[0] = entry("t");
}
} // namespace sc
