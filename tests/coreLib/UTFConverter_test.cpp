#include <mu/GraphicNames.h>
#include <mu/UTFConverter.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace
{
TEST(UTFConverter, RoundTripMeasuresExactly)
{
    const char* texts[] = {"abc", "\xC3\xA4\xCF\x80", "\xF0\x9F\x91\x8D!", ""};
    for (const char* t : texts)
    {
        const char* end = t + std::strlen(t);
        int bytes16 = mu::UTFConverter::measureUTF8toUTF16(t, end);
        if (*t == 0)
        {
            EXPECT_LT(bytes16, 1);
            continue;
        }
        std::u16string wide(static_cast<std::size_t>(bytes16 / 2), u'\0');
        mu::UTFConverter::convertUTF8toUTF16(t, end, wide.data(), wide.data() + wide.size());
        int bytes8 = mu::UTFConverter::measureUTF16toUTF8(wide.data(), wide.data() + wide.size());
        EXPECT_EQ(bytes8, static_cast<int>(std::strlen(t)));
        std::string back(static_cast<std::size_t>(bytes8), '\0');
        mu::UTFConverter::convertUTF16toUTF8(wide.data(), wide.data() + wide.size(), back.data(),
                                             back.data() + back.size());
        EXPECT_EQ(back, t);
    }
    const char pi[] = "\xCF\x80";
    EXPECT_EQ(mu::UTFConverter::measureUTF8toUTF16(pi, pi + 2), 2);
    const char thumbs[] = "\xF0\x9F\x91\x8D";
    EXPECT_EQ(mu::UTFConverter::measureUTF8toUTF16(thumbs, thumbs + 4), 4);
}

TEST(UTFConverter, MalformedInputBecomesReplacement)
{
    const char bad[] = "a\xC3";
    std::u16string wide(2, u'\0');
    EXPECT_EQ(mu::UTFConverter::measureUTF8toUTF16(bad, bad + 2), 4);
    mu::UTFConverter::convertUTF8toUTF16(bad, bad + 2, wide.data(), wide.data() + 2);
    EXPECT_EQ(wide, std::u16string(u"a\uFFFD"));
}

TEST(GraphicNames, KnownAndUnknownNames)
{
    EXPECT_EQ(td::toColorID("red", 3, 167), 2);
    EXPECT_EQ(td::toColorID("redx", 3, 167), 2);
    EXPECT_EQ(td::toColorID("mauve", 5, 167), 167);
    EXPECT_EQ(td::toColorID(nullptr, 0, 167), 167);
    EXPECT_EQ(td::toLinePattern(td::String("dash")), td::LinePattern::Dash);
    EXPECT_EQ(td::toLinePattern(td::String("wavy")), td::LinePattern::NotSet);
    EXPECT_EQ(td::toDotPattern(td::String("square")), td::DotPattern::Square);
    EXPECT_EQ(td::toDotPattern(td::String()), td::DotPattern::NotSet);
}
} // namespace
