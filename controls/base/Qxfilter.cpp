#include "controls/base/Qxfilter.h"

#include "platform/db/dbtables.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/services.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {

enum TNodeKind : uint8_t { nkComparison, nkLogical, nkArithmetic, nkOperand };

// Operand types, given to a right-hand operand by the field on the left.
enum TOperandType : uint8_t {
    otFieldRef, otString, otFloat, otTimeStamp, otDate, otTime, otBoolean, otInt32, otBCD, otInt16,
};

struct TNode {
    TNodeKind Kind = nkOperand;
    TOperandType Type = otFieldRef;
    int Decimals = 0;
    std::string Text;
    int Offset = 0;
    std::unique_ptr<TNode> Left, Right;
};

TOperandType OperandTypeOf(TFieldType type)
{
    switch (type) {
    case ftString: return otString;
    case ftFloat:
    case ftCurrency: return otFloat;
    case ftDateTime: return otTimeStamp;
    case ftDate: return otDate;
    case ftTime: return otTime;
    case ftBoolean: return otBoolean;
    case ftInteger:
    case ftAutoInc: return otInt32;
    case ftBCD: return otBCD;
    case ftSmallint:
    case ftWord: return otInt16;
    default: return otFieldRef;
    }
}

// The name rule is one of characters, not of bytes: a letter such as "Á"
// takes two bytes of UTF-8, and the second is no letter on its own.
bool IsNameStart(char32_t c)
{
    return c == '!' || c == '#' || c == '$' || c == '*' || c == '+' || c == '-' || c == '/' || c == '@'
        || (c >= 'A' && c <= 'Z') || c == '_' || c == '`' || (c >= 'a' && c <= 'z') || c >= 0x92;
}

bool IsNamePart(char32_t c) { return IsNameStart(c) || c == ' ' || (c >= '0' && c <= '9'); }
bool IsRelChar(char c) { return c == '<' || c == '=' || c == '>'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The most nodes the header's 16-bit sizes allow.
constexpr int kMaxBlockNodes = (0xFFFF - 10) / 14;

// One compile: the remaining input and the table; nothing outlives it.
class TFilterParser
{
public:
    TFilterParser(const std::string &text, TDataSet *table) : input_(text), table_(table) {}

    std::unique_ptr<TNode> Parse() { return ParseL(); }

private:
    std::string input_;
    TDataSet *table_;
    bool afterOperand_ = false;
    bool failed_ = false;
    int nesting_ = 0; // open parentheses and right-grouped products
    int nodes_ = 0;

    // A tree larger than a block can hold is refused as it grows, so a long
    // flat chain never makes a tree too deep to walk.
    bool Count()
    {
        ++nodes_;
        if (nodes_ > kMaxBlockNodes)
            failed_ = true;
        return !failed_;
    }

    // Opens one more level; false, and the parse fails, past the bound.
    bool Nest()
    {
        if (++nesting_ > kFilterMaxNesting)
            failed_ = true;
        return !failed_;
    }

    std::string Peek()
    {
        size_t start = input_.find_first_not_of(" \t");
        input_.erase(0, start == std::string::npos ? input_.size() : start);
        bool keywords = afterOperand_;
        afterOperand_ = false;
        std::string token = Scan(keywords);
        while (!token.empty() && token.back() == ' ')
            token.pop_back();
        return token;
    }

    std::string Scan(bool keywords) const
    {
        const std::string &s = input_;
        if (s.empty())
            return {};
        if (s[0] == '(' || s[0] == ')')
            return s.substr(0, 1);
        if (IsRelChar(s[0]))
            return s.substr(0, s.size() > 1 && IsRelChar(s[1]) ? 2 : 1);
        if (keywords) {
            std::string head = UpperCase(s.substr(0, 3));
            if (head.rfind("AND", 0) == 0)
                return s.substr(0, 3);
            if (head.rfind("OR", 0) == 0)
                return s.substr(0, 2);
        }
        size_t n = 0;
        if (IsNameStart(Utf8Next(s, n))) {
            for (size_t next = n; next < s.size() && IsNamePart(Utf8Next(s, next)); n = next)
                ;
            return s.substr(0, n);
        }
        n = 0;
        n = s[0] == '-' ? 1 : 0;
        if (n < s.size() && IsDigit(s[n])) {
            while (n < s.size() && IsDigit(s[n]))
                ++n;
            std::string separator = CodePointToUtf8(FormatSettings.DecimalSeparator);
            if (s.compare(n, separator.size(), separator) == 0) {
                n += separator.size();
                while (n < s.size() && IsDigit(s[n]))
                    ++n;
            }
            return s.substr(0, n);
        }
        if (s[0] == '"') {
            size_t close = s.find('"', 1);
            return close == std::string::npos ? std::string() : s.substr(0, close + 1);
        }
        return {};
    }

    bool Consume(const std::string &token)
    {
        if (token.empty() || input_.compare(0, token.size(), token) != 0)
            return false;
        input_.erase(0, token.size());
        return true;
    }

    // Joins two children under an operator; the left operand names a field
    // and gives its type to the right one.
    std::unique_ptr<TNode> Reduce(TNodeKind kind, const std::string &op, std::unique_ptr<TNode> left,
        std::unique_ptr<TNode> right)
    {
        if (left->Kind == nkOperand) {
            TField *field = table_->FindField(left->Text);
            if (!field) {
                MessageBox(nullptr, left->Text + "\rField not found in Table. ", "Warning", MB_OK | MB_ICONWARNING);
                failed_ = true;
                return nullptr;
            }
            if (right->Kind == nkOperand) {
                right->Type = OperandTypeOf(field->DataType());
                if (field->DataType() == ftBCD)
                    right->Decimals = field->Size();
            }
        }
        if (!Count())
            return nullptr;
        auto node = std::make_unique<TNode>();
        node->Kind = kind;
        node->Text = op;
        node->Left = std::move(left);
        node->Right = std::move(right);
        return node;
    }

    std::unique_ptr<TNode> ParseL()
    {
        std::unique_ptr<TNode> left = ParseR();
        while (left) {
            afterOperand_ = true;
            std::string token = Peek();
            std::string op = UpperCase(token);
            if (op != "AND" && op != "OR")
                break;
            Consume(token);
            std::unique_ptr<TNode> right = ParseR();
            if (!right)
                return nullptr;
            left = Reduce(nkLogical, op, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<TNode> ParseR()
    {
        std::unique_ptr<TNode> left = ParseE();
        if (!left)
            return nullptr;
        std::string op = Peek();
        if (op != "<" && op != "<>" && op != "<=" && op != ">=" && op != "=" && op != ">")
            return left;
        Consume(op);
        std::unique_ptr<TNode> right = ParseE();
        if (!right)
            return nullptr;
        return Reduce(nkComparison, op, std::move(left), std::move(right));
    }

    std::unique_ptr<TNode> ParseE()
    {
        std::unique_ptr<TNode> left = ParseT();
        while (left) {
            std::string op = Peek();
            if (op != "+" && op != "-")
                break;
            Consume(op);
            std::unique_ptr<TNode> right = ParseT();
            if (!right)
                return nullptr;
            left = Reduce(nkArithmetic, op, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<TNode> ParseT()
    {
        std::unique_ptr<TNode> left = ParseP();
        if (!left)
            return nullptr;
        std::string op = Peek();
        if (op != "*" && op != "/")
            return left;
        Consume(op);
        if (!Nest())
            return nullptr;
        std::unique_ptr<TNode> right = ParseT();
        --nesting_;
        if (!right)
            return nullptr;
        return Reduce(nkArithmetic, op, std::move(left), std::move(right));
    }

    std::unique_ptr<TNode> ParseP()
    {
        if (failed_)
            return nullptr;
        std::string token = Peek();
        if (token == "(") {
            Consume(token);
            if (!Nest())
                return nullptr;
            std::unique_ptr<TNode> inner = ParseL();
            --nesting_;
            if (!inner || Peek() != ")" || !Consume(")"))
                return nullptr;
            return inner;
        }
        if (!Consume(token) || !Count())
            return nullptr;
        auto node = std::make_unique<TNode>();
        node->Text = token;
        return node;
    }
};

uint32_t OperatorCode(const std::string &op)
{
    static const std::pair<const char *, uint32_t> codes[] = {
        { "=", 3 }, { "<>", 4 }, { ">", 5 }, { "<", 6 }, { ">=", 7 }, { "<=", 8 }, { "AND", 10 }, { "OR", 11 },
        { "+", 16 }, { "-", 17 }, { "*", 18 }, { "/", 19 },
    };
    for (const auto &[text, code] : codes)
        if (op == text)
            return code;
    return 0;
}

int CountNodes(const TNode *node) { return node ? 1 + CountNodes(node->Left.get()) + CountNodes(node->Right.get()) : 0; }

// Writes nodes and literals into separate buffers; the pool grows with what
// the expression needs.
class TFilterEmitter
{
public:
    explicit TFilterEmitter(int nodeCount) : nodes_(static_cast<size_t>(nodeCount) * 14), nextSlot_(nodeCount - 1) {}

    void Emit(TNode *node)
    {
        if (node->Left)
            Emit(node->Left.get());
        if (node->Right)
            Emit(node->Right.get());
        node->Offset = nextSlot_-- * 14;
        uint8_t *slot = nodes_.data() + node->Offset;
        if (node->Kind != nkOperand) {
            Put32(slot, 2);
            Put32(slot + 4, OperatorCode(node->Text));
            Put16(slot + 8, node->Left->Offset);
            Put16(slot + 10, node->Right->Offset);
        } else if (node->Type == otFieldRef) {
            Put32(slot, 4);
            Put32(slot + 4, 13);
            Put16(slot + 8, ++fieldCount_);
            Put16(slot + 10, literals_.size());
            AddText(node->Text);
        } else {
            Put32(slot, 5);
            Put32(slot + 4, 14);
            EmitConstant(slot, *node);
        }
    }

    // False when the block does not fit the header's 16-bit sizes.
    bool Finish(std::vector<uint8_t> &block) const
    {
        size_t total = 10 + nodes_.size() + literals_.size();
        if (total > 0xFFFF)
            return false;
        block.assign(10, 0);
        Put16(&block[0], 1);
        Put16(&block[2], total);
        Put16(&block[4], nodes_.size() / 14);
        Put16(&block[6], 10);
        Put16(&block[8], 10 + nodes_.size());
        block.insert(block.end(), nodes_.begin(), nodes_.end());
        block.insert(block.end(), literals_.begin(), literals_.end());
        return true;
    }

private:
    std::vector<uint8_t> nodes_;
    std::vector<uint8_t> literals_;
    int nextSlot_;
    int fieldCount_ = 0;

    static void Put16(uint8_t *p, size_t v)
    {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
    }
    static void Put32(uint8_t *p, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<uint8_t>(v >> (8 * i));
    }

    void AddText(const std::string &text)
    {
        literals_.insert(literals_.end(), text.begin(), text.end());
        literals_.push_back(0);
    }
    template <typename T> void AddValue(const T &value)
    {
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T)); // little-endian host
        literals_.insert(literals_.end(), bytes, bytes + sizeof(T));
    }

    void EmitConstant(uint8_t *slot, const TNode &node)
    {
        std::string text = node.Text;
        bool textual = node.Type == otString || node.Type == otTimeStamp || node.Type == otDate
            || node.Type == otTime || node.Type == otBoolean;
        if (textual && !text.empty() && text[0] == '"')
            text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
        else if (textual)
            text = TrimRight(text);
        uint16_t engineType = 0;
        size_t before = literals_.size();
        Put16(slot + 12, before);
        switch (node.Type) {
        case otString: engineType = 1; AddText(text); break;
        case otFloat: engineType = 7; AddValue(StrToFloat(text)); break;
        case otTimeStamp: {
            engineType = 11;
            TDateTime moment = text.find(' ') != std::string::npos ? StrToDateTime(text) : StrToDate(text);
            AddValue(TimeStampToMSecs(DateTimeToTimeStamp(moment)));
            break;
        }
        case otDate:
            engineType = 2;
            AddValue(static_cast<int32_t>(DateTimeToTimeStamp(std::floor(StrToDate(text))).Date));
            break;
        case otTime: engineType = 10; AddValue(static_cast<int32_t>(DateTimeToTimeStamp(StrToTime(text)).Time)); break;
        case otBoolean:
            engineType = 4;
            AddValue(static_cast<int16_t>(!text.empty() && (text[0] == 'T' || text[0] == 't') ? -1 : 0));
            break;
        case otInt32: engineType = 6; AddValue(static_cast<int32_t>(StrToInt(text))); break;
        case otBCD: engineType = 8; AddValue(FloatToBCD(StrToFloat(text), 32, node.Decimals)); break;
        case otInt16: engineType = 5; AddValue(static_cast<int16_t>(StrToInt(text))); break;
        case otFieldRef: break;
        }
        Put16(slot + 8, engineType);
        Put16(slot + 10, literals_.size() - before);
    }
};

} // namespace

bool qxBuildFilterBlock(const std::string &expression, TDataSet *table, std::vector<uint8_t> &block)
{
    std::unique_ptr<TNode> root = TFilterParser(expression, table).Parse();
    if (!root)
        return false;
    TFilterEmitter emitter(CountNodes(root.get()));
    emitter.Emit(root.get());
    return emitter.Finish(block);
}

void qxDropFilter(TBDEDataSet *dataset, hDBIFilter &handle)
{
    if (handle == 0)
        return;
    if (TEngineCursor *cursor = dataset->Handle()) {
        cursor->DeactivateFilter(handle);
        cursor->DropFilter(handle);
    }
    handle = 0;
}

bool CompileFilter(const std::string &expression, TTable *table, hDBIFilter &handle, bool force)
{
    if (!table->Active() && !force) {
        handle = 0;
        return true;
    }
    if (expression.empty()) {
        qxDropFilter(table, handle);
        if (table->Active())
            table->Refresh();
        return true;
    }
    // Parse and convert first: a faulty expression leaves the old filter in place.
    std::vector<uint8_t> block;
    if (!qxBuildFilterBlock(expression, table, block) || !table->Handle())
        return false;
    hDBIFilter added = 0;
    try {
        added = table->Handle()->AddFilter(nullptr, 1, false, block.data(), block.size(), nullptr);
    } catch (const EDBEngineError &) {
        return false;
    }
    if (added == 0)
        return false;
    qxDropFilter(table, handle);
    handle = added;
    table->Handle()->ActivateFilter(handle);
    if (table->Active())
        table->Refresh();
    return true;
}

bool qxSetRecordFilter(TRecordFilterCallback callback, TBDEDataSet *dataset, hDBIFilter &handle)
{
    qxDropFilter(dataset, handle);
    if (callback) {
        TEngineCursor *cursor = dataset->Handle();
        if (!cursor)
            return false;
        try {
            handle = cursor->AddFilter(dataset, 1, false, nullptr, 0, callback);
        } catch (const EDBEngineError &) {
            handle = 0;
        }
        if (handle == 0)
            return false;
        cursor->ActivateFilter(handle);
    }
    if (dataset->Active()) {
        auto *table = dynamic_cast<TTable *>(dataset);
        if (table && (!table->IndexName().empty() || !table->IndexFieldNames().empty())) {
            table->Refresh();
        } else {
            dataset->UpdateCursorPos();
            dataset->Resync(TResyncMode());
        }
    }
    return true;
}
