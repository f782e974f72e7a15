// A solver's symbol store: the names by index (variables first, then parameters) and a
// multimap from a 64-bit name hash to indices. Equal hashes are told apart by the names,
// in insertion order.
#pragma once

#include <map>

#include <cnt/Vector.h>
#include <td/String.h>
#include <td/Types.h>

namespace sl
{
class SymbolMap
{
public:
    static td::LUINT8 hash(const char* name, td::UINT4 length);
    static td::LUINT8 hash(const char* name);

    // Index of the first symbol mapped under that name; -1 when absent.
    td::INT4 find(const char* name) const;
    td::INT4 find(const td::String& name) const { return find(name.c_str(), name.length()); }
    td::INT4 find(const char* name, td::UINT4 length) const;

    // Enters name -> index in the hash map only.
    void mapSymbol(const char* name, td::UINT4 index);
    // Maps the name and stores a copy of it at that index of the name list (the list
    // grows with empty names up to it).
    void addSymbolName(const td::String& name, td::UINT4 index);

    td::UINT4 getNumberOfNames() const { return _names.size(); }
    td::String* nameAt(td::LUINT8 pos);
    const td::String* nameAt(td::LUINT8 pos) const;

    void clean();

private:
    cnt::Vector<td::String> _names;
    std::multimap<td::LUINT8, td::UINT4> _map;
};
} // namespace sl

namespace slDbl
{
using SymbolMap = sl::SymbolMap;
}

namespace slCmplx
{
using SymbolMap = sl::SymbolMap;
}
