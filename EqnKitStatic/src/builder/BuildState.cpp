#include "BuildState.h"

#include <sc/MessageKeys.h>

namespace sl
{
template <typename T> BuildState<T>::BuildState(SymbolMap& names, ValueArray& values) : parser(names, values)
{
    parser.setUsedVariables(this);
}

template <typename T> bool BuildState<T>::markVariableUsed(td::UINT4 index)
{
    if (index >= nVars())
        return false;
    usedVars.insert(index);
    return true;
}

template <typename T> void BuildState<T>::beginUsedVars()
{
    usedVars.clear();
    collecting = 1;
}

template <typename T> typename BuildState<T>::Tree* BuildState<T>::newTree()
{
    TD_ASSERT(pData);
    Tree* pTree = treePool.alloc();
    pTree->reset(pData->treeOption != 0);
    pTree->init(pData, nullptr, nVars());
    return pTree;
}

template <typename T> void BuildState<T>::releaseTrees()
{
    parser.detachTokens();
    parser.rewindPools();
    treePool.rewind();
}

template <typename T> void BuildState<T>::setStateVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(SymbolInfo::isStateVariable(varType));
    TD_ASSERT(pData);
    TD_ASSERT(varID >= 0);
    TD_ASSERT(static_cast<td::UINT4>(varID) < nVars());
    pData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> void BuildState<T>::setVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(!SymbolInfo::isStateVariable(varType));
    TD_ASSERT(pData);
    TD_ASSERT(varID >= 0);
    TD_ASSERT(static_cast<td::UINT4>(varID) < nVars());
    pData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> td::UINT2 BuildState<T>::getNumberOfStages() const
{
    const td::BYTE method = pData ? pData->results.IntegrationMethod : 1;
    return method == 2 ? 2 : method == 3 ? 3 : 0;
}

template <typename T> bool BuildState<T>::lineError(const char* key, td::UINT4 line, td::UINT4 column) const
{
    parser.logKey(key, line, column, sc::ILog::Error);
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
    lineError(sc::msg::scComparisonAsEquation, pFound->getLine(), comparison.column);
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
    beginErrorEntry(*d.pErrorLog, elementLine != 0 ? elementLine : d.entryLine(), d.currentSection);
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
    ErrorLog* pLog = beginElementEntry(d, xmlLine);
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
    if (ErrorLog* pLog = beginElementEntry(data(), xmlLine))
        appendSubstituted(*pLog, sc::msg::txtComparisonAsEquation, Token<T>::printName(comparison.type),
                          static_cast<td::UINT4>(comparison.column), shown);
    return true;
}

template class BuildState<double>;
template class BuildState<std::complex<double>>;
} // namespace sl
