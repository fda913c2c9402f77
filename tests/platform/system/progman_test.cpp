// The machine's Program Manager over its DDE conversation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/system/ddeman.h"
#include "platform/system/machine.h"
#include "platform/system/progman.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace
{

class ProgmanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/progman-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        conv_.SetConnectMode(ddeManual);
        ASSERT_TRUE(conv_.SetLink("PROGMAN", "PROGMAN"));
        ASSERT_TRUE(conv_.OpenLink());
    }

    std::vector<std::string> ItemNames(const std::string &group)
    {
        TProgmanGroup g;
        EXPECT_TRUE(ReadProgmanGroup(group, g)) << group;
        std::vector<std::string> names;
        for (const TProgmanItem &item : g.Items)
            names.push_back(item.Name);
        return names;
    }

    TDdeClientConv conv_ { nullptr };
};

TEST_F(ProgmanTest, GroupsAndItemsAsTheCommandsLeaveThem)
{
    ASSERT_TRUE(conv_.ExecuteMacro("[CreateGroup(\"ORVEX, Tabulo\")]", false));
    ASSERT_TRUE(conv_.ExecuteMacro("[ShowGroup(ORVEX, Tabulo,8)]", false) == false); // unquoted comma splits it
    ASSERT_TRUE(conv_.ExecuteMacro("[ShowGroup(\"orvex, tabulo\",8)]", false));
    ASSERT_TRUE(conv_.ExecuteMacro(
        "[AddItem(C:\\Program Files (x86)\\T.EXE -x,Tabulo,C:\\T.EXE,0,,,C:\\Program Files,1620)]", false));
    ASSERT_TRUE(conv_.ExecuteMacro("[AddItem(C:\\AYUDA.HLP,\"Ayuda, en línea\")][AddItem(C:\\LEEME.TXT)]", false));

    TProgmanGroup g;
    ASSERT_TRUE(ReadProgmanGroup("ORVEX, TABULO", g));
    EXPECT_EQ(g.Name, "ORVEX, Tabulo");
    EXPECT_EQ(g.ShowCommand, 8);
    ASSERT_EQ(g.Items.size(), 3u);
    EXPECT_EQ(g.Items[0].CommandLine, "C:\\Program Files (x86)\\T.EXE -x");
    EXPECT_EQ(g.Items[0].WorkingDirectory, "C:\\Program Files");
    EXPECT_EQ(g.Items[0].HotKey, "1620");
    EXPECT_EQ(g.Items[1].Name, "Ayuda, en línea");
    EXPECT_EQ(g.Items[2].Name, "LEEME"); // a blank name comes from the command

    EXPECT_EQ(conv_.RequestData("Groups"), "ORVEX, Tabulo\r\n");
    EXPECT_EQ(conv_.RequestData("orvex, tabulo"),
        "\"ORVEX, Tabulo\",C:\\WINDOWS\\PROGMAN.GRP,3,8\r\n"
        "\"Tabulo\",\"C:\\Program Files (x86)\\T.EXE -x\",C:\\Program Files,C:\\T.EXE,,,0,1620\r\n"
        "\"Ayuda, en línea\",\"C:\\AYUDA.HLP\",,,,,,\r\n"
        "\"LEEME\",\"C:\\LEEME.TXT\",,,,,,\r\n");
    EXPECT_EQ(conv_.RequestData("Missing"), std::nullopt);
}

TEST_F(ProgmanTest, ReplacedItemKeepsItsPlaceAndIsNotDuplicated)
{
    ASSERT_TRUE(conv_.ExecuteMacro("[CreateGroup(G)][AddItem(a.exe,A)][AddItem(b.exe,B)][AddItem(c.exe,C)]", false));
    ASSERT_TRUE(conv_.ExecuteMacro("[ReplaceItem(\"b\")][AddItem(b2.exe,B)]", false));
    EXPECT_THAT(ItemNames("G"), ElementsAre("A", "B", "C"));
    TProgmanGroup g;
    ReadProgmanGroup("G", g);
    EXPECT_EQ(g.Items[1].CommandLine, "b2.exe");
    // Without a ReplaceItem before it, an item of the same name is added again, as Program Manager does.
    ASSERT_TRUE(conv_.ExecuteMacro("[AddItem(a.exe,A)]", false));
    EXPECT_THAT(ItemNames("G"), ElementsAre("A", "B", "C", "A"));
}

struct Refused {
    const char *name;
    const char *commands;
};
class ProgmanRefuses : public ProgmanTest, public ::testing::WithParamInterface<Refused>
{
};

TEST_P(ProgmanRefuses, BadCommands)
{
    ASSERT_TRUE(conv_.ExecuteMacro("[CreateGroup(Real)][AddItem(x.exe,X)]", false));
    EXPECT_FALSE(conv_.ExecuteMacro(GetParam().commands, false));
    EXPECT_THAT(ItemNames("Real"), ElementsAre("X")); // what stood stays
    // Every group the list names is found under that very name.
    for (const std::string &name : ProgmanGroupNames()) {
        TProgmanGroup group;
        EXPECT_TRUE(ReadProgmanGroup(name, group)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, ProgmanRefuses,
    ::testing::Values(Refused { "UnknownCommand", "[DeleteEverything()]" },
        Refused { "NotBracketed", "CreateGroup(G)" }, Refused { "Unclosed", "[CreateGroup(G)" },
        Refused { "UnclosedQuote", "[CreateGroup(\"G)]" }, Refused { "BlankGroup", "[CreateGroup(\"  \")]" },
        Refused { "LongGroupName", "[CreateGroup(\"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\")]" },
        Refused { "GroupOverTwoLines", "[CreateGroup(\"Tabulo\r\nNuevo\")]" },
        Refused { "GroupEndingInALineFeed", "[CreateGroup(\"Tabulo\n\")]" },
        Refused { "ShowMissingGroup", "[ShowGroup(Missing,8)]" },
        Refused { "ReplaceMissingItem", "[ShowGroup(Real,8)][ReplaceItem(\"Y\")]" },
        Refused { "AddBlankCommand", "[ShowGroup(Real,8)][AddItem(,Y)]" }, Refused { "Empty", "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProgmanTest, ItemsNeedAnActiveGroup)
{
    TDdeClientConv fresh(nullptr);
    fresh.SetLink("PROGMAN", "PROGMAN");
    ASSERT_TRUE(fresh.Connected()); // automatic mode opens at once
    EXPECT_FALSE(fresh.ExecuteMacro("[AddItem(x.exe,X)]", false));
    EXPECT_TRUE(ProgmanGroupNames().empty());
}

TEST_F(ProgmanTest, NamesThatAreNotFileNamesMakeSafeFiles)
{
    ASSERT_TRUE(conv_.ExecuteMacro("[CreateGroup(\"..\\..\\etc\")][CreateGroup(\"a/b:c*%\")]", false));
    EXPECT_THAT(ProgmanGroupNames(), ElementsAre("..\\..\\etc", "a/b:c*%"));
    for (const auto &entry : fs::directory_iterator(Machine().Root() + "/progman"))
        EXPECT_EQ(entry.path().parent_path(), fs::path(Machine().Root() + "/progman"));
}

TEST_F(ProgmanTest, CommandsAreRecordedInOrder)
{
    conv_.ExecuteMacro("[CreateGroup(\"G\")]", false);
    conv_.ExecuteMacro("[Nonsense]", false);
    conv_.ExecuteMacro("[ShowGroup(G,8)]", false);
    EXPECT_THAT(ProgmanCommandLog(), ElementsAre("[CreateGroup(\"G\")]", "[Nonsense]", "[ShowGroup(G,8)]"));
}

TEST_F(ProgmanTest, AMachineWithoutProgramManagerAnswersNoConversation)
{
    SetProgramManagerRunning(false);
    EXPECT_FALSE(ProgramManagerRunning());
    EXPECT_FALSE(conv_.ExecuteMacro("[CreateGroup(G)]", false)); // the open one ends with it
    TDdeClientConv other(nullptr);
    other.SetConnectMode(ddeManual);
    other.SetLink("PROGMAN", "PROGMAN");
    EXPECT_FALSE(other.OpenLink());
    EXPECT_EQ(other.RequestData("Groups"), std::nullopt);
    SetProgramManagerRunning(true);
    EXPECT_TRUE(other.OpenLink());
    other.SetLink("EXCEL", "System");
    EXPECT_FALSE(other.OpenLink());
}

TEST_F(ProgmanTest, AGroupFileThatCannotBeReadIsNoGroup)
{
    ASSERT_TRUE(conv_.ExecuteMacro("[CreateGroup(G)]", false));
    for (const auto &entry : fs::directory_iterator(Machine().Root() + "/progman"))
        if (entry.path().extension() == ".grp")
            std::ofstream(entry.path(), std::ios::trunc) << "garbage without a group\n";
    EXPECT_EQ(conv_.RequestData("G"), std::nullopt);
    EXPECT_TRUE(ProgmanGroupNames().empty());
}

} // namespace
