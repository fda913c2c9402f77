#pragma once

#include <string>

// Debian's own tools that tests read our files back with (pdftotext, pandoc,
// unrtf ...): tools/bootstrap installs them, a test skips without them.
bool HaveTool(const std::string &name);

// What a shell command writes to standard output; input, when given, is fed
// to it on standard input through a temporary file.
std::string CommandOutput(const std::string &command);
std::string CommandOutput(const std::string &command, const std::string &input);
