#pragma once

#include "platform/rich/richdoc.h"
#include "platform/rich/richedit.h"
#include "platform/ui/stdctrls.h"

#include <memory>
#include <string>

// The rich edit control: a memo whose text carries character and paragraph
// formats, read and written as RTF. Its document lives with the control, not
// with the window, so content, formats and undo survive when the window is
// made again; every EM_ message works with or without a window.

class TCustomRichEdit;
class IRichEditOleCallback;

ORVEX_EXCEPTION(EOutOfResources, EOutOfMemory);

enum TNumberingStyle { nsNone, nsBullet };
enum TAttributeType { atSelected, atDefaultText };

// The installed face that painting uses for one of the class library's stock
// face names ("MS Sans Serif", "System"); any other name as it is.
std::string InstalledFaceName(const std::string &name);

// The character attributes of the selection, or the defaults for new text.
class TTextAttributes : public TPersistent
{
public:
    TTextAttributes(TCustomRichEdit *richEdit, TAttributeType type);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string Name() const;
    void SetName(const std::string &name);
    int Size() const; // points
    void SetSize(int size);
    int Height() const; // pixels
    void SetHeight(int height);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    TColor Color() const;
    void SetColor(TColor color);
    int Charset() const;
    void SetCharset(int charset);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch pitch);
    bool Protected() const;
    void SetProtected(bool value);
    int ConsistentAttributes() const; // CFM_ bits alike over the whole selection
    void Assign(const TPersistent *source) override;

private:
    CHARFORMAT Get() const;
    void Set(const CHARFORMAT &format);
    TCustomRichEdit *richEdit_;
    TAttributeType type_;
};

// The paragraph attributes of the selected paragraphs. Indents are pixels
// of the screen, tabs too, as the platform gives them.
class TParaAttributes : public TPersistent
{
public:
    explicit TParaAttributes(TCustomRichEdit *richEdit);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TAlignment Alignment() const;
    void SetAlignment(TAlignment alignment);
    int FirstIndent() const;
    void SetFirstIndent(int value);
    int LeftIndent() const;
    void SetLeftIndent(int value);
    int RightIndent() const;
    void SetRightIndent(int value);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle numbering);
    int Tab(int index) const;
    void SetTab(int index, int value);
    int TabCount() const;
    void SetTabCount(int count);
    void Assign(const TPersistent *source) override;

private:
    PARAFORMAT2 Get() const;
    void Set(PARAFORMAT2 &format);
    TCustomRichEdit *richEdit_;
};

using TRichEditResizeEvent = TEvent<TObject *, TRect>;
using TRichEditProtectChange = TEvent<TObject *, int, int, bool &>; // start, end, allow
using TRichEditSaveClipboard = TEvent<TObject *, int, int, bool &>; // objects, characters, save

class TCustomRichEdit : public TCustomMemo
{
public:
    explicit TCustomRichEdit(TComponent *owner);
    ~TCustomRichEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Content: Lines reads and writes RTF unless PlainText is set.
    TStrings *Lines() const;
    void SetLines(TStrings *lines);
    bool PlainText() const;
    void SetPlainText(bool plainText);
    TRichDocument Document() const;
    void SetDocument(const TRichDocument &document);
    void Clear();

    // Attributes
    TTextAttributes *DefAttributes() const;
    void SetDefAttributes(TTextAttributes *attributes);
    TTextAttributes *SelAttributes() const;
    void SetSelAttributes(TTextAttributes *attributes);
    TParaAttributes *Paragraph() const;

    // Behaviour
    bool HideScrollBars() const;
    void SetHideScrollBars(bool hide);
    TRect PageRect() const; // printer pixels; empty: the whole printable page
    void SetPageRect(const TRect &rect);

    // Searching and printing
    int FindText(const std::string &searchText, int startPos, int length, WPARAM options);
    virtual void Print(const std::string &caption);

    TNotifyEvent OnSelectionChange;
    TRichEditProtectChange OnProtectChange;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditSaveClipboard OnSaveClipboard;

    // Conversions between screen pixels of indents and twips.
    static int PixelsToTwips(int pixels);
    static int TwipsToPixels(int twips);

protected:
    virtual void SelectionChange();
    virtual void RequestSize(const TRect &rect);
    std::string GetText() const override;
    void SetTextValue(const std::string &text) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Dispatch(TMessage &message) override;
    // The rich edit window's own handling of the messages.
    void DefaultHandler(TMessage &message) override;
    virtual void CNNotify(TMessage &message);
    LRESULT FormatRange(bool render, FORMATRANGE *range);
    bool LinkNotify(TMessage &message);
    // The text changed; OnChange fires unless the event mask leaves ENM_CHANGE out.
    void Change() override;
    void CMTextChanged(TMessage &message) override;

public:
    struct RichImpl;

private:
    std::unique_ptr<RichImpl> const r;
    friend struct TRichAccess;
};

class TRichEdit : public TCustomRichEdit
{
public:
    explicit TRichEdit(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
