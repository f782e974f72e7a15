#include "XmlSupport.h"

#include <filesystem>

#include "support/RefusedFiles.h"

namespace
{
using test::RecordingReporter;
using test::SettingsScope;
using test::TempFile;
using test::withDecl;

TEST(XmlEntries, MissingFileIsOneLocatedReport)
{
    RecordingReporter reporter;
    XmlFileParser parser;
    std::string path = testing::TempDir() + "no_such_dir/none.xml";
    EXPECT_FALSE(parser.parseFile(td::String(path), &reporter));
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].type, 2);
    EXPECT_EQ(reporter.reports[0].source, "XmlFileParser::parseFile");
    EXPECT_EQ(reporter.reports[0].message, "Cannot open xml file: " + path);
    EXPECT_EQ(std::string(parser.getLastError().getMessage().c_str()), "Cannot open xml file: " + path);
    // A file that was never read has no line or column.
    EXPECT_EQ(parser.getLastError().getLine(), -1);
    EXPECT_EQ(parser.getLastError().getColumn(), -1);
    EXPECT_TRUE(parser.getDocument().getFirstChild().isEmpty());
}

TEST(XmlEntries, PathsAreOpenedAsGiven)
{
    // A path of more than 300 bytes, and a folder, which is refused as a file that cannot
    // be opened.
    std::string folder = testing::TempDir() + "xml_long_" + std::to_string(::getpid());
    std::string path = folder;
    for (int i = 0; i < 4; ++i)
        path += "/" + std::string(70, static_cast<char>('a' + i));
    std::filesystem::create_directories(path);
    path += "/model.xml";
    ASSERT_GT(path.size(), 300u);
    std::ofstream(path, std::ios::binary) << withDecl("<a/>");
    RecordingReporter reporter;
    XmlFileParser parser;
    EXPECT_TRUE(parser.parseFile(td::String(path), &reporter));
    EXPECT_EQ(test::dump(parser.getDocument()), "a");
    EXPECT_FALSE(parser.parseFile(td::String(folder), &reporter));
    EXPECT_EQ(std::string(parser.getLastError().getMessage().c_str()), "Cannot open xml file: " + folder);
    EXPECT_EQ(reporter.reports.size(), 1u);
    std::filesystem::remove_all(folder);
}

TEST(XmlEntries, FoldersDevicesPipesAndOversizedFilesAreRefusedUnread)
{
    test::RefusedFiles refused;
    const std::string outcomes = refused.outcomes([](const std::string& path) {
        RecordingReporter reporter;
        XmlFileParser parser;
        const bool ok = parser.parseFile(td::String(path), &reporter);
        const mu::ParserException& e = parser.getLastError();
        return (ok ? "true|" : "false|") + std::to_string(reporter.reports.size()) + "|" + e.getMessage().c_str() +
               "|" + std::to_string(e.getLine()) + "|" + std::to_string(e.getColumn());
    });
    // As a missing file: unread, so without a line or a column.
    for (const std::string& path : refused.paths())
        EXPECT_NE(outcomes.find("false|1|Cannot open xml file: " + path + "|-1|-1\n"), std::string::npos) << outcomes;
}

TEST(XmlEntries, ReportTextsOfBothEntries)
{
    std::string doc = withDecl("\n<a>\n<b/>\n<c/>\n</b></a>");
    std::string message = "Unexpected closing element name: 'b'. Expected: 'a'";
    TempFile file(doc);
    RecordingReporter reporter;
    XmlFileParser fileParser;
    EXPECT_FALSE(fileParser.parseFile(td::String(file.path()), &reporter));
    SAXParser textParser;
    EXPECT_FALSE(textParser.parseMemory(doc.c_str(), &reporter, true));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].source, "XmlFileParser::parseFile");
    EXPECT_EQ(reporter.reports[0].message, "Cannot parse xml file: " + file.path() + "\n" + message);
    EXPECT_EQ(reporter.reports[1].source, "SAXParser::parseMemory");
    EXPECT_EQ(reporter.reports[1].message, message);
    const xml::DOMReader* parsers[] = {&fileParser, &textParser};
    for (const xml::DOMReader* p : parsers)
    {
        EXPECT_STREQ(p->getLastError().getMessage().c_str(), message.c_str());
        EXPECT_EQ(p->getLastError().getLine(), 4);
        EXPECT_EQ(p->getLastError().getKind(), 1);
    }
}

TEST(XmlEntries, ReporterFromArgumentSettingsOrNone)
{
    const std::string bad = withDecl("<a>");
    RecordingReporter given, fromSettings;
    {
        SettingsScope settings(&fromSettings);
        SAXParser p;
        EXPECT_FALSE(p.parseMemory(bad.c_str(), &given, true));
        EXPECT_FALSE(p.parseMemory(bad.c_str(), nullptr, true));
        TempFile file(bad);
        XmlFileParser f;
        EXPECT_FALSE(f.parseFile(td::String(file.path()), nullptr));
    }
    EXPECT_EQ(given.reports.size(), 1u);
    EXPECT_EQ(fromSettings.reports.size(), 2u);
    for (bool noSettings : {true, false})
    {
        // No settings at all, or settings without a reporter: nothing is reported, and the
        // last error is kept all the same.
        SettingsScope settings(nullptr, noSettings);
        EXPECT_EQ(mu::getAppSettings() == nullptr, noSettings);
        SAXParser p;
        EXPECT_FALSE(p.parseMemory(bad.c_str(), nullptr, true));
        EXPECT_STREQ(p.getLastError().getMessage().c_str(), "End of input detected");
        EXPECT_EQ(p.getLastError().getKind(), 0);
        EXPECT_EQ(p.getLastError().getLine(), 0);
        EXPECT_EQ(p.getLastError().getColumn(), 24);
    }
}

TEST(XmlEntries, DefaultSettingsReportToStandardError)
{
    ASSERT_NE(mu::getAppSettings(), nullptr);
    ASSERT_NE(mu::getAppSettings()->getErrorReporter(), nullptr);
    testing::internal::CaptureStderr();
    SAXParser p;
    EXPECT_FALSE(p.parseMemory("<a></b>", nullptr, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error in SAXParser::parseMemory: Unexpected closing element name: 'b'. Expected: 'a'\n");
}

TEST(XmlEntries, EachParseStartsAfresh)
{
    RecordingReporter quiet;
    SAXParser p;
    ASSERT_TRUE(p.parseMemory(withDecl("<first x='1'><kid/></first>").c_str(), &quiet, true));
    xml::Node first = p.getDocument().getChild("first");
    EXPECT_FALSE(first.isEmpty());
    EXPECT_FALSE(p.parseMemory(withDecl("<second><x></y></second>").c_str(), &quiet, true));
    EXPECT_EQ(p.getLastError().getLine(), 0);
    ASSERT_TRUE(p.parseMemory(withDecl("<third/>").c_str(), &quiet, true));
    // Only the last document is there, with none of the earlier names, and no error.
    EXPECT_EQ(test::dump(p.getDocument()), "third");
    EXPECT_EQ(p.getStore().findName("first"), nullptr);
    EXPECT_EQ(p.getStore().findName("x"), nullptr);
    EXPECT_EQ(p.getStore().nameCount(), 1u);
    EXPECT_TRUE(p.getLastError().getMessage().isEmpty());
    EXPECT_EQ(p.getLastError().getLine(), -1);
    EXPECT_EQ(p.getLastError().getColumn(), -1);

    TempFile one(withDecl("<one/>")), two(withDecl("<two><b/></two>"));
    XmlFileParser f(13);
    ASSERT_TRUE(f.parseFile(td::String(one.path()), &quiet));
    ASSERT_TRUE(f.parseFile(td::String(two.path()), &quiet));
    EXPECT_EQ(test::dump(f.getDocument()), "two(b)");
    EXPECT_EQ(f.getWindowSize(), 13);
    EXPECT_EQ(XmlFileParser(3).getWindowSize(), 10);
}

TEST(XmlEntries, NullTextReadsAsEmpty)
{
    RecordingReporter quiet;
    SAXParser p;
    EXPECT_FALSE(p.parseMemory(nullptr, &quiet, false));
    EXPECT_STREQ(p.getLastError().getMessage().c_str(), "End of input detected");
    EXPECT_EQ(p.getLastError().getColumn(), 0);
    EXPECT_FALSE(p.parseMemory(nullptr, &quiet, true));
    EXPECT_STREQ(p.getLastError().getMessage().c_str(), "Not an XML file");
    EXPECT_EQ(quiet.reports.size(), 2u);
}

TEST(XmlEntries, FileInputEndsAtItsFirstNulByte)
{
    std::string doc = withDecl("<a/>");
    EXPECT_TRUE(test::parseAsFile(doc + std::string(1, '\0') + "junk", 10).ok);
    test::Outcome cut = test::parseAsFile(withDecl("<a>") + std::string(1, '\0') + "</a>", 10);
    EXPECT_EQ(cut.message, "End of input detected");
    EXPECT_EQ(cut.column, 24);
}
} // namespace
