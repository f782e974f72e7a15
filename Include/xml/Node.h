// The document tree of the XML parser and the read-only handle through which it is walked.
// Every record lives in the pools of the parser that built it and dies with its next parse.
#pragma once

#include <td/String.h>
#include <td/Types.h>

namespace xml
{
class DOMStore;

// One interned element or attribute name: a name is stored once per parse, so that two
// names are equal exactly when their entries are the same.
struct NameEntry
{
    td::UINT4 useCount = 0; // 1 when created, +1 each time the name is read again
    td::UINT4 hash = 0;
    td::PoolString* pName = nullptr;
    NameEntry* pNext = nullptr; // next entry of the same bucket
};

struct Attrib
{
    const NameEntry* pName = nullptr;
    td::PoolString value; // empty for an empty value
};

// One element, or the document, whose children are the top-level elements.
struct NodeRecord
{
    const NameEntry* pName = nullptr; // none for the document
    td::PoolString text;              // the last text run of the element that is not all blanks
    NodeRecord* pFirstChild = nullptr;
    NodeRecord* pLastChild = nullptr;
    Attrib* pAttribs = nullptr; // the element's attributes in document order
    td::LUINT8 nAttribs = 0;
    NodeRecord* pNextSibling = nullptr;
    td::UINT4 line = 0; // line of the start tag, from 1; 0 for the document
};

// A handle {name entry, parser, node}: the entry is the name by which the node was found
// (none for the document and for a handle that steps over siblings of any name). An empty
// handle has all three null; a handle walked past the last sibling keeps its name and
// parser but has no node.
class Node
{
public:
    Node() = default;
    Node(const NameEntry* pEntry, const DOMStore* pParser, const NodeRecord* pNode)
        : _pEntry(pEntry), _pParser(pParser), _pNode(pNode)
    {
    }

    bool isEmpty() const { return _pNode == nullptr; }
    const NameEntry* getEntry() const { return _pEntry; }
    const NodeRecord* getRecord() const { return _pNode; }

    // The first child element of that name; an empty handle when there is none or when
    // the document never used the name. The handle must carry a parser.
    Node getChild(const char* name) const;
    // The first child element whatever its name; nextSameName then visits every sibling.
    Node getFirstChild() const;
    // Moves to the next sibling of the handle's name (of any name without one); the node
    // becomes null after the last. The handle must have a node.
    void nextSameName();
    // The node and its following siblings of the handle's name (all of them without one);
    // 0 without a node.
    td::INT4 countSameName() const;

    // The first attribute of that name in document order; null when there is none.
    const Attrib* findAttrib(const char* name) const;
    // Its value (the empty text for an empty value); null when there is no such attribute.
    const td::PoolString* getAttribValue(const char* name) const;
    // False when the attribute is absent (value untouched); otherwise value is true
    // exactly for "true" and "True" (any first letter case, then "rue").
    bool getBoolAttrib(const char* name, bool& value) const;

    // The element's name; null for the document and for a handle without a node.
    const td::PoolString* getName() const;
    const td::PoolString& getText() const;
    // The line of the element's start tag, from 1; 0 for the document and without a node.
    td::UINT4 getLine() const { return _pNode ? _pNode->line : 0; }
    const Attrib* getAttribs() const { return _pNode ? _pNode->pAttribs : nullptr; }
    td::LUINT8 getAttribCount() const { return _pNode ? _pNode->nAttribs : 0; }

private:
    const NameEntry* _pEntry = nullptr;
    const DOMStore* _pParser = nullptr;
    const NodeRecord* _pNode = nullptr;
};
} // namespace xml
