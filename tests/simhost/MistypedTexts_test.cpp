// Mistyped model texts through a host of the model library: integer literals beyond 32 bits
// solve as real numbers in both value types, and the console shows each refusal at the
// line and column counted in the text, with no message of a later pass after it.
#include <complex>
#include <cstdio>
#include <fstream>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "support/ScratchPath.h"
#include <sc/ModelFactories.h>

namespace
{
using Cmplx = std::complex<double>;

template <typename T> sc::IModel<T, sc::IStatic>* create()
{
    if constexpr (std::is_same_v<T, double>)
        return sc::createRealStaticModel(sc::IStatic::NLE, sc::getConsoleLogger(), 50);
    else
        return sc::createCmplxStaticModel(sc::IStatic::NLE, sc::getConsoleLogger(), 50);
}

template <typename T> const char* modelLine()
{
    return std::is_same_v<T, double> ? "Model [type = NL]:\n" : "Model [type = NL, domain = cmplx]:\n";
}

template <typename T> class MistypedTexts : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(MistypedTexts, Builds);

TYPED_TEST(MistypedTexts, IntegerLiteralsBeyond32BitsSolveAsRealNumbers)
{
    // A wrapped -2147483649 would be 2147483647: the condition would fail and r stay 0.
    const std::string text = std::string("Header:\nmaxIter = 50\nend\n") + modelLine<TypeParam>() +
                             "Vars:\nx = 3000000000\ny = 0\n"
                             "Params:\np = -2147483649\nq = -2147483648\nr = 0\n"
                             "NLEs:\nx = 2*3000000000\ny = p + q\n"
                             "PostProc:\nif p < -2147483648\n    r = 9007199254740993\nend\nend\n";
    sc::IModel<TypeParam, sc::IStatic>* pModel = create<TypeParam>();
    ASSERT_TRUE(pModel->initFromString(td::String(text)));
    EXPECT_EQ(pModel->getSolverInterface()->solve(), sc::Solution::OK);
    cnt::SafeFullVector<TypeParam> vars, params;
    pModel->getVariableValues(vars);
    pModel->getAllParameterValues(params);
    pModel->release();
    ASSERT_EQ(vars.size(), 2u);
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(vars[0], TypeParam(6000000000.0));
    EXPECT_EQ(vars[1], TypeParam(-4294967297.0));
    EXPECT_EQ(params[0], TypeParam(-2147483649.0));
    EXPECT_EQ(params[1], TypeParam(-2147483648.0));
    EXPECT_EQ(params[2], TypeParam(9007199254740992.0)); // the nearest double
}

// Everything the console prints while the text is loaded (the load must fail).
template <typename T> std::string printedLoad(const std::string& text, bool fromFile)
{
    sc::IModel<T, sc::IStatic>* pModel = create<T>();
    const std::string path = test::scratchPath("mistypedText.txt");
    if (fromFile)
        std::ofstream(path, std::ios::binary) << text;
    testing::internal::CaptureStdout();
    const bool loaded = fromFile ? pModel->initFromFile(td::String(path)) : pModel->initFromString(td::String(text));
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    pModel->release();
    if (fromFile)
        std::remove(path.c_str());
    EXPECT_FALSE(loaded) << text;
    return out;
}

TYPED_TEST(MistypedTexts, TheConsoleShowsEachRefusalAloneAtItsPlace)
{
    const std::string model = std::string(modelLine<TypeParam>()) + "Vars:\nx = 0; y = 0\n";
    // The missing header's message stands at the header's first line.
    const std::string cMissingHeader = "Error! LineNo=1, colNo=1, msg=@ML.HeaderIncorrectOrMissing\n";
    const struct Case
    {
        std::string text;
        std::string printed;
    } cases[] = {
        // A failed header: its message and the missing header's, nothing of the body.
        {"Heder:\nmaxIter = 50\nend\n" + model + "NLEs:\nx = 1\ny = 2\nend\n",
         "Error! LineNo=1, colNo=1, msg=@ML.HeaderFirstTokenErr\n" + cMissingHeader},
        {"Header:\nmaxIters = 50\nend\n" + model + "NLEs:\nx = 1\ny = 2\nend\n",
         "Error! LineNo=2, colNo=1, msg=@ML.HeaderParamUnknown\n" + cMissingHeader},
        {"Header:\nmaxIter = 50\n" + model + "NLEs:\nx = 1\ny = 2\nend\n",
         "Error! LineNo=1, colNo=1, msg=@ML.HeaderWithoutEnd\n" + cMissingHeader},
        {"Header:\nmaxIter = 3000000000\nend\n" + model + "NLEs:\nx = 1\ny = 2\nend\n",
         "Error! LineNo=2, colNo=11, msg=@ML.IntegerOutOfRange (maxIter)\n" + cMissingHeader},
        // The model line stands on line 4, its variables on line 6.
        {"Header:\nmaxIter = 50\nend\n" + model + "Params:\np = 1\nNLE:\nx = 1\ny = p\nend\n",
         "Error! LineNo=9, colNo=1, msg=@ML.UnknownGroupName (NLE)\n"},
        {"Header:\nmaxIter = 50\nend\n" + model + "params:\np = 1\nNLEs:\nx = p\ny = 2\nend\n",
         "Error! LineNo=7, colNo=1, msg=@ML.UnknownGroupName (params)\n"},
        {"Header:\nmaxIter = 50\nend\n" + model + "NLEs:\nx' = y\ny = 2\nend\n",
         "Error! LineNo=8, colNo=2, msg=@ML.DerivOutsideODEs (NLEs)\n"},
    };
    for (bool fromFile : {false, true})
    {
        for (const Case& c : cases)
            EXPECT_EQ(printedLoad<TypeParam>(c.text, fromFile), c.printed)
                << (fromFile ? "file\n" : "string\n") << c.text;
    }
}
} // namespace
