#pragma once

#include "platform/ui/stdctrls.h"

#include <string>

// The edit with an edit mask: "!99/99/0000;1;_" is the mask, whether the
// literals are part of Text (1) or not (0), and the character shown for
// blanks. Mask characters: L letter, l optional letter, A letter or digit,
// a optional one, C any character, c optional one, 0 digit, 9 optional digit,
// # optional digit or sign, > upper case, < lower case, <> no case change,
// \ the next character literally, : and / the time and date separators;
// anything else is a literal.

ORVEX_EXCEPTION(EDBEditError, Exception);

class TCustomMaskEdit : public TCustomEdit
{
public:
    explicit TCustomMaskEdit(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string EditMask() const { return editMask_; }
    void SetEditMask(const std::string &mask);
    bool IsMasked() const { return !editMask_.empty(); }
    // The text as shown: literals and blanks included.
    std::string EditText() const;
    void SetEditText(const std::string &text);
    // Raises EDBEditError when a required position is still blank.
    virtual void ValidateEdit();
    // Escape: the text goes back to what it was when the edit was entered.
    virtual void Reset();

protected:
    std::string GetText() const override;
    void SetTextValue(const std::string &text) override;
    void CreateWnd() override;
    void CMEnter(TMessage &message) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;

private:
    void ApplyMask();
    std::string editMask_;
    std::string savedText_;
};

class TMaskEdit : public TCustomMaskEdit
{
public:
    explicit TMaskEdit(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The mask in Qt's input-mask syntax (exposed for tests of the translation).
std::string MaskToInputMask(const std::string &editMask);
