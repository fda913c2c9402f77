#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/base/Qxcomdb.h"
#include "platform/classes/sets.h"
#include "platform/db/dbtables.h"

// The library's datasets: a table, a query, a stored procedure and a
// query-by-example, each with the same extension lists and events. Other
// library code finds them by class name and reads their lists through their
// published properties (Qxcommon.h), never through these classes.
//
// OnFilter runs for every record the engine reads while the dataset is open
// and ofoEnabled is set (the stored procedure filters whatever the options
// say). A rejected record turns the screen cursor into the hour-glass with
// ofoShowHourGlass; with ofoCancelOnEscape an Escape typed during filtering
// switches the filter off and shows every record again.

enum TqxOnFilterOption { ofoEnabled, ofoShowHourGlass, ofoCancelOnEscape };
using TqxOnFilterOptions = TSet<TqxOnFilterOption>;
using TqxInvalidValueEvent = TEvent<TDataSet *, TField *>;

class TqxTable;
class TqxQuery;
class TqxStoredProc;
class TqxQBE;
using TqxTableFilterEvent = TEvent<TqxTable *, bool &>;
using TqxQueryFilterEvent = TEvent<TqxQuery *, bool &>;
using TqxStoredProcFilterEvent = TEvent<TqxStoredProc *, bool &>;
using TqxQBEFilterEvent = TEvent<TqxQBE *, bool &>;

struct TqxDataSetExtension;

// What the four classes share, reached through their dataset: the
// extension lists and events each of them publishes.
class IqxExtendedDataSet : public IqxLookupTableOwner
{
public:
    virtual TqxDataSetExtension &Extension() const = 0;
    TqxLookupTableList *LookupTables() override;

    TStrings *ControlType() const;
    void SetControlType(const TStrings *lines);
    TStrings *LookupFields() const;
    void SetLookupFields(const TStrings *lines);
    TStrings *LookupLinks() const;
    void SetLookupLinks(const TStrings *lines);
    TStrings *PictureMasks() const;
    void SetPictureMasks(const TStrings *lines);
    TqxOnFilterOptions OnFilterOptions() const;
    void SetOnFilterOptions(TqxOnFilterOptions options);
    bool ValidateWithMask() const; // the query-by-example does not publish it
    void SetValidateWithMask(bool validate);
    TDataSetNotifyEvent OnFilterEscape;
    TqxInvalidValueEvent OnInvalidValue;
};

// The overrides and the OnFilter event the four share, over the engine
// class each derives from; TSelf is the dataset OnFilter hands on.
template <class TSelf, class TBase> class TqxExtendedDataSet : public TBase, public IqxExtendedDataSet
{
public:
    using TFilterEvent = TEvent<TSelf *, bool &>;
    ~TqxExtendedDataSet() override;

    TqxDataSetExtension &Extension() const override { return *x_; }
    const TFilterEvent &OnFilter() const { return onFilter_; }
    void SetOnFilter(const TFilterEvent &handler);

    bool IsSequenced() override;
    void DataEvent(TDataEvent event, intptr_t info) override;

protected:
    // refusedWarning is shown when the engine refuses the callback as the
    // dataset opens; a table gives none: it puts the callback in while it
    // prepares its cursor.
    TqxExtendedDataSet(TComponent *owner, bool plainCallback, const char *refusedWarning);
    // Called by the destructor of the class that derives, so that closing
    // still runs its overrides.
    void CloseOnDestroy();

    void DoAfterOpen() override;
    void DoBeforePost() override;
    void DoOnCalcFields() override;
    int GetNextRecords() override;

private:
    std::unique_ptr<TqxDataSetExtension> const x_;
    const char *const refusedWarning_;
    TFilterEvent onFilter_;
};

class TqxTable : public TqxExtendedDataSet<TqxTable, TTable>
{
public:
    explicit TqxTable(TComponent *owner);
    ~TqxTable() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The filter written as text; setting it while open compiles it at once
    // ("Fail to set filter" when it does not compile).
    TStrings *qxFilter() const { return filter_.get(); }
    void SetqxFilter(const TStrings *lines);
    std::string FilterText() const; // the lines joined, each further one as " AND (line)"

    // Query mode: SQL or query-by-example text opened instead of TableName.
    TStrings *Query() const { return query_.get(); }
    void SetQuery(const TStrings *lines);
    void SetTableName(const std::string &name) override;
    bool QueryIsQBE() const { return queryIsQBE_; } // set when the cursor opens

    // Key search switches
    bool SyncSQLByRange() const { return syncSQLByRange_; }
    void SetSyncSQLByRange(bool on) { syncSQLByRange_ = on; }
    bool NarrowSearch() const { return narrowSearch_; }
    void SetNarrowSearch(bool on) { narrowSearch_ = on; }
    uint16_t NarrowSearchUpperChar() const { return narrowSearchUpperChar_; }
    void SetNarrowSearchUpperChar(uint16_t c) { narrowSearchUpperChar_ = c; }
    // Up to six key texts against the active index; a lookup keeps the range
    // it sets.
    bool KeySearch(const std::vector<std::string> &keys);
    bool LookupSearch() const { return lookupSearch_; }
    void SetLookupSearch(bool on) { lookupSearch_ = on; }

    bool IsSequenced() override;

protected:
    std::unique_ptr<TEngineCursor> CreateHandle() override;
    void PrepareCursor() override;
    void OpenCursor(bool infoQuery) override;
    void CloseCursor() override;

private:
    std::unique_ptr<TStringList> const filter_, query_;
    hDBIFilter expressionFilter_ = 0;
    bool queryIsQBE_ = false;
    bool syncSQLByRange_ = false, narrowSearch_ = false, lookupSearch_ = false;
    uint16_t narrowSearchUpperChar_ = 255;
};

class TqxQuery : public TqxExtendedDataSet<TqxQuery, TQuery>
{
public:
    explicit TqxQuery(TComponent *owner);
    ~TqxQuery() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The engine has no stored procedures: opening or executing one reports
// the engine's "Capability not supported." error.
class TqxStoredProc : public TqxExtendedDataSet<TqxStoredProc, TStoredProc>
{
public:
    explicit TqxStoredProc(TComponent *owner);
    ~TqxStoredProc() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// A query-by-example text ("Query" ... "EndQuery"). "~name" in the text
// takes the value of the parameter of that name; an unknown one becomes a
// blank. A text that asks for nothing opens no answer and raises nothing.
class TqxQBE : public TqxExtendedDataSet<TqxQBE, TDBDataSet>
{
public:
    explicit TqxQBE(TComponent *owner);
    ~TqxQBE() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *QBE() const { return qbe_.get(); }
    void SetQBE(const TStrings *lines); // reopens an open dataset
    const std::string &AnswerTable() const { return answerTable_; }
    void SetAnswerTable(const std::string &name) { answerTable_ = name; }
    bool AuxiliaryTables() const { return auxiliaryTables_; }
    void SetAuxiliaryTables(bool on) { auxiliaryTables_ = on; }
    bool BlankAsZero() const { return blankAsZero_; }
    void SetBlankAsZero(bool on) { blankAsZero_ = on; }
    // Parameters of the text, by line: a name and the value of the same line.
    TStrings *ParamNames() const { return paramNames_.get(); }
    TStrings *ParamValues() const { return paramValues_.get(); }
    // The text as it runs, parameters put in.
    std::string SubstitutedText() const;
    bool NoAnswer() const { return noAnswer_; }

protected:
    std::unique_ptr<TEngineCursor> CreateHandle() override;
    void OpenCursor(bool infoQuery) override;
    bool GetCanModify() const override { return false; }
    // Runs the text; the engine's error raises.
    virtual std::unique_ptr<TEngineCursor> RunQBE();

private:
    std::unique_ptr<TStringList> const qbe_, paramNames_, paramValues_;
    std::string answerTable_;
    bool auxiliaryTables_ = true, blankAsZero_ = true;
    std::unique_ptr<TEngineCursor> made_; // made by OpenCursor, taken by CreateHandle
    bool noAnswer_ = false;
    std::string failure_; // the engine's text when the run failed
};
