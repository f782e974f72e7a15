// The simplifying node constructor: fractions, literal operands, chain folding, negations
// and equal operands are rewritten as a binary node is made.
#include <cmath>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"

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

bool isArithmetic(td::BYTE op) { return op == C::ADD || op == C::SUB || op == C::MUL || op == C::DIV; }

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

// chain op c: the literal k of the chain takes c.
template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::foldIntoLeft(Node* pChain,
                                                                                        const Node* pLiteral,
                                                                                        bool copyChain, td::BYTE op)
{
    ChainLiteral<T> hit = findInChain(pChain, op);
    if (!hit.pNode)
        return nullptr;
    Node* pBase = takeOperand(pChain, copyChain);
    if (copyChain)
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
    setLiteral(hit.pLiteral, value, type);
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

    Node* pBase = takeOperand(pChain, copyChain);
    const ChainLiteral<T> hit = copyChain ? findInChain(pBase, op) : probe;
    if (commuting && hit.isLeft)
    {
        setLiteral(hit.pLiteral, m, type);
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

template <typename T> typename ExpressionTree<T>::Node* ExpressionTree<T>::simplify(Node* pLeftNode, Node* pRightNode,
                                                                                    bool copyLeft, bool copyRight,
                                                                                    td::BYTE op)
{
    TD_ASSERT(pLeftNode);
    TD_ASSERT(pRightNode);
    Node* l = pLeftNode;
    Node* r = pRightNode;
    bool cl = copyLeft;
    bool cr = copyRight;
    auto plain = [&]() { return newOperator(op, takeOperand(l, cl), takeOperand(r, cr)); };
    // Nested fractions and negations make this recurse; past cMaxSimplifyDepth levels the
    // node stays plain (same value), so deep operands cannot exhaust the call stack.
    if (!_simplify || !isArithmetic(op) || _simplifyDepth >= cMaxSimplifyDepth)
        return plain();
    const DepthCount depthCount(_simplifyDepth);
    for (;;)
    {
        // Fractions first; parts of a flagged operand are flagged, new products are not.
        if (op == C::DIV && (isType(l, C::DIV) || isType(r, C::DIV)))
        {
            if (isType(l, C::DIV) && isType(r, C::DIV))
            {
                Node* pNum = simplify(l->pLeftNode, r->pRightNode, cl, cr, C::MUL);
                Node* pDen = simplify(l->pRightNode, r->pLeftNode, cl, cr, C::MUL);
                l = pNum;
                r = pDen;
                cl = cr = false;
            }
            else if (isType(l, C::DIV))
            {
                Node* pDen = simplify(l->pRightNode, r, cl, cr, C::MUL);
                l = l->pLeftNode;
                r = pDen;
                cr = false;
            }
            else
            {
                Node* pNum = simplify(l, r->pRightNode, cl, cr, C::MUL);
                l = pNum;
                r = r->pLeftNode;
                cl = false;
            }
            continue;
        }
        if (op == C::MUL && (isType(l, C::DIV) || isType(r, C::DIV)))
        {
            if (isType(l, C::DIV) && isType(r, C::DIV))
            {
                Node* pNum = simplify(l->pLeftNode, r->pLeftNode, cl, cr, C::MUL);
                Node* pDen = simplify(l->pRightNode, r->pRightNode, cl, cr, C::MUL);
                l = pNum;
                r = pDen;
                cl = cr = false;
            }
            else if (isType(l, C::DIV))
            {
                Node* pNum = simplify(l->pLeftNode, r, cl, cr, C::MUL);
                r = l->pRightNode;
                cr = cl;
                l = pNum;
                cl = false;
            }
            else
            {
                Node* pDen = r->pRightNode;
                T ratio = isLiteral(l) && isLiteral(pDen) ? l->pToken->value / pDen->pToken->value : T(0);
                if (isLiteral(l) && isLiteral(pDen) && isFinite(ratio))
                {
                    // A literal over a literal is one real factor.
                    l = newLiteral(nonIntegerType(ratio), ratio);
                    cl = false;
                    r = r->pLeftNode;
                    continue;
                }
                l = simplify(l, r->pLeftNode, cl, cr, C::MUL);
                cl = false;
                r = pDen;
            }
            op = C::DIV;
            continue;
        }

        const bool litL = isLiteral(l);
        const bool litR = isLiteral(r);
        if (!litL && litR)
        {
            if (op == C::ADD || op == C::MUL)
            {
                std::swap(l, r);
                std::swap(cl, cr);
                continue;
            }
            if ((op == C::SUB && isValue(r, 0)) || (op == C::DIV && isValue(r, 1)))
                return takeOperand(l, cl);
            if (op == C::DIV && isValue(r, -1))
                return newOperator(C::MUL, intLiteral(-1), takeOperand(l, cl));
            if (isChainOf(l, op))
            {
                if (Node* pFolded = foldIntoLeft(l, r, cl, op))
                    return pFolded;
            }
        }
        if (litL)
        {
            const T a = l->pToken->value;
            if (litR)
            {
                T value;
                td::BYTE type;
                if (!foldLiterals(op, *l->pToken, *r->pToken, value, type))
                    return plain();
                Node* pResult = takeOperand(l, cl);
                setLiteral(pResult, value, type);
                return pResult;
            }
            if (a == T(0) && (op == C::MUL || op == C::DIV))
                return intLiteral(0);
            if (a == T(0) && op == C::ADD)
                return takeOperand(r, cr);
            if (op == C::MUL && a == T(1))
                return takeOperand(r, cr);
            if (op == C::MUL && a == T(-1))
                return newOperator(C::SUB, intLiteral(0), takeOperand(r, cr));
            if (isChainOf(r, op))
            {
                if (Node* pFolded = foldIntoRight(l, r, cr, op))
                    return pFolded;
            }
        }

        const bool negL = isNegation(l);
        const bool negR = isNegation(r);
        if (negL || negR)
        {
            Node* a = negL ? l->pRightNode : nullptr;
            Node* b = negR ? r->pRightNode : nullptr;
            if (op == C::MUL || op == C::DIV)
            {
                if (negL && negR)
                {
                    l = a;
                    r = b;
                    continue;
                }
                Node* pInner = negL ? simplify(a, r, cl, cr, op) : simplify(l, b, cl, cr, op);
                return newOperator(C::SUB, intLiteral(0), pInner);
            }
            if (op == C::ADD)
            {
                if (negL && negR)
                    return newOperator(C::SUB, intLiteral(0), simplify(a, b, cl, cr, C::ADD));
                if (negL)
                {
                    // (-a) + r becomes r - a
                    l = r;
                    r = a;
                    std::swap(cl, cr);
                }
                else
                    r = b;
                op = C::SUB;
                continue;
            }
            // op is '-'
            if (negL && negR)
            {
                l = b;
                r = a;
                std::swap(cl, cr);
                continue;
            }
            if (negL)
                return newOperator(C::SUB, intLiteral(0), simplify(a, r, cl, cr, C::ADD));
            r = b;
            op = C::ADD;
            continue;
        }

        if (equal(l, r))
        {
            switch (op)
            {
            case C::ADD: return newOperator(C::MUL, intLiteral(2), takeOperand(l, cl));
            case C::SUB: return intLiteral(0);
            case C::MUL: return power(l, 2, cl);
            default: return intLiteral(1);
            }
        }
        return plain();
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
    pBase->pRightNode = makeBinary(pBase->pRightNode, intLiteral(k), false, false, C::MUL);
    return pBase;
}

#define EQNKIT_TREE_SIMPLIFY(T)                                                                                        \
    template ExpressionTree<T>::Node* ExpressionTree<T>::makeBinary(Node*, Node*, bool, bool, td::BYTE);               \
    template ExpressionTree<T>::Node* ExpressionTree<T>::simplify(Node*, Node*, bool, bool, td::BYTE);                 \
    template ExpressionTree<T>::Node* ExpressionTree<T>::minusOne(const Node*);                                        \
    template void ExpressionTree<T>::removeTerm(Node*&, Node*);                                                        \
    template ExpressionTree<T>::Node* ExpressionTree<T>::power(Node*, td::INT4, bool);
EQNKIT_TREE_SIMPLIFY(double)
EQNKIT_TREE_SIMPLIFY(std::complex<double>)
#undef EQNKIT_TREE_SIMPLIFY
} // namespace sl
