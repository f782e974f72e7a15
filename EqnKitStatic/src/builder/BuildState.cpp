#include "BuildState.h"

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
    const bool built = tree.build(parser.getFirstToken());
    d.keyLine = d.keyColumn = 0;
    return built;
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

template class BuildState<double>;
template class BuildState<std::complex<double>>;
} // namespace sl
