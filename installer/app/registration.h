#pragma once

// The setup program's main form, with the wizard and the installation
// components below it (see platform/classes/registration.h).
void RegisterInstallerAppClasses();
