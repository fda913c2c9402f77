#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/ui/controls.h"

// The text side of the date/time picker: how a value is shown after a display
// format, how that text splits into parts (day, month, year, hour, minute,
// second, am/pm), and how keys edit the selected part. It keeps the picker's
// editing state (value, current part, digits being typed) and reaches the
// edit window and the data only through TqxDateTimeTextHost, so it is tested
// without a window.

enum TqxDTEditDataType { qxDTEdtDate, qxDTEdtTime, qxDTEdtDateTime };
enum TDTDateFormat { dfShort, dfLong };

// The data type of the field a picker is bound to.
enum class TqxDTFieldKind { None, Date, Time, DateTime };

// One part of a shown text, as LocatePart finds it.
struct TqxDTPart {
    int Start = 0;        // characters before the part
    std::string Token;    // lower case: "dd", "mmmm", "yyyy", "hh", "nn", "ss", "am/pm", ...
    int Length = 0;       // characters the part takes in the text
    bool Found() const { return !Token.empty(); }
};

// What the engine needs of the picker it works for.
class TqxDateTimeTextHost
{
public:
    virtual ~TqxDateTimeTextHost() = default;

    // The edit: text and selection in characters
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string &text) = 0;
    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    virtual void SetSelection(int start, int length) = 0;
    virtual void SetCaretVisible(bool visible) = 0;
    virtual void Repaint() = 0;

    // The data
    virtual TqxDTFieldKind FieldKind() const = 0;        // None when no field is bound
    virtual std::string FieldDisplayFormat() const = 0;
    virtual bool FieldIsNull() const = 0;
    virtual bool HasSourceWithoutField() const = 0;      // a data source or field name, but no field
    virtual bool BeginEdit() = 0;                        // puts the dataset into edit state
    virtual bool CanEdit() const = 0;
    virtual bool Modified() const = 0;
    virtual void SetModified(bool modified) = 0;

    // The rest of the picker
    virtual bool CalendarDropped() const = 0;
    virtual int FirstDayOfWeek() const = 0;              // 0 = Monday .. 6 = Sunday
};

class TqxDateTimeText
{
public:
    explicit TqxDateTimeText(TqxDateTimeTextHost &host);
    ~TqxDateTimeText();
    TqxDateTimeText(const TqxDateTimeText &) = delete;
    TqxDateTimeText &operator=(const TqxDateTimeText &) = delete;

    // Configuration, as the picker's properties give it
    std::string DisplayFormat;
    TDTDateFormat DateFormat = dfShort;
    TqxDTEditDataType UnboundDataType = qxDTEdtDateTime;
    TDateTime MinDate = 0;
    TDateTime MaxDate = 0;
    int Epoch = 1950;
    bool AutoAdvance = true;

    // Editing state
    TDateTime Value = 0;
    int Part = 1;                // the selected part, from 1
    bool Typing = false;         // digits typed into the part wait for more
    bool Cleared = true;         // the user emptied the value

    // Kinds of value
    bool IsTimeKind() const;
    bool IsDateKind() const;
    bool IsDateOnly() const;
    bool IsDateTimeKind() const;

    // Limits in force: MinDate and MaxDate, or the years 1899 and 9999
    TDateTime UpperLimit() const;
    TDateTime LowerLimit() const;
    // The moment, or the limit it lies beyond: where a new value starts.
    TDateTime WithinLimits(TDateTime moment) const;

    // Formats and texts
    std::string ResolveDisplayFormat(bool withDefaults) const;
    std::string ExpandDisplayFormat() const;
    std::string FormatValue(TDateTime value) const;
    std::string ShownText() const;
    void ShowText();             // shows the text again after a change
    bool IsCFormat() const;

    // Parts
    int CountParts(const std::string &expandedFormat) const;
    TqxDTPart LocatePart(int part, TDateTime value) const;
    int VisiblePartCount() const;
    void SelectCurrentPart();
    // The part under x, measured with textWidth (the picker's font); commits typing first.
    void SelectPartAt(int x, const std::function<int(const std::string &)> &textWidth);

    // Editing
    // A key pressed in the picker: the VK_ code (0 when the engine swallowed
    // it) with the shift state; typed is the character the key makes, 0 when
    // none.
    void KeyDown(uint16_t &key, TShiftState shift, char32_t typed);
    void CommitTyping();
    void Paste(const std::string &text);
    void Cut();

private:
    void EditKey(uint16_t &key, TShiftState shift, char32_t typed);

    struct Impl;
    TqxDateTimeTextHost &host_;
    std::unique_ptr<Impl> const d;
};

// Format letters after a display format: helpers the picker also uses.
bool FormatHasAmPm(const std::string &format);
bool FormatHasDateParts(const std::string &format);
bool FormatHasTimeLetter(const std::string &format);

// The character a key makes on a United States keyboard, 0 when none.
char32_t qxKeyCharacter(uint16_t key, TShiftState shift);
