#include "testcomponents.h"

std::vector<std::string> Journal;
int LiveComponents = 0;

// clang-format off
static const TEnumNames AlignNames{"alNone", "alTop", "alBottom", "alClient"};
static const TEnumNames AnchorNames{"akLeft", "akTop", "akRight", "akBottom"};
static const TEnumNames FontStyleNames{"fsBold", "fsItalic", "fsUnderline"};
static const TEnumNames ColumnKindNames{"ckText", "ckNumber", "ckDate"};
static const TIdentMap ColorIdents{{"clRed", clRed}, {"clWindow", clWindow}};

const TMetaClass TTestFont::Class{"TTestFont", &TPersistent::Class};
const TMetaClass TTestColumn::Class{"TTestColumn", &TCollectionItem::Class};
const TMetaClass TTestControl::Class{"TTestControl", &TComponent::Class};
const TMetaClass TTestLabel::Class{"TTestLabel", &TTestControl::Class};
const TMetaClass TTestForm::Class{"TTestForm", &TComponent::Class};
const TMetaClass TTestFrame::Class{"TTestFrame", &TComponent::Class};
const TMetaClass TTestBaseForm::Class{"TTestBaseForm", &TTestForm::Class};
const TMetaClass TTestDerivedForm::Class{"TTestDerivedForm", &TTestBaseForm::Class};

using PF = TPublish<TTestFont>;
static const TClassRegistrar<TTestFont> fontRegistrar({
    //         name     elements                getter             setter               default
    PF::String("Name",                          &TTestFont::Name,  &TTestFont::SetName, ""),
    PF::Integer("Size",                         &TTestFont::Size,  &TTestFont::SetSize, 8),
    PF::Set   ("Style", FontStyleNames,         &TTestFont::Style, &TTestFont::SetStyle, TTestFontStyles{}),
});

using PI = TPublish<TTestColumn>;
static const TClassRegistrar<TTestColumn> columnRegistrar({
    //          name     names              getter                setter                  default
    PI::String ("Title",                    &TTestColumn::Title,  &TTestColumn::SetTitle, ""),
    PI::Integer("Width",                    &TTestColumn::Width,  &TTestColumn::SetWidth, 64),
    PI::Enum   ("Kind",  ColumnKindNames,   &TTestColumn::Kind,   &TTestColumn::SetKind,  ckText),
});

using P = TPublish<TTestControl>;
static const TClassRegistrar<TTestControl> controlRegistrar({
    //             name       names            getter                    setter                    default               stored
    P::Integer   ("Left",                      &TTestControl::Left,      &TTestControl::SetLeft,    0),
    P::Integer   ("Width",                     &TTestControl::Width,     &TTestControl::SetWidth,   100),
    P::Boolean   ("Visible",                   &TTestControl::Visible,   &TTestControl::SetVisible, true),
    P::Enum      ("Align",    AlignNames,      &TTestControl::Align,     &TTestControl::SetAlign,   alNone),
    P::Set       ("Anchors",  AnchorNames,     &TTestControl::Anchors,   &TTestControl::SetAnchors, TTestAnchors{akLeft, akTop}),
    P::Integer   ("Color",                     &TTestControl::Color,     &TTestControl::SetColor,   clWindow).WithIdents(ColorIdents),
    P::String    ("Caption",                   &TTestControl::Caption,   &TTestControl::SetCaption, "",                   &TTestControl::IsCaptionStored),
    P::Float     ("Ratio",                     &TTestControl::Ratio,     &TTestControl::SetRatio,   0),
    P::Money     ("Price",                     &TTestControl::Price,     &TTestControl::SetPrice,   Currency()),
    P::Date      ("Start",                     &TTestControl::Start,     &TTestControl::SetStart,   0),
    P::Strings   ("Lines",                     &TTestControl::Lines),
    P::Persistent("Font",                      &TTestControl::Font,      &TTestControl::SetFont),
    P::Collection("Columns",                   &TTestControl::Columns),
    P::Component ("Buddy",                     &TTestControl::Buddy,     &TTestControl::SetBuddy),
    P::Event     ("OnClick",                   &TTestControl::OnClick),
    P::Event     ("OnKey",                     &TTestControl::OnKey),
});

using PL = TPublish<TTestLabel>;
static const TClassRegistrar<TTestLabel> labelRegistrar({
    PL::Component("FocusControl",  &TTestLabel::FocusControl,  &TTestLabel::SetFocusControl),
});

using PR = TPublish<TTestForm>;
static const TClassRegistrar<TTestForm> formRegistrar(
    {
        PR::String("Caption",  &TTestForm::Caption,  &TTestForm::SetCaption,  ""),
        PR::Event ("OnCreate", &TTestForm::OnCreate),
    },
    {
        {"FormCreate",  &TTestForm::FormCreate},
        {"ButtonClick", &TTestForm::ButtonClick},
        {"KeyPress",    &TTestForm::KeyPress},
    },
    {
        {"Button1", &TTestForm::Button1},
        {"Label1",  &TTestForm::Label1},
    });

static const TClassRegistrar<TTestBaseForm> baseFormRegistrar({}, {{"OkClick", &TTestBaseForm::OkClick}},
                                                              {{"Ok", &TTestBaseForm::Ok}});
static const TClassRegistrar<TTestDerivedForm> derivedFormRegistrar({}, {}, {{"Cancel", &TTestDerivedForm::Cancel}});
// clang-format on

void TTestFont::Assign(const TPersistent *source)
{
    if (const auto *font = dynamic_cast<const TTestFont *>(source)) {
        name_ = font->name_;
        size_ = font->size_;
        style_ = font->style_;
        return;
    }
    TPersistent::Assign(source);
}

void TTestColumn::Assign(const TPersistent *source)
{
    if (const auto *column = dynamic_cast<const TTestColumn *>(source)) {
        title_ = column->title_;
        width_ = column->width_;
        kind_ = column->kind_;
        return;
    }
    TPersistent::Assign(source);
}

TTestControl::TTestControl(TComponent *owner)
    : TComponent(owner)
    , lines_(std::make_unique<TStringList>())
    , font_(std::make_unique<TTestFont>())
    , columns_(std::make_unique<TTestColumns>())
{
    ++LiveComponents;
}

TTestControl::~TTestControl()
{
    Journal.push_back("~" + Name());
    --LiveComponents;
}

void TTestControl::SetCaption(const std::string &caption)
{
    if (caption == "boom")
        throw EInvalidOperation("Caption boom refused");
    caption_ = caption;
}

void TTestControl::SetBuddy(TTestControl *buddy)
{
    buddy_ = buddy;
    if (buddy)
        buddy->FreeNotification(this);
}

void TTestControl::Loaded()
{
    TComponent::Loaded();
    if (caption_ == "fail on load")
        throw EInvalidOperation("Loaded refused");
    if (caption_ == "free buddy on load")
        delete buddy_;
    LoadedWhileLoading = true;
    BuddyAtLoaded = buddy_ ? buddy_->Name() : "";
    Journal.push_back("Loaded " + Name());
}

void TTestControl::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == buddy_)
        buddy_ = nullptr;
}

void TTestControl::DefineProperties(TFiler &filer)
{
    TComponent::DefineProperties(filer);
    filer.DefineProperty(
        "Extra",
        [this](TReader &reader) {
            Extra.clear();
            reader.ReadListBegin();
            while (!reader.EndOfList())
                Extra.push_back(static_cast<int>(reader.ReadInteger()));
            reader.ReadListEnd();
        },
        [this](TWriter &writer) {
            writer.WriteListBegin();
            for (int v : Extra)
                writer.WriteInteger(v);
            writer.WriteListEnd();
        },
        !Extra.empty());
    filer.DefineBinaryProperty(
        "Blob",
        [this](TStream &stream) {
            Blob.resize(static_cast<size_t>(stream.Size()));
            stream.ReadBuffer(Blob.data(), stream.Size());
        },
        [this](TStream &stream) { stream.WriteBuffer(Blob.data(), static_cast<int64_t>(Blob.size())); },
        !Blob.empty());
}

void TTestLabel::Notification(TComponent *component, TOperation operation)
{
    TTestControl::Notification(component, operation);
    if (operation == opRemove && component == focus_)
        focus_ = nullptr;
}

void TTestLabel::ReadState(TReader &reader)
{
    SetLeft(-1);
    if (!SkipInheritedReadState)
        TTestControl::ReadState(reader);
}

void TTestForm::FormCreate(TObject *)
{
    Journal.push_back("FormCreate");
}
void TTestForm::ButtonClick(TObject *sender)
{
    Journal.push_back(std::string("ButtonClick ") + static_cast<TComponent *>(sender)->Name());
}
void TTestForm::KeyPress(TObject *, int &key)
{
    Journal.push_back("KeyPress " + std::to_string(key));
    key = 0;
}
void TTestForm::Loaded()
{
    TComponent::Loaded();
    Journal.push_back("Loaded " + Name());
}

static const TClassRegistrar<TTestFrame> frameRegistrar({});

// A test program's own classes: its sources are always linked.
static const bool registered = (RegisterClasses({ &TTestFont::Class, &TTestColumn::Class, &TTestControl::Class,
                                    &TTestLabel::Class, &TTestForm::Class, &TTestBaseForm::Class,
                                    &TTestDerivedForm::Class, &TTestFrame::Class }),
    true);

TTestFrame::TTestFrame(TComponent *owner)
    : TComponent(owner)
    , Inner(new TTestControl(this))
{
    Inner->SetName("Inner");
}

void TTestBaseForm::OkClick(TObject *)
{
    Journal.push_back("OkClick");
}

void TTestKiller::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == victim)
        victim = nullptr;
}

void TTestWatcher::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    heard.push_back((operation == opInsert ? "insert " : "remove ") + component->Name());
    if (operation == opRemove && component == watched)
        watched = nullptr;
}
