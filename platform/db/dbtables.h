#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/sets.h"
#include "platform/db/db.h"
#include "platform/rtl/strings.h"

// Sessions, databases and the datasets over the engine: tables, queries and
// stored procedures.
//
// A DatabaseName names a TDatabase component, an alias of the engine's
// configuration (its path is the database file), or a database file itself.

class TDatabase;

class TSession : public TComponent
{
public:
    explicit TSession(TComponent *owner);
    ~TSession() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Aliases of the engine's configuration
    void AddStandardAlias(const std::string &name, const std::string &path, const std::string &driver = "STANDARD");
    void DeleteAlias(const std::string &name);
    bool IsAlias(const std::string &name) const;
    void GetAliasNames(TStrings &list) const;
    void GetAliasParams(const std::string &alias, TStrings &list) const; // PATH=..., EDBEngineError when unknown
    std::string GetAliasDriverName(const std::string &alias) const;

    // Databases
    TDatabase *FindDatabase(const std::string &name) const;
    TDatabase *OpenDatabase(const std::string &name); // a temporary one when no component has the name
    void CloseDatabase(TDatabase *database);
    void GetDatabaseNames(TStrings &list) const;
    void GetTableNames(const std::string &databaseName, TStrings &list);
    int DatabaseCount() const { return static_cast<int>(databases_.size()); }
    TDatabase *Databases(int index) const { return databases_.at(index); }

    const std::string &PrivateDir() const { return privateDir_; }
    void SetPrivateDir(const std::string &dir) { privateDir_ = dir; }
    bool KeepConnections() const { return keepConnections_; }
    void SetKeepConnections(bool keep) { keepConnections_ = keep; }

private:
    friend class TDatabase;
    std::vector<TDatabase *> databases_;
    std::string privateDir_;
    bool keepConnections_ = true;
};

// The default session, created on first use.
TSession *Session();

class TDatabase : public TComponent
{
public:
    explicit TDatabase(TComponent *owner);
    ~TDatabase() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string &name);
    const std::string &AliasName() const { return aliasName_; }
    void SetAliasName(const std::string &name);
    const std::string &DriverName() const { return driverName_; }
    void SetDriverName(const std::string &name);
    // PATH=<database file>; READ ONLY=TRUE opens the file for reading only.
    TStrings *Params() const { return params_.get(); }
    bool KeepConnection() const { return keepConnection_; }
    void SetKeepConnection(bool keep) { keepConnection_ = keep; }
    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool prompt) { loginPrompt_ = prompt; }
    bool Temporary() const { return temporary_; }

    bool Connected() const { return handle_ != nullptr; }
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool IsSQLBased() const; // every driver but the standard one
    std::string FileName() const; // the database file this database opens

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const;
    int64_t Execute(const std::string &sql); // rows affected

    TEngineDatabase *Handle() const { return handle_.get(); }
    int DataSetCount() const { return static_cast<int>(dataSets_.size()); }
    TDataSet *DataSets(int index) const { return dataSets_.at(index); }

protected:
    void Loaded() override;

private:
    friend class TSession;
    friend class TDBDataSet;
    void CheckInactive() const;
    std::string databaseName_, aliasName_, driverName_;
    std::unique_ptr<TStringList> params_;
    bool keepConnection_ = true, loginPrompt_ = false, temporary_ = false, streamedConnected_ = false;
    int refCount_ = 0;
    std::unique_ptr<TEngineDatabase> handle_;
    std::vector<TDataSet *> dataSets_;
};

// A dataset over an engine cursor.
class TBDEDataSet : public TDataSet
{
public:
    explicit TBDEDataSet(TComponent *owner);
    ~TBDEDataSet() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TEngineCursor *Handle() const { return cursor_.get(); }
    int RecordCount() override;
    int RecNo() override;
    void SetRecNo(int recNo) override;
    bool IsSequenced() override;
    bool BookmarkValid(const TBookmark &bookmark) override;
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) override;
    std::string ReadBlobData(TField *field, const TRecBuf &buffer) override;
    // The row id a bookmark names.
    static int64_t BookmarkRowId(const TBookmark &bookmark);
    // A row read by the engine as a record buffer of this dataset, calculated
    // fields included (for reading records without moving the dataset).
    void RowToBuffer(const TEngineRow &row, TRecBuf &buffer);
    // Runs action with the fields reading a row the engine offers (inside a
    // record-filter callback); the dataset's buffers stay as they are.
    void WithEngineRow(const TEngineRow &row, const std::function<void()> &action);

protected:
    virtual std::unique_ptr<TEngineCursor> CreateHandle() = 0;
    virtual void DestroyHandle();
    virtual void PrepareCursor() {}
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return cursor_ != nullptr; }
    void InternalInitFieldDefs() override;
    void InternalFirst() override;
    void InternalLast() override;
    TGetResult GetRecord(TRecBuf &buffer, TGetMode mode, bool doCheck) override;
    void InternalSetToRecord(const TRecBuf &buffer) override;
    void InternalGotoBookmark(const TBookmark &bookmark) override;
    void InternalEdit() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalRefresh() override;
    bool GetCanModify() const override;
    void CheckCanModify() const override;
    void SetFilterData(bool filtered, const TFilterRecordEvent &handler) override;
    void OpenCursor(bool infoQuery) override;

    std::unique_ptr<TEngineCursor> cursor_;

private:
    static int FilterCallback(void *clientData, const TEngineRow &row);
    hDBIFilter filterHandle_ = 0;
};

// A dataset of a database.
class TDBDataSet : public TBDEDataSet
{
public:
    explicit TDBDataSet(TComponent *owner);
    ~TDBDataSet() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string &name);
    TDatabase *Database() const { return database_; }
    TEngineDatabase *DBHandle() const { return database_ ? database_->Handle() : nullptr; }
    // Opens the database (it stays open while the dataset is).
    void OpenDatabase();

protected:
    void OpenCursor(bool infoQuery) override;
    void CloseCursor() override;
    void CheckCanModify() const override;

private:
    std::string databaseName_;
    TDatabase *database_ = nullptr;
};

// Index definitions.
using TIndexOptions = TSet<TIndexOption>;
struct TIndexDef {
    std::string Name;
    std::string Fields; // ';'-separated
    TIndexOptions Options;
};

class TIndexDefs
{
public:
    int Count() const { return static_cast<int>(defs_.size()); }
    const TIndexDef &Items(int index) const { return defs_.at(index); }
    void Add(const std::string &name, const std::string &fields, TIndexOptions options);
    void Clear() { defs_.clear(); }
    const TIndexDef *Find(const std::string &name) const; // case-insensitive; null when none
    int IndexOf(const std::string &name) const;
    bool Updated() const { return updated_; }
    void SetUpdated(bool updated) { updated_ = updated; }

private:
    std::vector<TIndexDef> defs_;
    bool updated_ = false;
};

enum TTableType { ttDefault, ttParadox, ttDBase, ttASCII };

class TTable : public TDBDataSet
{
public:
    explicit TTable(TComponent *owner);
    ~TTable() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Table
    const std::string &TableName() const { return tableName_; }
    virtual void SetTableName(const std::string &name);
    TTableType TableType() const { return tableType_; }
    void SetTableType(TTableType type) { tableType_ = type; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool exclusive) { exclusive_ = exclusive; }
    bool Exists();
    void CreateTable(); // from FieldDefs and IndexDefs
    void DeleteTable();
    void EmptyTable();

    // Indexes
    TIndexDefs &IndexDefs() { return indexDefs_; }
    void UpdateIndexDefs(); // reads the table's indexes (opening it for a moment if needed)
    const std::string &IndexName() const { return indexName_; }
    void SetIndexName(const std::string &name);
    const std::string &IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const std::string &names);
    int IndexFieldCount() const;
    TField *IndexFields(int index) const;
    void GetIndexNames(TStrings &list);
    void AddIndex(const std::string &name, const std::string &fields, TIndexOptions options);
    void DeleteIndex(const std::string &name);

    // Keys: set the index fields in dsSetKey, then go.
    void SetKey();
    void EditKey();
    bool GotoKey();
    void GotoNearest();
    bool FindKey(const std::vector<Variant> &keyValues);
    void FindNearest(const std::vector<Variant> &keyValues);
    bool KeyExclusive() const;
    void SetKeyExclusive(bool exclusive);
    int KeyFieldCount() const;
    void SetKeyFieldCount(int count);

    // Ranges over the index fields
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    void ApplyRange();
    void CancelRange();
    void SetRange(const std::vector<Variant> &startValues, const std::vector<Variant> &endValues);

    // Master and detail: the detail's first index fields follow the master's
    // MasterFields (';'-separated).
    TDataSource *MasterSource() const;
    void SetMasterSource(TDataSource *source);
    const std::string &MasterFields() const { return masterFields_; }
    void SetMasterFields(const std::string &fields);

protected:
    std::unique_ptr<TEngineCursor> CreateHandle() override;
    void PrepareCursor() override; // index definitions, the index, the master's range
    void InternalClose() override;
    TRecBuf *KeyBuffer() const override;
    void PostKeyBuffer(bool commit) override;
    bool GetCanModify() const override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    friend struct Impl;
    void SwitchIndex();
    void MasterChanged();
    std::vector<Variant> KeyValues(int which) const;
    void StartKeyEdit(int which, bool clear);
    std::string tableName_, indexName_, indexFieldNames_, masterFields_;
    TTableType tableType_ = ttDefault;
    bool readOnly_ = false, exclusive_ = false;
    TIndexDefs indexDefs_;
};

class TQuery : public TDBDataSet
{
public:
    explicit TQuery(TComponent *owner);
    ~TQuery() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *SQL() const { return sql_.get(); }
    void SetSQL(const TStrings *sql);
    TParams &Params(); // the ":name" parameters of the text, values kept by name
    TParam &ParamByName(const std::string &name) { return Params().ParamByName(name); }
    void ExecSQL(); // a statement that gives no answer
    int64_t RowsAffected() const { return rowsAffected_; }
    bool RequestLive() const { return false; } // answers are read-only

protected:
    std::unique_ptr<TEngineCursor> CreateHandle() override;
    bool GetCanModify() const override { return false; }

private:
    std::unique_ptr<TEngineStatement> PrepareStatement();
    std::unique_ptr<TStringList> sql_;
    TParams params_;
    std::string parsedText_;
    int64_t rowsAffected_ = 0;
};

// Stored procedures: the engine has none, so preparing, executing and
// opening report the engine's "not supported" error.
class TStoredProc : public TDBDataSet
{
public:
    explicit TStoredProc(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &StoredProcName() const { return procName_; }
    void SetStoredProcName(const std::string &name) { procName_ = name; }
    TParams &Params() { return params_; }
    TParam &ParamByName(const std::string &name) { return params_.ParamByName(name); }
    void Prepare();
    void ExecProc();

protected:
    std::unique_ptr<TEngineCursor> CreateHandle() override;

private:
    std::string procName_;
    TParams params_;
};

// Creates an empty database file (nothing happens when it exists).
void CreateDatabaseFile(const std::string &fileName);
