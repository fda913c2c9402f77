#pragma once

#include <string>

// Small modal prompts built from the class library's own controls.

// Asks for one line of text in a modal box with OK and Cancel; value holds
// the proposal and, after OK, the answer. Answers whether OK was chosen.
bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value);
// The answer, or defaultValue when the box is cancelled.
std::string InputBox(const std::string &caption, const std::string &prompt, const std::string &defaultValue);
