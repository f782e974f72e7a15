// The realisation of a transfer function: the format check of f(s), its coefficients
// normalised to a monic denominator, and the equations in controllable canonical form.
#include "TFStateSpace.h"

#include <vector>

#include <sc/MessageKeys.h>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "Polynomials.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;
namespace msg = sc::msg;

namespace
{
template <typename T> bool holdsLaplace(const ETNode<T>* p)
{
    return !visitPreorder(
        p, [](const ETNode<T>* q) { return isType(q, C::LAPLACE) ? WalkStep::Stop : WalkStep::Descend; });
}

// A power of s whose exponent is no integer literal 0..64 (complex: without imaginary part).
template <typename T> bool isBadLaplacePower(const ETNode<T>* p)
{
    if (!isType(p, C::POW) || !isType(p->pLeftNode, C::LAPLACE))
        return false;
    const ETNode<T>* k = p->pRightNode;
    if (!isType(k, C::INT_LITERAL))
        return true;
    const T& v = k->pToken->value;
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (v.imag() != 0.0)
            return true;
    }
    const double re = realPart(v);
    return !(re >= 0.0 && re <= PolyForm::cMaxOrder);
}

// The first such power in the tree; null when there is none.
template <typename T> const ETNode<T>* findBadLaplacePower(const ETNode<T>* p)
{
    const ETNode<T>* pFound = nullptr;
    visitPreorder(p, [&pFound](const ETNode<T>* q) {
        if (!isBadLaplacePower(q))
            return WalkStep::Descend;
        pFound = q;
        return WalkStep::Stop;
    });
    return pFound;
}

// Numerator and denominator of the root: a '/' root splits, any other root is a
// numerator over the constant 1 (no denominator node).
template <typename T> struct Fraction
{
    ETNode<T>* pNom = nullptr;
    ETNode<T>* pDenom = nullptr;
};

template <typename T> Fraction<T> split(ETNode<T>* pRoot)
{
    Fraction<T> f;
    if (isType(pRoot, C::DIV))
    {
        f.pNom = pRoot->pLeftNode;
        f.pDenom = pRoot->pRightNode;
    }
    else
        f.pNom = pRoot;
    return f;
}

// Writes the equations of one realisation; every arithmetic node goes through makeBinary
// and every coefficient is copied where it is used.
template <typename T> class StateSpaceWriter
{
public:
    using Node = ETNode<T>;

    StateSpaceWriter(ExpressionTree<T>& tree, Node** pEquations, const TransferFunction& tf, td::UINT2 stages)
        : _tree(tree), _eq(pEquations), _tf(tf), _stages(stages)
    {
    }

    Node* x(td::UINT4 k) { return _tree.newSymbol(_tf.slot(k, _stages)); }
    Node* sym(td::UINT4 index) { return _tree.newSymbol(index); }
    Node* times(Node* pCoeff, Node* pNode) { return _tree.makeBinary(pCoeff, pNode, true, false, C::MUL); }
    Node* add(Node* pSum, Node* pTerm, td::BYTE op = C::ADD)
    {
        if (!pSum)
            return op == C::ADD ? pTerm : _tree.makeBinary(zero(), pTerm, false, false, C::SUB);
        return _tree.makeBinary(pSum, pTerm, false, false, op);
    }
    Node* zero() { return _tree.newLiteral(C::INT_LITERAL, T(0)); }

    // Slots 0..n-1 hold 1/D(s) u: the chain x_k' = x_(k+1), and
    // x_(n-1)' = u - a_n*x_0 - ... - a_1*x_(n-1).
    void writeDenominator(Node* const* a, td::UINT2 n)
    {
        for (td::UINT2 k = 0; k + 1 < n; ++k)
            _eq[k] = x(k + 1u);
        Node* pLast = sym(_tf.input);
        for (td::UINT2 k = 0; k < n; ++k)
        {
            if (Node* pA = a[n - k])
                pLast = add(pLast, times(pA, x(k)), C::SUB);
        }
        _eq[n - 1] = pLast;
    }

    // head + c_0*x_0 + ... + c_(n-1)*x_(n-1) - y, c_k from coefficient(k) (null: no term);
    // null when nothing is left before - y.
    template <typename Coefficient> Node* writeOutput(Node* pHead, td::UINT2 n, Coefficient coefficient)
    {
        Node* pSum = pHead;
        for (td::UINT2 k = 0; k < n; ++k)
        {
            if (Node* pC = coefficient(k))
                pSum = add(pSum, _tree.makeBinary(pC, x(k), false, false, C::MUL));
        }
        return pSum ? _tree.makeBinary(pSum, sym(_tf.output), false, false, C::SUB) : nullptr;
    }

    // Slots first..first+q-1 carry u and its derivatives, and the output out satisfies
    // out = q_0*u^(q) + ... + q_q*u: the chain, then
    // x_(first+q-1)' = (out - (q_1*x_(first+q-1) + ... + q_q*x_first)) / q_0, then the input
    // copy u - x_first at equation inputRow.
    void writeChain(Node* const* q, td::UINT2 first, td::UINT2 order, Node* pOut, td::UINT2 inputRow)
    {
        for (td::UINT2 k = first; k + 1u < first + order; ++k)
            _eq[k] = x(k + 1u);
        Node* pSum = nullptr;
        for (td::UINT2 j = 1; j <= order; ++j)
        {
            if (Node* pQ = q[j])
                pSum = add(pSum, times(pQ, x(first + order - j)));
        }
        Node* pTop = pSum ? _tree.makeBinary(pOut, pSum, false, false, C::SUB) : pOut;
        _eq[first + order - 1] = _tree.makeBinary(pTop, q[0], false, true, C::DIV);
        _eq[inputRow] = _tree.makeBinary(sym(_tf.input), x(first), false, false, C::SUB);
    }

private:
    ExpressionTree<T>& _tree;
    Node** _eq;
    const TransferFunction& _tf;
    td::UINT2 _stages;
};
} // namespace

template <typename T> bool TFStateSpace<T>::checkTFFormat(TransferFunction& tf)
{
    Node* pRoot = _tree.getRoot();
    if (!pRoot)
        return false;
    if (isType(pRoot, C::DIV) && !pRoot->pLeftNode)
    {
        _tree.reportAt(msg::etTFBadFormatL);
        return false;
    }
    if (isType(pRoot, C::DIV) && !pRoot->pRightNode)
    {
        _tree.reportAt(msg::etTFBadFormatR);
        return false;
    }
    // A refused form is told at the term that makes it so.
    if (const Node* pPower = findBadLaplacePower(pRoot))
    {
        _tree.reportAtNode(msg::etTFBadFormat, pPower);
        return false;
    }
    const Fraction<T> f = split(pRoot);
    const Node* pCulprit = nullptr;
    const PolyForm nom = Polynomials<T>::polynomialForm(f.pNom, pCulprit);
    if (nom.type == TFType::NotPoly)
    {
        _tree.reportAtNode(msg::etTFNomBadFormat, pCulprit);
        return false;
    }
    PolyForm denom = Polynomials<T>::polynomialForm(f.pDenom, pCulprit);
    if (!f.pDenom)
    {
        denom.type = TFType::Term;
        denom.order = 0;
    }
    if (denom.type == TFType::NotPoly)
    {
        _tree.reportAtNode(msg::etTFDenomBadFormat, pCulprit);
        return false;
    }
    if (nom.order == 0 && denom.order == 0)
    {
        _tree.reportAt(msg::etTFNoLaplace);
        return false;
    }
    // A zero leading coefficient would make the order, and so the states, wrong.
    Polynomials<T> polys(_tree);
    std::vector<Node*> coeffs(nom.order + 1u);
    bool leadingOk = polys.polynomialCoefficients(f.pNom, nom.order, coeffs.data()) && coeffs[0];
    if (leadingOk && f.pDenom)
    {
        coeffs.assign(denom.order + 1u, nullptr);
        leadingOk = polys.polynomialCoefficients(f.pDenom, denom.order, coeffs.data()) && coeffs[0];
    }
    if (!leadingOk)
    {
        _tree.reportAt(msg::etTFBadFormat);
        return false;
    }
    tf.nomOrder = nom.order;
    tf.nomType = nom.type;
    tf.denomOrder = denom.order;
    tf.denomType = denom.type;
    return true;
}

template <typename T> bool TFStateSpace<T>::getTFPolynomials(Node** pDenom, Node** pNom, const TransferFunction& tf)
{
    Node* pRoot = _tree.getRoot();
    if (!pRoot)
        return false;
    const Fraction<T> f = split(pRoot);
    Polynomials<T> polys(_tree);
    const PolyForm nom = Polynomials<T>::polynomialForm(f.pNom);
    if (nom.type == TFType::NotPoly || nom.order != tf.nomOrder)
        return false;
    if (!polys.polynomialCoefficients(f.pNom, tf.nomOrder, pNom) || !pNom[0])
        return false;
    if (f.pDenom)
    {
        const PolyForm denom = Polynomials<T>::polynomialForm(f.pDenom);
        if (denom.type == TFType::NotPoly || denom.order != tf.denomOrder)
            return false;
        if (!polys.polynomialCoefficients(f.pDenom, tf.denomOrder, pDenom) || !pDenom[0])
            return false;
    }
    else
    {
        if (tf.denomOrder != 0)
            return false;
        pDenom[0] = _tree.newLiteral(C::INT_LITERAL, T(1));
    }
    Node* pLead = pDenom[0];
    if (isValue(pLead, 1.0))
        return true;
    for (td::UINT2 i = 0; i <= tf.nomOrder; ++i)
    {
        if (pNom[i])
            pNom[i] = _tree.makeBinary(pNom[i], pLead, false, true, C::DIV);
    }
    for (td::UINT2 i = 1; i <= tf.denomOrder; ++i)
    {
        if (pDenom[i])
            pDenom[i] = _tree.makeBinary(pDenom[i], pLead, false, true, C::DIV);
    }
    pDenom[0] = _tree.newLiteral(C::INT_LITERAL, T(1));
    return true;
}

template <typename T> typename TFStateSpace<T>::Node* TFStateSpace<T>::coefficientAt(Node* const* pNom,
                                                                                     const TransferFunction& tf,
                                                                                     td::UINT2 position)
{
    if (position > tf.denomOrder)
        return nullptr;
    const td::UINT2 power = static_cast<td::UINT2>(tf.denomOrder - position);
    return power > tf.nomOrder ? nullptr : pNom[tf.nomOrder - power];
}

template <typename T> td::INT4 TFStateSpace<T>::findCoeffWithLaplace(Node* const* pCoeffs, td::UINT2 order)
{
    for (td::UINT2 i = 0; i <= order; ++i)
    {
        if (pCoeffs[i] && holdsLaplace(pCoeffs[i]))
            return i;
    }
    return -1;
}

template <typename T> bool TFStateSpace<T>::makeTFStateSpace(Node** pEquations, Node* const* pDenom, Node* const* pNom,
                                                             const TransferFunction& tf, td::UINT2 stages)
{
    const td::UINT2 n = tf.denomOrder;
    const td::UINT2 m = tf.nomOrder;
    if (tf.firstState < 0 || tf.stateCount() == 0 || !pNom[0] || !isValue(pDenom[0], 1.0))
        return false;
    // Every state (and the division variable) and the output are variables.
    const td::UINT4 lastSlot = tf.slot(tf.stateCount() - (tf.isImproper() ? 0u : 1u), stages);
    const td::UINT4 nVars = _tree.getNumberOfVariables();
    if (lastSlot >= nVars || tf.output >= nVars)
        return false;
    std::vector<Node*> eqs(tf.equationCount(), nullptr);
    StateSpaceWriter<T> w(_tree, eqs.data(), tf, stages);
    if (n == 0)
        w.writeChain(pNom, 0, m, w.sym(tf.output), m);
    else if (m <= n)
    {
        // y = d*u + sum of (B_(n-k) - a_(n-k)*d)*x_k, d the numerator's s^n coefficient.
        w.writeDenominator(pDenom, n);
        Node* pD = m == n ? pNom[0] : nullptr;
        Node* pHead = pD ? w.times(pD, w.sym(tf.input)) : nullptr;
        eqs[n] = w.writeOutput(pHead, n, [&](td::UINT2 k) -> Node* {
            Node* pB = coefficientAt(pNom, tf, static_cast<td::UINT2>(n - k));
            Node* pA = pDenom[n - k];
            if (!pA || !pD)
                return pB ? _tree.copy(pB) : nullptr;
            Node* pAD = _tree.makeBinary(pA, pD, true, true, C::MUL);
            return pB ? _tree.makeBinary(pB, pAD, true, false, C::SUB) : w.add(nullptr, pAD, C::SUB);
        });
    }
    else
    {
        // N/D = Q + R/D: R/D on slots 0..n-1, Q on slots n..m-1 through the division
        // variable (slot m), and y = y_div + R/D u.
        std::vector<Node*> q(m - n + 1u, nullptr), r(n, nullptr);
        if (!Polynomials<T>(_tree).dividePolynomials(pNom, pDenom, q.data(), r.data(), m, n) || !q[0])
            return false;
        const td::UINT4 iDiv = tf.slot(m, stages);
        w.writeDenominator(pDenom, n);
        w.writeChain(q.data(), n, static_cast<td::UINT2>(m - n), w.sym(iDiv), m);
        eqs[m + 1u] = w.writeOutput(w.sym(iDiv), n, [&](td::UINT2 k) { return r[n - 1u - k]; });
    }
    for (Node* pEq : eqs)
    {
        if (!pEq)
            return false;
    }
    for (std::size_t i = 0; i < eqs.size(); ++i)
        pEquations[i] = eqs[i];
    return true;
}
} // namespace sl
