#include "installer/engine/cmp_TVersion/cmp_TVersion.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "installer/engine/routines/routines_Strings.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"

// ---- Languages and code pages ----------------------------------------------

uint16_t TVersionResource::LanguageID(TLanguage language)
{
    static constexpr std::array<uint16_t, 12> later
        = { 2052, 2055, 2057, 2058, 2060, 2064, 2067, 2068, 2070, 2074, 3084, 4108 };
    if (language <= lnBahasa)
        return static_cast<uint16_t>(1025 + language);
    return later[language - lnSimplifiedChinese];
}

uint16_t CodePage(TCharacterSet characterSet)
{
    static constexpr std::array<uint16_t, 12> pages
        = { 0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256 };
    return pages[characterSet];
}

// ---- Finding the block in a file --------------------------------------------
//
// Every number below comes from the file and is checked against the file's
// size before it is used as a position or a length; a file that does not add
// up simply has no version block.

namespace
{

constexpr int64_t MaxBlockSize = 0xFFFF; // a block's length is a 16-bit field
const std::string_view VersionSection = ".orvex.version";

uint16_t Le16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const unsigned char *p)
{
    return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16;
}
uint64_t Le64(const unsigned char *p)
{
    return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}

class TFileReader
{
public:
    explicit TFileReader(TStream &stream)
        : stream_(stream)
        , size_(stream.Size())
    {
    }
    int64_t Size() const { return size_; }

    // Exactly count bytes at pos, or false when they are not all there.
    bool ReadAt(uint64_t pos, void *buffer, uint64_t count)
    {
        if (pos > static_cast<uint64_t>(size_) || count > static_cast<uint64_t>(size_) - pos)
            return false;
        if (stream_.Seek(static_cast<int64_t>(pos), soFromBeginning) != static_cast<int64_t>(pos))
            return false;
        return stream_.Read(buffer, static_cast<int64_t>(count)) == static_cast<int64_t>(count);
    }

    std::string ReadBlock(uint64_t pos, uint64_t count)
    {
        count = std::min<uint64_t>(count, MaxBlockSize);
        std::string bytes(count, '\0');
        if (!ReadAt(pos, bytes.data(), count))
            return {};
        return bytes;
    }

private:
    TStream &stream_;
    int64_t size_;
};

// A PE file: the DOS stub points to the PE headers; the resource directory
// (data directory 2) is a three-level tree, type / name / language, whose
// leaves give the resource's address and size. The version block is the
// resource of type 16.
std::string PeVersionBlock(TFileReader &file)
{
    unsigned char dos[64];
    if (!file.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return {};
    const uint64_t pe = Le32(dos + 0x3C);
    unsigned char head[24];
    if (!file.ReadAt(pe, head, sizeof head) || std::memcmp(head, "PE\0\0", 4) != 0)
        return {};
    const unsigned sectionCount = Le16(head + 6);
    const unsigned optionalSize = Le16(head + 20);
    const uint64_t optional = pe + 24;

    unsigned char magic[2];
    if (!file.ReadAt(optional, magic, 2))
        return {};
    uint64_t countAt, directoriesAt;
    switch (Le16(magic)) {
    case 0x10B:
        countAt = 92, directoriesAt = 96;
        break; // PE32
    case 0x20B:
        countAt = 108, directoriesAt = 112;
        break; // PE32+
    default:
        return {};
    }
    const uint64_t resourceEntry = directoriesAt + 2 * 8;
    unsigned char buf[8];
    if (optionalSize < resourceEntry + 8 || !file.ReadAt(optional + countAt, buf, 4) || Le32(buf) < 3
        || !file.ReadAt(optional + resourceEntry, buf, 8))
        return {};
    const uint32_t resourceRva = Le32(buf);
    const uint32_t resourceSize = Le32(buf + 4);
    if (resourceRva == 0 || resourceSize < 16)
        return {};

    struct Section {
        uint32_t va, rawSize, rawPointer;
    };
    std::vector<Section> sections;
    for (unsigned i = 0; i < sectionCount; ++i) {
        unsigned char s[40];
        if (!file.ReadAt(optional + optionalSize + 40ull * i, s, sizeof s))
            return {};
        sections.push_back({ Le32(s + 12), Le32(s + 16), Le32(s + 20) });
    }
    // The file position of count bytes at an address, when a section holds them all.
    auto toOffset = [&](uint64_t rva, uint64_t count) -> std::optional<uint64_t> {
        for (const Section &s : sections)
            if (rva >= s.va && rva - s.va <= s.rawSize && count <= s.rawSize - (rva - s.va))
                return uint64_t { s.rawPointer } + (rva - s.va);
        return std::nullopt;
    };
    const auto base = toOffset(resourceRva, resourceSize);
    if (!base)
        return {};

    // One directory of the tree: the entry with the wanted id, or the first
    // entry when any will do. Offsets inside the tree are relative to its base
    // and must stay inside the resource directory.
    auto findEntry = [&](uint32_t dirOffset, std::optional<uint32_t> wantedId, bool wantDirectory,
                         uint32_t &target) -> bool {
        unsigned char dir[16];
        if (dirOffset > resourceSize - 16 || !file.ReadAt(*base + dirOffset, dir, 16))
            return false;
        const uint64_t entries = uint64_t { Le16(dir + 12) } + Le16(dir + 14);
        if (entries > (resourceSize - dirOffset - 16) / 8)
            return false;
        for (uint64_t i = 0; i < entries; ++i) {
            unsigned char e[8];
            if (!file.ReadAt(*base + dirOffset + 16 + 8 * i, e, 8))
                return false;
            const uint32_t name = Le32(e), data = Le32(e + 4);
            if (wantedId && (name & 0x80000000u || name != *wantedId))
                continue;
            if (bool(data & 0x80000000u) != wantDirectory)
                return false;
            target = data & 0x7FFFFFFFu;
            return true;
        }
        return false;
    };
    uint32_t names, languages, leaf;
    if (!findEntry(0, 16u, true, names))
        return {};
    if (!findEntry(names, 1u, true, languages) && !findEntry(names, std::nullopt, true, languages))
        return {};
    if (!findEntry(languages, std::nullopt, false, leaf) || leaf > resourceSize - 16)
        return {};
    unsigned char data[16];
    if (!file.ReadAt(*base + leaf, data, 16))
        return {};
    const uint64_t blockSize = std::min<uint64_t>(Le32(data + 4), MaxBlockSize);
    const auto at = toOffset(Le32(data), blockSize);
    return at ? file.ReadBlock(*at, blockSize) : std::string();
}

// One of our own ELF executables: the section headers name the section that
// the build filled with the block.
std::string ElfVersionBlock(TFileReader &file)
{
    unsigned char id[64];
    if (!file.ReadAt(0, id, 52)
        || std::memcmp(id,
               "\x7f"
               "ELF",
               4)
            != 0
        || id[5] != 1)
        return {};
    const bool wide = id[4] == 2;
    if (!wide && id[4] != 1)
        return {};
    if (wide && !file.ReadAt(0, id, 64))
        return {};
    const uint64_t tableAt = wide ? Le64(id + 0x28) : Le32(id + 0x20);
    const unsigned entrySize = Le16(id + (wide ? 0x3A : 0x2E));
    const unsigned count = Le16(id + (wide ? 0x3C : 0x30));
    const unsigned namesIndex = Le16(id + (wide ? 0x3E : 0x32));
    if (entrySize < (wide ? 64u : 40u) || namesIndex >= count)
        return {};

    struct Section {
        uint32_t name, type;
        uint64_t offset, size;
    };
    auto section = [&](unsigned i, Section &s) {
        unsigned char h[64];
        if (!file.ReadAt(tableAt + uint64_t { entrySize } * i, h, wide ? 64 : 40))
            return false;
        s = wide ? Section { Le32(h), Le32(h + 4), Le64(h + 24), Le64(h + 32) }
                 : Section { Le32(h), Le32(h + 4), Le32(h + 16), Le32(h + 20) };
        return true;
    };
    Section names;
    if (!section(namesIndex, names))
        return {};
    for (unsigned i = 0; i < count; ++i) {
        Section s;
        if (!section(i, s))
            return {};
        constexpr uint32_t SHT_NOBITS = 8;
        if (s.type == SHT_NOBITS || s.name >= names.size || names.size - s.name < VersionSection.size() + 1)
            continue;
        char name[VersionSection.size() + 1];
        if (file.ReadAt(names.offset + s.name, name, sizeof name)
            && std::string_view(name, sizeof name) == std::string(VersionSection) + '\0')
            return file.ReadBlock(s.offset, s.size);
    }
    return {};
}

// ---- Reading the block --------------------------------------------------------
//
// The block is a tree of nodes, each: length, value length, type (0 binary,
// 1 text), a zero-terminated UTF-16 key, padding to 4 bytes, the value,
// padding, then the children up to the node's length. Positions are aligned
// relative to the start of the block.

struct TNode {
    size_t end = 0; // one past the node's last byte
    std::u16string key;
    size_t valueAt = 0;
    size_t valueBytes = 0;
    size_t childrenAt = 0;
};

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t { 3 };
}

bool ReadNode(const std::string &b, size_t at, size_t limit, TNode &node)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.data());
    if (at > limit || limit - at < 6)
        return false;
    const size_t length = Le16(p + at);
    if (length < 6)
        return false;
    node.end = std::min(limit, at + length);
    size_t pos = at + 6;
    node.key.clear();
    for (;;) {
        if (node.end - pos < 2)
            return false;
        const char16_t c = Le16(p + pos);
        pos += 2;
        if (c == 0)
            break;
        node.key += c;
    }
    const size_t valueLength = Le16(p + at + 2);
    const bool text = Le16(p + at + 4) == 1;
    node.valueAt = std::min(node.end, Align4(pos));
    node.valueBytes = std::min(node.end - node.valueAt, text ? valueLength * 2 : valueLength);
    node.childrenAt = std::min(node.end, Align4(node.valueAt + node.valueBytes));
    return true;
}

bool SameKey(const std::u16string &key, std::string_view name)
{
    if (key.size() != name.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char16_t a = key[i], c = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z')
            a -= 32;
        if (c >= 'a' && c <= 'z')
            c -= 32;
        if (a != c)
            return false;
    }
    return true;
}

// The node at a path of keys separated by '\'; the root for "\".
std::optional<TNode> FindNode(const std::string &b, std::string_view path)
{
    TNode node;
    if (!ReadNode(b, 0, b.size(), node))
        return std::nullopt;
    size_t start = 0;
    while (start < path.size()) {
        size_t stop = path.find('\\', start);
        if (stop == std::string_view::npos)
            stop = path.size();
        const std::string_view name = path.substr(start, stop - start);
        start = stop + 1;
        if (name.empty())
            continue;
        bool found = false;
        for (size_t at = node.childrenAt; at < node.end;) {
            TNode child;
            if (!ReadNode(b, at, node.end, child))
                break;
            if (SameKey(child.key, name)) {
                node = child;
                found = true;
                break;
            }
            at = Align4(child.end);
        }
        if (!found)
            return std::nullopt;
    }
    return node;
}

std::string Utf16ToUtf8(const unsigned char *p, size_t units)
{
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = Le16(p + 2 * i);
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const char32_t low = Le16(p + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        out += CodePointToUtf8(c);
    }
    return out;
}

} // namespace

TVersionBlock::TVersionBlock(std::string bytes)
    : bytes_(std::move(bytes))
{
}

std::optional<TVersionBlock> TVersionBlock::FromFile(const std::string &fileName)
{
    std::string block;
    try {
        TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
        TFileReader file(stream);
        block = PeVersionBlock(file);
        if (block.empty())
            block = ElfVersionBlock(file);
    } catch (const Exception &) {
        return std::nullopt; // a file that cannot be read has no version
    }
    TNode root;
    if (!ReadNode(block, 0, block.size(), root))
        return std::nullopt;
    return TVersionBlock(std::move(block));
}

std::optional<TFixedFileInfo> TVersionBlock::FixedFileInfo() const
{
    const auto root = FindNode(bytes_, "\\");
    if (!root || root->valueBytes < 52)
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes_.data()) + root->valueAt;
    uint32_t v[13];
    for (int i = 0; i < 13; ++i)
        v[i] = Le32(p + 4 * i);
    if (v[0] != 0xFEEF04BD)
        return std::nullopt;
    return TFixedFileInfo { v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12] };
}

std::optional<std::string> TVersionBlock::QueryString(std::string_view path) const
{
    const auto node = FindNode(bytes_, path);
    if (!node)
        return std::nullopt;
    // Writers disagree on whether a text's value length counts words or
    // bytes, so the text runs to its terminating zero inside the node.
    const size_t units = node->valueBytes == 0 ? 0 : (node->end - node->valueAt) / 2;
    return Utf16ToUtf8(reinterpret_cast<const unsigned char *>(bytes_.data()) + node->valueAt, units);
}

// ---- TVersionInfo ------------------------------------------------------------------

const TMetaClass TVersionInfo::Class { "TVersionInfo", &TPersistent::Class };

namespace
{

// clang-format off
using PI = TPublish<TVersionInfo>;
const TClassRegistrar<TVersionInfo> infoRegistrar({
    //          name                getter                           setter                              default
    PI::String ("Comment",          &TVersionInfo::Comment,          &TVersionInfo::SetComment,          ""),
    PI::String ("CompanyName",      &TVersionInfo::CompanyName,      &TVersionInfo::SetCompanyName,      ""),
    PI::String ("FileDescription",  &TVersionInfo::FileDescription,  &TVersionInfo::SetFileDescription,  ""),
    PI::String ("FileVersion",      &TVersionInfo::FileVersion,      &TVersionInfo::SetFileVersion,      ""),
    PI::String ("InternalName",     &TVersionInfo::InternalName,     &TVersionInfo::SetInternalName,     ""),
    PI::String ("LegalCopyright",   &TVersionInfo::LegalCopyright,   &TVersionInfo::SetLegalCopyright,   ""),
    PI::String ("LegalTradeMarks",  &TVersionInfo::LegalTradeMarks,  &TVersionInfo::SetLegalTradeMarks,  ""),
    PI::String ("OriginalFileName", &TVersionInfo::OriginalFileName, &TVersionInfo::SetOriginalFileName, ""),
    PI::String ("PrivateBuild",     &TVersionInfo::PrivateBuild,     &TVersionInfo::SetPrivateBuild,     ""),
    PI::String ("ProductName",      &TVersionInfo::ProductName,      &TVersionInfo::SetProductName,      ""),
    PI::String ("ProductVersion",   &TVersionInfo::ProductVersion,   &TVersionInfo::SetProductVersion,   ""),
    PI::String ("SpecialBuild",     &TVersionInfo::SpecialBuild,     &TVersionInfo::SetSpecialBuild,     ""),
    PI::String ("FileOS",           &TVersionInfo::FileOS,           &TVersionInfo::SetFileOS,           ""),
    PI::String ("FileType",         &TVersionInfo::FileType,         &TVersionInfo::SetFileType,         ""),
    PI::String ("FileSubType",      &TVersionInfo::FileSubType,      &TVersionInfo::SetFileSubType,      ""),
});
// clang-format on

} // namespace

void TVersionInfo::Clear()
{
    for (std::string *value : { &comment_, &companyName_, &fileDescription_, &fileVersion_, &internalName_,
             &legalCopyright_, &legalTradeMarks_, &originalFileName_, &privateBuild_, &productName_,
             &productVersion_, &specialBuild_, &fileOS_, &fileType_, &fileSubType_ })
        value->clear();
}

void TVersionInfo::Assign(const TPersistent *source)
{
    const auto *other = dynamic_cast<const TVersionInfo *>(source);
    if (!other)
        return TPersistent::Assign(source);
    comment_ = other->comment_, companyName_ = other->companyName_,
    fileDescription_ = other->fileDescription_;
    fileVersion_ = other->fileVersion_, internalName_ = other->internalName_;
    legalCopyright_ = other->legalCopyright_, legalTradeMarks_ = other->legalTradeMarks_;
    originalFileName_ = other->originalFileName_, privateBuild_ = other->privateBuild_;
    productName_ = other->productName_, productVersion_ = other->productVersion_;
    specialBuild_ = other->specialBuild_, fileOS_ = other->fileOS_, fileType_ = other->fileType_;
    fileSubType_ = other->fileSubType_;
}

// ---- TVersionResource --------------------------------------------------------------

const TMetaClass TVersionResource::Class { "TVersionResource", &TComponent::Class };

namespace
{

const TEnumNames LanguageNames = { "lnArabic", "lnBulgarian", "lnCatalan", "lnTraditionalChinese", "lnCzech",
    "lnDanish", "lnGerman", "lnGreek", "lnUSEnglish", "lnCastilianSpanish", "lnFinnish", "lnFrench",
    "lnHebrew", "lnHungarian", "lnIcelandic", "lnItalian", "lnJapanese", "lnKorean", "lnDutch",
    "lnNorwegianBokmal", "lnPolish", "lnBrazilianPortuguese", "lnRhaetoRomanic", "lnRomanian", "lnRussian",
    "lnCroatoSerbian", "lnSlovak", "lnAlbanian", "lnSwedish", "lnThai", "lnTurkish", "lnUrdu", "lnBahasa",
    "lnSimplifiedChinese", "lnSwissGerman", "lnUKEnglish", "lnMexicanSpanish", "lnBelgianFrench",
    "lnSwissItalian", "lnBelgianDutch", "lnNorwegianNynorsk", "lnPortuguese", "lnSerboCroatian",
    "lnCanadianFrench", "lnSwissFrench" };
const TEnumNames CharacterSetNames = { "csASCII", "csJapan", "csKorea", "csTaiwan", "csUnicode", "csLatin2",
    "csCyrillic", "csMultilingual", "csGreek", "csTurkish", "csHebrew", "csArabic" };

// clang-format off
using PR = TPublish<TVersionResource>;
const TClassRegistrar<TVersionResource> resourceRegistrar({
    //           name            getter                             setter                               default         stored
    PR::String  ("FileName",     &TVersionResource::FileName,       &TVersionResource::SetFileName,      "",             &TVersionResource::ReadsOtherFile),
    PR::Enum    ("Language",     LanguageNames,
                                 &TVersionResource::Language,       &TVersionResource::SetLanguage,      TVersionResource::lnUSEnglish),
    PR::Enum    ("CharacterSet", CharacterSetNames,
                                 &TVersionResource::CharacterSet,   &TVersionResource::SetCharacterSet,  csMultilingual),
    PR::Persistent("VersionInfo", &TVersionResource::VersionInfo,   &TVersionResource::SetVersionInfo),
});
// clang-format on

std::string OwnFileName()
{
    return Application->ExeName();
}

std::string VersionText(uint32_t ms, uint32_t ls)
{
    return Format("%d.%d.%d.%d", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

std::string OSText(uint32_t os)
{
    switch (os) {
    case 0x1:
        return "Windows 3.0 or later";
    case 0x2:
        return "16 bit OS/2 Presentation Manager";
    case 0x3:
        return "32 bit OS/2 Presentation Manager";
    case 0x4:
        return "32 bit Windows";
    case 0x10000:
        return "MS-Dos";
    case 0x10001:
        return "Windows 3.0 or later with MS-Dos";
    case 0x10004:
        return "32 bit Windows with MS-Dos";
    case 0x20000:
        return "16 bit OS/2";
    case 0x20002:
        return "16 bit OS/2 with Presentation Manager";
    case 0x30000:
        return "32 bit OS/2";
    case 0x30003:
        return "32 bit OS/2 with Presentation Manager";
    case 0x40000:
        return "Windows NT";
    case 0x40004:
        return "Windows NT with 32 bit Windows";
    default:
        return "Unknown";
    }
}

std::string TypeText(uint32_t type)
{
    switch (type) {
    case 1:
        return "Application";
    case 2:
        return "Dynamic-Link Library";
    case 3:
        return "Device Driver";
    case 4:
        return "Font";
    case 5:
        return "Virtual Device Driver";
    case 7:
        return "Static-Link Library";
    default:
        return "Unknown";
    }
}

std::string SubTypeText(uint32_t type, uint32_t subType)
{
    static const char *const drivers[] = { "Printer", "Keyboard", "Language", "Display", "Mouse", "Network",
        "System", "Installable", "Sound", "Communications" };
    static const char *const fonts[] = { "Raster", "Vector", "TrueType" };
    if (type == 3)
        return subType >= 1 && subType <= 10 ? drivers[subType - 1] : "Unknown";
    if (type == 4)
        return subType >= 1 && subType <= 3 ? fonts[subType - 1] : "Unknown";
    return {};
}

} // namespace

struct TVersionResource::Impl {
    std::string fileName;
    TLanguage language = lnUSEnglish;
    TCharacterSet characterSet = csMultilingual;
    bool readsOtherFile = false;
    TVersionInfo info;
};

TVersionResource::TVersionResource(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
    d->fileName = OwnFileName();
    ReadVersion();
}

TVersionResource::~TVersionResource() = default;

const std::string &TVersionResource::FileName() const
{
    return d->fileName;
}
TVersionResource::TLanguage TVersionResource::Language() const
{
    return d->language;
}
TCharacterSet TVersionResource::CharacterSet() const
{
    return d->characterSet;
}
bool TVersionResource::ReadsOtherFile() const
{
    return d->readsOtherFile;
}
TVersionInfo *TVersionResource::VersionInfo() const
{
    return &d->info;
}
void TVersionResource::SetVersionInfo(TVersionInfo *value)
{
    d->info.Assign(value);
}

void TVersionResource::SetFileName(const std::string &value)
{
    d->fileName = value;
    d->readsOtherFile = value != OwnFileName();
    ReadVersion();
}

void TVersionResource::SetLanguage(TLanguage value)
{
    d->language = value;
    ReadVersion();
}

void TVersionResource::SetCharacterSet(TCharacterSet value)
{
    d->characterSet = value;
    ReadVersion();
}

// The file version always comes from the fixed part; the string table may
// only replace the product version.
void TVersionResource::ReadVersion()
{
    TVersionInfo &info = d->info;
    info.Clear();
    const auto block = TVersionBlock::FromFile(d->fileName);
    if (!block)
        return;
    if (const auto fixed = block->FixedFileInfo()) {
        info.SetFileVersion(VersionText(fixed->FileVersionMS, fixed->FileVersionLS));
        info.SetProductVersion(VersionText(fixed->ProductVersionMS, fixed->ProductVersionLS));
        info.SetFileOS(OSText(fixed->FileOS));
        info.SetFileType(TypeText(fixed->FileType));
        info.SetFileSubType(SubTypeText(fixed->FileType, fixed->FileSubtype));
    }
    const std::string table = "\\StringFileInfo\\" + IntToHex(LanguageID(d->language), 4)
        + IntToHex(CodePage(d->characterSet), 4) + "\\";
    const std::pair<const char *, void (TVersionInfo::*)(const std::string &)> strings[] = {
        { "Comment", &TVersionInfo::SetComment },
        { "CompanyName", &TVersionInfo::SetCompanyName },
        { "FileDescription", &TVersionInfo::SetFileDescription },
        { "InternalName", &TVersionInfo::SetInternalName },
        { "LegalCopyright", &TVersionInfo::SetLegalCopyright },
        { "LegalTradeMarks", &TVersionInfo::SetLegalTradeMarks },
        { "OriginalFileName", &TVersionInfo::SetOriginalFileName },
        { "PrivateBuild", &TVersionInfo::SetPrivateBuild },
        { "ProductName", &TVersionInfo::SetProductName },
        { "ProductVersion", &TVersionInfo::SetProductVersion },
        { "SpecialBuild", &TVersionInfo::SetSpecialBuild },
    };
    for (const auto &[name, set] : strings)
        if (const auto value = block->QueryString(table + name))
            (info.*set)(*value);
}

// ---- Comparisons -------------------------------------------------------------------

namespace
{

bool IsNumber(const std::string &item)
{
    return !item.empty() && item.find_first_not_of("0123456789") == std::string::npos;
}

// Numbers of any length compare by value: without leading zeros, the longer
// is larger, and equal lengths compare digit by digit.
int CompareNumbers(const std::string &a, const std::string &b)
{
    const std::string x = a.substr(std::min(a.find_first_not_of('0'), a.size()));
    const std::string y = b.substr(std::min(b.find_first_not_of('0'), b.size()));
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

int CompareDates(double source, double dest)
{
    return source > dest ? 2 : source == dest ? 1 : 3;
}

std::string VersionOf(const std::string &fileName)
{
    TVersionResource *versions = GlobalVersionResource();
    versions->SetFileName(fileName);
    return versions->VersionInfo()->FileVersion();
}

// The date of a file from its DOS time stamp; nothing when it cannot be read.
std::optional<double> DateOf(const std::string &fileName)
{
    const int age = FileAge(fileName);
    if (age == -1)
        return std::nullopt;
    return FileDateToDateTime(age);
}

int Decide(TOverwriteType mode, const std::string &dest, const std::function<std::string()> &sourceVersion,
    const std::function<std::optional<double>()> &sourceDate)
{
    switch (mode) {
    case owAlways:
        return 2;
    case owNever:
        return !Trim(dest).empty() && FileExists(dest) ? 3 : 2;
    case owVersion:
    case owVersionDate:
        switch (TVersionResource::CompareVersionText(sourceVersion(), VersionOf(dest))) {
        case 1:
            return 2;
        case 2:
            return 3;
        }
        if (mode == owVersion)
            return 1;
        [[fallthrough]];
    case owDate: {
        const auto from = sourceDate();
        const auto to = DateOf(dest);
        return from && to ? CompareDates(*from, *to) : 0;
    }
    }
    return 0;
}

} // namespace

int TVersionResource::CompareVersionText(const std::string &a, const std::string &b)
{
    for (int i = 1;; ++i) {
        const std::string x = GetItem(a, i, "."), y = GetItem(b, i, ".");
        if (x.empty() && y.empty())
            return 0;
        if (x.empty())
            return 2;
        if (y.empty())
            return 1;
        const int order = IsNumber(x) && IsNumber(y) ? CompareNumbers(x, y) : CompareStr(x, y);
        if (order != 0)
            return order > 0 ? 1 : 2;
    }
}

int TVersionResource::IsFileNewer(const std::string &source, const std::string &dest, TOverwriteType mode)
{
    try {
        return Decide(
            mode, dest, [&] { return VersionOf(source); }, [&] { return DateOf(source); });
    } catch (const std::exception &) {
        return 0;
    }
}

int TVersionResource::IsFileNewerByName(
    const std::string &sourceVersion, const std::string &dest, TOverwriteType mode, double sourceDate)
{
    try {
        return Decide(
            mode, dest, [&] { return sourceVersion; }, [&] { return std::optional<double>(sourceDate); });
    } catch (const std::exception &) {
        return 0;
    }
}

TVersionResource *GlobalVersionResource()
{
    static std::unique_ptr<TVersionResource> instance;
    if (!instance)
        instance = std::make_unique<TVersionResource>(nullptr);
    return instance.get();
}
