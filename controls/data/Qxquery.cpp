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
    : TqxExtendedDataSet(owner, false, qxLiveQueryFilterRefused)
{
}

TqxQuery::~TqxQuery() { CloseOnDestroy(); }

TqxStoredProc::TqxStoredProc(TComponent *owner)
    : TqxExtendedDataSet(owner, true, qxLiveQueryFilterRefused)
{
}

TqxStoredProc::~TqxStoredProc() { CloseOnDestroy(); }
