#pragma once

#include <algorithm>
#include <string>

#include "controls/widgets/qxdttext.h"
#include "platform/rtl/utf8.h"

// The edit and the data as a picker would give them to the engine: a text
// with a selection, and an optional field.
class TDateTimeTextHost : public TqxDateTimeTextHost
{
public:
    std::string text;
    int selStart = 0, selLength = 0;
    bool caretVisible = true;
    TqxDTFieldKind field = TqxDTFieldKind::None;
    std::string fieldFormat;
    bool fieldNull = false, sourceWithoutField = false, canEdit = true, modified = false, dropped = false;
    int firstDay = 0;
    int beginEdits = 0;

    std::string Text() const override { return text; }
    void SetText(const std::string &t) override
    {
        // As an edit does, a new text keeps no selection beyond its end.
        text = t;
        const int length = static_cast<int>(Utf8Length(t));
        selStart = std::min(selStart, length);
        selLength = std::min(selLength, length - selStart);
    }
    int SelStart() const override { return selStart; }
    int SelLength() const override { return selLength; }
    void SetSelection(int start, int length) override { selStart = start, selLength = length; }
    void SetCaretVisible(bool visible) override { caretVisible = visible; }
    void Repaint() override {}
    TqxDTFieldKind FieldKind() const override { return field; }
    std::string FieldDisplayFormat() const override { return fieldFormat; }
    bool FieldIsNull() const override { return fieldNull; }
    bool HasSourceWithoutField() const override { return sourceWithoutField; }
    bool BeginEdit() override { return ++beginEdits, true; }
    bool CanEdit() const override { return canEdit; }
    bool Modified() const override { return modified; }
    void SetModified(bool m) override { modified = m; }
    bool CalendarDropped() const override { return dropped; }
    int FirstDayOfWeek() const override { return firstDay; }

    std::string Selected() const
    {
        const std::u32string t = Utf8ToCodePoints(text);
        return CodePointsToUtf8(t.substr(static_cast<size_t>(selStart), static_cast<size_t>(selLength)));
    }
};
