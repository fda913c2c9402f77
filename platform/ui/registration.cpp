#include "platform/ui/registration.h"

#include "platform/classes/registration.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/buttons.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/grids.h"
#include "platform/ui/imglist.h"
#include "platform/ui/mask.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"

void RegisterUiClasses()
{
    RegisterComponentClasses();
    RegisterClasses({
        // controls
        &TControl::Class, &TWinControl::Class, &TGraphicControl::Class, &TCustomControl::Class,
        // graphics
        &TFont::Class, &TBrush::Class, &TPen::Class, &TPicture::Class,
        // stdctrls
        &TCustomLabel::Class, &TLabel::Class, &TStaticText::Class, &TCustomGroupBox::Class, &TGroupBox::Class,
        &TButton::Class, &TCustomEdit::Class, &TEdit::Class, &TCustomMemo::Class, &TMemo::Class,
        &TCustomComboBox::Class, &TComboBox::Class, &TCustomListBox::Class, &TListBox::Class,
        // menus
        &TMenuItem::Class, &TMainMenu::Class, &TPopupMenu::Class,
        // extctrls
        &TCustomPanel::Class, &TPanel::Class, &TBevel::Class, &TImage::Class, &TCustomRadioGroup::Class, &TRadioGroup::Class,
        // mask
        &TCustomMaskEdit::Class, &TMaskEdit::Class,
        // buttons
        &TSpeedButton::Class, &TBitBtn::Class,
        // comctrls
        &TTabControl::Class,
        &TProgressBar::Class,
        &TStatusPanel::Class, &TStatusBar::Class,
        // dialogs
        &TCommonDialog::Class, &TOpenDialog::Class, &TSaveDialog::Class, &TFontDialog::Class, &TColorDialog::Class,
        &TPrintDialog::Class, &TFindDialog::Class, &TReplaceDialog::Class,
        // grids
        &TInplaceEdit::Class, &TCustomGrid::Class, &TDrawGrid::Class, &TStringGrid::Class,
        &TTabSheet::Class, &TPageControl::Class, &TCustomTreeView::Class, &TTreeView::Class,
        &TCustomListView::Class, &TListView::Class,
        // imglist
        &TCustomImageList::Class, &TImageList::Class,
        // forms
        &TCustomForm::Class, &TForm::Class,
    });
}
