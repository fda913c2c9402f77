#include "controls/widgets/qxrichtb.h"

#include "controls/base/Qxintl.h"
#include "controls/widgets/qxrchdlg.h"
#include "controls/widgets/qxriched.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

#include <memory>
#include <vector>

const TMetaClass TqxRichTabDialog::Class { "TqxRichTabDialog", &TForm::Class };

namespace
{
using D = TqxRichTabDialog;
// clang-format off
const TClassRegistrar<TqxRichTabDialog> registrar({},
    {{"Button4Click", &D::Button4Click}, {"SetButtonClick", &D::SetButtonClick}, {"Button2Click", &D::Button2Click},
     {"Edit1Enter", &D::Edit1Enter}, {"Edit1Exit", &D::Edit1Exit}, {"Edit1KeyPress", &D::Edit1KeyPress},
     {"OKButtonClick", &D::OKButtonClick}},
    {{"OKButton", &D::OKButton}, {"GroupBox1", &D::GroupBox1}, {"Edit1", &D::Edit1}, {"ListBox1", &D::ListBox1},
     {"Button1", &D::Button1}, {"Button2", &D::Button2}, {"Button3", &D::Button3}, {"Button4", &D::Button4}});
// clang-format on
} // namespace

TqxRichTabDialog::TqxRichTabDialog(TComponent *owner)
    : TForm(owner)
{
}

void TqxRichTabDialog::LoadFromRichEdit()
{
    const TqxIntlTexts &texts = *qxIntl()->RichEdit()->TabDialog();
    SetCaption(texts.Text("TabDlgCaption"));
    GroupBox1->SetCaption(texts.Text("TabGroupBoxCaption"));
    Button1->SetCaption(texts.Text("SetTabButtonCaption"));
    Button2->SetCaption(texts.Text("ClearTabButtonCaption"));
    Button4->SetCaption(texts.Text("ClearAllButtonCaption"));
    OKButton->SetCaption(qxIntl()->BtnOKCaption());
    Button3->SetCaption(qxIntl()->BtnCancelCaption());
    if (RichEdit->EditorOptions().Contains(reoShowHints)) {
        Edit1->SetHint(texts.Text("TabPositionEditHint"));
        ListBox1->SetHint(texts.Text("ListBoxHint"));
        Button1->SetHint(texts.Text("SetButtonHint"));
        Button2->SetHint(texts.Text("ClearButtonHint"));
        Button4->SetHint(texts.Text("ClearAllButtonHint"));
        for (TControl *control : std::initializer_list<TControl *> { Edit1, ListBox1, Button1, Button2, Button4 })
            control->SetShowHint(true);
    }
    PARAFORMAT2 format = RichEdit->GetParagraphFormat();
    ListBox1->Items()->Clear();
    loadedStops_.clear();
    for (int i = 0; i < format.cTabCount; ++i) {
        // A stop packs its alignment above the position's 24 bits.
        std::string text = RichEdit->FormatMeasurement(RichEdit->TwipsToMeasurement(format.rgxTabs[i] & 0xFFFFFF));
        loadedStops_.emplace(text, format.rgxTabs[i]);
        ListBox1->Items()->Add(text);
    }
}

bool TqxRichTabDialog::SetEntry()
{
    std::string message;
    if (!qxValidMeasurement(RichEdit, Edit1->Text(), &message)) {
        if (!message.empty())
            Application->MessageBox(message, Caption(), MB_OK | MB_ICONERROR);
        Edit1->SetFocus();
        return false;
    }
    double value = StrToFloat(qxMeasurementNumber(Edit1->Text()));
    std::string text = RichEdit->FormatMeasurement(value);
    TStrings *items = ListBox1->Items();
    if (items->IndexOf(text) < 0) {
        int at = 0;
        while (at < items->Count() && StrToFloat(qxMeasurementNumber(items->Strings(at))) <= value)
            ++at;
        items->Insert(at, text);
    }
    Edit1->SetText({});
    return true;
}

void TqxRichTabDialog::SetButtonClick(TObject *)
{
    if (!Edit1->Text().empty())
        SetEntry();
}

void TqxRichTabDialog::Button2Click(TObject *)
{
    for (int i = ListBox1->Items()->Count() - 1; i >= 0; --i)
        if (ListBox1->Selected(i))
            ListBox1->Items()->Delete(i);
}

void TqxRichTabDialog::Button4Click(TObject *)
{
    ListBox1->Items()->Clear();
}

// While the entry has the focus, Enter sets the position instead of closing.
void TqxRichTabDialog::Edit1Enter(TObject *)
{
    OKButton->SetDefault(false);
}
void TqxRichTabDialog::Edit1Exit(TObject *)
{
    OKButton->SetDefault(true);
}

void TqxRichTabDialog::Edit1KeyPress(TObject *, char32_t &key)
{
    if (key != VK_RETURN)
        return;
    key = 0;
    if (Edit1->Text().empty())
        SetModalResult(mrOk);
    else
        SetEntry();
}

void TqxRichTabDialog::OKButtonClick(TObject *)
{
    if (!Edit1->Text().empty() && !SetEntry())
        SetModalResult(mrNone);
}

void TqxRichTabDialog::ApplyToRichEdit()
{
    std::vector<int> tabs;
    for (int i = 0; i < ListBox1->Items()->Count(); ++i) {
        std::string text = ListBox1->Items()->Strings(i);
        auto loaded = loadedStops_.find(text);
        tabs.push_back(loaded != loadedStops_.end() ? loaded->second : RichEdit->MeasurementToTwips(qxMeasurementNumber(text)));
    }
    RichEdit->SetParagraph(32, "", 0, 0, 0, 0, tabs.data(), static_cast<int>(tabs.size()), 0, 0, 0, false);
}

bool qxExecuteTabDialog(TqxCustomRichEdit *edit)
{
    std::unique_ptr<TqxRichTabDialog> dialog(NewForm<TqxRichTabDialog>(Application));
    dialog->RichEdit = edit;
    dialog->LoadFromRichEdit();
    if (dialog->ShowModal() != mrOk)
        return false;
    dialog->ApplyToRichEdit();
    return true;
}
