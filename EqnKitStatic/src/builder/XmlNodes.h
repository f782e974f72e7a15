// Small reads of an XML model document for the builder's XML road: children and their
// counts by name, attribute texts and the blank rules of the model texts.
#pragma once

#include <cstring>

#include <td/Types.h>
#include <xml/Node.h>

namespace sl::xmlnodes
{
// Conditional equations and limit branches nest at most this deep.
constexpr td::UINT4 cMaxXmlNesting = 64;
// Declared names are at most this long; the left side of an ODE, prime included.
constexpr td::UINT4 cMaxXmlNameLength = 32;
constexpr td::UINT4 cMaxODELeftSide = 33;
// The item number of an assignment text that has no position of its own.
constexpr td::UINT4 cNoItem = 0xFFFFFFFFu;
// The section argument of a location text that names the current section.
constexpr td::BYTE cCurrent = 16;

// The first child of that name; an empty handle when node is empty or has none.
inline xml::Node child(const xml::Node& node, const char* name)
{
    return node.isEmpty() ? xml::Node() : node.getChild(name);
}

// The node and its following siblings of its name; 0 for an empty handle.
inline td::UINT4 count(const xml::Node& first)
{
    return first.isEmpty() ? 0 : static_cast<td::UINT4>(first.countSameName());
}

inline td::UINT4 countChildren(const xml::Node& node, const char* name) { return count(child(node, name)); }

// An attribute's text (the empty text for an empty value); null when it is absent.
inline const char* attrib(const xml::Node& node, const char* name)
{
    const td::PoolString* pValue = node.getAttribValue(name);
    return pValue ? pValue->c_str() : nullptr;
}

// Exactly "true" or "True".
inline bool isTrueText(const char* text)
{
    return text && (text[0] == 't' || text[0] == 'T') && !std::strcmp(text + 1, "rue");
}

// While it lives, the texts being read are those of an element: line (the build's record
// of the element line) is the element's, when it has one.
class ElementLine
{
public:
    ElementLine(td::UINT4& line, const xml::Node& element) : _line(line), _saved(line)
    {
        if (const td::UINT4 own = element.getLine())
            _line = own;
    }
    ~ElementLine() { _line = _saved; }
    ElementLine(const ElementLine&) = delete;
    ElementLine& operator=(const ElementLine&) = delete;

private:
    td::UINT4& _line;
    td::UINT4 _saved;
};

// Space, tab, line feed, carriage return.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline const char* skipBlanks(const char* p)
{
    while (isBlank(*p))
        ++p;
    return p;
}

inline bool onlyBlanks(const char* p) { return *skipBlanks(p) == 0; }

// The 1-based position of the first assignment operator (=, *=, /=, +=, -=, ^=) of text
// at from or after it; the comparisons ==, <=, >= and != are none. 0 when there is none.
inline td::UINT4 findAssignment(const char* text, td::UINT4 from)
{
    const std::size_t n = std::strlen(text);
    for (std::size_t i = from; i < n; ++i)
    {
        if (text[i] != '=')
            continue;
        if (text[i + 1] == '=')
        {
            ++i;
            continue;
        }
        const char before = i > 0 ? text[i - 1] : 0;
        if (before && std::strchr("<>!=", before))
            continue;
        const bool compound = i > from && before && std::strchr("*/+-^", before);
        return static_cast<td::UINT4>(compound ? i : i + 1);
    }
    return 0;
}
} // namespace sl::xmlnodes
