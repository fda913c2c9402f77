#include "platform/rich/rtf.h"

#include "platform/rtl/utf8.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <map>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{

TRichRun Run(std::string text, TRichCharFormat format = {})
{
    return TRichRun { std::move(text), std::move(format), {} };
}

TRichDocument Doc(std::vector<TRichParagraph> paragraphs)
{
    TRichDocument document;
    document.paragraphs = std::move(paragraphs);
    return document;
}

TRichCharFormat Font(std::string name, int size, int charset = 0)
{
    TRichCharFormat format;
    format.fontName = std::move(name);
    format.size = size;
    format.charset = charset;
    return format;
}

// ---- Round trips -------------------------------------------------------------------------------

struct RoundTripCase {
    const char *name;
    TRichDocument document;
};

std::vector<RoundTripCase> RoundTripCases()
{
    TRichCharFormat bold = Font("Arial", 20), italic = Font("Times New Roman", 28), mixed = Font("Courier New", 17);
    bold.bold = true;
    italic.italic = true;
    italic.color = 0x0000FF;
    mixed.underline = mixed.strikeOut = mixed.protect = true;
    mixed.color = 0x123456;
    mixed.offset = rvoSuperscript;
    TRichCharFormat link = Font("Arial", 20);
    link.link = "https://example.org/a?b=c&d";
    TRichCharFormat cyrillic = Font("Arial Cyr", 24, 204);
    TRichCharFormat quotedLink = Font("Arial", 20);
    quotedLink.link = "file:///C:\\My \"notes\"\\a.rtf";

    TRichParagraph indented;
    indented.format.leftIndent = 1440;
    indented.format.rightIndent = 720;
    indented.format.firstIndent = -360;
    indented.format.spaceBefore = 120;
    indented.format.spaceAfter = 240;
    indented.format.alignment = raCenter;
    indented.format.tabs = { { 720, rtkLeft }, { 2880, rtkCenter }, { 4320, rtkRight }, { 5000, rtkDecimal } };
    indented.runs = { Run("a\tb\tc", Font("Arial", 20)) };

    auto spaced = [](TRichLineRule rule, int spacing, TRichAlignment alignment) {
        TRichParagraph paragraph;
        paragraph.format.lineRule = rule;
        paragraph.format.lineSpacing = spacing;
        paragraph.format.alignment = alignment;
        paragraph.runs = { Run("line", Font("Arial", 20)) };
        return paragraph;
    };
    TRichParagraph bullet;
    bullet.format.bullet = true;
    bullet.format.leftIndent = 720;
    bullet.format.firstIndent = -720;
    bullet.runs = { Run("item", Font("Arial", 20)) };

    TRichParagraph object;
    object.runs = { Run("before ", Font("Arial", 20)),
        TRichRun { {}, {}, "{\\pict\\pngblip\\picw10\\pich10 89504e47\\bin3 {}}}" },
        Run(" after", Font("Arial", 20)) };

    return {
        { "plain text", Doc({ { {}, { Run("Hello, world", Font("Arial", 20)) } } }) },
        { "empty document", Doc({ {} }) },
        { "character attributes", Doc({ { {}, { Run("bold ", bold), Run("italic red", italic), Run("all", mixed) } } }) },
        { "paragraphs and empty ones", Doc({ { {}, { Run("one", bold) } }, {}, { {}, { Run("three", bold) } }, {} }) },
        { "indents, alignment and tabs", Doc({ indented }) },
        { "line spacing rules", Doc({ spaced(rlrOneAndHalf, 0, raRight), spaced(rlrDouble, 0, raJustify),
                                    spaced(rlrAtLeast, 300, raLeft), spaced(rlrExactly, 400, raLeft),
                                    spaced(rlrMultiple, 50, raLeft) }) },
        { "bullets", Doc({ bullet, bullet }) },
        { "unicode", Doc({ { {}, { Run("caf\xC3\xA9 \xE2\x82\xAC \xD0\x96 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xC5\x93", Font("Arial", 20)) } } }) },
        { "characters RTF escapes", Doc({ { {}, { Run("a\\b {c} \\par \\u65 '", Font("Arial", 20)) } } }) },
        { "line break inside a paragraph", Doc({ { {}, { Run("up\vdown", Font("Arial", 20)) } } }) },
        { "hyperlink", Doc({ { {}, { Run("see ", Font("Arial", 20)), Run("here", link), Run(" now", Font("Arial", 20)) } } }) },
        { "font with its own charset", Doc({ { {}, { Run("\xD0\x9F\xD1\x80\xD0\xB8", cyrillic) } } }) },
        { "embedded object kept byte for byte", Doc({ object }) },
        { "font name holding semicolons", Doc({ { {}, { Run("x", Font("A;B;", 20)), Run("y", Font("A", 20)) } } }) },
        { "hyperlink target holding quotes and backslashes", Doc({ { {}, { Run("notes", quotedLink) } } }) },
    };
}

class RtfRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P(RtfRoundTrip, ReadsBackWhatWasWritten)
{
    const TRichDocument &document = GetParam().document;
    std::string rtf = WriteRtf(document);
    EXPECT_TRUE(IsRtf(rtf));
    TRichDocument back = ReadRtf(rtf);
    ASSERT_EQ(back.paragraphs.size(), document.paragraphs.size()) << rtf;
    for (size_t i = 0; i < back.paragraphs.size(); ++i) {
        EXPECT_EQ(back.paragraphs[i].format, document.paragraphs[i].format) << "paragraph " << i << "\n" << rtf;
        EXPECT_EQ(back.paragraphs[i].runs, document.paragraphs[i].runs) << "paragraph " << i << "\n" << rtf;
    }
    EXPECT_EQ(WriteRtf(back), rtf);
}

INSTANTIATE_TEST_SUITE_P(Documents, RtfRoundTrip, ::testing::ValuesIn(RoundTripCases()),
    [](const auto &info) {
        std::string name = info.param.name;
        for (char &c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// ---- What the reader makes of RTF from elsewhere -------------------------------------------------

struct ReadCase {
    const char *name;
    const char *rtf;
    const char *text;
};

const ReadCase kReadCases[] = {
    { "unicode with one fallback", R"({\rtf1 caf\u233e})", "caf\xC3\xA9" },
    { "unicode with two fallbacks", R"({\rtf1\uc2 x\u8364\'80\'80y})", "x\xE2\x82\xACy" },
    { "unicode without fallback", R"({\rtf1\uc0 \u1046\u1046})", "\xD0\x96\xD0\x96" },
    { "negative unicode parameter", R"({\rtf1 \u-3913?})", "\xEF\x82\xB7" },
    { "surrogate pair", R"({\rtf1 \u-10179?\u-8704?})", "\xF0\x9F\x98\x80" },
    { "lone surrogate", R"({\rtf1 \u-10179?x})", "\xEF\xBF\xBDx" },
    { "windows-1252 bytes", R"({\rtf1\ansi \'80 \'e9\'93})", "\xE2\x82\xAC \xC3\xA9\xE2\x80\x9C" },
    { "document code page 1251", R"({\rtf1\ansi\ansicpg1251 \'c6\'e0})", "\xD0\x96\xD0\xB0" },
    { "font charset overrides the document",
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset238 Arial CE;}}\f1 \'b9\f0 \'b9})", "\xC4\x85\xC2\xB9" },
    { "double-byte code page", R"({\rtf1{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'93\'fa\'96\'7b})",
        "\xE6\x97\xA5\xE6\x9C\xAC" },
    { "raw 8-bit byte", "{\\rtf1 caf\xE9}", "caf\xC3\xA9" },
    { "special characters", R"({\rtf1 a\~b\emdash c\endash d\bullet\lquote\rquote\ldblquote\rdblquote})",
        "a\xC2\xA0" "b\xE2\x80\x94" "c\xE2\x80\x93" "d\xE2\x80\xA2\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D" },
    { "control symbols", R"({\rtf1 \{\}\\\-x\_y})", "{}\\x\xE2\x80\x91y" },
    { "paragraphs", "{\\rtf1 one\\par two\\par\r\nthree}", "one\r\ntwo\r\nthree" },
    { "line ends in the source are not text", "{\\rtf1 a\r\nb\nc}", "abc" },
    { "unknown starred destination", R"({\rtf1 a{\*\unknown b{c}}d})", "ad" },
    { "skipped destinations", R"({\rtf1{\info{\title T}}{\stylesheet{\s0 Normal;}}a{\header h}b{\footnote n}})", "ab" },
    { "font table without inner groups", R"({\rtf1{\fonttbl\f0\fswiss Helvetica;\f1 Courier;}\f1 x})", "x" },
    { "hyperlink shows its result", R"({\rtf1 {\field{\*\fldinst{HYPERLINK "http://a.b/"}}{\fldrslt{link}}} end})",
        "link end" },
    { "binary data outside an object", "{\\rtf1 a\\bin3 {}}b}", "ab" },
    { "old-style bullet text skipped", R"({\rtf1{\pntext\f0\'B7\tab}{\*\pn\pnlvlblt{\pntxtb\'B7}}item})", "item" },
    { "table cells and rows", R"({\rtf1\trowd a\cell b\cell\row c})", "a\tb\t\r\nc" },
    { "text after the document's group", R"({\rtf1 a}b)", "a" },
    { "truncated document keeps what was read", R"({\rtf1{\b bold text)", "bold text" },
    { "damaged hex escape", R"({\rtf1 a\'zzb\'4})", "azzb" },
    { "huge parameter digits are not text", R"({\rtf1\fs99999999999999999999 x\li-99999999999 y})", "xy" },
};

class RtfRead : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(RtfRead, GivesTheText)
{
    EXPECT_EQ(ReadRtf(GetParam().rtf).PlainText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RtfRead, ::testing::ValuesIn(kReadCases), [](const auto &info) {
    std::string name = info.param.name;
    for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

TEST(RtfRead, GroupsRestoreCharacterAttributes)
{
    TRichDocument document = ReadRtf(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Courier New;}}{\colortbl;\red255\green0\blue0;}
\f0\fs20 a{\b\f1\fs32\cf1 b{\i c}}d\plain e})");
    const auto &runs = document.paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[1].text, "b");
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_EQ(runs[1].format.fontName, "Courier New");
    EXPECT_EQ(runs[1].format.size, 32);
    EXPECT_EQ(runs[1].format.color, 0x0000FF);
    EXPECT_TRUE(runs[2].format.italic && runs[2].format.bold);
    EXPECT_EQ(runs[3].text, "d");
    EXPECT_FALSE(runs[3].format.bold);
    EXPECT_EQ(runs[3].format.fontName, "Arial");
    EXPECT_EQ(runs[3].format.size, 20);
    EXPECT_EQ(runs[3].format.color, kRichAutoColor);
    EXPECT_EQ(runs[4].format.size, 24) << "\\plain gives 12 points";
}

TEST(RtfRead, ParagraphPropertiesApplyToTheParagraphTheyEnd)
{
    TRichDocument document
        = ReadRtf(R"({\rtf1\pard\qc\li720\fi-360\sb100\sa200\sl-300\slmult0\tqr\tx3000\tx1000 a\par\pard b})");
    ASSERT_EQ(document.paragraphs.size(), 2u);
    const TRichParaFormat &first = document.paragraphs[0].format;
    EXPECT_EQ(first.alignment, raCenter);
    EXPECT_EQ(first.leftIndent, 720);
    EXPECT_EQ(first.firstIndent, -360);
    EXPECT_EQ(first.spaceBefore, 100);
    EXPECT_EQ(first.spaceAfter, 200);
    EXPECT_EQ(first.lineRule, rlrExactly);
    EXPECT_EQ(first.lineSpacing, 300);
    ASSERT_EQ(first.tabs.size(), 2u);
    EXPECT_EQ(first.tabs[0], (TRichTab { 1000, rtkLeft })) << "tab stops come out in order";
    EXPECT_EQ(first.tabs[1], (TRichTab { 3000, rtkRight }));
    EXPECT_EQ(document.paragraphs[1].format, TRichParaFormat {});
}

TEST(RtfRead, PicturesAndObjectsAreKeptWhole)
{
    const std::string object = "{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 0105}"
                               "{\\result{\\pict\\wmetafile8 ff\\bin2 }{}}}";
    const std::string shape = "{\\*\\shppict{\\pict\\pngblip 00}}";
    TRichDocument document = ReadRtf("{\\rtf1 a" + object + "b" + shape + "}");
    const auto &runs = document.paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1].object, object);
    EXPECT_EQ(runs[3].object, shape);
    EXPECT_EQ(document.PlainText(), "a\xEF\xBF\xBC" "b\xEF\xBF\xBC");
    EXPECT_NE(WriteRtf(document).find(object), std::string::npos);
}

TEST(RtfRead, HyperlinkTargetsReachTheRuns)
{
    TRichDocument document = ReadRtf(
        R"({\rtf1 {\field{\*\fldinst{HYPERLINK \\l "x" "http://a.b/c"}}{\fldrslt{\ul link}}} {\field{\*\fldinst PAGE}{\fldrslt 3}}})");
    const auto &runs = document.paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "link");
    EXPECT_EQ(runs[0].format.link, "http://a.b/c#x");
    EXPECT_TRUE(runs[0].format.underline);
    EXPECT_EQ(runs[1].text, " 3") << "other fields show their result as plain text";
    EXPECT_EQ(runs[1].format.link, "");
    // A control character in the target is dropped, so the target survives being written.
    TRichDocument damaged = ReadRtf(R"({\rtf1 {\field{\*\fldinst HYPERLINK "a\'01b"}{\fldrslt x}}})");
    EXPECT_EQ(damaged.paragraphs.at(0).runs.at(0).format.link, "ab");
    EXPECT_EQ(ReadRtf(WriteRtf(damaged)), damaged);
}

TEST(RtfRead, AFontNameIsCutAtItsCapBetweenCharacters)
{
    // "a" and 130 bytes 0xFF, two-byte characters each: the 256th byte of
    // the name falls inside the 128th of them, so the name stops before it.
    std::string rtf = "{\\rtf1{\\fonttbl{\\f0 a" + std::string(130, '\xFF') + ";}}\\f0 x}";
    TRichDocument document = ReadRtf(rtf);
    const std::string &name = document.paragraphs.at(0).runs.at(0).format.fontName;
    std::string expected = "a";
    for (int i = 0; i < 127; ++i)
        expected += "\xC3\xBF";
    EXPECT_EQ(name, expected);
    EXPECT_EQ(ReadRtf(WriteRtf(document)), document);
}

// ---- Hostile input -----------------------------------------------------------------------------

struct HostileCase {
    const char *name;
    std::string rtf;
    const char *error; // empty: a best-effort document is expected
};

std::vector<HostileCase> HostileCases()
{
    return {
        { "not RTF", "hello", "Not an RTF document" },
        { "empty", "", "Not an RTF document" },
        { "nesting deeper than allowed", "{\\rtf1 " + std::string(600, '{') + "x",
            "RTF groups nested deeper than 512 at byte 518" },
        { "nesting inside a skipped group", "{\\rtf1{\\*\\x " + std::string(600, '{'),
            "RTF groups nested deeper than 512 at byte 521" },
        { "nesting at the limit", "{\\rtf1 " + std::string(510, '{') + "x" + std::string(511, '}') + "}", "" },
        { "bin longer than the data", "{\\rtf1 a\\bin999 xyz}", "\\bin length 999 runs past the end of the data at byte 8" },
        { "bin longer than the data in an object", "{\\rtf1 {\\pict\\bin50 ab}}",
            "\\bin length 50 runs past the end of the data at byte 13" },
        { "bin with a huge length", "{\\rtf1 {\\pict\\bin99999999999999999999 ab}}",
            "\\bin length 1099511627776 runs past the end of the data at byte 13" },
        { "bin with a negative length", "{\\rtf1 a\\bin-5 xyz}", "\\bin with a negative length at byte 8" },
        { "truncated inside a control word", "{\\rtf1 a\\pa", "" },
        { "truncated after a backslash", "{\\rtf1 a\\", "" },
        { "truncated inside an object", "{\\rtf1 a{\\pict 0102", "" },
        { "truncated in an object's binary data after a backslash", "{\\rtf1{\\pict\\ 89504e47\\bin4 {{}\\", "" },
        { "truncated hex escape", "{\\rtf1 \\'", "" },
        { "stray closing braces", "{\\rtf1 }}}}", "" },
        { "huge uc skip count", "{\\rtf1\\uc2147483647 \\u65 abc}", "" },
        { "colour values out of range", "{\\rtf1{\\colortbl;\\red999\\green-5\\blue256;}\\cf1 x\\cf99 y}", "" },
        { "many tab stops", "{\\rtf1 " + [] {
             std::string tabs;
             for (int i = 0; i < 5000; ++i)
                 tabs += "\\tx" + std::to_string(i);
             return tabs;
         }() + " x}", "" },
        { "many fields", "{\\rtf1 " + [] {
             std::string fields;
             for (int i = 0; i < 200; ++i)
                 fields += "{\\field{\\*\\fldinst HYPERLINK \"a\"}{\\fldrslt ";
             return fields;
         }() + "x}", "" },
        { "nul bytes", std::string("{\\rtf1 a\0b}", 11), "" },
    };
}

class RtfHostile : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(RtfHostile, FailsCleanlyOrReadsWhatItCan)
{
    const HostileCase &c = GetParam();
    if (*c.error) {
        try {
            ReadRtf(c.rtf);
            FAIL() << "no error";
        } catch (const ERtfError &e) {
            EXPECT_EQ(e.Message(), c.error);
        }
        return;
    }
    TRichDocument document = ReadRtf(c.rtf);
    EXPECT_FALSE(document.paragraphs.empty());
    EXPECT_TRUE(ReadRtf(WriteRtf(document)) == document) << "what is read survives the writer";
}

INSTANTIATE_TEST_SUITE_P(Inputs, RtfHostile, ::testing::ValuesIn(HostileCases()), [](const auto &info) {
    std::string name = info.param.name;
    for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

TEST(RtfHostile, HugeNumbersAreClamped)
{
    TRichDocument document = ReadRtf(
        R"({\rtf1\li99999999999\ri-99999999999\sb99999\sl99999\tx99999999 \fs99999999999 x\par})");
    const TRichParagraph &paragraph = document.paragraphs.at(0);
    EXPECT_EQ(paragraph.format.leftIndent, 31680);
    EXPECT_EQ(paragraph.format.rightIndent, -31680);
    EXPECT_EQ(paragraph.format.spaceBefore, 31680);
    EXPECT_EQ(paragraph.format.lineSpacing, 31680);
    EXPECT_EQ(paragraph.format.tabs.at(0).position, 31680);
    EXPECT_EQ(paragraph.runs.at(0).format.size, 3276);
}

// ---- Independent readers and writers ------------------------------------------------------------

std::string Squeeze(const std::string &text)
{
    std::string out;
    for (char c : text) {
        bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (space) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

TRichDocument SampleDocument()
{
    TRichCharFormat bold = Font("Arial", 24), plain = Font("Arial", 24);
    bold.bold = true;
    TRichParagraph centred;
    centred.format.alignment = raCenter;
    centred.runs = { Run("Caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC 5", bold) };
    TRichParagraph second;
    second.format.leftIndent = 720;
    second.runs = { Run("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 and {braces} \\ too", plain) };
    return Doc({ centred, second, { {}, { Run("last line", plain) } } });
}

TEST(RtfIndependentReaders, PandocReadsOurTextBack)
{
    if (!HaveTool("pandoc"))
        GTEST_SKIP() << "pandoc is not installed (tools/bootstrap installs it)";
    std::string text = CommandOutput("pandoc -f rtf -t plain --wrap=none", WriteRtf(SampleDocument()));
    EXPECT_EQ(Squeeze(text), Squeeze("Café crème € 5 Привет and {braces} \\ too last line"));
}

TEST(RtfIndependentReaders, UnrtfReadsOurTextBack)
{
    if (!HaveTool("unrtf"))
        GTEST_SKIP() << "unrtf is not installed (tools/bootstrap installs it)";
    // unrtf's plain text is Latin-1; its HTML carries every character.
    std::string html = CommandOutput("unrtf --html --nopict", WriteRtf(SampleDocument()));
    size_t body = html.find("<body>");
    ASSERT_NE(body, std::string::npos) << html;
    std::string text;
    for (size_t i = body; i < html.size(); ++i) {
        if (html[i] == '<') {
            size_t close = html.find('>', i);
            std::string tag = html.substr(i, close - i);
            if (tag.rfind("<br", 0) == 0 || tag.rfind("<p", 0) == 0)
                text += ' ';
            i = close;
        } else if (html[i] == '&') {
            size_t semicolon = html.find(';', i);
            std::string entity = html.substr(i + 1, semicolon - i - 1);
            static const std::map<std::string, std::string> named = { { "amp", "&" }, { "lt", "<" }, { "gt", ">" },
                { "quot", "\"" }, { "nbsp", " " }, { "eacute", "é" }, { "egrave", "è" }, { "euro", "€" } };
            if (entity[0] == '#')
                text += CodePointToUtf8(static_cast<char32_t>(std::stoul(entity.substr(1))));
            else
                text += named.count(entity) ? named.at(entity) : "&" + entity + ";";
            i = semicolon;
        } else {
            text += html[i];
        }
    }
    EXPECT_EQ(Squeeze(text), Squeeze("Café crème € 5 Привет and {braces} \\ too last line"));
}

TEST(RtfIndependentReaders, PandocsRtfReadsIntoTheSameTextAndFormats)
{
    if (!HaveTool("pandoc"))
        GTEST_SKIP() << "pandoc is not installed (tools/bootstrap installs it)";
    std::string rtf = CommandOutput("pandoc -f markdown -t rtf -s",
        "Plain **bold** and *italic* caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n\nSecond paragraph\n");
    ASSERT_TRUE(IsRtf(rtf)) << rtf;
    TRichDocument document = ReadRtf(rtf);
    ASSERT_GE(document.paragraphs.size(), 2u);
    EXPECT_EQ(document.paragraphs[0].Text(), "Plain bold and italic caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(document.paragraphs[1].Text(), "Second paragraph");
    const auto &runs = document.paragraphs[0].runs;
    auto find = [&](const std::string &text) {
        for (const TRichRun &run : runs)
            if (run.text == text)
                return run.format;
        ADD_FAILURE() << "no run " << text;
        return TRichCharFormat {};
    };
    EXPECT_TRUE(find("bold").bold);
    EXPECT_TRUE(find("italic").italic);
    EXPECT_FALSE(find("Plain ").bold);
    EXPECT_EQ(find("Plain ").fontName, "Helvetica");
    EXPECT_EQ(document.paragraphs[0].format.spaceAfter, 180);
}

} // namespace
