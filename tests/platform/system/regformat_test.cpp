#include <gtest/gtest.h>

#include "platform/system/regformat.h"

namespace
{

struct RoundTripCase {
    const char *Name;
    uint32_t Type;
    std::string Data;
    const char *Line; // the value line the writer gives
};

class RegFileRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P(RegFileRoundTrip, WritesTheEditorsLineAndReadsItBack)
{
    const RoundTripCase &c = GetParam();
    TRegKeyNode root;
    root.Name = "HKEY_LOCAL_MACHINE";
    root.AddSubKey("Software").AddSubKey("Test").SetValue(c.Name, c.Type, c.Data);

    const std::string text = WriteRegFile(root, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(text,
        std::string("Windows Registry Editor Version 5.00\n\n"
                    "[HKEY_LOCAL_MACHINE\\Software]\n\n"
                    "[HKEY_LOCAL_MACHINE\\Software\\Test]\n")
            + c.Line + "\n\n");

    auto back = ParseRegFile(text, "test.reg", "HKEY_LOCAL_MACHINE");
    const TRegValue *value = back->SubKey("SOFTWARE")->SubKey("test")->Value(c.Name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Type, c.Type);
    EXPECT_EQ(value->Data, c.Data);
}

INSTANTIATE_TEST_SUITE_P(Values, RegFileRoundTrip,
    ::testing::Values(
        RoundTripCase { "Path", REG_SZ, "C:\\Program Files\\ORVEX", R"("Path"="C:\\Program Files\\ORVEX")" },
        RoundTripCase { "", REG_SZ, "default", R"(@="default")" },
        RoundTripCase { "Quote \"q\"", REG_SZ, "say \"hi\"", R"("Quote \"q\""="say \"hi\"")" },
        RoundTripCase { "Empty", REG_SZ, "", R"("Empty"="")" },
        RoundTripCase { "Año", REG_SZ, "Instalación", R"("Año"="Instalación")" },
        RoundTripCase { "Lines", REG_SZ, "a\nb", R"("Lines"=hex(1):61,00,0a,00,62,00,00,00)" },
        RoundTripCase { "Size", REG_DWORD, std::string("\x1f\0\0\0", 4), R"("Size"=dword:0000001f)" },
        RoundTripCase { "Max", REG_DWORD, std::string("\xff\xff\xff\xff", 4), R"("Max"=dword:ffffffff)" },
        RoundTripCase { "Date", REG_BINARY, std::string("\x00\x80\x1b\x40", 4), R"("Date"=hex:00,80,1b,40)" },
        RoundTripCase { "None", REG_BINARY, "", R"("None"=hex:)" },
        RoundTripCase { "Expand", REG_EXPAND_SZ, "%SystemRoot%",
            R"("Expand"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,\
  74,00,25,00,00,00)" },
        RoundTripCase { "Multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6),
            R"("Multi"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00)" },
        RoundTripCase { "Wide", REG_SZ, "\xF0\x9F\x98\x80\x01", R"("Wide"=hex(1):3d,d8,00,de,01,00,00,00)" },
        // Every byte of a string comes back: zeros inside it, and bytes that
        // are no UTF-8 (kept as U+DC00 + byte), beside the character U+FFFD.
        RoundTripCase { "Nul", REG_SZ, std::string("a\0b", 3), R"("Nul"=hex(1):61,00,00,00,62,00,00,00)" },
        RoundTripCase {
            "EndsInNul", REG_SZ, std::string("ab\0", 3), R"("EndsInNul"=hex(1):61,00,62,00,00,00,00,00)" },
        RoundTripCase { "Stray", REG_SZ, "a\x01\xff", R"("Stray"=hex(1):61,00,01,00,ff,dc,00,00)" },
        RoundTripCase { "NoUtf8", REG_SZ, "\xc3(\xef\xbf\xbd", R"("NoUtf8"=hex(1):c3,dc,28,00,fd,ff,00,00)" },
        RoundTripCase { "CutShort", REG_EXPAND_SZ, "%x\xe2\x82",
            R"("CutShort"=hex(2):25,00,78,00,e2,dc,82,dc,00,00)" },
        RoundTripCase { "EncodedSurrogate", REG_SZ, "\xed\xb2\x80",
            R"("EncodedSurrogate"=hex(1):ed,dc,b2,dc,80,dc,00,00)" },
        RoundTripCase {
            "Q", REG_QWORD, std::string("\1\2\3\4\5\6\7\x08", 8), R"("Q"=hex(b):01,02,03,04,05,06,07,08)" },
        RoundTripCase { "Long", REG_BINARY, std::string(30, '\xab'),
            R"("Long"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\
  ab,ab,ab,ab,ab,ab,ab,ab)" }),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(RegFile, KeysAreListedInNameOrderWithoutRegardToCase)
{
    TRegKeyNode root;
    root.AddSubKey("beta");
    root.AddSubKey("Alpha");
    root.AddSubKey("GAMMA");
    EXPECT_EQ(&root.AddSubKey("ALPHA"), root.SubKey("alpha"));
    std::string names;
    for (const auto &[name, key] : root.SubKeys)
        names += key->Name + " ";
    EXPECT_EQ(names, "Alpha beta GAMMA ");
}

TEST(RegFile, EmptyKeysAndCommentsAndContinuedHexAreRead)
{
    const std::string text = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                             "\r\n"
                             "; a comment\r\n"
                             "[HKEY_CURRENT_USER\\Empty]\r\n"
                             "\r\n"
                             "[hkey_current_user\\Data]\r\n"
                             "\"Bin\"=hex:01,02,\\\r\n"
                             "    03\r\n"
                             "\"Bin\"=hex:04\r\n";
    auto root = ParseRegFile(text, "u.reg", "HKEY_CURRENT_USER");
    ASSERT_NE(root->SubKey("empty"), nullptr);
    const TRegValue *bin = root->SubKey("DATA")->Value("bin");
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(bin->Data, "\x04"); // a later line for the same name wins
}

struct DamagedCase {
    const char *Name;
    std::string Text;
    const char *Message;
};

class RegFileDamaged : public ::testing::TestWithParam<DamagedCase>
{
};

TEST_P(RegFileDamaged, IsRefusedNamingFileAndLine)
{
    const DamagedCase &c = GetParam();
    try {
        ParseRegFile(c.Text, "/root/HKLM.reg", "HKEY_LOCAL_MACHINE");
        FAIL() << "accepted";
    } catch (const ERegistryException &e) {
        EXPECT_EQ(e.Message(), c.Message);
    }
}

const std::string H = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n";

INSTANTIATE_TEST_SUITE_P(Files, RegFileDamaged,
    ::testing::Values(
        // the old editor's header
        DamagedCase { "OldHeader", "REGEDIT4\n",
            "Damaged registry file /root/HKLM.reg, line 1: the first line is not \"Windows Registry Editor "
            "Version 5.00\"" },
        DamagedCase { "EmptyFile", "",
            "Damaged registry file /root/HKLM.reg, line 1: the first line is not \"Windows "
            "Registry Editor Version 5.00\"" },
        DamagedCase { "UnterminatedSection", H + "[HKEY_LOCAL_MACHINE\\Software\n",
            "Damaged registry file /root/HKLM.reg, line 4: unterminated key name" },
        DamagedCase { "KeyOfAnotherHive", H + "[HKEY_CURRENT_USER\\Software]\n",
            "Damaged registry file /root/HKLM.reg, line 4: key \"HKEY_CURRENT_USER\\Software\" is not below "
            "HKEY_LOCAL_MACHINE" },
        DamagedCase { "EmptyKeyName", H + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
            "Damaged registry file /root/HKLM.reg, line 4: empty key name in "
            "\"HKEY_LOCAL_MACHINE\\A\\\\B\"" },
        DamagedCase { "BadDword", H + "\"N\"=dword:12g\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad dword \"12g\"" },
        DamagedCase { "LongDword", H + "\"N\"=dword:123456789\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad dword \"123456789\"" },
        DamagedCase { "BadEscape", H + "\"N\"=\"C:\\Windows\"\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad escape \\W in string" },
        DamagedCase { "BadNameEscape", H + "\"\\n\"=\"x\"\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad escape \\n in value name" },
        DamagedCase { "UnterminatedString", H + "\"N\"=\"abc\n",
            "Damaged registry file /root/HKLM.reg, line 4: unterminated string" },
        DamagedCase { "TextAfterString", H + "\"N\"=\"a\"b\n",
            "Damaged registry file /root/HKLM.reg, line 4: text after the closing quote" },
        DamagedCase { "NoEquals", H + "\"N\" \"a\"\n",
            "Damaged registry file /root/HKLM.reg, line 4: expected '=' after the value name" },
        DamagedCase { "ValueBeforeKey", "Windows Registry Editor Version 5.00\n\"N\"=\"a\"\n",
            "Damaged registry file /root/HKLM.reg, line 2: a value before the first key" },
        DamagedCase { "BadHexByte", H + "\"N\"=hex:01,2,03\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad hex byte \"2\"" },
        DamagedCase { "HexPastEnd", H + "\"N\"=hex:01,\\\n",
            "Damaged registry file /root/HKLM.reg, line 4: hex data continues past the end of the file" },
        DamagedCase { "OddUtf16", H + "\"N\"=hex(2):41,00,42\n",
            "Damaged registry file /root/HKLM.reg, line 4: odd number of bytes in UTF-16 text" },
        DamagedCase { "Deletion", H + "\"N\"=-\n",
            "Damaged registry file /root/HKLM.reg, line 4: bad value data \"-\"" },
        DamagedCase {
            "Garbage", H + "N=1\n", "Damaged registry file /root/HKLM.reg, line 4: unexpected text" }),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
