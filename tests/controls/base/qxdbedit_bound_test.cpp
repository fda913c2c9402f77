// The library's edit on the fields of a real SQLite table, typed into as a
// person types.
#include "controls/data/Qxdatsrc.h"
#include "controls/base/qxdbedit.h"

#include "platform/classes/typinfo.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// A table that publishes the library's picture-mask properties, as the
// library's own datasets do; the edit finds them by name.
class TMaskedTable : public TTable
{
public:
    explicit TMaskedTable(TComponent *owner)
        : TTable(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *PictureMasks() const { return masks_.get(); }
    bool ValidateWithMask() const { return validate_; }
    void SetValidateWithMask(bool validate) { validate_ = validate; }
    TEvent<TDataSet *, TField *> OnInvalidValue;

private:
    std::unique_ptr<TStringList> masks_ = std::make_unique<TStringList>();
    bool validate_ = false;
};

const TMetaClass TMaskedTable::Class { "TMaskedTable", &TTable::Class };
using MT = TPublish<TMaskedTable>;
const TClassRegistrar<TMaskedTable> maskedTableRegistrar({
    MT::Strings("PictureMasks", &TMaskedTable::PictureMasks),
    MT::Boolean("ValidateWithMask", &TMaskedTable::ValidateWithMask, &TMaskedTable::SetValidateWithMask, false),
    MT::Event("OnInvalidValue", &TMaskedTable::OnInvalidValue),
});

class BoundEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir = std::filesystem::temp_directory_path()
            / ("orvex-dbedit-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir);
        file = (dir / "people.db").string();
        CreateDatabaseFile(file);
        TDatabase db(nullptr);
        db.SetDatabaseName("dbedit-" + std::to_string(n));
        db.Params()->Add("PATH=" + file);
        db.Execute("CREATE TABLE cities (Id INTEGER PRIMARY KEY, Name VARCHAR(20))");
        db.Execute("INSERT INTO cities VALUES (1, 'Lima'), (2, 'Quito')");
        db.Execute("CREATE TABLE people (Id INTEGER PRIMARY KEY, Name VARCHAR(10), Code VARCHAR(5), "
                   "Age INTEGER, Born DATE, CityId INTEGER)");
        db.Execute("INSERT INTO people VALUES (1, 'Ana', '11-22', 30, 36922, 2), (2, 'Luis', NULL, 41, NULL, 1), "
                   "(3, 'Eva', '33-44', 25, NULL, 9)");

        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
        cities = new TTable(form.get());
        cities->SetDatabaseName(file);
        cities->SetTableName("cities");
        cities->Open();
        people = new TMaskedTable(form.get());
        people->SetDatabaseName(file);
        people->SetTableName("people");
        source = new TqxDataSource(form.get());
        source->SetDataSet(people);
        name = Make("Name", 10);
        code = Make("Code", 40);
        age = Make("Age", 70);
        born = Make("Born", 100);
        other = new TqxDBEdit(form.get());
        other->SetParent(form.get());
        other->SetBounds(200, 10, 100, 24);
        other->SetReadOnly(false);
    }
    void TearDown() override
    {
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        SetClock(nullptr);
    }

    TqxDBEdit *Make(const std::string &field, int top)
    {
        auto *edit = new TqxDBEdit(form.get());
        edit->SetName(field + "Edit");
        edit->SetParent(form.get());
        edit->SetBounds(10, top, 150, 24);
        edit->SetDataSource(source);
        edit->SetDataField(field);
        return edit;
    }

    // Persistent fields with a lookup of the city's name; opens the table.
    void OpenWithCity()
    {
        for (const char *n : { "Id", "Age", "CityId" }) {
            auto *f = new TIntegerField(people);
            f->SetFieldName(n);
            f->SetDataSet(people);
        }
        for (const char *n : { "Name", "Code" }) {
            auto *f = new TStringField(people);
            f->SetFieldName(n);
            f->SetSize(std::string(n) == "Name" ? 10 : 5);
            f->SetDataSet(people);
        }
        auto *bornField = new TDateField(people);
        bornField->SetFieldName("Born");
        bornField->SetDataSet(people);
        auto *city = new TStringField(people);
        city->SetFieldName("City");
        city->SetSize(20);
        city->SetFieldKind(fkLookup);
        city->SetLookupDataSet(cities);
        city->SetKeyFields("CityId");
        city->SetLookupKeyFields("Id");
        city->SetLookupResultField("Name");
        city->SetDataSet(people);
        people->Open();
    }

    void Focus(TWinControl *control)
    {
        control->SetFocus();
        ProcessPendingEvents();
    }

    // What the file holds now, read through a table of its own.
    std::string Stored(int id, const std::string &field)
    {
        TTable check(nullptr);
        check.SetDatabaseName(file);
        check.SetTableName("people");
        check.Open();
        while (!check.Eof() && check.FieldByName("Id")->AsInteger() != id)
            check.Next();
        return check.Eof() ? "<none>" : check.FieldByName(field)->AsString();
    }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    BeepCounter beeps;
    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<TForm> form;
    TTable *cities = nullptr;
    TMaskedTable *people = nullptr;
    TqxDataSource *source = nullptr;
    TqxDBEdit *name = nullptr, *code = nullptr, *age = nullptr, *born = nullptr, *other = nullptr;
};

TEST_F(BoundEdit, TypingEditsTheRecordAndPostingWritesTheFile)
{
    people->Open();
    form->Show();
    EXPECT_EQ(name->Text(), "Ana");
    EXPECT_TRUE(name->WindowStyle() & ES_READONLY) << "browsing: the window is closed to typing";
    Focus(name);
    EXPECT_EQ(name->SelLength(), 3) << "entering selects the text";
    TypeText(name, "Rosa");
    EXPECT_EQ(people->State(), dsEdit);
    EXPECT_EQ(name->Text(), "Rosa");
    EXPECT_FALSE(name->WindowStyle() & ES_READONLY);
    EXPECT_EQ(people->FieldByName("Name")->AsString(), "Ana") << "the field gets the text when the edit is left";
    Focus(other);
    EXPECT_EQ(people->FieldByName("Name")->AsString(), "Rosa");
    people->Post();
    EXPECT_EQ(Stored(1, "Name"), "Rosa");
    EXPECT_TRUE(name->WindowStyle() & ES_READONLY);
    EXPECT_EQ(beeps.Count(), 0);
}

TEST_F(BoundEdit, MovingToAnotherRecordPostsTheEditAndShowsTheNextValue)
{
    people->Open();
    form->Show();
    Focus(name);
    name->SelectAll();
    TypeText(name, "Anita");
    people->Next(); // the edit still has the focus: the record takes its text first
    EXPECT_EQ(Stored(1, "Name"), "Anita");
    EXPECT_EQ(name->Text(), "Luis");
    EXPECT_FALSE(name->Modified());
    people->Prior();
    EXPECT_EQ(name->Text(), "Anita");
}

TEST_F(BoundEdit, CancelAndEscapeGiveTheFieldsValueBack)
{
    people->Open();
    form->Show();
    Focus(name);
    name->SelectAll();
    TypeText(name, "Zoe");
    PressKey(name, VK_ESCAPE, U'\x1b');
    EXPECT_EQ(name->Text(), "Ana");
    EXPECT_FALSE(name->Modified());
    EXPECT_EQ(name->SelLength(), 3);

    TypeText(name, "Zoe");
    people->Cancel();
    EXPECT_EQ(people->State(), dsBrowse);
    EXPECT_EQ(name->Text(), "Ana");
    Focus(other);
    EXPECT_EQ(Stored(1, "Name"), "Ana");
}

TEST_F(BoundEdit, WithoutAutoEditTheKeysAreIgnoredUntilTheRecordIsEdited)
{
    people->Open();
    source->SetAutoEdit(false);
    form->Show();
    Focus(name);
    TypeText(name, "x");
    EXPECT_EQ(name->Text(), "Ana");
    EXPECT_EQ(people->State(), dsBrowse);
    EXPECT_FALSE(name->Modified());
    people->Edit();
    name->SetSelStart(3);
    TypeText(name, "x");
    EXPECT_EQ(name->Text(), "Anax");
}

TEST_F(BoundEdit, AReadOnlyEditNeverEditsTheRecord)
{
    people->Open();
    name->SetReadOnly(true);
    form->Show();
    Focus(name);
    TypeText(name, "x");
    PressKey(name, VK_DELETE);
    EXPECT_EQ(name->Text(), "Ana");
    EXPECT_EQ(people->State(), dsBrowse);
    EXPECT_FALSE(name->Modified());
}

TEST_F(BoundEdit, ANumberFieldRefusesLettersWithABeep)
{
    people->Open();
    form->Show();
    Focus(age);
    age->SetSelStart(2);
    TypeText(age, "a5");
    EXPECT_EQ(age->Text(), "305");
    EXPECT_EQ(beeps.Count(), 1);
    Focus(other);
    people->Post();
    EXPECT_EQ(Stored(1, "Age"), "305");
}

TEST_F(BoundEdit, AStringFieldsSizeLimitsTheText)
{
    people->Open();
    form->Show();
    EXPECT_EQ(name->MaxLength(), 10);
    Focus(name);
    TypeText(name, "Maximiliano Segundo");
    EXPECT_EQ(name->Text(), "Maximilian");
    name->SetDataField("Code");
    EXPECT_EQ(name->MaxLength(), 5) << "a length taken from the old field goes with it";
}

TEST_F(BoundEdit, ThePictureComesFromTheDataSetsListAndFillsItsLiterals)
{
    people->PictureMasks()->Add("Code\t##-##\tT\tT");
    people->Open();
    form->Show();
    EXPECT_EQ(code->Picture()->PictureMask(), "##-##");
    Focus(code);
    code->SelectAll();
    TypeText(code, "98x76");
    EXPECT_EQ(code->Text(), "98-76");
    EXPECT_EQ(beeps.Count(), 1) << "the letter does not fit the picture";
    TypeText(code, "5");
    EXPECT_EQ(code->Text(), "98-76");
    EXPECT_EQ(beeps.Count(), 1) << "a sixth character is held back by the field's size, without a picture check";
    Focus(other);
    people->Post();
    EXPECT_EQ(Stored(1, "Code"), "98-76");

    // A mask written through the edit lands in the dataset's list.
    code->Picture()->SetAutoFill(false);
    code->Picture()->SetPictureMask("###");
    EXPECT_EQ(people->PictureMasks()->Strings(0), "Code\t###\tF\tT");
    EXPECT_FALSE(code->IsPictureStored()) << "a bound edit keeps no picture of its own in a resource";
    code->Picture()->SetAllowInvalidExit(true);
    EXPECT_FALSE(code->Picture()->AllowInvalidExit());
}

TEST_F(BoundEdit, ValidateWithMaskCallsTheDataSetsHandlerOrRefusesThePost)
{
    people->PictureMasks()->Add("Code\t##-##\tT\tT");
    people->SetValidateWithMask(true);
    people->Open();
    form->Show();
    Focus(code);
    code->SelectAll();
    TypeText(code, "1");
    EXPECT_THROW(people->Post(), EDBEditError);
    EXPECT_EQ(people->State(), dsEdit);

    std::vector<std::string> invalid;
    people->OnInvalidValue = TEvent<TDataSet *, TField *>(
        [&](TDataSet *, TField *field) { invalid.push_back(field->FieldName()); }, "PeopleInvalidValue");
    people->Post(); // the edit's change is still pending

    EXPECT_EQ(invalid, (std::vector<std::string> { "Code" }));
}

TEST_F(BoundEdit, SpaceFillsTheDateOfADateField)
{
    SetClock([] { return EncodeDate(2026, 12, 9) + EncodeTime(6, 5, 7, 0); });
    OpenWithCity();
    people->Next(); // Luis has no date
    form->Show();
    Focus(born);
    for (int i = 0; i < 4; ++i)
        PressKey(born, VK_SPACE, U' ');
    EXPECT_EQ(born->Text(), "09/12/2026");
    EXPECT_EQ(people->State(), dsEdit);
    Focus(other);
    people->Post();
    EXPECT_EQ(people->FieldByName("Born")->AsDateTime(), EncodeDate(2026, 12, 9));
}

TEST_F(BoundEdit, ALookupFieldShowsTheLookedUpValueAsRecordsMove)
{
    OpenWithCity();
    auto *city = Make("City", 130);
    form->Show();
    EXPECT_EQ(city->Text(), "Quito");
    people->Next();
    EXPECT_EQ(city->Text(), "Lima");
    people->Next();
    EXPECT_EQ(city->Text(), "") << "no city 9";
    people->First();
    EXPECT_EQ(city->Text(), "Quito");
}

class TDerivedDataSource : public TqxDataSource
{
public:
    using TqxDataSource::TqxDataSource;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
const TMetaClass TDerivedDataSource::Class { "TDerivedDataSource", &TqxDataSource::Class };

TEST_F(BoundEdit, OnlyTheLibrarysDataSourceIsShownAsTheDataSource)
{
    people->Open();
    EXPECT_EQ(name->DataSource(), source);
    TDataSource plain(nullptr);
    plain.SetDataSet(people);
    name->SetDataSource(&plain);
    EXPECT_EQ(name->DataSource(), nullptr);
    EXPECT_EQ(name->Text(), "Ana") << "it still shows the field";
    name->SetDataSource(nullptr);
    EXPECT_EQ(name->Text(), "");

    // The class is known by name, its descendants included.
    TDerivedDataSource derived(nullptr);
    derived.SetDataSet(people);
    name->SetDataSource(&derived);
    EXPECT_EQ(name->DataSource(), &derived);
    name->SetDataSource(nullptr);
}

TEST_F(BoundEdit, FreeingTheDataSourceUnbindsTheEdit)
{
    people->Open();
    delete source;
    source = nullptr;
    EXPECT_EQ(name->DataLink()->DataSource(), nullptr);
    EXPECT_EQ(name->Text(), "");
}

} // namespace
