#include "controls/base/Qxfind.h"

#include "controls/base/Qxcomdb.h"
#include "platform/db/dbtables.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace {

// Counts the boxes a search shows instead of showing them.
class TBoxCounter : public IMessageBoxService
{
public:
    TBoxCounter() : previous_(SetMessageBoxService(this)) {}
    ~TBoxCounter() override { SetMessageBoxService(previous_); }
    int Show(HWND, const std::string &text, const std::string &, uint32_t, uint16_t) override
    {
        Texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> Texts;

private:
    IMessageBoxService *previous_;
};

// A table of people: Id, Name (indexed, and case-insensitively), City (no
// index), Born (date-time), Score (float), Member (boolean), Notes (memo).
class FindMatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir_ = std::filesystem::temp_directory_path() / ("orvex-find-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "people.db").string();
        CreateDatabaseFile(file_);
        TDatabase db(nullptr);
        db.SetDatabaseName("find-setup");
        db.Params()->Add("PATH=" + file_);
        db.Execute("CREATE TABLE people (Id INTEGER PRIMARY KEY, Name VARCHAR(20), City VARCHAR(20), Born DATETIME,"
                   " Score FLOAT, Member BOOLEAN, Notes MEMO)");
        db.Execute("CREATE INDEX ByName ON people (Name)");
        db.Execute("CREATE INDEX ByNameNoCase ON people (Name COLLATE NOCASE)");
        db.Execute("CREATE INDEX ByCity ON people (City)");
        // Born: 1998-02-01 10:30 is 35827.4375.
        db.Execute("INSERT INTO people VALUES"
                   " (1, 'Ana', 'Lima', 35827.4375, 1.5, 1, 'likes tea'),"
                   " (2, 'Bruno', 'Quito', 35828, 2, 0, NULL),"
                   " (3, 'Bea', '', 35829, 2.25, 1, 'Tea and cake'),"
                   " (4, 'Carla', 'Lima', 35830, 3, 0, 'coffee'),"
                   " (5, 'Ana', 'Cali', 35831, 4, 1, NULL),"
                   " (6, 'Dario', 'Lima', 35832, 5, 0, 'more TEA')");
        table = std::make_unique<TTable>(nullptr);
        table->SetDatabaseName(file_);
        table->SetTableName("people");
        table->Open();
    }
    void TearDown() override
    {
        table.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    int Id() { return static_cast<int>(table->FieldByName("Id")->AsInteger()); }
    void GoTo(int id)
    {
        table->First();
        while (Id() != id)
            table->Next();
    }

    std::filesystem::path dir_;
    std::string file_;
    std::unique_ptr<TTable> table;
};

struct TFindCase {
    const char *Name;
    const char *Index; // "" primary (no index on the field)
    int Start;
    bool FromFirst;
    const char *Field;
    bool CaseSensitive;
    int MatchType;
    const char *Value;
    int Found; // the record found, 0 for none (the dataset stays at Start)
};

class FindMatchCases : public FindMatchTest, public ::testing::WithParamInterface<TFindCase>
{
};

TEST_P(FindMatchCases, FindsTheRecordOrStays)
{
    const TFindCase &c = GetParam();
    table->SetIndexName(c.Index);
    GoTo(c.Start);
    bool found = FindMatch(c.FromFirst, table.get(), c.Field, c.CaseSensitive, c.MatchType, c.Value);
    EXPECT_EQ(found, c.Found != 0);
    EXPECT_EQ(Id(), c.Found != 0 ? c.Found : c.Start);
}

INSTANTIATE_TEST_SUITE_P(Both, FindMatchCases,
    ::testing::Values(
        // The scan: no index leads with the field.
        TFindCase {"ScanExact", "", 1, true, "City", true, 0, "Quito", 2},
        TFindCase {"ScanExactNextOnly", "", 2, false, "City", true, 0, "Quito", 0},
        TFindCase {"ScanPrefixIgnoringCase", "", 1, false, "City", false, 1, "li", 4},
        TFindCase {"ScanAnywhere", "", 1, false, "Name", true, 2, "ar", 4},
        TFindCase {"ScanCaseMatters", "", 1, true, "Name", true, 0, "ana", 0},
        TFindCase {"ScanFromFirstTestsTheFirst", "", 4, true, "City", true, 0, "Lima", 1},
        TFindCase {"EmptyValueFindsEmptyText", "", 1, true, "City", true, 0, "", 3},
        TFindCase {"DateTimeMatchesItsDateOnly", "", 4, true, "Born", true, 0, "2/1/1998", 1},
        TFindCase {"FloatByNumber", "", 1, false, "Score", true, 0, "2.250", 3},
        TFindCase {"FloatThatIsNoNumber", "", 1, true, "Score", true, 0, "abc", 0},
        TFindCase {"BooleanTexts", "", 1, false, "Member", false, 0, "TRUE", 3},
        TFindCase {"MemoAnywhere", "", 1, false, "Notes", false, 2, "TEA", 3},
        TFindCase {"MemoCaseMatters", "", 3, false, "Notes", true, 2, "TEA", 6},
        TFindCase {"UnknownMatchType", "", 1, true, "City", true, 7, "Lima", 0},
        // The index path: the active index leads with the field.
        TFindCase {"IndexExact", "ByName", 1, true, "Name", true, 0, "Carla", 4},
        TFindCase {"IndexExactMissingStays", "ByName", 4, true, "Name", true, 0, "Zoe", 0},
        TFindCase {"IndexOwnValueScansOn", "ByName", 1, false, "Name", true, 0, "Ana", 5},
        TFindCase {"IndexPrefix", "ByName", 1, true, "Name", true, 1, "Br", 2},
        TFindCase {"IndexPrefixMissRestores", "ByName", 4, true, "Name", true, 1, "Bz", 0},
        TFindCase {"IndexPrefixBeforeCurrentStays", "ByName", 4, false, "Name", true, 1, "Al", 0},
        TFindCase {"IndexPrefixNextMatch", "ByName", 3, false, "Name", true, 1, "B", 2},
        TFindCase {"IndexPrefixStopsAtFirstMiss", "ByName", 2, false, "Name", true, 1, "B", 0},
        TFindCase {"NoCaseIndexIgnoringCase", "ByNameNoCase", 1, true, "Name", false, 0, "dario", 6},
        TFindCase {"NoCaseIndexPrefix", "ByNameNoCase", 1, true, "Name", false, 1, "CAR", 4},
        TFindCase {"IndexEmptyValueFindsEmptyText", "ByCity", 4, true, "City", true, 0, "", 3}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(FindMatchTest, AnUnknownFieldIsReportedAndFindsNothing)
{
    TBoxCounter boxes;
    EXPECT_FALSE(FindMatch(true, table.get(), "Nope", true, 0, "x"));
    EXPECT_EQ(boxes.Texts, std::vector<std::string>({"Field Nope not found."}));
}

TEST_F(FindMatchTest, TheScanShowsTheHourGlassAndPutsTheCursorBack)
{
    TCursor during = crDefault;
    table->SetOnFilterRecord(TFilterRecordEvent([&](TDataSet *, bool &) { during = Screen->Cursor(); }));
    table->SetFiltered(true);
    EXPECT_TRUE(FindMatch(false, table.get(), "City", true, 0, "Cali"));
    EXPECT_EQ(during, crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(Id(), 5);
}

TEST_F(FindMatchTest, ValuesOfAnyLengthAndTextsThatAreNoNumber)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("find-long");
    db.Params()->Add("PATH=" + file_);
    std::string longName(5000, 'x');
    db.Execute("INSERT INTO people (Id, Name, City) VALUES (7, '" + longName + "y', 'INF')");
    db.Execute("CREATE TABLE t (Id INTEGER PRIMARY KEY, Amount FLOAT)");
    db.Execute("INSERT INTO t VALUES (1, 1e999), (2, -1e999), (3, 12.5)"); // infinities show as INF
    table->Refresh();
    EXPECT_TRUE(FindMatch(true, table.get(), "Name", true, 0, longName + "y"));
    EXPECT_EQ(Id(), 7);
    EXPECT_TRUE(FindMatch(true, table.get(), "Name", true, 2, std::string(4000, 'x') + "y"));
    // A float field whose text is no number is no match, and the scan goes on.
    TTable t(nullptr);
    t.SetDatabaseName(file_);
    t.SetTableName("t");
    t.Open();
    EXPECT_TRUE(FindMatch(true, &t, "Amount", true, 0, "12.5"));
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 3);
}

// An empty value finds the blank texts and the blanks (NULL), with the index
// or without it, each in its own order.
TEST_F(FindMatchTest, EmptyValueFindsTheSameRecordsWithOrWithoutTheIndex)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("find-empty");
    db.Params()->Add("PATH=" + file_);
    db.Execute("INSERT INTO people (Id, Name, City) VALUES (7, 'Eva', NULL)");
    table->Refresh();
    for (const char *index : { "ByCity", "" }) {
        table->SetIndexName(index);
        std::vector<int> found;
        for (bool ok = FindMatch(true, table.get(), "City", true, 0, ""); ok;
             ok = FindMatch(false, table.get(), "City", true, 0, ""))
            found.push_back(Id());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, std::vector<int>({ 3, 7 })) << index;
    }
}

// A memo holding rich text is searched in the text the user sees, not in
// its markup.
TEST_F(FindMatchTest, RichTextMemoIsSearchedInItsPlainText)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("find-rich");
    db.Params()->Add("PATH=" + file_);
    db.Execute("UPDATE people SET Notes = '{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Quiet \\b lake\\b0  house\\par}'"
               " WHERE Id = 4");
    table->Refresh();
    EXPECT_FALSE(FindMatch(true, table.get(), "Notes", false, 2, "ANSI"));
    EXPECT_FALSE(FindMatch(true, table.get(), "Notes", false, 2, "FONTTBL"));
    EXPECT_TRUE(FindMatch(true, table.get(), "Notes", true, 2, "lake house"));
    EXPECT_EQ(Id(), 4);
    GoTo(1);
    EXPECT_TRUE(FindMatch(false, table.get(), "Notes", false, 1, "QUIET"));
    EXPECT_EQ(Id(), 4);
}

TEST_F(FindMatchTest, FieldValueLooksAtTheCurrentRecordFirst)
{
    GoTo(4);
    EXPECT_TRUE(qxFindFieldValue(table.get(), "carla", "Name", false, 0));
    EXPECT_EQ(Id(), 4);
    EXPECT_TRUE(qxFindFieldValue(table.get(), "Dario", "Name", true, 0));
    EXPECT_EQ(Id(), 6);
}

} // namespace
