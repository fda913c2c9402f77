#include "dbtest.h"

#include <cstring>

namespace {

// Builds filter-expression blocks: nodes are added bottom-up and placed so
// that the root (added last) takes slot 0, as the filter compiler places them.
class TBlock
{
public:
    int Field(const std::string &name)
    {
        int lit = Literal(name.c_str(), name.size() + 1);
        return Node({4, 13, static_cast<uint16_t>(++fields_), static_cast<uint16_t>(lit), 0});
    }
    int String(const std::string &text)
    {
        int lit = Literal(text.c_str(), text.size() + 1);
        return Node({5, 14, 1, static_cast<uint16_t>(text.size() + 1), static_cast<uint16_t>(lit)});
    }
    int Float(double v) { return Node({5, 14, 7, 8, static_cast<uint16_t>(Literal(&v, 8))}); }
    int Int32(int32_t v) { return Node({5, 14, 6, 4, static_cast<uint16_t>(Literal(&v, 4))}); }
    int Bool(bool v)
    {
        int16_t b = v ? -1 : 0;
        return Node({5, 14, 4, 2, static_cast<uint16_t>(Literal(&b, 2))});
    }
    int Bcd(double v, int places)
    {
        FMTBcd b = FloatToBCD(v, 32, places);
        return Node({5, 14, 8, 34, static_cast<uint16_t>(Literal(&b, 34))});
    }
    int Op(uint32_t code, int left, int right) { return Node({2, code, static_cast<uint16_t>(left), static_cast<uint16_t>(right), 0}); }

    // The block: the nodes in reverse order of adding, offsets fixed up.
    std::vector<uint8_t> Bytes() const
    {
        const size_t n = nodes_.size();
        std::vector<uint8_t> b(10 + n * 14 + literals_.size());
        auto put16 = [&b](size_t at, uint16_t v) { b[at] = v & 0xFF, b[at + 1] = v >> 8; };
        auto put32 = [&b](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                b[at + i] = (v >> (8 * i)) & 0xFF;
        };
        put16(0, 1);
        put16(2, static_cast<uint16_t>(b.size()));
        put16(4, static_cast<uint16_t>(n));
        put16(6, 10);
        put16(8, static_cast<uint16_t>(10 + n * 14));
        auto slotOf = [n](int added) { return static_cast<uint16_t>((n - 1 - added) * 14); };
        for (size_t i = 0; i < n; ++i) {
            const TNode &node = nodes_[i];
            size_t at = 10 + slotOf(static_cast<int>(i));
            put32(at, node.Class);
            put32(at + 4, node.Op);
            if (node.Class == 2) {
                put16(at + 8, slotOf(node.A));
                put16(at + 10, slotOf(node.B));
            } else {
                put16(at + 8, node.A);
                put16(at + 10, node.B);
                put16(at + 12, node.C);
            }
        }
        std::copy(literals_.begin(), literals_.end(), b.begin() + 10 + n * 14);
        return b;
    }

private:
    struct TNode {
        uint32_t Class, Op;
        uint16_t A, B, C;
    };
    int Node(TNode n)
    {
        nodes_.push_back(n);
        return static_cast<int>(nodes_.size()) - 1;
    }
    int Literal(const void *p, size_t size)
    {
        int at = static_cast<int>(literals_.size());
        literals_.insert(literals_.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + size);
        return at;
    }
    std::vector<TNode> nodes_;
    std::vector<uint8_t> literals_;
    int fields_ = 0;
};

enum : uint32_t { EQ = 3, NE = 4, GT = 5, LT = 6, GE = 7, LE = 8, AND = 10, OR = 11, ADD = 16, MUL = 18 };

using EngineTest = DbTest;

std::vector<int> Ids(TDataSet &ds)
{
    std::vector<int> out;
    for (ds.First(); !ds.Eof(); ds.Next())
        out.push_back(static_cast<int>(ds.Fields(0)->AsInteger()));
    return out;
}

TEST_F(EngineTest, ExpressionBlocksFilterTheCursor)
{
    Exec("CREATE TABLE items (Id INTEGER PRIMARY KEY, City VARCHAR(20), Qty INTEGER, Price NUMERIC(10,2), Taxed BOOLEAN)");
    Exec("INSERT INTO items VALUES (1, 'Lima', 3, 2.50, 1), (2, 'New York', 9, 1.25, 0), (3, 'Lima', 7, 10, 0),"
         " (4, NULL, 8, 3, 1), (5, 'Quito', 6, NULL, 1)");
    auto t = OpenTable("items");
    struct TCase {
        const char *Name;
        std::function<void(TBlock &)> Build;
        std::vector<int> Kept;
    };
    const std::vector<TCase> cases = {
        {"StringAndNumber", [](TBlock &b) { b.Op(AND, b.Op(EQ, b.Field("City"), b.String("Lima")), b.Op(GT, b.Field("Qty"), b.Int32(5))); }, {3}},
        {"OrGroupsFromTheLeft", [](TBlock &b) { b.Op(AND, b.Op(OR, b.Op(EQ, b.Field("Id"), b.Int32(1)), b.Op(EQ, b.Field("Id"), b.Int32(2))), b.Op(LT, b.Field("Qty"), b.Int32(5))); }, {1}},
        {"BlankComparesFalse", [](TBlock &b) { b.Op(NE, b.Field("City"), b.String("Lima")); }, {2, 5}},
        {"Boolean", [](TBlock &b) { b.Op(EQ, b.Field("Taxed"), b.Bool(true)); }, {1, 4, 5}},
        {"Bcd", [](TBlock &b) { b.Op(GE, b.Field("Price"), b.Bcd(2.5, 2)); }, {1, 3, 4}},
        {"FloatConstant", [](TBlock &b) { b.Op(LE, b.Field("Price"), b.Float(1.25)); }, {2}},
        {"Arithmetic", [](TBlock &b) { b.Op(GT, b.Op(MUL, b.Field("Qty"), b.Field("Price")), b.Float(20)); }, {3, 4}},
        {"FieldAgainstField", [](TBlock &b) { b.Op(GT, b.Field("Qty"), b.Op(ADD, b.Field("Id"), b.Int32(4))); }, {2}},
    };
    for (const TCase &c : cases) {
        TBlock block;
        c.Build(block);
        std::vector<uint8_t> bytes = block.Bytes();
        hDBIFilter h = t->Handle()->AddFilter(nullptr, 1, false, bytes.data(), bytes.size(), nullptr);
        t->Handle()->ActivateFilter(h);
        t->Refresh();
        EXPECT_EQ(Ids(*t), c.Kept) << c.Name;
        t->Handle()->DropFilter(h);
    }
    t->Refresh();
    EXPECT_EQ(Ids(*t).size(), 5u);
}

TEST_F(EngineTest, BrokenExpressionBlocksAreRefusedWithTheirFault)
{
    Exec("CREATE TABLE items (Id INTEGER PRIMARY KEY, City VARCHAR(20))");
    auto t = OpenTable("items");
    // Root at byte 10, the string constant at 24, the field at 38.
    auto good = [] {
        TBlock b;
        int field = b.Field("City");
        int text = b.String("Lima");
        b.Op(EQ, field, text);
        return b.Bytes();
    };
    struct TBroken {
        const char *Name;
        std::function<void(std::vector<uint8_t> &)> Break;
        const char *Fault;
    };
    const std::vector<TBroken> broken = {
        {"ShortHeader", [](auto &b) { b.resize(6); }, "Header shorter than 10 bytes at byte 0"},
        {"Version", [](auto &b) { b[0] = 2; }, "Unknown version 2 at byte 0"},
        {"TotalBeyondBlock", [](auto &b) { b[2] = 0xFF, b[3] = 0x7F; }, "Total size 32767 beyond the block at byte 2"},
        {"LiteralStartMoved", [](auto &b) { b[8] += 1; }, "Literal start does not follow the nodes at byte 8"},
        {"NodeOffsetOutside", [](auto &b) { b[10 + 8] = 14 * 9; }, "Node offset 126 outside the nodes at byte 18"},
        {"NodeOffsetUneven", [](auto &b) { b[10 + 10] = 15; }, "Node offset 15 outside the nodes at byte 20"},
        {"RootPointsAtItself", [](auto &b) { b[10 + 8] = 0; }, "Node reached twice at byte 10"},
        {"UnknownOperator", [](auto &b) { b[10 + 4] = 99; }, "Unknown operator 99 at byte 14"},
        {"UnknownClass", [](auto &b) { b[10 + 14] = 9; }, "Unknown node class 9 at byte 24"},
        {"ConstantOutside", [](auto &b) { b[10 + 14 + 12] = 0xF0; }, "Literal outside the block at byte 36"},
        {"ConstantLongerThanItsLiteral", [](auto &b) { b[10 + 14 + 10] = 0x40; }, "Literal outside the block at byte 36"},
        {"FieldNameOutside", [](auto &b) { b[10 + 28 + 10] = 0xF0; }, "Literal outside the block at byte 48"},
        {"UnknownConstantType", [](auto &b) { b[10 + 14 + 8] = 3; }, "Unknown constant type 3 at byte 32"},
        {"DateOutOfRange", [](auto &b) { b[10 + 14 + 8] = 2; }, "Date constant out of range at byte 36"},
    };
    for (const TBroken &c : broken) {
        std::vector<uint8_t> bytes = good();
        c.Break(bytes);
        EXPECT_EQ(ErrorOf([&] { t->Handle()->AddFilter(nullptr, 1, false, bytes.data(), bytes.size(), nullptr); }),
            std::string("EDBEngineError: Invalid filter expression.\n") + c.Fault)
            << c.Name;
    }
    TBlock unknownField;
    int town = unknownField.Field("Town");
    int x = unknownField.String("x");
    unknownField.Op(EQ, town, x);
    std::vector<uint8_t> bytes = unknownField.Bytes();
    EXPECT_EQ(ErrorOf([&] { t->Handle()->AddFilter(nullptr, 1, false, bytes.data(), bytes.size(), nullptr); }),
        "EDBEngineError: Invalid filter expression.\nUnknown field Town at byte 48");
    EXPECT_EQ(ErrorOf([&] { t->Handle()->DropFilter(77); }), "EDBEngineError: Invalid handle to the function.\nFilter: 77");
}

TEST(BcdTest, TheEnginesFormat)
{
    FMTBcd b = FloatToBCD(-123.45, 32, 2);
    EXPECT_EQ(b.iPrecision, 32);
    EXPECT_EQ(b.iSignSpecialPlaces, 0x80 | 2);
    // 30 whole digits (28 leading zeros, then 123) and 2 places: nibble 27 holds the 1.
    EXPECT_EQ(b.iFraction[13], 0x01);
    EXPECT_EQ(b.iFraction[14], 0x23);
    EXPECT_EQ(b.iFraction[15], 0x45);
    EXPECT_DOUBLE_EQ(BCDToFloat(b), -123.45);
    EXPECT_DOUBLE_EQ(BCDToFloat(FloatToBCD(0.1, 32, 4)), 0.1);
    EXPECT_EQ(FloatToBCD(-0.0, 10, 2).iSignSpecialPlaces, 2); // no negative zero
    EXPECT_EQ(ErrorOf([] { FloatToBCD(12345, 4, 1); }), "EDBEngineError: General SQL error.\nBCD conversion of 12345");
}

TEST_F(EngineTest, QueryByExampleTranslatesItsSubset)
{
    MakeCustomers(6);
    Exec("CREATE TABLE orders (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER, Amount FLOAT)");
    Exec("INSERT INTO orders VALUES (1, 1, 10), (2, 2, NULL), (3, 4, 30), (4, 1, 50)");
    TDatabase db(nullptr);
    db.SetDatabaseName("qbe");
    db.Params()->Add("PATH=" + file_);
    db.Open();
    auto run = [&](const std::string &text) -> std::vector<std::string> {
        auto stmt = db.Handle()->AllocStatement();
        stmt->SetProp(stmtBLANKS, 1);
        stmt->Prepare(qryLangQBE, text);
        std::unique_ptr<TEngineCursor> c = stmt->Execute();
        if (!c)
            return {"no answer"};
        std::vector<std::string> rows;
        TEngineRow row;
        while (c->GetNextRecord(row) == grOK) {
            std::string line;
            for (const Variant &v : row.Values)
                line += (line.empty() ? "" : "|") + v.AsString();
            rows.push_back(line);
        }
        return rows;
    };
    EXPECT_EQ(run("Query\r\n\r\nANSWER: :PRIV:ANSWER.DB\r\n\r\n"
                  "customer | CustNo       | Name  | City     |\r\n"
                  "         | Check _c     | Check | Check    |\r\n\r\n"
                  "orders   | CustNo | Amount |\r\n"
                  "         | _c     | > 20   |\r\n\r\nEndQuery\r\n"),
        std::vector<std::string>({"1|Name0001|Quito", "4|Name0004|Quito"}));
    // Blanks count as zero for numbers.
    EXPECT_EQ(run("Query\n\norders | OrderNo | Amount |\n       | Check   | < 5    |\n\nEndQuery"),
        std::vector<std::string>({"2"}));
    EXPECT_EQ(run("Query\n\ncustomer | City | Name |\n | Check \"Lima\" | CheckPlus |\n\nEndQuery"),
        std::vector<std::string>({"Lima|Name0003", "Lima|Name0006"}));
    EXPECT_EQ(run("Query\n\ncustomer | City | Name |\n | Lima | |\n\nEndQuery"), std::vector<std::string>({"no answer"}));
    struct TRefused {
        const char *Text, *Error;
    };
    for (const TRefused &r : std::vector<TRefused> {
             {"SELECT 1", "The text does not begin with Query"},
             {"Query\n\ncustomer | Name |\n | Check like \"A..\" |\n\nEndQuery", "\"like \"A..\"\""},
             {"Query\n\ncustomer | Name |\n | CheckDescending |\n\nEndQuery", "\"CheckDescending\""},
             {"Query\n\ncustomer | Name |\n | Check |\n | Check |\n\nEndQuery", "More than one condition line for table customer"},
             {"Query\n\ncustomer | Name |\n | Check |\n", "The text does not end with EndQuery"},
             {"Query\n\ncustomer | Name |\n | > _x |\n\nEndQuery", "Example element _x compared before it is given"},
         })
        EXPECT_EQ(ErrorOf([&] { run(r.Text); }), std::string("EDBEngineError: Query by example: syntax not supported.\n") + r.Error)
            << r.Text;
}

TEST_F(EngineTest, AnswersCanBeCopiedIntoTables)
{
    MakeCustomers(4);
    TQuery q(nullptr);
    q.SetDatabaseName(file_);
    q.SQL()->Add("SELECT Name, Balance FROM customer WHERE CustNo > 1");
    q.Open();
    q.DBHandle()->BatchCopy(*q.Handle(), "copy");
    q.Close();
    auto t = OpenTable("copy");
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_STREQ(t->FieldByName("Balance")->ClassName(), "TCurrencyField");
}

} // namespace
