#include "RndGenManager.h"

namespace sl
{
RndGenManager::~RndGenManager() { deleteAll(); }

void RndGenManager::draw(td::INT4 iGen, double& out)
{
    td::INT4 pos = iGen;
    td::INT4 sz = static_cast<td::INT4>(_entries.size());
    TD_ASSERT(pos >= 0);
    TD_ASSERT(pos < sz);
    _entries[static_cast<std::size_t>(pos)].pGen->generate(out);
}

void RndGenManager::reserve(td::UINT4 n)
{
    deleteAll();
    _entries.reserve(n);
}

td::INT4 RndGenManager::add(const td::String& name, rnd::Gen* pGen)
{
    TD_ASSERT(pGen);
    if (find(name) >= 0)
    {
        delete pGen;
        return -1;
    }
    _entries.push(Entry{name.clone(), pGen});
    return static_cast<td::INT4>(_entries.size() - 1);
}

td::INT4 RndGenManager::find(const char* name, td::UINT4 length) const
{
    if (!name || length == 0)
        return -1;
    for (std::size_t i = 0; i < _entries.size(); ++i)
    {
        if (_entries[i].name.equals(name, length))
            return static_cast<td::INT4>(i);
    }
    return -1;
}

void RndGenManager::deleteAll()
{
    for (Entry& e : _entries)
        delete e.pGen;
    _entries.clear();
}
} // namespace sl
