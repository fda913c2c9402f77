#pragma once

#include "platform/ui/buttons.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"

#include <memory>

class TqxCustomRichEdit;
class TqxRulerPanel;

// The rich edit's word processor: a modal window that edits a copy of the
// calling control's content in an inner edit of the caller's own class, with
// menus, tool bar, format bar, ruler and status bar, and hands the result
// back when it is closed with OK.
class TqxRichEditForm : public TForm
{
public:
    explicit TqxRichEditForm(TComponent *owner);
    ~TqxRichEditForm() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TBevel *ToolBarBevel = nullptr, *FormatBarBevel = nullptr, *RulerBevel = nullptr;
    TStatusBar *StatusBar = nullptr;
    TPanel *FormatBar = nullptr;
    TSpeedButton *BoldButton = nullptr, *UnderlineButton = nullptr, *ItalicButton = nullptr;
    TSpeedButton *BulletButton = nullptr, *LeftButton = nullptr, *CenterButton = nullptr, *RightButton = nullptr;
    TSpeedButton *SpeedButton1 = nullptr;
    TComboBox *FontNameCombo = nullptr, *FontSizeCombo = nullptr;
    TPanel *Toolbar = nullptr;
    TSpeedButton *NewButton = nullptr, *LoadButton1 = nullptr, *SaveAsButton = nullptr, *PrintButton = nullptr;
    TSpeedButton *FindButton = nullptr, *CutButton = nullptr, *CopyButton = nullptr, *UndoButton = nullptr;
    TSpeedButton *PasteButton = nullptr, *RedoButton = nullptr;
    TBevel *UserButtonBevel = nullptr;
    TMainMenu *MainMenu1 = nullptr;
    TMenuItem *File1 = nullptr, *Load1 = nullptr, *SaveAs1 = nullptr, *SaveExit1 = nullptr, *FileSep1 = nullptr;
    TMenuItem *Print1 = nullptr, *PageSetup1 = nullptr, *FileSep2 = nullptr, *Exit1 = nullptr;
    TMenuItem *Edit1 = nullptr, *Undo1 = nullptr, *Redo1 = nullptr, *Cut1 = nullptr, *Copy1 = nullptr;
    TMenuItem *Paste1 = nullptr, *Clear1 = nullptr, *SelectAll1 = nullptr, *Find1 = nullptr, *FindNext1 = nullptr;
    TMenuItem *Replace1 = nullptr;
    TMenuItem *View1 = nullptr, *Toolbar1 = nullptr, *FormatBar1 = nullptr, *StatusBar1 = nullptr;
    TMenuItem *Ruler1 = nullptr, *Options1 = nullptr;
    TMenuItem *Insert1 = nullptr, *InsertObject1 = nullptr;
    TMenuItem *Format1 = nullptr, *Font1 = nullptr, *BulletStyle1 = nullptr, *Paragraph1 = nullptr;
    TMenuItem *Tabs1 = nullptr, *Help1 = nullptr;
    TPrintDialog *PrintDialog1 = nullptr;
    TOpenDialog *OpenDialog1 = nullptr;
    TSaveDialog *SaveDialog1 = nullptr;
    TPopupMenu *PopupMenu1 = nullptr;
    TMenuItem *Automatic1 = nullptr;

    // Set up by the calling control's Execute
    TqxCustomRichEdit *Caller() const;
    TqxCustomRichEdit *RichEdit1() const;
    TqxRulerPanel *Ruler() const;
    void Setup(TqxCustomRichEdit *caller);

    // What the tool bars and menus show follows the inner edit.
    void UpdateToolState();
    void UpdateLockIndicators();

    // Form life
    void FormCreate(TObject *sender);
    void FormDestroy(TObject *sender);
    void FormShow(TObject *sender);
    void FormClose(TObject *sender, TCloseAction &action);
    void FormCloseQuery(TObject *sender, bool &canClose);
    void FormResize(TObject *sender);
    void FormKeyPress(TObject *sender, char32_t &key);
    void FormKeyUp(TObject *sender, uint16_t &key, TShiftState shift);
    // File
    void Load1Click(TObject *sender);
    void LoadButton1Click(TObject *sender);
    void SaveAs1Click(TObject *sender);
    void SaveAsButtonClick(TObject *sender);
    void SaveExit1Click(TObject *sender);
    void Exit1Click(TObject *sender);
    void Print1Click(TObject *sender);
    void PrintButtonClick(TObject *sender);
    void PageSetup1Click(TObject *sender);
    void NewButtonClick(TObject *sender);
    // Edit
    void Edit1Click(TObject *sender);
    void Undo1Click(TObject *sender);
    void UndoButtonClick(TObject *sender);
    void Redo1Click(TObject *sender);
    void RedoButtonClick(TObject *sender);
    void Cut1Click(TObject *sender);
    void CutButtonClick(TObject *sender);
    void Copy1Click(TObject *sender);
    void CopyButtonClick(TObject *sender);
    void Paste1Click(TObject *sender);
    void PasteButtonClick(TObject *sender);
    void Clear1Click(TObject *sender);
    void SelectAll1Click(TObject *sender);
    // Search
    void Find1Click(TObject *sender);
    void FindButtonClick(TObject *sender);
    void FindNext1Click(TObject *sender);
    void Replace1Click(TObject *sender);
    // View
    void Toolbar1Click(TObject *sender);
    void FormatBar1Click(TObject *sender);
    void StatusBar1Click(TObject *sender);
    void Ruler1Click(TObject *sender);
    // Format
    void BoldButtonClick(TObject *sender);
    void ItalicButtonClick(TObject *sender);
    void UnderlineButtonClick(TObject *sender);
    void BoldButtonMouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
    void LeftButtonClick(TObject *sender);
    void CenterButtonClick(TObject *sender);
    void RightButtonClick(TObject *sender);
    void BulletButtonClick(TObject *sender);
    void BulletStyle1Click(TObject *sender);
    void Font1Click(TObject *sender);
    void Paragraph1Click(TObject *sender);
    void Tabs1Click(TObject *sender);
    void FontNameComboDropDown(TObject *sender);
    void FontNameComboCloseUp(TObject *sender);
    void FontSizeComboCloseUp(TObject *sender);
    void FontSizeComboExit(TObject *sender);
    void SpeedButton1Click(TObject *sender);
    // Other
    void InsertObject1Click(TObject *sender);
    void RichEdit1SelectionChange(TObject *sender);
    // The colour menu paints its swatches itself.
    void ColorMeasureItem(TObject *sender, TCanvas *canvas, int &width, int &height);
    void ColorDrawItem(TObject *sender, TCanvas *canvas, TRect rect, bool selected);
    void ColorItemClick(TObject *sender);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    void ApplyTexts();
    void ApplyOptions();
    bool FormatButtonWasDown(TSpeedButton *button) const;
};

// The page setup of the rich edit: margins in its measurement units and
// the paper, through the platform's page setup dialog.
class TqxPageSetupDialog : public TCommonDialog
{
public:
    explicit TqxPageSetupDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TqxCustomRichEdit *RichEdit() const { return richEdit_; }
    void SetRichEdit(TqxCustomRichEdit *edit) { richEdit_ = edit; }

    bool Execute() override;

private:
    TqxCustomRichEdit *richEdit_ = nullptr;
};

// Opens the editor form on the control (its Execute); true when it was closed with OK.
bool qxExecuteRichEditForm(TqxCustomRichEdit *caller);
