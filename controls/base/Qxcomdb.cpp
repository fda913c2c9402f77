#include "controls/base/Qxcomdb.h"

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxfind.h"
#include "controls/base/Qxintl.h"
#include "controls/base/Qxpict.h"
#include "platform/classes/typinfo.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/services.h"

#include <algorithm>

namespace {

// Controls stay disabled only while the guard lives, whatever raises.
class TControlsDisabled
{
public:
    explicit TControlsDisabled(TDataSet *ds) : ds_(ds) { ds_->DisableControls(); }
    ~TControlsDisabled() { ds_->EnableControls(); }

private:
    TDataSet *ds_;
};

std::vector<std::string> Items(const std::string &line, char separator)
{
    std::vector<std::string> items;
    for (int i = 1, n = qxItemCount(line, separator); i <= n; ++i)
        items.push_back(qxItem(line, separator, i));
    return items;
}

bool SameFieldList(const std::string &a, const std::string &b) { return SameText(a, b); }

bool BoolProp(const TObject *o, const char *name)
{
    return PropIsType(o, name, pkBoolean) && GetOrdProp(o, name) != 0;
}

bool CurrentMatchesKeys(TTable *table, const std::vector<std::string> &keys)
{
    if (table->IsEmpty())
        return false;
    for (size_t i = 0; i < keys.size(); ++i)
        if (AnsiLowerCase(table->IndexFields(static_cast<int>(i))->Text()) != AnsiLowerCase(keys[i]))
            return false;
    return true;
}

} // namespace

bool qxHasField(const TDataSet *dataset, const std::string &name) { return dataset && dataset->FindField(name); }

bool qxIsNonPhysicalField(const TField *field)
{
    return qxIsCalcOrLookupField(field) || !dynamic_cast<const TBDEDataSet *>(field->DataSet());
}

bool qxIsQueryModeTable(const TDataSet *dataset)
{
    if (!dataset || !qxInheritsFromName(dataset->ClassType(), "TqxTable") || !PropIsType(dataset, "Query", pkStrings))
        return false;
    return static_cast<TStrings *>(GetObjectProp(dataset, "Query"))->Count() > 0;
}

bool qxIsRichTextField(TField *field, bool contentTest)
{
    auto *blob = dynamic_cast<TBlobField *>(field);
    if (!blob)
        return false;
    if (const TStrings *types = qxGetControlTypeList(field->DataSet()))
        for (int i = 0; i < types->Count(); ++i)
            if (types->Strings(i).rfind(field->FieldName() + ";RichEdit", 0) == 0)
                return true;
    if (!contentTest || !field->DataSet() || !field->DataSet()->ActiveBuffer())
        return false;
    TBlobStream stream(blob, bmRead);
    char head[5] = {};
    return stream.Read(head, 5) == 5 && std::string(head, 5) == "{\\rtf";
}

std::string qxPlainText(const std::string &content)
{
    if (!IsRtf(content))
        return content;
    try {
        return ReadRtf(content).PlainText();
    } catch (const ERtfError &) {
        return {};
    }
}

int qxCompareBookmarks(TDataSet *dataset, const TBookmark &a, const TBookmark &b)
{
    return dataset->CompareBookmarks(a, b);
}

void qxApplySelectedFields(TDataSet *dataset, const TStrings *lines)
{
    TControlsDisabled off(dataset);
    for (int i = 0; i < dataset->FieldCount(); ++i)
        dataset->Fields(i)->SetVisible(false);
    for (int i = 0; i < lines->Count(); ++i) {
        const std::string line = lines->Strings(i);
        TField *field = dataset->FindField(qxItem(line, '\t', 1));
        if (!field)
            continue;
        field->SetDisplayWidth(StrToInt(qxItem(line, '\t', 2)));
        field->SetDisplayLabel(qxItem(line, '\t', 3));
        field->SetIndex(i);
        field->SetVisible(true);
    }
}

void qxGetSelectedFields(TDataSet *dataset, TStrings *lines)
{
    lines->Clear();
    for (int i = 0; i < dataset->FieldCount(); ++i) {
        TField *f = dataset->Fields(i);
        if (f->Visible())
            lines->Add(f->FieldName() + "\t" + IntToStr(f->DisplayWidth()) + "\t" + f->DisplayLabel());
    }
}

bool qxPurgeControlTypes(TComponent *form, TDataSet *dataset)
{
    TStrings *types = qxGetControlTypeList(dataset);
    if (!form || !types || !form->ComponentState().Contains(csDesigning))
        return true;
    for (int i = types->Count() - 1; i >= 0; --i) {
        const std::string line = types->Strings(i);
        if (qxItemCount(line, ';') < 2 || !qxIsEditControlType(qxItem(line, ';', 2)))
            continue;
        const std::string control = qxItem(line, ';', 3);
        size_t dot = control.find('.');
        if (dot == std::string::npos) {
            if (!form->FindComponent(control))
                types->Delete(i);
        } else {
            const std::string name = control.substr(dot + 1);
            if (!name.empty() && !(dataset->Owner() && dataset->Owner()->FindComponent(name)))
                types->Delete(i);
        }
    }
    return true;
}

void qxRemoveMissingFieldEntries(TDataSet *dataset, TStrings *lookupFields, TStrings *lookupLinks, TStrings *controlTypes)
{
    if (lookupFields)
        for (int i = lookupFields->Count() - 1; i >= 0; --i)
            if (!qxHasField(dataset, qxItem(lookupFields->Strings(i), ';', 1))) {
                lookupFields->Delete(i);
                if (lookupLinks && i < lookupLinks->Count())
                    lookupLinks->Delete(i);
            }
    if (controlTypes)
        for (int i = controlTypes->Count() - 1; i >= 0; --i)
            if (!qxHasField(dataset, qxItem(controlTypes->Strings(i), ';', 1)))
                controlTypes->Delete(i);
}

TqxLookupTableList *qxGetLookupTableList(TDataSet *dataset)
{
    auto *owner = dynamic_cast<IqxLookupTableOwner *>(dataset);
    return owner ? owner->LookupTables() : nullptr;
}

void qxGetLookupDefinition(TField *field, std::string &databaseName, std::string &tableName, std::string &linksLine,
    std::string &resultField)
{
    TDataSet *ds = field->DataSet();
    databaseName = qxGetDatabaseName(ds);
    tableName.clear(), linksLine.clear(), resultField.clear();
    const TStrings *fields = qxGetLookupFieldsList(ds);
    const TStrings *links = qxGetLookupLinksList(ds);
    for (int i = 0; fields && i < fields->Count(); ++i) {
        const std::string line = fields->Strings(i);
        if (qxItem(line, ';', 1) != field->FieldName() || qxItemCount(line, ';') <= 4)
            continue;
        databaseName = qxItem(line, ';', 2);
        tableName = qxItem(line, ';', 3);
        resultField = qxItem(line, ';', 4);
        linksLine = links && i < links->Count() ? links->Strings(i) : std::string();
        return;
    }
}

namespace {

TqxLookupTable *FindLookupTable(
    TqxLookupTableList &tables, const std::string &db, const std::string &table, const std::string &links)
{
    for (TqxLookupTable &t : tables)
        if (t.Table->DatabaseName() == db && t.Table->TableName() == table && SameText(t.LinksLine, links))
            return &t;
    return nullptr;
}

} // namespace

bool qxLookupFieldValue(TField *field, std::string &keyText, TField *&resultField)
{
    resultField = nullptr;
    TqxLookupTableList *tables = qxGetLookupTableList(field->DataSet());
    if (!tables)
        return false;
    std::string db, table, links, result;
    qxGetLookupDefinition(field, db, table, links, result);
    TqxLookupTable *t = FindLookupTable(*tables, db, table, links);
    if (!t)
        return false;
    resultField = t->Table->FindField(result);
    TField *source = field->DataSet()->FindField(qxItem(links, ';', 1));
    keyText = source ? source->AsString() : std::string();
    return qxTableKeySearch(t->Table, {keyText}, true);
}

void qxCalcLookupFields(TDataSet *dataset, TStrings *lookupFields, TStrings *lookupLinks, TqxLookupTableList *tables)
{
    if (!lookupFields || !tables)
        return;
    for (TqxLookupTable &t : *tables)
        t.LookedUp = false;
    for (int i = 0; i < lookupFields->Count(); ++i) {
        const std::vector<std::string> items = Items(lookupFields->Strings(i), ';');
        if (items.size() <= 4)
            continue;
        std::string tableName = items[2];
        if (items.size() >= 6 && items.back() == "N")
            tableName = tableName.substr(0, tableName.find('.'));
        const std::string links = lookupLinks && i < lookupLinks->Count() ? lookupLinks->Strings(i) : std::string();
        TqxLookupTable *entry = FindLookupTable(*tables, items[1], tableName, links);
        if (!entry) {
            const TMetaClass *cls = GetClass("TqxTable");
            TComponent *made = cls && cls->InheritsFrom(TTable::Class) ? CreateComponent(*cls, dataset)
                                                                      : new TTable(dataset);
            auto *table = static_cast<TTable *>(made);
            try {
                table->SetDatabaseName(items[1]);
                table->SetTableName(tableName);
                if (items.size() < 6)
                    table->SetIndexName(items[4]);
                else {
                    std::string fields;
                    for (size_t k = 5; k + 1 < items.size(); ++k)
                        fields += (fields.empty() ? "" : ";") + items[k];
                    std::string index = qxFindIndexForFields(table, fields);
                    table->SetIndexName(index == "?" ? std::string() : index);
                }
                table->SetReadOnly(true);
                table->Open();
            } catch (const Exception &) {
                delete table; // this line is skipped for the record
                continue;
            }
            tables->push_back({table, links, false, false});
            entry = &tables->back();
        } else if (!entry->Table->Active()) {
            try {
                entry->Table->Open();
            } catch (const Exception &) {
                continue;
            }
        }
        const std::vector<std::string> linkItems = Items(links, ';');
        for (size_t k = 0; k < linkItems.size(); k += 2)
            if (!qxHasField(dataset, linkItems[k])) {
                if (TField *target = dataset->FindField(items[0]))
                    target->SetVisible(false);
                return;
            }
        if (!entry->LookedUp)
            entry->Found = qxFindLookupRecord(entry->Table, dataset, linkItems);
        entry->LookedUp = true;
        TField *target = dataset->FindField(items[0]);
        if (!target)
            continue;
        TField *result = entry->Found ? entry->Table->FindField(items[3]) : nullptr;
        if (!result)
            target->SetText("");
        else
            target->SetText(dynamic_cast<TBlobField *>(result) ? result->AsString() : result->Text());
    }
}

bool qxFindLookupRecord(TTable *table, TDataSet *dataset, const std::vector<std::string> &linkItems)
{
    if (linkItems.size() < 2)
        return false;
    if (table->IndexFieldCount() == 0)
        return qxFindFieldValue(table, dataset->FieldByName(linkItems[0])->AsString(), linkItems[1], true, 0);
    std::vector<std::string> keys;
    for (size_t k = 0; k + 1 < linkItems.size() && keys.size() < 6; k += 2)
        keys.push_back(dataset->FieldByName(linkItems[k])->AsString());
    return qxTableKeySearch(table, keys, true);
}

std::string qxFindIndexForFields(TTable *table, const std::string &fields)
{
    if (table->IndexDefs().Count() == 0 || table->IndexDefs().Items(0).Name == table->TableName() + "Index0"
        || !table->IndexDefs().Updated())
        table->UpdateIndexDefs();
    const TIndexDefs &defs = table->IndexDefs();
    for (int pass = 0; pass < 4; ++pass) {
        const bool descending = pass % 2 == 1, prefix = pass >= 2;
        for (int i = 0; i < defs.Count(); ++i) {
            const TIndexDef &ix = defs.Items(i);
            if (ix.Options.Contains(ixDescending) != descending)
                continue;
            const std::string have = UpperCase(ix.Fields), want = UpperCase(fields);
            bool fits = prefix ? have.compare(0, want.size(), want) == 0 && (have.size() == want.size() || have[want.size()] == ';')
                               : SameFieldList(have, want);
            if (fits)
                return ix.Name;
        }
    }
    return "?";
}

bool qxTableKeySearch(TTable *table, const std::vector<std::string> &keys, bool asLookup)
{
    if (table->IndexFieldCount() == 0)
        return false;
    if (static_cast<int>(keys.size()) > table->IndexFieldCount()) {
        MessageBox(nullptr, "Table " + table->Name() + ": FindKey has too many lookup values for index " + table->IndexName(),
            "Warning", MB_OK | MB_ICONWARNING);
        return false;
    }
    std::vector<Variant> values(keys.begin(), keys.end());
    if (table->Database() && table->Database()->IsSQLBased() && BoolProp(table, "SyncSQLByRange")) {
        if (asLookup && CurrentMatchesKeys(table, keys))
            return true;
        if (keys.empty() || keys[0].empty()) {
            if (!asLookup)
                table->CancelRange();
            return false;
        }
        if (asLookup)
            table->SetRange(values, values);
        else {
            table->SetRangeStart();
            for (size_t i = 0; i < values.size(); ++i)
                table->IndexFields(static_cast<int>(i))->SetValue(values[i]);
            table->Post();
            table->SetRangeEnd();
            table->Post();
            table->ApplyRange();
        }
        table->First();
        return CurrentMatchesKeys(table, keys);
    }
    if (BoolProp(table, "NarrowSearch"))
        table->CancelRange();
    if (CurrentMatchesKeys(table, keys))
        return true;
    try {
        return table->FindKey(values);
    } catch (const EConvertError &) {
        return false;
    }
}

bool qxFindFieldValue(TTable *table, const std::string &value, const std::string &fieldName, bool caseSensitive,
    int matchType)
{
    if (TField *f = table->FindField(fieldName); f && !table->IsEmpty()) {
        std::string text = f->AsString();
        if (caseSensitive ? text == value : AnsiLowerCase(text) == AnsiLowerCase(value))
            return true;
    }
    return FindMatch(true, table, fieldName, caseSensitive, matchType, value);
}

void qxValidateFieldsWithMasks(TDataSet *dataset, const TqxInvalidValueHandler &onInvalidValue)
{
    for (int i = 0; i < dataset->FieldCount(); ++i) {
        TField *field = dataset->Fields(i);
        bool autoFill, use;
        std::string mask;
        qxGetPictureMaskEntry(dataset, field->FieldName(), true, autoFill, use, mask);
        if (mask.empty())
            continue;
        TqxPictureValidator validator(mask, false);
        std::string text = field->AsString();
        if (validator.MatchPicture(text, false) == prComplete || field->ReadOnly())
            continue;
        field->FocusControl();
        if (onInvalidValue)
            onInvalidValue(dataset, field);
        throw EDatabaseError(qxIntl()->UserMessages()->Text("PictureValidateError") + field->DisplayName());
    }
}

std::string qxGetAliasPath(const std::string &alias)
{
    try {
        for (auto &[name, value] : OpenCfgInfoList("\\Databases\\" + alias + "\\db info"))
            if (LowerCase(name) == "path")
                return value;
    } catch (const EDBEngineError &) {
    }
    return {};
}

bool qxSaveAnswerTable(TDBDataSet *dataset, TEngineCursor *cursor, const std::string &answerTable)
{
    if (answerTable.empty() || !cursor)
        return false;
    std::string name = answerTable;
    std::string databaseFile;
    if (name[0] == ':') {
        // ":alias:table": a table of the alias's database.
        size_t second = name.find(':', 1);
        std::string alias = name.substr(1, second == std::string::npos ? std::string::npos : second - 1);
        std::string path = qxGetAliasPath(alias);
        if (path.empty()) {
            MessageBox(nullptr, "Invalid Alias in QBE", "Error", MB_OK | MB_ICONERROR);
            return false;
        }
        databaseFile = path;
        name = second == std::string::npos ? std::string() : name.substr(second + 1);
    }
    try {
        if (databaseFile.empty() && name.size() >= 2 && name[1] == ':'
            && (Session()->PrivateDir().empty() || LowerCase(Session()->PrivateDir().substr(0, 1)) != LowerCase(name.substr(0, 1)))) {
            // A path on another drive: a database file of its own, holding one
            // table named after the file.
            databaseFile = name;
            std::string base = name.substr(name.find_last_of("\\/") + 1);
            name = base.substr(0, base.find('.'));
            CreateDatabaseFile(databaseFile);
        }
        std::unique_ptr<TEngineDatabase> other;
        TEngineDatabase *target = dataset->DBHandle();
        if (!databaseFile.empty()) {
            other = TEngineDatabase::Open(databaseFile, false, false);
            target = other.get();
        }
        try {
            target->BatchCopy(*cursor, name);
        } catch (const EDBEngineError &e) {
            MessageBox(nullptr, e.Message() + "(" + answerTable + ")", "", MB_OK);
            return false;
        }
        return true;
    } catch (const Exception &) {
        MessageBox(nullptr, "Unable to create answer table " + answerTable, "Warning", MB_OK | MB_ICONWARNING);
        return false;
    }
}
