#include "platform/rtl/utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, DecodesAndEncodesEveryLength)
{
    const std::string text = "a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"; // a ñ € 😀
    EXPECT_EQ(Utf8ToCodePoints(text), (std::u32string{U'a', 0xF1, 0x20AC, 0x1F600}));
    EXPECT_EQ(CodePointsToUtf8(Utf8ToCodePoints(text)), text);
    EXPECT_EQ(Utf8Length(text), 4u);
}

TEST(Utf8, MalformedBytesBecomeReplacementOneByteAtATime)
{
    struct Case {
        const char *name;
        std::string bytes;
        size_t codePoints;
    } cases[] = {
        {"lone continuation", "\x80", 1},
        {"truncated two-byte", "\xC3", 1},
        {"truncated three-byte at end", "x\xE2\x82", 3},
        {"overlong slash", "\xC0\xAF", 2},
        {"surrogate", "\xED\xA0\x80", 3},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 4},
    };
    for (const auto &c : cases) {
        const auto decoded = Utf8ToCodePoints(c.bytes);
        EXPECT_EQ(decoded.size(), c.codePoints) << c.name;
        EXPECT_NE(decoded.find(U'\uFFFD'), std::u32string::npos) << c.name;
    }
}
