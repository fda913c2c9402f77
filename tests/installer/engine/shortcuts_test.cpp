// Shortcuts and link groups: how their names and targets follow from what is
// set, the main link group's rules, the files they make (read back by
// lnkinfo), their failures, and their uninstall records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/cmp_TUninstallEXE/cmp_TUninstallEXE.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "platform/system/comobj.h"
#include "platform/system/inifiles.h"
#include "platform/system/progman.h"
#include "tests/installer/engine/install_support.h"
#include "tests/support/lnkinfo.h"

namespace fs = std::filesystem;
using namespace install_test;

namespace
{

const std::string UninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tabulo";

class Shortcuts : public InstallMachine
{
protected:
    void SetUp() override
    {
        InstallMachine::SetUp();
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n"
                         "    DestDir = '\\ORVEX'\n"
                         "    DestDirType = psProgramFiles\n"
                         "    Information.ProductName = 'Tabulo'\n"
                         "    RunAutomatic = False\n"
                         "  end\n"
                         "end\n");
        install_ = InstallOf(form_.get());
    }

    static TCustomInstall *InstallOf(TComponent *form)
    {
        return static_cast<TCustomInstall *>(form->FindComponent("Install1"));
    }

    template <typename T> T *Spec() { return StandardPathSpecList()->FindByClass<T>(); }

    // A shortcut in the install to a fixed location, into C:\Links.
    TInstallShellLink *Link(const std::string &name, const std::string &location)
    {
        auto *link = new TInstallShellLink(form_.get());
        link->SetName(name);
        link->SetContainer(install_);
        link->SetDestDirType(nullptr);
        link->SetDestDir("C:\\Links");
        link->SetMethod(mtShellLinkInterface);
        link->SetObjectLocation(location);
        return link;
    }

    static std::string Message(const std::function<void()> &body)
    {
        try {
            body();
        } catch (const Exception &e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return "<no error>";
    }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
};

// ---- Names --------------------------------------------------------------------------

struct NameCase {
    const char *name;
    std::string before; // LinkName first set to this ("" leaves it blank)
    std::string value;
    std::string expected;
};
void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << c.name;
}
class LinkNames : public Shortcuts, public ::testing::WithParamInterface<NameCase>
{
};

TEST_P(LinkNames, LinkNameGetsItsExtension)
{
    auto *link = new TInstallShellLink(form_.get());
    if (!GetParam().before.empty())
        link->SetLinkName(GetParam().before);
    link->SetLinkName(GetParam().value);
    EXPECT_EQ(link->LinkName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, LinkNames,
    ::testing::Values(NameCase { "WithoutExtension", "", "Tabulo", "Tabulo.LNK" },
        NameCase { "WithLnk", "", "Tabulo.lnk", "Tabulo.lnk" },
        NameCase { "WithUrlInAnyCase", "", "Sitio.Url", "Sitio.Url" },
        NameCase { "DottedNameKeepsItsDots", "", "Tabulo 1.5", "Tabulo 1.5.LNK" },
        NameCase { "OldExtensionStays", "Sitio.url", "Otro", "Otro.url" },
        NameCase { "BlankStaysBlank", "Tabulo.lnk", "", "" }),
    [](const auto &info) { return std::string(info.param.name); });

struct LocationCase {
    const char *name;
    std::string location;
    std::string linkName;
};
void PrintTo(const LocationCase &c, std::ostream *os)
{
    *os << c.name;
}
class LocationNames : public Shortcuts, public ::testing::WithParamInterface<LocationCase>
{
};

TEST_P(LocationNames, BlankLinkNameComesFromTheLocation)
{
    TInstallShellLink *link = Link("Link1", GetParam().location);
    EXPECT_EQ(link->LinkName(), GetParam().linkName);
    // Whatever the location, the shortcut's file is one name in its folder.
    EXPECT_EQ(ExtractFilePath(link->LinkFileName()), "C:\\Links\\");
}

INSTANTIATE_TEST_SUITE_P(Rules, LocationNames,
    ::testing::Values(LocationCase { "Http", "http://www.orvex.es/tabulo", "www.orvex.es-tabulo.URL" },
        LocationCase { "HttpUpperCase", "HTTP://WWW.ORVEX.ES", "WWW.ORVEX.ES.URL" },
        LocationCase { "Ftp", "ftp://ftp.orvex.es/pub/", "ftp.orvex.es-pub-.URL" },
        LocationCase { "ClimbingPathStaysInItsFolder", "http://example.com/a/../../x", "example.com-a-..-..-x.URL" },
        LocationCase { "CharactersWindowsRefuses", "http://x.es/a?b=<c>|d*\"e\":\\f\x01", "x.es-ab=cdef.URL" },
        LocationCase { "FilePath", "C:\\Program Files\\ORVEX\\TABULO.EXE", "TABULO.LNK" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Shortcuts, ANamedShortcutKeepsItsNameWhateverTheLocation)
{
    auto *link = new TInstallShellLink(form_.get());
    link->SetLinkName("Mío.lnk");
    link->SetObjectLocation("http://www.orvex.es");
    EXPECT_EQ(link->LinkName(), "Mío.lnk");
    link->SetLinkName(".LNK");
    link->SetObjectLocation("C:\\x\\Otro.exe");
    EXPECT_EQ(link->LinkName(), "Otro.LNK");
}

TEST_F(Shortcuts, ObjectLinkNamesTheShortcutAndPointsAtTheInstalledPlace)
{
    auto *file = new TInstallFile(form_.get());
    file->SetName("Tabulo");
    file->SetContainer(install_);
    file->SetDestName("TABULO.EXE");
    auto *group = new TInstallFileGroup(form_.get());
    group->SetName("Group1");
    group->SetContainer(install_);
    group->SetGroupName("Datos");
    group->SetDestDir("\\Datos");

    auto *link = new TInstallShellLink(form_.get());
    link->SetObjectLocation("C:\\old.exe");
    link->SetObjectLink(file);
    EXPECT_EQ(link->LinkName(), "TABULO.lnk");
    EXPECT_EQ(link->ObjectLocation(), "");
    EXPECT_EQ(link->ObjectLocationType(), Spec<TpsObjectLink>());
    EXPECT_EQ(link->Container(), file); // it had none
    EXPECT_EQ(link->GetObjectPath(), "C:\\Program Files\\ORVEX\\TABULO.EXE");
    link->SetObjectLocation("ignored");
    EXPECT_EQ(link->ObjectLocation(), "");

    link->SetObjectLink(group);
    EXPECT_EQ(link->LinkName(), "Datos.lnk");
    EXPECT_EQ(link->GetObjectPath(), "C:\\Program Files\\ORVEX\\Datos");
    link->SetObjectLink(install_);
    EXPECT_EQ(link->LinkName(), "Install1.lnk");

    link->SetLinkName("Sitio.URL");
    EXPECT_EQ(link->ObjectLink(), nullptr);
    EXPECT_EQ(link->ObjectLocationType(), nullptr);
}

TEST_F(Shortcuts, ObjectLinkSpecifierServesShortcutsWithAnObjectOnly)
{
    TInstallShellLink *link = Link("Link1", "C:\\x.exe"); // makes the form's psObjectLink
    TpsObjectLink *spec = Spec<TpsObjectLink>();
    EXPECT_EQ(spec->Name(), "psObjectLink");
    EXPECT_EQ(spec->Owner(), form_.get());
    EXPECT_EQ(spec->GetDescription(), "Path of the file or file group in the ObjectLink property");
    EXPECT_EQ(Message([&] { spec->GetPath(install_); }),
        "IEPathSpecifier: Install1 must be a TCustomInstallShellLink to use the psObjectLink path specifier");
    EXPECT_EQ(Message([&] { link->SetObjectLocationType(spec); }),
        "IEPathSpecifier: Cannot use ddObjectLink for Link1 unless you assign a value to ObjectLink");
    EXPECT_EQ(link->ObjectLocationType(), nullptr);
}

// ---- The main link group -------------------------------------------------------------

TEST_F(Shortcuts, MainLinkGroupRules)
{
    EXPECT_EQ(Message([&] { new TInstallMainLink(form_.get()); }),
        "IEInstallShellLink: To create a TInstallMainLink you must first have a TMainLinkGroup component in "
        "your project");
    auto *group = new TMainLinkGroup(form_.get());
    EXPECT_EQ(MainLinkGroup(), group);
    EXPECT_EQ(group->DestDir(), "\\Tabulo");
    EXPECT_EQ(group->GetDestPath(), GetProgramsMenuDir() + "\\Tabulo");
    group->SetContainer(install_); // placed anew, as every install object is
    group->SetDestDir("\\Tabulo");
    group->SetDestDirType(Spec<TpsDesktopMenu>());
    EXPECT_EQ(group->DestDirType(), Spec<TpsProgramMenu>());
    EXPECT_EQ(group->GetDestPath(), GetProgramsMenuDir() + "\\Tabulo");
    EXPECT_EQ(Message([&] { new TMainLinkGroup(form_.get()); }),
        "IEShellLinkGroup: You can only have one TMainLinkGroup component in your project");

    auto *link = new TInstallMainLink(form_.get());
    link->SetName("Calc");
    EXPECT_EQ(link->Container(), group);
    EXPECT_EQ(link->DestDirType(), Spec<TpsContainerDestDir>());
    link->SetDestDirType(Spec<TpsSystem>());
    EXPECT_EQ(link->DestDirType(), Spec<TpsContainerDestDir>());
    EXPECT_EQ(Message([&] { link->SetContainer(install_); }),
        "IEInstallShellLink: The TMainLinkGroup component must be the Container for TInstallMainLink and "
        "TSubLinkGroup components");
    EXPECT_EQ(link->Container(), group);
    EXPECT_EQ(MainShellLinkList()->IndexOf(link), 0);

    delete group; // the group goes, and its shortcut with it
    EXPECT_EQ(MainLinkGroup(), nullptr);
    EXPECT_EQ(form_->FindComponent("Calc"), nullptr);
    EXPECT_EQ(MainShellLinkList()->Count(), 0);
}

TEST_F(Shortcuts, MainLinkGroupWithoutInstallIsNamedForTheDesigner)
{
    form_.reset();
    TSetupForm form(nullptr);
    auto *group = new TMainLinkGroup(&form);
    EXPECT_EQ(group->DestDir(), "\\MainFolderName");
}

TEST_F(Shortcuts, DeletingTheTargetDeletesTheShortcut)
{
    auto *file = new TInstallFile(form_.get());
    file->SetContainer(install_);
    file->SetDestName("TABULO.EXE");
    TInstallShellLink *link = Link("Link1", "");
    link->SetObjectLink(file);
    const int before = InstallShellLinkList()->Count();
    delete file;
    EXPECT_EQ(form_->FindComponent("Link1"), nullptr);
    EXPECT_EQ(InstallShellLinkList()->Count(), before - 1);
}

TEST_F(Shortcuts, ListsRefuseBlankEntries)
{
    EXPECT_EQ(Message([] { InstallShellLinkList()->Add(nullptr); }),
        "IEInstallShellLinkList: Cannot add a blank entry to the shell link list");
    EXPECT_EQ(Message([] { ShellLinkGroupList()->Add(nullptr); }),
        "IEInstallShellLinkList: Cannot add a blank entry to the shell link list");
}

// ---- Making the shortcut ---------------------------------------------------------------

TEST_F(Shortcuts, ShellLinkCarriesTargetArgumentsFolderAndHotKey)
{
    TInstallShellLink *link = Link("Link1", "C:\\Program Files\\ORVEX\\TABULO.EXE");
    link->SetParameters("%i\\datos 100%% %d");
    link->SetHotKey(0x0654); // Ctrl+Shift+T
    link->Process();
    const std::string host = Host("C:\\Links\\TABULO.LNK");
    ASSERT_TRUE(fs::exists(host));
    auto info = LnkInfo(host);
    EXPECT_EQ(info["Local path"], "C:\\Program Files\\ORVEX\\TABULO.EXE");
    EXPECT_EQ(info["Command line arguments"], "C:\\Program Files\\ORVEX\\datos 100% " + GetDesktopDir());
    EXPECT_EQ(info["Working directory"], "C:\\Program Files\\ORVEX");
    EXPECT_EQ(LnkHeaderHotKey(host), 0x0654);
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "Entries"), "1");
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "File1"), "C:\\Links\\TABULO.LNK");
}

TEST_F(Shortcuts, InternetShortcutIsAnIniFile)
{
    TInstallShellLink *link = Link("Web", "http://www.orvex.es/tabulo");
    link->SetDestDir("C:\\Links\\Web");
    link->Process();
    EXPECT_EQ(TIniFile("C:\\Links\\Web\\www.orvex.es-tabulo.URL").ReadString("InternetShortcut", "URL", ""),
        "http://www.orvex.es/tabulo");
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "File1"), "C:\\Links\\Web\\www.orvex.es-tabulo.URL");
}

TEST_F(Shortcuts, BlankLinkNameIsRefused)
{
    TInstallShellLink *link = Link("Link1", "");
    EXPECT_EQ(Message([&] { link->Process(); }),
        "IEInstallShellLink: The LinkName is blank for Link1 and therefore could not be installed");
}

TEST_F(Shortcuts, ShortcutToAnObjectNotInstalledIsSkipped)
{
    auto *file = new TInstallFile(form_.get());
    file->SetContainer(install_);
    file->SetDestName("TABULO.EXE");
    TInstallShellLink *link = Link("Link1", "");
    link->SetObjectLink(file);
    link->SetContainer(install_);
    link->SetDestDirType(nullptr);
    link->SetDestDir("C:\\Links");
    EXPECT_NO_THROW(link->Process());
    EXPECT_FALSE(fs::exists(Host("C:\\Links\\TABULO.lnk")));
    EXPECT_FALSE(RegKeyExists(UninstallKey + "\\Files"));
}

TEST_F(Shortcuts, ShortcutToTheUninstallerNeedsTheInstall)
{
    form_.reset();
    TSetupForm other(nullptr);
    auto *uninstall = new TUninstallEXE(&other);
    auto *shortcut = new TInstallShellLink(&other);
    shortcut->SetName("Link2");
    shortcut->SetObjectLink(uninstall);
    shortcut->SetContainer(nullptr); // not installed by the uninstaller's own step
    uninstall->TInstallContainer::InstallObjects(); // counts as installed in this run
    EXPECT_EQ(Message([&] { shortcut->InstallObjects(); }),
        "IEInstallShellLink: Link2 cannot perform operation because there is no TInstall component");
}

struct MethodCase {
    const char *name;
    const char *windowsVersion;
    TMethodType method;
    bool shellLink; // else a Program Manager item
};
void PrintTo(const MethodCase &c, std::ostream *os)
{
    *os << c.name;
}
class Methods : public Shortcuts, public ::testing::WithParamInterface<MethodCase>
{
};

TEST_P(Methods, WindowsVersionChoosesTheMethod)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false));
    reg.WriteString("CurrentVersion", GetParam().windowsVersion);
    auto *group = new TMainLinkGroup(form_.get());
    group->SetContainer(install_);
    group->SetDestDir("\\Tabulo");
    auto *link = new TInstallMainLink(form_.get());
    link->SetName("Calc");
    link->SetObjectLocation("C:\\Program Files\\ORVEX\\TABULO.EXE");
    link->SetMethod(GetParam().method);
    group->Process();
    const std::string lnk = GetProgramsMenuDir() + "\\Tabulo\\TABULO.LNK";
    EXPECT_EQ(fs::exists(Host(lnk)), GetParam().shellLink);
    TProgmanGroup pmGroup;
    EXPECT_EQ(ReadProgmanGroup("Tabulo", pmGroup), !GetParam().shellLink);
    if (!GetParam().shellLink) {
        ASSERT_EQ(pmGroup.Items.size(), 1u);
        EXPECT_EQ(pmGroup.Items[0].Name, "TABULO");
        EXPECT_EQ(pmGroup.Items[0].CommandLine, "C:\\Program Files\\ORVEX\\TABULO.EXE");
    }
    EXPECT_EQ(RegKeyExists(UninstallKey + "\\Files"), GetParam().shellLink);
}

INSTANTIATE_TEST_SUITE_P(ByVersion, Methods,
    ::testing::Values(MethodCase { "Nt4", "4.0", mtAutoDetect, true },
        MethodCase { "Xp", "5.1", mtAutoDetect, true }, MethodCase { "Nt351", "3.51", mtAutoDetect, false },
        MethodCase { "ForcedShellLink", "3.51", mtShellLinkInterface, true },
        MethodCase { "ForcedProgramManager", "5.1", mtProgramManager, false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Shortcuts, ProgramManagerItemsOnlyForTheProgramsMenu)
{
    TInstallShellLink *link = Link("Link1", "C:\\Program Files\\ORVEX\\TABULO.EXE");
    link->SetMethod(mtProgramManager);
    link->Process();
    EXPECT_TRUE(ProgmanGroupNames().empty());
    EXPECT_TRUE(ProgmanCommandLog().empty());
}

// ---- Failures -----------------------------------------------------------------------

struct ErrorCase {
    const char *name;
    HRESULT code;
    std::string text;
};
void PrintTo(const ErrorCase &c, std::ostream *os)
{
    *os << c.name;
}
class ShellErrors : public Shortcuts, public ::testing::WithParamInterface<ErrorCase>
{
};

TEST_P(ShellErrors, EachCodeHasItsText)
{
    TInstallShellLink *link = Link("Link1", "C:\\Program Files\\ORVEX\\TABULO.EXE");
    SetComFault("CoCreateInstance", GetParam().code);
    EXPECT_EQ(Message([&] { link->Process(); }),
        "IEInstallShellLink: The TCustomInstallShellLink Link1 name could not be installed. The following error "
        "was reported "
            + GetParam().text + ". Error code " + std::to_string(GetParam().code));
    EXPECT_FALSE(fs::exists(Host("C:\\Links\\TABULO.LNK")));
}

INSTANTIATE_TEST_SUITE_P(Codes, ShellErrors,
    ::testing::Values(ErrorCase { "Unexpected", E_UNEXPECTED, "Indicates an unexpected error occurred" },
        ErrorCase { "NoAggregation", CLASS_E_NOAGGREGATION,
            "Indicates this class cannot be created as part of an aggregate" },
        ErrorCase { "ClassNotRegistered", REGDB_E_CLASSNOTREG,
            "Indicates that a specified class is not registered in the registration database" },
        ErrorCase { "OutOfMemory", E_OUTOFMEMORY, "Out of memory" },
        ErrorCase { "InvalidArgument", E_INVALIDARG, "Indicates one or more arguments are invalid" },
        ErrorCase { "OtherCodeGivesItsOwnText", E_ACCESSDENIED, "Access is denied" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Shortcuts, FailuresOfTheFileAndOfOtherStepsAreReported)
{
    TInstallShellLink *link = Link("Link1", "C:\\Program Files\\ORVEX\\TABULO.EXE");
    link->SetLinkName(std::string(270, 'n') + ".lnk"); // does not fit the wide-character buffer
    EXPECT_EQ(Message([&] { link->Process(); }),
        "IEInstallShellLink: The TCustomInstallShellLink Link1 name could not be installed. The following error "
        "was reported Indicates one or more arguments are invalid. Error code -2147024809");

    auto *loose = new TInstallShellLink(form_.get());
    loose->SetName("Loose");
    loose->SetDestDir("C:\\Links");
    loose->SetObjectLocation("C:\\x.exe");
    loose->SetParameters("%c");
    EXPECT_EQ(Message([&] { loose->CreateShellLink(); }),
        "IEInstallShellLink: The TCustomInstallShellLink Loose name could not be installed. The following error "
        "was reported Cannot expand the %c meta variable because the Container property is Nil");
}

TEST_F(Shortcuts, InitializeComReportsItsCode)
{
    TInstallShellLink *link = Link("Link1", "C:\\x.exe");
    SetComFault("CoInitialize", E_OUTOFMEMORY);
    EXPECT_EQ(Message([&] { link->InitializeCom(); }),
        "IEInstallShellLink: Could not initialize IShellLink with following error code returned: -2147024882");
    SetComFault("CoInitialize", 0);
    EXPECT_NO_THROW(link->InitializeCom());
}

// ---- Uninstall records ------------------------------------------------------------------

void SetEntries(const std::string &key, const std::string &value)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("Entries", value);
}

TEST_F(Shortcuts, UninstallRecordFollowsTheEntries)
{
    SetEntries(UninstallKey + "\\Files", "3");
    Link("Link1", "C:\\x.exe")->Process();
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "Entries"), "4");
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "File4"), "C:\\Links\\x.LNK");
}

TEST_F(Shortcuts, UnreadableEntriesMoveTheRecordToTheNextKey)
{
    SetEntries(UninstallKey + "\\Files", "tres");
    SetEntries(UninstallKey + "\\Files1", "");
    Link("Link1", "C:\\x.exe")->Process();
    EXPECT_EQ(RegString(UninstallKey + "\\Files", "Entries"), "tres");
    EXPECT_EQ(RegString(UninstallKey + "\\Files1", "Entries"), "");
    EXPECT_EQ(RegString(UninstallKey + "\\Files2", "File1"), "C:\\Links\\x.LNK");
}

TEST_F(Shortcuts, UninstallRecordGivesUpAfterTheLastNumberedKey)
{
    for (int n = 0; n < MaxFileListKeys; ++n)
        SetEntries(UninstallKey + "\\Files" + (n ? std::to_string(n) : ""), "x");
    Link("Link1", "C:\\x.exe")->Process(); // the last key is still free
    EXPECT_EQ(RegString(UninstallKey + "\\Files" + std::to_string(MaxFileListKeys), "File1"), "C:\\Links\\x.LNK");

    SetEntries(UninstallKey + "\\Files" + std::to_string(MaxFileListKeys), "x");
    EXPECT_THAT(Message([&] { Link("Link2", "C:\\y.exe")->Process(); }), ::testing::StartsWith("EIRCannotWriteValue"));
}

} // namespace
