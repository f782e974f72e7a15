// Expression parser: turns one expression at a time, written as text (text road) or given
// as a statement of a tokenized model (front-end road), into a list of expression tokens
// in source order, with names resolved against the solver's symbol store.
#pragma once

#include <complex>
#include <type_traits>

#include <cnt/Dictionary.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/ILog.h>
#include <sc/TokenRecords.h>
#include <sc/TokenizedModel.h>
#include <td/StrKey.h>
#include <td/String.h>
#include <td/Types.h>

#include "CmplxStack.h"
#include "CompileContext.h"
#include "IUsedVariables.h"
#include "ParserPools.h"
#include "SymbolMap.h"
#include "TextLexer.h"
#include "Token.h"
#include "TokenList.h"

namespace sl
{
namespace priv
{
// Rules of the complex build: the literal collector, the open `conj` and whether
// variables have conjugate partners.
struct CmplxRules
{
    explicit CmplxRules(TokenList<std::complex<double>>& list) : stack(list) {}

    // False for a `conj` inside an open one; tracks the brackets of the open one.
    bool trackConj(const Token<std::complex<double>>& token);
    void reset();

    CmplxStack stack;
    td::UINT4 conjDepth = 0;
    td::BYTE conjOpen = 0;
    td::BYTE conjugatePartners = 1;
};

// (a / b) by Smith's method; (NaN, NaN) when b has a NaN part or the scaled
// denominator is NaN or 0. The caller never divides by (0, 0).
std::complex<double> smithQuotient(const std::complex<double>& a, const std::complex<double>& b);

template <typename T> struct NoCmplxRules
{
    explicit NoCmplxRules(TokenList<T>&) {}
};
} // namespace priv

template <typename T> class RPNParser
{
public:
    using Tok = Token<T>;
    using Node = TokenNode<T>;
    using Traits = ValueTraits<T>;
    // Symbol values: variables first, then parameters.
    using ValueArray = cnt::PushBackVector<T>;
    using ShortNames = cnt::Dictionary<td::StrKey, td::BYTE>;

    // Binds the solver's symbol store and symbol values; both outlive the parser.
    RPNParser(SymbolMap& symbols, ValueArray& values);
    RPNParser(const RPNParser&) = delete;
    RPNParser& operator=(const RPNParser&) = delete;

    // Where the variables an expression reads are reported (not owned); none: nowhere.
    void setUsedVariables(IUsedVariables* pUsed) { _pUsedVars = pUsed; }
    IUsedVariables* getUsedVariables() const { return _pUsedVars; }

    // Text road: empties the token list, checks the brackets and reads the text. 0 on
    // failure (with an error-log entry, none for a null text), else the type of the
    // token that ended the text (25). Each token's column is the byte position of its
    // lexeme in the text, from 1.
    td::BYTE parse(const char* text);
    // Text road without the bracket check; appends to the token list.
    bool tokenize(const char* text, td::BYTE& lastType);

    // Where the equation sign of an equation text "lhs = rhs" stands, read lexeme by lexeme
    // as the text is parsed: the first lone `=` after a lexeme (`==`, `<=`, `>=`, `!=` and
    // the compound assignments are none). Byte offsets into the text.
    struct EquationSign
    {
        // False without one, or when a lexeme before it cannot be read.
        bool found = false;
        td::UINT4 offset = 0;
        // Just past the last lexeme before the sign (a comment after it is left out).
        td::UINT4 lhsEnd = 0;
        // That lexeme is an operator (an operator word among them): the equation is refused.
        bool afterOperator = false;
    };
    static EquationSign findEquationSign(const char* text);

    // Front-end road: the tokens of one statement from firstOffset up to endOffset (cut
    // to the line's end), appended to the token list. A leading `if`, `else`, `switch`
    // or `end` sets exprKind to 2, 3, 4 or 6 and is not appended; any other first token
    // sets 1. False with an "@SC." key at the token's line and column.
    static constexpr td::UINT4 cLineEnd = 0xFFFFFFFFu;
    bool compileTokens(const sc::TokenizedModel& model, const sc::_tl& line, td::UINT4 firstOffset, td::BYTE& exprKind,
                       td::UINT4 endOffset = cLineEnd);
    bool compileTokens(const sc::TokenizedModel::iterator& it, td::UINT4 firstOffset, td::BYTE& exprKind,
                       td::UINT4 endOffset = cLineEnd);

    // The token list: a chain of nodes from the first, following pNext.
    Node* getFirstToken() const { return _tokens.first(); }
    Node* getLastToken() const { return _tokens.last(); }
    td::UINT4 getNumberOfTokens() const { return _tokens.size(); }
    // Empties the token list, its nodes back to the pool: no tree may point at them.
    void clearTokens() { _tokens.clear(); }
    // Empties the token list and leaves its nodes to the trees built from them.
    void detachTokens() { _tokens.forget(); }
    // Gives the token and node pools back: no tree may point at their nodes.
    void rewindPools() { _pools.rewind(); }

    // Index of a known name; else -1 when add is false; else the name becomes a new
    // variable (at the next free position of the name list when that is set, else at
    // the variable count, which grows). The complex build registers the conjugate
    // partner `#name` as the next variable when partners are on. -1 for an empty name.
    td::INT4 addVariable(const td::String& name, bool add = true);
    td::INT4 addVariable(const char* name, bool add = true);
    // Index of a symbol; -1 when absent.
    td::INT4 getSymbolIndex(const char* name) const { return _symbols.find(name); }
    td::INT4 getSymbolIndex(const td::String& name) const { return _symbols.find(name); }
    bool hasSymbol(const td::String& name) const { return _symbols.find(name) >= 0; }
    const td::String& getVariableName(td::INT4 index) const;
    // Enters name -> index in the store's hash only.
    void mapSymbol(const char* name, td::UINT4 index) { _symbols.mapSymbol(name, index); }
    // Maps the name and stores a copy of it at that index of the name list.
    void addSymbolName(const td::String& name, td::UINT4 index) { _symbols.addSymbolName(name, index); }

    td::UINT4 getNumberOfEquations() const { return _nEquations; }
    T* getValuesPtr() { return _values.data(); }
    // The symbol values and the symbol store the names resolve against.
    ValueArray& values() { return _values; }
    const ValueArray& values() const { return _values; }
    const SymbolMap& symbols() const { return _symbols; }
    // The first parameter's place; null while the values are empty.
    T* getParamValuesPtr() { return _values.data() ? _values.data() + _nVars : nullptr; }

    // Points the build's compile context at the parser's pools and keeps the context for
    // error entries, keys, and the generators and statistics of its solver.
    void bindSolverData(CompileContext<T>& data);

    // The function keywords in dictionary order (35 real, 41 complex) and the four
    // operator words.
    static cnt::SafeFullVector<td::String> getFunctionNames();
    static cnt::SafeFullVector<td::String> getOperatorWords();

    // Shows a key on the logger of the bound solver; nothing without one.
    void logKey(const char* key, td::UINT4 line, td::UINT4 column, sc::ILog::Type type) const;

    // Settings made by the model builder before it parses.
    void setNumberOfSymbols(td::UINT4 nVars, td::UINT4 nParams)
    {
        _nVars = nVars;
        _nParams = nParams;
    }
    td::UINT4 getNumberOfVariables() const { return _nVars; }
    td::UINT4 getNumberOfParameters() const { return _nParams; }
    void setNumberOfEquations(td::UINT4 n) { _nEquations = n; }
    void setNumberOfParentVariables(td::UINT4 n) { _nParentVars = n; }
    // New variables take the next free position of the name list (the variable list
    // is closed).
    void setNextFreePosition(bool on) { _nextFreePosition = on ? 1 : 0; }
    // Unknown names of the text road become symbols with index -1.
    void setAcceptUnknownNames(bool on) { _acceptUnknownNames = on ? 1 : 0; }
    // A name of at most 4 characters that resolves to a token type (`s`: the Laplace
    // operator), with index -1. False for a longer name or one entered with another type.
    bool addShortName(const char* name, td::BYTE type);
    void clearShortNames() { _shortNames = ShortNames(); }

    // While it lives, the front-end road reads the right side of an assignment (a
    // statement, a start value, an ODE or a transfer function) or a case's condition: an
    // `=` or a compound assignment among its tokens is refused as a second assignment
    // operator. The tokens after a leading `if` are read so without it.
    class NoAssignment
    {
    public:
        explicit NoAssignment(RPNParser& parser) : _parser(parser) { _parser._noAssignment = 1; }
        ~NoAssignment() { _parser._noAssignment = 0; }
        NoAssignment(const NoAssignment&) = delete;
        NoAssignment& operator=(const NoAssignment&) = delete;

    private:
        RPNParser& _parser;
    };

    // The complex build only. The bodies compile for both builds (if constexpr) since some
    // compilers instantiate constrained members in an explicit instantiation.
    void setConjugatePartners(bool on) requires Traits::isComplex
    {
        if constexpr (Traits::isComplex)
            _cmplx.conjugatePartners = on ? 1 : 0;
    }
    bool hasConjugatePartners() const requires Traits::isComplex
    {
        if constexpr (Traits::isComplex)
            return _cmplx.conjugatePartners != 0;
        else
            return false;
    }

protected:
    enum class AppendResult : td::BYTE
    {
        Done,
        TwoOperators,
        NestedConj
    };

    // Appends a token; the complex build passes it through its literal collector first.
    AppendResult append(const Tok& token);
    // Ends an expression: the complex build empties its collector.
    void finishExpression();
    void beginExpression();
    td::UINT4 registerName(const td::String& name);

    struct FrontEndState;
    bool readFrontEnd(const sc::ExprTokens& tokens, const sc::_tl& line, td::UINT4 firstOffset, td::BYTE& exprKind,
                      td::UINT4 endOffset);
    bool frontEndToken(FrontEndState& st, const sc::_TokV& entry, td::UINT4 pos);
    bool frontEndSymbol(Tok& tokenEntry, const sc::_TokV& entry);
    bool frontEndEquals(FrontEndState& st, td::UINT4 pos);
    bool frontEndAppend(FrontEndState& st, const Tok& token, td::UINT2 column);
    bool frontEndEnd(FrontEndState& st);
    bool keyError(const char* key, td::UINT4 line, td::UINT4 column) const;
    // Whether the variables read are being reported.
    bool collectsUsedVars() const { return _pUsedVars && _pUsedVars->collectsUsedVars(); }

    // The text road's tokens stand at the byte position of their lexeme, counted from 1;
    // 0 beyond the 16 bits of a token's column.
    static constexpr td::UINT4 cNoColumn = 0xFFFF;
    td::UINT2 lexemeColumn() const;
    bool resolveName(Tok& token, bool& expectOpen);
    void readNumber(Tok& token) const;
    template <typename... Args> bool textError(const char* text, const Args&... args) const;
    bool textAppend(const Tok& token);

    using CmplxPart = std::conditional_t<Traits::isComplex, priv::CmplxRules, priv::NoCmplxRules<T>>;

    ParserPools<T> _pools;
    TokenList<T> _tokens;
    SymbolMap& _symbols;
    ValueArray& _values;
    CompileContext<T>* _pContext = nullptr;
    IUsedVariables* _pUsedVars = nullptr;
    ShortNames _shortNames;
    TextLexer _lexer;
    td::UINT4 _nVars = 0;
    td::UINT4 _nParams = 0;
    td::UINT4 _nEquations = 0;
    td::UINT4 _nParentVars = 0;
    td::BYTE _prevType = Tok::NO_PREVIOUS;
    td::BYTE _nextFreePosition = 0;
    td::BYTE _acceptUnknownNames = 0;
    td::BYTE _noAssignment = 0;
    CmplxPart _cmplx;
};

extern template class RPNParser<double>;
extern template class RPNParser<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using RPNParser = sl::RPNParser<double>;
}

namespace slCmplx
{
using RPNParser = sl::RPNParser<std::complex<double>>;
}
