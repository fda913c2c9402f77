#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/dbtables.h"

// The library's routines over datasets: field tests, field layout, control
// types, lookups, picture masks before post, answer tables and alias paths.
// Library datasets are found by name and read through their published lists
// (Qxcommon.h), so any dataset that publishes the same names takes part.

bool qxHasField(const TDataSet *dataset, const std::string &name); // ignoring case
// Inline, so that the bound edit can ask it without linking this unit (and the
// engine behind it) into programs that only use the edit unbound.
inline bool qxIsCalcOrLookupField(const TField *field)
{
    return field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup;
}
bool qxIsNonPhysicalField(const TField *field); // calculated, lookup, or not of an engine dataset
bool qxIsQueryModeTable(const TDataSet *dataset); // a TqxTable whose Query has lines
// A blob field shown as rich text: its ControlType line says ";RichEdit", or
// (with the content test) its bytes begin with "{\rtf".
bool qxIsRichTextField(TField *field, bool contentTest);
// The text a user sees of a memo: the plain text of rich text, any other
// content as it stands. A damaged document shows nothing.
std::string qxPlainText(const std::string &content);
int qxCompareBookmarks(TDataSet *dataset, const TBookmark &a, const TBookmark &b);

// Field layout. Apply hides every field, then shows those the lines name, in
// line order, with width and label; a width that is no number raises
// EConvertError and leaves the dataset's controls enabled.
void qxApplySelectedFields(TDataSet *dataset, const TStrings *lines);
void qxGetSelectedFields(TDataSet *dataset, TStrings *lines);

// Control types. Purge works only on a form being designed.
bool qxPurgeControlTypes(TComponent *form, TDataSet *dataset);
void qxRemoveMissingFieldEntries(TDataSet *dataset, TStrings *lookupFields, TStrings *lookupLinks,
    TStrings *controlTypes);

// Lookup tables: the tables a library dataset opens for its LookupFields, with
// what each serves. A library dataset owns one list and publishes it through
// qxLookupTableOwner.
struct TqxLookupTable {
    TTable *Table = nullptr; // owned by the dataset
    std::string LinksLine; // the LookupLinks line it serves
    bool LookedUp = false; // searched for this record
    bool Found = false;
};
using TqxLookupTableList = std::vector<TqxLookupTable>;
class IqxLookupTableOwner
{
public:
    virtual ~IqxLookupTableOwner() = default;
    virtual TqxLookupTableList *LookupTables() = 0;
};
TqxLookupTableList *qxGetLookupTableList(TDataSet *dataset);

void qxGetLookupDefinition(TField *field, std::string &databaseName, std::string &tableName, std::string &linksLine,
    std::string &resultField);
bool qxLookupFieldValue(TField *field, std::string &keyText, TField *&resultField);
void qxCalcLookupFields(TDataSet *dataset, TStrings *lookupFields, TStrings *lookupLinks, TqxLookupTableList *tables);
bool qxFindLookupRecord(TTable *table, TDataSet *dataset, const std::vector<std::string> &linkItems);
std::string qxFindIndexForFields(TTable *table, const std::string &fields); // "?" when none fits
// The library table's key search: up to six key texts against its index fields.
bool qxTableKeySearch(TTable *table, const std::vector<std::string> &keys, bool asLookup);
bool qxFindFieldValue(TTable *table, const std::string &value, const std::string &fieldName, bool caseSensitive,
    int matchType);

// The check before post: the first field whose text does not fill its mask
// (and is not read-only) gets the focus and the event, then the error.
using TqxInvalidValueHandler = std::function<void(TDataSet *, TField *)>;
void qxValidateFieldsWithMasks(TDataSet *dataset, const TqxInvalidValueHandler &onInvalidValue);

// Answer tables and aliases.
bool qxSaveAnswerTable(TDBDataSet *dataset, TEngineCursor *cursor, const std::string &answerTable);
std::string qxGetAliasPath(const std::string &alias);
