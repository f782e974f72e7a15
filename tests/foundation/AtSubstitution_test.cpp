#include <sc/AtSubstitution.h>

#include <gtest/gtest.h>

namespace
{
TEST(AtSubstitution, CountedPlaceholders)
{
    struct Case
    {
        const char* text;
        std::vector<const char*> args;
        const char* expected;
    } cases[] = {
        {"a@b@c", {"1", "2"}, "a1b2c"},
        {"a@b@c", {"1", nullptr}, "a1bc"},
        {"a@b@c", {"1"}, "a1b@c"},
        {"a@b", {"1", "2", "3"}, "a1b: 2, 3"},
        {"@ET.LabelAfterOperand", {"x"}, "@ET.LabelAfterOperand: x"},
        {"@ET.Two", {"x", "y"}, "@ET.Two: x, y"},
        {"Unknown variable or parameter: @", {"q"}, "Unknown variable or parameter: q"},
        {"plain", {}, "plain"},
        {"", {"z"}, ": z"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(sc::substituteAt(c.text, static_cast<int>(c.args.size()), c.args.data()).c_str(), c.expected)
            << c.text;
}
} // namespace
