// From tree to evaluator: the postfix walk into stack-machine code, with the operand
// order chosen from the exact stack need of each subtree, and the conditional records.
#include <cstdint>
#include <cstring>
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

// The emission of one expression, a tree or a graph whose subtrees may be shared. One walk
// over the distinct nodes measures them (stack need, uses, random draws), checking each as
// it is first met; a second walk writes the postfix plan, the deeper operand first. A
// shared part without random draws is computed once, kept in a temporary cell and loaded
// where it is used again; a part that draws is emitted at every use, so each use draws as
// a copy of it would. While measured, a node's leftTag holds its entry + 1 (a tag that
// names no entry of that node is whatever an earlier step left); release() gives every
// measured node its tags back. One is reused for every expression of a thread.
template <typename T> class Emission
{
public:
    using Node = ETNode<T>;
    using Tree = ExpressionTree<T>;

    struct Counts
    {
        td::UINT4 instructions = 0;
        td::UINT4 constants = 0;
        td::UINT4 variables = 0;
        td::UINT4 parameters = 0;
        td::UINT4 temps = 0;
    };

    static Emission& scratch()
    {
        thread_local Emission s_emission;
        return s_emission;
    }

    // Walks the distinct nodes below pRoot; with a tree to check against, false at the
    // first node (in preorder) that cannot be emitted, after the tree's message.
    bool measure(const Node* pRoot, const Tree* pChecker) { return measure(&pRoot, 1, pChecker); }
    // The same below several roots, in turn.
    bool measure(const Node* const* pRoots, td::UINT4 nRoots, const Tree* pChecker);
    // The largest need of a root; the need of root k.
    td::UINT4 rootNeed() const;
    td::UINT4 rootNeed(td::UINT4 k) const { return infoOf(_roots[k]).need; }
    td::UINT4 rootCount() const { return static_cast<td::UINT4>(_roots.size()); }
    // Whether a node measured draws random numbers.
    bool draws() const;
    // Counts of the distinct nodes measured, by the rules of the tree's statistics.
    Counts nodeCounts(td::UINT4 nVars) const;
    // The postfix plan of the roots measured last, each followed by the put of its result
    // when asked; planCounts size its record.
    void plan(bool shareParts, td::UINT4 nVars, bool putResults = false)
    {
        plan(0, rootCount(), shareParts, nVars, putResults);
    }
    // The same for the n roots from the first (put k for root first + k). A part used more
    // than once below these roots takes a temporary cell.
    void plan(td::UINT4 first, td::UINT4 n, bool shareParts, td::UINT4 nVars, bool putResults);
    const Counts& planCounts() const { return _planCounts; }
    // The plan into e, sized by init with planCounts.
    bool compile(Evaluator<T>& e, td::UINT4 nVars) const;
    void release();

private:
    struct Info
    {
        const Node* p;
        td::UINT4 need;
        td::UINT4 allUses;
        td::INT4 temp;
        td::UINT4 leftTag;
        td::UINT4 rightTag;
        // The plan that last emitted the node; the plan that last counted its uses, and
        // their number below that plan's roots.
        td::UINT4 planned;
        td::UINT4 counted;
        td::UINT4 uses;
        bool draws;
        // The sin and the cos node met first whose argument this node is.
        const Node* pSine;
        const Node* pCosine;
    };
    enum class StepKind : td::BYTE
    {
        Token,
        // A sin or cos token computing its partner of the same argument into temp too.
        SinCos,
        Store,
        Load,
        Put
    };
    struct Step
    {
        const Token<T>* pToken;
        td::UINT4 temp;
        StepKind kind;
    };

    // Tags are scratch of the walk, even on nodes the caller hands over as const.
    static Node* writable(const Node* p) { return const_cast<Node*>(p); }
    Info& infoOf(const Node* p) { return _info[p->leftTag - 1]; }
    const Info& infoOf(const Node* p) const { return _info[p->leftTag - 1]; }
    static td::UINT4 max(td::UINT4 a, td::UINT4 b) { return a > b ? a : b; }
    bool isMeasured(const Node* p) const
    {
        return p->leftTag != 0 && p->leftTag <= _info.size() && _info[p->leftTag - 1].p == p;
    }
    bool enter(const Node* p, const Tree* pChecker);
    bool measureBelow(const Node* pRoot, const Tree* pChecker);
    td::UINT4 needOf(const Node* p) const;
    static void count(const Token<T>& t, td::UINT4 nVars, Counts& c);
    void addStep(const Token<T>* pToken, td::UINT4 temp, StepKind kind, td::UINT4 nVars);
    void planRoot(const Node* pRoot, td::UINT4 nVars);
    // The temporary cell for the cos of a sin node's argument (the sin of a cos node's)
    // when this plan computes that partner later; -1 otherwise.
    td::INT4 partnerTemp(const Node* p);
    // The uses of each part below the n roots from the first, as the plan will reach them.
    void countUses(td::UINT4 first, td::UINT4 n);

    std::vector<const Node*> _roots;
    // Plans made since the last measure, numbering them.
    td::UINT4 _planNumber = 0;
    bool _shareParts = false;
    // The plan made covers every root measured.
    bool _allRoots = true;
    std::vector<Info> _info;
    std::vector<Step> _plan;
    Counts _planCounts;
};

template <typename T> bool Emission<T>::enter(const Node* p, const Tree* pChecker)
{
    if (isMeasured(p))
    {
        ++infoOf(p).allUses;
        return true;
    }
    if (pChecker && !pChecker->canEmit(*p->pToken))
        return false;
    _info.push_back({p, 0, 1, -1, p->leftTag, p->rightTag, 0, 0, 0, false, nullptr, nullptr});
    writable(p)->leftTag = static_cast<td::UINT4>(_info.size());
    return true;
}

template <typename T> bool Emission<T>::measure(const Node* const* pRoots, td::UINT4 nRoots, const Tree* pChecker)
{
    _info.clear();
    _plan.clear();
    _roots.clear();
    _planNumber = 0;
    for (td::UINT4 k = 0; k < nRoots; ++k)
    {
        if (!pRoots[k])
            continue;
        const bool first = !isMeasured(pRoots[k]);
        if (!enter(pRoots[k], pChecker))
            return false;
        // Only a root entered has a need to ask for.
        _roots.push_back(pRoots[k]);
        if (first && !measureBelow(pRoots[k], pChecker))
            return false;
    }
    return true;
}

template <typename T> td::UINT4 Emission<T>::rootNeed() const
{
    td::UINT4 need = 0;
    for (const Node* p : _roots)
        need = max(need, infoOf(p).need);
    return need;
}

template <typename T> bool Emission<T>::draws() const
{
    for (const Node* p : _roots)
    {
        if (infoOf(p).draws)
            return true;
    }
    return false;
}

template <typename T> bool Emission<T>::measureBelow(const Node* pRoot, const Tree* pChecker)
{
    struct Frame
    {
        const Node* p;
        // Children taken so far: 0 none, 1 the left, 2 both.
        td::BYTE stage;
    };
    WalkStack<Frame> todo;
    todo.push({pRoot, 0});
    while (!todo.isEmpty())
    {
        Frame& f = todo.top();
        const Node* pChild = nullptr;
        while (!pChild && f.stage < 2)
            pChild = f.stage++ == 0 ? f.p->pLeftNode : f.p->pRightNode;
        if (pChild)
        {
            const bool first = !isMeasured(pChild);
            if (!enter(pChild, pChecker))
                return false;
            if (first)
                todo.push({pChild, 0});
            continue;
        }
        const Node* p = f.p;
        todo.pop();
        Info& info = infoOf(p);
        info.need = needOf(p);
        const Token<T>& t = *p->pToken;
        info.draws = (t.type == C::FUNCTION && t.functionID() == C::RND) ||
                     (p->pLeftNode && infoOf(p->pLeftNode).draws) || (p->pRightNode && infoOf(p->pRightNode).draws);
        const bool sine = isFunction(p, C::SIN), cosine = isFunction(p, C::COS);
        if ((sine || cosine) && p->pLeftNode && !p->pRightNode)
        {
            const Node*& pOf = sine ? infoOf(p->pLeftNode).pSine : infoOf(p->pLeftNode).pCosine;
            if (!pOf)
                pOf = p;
        }
    }
    return true;
}

template <typename T> td::UINT4 Emission<T>::needOf(const Node* p) const
{
    if (!p->pLeftNode && !p->pRightNode)
        return 1;
    const Token<T>& t = *p->pToken;
    const td::UINT4 nLeft = p->pLeftNode ? infoOf(p->pLeftNode).need : 0;
    const td::UINT4 nRight = p->pRightNode ? infoOf(p->pRightNode).need : 0;
    if (t.type == C::FUNCTION)
    {
        td::BYTE id = t.functionID();
        td::BYTE arity = Tree::functionArity(id);
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

template <typename T> void Emission<T>::count(const Token<T>& t, td::UINT4 nVars, Counts& c)
{
    ++c.instructions;
    if (isSymbolType(t.type))
        isOwnVariable(t, nVars) ? ++c.variables : ++c.parameters;
    else if (t.type == C::LAPLACE)
        t.index < nVars ? ++c.variables : ++c.parameters;
    else if (t.isNumber())
        ++c.constants;
    else if (t.type == C::FUNCTION && C::takesTokenOperand(t.functionID()))
    {
        // The operand constant and its push.
        ++c.instructions;
        ++c.constants;
    }
}

template <typename T> typename Emission<T>::Counts Emission<T>::nodeCounts(td::UINT4 nVars) const
{
    Counts c;
    for (const Info& info : _info)
        count(*info.p->pToken, nVars, c);
    return c;
}

template <typename T> void Emission<T>::addStep(const Token<T>* pToken, td::UINT4 temp, StepKind kind, td::UINT4 nVars)
{
    _plan.push_back({pToken, temp, kind});
    if (kind == StepKind::Token || kind == StepKind::SinCos)
        count(*pToken, nVars, _planCounts);
    else
        ++_planCounts.instructions;
}

template <typename T>
void Emission<T>::plan(td::UINT4 first, td::UINT4 n, bool shareParts, td::UINT4 nVars, bool putResults)
{
    _plan.clear();
    _planCounts = Counts{};
    ++_planNumber;
    _shareParts = shareParts;
    // All roots: the uses measured; some: their own.
    _allRoots = n >= rootCount();
    if (!_allRoots)
        countUses(first, n);
    for (td::UINT4 k = 0; k < n; ++k)
    {
        planRoot(_roots[first + k], nVars);
        if (putResults)
            addStep(nullptr, k, StepKind::Put, nVars);
    }
}

template <typename T> void Emission<T>::countUses(td::UINT4 first, td::UINT4 n)
{
    WalkStack<const Node*> todo;
    for (td::UINT4 k = 0; k < n; ++k)
        todo.push(_roots[first + k]);
    while (!todo.isEmpty())
    {
        const Node* p = todo.top();
        todo.pop();
        Info& info = infoOf(p);
        if (info.counted == _planNumber)
        {
            ++info.uses;
            continue;
        }
        info.counted = _planNumber;
        info.uses = 1;
        if (p->pRightNode)
            todo.push(p->pRightNode);
        if (p->pLeftNode)
            todo.push(p->pLeftNode);
    }
}

template <typename T> void Emission<T>::planRoot(const Node* pRoot, td::UINT4 nVars)
{
    // A subtree still to walk, a token to emit (a sin or cos with the temporary cell of
    // its partner), or the store of a shared part.
    struct Task
    {
        const Node* p;
        const Token<T>* pToken;
        bool store;
        td::INT4 partner;
    };
    WalkStack<Task> todo;
    todo.push({pRoot, nullptr, false, -1});
    while (!todo.isEmpty())
    {
        // Field by field: a task is read right after its fields were written one by one,
        // and a wider read of them waits for the writes to land.
        const Task& top = todo.top();
        const Node* p = top.p;
        const Token<T>* pToken = top.pToken;
        const bool store = top.store;
        const td::INT4 partner = top.partner;
        todo.pop();
        if (!p)
        {
            if (partner >= 0)
                addStep(pToken, static_cast<td::UINT4>(partner), StepKind::SinCos, nVars);
            else
                addStep(pToken, 0, StepKind::Token, nVars);
            continue;
        }
        Info& info = infoOf(p);
        if (store || (info.planned == _planNumber && info.temp >= 0))
        {
            addStep(nullptr, static_cast<td::UINT4>(info.temp), store ? StepKind::Store : StepKind::Load, nVars);
            continue;
        }
        // A part used more than once (not a leaf, and drawing nothing) is computed once
        // into a cell of this plan.
        const bool leaf = !p->pLeftNode && !p->pRightNode;
        const td::UINT4 uses = info.counted == _planNumber ? info.uses : info.allUses;
        info.temp = _shareParts && uses > 1 && !leaf && !info.draws ? static_cast<td::INT4>(_planCounts.temps++) : -1;
        info.planned = _planNumber;
        // Pushed in reverse: the first to run is pushed last.
        if (info.temp >= 0)
            todo.push({p, nullptr, true, -1});
        const Token<T>& t = *p->pToken;
        if (t.type != C::FUNCTION && p->pLeftNode && p->pRightNode && swappable(t.type) &&
            infoOf(p->pRightNode).need > infoOf(p->pLeftNode).need)
        {
            todo.push({nullptr, &reversedToken(t), false, -1});
            todo.push({p->pLeftNode, nullptr, false, -1});
            todo.push({p->pRightNode, nullptr, false, -1});
            continue;
        }
        const td::INT4 partnerCell = partnerTemp(p);
        if (partnerCell >= 0)
        {
            todo.push({nullptr, &t, false, partnerCell});
            todo.push({p->pLeftNode, nullptr, false, -1});
            continue;
        }
        todo.push({nullptr, &t, false, -1});
        if (const Node* pSecond = p->pRightNode)
        {
            if (t.type != C::FUNCTION || takesWholeSecondArgument(t.functionID()))
                todo.push({pSecond, nullptr, false, -1});
            else
            {
                // Further arguments of the other calls are single tokens.
                if (Tree::functionArity(t.functionID()) == 3)
                {
                    TD_ASSERT(p->pRightNode->pRightNode);
                    todo.push({nullptr, pSecond->pRightNode->pToken, false, -1});
                }
                todo.push({nullptr, pSecond->pToken, false, -1});
            }
        }
        if (p->pLeftNode)
            todo.push({p->pLeftNode, nullptr, false, -1});
    }
}

template <typename T> td::INT4 Emission<T>::partnerTemp(const Node* p)
{
    if (!_shareParts || !p->pLeftNode || p->pRightNode)
        return -1;
    const bool sine = isFunction(p, C::SIN);
    if (!sine && !isFunction(p, C::COS))
        return -1;
    const Info& argument = infoOf(p->pLeftNode);
    const Node* pPartner = sine ? argument.pCosine : argument.pSine;
    if (!pPartner || argument.draws)
        return -1;
    Info& partner = infoOf(pPartner);
    // Not computed yet, and below the roots of this plan.
    if (partner.planned == _planNumber || (!_allRoots && partner.counted != _planNumber))
        return -1;
    partner.temp = static_cast<td::INT4>(_planCounts.temps++);
    partner.planned = _planNumber;
    // The pair reaches the argument once: the partner's use of it is not another.
    Info& arg = infoOf(p->pLeftNode);
    if (arg.counted != _planNumber)
    {
        arg.counted = _planNumber;
        arg.uses = arg.allUses;
    }
    if (arg.uses > 1)
        --arg.uses;
    return partner.temp;
}

template <typename T> bool Emission<T>::compile(Evaluator<T>& e, td::UINT4 nVars) const
{
    for (const Step& step : _plan)
    {
        bool ok;
        switch (step.kind)
        {
        case StepKind::Store: ok = e.compileStore(step.temp); break;
        case StepKind::Load: ok = e.compileLoad(step.temp); break;
        case StepKind::Put: ok = e.compilePut(step.temp); break;
        case StepKind::SinCos: ok = e.compileSinCos(step.pToken->functionID() == C::COS, step.temp); break;
        default: ok = e.compileToken(*step.pToken, nVars); break;
        }
        if (!ok)
            return false;
    }
    return true;
}

template <typename T> void Emission<T>::release()
{
    for (const Info& info : _info)
    {
        writable(info.p)->leftTag = info.leftTag;
        writable(info.p)->rightTag = info.rightTag;
    }
    _info.clear();
}
} // namespace

// One node for each part of several expressions that computes the same: a node whose
// operation and operands equal those of a node met before is replaced by it wherever it
// is an operand (and as a root). Parts that draw random numbers are never merged, so each
// still draws. Equal means the same token (a literal by the bits of its value) over the
// same operand nodes, so a merged part computes bit for bit what each of its copies did.
template <typename T> class EqualParts
{
public:
    using Node = ETNode<T>;

    static EqualParts& scratch()
    {
        thread_local EqualParts s_parts;
        return s_parts;
    }

    // While merging, a node met has its entry + 1 in its leftTag (as while emitted); the
    // tags are given back at the end.
    void merge(Node** pRoots, td::UINT4 nRoots)
    {
        _nodes.clear();
        _byPart.assign(64, PartSlot{});
        _nParts = 0;
        for (td::UINT4 k = 0; k < nRoots; ++k)
        {
            if (pRoots[k])
                pRoots[k] = representative(pRoots[k]);
        }
        for (const NodeSlot& slot : _nodes)
            slot.p->leftTag = slot.leftTag;
    }

private:
    struct NodeSlot
    {
        Node* p = nullptr;
        Node* pRep = nullptr;
        td::UINT4 leftTag = 0;
        bool draws = false;
    };
    struct PartSlot
    {
        std::size_t hash = 0;
        Node* p = nullptr;
    };

    static std::size_t mix(std::size_t h, std::size_t v) { return (h ^ v) * 0x9E3779B97F4A7C15ull; }
    static std::size_t ofPointer(const void* p)
    {
        return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(p));
    }
    static std::size_t ofValue(const T& v)
    {
        std::size_t h = 0;
        double parts[sizeof(T) / sizeof(double)];
        std::memcpy(parts, &v, sizeof(T));
        for (double d : parts)
        {
            std::uint64_t bits;
            std::memcpy(&bits, &d, sizeof(bits));
            h = mix(h, static_cast<std::size_t>(bits));
        }
        return h;
    }

    static bool sameToken(const Token<T>& a, const Token<T>& b)
    {
        if (a.type != b.type)
            return false;
        if (isSymbolType(a.type))
            return a.index == b.index && a.symbolOrigin == b.symbolOrigin;
        if (a.type == C::FUNCTION)
            return a.functionID() == b.functionID() && std::memcmp(&a.value, &b.value, sizeof(T)) == 0;
        if (a.isNumber())
            return std::memcmp(&a.value, &b.value, sizeof(T)) == 0;
        return true;
    }
    static std::size_t hashOf(const Node* p)
    {
        const Token<T>& t = *p->pToken;
        std::size_t h = mix(t.type, ofPointer(p->pLeftNode));
        h = mix(h, ofPointer(p->pRightNode));
        if (isSymbolType(t.type))
            return mix(h, (static_cast<std::size_t>(t.index) << 8) | static_cast<std::size_t>(t.symbolOrigin));
        if (t.type == C::FUNCTION)
            return mix(mix(h, t.functionID()), ofValue(t.value));
        return t.isNumber() ? mix(h, ofValue(t.value)) : h;
    }

    bool known(const Node* p) const
    {
        return p->leftTag != 0 && p->leftTag <= _nodes.size() && _nodes[p->leftTag - 1].p == p;
    }
    const NodeSlot& nodeSlot(const Node* p) const { return _nodes[p->leftTag - 1]; }
    // The node met first among those equal to p (p itself when none was).
    Node* partOf(Node* p)
    {
        const std::size_t h = hashOf(p);
        for (std::size_t i = h >> 20;; ++i)
        {
            PartSlot& slot = _byPart[i & (_byPart.size() - 1)];
            if (!slot.p)
            {
                slot = PartSlot{h, p};
                ++_nParts;
                return p;
            }
            const Node* q = slot.p;
            if (slot.hash == h && q->pLeftNode == p->pLeftNode && q->pRightNode == p->pRightNode &&
                sameToken(*q->pToken, *p->pToken))
                return slot.p;
        }
    }
    template <typename Slot, typename Rehash> static void grow(std::vector<Slot>& slots, Rehash&& rehash)
    {
        std::vector<Slot> old(2 * slots.size());
        old.swap(slots);
        for (const Slot& slot : old)
        {
            if (slot.p)
                rehash(slot);
        }
    }

    Node* representative(Node* pRoot);

    std::vector<NodeSlot> _nodes;
    std::vector<PartSlot> _byPart;
    std::size_t _nParts = 0;
};

template <typename T> ETNode<T>* EqualParts<T>::representative(Node* pRoot)
{
    struct Frame
    {
        Node* p;
        td::BYTE stage;
    };
    if (known(pRoot))
        return nodeSlot(pRoot).pRep;
    WalkStack<Frame> todo;
    todo.push({pRoot, 0});
    while (!todo.isEmpty())
    {
        Frame& f = todo.top();
        Node* pChild = nullptr;
        while (!pChild && f.stage < 2)
        {
            pChild = f.stage++ == 0 ? f.p->pLeftNode : f.p->pRightNode;
            if (pChild && known(pChild))
                pChild = nullptr;
        }
        if (pChild)
        {
            todo.push({pChild, 0});
            continue;
        }
        Node* p = f.p;
        todo.pop();
        bool draws = isFunction(p, C::RND);
        for (Node** ppChild : {&p->pLeftNode, &p->pRightNode})
        {
            if (!*ppChild)
                continue;
            const NodeSlot& child = nodeSlot(*ppChild);
            *ppChild = child.pRep;
            draws = draws || child.draws;
        }
        if (4 * (_nParts + 1) > 3 * _byPart.size())
            grow(_byPart, [this](const PartSlot& slot) {
                for (std::size_t i = slot.hash >> 20;; ++i)
                {
                    PartSlot& to = _byPart[i & (_byPart.size() - 1)];
                    if (!to.p)
                    {
                        to = slot;
                        return;
                    }
                }
            });
        Node* pRep = draws ? p : partOf(p);
        _nodes.push_back(NodeSlot{p, pRep, p->leftTag, draws});
        p->leftTag = static_cast<td::UINT4>(_nodes.size());
    }
    return nodeSlot(pRoot).pRep;
}

template <typename T> td::UINT4 ExpressionTree<T>::stackNeed(const Node* pNode)
{
    Emission<T>& emission = Emission<T>::scratch();
    emission.measure(pNode, nullptr);
    const td::UINT4 need = emission.rootNeed();
    emission.release();
    return need;
}

template <typename T> void ExpressionTree<T>::countNode(const Node* pRoot) const
{
    Emission<T>& emission = Emission<T>::scratch();
    emission.measure(pRoot, nullptr);
    const typename Emission<T>::Counts c = emission.nodeCounts(_nVars);
    emission.release();
    _nTokens += c.instructions;
    _nConsts += c.constants;
    _nVarRefs += c.variables;
    _nParamRefs += c.parameters;
}

template <typename T> bool ExpressionTree<T>::emitPostfix(Node* pNode)
{
    TD_ASSERT(_pEvaluator);
    Emission<T>& emission = Emission<T>::scratch();
    emission.measure(pNode, nullptr);
    emission.plan(true, _nVars);
    const bool emitted = emission.compile(*_pEvaluator, _nVars);
    emission.release();
    return emitted;
}

// ---- checks before emission ----

template <typename T> bool ExpressionTree<T>::canEmit(const Tok& t) const
{
    if (t.type == C::SYMBOL)
        return symbolInRange(t);
    if (t.type == C::FUNCTION || isOperatorType(t.type))
    {
        const bool function = t.type == C::FUNCTION;
        const td::BYTE code = function ? t.functionID() : t.type;
        bool runnable = CU<T>::opcode(code).supported;
        if (function)
            runnable = runnable && code >= C::cFirstFunction && code < ValueTraits<T>::cPushInt;
        if (runnable)
            return true;
        reportFormattedAt(t, msg::etFnNotSupported, Tok::printName(code));
        return false;
    }
    if (t.isNumber())
        return true;
    reportUnexpectedToken(t.type);
    return false;
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
    if (!pRoot)
        return false;
    readValueCounts();
    Emission<T>& emission = Emission<T>::scratch();
    const bool measured = emission.measure(pRoot, this);
    const bool fits = measured && emission.rootNeed() <= static_cast<td::UINT4>(CU<T>::CU_STACK_SIZE);
    if (!measured || !fits)
    {
        emission.release();
        if (measured)
            reportAt(msg::etExprTooDeep);
        return false;
    }
    emission.plan(true, _nVars);
    const typename Emission<T>::Counts& c = emission.planCounts();
    out->init(*_pContext, static_cast<td::INT4>(c.instructions), static_cast<td::INT4>(c.constants),
              static_cast<td::INT4>(c.variables), static_cast<td::INT4>(c.parameters), c.temps);
    const bool emitted = emission.compile(*out, _nVars);
    emission.release();
    TD_ASSERT(emitted && out->isFilled());
    out->trimCode(*_pContext);
    setEvaluatorTarget(out);
    return emitted;
}

template <typename T> bool ExpressionTree<T>::beginRow(Node** pRoots, td::UINT4 nRoots)
{
    EqualParts<T>::scratch().merge(pRoots, nRoots);
    readValueCounts();
    Emission<T>& emission = Emission<T>::scratch();
    if (emission.measure(pRoots, nRoots, this))
        return true;
    emission.release();
    return false;
}

template <typename T> bool ExpressionTree<T>::compileRowEntry(td::UINT4 k, Evaluator<T>* out)
{
    TD_ASSERT(out);
    Emission<T>& emission = Emission<T>::scratch();
    TD_ASSERT(k < emission.rootCount());
    if (emission.rootNeed(k) > static_cast<td::UINT4>(CU<T>::CU_STACK_SIZE))
    {
        reportAt(msg::etExprTooDeep);
        return false;
    }
    emission.plan(k, 1, true, _nVars, false);
    const typename Emission<T>::Counts& c = emission.planCounts();
    out->init(*_pContext, static_cast<td::INT4>(c.instructions), static_cast<td::INT4>(c.constants),
              static_cast<td::INT4>(c.variables), static_cast<td::INT4>(c.parameters), c.temps);
    const bool emitted = emission.compile(*out, _nVars);
    TD_ASSERT(emitted && out->isFilled());
    out->trimCode(*_pContext);
    return emitted;
}

template <typename T> bool ExpressionTree<T>::compileRowProgram(Evaluator<T>* out, bool& draws)
{
    TD_ASSERT(out);
    Emission<T>& emission = Emission<T>::scratch();
    draws = emission.draws();
    if (emission.rootNeed() > static_cast<td::UINT4>(CU<T>::CU_STACK_SIZE))
        return false;
    emission.plan(true, _nVars, true);
    const typename Emission<T>::Counts& c = emission.planCounts();
    out->init(*_pContext, static_cast<td::INT4>(c.instructions), static_cast<td::INT4>(c.constants),
              static_cast<td::INT4>(c.variables), static_cast<td::INT4>(c.parameters), c.temps, true);
    const bool emitted = emission.compile(*out, _nVars);
    TD_ASSERT(emitted && out->isFilled());
    out->trimCode(*_pContext);
    return emitted;
}

template <typename T> void ExpressionTree<T>::endRow() { Emission<T>::scratch().release(); }

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
    pRecord = _pContext->newEvaluator();
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
        Evaluator<T>* pRecord = pPrevious ? _pContext->newEvaluator() : out;
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
} // namespace sl
