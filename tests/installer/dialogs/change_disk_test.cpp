// The next-disk prompt as a spanned installation meets it: the disk it asks
// for, a path that cannot be typed, Proceed once the disk is in, Browse to
// the folder that holds the disk, Cancel with the install's abort question,
// and the engine's own question when the configuration has no prompt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "installer/dialogs/dlgcmp_ChangeDisk.h"
#include "installer/dialogs/ordlg_ChangeDisk.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/comctrls.h"
#include "tests/installer/dialogs/wizard_support.h"

namespace fs = std::filesystem;
using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

// While alive, no file of this process grows past limit bytes, so that the
// archive is cut into disks of that size.
class DiskSize
{
public:
    explicit DiskSize(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = saved_;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~DiskSize()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    DiskSize(const DiskSize &) = delete;
    DiskSize &operator=(const DiskSize &) = delete;

private:
    rlimit saved_ {};
    void (*handler_)(int) = nullptr;
};

std::string Noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char &c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string Slurp(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Moves disk file files.<disk> from one machine folder to another.
void MoveDisk(int disk, const std::string &from, const std::string &to)
{
    fs::create_directories(MapPath(to));
    const std::string name = "\\files." + std::to_string(disk);
    fs::rename(MapPath(from + name), MapPath(to + name));
}

class NextDiskPrompt : public Wizard
{
protected:
    std::string Product(bool prompt) const
    {
        return "object SetupForm: TSetupForm\n"
               "  object Install1: TInstall\n"
               "    DestDir = '\\ORVEX'\n"
               "    DestDirType = psProgramFiles\n"
               "    Information.ProductName = 'Tabulo'\n"
               "    RunAutomatic = False\n"
               "  end\n"
            + TranslatorResource()
            + "  object Prog: TInstallFile\n    ArchiveFileType = psContainerArchiveFile\n    Container = "
              "Install1\n"
              "    DestDirType = psContainerDestDir\n    DestName = 'PROG.EXE'\n    FileName = 'PROG.EXE'\n"
              "    IncludeFromDir = 'C:\\src'\n  end\n"
            + (prompt ? "  object DiskManager: TDialogManager\n    Container = Install1\n"
                        "    ManagerType = dmChangeDisk\n  end\n"
                        "  object ChangeDiskDlg1: TChangeDiskDlg\n    Container = Install1\n  end\n"
                      : "")
            + "end\n";
    }

    // The archive cut into three disks of 12,000 bytes in C:\build; disks 2
    // and 3 are then moved to folder, as disks not inserted yet.
    void BuildDisks(const std::string &folder)
    {
        fs::create_directories(MapPath("C:\\src"));
        std::ofstream(MapPath("C:\\src\\PROG.EXE"), std::ios::binary) << Noise(30000, 7);
        {
            auto form = LoadForm(Product(false));
            static_cast<TCustomInstall *>(form->FindComponent("Install1"))->Compress({ coBuildMarker });
        }
        fs::rename(MapPath("C:\\build\\files.1"), MapPath("C:\\whole.1"));
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile("C:\\whole.1");
        {
            DiskSize limit(12000);
            kc.CopyToDisks("C:\\build", "files.1");
        }
        ASSERT_TRUE(fs::exists(MapPath("C:\\build\\files.3")));
        ASSERT_FALSE(fs::exists(MapPath("C:\\build\\files.4")));
        MoveDisk(2, "C:\\build", folder);
        MoveDisk(3, "C:\\build", folder);
    }

    // The installation with the scripted steps; answers "ok", "abort" or the error.
    std::string Install(std::vector<std::function<void()>> steps, bool prompt = true)
    {
        form_ = LoadForm(Product(prompt));
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        Script(std::move(steps));
        try {
            install_->Process();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        } catch (const Exception &e) {
            return e.Message();
        }
    }
    static TChangeDiskForm *Prompt() { return dynamic_cast<TChangeDiskForm *>(ModalForm()); }
    static std::string Focused() { return FocusedControl() ? FocusedControl()->Name() : "<none>"; }
    bool Installed() const { return Slurp(MapPath("C:\\Program Files\\ORVEX\\PROG.EXE")) == Noise(30000, 7); }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
};

TEST_F(NextDiskPrompt, AsksForEachDiskAndProceedsOnceItIsIn)
{
    BuildDisks("C:\\aside");
    std::vector<std::string> seen;
    EXPECT_EQ(Install({ [&] {
                           TChangeDiskForm *prompt = Prompt();
                           ASSERT_NE(prompt, nullptr);
                           seen.push_back(prompt->Caption());
                           seen.push_back(prompt->PromptDiskLabel->Caption());
                           seen.push_back(prompt->PathEdit->Text() + " " + Focused());
                           seen.push_back(prompt->Label2->Caption());
                           seen.push_back(prompt->Label4->Caption() + " | " + prompt->BrowseBtn->Caption()
                               + " | " + prompt->InstallBtn->Caption() + " | "
                               + prompt->CancelBtn->Caption());
                           seen.push_back(prompt->ThemeBitmap->Picture()->Graphic()
                                       && !prompt->ThemeBitmap->Picture()->Graphic()->Empty()
                                   ? "picture"
                                   : "no picture");
                           // The path is chosen, never typed.
                           ClickControl(prompt->PathEdit);
                           TypeText(prompt->PathEdit, "Z:\\tmp");
                           PressKey(prompt->PathEdit, VK_BACK, U'\b');
                           seen.push_back(prompt->PathEdit->Text());
                           // The user inserts disk 2; Enter is Proceed.
                           MoveDisk(2, "C:\\aside", "C:\\build");
                           PressKey(FocusedControl(), VK_RETURN, U'\r');
                       },
                  [&] {
                      seen.push_back(Prompt() ? Prompt()->PromptDiskLabel->Caption() : "no prompt");
                      MoveDisk(3, "C:\\aside", "C:\\build");
                      ClickControl(Prompt()->InstallBtn);
                  } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("La instalación necesita el siguiente disco", "Por favor inserte el disco número 2",
            "C:\\build InstallBtn",
            "Si los archivos de este disco están en otro lugar, por ejemplo en otra unidad, escriba su ruta "
            "completa o presione Examinar para elegirla.",
            "Ruta: | &Examinar... | Seguir | Cancelar", "picture", "C:\\build",
            "Por favor inserte el disco número 3"));
    EXPECT_EQ(boxes_.Count(), 0) << "the engine does not ask again: " << boxes_.Last().Text;
    EXPECT_TRUE(Installed());
}

// The shell's browser showing now: each folder of path (a drive first)
// clicked in its tree, opened with the Right key on the way down; then OK
// or Cancel.
void ChooseInBrowser(const std::vector<std::string> &path, bool ok)
{
    TCustomForm *browser = ModalForm();
    ASSERT_NE(browser, nullptr);
    TCustomTreeView *tree = nullptr;
    std::vector<TButton *> buttons;
    for (int i = 0; i < browser->ControlCount(); ++i) {
        if (auto *t = dynamic_cast<TCustomTreeView *>(browser->Controls(i)))
            tree = t;
        else if (auto *b = dynamic_cast<TButton *>(browser->Controls(i)))
            buttons.push_back(b);
    }
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(buttons.size(), 2u) << "the plain browser: OK and Cancel only";
    TTreeNode *node = tree->Items()->GetFirstNode();
    for (size_t level = 0; level < path.size(); ++level) {
        while (node && !SameText(node->Text(), path[level]))
            node = node->GetNextSibling();
        ASSERT_NE(node, nullptr) << path[level];
        const TRect place = node->DisplayRect(true);
        ClickControl(tree, (place.Left + place.Right) / 2, (place.Top + place.Bottom) / 2);
        ASSERT_EQ(tree->Selected(), node);
        if (level + 1 < path.size()) {
            PressKey(tree, VK_RIGHT);
            ASSERT_TRUE(node->Expanded()) << path[level];
            node = node->GetFirstChild();
        }
    }
    ClickControl(ok ? buttons[0] : buttons[1]);
}

TEST_F(NextDiskPrompt, BrowseFindsTheDiskElsewhereAndACancelledBrowseKeepsThePath)
{
    BuildDisks("C:\\Disco2");
    std::vector<std::string> seen;
    // A click that opens a modal window is queued, so that the next step
    // runs inside that window's loop.
    auto browse = [] { QueueCall([] { ClickControl(Prompt()->BrowseBtn); }); };
    EXPECT_EQ(Install({ browse,
                  [] {
                      ChooseInBrowser({ "C:", "Disco2" }, false);
                  },
                  [&] {
                      seen.push_back(Prompt()->PathEdit->Text());
                      browse();
                  },
                  [] {
                      ChooseInBrowser({ "C:", "Disco2" }, true);
                  },
                  [&] {
                      seen.push_back(Prompt()->PathEdit->Text());
                      ClickControl(Prompt()->InstallBtn);
                  } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("C:\\build", "C:\\Disco2"));
    EXPECT_EQ(boxes_.Count(), 0) << boxes_.Last().Text;
    EXPECT_TRUE(Installed()) << "disk 3 is found beside disk 2";
}

TEST_F(NextDiskPrompt, CancelAsksTheInstallAndARefusalKeepsThePromptOpen)
{
    BuildDisks("C:\\aside");
    std::vector<std::string> asked;
    bool quit = false;
    std::vector<std::string> seen;
    EXPECT_EQ(Install({ [&] {
                           install_->OnUserAbort = [&](TCustomInstall *, bool &quitOut) {
                               asked.push_back(ModalForm() ? ModalForm()->Caption() : "none");
                               quitOut = quit;
                           };
                           ClickControl(Prompt()->CancelBtn);
                       },
                  [&] {
                      seen.push_back(Prompt() ? "still asking" : "gone");
                      quit = true;
                      PressKey(FocusedControl(), VK_ESCAPE, U'\x1b');
                  } }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("still asking"));
    EXPECT_THAT(asked,
        ElementsAre(
            "La instalación necesita el siguiente disco", "La instalación necesita el siguiente disco"));
    EXPECT_FALSE(fs::exists(MapPath("C:\\Program Files\\ORVEX\\PROG.EXE")));
}

TEST_F(NextDiskPrompt, WithoutThePromptTheEngineAsksItself)
{
    BuildDisks("C:\\aside");
    EXPECT_EQ(ChangeDiskFormRegistry()->Count(), 0) << "the prompt shows through its component only";
    boxes_.Answer(IDCANCEL);
    EXPECT_EQ(Install({}, false), "abort");
    ASSERT_GE(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Boxes()[0].Text, "Please insert disk #2");
}

TEST_F(NextDiskPrompt, Screenshot)
{
    BuildDisks("C:\\aside");
    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/next_disk.png";
    fs::remove(path);
    int64_t bytes = 0;
    EXPECT_EQ(Install({ [&] {
        bytes = SaveScreenshot(Prompt(), path);
        Prompt()->SetModalResult(mrCancel);
    } }),
        "abort");
    EXPECT_GT(bytes, 0);
}

} // namespace
