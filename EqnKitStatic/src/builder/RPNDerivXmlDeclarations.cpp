// The XML road's declarations: the Vars and Params sections become the solver's symbols
// (names, kinds, start values), with the time parameters of dynamic documents, the
// parameters a child copies from its parent and parameter groups base{a, b}.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <mu/Number.h>
#include <sc/MessageKeys.h>
#include <sc/priv/LanguageWords.h>

#include "CU.h"
#include "RPNDerivParser.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
constexpr td::BYTE cCurrent = 16;

template <typename T> T conjugate(const T& v)
{
    if constexpr (ValueTraits<T>::isComplex)
        return std::conj(v);
    else
        return v;
}

// Tokens that name a symbol, an unknown name, a generator or a statistic.
bool namesSomething(td::BYTE type)
{
    using C = TokenCodes;
    return (type >= C::IDENTIFIER && type <= C::PARAM_OR_PARENT) || type == C::RND_GEN || type == C::STATISTIC;
}
} // namespace

// One Param element: its name and, for a group base{a, b}, the symbols base.a, base.b.
template <typename T> struct RPNDerivParser<T>::XmlParam
{
    xml::Node element;
    const char* name = nullptr;
    std::vector<td::String> members;
    bool group = false;
    bool wellFormed = true;
    // Parameter index of its first symbol.
    td::UINT4 first = 0;

    td::UINT4 count() const { return group && wellFormed ? static_cast<td::UINT4>(members.size()) : 1; }

    void read(const xml::Node& el)
    {
        element = el;
        name = attrib(el, "name");
        const char* open = name ? std::strchr(name, '{') : nullptr;
        if (!open || open == name)
            return;
        group = true;
        const char* close = std::strchr(name, '}');
        if (!close || close < open)
        {
            wellFormed = false;
            return;
        }
        std::vector<td::String> items;
        cnt::PushBackVector<td::String> pieces;
        addNameList(name, static_cast<td::UINT4>(open - name), static_cast<td::UINT4>(close - name), pieces);
        const std::string base(name, static_cast<std::size_t>(open - name));
        for (const td::String& piece : pieces)
        {
            if (piece.isEmpty())
                wellFormed = false;
            members.push_back(td::String((base + "." + piece.c_str()).c_str()));
        }
    }
    std::size_t baseLength() const { return static_cast<std::size_t>(std::strchr(name, '{') - name); }
};

template <typename T> bool RPNDerivParser<T>::parseNumber(double& out, const char*& text)
{
    if (!text)
        return false;
    const char* start = skipBlanks(text);
    const char* p = start;
    if (*p == '+' || *p == '-')
        ++p;
    else if (*p < '0' || *p > '9')
        return false;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p)
        digits = true;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            digits = true;
    if (!digits)
        return false;
    if (*p == 'e' || *p == 'E')
    {
        ++p;
        if (*p == '+' || *p == '-')
            ++p;
        if (*p < '0' || *p > '9')
            return false;
        while (*p >= '0' && *p <= '9')
            ++p;
    }
    out = mu::toDouble(start);
    text = p;
    return true;
}

template <typename T> bool RPNDerivParser<T>::parseWholeNumber(double& out, const char* text)
{
    const char* p = text;
    return parseNumber(out, p) && onlyBlanks(p);
}

template <typename T>
bool RPNDerivParser<T>::parseComplexNumber(std::complex<double>& out, const char* text, bool strict)
{
    const char* p = text;
    double a = 0, b = 0;
    if (!parseNumber(a, p))
        return false;
    const bool aImag = *p == 'i';
    p += aImag;
    if (onlyBlanks(p))
    {
        out = aImag ? std::complex<double>(0, a) : std::complex<double>(a, 0);
        return true;
    }
    p = skipBlanks(p);
    if (!parseNumber(b, p))
        return false;
    const bool bImag = *p == 'i';
    p += bImag;
    if (aImag == bImag || (strict && !onlyBlanks(p)))
        return false;
    out = aImag ? std::complex<double>(b, a) : std::complex<double>(a, b);
    return true;
}

template <typename T> void RPNDerivParser<T>::addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos,
                                                          cnt::PushBackVector<td::String>& names)
{
    const char* p = text + openPos + 1;
    const char* end = text + closePos;
    while (p <= end)
    {
        const char* comma = p;
        while (comma < end && *comma != ',')
            ++comma;
        const char* cut = p;
        while (cut < comma && *cut != '=')
            ++cut;
        const char* b = skipBlanks(p);
        const char* e = cut;
        while (e > b && isBlank(e[-1]))
            --e;
        names.push(b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String());
        p = comma + 1;
    }
}

template <typename T> bool RPNDerivParser<T>::xmlError(const char* text) const
{
    this->_pSolverData->addError(text);
    return false;
}

template <typename T> void RPNDerivParser<T>::addPlainName(const td::String& name)
{
    if constexpr (Traits::isComplex)
    {
        const bool partners = this->hasConjugatePartners();
        Base::setConjugatePartners(false);
        this->addVariable(name);
        Base::setConjugatePartners(partners);
    }
    else
        this->addVariable(name);
}

template <typename T> bool RPNDerivParser<T>::addGeneratedName(const td::String& name)
{
    if (this->hasSymbol(name))
        return xmlError("Generated symbol name @ is already declared!", name);
    addPlainName(name);
    return true;
}

template <typename T> void RPNDerivParser<T>::addStatusSymbols()
{
    const td::UINT4 first = symbolCount();
    for (td::UINT4 k = 0; k < ISolverServices<T>::cStatusSymbols; ++k)
    {
        this->addSymbolName(td::String(ISolverServices<T>::statusSymbolName(k)), first + k);
        this->_values.push(T(0));
    }
}

template <typename T>
bool RPNDerivParser<T>::makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out)
{
    SolverData<T>& d = *this->_pSolverData;
    out = T(0);
    _collectsUsedVars = 0;
    this->setAcceptUnknownNames(true);
    const bool parsed = this->parse(text) != 0;
    this->setAcceptUnknownNames(false);
    if (!parsed)
        return xmlError("Error in initial value expression: @", text);
    typename Base::Node* pFirst = this->getFirstToken();
    if (this->getNumberOfTokens() == 1 && pFirst->token.isNumber())
    {
        out = pFirst->token.value;
        return true;
    }
    for (typename Base::Node* p = pFirst; p; p = p->pNext)
    {
        if (namesSomething(p->token.type))
        {
            if (list.empty())
                list.reserve(this->_nVars / 2 + 1);
            list.push(XmlDeferredValue{td::String(text), symbol});
            return true;
        }
    }
    Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
    Evaluator<T> record;
    const bool ok = tree.build(pFirst) && tree.createEvaluator(&record);
    if (ok)
    {
        CU<T> cu(this->getValuesPtr(), this->getParamValuesPtr(), d.pSolver);
        out = record.evaluate(cu);
    }
    tree.reset(d.treeOption != 0);
    releaseTrees();
    return ok || xmlError("Cannot make expression for initial value: @", text);
}

template <typename T>
bool RPNDerivParser<T>::readStartValue(const xml::Node& element, td::UINT4 symbol, XmlDeferredList& deferred, T& value)
{
    value = T(0);
    const char* val = attrib(element, "val");
    if (!val)
        return true;
    if constexpr (Traits::isComplex)
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

template <typename T> bool RPNDerivParser<T>::checkXmlName(const char* name, td::UINT4 item, bool inExpressions) const
{
    // Expressions read functions, constants, truth and logical words before symbols and
    // generators; a statistic is fed by its name, which may be a function's (avg).
    if (inExpressions ? !sc::priv::isLanguageWord(name, Traits::isComplex) : !sc::priv::isReservedWord(name))
        return true;
    SolverData<T>& d = *this->_pSolverData;
    d.addError(sc::msg::txtLanguageWordAsName, name);
    if (item != cNoItem)
        d.itemLocationText(item, cCurrent);
    return false;
}

template <typename T> bool RPNDerivParser<T>::readVarNames(const xml::Node& vars, bool dynamic)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    bool partners = false;
    if constexpr (Traits::isComplex)
        partners = this->hasConjugatePartners();
    td::UINT4 item = 0;
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName(), ++item)
    {
        const char* name = attrib(v, "name");
        if (!name || !*name)
            return xmlError("Empty variable name!");
        if (!checkXmlName(name, item, true))
            return false;
        const td::String text(name);
        if (this->hasSymbol(text))
            return xmlError("Variable declared twice: @", text);
        if (text.length() > cMaxXmlNameLength)
        {
            d.addError("Variable name is too long! Maximum allowed variable name length is @ chars! Var name=@",
                       cMaxXmlNameLength, text);
            return false;
        }
        // The time parameters of a dynamic model keep their names.
        if (dynamic && (text == "t" || text == "dT"))
            return xmlError("Variable name @ is reserved for the time parameters!", text);
        if (partners)
        {
            std::string partner(1, '#');
            partner += name;
            if (this->hasSymbol(td::String(partner.c_str())))
                return xmlError("Generated symbol name @ is already declared!", partner.c_str());
        }
        this->addVariable(text);
        // A state of a stage method: its stage variables follow it.
        const td::UINT2 stages = d.dynamics == 2 ? getNumberOfStages() : 0;
        if (stages > 0 && isXmlStateName(text))
        {
            const td::INT4 index = this->getSymbolIndex(text);
            setStateVarType(index, 3);
            if (!addIndexedSymbol(text, static_cast<td::UINT4>(index), stages, false))
                return false;
        }
    }
    return true;
}

template <typename T> bool RPNDerivParser<T>::readParamNames(std::vector<XmlParam>& decl, td::UINT4 parentParams)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    for (td::UINT4 k = 0; k < parentParams; ++k)
    {
        const char* name = pParent->getSymbolName(static_cast<td::INT4>(pParent->getNumberOfVariables() + k));
        const td::String text(name ? name : "");
        if (this->hasSymbol(text))
            return xmlError("Parameter declared twice: @", text);
        addPlainName(text);
    }
    for (td::UINT4 i = 0; i < decl.size(); ++i)
    {
        const XmlParam& p = decl[i];
        if (!p.name || !*p.name)
        {
            d.addError("Empty parameter name!");
            if (!p.name)
                d.itemLocationText(i, cCurrent);
            return false;
        }
        const td::String text(p.name);
        const td::String base = p.group && p.wellFormed ? td::String(p.name, p.baseLength()) : text;
        if (!checkXmlName(base.c_str(), i, true))
            return false;
        if (this->hasSymbol(text))
        {
            d.addError("Parameter declared twice: @", text);
            d.itemLocationText(i, cCurrent);
            return false;
        }
        if (p.group && !p.wellFormed)
            return xmlError("Parameter name is not formatted properly! Par name=@", text);
        if ((p.group ? p.baseLength() : text.length()) > cMaxXmlNameLength)
        {
            d.addError("Parameter name is too long! Maximum allowed parameter name length is @ chars! Par name=@",
                       cMaxXmlNameLength, text);
            return false;
        }
        if (!p.group)
        {
            addPlainName(text);
            continue;
        }
        for (const td::String& member : p.members)
        {
            if (this->hasSymbol(member))
            {
                d.addError("Parameter declared twice: @", member);
                d.itemLocationText(i, cCurrent);
                return false;
            }
            addPlainName(member);
        }
    }
    return true;
}

template <typename T> bool RPNDerivParser<T>::loadVarsAndParams(const xml::Node& vars, const xml::Node& params)
{
    SolverData<T>& d = *this->_pSolverData;
    if (vars.isEmpty())
        return xmlError("Missing declation of variables!");
    bool outAll = false;
    vars.getBoolAttrib("out", outAll);
    const td::UINT4 nVarElements = countChildren(vars, "Var");
    if (nVarElements == 0)
        return xmlError("There is no any variable declared!");
    td::UINT4 perVariable = 1;
    if constexpr (Traits::isComplex)
    {
        const char* conj = attrib(vars, "conj");
        const bool partners = !conj || isTrueText(conj);
        setConjugatePartners(partners);
        perVariable = partners ? 2 : 1;
    }

    // Parameters: the parent's (a child model), the declared ones with the members of
    // each group, then the time parameters of a dynamic model that it does not declare.
    const bool dynamic = d.dynamics != 0;
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    const td::UINT4 parentParams =
        pParent ? pParent->getNumberOfParameters() - pParent->getNumberOfStateVariables() : 0;
    std::vector<XmlParam> decl(countChildren(params, "Param"));
    td::UINT4 nParams = parentParams;
    {
        xml::Node p = child(params, "Param");
        for (XmlParam& e : decl)
        {
            e.read(p);
            e.first = nParams;
            nParams += e.count();
            p.nextSameName();
        }
    }
    d.results.indexOfTParam = d.results.indexOfDeltaTParam = -1;
    if (dynamic)
    {
        d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
        for (td::UINT4 i = 0; i < decl.size(); ++i)
        {
            const char* name = decl[i].name;
            if (!name)
            {
                d.addError("Empty name");
                d.itemLocationText(i, cCurrent);
                d.currentSection = 0;
                return false;
            }
            for (td::UINT4 j = 0; j < i; ++j)
            {
                if (decl[j].name && !std::strcmp(decl[j].name, name))
                {
                    d.addError("Param declared twice: @", name);
                    d.itemLocationText(i, cCurrent);
                    d.currentSection = 0;
                    return false;
                }
            }
            if (!decl[i].group && !std::strcmp(name, "dT"))
                d.results.indexOfDeltaTParam = static_cast<td::INT4>(decl[i].first);
            if (!decl[i].group && !std::strcmp(name, "t"))
                d.results.indexOfTParam = static_cast<td::INT4>(decl[i].first);
        }
        d.currentSection = 0;
        if (d.results.indexOfDeltaTParam < 0)
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(nParams++);
        if (d.results.indexOfTParam < 0)
            d.results.indexOfTParam = static_cast<td::INT4>(nParams++);
    }

    td::UINT4 nVars = nVarElements * perVariable;
    // DAE documents: stage variables, transfer-function variables and the history
    // parameters, which the DAE reader adds last.
    const bool dae = d.dynamics == 2;
    const td::UINT4 nDeclaredParams = nParams;
    if (dae && !countXmlDAESymbols(nVars, nParams))
        return false;
    const td::UINT4 nHistory = nParams - nDeclaredParams;
    d.stores.setSize(nVars, nParams);
    this->setNumberOfSymbols(nVars, nParams);
    cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    info.reserve(nVars + nParams);
    for (td::UINT4 i = 0; i < nVars + nParams; ++i)
        info[i] = SymbolInfo{static_cast<td::BYTE>(i < nVars ? 1 : 0), 0, 0};
    _usedVars.reserve(nVars);
    this->setNextFreePosition(true);
    _declarationsDone = 1;
    _nEquations = nVars;

    bool named = readVarNames(vars, dynamic);
    for (td::UINT4 i = 0; named && dae && i < _tfs.size(); ++i)
        named = expandVarHistoryTF(i);
    named = named && readParamNames(decl, parentParams) && (!dae || checkXmlStateNames());
    if (!named)
    {
        d.currentSection = 0;
        return false;
    }

    // Start values in the order of the symbols.
    XmlDeferredList deferred;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Vars);
    for (xml::Node v = child(vars, "Var"); !v.isEmpty(); v.nextSameName())
    {
        const td::UINT4 symbol = static_cast<td::UINT4>(this->getSymbolIndex(attrib(v, "name")));
        T value(0);
        if (!readStartValue(v, symbol, deferred, value))
        {
            d.itemLocationText(symbol, cCurrent);
            d.currentSection = 0;
            return false;
        }
        this->_values.push(value);
        bool out = outAll;
        if (!outAll)
            v.getBoolAttrib("out", out);
        if (out)
            info[symbol].kind = 2;
        if (perVariable == 2)
            this->_values.push(conjugate(value));
        for (td::UINT2 k = 0; dae && info[symbol].varType == 3 && k < getNumberOfStages(); ++k)
            this->_values.push(value);
    }
    for (td::UINT4 i = 0; dae && i < _tfs.size(); ++i)
        setupTFStates(i);

    if (const char* dT = attrib(params, "dT"); dT && *dT)
    {
        double step = 0;
        if (!parseWholeNumber(step, dT) || !std::isfinite(step))
            return xmlError("Attribute dT of Params is not a number: @", dT);
        if (step > 0)
            d.results.stepValue = step;
    }

    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    if (parentParams > 0)
    {
        const T* pParentValues = pParent->getVariableValuesPtr() + pParent->getNumberOfVariables();
        for (td::UINT4 k = 0; k < parentParams; ++k)
            this->_values.push(pParentValues[k]);
    }
    for (td::UINT4 j = 0; j < decl.size(); ++j)
    {
        const XmlParam& p = decl[j];
        if (!dynamic && d.results.indexOfDeltaTParam < 0 && !p.group && !std::strcmp(p.name, "dT"))
        {
            d.results.indexOfDeltaTParam = static_cast<td::INT4>(p.first);
            double step = 0;
            if (const char* val = attrib(p.element, "val"); val && parseWholeNumber(step, val))
                d.results.stepValue = step;
        }
        bool out = false;
        if (dynamic)
            p.element.getBoolAttrib("out", out);
        for (td::UINT4 m = 0; m < p.count(); ++m)
        {
            const td::UINT4 symbol = nVars + p.first + m;
            T value(0);
            if (!readStartValue(p.element, symbol, deferred, value))
            {
                d.itemLocationText(j, cCurrent);
                d.currentSection = 0;
                return false;
            }
            this->_values.push(value);
            if (out)
                info[symbol].kind = 2;
        }
    }

    d.currentSection = 0;
    if (dynamic && this->getSymbolIndex("dT") < 0)
    {
        addPlainName(td::String("dT"));
        this->_values.push(T(d.results.stepValue));
    }
    if (dynamic && this->getSymbolIndex("t") < 0)
    {
        addPlainName(td::String("t"));
        this->_values.push(T(d.startTime));
    }
    TD_ASSERT(this->_values.size() + nHistory == symbolCount());
    if (!evaluateDeferred(deferred))
        return false;
    // The DAE reader adds its history parameters first.
    if (!dae)
        addStatusSymbols();
    return true;
}

template <typename T> bool RPNDerivParser<T>::evaluateDeferred(const XmlDeferredList& deferred)
{
    SolverData<T>& d = *this->_pSolverData;
    const td::UINT4 n = static_cast<td::UINT4>(deferred.size());
    if (n == 0)
        return true;
    // Parameters before variables where nothing else decides the order.
    std::vector<td::UINT4> order;
    order.reserve(n);
    for (int pass = 0; pass < 2; ++pass)
        for (td::UINT4 k = 0; k < n; ++k)
            if ((deferred[k].symbol >= this->_nVars) == (pass == 0))
                order.push_back(k);
    std::vector<td::INT4> entryOf(symbolCount(), -1);
    for (td::UINT4 k = 0; k < n; ++k)
        entryOf[deferred[k].symbol] = static_cast<td::INT4>(k);

    auto locate = [&](td::UINT4 k) {
        const td::UINT4 symbol = deferred[k].symbol;
        const bool variable = symbol < this->_nVars;
        d.currentSection = static_cast<td::BYTE>(variable ? ErrorSection::Vars : ErrorSection::Params);
        d.itemLocationText(variable ? symbol : symbol - this->_nVars, cCurrent);
        d.currentSection = 0;
        return false;
    };
    auto wrong = [&](td::UINT4 k) {
        d.addError("Something wrong with initial value expression: @", deferred[k].text);
        return locate(k);
    };

    // What each entry reads of the other entries; a name still unknown, a generator or
    // a statistic has no start value.
    std::vector<std::vector<td::UINT4>> reads(n);
    _collectsUsedVars = 0;
    for (td::UINT4 k : order)
    {
        if (!this->parse(deferred[k].text.c_str()))
            return wrong(k);
        for (typename Base::Node* p = this->getFirstToken(); p; p = p->pNext)
        {
            const typename Base::Tok& t = p->token;
            if (t.type == TokenCodes::RND_GEN || t.type == TokenCodes::STATISTIC)
                return wrong(k);
            if (t.type == TokenCodes::SYMBOL && t.index < entryOf.size() && entryOf[t.index] >= 0)
                reads[k].push_back(static_cast<td::UINT4>(entryOf[t.index]));
        }
    }

    enum : td::BYTE
    {
        Waiting,
        Open,
        Set
    };
    std::vector<td::BYTE> state(n, Waiting);
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
                if (state[r] == Open)
                    return wrong(k);
                if (state[r] == Waiting)
                {
                    state[r] = Open;
                    stack.push_back({r, 0});
                }
                continue;
            }
            const td::UINT4 entry = k;
            stack.pop_back();
            Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
            Evaluator<T> record;
            bool ok = this->parse(deferred[entry].text.c_str()) != 0;
            if (!ok)
                return wrong(entry);
            ok = tree.build(this->getFirstToken()) && tree.createEvaluator(&record);
            if (ok)
            {
                CU<T> cu(this->getValuesPtr(), this->getParamValuesPtr(), d.pSolver);
                const T value = record.evaluate(cu);
                const td::UINT4 symbol = deferred[entry].symbol;
                this->_values[symbol] = value;
                // A variable's conjugate partner follows it, a state's stage variables take
                // its value.
                if (symbol < this->_nVars && hasPartners())
                    this->_values[symbol + 1] = conjugate(value);
                if (symbol < this->_nVars && d.dynamics == 2 && d.stores.daeVarRecords[symbol].firstStage >= 0)
                {
                    const td::UINT4 first = static_cast<td::UINT4>(d.stores.daeVarRecords[symbol].firstStage);
                    for (td::UINT2 k = 0; k < getNumberOfStages(); ++k)
                        this->_values[first + k] = value;
                }
            }
            tree.reset(d.treeOption != 0);
            releaseTrees();
            if (!ok)
            {
                d.addError("Cannot make expression for initial value: @", deferred[entry].text);
                return locate(entry);
            }
            state[entry] = Set;
        }
    }
    return true;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
