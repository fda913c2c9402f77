#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/utf8.h"

namespace
{

// ---- Building version blocks and the files that carry them ----------------------

void Put16(std::string &b, size_t at, uint32_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string &b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
void Put64(std::string &b, size_t at, uint64_t v)
{
    Put32(b, at, static_cast<uint32_t>(v));
    Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}
std::string Le32(uint32_t v)
{
    std::string b(4, '\0');
    Put32(b, 0, v);
    return b;
}
void Pad4(std::string &b)
{
    while (b.size() % 4)
        b += '\0';
}
std::string Utf16z(const std::string &text)
{
    std::string out;
    for (char32_t c : Utf8ToCodePoints(text)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8 & 0xFF);
    }
    return out + std::string(2, '\0');
}
std::string Node(uint16_t type, const std::string &key, const std::string &value, uint16_t valueLength,
    const std::string &children)
{
    std::string n(6, '\0');
    n += Utf16z(key);
    Pad4(n);
    n += value;
    if (!children.empty()) {
        Pad4(n);
        n += children;
    }
    Put16(n, 0, static_cast<uint32_t>(n.size()));
    Put16(n, 2, valueLength);
    Put16(n, 4, type);
    Pad4(n);
    return n;
}

struct TBlockSpec {
    uint16_t FileVersion[4] = { 1, 2, 3, 4 };
    uint16_t ProductVersion[4] = { 5, 6, 7, 8 };
    uint32_t OS = 0x40004, Type = 1, SubType = 0;
    std::string Table = "040904E4";
    std::vector<std::pair<std::string, std::string>> Strings = { { "CompanyName", "ORVEX Año" },
        { "FileDescription", "Calculadora" }, { "ProductName", "Tabulo" } };
};

std::string MakeBlock(const TBlockSpec &spec)
{
    std::string fixed;
    for (uint32_t v : { 0xFEEF04BDu, 0x00010000u, uint32_t(spec.FileVersion[0]) << 16 | spec.FileVersion[1],
             uint32_t(spec.FileVersion[2]) << 16 | spec.FileVersion[3],
             uint32_t(spec.ProductVersion[0]) << 16 | spec.ProductVersion[1],
             uint32_t(spec.ProductVersion[2]) << 16 | spec.ProductVersion[3], 0x3Fu, 0u, spec.OS, spec.Type,
             spec.SubType, 0u, 0u })
        fixed += Le32(v);
    std::string strings;
    for (const auto &[name, value] : spec.Strings) {
        const std::string text = Utf16z(value);
        strings += Node(1, name, text, static_cast<uint16_t>(text.size() / 2), "");
    }
    const std::string table = Node(1, spec.Table, "", 0, strings);
    const std::string info = Node(1, "StringFileInfo", "", 0, table);
    const std::string var = Node(1, "VarFileInfo", "", 0, Node(0, "Translation", Le32(0x04E40409), 4, ""));
    return Node(0, "VS_VERSION_INFO", fixed, 52, info + var);
}

// A PE image with one ".rsrc" section holding the tree type 16 / id 1 /
// language 0x409 and the block behind it.
std::string MakePe(const std::string &block, bool wide = false)
{
    std::string rsrc(88, '\0');
    Put16(rsrc, 14, 1); // root: one id entry
    Put32(rsrc, 16, 16); //   RT_VERSION
    Put32(rsrc, 20, 0x80000000u | 24);
    Put16(rsrc, 24 + 14, 1); // names: one id entry
    Put32(rsrc, 24 + 16, 1);
    Put32(rsrc, 24 + 20, 0x80000000u | 48);
    Put16(rsrc, 48 + 14, 1); // languages: one id entry
    Put32(rsrc, 48 + 16, 0x409);
    Put32(rsrc, 48 + 20, 72); //   leaf
    Put32(rsrc, 72, 0x1000 + 88); // data entry: address, size
    Put32(rsrc, 76, static_cast<uint32_t>(block.size()));
    rsrc += block;

    const uint32_t optionalSize = wide ? 240 : 224;
    std::string pe(0x400, '\0');
    pe[0] = 'M', pe[1] = 'Z';
    Put32(pe, 0x3C, 0x40);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    Put16(pe, 0x44, wide ? 0x8664 : 0x14C);
    Put16(pe, 0x46, 1); // one section
    Put16(pe, 0x54, optionalSize);
    const size_t optional = 0x58;
    Put16(pe, optional, wide ? 0x20B : 0x10B);
    const size_t count = optional + (wide ? 108 : 92), dirs = optional + (wide ? 112 : 96);
    Put32(pe, count, 16);
    Put32(pe, dirs + 16, 0x1000);
    Put32(pe, dirs + 20, static_cast<uint32_t>(rsrc.size()));
    const size_t section = optional + optionalSize;
    pe.replace(section, 5, ".rsrc");
    Put32(pe, section + 8, static_cast<uint32_t>(rsrc.size()));
    Put32(pe, section + 12, 0x1000);
    Put32(pe, section + 16, static_cast<uint32_t>(rsrc.size()));
    Put32(pe, section + 20, 0x400);
    return pe + rsrc;
}

// An ELF file whose section table names ".orvex.version".
std::string MakeElf(const std::string &block, bool wide = true)
{
    const std::string names = std::string("\0.orvex.version\0.shstrtab\0", 27);
    const size_t headerSize = wide ? 64 : 52, entrySize = wide ? 64 : 40;
    std::string elf(headerSize, '\0');
    elf.replace(0, 4,
        "\x7f"
        "ELF");
    elf[4] = wide ? 2 : 1;
    elf[5] = 1;
    elf[6] = 1;
    const size_t blockAt = elf.size();
    elf += block;
    const size_t namesAt = elf.size();
    elf += names;
    while (elf.size() % 8)
        elf += '\0';
    const size_t tableAt = elf.size();
    elf += std::string(3 * entrySize, '\0');
    auto section = [&](int i, uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
        const size_t at = tableAt + i * entrySize;
        Put32(elf, at, name);
        Put32(elf, at + 4, type);
        if (wide)
            Put64(elf, at + 24, offset), Put64(elf, at + 32, size);
        else
            Put32(elf, at + 16, static_cast<uint32_t>(offset)),
                Put32(elf, at + 20, static_cast<uint32_t>(size));
    };
    section(1, 1, 1, blockAt, block.size());
    section(2, 16, 3, namesAt, names.size());
    if (wide) {
        Put64(elf, 0x28, tableAt);
        Put16(elf, 0x3A, 64), Put16(elf, 0x3C, 3), Put16(elf, 0x3E, 2);
    } else {
        Put32(elf, 0x20, static_cast<uint32_t>(tableAt));
        Put16(elf, 0x2E, 40), Put16(elf, 0x30, 3), Put16(elf, 0x32, 2);
    }
    return elf;
}

class VersionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "version-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string &name, const std::string &bytes)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static void SetDate(const std::string &path, uint16_t year, uint16_t month, uint16_t day)
    {
        ASSERT_EQ(FileSetDate(path, DateTimeToFileDate(EncodeDate(year, month, day))), 0);
    }

    std::string dir_;
};

// ---- Reading ------------------------------------------------------------------

TEST_F(VersionTest, ReadsFixedPartAndStringTableOfPeFiles)
{
    for (bool wide : { false, true }) {
        SCOPED_TRACE(wide ? "PE32+" : "PE32");
        TVersionResource reader(nullptr);
        reader.SetFileName(Write("tabulo.exe", MakePe(MakeBlock({}), wide)));
        const TVersionInfo &info = *reader.VersionInfo();
        EXPECT_EQ(info.FileVersion(), "1.2.3.4");
        EXPECT_EQ(info.ProductVersion(), "5.6.7.8");
        EXPECT_EQ(info.CompanyName(), "ORVEX Año");
        EXPECT_EQ(info.FileDescription(), "Calculadora");
        EXPECT_EQ(info.ProductName(), "Tabulo");
        EXPECT_EQ(info.FileOS(), "Windows NT with 32 bit Windows");
        EXPECT_EQ(info.FileType(), "Application");
        EXPECT_EQ(info.FileSubType(), "");
        EXPECT_EQ(info.LegalCopyright(), "");
        EXPECT_TRUE(reader.ReadsOtherFile());
    }
}

TEST_F(VersionTest, ReadsTheSectionOfElfFiles)
{
    for (bool wide : { false, true }) {
        SCOPED_TRACE(wide ? "ELF64" : "ELF32");
        TVersionResource reader(nullptr);
        reader.SetFileName(Write("tabulo", MakeElf(MakeBlock({}), wide)));
        EXPECT_EQ(reader.VersionInfo()->FileVersion(), "1.2.3.4");
        EXPECT_EQ(reader.VersionInfo()->ProductName(), "Tabulo");
    }
}

TEST_F(VersionTest, ReadsTheBlockTheBuildEmbedsInOurPrograms)
{
#ifdef ORVEX_VERSION_FIXTURE
    TVersionResource reader(nullptr);
    reader.SetFileName(ORVEX_VERSION_FIXTURE);
    const TVersionInfo &info = *reader.VersionInfo();
    EXPECT_EQ(info.FileVersion(), "1.2.3.4");
    EXPECT_EQ(info.ProductVersion(), "1.2.0.0");
    EXPECT_EQ(info.CompanyName(), "ORVEX");
    EXPECT_EQ(info.FileDescription(), "Version fixture");
    EXPECT_EQ(info.ProductName(), "Fixture");
    EXPECT_EQ(info.FileOS(), "Windows NT with 32 bit Windows");
    EXPECT_EQ(info.FileType(), "Application");
#else
    FAIL() << "the version fixture is not wired into this test executable";
#endif
}

TEST_F(VersionTest, FilesWithoutVersionReadAsEmpty)
{
    const std::map<std::string, std::string> files = {
        { "plain text", "just some text, no header at all" },
        { "PE without resources", MakePe("").substr(0, 0x400) },
        { "ELF without the section", MakeElf("").substr(0, 64) },
        { "empty file", "" },
    };
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        TVersionResource reader(nullptr);
        reader.SetFileName(Write("file", bytes));
        EXPECT_EQ(reader.VersionInfo()->FileVersion(), "");
        EXPECT_EQ(reader.VersionInfo()->FileOS(), "");
        EXPECT_EQ(reader.VersionInfo()->CompanyName(), "");
    }
    TVersionResource reader(nullptr);
    reader.SetFileName(dir_ + "/missing.exe");
    EXPECT_EQ(reader.VersionInfo()->FileVersion(), "");
}

TEST_F(VersionTest, LanguageWithoutStringTableKeepsTheFixedTexts)
{
    TVersionResource reader(nullptr);
    reader.SetFileName(Write("tabulo.exe", MakePe(MakeBlock({}))));
    reader.SetLanguage(TVersionResource::lnCastilianSpanish);
    EXPECT_EQ(reader.VersionInfo()->CompanyName(), "");
    EXPECT_EQ(reader.VersionInfo()->FileVersion(), "1.2.3.4");
    EXPECT_EQ(reader.VersionInfo()->ProductVersion(), "5.6.7.8");
    EXPECT_EQ(reader.VersionInfo()->FileType(), "Application");
}

TEST_F(VersionTest, StringTableKeyIsLanguageAndCodePageInHex)
{
    TBlockSpec spec;
    spec.Table = "100C04B0"; // Swiss French (4108), Unicode (1200)
    TVersionResource reader(nullptr);
    reader.SetFileName(Write("fr.exe", MakePe(MakeBlock(spec))));
    EXPECT_EQ(reader.VersionInfo()->ProductName(), "");
    reader.SetLanguage(TVersionResource::lnSwissFrench);
    reader.SetCharacterSet(csUnicode);
    EXPECT_EQ(reader.VersionInfo()->ProductName(), "Tabulo");
    EXPECT_EQ(TVersionResource::LanguageID(TVersionResource::lnArabic), 1025);
    EXPECT_EQ(TVersionResource::LanguageID(TVersionResource::lnBahasa), 1057);
    EXPECT_EQ(TVersionResource::LanguageID(TVersionResource::lnSimplifiedChinese), 2052);
    EXPECT_EQ(TVersionResource::LanguageID(TVersionResource::lnSwissFrench), 4108);
    EXPECT_EQ(CodePage(csASCII), 0);
    EXPECT_EQ(CodePage(csArabic), 1256);
}

TEST_F(VersionTest, ProductVersionTextReplacesTheFixedOneButFileVersionNever)
{
    TBlockSpec spec;
    spec.Strings = { { "FileVersion", "9.9 beta" }, { "ProductVersion", "2024 edition" } };
    TVersionResource reader(nullptr);
    reader.SetFileName(Write("a.exe", MakePe(MakeBlock(spec))));
    EXPECT_EQ(reader.VersionInfo()->FileVersion(), "1.2.3.4");
    EXPECT_EQ(reader.VersionInfo()->ProductVersion(), "2024 edition");
}

TEST_F(VersionTest, OperatingSystemAndTypeTexts)
{
    struct Row {
        uint32_t os, type, subType;
        const char *osText, *typeText, *subText;
    };
    const Row rows[] = {
        { 0x1, 1, 0, "Windows 3.0 or later", "Application", "" },
        { 0x2, 2, 0, "16 bit OS/2 Presentation Manager", "Dynamic-Link Library", "" },
        { 0x3, 3, 1, "32 bit OS/2 Presentation Manager", "Device Driver", "Printer" },
        { 0x4, 3, 10, "32 bit Windows", "Device Driver", "Communications" },
        { 0x10000, 3, 11, "MS-Dos", "Device Driver", "Unknown" },
        { 0x10001, 4, 1, "Windows 3.0 or later with MS-Dos", "Font", "Raster" },
        { 0x10004, 4, 3, "32 bit Windows with MS-Dos", "Font", "TrueType" },
        { 0x20000, 4, 0, "16 bit OS/2", "Font", "Unknown" },
        { 0x20002, 5, 2, "16 bit OS/2 with Presentation Manager", "Virtual Device Driver", "" },
        { 0x30000, 7, 0, "32 bit OS/2", "Static-Link Library", "" },
        { 0x30003, 6, 0, "32 bit OS/2 with Presentation Manager", "Unknown", "" },
        { 0x40000, 0, 0, "Windows NT", "Unknown", "" },
        { 0x40004, 3, 7, "Windows NT with 32 bit Windows", "Device Driver", "System" },
        { 0x12345, 1, 0, "Unknown", "Application", "" },
    };
    TVersionResource reader(nullptr);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.osText);
        TBlockSpec spec;
        spec.OS = row.os, spec.Type = row.type, spec.SubType = row.subType;
        reader.SetFileName(Write("f.dll", MakePe(MakeBlock(spec))));
        EXPECT_EQ(reader.VersionInfo()->FileOS(), row.osText);
        EXPECT_EQ(reader.VersionInfo()->FileType(), row.typeText);
        EXPECT_EQ(reader.VersionInfo()->FileSubType(), row.subText);
    }
}

// Broken files never crash the reader and never give a half-read version:
// either the whole block is found or the file has none.
TEST_F(VersionTest, TruncatedOrLyingFilesReadAsNoVersion)
{
    const std::string pe = MakePe(MakeBlock({}));
    const std::string elf = MakeElf(MakeBlock({}));
    TVersionResource reader(nullptr);
    for (const std::string *file : { &pe, &elf })
        for (size_t length = 0; length < file->size(); ++length) {
            reader.SetFileName(Write("cut", file->substr(0, length)));
            const std::string version = reader.VersionInfo()->FileVersion();
            EXPECT_TRUE(version.empty() || version == "1.2.3.4") << length;
        }

    struct Lie {
        const char *what;
        size_t at;
        uint32_t value;
        bool elf;
    };
    const Lie lies[] = {
        { "PE header pointer past the end", 0x3C, 0xFFFFFFF0u, false },
        { "resource directory size huge", 0x58 + 96 + 20, 0xFFFFFFFFu, false },
        { "section raw size huge", 0x58 + 224 + 16, 0x7FFFFFFFu, false },
        { "root directory claims 65535 entries", 0x400 + 12, 0xFFFFFFFFu, false },
        { "leaf offset outside the tree", 0x400 + 48 + 20, 0x7FFFFFF0u, false },
        { "data entry size huge", 0x400 + 76, 0xFFFFFFFFu, false },
        { "section table offset past the end", 0x28, 0xFFFFFF00u, true },
        { "string table index out of range", 0x3E, 0x0000FFFFu, true },
    };
    for (const Lie &lie : lies) {
        SCOPED_TRACE(lie.what);
        std::string bytes = lie.elf ? elf : pe;
        Put32(bytes, lie.at, lie.value);
        reader.SetFileName(Write("lie", bytes));
        const std::string version = reader.VersionInfo()->FileVersion();
        EXPECT_TRUE(version.empty() || version == "1.2.3.4");
    }

    // A block whose nodes claim more than they hold.
    std::string block = MakeBlock({});
    Put16(block, 0, 0xFFFF);
    reader.SetFileName(Write("long", MakePe(block)));
    EXPECT_EQ(reader.VersionInfo()->FileVersion(), "1.2.3.4");
    block = MakeBlock({});
    Put32(block, 40, 0x12345678); // not the fixed part's signature
    reader.SetFileName(Write("sig", MakePe(block)));
    EXPECT_EQ(reader.VersionInfo()->FileVersion(), "");
    EXPECT_EQ(reader.VersionInfo()->ProductName(), "Tabulo");
}

// ---- Comparing ----------------------------------------------------------------

TEST(CompareVersionText, OrdersItemByItem)
{
    struct Row {
        const char *a, *b;
        int result;
    };
    const Row rows[] = {
        { "1.0", "1.0", 0 }, { "1.0.0", "1.0", 1 }, // one more item, even 0, is newer
        { "1.0", "1.0.0", 2 }, { "1.10", "1.9", 1 }, // numbers compare as numbers
        { "1.9", "1.10", 2 }, { "1.01", "1.1", 0 },
        { "1.99999999999999999999", "1.100000000000000000000", 2 },
        { "1.b", "1.a", 1 }, // other items as strings
        { "1.B", "1.b", 2 }, // case-sensitive, ordinal
        { "1.9a", "1.10a", 1 }, { "", "", 0 }, { "2", "", 1 }, { "", "0", 2 },
        { "1..2", "1..3", 0 }, // an empty item on both sides ends the comparison
    };
    for (const Row &row : rows)
        EXPECT_EQ(TVersionResource::CompareVersionText(row.a, row.b), row.result) << row.a << " vs " << row.b;
}

TEST_F(VersionTest, OverwriteRulesCompareVersionsAndDates)
{
    TBlockSpec older, newer;
    older.FileVersion[2] = 9;
    newer.FileVersion[2] = 10;
    const std::string oldV = Write("old.exe", MakePe(MakeBlock(older)));
    const std::string newV = Write("new.exe", MakePe(MakeBlock(newer)));
    const std::string sameV = Write("same.exe", MakePe(MakeBlock(newer)));
    SetDate(oldV, 2001, 1, 1);
    SetDate(newV, 2000, 1, 1);
    SetDate(sameV, 2002, 1, 1);

    struct Row {
        const char *what;
        std::string source, dest;
        TOverwriteType mode;
        int result;
    };
    const Row rows[] = {
        { "always", oldV, newV, owAlways, 2 },
        { "never, existing", newV, oldV, owNever, 3 },
        { "never, missing", newV, dir_ + "/none.exe", owNever, 2 },
        { "never, blank", newV, "", owNever, 2 },
        { "version newer", newV, oldV, owVersion, 2 },
        { "version older", oldV, newV, owVersion, 3 },
        { "version equal", newV, sameV, owVersion, 1 },
        { "date later", oldV, newV, owDate, 2 },
        { "date earlier", newV, oldV, owDate, 3 },
        { "date equal", newV, newV, owDate, 1 },
        { "date, missing destination", newV, dir_ + "/none.exe", owDate, 0 },
        { "version and date, versions differ", newV, oldV, owVersionDate, 2 },
        { "version and date, equal versions, earlier", newV, sameV, owVersionDate, 3 },
        { "version and date, equal versions, later", sameV, newV, owVersionDate, 2 },
        { "version and date, all equal", newV, newV, owVersionDate, 1 },
        { "unknown mode", newV, oldV, static_cast<TOverwriteType>(7), 0 },
    };
    for (const Row &row : rows)
        EXPECT_EQ(TVersionResource::IsFileNewer(row.source, row.dest, row.mode), row.result) << row.what;

    const double date2001 = EncodeDate(2001, 1, 1);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("1.2.10.4", oldV, owVersion, 0), 2);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("", oldV, owVersion, 0), 3);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("1.2.9.4", oldV, owVersionDate, date2001), 1);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("1.2.9.4", oldV, owVersionDate, date2001 + 1), 2);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("", dir_ + "/none", owDate, date2001), 0);

    // Two files without version compare equal by version.
    const std::string text1 = Write("a.txt", "a"), text2 = Write("b.txt", "b");
    EXPECT_EQ(TVersionResource::IsFileNewer(text1, text2, owVersion), 1);
}

} // namespace
