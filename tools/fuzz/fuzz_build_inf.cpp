// BUILD.INF: any bytes as the file beside the setup program, read by the
// build mode (-b) of a form holding a TInstall, as the setup program reads it
// at start. The program lives in the fuzz folder: the target maps the folder
// of its own file there, and refuses every path that maps outside the fuzz
// folder, so that a build folder the input names is made nowhere else. The
// build's message box is answered at once.
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/registration.h"
#include "platform/classes/filer.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pathmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "tools/fuzz/fuzz_support.h"

namespace
{

std::string root, programFolder, dev;

bool Below(const std::string &host, const std::string &folder)
{
    return host.compare(0, folder.size(), folder) == 0 && (host.size() == folder.size() || host[folder.size()] == '/');
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    dev = FuzzFolder().substr(2) + "/dev";
    root = std::filesystem::path(FuzzFolder().substr(2)).parent_path().string();
    programFolder = std::filesystem::path(Application->ExeName()).parent_path().string();
    std::filesystem::create_directories(dev);
    std::ofstream(dev + "/" + std::filesystem::path(Application->ExeName()).filename().string()) << "MZ setup";
    Machine(); // opened first: opening it installs its own mapper
    SetPathMapper([](std::string_view path, TPathFound *found) {
        const std::string host = Machine().HostPath(path, found);
        if (Below(host, root))
            return host;
        if (found)
            *found = {};
        if (Below(host, programFolder))
            return dev + host.substr(programFolder.size());
        return std::string("/proc/orvex-refused");
    });
    RegisterInstallerEngineClasses();
    SetProgramArguments({ "setup", "-b" });
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::ofstream(dev + "/BUILD.INF", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), std::streamsize(size));
    ScriptedMessageBoxes boxes;
    auto *form = new TForm(nullptr);
    try {
        ReadComponentText(form, "object SetupForm: TForm\n  object Install1: TInstall\n  end\nend\n", "setup.dfm");
    } catch (const Exception &) {
        std::abort(); // the form itself is sound
    }
    delete form;
    for (const auto &shown : boxes.Boxes())
        FuzzReached() += shown.Text.find("BUILD.INF") == std::string::npos;
    return 0;
}
