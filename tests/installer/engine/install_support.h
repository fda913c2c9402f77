// The setup program's world for the install tests: a fresh emulated machine
// per test, a form that owns the install objects, and file helpers.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utime.h>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "platform/classes/filer.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/ui/forms.h"

namespace install_test
{

// The setup program's main form: it owns the install component and its tree.
class TSetupForm : public TForm
{
public:
    explicit TSetupForm(TComponent *owner)
        : TForm(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

inline std::string Slurp(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Put(const std::string &hostPath, const std::string &bytes, time_t mtime = 0)
{
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary | std::ios::trunc) << bytes;
    if (mtime) {
        utimbuf times { mtime, mtime };
        utime(hostPath.c_str(), &times);
    }
}

inline std::string Host(const std::string &windowsPath)
{
    return MapPath(windowsPath);
}

inline std::string RegString(const std::string &key, const std::string &name)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(key) || !reg.ValueExists(name))
        return "<missing>";
    return reg.GetDataType(name) == rdInteger ? std::to_string(reg.ReadInteger(name)) : reg.ReadString(name);
}

inline bool RegKeyExists(const std::string &key)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    return reg.KeyExists(key);
}

// A fresh machine for every test, and no install component left over.
class InstallMachine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::string(std::getenv("WINROOT")) + "/install-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenMachine(root_);
        SetProgramArguments({ "setup", "-sC:\\build" });
    }
    void TearDown() override
    {
        SetProgramArguments({ "setup" });
        // The application stays ended once ended: every test after this one
        // would see a program that has already ended.
        EXPECT_FALSE(Application->Terminated()) << "the program was ended outside a child (InChild)";
    }

    // Reads a resource into a new setup form; the form is freed by the test.
    std::unique_ptr<TSetupForm> LoadForm(const std::string &text)
    {
        auto form = std::make_unique<TSetupForm>(nullptr);
        ReadComponentText(form.get(), text, "setup.dfm");
        return form;
    }

    TFaultScope faults_;
    std::string root_;
};

} // namespace install_test

namespace install_test
{

// A small product: files in C:\src built into C:\build\files.1 and installed
// into C:\Program Files\ORVEX, all straight in the install component.
class SmallProduct : public InstallMachine
{
protected:
    // name -> bytes, in install order
    std::vector<std::pair<std::string, std::string>> files_ { { "PROG.EXE", std::string(20000, 'p') },
        { "DATOS.DAT", "datos" } };
    std::string installExtra_; // more lines for the install component
    std::string fileExtra_; // more lines for every file

    std::string Resource() const
    {
        std::string text = "object SetupForm: TSetupForm\n"
                           "  object Install1: TInstall\n"
                           "    DestDir = '\\ORVEX'\n"
                           "    DestDirType = psProgramFiles\n"
                           "    Information.ProductName = 'Tabulo'\n"
                           "    RunAutomatic = False\n"
            + installExtra_ + "  end\n";
        int n = 0;
        for (const auto &[name, bytes] : files_) {
            (void)bytes;
            text += "  object File" + std::to_string(++n)
                + ": TInstallFile\n"
                  "    ArchiveFileType = psContainerArchiveFile\n"
                  "    Container = Install1\n"
                  "    DestDirType = psContainerDestDir\n"
                  "    DestName = '"
                + name + "'\n    FileName = '" + name + "'\n    IncludeFromDir = 'C:\\src'\n" + fileExtra_
                + "  end\n";
        }
        return text + "end\n";
    }

    std::string Installed(const std::string &name) const { return "C:\\Program Files\\ORVEX\\" + name; }

    void WriteSources(const std::string &suffix = "")
    {
        for (const auto &[name, bytes] : files_)
            Put(Host("C:\\src\\" + name), bytes + suffix);
    }

    void Build(const std::string &suffix = "")
    {
        WriteSources(suffix);
        auto form = LoadForm(Resource());
        static_cast<TCustomInstall *>(form->FindComponent("Install1"))->Compress({ coBuildMarker });
    }

    static TCustomInstall *InstallOf(TComponent *form)
    {
        return static_cast<TCustomInstall *>(form->FindComponent("Install1"));
    }

    // A run as the application runs it: every error ends in the handler.
    static void Run(TCustomInstall *install)
    {
        try {
            install->Process();
        } catch (...) {
            Application->HandleException(install);
        }
    }
};

} // namespace install_test

#include <sys/wait.h>
#include <unistd.h>

namespace install_test
{

// Runs body in a forked child and answers what it returned. Runs that end
// the program (a restart, a shutdown) end only the child, so the
// application of the other tests keeps running.
inline std::string InChild(const std::function<std::string()> &body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "<no pipe>";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string out;
        try {
            out = body();
        } catch (const Exception &e) {
            out = "exception: " + e.Message();
        } catch (...) {
            out = "exception";
        }
        const char *p = out.data();
        size_t left = out.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

// Runs a test's body in a forked child, for a body that ends the program
// (as the build and the floppy modes do); the child's failures are
// reported here.
inline void InChildTest(const std::function<void()> &body)
{
    const std::string failures = InChild([&] {
        ::testing::TestPartResultArray results;
        {
            ::testing::ScopedFakeTestPartResultReporter reporter(
                ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
            body();
        }
        std::string out = "done\n";
        for (int i = 0; i < results.size(); ++i) {
            const ::testing::TestPartResult &result = results.GetTestPartResult(i);
            if (result.failed())
                out += std::string(result.file_name() ? result.file_name() : "?") + ":"
                    + std::to_string(result.line_number()) + ": " + result.message() + "\n";
        }
        return out;
    });
    if (failures != "done\n")
        ADD_FAILURE() << (failures.empty() ? std::string("the child ended before its end") : failures);
}

} // namespace install_test
