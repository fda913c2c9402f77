// Program Manager: the input is the commands of one conversation, a NUL and
// a group file as it lies in the machine's progman folder. The group is
// read, the commands run and every group requested; nothing is written
// outside the folder.
#include "platform/system/machine.h"
#include "platform/system/progman.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzFolder();
    const std::filesystem::path folder = Machine().Root() + "/progman";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto [commands, group] = SplitAtNul(data, size);
    std::ofstream(folder / "FUZZ.grp", std::ios::binary) << group;

    TProgmanGroup read;
    FuzzReached() += ReadProgmanGroup("Fuzz", read);
    const auto conversation = TProgmanConversation::Open("PROGMAN");
    if (!conversation)
        std::abort(); // Program Manager runs on a new machine
    conversation->Execute(commands);
    if (const auto names = conversation->Request("Groups")) {
        std::istringstream lines(*names);
        for (std::string name; std::getline(lines, name);) {
            if (!name.empty() && name.back() == '\r')
                name.pop_back();
            conversation->Request(name);
            ReadProgmanGroup(name, read);
        }
    }
    for (const auto &entry : std::filesystem::recursive_directory_iterator(Machine().Root()))
        if (entry.path().parent_path() != folder && entry.path() != folder
            && !std::filesystem::is_directory(entry.path()) && entry.path().string().find("/progman") != std::string::npos)
            std::abort(); // a group file outside the progman folder
    return 0;
}
