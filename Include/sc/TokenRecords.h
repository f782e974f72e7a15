// Records of the tokenized model: tokens, line records, group and model information, and
// the line locations that the loader's structure pass fills.
#pragma once

#include <cstring>

#include <cnt/Array.h>
#include <cnt/BlockVector.h>
#include <cnt/PushBackVector.h>
#include <sc/ModelEnums.h>
#include <sc/Token.h>
#include <td/String.h>
#include <td/Variant.h>

namespace sc
{
// One token: an 8-byte value, a code (index, keyword id or 0xFFFF), its column, its kind
// and an extra byte (attribute id on attribute tokens, 1 on a name of the main model).
struct _TokV
{
    alignas(8) td::BYTE value[8] = {};
    td::UINT2 code = 0xFFFF;
    td::UINT2 column = 0;
    Token kind = Token::Error;
    td::BYTE extra = 0;

    double getReal() const { return get<double>(); }
    td::INT4 getInt() const { return get<td::INT4>(); }
    const td::PoolString* getString() const { return get<const td::PoolString*>(); }
    template <typename V> void set(V v)
    {
        std::memset(value, 0, sizeof(value));
        std::memcpy(value, &v, sizeof(V));
    }

private:
    template <typename V> V get() const
    {
        V v;
        std::memcpy(&v, value, sizeof(V));
        return v;
    }
};
static_assert(sizeof(_TokV) == 16);

// One stored statement (or group line).
struct _tl
{
    td::UINT4 line = 0;
    td::UINT4 position = 0;
    td::UINT4 firstExpr = 0;
    td::UINT4 nExpr = 0;
    td::UINT4 firstAttrib = 0;
    td::UINT4 nAttrib = 0;
};

// One group of one level.
struct _CP
{
    td::UINT4 nLines = 0;
    td::UINT4 firstLine = 0; // the group's own line in the level's lines
    td::UINT4 nExpressions = 0;
};

// Model information of one level, from its Model or SubModel line.
struct _MI
{
    double eps = 0.0;
    const td::PoolString* name = nullptr;
    const td::PoolString* method = nullptr;
    td::BYTE type = 4; // 0 NL, 1 WLS, 2 ODE, 3 DAE, 4 not given
    td::BYTE complex = 0;
};

// Symbol information of one symbol: variable type, numeric type, kind (2 = output).
struct _SI
{
    td::BYTE type = 0;
    td::BYTE numericType = 0;
    td::BYTE kind = 0;
};

// Where something of a model text stands: its line, counted from 1 at the text's first line,
// and the column of its token (from 1); line 0 where the text holds no such thing.
struct TextPlace
{
    td::UINT4 line = 0;
    td::UINT4 column = 0;

    bool isSet() const { return line != 0; }
};

// Line and line count of a group or model in the text; all-ones while unset or open.
struct LineLocation
{
    static constexpr td::UINT4 cUnset = 0xFFFFFFFFu;
    td::UINT4 location = cUnset;
    td::UINT4 count = cUnset;
};

using ExprTokens = cnt::BlockVector<_TokV, 4096>;
using AttribTokens = cnt::BlockVector<_TokV, 1024>;
using TokenLines = cnt::BlockVector<_tl, 1024>;
using GroupTable = cnt::Array<_CP, 20>;
using LocationPair = cnt::Array<LineLocation, 2>;
// Where the header wrote each of its values, one place a setting.
using HeaderPlaces = cnt::Array<TextPlace, static_cast<std::size_t>(HeaderParam::NA)>;

// Where the loader's structure pass writes; all owned by the tokenized model.
struct LoaderTargets
{
    cnt::Array<cnt::PushBackVector<td::Variant>, 2>* pModelAttribs = nullptr;
    LocationPair* pVars = nullptr;
    LocationPair* pParams = nullptr;
    LocationPair* pDistribs = nullptr;
    LocationPair* pStats = nullptr;
    LocationPair* pModels = nullptr;
    cnt::Array<td::INT4, 2>* pDTParamIndex = nullptr;
    cnt::Array<td::INT4, 2>* pTimeParamIndex = nullptr;
    cnt::Array<td::UINT4, 2>* pNLimits = nullptr;
};
} // namespace sc
