#include <xml/Node.h>

#include <xml/DOMStore.h>

namespace xml
{
namespace
{
const td::PoolString s_emptyText;
} // namespace

Node Node::getChild(const char* name) const
{
    const DOMStore* pParser = _pParser;
    TD_ASSERT(pParser);
    if (!_pNode || !name)
        return {};
    const NameEntry* pEntry = pParser->findName(name);
    if (!pEntry)
        return {};
    for (const NodeRecord* p = _pNode->pFirstChild; p; p = p->pNextSibling)
        if (p->pName == pEntry)
            return Node(pEntry, pParser, p);
    return {};
}

Node Node::getFirstChild() const
{
    if (!_pNode || !_pNode->pFirstChild)
        return {};
    return Node(nullptr, _pParser, _pNode->pFirstChild);
}

void Node::nextSameName()
{
    const NodeRecord* pIt = _pNode;
    TD_ASSERT(pIt);
    pIt = pIt->pNextSibling;
    if (_pEntry)
        while (pIt && pIt->pName != _pEntry)
            pIt = pIt->pNextSibling;
    _pNode = pIt;
}

td::INT4 Node::countSameName() const
{
    td::INT4 n = 0;
    for (const NodeRecord* p = _pNode; p; p = p->pNextSibling)
        if (!_pEntry || p->pName == _pEntry)
            ++n;
    return n;
}

const Attrib* Node::findAttrib(const char* name) const
{
    const char* pStr = name;
    TD_ASSERT(pStr);
    if (!_pNode || _pNode->nAttribs == 0)
        return nullptr;
    const NameEntry* pEntry = _pParser->findName(pStr);
    if (!pEntry)
        return nullptr;
    for (td::LUINT8 i = 0; i < _pNode->nAttribs; ++i)
        if (_pNode->pAttribs[i].pName == pEntry)
            return &_pNode->pAttribs[i];
    return nullptr;
}

const td::PoolString* Node::getAttribValue(const char* name) const
{
    const Attrib* pAttrib = findAttrib(name);
    return pAttrib ? &pAttrib->value : nullptr;
}

bool Node::getBoolAttrib(const char* name, bool& value) const
{
    const td::PoolString* pValue = getAttribValue(name);
    if (!pValue)
        return false;
    value = pValue->isTrue();
    return true;
}

const td::PoolString* Node::getName() const { return _pNode && _pNode->pName ? _pNode->pName->pName : nullptr; }

const td::PoolString& Node::getText() const { return _pNode ? _pNode->text : s_emptyText; }
} // namespace xml
