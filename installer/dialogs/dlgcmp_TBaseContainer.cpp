#include "installer/dialogs/dlgcmp_TBaseContainer.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/graphics.h"

const TMetaClass TBaseFormContainer::Class { "TBaseFormContainer", &TForm::Class };
const TMetaClass TBaseInstallForm::Class { "TBaseInstallForm", &TBaseKelvaraForm::Class };
const TMetaClass TBaseDuringCopyForm::Class { "TBaseDuringCopyForm", &TBaseKelvaraForm::Class };
const TMetaClass TBaseChangeDiskForm::Class { "TBaseChangeDiskForm", &TBaseKelvaraForm::Class };

namespace
{

using F = TBaseFormContainer;
// clang-format off
const TClassRegistrar<TBaseFormContainer> frameRegistrar({},
    {{"FormCreate", &F::FormCreate}, {"FormShow", &F::FormShow}, {"FormResize", &F::FormResize},
     {"FormDestroy", &F::FormDestroy}, {"FormClose", &F::FormClose}, {"TabsChange", &F::TabsChange},
     {"TabsChanging", &F::TabsChanging}},
    {{"DisplayPanel", &F::DisplayPanel}, {"Tabs", &F::Tabs}});
// clang-format on
const TClassRegistrar<TBaseInstallForm> pageRegistrar({});
const TClassRegistrar<TBaseDuringCopyForm> duringCopyRegistrar({});
const TClassRegistrar<TBaseChangeDiskForm> changeDiskRegistrar({});

} // namespace

bool ConfirmInstallAbort()
{
    TCustomInstall *install = CurrentInstallComponent();
    return !install || install->ConfirmAbort();
}

void AssignButtonGlyph(TBitBtn *button, const std::string &resourceName)
{
    if (button && BitmapResourceExists(resourceName))
        button->Glyph()->LoadFromResourceName(resourceName);
}

// ---- The frame -------------------------------------------------------------------------------

TBaseFormContainer::TBaseFormContainer(TComponent *owner)
    : TForm(owner)
{
}

// OnDestroy would run from the form base's destructor, after this class is
// gone; the frame tidies its pages here instead, while it still exists.
TBaseFormContainer::~TBaseFormContainer()
{
    FormDestroy(this);
}

void TBaseFormContainer::FormCreate(TObject *)
{
    Font()->SetCharset(0);
    resizing_ = true;
    SetHeight(395);
    SetWidth(478);
    resizing_ = false;
    finished_ = false;
}

void TBaseFormContainer::FormResize(TObject *)
{
    if (resizing_ || !DisplayPanel)
        return;
    const TRect area = DisplayPanel->BoundsRect();
    for (int i = 0; i < pages_.Count(); ++i)
        pages_.Items(i)->SetBoundsRect(area);
    DisplayPanel->Repaint();
}

void TBaseFormContainer::FormDestroy(TObject *)
{
    // The pages are owned by the frame and go with it; a page's dialog
    // component must not keep pointing at it.
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto *page = dynamic_cast<TBaseInstallForm *>(Components(i)))
            if (TCustomBaseInstallDlg *dialog = page->Dialog(); dialog && dialog->Form() == page)
                dialog->SetForm(nullptr);
}

void TBaseFormContainer::PlaceForm(TKelvaraDialogPosition position, int relativeLeft, int relativeTop)
{
    const TPoint place = KelvaraDialogPlace(position, relativeLeft, relativeTop, Width(), Height());
    SetBounds(place.X, place.Y, Width(), Height());
}

int TBaseFormContainer::BuildPages()
{
    TDialogManager *manager = CurrentDialogManager();
    if (!manager)
        throw Exception(TranslateString("The current dialog manager is not defined"));
    // Registering components may come and go while pages are made: walk a copy.
    std::vector<TBIFEntry> entries;
    for (int i = 0; i < InstallFormCount(); ++i)
        entries.push_back(*InstallFormEntry(i));
    for (const TBIFEntry &entry : entries) {
        TCustomBaseInstallDlg *dialog = entry.Dialog;
        if (dialog && (dialog->DialogManager() != manager || !dialog->CanShow()))
            continue;
        std::unique_ptr<TCustomForm> made(NewForm(*entry.FormClass, this));
        auto *page = dynamic_cast<TBaseInstallForm *>(made.get());
        if (!page || (!dialog && page->Manager() != manager))
            continue;
        made.release(); // owned by the frame
        if (dialog) {
            page->SetDialog(dialog);
            page->SetContainer(dialog->Container());
            page->SetOrder(dialog->Order());
            dialog->SetForm(page);
            dialog->AssignDialogProperties();
        }
        Tabs->Tabs()->Add(page->Caption());
        page->SetBoundsRect(DisplayPanel->BoundsRect());
        page->ApplyLanguage();
        page->Show();
        pages_.Add(page);
    }
    // A straight exchange sort, kept as it always was: equal orders keep
    // their registration order only when no exchange moves one of them.
    std::vector<TBaseInstallForm *> order;
    for (int i = 0; i < pages_.Count(); ++i)
        order.push_back(pages_.Items(i));
    for (size_t i = 0; i < order.size(); ++i)
        for (size_t j = i + 1; j < order.size(); ++j)
            if (order[j]->Order() < order[i]->Order())
                std::swap(order[i], order[j]);
    pages_.Clear();
    for (TBaseInstallForm *page : order)
        pages_.Add(page);
    return pages_.Count();
}

int TBaseFormContainer::CurrentPage() const
{
    return Tabs ? Tabs->TabIndex() : -1;
}

bool TBaseFormContainer::ShowPage(int index, bool backward)
{
    if (index < 0 || index >= pages_.Count())
        return false;
    TBaseInstallForm *page = pages_.Items(index);
    if (page->Skip())
        return ShowPage(backward ? index - 1 : index + 1, backward);
    Tabs->SetTabIndex(index);
    SetCaption(page->Caption());
    page->ActivatePage();
    return true;
}

void TBaseFormContainer::FormShow(TObject *)
{
    if (ShowPage(0, true) || ShowPage(0, false))
        return;
    // Every page skips: there is no button to press, so the wizard is over
    // as if Next had been pressed.
    Finish();
}

void TBaseFormContainer::NextPage()
{
    const int before = CurrentPage();
    if (!ShowPage(before + 1, false))
        ShowPage(before + 1, true);
    if (CurrentPage() == before)
        Finish();
}

void TBaseFormContainer::PreviousPage()
{
    const int before = CurrentPage();
    if (!ShowPage(before - 1, true))
        ShowPage(before - 1, false);
}

void TBaseFormContainer::Finish()
{
    finished_ = true;
    SetModalResult(mrOk);
    Close();
}

void TBaseFormContainer::FormClose(TObject *, TCloseAction &action)
{
    if (!finished_ && ModalResult() != mrCancel)
        action = caNone;
}

void TBaseFormContainer::TabsChanging(TObject *, bool &)
{
    const int current = CurrentPage();
    if (current >= 0 && current < pages_.Count())
        pages_.Items(current)->Leave();
}

void TBaseFormContainer::TabsChange(TObject *)
{
    if (!ShowPage(CurrentPage(), true))
        ShowPage(CurrentPage(), false);
}

// ---- Pages ----------------------------------------------------------------------------------------

TBaseInstallForm::TBaseInstallForm(TComponent *owner)
    : TBaseKelvaraForm(owner)
{
}

TBaseFormContainer *TBaseInstallForm::Frame() const
{
    return dynamic_cast<TBaseFormContainer *>(Owner());
}

TCustomForm *TBaseInstallForm::Host() const
{
    if (TBaseFormContainer *frame = Frame())
        return frame;
    return const_cast<TBaseInstallForm *>(this);
}

bool TBaseInstallForm::IsFirst() const
{
    TBaseFormContainer *frame = Frame();
    if (!frame)
        return false;
    for (int i = 0; i < frame->CurrentPage() && i < frame->PageCount(); ++i)
        if (!frame->Pages(i)->Skip())
            return false;
    return true;
}

bool TBaseInstallForm::IsLast() const
{
    TBaseFormContainer *frame = Frame();
    return frame && frame->CurrentPage() + 1 == frame->PageCount();
}

void TBaseInstallForm::Cancel()
{
    Host()->SetModalResult(mrCancel);
}

void TBaseInstallForm::ConfirmCancel()
{
    if (ConfirmInstallAbort())
        Host()->SetModalResult(mrCancel);
}

void TBaseInstallForm::Next()
{
    if (TBaseFormContainer *frame = Frame())
        frame->NextPage();
}

void TBaseInstallForm::Previous()
{
    if (TBaseFormContainer *frame = Frame())
        frame->PreviousPage();
}

void TBaseInstallForm::ActivatePage()
{
    if (!dynamic_cast<TCustomForm *>(Owner()))
        return;
    RefreshPage();
    BringToFront();
}

bool TBaseInstallForm::FocusIfShown(TWinControl *control)
{
    if (!control || !control->Visible() || !Visible() || !control->CanFocus())
        return false;
    control->SetFocus();
    return true;
}

void TBaseInstallForm::AssignInstallThemeBitmap(TPicture *picture)
{
    if (TCustomInstall *install = CurrentInstallComponent())
        picture->Assign(install->DialogThemeBitmap());
}

void TBaseInstallForm::ShowThemeBitmap(TImage *image)
{
    if (!image->Picture()->Graphic() || image->Picture()->Graphic()->Empty())
        AssignInstallThemeBitmap(image->Picture());
}

void TBaseInstallForm::ShowWayButtons(TControl *back, TControl *proceed, TControl *finish)
{
    back->SetVisible(!IsFirst());
    proceed->SetVisible(!IsLast());
    finish->SetVisible(!proceed->Visible());
}

void TBaseInstallForm::CreateParams(TCreateParams &params)
{
    TBaseKelvaraForm::CreateParams(params);
    if (auto *owner = dynamic_cast<TCustomForm *>(Owner())) {
        params.Style = WS_CHILD | WS_CLIPSIBLINGS;
        params.WndParent = owner->Handle();
        params.X = 0;
        params.Y = 0;
    }
}

void TBaseInstallForm::Loaded()
{
    TBaseKelvaraForm::Loaded();
    if (auto *owner = dynamic_cast<TCustomForm *>(Owner())) {
        SetVisible(false);
        SetPosition(poDefault);
        SetBorderIcons({});
        SetBorderStyle(bsNone);
        HandleNeeded();
        SetBounds(0, 0, owner->ClientWidth(), owner->Height());
    }
}

// ---- During-copy and next-disk bases ---------------------------------------------------------------

TBaseDuringCopyForm::TBaseDuringCopyForm(TComponent *owner)
    : TBaseKelvaraForm(owner)
{
}

void TBaseDuringCopyForm::Cancel()
{
    if (!ConfirmInstallAbort())
        return;
    if (TKvraCompress *archive = SharedArchive())
        archive->SetAbort(true);
    NetDownloadAbort = true;
}

void TBaseDuringCopyForm::Update(TFileStatusParameter *, TDownloadStatusParameter *) { }

TBaseChangeDiskForm::TBaseChangeDiskForm(TComponent *owner)
    : TBaseKelvaraForm(owner)
{
}

void TBaseChangeDiskForm::Cancel()
{
    if (ConfirmInstallAbort())
        SetModalResult(mrCancel);
}
