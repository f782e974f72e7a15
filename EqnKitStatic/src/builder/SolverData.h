// The build context of one model load: the solver being built and pointers into its
// stores (pools, lists, logs, generators, statistics), plus the scalars the builder and
// the solver hand each other. Made on the solver's stack for one load.
#pragma once

#include <complex>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/ILog.h>
#include <sc/ModelEnums.h>
#include <sc/SymbolInfo.h>
#include <td/String.h>
#include <td/Types.h>

#include "DAEVarRecord.h"
#include "ErrorLog.h"
#include "Evaluator.h"
#include "ISolverServices.h"
#include "ParserPools.h"

namespace sc
{
class Naming;
class TokenizedModel;
} // namespace sc

namespace dense
{
template <typename T> class DiagMatrix;
}

namespace sl
{
template <typename T> class EvaluatorVect;
template <typename T> class EvaluatorSparseMatrix;
template <typename T> class EquationRows;
template <typename T> class StatisticsStore;
template <typename T> struct SolverStores;
template <typename T> struct LimitGroup;
template <typename T> class IFigureBuild;
class RndGenManager;
class SymbolMap;

// Three bytes per symbol: variable type, numeric type, kind (sc/SymbolInfo.h).
using SymbolInfo = sc::SymbolInfo;

template <typename T> struct SolverData
{
    // The unit of evaluator code.
    using Routine = CodeUnit;

    // Section lists by index: reinit, PreProc, IterPostProc, BasePostProc, PostProc,
    // (limits are kept elsewhere), repeat.
    static constexpr int cSectionLists = 7;

    ISolverServices<T>* pSolver = nullptr;
    // All stores of the solver being built; the fields below point into them.
    SolverStores<T>* pStores = nullptr;
    union
    {
        // The tokenized model being built.
        const sc::TokenizedModel* pTokenizedModel = nullptr;
        // A figure build has the figure evaluator here instead; the plot builder appends
        // its definitions to the evaluator's list.
        IFigureBuild<T>* pFigureEvaluator;
    };
    cnt::SafeFullVector<SymbolInfo>* pSymbolInfo = nullptr;
    cnt::List<Evaluator<T>>* pEvaluatorPool = nullptr;
    // The code of evaluators, operands in place. The constant and symbol-reference pools
    // are not read: code holds its operands.
    cnt::List<T>* pConstantPool = nullptr;
    cnt::List<td::UINT4>* pReferencePool = nullptr;
    cnt::List<Routine>* pInstructionPool = nullptr;
    // Where the Jacobian entries' records and code go; null: with the other ones.
    cnt::List<Evaluator<T>>* pJacobianEvaluatorPool = nullptr;
    cnt::List<Routine>* pJacobianCodePool = nullptr;
    // The equations evaluated with their Jacobian entries, and where their programs go;
    // null: none are made.
    EquationRows<T>* pRows = nullptr;
    cnt::List<Evaluator<T>>* pRowEvaluatorPool = nullptr;
    cnt::List<Routine>* pRowCodePool = nullptr;
    // The parser's pools (bound by the parser); the stack-link pool once more as the
    // trees' node-link pool.
    ParserPools<T>* pParserPools = nullptr;
    typename ParserPools<T>::NodeLinkPool* pMemMgrETN = nullptr;
    // The parser's symbol store and symbol values (variables first, then parameters).
    SymbolMap* pSymbolMap = nullptr;
    cnt::PushBackVector<T>* pSymbolValues = nullptr;
    EvaluatorVect<T>* pEquations = nullptr;
    cnt::SafeFullVector<td::INT4>* pODEList = nullptr;
    // DAE models: the records of the variables (history parameter, first stage, first
    // transfer-function state), sized to the variables by the declarations pass.
    DAEVarRecords* pDAEVarMap = nullptr;
    EvaluatorSparseMatrix<T>* pJacobian = nullptr;
    dense::DiagMatrix<double>* pWeights = nullptr;
    EvaluatorSparseMatrix<T>* pConstraintJacobian = nullptr;
    EvaluatorVect<T>* pConstraints = nullptr;
    EvaluatorVect<T>* pSectionLists[cSectionLists] = {};
    EvaluatorVect<T>* pXmlPreProc = nullptr;
    EvaluatorVect<T>* pXmlPostProc = nullptr;
    EvaluatorVect<T>* pXmlRepeat = nullptr;
    cnt::SafeFullVector<LimitGroup<T>>* pLimitGroups = nullptr;
    cnt::FixNumSet* pUsedVars = nullptr;
    cnt::FixNumSet* pLastUsedVarsForLimits = nullptr;
    sc::ILog* pLog = nullptr;
    td::String* pModelDesc = nullptr;
    ErrorLog* pErrorLog = nullptr;
    RndGenManager* pRndGenManager = nullptr;
    StatisticsStore<T>* pStatistics = nullptr;
    // While a DAE model's statements are read ahead of its declarations pass, their symbols
    // are numbered as declared (variables, parameters, the solver-status symbols) and take
    // their names from this naming; null otherwise.
    const sc::Naming* pEarlyNaming = nullptr;
    double stepValue = 0;
    double startTime = 0;
    double eps = 0;
    td::INT4 indexOfTParam = -1;
    td::INT4 indexOfDeltaTParam = -1;
    td::INT4 spareIndex = -1;
    td::UINT4 nDAEStates = 0;
    td::UINT4 nTFVars = 0;
    td::UINT4 keyLine = 0;
    td::UINT4 keyColumn = 0;
    td::UINT4 currentLine = 0;
    td::UINT2 namingIndex = 0;
    td::BYTE treeOption = 1;
    td::BYTE inputKind = 0;
    td::BYTE pivotMode = 0;
    td::BYTE buildOption1 = 0;
    td::BYTE buildOption2 = 0;
    td::BYTE dynamics = 0;
    // 0 Euler, 1 trapezoidal, 2 and 3 two- and three-stage Runge-Kutta.
    td::BYTE IntegrationMethod = 1;
    td::BYTE currentSection = 0;
    td::BYTE iterPostProcFlag = 0;
    td::BYTE basePostProcFlag = 0;
    // The XML road sends no keys: the error log holds all it reports.
    td::BYTE keysSilenced = 0;
    // The model level of the early naming.
    sc::ModelLevel earlyLevel = sc::ModelLevel::Main;

    // Line of the entries written now: the model text's statement being built, else the
    // current line.
    td::UINT4 entryLine() const { return keyLine != 0 ? keyLine : currentLine; }
    // The solver's logger; null without a solver or logger, or while keys are silenced.
    sc::ILog* getLog() const { return pSolver && !keysSilenced ? pSolver->getLog() : nullptr; }
    // Name of a symbol (variables first, then parameters); "-" without a solver.
    const char* getSymbolName(td::INT4 index) const;
    // Name of any symbol a tree of this build can hold: of this model (own) or of its
    // parent; the empty text for an empty name, null when the index names no symbol.
    const char* findSymbolName(td::UINT4 index, bool own) const;
    // Sends a key to the solver's logger as an error.
    void logError(const char* key) const;

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

    // Appends an entry at the entry line and the current section; each "@" of the text
    // takes the next argument (C text, td::String, u16, i32, u32 or u64).
    template <typename... Args> void addError(const char* text, const Args&... args) const
    {
        if (!pErrorLog)
            return;
        beginErrorEntry(*pErrorLog, entryLine(), currentSection);
        appendSubstituted(*pErrorLog, text, args...);
    }

    // The same with an explicit line and section, straight into a log.
    static void addErrorEntry(ErrorLog& log, td::UINT2 line, td::BYTE section, const char* text, const td::String& arg1,
                              td::LUINT8 arg2)
    {
        beginErrorEntry(log, line, section);
        appendSubstituted(log, text, arg1, arg2);
    }

    // Starts an entry "<item>#: <number>" in the given section (16: the current one); the
    // item word follows the current section. The caller appends its message.
    void itemLocationText(td::UINT4 number, td::BYTE section) const;
    // The same as "Group#: <group>; <item>#: <number>".
    void groupItemLocationText(td::UINT4 group, td::UINT4 number, td::BYTE section) const;

private:
    // A name of the early naming: variables, parameters, then the solver-status symbols.
    const char* earlyName(td::UINT4 index) const;
    const char* itemWord() const;
    bool beginLocation(td::BYTE section) const;
};

extern template struct SolverData<double>;
extern template struct SolverData<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using SolverData = sl::SolverData<double>;
using SymbolInfo = sl::SymbolInfo;
} // namespace slDbl

namespace slCmplx
{
using SolverData = sl::SolverData<std::complex<double>>;
using SymbolInfo = sl::SymbolInfo;
} // namespace slCmplx
