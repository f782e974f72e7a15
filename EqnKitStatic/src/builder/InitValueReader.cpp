#include "InitValueReader.h"

#include <vector>

#include <sc/MessageKeys.h>
#include <sc/SCLib.h>
#include <td/StrKey.h>

#include "CU.h"

namespace sl
{
namespace msg = sc::msg;
using F = sc::Token;

namespace
{
// The value of a literal token; false for any other token. Imaginary literals exist in
// the complex build only.
template <typename T> bool literalValue(const sc::_TokV& t, T& out)
{
    switch (t.kind)
    {
    case F::Integer: out = T(t.getInt()); return true;
    case F::SpecialConst:
    case F::Real: out = T(t.getReal()); return true;
    case F::Imaginary:
        if constexpr (ValueTraits<T>::isComplex)
        {
            out = T(0.0, t.getReal());
            return true;
        }
        return false;
    case F::True: out = T(1.0); return true;
    case F::False: out = T(0.0); return true;
    default: return false;
    }
}

bool isOwnSymbol(const sc::_TokV& t) { return (t.kind == F::Var || t.kind == F::Param) && t.extra != 1; }

// Where a deferred value stands while the values are set in order.
enum EntryState : td::BYTE
{
    Waiting,
    Open,
    Set
};
constexpr td::INT4 cReadsItself = -2;

// The entry of the next own symbol that the line of e reads from token on and that has no
// value yet; -1 when there is none; cReadsItself, with the symbol's column, for one whose
// value is being made (the value reads itself, directly or through others).
td::INT4 nextUnsetRead(const DeferredValue& e, td::UINT4& token, td::UINT4 nVars, const std::vector<td::INT4>& entryOf,
                       const std::vector<td::BYTE>& state, td::UINT2& column)
{
    const sc::_tl& l = e.line.line();
    while (token < l.nExpr)
    {
        const sc::_TokV& t = (*e.line.pExprTokens)[l.firstExpr + token++];
        if (!isOwnSymbol(t))
            continue;
        const td::UINT4 symbol = t.kind == F::Param ? nVars + t.code : t.code;
        const td::INT4 k = symbol < entryOf.size() ? entryOf[symbol] : -1;
        if (k < 0 || state[static_cast<std::size_t>(k)] == Set)
            continue;
        if (state[static_cast<std::size_t>(k)] != Open)
            return k;
        column = t.column;
        return cReadsItself;
    }
    return -1;
}

// Names whose values do not exist while declarations are read.
bool isUnresolved(const sc::_TokV& t) { return t.kind == F::Word || t.kind == F::DistribName || t.kind == F::StatName; }

// The numeric type named by a type attribute; -1 for none or an unknown word.
int numericType(const sc::TokenizedModel::iterator& it)
{
    const td::PoolString* pText = it.findAttrib(sc::AttribID::Type);
    if (!pText || pText->length() == 0 || pText->length() > static_cast<td::UINT4>(td::StrKey::Length))
        return -1;
    const auto* pEntry = sc::getNumericTypeMap().find(td::StrKey(pText->c_str(), static_cast<int>(pText->length())));
    return pEntry ? pEntry->value : -1;
}
} // namespace

template <typename T>
bool InitValueReader<T>::setDeclarationValues(Iterator group, DeferredList& deferred, sc::UserLabel label)
{
    for (++group; !group.atEnd(); ++group)
    {
        if (!setDeclarationValue(group, deferred, label))
            return false;
    }
    return true;
}

template <typename T>
bool InitValueReader<T>::setDeclarationValue(const Iterator& it, DeferredList& deferred, sc::UserLabel label)
{
    const sc::_tl& l = it.line();
    if (l.nExpr == 0)
        return _s.lineError(msg::scAssignWith0Tokens, it);
    if (l.nExpr == 2)
        return _s.lineError(msg::scAssignWith2Tokens, Place{l.line, it.exprToken(1).column});
    const sc::ExprTokens& tokens = *it.pExprTokens;
    const sc::_TokV& name = tokens[l.firstExpr];
    const bool isParam = label == sc::UserLabel::Param;
    // The value lands on the symbol the line names.
    const td::UINT4 count = isParam ? _s.getNumParameters() : _s.getNumVariables();
    if (name.kind != (isParam ? F::Param : F::Var) || name.extra == 1 || name.code >= count)
        return _s.lineError(msg::scWrongType, it);
    const td::UINT4 symbol = isParam ? _s.getNumVariables() + name.code : name.code;
    SymbolInfo& info = _s.data().stores.symbolInfo[symbol];
    if (const int type = numericType(it); type >= 0)
        info.numType = static_cast<td::BYTE>(type);
    bool out = false;
    if (it.getAttrib(sc::AttribID::Out, out))
        info.kind = out ? 2 : 0;
    if (l.nExpr == 1)
        return true;
    if (tokens[l.firstExpr + 1].kind != F::Assign)
        return _s.lineError(msg::scMisingEqInAssign, Place{l.line, tokens[l.firstExpr + 1].column});

    T value(0);
    const sc::_TokV& third = tokens[l.firstExpr + 2];
    if (l.nExpr == 3 && literalValue(third, value))
    {
        if (isParam && (third.kind == F::True || third.kind == F::False))
            info.numType = 0;
        _s.values()[symbol] = value;
        return true;
    }
    bool readsSymbols = false;
    for (td::UINT4 i = 2; i < l.nExpr; ++i)
    {
        const sc::_TokV& t = tokens[l.firstExpr + i];
        if (isUnresolved(t))
            return _s.lineError(msg::scInitValErr, Place{l.line, t.column});
        readsSymbols = readsSymbols || t.kind == F::Var || t.kind == F::Param;
    }
    if (readsSymbols)
        deferred.push(DeferredValue{it, symbol});
    else if (!makeInitialValue(value, it, 2))
        return _s.lineError(msg::scInitValErr, it);
    _s.values()[symbol] = value;
    return true;
}

template <typename T> bool InitValueReader<T>::makeInitialValue(T& out, const Iterator& it, td::UINT4 firstToken)
{
    SolverData<T>& d = _s.data();
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    td::BYTE kind = 0;
    _s.parser.clearTokens();
    bool ok = false;
    {
        const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
        ok = _s.parser.compileTokens(it, firstToken, kind);
    }
    if (ok)
    {
        Evaluator<T> record;
        ok = kind == 1 && _s.buildTree(tree, it) && tree.createEvaluator(&record);
        if (ok)
        {
            CU<T> cu(_s.parser.getValuesPtr(), _s.parser.getParamValuesPtr(), d.pSolver);
            out = record.evaluate(cu);
        }
        else
            _s.lineError(msg::etErrInitValueExp, it);
    }
    tree.reset(d.treeOption != 0);
    _s.releaseTrees();
    return ok;
}

template <typename T> bool InitValueReader<T>::setInitialValues(const DeferredList& params, const DeferredList& vars)
{
    // Parameters before variables where nothing else decides the order.
    std::vector<const DeferredValue*> entries;
    entries.reserve(params.size() + vars.size());
    for (const DeferredValue& e : params)
        entries.push_back(&e);
    for (const DeferredValue& e : vars)
        entries.push_back(&e);
    std::vector<td::INT4> entryOf(_s.symbolCount(), -1);
    for (std::size_t k = 0; k < entries.size(); ++k)
        entryOf[entries[k]->symbol] = static_cast<td::INT4>(k);

    // Depth first from each entry: a value is made once every value it reads is set.
    std::vector<td::BYTE> state(entries.size(), Waiting);
    struct Frame
    {
        std::size_t entry;
        td::UINT4 token;
    };
    std::vector<Frame> stack;
    for (std::size_t root = 0; root < entries.size(); ++root)
    {
        if (state[root] != Waiting)
            continue;
        state[root] = Open;
        stack.push_back({root, 2});
        while (!stack.empty())
        {
            Frame& top = stack.back();
            const DeferredValue& e = *entries[top.entry];
            td::UINT2 column = 0;
            const td::INT4 next = nextUnsetRead(e, top.token, _s.getNumVariables(), entryOf, state, column);
            if (next == cReadsItself)
                return _s.lineError(msg::scInitValErr, Place{e.line.line().line, column});
            if (next >= 0)
            {
                state[static_cast<std::size_t>(next)] = Open;
                stack.push_back({static_cast<std::size_t>(next), 2});
                continue;
            }
            T value(0);
            if (!makeInitialValue(value, e.line, 2))
                return false;
            _s.values()[e.symbol] = value;
            state[top.entry] = Set;
            stack.pop_back();
        }
    }
    return true;
}

template class InitValueReader<double>;
template class InitValueReader<std::complex<double>>;
} // namespace sl
