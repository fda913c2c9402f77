#include "platform/db/db.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cstring>
#include <utility>

const TMetaClass TDataSet::Class { "TDataSet", &TComponent::Class };
const TMetaClass TDataSource::Class { "TDataSource", &TComponent::Class };

// clang-format off
namespace {

using PD = TPublish<TDataSet>;
const TClassRegistrar<TDataSet> dataSetRegistrar({
    //            name              getter                     setter                        default
    PD::Boolean  ("Active",         &TDataSet::Active,         &TDataSet::SetActive,         false),
    PD::Boolean  ("AutoCalcFields", &TDataSet::AutoCalcFields, &TDataSet::SetAutoCalcFields, true),
    PD::Boolean  ("Filtered",       &TDataSet::Filtered,       &TDataSet::SetFiltered,       false),
    PD::Event    ("BeforeOpen",     &TDataSet::BeforeOpen),
    PD::Event    ("AfterOpen",      &TDataSet::AfterOpen),
    PD::Event    ("BeforeClose",    &TDataSet::BeforeClose),
    PD::Event    ("AfterClose",     &TDataSet::AfterClose),
    PD::Event    ("BeforeInsert",   &TDataSet::BeforeInsert),
    PD::Event    ("AfterInsert",    &TDataSet::AfterInsert),
    PD::Event    ("BeforeEdit",     &TDataSet::BeforeEdit),
    PD::Event    ("AfterEdit",      &TDataSet::AfterEdit),
    PD::Event    ("BeforePost",     &TDataSet::BeforePost),
    PD::Event    ("AfterPost",      &TDataSet::AfterPost),
    PD::Event    ("BeforeCancel",   &TDataSet::BeforeCancel),
    PD::Event    ("AfterCancel",    &TDataSet::AfterCancel),
    PD::Event    ("BeforeDelete",   &TDataSet::BeforeDelete),
    PD::Event    ("AfterDelete",    &TDataSet::AfterDelete),
    PD::Event    ("BeforeScroll",   &TDataSet::BeforeScroll),
    PD::Event    ("AfterScroll",    &TDataSet::AfterScroll),
    PD::Event    ("OnCalcFields",   &TDataSet::OnCalcFields),
    PD::Event    ("OnFilterRecord", &TDataSet::OnFilterRecord),
    PD::Event    ("OnNewRecord",    &TDataSet::OnNewRecord),
});

using PS = TPublish<TDataSource>;
const TClassRegistrar<TDataSource> dataSourceRegistrar({
    PS::Boolean  ("AutoEdit",       &TDataSource::AutoEdit,    &TDataSource::SetAutoEdit,    true),
    PS::Component("DataSet",        &TDataSource::DataSet,     &TDataSource::SetDataSet),
    PS::Boolean  ("Enabled",        &TDataSource::Enabled,     &TDataSource::SetEnabled,     true),
    PS::Event    ("OnStateChange",  &TDataSource::OnStateChange),
    PS::Event    ("OnDataChange",   &TDataSource::OnDataChange),
    PS::Event    ("OnUpdateData",   &TDataSource::OnUpdateData),
});

} // namespace
// clang-format on

void DatabaseError(const std::string &message) { throw EDatabaseError(message); }

// ---- TFieldDefs -----------------------------------------------------------------

void TFieldDefs::Add(const std::string &name, TFieldType type, int size, bool required)
{
    if (IndexOf(name) >= 0)
        DatabaseError(Format("Duplicate field name '%s'", name));
    TFieldDef d;
    d.Name = name;
    d.DataType = type;
    d.Size = size;
    d.Required = required;
    d.FieldNo = Count() + 1;
    defs_.push_back(d);
}

int TFieldDefs::IndexOf(const std::string &name) const
{
    for (size_t i = 0; i < defs_.size(); ++i)
        if (SameText(defs_[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

const TFieldDef *TFieldDefs::Find(const std::string &name) const
{
    int i = IndexOf(name);
    return i < 0 ? nullptr : &defs_[i];
}

std::vector<TEngineFieldDesc> TFieldDefs::ToEngine() const
{
    std::vector<TEngineFieldDesc> out;
    for (const TFieldDef &d : defs_) {
        TEngineFieldDesc f;
        f.Name = d.Name;
        f.Type = d.DataType;
        f.Size = d.Size;
        f.Precision = d.Precision;
        f.Required = d.Required;
        out.push_back(f);
    }
    return out;
}

// ---- TDataSet -------------------------------------------------------------------

TDataSet::TDataSet(TComponent *owner)
    : TComponent(owner)
{
}

TDataSet::~TDataSet()
{
    Destroying();
    try {
        if (Active())
            CloseInternal();
    } catch (...) {
        // A destructor has nobody to tell; the cursor is gone either way.
    }
    for (TDataSource *source : dataSources_) {
        source->dataSet_ = nullptr;
        source->SetState(dsInactive);
    }
    dataSources_.clear();
    for (TField *f : fields_)
        f->dataSet_ = nullptr;
    fields_.clear();
}

void TDataSet::SetActive(bool active)
{
    if (ComponentState().Contains(csLoading)) {
        streamedActive_ = active;
        return;
    }
    if (active == Active())
        return;
    if (active)
        OpenInternal();
    else
        CloseInternal();
}

void TDataSet::Loaded()
{
    TComponent::Loaded();
    if (streamedActive_)
        SetActive(true);
}

void TDataSet::OpenInternal()
{
    DoBeforeOpen();
    try {
        OpenCursor(false);
    } catch (...) {
        try {
            CloseCursor();
        } catch (...) {
        }
        throw;
    }
    if (!IsCursorOpen())
        return; // a descendant found nothing to open (a query that gives no answer)
    ClearBuffers();
    int wanted = 1;
    for (TDataSource *source : dataSources_)
        for (TDataLink *link : source->links_)
            if (link)
                wanted = std::max(wanted, link->bufferCount_);
    buffers_.clear();
    bufferCount_ = 0;
    SetState(dsBrowse);
    buffers_.push_back(std::make_unique<TRecBuf>()); // the spare one
    InternalInitRecord(*buffers_[0]);
    SetBufferCount(wanted);
    InternalFirst();
    GetNextRecords();
    bof_ = true;
    eof_ = recordCount_ == 0;
    DataEvent(deDataSetChange, 0);
    ApplyPendingResync();
    DoAfterOpen();
    if (!IsEmpty())
        DoAfterScroll();
}

void TDataSet::CloseInternal()
{
    DoBeforeClose();
    if (state_ == dsEdit || state_ == dsInsert || state_ == dsSetKey)
        DataEvent(deCheckBrowseMode, 0);
    SetState(dsInactive);
    CloseCursor();
    buffers_.clear();
    bufferCount_ = 0;
    ClearBuffers();
    DoAfterClose();
}

void TDataSet::OpenCursor(bool infoQuery)
{
    if (infoQuery) {
        InternalInitFieldDefs();
        return;
    }
    InternalOpen();
}

void TDataSet::CloseCursor()
{
    if (IsCursorOpen())
        InternalClose();
}

void TDataSet::InitFieldDefs()
{
    if (IsCursorOpen())
        InternalInitFieldDefs();
    else {
        try {
            OpenCursor(true);
        } catch (...) {
            CloseCursor();
            throw;
        }
        CloseCursor();
    }
}

void TDataSet::CreateFields()
{
    defaultFields_ = fields_.empty();
    if (!defaultFields_)
        return;
    for (int i = 0; i < fieldDefs_.Count(); ++i) {
        const TFieldDef &d = fieldDefs_.Items(i);
        TField *f = static_cast<TField *>(::CreateComponent(DefaultFieldClass(d.DataType), this));
        f->fieldName_ = d.Name;
        f->size_ = d.Size;
        f->required_ = d.Required;
        f->dataType_ = d.DataType;
        if (auto *bcd = dynamic_cast<TBCDField *>(f))
            bcd->SetPrecision(d.Precision);
        f->SetDataSet(this);
    }
}

void TDataSet::BindFields(bool binding)
{
    physicalCount_ = fieldDefs_.Count();
    int extra = 0;
    for (TField *f : fields_) {
        if (!binding) {
            f->fieldNo_ = 0;
            f->slot_ = -1;
            continue;
        }
        if (f->fieldKind_ == fkData) {
            const TFieldDef *d = fieldDefs_.Find(f->fieldName_);
            if (!d)
                DatabaseError(Format("%s: Field '%s' not found", Name(), f->fieldName_));
            f->fieldNo_ = d->FieldNo;
            f->slot_ = d->FieldNo - 1;
            f->dataType_ = d->DataType;
            if (f->size_ == 0)
                f->size_ = d->Size;
        } else {
            f->fieldNo_ = 0;
            f->slot_ = physicalCount_ + extra++;
        }
    }
    slotCount_ = physicalCount_ + extra;
}

void TDataSet::AddField(TField *field)
{
    fields_.push_back(field);
}

void TDataSet::RemoveField(TField *field)
{
    std::erase(fields_, field);
}

TField *TDataSet::Fields(int index) const
{
    if (index < 0 || index >= FieldCount())
        DatabaseError("Field index out of range");
    return fields_[index];
}

TField *TDataSet::FindField(const std::string &name) const
{
    for (TField *f : fields_)
        if (SameText(f->FieldName(), name))
            return f;
    return nullptr;
}

TField *TDataSet::FieldByName(const std::string &name) const
{
    TField *f = FindField(name);
    if (!f)
        DatabaseError(Name().empty() ? Format("Field '%s' not found", name) : Format("%s: Field '%s' not found", Name(), name));
    return f;
}

std::vector<std::string> TDataSet::GetFieldNames() const
{
    std::vector<std::string> names;
    for (TField *f : fields_)
        names.push_back(f->FieldName());
    return names;
}

std::vector<TField *> TDataSet::GetFieldList(const std::string &names) const
{
    std::vector<TField *> list;
    size_t start = 0;
    while (start <= names.size()) {
        size_t semi = names.find(';', start);
        std::string n = Trim(names.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (!n.empty())
            list.push_back(FieldByName(n));
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    return list;
}

void TDataSet::GetChildren(const TGetChildProc &proc, TComponent *root) const
{
    for (TField *f : fields_)
        if (f->Owner() == root)
            proc(f);
}

void TDataSet::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove)
        for (TField *f : fields_)
            if (f->lookupDataSet_ == component)
                f->lookupDataSet_ = nullptr;
}

void TDataSet::SetState(TDataSetState state)
{
    if (state_ == state)
        return;
    state_ = state;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

void TDataSet::CheckActive() const
{
    if (!Active())
        DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const
{
    if (Active())
        DatabaseError("Cannot perform this operation on an open dataset");
}

void TDataSet::CheckCanModify() const
{
    if (!CanModify())
        DatabaseError("Cannot modify a read-only dataset");
}

TRecBuf *TDataSet::ActiveBuffer() const
{
    switch (state_) {
    case dsInactive: return nullptr;
    case dsCalcFields:
    case dsFilter: return tempBuffer_;
    case dsSetKey: return KeyBuffer();
    default: return recordCount_ > 0 ? buffers_[activeRecord_].get() : nullptr;
    }
}

// ---- The record window --------------------------------------------------------

void TDataSet::ClearBuffers()
{
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = eof_ = true;
}

void TDataSet::ActivateBuffers()
{
    recordCount_ = 1;
    currentRecord_ = 0;
    activeRecord_ = 0;
    bof_ = eof_ = false;
}

void TDataSet::MoveBuffer(int from, int to)
{
    if (from == to)
        return;
    if (from < to)
        std::rotate(buffers_.begin() + from, buffers_.begin() + from + 1, buffers_.begin() + to + 1);
    else
        std::rotate(buffers_.begin() + to, buffers_.begin() + from, buffers_.begin() + from + 1);
}

void TDataSet::SetCurrentRecord(int index)
{
    // A filter callback that asks for the cursor runs inside a fetch: the
    // engine keeps its own place there, and the buffers stay as they are.
    if (fetchDepth_ > 0)
        return;
    if (currentRecord_ != index) {
        InternalSetToRecord(*buffers_[index]);
        currentRecord_ = index;
    }
}

void TDataSet::UpdateCursorPos()
{
    if (recordCount_ > 0)
        SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord()
{
    TGetMode mode = gmNext;
    if (recordCount_ > 0) {
        SetCurrentRecord(recordCount_ - 1);
        if (state_ == dsInsert && currentRecord_ == activeRecord_ && buffers_[activeRecord_]->Flag == bfCurrent)
            mode = gmCurrent;
    }
    bool ok = GetRecord(*buffers_[recordCount_], mode, true) == grOK;
    if (ok) {
        if (recordCount_ == 0)
            ActivateBuffers();
        else if (recordCount_ < bufferCount_)
            ++recordCount_;
        else
            MoveBuffer(0, recordCount_);
        currentRecord_ = recordCount_ - 1;
    } else
        CursorPosChanged();
    return ok;
}

bool TDataSet::GetPriorRecord()
{
    if (recordCount_ > 0)
        SetCurrentRecord(0);
    bool ok = GetRecord(*buffers_[recordCount_], gmPrior, true) == grOK;
    if (ok) {
        if (recordCount_ == 0)
            ActivateBuffers();
        else {
            MoveBuffer(recordCount_, 0);
            if (recordCount_ < bufferCount_) {
                ++recordCount_;
                ++activeRecord_;
            }
        }
        currentRecord_ = 0;
    } else
        CursorPosChanged();
    return ok;
}

int TDataSet::GetNextRecords()
{
    int n = 0;
    while (recordCount_ < bufferCount_ && GetNextRecord())
        ++n;
    return n;
}

int TDataSet::GetPriorRecords()
{
    int n = 0;
    while (recordCount_ < bufferCount_ && GetPriorRecord())
        ++n;
    return n;
}

void TDataSet::SetBufferCount(int count)
{
    count = std::max(count, 1);
    if (count == bufferCount_ || buffers_.empty())
        return;
    if (count < bufferCount_ && recordCount_ > 0) {
        // Drop records from the front until the active one fits.
        int delta = std::max(0, activeRecord_ - (count - 1));
        for (int i = 0; i < delta; ++i)
            MoveBuffer(0, bufferCount_);
        activeRecord_ -= delta;
        recordCount_ -= delta;
        currentRecord_ = currentRecord_ >= delta ? currentRecord_ - delta : -1;
        if (recordCount_ > count) {
            if (currentRecord_ >= count)
                currentRecord_ = -1;
            recordCount_ = count;
        }
        for (TDataSource *source : dataSources_)
            for (TDataLink *link : source->links_)
                if (link)
                    link->firstRecord_ = std::max(0, link->firstRecord_ - delta);
    }
    while (static_cast<int>(buffers_.size()) < count + 1)
        buffers_.push_back(std::make_unique<TRecBuf>());
    buffers_.resize(count + 1);
    for (auto &b : buffers_)
        if (static_cast<int>(b->Values.size()) != slotCount_)
            InternalInitRecord(*b);
    int old = bufferCount_;
    bufferCount_ = count;
    if (old > 0 && count > old && state_ == dsBrowse) {
        if (GetNextRecords() + GetPriorRecords() > 0)
            DataEvent(deDataSetChange, 0);
    }
}

void TDataSet::InternalInitRecord(TRecBuf &buffer)
{
    buffer.Values.assign(slotCount_, Variant());
    buffer.Modified.assign(slotCount_, false);
    buffer.Blobs.clear();
    buffer.RowId = 0;
    buffer.Flag = bfCurrent;
}

TBookmark TDataSet::BookmarkOf(const TRecBuf &buffer) const
{
    TBookmark b(sizeof(int64_t), '\0');
    memcpy(b.data(), &buffer.RowId, sizeof(int64_t));
    return b;
}

// ---- Navigation ---------------------------------------------------------------

void TDataSet::First()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
    ApplyPendingResync();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
    ApplyPendingResync();
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    int moved = 0;
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        DoBeforeScroll();
        bof_ = eof_ = false;
        int scroll = 0;
        UpdateCursorPos();
        try {
            while (distance > 0 && moved < distance) {
                if (activeRecord_ < recordCount_ - 1)
                    ++activeRecord_;
                else {
                    bool full = recordCount_ == bufferCount_;
                    if (!GetNextRecord()) {
                        eof_ = true;
                        break;
                    }
                    if (full)
                        ++scroll;
                    else
                        activeRecord_ = recordCount_ - 1;
                }
                ++moved;
            }
            while (distance < 0 && moved < -distance) {
                if (activeRecord_ > 0)
                    --activeRecord_;
                else {
                    bool full = recordCount_ == bufferCount_;
                    if (!GetPriorRecord()) {
                        bof_ = true;
                        break;
                    }
                    if (full)
                        --scroll;
                    activeRecord_ = 0;
                }
                ++moved;
            }
        } catch (...) {
            DataEvent(deDataSetScroll, scroll);
            throw;
        }
        DataEvent(deDataSetScroll, scroll);
        DoAfterScroll();
        ApplyPendingResync();
    }
    return distance < 0 ? -moved : moved;
}

void TDataSet::Resync(TResyncMode mode)
{
    if (fetchDepth_ > 0) {
        // Asked from inside a filter callback: done once the fetch is over.
        resyncPending_ = true;
        return;
    }
    resyncPending_ = false;
    TRecBuf &spare = *buffers_[recordCount_];
    if (mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, false) != grOK)
            DatabaseError("Record not found");
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK
        && GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.Contains(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
    MoveBuffer(recordCount_, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
    ApplyPendingResync();
}

void TDataSet::ApplyPendingResync()
{
    if (!resyncPending_ || fetchDepth_ > 0 || state_ != dsBrowse)
        return;
    UpdateCursorPos();
    Resync({});
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    Resync({});
}

int TDataSet::RecordCount() { return recordCount_; }
int TDataSet::RecNo() { return -1; }
void TDataSet::SetRecNo(int) {}
bool TDataSet::IsSequenced() { return false; }

TBookmark TDataSet::GetBookmark()
{
    if (!Active() || recordCount_ == 0 || state_ == dsInsert)
        return {};
    const TRecBuf &b = *buffers_[activeRecord_];
    return b.Flag == bfCurrent ? BookmarkOf(b) : TBookmark();
}

void TDataSet::GotoBookmark(const TBookmark &bookmark)
{
    if (bookmark.empty())
        return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark);
    Resync(TResyncMode({rmExact, rmCenter}));
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark &) { return false; }
int TDataSet::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.empty() || b.empty())
        return a.empty() && b.empty() ? 0 : a.empty() ? -1 : 1;
    return a == b ? 0 : a < b ? -1 : 1;
}

namespace {

bool MatchesKey(const TField *field, const Variant &value, const Variant &key, TLocateOptions options)
{
    if (value.IsNull() || key.IsNull())
        return value.IsNull() && key.IsNull();
    if (field->DataType() == ftString || field->DataType() == ftMemo || key.Kind() == Variant::vkText) {
        std::string a = value.AsString(), b = key.AsString();
        if (options.Contains(loCaseInsensitive))
            a = AnsiUpperCase(a), b = AnsiUpperCase(b);
        if (options.Contains(loPartialKey))
            return a.compare(0, b.size(), b) == 0;
        return a == b;
    }
    return value.AsFloat() == key.AsFloat();
}

} // namespace

bool TDataSet::Locate(const std::string &keyFields, const std::vector<Variant> &keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    std::vector<TField *> fields = GetFieldList(keyFields);
    if (fields.size() != keyValues.size())
        DatabaseError("Locate: the number of fields and values differ");
    TBookmark start = GetBookmark();
    DisableControls();
    bool found = false;
    try {
        // Scan the buffers first: what the window shows costs nothing.
        First();
        while (!Eof()) {
            bool all = true;
            for (size_t i = 0; i < fields.size() && all; ++i)
                all = MatchesKey(fields[i], fields[i]->Value(), keyValues[i], options);
            if (all) {
                found = true;
                break;
            }
            Next();
        }
        if (!found && !start.empty())
            GotoBookmark(start);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

Variant TDataSet::Lookup(
    const std::string &keyFields, const std::vector<Variant> &keyValues, const std::string &resultField)
{
    CheckActive();
    TField *result = FieldByName(resultField);
    TBookmark start = GetBookmark();
    Variant value;
    DisableControls();
    try {
        if (Locate(keyFields, keyValues, {}))
            value = result->Value();
        if (!start.empty() && GetBookmark() != start)
            GotoBookmark(start);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return value;
}

// ---- Editing ------------------------------------------------------------------

void TDataSet::Edit()
{
    if (state_ == dsEdit || state_ == dsInsert)
        return;
    CheckActive();
    CheckCanModify();
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    DoBeforeEdit();
    UpdateCursorPos();
    InternalEdit();
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::DoInsertAppend(bool append)
{
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
    if (!append) {
        UpdateCursorPos();
        MoveBuffer(recordCount_, activeRecord_);
        TRecBuf &b = *buffers_[activeRecord_];
        InternalInitRecord(b);
        b.Flag = recordCount_ == 0 ? bfBOF : bfInserted;
        if (recordCount_ < bufferCount_)
            ++recordCount_;
        currentRecord_ = currentRecord_ == activeRecord_ && activeRecord_ + 1 < recordCount_ ? activeRecord_ + 1 : -1;
        InternalInsert();
    } else {
        ClearBuffers();
        TRecBuf &b = *buffers_[0];
        InternalInitRecord(b);
        b.Flag = bfEOF;
        recordCount_ = 1;
        InternalInsert();
        GetPriorRecords();
    }
    bof_ = eof_ = false;
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert() { DoInsertAppend(false); }
void TDataSet::Append() { DoInsertAppend(true); }

void TDataSet::CheckRequiredFields()
{
    for (TField *f : fields_)
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()
            && f->DataType() != ftAutoInc) {
            f->FocusControl();
            DatabaseError(Format("Field '%s' must have a value", f->DisplayName()));
        }
}

void TDataSet::FreeFieldBuffers()
{
    if (TRecBuf *b = ActiveBuffer())
        b->Blobs.clear();
}

void TDataSet::UpdateRecord()
{
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
        DatabaseError("Dataset not in edit or insert mode");
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::PostKeyBuffer(bool) { SetState(dsBrowse); }

void TDataSet::Post()
{
    UpdateRecord();
    if (state_ == dsSetKey) {
        PostKeyBuffer(true);
        return;
    }
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckRequiredFields();
    UpdateCursorPos();
    InternalPost();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
}

void TDataSet::Cancel()
{
    if (state_ == dsSetKey) {
        PostKeyBuffer(false);
        return;
    }
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    UpdateCursorPos();
    if (state_ == dsEdit)
        InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterCancel();
}

void TDataSet::Delete()
{
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (recordCount_ == 0)
        DatabaseError("Cannot perform this operation on an empty dataset");
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    UpdateCursorPos();
    InternalDelete();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
        break;
    case dsSetKey: Post(); break;
    default: break;
    }
}

void TDataSet::ClearFields()
{
    if (state_ != dsEdit && state_ != dsInsert)
        DatabaseError("Dataset not in edit or insert mode");
    TRecBuf *b = ActiveBuffer();
    for (TField *f : fields_)
        if (f->FieldKind() == fkData && !f->ReadOnly()) {
            b->Values[f->slot_] = Variant();
            b->Modified[f->slot_] = true;
            b->Blobs.erase(f->slot_);
        }
    modified_ = true;
    DataEvent(deRecordChange, 0);
}

void TDataSet::SetFieldData(TField *field, const Variant &value)
{
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey && state_ != dsCalcFields
        && state_ != dsFilter)
        DatabaseError("Dataset not in edit or insert mode");
    if (field->ReadOnly() && field->FieldKind() == fkData && state_ != dsSetKey && state_ != dsFilter
        && state_ != dsCalcFields)
        DatabaseError(Format("Field '%s' cannot be modified", field->DisplayName()));
    TRecBuf *b = ActiveBuffer();
    if (!b || field->slot_ < 0 || field->slot_ >= static_cast<int>(b->Values.size()))
        DatabaseError(Format("Field '%s' has no dataset", field->DisplayName()));
    if (state_ == dsCalcFields) {
        b->Values[field->slot_] = value;
        return;
    }
    // The validator reads the value being set; a refusal puts the old one back.
    Variant old = std::exchange(b->Values[field->slot_], value);
    try {
        field->OnValidate(field);
    } catch (...) {
        b->Values[field->slot_] = std::move(old);
        throw;
    }
    b->Modified[field->slot_] = true;
    if (field->FieldKind() == fkData && state_ != dsSetKey)
        modified_ = true;
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    field->OnChange(field);
}

void TDataSet::GetCalcFields(TRecBuf &buffer)
{
    if (slotCount_ == physicalCount_)
        return;
    TDataSetState saved = state_;
    TRecBuf *savedTemp = tempBuffer_;
    state_ = dsCalcFields;
    tempBuffer_ = &buffer;
    try {
        for (int i = physicalCount_; i < slotCount_; ++i)
            buffer.Values[i] = Variant();
        for (TField *f : fields_)
            if (f->FieldKind() == fkLookup)
                CalculateLookup(f);
        DoOnCalcFields();
    } catch (...) {
        state_ = saved;
        tempBuffer_ = savedTemp;
        throw;
    }
    state_ = saved;
    tempBuffer_ = savedTemp;
}

void TDataSet::CalculateLookup(TField *field)
{
    TDataSet *lookup = field->LookupDataSet();
    if (!lookup || !lookup->Active() || field->KeyFields().empty())
        return;
    std::vector<Variant> keys;
    for (TField *k : GetFieldList(field->KeyFields()))
        keys.push_back(k->Value());
    tempBuffer_->Values[field->slot_] = lookup->Lookup(field->LookupKeyFields(), keys, field->LookupResultField());
}

bool TDataSet::FilterRow(TRecBuf &row)
{
    if (!filtered_ || !OnFilterRecord)
        return true;
    bool accept = true;
    WithFilterBuffer(row, [&] { OnFilterRecord(this, accept); });
    return accept;
}

void TDataSet::WithFilterBuffer(TRecBuf &row, const std::function<void()> &action)
{
    TDataSetState saved = state_;
    TRecBuf *savedTemp = tempBuffer_;
    state_ = dsFilter;
    tempBuffer_ = &row;
    try {
        action();
    } catch (...) {
        state_ = saved;
        tempBuffer_ = savedTemp;
        throw;
    }
    state_ = saved;
    tempBuffer_ = savedTemp;
}

void TDataSet::SetFiltered(bool filtered)
{
    if (filtered_ == filtered)
        return;
    filtered_ = filtered;
    if (Active()) {
        CheckBrowseMode();
        SetFilterData(filtered_, OnFilterRecord);
        First();
    }
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler)
{
    OnFilterRecord = std::move(handler);
    if (Active() && filtered_) {
        CheckBrowseMode();
        SetFilterData(filtered_, OnFilterRecord);
        First();
    }
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField *field, TBlobStreamMode mode)
{
    auto *blob = dynamic_cast<TBlobField *>(field);
    if (!blob)
        DatabaseError(Format("Field '%s' is not a blob field", field->DisplayName()));
    return std::make_unique<TBlobStream>(blob, mode);
}

// ---- Controls -----------------------------------------------------------------

void TDataSet::DisableControls()
{
    if (disableCount_++ == 0)
        eventPending_ = false;
}

void TDataSet::EnableControls()
{
    if (disableCount_ == 0)
        return;
    if (--disableCount_ == 0 && eventPending_) {
        eventPending_ = false;
        DataEvent(deDataSetChange, 0);
    }
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info)
{
    if (event == deFieldChange) {
        auto *field = reinterpret_cast<TField *>(info);
        if (field && field->FieldKind() == fkData && autoCalcFields_ && slotCount_ > physicalCount_
            && (state_ == dsEdit || state_ == dsInsert))
            if (TRecBuf *b = ActiveBuffer())
                GetCalcFields(*b);
    }
    // What only refreshes a display waits while the controls are disabled;
    // what moves data (a state change, an edit to write back, a focus
    // request) goes through at once, so nothing typed is lost.
    bool display = event == deFieldChange || event == deRecordChange || event == deDataSetChange
        || event == deDataSetScroll || event == deLayoutChange || event == dePropertyChange
        || event == deFieldListChange;
    if (display && disableCount_ > 0) {
        eventPending_ = true;
        return;
    }
    std::vector<TDataSource *> sources = dataSources_;
    for (TDataSource *source : sources)
        if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end())
            source->DataEvent(event, info);
}

// ---- TDataSource ----------------------------------------------------------------

TDataSource::TDataSource(TComponent *owner)
    : TComponent(owner)
{
}

TDataSource::~TDataSource()
{
    Destroying();
    for (TDataLink *link : links_)
        if (link) {
            link->dataSource_ = nullptr;
            link->UpdateState();
        }
    links_.clear();
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet *dataSet)
{
    if (dataSet_ == dataSet)
        return;
    if (dataSet && IsLinkedTo(dataSet))
        DatabaseError("Circular datalinks are not allowed");
    if (dataSet_)
        std::erase(dataSet_->dataSources_, this);
    dataSet_ = dataSet;
    if (dataSet_)
        dataSet_->dataSources_.push_back(this);
    SetState(dataSet_ && enabled_ ? dataSet_->State() : dsInactive);
}

void TDataSource::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    SetState(dataSet_ && enabled_ ? dataSet_->State() : dsInactive);
}

void TDataSource::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
}

void TDataSource::Edit()
{
    if (autoEdit_ && state_ == dsBrowse && dataSet_)
        dataSet_->Edit();
}

bool TDataSource::IsLinkedTo(const TDataSet *dataSet) const
{
    (void)dataSet;
    return false;
}

void TDataSource::SetState(TDataSetState state)
{
    if (state_ == state) {
        NotifyDataLinks(deUpdateState, 0);
        return;
    }
    bool wasInactive = state_ == dsInactive;
    state_ = state;
    NotifyDataLinks(deUpdateState, 0);
    OnStateChange(this);
    if (wasInactive && state_ != dsInactive)
        OnDataChange(this, nullptr);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info)
{
    if (event == deUpdateState) {
        SetState(dataSet_ && enabled_ ? dataSet_->State() : dsInactive);
        return;
    }
    if (state_ == dsInactive)
        return;
    NotifyDataLinks(event, info);
    switch (event) {
    case deFieldChange: OnDataChange(this, reinterpret_cast<TField *>(info)); break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: OnDataChange(this, nullptr); break;
    case deUpdateRecord: OnUpdateData(this); break;
    default: break;
    }
}

void TDataSource::NotifyDataLinks(TDataEvent event, intptr_t info)
{
    // A link may leave (or be freed) while it hears the event: its slot is
    // cleared, not erased, until the outermost walk ends.
    ++walking_;
    try {
        for (size_t i = 0; i < links_.size(); ++i)
            if (TDataLink *link = links_[i])
                link->DataEvent(event, info);
    } catch (...) {
        if (--walking_ == 0)
            std::erase(links_, nullptr);
        throw;
    }
    if (--walking_ == 0)
        std::erase(links_, nullptr);
}

void TDataSource::AddDataLink(TDataLink *link)
{
    links_.push_back(link);
    if (dataSet_ && dataSet_->Active())
        dataSet_->SetBufferCount(std::max(dataSet_->BufferCount(), link->BufferCount()));
}

void TDataSource::RemoveDataLink(TDataLink *link)
{
    auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end())
        return;
    if (walking_ > 0)
        *it = nullptr;
    else
        links_.erase(it);
}

// ---- TDataLink ------------------------------------------------------------------

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    if (dataSource_)
        dataSource_->RemoveDataLink(this);
    dataSource_ = nullptr;
}

TDataSet *TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource *source)
{
    if (dataSource_ == source)
        return;
    if (dataSource_)
        dataSource_->RemoveDataLink(this);
    dataSource_ = source;
    if (dataSource_)
        dataSource_->AddDataLink(this);
    UpdateState();
}

void TDataLink::SetReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    UpdateState();
}

void TDataLink::UpdateState()
{
    SetActive(dataSource_ && dataSource_->State() != dsInactive);
    SetEditing(dataSource_ && (dataSource_->State() == dsEdit || dataSource_->State() == dsInsert)
        && !readOnly_);
}

void TDataLink::SetActive(bool active)
{
    if (active_ == active)
        return;
    active_ = active;
    if (active)
        UpdateRange();
    else
        firstRecord_ = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool editing)
{
    if (editing_ == editing)
        return;
    editing_ = editing;
    EditingChanged();
}

void TDataLink::UpdateRange()
{
    TDataSet *ds = DataSet();
    if (!ds)
        return;
    int min = std::max(0, ds->activeRecord_ - bufferCount_ + 1);
    int max = std::max(0, ds->bufferCount_ - bufferCount_);
    max = std::min(max, ds->activeRecord_);
    firstRecord_ = std::clamp(firstRecord_, min, std::max(min, max));
}

int TDataLink::ActiveRecord() const
{
    TDataSet *ds = DataSet();
    return ds && active_ ? ds->activeRecord_ - firstRecord_ : 0;
}

void TDataLink::SetActiveRecord(int value)
{
    TDataSet *ds = DataSet();
    if (ds && active_ && value >= 0 && firstRecord_ + value < std::max(ds->recordCount_, 1))
        ds->activeRecord_ = firstRecord_ + value;
}

void TDataLink::SetBufferCount(int value)
{
    value = std::max(value, 1);
    if (bufferCount_ == value)
        return;
    bufferCount_ = value;
    if (TDataSet *ds = DataSet(); ds && ds->Active()) {
        int wanted = 1;
        for (TDataSource *source : ds->dataSources_)
            for (TDataLink *link : source->links_)
                if (link)
                    wanted = std::max(wanted, link->bufferCount_);
        ds->SetBufferCount(wanted);
        UpdateRange();
    }
}

int TDataLink::RecordCount() const
{
    TDataSet *ds = DataSet();
    if (!ds || !active_)
        return 0;
    return std::clamp(ds->recordCount_ - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit()
{
    if (!readOnly_ && dataSource_)
        dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord()
{
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!updating_)
            RecordChanged(reinterpret_cast<TField *>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        // The dataset's window moved forward by info rows; where this link's
        // own window now starts says by how much it scrolled.
        int before = firstRecord_ - (event == deDataSetScroll ? static_cast<int>(info) : 0);
        firstRecord_ = before;
        UpdateRange();
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(firstRecord_ - before);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField **>(info)); break;
    default: break;
    }
}

// ---- TFieldDataLink -------------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string &name)
{
    if (fieldName_ == name)
        return;
    fieldName_ = name;
    UpdateField();
}

void TFieldDataLink::UpdateField()
{
    field_ = nullptr;
    if (Active() && !fieldName_.empty())
        field_ = DataSet()->FieldByName(fieldName_);
    modified_ = false;
    OnDataChange(control_);
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ && field_->CanModify(); }

bool TFieldDataLink::Edit()
{
    if (CanModify())
        TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset() { RecordChanged(nullptr); }

void TFieldDataLink::ActiveChanged()
{
    UpdateField();
    OnActiveChange(control_);
}

void TFieldDataLink::EditingChanged() { OnEditingChange(control_); }

void TFieldDataLink::FocusControl(TField **field)
{
    if (field && *field && *field == field_ && control_) {
        *field = nullptr;
        OnFocus(control_);
    }
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField *field)
{
    if (!field || field == field_) {
        OnDataChange(control_);
        modified_ = false;
    }
}

void TFieldDataLink::UpdateData()
{
    if (modified_) {
        if (field_)
            OnUpdateData(control_);
        modified_ = false;
    }
}

// ---- TParams --------------------------------------------------------------------

TParam *TParams::FindParam(const std::string &name) const
{
    for (const auto &p : items_)
        if (SameText(p->Name(), name))
            return p.get();
    return nullptr;
}

TParam &TParams::ParamByName(const std::string &name) const
{
    TParam *p = FindParam(name);
    if (!p)
        DatabaseError(Format("Parameter '%s' not found", name));
    return *p;
}

TParam &TParams::CreateParam(TFieldType type, const std::string &name, TParamType paramType)
{
    items_.push_back(std::make_unique<TParam>(name, type));
    items_.back()->SetParamType(paramType);
    return *items_.back();
}

void TParams::AssignNames(const std::vector<std::string> &names)
{
    std::vector<std::unique_ptr<TParam>> kept;
    for (const std::string &n : names) {
        if (std::any_of(kept.begin(), kept.end(), [&n](const auto &p) { return SameText(p->Name(), n); }))
            continue;
        auto it = std::find_if(items_.begin(), items_.end(), [&n](const auto &p) { return p && SameText(p->Name(), n); });
        if (it != items_.end())
            kept.push_back(std::move(*it));
        else
            kept.push_back(std::make_unique<TParam>(n));
    }
    items_ = std::move(kept);
}
