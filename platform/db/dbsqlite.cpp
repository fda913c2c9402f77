// The engine over SQLite. No function of ours is ever registered with SQLite
// (no collation, no user function, no hook), so no exception can unwind
// through its C frames: every row is stepped out of SQLite, the statement is
// reset, and only then do filters and callbacks see it.
#include "platform/db/dbengine.h"
#include "platform/db/dbengine_p.h"

#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>

namespace {

std::string Quote(const std::string &ident)
{
    std::string q = "\"";
    for (char c : ident)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

[[noreturn]] void Fail(sqlite3 *db, int rc, const std::string &detail)
{
    DBIResult code = DBIERR_SQLERROR;
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: code = DBIERR_LOCKED; break;
    case SQLITE_READONLY: code = DBIERR_TABLEREADONLY; break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: code = DBIERR_HEADERCORRUPT; break;
    case SQLITE_CANTOPEN: code = DBIERR_OPENFAILED; break;
    case SQLITE_CONSTRAINT:
        code = rc == SQLITE_CONSTRAINT_NOTNULL ? DBIERR_REQDERR : DBIERR_KEYVIOL;
        break;
    default: break;
    }
    std::string text = detail;
    if (code == DBIERR_SQLERROR || code == DBIERR_KEYVIOL || code == DBIERR_REQDERR)
        text = (db ? std::string(sqlite3_errmsg(db)) : std::string(sqlite3_errstr(rc)))
            + (detail.empty() ? "" : "\n" + detail);
    throw EDBEngineError(code, text);
}

// Field types by declared column type, and back.
TEngineFieldDesc DescFromDecl(const std::string &name, const std::string &declared, bool rowIdAlias)
{
    TEngineFieldDesc f;
    f.Name = name;
    std::string decl = UpperCase(Trim(declared));
    std::string word = decl.substr(0, decl.find_first_of("( "));
    std::vector<int> args;
    if (size_t open = decl.find('('); open != std::string::npos) {
        std::string inner = decl.substr(open + 1, decl.find(')', open) - open - 1);
        size_t start = 0;
        while (start <= inner.size()) {
            size_t comma = inner.find(',', start);
            args.push_back(StrToIntDef(Trim(inner.substr(start, comma - start)), 0));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    static const std::map<std::string, TFieldType> words = {
        {"VARCHAR", ftString}, {"CHAR", ftString}, {"CHARACTER", ftString}, {"TEXT", ftString},
        {"STRING", ftString}, {"NVARCHAR", ftString}, {"ALPHA", ftString}, {"SMALLINT", ftSmallint},
        {"SHORT", ftSmallint}, {"INTEGER", ftInteger}, {"INT", ftInteger}, {"LONG", ftInteger},
        {"BIGINT", ftInteger}, {"WORD", ftWord}, {"BOOLEAN", ftBoolean}, {"BOOL", ftBoolean},
        {"LOGICAL", ftBoolean}, {"FLOAT", ftFloat}, {"DOUBLE", ftFloat}, {"REAL", ftFloat},
        {"NUMBER", ftFloat}, {"MONEY", ftCurrency}, {"CURRENCY", ftCurrency}, {"NUMERIC", ftBCD},
        {"DECIMAL", ftBCD}, {"BCD", ftBCD}, {"DATE", ftDate}, {"TIME", ftTime}, {"DATETIME", ftDateTime},
        {"TIMESTAMP", ftDateTime}, {"BYTES", ftBytes}, {"VARBYTES", ftVarBytes}, {"AUTOINC", ftAutoInc},
        {"BLOB", ftBlob}, {"BINARY", ftBlob}, {"MEMO", ftMemo}, {"CLOB", ftMemo}, {"GRAPHIC", ftGraphic},
        {"IMAGE", ftGraphic}, {"FMTMEMO", ftFmtMemo}, {"OLE", ftParadoxOle}, {"DBOLE", ftDBaseOle},
        {"TYPEDBINARY", ftTypedBinary},
    };
    auto it = words.find(word);
    f.Type = it == words.end() ? ftString : it->second;
    if (rowIdAlias)
        f.Type = ftAutoInc;
    switch (f.Type) {
    case ftString: f.Size = !args.empty() && args[0] > 0 ? args[0] : 255; break;
    case ftBytes:
    case ftVarBytes: f.Size = !args.empty() ? args[0] : 16; break;
    case ftBCD:
        f.Precision = !args.empty() && args[0] > 0 ? args[0] : 32;
        f.Size = args.size() > 1 ? args[1] : 0;
        break;
    default: break;
    }
    return f;
}

std::string DeclFromDesc(const TEngineFieldDesc &f)
{
    switch (f.Type) {
    case ftString: return "VARCHAR(" + IntToStr(f.Size > 0 ? f.Size : 255) + ")";
    case ftSmallint: return "SMALLINT";
    case ftInteger: return "INTEGER";
    case ftWord: return "WORD";
    case ftBoolean: return "BOOLEAN";
    case ftFloat: return "FLOAT";
    case ftCurrency: return "MONEY";
    case ftBCD: return "NUMERIC(" + IntToStr(f.Precision > 0 ? f.Precision : 32) + "," + IntToStr(f.Size) + ")";
    case ftDate: return "DATE";
    case ftTime: return "TIME";
    case ftDateTime: return "DATETIME";
    case ftBytes: return "BYTES(" + IntToStr(f.Size) + ")";
    case ftVarBytes: return "VARBYTES(" + IntToStr(f.Size) + ")";
    case ftAutoInc: return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case ftBlob: return "BLOB";
    case ftMemo: return "MEMO";
    case ftGraphic: return "GRAPHIC";
    case ftFmtMemo: return "FMTMEMO";
    case ftParadoxOle: return "OLE";
    case ftDBaseOle: return "DBOLE";
    case ftTypedBinary: return "TYPEDBINARY";
    default: return "";
    }
}

bool IsTextType(TFieldType t) { return t == ftString || t == ftMemo || t == ftFmtMemo; }

void Bind(sqlite3 *db, sqlite3_stmt *s, int index, const Variant &v, TFieldType type)
{
    int rc = SQLITE_OK;
    if (v.IsNull())
        rc = sqlite3_bind_null(s, index);
    else if (IsBlobType(type) && !IsTextType(type))
        rc = sqlite3_bind_blob64(s, index, v.Text().data(), v.Text().size(), SQLITE_TRANSIENT);
    else if (type == ftUnknown) {
        switch (v.Kind()) {
        case Variant::vkInteger: rc = sqlite3_bind_int64(s, index, v.AsInteger()); break;
        case Variant::vkFloat: rc = sqlite3_bind_double(s, index, v.AsFloat()); break;
        default: rc = sqlite3_bind_text64(s, index, v.Text().data(), v.Text().size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
    } else if (IsTextType(type))
        rc = sqlite3_bind_text64(s, index, v.AsString().data(), v.AsString().size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    else if (type == ftSmallint || type == ftInteger || type == ftWord || type == ftBoolean || type == ftAutoInc)
        rc = sqlite3_bind_int64(s, index, type == ftBoolean ? (v.AsBoolean() ? 1 : 0) : v.AsInteger());
    else
        rc = sqlite3_bind_double(s, index, v.AsFloat());
    if (rc != SQLITE_OK)
        Fail(db, rc, "");
}

// The value of a column of the row a statement stands on, read through one
// call into the statement.
Variant Column(sqlite3_stmt *s, int col)
{
    sqlite3_value *v = sqlite3_column_value(s, col);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Variant(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return Variant(sqlite3_value_double(v));
    case SQLITE_NULL: return Variant();
    default: {
        const char *p = static_cast<const char *>(sqlite3_value_blob(v));
        return Variant(std::string(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v))));
    }
    }
}

// A prepared statement in use: reset and unbound when the scope ends, so
// that nothing of SQLite stays active while our own code runs.
class TUse
{
public:
    explicit TUse(sqlite3_stmt *s) : s_(s) {}
    ~TUse()
    {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    sqlite3_stmt *operator*() const { return s_; }

private:
    sqlite3_stmt *s_;
};

// How many write or transaction statements the connection ran. A rollback
// undoes changes that neither the connection's change counter nor the
// file's data version tells of, so what a cursor learnt of its rows holds
// only while this count stays as it was.
using TWriteCount = std::shared_ptr<uint64_t>;

struct TSql {
    std::string Text;
    std::vector<Variant> Args;
};

class SqliteDatabase;

// Prepared statements by text, finalized with their owner.
class TStatementCache
{
public:
    explicit TStatementCache(sqlite3 *db) : db_(db) {}
    ~TStatementCache() { Clear(); }
    sqlite3_stmt *Get(const std::string &sql, const std::string &detail)
    {
        auto it = cache_.find(sql);
        if (it != cache_.end())
            return it->second;
        sqlite3_stmt *s = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
        if (rc != SQLITE_OK)
            Fail(db_, rc, detail);
        if (cache_.size() > 64)
            Clear();
        cache_.emplace(sql, s);
        return s;
    }
    void Clear()
    {
        for (auto &[text, s] : cache_)
            sqlite3_finalize(s);
        cache_.clear();
    }

private:
    sqlite3 *db_;
    std::map<std::string, sqlite3_stmt *> cache_;
};

// Rows read ahead of a cursor's position, in the order they are handed out,
// their values kept in one run (one allocation for a read, not one per row).
// End says the read reached the last row in its direction.
struct TReadAhead {
    std::vector<int64_t> RowIds;
    std::vector<Variant> Values;
    size_t Next = 0;
    bool End = false;

    // Whether nothing is held: no row left and no end known.
    bool empty() const { return Next == RowIds.size() && !End; }
    void clear() { RowIds.clear(), Values.clear(), Next = 0, End = false; }
    // The next row (width values each); false at the end.
    bool Take(TEngineRow &row, size_t width)
    {
        if (Next == RowIds.size())
            return false;
        row.RowId = RowIds[Next];
        auto first = Values.begin() + static_cast<std::ptrdiff_t>(Next * width);
        row.Values.assign(std::make_move_iterator(first), std::make_move_iterator(first + static_cast<std::ptrdiff_t>(width)));
        ++Next;
        return true;
    }
};

struct TFilter {
    hDBIFilter Handle = 0;
    void *ClientData = nullptr;
    int Priority = 0;
    std::unique_ptr<TFilterExpression> Expression;
    TFilterExpression::TSqlSplit Sql; // of the expression: what SQLite decides, and the rest
    TRecordFilterCallback Callback = nullptr;
    bool Active = false;
};

class SqliteCursor : public TEngineCursor
{
public:
    SqliteCursor(sqlite3 *db, std::string schema, std::string table, std::vector<TEngineFieldDesc> fields,
        std::vector<TEngineIndexDesc> indexes, bool readOnly, bool dropOnClose, std::string rowIdAlias,
        bool replaces, TWriteCount writes)
        : db_(db)
        , stmts_(db)
        , schema_(std::move(schema))
        , table_(std::move(table))
        , fields_(std::move(fields))
        , indexes_(std::move(indexes))
        , readOnly_(readOnly)
        , dropOnClose_(dropOnClose)
        , rowIdAlias_(std::move(rowIdAlias))
        , replaces_(replaces)
        , writes_(std::move(writes))
    {
        qualified_ = Quote(schema_) + "." + Quote(table_);
        selectList_ = "rowid";
        for (const TEngineFieldDesc &f : fields_)
            selectList_ += IsBlobType(f.Type) ? ", length(" + Quote(f.Name) + ")" : ", " + Quote(f.Name);
        SwitchToIndex("");
    }
    ~SqliteCursor() override
    {
        stmts_.Clear();
        if (dropOnClose_)
            sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + qualified_).c_str(), nullptr, nullptr, nullptr);
    }

    const std::vector<TEngineFieldDesc> &Fields() const override { return fields_; }
    std::vector<TEngineIndexDesc> Indexes() const override { return indexes_; }
    const std::string &TableName() const override { return table_; }
    bool ReadOnly() const override { return readOnly_; }

    void SwitchToIndex(const std::string &indexName) override
    {
        for (const TEngineIndexDesc &ix : indexes_)
            if (indexName.empty() ? ix.Primary : SameText(ix.Name, indexName)) {
                SwitchToFields(ix.Fields, ix.Descending, ix.CaseInsensitive);
                return;
            }
        if (!indexName.empty())
            throw EDBEngineError(DBIERR_NOSUCHINDEX, "Index: " + indexName);
        SwitchToFields({}, false, false);
    }
    void SwitchToFields(const std::vector<std::string> &names, bool descending, bool caseInsensitive) override
    {
        std::vector<int> keys;
        for (const std::string &n : names) {
            int i = FieldIndex(n);
            if (i < 0)
                throw EDBEngineError(DBIERR_NOSUCHINDEX, "Field: " + n);
            keys.push_back(i);
        }
        // The count does not depend on the order; the places learnt do.
        TKnown kept;
        if (low_.empty() && high_.empty())
            kept.Stamped = known_.Stamped, kept.Writes = known_.Writes, kept.DataVersion = known_.DataVersion,
            kept.Count = known_.Count;
        rowIdOrder_ = keys.empty() || (keys.size() == 1 && SameText(fields_[keys[0]].Name, rowIdAlias_));
        keyFields_ = std::move(keys);
        nullCheck_ = {};
        descending_ = descending;
        caseInsensitive_ = caseInsensitive;
        ResetRange();
        known_ = std::move(kept);
        SetToBegin();
    }
    const std::vector<int> &KeyFields() const override { return keyFields_; }
    bool KeyCaseInsensitive() const override { return caseInsensitive_; }

    void SetRange(const std::vector<Variant> &low, bool lowInclusive, const std::vector<Variant> &high,
        bool highInclusive) override
    {
        low_ = low, high_ = high;
        if (low_.size() > keyFields_.size())
            low_.resize(keyFields_.size());
        if (high_.size() > keyFields_.size())
            high_.resize(keyFields_.size());
        lowInclusive_ = lowInclusive, highInclusive_ = highInclusive;
        known_ = {};
        SetToBegin();
    }
    void ResetRange() override
    {
        low_.clear(), high_.clear();
        known_ = {};
        SetToBegin();
    }

    void SetToBegin() override { Reposition(pBegin); }
    void SetToEnd() override { Reposition(pEnd); }
    bool SetToRowId(int64_t rowId) override
    {
        TEngineRow row;
        if (!ReadRow(rowId, true, row) || !Passes(row))
            return false;
        Reposition(pAt);
        Stand(row);
        return true;
    }
    bool SetToKey(const std::vector<Variant> &key, TKeySearch search, bool partialLastText) override
    {
        std::vector<Variant> k = key;
        if (k.size() > keyFields_.size())
            k.resize(keyFields_.size());
        Reposition(pBegin);
        TSql sql;
        std::string where = RangeWhere(sql);
        std::vector<std::string> exprs = KeyExprs(k.size());
        std::string cond;
        if (search == keySEARCHEQ && !partialLastText)
            cond = EqualTuple(exprs, k, sql);
        else {
            bool after = search == keySEARCHGT;
            // Ascending: key >= value (or >); descending the other way.
            cond = Tuple(exprs, k, descending_ ? (after ? "<" : "<=") : (after ? ">" : ">="), sql);
        }
        where += (where.empty() ? " WHERE " : " AND ") + cond;
        // The first row at or after the key that the filters let through.
        TEngineRow found;
        bool have = false;
        int64_t limit = 16;
        std::string order = OrderBy(+1);
        for (;;) {
            std::vector<TEngineRow> rows = Query(selectList_, where, order, limit, sql);
            for (const TEngineRow &r : rows)
                if (Passes(r)) {
                    found = r, have = true;
                    break;
                }
            if (have || static_cast<int64_t>(rows.size()) < limit)
                break;
            // Continue after the last row read.
            Stand(rows.back());
            TSql next = sql;
            where = RangeWhere(next);
            where += (where.empty() ? " WHERE " : " AND ") + cond + " AND " + After(+1, next);
            sql = next;
            limit = std::min<int64_t>(limit * 4, 4096);
        }
        if (!have) {
            Reposition(pEnd);
            return false;
        }
        Reposition(pAt);
        Stand(found);
        if (search != keySEARCHEQ || !partialLastText)
            return true;
        // A partial text key matches when the row's texts begin with it.
        for (size_t i = 0; i < k.size(); ++i) {
            const Variant &v = found.Values[keyFields_[i]];
            bool last = i + 1 == k.size();
            if (last && partialLastText && k[i].Kind() == Variant::vkText) {
                std::string a = v.AsString(), b = k[i].Text();
                if (caseInsensitive_)
                    a = UpperCase(a), b = UpperCase(b);
                if (a.compare(0, b.size(), b) != 0)
                    return false;
            } else if (CompareValues(v, k[i], caseInsensitive_) != 0)
                return false;
        }
        return true;
    }

    TGetResult GetNextRecord(TEngineRow &row) override { return Step(+1, row); }
    TGetResult GetPriorRecord(TEngineRow &row) override { return Step(-1, row); }
    TGetResult GetRecord(TEngineRow &row) override
    {
        if (pos_ != pAt)
            return grError;
        if (!ReadRow(posRow_, true, row) || !Passes(row))
            return grError;
        return grOK;
    }

    bool ScanForward(int fieldIndex, const std::function<bool(const Variant &)> &match, TEngineRow &row) override
    {
        if (!FiltersDecidedBySql() || IsBlobType(fields_[fieldIndex].Type)) {
            while (Step(+1, row) == grOK)
                if (match(fieldIndex >= 0 ? row.Values[fieldIndex] : Variant()))
                    return true;
            return false;
        }
        // Only the key fields and the searched one are read; RangeWhere
        // holds the filters.
        std::string list = "rowid";
        for (int k : keyFields_)
            list += ", " + Quote(fields_[k].Name);
        list += ", " + Quote(fields_[fieldIndex].Name);
        const int valueCol = static_cast<int>(keyFields_.size()) + 1;
        int64_t limit = 256;
        for (;;) {
            if (pos_ == pEnd)
                return false;
            TSql sql;
            std::string where = RangeWhere(sql);
            if (pos_ == pAt)
                where += (where.empty() ? " WHERE " : " AND ") + After(+1, sql);
            sqlite3_stmt *s = stmts_.Get(
                "SELECT " + list + " FROM " + qualified_ + where + OrderBy(+1) + " LIMIT " + IntToStr(limit),
                "Table: " + table_);
            int64_t matchRow = 0;
            bool matched = false;
            std::vector<Variant> lastKey;
            int64_t lastRow = 0;
            int64_t count = 0;
            {
                TUse use(s);
                BindAll(s, sql.Args);
                int rc;
                Variant v;
                while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
                    ++count;
                    lastRow = sqlite3_column_int64(s, 0);
                    if (sqlite3_column_type(s, valueCol) == SQLITE_TEXT)
                        v.AssignText(reinterpret_cast<const char *>(sqlite3_column_text(s, valueCol)),
                            static_cast<size_t>(sqlite3_column_bytes(s, valueCol)));
                    else
                        v = Column(s, valueCol);
                    // The match runs after the statement is reset below when it
                    // hits, so a throwing test leaves nothing active.
                    if (match(v)) {
                        matchRow = lastRow, matched = true;
                        break;
                    }
                    if (count == limit) {
                        lastKey.clear();
                        for (size_t i = 0; i < keyFields_.size(); ++i)
                            lastKey.push_back(Column(s, static_cast<int>(i) + 1));
                    }
                }
                if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                    Fail(db_, rc, "Table: " + table_);
            }
            if (matched) {
                Reposition(pAt);
                ReadRow(matchRow, false, row);
                Stand(row);
                return true;
            }
            if (count < limit) {
                Reposition(pEnd);
                return false;
            }
            Reposition(pAt);
            posKey_ = lastKey, posRow_ = lastRow;
            limit = std::min<int64_t>(limit * 4, 8192);
        }
    }

    int64_t RecordCount() override
    {
        if (Known() && known_.Count >= 0)
            return known_.Count;
        const bool keep = Learns();
        if (keep)
            Stamp();
        int64_t n = 0;
        if (!FiltersDecidedBySql()) {
            TSaved saved(*this);
            SetToBegin();
            TEngineRow row;
            while (Step(+1, row) == grOK)
                ++n;
        } else {
            TSql sql;
            std::string where = RangeWhere(sql);
            n = ScalarInt("SELECT count(*) FROM " + qualified_ + where, sql);
        }
        if (keep)
            known_.Count = n;
        return n;
    }
    int64_t SeqNo() override
    {
        if (pos_ != pAt)
            return 0;
        if (Known() && known_.AtRow == posRow_ && known_.AtSeqNo > 0)
            return known_.AtSeqNo;
        int64_t n = 0;
        const bool keep = Learns();
        if (keep)
            Stamp();
        if (HasActiveFilters()) {
            TSaved saved(*this);
            int64_t target = posRow_;
            SetToBegin();
            TEngineRow row;
            for (int64_t i = 1; n == 0 && Step(+1, row) == grOK; ++i)
                if (row.RowId == target)
                    n = i;
        } else if (known_.Dense && (posRow_ - known_.First) * Direction() >= 0
            && (posRow_ - known_.First) * Direction() < known_.Count)
            n = (posRow_ - known_.First) * Direction() + 1;
        else {
            TSql sql;
            std::string where = RangeWhere(sql);
            where += (where.empty() ? " WHERE " : " AND ") + After(-1, sql);
            n = ScalarInt("SELECT count(*) FROM " + qualified_ + where, sql) + 1;
        }
        if (keep && n > 0)
            known_.AtRow = posRow_, known_.AtSeqNo = n;
        return n;
    }
    bool SetToSeqNo(int64_t seqNo) override
    {
        TEngineRow row;
        bool found = false;
        if (seqNo < 1)
            Reposition(pEnd);
        else if (HasActiveFilters()) {
            // The filters decide row by row.
            SetToBegin();
            found = true;
            for (int64_t i = 0; found && i < seqNo; ++i)
                found = Step(+1, row) == grOK;
        } else if (Dense()) {
            found = seqNo <= known_.Count && ReadRow(known_.First + (seqNo - 1) * Direction(), true, row);
        } else
            found = SampledRow(seqNo, row);
        if (!found) {
            Reposition(pEnd);
            return false;
        }
        Reposition(pAt);
        Stand(row);
        if (Learns()) {
            Stamp();
            known_.AtRow = row.RowId, known_.AtSeqNo = seqNo;
        }
        return true;
    }
    int CompareRows(int64_t a, int64_t b) override
    {
        if (a == b)
            return 0;
        TEngineRow ra, rb;
        if (!ReadRow(a, false, ra) || !ReadRow(b, false, rb))
            return a < b ? -1 : 1;
        for (int k : keyFields_) {
            int c = CompareValues(ra.Values[k], rb.Values[k], caseInsensitive_);
            if (c != 0)
                return descending_ ? -c : c;
        }
        int c = a < b ? -1 : 1;
        return descending_ ? -c : c;
    }
    void Refresh() override { ahead_.clear(), known_ = {}; }

    int64_t InsertRecord(const std::vector<Variant> &values, const std::vector<bool> &assigned) override
    {
        CheckWritable();
        std::string cols, marks;
        TSql sql;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (assigned[i]) {
                cols += (cols.empty() ? "" : ", ") + Quote(fields_[i].Name);
                marks += marks.empty() ? "?" : ", ?";
            }
        std::string text = cols.empty() ? "INSERT INTO " + qualified_ + " DEFAULT VALUES"
                                        : "INSERT INTO " + qualified_ + " (" + cols + ") VALUES (" + marks + ")";
        const TOwnChange change = BeginChange();
        sqlite3_stmt *s = stmts_.Get(text, "Table: " + table_);
        {
            TUse use(s);
            int n = 0;
            for (size_t i = 0; i < fields_.size(); ++i)
                if (assigned[i])
                    Bind(db_, s, ++n, values[i], fields_[i].Type);
            int rc = sqlite3_step(s);
            if (rc != SQLITE_DONE)
                Fail(db_, rc, "Table: " + table_);
        }
        int64_t id = sqlite3_last_insert_rowid(db_);
        EndChange(change, change.Counted && Member(id) ? 1 : 0);
        TEngineRow row;
        Reposition(pAt);
        if (ReadRow(id, false, row))
            Stand(row);
        return id;
    }
    void ModifyRecord(int64_t rowId, const std::vector<Variant> &values, const std::vector<bool> &assigned) override
    {
        CheckWritable();
        std::string sets;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (assigned[i])
                sets += (sets.empty() ? "" : ", ") + Quote(fields_[i].Name) + " = ?";
        if (sets.empty()) {
            TEngineRow row;
            if (!ReadRow(rowId, false, row))
                throw EDBEngineError(DBIERR_KEYORRECDELETED, "Table: " + table_);
            return;
        }
        const bool was = Known() && known_.Count >= 0 && Member(rowId);
        TOwnChange change = BeginChange();
        // A new rowid makes another row of it: the count is taken again.
        for (size_t i = 0; i < fields_.size(); ++i)
            if (assigned[i] && !rowIdAlias_.empty() && SameText(fields_[i].Name, rowIdAlias_))
                change.Counted = false;
        sqlite3_stmt *s = stmts_.Get("UPDATE " + qualified_ + " SET " + sets + " WHERE rowid = ?", "Table: " + table_);
        {
            TUse use(s);
            int n = 0;
            for (size_t i = 0; i < fields_.size(); ++i)
                if (assigned[i])
                    Bind(db_, s, ++n, values[i], fields_[i].Type);
            sqlite3_bind_int64(s, ++n, rowId);
            int rc = sqlite3_step(s);
            if (rc != SQLITE_DONE)
                Fail(db_, rc, "Table: " + table_);
        }
        if (sqlite3_changes(db_) == 0)
            throw EDBEngineError(DBIERR_KEYORRECDELETED, "Table: " + table_);
        EndChange(change, change.Counted ? (Member(rowId) ? 1 : 0) - (was ? 1 : 0) : 0);
        TEngineRow row;
        Reposition(pAt);
        if (ReadRow(rowId, false, row))
            Stand(row);
    }
    void DeleteRecord(int64_t rowId) override
    {
        CheckWritable();
        TEngineRow row;
        bool had = ReadRow(rowId, false, row);
        const bool was = Known() && known_.Count >= 0 && Member(rowId);
        const TOwnChange change = BeginChange();
        sqlite3_stmt *s = stmts_.Get("DELETE FROM " + qualified_ + " WHERE rowid = ?", "Table: " + table_);
        {
            TUse use(s);
            sqlite3_bind_int64(s, 1, rowId);
            int rc = sqlite3_step(s);
            if (rc != SQLITE_DONE)
                Fail(db_, rc, "Table: " + table_);
        }
        if (!had || sqlite3_changes(db_) == 0)
            throw EDBEngineError(DBIERR_KEYORRECDELETED, "Table: " + table_);
        EndChange(change, was ? -1 : 0);
        // The cursor stays on the crack the row leaves.
        Reposition(pAt);
        Stand(row);
    }
    std::string ReadBlob(int64_t rowId, int fieldIndex) override
    {
        sqlite3_stmt *s = stmts_.Get(
            "SELECT " + Quote(fields_[fieldIndex].Name) + " FROM " + qualified_ + " WHERE rowid = ?", "Table: " + table_);
        TUse use(s);
        sqlite3_bind_int64(s, 1, rowId);
        int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE)
            throw EDBEngineError(DBIERR_KEYORRECDELETED, "Table: " + table_);
        if (rc != SQLITE_ROW)
            Fail(db_, rc, "Table: " + table_);
        return Column(s, 0).AsString();
    }

    hDBIFilter AddFilter(void *clientData, int priority, bool, const uint8_t *expression, size_t expressionSize,
        TRecordFilterCallback callback) override
    {
        TFilter f;
        f.Handle = ++lastFilter_;
        f.ClientData = clientData;
        f.Priority = priority;
        f.Callback = callback;
        if (expression) {
            f.Expression = std::make_unique<TFilterExpression>(expression, expressionSize, fields_);
            f.Sql = f.Expression->SqlCondition(
                [this](int field) { return IsBlobType(fields_[field].Type) ? std::string() : Quote(fields_[field].Name); });
        } else if (!callback)
            throw EDBEngineError(DBIERR_INVALIDFILTER, "No expression and no callback");
        filters_.push_back(std::move(f));
        ++filterChanges_;
        std::stable_sort(filters_.begin(), filters_.end(),
            [](const TFilter &a, const TFilter &b) { return a.Priority < b.Priority; });
        return lastFilter_;
    }
    void ActivateFilter(hDBIFilter filter) override
    {
        FindFilter(filter).Active = true, ahead_.clear(), known_ = {}, ++filterChanges_;
    }
    void DeactivateFilter(hDBIFilter filter) override
    {
        FindFilter(filter).Active = false, ahead_.clear(), known_ = {}, ++filterChanges_;
    }
    void DropFilter(hDBIFilter filter) override
    {
        FindFilter(filter);
        std::erase_if(filters_, [filter](const TFilter &f) { return f.Handle == filter; });
        ahead_.clear();
        known_ = {};
        ++filterChanges_;
    }
    bool HasActiveFilters() const override
    {
        return std::any_of(filters_.begin(), filters_.end(), [](const TFilter &f) { return f.Active; });
    }

    // Whether SQLite alone decides which rows the active filters keep.
    bool FiltersDecidedBySql() const
    {
        return std::all_of(filters_.begin(), filters_.end(),
            [](const TFilter &f) { return !f.Active || (f.Expression && !f.Callback && f.Sql.Rest.empty()); });
    }

    int FieldIndex(const std::string &name) const
    {
        for (size_t i = 0; i < fields_.size(); ++i)
            if (SameText(fields_[i].Name, name))
                return static_cast<int>(i);
        return -1;
    }

private:
    enum TPos { pBegin, pEnd, pAt };

    // What the cursor learnt of its record set (its range and filters
    // applied), with the state of the data it was learnt from: the file's
    // data version tells of other connections, the write count of this one.
    struct TSample {
        std::vector<Variant> Key;
        int64_t RowId = 0;
    };
    struct TKnown {
        bool Stamped = false;
        uint64_t Writes = 0;
        int64_t DataVersion = 0;
        int64_t Count = -1; // -1 until counted
        bool DenseChecked = false, Dense = false;
        int64_t First = 0; // rowid of the first row, when Dense
        std::vector<TSample> Samples; // the rows at places 1, 1 + kSampleStep, 1 + 2 kSampleStep, ...
        bool SamplesEnd = false; // no row at the place after the last sample
        int64_t AtRow = 0, AtSeqNo = 0; // the last row whose place was asked or gone to
    };

    // Keeps and restores the position around a counting walk.
    struct TSaved {
        explicit TSaved(SqliteCursor &c) : c_(c), pos_(c.pos_), key_(c.posKey_), row_(c.posRow_) {}
        ~TSaved()
        {
            c_.Reposition(pos_);
            c_.posKey_ = key_, c_.posRow_ = row_;
        }
        SqliteCursor &c_;
        TPos pos_;
        std::vector<Variant> key_;
        int64_t row_;
    };

    void CheckWritable() const
    {
        if (readOnly_)
            throw EDBEngineError(DBIERR_TABLEREADONLY, "Table: " + table_);
    }

    // What is learnt of the rows is kept only where the rows decide it: a
    // filter callback may answer differently tomorrow.
    bool Learns() const
    {
        return std::none_of(filters_.begin(), filters_.end(), [](const TFilter &f) { return f.Active && f.Callback; });
    }
    int64_t DataVersion()
    {
        return ScalarInt("PRAGMA " + Quote(schema_) + ".data_version", {});
    }
    // Whether what was learnt still holds; forgets it when it does not.
    bool Known()
    {
        if (!known_.Stamped)
            return false;
        if (known_.Writes == *writes_ && known_.DataVersion == DataVersion())
            return true;
        known_ = {};
        return false;
    }
    void Stamp()
    {
        if (known_.Stamped)
            return;
        known_.Stamped = true;
        known_.Writes = *writes_;
        known_.DataVersion = DataVersion();
    }
    int Direction() const { return descending_ ? -1 : 1; }
    // Whether the row is one of the record set.
    bool Member(int64_t rowId)
    {
        TEngineRow row;
        return ReadRow(rowId, true, row) && Passes(row);
    }
    // Around a change of the cursor's own: whether the count may follow it,
    // and then the count after it. The rows' places are learnt again.
    struct TOwnChange {
        bool Counted = false;
        int64_t Changes = 0;
    };
    TOwnChange BeginChange()
    {
        TOwnChange c;
        c.Counted = !replaces_ && Known() && known_.Count >= 0;
        c.Changes = sqlite3_total_changes64(db_);
        ++*writes_;
        return c;
    }
    // delta: the change's effect on the record set. Triggers and cascades
    // change more rows than one, and then the count is taken again.
    void EndChange(const TOwnChange &c, int delta)
    {
        const int64_t count = known_.Count + delta;
        known_ = {};
        if (c.Counted && sqlite3_total_changes64(db_) == c.Changes + 1) {
            Stamp();
            known_.Count = count;
        }
    }

    // Rowids without a gap in a rowid order: the n-th row is the first
    // one's rowid + n − 1 (− with a descending order). Asked once per state
    // of the data; it needs the count.
    bool Dense()
    {
        if (!rowIdOrder_)
            return false;
        Known();
        if (!known_.DenseChecked) {
            const int64_t count = RecordCount();
            TSql first, last;
            std::vector<TEngineRow> a = Query(selectList_, RangeWhere(first), OrderBy(+1), 1, first);
            std::vector<TEngineRow> b = Query(selectList_, RangeWhere(last), OrderBy(-1), 1, last);
            Stamp();
            known_.DenseChecked = true;
            if (!a.empty() && !b.empty() && (b[0].RowId - a[0].RowId) * Direction() + 1 == count)
                known_.Dense = true, known_.First = a[0].RowId;
        }
        return known_.Dense;
    }
    // The n-th row (no filter active) from the nearest learnt row before it:
    // every kSampleStep-th row's key is learnt on the way, so that the next
    // move to any place before the farthest one reached reads a short
    // stretch of at most kSampleStep rows.
    static constexpr int64_t kSampleStep = 1024;
    bool SampledRow(int64_t n, TEngineRow &row)
    {
        Known();
        Stamp();
        const size_t j = static_cast<size_t>((n - 1) / kSampleStep);
        const int64_t r = (n - 1) % kSampleStep;
        while (known_.Samples.size() <= j) {
            if (known_.SamplesEnd)
                return false;
            TSql sql;
            std::string where = RangeWhere(sql);
            int64_t skip = 0;
            if (!known_.Samples.empty()) {
                const TSample &last = known_.Samples.back();
                where += (where.empty() ? " WHERE " : " AND ") + After(+1, last.Key, last.RowId, sql);
                skip = kSampleStep - 1;
            }
            std::vector<TEngineRow> rows = Query(selectList_, where, OrderBy(+1), 1, sql, skip);
            if (rows.empty()) {
                known_.SamplesEnd = true;
                return false;
            }
            TSample sample;
            for (int k : keyFields_)
                sample.Key.push_back(rows[0].Values[k]);
            sample.RowId = rows[0].RowId;
            known_.Samples.push_back(std::move(sample));
        }
        const TSample &from = known_.Samples[j];
        if (r == 0)
            return ReadRow(from.RowId, true, row);
        TSql sql;
        std::string where = RangeWhere(sql);
        where += (where.empty() ? " WHERE " : " AND ") + After(+1, from.Key, from.RowId, sql);
        std::vector<TEngineRow> rows = Query(selectList_, where, OrderBy(+1), 1, sql, r - 1);
        if (rows.empty())
            return false;
        row = std::move(rows[0]);
        return true;
    }

    TFilter &FindFilter(hDBIFilter h)
    {
        for (TFilter &f : filters_)
            if (f.Handle == h)
                return f;
        throw EDBEngineError(DBIERR_INVALIDHNDL, "Filter: " + IntToStr(h));
    }

    void Reposition(TPos pos)
    {
        pos_ = pos;
        ahead_.clear();
        ++moves_;
        batch_ = 16;
    }
    void Stand(const TEngineRow &row)
    {
        posKey_.clear();
        for (int k : keyFields_)
            posKey_.push_back(row.Values[k]);
        posRow_ = row.RowId;
    }

    // Whether every active filter keeps the row, read under RangeWhere: the
    // parts of an expression SQLite decided are not tested again, unless the
    // filters changed since (a callback that set another filter) and the
    // row must pass them all. A callback runs with nothing of SQLite active;
    // what it raises goes on after the position is put back on the row, and
    // a callback that moved this very cursor (a resync from inside the
    // filter) finds it standing on the row again.
    bool Passes(const TEngineRow &row, bool decidedBySql = true)
    {
        const uint64_t changes = filterChanges_;
        for (size_t i = 0; i < filters_.size(); ++i) {
            TFilter &f = filters_[i];
            if (!f.Active)
                continue;
            if (f.Expression && !(decidedBySql ? f.Expression->AcceptsRest(row, f.Sql.Rest) : f.Expression->Accepts(row)))
                return false;
            if (f.Callback) {
                uint64_t moves = moves_;
                TPos pos = pos_;
                std::vector<Variant> key = posKey_;
                int64_t at = posRow_;
                std::exception_ptr raised;
                int keep = 1;
                try {
                    keep = f.Callback(f.ClientData, row);
                } catch (...) {
                    raised = std::current_exception();
                }
                if (moves != moves_) {
                    Reposition(pos);
                    posKey_ = key, posRow_ = at;
                }
                if (raised)
                    std::rethrow_exception(raised);
                if (!keep)
                    return false;
                if (moves != moves_ || changes != filterChanges_)
                    return Passes(row, false); // the filters may have changed under the callback
            }
        }
        return true;
    }

    TGetResult Step(int dir, TEngineRow &row)
    {
        for (;;) {
            if (dir > 0 && pos_ == pEnd)
                return grEOF;
            if (dir < 0 && pos_ == pBegin)
                return grBOF;
            if (ahead_.empty() || aheadDir_ != dir || aheadChanges_ != sqlite3_total_changes64(db_)) {
                TSql sql;
                std::string where = RangeWhere(sql);
                if (pos_ == pAt)
                    where += (where.empty() ? " WHERE " : " AND ") + After(dir, sql);
                ReadAhead(where, OrderBy(dir), batch_, sql);
                batch_ = std::min(batch_ * 2, 1024);
                aheadDir_ = dir;
                aheadChanges_ = sqlite3_total_changes64(db_);
            }
            // Past the last row of a read that reached the end: a filter
            // that keeps no row after these would else have SQLite look
            // through the same rows again to find nothing.
            TEngineRow r;
            if (!ahead_.Take(r, fields_.size())) {
                Reposition(dir > 0 ? pEnd : pBegin);
                return dir > 0 ? grEOF : grBOF;
            }
            pos_ = pAt;
            Stand(r);
            if (Passes(r)) {
                row = std::move(r);
                return grOK;
            }
        }
    }

    // SQL pieces. Keys are compared in the order's collation; a null key
    // sorts first, as SQLite orders it.
    std::vector<std::string> KeyExprs(size_t n) const
    {
        std::vector<std::string> exprs;
        for (size_t i = 0; i < n && i < keyFields_.size(); ++i) {
            const TEngineFieldDesc &f = fields_[keyFields_[i]];
            exprs.push_back(Quote(f.Name) + (caseInsensitive_ && IsTextType(f.Type) ? " COLLATE NOCASE" : ""));
        }
        return exprs;
    }
    std::string OrderBy(int dir) const
    {
        bool desc = (dir < 0) != descending_;
        std::string order = " ORDER BY ";
        for (const std::string &e : KeyExprs(keyFields_.size()))
            order += e + (desc ? " DESC, " : ", ");
        return order + (desc ? "rowid DESC" : "rowid");
    }
    // The lexicographic comparison of expressions with values (op one of
    // < <= > >=), nulls first.
    // Whether any row holds a null in the first n key fields. Asked once per
    // change of the data: the long form of "less than" cannot use an index,
    // so it is kept for tables that need it.
    bool KeysHoldNulls(size_t n) const
    {
        bool nullable = false;
        for (size_t i = 0; i < n && i < keyFields_.size(); ++i)
            nullable = nullable || !fields_[keyFields_[i]].Required;
        if (!nullable)
            return false;
        const int64_t changes = sqlite3_total_changes64(db_);
        if (nullCheck_.Fields == n && nullCheck_.Changes == changes && nullCheck_.Done)
            return nullCheck_.Result;
        std::string cond;
        for (size_t i = 0; i < n && i < keyFields_.size(); ++i)
            cond += (cond.empty() ? "" : " OR ") + Quote(fields_[keyFields_[i]].Name) + " IS NULL";
        sqlite3_stmt *s = stmts_.Get("SELECT 1 FROM " + qualified_ + " WHERE " + cond + " LIMIT 1", "Table: " + table_);
        bool result;
        {
            TUse use(s);
            int rc = sqlite3_step(s);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                Fail(db_, rc, "Table: " + table_);
            result = rc == SQLITE_ROW;
        }
        nullCheck_ = {true, n, changes, result};
        return result;
    }

    // A row value comparison is right only while no null is compared: a null
    // value asks for the long form, and so does "less than" over key fields
    // that may hold nulls (a null key is less than any value, which SQLite's
    // row values do not say).
    std::string Tuple(
        const std::vector<std::string> &exprs, const std::vector<Variant> &values, const std::string &op, TSql &sql) const
    {
        if (exprs.empty())
            return op.size() == 2 ? "1" : "0";
        bool anyNull = std::any_of(values.begin(), values.end(), [](const Variant &v) { return v.IsNull(); });
        if (!anyNull && (op[0] == '>' || !KeysHoldNulls(exprs.size()))) {
            std::string l = "(", r = "(";
            for (size_t i = 0; i < exprs.size(); ++i) {
                l += (i ? ", " : "") + exprs[i];
                r += i ? ", ?" : "?";
                sql.Args.push_back(values[i]);
            }
            return l + ") " + op + " " + r + ")";
        }
        bool greater = op[0] == '>';
        std::string any;
        for (size_t i = 0; i < exprs.size(); ++i) {
            std::string term;
            for (size_t j = 0; j < i; ++j) {
                term += exprs[j] + " IS ? AND ";
                sql.Args.push_back(values[j]);
            }
            if (greater) {
                if (values[i].IsNull())
                    term += exprs[i] + " IS NOT NULL";
                else {
                    term += exprs[i] + " > ?";
                    sql.Args.push_back(values[i]);
                }
            } else if (values[i].IsNull())
                term += "0";
            else {
                term += "(" + exprs[i] + " < ? OR " + exprs[i] + " IS NULL)";
                sql.Args.push_back(values[i]);
            }
            any += (any.empty() ? "(" : " OR (") + term + ")";
        }
        if (op.size() == 2) {
            std::string eq;
            for (size_t i = 0; i < exprs.size(); ++i) {
                eq += (i ? " AND " : "") + exprs[i] + " IS ?";
                sql.Args.push_back(values[i]);
            }
            any += " OR (" + eq + ")";
        }
        return "(" + any + ")";
    }
    static std::string EqualTuple(const std::vector<std::string> &exprs, const std::vector<Variant> &values, TSql &sql)
    {
        std::string eq = "1";
        for (size_t i = 0; i < exprs.size(); ++i) {
            eq += " AND " + exprs[i] + " IS ?";
            sql.Args.push_back(values[i]);
        }
        return "(" + eq + ")";
    }
    // Rows after (dir +1) or before (dir -1) the position, in the order.
    std::string After(int dir, TSql &sql) const { return After(dir, posKey_, posRow_, sql); }
    std::string After(int dir, const std::vector<Variant> &key, int64_t rowId, TSql &sql) const
    {
        std::vector<std::string> exprs = KeyExprs(keyFields_.size());
        exprs.push_back("rowid");
        std::vector<Variant> values = key;
        values.push_back(Variant(rowId));
        bool forward = (dir > 0) != descending_;
        return Tuple(exprs, values, forward ? ">" : "<", sql);
    }
    std::string RangeWhere(TSql &sql) const
    {
        std::string where;
        auto add = [&where](const std::string &c) { where += (where.empty() ? " WHERE " : " AND ") + c; };
        if (!low_.empty() && !high_.empty() && low_ == high_ && lowInclusive_ && highInclusive_)
            add(EqualTuple(KeyExprs(low_.size()), low_, sql));
        else {
            if (!low_.empty())
                add(Tuple(KeyExprs(low_.size()), low_, descending_ ? (lowInclusive_ ? "<=" : "<") : (lowInclusive_ ? ">=" : ">"), sql));
            if (!high_.empty())
                add(Tuple(KeyExprs(high_.size()), high_, descending_ ? (highInclusive_ ? ">=" : ">") : (highInclusive_ ? "<=" : "<"), sql));
        }
        // What SQLite decides of the filters; Passes tests the rest.
        for (const TFilter &f : filters_)
            if (f.Active && !f.Sql.Where.empty()) {
                add(f.Sql.Where);
                sql.Args.insert(sql.Args.end(), f.Sql.Args.begin(), f.Sql.Args.end());
            }
        return where;
    }

    void BindAll(sqlite3_stmt *s, const std::vector<Variant> &args)
    {
        for (size_t i = 0; i < args.size(); ++i)
            Bind(db_, s, static_cast<int>(i) + 1, args[i], ftUnknown);
    }
    TEngineRow RowFrom(sqlite3_stmt *s) const
    {
        TEngineRow r;
        r.RowId = sqlite3_column_int64(s, 0);
        r.Values.reserve(fields_.size());
        for (size_t i = 0; i < fields_.size(); ++i)
            r.Values.push_back(Column(s, static_cast<int>(i) + 1));
        return r;
    }
    std::vector<TEngineRow> Query(const std::string &list, const std::string &where, const std::string &order,
        int64_t limit, const TSql &sql, int64_t offset = 0)
    {
        sqlite3_stmt *s = stmts_.Get("SELECT " + list + " FROM " + qualified_ + where + order + " LIMIT "
                + IntToStr(limit) + (offset > 0 ? " OFFSET " + IntToStr(offset) : ""),
            "Table: " + table_);
        std::vector<TEngineRow> rows;
        TUse use(s);
        BindAll(s, sql.Args);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW)
            rows.push_back(RowFrom(s));
        if (rc != SQLITE_DONE)
            Fail(db_, rc, "Table: " + table_);
        return rows;
    }
    void ReadAhead(const std::string &where, const std::string &order, int64_t limit, const TSql &sql)
    {
        sqlite3_stmt *s = stmts_.Get(
            "SELECT " + selectList_ + " FROM " + qualified_ + where + order + " LIMIT " + IntToStr(limit),
            "Table: " + table_);
        ahead_.clear();
        TUse use(s);
        BindAll(s, sql.Args);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ahead_.RowIds.push_back(sqlite3_column_int64(s, 0));
            for (size_t i = 0; i < fields_.size(); ++i)
                ahead_.Values.push_back(Column(s, static_cast<int>(i) + 1));
        }
        if (rc != SQLITE_DONE) {
            ahead_.clear();
            Fail(db_, rc, "Table: " + table_);
        }
        ahead_.End = static_cast<int64_t>(ahead_.RowIds.size()) < limit;
    }
    bool ReadRow(int64_t rowId, bool inRange, TEngineRow &row)
    {
        TSql sql;
        std::string where = inRange ? RangeWhere(sql) : "";
        where += (where.empty() ? " WHERE " : " AND ") + std::string("rowid = ?");
        sql.Args.push_back(Variant(rowId));
        std::vector<TEngineRow> rows = Query(selectList_, where, "", 1, sql);
        if (rows.empty())
            return false;
        row = std::move(rows.front());
        return true;
    }
    int64_t ScalarInt(const std::string &text, const TSql &sql)
    {
        sqlite3_stmt *s = stmts_.Get(text, "Table: " + table_);
        TUse use(s);
        BindAll(s, sql.Args);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW)
            Fail(db_, rc, "Table: " + table_);
        return sqlite3_column_int64(s, 0);
    }

    sqlite3 *db_;
    mutable TStatementCache stmts_;
    struct TNullCheck {
        bool Done = false;
        size_t Fields = 0;
        int64_t Changes = 0;
        bool Result = false;
    };
    mutable TNullCheck nullCheck_;
    std::string schema_, table_, qualified_, selectList_;
    std::vector<TEngineFieldDesc> fields_;
    std::vector<TEngineIndexDesc> indexes_;
    bool readOnly_, dropOnClose_;
    std::string rowIdAlias_; // the INTEGER PRIMARY KEY column, "" when none
    bool rowIdOrder_ = true; // the order is the rowid's
    bool replaces_; // the table replaces rows on conflicts
    TWriteCount writes_;
    TKnown known_;
    std::vector<int> keyFields_;
    bool descending_ = false, caseInsensitive_ = false;
    std::vector<Variant> low_, high_;
    bool lowInclusive_ = true, highInclusive_ = true;
    TPos pos_ = pBegin;
    std::vector<Variant> posKey_; // key values of the row the cursor stands on (or the crack it left)
    int64_t posRow_ = 0;
    TReadAhead ahead_; // rows read ahead in aheadDir_
    int aheadDir_ = 0;
    int64_t aheadChanges_ = 0; // the connection's change count when they were read
    int batch_ = 16;
    uint64_t moves_ = 0; // counts repositionings, so a callback's moves are seen
    std::vector<TFilter> filters_;
    uint64_t filterChanges_ = 0; // counts changes of the filters, so a callback's changes are seen
    hDBIFilter lastFilter_ = 0;
};

class SqliteStatement : public TEngineStatement
{
public:
    SqliteStatement(SqliteDatabase &db, sqlite3 *h, std::string detail) : db_(db), h_(h), detail_(std::move(detail)) {}
    ~SqliteStatement() override
    {
        if (stmt_)
            sqlite3_finalize(stmt_);
    }
    void SetProp(uint32_t prop, int64_t value) override
    {
        if (prop == stmtBLANKS)
            blanksAsZero_ = value != 0;
        else if (prop != stmtAUXTBLS)
            throw EDBEngineError(DBIERR_NOTSUPPORTED, "Statement property: " + IntToHex(prop, 8));
    }
    void Prepare(TQueryLanguage language, const std::string &text) override
    {
        if (stmt_)
            sqlite3_finalize(stmt_), stmt_ = nullptr;
        sql_ = language == qryLangQBE ? TranslateQbe(text, blanksAsZero_) : text;
        values_.clear();
        if (language == qryLangQBE && sql_.empty())
            return; // a query that checks no field: no answer
        const char *tail = nullptr;
        int rc = sqlite3_prepare_v2(h_, sql_.c_str(), -1, &stmt_, &tail);
        if (rc != SQLITE_OK)
            Fail(h_, rc, detail_);
        if (!stmt_)
            throw EDBEngineError(DBIERR_SQLERROR, "Empty statement");
        if (tail && !Trim(StringReplace(tail, ";", "", true)).empty())
            throw EDBEngineError(DBIERR_SQLERROR, "Only one statement at a time: " + Trim(tail));
        values_.assign(sqlite3_bind_parameter_count(stmt_), {Variant(), ftUnknown});
    }
    std::vector<std::string> ParamNames() const override
    {
        std::vector<std::string> names;
        for (int i = 1; stmt_ && i <= sqlite3_bind_parameter_count(stmt_); ++i) {
            const char *n = sqlite3_bind_parameter_name(stmt_, i);
            names.push_back(n ? std::string(n + 1) : std::string());
        }
        return names;
    }
    void SetParam(const std::string &name, const Variant &value, TFieldType type) override
    {
        std::vector<std::string> names = ParamNames();
        bool found = false;
        for (size_t i = 0; i < names.size(); ++i)
            if (SameText(names[i], name))
                values_[i] = {value, type}, found = true;
        if (!found)
            throw EDBEngineError(DBIERR_SQLERROR, "Parameter not found: " + name);
    }
    std::unique_ptr<TEngineCursor> Execute() override;
    int64_t RowsAffected() const override { return rowsAffected_; }

private:
    void BindValues(sqlite3_stmt *s)
    {
        for (size_t i = 0; i < values_.size(); ++i)
            Bind(h_, s, static_cast<int>(i) + 1, values_[i].first, values_[i].second);
    }

    SqliteDatabase &db_;
    sqlite3 *h_;
    std::string detail_;
    sqlite3_stmt *stmt_ = nullptr;
    std::string sql_;
    std::vector<std::pair<Variant, TFieldType>> values_;
    bool blanksAsZero_ = false;
    int64_t rowsAffected_ = 0;
};

class SqliteDatabase : public TEngineDatabase
{
public:
    SqliteDatabase(std::string fileName, sqlite3 *h, bool readOnly)
        : TEngineDatabase(std::move(fileName))
        , h_(h)
        , readOnly_(readOnly)
    {
    }
    ~SqliteDatabase() override { sqlite3_close_v2(h_); }

    bool ReadOnly() const override { return readOnly_; }
    std::string FileDetail() const { return "File: " + FileName(); }

    std::vector<std::string> TableNames() override
    {
        std::vector<std::string> names;
        for (auto &r : Exec("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name", {}))
            names.push_back(r[0].AsString());
        return names;
    }
    bool TableExists(const std::string &name) override
    {
        return !Exec("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", {Variant(name)}).empty();
    }
    std::unique_ptr<TEngineCursor> OpenTable(const std::string &name, bool readOnly) override
    {
        return OpenIn("main", name, readOnly || readOnly_, false);
    }
    std::unique_ptr<TEngineCursor> OpenIn(const std::string &schema, const std::string &name, bool readOnly, bool drop)
    {
        TRows found = Exec(
            "SELECT name FROM " + Quote(schema) + ".sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
            {Variant(name)});
        if (found.empty())
            throw EDBEngineError(DBIERR_NOSUCHTABLE, "Table: " + name);
        std::string actual = found[0][0].AsString();
        std::vector<TEngineFieldDesc> fields;
        std::vector<std::pair<std::string, std::string>> pkCols;
        int pkCount = 0;
        for (auto &r : Exec("PRAGMA " + Quote(schema) + ".table_info(" + Quote(actual) + ")", {})) {
            std::string col = r[1].AsString(), type = r[2].AsString();
            if (r[5].AsInteger() > 0)
                ++pkCount, pkCols.emplace_back(col, UpperCase(Trim(type)));
            TEngineFieldDesc f = DescFromDecl(col, type, false);
            f.Required = r[3].AsInteger() != 0;
            fields.push_back(f);
        }
        std::vector<TEngineIndexDesc> indexes;
        // An INTEGER PRIMARY KEY column is the rowid itself, unless SQLite
        // keeps an index for the key (as it does for one declared DESC).
        std::string rowIdAlias;
        if (pkCount == 1 && pkCols[0].second == "INTEGER")
            for (TEngineFieldDesc &f : fields)
                if (f.Name == pkCols[0].first) {
                    rowIdAlias = f.Name;
                    f.Type = ftAutoInc;
                    TEngineIndexDesc ix;
                    ix.Fields = {f.Name};
                    ix.Primary = ix.Unique = true;
                    indexes.push_back(ix);
                }
        for (auto &r : Exec("PRAGMA " + Quote(schema) + ".index_list(" + Quote(actual) + ")", {})) {
            std::string ixName = r[1].AsString(), origin = r[3].AsString();
            bool unique = r[2].AsInteger() != 0;
            TEngineIndexDesc ix;
            ix.Name = origin == "pk" ? "" : ixName;
            ix.Primary = origin == "pk";
            ix.Unique = unique;
            bool expression = false, first = true;
            for (auto &c : Exec("PRAGMA " + Quote(schema) + ".index_xinfo(" + Quote(ixName) + ")", {})) {
                if (c[5].AsInteger() == 0)
                    continue; // not a key column
                if (c[1].AsInteger() < 0) {
                    expression = true;
                    continue;
                }
                ix.Fields.push_back(c[2].AsString());
                if (first) {
                    ix.Descending = c[3].AsInteger() != 0;
                    ix.CaseInsensitive = SameText(c[4].AsString(), "NOCASE");
                    first = false;
                }
            }
            if (!expression)
                indexes.push_back(ix);
            if (ix.Primary)
                rowIdAlias = "";
        }
        // A table that resolves conflicts by replacing rows deletes rows that
        // the change counter does not count (see SqliteCursor::Counted).
        bool replaces = false;
        for (auto &r : Exec("SELECT sql FROM " + Quote(schema) + ".sqlite_master WHERE name = ?", {Variant(actual)}))
            replaces = replaces || Pos("REPLACE", UpperCase(r[0].AsString())) > 0;
        return std::make_unique<SqliteCursor>(
            h_, schema, actual, fields, indexes, readOnly, drop, rowIdAlias, replaces, writes_);
    }
    void CreateTable(const std::string &name, const std::vector<TEngineFieldDesc> &fields,
        const std::vector<TEngineIndexDesc> &indexes) override
    {
        CheckWritable();
        if (TableExists(name))
            throw EDBEngineError(DBIERR_TABLEEXISTS, "Table: " + name);
        std::string cols;
        const TEngineIndexDesc *primary = nullptr;
        for (const TEngineIndexDesc &ix : indexes)
            if (ix.Primary)
                primary = &ix;
        bool autoInc = false;
        for (const TEngineFieldDesc &f : fields) {
            cols += (cols.empty() ? "" : ", ") + Quote(f.Name) + " " + DeclFromDesc(f) + (f.Required ? " NOT NULL" : "");
            autoInc = autoInc || f.Type == ftAutoInc;
        }
        if (primary && !(autoInc && primary->Fields.size() == 1)) {
            std::string keys;
            for (const std::string &k : primary->Fields)
                keys += (keys.empty() ? "" : ", ") + Quote(k) + (primary->CaseInsensitive ? " COLLATE NOCASE" : "")
                    + (primary->Descending ? " DESC" : "");
            cols += ", PRIMARY KEY (" + keys + ")";
        }
        Exec("CREATE TABLE " + Quote(name) + " (" + cols + ")", {});
        for (const TEngineIndexDesc &ix : indexes)
            if (!ix.Primary)
                AddIndex(name, ix);
    }
    void DeleteTable(const std::string &name) override
    {
        CheckWritable();
        if (!TableExists(name))
            throw EDBEngineError(DBIERR_NOSUCHTABLE, "Table: " + name);
        Exec("DROP TABLE " + Quote(name), {});
    }
    void EmptyTable(const std::string &name) override
    {
        CheckWritable();
        if (!TableExists(name))
            throw EDBEngineError(DBIERR_NOSUCHTABLE, "Table: " + name);
        Exec("DELETE FROM " + Quote(name), {});
    }
    void AddIndex(const std::string &table, const TEngineIndexDesc &ix) override
    {
        CheckWritable();
        if (ix.Name.empty() || ix.Fields.empty())
            throw EDBEngineError(DBIERR_NOSUCHINDEX, "An index needs a name and fields");
        std::string keys;
        for (const std::string &k : ix.Fields)
            keys += (keys.empty() ? "" : ", ") + Quote(k) + (ix.CaseInsensitive ? " COLLATE NOCASE" : "")
                + (ix.Descending ? " DESC" : "");
        Exec(std::string("CREATE ") + (ix.Unique ? "UNIQUE " : "") + "INDEX " + Quote(ix.Name) + " ON " + Quote(table)
                + " (" + keys + ")",
            {});
    }
    void DeleteIndex(const std::string &, const std::string &indexName) override
    {
        CheckWritable();
        Exec("DROP INDEX " + Quote(indexName), {});
    }
    void BatchCopy(TEngineCursor &source, const std::string &table) override
    {
        CheckWritable();
        std::vector<TEngineFieldDesc> fields = source.Fields();
        for (TEngineFieldDesc &f : fields)
            if (f.Type == ftAutoInc)
                f.Type = ftInteger;
        bool own = !InTransaction();
        if (own)
            StartTransaction();
        try {
            if (TableExists(table))
                DeleteTable(table);
            CreateTable(table, fields, {});
            std::unique_ptr<TEngineCursor> target = OpenTable(table, false);
            std::vector<bool> all(fields.size(), true);
            TEngineRow row;
            source.SetToBegin();
            while (source.GetNextRecord(row) == grOK) {
                for (size_t i = 0; i < fields.size(); ++i)
                    if (IsBlobType(fields[i].Type) && !row.Values[i].IsNull())
                        row.Values[i] = Variant(source.ReadBlob(row.RowId, static_cast<int>(i)));
                target->InsertRecord(row.Values, all);
            }
            if (own)
                Commit();
        } catch (...) {
            if (own)
                Rollback();
            throw;
        }
    }

    std::unique_ptr<TEngineStatement> AllocStatement() override
    {
        return std::make_unique<SqliteStatement>(*this, h_, FileDetail());
    }
    void StartTransaction() override
    {
        if (inTransaction_)
            throw EDBEngineError(DBIERR_SQLERROR, "A transaction is already active");
        Exec("BEGIN", {});
        inTransaction_ = true;
    }
    void Commit() override
    {
        Exec("COMMIT", {});
        inTransaction_ = false;
    }
    void Rollback() override
    {
        inTransaction_ = false;
        Exec("ROLLBACK", {});
    }
    bool InTransaction() const override { return inTransaction_; }

    std::string NewAnswerName() { return "__answer_" + IntToStr(++answers_); }
    void Wrote() { ++*writes_; }
    using TRows = std::vector<std::vector<Variant>>;
    // Runs one statement to its end and gives back its rows, read out of
    // SQLite before any of our code looks at them.
    TRows Exec(const std::string &sql, const std::vector<Variant> &args)
    {
        sqlite3_stmt *s = nullptr;
        int rc = sqlite3_prepare_v2(h_, sql.c_str(), -1, &s, nullptr);
        if (rc != SQLITE_OK)
            Fail(h_, rc, FileDetail());
        TRows rows;
        int cols = sqlite3_column_count(s);
        if (cols == 0 || !sqlite3_stmt_readonly(s))
            ++*writes_;
        for (size_t i = 0; i < args.size(); ++i)
            Bind(h_, s, static_cast<int>(i) + 1, args[i], ftUnknown);
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            rows.emplace_back();
            for (int c = 0; c < cols; ++c)
                rows.back().push_back(Column(s, c));
        }
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            Fail(h_, rc, FileDetail());
        return rows;
    }

private:
    void CheckWritable() const
    {
        if (readOnly_)
            throw EDBEngineError(DBIERR_TABLEREADONLY, FileDetail());
    }

    sqlite3 *h_;
    bool readOnly_;
    bool inTransaction_ = false;
    int answers_ = 0;
    TWriteCount writes_ = std::make_shared<uint64_t>(0);
};

std::unique_ptr<TEngineCursor> SqliteStatement::Execute()
{
    rowsAffected_ = 0;
    if (!stmt_ && sql_.empty())
        return nullptr;
    if (!stmt_)
        throw EDBEngineError(DBIERR_SQLERROR, "The statement is not prepared");
    int cols = sqlite3_column_count(stmt_);
    if (cols == 0 || !sqlite3_stmt_readonly(stmt_)) {
        db_.Wrote();
        int rc;
        {
            TUse use(stmt_);
            BindValues(stmt_);
            while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE)
                Fail(h_, rc, db_.FileDetail());
        }
        for (size_t i = 0; i < values_.size(); ++i)
            Bind(h_, stmt_, static_cast<int>(i) + 1, values_[i].first, values_[i].second);
        rowsAffected_ = sqlite3_changes(h_);
        return nullptr;
    }
    // An answer: its rows go into a temporary table, which the cursor walks
    // and drops when it closes. Column types come from the source columns,
    // else from the first row's values.
    std::vector<TEngineFieldDesc> fields;
    std::vector<int> firstTypes(cols, SQLITE_NULL);
    {
        TUse use(stmt_);
        BindValues(stmt_);
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            for (int c = 0; c < cols; ++c)
                firstTypes[c] = sqlite3_column_type(stmt_, c);
        else if (rc != SQLITE_DONE)
            Fail(h_, rc, db_.FileDetail());
    }
    std::string defs;
    for (int c = 0; c < cols; ++c) {
        std::string name = sqlite3_column_name(stmt_, c);
        for (int n = 1; std::any_of(fields.begin(), fields.end(), [&](const TEngineFieldDesc &f) { return SameText(f.Name, name); }); ++n)
            name = std::string(sqlite3_column_name(stmt_, c)) + "_" + IntToStr(n);
        const char *decl = sqlite3_column_decltype(stmt_, c);
        std::string type = decl ? decl
            : firstTypes[c] == SQLITE_INTEGER ? "INTEGER"
            : firstTypes[c] == SQLITE_FLOAT   ? "FLOAT"
            : firstTypes[c] == SQLITE_BLOB    ? "BLOB"
                                              : "VARCHAR(255)";
        TEngineFieldDesc f = DescFromDecl(name, type, false);
        if (f.Type == ftAutoInc)
            f.Type = ftInteger;
        fields.push_back(f);
        std::string d = DeclFromDesc(f);
        defs += (c ? ", " : "") + Quote(name) + " " + d;
    }
    std::string answer = db_.NewAnswerName();
    db_.Exec("CREATE TEMP TABLE " + Quote(answer) + " (" + defs + ")", {});
    sqlite3_stmt *fill = nullptr;
    int rc = sqlite3_prepare_v2(h_, ("INSERT INTO temp." + Quote(answer) + " " + sql_).c_str(), -1, &fill, nullptr);
    if (rc != SQLITE_OK) {
        db_.Exec("DROP TABLE temp." + Quote(answer), {});
        Fail(h_, rc, db_.FileDetail());
    }
    for (size_t i = 0; i < values_.size(); ++i)
        Bind(h_, fill, static_cast<int>(i) + 1, values_[i].first, values_[i].second);
    rc = sqlite3_step(fill);
    sqlite3_finalize(fill);
    if (rc != SQLITE_DONE) {
        db_.Exec("DROP TABLE temp." + Quote(answer), {});
        Fail(h_, rc, db_.FileDetail());
    }
    return db_.OpenIn("temp", answer, true, true);
}

} // namespace

std::unique_ptr<TEngineDatabase> TEngineDatabase::Open(const std::string &fileName, bool readOnly, bool create)
{
    std::string host = MapPath(fileName);
    struct stat st {};
    bool exists = stat(host.c_str(), &st) == 0;
    if (!exists && !create)
        throw EDBEngineError(DBIERR_NOSUCHFILE, "File: " + fileName);
    if (exists && S_ISDIR(st.st_mode))
        throw EDBEngineError(DBIERR_OPENFAILED, "File: " + fileName);
    if (exists && (st.st_mode & 0222) == 0)
        readOnly = true;
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3 *h = nullptr;
    int rc = sqlite3_open_v2(host.c_str(), &h, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(h);
        Fail(nullptr, rc == SQLITE_CANTOPEN ? SQLITE_CANTOPEN : rc, "File: " + fileName);
    }
    sqlite3_busy_timeout(h, 100);
    sqlite3_extended_result_codes(h, 1);
    // Reading the schema proves the file is a database and that no other
    // program holds it locked.
    sqlite3_stmt *s = nullptr;
    rc = sqlite3_prepare_v2(h, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        sqlite3_finalize(s);
        if (rc == SQLITE_ROW)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(h);
        Fail(nullptr, rc, "File: " + fileName);
    }
    return std::make_unique<SqliteDatabase>(fileName, h, readOnly);
}
