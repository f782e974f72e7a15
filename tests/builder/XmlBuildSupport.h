// Helpers for the XML road's tests: one build of an XML model document (its text or a
// file of tests/data/xml) over a build state bound to a store solver.
#pragma once

#include <complex>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <dense/DiagMatrix.h>

#include "BuilderSupport.h"
#include "XmlBuilder.h"

namespace test
{
inline std::string xmlPath(const std::string& name) { return std::string(EQNKIT_TEST_DATA) + "/xml/" + name; }

inline std::string readXml(const std::string& name)
{
    std::ifstream in(xmlPath(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// text with every from replaced by to.
inline std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

// A document of one root element with the given attributes and body.
inline std::string doc(const std::string& rootAttribs, const std::string& body)
{
    return "<?xml version=\"1.0\"?>\n<Model " + rootAttribs + ">\n" + body + "</Model>\n";
}

template <typename T> struct XmlBuild
{
    XmlBuild()
    {
        solver.pLog = &log;
        state.bindSolverData(data, nullptr, sc::ModelLevel::Main);
        solver.stores.settings.inputKind = 1;
        data.pWeights = &weights;
        data.pODEList = &odeList;
    }

    bool nr(const std::string& text) { return builder.loadNRFromXML(td::String(text.c_str()), data); }
    bool wls(const std::string& text) { return builder.loadWLSFromXML(td::String(text.c_str()), data); }
    bool ode(const std::string& text) { return builder.loadODEFromXML(td::String(text.c_str()), data); }
    bool dae(const std::string& text) { return builder.loadDAEFromXML(td::String(text.c_str()), data); }

    // A pass of this build over its state, with the used-variable sets of the XML road
    // where it collects into them.
    template <template <typename> class Pass> Pass<T> pass()
    {
        if constexpr (std::is_constructible_v<Pass<T>, sl::BuildState<T>&, sl::UsedVariables<T>&>)
            return Pass<T>(state, builder.usedVariables());
        else
            return Pass<T>(state);
    }

    // The error log's text.
    std::string errors() const { return solver.stores.errorLog.toString().c_str(); }

    T& value(const char* name)
    {
        td::INT4 i = solver.stores.symbols.find(name);
        EXPECT_GE(i, 0) << name;
        return solver.stores.values[static_cast<std::size_t>(i < 0 ? 0 : i)];
    }
    td::INT4 index(const char* name) const { return solver.stores.symbols.find(name); }

    std::vector<T> residuals()
    {
        std::vector<T> out(solver.stores.equations.size());
        if (!out.empty())
            solver.stores.equations.evaluate(out.data(), T(1.0));
        return out;
    }

    RecordingLog log;
    StoreSolver<T> solver;
    sl::SolverData<T> data{solver.stores, solver};
    sl::BuildState<T> state{solver.stores.symbols, solver.stores.values};
    sl::XmlBuilder<T> builder{state};
    dense::DiagMatrix<double> weights;
    cnt::SafeFullVector<td::INT4> odeList;
};
} // namespace test
