// Shortcut files written by the machine's shell link object, read back by an
// independent reader (lnkinfo).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/rtl/files.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/utf8.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"
#include "platform/system/shlobj.h"
#include "tests/support/lnkinfo.h"

namespace fs = std::filesystem;

namespace
{

class ShellLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/shelllink-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ForceDirectories("C:\\Program Files\\ORVEX");
        std::ofstream(MapPath("C:\\Program Files\\ORVEX\\TABULO.EXE")) << "tabulo";
        ForceDirectories("C:\\Links");
    }

    struct Link {
        std::string target, arguments, folder;
        uint16_t hotKey = 0;
    };

    // Every call of a link's life, each checked.
    static HRESULT Write(const Link &l, const std::string &file)
    {
        TComPtr<IShellLinkA> link;
        HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out());
        if (hr != S_OK)
            return hr;
        for (HRESULT step : { link->SetPath(l.target.c_str()), link->SetArguments(l.arguments.c_str()),
                 link->SetWorkingDirectory(l.folder.c_str()), link->SetHotkey(l.hotKey) })
            if (step != S_OK)
                return step;
        TComPtr<IPersistFile> persist;
        if ((hr = link->QueryInterface(IID_IPersistFile, persist.Out())) != S_OK)
            return hr;
        return persist->Save(Utf8ToUtf16(file).c_str(), true);
    }

    TFaultScope faults_;
};

struct RoundTrip {
    const char *name;
    std::string target, arguments, folder;
    uint16_t hotKey;
    std::string linkFile;
    std::string localPath, relativePath; // as lnkinfo reports them
};

void PrintTo(const RoundTrip &c, std::ostream *os)
{
    *os << c.name;
}

class ShellLinkRoundTrip : public ShellLinkTest, public ::testing::WithParamInterface<RoundTrip>
{
};

TEST_P(ShellLinkRoundTrip, LnkinfoReadsWhatWasSet)
{
    const RoundTrip &c = GetParam();
    ASSERT_EQ(Write({ c.target, c.arguments, c.folder, c.hotKey }, c.linkFile), S_OK);
    const std::string host = MapPath(c.linkFile);
    const auto info = LnkInfo(host);
    ASSERT_EQ(info.count("error"), 0u) << info.at("error");
    auto field = [&](const char *key) { return info.count(key) ? info.at(key) : std::string("<none>"); };
    EXPECT_EQ(field("Local path"), c.localPath);
    EXPECT_EQ(field("Relative path"), c.relativePath);
    EXPECT_EQ(field("Command line arguments"), c.arguments.empty() ? "<none>" : c.arguments);
    std::string folder = c.folder; // the machine's own separator, whichever was given
    std::replace(folder.begin(), folder.end(), '/', '\\');
    EXPECT_EQ(field("Working directory"), folder.empty() ? "<none>" : folder);
    EXPECT_EQ(LnkHeaderHotKey(host), c.hotKey);
}

const std::string Tabulo = "C:\\Program Files\\ORVEX\\TABULO.EXE";

INSTANTIATE_TEST_SUITE_P(Shortcuts, ShellLinkRoundTrip,
    ::testing::Values(
        RoundTrip { "Everything", Tabulo, "-x \"uno dos\"", "C:\\Program Files\\ORVEX", 0x0654,
            "C:\\Links\\Tabulo.lnk", Tabulo, "..\\Program Files\\ORVEX\\TABULO.EXE" },
        RoundTrip { "NoArgumentsNoFolder", Tabulo, "", "", 0, "C:\\Links\\Bare.lnk", Tabulo,
            "..\\Program Files\\ORVEX\\TABULO.EXE" },
        RoundTrip { "SameFolder", Tabulo, "", "", 0, "C:\\Program Files\\ORVEX\\Here.lnk", Tabulo,
            ".\\TABULO.EXE" },
        RoundTrip { "AccentsStayExact", "C:\\Program Files\\ORVEX\\Cálculo.exe", "año=ñ", "C:\\Año", 0x0341,
            "C:\\Links\\Cálculo.lnk", "C:\\Program Files\\ORVEX\\Cálculo.exe",
            "..\\Program Files\\ORVEX\\Cálculo.exe" },
        RoundTrip { "ForwardSlashesAreBackslashes", "C:/Program Files/ORVEX/TABULO.EXE", "", "C:/Program Files",
            0, "C:\\Links\\Slash.lnk", Tabulo, "..\\Program Files\\ORVEX\\TABULO.EXE" },
        RoundTrip { "OtherDriveHasNoRelativePath", "D:\\Datos\\x.dat", "", "", 0, "C:\\Links\\Other.lnk",
            "D:\\Datos\\x.dat", "<none>" },
        RoundTrip { "UrlTargetHasNoLocalPath", "\\\\server\\share\\x.exe", "", "", 0, "C:\\Links\\Unc.lnk",
            "<none>", "<none>" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ShellLinkTest, HostPathTargetIsNamedByItsDrive)
{
    const std::string host = MapPath(Tabulo);
    ASSERT_EQ(Write({ host, "", "", 0 }, "C:\\Links\\Host.lnk"), S_OK);
    EXPECT_EQ(LnkInfo(MapPath("C:\\Links\\Host.lnk"))["Local path"], Tabulo);
    ASSERT_EQ(Write({ "/usr/bin/env", "", "", 0 }, "C:\\Links\\Env.lnk"), S_OK);
    EXPECT_EQ(LnkInfo(MapPath("C:\\Links\\Env.lnk"))["Local path"], "Z:\\usr\\bin\\env");
}

TEST_F(ShellLinkTest, SavingAgainReplacesTheFile)
{
    ASSERT_EQ(Write({ Tabulo, "uno", "", 0 }, "C:\\Links\\Twice.lnk"), S_OK);
    ASSERT_EQ(Write({ Tabulo, "dos", "", 0 }, "C:\\Links\\Twice.lnk"), S_OK);
    EXPECT_EQ(LnkInfo(MapPath("C:\\Links\\Twice.lnk"))["Command line arguments"], "dos");
    int files = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(MapPath("C:\\Links")))
        ++files;
    EXPECT_EQ(files, 1); // no temporary left beside it
}

TEST_F(ShellLinkTest, FailuresAnswerTheirCodes)
{
    void *object = nullptr;
    const CLSID other { 0x12345678, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 1 } };
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object), REGDB_E_CLASSNOTREG);
    TComPtr<IShellLinkA> outer;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, outer.Out()), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, outer.Get(), CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
        CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, other, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(Write({ Tabulo, "", "", 0 }, ""), E_INVALIDARG);
    EXPECT_EQ(Write({ Tabulo, "", "", 0 }, "C:\\Missing\\x.lnk"), HResultFromWin32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fs::exists(MapPath("C:\\Missing")));
    EXPECT_EQ(Write({ "C:\\" + std::string(MAX_PATH, 'x'), "", "", 0 }, "C:\\Links\\Long.lnk"), E_INVALIDARG);
    EXPECT_EQ(Write({ Tabulo, std::string(32768, 'a'), "", 0 }, "C:\\Links\\Long.lnk"), E_INVALIDARG);
    EXPECT_EQ(Write({ Tabulo, std::string(32767, 'a'), "", 0 }, "C:\\Links\\Long.lnk"), S_OK);

    SetComFault("SetWorkingDirectory", E_OUTOFMEMORY);
    EXPECT_EQ(Write({ Tabulo, "", "", 0 }, "C:\\Links\\Fault.lnk"), E_OUTOFMEMORY);
    EXPECT_FALSE(fs::exists(MapPath("C:\\Links\\Fault.lnk")));
    SetComFault("SetWorkingDirectory", 0);
    EXPECT_EQ(Write({ Tabulo, "", "", 0 }, "C:\\Links\\Fault.lnk"), S_OK);
}

TEST(OleErrors, CheckRaisesTheCodeWithItsText)
{
    EXPECT_NO_THROW(OleCheck(S_FALSE));
    try {
        OleCheck(E_ACCESSDENIED);
        FAIL();
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.ErrorCode, E_ACCESSDENIED);
        EXPECT_EQ(e.Message(), "Access is denied");
    }
    EXPECT_EQ(OleErrorMessage(static_cast<HRESULT>(0x80041234)), "OLE error 80041234");
    EXPECT_EQ(GUIDToString(CLSID_ShellLink), "{00021401-0000-0000-C000-000000000046}");
}

} // namespace
