// What the expression parser and its trees need of a build: the solver's services, where
// records, code and tree nodes come from, the report cursor, the symbol kinds, the sets of
// used variables and the model's dynamics. The model builder's context extends it.
#pragma once

#include <complex>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/SafeFullVector.h>
#include <sc/ModelEnums.h>
#include <sc/SymbolInfo.h>
#include <td/Assert.h>
#include <td/Types.h>

#include "Evaluator.h"
#include "ISolverServices.h"
#include "ParserPools.h"
#include "ReportCursor.h"

namespace sc
{
class Naming;
}

namespace sl
{
// Three bytes per symbol: variable type, numeric type, kind (sc/SymbolInfo.h).
using SymbolInfo = sc::SymbolInfo;

template <typename T> struct CompileContext : ReportCursor
{
    // The unit of evaluator code.
    using Routine = CodeUnit;

    ISolverServices<T>* pSolver = nullptr;
    // The parser's pools (bound by the parser); the stack-link pool once more as the
    // trees' node-link pool.
    ParserPools<T>* pParserPools = nullptr;
    typename ParserPools<T>::NodeLinkPool* pMemMgrETN = nullptr;
    // Where evaluator records and their code (operands in place) go now; a build points
    // them at the area it compiles into.
    cnt::List<Evaluator<T>>* pEvaluatorPool = nullptr;
    cnt::List<Routine>* pInstructionPool = nullptr;
    // The kinds of the symbols: variables first, then parameters.
    cnt::SafeFullVector<SymbolInfo>* pSymbolInfo = nullptr;
    // The variables the equation being compiled uses, and those of the last statement that
    // a limit reads; both are the builder's.
    cnt::FixNumSet* pUsedVars = nullptr;
    cnt::FixNumSet* pLastUsedVarsForLimits = nullptr;
    // While a DAE model's statements are read ahead of its declarations pass, their symbols
    // are numbered as declared (variables, parameters, the solver-status symbols) and take
    // their names from this naming; null otherwise.
    const sc::Naming* pEarlyNaming = nullptr;
    // The model level of the early naming.
    sc::ModelLevel earlyLevel = sc::ModelLevel::Main;
    // 0 static, 1 ODE, 2 DAE.
    td::BYTE dynamics = 0;

    // Name of a symbol (variables first, then parameters); "-" without a solver.
    const char* getSymbolName(td::INT4 index) const;
    // Name of any symbol a tree of this build can hold: of this model (own) or of its
    // parent; the empty text for an empty name, null when the index names no symbol.
    const char* findSymbolName(td::UINT4 index, bool own) const;

    // A record from the evaluator pool, with the record defaults.
    Evaluator<T>* newEvaluator() const
    {
        TD_ASSERT(pEvaluatorPool);
        return pEvaluatorPool->alloc();
    }
    // n consecutive records with the record defaults; null for n of 0.
    Evaluator<T>* newEvaluators(td::UINT4 n) const
    {
        TD_ASSERT(pEvaluatorPool);
        return pEvaluatorPool->alloc(n);
    }

private:
    // A name of the early naming: variables, parameters, then the solver-status symbols.
    const char* earlyName(td::UINT4 index) const;
};

extern template struct CompileContext<double>;
extern template struct CompileContext<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using CompileContext = sl::CompileContext<double>;
using SymbolInfo = sl::SymbolInfo;
} // namespace slDbl

namespace slCmplx
{
using CompileContext = sl::CompileContext<std::complex<double>>;
using SymbolInfo = sl::SymbolInfo;
} // namespace slCmplx
