#include "ODEReader.h"

#include <sc/MessageKeys.h>
#include <sc/priv/FunctionTable.h>

namespace sl
{
namespace msg = sc::msg;
using F = sc::Token;

namespace
{
// Front-end function code of int.
constexpr td::UINT2 cIntFunction = sc::priv::frontEndCode(sc::priv::Function::INTEGRAL);

// The position of the statement's first `=`; -1 without one.
template <typename Iterator> td::INT4 firstAssign(const Iterator& it)
{
    for (td::UINT4 i = 0; i < it.line().nExpr; ++i)
    {
        if (it.exprToken(i).kind == F::Assign)
            return static_cast<td::INT4>(i);
    }
    return -1;
}
} // namespace

template <typename T> td::UINT4 ODEReader<T>::countIntegrals(const Iterator& it, td::UINT2* pFirstColumn)
{
    const sc::_tl& l = it.line();
    td::UINT4 n = 0;
    for (td::UINT4 i = 0; i < l.nExpr; ++i)
    {
        const sc::_TokV& t = (*it.pExprTokens)[l.firstExpr + i];
        if (t.kind != F::Function || t.code != cIntFunction)
            continue;
        if (n++ == 0 && pFirstColumn)
            *pFirstColumn = t.column;
    }
    return n;
}

template <typename T>
td::INT4 ODEReader<T>::checkODEFormat(const Iterator& it, td::UINT4& headLength, bool& isIntegral) const
{
    const sc::_tl& l = it.line();
    if (l.nExpr < 3)
        return _s.lineError(msg::scODEWrongFormat, it), -1;
    const sc::_TokV& state = it.exprToken(0);
    const sc::_TokV& second = it.exprToken(1);
    // The state: a variable of this model.
    if (state.kind != F::Var || state.extra != 0 || state.code >= _s.getNumVariables())
        return _s.lineError(msg::scODEExpectedVariable, Place{l.line, state.column}), -1;
    if (second.kind == F::Apostrophe)
    {
        if (it.exprToken(2).kind != F::Assign)
            return _s.lineError(msg::scODEExpectedEqToken, Place{l.line, it.exprToken(2).column}), -1;
        td::UINT2 intColumn = 0;
        if (countIntegrals(it, &intColumn) > 0)
            return _s.lineError(msg::scDerivAndIntAvailable, Place{l.line, intColumn}), -1;
        isIntegral = false;
        headLength = 2;
        return state.code;
    }
    if (second.kind != F::Assign)
        return _s.lineError(msg::scODEExpectedDerivOrEq, Place{l.line, second.column}), -1;
    if (countIntegrals(it) == 0)
        return _s.lineError(msg::scNoDerivNoInt, it), -1;
    isIntegral = true;
    headLength = 1;
    return state.code;
}

template <typename T> td::INT4 ODEReader<T>::buildODEExpression(const Iterator& it, Tree& tree,
                                                                typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                                                                td::BYTE odeMode)
{
    SolverData<T>& d = _s.data();
    const Place line = placeOf(it);
    _s.parser.clearTokens();
    _used.begin();
    tree.init(&d, nullptr, _s.getNumVariables());
    pIntegral = nullptr;

    td::UINT4 headLength = 0;
    bool isIntegral = false;
    const td::INT4 state = checkODEFormat(it, headLength, isIntegral);
    if (odeMode == 1 && d.pODEList && eqIndex < d.pODEList->size())
        (*d.pODEList)[eqIndex] = state;
    // A statement too short for its head has nothing more to check.
    if (state < 0 && it.line().nExpr < 3)
        return -1;
    // After a refused head the right side is still read for mistakes of its own: from behind
    // the first `=`, never from inside the head, whose `=` would read as a second one.
    if (state < 0)
    {
        const td::INT4 equals = firstAssign(it);
        if (equals < 0)
            return -1;
        headLength = static_cast<td::UINT4>(equals);
    }

    td::BYTE kind = 0;
    const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
    if (!_s.parser.compileTokens(it, headLength + 1, kind))
        return _s.lineError(msg::scWrongODEExp, line), -1;
    if (state < 0)
    {
        // Only the right side's own mistakes: the head's form is unknown.
        if (!_s.buildTree(tree, it))
            _s.lineError(msg::scCannotCrODEExpTree, line);
        else
            _s.refusesComparison(tree);
        return -1;
    }
    const td::UINT4 nIntegrals = Tree::countFunctionTokens(_s.parser.getFirstToken(), TokenCodes::INTEGRAL);
    if (isIntegral && nIntegrals == 0)
        return _s.lineError(msg::scODEMissInt, line), -1;
    if (isIntegral && nIntegrals > 1)
        return _s.lineError(msg::scODEHasMultInts, line), -1;
    if (!isIntegral && nIntegrals > 0)
        return _s.lineError(msg::scODEWithDiffAndInt, line), -1;
    if (!_s.buildTree(tree, it))
        return _s.lineError(msg::scCannotCrODEExpTree, line), -1;
    if (_s.refusesComparison(tree))
        return -1;
    if (!isIntegral)
        return state;

    typename Tree::Node* pInt = tree.findIntegralFn();
    if (!pInt)
        return _s.lineError(msg::scODEIntWrongOperators, line), -1;
    if (!pInt->pLeftNode)
        return _s.lineError(msg::scODEEmptyInt, line), -1;
    if (!tree.isFreeOfVars(pInt, d.results.indexOfTParam))
        return _s.lineError(msg::scODEIntWithSS, line), -1;
    if (odeMode == 1)
        tree.detachNode(pInt);
    else
        pIntegral = pInt;
    return state;
}

template class ODEReader<double>;
template class ODEReader<std::complex<double>>;
} // namespace sl
