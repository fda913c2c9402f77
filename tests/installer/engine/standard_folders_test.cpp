#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "platform/rtl/files.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

namespace
{

const char *const ShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char *const CurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// An install object of the kind that names folders (a file).
class TPathObject : public TInstallObject
{
public:
    explicit TPathObject(TComponent *owner)
        : TInstallObject(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    int RegisteredType() const override { return rtInstallFile; }
};
const TMetaClass TPathObject::Class { "TPathObject", &TInstallObject::Class };

// A fresh emulated machine per test, a form-like owner holding the standard
// specifiers, and no install component unless a test makes one.
class PathSpecifiers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/pathspec-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        owner = std::make_unique<TComponent>(nullptr);
        EnsureStandardSpecifiers(nullptr, owner.get(), false);
    }
    void TearDown() override
    {
        SetCurrentInstall(nullptr, nullptr);
        SetInstallStartup({});
        owner.reset();
    }

    static void WriteValue(
        HKEY root, const std::string &key, const std::string &name, const std::string &value)
    {
        TRegistry reg;
        reg.SetRootKey(root);
        ASSERT_TRUE(reg.OpenKey(key, true));
        reg.WriteString(name, value);
    }
    static void DeleteValue(HKEY root, const std::string &key, const std::string &name)
    {
        TRegistry reg;
        reg.SetRootKey(root);
        ASSERT_TRUE(reg.OpenKey(key, false));
        ASSERT_TRUE(reg.DeleteValue(name));
    }
    TCustomPathSpecifier *Specifier(const char *name)
    {
        return static_cast<TCustomPathSpecifier *>(owner->FindComponent(name));
    }
    std::string MessageOf(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const Exception &e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return "no error";
    }
    template <typename T> T *Make(const char *name)
    {
        T *object = new T(owner.get());
        object->SetName(name);
        return object;
    }

    std::unique_ptr<TComponent> owner;
};

// ---- Folders from the registry, and what Windows would use without it ----------------

TEST_F(PathSpecifiers, ShellFoldersComeFromTheRegistry)
{
    WriteValue(HKEY_CURRENT_USER, ShellFolders, "Start Menu", "D:\\Menu\\");
    WriteValue(HKEY_CURRENT_USER, ShellFolders, "Programs", "D:\\Menu\\Progs");
    WriteValue(HKEY_CURRENT_USER, ShellFolders, "Desktop", "D:\\Desk\\");
    WriteValue(HKEY_CURRENT_USER, ShellFolders, "Startup", "D:\\Menu\\Progs\\Start");
    WriteValue(HKEY_LOCAL_MACHINE, CurrentVersion, "ProgramFilesDir", "E:\\Programs");
    WriteValue(HKEY_LOCAL_MACHINE, CurrentVersion, "CommonFilesDir", "E:\\Programs\\Shared\\");

    const struct {
        const char *specifier;
        const char *path;
    } cases[] = {
        { "psStartMenu", "D:\\Menu" },
        { "psProgramMenu", "D:\\Menu\\Progs" },
        { "psDesktopMenu", "D:\\Desk" },
        { "psStartupMenu", "D:\\Menu\\Progs\\Start" },
        { "psProgramFiles", "E:\\Programs" },
        { "psCommonFiles", "E:\\Programs\\Shared" },
        { "psSystem", "C:\\WINDOWS\\SYSTEM32" },
        { "psWindow", "C:\\WINDOWS" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Specifier(c.specifier)->GetPath(nullptr), c.path) << c.specifier;
}

TEST_F(PathSpecifiers, MissingValuesFallBackOnTheWindowsFolders)
{
    for (const char *name : { "Start Menu", "Programs", "Desktop", "Startup" })
        DeleteValue(HKEY_CURRENT_USER, ShellFolders, name);
    DeleteValue(HKEY_LOCAL_MACHINE, CurrentVersion, "ProgramFilesDir");
    DeleteValue(HKEY_LOCAL_MACHINE, CurrentVersion, "CommonFilesDir");

    EXPECT_EQ(GetStartMenuDir(), "C:\\WINDOWS\\Startmen");
    EXPECT_EQ(GetProgramsMenuDir(), "C:\\WINDOWS\\Startmen\\Programs");
    EXPECT_EQ(GetDesktopDir(), "C:\\WINDOWS\\Desktop");
    EXPECT_EQ(GetStartupDir(), "C:\\WINDOWS\\Startup");

    // the program files fall back on the drive of the current folder
    const std::string previous = GetCurrentDir();
    ASSERT_TRUE(ForceDirectories("D:\\Work"));
    ASSERT_TRUE(SetCurrentDir("D:\\Work"));
    const std::string programFiles = GetProgramFilesDir();
    const std::string commonFiles = GetCommonFilesDir();
    ASSERT_TRUE(SetCurrentDir(previous));
    EXPECT_EQ(programFiles, "D:\\Program Files");
    EXPECT_EQ(commonFiles, "D:\\Program Files\\Common Files");

    // a Programs value of its own still counts without a Start Menu value
    WriteValue(HKEY_CURRENT_USER, ShellFolders, "Programs", "F:\\P");
    EXPECT_EQ(Specifier("psProgramMenu")->GetPath(nullptr), "F:\\P");
}

TEST_F(PathSpecifiers, DatabaseEngineTakesTheFirstFolderOfItsList)
{
    const char *const engine = "\\Software\\Borland\\Database Engine";
    TCustomPathSpecifier *bde = Specifier("psBDEDLL");
    EXPECT_EQ(bde->GetPath(nullptr), "C:\\Program Files\\Borland\\Common Files\\BDE");
    WriteValue(HKEY_LOCAL_MACHINE, engine, "DLLPath", "D:\\BDE;E:\\Other");
    EXPECT_EQ(bde->GetPath(nullptr), "D:\\BDE");
    WriteValue(HKEY_LOCAL_MACHINE, engine, "DLLPath", "D:\\IDAPI\\;E:\\Other;");
    EXPECT_EQ(bde->GetPath(nullptr), "D:\\IDAPI");
    WriteValue(HKEY_LOCAL_MACHINE, engine, "DLLPath", "");
    EXPECT_EQ(bde->GetPath(nullptr), "C:\\Program Files\\Borland\\Common Files\\BDE");
}

// ---- Specifiers that ask the install object tree --------------------------------------

TEST_F(PathSpecifiers, ContainerSpecifiersNeedAnInstallObjectWithAContainer)
{
    TComponent *plain = Make<TComponent>("Plain1");
    auto *file = Make<TPathObject>("File1");
    TCustomPathSpecifier *destDir = Specifier("psContainerDestDir");
    TCustomPathSpecifier *archive = Specifier("psContainerArchiveFile");

    EXPECT_EQ(MessageOf([&] { destDir->GetPath(plain); }),
        "IEPathSpecifier: Plain1 must be a TInstallObject to use the psContainerDestDir path specifier");
    EXPECT_EQ(MessageOf([&] { archive->GetPath(plain); }),
        "IEPathSpecifier: Plain1 must be a TInstallObject to use the psContainerArchiveFile path specifier");
    EXPECT_EQ(MessageOf([&] { destDir->GetPath(file); }),
        "IEPathSpecifier: Cannot use ddContainerDestDir for File1 unless you assign a Container");
    EXPECT_EQ(MessageOf([&] { archive->GetPath(file); }),
        "IEPathSpecifier: Cannot use ddContainerArchiveFile for File1 unless you assign a Container");
    EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the group (container)");

    auto *folder = Make<TPathObject>("Folder1"); // a container that keeps no archive
    folder->SetDestDirType(Specifier("psProgramFiles"));
    folder->SetDestDir("\\ORVEX\\");
    file->SetContainer(folder);
    EXPECT_EQ(destDir->GetPath(file), "C:\\Program Files\\ORVEX");
    EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the <Folder1> group");
    EXPECT_EQ(MessageOf([&] { archive->GetPath(file); }),
        "IEPathSpecifier: Cannot use the ddContainerArchiveFile path specifier for File1 because the "
        "Container is not a TFileRelated descendant");

    auto *group = Make<TInstallFileGroup>("Group1");
    group->SetGroupName("Program files");
    group->SetArchiveFile("D:\\dist\\files.1");
    file->SetContainer(group);
    EXPECT_EQ(archive->GetPath(file), "D:\\dist\\files.1");
    EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the <Program files> group");
}

TEST_F(PathSpecifiers, InstallSpecifiersNeedTheInstallComponent)
{
    auto *file = Make<TPathObject>("File1");
    for (const char *name : { "psInstallSource", "psMainInstall", "psMainArchiveFile" })
        EXPECT_EQ(MessageOf([&] { Specifier(name)->GetPath(file); }),
            "IEPathSpecifier: There is no TInstall component so the path specifier could not be expanded for "
            "File1")
            << name;

    auto *install = Make<TPathObject>("Install1");
    install->SetDestDirType(Specifier("psProgramFiles"));
    install->SetDestDir("\\Tabulo");
    SetCurrentInstall(install, nullptr);
    EXPECT_EQ(Specifier("psMainInstall")->GetPath(file), "C:\\Program Files\\Tabulo");
    EXPECT_EQ(MessageOf([&] { Specifier("psMainInstall")->GetPath(install); }),
        "IEPathSpecifier: Cannot use the ddMainInstallDir path specifier for a TInstall component");

    SetInstallStartup({ "D:\\Setup", false, "" });
    EXPECT_EQ(Specifier("psInstallSource")->GetPath(file), "D:\\Setup");
    EXPECT_EQ(Specifier("psMainArchiveFile")->GetPath(file), "D:\\Setup\\files.1");
    SetInstallStartup({ "D:\\Setup", true, "Tabulo.exe" }); // started by the self-extractor
    EXPECT_EQ(Specifier("psMainArchiveFile")->GetPath(file), "D:\\Setup\\Tabulo.exe");
    SetInstallStartup({ "D:\\Setup", true, "  " });
    EXPECT_EQ(MessageOf([&] { Specifier("psMainArchiveFile")->GetPath(file); }),
        "IEInstall: You forgot to pass in the name of the self-extracting executable. Usage example: "
        "\"-eSetup.exe\"");
}

// ---- The lists ---------------------------------------------------------------------------

TEST_F(PathSpecifiers, EveryFormGetsTheStandardSetOnce)
{
    ASSERT_EQ(owner->ComponentCount(), 14);
    const char *const names[] = { "psBDEDLL", "psCommonFiles", "psContainerArchiveFile", "psContainerDestDir",
        "psDesktopMenu", "psInstallSource", "psMainInstall", "psProgramFiles", "psProgramMenu", "psStartMenu",
        "psStartupMenu", "psSystem", "psMainArchiveFile", "psWindow" };
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(owner->Components(i)->Name(), names[i]);
        EXPECT_EQ(static_cast<TCustomPathSpecifier *>(owner->Components(i))->NameText(), names[i]);
    }

    EnsureStandardSpecifiers(nullptr, owner.get(), true);
    EXPECT_EQ(owner->ComponentCount(), 14);
    EnsureStandardSpecifiers(nullptr, nullptr, false);

    // asked again for all of them, the first name in use stops it with nothing left behind
    EXPECT_EQ(MessageOf([&] { EnsureStandardSpecifiers(nullptr, owner.get(), false); }),
        "EComponentError: A component named psBDEDLL already exists");
    EXPECT_EQ(owner->ComponentCount(), 14);

    EXPECT_EQ(StandardPathSpecList()->FindByClass<TpsSystem>(), Specifier("psSystem"));
    EXPECT_EQ(PathSpecifierList()->FindByClass(TStandardPathSpecifier::Class), Specifier("psBDEDLL"));
    EXPECT_EQ(Specifier("psWindow")->GetDescription(), "Path of the Windows directory");
    EXPECT_EQ(Specifier("psStartMenu")->GetDescriptionFor(nullptr), "Path of Start Menu");
}

TEST_F(PathSpecifiers, ListsKnowOnlyLivingSpecifiers)
{
    const int all = PathSpecifierList()->Count();
    const int standard = StandardPathSpecList()->Count();
    auto custom = std::make_unique<TCustomPathSpecifier>(nullptr);
    EXPECT_EQ(PathSpecifierList()->Count(), all + 1);
    EXPECT_EQ(StandardPathSpecList()->Count(), standard);
    EXPECT_EQ(custom->GetDescription(), "Unspecified");
    EXPECT_EQ(custom->GetPath(nullptr), "");
    custom->OnGetPath = [](TComponent *, std::string &path) { path = "Q:\\Own"; };
    EXPECT_EQ(custom->GetPath(nullptr), "Q:\\Own");
    custom.reset();
    EXPECT_EQ(PathSpecifierList()->Count(), all);

    owner.reset();
    EXPECT_EQ(StandardPathSpecList()->Count(), standard - 14);
    EXPECT_EQ(MessageOf([] { StandardPathSpecList()->FindByClass<TpsWindow>(); }),
        standard == 14 ? "IEPathSpecifier: Could not find the path specifier" : "no error");
    EXPECT_EQ(MessageOf([] { PathSpecifierList()->Add(nullptr); }),
        "IEPathSpecifierList: Tried to add a nil object to the path specifier list");
}

} // namespace
