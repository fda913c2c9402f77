// The component selection page inside the running wizard: the group tree
// with its include boxes and sizes, the destination of a group, and the
// space per drive, with drives faked full, nearly full and unreadable.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/dialogs/dlgcmp_InstallFileGroups.h"
#include "installer/dialogs/ordlg_FileGroupSelect.h"
#include "installer/dialogs/ordlg_GoodInstall.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/rtl/formatsettings.h"
#include "platform/system/faults.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

std::string FileObject(const std::string &name, const std::string &container)
{
    return "  object " + name + ": TInstallFile\n    Container = " + container + "\n    FileName = '" + name
        + ".BIN'\n  end\n";
}

class Components : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        // The licence page stands for a page of another manager meanwhile,
        // so that these wizards show the components page alone.
        for (int i = 0; i < InstallFormCount(); ++i)
            if (InstallFormEntry(i)->FormClass == &TLicenseForm::Class)
                InstallFormEntry(i)->FormClass = &TGoodInstallForm::Class;
        ASSERT_TRUE(ForceDirectories("D:\\"));
        SetDriveFreeSpace('C', 50LL * 1024 * 1024 * 1024);
        SetDriveFreeSpace('D', 30000);
        Load("D:\\Ejemplos", "C:\\Program Files\\ORVEX\\Tabulo\\Ayuda");
    }
    void TearDown() override
    {
        for (int i = 0; i < InstallFormCount(); ++i)
            if (InstallFormEntry(i)->FormClass == &TGoodInstallForm::Class && !InstallFormEntry(i)->Dialog)
                InstallFormEntry(i)->FormClass = &TLicenseForm::Class;
        Wizard::TearDown();
    }
    void Load(const std::string &examples, const std::string &help, const std::string &extra = {})
    {
        form_.reset();
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n"
                         "    DestDir = 'C:\\Program Files\\ORVEX\\Tabulo'\n"
                         "    GroupName = 'Tabulo'\n"
                         "    Information.ProductName = 'Tabulo'\n"
                         "    InstallTypes = [itDefault, itCustom]\n"
                         "    RunAutomatic = False\n"
                         "  end\n"
            + TranslatorResource()
            + "  object Before: TDialogManager\n    Container = Install1\n    Width = 550\n  end\n"
              "  object Program: TInstallFileGroup\n"
              "    Container = Install1\n"
              "    DestDir = 'C:\\Program Files\\ORVEX\\Tabulo'\n"
              "    Description.Strings = (\n      'Calculator and its paper tape.')\n"
              "    GroupName = 'Program'\n"
              "  end\n"
              "  object Help: TInstallFileGroup\n"
              "    Container = Program\n"
              "    DestDir = '"
            + help
            + "'\n    GroupName = 'Help'\n  end\n"
              "  object Examples: TInstallFileGroup\n"
              "    AllowChangeDir = False\n"
              "    Container = Install1\n"
              "    DestDir = '"
            + examples + "'\n    GroupName = 'Examples'\n  end\n" + FileObject("TABULO", "Program")
            + FileObject("TAPE", "Program") + FileObject("AYUDA", "Help") + FileObject("EJEMPLO", "Examples")
            + extra
            + "  object InstallFileGroupsDlg1: TInstallFileGroupsDlg\n    Container = Install1\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        install_->SetCurrentInstallType(itCustom);
        // Two files over 2 GB together; the sizes an archive header gives.
        Size("TABULO", 1500000000);
        Size("TAPE", 1700000000);
        Size("AYUDA", 250000);
        Size("EJEMPLO", 40000);
    }
    void Size(const char *file, int32_t bytes)
    {
        static_cast<TCustomInstallFile *>(form_->FindComponent(file))->SetRemoteInfo(bytes, 0, "");
    }
    TInstallFileGroup *Group(const char *name)
    {
        return static_cast<TInstallFileGroup *>(form_->FindComponent(name));
    }
    std::string Run(std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            static_cast<TDialogManager *>(form_->FindComponent("Before"))->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        }
    }
    static TFileGroupSelectForm *Page() { return dynamic_cast<TFileGroupSelectForm *>(ShownPage()); }
    static TTreeNode *Node(const std::string &text)
    {
        for (TTreeNode *node = Page()->GroupTree()->Items()->GetFirstNode(); node; node = node->GetNext())
            if (node->Text() == text)
                return node;
        return nullptr;
    }
    // The tree as rows: check, text, size; children of collapsed nodes too.
    static std::vector<std::string> TreeRows()
    {
        std::vector<std::string> rows;
        for (TTreeNode *node = Page()->GroupTree()->Items()->GetFirstNode(); node; node = node->GetNext())
            rows.push_back(std::string(node->Level(), ' ') + (node->Checked() ? "[x] " : "[ ] ") + node->Text()
                + " " + node->ColumnText(TGroupTreeView::SizeColumn));
        return rows;
    }
    static std::vector<std::string> DriveRows()
    {
        std::vector<std::string> rows;
        TListItems *items = Page()->DriveList()->Items();
        for (int i = 0; i < items->Count(); ++i) {
            TListItem *item = items->Item(i);
            rows.push_back(item->Caption() + " | " + item->SubItems()->Strings(0) + " | "
                + item->SubItems()->Strings(1) + (item->StateIndex() == 1 ? " | warning" : ""));
        }
        return rows;
    }
    static void ClickCheckOf(const std::string &text)
    {
        TTreeNode *node = Node(text);
        ASSERT_NE(node, nullptr) << text;
        const TRect row = node->DisplayRect(false);
        ASSERT_GT(row.Height(), 0) << text << " is not shown";
        ClickControl(Page()->GroupTree(), 10, (row.Top + row.Bottom) / 2);
    }
    static void ClickGroup(const std::string &text)
    {
        TTreeNode *node = Node(text);
        ASSERT_NE(node, nullptr) << text;
        node->MakeVisible();
        const TRect cell = node->DisplayRect(true);
        ClickControl(Page()->GroupTree(), cell.Left + 8, (cell.Top + cell.Bottom) / 2);
    }

    TFormatSettingsScope spanish_ { SpanishFormatSettings() };
    TFaultScope faults_;
    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
};

TEST_F(Components, ShowsTheGroupsTheirSizesAndTheSpaceOfEachDrive)
{
    std::vector<std::string> seen, tree, drives;
    int height = 0;
    EXPECT_EQ(Run({ [&] {
        TFileGroupSelectForm *page = Page();
        ASSERT_NE(page, nullptr);
        seen.push_back(ShownFrame()->Caption());
        seen.push_back(page->TopDescriptionLabel->Caption());
        seen.push_back(page->BrowseBtn->Caption());
        seen.push_back(page->DirectoryGroupBox->Caption());
        seen.push_back(page->DriveList()->Column(1).Caption + " " + page->DriveList()->Column(2).Caption);
        seen.push_back(page->DirectoryLabel->Text());
        seen.push_back(page->GroupDescLabel->Visible() ? "description" : "no description");
        seen.push_back(Node("Ayuda")->IsVisible() ? "help shown" : "help folded");
        tree = TreeRows();
        drives = DriveRows();
        height = page->pnlDriveSpace->Height();
        ClickControl(page->ProceedBtn);
    } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("Selección de componentes",
            "Marque los componentes que desea instalar y desmarque los que no desea instalar. Haga doble clic en "
            "un grupo para ver todos sus subgrupos.",
            "&Examinar...", "Carpeta de destino", "Espacio requerido: Espacio disponible:",
            "C:\\Program Files\\ORVEX\\Tabulo", "no description", "help folded"));
    EXPECT_THAT(tree,
        ElementsAre("[x] Tabulo 3.200.290.000 Bytes", " [x] Programa 3.200.250.000 Bytes",
            "  [x] Ayuda 250.000 Bytes", " [x] Ejemplos 40.000 Bytes"));
    EXPECT_THAT(drives,
        ElementsAre("C | 3.200.250.000 Bytes | 53.687.091.200 Bytes", "D | 40.000 Bytes | 30.000 Bytes | warning"));
    EXPECT_EQ(height, 61);
}

TEST_F(Components, IsSkippedOutsideACustomInstallation)
{
    auto alone = std::unique_ptr<TCustomForm>(NewForm<TFileGroupSelectForm>(Application));
    auto *page = static_cast<TFileGroupSelectForm *>(alone.get());
    struct Case {
        TInstallType type;
        bool skips;
    };
    for (const Case &c : { Case { itFull, true }, Case { itDefault, true }, Case { itCompact, true },
             Case { itCustom, false }, Case { itAlways, false } }) {
        install_->SetCurrentInstallType(c.type);
        EXPECT_EQ(page->Skip(), c.skips) << InstallTypeNames[c.type];
    }
    page->SetContainer(nullptr);
    EXPECT_TRUE(page->Skip());
    install_->SetCurrentInstallType(itDefault);
    EXPECT_EQ(Run({}), "ok") << "a typical installation goes past the page";
}

TEST_F(Components, ExcludingAGroupDropsItAndWhatLiesBelowButKeepsItsDrive)
{
    std::vector<std::string> tree, drives;
    EXPECT_EQ(Run({ [] { ClickCheckOf("Programa"); }, [] { ClickCheckOf("Ejemplos"); },
                      [&] {
                          tree = TreeRows();
                          drives = DriveRows();
                          ClickControl(Page()->ProceedBtn);
                      } }),
        "ok");
    EXPECT_FALSE(Group("Program")->Include());
    EXPECT_FALSE(Group("Examples")->Include());
    EXPECT_THAT(tree,
        ElementsAre("[x] Tabulo 0 Bytes", " [ ] Programa 3.200.250.000 Bytes", "  [x] Ayuda 250.000 Bytes",
            " [ ] Ejemplos 40.000 Bytes"));
    EXPECT_THAT(drives, ElementsAre("C | 0 Bytes | 53.687.091.200 Bytes", "D | 0 Bytes | 30.000 Bytes"));
}

TEST_F(Components, AWarningMarksADriveWithoutMoreSpaceThanRequired)
{
    struct Case {
        int64_t free;
        bool warned;
    };
    for (const Case &c : { Case { 0, true }, Case { 39999, true }, Case { 40000, true }, Case { 40001, false } }) {
        SetDriveFreeSpace('D', c.free);
        std::vector<std::string> drives;
        EXPECT_EQ(Run({ [&] {
            drives = DriveRows();
            ClickControl(Page()->ProceedBtn);
        } }),
            "ok");
        ASSERT_EQ(drives.size(), 2u);
        EXPECT_EQ(drives[1].find("warning") != std::string::npos, c.warned) << drives[1];
    }
}

TEST_F(Components, AnUnreadableDriveIsShownOnItsRowAndAnotherFolderCanBeTyped)
{
    Load("D:\\Ejemplos", "Q:\\Ayuda");
    std::vector<std::string> before, after;
    std::string typed;
    EXPECT_EQ(Run({ [&] {
                       before = DriveRows();
                       ClickGroup("Ayuda");
                   },
        [&] {
            TEdit *edit = Page()->DirectoryLabel;
            typed = edit->ReadOnly() ? "read only" : "editable";
            edit->SetFocus();
            edit->SelectAll();
            TypeText(edit, "C:\\Ayuda");
            after = DriveRows();
            ClickControl(Page()->ProceedBtn);
        } }),
        "ok");
    EXPECT_THAT(before,
        ElementsAre("C | 3.200.000.000 Bytes | 53.687.091.200 Bytes",
            "Q | 250.000 Bytes | Ruta \"Q:\" no existe o no hay disco colocado | warning",
            "D | 40.000 Bytes | 30.000 Bytes | warning"));
    EXPECT_EQ(typed, "editable");
    EXPECT_THAT(after,
        ElementsAre("C | 3.200.250.000 Bytes | 53.687.091.200 Bytes", "D | 40.000 Bytes | 30.000 Bytes | warning"));
    EXPECT_EQ(Group("Help")->DestDir(), "c:\\ayuda");
    EXPECT_EQ(Group("Help")->DestDirType(), nullptr);
}

TEST_F(Components, AFolderThatMayNotChangeCannotBeTypedOrBrowsed)
{
    std::string state;
    EXPECT_EQ(Run({ [] { ClickGroup("Ejemplos"); },
                      [&] {
                          TFileGroupSelectForm *page = Page();
                          state = std::string(page->BrowseBtn->Enabled() ? "browse" : "no browse") + " "
                              + page->DirectoryLabel->Text();
                          page->DirectoryLabel->SetFocus();
                          TypeText(page->DirectoryLabel, "x");
                          ClickControl(page->ProceedBtn);
                      } }),
        "ok");
    EXPECT_EQ(state, "no browse D:\\Ejemplos");
    EXPECT_EQ(Group("Examples")->DestDir(), "D:\\Ejemplos");
}

TEST_F(Components, AGroupWithoutChoiceKeepsItsInclude)
{
    Group("Examples")->SetAllowChoice(false);
    bool enabled = true;
    EXPECT_EQ(Run({ [&] {
        enabled = Node("Ejemplos")->CheckEnabled();
        ClickCheckOf("Ejemplos");
        ClickGroup("Ejemplos");
        PressKey(Page()->GroupTree(), VK_SPACE, U' ');
        ClickControl(Page()->ProceedBtn);
    } }),
        "ok");
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(Group("Examples")->Include());
}

TEST_F(Components, TheSelectedGroupShowsItsFolderAndDescriptionAsKeysMove)
{
    std::vector<std::string> seen;
    auto look = [&] {
        TFileGroupSelectForm *page = Page();
        std::string line = page->GroupTree()->Selected()->Text() + " " + page->DirectoryLabel->Text();
        if (page->DescriptionMemo->Visible() && page->GroupDescLabel->Visible())
            line += " [" + page->GroupDescLabel->Caption() + ": " + page->DescriptionMemo->Lines()->Strings(0) + "]";
        seen.push_back(line);
    };
    EXPECT_EQ(Run({ [&] {
        TCustomTreeView *tree = Page()->GroupTree();
        tree->SetFocus();
        look();
        PressKey(tree, VK_DOWN);
        look();
        PressKey(tree, VK_RIGHT); // opens Programa
        PressKey(tree, VK_DOWN);
        look();
        PressKey(tree, VK_END);
        look();
        PressKey(tree, VK_HOME);
        look();
        ClickControl(Page()->ProceedBtn);
    } }),
        "ok");
    // The translator holds no memo for the description, so it shows as written.
    EXPECT_THAT(seen,
        ElementsAre("Tabulo C:\\Program Files\\ORVEX\\Tabulo",
            "Programa C:\\Program Files\\ORVEX\\Tabulo [Descripción: Calculator and its paper tape.]",
            "Ayuda C:\\Program Files\\ORVEX\\Tabulo\\Ayuda", "Ejemplos D:\\Ejemplos",
            "Tabulo C:\\Program Files\\ORVEX\\Tabulo"));
}

TEST_F(Components, TheDriveTableGrowsWithTheDrivesInUse)
{
    std::string extra;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        extra += "  object Drive" + std::string(1, letter) + ": TInstallFileGroup\n    Container = Install1\n"
            + "    DestDir = '" + std::string(1, letter) + ":\\Tabulo'\n    GroupName = 'Drive " + std::string(1, letter)
            + "'\n  end\n";
    Load("D:\\Ejemplos", "C:\\Ayuda", extra);
    std::vector<std::string> drives;
    int height = 0;
    EXPECT_EQ(Run({ [&] {
        drives = DriveRows();
        height = Page()->pnlDriveSpace->Height();
        ClickControl(Page()->ProceedBtn);
    } }),
        "ok");
    ASSERT_EQ(drives.size(), 26u) << "one row for every drive, past the old limit of 25";
    EXPECT_EQ(drives[0].substr(0, 1), "C");
    EXPECT_EQ(drives[25].substr(0, 1), "Z");
    EXPECT_EQ(height, 61);
}

TEST_F(Components, OneOrTwoRowsSizeTheDrivePanel)
{
    Load("C:\\Ejemplos", "C:\\Ayuda");
    int height = 0;
    EXPECT_EQ(Run({ [&] {
        height = Page()->pnlDriveSpace->Height();
        ClickControl(Page()->ProceedBtn);
    } }),
        "ok");
    EXPECT_EQ(height, 43);
}

TEST_F(Components, AWrongContainerIsNamedInTheError)
{
    auto alone = std::unique_ptr<TCustomForm>(NewForm<TFileGroupSelectForm>(Application));
    auto *page = static_cast<TFileGroupSelectForm *>(alone.get());
    try {
        page->FillGroupTree(nullptr);
        FAIL();
    } catch (const IEFileGroupSelectForm &error) {
        EXPECT_STREQ(error.what(), "Cannot show the install file groups dialog for blank container property");
    }
    try {
        page->FillDriveList(static_cast<TInstallContainer *>(form_->FindComponent("Before")));
        FAIL();
    } catch (const IEFileGroupSelectForm &error) {
        EXPECT_STREQ(error.what(), "Container is not a TFileContainer for GroupTree");
    }
}

TEST_F(Components, BrowsingSetsTheGroupsFolder)
{
    ASSERT_TRUE(ForceDirectories("C:\\Program Files\\ORVEX\\Tabulo"));
    std::vector<std::string> drives;
    EXPECT_EQ(Run({ [] { ClickGroup("Programa"); },
                      [] { QueueCall([] { ClickControl(Page()->BrowseBtn); }); },
                      [] {
                          TCustomForm *browser = ModalForm();
                          for (int i = 0; i < browser->ControlCount(); ++i)
                              if (auto *edit = dynamic_cast<TOFDPathEdit *>(browser->Controls(i))) {
                                  edit->SetFocus();
                                  edit->SelectAll();
                                  TypeText(edit, "D:\\Tabulo");
                              }
                          for (int i = 0; i < browser->ControlCount(); ++i)
                              if (auto *ok = dynamic_cast<TButton *>(browser->Controls(i)); ok && ok->Caption() == "OK")
                                  ClickControl(ok);
                      },
                      [&] {
                          drives = DriveRows();
                          ClickControl(Page()->ProceedBtn);
                      } }),
        "ok");
    EXPECT_EQ(Group("Program")->DestDir(), "D:\\Tabulo");
    EXPECT_THAT(drives,
        ElementsAre("C | 250.000 Bytes | 53.687.091.200 Bytes", "D | 3.200.040.000 Bytes | 30.000 Bytes | warning"));
}

TEST_F(Components, AloneWithoutContainerItRefusesToShow)
{
    auto *dialog = static_cast<TInstallFileGroupsDlg *>(form_->FindComponent("InstallFileGroupsDlg1"));
    dialog->SetContainer(nullptr);
    ExpectRefusedWithoutContainer(dialog, "InstallFileGroupsDlg1");
}

TEST_F(Components, Screenshot)
{
    int64_t bytes = 0;
    TRect bounds;
    EXPECT_EQ(Run({ [] { ClickGroup("Programa"); },
                      [&] {
                          bounds = ShownFrame()->BoundsRect();
                          bytes = SaveScreenshot(
                              ShownFrame(), std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/components.png");
                          ShownFrame()->SetModalResult(mrCancel);
                      } }),
        "abort");
    EXPECT_GT(bytes, 0);
    EXPECT_EQ(bounds.Width(), 550);
    EXPECT_EQ(bounds.Height(), 395);
}

} // namespace
