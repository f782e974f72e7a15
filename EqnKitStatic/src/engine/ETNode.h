// One node of an expression tree, and an entry of a tree's stack of open brackets.
// Nodes point at their tokens; both come from the parser's pools.
#pragma once

#include <complex>

#include <td/Types.h>

#include "Token.h"

namespace sl
{
template <typename T> struct ETNode
{
    Token<T>* pToken = nullptr;
    // Left operand; the argument of a one-argument function and of not; the first argument.
    ETNode* pLeftNode = nullptr;
    // Right operand; the second argument of a multi-argument function.
    ETNode* pRightNode = nullptr;
    // Subtree heights after building, dependence marks after marking.
    td::UINT4 leftTag = 0;
    td::UINT4 rightTag = 0;
};
// Trees are made by the million: a node is four words, its pool adds nothing.
static_assert(sizeof(ETNode<double>) == 32 && sizeof(ETNode<std::complex<double>>) == 32);

// An open bracket: the function node it belongs to (null for a plain parenthesis), the
// number of extra arguments still expected, whether the second one is an expression, whether
// it is the one that an equation's sign opens around the right side, and the column where it
// opened (0: none), where a bracket that no parenthesis closes is told.
template <typename T> struct BracketEntry
{
    ETNode<T>* pNode = nullptr;
    td::BYTE nExtraArgs = 0;
    td::BYTE secondIsExpression = 0;
    td::BYTE wrapsRightSide = 0;
    td::UINT4 column = 0;
};
} // namespace sl
