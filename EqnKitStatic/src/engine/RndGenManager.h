// The generators of one solver, in the order they were added; an expression refers to a
// generator by its position. The manager owns the generators and a copy of each name.
#pragma once

#include <cnt/PushBackVector.h>
#include <td/String.h>
#include <td/Types.h>

#include "RndGen.h"

namespace sl
{
class RndGenManager
{
public:
    RndGenManager() = default;
    RndGenManager(const RndGenManager&) = delete;
    RndGenManager& operator=(const RndGenManager&) = delete;
    virtual ~RndGenManager();

    // Draws the next number of generator iGen into out.
    virtual void draw(td::INT4 iGen, double& out);

    // Deletes the generators held and makes room for n.
    void reserve(td::UINT4 n);
    // Takes ownership of pGen. Returns its index, or -1 when the name is already there,
    // in which case the new generator is deleted and nothing is stored.
    td::INT4 add(const td::String& name, rnd::Gen* pGen);
    // Index of the first generator of that name; -1 for an empty or absent name.
    td::INT4 find(const char* name, td::UINT4 length) const;
    td::INT4 find(const td::String& name) const { return find(name.c_str(), name.length()); }

    td::UINT4 size() const { return static_cast<td::UINT4>(_entries.size()); }
    // Name of generator i; null outside the list.
    const td::String* getName(td::UINT4 i) const { return i < _entries.size() ? &_entries[i].name : nullptr; }

private:
    struct Entry
    {
        td::String name;
        rnd::Gen* pGen = nullptr;
    };

    void deleteAll();

    cnt::PushBackVector<Entry> _entries;
};
} // namespace sl

namespace slDbl
{
using RndGenManager = sl::RndGenManager;
}

namespace slCmplx
{
using RndGenManager = sl::RndGenManager;
}
