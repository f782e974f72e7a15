// The XML road's DAE documents: transfer functions y/u = f(s) of a TFs section, the
// states of the ODEs, the generated symbols (stage variables after their state, transfer-
// function states, history parameters last) and the rows of the discretised model.
#include <algorithm>
#include <cstring>
#include <string>

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
constexpr td::BYTE cCurrent = 16;
constexpr td::BYTE cODEState = 3;
constexpr td::BYTE cTFState = 4;
constexpr td::BYTE cTFAuxiliary = 2;
// Generated names are cut to this many characters.
constexpr std::size_t cMaxGeneratedName = 47;

// A copy of [b, e) without the blanks at both ends.
td::String trimmed(const char* b, const char* e)
{
    b = skipBlanks(b);
    while (e > b && isBlank(e[-1]))
        --e;
    return b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String();
}
} // namespace

template <typename T> td::String RPNDerivParser<T>::generatedName(const td::String& base, const char* suffix, int k)
{
    td::String name;
    if (k > 0)
        name.format("%s%s%d", base.c_str(), suffix, k);
    else
        name.format("%s%s", base.c_str(), suffix);
    if (name.length() > cMaxGeneratedName)
        name = td::String(name.c_str(), cMaxGeneratedName);
    return name;
}

template <typename T> bool RPNDerivParser<T>::loadTF(const xml::Node& tfs)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    this->addShortName("s", TokenCodes::LAPLACE);
    td::UINT4 i = 0;
    // An entry, then the function's location.
    auto fail = [&](const char* message, const auto&... args) {
        d.addError(message, args...);
        d.itemLocationText(i, cCurrent);
        d.currentSection = 0;
        this->clearShortNames();
        return false;
    };
    for (xml::Node eq = child(tfs, "Eq"); !eq.isEmpty(); eq.nextSameName(), ++i)
    {
        const char* fx = attrib(eq, "fx");
        if (!fx)
            return fail("Missing fx in TF Equation!");
        const char* e = std::strchr(fx, '=');
        if (!e)
            return fail("Missing equaity sign '=' in fx part of TF Equation! TF must be in form y/=f(s)");
        const char* slash = std::strchr(fx, '/');
        if (!slash)
            return fail("Missing division sign '/' in fx part of TF Equation! TF must be in form y/=f(s)");
        if (slash > e)
            return fail("Missing division sign '/' in left part of TF Equation! TF must be in form y/=f(s)");
        if (const td::UINT4 second = findAssignment(fx, static_cast<td::UINT4>(e - fx) + 1))
            return fail(sc::msg::txtSecondAssignment, second, fx);
        XmlTFText& text = _xmlTFs[i];
        text.output = trimmed(fx, slash);
        text.input = trimmed(slash + 1, e);
        text.fn = trimmed(e + 1, e + std::strlen(e));
        // So would a second function of one output.
        for (td::UINT4 j = 0; j < i; ++j)
        {
            if (_xmlTFs[j].output == text.output)
                return fail("TF output '@' is the output of another TF already!", text.output);
        }
        _collectsUsedVars = 0;
        this->clearTokens();
        if (!this->parse(text.fn.c_str()))
            return fail("Something wrong with TF expression: @", text.fn);
        Tree* pTree = newTree();
        const bool built = pTree->build(this->getFirstToken());
        const bool formatted = built && pTree->checkTFFormat(_tfs[i].tf);
        releaseTrees();
        if (!built)
            return fail("Cannot make expression for Transfer Function: @", text.fn);
        if (!formatted)
            return fail("Badly formatted transfer function: @", text.fn);
    }
    _collectsUsedVars = 1;
    d.currentSection = 0;
    // f(s) is read again when the rows are made.
    return true;
}

template <typename T>
bool RPNDerivParser<T>::addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues)
{
    DAEVarRecords& records = this->_pSolverData->stores.daeVarRecords;
    for (td::UINT2 k = 1; k <= n; ++k)
    {
        const td::String stage = generatedName(name, "#k", k);
        if (!addGeneratedName(stage))
            return false;
        if (k == 1)
            records[variable].firstStage = this->getSymbolIndex(stage);
        if (pushValues)
            this->_values.push(T(0));
    }
    return true;
}

template <typename T> bool RPNDerivParser<T>::expandVarHistoryTF(td::UINT4 i)
{
    TransferFunction& tf = _tfs[i].tf;
    const XmlTFText& text = _xmlTFs[i];
    const td::UINT2 s = getNumberOfStages();
    tf.firstState = -1;
    for (td::UINT2 k = 0; k < tf.stateCount(); ++k)
    {
        const bool ofOutput = k < tf.denomOrder;
        const int number = ofOutput ? k + 1 : k - tf.denomOrder + 1;
        const td::String state = generatedName(ofOutput ? text.output : text.input, "'x", number);
        if (!addGeneratedName(state))
            return false;
        const td::INT4 index = this->getSymbolIndex(state);
        if (k == 0)
            tf.firstState = index;
        setStateVarType(index, cTFState);
        if (!addIndexedSymbol(state, static_cast<td::UINT4>(index), s, false))
            return false;
    }
    if (tf.isImproper())
    {
        const td::String div = generatedName(text.output, "#div");
        if (!addGeneratedName(div))
            return false;
        setVarType(this->getSymbolIndex(div), cTFAuxiliary);
    }
    return true;
}

template <typename T> void RPNDerivParser<T>::setupTFStates(td::UINT4 i)
{
    const td::UINT4 n = _tfs[i].tf.variableCount(getNumberOfStages());
    for (td::UINT4 k = 0; k < n; ++k)
        this->_values.push(T(0));
}

template <typename T> bool RPNDerivParser<T>::countXmlDAESymbols(td::UINT4& nVars, td::UINT4& nParams)
{
    SolverData<T>& d = *this->_pSolverData;
    const td::UINT2 s = getNumberOfStages();
    td::UINT4 states = d.nDAEStates;
    td::UINT4 nTFVars = 0;
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        const TransferFunction& tf = _tfs[i].tf;
        TD_ASSERT(tf.stateCount() > 0);
        states += tf.stateCount();
        nTFVars += tf.variableCount(s);
    }
    if (states == 0)
        return xmlError("DAE Solver requires either one ODE or TF!");
    nVars += nTFVars + s * d.nDAEStates;
    nParams += states;
    d.nTFVars = nTFVars;
    d.stores.daeVarRecords.reserve(nVars);
    for (td::UINT4 v = 0; v < nVars; ++v)
        d.stores.daeVarRecords[v] = DAEVarRecord{};
    return true;
}

template <typename T> bool RPNDerivParser<T>::readXmlStateNames(const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    _xmlStateNames.clear();
    xml::Node eq = child(odeqs, "Eq");
    for (td::UINT4 i = 0; i < nODE; ++i, eq.nextSameName())
    {
        const char* fx = nullptr;
        td::String name;
        td::UINT4 sign = 0;
        bool integral = false;
        bool ok = splitODEEquation(eq, fx, name, sign, integral);
        if (ok && std::any_of(_xmlStateNames.begin(), _xmlStateNames.end(),
                              [&](const XmlState& st) { return st.name == name; }))
            ok = xmlError("State variable already used!");
        if (!ok)
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
        _xmlStateNames.push_back(XmlState{name, fx, i});
    }
    std::sort(_xmlStateNames.begin(), _xmlStateNames.end(),
              [](const XmlState& a, const XmlState& b) { return std::strcmp(a.name.c_str(), b.name.c_str()) < 0; });
    d.currentSection = 0;
    return true;
}

template <typename T> bool RPNDerivParser<T>::isXmlStateName(const td::String& name) const
{
    return std::binary_search(
        _xmlStateNames.begin(), _xmlStateNames.end(), XmlState{name, nullptr, 0},
        [](const XmlState& a, const XmlState& b) { return std::strcmp(a.name.c_str(), b.name.c_str()) < 0; });
}

template <typename T> bool RPNDerivParser<T>::checkXmlStateNames()
{
    SolverData<T>& d = *this->_pSolverData;
    for (const XmlState& st : _xmlStateNames)
    {
        const td::INT4 index = this->getSymbolIndex(st.name);
        if (index >= 0 && static_cast<td::UINT4>(index) < this->_nVars)
            continue;
        d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
        if (index < 0)
            d.addError("Undeclared state variable:@, found in ODE equation:@", st.name, st.fx);
        else
            d.addError("State variable cannot be declared as a parameter! Variable name=@ in ODEeq=@", st.name, st.fx);
        d.itemLocationText(st.eq, cCurrent);
        d.currentSection = 0;
        return false;
    }
    return true;
}

template <typename T> bool RPNDerivParser<T>::markXmlStates(const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    xml::Node eq = child(odeqs, "Eq");
    for (td::UINT4 i = 0; i < nODE; ++i, eq.nextSameName())
    {
        const char* fx = nullptr;
        td::String name;
        td::INT4 state = -1;
        bool integral = false;
        bool ok = checkODEEquation(eq, fx, name, state, integral) != nullptr;
        if (ok && d.stores.symbolInfo[static_cast<td::UINT4>(state)].varType != 1)
            ok = xmlError("State variable already used!");
        if (!ok)
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
        setStateVarType(state, cODEState);
    }
    d.currentSection = 0;
    return true;
}

template <typename T> bool RPNDerivParser<T>::addXmlHistoryParams()
{
    SolverData<T>& d = *this->_pSolverData;
    DAEVarRecords& records = d.stores.daeVarRecords;
    const cnt::SafeFullVector<SymbolInfo>& info = d.stores.symbolInfo;
    _stateVars.reserve(d.nDAEStates);
    td::UINT4 nStates = 0;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Params);
    for (td::UINT4 v = 0; v < this->_nVars; ++v)
    {
        if (!SymbolInfo::isStateVariable(info[v].varType))
            continue;
        if (info[v].varType == cODEState)
            _stateVars[nStates++] = static_cast<td::INT4>(v);
        const td::String history = generatedName(*this->_symbols.nameAt(v), "@_");
        if (!addGeneratedName(history))
        {
            d.currentSection = 0;
            return false;
        }
        records[v].histParam = this->getSymbolIndex(history) - static_cast<td::INT4>(this->_nVars);
        this->_values.push(T(0));
    }
    d.currentSection = 0;
    TD_ASSERT(nStates == d.nDAEStates);
    TD_ASSERT(this->_values.size() == symbolCount());
    return true;
}

template <typename T> bool RPNDerivParser<T>::checkXmlDAECounts(td::UINT4 nNL)
{
    const SolverData<T>& d = *this->_pSolverData;
    const td::UINT2 s = getNumberOfStages();
    td::UINT4 n = d.nDAEStates * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        const TransferFunction& tf = _tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _nEquations = n;
    return n == this->_nVars || xmlError("Number of unknows and number of equations do not match");
}

template <typename T> bool RPNDerivParser<T>::expandXmlTF(td::UINT4 i, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *this->_pSolverData;
    TransferFunction& tf = _tfs[i].tf;
    const XmlTFText& text = _xmlTFs[i];
    // An entry (none for a text that builds no tree), then the function's location.
    auto fail = [&](const char* message, const auto&... args) {
        if (message)
            d.addError(message, args...);
        d.itemLocationText(i, cCurrent);
        return false;
    };
    const td::INT4 y = this->getSymbolIndex(text.output);
    if (y < 0)
        return fail("TF output '@' was not declared! It must be declared as a variable!", text.output);
    if (static_cast<td::UINT4>(y) >= this->_nVars)
        return fail("TF output '@' was declared as a parameter! It must be declared as a variable!", text.output);
    // An output has its equations from its function: an ODE of it would leave another
    // variable without any.
    if (d.stores.symbolInfo[static_cast<td::UINT4>(y)].varType == 3)
        return fail("TF output '@' is the state variable of an ODE! It cannot be a TF output too!", text.output);
    const td::INT4 u = this->getSymbolIndex(text.input);
    if (u < 0)
        return fail("TF input '@' was not declared! It must be declared as a variable!", text.input);
    tf.output = static_cast<td::UINT4>(y);
    tf.input = static_cast<td::UINT4>(u);
    d.stores.daeVarRecords[tf.output].firstTFState = tf.firstState;

    beginUsedVars();
    this->clearTokens();
    Tree* pTree = this->parse(text.fn.c_str()) ? newTree() : nullptr;
    if (!pTree || !pTree->build(this->getFirstToken()))
    {
        releaseTrees();
        return fail(nullptr);
    }
    td::INT4 position = 0;
    const TFFailure failure = realiseTransferFunction(*pTree, tf, row, nonZeros, position);
    releaseTrees();
    const td::String& y0 = text.output;
    const td::String& u0 = text.input;
    const td::String& f = text.fn;
    switch (failure)
    {
    case TFFailure::None: return true;
    case TFFailure::Polynomials:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly!", y0, u0, f);
    case TFFailure::DenomLaplace:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly! Problem is in denominator pos @!",
                    y0, u0, f, position);
    case TFFailure::NomLaplace:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly! Problem is in noninator pos @!", y0,
                    u0, f, position);
    case TFFailure::StateSpace:
        return fail("Cannot create state space model for TF with output=@, input=@, and tf=@!", y0, u0, f);
    default:
        // A discretised row that cannot be compiled.
        return fail("Cannot create equations for TF with output=@, input=@, and tf=@!", y0, u0, f);
    }
}

template <typename T>
bool RPNDerivParser<T>::expandXmlODEs(const xml::Node& odeqs, td::UINT4 nODE, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    Tree tree;
    xml::Node eq = child(odeqs, "Eq");
    bool ok = true;
    for (td::UINT4 i = 0; ok && i < nODE; ++i, eq.nextSameName())
    {
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = checkODETerm(eq, tree, pIntegral, i, false);
        typename Tree::Node* rows[4] = {};
        td::UINT4 nRows = 0;
        ok = state >= 0 && discretize(tree, pIntegral, static_cast<td::UINT4>(state), i, rows, nRows);
        for (td::UINT4 k = 0; ok && k < nRows; ++k)
        {
            ok = compileRow(rows[k], row++, nonZeros) ||
                 xmlError("Cannot create Jacobian entry for ODE equation: @", attrib(eq, "fx"));
        }
        tree.reset(d.treeOption != 0);
        releaseTrees();
        if (!ok)
            d.itemLocationText(i, cCurrent);
    }
    d.currentSection = 0;
    return ok;
}

template <typename T> bool RPNDerivParser<T>::loadDAEModel(const xml::Node& root)
{
    SolverData<T>& d = *this->_pSolverData;
    if (!checkModelHeader(root, "DAE") || !checkXmlSections(root, ModelKind::DAE))
        return false;
    d.dynamics = 2;
    loadIntegrationMethod(root);
    if (!loadStats(root) || !loadRndGens(root))
        return false;
    const xml::Node tfs = child(root, "TFs");
    const xml::Node odeqs = child(root, "ODEqs");
    const td::UINT4 nTF = countChildren(tfs, "Eq");
    const td::UINT4 nODE = countChildren(odeqs, "Eq");
    if (nTF == 0 && nODE == 0)
        return xmlError("Missing both ODE and TF equaitons in DAE model!");
    _tfs.reserve(nTF);
    _xmlTFs.assign(nTF, XmlTFText{});
    if (nTF > 0 && !loadTF(tfs))
        return false;
    d.nDAEStates = nODE;
    const bool stages = getNumberOfStages() > 0;
    if (stages && nODE > 0 && !readXmlStateNames(odeqs, nODE))
        return false;
    bool ok = loadVarsAndParams(child(root, "Vars"), child(root, "Params"));
    ok = ok && (stages || nODE == 0 || markXmlStates(odeqs, nODE)) && addXmlHistoryParams();
    if (!ok)
    {
        this->clearShortNames();
        return false;
    }
    addStatusSymbols();
    TD_ASSERT(d.results.indexOfTParam >= 0 && d.results.indexOfDeltaTParam >= 0);
    const xml::Node nlEqs = child(root, "NLEqs");
    const td::UINT4 nNL = countChildren(nlEqs, "Eq");
    if (!checkXmlDAECounts(nNL))
    {
        this->clearShortNames();
        return false;
    }
    d.stores.equations.reserve(_nEquations);
    d.stores.jacobian.reserve(5 * _nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    for (td::UINT4 i = 0; ok && i < nTF; ++i)
        ok = expandXmlTF(i, row, nonZeros);
    this->clearShortNames();
    d.currentSection = 0;
    if (!ok || !expandXmlODEs(odeqs, nODE, row, nonZeros))
        return false;

    d.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    xml::Node eq = child(nlEqs, "Eq");
    for (td::UINT4 i = 0; i < nNL; ++i, eq.nextSameName())
    {
        if (!loadEquation(eq, row++, nonZeros, cNLEquation))
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
    }
    TD_ASSERT(row == _nEquations);
    d.currentSection = 0;
    if (!loadPreProc(root) || !loadLimits(root) || !loadPostProc(root))
        return false;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Init);
    ok = loadInitModels(root);
    d.currentSection = 0;
    return ok;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
