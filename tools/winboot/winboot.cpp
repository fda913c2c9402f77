// winboot: restarts the emulated Windows machine ($WINROOT) as Windows would.
// The files waiting to be moved are moved first, then each RunOnce command
// is removed and run. Prints what it did, one line each; ends with 1 when
// something could not be carried out.

#include <cstdio>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/system/machine.h"
#include "platform/system/restart.h"

int main(int argc, char **argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: winboot\n"
                  "Restarts the emulated Windows machine of $WINROOT: carries out the file moves\n"
                  "waiting for a restart, then runs and removes its RunOnce commands.");
        return 0;
    }
    try {
        Machine();
        const TBootReport report = RestartMachine();
        for (const std::string &line : report.Done)
            std::printf("%s\n", line.c_str());
        for (const std::string &line : report.Failed)
            std::fprintf(stderr, "winboot: failed: %s\n", line.c_str());
        return report.Failed.empty() ? 0 : 1;
    } catch (const Exception &e) {
        std::fprintf(stderr, "winboot: %s\n", e.Message().c_str());
        return 2;
    }
}
