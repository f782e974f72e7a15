// From tree to evaluator: the postfix walk into stack-machine code, with the operand
// order chosen from the exact stack need of each subtree, and the conditional records.
#include <vector>

#include <sc/MessageKeys.h>

#include "CU.h"
#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;
namespace msg = sc::msg;

namespace
{
// Operators whose operands may be emitted right first: the commuting ones, and '-', '/'
// and '^' through their reversed twins.
bool swappable(td::BYTE type)
{
    switch (type)
    {
    case C::ADD:
    case C::MUL:
    case C::LOGIC_AND:
    case C::LOGIC_OR:
    case C::LOGIC_XOR:
    case C::EQUAL:
    case C::NOT_EQUAL:
    case C::SUB:
    case C::DIV:
    case C::POW: return true;
    default: return false;
    }
}

template <typename T> const Token<T>& reversedToken(const Token<T>& token)
{
    static const Token<T> s_reversed[3] = {[] {
                                               Token<T> t;
                                               t.type = C::REV_SUB;
                                               return t;
                                           }(),
                                           [] {
                                               Token<T> t;
                                               t.type = C::REV_DIV;
                                               return t;
                                           }(),
                                           [] {
                                               Token<T> t;
                                               t.type = C::REV_POW;
                                               return t;
                                           }()};
    switch (token.type)
    {
    case C::SUB: return s_reversed[0];
    case C::DIV: return s_reversed[1];
    case C::POW: return s_reversed[2];
    default: return token;
    }
}

bool takesWholeSecondArgument(td::BYTE id) { return id == C::ATG2 || id == C::MIN || id == C::MAX; }

// The stack need and size of every subtree, in preorder; the emission then walks the
// same preorder positions.
template <typename T> class Emission
{
public:
    using Node = ETNode<T>;

    // Appends the entries of the subtree p; returns the position of p's entry.
    td::UINT4 measure(const Node* p)
    {
        struct Frame
        {
            const Node* p;
            td::UINT4 at;
            // Children taken so far: 0 none, 1 the left, 2 both.
            td::BYTE stage;
        };
        const td::UINT4 first = static_cast<td::UINT4>(_entries.size());
        WalkStack<Frame> todo;
        todo.push({p, first, 0});
        _entries.push_back({});
        while (!todo.isEmpty())
        {
            Frame& f = todo.top();
            const Node* pChild = nullptr;
            while (!pChild && f.stage < 2)
                pChild = f.stage++ == 0 ? f.p->pLeftNode : f.p->pRightNode;
            if (pChild)
            {
                todo.push({pChild, static_cast<td::UINT4>(_entries.size()), 0});
                _entries.push_back({});
                continue;
            }
            finish(f.p, f.at);
            todo.pop();
        }
        return first;
    }

    td::UINT4 need(td::UINT4 at) const { return _entries[at].need; }

    bool emit(const Node* pRoot, td::UINT4 rootAt, Evaluator<T>& e, td::UINT4 nVars) const
    {
        // A subtree still to walk, or (p null) a token to compile.
        struct Task
        {
            const Node* p;
            td::UINT4 at;
            const Token<T>* pToken;
        };
        WalkStack<Task> todo;
        todo.push({pRoot, rootAt, nullptr});
        while (!todo.isEmpty())
        {
            const Task task = todo.top();
            todo.pop();
            if (!task.p)
            {
                if (!e.compileToken(*task.pToken, nVars))
                    return false;
                continue;
            }
            // Pushed in reverse: the first to run is pushed last.
            const Node* p = task.p;
            const Token<T>& t = *p->pToken;
            const td::UINT4 left = task.at + 1;
            const td::UINT4 right = left + (p->pLeftNode ? _entries[left].size : 0);
            if (t.type != C::FUNCTION && p->pLeftNode && p->pRightNode && swappable(t.type) && need(right) > need(left))
            {
                todo.push({nullptr, 0, &reversedToken(t)});
                todo.push({p->pLeftNode, left, nullptr});
                todo.push({p->pRightNode, right, nullptr});
                continue;
            }
            todo.push({nullptr, 0, &t});
            if (const Node* pSecond = p->pRightNode)
            {
                if (t.type != C::FUNCTION || takesWholeSecondArgument(t.functionID()))
                    todo.push({pSecond, right, nullptr});
                else
                {
                    // Further arguments of the other calls are single tokens.
                    if (ExpressionTree<T>::functionArity(t.functionID()) == 3)
                    {
                        TD_ASSERT(p->pRightNode->pRightNode);
                        todo.push({nullptr, 0, pSecond->pRightNode->pToken});
                    }
                    todo.push({nullptr, 0, pSecond->pToken});
                }
            }
            if (p->pLeftNode)
                todo.push({p->pLeftNode, left, nullptr});
        }
        return true;
    }

private:
    struct Entry
    {
        td::UINT4 need = 0;
        td::UINT4 size = 0;
    };

    static td::UINT4 max(td::UINT4 a, td::UINT4 b) { return a > b ? a : b; }

    // The entry of p once its children's entries are complete.
    void finish(const Node* p, td::UINT4 at)
    {
        td::UINT4 nLeft = 0, nRight = 0, size = 1;
        const td::UINT4 left = at + 1;
        if (p->pLeftNode)
        {
            nLeft = _entries[left].need;
            size += _entries[left].size;
        }
        if (p->pRightNode)
        {
            const Entry& r = _entries[left + (p->pLeftNode ? _entries[left].size : 0)];
            nRight = r.need;
            size += r.size;
        }
        _entries[at] = {needOf(p, nLeft, nRight), size};
    }

    static td::UINT4 needOf(const Node* p, td::UINT4 nLeft, td::UINT4 nRight)
    {
        const Token<T>& t = *p->pToken;
        if (!p->pLeftNode && !p->pRightNode)
            return 1;
        if (t.type == C::FUNCTION)
        {
            td::BYTE id = t.functionID();
            td::BYTE arity = ExpressionTree<T>::functionArity(id);
            if (arity == 1 || !p->pRightNode)
                return max(nLeft, 1);
            if (takesWholeSecondArgument(id))
                return max(nLeft, 1 + nRight);
            return max(nLeft, arity);
        }
        if (!p->pLeftNode || !p->pRightNode)
            return max(nLeft, nRight);
        if (swappable(t.type) && nRight > nLeft)
            return max(nRight, 1 + nLeft);
        return max(nLeft, 1 + nRight);
    }

    std::vector<Entry> _entries;
};
} // namespace

template <typename T> td::UINT4 ExpressionTree<T>::stackNeed(const Node* pNode)
{
    if (!pNode)
        return 0;
    Emission<T> emission;
    return emission.need(emission.measure(pNode));
}

template <typename T> bool ExpressionTree<T>::emitPostfix(Node* pNode)
{
    TD_ASSERT(_pEvaluator);
    Emission<T> emission;
    td::UINT4 at = emission.measure(pNode);
    return emission.emit(pNode, at, *_pEvaluator, _nVars);
}

// ---- checks before emission ----

template <typename T> bool ExpressionTree<T>::checkEmittable(const Node* pRoot) const
{
    return visitPreorder(pRoot, [this](const Node* pNode) {
        const Tok& t = *pNode->pToken;
        if (t.type == C::SYMBOL)
            return checkSymbol(t) ? WalkStep::Descend : WalkStep::Stop;
        if (t.type == C::FUNCTION || isOperatorType(t.type))
        {
            const bool function = t.type == C::FUNCTION;
            const td::BYTE code = function ? t.functionID() : t.type;
            bool runnable = CU<T>::opcode(code).supported;
            if (function)
                runnable = runnable && code >= C::cFirstFunction && code < ValueTraits<T>::cPushInt;
            if (runnable)
                return WalkStep::Descend;
            reportFormatted(msg::etFnNotSupported, Tok::printName(code));
            return WalkStep::Stop;
        }
        if (t.isNumber())
            return WalkStep::Descend;
        reportUnexpectedToken(t.type);
        return WalkStep::Stop;
    });
}

// ---- records ----

template <typename T> bool ExpressionTree<T>::createEvaluator(Evaluator<T>* out)
{
    TD_ASSERT(out);
    _pEvaluator = out;
    switch (_type)
    {
    case Type::IfThenElse: return createIfThenElse(out);
    case Type::SwitchCase: return createSwitch(out);
    default: return createPlain(out);
    }
}

template <typename T> bool ExpressionTree<T>::createPlain(Evaluator<T>* out)
{
    Node* pRoot = getRoot();
    if (!pRoot || !checkEmittable(pRoot))
        return false;
    Emission<T> emission;
    td::UINT4 at = emission.measure(pRoot);
    if (emission.need(at) > static_cast<td::UINT4>(CU<T>::CU_STACK_SIZE))
    {
        reportAt(msg::etExprTooDeep);
        return false;
    }
    // Sized from a fresh count; the emission must fill exactly what was sized.
    recount();
    out->init(*_pSolverData, static_cast<td::INT4>(_nTokens), static_cast<td::INT4>(_nConsts),
              static_cast<td::INT4>(_nVarRefs), static_cast<td::INT4>(_nParamRefs));
    bool emitted = emission.emit(pRoot, at, *out, _nVars);
    TD_ASSERT(emitted && out->isFilled());
    setEvaluatorTarget(out);
    return emitted;
}

template <typename T> void ExpressionTree<T>::setEvaluatorTarget(Evaluator<T>* out) const
{
    if (_targetIndex < 0)
        return;
    const td::UINT4 t = static_cast<td::UINT4>(_targetIndex);
    const bool isVariable = t < _nVars;
    // A parent-model target keeps its index in the parent's values.
    const td::INT4 index = _targetIsParent || isVariable ? _targetIndex : static_cast<td::INT4>(t - _nVars);
    using K = typename ValueTraits<T>::TargetKind;
    const int symbol = _targetIsParent ? 2 : (isVariable ? 0 : 1);
    K kind;
    if constexpr (ValueTraits<T>::isComplex)
    {
        // By symbol and by part: the whole value, the real part, the imaginary part.
        static constexpr K kinds[3][3] = {{K::Variable, K::VariableReal, K::VariableImag},
                                          {K::Parameter, K::ParameterReal, K::ParameterImag},
                                          {K::Parent, K::ParentReal, K::ParentImag}};
        kind = kinds[symbol][_targetPart < 3 ? _targetPart : 0];
    }
    else
    {
        static constexpr K kinds[3] = {K::Variable, K::Parameter, K::Parent};
        kind = kinds[symbol];
    }
    out->setTarget(index, static_cast<td::BYTE>(kind), _assignOp);
}

template <typename T> bool ExpressionTree<T>::compileInto(ExpressionTree* pTree, Evaluator<T>*& pRecord)
{
    pRecord = _pSolverData->newEvaluator();
    return pTree->createEvaluator(pRecord);
}

template <typename T> bool ExpressionTree<T>::createIfThenElse(Evaluator<T>* out)
{
    TD_ASSERT(_pCondET);
    Evaluator<T>* pCondition = nullptr;
    if (!compileInto(_pCondET, pCondition))
        return false;
    TD_ASSERT(_pThenET);
    Evaluator<T>* pThen = nullptr;
    if (!compileInto(_pThenET, pThen))
        return false;
    Evaluator<T>* pElse = nullptr;
    if (_pElseET && !compileInto(_pElseET, pElse))
        return false;
    out->setIfThenElse(pCondition, pThen, pElse);
    out->setBranchCounts(1, pElse ? 1 : 0);
    return true;
}

template <typename T> bool ExpressionTree<T>::createSwitch(Evaluator<T>* out)
{
    Evaluator<T>* pPrevious = nullptr;
    for (ExpressionTree* pCase = this; pCase; pCase = pCase->_pElseET)
    {
        Evaluator<T>* pRecord = pPrevious ? _pSolverData->newEvaluator() : out;
        if (pPrevious)
            pPrevious->setNextCase(pRecord);
        Evaluator<T>* pCondition = nullptr;
        if (pCase->_pCondET && !compileInto(pCase->_pCondET, pCondition))
            return false;
        TD_ASSERT(pCase->_pThenET);
        Evaluator<T>* pBody = nullptr;
        if (!compileInto(pCase->_pThenET, pBody))
            return false;
        pRecord->setSwitchCase(pCondition, pBody, 1, nullptr);
        pPrevious = pRecord;
    }
    return true;
}

template class ExpressionTree<double>;
template class ExpressionTree<std::complex<double>>;
} // namespace sl
