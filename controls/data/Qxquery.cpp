#include "controls/data/Qxdbsets_p.h"

const TMetaClass TqxQuery::Class { "TqxQuery", &TQuery::Class };
const TMetaClass TqxStoredProc::Class { "TqxStoredProc", &TStoredProc::Class };

// clang-format off
namespace {

using PQ = TPublish<TqxQuery>;
const TClassRegistrar<TqxQuery> pqRegistrar({
    //           name                  getter                            setter                              default
    PQ::Strings ("ControlType",        &TqxQuery::ControlType),
    PQ::Strings ("LookupFields",       &TqxQuery::LookupFields),
    PQ::Strings ("LookupLinks",        &TqxQuery::LookupLinks),
    PQ::Strings ("PictureMasks",       &TqxQuery::PictureMasks),
    PQ::Boolean ("ValidateWithMask",   &TqxQuery::ValidateWithMask,      &TqxQuery::SetValidateWithMask,     true, true),
    qxFilterEventProperty(&TqxQuery::OnFilter, &TqxQuery::SetOnFilter),
    PQ::Event   ("OnFilterEscape",     &TqxQuery::OnFilterEscape),
    PQ::Set     ("OnFilterOptions",    qxFilterOptionNames, &TqxQuery::OnFilterOptions, &TqxQuery::SetOnFilterOptions, 3),
    PQ::Event   ("OnInvalidValue",     &TqxQuery::OnInvalidValue),
});

using PS = TPublish<TqxStoredProc>;
const TClassRegistrar<TqxStoredProc> psRegistrar({
    //           name                  getter                            setter                              default
    PS::Strings ("ControlType",        &TqxStoredProc::ControlType),
    PS::Strings ("LookupFields",       &TqxStoredProc::LookupFields),
    PS::Strings ("LookupLinks",        &TqxStoredProc::LookupLinks),
    PS::Strings ("PictureMasks",       &TqxStoredProc::PictureMasks),
    PS::Boolean ("ValidateWithMask",   &TqxStoredProc::ValidateWithMask,      &TqxStoredProc::SetValidateWithMask,     true, true),
    qxFilterEventProperty(&TqxStoredProc::OnFilter, &TqxStoredProc::SetOnFilter),
    PS::Event   ("OnFilterEscape",     &TqxStoredProc::OnFilterEscape),
    PS::Set     ("OnFilterOptions",    qxFilterOptionNames, &TqxStoredProc::OnFilterOptions, &TqxStoredProc::SetOnFilterOptions, 3),
    PS::Event   ("OnInvalidValue",     &TqxStoredProc::OnInvalidValue),
});

} // namespace
// clang-format on

TqxQuery::TqxQuery(TComponent *owner)
    : TQuery(owner)
    , x_(std::make_unique<TqxDataSetExtension>(this, false))
{
    x_->FilterAssigned = [this] { return static_cast<bool>(onFilter_); };
    x_->CallFilter = [this](bool &accept) { onFilter_(this, accept); };
    x_->Fetching = [this] { return FetchDepth() > 0; };
    x_->OnFilterEscape = &OnFilterEscape;
    x_->OnInvalidValue = &OnInvalidValue;
}

TqxQuery::~TqxQuery()
{
    Destroying();
    try {
        Close();
    } catch (...) {
        // A destructor has nobody to tell; the cursor is gone either way.
    }
}

void TqxQuery::SetOnFilter(const TqxQueryFilterEvent &handler)
{
    onFilter_ = handler;
    if (!handler)
        x_->InstallRecordFilter();
    else if (Active())
        x_->InstallRecordFilter(qxLiveQueryFilterRefused);
}

void TqxQuery::DoAfterOpen()
{
    TQuery::DoAfterOpen();
    if (onFilter_)
        x_->InstallRecordFilter(qxLiveQueryFilterRefused);
}

bool TqxQuery::IsSequenced() { return TQuery::IsSequenced() && !onFilter_; }

void TqxQuery::DataEvent(TDataEvent event, intptr_t info)
{
    TQuery::DataEvent(event, info);
    x_->RestoreHourGlass();
}

int TqxQuery::GetNextRecords()
{
    int count = TQuery::GetNextRecords();
    x_->RestoreHourGlass();
    return count;
}

void TqxQuery::DoOnCalcFields()
{
    x_->CalcLookups();
    TQuery::DoOnCalcFields();
}

void TqxQuery::DoBeforePost()
{
    TQuery::DoBeforePost();
    if (x_->ValidateWithMask)
        x_->ValidateMasks();
}

TqxStoredProc::TqxStoredProc(TComponent *owner)
    : TStoredProc(owner)
    , x_(std::make_unique<TqxDataSetExtension>(this, true))
{
    x_->FilterAssigned = [this] { return static_cast<bool>(onFilter_); };
    x_->CallFilter = [this](bool &accept) { onFilter_(this, accept); };
    x_->Fetching = [this] { return FetchDepth() > 0; };
    x_->OnFilterEscape = &OnFilterEscape;
    x_->OnInvalidValue = &OnInvalidValue;
}

TqxStoredProc::~TqxStoredProc()
{
    Destroying();
    try {
        Close();
    } catch (...) {
        // A destructor has nobody to tell; the cursor is gone either way.
    }
}

void TqxStoredProc::SetOnFilter(const TqxStoredProcFilterEvent &handler)
{
    onFilter_ = handler;
    if (!handler)
        x_->InstallRecordFilter();
    else if (Active())
        x_->InstallRecordFilter(qxLiveQueryFilterRefused);
}

void TqxStoredProc::DoAfterOpen()
{
    TStoredProc::DoAfterOpen();
    if (onFilter_)
        x_->InstallRecordFilter(qxLiveQueryFilterRefused);
}

bool TqxStoredProc::IsSequenced() { return TStoredProc::IsSequenced() && !onFilter_; }

void TqxStoredProc::DataEvent(TDataEvent event, intptr_t info)
{
    TStoredProc::DataEvent(event, info);
    x_->RestoreHourGlass();
}

int TqxStoredProc::GetNextRecords()
{
    int count = TStoredProc::GetNextRecords();
    x_->RestoreHourGlass();
    return count;
}

void TqxStoredProc::DoOnCalcFields()
{
    x_->CalcLookups();
    TStoredProc::DoOnCalcFields();
}

void TqxStoredProc::DoBeforePost()
{
    TStoredProc::DoBeforePost();
    if (x_->ValidateWithMask)
        x_->ValidateMasks();
}
