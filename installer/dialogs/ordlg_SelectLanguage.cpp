#include "installer/dialogs/ordlg_SelectLanguage.h"

#include <cmath>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "platform/classes/typinfo.h"

const TMetaClass TSelectLanguageForm::Class { "TSelectLanguageForm", &TBaseInstallForm::Class };

namespace
{
using F = TSelectLanguageForm;
// clang-format off
const TClassRegistrar<TSelectLanguageForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"LanguageListClick", &F::LanguageListClick},
     {"LanguageListKeyPress", &F::LanguageListKeyPress}, {"LanguageGridDrawCell", &F::LanguageGridDrawCell},
     {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick},
     {"CancelBtnClick", &F::CancelBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"LanguageGrid", &F::LanguageGrid}, {"Divider", &F::Divider},
     {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"CancelBtn", &F::CancelBtn}});
// clang-format on

void LoadFlag(TBitmap &flag, const std::string &name)
{
    if (BitmapResourceExists(name))
        flag.LoadFromResourceName(name);
}

// The hourglass and a disabled grid while the texts change; both come back
// however the switch ends, and the grid keeps the keyboard when it had it.
class SwitchScope
{
public:
    explicit SwitchScope(TStringGrid *grid)
        : grid_(grid)
        , cursor_(Screen->Cursor())
        , focused_(grid->Focused())
    {
        Screen->SetCursor(crHourGlass);
        grid_->SetEnabled(false);
    }
    ~SwitchScope()
    {
        grid_->SetEnabled(true);
        if (focused_ && grid_->CanFocus())
            grid_->SetFocus();
        Screen->SetCursor(cursor_);
    }
    SwitchScope(const SwitchScope &) = delete;
    SwitchScope &operator=(const SwitchScope &) = delete;

private:
    TStringGrid *grid_;
    TCursor cursor_;
    bool focused_;
};

// A copy of a global list, so that an entry that comes or goes while its
// neighbours translate neither moves the walk nor is reached when gone.
template <typename List, typename Fn> void ForEachStill(List *list, Fn fn)
{
    if (!list)
        return;
    std::vector<decltype(list->Items(0))> all;
    for (int i = 0; i < list->Count(); ++i)
        all.push_back(list->Items(i));
    for (auto *item : all)
        if (list->IndexOf(item) >= 0)
            fn(item);
}
} // namespace

TBIFEntry *InitializeSelectLanguageFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TSelectLanguageForm::Class, nullptr, 0);
    return entry;
}

TSelectLanguageForm::TSelectLanguageForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(0);
}

void TSelectLanguageForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
    for (auto &flag : flags_) {
        flag = std::make_unique<TBitmap>();
        LoadFlag(*flag, "BM_LANG_NONE");
    }
}

bool TSelectLanguageForm::Skip()
{
    return GlobalTranslator() == nullptr;
}

void TSelectLanguageForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    TTranslator *translator = GlobalTranslator();
    if (!translator)
        return;
    BackBtn->SetVisible(!IsFirst());
    FocusIfShown(ProceedBtn);

    count_ = 0;
    for (int i = 0; i < translator->GetLanguageCount(); ++i)
        if (translator->GetLanguage(i)->Strings()->Count() > 1)
            ++count_;
    const int columns = LanguageGrid->ColCount();
    // Rounded up; a grid keeps one row even with nothing to list.
    LanguageGrid->SetRowCount(std::max(1, static_cast<int>(std::lround(count_ / double(columns) + 0.1))));
    // The grid is filled from its first cell, in sight: every flag that fits
    // shows, and selecting the current one scrolls only as far as it needs.
    LanguageGrid->SetLeftCol(0);
    LanguageGrid->SetTopRow(0);
    for (int row = 0; row < LanguageGrid->RowCount(); ++row)
        for (int col = 0; col < columns; ++col) {
            LanguageGrid->SetObjects(col, row, nullptr);
            LanguageGrid->SetCells(col, row, "");
        }
    int col = columns;
    int row = -1;
    for (int i = 0; i < translator->GetLanguageCount(); ++i) {
        TLanguage *language = translator->GetLanguage(i);
        if (language->Strings()->Count() <= 1)
            continue;
        LoadFlag(*flags_[language->LanguageIdent()], language->FlagBitmapName());
        if (col == columns) {
            ++row;
            col = 0;
        }
        LanguageGrid->SetCells(col, row, language->LanguageName());
        LanguageGrid->SetObjects(col, row, language);
        if (language->LanguageIdent() == translator->TranslateIntoLanguage()) {
            updating_ = true;
            LanguageGrid->SetCol(col);
            LanguageGrid->SetRow(row);
            updating_ = false;
        }
        ++col;
    }
}

void TSelectLanguageForm::LanguageGridDrawCell(TObject *, int col, int row, TRect rect, TGridDrawState)
{
    try {
        TCanvas *canvas = LanguageGrid->Canvas();
        canvas->FillRect(rect);
        auto *language = dynamic_cast<TLanguage *>(LanguageGrid->Objects(col, row));
        if (!language)
            return;
        TBitmap *flag = flags_[language->LanguageIdent()].get();
        if (!flag || flag->Empty())
            return;
        flag->SetTransparent(true);
        flag->SetTransparentColor(clOlive);
        canvas->Draw(rect.Left + 2,
            rect.Top + static_cast<int>(std::nearbyint(rect.Height() * 0.5 - flag->Height() * 0.5)), flag);
    } catch (...) {
        // A cell that cannot be drawn stays empty; painting goes on.
    }
}

void TSelectLanguageForm::LanguageListClick(TObject *)
{
    if (updating_)
        return;
    if (auto *language
        = dynamic_cast<TLanguage *>(LanguageGrid->Objects(LanguageGrid->Col(), LanguageGrid->Row())))
        SwitchTo(language);
}

void TSelectLanguageForm::LanguageListKeyPress(TObject *sender, char32_t &)
{
    LanguageListClick(sender);
}

void TSelectLanguageForm::SwitchTo(TLanguage *language)
{
    TTranslator *translator = GlobalTranslator();
    if (!translator)
        return;
    SwitchScope scope(LanguageGrid);
    const TKvraLanguage ident = language->LanguageIdent();
    translator->SetTranslateIntoLanguage(ident);
    ForEachStill(
        InstallContainerList(), [ident](TInstallContainer *container) { container->LanguageChanged(ident); });
    ForEachStill(KelvaraFormList(), [](TBaseKelvaraForm *form) { form->Translate(); });
    // The frame shows the current page's caption, which has just changed.
    if (TBaseFormContainer *frame = Frame(); frame && frame->CurrentPage() >= 0)
        frame->SetCaption(frame->Pages(frame->CurrentPage())->Caption());
    LanguageGrid->Invalidate();
    CancelBtn->Repaint();
}

void TSelectLanguageForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TSelectLanguageForm::BackBtnClick(TObject *)
{
    Previous();
}

void TSelectLanguageForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
