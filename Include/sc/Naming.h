// Symbol table of one model: per model level and kind of declared name, names to indices
// and, after buildNamePositions, indices back to names. Names live in the table's pool.
#pragma once

#include <ostream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <cnt/SafeFullVector.h>
#include <mem/StringMemoryManager.h>
#include <sc/EqnKitAPI.h>
#include <sc/ModelEnums.h>
#include <td/String.h>

namespace sc
{
class TokenizedModel;

// Hash of a name: h = rotl5(h) ^ b for every byte b read as signed; lookups may use a
// plain view of the bytes as well as a pool string.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept
    {
        std::uint32_t h = 0;
        for (char c : s)
            h = ((h >> 27) ^ (h << 5)) ^
                static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
        return h;
    }
    std::size_t operator()(const td::PoolString& s) const noexcept { return (*this)(view(s)); }
    static std::string_view view(const td::PoolString& s) noexcept { return {s.c_str(), s.length()}; }
};

struct NameEqual
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
    bool operator()(const td::PoolString& a, std::string_view b) const noexcept { return NameHash::view(a) == b; }
    bool operator()(std::string_view a, const td::PoolString& b) const noexcept { return a == NameHash::view(b); }
    bool operator()(const td::PoolString& a, const td::PoolString& b) const noexcept { return a == b; }
};

class EQNKIT_API Naming
{
    friend class TokenizedModel;

public:
    using SymbolMap = std::unordered_map<td::PoolString, unsigned, NameHash, NameEqual>;
    using NameSet = std::unordered_set<td::PoolString, NameHash, NameEqual>;
    using NameArray = cnt::SafeFullVector<const td::PoolString*>;
    using Pool = mem::StringPool;

    Naming() = default;
    Naming(const Naming&) = delete;
    Naming& operator=(const Naming&) = delete;
    // The new table holds copies of every name in its own pool.
    Naming(Naming&& other);
    ~Naming();

    void clean();

    unsigned getNumberOfVars(ModelLevel level) const
    {
        return static_cast<unsigned>(maps(level)[idx(UserLabel::Var)].size());
    }
    unsigned getNumberOfParams(ModelLevel level) const
    {
        return static_cast<unsigned>(maps(level)[idx(UserLabel::Param)].size());
    }
    unsigned getNumberOfUserLabels(UserLabel kind, ModelLevel level) const;

    const td::PoolString* getVarName(unsigned i, ModelLevel level) const
    {
        return names(level)[idx(UserLabel::Var)][i];
    }
    const td::PoolString* getParamName(unsigned i, ModelLevel level) const
    {
        return names(level)[idx(UserLabel::Param)][i];
    }
    const td::PoolString* getUserLabelName(UserLabel kind, unsigned i, ModelLevel level) const;

    int getVarPos(const td::PoolString* name, ModelLevel level) const
    {
        return getUserLabelPos(UserLabel::Var, name, level);
    }
    int getParamPos(const td::PoolString* name, ModelLevel level) const
    {
        return getUserLabelPos(UserLabel::Param, name, level);
    }
    int getUserLabelPos(UserLabel kind, const td::PoolString* name, ModelLevel level) const;

    SymbolMap* getUserSymbolMap(UserLabel userSymbolType);
    const SymbolMap* getUserSymbolMap(UserLabel userSymbolType) const;
    const SymbolMap* getUserSymbolMap(UserLabel userSymbolType, ModelLevel level) const;
    SymbolMap* getUserSymbolSubModelMap(UserLabel userSymbolType);
    const SymbolMap* getUserSymbolSubModelMap(UserLabel userSymbolType) const;
    SymbolMap* getUserLabels() { return _labels; }
    SymbolMap* getUserSubModelLabels() { return _subModelLabels; }
    // Four sets: main variables, main parameters, sub-model variables, sub-model parameters.
    NameSet* getDuplicatedVarsAndParams() { return _duplicates; }
    Pool* getStringMemManager() { return &_strings; }

    void showVarsAndParams(std::ostream& os) const;

    // Rebuilds the index-to-name arrays from the maps; the tokenized model calls it once
    // the declarations are read.
    void buildNamePositions();

private:
    const SymbolMap* maps(ModelLevel level) const { return level == ModelLevel::Main ? _labels : _subModelLabels; }
    const NameArray* names(ModelLevel level) const
    {
        return level == ModelLevel::Main ? _labelNames : _subModelLabelNames;
    }

    Pool _strings;
    SymbolMap _labels[4];
    SymbolMap _subModelLabels[4];
    NameSet _duplicates[4];
    NameArray _labelNames[4];
    NameArray _subModelLabelNames[4];
};
} // namespace sc
