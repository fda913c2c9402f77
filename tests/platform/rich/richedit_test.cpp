#include "platform/rich/comctrls.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/streams.h"
#include "platform/ui/forms.h"
#include "platform/ui/printers.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

static auto *const env = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

TRichCharFormat Font(std::string name, int size)
{
    TRichCharFormat format;
    format.fontName = std::move(name);
    format.size = size;
    format.charset = 0;
    return format;
}

TRichDocument FormattedDocument()
{
    TRichDocument document;
    document.paragraphs.clear();
    TRichCharFormat bold = Font("DejaVu Sans", 24), red = Font("DejaVu Serif", 30);
    bold.bold = true;
    red.color = 0x0000FF;
    red.italic = red.underline = true;
    TRichParagraph first;
    first.format.alignment = raCenter;
    first.format.spaceAfter = 240;
    first.runs = { { "Caf\xC3\xA9 ", bold, {} }, { "\xE2\x82\xAC \xD0\x96 \xF0\x9F\x98\x80", red, {} } };
    TRichParagraph second;
    second.format.leftIndent = 1440;
    second.format.firstIndent = -720;
    second.format.rightIndent = 360;
    second.format.tabs = { { 2880, rtkLeft }, { 4320, rtkRight } };
    second.format.lineRule = rlrExactly;
    second.format.lineSpacing = 400;
    second.runs = { { "col\tumn\ttabs", Font("DejaVu Sans", 20), {} } };
    TRichParagraph third;
    third.format.bullet = true;
    third.format.leftIndent = 720;
    third.format.firstIndent = -720;
    third.runs = { { "bullet", Font("DejaVu Sans", 20), {} } };
    document.paragraphs = { first, second, third };
    return document;
}

class RichEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 400, 300);
        edit = new TRichEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(0, 0, 380, 260);
    }
    std::unique_ptr<TForm> form;
    TRichEdit *edit = nullptr;
};

// ---- Content -----------------------------------------------------------------------------------

TEST_F(RichEditTest, LinesWrittenAsRtfReadBackIdentical)
{
    edit->SetDocument(FormattedDocument());
    TStringStream saved;
    edit->Lines()->SaveToStream(saved);
    EXPECT_TRUE(IsRtf(saved.DataString()));

    auto *other = new TRichEdit(form.get());
    TStringStream source(saved.DataString());
    other->Lines()->LoadFromStream(source);
    TRichDocument back = other->Document(), original = edit->Document();
    ASSERT_EQ(back.paragraphs.size(), 3u);
    EXPECT_EQ(back, original);
    EXPECT_EQ(back.paragraphs[0].Text(), "Caf\xC3\xA9 \xE2\x82\xAC \xD0\x96 \xF0\x9F\x98\x80");
    EXPECT_TRUE(back.paragraphs[0].runs[0].format.bold);
    EXPECT_EQ(back.paragraphs[0].runs[1].format.color, 0x0000FF);
    EXPECT_EQ(back.paragraphs[1].format.tabs, FormattedDocument().paragraphs[1].format.tabs);
    EXPECT_EQ(back.paragraphs[1].format.leftIndent, 1440);
    EXPECT_EQ(back.paragraphs[1].format.firstIndent, -720);
    EXPECT_EQ(back.paragraphs[1].format.lineRule, rlrExactly);
    EXPECT_TRUE(back.paragraphs[2].format.bullet);
}

TEST_F(RichEditTest, PlainTextLinesAndTheirEdits)
{
    edit->SetPlainText(true);
    TStringStream source("one\r\ntwo\nthree\rfour");
    edit->Lines()->LoadFromStream(source);
    TStrings *lines = edit->Lines();
    ASSERT_EQ(lines->Count(), 4);
    EXPECT_EQ(lines->Strings(2), "three");
    lines->Insert(1, "inserted");
    lines->Delete(0);
    lines->SetStrings(0, "first");
    lines->Add("last");
    EXPECT_EQ(edit->Text(), "first\r\ntwo\r\nthree\r\nfour\r\nlast");
    EXPECT_EQ(lines->Count(), 5);
    TStringStream out;
    lines->SaveToStream(out);
    EXPECT_EQ(out.DataString(), "first\r\ntwo\r\nthree\r\nfour\r\nlast");
    lines->Clear();
    EXPECT_EQ(lines->Count(), 0);
    EXPECT_EQ(edit->Text(), "");
}

TEST_F(RichEditTest, AnEmptyLastLineIsNoLine)
{
    edit->SetText("a\r\nb\r\n");
    EXPECT_EQ(edit->Perform(EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(edit->Lines()->Count(), 2);
}

TEST_F(RichEditTest, LongLinesComeBackWhole)
{
    std::string line(5000, 'x');
    line += "\xC3\xA9";
    edit->SetText(line + "\r\nshort");
    EXPECT_EQ(edit->Lines()->Strings(0), line);
    EXPECT_EQ(edit->Lines()->Strings(1), "short");
}

// ---- Streaming ---------------------------------------------------------------------------------

struct ChunkSource {
    std::string data;
    size_t pos = 0;
    int32_t chunk = 7;
    int calls = 0;
};

uint32_t ReadChunk(uintptr_t cookie, uint8_t *buffer, int32_t cb, int32_t *pcb)
{
    auto *source = reinterpret_cast<ChunkSource *>(cookie);
    ++source->calls;
    size_t n = std::min<size_t>({ static_cast<size_t>(cb), static_cast<size_t>(source->chunk), source->data.size() - source->pos });
    std::memcpy(buffer, source->data.data() + source->pos, n);
    source->pos += n;
    *pcb = static_cast<int32_t>(n);
    return 0;
}

uint32_t WriteChunk(uintptr_t cookie, uint8_t *buffer, int32_t cb, int32_t *pcb)
{
    reinterpret_cast<std::string *>(cookie)->append(reinterpret_cast<char *>(buffer), static_cast<size_t>(cb));
    *pcb = cb;
    return 0;
}

TEST_F(RichEditTest, StreamsInAndOutInSmallChunks)
{
    ChunkSource source { "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 hello {\\b bold} caf\\'e9\\par second}" };
    EDITSTREAM stream;
    stream.dwCookie = reinterpret_cast<uintptr_t>(&source);
    stream.pfnCallback = ReadChunk;
    edit->Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(stream.dwError, 0u);
    EXPECT_GT(source.calls, 8);
    EXPECT_EQ(edit->Text(), "hello bold caf\xC3\xA9\r\nsecond");

    std::string out;
    EDITSTREAM sink;
    sink.dwCookie = reinterpret_cast<uintptr_t>(&out);
    sink.pfnCallback = WriteChunk;
    edit->Perform(EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&sink));
    EXPECT_EQ(out, "hello bold caf\xC3\xA9\r\nsecond");
}

TEST_F(RichEditTest, LinesKeepTheDocumentsDefaultTab)
{
    TStringStream source("{\\rtf1\\ansi\\deftab708 a\\tab b}");
    edit->Lines()->LoadFromStream(source);
    TStringStream saved;
    edit->Lines()->SaveToStream(saved);
    EXPECT_NE(saved.DataString().find("\\deftab708"), std::string::npos) << saved.DataString();
    EXPECT_EQ(edit->Document().defaultTab, 708);
    edit->Clear();
    EXPECT_EQ(edit->Document().defaultTab, 720) << "a new document has the usual one";
}

TEST_F(RichEditTest, LinesLoadWhatIsNotRtfAsText)
{
    edit->SetText("old content");
    TStringStream text("a text file {with braces}\r\nline two");
    edit->Lines()->LoadFromStream(text);
    EXPECT_EQ(edit->Text(), "a text file {with braces}\r\nline two");
    TStringStream broken("{\\rtf1 {\\pict\\bin99 ab}}");
    edit->Lines()->LoadFromStream(broken);
    EXPECT_EQ(edit->Text(), "{\\rtf1 {\\pict\\bin99 ab}}") << "RTF the reader refuses loads as text";
}

TEST_F(RichEditTest, BrokenRtfIsReportedAndChangesNothing)
{
    edit->SetText("kept");
    ChunkSource source { "{\\rtf1 {\\pict\\bin99 ab}}" };
    EDITSTREAM stream;
    stream.dwCookie = reinterpret_cast<uintptr_t>(&source);
    stream.pfnCallback = ReadChunk;
    EXPECT_EQ(edit->Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream)), 0);
    EXPECT_NE(stream.dwError, 0u);
    EXPECT_EQ(edit->Text(), "kept");
}

TEST_F(RichEditTest, StreamingIntoTheSelectionReplacesOnlyIt)
{
    edit->SetText("one two three");
    edit->Perform(EM_SETSEL, 4, 7);
    ChunkSource source { "{\\rtf1 {\\i 2}}" };
    EDITSTREAM stream;
    stream.dwCookie = reinterpret_cast<uintptr_t>(&source);
    stream.pfnCallback = ReadChunk;
    edit->Perform(EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(edit->Text(), "one 2 three");
    EXPECT_TRUE(edit->Document().paragraphs[0].runs.at(1).format.italic);
}

// ---- Messages ----------------------------------------------------------------------------------

TEST_F(RichEditTest, FindTextHonoursItsOptionsAndRange)
{
    edit->SetText("The cat scattered Cats\r\ncat");
    struct Case {
        const char *name;
        const char *text;
        int start, length;
        WPARAM options;
        int expected;
    } cases[] = {
        { "first match", "cat", 0, 100, FR_DOWN, 4 },
        { "inside a word", "cat", 5, 100, FR_DOWN, 9 },
        { "whole word skips scattered", "cat", 5, 100, FR_DOWN | FR_WHOLEWORD, 23 },
        { "match case skips Cats", "Cat", 0, 100, FR_DOWN | FR_MATCHCASE, 18 },
        { "not beyond the range", "cat", 5, 6, FR_DOWN | FR_WHOLEWORD, -1 },
        { "in the next paragraph", "cat", 19, 100, FR_DOWN, 23 },
        { "no such text", "dog", 0, 100, FR_DOWN, -1 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(edit->FindText(c.text, c.start, c.length, c.options), c.expected) << c.name;
}

TEST_F(RichEditTest, CharacterFormatOfAMixedSelection)
{
    edit->SetText("plain bold");
    edit->Perform(EM_SETSEL, 6, 10);
    CHARFORMAT bold;
    bold.dwMask = CFM_BOLD | CFM_COLOR | CFM_SIZE;
    bold.dwEffects = CFE_BOLD;
    bold.crTextColor = 0x00FF00;
    bold.yHeight = 400;
    edit->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&bold));

    CHARFORMAT got;
    edit->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&got));
    EXPECT_TRUE(got.dwMask & CFM_BOLD);
    EXPECT_TRUE(got.dwEffects & CFE_BOLD);
    EXPECT_EQ(got.crTextColor, 0x00FF00u);
    EXPECT_EQ(got.yHeight, 400);

    edit->Perform(EM_SETSEL, 0, 10);
    edit->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&got));
    EXPECT_FALSE(got.dwMask & CFM_BOLD) << "bold differs over the selection";
    EXPECT_FALSE(got.dwMask & CFM_SIZE);
    EXPECT_TRUE(got.dwMask & CFM_ITALIC) << "italic is alike (off) everywhere";
    EXPECT_EQ(edit->SelAttributes()->ConsistentAttributes() & CFM_COLOR, 0);
}

TEST_F(RichEditTest, ParagraphFormatAndItsLineSpacingRules)
{
    edit->SetText("a\r\nb");
    edit->Perform(EM_SETSEL, 0, 3);
    PARAFORMAT2 set;
    set.dwMask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_SPACEBEFORE
        | PFM_SPACEAFTER | PFM_LINESPACING;
    set.dxStartIndent = 720;
    set.dxOffset = 360;
    set.dxRightIndent = 100;
    set.wAlignment = PFA_RIGHT;
    set.cTabCount = 2;
    set.rgxTabs[0] = 1000;
    set.rgxTabs[1] = 2000 | (2 << 24);
    set.dySpaceBefore = 60;
    set.dySpaceAfter = 120;
    set.bLineSpacingRule = 5;
    set.dyLineSpacing = 30; // one and a half lines, said as a multiple
    edit->Perform(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&set));

    for (int position : { 0, 2 }) {
        edit->Perform(EM_SETSEL, position, position);
        PARAFORMAT2 got;
        edit->Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&got));
        EXPECT_EQ(got.dxStartIndent, 720);
        EXPECT_EQ(got.dxOffset, 360);
        EXPECT_EQ(got.dxRightIndent, 100);
        EXPECT_EQ(got.wAlignment, PFA_RIGHT);
        ASSERT_EQ(got.cTabCount, 2);
        EXPECT_EQ(got.rgxTabs[1], 2000 | (2 << 24));
        EXPECT_EQ(got.dySpaceBefore, 60);
        EXPECT_EQ(got.dySpaceAfter, 120);
        EXPECT_EQ(got.bLineSpacingRule, 1);
    }
    TRichParaFormat format = edit->Document().paragraphs[0].format;
    EXPECT_EQ(format.leftIndent, 1080);
    EXPECT_EQ(format.firstIndent, -360);
}

TEST_F(RichEditTest, SelectionAndLineMessages)
{
    edit->SetText("first\r\nsecond line");
    EXPECT_EQ(edit->Perform(EM_LINEINDEX, 1, 0), 6);
    EXPECT_EQ(edit->Perform(EM_LINELENGTH, 7, 0), 11);
    EXPECT_EQ(edit->Perform(EM_LINEFROMCHAR, 8, 0), 1);
    CHARRANGE range { 6, 12 };
    edit->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(edit->SelText(), "second");
    EXPECT_EQ(edit->SelStart(), 6);
    EXPECT_EQ(edit->SelLength(), 6);
    edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("2nd"));
    EXPECT_EQ(edit->Text(), "first\r\n2nd line");
    char buffer[64] = {};
    uint32_t size = sizeof buffer;
    std::memcpy(buffer, &size, sizeof size);
    EXPECT_EQ(edit->Perform(EM_GETLINE, 1, reinterpret_cast<LPARAM>(buffer)), 8);
    EXPECT_EQ(std::string(buffer, 8), "2nd line");
    TEXTRANGE text;
    char out[32];
    text.chrg = { 2, 9 };
    text.lpstrText = out;
    edit->Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&text));
    EXPECT_STREQ(out, "rst\r\n2nd");
}

TEST_F(RichEditTest, UndoAndRedo)
{
    edit->SetText("base");
    edit->SetSelStart(4);
    edit->SetSelText(" more");
    EXPECT_EQ(edit->Text(), "base more");
    EXPECT_TRUE(edit->Perform(EM_CANUNDO, 0, 0));
    edit->Perform(EM_UNDO, 0, 0);
    EXPECT_EQ(edit->Text(), "base");
    EXPECT_TRUE(edit->Perform(EM_CANREDO, 0, 0));
    edit->Perform(EM_REDO, 0, 0);
    EXPECT_EQ(edit->Text(), "base more");
}

TEST_F(RichEditTest, TypingGoesThroughKeyEventsAndReadOnlyRefusesIt)
{
    form->Show();
    edit->SetFocus();
    edit->SetSelStart(0);
    TypeText(edit, "Hola");
    PressKey(edit, VK_RETURN, U'\r');
    TypeText(edit, "mundo");
    PressKey(edit, VK_BACK, U'\b');
    EXPECT_EQ(edit->Text(), "Hola\r\nmund");
    edit->SetReadOnly(true);
    TypeText(edit, "xyz");
    EXPECT_EQ(edit->Text(), "Hola\r\nmund");
}

TEST_F(RichEditTest, ProtectedTextAsksBeforeItChanges)
{
    edit->SetText("free locked free");
    edit->Perform(EM_SETSEL, 5, 11);
    edit->SelAttributes()->SetProtected(true);
    int asked = 0;
    bool allow = false;
    edit->OnProtectChange = [&](TObject *, int start, int end, bool &allowChange) {
        ++asked;
        EXPECT_EQ(start, 5);
        EXPECT_EQ(end, 11);
        allowChange = allow;
    };
    edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("X"));
    EXPECT_EQ(edit->Text(), "free locked free");
    allow = true;
    edit->Perform(EM_SETSEL, 5, 11);
    edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("open"));
    EXPECT_EQ(edit->Text(), "free open free");
    EXPECT_EQ(asked, 2);
}

TEST_F(RichEditTest, ContentAndFormatsSurviveANewWindow)
{
    form->Show();
    edit->SetDocument(FormattedDocument());
    TRichDocument before = edit->Document();
    edit->SetScrollBars(ssVertical); // makes the window again
    ProcessPendingEvents();
    EXPECT_TRUE(edit->HandleAllocated());
    EXPECT_EQ(edit->Document(), before);
}

TEST_F(RichEditTest, ChangeEventsFollowTheEventMask)
{
    int changes = 0;
    edit->OnChange = [&](TObject *) { ++changes; };
    edit->SetText("one");
    EXPECT_EQ(changes, 1);
    LRESULT mask = edit->Perform(EM_GETEVENTMASK, 0, 0);
    edit->Perform(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE));
    edit->SetText("two");
    EXPECT_EQ(changes, 1);
    edit->Perform(EM_SETEVENTMASK, 0, mask);
    edit->SetText("three");
    EXPECT_EQ(changes, 2);
}

// ---- Printing ----------------------------------------------------------------------------------

TEST_F(RichEditTest, PrintsThreePagesToPdfWithTheRightBreaks)
{
    if (!HaveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (tools/bootstrap installs it)";
    // 150 numbered lines of 12 points on letter pages with no margins: about
    // 60 lines a page, so three pages.
    std::string text;
    for (int i = 1; i <= 150; ++i)
        text += (i > 1 ? "\r\n" : "") + std::string("Line ") + std::to_string(i);
    edit->SetText(text);
    edit->SelectAll();
    edit->SelAttributes()->SetName("DejaVu Sans");
    edit->SelAttributes()->SetSize(12);
    std::string pdf = (std::filesystem::temp_directory_path() / "richedit-print-test.pdf").string();
    std::filesystem::remove(pdf);
    Printer()->SetOutputFileName(pdf);
    edit->Print("Three pages");
    Printer()->SetOutputFileName("");
    ASSERT_TRUE(std::filesystem::exists(pdf));

    std::string info = CommandOutput("pdfinfo '" + pdf + "'");
    size_t pagesAt = info.find("Pages:");
    ASSERT_NE(pagesAt, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pagesAt + 6)), 3) << info;
    std::string all = CommandOutput("pdftotext -layout '" + pdf + "' -");
    std::vector<std::string> pages;
    std::stringstream split(all);
    for (std::string page; std::getline(split, page, '\f');)
        pages.push_back(page);
    ASSERT_GE(pages.size(), 3u);
    // Every line printed once, in order, and each page goes on where the last stopped.
    int expected = 1;
    for (size_t p = 0; p < 3; ++p) {
        std::stringstream lines(pages[p]);
        int onPage = 0;
        for (std::string line; std::getline(lines, line);) {
            size_t at = line.find("Line ");
            if (at == std::string::npos)
                continue;
            EXPECT_EQ(std::stoi(line.substr(at + 5)), expected) << "page " << p + 1;
            ++expected, ++onPage;
        }
        EXPECT_GT(onPage, 20) << "page " << p + 1;
    }
    EXPECT_EQ(expected, 151);
}

TEST_F(RichEditTest, Screenshot)
{
    form->SetCaption("Rich edit");
    edit->SetDocument(FormattedDocument());
    form->Show();
    ProcessPendingEvents();
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/richedit.png";
    EXPECT_GT(SaveScreenshot(form.get(), path), 0);
}

} // namespace
