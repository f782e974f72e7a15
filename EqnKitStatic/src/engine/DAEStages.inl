// The discretisations of x' = f: substituting copies of f that walk without recursion,
// and the Euler, trapezoidal and stage equations built from them.
#include "DAEStages.h"

#include <vector>

#include <matrix/Butcher.h>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;

namespace
{
// Copies of f in which the states and the time t stand for their values at the previous
// step (history) or at one stage.
template <typename T> class Substitution
{
public:
    using Node = ETNode<T>;

    Substitution(ExpressionTree<T>& tree, const DAEStageContext& ctx)
        : _tree(tree), _ctx(ctx), _nVars(tree.getNumberOfVariables())
    {
        const CompileContext<T>* pData = tree.getContext();
        _pInfo = pData ? pData->pSymbolInfo : nullptr;
    }

    bool ready() const { return _pInfo && _ctx.pVarRecords; }

    const DAEVarRecord* record(td::UINT4 v) const
    {
        return _ctx.pVarRecords && v < _ctx.pVarRecords->size() ? &(*_ctx.pVarRecords)[v] : nullptr;
    }

    bool isState(const Token<T>& t) const
    {
        return t.type == C::SYMBOL && isOwn(t) && t.index < _nVars && t.index < _pInfo->size() &&
               SymbolInfo::isStateVariable((*_pInfo)[t.index].varType);
    }
    bool isTime(const Token<T>& t) const
    {
        return t.type == C::SYMBOL && isOwn(t) && _ctx.time >= 0 && t.index == static_cast<td::UINT4>(_ctx.time);
    }

    // Through the arguments of its lim calls too, which live in their limit records.
    bool holdsStateOrTime(const Node* p) const
    {
        return !visitPreorder(p, [this](const Node* q) {
            if (isState(*q->pToken) || isTime(*q->pToken))
                return WalkStep::Stop;
            const ETNode<T>* pArgument = limitArgument(*q->pToken);
            return pArgument && holdsStateOrTime(pArgument) ? WalkStep::Stop : WalkStep::Descend;
        });
    }

    Node* history(const Node* p)
    {
        _stage = -1;
        return run(p);
    }

    Node* stage(const Node* p, double c, td::UINT2 j)
    {
        _c = c;
        _stage = j;
        return run(p);
    }

private:
    // The fnLimitID of a lim call and its argument's tree; 0 and null for any other token.
    td::UINT4 limitOf(const Token<T>& t) const
    {
        const FnLimits<T>* pLimits = _tree.getLimits();
        if (t.type != C::FUNCTION || t.functionID() != C::LIMIT || !pLimits)
            return 0;
        const td::UINT4 id = static_cast<td::UINT4>(unpackLimitWord(realPart(t.value)) & 0xFFFFFFFFu);
        return id > 0 && id <= pLimits->size() ? id : 0;
    }
    const ETNode<T>* limitArgument(const Token<T>& t) const
    {
        const td::UINT4 id = limitOf(t);
        return id ? (*_tree.getLimits())[id]._pArgument : nullptr;
    }

    // A lim call whose argument reads a state or t becomes a limit of its own over the
    // argument's copy, so that each stage (and the previous step) reads its own values.
    bool substituteLimit(Node* pNew)
    {
        const td::UINT4 id = limitOf(*pNew->pToken);
        const ETNode<T>* pArgument = id ? (*_tree.getLimits())[id]._pArgument : nullptr;
        if (!pArgument || !holdsStateOrTime(pArgument))
            return true;
        Node* pCopy = run(pArgument);
        const td::UINT4 copyID = pCopy ? _tree.copyLimit(id, pCopy) : 0;
        if (copyID == 0)
            return false;
        pNew->pToken->value = T(packLimitWord(copyID, 0));
        return true;
    }

    // The copy with its substitutions; null when a state lacks its record or t stands where
    // a call takes a single token (and so cannot become an expression).
    Node* run(const Node* pRoot)
    {
        struct Entry
        {
            const Node* pFrom;
            Node** ppLink;
            bool tokenSlot;
        };
        Node* pCopy = nullptr;
        WalkStack<Entry> todo;
        todo.push({pRoot, &pCopy, false});
        while (!todo.isEmpty())
        {
            const Entry e = todo.top();
            todo.pop();
            const Node* p = e.pFrom;
            if (!p)
                continue;
            const Token<T>& t = *p->pToken;
            if (isTime(t))
            {
                if (e.tokenSlot || p->pLeftNode || p->pRightNode)
                    return nullptr;
                *e.ppLink = timeNode();
                continue;
            }
            Node* pNew = nullptr;
            if (isState(t))
            {
                const td::INT4 k = stateSymbol(t.index);
                if (k < 0)
                    return nullptr;
                pNew = _tree.newSymbol(static_cast<td::UINT4>(k));
            }
            else
            {
                pNew = _tree.newNode();
                *pNew->pToken = t;
                if (!substituteLimit(pNew))
                    return nullptr;
            }
            pNew->leftTag = p->leftTag;
            pNew->rightTag = p->rightTag;
            *e.ppLink = pNew;
            const bool singleTokens = t.type == C::FUNCTION && !takesWholeSecondArgument(t.functionID());
            todo.push({p->pRightNode, &pNew->pRightNode, e.tokenSlot || singleTokens});
            todo.push({p->pLeftNode, &pNew->pLeftNode, false});
        }
        return pCopy;
    }

    // The symbol a state stands for; -1 when its record lacks it.
    td::INT4 stateSymbol(td::UINT4 v) const
    {
        const DAEVarRecord* pRecord = record(v);
        if (!pRecord)
            return -1;
        if (_stage < 0)
            return pRecord->histParam < 0 ? -1 : static_cast<td::INT4>(_nVars) + pRecord->histParam;
        const td::INT4 k = pRecord->firstStage < 0 ? -1 : pRecord->firstStage + _stage;
        return k >= 0 && static_cast<td::UINT4>(k) < _nVars ? k : -1;
    }

    Node* timeNode()
    {
        Node* pT = _tree.newSymbol(static_cast<td::UINT4>(_ctx.time));
        Node* pDT = _tree.newSymbol(_ctx.deltaT);
        if (_stage < 0)
            return _tree.newOperator(C::SUB, pT, pDT);
        Node* pShift = _tree.makeBinary(_tree.newLiteral(C::REAL_LITERAL, T(1.0 - _c)), pDT, false, false, C::MUL);
        return _tree.makeBinary(pT, pShift, false, false, C::SUB);
    }

    ExpressionTree<T>& _tree;
    const DAEStageContext& _ctx;
    const cnt::SafeFullVector<SymbolInfo>* _pInfo = nullptr;
    td::UINT4 _nVars;
    double _c = 0;
    td::INT4 _stage = -1;
};

// What every expansion starts from: the root, f, and the symbols of x and x_old.
template <typename T> struct Equation
{
    ETNode<T>* pRoot = nullptr;
    ETNode<T>* pF = nullptr;
    td::UINT4 xOld = 0;
};

template <typename T> bool prepare(ExpressionTree<T>& tree, ETNode<T>* pIntegral, const Substitution<T>& sub,
                                   const DAEStageContext& ctx, Equation<T>& eq)
{
    eq.pRoot = tree.getRoot();
    if (!eq.pRoot || !sub.ready() || ctx.state >= tree.getNumberOfVariables())
        return false;
    if (pIntegral)
    {
        if (!isFunction(pIntegral, C::INTEGRAL) || !pIntegral->pLeftNode)
            return false;
        if (pIntegral != eq.pRoot && !ExpressionTree<T>::findParent(pIntegral, eq.pRoot))
            return false;
    }
    const DAEVarRecord* pRecord = sub.record(ctx.state);
    if (!pRecord || pRecord->histParam < 0)
        return false;
    eq.pF = pIntegral ? pIntegral->pLeftNode : eq.pRoot;
    eq.xOld = tree.getNumberOfVariables() + static_cast<td::UINT4>(pRecord->histParam);
    return true;
}
} // namespace

template <typename T> typename DAEStages<T>::Node* DAEStages<T>::replaceIntegral(Node* pIntegral, Node* pIncrement)
{
    Node* pRoot = _tree.getRoot();
    if (!pIntegral || pIntegral == pRoot)
        return pIncrement;
    Node* pParent = ExpressionTree<T>::findParent(pIntegral, pRoot);
    TD_ASSERT(pParent);
    (pParent->pLeftNode == pIntegral ? pParent->pLeftNode : pParent->pRightNode) = pIncrement;
    return pRoot;
}

template <typename T>
typename DAEStages<T>::Node* DAEStages<T>::mapHistoryVariables(const Node* pNode, const DAEStageContext& ctx)
{
    Substitution<T> sub(_tree, ctx);
    return sub.ready() ? sub.history(pNode) : nullptr;
}

template <typename T> typename DAEStages<T>::Node* DAEStages<T>::copyWithStageSubstitution(const Node* pNode,
                                                                                           const DAEStageContext& ctx,
                                                                                           double c, td::UINT2 stage)
{
    Substitution<T> sub(_tree, ctx);
    return sub.ready() ? sub.stage(pNode, c, stage) : nullptr;
}

template <typename T> bool DAEStages<T>::discretizeEuler(Node* pIntegral, const DAEStageContext& ctx)
{
    Substitution<T> sub(_tree, ctx);
    Equation<T> eq;
    if (!prepare(_tree, pIntegral, sub, ctx, eq))
        return false;
    Node* pIncrement = _tree.newOperator(C::MUL, _tree.newSymbol(ctx.deltaT), eq.pF);
    Node* pWhole = replaceIntegral(pIntegral, pIncrement);
    _tree.replaceRoot(_tree.newOperator(C::ADD, _tree.newSymbol(eq.xOld),
                                        _tree.newOperator(C::SUB, pWhole, _tree.newSymbol(ctx.state))));
    return true;
}

template <typename T> bool DAEStages<T>::discretizeTrapezoidal(Node* pIntegral, const DAEStageContext& ctx)
{
    Substitution<T> sub(_tree, ctx);
    Equation<T> eq;
    if (!prepare(_tree, pIntegral, sub, ctx, eq))
        return false;
    Node* pIncrement = nullptr;
    if (sub.holdsStateOrTime(eq.pF))
    {
        Node* pOld = sub.history(eq.pF);
        if (!pOld)
            return false;
        Node* pHalfStep =
            _tree.newOperator(C::DIV, _tree.newSymbol(ctx.deltaT), _tree.newLiteral(C::INT_LITERAL, T(2)));
        pIncrement = _tree.newOperator(C::MUL, pHalfStep, _tree.newOperator(C::ADD, pOld, eq.pF));
    }
    else
        pIncrement = _tree.newOperator(C::MUL, _tree.newSymbol(ctx.deltaT), eq.pF);
    Node* pWhole = replaceIntegral(pIntegral, pIncrement);
    _tree.replaceRoot(_tree.newOperator(C::ADD, _tree.newSymbol(eq.xOld),
                                        _tree.newOperator(C::SUB, pWhole, _tree.newSymbol(ctx.state))));
    return true;
}

template <typename T> bool DAEStages<T>::expandDAEStages(Node* pIntegral, const DAEStageContext& ctx,
                                                         const matrix::Butcher& tableau, Node** pEquations)
{
    Substitution<T> sub(_tree, ctx);
    Equation<T> eq;
    if (!prepare(_tree, pIntegral, sub, ctx, eq))
        return false;
    const td::UINT2 s = tableau.stages();
    const DAEVarRecord* pRecord = sub.record(ctx.state);
    if (s == 0 || pRecord->firstStage < 0 ||
        static_cast<td::UINT4>(pRecord->firstStage) + s > _tree.getNumberOfVariables())
        return false;
    const td::UINT4 firstStage = static_cast<td::UINT4>(pRecord->firstStage);

    // x_old + dT*(sum) - target, sum in a copy of the whole tree for an integral form.
    auto step = [&](Node* pSum, td::UINT4 target) {
        Node* pIncrement = _tree.newOperator(C::MUL, _tree.newSymbol(ctx.deltaT), pSum);
        Node* pWhole = pIntegral ? _tree.copy(eq.pRoot, pIntegral, pIncrement) : pIncrement;
        return _tree.newOperator(C::SUB, _tree.newOperator(C::ADD, _tree.newSymbol(eq.xOld), pWhole),
                                 _tree.newSymbol(target));
    };
    std::vector<Node*> out(s + 1u, nullptr);
    if (!sub.holdsStateOrTime(eq.pF))
    {
        // f is the same at every stage: one sample, and the stage values follow x along the
        // step, x_old + c_i*dT*f, for the equations of other states read them (x' = v with
        // v' = F reads v at every stage).
        out[0] = step(_tree.copy(eq.pF), ctx.state);
        for (td::UINT2 i = 0; i < s; ++i)
        {
            Node* pShare = _tree.newLiteral(C::REAL_LITERAL, T(tableau.c()[i]));
            out[1 + i] = step(_tree.newOperator(C::MUL, pShare, _tree.copy(eq.pF)), firstStage + i);
        }
    }
    else
    {
        // sum of w_j * f_j over the stages with a non-zero weight.
        auto weighted = [&](auto weight) -> Node* {
            Node* pSum = nullptr;
            for (td::UINT2 j = 0; j < s; ++j)
            {
                const double w = weight(j);
                if (w == 0.0)
                    continue;
                Node* pF = sub.stage(eq.pF, tableau.c()[j], j);
                if (!pF)
                    return nullptr;
                Node* pTerm = _tree.newOperator(C::MUL, _tree.newLiteral(C::REAL_LITERAL, T(w)), pF);
                pSum = pSum ? _tree.newOperator(C::ADD, pSum, pTerm) : pTerm;
            }
            return pSum ? pSum : _tree.newLiteral(C::INT_LITERAL, T(0));
        };
        Node* pSum = weighted([&](td::UINT2 j) { return tableau.b()[j]; });
        if (!pSum)
            return false;
        out[0] = step(pSum, ctx.state);
        for (td::UINT2 i = 0; i < s; ++i)
        {
            pSum = weighted([&](td::UINT2 j) { return tableau.A()(i, j); });
            if (!pSum)
                return false;
            out[1 + i] = step(pSum, firstStage + i);
        }
    }
    for (td::UINT2 i = 0; i <= s; ++i)
        pEquations[i] = out[i];
    return true;
}
} // namespace sl
