// The part of a model object that every model kind shares: one solver and the symbol table
// of its loaded model behind sc::IModel, with loading, solver configuration and value access.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>
#include <sc/IDynamic.h>
#include <sc/ILog.h>
#include <sc/IModel.h>
#include <sc/ISolver.h>
#include <sc/IStatic.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>

// Set by the first model object of the process, which fills the model language's
// process-wide vocabulary tables; no later model fills them again.
extern bool s_namingsInitialised;

// The key translation every load hands the tokenized model: the key itself (empty for a
// null key), so the loader's keys reach the logger unchanged.
td::String translateKey(const char* key);

// T is the value type, I the solving face (sc::IStatic or sc::IDynamic), S the solver
// interface of T. The model owns its solver: it ends it on release and replaces it with a
// fresh one of the same kind for every load after the first and after a failed load. It
// keeps no logger of its own; messages go to the solver's.
template <typename T, typename I, typename S> class BaseModel : public sc::IModel<T, I>
{
public:
    // Makes a fresh solver of the model's kind; null when it cannot be made.
    using SolverMaker = S* (*)(sc::ILog* pLog, int maxIter);

    BaseModel(const BaseModel&) = delete;
    BaseModel& operator=(const BaseModel&) = delete;

    void setSolutionOptions(const sc::so& options) override;
    void setLogger(sc::ILog* pLog) override;
    bool initFromFile(const td::String& fileName) override;
    bool initFromString(const td::String& content) override;
    td::UINT4 getNumberOfVariables() override;
    td::UINT4 getNumberOfParameters() override;
    int getVariableIndex(const td::String& varName) override;
    int getParameterIndex(const td::String& paramName) override;
    cnt::SafeFullVector<td::String> getVariableNames() override;
    cnt::SafeFullVector<td::String> getParameterNames() override;
    cnt::SafeFullVector<td::UINT4> getOutputSymbolIndices() override;
    cnt::SafeFullVector<td::String> getOutputSymbolNames(const cnt::SafeFullVector<td::UINT4>& symbIndices) override;
    bool getParameterValues(const cnt::SafeFullVector<td::UINT4>& indices, cnt::SafeFullVector<T>& out) override;
    void getAllParameterValues(cnt::SafeFullVector<T>& out) override;
    void getVariableValues(cnt::SafeFullVector<T>& out) override;
    bool getOutputSymbolValues(const cnt::SafeFullVector<td::UINT4>& symbIndices, cnt::SafeFullVector<T>& out) override;
    bool setVariableValues(const cnt::SafeFullVector<T>& values) override;
    bool setParameterValues(const cnt::SafeFullVector<td::UINT4>& indices,
                            const cnt::SafeFullVector<T>& values) override;
    void release() override;

protected:
    // Takes pSolver (not null); makeSolver with maxIter (the factory's iteration limit)
    // makes the solver of each further load. The first model object of the process sets
    // up the vocabulary tables.
    BaseModel(S* pSolver, SolverMaker makeSolver, int maxIter);
    virtual ~BaseModel();

    // Hands the loaded model to the solver with the settings of its header and model line.
    bool configureSolver(const sc::TokenizedModel& model);
    // An error key through the solver's logger; nothing when it has none.
    void reportKey(const char* key);
    // The last load succeeded; solving needs a loaded model.
    bool isLoaded() const { return _loaded; }

    S* _pSolver;
    sc::Naming _naming;

private:
    bool load(const td::String& source, bool fromFile);
    bool readAndConfigure(const td::String& source, bool fromFile);
    // The header's iteration limit; 0 (with a warning at the value) when it names no
    // usable one.
    int headerMaxIter(const sc::TokenizedModel& model, sc::ILog* pLog);
    double headerStep(const sc::TokenizedModel& model, sc::ILog* pLog);
    // Swaps the solver for a fresh one with the current logger; the old one stays when
    // no fresh one can be made.
    void renewSolver();
    // Every index of a name or value request is a symbol index of the model.
    bool allSymbolIndices(const cnt::SafeFullVector<td::UINT4>& symbIndices);

    SolverMaker _makeSolver;
    int _maxIter;
    // The current solver has been handed a model (it is not fresh).
    bool _solverUsed = false;
    bool _loaded = false;
};

extern template class BaseModel<double, sc::IStatic, sc::ISolver<double>>;
extern template class BaseModel<std::complex<double>, sc::IStatic, sc::ISolver<std::complex<double>>>;
extern template class BaseModel<double, sc::IDynamic, sc::ISolver<double>>;
