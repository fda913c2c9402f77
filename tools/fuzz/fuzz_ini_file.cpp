// INI files: any bytes as the file, then the sections it seems to name and
// their keys read, and one value written back in.
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "platform/system/inifiles.h"
#include "tools/fuzz/fuzz_support.h"

#include <sstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string bytes(AsText(data, size));
    std::vector<std::string> sections { "" };
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line) && sections.size() < 16;)
        if (!line.empty() && line.front() == '[')
            sections.push_back(line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));

    TIniFile ini(FuzzFile("fuzz.ini", bytes));
    try {
        for (const std::string &section : sections) {
            TStringList keys, values;
            ini.ReadSection(section, keys);
            ini.ReadSectionValues(section, values);
            FuzzReached() += keys.Count() > 0;
            for (int k = 0; k < keys.Count() && k < 16; ++k) {
                ini.ReadString(section, keys.Strings(k), "");
                ini.ReadInteger(section, keys.Strings(k), 0);
                ini.ReadBool(section, keys.Strings(k), false);
            }
        }
        ini.WriteString(sections.back(), "Fuzz", "1");
        if (ini.ReadString(sections.back(), "Fuzz", "") != "1" && sections.back().find_first_of("]\r\n") == std::string::npos
            && sections.back().find_first_not_of(" \t") != std::string::npos)
            std::abort(); // a value written is not read back
    } catch (const Exception &) {
        // an unreadable file is reported, which is right
    }
    return 0;
}
