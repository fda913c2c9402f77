#include "controls/data/Qxdbsets.h"

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxintl.h"
#include "controls/data/Qxdatsrc.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace {

std::string ErrorOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "no error";
}

// A database file of its own per test, with a table of people.
class QxDataSets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir_ = std::filesystem::temp_directory_path()
            / ("orvex-qxdatasets-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "people.db").string();
        CreateDatabaseFile(file_);
        db_ = std::make_unique<TDatabase>(nullptr);
        db_->SetDatabaseName("qxdatasets-" + std::to_string(n));
        db_->Params()->Add("PATH=" + file_);
        Exec("CREATE TABLE people (Id INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Phone VARCHAR(10))");
        Exec("CREATE INDEX ByCity ON people (City)");
        Screen->SetCursor(crDefault);
    }
    void TearDown() override
    {
        Screen->SetCursor(crDefault);
        db_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    void Exec(const std::string &sql) { db_->Execute(sql); }
    void AddPeople(int count)
    {
        const char *cities[] = { "Lima", "Quito", "Cali" };
        std::string rows;
        for (int i = 1; i <= count; ++i)
            rows += std::string(rows.empty() ? "" : ",") + "(" + std::to_string(i) + ", 'P" + std::to_string(i)
                + "', '" + cities[i % 3] + "', '555-" + std::to_string(1000 + i % 9000) + "')";
        Exec("INSERT INTO people VALUES " + rows);
    }
    template <typename T> std::unique_ptr<T> Make()
    {
        auto ds = std::make_unique<T>(nullptr);
        ds->SetName("People");
        ds->SetDatabaseName(file_);
        return ds;
    }
    std::unique_ptr<TqxTable> OpenPeople()
    {
        auto t = Make<TqxTable>();
        t->SetTableName("people");
        t->Open();
        return t;
    }
    static std::vector<int> Ids(TDataSet *ds)
    {
        std::vector<int> ids;
        for (ds->First(); !ds->Eof(); ds->Next())
            ids.push_back(static_cast<int>(ds->FieldByName("Id")->AsInteger()));
        return ids;
    }
    static std::unique_ptr<TStringList> Lines(std::initializer_list<std::string> lines)
    {
        auto list = std::make_unique<TStringList>();
        for (const std::string &l : lines)
            list->Add(l);
        return list;
    }

    std::filesystem::path dir_;
    std::string file_;
    std::unique_ptr<TDatabase> db_;
};

TEST_F(QxDataSets, ClassesPublishTheSharedPropertiesWithTheirDefaults)
{
    auto table = Make<TqxTable>();
    auto query = Make<TqxQuery>();
    auto proc = Make<TqxStoredProc>();
    auto qbe = Make<TqxQBE>();
    for (TObject *ds : std::vector<TObject *> { table.get(), query.get(), proc.get(), qbe.get() }) {
        EXPECT_TRUE(qxIsLibraryDataSet(ds)) << ds->ClassName();
        EXPECT_EQ(qxGetFilterOptions(ds), 3) << ds->ClassName();
        for (const char *list : { "ControlType", "LookupFields", "LookupLinks", "PictureMasks" })
            EXPECT_TRUE(PropIsType(ds, list, pkStrings)) << ds->ClassName() << "." << list;
        for (const char *event : { "OnFilter", "OnFilterEscape", "OnInvalidValue" })
            EXPECT_TRUE(PropIsType(ds, event, pkEvent)) << ds->ClassName() << "." << event;
        EXPECT_EQ(qxGetValidateWithMask(ds), ds == qbe.get() ? 0 : 1) << ds->ClassName();
    }
    EXPECT_EQ(GetOrdProp(table.get(), "NarrowSearchUpperChar"), 255);
    EXPECT_TRUE(PropIsType(table.get(), "qxFilter", pkStrings));
    EXPECT_EQ(GetOrdProp(qbe.get(), "AuxiliaryTables"), 1);
    EXPECT_EQ(GetOrdProp(qbe.get(), "BlankAsZero"), 1);
    for (const char *name : { "TqxTable", "TqxQuery", "TqxStoredProc", "TqxQBE", "TqxDataSource" })
        EXPECT_NE(GetClass(name), nullptr) << name;
    EXPECT_TRUE(GetClass("TqxDataSource")->InheritsFrom(TDataSource::Class));

    // The lookup tables of each dataset are reached through its class.
    EXPECT_EQ(qxGetLookupTableList(table.get()), table->LookupTables());
    EXPECT_NE(qxGetLookupTableList(qbe.get()), nullptr);
}

TEST_F(QxDataSets, OnFilterHidesRecordsAndShowsTheHourGlassOnce)
{
    AddPeople(9);
    auto table = OpenPeople();
    std::vector<TCursor> seen;
    table->SetOnFilter(TqxTableFilterEvent([&](TqxTable *t, bool &accept) {
        seen.push_back(Screen->Cursor());
        accept = t->FieldByName("City")->AsString() == "Lima";
    }));
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 3, 6, 9 }));
    EXPECT_FALSE(table->IsSequenced());
    // The first rejected record turned the cursor; once the records are
    // fetched it is the arrow again.
    EXPECT_NE(std::find(seen.begin(), seen.end(), crHourGlass), seen.end());
    EXPECT_EQ(Screen->Cursor(), crArrow);

    // Without the option the cursor stays as it is.
    Screen->SetCursor(crDefault);
    seen.clear();
    table->SetOnFilterOptions({ ofoEnabled });
    table->Refresh();
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 3, 6, 9 }));
    EXPECT_EQ(std::find(seen.begin(), seen.end(), crHourGlass), seen.end());
    EXPECT_EQ(Screen->Cursor(), crDefault);

    // Switching the filter off shows every record at once.
    table->SetOnFilterOptions({});
    EXPECT_EQ(table->RecordCount(), 9);
    EXPECT_EQ(Ids(table.get()).size(), 9u);
    table->SetOnFilter({});
    EXPECT_TRUE(table->IsSequenced());
}

TEST_F(QxDataSets, ARaisingOnFilterReachesTheCallerAndFiltersAgainAfterwards)
{
    AddPeople(6);
    auto table = OpenPeople();
    bool raise = true;
    int calls = 0;
    table->SetOnFilterOptions({ ofoEnabled });
    EXPECT_THROW(table->SetOnFilter(TqxTableFilterEvent([&](TqxTable *t, bool &accept) {
        ++calls;
        if (raise && t->FieldByName("Id")->AsInteger() == 2)
            throw EDatabaseError("no good");
        accept = t->FieldByName("Id")->AsInteger() % 2 == 0;
    })),
        EDatabaseError);
    raise = false;
    // The re-entrancy flag went down with the exception: the event runs
    // again and still decides.
    calls = 0;
    table->Refresh();
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 2, 4, 6 }));
    EXPECT_GT(calls, 0);
}

TEST_F(QxDataSets, ANestedReadInsideOnFilterKeepsEveryRecord)
{
    AddPeople(4);
    auto table = OpenPeople();
    auto other = Make<TqxTable>();
    other->SetTableName("people");
    other->Open();
    int nested = -1;
    other->SetOnFilter(TqxTableFilterEvent([&](TqxTable *t, bool &accept) {
        accept = t->FieldByName("Id")->AsInteger() > 2;
    }));
    table->SetOnFilter(TqxTableFilterEvent([&](TqxTable *t, bool &accept) {
        if (nested < 0)
            nested = other->RecordCount();
        accept = t->FieldByName("Id")->AsInteger() != 1;
    }));
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 2, 3, 4 }));
    EXPECT_EQ(nested, 2); // the other table's own filter, not this one's flag
}

// Keys typed ahead wait in the queue while the records are filtered; every
// hundredth record takes one key message out.
class QxDataSetsKeys : public QxDataSets
{
protected:
    void SetUp() override
    {
        QxDataSets::SetUp();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override
    {
        form.reset();
        QxDataSets::TearDown();
    }
    std::unique_ptr<TForm> form;
    TEdit *edit = nullptr;
};

TEST_F(QxDataSetsKeys, EscapeDuringFilteringShowsEveryRecordAndCallsTheEventOnce)
{
    AddPeople(1000);
    auto table = OpenPeople();
    int escapes = 0, calls = 0;
    table->OnFilterEscape = TDataSetNotifyEvent([&](TDataSet *ds) {
        ++escapes;
        EXPECT_EQ(ds, table.get());
    });
    table->SetOnFilterOptions({ ofoEnabled, ofoCancelOnEscape });
    PostKey(edit, 'X', U'x');
    PostKey(edit, VK_ESCAPE);
    table->SetOnFilter(TqxTableFilterEvent([&](TqxTable *t, bool &accept) {
        ++calls;
        accept = t->FieldByName("Id")->AsInteger() % 10 == 0;
    }));
    std::vector<int> walked = Ids(table.get());
    // x went at the 100th and 200th records (down and up), Escape at the 300th:
    // ten records shown before it, every one after it.
    ASSERT_GE(walked.size(), 2u);
    EXPECT_EQ(walked[0], 10);
    EXPECT_EQ(walked[1], 20);
    EXPECT_GT(walked.size(), 700u);
    EXPECT_EQ(escapes, 1);
    EXPECT_FALSE(table->OnFilterOptions().Contains(ofoEnabled));
    EXPECT_EQ(table->RecordCount(), 1000);
    EXPECT_EQ(Ids(table.get()).size(), 1000u);
    ProcessPendingEvents();
    EXPECT_EQ(edit->Text(), ""); // the typed x is lost, as the poll takes it
    EXPECT_GE(calls, 300);
}

TEST_F(QxDataSetsKeys, KeysNotTakenByThePollReachTheirWindowInOrder)
{
    AddPeople(250);
    auto table = OpenPeople();
    table->SetOnFilterOptions({ ofoEnabled, ofoCancelOnEscape });
    PostKey(edit, 'A', U'a');
    PostKey(edit, 'B', U'b');
    PostKey(edit, 'C', U'c');
    int calls = 0;
    table->SetOnFilter(TqxTableFilterEvent([&](TqxTable *, bool &accept) {
        ++calls;
        accept = true;
    }));
    EXPECT_EQ(Ids(table.get()).size(), 250u);
    // 250 records: polls at the 100th and 200th took a's down and up.
    ASSERT_GE(calls, 200);
    ASSERT_LT(calls, 300);
    ProcessPendingEvents();
    ProcessPendingEvents();
    EXPECT_EQ(edit->Text(), "bc");
    EXPECT_TRUE(table->OnFilterOptions().Contains(ofoEnabled));
}

TEST_F(QxDataSets, MasksAreCheckedBeforePost)
{
    AddPeople(2);
    auto table = OpenPeople();
    table->PictureMasks()->Add("Phone\t###-####");
    std::vector<std::string> invalid;
    table->OnInvalidValue = TqxInvalidValueEvent([&](TDataSet *ds, TField *f) {
        EXPECT_EQ(ds, table.get());
        invalid.push_back(f->FieldName());
    });
    auto post = [&](const std::string &phone) {
        table->Edit();
        table->FieldByName("Phone")->SetAsString(phone);
        return ErrorOf([&] { table->Post(); });
    };
    EXPECT_EQ(post("555-1234"), "no error");
    EXPECT_EQ(post("55-12"), "EDatabaseError: Invalid characters. Field : Phone");
    EXPECT_EQ(table->State(), dsEdit); // the post was refused
    table->Cancel();
    EXPECT_EQ(post(""), "EDatabaseError: Invalid characters. Field : Phone"); // empty fails too
    table->Cancel();
    EXPECT_EQ(invalid, (std::vector<std::string> { "Phone", "Phone" }));

    // The message comes from the localisation component at the moment of use.
    qxIntl()->UserMessages()->SetText("PictureValidateError", "Caracteres no válidos. Campo : ");
    EXPECT_EQ(post("x"), "EDatabaseError: Caracteres no válidos. Campo : Phone");
    table->Cancel();
    qxIntl()->UserMessages()->SetText("PictureValidateError", "Invalid characters. Field : ");

    table->FieldByName("Phone")->SetReadOnly(true);
    table->Edit();
    EXPECT_EQ(ErrorOf([&] { table->Post(); }), "no error"); // a read-only field passes
    table->FieldByName("Phone")->SetReadOnly(false);
    table->SetValidateWithMask(false);
    EXPECT_EQ(post("bad"), "no error");
    table->Refresh();
    EXPECT_EQ(table->FieldByName("Phone")->AsString(), "bad");
}

TEST_F(QxDataSets, QueryTextsRunAsSqlOrAsQueryByExample)
{
    AddPeople(6);
    auto table = Make<TqxTable>();
    table->SetTableName("people");
    table->SetIndexFieldNames("City");
    auto sql = Lines({ "SELECT Id, Name FROM people", "WHERE City = 'Lima'", "ORDER BY Id" });
    table->SetQuery(sql.get());
    EXPECT_EQ(table->TableName(), "");
    EXPECT_EQ(table->IndexFieldNames(), "");
    table->Open();
    EXPECT_FALSE(table->QueryIsQBE());
    EXPECT_TRUE(qxIsQueryModeTable(table.get()));
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 3, 6 }));
    table->Close();
    EXPECT_EQ(table->TableName(), "");
    EXPECT_EQ(table->Query()->Count(), 3);

    for (const char *head : { "Query", "QUERY", "query " }) {
        auto qbe = Lines({ head, "", "people | Id    | City |", "       | Check | Quito |", "", "EndQuery" });
        table->SetQuery(qbe.get());
        table->Open();
        EXPECT_TRUE(table->QueryIsQBE()) << head;
        EXPECT_EQ(Ids(table.get()), (std::vector<int> { 1, 4 })) << head;
        table->Close();
    }

    // A statement the engine refuses raises its error; the cursor is back.
    auto wrong = Lines({ "SELECT Nope FROM people" });
    table->SetQuery(wrong.get());
    EXPECT_THROW(table->Open(), EDBEngineError);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(table->Active());

    // A table name ends query mode; an empty one does not.
    table->SetTableName("");
    EXPECT_EQ(table->Query()->Count(), 1);
    table->SetTableName("people");
    EXPECT_EQ(table->Query()->Count(), 0);
    table->Open();
    EXPECT_EQ(table->RecordCount(), 6);
}

TEST_F(QxDataSets, SettingQueryWhileOpenClosesTheTable)
{
    AddPeople(3);
    auto table = OpenPeople();
    auto sql = Lines({ "SELECT * FROM people WHERE Id = 2" });
    table->SetQuery(sql.get());
    EXPECT_FALSE(table->Active());
    table->Open();
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 2 }));
}

TEST_F(QxDataSets, KeySearchRefusesMoreValuesThanTheIndexHas)
{
    AddPeople(6);
    auto table = Make<TqxTable>();
    table->SetTableName("people");
    table->SetIndexName("ByCity");
    table->Open();
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(table->KeySearch({ "Lima", "P3" }));
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Table People: FindKey has too many lookup values for index ByCity");
    EXPECT_TRUE(table->KeySearch({ "Quito" }));
    EXPECT_EQ(table->FieldByName("City")->AsString(), "Quito");
    EXPECT_FALSE(table->KeySearch({ "Bogota" }));
    EXPECT_EQ(boxes.Count(), 1);
}

TEST_F(QxDataSets, TextFilterAppliesAtOnceAndAFailureLeavesItAsItWas)
{
    AddPeople(9);
    auto table = OpenPeople();
    ScriptedMessageBoxes boxes;
    auto lima = Lines({ "City = \"Lima\"  \t", "", "Id > 3" });
    table->SetqxFilter(lima.get());
    EXPECT_EQ(table->FilterText(), "City = \"Lima\" AND (Id > 3)");
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 6, 9 }));
    EXPECT_FALSE(table->IsSequenced());

    auto broken = Lines({ "(City = \"Lima\"" });
    table->SetqxFilter(broken.get());
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Fail to set filter");
    EXPECT_EQ(table->FilterText(), "City = \"Lima\" AND (Id > 3)");
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 6, 9 }));

    auto unconvertible = Lines({ "Id = abc" });
    EXPECT_THROW(table->SetqxFilter(unconvertible.get()), EConvertError);
    EXPECT_EQ(table->FilterText(), "City = \"Lima\" AND (Id > 3)");
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 6, 9 }));

    // Closed, the text waits for the next open; the filter and OnFilter then work together.
    table->Close();
    auto quito = Lines({ "City = \"Quito\"" });
    table->SetqxFilter(quito.get());
    table->SetOnFilter(TqxTableFilterEvent([](TqxTable *t, bool &accept) { accept = t->FieldByName("Id")->AsInteger() < 7; }));
    table->Open();
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 1, 4 }));

    TStringList none;
    table->SetqxFilter(&none);
    EXPECT_EQ(Ids(table.get()), (std::vector<int> { 1, 2, 3, 4, 5, 6 }));
}

TEST_F(QxDataSets, ATextFilterThatDoesNotCompileSaysSoWhenTheTableOpens)
{
    AddPeople(3);
    auto table = Make<TqxTable>();
    table->SetTableName("people");
    auto broken = Lines({ "Id = " });
    table->SetqxFilter(broken.get());
    ScriptedMessageBoxes boxes;
    table->Open();
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Fail to set filter");
}

TEST_F(QxDataSets, QueryFiltersTooAndStoredProceduresAreNotSupported)
{
    AddPeople(6);
    auto query = Make<TqxQuery>();
    query->SQL()->Add("SELECT * FROM people ORDER BY Id");
    query->SetOnFilter(TqxQueryFilterEvent([](TqxQuery *q, bool &accept) { accept = q->FieldByName("Id")->AsInteger() > 4; }));
    query->Open();
    EXPECT_EQ(Ids(query.get()), (std::vector<int> { 5, 6 }));
    query->SetOnFilter({});
    EXPECT_EQ(Ids(query.get()).size(), 6u);

    auto proc = Make<TqxStoredProc>();
    proc->SetStoredProcName("GetPeople");
    EXPECT_EQ(ErrorOf([&] { proc->Open(); }), "EDBEngineError: Capability not supported.\nStored procedure: GetPeople");
    EXPECT_FALSE(proc->Active());
    EXPECT_EQ(ErrorOf([&] { proc->ExecProc(); }), "EDBEngineError: Capability not supported.\nStored procedure: GetPeople");
}

TEST_F(QxDataSets, QueryByExampleWithAnswerTableAndParameters)
{
    AddPeople(9);
    auto qbe = Make<TqxQBE>();
    qbe->SetAnswerTable("lima_people");
    auto text = Lines({ "Query", "", "people | Id    | City   |", "       | Check | ~where |", "", "EndQuery" });
    qbe->SetQBE(text.get());
    qbe->ParamNames()->Add("WHERE");
    qbe->ParamValues()->Add("Lima");
    qbe->Open();
    EXPECT_EQ(Ids(qbe.get()), (std::vector<int> { 3, 6, 9 }));
    EXPECT_FALSE(qbe->CanModify());
    // The answer was kept as a table of the database.
    auto answer = Make<TqxTable>();
    answer->SetTableName("lima_people");
    answer->Open();
    EXPECT_EQ(Ids(answer.get()), (std::vector<int> { 3, 6, 9 }));

    // A new text reopens at once.
    qbe->ParamValues()->SetStrings(0, "Cali");
    TStringList same;
    same.Assign(*text);
    qbe->SetQBE(&same);
    EXPECT_TRUE(qbe->Active());
    EXPECT_EQ(Ids(qbe.get()), (std::vector<int> { 2, 5, 8 }));
}

TEST_F(QxDataSets, QueryByExampleWithoutAnswerOpensNothingAndRaisesNothing)
{
    AddPeople(3);
    auto qbe = Make<TqxQBE>();
    auto asksNothing = Lines({ "Query", "", "people | City |", "       | Lima |", "", "EndQuery" });
    qbe->SetQBE(asksNothing.get());
    EXPECT_EQ(ErrorOf([&] { qbe->Open(); }), "no error");
    EXPECT_FALSE(qbe->Active());
    EXPECT_TRUE(qbe->NoAnswer());
    EXPECT_EQ(qbe->Database(), nullptr); // the database was let go again

    // A text the engine refuses ends as no cursor, reported with the engine's reason.
    auto refused = Lines({ "Query", "", "people | Name |", " | Check like \"A..\" |", "", "EndQuery" });
    qbe->SetQBE(refused.get());
    EXPECT_EQ(ErrorOf([&] { qbe->Open(); }),
        "EDatabaseError: Error creating cursor handle\nQuery by example: syntax not supported.\n\"like \"A..\"\"");
    EXPECT_FALSE(qbe->NoAnswer());
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(QxDataSets, QueryByExampleParametersAreSubstitutedWhole)
{
    auto qbe = Make<TqxQBE>();
    const std::string value(300, 'v'), rest(300, 'r');
    auto text = Lines({ "a ~Name b", "~NAME" + rest, "~unknown_1# c ~", "no placeholder ~ here" });
    qbe->SetQBE(text.get());
    qbe->ParamNames()->Add("name");
    qbe->ParamValues()->Add(value);
    qbe->ParamNames()->Add("na");
    qbe->ParamValues()->Add("short");
    // Parameters from the last to the first: "na" takes its place first.
    EXPECT_EQ(qbe->SubstitutedText(),
        "a shortme b\r\nshortME" + rest + "\r\n  c  \r\nno placeholder   here");
    qbe->ParamNames()->Delete(1);
    qbe->ParamValues()->Delete(1);
    EXPECT_EQ(qbe->SubstitutedText(), "a " + value + " b\r\n" + value + rest + "\r\n  c  \r\nno placeholder   here");
}

// A root whose handler a form resource binds to the table's OnFilter.
class TFilterRoot : public TComponent
{
public:
    using TComponent::TComponent;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void OnlyLima(TqxTable *table, bool &accept) { accept = table->FieldByName("City")->AsString() == "Lima"; }
};
const TMetaClass TFilterRoot::Class { "TFilterRoot", &TComponent::Class };
const TClassRegistrar<TFilterRoot> filterRootRegistrar({}, { THandlerInfo("OnlyLima", &TFilterRoot::OnlyLima) });

TEST_F(QxDataSets, AFormResourceBindsTheFilterEventAndTheTextFilter)
{
    AddPeople(12);
    TFilterRoot root(nullptr);
    const std::string text = "object Root: TFilterRoot\n"
                             "  object People: TqxTable\n"
                             "    DatabaseName = '" + file_ + "'\n"
                             "    TableName = 'people'\n"
                             "    Active = True\n"
                             "    OnFilter = OnlyLima\n"
                             "    OnFilterOptions = [ofoEnabled, ofoCancelOnEscape]\n"
                             "    PictureMasks.Strings = (\n"
                             "      'Phone'#9'###-####')\n"
                             "    qxFilter.Strings = (\n"
                             "      'Id > 3'\n"
                             "      'Id < 12')\n"
                             "  end\n"
                             "end\n";
    ReadComponentText(&root, text, "people.dfm");
    auto *table = static_cast<TqxTable *>(root.FindComponent("People"));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(table->OnFilterOptions(), (TqxOnFilterOptions { ofoEnabled, ofoCancelOnEscape }));
    EXPECT_EQ(Ids(table), (std::vector<int> { 6, 9 }));
    std::string written = WriteComponentText(&root);
    for (const char *line : { "    OnFilter = OnlyLima\n", "    OnFilterOptions = [ofoEnabled, ofoCancelOnEscape]\n",
             "    ValidateWithMask = True\n", "    SyncSQLByRange = False\n", "    NarrowSearch = False\n",
             "      'Id > 3'\n" })
        EXPECT_NE(written.find(line), std::string::npos) << line << written;
    EXPECT_EQ(written.find("NarrowSearchUpperChar"), std::string::npos) << written;
}

// Filter lines made at random, each line a condition, against SQLite's own
// WHERE over the same 10,000 rows: the table's lines are joined with AND.
TEST_F(QxDataSets, TextFiltersSelectWhatSqlSelects)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    std::mt19937 random(2026);
    const char *cities[] = { "Lima", "Quito", "Cali", "New York" };
    std::string rows;
    for (int id = 1; id <= 10000; ++id)
        rows += std::string(rows.empty() ? "" : ",") + "(" + std::to_string(id) + ", 'P" + std::to_string(random() % 500)
            + "', " + (random() % 9 == 0 ? std::string("NULL") : "'" + std::string(cities[random() % 4]) + "'") + ", '"
            + std::to_string(random() % 100) + "')";
    Exec("INSERT INTO people VALUES " + rows);
    auto table = OpenPeople();
    const char *ops[] = { "=", "<>", "<", ">", "<=", ">=" };
    for (int round = 0; round < 25; ++round) {
        TStringList lines;
        std::string where;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
            std::string op = ops[random() % 6], text, sql;
            switch (random() % 3) {
            case 0: {
                std::string city = cities[random() % 4];
                text = "City " + op + " \"" + city + "\"", sql = "City " + op + " '" + city + "'";
                break;
            }
            case 1: {
                std::string id = std::to_string(random() % 10000);
                text = sql = "Id " + op + " " + id;
                break;
            }
            default: {
                std::string name = "P" + std::to_string(random() % 500);
                std::string other = std::to_string(random() % 9000);
                text = "(Name " + op + " \"" + name + "\") OR (Id < " + other + ")";
                sql = "(Name " + op + " '" + name + "') OR (Id < " + other + ")";
            }
            }
            lines.Add(text);
            where += (where.empty() ? "(" : " AND (") + sql + ")";
        }
        table->SetqxFilter(&lines);
        std::vector<int> filtered = Ids(table.get());
        TQuery query(nullptr);
        query.SetDatabaseName(file_);
        query.SQL()->Add("SELECT Id FROM people WHERE " + where + " ORDER BY Id");
        query.Open();
        EXPECT_EQ(filtered, Ids(&query)) << table->FilterText() << "\n" << where;
    }
}

TEST_F(QxDataSets, AFilteredTableCountsAndNumbersItsRecordsExactlyThroughChanges)
{
    AddPeople(3000);
    auto table = OpenPeople();
    auto lima = Lines({ "City = \"Lima\"" });
    table->SetqxFilter(lima.get());
    auto expectExact = [&](const char *after) {
        SCOPED_TRACE(after);
        const std::vector<int> ids = Ids(table.get());
        ASSERT_EQ(table->RecordCount(), static_cast<int>(ids.size()));
        for (int n : { 1, 500, static_cast<int>(ids.size()) }) {
            table->SetRecNo(n);
            ASSERT_EQ(table->FieldByName("Id")->AsInteger(), ids[n - 1]) << "record " << n;
            ASSERT_EQ(table->RecNo(), n);
        }
    };
    expectExact("filtering");
    auto add = [&](const char *city) {
        table->Append();
        table->FieldByName("Name")->SetAsString("New");
        table->FieldByName("City")->SetAsString(city);
        table->Post();
    };
    add("Lima");
    expectExact("an insert the filter keeps");
    add("Cali");
    expectExact("an insert the filter hides");
    table->SetRecNo(10);
    table->Edit();
    table->FieldByName("City")->SetAsString("Quito");
    table->Post();
    expectExact("an edit the filter hides");
    Exec("INSERT INTO people VALUES (9999, 'Other', 'Lima', '555-0000')");
    expectExact("an insert by another connection");
    auto quito = Lines({ "City = \"Quito\"" });
    table->SetqxFilter(quito.get());
    expectExact("another filter");
}

TEST_F(QxDataSets, LookupFieldsAreFilledFromTheTablesTheyName)
{
    AddPeople(3); // P1 in Quito, P2 in Cali, P3 in Lima
    Exec("CREATE TABLE cities (Code VARCHAR(20), Country VARCHAR(20))");
    Exec("CREATE INDEX ByCode ON cities (Code)");
    Exec("INSERT INTO cities VALUES ('Lima', 'Peru'), ('Quito', 'Ecuador')");
    auto table = Make<TqxTable>();
    table->SetTableName("people");
    auto *id = new TIntegerField(table.get());
    id->SetFieldName("Id");
    id->SetDataSet(table.get());
    for (const char *name : { "Name", "City", "Phone" }) {
        auto *f = new TStringField(table.get());
        f->SetFieldName(name);
        f->SetSize(30);
        f->SetDataSet(table.get());
    }
    auto *country = new TStringField(table.get());
    country->SetFieldName("Country");
    country->SetSize(20);
    country->SetFieldKind(fkCalculated);
    country->SetDataSet(table.get());
    table->LookupFields()->Add("Country;" + file_ + ";cities;Country;ByCode");
    table->LookupFields()->Add("Short;" + file_ + ";cities;Country"); // four items: not a lookup
    table->LookupLinks()->Add("City;Code");
    table->LookupLinks()->Add("City;Code");
    table->Open();
    std::vector<std::string> countries;
    for (table->First(); !table->Eof(); table->Next())
        countries.push_back(country->AsString());
    EXPECT_EQ(countries, (std::vector<std::string> { "Ecuador", "", "Peru" }));
    ASSERT_EQ(table->LookupTables()->size(), 1u);
    EXPECT_TRUE(qxInheritsFromName(table->LookupTables()->front().Table->ClassType(), "TqxTable"));
    table->Close(); // the lookup tables go with the cursor
    EXPECT_TRUE(table->LookupTables()->empty());
}

} // namespace
