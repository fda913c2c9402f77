// hive_reader <key>: another program of the machine ($WINROOT) that reads the
// string values of an HKEY_LOCAL_MACHINE key and prints each as its name, a
// tab, its type and the hex of its bytes, one line each.
#include <cstdio>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: hive_reader <key>\n");
        return 2;
    }
    try {
        Machine();
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKeyReadOnly(argv[1]))
            return 1;
        TStringList names;
        reg.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            const std::string value = reg.ReadString(names[i]);
            std::printf("%s\t%d\t", names[i].c_str(), static_cast<int>(reg.GetDataType(names[i])));
            for (unsigned char c : value)
                std::printf("%02x", c);
            std::printf("\n");
        }
        return 0;
    } catch (const Exception &e) {
        std::fprintf(stderr, "hive_reader: %s\n", e.Message().c_str());
        return 2;
    }
}
