// Model objects: creation, release, and the value, name and index operations, which check
// their arguments and then go to the solver.
#include "BaseModel.h"

#include <cstdint>

#include <sc/SCLib.h>

#include "ModelKeys.h"

bool s_namingsInitialised = false;

template <typename T, typename I, typename S>
BaseModel<T, I, S>::BaseModel(S* pSolver, SolverMaker makeSolver, int maxIter)
    : _pSolver(pSolver), _makeSolver(makeSolver), _maxIter(maxIter)
{
    TD_ASSERT(pSolver != nullptr && makeSolver != nullptr);
    if (s_namingsInitialised)
        return;
    sc::reserveNamings(1);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
    s_namingsInitialised = true;
}

template <typename T, typename I, typename S> BaseModel<T, I, S>::~BaseModel()
{
    if (_pSolver)
        _pSolver->release();
}

template <typename T, typename I, typename S> void BaseModel<T, I, S>::release() { delete this; }

template <typename T, typename I, typename S> void BaseModel<T, I, S>::reportKey(const char* key)
{
    if (sc::ILog* pLog = _pSolver->getLog())
        pLog->showKey(key, sc::ILog::Error);
}

template <typename T, typename I, typename S> void BaseModel<T, I, S>::setSolutionOptions(const sc::so& options)
{
    _pSolver->setSolutionOptions(options);
}

template <typename T, typename I, typename S> void BaseModel<T, I, S>::setLogger(sc::ILog* pLog)
{
    _pSolver->setLogger(pLog);
}

template <typename T, typename I, typename S> td::UINT4 BaseModel<T, I, S>::getNumberOfVariables()
{
    return _pSolver->getNumberOfVariables();
}

template <typename T, typename I, typename S> td::UINT4 BaseModel<T, I, S>::getNumberOfParameters()
{
    return _pSolver->getNumberOfParameters();
}

template <typename T, typename I, typename S> int BaseModel<T, I, S>::getVariableIndex(const td::String& varName)
{
    return varName.isEmpty() ? -1 : _pSolver->getSymbolIndex(varName.c_str());
}

template <typename T, typename I, typename S> int BaseModel<T, I, S>::getParameterIndex(const td::String& paramName)
{
    return paramName.isEmpty() ? -1 : _pSolver->getParameterIndex(paramName.c_str());
}

template <typename T, typename I, typename S> cnt::SafeFullVector<td::String> BaseModel<T, I, S>::getVariableNames()
{
    cnt::SafeFullVector<td::String> names(_pSolver->getNumberOfVariables());
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = td::String(_pSolver->getVariableName(static_cast<td::INT4>(i)));
    return names;
}

template <typename T, typename I, typename S> cnt::SafeFullVector<td::String> BaseModel<T, I, S>::getParameterNames()
{
    cnt::SafeFullVector<td::String> names(_pSolver->getNumberOfParameters());
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = td::String(_pSolver->getParameterName(static_cast<td::UINT4>(i)));
    return names;
}

template <typename T, typename I, typename S>
cnt::SafeFullVector<td::UINT4> BaseModel<T, I, S>::getOutputSymbolIndices()
{
    cnt::SafeFullVector<td::UINT4> indices(_pSolver->getNumberOfOutputSymbols());
    if (!indices.empty())
        _pSolver->getOutputSymbolIndices(indices);
    return indices;
}

template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::allSymbolIndices(const cnt::SafeFullVector<td::UINT4>& symbIndices)
{
    // Counted in 64 bits: the two counts together may pass the 32-bit range.
    std::uint64_t nSymbols = std::uint64_t(_pSolver->getNumberOfVariables()) + _pSolver->getNumberOfParameters();
    for (td::UINT4 index : symbIndices)
        if (index >= nSymbols)
            return false;
    return true;
}

template <typename T, typename I, typename S> cnt::SafeFullVector<td::String> BaseModel<T, I, S>::getOutputSymbolNames(
    const cnt::SafeFullVector<td::UINT4>& symbIndices)
{
    cnt::SafeFullVector<td::String> names;
    if (symbIndices.empty() || symbIndices.size() != _pSolver->getNumberOfOutputSymbols())
        return names;
    if (!allSymbolIndices(symbIndices))
    {
        reportKey(simHost::msg::symbNames);
        return names;
    }
    names.reserve(symbIndices.size());
    for (std::size_t i = 0; i < symbIndices.size(); ++i)
    {
        const char* name = _pSolver->getSymbolName(static_cast<td::INT4>(symbIndices[i]));
        if (!name)
        {
            reportKey(simHost::msg::symbNames);
            names.clean();
            return names;
        }
        names[i] = td::String(name);
    }
    return names;
}

template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::getParameterValues(const cnt::SafeFullVector<td::UINT4>& indices, cnt::SafeFullVector<T>& out)
{
    if (indices.empty())
        return true;
    td::UINT4 nParams = _pSolver->getNumberOfParameters();
    const T* pParams = nParams > 0 ? _pSolver->getParameterValuesPtr() : nullptr;
    out.reserve(indices.size());
    bool ok = true;
    for (std::size_t i = 0; i < indices.size(); ++i)
    {
        if (indices[i] < nParams)
        {
            out[i] = pParams[indices[i]];
            continue;
        }
        out[i] = T(0);
        reportKey(simHost::msg::paramValues);
        ok = false;
    }
    return ok;
}

namespace
{
// out takes n values from p.
template <typename T> void copyOut(const T* p, std::size_t n, cnt::SafeFullVector<T>& out)
{
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = p[i];
}
} // namespace

template <typename T, typename I, typename S>
void BaseModel<T, I, S>::getAllParameterValues(cnt::SafeFullVector<T>& out)
{
    td::UINT4 n = _pSolver->getNumberOfParameters();
    copyOut(n > 0 ? _pSolver->getParameterValuesPtr() : nullptr, n, out);
}

template <typename T, typename I, typename S> void BaseModel<T, I, S>::getVariableValues(cnt::SafeFullVector<T>& out)
{
    td::UINT4 n = _pSolver->getNumberOfVariables();
    copyOut(n > 0 ? _pSolver->getVariableValuesPtr() : nullptr, n, out);
}

template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::getOutputSymbolValues(const cnt::SafeFullVector<td::UINT4>& symbIndices,
                                               cnt::SafeFullVector<T>& out)
{
    if (symbIndices.size() != _pSolver->getNumberOfOutputSymbols())
    {
        out.clean();
        return false;
    }
    out.reserve(symbIndices.size());
    for (std::size_t i = 0; i < symbIndices.size(); ++i)
    {
        // An index beyond the signed range turns negative, which the solver refuses.
        if (!_pSolver->getSymbolValue(static_cast<td::INT4>(symbIndices[i]), out[i]))
        {
            out.clean();
            reportKey(simHost::msg::symbValues);
            return false;
        }
    }
    return true;
}

// The solver's setters raise its values-changed flag, so a kept factorisation is renewed.
template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::setVariableValues(const cnt::SafeFullVector<T>& values)
{
    td::UINT4 nVars = _pSolver->getNumberOfVariables();
    if (values.size() < nVars)
    {
        reportKey(simHost::msg::tooFewVarValues);
        return false;
    }
    for (td::UINT4 i = 0; i < nVars; ++i)
        _pSolver->setVariableValue(static_cast<td::INT4>(i), values[i]);
    return true;
}

template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::setParameterValues(const cnt::SafeFullVector<td::UINT4>& indices,
                                            const cnt::SafeFullVector<T>& values)
{
    if (indices.empty())
        return true;
    if (values.size() < indices.size())
    {
        reportKey(simHost::msg::tooFewParamValues);
        return false;
    }
    td::UINT4 nParams = _pSolver->getNumberOfParameters();
    bool ok = true;
    for (std::size_t i = 0; i < indices.size(); ++i)
    {
        if (indices[i] < nParams)
        {
            _pSolver->setParameterValue(static_cast<td::INT4>(indices[i]), values[i]);
            continue;
        }
        reportKey(simHost::msg::wrongParamIndex);
        ok = false;
    }
    return ok;
}

// Model loading, in a file of its own: the class is instantiated here, once, over every
// member.
#include "BaseModelLoad.inl"

template class BaseModel<double, sc::IStatic, sc::ISolver<double>>;
template class BaseModel<std::complex<double>, sc::IStatic, sc::ISolver<std::complex<double>>>;
template class BaseModel<double, sc::IDynamic, sc::ISolver<double>>;
