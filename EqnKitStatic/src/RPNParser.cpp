#include "RPNParser.h"

#include <charconv>
#include <cstring>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <td/Assert.h>

#include "RndGenManager.h"
#include "StatisticsStore.h"

namespace sl
{
namespace
{
using C = TokenCodes;
using KeywordMap = cnt::Dictionary<td::StrKey, td::BYTE>;

// Function keywords in functionID order from 57; the last six only in the complex build.
const char* const s_functionKeywords[] = {
    "abs",  "acos", "asin", "atg",  "cos",  "exp",  "sqrt", "ln",   "log",  "sin",  "tg",   "sqr",
    "atg2", "min",  "max",  "smin", "smax", "avg",  "var",  "dev",  "diff", "sign", "sinh", "cosh",
    "tgh",  "asnh", "acsh", "atgh", "int",  "lim",  "rnd",  "disn", "disc", "round", "conj", "cabs",
    "rtop", "ptor", "real", "imag"};
constexpr td::UINT4 cRealKeywords = C::ROUND - C::ABS + 1;
constexpr td::UINT4 cCmplxKeywords = C::IMAG - C::ABS + 1;
static_assert(sizeof(s_functionKeywords) / sizeof(s_functionKeywords[0]) == cCmplxKeywords);
// The integral sign, a second keyword of `int`.
constexpr const char* cIntegralSign = "\xE2\x88\xAB";

struct OperatorWord
{
    const char* word;
    td::BYTE type;
};
constexpr OperatorWord s_operatorWords[] = {
    {"and", C::LOGIC_AND}, {"or", C::LOGIC_OR}, {"xor", C::LOGIC_XOR}, {"not", C::LOGIC_NEGATION}};

struct Keywords
{
    KeywordMap functions;
    KeywordMap operators;
};

Keywords makeKeywords(td::UINT4 nFunctions)
{
    Keywords k;
    k.functions.reserve(nFunctions + 1);
    k.functions.setBatchMode(true);
    for (td::UINT4 i = 0; i < nFunctions; ++i)
        k.functions.insert(td::StrKey(s_functionKeywords[i]), static_cast<td::BYTE>(C::ABS + i));
    k.functions.insert(td::StrKey(cIntegralSign), C::INTEGRAL);
    k.functions.finalize();
    k.operators.reserve(4);
    k.operators.setBatchMode(true);
    for (const OperatorWord& w : s_operatorWords)
        k.operators.insert(td::StrKey(w.word), w.type);
    k.operators.finalize();
    return k;
}

// Filled by the first parser of each build.
template <typename T> const Keywords& keywords()
{
    static const Keywords s_keywords = makeKeywords(ValueTraits<T>::isComplex ? cCmplxKeywords : cRealKeywords);
    return s_keywords;
}

// Text of a keyword key; keywords are shorter than 9 bytes, so their keys hold the bytes.
td::String keyText(td::StrKey key)
{
    char text[9] = {};
    td::LUINT8 v = key.value();
    td::UINT4 n = 0;
    for (; n < 8 && (v >> (8 * n)) & 0xFF; ++n)
        text[n] = static_cast<char>((v >> (8 * n)) & 0xFF);
    return td::String(text, n);
}

cnt::SafeFullVector<td::String> keysOf(const KeywordMap& map)
{
    cnt::SafeFullVector<td::String> names(map.count());
    for (td::UINT4 i = 0; i < map.count(); ++i)
        names[i] = keyText(map[i].key);
    return names;
}

// Types before which a `-` is a unary minus, written as 0 - operand.
template <typename T> bool opensOperand(td::BYTE prevType)
{
    return prevType == Token<T>::NO_PREVIOUS || prevType == C::COMMA || prevType == C::OPEN_PARENTHESIS;
}

bool endsExpression(td::BYTE type)
{
    return type == C::END_OF_STATEMENT || type == C::END_OF_TEXT || type == C::END_OF_EXPRESSION;
}

// Brackets balance over the text, comments left out.
bool bracketsBalance(const char* text)
{
    int depth = 0;
    for (const char* p = text; *p; ++p)
    {
        if (p[0] == '/' && p[1] == '/')
        {
            while (p[1] && p[1] != '\n' && p[1] != '\r')
                ++p;
            continue;
        }
        if (*p == '(')
            ++depth;
        else if (*p == ')' && --depth < 0)
            return false;
    }
    return depth == 0;
}
} // namespace

namespace priv
{
bool CmplxRules::trackConj(const Token<std::complex<double>>& token)
{
    if (token.type == C::FUNCTION && token.functionID() == C::CONJ)
    {
        if (conjOpen)
            return false;
        conjOpen = 1;
        conjDepth = 0;
        return true;
    }
    if (!conjOpen)
        return true;
    if (token.type == C::OPEN_PARENTHESIS)
        ++conjDepth;
    else if (token.type == C::CLOSE_PARENTHESIS && (conjDepth == 0 || --conjDepth == 0))
        conjOpen = 0;
    return true;
}

void CmplxRules::reset()
{
    stack.reset();
    conjOpen = 0;
    conjDepth = 0;
}
} // namespace priv

template <typename T>
RPNParser<T>::RPNParser(SymbolMap& symbols, ValueArray& values)
    : _tokens(_pools.tokenNodes), _symbols(symbols), _values(values), _lexer(Traits::isComplex), _cmplx(_tokens)
{
    keywords<T>();
}

template <typename T> bool RPNParser<T>::collectsUsedVars() { return false; }

template <typename T> bool RPNParser<T>::markVariableUsed(td::UINT4) { return true; }

// ---- symbols ----

template <typename T> td::UINT4 RPNParser<T>::registerName(const td::String& name)
{
    td::UINT4 index;
    if (_nextFreePosition)
        index = _symbols.getNumberOfNames();
    else
    {
        // The name list holds exactly the variables, so the new name lands at its index.
        TD_ASSERT(_symbols.getNumberOfNames() == _nVars);
        index = _nVars++;
    }
    _symbols.addSymbolName(name, index);
    return index;
}

template <typename T> td::INT4 RPNParser<T>::addVariable(const td::String& name, bool add)
{
    if (name.isEmpty())
        return -1;
    td::INT4 known = _symbols.find(name);
    if (known >= 0 || !add)
        return known;
    td::UINT4 index = registerName(name);
    if constexpr (Traits::isComplex)
    {
        if (_cmplx.conjugatePartners)
        {
            td::MutableString partner("#");
            partner.append(name.c_str(), name.length());
            registerName(partner.toString());
        }
    }
    return static_cast<td::INT4>(index);
}

template <typename T> td::INT4 RPNParser<T>::addVariable(const char* name, bool add)
{
    return addVariable(td::String(name), add);
}

template <typename T> const td::String& RPNParser<T>::getVariableName(td::INT4 index) const
{
    TD_ASSERT(index >= 0);
    TD_ASSERT(index < static_cast<td::INT4>(_nVars));
    return *_symbols.nameAt(static_cast<td::LUINT8>(index));
}

template <typename T> bool RPNParser<T>::addShortName(const char* name, td::BYTE type)
{
    std::size_t n = name ? std::strlen(name) : 0;
    if (n == 0 || n > 4)
        return false;
    if (const auto* pEntry = _shortNames.find(td::StrKey(name)))
        return pEntry->value == type;
    _shortNames.insert(td::StrKey(name), type);
    return true;
}

template <typename T> void RPNParser<T>::bindSolverData(SolverData<T>& data)
{
    data.pParserPools = &_pools;
    data.pMemMgrETN = &_pools.nodeLinks;
    data.pSymbolMap = &_symbols;
    data.pSymbolValues = &_values;
    _pSolverData = &data;
}

template <typename T> cnt::SafeFullVector<td::String> RPNParser<T>::getFunctionNames()
{
    return keysOf(keywords<T>().functions);
}

template <typename T> cnt::SafeFullVector<td::String> RPNParser<T>::getOperatorWords()
{
    return keysOf(keywords<T>().operators);
}

template <typename T>
void RPNParser<T>::logKey(const char* key, td::UINT4 line, td::UINT4 column, sc::ILog::Type type) const
{
    if (!_pSolverData)
        return;
    if (sc::ILog* pLog = _pSolverData->getLog())
        pLog->showKeyAt(key, line, column, type);
}

// ---- appending, shared by both roads ----

template <typename T> void RPNParser<T>::beginExpression()
{
    _prevType = Tok::NO_PREVIOUS;
    if constexpr (Traits::isComplex)
        _cmplx.reset();
}

template <typename T> void RPNParser<T>::finishExpression()
{
    if constexpr (Traits::isComplex)
        _cmplx.stack.flush(true);
}

template <typename T> typename RPNParser<T>::AppendResult RPNParser<T>::append(const Tok& token)
{
    if constexpr (Traits::isComplex)
    {
        if (!_cmplx.trackConj(token))
            return AppendResult::NestedConj;
        if (token.type >= C::INT_LITERAL && token.type <= C::IMAG_LITERAL)
        {
            if (!_cmplx.stack.collect(token))
                _tokens.append(token);
            return AppendResult::Done;
        }
        bool twoOperators = false;
        if (_cmplx.stack.push(token.type, twoOperators))
            return AppendResult::Done;
        if (twoOperators)
            return AppendResult::TwoOperators;
    }
    _tokens.append(token);
    return AppendResult::Done;
}

// ---- text road ----

template <typename T>
template <typename... Args>
bool RPNParser<T>::textError(const char* text, const Args&... args) const
{
    if (_pSolverData)
        _pSolverData->addError(text, args...);
    return false;
}

template <typename T> bool RPNParser<T>::textAppend(const Tok& token)
{
    switch (append(token))
    {
    case AppendResult::TwoOperators:
        return textError(sc::msg::txtTwoConsecutiveNumbers);
    case AppendResult::NestedConj:
        return textError(sc::msg::txtNestedConj);
    default:
        return true;
    }
}

template <typename T> td::BYTE RPNParser<T>::parse(const char* text)
{
    _tokens.clear();
    if (!text)
        return 0;
    if (!bracketsBalance(text))
    {
        textError(sc::msg::txtBracketsMismatch);
        return 0;
    }
    td::BYTE lastType = 0;
    return tokenize(text, lastType) ? lastType : 0;
}

template <typename T> void RPNParser<T>::readNumber(Tok& token) const
{
    const char* lexeme = _lexer.buffer();
    if (token.type == C::INT_LITERAL)
    {
        td::INT4 n = 0;
        auto [pEnd, ec] = std::from_chars(lexeme, lexeme + _lexer.length(), n);
        (void)pEnd;
        if (ec == std::errc())
        {
            token.value = T(n);
            return;
        }
        // Outside the 32-bit range: a real number.
        token.type = C::REAL_LITERAL;
    }
    double v = mu::toDouble(lexeme);
    if constexpr (Traits::isComplex)
        token.value = token.type == C::IMAG_LITERAL ? T(0.0, v) : T(v);
    else
        token.value = v;
}

template <typename T> bool RPNParser<T>::resolveName(Tok& token, bool& expectOpen)
{
    struct Constant
    {
        const char* name;
        td::BYTE type;
        double value;
    };
    static constexpr Constant s_constants[] = {{"e", C::E, 2.718281828459045},
                                               {"pi", C::PI, 3.141592653589793},
                                               {"true", C::TRUE_LITERAL, 1.0},
                                               {"false", C::FALSE_LITERAL, 0.0}};
    for (const Constant& c : s_constants)
    {
        if (_lexer.equals(c.name))
        {
            token.type = c.type;
            token.value = T(c.value);
            return true;
        }
    }

    const char* name = _lexer.buffer();
    const td::UINT4 length = _lexer.length();
    const bool keyed = length <= static_cast<td::UINT4>(td::StrKey::Length);
    const td::StrKey key = keyed ? td::StrKey(name, static_cast<int>(length)) : td::StrKey();
    if (keyed)
    {
        if (const auto* pFn = keywords<T>().functions.find(key))
        {
            token.type = C::FUNCTION;
            token.index = pFn->value;
            expectOpen = true;
            return true;
        }
        if (length == 2 || length == 3)
        {
            if (const auto* pOp = keywords<T>().operators.find(key))
            {
                token.type = pOp->value;
                return true;
            }
        }
    }

    td::INT4 index = _symbols.find(name, length);
    if (index >= 0)
    {
        token.type = C::SYMBOL;
        token.index = static_cast<td::UINT4>(index);
        if (token.index < _nVars && collectsUsedVars())
            markVariableUsed(token.index);
        return true;
    }
    if (_pSolverData && _pSolverData->pRndGenManager && (index = _pSolverData->pRndGenManager->find(name, length)) >= 0)
    {
        token.type = C::RND_GEN;
        token.index = static_cast<td::UINT4>(index);
        return true;
    }
    if (_pSolverData && _pSolverData->pStatistics && (index = _pSolverData->pStatistics->find(name, length)) >= 0)
    {
        token.type = C::STATISTIC;
        token.index = static_cast<td::UINT4>(index);
        return true;
    }
    if (length <= 4)
    {
        if (const auto* pShort = _shortNames.find(key))
        {
            token.type = pShort->value;
            token.index = static_cast<td::UINT4>(-1);
            return true;
        }
    }
    if (_acceptUnknownNames)
    {
        token.type = C::SYMBOL;
        token.index = static_cast<td::UINT4>(-1);
        return true;
    }
    return textError(sc::msg::txtUnknownSymbol, _lexer.lexeme());
}

template <typename T> bool RPNParser<T>::tokenize(const char* text, td::BYTE& lastType)
{
    lastType = 0;
    if (!text)
        return false;
    _lexer.start(text);
    beginExpression();
    bool expectOpen = false;
    for (;;)
    {
        const bool signedNumber = opensOperand<T>(_prevType) || _prevType == C::MUL || _prevType == C::DIV ||
                                  _prevType == C::POW;
        Tok token;
        token.type = _lexer.next(signedNumber);
        if (token.type == C::UNUSABLE)
            return textError(sc::msg::txtUnexpectedToken, _lexer.lexeme());
        if (token.type == C::SUB && opensOperand<T>(_prevType))
        {
            Tok zero;
            zero.type = C::INT_LITERAL;
            if (!textAppend(zero) || !textAppend(token))
                return false;
            continue;
        }
        if (expectOpen)
        {
            if (token.type != C::OPEN_PARENTHESIS)
                return textError(sc::msg::txtMissingOpenBracket);
            expectOpen = false;
        }
        if (endsExpression(token.type))
        {
            finishExpression();
            _lexer.rewind();
            lastType = token.type;
            return true;
        }
        if (token.isNumber())
            readNumber(token);
        if (token.type == C::IDENTIFIER && !resolveName(token, expectOpen))
            return false;
        if (!textAppend(token))
            return false;
        _prevType = token.type;
    }
}

template class RPNParser<double>;
template class RPNParser<std::complex<double>>;
} // namespace sl
