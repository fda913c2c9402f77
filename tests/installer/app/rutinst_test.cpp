// The setup program's registry routines: the product's uninstall file list
// tidied after a run, with the shared-DLL counts of its duplicates released.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "installer/dialogs/rutinst.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/system/windows.h"
#include "platform/ui/forms.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{

constexpr const char *Files
    = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEX Tabulo 2.0\\Files";
constexpr const char *Shared = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class UninstallList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/rutinst-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        form_ = std::make_unique<TForm>(nullptr);
        install_ = new TInstall(form_.get());
        install_->Information()->SetProductName("ORVEX Tabulo 2.0");
    }

    // The list as the engine writes it: File1..FileN in the order installed.
    static void Write(const std::vector<std::string> &paths)
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(Files, true));
        for (size_t i = 0; i < paths.size(); ++i)
            registry.WriteString("File" + IntToStr(static_cast<int>(i + 1)), paths[i]);
        registry.WriteString("Entries", IntToStr(static_cast<int>(paths.size())));
    }
    static std::vector<std::string> Read()
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        std::vector<std::string> out;
        if (!registry.OpenKeyReadOnly(Files))
            return out;
        const int n = StrToIntDef(registry.ReadString("Entries"), -1);
        out.push_back("Entries=" + IntToStr(n));
        for (int i = 1; i <= n; ++i)
            out.push_back(registry.ReadString("File" + IntToStr(i)));
        TStringList names;
        registry.GetValueNames(names);
        EXPECT_EQ(names.Count(), n + 1) << "no value is left over";
        return out;
    }
    static void Count(const std::string &path, int count)
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(Shared, true));
        registry.WriteInteger(path, count);
    }
    static std::string CountOf(const std::string &path)
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(Shared) || !registry.ValueExists(path))
            return "none";
        return IntToStr(registry.ReadInteger(path));
    }

    std::unique_ptr<TForm> form_;
    TInstall *install_ = nullptr;
};

TEST_F(UninstallList, SortedWithEachPathOnceAndEveryDuplicateReleased)
{
    Write({ "C:\\ORVEX\\Tabulo2\\Tabulo.exe", "C:\\WINDOWS\\SYSTEM\\kvshared.dll",
        "C:\\ORVEX\\Tabulo2\\licencia.txt", "C:\\WINDOWS\\SYSTEM\\kvshared.dll",
        "C:\\ORVEX\\Tabulo2\\Tabulo.exe" });
    Count("C:\\WINDOWS\\SYSTEM\\kvshared.dll", 2);
    CompactUninstallList();
    EXPECT_THAT(Read(),
        ElementsAre("Entries=3", "C:\\ORVEX\\Tabulo2\\licencia.txt", "C:\\ORVEX\\Tabulo2\\Tabulo.exe",
            "C:\\WINDOWS\\SYSTEM\\kvshared.dll"));
    EXPECT_EQ(CountOf("C:\\WINDOWS\\SYSTEM\\kvshared.dll"), "1") << "released once for its one duplicate";
}

// Sorted without regard to case alone, "a b A" could stay in that order and
// the two "A" would never meet; ties are ordered by case, so they do.
TEST_F(UninstallList, DuplicatesAmongCaseVariantsAreAllFound)
{
    Write({ "C:\\X\\A.DLL", "c:\\x\\a.dll", "C:\\X\\A.DLL", "c:\\x\\a.dll", "C:\\X\\A.DLL" });
    Count("C:\\X\\A.DLL", 5); // value names know no case: one count for both spellings
    CompactUninstallList();
    EXPECT_THAT(Read(), ElementsAre("Entries=2", "C:\\X\\A.DLL", "c:\\x\\a.dll")) << "case makes two entries";
    EXPECT_EQ(CountOf("C:\\X\\A.DLL"), "2") << "one release for each of the three duplicates";
}

TEST_F(UninstallList, ALastUseRemovesTheCountInsteadOfWritingZero)
{
    Write({ "C:\\S\\ONE.DLL", "C:\\S\\ONE.DLL", "C:\\S\\NONE.DLL", "C:\\S\\NONE.DLL" });
    Count("C:\\S\\ONE.DLL", 1);
    CompactUninstallList();
    EXPECT_THAT(Read(), ElementsAre("Entries=2", "C:\\S\\NONE.DLL", "C:\\S\\ONE.DLL"));
    EXPECT_EQ(CountOf("C:\\S\\ONE.DLL"), "none");
    EXPECT_EQ(CountOf("C:\\S\\NONE.DLL"), "none") << "a missing count is no error and stays missing";
}

TEST_F(UninstallList, WithoutAListNothingIsMade)
{
    CompactUninstallList();
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.KeyExists(Files));
}

TEST_F(UninstallList, ACountKeptUnderTheShortNameIsReleasedThere)
{
    ASSERT_TRUE(ForceDirectories("C:\\Program Files\\ORVEX Compartido"));
    const int handle = FileCreate("C:\\Program Files\\ORVEX Compartido\\kvcomun.dll");
    ASSERT_GE(handle, 0);
    FileClose(handle);
    const std::string path = "C:\\Program Files\\ORVEX Compartido\\kvcomun.dll";
    const std::string shortPath = GetShortPathName(path);
    ASSERT_FALSE(shortPath.empty());
    Count(shortPath, 3);
    ReleaseSharedDll(path);
    EXPECT_EQ(CountOf(shortPath), "2");
    if (shortPath != path) {
        EXPECT_EQ(CountOf(path), "none");
    }
}

} // namespace
