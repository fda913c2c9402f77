// The product's uninstaller: it asks before it removes anything, says when
// it is done, and names what it could not remove.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "installer/uninstaller/uninstaller.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/ui/testing.h"

namespace
{

namespace fs = std::filesystem;

constexpr const char *Product = "ORVEX Tabulo 2.0";
constexpr const char *Key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEX Tabulo 2.0";
const char *const Files[] = { "C:\\ORVEX\\Tabulo2\\Tabulo.exe", "C:\\ORVEX\\Tabulo2\\licencia.txt",
    "C:\\ORVEX\\Tabulo2\\Datos\\tira.txt" };

class Uninstaller : public ::testing::Test
{
protected:
    // The product as its setup leaves it: its files and the key that lists them.
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(std::string(Key) + "\\Files", true));
        registry.WriteString("Entries", "3");
        int n = 0;
        for (const char *file : Files) {
            fs::create_directories(fs::path(MapPath(file)).parent_path());
            std::ofstream(MapPath(file)) << file;
            registry.WriteString("File" + std::to_string(++n), file);
        }
    }

    static bool Installed()
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        return registry.KeyExists(Key);
    }

    TFaultScope faults_;
};

const char *const Question = "Se eliminará ORVEX Tabulo 2.0 de este equipo: sus archivos, sus accesos directos y "
                             "sus datos en el registro de Windows.\n\n Continúa?";

TEST_F(Uninstaller, AsksRemovesEverythingAndSaysSo)
{
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunUninstaller(Product), 0);
    ASSERT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Boxes()[0].Text, Question);
    EXPECT_EQ(boxes.Boxes()[0].Caption, "Pregunta");
    EXPECT_EQ(boxes.Boxes()[0].Flags, MB_ICONQUESTION | MB_YESNO);
    EXPECT_EQ(boxes.Boxes()[0].Language, LANG_SPANISH);
    EXPECT_EQ(boxes.Last().Text, "ORVEX Tabulo 2.0 se ha eliminado de este equipo.");
    EXPECT_EQ(boxes.Last().Caption, "Información");
    EXPECT_EQ(boxes.Last().Flags, MB_ICONINFORMATION | MB_OK);
    EXPECT_FALSE(fs::exists(MapPath("C:\\ORVEX"))) << "the product's folders are left";
    EXPECT_TRUE(fs::exists(MapPath("C:\\"))) << "the drive stays";
    EXPECT_FALSE(Installed());
}

TEST_F(Uninstaller, NoToTheQuestionLeavesTheProductAsItWas)
{
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    EXPECT_EQ(RunUninstaller(Product), 2);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, Question);
    for (const char *file : Files)
        EXPECT_TRUE(fs::exists(MapPath(file))) << file;
    EXPECT_TRUE(Installed());
}

TEST_F(Uninstaller, AProductThatIsNotInstalledIsSaidSoWithoutAQuestion)
{
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunUninstaller("ORVEX Tabulo 9"), 1);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "El producto \"ORVEX Tabulo 9\" no está instalado en este equipo.");
    EXPECT_EQ(boxes.Last().Caption, "Error");
    EXPECT_TRUE(Installed());
}

// A file another program holds open stays: the end names it instead of
// saying that all went, and the status tells a failure.
TEST_F(Uninstaller, AFileThatCannotBeRemovedIsNamedAndTheRestGoes)
{
    SetFileInUse(Files[0], true);
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunUninstaller(Product), 1);
    ASSERT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Last().Text,
        "ORVEX Tabulo 2.0 no se desinstaló del todo. No se pudieron eliminar estos archivos:\n\n"
        "C:\\ORVEX\\Tabulo2\\Tabulo.exe\n\nPuede eliminarlos usted mismo.");
    EXPECT_EQ(boxes.Last().Caption, "Error");
    EXPECT_TRUE(fs::exists(MapPath(Files[0])));
    EXPECT_FALSE(fs::exists(MapPath(Files[1])));
    EXPECT_FALSE(fs::exists(MapPath("C:\\ORVEX\\Tabulo2\\Datos"))) << "an emptied folder stays";
}

} // namespace
