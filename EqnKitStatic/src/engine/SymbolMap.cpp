#include "SymbolMap.h"

#include <cstring>

namespace sl
{
td::LUINT8 SymbolMap::hash(const char* name, td::UINT4 length)
{
    td::LUINT8 h = 0;
    for (td::UINT4 i = 0; i < length; ++i)
    {
        td::LINT8 c = static_cast<signed char>(name[i]);
        if (c >= 96)
            c -= 40;
        h = static_cast<td::LUINT8>(c) + (h >> 28) + 8 * h;
    }
    return h;
}

td::LUINT8 SymbolMap::hash(const char* name)
{
    return name ? hash(name, static_cast<td::UINT4>(std::strlen(name))) : 0;
}

td::INT4 SymbolMap::find(const char* name) const
{
    return name ? find(name, static_cast<td::UINT4>(std::strlen(name))) : -1;
}

td::INT4 SymbolMap::find(const char* name, td::UINT4 length) const
{
    const td::LUINT8 h = hash(name, length);
    for (auto it = _map.lower_bound(h); it != _map.end() && it->first == h; ++it)
    {
        if (it->second >= _names.size())
            continue;
        if (_names[it->second].equals(name, length))
            return static_cast<td::INT4>(it->second);
    }
    return -1;
}

void SymbolMap::mapSymbol(const char* name, td::UINT4 index) { _map.emplace(hash(name), index); }

void SymbolMap::addSymbolName(const td::String& name, td::UINT4 index)
{
    _map.emplace(hash(name.c_str(), name.length()), index);
    while (_names.size() <= index)
        _names.push(td::String());
    _names[index] = name.clone();
}

td::String* SymbolMap::nameAt(td::LUINT8 pos) { return &_names.at(static_cast<std::size_t>(pos)); }

const td::String* SymbolMap::nameAt(td::LUINT8 pos) const { return &_names.at(static_cast<std::size_t>(pos)); }

void SymbolMap::clean()
{
    _names = cnt::Vector<td::String>();
    _map.clear();
}
} // namespace sl
