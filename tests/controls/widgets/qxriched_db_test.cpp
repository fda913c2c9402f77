#include "controls/widgets/qxriched.h"

#include "platform/classes/filer.h"
#include "platform/db/dbtables.h"
#include "platform/rich/rtf.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace
{

class RichUnit : public ::testing::Environment
{
public:
    void SetUp() override { InitializeQxRichEd(); }
    void TearDown() override { FinalizeQxRichEd(); }
};

} // namespace

static auto *const dbApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
static auto *const dbUnit = ::testing::AddGlobalTestEnvironment(new RichUnit);

namespace
{

const char *const kRtfNote = R"({\rtf1\ansi{\fonttbl\f0\fswiss Arial;}\f0\fs20 Hello {\b bold} world\par})";
const char *const kPlainNote = "plain {braces} and \\par stay";

// Notes in a fresh SQLite file, on a form with the rich edit and an edit to
// move the focus to.
class DBRichEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir = std::filesystem::temp_directory_path()
            / ("orvex-dbrich-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir);
        file = (dir / "notes.db").string();
        CreateDatabaseFile(file);
        {
            TDatabase db(nullptr);
            db.SetDatabaseName("dbrich-" + std::to_string(n));
            db.Params()->Add("PATH=" + file);
            db.Execute("CREATE TABLE notes (Id INTEGER PRIMARY KEY, Title VARCHAR(40), Body BLOB)");
            db.Execute(std::string("INSERT INTO notes VALUES (1, 'rich', CAST('") + kRtfNote + "' AS BLOB))");
            db.Execute(std::string("INSERT INTO notes VALUES (2, 'plain', CAST('") + kPlainNote + "' AS BLOB))");
            db.Execute("INSERT INTO notes VALUES (3, 'empty', NULL)");
        }
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 420, 300);
        table = new TTable(form.get());
        table->SetDatabaseName(file);
        table->SetTableName("notes");
        table->Open();
        source = new TDataSource(form.get());
        source->SetDataSet(table);
        edit = new TqxDBRichEdit(form.get());
        edit->SetName("Notes");
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 380, 200);
        other = new TEdit(form.get());
        other->SetParent(form.get());
        other->SetBounds(10, 230, 100, 24);
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override
    {
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void Bind(const std::string &field)
    {
        edit->SetDataSource(source);
        edit->SetDataField(field);
    }
    // The body of record id as it is in the file now.
    std::string StoredBody(int id)
    {
        auto check = std::make_unique<TTable>(nullptr);
        check->SetDatabaseName(file);
        check->SetTableName("notes");
        check->Open();
        while (!check->Eof() && check->FieldByName("Id")->AsInteger() != id)
            check->Next();
        return check->FieldByName("Body")->AsString();
    }
    std::string Shown() { return edit->Text(); }

    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<TForm> form;
    TTable *table = nullptr;
    TDataSource *source = nullptr;
    TqxDBRichEdit *edit = nullptr;
    TEdit *other = nullptr;
    ScriptedMessageBoxes boxes;
};

TEST_F(DBRichEdit, RichAndPlainBlobsAreToldApartByTheirStart)
{
    Bind("Body");
    EXPECT_TRUE(edit->IsRichTextLoaded());
    EXPECT_EQ(Shown(), "Hello bold world\r\n");
    edit->SetSelStart(6);
    edit->SetSelLength(4);
    EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsBold)) << "the RTF's formats are read";
    EXPECT_EQ(edit->SelAttributes()->Name(), "Arial");

    table->Next();
    EXPECT_EQ(Shown(), kPlainNote) << "content that does not start with {\\rtf is text, codes and all";

    table->Next();
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(edit->Paragraph()->Numbering(), nsNone);
    EXPECT_EQ(edit->Paragraph()->Alignment(), taLeftJustify);
    EXPECT_EQ(edit->DefAttributes()->Color(), clBlack);
    EXPECT_EQ(table->State(), dsBrowse) << "showing records edits nothing";
}

TEST_F(DBRichEdit, TypingEditsTheRecordAndPostingStoresRtf)
{
    Bind("Body");
    edit->SetFocus();
    edit->SetSelStart(0);
    EXPECT_TRUE(edit->DataLink()->Editing() == false);
    TypeText(edit, "New ");
    EXPECT_EQ(table->State(), dsEdit) << "the first key puts the record in edit state";
    EXPECT_EQ(Shown(), "New Hello bold world\r\n") << "no key is lost to the change of state";
    other->SetFocus(); // leaving hands the content to the field
    table->Post();
    std::string stored = StoredBody(1);
    ASSERT_TRUE(IsRtf(stored)) << stored;
    TRichDocument document = ReadRtf(stored);
    EXPECT_EQ(document.PlainText(), "New Hello bold world\r\n");

    table->Next();
    edit->SetFocus();
    edit->SetSelStart(0);
    PressKey(edit, VK_DELETE);
    EXPECT_EQ(table->State(), dsEdit) << "Delete edits too";
    table->Post();
    EXPECT_TRUE(IsRtf(StoredBody(2))) << "an edited plain note is stored as RTF";
    EXPECT_EQ(ReadRtf(StoredBody(2)).PlainText(), std::string(kPlainNote).substr(1));
}

TEST_F(DBRichEdit, CancelAndEscapeBringBackTheRecord)
{
    Bind("Body");
    edit->SetFocus();
    edit->SetSelStart(0);
    TypeText(edit, "xyz");
    ASSERT_EQ(Shown(), "xyzHello bold world\r\n");
    table->Cancel();
    EXPECT_EQ(Shown(), "Hello bold world\r\n");
    EXPECT_FALSE(edit->Modified());
    EXPECT_EQ(StoredBody(1), kRtfNote) << "the file is untouched";

    edit->SetSelStart(0);
    TypeText(edit, "q");
    PressKey(edit, VK_ESCAPE, 27);
    EXPECT_EQ(Shown(), "Hello bold world\r\n") << "Escape shows the record's value again";
}

TEST_F(DBRichEdit, AReadOnlyControlTypesNothingAndEditsNothing)
{
    Bind("Body");
    edit->SetReadOnly(true);
    EXPECT_TRUE(edit->ReadOnly());
    edit->SetFocus();
    edit->SetSelStart(0);
    TypeText(edit, "abc");
    PressKey(edit, VK_DELETE);
    PressKey(edit, VK_BACK, 8);
    EXPECT_EQ(Shown(), "Hello bold world\r\n");
    EXPECT_EQ(table->State(), dsBrowse);

    edit->SetReadOnly(false);
    auto *readOnlyTable = new TTable(form.get());
    readOnlyTable->SetDatabaseName(file);
    readOnlyTable->SetTableName("notes");
    readOnlyTable->SetReadOnly(true);
    readOnlyTable->Open();
    source->SetDataSet(readOnlyTable);
    EXPECT_TRUE(edit->ReadOnly()) << "a dataset that cannot be changed makes the control read-only";
}

TEST_F(DBRichEdit, WithoutAutoDisplayTheLabelWaitsForEnterOrADoubleClick)
{
    edit->SetAutoDisplay(false);
    Bind("Body");
    table->FieldByName("Body")->SetDisplayLabel("Notes");
    table->First();
    EXPECT_EQ(Shown(), "(Notes)");
    EXPECT_FALSE(edit->IsRichTextLoaded());
    edit->SetFocus();
    TypeText(edit, "z");
    EXPECT_EQ(Shown(), "(Notes)") << "keys do nothing before the content is loaded";
    EXPECT_EQ(table->State(), dsBrowse);
    PressKey(edit, VK_RETURN, 13);
    EXPECT_EQ(Shown(), "Hello bold world\r\n");

    table->Next();
    EXPECT_EQ(Shown(), "(Notes)");
    DoubleClickControl(edit);
    EXPECT_EQ(Shown(), kPlainNote);
    EXPECT_EQ(table->State(), dsBrowse);
}

TEST_F(DBRichEdit, AFieldThatIsNoBlobIsItsText)
{
    Bind("Title");
    EXPECT_EQ(Shown(), "rich");
    edit->SetFocus();
    edit->SetSelStart(4);
    TypeText(edit, "er");
    EXPECT_EQ(table->State(), dsEdit);
    other->SetFocus();
    table->Post();
    EXPECT_EQ(table->FieldByName("Title")->AsString(), "richer");
    EXPECT_EQ(StoredBody(1), kRtfNote);
}

TEST_F(DBRichEdit, ABoundControlWritesNoDataIntoItsFormResource)
{
    EXPECT_EQ(edit->Perform(CM_GETDATALINK, 0, 0), 0);
    edit->SetText("unbound");
    std::string unbound = WriteComponentText(edit);
    EXPECT_NE(unbound.find("Data = {"), std::string::npos) << unbound;
    Bind("Body");
    EXPECT_EQ(edit->Perform(CM_GETDATALINK, 0, 0), reinterpret_cast<LRESULT>(edit->DataLink()));
    std::string bound = WriteComponentText(edit);
    EXPECT_EQ(bound.find("Data = {"), std::string::npos) << bound;
    EXPECT_NE(bound.find("DataField = 'Body'"), std::string::npos) << bound;
}

} // namespace
