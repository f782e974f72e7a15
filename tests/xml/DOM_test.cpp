#include "XmlSupport.h"

namespace
{
using test::withDecl;

// A parser over a text that must parse; quiet on failure.
struct Parsed
{
    explicit Parsed(const std::string& body)
    {
        ok = parser.parseMemory(withDecl(body).c_str(), &quiet, true);
        EXPECT_TRUE(ok) << body;
    }
    xml::Node root() const { return parser.getDocument().getFirstChild(); }
    test::RecordingReporter quiet;
    SAXParser parser;
    bool ok;
};

TEST(XmlDOM, NameHashesAndBuckets)
{
    struct Row
    {
        const char* name;
        td::UINT4 hash;
        td::UINT4 bucket1024;
        td::UINT4 bucket256;
    };
    const Row rows[] = {{"abc", 0x18823, 35, 35}, {"Vars", 0x2A8A33, 563, 51}, {"bA", 3073, 1, 1}, {"ca", 3073, 1, 1}};
    Parsed p("<abc Vars='1'><bA/><ca/></abc>");
    for (const Row& r : rows)
    {
        const xml::NameEntry* pEntry = p.parser.getStore().findName(r.name);
        ASSERT_NE(pEntry, nullptr) << r.name;
        EXPECT_EQ(pEntry->hash, r.hash) << r.name;
        EXPECT_EQ((cnt::HashList<xml::NameEntry>::bucketOf(pEntry->hash, 1024)), r.bucket1024) << r.name;
        EXPECT_EQ((cnt::HashList<xml::NameEntry>::bucketOf(pEntry->hash, 256)), r.bucket256) << r.name;
        EXPECT_STREQ(pEntry->pName->c_str(), r.name);
    }
    EXPECT_EQ(p.parser.getStore().bucketCount(), 256u);
    XmlFileParser fileParser;
    EXPECT_EQ(fileParser.getStore().bucketCount(), 1024u);
}

TEST(XmlDOM, NamesAreInternedOnce)
{
    Parsed p("<r a='1'><r a='2'/><a/></r>");
    const xml::NameEntry* pR = p.parser.getStore().findName("r");
    const xml::NameEntry* pA = p.parser.getStore().findName("a");
    ASSERT_TRUE(pR && pA);
    EXPECT_EQ(pR->useCount, 2u); // closing tags look names up without interning them
    EXPECT_EQ(pA->useCount, 3u);
    EXPECT_EQ(p.parser.getStore().nameCount(), 2u);
    xml::Node r = p.root();
    EXPECT_EQ(r.getEntry(), nullptr);
    EXPECT_EQ(r.getRecord()->pName, pR);
    EXPECT_EQ(r.getRecord()->pAttribs[0].pName, pA);
    EXPECT_EQ(r.getChild("a").getRecord()->pName, pA);
}

TEST(XmlDOM, NavigationBySiblingsOfOneName)
{
    Parsed p("<r><p i='1'/><q/><p i='2'/></r>");
    xml::Node r = p.parser.getDocument().getChild("r");
    ASSERT_FALSE(r.isEmpty());
    EXPECT_STREQ(r.getName()->c_str(), "r");
    xml::Node first = r.getChild("p");
    ASSERT_FALSE(first.isEmpty());
    EXPECT_STREQ(first.getAttribValue("i")->c_str(), "1");
    EXPECT_EQ(first.countSameName(), 2);
    xml::Node it = first;
    it.nextSameName();
    ASSERT_FALSE(it.isEmpty());
    EXPECT_STREQ(it.getAttribValue("i")->c_str(), "2");
    EXPECT_EQ(it.countSameName(), 1);
    it.nextSameName();
    EXPECT_TRUE(it.isEmpty());
    EXPECT_EQ(it.countSameName(), 0);
    EXPECT_TRUE(it.getChild("p").isEmpty());
    EXPECT_EQ(r.getChild("q").countSameName(), 1);

    // Without a name the handle visits every child.
    std::string names;
    xml::Node any = r.getFirstChild();
    EXPECT_EQ(any.countSameName(), 3);
    for (; !any.isEmpty(); any.nextSameName())
        names += any.getName()->c_str();
    EXPECT_EQ(names, "pqp");

    // Absent names: never used, used only elsewhere, the empty name.
    EXPECT_TRUE(r.getChild("x").isEmpty());
    EXPECT_TRUE(r.getChild("r").isEmpty());
    EXPECT_TRUE(r.getChild("i").isEmpty());
    EXPECT_TRUE(r.getChild("").isEmpty());
    EXPECT_TRUE(first.getFirstChild().isEmpty());
    EXPECT_EQ(p.parser.getDocument().getName(), nullptr);
}

TEST(XmlDOM, LookupsNeverReturnAnotherNameOfTheSameHash)
{
    Parsed p("<r><bA n='1'/><ca n='2'/><bA n='3'/></r>");
    xml::Node ca = p.root().getChild("ca");
    ASSERT_FALSE(ca.isEmpty());
    EXPECT_STREQ(ca.getAttribValue("n")->c_str(), "2");
    EXPECT_EQ(ca.countSameName(), 1);
    xml::Node bA = p.root().getChild("bA");
    EXPECT_EQ(bA.countSameName(), 2);
    bA.nextSameName();
    EXPECT_STREQ(bA.getAttribValue("n")->c_str(), "3");

    Parsed only("<r><bA/></r>");
    EXPECT_TRUE(only.root().getChild("ca").isEmpty());
}

TEST(XmlDOM, Attributes)
{
    Parsed p("<r a='1' b='' a='2' f='True'/>");
    xml::Node r = p.root();
    EXPECT_EQ(r.getAttribCount(), 4u);
    ASSERT_NE(r.findAttrib("a"), nullptr);
    EXPECT_EQ(r.findAttrib("a"), &r.getAttribs()[0]);
    const td::PoolString* pEmpty = r.getAttribValue("b");
    ASSERT_NE(pEmpty, nullptr);
    EXPECT_TRUE(pEmpty->isEmpty());
    EXPECT_STREQ(pEmpty->c_str(), "");
    EXPECT_EQ(r.getAttribValue("c"), nullptr);
    EXPECT_EQ(r.getAttribValue("r"), nullptr);
    EXPECT_EQ(r.findAttrib("A"), nullptr);
    EXPECT_EQ(p.parser.getDocument().findAttrib("a"), nullptr);
    EXPECT_EQ(xml::Node().findAttrib("a"), nullptr);
}

TEST(XmlDOM, BoolAttributes)
{
    struct Row
    {
        const char* value;
        bool expected;
    };
    const Row rows[] = {{"true", true}, {"True", true}, {"TRUE", false},  {"tRue", false}, {"yes", false},
                        {"1", false},   {"", false},    {"true ", false}, {"truex", false}};
    for (const Row& row : rows)
    {
        Parsed p(std::string("<r f='") + row.value + "'/>");
        bool value = !row.expected;
        EXPECT_TRUE(p.root().getBoolAttrib("f", value)) << row.value;
        EXPECT_EQ(value, row.expected) << row.value;
        bool untouched = true;
        EXPECT_FALSE(p.root().getBoolAttrib("g", untouched));
        EXPECT_TRUE(untouched);
    }
}

TEST(XmlDOMDeathTest, HandlesWithoutParserOrNode)
{
    Parsed p("<r/>");
    xml::Node ended = p.root();
    ended.nextSameName();
    EXPECT_DEATH(ended.nextSameName(), "pIt");
    EXPECT_DEATH(xml::Node().getChild("r"), "pParser");
    EXPECT_DEATH(p.root().findAttrib(nullptr), "pStr");
}
} // namespace
