#include "controls/base/Qxfilter.h"

#include "controls/data/Qxdbsets.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <unistd.h>

namespace {

class TBoxRecorder : public IMessageBoxService
{
public:
    TBoxRecorder() : previous_(SetMessageBoxService(this)) {}
    ~TBoxRecorder() override { SetMessageBoxService(previous_); }
    int Show(HWND, const std::string &text, const std::string &caption, uint32_t, uint16_t) override
    {
        Texts.push_back(caption + ": " + text);
        return IDOK;
    }
    std::vector<std::string> Texts;

private:
    IMessageBoxService *previous_;
};

uint16_t U16(const std::vector<uint8_t> &b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }
uint32_t U32(const std::vector<uint8_t> &b, size_t at) { return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16; }

// Reads a block back into text, independently of the emitter: binary nodes
// as (left op right), fields as [name], constants as type letter + value.
std::string Render(const std::vector<uint8_t> &b, size_t offset)
{
    size_t node = U16(b, 6) + offset, literals = U16(b, 8);
    uint32_t kind = U32(b, node), op = U32(b, node + 4);
    if (kind == 2) {
        static const std::map<uint32_t, std::string> ops = { { 3, "=" }, { 4, "<>" }, { 5, ">" }, { 6, "<" },
            { 7, ">=" }, { 8, "<=" }, { 10, "AND" }, { 11, "OR" }, { 16, "+" }, { 17, "-" }, { 18, "*" }, { 19, "/" } };
        return "(" + Render(b, U16(b, node + 8)) + " " + ops.at(op) + " " + Render(b, U16(b, node + 10)) + ")";
    }
    if (kind == 4) {
        EXPECT_EQ(op, 13u);
        return "[" + std::string(reinterpret_cast<const char *>(&b.at(literals + U16(b, node + 10)))) + "]";
    }
    EXPECT_EQ(kind, 5u);
    EXPECT_EQ(op, 14u);
    uint16_t type = U16(b, node + 8), size = U16(b, node + 10);
    size_t at = literals + U16(b, node + 12);
    double f = 0;
    switch (type) {
    case 1:
        EXPECT_EQ(size, std::strlen(reinterpret_cast<const char *>(&b.at(at))) + 1);
        return "'" + std::string(reinterpret_cast<const char *>(&b.at(at))) + "'";
    case 2: EXPECT_EQ(size, 4); return "d" + std::to_string(static_cast<int32_t>(U32(b, at)));
    case 4: EXPECT_EQ(size, 2); return "b" + std::to_string(static_cast<int16_t>(U16(b, at)));
    case 5: EXPECT_EQ(size, 2); return "h" + std::to_string(static_cast<int16_t>(U16(b, at)));
    case 6: EXPECT_EQ(size, 4); return "i" + std::to_string(static_cast<int32_t>(U32(b, at)));
    case 7: EXPECT_EQ(size, 8); std::memcpy(&f, &b.at(at), 8); return "f" + FloatToStr(f, EnglishFormatSettings());
    case 8: {
        EXPECT_EQ(size, 34);
        FMTBcd bcd;
        std::memcpy(&bcd, &b.at(at), 34);
        return "bcd" + FloatToStr(BCDToFloat(bcd), EnglishFormatSettings());
    }
    case 10: EXPECT_EQ(size, 4); return "t" + std::to_string(static_cast<int32_t>(U32(b, at)));
    case 11: EXPECT_EQ(size, 8); std::memcpy(&f, &b.at(at), 8); return "ts" + std::to_string(static_cast<int64_t>(f));
    }
    return "?";
}

std::string Hex(const std::vector<uint8_t> &b)
{
    std::string s;
    for (uint8_t c : b)
        s += (s.empty() ? "" : " ") + IntToHex(c, 2);
    return s;
}

// A table of orders: a column of each kind the compiler types, one with a
// blank in its name, and a column holding blanks (NULL).
class FilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir_ = std::filesystem::temp_directory_path() / ("orvex-filter-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "orders.db").string();
        CreateDatabaseFile(file_);
        db_ = std::make_unique<TDatabase>(nullptr);
        db_->SetDatabaseName("filter-setup-" + std::to_string(n));
        db_->Params()->Add("PATH=" + file_);
        db_->Execute("CREATE TABLE orders (Id INTEGER PRIMARY KEY, City VARCHAR(120), Qty INTEGER, Price FLOAT,"
                     " Sold DATE, At TIME, Stamp DATETIME, Paid BOOLEAN, Small SMALLINT, Amount NUMERIC(10,2),"
                     " \"Ship To\" VARCHAR(20))");
    }
    void Open()
    {
        table = std::make_unique<TTable>(nullptr);
        table->SetDatabaseName(file_);
        table->SetTableName("orders");
        table->Open();
    }
    void TearDown() override
    {
        table.reset();
        db_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Compile(const std::string &expression)
    {
        std::vector<uint8_t> block;
        if (!qxBuildFilterBlock(expression, table.get(), block))
            return "refused";
        EXPECT_EQ(U16(block, 0), 1);
        EXPECT_EQ(U16(block, 2), block.size());
        EXPECT_EQ(U16(block, 6), 10);
        EXPECT_EQ(U16(block, 8), 10 + 14 * U16(block, 4));
        return Render(block, 0);
    }
    std::vector<int> Ids()
    {
        std::vector<int> ids;
        for (table->First(); !table->Eof(); table->Next())
            ids.push_back(static_cast<int>(table->FieldByName("Id")->AsInteger()));
        return ids;
    }

    std::filesystem::path dir_;
    std::string file_;
    std::unique_ptr<TDatabase> db_;
    std::unique_ptr<TTable> table;
};

TEST_F(FilterTest, BlocksAreLaidOutByteForByte)
{
    Open();
    struct {
        const char *Expression, *Bytes;
    } cases[] = {
        { "Qty > 5",
            "01 00 3C 00 03 00 0A 00 34 00 "
            "02 00 00 00 05 00 00 00 1C 00 0E 00 00 00 "
            "05 00 00 00 0E 00 00 00 06 00 04 00 04 00 "
            "04 00 00 00 0D 00 00 00 01 00 00 00 00 00 "
            "51 74 79 00 05 00 00 00" },
        { "Paid = t",
            "01 00 3B 00 03 00 0A 00 34 00 "
            "02 00 00 00 03 00 00 00 1C 00 0E 00 00 00 "
            "05 00 00 00 0E 00 00 00 04 00 02 00 05 00 "
            "04 00 00 00 0D 00 00 00 01 00 00 00 00 00 "
            "50 61 69 64 00 FF FF" },
        // A field reference on the right once the left is not an operand: fields
        // numbered in emission order, each literal after the one before.
        { "(Qty)-(1) = 2",
            "01 00 5A 00 05 00 0A 00 50 00 "
            "02 00 00 00 03 00 00 00 1C 00 0E 00 00 00 "
            "04 00 00 00 0D 00 00 00 02 00 08 00 00 00 "
            "02 00 00 00 11 00 00 00 38 00 2A 00 00 00 "
            "05 00 00 00 0E 00 00 00 06 00 04 00 04 00 "
            "04 00 00 00 0D 00 00 00 01 00 00 00 00 00 "
            "51 74 79 00 01 00 00 00 32 00" },
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> block;
        ASSERT_TRUE(qxBuildFilterBlock(c.Expression, table.get(), block)) << c.Expression;
        EXPECT_EQ(Hex(block), c.Bytes) << c.Expression;
    }
}

struct TGrammarCase {
    const char *Name, *Expression, *Tree;
};

TEST_F(FilterTest, GrammarGivesTheTree)
{
    Open();
    TFormatSettingsScope english(EnglishFormatSettings());
    const TGrammarCase cases[] = {
        { "quoted text then AND", "City = \"New York\" AND Qty > 5", "(([City] = 'New York') AND ([Qty] > i5))" },
        { "unquoted text swallows words", "City = New York AND Qty > 5", "([City] = 'New York AND Qty')" },
        { "AND and OR group from the left", "(Qty = 1) OR (Price = 2) AND (Paid = t)",
            "((([Qty] = i1) OR ([Price] = f2)) AND ([Paid] = b-1))" },
        { "keywords in any case", "Qty > 5 and Qty < 9 Or Qty = 20", "((([Qty] > i5) AND ([Qty] < i9)) OR ([Qty] = i20))" },
        { "== ends after its left operand", "Qty == 5", "[Qty]" },
        { "trailing text ignored", "Qty = 5 ) junk", "([Qty] = i5)" },
        { "tabs and blanks", "\t Qty\t>=\t7  ", "([Qty] >= i7)" },
        { "all comparisons", "(Qty <> 1) AND (Qty <= 2) OR (Qty < 3)", "((([Qty] <> i1) AND ([Qty] <= i2)) OR ([Qty] < i3))" },
        { "+ and - group from the left", "(Qty)+(1)-(2) > 0", "((([Qty] + i1) - [2]) > [0])" },
        { "field name with a blank", "Ship To = \"Lima\"", "([Ship To] = 'Lima')" },
        { "case-insensitive field", "qty = 3", "([qty] = i3)" },
        { "NULL is a text like any other", "City = NULL", "([City] = 'NULL')" },
        { "boolean x is false", "Paid = x", "([Paid] = b0)" },
        { "boolean quoted True", "Paid = \"True\"", "([Paid] = b-1)" },
        { "negative number", "Qty > -3", "([Qty] > i-3)" },
        { "float", "Price < 2.75", "([Price] < f2.75)" },
        { "16-bit keeps the low bits", "Small = 70000", "([Small] = h4464)" },
        { "BCD with the field's places", "Amount >= 12.5", "([Amount] >= bcd12.5)" },
        { "date, month first", "Sold = \"1/2/1998\"", "([Sold] = d729391)" },
        { "time", "At = \"10:30\"", "([At] = t37800000)" },
        { "timestamp with a time", "Stamp > \"1/2/1998 10:30\"", "([Stamp] > ts63019420200000)" },
        { "timestamp without a time", "Stamp > \"1/2/1998\"", "([Stamp] > ts63019382400000)" },
        { "missing operand", "Qty = ", "refused" },
        { "unclosed parenthesis", "(Qty = 1", "refused" },
        { "unclosed quote", "City = \"Lima", "refused" },
        { "empty parentheses", "()", "refused" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Compile(c.Expression), c.Tree) << c.Name;
}

TEST_F(FilterTest, SpanishSettingsReadDayFirstAndDecimalComma)
{
    Open();
    TFormatSettingsScope spanish(SpanishFormatSettings());
    EXPECT_EQ(Compile("Sold = \"1/2/1998\""), "([Sold] = d729421)");
    EXPECT_EQ(Compile("Price = 2,5"), "([Price] = f2.5)");
}

TEST_F(FilterTest, UnknownFieldWarnsWithTheTokenAndRefuses)
{
    Open();
    TBoxRecorder boxes;
    EXPECT_EQ(Compile("Nope = 1"), "refused");
    EXPECT_EQ(Compile("City = \"x\" AND Ship = 2"), "refused");
    EXPECT_EQ(boxes.Texts, (std::vector<std::string>{ "Warning: Nope\rField not found in Table. ",
                               "Warning: Ship\rField not found in Table. " }));
    boxes.Texts.clear();
    EXPECT_EQ(Compile("Qty = "), "refused");
    EXPECT_TRUE(boxes.Texts.empty());
}

TEST_F(FilterTest, ConstantThatDoesNotConvertRaises)
{
    Open();
    TFormatSettingsScope english(EnglishFormatSettings());
    std::vector<uint8_t> block;
    for (const char *expression : { "Qty = abc", "Price = x1", "Sold = \"31/31/1998\"", "At = \"99:99\"" })
        EXPECT_THROW(qxBuildFilterBlock(expression, table.get(), block), EConvertError) << expression;
}

TEST_F(FilterTest, LongTextIsKeptWholeAndOversizedBlocksAreRefused)
{
    db_->Execute("INSERT INTO orders (Id, City) VALUES (1, '" + std::string(100, 'a') + "'), (2, '"
        + std::string(64, 'a') + "b')");
    Open();
    hDBIFilter handle = 0;
    ASSERT_TRUE(CompileFilter("City = \"" + std::string(100, 'a') + "\"", table.get(), handle, false));
    EXPECT_NE(handle, 0);
    EXPECT_EQ(Ids(), (std::vector<int>{ 1 }));

    std::vector<uint8_t> block;
    EXPECT_FALSE(qxBuildFilterBlock("City = \"" + std::string(70000, 'a') + "\"", table.get(), block));
    hDBIFilter kept = handle;
    EXPECT_FALSE(CompileFilter("City = \"" + std::string(70000, 'a') + "\"", table.get(), handle, false));
    EXPECT_EQ(handle, kept);
    EXPECT_EQ(Ids(), (std::vector<int>{ 1 }));
}

TEST_F(FilterTest, FailedCompileKeepsTheOldFilter)
{
    db_->Execute("INSERT INTO orders (Id, Qty) VALUES (1, 1), (2, 2), (3, 3)");
    Open();
    TBoxRecorder boxes;
    hDBIFilter handle = 0;
    ASSERT_TRUE(CompileFilter("Qty > 1", table.get(), handle, false));
    hDBIFilter installed = handle;
    EXPECT_EQ(Ids(), (std::vector<int>{ 2, 3 }));
    EXPECT_FALSE(CompileFilter("Nope = 1", table.get(), handle, false));
    EXPECT_FALSE(CompileFilter("(Qty = 1", table.get(), handle, false));
    EXPECT_THROW(CompileFilter("Qty = abc", table.get(), handle, false), EConvertError);
    EXPECT_EQ(handle, installed);
    EXPECT_EQ(Ids(), (std::vector<int>{ 2, 3 }));

    // A block the engine refuses (a field reference to a column that is not there).
    EXPECT_FALSE(CompileFilter("(Qty)+(1)-(2) > 0", table.get(), handle, false));
    EXPECT_EQ(handle, installed);
    EXPECT_EQ(Ids(), (std::vector<int>{ 2, 3 }));

    ASSERT_TRUE(CompileFilter("Qty < 3", table.get(), handle, false));
    EXPECT_EQ(Ids(), (std::vector<int>{ 1, 2 }));
    ASSERT_TRUE(CompileFilter("", table.get(), handle, false));
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(Ids(), (std::vector<int>{ 1, 2, 3 }));
}

// Every letter a user types is part of an unquoted name, however many bytes
// it takes.
TEST_F(FilterTest, UnquotedConstantsKeepAccentedLetters)
{
    db_->Execute("INSERT INTO orders (Id, City) VALUES (1, 'Ávila'), (2, 'Málaga'), (3, 'Écija'),"
                 " (4, 'NÚÑEZ'), (5, 'Íscar'), (6, 'Avila')");
    Open();
    hDBIFilter handle = 0;
    const std::pair<const char *, int> cases[] = {
        { "City = Ávila", 1 }, { "City = Málaga", 2 }, { "City = Écija", 3 },
        { "City = NÚÑEZ", 4 }, { "City = Íscar", 5 },
    };
    for (const auto &[expression, id] : cases) {
        ASSERT_TRUE(CompileFilter(expression, table.get(), handle, false)) << expression;
        EXPECT_EQ(Ids(), (std::vector<int>{ id })) << expression;
    }
}

// Nesting is bounded, so no expression can run the compiler out of stack;
// what goes past the bound is refused like any other faulty text.
TEST_F(FilterTest, NestingDeeperThanTheBoundIsRefused)
{
    db_->Execute("INSERT INTO orders (Id, Qty) VALUES (1, 1), (2, 2)");
    Open();
    auto nested = [](int depth) { return std::string(depth, '(') + "Qty > 1" + std::string(depth, ')'); };
    std::vector<uint8_t> block;
    EXPECT_TRUE(qxBuildFilterBlock(nested(kFilterMaxNesting), table.get(), block));
    EXPECT_FALSE(qxBuildFilterBlock(nested(kFilterMaxNesting + 1), table.get(), block));
    EXPECT_FALSE(qxBuildFilterBlock(nested(11000), table.get(), block));
    EXPECT_FALSE(qxBuildFilterBlock(std::string(200000, '('), table.get(), block));
    EXPECT_FALSE(qxBuildFilterBlock("Qty > 1 AND " + std::string(200000, '(') + "Qty", table.get(), block));
    // Products group to the right and nest as deep as parentheses do.
    std::string product = "(Qty)";
    for (int i = 0; i < 2 * kFilterMaxNesting; ++i)
        product += " * (Qty + 1)";
    EXPECT_FALSE(qxBuildFilterBlock(product + " > 1", table.get(), block));
    // A long flat chain does not nest and stands until the block is full.
    std::string chain = "Qty > 1";
    for (int i = 0; i < 100000; ++i)
        chain += " OR (Qty > 1)";
    EXPECT_FALSE(qxBuildFilterBlock(chain, table.get(), block));

    // Through the table's own filter lines: refused with the usual word, and
    // the table stays as it was.
    TqxTable qx(nullptr);
    qx.SetDatabaseName(file_);
    qx.SetTableName("orders");
    qx.Open();
    TBoxRecorder boxes;
    TStringList lines;
    lines.Add(nested(11000));
    qx.SetqxFilter(&lines);
    EXPECT_EQ(boxes.Texts, std::vector<std::string>({ "Warning: Fail to set filter" }));
    lines.Clear();
    lines.Add(nested(kFilterMaxNesting));
    qx.SetqxFilter(&lines);
    std::vector<int> ids;
    for (qx.First(); !qx.Eof(); qx.Next())
        ids.push_back(static_cast<int>(qx.FieldByName("Id")->AsInteger()));
    EXPECT_EQ(ids, (std::vector<int>{ 2 }));
}

TEST_F(FilterTest, ClosedTableIsLeftAlone)
{
    Open();
    table->Close();
    hDBIFilter handle = 7;
    EXPECT_TRUE(CompileFilter("Nope = 1", table.get(), handle, false));
    EXPECT_EQ(handle, 0);
}

TEST_F(FilterTest, RecordFilterCallbackIsInstalledAndDropped)
{
    db_->Execute("INSERT INTO orders (Id, Qty) VALUES (1, 1), (2, 2), (3, 3), (4, 4)");
    Open();
    hDBIFilter handle = 0;
    static TDataSet *seen;
    seen = nullptr;
    auto evenIds = [](void *clientData, const TEngineRow &row) -> int {
        seen = static_cast<TDataSet *>(clientData);
        return row.Values[0].AsInteger() % 2 == 0;
    };
    ASSERT_TRUE(qxSetRecordFilter(evenIds, table.get(), handle));
    EXPECT_NE(handle, 0);
    EXPECT_EQ(Ids(), (std::vector<int>{ 2, 4 }));
    EXPECT_EQ(seen, table.get());
    ASSERT_TRUE(qxSetRecordFilter(nullptr, table.get(), handle));
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(Ids(), (std::vector<int>{ 1, 2, 3, 4 }));
}

// A record callback that sets a compiled filter while it runs: the row in
// hand was read before that filter was there, so it must pass all of it.
TEST_F(FilterTest, FilterSetByARecordCallbackHoldsForTheRowInHand)
{
    db_->Execute("INSERT INTO orders (Id, City) VALUES (1, 'Lima'), (2, 'Quito'), (3, 'Lima'), (4, 'Quito')");
    Open();
    static TTable *target;
    static std::vector<uint8_t> block;
    static hDBIFilter added;
    target = table.get(), added = 0;
    ASSERT_TRUE(qxBuildFilterBlock("City = \"Quito\"", table.get(), block));
    auto addOnce = [](void *, const TEngineRow &) -> int {
        if (!added) {
            added = target->Handle()->AddFilter(nullptr, 1, false, block.data(), block.size(), nullptr);
            target->Handle()->ActivateFilter(added);
        }
        return 1;
    };
    hDBIFilter handle = 0;
    ASSERT_TRUE(qxSetRecordFilter(addOnce, table.get(), handle));
    ASSERT_NE(added, 0);
    EXPECT_EQ(table->FieldByName("Id")->AsInteger(), 2);
    EXPECT_EQ(Ids(), (std::vector<int>{ 2, 4 }));
}

// Random expressions over generated rows, in both regional settings: the
// engine's answer through the compiled block, walked either way, must be the
// rows SQLite's own WHERE gives, and the same rows the block's own test keeps
// when SQLite decides nothing (the block run as a record callback). The
// expressions mix comparisons SQLite decides with ones it leaves to the
// block (a sum or a product compared with a field). Rows past the first 10,000 hold what SQL compares
// otherwise than the block (texts in number columns, floats and huge numbers
// in integer ones, blobs, an integer a float constant cannot tell from its
// neighbour): only the two walks are compared there.
TEST_F(FilterTest, CompiledFiltersSelectWhatSqlSelects)
{
    TBoxRecorder boxes;
    std::mt19937 random(1998);
    const char *cities[] = { "Lima", "Quito", "New York", "Cali" };
    std::string rows;
    for (int id = 1; id <= 10000; ++id) {
        std::string city = random() % 7 == 0 ? "NULL" : std::string("'") + cities[random() % 4] + "'";
        rows += (rows.empty() ? "" : ",") + std::string("(") + std::to_string(id) + "," + city + ","
            + std::to_string(random() % 50) + "," + std::to_string(random() % 400 / 4.0) + ","
            + std::to_string(35790 + random() % 30) + "," + std::to_string(random() % 2) + ","
            + std::to_string(random() % 40 / 4.0) + ")";
    }
    db_->Execute("INSERT INTO orders (Id, City, Qty, Price, Sold, Paid, Amount) VALUES " + rows);
    db_->Execute("INSERT INTO orders (Id, City, Qty, Price, Sold, Paid, Amount) VALUES (10001, 7, 'abc', 'x', '35800', 2,"
                 " 'x'), (10002, x'4c696d61', 12.5, 9007199254740993, 35800.5, -1, 9007199254740993), (10003, 'Lima',"
                 " 9007199254740993, 25, x'00', NULL, 9007199254740992), (10004, 'lima', -3, -0.0, NULL, 1, -0.0),"
                 " (10005, 'Cali', 49.0, 100, 35810, 0, x'35')");
    Open();
    static const TFilterExpression *own;
    auto ownTest = [](void *, const TEngineRow &row) -> int { return own->Accepts(row); };
    auto walk = [&](bool backwards) {
        std::vector<int> ids;
        if (backwards) {
            for (table->Last(); !table->Bof(); table->Prior())
                ids.insert(ids.begin(), static_cast<int>(table->FieldByName("Id")->AsInteger()));
        } else
            ids = Ids();
        return ids;
    };
    auto upTo10000 = [](std::vector<int> ids) {
        std::erase_if(ids, [](int id) { return id > 10000; });
        return ids;
    };
    const char *ops[] = { "=", "<>", "<", ">", "<=", ">=" };
    for (bool spanish : { false, true }) {
        TFormatSettingsScope settings(spanish ? SpanishFormatSettings() : EnglishFormatSettings());
        auto atom = [&](std::string &sql) {
            std::string op = ops[random() % 6];
            switch (random() % 8) {
            case 0: {
                std::string city = cities[random() % 4];
                sql = "City " + op + " '" + city + "'";
                return "City " + op + " \"" + city + "\"";
            }
            case 1: {
                std::string n = std::to_string(random() % 50);
                sql = "Qty " + op + " " + n;
                return "Qty " + op + " " + n;
            }
            case 2: {
                std::string f = std::to_string(random() % 400 / 4.0).substr(0, 5);
                sql = "Price " + op + " " + f;
                if (spanish)
                    std::replace(f.begin(), f.end(), '.', ',');
                return "Price " + op + " " + f;
            }
            case 3: {
                int day = static_cast<int>(random() % 30) + 1; // January 1998: 35795 + day
                sql = "Sold " + op + " " + std::to_string(35795 + day);
                std::string date = spanish ? std::to_string(day) + "/1/1998" : "1/" + std::to_string(day) + "/1998";
                return "Sold " + op + " \"" + date + "\"";
            }
            case 4: {
                // 2^53 as a float cannot tell 2^53 + 1 from 2^53, and neither can the block.
                std::string a = random() % 4 ? std::to_string(random() % 40 / 4.0).substr(0, 4) : "9007199254740992";
                sql = "Amount " + op + " " + a;
                if (spanish)
                    std::replace(a.begin(), a.end(), '.', ',');
                return "Amount " + op + " " + a;
            }
            // An operator takes its operands in parentheses: "Qty * 2" is one name.
            case 5: sql = "Qty + 1 " + op + " Price"; return "(Qty)+(1) " + op + " Price";
            case 6: sql = "Qty * 2 " + op + " Price"; return "(Qty)*(2) " + op + " Price";
            default: {
                bool t = random() % 2;
                sql = "Paid = " + std::string(t ? "1" : "0");
                return std::string("Paid = ") + (t ? "t" : "f");
            }
            }
        };
        for (int round = 0; round < 100; ++round) {
            std::string sql, text = "", atomSql;
            int atoms = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < atoms; ++i) {
                std::string a = atom(atomSql);
                if (i == 0) {
                    text = "(" + a + ")";
                    sql = "(" + atomSql + ")";
                } else {
                    std::string op = random() % 2 ? "AND" : "OR";
                    text += " " + op + " (" + a + ")";
                    sql = "(" + sql + " " + op + " (" + atomSql + "))";
                }
            }
            hDBIFilter handle = 0;
            ASSERT_TRUE(CompileFilter(text, table.get(), handle, false)) << text;
            std::vector<int> narrowed = walk(false);
            EXPECT_EQ(walk(true), narrowed) << text;
            qxDropFilter(table.get(), handle);

            std::vector<uint8_t> block;
            ASSERT_TRUE(qxBuildFilterBlock(text, table.get(), block));
            TFilterExpression expression(block.data(), block.size(), table->Handle()->Fields());
            own = &expression;
            ASSERT_TRUE(qxSetRecordFilter(ownTest, table.get(), handle));
            EXPECT_EQ(walk(false), narrowed) << text;
            EXPECT_EQ(walk(true), narrowed) << text;
            qxSetRecordFilter(nullptr, table.get(), handle);

            TQuery query(nullptr);
            query.SetDatabaseName(file_);
            query.SQL()->Add("SELECT Id FROM orders WHERE Id <= 10000 AND " + sql + " ORDER BY Id");
            query.Open();
            std::vector<int> expected;
            for (; !query.Eof(); query.Next())
                expected.push_back(static_cast<int>(query.FieldByName("Id")->AsInteger()));
            EXPECT_EQ(upTo10000(narrowed), expected) << text << "\n" << sql;
        }
    }
    EXPECT_TRUE(boxes.Texts.empty());
}

} // namespace
