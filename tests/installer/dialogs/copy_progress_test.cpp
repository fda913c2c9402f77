// The windows that follow the work: the copy-progress window as a real
// installation feeds it from its archive and a download, its Cancel with and
// without the install's abort question, and the stacked status box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "installer/dialogs/dlgcmp_CopyFile.h"
#include "installer/dialogs/dlgcmp_InstallStatus.h"
#include "installer/dialogs/ordlg_CopyFile.h"
#include "installer/dialogs/ordlg_InstallStatus.h"
#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"
#include "platform/system/windows.h"
#include "tests/installer/dialogs/wizard_support.h"
#include "tests/support/loopback_server.h"

namespace fs = std::filesystem;
using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

// Hears the install's broadcasts after the during-copy manager and writes
// down what the copy window shows at that moment, next to what was reported.
class TCopyWatcher : public TInstallObject
{
public:
    explicit TCopyWatcher(TComponent *owner)
        : TInstallObject(owner)
    {
    }
    int RegisteredType() const override { return rtDialog; }
    void DoInstallEvent(TObject *, int code, TObject *po) override
    {
        if (code == ieFileStatus || code == ieDownloadStatus) {
            TCopyFileForm *form = Form();
            if (!form)
                return;
            Seen shown { form->ProgressBar1->Position(), form->ProgressBar2->Position(),
                form->lblCopyingFile->Caption(), form->TransferBitmap->Visible(), form->Visible() };
            Seen reported;
            if (auto *file = dynamic_cast<TFileStatusParameter *>(po))
                reported = { file->FilePercent, file->TotalPercent, file->FileName, false, true };
            else if (auto *download = dynamic_cast<TDownloadStatusParameter *>(po))
                reported = { download->Percent, shown.Total, download->FileName, true, true };
            Shown.push_back(shown);
            Reported.push_back(reported);
            if (OnReport)
                OnReport(form);
        } else if (code == ieOperationEnded) {
            ++Ended;
        }
    }
    TCopyFileForm *Form() const
    {
        return Manager && Manager->DuringCopyFormCount() > 0
            ? dynamic_cast<TCopyFileForm *>(Manager->DuringCopyForms(0))
            : nullptr;
    }

    struct Seen {
        int File = -1;
        int Total = -1;
        std::string Name;
        bool Transfer = false;
        bool Visible = false;
        bool operator==(const Seen &) const = default;
    };
    TDialogManager *Manager = nullptr;
    std::vector<Seen> Shown;
    std::vector<Seen> Reported;
    int Ended = 0;
    std::function<void(TCopyFileForm *)> OnReport;
};

// Bytes that do not compress, so that the archive holds them in many blocks.
std::string Noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char &c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

void Put(const std::string &hostPath, const std::string &bytes)
{
    fs::create_directories(fs::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Slurp(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CopyProgress : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        served_ = root_ + "-served";
        fs::remove_all(served_);
        fs::create_directories(served_ + "/dist");
        server_ = std::make_unique<LoopbackServer>(
            LoopbackScript("http_server.py"), std::vector<std::string> { "--root", served_ });
        Put(MapPath("C:\\src\\TABULO.EXE"), Noise(300000, 1));
        Put(MapPath("C:\\src\\LEAME.TXT"), "léame");
        Put(MapPath("C:\\src\\DATOS.BIN"), Noise(120000, 2));
    }
    void TearDown() override
    {
        // A cancel leaves the flags up for the rest of the program, which here goes on.
        NetDownloadAbort = false;
        if (TKvraCompress *archive = SharedArchive())
            archive->SetAbort(false);
        Wizard::TearDown();
    }

    std::string Product(const std::string &dialogs) const
    {
        auto file = [](const std::string &name, const std::string &extra) {
            return "  object " + name.substr(0, name.find('.'))
                + ": TInstallFile\n    ArchiveFileType = psContainerArchiveFile\n    Container = Install1\n"
                  "    DestDirType = psContainerDestDir\n    DestName = '"
                + name + "'\n    FileName = '" + name + "'\n    IncludeFromDir = 'C:\\src'\n" + extra + "  end\n";
        };
        return "object SetupForm: TSetupForm\n"
               "  object Install1: TInstall\n"
               "    DestDir = '\\ORVEX'\n"
               "    DestDirType = psProgramFiles\n"
               "    DistributeType = dtTraditionalNet\n"
               "    Information.ProductName = 'Tabulo'\n"
               "    NetLocation = NetLocation1\n"
               "    RunAutomatic = False\n"
               "  end\n"
            + TranslatorResource()
            + "  object NetLocation1: TNetInstallLocation\n"
              "    LoginInformation.Hostname = '"
            + server_->Address()
            + "'\n    LoginInformation.Protocol = ipHTTP\n    LoginInformation.Directory = 'dist'\n  end\n"
            + file("TABULO.EXE", "") + file("LEAME.TXT", "")
            + file("DATOS.BIN", "    Net = True\n    NetLocation = NetLocation1\n") + dialogs + "end\n";
    }

    // The distribution, built here and moved onto a fresh machine, with the
    // network file's archive where the server serves it.
    void Build()
    {
        {
            auto form = LoadForm(Product(""));
            auto *install = static_cast<TCustomInstall *>(form->FindComponent("Install1"));
            install->Compress({ coBuildMarker });
            install->SetArchiveFileType(nullptr);
            install->SetArchiveFile("C:\\build\\files.1");
            install->WriteRemoteFileList();
            const std::string remote = MapPath("C:\\build\\" + FilterFileName(server_->Address()) + "\\dist");
            fs::copy_file(remote + "/DATOS.1", served_ + "/dist/DATOS.1");
            fs::copy_file(remote + "/filelist.lst", served_ + "/dist/filelist.lst");
        }
        const std::string build = MapPath("C:\\build");
        OpenMachine(root_ + "-target");
        fs::create_directories(MapPath("C:\\build"));
        fs::copy(build, MapPath("C:\\build"), fs::copy_options::recursive);
    }

    // The installation with the copy window's component and a watcher;
    // answers "ok", "abort" or the error.
    std::string Install(const std::function<void(TCustomInstall *)> &prepare = {})
    {
        form_ = LoadForm(Product("  object CopyManager: TDialogManager\n    Container = Install1\n"
                                 "    ManagerType = dmDuringCopyFiles\n  end\n"
                                 "  object CopyFileDlg1: TCopyFileDlg\n    Container = Install1\n  end\n"));
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        watcher_ = new TCopyWatcher(form_.get());
        watcher_->SetContainer(install_);
        watcher_->Manager = static_cast<TDialogManager *>(form_->FindComponent("CopyManager"));
        if (prepare)
            prepare(install_);
        try {
            install_->Process();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        } catch (const Exception &e) {
            return e.Message();
        }
    }

    std::string served_;
    std::unique_ptr<LoopbackServer> server_;
    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
    TCopyWatcher *watcher_ = nullptr;
};

TEST_F(CopyProgress, TheWindowShowsWhatTheArchiveAndTheDownloadReport)
{
    Build();
    ASSERT_EQ(Install(), "ok");
    EXPECT_EQ(boxes_.Count(), 0) << boxes_.Last().Text;
    EXPECT_EQ(Slurp(MapPath("C:\\Program Files\\ORVEX\\DATOS.BIN")), Noise(120000, 2));
    EXPECT_EQ(Slurp(MapPath("C:\\Program Files\\ORVEX\\TABULO.EXE")), Noise(300000, 1));

    const auto &shown = watcher_->Shown;
    ASSERT_GT(shown.size(), 4u);
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], watcher_->Reported[i]) << "report " << i;

    // The archive's files, then the network file's download with the
    // transfer picture.
    std::vector<std::string> files;
    for (const auto &s : shown)
        if (files.empty() || files.back() != s.Name + (s.Transfer ? " (red)" : ""))
            files.push_back(s.Name + (s.Transfer ? " (red)" : ""));
    EXPECT_THAT(files, ::testing::Contains(::testing::HasSubstr("(red)")));
    EXPECT_THAT(files, ::testing::Contains("TABULO.EXE"));
    EXPECT_THAT(files, ::testing::Contains("LEAME.TXT"));

    // Percentages climb to 100 per file, and the total never goes back.
    int lastTotal = 0;
    bool wholeFile = false;
    for (const auto &s : shown) {
        if (!s.Transfer) {
            EXPECT_GE(s.Total, lastTotal);
            lastTotal = s.Total;
        }
        EXPECT_GE(s.File, 0);
        EXPECT_LE(s.File, 100);
        wholeFile = wholeFile || (s.Name == "TABULO.EXE" && s.File == 100);
    }
    EXPECT_TRUE(wholeFile);
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
        [](const auto &s) { return s.Name == "TABULO.EXE" && s.File > 0 && s.File < 100; }))
        << "a large file is reported on its way, not only at its end";
    EXPECT_TRUE(std::any_of(
        shown.begin(), shown.end(), [](const auto &s) { return s.Transfer && s.File > 0 && s.File < 100; }))
        << "the download too";
    EXPECT_EQ(lastTotal, 100);
    EXPECT_TRUE(std::all_of(shown.begin(), shown.end(), [](const auto &s) { return s.Visible; }));

    // The end of copying closes the window; the next run's report opens a fresh one.
    EXPECT_GE(watcher_->Ended, 1);
    EXPECT_EQ(watcher_->Manager->DuringCopyFormCount(), 0);
}

TEST_F(CopyProgress, TheWindowSitsAtTheBottomInSpanish)
{
    Build();
    std::vector<std::string> seen;
    TRect bounds;
    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/copy_progress.png";
    fs::remove(path);
    ASSERT_EQ(Install([&](TCustomInstall *) {
        watcher_->OnReport = [&](TCopyFileForm *form) {
            if (!seen.empty() || form->lblCopyingFile->Caption() != "TABULO.EXE" || form->ProgressBar1->Position() < 40)
                return;
            bounds = form->BoundsRect();
            seen.push_back(form->Caption());
            seen.push_back(form->lblCopyFileHeader->Caption() + " | " + form->Label1->Caption() + " | "
                + form->Label2->Caption() + " | " + form->CancelBtn->Caption());
            EXPECT_GT(SaveScreenshot(form, path), 0);
        };
    }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("Copiando los archivos de instalación",
            "Procesando | Progreso del archivo | Progreso total | Cancelar"));
    EXPECT_EQ(bounds.Width(), 474);
    EXPECT_EQ(bounds.Height(), 146);
    EXPECT_EQ(bounds.Left, static_cast<int>(std::nearbyint(1024 * 0.5 - 474 * 0.5)));
    EXPECT_EQ(bounds.Top, 768 - GetSystemMetrics(SM_CYCAPTION) - 146 - 30);
}

TEST_F(CopyProgress, CancelStopsTheCopyWhenTheInstallAgrees)
{
    Build();
    int clicks = 0;
    EXPECT_EQ(Install([&](TCustomInstall *) {
        watcher_->OnReport = [&](TCopyFileForm *form) {
            if (clicks == 0 && form->lblCopyingFile->Caption() == "TABULO.EXE") {
                ++clicks;
                ClickControl(form->CancelBtn);
            }
        };
    }),
        "abort");
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(fs::exists(MapPath("C:\\Program Files\\ORVEX\\LEAME.TXT"))) << "nothing after the cancel";
    EXPECT_EQ(boxes_.Count(), 0) << "no question without an abort handler";
}

TEST_F(CopyProgress, CancelAsksTheInstallAndARefusalCopiesOn)
{
    Build();
    std::vector<std::string> asked;
    EXPECT_EQ(Install([&](TCustomInstall *install) {
        install->OnUserAbort = [&](TCustomInstall *, bool &quit) {
            asked.push_back("asked");
            quit = false;
        };
        watcher_->OnReport = [&](TCopyFileForm *form) {
            if (asked.empty() && form->lblCopyingFile->Caption() == "TABULO.EXE")
                PressKey(form->CancelBtn, VK_SPACE, U' ');
        };
    }),
        "ok");
    EXPECT_THAT(asked, ElementsAre("asked"));
    EXPECT_FALSE(NetDownloadAbort);
    EXPECT_FALSE(SharedArchive()->Abort());
    EXPECT_EQ(Slurp(MapPath("C:\\Program Files\\ORVEX\\LEAME.TXT")), "léame");
}

TEST_F(CopyProgress, CancelDuringTheDownloadStopsIt)
{
    Build();
    bool clicked = false;
    EXPECT_EQ(Install([&](TCustomInstall *install) {
        install->OnUserAbort = [](TCustomInstall *, bool &quit) { quit = true; };
        watcher_->OnReport = [&](TCopyFileForm *form) {
            if (!clicked && form->TransferBitmap->Visible()) {
                clicked = true;
                ClickControl(form->CancelBtn);
            }
        };
    }),
        "abort");
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(fs::exists(MapPath("C:\\Program Files\\ORVEX\\DATOS.BIN")));
    EXPECT_TRUE(fs::exists(MapPath("C:\\Program Files\\ORVEX\\TABULO.EXE"))) << "copied before the download";
}

// ---- The window fed by hand ----------------------------------------------------------------

TEST(CopyFileForm, ADownloadAfterAFileSwitchesThePictureAndKeepsTheTotal)
{
    auto made = std::unique_ptr<TCustomForm>(NewForm<TCopyFileForm>(Application));
    auto *form = static_cast<TCopyFileForm *>(made.get());
    EXPECT_EQ(form->Caption(), "Copying installation files");
    EXPECT_EQ(form->lblCopyingFile->Caption(), "---");
    EXPECT_EQ(form->lblCopyFileHeader->Caption(), "Processing");
    EXPECT_EQ(form->Label1->Caption() + "|" + form->Label2->Caption(), "File progress|Total progress");
    EXPECT_EQ(form->ClientWidth(), 466);
    EXPECT_EQ(form->ClientHeight(), 119);
    EXPECT_FALSE(form->TransferBitmap->Visible());
    EXPECT_FALSE(form->UnZipImage->Picture()->Graphic()->Empty());
    EXPECT_FALSE(form->TransferBitmap->Picture()->Graphic()->Empty());

    TFileStatusParameter file;
    file.FileName = "TABULO.EXE";
    file.FilePercent = 40;
    file.TotalPercent = 25;
    form->Update(&file, nullptr);
    TDownloadStatusParameter download;
    download.FileName = "DATOS.1";
    download.Percent = 70;
    form->Update(nullptr, &download);
    EXPECT_TRUE(form->TransferBitmap->Visible());
    EXPECT_EQ(form->ProgressBar1->Position(), 70);
    EXPECT_EQ(form->ProgressBar2->Position(), 25);
    EXPECT_EQ(form->lblCopyingFile->Caption(), "DATOS.1");

    // A report out of range (sizes that lie) stays within the bars.
    file.FilePercent = 250;
    file.TotalPercent = -4;
    form->Update(&file, nullptr);
    EXPECT_FALSE(form->TransferBitmap->Visible());
    EXPECT_EQ(form->ProgressBar1->Position(), 100);
    EXPECT_EQ(form->ProgressBar2->Position(), 0);
    form->Update(nullptr, nullptr);
    EXPECT_EQ(form->lblCopyingFile->Caption(), "TABULO.EXE");
}

// ---- The status box -------------------------------------------------------------------------

class StatusBox : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
            + TranslatorResource()
            + "  object Status: TInstallStatusDlg\n    Container = Install1\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        status_ = static_cast<TInstallStatusDlg *>(form_->FindComponent("Status"));
    }
    std::string Shown() const
    {
        TInstallStatusForm *box = status_->StatusForm();
        if (!box || !box->Visible())
            return "hidden";
        return box->lblMessage->Caption();
    }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
    TInstallStatusDlg *status_ = nullptr;
};

TEST_F(StatusBox, TextsStackAndTheLastPopHidesTheBox)
{
    std::vector<std::string> seen;
    install_->ShowStatusMessage("Reading file information...");
    seen.push_back(Shown());
    install_->ShowStatusMessage("Copiando TABULO.EXE");
    seen.push_back(Shown());
    install_->ClearStatusMessage();
    seen.push_back(Shown());
    install_->ClearStatusMessage();
    seen.push_back(Shown());
    install_->ClearStatusMessage();
    seen.push_back(Shown() + " " + std::to_string(status_->TextCount()));
    EXPECT_THAT(seen,
        ElementsAre("Leyendo la información de los archivos...", "Copiando TABULO.EXE",
            "Leyendo la información de los archivos...", "hidden", "hidden 0"));
}

TEST_F(StatusBox, APopWithNothingShownOnlyHides)
{
    install_->ClearStatusMessage();
    EXPECT_EQ(status_->StatusForm(), nullptr);
    EXPECT_EQ(Shown(), "hidden");
}

TEST_F(StatusBox, TheBoxTakesTheWidthOfItsTextAndStaysCentred)
{
    install_->ShowStatusMessage("Corto");
    TInstallStatusForm *box = status_->StatusForm();
    ASSERT_NE(box, nullptr);
    const int shortWidth = box->Width();
    const std::string longText = "Registrando los componentes compartidos del sistema en la carpeta de Windows";
    install_->ShowStatusMessage(longText);
    EXPECT_GT(box->Width(), shortWidth);
    EXPECT_FALSE(box->lblMessage->WordWrap());
    EXPECT_EQ(box->lblMessage->Caption(), longText);
    EXPECT_GE(box->lblMessage->Left() + box->lblMessage->Width() + box->pnlMessage->Left(), box->Width() - 30)
        << "one line, filling the box";
    EXPECT_LE(std::abs(box->Left() + box->Width() / 2 - 512), 1);
    EXPECT_LE(std::abs(box->lblMessage->Top() + box->lblMessage->Height() / 2 - box->ClientHeight() / 2), 1);

    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/status.png";
    fs::remove(path);
    install_->ShowStatusMessage("Reading file information...");
    EXPECT_GT(SaveScreenshot(box, path), 0);
}

// The application frees the box among its forms when it ends, which can be
// before the configuration's form goes with the box's component.
TEST_F(StatusBox, TheBoxFreedByTheApplicationIsForgotten)
{
    install_->ShowStatusMessage("Reading file information...");
    ASSERT_NE(status_->StatusForm(), nullptr);
    delete status_->StatusForm();
    EXPECT_EQ(status_->StatusForm(), nullptr);
    EXPECT_EQ(status_->Form(), nullptr);
    install_->ShowStatusMessage("Copiando TABULO.EXE");
    EXPECT_EQ(Shown(), "Copiando TABULO.EXE") << "a new box for the next text";
    form_.reset();
}

TEST_F(StatusBox, AStatusWithoutItsMessageIsRefused)
{
    try {
        status_->DoInstallEvent(install_, ieShowStatus, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Status got a nil PO parameter");
    }
    TDiskParameter wrong;
    try {
        status_->DoInstallEvent(install_, ieShowStatus, &wrong);
        ADD_FAILURE() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "The PO object passed to Status is not a TMessageParameter object");
    }
    EXPECT_EQ(status_->TextCount(), 0);
}

} // namespace
