#include "platform/ui/dialogs.h"

#include <algorithm>
#include <memory>

#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

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
