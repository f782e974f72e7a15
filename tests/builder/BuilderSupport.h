// Helpers for the model builder's tests: a solver double that is the solver's stores plus
// the services compiled expressions reach, and one build of a model text through it, whose
// passes the tests reach over its build state.
#pragma once

#include <complex>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include <matrix/IMatrixReceiver.h>
#include <sc/TokenizedModel.h>

#include "BuildState.h"
#include "CU.h"
#include "DeclarationReader.h"
#include "EquationReader.h"
#include "SolverStores.h"
#include "StatementReader.h"
#include "TextBuilder.h"
#include "UsedVariables.h"
#include "frontend/ModelFixture.h"
#include "support/RecordingLog.h"

namespace test
{
using Cmplx = std::complex<double>;

template <typename T> class StoreSolver final : public sl::ISolverServices<T>
{
public:
    td::UINT4 getNumberOfVariables() override { return stores.nVars; }
    td::UINT4 getNumberOfParameters() override { return stores.nParams; }
    T* getVariableValuesPtr() override { return stores.values.data(); }
    sl::ISolverServices<T>* getParentSolver() override { return pParent; }
    sc::ILog* getLog() override { return pLog; }
    const char* getSymbolName(td::INT4 index) override
    {
        const td::UINT4 i = static_cast<td::UINT4>(index);
        return i < stores.symbols.getNumberOfNames() ? stores.symbols.nameAt(i)->c_str() : nullptr;
    }
    td::INT4 getSymbolIndex(const char* name) override { return stores.symbols.find(name); }
    void updateSymbolValue(const T* value, td::INT4 symbIndex, char op, sl::ValuePart part) override
    {
        T& target = stores.values[static_cast<std::size_t>(symbIndex)];
        if constexpr (sl::ValueTraits<T>::isComplex)
        {
            if (part != sl::ValuePart::Whole)
            {
                double p = part == sl::ValuePart::Real ? target.real() : target.imag();
                sl::Evaluator<double>::applyAssignment(p, value->real(), op);
                part == sl::ValuePart::Real ? target.real(p) : target.imag(p);
                return;
            }
        }
        sl::Evaluator<T>::applyAssignment(target, *value, op);
    }
    bool hasConjugatePartners() override { return stores.settings.conjugatePartners != 0; }
    sl::StatisticsStore<T>* getStatisticsStore() override { return &stores.statistics; }
    sl::FnLimits<T>* getFnLimits() override { return &stores.fnLimits; }
    sl::RndGenManager* getRndGenManager() override { return pGenerators ? pGenerators : &stores.generators; }
    td::UINT4 getNumberOfValues() override { return stores.getNumberOfValues(); }

    sl::SolverStores<T> stores;
    // Another manager in place of the stores' one (not owned).
    sl::RndGenManager* pGenerators = nullptr;
    StoreSolver* pParent = nullptr;
    sc::ILog* pLog = nullptr;
};

// The cells of a matrix walk, in the order they are put.
template <typename T> class CellRecorder final : public sparse::IMatrixReceiver<T>
{
public:
    struct Cell
    {
        td::INT4 row;
        td::INT4 col;
        T value;
    };
    void put(td::INT4 row, td::INT4 col, const T* value) override { cells.push_back({row, col, *value}); }
    void begin() override {}
    void finishMeasurements(const dense::DiagMatrix<double>&, const dense::Matrix<T>&, sparse::ISolver<T>&) override {}
    void finishConstraints(td::UINT4, const dense::Matrix<T>&, sparse::ISolver<T>&) override {}

    // "row,col" of each cell, blank-separated.
    std::string positions() const
    {
        std::string s;
        for (const Cell& c : cells)
        {
            if (!s.empty())
                s += ' ';
            s += std::to_string(c.row);
            s += ',';
            s += std::to_string(c.col);
        }
        return s;
    }

    std::vector<Cell> cells;
};

// One load of a model text and its build over a build state bound to a store solver: the
// text road's entries through builder, and its passes through pass().
template <typename T> struct Build
{
    using Iterator = sc::TokenizedModel::iterator;

    Build() { solver.pLog = &log; }

    // Loads a model text after a short header; the load may fail (its messages stay in
    // loaded.log) and the text is still tokenized.
    bool load(const std::string& body) { return loaded.fromString("Header:\nmaxIter = 10\nend\n" + body); }

    void bind(sc::ModelLevel level = sc::ModelLevel::Main)
    {
        state.bindSolverData(data, loaded.model.get(), level);
        builder.bindEntry(data, loaded.model.get(), level);
    }

    // A pass of this build over its state, with the used-variable sets of the text road
    // where it collects into them, or over the text road itself.
    template <template <typename> class Pass> Pass<T> pass()
    {
        if constexpr (std::is_constructible_v<Pass<T>, sl::BuildState<T>&, sl::UsedVariables<T>&>)
            return Pass<T>(state, used());
        else if constexpr (std::is_constructible_v<Pass<T>, sl::TextBuilder<T>&>)
            return Pass<T>(builder);
        else
            return Pass<T>(state);
    }
    sl::UsedVariables<T>& used() { return builder.usedVariables(); }

    // Binds and runs the declarations pass.
    bool declare(sc::ModelLevel level = sc::ModelLevel::Main)
    {
        bind(level);
        return pass<sl::DeclarationReader>().buildDeclarations(loaded.naming, *loaded.model, level);
    }

    // Loads, binds, declares, and builds generators and statistics.
    bool prepare(const std::string& body)
    {
        load(body);
        return declare() && builder.initRndGensAndStats(loaded.naming, *loaded.model, sc::ModelLevel::Main);
    }

    Iterator group(sc::Group g, sc::ModelLevel level = sc::ModelLevel::Main) const
    {
        return loaded.model->getGroup(g, level);
    }

    // Every statement of an equation group as equation 0, 1, ... of its kind.
    bool equations(sc::Group g, char kind, td::UINT4* pNonZeros = nullptr)
    {
        td::UINT4 nonZeros = 0, row = 0;
        sl::EquationReader<T> reader = pass<sl::EquationReader>();
        Iterator it = group(g);
        for (++it; !it.atEnd(); ++it, ++row)
        {
            if (!reader.buildSymbolicJacobian(it, row, nonZeros, kind))
                return false;
        }
        if (pNonZeros)
            *pNonZeros = nonZeros;
        return true;
    }

    // The statements of a group into a statement list, as the section pass makes them: a
    // lone repeat is an empty entry.
    bool statements(sc::Group g, sl::EvaluatorVect<T>& list)
    {
        sl::StatementReader<T> reader = pass<sl::StatementReader>();
        Iterator it = group(g);
        for (++it; !it.atEnd(); ++it)
        {
            sl::Evaluator<T>* pRecord = data.newEvaluator();
            const sl::StatementResult r = reader.buildStatements(it, *loaded.model, pRecord, g);
            if (r == sl::StatementResult::Failed)
                return false;
            list.add(r == sl::StatementResult::LoneRepeat ? nullptr : pRecord);
        }
        return true;
    }

    // Compiles the statements of a group and runs them once on the solver.
    bool run(sc::Group g)
    {
        sl::EvaluatorVect<T>& list = solver.stores.sections[sl::SolverStores<T>::PostProc];
        return statements(g, list) && list.execute(&solver);
    }

    T& value(const char* name)
    {
        td::INT4 i = solver.stores.symbols.find(name);
        EXPECT_GE(i, 0) << name;
        return solver.stores.values[static_cast<std::size_t>(i < 0 ? 0 : i)];
    }

    // The residuals of the equation list at the current values.
    std::vector<T> residuals()
    {
        std::vector<T> out(solver.stores.equations.size());
        if (!out.empty())
            solver.stores.equations.evaluate(out.data(), T(1.0));
        return out;
    }

    // The Jacobian's cells at the current values.
    CellRecorder<T> jacobian(bool constraints = false)
    {
        CellRecorder<T> cells;
        (constraints ? solver.stores.constraintJacobian : solver.stores.jacobian).evaluate(cells);
        return cells;
    }

    // The solver's messages as "key @line:col", one per line.
    std::string keys() const
    {
        std::string out;
        for (const RecordingLog::Message& m : log.messages)
            out += m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col) + "\n";
        return out;
    }
    // The first key only.
    std::string firstKey() const { return log.messages.empty() ? std::string() : log.messages.front().text; }

    LoadedModel loaded;
    RecordingLog log;
    StoreSolver<T> solver;
    sl::SolverData<T> data{solver.stores, solver};
    sl::BuildState<T> state{solver.stores.symbols, solver.stores.values};
    sl::TextBuilder<T> builder{state};
};

inline double re(double v) { return v; }
inline double re(const Cmplx& v) { return v.real(); }
} // namespace test
