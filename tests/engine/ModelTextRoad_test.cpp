// Errors in a statement's expression, met on the road from model text to evaluator,
// stand at the statement's line and at the token where the problem is.
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>

#include "ModelBuildSupport.h"
#include "ParserSupport.h"

namespace
{
namespace msg = sc::msg;

TEST(ModelTextRoad, ExpressionErrorsStandAtTheirStatement)
{
    struct Case
    {
        const char* statement;
        const char* key;
        td::UINT4 col; // of the token where the problem stands
    } cases[] = {
        {"x = 6 min(x, 1)", msg::etFnAfterOperand, 9},
        // The call that is never closed.
        {"x = lim(x", msg::etLimitFnNeedsClosePar, 7},
        // Without '=' the statement is compiled as it stands, not inside x - ( ... ): the
        // last argument stands where the ')' should.
        {"round(x, 0", msg::etExpectedClosePar, 12},
        // The comma before the argument too many.
        {"x = lim(x, 0, 1, 2)", msg::etExpectedClosePar, 18},
    };
    for (const Case& c : cases)
    {
        test::ModelText text;
        // The statement is the text's line 7; it starts two columns in.
        ASSERT_TRUE(text.load(std::string("Header:\nend\nModel:\nVars:\nx\nNLEs:\n  ") + c.statement + "\nend\n"))
            << c.statement;
        test::LevelBuild<double> build(text, sc::ModelLevel::Main, nullptr);
        build.buildAll();
        bool found = false;
        for (const test::RecordingLog::Message& m : text.log.messages)
        {
            EXPECT_EQ(m.line, 7u) << c.statement << ": " << m.text;
            if (m.text != c.key)
                continue;
            found = true;
            EXPECT_EQ(m.col, c.col) << c.statement << ": " << m.text;
        }
        EXPECT_TRUE(found) << c.statement << "\n" << test::keyText(text.log);
        EXPECT_TRUE(text.silentFailures.empty()) << c.statement;
    }
}
} // namespace
