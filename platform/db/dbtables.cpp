#include "platform/db/dbtables.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cstring>

const TMetaClass TSession::Class { "TSession", &TComponent::Class };
const TMetaClass TDatabase::Class { "TDatabase", &TComponent::Class };
const TMetaClass TBDEDataSet::Class { "TBDEDataSet", &TDataSet::Class };
const TMetaClass TDBDataSet::Class { "TDBDataSet", &TBDEDataSet::Class };
const TMetaClass TTable::Class { "TTable", &TDBDataSet::Class };
const TMetaClass TQuery::Class { "TQuery", &TDBDataSet::Class };
const TMetaClass TStoredProc::Class { "TStoredProc", &TDBDataSet::Class };

// clang-format off
namespace {

const TEnumNames TableTypeNames = {"ttDefault", "ttParadox", "ttDBase", "ttASCII"};

using PDb = TPublish<TDatabase>;
const TClassRegistrar<TDatabase> databaseRegistrar({
    //            name              getter                       setter                         default
    PDb::String  ("AliasName",      &TDatabase::AliasName,       &TDatabase::SetAliasName,      ""),
    PDb::Boolean ("Connected",      &TDatabase::Connected,       &TDatabase::SetConnected,      false),
    PDb::String  ("DatabaseName",   &TDatabase::DatabaseName,    &TDatabase::SetDatabaseName,   ""),
    PDb::String  ("DriverName",     &TDatabase::DriverName,      &TDatabase::SetDriverName,     ""),
    PDb::Boolean ("KeepConnection", &TDatabase::KeepConnection,  &TDatabase::SetKeepConnection, true),
    PDb::Boolean ("LoginPrompt",    &TDatabase::LoginPrompt,     &TDatabase::SetLoginPrompt,    false),
    PDb::Strings ("Params",         &TDatabase::Params),
});

const TClassRegistrar<TBDEDataSet> bdeDataSetRegistrar({});

using PDs = TPublish<TDBDataSet>;
const TClassRegistrar<TDBDataSet> dbDataSetRegistrar({
    PDs::String  ("DatabaseName",   &TDBDataSet::DatabaseName,   &TDBDataSet::SetDatabaseName,  ""),
});

using PT = TPublish<TTable>;
const TClassRegistrar<TTable> tableRegistrar({
    PT::Boolean  ("Exclusive",      &TTable::Exclusive,          &TTable::SetExclusive,         false),
    PT::String   ("IndexFieldNames",&TTable::IndexFieldNames,    &TTable::SetIndexFieldNames,   ""),
    PT::String   ("IndexName",      &TTable::IndexName,          &TTable::SetIndexName,         ""),
    PT::String   ("MasterFields",   &TTable::MasterFields,       &TTable::SetMasterFields,      ""),
    PT::Component("MasterSource",   &TTable::MasterSource,       &TTable::SetMasterSource),
    PT::Boolean  ("ReadOnly",       &TTable::ReadOnly,           &TTable::SetReadOnly,          false),
    PT::String   ("TableName",      &TTable::TableName,          [](TTable *t, const std::string &n) { t->SetTableName(n); }, ""),
    PT::Enum     ("TableType",      TableTypeNames, &TTable::TableType, &TTable::SetTableType, ttDefault),
});

using PQ = TPublish<TQuery>;
const TClassRegistrar<TQuery> queryRegistrar({
    PQ::Strings  ("SQL",            &TQuery::SQL),
});

using PP = TPublish<TStoredProc>;
const TClassRegistrar<TStoredProc> storedProcRegistrar({
    PP::String   ("StoredProcName", &TStoredProc::StoredProcName, &TStoredProc::SetStoredProcName, ""),
});

} // namespace
// clang-format on

void CreateDatabaseFile(const std::string &fileName) { TEngineDatabase::Open(fileName, false, true); }

// ---- TSession -------------------------------------------------------------------

TSession::TSession(TComponent *owner)
    : TComponent(owner)
{
}

TSession::~TSession()
{
    Destroying();
    std::vector<TDatabase *> dbs = databases_;
    for (TDatabase *db : dbs)
        if (db->temporary_)
            delete db;
    for (TDatabase *db : databases_)
        db->Close();
}

TSession *Session()
{
    static TSession session(nullptr);
    return &session;
}

void TSession::AddStandardAlias(const std::string &name, const std::string &path, const std::string &driver)
{
    if (IsAlias(name))
        throw EDBEngineError(DBIERR_UNKNOWNDB, "Alias already exists: " + name);
    EngineAliases().push_back({name, driver, path});
}

void TSession::DeleteAlias(const std::string &name)
{
    std::erase_if(EngineAliases(), [&name](const TEngineAlias &a) { return SameText(a.Name, name); });
}

bool TSession::IsAlias(const std::string &name) const { return FindEngineAlias(name) != nullptr; }

void TSession::GetAliasNames(TStrings &list) const
{
    list.Clear();
    for (const TEngineAlias &a : EngineAliases())
        list.Add(a.Name);
}

void TSession::GetAliasParams(const std::string &alias, TStrings &list) const
{
    list.Clear();
    for (auto &[name, value] : OpenCfgInfoList("\\Databases\\" + alias + "\\db info"))
        if (SameText(name, "PATH"))
            list.Add("PATH=" + value);
}

std::string TSession::GetAliasDriverName(const std::string &alias) const
{
    const TEngineAlias *a = FindEngineAlias(alias);
    if (!a)
        throw EDBEngineError(DBIERR_UNKNOWNDB, "Alias: " + alias);
    return a->Driver;
}

TDatabase *TSession::FindDatabase(const std::string &name) const
{
    for (TDatabase *db : databases_)
        if (SameText(db->DatabaseName(), name))
            return db;
    return nullptr;
}

TDatabase *TSession::OpenDatabase(const std::string &name)
{
    TDatabase *db = FindDatabase(name);
    if (!db) {
        db = new TDatabase(this);
        db->temporary_ = true;
        db->SetDatabaseName(name);
        if (IsAlias(name))
            db->SetAliasName(name);
    }
    try {
        db->Open();
    } catch (...) {
        if (db->temporary_ && db->refCount_ == 0)
            delete db;
        throw;
    }
    ++db->refCount_;
    return db;
}

void TSession::CloseDatabase(TDatabase *database)
{
    if (!database)
        return;
    if (database->refCount_ > 0)
        --database->refCount_;
    if (database->refCount_ == 0 && (!keepConnections_ || !database->keepConnection_)) {
        if (database->temporary_)
            delete database;
        else
            database->Close();
    }
}

void TSession::GetDatabaseNames(TStrings &list) const
{
    list.Clear();
    for (const TEngineAlias &a : EngineAliases())
        list.Add(a.Name);
    for (TDatabase *db : databases_)
        if (!db->temporary_ && list.IndexOf(db->DatabaseName()) < 0)
            list.Add(db->DatabaseName());
}

void TSession::GetTableNames(const std::string &databaseName, TStrings &list)
{
    TDatabase *db = OpenDatabase(databaseName);
    list.Clear();
    try {
        for (const std::string &n : db->Handle()->TableNames())
            list.Add(n);
    } catch (...) {
        CloseDatabase(db);
        throw;
    }
    CloseDatabase(db);
}

// ---- TDatabase ------------------------------------------------------------------

TDatabase::TDatabase(TComponent *owner)
    : TComponent(owner)
    , params_(std::make_unique<TStringList>())
{
    Session()->databases_.push_back(this);
}

TDatabase::~TDatabase()
{
    Destroying();
    for (TDataSet *ds : std::vector<TDataSet *>(dataSets_))
        try {
            ds->Close();
        } catch (...) {
        }
    handle_.reset();
    std::erase(Session()->databases_, this);
}

void TDatabase::CheckInactive() const
{
    if (handle_)
        DatabaseError("Cannot perform this operation on an open database");
}

void TDatabase::SetDatabaseName(const std::string &name)
{
    CheckInactive();
    databaseName_ = name;
}

void TDatabase::SetAliasName(const std::string &name)
{
    CheckInactive();
    aliasName_ = name;
    if (!name.empty())
        driverName_.clear();
}

void TDatabase::SetDriverName(const std::string &name)
{
    CheckInactive();
    driverName_ = name;
    if (!name.empty())
        aliasName_.clear();
}

void TDatabase::Loaded()
{
    TComponent::Loaded();
    if (streamedConnected_)
        SetConnected(true);
}

std::string TDatabase::FileName() const
{
    if (!aliasName_.empty()) {
        for (auto &[name, value] : OpenCfgInfoList("\\Databases\\" + aliasName_ + "\\db info"))
            if (SameText(name, "PATH"))
                return value;
        return {};
    }
    std::string path = params_->Values("PATH");
    if (!path.empty())
        return path;
    if (const TEngineAlias *a = FindEngineAlias(databaseName_))
        return a->Path;
    if (databaseName_.find_first_of("/\\:.") != std::string::npos)
        return databaseName_;
    throw EDBEngineError(DBIERR_UNKNOWNDB, "Alias: " + databaseName_);
}

bool TDatabase::IsSQLBased() const
{
    std::string driver = driverName_;
    if (!aliasName_.empty() || driver.empty())
        if (const TEngineAlias *a = FindEngineAlias(aliasName_.empty() ? databaseName_ : aliasName_))
            driver = a->Driver;
    return !driver.empty() && !SameText(driver, "STANDARD");
}

void TDatabase::SetConnected(bool connected)
{
    if (ComponentState().Contains(csLoading)) {
        streamedConnected_ = connected;
        return;
    }
    if (connected == Connected())
        return;
    if (connected) {
        if (databaseName_.empty())
            DatabaseError("Missing DatabaseName property");
        bool readOnly = SameText(params_->Values("READ ONLY"), "TRUE");
        handle_ = TEngineDatabase::Open(FileName(), readOnly, false);
    } else {
        for (TDataSet *ds : std::vector<TDataSet *>(dataSets_))
            ds->Close();
        handle_.reset();
    }
}

void TDatabase::StartTransaction()
{
    if (!handle_)
        DatabaseError("Cannot perform this operation on a closed database");
    handle_->StartTransaction();
}

void TDatabase::Commit()
{
    if (!handle_ || !handle_->InTransaction())
        DatabaseError("No transaction is active");
    handle_->Commit();
}

void TDatabase::Rollback()
{
    if (!handle_ || !handle_->InTransaction())
        DatabaseError("No transaction is active");
    handle_->Rollback();
    for (TDataSet *ds : dataSets_)
        if (ds->Active() && ds->State() == dsBrowse)
            ds->Refresh();
}

bool TDatabase::InTransaction() const { return handle_ && handle_->InTransaction(); }

int64_t TDatabase::Execute(const std::string &sql)
{
    Open();
    std::unique_ptr<TEngineStatement> stmt = handle_->AllocStatement();
    stmt->Prepare(qryLangSQL, sql);
    stmt->Execute();
    return stmt->RowsAffected();
}

// ---- TBDEDataSet ----------------------------------------------------------------

TBDEDataSet::TBDEDataSet(TComponent *owner)
    : TDataSet(owner)
{
}

TBDEDataSet::~TBDEDataSet()
{
    Destroying();
    try {
        Close();
    } catch (...) {
    }
}

void TBDEDataSet::OpenCursor(bool infoQuery)
{
    if (!cursor_)
        cursor_ = CreateHandle();
    if (!cursor_)
        DatabaseError("Error creating cursor handle");
    TDataSet::OpenCursor(infoQuery);
}

void TBDEDataSet::DestroyHandle()
{
    filterHandle_ = 0;
    cursor_.reset();
}

void TBDEDataSet::InternalInitFieldDefs()
{
    FieldDefs().Clear();
    for (const TEngineFieldDesc &f : cursor_->Fields()) {
        FieldDefs().Add(f.Name, f.Type, f.Size, f.Required);
        FieldDefs().Items(FieldDefs().Count() - 1).Precision = f.Precision;
    }
}

void TBDEDataSet::InternalOpen()
{
    InternalInitFieldDefs();
    CreateFields();
    BindFields(true);
    PrepareCursor();
    SetFilterData(Filtered(), OnFilterRecord);
}

void TBDEDataSet::InternalClose()
{
    BindFields(false);
    if (DefaultFields())
        while (FieldCount() > 0)
            delete Fields(FieldCount() - 1);
    DestroyHandle();
}

void TBDEDataSet::InternalFirst() { cursor_->SetToBegin(); }
void TBDEDataSet::InternalLast() { cursor_->SetToEnd(); }

void TBDEDataSet::RowToBuffer(const TEngineRow &row, TRecBuf &buffer)
{
    if (static_cast<int>(buffer.Values.size()) != SlotCount())
        InternalInitRecord(buffer);
    std::copy(row.Values.begin(), row.Values.begin() + std::min<size_t>(row.Values.size(), PhysicalCount()),
        buffer.Values.begin());
    std::fill(buffer.Modified.begin(), buffer.Modified.end(), false);
    buffer.Blobs.clear();
    buffer.RowId = row.RowId;
    buffer.Flag = bfCurrent;
    GetCalcFields(buffer);
}

TGetResult TBDEDataSet::GetRecord(TRecBuf &buffer, TGetMode mode, bool doCheck)
{
    TEngineRow row;
    TGetResult r;
    {
        TFetching fetching(*this);
        switch (mode) {
        case gmNext: r = cursor_->GetNextRecord(row); break;
        case gmPrior: r = cursor_->GetPriorRecord(row); break;
        default: r = cursor_->GetRecord(row); break;
        }
    }
    if (r == grOK)
        RowToBuffer(row, buffer);
    else if (r == grError && doCheck && mode != gmCurrent)
        throw EDBEngineError(DBIERR_NOCURRREC, "Table: " + cursor_->TableName());
    return r;
}

void TBDEDataSet::InternalSetToRecord(const TRecBuf &buffer)
{
    TFetching fetching(*this);
    switch (buffer.Flag) {
    case bfCurrent: cursor_->SetToRowId(buffer.RowId); break;
    case bfBOF: cursor_->SetToBegin(); break;
    case bfEOF: cursor_->SetToEnd(); break;
    default: break;
    }
}

int64_t TBDEDataSet::BookmarkRowId(const TBookmark &bookmark)
{
    int64_t id = 0;
    if (bookmark.size() == sizeof id)
        memcpy(&id, bookmark.data(), sizeof id);
    return id;
}

void TBDEDataSet::InternalGotoBookmark(const TBookmark &bookmark)
{
    bool found;
    {
        TFetching fetching(*this);
        found = bookmark.size() == sizeof(int64_t) && cursor_->SetToRowId(BookmarkRowId(bookmark));
    }
    CursorPosChanged();
    if (!found)
        DatabaseError("Record not found");
}

bool TBDEDataSet::BookmarkValid(const TBookmark &bookmark)
{
    if (!cursor_ || bookmark.size() != sizeof(int64_t))
        return false;
    bool ok;
    {
        TFetching fetching(*this);
        ok = cursor_->SetToRowId(BookmarkRowId(bookmark));
    }
    CursorPosChanged();
    return ok;
}

int TBDEDataSet::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.empty() || b.empty() || !cursor_)
        return TDataSet::CompareBookmarks(a, b);
    return cursor_->CompareRows(BookmarkRowId(a), BookmarkRowId(b));
}

void TBDEDataSet::InternalEdit()
{
    // Edit what the database holds now, not what the buffer read earlier.
    TEngineRow row;
    if (cursor_->GetRecord(row) != grOK)
        throw EDBEngineError(DBIERR_KEYORRECDELETED, "Table: " + cursor_->TableName());
    RowToBuffer(row, *ActiveBuffer());
}

void TBDEDataSet::InternalPost()
{
    TRecBuf *b = ActiveBuffer();
    const int n = PhysicalCount();
    std::vector<Variant> values(b->Values.begin(), b->Values.begin() + n);
    std::vector<bool> assigned(b->Modified.begin(), b->Modified.begin() + n);
    for (int i = 0; i < n; ++i)
        if (IsBlobType(FieldDefs().Items(i).DataType) && assigned[i]) {
            auto it = b->Blobs.find(i);
            values[i] = it == b->Blobs.end() || it->second.empty() ? Variant() : Variant(it->second);
        }
    if (State() == dsInsert) {
        b->RowId = cursor_->InsertRecord(values, assigned);
        b->Flag = bfCurrent;
    } else
        cursor_->ModifyRecord(b->RowId, values, assigned);
}

void TBDEDataSet::InternalDelete() { cursor_->DeleteRecord(ActiveBuffer()->RowId); }
void TBDEDataSet::InternalRefresh() { cursor_->Refresh(); }

bool TBDEDataSet::GetCanModify() const { return cursor_ && !cursor_->ReadOnly(); }

void TBDEDataSet::CheckCanModify() const
{
    if (cursor_ && cursor_->ReadOnly())
        throw EDBEngineError(DBIERR_TABLEREADONLY, "Table: " + cursor_->TableName());
    TDataSet::CheckCanModify();
}

std::string TBDEDataSet::ReadBlobData(TField *field, const TRecBuf &buffer)
{
    if (!cursor_ || field->FieldNo() <= 0)
        return {};
    return cursor_->ReadBlob(buffer.RowId, field->FieldNo() - 1);
}

int TBDEDataSet::RecordCount()
{
    CheckActive();
    return static_cast<int>(cursor_->RecordCount());
}

int TBDEDataSet::RecNo()
{
    CheckActive();
    if (State() == dsInsert || IsEmpty())
        return -1;
    UpdateCursorPos();
    return static_cast<int>(cursor_->SeqNo());
}

void TBDEDataSet::SetRecNo(int recNo)
{
    CheckBrowseMode();
    if (recNo < 1)
        return;
    DoBeforeScroll();
    const bool found = cursor_->SetToSeqNo(recNo);
    CursorPosChanged();
    if (found)
        Resync(TResyncMode({rmExact, rmCenter}));
    else {
        UpdateCursorPos();
        Resync({});
    }
    DoAfterScroll();
}

bool TBDEDataSet::IsSequenced() { return cursor_ && !cursor_->HasActiveFilters(); }

int TBDEDataSet::FilterCallback(void *clientData, const TEngineRow &row)
{
    auto *ds = static_cast<TBDEDataSet *>(clientData);
    TRecBuf buffer;
    ds->InternalInitRecord(buffer);
    ds->RowToBuffer(row, buffer);
    return ds->FilterRow(buffer) ? 1 : 0;
}

void TBDEDataSet::WithEngineRow(const TEngineRow &row, const std::function<void()> &action)
{
    TRecBuf buffer;
    InternalInitRecord(buffer);
    RowToBuffer(row, buffer);
    WithFilterBuffer(buffer, action);
}

void TBDEDataSet::SetFilterData(bool filtered, const TFilterRecordEvent &handler)
{
    if (!cursor_)
        return;
    if (filterHandle_) {
        cursor_->DropFilter(filterHandle_);
        filterHandle_ = 0;
    }
    if (filtered && handler) {
        filterHandle_ = cursor_->AddFilter(this, 1, false, nullptr, 0, &FilterCallback);
        cursor_->ActivateFilter(filterHandle_);
    }
}

// ---- TDBDataSet -----------------------------------------------------------------

TDBDataSet::TDBDataSet(TComponent *owner)
    : TBDEDataSet(owner)
{
}

TDBDataSet::~TDBDataSet()
{
    Destroying();
    try {
        Close();
    } catch (...) {
    }
}

void TDBDataSet::SetDatabaseName(const std::string &name)
{
    if (databaseName_ == name)
        return;
    CheckInactive();
    databaseName_ = name;
}

void TDBDataSet::OpenDatabase()
{
    if (!database_) {
        database_ = Session()->OpenDatabase(databaseName_);
        database_->dataSets_.push_back(this);
    }
}

void TDBDataSet::OpenCursor(bool infoQuery)
{
    OpenDatabase();
    try {
        TBDEDataSet::OpenCursor(infoQuery);
    } catch (...) {
        TDBDataSet::CloseCursor();
        throw;
    }
}

void TDBDataSet::CloseCursor()
{
    TBDEDataSet::CloseCursor();
    DestroyHandle();
    if (database_) {
        std::erase(database_->dataSets_, this);
        TDatabase *db = database_;
        database_ = nullptr;
        Session()->CloseDatabase(db);
    }
}

void TDBDataSet::CheckCanModify() const
{
    if (database_ && database_->Handle() && database_->Handle()->ReadOnly())
        throw EDBEngineError(DBIERR_TABLEREADONLY, "File: " + database_->Handle()->FileName());
    TBDEDataSet::CheckCanModify();
}

// ---- TIndexDefs -----------------------------------------------------------------

void TIndexDefs::Add(const std::string &name, const std::string &fields, TIndexOptions options)
{
    defs_.push_back({name, fields, options});
}

int TIndexDefs::IndexOf(const std::string &name) const
{
    for (size_t i = 0; i < defs_.size(); ++i)
        if (SameText(defs_[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

const TIndexDef *TIndexDefs::Find(const std::string &name) const
{
    int i = IndexOf(name);
    return i < 0 ? nullptr : &defs_[i];
}

// ---- TTable ---------------------------------------------------------------------

namespace {

// Follows the master dataset's current record.
class TMasterDataLink : public TDataLink
{
public:
    explicit TMasterDataLink(std::function<void()> changed) : changed_(std::move(changed)) {}

protected:
    void ActiveChanged() override { changed_(); }
    void RecordChanged(TField *field) override
    {
        if (!field || (DataSet() && DataSet()->State() == dsBrowse))
            changed_();
    }
    void CheckBrowseMode() override {}

private:
    std::function<void()> changed_;
};

std::vector<std::string> SplitFields(const std::string &names)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= names.size()) {
        size_t semi = names.find(';', start);
        std::string n = Trim(names.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (!n.empty())
            out.push_back(n);
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    return out;
}

enum { kiLookup, kiRangeStart, kiRangeEnd, kiCount };

} // namespace

struct TTable::Impl {
    explicit Impl(TTable *t) : master([t] { t->MasterChanged(); }) {}
    TMasterDataLink master;
    TRecBuf keys[kiCount];
    bool keyExclusive[kiCount] = {};
    int keyFieldCount[kiCount] = {};
    bool keySet[kiCount] = {}; // a range side that was given
    int editing = kiLookup; // the key buffer of dsSetKey
    TRecBuf saved; // the key before EditKey, for Cancel
    std::vector<Variant> lastMasterKey;
    bool haveMasterKey = false;
};

TTable::TTable(TComponent *owner)
    : TDBDataSet(owner)
    , d(std::make_unique<Impl>(this))
{
}

TTable::~TTable()
{
    Destroying();
    try {
        Close();
    } catch (...) {
    }
    d->master.SetDataSource(nullptr);
}

void TTable::SetTableName(const std::string &name)
{
    if (tableName_ == name)
        return;
    CheckInactive();
    tableName_ = name;
    indexDefs_.Clear();
    indexDefs_.SetUpdated(false);
}

void TTable::SetReadOnly(bool readOnly)
{
    CheckInactive();
    readOnly_ = readOnly;
}

bool TTable::GetCanModify() const { return !readOnly_ && TDBDataSet::GetCanModify(); }

std::unique_ptr<TEngineCursor> TTable::CreateHandle()
{
    if (tableName_.empty())
        DatabaseError("Missing TableName property");
    return DBHandle()->OpenTable(tableName_, readOnly_);
}

void TTable::PrepareCursor()
{
    indexDefs_.Clear();
    for (const TEngineIndexDesc &ix : cursor_->Indexes()) {
        TIndexOptions o;
        if (ix.Primary)
            o.Include(ixPrimary);
        if (ix.Unique)
            o.Include(ixUnique);
        if (ix.Descending)
            o.Include(ixDescending);
        if (ix.CaseInsensitive)
            o.Include(ixCaseInsensitive);
        std::string fields;
        for (const std::string &f : ix.Fields)
            fields += (fields.empty() ? "" : ";") + f;
        indexDefs_.Add(ix.Name, fields, o);
    }
    indexDefs_.SetUpdated(true);
    for (TRecBuf &k : d->keys)
        InternalInitRecord(k);
    SwitchIndex();
    d->haveMasterKey = false;
    if (d->master.Active())
        MasterChanged();
}

void TTable::InternalClose()
{
    TDBDataSet::InternalClose();
    for (bool &s : d->keySet)
        s = false;
}

void TTable::SwitchIndex()
{
    if (!cursor_)
        return;
    if (!indexFieldNames_.empty())
        cursor_->SwitchToFields(SplitFields(indexFieldNames_), false, false);
    else if (!indexName_.empty() || masterFields_.empty())
        cursor_->SwitchToIndex(indexName_);
    else {
        // A detail without an index of its own walks its fields named like
        // the master's.
        cursor_->SwitchToFields(SplitFields(masterFields_), false, false);
    }
}

void TTable::UpdateIndexDefs()
{
    if (cursor_)
        return;
    OpenDatabase();
    std::unique_ptr<TEngineCursor> c = DBHandle()->OpenTable(tableName_, true);
    indexDefs_.Clear();
    for (const TEngineIndexDesc &ix : c->Indexes()) {
        TIndexOptions o;
        if (ix.Primary)
            o.Include(ixPrimary);
        if (ix.Unique)
            o.Include(ixUnique);
        if (ix.Descending)
            o.Include(ixDescending);
        if (ix.CaseInsensitive)
            o.Include(ixCaseInsensitive);
        std::string fields;
        for (const std::string &f : ix.Fields)
            fields += (fields.empty() ? "" : ";") + f;
        indexDefs_.Add(ix.Name, fields, o);
    }
    indexDefs_.SetUpdated(true);
    c.reset();
    TDBDataSet::CloseCursor();
}

void TTable::SetIndexName(const std::string &name)
{
    if (indexName_ == name && indexFieldNames_.empty())
        return;
    if (Active())
        CheckBrowseMode();
    std::string old = indexName_;
    indexName_ = name;
    indexFieldNames_.clear();
    if (Active()) {
        try {
            SwitchIndex();
        } catch (...) {
            indexName_ = old;
            SwitchIndex();
            throw;
        }
        First();
    }
}

void TTable::SetIndexFieldNames(const std::string &names)
{
    if (indexFieldNames_ == names)
        return;
    if (Active())
        CheckBrowseMode();
    std::string old = indexFieldNames_;
    indexFieldNames_ = names;
    if (!names.empty())
        indexName_.clear();
    if (Active()) {
        try {
            SwitchIndex();
        } catch (...) {
            indexFieldNames_ = old;
            SwitchIndex();
            throw;
        }
        First();
    }
}

int TTable::IndexFieldCount() const
{
    if (cursor_)
        return static_cast<int>(cursor_->KeyFields().size());
    if (!indexFieldNames_.empty())
        return static_cast<int>(SplitFields(indexFieldNames_).size());
    const TIndexDef *ix = indexDefs_.Find(indexName_);
    return ix ? static_cast<int>(SplitFields(ix->Fields).size()) : 0;
}

TField *TTable::IndexFields(int index) const
{
    if (!cursor_ || index < 0 || index >= IndexFieldCount())
        DatabaseError("Field index out of range");
    const std::string &name = cursor_->Fields()[cursor_->KeyFields()[index]].Name;
    return FieldByName(name);
}

void TTable::GetIndexNames(TStrings &list)
{
    UpdateIndexDefs();
    list.Clear();
    for (int i = 0; i < indexDefs_.Count(); ++i)
        if (!indexDefs_.Items(i).Name.empty())
            list.Add(indexDefs_.Items(i).Name);
}

namespace {

TEngineIndexDesc ToEngineIndex(const std::string &name, const std::string &fields, TIndexOptions options)
{
    TEngineIndexDesc ix;
    ix.Name = name;
    ix.Fields = SplitFields(fields);
    ix.Primary = options.Contains(ixPrimary);
    ix.Unique = options.Contains(ixUnique) || ix.Primary;
    ix.Descending = options.Contains(ixDescending);
    ix.CaseInsensitive = options.Contains(ixCaseInsensitive);
    return ix;
}

} // namespace

void TTable::AddIndex(const std::string &name, const std::string &fields, TIndexOptions options)
{
    OpenDatabase();
    DBHandle()->AddIndex(tableName_, ToEngineIndex(name, fields, options));
    if (!Active())
        TDBDataSet::CloseCursor();
    indexDefs_.SetUpdated(false);
}

void TTable::DeleteIndex(const std::string &name)
{
    OpenDatabase();
    DBHandle()->DeleteIndex(tableName_, name);
    if (!Active())
        TDBDataSet::CloseCursor();
    indexDefs_.SetUpdated(false);
}

bool TTable::Exists()
{
    if (Active())
        return true;
    OpenDatabase();
    bool exists = DBHandle()->TableExists(tableName_);
    TDBDataSet::CloseCursor();
    return exists;
}

void TTable::CreateTable()
{
    CheckInactive();
    OpenDatabase();
    try {
        std::vector<TEngineIndexDesc> indexes;
        for (int i = 0; i < indexDefs_.Count(); ++i) {
            const TIndexDef &ix = indexDefs_.Items(i);
            indexes.push_back(ToEngineIndex(ix.Name, ix.Fields, ix.Options));
        }
        DBHandle()->CreateTable(tableName_, FieldDefs().ToEngine(), indexes);
    } catch (...) {
        TDBDataSet::CloseCursor();
        throw;
    }
    TDBDataSet::CloseCursor();
}

void TTable::DeleteTable()
{
    CheckInactive();
    OpenDatabase();
    try {
        DBHandle()->DeleteTable(tableName_);
    } catch (...) {
        TDBDataSet::CloseCursor();
        throw;
    }
    TDBDataSet::CloseCursor();
}

void TTable::EmptyTable()
{
    if (Active()) {
        CheckBrowseMode();
        DBHandle()->EmptyTable(tableName_);
        Refresh();
        return;
    }
    OpenDatabase();
    try {
        DBHandle()->EmptyTable(tableName_);
    } catch (...) {
        TDBDataSet::CloseCursor();
        throw;
    }
    TDBDataSet::CloseCursor();
}

// ---- Keys and ranges ----------------------------------------------------------------

TRecBuf *TTable::KeyBuffer() const { return &d->keys[d->editing]; }

void TTable::StartKeyEdit(int which, bool clear)
{
    CheckBrowseMode();
    d->editing = which;
    d->saved = d->keys[which];
    if (clear) {
        InternalInitRecord(d->keys[which]);
        d->keyExclusive[which] = false;
        d->keyFieldCount[which] = 0;
    }
    SetState(dsSetKey);
    DataEvent(deDataSetChange, 0);
}

void TTable::PostKeyBuffer(bool commit)
{
    if (commit)
        d->keySet[d->editing] = true;
    else
        d->keys[d->editing] = d->saved;
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
}

void TTable::SetKey() { StartKeyEdit(kiLookup, true); }
void TTable::EditKey() { StartKeyEdit(kiLookup, false); }
void TTable::SetRangeStart() { StartKeyEdit(kiRangeStart, true); }
void TTable::SetRangeEnd() { StartKeyEdit(kiRangeEnd, true); }
void TTable::EditRangeStart() { StartKeyEdit(kiRangeStart, false); }
void TTable::EditRangeEnd() { StartKeyEdit(kiRangeEnd, false); }

bool TTable::KeyExclusive() const { return d->keyExclusive[d->editing]; }
void TTable::SetKeyExclusive(bool exclusive) { d->keyExclusive[d->editing] = exclusive; }
int TTable::KeyFieldCount() const { return d->keyFieldCount[d->editing]; }
void TTable::SetKeyFieldCount(int count) { d->keyFieldCount[d->editing] = count; }

// The key of one buffer over the index fields: as many fields as asked, else
// up to the last one given a value.
std::vector<Variant> TTable::KeyValues(int which) const
{
    const TRecBuf &k = d->keys[which];
    const std::vector<int> &keyFields = cursor_->KeyFields();
    std::vector<Variant> values;
    int last = -1;
    for (size_t i = 0; i < keyFields.size(); ++i) {
        values.push_back(k.Values.at(keyFields[i]));
        if (k.Modified.at(keyFields[i]))
            last = static_cast<int>(i);
    }
    int n = d->keyFieldCount[which] > 0 ? std::min<int>(d->keyFieldCount[which], static_cast<int>(values.size())) : last + 1;
    values.resize(n);
    return values;
}

bool TTable::GotoKey()
{
    CheckBrowseMode();
    if (cursor_->KeyFields().empty())
        DatabaseError("No index currently active");
    DoBeforeScroll();
    std::vector<Variant> key = KeyValues(kiLookup);
    bool found;
    {
        TFetching fetching(*this);
        found = cursor_->SetToKey(key, keySEARCHEQ, false);
    }
    CursorPosChanged();
    if (found) {
        Resync(TResyncMode({rmExact, rmCenter}));
        DoAfterScroll();
    }
    return found;
}

void TTable::GotoNearest()
{
    CheckBrowseMode();
    if (cursor_->KeyFields().empty())
        DatabaseError("No index currently active");
    DoBeforeScroll();
    std::vector<Variant> key = KeyValues(kiLookup);
    {
        TFetching fetching(*this);
        cursor_->SetToKey(key, d->keyExclusive[kiLookup] ? keySEARCHGT : keySEARCHGEQ, false);
    }
    CursorPosChanged();
    Resync(TResyncMode({rmCenter}));
    DoAfterScroll();
}

bool TTable::FindKey(const std::vector<Variant> &keyValues)
{
    CheckBrowseMode();
    SetKey();
    try {
        for (size_t i = 0; i < keyValues.size(); ++i)
            IndexFields(static_cast<int>(i))->SetValue(keyValues[i]);
    } catch (...) {
        Cancel();
        throw;
    }
    d->keyFieldCount[kiLookup] = static_cast<int>(keyValues.size());
    Post();
    return GotoKey();
}

void TTable::FindNearest(const std::vector<Variant> &keyValues)
{
    CheckBrowseMode();
    SetKey();
    try {
        for (size_t i = 0; i < keyValues.size(); ++i)
            IndexFields(static_cast<int>(i))->SetValue(keyValues[i]);
    } catch (...) {
        Cancel();
        throw;
    }
    d->keyFieldCount[kiLookup] = static_cast<int>(keyValues.size());
    Post();
    GotoNearest();
}

void TTable::ApplyRange()
{
    CheckBrowseMode();
    std::vector<Variant> low = d->keySet[kiRangeStart] ? KeyValues(kiRangeStart) : std::vector<Variant>();
    std::vector<Variant> high = d->keySet[kiRangeEnd] ? KeyValues(kiRangeEnd) : std::vector<Variant>();
    cursor_->SetRange(low, !d->keyExclusive[kiRangeStart], high, !d->keyExclusive[kiRangeEnd]);
    First();
}

void TTable::CancelRange()
{
    CheckBrowseMode();
    d->keySet[kiRangeStart] = d->keySet[kiRangeEnd] = false;
    cursor_->ResetRange();
    First();
}

void TTable::SetRange(const std::vector<Variant> &startValues, const std::vector<Variant> &endValues)
{
    auto fill = [this](const std::vector<Variant> &values) {
        try {
            for (size_t i = 0; i < values.size(); ++i)
                IndexFields(static_cast<int>(i))->SetValue(values[i]);
        } catch (...) {
            Cancel();
            throw;
        }
        d->keyFieldCount[d->editing] = static_cast<int>(values.size());
        Post();
    };
    SetRangeStart();
    fill(startValues);
    SetRangeEnd();
    fill(endValues);
    ApplyRange();
}

// ---- Master and detail ----------------------------------------------------------------

TDataSource *TTable::MasterSource() const { return d->master.DataSource(); }

void TTable::SetMasterSource(TDataSource *source)
{
    if (source && (source->DataSet() == this))
        DatabaseError("Circular datalinks are not allowed");
    if (Active())
        CheckBrowseMode();
    d->master.SetDataSource(source);
    if (source)
        source->FreeNotification(this);
    if (Active() && !source) {
        cursor_->ResetRange();
        First();
    }
}

void TTable::SetMasterFields(const std::string &fields)
{
    masterFields_ = fields;
    d->haveMasterKey = false;
    if (Active())
        MasterChanged();
}

void TTable::Notification(TComponent *component, TOperation operation)
{
    TDBDataSet::Notification(component, operation);
    if (operation == opRemove && component == d->master.DataSource())
        d->master.SetDataSource(nullptr);
}

void TTable::MasterChanged()
{
    if (!cursor_ || masterFields_.empty() || !d->master.DataSource())
        return;
    TDataSet *master = d->master.DataSet();
    std::vector<Variant> key;
    if (master && master->Active())
        for (TField *f : master->GetFieldList(masterFields_))
            key.push_back(f->Value());
    if (d->haveMasterKey && key == d->lastMasterKey)
        return;
    if (Active())
        CheckBrowseMode();
    d->lastMasterKey = key;
    d->haveMasterKey = true;
    if (key.empty())
        cursor_->ResetRange();
    else
        cursor_->SetRange(key, true, key, true);
    if (Active())
        First();
}

// ---- TQuery -----------------------------------------------------------------------------

TQuery::TQuery(TComponent *owner)
    : TDBDataSet(owner)
    , sql_(std::make_unique<TStringList>())
{
    sql_->OnChange = TNotifyEvent([this](TObject *) {
        if (Active())
            Close();
    });
}

TQuery::~TQuery()
{
    Destroying();
    try {
        Close();
    } catch (...) {
    }
}

void TQuery::SetSQL(const TStrings *sql) { sql_->Assign(*sql); }

TParams &TQuery::Params()
{
    std::string text = sql_->Text();
    if (text != parsedText_) {
        // ":name" outside quoted texts; "::" is a colon.
        std::vector<std::string> names;
        char quote = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '\'' || c == '"')
                quote = c;
            else if (c == ':' && i + 1 < text.size() && text[i + 1] == ':')
                ++i;
            else if (c == ':') {
                size_t j = i + 1;
                while (j < text.size() && (isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                    ++j;
                if (j > i + 1)
                    names.push_back(text.substr(i + 1, j - i - 1));
                i = j - 1;
            }
        }
        params_.AssignNames(names);
        parsedText_ = text;
    }
    return params_;
}

std::unique_ptr<TEngineStatement> TQuery::PrepareStatement()
{
    OpenDatabase();
    std::unique_ptr<TEngineStatement> stmt = DBHandle()->AllocStatement();
    stmt->Prepare(qryLangSQL, sql_->Text());
    TParams &params = Params();
    for (int i = 0; i < params.Count(); ++i)
        stmt->SetParam(params.Items(i).Name(), params.Items(i).Value(), params.Items(i).DataType());
    return stmt;
}

std::unique_ptr<TEngineCursor> TQuery::CreateHandle()
{
    std::unique_ptr<TEngineStatement> stmt = PrepareStatement();
    std::unique_ptr<TEngineCursor> cursor = stmt->Execute();
    rowsAffected_ = stmt->RowsAffected();
    if (!cursor)
        DatabaseError("Error creating cursor handle");
    return cursor;
}

void TQuery::ExecSQL()
{
    CheckInactive();
    try {
        std::unique_ptr<TEngineStatement> stmt = PrepareStatement();
        stmt->Execute();
        rowsAffected_ = stmt->RowsAffected();
    } catch (...) {
        TDBDataSet::CloseCursor();
        throw;
    }
    TDBDataSet::CloseCursor();
}

// ---- TStoredProc --------------------------------------------------------------------------

TStoredProc::TStoredProc(TComponent *owner)
    : TDBDataSet(owner)
{
}

void TStoredProc::Prepare()
{
    throw EDBEngineError(DBIERR_NOTSUPPORTED, "Stored procedure: " + procName_);
}

void TStoredProc::ExecProc() { Prepare(); }

std::unique_ptr<TEngineCursor> TStoredProc::CreateHandle()
{
    Prepare();
    return nullptr;
}
