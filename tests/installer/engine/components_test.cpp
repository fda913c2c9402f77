#include <gtest/gtest.h>

#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/routines/routines_Components.h"
#include "platform/classes/typinfo.h"

namespace
{

TEST(UniqueComponentName, NumbersANameThatIsTaken)
{
    TComponent form(nullptr);
    auto *first = new TComponent(&form);
    UniqueComponentName(first, "MainTranslator");
    EXPECT_EQ(first->Name(), "MainTranslator");
    auto *second = new TComponent(&form);
    UniqueComponentName(second, "MainTranslator");
    EXPECT_EQ(second->Name(), "MainTranslator1");
    auto *third = new TComponent(&form);
    UniqueComponentName(third, "maintranslator");
    EXPECT_EQ(third->Name(), "maintranslator2");
    UniqueComponentName(first, "MainTranslator"); // its own name is no clash
    EXPECT_EQ(first->Name(), "MainTranslator");
}

TEST(UniqueComponentName, StopsWhenNoNumberCanHelp)
{
    TComponent form(nullptr);
    auto *component = new TComponent(&form);
    EXPECT_THROW(UniqueComponentName(component, "1st"), EComponentError);
    EXPECT_THROW(UniqueComponentName(component, "with space"), EComponentError);
    EXPECT_EQ(component->Name(), "");
}

TEST(InstallInformation, PublishesTheProductWithItsDefaults)
{
    TInstallInformation info;
    EXPECT_EQ(info.CompanyName(), "My Company");
    EXPECT_EQ(info.ProductName(), "My product");
    EXPECT_EQ(info.Version(), "1.0");
    const TClassTable *table = TInstallInformation::Class.Table();
    ASSERT_NE(table, nullptr);
    std::string published;
    for (const TPropInfo &prop : table->Props)
        published += prop.Name + "=" + prop.Default.Str + ";";
    EXPECT_EQ(published, "CompanyName=My Company;ProductName=My product;Version=1.0;");

    TInstallInformation copy;
    info.SetProductName("ORVEX Tabulo");
    copy.Assign(&info);
    EXPECT_EQ(copy.ProductName(), "ORVEX Tabulo");
}

} // namespace
