// A host's road through the model library, built against Include/ and the shared
// libraries alone: real model texts loaded, solved, changed and solved again, checked
// against their closed-form solutions.
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <sc/ModelFactories.h>
#include <support/RecordingLog.h>
#include <support/RefusedFiles.h>

namespace
{
using Cmplx = std::complex<double>;
const std::string circleFile = std::string(EQNKIT_EXAMPLE_MODELS) + "/circleLine.txt";

// Where the circle x^2 + y^2 = r^2 meets the line y = k*x + d, on the side of x0.
std::pair<double, double> circleLine(double r, double k, double d, double x0)
{
    double a = 1 + k * k, b = 2 * k * d, c = d * d - r * r;
    double root = std::sqrt(b * b - 4 * a * c);
    double x1 = (-b + root) / (2 * a), x2 = (-b - root) / (2 * a);
    double x = std::abs(x1 - x0) < std::abs(x2 - x0) ? x1 : x2;
    return {x, k * x + d};
}

template <typename T> struct Model
{
    using I = sc::IStatic;
    explicit Model(sc::IModel<T, I>* p) : p(p) {}
    ~Model()
    {
        if (p)
            p->release();
    }
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;
    sc::IModel<T, I>* operator->() const { return p; }

    sc::Solution solve() { return p->getSolverInterface()->solve(); }
    cnt::SafeFullVector<T> variables()
    {
        cnt::SafeFullVector<T> out;
        p->getVariableValues(out);
        return out;
    }
    // Sets one parameter by name.
    bool set(const char* name, T value)
    {
        cnt::SafeFullVector<td::UINT4> indices(1);
        cnt::SafeFullVector<T> values(1);
        indices[0] = static_cast<td::UINT4>(p->getParameterIndex(td::String(name)));
        values[0] = value;
        return p->setParameterValues(indices, values);
    }

    sc::IModel<T, I>* p;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const char* const processed = "Header:\nmaxIter = 50\nend\n"
                              "Model [type = NL, eps = 1e-10]:\n"
                              "Vars:\nx = 1\ny = 1\n"
                              "Params:\na = 2\nq = 0\nprod = 0 [out = true]\n"
                              "NLEs:\nif a > 0\n    x^2 = q\nelse\n    x = -a\nend\ny = 2*x\n"
                              "PreProc:\nq = a*a + 5\n"
                              "PostProc:\nprod = x*y\n"
                              "end\n";

const char* const complexRoot = "Header:\nmaxIter = 50\nend\n"
                                "Model [type = NL, domain = cmplx, eps = 1e-12]:\n"
                                "Vars:\nz = 1+1i\nParams:\nc = 3+4i\nNLEs:\nz^2 = c\nend\n";
} // namespace

TEST(HostModels, CircleAndLineFromFileAndFromString)
{
    test::RecordingLog log;
    Model<double> fromFile(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100));
    ASSERT_TRUE(fromFile->initFromFile(td::String(circleFile)));
    ASSERT_EQ(fromFile.solve(), sc::Solution::OK);
    auto [x, y] = circleLine(2, 0.5, std::sqrt(2.0), 1);
    cnt::SafeFullVector<double> v = fromFile.variables();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NEAR(v[0], x, 1e-9);
    EXPECT_NEAR(v[1], y, 1e-9);

    // Both variables are output symbols.
    cnt::SafeFullVector<td::UINT4> outputs = fromFile->getOutputSymbolIndices();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_STREQ(fromFile->getOutputSymbolNames(outputs)[1].c_str(), "y");
    cnt::SafeFullVector<double> outValues;
    ASSERT_TRUE(fromFile->getOutputSymbolValues(outputs, outValues));
    EXPECT_EQ(outValues[0], v[0]);

    // A new radius, solved again from the last solution.
    ASSERT_TRUE(fromFile.set("r", 3.0));
    ASSERT_EQ(fromFile.solve(), sc::Solution::OK);
    std::tie(x, y) = circleLine(3, 0.5, std::sqrt(2.0), v[0]);
    v = fromFile.variables();
    EXPECT_NEAR(v[0], x, 1e-9);
    EXPECT_NEAR(v[1], y, 1e-9);

    Model<double> fromString(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100));
    ASSERT_TRUE(fromString->initFromString(td::String(readFile(circleFile))));
    EXPECT_STREQ(fromString->getParameterNames()[2].c_str(), "d");
    ASSERT_EQ(fromString.solve(), sc::Solution::OK);
    std::tie(x, y) = circleLine(2, 0.5, std::sqrt(2.0), 1);
    EXPECT_NEAR(fromString.variables()[0], x, 1e-9);
    EXPECT_TRUE(log.messages.empty());
}

TEST(HostModels, ProcessingStatementsAroundAnIfEquation)
{
    test::RecordingLog log;
    Model<double> model(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100));
    ASSERT_TRUE(model->initFromString(td::String(processed)));
    cnt::SafeFullVector<td::UINT4> outputs = model->getOutputSymbolIndices();
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0], 4u);
    struct Case
    {
        double a, x, prod;
    } cases[] = {{2, 3, 18}, {-4, 4, 32}, {1, std::sqrt(6.0), 12}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.a);
        ASSERT_TRUE(model.set("a", c.a));
        ASSERT_EQ(model.solve(), sc::Solution::OK);
        cnt::SafeFullVector<double> v = model.variables();
        EXPECT_NEAR(v[0], c.x, 1e-9);
        EXPECT_NEAR(v[1], 2 * c.x, 1e-9);
        cnt::SafeFullVector<double> prod;
        ASSERT_TRUE(model->getOutputSymbolValues(outputs, prod));
        EXPECT_NEAR(prod[0], c.prod, 1e-8);
    }
}

TEST(HostModels, ComplexModelInTheComplexModelOnly)
{
    test::RecordingLog log;
    Model<double> real(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100));
    EXPECT_FALSE(real->initFromString(td::String(complexRoot)));
    EXPECT_EQ(log.messages.back().text, "Cannot use complex domain model with real domain solver!");

    Model<Cmplx> model(sc::createCmplxStaticModel(sc::IStatic::NLE, &log, 100));
    ASSERT_TRUE(model->initFromString(td::String(complexRoot)));
    struct Case
    {
        Cmplx c, z;
    } cases[] = {{{3, 4}, {2, 1}}, {{-5, 12}, {2, 3}}, {{0, 2}, {1, 1}}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(model.set("c", c.c));
        ASSERT_EQ(model.solve(), sc::Solution::OK);
        EXPECT_LT(std::abs(model.variables()[0] - c.z), 1e-9) << c.c;
    }
    // The values read back are those set.
    cnt::SafeFullVector<Cmplx> params;
    model->getAllParameterValues(params);
    EXPECT_EQ(params[0], Cmplx(0, 2));
}

// A load from a path: "true", or the last message of the load's log.
template <typename T, typename I>
std::string fileLoad(sc::IModel<T, I>* p, test::RecordingLog& log, const std::string& path)
{
    const bool ok = p->initFromFile(td::String(path));
    p->release();
    return ok ? "true" : log.messages.empty() ? "no message" : log.messages.back().text;
}

TEST(HostModels, FoldersDevicesPipesAndOversizedFilesAreRefusedUnread)
{
    test::RefusedFiles refused;
    const std::string outcomes = refused.outcomes([](const std::string& path) {
        test::RecordingLog log;
        std::string line = fileLoad(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100), log, path);
        line += " " + fileLoad(sc::createRealStaticModel(sc::IStatic::WLS, &log, 100), log, path);
        line += " " + fileLoad(sc::createCmplxStaticModel(sc::IStatic::NLE, &log, 100), log, path);
        line += " " + fileLoad(sc::createRealDynamicModel(sc::IDynamic::ODE, &log, 100), log, path);
        line += " " + fileLoad(sc::createRealDynamicModel(sc::IDynamic::DAE, &log, 100), log, path);
        return line + " " + std::to_string(log.messages.size());
    });
    // Each load logs the one key of a file that cannot be opened.
    std::string expected;
    for (std::size_t i = 0; i < refused.paths().size(); ++i)
        expected +=
            "@ML.CannotOpenFile @ML.CannotOpenFile @ML.CannotOpenFile @ML.CannotOpenFile @ML.CannotOpenFile 5\n";
    EXPECT_EQ(outcomes, expected);
}

TEST(HostModels, ReloadReplacesTheModelAndAFailedLoadLeavesNone)
{
    test::RecordingLog log;
    Model<double> model(sc::createRealStaticModel(sc::IStatic::NLE, &log, 100));
    ASSERT_TRUE(model->initFromFile(td::String(circleFile)));
    ASSERT_EQ(model.solve(), sc::Solution::OK);

    EXPECT_FALSE(model->initFromFile(td::String(circleFile + ".missing")));
    EXPECT_EQ(model->getNumberOfVariables(), 0u);
    EXPECT_EQ(model->getNumberOfParameters(), 0u);
    EXPECT_EQ(model->getParameterNames().size(), 0u);
    EXPECT_EQ(model->getOutputSymbolIndices().size(), 0u);
    log.messages.clear();
    EXPECT_EQ(model.solve(), sc::Solution::SolutionError);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "MS.ModelNotLoaded");

    // A text the solver cannot build, then a good one.
    EXPECT_FALSE(
        model->initFromString(td::String("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = u\nend\n")));
    EXPECT_EQ(model->getNumberOfVariables(), 0u);
    ASSERT_TRUE(model->initFromString(td::String(processed)));
    EXPECT_EQ(model->getNumberOfParameters(), 3u);
    ASSERT_EQ(model.solve(), sc::Solution::OK);
    EXPECT_NEAR(model.variables()[0], 3.0, 1e-9);
}

TEST(HostModels, TheHeadersRepetitionLimitHolds)
{
    // The repeat list asks again nine times; maxReps 2 stops after three repetitions.
    Model<double> model(sc::createRealStaticModel(sc::IStatic::NLE, nullptr, 100));
    ASSERT_TRUE(model->initFromString(td::String("Header:\nmaxReps = 2\nend\nModel [type = NL]:\nVars:\nx = 0\n"
                                                 "Params:\nn = 0\nNLEs:\nx = n\nPostProc:\nn += 1\n"
                                                 "Repeats:\nif n < 10\n    repeat\nend\nend\n")));
    ASSERT_EQ(model.solve(), sc::Solution::OK);
    cnt::SafeFullVector<double> params;
    model->getAllParameterValues(params);
    EXPECT_EQ(params[0], 3.0);
}

TEST(HostModels, FactoriesRefuseUnknownProblemsAndShareOneVocabulary)
{
    for (int problem : {2, 255})
    {
        EXPECT_EQ(sc::createRealStaticModel(static_cast<sc::IStatic::Problem>(problem), nullptr, 10), nullptr);
        EXPECT_EQ(sc::createCmplxStaticModel(static_cast<sc::IStatic::Problem>(problem), nullptr, 10), nullptr);
        EXPECT_EQ(sc::createRealDynamicModel(static_cast<sc::IDynamic::Problem>(problem), nullptr, 10), nullptr);
    }
    // Models made after others load and solve on the vocabulary the first one set up.
    Model<double> first(sc::createRealStaticModel(sc::IStatic::NLE, nullptr, 100));
    Model<Cmplx> second(sc::createCmplxStaticModel(sc::IStatic::NLE, nullptr, 100));
    Model<double> third(sc::createRealStaticModel(sc::IStatic::NLE, nullptr, 100));
    ASSERT_TRUE(second->initFromString(td::String(complexRoot)));
    ASSERT_TRUE(first->initFromString(td::String(processed)));
    ASSERT_TRUE(third->initFromFile(td::String(circleFile)));
    EXPECT_EQ(first.solve(), sc::Solution::OK);
    EXPECT_EQ(second.solve(), sc::Solution::OK);
    EXPECT_EQ(third.solve(), sc::Solution::OK);
}

namespace
{
// The first variable whose value differs in a bit, or -1.
template <typename T> int firstDifference(const cnt::SafeFullVector<T>& a, const cnt::SafeFullVector<T>& b)
{
    if (a.size() != b.size())
        return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (std::memcmp(&a[i], &b[i], sizeof(T)) != 0)
            return static_cast<int>(i);
    }
    return -1;
}

// A scenario sweep through the model library: values set from outside make the next solve
// factorise afresh, so that it repeats bit for bit the solve of a model loaded anew with the
// same values (here where the pivots of the last solve are not those of a fresh choice: the
// tiny a is no pivot, 0.7 is); another model loaded into the same model object solves as it
// does loaded alone.
template <typename T, typename Make> void expectSweepsOfAModelLoadedAnew(Make make, const char* domain)
{
    const std::string pivots = std::string("Header:\nmaxIter = 50\nend\nModel [type = NL") + domain +
                               ", eps = 1e-12]:\nVars:\nx = 1.5; y = 1; z = 0.8\nParams:\na = 1e-7\nNLEs:\n"
                               "a*x + y = 1.5\nx + y*y + z = 3\ny*z + x*x = 2\nend\n";
    Model<T> swept(make());
    ASSERT_TRUE(swept->initFromString(td::String(pivots)));
    const cnt::SafeFullVector<T> start = swept.variables();
    ASSERT_EQ(swept.solve(), sc::Solution::OK);
    Model<T> anew(make());
    ASSERT_TRUE(anew->initFromString(td::String(pivots)));
    for (Model<T>* p : {&swept, &anew})
    {
        ASSERT_TRUE(p->set("a", T(0.7)));
        ASSERT_TRUE((*p)->setVariableValues(start));
        ASSERT_EQ(p->solve(), sc::Solution::OK);
    }
    EXPECT_EQ(firstDifference(swept.variables(), anew.variables()), -1);

    const std::string circle = readFile(circleFile);
    ASSERT_TRUE(swept->initFromString(td::String(circle)));
    Model<T> alone(make());
    ASSERT_TRUE(alone->initFromString(td::String(circle)));
    ASSERT_EQ(swept.solve(), sc::Solution::OK);
    ASSERT_EQ(alone.solve(), sc::Solution::OK);
    EXPECT_EQ(firstDifference(swept.variables(), alone.variables()), -1);
}

TEST(HostModels, ASolveAfterValuesSetRepeatsAModelLoadedAnew)
{
    test::RecordingLog log;
    expectSweepsOfAModelLoadedAnew<double>([&] { return sc::createRealStaticModel(sc::IStatic::NLE, &log, 100); }, "");
    expectSweepsOfAModelLoadedAnew<Cmplx>([&] { return sc::createCmplxStaticModel(sc::IStatic::NLE, &log, 100); },
                                          ", domain = cmplx");
    EXPECT_TRUE(log.messages.empty()) << log.messages.front().text;
}

TEST(HostModels, WeightedAndDynamicModelsRunOnTheirSolvers)
{
    // A complex weighted mean through the static model.
    sc::IModel<Cmplx, sc::IStatic>* pWls = sc::createCmplxStaticModel(sc::IStatic::WLS, nullptr, 50);
    ASSERT_NE(pWls, nullptr);
    ASSERT_TRUE(pWls->initFromString(td::String("Header:\nend\nModel [type = WLS, domain = cmplx, eps = 1e-12]:\n"
                                                "Vars:\nz = 0\nWLSEs:\nz = 1+2i\nz = 1.2+1.8i [w = 3]\nend\n")));
    EXPECT_EQ(pWls->getSolverInterface()->solve(), sc::Solution::OK);
    cnt::SafeFullVector<Cmplx> z;
    pWls->getVariableValues(z);
    EXPECT_LT(std::abs(z[0] - Cmplx(1.15, 1.85)), 1e-12);
    pWls->release();

    // The example mass on a spring, two-stage Gauss-Legendre steps of the header's 0.05:
    // x = 0.5 - 0.5 e^(-0.2 t) (cos(wt) + 0.2/w sin(wt)), w = sqrt(3.96).
    sc::IModel<double, sc::IDynamic>* pDae = sc::createRealDynamicModel(sc::IDynamic::DAE, nullptr, 50);
    ASSERT_NE(pDae, nullptr);
    ASSERT_TRUE(pDae->initFromFile(td::String(std::string(EQNKIT_EXAMPLE_MODELS) + "/massSpring.txt")));
    sc::IDynamic* pSteps = pDae->getSolverInterface();
    EXPECT_EQ(pSteps->getStepSize(), 0.05);
    ASSERT_TRUE(pSteps->reset(0.0));
    ASSERT_EQ(pSteps->step(40), sc::Solution::OK);
    cnt::SafeFullVector<double> values;
    pDae->getVariableValues(values);
    const double w = std::sqrt(3.96), t = 2.0;
    EXPECT_NEAR(values[0], 0.5 - 0.5 * std::exp(-0.2 * t) * (std::cos(w * t) + 0.2 / w * std::sin(w * t)), 1e-6);
    pDae->release();

    // An ODE model steps by Heun's method: x' = 1 from 0 adds dT a step.
    sc::IModel<double, sc::IDynamic>* pOde = sc::createRealDynamicModel(sc::IDynamic::ODE, nullptr, 50);
    ASSERT_NE(pOde, nullptr);
    ASSERT_TRUE(pOde->initFromString(
        td::String("Header:\ndTime = 0.25\nend\nModel [type = ODE]:\nVars:\nx = 0\nODEs:\nx' = 1\nend\n")));
    ASSERT_TRUE(pOde->getSolverInterface()->reset(0.0));
    ASSERT_EQ(pOde->getSolverInterface()->step(8), sc::Solution::OK);
    pOde->getVariableValues(values);
    EXPECT_EQ(values[0], 2.0);
    pOde->release();
}
} // namespace
