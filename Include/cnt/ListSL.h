// Singly linked lists whose nodes are carved from blocks of 4096 and die with the store.
// One store serves any number of lists {head; tail}.
#pragma once

#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
template <typename T, td::UINT4 NODES_PER_BLOCK = 4096> class ListSL
{
public:
    struct Node
    {
        T item{};
        Node* pNext = nullptr;
    };

    struct List
    {
        Node* pHead = nullptr;
        Node* pTail = nullptr;
    };

    class Iterator
    {
    public:
        explicit Iterator(Node* pNode) : _pNode(pNode) {}
        bool isValid() const { return _pNode != nullptr; }
        T& operator*() const
        {
            TD_ASSERT(_pNode != nullptr);
            return _pNode->item;
        }
        void next()
        {
            TD_ASSERT(_pNode != nullptr);
            _pNode = _pNode->pNext;
        }

    private:
        Node* _pNode;
    };

    ListSL() = default;
    ListSL(const ListSL&) = delete;
    ListSL& operator=(const ListSL&) = delete;
    ~ListSL()
    {
        while (_pFirstBlock)
        {
            Block* pNext = _pFirstBlock->pNext;
            delete _pFirstBlock;
            _pFirstBlock = pNext;
        }
    }

    // Appends a node to the list; the caller fills its item.
    T& pushBack(List& list)
    {
        if (_pCursor == _pEnd)
            addBlock();
        Node* pNode = _pCursor++;
        pNode->pNext = nullptr;
        if (list.pTail)
            list.pTail->pNext = pNode;
        else
            list.pHead = pNode;
        list.pTail = pNode;
        return pNode->item;
    }

    static Iterator begin(const List& list) { return Iterator(list.pHead); }

private:
    struct Block
    {
        Node nodes[NODES_PER_BLOCK];
        Block* pNext = nullptr;
    };

    void addBlock()
    {
        Block* pBlock = new Block();
        if (_pLastBlock)
            _pLastBlock->pNext = pBlock;
        else
            _pFirstBlock = pBlock;
        _pLastBlock = pBlock;
        _pCursor = pBlock->nodes;
        _pEnd = pBlock->nodes + NODES_PER_BLOCK;
    }

    Block* _pFirstBlock = nullptr;
    Block* _pLastBlock = nullptr;
    Node* _pCursor = nullptr;
    Node* _pEnd = nullptr;
};
} // namespace cnt
