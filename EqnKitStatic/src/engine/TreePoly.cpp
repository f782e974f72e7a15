// Trees read as polynomials in the Laplace operator s: their order and form, their
// coefficient arrays, products and division of such arrays, and taking an operand out.
#include <vector>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"

namespace sl
{
using namespace nodes;

namespace
{
constexpr PolyForm constantForm()
{
    PolyForm f;
    f.type = TFType::Term;
    return f;
}

template <typename T> bool containsLaplace(const ETNode<T>* p)
{
    for (; p; p = p->pRightNode)
    {
        if (p->pToken->type == C::LAPLACE || containsLaplace(p->pLeftNode))
            return true;
    }
    return false;
}

// s ^ k with k an integer literal 0..64 (no imaginary part): k; else -1.
template <typename T> td::INT4 laplaceExponent(const ETNode<T>* p)
{
    if (!isType(p, C::POW) || !isType(p->pLeftNode, C::LAPLACE) || !isType(p->pRightNode, C::INT_LITERAL))
        return -1;
    const T& k = p->pRightNode->pToken->value;
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (k.imag() != 0.0)
            return -1;
    }
    const double re = realPart(k);
    if (!(re >= 0.0 && re <= PolyForm::cMaxOrder))
        return -1;
    return static_cast<td::INT4>(re);
}

template <typename T> bool isZero(const ETNode<T>* p) { return !p || isValue(p, 0.0); }

// Reads the coefficients of a polynomial whose operator nodes carry the forms that
// polynomialForm wrote into their tags.
template <typename T> class CoefficientReader
{
public:
    using Node = ETNode<T>;
    using Coeffs = std::vector<Node*>;

    explicit CoefficientReader(ExpressionTree<T>& tree) : _tree(tree) {}

    bool read(Node* p, td::UINT2 order, Coeffs& out)
    {
        out.assign(order + 1u, nullptr);
        if (!p)
            return false;
        const td::INT4 k = laplaceExponent(p);
        if (k >= 0 || isType(p, C::LAPLACE))
        {
            const td::UINT2 power = static_cast<td::UINT2>(k >= 0 ? k : 1);
            if (power != order)
                return false;
            out[0] = _tree.newLiteral(C::INT_LITERAL, T(1));
            return true;
        }
        if (order == 0 && !containsLaplace(p))
        {
            out[0] = _tree.copy(p);
            return true;
        }
        switch (p->pToken->type)
        {
        case C::ADD:
        case C::SUB: return readSum(p, order, out);
        case C::MUL: return readProduct(p, order, out);
        case C::DIV: return readQuotient(p, order, out);
        default: return false;
        }
    }

private:
    static PolyForm leftForm(const Node* p) { return PolyForm::fromTag(p->leftTag); }
    static PolyForm rightForm(const Node* p) { return PolyForm::fromTag(p->rightTag); }

    bool readOperands(Node* p, Coeffs& l, Coeffs& r, td::UINT2& nl, td::UINT2& nr)
    {
        nl = leftForm(p).order;
        nr = rightForm(p).order;
        return read(p->pLeftNode, nl, l) && read(p->pRightNode, nr, r);
    }

    bool readSum(Node* p, td::UINT2 order, Coeffs& out)
    {
        Coeffs l, r;
        td::UINT2 nl, nr;
        if (!readOperands(p, l, r, nl, nr) || (nl > nr ? nl : nr) != order)
            return false;
        const bool minus = isType(p, C::SUB);
        for (td::UINT2 power = 0; power <= order; ++power)
        {
            Node* a = power <= nl ? l[nl - power] : nullptr;
            Node* b = power <= nr ? r[nr - power] : nullptr;
            Node*& slot = out[order - power];
            if (!b)
                slot = a;
            else if (!a)
                slot = minus ? _tree.makeBinary(_tree.newLiteral(C::INT_LITERAL, T(0)), b, false, false, C::SUB) : b;
            else
                slot = _tree.makeBinary(a, b, false, false, minus ? C::SUB : C::ADD);
        }
        return true;
    }

    bool readProduct(Node* p, td::UINT2 order, Coeffs& out)
    {
        Coeffs l, r;
        td::UINT2 nl, nr;
        if (!readOperands(p, l, r, nl, nr) || nl + nr != order)
            return false;
        _tree.multiplyPolynomials(l.data(), r.data(), out.data(), nl, nr);
        return true;
    }

    bool readQuotient(Node* p, td::UINT2 order, Coeffs& out)
    {
        Coeffs l, r;
        td::UINT2 nl, nr;
        if (!readOperands(p, l, r, nl, nr) || nr != 0 || nl != order || !r[0])
            return false;
        for (td::UINT2 i = 0; i <= order; ++i)
        {
            if (l[i])
                out[i] = _tree.makeBinary(l[i], r[0], false, true, C::DIV);
        }
        return true;
    }

    ExpressionTree<T>& _tree;
};
} // namespace

template <typename T> PolyForm ExpressionTree<T>::polynomialForm(Node* pNode)
{
    const PolyForm notPoly;
    if (!pNode)
        return notPoly;
    const td::BYTE type = pNode->pToken->type;
    if (type == C::LAPLACE)
    {
        PolyForm s = constantForm();
        s.order = 1;
        return s;
    }
    if (type == C::FUNCTION)
        return containsLaplace(pNode->pLeftNode) || containsLaplace(pNode->pRightNode) ? notPoly : constantForm();
    if (!isOperatorType(type))
        return type >= C::SYMBOL && type <= C::CMPLX_LITERAL ? constantForm() : notPoly;
    if (!pNode->pLeftNode || !pNode->pRightNode)
        return notPoly;
    if (type == C::POW)
    {
        // Only s itself may be raised, and only to an integer literal.
        const td::INT4 k = laplaceExponent(pNode);
        if (k < 0)
            return notPoly;
        PolyForm f = constantForm();
        f.order = static_cast<td::UINT2>(k);
        return f;
    }
    const PolyForm l = polynomialForm(pNode->pLeftNode);
    const PolyForm r = polynomialForm(pNode->pRightNode);
    pNode->leftTag = l.toTag();
    pNode->rightTag = r.toTag();
    if (l.type == TFType::NotPoly || r.type == TFType::NotPoly)
        return notPoly;
    PolyForm f;
    switch (type)
    {
    case C::ADD:
    case C::SUB:
        if (l.type == TFType::Mult || r.type == TFType::Mult)
            return notPoly;
        if (l.isConstant() && r.isConstant())
            return constantForm();
        f.type = TFType::Sum;
        f.order = l.order > r.order ? l.order : r.order;
        return f;
    case C::MUL:
        if (l.type == TFType::Term && r.type == TFType::Term && (l.isConstant() || r.isConstant()))
            return l.isConstant() ? r : l;
        if (l.order + r.order > PolyForm::cMaxOrder)
            return notPoly;
        f.type = TFType::Mult;
        f.order = static_cast<td::UINT2>(l.order + r.order);
        return f;
    case C::DIV: return r.isConstant() ? l : notPoly;
    default: return notPoly;
    }
}

template <typename T> bool ExpressionTree<T>::polynomialCoefficients(Node* pNode, td::UINT2 order, Node** pCoeffs)
{
    CoefficientReader<T> reader(*this);
    std::vector<Node*> coeffs;
    if (!reader.read(pNode, order, coeffs))
        return false;
    for (td::UINT2 i = 0; i <= order; ++i)
        pCoeffs[i] = isZero(coeffs[i]) ? nullptr : coeffs[i];
    return true;
}

template <typename T>
td::UINT4 ExpressionTree<T>::multiplyPolynomials(Node* const* a, Node* const* b, Node** c, td::UINT2 na, td::UINT2 nb)
{
    const td::UINT4 nc = static_cast<td::UINT4>(na) + nb;
    for (td::UINT4 k = 0; k <= nc; ++k)
    {
        Node* sum = nullptr;
        const td::UINT4 first = k > nb ? k - nb : 0;
        const td::UINT4 last = k < na ? k : na;
        for (td::UINT4 i = first; i <= last; ++i)
        {
            if (!a[i] || !b[k - i])
                continue;
            Node* term = makeBinary(a[i], b[k - i], true, true, C::MUL);
            sum = sum ? makeBinary(sum, term, false, false, C::ADD) : term;
        }
        c[k] = isZero(sum) ? nullptr : sum;
    }
    return nc;
}

template <typename T> bool ExpressionTree<T>::dividePolynomials(Node* const* a, Node* const* b, Node** pQuotient,
                                                                Node** pRemainder, td::UINT2 n, td::UINT2 m)
{
    if (n < m)
        return false;
    // Long division on copies, leading coefficients first; b is monic.
    std::vector<Node*> rest(n + 1u, nullptr);
    for (td::UINT2 i = 0; i <= n; ++i)
        rest[i] = a[i] ? copy(a[i]) : nullptr;
    for (td::UINT2 i = 0; i + m <= n; ++i)
    {
        Node* q = rest[i];
        pQuotient[i] = q;
        if (!q)
            continue;
        for (td::UINT2 j = 1; j <= m; ++j)
        {
            if (!b[j])
                continue;
            Node* product = makeBinary(b[j], q, true, true, C::MUL);
            Node*& slot = rest[i + j];
            slot = makeBinary(slot ? slot : newLiteral(C::INT_LITERAL, T(0)), product, false, false, C::SUB);
            if (isZero(slot))
                slot = nullptr;
        }
    }
    for (td::UINT2 j = 0; j < m; ++j)
        pRemainder[j] = rest[n - m + 1 + j];
    return true;
}

template <typename T> bool ExpressionTree<T>::removeOperand(Node*& rootLink, Node* pNode, Node* pKept)
{
    if (!pNode || !pNode->pLeftNode || !pNode->pRightNode)
        return false;
    const td::BYTE op = pNode->pToken->type;
    if (op != C::ADD && op != C::SUB && op != C::MUL && op != C::DIV)
        return false;
    if (pKept != pNode->pLeftNode && pKept != pNode->pRightNode)
        return false;
    Node* pParent = nullptr;
    if (pNode != rootLink)
    {
        pParent = findParent(pNode, rootLink);
        if (!pParent)
            return false;
    }
    const bool losesLeft = pKept == pNode->pRightNode;
    if (losesLeft && (op == C::SUB || op == C::DIV))
    {
        // What stays of a - b without a is 0 - b, of a / b without a it is 1 / b.
        Node* pNeutral = newLiteral(C::INT_LITERAL, T(op == C::SUB ? 0 : 1));
        if (pParent)
        {
            pNode->pLeftNode = pNeutral;
            return true;
        }
        rootLink = makeBinary(pNeutral, pKept, false, false, op);
        return true;
    }
    if (pParent)
        (pParent->pLeftNode == pNode ? pParent->pLeftNode : pParent->pRightNode) = pKept;
    else
        rootLink = pKept;
    return true;
}

template class ExpressionTree<double>;
template class ExpressionTree<std::complex<double>>;
} // namespace sl
