// A whole installation: a configuration read from a form resource is built
// into its archives, then installed on a fresh machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "installer/engine/cmp_TInstall/installlog.h"
#include "installer/engine/cmp_TUninstallEXE/cmp_TUninstallEXE.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/inifiles.h"
#include "platform/ui/testing.h"
#include "tests/installer/engine/install_support.h"
#include "tests/support/lnkinfo.h"
#include "tests/support/loopback_server.h"

namespace fs = std::filesystem;
using namespace install_test;

namespace
{

// A child of the install that hears its broadcasts, as the wizard's
// components do, and writes them down.
class TEventProbe : public TInstallObject
{
public:
    explicit TEventProbe(TComponent *owner)
        : TInstallObject(owner)
    {
    }
    int RegisteredType() const override { return rtDialog; }
    void DoInstallEvent(TObject *, int code, TObject *po) override
    {
        if (code == ieFileStatus)
            Percents.push_back(static_cast<TFileStatusParameter *>(po)->TotalPercent);
        else if (code == ieShowStatus)
            Heard.push_back("-974 " + static_cast<TMessageParameter *>(po)->Text);
        else
            Heard.push_back(std::to_string(code));
    }
    std::vector<std::string> Heard;
    std::vector<int> Percents;
};

const time_t SourceTime = 1700000000; // even seconds: the archive keeps DOS dates

struct Source {
    const char *name;
    std::string bytes;
    const char *installedAt;
};

class WholeInstall : public InstallMachine
{
protected:
    void SetUp() override
    {
        InstallMachine::SetUp();
        served_ = root_ + "-served";
        fs::create_directories(served_ + "/dist");
        server_ = std::make_unique<LoopbackServer>(
            LoopbackScript("http_server.py"), std::vector<std::string> { "--root", served_ });
        for (const Source &s : sources_)
            Put(Host(std::string("C:\\src\\") + s.name), s.bytes, SourceTime);
    }

    std::string Resource() const
    {
        return "object SetupForm: TSetupForm\n"
               "  object Install1: TInstall\n"
               "    DestDir = '\\ORVEX'\n"
               "    DestDirType = psProgramFiles\n"
               "    DistributeType = dtTraditionalNet\n"
               "    Information.ProductName = 'Tabulo'\n"
               "    NetLocation = NetLocation1\n"
               "    RunAutomatic = False\n"
               "  end\n"
               "  object NetLocation1: TNetInstallLocation\n"
               "    LoginInformation.Hostname = '"
            + server_->Address()
            + "'\n"
              "    LoginInformation.Protocol = ipHTTP\n"
              "    LoginInformation.Directory = 'dist'\n"
              "  end\n"
              "  object Group1: TInstallFileGroup\n"
              "    ArchiveFileType = psContainerArchiveFile\n"
              "    Container = Install1\n"
              "    DestDir = '\\Datos'\n"
              "    DestDirType = psContainerDestDir\n"
              "  end\n"
            + File("Ayuda", "Group1", "AYUDA.HLP", "psContainerDestDir", "    RegisterAsHelp = True\n")
            + File("Tabulo", "Install1", "TABULO.EXE", "psContainerDestDir", "")
            + File("Shared", "Install1", "KVSHARED.DLL", "psSystem", "    UpdateDLLCounter = True\n")
            + "  object Uninstall: TUninstallEXE\n"
              "    ArchiveFileType = psContainerArchiveFile\n"
              "    Container = Install1\n"
              "    DestDirType = psContainerDestDir\n"
              "    DestName = 'uninstall.exe'\n"
              "    FileName = 'uninstall.exe'\n"
              "    IncludeFromDir = 'C:\\src'\n"
              "    Net = False\n"
              "  end\n"
              "  object NetData: TInstallFile\n"
              "    Container = Install1\n"
              "    DestDirType = psContainerDestDir\n"
              "    DestName = 'NETDATA.BIN'\n"
              "    FileName = 'NETDATA.BIN'\n"
              "    IncludeFromDir = 'C:\\src'\n"
              "    Net = True\n"
              "    NetLocation = NetLocation1\n"
              "  end\n"
              "  object MainGroup: TMainLinkGroup\n"
              "    Container = Install1\n"
              "  end\n"
              "  object TabuloLink: TInstallMainLink\n"
              "    Container = MainGroup\n"
              "    HotKey = 1620\n"
              "    LinkName = 'Tabulo.lnk'\n"
              "    ObjectLink = Tabulo\n"
              "    ObjectLocationType = psObjectLink\n"
              "  end\n"
              "  object UninstallLink: TInstallMainLink\n"
              "    Container = MainGroup\n"
              "    LinkName = 'Desinstalar Tabulo.lnk'\n"
              "    ObjectLink = Uninstall\n"
              "    ObjectLocationType = psObjectLink\n"
              "  end\n"
              "  object WebLink: TInstallMainLink\n"
              "    Container = MainGroup\n"
              "    LinkName = 'www.orvex.es-tabulo.URL'\n"
              "    ObjectLocation = 'http://www.orvex.es/tabulo'\n"
              "  end\n"
              "end\n";
    }
    static std::string File(const std::string &name, const std::string &container,
        const std::string &fileName, const std::string &destType, const std::string &extra)
    {
        return "  object " + name
            + ": TInstallFile\n    ArchiveFileType = psContainerArchiveFile\n    Container = " + container
            + "\n    DestDirType = " + destType + "\n    DestName = '" + fileName + "'\n    FileName = '"
            + fileName + "'\n    IncludeFromDir = 'C:\\src'\n" + extra + "  end\n";
    }

    // The build: every archive of the distribution, and the network file's
    // archive put where the server serves it.
    void Build()
    {
        auto form = LoadForm(Resource());
        auto *install = static_cast<TCustomInstall *>(form->FindComponent("Install1"));
        install->Compress({ coBuildMarker });
        // The remote file list beside the archive, as a build writes it.
        install->SetArchiveFileType(nullptr);
        install->SetArchiveFile("C:\\build\\files.1");
        install->WriteRemoteFileList();
        const std::string remote = Host("C:\\build\\" + FilterFileName(server_->Address()) + "\\dist");
        ASSERT_TRUE(fs::exists(remote + "/NetData.1")) << remote;
        fs::copy_file(remote + "/NetData.1", served_ + "/dist/NetData.1");
        fs::copy_file(remote + "/filelist.lst", served_ + "/dist/filelist.lst");
        ASSERT_TRUE(fs::exists(Host("C:\\build\\files.1")));
    }

    // The distribution moved onto a machine that has never seen it.
    void FreshMachine()
    {
        const std::string build = Host("C:\\build");
        OpenMachine(root_ + "-target");
        fs::create_directories(Host("C:\\build"));
        fs::copy(build, Host("C:\\build"), fs::copy_options::recursive);
    }

    std::vector<Source> sources_ { { "TABULO.EXE", std::string(70000, 'T') + "fin",
                                       "C:\\Program Files\\ORVEX\\TABULO.EXE" },
        { "AYUDA.HLP", "ayuda en línea", "C:\\Program Files\\ORVEX\\Datos\\AYUDA.HLP" },
        { "KVSHARED.DLL", std::string(5000, '\x01'), "C:\\WINDOWS\\SYSTEM32\\KVSHARED.DLL" },
        { "uninstall.exe", "desinstalar", "C:\\Program Files\\ORVEX\\uninstall.exe" },
        { "NETDATA.BIN", std::string(3000, 'n'), "C:\\Program Files\\ORVEX\\NETDATA.BIN" } };
    std::string served_;
    std::unique_ptr<LoopbackServer> server_;
};

TEST_F(WholeInstall, BuildThenInstallOnAFreshMachine)
{
    Build();
    FreshMachine();

    ScriptedMessageBoxes boxes;
    auto form = LoadForm(Resource());
    auto *install = static_cast<TCustomInstall *>(form->FindComponent("Install1"));
    auto *probe = new TEventProbe(form.get());
    probe->SetContainer(install);
    std::string logKeyDuringRun;
    install->OnAfterInitialized = [&](TObject *) { logKeyDuringRun = install->Log().Key(); };
    std::vector<int> totals;
    install->OnStatus = [&](TCustomInstallFile *, int, int total) { totals.push_back(total); };

    try {
        install->Process();
    } catch (...) {
        Application->HandleException(install);
    }
    ASSERT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    EXPECT_FALSE(install->Running());

    for (const Source &s : sources_) {
        const std::string host = Host(s.installedAt);
        ASSERT_TRUE(fs::exists(host)) << s.installedAt;
        EXPECT_EQ(Slurp(host), s.bytes) << s.installedAt;
        struct stat st {
        };
        stat(host.c_str(), &st);
        EXPECT_EQ(st.st_mtime, SourceTime) << s.installedAt;
    }
    EXPECT_EQ(RegString("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                  "C:\\WINDOWS\\SYSTEM32\\KVSHARED.DLL"),
        "1");
    EXPECT_EQ(
        RegString("\\SOFTWARE\\Microsoft\\Windows\\Help", "AYUDA.HLP"), "C:\\Program Files\\ORVEX\\Datos");

    const std::string uninstall = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tabulo";
    EXPECT_EQ(RegString(uninstall, "DisplayName"), "Tabulo");
    EXPECT_EQ(RegString(uninstall, "UninstallString"), "C:\\Program Files\\ORVEX\\uninstall.exe Tabulo");
    std::vector<std::string> listed;
    const int entries = StrToIntDef(RegString(uninstall + "\\Files", "Entries"), 0);
    for (int i = 1; i <= entries; ++i)
        listed.push_back(RegString(uninstall + "\\Files", "File" + std::to_string(i)));
    const std::string programs = GetProgramsMenuDir() + "\\Tabulo\\";
    EXPECT_THAT(listed,
        ::testing::UnorderedElementsAre("C:\\Program Files\\ORVEX\\Datos\\AYUDA.HLP",
            "C:\\Program Files\\ORVEX\\TABULO.EXE", "C:\\WINDOWS\\SYSTEM32\\KVSHARED.DLL",
            "C:\\Program Files\\ORVEX\\NETDATA.BIN", programs + "Tabulo.lnk", programs + "Desinstalar Tabulo.lnk",
            programs + "www.orvex.es-tabulo.URL"));

    // The main link group's shortcuts, in the Start menu's Programs folder.
    auto tabulo = LnkInfo(Host(programs + "Tabulo.lnk"));
    EXPECT_EQ(tabulo["Local path"], "C:\\Program Files\\ORVEX\\TABULO.EXE");
    EXPECT_EQ(tabulo["Working directory"], "C:\\Program Files\\ORVEX");
    EXPECT_EQ(tabulo.count("Command line arguments"), 0u);
    EXPECT_EQ(LnkHeaderHotKey(Host(programs + "Tabulo.lnk")), 1620);
    auto uninstaller = LnkInfo(Host(programs + "Desinstalar Tabulo.lnk"));
    EXPECT_EQ(uninstaller["Local path"], "C:\\Program Files\\ORVEX\\uninstall.exe");
    EXPECT_EQ(uninstaller["Command line arguments"], "Tabulo"); // the product it removes
    EXPECT_EQ(TIniFile(programs + "www.orvex.es-tabulo.URL").ReadString("InternetShortcut", "URL", ""),
        "http://www.orvex.es/tabulo");

    EXPECT_FALSE(logKeyDuringRun.empty());
    EXPECT_FALSE(RegKeyExists(logKeyDuringRun));

    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 100);
    EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));

    // What the wizard hears: the moments before installing, the archive
    // information around them, then the run, and the good-install wizard.
    const std::vector<std::string> &heard = probe->Heard;
    auto at = [&](const std::string &code) {
        return std::find(heard.begin(), heard.end(), code) - heard.begin();
    };
    EXPECT_THAT(std::vector<std::string>(heard.begin(), heard.begin() + 4),
        ::testing::ElementsAre("-984", "-974 Reading file information...", "-973", "-983"));
    EXPECT_THAT(std::vector<std::string>(heard.begin() + 4, heard.begin() + 11),
        ::testing::ElementsAre("-986", "-976", "-975", "-982", "-981", "-977", "-980"));
    EXPECT_LT(at("-990"), at("-999"));
    EXPECT_LT(at("-999"), at("-992"));
    EXPECT_EQ(heard.back(), "-979");
    EXPECT_EQ(heard[heard.size() - 2], "-995");
    EXPECT_FALSE(probe->Percents.empty());
}

} // namespace
