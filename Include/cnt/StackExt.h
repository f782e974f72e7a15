// Linked stack whose nodes come from a block pool (its own, or one shared with other
// stacks); popped nodes go back to the pool.
#pragma once

#include <mem/Manager.h>
#include <td/Assert.h>

namespace cnt::priv
{
template <typename T, td::UINT4 NODES_PER_BLOCK = 4096> class StackExt
{
public:
    struct Node
    {
        T item{};
        Node* pBelow = nullptr;
    };
    using Pool = mem::priv::Manager<Node, NODES_PER_BLOCK>;

    StackExt() = default;
    // Nodes from a pool that the caller owns and keeps alive.
    explicit StackExt(Pool* pPool) : _pPool(pPool) { TD_ASSERT(pPool != nullptr); }
    StackExt(const StackExt&) = delete;
    StackExt& operator=(const StackExt&) = delete;

    // Empties the stack and takes further nodes from another pool.
    void bindPool(Pool* pPool)
    {
        TD_ASSERT(pPool != nullptr);
        _pTop = nullptr;
        _pPool = pPool;
    }

    // A node above the top; the caller fills the returned item.
    T& push()
    {
        Node* pNode = _pPool->alloc();
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
        _pPool->free(pNode);
    }

    T& top()
    {
        TD_ASSERT(_pTop != nullptr);
        return _pTop->item;
    }

    bool isEmpty() const { return _pTop == nullptr; }
    // Forgets every node; they stay in the pool.
    void clear() { _pTop = nullptr; }

private:
    Pool _ownPool;
    Pool* _pPool = &_ownPool;
    Node* _pTop = nullptr;
};
} // namespace cnt::priv
