// The console logger's lines, captured from standard output.
#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <sc/ModelFactories.h>

#include "ConsoleLog.h"

namespace
{
std::string printed(const std::function<void(sc::ILog&)>& show)
{
    testing::internal::CaptureStdout();
    show(*sc::getConsoleLogger());
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

td::String shout(const char* key) { return td::String(std::string("<") + (key ? key : "null") + ">"); }
} // namespace

TEST(ConsoleLog, WritesOneLinePerMessage)
{
    using L = sc::ILog;
    struct Case
    {
        const char* name;
        std::function<void(L&)> show;
        const char* line;
    } cases[] = {
        {"error without a position",
         [](L& l) {
             l.showEntry({td::String("bad"), 0, 4}, L::Error);
         },
         "Error! Msg=bad\n"},
        // The line and the column as given: the front end counts lines from the text's first.
        {"error at a line",
         [](L& l) {
             l.showEntry({td::String("bad"), 1, 7}, L::Error);
         },
         "Error! LineNo=1, colNo=7, msg=bad\n"},
        {"warning at a line", [](L& l) { l.showKeyAt("@ML.Key", 10, 5, L::Warning); },
         "Warning! LineNo=10, colNo=5, msg=@ML.Key\n"},
        {"warning without one", [](L& l) { l.showText(td::String("careful"), L::Warning); }, "Warning! Msg=careful\n"},
        {"plain text",
         [](L& l) {
             l.showEntry({td::String("plain"), 3, 1}, L::Info);
         },
         "plain\n"},
        {"unknown type",
         [](L& l) {
             l.showEntry({td::String("x"), 0, 0}, static_cast<L::Type>(3));
         },
         ""},
        {"empty text", [](L& l) { l.showText(td::String(), L::Error); }, "Error! Msg=\n"},
        {"null key", [](L& l) { l.showKey(nullptr, L::Error); }, "Error! Msg=\n"},
        {"key", [](L& l) { l.showKey("SC.ParamValues", L::Error); }, "Error! Msg=SC.ParamValues\n"},
        {"formatted", [](L& l) { l.showFormatted("a@b@c", 0, 0, L::Info, 2, "1", "2"); }, "a1b2c\n"},
        {"null string", [](L& l) { l.showFormatted("a@b@c", 0, 0, L::Info, 2, "1", nullptr); }, "a1bc\n"},
        // More "@" than strings: only the given strings are read.
        {"more @ than strings", [](L& l) { l.showFormatted("a@b@c@", 2, 3, L::Error, 1, "1"); },
         "Error! LineNo=2, colNo=3, msg=a1b@c@\n"},
        {"empty key", [](L& l) { l.showFormatted("", 0, 0, L::Error, 1, "1"); }, ""},
        {"null formatted key", [](L& l) { l.showFormatted(nullptr, 0, 0, L::Error, 0); }, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printed(c.show), c.line) << c.name;
}

TEST(ConsoleLog, OneLoggerPerProcessWhichATranslatorCanSpeakFor)
{
    EXPECT_EQ(sc::getConsoleLogger(), &s_consoleLog);
    EXPECT_EQ(sc::getConsoleLogger()->reserved10(), 0u);
    // A logger of its own, so the shared one stays without a translator.
    ConsoleLog log;
    log.setTranslator(&shout);
    EXPECT_EQ(printed([&](sc::ILog&) { log.showKey("K", sc::ILog::Warning); }), "Warning! Msg=<K>\n");
    EXPECT_EQ(printed([&](sc::ILog&) { log.showFormatted("F", 1, 2, sc::ILog::Info, 1, "x"); }), "<F>: x\n");
    // Texts are not translated.
    EXPECT_EQ(printed([&](sc::ILog&) { log.showText(td::String("T"), sc::ILog::Info); }), "T\n");
}
