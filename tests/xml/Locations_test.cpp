#include "XmlSupport.h"

#include <algorithm>

namespace
{
using test::Outcome;
using test::parseEverywhere;

// The length of line `line` (0-based) of text, without its line feed; -1 when absent.
int lineLength(const std::string& text, int line)
{
    std::size_t start = 0;
    for (int i = 0; i < line; ++i)
    {
        start = text.find('\n', start);
        if (start == std::string::npos)
            return -1;
        ++start;
    }
    std::size_t end = text.find('\n', start);
    return static_cast<int>((end == std::string::npos ? text.size() : end) - start);
}

TEST(XmlLocations, LinesAndColumnsOfErrors)
{
    struct Row
    {
        std::string text;
        const char* message;
        int line;
        int column;
    };
    const std::string decl = "<?xml version='1.0'?>";
    const Row rows[] = {
        // The fifth line is line 4; the column is where reading stopped (on the '>').
        {decl + "\n<a>\n<b/>\n<c/>\n</x></a>", "Unexpected closing element name: 'x'. Expected: 'a'", 4, 3},
        // A line feed inside a value, a comment, CDATA and DOCTYPE counts.
        {decl + "<a x='1\n2'>\n</b></a>", "Unexpected closing element name: 'b'. Expected: 'a'", 2, 3},
        {decl + "<!--\n-->\n<a><![CDATA[\n]]>\n<!DOCTYPE\nx\n>\n</b></a>",
         "Unexpected closing element name: 'b'. Expected: 'a'", 7, 3},
        {decl + "\r\n<a>\r\n</b>", "Unexpected closing element name: 'b'. Expected: 'a'", 2, 3},
        {decl + "\n<a>&foo;</a>", "Unexpected character while parsing special character in string", 1, 4},
        {decl + "\n<a>\n  abc", "End of input detected", 2, 5},
        {decl + "<a/>\n  x", "Unexpected token at the end of xml", 1, 2},
        {"\n  <?xml version='1.1'?><a/>", "Unsupported XML version", 1, 21},
        {"\xFE\xFF<?xml version='1.0'?><a/>", "Unsupported file encoding", 0, 0},
        {"<a/>", "Not an XML file", 0, 0},
        {"\xEF\xBB\xBF<?xml version='1.0'?>\n <a x=1/>", "Unexpected token", 1, 6},
    };
    for (const Row& r : rows)
    {
        Outcome o = parseEverywhere(r.text);
        EXPECT_EQ(o.message, r.message) << r.text;
        EXPECT_EQ(o.line, r.line) << r.text;
        EXPECT_EQ(o.column, r.column) << r.text;
    }
}

// The line of an element is its start tag's, from 1, through both entries and any window.
void expectElementLines(const xml::DOMReader& parser)
{
    const xml::Node root = parser.getDocument().getFirstChild();
    EXPECT_EQ(parser.getDocument().getLine(), 0u);
    EXPECT_EQ(root.getLine(), 4u);
    EXPECT_EQ(root.getChild("a").getLine(), 5u);
    const xml::Node b = root.getChild("b");
    EXPECT_EQ(b.getLine(), 7u);
    EXPECT_EQ(b.getChild("c").getLine(), 8u);
    EXPECT_EQ(b.getChild("d").getLine(), 10u);
    EXPECT_EQ(xml::Node().getLine(), 0u);
}

TEST(XmlLocations, ElementsKeepTheLinesOfTheirStartTags)
{
    const std::string text =
        "<?xml version='1.0'?>\n<!-- two\nlines -->\n<model>\n  <a/>\n\n  <b x='1'\n     y='2'><c/>"
        "\n<![CDATA[\n]]><d\n/>\n  </b>\n</model>\n";
    SAXParser memory;
    ASSERT_TRUE(memory.parseMemory(text.c_str(), nullptr, true));
    expectElementLines(memory);
    for (int window : {10, 16, 4096})
    {
        test::TempFile file(text);
        XmlFileParser parser(window);
        ASSERT_TRUE(parser.parseFile(td::String(file.path()), nullptr)) << window;
        expectElementLines(parser);
    }
}

TEST(XmlLocations, EveryPrefixParsesOrFailsInsideIt)
{
    const std::string doc = "<?xml version='1.0' encoding='UTF-8'?>\n"
                            "<!-- model -->\n"
                            "<Model type='NR' desc='a &amp; b'>\n"
                            "  <Vars out='true'><Var name='x' val='1'/>\n"
                            "    <Var name='y'/></Vars>\n"
                            "  <NLEqs><Eq fx='x^2 &lt; y'/><![CDATA[ a<b ]]></NLEqs>\n"
                            "</Model>\n"
                            "<!-- end -->\n";
    ASSERT_TRUE(parseEverywhere(doc).ok);
    std::size_t rootEnd = doc.find("</Model>") + 8;
    for (std::size_t n = 0; n < doc.size(); ++n)
    {
        std::string prefix = doc.substr(0, n);
        Outcome o = parseEverywhere(prefix);
        // Only a prefix that holds the whole root element and then blanks or whole
        // comments parses.
        bool complete = n >= rootEnd && (n == rootEnd || n == rootEnd + 1 || n >= doc.size() - 1);
        EXPECT_EQ(o.ok, complete) << n << ": " << o;
        if (o.ok)
            continue;
        int lineFeeds = static_cast<int>(std::count(prefix.begin(), prefix.end(), '\n'));
        EXPECT_GE(o.line, 0) << n;
        EXPECT_LE(o.line, lineFeeds) << n;
        EXPECT_GE(o.column, 0) << n;
        EXPECT_LE(o.column, lineLength(prefix, o.line)) << n;
    }
}
} // namespace
