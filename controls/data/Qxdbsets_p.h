#pragma once

// Not public API: what the library's four datasets share, used by their .cpp files.

#include "controls/data/Qxdbsets.h"

#include <functional>

struct TqxDataSetExtension {
    TqxDataSetExtension(TBDEDataSet *dataSet, bool plainCallback);
    ~TqxDataSetExtension();

    // The record-filter callback; client data is the dataset.
    static int RecordFilter(void *clientData, const TEngineRow &row);
    // Installs the callback while OnFilter is set, else drops it; a refusal
    // shows the warning when one is given.
    bool InstallRecordFilter(const std::string &refusedWarning = {});
    void SetOptions(TqxOnFilterOptions options);
    void RestoreHourGlass();
    void ValidateMasks();
    void CalcLookups();
    void FreeLookupTables();

    TBDEDataSet *const DataSet;
    const bool PlainCallback; // the stored procedure's: no options, no hour-glass, no Escape
    std::unique_ptr<TStringList> const ControlType, LookupFields, LookupLinks, PictureMasks;
    bool ValidateWithMask = true;
    TqxOnFilterOptions Options { ofoEnabled, ofoShowHourGlass };
    hDBIFilter RecordFilterHandle = 0;
    bool InFilter = false; // OnFilter runs; a nested call keeps every record
    bool HourGlass = false; // the filter set the hour-glass
    int PollCounter = 0; // 0..31999
    TqxLookupTableList Tables;

    // Given by the dataset: whether OnFilter is set, and calling it (Accept in, Accept out).
    std::function<bool()> FilterAssigned;
    std::function<void(bool &)> CallFilter;
    std::function<bool()> Fetching; // a fetch is running, so the cursor must not move now
    TDataSetNotifyEvent *OnFilterEscape = nullptr;
    TqxInvalidValueEvent *OnInvalidValue = nullptr;
};

// The screen cursor shows the hour-glass while a statement runs, and the
// default one again however it ends.
class TqxStatementCursor
{
public:
    TqxStatementCursor();
    ~TqxStatementCursor();
};

// Messages of a refused record-filter callback.
extern const char *const qxLiveQueryFilterRefused;
extern const char *const qxQBEFilterRefused;


#include "platform/classes/typinfo.h"

#include <any>

// The OnFilter line of a property table: bound through the class's setter,
// which installs or drops the callback.
template <typename T, typename... A>
TPropInfo qxFilterEventProperty(const TEvent<A...> &(T::*get)() const, void (T::*set)(const TEvent<A...> &))
{
    TPropInfo p;
    p.Name = "OnFilter";
    p.Kind = pkEvent;
    p.Default = NoDefault;
    p.EventSignature = &typeid(void(A...));
    p.GetHandlerName = [get](const TObject *o) { return (static_cast<const T *>(o)->*get)().HandlerName(); };
    p.BindHandler = [set](TObject *o, const THandlerInfo *h, TObject *root) {
        (static_cast<T *>(o)->*set)(
            h ? TEvent<A...>(std::any_cast<std::function<void(A...)>>(h->Make(root)), h->Name) : TEvent<A...>());
    };
    return p;
}

// The set names of OnFilterOptions.
extern const TEnumNames qxFilterOptionNames;
