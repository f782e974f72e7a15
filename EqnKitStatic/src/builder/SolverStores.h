// The stores a solver owns and the model builder fills for one load: symbols and their
// values, the evaluator pools, compiled equations, statements, limits, generators,
// statistics and the text logs. The build context is a view of them.
#pragma once

#include <complex>

#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/SymbolInfo.h>
#include <td/String.h>
#include <td/Types.h>

#include "DAEVarRecord.h"
#include "EquationRows.h"
#include "ErrorLog.h"
#include "Evaluator.h"
#include "EvaluatorSparseMatrix.h"
#include "EvaluatorVect.h"
#include "FnLimit.h"
#include "ISolverServices.h"
#include "RndGenManager.h"
#include "StatisticsStore.h"
#include "SymbolMap.h"

namespace sl
{
// One group of the Limits section: n consecutive statement records from pFirst.
template <typename T> struct LimitGroup
{
    Evaluator<T>* pFirst = nullptr;
    td::String name;
    td::UINT4 n = 0;
    td::BYTE enabled = 1;
};

// Settings of the solver that a build reads (and the pivot flag that it clears).
struct BuildSettings
{
    td::INT4 indexOfTParam = -1;
    td::INT4 indexOfDeltaTParam = -1;
    // Line of the model in the model text: every error entry of the solver carries it.
    td::UINT4 line = 0;
    td::BYTE inputKind = 0;
    td::BYTE buildOptions[3] = {};
    td::BYTE pivot = 0;
    // Complex build: variable 2k is followed by its conjugate partner 2k + 1.
    td::BYTE conjugatePartners = 0;
    // The equation-count checks of the builds are lifted (ISolver::skipInitialValues).
    td::BYTE skipCountChecks = 0;
};

// Owned by one solver, which implements ISolverServices over it; every evaluator record,
// list and generator of a built model lives here until the next build or the solver's end.
template <typename T> struct SolverStores
{
    // Statement lists by section.
    enum Section : td::BYTE
    {
        ReInit = 0,
        PreProc = 1,
        IterPostProc = 2,
        BasePostProc = 3,
        PostProc = 4,
        Repeat = 5,
        cSections = 6
    };

    static constexpr td::UINT4 cEvaluatorBlock = 1023;
    static constexpr td::UINT4 cInstructionBlock = 8190;
    static constexpr td::UINT4 cRowBlock = 255;

    SolverStores() = default;
    SolverStores(const SolverStores&) = delete;
    SolverStores& operator=(const SolverStores&) = delete;

    // Binds the lists and matrices that evaluate to the solver that owns the stores.
    void bind(ISolverServices<T>* pSolver);

    // Empties everything a build fills and hands the pools out again. A record count
    // other than 0 and other than the last one makes the evaluator records anew, in
    // blocks of that count.
    void beginBuild(td::UINT4 nRecords);

    // The symbol counts of the build, with room for the values and the solver-status
    // symbols after them; the counts must still be zero.
    void setSize(td::UINT4 nVariables, td::UINT4 nParameters);
    // Variables, parameters and the solver-status symbols.
    td::UINT4 getNumberOfValues() const { return nVars + nParams + ISolverServices<T>::cStatusSymbols; }

    // Symbols: names by index with their lookup, values (variables, parameters, status
    // symbols), three bytes of kind per variable and parameter.
    SymbolMap symbols;
    cnt::PushBackVector<T> values;
    cnt::SafeFullVector<sc::SymbolInfo> symbolInfo;
    td::UINT4 nVars = 0;
    td::UINT4 nParams = 0;

    // Evaluator records and their code (operands in place).
    cnt::List<Evaluator<T>> evaluators{cEvaluatorBlock};
    cnt::List<CodeUnit> instructions{cInstructionBlock};
    // The Jacobian entries' records and code, apart, so that each walk reads its own area
    // from start to end.
    cnt::List<Evaluator<T>> jacobianEvaluators{cEvaluatorBlock};
    cnt::List<CodeUnit> jacobianInstructions{cInstructionBlock};
    // The programs of the equations evaluated with their Jacobian entries, apart too.
    cnt::List<Evaluator<T>> rowEvaluators{cRowBlock};
    cnt::List<CodeUnit> rowInstructions{cInstructionBlock};
    // The record count the evaluator blocks were made for (0: the default blocks).
    td::UINT4 evaluatorCount = 0;

    // The compiled model.
    EvaluatorVect<T> equations;
    EvaluatorSparseMatrix<T> jacobian;
    EquationRows<T> rows;
    EvaluatorVect<T> constraints;
    EvaluatorSparseMatrix<T> constraintJacobian;
    EvaluatorVect<T> sections[cSections];
    cnt::SafeFullVector<LimitGroup<T>> limitGroups;
    // DAE models: one record per variable (fresh records hold -1).
    DAEVarRecords daeVarRecords;
    FnLimits<T> fnLimits;
    RndGenManager generators;
    StatisticsStore<T> statistics;

    ErrorLog errorLog;
    td::String modelDescription;
    BuildSettings settings;
};

extern template struct SolverStores<double>;
extern template struct SolverStores<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using SolverStores = sl::SolverStores<double>;
using LimitGroup = sl::LimitGroup<double>;
} // namespace slDbl

namespace slCmplx
{
using SolverStores = sl::SolverStores<std::complex<double>>;
using LimitGroup = sl::LimitGroup<std::complex<double>>;
} // namespace slCmplx
