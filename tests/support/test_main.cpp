// Every test executable starts here: no display, a fresh machine root of its
// own, and a pinned time zone, so that results do not depend on the host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class MachineRootEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        setenv("WINROOT", root_.c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!std::getenv("ORVEX_KEEP_WINROOT"))
            std::filesystem::remove_all(root_, ignored);
    }

private:
    std::string root_;
};

} // namespace

// Generated for each test program (cmake/Orvex.cmake): registers the classes
// of the libraries it links.
void RegisterTestedClasses();

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "UTC", 1);
    tzset();
    RegisterTestedClasses();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new MachineRootEnvironment);
    return RUN_ALL_TESTS();
}
