// The solver base: the build road of every kind and the child models a build makes, values
// and names by index and by name, status, signals, the error log, symbol updates of
// statements, the statement lists and the solver-status places.
#include "Solver.h"

#include <cfloat>
#include <cstdio>

#include <sc/MessageKeys.h>
#include <sc/SolverTypes.h>
#include <sc/TokenizedModel.h>

#include "CU.h"
#include "LimitBounds.h"
#include "RPNDerivParser.h"

namespace sl
{
template <typename T> td::UINT2 Solver<T>::saturatedMaxIter(td::LINT8 maxIter)
{
    if (maxIter < 0)
        return 0;
    return maxIter > 0xFFFF ? td::UINT2(0xFFFF) : static_cast<td::UINT2>(maxIter);
}

template <typename T> Solver<T>::Solver(sc::ILog* pLog) : _pLog(pLog), _residualNorm(DBL_MAX) { _stores.bind(this); }

template <typename T> Solver<T>::~Solver()
{
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
}

// ---- values and names ----

template <typename T> void Solver<T>::attachMonitor(sc::SolverMonitor<T>* pMonitor)
{
    _pMonitor = pMonitor;
    if (!pMonitor)
        return;
    _traceLevel = pMonitor->traceLevel;
    pMonitor->nVars = _stores.nVars;
    pMonitor->nParams = _stores.nParams;
    getOutputSymbolIndices(pMonitor->outputSymbols);
    pMonitor->solverType = static_cast<td::BYTE>(_type);
    pMonitor->pSymbolKinds = &_stores.symbolInfo;
    pMonitor->pValues = _stores.values.data();
}

template <typename T> void Solver<T>::copyVariableValues(T* out)
{
    const T* p = _stores.values.data();
    for (td::UINT4 i = 0; p && i < _stores.nVars; ++i)
        out[i] = p[i];
}

template <typename T> void Solver<T>::copyParameterValues(T* out)
{
    const T* p = getParameterValuesPtr();
    for (td::UINT4 i = 0; p && i < _stores.nParams; ++i)
        out[i] = p[i];
}

template <typename T> T* Solver<T>::getParameterValuesPtr()
{
    T* p = _stores.values.data();
    return p ? p + _stores.nVars : nullptr;
}

// Every index of the value array has its name for messages: the symbols the build
// generated and the solver-status symbols too.
template <typename T> const char* Solver<T>::getSymbolName(td::INT4 index)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.symbols.getNumberOfNames())
        return nullptr;
    const td::String* pName = _stores.symbols.nameAt(static_cast<td::UINT4>(index));
    return pName->isEmpty() ? nullptr : pName->c_str();
}

template <typename T> const char* Solver<T>::getParameterName(td::UINT4 index)
{
    TD_ASSERT(index < _stores.nParams);
    return _stores.symbols.nameAt(_stores.nVars + index)->c_str();
}

template <typename T> const char* Solver<T>::getVariableName(td::INT4 index)
{
    TD_ASSERT(index >= 0);
    TD_ASSERT(static_cast<td::UINT4>(index) < _stores.nVars);
    return _stores.symbols.nameAt(static_cast<td::UINT4>(index))->c_str();
}

// Only variables and parameters: the solver-status symbols are the model's to read.
template <typename T> td::INT4 Solver<T>::getSymbolIndex(const char* name)
{
    if (!name)
        return -1;
    const td::INT4 i = _stores.symbols.find(name);
    return i >= 0 && static_cast<td::UINT4>(i) < _stores.nVars + _stores.nParams ? i : -1;
}

template <typename T> bool Solver<T>::setVariableValue(const char* name, T value)
{
    const td::INT4 i = getSymbolIndex(name);
    return i >= 0 && static_cast<td::UINT4>(i) < _stores.nVars && setVariableValue(i, value);
}

template <typename T> bool Solver<T>::setVariableValue(td::INT4 index, T value)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.nVars)
        return false;
    _stores.values[static_cast<std::size_t>(index)] = value;
    _valuesChanged = 1;
    return true;
}

template <typename T> bool Solver<T>::getVariableValue(const char* name, T& out)
{
    const td::INT4 i = getSymbolIndex(name);
    return i >= 0 && static_cast<td::UINT4>(i) < _stores.nVars && getVariableValue(i, out);
}

template <typename T> bool Solver<T>::getVariableValue(td::INT4 index, T& out)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.nVars)
        return false;
    out = _stores.values[static_cast<std::size_t>(index)];
    return true;
}

template <typename T> td::INT4 Solver<T>::getParameterIndex(const char* name)
{
    return getSymbolIndex(name) - static_cast<td::INT4>(_stores.nVars);
}

template <typename T> bool Solver<T>::setParameterValue(const char* name, T value)
{
    const td::INT4 i = getParameterIndex(name);
    return i >= 0 && setParameterValue(i, value);
}

template <typename T> bool Solver<T>::setParameterValue(td::INT4 index, T value)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.nParams)
        return false;
    _stores.values[_stores.nVars + static_cast<std::size_t>(index)] = value;
    _valuesChanged = 1;
    return true;
}

template <typename T> bool Solver<T>::getSymbolValue(td::INT4 index, T& out)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.nVars + _stores.nParams)
        return false;
    out = _stores.values[static_cast<std::size_t>(index)];
    return true;
}

template <typename T> bool Solver<T>::getParameterValue(const char* name, T& out)
{
    const td::INT4 i = getParameterIndex(name);
    return i >= 0 && getParameterValue(i, out);
}

template <typename T> bool Solver<T>::getParameterValue(td::INT4 index, T& out)
{
    if (index < 0 || static_cast<td::UINT4>(index) >= _stores.nParams)
        return false;
    out = _stores.values[_stores.nVars + static_cast<std::size_t>(index)];
    return true;
}

// ---- settings, names and logs ----

template <typename T> void Solver<T>::setEps(double eps)
{
    if (eps > 0)
        _eps = eps;
}

template <typename T>
td::INT4 Solver<T>::formatJacobianLabel(char* buf, std::size_t size, td::INT4 eqIndex, td::INT4 varIndex)
{
    return std::snprintf(buf, size, "d(Eq%d)/d(%s)=", eqIndex, getVariableName(varIndex));
}

namespace
{
// Appends what fits below the string length limit; the logs of a model and its children
// may pass it together.
void appendCut(td::MutableString& out, const char* text, td::UINT4 n)
{
    const td::UINT4 room = td::priv::cMaxStringLength - out.length();
    // append reads a count of 0 as the text's own length.
    if (n > 0 && room > 0)
        out.append(text, n < room ? n : room);
}
} // namespace

template <typename T> td::String Solver<T>::getErrorLog()
{
    td::MutableString out;
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (!_children[i])
            continue;
        const td::String child = _children[i]->getErrorLog();
        if (child.isEmpty())
            continue;
        appendCut(out, "\n", 1);
        appendCut(out, child.c_str(), child.length());
    }
    const td::String own = _stores.errorLog.toString();
    if (!own.isEmpty())
    {
        if (out.length() > 0)
            appendCut(out, "\n", 1);
        appendCut(out, own.c_str(), own.length());
    }
    return out.toString();
}

template <typename T> void Solver<T>::setBuildOptions(td::BYTE option1, td::BYTE option2, td::BYTE option3)
{
    _stores.settings.buildOptions[0] = option1;
    _stores.settings.buildOptions[1] = option2;
    _stores.settings.buildOptions[2] = option3;
}

template <typename T> td::UINT4 Solver<T>::getNumberOfOutputSymbols()
{
    td::UINT4 n = 0;
    for (std::size_t i = 0; i < _stores.symbolInfo.size(); ++i)
        n += _stores.symbolInfo[i].kind == sc::SymbolInfo::cOutputSymbol;
    return n;
}

template <typename T> bool Solver<T>::getOutputSymbolIndices(cnt::SafeFullVector<td::UINT4>& out)
{
    const td::UINT4 n = getNumberOfOutputSymbols();
    if (n == 0)
        return true;
    out.reserve(n);
    td::UINT4 k = 0;
    for (std::size_t i = 0; i < _stores.symbolInfo.size(); ++i)
    {
        if (_stores.symbolInfo[i].kind == sc::SymbolInfo::cOutputSymbol)
            out[k++] = static_cast<td::UINT4>(i);
    }
    return true;
}

template <typename T> cnt::SafeFullVector<td::String> Solver<T>::getFunctionNames()
{
    return RPNParser<T>::getFunctionNames();
}

template <typename T> cnt::SafeFullVector<td::String> Solver<T>::getOperatorWords()
{
    return RPNParser<T>::getOperatorWords();
}

template <typename T> void Solver<T>::showLogEntry(const sc::ILog::LE& entry, sc::ILog::Type type)
{
    if (_pLog)
        _pLog->showEntry(entry, type);
}

template <typename T> void Solver<T>::reportKey(const char* key)
{
    if (_pLog)
        _pLog->showKey(key, sc::ILog::Error);
}

template <typename T>
void Solver<T>::reportAtModel(const char* key, const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const Place at = modelPlace(model, level);
    if (_pLog)
        _pLog->showKeyAt(key, at.line, at.column, sc::ILog::Error);
}

// ---- signals and symbol updates ----

template <typename T> void Solver<T>::signal(td::BYTE kind)
{
    TD_ASSERT(kind < cSignalKinds);
    ++_signalCounts[kind];
    if (_pSignalListener)
        _pSignalListener->signal(kind);
}

template <typename T> void Solver<T>::clearSignalCounts()
{
    for (td::UINT4& n : _signalCounts)
        n = 0;
}

template <typename T> bool Solver<T>::anySignal() const
{
    for (td::UINT4 n : _signalCounts)
    {
        if (n != 0)
            return true;
    }
    return false;
}

template <typename T> void Solver<T>::updateSymbolValue(const T* value, td::INT4 symbIndex, char op, ValuePart part)
{
    TD_ASSERT(symbIndex >= 0);
    TD_ASSERT(static_cast<td::UINT4>(symbIndex) < _stores.nVars + _stores.nParams);
    TD_ASSERT(_stores.values.data());
    T& target = _stores.values[static_cast<std::size_t>(symbIndex)];
    if constexpr (Traits::isComplex)
    {
        if (part != ValuePart::Whole)
        {
            double p = part == ValuePart::Real ? target.real() : target.imag();
            Evaluator<double>::applyAssignment(p, value->real(), op);
            part == ValuePart::Real ? target.real(p) : target.imag(p);
            return;
        }
    }
    Evaluator<T>::applyAssignment(target, *value, op);
}

// ---- statement lists and start values ----

template <typename T> bool Solver<T>::runSection(Section section)
{
    EvaluatorVect<T>& list = _stores.sections[section];
    return list.empty() || list.execute(this);
}

template <typename T> bool Solver<T>::evalRepeat()
{
    EvaluatorVect<T>& list = _stores.sections[SolverStores<T>::Repeat];
    return !list.empty() && !list.execute(this);
}

template <typename T> bool Solver<T>::refusedNaNBound()
{
    const td::UINT4 id = _stores.fnLimits.takeNaNBound();
    if (id == 0)
        return false;
    const LimitBounds<T> bounds(_stores);
    if (_pLog)
        bounds.showKey(id, *_pLog);
    bounds.addEntry(id, static_cast<td::BYTE>(ErrorSection::RTSolution));
    _status = sc::Solution::SolutionError;
    return true;
}

template <typename T> void Solver<T>::runLimitGroup(const LimitGroup<T>& group)
{
    CU<T> cu(this);
    cu.setSignalReceiver(this);
    for (td::UINT4 i = 0; i < group.n; ++i)
    {
        if (!group.pFirst[i].execute(cu))
            return;
    }
}

template <typename T> void Solver<T>::keepStartValues()
{
    const td::UINT4 n = _stores.nVars;
    _startValues.reserve(n);
    for (td::UINT4 i = 0; i < n; ++i)
        _startValues[i] = _stores.values[i];
}

template <typename T> void Solver<T>::restoreStartValues()
{
    const td::UINT4 n = static_cast<td::UINT4>(_startValues.size());
    for (td::UINT4 i = 0; i < n && i < _stores.nVars; ++i)
        _stores.values[i] = _startValues[i];
}

template <typename T> void Solver<T>::copyFromParent()
{
    if (!_pParent || _copyParsCount == 0)
        return;
    const T* pFrom = _pParent->getParameterValuesPtr();
    T* pTo = getParameterValuesPtr();
    for (td::UINT4 i = 0; i < _copyParsCount; ++i)
    {
        if (i >= _pParent->_stores.nParams || _copyParsFirst + i >= _stores.nParams)
            break;
        pTo[_copyParsFirst + i] = pFrom[i];
    }
}

// ---- solver-status places ----

template <typename T> T& Solver<T>::statusPlace(td::BYTE k)
{
    return _stores.values[_stores.nVars + _stores.nParams + k];
}

// A model reads where its solve stands whether or not a progress record is attached.
template <typename T> void Solver<T>::writeStatusPlaces()
{
    statusPlace(PlaceRepetition) = T(static_cast<double>(_repetition));
    statusPlace(PlaceAuxiliary) = T(static_cast<double>(_auxCounter));
    statusPlace(PlacePass) = T(static_cast<double>(_pass));
    statusPlace(PlaceIterations) = T(static_cast<double>(_iterationsInPass));
    statusPlace(PlaceTotalIterations) = T(static_cast<double>(_totalIterations));
    statusPlace(PlaceStatus) = T(static_cast<double>(_status));
}

template <typename T> void Solver<T>::setRepetition(td::UINT4 r)
{
    _repetition = r;
    statusPlace(PlaceRepetition) = T(static_cast<double>(r));
    if (_pMonitor)
        _pMonitor->repetition = r;
}

template <typename T> void Solver<T>::setPass(td::UINT2 pass)
{
    _pass = pass;
    statusPlace(PlacePass) = T(static_cast<double>(pass));
    if (_pMonitor)
        _pMonitor->pass = pass;
}

// ---- time parameters ----

template <typename T> double Solver<T>::readParameter(td::INT4 index) const
{
    if (!isParameter(index) || _stores.values.empty())
        return 0.0;
    return realPart(_stores.values[_stores.nVars + static_cast<td::UINT4>(index)]);
}

template <typename T> void Solver<T>::writeParameter(td::INT4 index, double value)
{
    if (isParameter(index) && !_stores.values.empty())
        _stores.values[_stores.nVars + static_cast<td::UINT4>(index)] = T(value);
}

template <typename T> void Solver<T>::injectTime(double t, double dT)
{
    TD_ASSERT(_stores.settings.indexOfDeltaTParam >= 0);
    TD_ASSERT(_stores.settings.indexOfTParam >= 0);
    TD_ASSERT(!_stores.values.empty());
    setTimeParam(t);
    setDeltaTParam(dT);
}

template <typename T> bool Solver<T>::restartTime(double t0, double dT)
{
    if (!hasDeltaTParam())
    {
        reportKey(sc::msg::scNoDeltaTSpecified);
        return false;
    }
    if (!(dT > 0))
    {
        reportKey(sc::msg::scZeroOrNegDeltaT);
        return false;
    }
    setTimeParam(t0);
    setDeltaTParam(dT);
    return true;
}

// ---- the build road ----

template <typename T> bool Solver<T>::init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel)
{
    TD_ASSERT(pNaming);
    BuildInput in;
    in.pNaming = pNaming;
    in.pModel = &model;
    in.level = mainModel ? sc::ModelLevel::Main : sc::ModelLevel::Sub;
    return build(in);
}

template <typename T> bool Solver<T>::initFromXML(const td::String& source, td::BYTE inputKind)
{
    BuildInput in;
    in.pSource = &source;
    in.inputKind = inputKind;
    return build(in);
}

template <typename T> bool Solver<T>::buildFromXmlElement(const xml::Node& element)
{
    BuildInput in;
    in.level = sc::ModelLevel::Sub;
    in.pElement = &element;
    return build(in);
}

template <typename T> bool Solver<T>::build(const BuildInput& in)
{
    beginBuild();
    if (in.pSource)
    {
        _stores.settings.inputKind = in.inputKind;
        _reInit = 0;
    }
    RPNDerivParser<T> builder(_stores);
    SolverData<T> data(_stores, *this);
    builder.bindSolverData(data, in.pModel, in.level);
    prepareBuild(data);
    if (in.pModel)
        readReInit(*in.pModel, in.level);
    const BuildRules rules = buildRules();
    if (!runBuilder(builder, data, in) || !checkLimitBounds(in.pModel != nullptr))
    {
        if (in.pModel)
            reportAtModel(rules.failureKey, *in.pModel, in.level);
        else if (in.pSource)
            addErrorEntry(rules.xmlFailureSection, rules.xmlFailureText);
        return false;
    }
    if (in.pModel)
        applyModelLineSettings(*in.pModel, in.level);
    BuildResults results = builder.results();
    // The tolerance of an XML document stays the solver's unless the kind takes it.
    if (!in.pModel && !rules.xmlEps)
        results.eps = 0;
    takeBuildResults(results);
    return finishBuild(results, in);
}

template <typename T> bool Solver<T>::checkLimitBounds(bool keys)
{
    const LimitBounds<T> bounds(_stores);
    const td::UINT4 id = bounds.findNaN();
    if (id == 0)
        return true;
    // The text road tells of it by its key, the XML road by its error entry.
    if (!keys)
        bounds.addEntry(id, _stores.fnLimits[id]._section);
    else if (_pLog)
        bounds.showKey(id, *_pLog);
    return false;
}

template <typename T> void Solver<T>::beginBuild()
{
    _built = false;
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.clear();
    _startValues.reserve(0);
    _copyParsCount = _copyParsFirst = 0;
    _iterationsInPass = _totalIterations = 0;
    _residualNorm = DBL_MAX;
    dropBuild();
}

template <typename T> void Solver<T>::readReInit(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    bool reInit = false;
    modelLine(model, level).getAttrib(sc::AttribID::ReInit, reInit);
    _reInit = reInit ? 1 : 0;
}

template <typename T> void Solver<T>::applyModelLineSettings(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const sc::TokenizedModel::iterator line = modelLine(model, level);
    double value = 0;
    if (line.getAttrib(sc::AttribID::Eps, value))
        _eps = value;
    if (!(_eps > 0))
        _eps = cDefaultEps;
    if (line.getAttrib(sc::AttribID::MaxIter, value))
        _maxIter = value >= 65535.0 ? td::UINT2(65535) : value >= 1.0 ? static_cast<td::UINT2>(value) : td::UINT2(0);
    if (_maxIter == 0)
        _maxIter = cDefaultMaxIter;
    bool on = false;
    if (line.getAttrib(sc::AttribID::AlwaysOn, on))
        _alwaysOn = on ? 1 : 0;
    if (level != sc::ModelLevel::Sub)
        return;
    _initMain = 1;
    if (line.getAttrib(sc::AttribID::InitMain, on) && !on)
        _initMain = 2;
    _copyParsCount = model.getCopyParamsFromParentToSubModelCopied();
    _copyParsFirst = model.getNumberOfInitialSubProblemParams();
}

template <typename T> void Solver<T>::takeBuildResults(const BuildResults& results)
{
    TD_ASSERT(_stores.nVars == results.nVars);
    TD_ASSERT(_stores.nParams == results.nParams);
    _iterPostProcEveryPass = results.iterPostProcFlag;
    _basePostProcEveryPass = results.basePostProcFlag;
    _stores.settings.indexOfTParam = results.indexOfTParam;
    _stores.settings.indexOfDeltaTParam = results.indexOfDeltaTParam;
    if (results.eps != 0)
        _eps = results.eps;
}

template <typename T> void Solver<T>::addErrorEntry(ErrorSection section, const char* text)
{
    beginErrorEntry(_stores.errorLog, _stores.settings.line, static_cast<td::BYTE>(section));
    _stores.errorLog.append(text);
}

template <typename T> void Solver<T>::beginXmlChildren(td::UINT4 n)
{
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.reserve(n);
}

template <typename T>
typename Solver<T>::SubModelBuild Solver<T>::buildXmlChild(const td::String& typeWord, const td::String& domain,
                                                           td::UINT4 line, const xml::Node& element)
{
    Solver* pChild = create(this, _pLog, typeWord, domain, cDefaultMaxIter, cDefaultEps, line);
    if (!pChild)
        return SubModelBuild::NoSolver;
    // A child that fails stays in the list, as built so far.
    _children.push(pChild);
    const bool built = pChild->getSolverType() == sc::SolverType::NR && pChild->buildFromXmlElement(element);
    // The parent's parameters (its history parameters aside) are the child's first ones; it
    // takes them before every solve. Set after the child's build, which starts from none.
    pChild->_copyParsFirst = 0;
    pChild->_copyParsCount = _stores.nParams - getNumberOfStateVariables();
    return built ? SubModelBuild::Built : SubModelBuild::Failed;
}

template <typename T>
typename Solver<T>::SubModelBuild Solver<T>::buildSubModel(const td::String& typeWord, double eps, td::UINT4 line,
                                                           const sc::Naming& naming, const sc::TokenizedModel& model)
{
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.clear();
    Solver* pChild = create(this, _pLog, typeWord, td::String(), cDefaultMaxIter, eps, line);
    if (!pChild)
        return SubModelBuild::NoSolver;
    _children.push(pChild);
    // The child builds level 1 of the same model; the symbol table is only read.
    return pChild->init(const_cast<sc::Naming*>(&naming), model, false) ? SubModelBuild::Built : SubModelBuild::Failed;
}

template class Solver<double>;
template class Solver<std::complex<double>>;
} // namespace sl
