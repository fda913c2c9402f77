#pragma once

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"
#include "platform/ui/geometry.h"
#include "platform/ui/graphics.h"

#include <memory>
#include <string>

// The common dialogs: open and save, font, colour, print, find and replace,
// and the page setup. Each shows a Qt dialog through one service, which
// tests replace with a scripted one (testing.h).

class TCommonDialog : public TComponent
{
public:
    explicit TCommonDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Shows the dialog; true when the user confirmed it.
    virtual bool Execute();

    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
};

// ---- Files ------------------------------------------------------------------------------

enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TCommonDialog
{
public:
    explicit TOpenDialog(TComponent *owner);
    ~TOpenDialog() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // "Description|*.EXT;*.EX2|Other|*.*": pairs of a description and its patterns.
    std::string Filter() const;
    void SetFilter(const std::string &filter);
    int FilterIndex() const; // 1-based, as chosen
    void SetFilterIndex(int index);
    std::string FileName() const;
    void SetFileName(const std::string &fileName);
    std::string DefaultExt() const; // without the dot
    void SetDefaultExt(const std::string &ext);
    std::string InitialDir() const;
    void SetInitialDir(const std::string &dir);
    std::string Title() const;
    void SetTitle(const std::string &title);
    TOpenOptions Options() const;
    void SetOptions(TOpenOptions options);
    TStrings *Files() const;

    bool Execute() override;
    // Whether the dialog saves (the save dialog answers true).
    virtual bool Saving() const { return false; }

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

class TSaveDialog : public TOpenDialog
{
public:
    explicit TSaveDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    bool Saving() const override { return true; }
};

// The filter's parts: the description of entry index (1-based) and its
// patterns ("*.RTF;*.TXT"), or empty strings outside the filter.
std::string FilterDescription(const std::string &filter, int index);
std::string FilterPatterns(const std::string &filter, int index);
// How many entries the filter has.
int FilterCount(const std::string &filter);
// The file name with the default extension added when it has none; with
// a filter entry of one plain extension ("*.TXT") that extension wins.
std::string AddDefaultExtension(const std::string &fileName, const std::string &defaultExt,
    const std::string &filter = "", int filterIndex = 0);

// ---- Font and colour ----------------------------------------------------------------------

enum TFontDialogDevice { fdScreen, fdPrinter, fdBoth };
enum TFontDialogOption {
    fdAnsiOnly,
    fdTrueTypeOnly,
    fdEffects,
    fdFixedPitchOnly,
    fdForceFontExist,
    fdNoFaceSel,
    fdNoOEMFonts,
    fdNoSimulations,
    fdNoSizeSel,
    fdNoStyleSel,
    fdNoVectorFonts,
    fdShowHelp,
    fdWysiwyg,
    fdLimitSize,
    fdScalableOnly,
    fdApplyButton
};
using TFontDialogOptions = TSet<TFontDialogOption>;

class TFontDialog : public TCommonDialog
{
public:
    explicit TFontDialog(TComponent *owner);
    ~TFontDialog() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TFont *Font() const;
    void SetFont(TFont *font);
    TFontDialogDevice Device() const { return device_; }
    void SetDevice(TFontDialogDevice device) { device_ = device; }
    int MinFontSize() const { return minFontSize_; }
    void SetMinFontSize(int size) { minFontSize_ = size; }
    int MaxFontSize() const { return maxFontSize_; }
    void SetMaxFontSize(int size) { maxFontSize_ = size; }
    TFontDialogOptions Options() const { return options_; }
    void SetOptions(TFontDialogOptions options) { options_ = options; }

    bool Execute() override;

private:
    std::unique_ptr<TFont> font_;
    TFontDialogDevice device_ = fdScreen;
    int minFontSize_ = 0, maxFontSize_ = 0;
    TFontDialogOptions options_ { fdEffects };
};

class TColorDialog : public TCommonDialog
{
public:
    explicit TColorDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TColor Color() const { return color_; }
    void SetColor(TColor color) { color_ = color; }

    bool Execute() override;

private:
    TColor color_ = clBlack;
};

// ---- Printing -------------------------------------------------------------------------------

enum TPrintRange { prAllPages, prSelection, prPageNums };
enum TPrintDialogOption { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
using TPrintDialogOptions = TSet<TPrintDialogOption>;

class TPrintDialog : public TCommonDialog
{
public:
    explicit TPrintDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int Copies() const { return copies_; }
    void SetCopies(int copies) { copies_ = copies < 1 ? 1 : copies; }
    bool Collate() const { return collate_; }
    void SetCollate(bool collate) { collate_ = collate; }
    TPrintRange PrintRange() const { return range_; }
    void SetPrintRange(TPrintRange range) { range_ = range; }
    int FromPage() const { return fromPage_; }
    void SetFromPage(int page) { fromPage_ = page; }
    int ToPage() const { return toPage_; }
    void SetToPage(int page) { toPage_ = page; }
    TPrintDialogOptions Options() const { return options_; }
    void SetOptions(TPrintDialogOptions options) { options_ = options; }

    bool Execute() override;

private:
    int copies_ = 1;
    bool collate_ = false;
    TPrintRange range_ = prAllPages;
    int fromPage_ = 0, toPage_ = 0;
    TPrintDialogOptions options_;
};

// ---- Find and replace -------------------------------------------------------------------------

enum TFindOption {
    frDown,
    frFindNext,
    frHideMatchCase,
    frHideWholeWord,
    frHideUpDown,
    frMatchCase,
    frDisableMatchCase,
    frDisableUpDown,
    frDisableWholeWord,
    frReplace,
    frReplaceAll,
    frWholeWord,
    frShowHelp
};
using TFindOptions = TSet<TFindOption>;

// Stays open beside its owner's window after Execute; each Find Next runs
// OnFind with frFindNext in Options.
class TFindDialog : public TCommonDialog
{
public:
    explicit TFindDialog(TComponent *owner);
    ~TFindDialog() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string FindText() const { return findText_; }
    void SetFindText(const std::string &text);
    TFindOptions Options() const { return options_; }
    void SetOptions(TFindOptions options) { options_ = options; }

    bool Execute() override;
    // Whether the dialog is showing.
    bool Showing() const { return showing_; }
    void CloseDialog();

    // What the dialog's buttons do.
    void Find();
    virtual void Replace(bool all);

    TNotifyEvent OnFind;
    TNotifyEvent OnReplace;

protected:
    bool showing_ = false;
    std::string findText_;
    TFindOptions options_ { frDown };
    friend class TReplaceDialog;
};

class TReplaceDialog : public TFindDialog
{
public:
    explicit TReplaceDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string ReplaceText() const { return replaceText_; }
    void SetReplaceText(const std::string &text) { replaceText_ = text; }

    void Replace(bool all) override;

private:
    std::string replaceText_;
};

// ---- Page setup --------------------------------------------------------------------------------

constexpr uint32_t PSD_MARGINS = 0x00000002;
constexpr uint32_t PSD_INTHOUSANDTHSOFINCHES = 0x00000004;
constexpr uint32_t PSD_INHUNDREDTHSOFMILLIMETERS = 0x00000008;
constexpr uint32_t PSD_DISABLEPAPER = 0x00000200;
constexpr uint32_t PSD_ENABLEPAGESETUPHOOK = 0x00002000;

constexpr int DMORIENT_PORTRAIT = 1;
constexpr int DMORIENT_LANDSCAPE = 2;

// What the page setup dialog shows and answers: margins in thousandths of
// an inch or hundredths of a millimetre (by the flags), the paper and the
// orientation.
struct PAGESETUPDLG {
    uint32_t Flags = 0;
    TRect rtMargin;
    int dmPaperSize = 1;
    int dmOrientation = DMORIENT_PORTRAIT;
};
bool PageSetupDlg(PAGESETUPDLG &setup);

// ---- The service -------------------------------------------------------------------------------

class ICommonDialogService
{
public:
    virtual ~ICommonDialogService() = default;
    // Shows the dialog (modal, but a find dialog stays open afterwards) and
    // answers whether it was confirmed.
    virtual bool Execute(TCommonDialog &dialog) = 0;
    virtual void Close(TFindDialog &dialog) = 0;
    virtual bool PageSetup(PAGESETUPDLG &setup) = 0;
};
// Installs a replacement (nullptr restores the Qt one) and returns the previous one.
ICommonDialogService *SetCommonDialogService(ICommonDialogService *service);

// ---- Message dialogs --------------------------------------------------------------------------

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// A message box captioned by its type ("Warning", "Error", "Information",
// "Confirm"), with the buttons asked for; answers mrYes, mrNo, mrOk ...
int MessageDlg(const std::string &message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);

// ---- Small prompts -----------------------------------------------------------------------------

// Asks for one line of text in a modal box with OK and Cancel; value holds
// the proposal and, after OK, the answer. Answers whether OK was chosen.
bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value);
// The answer, or defaultValue when the box is cancelled.
std::string InputBox(const std::string &caption, const std::string &prompt, const std::string &defaultValue);
