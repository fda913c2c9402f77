#pragma once

// Not public API: what the install component's run needs from units whose
// headers cannot meet its own in one file.

#include <string>

// The setup program's own file, named as the machine names it ("C:\..." inside
// a drive, else "Z:" and the host path).
std::string SetupProgramPath();

// The global translator's target language, the one the wizard speaks; false
// when there is no translator.
bool WizardLanguage(int &language);
void SetWizardLanguage(int language);

// The clean-up at the end of the component: the loading program's copy of
// the setup program, and its folder when the loader made it inside the
// temporary folder and nothing else is left in it.
void RemoveLoaderProgram(const std::string &programPath);
