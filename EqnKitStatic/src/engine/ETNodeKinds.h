// Small tests on tree nodes shared by building, emission, printing, differentiation and
// simplification.
#pragma once

#include "ETNode.h"
#include "Token.h"

namespace sl::nodes
{
using C = TokenCodes;

template <typename T> inline bool isLeaf(const ETNode<T>* p) { return !p->pLeftNode && !p->pRightNode; }
template <typename T> inline bool isLiteral(const ETNode<T>* p) { return p && C::isNumber(p->pToken->type); }
// A literal of value v.
template <typename T> inline bool isValue(const ETNode<T>* p, double v)
{
    return isLiteral(p) && p->pToken->value == T(v);
}
template <typename T> inline bool isType(const ETNode<T>* p, td::BYTE type) { return p && p->pToken->type == type; }
template <typename T> inline bool isFunction(const ETNode<T>* p, td::BYTE functionID)
{
    return p && p->pToken->type == C::FUNCTION && p->pToken->functionID() == functionID;
}
// Symbol tokens; the parser's intermediate type 3 is accepted alike.
inline bool isSymbolType(td::BYTE type) { return type == C::SYMBOL || type == C::PARAM_OR_PARENT; }
template <typename T> inline bool isOwn(const Token<T>& t) { return t.symbolOrigin != sc::SymbolOrigin::ParentModel; }
// A variable of this model.
template <typename T> inline bool isOwnVariable(const Token<T>& t, td::UINT4 nVars)
{
    return isSymbolType(t.type) && isOwn(t) && t.index < nVars;
}
inline bool isOperatorType(td::BYTE type) { return type >= C::ADD && type <= C::POW_ASSIGN; }
// >, >=, <, <=, == and !=.
inline bool isComparison(td::BYTE type) { return type >= C::GREATER && type <= C::NOT_EQUAL; }
// The four arithmetic operators.
inline bool isArithmetic(td::BYTE op) { return op == C::ADD || op == C::SUB || op == C::MUL || op == C::DIV; }
// Functions whose second argument is a whole expression; the other calls hold single
// tokens after their first argument.
inline bool takesWholeSecondArgument(td::BYTE id) { return id == C::ATG2 || id == C::MIN || id == C::MAX; }

template <typename T> inline td::UINT4 height(const ETNode<T>* p)
{
    if (!p)
        return 0;
    return p->leftTag > p->rightTag ? p->leftTag : p->rightTag;
}
} // namespace sl::nodes
