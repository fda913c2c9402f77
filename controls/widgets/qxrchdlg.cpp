#include "controls/widgets/qxrchdlg.h"

#include "controls/base/Qxdate.h"
#include "controls/base/Qxintl.h"
#include "controls/base/Qxstr.h"
#include "controls/widgets/qxriched.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cmath>
#include <memory>

const TMetaClass TqxRichParagraphDialog::Class { "TqxRichParagraphDialog", &TForm::Class };

namespace
{
using D = TqxRichParagraphDialog;
// clang-format off
const TClassRegistrar<TqxRichParagraphDialog> registrar({},
    {{"FormCreate", &D::FormCreate}, {"OKClick", &D::OKClick},
     {"LineSpacingComboBoxClick", &D::LineSpacingComboBoxClick},
     {"LineSpacingComboBoxChange", &D::LineSpacingComboBoxChange},
     {"WithinParagraphEditKeyPress", &D::WithinParagraphEditKeyPress}},
    {{"Panel1", &D::Panel1}, {"IndentationLabel", &D::IndentationLabel}, {"LeftLabel", &D::LeftLabel},
     {"RightLabel", &D::RightLabel}, {"FirstLineLabel", &D::FirstLineLabel}, {"AlignmentLabel", &D::AlignmentLabel},
     {"SpacingLabel", &D::SpacingLabel}, {"BeforeLabel", &D::BeforeLabel}, {"AfterLabel", &D::AfterLabel},
     {"LineSpacingLabel", &D::LineSpacingLabel}, {"AtLabel", &D::AtLabel},
     {"IndentationBevel", &D::IndentationBevel}, {"SpacingBevel", &D::SpacingBevel},
     {"AlignmentCombo", &D::AlignmentCombo}, {"LeftEdit", &D::LeftEdit}, {"RightEdit", &D::RightEdit},
     {"FirstLineEdit", &D::FirstLineEdit}, {"BeforeParagraphEdit", &D::BeforeParagraphEdit},
     {"AfterParagraphEdit", &D::AfterParagraphEdit}, {"LineSpacingComboBox", &D::LineSpacingComboBox},
     {"WithinParagraphEdit", &D::WithinParagraphEdit}, {"OKBtn", &D::OKBtn}, {"CancelBtn", &D::CancelBtn}});
// clang-format on

constexpr int kMaxMeasurementTwips = 31680; // 22 inches
constexpr int kRuleMultiple = 5;

const TqxIntlTexts &Texts()
{
    return *qxIntl()->RichEdit()->ParagraphDialog();
}

} // namespace

std::string qxMeasurementNumber(const std::string &text)
{
    std::string number = text;
    qxTrimRightChars(number, " 'CMcm");
    return number;
}

bool qxValidMeasurement(TqxCustomRichEdit *edit, const std::string &text, std::string *message)
{
    std::string number = qxMeasurementNumber(text);
    // An empty field passes the float test but converts to nothing.
    if (number.empty() || !qxIsFloatText(number)) {
        if (message)
            *message = Format("'%s' is not a valid floating point value", number);
        return false;
    }
    int twips = edit->MeasurementToTwips(number);
    return twips >= 0 && twips <= kMaxMeasurementTwips;
}

TqxRichParagraphDialog::TqxRichParagraphDialog(TComponent *owner)
    : TForm(owner)
{
}

void TqxRichParagraphDialog::FormCreate(TObject *)
{
}

void TqxRichParagraphDialog::LoadFromRichEdit()
{
    const TqxIntlTexts &texts = Texts();
    SetCaption(texts.Text("ParagraphDlgCaption"));
    OKBtn->SetCaption(qxIntl()->BtnOKCaption());
    CancelBtn->SetCaption(qxIntl()->BtnCancelCaption());
    IndentationLabel->SetCaption(texts.Text("IndentationGroupBoxCaption"));
    LeftLabel->SetCaption(texts.Text("LeftEditCaption"));
    RightLabel->SetCaption(texts.Text("RightEditCaption"));
    FirstLineLabel->SetCaption(texts.Text("FirstLineEditCaption"));
    AlignmentLabel->SetCaption(texts.Text("AlignmentCaption"));
    SpacingLabel->SetCaption(texts.Text("SpacingGroupCaption"));
    BeforeLabel->SetCaption(texts.Text("BeforeParagraphCaption"));
    AfterLabel->SetCaption(texts.Text("AfterParagraphCaption"));
    LineSpacingLabel->SetCaption(texts.Text("WithinParagraphCaption"));
    AtLabel->SetCaption(texts.Text("WithinParagraphAtCaption"));
    if (RichEdit->EditorOptions().Contains(reoShowHints)) {
        LeftEdit->SetHint(texts.Text("LeftEditHint"));
        RightEdit->SetHint(texts.Text("RightEditHint"));
        FirstLineEdit->SetHint(texts.Text("FirstLineEditHint"));
        AlignmentCombo->SetHint(texts.Text("AlignmentHint"));
        for (TControl *control : std::initializer_list<TControl *> { LeftEdit, RightEdit, FirstLineEdit, AlignmentCombo })
            control->SetShowHint(true);
    }
    AlignmentCombo->Items()->Clear();
    AlignmentCombo->Items()->Add(texts.Text("AlignLeft"));
    AlignmentCombo->Items()->Add(texts.Text("AlignCenter"));
    AlignmentCombo->Items()->Add(texts.Text("AlignRight"));

    TqxCustomRichEdit *edit = RichEdit;
    auto shown = [edit](int step, int twips) { return edit->FormatRoundedMeasurement(step, edit->TwipsToMeasurement(twips)); };
    int offset = 0, right = 0, start = 0;
    edit->GetParagraphIndents(offset, right, start);
    LeftEdit->SetText(shown(0, start + offset));
    FirstLineEdit->SetText(shown(0, -offset));
    RightEdit->SetText(shown(0, right));
    if (edit->RichEditVersion() >= 2) {
        PARAFORMAT2 format = edit->GetParagraphFormat();
        BeforeParagraphEdit->SetText(shown(100, format.dySpaceBefore));
        AfterParagraphEdit->SetText(shown(100, format.dySpaceAfter));
        LineSpacingComboBox->SetItemIndex(format.bLineSpacingRule);
        if (format.bLineSpacingRule == kRuleMultiple)
            WithinParagraphEdit->SetText(FloatToStr(format.dyLineSpacing * 0.05));
        else if (format.bLineSpacingRule == 3 || format.bLineSpacingRule == 4)
            WithinParagraphEdit->SetText(shown(100, format.dyLineSpacing));
        else
            WithinParagraphEdit->SetText({});
    } else {
        // The first rich edit knows no spacing.
        BeforeParagraphEdit->SetText("0");
        AfterParagraphEdit->SetText("0");
        BeforeParagraphEdit->SetEnabled(false);
        AfterParagraphEdit->SetEnabled(false);
        WithinParagraphEdit->SetText({});
        WithinParagraphEdit->SetEnabled(false);
        LineSpacingComboBox->SetItemIndex(0);
        LineSpacingComboBox->SetEnabled(false);
    }
    TAlignment alignment = edit->Paragraph()->Alignment();
    AlignmentCombo->SetItemIndex(alignment == taLeftJustify ? 0 : alignment == taRightJustify ? 2 : 1);
}

void TqxRichParagraphDialog::LineSpacingComboBoxClick(TObject *)
{
    WithinParagraphEdit->SetText({});
}

void TqxRichParagraphDialog::LineSpacingComboBoxChange(TObject *)
{
    switch (LineSpacingComboBox->ItemIndex()) {
    case 3:
    case 4: {
        // A sixth of an inch, a usual line.
        double value = 1.0 / 6;
        if (RichEdit->MeasurementUnits() == muCentimeters)
            value *= 2.537;
        WithinParagraphEdit->SetText(RichEdit->FormatMeasurement(std::trunc(value * 100) / 100));
        break;
    }
    case kRuleMultiple:
        WithinParagraphEdit->SetText("1");
        break;
    default:
        WithinParagraphEdit->SetText({});
        break;
    }
}

void TqxRichParagraphDialog::WithinParagraphEditKeyPress(TObject *, char32_t &)
{
    if (LineSpacingComboBox->ItemIndex() >= 0 && LineSpacingComboBox->ItemIndex() <= 2)
        LineSpacingComboBox->SetItemIndex(kRuleMultiple);
}

void TqxRichParagraphDialog::OKClick(TObject *)
{
    std::vector<TEdit *> fields { LeftEdit, FirstLineEdit, RightEdit, BeforeParagraphEdit, AfterParagraphEdit };
    if (!WithinParagraphEdit->Text().empty())
        fields.push_back(WithinParagraphEdit);
    for (TEdit *field : fields) {
        std::string message;
        if (qxValidMeasurement(RichEdit, field->Text(), &message))
            continue;
        SetModalResult(mrNone);
        if (!message.empty())
            Application->MessageBox(message, Caption(), MB_OK | MB_ICONERROR);
        field->SetFocus();
        return;
    }
}

void TqxRichParagraphDialog::ApplyToRichEdit()
{
    TqxCustomRichEdit *edit = RichEdit;
    auto twips = [edit](TEdit *field) { return edit->MeasurementToTwips(qxMeasurementNumber(field->Text())); };
    int left = twips(LeftEdit), first = twips(FirstLineEdit);
    int offset = std::min(-first, left);
    int start = first + left;
    int rule = std::max(0, LineSpacingComboBox->ItemIndex());
    int lineSpacing;
    std::string within = qxMeasurementNumber(WithinParagraphEdit->Text());
    if (rule == kRuleMultiple)
        lineSpacing = !within.empty() && qxIsFloatText(within) ? static_cast<int>(std::trunc(StrToFloat(within) * 20)) : 20;
    else
        lineSpacing = within.empty() ? 0 : edit->MeasurementToTwips(within);
    edit->SetParagraph(477, AlignmentCombo->Text(), rule, lineSpacing, twips(AfterParagraphEdit),
        twips(BeforeParagraphEdit), nullptr, 0, start, twips(RightEdit), offset, false);
}

bool qxExecuteParagraphDialog(TqxCustomRichEdit *edit)
{
    std::unique_ptr<TqxRichParagraphDialog> dialog(NewForm<TqxRichParagraphDialog>(Application));
    dialog->RichEdit = edit;
    dialog->LoadFromRichEdit();
    if (dialog->ShowModal() != mrOk)
        return false;
    dialog->ApplyToRichEdit();
    return true;
}
