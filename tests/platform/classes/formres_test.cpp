// Form resources: reading every construct, writing them back, inherited
// resources, references, Loaded, and malformed texts.
#include <gtest/gtest.h>

#include "testcomponents.h"

namespace
{

class FormResourceTest : public ::testing::Test
{
protected:
    void SetUp() override { Journal.clear(); }
    void TearDown() override { EXPECT_EQ(LiveComponents, 0) << "a test component leaked"; }
};

// Every kind of property, a nested object, a forward reference (Buddy),
// handlers, defined properties; exactly as the writer lays it out.
const char *const FullResource = R"(object Main: TTestForm
  Caption = 'Calculadora ñ'#13#10'línea'
  OnCreate = FormCreate
  object Panel1: TTestControl
    Tag = 7
    Left = -12
    Width = 65535
    Visible = False
    Align = alClient
    Anchors = []
    Color = clRed
    Caption = 'It''s'
    Ratio = 0.25
    Price = 1234.5678
    Start = 45000.5
    Lines.Strings = (
      'uno'
      ''
      'tres')
    Font.Name = 'Arial'
    Font.Size = 12
    Font.Style = [fsBold, fsUnderline]
    Columns = <
      item
        Title = 'Uno'
        Width = 10
      end
      item
        Kind = ckNumber
      end>
    Buddy = Button1
    OnClick = ButtonClick
    OnKey = KeyPress
    Extra = (
      1
      -2
      3)
    Blob = {
      00FF7F}
    object Button1: TTestControl
      Color = 16711680
      Caption = 'OK'
      OnClick = ButtonClick
    end
  end
  object Label1: TTestLabel
    Left = -1
    Price = -0.5
    FocusControl = Panel1
  end
end
)";

TEST_F(FormResourceTest, ReadsEveryConstruct)
{
    TTestForm form;
    ReadComponentText(&form, FullResource, "full.dfm");

    EXPECT_EQ(form.Name(), "Main");
    EXPECT_EQ(form.Caption(), "Calculadora ñ\r\nlínea");
    ASSERT_EQ(form.ComponentCount(), 3);
    auto *panel = static_cast<TTestControl *>(form.FindComponent("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Owner(), &form);
    EXPECT_EQ(panel->Parent(), nullptr);
    EXPECT_EQ(form.Button1->Parent(), panel) << "nesting gives the parent";
    EXPECT_EQ(form.Label1, form.FindComponent("Label1")) << "fields are filled";

    EXPECT_EQ(panel->Tag(), 7);
    EXPECT_EQ(panel->Left(), -12);
    EXPECT_EQ(panel->Width(), 65535);
    EXPECT_FALSE(panel->Visible());
    EXPECT_EQ(panel->Align(), alClient);
    EXPECT_TRUE(panel->Anchors().Empty());
    EXPECT_EQ(panel->Color(), clRed);
    EXPECT_EQ(panel->Caption(), "It's");
    EXPECT_EQ(panel->Ratio(), 0.25);
    EXPECT_EQ(panel->Price().Value, 12345678);
    EXPECT_EQ(panel->Start(), 45000.5);
    EXPECT_EQ(panel->Lines()->Text(), "uno\r\n\r\ntres\r\n");
    EXPECT_EQ(panel->Font()->Name(), "Arial");
    EXPECT_EQ(panel->Font()->Size(), 12);
    EXPECT_EQ(panel->Font()->Style(), (TTestFontStyles { fsBold, fsUnderline }));
    ASSERT_EQ(panel->Columns()->Count(), 2);
    auto *col0 = static_cast<TTestColumn *>(panel->Columns()->Items(0));
    auto *col1 = static_cast<TTestColumn *>(panel->Columns()->Items(1));
    EXPECT_EQ(col0->Title(), "Uno");
    EXPECT_EQ(col0->Width(), 10);
    EXPECT_EQ(col1->Kind(), ckNumber);
    EXPECT_EQ(col1->Width(), 64);
    EXPECT_EQ(panel->Buddy(), form.Button1);
    EXPECT_EQ(panel->Extra, (std::vector<int> { 1, -2, 3 }));
    EXPECT_EQ(panel->Blob, std::string("\x00\xFF\x7F", 3));
    EXPECT_EQ(form.Label1->FocusControl(), panel);
    EXPECT_EQ(form.Label1->Price().Value, -5000);

    // Bound handlers call the form's methods and keep their names.
    EXPECT_EQ(panel->OnClick.HandlerName(), "ButtonClick");
    panel->OnClick(panel);
    int key = 13;
    panel->OnKey(panel, key);
    form.OnCreate(&form);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(Journal.back(), "FormCreate");
    EXPECT_EQ(Journal[Journal.size() - 3], "ButtonClick Panel1");
    EXPECT_EQ(Journal[Journal.size() - 2], "KeyPress 13");
}

TEST_F(FormResourceTest, WritesBackWhatItRead)
{
    TTestForm form;
    ReadComponentText(&form, FullResource, "full.dfm");
    const std::string written = WriteComponentText(&form);
    EXPECT_EQ(written, FullResource);

    TTestForm again;
    ReadComponentText(&again, written, "again.dfm");
    EXPECT_EQ(WriteComponentText(&again), FullResource);
}

TEST_F(FormResourceTest, WriterLeavesOutDefaultsAndUnstoredValues)
{
    TTestForm form;
    form.SetName("Plain");
    auto *c = new TTestControl(&form);
    c->SetName("C");
    c->SetCaption("(auto)"); // its stored rule says no
    c->OnClick = TNotifyEvent([](TObject *) {}); // bound in code, no handler name
    EXPECT_EQ(WriteComponentText(&form), "object Plain: TTestForm\n  object C: TTestControl\n  end\nend\n");
}

TEST_F(FormResourceTest, ReaderAcceptsEveryNotation)
{
    // A byte order mark, keywords in any case, hex numbers, continued
    // strings with character codes, typed floats, exponent, item indexes,
    // dotted and nil references.
    const char *text = "\xEF\xBB\xBF"
                       "OBJECT Main: TTestForm\n"
                       "  caption = 'a' +\n"
                       "    'b'#$41#66'''' +\n"
                       "    #241\n"
                       "  object Panel1: TTestControl\n"
                       "    Left = -$10\n"
                       "    Color = $FF\n"
                       "    Visible = true\n"
                       "    Ratio = 1.5e2\n"
                       "    Start = 2.5d\n"
                       "    Price = 1.23456c\n"
                       "    Buddy = Main.Label1\n"
                       "    Columns = <\n"
                       "      item [0]\n"
                       "        Title = 'x'\n"
                       "      end>\n"
                       "  end\n"
                       "  object Label1: TTestLabel\n"
                       "    FocusControl = nil\n"
                       "    OnClick = nil\n"
                       "  END\n"
                       "End";
    TTestForm form;
    ReadComponentText(&form, text, "notation.dfm");
    EXPECT_EQ(form.Caption(), "abAB'ñ");
    auto *panel = static_cast<TTestControl *>(form.FindComponent("Panel1"));
    EXPECT_EQ(panel->Left(), -16);
    EXPECT_EQ(panel->Color(), 255);
    EXPECT_TRUE(panel->Visible());
    EXPECT_EQ(panel->Ratio(), 150.0);
    EXPECT_EQ(panel->Start(), 2.5);
    EXPECT_EQ(panel->Price().Value, 12346);
    EXPECT_EQ(panel->Buddy(), form.Label1);
    EXPECT_EQ(panel->Columns()->Count(), 1);
    EXPECT_EQ(form.Label1->FocusControl(), nullptr);
}

TEST_F(FormResourceTest, LoadedRunsInCreationOrderAfterEveryReference)
{
    TTestForm form;
    ReadComponentText(&form, FullResource, "full.dfm");
    EXPECT_EQ(Journal,
        (std::vector<std::string> { "Loaded Main", "Loaded Panel1", "Loaded Button1", "Loaded Label1" }));
    auto *panel = static_cast<TTestControl *>(form.FindComponent("Panel1"));
    EXPECT_TRUE(panel->LoadedWhileLoading);
    EXPECT_EQ(panel->BuddyAtLoaded, "Button1") << "the forward reference was resolved before Loaded";
    for (TComponent *c : { static_cast<TComponent *>(&form), static_cast<TComponent *>(panel) }) {
        EXPECT_FALSE(c->ComponentState().Contains(csLoading));
        EXPECT_FALSE(c->ComponentState().Contains(csReading));
    }
}

TEST_F(FormResourceTest, ReferenceToAnotherRootThroughTheGlobalFinder)
{
    TTestForm other;
    other.SetName("Other");
    auto *remote = new TTestControl(&other);
    remote->SetName("Remote");
    SetFindGlobalComponent(
        [&](const std::string &name) -> TComponent * { return name == "Other" ? &other : nullptr; });
    TTestForm form;
    ReadComponentText(&form,
        "object Main: TTestForm\n  object A: TTestControl\n    Buddy = Other.Remote\n  end\nend\n",
        "global.dfm");
    SetFindGlobalComponent(nullptr);
    auto *a = static_cast<TTestControl *>(form.FindComponent("A"));
    EXPECT_EQ(a->Buddy(), remote);
    EXPECT_EQ(WriteComponentText(&form),
        "object Main: TTestForm\n  object A: TTestControl\n    Buddy = Other.Remote\n  end\nend\n");
    delete remote;
    EXPECT_EQ(a->Buddy(), nullptr) << "a reference across roots asks for a free notification";
}

TEST_F(FormResourceTest, InheritedResourceAppliesOverItsAncestor)
{
    ASSERT_NE(FindFormResource("TTestDerivedForm"), nullptr);
    EXPECT_EQ(FindFormResource("TTestDerivedForm")->FileName, "derived.dfm");
    EXPECT_EQ(FindFormResource("TTestNothing"), nullptr);

    TTestDerivedForm form;
    EXPECT_TRUE(InitInheritedComponent(&form, TTestForm::Class));
    EXPECT_EQ(form.Name(), "DerivedForm");
    EXPECT_EQ(form.Caption(), "Derived");
    ASSERT_EQ(form.ComponentCount(), 2);
    ASSERT_NE(form.Ok, nullptr);
    ASSERT_NE(form.Cancel, nullptr);
    EXPECT_EQ(form.Ok->Left(), 20) << "overridden";
    EXPECT_EQ(form.Ok->Caption(), "OK") << "kept from the ancestor";
    EXPECT_EQ(form.Ok->OnClick.HandlerName(), "OkClick");
    EXPECT_EQ(form.Cancel->Buddy(), form.Ok);
    form.Cancel->OnClick(form.Cancel);
    EXPECT_EQ(Journal.back(), "OkClick");
    // Loaded once for each component, after both layers.
    EXPECT_EQ(std::count(Journal.begin(), Journal.end(), "Loaded Ok"), 1);

    TTestBaseForm base;
    EXPECT_TRUE(InitInheritedComponent(&base, TTestForm::Class));
    EXPECT_EQ(base.Ok->Left(), 10);
    EXPECT_EQ(base.ComponentCount(), 1);

    TTestForm plain;
    EXPECT_FALSE(InitInheritedComponent(&plain, TTestForm::Class));
    try {
        ReadComponentRes("TTestNothing", &plain);
        FAIL();
    } catch (const EResNotFound &e) {
        EXPECT_EQ(e.Message(), "Resource TTestNothing not found");
    }
}

TEST_F(FormResourceTest, AFaultInALaterLayerUndoesTheEarlierOnesToo)
{
    // The derived layer holds the fault; what the base layer created goes too.
    TTestDerivedForm form;
    ASSERT_NO_THROW(ReadComponentRes("TTestBaseForm", &form));
    EXPECT_EQ(form.ComponentCount(), 1);
    TTestDerivedForm other;
    EXPECT_THROW(
        ReadComponentText(&other, "inherited D: TTestDerivedForm\n  inherited Ok: TTestControl\n  end\nend\n",
            "derived-alone.dfm"),
        EFormResourceError);
    EXPECT_EQ(other.ComponentCount(), 0);
}

struct BadCase {
    const char *label;
    const char *text;
    const char *message;
};

class MalformedResourceTest : public ::testing::TestWithParam<BadCase>
{
};

TEST_P(MalformedResourceTest, IsRefusedWithItsPositionAndLeavesNothing)
{
    const BadCase &c = GetParam();
    Journal.clear();
    {
        TTestForm form;
        try {
            ReadComponentText(&form, c.text, "bad.dfm");
            FAIL() << "accepted";
        } catch (const EFormResourceError &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(form.ComponentCount(), 0);
        EXPECT_EQ(form.Button1, nullptr);
        EXPECT_EQ(form.Label1, nullptr);
        EXPECT_FALSE(form.ComponentState().Contains(csLoading));
        EXPECT_FALSE(form.ComponentState().Contains(csReading));
        EXPECT_EQ(LiveComponents, 0);
    }
    EXPECT_EQ(LiveComponents, 0);
}

// Each text breaks one thing, most of them after a component was created.
INSTANTIATE_TEST_SUITE_P(Faults, MalformedResourceTest,
    ::testing::Values(BadCase { "UnknownClass",
                          "object Main: TTestForm\n  object Panel1: TTestControl\n  end\n  object X1: "
                          "TNoSuchClass\n  end\nend\n",
                          "bad.dfm(4,14): Class TNoSuchClass not found" },
        BadCase { "UnknownProperty",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Captio = 'x'\n  end\nend\n",
            "bad.dfm(3,5): Property Captio does not exist" },
        BadCase { "UnknownNestedProperty",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Font.Nmae = 'x'\n  end\nend\n",
            "bad.dfm(3,5): Property Font.Nmae does not exist" },
        BadCase { "StringForInteger",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Left = 'abc'\n  end\nend\n",
            "bad.dfm(3,12): Invalid value 'abc' for property Left" },
        BadCase { "UnknownEnumValue",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Align = alSideways\n  end\nend\n",
            "bad.dfm(3,13): Invalid value alSideways for property Align" },
        BadCase { "UnknownSetElement",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Anchors = [akLeft, akMiddle]\n  "
            "end\nend\n",
            "bad.dfm(3,24): Invalid value akMiddle for property Anchors" },
        BadCase { "IntegerPastItsType",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Width = 65536\n  end\nend\n",
            "bad.dfm(3,13): Value 65536 is out of range for property Width" },
        BadCase { "NumberPastInt64",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Left = 99999999999999999999\n  "
            "end\nend\n",
            "bad.dfm(3,12): Number out of range" },
        BadCase { "UnterminatedString",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Caption = 'abc\n  end\nend\n",
            "bad.dfm(3,15): Unterminated string" },
        BadCase { "MissingEnd",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Left = 1\n  end\n",
            "bad.dfm(5,1): Missing end of object Main" },
        BadCase { "MissingReference",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Buddy = Nobody\n  end\nend\n",
            "bad.dfm(3,13): Component Nobody referenced by Buddy does not exist" },
        BadCase { "ReferenceOfWrongClass",
            "object Main: TTestForm\n  object Label1: TTestLabel\n    FocusControl = Main\n  end\nend\n",
            "bad.dfm(3,20): Component Main is a TTestForm, not a TTestControl" },
        BadCase { "UnknownHandler",
            "object Main: TTestForm\n  object Button1: TTestControl\n    OnClick = NoSuchHandler\n  "
            "end\nend\n",
            "bad.dfm(3,15): Handler NoSuchHandler does not exist in TTestForm" },
        BadCase { "HandlerOfWrongSignature",
            "object Main: TTestForm\n  object Button1: TTestControl\n    OnClick = KeyPress\n  end\nend\n",
            "bad.dfm(3,15): Handler KeyPress does not fit event OnClick" },
        BadCase { "DuplicateName",
            "object Main: TTestForm\n  object Button1: TTestControl\n  end\n  object Button1: TTestControl\n "
            " end\nend\n",
            "bad.dfm(4,10): A component named Button1 already exists" },
        BadCase { "SetterRefuses",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Caption = 'boom'\n  end\nend\n",
            "bad.dfm(3,15): Caption boom refused" },
        BadCase { "WrongRootClass", "object Main: TTestControl\nend\n",
            "bad.dfm(1,14): Resource of class TTestControl cannot be read into a TTestForm" },
        BadCase { "MissingAncestor", "object Main: TTestForm\n  inherited Ghost: TTestControl\n  end\nend\n",
            "bad.dfm(2,13): Ancestor component Ghost does not exist" },
        BadCase { "FieldOfWrongClass", "object Main: TTestForm\n  object Label1: TTestControl\n  end\nend\n",
            "bad.dfm(2,18): Field Label1 of TTestForm is a TTestLabel, not a TTestControl" },
        BadCase { "TextAfterEnd",
            "object Main: TTestForm\n  object Button1: TTestControl\n  end\nend\nextra\n",
            "bad.dfm(5,1): Unexpected extra after the end of the resource" },
        BadCase { "OddBinary",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Blob = {ABC}\n  end\nend\n",
            "bad.dfm(3,16): Odd number of hexadecimal digits in binary data" },
        BadCase { "UnclosedStringList",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Lines.Strings = (\n      'a'\n  "
            "end\nend\n",
            "bad.dfm(5,3): Expected a string but found end" },
        BadCase { "UnclosedCollection",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Columns = <\n      item\n      "
            "end\n  end\nend\n",
            "bad.dfm(6,3): Expected item but found end" },
        BadCase { "InvalidCharacter",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Left = @\n  end\nend\n",
            "bad.dfm(3,12): Invalid character @" },
        BadCase { "MissingEquals",
            "object Main: TTestForm\n  object Button1: TTestControl\n    Left 5\n  end\nend\n",
            "bad.dfm(3,10): Expected '=' but found 5" },
        BadCase { "Empty", "", "bad.dfm(1,1): Expected object but found end of file" }),
    [](const auto &info) { return std::string(info.param.label); });

} // namespace

namespace
{

TEST_F(FormResourceTest, InlineFrameOverridesItsOwnComponents)
{
    const char *text = R"(object Main: TTestForm
  inline Frame1: TTestFrame
    Tag = 3
    inherited Inner: TTestControl
      Left = 5
      OnClick = ButtonClick
    end
  end
  object A: TTestControl
    Buddy = Frame1.Inner
  end
end
)";
    TTestForm form;
    ReadComponentText(&form, text, "inline.dfm");
    auto *frame = static_cast<TTestFrame *>(form.FindComponent("Frame1"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Tag(), 3);
    EXPECT_EQ(frame->Inner->Left(), 5);
    EXPECT_EQ(static_cast<TTestControl *>(form.FindComponent("A"))->Buddy(), frame->Inner);
    frame->Inner->OnClick(frame->Inner);
    EXPECT_EQ(Journal.back(), "ButtonClick Inner") << "handlers of an inline block belong to the outer root";
    EXPECT_EQ(WriteComponentText(&form), text);
}

} // namespace

namespace
{

TEST_F(FormResourceTest, ASecondFormOfOneNameGetsANumberedName)
{
    TTestForm application;
    auto *first = new TTestForm(&application);
    ReadComponentText(first, "object Main: TTestForm\nend\n", "main.dfm");
    auto *second = new TTestForm(&application);
    ReadComponentText(second, "object Main: TTestForm\nend\n", "main.dfm");
    EXPECT_EQ(first->Name(), "Main");
    EXPECT_EQ(second->Name(), "Main_1");
}

TEST_F(FormResourceTest, UnnamedComponentsRoundTrip)
{
    const char *text = "object Main: TTestForm\n  object TTestControl\n    Left = 1\n  end\nend\n";
    TTestForm form;
    ReadComponentText(&form, text, "unnamed.dfm");
    ASSERT_EQ(form.ComponentCount(), 1);
    EXPECT_EQ(form.Components(0)->Name(), "");
    EXPECT_EQ(WriteComponentText(&form), text);
}

TEST_F(FormResourceTest, AFailingLoadedUndoesTheLoad)
{
    TTestForm form;
    try {
        ReadComponentText(&form,
            "object Main: TTestForm\n  object A: TTestControl\n    Caption = 'fail on load'\n"
            "  end\nend\n",
            "loaded.dfm");
        FAIL();
    } catch (const EInvalidOperation &e) {
        EXPECT_EQ(e.Message(), "Loaded refused") << "not a resource fault: no position";
    }
    EXPECT_EQ(form.ComponentCount(), 0);
    EXPECT_FALSE(form.ComponentState().Contains(csLoading));
}

} // namespace

namespace
{

TEST_F(FormResourceTest, ALoadedThatFreesALaterComponentSkipsIt)
{
    TTestForm form;
    ReadComponentText(&form,
        "object Main: TTestForm\n  object A: TTestControl\n    Caption = 'free buddy on load'\n"
        "    Buddy = B\n  end\n  object B: TTestControl\n  end\nend\n",
        "free.dfm");
    EXPECT_EQ(Journal, (std::vector<std::string> { "Loaded Main", "~B", "Loaded A" }));
    EXPECT_EQ(form.ComponentCount(), 1);
}

TEST_F(FormResourceTest, NestingIsBounded)
{
    std::string text = "object Main: TTestForm\n";
    for (int i = 0; i < 300; ++i)
        text += "object C" + std::to_string(i) + ": TTestControl\n";
    TTestForm form;
    try {
        ReadComponentText(&form, text, "deep.dfm");
        FAIL();
    } catch (const EFormResourceError &e) {
        EXPECT_EQ(e.Message(), "deep.dfm(257,1): Objects nested too deeply");
    }
    EXPECT_EQ(form.ComponentCount(), 0);
}

} // namespace

namespace
{

TEST_F(FormResourceTest, ReadStateWrapsTheReadingOfAComponent)
{
    TTestForm form;
    ReadComponentText(&form,
        "object Main: TTestForm\n  object Label1: TTestLabel\n  end\n"
        "  object Label2: TTestLabel\n    Left = 5\n  end\nend\n",
        "state.dfm");
    EXPECT_EQ(form.Label1->Left(), -1);
    EXPECT_EQ(static_cast<TTestLabel *>(form.FindComponent("Label2"))->Left(), 5);

    TTestForm broken;
    TTestLabel::SkipInheritedReadState = true;
    try {
        ReadComponentText(
            &broken, "object Main: TTestForm\n  object Label1: TTestLabel\n  end\nend\n", "state.dfm");
        ADD_FAILURE();
    } catch (const EFormResourceError &e) {
        EXPECT_EQ(e.Message(), "state.dfm(2,3): ReadState of TTestLabel did not read Label1");
    }
    TTestLabel::SkipInheritedReadState = false;
    EXPECT_EQ(broken.ComponentCount(), 0);
}

} // namespace
