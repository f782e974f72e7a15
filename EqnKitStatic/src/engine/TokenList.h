// The parser's token list: a chain of pooled nodes {token; pNext} in source order, read
// from its first node. Clearing the list gives its nodes back to the pool; forgetting it
// leaves them to trees that still point at their tokens, until the pool is rewound.
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

    // No tree may point at the tokens any more.
    void clear()
    {
        for (Node* p = _pFirst; p;)
        {
            Node* pNext = p->pNext;
            _pPool->free(p);
            p = pNext;
        }
        forget();
    }

    void forget()
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
