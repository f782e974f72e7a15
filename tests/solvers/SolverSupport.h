// Helpers for the solver tests: a model text loaded and built into a solver of a kind
// (Newton-Raphson by default) and either value type, with the solver's messages recorded.
#pragma once

#include <complex>
#include <cstring>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include <sc/SolverFactories.h>

#include "DAESolver.h"
#include "NRSolver.h"
#include "ODESolver.h"
#include "WLSSolver.h"
#include "frontend/ModelFixture.h"
#include "support/RecordingLog.h"

namespace test
{
using Cmplx = std::complex<double>;

// The type word of a solver kind.
template <typename T, typename S> constexpr const char* kindWord()
{
    if constexpr (std::is_same_v<S, sl::WLSSolver<T>>)
        return "WLS";
    else if constexpr (std::is_same_v<S, sl::ODESolver<T>>)
        return "ODE";
    else if constexpr (std::is_same_v<S, sl::DAESolver<T>>)
        return "DAE";
    else
        return "NR";
}

// Owns the loaded model and the solver; the solver is released with the fixture.
template <typename T, typename S = sl::NRSolver<T>> struct BuiltSolver
{
    BuiltSolver() : pSolver(makeSolver(&log)) {}
    ~BuiltSolver()
    {
        if (pSolver)
            pSolver->release();
    }
    BuiltSolver(const BuiltSolver&) = delete;
    BuiltSolver& operator=(const BuiltSolver&) = delete;

    static S* makeSolver(sc::ILog* pLog)
    {
        if constexpr (std::is_same_v<S, sl::NRSolver<T>>)
        {
            if constexpr (sl::ValueTraits<T>::isComplex)
                return static_cast<S*>(sc::createCmplxNRSolver(pLog, 100));
            else
                return static_cast<S*>(sc::createDblNRSolver(pLog, 100));
        }
        else
            return static_cast<S*>(
                sl::Solver<T>::create(nullptr, pLog, td::String(kindWord<T, S>()), td::String(), 100, 1e-6, 0));
    }

    // Loads the text (a header is put in front when it has none) and builds the solver.
    bool build(const std::string& text)
    {
        const std::string full = text.rfind("Header", 0) == 0 ? text : "Header:\nmaxIter = 100\nend\n" + text;
        if (!loaded.fromString(full))
        {
            ADD_FAILURE() << "load failed:\n" << loaded.errors();
            return false;
        }
        return pSolver->init(&loaded.naming, *loaded.model, true);
    }

    T value(const char* name)
    {
        T v{};
        if (!pSolver->getVariableValue(name, v) && !pSolver->getParameterValue(name, v))
            ADD_FAILURE() << "no symbol " << name;
        return v;
    }
    // Solver-status place k after the variables and parameters.
    T place(td::UINT4 k) const
    {
        return pSolver->getVariableValuesPtr()[pSolver->getNumberOfVariables() + pSolver->getNumberOfParameters() + k];
    }

    // The solver's keys, one per line.
    std::string keys() const
    {
        std::string out;
        for (const RecordingLog::Message& m : log.messages)
            out += m.text + "\n";
        return out;
    }

    RecordingLog log;
    LoadedModel loaded;
    S* pSolver;
};

inline double re(double v) { return v; }
inline double re(const Cmplx& v) { return v.real(); }

// The first symbol (variable or parameter) whose value differs in a bit between two solvers
// of one model, or their counts when they differ; empty when all agree.
template <typename T, typename S> std::string firstDifference(const BuiltSolver<T, S>& a, const BuiltSolver<T, S>& b)
{
    const td::UINT4 n = a.pSolver->getNumberOfVariables() + a.pSolver->getNumberOfParameters();
    if (n != b.pSolver->getNumberOfVariables() + b.pSolver->getNumberOfParameters())
        return "symbol counts";
    const T* pA = a.pSolver->getVariableValuesPtr();
    const T* pB = b.pSolver->getVariableValuesPtr();
    for (td::UINT4 i = 0; i < n; ++i)
    {
        if (std::memcmp(&pA[i], &pB[i], sizeof(T)) != 0)
            return "symbol " + std::to_string(i);
    }
    return std::string();
}
} // namespace test
