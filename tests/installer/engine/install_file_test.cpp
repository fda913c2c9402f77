// One install file: how its configuration follows its name and place, its
// uninstall records, its archive header, a kept file, a cancelled copy and
// the disk prompt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "archive_support.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/strings.h"
#include "platform/ui/services.h"
#include "platform/ui/testing.h"
#include "tests/installer/engine/install_support.h"

namespace fs = std::filesystem;
using namespace install_test;

namespace
{

class Placement : public InstallMachine
{
protected:
    TSetupForm form_ { nullptr };
};

TEST_F(Placement, HelpFilesAreRegisteredAsHelp)
{
    auto *file = new TInstallFile(&form_);
    file->SetFileName("AYUDA.CNT");
    EXPECT_TRUE(file->RegisterAsHelp());
    EXPECT_EQ(file->DestName(), "AYUDA.CNT");
    file->SetFileName("LEAME.TXT");
    EXPECT_FALSE(file->RegisterAsHelp());
}

TEST_F(Placement, AControlIsASystemWideSelfRegisteringLibrary)
{
    auto *file = new TInstallFile(&form_);
    file->SetDestDir("\\Bin");
    file->SetFileName("GRID.OCX");
    EXPECT_TRUE(file->ActiveX());
    EXPECT_EQ(file->FileType(), iftSystemWideDLL);
    EXPECT_TRUE(file->UpdateDLLCounter());
    EXPECT_EQ(file->OverwriteMode(), owVersionDate);
    ASSERT_NE(file->DestDirType(), nullptr);
    EXPECT_TRUE(file->DestDirType()->InheritsFrom(TpsSystem::Class));
    EXPECT_EQ(file->DestDir(), "");
}

// A library's file type decides its folder wherever the file is placed: made
// in a group, or moved into one after its type was chosen.
struct TypedPlacementCase {
    const char *Name;
    const char *FileName;
    TInstallFileType Type; // iftNormal: left to the name
    bool CreateInGroup; // else the type is set first and the file moved into the group
    const TMetaClass *Folder;
    const char *DestDir;
};

class TypedPlacement : public Placement, public ::testing::WithParamInterface<TypedPlacementCase>
{
};

TEST_P(TypedPlacement, FolderFollowsTheFileType)
{
    const TypedPlacementCase &c = GetParam();
    auto *group = new TInstallFileGroup(&form_);
    group->SetDestDir("\\Grupo");
    TInstallFile *file;
    if (c.CreateInGroup) {
        file = new TInstallFile(&form_, group, std::string("C:\\src\\") + c.FileName);
    } else {
        file = new TInstallFile(&form_);
        file->SetIncludeFromDir("C:\\src");
        file->SetFileName(c.FileName);
        if (c.Type != iftNormal)
            file->SetFileType(c.Type);
        file->SetContainer(group);
    }
    EXPECT_EQ(file->Container(), group);
    ASSERT_NE(file->DestDirType(), nullptr);
    EXPECT_TRUE(file->DestDirType()->InheritsFrom(*c.Folder)) << file->DestDirType()->ClassName();
    EXPECT_EQ(file->DestDir(), c.DestDir);
}

INSTANTIATE_TEST_SUITE_P(Libraries, TypedPlacement,
    ::testing::Values(
        TypedPlacementCase { "ControlMadeInAGroup", "GRID.OCX", iftNormal, true, &TpsSystem::Class, "" },
        TypedPlacementCase { "ControlMovedIntoAGroup", "GRID.OCX", iftNormal, false, &TpsSystem::Class, "" },
        TypedPlacementCase {
            "SystemLibraryMovedIntoAGroup", "MOTOR.DLL", iftSystemWideDLL, false, &TpsSystem::Class, "" },
        TypedPlacementCase { "VendorLibraryMovedIntoAGroup", "COMUN.DLL", iftVendorSharedDLL, false,
            &TpsCommonFiles::Class, "\\System" },
        TypedPlacementCase { "OwnLibraryMovedIntoAGroup", "PROPIA.DLL", iftApplicationSpecificDLL, false,
            &TpsMainInstall::Class, "\\System" },
        TypedPlacementCase {
            "PlainFileTakesTheGroupsFolder", "LEAME.TXT", iftNormal, false, &TpsContainerDestDir::Class, "" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(Placement, TwoFilesFromTheSameSourceCannotShareAContainer)
{
    auto *group = new TInstallFileGroup(&form_);
    auto *first = new TInstallFile(&form_);
    first->SetName("First");
    first->SetIncludeFromDir("C:\\src");
    first->SetFileName("A.TXT");
    first->SetContainer(group);
    auto *second = new TInstallFile(&form_);
    second->SetIncludeFromDir("c:\\SRC");
    second->SetFileName("a.txt");
    try {
        second->SetContainer(group);
        ADD_FAILURE() << "no error";
    } catch (const IEfcDuplicateFile &e) {
        EXPECT_EQ(e.Message(), "There is already a file with the name :c:\\SRC\\a.txt");
    }
    EXPECT_EQ(second->Container(), nullptr);
    EXPECT_EQ(group->ChildCount(), 1);

    // Renaming into a clash is refused too, and the old name stays.
    auto *third = new TInstallFile(&form_);
    third->SetIncludeFromDir("C:\\src");
    third->SetFileName("B.TXT");
    third->SetContainer(group);
    EXPECT_THROW(third->SetFileName("A.TXT"), IEfcDuplicateFile);
    EXPECT_EQ(third->FileName(), "B.TXT");
}

TEST_F(Placement, UninstallEntriesContinueTheNumbering)
{
    const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tabulo";
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(key + "\\Files", true));
        reg.WriteString("Entries", "3");
    }
    auto *file = new TInstallFile(&form_);
    file->SetDestDir("C:\\Tabulo");
    file->SetFileName("TABULO.EXE");
    file->WriteUninstallInfo(key);
    EXPECT_EQ(RegString(key + "\\Files", "File4"), "C:\\Tabulo\\TABULO.EXE");
    EXPECT_EQ(RegString(key + "\\Files", "Entries"), "4");

    auto *server = new TInstallFile(&form_);
    server->SetFileName("SERVER.EXE");
    server->SetActiveX(true);
    server->WriteUninstallInfo(key);
    EXPECT_EQ(RegString(key + "\\ActiveX", "File1"), "C:\\WINDOWS\\SYSTEM32\\SERVER.EXE;1");
}

TEST_F(Placement, EveryFileHasAnIdOfItsOwnAndAFullTableIsAnError)
{
    std::vector<std::unique_ptr<TInstallFile>> files;
    std::set<int> ids;
    try {
        for (int i = 0; i < UniqueIDCount + 1; ++i) {
            files.push_back(std::make_unique<TInstallFile>(nullptr));
            ids.insert(files.back()->UniqueID());
        }
        ADD_FAILURE() << "a file beyond the table was made";
    } catch (const IECustomInstallFile &e) {
        EXPECT_THAT(e.Message(), ::testing::HasSubstr("No unique id is left"));
    }
    EXPECT_EQ(ids.size(), files.size());
    const int freed = files[7]->UniqueID();
    files[7].reset();
    EXPECT_EQ(TInstallFile(nullptr).UniqueID(), freed);
}

// ---- Against a built archive ------------------------------------------------------------

class FileInstall : public SmallProduct
{
};

TEST_F(FileInstall, AHeaderOfAnotherFileIsNeverTaken)
{
    fileExtra_ = "";
    WriteSources();
    {
        auto form = LoadForm(Resource());
        static_cast<TCustomInstallFile *>(form->FindComponent("File1"))->SetInclude(false);
        InstallOf(form.get())->Compress({ coBuildMarker });
    }
    auto form = LoadForm(Resource());
    auto *missing = static_cast<TCustomInstallFile *>(form->FindComponent("File1"));
    auto *present = static_cast<TCustomInstallFile *>(form->FindComponent("File2"));
    InstallOf(form.get())->ReadArchiveInfo();
    EXPECT_TRUE(present->InfoRead());
    EXPECT_EQ(present->UncompressedSize(), static_cast<int>(files_[1].second.size()));
    EXPECT_FALSE(missing->InfoRead());
    EXPECT_EQ(missing->UncompressedSize(), 0);
}

TEST_F(FileInstall, AKeptFileStillCountsAndMovesTheProgressOn)
{
    fileExtra_ = "    OverwriteMode = owNever\n    UpdateDLLCounter = True\n";
    Build();
    std::vector<int> totals;
    for (int run = 0; run < 2; ++run) {
        if (run == 1)
            Build(" v2");
        ScriptedMessageBoxes boxes;
        auto form = LoadForm(Resource());
        totals.clear();
        InstallOf(form.get())->OnStatus
            = [&](TCustomInstallFile *, int, int total) { totals.push_back(total); };
        Run(InstallOf(form.get()));
        ASSERT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    }
    EXPECT_EQ(Slurp(install_test::Host(Installed("PROG.EXE"))), files_[0].second); // never overwritten
    EXPECT_EQ(
        RegString("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", Installed("PROG.EXE")), "2");
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 100);
}

// The copy window's Cancel only sets the archive's abort flag; it may come
// when no extraction is there to see it, and must still end the run.
class CancelledCopy : public SmallProduct
{
protected:
    // Runs the install with the hook that raises the flag; answers whether
    // the run ended as a bad install.
    bool RunCancelled(const std::function<void(TComponent *form)> &hook)
    {
        Build();
        ScriptedMessageBoxes boxes;
        auto form = LoadForm(Resource());
        bool bad = false;
        InstallOf(form.get())->OnAfterNotifyBadInstall = [&](TObject *) { bad = true; };
        hook(form.get());
        Run(InstallOf(form.get()));
        return bad;
    }
    std::vector<std::string> Folder() const
    {
        std::vector<std::string> names;
        if (fs::exists(install_test::Host("C:\\Program Files\\ORVEX")))
            for (const auto &entry : fs::directory_iterator(install_test::Host("C:\\Program Files\\ORVEX")))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(CancelledCopy, AfterTheLastCheckOfAFile)
{
    // The last file is so small that its one block passes the check before
    // the flag is raised by its progress report.
    const bool bad = RunCancelled([](TComponent *form) {
        auto *last = form->FindComponent("File2");
        InstallOf(form)->OnStatus = [last](TCustomInstallFile *file, int percent, int) {
            if (file == last && percent == 100)
                SharedArchive()->SetAbort(true);
        };
    });
    EXPECT_TRUE(bad) << "the run ends as cancelled";
    EXPECT_THAT(Folder(), ::testing::ElementsAre("PROG.EXE")) << "no new copy left beside its place";
}

TEST_F(CancelledCopy, BetweenTwoFiles)
{
    const bool bad = RunCancelled([](TComponent *form) {
        static_cast<TCustomInstallFile *>(form->FindComponent("File1"))->OnAfterInstall
            = [](TCustomInstallFile *) { SharedArchive()->SetAbort(true); };
    });
    EXPECT_TRUE(bad) << "the run ends as cancelled";
    EXPECT_THAT(Folder(), ::testing::ElementsAre("PROG.EXE")) << "the next file is not written";
}

class DiskPrompt : public SmallProduct
{
protected:
    // The archive cut into disks of 12,000 bytes; disks 2 on wait on the
    // floppy drive.
    void BuildDisks()
    {
        files_ = { { "PROG.EXE", RandomBytes(30000, 7) } };
        Build();
        fs::rename(install_test::Host("C:\\build\\files.1"), install_test::Host("C:\\whole.1"));
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile("C:\\whole.1");
        {
            TFileSizeLimit limit(12000);
            kc.CopyToDisks("C:\\build", "files.1");
        }
        for (int disk = 2; fs::exists(install_test::Host("C:\\build\\files." + std::to_string(disk))); ++disk)
            fs::rename(install_test::Host("C:\\build\\files." + std::to_string(disk)),
                install_test::Host("A:\\files." + std::to_string(disk)));
    }
};

TEST_F(DiskPrompt, AHandlerFindsTheDiskAndNoMessageIsShown)
{
    BuildDisks();
    ScriptedMessageBoxes boxes;
    auto form = LoadForm(Resource());
    std::vector<int> asked;
    InstallOf(form.get())->OnNewDisk = [&](TCustomInstallFile *, int disk, std::string &path) {
        asked.push_back(disk);
        path = "A:";
    };
    Run(InstallOf(form.get()));
    EXPECT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    EXPECT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), 2);
    EXPECT_EQ(Slurp(install_test::Host(Installed("PROG.EXE"))), files_[0].second);
}

TEST_F(DiskPrompt, WithoutAHandlerTheUserIsAskedAndCancelEndsTheRun)
{
    BuildDisks();
    const std::string result = InChild([&] {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDCANCEL);
        auto form = LoadForm(Resource());
        bool aborted = false;
        InstallOf(form.get())->OnAfterNotifyBadInstall = [&](TObject *) { aborted = true; };
        Run(InstallOf(form.get()));
        std::string out;
        for (const auto &box : boxes.Boxes())
            out += box.Text + "|";
        return out + (aborted ? "bad install" : "");
    });
    EXPECT_EQ(result, "Please insert disk #2|bad install");
    EXPECT_FALSE(fs::exists(install_test::Host(Installed("PROG.EXE"))));
}

} // namespace
