#include "SolverData.h"

#include <sc/Naming.h>

namespace sl
{
namespace
{
constexpr td::BYTE cCurrentSection = 16;
}

template <typename T> const char* SolverData<T>::getSymbolName(td::INT4 index) const
{
    if (!pSolver)
        return "-";
    const char* name = index >= 0 ? findSymbolName(static_cast<td::UINT4>(index), true) : nullptr;
    return name ? name : "";
}

template <typename T> const char* SolverData<T>::findSymbolName(td::UINT4 index, bool own) const
{
    if (own && pEarlyNaming)
        return earlyName(index);
    ISolverServices<T>* pOwner = pSolver && !own ? pSolver->getParentSolver() : pSolver;
    if (!pOwner || index >= pOwner->getNumberOfValues())
        return nullptr;
    const char* name = pOwner->getSymbolName(static_cast<td::INT4>(index));
    return name ? name : "";
}

template <typename T> const char* SolverData<T>::earlyName(td::UINT4 index) const
{
    const sc::ModelLevel level = earlyLevel;
    const td::UINT4 nVars = pEarlyNaming->getNumberOfVars(level);
    const td::UINT4 nParams = pEarlyNaming->getNumberOfParams(level);
    const td::PoolString* pName = nullptr;
    if (index < nVars)
        pName = pEarlyNaming->getVarName(index, level);
    else if (index - nVars < nParams)
        pName = pEarlyNaming->getParamName(index - nVars, level);
    else
        return ISolverServices<T>::statusSymbolName(index - nVars - nParams);
    return pName ? pName->c_str() : "";
}

template <typename T> void SolverData<T>::logError(const char* key) const
{
    if (sc::ILog* pLogger = getLog())
        pLogger->showKey(key, sc::ILog::Error);
}

template <typename T> const char* SolverData<T>::itemWord() const
{
    switch (static_cast<ErrorSection>(currentSection))
    {
    case ErrorSection::RndGens: return "RndGen";
    case ErrorSection::Vars: return "Var";
    case ErrorSection::Params: return "Par";
    default: return "Eq";
    }
}

template <typename T> bool SolverData<T>::beginLocation(td::BYTE section) const
{
    if (!pErrorLog)
        return false;
    beginErrorEntry(*pErrorLog, entryLine(), section == cCurrentSection ? currentSection : section);
    return true;
}

template <typename T> void SolverData<T>::itemLocationText(td::UINT4 number, td::BYTE section) const
{
    if (beginLocation(section))
        appendSubstituted(*pErrorLog, "@#: @", itemWord(), number);
}

template <typename T>
void SolverData<T>::groupItemLocationText(td::UINT4 group, td::UINT4 number, td::BYTE section) const
{
    if (beginLocation(section))
        appendSubstituted(*pErrorLog, "Group#: @; @#: @", group, itemWord(), number);
}

template struct SolverData<double>;
template struct SolverData<std::complex<double>>;
} // namespace sl
