// The field classes and the blob stream (the dataset unit's second half).
#include "platform/db/db.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const TMetaClass TField::Class { "TField", &TComponent::Class };
const TMetaClass TStringField::Class { "TStringField", &TField::Class };
const TMetaClass TNumericField::Class { "TNumericField", &TField::Class };
const TMetaClass TIntegerField::Class { "TIntegerField", &TNumericField::Class };
const TMetaClass TSmallintField::Class { "TSmallintField", &TIntegerField::Class };
const TMetaClass TWordField::Class { "TWordField", &TIntegerField::Class };
const TMetaClass TAutoIncField::Class { "TAutoIncField", &TIntegerField::Class };
const TMetaClass TFloatField::Class { "TFloatField", &TNumericField::Class };
const TMetaClass TCurrencyField::Class { "TCurrencyField", &TFloatField::Class };
const TMetaClass TBCDField::Class { "TBCDField", &TNumericField::Class };
const TMetaClass TBooleanField::Class { "TBooleanField", &TField::Class };
const TMetaClass TDateTimeField::Class { "TDateTimeField", &TField::Class };
const TMetaClass TDateField::Class { "TDateField", &TDateTimeField::Class };
const TMetaClass TTimeField::Class { "TTimeField", &TDateTimeField::Class };
const TMetaClass TBlobField::Class { "TBlobField", &TField::Class };
const TMetaClass TMemoField::Class { "TMemoField", &TBlobField::Class };
const TMetaClass TGraphicField::Class { "TGraphicField", &TBlobField::Class };
const TMetaClass TBlobStream::Class { "TBlobStream", &TStream::Class };

// Here with the fields rather than with the engine: TField::IsBlob asks it, and
// a program with bound controls but no database must not link SQLite for it.
bool IsBlobType(TFieldType type) { return type >= ftBlob && type <= ftTypedBinary; }

// clang-format off
namespace {

const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames FieldKindNames = {"fkData", "fkCalculated", "fkLookup"};

using PF = TPublish<TField>;
const TClassRegistrar<TField> fieldRegistrar({
    //             name                 names            getter                        setter                           default  stored
    PF::Enum     ("Alignment",         AlignmentNames,  &TField::Alignment,           &TField::SetAlignment,           taLeftJustify),
    PF::Boolean  ("Calculated",                         &TField::Calculated,          &TField::SetCalculated,          false,   false),
    PF::String   ("DisplayLabel",                       &TField::DisplayLabel,        &TField::SetDisplayLabel,        "",      &TField::IsDisplayLabelStored),
    PF::Integer  ("DisplayWidth",                       &TField::DisplayWidth,        &TField::SetDisplayWidth,        0,       &TField::IsDisplayWidthStored),
    PF::String   ("EditMask",                           &TField::EditMask,            &TField::SetEditMask,            ""),
    PF::Enum     ("FieldKind",         FieldKindNames,  &TField::FieldKind,           &TField::SetFieldKind,           fkData),
    PF::String   ("FieldName",                          &TField::FieldName,           &TField::SetFieldName,           ""),
    PF::String   ("KeyFields",                          &TField::KeyFields,           &TField::SetKeyFields,           ""),
    PF::Boolean  ("Lookup",                             &TField::Lookup,              &TField::SetLookup,              false,   false),
    PF::Component("LookupDataSet",                      &TField::LookupDataSet,       &TField::SetLookupDataSet),
    PF::String   ("LookupKeyFields",                    &TField::LookupKeyFields,     &TField::SetLookupKeyFields,     ""),
    PF::String   ("LookupResultField",                  &TField::LookupResultField,   &TField::SetLookupResultField,   ""),
    PF::Boolean  ("ReadOnly",                           &TField::ReadOnly,            &TField::SetReadOnly,            false),
    PF::Boolean  ("Required",                           &TField::Required,            &TField::SetRequired,            false),
    PF::Integer  ("Size",                               &TField::Size,                &TField::SetSize,                0),
    PF::Boolean  ("Visible",                            &TField::Visible,             &TField::SetVisible,             true),
    PF::Event    ("OnChange",                           &TField::OnChange),
    PF::Event    ("OnGetText",                          &TField::OnGetText),
    PF::Event    ("OnSetText",                          &TField::OnSetText),
    PF::Event    ("OnValidate",                         &TField::OnValidate),
});

using PSt = TPublish<TStringField>;
const TClassRegistrar<TStringField> stringFieldRegistrar({
    PSt::Boolean ("Transliterate",                      &TStringField::Transliterate, &TStringField::SetTransliterate, true),
});

using PN = TPublish<TNumericField>;
const TClassRegistrar<TNumericField> numericFieldRegistrar({
    PN::String   ("DisplayFormat",                      &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat, ""),
    PN::String   ("EditFormat",                         &TNumericField::EditFormat,   &TNumericField::SetEditFormat,   ""),
});

using PI = TPublish<TIntegerField>;
const TClassRegistrar<TIntegerField> integerFieldRegistrar({
    PI::Integer  ("MaxValue",                           &TIntegerField::MaxValue,     &TIntegerField::SetMaxValue,     0),
    PI::Integer  ("MinValue",                           &TIntegerField::MinValue,     &TIntegerField::SetMinValue,     0),
});
const TClassRegistrar<TSmallintField> smallintFieldRegistrar({});
const TClassRegistrar<TWordField> wordFieldRegistrar({});
const TClassRegistrar<TAutoIncField> autoIncFieldRegistrar({});

using PFl = TPublish<TFloatField>;
const TClassRegistrar<TFloatField> floatFieldRegistrar({
    PFl::Boolean ("Currency",                           &TFloatField::Currency,       &TFloatField::SetCurrency,       false),
    PFl::Integer ("Precision",                          &TFloatField::Precision,      &TFloatField::SetPrecision,      15),
});
const TClassRegistrar<TCurrencyField> currencyFieldRegistrar({});

using PB = TPublish<TBCDField>;
const TClassRegistrar<TBCDField> bcdFieldRegistrar({
    PB::Boolean  ("Currency",                           &TBCDField::Currency,         &TBCDField::SetCurrency,         false),
    PB::Integer  ("Precision",                          &TBCDField::Precision,        &TBCDField::SetPrecision,        0),
});

using PBo = TPublish<TBooleanField>;
const TClassRegistrar<TBooleanField> booleanFieldRegistrar({
    PBo::String  ("DisplayValues",                      &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues, "True;False"),
});

using PDt = TPublish<TDateTimeField>;
const TClassRegistrar<TDateTimeField> dateTimeFieldRegistrar({
    PDt::String  ("DisplayFormat",                      &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat, ""),
});
const TClassRegistrar<TDateField> dateFieldRegistrar({});
const TClassRegistrar<TTimeField> timeFieldRegistrar({});
const TClassRegistrar<TBlobField> blobFieldRegistrar({});
const TClassRegistrar<TMemoField> memoFieldRegistrar({});
const TClassRegistrar<TGraphicField> graphicFieldRegistrar({});

} // namespace
// clang-format on

const TMetaClass &DefaultFieldClass(TFieldType type)
{
    switch (type) {
    case ftSmallint: return TSmallintField::Class;
    case ftInteger: return TIntegerField::Class;
    case ftWord: return TWordField::Class;
    case ftAutoInc: return TAutoIncField::Class;
    case ftBoolean: return TBooleanField::Class;
    case ftFloat: return TFloatField::Class;
    case ftCurrency: return TCurrencyField::Class;
    case ftBCD: return TBCDField::Class;
    case ftDate: return TDateField::Class;
    case ftTime: return TTimeField::Class;
    case ftDateTime: return TDateTimeField::Class;
    case ftMemo:
    case ftFmtMemo: return TMemoField::Class;
    case ftGraphic: return TGraphicField::Class;
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftBytes:
    case ftVarBytes: return TBlobField::Class;
    default: return TStringField::Class;
    }
}

// ---- TField ---------------------------------------------------------------------

TField::TField(TComponent *owner)
    : TComponent(owner)
{
}

TField::~TField()
{
    Destroying();
    if (dataSet_)
        dataSet_->RemoveField(this);
    dataSet_ = nullptr;
}

void TField::CheckInactive() const
{
    if (dataSet_ && dataSet_->Active())
        DatabaseError("Cannot perform this operation on an open dataset");
}

void TField::SetDataSet(TDataSet *dataSet)
{
    if (dataSet_ == dataSet)
        return;
    if (dataSet && dataSet->Active())
        DatabaseError("Cannot perform this operation on an open dataset");
    CheckInactive();
    if (dataSet_)
        dataSet_->RemoveField(this);
    dataSet_ = dataSet;
    if (dataSet_) {
        if (!fieldName_.empty() && dataSet_->FindField(fieldName_))
            DatabaseError(Format("Duplicate field name '%s'", fieldName_));
        dataSet_->AddField(this);
    }
}

TComponent *TField::GetParentComponent() const { return dataSet_; }

void TField::SetParentComponent(TComponent *parent)
{
    if (auto *ds = dynamic_cast<TDataSet *>(parent))
        SetDataSet(ds);
}

void TField::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == lookupDataSet_)
        lookupDataSet_ = nullptr;
}

void TField::SetFieldName(const std::string &name)
{
    CheckInactive();
    fieldName_ = name;
}

void TField::SetSize(int size)
{
    CheckInactive();
    size_ = size;
}

void TField::SetFieldKind(TFieldKind kind)
{
    CheckInactive();
    fieldKind_ = kind;
}

namespace {

void LayoutChanged(TDataSet *ds)
{
    if (ds && ds->Active())
        ds->DataEvent(deLayoutChange, 0);
}

} // namespace

void TField::SetDisplayLabel(const std::string &label)
{
    displayLabel_ = label == fieldName_ ? std::string() : label;
    LayoutChanged(dataSet_);
}

void TField::SetDisplayWidth(int width)
{
    displayWidth_ = width;
    LayoutChanged(dataSet_);
}

void TField::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    LayoutChanged(dataSet_);
}

void TField::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    LayoutChanged(dataSet_);
}

void TField::SetEditMask(const std::string &mask)
{
    editMask_ = mask;
    LayoutChanged(dataSet_);
}

void TField::SetReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    LayoutChanged(dataSet_);
}

int TField::Index() const
{
    if (!dataSet_)
        return -1;
    const auto &f = dataSet_->fields_;
    return static_cast<int>(std::find(f.begin(), f.end(), this) - f.begin());
}

void TField::SetIndex(int index)
{
    if (!dataSet_)
        return;
    auto &f = dataSet_->fields_;
    index = std::clamp(index, 0, static_cast<int>(f.size()) - 1);
    int cur = Index();
    if (cur == index)
        return;
    f.erase(f.begin() + cur);
    f.insert(f.begin() + index, this);
    LayoutChanged(dataSet_);
}

void TField::SetLookupDataSet(TDataSet *dataSet)
{
    if (dataSet == dataSet_ && dataSet)
        DatabaseError("Circular datalinks are not allowed");
    lookupDataSet_ = dataSet;
    if (dataSet)
        dataSet->FreeNotification(this);
}

bool TField::IsValidChar(char32_t c) const
{
    const bool digitOrSign = (c >= U'0' && c <= U'9') || c == U'+' || c == U'-';
    switch (dataType_) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return digitOrSign;
    case ftFloat:
    case ftCurrency:
        return digitOrSign || c == FormatSettings.DecimalSeparator || c == U'E' || c == U'e';
    case ftBCD:
        return digitOrSign || c == FormatSettings.DecimalSeparator;
    default:
        return true;
    }
}

bool TField::CanModify() const
{
    if (readOnly_ || !dataSet_)
        return false;
    if (fieldKind_ != fkData)
        return dataSet_->State() == dsCalcFields;
    return dataSet_->CanModify() && dataType_ != ftAutoInc;
}

void TField::FocusControl()
{
    if (!dataSet_ || !dataSet_->Active())
        return;
    TField *self = this;
    dataSet_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&self));
}

Variant TField::GetData() const
{
    if (!dataSet_ || slot_ < 0)
        return {};
    TRecBuf *b = dataSet_->ActiveBuffer();
    if (!b || slot_ >= static_cast<int>(b->Values.size()))
        return {};
    return b->Values[slot_];
}

void TField::SetData(const Variant &value)
{
    if (!dataSet_)
        DatabaseError(Format("Field '%s' has no dataset", DisplayName()));
    dataSet_->SetFieldData(this, value);
}

bool TField::IsNull() const { return GetData().IsNull(); }
Variant TField::Value() const { return GetData(); }

void TField::SetValue(const Variant &value)
{
    if (value.IsNull())
        SetData(Variant());
    else
        switch (value.Kind()) {
        case Variant::vkText: SetAsStringValue(value.Text()); break;
        case Variant::vkInteger: SetAsIntegerValue(value.AsInteger()); break;
        default: SetAsFloatValue(value.AsFloat()); break;
        }
}

void TField::ConvertError(const std::string &message, const std::string &value) const
{
    throw EConvertError(Format(message, value, DisplayName()));
}

std::string TField::GetAsString() const { return GetData().AsString(); }
void TField::SetAsStringValue(const std::string &value) { SetData(value.empty() ? Variant() : Variant(value)); }

int64_t TField::GetAsInteger() const
{
    Variant v = GetData();
    if (v.Kind() == Variant::vkText) {
        int64_t n;
        if (!TryStrToInt64(Trim(v.Text()), n))
            ConvertError("'%s' is not a valid integer value for field '%s'", v.Text());
        return n;
    }
    return v.AsInteger();
}
void TField::SetAsIntegerValue(int64_t value) { SetData(Variant(value)); }

double TField::GetAsFloat() const
{
    Variant v = GetData();
    if (v.Kind() == Variant::vkText) {
        double x;
        if (!TryStrToFloat(Trim(v.Text()), x))
            ConvertError("'%s' is not a valid floating point value for field '%s'", v.Text());
        return x;
    }
    return v.AsFloat();
}
void TField::SetAsFloatValue(double value) { SetData(Variant(value)); }

bool TField::GetAsBoolean() const { return GetData().AsBoolean(); }
void TField::SetAsBooleanValue(bool value) { SetData(Variant(value)); }

void TField::GetText(std::string &text, bool) const { text = GetAsString(); }

std::string TField::Text() const
{
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField *>(this), text, false);
    else
        GetText(text, false);
    return text;
}

std::string TField::DisplayText() const
{
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField *>(this), text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetText(const std::string &text)
{
    if (OnSetText)
        OnSetText(this, text);
    else
        SetTextValue(text);
}

// ---- Strings and numbers ----------------------------------------------------------

TStringField::TStringField(TComponent *owner)
    : TField(owner)
{
    SetDataType(ftString);
    SetSize(20);
}

int64_t TStringField::GetAsInteger() const
{
    std::string s = Trim(GetAsString());
    int64_t n = 0;
    if (!s.empty() && !TryStrToInt64(s, n))
        ConvertError("'%s' is not a valid integer value for field '%s'", s);
    return n;
}

double TStringField::GetAsFloat() const
{
    std::string s = Trim(GetAsString());
    double x = 0;
    if (!s.empty() && !TryStrToFloat(s, x))
        ConvertError("'%s' is not a valid floating point value for field '%s'", s);
    return x;
}

TNumericField::TNumericField(TComponent *owner)
    : TField(owner)
{
    SetAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const std::string &format) { displayFormat_ = format; }
void TNumericField::SetEditFormat(const std::string &format) { editFormat_ = format; }

TIntegerField::TIntegerField(TComponent *owner)
    : TNumericField(owner)
{
    SetDataType(ftInteger);
}

std::string TIntegerField::GetAsString() const
{
    Variant v = GetData();
    return v.IsNull() ? std::string() : IntToStr(v.AsInteger());
}

void TIntegerField::SetAsStringValue(const std::string &value)
{
    std::string s = Trim(value);
    if (s.empty()) {
        SetData(Variant());
        return;
    }
    int64_t n;
    if (!TryStrToInt64(s, n))
        ConvertError("'%s' is not a valid integer value for field '%s'", value);
    SetAsIntegerValue(n);
}

void TIntegerField::SetAsIntegerValue(int64_t value)
{
    int64_t low = minValue_ != 0 || maxValue_ != 0 ? minValue_ : lowest_;
    int64_t high = minValue_ != 0 || maxValue_ != 0 ? maxValue_ : highest_;
    if (value < low || value > high)
        throw ERangeError(Format("%d is not a valid value for field '%s'. The allowed range is %d to %d", value,
            DisplayName(), low, high));
    SetData(Variant(value));
}

void TIntegerField::SetAsFloatValue(double value) { SetAsIntegerValue(Round(value)); }

void TIntegerField::GetText(std::string &text, bool displayText) const
{
    Variant v = GetData();
    if (v.IsNull()) {
        text.clear();
        return;
    }
    const std::string &fmt = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    text = fmt.empty() ? IntToStr(v.AsInteger()) : FormatFloat(fmt, static_cast<double>(v.AsInteger()));
}

TSmallintField::TSmallintField(TComponent *owner)
    : TIntegerField(owner)
{
    SetDataType(ftSmallint);
    SetRange(INT16_MIN, INT16_MAX);
}

TWordField::TWordField(TComponent *owner)
    : TIntegerField(owner)
{
    SetDataType(ftWord);
    SetRange(0, UINT16_MAX);
}

TAutoIncField::TAutoIncField(TComponent *owner)
    : TIntegerField(owner)
{
    SetDataType(ftAutoInc);
}

TFloatField::TFloatField(TComponent *owner)
    : TNumericField(owner)
{
    SetDataType(ftFloat);
}

void TFloatField::SetCurrency(bool currency)
{
    currency_ = currency;
    LayoutChanged(DataSet());
}

void TFloatField::SetPrecision(int precision) { precision_ = std::clamp(precision, 2, 15); }

std::string TFloatField::GetAsString() const
{
    Variant v = GetData();
    return v.IsNull() ? std::string() : FloatToStrF(v.AsFloat(), ffGeneral, precision_, 0);
}

void TFloatField::SetAsStringValue(const std::string &value)
{
    std::string s = Trim(value);
    if (s.empty()) {
        SetData(Variant());
        return;
    }
    double x;
    if (!TryStrToFloat(s, x))
        ConvertError("'%s' is not a valid floating point value for field '%s'", value);
    SetAsFloatValue(x);
}

void TFloatField::GetText(std::string &text, bool displayText) const
{
    Variant v = GetData();
    if (v.IsNull()) {
        text.clear();
        return;
    }
    const std::string &fmt = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    if (!fmt.empty())
        text = FormatFloat(fmt, v.AsFloat());
    else if (currency_)
        text = displayText ? FloatToStrF(v.AsFloat(), ffCurrency, precision_, FormatSettings.CurrencyDecimals)
                           : FloatToStrF(v.AsFloat(), ffFixed, precision_, FormatSettings.CurrencyDecimals);
    else
        text = FloatToStrF(v.AsFloat(), ffGeneral, precision_, 0);
}

TCurrencyField::TCurrencyField(TComponent *owner)
    : TFloatField(owner)
{
    SetDataType(ftCurrency);
    SetCurrency(true);
}

TBCDField::TBCDField(TComponent *owner)
    : TNumericField(owner)
{
    SetDataType(ftBCD);
    SetSize(4);
}

void TBCDField::SetCurrency(bool currency) { currency_ = currency; }

std::string TBCDField::GetAsString() const
{
    Variant v = GetData();
    return v.IsNull() ? std::string() : FloatToStr(v.AsFloat());
}

void TBCDField::SetAsStringValue(const std::string &value)
{
    std::string s = Trim(value);
    if (s.empty()) {
        SetData(Variant());
        return;
    }
    double x;
    if (!TryStrToFloat(s, x))
        ConvertError("'%s' is not a valid floating point value for field '%s'", value);
    SetAsFloatValue(x);
}

void TBCDField::GetText(std::string &text, bool displayText) const
{
    Variant v = GetData();
    if (v.IsNull()) {
        text.clear();
        return;
    }
    const std::string &fmt = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    if (!fmt.empty())
        text = FormatFloat(fmt, v.AsFloat());
    else if (currency_ && displayText)
        text = FloatToStrF(v.AsFloat(), ffCurrency, 18, FormatSettings.CurrencyDecimals);
    else
        text = FloatToStr(v.AsFloat());
}

// ---- Booleans, dates, blobs ---------------------------------------------------------

TBooleanField::TBooleanField(TComponent *owner)
    : TField(owner)
{
    SetDataType(ftBoolean);
}

void TBooleanField::SetDisplayValues(const std::string &values)
{
    size_t semi = values.find(';');
    if (semi == std::string::npos || semi == 0)
        DatabaseError(Format("Invalid format for display values '%s'", values));
    displayValues_ = values;
    trueText_ = values.substr(0, semi);
    falseText_ = values.substr(semi + 1);
    LayoutChanged(DataSet());
}

std::string TBooleanField::GetAsString() const
{
    Variant v = GetData();
    return v.IsNull() ? std::string() : v.AsBoolean() ? trueText_ : falseText_;
}

void TBooleanField::SetAsStringValue(const std::string &value)
{
    std::string s = Trim(value);
    if (s.empty()) {
        SetData(Variant());
        return;
    }
    auto starts = [&s](const std::string &t) { return !t.empty() && AnsiSameText(s, t.substr(0, s.size())); };
    if (starts(trueText_))
        SetData(Variant(true));
    else if (starts(falseText_))
        SetData(Variant(false));
    else
        ConvertError("'%s' is not a valid boolean value for field '%s'", value);
}

TDateTimeField::TDateTimeField(TComponent *owner)
    : TField(owner)
{
    SetDataType(ftDateTime);
}

void TDateTimeField::SetDisplayFormat(const std::string &format)
{
    displayFormat_ = format;
    LayoutChanged(DataSet());
}

std::string TDateTimeField::DefaultText(TDateTime value) const { return DateTimeToStr(value); }
TDateTime TDateTimeField::ParseText(const std::string &text) const { return StrToDateTime(text); }

std::string TDateTimeField::GetAsString() const
{
    Variant v = GetData();
    return v.IsNull() ? std::string() : DefaultText(v.AsFloat());
}

void TDateTimeField::SetAsStringValue(const std::string &value)
{
    std::string s = Trim(value);
    if (s.empty())
        SetData(Variant());
    else
        SetAsFloatValue(ParseText(s));
}

void TDateTimeField::GetText(std::string &text, bool displayText) const
{
    Variant v = GetData();
    if (v.IsNull())
        text.clear();
    else if (displayText && !displayFormat_.empty())
        text = FormatDateTime(displayFormat_, v.AsFloat());
    else
        text = DefaultText(v.AsFloat());
}

TDateField::TDateField(TComponent *owner)
    : TDateTimeField(owner)
{
    SetDataType(ftDate);
}

std::string TDateField::DefaultText(TDateTime value) const { return DateToStr(value); }
TDateTime TDateField::ParseText(const std::string &text) const { return StrToDate(text); }

TTimeField::TTimeField(TComponent *owner)
    : TDateTimeField(owner)
{
    SetDataType(ftTime);
}

std::string TTimeField::DefaultText(TDateTime value) const { return TimeToStr(value); }
TDateTime TTimeField::ParseText(const std::string &text) const { return StrToTime(text); }

TBlobField::TBlobField(TComponent *owner)
    : TField(owner)
{
    SetDataType(ftBlob);
}

std::string TBlobField::GetAsString() const
{
    if (!DataSet() || !DataSet()->ActiveBuffer())
        return {};
    TBlobStream stream(const_cast<TBlobField *>(this), bmRead);
    std::string bytes(static_cast<size_t>(stream.Size()), '\0');
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

void TBlobField::SetAsStringValue(const std::string &value)
{
    TBlobStream stream(this, bmWrite);
    if (!value.empty())
        stream.WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

void TBlobField::GetText(std::string &text, bool) const { text = "(" + std::string(DataType() == ftGraphic ? "Graphic" : "Blob") + ")"; }

int64_t TBlobField::BlobSize() const
{
    if (!DataSet())
        return 0;
    TRecBuf *b = DataSet()->ActiveBuffer();
    if (!b)
        return 0;
    auto it = b->Blobs.find(slot_);
    if (it != b->Blobs.end())
        return static_cast<int64_t>(it->second.size());
    return GetData().AsInteger();
}

void TBlobField::LoadFromStream(TStream &stream)
{
    TBlobStream blob(this, bmWrite);
    stream.SetPosition(0);
    blob.CopyFrom(stream, 0);
}

void TBlobField::SaveToStream(TStream &stream) const
{
    TBlobStream blob(const_cast<TBlobField *>(this), bmRead);
    if (blob.Size() > 0)
        stream.CopyFrom(blob, 0);
}

void TBlobField::LoadFromFile(const std::string &fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TBlobField::SaveToFile(const std::string &fileName) const
{
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

TMemoField::TMemoField(TComponent *owner)
    : TBlobField(owner)
{
    SetDataType(ftMemo);
}

void TMemoField::GetText(std::string &text, bool displayText) const
{
    text = displayText ? "(Memo)" : GetAsString();
}

TGraphicField::TGraphicField(TComponent *owner)
    : TBlobField(owner)
{
    SetDataType(ftGraphic);
}

// ---- TBlobStream ----------------------------------------------------------------

TBlobStream::TBlobStream(TBlobField *field, TBlobStreamMode mode)
    : field_(field)
    , mode_(mode)
{
    TDataSet *ds = field->DataSet();
    if (!ds)
        DatabaseError(Format("Field '%s' has no dataset", field->DisplayName()));
    TRecBuf *b = ds->ActiveBuffer();
    if (mode != bmRead) {
        if (ds->State() != dsEdit && ds->State() != dsInsert)
            DatabaseError("Dataset not in edit or insert mode");
        if (field->ReadOnly())
            DatabaseError(Format("Field '%s' cannot be modified", field->DisplayName()));
    }
    if (mode == bmWrite) {
        modified_ = true; // a write stream replaces the value, even with nothing
        return;
    }
    if (!b)
        return;
    auto it = b->Blobs.find(field->slot_);
    if (it != b->Blobs.end())
        data_ = it->second;
    else if (!b->Values[field->slot_].IsNull() && b->Values[field->slot_].AsInteger() > 0 && b->Flag == bfCurrent)
        data_ = ds->ReadBlobData(field, *b);
}

TBlobStream::~TBlobStream()
{
    if (!modified_)
        return;
    TDataSet *ds = field_->DataSet();
    TRecBuf *b = ds ? ds->ActiveBuffer() : nullptr;
    if (!b)
        return;
    b->Blobs[field_->slot_] = data_;
    b->Values[field_->slot_] = data_.empty() ? Variant() : Variant(static_cast<int64_t>(data_.size()));
    b->Modified[field_->slot_] = true;
    try {
        ds->modified_ = true;
        ds->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
        field_->OnChange(field_);
    } catch (...) {
        // The bytes are in the record; a control that failed to show them
        // has nobody to tell from a destructor.
    }
}

int64_t TBlobStream::Read(void *buffer, int64_t count)
{
    int64_t n = std::clamp<int64_t>(static_cast<int64_t>(data_.size()) - position_, 0, count);
    if (n > 0)
        memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TBlobStream::Write(const void *buffer, int64_t count)
{
    if (mode_ == bmRead)
        return 0;
    if (count <= 0)
        return 0;
    if (position_ + count > static_cast<int64_t>(data_.size()))
        data_.resize(static_cast<size_t>(position_ + count));
    memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    modified_ = true;
    return count;
}

int64_t TBlobStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? position_ : static_cast<int64_t>(data_.size());
    if (base + offset < 0)
        return -1;
    position_ = base + offset;
    return position_;
}

void TBlobStream::SetSize(int64_t newSize)
{
    if (mode_ == bmRead)
        throw EStreamError("Cannot change the size of a blob opened for reading");
    data_.resize(static_cast<size_t>(std::max<int64_t>(newSize, 0)));
    position_ = std::min(position_, newSize);
    modified_ = true;
}
