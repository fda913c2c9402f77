#include "tests/support/tools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

bool HaveTool(const std::string &name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string CommandOutput(const std::string &command)
{
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::string CommandOutput(const std::string &command, const std::string &input)
{
    std::filesystem::path in = std::filesystem::temp_directory_path() / ("tool-input-" + std::to_string(getpid()));
    std::ofstream(in, std::ios::binary) << input;
    std::string output = CommandOutput(command + " < '" + in.string() + "' 2>/dev/null");
    std::filesystem::remove(in);
    return output;
}
