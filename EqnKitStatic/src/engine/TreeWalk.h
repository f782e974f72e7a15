// Tree walks that keep their path on the heap, not on the call stack: a tree made from a
// model text can be as deep as the text is long (a sum of many terms leans left).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include <td/Assert.h>

#include "ETNode.h"

namespace sl::nodes
{
// A stack of walk entries: the first few in place, the rest in a vector.
template <typename E, std::size_t N = 32> class WalkStack
{
public:
    WalkStack() = default;
    WalkStack(const WalkStack&) = delete;
    WalkStack& operator=(const WalkStack&) = delete;

    void push(const E& e)
    {
        if (_n < N)
            _local[_n] = e;
        else
            _more.push_back(e);
        ++_n;
    }

    E& top()
    {
        TD_ASSERT(_n > 0);
        return _n <= N ? _local[_n - 1] : _more.back();
    }

    void pop()
    {
        TD_ASSERT(_n > 0);
        if (_n > N)
            _more.pop_back();
        --_n;
    }

    bool isEmpty() const { return _n == 0; }

private:
    // Left uninitialised: a walk writes an entry before it reads it.
    E _local[N];
    std::vector<E> _more;
    std::size_t _n = 0;
};

// What a preorder visit does next.
enum class WalkStep
{
    Descend, // into the node's children
    Skip,    // past the node's children
    Stop     // the whole walk
};

// Visits node, left subtree, right subtree, as the recursive walk would; false when a
// visit stopped the walk. NodePtr is ETNode<T>* or const ETNode<T>*.
template <typename NodePtr, typename Visit> bool visitPreorder(NodePtr pRoot, Visit&& visit)
{
    if (!pRoot)
        return true;
    WalkStack<NodePtr> todo;
    todo.push(pRoot);
    while (!todo.isEmpty())
    {
        NodePtr p = todo.top();
        todo.pop();
        const WalkStep step = visit(p);
        if (step == WalkStep::Stop)
            return false;
        if (step == WalkStep::Skip)
            continue;
        if (p->pRightNode)
            todo.push(p->pRightNode);
        if (p->pLeftNode)
            todo.push(p->pLeftNode);
    }
    return true;
}
} // namespace sl::nodes
