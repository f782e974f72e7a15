// Helpers for the plot tests: the vocabulary of a host that records figures (naming 0
// without the plot words, naming 1 with them), and a model text loaded with a naming,
// built into a Newton-Raphson solver and bound to a figure evaluator.
#pragma once

#include <complex>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <cnt/Figure.h>
#include <sc/SCLib.h>
#include <sc/SolverFactories.h>
#include <sc/TokenizedModel.h>

#include "FigureEvaluator.h"
#include "support/RecordingLog.h"

namespace test
{
using Cmplx = std::complex<double>;
constexpr td::UINT2 cPlotNaming = 1;

inline void ensurePlotVocabulary()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    sc::reserveNamings(2);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
    sc::setPlotDataForNaming(cPlotNaming);
}

inline td::String keepKey(const char* key) { return td::String(key); }

// A text's tokenized model with its own logger, header values and symbol table.
struct PlotModel
{
    explicit PlotModel(td::UINT2 naming = cPlotNaming)
    {
        ensurePlotVocabulary();
        model = std::make_unique<sc::TokenizedModel>(&log, header, &keepKey, symbols, naming);
    }
    // The text after a header of three lines (the model line is line 1 of the messages).
    bool load(const std::string& body)
    {
        return model->loadFromString(td::String(("Header:\nmaxIter = 100\nend\n" + body).c_str()));
    }

    RecordingLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming symbols;
    std::unique_ptr<sc::TokenizedModel> model;
};

// A solver of the given kind (NR or ODE; null when the library cannot make it) and a
// figure evaluator over a model loaded with the given naming; both released at the end.
template <typename T> struct PlotRig
{
    explicit PlotRig(sc::SolverType kind = sc::SolverType::NR, td::UINT2 naming = cPlotNaming) : text(naming)
    {
        const bool ode = kind == sc::SolverType::ODE;
        if constexpr (sl::ValueTraits<T>::isComplex)
        {
            pSolver = ode ? sc::createCmplxODESolver(&log) : sc::createCmplxNRSolver(&log, 100);
            pFigures = sc::createCmplxPlotEvaluator(&log);
        }
        else
        {
            pSolver = ode ? sc::createDblODESolver(&log) : sc::createDblNRSolver(&log, 100);
            pFigures = sc::createDblPlotEvaluator(&log);
        }
    }
    ~PlotRig()
    {
        pFigures->release();
        if (pSolver)
            pSolver->release();
    }
    PlotRig(const PlotRig&) = delete;
    PlotRig& operator=(const PlotRig&) = delete;

    // Loads and builds the model, then initialises the evaluator: its result.
    bool build(const std::string& body)
    {
        if (!text.load(body))
        {
            ADD_FAILURE() << "load failed:\n" << keys(text.log);
            return false;
        }
        if (!pSolver->init(&text.symbols, *text.model, true))
        {
            ADD_FAILURE() << "build failed:\n" << keys(log);
            return false;
        }
        return pFigures->init(*text.model, pSolver);
    }

    const sl::FigureDefinitions<T>& definitions() const
    {
        return static_cast<const sl::FigureEvaluator<T>*>(pFigures)->getFigureDefinitions();
    }
    // Line of the model text that the Plots group's own line has, as messages give it.
    td::UINT4 plotsLine() const { return text.model->getGroup(sc::Group::Plots, sc::ModelLevel::Main).line().line; }
    void set(const char* name, T value)
    {
        if (!pSolver->setVariableValue(name, value) && !pSolver->setParameterValue(name, value))
            ADD_FAILURE() << "no symbol " << name;
    }

    // The messages as "key@line:col/type", one per line.
    static std::string keys(const RecordingLog& from)
    {
        std::string out;
        for (const RecordingLog::Message& m : from.messages)
            out += m.text + "@" + std::to_string(m.line) + ":" + std::to_string(m.col) + "/" +
                   std::to_string(static_cast<int>(m.type)) + "\n";
        return out;
    }
    std::string keys() const { return keys(log); }

    RecordingLog log;
    PlotModel text;
    sc::ISolver<T>* pSolver = nullptr;
    sc::IFigureEvaluator<T>* pFigures = nullptr;
    cnt::PushBackVector<cnt::Figure> figures;
};

// A model of two variables and a parameter (x = (a + 1) / 2, y = (a - 1) / 2) with the
// given Plots group text.
inline std::string modelWithPlots(const std::string& plots, const char* modelLine = "Model [type = NL]:")
{
    return std::string(modelLine) + "\nVars:\nx = 1; y = 1\nParams:\na = 3\nNLEs:\nx + y = a\nx - y = 1\n" +
           (plots.empty() ? "" : "Plots:\n" + plots) + "end\n";
}
} // namespace test
