#include "XmlSupport.h"

namespace
{
using test::Outcome;
using test::parseEverywhere;
using test::withDecl;

// An expected outcome: the dump of the tree, or an error message and kind.
struct Case
{
    std::string input;
    const char* tree;
    const char* message = nullptr;
    int kind = -1;
};

Case ok(std::string input, const char* tree) { return {std::move(input), tree}; }
Case fails(std::string input, const char* message, int kind = 1) { return {std::move(input), nullptr, message, kind}; }

void expectCase(const Case& c, const Outcome& o)
{
    if (!c.message)
    {
        EXPECT_TRUE(o.ok) << c.input << " gave " << o;
        EXPECT_EQ(o.tree, c.tree) << c.input;
        return;
    }
    EXPECT_FALSE(o.ok) << c.input;
    EXPECT_EQ(o.message, c.message) << c.input;
    EXPECT_EQ(o.kind, c.kind) << c.input;
}

void runAll(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        expectCase(c, parseEverywhere(c.input));
}

TEST(XmlDeclaration, FormsAndMarks)
{
    const std::string bom = "\xEF\xBB\xBF";
    runAll({
        ok("<?xml version='1.0'?><a/>", "a"),
        ok("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", "a"),
        ok("<?xml version='1.0' encoding='utf-8' ?><a/>", "a"),
        ok("<?xml version = '1.0' encoding = 'Utf8'?><a/>", "a"),
        ok(" \r\n\t<?xml version='1.0'?>\n<a/>\n", "a"),
        ok(bom + "<?xml version='1.0'?><a/>", "a"),
        fails("<?xml version='1.0' encoding='UTF-16'?><a/>", "Unsupported XML encoding", 8),
        fails("<?xml version='1.1'?><a/>", "Unsupported XML version", 8),
        fails("<?xml version='1.0' standalone='yes'?><a/>", "Unsupported XML version", 8),
        fails("<?xml encoding='UTF-8' version='1.0'?><a/>", "XML version expected", 8),
        fails("<?xml ?><abcdefgh/>", "XML version expected", 8),
        fails("<? xml version='1.0'?><a/>", "Wrong XML header", 8),
        fails("<?XML version='1.0'?><a/>", "Wrong XML header", 8),
        fails("<?xmlns version='1.0'?><a/>", "Wrong XML header", 8),
        fails("<abcdefgh/><!-- -->", "Wrong XML header", 8),
        fails("<?xml version='1.0' ><a/>", "Wrong XML header", 8),
        fails("x <?xml version='1.0'?><a/>", "Wrong header file", 8),
        fails("<?xml version '1.0'?><a/>", "Wrong XML header: Expected '=' after 'version'", 8),
        fails("<?xml version='1.0' encoding 'UTF-8'?><a/>", "Wrong XML header: Expected '=' after 'version'", 8),
        fails("<?xml version=1.0?><a/>", "Wrong XML header: Expected version number", 8),
        fails("<?xml version='1.0' encoding=UTF-8?><a/>", "Wrong XML header: Expected version number", 8),
        fails("<?xml version='1.0' encoding='UTF-8'><a/>", "Wrong XML header: Expected xml header closing sign '?'", 8),
        fails("<?xml version='1.0'? ><a/>", "Wrong XML header: Expected xml header closing sign '>'", 8),
        fails("<?xml version='1.0' encoding='UTF-8'?x<a/>", "Wrong XML header: Expected xml header closing sign '>'",
              8),
        fails("", "Not an XML file", 3),
        fails("<a/>     ", "Not an XML file", 3),
        fails("\xFE\xFF<?xml version='1.0'?><a/>", "Unsupported file encoding", 7),
        fails("\xFF\xFE<?xml version='1.0'?><a/>", "Unsupported file encoding", 7),
        fails("\xEF\xBB<?xml version='1.0'?><a/>", "Not an XML file", 3),
        fails("\xFF<?xml version='1.0'?><a/>", "Not an XML file", 3),
        fails("<?xml version='1.0'?>", "End of input detected", 0),
    });
}

TEST(XmlDeclaration, TextWithoutDeclaration)
{
    struct Row
    {
        const char* text;
        const char* tree;
    };
    const Row rows[] = {{"<a/>", "a"}, {"  <a x='1'>t</a>  ", "a[x=1]'t'"}, {"<abcdefgh/>", "abcdefgh"}};
    for (const Row& r : rows)
    {
        Outcome o = test::parseText(r.text, false);
        EXPECT_TRUE(o.ok) << r.text;
        EXPECT_EQ(o.tree, r.tree);
    }
    Outcome empty = test::parseText("", false);
    EXPECT_EQ(empty.message, "End of input detected");
    EXPECT_EQ(empty.kind, 0);
}

TEST(XmlGrammar, ElementsAndAttributes)
{
    runAll({
        ok(withDecl("<a x='1' y=\"2\"/>"), "a[x=1,y=2]"),
        ok(withDecl("<a x='1' x='2'/>"), "a[x=1,x=2]"),
        ok(withDecl("<a\n x = '1'\r\n\ty='' ></a>"), "a[x=1,y=]"),
        ok(withDecl("<a x=\"it's\" y='say \"hi\"' z='a<b>c'/>"), "a[x=it's,y=say \"hi\",z=a<b>c]"),
        ok(withDecl("<a:b-c.d_1 e:f='1'/>"), "a:b-c.d_1[e:f=1]"),
        ok(withDecl("<r><p/><q></q><p>t</p></r>"), "r(p q p't')"),
        ok(withDecl("<a\n/>"), "a"),
        fails(withDecl("<a x=1/>"), "Unexpected token"),
        fails(withDecl("<a x='1'/ >"), "Unexpected token! Expected '>'"),
        fails(withDecl("<a/ >"), "Unexpected token"),
        fails(withDecl("<a x/>"), "Unexpected token"),
        fails(withDecl("<a x='1' !/>"), "Unexpected token"),
        fails(withDecl("<a \xC3\xA4='1'/>"), "Unexpected token"),
        fails(withDecl("<a><1/></a>"), "Invalid element name"),
        fails(withDecl("<a></ b></a>"), "Unexpected token"),
        fails(withDecl("<a></a ></a>"), "Unexpected token"),
        fails(withDecl("<a><b></c></a>"), "Unexpected closing element name: 'c'. Expected: 'b'"),
        // Equal hash and length are not the same name.
        fails(withDecl("<a><bA></ca></a>"), "Unexpected closing element name: 'ca'. Expected: 'bA'"),
        fails(withDecl("</a>"), "Unexpected closing element name: 'a'. No element is open"),
        fails(withDecl("<a>"), "End of input detected", 0),
        fails(withDecl("<a x='1"), "End of input detected", 0),
    });
}

TEST(XmlGrammar, TextsAndEntities)
{
    runAll({
        ok(withDecl("<a>1 &lt; 2 &amp;&amp; b &gt; c</a>"), "a'1 < 2 && b > c'"),
        ok(withDecl("<a x='&apos;&quot;&#65;&#8364;'>&#9;x</a>"), "a[x='\"A\xE2\x82\xAC]'\tx'"),
        ok(withDecl("<a>&#9;&#10;</a>"), "a"),
        ok(withDecl("<a>&nbsp;</a>"), "a'\xC2\xA0'"),
        ok(withDecl("<a>&#32;</a>"), "a"),
        ok(withDecl("<a>one<b/>two</a>"), "a'two'(b)"),
        ok(withDecl("<a><b/>-5</a>"), "a'-5'(b)"),
        ok(withDecl("<a><b/>&lt;5</a>"), "a'<5'(b)"),
        ok(withDecl("<a><!-- c -->=5</a>"), "a'=5'"),
        ok(withDecl("<a><?pi?>>x</a>"), "a'>x'"),
        ok(withDecl("<a>  x \n</a>"), "a'  x \n'"),
        ok(withDecl("<a>   </a>"), "a"),
        ok(withDecl("<a>\n  <b/>\n</a>"), "a(b)"),
        ok(withDecl("<a>>\"'\xC3\xA4</a>"), "a'>\"'\xC3\xA4'"),
        ok(withDecl("lead<a/>"), "#'lead' a"),
        fails(withDecl("<a>&#x41;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&#12345;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&#0;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&#0000;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&#1a;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&#;</a>"), "Wrong unicode formating!"),
        fails(withDecl("<a>&foo;</a>"), "Unexpected character while parsing special character in string"),
        fails(withDecl("<a>&AMP;</a>"), "Unexpected character while parsing special character in string"),
        fails(withDecl("<a x='&ampx'/>"), "Unexpected character while parsing special character in string"),
        fails(withDecl("<a>&nbx;</a>"), "Unexpected character while parsing special character in string nbsp"),
        fails(withDecl("<a>&#65</a>"), "Wrong unicode formating!"),
    });
}

TEST(XmlGrammar, MarkupDeclarationsAndInstructions)
{
    runAll({
        ok(withDecl("<a><![CDATA[x<y]]]></a>"), "a'x<y]'"),
        ok(withDecl("<a><![CDATA[&amp;]]]]]></a>"), "a'&amp;]]]'"),
        ok(withDecl("<a>t<![CDATA[ \n ]]></a>"), "a't'"),
        ok(withDecl("<a><![CDATA[]]></a>"), "a"),
        ok(withDecl("<a><![CDATA[x]]>;y</a>"), "a';y'"),
        ok(withDecl("<![CDATA[d]]><a/>"), "#'d' a"),
        ok(withDecl("<!-- c --><a><!----><!-- x-y --></a>"), "a"),
        ok(withDecl("<!DOCTYPE model SYSTEM 'm.dtd'>\n<a/>"), "a"),
        ok(withDecl("<?pi a='1' b=\"2\"?><?xml version='1.0'?><a/>"), "a"),
        fails(withDecl("<a><![CDAT[x]]></a>"), "Unexpected token"),
        fails(withDecl("<a><![CDATA [x]]></a>"), "Unexpected token"),
        fails(withDecl("<a><!-- a -- b --></a>"), "Unexpected token! Comments are not closed with '>'"),
        fails(withDecl("<a><!- x --></a>"), "Unexpected token"),
        fails(withDecl("<a><!x></a>"), "Unexpected token"),
        fails(withDecl("<!DOCTYP a><a/>"), "Unexpected token"),
        fails(withDecl("<?1pi?><a/>"), "Unexpected token. Expected working instructions name"),
        fails(withDecl("<?pi a 1?><a/>"),
              "Unexpected token while parsing working instructions attribute. Expected '='"),
        fails(withDecl("<?pi a=1?><a/>"),
              "Unexpected token while parsing working instructions attribute. Expected '\"' or \"'\""),
        fails(withDecl("<?pi a='1'><a/>"), "Unexpected token while parsing working instructions name"),
        fails(withDecl("<?pi?x<a/>"), "Unexpected token while parsing working instructions attribute. Expected '>'"),
    });
}

TEST(XmlGrammar, Tail)
{
    runAll({
        ok(withDecl("<a/>  <!-- c -->  "), "a"),
        ok(withDecl("<a/><!-- c -->"), "a"),
        ok(withDecl("<a/>\n<!---->\n<!-- d -->\n"), "a"),
        fails(withDecl("<a/><!-- c"), "End of input detected", 0),
        fails(withDecl("<a/><!-"), "End of input detected", 0),
        fails(withDecl("<a/><"), "End of input detected", 0),
        fails(withDecl("<a/><!-- c -- >"), "Unexpected token! Trailing comments are not closed with '>'"),
        fails(withDecl("<a>x</a><b/>"), "Unexpected token at the end of xml", 9),
        fails(withDecl("<a/><?pi?>"), "Unexpected token at the end of xml", 9),
        fails(withDecl("<a/><!x-->"), "Unexpected token at the end of xml", 9),
        fails(withDecl("<a/></a>"), "Unexpected token at the end of xml", 9),
        fails(withDecl("<a/>x"), "Unexpected token at the end of xml", 9),
    });
}

TEST(XmlGrammar, DocTypeTextIsKept)
{
    SAXParser parser;
    test::RecordingReporter quiet;
    ASSERT_TRUE(parser.parseMemory(withDecl("<!DOCTYPE model [x]><!DOCTYPE  ><a/>").c_str(), &quiet, true));
    EXPECT_STREQ(parser.getDocType().c_str(), "model [x]");
    ASSERT_TRUE(parser.parseMemory(withDecl("<a/>").c_str(), &quiet, true));
    EXPECT_TRUE(parser.getDocType().isEmpty());
}
} // namespace
