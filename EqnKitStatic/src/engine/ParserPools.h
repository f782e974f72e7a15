// The block pools a parser owns for one model load and hands to the build context: tree
// nodes, its token-list nodes, tree stack links, tree-made tokens and bracket entries.
#pragma once

#include <cnt/StackExt.h>
#include <mem/Arena.h>
#include <mem/Manager.h>

#include "ETNode.h"
#include "Token.h"

namespace sl
{
// One node of the parser's token list.
template <typename T> struct TokenNode
{
    Token<T> token;
    TokenNode* pNext = nullptr;
};

template <typename T> struct ParserPools
{
    // Tree nodes and tree-made tokens are never freed one by one.
    using NodePool = mem::priv::Arena<ETNode<T>, 2048>;
    using TokenNodePool = mem::priv::Manager<TokenNode<T>, 2730>;
    using NodeStack = cnt::priv::StackExt<ETNode<T>*, 4096>;
    using NodeLinkPool = typename NodeStack::Pool;
    using TokenPool = mem::priv::Arena<Token<T>, 4096>;
    using BracketStack = cnt::priv::StackExt<BracketEntry<T>, 42>;
    using BracketPool = typename BracketStack::Pool;

    NodePool nodes;
    TokenNodePool tokenNodes;
    NodeLinkPool nodeLinks;
    TokenPool treeTokens;
    BracketPool brackets;

    // Hands every block out again, in O(1): no token list, tree or stack may use them any more.
    void rewind()
    {
        nodes.rewind();
        tokenNodes.rewind();
        nodeLinks.rewind();
        treeTokens.rewind();
        brackets.rewind();
    }
};
} // namespace sl
