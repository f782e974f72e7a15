// The builder object and its build context: construction, binding to a solver's stores,
// the used-variable set, symbol kinds and the pools given back between statements.
#include "RPNDerivParser.h"

#include <sc/MessageKeys.h>

namespace sl
{
template <typename T> RPNDerivParser<T>::RPNDerivParser(SymbolMap& names, ValueArray& values) : Base(names, values) {}

template <typename T> bool RPNDerivParser<T>::markVariableUsed(td::UINT4 index)
{
    if (index >= this->_nVars)
        return false;
    _usedVars.insert(index);
    return true;
}

template <typename T>
void RPNDerivParser<T>::bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    TD_ASSERT(&data == _pSolverData);
    if (level == sc::ModelLevel::Sub)
    {
        TD_ASSERT(data.pSolver && data.pSolver->getParentSolver());
        _parentVarCount = data.pSolver->getParentSolver()->getNumberOfVariables();
        this->setNumberOfParentVariables(_parentVarCount);
    }
    data.pUsedVars = &_usedVars;
    data.pLastUsedVarsForLimits = &_lastUsedVarsForLimits;
    data.pTokenizedModel = pModel;
}

template <typename T> BuildResults RPNDerivParser<T>::results() const
{
    TD_ASSERT(_pSolverData);
    BuildResults r = _pSolverData->results;
    r.nVars = this->_nVars;
    r.nParams = this->_nParams;
    r.nEquations = _nEquations;
    return r;
}

template <typename T> void RPNDerivParser<T>::setStateVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(SymbolInfo::isStateVariable(varType));
    TD_ASSERT(_pSolverData);
    TD_ASSERT(varID >= 0);
    TD_ASSERT(static_cast<td::UINT4>(varID) < this->_nVars);
    _pSolverData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> void RPNDerivParser<T>::setVarType(td::INT4 varID, td::BYTE varType)
{
    TD_ASSERT(!SymbolInfo::isStateVariable(varType));
    TD_ASSERT(_pSolverData);
    TD_ASSERT(varID >= 0);
    TD_ASSERT(static_cast<td::UINT4>(varID) < this->_nVars);
    _pSolverData->stores.symbolInfo[static_cast<std::size_t>(varID)].varType = varType;
}

template <typename T> Evaluator<T>* RPNDerivParser<T>::allocLimitGroup(Groups& groups, cnt::List<Evaluator<T>>& pool,
                                                                       td::UINT4 groupIndex, td::INT4 n, bool enabled)
{
    Evaluator<T>* pFirst = n > 0 ? pool.alloc(static_cast<td::UINT4>(n)) : nullptr;
    LimitGroup<T>& group = groups[groupIndex];
    group.pFirst = pFirst;
    group.n = n > 0 ? static_cast<td::UINT4>(n) : 0;
    group.enabled = enabled ? 1 : 0;
    return pFirst;
}

template <typename T> void RPNDerivParser<T>::releaseTrees()
{
    this->detachTokens();
    this->_pools.rewind();
    _treePool.rewind();
}

template <typename T> typename RPNDerivParser<T>::Tree* RPNDerivParser<T>::newTree()
{
    TD_ASSERT(this->_pSolverData);
    Tree* pTree = _treePool.alloc();
    pTree->reset(this->_pSolverData->treeOption != 0);
    pTree->init(this->_pSolverData, nullptr, this->_nVars);
    return pTree;
}

template <typename T> bool RPNDerivParser<T>::lineError(const char* key, td::UINT4 line, td::UINT4 column) const
{
    this->logKey(key, line, column, sc::ILog::Error);
    return false;
}

template <typename T> typename RPNDerivParser<T>::Place RPNDerivParser<T>::placeOf(const Iterator& it)
{
    td::UINT4 current = it.current;
    if (it.atEnd())
    {
        // Past the group's end: the group's last line.
        if (current == 0)
            return Place{0, 0};
        --current;
    }
    const sc::_tl& l = (*it.pLines)[current];
    return Place{l.line, l.nExpr > 0 ? (*it.pExprTokens)[l.firstExpr].column : 1u};
}

template <typename T> int RPNDerivParser<T>::reservedWord(const Iterator& it)
{
    if (it.atEnd())
        return -1;
    const sc::_tl& l = it.line();
    if (l.nExpr == 0)
        return -1;
    const sc::_TokV& t = (*it.pExprTokens)[l.firstExpr];
    return t.kind == sc::Token::Reserved ? static_cast<int>(t.code) : -1;
}

template <typename T> void RPNDerivParser<T>::beginUsedVars()
{
    _usedVars.clear();
    _collectsUsedVars = 1;
}

template <typename T> bool RPNDerivParser<T>::buildTree(Tree& tree, const Iterator& it)
{
    SolverData<T>& d = *this->_pSolverData;
    const Place at = placeOf(it);
    d.keyLine = at.line;
    d.keyColumn = at.column;
    const bool built = tree.build(this->getFirstToken());
    d.keyLine = d.keyColumn = 0;
    return built;
}

template <typename T> bool RPNDerivParser<T>::compileInto(Tree& tree, const Iterator& it, td::UINT4 first,
                                                          td::BYTE& kind, const char* keyOnTree, td::UINT4 end)
{
    // The trees built before (a switch's earlier cases) keep their tokens.
    this->detachTokens();
    if (!this->compileTokens(it, first, kind, end))
        return false;
    if (buildTree(tree, it))
        return true;
    return keyOnTree ? lineError(keyOnTree, it) : false;
}

// ---- binding a build ----

namespace
{
// The first line of the Model (main) or SubModel group of a level.
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroup(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}
} // namespace

template <typename T> void bindSolverData(SolverData<T>& data, RPNDerivParser<T>& builder,
                                          const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    SolverStores<T>& stores = data.stores;
    builder.bindSolverData(data);
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
            stores.settings.conjugatePartners = builder.hasConjugatePartners() ? 1 : 0;
        return;
    }
    stores.beginBuild(pModel->getNumberOfExpressionsInLevel(level));
    data.namingIndex = pModel->getNamingIndex();
    sc::TokenizedModel::iterator line = modelLine(*pModel, level);
    bool simplify = true;
    line.getAttrib(sc::AttribID::Simplify, simplify);
    data.treeOption = simplify ? 1 : 0;
    if (const td::PoolString* pPivot = line.findAttrib(sc::AttribID::Pivot); pPivot && !(*pPivot == "Diagonal"))
        data.pivotMode = 1;
    // The tokenized road names no conjugate partners.
    if constexpr (ValueTraits<T>::isComplex)
        builder.setConjugatePartners(false);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
template void bindSolverData(SolverData<double>&, RPNDerivParser<double>&, const sc::TokenizedModel*, sc::ModelLevel);
template void bindSolverData(SolverData<std::complex<double>>&, RPNDerivParser<std::complex<double>>&,
                             const sc::TokenizedModel*, sc::ModelLevel);
} // namespace sl
