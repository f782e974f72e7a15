#include "XmlStartValues.h"

#include <vector>

#include "CU.h"
#include "XmlNodes.h"
#include "XmlTexts.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
// Tokens that name a symbol, an unknown name, a generator or a statistic.
bool namesSomething(td::BYTE type)
{
    using C = TokenCodes;
    return (type >= C::IDENTIFIER && type <= C::PARAM_OR_PARENT) || type == C::RND_GEN || type == C::STATISTIC;
}

// The entry of a deferred value that cannot be read or reads itself.
const char* const cWrongExpression = "Something wrong with initial value expression: @";
} // namespace

template <typename T>
bool XmlStartValues<T>::makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out)
{
    SolverData<T>& d = _s.data();
    out = T(0);
    _used.collect(false);
    _s.parser.setAcceptUnknownNames(true);
    const bool parsed = _s.parseXml(text);
    _s.parser.setAcceptUnknownNames(false);
    if (!parsed)
        return _s.xmlError("Error in initial value expression: @", text);
    typename RPNParser<T>::Node* pFirst = _s.parser.getFirstToken();
    if (_s.parser.getNumberOfTokens() == 1 && pFirst->token.isNumber())
    {
        out = pFirst->token.value;
        return true;
    }
    for (typename RPNParser<T>::Node* p = pFirst; p; p = p->pNext)
    {
        if (namesSomething(p->token.type))
        {
            if (list.empty())
                list.reserve(_s.getNumVariables() / 2 + 1);
            list.push(XmlDeferredValue{td::String(text), symbol, _s.data().xmlLine});
            return true;
        }
    }
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    Evaluator<T> record;
    const bool ok = tree.build(pFirst) && tree.createEvaluator(&record);
    if (ok)
    {
        CU<T> cu(_s.parser.getValuesPtr(), _s.parser.getParamValuesPtr(), d.pSolver);
        out = record.evaluate(cu);
    }
    tree.reset(d.treeOption != 0);
    _s.releaseTrees();
    return ok || _s.xmlExpressionError("Cannot make expression for initial value: @", text);
}

template <typename T>
bool XmlStartValues<T>::readStartValue(const xml::Node& element, td::UINT4 symbol, XmlDeferredList& deferred, T& value)
{
    value = T(0);
    const ElementLine line(_s.data().xmlLine, element);
    const char* val = attrib(element, "val");
    if (!val)
        return true;
    if constexpr (ValueTraits<T>::isComplex)
    {
        std::complex<double> c;
        if (parseComplexNumber(c, val, true))
        {
            value = c;
            return true;
        }
    }
    else
    {
        double x = 0;
        if (parseWholeNumber(x, val))
        {
            value = x;
            return true;
        }
    }
    return makeInitialValueExpression(symbol, val, deferred, value);
}

template <typename T> bool XmlStartValues<T>::evaluateDeferred(const XmlDeferredList& deferred)
{
    const td::UINT4 n = static_cast<td::UINT4>(deferred.size());
    if (n == 0)
        return true;
    // Parameters before variables where nothing else decides the order.
    std::vector<td::UINT4> order;
    order.reserve(n);
    for (int pass = 0; pass < 2; ++pass)
        for (td::UINT4 k = 0; k < n; ++k)
            if ((deferred[k].symbol >= _s.getNumVariables()) == (pass == 0))
                order.push_back(k);
    std::vector<std::vector<td::UINT4>> reads(n);
    return readDependencies(deferred, order, reads) && evaluateInOrder(deferred, order, reads);
}

template <typename T> bool XmlStartValues<T>::readDependencies(const XmlDeferredList& deferred,
                                                               const std::vector<td::UINT4>& order,
                                                               std::vector<std::vector<td::UINT4>>& reads)
{
    std::vector<td::INT4> entryOf(_s.symbolCount(), -1);
    for (td::UINT4 k = 0; k < deferred.size(); ++k)
        entryOf[deferred[k].symbol] = static_cast<td::INT4>(k);
    // A name still unknown, a generator or a statistic has no start value.
    _used.collect(false);
    for (td::UINT4 k : order)
    {
        if (!_s.parser.parse(deferred[k].text.c_str()))
            return entryError(deferred[k], cWrongExpression);
        for (typename RPNParser<T>::Node* p = _s.parser.getFirstToken(); p; p = p->pNext)
        {
            const typename RPNParser<T>::Tok& t = p->token;
            if (t.type == TokenCodes::RND_GEN || t.type == TokenCodes::STATISTIC)
                return entryError(deferred[k], cWrongExpression);
            if (t.type == TokenCodes::SYMBOL && t.index < entryOf.size() && entryOf[t.index] >= 0)
                reads[k].push_back(static_cast<td::UINT4>(entryOf[t.index]));
        }
    }
    return true;
}

template <typename T> bool XmlStartValues<T>::evaluateInOrder(const XmlDeferredList& deferred,
                                                              const std::vector<td::UINT4>& order,
                                                              const std::vector<std::vector<td::UINT4>>& reads)
{
    enum : td::BYTE
    {
        Waiting,
        Open,
        Set
    };
    std::vector<td::BYTE> state(deferred.size(), Waiting);
    // Depth first from each root: an entry is evaluated once all it reads are.
    std::vector<std::pair<td::UINT4, td::UINT4>> stack;
    for (td::UINT4 root : order)
    {
        if (state[root] != Waiting)
            continue;
        state[root] = Open;
        stack.push_back({root, 0});
        while (!stack.empty())
        {
            auto& [k, next] = stack.back();
            if (next < reads[k].size())
            {
                const td::UINT4 r = reads[k][next++];
                // A value that reads itself, directly or through others.
                if (state[r] == Open)
                    return entryError(deferred[k], cWrongExpression);
                if (state[r] == Waiting)
                {
                    state[r] = Open;
                    stack.push_back({r, 0});
                }
                continue;
            }
            const td::UINT4 entry = k;
            stack.pop_back();
            if (!evaluateEntry(deferred[entry]))
                return false;
            state[entry] = Set;
        }
    }
    return true;
}

template <typename T> bool XmlStartValues<T>::evaluateEntry(const XmlDeferredValue& e)
{
    SolverData<T>& d = _s.data();
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    Evaluator<T> record;
    if (!_s.parseXml(e.text.c_str()))
        return entryError(e, cWrongExpression);
    const bool ok = tree.build(_s.parser.getFirstToken()) && tree.createEvaluator(&record);
    if (ok)
    {
        CU<T> cu(_s.parser.getValuesPtr(), _s.parser.getParamValuesPtr(), d.pSolver);
        setValue(e.symbol, record.evaluate(cu));
    }
    tree.reset(d.treeOption != 0);
    _s.releaseTrees();
    return ok || entryError(e, "Cannot make expression for initial value: @", true);
}

template <typename T> void XmlStartValues<T>::setValue(td::UINT4 symbol, const T& value)
{
    const SolverData<T>& d = _s.data();
    ValueArray& values = _s.values();
    values[symbol] = value;
    if (symbol >= _s.getNumVariables())
        return;
    // A variable's conjugate partner follows it, a state's stage variables take its value.
    if (_s.hasConjugatePartners())
        values[symbol + 1] = conjugate(value);
    if (d.dynamics == 2 && d.stores.daeVarRecords[symbol].firstStage >= 0)
    {
        const td::UINT4 first = static_cast<td::UINT4>(d.stores.daeVarRecords[symbol].firstStage);
        for (td::UINT2 k = 0; k < _s.getNumberOfStages(); ++k)
            values[first + k] = value;
    }
}

template <typename T> bool XmlStartValues<T>::entryError(const XmlDeferredValue& e, const char* text, bool withReason)
{
    SolverData<T>& d = _s.data();
    if (withReason)
    {
        const td::UINT4 line = d.xmlLine;
        d.xmlLine = e.line;
        _s.xmlExpressionError(text, e.text.c_str());
        d.xmlLine = line;
    }
    else
        d.addError(text, e.text);
    const bool variable = e.symbol < _s.getNumVariables();
    d.currentSection = static_cast<td::BYTE>(variable ? ErrorSection::Vars : ErrorSection::Params);
    d.itemLocationText(variable ? e.symbol : e.symbol - _s.getNumVariables(), cCurrent);
    d.currentSection = 0;
    return false;
}

template class XmlStartValues<double>;
template class XmlStartValues<std::complex<double>>;
} // namespace sl
