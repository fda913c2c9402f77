#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/variants.h"
#include "platform/rtl/exceptions.h"

// The database engine under the datasets: databases, cursors over tables and
// answers, field and index descriptors, filters, statements and result codes.
// Its one implementation keeps every database in a SQLite file. A cursor walks
// its order with keyset reads, a window of rows at a time, so nothing ever
// reads a whole table to show part of it.

enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
    ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary,
};

bool IsBlobType(TFieldType type); // ftBlob .. ftTypedBinary

// Result codes and their texts.
using DBIResult = uint16_t;
inline constexpr DBIResult DBIERR_NONE = 0;
inline constexpr DBIResult DBIERR_HEADERCORRUPT = 0x2101;
inline constexpr DBIResult DBIERR_BOF = 0x2201;
inline constexpr DBIResult DBIERR_EOF = 0x2202;
inline constexpr DBIResult DBIERR_KEYORRECDELETED = 0x2204;
inline constexpr DBIResult DBIERR_NOCURRREC = 0x2205;
inline constexpr DBIResult DBIERR_RECNOTFOUND = 0x2206;
inline constexpr DBIResult DBIERR_OPENFAILED = 0x2401;
inline constexpr DBIResult DBIERR_INVALIDHNDL = 0x2604;
inline constexpr DBIResult DBIERR_INVALIDFILTER = 0x2613;
inline constexpr DBIResult DBIERR_NOSUCHINDEX = 0x270D;
inline constexpr DBIResult DBIERR_NOSUCHFILE = 0x2712;
inline constexpr DBIResult DBIERR_NOSUCHTABLE = 0x2729;
inline constexpr DBIResult DBIERR_UNKNOWNDB = 0x2734;
inline constexpr DBIResult DBIERR_LOCKED = 0x2801;
inline constexpr DBIResult DBIERR_NOTSUFFFIELDRIGHTS = 0x2901; // 0x2901..0x2903: access rights
inline constexpr DBIResult DBIERR_NOTSUFFTABLERIGHTS = 0x2902;
inline constexpr DBIResult DBIERR_INVALIDPASSWORD = 0x2903;
inline constexpr DBIResult DBIERR_TABLEREADONLY = 0x2A04;
inline constexpr DBIResult DBIERR_KEYVIOL = 0x2601;
inline constexpr DBIResult DBIERR_REQDERR = 0x2704;
inline constexpr DBIResult DBIERR_TABLEEXISTS = 0x2C06;
inline constexpr DBIResult DBIERR_QBESYNTAX = 0x2E01;
inline constexpr DBIResult DBIERR_SQLERROR = 0x3302;
inline constexpr DBIResult DBIERR_NOTSUPPORTED = 0x3C0A;

std::string DbiErrorText(DBIResult code); // "" for an unknown code

// An engine error: its code, and a message made of the code's text and a
// line naming what it concerns ("File: ...", "Table: ...").
class EDBEngineError : public Exception
{
public:
    EDBEngineError(DBIResult code, const std::string &detail);
    const char *ClassName() const override { return "EDBEngineError"; }
    DBIResult ErrorCode() const { return code_; }

private:
    DBIResult code_;
};

// Descriptors.
struct TEngineFieldDesc {
    std::string Name;
    TFieldType Type = ftUnknown;
    int Size = 0; // characters of a string, bytes of ftBytes, decimal places of a BCD
    int Precision = 0; // digits of a BCD
    bool Required = false;
};

enum TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression };
struct TEngineIndexDesc {
    std::string Name; // "" for the primary index
    std::vector<std::string> Fields;
    bool Primary = false;
    bool Unique = false;
    bool Descending = false;
    bool CaseInsensitive = false;
};

// One row as the engine reads it. A blob field holds its length (or null);
// its bytes are read apart with ReadBlob.
struct TEngineRow {
    int64_t RowId = 0;
    std::vector<Variant> Values;
};

// Filters: an expression block (the filter-expression format) or a record
// callback. A callback answers 1 to keep the record and 0 to hide it; an
// exception it raises ends the engine call and is raised again after it.
using TRecordFilterCallback = int (*)(void *clientData, const TEngineRow &row);
using hDBIFilter = int; // 0 for none

// How a key is searched.
enum TKeySearch { keySEARCHEQ, keySEARCHGEQ, keySEARCHGT };

enum TGetResult { grOK, grBOF, grEOF, grError };

// A cursor: an order over a table's rows (an index, a field list or the
// physical order), an optional range, filters, and a position: before the
// first row, after the last, on a row, or on the crack a deleted row left.
class TEngineCursor
{
public:
    virtual ~TEngineCursor() = default;

    // Description
    virtual const std::vector<TEngineFieldDesc> &Fields() const = 0;
    virtual std::vector<TEngineIndexDesc> Indexes() const = 0;
    virtual const std::string &TableName() const = 0;
    virtual bool ReadOnly() const = 0;

    // Order: an index by name ("" the primary index, or the physical order
    // when there is none), or any list of fields.
    virtual void SwitchToIndex(const std::string &indexName) = 0; // DBIERR_NOSUCHINDEX
    virtual void SwitchToFields(const std::vector<std::string> &fields, bool descending, bool caseInsensitive)
        = 0;
    virtual const std::vector<int> &KeyFields() const = 0; // field indexes of the current order
    virtual bool KeyCaseInsensitive() const = 0;

    // Range over the leading key fields; an empty side is open.
    virtual void SetRange(const std::vector<Variant> &low, bool lowInclusive, const std::vector<Variant> &high,
        bool highInclusive) = 0;
    virtual void ResetRange() = 0;

    // Position
    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    virtual bool SetToRowId(int64_t rowId) = 0; // false when the row is gone (or outside range and filters)
    // Puts the cursor on the crack before the first row whose leading key
    // fields match the key as asked; true when a row matches (EQ) or follows.
    virtual bool SetToKey(const std::vector<Variant> &key, TKeySearch search, bool partialLastText) = 0;
    virtual TGetResult GetNextRecord(TEngineRow &row) = 0;
    virtual TGetResult GetPriorRecord(TEngineRow &row) = 0;
    virtual TGetResult GetRecord(TEngineRow &row) = 0; // the row the cursor stands on
    // Moves forward until match answers true for the value of one field;
    // reads only that field while no filter needs the whole row. The cursor
    // stands on the row found, or at the end.
    virtual bool ScanForward(int fieldIndex, const std::function<bool(const Variant &)> &match,
        TEngineRow &row)
        = 0;
    virtual int64_t RecordCount() = 0; // inside the range, filters applied
    virtual int64_t SeqNo() = 0; // 1-based place of the current row in the order, 0 when none
    // Stands on the row at a 1-based place of the order; false, and the
    // cursor at the end, when there are fewer rows.
    virtual bool SetToSeqNo(int64_t seqNo) = 0;
    // Order of two rows: -1, 0 or 1 (0 only for the same row).
    virtual int CompareRows(int64_t rowId1, int64_t rowId2) = 0;
    virtual void Refresh() = 0; // forgets rows read ahead

    // Changes. Insert returns the new row id and stands on it.
    virtual int64_t InsertRecord(const std::vector<Variant> &values, const std::vector<bool> &assigned) = 0;
    virtual void ModifyRecord(int64_t rowId, const std::vector<Variant> &values,
        const std::vector<bool> &assigned) = 0; // DBIERR_KEYORRECDELETED when the row is gone
    virtual void DeleteRecord(int64_t rowId) = 0;
    virtual std::string ReadBlob(int64_t rowId, int fieldIndex) = 0;

    // Filters
    virtual hDBIFilter AddFilter(void *clientData, int priority, bool canAbort, const uint8_t *expression,
        size_t expressionSize, TRecordFilterCallback callback)
        = 0; // DBIERR_INVALIDFILTER for a broken expression block
    virtual void ActivateFilter(hDBIFilter filter) = 0;
    virtual void DeactivateFilter(hDBIFilter filter) = 0;
    virtual void DropFilter(hDBIFilter filter) = 0;
    virtual bool HasActiveFilters() const = 0;
};

// Statement languages and properties.
enum TQueryLanguage { qryLangSQL, qryLangQBE };
inline constexpr uint32_t stmtBLANKS = 0x00060023; // blanks count as zero
inline constexpr uint32_t stmtAUXTBLS = 0x00060026; // keep auxiliary tables

class TEngineStatement
{
public:
    virtual ~TEngineStatement() = default;
    virtual void SetProp(uint32_t prop, int64_t value) = 0;
    virtual void Prepare(TQueryLanguage language, const std::string &text) = 0;
    // Parameter names as the text has them (":name"), in order of appearance.
    virtual std::vector<std::string> ParamNames() const = 0;
    virtual void SetParam(const std::string &name, const Variant &value, TFieldType type) = 0;
    // Runs the statement; an answer (a SELECT, a QBE query) comes back as a
    // read-only cursor, anything else as null.
    virtual std::unique_ptr<TEngineCursor> Execute() = 0;
    virtual int64_t RowsAffected() const = 0;
};

class TEngineDatabase
{
public:
    virtual ~TEngineDatabase() = default;

    const std::string &FileName() const { return fileName_; }
    virtual bool ReadOnly() const = 0;

    // Tables
    virtual std::vector<std::string> TableNames() = 0;
    virtual bool TableExists(const std::string &name) = 0;
    virtual std::unique_ptr<TEngineCursor> OpenTable(const std::string &name, bool readOnly) = 0;
    virtual void CreateTable(const std::string &name, const std::vector<TEngineFieldDesc> &fields,
        const std::vector<TEngineIndexDesc> &indexes)
        = 0;
    virtual void DeleteTable(const std::string &name) = 0;
    virtual void EmptyTable(const std::string &name) = 0;
    virtual void AddIndex(const std::string &table, const TEngineIndexDesc &index) = 0;
    virtual void DeleteIndex(const std::string &table, const std::string &indexName) = 0;
    // Copies every row of a cursor into a new table (replacing one of that
    // name), or makes an answer permanent under a name.
    virtual void BatchCopy(TEngineCursor &source, const std::string &table) = 0;

    // Statements and transactions
    virtual std::unique_ptr<TEngineStatement> AllocStatement() = 0;
    virtual void StartTransaction() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual bool InTransaction() const = 0;

    // Opens a database file: an existing SQLite file, or a new one with
    // create. A file without any write permission is opened read-only, as a
    // file with the read-only attribute is. Errors: DBIERR_NOSUCHFILE,
    // DBIERR_HEADERCORRUPT (not a database), DBIERR_LOCKED, DBIERR_OPENFAILED.
    static std::unique_ptr<TEngineDatabase> Open(const std::string &fileName, bool readOnly, bool create);

protected:
    explicit TEngineDatabase(std::string fileName) : fileName_(std::move(fileName)) {}

private:
    std::string fileName_;
};

// The engine's configuration list: aliases by name, each with its driver and
// the path of its database file. Lists are opened by path, as
// "\Databases\<alias>\db info", and give name/value entries.
struct TEngineAlias {
    std::string Name;
    std::string Driver = "STANDARD";
    std::string Path;
};
std::vector<TEngineAlias> &EngineAliases();
const TEngineAlias *FindEngineAlias(const std::string &name); // case-insensitive
// Raises EDBEngineError DBIERR_UNKNOWNDB when the path names no list.
std::vector<std::pair<std::string, std::string>> OpenCfgInfoList(const std::string &path);

// BCD values in the engine's 34-byte format: precision, sign and places,
// then 64 packed decimal digits.
struct FMTBcd {
    uint8_t iPrecision = 0;
    uint8_t iSignSpecialPlaces = 0; // bit 7 sign, bit 6 special, bits 0-5 places
    uint8_t iFraction[32] = {};
};
static_assert(sizeof(FMTBcd) == 34);
// A value with more whole digits than the precision leaves room for raises
// EDBEngineError DBIERR_SQLERROR.
FMTBcd FloatToBCD(double value, int precision, int places);
double BCDToFloat(const FMTBcd &bcd);

// The filter-expression block: its header and nodes checked against its size.
// Answers the filter as a test of one row (field values by field index);
// raises EDBEngineError DBIERR_INVALIDFILTER naming the fault.
class TFilterExpression
{
public:
    TFilterExpression(const uint8_t *block, size_t size, const std::vector<TEngineFieldDesc> &fields);
    ~TFilterExpression();
    bool Accepts(const TEngineRow &row) const;

    // The filter split for SQL: Where holds the ANDed parts of the filter that
    // SQL answers exactly as Accepts does (comparisons of a field with a
    // constant, and the ANDs and ORs over them), with their arguments; Rest
    // names the other ANDed parts, which a row read under Where must still
    // pass (AcceptsRest). An empty Where narrows nothing and Rest is then the
    // whole filter.
    struct TSqlSplit {
        std::string Where;
        std::vector<Variant> Args;
        std::vector<int> Rest;
    };
    // column gives a field's SQL name, or "" for a field SQL must not compare.
    TSqlSplit SqlCondition(const std::function<std::string(int field)> &column) const;
    bool AcceptsRest(const TEngineRow &row, const std::vector<int> &rest) const;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};
