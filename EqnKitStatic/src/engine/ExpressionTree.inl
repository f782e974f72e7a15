// The members of the expression tree: construction, binding, node statistics, the entry
// of differentiation and messages here, each phase in a file of its own included at the
// end. ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate the class over all
// of them, once for each value type.
#include "ExpressionTree.h"

#include <cstdio>

#include <sc/MessageKeys.h>

#include "Differentiator.h"
#include "ETNodeKinds.h"
#include "FunctionTraits.h"
#include "ISolverServices.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;

// ---- construction and binding ----

template <typename T> ExpressionTree<T>::ExpressionTree() { reset(true); }

template <typename T>
ExpressionTree<T>::ExpressionTree(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars, bool simplify)
{
    reset(simplify);
    bindContext(pContext, pLimits, nVars);
}

template <typename T> ExpressionTree<T>::ExpressionTree(const ExpressionTree& other)
{
    reset(true);
    TD_ASSERT(other._pMemMgr);
    bindContext(other._pContext, other._pLimits, other._nVars);
    _printMode = other._printMode;
    // A part built apart reports where the build of the whole stands until it walks on.
    _walkColumn = other._walkColumn;
    _line = other._line;
}

template <typename T>
void ExpressionTree<T>::bindContext(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars)
{
    TD_ASSERT(pContext);
    _pContext = pContext;
    ParserPools<T>* pPools = pContext->pParserPools;
    _pMemMgr = pPools ? &pPools->nodes : nullptr;
    TD_ASSERT(_pMemMgr);
    TD_ASSERT(pContext->pMemMgrETN);
    _pTokenPool = &pPools->treeTokens;
    _pEvaluatorPool = pContext->pEvaluatorPool;
    _operatorStack.bindPool(pContext->pMemMgrETN);
    _rootStack.bindPool(pContext->pMemMgrETN);
    _multiParamFnStack.bindPool(&pPools->brackets);
    _pLimits = pLimits ? pLimits : (pContext->pSolver ? pContext->pSolver->getFnLimits() : nullptr);
    _nVars = nVars;
}

template <typename T> void ExpressionTree<T>::init(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars)
{
    bindContext(pContext, pLimits, nVars);
    zeroCounts();
}

template <typename T> void ExpressionTree<T>::reset(bool simplify)
{
    _pMemMgr = nullptr;
    _pTokenPool = nullptr;
    _pEvaluatorPool = nullptr;
    _pContext = nullptr;
    _pEvaluator = nullptr;
    _pLimits = nullptr;
    _pCondET = _pThenET = _pElseET = nullptr;
    _operatorStack.clear();
    _rootStack.clear();
    _multiParamFnStack.clear();
    zeroCounts();
    _nVars = 0;
    _targetIndex = -1;
    _targetPart = 0;
    _type = Type::Plain;
    _line = 0;
    _printMode = 0;
    _simplify = simplify;
    _targetIsParent = false;
    _assignOp = '=';
    _nodesLeft = cNoNodeLimit;
    _buildDepth = 0;
    _nestingRefused = false;
    _simplifyDepth = 0;
}

// ---- statistics ----

template <typename T> void ExpressionTree<T>::zeroCounts()
{
    _nConsts = _nVarRefs = _nParamRefs = _nTokens = 0;
    _countsStale = false;
}

template <typename T> const ExpressionTree<T>& ExpressionTree<T>::freshCounts() const
{
    if (!_countsStale)
        return *this;
    _nConsts = _nVarRefs = _nParamRefs = _nTokens = 0;
    _countsStale = false;
    countNode(getRoot());
    return *this;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::getRoot() const
{
    return _rootStack.isEmpty() ? nullptr : const_cast<NodeStack&>(_rootStack).top();
}

template <typename T> void ExpressionTree<T>::pushRoot(Node* pNode)
{
    _rootStack.push(pNode);
    recount();
}

template <typename T> void ExpressionTree<T>::replaceRoot(Node* pNode)
{
    if (_rootStack.isEmpty())
        _rootStack.push(pNode);
    else
        _rootStack.top() = pNode;
    recount();
}

// ---- differentiation ----

template <typename T> bool ExpressionTree<T>::differentiate(ExpressionTree& out, td::UINT4 v)
{
    return Differentiator<T>(*this, v).differentiate(out);
}

// ---- queries ----

template <typename T> td::UINT4 ExpressionTree<T>::countFunctionTokens(const TokNode* pFirst, td::BYTE functionID)
{
    td::UINT4 n = 0;
    for (const TokNode* p = pFirst; p; p = p->pNext)
        n += p->token.type == C::FUNCTION && p->token.functionID() == functionID;
    return n;
}

template <typename T> bool ExpressionTree<T>::hasNoSymbolTokens(const TokNode* pFirst)
{
    for (const TokNode* p = pFirst; p; p = p->pNext)
    {
        td::BYTE type = p->token.type;
        if (type == C::IDENTIFIER || isSymbolType(type))
            return false;
    }
    return true;
}

namespace
{
template <typename T>
bool freeOfVars(const ETNode<T>* pRoot, const ETNode<T>* pExcluded, td::UINT4 nVars, td::INT4 timeIndex)
{
    return visitPreorder(pRoot, [=](const ETNode<T>* p) {
        if (p == pExcluded)
            return WalkStep::Skip;
        const Token<T>& t = *p->pToken;
        if (isOwnVariable(t, nVars))
            return WalkStep::Stop;
        if (timeIndex >= 0 && isSymbolType(t.type) && isOwn(t) && t.index == static_cast<td::UINT4>(timeIndex))
            return WalkStep::Stop;
        return WalkStep::Descend;
    });
}
} // namespace

template <typename T> bool ExpressionTree<T>::isFreeOfVars(const Node* pExcluded, td::INT4 i) const
{
    td::INT4 timeIndex = static_cast<td::INT4>(_nVars) + i;
    return freeOfVars(getRoot(), pExcluded, _nVars, timeIndex);
}

template <typename T> const ExpressionTree<T>* ExpressionTree<T>::findComparisonEquation() const
{
    // The cases of a switch are a chain through their else slots; the branches of an if
    // nest no deeper than a model's blocks may.
    for (const ExpressionTree* pTree = this; pTree;)
    {
        switch (pTree->_type)
        {
        case Type::Plain:
        {
            const Node* pRoot = pTree->getRoot();
            return pRoot && isComparison(pRoot->pToken->type) ? pTree : nullptr;
        }
        case Type::IfThenElse:
            for (const ExpressionTree* pBranch : {pTree->_pThenET, pTree->_pElseET})
            {
                if (const ExpressionTree* pFound = pBranch ? pBranch->findComparisonEquation() : nullptr)
                    return pFound;
            }
            return nullptr;
        case Type::SwitchCase:
            if (const ExpressionTree* pFound = pTree->_pThenET ? pTree->_pThenET->findComparisonEquation() : nullptr)
                return pFound;
            pTree = pTree->_pElseET;
            break;
        }
    }
    return nullptr;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::findParent(const Node* pNode, Node* pFrom)
{
    Node* pFound = nullptr;
    visitPreorder(pFrom, [pNode, &pFound](Node* p) {
        if (p == pNode)
            return WalkStep::Skip;
        if (p->pLeftNode != pNode && p->pRightNode != pNode)
            return WalkStep::Descend;
        pFound = p;
        return WalkStep::Stop;
    });
    return pFound;
}

template <typename T> void ExpressionTree<T>::detachNode(Node* pNode)
{
    // The count of the tree before the change, less the node.
    freshCounts();
    Node* pRoot = getRoot();
    if (pNode == pRoot)
        _rootStack.top() = pNode->pLeftNode;
    else
    {
        Node* parentNode = findParent(pNode, pRoot);
        TD_ASSERT(parentNode);
        (parentNode->pLeftNode == pNode ? parentNode->pLeftNode : parentNode->pRightNode) = pNode->pLeftNode;
    }
    TD_ASSERT(_nTokens > 1);
    --_nTokens;
}

template <typename T> void ExpressionTree<T>::clearChildLink(Node* pParent, const Node* pNode)
{
    if (pParent->pLeftNode == pNode)
        pParent->pLeftNode = nullptr;
    else if (pParent->pRightNode == pNode)
        pParent->pRightNode = nullptr;
    else
        TD_ASSERT(false);
}

template <typename T> bool ExpressionTree<T>::equal(const Node* pA, const Node* pB)
{
    WalkStack<std::pair<const Node*, const Node*>> todo;
    todo.push({pA, pB});
    while (!todo.isEmpty())
    {
        auto [pX, pY] = todo.top();
        todo.pop();
        if (!pX || !pY)
        {
            if (pX != pY)
                return false;
            continue;
        }
        const Tok& a = *pX->pToken;
        const Tok& b = *pY->pToken;
        if (a.type != b.type || !(a.value == b.value))
            return false;
        if ((isSymbolType(a.type) || a.type == C::FUNCTION) && a.index != b.index)
            return false;
        if (isSymbolType(a.type) && a.symbolOrigin != b.symbolOrigin)
            return false;
        todo.push({pX->pRightNode, pY->pRightNode});
        todo.push({pX->pLeftNode, pY->pLeftNode});
    }
    return true;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::copy(const Node* pNode)
{
    return copy(pNode, nullptr, nullptr);
}

template <typename T>
typename ExpressionTree<T>::Node* ExpressionTree<T>::copy(const Node* pNode, const Node* pTarget, Node* pReplacement)
{
    Node* pCopy = nullptr;
    // Each entry: a node to copy and the link that receives its copy.
    WalkStack<std::pair<const Node*, Node**>> todo;
    todo.push({pNode, &pCopy});
    while (!todo.isEmpty())
    {
        auto [pFrom, ppLink] = todo.top();
        todo.pop();
        if (!pFrom || (pTarget && pFrom == pTarget))
        {
            *ppLink = pFrom ? pReplacement : nullptr;
            continue;
        }
        Node* pNew = newNode();
        *pNew->pToken = *pFrom->pToken;
        pNew->leftTag = pFrom->leftTag;
        pNew->rightTag = pFrom->rightTag;
        *ppLink = pNew;
        todo.push({pFrom->pRightNode, &pNew->pRightNode});
        todo.push({pFrom->pLeftNode, &pNew->pLeftNode});
    }
    return pCopy;
}

template <typename T> void ExpressionTree<T>::makeStageUpdate(td::UINT4 i, td::UINT4 k)
{
    freshCounts();
    TD_ASSERT(_nTokens > 0);
    Node* pRoot = getRoot();
    Node* pScaled = newOperator(C::MUL, newSymbol(k), pRoot);
    Node* pDelta = newOperator(C::SUB, pScaled, newSymbol(i));
    _rootStack.top() = newOperator(C::ADD, newSymbol(_nVars + i), pDelta);
    _nTokens += 6;
    _nParamRefs += 2;
    _nVarRefs += 1;
}

template <typename T> td::BYTE ExpressionTree<T>::functionArity(td::BYTE functionID)
{
    return functionTraits<T>(functionID).arity;
}

// ---- node services ----

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::newNode()
{
    TD_ASSERT(_pMemMgr);
    if (_nodesLeft != cNoNodeLimit)
    {
        if (_nodesLeft == 0)
            throw NodeLimitReached{};
        --_nodesLeft;
    }
    Node* pNode = _pMemMgr->alloc();
    TD_ASSERT(pNode);
    pNode->pToken = _pTokenPool->alloc();
    TD_ASSERT(pNode->pToken);
    *pNode->pToken = Tok();
    pNode->pLeftNode = pNode->pRightNode = nullptr;
    pNode->leftTag = pNode->rightTag = 0;
    return pNode;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::newLiteral(td::BYTE type, const T& value)
{
    Node* pNode = newNode();
    pNode->pToken->type = type;
    pNode->pToken->value = value;
    return pNode;
}

template <typename T>
typename ExpressionTree<T>::Node* ExpressionTree<T>::newSymbol(td::UINT4 index, sc::SymbolOrigin origin)
{
    Node* pNode = newNode();
    pNode->pToken->type = C::SYMBOL;
    pNode->pToken->index = index;
    pNode->pToken->symbolOrigin = origin;
    return pNode;
}

template <typename T>
typename ExpressionTree<T>::Node* ExpressionTree<T>::newOperator(td::BYTE code, Node* pLeft, Node* pRight)
{
    Node* pNode = newNode();
    if (code >= C::cFirstFunction)
    {
        pNode->pToken->type = C::FUNCTION;
        pNode->pToken->index = code;
    }
    else
        pNode->pToken->type = code;
    pNode->pLeftNode = pLeft;
    pNode->pRightNode = pRight;
    pNode->leftTag = height(pLeft);
    pNode->rightTag = height(pRight);
    return pNode;
}

namespace
{
// First node of a chain (ops a and b) with a literal operand: its left operand, the left
// subtree, its right operand, the right subtree; the right side of b is inverted.
template <typename T> ETNode<T>* findChainLiteral(ETNode<T>* pChain, td::BYTE a, td::BYTE b, bool& inverted)
{
    struct Entry
    {
        ETNode<T>* p;
        bool inverted;
        // Test the node's right operand (its left subtree has been searched).
        bool rightOperand;
    };
    WalkStack<Entry> todo;
    todo.push({pChain, inverted, false});
    while (!todo.isEmpty())
    {
        const Entry e = todo.top();
        todo.pop();
        ETNode<T>* p = e.p;
        if (e.rightOperand)
        {
            if (!isLiteral(p->pRightNode))
                continue;
            inverted = e.inverted;
            return p;
        }
        if (!p || (p->pToken->type != a && p->pToken->type != b))
            continue;
        if (isLiteral(p->pLeftNode))
        {
            inverted = e.inverted;
            return p;
        }
        const bool rightInverted = e.inverted != (p->pToken->type == b);
        todo.push({p->pRightNode, rightInverted, false});
        todo.push({p, rightInverted, true});
        todo.push({p->pLeftNode, e.inverted, false});
    }
    return nullptr;
}
} // namespace

template <typename T>
typename ExpressionTree<T>::Node* ExpressionTree<T>::findLiteralFactor(Node* pNode, bool& inverted)
{
    return findChainLiteral(pNode, C::MUL, C::DIV, inverted);
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::findLiteralTerm(Node* pNode, bool& inverted)
{
    return findChainLiteral(pNode, C::ADD, C::SUB, inverted);
}

namespace
{
template <typename T> ETNode<T>* findIntegral(ETNode<T>* pRoot)
{
    WalkStack<ETNode<T>*> todo;
    todo.push(pRoot);
    while (!todo.isEmpty())
    {
        ETNode<T>* p = todo.top();
        todo.pop();
        if (!p)
            continue;
        if (isFunction(p, C::INTEGRAL))
            return p;
        // Both factors of a product, the numerator of a quotient.
        if (isType(p, C::MUL))
            todo.push(p->pRightNode);
        if (isType(p, C::MUL) || isType(p, C::DIV))
            todo.push(p->pLeftNode);
    }
    return nullptr;
}
} // namespace

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::findIntegralFn() const
{
    return findIntegral(getRoot());
}

template <typename T> bool ExpressionTree<T>::containsStateVariable(const Node* pNode, td::BYTE tokenType) const
{
    TD_ASSERT(_pContext);
    TD_ASSERT(_pContext->pSymbolInfo);
    const bool notFound = visitPreorder(pNode, [this, tokenType](const Node* p) {
        const Tok& t = *p->pToken;
        if (t.type == tokenType && isOwn(t) && t.index < _nVars &&
            SymbolInfo::isStateVariable((*_pContext->pSymbolInfo)[t.index].varType))
            return WalkStep::Stop;
        return WalkStep::Descend;
    });
    return !notFound;
}

template <typename T> bool ExpressionTree<T>::checkSymbol(const Tok& t) const
{
    readValueCounts();
    return symbolInRange(t);
}

template <typename T> bool ExpressionTree<T>::symbolInRange(const Tok& t) const
{
    if (t.index < (isOwn(t) ? _nOwnValues : _nParentValues))
        return true;
    char number[16];
    std::snprintf(number, sizeof(number), "%u", t.index);
    reportFormatted(sc::msg::etSymbolOutOfIndex, number);
    return false;
}

template <typename T> void ExpressionTree<T>::readValueCounts() const
{
    _nOwnValues = _nParentValues = cNoValueLimit;
    ISolverServices<T>* pSolver = _pContext ? _pContext->pSolver : nullptr;
    if (!pSolver)
        return;
    _nOwnValues = pSolver->getNumberOfValues();
    ISolverServices<T>* pParent = pSolver->getParentSolver();
    _nParentValues = pParent ? pParent->getNumberOfValues() : 0;
}

// ---- messages ----

namespace
{
const char* kindName(td::BYTE type)
{
    switch (type)
    {
    case C::LAPLACE: return "s:LaplaceOperator";
    case 18: return "\"";
    case C::END_OF_STATEMENT: return ";";
    case C::COLON: return ":";
    case C::DOT: return ".";
    case C::COMMA: return ",";
    case C::END_OF_TEXT: return "EoLn";
    case 26: return "EqStart";
    case 28: return "EmptyLn";
    case C::OPEN_BRACKET: return "[";
    case C::CLOSE_BRACKET: return "]";
    default: return "NEDEF";
    }
}
} // namespace

template <typename T> void ExpressionTree<T>::reportUnexpectedToken(td::BYTE type) const
{
    char number[8];
    std::snprintf(number, sizeof(number), "%u", static_cast<unsigned>(type));
    reportFormatted(sc::msg::etUnexpTokenID, number, kindName(type));
}

template <typename T> td::UINT4 ExpressionTree<T>::reportColumn() const
{
    return _walkColumn != 0 ? _walkColumn : _pContext->keyColumn;
}

template <typename T> td::UINT4 ExpressionTree<T>::reportLine() const
{
    // A token's column is on the line of the tree's statement; the key column on the key line.
    return _walkColumn != 0 && _line != 0 ? _line : _pContext->keyLine;
}

template <typename T> void ExpressionTree<T>::reportAt(const char* key) const
{
    if (_pContext)
        _pContext->reportKey(key, reportLine(), reportColumn());
}

template <typename T> void ExpressionTree<T>::reportFormatted(const char* key, const char* arg) const
{
    if (_pContext)
        _pContext->reportKey(key, reportLine(), reportColumn(), arg);
}

template <typename T>
void ExpressionTree<T>::reportFormattedAt(const Tok& token, const char* key, const char* arg) const
{
    if (!_pContext)
        return;
    if (token.column == 0)
        return reportFormatted(key, arg);
    _pContext->reportKey(key, _line != 0 ? _line : _pContext->keyLine, token.column, arg);
}

template <typename T> void ExpressionTree<T>::reportAtNode(const char* key, const Node* pNode) const
{
    if (!_pContext)
        return;
    if (!pNode || !pNode->pToken || pNode->pToken->column == 0)
        return reportAt(key);
    _pContext->reportKey(key, _line != 0 ? _line : _pContext->keyLine, pNode->pToken->column);
}

template <typename T> void ExpressionTree<T>::reportFormatted(const char* key, const char* arg1, const char* arg2) const
{
    if (_pContext)
        _pContext->reportKey(key, reportLine(), reportColumn(), arg1, arg2);
}

} // namespace sl

// The members of each phase, in files of their own.
#include "TreeBuild.inl"
#include "TreeEmit.inl"
#include "TreePrint.inl"
#include "TreeSimplify.inl"
