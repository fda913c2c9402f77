#pragma once

#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"

class TStrings;

ORVEX_EXCEPTION(EIniFileException, Exception);

// An INI file read and written as Windows' profile calls do: sections and
// keys are found without regard to case (the first of equal ones counts),
// values are trimmed and lose one pair of enclosing quotes, comment lines and
// everything else stay as they are. Every write goes to disk before it
// returns, replacing the file atomically under a lock on its folder; a write
// that fails raises EIniFileException "Unable to write to %s".
class TIniFile : public TObject
{
public:
    explicit TIniFile(const std::string &fileName); // a Windows path of the machine
    ~TIniFile() override;
    const char *ClassName() const override { return "TIniFile"; }

    const std::string &FileName() const;

    // Values
    std::string ReadString(
        const std::string &section, const std::string &ident, const std::string &fallback) const;
    void WriteString(const std::string &section, const std::string &ident, const std::string &value);
    int ReadInteger(const std::string &section, const std::string &ident, int fallback) const; // also 0x hex
    void WriteInteger(const std::string &section, const std::string &ident, int value);
    bool ReadBool(const std::string &section, const std::string &ident, bool fallback) const;
    void WriteBool(const std::string &section, const std::string &ident, bool value);

    // Sections
    void ReadSection(const std::string &section, TStrings &strings) const; // the keys
    void ReadSectionValues(const std::string &section, TStrings &strings) const; // key=value lines
    void EraseSection(const std::string &section);
    void DeleteKey(const std::string &section, const std::string &ident);

    // Writes are on disk when they return; kept for callers that flush
    // explicitly at the end, as they must on systems that cache profiles.
    void UpdateFile();

private:
    std::string fileName_;
};
