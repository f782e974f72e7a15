// The XML road against the text road for the dynamic and least-squares kinds: one model
// written both ways gives the same symbols, kinds, start values, weights and, at the same
// values of every symbol, the same residuals row by row.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "DAEReader.h"
#include "XmlBuildSupport.h"

namespace
{
using sc::ModelLevel;
using test::readXml;
using test::replaced;

template <typename T> struct Symbols
{
    std::map<std::string, T> values;
    std::map<std::string, int> kinds;
};

template <typename T> Symbols<T> symbolsOf(sl::SolverStores<T>& s)
{
    Symbols<T> out;
    for (td::UINT4 i = 0; i < s.nVars + s.nParams; ++i)
    {
        const std::string name = s.symbols.nameAt(i)->c_str();
        // The XML road starts stage variables at their state's value, the text road at 0;
        // the solver sets them before every step.
        if (name.find("#k") == std::string::npos)
            out.values[name] = s.values[i];
        out.kinds[name] = s.symbolInfo[i].varType * 10 + s.symbolInfo[i].kind;
    }
    return out;
}

// Every symbol takes a value of its name (the same on both roads); the residuals then.
template <typename T> std::vector<T> residualsAtNamedValues(sl::SolverStores<T>& s, sl::EvaluatorVect<T>& list)
{
    for (td::UINT4 i = 0; i < s.nVars + s.nParams; ++i)
    {
        const std::size_t h = std::hash<std::string>{}(s.symbols.nameAt(i)->c_str());
        s.values[i] = T(0.25 + static_cast<double>(h % 1000) / 500.0);
    }
    std::vector<T> out(list.size());
    if (!out.empty())
        list.evaluate(out.data(), T(1.0));
    return out;
}

template <typename T> void expectSameBuild(sl::SolverStores<T>& text, sl::SolverStores<T>& xml, const std::string& what)
{
    ASSERT_EQ(text.nVars, xml.nVars) << what;
    ASSERT_EQ(text.nParams, xml.nParams) << what;
    const Symbols<T> a = symbolsOf(text), b = symbolsOf(xml);
    EXPECT_EQ(a.kinds, b.kinds) << what;
    EXPECT_EQ(a.values, b.values) << what;
    ASSERT_EQ(text.equations.size(), xml.equations.size()) << what;
    ASSERT_EQ(text.constraints.size(), xml.constraints.size()) << what;
    EXPECT_EQ(text.jacobian.size(), xml.jacobian.size()) << what;
    const std::vector<T> ra = residualsAtNamedValues(text, text.equations);
    const std::vector<T> rb = residualsAtNamedValues(xml, xml.equations);
    for (std::size_t i = 0; i < ra.size(); ++i)
        EXPECT_LE(std::abs(ra[i] - rb[i]), 1e-12 * std::max(1.0, std::abs(ra[i]))) << what << " row " << i;
    const std::vector<T> ca = residualsAtNamedValues(text, text.constraints);
    const std::vector<T> cb = residualsAtNamedValues(xml, xml.constraints);
    EXPECT_EQ(ca, cb) << what;
}

// The text road's dT comes from the header, the XML road's from the Params element.
void alignStep(sl::SolverStores<double>& text, sl::SolverStores<double>& xml)
{
    xml.values[static_cast<td::UINT4>(xml.symbols.find("dT"))] =
        text.values[static_cast<td::UINT4>(text.symbols.find("dT"))];
}

TEST(XmlEquivalence, DAEUnderEachMethod)
{
    const struct
    {
        const char* word;
        td::BYTE code;
    } methods[] = {{"Euler", 0}, {"Trapez", 1}, {"RK4", 2}, {"RK6", 3}};
    for (const auto& m : methods)
    {
        test::Build<double> text;
        ASSERT_TRUE(text.load(replaced(readXml("dae_sample.txt"), "METHOD", m.word))) << text.loaded.errors();
        text.bind();
        ASSERT_TRUE(
            text.pass<sl::DAEReader>().initDAE(text.loaded.naming, *text.loaded.model, text.data, ModelLevel::Main))
            << text.keys();
        test::XmlBuild<double> xml;
        ASSERT_TRUE(xml.dae(replaced(readXml("dae_sample.xml"), "METHOD", m.word))) << xml.errors();
        EXPECT_EQ(xml.data.results.IntegrationMethod, m.code);
        EXPECT_EQ(xml.data.nDAEStates, text.data.nDAEStates);
        EXPECT_EQ(xml.data.nTFVars, text.data.nTFVars);
        EXPECT_EQ(xml.data.results.stepValue, 0.01);
        alignStep(text.solver.stores, xml.solver.stores);
        expectSameBuild(text.solver.stores, xml.solver.stores, m.word);
        // Every record names the same symbols by name.
        auto& ts = text.solver.stores;
        auto& xs = xml.solver.stores;
        ASSERT_EQ(xs.daeVarRecords.size(), xs.nVars);
        for (td::UINT4 i = 0; i < ts.nVars; ++i)
        {
            const std::string name = ts.symbols.nameAt(i)->c_str();
            const sl::DAEVarRecord& r = ts.daeVarRecords[i];
            const sl::DAEVarRecord& q = xs.daeVarRecords[static_cast<td::UINT4>(xs.symbols.find(name.c_str()))];
            auto nameOf = [](sl::SolverStores<double>& s, td::INT4 index, td::UINT4 offset) {
                return index < 0 ? std::string("-") : std::string(s.symbols.nameAt(index + offset)->c_str());
            };
            EXPECT_EQ(nameOf(ts, r.histParam, ts.nVars), nameOf(xs, q.histParam, xs.nVars)) << m.word << name;
            EXPECT_EQ(nameOf(ts, r.firstStage, 0), nameOf(xs, q.firstStage, 0)) << m.word << name;
            EXPECT_EQ(nameOf(ts, r.firstTFState, 0), nameOf(xs, q.firstTFState, 0)) << m.word << name;
        }
    }
}

TEST(XmlEquivalence, ODEInBothForms)
{
    test::Build<double> text;
    ASSERT_TRUE(text.load(readXml("ode_sample.txt"))) << text.loaded.errors();
    text.bind();
    cnt::SafeFullVector<td::INT4> textList;
    text.data.pODEList = &textList;
    ASSERT_TRUE(text.builder.initODE(text.loaded.naming, *text.loaded.model, text.data, ModelLevel::Main))
        << text.keys();
    test::XmlBuild<double> xml;
    ASSERT_TRUE(xml.ode(readXml("ode_sample.xml"))) << xml.errors();
    alignStep(text.solver.stores, xml.solver.stores);
    expectSameBuild(text.solver.stores, xml.solver.stores, "ODE");
    ASSERT_EQ(xml.odeList.size(), 2u);
    EXPECT_EQ(xml.odeList[0], textList[0]);
    EXPECT_EQ(xml.odeList[1], textList[1]);
}

TEST(XmlEquivalence, WLSWithWeightsConstraintAndStatistic)
{
    test::Build<double> text;
    ASSERT_TRUE(text.load(readXml("wls_sample.txt"))) << text.loaded.errors();
    text.bind();
    dense::DiagMatrix<double> weights;
    text.data.pWeights = &weights;
    ASSERT_TRUE(text.builder.initWLS(text.loaded.naming, *text.loaded.model, text.data, ModelLevel::Main))
        << text.keys();
    test::XmlBuild<double> xml;
    ASSERT_TRUE(xml.wls(readXml("wls_sample.xml"))) << xml.errors();
    ASSERT_EQ(xml.weights.size(), weights.size());
    for (td::UINT4 i = 0; i < weights.size(); ++i)
        EXPECT_EQ(xml.weights[i], weights[i]) << i;
    expectSameBuild(text.solver.stores, xml.solver.stores, "WLS");
    EXPECT_EQ(xml.solver.stores.statistics.size(), 1u);
}
} // namespace
