#include "BuildState.h"

#include <string>

#include <sc/MessageKeys.h>

namespace sl
{
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroup(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}

template <typename T>
void BuildState<T>::bindSolverData(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    SolverStores<T>& stores = data.stores;
    bindSolverData(data);
    stores.bind(data.pSolver);
    data.pLog = data.pSolver->getLog();
    data.pivotMode = 0;
    stores.settings.pivot = 0;
    TD_ASSERT(level == sc::ModelLevel::Main || level == sc::ModelLevel::Sub);

    if (!pModel)
    {
        stores.beginBuild(0);
        data.treeOption = 1;
        if constexpr (ValueTraits<T>::isComplex)
            stores.settings.conjugatePartners = hasConjugatePartners() ? 1 : 0;
        return;
    }
    // The declarations' start values and parameter values make no records of the pool: a
    // block sized for them would hold a record's worth of zeros for each.
    const td::UINT4 nDeclared = pModel->getNumberOfExpressions(sc::Group::Vars, level) +
                                pModel->getNumberOfExpressions(sc::Group::Params, level);
    stores.beginBuild(pModel->getNumberOfExpressionsInLevel(level) - nDeclared);
    data.namingIndex = pModel->getNamingIndex();
    sc::TokenizedModel::iterator line = modelLine(*pModel, level);
    bool simplify = true;
    line.getAttrib(sc::AttribID::Simplify, simplify);
    data.treeOption = simplify ? 1 : 0;
    if (const td::PoolString* pPivot = line.findAttrib(sc::AttribID::Pivot); pPivot && !(*pPivot == "Diagonal"))
        data.pivotMode = 1;
    // The tokenized road names no conjugate partners.
    if constexpr (ValueTraits<T>::isComplex)
        setConjugatePartners(false);
}

template <typename T> typename BuildState<T>::Tree* BuildState<T>::newTree()
{
    TD_ASSERT(_pData);
    Tree* pTree = _treePool.alloc();
    pTree->reset(_pData->treeOption != 0);
    pTree->init(_pData, nullptr, getNumVariables());
    return pTree;
}

template <typename T> void BuildState<T>::releaseTrees()
{
    parser.detachTokens();
    parser.rewindPools();
    _treePool.rewind();
}

template <typename T> void BuildState<T>::setStateVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(SymbolInfo::isStateVariable(varType));
    TD_ASSERT(_pData);
    TD_ASSERT(varID >= 0);
    const td::UINT4 nVars = getNumVariables();
    TD_ASSERT(static_cast<td::UINT4>(varID) < nVars);
    _pData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> void BuildState<T>::setVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(!SymbolInfo::isStateVariable(varType));
    TD_ASSERT(_pData);
    TD_ASSERT(varID >= 0);
    const td::UINT4 nVars = getNumVariables();
    TD_ASSERT(static_cast<td::UINT4>(varID) < nVars);
    _pData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> td::UINT2 BuildState<T>::getNumberOfStages() const
{
    const td::BYTE method = _pData ? _pData->results.IntegrationMethod : 1;
    return method == 2 ? 2 : method == 3 ? 3 : 0;
}

template <typename T> bool BuildState<T>::lineError(const char* key, const Place& at) const
{
    parser.logKey(key, at.line, at.column, sc::ILog::Error);
    return false;
}

template <typename T> void BuildState<T>::lineWarning(const char* key, const Place& at) const
{
    parser.logKey(key, at.line, at.column, sc::ILog::Warning);
}

template <typename T>
bool BuildState<T>::countError(const char* key, const Place& at, td::UINT4 nVariables, td::UINT4 nEquations) const
{
    const std::string variables = std::to_string(nVariables) + (nVariables == 1 ? " variable" : " variables");
    const std::string equations = std::to_string(nEquations) + (nEquations == 1 ? " equation" : " equations");
    data().reportKey(key, at.line, at.column, variables.c_str(), equations.c_str());
    return false;
}

template <typename T> bool BuildState<T>::buildTree(Tree& tree, const Iterator& it)
{
    SolverData<T>& d = data();
    const Place at = placeOf(it);
    d.keyLine = at.line;
    d.keyColumn = at.column;
    tree.setLine(at.line);
    const bool built = tree.build(parser.getFirstToken());
    d.keyLine = d.keyColumn = 0;
    return built;
}

template <typename T> bool BuildState<T>::refusesComparison(const Tree& tree) const
{
    const Tree* pFound = tree.findComparisonEquation();
    if (!pFound)
        return false;
    const Token<T>& comparison = *pFound->getRoot()->pToken;
    lineError(sc::msg::scComparisonAsEquation, Place{pFound->getLine(), comparison.column});
    return true;
}

template <typename T> bool BuildState<T>::compileInto(Tree& tree, const Iterator& it, td::UINT4 first, td::BYTE& kind,
                                                      const char* keyOnTree, td::UINT4 end)
{
    // The trees built before (a switch's earlier cases) keep their tokens.
    parser.detachTokens();
    if (!parser.compileTokens(it, first, kind, end))
        return false;
    if (buildTree(tree, it))
        return true;
    return keyOnTree ? lineError(keyOnTree, it) : false;
}

template <typename T> bool BuildState<T>::xmlError(const char* text) const
{
    data().addError(text);
    return false;
}

namespace
{
// Starts an entry at the element's line (else the entry line) in the current section;
// null without a log.
ErrorLog* beginElementEntry(const ReportCursor& d, td::UINT4 elementLine)
{
    if (!d.pErrorLog)
        return nullptr;
    d.beginEntry(elementLine != 0 ? elementLine : d.entryLine(), d.currentSection);
    return d.pErrorLog;
}
} // namespace

template <typename T> bool BuildState<T>::parseXml(const char* text, const XmlPositions& at)
{
    data().clearHeldKey();
    if (!parser.parse(text))
        return false;
    at.apply(parser.getFirstToken());
    return true;
}

template <typename T>
bool BuildState<T>::xmlExpressionError(const char* text, const char* shown, bool withPosition) const
{
    const SolverData<T>& d = data();
    ErrorLog* pLog = beginElementEntry(d, d.xmlLine);
    if (!pLog)
        return false;
    appendSubstituted(*pLog, text, shown);
    const ReportCursor::HeldKey& held = d.heldKey;
    if (!held.key)
        return false;
    pLog->append(" (");
    pLog->append(held.key);
    if (!held.args.isEmpty())
    {
        pLog->append(": ");
        pLog->append(held.args);
    }
    if (withPosition && held.column != 0)
    {
        pLog->append(" at position ");
        pLog->append(held.column);
    }
    pLog->append(')');
    return false;
}

template <typename T> bool BuildState<T>::xmlRefusesComparison(const Tree& tree, const char* shown) const
{
    const Tree* pFound = tree.findComparisonEquation();
    if (!pFound)
        return false;
    const Token<T>& comparison = *pFound->getRoot()->pToken;
    if (ErrorLog* pLog = beginElementEntry(data(), data().xmlLine))
        appendSubstituted(*pLog, sc::msg::txtComparisonAsEquation, Token<T>::printName(comparison.type),
                          static_cast<td::UINT4>(comparison.column), shown);
    return true;
}

template class BuildState<double>;
template class BuildState<std::complex<double>>;
} // namespace sl
