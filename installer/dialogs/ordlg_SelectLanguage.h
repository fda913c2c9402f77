#pragma once

#include <array>
#include <memory>

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/grids.h"

// The languages the translator holds texts for, as a grid of flags; a click
// on one switches the whole setup to it at once: the translator, every
// install object and every open window of the toolkit.
class TSelectLanguageForm : public TBaseInstallForm
{
public:
    explicit TSelectLanguageForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TStringGrid *LanguageGrid = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    // The languages listed: those whose table holds more than one line
    int LanguageCount() const { return count_; }
    // The flag drawn for a language; the placeholder until it is listed
    TBitmap *Flag(TKvraLanguage language) const { return flags_[language].get(); }

    void RefreshPage() override;
    // Without a translator there is nothing to choose.
    bool Skip() override;

    // Handlers
    void FormCreate(TObject *sender);
    void LanguageListClick(TObject *sender);
    void LanguageListKeyPress(TObject *sender, char32_t &key);
    void LanguageGridDrawCell(TObject *sender, int col, int row, TRect rect, TGridDrawState state);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);

private:
    void SwitchTo(TLanguage *language);
    std::array<std::unique_ptr<TBitmap>, klVietnamese + 1> flags_;
    int count_ = 0;
    bool updating_ = false;
};

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeSelectLanguageFormUnit();
