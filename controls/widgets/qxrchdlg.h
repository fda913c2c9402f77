#pragma once

#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

class TqxCustomRichEdit;

// The paragraph dialog of the rich edit: indents, alignment, spacing and
// line spacing of the selected paragraphs, in the edit's measurement units.
class TqxRichParagraphDialog : public TForm
{
public:
    explicit TqxRichParagraphDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TPanel *Panel1 = nullptr;
    TLabel *IndentationLabel = nullptr, *LeftLabel = nullptr, *RightLabel = nullptr, *FirstLineLabel = nullptr;
    TLabel *AlignmentLabel = nullptr, *SpacingLabel = nullptr, *BeforeLabel = nullptr, *AfterLabel = nullptr;
    TLabel *LineSpacingLabel = nullptr, *AtLabel = nullptr;
    TPanel *IndentationBevel = nullptr, *SpacingBevel = nullptr;
    TComboBox *AlignmentCombo = nullptr;
    TEdit *LeftEdit = nullptr, *RightEdit = nullptr, *FirstLineEdit = nullptr;
    TEdit *BeforeParagraphEdit = nullptr, *AfterParagraphEdit = nullptr;
    TComboBox *LineSpacingComboBox = nullptr;
    TEdit *WithinParagraphEdit = nullptr;
    TButton *OKBtn = nullptr, *CancelBtn = nullptr;

    // The edit whose paragraphs are shown and changed
    TqxCustomRichEdit *RichEdit = nullptr;
    // Texts from the library's localisation, values from the selection.
    void LoadFromRichEdit();
    // Writes the dialog's values to the selected paragraphs.
    void ApplyToRichEdit();

    // Handlers
    void FormCreate(TObject *sender);
    void OKClick(TObject *sender);
    void LineSpacingComboBoxClick(TObject *sender);
    void LineSpacingComboBoxChange(TObject *sender);
    void WithinParagraphEditKeyPress(TObject *sender, char32_t &key);
};

// Shows the dialog for the edit's selection; true when it was confirmed and applied.
bool qxExecuteParagraphDialog(TqxCustomRichEdit *edit);

// A measurement field's text with the unit characters after the number removed.
std::string qxMeasurementNumber(const std::string &text);
// Whether a measurement field may be taken: a number from 0 to 22 inches
// (the empty text is a fault here, as nothing can be made of it). When it is
// refused for not being a number, the message to show.
bool qxValidMeasurement(TqxCustomRichEdit *edit, const std::string &text, std::string *message = nullptr);
