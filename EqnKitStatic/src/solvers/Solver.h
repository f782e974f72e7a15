// The common base of every solver kind: the one build road of both model forms, symbols
// and values by index and by name, the statement lists that run around a solve, child
// models, the error log, settings and counters. It is the public solver interface, a
// signal receiver and what compiled expressions reach; the kinds add their parts of the
// build and their solve.
#pragma once

#include <complex>
#include <cstddef>

#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/ISolver.h>
#include <sc/ModelEnums.h>
#include <td/String.h>
#include <td/Types.h>

#include "BuildResults.h"
#include "ISolverServices.h"
#include "SolverStores.h"

namespace xml
{
class Node;
}

namespace sl
{
template <typename T> class RPNDerivParser;
template <typename T> struct SolverData;

// Owns its stores and its child models (destroyed with it); keeps only pointers to its
// logger, consumer, progress record, signal listener and parent.
template <typename T> class Solver : public sc::ISolver<T>, public sc::ISignal, public ISolverServices<T>
{
public:
    using Traits = ValueTraits<T>;
    using SubModelBuild = typename ISolverServices<T>::SubModelBuild;
    using Section = typename SolverStores<T>::Section;

    static constexpr double cDefaultEps = 1e-6;
    static constexpr td::UINT2 cDefaultMaxIter = 100;
    static constexpr td::UINT4 cSignalKinds = 6;

    // Solver-status places after the parameters, as the Newton solvers write them.
    enum StatusPlace : td::BYTE
    {
        PlaceRepetition = 0,
        PlaceAuxiliary = 1,
        PlacePass = 2,
        PlaceIterations = 3,
        PlaceTotalIterations = 4,
        PlaceStatus = 5,
        PlaceEps = 6,
        PlaceNorm = 7,
        PlaceStartTime = 8,
        PlaceEndTime = 9
    };

    // The solver kind a model's type word names: "NR" and "NL" a Newton-Raphson solver,
    // "WLS", "ODE" and "DAE" theirs; any other word (other case, blanks) gives null.
    // The new solver carries line in its error entries and has pParent as its parent.
    static Solver* create(Solver* pParent, sc::ILog* pLog, const td::String& type, const td::String& spare,
                          td::UINT4 maxIter, double eps, td::UINT4 line);
    // An iteration limit as the 16 bits the solvers keep: larger values saturate.
    static td::UINT2 saturatedMaxIter(td::LINT8 maxIter);

    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // ---- sc::ISolver: the build, one road for every kind ----
    // Builds through the tokenized road the main model (mainModel) or the sub-model of
    // the tokenized model; a failed build reports the kind's key.
    bool init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel) final;
    // Builds from an XML model document (a file or the text itself); a failed build
    // leaves the kind's error entry after the reader's own.
    bool initFromXML(const td::String& source, td::BYTE inputKind) final;

    // ---- sc::ISolver: values and names ----
    void attachMonitor(sc::SolverMonitor<T>* pMonitor) override;
    td::UINT4 getNumberOfVariables() override { return _stores.nVars; }
    td::UINT4 getNumberOfParameters() override { return _stores.nParams; }
    void copyVariableValues(T* out) override;
    void copyParameterValues(T* out) override;
    const T* getVariableValuesPtr() const override { return _stores.values.data(); }
    T* getVariableValuesPtr() override { return _stores.values.data(); }
    T* getParameterValuesPtr() override;
    const char* getSymbolName(td::INT4 index) override;
    const char* getParameterName(td::UINT4 index) override;
    const char* getVariableName(td::INT4 index) override;
    td::INT4 getSymbolIndex(const char* name) override;
    bool setVariableValue(const char* name, T value) override;
    bool setVariableValue(td::INT4 index, T value) override;
    bool getVariableValue(const char* name, T& out) override;
    bool getVariableValue(td::INT4 index, T& out) override;
    td::INT4 getParameterIndex(const char* name) override;
    bool setParameterValue(const char* name, T value) override;
    bool setParameterValue(td::INT4 index, T value) override;
    bool getSymbolValue(td::INT4 index, T& out) override;
    bool getParameterValue(const char* name, T& out) override;
    bool getParameterValue(td::INT4 index, T& out) override;

    // ---- sc::ISolver: what the static solvers share (the time-stepping kinds override) ----
    bool simulate(double, double, double, sc::ISolverConsumer*, td::INT4) override { return false; }
    sc::Solution getStatus() override { return _status; }
    // The printed name of the last status (sc::printedName): null for a value no status has.
    const char* getStatusName() override { return sc::printedName(_status); }
    double getStepSize() override { return 0.0; }
    void setStepSize(double) override {}
    void stopSimulation() override {}
    sc::Solution step(td::INT4) override { return sc::Solution::SolutionError; }
    void setEps(double eps) override;
    double getResidualNorm() override { return _residualNorm; }
    td::UINT4 getNumberOfIterations() override { return _iterationsInPass; }
    void setMaxIter(td::UINT2 maxIter) override { _maxIter = maxIter; }
    void setSolutionOptions(const sc::so&) override {}
    td::UINT2 getMaxIter() override { return _maxIter; }
    td::INT4 reservedZero39() override { return 0; }
    td::INT4 reservedZero40() override { return 0; }
    td::INT4 formatJacobianLabel(char* buf, std::size_t size, td::INT4 eqIndex, td::INT4 varIndex) override;
    td::String getErrorLog() override;
    bool reservedTrue43() override { return true; }
    td::String* getModelDescription() override { return &_stores.modelDescription; }
    void setSignalListener(sc::ISignal* pListener) override { _pSignalListener = pListener; }
    void skipInitialValues() override { _stores.settings.skipCountChecks = 1; }
    void setConsumer(sc::ISolverConsumer* pConsumer) override { _pConsumer = pConsumer; }
    void setTraceLevel(td::BYTE level) override { _traceLevel = level; }
    td::BYTE getTraceLevel() override { return _traceLevel; }
    bool reservedFalse50() override { return false; }
    void setBuildOptions(td::BYTE option1, td::BYTE option2, td::BYTE option3) override;
    sc::ITime* getTime() override { return nullptr; }
    td::UINT4 getNumberOfOutputSymbols() override;
    bool getOutputSymbolIndices(cnt::SafeFullVector<td::UINT4>& out) override;
    StatisticsStore<T>* getStatisticsStore() override { return &_stores.statistics; }
    cnt::SafeFullVector<td::String> getFunctionNames() override;
    cnt::SafeFullVector<td::String> getOperatorWords() override;
    const cnt::SafeFullVector<sc::SymbolInfo>* getSymbolKinds() const override { return &_stores.symbolInfo; }
    cnt::SafeFullVector<sc::SymbolInfo>* getSymbolKinds() override { return &_stores.symbolInfo; }
    sc::ILog* getLog() override { return _pLog; }
    void setLogger(sc::ILog* pLog) override { _pLog = pLog; }
    void showLogEntry(const sc::ILog::LE& entry, sc::ILog::Type type) override;
    sc::SolverType getSolverType() override { return _type; }
    td::BYTE* getSolverFlagsPtr() override { return &_initMain; }
    void setMaxReps(td::INT4 maxReps) override { _maxReps = maxReps; }
    void setStepReporting(td::BYTE on) override { _stepReporting = on; }
    void release() override { delete this; }
    td::UINT4 getNumberOfStateVariables() override { return 0; }
    cnt::SafeFullVector<DAEVarRecord>* getVariableRecords() override { return nullptr; }

    // ---- sc::ISignal ----
    // Counts the signal (kinds below 6) and passes it on to the listener.
    void signal(td::BYTE kind) override;

    // ---- what compiled expressions reach ----
    ISolverServices<T>* getParentSolver() override { return _pParent; }
    // Applies '=', '+', '-', '*', '/' or '^' to a variable or parameter; the complex build
    // can change one part alone (with the real part of the value). A division by zero
    // leaves the symbol as it was.
    void updateSymbolValue(const T* value, td::INT4 symbIndex, char op, ValuePart part) override;
    bool hasConjugatePartners() override { return _stores.settings.conjugatePartners != 0; }
    FnLimits<T>* getFnLimits() override { return &_stores.fnLimits; }
    RndGenManager* getRndGenManager() override { return &_stores.generators; }
    SubModelBuild buildSubModel(const td::String& typeWord, double eps, td::UINT4 line, const sc::Naming& naming,
                                const sc::TokenizedModel& model) override;
    void beginXmlChildren(td::UINT4 n) override;
    SubModelBuild buildXmlChild(const td::String& typeWord, const td::String& domain, td::UINT4 line,
                                const xml::Node& element) override;
    // Builds this solver, a child of an XML model, from its Init Model element; only the
    // Newton-Raphson kind reads one.
    bool buildFromXmlElement(const xml::Node& element);

    // ---- for the kinds, children, the figure evaluator and tests ----
    // A build succeeded: the model's values, pools and compiled lists are in the stores.
    bool isBuilt() const { return _built; }
    const SolverStores<T>& getStores() const { return _stores; }
    SolverStores<T>& getStores() { return _stores; }
    Solver* getParent() const { return _pParent; }
    td::UINT4 getNumberOfChildren() const { return static_cast<td::UINT4>(_children.size()); }
    Solver* getChild(td::UINT4 i) const { return _children[i]; }
    double getEps() const { return _eps; }
    td::INT4 getMaxReps() const { return _maxReps; }
    td::UINT4 getLine() const { return _stores.settings.line; }
    td::BYTE isAlwaysOn() const { return _alwaysOn; }
    td::BYTE getReInit() const { return _reInit; }
    // Iterations since the last reset, repetition or simulation start.
    td::UINT4 getTotalIterations() const { return _totalIterations; }
    td::UINT4 getSignalCount(td::BYTE kind) const { return kind < cSignalKinds ? _signalCounts[kind] : 0; }
    // A child model takes the parameters it copies from its parent.
    void copyFromParent();
    // A key of a solve or a step through the own logger, as an error; nothing without a
    // logger.
    void reportKey(const char* key);
    // A key of a build from a model text, at the line of the model (or the sub-model) it
    // read.
    void reportAtModel(const char* key, const sc::TokenizedModel& model, sc::ModelLevel level);
    // The key, or its twin when this solver is a child model.
    void reportKey(const char* key, const char* subModelKey) { reportKey(_pParent ? subModelKey : key); }

protected:
    // What one build reads: a tokenized model at a level (the text road), an XML model
    // document (a file or the text itself), or the Init Model element of an XML parent.
    struct BuildInput
    {
        const sc::Naming* pNaming = nullptr;
        const sc::TokenizedModel* pModel = nullptr;
        sc::ModelLevel level = sc::ModelLevel::Main;
        const td::String* pSource = nullptr;
        td::BYTE inputKind = 0;
        const xml::Node* pElement = nullptr;
    };
    // How the build road tells a kind's failed build: a key to the logger on the text road,
    // an error entry on the XML road (none for an element of an XML parent); and whether
    // an XML build's eps becomes the solver's.
    struct BuildRules
    {
        const char* failureKey;
        ErrorSection xmlFailureSection;
        const char* xmlFailureText;
        bool xmlEps;
    };

    explicit Solver(sc::ILog* pLog);
    ~Solver() override;

    // ---- building ----
    // The one build road: the last build dropped, a build context bound over the stores,
    // the kind's builder entry, the settings and results taken, the kind's set-up.
    bool build(const BuildInput& in);
    // ---- the kind's parts of the road ----
    // The kind's state of the last build dropped (before the context is bound).
    virtual void dropBuild() {}
    // The kind's fields of the build context, before the builder runs.
    virtual void prepareBuild(SolverData<T>& data) { (void)data; }
    // The kind's builder entry for the input; false when the build fails.
    virtual bool runBuilder(RPNDerivParser<T>& builder, SolverData<T>& data, const BuildInput& in) = 0;
    // How the kind's failed build is told, and whether an XML build sets eps.
    virtual BuildRules buildRules() const = 0;
    // After a successful build and its results: the kind's parts of the results and its
    // set-up; false when the built model cannot be solved (with the kind's report).
    virtual bool finishBuild(const BuildResults& results, const BuildInput& in) = 0;

    // After a build: a limit function's bound that is not a number refuses it, at the
    // bound (a key on the text road, an error entry on the XML road).
    bool checkLimitBounds(bool keys);
    // Everything of the last build dropped, before a new one.
    void beginBuild();
    // The reInit attribute of the model line of the level.
    void readReInit(const sc::TokenizedModel& model, sc::ModelLevel level);
    // Reads the model line of the level after a successful build: eps, maxIter,
    // alwaysOn and, for a sub-model, initMain and the parameters it copies from its parent.
    void applyModelLineSettings(const sc::TokenizedModel& model, sc::ModelLevel level);
    // What a successful build hands back, on either road: the time parameters, the section
    // flags and eps when the model gives one.
    void takeBuildResults(const BuildResults& results);
    // An entry of the text error log in section ReadModel at the solver's line.
    void addReadModelError(const char* text) { addErrorEntry(ErrorSection::ReadModel, text); }
    // An entry of the text error log in a section at the solver's line.
    void addErrorEntry(ErrorSection section, const char* text);

    // ---- running ----
    bool runSection(Section section);
    bool runReInit() { return runSection(SolverStores<T>::ReInit); }
    bool runPreProc() { return runSection(SolverStores<T>::PreProc); }
    bool runIterPostProc() { return runSection(SolverStores<T>::IterPostProc); }
    bool runBasePostProc() { return runSection(SolverStores<T>::BasePostProc); }
    bool runPostProc() { return runSection(SolverStores<T>::PostProc); }
    // True when the repeat list asks for another repetition (it stopped early).
    bool evalRepeat();
    // A limit function read a bound that is not a number since the solve or the step began:
    // its key at the bound, an error entry at its line (section RTSolution), SolutionError
    // as the status, and true; false when none did.
    bool refusedNaNBound();
    // Runs the statements of one limit group; the signals they raise are counted.
    void runLimitGroup(const LimitGroup<T>& group);
    void keepStartValues();
    void restoreStartValues();
    // The value of solver-status place k.
    T& statusPlace(td::BYTE k);
    // The model's time and time-step parameters (time-stepping kinds); writing one that
    // the model does not have does nothing, reading it gives 0.
    bool hasTimeParam() const { return isParameter(_stores.settings.indexOfTParam); }
    bool hasDeltaTParam() const { return isParameter(_stores.settings.indexOfDeltaTParam); }
    double getTimeParam() const { return readParameter(_stores.settings.indexOfTParam); }
    double getDeltaTParam() const { return readParameter(_stores.settings.indexOfDeltaTParam); }
    void setTimeParam(double t) { writeParameter(_stores.settings.indexOfTParam, t); }
    void setDeltaTParam(double dT) { writeParameter(_stores.settings.indexOfDeltaTParam, dT); }
    // sc::ITime::setTime of the time-stepping kinds: both parameters must exist.
    void injectTime(double t, double dT);
    // The start of a time-stepping run: refused with its key without a dT parameter or a
    // positive step, else t0 and dT are written to the model's time parameters.
    bool restartTime(double t0, double dT);
    // Places 0 to 5: repetition, auxiliary counter, pass, iterations in the pass, total
    // iterations and status.
    void writeStatusPlaces();
    // Where the solve stands, into its status place and the progress record (a built
    // solver only).
    void setRepetition(td::UINT4 r);
    void setPass(td::UINT2 pass);
    void clearSignalCounts();
    bool anySignal() const;
    void notifyProgress()
    {
        if (_pConsumer)
            _pConsumer->progress();
    }
    void notifyFinished(sc::ISolverConsumer::Finish code)
    {
        if (_pConsumer)
            _pConsumer->finished(code);
    }
    void monitorStatus()
    {
        if (_pMonitor)
            _pMonitor->status = static_cast<td::BYTE>(_status);
    }

    bool isParameter(td::INT4 index) const { return index >= 0 && static_cast<td::UINT4>(index) < _stores.nParams; }
    double readParameter(td::INT4 index) const;
    void writeParameter(td::INT4 index, double value);

    SolverStores<T> _stores;
    sc::SolverMonitor<T>* _pMonitor = nullptr;
    sc::ILog* _pLog;
    sc::ISolverConsumer* _pConsumer = nullptr;
    sc::ISignal* _pSignalListener = nullptr;
    Solver* _pParent = nullptr;
    cnt::PushBackVector<Solver*> _children;
    cnt::SafeFullVector<T> _startValues;
    double _eps = cDefaultEps;
    double _residualNorm;
    td::UINT4 _signalCounts[cSignalKinds] = {};
    td::UINT4 _copyParsCount = 0;
    td::UINT4 _copyParsFirst = 0;
    td::UINT4 _auxCounter = 0;
    td::UINT4 _totalIterations = 0;
    td::UINT4 _iterationsInPass = 0;
    td::UINT4 _repetition = 0;
    td::INT4 _maxReps = -1;
    td::UINT2 _maxIter = cDefaultMaxIter;
    td::UINT2 _pass = 0;
    td::BYTE _initMain = 0;
    sc::SolverType _type = sc::SolverType::NA;
    td::BYTE _alwaysOn = 0;
    td::BYTE _valuesChanged = 0;
    td::BYTE _childrenPending = 1;
    td::BYTE _running = 0;
    td::BYTE _reInit = 0;
    td::BYTE _stepReporting = 0;
    td::BYTE _traceLevel = 0;
    td::BYTE _iterPostProcEveryPass = 0;
    td::BYTE _basePostProcEveryPass = 0;
    sc::Solution _status = sc::Solution::OK;
    // A build succeeded and its set-up ran: the value array and work vectors exist.
    bool _built = false;
};

extern template class Solver<double>;
extern template class Solver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using Solver = sl::Solver<double>;
}

namespace slCmplx
{
using Solver = sl::Solver<std::complex<double>>;
}
