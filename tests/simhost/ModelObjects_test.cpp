// Model objects over a fake solver: the solver configuration from a real model text, the
// replacement of the solver on every load, the argument guards and the out-vector rules,
// and the time-stepping face forwarded to the solver.
#include <gtest/gtest.h>

#include "ModelSupport.h"

using namespace test;
using Fake = FakeSolver<double>;

TEST(ModelConfiguration, HeaderAndModelLineSettleTheSolverSettings)
{
    const std::string tooSmall = "Too small value for maxIter! Using default value for maxIter!|";
    struct Case
    {
        std::string header, attribs, warnings;
        td::UINT2 maxIter;
        double eps, step;
        td::INT4 maxReps;
    } cases[] = {
        {"maxIter = 1", "type = NL", tooSmall, cFactoryMaxIter, 1e-6, 0.001, -1},
        {"maxIter = 2", "type = NL", "", 2, 1e-6, 0.001, -1},
        // The solver's limit is 16 bits wide: larger limits saturate.
        {"maxIter = 70000", "type = NL", "", 65535, 1e-6, 0.001, -1},
        {"", "type = NL, eps = -1", "@ML.NegativeEpsUseDefault|", 200, 1e-6, 0.001, -1},
        {"", "type = NL, eps = 0", "", 200, 1e-6, 0.001, -1},
        {"", "type = NL, eps = 1e-9", "", 200, 1e-9, 0.001, -1},
        {"dTime = 0.25 maxReps = 3", "type = NL", "", 200, 1e-6, 0.25, 3},
        // A step of 0 is not handed on, and the header is told so.
        {"dTime = 0.0", "type = NL", "Too small value for dTime! Using the solver's own time step!|", 200, 1e-6, 0.0,
         -1},
        // An ODE model never reads or sets the iteration limit.
        {"maxIter = 1", "type = ODE", "", cFactoryMaxIter, 1e-6, 0.001, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.header + " / " + c.attribs);
        RecordingLog log;
        auto model = makeFakeModel<RealStatic>(&log);
        ASSERT_TRUE(model->initFromString(td::String(modelText(c.header, c.attribs))));
        EXPECT_EQ(keys(log), c.warnings);
        EXPECT_EQ(log.countOfType(sc::ILog::Warning), c.warnings.empty() ? 0u : 1u);
        const Fake& solver = *Fake::s_last;
        EXPECT_EQ(solver.initCalls, 1);
        EXPECT_EQ(solver.maxIter, c.maxIter);
        EXPECT_EQ(solver.eps, c.eps);
        EXPECT_EQ(solver.stepSize, c.step);
        EXPECT_EQ(solver.maxReps, c.maxReps);
    }
}

TEST(ModelConfiguration, RefusalsStopBeforeTheSolverIsBuilt)
{
    struct Case
    {
        std::string text, messages;
        bool complexModel;
    } cases[] = {
        {modelText("", "eps = 1e-3"), "MS.UndefindeModelType|", false},
        {modelText("maxIter = 1", "type = NL, domain = cmplx"),
         "Too small value for maxIter! Using default value for maxIter!|"
         "Cannot use complex domain model with real domain solver!|",
         false},
        // The reader's own messages, unchanged.
        {"Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nx = 2\nend\n", "@ML.VarDDVars (x)|", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        RecordingLog log;
        auto model = makeFakeModel<RealStatic>(&log);
        EXPECT_FALSE(model->initFromString(td::String(c.text)));
        EXPECT_EQ(keys(log), c.messages);
        EXPECT_EQ(Fake::s_last->initCalls, 0);
    }
    // The complex model takes the complex-domain text.
    RecordingLog log;
    auto model = makeFakeModel<CmplxStatic, Cmplx>(&log);
    EXPECT_TRUE(model->initFromString(td::String(modelText("", "type = NL, domain = cmplx"))));
    EXPECT_EQ(FakeSolver<Cmplx>::s_last->initCalls, 1);
    EXPECT_EQ(model->getNumberOfVariables(), 2u);

    // A solver that cannot build the model.
    Fake::s_initAnswer = false;
    RecordingLog initLog;
    auto refused = makeFakeModel<RealStatic>(&initLog);
    EXPECT_FALSE(refused->initFromString(td::String(modelText("", "type = NL"))));
    Fake::s_initAnswer = true;
    EXPECT_EQ(keys(initLog), "Cannot init the solver!|");
    EXPECT_EQ(initLog.countOfType(sc::ILog::Error), 1u);
}

TEST(ModelLoading, EveryLoadStartsFromAFreshSolverAndAFailedOneLeavesAnEmptyModel)
{
    const int liveBefore = Fake::s_live;
    RecordingLog first, second;
    auto model = makeFakeModel<RealStatic>(&first);
    const Fake* pFactoryMade = Fake::s_last;

    ASSERT_TRUE(model->initFromString(td::String(modelText("maxIter = 40", "type = NL"))));
    EXPECT_EQ(Fake::s_last, pFactoryMade);
    EXPECT_EQ(Fake::s_last->maxIter, 40);

    // A reload gets a fresh solver with the factory's limit and the logger set now.
    model->setLogger(&second);
    ASSERT_TRUE(model->initFromString(td::String(modelText("", "type = NL, eps = 1e-4"))));
    EXPECT_EQ(Fake::s_live, liveBefore + 1);
    EXPECT_NE(Fake::s_last, pFactoryMade);
    EXPECT_EQ(Fake::s_last->initCalls, 1);
    EXPECT_EQ(Fake::s_last->pLog, &second);
    EXPECT_EQ(model->getNumberOfParameters(), 3u);

    // A load the solver refuses leaves a fresh, empty one at once.
    Fake::s_initAnswer = false;
    EXPECT_FALSE(model->initFromString(td::String(modelText("", "type = NL"))));
    Fake::s_initAnswer = true;
    EXPECT_EQ(Fake::s_live, liveBefore + 1);
    EXPECT_EQ(Fake::s_last->initCalls, 0);
    EXPECT_EQ(Fake::s_last->maxIter, cFactoryMaxIter);

    cnt::SafeFullVector<double> out(4);
    cnt::SafeFullVector<td::UINT4> indices(1);
    EXPECT_EQ(model->getNumberOfVariables(), 0u);
    EXPECT_EQ(model->getNumberOfParameters(), 0u);
    EXPECT_EQ(model->getVariableNames().size(), 0u);
    EXPECT_EQ(model->getOutputSymbolIndices().size(), 0u);
    EXPECT_EQ(model->getVariableIndex(td::String("x")), -1);
    model->getVariableValues(out);
    EXPECT_EQ(out.size(), 0u);
    EXPECT_FALSE(model->getParameterValues(indices, out));
    EXPECT_FALSE(model->setParameterValues(indices, out));

    // Not loaded: no solve, with a key of its own.
    second.messages.clear();
    EXPECT_EQ(model->getSolverInterface()->solve(), sc::Solution::SolutionError);
    EXPECT_EQ(keys(second), "MS.ModelNotLoaded|");

    // A reader failure after a failed load keeps the still fresh solver.
    const Fake* pFresh = Fake::s_last;
    EXPECT_FALSE(model->initFromString(td::String("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nx = 2\nend\n")));
    EXPECT_EQ(Fake::s_last, pFresh);
    ASSERT_TRUE(model->initFromString(td::String(modelText("", "type = NL"))));
    EXPECT_EQ(Fake::s_last, pFresh);
    EXPECT_EQ(model->getSolverInterface()->solve(), sc::Solution::MaxIters);
    model.reset();
    EXPECT_EQ(Fake::s_live, liveBefore);
}

TEST(ModelValues, OutVectorsGuardsAndTheValuesChangedFlag)
{
    RecordingLog log;
    auto model = makeFakeModel<RealStatic>(&log);
    ASSERT_TRUE(model->initFromString(td::String(modelText("", "type = NL"))));
    Fake& solver = *Fake::s_last;
    solver.outputs = {1, 4};

    EXPECT_EQ(model->getVariableIndex(td::String("")), -1);
    EXPECT_EQ(model->getParameterIndex(td::String("")), -1);
    EXPECT_EQ(model->getVariableIndex(td::String("b")), 3);
    EXPECT_EQ(model->getParameterIndex(td::String("b")), 1);
    EXPECT_STREQ(model->getParameterNames()[2].c_str(), "c");

    // A vector of the wanted size keeps its storage; any other gets fresh storage.
    cnt::SafeFullVector<double> out(3);
    const double* pKept = out.data();
    model->getAllParameterValues(out);
    EXPECT_EQ(out.data(), pKept);
    EXPECT_EQ(out[2], 5.0);
    model->getVariableValues(out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], 2.0);

    // An index out of range gives 0 in its place, false, and one message.
    cnt::SafeFullVector<td::UINT4> indices(3);
    indices[0] = 0, indices[1] = 3, indices[2] = 1;
    EXPECT_FALSE(model->getParameterValues(indices, out));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], 3.0);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], 4.0);
    EXPECT_EQ(keys(log), "SC.ParamValues|");

    // Output symbols: the count must match, every index must be a symbol's.
    log.messages.clear();
    cnt::SafeFullVector<td::UINT4> outputs = model->getOutputSymbolIndices();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(model->getOutputSymbolNames(outputs)[1].c_str(), std::string("c"));
    EXPECT_TRUE(model->getOutputSymbolValues(outputs, out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], 5.0);
    EXPECT_EQ(model->getOutputSymbolNames(indices).size(), 0u);
    EXPECT_FALSE(model->getOutputSymbolValues(indices, out));
    EXPECT_EQ(out.size(), 0u);
    EXPECT_EQ(keys(log), "");
    outputs[1] = 5;
    EXPECT_EQ(model->getOutputSymbolNames(outputs).size(), 0u);
    out.reserve(2);
    EXPECT_FALSE(model->getOutputSymbolValues(outputs, out));
    EXPECT_EQ(out.size(), 0u);
    EXPECT_EQ(keys(log), "SC.SymbNames|SC.SymbValues|");

    // Too few values write nothing; the setters raise the solver's values-changed flag.
    log.messages.clear();
    cnt::SafeFullVector<double> values(1);
    values[0] = 9.0;
    EXPECT_FALSE(model->setVariableValues(values));
    EXPECT_FALSE(model->setParameterValues(indices, values));
    EXPECT_EQ(solver.values, (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(solver.valuesChanged);
    EXPECT_TRUE(model->setParameterValues(cnt::SafeFullVector<td::UINT4>(), cnt::SafeFullVector<double>()));
    EXPECT_EQ(keys(log), "SC.TooFewVarValues|SC.TooFewParamValues|");

    log.messages.clear();
    values.reserve(3);
    values[0] = 7, values[1] = 8, values[2] = 9;
    EXPECT_TRUE(model->setVariableValues(values));
    EXPECT_TRUE(solver.valuesChanged);
    solver.valuesChanged = false;
    indices[0] = 2, indices[1] = 3, indices[2] = 2;
    EXPECT_FALSE(model->setParameterValues(indices, values));
    EXPECT_TRUE(solver.valuesChanged);
    EXPECT_EQ(solver.values, (std::vector<double>{7, 8, 3, 4, 9}));
    EXPECT_EQ(keys(log), "SC.WrongParamIndex|");
}

TEST(DynamicModel, TimeSteppingGoesToTheSolverOnceLoaded)
{
    RecordingLog log;
    auto model = makeFakeModel<RealDynamic>(&log);
    sc::IDynamic* pDynamic = model->getSolverInterface();
    EXPECT_FALSE(pDynamic->reset(0.0));
    EXPECT_EQ(pDynamic->step(3), sc::Solution::SolutionError);
    EXPECT_EQ(keys(log), "MS.ModelNotLoaded|MS.ModelNotLoaded|");
    EXPECT_EQ(Fake::s_last->steps, 0);

    ASSERT_TRUE(model->initFromString(td::String(modelText("dTime = 0.5", "type = DAE"))));
    Fake& solver = *Fake::s_last;
    EXPECT_EQ(pDynamic->getStepSize(), 0.5);
    pDynamic->setStepSize(0.125);
    EXPECT_EQ(solver.stepSize, 0.125);
    EXPECT_TRUE(pDynamic->reset(1.5));
    EXPECT_EQ(solver.resetT0, 1.5);
    EXPECT_FALSE(pDynamic->reset(-1.0));
    EXPECT_EQ(pDynamic->step(4), sc::Solution::Oscillation);
    EXPECT_EQ(solver.steps, 4);
}
