#include "platform/ui/dialogs.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/printers.h"
#include "platform/ui/qtbridge_p.h"
#include "platform/ui/stdctrls.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

const TMetaClass TCommonDialog::Class { "TCommonDialog", &TComponent::Class };
const TMetaClass TOpenDialog::Class { "TOpenDialog", &TCommonDialog::Class };
const TMetaClass TSaveDialog::Class { "TSaveDialog", &TOpenDialog::Class };
const TMetaClass TFontDialog::Class { "TFontDialog", &TCommonDialog::Class };
const TMetaClass TColorDialog::Class { "TColorDialog", &TCommonDialog::Class };
const TMetaClass TPrintDialog::Class { "TPrintDialog", &TCommonDialog::Class };
const TMetaClass TFindDialog::Class { "TFindDialog", &TCommonDialog::Class };
const TMetaClass TReplaceDialog::Class { "TReplaceDialog", &TFindDialog::Class };

// clang-format off
namespace {

const TEnumNames OpenOptionNames = {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir",
    "ofShowHelp", "ofNoValidate", "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist",
    "ofFileMustExist", "ofCreatePrompt", "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate",
    "ofNoNetworkButton", "ofNoLongNames", "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify",
    "ofEnableSizing"};
const TEnumNames DeviceNames = {"fdScreen", "fdPrinter", "fdBoth"};
const TEnumNames FontOptionNames = {"fdAnsiOnly", "fdTrueTypeOnly", "fdEffects", "fdFixedPitchOnly",
    "fdForceFontExist", "fdNoFaceSel", "fdNoOEMFonts", "fdNoSimulations", "fdNoSizeSel", "fdNoStyleSel",
    "fdNoVectorFonts", "fdShowHelp", "fdWysiwyg", "fdLimitSize", "fdScalableOnly", "fdApplyButton"};
const TEnumNames PrintRangeNames = {"prAllPages", "prSelection", "prPageNums"};
const TEnumNames PrintOptionNames = {"poPrintToFile", "poPageNums", "poSelection", "poWarning", "poHelp",
    "poDisablePrintToFile"};
const TEnumNames FindOptionNames = {"frDown", "frFindNext", "frHideMatchCase", "frHideWholeWord", "frHideUpDown",
    "frMatchCase", "frDisableMatchCase", "frDisableUpDown", "frDisableWholeWord", "frReplace", "frReplaceAll",
    "frWholeWord", "frShowHelp"};

using PC = TPublish<TCommonDialog>;
const TClassRegistrar<TCommonDialog> commonRegistrar({
    PC::Event  ("OnShow",      &TCommonDialog::OnShow),
    PC::Event  ("OnClose",     &TCommonDialog::OnClose),
});
using PO = TPublish<TOpenDialog>;
const TClassRegistrar<TOpenDialog> openRegistrar({
    //         name           getter                     setter                        default
    PO::String ("DefaultExt",  &TOpenDialog::DefaultExt,  &TOpenDialog::SetDefaultExt,  ""),
    PO::String ("FileName",    &TOpenDialog::FileName,    &TOpenDialog::SetFileName,    ""),
    PO::String ("Filter",      &TOpenDialog::Filter,      &TOpenDialog::SetFilter,      ""),
    PO::Integer("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1),
    PO::String ("InitialDir",  &TOpenDialog::InitialDir,  &TOpenDialog::SetInitialDir,  ""),
    PO::Set    ("Options",     OpenOptionNames,
                               &TOpenDialog::Options,     &TOpenDialog::SetOptions,     TOpenOptions{ofHideReadOnly}),
    PO::String ("Title",       &TOpenDialog::Title,       &TOpenDialog::SetTitle,       ""),
});
const TClassRegistrar<TSaveDialog> saveRegistrar({});
using PF = TPublish<TFontDialog>;
const TClassRegistrar<TFontDialog> fontRegistrar({
    PF::Persistent("Font",     &TFontDialog::Font,        &TFontDialog::SetFont),
    PF::Enum   ("Device",      DeviceNames,
                               &TFontDialog::Device,      &TFontDialog::SetDevice,      fdScreen),
    PF::Integer("MinFontSize", &TFontDialog::MinFontSize, &TFontDialog::SetMinFontSize, 0),
    PF::Integer("MaxFontSize", &TFontDialog::MaxFontSize, &TFontDialog::SetMaxFontSize, 0),
    PF::Set    ("Options",     FontOptionNames,
                               &TFontDialog::Options,     &TFontDialog::SetOptions,     TFontDialogOptions{fdEffects}),
});
using PK = TPublish<TColorDialog>;
const TClassRegistrar<TColorDialog> colorRegistrar({
    PK::Integer("Color",       &TColorDialog::Color,      &TColorDialog::SetColor,      clBlack),
});
using PP = TPublish<TPrintDialog>;
const TClassRegistrar<TPrintDialog> printRegistrar({
    PP::Boolean("Collate",     &TPrintDialog::Collate,    &TPrintDialog::SetCollate,    false),
    PP::Integer("Copies",      &TPrintDialog::Copies,     &TPrintDialog::SetCopies,     1),
    PP::Integer("FromPage",    &TPrintDialog::FromPage,   &TPrintDialog::SetFromPage,   0),
    PP::Set    ("Options",     PrintOptionNames,
                               &TPrintDialog::Options,    &TPrintDialog::SetOptions,    TPrintDialogOptions{}),
    PP::Enum   ("PrintRange",  PrintRangeNames,
                               &TPrintDialog::PrintRange, &TPrintDialog::SetPrintRange, prAllPages),
    PP::Integer("ToPage",      &TPrintDialog::ToPage,     &TPrintDialog::SetToPage,     0),
});
using PD = TPublish<TFindDialog>;
const TClassRegistrar<TFindDialog> findRegistrar({
    PD::String ("FindText",    &TFindDialog::FindText,    &TFindDialog::SetFindText,    ""),
    PD::Set    ("Options",     FindOptionNames,
                               &TFindDialog::Options,     &TFindDialog::SetOptions,     TFindOptions{frDown}),
    PD::Event  ("OnFind",      &TFindDialog::OnFind),
});
using PR = TPublish<TReplaceDialog>;
const TClassRegistrar<TReplaceDialog> replaceRegistrar({
    PR::String ("ReplaceText", &TReplaceDialog::ReplaceText, &TReplaceDialog::SetReplaceText, ""),
    PR::Event  ("OnReplace",   &TReplaceDialog::OnReplace),
});

} // namespace
// clang-format on

// ---- Filters ------------------------------------------------------------------------------

namespace
{

std::vector<std::string> FilterParts(const std::string &filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size() && !filter.empty()) {
        size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return parts;
}

} // namespace

int FilterCount(const std::string &filter)
{
    return static_cast<int>((FilterParts(filter).size() + 1) / 2);
}

std::string FilterDescription(const std::string &filter, int index)
{
    auto parts = FilterParts(filter);
    size_t at = static_cast<size_t>(index - 1) * 2;
    return index >= 1 && at < parts.size() ? parts[at] : std::string();
}

std::string FilterPatterns(const std::string &filter, int index)
{
    auto parts = FilterParts(filter);
    size_t at = static_cast<size_t>(index - 1) * 2 + 1;
    return index >= 1 && at < parts.size() ? parts[at] : std::string();
}

std::string AddDefaultExtension(
    const std::string &fileName, const std::string &defaultExt, const std::string &filter, int filterIndex)
{
    if (fileName.empty() || !ExtractFileExt(fileName).empty())
        return fileName;
    std::string ext = defaultExt;
    std::string patterns = FilterPatterns(filter, filterIndex);
    // "*.TXT" names one extension; "*.*" or a list leaves the default.
    if (patterns.size() > 2 && patterns.compare(0, 2, "*.") == 0
        && patterns.find_first_of(";*?", 2) == std::string::npos)
        ext = patterns.substr(2);
    return ext.empty() ? fileName : fileName + "." + ext;
}

// ---- The Qt dialogs -------------------------------------------------------------------------

namespace
{

QWidget *DialogParent()
{
    if (TCustomForm *form = Screen->ActiveForm())
        return TQtBoundary::Widget(form);
    return QApplication::activeWindow();
}

QString QtFilter(const std::string &filter)
{
    QStringList entries;
    for (int i = 1; i <= FilterCount(filter); ++i) {
        QString description = QString::fromStdString(FilterDescription(filter, i));
        QString patterns = QString::fromStdString(FilterPatterns(filter, i)).replace(';', ' ');
        // Qt reads the patterns from the last parentheses of an entry.
        entries << description + " (" + patterns + ")";
    }
    return entries.join(";;");
}

// The find and replace dialog: Qt has none, so it is made here as the
// desktop's own looks (find field, replace field, two checks, buttons).
class TQtFindWindow : public QDialog
{
public:
    TQtFindWindow(TFindDialog *dialog, QWidget *parent)
        : QDialog(parent)
        , dialog_(dialog)
    {
        bool replacing = dynamic_cast<TReplaceDialog *>(dialog) != nullptr;
        setWindowTitle(replacing ? "Replace" : "Find");
        auto *grid = new QGridLayout(this);
        grid->addWidget(new QLabel("Fi&nd what:", this), 0, 0);
        find_ = new QLineEdit(QString::fromStdString(dialog->FindText()), this);
        grid->addWidget(find_, 0, 1);
        if (replacing) {
            grid->addWidget(new QLabel("Re&place with:", this), 1, 0);
            replace_ = new QLineEdit(QString::fromStdString(static_cast<TReplaceDialog *>(dialog)->ReplaceText()), this);
            grid->addWidget(replace_, 1, 1);
        }
        TFindOptions options = dialog->Options();
        whole_ = new QCheckBox("Match &whole word only", this);
        whole_->setChecked(options.Contains(frWholeWord));
        whole_->setVisible(!options.Contains(frHideWholeWord));
        whole_->setEnabled(!options.Contains(frDisableWholeWord));
        grid->addWidget(whole_, 2, 0, 1, 2);
        case_ = new QCheckBox("Match &case", this);
        case_->setChecked(options.Contains(frMatchCase));
        case_->setVisible(!options.Contains(frHideMatchCase));
        case_->setEnabled(!options.Contains(frDisableMatchCase));
        grid->addWidget(case_, 3, 0, 1, 2);
        auto *buttons = new QVBoxLayout;
        auto *next = new QPushButton("&Find Next", this);
        next->setDefault(true);
        buttons->addWidget(next);
        connect(next, &QPushButton::clicked, this, [this] { Run([this] { dialog_->Find(); }); });
        if (replacing) {
            auto *one = new QPushButton("&Replace", this);
            auto *all = new QPushButton("Replace &All", this);
            buttons->addWidget(one);
            buttons->addWidget(all);
            connect(one, &QPushButton::clicked, this, [this] { Run([this] { dialog_->Replace(false); }); });
            connect(all, &QPushButton::clicked, this, [this] { Run([this] { dialog_->Replace(true); }); });
        }
        auto *cancel = new QPushButton("Cancel", this);
        buttons->addWidget(cancel);
        buttons->addStretch();
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        grid->addLayout(buttons, 0, 2, 5, 1);
        connect(this, &QDialog::finished, this, [this] {
            if (dialog_)
                Run([this] { dialog_->CloseDialog(); });
        });
    }
    void Forget() { dialog_ = nullptr; }

private:
    // Takes the fields into the component, then runs the button's work.
    template <typename F> void Run(F work)
    {
        if (!dialog_)
            return;
        TDispatchDepth depth;
        GuardedCall(dialog_, [&] {
            dialog_->SetFindText(find_->text().toStdString());
            TFindOptions options = dialog_->Options();
            whole_->isChecked() ? options.Include(frWholeWord) : options.Exclude(frWholeWord);
            case_->isChecked() ? options.Include(frMatchCase) : options.Exclude(frMatchCase);
            dialog_->SetOptions(options);
            if (replace_)
                static_cast<TReplaceDialog *>(dialog_)->SetReplaceText(replace_->text().toStdString());
            work();
        });
    }
    TFindDialog *dialog_;
    QLineEdit *find_ = nullptr, *replace_ = nullptr;
    QCheckBox *whole_ = nullptr, *case_ = nullptr;
};

std::map<const TFindDialog *, QPointer<TQtFindWindow>> &FindWindows()
{
    static std::map<const TFindDialog *, QPointer<TQtFindWindow>> windows;
    return windows;
}

QPageSize::PageSizeId QtPaper(int paper)
{
    return paper == DMPAPER_A4 ? QPageSize::A4 : paper == DMPAPER_LEGAL ? QPageSize::Legal : QPageSize::Letter;
}

int DmPaper(QPageSize::PageSizeId id)
{
    return id == QPageSize::A4 ? DMPAPER_A4 : id == QPageSize::Legal ? DMPAPER_LEGAL : DMPAPER_LETTER;
}

class TQtDialogService : public ICommonDialogService
{
public:
    bool Execute(TCommonDialog &dialog) override
    {
        if (auto *find = dynamic_cast<TFindDialog *>(&dialog))
            return ShowFind(*find);
        if (auto *open = dynamic_cast<TOpenDialog *>(&dialog))
            return ShowFile(*open);
        if (auto *font = dynamic_cast<TFontDialog *>(&dialog))
            return ShowFont(*font);
        if (auto *color = dynamic_cast<TColorDialog *>(&dialog)) {
            QColor chosen = QColorDialog::getColor(ToQColor(color->Color()), DialogParent());
            if (!chosen.isValid())
                return false;
            color->SetColor(static_cast<TColor>(chosen.red() | chosen.green() << 8 | chosen.blue() << 16));
            return true;
        }
        if (auto *print = dynamic_cast<TPrintDialog *>(&dialog))
            return ShowPrint(*print);
        return false;
    }

    void Close(TFindDialog &dialog) override
    {
        auto it = FindWindows().find(&dialog);
        if (it == FindWindows().end())
            return;
        QPointer<TQtFindWindow> window = it->second;
        FindWindows().erase(it);
        if (window) {
            window->Forget();
            window->deleteLater();
        }
    }

    bool PageSetup(PAGESETUPDLG &setup) override
    {
        QPrinter printer(QPrinter::HighResolution);
        bool millimetres = setup.Flags & PSD_INHUNDREDTHSOFMILLIMETERS;
        QPageLayout::Unit unit = millimetres ? QPageLayout::Millimeter : QPageLayout::Inch;
        double scale = millimetres ? 100.0 : 1000.0;
        printer.setPageSize(QPageSize(QtPaper(setup.dmPaperSize)));
        printer.setPageOrientation(
            setup.dmOrientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape : QPageLayout::Portrait);
        printer.setPageMargins(QMarginsF(setup.rtMargin.Left / scale, setup.rtMargin.Top / scale,
                                   setup.rtMargin.Right / scale, setup.rtMargin.Bottom / scale),
            unit);
        QPageSetupDialog dialog(&printer, DialogParent());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        QMarginsF margins = printer.pageLayout().margins(unit);
        setup.rtMargin = Rect(static_cast<int>(margins.left() * scale + 0.5), static_cast<int>(margins.top() * scale + 0.5),
            static_cast<int>(margins.right() * scale + 0.5), static_cast<int>(margins.bottom() * scale + 0.5));
        if (!(setup.Flags & PSD_DISABLEPAPER))
            setup.dmPaperSize = DmPaper(printer.pageLayout().pageSize().id());
        setup.dmOrientation
            = printer.pageLayout().orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        return true;
    }

private:
    bool ShowFile(TOpenDialog &dialog)
    {
        QFileDialog qt(DialogParent(), QString::fromStdString(dialog.Title()),
            QString::fromStdString(dialog.InitialDir()));
        qt.setOption(QFileDialog::DontUseNativeDialog);
        qt.setAcceptMode(dialog.Saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        qt.setFileMode(dialog.Saving()                                  ? QFileDialog::AnyFile
                : dialog.Options().Contains(ofAllowMultiSelect)         ? QFileDialog::ExistingFiles
                : dialog.Options().Contains(ofFileMustExist)            ? QFileDialog::ExistingFile
                                                                        : QFileDialog::AnyFile);
        // The overwrite question is the program's own (ofOverwritePrompt asks it here).
        if (!dialog.Options().Contains(ofOverwritePrompt))
            qt.setOption(QFileDialog::DontConfirmOverwrite);
        QString filter = QtFilter(dialog.Filter());
        if (!filter.isEmpty()) {
            qt.setNameFilter(filter);
            QStringList filters = qt.nameFilters();
            int index = std::clamp(dialog.FilterIndex(), 1, static_cast<int>(filters.size()));
            qt.selectNameFilter(filters.value(index - 1));
        }
        if (!dialog.FileName().empty())
            qt.selectFile(QString::fromStdString(dialog.FileName()));
        if (qt.exec() != QDialog::Accepted || qt.selectedFiles().isEmpty())
            return false;
        int index = static_cast<int>(qt.nameFilters().indexOf(qt.selectedNameFilter())) + 1;
        dialog.SetFilterIndex(index > 0 ? index : dialog.FilterIndex());
        dialog.Files()->Clear();
        for (const QString &file : qt.selectedFiles())
            dialog.Files()->Add(file.toStdString());
        std::string name = qt.selectedFiles().first().toStdString();
        if (dialog.Saving())
            name = AddDefaultExtension(name, dialog.DefaultExt(), dialog.Filter(), dialog.FilterIndex());
        dialog.SetFileName(name);
        return true;
    }

    bool ShowFont(TFontDialog &dialog)
    {
        bool ok = false;
        QFont initial = TFontAccess::ToQFont(*dialog.Font());
        QFont chosen = QFontDialog::getFont(&ok, initial, DialogParent());
        if (!ok)
            return false;
        TFont *font = dialog.Font();
        font->SetName(chosen.family().toStdString());
        int size = chosen.pointSize() > 0 ? chosen.pointSize() : font->Size();
        if (dialog.Options().Contains(fdLimitSize)) {
            if (dialog.MinFontSize() > 0)
                size = std::max(size, dialog.MinFontSize());
            if (dialog.MaxFontSize() > 0)
                size = std::min(size, dialog.MaxFontSize());
        }
        font->SetSize(size);
        TFontStyles style;
        if (chosen.bold())
            style.Include(fsBold);
        if (chosen.italic())
            style.Include(fsItalic);
        if (chosen.underline())
            style.Include(fsUnderline);
        if (chosen.strikeOut())
            style.Include(fsStrikeOut);
        font->SetStyle(style);
        return true;
    }

    bool ShowPrint(TPrintDialog &dialog)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setCopyCount(dialog.Copies());
        printer.setCollateCopies(dialog.Collate());
        if (!Printer()->OutputFileName().empty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(Printer()->OutputFileName()));
        }
        QPrintDialog qt(&printer, DialogParent());
        if (qt.exec() != QDialog::Accepted)
            return false;
        dialog.SetCopies(printer.copyCount());
        dialog.SetCollate(printer.collateCopies());
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
            Printer()->SetOutputFileName(printer.outputFileName().toStdString());
        return true;
    }

    bool ShowFind(TFindDialog &dialog)
    {
        QPointer<TQtFindWindow> &window = FindWindows()[&dialog];
        if (!window) {
            window = new TQtFindWindow(&dialog, DialogParent());
            window->setAttribute(Qt::WA_DeleteOnClose, false);
        }
        window->show();
        window->raise();
        window->activateWindow();
        return true;
    }
};

TQtDialogService qtDialogs;
ICommonDialogService *dialogService = &qtDialogs;

} // namespace

ICommonDialogService *SetCommonDialogService(ICommonDialogService *service)
{
    ICommonDialogService *previous = dialogService;
    dialogService = service ? service : &qtDialogs;
    return previous;
}

bool PageSetupDlg(PAGESETUPDLG &setup)
{
    return dialogService->PageSetup(setup);
}

// ---- The components ---------------------------------------------------------------------------

TCommonDialog::TCommonDialog(TComponent *owner)
    : TComponent(owner)
{
}

bool TCommonDialog::Execute()
{
    OnShow(this);
    bool result = dialogService->Execute(*this);
    OnClose(this);
    return result;
}

struct TOpenDialog::Impl {
    std::string filter, fileName, defaultExt, initialDir, title;
    int filterIndex = 1;
    TOpenOptions options { ofHideReadOnly };
    std::unique_ptr<TStringList> files = std::make_unique<TStringList>();
};

TOpenDialog::TOpenDialog(TComponent *owner)
    : TCommonDialog(owner)
    , d(std::make_unique<Impl>())
{
}
TOpenDialog::~TOpenDialog() = default;

std::string TOpenDialog::Filter() const
{
    return d->filter;
}
void TOpenDialog::SetFilter(const std::string &filter)
{
    d->filter = filter;
}
int TOpenDialog::FilterIndex() const
{
    return d->filterIndex;
}
void TOpenDialog::SetFilterIndex(int index)
{
    d->filterIndex = index;
}
std::string TOpenDialog::FileName() const
{
    return d->fileName;
}
void TOpenDialog::SetFileName(const std::string &fileName)
{
    d->fileName = fileName;
}
std::string TOpenDialog::DefaultExt() const
{
    return d->defaultExt;
}
void TOpenDialog::SetDefaultExt(const std::string &ext)
{
    d->defaultExt = ext;
}
std::string TOpenDialog::InitialDir() const
{
    return d->initialDir;
}
void TOpenDialog::SetInitialDir(const std::string &dir)
{
    d->initialDir = dir;
}
std::string TOpenDialog::Title() const
{
    return d->title;
}
void TOpenDialog::SetTitle(const std::string &title)
{
    d->title = title;
}
TOpenOptions TOpenDialog::Options() const
{
    return d->options;
}
void TOpenDialog::SetOptions(TOpenOptions options)
{
    d->options = options;
}
TStrings *TOpenDialog::Files() const
{
    return d->files.get();
}

bool TOpenDialog::Execute()
{
    return TCommonDialog::Execute();
}

TSaveDialog::TSaveDialog(TComponent *owner)
    : TOpenDialog(owner)
{
}

TFontDialog::TFontDialog(TComponent *owner)
    : TCommonDialog(owner)
    , font_(std::make_unique<TFont>())
{
}
TFontDialog::~TFontDialog() = default;

TFont *TFontDialog::Font() const
{
    return font_.get();
}
void TFontDialog::SetFont(TFont *font)
{
    font_->Assign(font);
}
bool TFontDialog::Execute()
{
    return TCommonDialog::Execute();
}

TColorDialog::TColorDialog(TComponent *owner)
    : TCommonDialog(owner)
{
}
bool TColorDialog::Execute()
{
    return TCommonDialog::Execute();
}

TPrintDialog::TPrintDialog(TComponent *owner)
    : TCommonDialog(owner)
{
}
bool TPrintDialog::Execute()
{
    return TCommonDialog::Execute();
}

TFindDialog::TFindDialog(TComponent *owner)
    : TCommonDialog(owner)
{
}

TFindDialog::~TFindDialog()
{
    if (showing_)
        dialogService->Close(*this);
}

void TFindDialog::SetFindText(const std::string &text)
{
    findText_ = text;
}

bool TFindDialog::Execute()
{
    if (!showing_)
        OnShow(this);
    showing_ = true;
    if (!dialogService->Execute(*this)) {
        showing_ = false;
        return false;
    }
    return true;
}

void TFindDialog::CloseDialog()
{
    if (!showing_)
        return;
    showing_ = false;
    dialogService->Close(*this);
    OnClose(this);
}

void TFindDialog::Find()
{
    options_.Include(frFindNext);
    options_.Exclude(frReplace);
    options_.Exclude(frReplaceAll);
    OnFind(this);
}

void TFindDialog::Replace(bool)
{
}

TReplaceDialog::TReplaceDialog(TComponent *owner)
    : TFindDialog(owner)
{
}

void TReplaceDialog::Replace(bool all)
{
    options_.Exclude(frFindNext);
    options_.Include(frReplace);
    all ? options_.Include(frReplaceAll) : options_.Exclude(frReplaceAll);
    OnReplace(this);
}

int MessageDlg(const std::string &message, TMsgDlgType type, TMsgDlgButtons buttons, int)
{
    static const char *const captions[] = { "Warning", "Error", "Information", "Confirm", "" };
    static const uint32_t icons[] = { MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0 };
    uint32_t flags = icons[type];
    bool yes = buttons.Contains(mbYes), no = buttons.Contains(mbNo), cancel = buttons.Contains(mbCancel);
    if (yes && no)
        flags |= cancel ? MB_YESNOCANCEL : MB_YESNO;
    else if (buttons.Contains(mbAbort) || buttons.Contains(mbRetry))
        flags |= buttons.Contains(mbIgnore) ? MB_ABORTRETRYIGNORE : MB_RETRYCANCEL;
    else if (cancel)
        flags |= MB_OKCANCEL;
    TCustomForm *active = Screen->ActiveForm();
    return MessageBox(active ? active->Handle() : HWND {}, message, captions[type], flags);
}

bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value)
{
    // Laid out as the class library lays out its own: the prompt, the edit
    // under it, and the two buttons centred below, in dialog units of the
    // form's font.
    auto form = std::make_unique<TForm>(Application);
    form->SetBorderStyle(bsDialog);
    form->SetCaption(caption);
    form->SetPosition(poScreenCenter);
    TCanvas measure;
    measure.SetFont(form->Font());
    const int unitX = std::max(1, measure.TextWidth("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52);
    const int unitY = std::max(1, measure.TextHeight("Ag"));
    form->SetClientWidth(unitX * 45);

    auto *label = new TLabel(form.get());
    label->SetParent(form.get());
    label->SetCaption(prompt);
    label->SetBounds(unitX * 2, unitY / 2 + 2, unitX * 41, unitY);

    auto *edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(unitX * 2, unitY * 2, unitX * 41, unitY + 8);
    edit->SetText(value);
    edit->SelectAll();
    label->SetFocusControl(edit);

    const int buttonTop = unitY * 4;
    const int buttonWidth = unitX * 13, buttonHeight = unitY + 10;
    auto *ok = new TButton(form.get());
    ok->SetParent(form.get());
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetBounds(unitX * 45 / 2 - buttonWidth - unitX, buttonTop, buttonWidth, buttonHeight);

    auto *cancel = new TButton(form.get());
    cancel->SetParent(form.get());
    cancel->SetCaption("Cancel");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    cancel->SetBounds(unitX * 45 / 2 + unitX, buttonTop, buttonWidth, buttonHeight);

    form->SetClientHeight(buttonTop + buttonHeight + unitY);
    form->SetActiveControl(edit);
    if (form->ShowModal() != mrOk)
        return false;
    value = edit->Text();
    return true;
}

std::string InputBox(const std::string &caption, const std::string &prompt, const std::string &defaultValue)
{
    std::string value = defaultValue;
    return InputQuery(caption, prompt, value) ? value : defaultValue;
}
