#include "controls/data/Qxdbsets_p.h"

#include "controls/base/Qxcomui.h"
#include "controls/base/Qxfilter.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

const char *const qxLiveQueryFilterRefused
    = "Local filtering is not supported on a Live-Query which contains a Where clause in the SQL string. To perform a "
      "local filter on this query, you will need to set its RequestLive property to False.";
const char *const qxQBEFilterRefused = "Local Filtering is not supported on this QBE.";

namespace {

// Raised while OnFilter runs, lowered however it ends.
class TFlagScope
{
public:
    explicit TFlagScope(bool &flag) : flag_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = false; }

private:
    bool &flag_;
};

} // namespace

TqxStatementCursor::TqxStatementCursor() { Screen->SetCursor(crHourGlass); }
TqxStatementCursor::~TqxStatementCursor() { Screen->SetCursor(crDefault); }

TqxLookupTableList *IqxExtendedDataSet::LookupTables() { return &Extension().Tables; }
TStrings *IqxExtendedDataSet::ControlType() const { return Extension().ControlType.get(); }
void IqxExtendedDataSet::SetControlType(const TStrings *lines) { Extension().ControlType->Assign(*lines); }
TStrings *IqxExtendedDataSet::LookupFields() const { return Extension().LookupFields.get(); }
void IqxExtendedDataSet::SetLookupFields(const TStrings *lines) { Extension().LookupFields->Assign(*lines); }
TStrings *IqxExtendedDataSet::LookupLinks() const { return Extension().LookupLinks.get(); }
void IqxExtendedDataSet::SetLookupLinks(const TStrings *lines) { Extension().LookupLinks->Assign(*lines); }
TStrings *IqxExtendedDataSet::PictureMasks() const { return Extension().PictureMasks.get(); }
void IqxExtendedDataSet::SetPictureMasks(const TStrings *lines) { Extension().PictureMasks->Assign(*lines); }
TqxOnFilterOptions IqxExtendedDataSet::OnFilterOptions() const { return Extension().Options; }
void IqxExtendedDataSet::SetOnFilterOptions(TqxOnFilterOptions options) { Extension().SetOptions(options); }
bool IqxExtendedDataSet::ValidateWithMask() const { return Extension().ValidateWithMask; }
void IqxExtendedDataSet::SetValidateWithMask(bool validate) { Extension().ValidateWithMask = validate; }

TqxDataSetExtension::TqxDataSetExtension(TBDEDataSet *dataSet, bool plainCallback)
    : DataSet(dataSet)
    , PlainCallback(plainCallback)
    , ControlType(std::make_unique<TStringList>())
    , LookupFields(std::make_unique<TStringList>())
    , LookupLinks(std::make_unique<TStringList>())
    , PictureMasks(std::make_unique<TStringList>())
{
}

TqxDataSetExtension::~TqxDataSetExtension() { FreeLookupTables(); }

int TqxDataSetExtension::RecordFilter(void *clientData, const TEngineRow &row)
{
    auto *dataSet = static_cast<TBDEDataSet *>(clientData);
    auto *extended = dynamic_cast<IqxExtendedDataSet *>(dataSet);
    if (!extended)
        return 1;
    TqxDataSetExtension &x = extended->Extension();
    if (dataSet->ComponentState().Contains(csDestroying) || !x.FilterAssigned() || x.InFilter
        || (!x.PlainCallback && !x.Options.Contains(ofoEnabled)))
        return 1;
    bool accept = true;
    {
        TFlagScope inFilter(x.InFilter);
        dataSet->WithEngineRow(row, [&] { x.CallFilter(accept); });
    }
    if (x.PlainCallback)
        return accept ? 1 : 0;
    if (x.Options.Contains(ofoShowHourGlass) && !accept && !x.HourGlass) {
        if (Screen->Cursor() != crHourGlass)
            Screen->SetCursor(crHourGlass);
        x.HourGlass = true;
    }
    if (!x.Options.Contains(ofoCancelOnEscape))
        return accept ? 1 : 0;
    if (++x.PollCounter > 31999)
        x.PollCounter = 0;
    if (x.PollCounter % 100 == 0 && qxEscapePressed(dataSet) && x.OnFilterEscape)
        (*x.OnFilterEscape)(dataSet);
    return accept ? 1 : 0;
}

bool TqxDataSetExtension::InstallRecordFilter(const std::string &refusedWarning)
{
    if (!FilterAssigned())
        return qxSetRecordFilter(nullptr, DataSet, RecordFilterHandle);
    bool installed = qxSetRecordFilter(&RecordFilter, DataSet, RecordFilterHandle);
    if (RecordFilterHandle == 0 && !refusedWarning.empty())
        MessageBox(nullptr, refusedWarning, "Warning", MB_OK | MB_ICONWARNING);
    return installed;
}

void TqxDataSetExtension::SetOptions(TqxOnFilterOptions options)
{
    bool switchedOff = Options.Contains(ofoEnabled) && !options.Contains(ofoEnabled);
    Options = options;
    if (!switchedOff || !DataSet->Active() || !FilterAssigned())
        return;
    // Inside a fetch (Escape seen by the callback) the resync waits for the
    // fetch to end; the dataset brings its position up to date then.
    if (!Fetching())
        DataSet->UpdateCursorPos();
    DataSet->Resync({});
}

void TqxDataSetExtension::RestoreHourGlass()
{
    if (Options.Contains(ofoShowHourGlass) && HourGlass && Screen->Cursor() != crArrow) {
        Screen->SetCursor(crArrow);
        HourGlass = false;
    }
}

void TqxDataSetExtension::ValidateMasks()
{
    TqxInvalidValueEvent *event = OnInvalidValue;
    qxValidateFieldsWithMasks(DataSet, [event](TDataSet *dataSet, TField *field) {
        if (event)
            (*event)(dataSet, field);
    });
}

void TqxDataSetExtension::CalcLookups()
{
    qxRemoveMissingFieldEntries(DataSet, LookupFields.get(), LookupLinks.get(), ControlType.get());
    qxCalcLookupFields(DataSet, LookupFields.get(), LookupLinks.get(), &Tables);
}

void TqxDataSetExtension::FreeLookupTables()
{
    // Each slot is cleared before its table goes: a table's destructor may
    // reach this list again through the dataset.
    TqxLookupTableList tables;
    tables.swap(Tables);
    for (TqxLookupTable &t : tables) {
        TTable *table = t.Table;
        t.Table = nullptr;
        delete table;
    }
}

template <class TSelf, class TBase>
TqxExtendedDataSet<TSelf, TBase>::TqxExtendedDataSet(TComponent *owner, bool plainCallback, const char *refusedWarning)
    : TBase(owner)
    , x_(std::make_unique<TqxDataSetExtension>(this, plainCallback))
    , refusedWarning_(refusedWarning)
{
    x_->FilterAssigned = [this] { return static_cast<bool>(onFilter_); };
    x_->CallFilter = [this](bool &accept) { onFilter_(static_cast<TSelf *>(this), accept); };
    x_->Fetching = [this] { return this->FetchDepth() > 0; };
    x_->OnFilterEscape = &OnFilterEscape;
    x_->OnInvalidValue = &OnInvalidValue;
}

template <class TSelf, class TBase> TqxExtendedDataSet<TSelf, TBase>::~TqxExtendedDataSet() = default;

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::CloseOnDestroy()
{
    this->Destroying();
    try {
        this->Close();
    } catch (...) {
        // A destructor has nobody to tell; the cursor is gone either way.
    }
}

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::SetOnFilter(const TFilterEvent &handler)
{
    onFilter_ = handler;
    if (!handler || !refusedWarning_)
        x_->InstallRecordFilter();
    else if (this->Active())
        x_->InstallRecordFilter(refusedWarning_);
}

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::DoAfterOpen()
{
    TBase::DoAfterOpen();
    if (onFilter_ && refusedWarning_)
        x_->InstallRecordFilter(refusedWarning_);
}

template <class TSelf, class TBase> bool TqxExtendedDataSet<TSelf, TBase>::IsSequenced()
{
    return TBase::IsSequenced() && !onFilter_;
}

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::DataEvent(TDataEvent event, intptr_t info)
{
    TBase::DataEvent(event, info);
    x_->RestoreHourGlass();
}

template <class TSelf, class TBase> int TqxExtendedDataSet<TSelf, TBase>::GetNextRecords()
{
    int count = TBase::GetNextRecords();
    x_->RestoreHourGlass();
    return count;
}

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::DoOnCalcFields()
{
    x_->CalcLookups();
    TBase::DoOnCalcFields();
}

template <class TSelf, class TBase> void TqxExtendedDataSet<TSelf, TBase>::DoBeforePost()
{
    TBase::DoBeforePost();
    if (x_->ValidateWithMask)
        x_->ValidateMasks();
}

// The only four; other files see the declarations alone.
template class TqxExtendedDataSet<TqxTable, TTable>;
template class TqxExtendedDataSet<TqxQuery, TQuery>;
template class TqxExtendedDataSet<TqxStoredProc, TStoredProc>;
template class TqxExtendedDataSet<TqxQBE, TDBDataSet>;

const TEnumNames qxFilterOptionNames = { "ofoEnabled", "ofoShowHourGlass", "ofoCancelOnEscape" };
