// A solver for the model-object tests: it takes its symbols from the symbol table of the
// loaded model, keeps the settings it is handed, and asserts its index ranges as a real
// solver does, so a model that asks it out of range aborts the test.
#pragma once

#include <string>
#include <vector>

#include <sc/ISolver.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>

namespace test
{
template <typename T> class FakeSolver final : public sc::ISolver<T>
{
public:
    FakeSolver(sc::ILog* pLog, int maxIter) : pLog(pLog), maxIter(static_cast<td::UINT2>(maxIter))
    {
        ++s_live;
        s_last = this;
    }

    // The factory the models under test renew their solvers with.
    static sc::ISolver<T>* make(sc::ILog* pLog, int maxIter) { return new FakeSolver(pLog, maxIter); }

    // The fake made last, and the number of fakes not yet released.
    static inline FakeSolver* s_last = nullptr;
    static inline int s_live = 0;
    // What the next init answers.
    static inline bool s_initAnswer = true;

    sc::ILog* pLog;
    td::UINT2 maxIter;
    std::vector<std::string> names;
    std::vector<T> values;
    std::vector<td::UINT4> outputs;
    td::UINT4 nVars = 0;
    int initCalls = 0;
    double eps = 1e-6;
    double stepSize = 0.0;
    td::INT4 maxReps = -1;
    bool valuesChanged = false;
    // Arguments of the last time-stepping calls.
    double resetT0 = -1.0;
    td::INT4 steps = 0;

    void attachMonitor(sc::SolverMonitor<T>*) override {}
    td::UINT4 getNumberOfVariables() override { return nVars; }
    td::UINT4 getNumberOfParameters() override { return static_cast<td::UINT4>(names.size()) - nVars; }
    void copyVariableValues(T*) override {}
    void copyParameterValues(T*) override {}
    const T* getVariableValuesPtr() const override { return values.data(); }
    T* getVariableValuesPtr() override { return values.data(); }
    T* getParameterValuesPtr() override { return values.data() + nVars; }
    const char* getSymbolName(td::INT4 index) override
    {
        TD_ASSERT(index >= 0 && static_cast<std::size_t>(index) < names.size());
        return names[index].empty() ? nullptr : names[index].c_str();
    }
    const char* getParameterName(td::UINT4 index) override
    {
        TD_ASSERT(index < getNumberOfParameters());
        return names[nVars + index].c_str();
    }
    const char* getVariableName(td::INT4 index) override
    {
        TD_ASSERT(index >= 0 && static_cast<td::UINT4>(index) < nVars);
        return names[index].c_str();
    }
    td::INT4 getSymbolIndex(const char* name) override
    {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<td::INT4>(i);
        return -1;
    }
    bool setVariableValue(const char*, T) override { return false; }
    bool setVariableValue(td::INT4 index, T value) override
    {
        TD_ASSERT(index >= 0 && static_cast<td::UINT4>(index) < nVars);
        values[index] = value;
        return valuesChanged = true;
    }
    bool getVariableValue(const char*, T&) override { return false; }
    bool getVariableValue(td::INT4, T&) override { return false; }
    td::INT4 getParameterIndex(const char* name) override
    {
        return getSymbolIndex(name) - static_cast<td::INT4>(nVars);
    }
    bool setParameterValue(const char*, T) override { return false; }
    bool setParameterValue(td::INT4 index, T value) override
    {
        TD_ASSERT(index >= 0 && static_cast<td::UINT4>(index) < getNumberOfParameters());
        values[nVars + index] = value;
        return valuesChanged = true;
    }
    bool getSymbolValue(td::INT4 index, T& out) override
    {
        if (index < 0 || static_cast<std::size_t>(index) >= values.size())
            return false;
        out = values[index];
        return true;
    }
    bool getParameterValue(const char*, T&) override { return false; }
    bool getParameterValue(td::INT4, T&) override { return false; }
    bool initFromXML(const td::String&, td::BYTE) override { return false; }
    // Takes the variables and parameters of the main model, valued 1, 2, 3, ...
    bool init(sc::Naming* pNaming, const sc::TokenizedModel&, bool) override
    {
        ++initCalls;
        nVars = pNaming->getNumberOfVars(sc::ModelLevel::Main);
        for (unsigned i = 0; i < nVars; ++i)
            names.push_back(pNaming->getVarName(i, sc::ModelLevel::Main)->c_str());
        for (unsigned i = 0; i < pNaming->getNumberOfParams(sc::ModelLevel::Main); ++i)
            names.push_back(pNaming->getParamName(i, sc::ModelLevel::Main)->c_str());
        for (std::size_t i = 0; i < names.size(); ++i)
            values.push_back(T(double(i + 1)));
        return s_initAnswer;
    }
    bool simulate(double, double, double, sc::ISolverConsumer*, td::INT4) override { return false; }
    sc::Solution solve() override { return sc::Solution::MaxIters; }
    sc::Solution getStatus() override { return sc::Solution::OK; }
    const char* getStatusName() override { return "OK"; }
    double getStepSize() override { return stepSize; }
    void setStepSize(double dT) override { stepSize = dT; }
    void stopSimulation() override {}
    bool reset(double t0) override
    {
        resetT0 = t0;
        return t0 >= 0;
    }
    sc::Solution step(td::INT4 nSteps) override
    {
        steps = nSteps;
        return sc::Solution::Oscillation;
    }
    void setEps(double value) override { eps = value; }
    double getResidualNorm() override { return 0.0; }
    td::UINT4 getNumberOfIterations() override { return 0; }
    void setMaxIter(td::UINT2 value) override { maxIter = value; }
    void setSolutionOptions(const sc::so&) override {}
    td::UINT2 getMaxIter() override { return maxIter; }
    td::INT4 reservedZero39() override { return 0; }
    td::INT4 reservedZero40() override { return 0; }
    td::INT4 formatJacobianLabel(char*, std::size_t, td::INT4, td::INT4) override { return 0; }
    td::String getErrorLog() override { return {}; }
    bool reservedTrue43() override { return true; }
    td::String* getModelDescription() override { return nullptr; }
    void setSignalListener(sc::ISignal*) override {}
    void skipInitialValues() override {}
    void setConsumer(sc::ISolverConsumer*) override {}
    void setTraceLevel(td::BYTE) override {}
    td::BYTE getTraceLevel() override { return 0; }
    bool reservedFalse50() override { return false; }
    void setBuildOptions(td::BYTE, td::BYTE, td::BYTE) override {}
    sc::ITime* getTime() override { return nullptr; }
    td::UINT4 getNumberOfOutputSymbols() override { return static_cast<td::UINT4>(outputs.size()); }
    bool getOutputSymbolIndices(cnt::SafeFullVector<td::UINT4>& out) override
    {
        out.reserve(outputs.size());
        for (std::size_t i = 0; i < outputs.size(); ++i)
            out[i] = outputs[i];
        return true;
    }
    sl::StatisticsStore<T>* getStatisticsStore() override { return nullptr; }
    cnt::SafeFullVector<td::String> getFunctionNames() override { return {}; }
    cnt::SafeFullVector<td::String> getOperatorWords() override { return {}; }
    const cnt::SafeFullVector<sc::SymbolInfo>* getSymbolKinds() const override { return nullptr; }
    cnt::SafeFullVector<sc::SymbolInfo>* getSymbolKinds() override { return nullptr; }
    sc::ILog* getLog() override { return pLog; }
    void setLogger(sc::ILog* p) override { pLog = p; }
    void showLogEntry(const sc::ILog::LE&, sc::ILog::Type) override {}
    sc::SolverType getSolverType() override { return sc::SolverType::NR; }
    td::BYTE* getSolverFlagsPtr() override { return nullptr; }
    void setMaxReps(td::INT4 value) override { maxReps = value; }
    void setStepReporting(td::BYTE) override {}
    void release() override { delete this; }
    td::UINT4 getNumberOfStateVariables() override { return 0; }
    cnt::SafeFullVector<sl::DAEVarRecord>* getVariableRecords() override { return nullptr; }

private:
    ~FakeSolver() override
    {
        --s_live;
        if (s_last == this)
            s_last = nullptr;
    }
};
} // namespace test
