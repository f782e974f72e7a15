#include <sc/Naming.h>

#include <td/Assert.h>

namespace sc
{
namespace
{
void listEntries(std::ostream& os, const Naming::SymbolMap& map, bool flushEach)
{
    for (const auto& [name, pos] : map)
    {
        os << name.c_str() << " pos=" << pos;
        if (flushEach)
            os << std::endl;
        else
            os << "\n";
    }
}

const char* const cDashes = "--------------";
} // namespace

Naming::Naming(Naming&& other)
{
    auto copyOf = [this](const td::PoolString& name) {
        td::PoolString copy;
        td::PoolString::allocateIn(_strings, copy, name.length(), name.c_str());
        return copy;
    };
    auto copyMaps = [&copyOf](const SymbolMap* from, SymbolMap* to) {
        for (int k = 0; k < 4; ++k)
            for (const auto& [name, pos] : from[k])
                to[k].emplace(copyOf(name), pos);
    };
    copyMaps(other._labels, _labels);
    copyMaps(other._subModelLabels, _subModelLabels);
    for (int k = 0; k < 4; ++k)
        for (const td::PoolString& name : other._duplicates[k])
            _duplicates[k].insert(copyOf(name));
    bool hadPositions = false;
    for (int k = 0; k < 4; ++k)
        hadPositions = hadPositions || other._labelNames[k].size() > 0 || other._subModelLabelNames[k].size() > 0;
    if (hadPositions)
        buildNamePositions();
    other.clean();
}

Naming::~Naming()
{
    for (int k = 0; k < 4; ++k)
    {
        _labelNames[k].clean();
        _subModelLabelNames[k].clean();
        _duplicates[k].clear();
        _labels[k].clear();
        _subModelLabels[k].clear();
    }
    _strings.release();
}

void Naming::clean()
{
    for (int k = 0; k < 4; ++k)
    {
        SymbolMap().swap(_labels[k]);
        SymbolMap().swap(_subModelLabels[k]);
        NameSet().swap(_duplicates[k]);
        _labelNames[k].clean();
        _subModelLabelNames[k].clean();
    }
    _strings.release();
}

void Naming::buildNamePositions()
{
    auto build = [](const SymbolMap& map, NameArray& arr) {
        arr.clean();
        if (map.empty())
            return;
        arr.reserve(map.size());
        for (std::size_t i = 0; i < map.size(); ++i)
            arr[i] = nullptr;
        for (const auto& [name, pos] : map)
            arr[pos] = &name;
    };
    for (int k = 0; k < 4; ++k)
    {
        build(_labels[k], _labelNames[k]);
        build(_subModelLabels[k], _subModelLabelNames[k]);
    }
}

unsigned Naming::getNumberOfUserLabels(UserLabel kind, ModelLevel level) const
{
    if (kind >= UserLabel::Last)
        return 0;
    return static_cast<unsigned>(maps(level)[idx(kind)].size());
}

const td::PoolString* Naming::getUserLabelName(UserLabel kind, unsigned i, ModelLevel level) const
{
    if (kind >= UserLabel::Last)
        return nullptr;
    return names(level)[idx(kind)][i];
}

int Naming::getUserLabelPos(UserLabel kind, const td::PoolString* name, ModelLevel level) const
{
    TD_ASSERT(kind < UserLabel::Last);
    if (!name || name->length() == 0)
        return -1;
    const SymbolMap& map = maps(level)[idx(kind)];
    auto it = map.find(NameHash::view(*name));
    return it == map.end() ? -1 : static_cast<int>(it->second);
}

Naming::SymbolMap* Naming::getUserSymbolMap(UserLabel userSymbolType)
{
    TD_ASSERT(userSymbolType < sc::UserLabel::Last);
    return &_labels[idx(userSymbolType)];
}

const Naming::SymbolMap* Naming::getUserSymbolMap(UserLabel userSymbolType) const
{
    TD_ASSERT(userSymbolType <= sc::UserLabel::Param);
    return &_labels[idx(userSymbolType)];
}

const Naming::SymbolMap* Naming::getUserSymbolMap(UserLabel userSymbolType, ModelLevel level) const
{
    TD_ASSERT(userSymbolType <= sc::UserLabel::Param);
    return &maps(level)[idx(userSymbolType)];
}

Naming::SymbolMap* Naming::getUserSymbolSubModelMap(UserLabel userSymbolType)
{
    TD_ASSERT(userSymbolType < sc::UserLabel::Last);
    return &_subModelLabels[idx(userSymbolType)];
}

const Naming::SymbolMap* Naming::getUserSymbolSubModelMap(UserLabel userSymbolType) const
{
    TD_ASSERT(userSymbolType <= sc::UserLabel::Param);
    return &_subModelLabels[idx(userSymbolType)];
}

void Naming::showVarsAndParams(std::ostream& os) const
{
    const SymbolMap& mmVars = _labels[idx(UserLabel::Var)];
    const SymbolMap& mmParams = _labels[idx(UserLabel::Param)];
    const SymbolMap& smVars = _subModelLabels[idx(UserLabel::Var)];
    const SymbolMap& smParams = _subModelLabels[idx(UserLabel::Param)];

    os << "MMVars size=" << mmVars.size() << "\n" << cDashes << "\n";
    listEntries(os, mmVars, true);
    os << cDashes << "\n"
       << "\n";

    os << "MMParams size=" << mmParams.size() << "\n" << cDashes << "\n";
    listEntries(os, mmParams, false);
    os << "\n";

    os << "SMVars size=" << smVars.size() << "\n" << cDashes << "\n";
    listEntries(os, smVars, true);
    os << cDashes << "\n"
       << "\n";

    os << "SMParams size=" << smParams.size() << "\n" << cDashes << "\n";
    listEntries(os, smParams, false);
}
} // namespace sc
