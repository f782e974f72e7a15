// Blocks of a model text nest as deep as an XML document's conditions: 64 nested if blocks
// build and run, one more is refused at the line of the block that goes too deep, and a text
// nested thousands of times deeper ends as quickly, in statements and in equations.
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "BuilderSupport.h"

namespace
{
using sc::Group;
using test::Cmplx;

template <typename T> std::string model(const std::string& equations, const std::string& statements)
{
    const char* domain = sl::ValueTraits<T>::isComplex ? ", domain = cmplx" : "";
    return std::string("Model [type = NL") + domain + "]:\nVars:\nx = 1\nParams:\np = 0\nNLEs:\n" + equations +
           "PostProc:\n" + statements + "end\n";
}

// depth nested if blocks around p = 1 (each with an else that sets p = 2).
std::string nestedStatements(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "if x > 0\n";
    text += "p = 1\n";
    for (int i = 0; i < depth; ++i)
        text += "else\np = 2\nend\n";
    return text;
}

// depth nested conditional equations around x = 1 (each with an else x = 2).
std::string nestedEquations(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "if p >= 0\n";
    text += "x = 1\n";
    for (int i = 0; i < depth; ++i)
        text += "else\nx = 2\nend\n";
    return text;
}

std::string tooDeepAt(td::UINT4 line)
{
    return std::string(sc::msg::scNestedTooDeep) + " @" + std::to_string(line) + ":1\n";
}

template <typename T> class NestingLimit : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(NestingLimit, Builds);

// The header takes lines 1 to 3; the Model line is line 4 and NLEs: is line 9.
TYPED_TEST(NestingLimit, SixtyFourBlocksNestAndTheNextIsRefusedAtItsLine)
{
    constexpr int cLimit = 64;

    test::Build<TypeParam> statements;
    ASSERT_TRUE(statements.prepare(model<TypeParam>("x = 1\n", nestedStatements(cLimit))))
        << statements.loaded.errors();
    ASSERT_TRUE(statements.run(Group::PostProc)) << statements.keys();
    EXPECT_EQ(test::re(statements.value("p")), 1.0);

    test::Build<TypeParam> equations;
    ASSERT_TRUE(equations.prepare(model<TypeParam>(nestedEquations(cLimit), "p = 0\n"))) << equations.loaded.errors();
    EXPECT_TRUE(equations.equations(Group::NLEs, 'F')) << equations.keys();
    EXPECT_EQ(equations.keys(), "");

    // One block more, and many more: the 65th if is refused (the ifs start on line 10 in the
    // equations, on line 12 in the statements, after the one equation and PostProc:).
    for (int depth : {cLimit + 1, 20000})
    {
        test::Build<TypeParam> deepStatements;
        deepStatements.prepare(model<TypeParam>("x = 1\n", nestedStatements(depth)));
        EXPECT_FALSE(deepStatements.run(Group::PostProc)) << depth;
        EXPECT_EQ(deepStatements.keys(), tooDeepAt(12 + cLimit)) << depth;

        test::Build<TypeParam> deepEquations;
        deepEquations.prepare(model<TypeParam>(nestedEquations(depth), "p = 0\n"));
        EXPECT_FALSE(deepEquations.equations(Group::NLEs, 'F')) << depth;
        EXPECT_EQ(deepEquations.keys(), tooDeepAt(10 + cLimit)) << depth;
    }
}
} // namespace
