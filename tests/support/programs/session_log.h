#pragma once

// What the scripted session programs share: their settings come from the
// environment, and what the person saw and did goes, a line each, to
// $ORVEX_SESSION_LOG for the test to read.

#include <cstdlib>
#include <fstream>
#include <string>

inline std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

inline void Log(const std::string &line)
{
    if (const std::string log = Env("ORVEX_SESSION_LOG"); !log.empty())
        std::ofstream(log, std::ios::app) << line << "\n";
}
