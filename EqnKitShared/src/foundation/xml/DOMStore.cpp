#include <xml/DOMStore.h>

#include <cstring>

#include <mu/Tokenizer.h>

namespace xml
{
namespace
{
struct SameName
{
    const char* bytes;
    td::UINT4 length;
    bool operator()(const NameEntry& e) const
    {
        return length > 0 && e.pName->length() == length && std::memcmp(e.pName->c_str(), bytes, length) == 0;
    }
};
} // namespace

DOMStore::DOMStore(td::UINT4 nBuckets) : _names(nBuckets), _nodes(cNodesPerBlock) { reset(); }

void DOMStore::reset()
{
    _names.clear();
    _nodes.rewind();
    _attribs.rewind();
    _strings.release();
    _document = NodeRecord{};
    _nodeStack.clear();
    bool pushed = _nodeStack.push(&_document);
    TD_ASSERT(pushed);
    _current = &_document;
}

const NameEntry* DOMStore::findName(td::UINT4 hash, const char* bytes, td::UINT4 length) const
{
    return _names.find(hash, SameName{bytes, length});
}

const NameEntry* DOMStore::findName(const char* name) const
{
    td::UINT4 h = 0;
    const char* p = name;
    for (; *p; ++p)
        h = mu::Tokenizer::hashStep(h, *p);
    return findName(h, name, static_cast<td::UINT4>(p - name));
}

NameEntry* DOMStore::intern(td::UINT4 hash, const char* bytes, td::UINT4 length)
{
    if (NameEntry* pFound = _names.find(hash, SameName{bytes, length}))
    {
        ++pFound->useCount;
        return pFound;
    }
    td::PoolString* toRet = td::PoolString::createIn(_strings, length, bytes);
    TD_ASSERT(toRet);
    NameEntry* pEntry = _names.add(hash);
    pEntry->useCount = 1;
    pEntry->pName = toRet;
    return pEntry;
}

bool DOMStore::openElement(const NameEntry* pName, td::UINT4 line)
{
    NodeRecord* pParent = _current;
    NodeRecord* pNode = _nodes.alloc();
    if (!_nodeStack.push(pNode))
        return false;
    *pNode = NodeRecord{};
    pNode->pName = pName;
    pNode->line = line;
    if (pParent->pLastChild)
        pParent->pLastChild->pNextSibling = pNode;
    else
        pParent->pFirstChild = pNode;
    pParent->pLastChild = pNode;
    _current = pNode;
    return true;
}

void DOMStore::closeElement()
{
    TD_ASSERT(depth() > 0);
    _nodeStack.pop();
    _current = _nodeStack.top();
}

void DOMStore::addAttribute(const NameEntry* pName, const char* value, td::UINT4 length)
{
    NodeRecord* pNode = _current;
    TD_ASSERT(pNode->nAttribs < cMaxAttribs);
    td::UINT4 n = static_cast<td::UINT4>(pNode->nAttribs);
    Attrib* pRun = _attribs.append(pNode->pAttribs, n);
    Attrib& a = pRun[n];
    a = Attrib{pName, {}};
    td::PoolString::allocateIn(_strings, a.value, length, value);
    pNode->pAttribs = pRun;
    pNode->nAttribs = n + 1;
}

void DOMStore::setText(const char* bytes, td::UINT4 length)
{
    _current->text = td::PoolString();
    td::PoolString::allocateIn(_strings, _current->text, length, bytes);
}
} // namespace xml
