#include <gtest/gtest.h>

#include "XmlBuildSupport.h"

namespace
{
using test::doc;
using test::XmlBuild;

TEST(XmlSmoke, Nr)
{
    XmlBuild<double> b;
    bool ok =
        b.nr(doc("type=\"NR\" eps=\"1e-8\"", "<Vars><Var name=\"x\" val=\"1\"/><Var name=\"y\" val=\"2*p\"/></Vars>"
                                             "<Params><Param name=\"p\" val=\"3\"/></Params>"
                                             "<NLEqs><Eq fx=\"x*y = 6\"/><Eq fx=\"x = -2.5\"/></NLEqs>"));
    EXPECT_TRUE(ok) << b.errors();
    EXPECT_EQ(b.value("y"), 6.0);
    auto r = b.residuals();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], 0.0);
    EXPECT_EQ(r[1], 3.5);
}
} // namespace
