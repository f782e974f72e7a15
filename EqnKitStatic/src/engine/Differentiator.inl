// Symbolic differentiation by one variable: the marks of what depends on it (walked up
// from its leaves when the tree is prepared for many variables) and the rules, which walk
// without recursion and build with the tree's simplifying constructor.
#include "Differentiator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include <sc/MessageKeys.h>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "FunctionTraits.h"
#include "ISolverServices.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;
namespace msg = sc::msg;

namespace
{
const char* const cFunctionNotDifferentiable =
    "Function @ cannot be differentiated and thus cannot be used as part of NLEqs!";
const char* const cOperatorNotDifferentiable = "Differentiation is not defined for operator '@'";

template <typename T> bool isLimitLeaf(const ETNode<T>* p) { return isLeaf(p) && isFunction(p, C::LIMIT); }

template <typename T> td::UINT4 limitID(const Token<T>& t)
{
    return static_cast<td::UINT4>(unpackLimitWord(realPart(t.value)) & 0xFFFFFFFFu);
}

// A function whose rule is Chain and whose formula f'(u) is missing.
template <td::BYTE functionID> inline constexpr bool cNoFormula = false;

// The type of a literal ln b.
template <typename T> td::BYTE logarithmType(const T& v)
{
    if constexpr (ValueTraits<T>::isComplex)
        return v.imag() == 0.0 ? C::REAL_LITERAL : C::CMPLX_LITERAL;
    else
    {
        (void)v;
        return C::REAL_LITERAL;
    }
}
} // namespace

template <typename T> Differentiator<T>::Differentiator(Tree& tree, td::UINT4 v) : _tree(tree), _var(v), _diffVar(v)
{
    if constexpr (ValueTraits<T>::isComplex)
    {
        // Variables and their partners are interleaved: 2k and 2k + 1.
        const CompileContext<T>* pContext = tree.getContext();
        ISolverServices<T>* pSolver = pContext ? pContext->pSolver : nullptr;
        _cmplxVarIndex = v;
        _cmplxPartnerIndex = pSolver && pSolver->hasConjugatePartners() ? (v ^ 1u) : static_cast<td::UINT4>(-1);
    }
}

// ---- dependence marks ----

template <typename T> void Differentiator<T>::swapConjugate()
{
    _diffVar = _diffVar == _cmplxVarIndex ? _cmplxPartnerIndex : _cmplxVarIndex;
}

template <typename T> bool Differentiator<T>::hasConjugatePartner() const
{
    return _cmplxPartnerIndex != static_cast<td::UINT4>(-1);
}

template <typename T> bool Differentiator<T>::isDiffVariable(const Node* pNode) const
{
    const Token<T>& t = *pNode->pToken;
    return isLeaf(pNode) && isSymbolType(t.type) && isOwn(t) && t.index == _diffVar;
}

template <typename T> td::UINT4 Differentiator<T>::markLeaf(Node* pNode)
{
    if (!isFunction(pNode, C::LIMIT))
        return isDiffVariable(pNode) ? 1 : 0;
    const td::UINT4 id = limitID(*pNode->pToken);
    TD_ASSERT(id > 0);
    pNode->leftTag = 0;
    const FnLimits<T>* pLimits = _tree.getLimits();
    if (!pLimits)
        return 0;
    const auto& derivs = (*pLimits)[id]._derivEvaluators;
    for (std::size_t k = 0; k < derivs.size(); ++k)
    {
        if (derivs[k].varIndex == _diffVar)
        {
            pNode->leftTag = static_cast<td::UINT4>(k + 1);
            return 1;
        }
    }
    return 0;
}

template <typename T> td::UINT4 Differentiator<T>::mark(Node* pRoot)
{
    struct Frame
    {
        Node* p;
        // Children marked so far: 0 none, 1 the left, 2 both.
        td::BYTE stage;
    };
    WalkStack<Frame> todo;
    todo.push({pRoot, 0});
    td::UINT4 result = 0;
    while (!todo.isEmpty())
    {
        Frame& f = todo.top();
        Node* p = f.p;
        // conj(u) depends on v as u depends on the partner of v; without partners as u
        // depends on v, and then it has no derivative.
        const bool conj = ValueTraits<T>::isComplex && isFunction(p, C::CONJ) && p->pLeftNode && hasConjugatePartner();
        if (f.stage == 0)
        {
            if (isLeaf(p))
            {
                result = markLeaf(p);
                todo.pop();
                continue;
            }
            f.stage = 1;
            if (conj)
                swapConjugate();
            if (p->pLeftNode)
            {
                todo.push({p->pLeftNode, 0});
                continue;
            }
            result = 0;
        }
        if (f.stage == 1)
        {
            p->leftTag = result;
            f.stage = 2;
            if (conj)
                swapConjugate();
            else if (p->pRightNode)
            {
                todo.push({p->pRightNode, 0});
                continue;
            }
            result = 0;
        }
        p->rightTag = result;
        result = p->leftTag | p->rightTag;
        todo.pop();
    }
    return result;
}

template <typename T> bool Differentiator<T>::dependsOn()
{
    if (_tree.getType() == Tree::Type::IfThenElse)
        return false;
    Node* pRoot = _tree.getRoot();
    if (!pRoot)
        return false;
    return mark(pRoot) != 0;
}

// ---- dependence of a tree differentiated by many variables ----

namespace
{
// What the derivatives of one tree by its variables share: each node's parent and the
// leaves of each variable, so that marking for a variable walks up from its leaves
// through the nodes that depend on it, and no further. A root that is a chain of sums
// and differences (a long equation leans left along it) is not climbed: marking stops at
// the chain, which records the positions of the terms that depend, and the derivative is
// made from those terms alone (differentiateChain). So each variable costs what its
// own terms cost, however long the equation. One per thread, for the tree prepared last.
template <typename T> struct Dependence
{
    using Node = ETNode<T>;
    struct Leaf
    {
        td::UINT4 var;
        // For a lim leaf the 1-based position of var among its derivatives; 0 otherwise.
        td::UINT4 limitPos;
        Node* p;
        bool operator<(const Leaf& o) const { return var < o.var; }
    };

    static Dependence& scratch()
    {
        thread_local Dependence s_dependence;
        return s_dependence;
    }

    static bool isChainOperator(const Node* p)
    {
        const td::BYTE type = p->pToken->type;
        return (type == C::ADD || type == C::SUB) && p->pLeftNode && p->pRightNode;
    }

    bool isFor(const void* pTree, const Node* pRoot) const { return pTree == _pTree && pRoot == _pRoot; }

    void begin(const void* pTree, const Node* pRoot)
    {
        _pTree = pTree;
        _pRoot = pRoot;
        _leaves.clear();
        _touched.clear();
        _chain.clear();
        _marked.clear();
        _nNodes = 0;
        _parents.assign(64, Slot{});
    }
    void forget() { _pTree = nullptr; }

    // p below pParent; parentChain: pParent's position in the root's chain, -1 outside it.
    void addNode(const Node* p, Node* pParent, td::INT4 parentChain)
    {
        if (2 * (++_nNodes) > _parents.size())
            grow();
        insert(Slot{p, pParent, parentChain});
    }
    void addChainNode(Node* p) { _chain.push_back(p); }
    void addLeaf(td::UINT4 var, td::UINT4 limitPos, Node* p) { _leaves.push_back({var, limitPos, p}); }
    void sortLeaves() { std::stable_sort(_leaves.begin(), _leaves.end()); }
    td::UINT4 nodeCount() const { return _nNodes; }
    bool hasChain() const { return !_chain.empty(); }
    Node* const* chain() const { return _chain.data(); }
    // The chain positions marked, deepest first.
    const td::UINT4* markedPositions() const { return _marked.data(); }
    td::UINT4 markedCount() const { return static_cast<td::UINT4>(_marked.size()); }

    // Marks what depends on var; true when the root does.
    bool mark(td::UINT4 var)
    {
        // A root that is itself a leaf of var (a bare variable as the whole equation)
        // depends on it without a parent to mark.
        bool rootLeaf = false;
        auto it = std::lower_bound(_leaves.begin(), _leaves.end(), Leaf{var, 0, nullptr});
        for (; it != _leaves.end() && it->var == var; ++it)
        {
            Node* pChild = it->p;
            rootLeaf = rootLeaf || pChild == _pRoot;
            if (it->limitPos)
            {
                pChild->leftTag = it->limitPos;
                _touched.push_back(pChild);
            }
            for (const Slot* pSlot = &slotOf(pChild); pSlot->pParent; pSlot = &slotOf(pChild))
            {
                Node* p = pSlot->pParent;
                const bool marked = p->leftTag || p->rightTag;
                (p->pLeftNode == pChild ? p->leftTag : p->rightTag) = 1;
                if (marked)
                    break;
                _touched.push_back(p);
                if (pSlot->parentChain >= 0)
                {
                    _marked.push_back(static_cast<td::UINT4>(pSlot->parentChain));
                    break;
                }
                pChild = p;
            }
        }
        if (_marked.empty())
            return rootLeaf || !_touched.empty();
        // Deepest first; every marked node but the deepest has the chain below it to take.
        std::sort(_marked.begin(), _marked.end(), [](td::UINT4 a, td::UINT4 b) { return a > b; });
        for (std::size_t k = 1; k < _marked.size(); ++k)
            _chain[_marked[k]]->leftTag = 1;
        return true;
    }
    void clearMarks()
    {
        for (Node* p : _touched)
            p->leftTag = p->rightTag = 0;
        _touched.clear();
        _marked.clear();
    }

private:
    struct Slot
    {
        const Node* p = nullptr;
        Node* pParent = nullptr;
        // The parent's position in the root's chain; -1 outside it.
        td::INT4 parentChain = -1;
    };
    std::size_t hash(const Node* p) const
    {
        return (static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15ull >> 20) &
               (_parents.size() - 1);
    }
    const Slot& slotOf(const Node* p) const
    {
        static const Slot s_none;
        for (std::size_t i = hash(p);; i = (i + 1) & (_parents.size() - 1))
        {
            if (_parents[i].p == p)
                return _parents[i];
            if (!_parents[i].p)
                return s_none;
        }
    }
    void insert(const Slot& slot)
    {
        std::size_t i = hash(slot.p);
        while (_parents[i].p)
            i = (i + 1) & (_parents.size() - 1);
        _parents[i] = slot;
    }
    void grow()
    {
        std::vector<Slot> old(2 * _parents.size());
        old.swap(_parents);
        for (const Slot& slot : old)
        {
            if (slot.p)
                insert(slot);
        }
    }

    const void* _pTree = nullptr;
    const Node* _pRoot = nullptr;
    td::UINT4 _nNodes = 0;
    std::vector<Slot> _parents;
    std::vector<Leaf> _leaves;
    std::vector<Node*> _touched;
    // The root's chain of sums and differences, from the root down its left operands.
    std::vector<Node*> _chain;
    std::vector<td::UINT4> _marked;
};
} // namespace

template <typename T> bool Differentiator<T>::prepareDependence(Tree& tree)
{
    Dependence<T>& d = Dependence<T>::scratch();
    Node* pRoot = tree.getRoot();
    d.forget();
    if (!pRoot)
        return false;
    d.begin(&tree, pRoot);
    const FnLimits<T>* pLimits = tree.getLimits();
    bool refused = false;
    struct Item
    {
        Node* p;
        Node* pParent;
        td::INT4 parentChain;
    };
    WalkStack<Item> todo;
    todo.push({pRoot, nullptr, -1});
    while (!todo.isEmpty() && !refused)
    {
        const Item item = todo.top();
        Node* p = item.p;
        todo.pop();
        d.addNode(p, item.pParent, item.parentChain);
        p->leftTag = p->rightTag = 0;
        const Token<T>& t = *p->pToken;
        // The root, and each left operand of a chain node, continue the chain.
        const bool inChain = (!item.pParent || (item.parentChain >= 0 && item.pParent->pLeftNode == p)) &&
                             Dependence<T>::isChainOperator(p);
        const td::INT4 chain = inChain ? item.parentChain + 1 : -1;
        if (inChain)
            d.addChainNode(p);
        // Under conj a variable stands for its partner: marked from the root instead.
        refused = ValueTraits<T>::isComplex && isFunction(p, C::CONJ);
        if (p->pRightNode)
            todo.push({p->pRightNode, p, chain});
        if (p->pLeftNode)
            todo.push({p->pLeftNode, p, chain});
        if (!isLeaf(p))
            continue;
        if (isSymbolType(t.type) && isOwn(t))
            d.addLeaf(t.index, 0, p);
        else if (isLimitLeaf(p) && pLimits)
        {
            const auto& derivs = (*pLimits)[limitID(t)]._derivEvaluators;
            // The first entry of a variable is the one its derivative reads.
            for (std::size_t k = 0; k < derivs.size(); ++k)
            {
                bool first = true;
                for (std::size_t j = 0; j < k && first; ++j)
                    first = derivs[j].varIndex != derivs[k].varIndex;
                if (first)
                    d.addLeaf(derivs[k].varIndex, static_cast<td::UINT4>(k + 1), p);
            }
        }
    }
    if (refused)
    {
        d.forget();
        return false;
    }
    d.sortLeaves();
    return true;
}

template <typename T> void Differentiator<T>::forgetDependence() { Dependence<T>::scratch().forget(); }

template <typename T> bool Differentiator<T>::differentiate(Tree& out)
{
    Node* pRoot = _tree.getRoot();
    if (!pRoot)
        return true;
    Dependence<T>& d = Dependence<T>::scratch();
    if (!d.isFor(&_tree, pRoot))
    {
        if (!mark(pRoot))
            return true;
        return differentiateMarked(out);
    }
    const bool depends = d.mark(_var);
    const bool ok = !depends || differentiateMarked(out);
    d.clearMarks();
    return ok;
}

template <typename T> td::UINT4 Differentiator<T>::derivativeNodeLimit(td::UINT4 nNodes)
{
    const td::LUINT8 wanted = static_cast<td::LUINT8>(nNodes) * cDerivativeNodesPerNode;
    if (wanted < cDerivativeNodesMin)
        return cDerivativeNodesMin;
    return wanted > cDerivativeNodesMax ? cDerivativeNodesMax : static_cast<td::UINT4>(wanted);
}

template <typename T> bool Differentiator<T>::differentiateMarked(Tree& out)
{
    Node* pDerivative = nullptr;
    const char* failure = msg::etCantDiff;
    // The message stands at the operation that has no derivative, when it has a column.
    const td::UINT2 walkColumn = _tree._walkColumn;
    _tree._walkColumn = 0;
    const Dependence<T>& d = Dependence<T>::scratch();
    const bool prepared = d.isFor(&_tree, _tree.getRoot());
    const td::UINT4 nNodes = prepared ? d.nodeCount() : countDistinct(_tree.getRoot());
    _tree._nodesLeft = derivativeNodeLimit(nNodes);
    _tree._sharing = true;
    try
    {
        if (prepared && d.hasChain())
            pDerivative = differentiateChain(d.chain(), d.markedPositions(), d.markedCount());
        else
            pDerivative = differentiateNode(_tree.getRoot());
    }
    catch (const typename Tree::NodeLimitReached&)
    {
        pDerivative = nullptr;
        failure = msg::etDerivTooLarge;
    }
    catch (...)
    {
        pDerivative = nullptr;
    }
    _tree._nodesLeft = Tree::cNoNodeLimit;
    _tree._sharing = false;
    _diffVar = _var;
    if (!pDerivative)
        _tree.reportAt(failure);
    _tree._walkColumn = walkColumn;
    if (!pDerivative)
        return false;
    out.pushRoot(pDerivative);
    return true;
}

// Nodes of a tree, a node shared by several parents counted once.
template <typename T> td::UINT4 Differentiator<T>::countDistinct(const Node* pRoot)
{
    std::unordered_set<const Node*> seen;
    WalkStack<const Node*> todo;
    if (pRoot)
        todo.push(pRoot);
    while (!todo.isEmpty())
    {
        const Node* p = todo.top();
        todo.pop();
        if (!seen.insert(p).second)
            continue;
        if (p->pRightNode)
            todo.push(p->pRightNode);
        if (p->pLeftNode)
            todo.push(p->pLeftNode);
    }
    return static_cast<td::UINT4>(seen.size());
}

template <typename T>
typename Differentiator<T>::Node* Differentiator<T>::differentiateChain(Node* const* pChain,
                                                                        const td::UINT4* pPositions,
                                                                        td::UINT4 nPositions)
{
    // The deepest takes what hangs below it as any node would; each further one adds its
    // term's derivative to the derivative from below, as its rule does.
    Node* pDerivative = nullptr;
    for (td::UINT4 k = 0; k < nPositions; ++k)
    {
        Node* p = pChain[pPositions[k]];
        if (k == 0)
        {
            pDerivative = differentiateNode(p);
            continue;
        }
        Node* pTerm = p->rightTag ? differentiateNode(p->pRightNode) : nullptr;
        pDerivative = finishOperator(p, pDerivative, pTerm);
    }
    return pDerivative;
}

// ---- the rules ----

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::differentiateNode(Node* pRoot)
{
    // A node whose rule waits for the derivatives of the subtrees it needs.
    struct Frame
    {
        Node* p;
        Node* needed[2];
        Node* derivatives[2];
        td::BYTE next;
    };
    Node* pResult = nullptr;
    Frame root{pRoot, {}, {}, 0};
    if (startRule(pRoot, pResult, root.needed))
        return pResult;
    WalkStack<Frame> todo;
    todo.push(root);
    for (;;)
    {
        Frame& f = todo.top();
        while (f.next < 2 && !f.needed[f.next])
            ++f.next;
        if (f.next < 2)
        {
            Frame child{f.needed[f.next], {}, {}, 0};
            if (startRule(child.p, pResult, child.needed))
                f.derivatives[f.next++] = pResult;
            else
                todo.push(child);
            continue;
        }
        pResult = finishRule(f.p, f.derivatives[0], f.derivatives[1]);
        todo.pop();
        if (todo.isEmpty())
            return pResult;
        Frame& parent = todo.top();
        parent.derivatives[parent.next++] = pResult;
    }
}

template <typename T> bool Differentiator<T>::startRule(Node* pNode, Node*& pResult, Node* (&needed)[2])
{
    needed[0] = needed[1] = nullptr;
    const Token<T>& t = *pNode->pToken;
    if (isLeaf(pNode))
    {
        if (isDiffVariable(pNode))
            pResult = intLiteral(1);
        else if (isLimitLeaf(pNode) && pNode->leftTag > 0)
        {
            // The leaf of the limit's derivative by the variable.
            pResult = _tree.newNode();
            *pResult->pToken = t;
            pResult->pToken->value = T(packLimitWord(limitID(t), pNode->leftTag));
        }
        else
            pResult = intLiteral(0);
        return true;
    }
    const td::UINT4 right = pNode->pRightNode ? pNode->rightTag : 0;
    pResult = nullptr;
    if (!pNode->leftTag && !right)
        return true;
    if (t.type == C::FUNCTION)
        return startFunction(pNode, pResult, needed);
    if (t.type == C::POW)
        return startPower(pNode, pResult, needed);
    return startOperator(pNode, pResult, needed);
}

template <typename T>
typename Differentiator<T>::Node* Differentiator<T>::finishRule(Node* pNode, Node* dLeft, Node* dRight)
{
    switch (pNode->pToken->type)
    {
    case C::FUNCTION: return finishFunction(pNode, dLeft);
    case C::POW: return finishPower(pNode, dLeft, dRight);
    default: return finishOperator(pNode, dLeft, dRight);
    }
}

template <typename T> bool Differentiator<T>::startFunction(Node* pNode, Node*& pResult, Node* (&needed)[2])
{
    const td::BYTE id = pNode->pToken->functionID();
    Node* pBody = pNode->pLeftNode;
    TD_ASSERT(pBody);
    switch (functionTraits<T>(id).rule)
    {
    case DiffRule::Zero: pResult = intLiteral(0); return true;
    case DiffRule::Chain: needed[0] = pBody; return false;
    case DiffRule::Conjugate:
        // Without a partner conj(u) of a u that depends on v has no derivative.
        if (!hasConjugatePartner())
        {
            failAt(pNode, cFunctionNotDifferentiable, id);
            throw std::invalid_argument("conj without conjugate partners");
        }
        // d conj(u) / dv = conj(du / d partner(v)); swapped back when it is done.
        swapConjugate();
        needed[0] = pBody;
        return false;
    case DiffRule::Quotient:
        if (pNode->pRightNode)
            return startQuotient(pNode, pResult, needed);
        break;
    case DiffRule::Limit:
    case DiffRule::None: break;
    }
    failAt(pNode, cFunctionNotDifferentiable, id);
    throw std::invalid_argument("Unsupported function for diff");
}

// atg2(u, w) as atg(u / w).
template <typename T> bool Differentiator<T>::startQuotient(Node* pNode, Node*& pResult, Node* (&needed)[2])
{
    Node* pQuotient =
        _tree.newOperator(C::ATG, _tree.makeBinary(pNode->pLeftNode, pNode->pRightNode, true, true, C::DIV), nullptr);
    // The quotient may fold to a constant (atg2(x, x)).
    if (!mark(pQuotient))
    {
        pResult = intLiteral(0);
        return true;
    }
    needed[0] = pQuotient;
    return false;
}

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::finishFunction(Node* pNode, Node* pInner)
{
    const td::BYTE id = pNode->pToken->functionID();
    switch (functionTraits<T>(id).rule)
    {
    case DiffRule::Conjugate: swapConjugate(); return conjugated(pInner);
    case DiffRule::Quotient: return pInner;
    default: break;
    }
    if (!pInner)
        return intLiteral(0);
    return _tree.makeBinary(pInner, derivativeOf(id, pNode), false, false, C::MUL);
}

// f'(u) of the function node f(u) whose rule is Chain in this build.
template <typename T> typename Differentiator<T>::Node* Differentiator<T>::derivativeOf(td::BYTE id, Node* pNode)
{
    constexpr bool complex = ValueTraits<T>::isComplex;
    switch (id)
    {
#define EQNKIT_CHAIN_FORMULA(name, word, domain, op, cOp, arity, cArity, rule, cRule)                                  \
    case C::name: return chainFactor<C::name, (complex ? DiffRule::cRule : DiffRule::rule) == DiffRule::Chain>(pNode);
        EQNKIT_FUNCTIONS(EQNKIT_CHAIN_FORMULA)
#undef EQNKIT_CHAIN_FORMULA
    default: return nullptr;
    }
}

// The formulas f'(u), one for each function whose rule is Chain; u is copied wherever it
// is used. A function of that rule without its formula here does not compile.
template <typename T> template <td::BYTE id, bool chain>
typename Differentiator<T>::Node* Differentiator<T>::chainFactor(Node* pNode)
{
    if constexpr (!chain)
    {
        (void)pNode;
        return nullptr;
    }
    else
    {
        Node* u = pNode->pLeftNode;
        [[maybe_unused]] auto fn = [this, u](td::BYTE f) { return _tree.newOperator(f, share(u), nullptr); };
        [[maybe_unused]] auto make = [this](Node* a, Node* b, td::BYTE op) {
            return _tree.makeBinary(a, b, false, false, op);
        };
        [[maybe_unused]] auto square = [this, u]() { return _tree.power(u, 2, true); };
        [[maybe_unused]] auto one = [this]() { return intLiteral(1); };
        if constexpr (id == C::ABS)
            return fn(C::SIGN);
        else if constexpr (id == C::ACOS)
            return make(intLiteral(-1), _tree.newOperator(C::SQRT, make(one(), square(), C::SUB), nullptr), C::DIV);
        else if constexpr (id == C::ASIN)
            return make(one(), _tree.newOperator(C::SQRT, make(one(), square(), C::SUB), nullptr), C::DIV);
        else if constexpr (id == C::ATG)
            return make(one(), make(one(), square(), C::ADD), C::DIV);
        else if constexpr (id == C::COS)
            return make(intLiteral(0), fn(C::SIN), C::SUB);
        else if constexpr (id == C::EXP)
            return share(pNode);
        else if constexpr (id == C::SQRT)
            return make(_tree.newLiteral(C::REAL_LITERAL, T(0.5)),
                        make(share(u), _tree.newLiteral(C::REAL_LITERAL, T(-0.5)), C::POW), C::MUL);
        else if constexpr (id == C::LN)
            return _tree.makeBinary(one(), u, false, true, C::DIV);
        else if constexpr (id == C::LOG)
            return _tree.makeBinary(_tree.newLiteral(C::REAL_LITERAL, T(1.0 / std::log(10.0))), u, false, true, C::DIV);
        else if constexpr (id == C::SIN)
            return fn(C::COS);
        else if constexpr (id == C::TG)
            return make(one(), _tree.power(fn(C::COS), 2, false), C::DIV);
        else if constexpr (id == C::SQR)
            return _tree.makeBinary(intLiteral(2), u, false, true, C::MUL);
        else if constexpr (id == C::SINH)
            return fn(C::COSH);
        else if constexpr (id == C::COSH)
            return fn(C::SINH);
        else if constexpr (id == C::TGH)
            return make(one(), _tree.power(fn(C::TGH), 2, false), C::SUB);
        else if constexpr (id == C::ASNH)
            return make(one(), _tree.newOperator(C::SQRT, make(one(), square(), C::ADD), nullptr), C::DIV);
        else if constexpr (id == C::ACSH)
            return make(one(), _tree.newOperator(C::SQRT, make(square(), one(), C::SUB), nullptr), C::DIV);
        else if constexpr (id == C::ATGH)
            return make(one(), make(one(), square(), C::SUB), C::DIV);
        else
            static_assert(cNoFormula<id>, "a function whose derivative rule is Chain needs its formula f'(u) here");
    }
}

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::conjugated(Node* pInner)
{
    if (!pInner)
        return intLiteral(0);
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (isLiteral(pInner))
        {
            const T& value = pInner->pToken->value;
            if (value.imag() == 0.0)
                return pInner;
            return _tree.newLiteral(pInner->pToken->type, std::conj(value));
        }
    }
    if (isType(pInner, C::SUB) &&
        (isType(pInner->pLeftNode, C::INT_LITERAL) || isType(pInner->pLeftNode, C::REAL_LITERAL)))
        return _tree.newOperator(C::SUB, pInner->pLeftNode, _tree.newOperator(C::CONJ, pInner->pRightNode, nullptr));
    return _tree.newOperator(C::CONJ, pInner, nullptr);
}

template <typename T> bool Differentiator<T>::startOperator(Node* pNode, Node*& pResult, Node* (&needed)[2])
{
    const td::BYTE op = pNode->pToken->type;
    Node* l = pNode->pLeftNode;
    Node* r = pNode->pRightNode;
    const bool onlyLeft = pNode->leftTag && !pNode->rightTag;
    const bool onlyRight = !pNode->leftTag && pNode->rightTag;
    switch (op)
    {
    case C::ADD:
    case C::SUB: break;
    case C::MUL:
        // The leaf shortcuts hold only for the variable itself.
        if (onlyLeft && isDiffVariable(l))
            pResult = share(r);
        else if (onlyRight && isDiffVariable(r))
            pResult = share(l);
        else if (!onlyLeft && !onlyRight && isDiffVariable(l) && isDiffVariable(r))
            pResult = _tree.newOperator(C::MUL, intLiteral(2), share(r));
        else
            break;
        return true;
    case C::DIV:
        if (onlyRight && isDiffVariable(r))
            pResult = negatedOverSquare(share(l), r);
        else if (!onlyLeft && !onlyRight && isDiffVariable(l) && isDiffVariable(r))
            pResult = intLiteral(0);
        else
            break;
        return true;
    default:
        failAt(pNode, cOperatorNotDifferentiable, op);
        throw std::invalid_argument("Unsupported operator for diff");
    }
    needed[0] = onlyRight ? nullptr : l;
    needed[1] = onlyLeft ? nullptr : r;
    return false;
}

template <typename T> void Differentiator<T>::failAt(const Node* pNode, const char* text, td::BYTE code)
{
    if (CompileContext<T>* pContext = _tree.getContext())
        pContext->addError(text, Token<T>::printName(code));
    _tree._walkColumn = pNode->pToken->column;
}

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::intLiteral(int value)
{
    return _tree.newLiteral(C::INT_LITERAL, T(value));
}

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::share(const Node* pNode)
{
    return _tree.takeOperand(const_cast<Node*>(pNode), true);
}

// 0 - numerator / r^2
template <typename T> typename Differentiator<T>::Node* Differentiator<T>::negatedOverSquare(Node* pNumerator, Node* r)
{
    return _tree.makeBinary(intLiteral(0), _tree.makeBinary(pNumerator, _tree.power(r, 2, true), false, false, C::DIV),
                            false, false, C::SUB);
}

template <typename T>
typename Differentiator<T>::Node* Differentiator<T>::finishOperator(Node* pNode, Node* dl, Node* dr)
{
    const td::BYTE op = pNode->pToken->type;
    Node* l = pNode->pLeftNode;
    Node* r = pNode->pRightNode;
    const bool onlyLeft = pNode->leftTag && !pNode->rightTag;
    const bool onlyRight = !pNode->leftTag && pNode->rightTag;
    switch (op)
    {
    case C::ADD:
    case C::SUB:
        if (onlyLeft)
            return dl;
        if (onlyRight && op == C::ADD)
            return dr;
        if (onlyRight)
        {
            if (isLiteral(dr))
                return _tree.newLiteral(dr->pToken->type, -dr->pToken->value);
            return _tree.makeBinary(intLiteral(0), dr, false, false, C::SUB);
        }
        return _tree.makeBinary(dl, dr, false, false, op);
    case C::MUL:
        if (onlyLeft)
            return _tree.makeBinary(dl, r, false, true, C::MUL);
        if (onlyRight)
            return _tree.makeBinary(l, dr, true, false, C::MUL);
        return _tree.makeBinary(_tree.makeBinary(dl, r, false, true, C::MUL),
                                _tree.makeBinary(dr, l, false, true, C::MUL), false, false, C::ADD);
    default:
        // '/'
        if (onlyLeft)
            return _tree.makeBinary(dl, r, false, true, C::DIV);
        if (onlyRight)
            return negatedOverSquare(_tree.makeBinary(l, dr, true, false, C::MUL), r);
        return _tree.makeBinary(_tree.makeBinary(_tree.makeBinary(dl, r, false, true, C::MUL),
                                                 _tree.makeBinary(dr, l, false, true, C::MUL), false, false, C::SUB),
                                _tree.power(r, 2, true), false, false, C::DIV);
    }
}

template <typename T> bool Differentiator<T>::startPower(Node* pNode, Node*& pResult, Node* (&needed)[2])
{
    Node* b = pNode->pLeftNode;
    Node* e = pNode->pRightNode;
    if (pNode->leftTag && !pNode->rightTag)
    {
        if (isDiffVariable(b))
            pResult = powerOfVariable(b, e);
        else if (isValue(e, 0))
            pResult = intLiteral(0);
        else
        {
            needed[0] = b;
            return false;
        }
        return true;
    }
    if (!pNode->leftTag && pNode->rightTag)
    {
        const bool exponentIsVariable = isDiffVariable(e);
        if (isLiteral(b))
        {
            const T bv = b->pToken->value;
            if (bv == T(0) || bv == T(1))
                pResult = intLiteral(0);
            else if (exponentIsVariable && b->pToken->type == C::E)
                pResult = share(pNode);
            else if (exponentIsVariable)
            {
                const T lnB = std::log(bv);
                pResult =
                    _tree.makeBinary(_tree.newLiteral(logarithmType(lnB), lnB), share(pNode), false, false, C::MUL);
            }
            else
            {
                needed[1] = e;
                return false;
            }
            return true;
        }
        if (!exponentIsVariable)
        {
            needed[1] = e;
            return false;
        }
        pResult = _tree.makeBinary(_tree.newOperator(C::LN, share(b), nullptr), share(pNode), false, false, C::MUL);
        return true;
    }
    needed[0] = b;
    needed[1] = e;
    return false;
}

// d(x ^ e) / dx for the variable x and an exponent free of it.
template <typename T> typename Differentiator<T>::Node* Differentiator<T>::powerOfVariable(Node* b, Node* e)
{
    if (!isLiteral(e))
        return _tree.newOperator(C::MUL, share(e), _tree.newOperator(C::POW, share(b), _tree.minusOne(e)));
    const T ev = e->pToken->value;
    if (ev == T(1))
        return intLiteral(1);
    if (ev == T(0))
        return intLiteral(0);
    if (ev == T(2))
        return _tree.newOperator(C::MUL, share(e), share(b));
    const td::BYTE type = e->pToken->type == C::INT_LITERAL ? C::INT_LITERAL : C::REAL_LITERAL;
    return _tree.newOperator(C::MUL, share(e), _tree.newOperator(C::POW, share(b), _tree.newLiteral(type, ev - T(1))));
}

template <typename T> typename Differentiator<T>::Node* Differentiator<T>::finishPower(Node* pNode, Node* db, Node* de)
{
    Node* b = pNode->pLeftNode;
    Node* e = pNode->pRightNode;
    auto make = [this](Node* x, Node* y, td::BYTE op) { return _tree.makeBinary(x, y, false, false, op); };
    if (pNode->leftTag && !pNode->rightTag)
    {
        Node* pFactor = _tree.makeBinary(e, db, true, false, C::MUL);
        if (_tree.getSimplify() && isValue(e, 1))
            return pFactor;
        if (_tree.getSimplify() && isValue(e, 2))
            return _tree.makeBinary(pFactor, b, false, true, C::MUL);
        return _tree.newOperator(C::MUL, pFactor, _tree.newOperator(C::POW, share(b), _tree.minusOne(e)));
    }
    if (!pNode->leftTag && pNode->rightTag)
    {
        if (isLiteral(b))
        {
            if (b->pToken->type == C::E)
                return make(de, share(pNode), C::MUL);
            const T lnB = std::log(b->pToken->value);
            return make(make(_tree.newLiteral(logarithmType(lnB), lnB), de, C::MUL), share(pNode), C::MUL);
        }
        Node* pLog = _tree.newOperator(C::LN, share(b), nullptr);
        return make(make(pLog, de, C::MUL), share(pNode), C::MUL);
    }
    // b ^ e * (de ln b + e db / b)
    Node* q;
    if (_tree.equal(b, e))
        q = db;
    else if (_tree.equal(db, b))
        q = share(e);
    else
        q = _tree.makeBinary(_tree.makeBinary(e, db, true, false, C::MUL), b, false, true, C::DIV);
    Node* pLog = _tree.newOperator(C::LN, share(b), nullptr);
    return make(make(make(de, pLog, C::MUL), q, C::ADD), share(pNode), C::MUL);
}
} // namespace sl
