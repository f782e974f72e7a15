#include "XmlSupport.h"

namespace
{
using test::Outcome;
using test::withDecl;

std::string attributes(int n, int from = 0)
{
    std::string out;
    for (int i = from; i < from + n; ++i)
        out += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    return out;
}

std::string nested(int depth)
{
    std::string doc = withDecl("");
    for (int i = 0; i < depth; ++i)
        doc += "<e>";
    doc += "x";
    for (int i = 0; i < depth; ++i)
        doc += "</e>";
    return doc;
}

// Through the text entry and the file entry with its standard window.
Outcome parseBoth(const std::string& doc)
{
    Outcome o = test::parseText(doc);
    EXPECT_EQ(test::parseAsFile(doc, 4096), o);
    return o;
}

TEST(XmlLimits, AttributesPerElement)
{
    std::string all = withDecl("<r" + attributes(4096) + "/>");
    test::RecordingReporter quiet;
    SAXParser p;
    ASSERT_TRUE(p.parseMemory(all.c_str(), &quiet, true));
    xml::Node r = p.getDocument().getFirstChild();
    EXPECT_EQ(r.getAttribCount(), 4096u);
    EXPECT_STREQ(r.getAttribValue("a4095")->c_str(), "4095");

    Outcome tooMany = test::parseEverywhere(withDecl("<r" + attributes(4097) + "/>"));
    EXPECT_EQ(tooMany.message, "More than 4096 attributes in one element");
    EXPECT_EQ(tooMany.kind, 1);
    EXPECT_EQ(tooMany.line, 0);
}

TEST(XmlLimits, AttributeRunsMoveWholeToANewBlock)
{
    // 3000 + 3000 records do not fit one block of 4096: the second element's attributes
    // move to a new block as they grow, and every element keeps its own values in order.
    std::string doc = withDecl("<r><a" + attributes(3000) + "/><b" + attributes(3000, 3000) + "/><c" +
                               attributes(5, 6000) + "/></r>");
    test::RecordingReporter quiet;
    SAXParser p;
    ASSERT_TRUE(p.parseMemory(doc.c_str(), &quiet, true));
    int expected = 0;
    for (xml::Node e = p.getDocument().getFirstChild().getFirstChild(); !e.isEmpty(); e.nextSameName())
        for (td::LUINT8 i = 0; i < e.getAttribCount(); ++i, ++expected)
        {
            std::string number = std::to_string(expected);
            ASSERT_EQ(std::string(e.getAttribs()[i].value.c_str()), number);
            ASSERT_EQ(e.getAttribs()[i].pName->pName->c_str()[0], 'a');
            ASSERT_EQ(std::string(e.getAttribs()[i].pName->pName->c_str() + 1), number);
        }
    EXPECT_EQ(expected, 6005);
}

TEST(XmlLimits, Nesting)
{
    struct Row
    {
        int depth;
        bool ok;
    };
    const Row rows[] = {{30000, true}, {32751, true}, {32752, false}, {40000, false}};
    for (const Row& row : rows)
    {
        Outcome o = parseBoth(nested(row.depth));
        EXPECT_EQ(o.ok, row.ok) << row.depth;
        if (!row.ok)
        {
            EXPECT_EQ(o.message, "Elements nested deeper than 32751 levels");
            EXPECT_EQ(o.kind, 1);
            continue;
        }
        test::RecordingReporter quiet;
        SAXParser p;
        ASSERT_TRUE(p.parseMemory(nested(row.depth).c_str(), &quiet, true));
        int depth = 0;
        xml::Node n = p.getDocument();
        for (xml::Node child = n.getChild("e"); !child.isEmpty(); child = child.getChild("e"))
            n = child, ++depth;
        EXPECT_EQ(depth, row.depth);
        EXPECT_STREQ(n.getText().c_str(), "x");
    }
}

TEST(XmlLimits, SixteenMegabyteTextAndValue)
{
    const std::size_t n = 16u << 20;
    std::string big(n, 'v');
    for (std::size_t i = 4095; i < n; i += 4096)
        big[i] = '\n';
    std::string doc = withDecl("<r v='" + big + "'>" + big + "&amp;</r>");
    test::RecordingReporter quiet;
    SAXParser text;
    XmlFileParser file;
    test::TempFile path(doc);
    ASSERT_TRUE(text.parseMemory(doc.c_str(), &quiet, true));
    ASSERT_TRUE(file.parseFile(td::String(path.path()), &quiet));
    for (const xml::DOMReader* p :
         {static_cast<const xml::DOMReader*>(&text), static_cast<const xml::DOMReader*>(&file)})
    {
        xml::Node r = p->getDocument().getFirstChild();
        ASSERT_EQ(r.getAttribValue("v")->length(), n);
        EXPECT_EQ(std::memcmp(r.getAttribValue("v")->c_str(), big.data(), n), 0);
        ASSERT_EQ(r.getText().length(), n + 1);
        EXPECT_EQ(std::memcmp(r.getText().c_str(), big.data(), n), 0);
        EXPECT_EQ(r.getText().c_str()[n], '&');
    }
}
} // namespace
