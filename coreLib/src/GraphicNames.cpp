#include <mu/GraphicNames.h>

#include <cstring>

namespace td
{
namespace
{
struct NamedCode
{
    const char* name;
    BYTE code;
};

// Colour identifiers of a 256-entry palette; 167 is the default colour.
const NamedCode s_colors[] = {
    {"black", 0},   {"white", 1},   {"red", 2},       {"green", 3},      {"blue", 4},      {"yellow", 5},
    {"cyan", 6},    {"magenta", 7}, {"gray", 8},      {"grey", 8},       {"orange", 9},    {"brown", 10},
    {"purple", 11}, {"pink", 12},   {"navy", 13},     {"olive", 14},     {"teal", 15},     {"maroon", 16},
    {"lime", 17},   {"silver", 18}, {"darkGray", 19}, {"lightGray", 20}, {"default", 167},
};

const NamedCode s_linePatterns[] = {
    {"solid", 0}, {"dash", 1}, {"dot", 2}, {"dashDot", 3}, {"dashDotDot", 4},
};

const NamedCode s_dotPatterns[] = {
    {"circle", 0}, {"square", 1}, {"triangle", 2}, {"diamond", 3}, {"cross", 4},
    {"plus", 5},   {"star", 6},   {"point", 7},    {"none", 8},
};

template <std::size_t N> int lookup(const NamedCode (&table)[N], const char* text, std::size_t length)
{
    for (const NamedCode& entry : table)
        if (std::strlen(entry.name) == length && std::memcmp(entry.name, text, length) == 0)
            return entry.code;
    return -1;
}
} // namespace

ColorID toColorID(const char* text, int length, ColorID defaultColor)
{
    if (!text || length <= 0)
        return defaultColor;
    int code = lookup(s_colors, text, static_cast<std::size_t>(length));
    return code < 0 ? defaultColor : static_cast<ColorID>(code);
}

LinePattern toLinePattern(const String& name)
{
    int code = lookup(s_linePatterns, name.c_str(), name.length());
    return code < 0 ? LinePattern::NotSet : static_cast<LinePattern>(code);
}

DotPattern toDotPattern(const String& name)
{
    int code = lookup(s_dotPatterns, name.c_str(), name.length());
    return code < 0 ? DotPattern::NotSet : static_cast<DotPattern>(code);
}
} // namespace td
