#include "controls/data/Qxdbsets_p.h"

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxfilter.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

const TMetaClass TqxTable::Class { "TqxTable", &TTable::Class };

// clang-format off
namespace {

using P = TPublish<TqxTable>;
const TClassRegistrar<TqxTable> tableRegistrar({
    //          name                     getter                            setter                                default
    P::Strings ("ControlType",           &TqxTable::ControlType),
    P::Strings ("LookupFields",          &TqxTable::LookupFields),
    P::Strings ("LookupLinks",           &TqxTable::LookupLinks),
    P::Strings ("PictureMasks",          &TqxTable::PictureMasks),
    P::Boolean ("ValidateWithMask",      &TqxTable::ValidateWithMask,      &TqxTable::SetValidateWithMask,       true, true),
    qxFilterEventProperty(&TqxTable::OnFilter, &TqxTable::SetOnFilter),
    P::Event   ("OnFilterEscape",        &TqxTable::OnFilterEscape),
    P::Set     ("OnFilterOptions",       qxFilterOptionNames, &TqxTable::OnFilterOptions, &TqxTable::SetOnFilterOptions, 3),
    P::Event   ("OnInvalidValue",        &TqxTable::OnInvalidValue),
    P::Strings ("qxFilter",              &TqxTable::qxFilter),
    P::Boolean ("SyncSQLByRange",        &TqxTable::SyncSQLByRange,        &TqxTable::SetSyncSQLByRange,         false, true),
    P::Boolean ("NarrowSearch",          &TqxTable::NarrowSearch,          &TqxTable::SetNarrowSearch,           false, true),
    P::Integer ("NarrowSearchUpperChar", &TqxTable::NarrowSearchUpperChar, &TqxTable::SetNarrowSearchUpperChar,  255),
    P::Strings ("Query",                 &TqxTable::Query),
});

} // namespace
// clang-format on

TqxTable::TqxTable(TComponent *owner)
    : TqxExtendedDataSet(owner, false, nullptr)
    , filter_(std::make_unique<TStringList>())
    , query_(std::make_unique<TStringList>())
{
}

TqxTable::~TqxTable()
{
    CloseOnDestroy();
    Extension().FreeLookupTables();
}

// ---- TqxTable: filters ------------------------------------------------------------------

std::string TqxTable::FilterText() const
{
    std::string text;
    for (int i = 0; i < filter_->Count(); ++i) {
        std::string line = filter_->Strings(i);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty())
            continue;
        text += text.empty() ? line : " AND (" + line + ")";
    }
    return text;
}

void TqxTable::SetqxFilter(const TStrings *lines)
{
    TStringList previous;
    previous.Assign(*filter_);
    filter_->Assign(*lines);
    if (!Active())
        return;
    // A text that does not compile leaves the filter as it was: the lines
    // go back to the ones the installed filter was made from.
    bool compiled = false;
    try {
        compiled = CompileFilter(FilterText(), this, expressionFilter_, false);
    } catch (...) {
        filter_->Assign(previous);
        throw;
    }
    if (!compiled) {
        filter_->Assign(previous);
        MessageBox(nullptr, "Fail to set filter", "Warning", MB_OK | MB_ICONWARNING);
    }
}

void TqxTable::PrepareCursor()
{
    TTable::PrepareCursor();
    const std::string text = FilterText();
    if (text.empty() && !OnFilter())
        return;
    // An expression that does not compile would open the table unfiltered
    // without a word; say so.
    if (!CompileFilter(text, this, expressionFilter_, true))
        MessageBox(nullptr, "Fail to set filter", "Warning", MB_OK | MB_ICONWARNING);
    if (OnFilter())
        Extension().InstallRecordFilter();
}

bool TqxTable::IsSequenced() { return TqxExtendedDataSet::IsSequenced() && FilterText().empty(); }

// ---- TqxTable: query mode ---------------------------------------------------------------

void TqxTable::SetQuery(const TStrings *lines)
{
    if (Active())
        Close();
    if (lines->Count() > 0) {
        TTable::SetTableName("");
        SetIndexFieldNames("");
        SetMasterSource(nullptr);
        SetMasterFields("");
    }
    query_->Assign(*lines);
}

void TqxTable::SetTableName(const std::string &name)
{
    TTable::SetTableName(name);
    if (!name.empty())
        query_->Clear();
}

void TqxTable::OpenCursor(bool infoQuery)
{
    if (query_->Count() > 0) {
        std::string first = Trim(query_->Strings(0));
        queryIsQBE_ = LowerCase(first.substr(0, first.find_first_of(" \t"))) == "query";
    }
    TTable::OpenCursor(infoQuery);
}

std::unique_ptr<TEngineCursor> TqxTable::CreateHandle()
{
    if (query_->Count() == 0)
        return TTable::CreateHandle();
    TTable::SetTableName("");
    SetIndexFieldNames("");
    SetMasterSource(nullptr);
    SetMasterFields("");
    const std::string text = qxStringsToPChar(query_.get(), !queryIsQBE_);
    std::unique_ptr<TEngineStatement> statement = DBHandle()->AllocStatement();
    if (queryIsQBE_) {
        statement->SetProp(stmtAUXTBLS, 0);
        statement->SetProp(stmtBLANKS, 1);
    }
    statement->Prepare(queryIsQBE_ ? qryLangQBE : qryLangSQL, text);
    TqxStatementCursor busy;
    return statement->Execute();
}

void TqxTable::CloseCursor()
{
    Extension().FreeLookupTables();
    TTable::CloseCursor();
    expressionFilter_ = 0;
    Extension().RecordFilterHandle = 0;
    if (query_->Count() > 0)
        TTable::SetTableName("");
}

bool TqxTable::KeySearch(const std::vector<std::string> &keys) { return qxTableKeySearch(this, keys, lookupSearch_); }
