#include <sc/SCLib.h>
#include <sc/priv/FunctionTable.h>

#include <cstring>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "Vocabulary.h"

namespace
{
using namespace sc;

class Vocabulary : public ::testing::Test
{
protected:
    void SetUp() override { test::ensureDefaultVocabulary(); }
};

TEST_F(Vocabulary, MapSizesOfTheDefaultNaming)
{
    EXPECT_EQ(s_commonGroupMaps[0].count(), 19u);
    EXPECT_EQ(s_commonAttribMaps[0].count(), 30u);
    EXPECT_EQ(s_commonReservedMaps[0].count(), 10u);
    EXPECT_EQ(s_commonFunctions[0][idx(FunctionSet::Real)].count(), priv::cRealFunctionCount);
    EXPECT_EQ(s_commonFunctions[0][idx(FunctionSet::Complex)].count(), priv::cFunctionCount);
    EXPECT_EQ(getCommonAttribEnumValueMap().count(), 38u);
    EXPECT_EQ(s_commonAttribNames.size(), 42u);
    EXPECT_EQ(s_commonReservedNames.size(), 20u);
    EXPECT_EQ(s_commonGroupNames.size(), 20u);
    EXPECT_EQ(s_logicalTokenMap.count(), 4u);
    EXPECT_EQ(getNumericTypeMap().count(), 4u);
    EXPECT_EQ(s_specialConstantMap.count(), 4u);
    EXPECT_EQ(s_embeddedParamMap.count(), 10u);
}

TEST_F(Vocabulary, EnumeratedWordsByPosition)
{
    struct Case
    {
        unsigned pos;
        const char* word;
    } cases[] = {{0, "real"},       {1, "cmplx"},      {10, "NL"},       {13, "DAE"},
                 {24, "Markowitz"}, {26, "Bernoulli"}, {31, "LogGauss"}, {32, "LogGauss"},
                 {33, "ChiSqr"},    {37, "light"},     {38, ""},         {1000, ""}};
    for (const Case& c : cases)
        EXPECT_STREQ(getAttribEnumValue(c.pos).c_str(), c.word) << c.pos;
}

TEST_F(Vocabulary, ComplexDomainAndComplexParts)
{
    EXPECT_STREQ(s_strComplexAttribValue.c_str(), "cmplx");
    EXPECT_EQ(s_tagPosition[0], 1);
    EXPECT_EQ(s_cmplxPartIndex[0][0], static_cast<int>(idx(priv::Function::REAL)));
    EXPECT_EQ(s_cmplxPartIndex[0][1], static_cast<int>(idx(priv::Function::IMAG)));
}

TEST_F(Vocabulary, FunctionNamesByCode)
{
    struct Case
    {
        FunctionSet set;
        unsigned code;
        const char* name;
    } cases[] = {{FunctionSet::Real, 0, "abs"},
                 {FunctionSet::Real, 29, "lim"},
                 {FunctionSet::Real, 33, "round"},
                 {FunctionSet::Complex, 28, "int"},
                 {FunctionSet::Real, priv::cRealFunctionCount, ""},
                 {FunctionSet::Complex, priv::cFunctionCount, ""}};
    for (const Case& c : cases)
        EXPECT_STREQ(getFunctionName(c.set, c.code, 0).c_str(), c.name) << c.code;
    // Each function under its row in the complex set, and in the real set unless complex
    // models alone know it.
    for (unsigned code = 0; code < priv::cFunctionCount; ++code)
    {
        const char* word = priv::cFunctionWords[code];
        const bool real = priv::cFunctionDomains[code] == priv::FunctionDomain::Both;
        EXPECT_STREQ(getFunctionName(FunctionSet::Real, code, 0).c_str(), real ? word : "") << word;
        EXPECT_STREQ(getFunctionName(FunctionSet::Complex, code, 0).c_str(), word) << word;
    }
}

// Names of exactly nine characters are packed into their keys and must still be found.
TEST_F(Vocabulary, NineCharacterNamesMatch)
{
    const IndexMap& enumWords = getCommonAttribEnumValueMap();
    for (const char* word : {"Markowitz", "Bernoulli"})
        ASSERT_NE(enumWords.find(td::StrKey(word)), nullptr) << word;
    for (const char* name : {"baseIter#", "solState#"})
        ASSERT_NE(s_embeddedParamMap.find(td::StrKey(name)), nullptr) << name;
    EXPECT_EQ(s_commonGroupMaps[0].find(td::StrKey("IterPostP"))->value.group, Group::IterPostP);
    EXPECT_EQ(s_commonGroupMaps[0].find(td::StrKey("BasePostP"))->value.group, Group::BasePostP);
    EXPECT_EQ(s_commonAttribNames[idx(AttribID::BackColor)].name, td::StrKey("backColor"));
}

TEST_F(Vocabulary, DefaultNamingHasNoPlotVocabulary)
{
    EXPECT_EQ(s_commonGroupMaps[0].find(td::StrKey("Plots")), nullptr);
    EXPECT_EQ(s_commonReservedMaps[0].find(td::StrKey("linePlot")), nullptr);
    EXPECT_EQ(s_commonAttribMaps[0].find(td::StrKey("minX")), nullptr);
    EXPECT_EQ(s_commonAttribMaps[0].find(td::StrKey("name"))->value.id, AttribID::Name);
    EXPECT_EQ(s_commonReservedMaps[0].find(td::StrKey("end"))->value.isEnd, 1);
    EXPECT_EQ(s_commonReservedMaps[0].find(td::StrKey("switch"))->value.opensBlock, 1);
}

TEST_F(Vocabulary, HeaderParameterTable)
{
    struct Case
    {
        HeaderParam p;
        const char* name;
        AttribKind kind;
        td::BYTE type;
    } cases[] = {
        {HeaderParam::MaxIter, "maxIter", Token::Integer, td::int4},
        {HeaderParam::StartTime, "startTime", Token::Real, td::real8},
        {HeaderParam::DTime, "dTime", Token::Real, td::real8},
        {HeaderParam::EndTime, "endTime", Token::Real, td::real8},
        {HeaderParam::Report, "report", Token::EnumWord, td::int4},
        {HeaderParam::MaxReps, "maxReps", Token::Integer, td::int4},
        {HeaderParam::OutToTxt, "outToTxt", Token::Boolean, td::boolean},
        {HeaderParam::TxtFile, "txtFile", Token::String, td::string8},
        {HeaderParam::NewTab, "newTab", Token::Boolean, td::boolean},
        {HeaderParam::DrawPlots, "drawPlots", Token::Boolean, td::boolean},
    };
    // These settings and no others.
    ASSERT_EQ(std::size(cases), idx(HeaderParam::NA));
    for (const Case& c : cases)
    {
        EXPECT_STREQ(getHeaderParamName(c.p), c.name);
        EXPECT_EQ(getHeaderParamKind(c.p), c.kind) << c.name;
        EXPECT_EQ(HeaderDefaultValues[idx(c.p)].getType(), c.type) << c.name;
    }
    EXPECT_EQ(HeaderDefaultValues[0].i4Val(), 200);
    EXPECT_EQ(HeaderDefaultValues[2].r8Val(), 0.001);
    EXPECT_EQ(HeaderDefaultValues[3].r8Val(), 2.0);
    EXPECT_EQ(HeaderDefaultValues[4].i4Val(), 2);
    EXPECT_EQ(HeaderDefaultValues[5].i4Val(), -1);
    EXPECT_FALSE(HeaderDefaultValues[6].boolVal());
    EXPECT_TRUE(HeaderDefaultValues[7].strVal().isEmpty());
    EXPECT_TRUE(HeaderDefaultValues[9].boolVal());
}

TEST_F(Vocabulary, SolutionOKReportText)
{
    EXPECT_STREQ(getSolutionOKReportString().c_str(), "OK");
    EXPECT_EQ(getSolutionOKReportStringType(SolutionOKReportStringType::OKHand), SolutionOKReportStringType::OK);
    setSolutionOKReportStringType(SolutionOKReportStringType::ThumbsUp);
    EXPECT_STREQ(getSolutionOKReportString().c_str(), "\xF0\x9F\x91\x8D");
    EXPECT_EQ(getSolutionOKReportString().length(), 4u);
    setSolutionOKReportStringType(SolutionOKReportStringType::OKButton);
    EXPECT_STREQ(getSolutionOKReportString().c_str(), "\xF0\x9F\x86\x97");
    setSolutionOKReportStringType(SolutionOKReportStringType::OK);
    EXPECT_STREQ(getSolutionOKReportString().c_str(), "OK");
}

TEST_F(Vocabulary, SecondReserveKeepsMapsButResetsComplexMarks)
{
    reserveNamings(1);
    EXPECT_EQ(s_commonGroupMaps[0].count(), 19u);
    EXPECT_EQ(s_commonFunctions[0][1].count(), priv::cFunctionCount);
    EXPECT_EQ(s_tagPosition[0], static_cast<char>(255));
    EXPECT_EQ(s_cmplxPartIndex[0][0], -1);
    EXPECT_EQ(s_cmplxPartIndex[0][1], -1);
    // Put back what the default set-up made, for the other tests of this process.
    s_tagPosition[0] = 1;
    s_cmplxPartIndex[0][0] = static_cast<int>(idx(priv::Function::REAL));
    s_cmplxPartIndex[0][1] = static_cast<int>(idx(priv::Function::IMAG));
}

TEST_F(Vocabulary, RangeAndListSettersOnASecondNaming)
{
    // A naming of its own may carry the plot vocabulary; run in a child so that the
    // process keeps its single default naming.
    EXPECT_EXIT(
        {
            reserveNamings(2);
            setDefaultDataForNaming(1);
            bool ok = s_commonGroupMaps[1].count() == 19;
            reserveNamings(3);
            setCommonGroupNames(2, {Group::Plots, Group::NLEs});
            setCommonAttribNames(2, AttribID::MinX, AttribID::NA);
            setCommonReservedNames(2, ReservedID::LinePlot, ReservedID::LinePlot);
            setCommonRealFunctions(2, nullptr, 0, {{"myFn", 7}});
            ok = ok && s_commonGroupMaps[2].count() == 2 && s_commonGroupMaps[2].find(td::StrKey("Plots")) != nullptr;
            ok = ok && s_commonAttribMaps[2].count() == 12 && s_commonReservedMaps[2].count() == 0;
            ok = ok && s_commonFunctions[2][0].find(td::StrKey("myFn"))->value == 7;
            ok = ok && s_cmplxPartIndex[2][0] == -1;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Vocabulary, MisuseIsCaughtByAssertions)
{
    EXPECT_DEATH(setDefaultDataForAllNamings(), "s_commonAttribNames.size\\(\\) == 0");
    EXPECT_DEATH(setDefaultDataForNaming(0), "lblDict.count\\(\\) == 0");
    EXPECT_DEATH(setCommonFunctions(FunctionSet::NA, 0, {"f"}), "labelID < sc::FunctionSet::NA");
    EXPECT_DEATH(getFunctionName(FunctionSet::NA, 0, 0), "labelID <= sc::FunctionSet::Complex");
    EXPECT_DEATH(setCommonAttribNames(1, AttribID::Domain, AttribID::Type), "pos < _size");
    EXPECT_DEATH(getHeaderParamName(HeaderParam::NA), "param < HeaderParam::NA");
    EXPECT_DEATH(setLogicalLabels({{"", Token::And}}), "strLen > 0");
}

TEST_F(Vocabulary, RangeSetterNeedsDescriptionTables)
{
    EXPECT_DEATH(
        {
            s_commonGroupNames.clean();
            setCommonGroupNames(0, Group::Model, Group::Vars);
        },
        "First populate4 s_commonGroupNames");
}
} // namespace
