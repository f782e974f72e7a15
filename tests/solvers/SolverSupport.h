// Helpers for the solver tests: a model text loaded and built into a Newton-Raphson
// solver of either value type, with the solver's messages recorded.
#pragma once

#include <complex>
#include <string>

#include <gtest/gtest.h>

#include <sc/SolverFactories.h>

#include "NRSolver.h"
#include "frontend/ModelFixture.h"
#include "support/RecordingLog.h"

namespace test
{
using Cmplx = std::complex<double>;

// Owns the loaded model and the solver; the solver is released with the fixture.
template <typename T> struct BuiltSolver
{
    BuiltSolver() : pSolver(static_cast<sl::NRSolver<T>*>(makeSolver(&log))) {}
    ~BuiltSolver()
    {
        if (pSolver)
            pSolver->release();
    }
    BuiltSolver(const BuiltSolver&) = delete;
    BuiltSolver& operator=(const BuiltSolver&) = delete;

    static sc::ISolver<T>* makeSolver(sc::ILog* pLog)
    {
        if constexpr (sl::ValueTraits<T>::isComplex)
            return sc::createCmplxNRSolver(pLog, 100);
        else
            return sc::createDblNRSolver(pLog, 100);
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
    sl::NRSolver<T>* pSolver;
};

inline double re(double v) { return v; }
inline double re(const Cmplx& v) { return v.real(); }
} // namespace test
