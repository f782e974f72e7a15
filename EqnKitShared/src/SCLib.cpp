#include <sc/SCLib.h>
#include <sc/priv/FunctionTable.h>
#include <sc/priv/LanguageWords.h>

#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include <td/Assert.h>

namespace sc
{
cnt::SafeFullVector<_AttNameDesc> s_commonAttribNames;
cnt::SafeFullVector<_RNDS> s_commonReservedNames;
cnt::SafeFullVector<_GNDS> s_commonGroupNames;
LogicalTokenMap s_logicalTokenMap;
SpecialConstantMap s_specialConstantMap;
IndexMap s_embeddedParamMap;
td::String s_strComplexAttribValue;
cnt::Array<char, 1> s_tagPosition;
cnt::SafeFullVector<cnt::SafeFullVector<cnt::Dictionary<td::StrKey, int>>> s_commonLabels;

const Token s_commonIndentStart = Token::Colon;
const Token s_attribStart = Token::LBracket;
const Token s_attribEnd = Token::RBracket;

cnt::SafeFullVector<cnt::Array<FunctionMap, 2>> s_commonFunctions;
cnt::SafeFullVector<AttribMap> s_commonAttribMaps;
cnt::SafeFullVector<ReservedMap> s_commonReservedMaps;
cnt::SafeFullVector<GroupMap> s_commonGroupMaps;
cnt::SafeFullVector<cnt::Array<int, 2>> s_cmplxPartIndex;

namespace
{
IndexMap s_commonAttribEnumValueMap;
NumericTypeMap s_numericTypeMap;
SolutionOKReportStringType s_solutionOKType = SolutionOKReportStringType::OK;
td::String s_solutionOKText("OK");

// Real models know the first functions of the table, complex models all of them.
const char* const* const cFunctionWords = priv::cFunctionWords;
constexpr unsigned cNReal = priv::cRealFunctionCount;
constexpr unsigned cNComplexOnly = priv::cComplexOnlyFunctionCount;

// A table name and the value kind it takes (attributes and header parameters).
struct NameKindRow
{
    const char* name;
    AttribKind kind;
};
const NameKindRow cAttribs[] = {
    {"domain", Token::EnumWord},
    {"type", Token::EnumWord},
    {"method", Token::EnumWord},
    {"eps", Token::Real},
    {"dT", Token::Real},
    {"out", Token::Boolean},
    {"w", Token::Real},
    {"conj", Token::Boolean},
    {"enabled", Token::Boolean},
    {"signal", Token::EnumWord},
    {"copyPars", Token::Integer},
    {"min", Token::Real},
    {"max", Token::Real},
    {"mean", Token::Real},
    {"dev", Token::Real},
    {"integer", Token::Boolean},
    {"k", Token::Real},
    {"p", Token::Real},
    {"n", Token::Real},
    {"alpha", Token::Real},
    {"beta", Token::Real},
    {"lambda", Token::Real},
    {"reInit", Token::Boolean},
    {"alwaysOn", Token::Boolean},
    {"initMain", Token::Boolean},
    {"simplify", Token::Boolean},
    {"pivot", Token::EnumWord},
    {"maxIter", Token::Integer},
    {"width", Token::Real},
    {"name", Token::String},
    {"minX", Token::Real},
    {"maxX", Token::Real},
    {"minY", Token::Real},
    {"maxY", Token::Real},
    {"colorL", Token::Color},
    {"colorD", Token::Color},
    {"backColor", Token::EnumWord},
    {"legend", Token::Boolean},
    {"step", Token::Real},
    {"pattern", Token::LinePattern},
    {"xLabel", Token::String},
    {"yLabel", Token::String},
};
static_assert(sizeof(cAttribs) / sizeof(cAttribs[0]) == idx(AttribID::NA));

const char* const cEnumWords[] = {
    "real",    "cmplx",    "bool",     "int",      "NR",        "Euler",   "Trapez",    "RK2",     "RK4",    "RK6",
    "NL",      "WLS",      "ODE",      "DAE",      "MLE",       "OPT",     "PDE",       "TooLow",  "MedLow", "Default",
    "MedHigh", "TooHigh",  "Rounding", "Diagonal", "Markowitz", "Uniform", "Bernoulli", "Poisson", "Expo",   "Gamma",
    "Gauss",   "LogGauss", "LogGauss", "ChiSqr",   "Student",   "auto",    "dark",      "light"};
constexpr unsigned cNEnumWords = sizeof(cEnumWords) / sizeof(cEnumWords[0]);
static_assert(cNEnumWords == 38);

struct ReservedRow
{
    const char* name;
    td::BYTE opensBlock;
    td::BYTE isEnd;
};
const ReservedRow cReserved[] = {
    {"@main", 0, 0},    {"repeat", 0, 0},  {"s", 0, 0},       {"group", 0, 0},   {"if", 1, 0},
    {"else", 0, 0},     {"switch", 1, 0},  {"case", 0, 0},    {"default", 0, 0}, {"end", 0, 1},
    {"linePlot", 1, 0}, {"barPlot", 1, 0}, {"piePlot", 1, 0}, {"hLine@", 0, 0},  {"vLine@", 0, 0},
    {"hBand@", 0, 0},   {"vBand@", 0, 0},  {"@cond", 0, 0},   {"@x", 0, 0},      {"@y", 0, 0},
};
static_assert(sizeof(cReserved) / sizeof(cReserved[0]) == idx(ReservedID::NA));

const char* const cGroups[] = {"Model",     "SubModel",  "Vars",     "Params", "Distribs", "Stats", "ReInit",
                               "PreProc",   "NLEs",      "WLSEs",    "ECs",    "ODEs",     "PDEs",  "TFs",
                               "IterPostP", "BasePostP", "PostProc", "Limits", "Repeats",  "Plots"};
static_assert(sizeof(cGroups) / sizeof(cGroups[0]) == idx(Group::NA));

const char* const cEmbeddedParams[] = {"repeat#",   "succRep#", "outIter#", "baseIter#", "totIter#",
                                       "solState#", "reqEps#",  "obtEps#",  "startT#",   "endT#"};
constexpr unsigned cNEmbeddedParams = sizeof(cEmbeddedParams) / sizeof(cEmbeddedParams[0]);

const _tokLab cLogicalWords[] = {{"and", Token::And}, {"or", Token::Or}, {"xor", Token::Xor}, {"not", Token::Not}};
const _SpecConstInf cSpecialConstants[] = {{"pi", SpecialConstant::Pi},
                                           {"\xCF\x80", SpecialConstant::Pi},
                                           {"e", SpecialConstant::E},
                                           {"@solOk#", SpecialConstant::SolutionOK}};
const char* const cTruthWords[] = {"true", "false"};

// Whether a header setting's default is of its kind: an integer of 32 bits, a real
// literal, true or false, a text, or a word of Report (the one enumerated setting).
template <Token kind, typename V> constexpr bool defaultFitsKind(V value)
{
    if constexpr (kind == Token::Integer && std::is_integral_v<V> && !std::is_same_v<V, bool>)
        return std::in_range<td::INT4>(value);
    else if constexpr (kind == Token::Real)
        return std::is_floating_point_v<V>;
    else if constexpr (kind == Token::Boolean)
        return std::is_same_v<V, bool>;
    else if constexpr (kind == Token::String)
        return std::is_convertible_v<V, const char*>;
    else
        return kind == Token::EnumWord && std::is_same_v<V, Report>;
}
#define EQNKIT_HEADER_DEFAULT_FITS(name, word, kind, value, actor)                                                     \
    static_assert(defaultFitsKind<Token::kind>(value),                                                                 \
                  "the default of the header setting " word " does not fit its kind");
EQNKIT_HEADER_PARAMS(EQNKIT_HEADER_DEFAULT_FITS)
#undef EQNKIT_HEADER_DEFAULT_FITS

// A header setting's default stored as its kind's values are: integers and the words of
// Report as 32-bit integers, reals as doubles, booleans as 'Y' or 'N', strings as text.
template <Token kind, typename V> td::Variant headerDefault(V value)
{
    if constexpr (kind == Token::Real)
        return td::Variant(static_cast<double>(value));
    else if constexpr (kind == Token::Boolean)
        return td::Variant(value);
    else if constexpr (kind == Token::String)
        return td::Variant(td::String(value));
    else
        return td::Variant(static_cast<td::INT4>(value));
}

constexpr NameKindRow cHeaderParams[] = {
#define EQNKIT_HEADER_NAME_KIND(name, word, kind, value, actor) {word, Token::kind},
    EQNKIT_HEADER_PARAMS(EQNKIT_HEADER_NAME_KIND)
#undef EQNKIT_HEADER_NAME_KIND
};

// The header pass finds a setting by its word: every word is its own, and neither empty
// nor the header's end. It reads enumerated words for Report alone.
constexpr bool headerWordsOwn()
{
    for (const NameKindRow& row : cHeaderParams)
    {
        const std::string_view word(row.name);
        if (word.empty() || word == "end")
            return false;
        for (const NameKindRow& other : cHeaderParams)
        {
            if (&other != &row && word == other.name)
                return false;
        }
    }
    return true;
}
constexpr bool headerEnumWordsAreReports()
{
    for (unsigned i = 0; i < idx(HeaderParam::NA); ++i)
    {
        if (cHeaderParams[i].kind == Token::EnumWord && i != idx(HeaderParam::Report))
            return false;
    }
    return true;
}
static_assert(headerWordsOwn(), "a header setting whose word is empty, end, or another setting's");
static_assert(headerEnumWordsAreReports(), "an enumerated header setting other than report, whose words nothing reads");

// Key of a table name; names are never empty.
td::StrKey keyOf(const char* pStr)
{
    TD_ASSERT(pStr);
    std::size_t strLen = std::strlen(pStr);
    TD_ASSERT(strLen > 0);
    return td::StrKey(pStr, static_cast<int>(strLen));
}

// Key of a name of the description tables, which keep at most 9 characters.
td::StrKey tableKeyOf(const char* pStr)
{
    TD_ASSERT(pStr);
    std::size_t lblLen = std::strlen(pStr);
    TD_ASSERT(lblLen <= td::StrKey::Length);
    return keyOf(pStr);
}

// Text of a key. Names shorter than 9 bytes are stored byte for byte; a 9-character
// name is packed 7 bits per character from bit 63 down, which leaves bit 7 clear and,
// for names that start with a letter, '@' or '_', sets bit 63.
td::String textOf(td::StrKey key)
{
    td::LUINT8 v = key.value();
    char text[td::StrKey::Length + 1] = {};
    bool packed = (v >> 63) != 0 && (v & 0x80) == 0;
    if (packed)
    {
        for (int i = 0; i < 8; ++i)
            text[i] = static_cast<char>((v >> (57 - 7 * i)) & 0x7F);
        text[8] = static_cast<char>(v & 0x7F);
        return td::String(text, td::StrKey::Length);
    }
    int n = 0;
    for (; n < 8 && ((v >> (8 * n)) & 0xFF) != 0; ++n)
        text[n] = static_cast<char>((v >> (8 * n)) & 0xFF);
    return td::String(text, static_cast<std::size_t>(n));
}

// Appends entries in bulk mode and sorts once.
template <typename V, typename F> void addInBulk(cnt::Dictionary<td::StrKey, V>& dict, unsigned n, F&& entryAt)
{
    if (n == 0)
        return;
    dict.reserve(dict.count() + n);
    dict.setBatchMode(true);
    for (unsigned i = 0; i < n; ++i)
    {
        auto [key, value] = entryAt(i);
        dict.insert(key, value);
    }
    dict.finalize();
}

// Sizes the dictionary to the list and appends it (earlier content is not checked).
template <typename V, typename Item, typename F>
void setFromList(cnt::Dictionary<td::StrKey, V>& dict, std::initializer_list<Item> items, F&& valueOf)
{
    dict.reserve(static_cast<td::UINT4>(items.size()));
    dict.setBatchMode(true);
    for (const Item& item : items)
        dict.insert(keyOf(item.label), valueOf(item));
    dict.finalize();
}

template <typename V> td::String firstNameWithValue(const cnt::Dictionary<td::StrKey, V>& dict, V value)
{
    for (td::UINT4 i = 0; i < dict.count(); ++i)
        if (dict[i].value == value)
            return textOf(dict[i].key);
    return {};
}

void addFunctions(FunctionMap& dict, const char* const* names, unsigned count, int firstCode)
{
    addInBulk(dict, count, [&](unsigned i) { return std::pair{keyOf(names[i]), firstCode + static_cast<int>(i)}; });
}
} // namespace

const td::Variant HeaderDefaultValues[idx(HeaderParam::NA)] = {
#define EQNKIT_HEADER_DEFAULT(name, word, kind, value, actor) headerDefault<Token::kind>(value),
    EQNKIT_HEADER_PARAMS(EQNKIT_HEADER_DEFAULT)
#undef EQNKIT_HEADER_DEFAULT
};

void reserveNamings(unsigned short n)
{
    auto rebuild = [n](auto& vec) {
        if (vec.size() == n)
            return;
        vec.clean();
        if (n > 0)
            vec.reserve(n);
    };
    rebuild(s_commonFunctions);
    rebuild(s_commonAttribMaps);
    rebuild(s_commonReservedMaps);
    rebuild(s_commonGroupMaps);
    s_tagPosition[0] = static_cast<char>(255);
    rebuild(s_cmplxPartIndex);
    for (unsigned i = 0; i < n; ++i)
    {
        s_cmplxPartIndex[i][0] = -1;
        s_cmplxPartIndex[i][1] = -1;
    }
}

void setDefaultDataForAllNamings()
{
    TD_ASSERT(s_commonAttribNames.size() == 0);
    constexpr unsigned nAttribs = idx(AttribID::NA);
    s_commonAttribNames.reserve(nAttribs);
    for (unsigned i = 0; i < nAttribs; ++i)
        s_commonAttribNames[i] = {tableKeyOf(cAttribs[i].name), static_cast<AttribID>(i), cAttribs[i].kind};

    addInBulk(s_commonAttribEnumValueMap, cNEnumWords, [](unsigned i) {
        TD_ASSERT(strlen(cEnumWords[i]) <= td::StrKey::Length);
        return std::pair{keyOf(cEnumWords[i]), static_cast<int>(i)};
    });

    constexpr unsigned nReserved = idx(ReservedID::NA);
    s_commonReservedNames.reserve(nReserved);
    for (unsigned i = 0; i < nReserved; ++i)
        s_commonReservedNames[i] = {tableKeyOf(cReserved[i].name), static_cast<ReservedID>(i), cReserved[i].opensBlock,
                                    cReserved[i].isEnd};

    constexpr unsigned nGroups = idx(Group::NA);
    s_commonGroupNames.reserve(nGroups);
    for (unsigned i = 0; i < nGroups; ++i)
        s_commonGroupNames[i] = {tableKeyOf(cGroups[i]), static_cast<Group>(i)};

    setLogicalLabels({cLogicalWords[0], cLogicalWords[1], cLogicalWords[2], cLogicalWords[3]});
    setNumericTypeLabels({{"bool", 0}, {"int", 1}, {"real", 2}, {"cmplx", 3}});
    setSpecialConstants({cSpecialConstants[0], cSpecialConstants[1], cSpecialConstants[2], cSpecialConstants[3]});
    addInBulk(s_embeddedParamMap, cNEmbeddedParams, [](unsigned i) {
        return std::pair{keyOf(cEmbeddedParams[i]), static_cast<int>(i)};
    });
}

namespace
{
// The function sets and the vocabulary ranges up to (not including) the given ends.
void setNamingData(unsigned short naming, Group groupsEnd, AttribID attribsEnd, ReservedID reservedEnd)
{
    setCommonFunctions(FunctionSet::Real, naming, cFunctionWords, cNReal);
    setCommonComplexFunctions(naming, cFunctionWords, cNReal, cFunctionWords + cNReal, cNComplexOnly);
    setCommonGroupNames(naming, Group::Model, groupsEnd);
    setCommonAttribNames(naming, AttribID::Domain, attribsEnd);
    setComplexDomainAttribEnumPos(naming, 1);
    setCommonReservedNames(naming, ReservedID::Main, reservedEnd);
}
} // namespace

void setDefaultDataForNaming(unsigned short naming)
{
    setNamingData(naming, Group::Plots, AttribID::MinX, ReservedID::LinePlot);
}

void setPlotDataForNaming(unsigned short naming) { setNamingData(naming, Group::NA, AttribID::NA, ReservedID::NA); }

void setCommonFunctions(FunctionSet labelID, unsigned short naming, const char* const* names, unsigned count)
{
    TD_ASSERT((labelID < sc::FunctionSet::NA));
    FunctionMap& dict = s_commonFunctions[naming][idx(labelID)];
    if (count == 0 || dict.count() > 0)
        return;
    addFunctions(dict, names, count, 0);
}

void setCommonFunctions(FunctionSet labelID, unsigned short naming, std::initializer_list<const char*> names)
{
    TD_ASSERT(labelID < sc::FunctionSet::NA);
    FunctionMap& dict = s_commonFunctions[naming][idx(labelID)];
    if (names.size() == 0 || dict.count() > 0)
        return;
    addFunctions(dict, names.begin(), static_cast<unsigned>(names.size()), 0);
}

void setCommonComplexFunctions(unsigned short naming, const char* const* realNames, unsigned nReal,
                               const char* const* complexNames, unsigned nComplex)
{
    FunctionMap& dict = s_commonFunctions[naming][idx(FunctionSet::Complex)];
    if (nReal + nComplex == 0 || dict.count() > 0)
        return;
    // Real names take codes 0 to nReal - 1, complex names the codes after them.
    addInBulk(dict, nReal + nComplex, [&](unsigned i) {
        const char* name = i < nReal ? realNames[i] : complexNames[i - nReal];
        return std::pair{keyOf(name), static_cast<int>(i)};
    });
    for (unsigned i = 0; i < nComplex; ++i)
    {
        int code = static_cast<int>(nReal + i);
        if (std::strncmp(complexNames[i], "real", 4) == 0)
            s_cmplxPartIndex[naming][0] = code;
        else if (std::strncmp(complexNames[i], "imag", 4) == 0)
            s_cmplxPartIndex[naming][1] = code;
    }
}

void setCommonRealFunctions(unsigned short naming, const char* const* names, unsigned count,
                            std::initializer_list<_ARFn> extra)
{
    FunctionMap& dict = s_commonFunctions[naming][idx(FunctionSet::Real)];
    if (dict.count() > 0)
        return;
    addFunctions(dict, names, count, 0);
    addInBulk(dict, static_cast<unsigned>(extra.size()), [&](unsigned i) {
        const _ARFn& fn = extra.begin()[i];
        return std::pair{keyOf(fn.name), fn.code};
    });
}

namespace
{
GroupMap& emptyGroupMap(unsigned short naming)
{
    TD_ASSERT(s_commonGroupNames.size() > 0 && "First populate4 s_commonGroupNames");
    GroupMap& lblDict = s_commonGroupMaps[naming];
    TD_ASSERT(lblDict.count() == 0);
    return lblDict;
}
} // namespace

void setCommonGroupNames(unsigned short naming, Group first, Group last)
{
    GroupMap& lblDict = emptyGroupMap(naming);
    if (first >= last)
        return;
    unsigned from = idx(first);
    addInBulk(lblDict, idx(last) - from, [from](unsigned i) {
        const _GNDS& d = s_commonGroupNames[from + i];
        return std::pair{d.name, _GDS{d.group}};
    });
}

void setCommonGroupNames(unsigned short naming, std::initializer_list<Group> groups)
{
    GroupMap& lblDict = emptyGroupMap(naming);
    addInBulk(lblDict, static_cast<unsigned>(groups.size()), [&](unsigned i) {
        const _GNDS& d = s_commonGroupNames[idx(groups.begin()[i])];
        return std::pair{d.name, _GDS{d.group}};
    });
}

void setCommonAttribNames(unsigned short naming, AttribID first, AttribID last)
{
    TD_ASSERT(s_commonAttribNames.size() > 0);
    AttribMap& dict = s_commonAttribMaps[naming];
    if (first >= last || dict.count() > 0)
        return;
    unsigned from = idx(first);
    addInBulk(dict, idx(last) - from, [from](unsigned i) {
        const _AttNameDesc& d = s_commonAttribNames[from + i];
        return std::pair{d.name, _AttDesc{d.id, d.kind}};
    });
}

void setCommonReservedNames(unsigned short naming, ReservedID first, ReservedID last)
{
    TD_ASSERT(s_commonReservedNames.size() > 0);
    ReservedMap& dict = s_commonReservedMaps[naming];
    if (first >= last || dict.count() > 0)
        return;
    unsigned from = idx(first);
    addInBulk(dict, idx(last) - from, [from](unsigned i) {
        const _RNDS& d = s_commonReservedNames[from + i];
        return std::pair{d.name, _RDS{d.id, d.opensBlock, d.isEnd}};
    });
}

void setComplexDomainAttribEnumPos(unsigned short, int pos)
{
    s_tagPosition[0] = static_cast<char>(pos);
    for (td::UINT4 i = 0; i < s_commonAttribEnumValueMap.count(); ++i)
        if (s_commonAttribEnumValueMap[i].value == pos)
            s_strComplexAttribValue = textOf(s_commonAttribEnumValueMap[i].key);
}

void setLogicalLabels(std::initializer_list<_tokLab> labels)
{
    setFromList(s_logicalTokenMap, labels, [](const _tokLab& l) { return l.token; });
}

void setNumericTypeLabels(std::initializer_list<_ntLab> labels)
{
    setFromList(s_numericTypeMap, labels, [](const _ntLab& l) { return l.type; });
}

void setSpecialConstants(std::initializer_list<_SpecConstInf> constants)
{
    setFromList(s_specialConstantMap, constants, [](const _SpecConstInf& c) { return c.value; });
}

void setSolutionOKReportStringType(SolutionOKReportStringType type)
{
    if (type == s_solutionOKType)
        return;
    s_solutionOKType = type;
    switch (type)
    {
    case SolutionOKReportStringType::ThumbsUp: s_solutionOKText = td::String("\xF0\x9F\x91\x8D"); break;
    case SolutionOKReportStringType::OKHand: s_solutionOKText = td::String("\xF0\x9F\x91\x8C"); break;
    case SolutionOKReportStringType::OKButton: s_solutionOKText = td::String("\xF0\x9F\x86\x97"); break;
    default: s_solutionOKText = td::String("OK"); break;
    }
}

td::String getAttribEnumValue(unsigned pos)
{
    return firstNameWithValue(s_commonAttribEnumValueMap, static_cast<int>(pos));
}

const IndexMap& getCommonAttribEnumValueMap() { return s_commonAttribEnumValueMap; }

const NumericTypeMap& getNumericTypeMap() { return s_numericTypeMap; }

td::String getFunctionName(FunctionSet labelID, unsigned code, unsigned short naming)
{
    TD_ASSERT(labelID <= sc::FunctionSet::Complex);
    return firstNameWithValue(s_commonFunctions[naming][idx(labelID)], static_cast<int>(code));
}

const char* getHeaderParamName(HeaderParam param)
{
    TD_ASSERT(param < HeaderParam::NA);
    return cHeaderParams[idx(param)].name;
}

AttribKind getHeaderParamKind(HeaderParam param)
{
    TD_ASSERT(param < HeaderParam::NA);
    return cHeaderParams[idx(param)].kind;
}

const td::String& getSolutionOKReportString() { return s_solutionOKText; }

SolutionOKReportStringType getSolutionOKReportStringType(SolutionOKReportStringType) { return s_solutionOKType; }

namespace priv
{
bool isReservedWord(const char* name)
{
    if (!name)
        return false;
    // The reserved words of the default vocabulary end with end; the plot words follow.
    for (unsigned i = 0; i <= idx(ReservedID::End); ++i)
    {
        if (std::strcmp(cReserved[i].name, name) == 0)
            return true;
    }
    return false;
}

bool isLanguageWord(const char* name, bool complexFunctions)
{
    auto in = [name](const auto& table, auto textOf) {
        for (const auto& row : table)
        {
            if (std::strcmp(textOf(row), name) == 0)
                return true;
        }
        return false;
    };
    auto plain = [](const char* text) { return text; };
    if (!name)
        return false;
    const std::span<const char* const> functions(cFunctionWords, complexFunctions ? priv::cFunctionCount : cNReal);
    return isReservedWord(name) || in(functions, plain) ||
           in(cSpecialConstants, [](const _SpecConstInf& c) { return c.label; }) ||
           in(cLogicalWords, [](const _tokLab& l) { return l.label; }) || in(cTruthWords, plain) ||
           in(cEmbeddedParams, plain);
}
} // namespace priv
} // namespace sc
