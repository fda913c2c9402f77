// The setup program's main form as its resource makes it: the window with its
// backdrop and title, the installation's components wired into one tree, the
// Spanish texts of every page and of every message the toolkit translates
// (read from the toolkit's own sources), and a picture of the window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "installer/app/Unit1.h"
#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/dialogs/dlgcmp_TBaseDlg.h"
#include "installer/dialogs/wizardunits.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "platform/system/machine.h"
#include "platform/ui/testing.h"

using ::testing::ElementsAre;

namespace
{

namespace fs = std::filesystem;

// The messages the toolkit writes in Spanish: they show as written.
const std::set<std::string> WrittenInSpanish = {
    "El instalador no puede acceder al registro de Windows - Es posible que el usuario actual no tenga permisos "
    "suficientes",
    "El tipo de distribución sólo puede establecerse al momento de diseño",
    "Imposible acceder a la clave \"RunOnce\" del reigstro de Windows - Es posible que el usuario actual no "
    "tenga permisos suficientes",
    "La clave HKEY_LOCAL_MACHINE | %s del registro de Windows no se encuentra o apunta a una carpeta inválida.",
};

struct Source {
    std::string path, text;
};

std::vector<Source> ToolkitSources()
{
    std::vector<Source> sources;
    for (const char *folder : { "installer/engine", "installer/dialogs", "installer/formats", "installer/app" })
        for (const auto &entry : fs::recursive_directory_iterator(fs::path(ORVEX_SOURCE_DIR) / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h")
                continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            sources.push_back({ fs::relative(entry.path(), ORVEX_SOURCE_DIR).string(), text.str() });
        }
    return sources;
}

// The C++ string literals that start at position at (after blanks), joined as
// the compiler joins them; nothing when no literal starts there.
std::optional<std::string> LiteralAt(const std::string &text, size_t at)
{
    std::optional<std::string> joined;
    while (true) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string::npos || text[at] != '"')
            return joined;
        std::string value;
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (text[at] != '\\') {
                value += text[at];
                continue;
            }
            const char escaped = text[++at];
            value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
        }
        joined = joined.value_or("") + value;
        ++at;
    }
}

// Every text the toolkit hands to TranslateString: the first argument of
// TranslateString and TranslateFormat, and of the constructors of the
// translated exceptions (IException and its descendants), as a literal or as
// a named constant. Arguments that are neither are listed in unresolved.
std::map<std::string, std::string> TranslatedMessages(std::vector<std::string> &unresolved)
{
    const std::vector<Source> sources = ToolkitSources();
    std::map<std::string, std::string> parents, constants;
    const std::regex exception(R"(ORVEX_EXCEPTION\((\w+),\s*(\w+)\))");
    const std::regex constant(R"(\b(\w+)(\[\])?\s*=\s*")");
    for (const Source &source : sources) {
        for (std::sregex_iterator m(source.text.begin(), source.text.end(), exception), end; m != end; ++m)
            parents[(*m)[1]] = (*m)[2];
        for (std::sregex_iterator m(source.text.begin(), source.text.end(), constant), end; m != end; ++m)
            if (auto value = LiteralAt(source.text, m->position(0) + m->length(0) - 1))
                constants[(*m)[1]] = *value;
    }
    std::string callees = "TranslateString|TranslateFormat|IException";
    for (const auto &[name, parent] : parents)
        for (std::string up = parent; parents.count(up) || up == "IException"; up = parents[up])
            if (up == "IException") {
                callees += "|" + name;
                break;
            }
    const std::regex call("\\b(" + callees + ")\\s*\\(\\s*");
    const std::regex word(R"(^(\w+)\s*[,)])");
    std::map<std::string, std::string> messages;
    for (const Source &source : sources)
        for (std::sregex_iterator m(source.text.begin(), source.text.end(), call), end; m != end; ++m) {
            const size_t at = m->position(0) + m->length(0);
            if (auto literal = LiteralAt(source.text, at)) {
                messages.emplace(*literal, source.path);
                continue;
            }
            std::smatch name;
            const std::string rest = source.text.substr(at, 80);
            if (std::regex_search(rest, name, word) && constants.count(name[1]))
                messages.emplace(constants[name[1]], source.path);
            else
                unresolved.push_back(source.path + ": " + rest.substr(0, rest.find_first_of(",)")));
        }
    return messages;
}

class MainForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/mainform-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        SetProgramArguments({ "dedazida", "-sC:\\dist" });
        InitializeWizardUnits();
        form_.reset(NewForm<TForm1>(nullptr));
    }
    void TearDown() override
    {
        form_.reset();
        SetProgramArguments({ "dedazida" });
    }
    template <typename T> T *Find(const std::string &name)
    {
        auto *found = dynamic_cast<T *>(form_->FindComponent(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::unique_ptr<TForm1> form_;
};

TEST_F(MainForm, TheWindowCarriesTheBackdropWithTheProductsTitle)
{
    EXPECT_EQ(form_->Caption(), "ORVEX Software");
    EXPECT_EQ(form_->Width(), 435);
    EXPECT_EQ(form_->Height(), 329);
    ASSERT_NE(form_->BackDrop, nullptr);
    ASSERT_NE(form_->ProductLabel, nullptr);
    EXPECT_EQ(CurrentBackdrop(), form_->BackDrop);
    EXPECT_EQ(CurrentRotate3DLabel(), form_->ProductLabel);
    EXPECT_EQ(form_->ProductLabel->Parent(), form_->BackDrop);
    EXPECT_EQ(form_->ProductLabel->Align(), alTop);
    EXPECT_EQ(form_->ProductLabel->Height(), 65);
    EXPECT_EQ(form_->ProductLabel->Caption(), "ORVEX Tabulo 2.01");
    EXPECT_EQ(form_->ProductLabel->Font()->Height(), -24);
    EXPECT_TRUE(form_->ProductLabel->Font()->Style().Contains(fsBold));
    EXPECT_EQ(form_->ProductLabel->LabelStyle()->AStyle3D(), A3dRaised);
}

TEST_F(MainForm, PathSpecifiersComeBeforeTheInstallAndReferencesAreResolved)
{
    const char *const order[]
        = { "BackDrop", "psBDEDLL", "psCommonFiles", "psContainerArchiveFile", "psContainerDestDir",
              "psDesktopMenu", "psInstallSource", "psMainInstall", "psProgramFiles", "psProgramMenu",
              "psStartMenu", "psStartupMenu", "psSystem", "psMainArchiveFile", "psWindow", "Install1" };
    int at = 0;
    for (int i = 0; i < form_->ComponentCount() && at < 16; ++i)
        if (form_->Components(i)->Name() == order[at])
            ++at;
        else if (form_->Components(i)->Name() != "ProductLabel")
            ADD_FAILURE() << form_->Components(i)->Name() << " before " << order[at];
    EXPECT_EQ(at, 16);
    EXPECT_EQ(PathSpecifierList()->Count(), 15) << "the form's own, none made twice";

    TInstall *install = form_->Install1;
    ASSERT_NE(install, nullptr);
    EXPECT_EQ(install->Tag(), 1);
    EXPECT_EQ(install->Information()->ProductName(), "ORVEX Tabulo 2.0");
    EXPECT_EQ(install->Information()->CompanyName(), "ORVEX");
    EXPECT_EQ(install->DestDir(), "c:\\ORVEX\\Tabulo2");
    EXPECT_EQ(install->BuildInfo()->BuildDirectory(), "\\mdiscos\\si\\tabulo\\v2\\disco");
    EXPECT_EQ(install->NetLocation(), Find<TComponent>("NetLocation"));
    EXPECT_TRUE(static_cast<bool>(install->OnAfterInstallObjects));
    EXPECT_EQ(install->DialogThemeBitmap()->Width(), 117);

    auto *tabulo = Find<TInstallFile>("InstallFile");
    auto *licence = Find<TInstallFile>("InstallFile36");
    EXPECT_EQ(tabulo->Container(), install);
    EXPECT_EQ(tabulo->ArchiveFileType(), Find<TComponent>("psContainerArchiveFile"));
    EXPECT_EQ(tabulo->UniqueID(), 1);
    EXPECT_EQ(licence->UniqueID(), 37);
    EXPECT_LT(licence->Order(), tabulo->Order());
    auto *mainFolder = Find<TMainLinkGroup>("MainFolder");
    EXPECT_EQ(MainLinkGroup(), mainFolder);
    auto *link = Find<TInstallMainLink>("InstallMainLink1");
    EXPECT_EQ(link->Container(), mainFolder);
    EXPECT_EQ(link->ObjectLink(), tabulo);
    EXPECT_EQ(link->ObjectLocationType(), Find<TComponent>("psObjectLink"));
    EXPECT_EQ(Find<TInstallShellLink>("InstallShellLink")->DestDirType(), Find<TComponent>("psDesktopMenu"));

    EXPECT_EQ(Find<TDialogManager>("DialogManager")->Width(), 550);
    EXPECT_EQ(Find<TDialogManager>("DialogManager5")->ManagerType(), dmReboot);
}

// Each page's component in its place: its container, the manager that shows
// it and its order in that manager's wizard.
TEST_F(MainForm, PagesSitInTheirManagersInOrder)
{
    struct Row {
        const char *name, *className, *container, *manager;
        int order;
    };
    const Row rows[] = {
        { "WelcomeDlg", "TWelcomeDlg", "Install1", "DialogManager", 10 },
        { "CopyFileDlg", "TCopyFileDlg", "Install1", "DialogManager3", -1 },
        { "InstallStatusDlg", "TInstallStatusDlg", "Install1", nullptr, -1 },
        { "InstallTypeDlg", "TInstallTypeDlg", "Install1", "DialogManager", 40 },
        { "InstallFileGroupsDlg", "TInstallFileGroupsDlg", "Install1", "DialogManager", 50 },
        { "BadInstallationDlg", "TBadInstallationDlg", "Install1", "DialogManager2", 10 },
        { "GoodInstallationDlg", "TGoodInstallationDlg", "Install1", "DialogManager1", 10 },
        { "SelectFolderDlg", "TSelectFolderDlg", "MainFolder", "DialogManager", 60 },
        { "ChangeDiskDlg", "TChangeDiskDlg", "Install1", "DialogManager4", -1 },
    };
    int last = -1;
    for (const Row &row : rows) {
        auto *dialog = Find<TCustomBaseInstallDlg>(row.name);
        ASSERT_NE(dialog, nullptr) << row.name;
        EXPECT_STREQ(dialog->ClassName(), row.className);
        EXPECT_EQ(dialog->Container(), Find<TComponent>(row.container)) << row.name;
        EXPECT_EQ(dialog->DialogManager(), row.manager ? Find<TDialogManager>(row.manager) : nullptr) << row.name;
        if (row.order >= 0) {
            EXPECT_EQ(dialog->Order(), row.order) << row.name;
        }
        EXPECT_FALSE(dialog->OverrideMainTranslator()) << row.name;
        EXPECT_GT(dialog->ComponentIndex(), last) << row.name << " out of the resource's order";
        last = dialog->ComponentIndex();
    }
}

TEST_F(MainForm, TheTranslatorSpeaksSpanish)
{
    ASSERT_NE(form_->MainTranslator, nullptr);
    EXPECT_EQ(GlobalTranslator(), form_->MainTranslator);
    EXPECT_EQ(form_->MainTranslator->TranslateIntoLanguage(), klSpanish);
    EXPECT_EQ(TranslateString("< Previous"), "< Anterior");
    EXPECT_EQ(TranslateString("Finish"), "Terminar");
    EXPECT_EQ(TranslateString("Proceed"), "Seguir");
    EXPECT_EQ(TranslateString("Reading file information..."), "Leyendo información de archivos...");
    EXPECT_EQ(TranslateString("Setup incomplete"), "Instalación incompleta");
    TLanguage *english = form_->MainTranslator->lgEnglish();
    TLanguage *spanish = form_->MainTranslator->lgSpanish();
    // The tables carry the same ids, each with a text.
    ASSERT_GT(english->StringCount(), 60);
    EXPECT_EQ(english->StringCount(), spanish->StringCount());
    for (int i = 0; i < english->StringCount(); ++i) {
        const int glid = english->StringItem(i)->GLID();
        ASSERT_NE(spanish->FindStringByGLID(glid), nullptr) << glid;
        if (glid != 3) {
            EXPECT_NE(spanish->FindStringByGLID(glid)->Text(), "") << glid;
        }
    }
    EXPECT_EQ(form_->MainTranslator->lgGerman()->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(form_->MainTranslator->lgGerman()->Font()->Height(), -11);
}

// Every text a page translates by its id reads in English as the page shows
// it, so the wizard's pages all show in Spanish.
TEST_F(MainForm, EveryPageTextHasItsSpanishText)
{
    TLanguage *english = form_->MainTranslator->lgEnglish();
    TLanguage *spanish = form_->MainTranslator->lgSpanish();
    // The wizard's registered pages, and the form of every page component
    // (the copy windows and the status box are in no wizard).
    std::vector<const TMetaClass *> classes;
    for (int i = 0; i < InstallFormCount(); ++i)
        classes.push_back(InstallFormEntry(i)->FormClass);
    for (int i = 0; i < form_->ComponentCount(); ++i)
        if (auto *dialog = dynamic_cast<TCustomBaseInstallDlg *>(form_->Components(i)))
            if (std::find(classes.begin(), classes.end(), &dialog->FormClass()) == classes.end())
                classes.push_back(&dialog->FormClass());
    ASSERT_GE(classes.size(), 9u);
    for (const TMetaClass *formClass : classes) {
        std::unique_ptr<TCustomForm> page(NewForm(*formClass, nullptr));
        const std::string caption = page->Caption();
        if (page->BorderStyle() != bsNone) { // a caption to show
            EXPECT_NE(english->FindStringByText(caption), nullptr) << formClass->ClassName() << ": " << caption;
        }
        for (int c = 0; c < page->ComponentCount(); ++c) {
            TComponent *component = page->Components(c);
            int glid = -1;
            std::string text;
            if (auto *label = dynamic_cast<TTranslateLabel *>(component))
                glid = label->GLID(), text = label->Caption();
            else if (auto *button = dynamic_cast<TTranslateBitBtn *>(component))
                glid = button->GLID(), text = button->Caption();
            if (glid < 0 || text.empty())
                continue;
            TLanguageString *entry = english->FindStringByGLID(glid);
            ASSERT_NE(entry, nullptr) << formClass->ClassName() << "." << component->Name() << " " << glid;
            EXPECT_EQ(entry->Text(), text) << formClass->ClassName() << "." << component->Name();
            EXPECT_NE(spanish->FindStringByGLID(glid), nullptr) << glid;
        }
    }
}

// The % specifiers of a format, in order.
std::string Specifiers(const std::string &format)
{
    std::string out;
    for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 2))
        out += format.substr(at, 2);
    return out;
}

TEST_F(MainForm, EveryTranslatedMessageHasItsSpanishText)
{
    std::vector<std::string> unresolved;
    const std::map<std::string, std::string> messages = TranslatedMessages(unresolved);
    // The scan finds the messages where they are (the refusals of the folder
    // browser and the Start-menu page among them).
    ASSERT_GT(messages.size(), 100u);
    EXPECT_EQ(messages.count("The folder %s cannot be created"), 1u);
    EXPECT_EQ(messages.count("Please type the name of the program folder."), 1u);
    EXPECT_EQ(messages.count(
                  "Could not read the extraction info from the archive file %s when trying to find the correct "
                  "offset into the self extracting file"),
        1u)
        << "a named constant";
    // Besides the translation routines themselves, only the configuration's
    // own group names reach the translator as variables: a message given to
    // it in a variable would escape this test.
    std::vector<std::string> variables;
    for (const std::string &argument : unresolved)
        if (argument.rfind("installer/engine/exceptions/", 0) != 0)
            variables.push_back(argument);
    EXPECT_THAT(variables,
        ElementsAre("installer/dialogs/ordlg_FileGroupSelect.cpp: child->GroupName(",
            "installer/dialogs/ordlg_FileGroupSelect.cpp: root->GroupName("));

    TLanguage *english = form_->MainTranslator->lgEnglish();
    TLanguage *spanish = form_->MainTranslator->lgSpanish();
    for (const auto &[message, path] : messages) {
        if (WrittenInSpanish.count(message))
            continue;
        const TLanguageString *entry = english->FindStringByText(message);
        if (!entry) {
            ADD_FAILURE() << "no English entry for \"" << message << "\" (" << path << ")";
            continue;
        }
        const TLanguageString *translation = spanish->FindStringByGLID(entry->GLID());
        if (!translation) {
            ADD_FAILURE() << "no Spanish entry " << entry->GLID() << " for \"" << message << "\"";
            continue;
        }
        EXPECT_EQ(TranslateString(message), translation->Text());
        // A translation whose specifiers differ would be dropped for the English format.
        EXPECT_EQ(Specifiers(translation->Text()), Specifiers(message)) << message;
    }
}

TEST_F(MainForm, Picture)
{
    FixedScreen screen(800, 600);
    form_->Install1->SetRunAutomatic(false); // only the window, no run
    form_->Show();
    ProcessPendingEvents();
    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/setup/backdrop.png";
    std::filesystem::remove(path);
    EXPECT_GT(SaveScreenshot(form_.get(), path), 0);
    // The gradient runs from blue at the top to black at the bottom.
    const TColor top = PixelOf(form_->BackDrop, 5, form_->BackDrop->Height() / 3);
    const TColor bottom = PixelOf(form_->BackDrop, 5, form_->BackDrop->Height() - 2);
    EXPECT_GT((top >> 16) & 0xFF, (bottom >> 16) & 0xFF);
    EXPECT_LT((bottom >> 16) & 0xFF, 10);
    form_->Hide();
}

} // namespace
