#include <sc/priv/ModelLoader.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <sc/MessageKeys.h>
#include <support/RecordingLog.h>

#include "Vocabulary.h"
#include "support/ScratchPath.h"

namespace
{
using sc::HeaderParam;
using sc::idx;

struct HeaderRun
{
    sc::ModelLoader::HeaderEnd end;
    cnt::SafeFullVector<td::Variant> values;
    sc::HeaderPlaces places;
    test::RecordingLog log;
};

void runHeader(const std::string& text, HeaderRun& run)
{
    test::ensureDefaultVocabulary();
    td::String source(text);
    mu::LineLoader loader(0, mu::LineLoader::Source::String);
    loader.setOffset(0);
    loader.setSource(&source);
    td::MutableString line;
    sc::ModelLoader modelLoader;
    modelLoader.setLog(&run.log);
    run.end = modelLoader.readHeader(run.values, run.places, line, loader);
}

TEST(HeaderPass, DefaultsWhenNothingIsGiven)
{
    HeaderRun run;
    run.values.reserve(3);
    runHeader("Header:\nend\n", run);
    ASSERT_EQ(run.values.size(), idx(HeaderParam::NA));
    EXPECT_EQ(run.end.headerLines, 2u);
    EXPECT_TRUE(run.log.messages.empty());
    for (unsigned i = 0; i < idx(HeaderParam::NA); ++i)
    {
        EXPECT_EQ(run.values[i].getType(), sc::HeaderDefaultValues[i].getType()) << i;
        EXPECT_EQ(run.values[i].toDouble(), sc::HeaderDefaultValues[i].toDouble()) << i;
    }
    EXPECT_EQ(run.values[idx(HeaderParam::MaxIter)].i4Val(), 200);
    EXPECT_EQ(run.values[idx(HeaderParam::DTime)].r8Val(), 0.001);
    EXPECT_EQ(run.values[idx(HeaderParam::Report)].i4Val(), 2);
    EXPECT_FALSE(run.values[idx(HeaderParam::OutToTxt)].boolVal());
    EXPECT_TRUE(run.values[idx(HeaderParam::DrawPlots)].boolVal());
    EXPECT_EQ(run.values[idx(HeaderParam::TxtFile)].getType(), td::string8);
}

TEST(HeaderPass, StoredValues)
{
    struct Case
    {
        const char* pair;
        HeaderParam param;
        td::BYTE type;
        double value;
    } cases[] = {
        {"maxIter = 2.7", HeaderParam::MaxIter, td::int4, 2},
        {"maxIter = 1e5", HeaderParam::MaxIter, td::int4, 100000},
        {"maxIter = -2147483648", HeaderParam::MaxIter, td::int4, -2147483648.0},
        {"maxIter = 1 maxIter = 5", HeaderParam::MaxIter, td::int4, 5},
        {"endTime = 3", HeaderParam::EndTime, td::real8, 3.0},
        {"dTime = 1e-4", HeaderParam::DTime, td::real8, 1e-4},
        {"maxReps = -1", HeaderParam::MaxReps, td::int4, -1},
        {"report = Solved", HeaderParam::Report, td::int4, 0},
        {"report = All", HeaderParam::Report, td::int4, 1},
        {"report = all", HeaderParam::Report, td::int4, 2},
        {"outToTxt = true", HeaderParam::OutToTxt, td::boolean, 1},
        {"outToTxt = false", HeaderParam::OutToTxt, td::boolean, 0},
        {"newTab = true // on", HeaderParam::NewTab, td::boolean, 1},
    };
    for (const Case& c : cases)
    {
        HeaderRun run;
        runHeader(std::string("Header:\n") + c.pair + "\nend\n", run);
        ASSERT_EQ(run.end.headerLines, 3u) << c.pair;
        const td::Variant& v = run.values[idx(c.param)];
        EXPECT_EQ(v.getType(), c.type) << c.pair;
        EXPECT_EQ(v.toDouble(), c.value) << c.pair;
        // A fraction cut from an integer setting is told at the value, with the setting.
        if (std::string(c.pair) == "maxIter = 2.7")
        {
            ASSERT_EQ(run.log.messages.size(), 1u);
            EXPECT_EQ(run.log.messages[0].text, std::string(sc::msg::mlHeaderRealCut) + " (maxIter)");
            EXPECT_EQ(run.log.messages[0].type, sc::ILog::Warning);
            EXPECT_EQ(run.log.messages[0].line, 2u);
            EXPECT_EQ(run.log.messages[0].col, 11u);
        }
        else
            EXPECT_TRUE(run.log.messages.empty()) << c.pair;
    }

    HeaderRun run;
    runHeader("Header:\ntxtFile = \"out \xC3\xA9.txt\" maxIter = 7\nend", run);
    EXPECT_STREQ(run.values[idx(HeaderParam::TxtFile)].strVal().c_str(), "out \xC3\xA9.txt");
    EXPECT_EQ(run.values[idx(HeaderParam::MaxIter)].i4Val(), 7);
}

TEST(HeaderPass, ErrorsAtTheirLineAndColumn)
{
    struct Case
    {
        const char* text;
        const char* key;
        td::UINT4 line, col;
    } cases[] = {
        {"$\n", sc::msg::mlHeaderTokError, 1, 1},
        {"Model:\n", sc::msg::mlHeaderFirstTokenErr, 1, 1},
        {"\n  header:\nend", sc::msg::mlHeaderFirstTokenErr, 2, 3},
        {"Header // c\nend", sc::msg::mlHeaderWithoutColon, 1, 8},
        {"Header: maxIter = 1\nend", sc::msg::mlHeaderTokenAfterColon, 1, 9},
        {"Header:\nmaxIter =\nend", sc::msg::mlHeaderParamIncomplete, 2, 9},
        {"Header:\nmaxIter = 100 maxIter // c\nend", sc::msg::mlHeaderParamIncomplete, 2, 23},
        {"Header:\nmaxIter = $\nend", sc::msg::mlHeaderTokError, 2, 11},
        {"Header:\nend x", sc::msg::mlHeaderEndAfter, 2, 5},
        {"Header:\nfoo = 1\nend", sc::msg::mlHeaderParamUnknown, 2, 1},
        {"Header:\nmaxIter 100\nend", sc::msg::mlHeaderParamExpEq, 2, 9},
        {"Header:\nmaxIter = All\nend", sc::msg::mlHeaderReportExp, 2, 11},
        {"Header:\n= 100\nend", sc::msg::mlHeaderWrongEqPos, 2, 1},
        {"Header:\nmaxIter = = 1\nend", sc::msg::mlHeaderWrongEqPos, 2, 11},
        {"Header:\n100\nend", sc::msg::mlHeaderWrongConstPos, 2, 1},
        {"Header:\noutToTxt true\nend", sc::msg::mlHeaderParamExpEq, 2, 10},
        {"Header:\nreport = 1\nend", sc::msg::mlHeaderWrongParamType, 2, 10},
        {"Header:\noutToTxt = 1\nend", sc::msg::mlHeaderWrongParamType, 2, 12},
        {"Header:\nmaxIter = \"a\"\nend", sc::msg::mlHeaderWrongParamType, 2, 12},
        {"Header:\nmaxIter = true\nend", sc::msg::mlHeaderWrongParamType, 2, 11},
        // Reals must be finite (integers beyond 32 bits have a key of their own).
        {"Header:\nendTime = 1e999\nend", sc::msg::mlHeaderWrongParamType, 2, 11},
    };
    for (const Case& c : cases)
    {
        HeaderRun run;
        runHeader(c.text, run);
        EXPECT_EQ(run.end.bodyPosition, 0u) << c.text;
        EXPECT_EQ(run.end.headerLines, 0u) << c.text;
        ASSERT_EQ(run.log.messages.size(), 1u) << c.text;
        const auto& m = run.log.messages[0];
        EXPECT_EQ(m.slot, test::RecordingLog::Slot::KeyAt) << c.text;
        EXPECT_EQ(m.text, c.key) << c.text;
        EXPECT_EQ(m.line, c.line) << c.text;
        EXPECT_EQ(m.col, c.col) << c.text;
        EXPECT_EQ(m.type, sc::ILog::Error) << c.text;
    }
}

TEST(HeaderPass, MissingEndIsSilent)
{
    for (const char* text : {"", "\n\n", "Header:\nmaxIter = 3\n", "// only a comment"})
    {
        HeaderRun run;
        runHeader(text, run);
        EXPECT_EQ(run.end.bodyPosition, 0u) << text;
        EXPECT_EQ(run.end.headerLines, 0u) << text;
        EXPECT_TRUE(run.log.messages.empty()) << text;
        EXPECT_EQ(run.values.size(), idx(HeaderParam::NA));
    }
}

TEST(HeaderPass, CommaIsAWarningAndReadingGoesOn)
{
    HeaderRun run;
    runHeader("Header:\nmaxIter = 100, maxReps = 3\nend\n", run);
    EXPECT_EQ(run.end.headerLines, 3u);
    EXPECT_EQ(run.values[idx(HeaderParam::MaxIter)].i4Val(), 100);
    EXPECT_EQ(run.values[idx(HeaderParam::MaxReps)].i4Val(), 3);
    ASSERT_EQ(run.log.messages.size(), 1u);
    EXPECT_EQ(run.log.messages[0].text, sc::msg::mlHeaderUnknownParamType);
    EXPECT_EQ(run.log.messages[0].type, sc::ILog::Warning);
    EXPECT_EQ(run.log.messages[0].line, 2u);
    EXPECT_EQ(run.log.messages[0].col, 14u);
}

TEST(HeaderPass, LineCountIncludesBlankAndCommentLines)
{
    HeaderRun run;
    runHeader("\n// about\n   \nHeader: // settings\n\nmaxIter = 3\n// more\nend // done\nModel:\n", run);
    EXPECT_EQ(run.end.headerLines, 8u);
    EXPECT_EQ(run.values[idx(HeaderParam::MaxIter)].i4Val(), 3);
    EXPECT_TRUE(run.log.messages.empty());
}

// Reads the header from one line loader, then the first body line from a second one
// that starts at the reported body position.
template <typename Source> std::string firstBodyLine(mu::LineLoader::Source kind, Source&& makeSource)
{
    td::MutableString line;
    cnt::SafeFullVector<td::Variant> values;
    sc::HeaderPlaces places;
    sc::ModelLoader loader;
    auto first = makeSource();
    mu::LineLoader header(0, kind);
    header.setOffset(0);
    header.setSource(&*first);
    auto end = loader.readHeader(values, places, line, header);
    if (end.headerLines != 3u)
        return "header lines: " + std::to_string(end.headerLines);
    auto second = makeSource();
    mu::LineLoader body(end.bodyPosition, kind);
    body.setOffset(end.bodyPosition);
    body.setSource(&*second);
    if (!body.getLine(line))
        return "no body line";
    return line.c_str();
}

TEST(HeaderPass, BodyResumesAtTheNextLine)
{
    const std::string text = "Header:\r\nmaxIter = 3\r\nend\r\nModel:\r\nx\n";
    EXPECT_EQ(firstBodyLine(mu::LineLoader::Source::String, [&] { return std::make_unique<td::String>(text); }),
              "Model:");

    std::string path = test::scratchPath("header_body.txt");
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(firstBodyLine(mu::LineLoader::Source::FileStream,
                            [&] { return std::make_unique<std::ifstream>(path, std::ios::binary); }),
              "Model:");
    std::remove(path.c_str());
}
} // namespace
