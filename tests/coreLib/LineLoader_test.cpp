#include <mu/LineLoader.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/LineListEditor.h"

namespace
{
struct Read
{
    std::vector<std::string> lines;
    std::vector<td::UINT4> starts;
    td::UINT4 end = 0;
};

Read readAll(mu::LineLoader& loader)
{
    Read r;
    td::MutableString line;
    while (loader.getLine(line))
    {
        r.lines.emplace_back(line.c_str(), line.length());
        r.starts.push_back(loader.getPreviousPosition());
    }
    r.end = loader.getCurrentPosition();
    return r;
}

Read readString(const td::String& text, td::UINT4 start = 0)
{
    mu::LineLoader loader(start, mu::LineLoader::Source::String);
    loader.setOffset(start);
    loader.setSource(&text);
    return readAll(loader);
}

std::string writeTemp(const std::string& content)
{
    char path[] = "/tmp/lineloaderXXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    FILE* f = fdopen(fd, "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

Read readFile(const std::string& path, td::UINT4 start = 0)
{
    std::ifstream in(path, std::ios::binary);
    mu::LineLoader loader(start, mu::LineLoader::Source::FileStream);
    loader.setOffset(start);
    loader.setSource(&in);
    return readAll(loader);
}

struct Case
{
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

std::vector<Case> cases()
{
    return {
        {"lf", "a\nbb\nccc\n", {"a", "bb", "ccc"}},
        {"crlf", "a\r\nbb\r\n", {"a", "bb"}},
        {"lone cr", "a\rb\rc", {"a", "b", "c"}},
        {"mixed", "a\r\n\nb\r\r\nc", {"a", "", "b", "", "c"}},
        {"empty lines", "\n\n", {"", ""}},
        {"no terminator", "last", {"last"}},
        {"bom", "\xEF\xBB\xBFx\ny", {"x", "y"}},
        {"nul kept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"long line", std::string(10000, 'L') + "\nz", {std::string(10000, 'L'), "z"}},
        {"empty", "", {}},
    };
}

TEST(LineLoader, StringAndFileGiveTheSameLines)
{
    for (const Case& c : cases())
    {
        td::String text(c.text);
        EXPECT_EQ(readString(text).lines, c.lines) << c.name;
        std::string path = writeTemp(c.text);
        EXPECT_EQ(readFile(path).lines, c.lines) << c.name;
        std::remove(path.c_str());
    }
}

TEST(LineLoader, ResumingAtAPositionReadsExactlyTheRest)
{
    std::string content = "\xEF\xBB\xBFhead\r\nsecond\rthird\n\nfifth";
    td::String text(content);
    std::string path = writeTemp(content);
    for (int kind = 0; kind < 2; ++kind)
    {
        Read first = kind ? readFile(path) : readString(text);
        ASSERT_EQ(first.lines.size(), 5u);
        EXPECT_EQ(first.starts[0], 3u);
        EXPECT_EQ(first.end, content.size());
        for (std::size_t i = 0; i < first.lines.size(); ++i)
        {
            Read rest = kind ? readFile(path, first.starts[i]) : readString(text, first.starts[i]);
            std::vector<std::string> expected(first.lines.begin() + static_cast<long>(i), first.lines.end());
            EXPECT_EQ(rest.lines, expected) << "kind " << kind << " from line " << i;
        }
    }
    std::remove(path.c_str());
}

TEST(LineLoader, EditorSourcePassesItsPositions)
{
    test::LineListEditor editor({"one", "two", "three"});
    mu::LineLoader loader(1, mu::LineLoader::Source::Editor);
    loader.setOffset(1);
    loader.setSource(&editor);
    Read r = readAll(loader);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(r.starts, (std::vector<td::UINT4>{1, 2}));
    EXPECT_EQ(r.end, 3u);
}
} // namespace
