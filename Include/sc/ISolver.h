// The solver interface every solver kind (Newton-Raphson, weighted least squares, ODE,
// DAE) stands behind, real and complex. Hosts call it through its table, so the order
// of the 71 operations is part of the interface between the deliverables.
#pragma once

#include <complex>
#include <cstddef>

#include <cnt/SafeFullVector.h>
#include <sc/EqnKitAPI.h>
#include <sc/ILog.h>
#include <sc/ISignal.h>
#include <sc/ISolverConsumer.h>
#include <sc/ITime.h>
#include <sc/SolverMonitor.h>
#include <sc/SolverTypes.h>
#include <sc/SymbolInfo.h>
#include <td/String.h>
#include <td/Types.h>

namespace sl
{
template <typename T> class StatisticsStore;
struct DAEVarRecord;
} // namespace sl

namespace sc
{
class Naming;
class TokenizedModel;

// Symbol indices count the variables first (0 .. nVars-1), then the parameters (nVars ..
// nVars+nParams-1). Names are texts of the solver's name store, valid while it lives.
// Made by a factory (SolverFactories.h) and ended by release.
template <typename T> class EQNKIT_API ISolver
{
public:
    // 0: the record takes the counts, the output symbols, the kind and the value array;
    // its trace level becomes the solver's.
    virtual void attachMonitor(SolverMonitor<T>* pMonitor) = 0;
    virtual td::UINT4 getNumberOfVariables() = 0;
    virtual td::UINT4 getNumberOfParameters() = 0;
    // Copies the nVars variable values (nParams parameter values) into out.
    virtual void copyVariableValues(T* out) = 0;
    virtual void copyParameterValues(T* out) = 0;
    // 5, 6: the value array; parameters follow the variables in it.
    virtual const T* getVariableValuesPtr() const = 0;
    virtual T* getVariableValuesPtr() = 0;
    virtual T* getParameterValuesPtr() = 0;
    // Name of a symbol by its index in the value array: a variable, a parameter, a symbol the
    // build generated or a solver-status symbol; null for an empty name and for an index
    // past them.
    virtual const char* getSymbolName(td::INT4 index) = 0;
    // The empty text for an empty name (the index must be in range).
    virtual const char* getParameterName(td::UINT4 index) = 0;
    // 10
    virtual const char* getVariableName(td::INT4 index) = 0;
    // Index of a variable or parameter; -1 when absent.
    virtual td::INT4 getSymbolIndex(const char* name) = 0;
    // Setters raise the values-changed flag; false for a name or index of no such symbol.
    virtual bool setVariableValue(const char* name, T value) = 0;
    virtual bool setVariableValue(td::INT4 index, T value) = 0;
    virtual bool getVariableValue(const char* name, T& out) = 0;
    // 15
    virtual bool getVariableValue(td::INT4 index, T& out) = 0;
    // Symbol index minus nVars: negative for any name that is not a parameter.
    virtual td::INT4 getParameterIndex(const char* name) = 0;
    virtual bool setParameterValue(const char* name, T value) = 0;
    virtual bool setParameterValue(td::INT4 index, T value) = 0;
    virtual bool getSymbolValue(td::INT4 index, T& out) = 0;
    // 20
    virtual bool getParameterValue(const char* name, T& out) = 0;
    virtual bool getParameterValue(td::INT4 index, T& out) = 0;
    // Builds from an XML model: inputKind 0 source is a file name, 1 the XML text.
    virtual bool initFromXML(const td::String& source, td::BYTE inputKind) = 0;
    // Builds from a tokenized model: the main model (level 0) or its sub-model (level 1).
    virtual bool init(Naming* pNaming, const TokenizedModel& model, bool mainModel) = 0;
    // Time-stepping run; false for the static solvers.
    virtual bool simulate(double t0, double dT, double tEnd, ISolverConsumer* pConsumer, td::INT4 reportEvery) = 0;
    // 25: one static solve or one time step.
    virtual Solution solve() = 0;
    virtual Solution getStatus() = 0;
    // The printed name of the last status (printedName); null for a value no status has,
    // which a caller prints by its number.
    virtual const char* getStatusName() = 0;
    // 0 for the static solvers, which ignore setStepSize and stopSimulation.
    virtual double getStepSize() = 0;
    virtual void setStepSize(double dT) = 0;
    // 30
    virtual void stopSimulation() = 0;
    virtual bool reset(double t0) = 0;
    // Advances nSteps time steps; the static solvers return SolutionError.
    virtual Solution step(td::INT4 nSteps) = 0;
    // Taken only when eps > 0.
    virtual void setEps(double eps) = 0;
    virtual double getResidualNorm() = 0;
    // 35: iterations of the current pass.
    virtual td::UINT4 getNumberOfIterations() = 0;
    virtual void setMaxIter(td::UINT2 maxIter) = 0;
    virtual void setSolutionOptions(const so& options) = 0;
    virtual td::UINT2 getMaxIter() = 0;
    virtual td::INT4 reservedZero39() = 0;
    // 40
    virtual td::INT4 reservedZero40() = 0;
    // Writes "d(Eq<eqIndex>)/d(<variable name>)="; the formatter's count.
    virtual td::INT4 formatJacobianLabel(char* buf, std::size_t size, td::INT4 eqIndex, td::INT4 varIndex) = 0;
    // The text error log: the child models' logs first, each after a line break, then the own.
    virtual td::String getErrorLog() = 0;
    virtual bool reservedTrue43() = 0;
    virtual td::String* getModelDescription() = 0;
    // 45: receives every signal after the solver has counted it.
    virtual void setSignalListener(ISignal* pListener) = 0;
    // Lifts the builders' equation-count checks for the next builds.
    virtual void skipInitialValues() = 0;
    virtual void setConsumer(ISolverConsumer* pConsumer) = 0;
    // A TraceLevel.
    virtual void setTraceLevel(td::BYTE level) = 0;
    virtual td::BYTE getTraceLevel() = 0;
    // 50
    virtual bool reservedFalse50() = 0;
    // The first two option bytes are handed to the builds.
    virtual void setBuildOptions(td::BYTE option1, td::BYTE option2, td::BYTE option3) = 0;
    // Null for the static solvers.
    virtual ITime* getTime() = 0;
    virtual td::UINT4 getNumberOfOutputSymbols() = 0;
    // Ascending symbol indices of the output symbols; out keeps its block when its size
    // is right and is unchanged when there are none. Always true.
    virtual bool getOutputSymbolIndices(cnt::SafeFullVector<td::UINT4>& out) = 0;
    // 55
    virtual sl::StatisticsStore<T>* getStatisticsStore() = 0;
    // The built-in function keywords and the operator words of the model language.
    virtual cnt::SafeFullVector<td::String> getFunctionNames() = 0;
    virtual cnt::SafeFullVector<td::String> getOperatorWords() = 0;
    // One record per variable and parameter.
    virtual const cnt::SafeFullVector<SymbolInfo>* getSymbolKinds() const = 0;
    virtual cnt::SafeFullVector<SymbolInfo>* getSymbolKinds() = 0;
    // 60: null when the solver is silent.
    virtual ILog* getLog() = 0;
    virtual void setLogger(ILog* pLog) = 0;
    virtual void showLogEntry(const ILog::LE& entry, ILog::Type type) = 0;
    virtual SolverType getSolverType() = 0;
    // Address of the initMain byte: 0 main model, 1 sub-model solved from its parent's
    // values, 2 sub-model whose initMain attribute is false.
    virtual td::BYTE* getSolverFlagsPtr() = 0;
    // 65: negative for no limit.
    virtual void setMaxReps(td::INT4 maxReps) = 0;
    // Each ODE or DAE step reports to the consumer.
    virtual void setStepReporting(td::BYTE on) = 0;
    // Ends the solver and its child models.
    virtual void release() = 0;

protected:
    // 68
    virtual ~ISolver() = default;

public:
    // 0 except in the DAE solver.
    virtual td::UINT4 getNumberOfStateVariables() = 0;
    // 70: the DAE solver's records per variable; null in the others.
    virtual cnt::SafeFullVector<sl::DAEVarRecord>* getVariableRecords() = 0;
};
} // namespace sc
