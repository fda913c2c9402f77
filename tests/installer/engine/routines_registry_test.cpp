#include <gtest/gtest.h>

#include <cstdlib>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Registry.h"
#include "platform/rtl/strings.h"
#include "platform/system/atomicfile.h"
#include "platform/system/machine.h"

namespace
{

class RegistryRoutines : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/regr-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    static std::string RunOnce()
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false);
        TStringList names;
        reg.GetValueNames(names);
        std::string out;
        for (int i = 0; i < names.Count(); ++i)
            out += names[i] + "=" + reg.ReadString(names[i]) + ";";
        return out;
    }
};

TEST_F(RegistryRoutines, WritesAndReadsWithFallbacks)
{
    RegWriteString(
        rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help", "TABULO.HLP", "C:\\Program Files\\ORVEX");
    RegWriteInteger(
        rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "C:\\x.dll", 2);
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\Software\\Microsoft\\Windows\\Help", "tabulo.hlp", "-"),
        "C:\\Program Files\\ORVEX");
    EXPECT_EQ(RegReadInteger(rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                  "C:\\X.DLL", 0),
        2);
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\No\\Such\\Key", "x", "fallback"), "fallback");
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help", "missing", "fallback"),
        "fallback");
    // a value of another type cannot be read as this one
    EXPECT_EQ(RegReadInteger(rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help", "TABULO.HLP", -7), -7);
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                  "C:\\x.dll", "fallback"),
        "fallback");
    // an unknown root stands for the registry object's default, HKEY_CURRENT_USER
    RegWriteString(static_cast<TRootKey>(9), "\\Software\\ORVEX", "Where", "user");
    EXPECT_EQ(RegReadString(rkCurrentUser, "\\Software\\ORVEX", "Where", ""), "user");
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\Software\\ORVEX", "Where", "none"), "none");
}

TEST_F(RegistryRoutines, WriteFailuresRaiseTheirMessages)
{
    try {
        RegWriteString(rkDynData, "\\Perf", "Name", "Value");
        FAIL();
    } catch (const EIRCannotWriteValue &e) {
        EXPECT_EQ(e.Message(), "Cannot install into registry. Key: \\Perf Ident: Name Value Value");
    }
    try {
        RegWriteInteger(rkDynData, "\\Perf", "Name", 1);
        FAIL();
    } catch (const EIRCannotWriteValue &e) {
        EXPECT_EQ(e.Message(), "\\Perf");
    }
}

TEST_F(RegistryRoutines, ADamagedRegistryGivesFallbacksAndRefusesWrites)
{
    const std::string file = Machine().RegistryFolder() + "/HKEY_LOCAL_MACHINE.reg";
    WriteFileAtomic(file, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A\n");
    EXPECT_EQ(RegReadString(rkLocalMachine, "\\A", "x", "fallback"), "fallback");
    EXPECT_THROW(RegWriteString(rkLocalMachine, "\\A", "x", "y"), EIRCannotWriteValue);
    EXPECT_FALSE(WriteRunOnce("KelvaraUnfinished", "x", true));
    EXPECT_EQ(ReadWholeFile(file), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A\n");
}

TEST_F(RegistryRoutines, DeletingTreesAndValues)
{
    RegWriteString(rkCurrentUser, "\\Software\\Tree\\Sub\\Deeper", "V", "x");
    RegWriteString(rkCurrentUser, "\\Software\\Tree", "Keep", "x");
    RegWriteString(rkCurrentUser, "\\Software\\Tree", "Drop", "x");
    RegDeleteValue(rkCurrentUser, "\\software\\tree", "DROP");
    RegDeleteValue(rkCurrentUser, "\\Software\\Missing", "Drop");
    EXPECT_EQ(RegReadString(rkCurrentUser, "\\Software\\Tree", "Drop", "gone"), "gone");
    EXPECT_EQ(RegReadString(rkCurrentUser, "\\Software\\Tree", "Keep", "gone"), "x");
    RegDeleteKeyTree(rkCurrentUser, "\\SOFTWARE\\TREE");
    RegDeleteKeyTree(rkCurrentUser, "\\Software\\Tree");
    EXPECT_EQ(RegReadString(rkCurrentUser, "\\Software\\Tree\\Sub\\Deeper", "V", "gone"), "gone");
}

TEST(RootKeyIndex, MapsHandlesAndFallsBack)
{
    EXPECT_EQ(RootKeyIndex(HKEY_CLASSES_ROOT, rkUsers), rkClassesRoot);
    EXPECT_EQ(RootKeyIndex(HKEY_CURRENT_CONFIG, rkUsers), rkCurrentConfig);
    EXPECT_EQ(RootKeyIndex(HKEY_CURRENT_USER, rkUsers), rkCurrentUser);
    EXPECT_EQ(RootKeyIndex(HKEY_DYN_DATA, rkUsers), rkDynData);
    EXPECT_EQ(RootKeyIndex(HKEY_LOCAL_MACHINE, rkUsers), rkLocalMachine);
    EXPECT_EQ(RootKeyIndex(HKEY_USERS, rkCurrentUser), rkUsers);
    EXPECT_EQ(RootKeyIndex(HKEY_PERFORMANCE_DATA, rkDynData), rkDynData);
    EXPECT_EQ(RootKeyIndex(0x1234, rkLocalMachine), rkLocalMachine);
}

TEST_F(RegistryRoutines, RunOnceTakesTheFirstFreeNumberedName)
{
    ASSERT_TRUE(WriteRunOnce("KelvaraUnfinished", "first", true));
    ASSERT_TRUE(WriteRunOnce("KelvaraUnfinished", "second", true));
    ASSERT_TRUE(WriteRunOnce("KelvaraUnfinished", "third", true));
    EXPECT_EQ(RunOnce(), "KelvaraUnfinished=first;KelvaraUnfinished1=second;KelvaraUnfinished2=third;");
    ASSERT_TRUE(WriteRunOnce("KelvaraUnfinished", "replaced", false));
    ASSERT_TRUE(WriteRunOnce("KelvaraBatFile", "C:\\WINDOWS\\TEMP\\bat1.bat", true));
    EXPECT_EQ(RunOnce(),
        "KelvaraUnfinished=replaced;KelvaraUnfinished1=second;KelvaraUnfinished2=third;"
        "KelvaraBatFile=C:\\WINDOWS\\TEMP\\bat1.bat;");
}

TEST_F(RegistryRoutines, RunOnceKeyIsCreatedWhenMissing)
{
    RegDeleteKeyTree(rkLocalMachine, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    ASSERT_TRUE(WriteRunOnce("KelvaraUnfinished", "x", true));
    EXPECT_EQ(RunOnce(), "KelvaraUnfinished=x;");
}

} // namespace
