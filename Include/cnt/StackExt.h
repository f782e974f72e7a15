// Linked stack whose nodes come from a block pool; popped nodes go back to the pool.
#pragma once

#include <mem/Manager.h>
#include <td/Assert.h>

namespace cnt::priv
{
template <typename T, td::UINT4 NODES_PER_BLOCK = 4096> class StackExt
{
    struct Node
    {
        T item{};
        Node* pBelow = nullptr;
    };

public:
    // A node above the top; the caller fills the returned item.
    T& push()
    {
        Node* pNode = _pool.alloc();
        pNode->pBelow = _pTop;
        _pTop = pNode;
        return pNode->item;
    }

    void push(const T& item) { push() = item; }

    void pop()
    {
        TD_ASSERT(_pTop != nullptr);
        Node* pNode = _pTop;
        _pTop = pNode->pBelow;
        _pool.free(pNode);
    }

    T& top()
    {
        TD_ASSERT(_pTop != nullptr);
        return _pTop->item;
    }

    bool isEmpty() const { return _pTop == nullptr; }

private:
    mem::priv::Manager<Node, NODES_PER_BLOCK> _pool;
    Node* _pTop = nullptr;
};
} // namespace cnt::priv
