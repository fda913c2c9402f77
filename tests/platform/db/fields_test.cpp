#include "dbtest.h"

#include "platform/classes/filer.h"
#include "platform/rtl/formatsettings.h"

namespace {

using FieldsTest = DbTest;

TEST_F(FieldsTest, TextsForShowingAndEditing)
{
    Exec("CREATE TABLE t (Id INTEGER PRIMARY KEY, Price FLOAT, Cost MONEY, Paid BOOLEAN, Since DATE, At TIME,"
         " Stamp DATETIME, Qty SMALLINT)");
    Exec("INSERT INTO t VALUES (1, 1234.5, 9.999, 1, 35827, 0.75, 35827.5, 7), (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    auto t = OpenTable("t");
    TFormatSettingsScope english(EnglishFormatSettings());
    auto *price = static_cast<TFloatField *>(t->FieldByName("Price"));
    EXPECT_EQ(price->DisplayText(), "1234.5");
    price->SetDisplayFormat("#,##0.00");
    EXPECT_EQ(price->DisplayText(), "1,234.50");
    EXPECT_EQ(price->Text(), "1,234.50"); // no EditFormat: the display picture
    price->SetEditFormat("0.0");
    EXPECT_EQ(price->Text(), "1234.5");
    EXPECT_EQ(t->FieldByName("Cost")->DisplayText(), "$10.00");
    EXPECT_EQ(t->FieldByName("Cost")->Text(), "10.00");
    auto *paid = static_cast<TBooleanField *>(t->FieldByName("Paid"));
    EXPECT_EQ(paid->AsString(), "True");
    paid->SetDisplayValues("Sí;No");
    EXPECT_EQ(paid->DisplayText(), "Sí");
    EXPECT_EQ(ErrorOf([&] { paid->SetDisplayValues("nothing"); }), "EDatabaseError: Invalid format for display values 'nothing'");
    EXPECT_EQ(t->FieldByName("Since")->DisplayText(), "2/1/1998");
    EXPECT_EQ(t->FieldByName("At")->DisplayText(), "6:00:00 PM");
    EXPECT_EQ(t->FieldByName("Stamp")->DisplayText(), "2/1/1998 12:00:00 PM");
    static_cast<TDateTimeField *>(t->FieldByName("Stamp"))->SetDisplayFormat("yyyy-mm-dd");
    EXPECT_EQ(t->FieldByName("Stamp")->DisplayText(), "1998-02-01");
    EXPECT_EQ(t->FieldByName("Qty")->DisplayWidth(), 6);
    EXPECT_EQ(t->FieldByName("Qty")->Alignment(), taRightJustify);
    t->Next(); // blanks show as empty texts
    for (const char *name : {"Price", "Cost", "Paid", "Since", "At", "Stamp", "Qty"})
        EXPECT_EQ(t->FieldByName(name)->DisplayText(), "") << name;
    // Events take over both ways.
    t->FieldByName("Qty")->OnGetText = TFieldGetTextEvent([](TField *f, std::string &text, bool display) {
        text = display ? "[" + f->AsString() + "]" : f->AsString();
    });
    t->FieldByName("Qty")->OnSetText = TFieldSetTextEvent([](TField *f, const std::string &text) {
        f->SetAsInteger(static_cast<int64_t>(text.size()));
    });
    t->Edit();
    t->FieldByName("Qty")->SetText("abcd");
    EXPECT_EQ(t->FieldByName("Qty")->DisplayText(), "[4]");
    t->Post();
    EXPECT_EQ(t->FieldByName("Qty")->AsInteger(), 4);
}

TEST_F(FieldsTest, EventsComeInTheirOrder)
{
    MakeCustomers(3);
    auto t = OpenTable("customer");
    std::vector<std::string> seen;
    auto note = [&seen](const char *what) { return TDataSetNotifyEvent([&seen, what](TDataSet *) { seen.push_back(what); }); };
    t->BeforeInsert = note("BeforeInsert");
    t->OnNewRecord = TDataSetNotifyEvent([&seen](TDataSet *ds) {
        seen.push_back("OnNewRecord");
        ds->FieldByName("City")->SetAsString("Nueva"); // a default for the new record
    });
    t->AfterInsert = note("AfterInsert");
    t->BeforePost = note("BeforePost");
    t->AfterPost = note("AfterPost");
    t->BeforeCancel = note("BeforeCancel");
    t->AfterCancel = note("AfterCancel");
    t->BeforeScroll = note("BeforeScroll");
    t->AfterScroll = note("AfterScroll");
    t->FieldByName("Name")->OnValidate = TFieldNotifyEvent([&seen](TField *) { seen.push_back("OnValidate"); });
    t->FieldByName("Name")->OnChange = TFieldNotifyEvent([&seen](TField *) { seen.push_back("OnChange"); });
    t->Append();
    EXPECT_EQ(t->FieldByName("City")->AsString(), "Nueva");
    EXPECT_FALSE(t->Modified()); // what OnNewRecord sets does not count as the user's change
    t->FieldByName("Name")->SetAsString("N");
    t->Post();
    EXPECT_EQ(seen, std::vector<std::string>({"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                        "AfterScroll", "OnValidate", "OnChange", "BeforePost", "AfterPost"}));
    seen.clear();
    t->Edit();
    t->Cancel();
    EXPECT_EQ(seen, std::vector<std::string>({"BeforeCancel", "AfterCancel"}));
    // A validation that raises keeps the old value.
    t->FieldByName("Name")->OnValidate = TFieldNotifyEvent([](TField *) { throw EDatabaseError("no"); });
    t->Edit();
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("Name")->SetAsString("X"); }), "EDatabaseError: no");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "N");
    t->Cancel();
    // The validator reads the value being set; when it refuses, the field
    // and the record are as they were.
    std::string validated;
    t->FieldByName("Name")->OnValidate = TFieldNotifyEvent([&validated](TField *f) {
        validated = f->AsString();
        if (validated == "Bad")
            throw EDatabaseError("no");
    });
    t->Edit();
    t->FieldByName("Name")->SetAsString("Good");
    EXPECT_EQ(validated, "Good");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Good");
    t->Post();
    t->Edit();
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("Name")->SetAsString("Bad"); }), "EDatabaseError: no");
    EXPECT_EQ(validated, "Bad");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Good");
    EXPECT_FALSE(t->Modified());
    t->Cancel();
}

TEST_F(FieldsTest, KeysRecordNumbersLocateAndLookup)
{
    MakeCustomers(20);
    auto t = OpenTable("customer");
    t->SetIndexName("ByName");
    t->SetKey();
    EXPECT_EQ(t->State(), dsSetKey);
    t->FieldByName("Name")->SetAsString("Name0010");
    EXPECT_TRUE(t->GotoKey());
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 10);
    t->EditKey();
    t->SetKeyExclusive(true);
    t->Post();
    t->GotoNearest(); // after the key
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 11);
    t->SetKey();
    t->FieldByName("Name")->SetAsString("Other");
    t->Cancel(); // the key stays as it was
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Name0011");
    t->SetRecNo(5);
    EXPECT_EQ(t->RecNo(), 5);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Name0005");
    EXPECT_TRUE(t->Locate("City;Name", {"cali", "name001"}, TLocateOptions({loCaseInsensitive, loPartialKey})));
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 11);
    EXPECT_FALSE(t->Locate("Name", {"Nobody"}, {}));
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 11); // stays
    EXPECT_EQ(t->Lookup("CustNo", {7}, "Name").AsString(), "Name0007");
    EXPECT_TRUE(t->Lookup("CustNo", {99}, "Name").IsNull());
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 11); // Lookup does not move
}

TEST_F(FieldsTest, TheWindowFollowsItsLinksWhenTheyAskForMoreOrFewerRows)
{
    MakeCustomers(50);
    auto t = OpenTable("customer");
    TDataSource source(nullptr);
    source.SetDataSet(t.get());
    TDataLink big, small;
    big.SetBufferCount(20);
    big.SetDataSource(&source);
    small.SetDataSource(&source);
    t->MoveBy(15);
    EXPECT_EQ(t->BufferCount(), 20);
    EXPECT_EQ(big.ActiveRecord(), 15);
    EXPECT_EQ(small.ActiveRecord(), 0); // a one-row link sees only the current record
    EXPECT_EQ(small.RecordCount(), 1);
    big.SetBufferCount(5); // fewer rows: the current record stays current
    EXPECT_EQ(t->BufferCount(), 5);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 16);
    EXPECT_EQ(big.ActiveRecord(), 4);
    big.SetBufferCount(30);
    EXPECT_EQ(t->FieldByName("CustNo")->AsInteger(), 16);
    EXPECT_EQ(big.RecordCount(), 30);
}

TEST_F(FieldsTest, TransactionsRollBackWhatWasPosted)
{
    MakeCustomers(3);
    TDatabase db(nullptr);
    db.SetDatabaseName("Sales");
    db.Params()->Add("PATH=" + file_);
    TTable t(nullptr);
    t.SetDatabaseName("Sales");
    t.SetTableName("customer");
    t.Open();
    EXPECT_EQ(t.Database(), &db);
    db.StartTransaction();
    EXPECT_TRUE(db.InTransaction());
    t.Delete();
    EXPECT_EQ(t.RecordCount(), 2);
    db.Rollback();
    EXPECT_EQ(t.RecordCount(), 3);
    t.First();
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Name0001"); // back again
    EXPECT_EQ(ErrorOf([&] { db.Commit(); }), "EDatabaseError: No transaction is active");
    db.Close(); // closes its datasets
    EXPECT_FALSE(t.Active());
}

TEST_F(FieldsTest, PersistentFieldsComeFromAFormResource)
{
    MakeCustomers(2);
    TComponent root(nullptr);
    std::string text = "object Root: TComponent\n"
                       "  object Customers: TTable\n"
                       "    DatabaseName = '" + file_ + "'\n"
                       "    TableName = 'customer'\n"
                       "    Active = True\n"
                       "    object CustomersName: TStringField\n"
                       "      DisplayLabel = 'Cliente'\n"
                       "      DisplayWidth = 12\n"
                       "      FieldName = 'Name'\n"
                       "      Size = 30\n"
                       "    end\n"
                       "    object CustomersTotal: TFloatField\n"
                       "      FieldKind = fkCalculated\n"
                       "      FieldName = 'Total'\n"
                       "    end\n"
                       "  end\n"
                       "  object Source: TDataSource\n"
                       "    DataSet = Customers\n"
                       "  end\n"
                       "end\n";
    ReadComponentText(&root, text, "root.dfm");
    auto *t = static_cast<TTable *>(root.FindComponent("Customers"));
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->Active());
    EXPECT_EQ(t->FieldCount(), 2);
    EXPECT_EQ(t->FieldByName("Name")->DisplayLabel(), "Cliente");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Name0001");
    EXPECT_EQ(static_cast<TDataSource *>(root.FindComponent("Source"))->DataSet(), t);
    EXPECT_EQ(ErrorOf([&] { t->FieldByName("City"); }), "EDatabaseError: Customers: Field 'City' not found");
    std::string written = WriteComponentText(&root);
    EXPECT_NE(written.find("    object CustomersName: TStringField\n"), std::string::npos) << written;
    EXPECT_NE(written.find("      FieldKind = fkCalculated\n"), std::string::npos) << written;
}

TEST_F(FieldsTest, ParametersKeepTheirValuesWhenTheTextChanges)
{
    MakeCustomers(5);
    TQuery q(nullptr);
    q.SetDatabaseName(file_);
    q.SQL()->Add("SELECT Name FROM customer WHERE CustNo >= :Low AND CustNo <= :High AND Name <> ':Quoted'");
    EXPECT_EQ(q.Params().Count(), 2);
    q.ParamByName("Low").SetAsInteger(2);
    q.ParamByName("High").SetAsInteger(3);
    q.SQL()->Add("ORDER BY Name DESC");
    EXPECT_EQ(q.Params().Count(), 2);
    EXPECT_EQ(q.ParamByName("low").AsInteger(), 2);
    q.Open();
    EXPECT_EQ(q.FieldByName("Name")->AsString(), "Name0003");
    q.SQL()->Add("-- a comment"); // changing the text closes the query
    EXPECT_FALSE(q.Active());
}

} // namespace
