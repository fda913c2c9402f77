#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/classes/classes.h"

// The rule for a destination file that already exists; shared by the archive
// and the install files.
enum TOverwriteType : int { owAlways, owNever, owVersion, owDate, owVersionDate };

// Code pages of a version string table; CodePage gives the number of each.
// clang-format off
enum TCharacterSet {
    csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek,
    csTurkish, csHebrew, csArabic
};
// clang-format on
uint16_t CodePage(TCharacterSet characterSet);

// The fixed part of a version block (VS_FIXEDFILEINFO).
struct TFixedFileInfo {
    uint32_t Signature = 0; // 0xFEEF04BD
    uint32_t StrucVersion = 0;
    uint32_t FileVersionMS = 0;
    uint32_t FileVersionLS = 0;
    uint32_t ProductVersionMS = 0;
    uint32_t ProductVersionLS = 0;
    uint32_t FileFlagsMask = 0;
    uint32_t FileFlags = 0;
    uint32_t FileOS = 0;
    uint32_t FileType = 0;
    uint32_t FileSubtype = 0;
    uint32_t FileDateMS = 0;
    uint32_t FileDateLS = 0;
};

// The version block (VS_VERSIONINFO) of one file, queried by path as the
// version API does: "\" for the fixed part, "\StringFileInfo\040904E4\CompanyName"
// for a string. The block comes from a Windows executable's or library's
// version resource, or from the ".orvex.version" section that our own build
// gives each program (cmake/VersionInfo.cmake).
class TVersionBlock
{
public:
    explicit TVersionBlock(std::string bytes);

    // The block of a file; nothing when the file has none or cannot be read.
    // Only the headers and the block itself are read, never the whole file.
    static std::optional<TVersionBlock> FromFile(const std::string &fileName);

    std::optional<TFixedFileInfo> FixedFileInfo() const;
    std::optional<std::string> QueryString(std::string_view path) const; // UTF-8
    const std::string &Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The values read from a file's version block.
class TVersionInfo : public TPersistent
{
public:
    TVersionInfo() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Strings of the string table
    const std::string &Comment() const { return comment_; }
    void SetComment(const std::string &value) { comment_ = value; }
    const std::string &CompanyName() const { return companyName_; }
    void SetCompanyName(const std::string &value) { companyName_ = value; }
    const std::string &FileDescription() const { return fileDescription_; }
    void SetFileDescription(const std::string &value) { fileDescription_ = value; }
    const std::string &FileVersion() const { return fileVersion_; }
    void SetFileVersion(const std::string &value) { fileVersion_ = value; }
    const std::string &InternalName() const { return internalName_; }
    void SetInternalName(const std::string &value) { internalName_ = value; }
    const std::string &LegalCopyright() const { return legalCopyright_; }
    void SetLegalCopyright(const std::string &value) { legalCopyright_ = value; }
    const std::string &LegalTradeMarks() const { return legalTradeMarks_; }
    void SetLegalTradeMarks(const std::string &value) { legalTradeMarks_ = value; }
    const std::string &OriginalFileName() const { return originalFileName_; }
    void SetOriginalFileName(const std::string &value) { originalFileName_ = value; }
    const std::string &PrivateBuild() const { return privateBuild_; }
    void SetPrivateBuild(const std::string &value) { privateBuild_ = value; }
    const std::string &ProductName() const { return productName_; }
    void SetProductName(const std::string &value) { productName_ = value; }
    const std::string &ProductVersion() const { return productVersion_; }
    void SetProductVersion(const std::string &value) { productVersion_ = value; }
    const std::string &SpecialBuild() const { return specialBuild_; }
    void SetSpecialBuild(const std::string &value) { specialBuild_ = value; }

    // Texts of the fixed part
    const std::string &FileOS() const { return fileOS_; }
    void SetFileOS(const std::string &value) { fileOS_ = value; }
    const std::string &FileType() const { return fileType_; }
    void SetFileType(const std::string &value) { fileType_ = value; }
    const std::string &FileSubType() const { return fileSubType_; }
    void SetFileSubType(const std::string &value) { fileSubType_ = value; }

    void Clear();
    void Assign(const TPersistent *source) override;

private:
    std::string comment_, companyName_, fileDescription_, fileVersion_, internalName_, legalCopyright_,
        legalTradeMarks_, originalFileName_, privateBuild_, productName_, productVersion_, specialBuild_,
        fileOS_, fileType_, fileSubType_;
};

// Reads the version block of a file into VersionInfo, again whenever the
// file, the language or the code page changes.
class TVersionResource : public TComponent
{
public:
    // Languages of a version string table; LanguageID gives the Windows
    // language identifier of each. Kept inside the class, since the
    // translator has a language class of the same name.
    // clang-format off
    enum TLanguage {
        lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek,
        lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic, lnItalian,
        lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese, lnRhaetoRomanic,
        lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish, lnThai, lnTurkish, lnUrdu,
        lnBahasa, lnSimplifiedChinese, lnSwissGerman, lnUKEnglish, lnMexicanSpanish, lnBelgianFrench,
        lnSwissItalian, lnBelgianDutch, lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian, lnCanadianFrench,
        lnSwissFrench
    };
    // clang-format on
    static uint16_t LanguageID(TLanguage language);

    explicit TVersionResource(TComponent *owner);
    ~TVersionResource() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // What is read
    const std::string &FileName() const;
    void SetFileName(const std::string &value);
    TLanguage Language() const;
    void SetLanguage(TLanguage value);
    TCharacterSet CharacterSet() const;
    void SetCharacterSet(TCharacterSet value);
    bool ReadsOtherFile() const; // FileName is not the program's own file

    // What was read
    TVersionInfo *VersionInfo() const;
    void SetVersionInfo(TVersionInfo *value);

    // Comparisons. CompareVersionText: 0 equal, 1 A newer, 2 B newer.
    // IsFileNewer and IsFileNewerByName: 0 the comparison failed, 1 equal,
    // 2 the source is newer (replace), 3 the destination is newer or stays.
    static int CompareVersionText(const std::string &a, const std::string &b);
    static int IsFileNewer(const std::string &source, const std::string &dest, TOverwriteType mode);
    static int IsFileNewerByName(
        const std::string &sourceVersion, const std::string &dest, TOverwriteType mode, double sourceDate);

private:
    void ReadVersion();

    struct Impl;
    std::unique_ptr<Impl> const d;
};

// The program's one version reader, made on first use and freed at exit.
TVersionResource *GlobalVersionResource();
