#include "CompileContext.h"

#include <sc/Naming.h>

namespace sl
{
template <typename T> const char* CompileContext<T>::getSymbolName(td::INT4 index) const
{
    if (!pSolver)
        return "-";
    const char* name = index >= 0 ? findSymbolName(static_cast<td::UINT4>(index), true) : nullptr;
    return name ? name : "";
}

template <typename T> const char* CompileContext<T>::findSymbolName(td::UINT4 index, bool own) const
{
    if (own && pEarlyNaming)
        return earlyName(index);
    ISolverServices<T>* pOwner = pSolver && !own ? pSolver->getParentSolver() : pSolver;
    if (!pOwner || index >= pOwner->getNumberOfValues())
        return nullptr;
    const char* name = pOwner->getSymbolName(static_cast<td::INT4>(index));
    return name ? name : "";
}

template <typename T> const char* CompileContext<T>::earlyName(td::UINT4 index) const
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

template struct CompileContext<double>;
template struct CompileContext<std::complex<double>>;
} // namespace sl
