#include "controls/widgets/qxriched.h"
#include "controls/widgets/qxricholecallback.h"

#include "platform/classes/filer.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
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
#include <iostream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class RichUnitEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { InitializeQxRichEd(); }
    void TearDown() override { FinalizeQxRichEd(); }
};

} // namespace

static auto *const app = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
static auto *const unit = ::testing::AddGlobalTestEnvironment(new RichUnitEnvironment);

namespace
{

// Shows what the window class would be.
class TProbeRichEdit : public TqxCustomRichEdit
{
public:
    using TqxCustomRichEdit::TqxCustomRichEdit;
    std::string WindowClass()
    {
        TCreateParams params;
        CreateParams(params);
        return params.WinClassName;
    }
};

class QxRichEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 400, 300);
        edit = new TProbeRichEdit(form.get());
        edit->SetName("RichEdit1");
        edit->SetParent(form.get());
        edit->SetBounds(0, 0, 380, 260);
    }
    std::unique_ptr<TForm> form;
    TProbeRichEdit *edit = nullptr;
    ScriptedMessageBoxes boxes;
};

// ---- Construction and measurements ----------------------------------------------------------

TEST_F(QxRichEditTest, StartsAsTheLibrarySetsIt)
{
    EXPECT_EQ(edit->PaperSize(), DMPAPER_LETTER);
    EXPECT_EQ(edit->PopupOptions().Bits(), 16271u);
    EXPECT_EQ(edit->EditorOptions().Bits(), 8188u);
    EXPECT_EQ(edit->EditorCaption(), "Edit Rich Text");
    EXPECT_TRUE(edit->WordWrap());
    EXPECT_EQ(edit->MeasurementUnits(), muInches);
    EXPECT_EQ(edit->RichEditVersion(), 2);
    EXPECT_EQ(edit->PrintMargins()->Left(), 1.0);
    EXPECT_NE(edit->BuiltInPopupMenu(), nullptr);
    EXPECT_EQ(edit->PopupMenu(), nullptr) << "the built-in menu is no property value";
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(edit->Switch(i));
}

TEST_F(QxRichEditTest, MeasurementsUse2537CentimetresAnInch)
{
    struct Case {
        const char *name;
        TqxMeasurementUnits units;
        const char *text;
        int twips;
    } cases[] = {
        { "one inch", muInches, "1''", 1440 },
        { "one centimetre truncates", muCentimeters, "1 cm", 567 },
        { "2.54 cm is more than an inch", muCentimeters, "2.54 cm", 1441 },
        { "22 inches", muInches, "22", 31680 },
        { "empty", muInches, "", 0 },
    };
    for (const Case &c : cases) {
        edit->SetMeasurementUnits(c.units);
        std::string text = c.text;
        for (char &ch : text)
            if (ch == '.')
                ch = FormatSettings.DecimalSeparator;
        EXPECT_EQ(edit->MeasurementToTwips(text), c.twips) << c.name;
    }
    edit->SetMeasurementUnits(muCentimeters);
    EXPECT_DOUBLE_EQ(edit->TwipsToMeasurement(1440), 2.54);
    EXPECT_EQ(edit->FormatMeasurement(2.5), FloatToStr(2.5) + " cm");
    edit->SetMeasurementUnits(muInches);
    EXPECT_DOUBLE_EQ(edit->TwipsToMeasurement(720), 0.5);
    EXPECT_EQ(edit->FormatMeasurement(0.5), FloatToStr(0.5) + "''");
    // 1.3 + 1/12, cut down to eighths: 1.375.
    EXPECT_EQ(edit->FormatRoundedMeasurement(0, 1.3), FloatToStr(1.375) + "''");
    EXPECT_EQ(edit->FormatRoundedMeasurement(0, -1.3), FloatToStr(-1.375) + "''");
}

TEST(QxRichMemoryStream, GrowsIn128KiBSteps)
{
    TqxRichMemoryStream stream;
    std::string data(200000, 'x');
    stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(stream.Capacity(), 262144);
    stream.WriteBuffer("y", 1);
    EXPECT_EQ(stream.Capacity(), 262144);
    stream.Clear();
    EXPECT_EQ(stream.Capacity(), 0);
}

// ---- Form resources ---------------------------------------------------------------------------

TEST_F(QxRichEditTest, WritesVersionAndDataAndReadsThemBack)
{
    edit->SetText("Hello");
    edit->SelectAll();
    edit->SelAttributes()->SetStyle(TFontStyles {}.Include(fsBold));
    std::string text = WriteComponentText(edit);
    EXPECT_NE(text.find("RichEditVersion = 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Data = {"), std::string::npos) << text;

    TProbeRichEdit other(form.get());
    ReadComponentText(&other, text, "test.dfm");
    EXPECT_EQ(other.RichEditVersion(), 2);
    EXPECT_EQ(other.WindowClass(), "RICHEDIT20A");
    EXPECT_EQ(other.Text(), "Hello");
    EXPECT_TRUE(other.Document().paragraphs.at(0).runs.at(0).format.bold);
}

TEST_F(QxRichEditTest, AResourceWithoutVersionIsOfVersionOne)
{
    TProbeRichEdit other(form.get());
    ReadComponentText(&other,
        "object RichEdit1: TqxCustomRichEdit\n"
        "  Lines.Strings = (\n"
        "    '{\\rtf1 {\\b rich} text}')\n"
        "end\n",
        "test.dfm");
    EXPECT_EQ(other.RichEditVersion(), 1);
    EXPECT_EQ(other.WindowClass(), "RICHEDIT");
    EXPECT_EQ(other.Text(), "rich text") << "text stored in Lines is read as RTF";
    EXPECT_FALSE(other.PlainText());
}

TEST_F(QxRichEditTest, DataOfLengthZeroLoadsNothing)
{
    TProbeRichEdit other(form.get());
    ReadComponentText(&other,
        "object RichEdit1: TqxCustomRichEdit\n"
        "  Lines.Strings = (\n"
        "    'plain')\n"
        "  Data = {00000000}\n"
        "end\n",
        "test.dfm");
    EXPECT_EQ(other.Text(), "plain\r\n") << "every line added ends with a line break";
    EXPECT_EQ(other.Lines()->Count(), 1);
}

TEST_F(QxRichEditTest, DataLongerThanTheResourceIsAnError)
{
    TProbeRichEdit other(form.get());
    EXPECT_THROW(ReadComponentText(&other,
                     "object RichEdit1: TqxCustomRichEdit\n"
                     "  Data = {FFFFFF7F7B5C727466}\n"
                     "end\n",
                     "test.dfm"),
        EReadError);
}

// ---- Lines -------------------------------------------------------------------------------------

TEST_F(QxRichEditTest, LinesThroughTheWindowMessages)
{
    TStrings *lines = edit->Lines();
    lines->Add("one");
    lines->Add("three");
    lines->Insert(1, "two");
    EXPECT_EQ(edit->Text(), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(lines->Count(), 3);
    lines->SetStrings(2, "3");
    EXPECT_EQ(lines->Strings(2), "3");
    lines->Delete(0);
    EXPECT_EQ(lines->Text(), "two\r\n3\r\n");
    edit->SetText("a\r\n");
    EXPECT_EQ(lines->Count(), 1) << "an empty last line is no line";
    lines->Add("b");
    EXPECT_EQ(edit->Text(), "a\r\nb\r\n");
}

TEST_F(QxRichEditTest, LinesLongerThan4095CharactersComeBackWhole)
{
    std::string line(6000, 'z');
    edit->SetText(line + "\r\nnext");
    EXPECT_EQ(edit->Lines()->Strings(0).size(), 6000u);
    EXPECT_EQ(edit->Lines()->Strings(1), "next");
}

TEST_F(QxRichEditTest, SettingTheTextRaisesNoChangeEvents)
{
    int changes = 0;
    edit->OnChange = [&](TObject *) { ++changes; };
    edit->Lines()->SetText("a\r\nb");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(edit->Text(), "a\r\nb\r\n");
    edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("x"));
    EXPECT_EQ(changes, 1);
}

// ---- Streaming ---------------------------------------------------------------------------------

// A stream that hands out at most `step` bytes a read, so that the chunks
// the window asks for end where the test wants.
class TSteppedStream : public TStringStream
{
public:
    explicit TSteppedStream(std::string data)
        : TStringStream(std::move(data))
    {
    }
    int64_t Read(void *buffer, int64_t count) override
    {
        if (failing)
            throw EReadError("Stream read error");
        return TStringStream::Read(buffer, count);
    }
    bool failing = false;
};

TEST_F(QxRichEditTest, ALoneCrAtAChunkBoundaryIsNotLost)
{
    // Chunks are 2047 bytes: the CR is the last byte of the first one.
    edit->SetPlainText(true);
    TSteppedStream stream(std::string(2046, 'x') + "\ry\r\nz\nw\r");
    edit->StreamInContent(stream, false, false);
    EXPECT_EQ(edit->Lines()->Count(), 4);
    EXPECT_EQ(edit->Lines()->Strings(1), "y");
    EXPECT_EQ(edit->Text(), std::string(2046, 'x') + "\r\ny\r\nz\r\nw\r\n");
}

TEST_F(QxRichEditTest, BinaryDataIsNotTouchedByLineBreakRepair)
{
    // The \bin word is cut by the chunk boundary, and its data holds line breaks.
    std::string object = "{\\pict\\bin6 \n\r\n\r\r}}";
    std::string padding(2045 - 8 - 6, ' ');
    std::string rtf = "{\\rtf1 a" + padding + object + "b}";
    ASSERT_EQ(rtf.find("\\bin"), 2045u);
    TSteppedStream stream(rtf);
    edit->StreamInContent(stream, false, false);
    TRichDocument document = edit->Document();
    ASSERT_GE(document.paragraphs.at(0).runs.size(), 2u);
    EXPECT_EQ(document.paragraphs[0].runs[1].object, object);
    EXPECT_EQ(edit->Text().back(), 'b');
}

TEST_F(QxRichEditTest, FirstChunkOnlyEndsBehindTheFirstGroupAfterPard)
{
    TSteppedStream stream("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\f0 Preview text{\\b more} and more}");
    edit->StreamInContent(stream, true, false);
    EXPECT_EQ(edit->Text(), "Preview text");
}

TEST_F(QxRichEditTest, BrokenRtfLoadsAsTextAndAFailingStreamRaises)
{
    TSteppedStream broken("{\\rtf1 {\\pict\\bin99 x}}");
    edit->StreamInContent(broken, false, false);
    EXPECT_EQ(edit->Text(), "{\\rtf1 {\\pict\\bin99 x}}");

    TSteppedStream failing("anything");
    failing.failing = true;
    try {
        edit->StreamInContent(failing, false, false);
        FAIL() << "no error";
    } catch (const EOutOfResources &e) {
        EXPECT_EQ(e.Message(), "Failed to Load Stream");
    }
}

// ---- Find and replace ---------------------------------------------------------------------------

TEST_F(QxRichEditTest, ReplaceAllReplacesMatchesRightBehindAReplacement)
{
    struct Case {
        const char *name;
        const char *text, *find, *replace, *result;
    } cases[] = {
        { "adjacent matches", "ababab", "ab", "x", "xxx" },
        { "single letters", "aaaa", "a", "b", "bbbb" },
        { "longer replacement", "a-a-a", "a", "aa", "aa-aa-aa" },
        { "match at the very start", "cat and cat", "cat", "dog", "dog and dog" },
    };
    for (const Case &c : cases) {
        edit->SetText(c.text);
        edit->SetSelStart(0);
        edit->BeginFind();
        edit->SetFindTextValue(c.find);
        edit->SetReplaceTextValue(c.replace);
        edit->SetFindOptions(TqxFindOptions {}.Include(qfoReplaceAll));
        edit->ReplaceMatch();
        edit->EndFind();
        EXPECT_EQ(edit->Text(), c.result) << c.name;
    }
}

TEST_F(QxRichEditTest, FindWrapsOnceThenSaysNoMoreMatches)
{
    edit->SetText("one two one two");
    edit->SetSelStart(5); // inside "two"
    edit->BeginFind();
    edit->SetFindTextValue("one");
    edit->FindNextMatch();
    EXPECT_EQ(edit->SelStart(), 8);
    edit->FindNextMatch(); // wraps to the first "one"
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(boxes.Count(), 0);
    edit->FindNextMatch(); // beyond the start of the search: none
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "No more matches found");
    edit->FindNextMatch(); // a fresh search from here
    EXPECT_EQ(edit->SelStart(), 8);
    EXPECT_EQ(boxes.Count(), 1);
}

TEST_F(QxRichEditTest, FindHonoursCaseAndWholeWords)
{
    edit->SetText("Catalog cat CAT");
    edit->SetSelStart(0);
    edit->BeginFind();
    edit->SetFindTextValue("cat");
    edit->SetFindOptions(TqxFindOptions {}.Include(qfoWholeWord));
    edit->FindNextMatch();
    EXPECT_EQ(edit->SelStart(), 8);
    edit->SetFindOptions(TqxFindOptions {}.Include(qfoWholeWord).Include(qfoMatchCase));
    edit->SetFindTextValue("CAT");
    edit->FindNextMatch();
    EXPECT_EQ(edit->SelStart(), 12);
}

// ---- Popup menu ----------------------------------------------------------------------------------

TEST_F(QxRichEditTest, AReadOnlyPopupOffersOnlyViewingItems)
{
    edit->SetReadOnly(true);
    TqxRichEditPopupOptions all = TqxRichEditPopupOptions::FromBits(0x3FFF);
    edit->SetPopupOptions(all);
    edit->PreparePopup();
    TMenuItem *items = edit->BuiltInPopupMenu()->Items();
    ASSERT_EQ(items->Count(), 19);
    EXPECT_EQ(items->Items(0)->Caption(), "&View");
    for (int i : { 6, 7, 8, 10, 11, 12, 13, 16, 18 })
        EXPECT_FALSE(items->Items(i)->Visible()) << items->Items(i)->Caption();
    for (int i : { 0, 2, 3, 4, 15 })
        EXPECT_TRUE(items->Items(i)->Visible()) << items->Items(i)->Caption();
    EXPECT_EQ(edit->PopupOptions(), all) << "the stored options stay as they were";

    edit->SetReadOnly(false);
    edit->SetText("bold");
    edit->SelectAll();
    edit->SetSelectionBold(true);
    edit->PreparePopup();
    EXPECT_EQ(items->Items(0)->Caption(), "&Edit");
    EXPECT_TRUE(items->Items(6)->Visible());
    EXPECT_TRUE(items->Items(6)->Checked());
    EXPECT_TRUE(items->Items(2)->Enabled());
    EXPECT_FALSE(items->Items(18)->Visible()) << "no object server: inserting is not offered";
}

// ---- Paragraphs ------------------------------------------------------------------------------------

TEST_F(QxRichEditTest, SetParagraphAndBullets)
{
    edit->SetText("para");
    edit->HandleNeeded();
    int tabs[] = { 720, 1440 };
    edit->SetParagraph(1 | 4 | 8 | 16 | 32 | 64 | 128 | 256, "Right", 2, 0, 120, 60, tabs, 2, 360, 180, 240, false);
    int offset, right, start;
    edit->GetParagraphIndents(offset, right, start);
    EXPECT_EQ(offset, 240);
    EXPECT_EQ(right, 180);
    EXPECT_EQ(start, 360);
    PARAFORMAT2 format = edit->GetParagraphFormat();
    EXPECT_EQ(format.wAlignment, PFA_RIGHT);
    EXPECT_EQ(format.cTabCount, 2);
    EXPECT_EQ(format.bLineSpacingRule, 2) << "double spacing, given as rule 2";
    EXPECT_EQ(format.dySpaceAfter, 120);
    edit->SetBullets(true);
    EXPECT_EQ(edit->Paragraph()->Numbering(), nsBullet);
    edit->GetParagraphIndents(offset, right, start);
    EXPECT_EQ(offset, 720);
    EXPECT_EQ(start, 360) << "bullets set the offset, not the start indent";
    edit->SetBullets(false);
    EXPECT_EQ(edit->Paragraph()->Numbering(), nsNone);
}

// ---- Links -----------------------------------------------------------------------------------------

TEST_F(QxRichEditTest, ClickingALinkAsksOnURLOpen)
{
    TRichDocument document;
    TRichCharFormat link;
    link.fontName = "DejaVu Sans";
    link.link = "http://example.org/";
    document.paragraphs[0].runs = { { "http://example.org/ is a link", link, {} } };
    edit->SetDocument(document);
    edit->Perform(EM_SETEVENTMASK, 0, edit->Perform(EM_GETEVENTMASK, 0, 0) | ENM_LINK);
    form->Show();
    ProcessPendingEvents();
    std::vector<std::string> opened;
    edit->OnURLOpen = [&](TqxCustomRichEdit *, std::string url, bool &useDefault) {
        opened.push_back(url);
        useDefault = false;
    };
    ClickControl(edit, 20, 10);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "http://example.org/ is a link");
}

// ---- Printing --------------------------------------------------------------------------------------

TEST_F(QxRichEditTest, PrintsInsideTheMargins)
{
    if (!HaveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (tools/bootstrap installs it)";
    std::string text;
    for (int i = 1; i <= 100; ++i)
        text += (i > 1 ? "\r\n" : "") + std::string("Row ") + std::to_string(i);
    edit->SetText(text);
    edit->SelectAll();
    edit->SelAttributes()->SetName("DejaVu Sans");
    edit->SelAttributes()->SetSize(12);
    edit->PrintMargins()->SetLeft(2.0); // inches
    std::string pdf = (std::filesystem::temp_directory_path() / "qxrichedit-print-test.pdf").string();
    std::filesystem::remove(pdf);
    Printer()->SetOutputFileName(pdf);
    edit->Print(edit->PrintJobName());
    Printer()->SetOutputFileName("");
    // With one-inch margins a letter page holds 9 inches: 100 rows need three pages.
    std::string info = CommandOutput("pdfinfo '" + pdf + "'");
    size_t pagesAt = info.find("Pages:");
    ASSERT_NE(pagesAt, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pagesAt + 6)), 3);
    // The first word stands two inches (144 points) from the left and one from the top.
    std::string boxes = CommandOutput("pdftotext -bbox -f 1 -l 1 '" + pdf + "' -");
    size_t word = boxes.find("<word xMin=\"");
    ASSERT_NE(word, std::string::npos) << boxes;
    double xMin = std::stod(boxes.substr(word + 12));
    size_t yAt = boxes.find("yMin=\"", word);
    double yMin = std::stod(boxes.substr(yAt + 6));
    EXPECT_NEAR(xMin, 144, 2);
    EXPECT_NEAR(yMin, 72, 6);
}

TEST_F(QxRichEditTest, PrintsEveryLineOnceAcrossPageBreaks)
{
    if (!HaveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (tools/bootstrap installs it)";
    // Nine inches of page between the margins hold no whole number of these lines.
    std::string text;
    for (int i = 1; i <= 150; ++i)
        text += (i > 1 ? "\r\n" : "") + std::string("Row ") + std::to_string(i);
    edit->SetText(text);
    edit->SelectAll();
    edit->SelAttributes()->SetName("DejaVu Sans");
    edit->SelAttributes()->SetSize(12);
    std::string pdf = (std::filesystem::temp_directory_path() / "qxrichedit-print-once.pdf").string();
    std::filesystem::remove(pdf);
    Printer()->SetOutputFileName(pdf);
    edit->Print(edit->PrintJobName());
    Printer()->SetOutputFileName("");
    std::stringstream words(CommandOutput("pdftotext '" + pdf + "' -"));
    std::vector<int> rows;
    for (std::string word; words >> word;)
        if (word != "Row")
            rows.push_back(std::stoi(word));
    std::vector<int> expected;
    for (int i = 1; i <= 150; ++i)
        expected.push_back(i);
    EXPECT_EQ(rows, expected);
}

// ---- Embedded objects ------------------------------------------------------------------------------

TEST(RichEditOleCallback, DragEffectsFollowTheKeys)
{
    struct Case {
        const char *name;
        uint32_t keys, offered, expected;
    } cases[] = {
        { "no keys moves", 0, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_MOVE },
        { "Ctrl copies", MK_CONTROL, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_COPY },
        { "Ctrl and Shift link", MK_CONTROL | MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
            DROPEFFECT_LINK },
        { "only copy offered, no keys: kept", 0, DROPEFFECT_COPY, DROPEFFECT_COPY },
        { "Shift alone moves", MK_SHIFT, DROPEFFECT_MOVE | DROPEFFECT_COPY, DROPEFFECT_MOVE },
    };
    TComPtr<IRichEditOleCallback> callback(new TRichEditOleCallback(nullptr));
    for (const Case &c : cases) {
        uint32_t effect = c.offered;
        EXPECT_EQ(callback->GetDragDropEffect(false, c.keys, &effect), S_OK);
        EXPECT_EQ(effect, c.expected) << c.name;
    }
    uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    callback->GetDragDropEffect(true, MK_CONTROL, &effect);
    EXPECT_EQ(effect, DROPEFFECT_COPY | DROPEFFECT_MOVE) << "the drag source's own question leaves it";
}

TEST(RichEditOleCallback, AnswersTheWindowsQuestions)
{
    TComPtr<IRichEditOleCallback> callback(new TRichEditOleCallback(nullptr));
    TComPtr<IStorage> storage;
    ASSERT_EQ(callback->GetNewStorage(storage.Put()), S_OK);
    TComPtr<IStream> stream;
    EXPECT_EQ(storage->CreateStream("Contents", stream.Put()), S_OK);
    EXPECT_EQ(callback->QueryInsertObject(nullptr, storage.Get(), 0), S_OK);
    EXPECT_EQ(callback->QueryAcceptData(nullptr, nullptr, RECO_PASTE, true, nullptr), S_OK);
    EXPECT_EQ(callback->ShowContainerUI(true), E_NOTIMPL);
    IDataObject *data = reinterpret_cast<IDataObject *>(1);
    EXPECT_EQ(callback->GetClipboardData({ 0, 1 }, RECO_COPY, &data), E_NOTIMPL);
    EXPECT_EQ(data, nullptr);
    HMENU menu = reinterpret_cast<HMENU>(1);
    EXPECT_EQ(callback->GetContextMenu(SEL_TEXT, nullptr, { 0, 1 }, &menu), S_OK);
    EXPECT_EQ(menu, nullptr);
}

// An embedded object as a server would give it; no server exists here.
class TServerObject : public TInterfacedObject<IOleObject, IPersistStorage, IOleLink>
{
public:
    TServerObject(std::u16string type, std::u16string source, bool linked)
        : type_(std::move(type))
        , source_(std::move(source))
        , linked_(linked)
    {
    }
    HRESULT QueryInterface(const IID &iid, void **object) override
    {
        if (iid == IOleLink::Iid && !linked_) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return TInterfacedObject::QueryInterface(iid, object);
    }
    HRESULT GetUserType(uint32_t, char16_t **userType) override
    {
        *userType = CoTaskMemAllocString(type_);
        return S_OK;
    }
    HRESULT GetUserClassID(CLSID &clsid) override
    {
        clsid = CLSID { 0x12345678, 0x9ABC, 0xDEF0, { 1, 2, 3, 4, 5, 6, 7, 8 } };
        return S_OK;
    }
    HRESULT GetMiscStatus(uint32_t, uint32_t &status) override
    {
        status = 0x2A;
        return S_OK;
    }
    HRESULT EnumVerbs(IEnumOLEVERB **) override { return E_NOTIMPL; }
    HRESULT DoVerb(int32_t, const void *, IOleClientSite *, int32_t, HWND, const TRect &) override { return E_NOTIMPL; }
    HRESULT Advise(IAdviseSink *, uint32_t &) override { return E_NOTIMPL; }
    HRESULT Unadvise(uint32_t) override { return E_NOTIMPL; }
    HRESULT Save(IStorage *storage, bool) override
    {
        TComPtr<IStream> stream;
        storage->CreateStream("Contents", stream.Put());
        return stream->Write("object bytes", 12);
    }
    HRESULT SaveCompleted(IStorage *) override
    {
        ++saveCompleted;
        return S_OK;
    }
    HRESULT GetSourceDisplayName(char16_t **name) override
    {
        *name = CoTaskMemAllocString(source_);
        return S_OK;
    }
    int saveCompleted = 0;

private:
    std::u16string type_, source_;
    bool linked_;
};

std::u16string WideAt(const uint8_t *block, size_t offset)
{
    std::u16string text;
    for (size_t i = offset;; i += 2) {
        char16_t c = static_cast<char16_t>(block[i] | (block[i + 1] << 8));
        if (!c)
            return text;
        text += c;
    }
}

uint32_t U32(const uint8_t *at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

TEST(DataObject, EnumeratesItsTwoFormats)
{
    TComPtr<IDataObject> data(new TDataObject(nullptr));
    TComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.Put()), S_OK);
    FORMATETC records[3];
    uint32_t fetched = 0;
    EXPECT_EQ(formats->Next(3, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(records[0].cfFormat, CF_EMBEDDEDOBJECT());
    EXPECT_EQ(records[0].tymed, TYMED_ISTORAGE);
    EXPECT_EQ(records[1].cfFormat, CF_OBJECTDESCRIPTOR());
    EXPECT_EQ(records[1].tymed, TYMED_HGLOBAL);
    EXPECT_EQ(records[1].lindex, -1);
    EXPECT_EQ(formats->Next(1, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(GetClipboardFormatName(CF_OBJECTDESCRIPTOR()), "Object Descriptor");
    EXPECT_EQ(GetClipboardFormatName(CF_EMBEDDEDOBJECT()), "Embedded Object");

    formats->Reset();
    EXPECT_EQ(formats->Skip(1), S_OK);
    TComPtr<IEnumFORMATETC> clone;
    formats->Clone(clone.Put());
    EXPECT_EQ(clone->Next(1, records, &fetched), S_OK);
    EXPECT_EQ(records[0].cfFormat, CF_OBJECTDESCRIPTOR()) << "the clone goes on from the same place";
    EXPECT_EQ(formats->Skip(5), S_FALSE);
    EXPECT_EQ(formats->Next(1, records, &fetched), S_FALSE);
    TComPtr<IEnumFORMATETC> none;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, none.Put()), E_NOTIMPL);
    EXPECT_FALSE(none);
}

TEST(DataObject, DescriptorsOfEmbeddedAndLinkedObjects)
{
    struct Case {
        const char *name;
        std::u16string type, source;
        bool linked;
        std::u16string expectedType, expectedSource;
    } cases[] = {
        { "embedded", u"Paintbrush Picture", u"", false, u"Paintbrush Picture", u"Paintbrush Picture" },
        { "linked, short source", u"Sheet", u"C:\\a.xls", true, u"Linked Sheet", u"C:\\a.xls" },
        { "linked, long type", u"Very Long Document Type Name", u"x", true, u"Linked Very Long Document Type Name",
            u"x" },
        { "linked, empty source", u"T", u"", true, u"Linked T", u"" },
    };
    for (const Case &c : cases) {
        TComPtr<IDataObject> data(new TDataObject(new TServerObject(c.type, c.source, c.linked)));
        FORMATETC format { CF_OBJECTDESCRIPTOR(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
        STGMEDIUM medium;
        ASSERT_EQ(data->GetData(format, medium), S_OK) << c.name;
        EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
        auto *block = static_cast<const uint8_t *>(GlobalLock(medium.hGlobal));
        size_t size = 52 + 2 * (c.expectedType.size() + 1) + 2 * (c.expectedSource.size() + 1);
        EXPECT_EQ(GlobalSize(medium.hGlobal), size) << c.name;
        EXPECT_EQ(U32(block), size);
        EXPECT_EQ(U32(block + 20), DVASPECT_ICON);
        EXPECT_EQ(U32(block + 40), 0x2Au);
        EXPECT_EQ(U32(block + 44), 52u);
        EXPECT_EQ(U32(block + 48), 52 + 2 * (c.expectedType.size() + 1)) << "right after the type's terminator";
        EXPECT_EQ(WideAt(block, 52), c.expectedType) << c.name;
        EXPECT_EQ(WideAt(block, U32(block + 48)), c.expectedSource) << c.name;
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(medium);
    }
}

TEST(DataObject, FormatsItAnswersAndTheStorageItFills)
{
    auto *object = new TServerObject(u"Thing", u"", false);
    TComPtr<IOleObject> keep(object);
    TComPtr<IDataObject> data(new TDataObject(object));
    FORMATETC descriptor { CF_OBJECTDESCRIPTOR(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    FORMATETC embedded { CF_EMBEDDEDOBJECT(), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE };
    FORMATETC icon = descriptor;
    icon.dwAspect = DVASPECT_ICON;
    FORMATETC wrongMedium = embedded;
    wrongMedium.tymed = TYMED_HGLOBAL;
    EXPECT_EQ(data->QueryGetData(descriptor), S_OK);
    EXPECT_EQ(data->QueryGetData(embedded), S_OK);
    EXPECT_EQ(data->QueryGetData(icon), DV_E_FORMATETC);
    EXPECT_EQ(data->QueryGetData(wrongMedium), DV_E_FORMATETC);
    STGMEDIUM none;
    EXPECT_EQ(data->GetData(embedded, none), DV_E_FORMATETC);

    TComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateOnMemory(storage.Put()), S_OK);
    STGMEDIUM medium;
    medium.tymed = TYMED_ISTORAGE;
    medium.pstg = storage.Get();
    EXPECT_EQ(data->GetDataHere(embedded, medium), S_OK);
    EXPECT_EQ(object->saveCompleted, 1);
    CLSID clsid;
    std::vector<std::string> names;
    storage->Stat(&clsid, &names);
    EXPECT_EQ(names, std::vector<std::string> { "Contents" });
    EXPECT_EQ(clsid.D1, 0x12345678u);
    EXPECT_EQ(data->GetDataHere(descriptor, medium), DV_E_FORMATETC);
    uint32_t connection = 0;
    EXPECT_EQ(data->DAdvise(descriptor, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
}

TEST(DataObject, GoesOnTheClipboardWithBothFormats)
{
    TComPtr<IDataObject> data(new TDataObject(new TServerObject(u"Clip", u"", false)));
    ASSERT_EQ(OleSetClipboard(data.Get()), S_OK);
    std::string descriptor, storage;
    ASSERT_TRUE(GetClipboardBytes(CF_OBJECTDESCRIPTOR(), descriptor));
    ASSERT_TRUE(GetClipboardBytes(CF_EMBEDDEDOBJECT(), storage));
    EXPECT_EQ(descriptor.size(), 52u + 2 * 5 + 2 * 5);
    EXPECT_NE(storage.find("object bytes"), std::string::npos);
}

TEST_F(QxRichEditTest, TheWindowHasTheCallbackAndNoObjectIsSelected)
{
    edit->HandleNeeded();
    IRichEditOle *ole = nullptr;
    ASSERT_TRUE(edit->Perform(EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)));
    TComPtr<IRichEditOle> held(ole);
    ole->Release();
    REOBJECT object;
    EXPECT_FALSE(Succeeded(ole->GetObject(REO_IOB_SELECTION, object, REO_GETOBJ_POLEOBJ)));
    EXPECT_FALSE(edit->InsertObjectDialog());
}

TEST_F(QxRichEditTest, ContentSurvivesANewWindowThroughItsStream)
{
    form->Show();
    edit->SetText("kept across");
    edit->SelectAll();
    edit->SetSelectionItalic(true);
    edit->SetOleOptions(TqxRichEditOleOptions {}.Include(reoDisableOLE)); // makes the window again
    ProcessPendingEvents();
    EXPECT_EQ(edit->Text(), "kept across");
    EXPECT_TRUE(edit->Document().paragraphs.at(0).runs.at(0).format.italic);
}

TEST_F(QxRichEditTest, AKilledSaveLeavesTheOldOrTheNewDocument)
{
    // Two documents of about 300 KB; a child saves them in turn over one
    // file until it is killed.
    auto *other = new TqxCustomRichEdit(form.get());
    other->SetParent(form.get());
    std::string oldText, newText;
    for (int i = 0; i < 20000; ++i) {
        oldText += "old line " + std::to_string(i) + "\r\n";
        newText += "new line " + std::to_string(i) + "\r\n";
    }
    edit->SetText(oldText);
    other->SetText(newText);
    auto rtfOf = [](TqxCustomRichEdit *control) {
        TStringStream stream;
        control->Lines()->SaveToStream(stream);
        return stream.DataString();
    };
    const std::string oldRtf = rtfOf(edit), newRtf = rtfOf(other);
    ASSERT_GT(oldRtf.size(), 300000u);
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qxrich-kill-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "note.rtf").string();
    edit->Lines()->SaveToFile(file);

    std::mt19937 random(35);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (;;) {
                    other->Lines()->SaveToFile(file);
                    edit->Lines()->SaveToFile(file);
                }
            } catch (...) {
            }
            _exit(1);
        }
        usleep(2000 + random() % 60000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";
        std::ifstream in(file, std::ios::binary);
        std::string left((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_TRUE(left == oldRtf || left == newRtf) << "round " << round << ": " << left.size() << " bytes";
    }
    std::filesystem::remove_all(dir);
}

TEST_F(QxRichEditTest, CopiesItsContentThroughMemoryOrATemporaryFile)
{
    edit->SetText("copy me");
    edit->SelectAll();
    edit->SetSelectionBold(true);
    for (int mode : { 0, 1 }) {
        TProbeRichEdit target(form.get());
        edit->SetTransferMode(mode);
        edit->CopyContentTo(&target);
        EXPECT_EQ(target.Text(), "copy me") << mode;
        EXPECT_TRUE(target.Document().paragraphs.at(0).runs.at(0).format.bold) << mode;
    }
}

TEST_F(QxRichEditTest, Screenshot)
{
    form->SetCaption("Library rich edit");
    TStringStream source("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}{\\colortbl;\\red0\\green0\\blue200;}"
                         "\\pard\\qc\\f0\\fs32\\b Tabulo\\b0\\par\\pard\\fs20 A {\\cf1\\ul link} and "
                         "{\\i italic} text, then an object {\\pict\\pngblip 00} kept as it came.\\par"
                         "\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}\\li720\\fi-360 first item\\par second item}");
    edit->Lines()->LoadFromStream(source);
    form->Show();
    ProcessPendingEvents();
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/qxrichedit.png";
    EXPECT_GT(SaveScreenshot(form.get(), path), 0);
}

} // namespace
