// One transfer-function statement y / u = N(s)/D(s) as the expression engine sees it: the
// output, input and first state symbols, and the orders and forms of numerator and
// denominator found by the format check.
#pragma once

#include <td/Types.h>

namespace sl
{
// The form of a polynomial in the Laplace operator s.
enum class TFType : td::BYTE
{
    NotPoly = 0,
    // c, s, c*s^k or s^k*c; order 0 is a constant
    Term = 1,
    Sum = 2,
    // a product of polynomial factors
    Mult = 3
};

// Order and form of a subtree in s; an operator node keeps those of its operands in its
// tags (order in the low 16 bits, form in the next 8, whether s occurs in bit 24).
struct PolyForm
{
    td::UINT2 order = 0;
    TFType type = TFType::NotPoly;
    // s occurs in the subtree (a constant may hold s^0).
    bool holdsLaplace = false;

    // The highest power of s a transfer function may hold.
    static constexpr td::UINT2 cMaxOrder = 64;

    td::UINT4 toTag() const
    {
        return order | static_cast<td::UINT4>(type) << 16 | static_cast<td::UINT4>(holdsLaplace) << 24;
    }
    static PolyForm fromTag(td::UINT4 tag)
    {
        PolyForm f;
        f.order = static_cast<td::UINT2>(tag & 0xFFFFu);
        f.type = static_cast<TFType>((tag >> 16) & 0xFFu);
        f.holdsLaplace = (tag >> 24) & 1u;
        return f;
    }
    bool isConstant() const { return type == TFType::Term && order == 0; }
};

// Kept by the model builder, one per statement; the builder fills the symbols, the format
// check the orders and forms.
struct TransferFunction
{
    // Output y (a variable) and input u (a variable or a parameter), symbol indices.
    td::UINT4 output = 0;
    td::UINT4 input = 0;
    // Symbol index of state slot 0; -1 until the builder has reserved the states.
    td::INT4 firstState = -1;
    td::UINT2 nomOrder = 0;
    td::UINT2 denomOrder = 0;
    TFType nomType = TFType::NotPoly;
    TFType denomType = TFType::NotPoly;

    // More numerator than denominator order over a non-constant denominator: the
    // realisation divides and adds the division variable "%s#div".
    bool isImproper() const { return denomOrder > 0 && nomOrder > denomOrder; }
    // States of the realisation: the denominator order of a proper function, else the
    // numerator order.
    td::UINT2 stateCount() const { return denomOrder > 0 && denomOrder >= nomOrder ? denomOrder : nomOrder; }
    // Equations of the realisation: one per state (its derivative), then the algebraic
    // ones: the output equation, or the input copy of a polynomial, or both (improper).
    td::UINT2 equationCount() const { return static_cast<td::UINT2>(stateCount() + (isImproper() ? 2 : 1)); }
    // Variables the builder reserves from firstState on: each state followed by its
    // stages, then the division variable of an improper function.
    td::UINT4 variableCount(td::UINT2 stages) const
    {
        return static_cast<td::UINT4>(stateCount()) * (stages + 1u) + (isImproper() ? 1u : 0u);
    }
    // Symbol index of state slot k (slot stateCount() is the division variable).
    td::UINT4 slot(td::UINT4 k, td::UINT2 stages) const
    {
        return static_cast<td::UINT4>(firstState) + k * (stages + 1u);
    }
};
} // namespace sl
