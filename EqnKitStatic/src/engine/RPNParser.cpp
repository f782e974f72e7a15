#include "RPNParser.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <td/Assert.h>

#include "ETNodeKinds.h"
#include "FrontEndTokenMap.h"
#include "RndGenManager.h"
#include "StatisticsStore.h"

namespace sl
{
namespace
{
using C = TokenCodes;
using KeywordMap = cnt::Dictionary<td::StrKey, td::BYTE>;

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

// The function keywords of a build run from `abs` up to its push codes.
Keywords makeKeywords(td::BYTE firstPushCode)
{
    Keywords k;
    k.functions.reserve(firstPushCode - C::cFirstFunction + 1u);
    k.functions.setBatchMode(true);
    for (td::BYTE id = C::cFirstFunction; id < firstPushCode; ++id)
        k.functions.insert(td::StrKey(C::functionKeyword(id)), id);
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
    static const Keywords s_keywords = makeKeywords(ValueTraits<T>::cPushInt);
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

// Types after which a `-` directly before a digit belongs to the number, as in model texts:
// where an operand starts, after any operator, and after `:` and `.`.
template <typename T> bool startsSignedNumber(td::BYTE prevType)
{
    return opensOperand<T>(prevType) || nodes::isOperatorType(prevType) || prevType == C::COLON || prevType == C::DOT;
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
std::complex<double> smithQuotient(const std::complex<double>& a, const std::complex<double>& b)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double c = b.real(), d = b.imag();
    if (std::isnan(c) || std::isnan(d))
        return {nan, nan};
    if (std::fabs(c) >= std::fabs(d))
    {
        const double r = d / c, den = c + d * r;
        if (std::isnan(den) || den == 0.0)
            return {nan, nan};
        return {(a.real() + a.imag() * r) / den, (a.imag() - a.real() * r) / den};
    }
    const double r = c / d, den = c * r + d;
    if (std::isnan(den) || den == 0.0)
        return {nan, nan};
    return {(a.real() * r + a.imag()) / den, (a.imag() * r - a.real()) / den};
}

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

template <typename T> RPNParser<T>::RPNParser(SymbolMap& symbols, ValueArray& values)
    : _tokens(_pools.tokenNodes), _symbols(symbols), _values(values), _lexer(Traits::isComplex), _cmplx(_tokens)
{
    keywords<T>();
}

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

template <typename T> const td::String& RPNParser<T>::getVariableName(td::INT4 pos) const
{
    const td::LINT8 index = pos;
    TD_ASSERT(index >= 0);
    TD_ASSERT(index < _nVars);
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

template <typename T> void RPNParser<T>::bindSolverData(CompileContext<T>& data)
{
    data.pParserPools = &_pools;
    data.pMemMgrETN = &_pools.nodeLinks;
    _pContext = &data;
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
    if (!_pContext)
        return;
    if (sc::ILog* pLog = _pContext->getLog())
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
        if (_cmplx.stack.push(token.type, twoOperators, token.column))
            return AppendResult::Done;
        if (twoOperators)
            return AppendResult::TwoOperators;
    }
    _tokens.append(token);
    return AppendResult::Done;
}

// ---- text road ----

template <typename T> template <typename... Args>
bool RPNParser<T>::textError(const char* text, const Args&... args) const
{
    if (_pContext)
        _pContext->addError(text, args...);
    return false;
}

template <typename T> bool RPNParser<T>::textAppend(const Tok& token)
{
    switch (append(token))
    {
    case AppendResult::TwoOperators: return textError(sc::msg::txtTwoConsecutiveNumbers);
    case AppendResult::NestedConj: return textError(sc::msg::txtNestedConj);
    default: return true;
    }
}

template <typename T> td::BYTE RPNParser<T>::parse(const char* text)
{
    // Trees of earlier texts may still point at their tokens.
    _tokens.forget();
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
        if (std::from_chars(lexeme, lexeme + _lexer.length(), n).ec == std::errc())
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
            _pUsedVars->markVariableUsed(token.index);
        return true;
    }
    ISolverServices<T>* pSolver = _pContext ? _pContext->pSolver : nullptr;
    const RndGenManager* pGenerators = pSolver ? pSolver->getRndGenManager() : nullptr;
    if (pGenerators && (index = pGenerators->find(name, length)) >= 0)
    {
        token.type = C::RND_GEN;
        token.index = static_cast<td::UINT4>(index);
        return true;
    }
    const StatisticsStore<T>* pStatistics = pSolver ? pSolver->getStatisticsStore() : nullptr;
    if (pStatistics && (index = pStatistics->find(name, length)) >= 0)
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

template <typename T> td::UINT2 RPNParser<T>::lexemeColumn() const
{
    const td::UINT4 position = _lexer.position();
    return position < cNoColumn ? static_cast<td::UINT2>(position + 1) : 0;
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
        Tok token;
        token.type = _lexer.next(startsSignedNumber<T>(_prevType));
        if (token.type == C::UNUSABLE)
            return textError(sc::msg::txtUnexpectedToken, _lexer.lexeme());
        token.column = lexemeColumn();
        if (token.type == C::SUB && opensOperand<T>(_prevType))
        {
            Tok zero;
            zero.type = C::INT_LITERAL;
            zero.column = token.column;
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

template <typename T> typename RPNParser<T>::EquationSign RPNParser<T>::findEquationSign(const char* text)
{
    EquationSign sign;
    if (!text)
        return sign;
    TextLexer lexer(Traits::isComplex);
    lexer.start(text);
    td::BYTE previous = Tok::NO_PREVIOUS;
    for (;;)
    {
        td::BYTE type = lexer.next(startsSignedNumber<T>(previous));
        if (type == C::UNUSABLE || endsExpression(type))
            return sign;
        if (type == C::ASSIGN)
        {
            if (previous == Tok::NO_PREVIOUS)
                return sign;
            sign.found = true;
            sign.offset = lexer.position();
            sign.afterOperator = nodes::isOperatorType(previous);
            return sign;
        }
        if (type == C::IDENTIFIER && (lexer.length() == 2 || lexer.length() == 3))
        {
            if (const auto* pOp = keywords<T>().operators.find(td::StrKey(lexer.buffer(), int(lexer.length()))))
                type = pOp->value;
        }
        previous = type;
        sign.lhsEnd = lexer.cursor();
    }
}

// ---- front-end road ----

namespace
{
using F = sc::Token;

bool isLiteralCode(F k)
{
    return k == F::Integer || k == F::SpecialConst || k == F::Real || k == F::Imaginary || k == F::True ||
           k == F::False;
}

// Value of a literal or boolean token: integer as double, `true` 1, `false` 0; an
// imaginary literal is the imaginary part in the complex build.
template <typename T> T literalValue(const sc::_TokV& entry)
{
    switch (entry.kind)
    {
    case F::Integer: return T(entry.getInt());
    case F::SpecialConst:
    case F::Real: return T(entry.getReal());
    case F::Imaginary:
        if constexpr (ValueTraits<T>::isComplex)
            return T(0.0, entry.getReal());
        else
            return T(entry.getReal());
    case F::True: return T(1.0);
    default: return T(0.0);
    }
}

bool isZeroLiteral(const sc::_TokV& entry)
{
    switch (entry.kind)
    {
    case F::Integer: return entry.getInt() == 0;
    case F::SpecialConst:
    case F::Real:
    case F::Imaginary: return entry.getReal() == 0.0;
    case F::False: return true;
    default: return false;
    }
}

// The expression kind a leading reserved word gives; 0 for a word that cannot lead.
td::BYTE leadingKind(td::UINT2 reservedID)
{
    switch (static_cast<sc::ReservedID>(reservedID))
    {
    case sc::ReservedID::If: return 2;
    case sc::ReservedID::Else: return 3;
    case sc::ReservedID::Switch: return 4;
    case sc::ReservedID::End: return 6;
    default: return 0;
    }
}

bool isOperatorCode(F k) { return k >= F::Plus && k <= F::NotEqual; }

// *=, /=, +=, -= and ^=.
bool isCompoundAssignCode(F k) { return k >= F::MultAssign && k <= F::PowerAssign; }

// Folds literal, operator, literal into one complex constant; false when it does not fold.
bool foldConstant(const sc::_TokV& a, const sc::_TokV& op, const sc::_TokV& b, std::complex<double>& out)
{
    using V = std::complex<double>;
    if (!isLiteralCode(a.kind) || !isLiteralCode(b.kind))
        return false;
    const V va = literalValue<V>(a), vb = literalValue<V>(b);
    switch (op.kind)
    {
    case F::Plus: out = va + vb; return true;
    case F::Minus: out = va - vb; return true;
    case F::Mult: out = va * vb; return true;
    case F::Power: out = std::pow(va, vb); return true;
    case F::Div:
        if (vb == V(0.0, 0.0))
            return false;
        out = priv::smithQuotient(va, vb);
        return true;
    default: return false;
    }
}
} // namespace

template <typename T> struct RPNParser<T>::FrontEndState
{
    const sc::ExprTokens& tokens;
    const sc::_tl& line;
    td::UINT4 first;
    td::UINT4 end;
    F prevCode = F::EndOfLine;
    td::UINT2 fnColumn = 0;
    // Column of the last token appended: the ')' closing the right side stands there.
    td::UINT2 lastColumn = 0;
    bool expectOpen = false;
    bool equalsSeen = false;
    // The tokens are a condition (after `if`): they hold no equation sign.
    bool condition = false;
    bool closeAtEnd = false;
    bool done = false;

    const sc::_TokV& at(td::UINT4 pos) const { return tokens[line.firstExpr + pos]; }
};

template <typename T> bool RPNParser<T>::keyError(const char* key, td::UINT4 line, td::UINT4 column) const
{
    logKey(key, line, column, sc::ILog::Error);
    return false;
}

template <typename T> bool RPNParser<T>::compileTokens(const sc::TokenizedModel& model, const sc::_tl& line,
                                                       td::UINT4 firstOffset, td::BYTE& exprKind, td::UINT4 endOffset)
{
    return readFrontEnd(model.getExpressionTokens(), line, firstOffset, exprKind, endOffset);
}

template <typename T> bool RPNParser<T>::compileTokens(const sc::TokenizedModel::iterator& it, td::UINT4 firstOffset,
                                                       td::BYTE& exprKind, td::UINT4 endOffset)
{
    TD_ASSERT(it.pExprTokens && !it.atEnd());
    return readFrontEnd(*it.pExprTokens, it.line(), firstOffset, exprKind, endOffset);
}

template <typename T> bool RPNParser<T>::readFrontEnd(const sc::ExprTokens& tokens, const sc::_tl& line,
                                                      td::UINT4 firstOffset, td::BYTE& exprKind, td::UINT4 endOffset)
{
    exprKind = 0;
    FrontEndState st{tokens, line, firstOffset, endOffset < line.nExpr ? endOffset : line.nExpr};
    if (st.end <= firstOffset)
    {
        // The missing expression belongs behind the last token before it.
        const td::UINT4 before = (firstOffset < line.nExpr ? firstOffset : line.nExpr);
        return keyError(sc::msg::scBadExpression, line.line, before > 0 ? st.at(before - 1).column : 1);
    }
    beginExpression();
    for (td::UINT4 pos = firstOffset; pos < st.end && !st.done; ++pos)
    {
        const sc::_TokV& entry = st.at(pos);
        if (pos == firstOffset)
        {
            // A leading statement word sets the kind; the Laplace operator s is an operand.
            if (entry.kind == F::Reserved && static_cast<sc::ReservedID>(entry.code) != sc::ReservedID::S)
            {
                exprKind = leadingKind(entry.code);
                if (exprKind == 0)
                    return keyError(sc::msg::scWrongExprType, line.line, entry.column);
                st.condition = exprKind == 2;
                continue;
            }
            exprKind = 1;
        }
        if (!frontEndToken(st, entry, pos))
            return false;
    }
    return st.done || frontEndEnd(st);
}

template <typename T> bool RPNParser<T>::frontEndEnd(FrontEndState& st)
{
    if (st.expectOpen)
        return keyError(sc::msg::scMissingParenAfterFnName, st.line.line, st.fnColumn);
    if (st.closeAtEnd)
    {
        Tok close;
        close.type = C::CLOSE_PARENTHESIS;
        st.closeAtEnd = false;
        if (!frontEndAppend(st, close, st.lastColumn))
            return false;
    }
    finishExpression();
    st.done = true;
    return true;
}

template <typename T> bool RPNParser<T>::frontEndAppend(FrontEndState& st, const Tok& token, td::UINT2 column)
{
    // Every token keeps the column of the text token it comes from, for the tree's messages.
    Tok placed = token;
    placed.column = column;
    st.lastColumn = column;
    switch (append(placed))
    {
    case AppendResult::TwoOperators: return keyError(sc::msg::scTwoConsOperands, st.line.line, column);
    case AppendResult::NestedConj: return keyError(sc::msg::scNestedConjNotAllowed, st.line.line, column);
    default: return true;
    }
}

template <typename T> bool RPNParser<T>::frontEndSymbol(Tok& tokenEntry, const sc::_TokV& entry)
{
    tokenEntry.type = C::SYMBOL;
    tokenEntry.index = entry.code;
    if (entry.extra == 1)
    {
        // A value of the parent (main) model, indexed in its value array.
        tokenEntry.symbolOrigin = sc::SymbolOrigin::ParentModel;
        if (entry.kind == F::Param)
            tokenEntry.index += _nParentVars;
        return true;
    }
    if (entry.kind == F::EmbeddedParam)
        tokenEntry.index += _nVars + _nParams;
    else if (entry.kind == F::Param)
        tokenEntry.index += _nVars;
    if (entry.kind != F::Var)
        return true;
    if constexpr (Traits::isComplex)
    {
        if (_cmplx.conjugatePartners)
        {
            // Variables and their `#` partners alternate in the symbol list.
            TD_ASSERT(tokenEntry.index < _nVars);
            tokenEntry.index *= 2;
        }
    }
    return !collectsUsedVars() || _pUsedVars->markVariableUsed(tokenEntry.index);
}

template <typename T> bool RPNParser<T>::frontEndEquals(FrontEndState& st, td::UINT4 pos)
{
    const td::UINT4 lineNo = st.line.line;
    const td::UINT2 column = st.at(pos).column;
    if (_noAssignment || st.condition)
        return keyError(sc::msg::scDoubleEq, lineNo, column);
    if (isOperatorCode(st.prevCode))
        return keyError(sc::msg::scOperatorAfterEq, lineNo, column);
    if (st.equalsSeen)
        return keyError(sc::msg::scDoubleEq, lineNo, column);
    const td::UINT4 following = st.end - pos - 1;
    if (following == 0)
        return keyError(sc::msg::scEqEndsWithEq, lineNo, column);
    st.equalsSeen = true;
    // `x = 0` is just `x`.
    if (following == 1 && isZeroLiteral(st.at(pos + 1)))
        return frontEndEnd(st);
    Tok minus;
    minus.type = C::SUB;
    minus.index = Tok::cEquationSign;
    if constexpr (Traits::isComplex)
    {
        Tok folded;
        if (following == 3 && foldConstant(st.at(pos + 1), st.at(pos + 2), st.at(pos + 3), folded.value))
        {
            folded.type = C::CMPLX_LITERAL;
            if (!frontEndAppend(st, minus, column) || !frontEndAppend(st, folded, column))
                return false;
            return frontEndEnd(st);
        }
    }
    if (!frontEndAppend(st, minus, column))
        return false;
    _prevType = C::SUB;
    st.prevCode = F::Minus;
    if (following == 1)
        return true;
    Tok open;
    open.type = C::OPEN_PARENTHESIS;
    if (!frontEndAppend(st, open, column))
        return false;
    _prevType = C::OPEN_PARENTHESIS;
    st.prevCode = F::LParen;
    st.closeAtEnd = true;
    return true;
}

template <typename T> bool RPNParser<T>::frontEndToken(FrontEndState& st, const sc::_TokV& entry, td::UINT4 pos)
{
    const td::UINT4 lineNo = st.line.line;
    const F k = entry.kind;
    Tok tokenEntry;
    if (k == F::Colon && pos > st.first)
    {
        if (pos + 1 == st.end)
            return frontEndEnd(st);
        return keyError(sc::msg::scMissingColor, lineNo, entry.column);
    }
    if (k == F::Reserved && static_cast<sc::ReservedID>(entry.code) == sc::ReservedID::S)
        tokenEntry.type = C::LAPLACE;
    else
    {
        tokenEntry.type = expressionTypeOf(k);
        // Imaginary literals exist only in the complex build.
        if (tokenEntry.type == C::IMAG_LITERAL && !Traits::isComplex)
            tokenEntry.type = C::UNUSABLE;
    }
    if (tokenEntry.type == C::UNUSABLE)
        return keyError(sc::msg::scUnexpectedToken, lineNo, entry.column);
    if (st.expectOpen)
    {
        if (tokenEntry.type != C::OPEN_PARENTHESIS)
            return keyError(sc::msg::scMissingParenAfterFnName, lineNo, entry.column);
        st.expectOpen = false;
    }
    if (tokenEntry.type == C::SUB && opensOperand<T>(_prevType))
    {
        Tok zero;
        zero.type = C::INT_LITERAL;
        st.prevCode = k;
        return frontEndAppend(st, zero, entry.column) && frontEndAppend(st, tokenEntry, entry.column);
    }
    if (endsExpression(tokenEntry.type))
        return frontEndEnd(st);
    // An assignment operator after the one that began the statement or the equation.
    if (isCompoundAssignCode(k) && (_noAssignment || st.equalsSeen || st.condition))
        return keyError(sc::msg::scDoubleEq, lineNo, entry.column);
    if (k == F::Assign)
        return frontEndEquals(st, pos);

    switch (tokenEntry.type)
    {
    case C::SYMBOL:
    case C::PARAM_OR_PARENT:
        if (!frontEndSymbol(tokenEntry, entry))
            return keyError(sc::msg::scVarOutOfIndex, lineNo, entry.column);
        break;
    case C::FUNCTION:
        tokenEntry.index = entry.code + static_cast<td::UINT4>(C::cFirstFunction);
        if (tokenEntry.index >= Tok::PSHI)
            return keyError(sc::msg::scUnexpectedToken, lineNo, entry.column);
        st.expectOpen = true;
        st.fnColumn = entry.column;
        break;
    case C::IDENTIFIER: return keyError(sc::msg::scUnkownSymbol, lineNo, entry.column);
    case C::RND_GEN:
    case C::STATISTIC: tokenEntry.index = entry.code; break;
    default:
        if (isLiteralCode(k))
            tokenEntry.value = literalValue<T>(entry);
        break;
    }
    if (!frontEndAppend(st, tokenEntry, entry.column))
        return false;
    _prevType = tokenEntry.type;
    st.prevCode = k;
    return true;
}

template class RPNParser<double>;
template class RPNParser<std::complex<double>>;
} // namespace sl
