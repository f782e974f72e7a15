// The polynomial operations over a tree: forms read bottom-up level by level, coefficient
// arrays from the forms kept in the tags, products, long division and operand removal.
#include "Polynomials.h"

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

// The nodes of a tree level by level, each with the positions of its children: children
// come after their parent, so a pass from the back meets every node after its children.
// Trees as deep as a long sum need no call stack this way.
template <typename T, typename Extra> struct Levels
{
    struct Item
    {
        ETNode<T>* p = nullptr;
        Extra extra{};
        td::INT4 left = -1;
        td::INT4 right = -1;
    };

    // Lists root and the children of every node that descend(item) accepts.
    template <typename Descend> Levels(ETNode<T>* pRoot, const Extra& rootExtra, Descend descend)
    {
        items.push_back({pRoot, rootExtra});
        for (std::size_t i = 0; i < items.size(); ++i)
        {
            ETNode<T>* p = items[i].p;
            Extra left{}, right{};
            if (!descend(items[i], left, right))
                continue;
            if (p->pLeftNode)
            {
                items[i].left = static_cast<td::INT4>(items.size());
                items.push_back({p->pLeftNode, left});
            }
            if (p->pRightNode)
            {
                items[i].right = static_cast<td::INT4>(items.size());
                items.push_back({p->pRightNode, right});
            }
        }
    }

    std::vector<Item> items;
};

// The form of one node from those of its operands (null when absent).
template <typename T> PolyForm formOf(const ETNode<T>* p, const PolyForm* l, const PolyForm* r)
{
    const PolyForm notPoly;
    const td::BYTE type = p->pToken->type;
    if (type == C::LAPLACE)
    {
        PolyForm s = constantForm();
        s.order = 1;
        return s;
    }
    const bool argumentHoldsS = (l && l->holdsLaplace) || (r && r->holdsLaplace);
    if (type == C::FUNCTION)
        return argumentHoldsS ? notPoly : constantForm();
    if (!isOperatorType(type))
        return type >= C::SYMBOL && type <= C::CMPLX_LITERAL ? constantForm() : notPoly;
    if (!l || !r)
        return notPoly;
    if (type == C::POW)
    {
        // Only s itself may be raised, and only to an integer literal.
        const td::INT4 k = laplaceExponent(p);
        if (k < 0)
            return notPoly;
        PolyForm f = constantForm();
        f.order = static_cast<td::UINT2>(k);
        return f;
    }
    if (l->type == TFType::NotPoly || r->type == TFType::NotPoly || !isArithmetic(type))
        return notPoly;
    PolyForm f;
    switch (type)
    {
    case C::ADD:
    case C::SUB:
        if (l->type == TFType::Mult || r->type == TFType::Mult)
            return notPoly;
        if (l->isConstant() && r->isConstant())
            return constantForm();
        f.type = TFType::Sum;
        f.order = l->order > r->order ? l->order : r->order;
        return f;
    case C::MUL:
        if (l->type == TFType::Term && r->type == TFType::Term && (l->isConstant() || r->isConstant()))
            return l->isConstant() ? *r : *l;
        if (l->order + r->order > PolyForm::cMaxOrder)
            return notPoly;
        f.type = TFType::Mult;
        f.order = static_cast<td::UINT2>(l->order + r->order);
        return f;
    default: return r->isConstant() ? *l : notPoly;
    }
}

// Reads the coefficients of a polynomial whose operator nodes carry the forms that
// polynomialForm wrote into their tags: s, s^k and constants without s are read as they
// stand, sums, products and quotients from the arrays of their operands.
template <typename T> class CoefficientReader
{
public:
    using Node = ETNode<T>;
    using Coeffs = std::vector<Node*>;

    explicit CoefficientReader(ExpressionTree<T>& tree) : _tree(tree) {}

    bool read(Node* pRoot, const PolyForm& rootForm, Coeffs& out)
    {
        bool ok = true;
        Levels<T, PolyForm> levels(pRoot, rootForm, [&ok](const auto& item, PolyForm& l, PolyForm& r) {
            if (isLeafTerm(item.p, item.extra))
                return false;
            if (!isArithmetic(item.p->pToken->type) || !item.p->pLeftNode || !item.p->pRightNode)
            {
                ok = false;
                return false;
            }
            l = PolyForm::fromTag(item.p->leftTag);
            r = PolyForm::fromTag(item.p->rightTag);
            return true;
        });
        if (!ok)
            return false;
        auto& items = levels.items;
        std::vector<Coeffs> coeffs(items.size());
        for (std::size_t i = items.size(); i-- > 0;)
        {
            const auto& item = items[i];
            Coeffs& c = coeffs[i];
            c.assign(item.extra.order + 1u, nullptr);
            if (isLeafTerm(item.p, item.extra))
                readTerm(item.p, item.extra, c);
            else if (!combine(item.p, item.extra, coeffs[item.left], coeffs[item.right], c))
                return false;
            if (item.left >= 0)
                Coeffs().swap(coeffs[item.left]);
            if (item.right >= 0)
                Coeffs().swap(coeffs[item.right]);
        }
        out.swap(coeffs[0]);
        return true;
    }

private:
    static bool isLeafTerm(const Node* p, const PolyForm& f)
    {
        return isType(p, C::LAPLACE) || laplaceExponent(p) >= 0 || (f.isConstant() && !f.holdsLaplace);
    }

    void readTerm(Node* p, const PolyForm& f, Coeffs& out)
    {
        // s^0 is the constant 1; a constant is copied whole.
        if (isType(p, C::LAPLACE) || laplaceExponent(p) >= 0)
            out[0] = _tree.newLiteral(C::INT_LITERAL, T(1));
        else if (f.order == 0)
            out[0] = _tree.copy(p);
    }

    bool combine(Node* p, const PolyForm& f, Coeffs& l, Coeffs& r, Coeffs& out)
    {
        const td::UINT2 nl = static_cast<td::UINT2>(l.size() - 1), nr = static_cast<td::UINT2>(r.size() - 1);
        const td::UINT2 order = f.order;
        switch (p->pToken->type)
        {
        case C::ADD:
        case C::SUB:
            if ((nl > nr ? nl : nr) != order)
                return false;
            for (td::UINT2 power = 0; power <= order; ++power)
            {
                Node* a = power <= nl ? l[nl - power] : nullptr;
                Node* b = power <= nr ? r[nr - power] : nullptr;
                out[order - power] = sum(a, b, isType(p, C::SUB));
            }
            return true;
        case C::MUL:
            if (nl + nr != order)
                return false;
            Polynomials<T>(_tree).multiplyPolynomials(l.data(), r.data(), out.data(), nl, nr);
            return true;
        default:
            if (nr != 0 || nl != order || !r[0])
                return false;
            for (td::UINT2 i = 0; i <= order; ++i)
            {
                if (l[i])
                    out[i] = _tree.makeBinary(l[i], r[0], false, true, C::DIV);
            }
            return true;
        }
    }

    // a + b or a - b of two coefficients read for this sum only; null is zero.
    Node* sum(Node* a, Node* b, bool minus)
    {
        if (!b)
            return a;
        if (!a)
            return minus ? _tree.makeBinary(_tree.newLiteral(C::INT_LITERAL, T(0)), b, false, false, C::SUB) : b;
        return _tree.makeBinary(a, b, false, false, minus ? C::SUB : C::ADD);
    }

    ExpressionTree<T>& _tree;
};
} // namespace

template <typename T> PolyForm Polynomials<T>::polynomialForm(Node* pNode)
{
    const Node* pCulprit = nullptr;
    return polynomialForm(pNode, pCulprit);
}

template <typename T> PolyForm Polynomials<T>::polynomialForm(Node* pNode, const Node*& pCulprit)
{
    pCulprit = nullptr;
    if (!pNode)
        return PolyForm();
    Levels<T, char> levels(pNode, 0, [](const auto&, char&, char&) { return true; });
    auto& items = levels.items;
    std::vector<PolyForm> forms(items.size());
    auto column = [](const Node* p) { return p->pToken ? p->pToken->column : 0u; };
    for (std::size_t i = items.size(); i-- > 0;)
    {
        const auto& item = items[i];
        const PolyForm* l = item.left >= 0 ? &forms[item.left] : nullptr;
        const PolyForm* r = item.right >= 0 ? &forms[item.right] : nullptr;
        PolyForm f = formOf(item.p, l, r);
        f.holdsLaplace = isType(item.p, C::LAPLACE) || (l && l->holdsLaplace) || (r && r->holdsLaplace);
        const bool operandsFit = (!l || l->type != TFType::NotPoly) && (!r || r->type != TFType::NotPoly);
        const bool earlier =
            !pCulprit || (column(item.p) != 0 && (column(pCulprit) == 0 || column(item.p) < column(pCulprit)));
        if (f.type == TFType::NotPoly && operandsFit && earlier)
            pCulprit = item.p;
        forms[i] = f;
        if (isOperatorType(item.p->pToken->type) && l && r)
        {
            item.p->leftTag = l->toTag();
            item.p->rightTag = r->toTag();
        }
    }
    return forms[0];
}

template <typename T> bool Polynomials<T>::polynomialCoefficients(Node* pNode, td::UINT2 order, Node** pCoeffs)
{
    const PolyForm f = polynomialForm(pNode);
    if (f.type == TFType::NotPoly || f.order != order)
        return false;
    CoefficientReader<T> reader(_tree);
    std::vector<Node*> coeffs;
    if (!reader.read(pNode, f, coeffs))
        return false;
    for (td::UINT2 i = 0; i <= order; ++i)
        pCoeffs[i] = isZero(coeffs[i]) ? nullptr : coeffs[i];
    return true;
}

template <typename T>
td::UINT4 Polynomials<T>::multiplyPolynomials(Node* const* a, Node* const* b, Node** c, td::UINT2 na, td::UINT2 nb)
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
            Node* term = _tree.makeBinary(a[i], b[k - i], true, true, C::MUL);
            sum = sum ? _tree.makeBinary(sum, term, false, false, C::ADD) : term;
        }
        c[k] = isZero(sum) ? nullptr : sum;
    }
    return nc;
}

template <typename T> bool Polynomials<T>::dividePolynomials(Node* const* a, Node* const* b, Node** pQuotient,
                                                             Node** pRemainder, td::UINT2 n, td::UINT2 m)
{
    if (n < m)
        return false;
    // Long division on copies, leading coefficients first; b is monic.
    std::vector<Node*> rest(n + 1u, nullptr);
    for (td::UINT2 i = 0; i <= n; ++i)
        rest[i] = a[i] ? _tree.copy(a[i]) : nullptr;
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
            Node* product = _tree.makeBinary(b[j], q, true, true, C::MUL);
            Node*& slot = rest[i + j];
            slot =
                _tree.makeBinary(slot ? slot : _tree.newLiteral(C::INT_LITERAL, T(0)), product, false, false, C::SUB);
            if (isZero(slot))
                slot = nullptr;
        }
    }
    for (td::UINT2 j = 0; j < m; ++j)
        pRemainder[j] = rest[n - m + 1 + j];
    return true;
}

template <typename T> bool Polynomials<T>::removeOperand(Node*& rootLink, Node* pNode, Node* pKept)
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
        pParent = ExpressionTree<T>::findParent(pNode, rootLink);
        if (!pParent)
            return false;
    }
    const bool losesLeft = pKept == pNode->pRightNode;
    if (losesLeft && (op == C::SUB || op == C::DIV))
    {
        // What stays of a - b without a is 0 - b, of a / b without a it is 1 / b.
        Node* pNeutral = _tree.newLiteral(C::INT_LITERAL, T(op == C::SUB ? 0 : 1));
        if (pParent)
        {
            pNode->pLeftNode = pNeutral;
            return true;
        }
        rootLink = _tree.makeBinary(pNeutral, pKept, false, false, op);
        return true;
    }
    if (pParent)
        (pParent->pLeftNode == pNode ? pParent->pLeftNode : pParent->pRightNode) = pKept;
    else
        rootLink = pKept;
    return true;
}
} // namespace sl
