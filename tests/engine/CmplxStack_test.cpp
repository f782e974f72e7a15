#include <string>

#include <gtest/gtest.h>

#include "CmplxStack.h"
#include "ParserSupport.h"

namespace
{
using test::Cmplx;
using C = sl::TokenCodes;

struct Golden
{
    const char* text;
    const char* tokens;
};

// Variables x, y are 0 and 1, parameters a, b are 2 and 3.
const Golden s_complexGolden[] = {
    {"3 + 4i", "c(3,4)"},
    {"4i + 3", "c(3,4)"},
    {"-3 + 4i", "c(-3,4)"},
    {"- 3 + 4i", "i0 - c(3,-4)"},
    {"x - 3 + 4i", "s0 - c(3,-4)"},
    {"x - 3 - 4i", "s0 - c(3,4)"},
    {"x + 2.5i - 1", "s0 + c(-1,2.5)"},
    {"3 + 4i * x", "i3 + j(0,4) * s0"},
    {"2 * 3 + 4i", "i2 * i3 + j(0,4)"},
    {"x / 3 + 4i", "s0 / i3 + j(0,4)"},
    {"(2i - 1)", "( c(-1,2) )"},
    {"(3 + 4i)^2", "( c(3,4) ) ^ i2"},
    {"3 + 4i + x", "c(3,4) + s0"},
    {"3 + 4 + 5i", "i3 + c(4,5)"},
    {"3 - 4 + 5i", "i3 - c(4,-5)"},
    {"sin(1 + 1i)", "sin ( c(1,1) )"},
    {"max(x, 3 + 4i)", "max ( s0 , i3 + j(0,4) )"},
    {"1.5i", "j(0,1.5)"},
    {"2e1i + pi", "c(3.1415926535897931,20)"},
    {"3 4i", "i3 j(0,4)"},
    {"conj((x))", "conj ( ( s0 ) )"},
    {"conj(x) * conj(y + 1i)", "conj ( s0 ) * conj ( s1 + j(0,1) )"},
    {"3 +", "i3 +"},
    // A minus before a number after an operator belongs to the number, as in model texts.
    {"3 - -4i", "c(3,4)"},
    {"x > -1 + 2i", "s0 > i-1 + j(0,2)"},
};

TEST(CmplxLiterals, TextRoadMergesRealAndImaginaryParts)
{
    for (const Golden& g : s_complexGolden)
    {
        test::ParserRig<Cmplx> rig;
        EXPECT_EQ(rig.parser.parse(g.text), C::END_OF_TEXT) << g.text << ": " << rig.errorText();
        EXPECT_EQ(rig.tokens(), g.tokens) << g.text;
    }
}

TEST(CmplxLiterals, RealBuildReadsNoImaginaryLiterals)
{
    test::ParserRig<double> rig;
    EXPECT_EQ(rig.parser.parse("3 + 4i"), 0);
    EXPECT_EQ(rig.errorText(), "(0,Other):Unknown variable or parameter: i");
    rig.parser.addSymbolName("i", 4);
    rig.parser.setNumberOfSymbols(2, 3);
    ASSERT_EQ(rig.parser.parse("3 + 4i"), C::END_OF_TEXT);
    EXPECT_EQ(rig.tokens(), "i3 + i4 s4");
}

TEST(CmplxLiterals, TextRoadRefusals)
{
    const Golden failures[] = {
        {"conj(conj(x))", "Nested complex conj functions are not allowed!"},
        {"conj(x + conj(y))", "Nested complex conj functions are not allowed!"},
        {"3 + + 4i", "Error in expression (two consecutive numbers without operator)"},
        {"3 + - 4i", "Error in expression (two consecutive numbers without operator)"},
    };
    for (const Golden& f : failures)
    {
        test::ParserRig<Cmplx> rig;
        rig.data.currentLine = 2;
        rig.data.currentSection = static_cast<td::BYTE>(sl::ErrorSection::ReadModel);
        EXPECT_EQ(rig.parser.parse(f.text), 0) << f.text;
        EXPECT_EQ(rig.errorText(), std::string("(2,ReadModel):") + f.tokens) << f.text;
    }
    // A refused parse leaves no open conj behind.
    test::ParserRig<Cmplx> rig;
    ASSERT_EQ(rig.parser.parse("conj(conj(x))"), 0);
    EXPECT_EQ(rig.parser.parse("conj(x)"), C::END_OF_TEXT);
}

// The collector on its own, over a list of its own.
struct Collector
{
    Collector() { list.clear(); }

    slCmplx::Token literal(td::BYTE type, double v)
    {
        slCmplx::Token t;
        t.type = type;
        t.value = type == C::IMAG_LITERAL ? Cmplx(0, v) : Cmplx(v, 0);
        return t;
    }
    std::string tokens() const { return test::describe(list.first()); }

    sl::ParserPools<Cmplx> pools;
    sl::TokenList<Cmplx> list{pools.tokenNodes};
    sl::CmplxStack stack{list};
};

TEST(CmplxStack, FlushMergesOnlyAtTheEnd)
{
    for (bool atEnd : {true, false})
    {
        Collector c;
        bool two = true;
        EXPECT_TRUE(c.stack.collect(c.literal(C::INT_LITERAL, 3)));
        EXPECT_TRUE(c.stack.push(C::SUB, two));
        EXPECT_FALSE(two);
        EXPECT_TRUE(c.stack.collect(c.literal(C::IMAG_LITERAL, 4)));
        EXPECT_EQ(c.stack.size(), 2u);
        EXPECT_EQ(c.stack.flush(atEnd), atEnd);
        EXPECT_EQ(c.tokens(), atEnd ? "c(3,-4)" : "i3 - j(0,4)");
        EXPECT_EQ(c.stack.size(), 0u);
        EXPECT_FALSE(c.stack.flush(true));
    }
}

} // namespace
