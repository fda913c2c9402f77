// Filter-expression blocks, as the filter compiler emits them:
//
//   offset 0  version (1)          2  total size        4  node count
//          6  node start (10)      8  literal start
//   nodes: 14 bytes each; +0 class (2 binary, 4 field, 5 constant), +4 operator,
//          binary: +8 left, +10 right (node offsets from the node start);
//          field: +8 field number, +10 name (literal offset);
//          constant: +8 engine type, +10 size, +12 value (literal offset).
//   literals: field names and constant values, from the literal start.
//
// The root is the node at offset 0. Everything is checked once, when the
// block is handed over; a row is then tested by walking the tree.
#include "platform/db/dbengine.h"
#include "platform/db/dbengine_p.h"

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

#include <cmath>
#include <cstring>

namespace {

enum : uint32_t { nodeBINARY = 2, nodeFIELD = 4, nodeCONST = 5 };
enum : uint32_t {
    canEQ = 3, canNE = 4, canGT = 5, canLT = 6, canGE = 7, canLE = 8, canAND = 10, canOR = 11,
    canADD = 16, canSUB = 17, canMUL = 18, canDIV = 19, canFIELD = 13, canCONST = 14,
};
enum : uint16_t {
    fldZSTRING = 1, fldDATE = 2, fldBOOL = 4, fldINT16 = 5, fldINT32 = 6, fldFLOAT = 7, fldBCD = 8,
    fldTIME = 10, fldTIMESTAMP = 11,
};

} // namespace

struct TFilterExpression::Impl {
    struct Node {
        uint32_t Class = 0, Op = 0;
        int Left = -1, Right = -1; // node indexes
        int Field = -1; // field index of a field node
        Variant Value; // a constant's value
    };
    std::vector<Node> Nodes;

    Variant Eval(int index, const TEngineRow &row) const
    {
        const Node &n = Nodes[index];
        if (n.Class == nodeFIELD)
            return row.Values[n.Field];
        if (n.Class == nodeCONST)
            return n.Value;
        if (n.Op == canAND || n.Op == canOR) {
            bool l = Truth(Eval(n.Left, row));
            if (n.Op == canAND && !l)
                return Variant(false);
            if (n.Op == canOR && l)
                return Variant(true);
            return Variant(Truth(Eval(n.Right, row)));
        }
        Variant l = Eval(n.Left, row), r = Eval(n.Right, row);
        if (n.Op >= canADD) {
            if (l.IsNull() || r.IsNull() || l.Kind() == Variant::vkText || r.Kind() == Variant::vkText)
                return Variant();
            double a = l.AsFloat(), b = r.AsFloat();
            switch (n.Op) {
            case canADD: return Variant(a + b);
            case canSUB: return Variant(a - b);
            case canMUL: return Variant(a * b);
            default: return b == 0 ? Variant() : Variant(a / b);
            }
        }
        // A comparison with a blank value is false, whatever the operator.
        if (l.IsNull() || r.IsNull())
            return Variant(false);
        int c = CompareValues(l, r, false);
        switch (n.Op) {
        case canEQ: return Variant(c == 0);
        case canNE: return Variant(c != 0);
        case canGT: return Variant(c > 0);
        case canLT: return Variant(c < 0);
        case canGE: return Variant(c >= 0);
        default: return Variant(c <= 0);
        }
    }
    static bool Truth(const Variant &v) { return !v.IsNull() && v.Kind() != Variant::vkText && v.AsFloat() != 0; }

    // SQL that answers for a node exactly as Eval does, or "" when there is
    // none. Compared without affinity (the unary plus), SQL orders nulls,
    // numbers and texts as CompareValues does; what it orders otherwise is
    // brought to CompareValues' terms. A blob, which CompareValues reads as
    // a text, is cast to one before a text constant (only a blob is not
    // below the empty blob). An integer meets a float constant as a float in
    // CompareValues and as itself in SQL, which differ only when the
    // constant is as large as 2^53, so only then is the integer made a float
    // first. A null compares to nothing in both, and AND and OR over such
    // comparisons keep the same rows in both.
    std::string Exact(int index, const std::function<std::string(int)> &column, std::vector<Variant> &args) const
    {
        const Node &n = Nodes[index];
        if (n.Class != nodeBINARY)
            return {};
        if (n.Op == canAND || n.Op == canOR) {
            const size_t mark = args.size();
            std::string l = Exact(n.Left, column, args);
            std::string r = l.empty() ? std::string() : Exact(n.Right, column, args);
            if (r.empty()) {
                args.resize(mark);
                return {};
            }
            return "(" + l + (n.Op == canAND ? " AND " : " OR ") + r + ")";
        }
        if (n.Op < canEQ || n.Op > canLE)
            return {};
        const Node &l = Nodes[n.Left], &r = Nodes[n.Right];
        if (l.Class != nodeFIELD || r.Class != nodeCONST)
            return {};
        const std::string name = column(l.Field);
        if (name.empty())
            return {};
        std::string value;
        switch (r.Value.Kind()) {
        case Variant::vkInteger: value = "+" + name; break;
        case Variant::vkFloat:
            if (std::isnan(r.Value.AsFloat())) // CompareValues finds NaN equal to everything
                return {};
            if (std::fabs(r.Value.AsFloat()) >= 9007199254740992.0 && std::isfinite(r.Value.AsFloat()))
                value = "(CASE WHEN typeof(" + name + ") = 'integer' THEN " + name + " + 0.0 ELSE +" + name + " END)";
            else
                value = "+" + name;
            break;
        case Variant::vkText:
            value = "(CASE WHEN +" + name + " < x'' THEN +" + name + " ELSE CAST(" + name + " AS TEXT) END) COLLATE BINARY";
            break;
        default: return {};
        }
        static const char *const ops[] = { "=", "<>", ">", "<", ">=", "<=" };
        args.push_back(r.Value);
        return "(" + value + " " + ops[n.Op - canEQ] + " ?)";
    }
    // The ANDed parts below a node: SQL takes those it answers exactly.
    void Split(int index, const std::function<std::string(int)> &column, TSqlSplit &split) const
    {
        const Node &n = Nodes[index];
        if (n.Class == nodeBINARY && n.Op == canAND) {
            Split(n.Left, column, split);
            Split(n.Right, column, split);
            return;
        }
        std::string sql = Exact(index, column, split.Args);
        if (sql.empty())
            split.Rest.push_back(index);
        else
            split.Where += (split.Where.empty() ? "" : " AND ") + sql;
    }
};

namespace {

[[noreturn]] void Broken(const std::string &fault, size_t at)
{
    throw EDBEngineError(DBIERR_INVALIDFILTER, fault + " at byte " + IntToStr(static_cast<int64_t>(at)));
}

// A date or time constant of the node at byte at; one no calendar holds is a
// fault of the block like any other.
template <typename TConvert> TDateTime DateTimeOf(size_t at, TConvert convert)
{
    try {
        return convert();
    } catch (const EConvertError &) {
        Broken("Date constant out of range", at + 12);
    }
}

uint16_t U16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

} // namespace

TFilterExpression::TFilterExpression(
    const uint8_t *block, size_t size, const std::vector<TEngineFieldDesc> &fields)
    : d(std::make_unique<Impl>())
{
    if (!block || size < 10)
        Broken("Header shorter than 10 bytes", 0);
    if (U16(block) != 1)
        Broken("Unknown version " + IntToStr(U16(block)), 0);
    size_t total = U16(block + 2), count = U16(block + 4), nodeStart = U16(block + 6), litStart = U16(block + 8);
    if (total > size)
        Broken("Total size " + IntToStr(static_cast<int64_t>(total)) + " beyond the block", 2);
    if (count == 0)
        Broken("No nodes", 4);
    if (nodeStart != 10)
        Broken("Node start is not 10", 6);
    if (litStart != nodeStart + count * 14 || litStart > total)
        Broken("Literal start does not follow the nodes", 8);
    const size_t litSize = total - litStart;
    auto literal = [&](size_t offset, size_t length, size_t at) {
        if (offset > litSize || length > litSize - offset)
            Broken("Literal outside the block", at);
        return block + litStart + offset;
    };
    auto nodeIndex = [&](uint16_t offset, size_t at) {
        if (offset % 14 != 0 || offset / 14 >= count)
            Broken("Node offset " + IntToStr(offset) + " outside the nodes", at);
        return static_cast<int>(offset / 14);
    };
    d->Nodes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = nodeStart + i * 14;
        const uint8_t *p = block + at;
        Impl::Node &n = d->Nodes[i];
        n.Class = U32(p);
        n.Op = U32(p + 4);
        if (n.Class == nodeBINARY) {
            if (!(n.Op >= canEQ && n.Op <= canLE) && n.Op != canAND && n.Op != canOR && !(n.Op >= canADD && n.Op <= canDIV))
                Broken("Unknown operator " + IntToStr(n.Op), at + 4);
            n.Left = nodeIndex(U16(p + 8), at + 8);
            n.Right = nodeIndex(U16(p + 10), at + 10);
        } else if (n.Class == nodeFIELD) {
            uint16_t nameAt = U16(p + 10);
            const uint8_t *name = literal(nameAt, 1, at + 10);
            size_t len = strnlen(reinterpret_cast<const char *>(name), litSize - nameAt);
            if (len == litSize - nameAt)
                Broken("Field name without its zero byte", at + 10);
            std::string fieldName(reinterpret_cast<const char *>(name), len);
            for (size_t f = 0; f < fields.size() && n.Field < 0; ++f)
                if (SameText(fields[f].Name, fieldName))
                    n.Field = static_cast<int>(f);
            if (n.Field < 0)
                Broken("Unknown field " + fieldName, at + 10);
        } else if (n.Class == nodeCONST) {
            uint16_t type = U16(p + 8), length = U16(p + 10);
            const uint8_t *v = literal(U16(p + 12), length, at + 12);
            auto need = [&](size_t bytes) {
                if (length < bytes)
                    Broken("Constant shorter than its type", at + 10);
            };
            switch (type) {
            case fldZSTRING: n.Value = Variant(std::string(reinterpret_cast<const char *>(v), strnlen(reinterpret_cast<const char *>(v), length))); break;
            case fldFLOAT: {
                need(8);
                double x;
                memcpy(&x, v, 8);
                n.Value = Variant(x);
                break;
            }
            case fldTIMESTAMP: {
                need(8);
                double ms;
                memcpy(&ms, v, 8);
                n.Value = Variant(DateTimeOf(at, [&] { return TimeStampToDateTime(MSecsToTimeStamp(ms)); }));
                break;
            }
            case fldDATE: {
                need(4);
                TTimeStamp ts;
                ts.Date = static_cast<int32_t>(U32(v));
                ts.Time = 0;
                n.Value = Variant(DateTimeOf(at, [&] { return TimeStampToDateTime(ts); }));
                break;
            }
            case fldTIME: need(4); n.Value = Variant(static_cast<double>(U32(v)) / MSecsPerDay); break;
            case fldBOOL: need(2); n.Value = Variant(U16(v) != 0); break;
            case fldINT16: need(2); n.Value = Variant(static_cast<int64_t>(static_cast<int16_t>(U16(v)))); break;
            case fldINT32: need(4); n.Value = Variant(static_cast<int64_t>(static_cast<int32_t>(U32(v)))); break;
            case fldBCD: {
                need(34);
                FMTBcd bcd;
                memcpy(&bcd, v, 34);
                n.Value = Variant(BCDToFloat(bcd));
                break;
            }
            default: Broken("Unknown constant type " + IntToStr(type), at + 8);
            }
        } else
            Broken("Unknown node class " + IntToStr(n.Class), at);
    }
    // The tree below the root must be a tree: no node reached twice, so a
    // block that loops cannot make the test run forever.
    std::vector<bool> seen(count);
    std::vector<int> todo = {0};
    while (!todo.empty()) {
        int i = todo.back();
        todo.pop_back();
        if (seen[i])
            Broken("Node reached twice", nodeStart + static_cast<size_t>(i) * 14);
        seen[i] = true;
        if (d->Nodes[i].Class == nodeBINARY)
            todo.push_back(d->Nodes[i].Left), todo.push_back(d->Nodes[i].Right);
    }
}

TFilterExpression::~TFilterExpression() = default;

bool TFilterExpression::Accepts(const TEngineRow &row) const { return Impl::Truth(d->Eval(0, row)); }

TFilterExpression::TSqlSplit TFilterExpression::SqlCondition(const std::function<std::string(int field)> &column) const
{
    TSqlSplit split;
    d->Split(0, column, split);
    return split;
}

bool TFilterExpression::AcceptsRest(const TEngineRow &row, const std::vector<int> &rest) const
{
    for (int node : rest)
        if (!Impl::Truth(d->Eval(node, row)))
            return false;
    return true;
}
