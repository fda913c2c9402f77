// Every message the installer toolkit translates, read from the toolkit's own
// sources, has its text in both of the setup program's string tables, so
// that the Spanish setup never shows one in English.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "installer/app/Unit1.h"
#include "installer/dialogs/wizardunits.h"
#include "platform/system/machine.h"

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

class Messages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/messages-"
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
    std::unique_ptr<TForm1> form_;
};

// The % specifiers of a format, in order.
std::string Specifiers(const std::string &format)
{
    std::string out;
    for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 2))
        out += format.substr(at, 2);
    return out;
}

TEST_F(Messages, EveryTranslatedMessageHasItsSpanishText)
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

} // namespace
