// Vocabulary of the model language: process-wide description tables, keyword maps per
// naming (numbered vocabulary), header parameters and their defaults, and their set-up.
#pragma once

#include <initializer_list>

#include <cnt/Array.h>
#include <cnt/Dictionary.h>
#include <cnt/SafeFullVector.h>
#include <sc/EqnKitAPI.h>
#include <sc/ModelEnums.h>
#include <sc/Token.h>
#include <td/StrKey.h>
#include <td/String.h>
#include <td/Variant.h>

namespace sc
{
// Description records (one per attribute, reserved word and group).
struct _AttNameDesc
{
    td::StrKey name;
    AttribID id = AttribID::NA;
    AttribKind kind = AttribKind::Error;
};

struct _RNDS
{
    td::StrKey name;
    ReservedID id = ReservedID::NA;
    td::BYTE opensBlock = 0;
    td::BYTE isEnd = 0;
};

struct _GNDS
{
    td::StrKey name;
    Group group = Group::NA;
};

// Values of the per-naming keyword maps.
struct _AttDesc
{
    AttribID id = AttribID::NA;
    AttribKind kind = AttribKind::Error;
};

struct _RDS
{
    ReservedID id = ReservedID::NA;
    td::BYTE opensBlock = 0;
    td::BYTE isEnd = 0;
};

struct _GDS
{
    Group group = Group::NA;
};

// Items of the list setters.
struct _ARFn
{
    const char* name;
    int code;
};

struct _tokLab
{
    const char* label;
    Token token;
};

struct _ntLab
{
    const char* label;
    td::BYTE type;
};

struct _SpecConstInf
{
    const char* label;
    SpecialConstant value;
};

using FunctionMap = cnt::Dictionary<td::StrKey, int>;
using AttribMap = cnt::Dictionary<td::StrKey, _AttDesc>;
using ReservedMap = cnt::Dictionary<td::StrKey, _RDS>;
using GroupMap = cnt::Dictionary<td::StrKey, _GDS>;
using SpecialConstantMap = cnt::Dictionary<td::StrKey, SpecialConstant>;
using LogicalTokenMap = cnt::Dictionary<td::StrKey, Token>;
using NumericTypeMap = cnt::Dictionary<td::StrKey, td::BYTE>;
using IndexMap = cnt::Dictionary<td::StrKey, int>;

// Process-wide description tables (filled once by setDefaultDataForAllNamings).
extern EQNKIT_API cnt::SafeFullVector<_AttNameDesc> s_commonAttribNames;
extern EQNKIT_API cnt::SafeFullVector<_RNDS> s_commonReservedNames;
extern EQNKIT_API cnt::SafeFullVector<_GNDS> s_commonGroupNames;
extern EQNKIT_API LogicalTokenMap s_logicalTokenMap;
extern EQNKIT_API SpecialConstantMap s_specialConstantMap;
extern EQNKIT_API IndexMap s_embeddedParamMap;
extern EQNKIT_API td::String s_strComplexAttribValue;
extern EQNKIT_API cnt::Array<char, 1> s_tagPosition;
extern EQNKIT_API cnt::SafeFullVector<cnt::SafeFullVector<cnt::Dictionary<td::StrKey, int>>> s_commonLabels;
extern EQNKIT_API const td::Variant HeaderDefaultValues[idx(HeaderParam::NA)];
extern EQNKIT_API const Token s_commonIndentStart;
extern EQNKIT_API const Token s_attribStart;
extern EQNKIT_API const Token s_attribEnd;

// Per-naming keyword maps, indexed by the naming number.
extern EQNKIT_API cnt::SafeFullVector<cnt::Array<FunctionMap, 2>> s_commonFunctions;
extern EQNKIT_API cnt::SafeFullVector<AttribMap> s_commonAttribMaps;
extern EQNKIT_API cnt::SafeFullVector<ReservedMap> s_commonReservedMaps;
extern EQNKIT_API cnt::SafeFullVector<GroupMap> s_commonGroupMaps;
extern EQNKIT_API cnt::SafeFullVector<cnt::Array<int, 2>> s_cmplxPartIndex;

// Set-up, in this order for a host: reserveNamings(n), setDefaultDataForAllNamings(),
// then setDefaultDataForNaming(i) or setPlotDataForNaming(i) for each naming.
EQNKIT_API void reserveNamings(unsigned short n);
EQNKIT_API void setDefaultDataForAllNamings();
// The model language without its plot words: no Plots group, no plot attributes
// (minX ... yLabel), no plot keywords (linePlot ... @y).
EQNKIT_API void setDefaultDataForNaming(unsigned short naming);
// The whole model language, plot words included: a host that records figures reserves a
// second naming, fills it with this call and loads its models with that naming.
EQNKIT_API void setPlotDataForNaming(unsigned short naming);

EQNKIT_API void setCommonFunctions(FunctionSet labelID, unsigned short naming, const char* const* names,
                                   unsigned count);
EQNKIT_API void setCommonFunctions(FunctionSet labelID, unsigned short naming,
                                   std::initializer_list<const char*> names);
EQNKIT_API void setCommonComplexFunctions(unsigned short naming, const char* const* realNames, unsigned nReal,
                                          const char* const* complexNames, unsigned nComplex);
EQNKIT_API void setCommonRealFunctions(unsigned short naming, const char* const* names, unsigned count,
                                       std::initializer_list<_ARFn> extra);
// Ranges are half-open: [first, last).
EQNKIT_API void setCommonGroupNames(unsigned short naming, Group first, Group last);
EQNKIT_API void setCommonGroupNames(unsigned short naming, std::initializer_list<Group> groups);
EQNKIT_API void setCommonAttribNames(unsigned short naming, AttribID first, AttribID last);
EQNKIT_API void setCommonReservedNames(unsigned short naming, ReservedID first, ReservedID last);
EQNKIT_API void setComplexDomainAttribEnumPos(unsigned short naming, int pos);
EQNKIT_API void setLogicalLabels(std::initializer_list<_tokLab> labels);
EQNKIT_API void setNumericTypeLabels(std::initializer_list<_ntLab> labels);
EQNKIT_API void setSpecialConstants(std::initializer_list<_SpecConstInf> constants);
EQNKIT_API void setSolutionOKReportStringType(SolutionOKReportStringType type);

EQNKIT_API td::String getAttribEnumValue(unsigned pos);
EQNKIT_API const IndexMap& getCommonAttribEnumValueMap();
EQNKIT_API const NumericTypeMap& getNumericTypeMap();
EQNKIT_API td::String getFunctionName(FunctionSet labelID, unsigned code, unsigned short naming);
EQNKIT_API const char* getHeaderParamName(HeaderParam param);
EQNKIT_API AttribKind getHeaderParamKind(HeaderParam param);
EQNKIT_API const td::String& getSolutionOKReportString();
EQNKIT_API SolutionOKReportStringType getSolutionOKReportStringType(SolutionOKReportStringType unused);
} // namespace sc
