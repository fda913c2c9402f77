#include "controls/base/Qxcommon.h"

#include "controls/base/Qxpict.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/controls.h"

namespace {

TStrings *ListProp(const TObject *o, const char *name)
{
    return o && PropIsType(o, name, pkStrings) ? static_cast<TStrings *>(GetObjectProp(o, name)) : nullptr;
}

TObject *ObjectProp(const TObject *o, const char *name)
{
    return o && PropIsType(o, name, pkComponent) ? GetObjectProp(o, name) : nullptr;
}

TqxValidityPictureSource validityPictures = nullptr;

} // namespace

TqxInvalidValueEvent qxGetInvalidValueEvent(const TObject *dataset)
{
    return GetEventProp<TDataSet *, TField *>(dataset, "OnInvalidValue");
}

TStrings *qxGetPictureMasksList(const TObject *c) { return ListProp(c, "PictureMasks"); }
TStrings *qxGetControlTypeList(const TObject *c) { return ListProp(c, "ControlType"); }
TStrings *qxGetLookupFieldsList(const TObject *c) { return ListProp(c, "LookupFields"); }
TStrings *qxGetLookupLinksList(const TObject *c) { return ListProp(c, "LookupLinks"); }

int64_t qxGetValidateWithMask(const TObject *c)
{
    return c && IsPublishedProp(c, "ValidateWithMask") ? GetOrdProp(c, "ValidateWithMask") : 0;
}

std::string qxGetDatabaseName(const TObject *c)
{
    return c && PropIsType(c, "DatabaseName", pkString) ? GetStrProp(c, "DatabaseName") : std::string();
}

TObject *qxGetDataSourceProp(const TObject *c) { return ObjectProp(c, "DataSource"); }
TObject *qxGetMasterSourceProp(const TObject *c) { return ObjectProp(c, "MasterSource"); }

std::string qxGetDataFieldProp(const TObject *control)
{
    if (!control || !control->InheritsFrom(TWinControl::Class) || !PropIsType(control, "DataField", pkString))
        return {};
    return GetStrProp(control, "DataField");
}

bool qxSetDataSourceProp(TObject *control, TObject *source)
{
    if (!control || !control->InheritsFrom(TWinControl::Class) || !PropIsType(control, "DataSource", pkComponent))
        return false;
    SetObjectProp(control, "DataSource", source);
    return true;
}

bool qxSetDataFieldProp(TObject *control, const std::string &field)
{
    if (!control || !control->InheritsFrom(TWinControl::Class) || !PropIsType(control, "DataField", pkString))
        return false;
    SetStrProp(control, "DataField", field);
    return true;
}

uint8_t qxGetFilterOptions(const TObject *dataset)
{
    return dataset && PropIsType(dataset, "OnFilterOptions", pkSet)
        ? static_cast<uint8_t>(GetOrdProp(dataset, "OnFilterOptions"))
        : 0;
}

void qxSetFilterEnabled(TObject *dataset, bool enabled)
{
    if (!dataset || !PropIsType(dataset, "OnFilterOptions", pkSet))
        return;
    int64_t bits = GetOrdProp(dataset, "OnFilterOptions");
    SetOrdProp(dataset, "OnFilterOptions", enabled ? bits | 1 : bits & ~int64_t(1));
}

bool qxInheritsFromName(const TMetaClass *cls, const std::string &name)
{
    for (; cls; cls = cls->ClassParent())
        if (SameText(cls->ClassName(), name))
            return true;
    return false;
}

bool qxIsLibraryDataSet(const TObject *dataset)
{
    if (!dataset)
        return false;
    for (const char *name : {"TqxTable", "TqxQuery", "TqxQBE", "TqxStoredProc", "TqxClientDataSet"})
        if (qxInheritsFromName(dataset->ClassType(), name))
            return true;
    return IsPublishedProp(dataset, "ControlType");
}

std::string qxItem(const std::string &line, char separator, int number)
{
    size_t start = 0;
    for (int i = 1; i < number; ++i) {
        size_t next = line.find(separator, start);
        if (next == std::string::npos)
            return {};
        start = next + 1;
    }
    if (start > line.size())
        return {};
    size_t end = line.find(separator, start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int qxItemCount(const std::string &line, char separator)
{
    if (line.empty())
        return 0;
    int n = 1;
    for (char c : line)
        n += c == separator;
    return n;
}

bool qxFindKeyedLine(const TStrings *list, const std::string &key, int &index)
{
    index = -1;
    if (!list)
        return false;
    const std::string upper = AnsiUpperCase(key);
    for (int i = 0; i < list->Count(); ++i)
        if (AnsiUpperCase(qxItem(list->Strings(i), '\t', 1)) == upper) {
            index = i;
            return true;
        }
    return false;
}

void qxFindControlTypeEntry(
    const TObject *component, const std::string &fieldName, std::string &controlType, std::string &parameters)
{
    controlType.clear();
    parameters.clear();
    const TStrings *list = qxGetControlTypeList(component);
    if (!list)
        return;
    for (int i = 0; i < list->Count(); ++i) {
        const std::string line = list->Strings(i);
        if (qxItem(line, ';', 1) != fieldName)
            continue;
        controlType = qxItem(line, ';', 2);
        size_t second = line.find(';', line.find(';') + 1);
        parameters = second == std::string::npos ? std::string() : line.substr(second + 1);
    }
}

bool qxIsEditControlType(const std::string &type)
{
    return SameText(type, "CustomEdit") || SameText(type, "LookupCombo") || SameText(type, "Combo");
}

void qxSetValidityPictureSource(TqxValidityPictureSource source) { validityPictures = source; }

void qxGetPictureMaskEntry(const TObject *dataset, const std::string &fieldName, bool useTablePictures,
    bool &autoFill, bool &use, std::string &mask)
{
    mask.clear();
    autoFill = use = true;
    const TStrings *list = qxGetPictureMasksList(dataset);
    int index;
    bool had = qxFindKeyedLine(list, fieldName, index);
    if (had) {
        const std::string line = list->Strings(index);
        mask = qxItem(line, '\t', 2);
        autoFill = qxItem(line, '\t', 3) == "T";
        use = qxItem(line, '\t', 4) == "T";
    }
    std::string picture;
    if (useTablePictures && validityPictures && qxInheritsFromName(dataset->ClassType(), "TqxTable")
        && validityPictures(dataset, fieldName, picture) && !picture.empty()) {
        if (had && !mask.empty())
            qxSetPictureMaskEntry(const_cast<TObject *>(dataset), fieldName, picture, true, true, true, use, autoFill);
        mask = picture;
    }
}

void qxSetPictureMaskEntry(TObject *dataset, const std::string &fieldName, const std::string &mask, bool keepMask,
    bool keepAutoFill, bool keepUse, bool use, bool autoFill)
{
    TStrings *list = qxGetPictureMasksList(dataset);
    if (!list)
        return;
    std::string m = mask;
    std::string picture;
    if (validityPictures && qxInheritsFromName(dataset->ClassType(), "TqxTable")
        && validityPictures(dataset, fieldName, picture) && !picture.empty())
        m = picture;
    int index;
    if (qxFindKeyedLine(list, fieldName, index)) {
        const std::string line = list->Strings(index);
        if (!keepMask)
            m = qxItem(line, '\t', 2);
        if (!keepAutoFill)
            autoFill = qxItem(line, '\t', 3) == "T";
        if (!keepUse)
            use = qxItem(line, '\t', 4) == "T";
        if (m.empty())
            list->Delete(index);
        else
            list->SetStrings(index, fieldName + "\t" + m + "\t" + (autoFill ? "T" : "F") + "\t" + (use ? "T" : "F"));
    } else if (!m.empty())
        list->Add(fieldName + "\t" + m + "\t" + (autoFill ? "T" : "F") + "\t" + (use ? "T" : "F"));
}

bool qxTextMatchesPicture(const std::string &mask, const std::string &text)
{
    if (mask.empty())
        return true;
    TqxPictureValidator validator(mask, false);
    std::string t = text;
    return validator.MatchPicture(t, false) == prComplete;
}

std::string qxStringsToPChar(const TStrings *lines, bool blankSeparated)
{
    std::string text;
    for (int i = 0; i < lines->Count(); ++i)
        text += (i ? (blankSeparated ? " " : "\r\n") : "") + lines->Strings(i);
    return text;
}

int qxScaleByPixelsPerInch(int value, int pixelsPerInch) { return value * pixelsPerInch / 96; }

bool qxIsCharKey(uint16_t key)
{
    return key == 8 || key == 32 || key == 46 || (key >= 0x30 && key <= 0x6F) || key > 145;
}
