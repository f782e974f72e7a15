// The simplifying node constructor: fractions, literal operands, chain folding, negations
// and equal operands are rewritten as a binary node is made.
#include <cmath>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;

namespace
{
// 0 - x with the integer 0: the form a unary minus takes.
template <typename T> bool isNegation(const ETNode<T>* p)
{
    return isType(p, C::SUB) && isType(p->pLeftNode, C::INT_LITERAL) && p->pLeftNode->pToken->value == T(0);
}

template <typename T> bool isFinite(const T& v)
{
    if constexpr (ValueTraits<T>::isComplex)
        return std::isfinite(v.real()) && std::isfinite(v.imag());
    else
        return std::isfinite(v);
}

// The literal type of a value that is not an integer literal.
template <typename T> td::BYTE nonIntegerType(const T& v)
{
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (v.imag() == 0.0)
            return C::REAL_LITERAL;
        return v.real() == 0.0 ? C::IMAG_LITERAL : C::CMPLX_LITERAL;
    }
    else
    {
        (void)v;
        return C::REAL_LITERAL;
    }
}

// An integer literal only from two integers and an integral value; a quotient never.
template <typename T> td::BYTE foldedType(const T& v, bool bothIntegers, bool quotient)
{
    const double re = realPart(v);
    bool integral = bothIntegers && !quotient && std::isfinite(re) && std::trunc(re) == re;
    if constexpr (ValueTraits<T>::isComplex)
        integral = integral && v.imag() == 0.0;
    return integral ? static_cast<td::BYTE>(C::INT_LITERAL) : nonIntegerType(v);
}

template <typename T> T apply(td::BYTE op, const T& a, const T& b)
{
    switch (op)
    {
    case C::ADD: return a + b;
    case C::SUB: return a - b;
    case C::MUL: return a * b;
    case C::DIV: return a / b;
    default: return std::pow(a, b);
    }
}

template <typename T> void setLiteral(ETNode<T>* p, const T& value, td::BYTE type)
{
    p->pToken->value = value;
    p->pToken->type = type;
}

// a op b of two literals with the type of the result; false for a division or a power
// without a finite result, which stays for run time.
template <typename T> bool foldLiterals(td::BYTE op, const Token<T>& a, const Token<T>& b, T& value, td::BYTE& type)
{
    value = apply(op, a.value, b.value);
    if ((op == C::DIV || op == C::POW) && !isFinite(value))
        return false;
    type = foldedType(value, a.type == C::INT_LITERAL && b.type == C::INT_LITERAL, op == C::DIV);
    return true;
}

// The chain operations of op: '+' and '-', or '*' and '/'.
bool isSumOp(td::BYTE op) { return op == C::ADD || op == C::SUB; }
template <typename T> bool isChainOf(const ETNode<T>* p, td::BYTE op)
{
    if (!p)
        return false;
    td::BYTE t = p->pToken->type;
    return isSumOp(op) ? isSumOp(t) : (t == C::MUL || t == C::DIV);
}

// The literal of a chain and where it stands.
template <typename T> struct ChainLiteral
{
    ETNode<T>* pNode = nullptr;
    ETNode<T>* pLiteral = nullptr;
    bool isLeft = false;
    // Subtracted (divided by) in the chain's value.
    bool inverted = false;
};

template <typename T> ChainLiteral<T> findInChain(ETNode<T>* pChain, td::BYTE op)
{
    ChainLiteral<T> hit;
    bool inverted = false;
    hit.pNode = isSumOp(op) ? ExpressionTree<T>::findLiteralTerm(pChain, inverted)
                            : ExpressionTree<T>::findLiteralFactor(pChain, inverted);
    if (!hit.pNode)
        return hit;
    hit.isLeft = isLiteral(hit.pNode->pLeftNode);
    hit.pLiteral = hit.isLeft ? hit.pNode->pLeftNode : hit.pNode->pRightNode;
    hit.inverted = inverted;
    return hit;
}

// '+' and '*' drop a neutral left literal, '-' and '/' keep it.
template <typename T> bool dropsLeftLiteral(const ETNode<T>* p) { return isType(p, C::ADD) || isType(p, C::MUL); }

// One level of a recursion, counted while it runs.
class DepthCount
{
public:
    explicit DepthCount(td::UINT4& depth) : _depth(depth) { ++_depth; }
    DepthCount(const DepthCount&) = delete;
    DepthCount& operator=(const DepthCount&) = delete;
    ~DepthCount() { --_depth; }

private:
    td::UINT4& _depth;
};

td::BYTE flipped(td::BYTE op)
{
    switch (op)
    {
    case C::ADD: return C::SUB;
    case C::SUB: return C::ADD;
    case C::MUL: return C::DIV;
    default: return C::MUL;
    }
}
} // namespace

template <typename T> void ExpressionTree<T>::replaceNode(Node*& rootLink, Node* pOld, Node* pNew)
{
    if (rootLink == pOld)
    {
        rootLink = pNew;
        return;
    }
    Node* pParent = findParent(pOld, rootLink);
    TD_ASSERT(pParent);
    (pParent->pLeftNode == pOld ? pParent->pLeftNode : pParent->pRightNode) = pNew;
}

template <typename T> void ExpressionTree<T>::removeTerm(Node*& rootLink, Node* pLiteral)
{
    Node* pNode = rootLink && (rootLink->pLeftNode == pLiteral || rootLink->pRightNode == pLiteral)
                      ? rootLink
                      : findParent(pLiteral, rootLink);
    if (!pNode)
        return;
    if (pNode->pRightNode == pLiteral)
        replaceNode(rootLink, pNode, pNode->pLeftNode);
    else if (dropsLeftLiteral(pNode))
        replaceNode(rootLink, pNode, pNode->pRightNode);
}

// The chain a fold rewrites: a copy when asked; while derivatives share subtrees, a copy
// of its nodes of op's chain (all a fold changes), the other subtrees shared.
template <typename T>
typename ExpressionTree<T>::Node* ExpressionTree<T>::chainToFold(Node* pChain, bool copyChain, td::BYTE op)
{
    if (!_sharing)
        return takeOperand(pChain, copyChain);
    Node* pCopy = nullptr;
    // Each entry: a node and the link that receives it or its copy.
    WalkStack<std::pair<Node*, Node**>> todo;
    todo.push({pChain, &pCopy});
    while (!todo.isEmpty())
    {
        auto [pFrom, ppLink] = todo.top();
        todo.pop();
        if (!isChainOf(pFrom, op))
        {
            *ppLink = pFrom;
            continue;
        }
        Node* pNew = newNode();
        *pNew->pToken = *pFrom->pToken;
        *ppLink = pNew;
        todo.push({pFrom->pRightNode, &pNew->pRightNode});
        todo.push({pFrom->pLeftNode, &pNew->pLeftNode});
    }
    return pCopy;
}

// The chain's literal takes value; while derivatives share subtrees, a new literal takes
// its place.
template <typename T> template <typename Hit>
void ExpressionTree<T>::foldedLiteral(Hit& hit, const T& value, td::BYTE type)
{
    if (!_sharing)
        return setLiteral(hit.pLiteral, value, type);
    Node* pLiteral = newLiteral(type, value);
    (hit.isLeft ? hit.pNode->pLeftNode : hit.pNode->pRightNode) = pLiteral;
    hit.pLiteral = pLiteral;
}

// chain op c: the literal k of the chain takes c.
template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::foldIntoLeft(Node* pChain,
                                                                                        const Node* pLiteral,
                                                                                        bool copyChain, td::BYTE op)
{
    ChainLiteral<T> hit = findInChain(pChain, op);
    if (!hit.pNode)
        return nullptr;
    Node* pBase = chainToFold(pChain, copyChain, op);
    if (pBase != pChain)
        hit = findInChain(pBase, op);
    const Tok& k = *hit.pLiteral->pToken;
    const T c = pLiteral->pToken->value;
    T value;
    td::BYTE type;
    if (op == C::SUB)
    {
        value = hit.inverted ? k.value + c : k.value - c;
        type = foldedType(value, k.type == C::INT_LITERAL && pLiteral->pToken->type == C::INT_LITERAL, false);
    }
    else
    {
        value = hit.inverted ? k.value * c : k.value / c;
        if (!isFinite(value))
            return nullptr;
        type = nonIntegerType(value);
    }
    foldedLiteral(hit, value, type);
    if (value == T(op == C::SUB ? 0 : 1))
        removeTerm(pBase, hit.pLiteral);
    return pBase;
}

// a op chain: a merges with the literal k of the chain.
template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::foldIntoRight(const Node* pLiteral,
                                                                                         Node* pChain, bool copyChain,
                                                                                         td::BYTE op)
{
    ChainLiteral<T> probe = findInChain(pChain, op);
    if (!probe.pNode)
        return nullptr;
    const bool commuting = op == C::ADD || op == C::MUL;
    // Taking out a left literal of '-' or '/' moves that node's sign to its parent, which
    // only works when the node is the parent's right operand.
    if (!commuting && probe.isLeft && !dropsLeftLiteral(probe.pNode))
    {
        Node* pParent = findParent(probe.pNode, pChain);
        if (!pParent || pParent->pRightNode != probe.pNode)
            return nullptr;
    }
    const T a = pLiteral->pToken->value;
    const T k = probe.pLiteral->pToken->value;
    const bool bothIntegers =
        pLiteral->pToken->type == C::INT_LITERAL && probe.pLiteral->pToken->type == C::INT_LITERAL;
    T m;
    bool quotient = false;
    if (commuting && probe.isLeft)
    {
        // The literal absorbs a where it stands, by its own sign in the chain.
        if (op == C::ADD)
            m = probe.inverted ? k - a : k + a;
        else
        {
            quotient = probe.inverted;
            m = quotient ? k / a : k * a;
        }
    }
    else
    {
        switch (op)
        {
        case C::ADD: m = probe.inverted ? a - k : a + k; break;
        case C::SUB: m = probe.inverted ? a + k : a - k; break;
        case C::MUL:
            quotient = probe.inverted;
            m = quotient ? a / k : a * k;
            break;
        default:
            quotient = !probe.inverted;
            m = quotient ? a / k : a * k;
            break;
        }
    }
    if (quotient && !isFinite(m))
        return nullptr;
    const td::BYTE type = foldedType(m, bothIntegers, quotient);

    Node* pBase = chainToFold(pChain, copyChain, op);
    ChainLiteral<T> hit = pBase != pChain ? findInChain(pBase, op) : probe;
    if (commuting && hit.isLeft)
    {
        foldedLiteral(hit, m, type);
        if (m == T(op == C::ADD ? 0 : 1))
            removeTerm(pBase, hit.pLiteral);
        return pBase;
    }
    // The rest of the chain without its literal.
    if (!hit.isLeft)
        replaceNode(pBase, hit.pNode, hit.pNode->pLeftNode);
    else if (dropsLeftLiteral(hit.pNode))
        replaceNode(pBase, hit.pNode, hit.pNode->pRightNode);
    else
    {
        Node* pParent = findParent(hit.pNode, pBase);
        pParent->pToken->type = flipped(pParent->pToken->type);
        replaceNode(pBase, hit.pNode, hit.pNode->pRightNode);
    }
    if ((op == C::MUL || op == C::DIV) && m == T(0))
        return intLiteral(0);
    if ((op == C::ADD && m == T(0)) || (op == C::MUL && m == T(1)))
        return pBase;
    return newOperator(op, newLiteral(type, m), pBase);
}

// The operands of one simplify call as the rules rewrite them; a flagged operand is copied
// where the result uses it.
template <typename T> struct ExpressionTree<T>::Operands
{
    Node* l;
    Node* r;
    bool cl;
    bool cr;
    td::BYTE op;
    Node* pResult = nullptr;

    Step done(Node* p)
    {
        pResult = p;
        return Step::Done;
    }
};

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::plainBinary(Operands& o)
{
    return newOperator(o.op, takeOperand(o.l, o.cl), takeOperand(o.r, o.cr));
}

// Fractions in a quotient; parts of a flagged operand are flagged, new products are not.
template <typename T> auto ExpressionTree<T>::quotientRules(Operands& o) -> Step
{
    if (o.op != C::DIV || (!isType(o.l, C::DIV) && !isType(o.r, C::DIV)))
        return Step::Next;
    // (a/b) / (c/d) = (a*d) / (b*c)
    if (isType(o.l, C::DIV) && isType(o.r, C::DIV))
    {
        Node* pNum = simplify(o.l->pLeftNode, o.r->pRightNode, o.cl, o.cr, C::MUL);
        Node* pDen = simplify(o.l->pRightNode, o.r->pLeftNode, o.cl, o.cr, C::MUL);
        o.l = pNum;
        o.r = pDen;
        o.cl = o.cr = false;
        return Step::Again;
    }
    // (a/b) / r = a / (b*r)
    if (isType(o.l, C::DIV))
    {
        Node* pDen = simplify(o.l->pRightNode, o.r, o.cl, o.cr, C::MUL);
        o.l = o.l->pLeftNode;
        o.r = pDen;
        o.cr = false;
        return Step::Again;
    }
    // l / (c/d) = (l*d) / c
    Node* pNum = simplify(o.l, o.r->pRightNode, o.cl, o.cr, C::MUL);
    o.l = pNum;
    o.r = o.r->pLeftNode;
    o.cl = false;
    return Step::Again;
}

// Fractions in a product: the product becomes a quotient.
template <typename T> auto ExpressionTree<T>::productRules(Operands& o) -> Step
{
    if (o.op != C::MUL || (!isType(o.l, C::DIV) && !isType(o.r, C::DIV)))
        return Step::Next;
    // (a/b) * (c/d) = (a*c) / (b*d)
    if (isType(o.l, C::DIV) && isType(o.r, C::DIV))
    {
        Node* pNum = simplify(o.l->pLeftNode, o.r->pLeftNode, o.cl, o.cr, C::MUL);
        Node* pDen = simplify(o.l->pRightNode, o.r->pRightNode, o.cl, o.cr, C::MUL);
        o.l = pNum;
        o.r = pDen;
        o.cl = o.cr = false;
        o.op = C::DIV;
        return Step::Again;
    }
    // (a/b) * r = (a*r) / b
    if (isType(o.l, C::DIV))
    {
        Node* pNum = simplify(o.l->pLeftNode, o.r, o.cl, o.cr, C::MUL);
        o.r = o.l->pRightNode;
        o.cr = o.cl;
        o.l = pNum;
        o.cl = false;
        o.op = C::DIV;
        return Step::Again;
    }
    Node* pDen = o.r->pRightNode;
    // k * (c/m) with literals k and m = (k/m) * c: a literal over a literal is one real factor
    if (isLiteral(o.l) && isLiteral(pDen))
    {
        const T ratio = o.l->pToken->value / pDen->pToken->value;
        if (isFinite(ratio))
        {
            o.l = newLiteral(nonIntegerType(ratio), ratio);
            o.cl = false;
            o.r = o.r->pLeftNode;
            return Step::Again;
        }
    }
    // l * (c/d) = (l*c) / d
    o.l = simplify(o.l, o.r->pLeftNode, o.cl, o.cr, C::MUL);
    o.cl = false;
    o.r = pDen;
    o.op = C::DIV;
    return Step::Again;
}

// A literal right operand of an operand that is none.
template <typename T> auto ExpressionTree<T>::literalRightRules(Operands& o) -> Step
{
    if (isLiteral(o.l) || !isLiteral(o.r))
        return Step::Next;
    // l + k and l * k: the literal goes left
    if (o.op == C::ADD || o.op == C::MUL)
    {
        std::swap(o.l, o.r);
        std::swap(o.cl, o.cr);
        return Step::Again;
    }
    // l - 0 = l and l / 1 = l
    if ((o.op == C::SUB && isValue(o.r, 0)) || (o.op == C::DIV && isValue(o.r, 1)))
        return o.done(takeOperand(o.l, o.cl));
    // l / -1 = -1 * l
    if (o.op == C::DIV && isValue(o.r, -1))
        return o.done(newOperator(C::MUL, intLiteral(-1), takeOperand(o.l, o.cl)));
    // chain - k and chain / k: k merges with the chain's literal
    if (isChainOf(o.l, o.op))
    {
        if (Node* pFolded = foldIntoLeft(o.l, o.r, o.cl, o.op))
            return o.done(pFolded);
    }
    return Step::Next;
}

// A literal left operand.
template <typename T> auto ExpressionTree<T>::literalLeftRules(Operands& o) -> Step
{
    if (!isLiteral(o.l))
        return Step::Next;
    // a op b of two literals is folded, unless the result must wait for run time
    if (isLiteral(o.r))
    {
        T value;
        td::BYTE type;
        if (!foldLiterals(o.op, *o.l->pToken, *o.r->pToken, value, type))
            return o.done(plainBinary(o));
        if (_sharing)
            return o.done(newLiteral(type, value));
        Node* pResult = takeOperand(o.l, o.cl);
        setLiteral(pResult, value, type);
        return o.done(pResult);
    }
    const T a = o.l->pToken->value;
    // 0 * r = 0 and 0 / r = 0
    if (a == T(0) && (o.op == C::MUL || o.op == C::DIV))
        return o.done(intLiteral(0));
    // 0 + r = r
    if (a == T(0) && o.op == C::ADD)
        return o.done(takeOperand(o.r, o.cr));
    // 1 * r = r
    if (o.op == C::MUL && a == T(1))
        return o.done(takeOperand(o.r, o.cr));
    // -1 * r = 0 - r
    if (o.op == C::MUL && a == T(-1))
        return o.done(newOperator(C::SUB, intLiteral(0), takeOperand(o.r, o.cr)));
    // a op chain: a merges with the chain's literal
    if (isChainOf(o.r, o.op))
    {
        if (Node* pFolded = foldIntoRight(o.l, o.r, o.cr, o.op))
            return o.done(pFolded);
    }
    return Step::Next;
}

// Negated operands, 0 - x: the sign moves out of products and quotients and into the
// operator of sums and differences.
template <typename T> auto ExpressionTree<T>::negationRules(Operands& o) -> Step
{
    const bool negL = isNegation(o.l);
    const bool negR = isNegation(o.r);
    if (!negL && !negR)
        return Step::Next;
    Node* a = negL ? o.l->pRightNode : nullptr;
    Node* b = negR ? o.r->pRightNode : nullptr;
    if (o.op == C::MUL || o.op == C::DIV)
    {
        // (-a) op (-b) = a op b
        if (negL && negR)
        {
            o.l = a;
            o.r = b;
            return Step::Again;
        }
        // (-a) op r = -(a op r) and l op (-b) = -(l op b)
        Node* pInner = negL ? simplify(a, o.r, o.cl, o.cr, o.op) : simplify(o.l, b, o.cl, o.cr, o.op);
        return o.done(newOperator(C::SUB, intLiteral(0), pInner));
    }
    if (o.op == C::ADD)
    {
        // (-a) + (-b) = -(a + b)
        if (negL && negR)
            return o.done(newOperator(C::SUB, intLiteral(0), simplify(a, b, o.cl, o.cr, C::ADD)));
        // (-a) + r = r - a
        if (negL)
        {
            o.l = o.r;
            o.r = a;
            std::swap(o.cl, o.cr);
            o.op = C::SUB;
            return Step::Again;
        }
        // l + (-b) = l - b
        o.r = b;
        o.op = C::SUB;
        return Step::Again;
    }
    // (-a) - (-b) = b - a
    if (negL && negR)
    {
        o.l = b;
        o.r = a;
        std::swap(o.cl, o.cr);
        return Step::Again;
    }
    // (-a) - r = -(a + r)
    if (negL)
        return o.done(newOperator(C::SUB, intLiteral(0), simplify(a, o.r, o.cl, o.cr, C::ADD)));
    // l - (-b) = l + b
    o.r = b;
    o.op = C::ADD;
    return Step::Again;
}

// Structurally equal operands.
template <typename T> auto ExpressionTree<T>::equalOperandRules(Operands& o) -> Step
{
    if (!equal(o.l, o.r))
        return Step::Next;
    switch (o.op)
    {
    // x + x = 2 * x
    case C::ADD: return o.done(newOperator(C::MUL, intLiteral(2), takeOperand(o.l, o.cl)));
    // x - x = 0
    case C::SUB: return o.done(intLiteral(0));
    // x * x = x^2
    case C::MUL: return o.done(power(o.l, 2, o.cl));
    // x / x = 1
    default: return o.done(intLiteral(1));
    }
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::simplify(Node* pLeftNode, Node* pRightNode,
                                                                                    bool copyLeft, bool copyRight,
                                                                                    td::BYTE op)
{
    TD_ASSERT(pLeftNode);
    TD_ASSERT(pRightNode);
    Operands o{pLeftNode, pRightNode, copyLeft, copyRight, op};
    // Nested fractions and negations make the rules recurse; past cMaxSimplifyDepth levels
    // the node stays plain (same value), so deep operands cannot exhaust the call stack.
    if (!_simplify || !isArithmetic(op) || _simplifyDepth >= cMaxSimplifyDepth)
        return plainBinary(o);
    const DepthCount depthCount(_simplifyDepth);
    for (;;)
    {
        // Fractions first, then literals, negations and equal operands.
        Step step = quotientRules(o);
        if (step == Step::Next)
            step = productRules(o);
        if (step == Step::Next)
            step = literalRightRules(o);
        if (step == Step::Next)
            step = literalLeftRules(o);
        if (step == Step::Next)
            step = negationRules(o);
        if (step == Step::Next)
            step = equalOperandRules(o);
        if (step == Step::Done)
            return o.pResult;
        if (step == Step::Next)
            return plainBinary(o);
    }
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::makeBinary(Node* pLeft, Node* pRight,
                                                                                      bool copyLeft, bool copyRight,
                                                                                      td::BYTE op)
{
    Node* pResult = simplify(pLeft, pRight, copyLeft, copyRight, op);
    if (!pResult || !_simplify)
        return pResult;
    const td::BYTE type = pResult->pToken->type;
    if (!(isArithmetic(type) || type == C::POW) || !isLiteral(pResult->pLeftNode) || !isLiteral(pResult->pRightNode))
        return pResult;
    Node* pL = pResult->pLeftNode;
    T value;
    td::BYTE foldType;
    if (!foldLiterals(type, *pL->pToken, *pResult->pRightNode->pToken, value, foldType))
        return pResult;
    if (_sharing)
        return newLiteral(foldType, value);
    setLiteral(pL, value, foldType);
    return pL;
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::minusOne(const Node* pExponent)
{
    Node* pCopy = copy(pExponent);
    if (_simplify)
    {
        if (isLiteral(pCopy))
        {
            const Tok& t = *pCopy->pToken;
            T value = t.value - T(1);
            setLiteral(pCopy, value, foldedType(value, t.type == C::INT_LITERAL, false));
            return pCopy;
        }
        ChainLiteral<T> hit = findInChain(pCopy, C::ADD);
        if (hit.pNode)
        {
            const Tok& k = *hit.pLiteral->pToken;
            T value = hit.inverted ? k.value + T(1) : k.value - T(1);
            setLiteral(hit.pLiteral, value, foldedType(value, k.type == C::INT_LITERAL, false));
            if (value == T(0))
                removeTerm(pCopy, hit.pLiteral);
            return pCopy;
        }
    }
    return newOperator(C::SUB, pCopy, intLiteral(1));
}

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::power(Node* pTree, td::INT4 k, bool copy)
{
    Node* pBase = takeOperand(pTree, copy);
    if (!isType(pBase, C::POW))
        return newOperator(C::POW, pBase, intLiteral(k));
    Node* pExponent = makeBinary(pBase->pRightNode, intLiteral(k), false, false, C::MUL);
    if (_sharing)
        return newOperator(C::POW, pBase->pLeftNode, pExponent);
    pBase->pRightNode = pExponent;
    return pBase;
}
} // namespace sl
