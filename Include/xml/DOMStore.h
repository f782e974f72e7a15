// The pools behind one parsed XML document: the name table, the node, attribute and string
// pools and the stack of open elements. The store owns every record of its tree.
#pragma once

#include <cnt/HashList.h>
#include <cnt/List.h>
#include <cnt/Stack.h>
#include <mem/CntMemoryManager.h>
#include <mem/StringMemoryManager.h>
#include <xml/Node.h>

namespace xml
{
class DOMStore
{
public:
    static constexpr td::UINT4 cNodesPerBlock = 4096;
    static constexpr td::UINT4 cMaxAttribs = mem::CntMemoryManager<Attrib>::cBlockLength;
    // Elements open at once: the node stack holds the document below them.
    static constexpr td::INT4 cMaxDepth = cnt::Stack<NodeRecord*>::cMaxCapacity - 1;

    explicit DOMStore(td::UINT4 nBuckets);
    DOMStore(const DOMStore&) = delete;
    DOMStore& operator=(const DOMStore&) = delete;

    // Forgets the tree, the names and every pooled string: afterwards the document is
    // empty and the current node. Handles into the old tree must not be used again.
    void reset();

    // Reading -----------------------------------------------------------------------
    Node getDocument() const { return Node(nullptr, this, &_document); }
    // The entry of a name that the document uses; null when it uses no such name.
    const NameEntry* findName(td::UINT4 hash, const char* bytes, td::UINT4 length) const;
    const NameEntry* findName(const char* name) const;
    td::UINT4 bucketCount() const { return _names.bucketCount(); }
    td::UINT4 nameCount() const { return _names.size(); }

    // Building ----------------------------------------------------------------------
    // The entry of the name, made when the name is new.
    NameEntry* intern(td::UINT4 hash, const char* bytes, td::UINT4 length);
    // Appends an element of that name, whose start tag is on line (from 1), to the current
    // node and makes it current; false, with nothing changed, when cMaxDepth elements are
    // open already.
    [[nodiscard]] bool openElement(const NameEntry* pName, td::UINT4 line = 0);
    // The parent of the current element becomes current.
    void closeElement();
    // The value is copied into the string pool. The caller keeps the count of the
    // current node's attributes below cMaxAttribs.
    void addAttribute(const NameEntry* pName, const char* value, td::UINT4 length);
    // Replaces the current node's text by a pooled copy of the bytes.
    void setText(const char* bytes, td::UINT4 length);

    td::INT4 depth() const { return _nodeStack.size() - 1; }
    const NodeRecord* current() const { return _current; }

private:
    cnt::HashList<NameEntry> _names;
    cnt::List<NodeRecord> _nodes;
    mem::CntMemoryManager<Attrib> _attribs;
    mem::StringPool _strings;
    cnt::Stack<NodeRecord*> _nodeStack;
    NodeRecord _document;
    NodeRecord* _current = nullptr;
};
} // namespace xml
