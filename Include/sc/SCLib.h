// Vocabulary of the model language: process-wide description tables, keyword maps per
// naming (numbered vocabulary), header parameters and their defaults, and their set-up.
#pragma once

#include <initializer_list>

#include <cnt/Array.h>
#include <cnt/Dictionary.h>
#include <cnt/SafeFullVector.h>
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
extern cnt::SafeFullVector<_AttNameDesc> s_commonAttribNames;
extern cnt::SafeFullVector<_RNDS> s_commonReservedNames;
extern cnt::SafeFullVector<_GNDS> s_commonGroupNames;
extern LogicalTokenMap s_logicalTokenMap;
extern SpecialConstantMap s_specialConstantMap;
extern IndexMap s_embeddedParamMap;
extern td::String s_strComplexAttribValue;
extern cnt::Array<char, 1> s_tagPosition;
extern cnt::SafeFullVector<cnt::SafeFullVector<cnt::Dictionary<td::StrKey, int>>> s_commonLabels;
extern const td::Variant HeaderDefaultValues[10];
extern const Token s_commonIndentStart;
extern const Token s_attribStart;
extern const Token s_attribEnd;

// Per-naming keyword maps, indexed by the naming number.
extern cnt::SafeFullVector<cnt::Array<FunctionMap, 2>> s_commonFunctions;
extern cnt::SafeFullVector<AttribMap> s_commonAttribMaps;
extern cnt::SafeFullVector<ReservedMap> s_commonReservedMaps;
extern cnt::SafeFullVector<GroupMap> s_commonGroupMaps;
extern cnt::SafeFullVector<cnt::Array<int, 2>> s_cmplxPartIndex;

// Set-up, in this order for a host: reserveNamings(n), setDefaultDataForAllNamings(),
// then setDefaultDataForNaming(i) for each naming.
void reserveNamings(unsigned short n);
void setDefaultDataForAllNamings();
void setDefaultDataForNaming(unsigned short naming);

void setCommonFunctions(FunctionSet labelID, unsigned short naming, const char* const* names, unsigned count);
void setCommonFunctions(FunctionSet labelID, unsigned short naming, std::initializer_list<const char*> names);
void setCommonComplexFunctions(unsigned short naming, const char* const* realNames, unsigned nReal,
                               const char* const* complexNames, unsigned nComplex);
void setCommonRealFunctions(unsigned short naming, const char* const* names, unsigned count,
                            std::initializer_list<_ARFn> extra);
// Ranges are half-open: [first, last).
void setCommonGroupNames(unsigned short naming, Group first, Group last);
void setCommonGroupNames(unsigned short naming, std::initializer_list<Group> groups);
void setCommonAttribNames(unsigned short naming, AttribID first, AttribID last);
void setCommonReservedNames(unsigned short naming, ReservedID first, ReservedID last);
void setComplexDomainAttribEnumPos(unsigned short naming, int pos);
void setLogicalLabels(std::initializer_list<_tokLab> labels);
void setNumericTypeLabels(std::initializer_list<_ntLab> labels);
void setSpecialConstants(std::initializer_list<_SpecConstInf> constants);
void setSolutionOKReportStringType(SolutionOKReportStringType type);

td::String getAttribEnumValue(unsigned pos);
const IndexMap& getCommonAttribEnumValueMap();
const NumericTypeMap& getNumericTypeMap();
td::String getFunctionName(FunctionSet labelID, unsigned code, unsigned short naming);
const char* getHeaderParamName(HeaderParam param);
AttribKind getHeaderParamKind(HeaderParam param);
const td::String& getSolutionOKReportString();
SolutionOKReportStringType getSolutionOKReportStringType(SolutionOKReportStringType unused);
} // namespace sc
