#pragma once

#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

#include <map>
#include <string>

class TqxCustomRichEdit;

// The tab dialog of the rich edit: the selected paragraphs' tab stops, in
// the edit's measurement units, kept in order.
class TqxRichTabDialog : public TForm
{
public:
    explicit TqxRichTabDialog(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TButton *OKButton = nullptr;
    TGroupBox *GroupBox1 = nullptr;
    TEdit *Edit1 = nullptr;
    TListBox *ListBox1 = nullptr;
    TButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;

    TqxCustomRichEdit *RichEdit = nullptr;
    void LoadFromRichEdit();
    void ApplyToRichEdit();

    // Handlers
    void Button4Click(TObject *sender);
    void SetButtonClick(TObject *sender);
    void Button2Click(TObject *sender);
    void Edit1Enter(TObject *sender);
    void Edit1Exit(TObject *sender);
    void Edit1KeyPress(TObject *sender, char32_t &key);
    void OKButtonClick(TObject *sender);

private:
    // Takes the entry into the list; false when it was refused.
    bool SetEntry();
    // The stops the paragraph had, by their text: a stop left in the list
    // goes back as it was, its alignment and exact position kept.
    std::map<std::string, int> loadedStops_;
};

// Shows the dialog for the edit's selection; true when it was confirmed and applied.
bool qxExecuteTabDialog(TqxCustomRichEdit *edit);
