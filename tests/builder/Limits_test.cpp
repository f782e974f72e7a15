#include <vector>

#include <gtest/gtest.h>

#include <sc/ISignal.h>
#include <sc/MessageKeys.h>

#include "BuilderSupport.h"
#include "LimitGroups.h"
#include "LimitReader.h"

namespace
{
using sc::Group;
using Ev = sl::Evaluator<double>;

class SignalRecorder final : public sc::ISignal
{
public:
    void signal(td::BYTE code) override { codes.push_back(code); }
    std::vector<td::BYTE> codes;
};

std::string model(const std::string& limits)
{
    return "Model [type = NL]:\nVars:\nx = 2; y = 3\nParams:\np = 1\nNLEs:\nx = 1\ny = 1\nLimits:\n" + limits + "end\n";
}

TEST(Limits, SignalWords)
{
    struct Case
    {
        const char* word;
        td::BYTE code;
    } cases[] = {{"TooLow", 0},   {"MedLow", 1},  {"Default", 2}, {"MedHigh", 3}, {"TooHigh", 4},
                 {"Rounding", 5}, {"default", 6}, {"", 6},        {"TooLow ", 6}, {nullptr, 6}};
    for (const Case& c : cases)
        EXPECT_EQ(sl::getSignalCode(c.word), c.code) << (c.word ? c.word : "null");
}

TEST(Limits, GroupsWithSignalsRunAsTheSolverRunsThem)
{
    const char* limits = "group [name = \"clamp\"]\n"
                         "    if x > 1 [signal = TooHigh]\n"
                         "        x = 1\n"
                         "        p += 1\n"
                         "    else [signal = MedLow]\n"
                         "        y += 1\n"
                         "    end\n"
                         "    switch\n"
                         "    case y > 10 [signal = Rounding] -> y = 10\n"
                         "    default [signal = Default] -> p = p\n"
                         "    end\n"
                         "end\n"
                         "group [enabled = false]\n"
                         "    x = 0\n"
                         "end\n";
    test::Build<double> b;
    ASSERT_TRUE(b.load(model(limits))) << b.loaded.errors();
    ASSERT_TRUE(b.declare());
    ASSERT_TRUE(b.pass<sl::LimitReader>().buildLimits(*b.loaded.model, sc::ModelLevel::Main)) << b.keys();
    const auto& groups = b.solver.stores.limitGroups;
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_STREQ(groups[0].name.c_str(), "clamp");
    EXPECT_EQ(groups[0].n, 2u);
    EXPECT_EQ(groups[0].enabled, 1);
    // A disabled group is still compiled.
    EXPECT_EQ(groups[1].n, 1u);
    EXPECT_EQ(groups[1].enabled, 0);
    EXPECT_TRUE(groups[1].name.isEmpty());
    EXPECT_EQ(groups[1].pFirst->getTargetIndex(), 0);

    const Ev& ifBlock = groups[0].pFirst[0];
    EXPECT_EQ(ifBlock.getThen()[0].getSignal(), 4);
    EXPECT_EQ(ifBlock.getThen()[1].getSignal(), 6);
    EXPECT_EQ(ifBlock.getElse()[0].getSignal(), 1);
    const Ev& sw = groups[0].pFirst[1];
    EXPECT_EQ(sw.getSignal(), 5);
    EXPECT_EQ(sw.getNextCase()->getSignal(), 2);

    struct Run
    {
        double x, y;
        std::vector<td::BYTE> signals;
        double xAfter, yAfter;
    } runs[] = {{2, 3, {4, 2}, 1, 3}, {0.5, 10, {1, 5}, 0.5, 10}, {0.5, 3, {1, 2}, 0.5, 4}};
    for (const Run& r : runs)
    {
        b.value("x") = r.x;
        b.value("y") = r.y;
        SignalRecorder recorder;
        sl::CU<double> cu(&b.solver);
        cu.setSignalReceiver(&recorder);
        for (td::UINT4 i = 0; i < groups[0].n; ++i)
            ASSERT_TRUE(groups[0].pFirst[i].execute(cu));
        EXPECT_EQ(recorder.codes, r.signals) << r.x << " " << r.y;
        EXPECT_EQ(b.value("x"), r.xAfter);
        EXPECT_EQ(b.value("y"), r.yAfter);
    }
}

TEST(Limits, RefusedLimits)
{
    struct Case
    {
        const char* limits;
        const char* keys;
    } cases[] = {
        {"x = 1\n", "@SC.LinitsMustBeGrouped @13:1\n"},
        {"group\n    if x > 1 [signal = Markowitz]\n        x = 1\n    end\nend\n",
         "@SC.WrongSignalInIf @14:24\n@SC.ErrorInLimits1 @14:5\n"},
        {"group\n    if x > 1\n        x = 1\n    else [signal = \"Low\"]\n        x = 0\n    end\nend\n",
         "@SC.WrongSignalInElse @16:21\n@SC.ErrorInLimits1 @16:5\n"},
        {"group\n    switch\n    case x > 1 [signal = default] -> x = 1\n    end\nend\n",
         "@SC.WrongCaseSignal @15:26\n@SC.ErrorInLimits1 @15:5\n"},
        {"group\n    x y\nend\n", "@SC.WrongAssignmentEq @14:5\n@SC.ErrorInLimits1 @14:5\n"},
    };
    for (const Case& c : cases)
    {
        test::Build<double> b;
        b.load(model(c.limits));
        ASSERT_TRUE(b.declare()) << c.limits;
        EXPECT_FALSE(b.pass<sl::LimitReader>().buildLimits(*b.loaded.model, sc::ModelLevel::Main)) << c.limits;
        EXPECT_EQ(b.keys(), c.keys) << c.limits << b.loaded.errors();
    }
}
} // namespace
