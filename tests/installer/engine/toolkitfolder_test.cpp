#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Registry.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"

namespace
{

class ToolkitFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/tk-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
};

TEST_F(ToolkitFolder, IsTheFirstSearchPathFolderWithTheMarker)
{
    for (const char *folder : { "C:\\Lib\\A", "C:\\Lib\\Kelvara", "C:\\Lib\\Also" }) {
        ForceDirectories(folder);
    }
    std::ofstream(MapPath("C:\\Lib\\Kelvara\\K32V35.TXT")) << "";
    std::ofstream(MapPath("C:\\Lib\\Also\\k32v35.txt")) << "";
    RegWriteString(rkCurrentUser, ToolkitLibraryKey, "SearchPath",
        "C:\\Lib\\A;;C:\\Missing;C:\\lib\\kelvara\\;C:\\Lib\\Also");
    EXPECT_EQ(FindToolkitFolder(true), "C:\\lib\\kelvara");
}

TEST_F(ToolkitFolder, MissingGivesEmptyOrTheError)
{
    EXPECT_EQ(FindToolkitFolder(false), "");
    RegWriteString(rkCurrentUser, ToolkitLibraryKey, "SearchPath", "C:\\Lib");
    EXPECT_EQ(FindToolkitFolder(false), "");
    try {
        FindToolkitFolder(true);
        FAIL();
    } catch (const IENoKelvaraPath &e) {
        EXPECT_EQ(e.Message(), "Cannot find the the Kelvara directory on the VCL library search path");
    }
}

} // namespace
