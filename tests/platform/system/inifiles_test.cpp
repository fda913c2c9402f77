#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/system/inifiles.h"
#include "platform/system/machine.h"

namespace
{

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/ini-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    static void Put(const std::string &file, const std::string &text)
    {
        std::ofstream(MapPath(file)) << text;
    }
    static std::string Get(const std::string &file)
    {
        std::ifstream in(MapPath(file));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(IniFileTest, ReadsAsTheProfileCallsDo)
{
    Put("C:\\WINDOWS\\test.ini",
        "; comment\r\n"
        "[Rename]\r\n"
        "  NUL = C:\\temp\\a.tmp  \r\n"
        "nul=C:\\temp\\second.tmp\r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Hex=0x1F\r\n"
        "NoEquals\r\n"
        "[Other]\r\n"
        "NUL=other\r\n");
    TIniFile ini("c:\\windows\\TEST.INI");
    EXPECT_EQ(ini.ReadString("rename", "Nul", "-"), "C:\\temp\\a.tmp"); // the first of equal keys
    EXPECT_EQ(ini.ReadString("Rename", "Quoted", "-"), "  spaced  ");
    EXPECT_EQ(ini.ReadInteger("Rename", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Rename", "Quoted", 5), 5);
    EXPECT_TRUE(ini.ReadBool("Rename", "Missing", true));
    EXPECT_EQ(ini.ReadString("Missing", "NUL", "fallback"), "fallback");
    TStringList list;
    ini.ReadSection("RENAME", list);
    EXPECT_EQ(list.Text(), "NUL\r\nnul\r\nQuoted\r\nHex\r\n");
    ini.ReadSectionValues("Other", list);
    EXPECT_EQ(list.Text(), "NUL=other\r\n");
}

TEST_F(IniFileTest, WritesKeepEverythingElse)
{
    Put("C:\\site.URL", "; keep me\n[InternetShortcut]\nURL=http://old\n\n[Other]\nA=1\n");
    TIniFile ini("C:\\site.URL");
    ini.WriteString("internetshortcut", "url", "http://www.orvex.example/");
    ini.WriteString("InternetShortcut", "IconIndex", "0");
    ini.WriteInteger("New", "Count", 3);
    EXPECT_EQ(Get("C:\\site.URL"),
        "; keep me\n[InternetShortcut]\nurl=http://www.orvex.example/\nIconIndex=0\n\n"
        "[Other]\nA=1\n\n[New]\nCount=3\n");
    ini.DeleteKey("OTHER", "a");
    ini.EraseSection("internetshortcut");
    EXPECT_EQ(Get("C:\\site.URL"), "; keep me\n[Other]\n\n[New]\nCount=3\n");
}

TEST_F(IniFileTest, NamesWithBlanksAroundThemAreTheNamesWithout)
{
    // The file's names are read trimmed; a name asked for with blanks around
    // it is the same name, so what is written under it reads back and is
    // written once, not as a new section each time.
    Put("C:\\blanks.ini", "[ Setup ]\n  Title = ORVEX\n");
    TIniFile ini("C:\\blanks.ini");
    EXPECT_EQ(ini.ReadString(" Setup ", " Title ", "-"), "ORVEX");
    ini.WriteString("Setup ", "Title ", "Tabulo");
    ini.WriteString(" Other", " Key", "1");
    ini.WriteString(" Other", " Key", "2");
    EXPECT_EQ(ini.ReadString("Other ", "Key", "-"), "2");
    EXPECT_EQ(ini.ReadString("Setup", "Title", "-"), "Tabulo");
    EXPECT_EQ(Get("C:\\blanks.ini"), "[ Setup ]\nTitle =Tabulo\n\n[ Other]\n Key=2\n");
}

TEST_F(IniFileTest, AByteOrderMarkIsReadPastAndKept)
{
    Put("C:\\bom.ini", "\xEF\xBB\xBF[S]\nA=1\n");
    TIniFile ini("C:\\bom.ini");
    EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
    ini.WriteString("S", "B", "2");
    EXPECT_EQ(Get("C:\\bom.ini"), "\xEF\xBB\xBF[S]\nA=1\nB=2\n");
}

TEST_F(IniFileTest, ANewFileIsCreatedWithWindowsLineBreaks)
{
    TIniFile ini("C:\\Program Files\\new.url");
    ini.WriteString("InternetShortcut", "URL", "ftp://files.example/");
    EXPECT_EQ(Get("C:\\Program Files\\new.url"), "[InternetShortcut]\r\nURL=ftp://files.example/\r\n");
}

TEST_F(IniFileTest, BadWritesAreRefusedAndLoseNothing)
{
    Put("C:\\keep.ini", "[S]\nA=1\n");
    TIniFile ini("C:\\keep.ini");
    for (auto [ident, value] :
        { std::pair { "B", "two\nlines" }, std::pair { "", "x" }, std::pair { "a=b", "x" } }) {
        try {
            ini.WriteString("S", ident, value);
            ADD_FAILURE() << "accepted " << ident;
        } catch (const EIniFileException &e) {
            EXPECT_EQ(e.Message(), "Unable to write to C:\\keep.ini");
        }
    }
    std::filesystem::create_directories(MapPath("C:\\folder.ini")); // exists, but cannot be read as a file
    EXPECT_THROW(TIniFile("C:\\folder.ini").WriteString("S", "A", "1"), EIniFileException);
    EXPECT_TRUE(std::filesystem::is_directory(MapPath("C:\\folder.ini")));
    TIniFile nowhere("C:\\No such folder\\x.ini");
    EXPECT_THROW(nowhere.WriteString("S", "A", "1"), EIniFileException);
    EXPECT_EQ(Get("C:\\keep.ini"), "[S]\nA=1\n");
}

} // namespace
