// Published properties reached by name, as the translator and the data
// routines reach them.
#include <gtest/gtest.h>

#include <functional>

#include "testcomponents.h"

namespace
{

TEST(PublishedProperties, ListHoldsAncestorsFirstInRegistrationOrder)
{
    std::vector<std::string> names;
    for (const TPropInfo *p : GetPropList(TTestLabel::Class))
        names.push_back(p->Name);
    EXPECT_EQ(names,
        (std::vector<std::string> { "Name", "Tag", "Left", "Width", "Visible", "Align", "Anchors", "Color",
            "Caption", "Ratio", "Price", "Start", "Lines", "Font", "Columns", "Buddy", "OnClick", "OnKey",
            "FocusControl" }));
    EXPECT_EQ(GetPropInfo(TTestLabel::Class, "caption")->Kind, pkString);
    EXPECT_EQ(GetPropInfo(TTestLabel::Class, "Nope"), nullptr);
}

// One row per generic routine: what it does on a fresh control (owned by a
// form, with a buddy in another form) and what it must then read back.
struct AccessCase {
    const char *label;
    std::function<void(TTestControl *)> action;
    std::function<std::string(TTestControl *)> readBack;
    const char *expected; // the read-back value, or the error message
};

class PropertyAccessTest : public ::testing::TestWithParam<AccessCase>
{
};

TEST_P(PropertyAccessTest, ByName)
{
    const AccessCase &c = GetParam();
    TTestForm form;
    TTestForm other;
    auto *control = new TTestLabel(&form);
    control->SetName("Control");
    try {
        c.action(control);
        EXPECT_EQ(c.readBack(control), c.expected);
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Routines, PropertyAccessTest,
    ::testing::Values(AccessCase { "SetStrProp", [](TTestControl *c) { SetStrProp(c, "Caption", "Hola"); },
                          [](TTestControl *c) { return c->Caption(); }, "Hola" },
        AccessCase { "GetStrProp", [](TTestControl *c) { c->SetCaption("Adiós"); },
            [](TTestControl *c) { return GetStrProp(c, "CAPTION"); }, "Adiós" },
        AccessCase { "SetOrdProp", [](TTestControl *c) { SetOrdProp(c, "Width", 65535); },
            [](TTestControl *c) { return std::to_string(GetOrdProp(c, "Width")); }, "65535" },
        AccessCase { "SetOrdPropPastTheType", [](TTestControl *c) { SetOrdProp(c, "Width", 65536); },
            [](TTestControl *) { return std::string(); }, "Value 65536 is out of range for property Width" },
        AccessCase { "SetOrdPropPastTheEnumeration", [](TTestControl *c) { SetOrdProp(c, "Align", 4); },
            [](TTestControl *) { return std::string(); }, "Value 4 is out of range for property Align" },
        AccessCase { "SetEnumProp", [](TTestControl *c) { SetEnumProp(c, "Align", "alclient"); },
            [](TTestControl *c) { return GetEnumProp(c, "Align"); }, "alClient" },
        AccessCase { "SetEnumPropUnknown", [](TTestControl *c) { SetEnumProp(c, "Align", "alMiddle"); },
            [](TTestControl *) { return std::string(); }, "Invalid value alMiddle for property Align" },
        AccessCase { "BooleanByName", [](TTestControl *c) { SetEnumProp(c, "Visible", "False"); },
            [](TTestControl *c) { return GetEnumProp(c, "Visible"); }, "False" },
        AccessCase { "SetSetProp", [](TTestControl *c) { SetSetProp(c, "Anchors", "[akRight, akBottom]"); },
            [](TTestControl *c) { return GetSetProp(c, "Anchors"); }, "[akRight,akBottom]" },
        AccessCase { "SetSetPropEmpty", [](TTestControl *c) { SetSetProp(c, "Anchors", "[]"); },
            [](TTestControl *c) { return GetSetProp(c, "Anchors"); }, "[]" },
        AccessCase { "SetSetPropUnknown", [](TTestControl *c) { SetSetProp(c, "Anchors", "[akLeft,akUp]"); },
            [](TTestControl *) { return std::string(); }, "Invalid value akUp for property Anchors" },
        AccessCase { "CurrencyAsFloat", [](TTestControl *c) { SetFloatProp(c, "Price", 12.5); },
            [](TTestControl *c) { return std::to_string(c->Price().Value); }, "125000" },
        AccessCase { "CurrencyAsOrdinalIsRaw", [](TTestControl *c) { SetOrdProp(c, "Price", 7); },
            [](TTestControl *c) { return std::to_string(GetFloatProp(c, "Price")); }, "0.000700" },
        AccessCase { "NestedObject",
            [](TTestControl *c) { SetStrProp(GetObjectProp(c, "Font"), "Name", "Arial"); },
            [](TTestControl *c) { return c->Font()->Name(); }, "Arial" },
        AccessCase { "StringList",
            [](TTestControl *c) { static_cast<TStrings *>(GetObjectProp(c, "Lines"))->Add("x"); },
            [](TTestControl *c) { return c->Lines()->Strings(0); }, "x" },
        AccessCase { "ReferenceOfWrongClass", [](TTestControl *c) { SetObjectProp(c, "Buddy", c->Owner()); },
            [](TTestControl *) { return std::string(); },
            "Property Buddy takes a TTestControl, not a TTestForm" },
        AccessCase { "ReadOnlyNested", [](TTestControl *c) { SetObjectProp(c, "Columns", nullptr); },
            [](TTestControl *) { return std::string(); }, "Property Columns is read-only" },
        AccessCase { "WrongKind", [](TTestControl *c) { GetStrProp(c, "Left"); },
            [](TTestControl *) { return std::string(); }, "Invalid property type: Integer" },
        AccessCase { "Missing", [](TTestControl *c) { GetOrdProp(c, "Nope"); },
            [](TTestControl *) { return std::string(); }, "Property Nope does not exist" },
        AccessCase { "BindHandler",
            [](TTestControl *c) { SetMethodProp(c, "OnClick", c->Owner(), "ButtonClick"); },
            [](TTestControl *c) { return GetMethodName(c, "OnClick"); }, "ButtonClick" },
        AccessCase { "BindUnknownHandler",
            [](TTestControl *c) { SetMethodProp(c, "OnClick", c->Owner(), "Nope"); },
            [](TTestControl *) { return std::string(); }, "Handler Nope does not exist in TTestForm" },
        AccessCase { "BindHandlerOfWrongSignature",
            [](TTestControl *c) { SetMethodProp(c, "OnKey", c->Owner(), "ButtonClick"); },
            [](TTestControl *) { return std::string(); }, "Handler ButtonClick does not fit event OnKey" },
        AccessCase { "UnbindHandler",
            [](TTestControl *c) {
                SetMethodProp(c, "OnClick", c->Owner(), "ButtonClick");
                SetMethodProp(c, "OnClick", c->Owner(), "");
            },
            [](TTestControl *c) { return std::string(c->OnClick ? "bound" : "clear"); }, "clear" }),
    [](const auto &info) { return std::string(info.param.label); });

// The stored rules decide what the writer writes.
TEST(PublishedProperties, StoredFollowsDefaultsAndPredicates)
{
    TTestControl c(nullptr);
    struct Row {
        const char *name;
        bool stored;
    };
    for (Row row : { Row { "Left", false }, Row { "Width", false }, Row { "Anchors", false },
             Row { "Caption", false }, Row { "Lines", false }, Row { "Columns", false },
             Row { "Buddy", false }, Row { "OnClick", false } })
        EXPECT_EQ(IsStoredProp(&c, row.name), row.stored) << row.name;
    c.SetLeft(1);
    c.SetWidth(0);
    c.SetAnchors({});
    c.SetCaption("x");
    c.Lines()->Add("a");
    c.Columns()->Add();
    for (const char *name : { "Left", "Width", "Anchors", "Caption", "Lines", "Columns" })
        EXPECT_TRUE(IsStoredProp(&c, name)) << name;
    c.SetCaption("(auto)");
    EXPECT_FALSE(IsStoredProp(&c, "Caption")) << "its predicate says no";
}

} // namespace
