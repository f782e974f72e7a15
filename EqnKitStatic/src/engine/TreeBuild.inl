// Building a tree from the parser's token list: precedence with an operator stack and an
// operand stack, brackets, calls with one to three arguments, reference functions and lim.
#include <sc/MessageKeys.h>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "FunctionTraits.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;
namespace msg = sc::msg;

namespace
{
td::BYTE precedence(td::BYTE code)
{
    switch (code)
    {
    case C::ADD:
    case C::SUB: return 15;
    case C::MUL:
    case C::DIV:
    case C::MOD:
    case C::BACKSLASH: return 16;
    case C::POW: return 17;
    case C::LOGIC_OR:
    case C::LOGIC_XOR: return 5;
    case C::LOGIC_AND: return 6;
    case C::GREATER:
    case C::GREATER_EQUAL:
    case C::LESS:
    case C::LESS_EQUAL: return 11;
    case C::EQUAL:
    case C::NOT_EQUAL: return 10;
    case C::LOGIC_NEGATION: return 20;
    case C::POW_ASSIGN: return 0;
    default:
        // the assignment operators and the reversed twins
        return 1;
    }
}

// The '(' that the operator stack holds while a bracket is open; never part of a tree.
template <typename T> ETNode<T>* openMarker()
{
    static Token<T> s_token = [] {
        Token<T> t;
        t.type = C::OPEN_PARENTHESIS;
        return t;
    }();
    static ETNode<T> s_node{&s_token};
    return &s_node;
}

template <typename T> bool secondIsExpression(td::BYTE id)
{
    return (id == C::ATG2 && !ValueTraits<T>::isComplex) || id == C::MIN || id == C::MAX;
}

bool isReference(td::BYTE id) { return (id >= C::SMIN && id <= C::DEV) || id == C::RND; }

template <typename T> bool isSingleOperand(const Token<T>& t) { return isSymbolType(t.type) || t.isNumber(); }

template <typename T> const char* nameOf(const ETNode<T>* p) { return Token<T>::printName(p->pToken->functionID()); }
} // namespace

// ---- the walk ----

template <typename T> bool ExpressionTree<T>::build(TokNode* pFirst)
{
    if (!pFirst)
    {
        reportAt(msg::etEmptyExpression);
        return false;
    }
    _operatorStack.clear();
    _multiParamFnStack.clear();
    _nestingRefused = false;
    zeroCounts();
    _walkColumn = 0;
    WalkState st;
    TokNode* p = pFirst;
    bool ok = walk(p, Walk::Whole, st);
    if (ok && !_multiParamFnStack.isEmpty())
    {
        // At the innermost bracket left open, not at the statement's last token. When that is
        // the bracket around an equation's right side, its closing ')' closed the one the
        // text left open there.
        const Bracket& open = _multiParamFnStack.top();
        const td::UINT4 column = open.wrapsRightSide ? st.lastClosedColumn : open.column;
        if (column != 0)
            _walkColumn = column;
        reportAt(msg::etFnParamOrParMM);
        ok = false;
    }
    while (ok && !_operatorStack.isEmpty())
        ok = reduceOne(st);
    if (ok && st.nOperands != 1)
    {
        reportAt(st.nOperands == 0 ? msg::etEmptyExpression : msg::etOperatorWoOprnd);
        ok = false;
    }
    _walkColumn = 0;
    if (!ok)
    {
        // The roots of earlier builds stay on top.
        for (; st.nOperands > 0; --st.nOperands)
            _rootStack.pop();
        _operatorStack.clear();
        _multiParamFnStack.clear();
        return false;
    }
    recount();
    return true;
}

template <typename T> bool ExpressionTree<T>::walk(TokNode*& p, Walk kind, WalkState& st)
{
    while (p)
    {
        Tok& t = p->token;
        const td::BYTE type = t.type;
        walkAt(t);
        if (type == C::SYMBOL || t.isNumber() || type == C::LAPLACE)
        {
            if (st.state == State::AfterOperand)
            {
                if (type == C::SYMBOL)
                    reportFormatted(msg::etLabelAfterOperand, symbolName(t).c_str());
                else if (type == C::LAPLACE)
                    reportAt(msg::etSAfterOprnd);
                else
                    reportFormatted(msg::etConstAfterOperand, numberText(t.value, type).c_str());
                return false;
            }
            if (!walkOperand(tokenNode(t), st))
                return false;
        }
        else if (type == C::OPEN_PARENTHESIS)
        {
            if (!walkOpen(st))
                return false;
        }
        else if (isOperatorType(type))
        {
            if (!walkOperator(t, st))
                return false;
        }
        else if (type == C::CLOSE_PARENTHESIS)
        {
            bool ends = false;
            if (!walkClose(kind, st, ends))
                return false;
            if (ends)
                return true;
        }
        else if (type == C::COMMA)
        {
            // Leaves p on the ')' of the call, which the next round closes.
            if (!walkComma(p, kind, st))
                return false;
            continue;
        }
        else if (type == C::FUNCTION)
        {
            if (!walkFunction(p, st))
                return false;
        }
        else
        {
            reportUnexpectedToken(type);
            return false;
        }
        p = p->pNext;
    }
    // An argument walk ends only at its ')'.
    return kind == Walk::Whole;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::tokenNode(Tok& token)
{
    TD_ASSERT(_pMemMgr);
    Node* pNode = _pMemMgr->alloc();
    TD_ASSERT(pNode);
    pNode->pToken = &token;
    pNode->pLeftNode = pNode->pRightNode = nullptr;
    pNode->leftTag = pNode->rightTag = 0;
    return pNode;
}

template <typename T> void ExpressionTree<T>::applyNot(Node* pNot, Node*& pOperand)
{
    pNot->pLeftNode = pOperand;
    pNot->pRightNode = nullptr;
    pNot->leftTag = 1 + height(pOperand);
    pNot->rightTag = 0;
    pOperand = pNot;
}

template <typename T> bool ExpressionTree<T>::walkOperand(Node* pNode, WalkState& st)
{
    if (st.pendingNot)
    {
        Node* pNot = _operatorStack.top();
        TD_ASSERT(isType(pNot, C::LOGIC_NEGATION));
        _operatorStack.pop();
        applyNot(pNot, pNode);
        st.pendingNot = false;
    }
    _rootStack.push(pNode);
    ++st.nOperands;
    st.state = State::AfterOperand;
    st.operandExpected = false;
    return true;
}

template <typename T> bool ExpressionTree<T>::walkOpen(WalkState& st)
{
    if (st.state == State::AfterOperand)
    {
        reportAt(msg::etOpenParAfterOperand);
        return false;
    }
    _operatorStack.push(openMarker<T>());
    // The bracket right after an equation's sign is the one around its right side.
    const bool wrapsRightSide = st.state == State::AfterOperator && st.previousIsSign;
    _multiParamFnStack.push(Bracket{nullptr, 0, 0, static_cast<td::BYTE>(wrapsRightSide), _walkColumn});
    st.state = State::Start;
    st.operandExpected = true;
    st.pendingNot = false;
    return true;
}

template <typename T> bool ExpressionTree<T>::walkOperator(Tok& t, WalkState& st)
{
    const td::BYTE code = t.type;
    // Assignments carry their operator in the evaluator, never in the expression.
    if (code >= C::ASSIGN)
    {
        reportUnexpectedToken(code);
        return false;
    }
    if (code == C::ADD && st.operandExpected)
        return true;
    // Messages name what the text holds: the equation's sign as "=".
    const char* name = t.isEquationSign() ? "=" : Tok::printName(code);
    const char* previous = st.previousIsSign ? "=" : Tok::printName(st.previousOperator);
    if (st.pendingNot)
    {
        reportFormatted(msg::etOperAfterUnOp, name, previous);
        return false;
    }
    if (st.state == State::AfterOperand)
    {
        if (code == C::LOGIC_NEGATION)
        {
            reportAt(msg::etUnexpUnaryOp);
            return false;
        }
        if (!precedenceStep(code, st))
            return false;
        _operatorStack.push(tokenNode(t));
        st.previousOperator = code;
        st.previousIsSign = t.isEquationSign();
        st.state = State::AfterOperator;
        return true;
    }
    // Where an operand is due only not is accepted; an equation's sign there (after an
    // opening bracket or at the start) has no left side to stand after.
    if (t.isEquationSign())
    {
        reportAt(msg::etOperatorWoOprnd);
        return false;
    }
    if (code != C::LOGIC_NEGATION)
    {
        reportFormatted(msg::etOperAfterOper, name, previous);
        return false;
    }
    _operatorStack.push(tokenNode(t));
    st.previousOperator = code;
    st.previousIsSign = false;
    st.operandExpected = true;
    st.pendingNot = true;
    st.state = State::AfterOperator;
    return true;
}

template <typename T> bool ExpressionTree<T>::precedenceStep(td::BYTE code, WalkState& st)
{
    const td::BYTE p = precedence(code);
    while (!_operatorStack.isEmpty())
    {
        td::BYTE top = _operatorStack.top()->pToken->type;
        if (top == C::FUNCTION || top == C::OPEN_PARENTHESIS || precedence(top) < p)
            break;
        if (!reduceOne(st))
            return false;
    }
    return true;
}

template <typename T> bool ExpressionTree<T>::reduceOne(WalkState& st)
{
    Node* pOp = _operatorStack.top();
    _operatorStack.pop();
    // A not still waiting here never got its operand: told at the not (or the operator),
    // wherever the build reduces it.
    if (isType(pOp, C::LOGIC_NEGATION) || st.nOperands < 2)
    {
        reportAtNode(msg::etOperatorWoOprnd, pOp);
        return false;
    }
    Node* pRight = _rootStack.top();
    _rootStack.pop();
    Node* pLeft = _rootStack.top();
    _rootStack.pop();
    pOp->pLeftNode = pLeft;
    pOp->pRightNode = pRight;
    pOp->leftTag = 1 + height(pLeft);
    pOp->rightTag = 1 + height(pRight);
    _rootStack.push(pOp);
    --st.nOperands;
    return true;
}

template <typename T> bool ExpressionTree<T>::reduceToOpen(WalkState& st)
{
    for (;;)
    {
        TD_ASSERT(!_operatorStack.isEmpty());
        if (isType(_operatorStack.top(), C::OPEN_PARENTHESIS))
            break;
        if (!reduceOne(st))
            return false;
    }
    _operatorStack.pop();
    return true;
}

template <typename T> bool ExpressionTree<T>::walkClose(Walk kind, WalkState& st, bool& ends)
{
    if (st.state == State::AfterOperator)
    {
        reportAt(msg::etCloseParAfterOper);
        return false;
    }
    if (_multiParamFnStack.isEmpty())
    {
        // Only the ')' after a second argument closes a walk this way.
        if (kind != Walk::SecondArgument)
        {
            reportAt(msg::etFnNeedsClosePar);
            return false;
        }
        if (st.state != State::AfterOperand)
        {
            reportAt(msg::etFnParamMising);
            return false;
        }
        ends = true;
        return reduceToOpen(st);
    }
    const Bracket entry = _multiParamFnStack.top();
    if (st.state != State::AfterOperand)
    {
        // () or f()
        reportAt(entry.pNode ? msg::etFnParamMising : msg::etEmptyExpression);
        return false;
    }
    if (entry.pNode && entry.nExtraArgs > 0)
    {
        // A call closed before its further arguments; lim reports its own key.
        if (!isFunction(entry.pNode, C::LIMIT))
            reportAt(msg::etFnParamNumCommas);
        return false;
    }
    if (!reduceToOpen(st))
        return false;
    Node*& pOperand = _rootStack.top();
    if (entry.pNode)
    {
        TD_ASSERT(_operatorStack.top() == entry.pNode);
        _operatorStack.pop();
        Node* pFn = entry.pNode;
        pFn->pLeftNode = pOperand;
        pFn->leftTag = 1 + height(pOperand);
        pFn->rightTag = 0;
        pOperand = pFn;
    }
    else if (!_operatorStack.isEmpty() && isType(_operatorStack.top(), C::LOGIC_NEGATION))
    {
        Node* pNot = _operatorStack.top();
        _operatorStack.pop();
        applyNot(pNot, pOperand);
    }
    st.lastClosedColumn = entry.column;
    _multiParamFnStack.pop();
    st.state = State::AfterOperand;
    st.operandExpected = false;
    if (kind == Walk::Limit && _multiParamFnStack.isEmpty())
        ends = true;
    return true;
}

template <typename T> bool ExpressionTree<T>::walkComma(TokNode*& p, Walk kind, WalkState& st)
{
    if (st.pendingNot)
    {
        reportAt(msg::etCommaNeedsOperator);
        return false;
    }
    if (_multiParamFnStack.isEmpty())
    {
        reportAt(msg::etCommaOutsideFn);
        return false;
    }
    Bracket& entry = _multiParamFnStack.top();
    if (kind == Walk::SecondArgument && entry.pNode)
    {
        reportAt(msg::etParMismatch);
        return false;
    }
    if (!entry.pNode)
    {
        reportAt(msg::etFnParamMising);
        return false;
    }
    if (st.state != State::AfterOperand)
    {
        reportAt(st.state == State::AfterOperator ? msg::etOperatorWoOprnd : msg::etFnParamMising);
        return false;
    }
    if (entry.nExtraArgs == 0)
    {
        reportAt(msg::etFnParamNumCommas);
        return false;
    }
    if (!entry.secondIsExpression)
    {
        if (!readSingleArguments(p, entry))
            return false;
        entry.nExtraArgs = 0;
        return true;
    }
    // The second argument is built apart up to the ')' of the call.
    ExpressionTree sub(*this);
    if (!nestBuild(sub))
        return false;
    sub._simplify = _simplify;
    sub._operatorStack.push(openMarker<T>());
    WalkState subState;
    TokNode* q = p->pNext;
    if (!q || !sub.walk(q, Walk::SecondArgument, subState))
    {
        // Nesting refused deeper down is reported once, not again at every level.
        _nestingRefused = sub._nestingRefused;
        if (!_nestingRefused)
            reportAt(msg::etFnParam2Err);
        return false;
    }
    entry.pNode->pRightNode = sub._rootStack.top();
    sub._rootStack.pop();
    entry.nExtraArgs = 0;
    p = q;
    return true;
}

template <typename T> bool ExpressionTree<T>::nestBuild(ExpressionTree& sub)
{
    sub._buildDepth = _buildDepth + 1;
    if (sub._buildDepth <= cMaxNestedCalls)
        return true;
    reportAt(msg::etExprTooDeep);
    _nestingRefused = true;
    return false;
}

template <typename T> bool ExpressionTree<T>::isBoundVariable(const Tok& t, bool limit) const
{
    if (isOwnVariable(t, _nVars))
        return true;
    // A limit reads its bounds from this model's parameters.
    return limit && isSymbolType(t.type) && !isOwn(t);
}

template <typename T> bool ExpressionTree<T>::readSingleArguments(TokNode*& p, Bracket& entry)
{
    const char* name = nameOf(entry.pNode);
    const bool limit = isFunction(entry.pNode, C::LIMIT);
    TokNode* q = p->pNext;
    if (!q)
    {
        reportFormatted(msg::etMFnPremEnd, name);
        return false;
    }
    walkAt(q->token);
    if (!isSingleOperand(q->token))
    {
        reportFormatted(msg::etMFnExpOprnd, name);
        return false;
    }
    if (isBoundVariable(q->token, limit))
    {
        reportFormatted(msg::etMFnNoVar2, name);
        return false;
    }
    Node* pSecond = tokenNode(q->token);
    entry.pNode->pRightNode = pSecond;
    if (entry.nExtraArgs == 2)
    {
        TokNode* pComma = q->pNext;
        if (!pComma)
        {
            reportAt(msg::etExpPremEnd);
            return false;
        }
        walkAt(pComma->token);
        if (pComma->token.type != C::COMMA)
        {
            reportFormatted(msg::etExpCommaInMFn, name);
            return false;
        }
        q = pComma->pNext;
        if (!q)
        {
            reportFormatted(msg::etExpPremEndFn, name);
            return false;
        }
        walkAt(q->token);
        if (!isSingleOperand(q->token))
        {
            reportFormatted(msg::etMFnExpOprnd, name);
            return false;
        }
        if (isBoundVariable(q->token, limit))
        {
            reportFormatted(msg::etMFnNoVar3, name);
            return false;
        }
        pSecond->pRightNode = tokenNode(q->token);
        pSecond->rightTag = 1;
    }
    TokNode* pClose = q->pNext;
    if (pClose)
        walkAt(pClose->token);
    if (!pClose || pClose->token.type != C::CLOSE_PARENTHESIS)
    {
        reportAt(msg::etExpectedClosePar);
        return false;
    }
    p = pClose;
    return true;
}

template <typename T> void ExpressionTree<T>::openCall(Node* pFunction, WalkState& st)
{
    td::BYTE id = pFunction->pToken->functionID();
    _operatorStack.push(pFunction);
    // Every argument after the first is an extra one.
    const td::BYTE extra = static_cast<td::BYTE>(functionArity(id) - 1);
    _multiParamFnStack.push(
        Bracket{pFunction, extra, static_cast<td::BYTE>(secondIsExpression<T>(id)), 0, _walkColumn});
    _operatorStack.push(openMarker<T>());
    st.state = State::FunctionStart;
    st.operandExpected = true;
    st.pendingNot = false;
}

template <typename T> bool ExpressionTree<T>::walkFunction(TokNode*& p, WalkState& st)
{
    Tok& t = p->token;
    const td::BYTE id = t.functionID();
    if (st.state == State::AfterOperand)
    {
        reportAt(msg::etFnAfterOperand);
        return false;
    }
    if (!isFunctionOfBuild<T>(id))
    {
        reportUnexpectedToken(t.type);
        return false;
    }
    if (id == C::LIMIT)
        return walkLimit(p, st);
    if (isReference(id))
        return walkReference(p, st);
    const char* name = Tok::printName(id);
    TokNode* q = p->pNext;
    if (!q)
    {
        reportFormatted(msg::etFnNotPrpFormatted, name);
        return false;
    }
    if (q->token.type != C::OPEN_PARENTHESIS)
    {
        walkAt(q->token);
        reportFormatted(msg::etFnNeedsOpenPar, name);
        return false;
    }
    openCall(tokenNode(t), st);
    p = q;
    return true;
}

template <typename T> bool ExpressionTree<T>::walkReference(TokNode*& p, WalkState& st)
{
    Tok& t = p->token;
    const td::BYTE id = t.functionID();
    const char* name = Tok::printName(id);
    const bool generator = id == C::RND;
    TokNode* pOpen = p->pNext;
    TokNode* pRef = pOpen ? pOpen->pNext : nullptr;
    TokNode* pClose = pRef ? pRef->pNext : nullptr;
    if (!pOpen)
    {
        reportFormatted(msg::etFnNotPrpFormatted, name);
        return false;
    }
    if (pOpen->token.type != C::OPEN_PARENTHESIS)
    {
        walkAt(pOpen->token);
        reportFormatted(msg::etFnNeedsOpenPar, name);
        return false;
    }
    if (!pRef)
    {
        reportFormatted(msg::etFnNotPrpFormatted, name);
        return false;
    }
    if (pRef->token.type != (generator ? C::RND_GEN : C::STATISTIC))
    {
        walkAt(pRef->token);
        reportFormatted(msg::etFnNotPrpFmt, name, generator ? "RndGen" : "Stat");
        return false;
    }
    if (!pClose)
    {
        reportFormatted(msg::etFnNotPrpFormatted, name);
        return false;
    }
    if (pClose->token.type != C::CLOSE_PARENTHESIS)
    {
        walkAt(pClose->token);
        reportFormatted(msg::etFnNeedsClosePar, name);
        return false;
    }
    if (st.pendingNot)
    {
        reportAt(msg::etUnexpRn);
        return false;
    }
    t.value = T(static_cast<double>(pRef->token.index));
    p = pClose;
    return walkOperand(tokenNode(t), st);
}

// ---- lim(expression, lower, upper) ----

template <typename T> bool ExpressionTree<T>::walkLimit(TokNode*& p, WalkState& st)
{
    Tok& t = p->token;
    TokNode* pOpen = p->pNext;
    if (!pOpen || !_pLimits)
    {
        reportAt(msg::etLimitFnFormatNotOk);
        return false;
    }
    if (pOpen->token.type != C::OPEN_PARENTHESIS)
    {
        walkAt(pOpen->token);
        reportAt(msg::etLimiFnWoOpenPar);
        return false;
    }
    Node* pLim = tokenNode(t);
    ExpressionTree argument(*this);
    if (!nestBuild(argument))
        return false;
    argument._simplify = _simplify;
    WalkState argState;
    argument.openCall(pLim, argState);
    TokNode* q = pOpen->pNext;
    if (!q || !argument.walk(q, Walk::Limit, argState) || !pLim->pRightNode || !pLim->pRightNode->pRightNode)
    {
        _nestingRefused = argument._nestingRefused;
        if (!_nestingRefused)
            reportAt(msg::etLimitFnNeedsClosePar);
        return false;
    }
    Node* pLower = pLim->pRightNode;
    Node* pUpper = pLower->pRightNode;
    if (!checkBound(pLower) || !checkBound(pUpper))
        return false;

    // The argument alone is compiled (the emission counts it); the bounds go into the record.
    argument._rootStack.top() = pLim->pLeftNode;
    Evaluator<T>* pEvaluator = _pContext->newEvaluator();
    if (!argument.createEvaluator(pEvaluator))
        return false;
    const td::UINT4 fnLimitID = _pLimits->add();
    FnLimit<T>& record = (*_pLimits)[fnLimitID];
    record._pFnEvaluator = pEvaluator;
    record._pArgument = pLim->pLeftNode;
    setBound(pLower, record._lowerBound, record._lowerParamIndex);
    setBound(pUpper, record._upperBound, record._upperParamIndex);
    // Where a bound is told of when it is not a number.
    record._line = _pContext->entryLine();
    record._lowerColumn = pLower->pToken->column;
    record._upperColumn = pUpper->pToken->column;
    record._section = _pContext->currentSection;

    t.value = T(packLimitWord(fnLimitID, 0));
    pLim->pLeftNode = pLim->pRightNode = nullptr;
    pLim->leftTag = pLim->rightTag = 0;
    buildLimitDerivatives(argument, fnLimitID);
    p = q;
    return walkOperand(pLim, st);
}

template <typename T> bool ExpressionTree<T>::checkBound(const Node* pBound) const
{
    const Tok& b = *pBound->pToken;
    return !isSymbolType(b.type) || checkSymbol(b);
}

template <typename T> void ExpressionTree<T>::setBound(const Node* pBound, double& value, td::UINT4& paramIndex) const
{
    const Tok& b = *pBound->pToken;
    if (isSymbolType(b.type))
        paramIndex = b.index - _nVars;
    else
        value = realPart(b.value);
}

namespace
{
template <typename T> void collectVariables(const ETNode<T>* pRoot, td::UINT4 nVars, cnt::FixNumSet& set)
{
    visitPreorder(pRoot, [nVars, &set](const ETNode<T>* p) {
        if (isOwnVariable(*p->pToken, nVars))
            set.insert(p->pToken->index);
        return WalkStep::Descend;
    });
}
} // namespace

template <typename T> bool ExpressionTree<T>::limitDerivativeWanted() const
{
    switch (static_cast<ErrorSection>(_pContext->currentSection))
    {
    case ErrorSection::NLEqs:
    case ErrorSection::MeasEqs:
    case ErrorSection::ECs: return true;
    case ErrorSection::ODEqs:
    case ErrorSection::TFs:
        // A DAE model solves its differential and transfer-function equations by Newton.
        return _pContext->dynamics == 2;
    default: return false;
    }
}

template <typename T> void ExpressionTree<T>::buildLimitDerivatives(ExpressionTree& argument, td::UINT4 fnLimitID)
{
    cnt::FixNumSet* pUsed = _pContext->pUsedVars;
    if (!pUsed || pUsed->isEmpty())
        return;
    cnt::FixNumSet* pLastUsed = _pContext->pLastUsedVarsForLimits;
    TD_ASSERT(pLastUsed);
    if (pLastUsed->size() < _nVars)
        pLastUsed->reserve(_nVars);
    else
        pLastUsed->clear();
    collectVariables(argument.getRoot(), _nVars, *pLastUsed);
    if (pLastUsed->isEmpty() || !limitDerivativeWanted())
        return;
    td::UINT4 n = 0;
    for (auto it = pLastUsed->begin(); it != pLastUsed->end(); ++it)
        ++n;
    (*_pLimits)[fnLimitID]._derivEvaluators.reserve(n);
    for (td::UINT4 v : *pLastUsed)
    {
        ExpressionTree derivative(_pContext, _pLimits, _nVars, _simplify);
        // No entry for a variable without a derivative.
        if (!argument.differentiate(derivative, v) || !derivative.getRoot())
            continue;
        Evaluator<T>* pEvaluator = _pContext->newEvaluator();
        if (derivative.createEvaluator(pEvaluator))
            _pLimits->addDerivative(fnLimitID, pEvaluator, v);
    }
}

template <typename T> td::UINT4 ExpressionTree<T>::copyLimit(td::UINT4 fnLimitID, Node* pArgument)
{
    if (!_pLimits || !pArgument || fnLimitID == 0 || fnLimitID > _pLimits->size())
        return 0;
    ExpressionTree argument(*this);
    argument._simplify = _simplify;
    argument._rootStack.push(pArgument);
    Evaluator<T>* pEvaluator = _pContext->newEvaluator();
    if (!argument.createEvaluator(pEvaluator))
        return 0;
    const td::UINT4 copyID = _pLimits->add();
    FnLimit<T>& copy = (*_pLimits)[copyID];
    const FnLimit<T>& from = (*_pLimits)[fnLimitID];
    copy._lowerBound = from._lowerBound;
    copy._upperBound = from._upperBound;
    copy._lowerParamIndex = from._lowerParamIndex;
    copy._upperParamIndex = from._upperParamIndex;
    copy._line = from._line;
    copy._lowerColumn = from._lowerColumn;
    copy._upperColumn = from._upperColumn;
    copy._section = from._section;
    copy._pFnEvaluator = pEvaluator;
    copy._pArgument = pArgument;
    buildLimitDerivatives(argument, copyID);
    return copyID;
}
} // namespace sl
