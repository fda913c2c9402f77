#include "controls/base/Qxfind.h"

#include <string_view>

#include "controls/base/Qxcomdb.h"
#include "controls/base/Qxcommon.h"
#include "controls/base/Qxdate.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

namespace {

bool IsFloatType(TFieldType t) { return t == ftFloat || t == ftCurrency || t == ftBCD; }

// The text of a physical field as the engine holds it.
std::string EngineText(TFieldType type, const Variant &v)
{
    if (v.IsNull())
        return {};
    switch (type) {
    case ftString: return v.AsString();
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc: return IntToStr(v.AsInteger());
    case ftBoolean: return v.AsBoolean() ? "True" : "False";
    case ftFloat:
    case ftCurrency:
    case ftBCD: return FloatToStr(v.AsFloat());
    case ftDate: return DateToStr(v.AsFloat());
    case ftTime: return TimeToStr(v.AsFloat());
    case ftDateTime: return DateToStr(Int(v.AsFloat()));
    default: return {};
    }
}

// An exact search on a number compares numbers; a field text that is no
// number (INF, NAN) is no match.
bool NumberMatches(const std::string &fieldText, const std::string &value)
{
    double a, b;
    return !fieldText.empty() && TryStrToFloat(fieldText, a) && TryStrToFloat(value, b) && a == b;
}

class THourGlass
{
public:
    THourGlass() { Screen->SetCursor(crHourGlass); }
    ~THourGlass() { Screen->SetCursor(crDefault); }
};

class TControlsOff
{
public:
    explicit TControlsOff(TDataSet *ds) : ds_(ds) {}
    void Disable()
    {
        if (!on_)
            ds_->DisableControls(), on_ = true;
    }
    ~TControlsOff()
    {
        if (on_)
            ds_->EnableControls();
    }

private:
    TDataSet *ds_;
    bool on_ = false;
};

} // namespace

namespace {

bool IsAscii(std::string_view text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// Whether text holds value (already upper-cased) at pos, letters compared
// upper-cased; ASCII texts need no copy.
bool UpperAt(std::string_view text, size_t pos, std::string_view value)
{
    if (pos + value.size() > text.size())
        return false;
    for (size_t i = 0; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[pos + i]);
        if ((c >= 'a' && c <= 'z' ? c - 32 : c) != static_cast<unsigned char>(value[i]))
            return false;
    }
    return true;
}

} // namespace

bool qxMatchText(const std::string &fieldText, const std::string &value, int matchType, bool caseSensitive)
{
    if (!caseSensitive && !IsAscii(fieldText))
        return qxMatchText(AnsiUpperCase(fieldText), value, matchType, true);
    const std::string_view text = fieldText;
    auto at = [&](size_t pos) {
        return caseSensitive ? text.compare(pos, value.size(), value) == 0 : UpperAt(text, pos, value);
    };
    switch (matchType) {
    case 0: return text.size() == value.size() && at(0);
    case 1: return !value.empty() && text.size() >= value.size() && at(0);
    case 2:
        if (value.empty() || text.size() < value.size())
            return false;
        if (caseSensitive)
            return text.find(value) != std::string_view::npos;
        for (size_t pos = 0; pos + value.size() <= text.size(); ++pos)
            if (UpperAt(text, pos, value))
                return true;
        return false;
    default: return false;
    }
}

bool FindMatch(bool fromFirst, TDataSet *dataset, const std::string &fieldName, bool caseSensitive, int matchType,
    const std::string &value)
{
    dataset->CheckBrowseMode();
    TField *field = dataset->FindField(fieldName);
    if (!field) {
        MessageBox(nullptr, "Field " + fieldName + " not found.", "Warning", MB_OK | MB_ICONWARNING);
        return false;
    }
    dataset->UpdateCursorPos();
    const std::string wanted = caseSensitive ? value : AnsiUpperCase(value);
    const bool memo = field->DataType() == ftMemo;
    auto fieldText = [&] { return caseSensitive ? field->AsString() : AnsiUpperCase(field->AsString()); };
    const TBookmark start = dataset->GetBookmark();
    auto restore = [&] {
        if (!start.empty() && dataset->GetBookmark() != start)
            dataset->GotoBookmark(start);
    };

    // The index path.
    bool stopAtFirstMiss = false;
    auto *table = dynamic_cast<TTable *>(dataset);
    if (table && !qxIsQueryModeTable(dataset) && !memo) {
        table->UpdateIndexDefs();
        const TIndexDef *index = table->IndexDefs().Find(table->IndexName());
        std::string first;
        if (index)
            first = index->Fields.substr(0, index->Fields.find(';'));
        const bool leads = index && !first.empty() && dataset->FindField(first)
            && UpperCase(first) == UpperCase(field->FieldName());
        const bool indexCase = index && !index->Options.Contains(ixCaseInsensitive);
        const std::string current = fieldText();
        if (leads && matchType == 0) {
            // An empty value stands for blank texts and blanks alike, which
            // no single key finds: the scan finds both.
            if ((current != wanted || fromFirst) && !wanted.empty() && field->DataType() != ftBoolean
                && (field->DataType() != ftString || indexCase == caseSensitive)) {
                bool found = false;
                try {
                    found = table->FindKey({Variant(wanted)});
                } catch (const EConvertError &) {
                    found = false; // a value the field cannot hold matches nothing
                }
                if (!found)
                    restore();
                return found;
            }
        } else if (leads && matchType == 1 && field->DataType() == ftString && indexCase == caseSensitive) {
            stopAtFirstMiss = true;
            const bool currentMatches = qxMatchText(field->AsString(), wanted, 1, caseSensitive);
            if (fromFirst || !currentMatches) {
                if (!fromFirst && CompareStr(wanted, current) < 0)
                    return false;
                table->FindNearest({Variant(wanted)});
                bool found = qxMatchText(field->AsString(), wanted, 1, caseSensitive);
                if (!found)
                    restore();
                return found;
            }
        }
    }

    // The scan.
    THourGlass hourGlass;
    TControlsOff controls(dataset);
    const bool byNumber = matchType == 0 && IsFloatType(field->DataType()) && !value.empty();
    auto test = [&](const std::string &text) {
        if (byNumber)
            return qxIsFloatText(value) && NumberMatches(text, value);
        return qxMatchText(text, wanted, matchType, caseSensitive);
    };
    auto datasetText = [&] { return memo ? qxPlainText(field->AsString()) : field->AsString(); };
    auto *bde = dynamic_cast<TBDEDataSet *>(dataset);
    const bool fromEngine = bde && !memo && !qxIsNonPhysicalField(field);
    bool found = false;
    if (fromFirst) {
        dataset->First();
        found = !dataset->IsEmpty()
            && test(fromEngine ? EngineText(field->DataType(), field->Value()) : datasetText());
    }
    if (!found && !fromEngine) {
        controls.Disable();
        for (dataset->Next(); !dataset->Eof(); dataset->Next()) {
            bool match = test(datasetText());
            if (match) {
                found = true;
                break;
            }
            if (stopAtFirstMiss)
                break;
        }
    } else if (!found) {
        TEngineCursor *cursor = bde->Handle();
        dataset->UpdateCursorPos();
        const TFieldType type = field->DataType();
        TEngineRow row;
        bool missed = false;
        found = cursor->ScanForward(
            field->FieldNo() - 1,
            [&](const Variant &v) {
                if (type == ftString && !byNumber ? qxMatchText(v.Text(), wanted, matchType, caseSensitive)
                                                  : test(EngineText(type, v)))
                    return true;
                if (stopAtFirstMiss)
                    return missed = true;
                return false;
            },
            row);
        found = found && !missed;
        dataset->CursorPosChanged();
        if (found)
            dataset->Resync(TResyncMode({rmExact, rmCenter}));
    }
    if (!found)
        restore();
    return found;
}
