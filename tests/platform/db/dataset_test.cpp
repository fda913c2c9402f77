#include "dbtest.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <vector>

namespace {

// A link with a window of its own, recording what it hears.
class TRecordingLink : public TDataLink
{
public:
    std::vector<int> Scrolls;
    int Changes = 0;
    std::function<void()> OnChange;

protected:
    void DataSetScrolled(int distance) override { Scrolls.push_back(distance); }
    void DataSetChanged() override
    {
        ++Changes;
        if (OnChange)
            OnChange();
    }
};

std::vector<std::string> Names(TDataSet &ds)
{
    std::vector<std::string> out;
    ds.First();
    while (!ds.Eof()) {
        out.push_back(ds.FieldByName("Name")->AsString());
        ds.Next();
    }
    return out;
}

using DataSetTest = DbTest;

TEST_F(DataSetTest, TheWindowScrollsByOneRowAtItsEdges)
{
    MakeCustomers(100);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    TRecordingLink link;
    link.SetBufferCount(10);
    link.SetDataSource(&source);
    ASSERT_EQ(t->BufferCount(), 10);
    EXPECT_EQ(link.RecordCount(), 10);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 1);

    for (int i = 0; i < 9; ++i)
        t->Next();
    EXPECT_EQ(link.ActiveRecord(), 9);
    EXPECT_EQ(link.Scrolls, std::vector<int>(9, 0));
    link.Scrolls.clear();
    t->Next(); // past the window's edge: one row in, one out
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 11);
    EXPECT_EQ(link.ActiveRecord(), 9);
    EXPECT_EQ(link.Scrolls, std::vector<int>({1}));
    EXPECT_EQ(t->MoveBy(-12), -10); // stops at the first record
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 1);
    EXPECT_TRUE(t->Bof());
    EXPECT_EQ(link.ActiveRecord(), 0);

    t->Last();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 100);
    EXPECT_EQ(link.ActiveRecord(), 9);
    EXPECT_EQ(t->RecordCount(), 100);
    EXPECT_EQ(t->RecNo(), 100);
    // The link may show another row of its window for a while.
    link.SetActiveRecord(0);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 91);
    link.SetActiveRecord(9);
    EXPECT_EQ(t->MoveBy(5), 0);
    EXPECT_TRUE(t->Eof());
}

TEST_F(DataSetTest, IndexOrderAndRecNoFollowTheActiveIndex)
{
    Exec("CREATE TABLE t (Id INTEGER PRIMARY KEY, Name VARCHAR(10))");
    Exec("INSERT INTO t VALUES (1, 'c'), (2, 'a'), (3, NULL), (4, 'b'), (5, 'a')");
    Exec("CREATE INDEX ByName ON t (Name)");
    auto t = OpenTable("t");
    t->SetIndexName("ByName");
    EXPECT_EQ(Names(*t), std::vector<std::string>({"", "a", "a", "b", "c"})); // nulls first
    t->Last();
    std::vector<std::string> back;
    while (!t->Bof()) {
        back.push_back(t->FieldByName("Name")->AsString());
        t->Prior();
    }
    EXPECT_EQ(back, std::vector<std::string>({"c", "b", "a", "a", ""}));
    t->First();
    t->Next();
    t->Next();
    EXPECT_EQ(t->RecNo(), 3);
    EXPECT_EQ(ErrorOf([&] { t->SetIndexName("Nope"); }), "EDBEngineError: Index does not exist.\nIndex: Nope");
    EXPECT_EQ(t->IndexName(), "ByName");
}

TEST_F(DataSetTest, EditsInsertsAndDeletesReachTheFile)
{
    MakeCustomers(5);
    auto t = OpenTable("customer");
    t->Next();
    t->Edit();
    t->FieldByName("Name")->SetAsString("Zoë");
    EXPECT_TRUE(t->Modified());
    t->Post();
    EXPECT_EQ(t->State(), dsBrowse);

    t->Append();
    t->FieldByName("CustNo")->SetAsInteger(50);
    t->FieldByName("Name")->SetAsString("New");
    t->Post();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 50);

    t->First();
    t->Insert(); // the cursor's own key
    t->FieldByName("Name")->SetAsString("Auto");
    t->Post();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 51);

    t->First();
    t->Delete();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 2);

    t->Edit();
    t->FieldByName("Name")->SetAsString("Dropped");
    t->Cancel();
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Zoë");
    t->Close();

    auto again = OpenTable("customer");
    EXPECT_EQ(Names(*again), std::vector<std::string>({"Zoë", "Name0003", "Name0004", "Name0005", "New", "Auto"}));
}

TEST_F(DataSetTest, FieldErrorsLeaveTheRecordAsItWas)
{
    MakeCustomers(3);
    auto t = OpenTable("customer");
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("Name")->SetAsString("x"); }),
        "EDatabaseError: Dataset not in edit or insert mode");
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("Nope"); }), "EDatabaseError: Field 'Nope' not found");
    t->Edit();
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("CustNo")->SetAsString("12x"); }),
        "EConvertError: '12x' is not a valid integer value for field 'CustNo'");
    t->FieldByName("CustNo")->SetAsInteger(2); // the key of another row
    EXPECT_EQ(ErrorOf([&] { t->Post(); }).substr(0, 29), "EDBEngineError: Key violation");
    EXPECT_EQ(t->State(), dsEdit); // nothing lost: the edit is still open
    t->Cancel();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 1);
    t->FieldByName("Name")->SetReadOnly(true);
    t->Edit();
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("Name")->SetAsString("x"); }),
        "EDatabaseError: Field 'Name' cannot be modified");
    t->Cancel();
}

TEST_F(DataSetTest, BookmarksSurviveEditsAndReportDeletedRecords)
{
    MakeCustomers(40);
    auto t = OpenTable("customer");
    t->SetIndexName("ByName");
    t->MoveBy(25);
    TBookmark mark = t->GetBookmark();
    t->First();
    t->Edit();
    t->FieldByName("Name")->SetAsString("ZZZ"); // moves to the end of the index
    t->Post();
    t->GotoBookmark(mark);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 26);
    EXPECT_TRUE(t->BookmarkValid(mark));
    TBookmark first = (t->First(), t->GetBookmark());
    EXPECT_EQ(t->CompareBookmarks(first, mark), -1);
    EXPECT_EQ(t->CompareBookmarks(mark, mark), 0);
    t->GotoBookmark(mark);
    t->Delete();
    EXPECT_FALSE(t->BookmarkValid(mark));
    EXPECT_EQ(ErrorOf([&] { t->GotoBookmark(mark); }), "EDatabaseError: Record not found");
}

TEST_F(DataSetTest, MasterAndDetail)
{
    MakeCustomers(3);
    Exec("CREATE TABLE orders (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER, Amount FLOAT)");
    Exec("CREATE INDEX ByCust ON orders (CustNo)");
    Exec("INSERT INTO orders VALUES (1, 1, 10), (2, 2, 20), (3, 1, 30), (4, 3, 40), (5, 1, 50)");
    auto master = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(master.get());
    TTable detail(nullptr);
    detail.SetDatabaseName(file_);
    detail.SetTableName("orders");
    detail.SetIndexName("ByCust");
    detail.SetMasterSource(&source);
    detail.SetMasterFields("CustNo");
    detail.Open();
    auto amounts = [&] {
        std::vector<int> out;
        for (detail.First(); !detail.Eof(); detail.Next())
            out.push_back(static_cast<int>(detail.FieldByName("Amount")->AsInteger()));
        return out;
    };
    EXPECT_EQ(amounts(), std::vector<int>({10, 30, 50}));
    master->Next();
    EXPECT_EQ(amounts(), std::vector<int>({20}));
    master->Last();
    EXPECT_EQ(amounts(), std::vector<int>({40}));
    EXPECT_EQ(detail.RecordCount(), 1);
    EXPECT_EQ(ErrorOf([&] { source.SetDataSet(&detail), detail.SetMasterSource(&source); }),
        "EDatabaseError: Circular datalinks are not allowed");
}

TEST_F(DataSetTest, RangesAndKeySearches)
{
    MakeCustomers(30);
    auto t = OpenTable("customer");
    t->SetIndexName("ByName");
    EXPECT_TRUE(t->FindKey({"Name0017"}));
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 17);
    EXPECT_FALSE(t->FindKey({"Name0017x"}));
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 17); // stays

    t->FindNearest({"Name0020a"});
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 21);
    t->FindNearest({"Zzz"}); // past the end: the last record
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 30);

    t->SetRange({"Name0005"}, {"Name0008"});
    EXPECT_EQ(Names(*t), std::vector<std::string>({"Name0005", "Name0006", "Name0007", "Name0008"}));
    EXPECT_EQ(t->RecordCount(), 4);
    t->Last();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 8);
    t->CancelRange();
    EXPECT_EQ(t->RecordCount(), 30);

    t->SetIndexFieldNames("City;Name");
    t->SetRange({"Lima"}, {"Lima"});
    EXPECT_EQ(t->RecordCount(), 10);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Name0003");
    t->SetIndexName("");
    EXPECT_EQ(t->RecordCount(), 30); // a new order drops the range
    EXPECT_EQ(ErrorOf([&] { t->FindKey({1, 2}); }), "EDatabaseError: Field index out of range");
}

TEST_F(DataSetTest, CalculatedAndLookupFields)
{
    MakeCustomers(3);
    Exec("CREATE TABLE orders (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER, Qty INTEGER, Price FLOAT)");
    Exec("INSERT INTO orders VALUES (1, 2, 3, 2.5), (2, 3, 1, 10), (3, 9, 1, 1)");
    auto customers = OpenTable("customer");
    TTable orders(nullptr);
    orders.SetDatabaseName(file_);
    orders.SetTableName("orders");
    // Persistent fields: the data fields plus one calculated and one lookup.
    for (const char *name : {"OrderNo", "CustNo", "Qty"}) {
        auto *f = new TIntegerField(&orders);
        f->SetFieldName(name);
        f->SetDataSet(&orders);
    }
    auto *price = new TFloatField(&orders);
    price->SetFieldName("Price");
    price->SetDataSet(&orders);
    auto *total = new TFloatField(&orders);
    total->SetFieldName("Total");
    total->SetFieldKind(fkCalculated);
    total->SetDataSet(&orders);
    auto *name = new TStringField(&orders);
    name->SetFieldName("CustName");
    name->SetFieldKind(fkLookup);
    name->SetLookupDataSet(customers.get());
    name->SetKeyFields("CustNo");
    name->SetLookupKeyFields("CustNo");
    name->SetLookupResultField("Name");
    name->SetDataSet(&orders);
    int calcs = 0;
    orders.OnCalcFields = TDataSetNotifyEvent([&](TDataSet *ds) {
        ++calcs;
        ds->FieldByName("Total")->SetAsFloat(ds->FieldByName("Qty")->AsFloat() * ds->FieldByName("Price")->AsFloat());
    });
    orders.Open();
    EXPECT_EQ(total->AsFloat(), 7.5);
    EXPECT_EQ(name->AsString(), "Name0002");
    EXPECT_EQ(customers->FieldByName("CustNo")->AsInteger(), 1); // the lookup did not move it
    orders.Next();
    EXPECT_EQ(name->AsString(), "Name0003");
    orders.Next();
    EXPECT_TRUE(name->IsNull()); // no customer 9
    orders.Edit();
    orders.FieldByName("Qty")->SetAsInteger(4);
    EXPECT_EQ(total->AsFloat(), 4); // recalculated while editing
    EXPECT_GT(calcs, 3);
    orders.Cancel();
}

TEST_F(DataSetTest, TenMegabyteBlobsGoInAndOut)
{
    Exec("CREATE TABLE docs (Id INTEGER PRIMARY KEY, Body BLOB, Note MEMO)");
    auto t = OpenTable("docs");
    std::string big(10 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    t->Append();
    auto *body = static_cast<TBlobField *>(t->FieldByName("Body"));
    {
        TMemoryStream in;
        in.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
        body->LoadFromStream(in);
    }
    t->FieldByName("Note")->SetAsString("línea uno\r\nlínea dos");
    t->Post();
    EXPECT_EQ(body->BlobSize(), static_cast<int64_t>(big.size()));
    t->Close();
    t->Open();
    body = static_cast<TBlobField *>(t->FieldByName("Body"));
    EXPECT_EQ(body->BlobSize(), static_cast<int64_t>(big.size()));
    TMemoryStream out;
    body->SaveToStream(out);
    ASSERT_EQ(out.Size(), static_cast<int64_t>(big.size()));
    EXPECT_EQ(memcmp(out.Memory(), big.data(), big.size()), 0);
    EXPECT_EQ(t->FieldByName("Note")->AsString(), "línea uno\r\nlínea dos");
    EXPECT_EQ(t->FieldByName("Note")->DisplayText(), "(Memo)");
    // A read stream refuses writes; a write stream needs edit mode.
    EXPECT_EQ(ErrorOf([&] { TBlobStream s(body, bmWrite); }), "EDatabaseError: Dataset not in edit or insert mode");
    t->Edit();
    body->Clear();
    t->Post();
    EXPECT_TRUE(body->IsNull());
}

TEST_F(DataSetTest, TwoDatasetsOnOneTableSeeEachOthersPostsAfterRefresh)
{
    MakeCustomers(3);
    auto a = OpenTable("customer");
    auto b = OpenTable("customer");
    a->Edit();
    a->FieldByName("Name")->SetAsString("From A");
    a->Post();
    EXPECT_EQ(b->FieldByName("Name")->AsString(), "Name0001"); // its buffer holds the old row
    b->Refresh();
    EXPECT_EQ(b->FieldByName("Name")->AsString(), "From A");
    b->Append();
    b->FieldByName("Name")->SetAsString("From B");
    b->Post();
    a->Refresh();
    a->Last();
    EXPECT_EQ(a->FieldByName("Name")->AsString(), "From B");
    // An edit starts from what the file holds now.
    b->First();
    a->First();
    a->Edit();
    a->FieldByName("City")->SetAsString("Bogotá");
    a->Post();
    b->Edit();
    EXPECT_EQ(b->FieldByName("City")->AsString(), "Bogotá");
    b->Cancel();
}

// ---- Broken files -------------------------------------------------------------------

struct TBadFile {
    const char *Name;
    std::function<void(const std::string &file)> Break;
    const char *Expected; // the error's first line
};

class BadFileTest : public DbTest, public ::testing::WithParamInterface<TBadFile>
{
};

TEST_P(BadFileTest, OpeningGivesTheEnginesErrorAndChangesNothing)
{
    MakeCustomers(3);
    std::string target = file_;
    GetParam().Break(target);
    struct stat before {};
    bool existed = stat(target.c_str(), &before) == 0;
    std::string bytes;
    if (existed) {
        TStringList dummy;
        TFileStream f(target, fmOpenRead | fmShareDenyNone);
        bytes.resize(static_cast<size_t>(f.Size()));
        f.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    TTable t(nullptr);
    t.SetDatabaseName(target);
    t.SetTableName("customer");
    std::string error = ErrorOf([&] { t.Open(); });
    EXPECT_EQ(error.substr(0, error.find('\n')), GetParam().Expected);
    EXPECT_EQ(error.substr(error.find('\n') + 1), "File: " + target);
    EXPECT_FALSE(t.Active());
    struct stat after {};
    EXPECT_EQ(stat(target.c_str(), &after) == 0, existed);
    if (existed) {
        TFileStream f(target, fmOpenRead | fmShareDenyNone);
        std::string now(static_cast<size_t>(f.Size()), '\0');
        f.ReadBuffer(now.data(), static_cast<int64_t>(now.size()));
        EXPECT_EQ(now, bytes);
    }
}

sqlite3 *lockHolder = nullptr;

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest,
    ::testing::Values(
        TBadFile {"Missing", [](const std::string &f) { std::filesystem::remove(f); },
            "EDBEngineError: The database file does not exist."},
        TBadFile {"NotSqlite",
            [](const std::string &f) {
                std::filesystem::remove(f);
                TStringList text;
                text.Add("Name;City");
                text.Add("plain text, not a database, long enough to hold a header of a hundred bytes or so...");
                text.SaveToFile(f);
            },
            "EDBEngineError: The file is not a database, or its header is corrupt."},
        TBadFile {"Locked",
            [](const std::string &f) {
                sqlite3_open(f.c_str(), &lockHolder);
                sqlite3_exec(lockHolder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
            },
            "EDBEngineError: The database is locked by another user."}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(DataSetTest, ALockedFileKeepsAPendingEditUntilItIsFree)
{
    MakeCustomers(3);
    auto t = OpenTable("customer");
    sqlite3 *other = nullptr;
    sqlite3_open(file_.c_str(), &other);
    sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); // readers may read, nobody else writes
    t->Edit();
    t->FieldByName("Name")->SetAsString("Waiting");
    EXPECT_EQ(ErrorOf([&] { t->Post(); }), "EDBEngineError: The database is locked by another user.\nTable: customer");
    EXPECT_EQ(t->State(), dsEdit);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Waiting");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    t->Post();
    t->Close();
    EXPECT_EQ(OpenTable("customer")->FieldByName("Name")->AsString(), "Waiting");
}

TEST_F(DataSetTest, AReadOnlyFileIsReadButNeverWritten)
{
    MakeCustomers(3);
    chmod(file_.c_str(), 0444);
    auto t = OpenTable("customer");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Name0001");
    EXPECT_FALSE(t->CanModify());
    EXPECT_EQ(ErrorOf([&] { t->Edit(); }), "EDBEngineError: Table is read only.\nFile: " + file_);
    EXPECT_EQ(ErrorOf([&] { t->Append(); }), "EDBEngineError: Table is read only.\nFile: " + file_);
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(ErrorOf([&] { Exec("DELETE FROM customer"); }), "EDBEngineError: Table is read only.\nFile: " + file_);
    chmod(file_.c_str(), 0644);
    EXPECT_EQ(OpenTable("customer")->RecordCount(), 3);
}

TEST_F(DataSetTest, UnknownTablesAndDatabases)
{
    EXPECT_EQ(ErrorOf([&] { OpenTable("nope"); }), "EDBEngineError: Table does not exist.\nTable: nope");
    TTable t(nullptr);
    t.SetDatabaseName("NOALIAS");
    t.SetTableName("x");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "EDBEngineError: Unknown database.\nAlias: NOALIAS");
}

TEST_F(DataSetTest, AliasesNameDatabaseFiles)
{
    MakeCustomers(2);
    Session()->AddStandardAlias("TESTDB", file_);
    TStringList params;
    Session()->GetAliasParams("testdb", params);
    EXPECT_EQ(params.Text(), "PATH=" + file_ + "\r\n");
    TTable t(nullptr);
    t.SetDatabaseName("TESTDB");
    t.SetTableName("customer");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_FALSE(t.Database()->IsSQLBased());
    t.Close();
    Session()->DeleteAlias("TESTDB");
    Session()->AddStandardAlias("TESTDB", file_, "SQLITE");
    TDatabase db(nullptr);
    db.SetDatabaseName("Sales");
    db.SetAliasName("TESTDB");
    EXPECT_TRUE(db.IsSQLBased());
    EXPECT_EQ(OpenCfgInfoList("\\Databases\\TESTDB\\db info").at(1).second, file_);
    Session()->DeleteAlias("TESTDB");
    EXPECT_EQ(ErrorOf([] { OpenCfgInfoList("\\Databases\\TESTDB\\db info"); }),
        "EDBEngineError: Unknown database.\nConfiguration list: \\Databases\\TESTDB\\db info");
}

TEST_F(DataSetTest, CreateTableFromDefinitions)
{
    TTable t(nullptr);
    t.SetDatabaseName(file_);
    t.SetTableName("parts");
    t.FieldDefs().Add("PartNo", ftAutoInc);
    t.FieldDefs().Add("Descr", ftString, 40, true);
    t.FieldDefs().Add("OnHand", ftSmallint);
    t.FieldDefs().Add("Cost", ftBCD, 2);
    t.FieldDefs().Add("Taxed", ftBoolean);
    t.FieldDefs().Add("Since", ftDate);
    t.IndexDefs().Add("ByDescr", "Descr", TIndexOptions({ixCaseInsensitive}));
    t.CreateTable();
    EXPECT_EQ(ErrorOf([&] { t.CreateTable(); }), "EDBEngineError: Table already exists.\nTable: parts");
    t.Open();
    EXPECT_STREQ(t.FieldByName("PartNo")->ClassName(), "TAutoIncField");
    EXPECT_STREQ(t.FieldByName("Descr")->ClassName(), "TStringField");
    EXPECT_EQ(t.FieldByName("Descr")->Size(), 40);
    EXPECT_STREQ(t.FieldByName("OnHand")->ClassName(), "TSmallintField");
    EXPECT_STREQ(t.FieldByName("Cost")->ClassName(), "TBCDField");
    EXPECT_STREQ(t.FieldByName("Taxed")->ClassName(), "TBooleanField");
    EXPECT_STREQ(t.FieldByName("Since")->ClassName(), "TDateField");
    t.Append();
    EXPECT_EQ(ErrorOf([&] { t.Post(); }), "EDatabaseError: Field 'Descr' must have a value");
    t.FieldByName("Descr")->SetAsString("bolt");
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("OnHand")->SetAsInteger(40000); }),
        "ERangeError: 40000 is not a valid value for field 'OnHand'. The allowed range is -32768 to 32767");
    t.FieldByName("Taxed")->SetAsString("t");
    t.FieldByName("Since")->SetAsDateTime(EncodeDate(1998, 2, 1));
    t.Post();
    t.Append();
    t.FieldByName("Descr")->SetAsString("Anchor");
    t.Post();
    EXPECT_EQ(t.FieldByName("PartNo")->AsInteger(), 2);
    t.SetIndexName("ByDescr");
    EXPECT_EQ(t.FieldByName("Descr")->AsString(), "Anchor");
    EXPECT_TRUE(t.FindKey({"BOLT"})); // the index ignores case
    EXPECT_EQ(t.FieldByName("Taxed")->AsString(), "True");
    EXPECT_EQ(t.FieldByName("Since")->AsString(), "2/1/1998");
}

TEST_F(DataSetTest, QueriesWithParametersAnswerReadOnly)
{
    MakeCustomers(20);
    TQuery q(nullptr);
    q.SetDatabaseName(file_);
    q.SQL()->Add("SELECT CustNo, Name, Balance FROM customer");
    q.SQL()->Add("WHERE City = :City AND CustNo > :Low ORDER BY Name DESC");
    ASSERT_EQ(q.Params().Count(), 2);
    q.ParamByName("City").SetAsString("Lima");
    q.ParamByName("low").SetAsInteger(5);
    q.Open();
    EXPECT_EQ(Names(q), std::vector<std::string>({"Name0018", "Name0015", "Name0012", "Name0009", "Name0006"}));
    EXPECT_STREQ(q.FieldByName("Balance")->ClassName(), "TCurrencyField");
    EXPECT_FALSE(q.CanModify());
    EXPECT_EQ(ErrorOf([&] { q.Edit(); }), "EDBEngineError: Table is read only.\nTable: __answer_1");
    q.Close();
    q.SQL()->Clear();
    q.SQL()->Add("UPDATE customer SET City = 'Lima' WHERE City = :C");
    EXPECT_EQ(q.Params().Count(), 1);
    q.ParamByName("C").SetAsString("Cali");
    q.ExecSQL();
    EXPECT_EQ(q.RowsAffected(), 7);
    q.SQL()->Text();
    q.SQL()->Clear();
    q.SQL()->Add("SELEC nonsense");
    EXPECT_EQ(ErrorOf([&] { q.Open(); }), "EDBEngineError: General SQL error.\nnear \"SELEC\": syntax error\nFile: " + file_);
    EXPECT_EQ(ErrorOf([&] { q.ParamByName("C"); }), "EDatabaseError: Parameter 'C' not found");
}

TEST_F(DataSetTest, StoredProceduresAreNotSupported)
{
    TStoredProc p(nullptr);
    p.SetDatabaseName(file_);
    p.SetStoredProcName("GET_TOTALS");
    EXPECT_EQ(ErrorOf([&] { p.ExecProc(); }), "EDBEngineError: Capability not supported.\nStored procedure: GET_TOTALS");
    EXPECT_EQ(ErrorOf([&] { p.Open(); }), "EDBEngineError: Capability not supported.\nStored procedure: GET_TOTALS");
    EXPECT_FALSE(p.Active());
}

// ---- Filters ------------------------------------------------------------------------

TEST_F(DataSetTest, RecordFiltersHideRecordsAndRaiseAfterTheEngineCall)
{
    MakeCustomers(30);
    auto t = OpenTable("customer");
    bool fail = false;
    t->SetOnFilterRecord(TFilterRecordEvent([&](TDataSet *ds, bool &accept) {
        if (fail)
            throw EDatabaseError("filter failed");
        accept = ds->FieldByName("City")->AsString() == "Cali";
    }));
    t->SetFiltered(true);
    EXPECT_EQ(t->RecordCount(), 10);
    EXPECT_FALSE(t->IsSequenced());
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 2);
    t->Last();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 29);
    fail = true;
    EXPECT_EQ(ErrorOf([&] { t->First(); }), "EDatabaseError: filter failed");
    fail = false;
    t->First(); // the cursor is still usable
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 2);
    t->SetFiltered(false);
    EXPECT_EQ(t->RecordCount(), 30);
}

TEST_F(DataSetTest, AFilterThatResyncsItsOwnDatasetIsSafe)
{
    MakeCustomers(300);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    TRecordingLink link;
    link.SetBufferCount(20);
    link.SetDataSource(&source);
    int calls = 0;
    bool enabled = true;
    t->SetOnFilterRecord(TFilterRecordEvent([&](TDataSet *ds, bool &accept) {
        if (!enabled)
            return;
        // As Escape does: switch the filter off and show everything again.
        if (++calls == 50) {
            enabled = false;
            ds->UpdateCursorPos();
            ds->Resync({});
        }
        accept = ds->FieldByName("CustNo")->AsInteger() % 7 == 0;
    }));
    t->SetFiltered(true);
    t->First();
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 1); // every record shows after the resync
    EXPECT_EQ(link.RecordCount(), 20);
    t->MoveBy(25);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 26);
}

TEST_F(DataSetTest, ADataSourceToleratesALinkThatLeavesDuringANotification)
{
    MakeCustomers(5);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    auto first = std::make_unique<TRecordingLink>();
    TRecordingLink second;
    first->SetDataSource(&source);
    second.SetDataSource(&source);
    first->OnChange = [&] { first.reset(); }; // frees itself while hearing
    t->First();
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Changes, 1);
    EXPECT_EQ(source.LinkCount(), 1);
    t->Last();
    EXPECT_EQ(second.Changes, 2);
}

TEST_F(DataSetTest, DisabledControlsHearOneChangeAtTheEnd)
{
    MakeCustomers(50);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    TRecordingLink link;
    link.SetDataSource(&source);
    t->DisableControls();
    for (int i = 0; i < 10; ++i)
        t->Next();
    t->First();
    EXPECT_TRUE(link.Scrolls.empty());
    EXPECT_EQ(link.Changes, 0);
    t->EnableControls();
    EXPECT_EQ(link.Changes, 1);
}

TEST_F(DataSetTest, FieldDataLinksFollowTheirField)
{
    MakeCustomers(3);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    TFieldDataLink link;
    TComponent control(nullptr);
    link.SetControl(&control);
    std::string shown;
    std::string typed;
    link.OnDataChange = TNotifyEvent([&](TObject *) { shown = link.Field() ? link.Field()->DisplayText() : ""; });
    link.OnUpdateData = TNotifyEvent([&](TObject *) { link.Field()->SetText(typed); });
    int focused = 0;
    link.OnFocus = TNotifyEvent([&](TObject *c) { focused += c == &control; });
    link.SetFieldName("Name");
    link.SetDataSource(&source);
    EXPECT_EQ(shown, "Name0001");
    t->Next();
    EXPECT_EQ(shown, "Name0002");
    EXPECT_TRUE(link.Edit());
    typed = "Typed";
    link.Modified();
    t->Post(); // the link writes what was typed before the post
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Typed");
    t->FieldByName("Name")->FocusControl();
    EXPECT_EQ(focused, 1);
    t->FieldByName("Name")->SetReadOnly(true);
    EXPECT_FALSE(link.CanModify());
}

} // namespace

namespace {

// A table that installs its own record filter once its index is set up, as
// the library's tables do.
class TFilteringTable : public TTable
{
public:
    using TTable::TTable;
    int KeyFieldsSeen = -1;
    hDBIFilter Filter = 0;

protected:
    void PrepareCursor() override
    {
        TTable::PrepareCursor();
        KeyFieldsSeen = IndexFieldCount();
        Filter = Handle()->AddFilter(this, 1, false, nullptr, 0, &Keep);
        Handle()->ActivateFilter(Filter);
    }

private:
    static int Keep(void *client, const TEngineRow &row)
    {
        auto *t = static_cast<TFilteringTable *>(client);
        bool keep = false;
        t->WithEngineRow(row, [&] {
            keep = t->State() == dsFilter && t->FieldByName("City")->AsString() == "Lima";
        });
        return keep ? 1 : 0;
    }
};

TEST_F(DataSetTest, PrepareCursorRunsAfterTheIndexAndCallbacksReadTheOfferedRow)
{
    MakeCustomers(9);
    TFilteringTable t(nullptr);
    t.SetDatabaseName(file_);
    t.SetTableName("customer");
    t.SetIndexName("ByName");
    t.Open();
    EXPECT_EQ(t.KeyFieldsSeen, 1);
    EXPECT_EQ(Names(t), std::vector<std::string>({"Name0003", "Name0006", "Name0009"}));
    EXPECT_EQ(t.State(), dsBrowse);
}

} // namespace

// ---- Record numbers and counts --------------------------------------------------------------

namespace {

// The CustNo of every record in the dataset's order, read one by one.
std::vector<int64_t> Walk(TDataSet &ds)
{
    std::vector<int64_t> out;
    ds.First();
    while (!ds.Eof()) {
        out.push_back(ds.FieldByName("CustNo")->AsInteger());
        ds.Next();
    }
    return out;
}

// A fresh look at the table, by a dataset that has learnt nothing yet.
int CountAfresh(const std::string &file)
{
    TTable t(nullptr);
    t.SetDatabaseName(file);
    t.SetTableName("customer");
    t.Open();
    return t.RecordCount();
}

} // namespace

TEST_F(DataSetTest, RecNoGoesToTheRecordItNamesInEveryOrderRangeAndFilter)
{
    // More than two stretches of 1024 rows, with gaps in the rowids past 1500.
    MakeCustomers(3000);
    Exec("DELETE FROM customer WHERE CustNo > 1500 AND CustNo % 7 = 0");
    Exec("CREATE INDEX ByCityName ON customer (City DESC, Name)");
    auto t = OpenTable("customer");
    const struct {
        const char *name;
        std::function<void()> set;
    } cases[] = {
        { "rowids with gaps", [&] {} },
        { "rowids without gaps", [&] { t->SetRange({ 1 }, { 1500 }); } },
        { "rowids without gaps, open above", [&] { t->SetRange({ 200 }, {}); } },
        { "an index on a text", [&] { t->SetIndexName("ByName"); } },
        { "a descending index on two fields", [&] { t->SetIndexName("ByCityName"); } },
        { "a range of an index", [&] { t->SetIndexName("ByName"), t->SetRange({ "Name0100" }, { "Name2500" }); } },
        { "a record filter", [&] {
             t->SetOnFilterRecord(TFilterRecordEvent(
                 [](TDataSet *ds, bool &accept) { accept = ds->FieldByName("City")->AsString() != "Lima"; }));
             t->SetFiltered(true);
         } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.set();
        const std::vector<int64_t> order = Walk(*t);
        const int count = static_cast<int>(order.size());
        ASSERT_EQ(t->RecordCount(), count);
        // The edges of the learnt stretches, the ends, and back again.
        for (int n : { 1, 2, 1024, 1025, 1026, 2049, count - 1, count, 1500, 3, 1025 }) {
            if (n > count)
                continue;
            t->SetRecNo(n);
            ASSERT_EQ(t->FieldByName("CustNo")->AsInteger(), order[n - 1]) << "record " << n;
            ASSERT_EQ(t->RecNo(), n);
        }
        t->SetRecNo(count + 1); // there is none: the dataset stays where it is
        EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), order[1024]);
        t->SetFiltered(false);
        t->CancelRange();
        t->SetIndexName("");
    }
}

TEST_F(DataSetTest, TheCountAndRecNoFollowChangesOfItsOwnAndOfOthers)
{
    MakeCustomers(2500);
    auto t = OpenTable("customer");
    auto expectExact = [&](const char *after) {
        SCOPED_TRACE(after);
        const std::vector<int64_t> order = Walk(*t);
        ASSERT_EQ(t->RecordCount(), static_cast<int>(order.size()));
        ASSERT_EQ(t->RecordCount(), CountAfresh(file_));
        for (int n : { 1, 1030, 2100, static_cast<int>(order.size()) }) {
            t->SetRecNo(n);
            ASSERT_EQ(t->FieldByName("CustNo")->AsInteger(), order[n - 1]) << "record " << n;
            ASSERT_EQ(t->RecNo(), n);
        }
    };
    expectExact("opening");
    t->Append();
    t->FieldByName("Name")->SetAsString("Name0000");
    t->Post();
    expectExact("its own insert");
    t->SetRecNo(1000);
    t->Delete();
    expectExact("its own delete");
    t->SetRecNo(5);
    t->Edit();
    t->FieldByName("CustNo")->SetAsInteger(9000); // another place in the order
    t->Post();
    expectExact("its own change of the key");

    Exec("INSERT INTO customer (Name) VALUES ('Other')");
    expectExact("an insert by another connection");
    Exec("DELETE FROM customer WHERE CustNo BETWEEN 20 AND 40");
    expectExact("a delete by another connection");
    {
        TTable other(nullptr);
        other.SetDatabaseName(file_);
        other.SetTableName("customer");
        other.Open();
        other.Delete();
    }
    expectExact("a delete by another dataset");

    const int before = t->RecordCount();
    t->Database()->Execute("BEGIN");
    t->Append();
    t->FieldByName("Name")->SetAsString("Undone");
    t->Post();
    EXPECT_EQ(t->RecordCount(), before + 1) << "inside the transaction";
    t->Database()->Execute("ROLLBACK");
    EXPECT_EQ(t->RecordCount(), before);
    expectExact("a rollback");

    // Inside a range, a change counts only when the record is inside it.
    t->SetIndexName("ByName");
    t->SetRange({ "Name0100" }, { "Name0199" });
    ASSERT_EQ(t->RecordCount(), 100);
    t->Append();
    t->FieldByName("Name")->SetAsString("Name0150a");
    t->Post();
    EXPECT_EQ(t->RecordCount(), 101);
    t->Append();
    t->FieldByName("Name")->SetAsString("Zed");
    t->Post();
    EXPECT_EQ(t->RecordCount(), 101) << "inserted outside the range";
    t->First();
    t->Edit();
    t->FieldByName("Name")->SetAsString("Aaa"); // moves out of the range
    t->Post();
    EXPECT_EQ(t->RecordCount(), 100);
    const std::vector<int64_t> inRange = Walk(*t);
    ASSERT_EQ(inRange.size(), 100u);
    t->SetRecNo(60);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), inRange[59]);
}

TEST_F(DataSetTest, TheCountIsTakenAgainWhenAnInsertChangesOtherRows)
{
    // A unique code that replaces the row holding it, and a trigger that
    // deletes a row whenever one is added.
    Exec("CREATE TABLE customer (CustNo INTEGER PRIMARY KEY, Name VARCHAR(10) UNIQUE ON CONFLICT REPLACE)");
    Exec("INSERT INTO customer (Name) VALUES ('a'), ('b'), ('c'), ('d')");
    auto t = OpenTable("customer");
    ASSERT_EQ(t->RecordCount(), 4);
    t->Append();
    t->FieldByName("Name")->SetAsString("a");
    t->Post();
    EXPECT_EQ(t->RecordCount(), 4) << "the insert replaced a row";

    Exec("CREATE TABLE plain (CustNo INTEGER PRIMARY KEY, Name VARCHAR(10))");
    Exec("INSERT INTO plain (Name) VALUES ('a'), ('b'), ('c'), ('d')");
    Exec("CREATE TRIGGER OneInOneOut AFTER INSERT ON plain BEGIN DELETE FROM plain WHERE CustNo = "
         "(SELECT min(CustNo) FROM plain); END");
    auto p = OpenTable("plain");
    ASSERT_EQ(p->RecordCount(), 4);
    p->Append();
    p->FieldByName("Name")->SetAsString("e");
    p->Post();
    EXPECT_EQ(p->RecordCount(), 4) << "the trigger took a row out";
    p->Delete();
    EXPECT_EQ(p->RecordCount(), 3);
}
