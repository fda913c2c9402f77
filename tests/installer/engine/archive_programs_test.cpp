#include "archive_support.h"

#include <sys/stat.h>

// Installed programs must start: executables and scripts come out of the
// archive runnable, everything else as plain data.
TEST_F(ArchiveTest, ExtractedProgramsKeepTheirExecuteBits)
{
    const std::vector<std::pair<std::string, bool>> files = {
        { "tool.sh", true },
        { "prog", true },
        { "notes.txt", false },
    };
    const std::vector<std::string> sources = {
        Write("in/tool.sh", "#!/bin/sh\necho hola\n"),
        Write("in/prog", std::string("\x7f" "ELF", 4) + RandomBytes(64, 7)),
        Write("in/notes.txt", "solo texto\n"),
    };
    Build(Path("p.kvr"), sources);
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("p.kvr"));
    kc.SetExtractDirectory(Path("out"));
    for (const std::string &s : sources)
        kc.FilesToProcess()->Add(s);
    kc.ExtractFiles();
    for (const auto &[name, program] : files) {
        SCOPED_TRACE(name);
        struct stat st {};
        ASSERT_EQ(stat(Host(Path("out/" + name)).c_str(), &st), 0);
        EXPECT_EQ((st.st_mode & S_IXUSR) != 0, program);
    }
}
