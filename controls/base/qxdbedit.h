#pragma once

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"
#include "platform/ui/mask.h"

class TField;
class TFieldDataLink;
class TDataSource;

#include <memory>
#include <string>

// The library's edit: single-line (optionally word-wrapping), with picture
// masks, an OnCheckValue event, date and time filled in on the space key, and
// its own painting while it is not being edited. Unbound, ReadOnly decides
// whether it can be edited at all: it starts read-only and opens only when
// ReadOnly is false. Bound to a field, the window is editable only while its
// link edits the record, and typing puts the link in edit.

class TqxCustomMaskEdit;

enum TqxEditDataType { qxDefault, qxEdtDate, qxEdtTime, qxEdtDateTime };

// Sender, and whether the text passes the picture.
using TqxValidateEvent = TEvent<TObject *, bool>;

// An edit's picture settings. While the edit is bound to a field they live
// in the dataset's PictureMasks list, read and written there.
class TqxDBPicture : public TPersistent
{
public:
    explicit TqxDBPicture(TqxCustomMaskEdit *edit);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override; // PictureMask and AutoFill only

    std::string PictureMask() const;
    void SetPictureMask(const std::string &mask);
    bool AutoFill() const;
    void SetAutoFill(bool autoFill);
    bool AllowInvalidExit() const; // false while bound
    void SetAllowInvalidExit(bool allow);
    TqxCustomMaskEdit *Edit() const { return edit_; }

private:
    // The dataset and field whose PictureMasks entry holds the settings.
    bool Bound(TObject *&dataset, std::string &fieldName) const;
    std::string pictureMask_;
    bool autoFill_ = true;
    bool allowInvalidExit_ = false;
    TqxCustomMaskEdit *const edit_;
};

class TqxCustomMaskEdit : public TCustomMaskEdit
{
public:
    explicit TqxCustomMaskEdit(TComponent *owner);
    ~TqxCustomMaskEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Picture
    TqxDBPicture *Picture() const;
    void SetPicture(TqxDBPicture *picture);
    bool UsePictureMask() const;
    void SetUsePictureMask(bool use);
    bool PictureActive() const;
    // Whether the text fills the picture; fires OnCheckValue with the answer.
    bool CheckText(const std::string &text);
    // The picture applied to the whole text, auto-filled as AutoFill says.
    void ApplyPicture();

    // Window
    bool WordWrap() const;
    void SetWordWrap(bool wordWrap); // makes the window again
    bool WantReturns() const;
    void SetWantReturns(bool wantReturns);
    bool ShowVertScrollBar() const;
    void SetShowVertScrollBar(bool show);

    TqxValidateEvent OnCheckValue;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    // The formatting rectangle of the window's text.
    virtual void SetEditRect();
    virtual void DoCheckValue(bool valid);
    void KeyPress(char32_t &key) override;
    void KeyUp(uint16_t &key, TShiftState shift) override;
    void DoExit() override;
    void WMSize(TMessage &message) override;
    void CMFontChanged(TMessage &message) override;
    bool WantsKey(uint16_t key) const override;
    bool InvalidExit() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const m;
};

class TqxDBCustomEdit : public TqxCustomMaskEdit
{
public:
    explicit TqxDBCustomEdit(TComponent *owner);
    ~TqxDBCustomEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Editing
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly); // the window follows
    bool AutoFillDate() const;
    void SetAutoFillDate(bool autoFill);
    TqxEditDataType UnboundDataType() const;
    void SetUnboundDataType(TqxEditDataType type);
    // Marks the text as changed by the user (or not).
    void SetModifiedState(bool modified);
    // The text the edit had when it got the focus, selected again.
    void Reset() override;
    // Resources keep the picture of an unbound edit that has a mask.
    bool IsPictureStored() const;

    // Data
    TDataSource *DataSource() const; // null unless it is a TqxDataSource
    void SetDataSource(TDataSource *source);
    std::string DataField() const;
    void SetDataField(const std::string &name);
    TField *Field() const;
    TFieldDataLink *DataLink() const;
    bool Bound() const; // a data source, a dataset and a field name
    // What the edit shows for a stored value when it maps values to texts
    // (the grid draws its cells so).
    bool MappedDisplayText(const std::string &value, std::string &displayText) const
    {
        return GetMappedDisplayText(value, displayText);
    }

    // Kinds of value: by the field's class, or by UnboundDataType
    bool IsDateEdit() const;
    bool IsTimeEdit() const;
    bool IsDateTimeEdit() const;
    bool IsMemoEdit() const;

protected:
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void Dispatch(TMessage &message) override;
    // The link's handlers; the combos show values their own way.
    virtual void DataChange();
    virtual void EditingChange();
    virtual void UpdateData();
    // Raised while a descendant rewrites the text, so that the link's
    // changes do not reach it.
    bool Busy() const;
    void SetBusy(bool busy);
    bool EditFocused() const;
    virtual bool EditCanModify();
    virtual bool CanTypeText() const;
    virtual TRect GetTextRect() const;
    virtual std::string GetValueText() const;
    virtual void DrawText(TCanvas *canvas, const TRect &rect, const std::string &text, uint32_t flags);
    virtual bool GetShowButton() const;
    virtual void SetShowButton(bool show);
    virtual std::string GetFieldDisplayText() const;
    // A display text for a stored value, for edits that map one to the other.
    virtual bool GetMappedDisplayText(const std::string &value, std::string &displayText) const;
    virtual int ButtonWidth() const;
    virtual int ButtonLeft() const;

    void KeyDown(uint16_t &key, TShiftState shift) override;
    bool KeyToGrid(uint16_t &key, TShiftState shift);
    void KeyPress(char32_t &key) override;
    void Change() override;
    void DoEnter() override;
    void CMEnter(TMessage &message) override;
    void CMExit(TMessage &message) override;
    virtual void WMPaste(TMessage &message);
    virtual void WMCut(TMessage &message);
    // Painted by the edit itself while the window would not show the text
    // as the edit wants it (not focused, alignment other than left).
    bool PaintsItself() const override;
    void Paint() override;

private:
    struct Impl;
    std::unique_ptr<Impl> const p;
    bool FillDateTime();
    void SetFocusedFlag(bool focused);
    void DropMaxLengthOfField();
};

class TqxDBEdit : public TqxDBCustomEdit
{
public:
    explicit TqxDBEdit(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
