#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/classes/filer.h"
#include "platform/ui/graphics.h"
#include "platform/ui/stdctrls.h"
#include "tree_support.h"

using namespace tree_test;

namespace
{

std::vector<TBaseKelvaraForm *> ListedForms()
{
    std::vector<TBaseKelvaraForm *> forms;
    for (int i = 0; i < KelvaraFormList()->Count(); ++i)
        forms.push_back(KelvaraFormList()->Items(i));
    return forms;
}

TEST(KelvaraForms, JoinTheListWhileTheyLive)
{
    const auto before = ListedForms();
    auto first = std::make_unique<TBaseKelvaraForm>(nullptr);
    auto second = std::make_unique<TBaseKelvaraForm>(nullptr);
    auto third = std::make_unique<TBaseKelvaraForm>(nullptr);
    auto expected = before;
    expected.insert(expected.end(), { first.get(), second.get(), third.get() });
    EXPECT_EQ(ListedForms(), expected);

    second.reset();
    expected.erase(expected.end() - 2);
    EXPECT_EQ(ListedForms(), expected);
    first.reset();
    third.reset();
    EXPECT_EQ(ListedForms(), before);
    EXPECT_THROW(KelvaraFormList()->Items(KelvaraFormList()->Count()), EListError);
}

TEST(KelvaraForms, StartInEnglishReadyToFollowTheTranslator)
{
    TBaseKelvaraForm form(nullptr);
    EXPECT_TRUE(form.AutoSetFont());
    EXPECT_TRUE(form.AutoTranslate());
    EXPECT_EQ(form.Container(), nullptr);
    EXPECT_EQ(form.CurrentLanguage(), klEnglish);
    EXPECT_FALSE(form.OverrideMainTranslator());
    EXPECT_EQ(form.TranslateIntoLanguage(), klUser);
    EXPECT_EQ(form.Font()->Charset(), 0);
}

TEST(KelvaraForms, ForgetTheirInstallObjectWhenItIsFreed)
{
    TTreeRoot setup;
    TBaseKelvaraForm form(nullptr);
    auto *group = new TTreeGroup(&setup);
    form.SetContainer(group);
    EXPECT_EQ(form.Container(), group);
    delete group;
    EXPECT_EQ(form.Container(), nullptr);
}

TEST(KelvaraForms, AContainerPlacedOnAFormBringsTheStandardSpecifiers)
{
    ASSERT_EQ(PathSpecifierList()->Count(), 0) << "left over by another test";
    TForm form(nullptr);
    new TTreeFile(&form);
    EXPECT_NE(form.FindComponent("psContainerDestDir"), nullptr);
    EXPECT_EQ(PathSpecifierList()->Count(), 14);
    new TTreeGroup(&form);
    EXPECT_EQ(PathSpecifierList()->Count(), 14) << "only the missing ones";
}

TEST(KelvaraForms, TranslateIntoTheTranslatorsOrTheirOwnLanguage)
{
    TBaseKelvaraForm form(nullptr);
    ReadComponentText(&form, R"(object Page: TForm
  object MainTranslator: TTranslator
    lgEnglish.Strings.Strings = (
      '5;Next >')
    lgSpanish.Strings.Strings = (
      '5;Siguiente >')
    TranslateIntoLanguage = klSpanish
  end
  object Next: TButton
    Caption = 'Next >'
  end
end
)",
        "page.dfm");
    auto *next = static_cast<TButton *>(form.FindComponent("Next"));
    ASSERT_EQ(GlobalTranslator(), form.FindComponent("MainTranslator"));

    form.Translate();
    EXPECT_EQ(next->Caption(), "Siguiente >");
    EXPECT_EQ(form.CurrentLanguage(), klSpanish);

    form.SetOverrideMainTranslator(true);
    form.SetTranslateIntoLanguage(klEnglish);
    form.Translate();
    EXPECT_EQ(next->Caption(), "Next >") << "its own target, from the language it is in now";
    EXPECT_EQ(form.CurrentLanguage(), klEnglish);

    form.SetAutoTranslate(false);
    form.SetTranslateIntoLanguage(klSpanish);
    form.Translate();
    EXPECT_EQ(next->Caption(), "Next >");
    EXPECT_EQ(form.CurrentLanguage(), klEnglish);
}

} // namespace
