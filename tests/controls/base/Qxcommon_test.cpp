#include "controls/base/Qxcommon.h"

#include "controls/base/Qxcomdb.h"
#include "controls/base/Qxintl.h"
#include "platform/classes/typinfo.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

enum TFilterOption { foEnabled, foShowHourGlass, foCancelOnEscape };
using TFilterOptions = TSet<TFilterOption>;

// A component of no library class that publishes the library's list names.
class TForeignLists : public TComponent
{
public:
    explicit TForeignLists(TComponent *owner) : TComponent(owner) {}
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStrings *ControlType() const { return controlType_.get(); }
    TStrings *PictureMasks() const { return masks_.get(); }
    TStrings *LookupFields() const { return lookupFields_.get(); }
    const std::string &DatabaseName() const { return db_; }
    void SetDatabaseName(const std::string &db) { db_ = db; }
    TFilterOptions Options() const { return options_; }
    void SetOptions(TFilterOptions o) { options_ = o; }

private:
    std::unique_ptr<TStringList> controlType_ = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> masks_ = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> lookupFields_ = std::make_unique<TStringList>();
    std::string db_;
    TFilterOptions options_ {foEnabled, foShowHourGlass};
};
const TMetaClass TForeignLists::Class { "TForeignLists", &TComponent::Class };
using PF = TPublish<TForeignLists>;
const TEnumNames FilterOptionNames = {"ofoEnabled", "ofoShowHourGlass", "ofoCancelOnEscape"};
const TClassRegistrar<TForeignLists> foreignRegistrar({
    PF::Strings("ControlType", &TForeignLists::ControlType),
    PF::Strings("PictureMasks", &TForeignLists::PictureMasks),
    PF::Strings("LookupFields", &TForeignLists::LookupFields),
    PF::String("DatabaseName", &TForeignLists::DatabaseName, &TForeignLists::SetDatabaseName, ""),
    PF::Set("OnFilterOptions", FilterOptionNames, &TForeignLists::Options, &TForeignLists::SetOptions,
        TFilterOptions({foEnabled, foShowHourGlass})),
});

// A class named like a library dataset, so the name tests see it.
class TqxTable : public TTable
{
public:
    using TTable::TTable;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
const TMetaClass TqxTable::Class { "TqxTable", &TTable::Class };

// A table that publishes PictureMasks, as the library's tables do.
class TMaskedTable : public TTable
{
public:
    using TTable::TTable;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStrings *PictureMasks() const { return masks_.get(); }

private:
    std::unique_ptr<TStringList> masks_ = std::make_unique<TStringList>();
};
const TMetaClass TMaskedTable::Class { "TMaskedTable", &TTable::Class };
const TClassRegistrar<TMaskedTable> maskedRegistrar({TPublish<TMaskedTable>::Strings("PictureMasks", &TMaskedTable::PictureMasks)});

TEST(QxCommon, PropertiesByNameOnAComponentOfAnotherClass)
{
    TForeignLists c(nullptr);
    c.SetDatabaseName("SALES");
    EXPECT_EQ(qxGetControlTypeList(&c), c.ControlType());
    EXPECT_EQ(qxGetPictureMasksList(&c), c.PictureMasks());
    EXPECT_EQ(qxGetLookupFieldsList(&c), c.LookupFields());
    EXPECT_EQ(qxGetLookupLinksList(&c), nullptr); // not published
    EXPECT_EQ(qxGetDatabaseName(&c), "SALES");
    EXPECT_EQ(qxGetDataSourceProp(&c), nullptr);
    EXPECT_EQ(qxGetValidateWithMask(&c), 0);
    EXPECT_EQ(qxGetFilterOptions(&c), 3);
    qxSetFilterEnabled(&c, false);
    EXPECT_EQ(qxGetFilterOptions(&c), 2);
    qxSetFilterEnabled(&c, true);
    EXPECT_EQ(qxGetFilterOptions(&c), 3);
    EXPECT_EQ(qxGetDataFieldProp(&c), ""); // not a windowed control
    EXPECT_FALSE(qxSetDataFieldProp(&c, "Name"));
    // Publishing ControlType makes it a library dataset.
    EXPECT_TRUE(qxIsLibraryDataSet(&c));
    TTable plain(nullptr);
    EXPECT_FALSE(qxIsLibraryDataSet(&plain));
    TqxTable named(nullptr);
    EXPECT_TRUE(qxIsLibraryDataSet(&named));
    EXPECT_TRUE(qxInheritsFromName(named.ClassType(), "tdbdataset"));
    EXPECT_FALSE(qxIsLibraryDataSet(nullptr));
}

TEST(QxCommon, KeyedLinesAndControlTypes)
{
    TForeignLists c(nullptr);
    c.ControlType()->Add("Name;CustomEdit;Form1.Edit1");
    c.ControlType()->Add("name;Combo;ignored: another field name case");
    c.ControlType()->Add("Name;LookupCombo;" + std::string(300, 'p') + ";more");
    c.ControlType()->Add("Notes;RichEdit");
    std::string type, params;
    qxFindControlTypeEntry(&c, "Name", type, params);
    EXPECT_EQ(type, "LookupCombo"); // the last line of the field wins
    EXPECT_EQ(params, std::string(300, 'p') + ";more"); // at any length
    qxFindControlTypeEntry(&c, "Notes", type, params);
    EXPECT_EQ(type, "RichEdit");
    EXPECT_EQ(params, "");
    qxFindControlTypeEntry(&c, "City", type, params);
    EXPECT_EQ(type, "");
    EXPECT_TRUE(qxIsEditControlType("customedit"));
    EXPECT_TRUE(qxIsEditControlType("COMBO"));
    EXPECT_FALSE(qxIsEditControlType("RichEdit"));
    TStringList keyed;
    keyed.Add("Alpha\t1");
    keyed.Add("ÑANDÚ\t2");
    int index;
    EXPECT_TRUE(qxFindKeyedLine(&keyed, "ñandú", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(qxFindKeyedLine(&keyed, "Alp", index));
    EXPECT_EQ(index, -1);
}

struct TMaskCase {
    const char *Name;
    const char *Line; // "" for none
    const char *Mask;
    bool AutoFill, Use;
};
class PictureMaskEntries : public ::testing::TestWithParam<TMaskCase>
{
};
TEST_P(PictureMaskEntries, ReadTheFieldsLine)
{
    TForeignLists c(nullptr);
    if (*GetParam().Line)
        c.PictureMasks()->Add(GetParam().Line);
    c.PictureMasks()->Add("Other\t###\tF\tF");
    bool autoFill, use;
    std::string mask;
    qxGetPictureMaskEntry(&c, "Phone", true, autoFill, use, mask);
    EXPECT_EQ(mask, GetParam().Mask);
    EXPECT_EQ(autoFill, GetParam().AutoFill);
    EXPECT_EQ(use, GetParam().Use);
}
INSTANTIATE_TEST_SUITE_P(Lines, PictureMaskEntries,
    ::testing::Values(TMaskCase {"NoLine", "", "", true, true},
        TMaskCase {"MaskOnly", "Phone\t###-####", "###-####", false, false},
        TMaskCase {"AllFlags", "phone\t###\tT\tT", "###", true, true},
        TMaskCase {"LowerCaseFlagsAreNotT", "Phone\t###\tt\tF", "###", false, false}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(QxCommon, SettingPictureMaskEntries)
{
    TForeignLists c(nullptr);
    qxSetPictureMaskEntry(&c, "Phone", "###", true, true, true, true, false);
    EXPECT_EQ(c.PictureMasks()->Text(), "Phone\t###\tF\tT\r\n");
    // Switches that are off keep the line's own items.
    qxSetPictureMaskEntry(&c, "phone", "#####", true, false, false, false, true);
    EXPECT_EQ(c.PictureMasks()->Text(), "phone\t#####\tF\tT\r\n");
    qxSetPictureMaskEntry(&c, "Phone", "", true, true, true, true, true);
    EXPECT_EQ(c.PictureMasks()->Count(), 0);
    EXPECT_TRUE(qxTextMatchesPicture("", "anything"));
    EXPECT_TRUE(qxTextMatchesPicture("###", "123"));
    EXPECT_FALSE(qxTextMatchesPicture("###", "12"));
}

TEST(QxCommon, SmallRoutines)
{
    TStringList lines;
    lines.Add("one");
    lines.Add("two");
    EXPECT_EQ(qxStringsToPChar(&lines, true), "one two");
    EXPECT_EQ(qxStringsToPChar(&lines, false), "one\r\ntwo");
    EXPECT_EQ(qxScaleByPixelsPerInch(77, 120), 96);
    EXPECT_EQ(qxScaleByPixelsPerInch(77, 96), 77);
    for (uint16_t key : {8, 32, 46, 0x30, 0x6F, 146})
        EXPECT_TRUE(qxIsCharKey(key)) << key;
    for (uint16_t key : {13, 27, 0x2F, 0x70, 145})
        EXPECT_FALSE(qxIsCharKey(key)) << key;
    EXPECT_EQ(qxItem("a;b;;d", ';', 4), "d");
    EXPECT_EQ(qxItem("a;b;;d", ';', 3), "");
    EXPECT_EQ(qxItem("a;b", ';', 5), "");
    EXPECT_EQ(qxItemCount("a;b;;d", ';'), 4);
    EXPECT_EQ(qxItemCount("", ';'), 0);
}

// ---- Dataset routines ---------------------------------------------------------------

class QxComDb : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir_ = std::filesystem::temp_directory_path() / ("orvex-qxdb-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "shop.db").string();
        CreateDatabaseFile(file_);
        Exec("CREATE TABLE customer (CustNo INTEGER PRIMARY KEY, Name VARCHAR(20), Phone VARCHAR(10), Notes MEMO)");
        Exec("INSERT INTO customer VALUES (1, 'Ana', '555-1234', '{\\rtf1 hi}'), (2, 'Bea', '12', 'plain')");
        Exec("CREATE TABLE orders (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER, Item VARCHAR(10))");
        Exec("CREATE INDEX ByCustItem ON orders (CustNo, Item)");
        Exec("CREATE INDEX ByItemDesc ON orders (Item DESC)");
        Exec("INSERT INTO orders VALUES (1, 2, 'pen'), (2, 1, 'ink'), (3, 9, 'cup')");
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    void Exec(const std::string &sql)
    {
        TDatabase db(nullptr);
        db.SetDatabaseName("qxdb-" + std::to_string(++execs_));
        db.Params()->Add("PATH=" + file_);
        db.Execute(sql);
    }
    std::unique_ptr<TTable> Open(const std::string &name)
    {
        auto t = std::make_unique<TTable>(nullptr);
        t->SetDatabaseName(file_);
        t->SetTableName(name);
        t->Open();
        return t;
    }
    std::filesystem::path dir_;
    std::string file_;
    int execs_ = 0;
};

TEST_F(QxComDb, FieldLayoutGoesBothWays)
{
    auto t = Open("customer");
    TStringList lines;
    lines.Add("Phone\t12\tTeléfono");
    lines.Add("Missing\t5\tGap");
    lines.Add("name\t8\tCliente");
    qxApplySelectedFields(t.get(), &lines);
    TStringList back;
    qxGetSelectedFields(t.get(), &back);
    EXPECT_EQ(back.Text(), "Phone\t12\tTeléfono\r\nName\t8\tCliente\r\n");
    EXPECT_EQ(t->FieldByName("Name")->Index(), 2); // the missing field leaves a gap
    EXPECT_FALSE(t->FieldByName("CustNo")->Visible());
    // A width that is no number raises, and the controls are enabled again.
    lines.Clear();
    lines.Add("Name\twide\tX");
    EXPECT_THROW(qxApplySelectedFields(t.get(), &lines), EConvertError);
    EXPECT_FALSE(t->ControlsDisabled());
}

TEST_F(QxComDb, RichTextFieldsByControlTypeOrContent)
{
    auto t = Open("customer");
    TField *notes = t->FieldByName("Notes");
    EXPECT_FALSE(qxIsRichTextField(notes, false));
    EXPECT_TRUE(qxIsRichTextField(notes, true)); // "{\rtf" at its start
    t->Next();
    EXPECT_FALSE(qxIsRichTextField(notes, true));
    EXPECT_FALSE(qxIsRichTextField(t->FieldByName("Name"), true)); // not a blob
}

TEST_F(QxComDb, MissingFieldEntriesAreDropped)
{
    auto t = Open("customer");
    TStringList lookups, links, types;
    lookups.Add("Name;DB;T;R;I");
    lookups.Add("Gone;DB;T;R;I");
    lookups.Add("Phone;DB;T;R;I");
    links.Add("l0");
    links.Add("l1");
    links.Add("l2");
    types.Add("Gone;Combo;x");
    types.Add("Notes;RichEdit");
    qxRemoveMissingFieldEntries(t.get(), &lookups, &links, &types);
    EXPECT_EQ(lookups.Text(), "Name;DB;T;R;I\r\nPhone;DB;T;R;I\r\n");
    EXPECT_EQ(links.Text(), "l0\r\nl2\r\n");
    EXPECT_EQ(types.Text(), "Notes;RichEdit\r\n");
}

TEST_F(QxComDb, IndexesByFieldList)
{
    auto t = Open("orders");
    EXPECT_EQ(qxFindIndexForFields(t.get(), "custno;item"), "ByCustItem");
    EXPECT_EQ(qxFindIndexForFields(t.get(), "CustNo"), "ByCustItem"); // a leading part
    EXPECT_EQ(qxFindIndexForFields(t.get(), "Item"), "ByItemDesc"); // descending, on the second pass
    EXPECT_EQ(qxFindIndexForFields(t.get(), "OrderNo"), ""); // the primary index
    EXPECT_EQ(qxFindIndexForFields(t.get(), "Cust"), "?");
}

// A dataset of the library's kind, with its lookup lists and tables.
class TLookupOrders : public TTable, public IqxLookupTableOwner
{
public:
    using TTable::TTable;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStrings *LookupFields() const { return const_cast<TStringList *>(&Fields); }
    TStrings *LookupLinks() const { return const_cast<TStringList *>(&Links); }
    TStringList Fields, Links;
    TqxLookupTableList Tables;
    TqxLookupTableList *LookupTables() override { return &Tables; }

protected:
    void DoOnCalcFields() override
    {
        qxCalcLookupFields(this, &Fields, &Links, &Tables);
        TTable::DoOnCalcFields();
    }
};

const TMetaClass TLookupOrders::Class { "TLookupOrders", &TTable::Class };
const TClassRegistrar<TLookupOrders> lookupOrdersRegistrar({
    TPublish<TLookupOrders>::Strings("LookupFields", &TLookupOrders::LookupFields),
    TPublish<TLookupOrders>::Strings("LookupLinks", &TLookupOrders::LookupLinks),
});

TEST_F(QxComDb, LookupFieldsSearchOncePerTableAndRecord)
{
    TLookupOrders orders(nullptr);
    orders.SetDatabaseName(file_);
    orders.SetTableName("orders");
    for (const char *name : {"OrderNo", "CustNo", "Item"}) {
        auto *f = new TStringField(&orders);
        f->SetFieldName(name);
        f->SetDataSet(&orders);
    }
    for (const char *name : {"CustName", "CustPhone"}) {
        auto *f = new TStringField(&orders);
        f->SetFieldName(name);
        f->SetFieldKind(fkCalculated);
        f->SetDataSet(&orders);
    }
    orders.Fields.Add("CustName;" + file_ + ";customer;Name;");
    orders.Fields.Add("CustPhone;" + file_ + ";customer;Phone;");
    orders.Fields.Add("Ignored;" + file_ + ";customer;Name"); // four items count for nothing
    orders.Links.Add("CustNo;CustNo");
    orders.Links.Add("CustNo;CustNo");
    orders.Links.Add("CustNo;CustNo");
    orders.Open();
    EXPECT_EQ(orders.FieldByName("CustName")->AsString(), "Bea");
    EXPECT_EQ(orders.FieldByName("CustPhone")->AsString(), "12");
    EXPECT_EQ(orders.Tables.size(), 1u); // one table serves both lines
    orders.Next();
    EXPECT_EQ(orders.FieldByName("CustName")->AsString(), "Ana");
    orders.Next();
    EXPECT_EQ(orders.FieldByName("CustName")->AsString(), ""); // customer 9 does not exist
    std::string key;
    TField *result = nullptr;
    orders.First();
    EXPECT_TRUE(qxLookupFieldValue(orders.FieldByName("CustName"), key, result));
    EXPECT_EQ(key, "2");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->AsString(), "Bea");
    // A links line naming a missing source field hides the target field.
    orders.Close();
    orders.Links.SetStrings(0, "Nope;CustNo");
    orders.Open();
    EXPECT_FALSE(orders.FieldByName("CustName")->Visible());
    for (auto &t : orders.Tables)
        delete t.Table;
}

TEST_F(QxComDb, MasksAreCheckedBeforePost)
{
    TMaskedTable t(nullptr);
    t.SetDatabaseName(file_);
    t.SetTableName("customer");
    t.PictureMasks()->Add("Phone\t###-####\tF\tT");
    t.Open();
    t.Edit();
    EXPECT_NO_THROW(qxValidateFieldsWithMasks(&t, nullptr)); // 555-1234 fills the mask
    t.Cancel();
    t.Next();
    t.Edit();
    std::vector<std::string> invalid;
    auto handler = [&](TDataSet *, TField *f) { invalid.push_back(f->FieldName()); };
    try {
        qxValidateFieldsWithMasks(&t, handler);
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Invalid characters. Field : Phone");
    }
    EXPECT_EQ(invalid, std::vector<std::string>({"Phone"}));
    t.FieldByName("Phone")->SetAsString("");
    EXPECT_THROW(qxValidateFieldsWithMasks(&t, nullptr), EDatabaseError); // empty fails too
    t.FieldByName("Phone")->SetReadOnly(true);
    EXPECT_NO_THROW(qxValidateFieldsWithMasks(&t, nullptr)); // read-only fields pass
    t.Cancel();
}

TEST_F(QxComDb, AnswerTablesAndAliasPaths)
{
    Session()->AddStandardAlias("SHOP", file_);
    EXPECT_EQ(qxGetAliasPath("shop"), file_);
    EXPECT_EQ(qxGetAliasPath("NOPE"), "");
    TQuery q(nullptr);
    q.SetDatabaseName(file_);
    q.SQL()->Add("SELECT Name FROM customer ORDER BY Name DESC");
    q.Open();
    EXPECT_TRUE(qxSaveAnswerTable(&q, q.Handle(), "answer"));
    EXPECT_TRUE(qxSaveAnswerTable(&q, q.Handle(), ":SHOP:answer2"));
    // A name with a drive letter is a database file of its own.
    SetPathMapper([](std::string_view p, TPathFound *) {
        std::string s(p);
        for (char &c : s)
            c = c == '\\' ? '/' : c;
        return s.rfind("Z:", 0) == 0 ? s.substr(2) : s;
    });
    std::string other = "Z:" + StringReplace((dir_ / "other.db").string(), "/", "\\", true);
    EXPECT_TRUE(qxSaveAnswerTable(&q, q.Handle(), other));
    EXPECT_FALSE(qxSaveAnswerTable(&q, q.Handle(), ""));
    q.Close();
    auto answer = Open("answer2");
    EXPECT_EQ(answer->FieldByName("Name")->AsString(), "Bea");
    EXPECT_EQ(answer->RecordCount(), 2);
    TTable copied(nullptr);
    copied.SetDatabaseName(other);
    copied.SetTableName("other");
    copied.Open();
    EXPECT_EQ(copied.RecordCount(), 2);
    copied.Close();
    SetPathMapper(nullptr);
    Session()->DeleteAlias("SHOP");
}

TEST_F(QxComDb, AnUnknownAliasInAnAnswerNameIsReported)
{
    class TBoxes : public IMessageBoxService
    {
    public:
        std::vector<std::string> Texts;
        int Show(HWND, const std::string &text, const std::string &, uint32_t, uint16_t) override
        {
            Texts.push_back(text);
            return IDOK;
        }
    } boxes;
    IMessageBoxService *old = SetMessageBoxService(&boxes);
    TQuery q(nullptr);
    q.SetDatabaseName(file_);
    q.SQL()->Add("SELECT Name FROM customer");
    q.Open();
    EXPECT_FALSE(qxSaveAnswerTable(&q, q.Handle(), ":NOALIAS:x"));
    SetMessageBoxService(old);
    EXPECT_EQ(boxes.Texts, std::vector<std::string>({"Invalid Alias in QBE"}));
}

} // namespace
