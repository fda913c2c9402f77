#pragma once

// Small component classes with a property of every kind, and form roots with
// handlers and fields, shared by the tests of this folder.

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/strings.h"

// What the test classes did, in order: "Loaded Panel1", "~Button1", ...
extern std::vector<std::string> Journal;
// Test components alive now.
extern int LiveComponents;

enum TTestAlign { alNone, alTop, alBottom, alClient };
enum TTestAnchor { akLeft, akTop, akRight, akBottom };
using TTestAnchors = TSet<TTestAnchor>;
enum TTestFontStyle { fsBold, fsItalic, fsUnderline };
using TTestFontStyles = TSet<TTestFontStyle>;
enum TTestColumnKind { ckText, ckNumber, ckDate };
constexpr int clRed = 0x0000FF;
constexpr int clWindow = static_cast<int>(0x80000005u);

class TTestFont : public TPersistent
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    const std::string &Name() const { return name_; }
    void SetName(const std::string &name) { name_ = name; }
    int Size() const { return size_; }
    void SetSize(int size) { size_ = size; }
    TTestFontStyles Style() const { return style_; }
    void SetStyle(TTestFontStyles style) { style_ = style; }

private:
    std::string name_;
    int size_ = 8;
    TTestFontStyles style_;
};

class TTestColumn : public TCollectionItem
{
public:
    explicit TTestColumn(TCollection *collection)
        : TCollectionItem(collection)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    const std::string &Title() const { return title_; }
    void SetTitle(const std::string &title) { title_ = title, Changed(false); }
    int Width() const { return width_; }
    void SetWidth(int width) { width_ = width, Changed(false); }
    TTestColumnKind Kind() const { return kind_; }
    void SetKind(TTestColumnKind kind) { kind_ = kind; }

private:
    std::string title_;
    int width_ = 64;
    TTestColumnKind kind_ = ckText;
};

class TTestColumns : public TCollection
{
public:
    TTestColumns()
        : TCollection(TTestColumn::Class)
    {
    }
    int Updates = 0; // Update calls
    TCollectionItem *LastUpdated = nullptr;

protected:
    void Update(TCollectionItem *item) override { ++Updates, LastUpdated = item; }
};

class TTestControl : public TComponent
{
public:
    explicit TTestControl(TComponent *owner);
    ~TTestControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int Left() const { return left_; }
    void SetLeft(int left) { left_ = left; }
    uint16_t Width() const { return width_; }
    void SetWidth(uint16_t width) { width_ = width; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    TTestAlign Align() const { return align_; }
    void SetAlign(TTestAlign align) { align_ = align; }
    TTestAnchors Anchors() const { return anchors_; }
    void SetAnchors(TTestAnchors anchors) { anchors_ = anchors; }
    int Color() const { return color_; }
    void SetColor(int color) { color_ = color; }
    const std::string &Caption() const { return caption_; }
    void SetCaption(const std::string &caption);
    bool IsCaptionStored() const { return caption_ != "(auto)"; }
    double Ratio() const { return ratio_; }
    void SetRatio(double ratio) { ratio_ = ratio; }
    Currency Price() const { return price_; }
    void SetPrice(Currency price) { price_ = price; }
    double Start() const { return start_; }
    void SetStart(double start) { start_ = start; }
    TStrings *Lines() const { return lines_.get(); }
    TTestFont *Font() const { return font_.get(); }
    void SetFont(TTestFont *font) { font_->Assign(font); }
    TTestColumns *Columns() const { return columns_.get(); }
    TTestControl *Buddy() const { return buddy_; }
    void SetBuddy(TTestControl *buddy);

    TNotifyEvent OnClick;
    TEvent<TObject *, int &> OnKey;

    // Defined properties: a list of integers and a block of bytes.
    std::vector<int> Extra;
    std::string Blob;

    TTestControl *Parent() const { return parent_; }
    bool HasParent() const override { return parent_ != nullptr; }
    TComponent *GetParentComponent() const override { return parent_; }
    void SetParentComponent(TComponent *parent) override { parent_ = dynamic_cast<TTestControl *>(parent); }

    // What Loaded saw: csLoading set, and the buddy already resolved.
    bool LoadedWhileLoading = false;
    std::string BuddyAtLoaded;

protected:
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void DefineProperties(TFiler &filer) override;

private:
    int left_ = 0;
    uint16_t width_ = 100;
    bool visible_ = true;
    TTestAlign align_ = alNone;
    TTestAnchors anchors_ { akLeft, akTop };
    int color_ = clWindow;
    std::string caption_;
    double ratio_ = 0;
    Currency price_;
    double start_ = 0;
    std::unique_ptr<TStringList> lines_;
    std::unique_ptr<TTestFont> font_;
    std::unique_ptr<TTestColumns> columns_;
    TTestControl *buddy_ = nullptr;
    TTestControl *parent_ = nullptr;
};

class TTestLabel : public TTestControl
{
public:
    using TTestControl::TTestControl;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TTestControl *FocusControl() const { return focus_; }
    void SetFocusControl(TTestControl *control) { focus_ = control; }

    // A label read from a resource starts at Left -1 unless the resource says
    // otherwise, as a class that marks old resources does. With
    // SkipInheritedReadState its ReadState forgets the inherited call.
    static inline bool SkipInheritedReadState = false;

protected:
    void Notification(TComponent *component, TOperation operation) override;
    void ReadState(TReader &reader) override;

private:
    TTestControl *focus_ = nullptr;
};

// A root, as a form is: a caption, handlers and component fields.
class TTestForm : public TComponent
{
public:
    explicit TTestForm(TComponent *owner = nullptr)
        : TComponent(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &Caption() const { return caption_; }
    void SetCaption(const std::string &caption) { caption_ = caption; }
    TNotifyEvent OnCreate;

    TTestControl *Button1 = nullptr;
    TTestLabel *Label1 = nullptr;

    // Handlers; each leaves its name in the journal.
    void FormCreate(TObject *sender);
    void ButtonClick(TObject *sender);
    void KeyPress(TObject *sender, int &key);

protected:
    void Loaded() override;

private:
    std::string caption_;
};

// Two form classes whose resources are compiled in (base.dfm, derived.dfm).
class TTestBaseForm : public TTestForm
{
public:
    using TTestForm::TTestForm;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TTestControl *Ok = nullptr;
    void OkClick(TObject *sender);
};

class TTestDerivedForm : public TTestBaseForm
{
public:
    using TTestBaseForm::TTestBaseForm;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TTestControl *Cancel = nullptr;
};

// A nested root made with a component of its own, as a frame is.
class TTestFrame : public TComponent
{
public:
    explicit TTestFrame(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TTestControl *Inner;
};

// A component that frees another one in its destructor, and forgets it when
// told of its removal.
class TTestKiller : public TComponent
{
public:
    using TComponent::TComponent;
    ~TTestKiller() override { delete victim; }
    TComponent *victim = nullptr;

protected:
    void Notification(TComponent *component, TOperation operation) override;
};

// Records the notifications it receives.
class TTestWatcher : public TComponent
{
public:
    using TComponent::TComponent;
    std::vector<std::string> heard;
    TComponent *watched = nullptr;

protected:
    void Notification(TComponent *component, TOperation operation) override;
};
