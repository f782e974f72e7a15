// The parser's token list: a chain of pooled nodes {token; pNext} in source order, read
// from its first node. Emptying the list forgets the chain; its nodes stay in the pool.
#pragma once

#include <td/Types.h>

#include "ParserPools.h"

namespace sl
{
template <typename T> class TokenList
{
public:
    using Node = TokenNode<T>;
    using Pool = typename ParserPools<T>::TokenNodePool;

    explicit TokenList(Pool& pool) : _pPool(&pool) {}
    TokenList(const TokenList&) = delete;
    TokenList& operator=(const TokenList&) = delete;

    Token<T>& append(const Token<T>& token)
    {
        Node* pNode = _pPool->alloc();
        pNode->token = token;
        pNode->pNext = nullptr;
        if (_pLast)
            _pLast->pNext = pNode;
        else
            _pFirst = pNode;
        _pLast = pNode;
        ++_count;
        return pNode->token;
    }

    void clear()
    {
        _pFirst = _pLast = nullptr;
        _count = 0;
    }

    Node* first() const { return _pFirst; }
    Node* last() const { return _pLast; }
    td::UINT4 size() const { return _count; }
    bool isEmpty() const { return _pFirst == nullptr; }

private:
    Pool* _pPool;
    Node* _pFirst = nullptr;
    Node* _pLast = nullptr;
    td::UINT4 _count = 0;
};
} // namespace sl
