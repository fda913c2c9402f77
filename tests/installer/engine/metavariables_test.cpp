#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

namespace
{

class TLinkObject : public TInstallObject
{
public:
    explicit TLinkObject(TComponent *owner)
        : TInstallObject(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    int RegisteredType() const override { return rtShellLink; }
};
const TMetaClass TLinkObject::Class { "TLinkObject", &TInstallObject::Class };

// Shortcut texts of a product installed into "C:\Program Files\ORVEX", whose
// shortcut lives in the group "Tabulo"; the folders come from a registry with
// the values written here.
class MetaVariables : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/metavars-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        TRegistry reg;
        ASSERT_TRUE(
            reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true));
        reg.WriteString("Start Menu", "C:\\Menu");
        reg.WriteString("Programs", "C:\\Menu\\Programs\\"); // the trailing backslash goes
        reg.WriteString("Desktop", "C:\\Desktop");

        owner = std::make_unique<TComponent>(nullptr);
        EnsureStandardSpecifiers(nullptr, owner.get(), true);
        install = new TLinkObject(owner.get());
        install->SetDestDirType(StandardPathSpecList()->FindByClass<TpsProgramFiles>());
        install->SetDestDir("\\ORVEX");
        SetCurrentInstall(install, nullptr);
        group = new TLinkObject(owner.get());
        group->SetDestDirType(StandardPathSpecList()->FindByClass<TpsProgramMenu>());
        group->SetDestDir("\\Tabulo");
        link = new TLinkObject(owner.get());
        link->SetContainer(group);
        link->SetDestDirType(StandardPathSpecList()->FindByClass<TpsMainInstall>());
        link->SetDestDir("\\Bin\\");
    }
    void TearDown() override
    {
        SetCurrentInstall(nullptr, nullptr);
        owner.reset();
    }
    std::string MessageOf(const std::string &text, TInstallContainer *obj)
    {
        try {
            return "= " + ExpandMetaVariables(text, obj);
        } catch (const Exception &e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
    }

    std::unique_ptr<TComponent> owner;
    TLinkObject *install = nullptr;
    TLinkObject *group = nullptr;
    TLinkObject *link = nullptr;
};

TEST_F(MetaVariables, ExpandEachLetter)
{
    const struct {
        const char *text;
        const char *expanded;
    } cases[] = {
        { "%a\\tabulo.exe", "C:\\Program Files\\ORVEX\\Bin\\tabulo.exe" },
        { "%A", "C:\\Program Files\\ORVEX\\Bin" },
        { "%b", "C:\\Menu\\Programs" },
        { "%c\\Ayuda.lnk", "C:\\Menu\\Programs\\Tabulo\\Ayuda.lnk" },
        { "%d", "C:\\Desktop" },
        { "%F", "C:\\Program Files\\Common Files" },
        { "\"%i\\tabulo.exe\" /s", "\"C:\\Program Files\\ORVEX\\tabulo.exe\" /s" },
        { "%m", "C:\\Menu" },
        { "%p", "C:\\Program Files" },
        { "%S\\regsvr32.exe", "C:\\WINDOWS\\SYSTEM32\\regsvr32.exe" },
        { "%w", "C:\\WINDOWS" },
        { "100%%", "100%" },
        { "%%w", "%w" },
        { "a%zb%Qc", "abc" }, // unknown letters vanish with their '%'
        { "end%", "end" }, // a '%' at the end too
        { "%", "" },
        { "", "" },
        { "plain text", "plain text" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(MessageOf(c.text, link), std::string("= ") + c.expanded) << c.text;
}

TEST_F(MetaVariables, NameWhatIsMissing)
{
    EXPECT_EQ(MessageOf("%a", nullptr),
        "EAICannotExpandContainerDirMV: Cannot expand the %a meta variable because the component is Nil");
    EXPECT_EQ(MessageOf("%c", nullptr),
        "EAICannotExpandContainerDirMV: Cannot expand the %c meta variable because the component is Nil");
    EXPECT_EQ(MessageOf("%c", group),
        "EAICannotExpandContainerDirMV: Cannot expand the %c meta variable because the Container property is "
        "Nil");
    EXPECT_EQ(MessageOf("%w %c", install), MessageOf("%c", group));
    EXPECT_EQ(MessageOf("%w", nullptr), "= C:\\WINDOWS"); // letters that need no object do without
    SetCurrentInstall(nullptr, nullptr);
    EXPECT_EQ(MessageOf("%i", link),
        "EAICannotExpandInstallDirMV: Cannot expand the %i meta variable because there is no TInstall "
        "component");
}

} // namespace
