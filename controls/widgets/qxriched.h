#pragma once

#include "platform/rich/comctrls.h"
#include "platform/rich/richole.h"
#include "platform/rtl/streams.h"
#include "platform/ui/extctrls.h"

#include <memory>
#include <string>
#include <vector>

// The library's rich edit: version 1 or 2 window classes, content kept as
// RTF inside form resources ("RichEditVersion" and "Data"), streaming with
// line-break repair, print margins, paper size and paged printing, find and
// replace, its popup menu, clickable links, and the embedded-object
// plumbing (callback, data object, format enumerator). The data-aware
// descendant binds it to a field.

class TDataSource;
class TFindDialog;
class TFontDialog;
class TReplaceDialog;
class TField;
class TFieldDataLink;
class TMenuItem;
class TPopupMenu;
class TSpeedButton;
class TForm;
class TqxCustomRichEdit;
class TqxTrackIcon;
class TqxFormPosition;

enum TqxMeasurementUnits { muInches, muCentimeters };
enum TqxRichEditWidth { rewWindowSize, rewPrinterSize };
enum TqxRichEditOleOption { reoAdjustPopupMenu, reoDisableOLE };
using TqxRichEditOleOptions = TSet<TqxRichEditOleOption>;
enum TqxRichEditPopupOption {
    rpoPopupEdit,
    rpoPopupCut,
    rpoPopupCopy,
    rpoPopupPaste,
    rpoPopupBold,
    rpoPopupItalic,
    rpoPopupUnderline,
    rpoPopupFont,
    rpoPopupBullet,
    rpoPopupParagraph,
    rpoPopupTabs,
    rpoPopupFind,
    rpoPopupReplace,
    rpoPopupInsertObject
};
using TqxRichEditPopupOptions = TSet<TqxRichEditPopupOption>;
enum TqxRichEditOption {
    reoShowLoad,
    reoShowSaveAs,
    reoShowSaveExit,
    reoShowPrint,
    reoShowPageSetup,
    reoShowFormatBar,
    reoShowToolBar,
    reoShowStatusBar,
    reoShowHints,
    reoShowRuler,
    reoShowInsertObject,
    reoCloseOnEscape,
    reoFlatButtons
};
using TqxRichEditOptions = TSet<TqxRichEditOption>;
// The options of a find: match case, whole word, replace every match.
enum TqxFindOption { qfoMatchCase, qfoWholeWord, qfoReplaceAll };
using TqxFindOptions = TSet<TqxFindOption>;

using TqxOnRichEditDlgEvent = TEvent<TForm *>;
using TqxURLOpenEvent = TEvent<TqxCustomRichEdit *, std::string, bool &>;

// Print margins in the control's measurement units.
class TqxPrintMargins : public TPersistent
{
public:
    TqxPrintMargins() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override; // another TqxPrintMargins only

    double Top() const { return top_; }
    void SetTop(double value) { top_ = value; }
    double Bottom() const { return bottom_; }
    void SetBottom(double value) { bottom_ = value; }
    double Left() const { return left_; }
    void SetLeft(double value) { left_ = value; }
    double Right() const { return right_; }
    void SetRight(double value) { right_ = value; }

private:
    double top_ = 1.0, bottom_ = 1.0, left_ = 1.0, right_ = 1.0;
};

// A memory stream that grows in steps of 128 KiB.
class TqxRichMemoryStream : public TMemoryStream
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    void *Realloc(int64_t &newCapacity) override;
};

// The lines of the control, through the window's messages.
class TqxRichEditStrings : public TStrings
{
public:
    explicit TqxRichEditStrings(TqxCustomRichEdit *edit);
    void Insert(int index, const std::string &s) override;
    void Delete(int index) override;
    void Clear() override;
    void AddStrings(const TStrings &strings) override;
    void SetText(const std::string &text) override;
    void LoadFromFile(const std::string &fileName) override;
    void LoadFromStream(TStream &stream) override;
    void SaveToFile(const std::string &fileName) const override;
    void SaveToStream(TStream &stream) const override;

protected:
    std::string Get(int index) const override;
    int GetCount() const override;
    void Put(int index, const std::string &s) override;
    void SetUpdateState(bool updating) override;

private:
    TqxCustomRichEdit *edit_;
};

class TqxCustomRichEdit : public TCustomRichEdit
{
public:
    explicit TqxCustomRichEdit(TComponent *owner);
    ~TqxCustomRichEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Content
    TStrings *Lines() const;
    void SetLines(TStrings *lines);
    int RichEditVersion() const;

    // Printing and measurements
    TqxPrintMargins *PrintMargins() const;
    void SetPrintMargins(TqxPrintMargins *margins);
    int PaperSize() const;
    void SetPaperSize(int value);
    void ApplyPaperSize();
    TqxRichEditWidth EditWidth() const;
    void SetEditWidth(TqxRichEditWidth width);
    TqxMeasurementUnits MeasurementUnits() const;
    void SetMeasurementUnits(TqxMeasurementUnits units);
    std::string PrintJobName() const;
    void SetPrintJobName(const std::string &name);
    int LeftInset() const;
    void SetLeftInset(int pixels);
    // The screen's pixels per inch, read once: every ruler and indent pixel uses it.
    int ScreenPixelsPerInch() const;
    void Print(const std::string &title) override;
    void UpdateFormatRect();
    int MeasurementToTwips(const std::string &text) const;
    double TwipsToMeasurement(int twips) const;
    std::string FormatMeasurement(double value) const;
    std::string FormatRoundedMeasurement(int step, double value) const;

    // Behaviour
    // Whether the user may change the content: the data-aware class answers
    // for its field, whatever the window's own flag says while browsing.
    virtual bool ReadOnly() const;
    virtual void SetReadOnly(bool readOnly);
    TqxRichEditOleOptions OleOptions() const;
    void SetOleOptions(TqxRichEditOleOptions options);
    TqxRichEditPopupOptions PopupOptions() const;
    void SetPopupOptions(TqxRichEditPopupOptions options);
    TqxRichEditOptions EditorOptions() const;
    void SetEditorOptions(TqxRichEditOptions options);
    std::string EditorCaption() const;
    void SetEditorCaption(const std::string &caption);
    // Where the editor opens: a positive Width and Height size it, a Left and
    // Top of at least 1 place it; otherwise it is centred on the screen.
    TqxFormPosition *EditorPosition() const;
    void SetEditorPosition(TqxFormPosition *position);
    bool AutoURLDetect() const;
    void SetAutoURLDetect(bool detect);
    TSpeedButton *UserSpeedButton1() const;
    void SetUserSpeedButton1(TSpeedButton *button);
    TSpeedButton *UserSpeedButton2() const;
    void SetUserSpeedButton2(TSpeedButton *button);
    int TransferMode() const;
    void SetTransferMode(int mode);
    // The behaviour switches (seven, fixed at construction).
    bool Switch(int index) const;

    // Formatting the selection
    void SetParagraph(uint32_t flags, const std::string &alignment, int lineSpacingRule, int lineSpacing,
        int spaceAfter, int spaceBefore, const int *tabs, int tabCount, int startIndent, int rightIndent,
        int offset, bool numbering);
    void GetParagraphIndents(int &offset, int &rightIndent, int &startIndent);
    PARAFORMAT2 GetParagraphFormat();
    void SetBullets(bool on);
    void SetSelectionBold(bool on);
    void SetSelectionItalic(bool on);
    void SetSelectionUnderline(bool on);
    void SetSelectionFont(const std::string &name, int size, TColor color, TFontStyles style);
    int FontCharset(const std::string &faceName) const;
    bool CanPaste();
    void CopyContentTo(TqxCustomRichEdit *target);

    // Find and replace: the state a find dialog fills in.
    std::string FindTextValue() const;
    void SetFindTextValue(const std::string &text);
    std::string ReplaceTextValue() const;
    void SetReplaceTextValue(const std::string &text);
    TqxFindOptions FindOptions() const;
    void SetFindOptions(TqxFindOptions options);
    // Starts a search as opening the find or replace dialog does.
    void BeginFind();
    // Ends it as closing the dialog does.
    void EndFind();
    // The dialogs the control shows (null at design time).
    TFindDialog *FindDialog() const;
    TReplaceDialog *ReplaceDialog() const;
    TFontDialog *FontDialog() const;

    // The virtual operations descendants give meaning
    virtual void PrepareModify();
    virtual void StoreContent();
    virtual bool IsRichTextLoaded() const;
    virtual TField *GetBoundField() const;
    virtual void DoURLOpen(const std::string &url, bool &useDefault);
    virtual int FindTextPos(const std::string &text, int start, TqxFindOptions options, int length);
    virtual void StreamInContent(TStream &stream, bool firstChunkOnly, bool selection);
    virtual bool InsertObjectDialog();
    virtual bool Execute();
    virtual void ExecuteFindDialog();
    virtual void ExecuteReplaceDialog();
    virtual bool ExecuteFontDialog();
    virtual bool ExecuteParagraphDialog();
    virtual bool ExecuteTabDialog();
    virtual void FindNextMatch();
    virtual void ReplaceMatch();
    virtual void DoInitDialog(TForm *form);
    virtual void DoCloseDialog(TForm *form);
    virtual void DoCreateDialog(TForm *form);

    // The built-in popup menu and what one showing of it offers.
    TPopupMenu *BuiltInPopupMenu() const;
    void PreparePopup();

    TqxOnRichEditDlgEvent OnInitDialog;
    TqxOnRichEditDlgEvent OnCloseDialog;
    TqxOnRichEditDlgEvent OnCreateDialog;
    TqxURLOpenEvent OnURLOpen;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Loaded() override;
    void ReadState(TReader &reader) override;
    void DefineProperties(TFiler &filer) override;
    void WndProc(TMessage &message) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void SelectionChange() override;
    void Notification(TComponent *component, TOperation operation) override;
    void WMSize(TMessage &message) override;
    void CMFontChanged(TMessage &message) override;
    void WMContextMenu(TMessage &message) override;
    bool ProgrammaticChange() const;
    // Opens a link with the desktop's opener when no handler took it.
    virtual void OpenLink(const std::string &url);
    // Marks changes the control makes itself for as long as it lives.
    class TProgrammaticChange;

public:
    struct QxImpl;

protected:
    std::unique_ptr<QxImpl> const q;
    friend class TqxRichEditStrings;

private:
    // The find text and options a find or replace dialog holds become the search's.
    void TakeFindOptions(TFindDialog *dialog);
    void OpenFindDialog(TFindDialog *dialog);
};

// The rich edit on a dataset field: a blob is shown and stored as RTF (or
// shown as plain text when it does not start like RTF), any other field as
// its text. With AutoDisplay off a blob waits, showing the field's label in
// parentheses, until Enter or a double-click loads it.
class TqxDBRichEdit : public TqxCustomRichEdit
{
public:
    explicit TqxDBRichEdit(TComponent *owner);
    ~TqxDBRichEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Binding
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    std::string DataField() const;
    void SetDataField(const std::string &name);
    bool AutoDisplay() const;
    void SetAutoDisplay(bool autoDisplay);
    bool ReadOnly() const override;
    void SetReadOnly(bool readOnly) override;
    TFieldDataLink *DataLink() const;

    // Loading the field's content
    void LoadFromField();
    // The beginning of a blob only, as a grid cell shows it.
    void LoadPreviewFromField(TField *field);
    // Set while the editor form lays itself out.
    void SetPaintSuppressed(bool suppressed);

    void PrepareModify() override;
    void StoreContent() override;
    bool IsRichTextLoaded() const override;
    TField *GetBoundField() const override;
    void SetParent(TWinControl *parent) override;

protected:
    void Notification(TComponent *component, TOperation operation) override;
    void Dispatch(TMessage &message) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void Change() override;
    void CMEnter(TMessage &message) override;
    void CMExit(TMessage &message) override;
    void WMPaint(TMessage &message) override;

private:
    void DataChange();
    void EditingChange();
    void DoubleClick(TMessage &message);
    struct DbImpl;
    std::unique_ptr<DbImpl> const db;
};

// The ruler above the editor's text: a scale in inches or centimetres and
// three markers, left indent and right indent below and first line above,
// which the user drags to set the selected paragraphs' indents.
class TqxRulerPanel : public TPanel
{
public:
    explicit TqxRulerPanel(TComponent *owner);
    ~TqxRulerPanel() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Lays the ruler out for the rich edit it serves (as the editor form
    // does when it opens): height, width, markers and their limits.
    void Setup(TqxCustomRichEdit *edit);
    TqxCustomRichEdit *RichEdit() const;

    // Geometry
    TRect DrawRect() const;
    // Screen pixels of one unit of the edit's measurement units.
    double PixelsPerUnit() const;
    TqxTrackIcon *LeftIndentMarker() const;
    TqxTrackIcon *RightIndentMarker() const;
    TqxTrackIcon *FirstLineMarker() const;

    // Conversions
    int PixelsToTwips(int pixels) const;
    int PrinterPixelsToTwips(int pixels) const;
    int TwipsToPixels(int twips) const;

    // Follows the paragraph, or the printer page
    void PlaceMarkers();
    void SetWidthFromPrinter();
    // A new width with the drawing rectangle and the markers' limits to match.
    void SetRulerWidth(int width);
    // What the end of a drag of one of the markers does.
    void ApplyMarker(TqxTrackIcon *marker);

protected:
    void Paint() override;

private:
    struct RulerImpl;
    std::unique_ptr<RulerImpl> const r;
};

// ---- Embedded objects -----------------------------------------------------------------------

// An embedded object on the clipboard: its descriptor and its storage.
class TDataObject : public TInterfacedObject<IDataObject>
{
public:
    explicit TDataObject(IOleObject *object);
    HRESULT GetData(const FORMATETC &format, STGMEDIUM &medium) override;
    HRESULT GetDataHere(const FORMATETC &format, STGMEDIUM &medium) override;
    HRESULT QueryGetData(const FORMATETC &format) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC &format, FORMATETC &canonical) override;
    HRESULT SetData(const FORMATETC &format, STGMEDIUM &medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, IEnumFORMATETC **enumerator) override;
    HRESULT DAdvise(const FORMATETC &format, uint32_t flags, IAdviseSink *sink, uint32_t *connection) override;
    HRESULT DUnadvise(uint32_t connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA **enumerator) override;
    // The object descriptor in a global block, or null when it cannot be made.
    HGLOBAL ObjectDescriptor();

private:
    TComPtr<IOleObject> object_;
};

class TEnumFormatEtc : public TInterfacedObject<IEnumFORMATETC>
{
public:
    TEnumFormatEtc(const FORMATETC *records, uint32_t count, uint32_t index = 0);
    HRESULT Next(uint32_t count, FORMATETC *records, uint32_t *fetched) override;
    HRESULT Skip(uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFORMATETC **enumerator) override;

private:
    const FORMATETC *records_;
    uint32_t count_;
    uint32_t index_;
};

// The unit's start-up and its undoing (reference-counted: the first
// initialisation registers the clipboard formats "Object Descriptor" and
// "Embedded Object" and loads the rich edit library, the last finalisation
// frees it).
void InitializeQxRichEd();
void FinalizeQxRichEd();
CLIPFORMAT CF_OBJECTDESCRIPTOR();
CLIPFORMAT CF_EMBEDDEDOBJECT();
// The two format records the data object offers: [0] embedded object, [1] descriptor.
const FORMATETC *QxRichEdFormats();
// Whether the version 2 rich edit library is loaded.
bool RichEdit20Loaded();
