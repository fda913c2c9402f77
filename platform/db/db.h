#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/db/dbengine.h"
#include "platform/db/variants.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/events.h"
#include "platform/rtl/streams.h"

// Datasets, fields, data sources and data links.
//
// A dataset keeps a window of record buffers (BufferCount of them) over its
// records: the rows around the current one, as the controls linked to it show
// them. ActiveRecord is the buffer of the current record. Moving inside the
// window only changes ActiveRecord; moving past its edge reads one more record
// and drops one from the other end, and the links hear by how many rows the
// window scrolled.

class TDataSet;
class TDataSource;
class TDataLink;
class TField;

ORVEX_EXCEPTION(EDatabaseError, Exception);
[[noreturn]] void DatabaseError(const std::string &message);

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter };
enum TDataEvent {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
    deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl,
};
enum TFieldKind { fkData, fkCalculated, fkLookup };
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeFlag { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeFlag>;
enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// A bookmark: an opaque value naming one record of one dataset; empty for none.
using TBookmark = std::string;

// One record buffer: the fields' values (data fields first, then calculated
// and lookup fields), the row it came from, and the blobs changed in it.
struct TRecBuf {
    std::vector<Variant> Values;
    int64_t RowId = 0;
    TBookmarkFlag Flag = bfCurrent;
    std::map<int, std::string> Blobs; // by value slot: bytes written but not yet posted
    std::vector<bool> Modified; // by value slot: set by the user since the record was read
};

using TDataSetNotifyEvent = TEvent<TDataSet *>;
using TFilterRecordEvent = TEvent<TDataSet *, bool &>;
using TFieldNotifyEvent = TEvent<TField *>;
using TFieldGetTextEvent = TEvent<TField *, std::string &, bool>;
using TFieldSetTextEvent = TEvent<TField *, const std::string &>;

// ---- Definitions --------------------------------------------------------------

struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int Precision = 0;
    bool Required = false;
    int FieldNo = 0; // 1-based
};

class TFieldDefs
{
public:
    void Add(const std::string &name, TFieldType type, int size = 0, bool required = false);
    void Clear() { defs_.clear(); }
    int Count() const { return static_cast<int>(defs_.size()); }
    const TFieldDef &Items(int index) const { return defs_.at(index); }
    TFieldDef &Items(int index) { return defs_.at(index); }
    int IndexOf(const std::string &name) const; // case-insensitive; -1 when none
    const TFieldDef *Find(const std::string &name) const;
    std::vector<TEngineFieldDesc> ToEngine() const;

private:
    std::vector<TFieldDef> defs_;
};

// ---- Fields -------------------------------------------------------------------

class TField : public TComponent
{
public:
    explicit TField(TComponent *owner);
    ~TField() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Binding
    TDataSet *DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet *dataSet);
    const std::string &FieldName() const { return fieldName_; }
    void SetFieldName(const std::string &name);
    int FieldNo() const { return fieldNo_; } // 1-based for data fields, 0 otherwise
    TFieldType DataType() const { return dataType_; }
    int Size() const { return size_; }
    void SetSize(int size);
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return fieldKind_ == fkCalculated; }
    void SetCalculated(bool calculated) { SetFieldKind(calculated ? fkCalculated : fkData); }
    bool Lookup() const { return fieldKind_ == fkLookup; }
    void SetLookup(bool lookup) { SetFieldKind(lookup ? fkLookup : fkData); }
    bool IsBlob() const { return IsBlobType(dataType_); }

    // Display
    std::string DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    void SetDisplayLabel(const std::string &label);
    bool IsDisplayLabelStored() const { return !displayLabel_.empty(); }
    std::string DisplayName() const { return DisplayLabel(); }
    int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : DefaultWidth(); }
    void SetDisplayWidth(int width);
    bool IsDisplayWidthStored() const { return displayWidth_ > 0; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    const std::string &EditMask() const { return editMask_; }
    void SetEditMask(const std::string &mask);
    int Index() const; // place among the dataset's fields; -1 without a dataset
    void SetIndex(int index);

    // Editing rules
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool Required() const { return required_; }
    void SetRequired(bool required) { required_ = required; }
    bool CanModify() const;
    // Whether the character may be typed into the field's text: numbers take
    // digits and signs (and their decimal separator and exponent), the rest
    // take anything.
    bool IsValidChar(char32_t c) const;
    // Gives the focus to the control that shows this field.
    void FocusControl();

    // Lookup fields: the value of LookupResultField in the LookupDataSet
    // record whose LookupKeyFields equal this dataset's KeyFields.
    TDataSet *LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet *dataSet);
    const std::string &KeyFields() const { return keyFields_; }
    void SetKeyFields(const std::string &fields) { keyFields_ = fields; }
    const std::string &LookupKeyFields() const { return lookupKeyFields_; }
    void SetLookupKeyFields(const std::string &fields) { lookupKeyFields_ = fields; }
    const std::string &LookupResultField() const { return lookupResultField_; }
    void SetLookupResultField(const std::string &field) { lookupResultField_ = field; }

    // Value of the dataset's current record
    bool IsNull() const;
    void Clear() { SetValue(Variant()); }
    Variant Value() const;
    void SetValue(const Variant &value);
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string &value) { SetAsStringValue(value); }
    int64_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int64_t value) { SetAsIntegerValue(value); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double value) { SetAsFloatValue(value); }
    Currency AsCurrency() const { return FloatToCurr(GetAsFloat()); }
    void SetAsCurrency(Currency value) { SetAsFloatValue(value.ToDouble()); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool value) { SetAsBooleanValue(value); }
    TDateTime AsDateTime() const { return GetAsFloat(); }
    void SetAsDateTime(TDateTime value) { SetAsFloatValue(value); }
    // The text to edit (Text) and to show (DisplayText), through OnGetText
    // when it is assigned; Text is set through OnSetText when assigned.
    std::string Text() const;
    void SetText(const std::string &text);
    std::string DisplayText() const;

    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;
    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;

    // Streaming: a field sits inside its dataset in a form resource.
    bool HasParent() const override { return true; }
    TComponent *GetParentComponent() const override;
    void SetParentComponent(TComponent *parent) override;

protected:
    friend class TDataSet;
    // The value in the record buffer the dataset reads now (the active
    // record, or the one being filtered or calculated).
    Variant GetData() const;
    void SetData(const Variant &value);
    virtual std::string GetAsString() const;
    virtual void SetAsStringValue(const std::string &value);
    virtual int64_t GetAsInteger() const;
    virtual void SetAsIntegerValue(int64_t value);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double value);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool value);
    // The default text of the value; display asks for the shown form.
    virtual void GetText(std::string &text, bool displayText) const;
    virtual void SetTextValue(const std::string &text) { SetAsStringValue(text); }
    virtual int DefaultWidth() const { return 10; }
    void Notification(TComponent *component, TOperation operation) override;
    void SetDataType(TFieldType type) { dataType_ = type; }
    [[noreturn]] void ConvertError(const std::string &message, const std::string &value) const;

private:
    friend class TBlobStream;
    friend class TBlobField;
    void CheckInactive() const;
    TDataSet *dataSet_ = nullptr;
    std::string fieldName_;
    int fieldNo_ = 0;
    int slot_ = -1; // place of the value in a record buffer
    TFieldType dataType_ = ftUnknown;
    int size_ = 0;
    TFieldKind fieldKind_ = fkData;
    std::string displayLabel_;
    int displayWidth_ = 0;
    bool visible_ = true;
    TAlignment alignment_ = taLeftJustify;
    std::string editMask_;
    bool readOnly_ = false;
    bool required_ = false;
    TDataSet *lookupDataSet_ = nullptr;
    std::string keyFields_, lookupKeyFields_, lookupResultField_;
};

class TStringField : public TField
{
public:
    explicit TStringField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    bool Transliterate() const { return transliterate_; }
    void SetTransliterate(bool on) { transliterate_ = on; }

protected:
    int DefaultWidth() const override { return Size(); }
    int64_t GetAsInteger() const override;
    double GetAsFloat() const override;

private:
    bool transliterate_ = true;
};

// Numbers: DisplayFormat and EditFormat are FormatFloat pictures.
class TNumericField : public TField
{
public:
    explicit TNumericField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    const std::string &DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const std::string &format);
    const std::string &EditFormat() const { return editFormat_; }
    void SetEditFormat(const std::string &format);

private:
    std::string displayFormat_, editFormat_;
};

class TIntegerField : public TNumericField
{
public:
    explicit TIntegerField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    int64_t MinValue() const { return minValue_; }
    void SetMinValue(int64_t value) { minValue_ = value; }
    int64_t MaxValue() const { return maxValue_; }
    void SetMaxValue(int64_t value) { maxValue_ = value; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    void SetAsIntegerValue(int64_t value) override;
    void SetAsFloatValue(double value) override;
    void GetText(std::string &text, bool displayText) const override;
    int DefaultWidth() const override { return 11; }
    void SetRange(int64_t low, int64_t high) { lowest_ = low, highest_ = high; }

private:
    int64_t minValue_ = 0, maxValue_ = 0; // both 0: the type's own range
    int64_t lowest_ = INT32_MIN, highest_ = INT32_MAX;
};

class TSmallintField : public TIntegerField
{
public:
    explicit TSmallintField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    int DefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField
{
public:
    explicit TWordField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    int DefaultWidth() const override { return 6; }
};

class TAutoIncField : public TIntegerField
{
public:
    explicit TAutoIncField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

class TFloatField : public TNumericField
{
public:
    explicit TFloatField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    bool Currency() const { return currency_; }
    void SetCurrency(bool currency);
    int Precision() const { return precision_; }
    void SetPrecision(int precision);

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    void GetText(std::string &text, bool displayText) const override;

private:
    bool currency_ = false;
    int precision_ = 15;
};

class TCurrencyField : public TFloatField
{
public:
    explicit TCurrencyField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// A BCD value; Size is the number of decimal places.
class TBCDField : public TNumericField
{
public:
    explicit TBCDField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    bool Currency() const { return currency_; }
    void SetCurrency(bool currency);
    int Precision() const { return precision_; }
    void SetPrecision(int precision) { precision_ = precision; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    void GetText(std::string &text, bool displayText) const override;
    int DefaultWidth() const override { return precision_ > 0 ? precision_ + 2 : 10; }

private:
    bool currency_ = false;
    int precision_ = 0;
};

class TBooleanField : public TField
{
public:
    explicit TBooleanField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    // "True;False" or any pair of texts for true and false.
    const std::string &DisplayValues() const { return displayValues_; }
    void SetDisplayValues(const std::string &values);

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    int DefaultWidth() const override { return 5; }

private:
    std::string displayValues_ = "True;False";
    std::string trueText_ = "True", falseText_ = "False";
};

// Dates and times; DisplayFormat is a FormatDateTime picture.
class TDateTimeField : public TField
{
public:
    explicit TDateTimeField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    const std::string &DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const std::string &format);

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    void GetText(std::string &text, bool displayText) const override;
    int DefaultWidth() const override { return 18; }
    virtual std::string DefaultText(TDateTime value) const;
    virtual TDateTime ParseText(const std::string &text) const;

private:
    std::string displayFormat_;
};

class TDateField : public TDateTimeField
{
public:
    explicit TDateField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    int DefaultWidth() const override { return 10; }
    std::string DefaultText(TDateTime value) const override;
    TDateTime ParseText(const std::string &text) const override;
};

class TTimeField : public TDateTimeField
{
public:
    explicit TTimeField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    int DefaultWidth() const override { return 10; }
    std::string DefaultText(TDateTime value) const override;
    TDateTime ParseText(const std::string &text) const override;
};

// Blobs: their bytes are read from the database only when asked for.
class TBlobField : public TField
{
public:
    explicit TBlobField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;
    void LoadFromFile(const std::string &fileName);
    void SaveToFile(const std::string &fileName) const;
    int64_t BlobSize() const;

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string &value) override;
    void GetText(std::string &text, bool displayText) const override;
};

class TMemoField : public TBlobField
{
public:
    explicit TMemoField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    void GetText(std::string &text, bool displayText) const override;
};

class TGraphicField : public TBlobField
{
public:
    explicit TGraphicField(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The class of field made for a field type (TStringField for ftString ...).
const TMetaClass &DefaultFieldClass(TFieldType type);

// The stream over one blob field of the dataset's current record. Reading
// gives the bytes written in this edit, else those in the database; writing
// collects the bytes and hands them to the record when the stream is freed.
class TBlobStream : public TStream
{
public:
    TBlobStream(TBlobField *field, TBlobStreamMode mode);
    ~TBlobStream() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t newSize) override;

private:
    TBlobField *field_;
    TBlobStreamMode mode_;
    std::string data_;
    int64_t position_ = 0;
    bool modified_ = false;
};

// ---- The dataset --------------------------------------------------------------

class TDataSet : public TComponent
{
public:
    explicit TDataSet(TComponent *owner);
    ~TDataSet() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Opening and closing
    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }

    // Fields
    TFieldDefs &FieldDefs() { return fieldDefs_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField *Fields(int index) const; // EDatabaseError "Field index out of range"
    TField *FindField(const std::string &name) const; // case-insensitive; null when none
    TField *FieldByName(const std::string &name) const; // EDatabaseError "Field 'x' not found"
    std::vector<std::string> GetFieldNames() const;
    // The fields named in a ';'-separated list.
    std::vector<TField *> GetFieldList(const std::string &names) const;
    bool DefaultFields() const { return defaultFields_; }
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool on) { autoCalcFields_ = on; }

    // Navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance); // the distance moved
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return Active() && recordCount_ == 0 && state_ != dsInsert; }
    virtual int RecordCount();
    virtual int RecNo(); // 1-based; -1 when unknown
    virtual void SetRecNo(int recNo);
    virtual bool IsSequenced();
    // Finds the first record whose fields (';'-separated) hold the values;
    // moves there and answers true, or stays.
    bool Locate(const std::string &keyFields, const std::vector<Variant> &keyValues, TLocateOptions options);
    // The result field's value of that record, without moving; null when none.
    Variant Lookup(const std::string &keyFields, const std::vector<Variant> &keyValues, const std::string &resultField);

    // Bookmarks
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark &bookmark); // EDatabaseError "Record not found" when it is gone
    void FreeBookmark(TBookmark &bookmark) { bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark &bookmark);
    // -1, 0 (the same record) or 1 in the current order; an empty bookmark
    // sorts first.
    virtual int CompareBookmarks(const TBookmark &a, const TBookmark &b);
    TBookmark Bookmark() { return GetBookmark(); }
    void SetBookmark(const TBookmark &bookmark) { GotoBookmark(bookmark); }

    // Editing
    bool CanModify() const { return Active() && GetCanModify(); }
    bool Modified() const { return modified_; }
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode(); // posts or cancels a pending edit, as its links say
    void UpdateRecord(); // asks the links to write their edits into the record
    void ClearFields();

    // Controls and buffers
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }
    void Refresh();
    void Resync(TResyncMode mode);
    void UpdateCursorPos();
    void CursorPosChanged() { currentRecord_ = -1; }
    int ActiveRecord() const { return activeRecord_; }
    int BufferCount() const { return bufferCount_; }
    int RecordCountInBuffers() const { return recordCount_; }

    // Filtering by OnFilterRecord while Filtered is set.
    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool filtered);

    // Events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;
    void SetOnFilterRecord(TFilterRecordEvent handler);

    // Streaming writes the fields this dataset's root owns inside it.
    void GetChildren(const TGetChildProc &proc, TComponent *root) const override;
    // Every link of every data source of this dataset hears the event.
    virtual void DataEvent(TDataEvent event, intptr_t info);

    // For descendants and links: the buffer the fields read now.
    TRecBuf *ActiveBuffer() const;
    virtual std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode);
    // The bytes of a blob field of the record in the buffer, from the database.
    virtual std::string ReadBlobData(TField *field, const TRecBuf &buffer) = 0;

protected:
    friend class TField;
    friend class TDataLink;
    friend class TDataSource;
    friend class TBlobStream;

    // The cursor: descendants implement these over their engine.
    virtual void OpenCursor(bool infoQuery);
    virtual void CloseCursor();
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    virtual void InitFieldDefs();
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual TGetResult GetRecord(TRecBuf &buffer, TGetMode mode, bool doCheck) = 0;
    virtual void InternalSetToRecord(const TRecBuf &buffer) = 0;
    virtual void InternalGotoBookmark(const TBookmark &bookmark) = 0;
    virtual void InternalInitRecord(TRecBuf &buffer);
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalPost() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() = 0;
    virtual void InternalHandleException() {}
    virtual bool GetCanModify() const { return true; }
    virtual TBookmark BookmarkOf(const TRecBuf &buffer) const;
    virtual void SetFilterData(bool filtered, const TFilterRecordEvent &handler) { (void)filtered, (void)handler; }

    // Record window
    virtual int GetNextRecords();
    virtual int GetPriorRecords();
    bool GetNextRecord();
    bool GetPriorRecord();
    void SetBufferCount(int count);
    void ClearBuffers();
    void ActivateBuffers();
    void SetCurrentRecord(int index);
    TRecBuf &Buffer(int index) { return *buffers_[index]; }
    int CurrentRecord() const { return currentRecord_; }

    // Hooks around the operations
    virtual void DoBeforeOpen() { BeforeOpen(this); }
    virtual void DoAfterOpen() { AfterOpen(this); }
    virtual void DoBeforeClose() { BeforeClose(this); }
    virtual void DoAfterClose() { AfterClose(this); }
    virtual void DoBeforeInsert() { BeforeInsert(this); }
    virtual void DoAfterInsert() { AfterInsert(this); }
    virtual void DoBeforeEdit() { BeforeEdit(this); }
    virtual void DoAfterEdit() { AfterEdit(this); }
    virtual void DoBeforePost() { BeforePost(this); }
    virtual void DoAfterPost() { AfterPost(this); }
    virtual void DoBeforeCancel() { BeforeCancel(this); }
    virtual void DoAfterCancel() { AfterCancel(this); }
    virtual void DoBeforeDelete() { BeforeDelete(this); }
    virtual void DoAfterDelete() { AfterDelete(this); }
    virtual void DoBeforeScroll() { BeforeScroll(this); }
    virtual void DoAfterScroll() { AfterScroll(this); }
    virtual void DoOnNewRecord() { OnNewRecord(this); }
    virtual void DoOnCalcFields() { OnCalcFields(this); }

    // Calculated and lookup fields of a buffer just read.
    void GetCalcFields(TRecBuf &buffer);
    // Runs the filter event on a row read by the engine, the fields reading it.
    bool FilterRow(TRecBuf &row);
public:
    // Runs action in dsFilter with the fields reading row (a record-filter
    // callback's view of the record the engine offers).
    void WithFilterBuffer(TRecBuf &row, const std::function<void()> &action);
protected:
    void SetState(TDataSetState state);
    void CheckActive() const;
    void CheckInactive() const;
    virtual void CheckCanModify() const;
    // The buffer of dsSetKey: the key being set.
    virtual TRecBuf *KeyBuffer() const { return nullptr; }
    // Leaves dsSetKey, keeping (commit) or dropping the key.
    virtual void PostKeyBuffer(bool commit);
    // Builds the fields (default ones when none are persistent) and slots.
    void CreateFields();
    void BindFields(bool binding);
    int PhysicalCount() const { return physicalCount_; }
    int SlotCount() const { return slotCount_; }
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void SetFieldData(TField *field, const Variant &value);
    // Whether a fetch is running (a filter callback may want to resync).
    int FetchDepth() const { return fetchDepth_; }

    struct TFetching {
        explicit TFetching(TDataSet &d) : d_(d) { ++d_.fetchDepth_; }
        ~TFetching() { --d_.fetchDepth_; }
        TDataSet &d_;
    };

private:
    friend struct TFetching;
    void AddField(TField *field);
    void RemoveField(TField *field);
    void OpenInternal();
    void CloseInternal();
    void CheckRequiredFields();
    void FreeFieldBuffers();
    void MoveBuffer(int from, int to);
    void DoInsertAppend(bool append);
    void CalculateLookup(TField *field);
    void ApplyPendingResync();

    TDataSetState state_ = dsInactive;
    TDataSetState savedState_ = dsInactive;
    std::vector<TField *> fields_;
    TFieldDefs fieldDefs_;
    bool defaultFields_ = false;
    bool autoCalcFields_ = true;
    int physicalCount_ = 0, slotCount_ = 0;
    std::vector<std::unique_ptr<TRecBuf>> buffers_; // bufferCount_ + 1: the last one is spare
    int bufferCount_ = 0;
    int recordCount_ = 0; // buffers holding records
    int activeRecord_ = 0;
    int currentRecord_ = -1; // the buffer the cursor stands on; -1 unknown
    bool bof_ = true, eof_ = true;
    bool modified_ = false;
    int disableCount_ = 0;
    TDataEvent disabledEvent_ = deDataSetChange;
    bool eventPending_ = false;
    bool filtered_ = false;
    bool streamedActive_ = false;
    int fetchDepth_ = 0;
    bool resyncPending_ = false;
    TRecBuf *tempBuffer_ = nullptr; // the buffer of dsCalcFields and dsFilter
    std::vector<TDataSource *> dataSources_;
};

// ---- Data sources and links ---------------------------------------------------

using TDataChangeEvent = TEvent<TObject *, TField *>;

class TDataSource : public TComponent
{
public:
    explicit TDataSource(TComponent *owner);
    ~TDataSource() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TDataSet *DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet *dataSet);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
    TDataSetState State() const { return state_; }
    void Edit(); // puts the dataset into edit mode when AutoEdit allows
    bool IsLinkedTo(const TDataSet *dataSet) const; // through master links, to guard against circles
    int LinkCount() const { return static_cast<int>(links_.size()); }

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

protected:
    friend class TDataSet;
    friend class TDataLink;
    void Notification(TComponent *component, TOperation operation) override;
    void DataEvent(TDataEvent event, intptr_t info);
    void NotifyDataLinks(TDataEvent event, intptr_t info);
    void AddDataLink(TDataLink *link);
    void RemoveDataLink(TDataLink *link);

private:
    void SetState(TDataSetState state);
    TDataSet *dataSet_ = nullptr;
    bool enabled_ = true;
    bool autoEdit_ = true;
    TDataSetState state_ = dsInactive;
    std::vector<TDataLink *> links_; // a removed link leaves a null until the walk ends
    int walking_ = 0;
};

// A link between a data source and whatever shows or uses its dataset's
// records: a control, a master-detail relation, a grid with many rows.
class TDataLink : public TPersistent
{
public:
    TDataLink();
    ~TDataLink() override;

    TDataSource *DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource *source);
    TDataSet *DataSet() const;
    bool Active() const { return active_; }
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // The window this link sees of the dataset's buffers: ActiveRecord and
    // RecordCount count inside it; setting ActiveRecord lets the fields read
    // another row of it for a while.
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int value);
    int RecordCount() const;
    bool Edit(); // true when the dataset is (now) editing
    void UpdateRecord();

protected:
    friend class TDataSource;
    friend class TDataSet;
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) { (void)distance, DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField **field) { (void)field; }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField *field) { (void)field; }
    virtual void UpdateData() {}
    virtual void DataEvent(TDataEvent event, intptr_t info);
    int FirstRecord() const { return firstRecord_; }

private:
    void UpdateState();
    void SetActive(bool active);
    void SetEditing(bool editing);
    void UpdateRange();
    TDataSource *dataSource_ = nullptr;
    int firstRecord_ = 0;
    int bufferCount_ = 1;
    bool active_ = false, editing_ = false, readOnly_ = false, updating_ = false;
};

// The link of a control that shows one field.
class TFieldDataLink : public TDataLink
{
public:
    TFieldDataLink() = default;

    const std::string &FieldName() const { return fieldName_; }
    void SetFieldName(const std::string &name);
    TField *Field() const { return field_; }
    // The control the link serves; FocusControl on its field calls OnFocus.
    TComponent *Control() const { return control_; }
    void SetControl(TComponent *control) { control_ = control; }
    bool CanModify() const;
    bool Edit();
    void Modified() { modified_ = true; }
    void Reset();
    bool IsModified() const { return modified_; }

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;
    TNotifyEvent OnFocus; // Sender: the control to focus

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField **field) override;
    void LayoutChanged() override;
    void RecordChanged(TField *field) override;
    void UpdateData() override;

private:
    void UpdateField();
    std::string fieldName_;
    TField *field_ = nullptr;
    TComponent *control_ = nullptr;
    bool modified_ = false;
};

// ---- Parameters ---------------------------------------------------------------

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam
{
public:
    TParam(std::string name, TFieldType type = ftUnknown) : name_(std::move(name)), dataType_(type) {}

    const std::string &Name() const { return name_; }
    TFieldType DataType() const { return dataType_; }
    void SetDataType(TFieldType type) { dataType_ = type; }
    TParamType ParamType() const { return paramType_; }
    void SetParamType(TParamType type) { paramType_ = type; }
    const Variant &Value() const { return value_; }
    void SetValue(const Variant &value) { value_ = value; }
    bool IsNull() const { return value_.IsNull(); }
    void Clear() { value_ = Variant(); }
    std::string AsString() const { return value_.AsString(); }
    void SetAsString(const std::string &v) { SetTyped(Variant(v), ftString); }
    int64_t AsInteger() const { return value_.AsInteger(); }
    void SetAsInteger(int64_t v) { SetTyped(Variant(v), ftInteger); }
    double AsFloat() const { return value_.AsFloat(); }
    void SetAsFloat(double v) { SetTyped(Variant(v), ftFloat); }
    bool AsBoolean() const { return value_.AsBoolean(); }
    void SetAsBoolean(bool v) { SetTyped(Variant(v), ftBoolean); }
    TDateTime AsDateTime() const { return value_.AsFloat(); }
    void SetAsDateTime(TDateTime v) { SetTyped(Variant(v), ftDateTime); }

private:
    void SetTyped(const Variant &v, TFieldType type)
    {
        value_ = v;
        if (dataType_ == ftUnknown)
            dataType_ = type;
    }
    std::string name_;
    TFieldType dataType_;
    TParamType paramType_ = ptInput;
    Variant value_;
};

class TParams
{
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TParam &Items(int index) { return *items_.at(index); }
    const TParam &Items(int index) const { return *items_.at(index); }
    TParam *FindParam(const std::string &name) const; // case-insensitive
    TParam &ParamByName(const std::string &name) const; // EDatabaseError "Parameter 'x' not found"
    TParam &CreateParam(TFieldType type, const std::string &name, TParamType paramType);
    void Clear() { items_.clear(); }
    // Keeps the values of the parameters whose names stay.
    void AssignNames(const std::vector<std::string> &names);

private:
    std::vector<std::unique_ptr<TParam>> items_;
};
