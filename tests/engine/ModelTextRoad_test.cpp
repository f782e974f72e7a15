// Errors in a statement's expression, met on the road from model text to evaluator,
// stand at the statement's line and column.
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
    } cases[] = {
        {"x = 6 min(x, 1)", msg::etFnAfterOperand},
        {"x = lim(x", msg::etLimitFnNeedsClosePar},
        // Without '=' the statement is compiled as it stands, not inside x - ( ... ).
        {"round(x, 0", msg::etExpectedClosePar},
        {"x = lim(x, 0, 1, 2)", msg::etExpectedClosePar},
    };
    for (const Case& c : cases)
    {
        test::ModelText text;
        // The statement is body line 5; it starts two columns in.
        ASSERT_TRUE(text.load(std::string("Header:\nend\nModel:\nVars:\nx\nNLEs:\n  ") + c.statement + "\nend\n"))
            << c.statement;
        test::LevelBuild<double> build(text, sc::ModelLevel::Main, nullptr);
        build.buildAll();
        bool found = false;
        for (const test::RecordingLog::Message& m : text.log.messages)
        {
            found = found || m.text == c.key;
            EXPECT_EQ(m.line, 5u) << c.statement << ": " << m.text;
            EXPECT_EQ(m.col, 3u) << c.statement << ": " << m.text;
        }
        EXPECT_TRUE(found) << c.statement << "\n" << test::keyText(text.log);
        EXPECT_TRUE(text.silentFailures.empty()) << c.statement;
    }
}
} // namespace
