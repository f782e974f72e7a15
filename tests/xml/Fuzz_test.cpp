// Mutants of seed documents through the text entry and the file entry with windows of
// 10, 13 and 4096 bytes: all four agree; a failure is a known, located error; a success
// gives a tree that every navigation operation walks.
#include "XmlSupport.h"

#include <algorithm>
#include <map>
#include <random>

namespace
{
const std::map<std::string, int>& knownMessages()
{
    static const std::map<std::string, int> s_messages = {
        {"End of input detected", 0},
        {"Not an XML file", 3},
        {"Unsupported file encoding", 7},
        {"Wrong header file", 8},
        {"Wrong XML header", 8},
        {"XML version expected", 8},
        {"Wrong XML header: Expected '=' after 'version'", 8},
        {"Wrong XML header: Expected version number", 8},
        {"Unsupported XML version", 8},
        {"Unsupported XML encoding", 8},
        {"Wrong XML header: Expected xml header closing sign '?'", 8},
        {"Wrong XML header: Expected xml header closing sign '>'", 8},
        {"Unexpected token", 1},
        {"Unexpected token! Expected '>'", 1},
        {"Invalid element name", 1},
        {"Unexpected token! Comments are not closed with '>'", 1},
        {"Unexpected token! Trailing comments are not closed with '>'", 1},
        {"Unexpected token. Expected working instructions name", 1},
        {"Unexpected token while parsing working instructions attribute. Expected '='", 1},
        {"Unexpected token while parsing working instructions attribute. Expected '\"' or \"'\"", 1},
        {"Unexpected token while parsing working instructions attribute. Expected '>'", 1},
        {"Unexpected token while parsing working instructions name", 1},
        {"Unexpected character while parsing special character in string", 1},
        {"Unexpected character while parsing special character in string nbsp", 1},
        {"Wrong unicode formating!", 1},
        {"Unexpected token at the end of xml", 9},
        {"More than 4096 attributes in one element", 1},
        {"Elements nested deeper than 32751 levels", 1},
    };
    return s_messages;
}

bool isKnown(const test::Outcome& o)
{
    auto it = knownMessages().find(o.message);
    if (it != knownMessages().end())
        return it->second == o.kind;
    const std::string closing = "Unexpected closing element name: '";
    return o.kind == 1 && o.message.rfind(closing, 0) == 0 &&
           (o.message.find("'. Expected: '") != std::string::npos || o.message.ends_with("'. No element is open"));
}

std::string modelDocument()
{
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE model>\n"
        "<Model type=\"NR\" domain=\"real\" desc=\"grid &amp; loads\" eps=\"1e-6\">\n  <Vars out=\"true\">\n";
    for (int i = 0; i < 120; ++i)
        doc += "    <Var name=\"v" + std::to_string(i) + "\" val=\"1.0" + std::to_string(i) + "\"/>\n";
    doc += "  </Vars>\n  <Params dT=\"0.01\">\n";
    for (int i = 0; i < 20; ++i)
        doc += "    <Param name=\"p" + std::to_string(i) + "\" val=\"-2.5\"/>\n";
    doc += "  </Params>\n  <NLEqs>\n";
    for (int i = 0; i < 120; ++i)
        doc += "    <Eq fx=\"v" + std::to_string(i) + "^2 - p" + std::to_string(i % 20) + " &lt; 0\"/>\n";
    doc += "  </NLEqs>\n  <PreProc><![CDATA[x = 1; y < 2]]></PreProc>\n</Model>\n<!-- end -->\n";
    return doc;
}

std::vector<std::string> seeds()
{
    std::vector<std::string> s = {
        "<?xml version='1.0'?><a/>",
        "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n<a x='1' y=\"2\">t&amp;&#65;&nbsp;</a>",
        "<?xml version='1.0'?>\n<!-- c --><?pi a='1'?><!DOCTYPE d [x]>\n<r><p/>-5<q>\n</q><![CDATA[x<y]]]>"
        "<p i='&quot;'>z</p></r>\n<!-- tail -->\n",
        "<?xml version='1.0'?><a><b><c><d><e/></d></c></b></a>",
        "<?xml version='1.0'?><r><bA/><ca>&lt;&gt;&apos;</ca></r>  ",
        "<?xml version='1.0'?><a>1 &lt; 2 &amp;&amp; b &#9999; c</a>",
        modelDocument(),
    };
    EXPECT_GT(s.back().size(), 8192u);
    return s;
}

class Mutator
{
public:
    explicit Mutator(std::uint32_t seed) : _rng(seed) {}

    std::string mutate(std::string text)
    {
        int n = 1 + static_cast<int>(below(2));
        for (int i = 0; i < n; ++i)
            mutateOnce(text);
        std::replace(text.begin(), text.end(), '\0', '\x01');
        return text;
    }

private:
    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(_rng); }

    void mutateOnce(std::string& t)
    {
        static const char* const s_pieces[] = {"<",         ">",        "/",    "</a>",       "<a>",  "&",  "&amp;",
                                               "&#",        "&#65;",    ";",    "'",          "\"",   "=",  "]]>",
                                               "<![CDATA[", "<!--",     "-->",  "<?",         "?>",   "\n", "\r\n",
                                               " ",         "\xC3\xA4", "\xFF", "<!DOCTYPE ", "x='1'"};
        std::size_t pos = below(t.size() + 1);
        switch (below(6))
        {
        case 0: // byte flip
            if (!t.empty())
                t[below(t.size())] = static_cast<char>(below(2) ? below(256) : t[below(t.size())] ^ (1 << below(8)));
            break;
        case 1: // insertion
            t.insert(pos, s_pieces[below(std::size(s_pieces))]);
            break;
        case 2: // deletion
            t.erase(pos, 1 + below(16));
            break;
        case 3: // truncation
            t.resize(pos);
            break;
        case 4: // slice duplication
        {
            std::size_t from = below(t.size() + 1);
            std::string slice = t.substr(from, 1 + below(64));
            t.insert(below(t.size() + 1), slice);
            break;
        }
        default: // added nesting around a slice
        {
            std::size_t end = pos + below(t.size() - pos + 1);
            std::size_t depth = 1 + below(4);
            std::string open, close;
            for (std::size_t i = 0; i < depth; ++i)
                open += "<n>", close += "</n>";
            t.insert(end, close);
            t.insert(pos, open);
        }
        }
    }

    std::mt19937 _rng;
};

// Visits every node and attribute through the handle operations; returns how many.
std::size_t walk(const xml::Node& doc)
{
    std::size_t visited = 0;
    std::vector<xml::Node> pending{doc};
    while (!pending.empty())
    {
        xml::Node n = pending.back();
        pending.pop_back();
        ++visited;
        for (td::LUINT8 i = 0; i < n.getAttribCount(); ++i, ++visited)
        {
            const xml::Attrib& a = n.getAttribs()[i];
            const xml::Attrib* pFirst = n.findAttrib(a.pName->pName->c_str());
            EXPECT_TRUE(pFirst && pFirst <= &a && pFirst->pName == a.pName);
        }
        int children = 0;
        for (xml::Node c = n.getFirstChild(); !c.isEmpty(); c.nextSameName(), ++children)
        {
            pending.push_back(c);
            xml::Node byName = n.getChild(c.getName()->c_str());
            EXPECT_TRUE(!byName.isEmpty() && byName.getRecord()->pName == c.getRecord()->pName);
            EXPECT_GE(byName.countSameName(), 1);
        }
        EXPECT_EQ(n.getFirstChild().countSameName(), children);
    }
    return visited;
}

TEST(XmlFuzz, MutantsAgreeAcrossEntriesAndFailInPlace)
{
    const std::vector<std::string> seedTexts = seeds();
    Mutator mutator(20240611u);
    test::RecordingReporter quiet;
    SAXParser text;
    XmlFileParser files[] = {XmlFileParser(10), XmlFileParser(13), XmlFileParser(4096)};
    test::TempFile file;
    int successes = 0;
    for (int i = 0; i < 20000 && !HasFailure(); ++i)
    {
        std::string mutant = mutator.mutate(seedTexts[static_cast<std::size_t>(i) % seedTexts.size()]);
        SCOPED_TRACE("mutant " + std::to_string(i) + ": " + mutant);
        test::Outcome o = test::outcomeOf(text, text.parseMemory(mutant.c_str(), &quiet, true));
        file.write(mutant);
        for (XmlFileParser& f : files)
            EXPECT_EQ(test::outcomeOf(f, f.parseFile(td::String(file.path()), &quiet)), o)
                << "window " << f.getWindowSize();
        if (o.ok)
        {
            ++successes;
            EXPECT_GT(walk(text.getDocument()), 1u);
            continue;
        }
        EXPECT_TRUE(isKnown(o)) << o;
        EXPECT_GE(o.line, 0);
        EXPECT_LE(o.line, std::count(mutant.begin(), mutant.end(), '\n'));
        std::size_t lineStart = 0;
        for (int l = 0; l < o.line; ++l)
            lineStart = mutant.find('\n', lineStart) + 1;
        std::size_t lineEnd = std::min(mutant.find('\n', lineStart), mutant.size());
        EXPECT_GE(o.column, 0);
        EXPECT_LE(static_cast<std::size_t>(o.column), lineEnd - lineStart) << o;
    }
    // Both kinds of outcome occur often enough to mean something.
    EXPECT_GT(successes, 1000);
    EXPECT_GT(quiet.reports.size(), 20000u);
}
} // namespace
