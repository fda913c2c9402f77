// Program Manager through its DDE conversation: the exact commands it is
// sent, what the group then holds, and the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TProgramManager/cmp_TProgramManager.h"
#include "platform/rtl/strings.h"
#include "platform/system/progman.h"
#include "tests/installer/engine/install_support.h"

namespace fs = std::filesystem;
using namespace install_test;
using ::testing::ElementsAre;

namespace
{

class ProgramManagerTest : public InstallMachine
{
protected:
    static std::string Message(const std::function<void()> &body)
    {
        try {
            body();
        } catch (const Exception &e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return "<no error>";
    }

    TProgramManager pm_ { nullptr };
};

TEST_F(ProgramManagerTest, CommandsAreSentExactlyInOrder)
{
    pm_.CreateGroup("ORVEX Tabulo");
    pm_.AddItem("C:\\ORVEX\\TABULO.EXE -a", "Tabulo", "C:\\ORVEX\\TABULO.EXE", 2, "C:\\ORVEX", "1620");
    pm_.ReplaceItem("Tabulo");
    pm_.AddItem("C:\\ORVEX\\TABULO.EXE", "Tabulo", "", 0, "", "");
    EXPECT_THAT(ProgmanCommandLog(),
        ElementsAre("[CreateGroup(\"ORVEX Tabulo\")]", "[ShowGroup(ORVEX Tabulo,8)]",
            "[AddItem(C:\\ORVEX\\TABULO.EXE -a,\"Tabulo\",C:\\ORVEX\\TABULO.EXE,2,,,C:\\ORVEX,1620)]",
            "[ShowGroup(ORVEX Tabulo,8)]", "[ReplaceItem(\"Tabulo\")]", "[ShowGroup(ORVEX Tabulo,8)]",
            "[AddItem(C:\\ORVEX\\TABULO.EXE,\"Tabulo\",,0,,,,)]"));
    EXPECT_EQ(pm_.CurrentGroup(), "ORVEX Tabulo");
    ASSERT_EQ(pm_.ItemCount(), 1); // replaced, not duplicated
    EXPECT_EQ(pm_.ItemName(1), "Tabulo");
    EXPECT_EQ(pm_.ItemCommandLine(1), "C:\\ORVEX\\TABULO.EXE");
    EXPECT_EQ(pm_.FindItem("Tabulo"), 1);
    EXPECT_EQ(pm_.FindItem("tabulo"), -1); // exactly
}

TEST_F(ProgramManagerTest, GroupsAreListed)
{
    pm_.CreateGroup("Accesorios");
    pm_.CreateGroup("ORVEX");
    TStringList groups;
    pm_.GetGroups(groups);
    EXPECT_EQ(groups.Text(), "Accesorios\r\nORVEX\r\n");
}

TEST_F(ProgramManagerTest, AGroupThatCannotBeReadLeavesNoCurrentGroup)
{
    pm_.CreateGroup("ORVEX");
    pm_.ReadGroup("Missing");
    EXPECT_EQ(pm_.CurrentGroup(), "");
    EXPECT_EQ(pm_.GroupLines()->Count(), 0);
    EXPECT_EQ(pm_.ItemCount(), 0);
    const size_t sent = ProgmanCommandLog().size();
    pm_.AddItem("x.exe", "X", "", 0, "", ""); // nothing without a current group
    pm_.ReplaceItem("X");
    EXPECT_EQ(ProgmanCommandLog().size(), sent);
}

struct FieldCase {
    const char *name;
    std::string line;
    int field;
    std::string expected;
};
void PrintTo(const FieldCase &c, std::ostream *os)
{
    *os << c.name;
}
class ItemFields : public ProgramManagerTest, public ::testing::WithParamInterface<FieldCase>
{
};

TEST_P(ItemFields, FieldsOfAnItemLine)
{
    pm_.GroupLines()->SetText("\"G\",x,1,8\r\n" + GetParam().line);
    EXPECT_EQ(pm_.ItemField(1, GetParam().field), GetParam().expected);
}

const std::string Line = "\"Tabulo\",\"C:\\T.EXE\",C:\\,C:\\I.ICO,10,20,3,1620";
INSTANTIATE_TEST_SUITE_P(Lines, ItemFields,
    ::testing::Values(FieldCase { "NameUnquoted", Line, 1, "Tabulo" },
        FieldCase { "CommandUnquoted", Line, 2, "C:\\T.EXE" }, FieldCase { "Folder", Line, 3, "C:\\" },
        FieldCase { "IconPath", Line, 4, "C:\\I.ICO" }, FieldCase { "X", Line, 5, "10" },
        FieldCase { "Y", Line, 6, "20" }, FieldCase { "IconIndex", Line, 7, "3" },
        FieldCase { "HotKeyTakesTheRest", Line + ",extra", 8, "1620,extra" },
        FieldCase { "FolderKeepsQuotes", "a,b,\"C:\\\",d", 3, "\"C:\\\"" },
        FieldCase { "LoneQuoteIsTheClosingOne", "\",b", 1, "" }, FieldCase { "PastTheLastField", "a,b", 3, "" },
        FieldCase { "FieldZero", Line, 0, "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProgramManagerTest, ItemIndexesOutsideTheGroupAreBlank)
{
    pm_.GroupLines()->SetText("\"G\",x,1,8\r\n" + Line);
    EXPECT_EQ(pm_.ItemCount(), 1);
    EXPECT_EQ(pm_.ItemField(0, 1), "");
    EXPECT_EQ(pm_.ItemField(2, 1), "");
    pm_.GroupLines()->SetText("\"G\",x,0,8");
    EXPECT_EQ(pm_.ItemCount(), 0);
}

// ---- Failures -------------------------------------------------------------------------

TEST_F(ProgramManagerTest, NoProgramManagerNoLink)
{
    SetProgramManagerRunning(false);
    EXPECT_EQ(Message([&] { pm_.CreateGroup("ORVEX"); }),
        "EAIPMCannotOpen: The TProgramManager object was unable to establish a link with Program Manager");
    EXPECT_FALSE(pm_.Connected());
    SetProgramManagerRunning(true);
    pm_.CreateGroup("ORVEX");
    EXPECT_TRUE(pm_.Connected());
}

TEST_F(ProgramManagerTest, NamesWithPercentStayText)
{
    EXPECT_EQ(Message([&] { pm_.CreateGroup("  "); }),
        "EAIPMCannotCreateGroup: The TProgramManager object was unable to create the following program group:   ");
    pm_.CreateGroup("100% %s");
    EXPECT_EQ(Message([&] { pm_.AddItem("", "50% %d off", "", 0, "", ""); }),
        "EAIPMCannotAddItem: The TProgramManager object was unable to add the following program item: 50% %d off "
        "to the following group: 100% %s. The arguments passed to  Program Manager were: "
        "[AddItem(,\"50% %d off\",,0,,,,)]");
    EXPECT_EQ(Message([&] { pm_.ReplaceItem("%x%"); }),
        "EAIPMCannotReplaceItem: The TProgramManager object was unable to replace the following program item: %x% "
        "to the following group: 100% %s");

    // The group's file taken away under it: showing it fails.
    for (const auto &entry : fs::directory_iterator(Machine().Root() + "/progman"))
        if (entry.path().extension() == ".grp")
            fs::remove(entry.path());
    EXPECT_EQ(Message([&] { pm_.AddItem("x.exe", "X", "", 0, "", ""); }),
        "EAIPMCannotOpenGroup: The TProgramManager object was unable to open the following program group: 100% %s");
}

TEST_F(ProgramManagerTest, TheProgramHasOneInstance)
{
    ASSERT_NE(ProgramManager(), nullptr);
    EXPECT_EQ(ProgramManager(), ProgramManager());
    EXPECT_EQ(ProgramManager()->Owner(), nullptr);
}

// A shortcut installed twice into Program Manager replaces its item: the
// program and its folder quoted (the path has a blank), no icon path, no hot
// key; a name with a comma is one name.
TEST_F(ProgramManagerTest, ShortcutItemIsReplacedOnTheNextRun)
{
    for (const std::string name : { "Calculadora", "Tabulo, edición 2" }) {
        auto form = LoadForm("object SetupForm: TSetupForm\n"
                             "  object Install1: TInstall\n"
                             "    DestDir = '\\ORVEX'\n"
                             "    DestDirType = psProgramFiles\n"
                             "    Information.ProductName = 'Tabulo'\n"
                             "    RunAutomatic = False\n"
                             "  end\n"
                             "  object Main: TMainLinkGroup\n"
                             "    Container = Install1\n"
                             "    DestDir = '\\ORVEX Tabulo'\n"
                             "  end\n"
                             "  object Calc: TInstallMainLink\n"
                             "    Container = Main\n"
                             "    Method = mtProgramManager\n"
                             "    LinkName = '"
            + name
            + ".lnk'\n"
              "    ObjectLocation = 'C:\\Program Files\\ORVEX\\TABULO.EXE'\n"
              "    Parameters = '-t'\n"
              "    HotKey = 1620\n"
              "  end\n"
              "end\n");
        auto *link = static_cast<TCustomInstallShellLink *>(form->FindComponent("Calc"));
        link->CreateProgramManagerItem();
        link->CreateProgramManagerItem();
        TProgmanGroup group;
        ASSERT_TRUE(ReadProgmanGroup("ORVEX Tabulo", group));
        ASSERT_EQ(group.Items.size(), name == "Calculadora" ? 1u : 2u) << name;
        EXPECT_EQ(group.Items.back().Name, name);
        EXPECT_EQ(group.Items.back().CommandLine, "\"C:\\Program Files\\ORVEX\\TABULO.EXE\" -t");
        EXPECT_EQ(group.Items.back().WorkingDirectory, "C:\\Program Files\\ORVEX");
        EXPECT_EQ(group.Items.back().IconPath, "");
        EXPECT_EQ(group.Items.back().HotKey, "");
        const std::vector<std::string> log = ProgmanCommandLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), "[ReplaceItem(\"" + name + "\")]"), 1) << name;
        EXPECT_EQ(std::count(log.begin(), log.end(),
                      "[AddItem(\"C:\\Program Files\\ORVEX\\TABULO.EXE\" -t,\"" + name
                          + "\",,0,,,\"C:\\Program Files\\ORVEX\",)]"),
            2)
            << name;
    }
}

} // namespace
