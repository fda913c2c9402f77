#pragma once

// The setup program's start and run, shared by its entry and by the test
// program that plays a person at it, so that both start the same way.

// Registers the classes, takes the arguments, starts the wizard's units and
// sets the application up.
void StartSetupProgram(int argc, char **argv);
// Runs the main form until the program ends: 0 after a good build or
// installation, 1 after a failure (shown with its message), 2 when the user
// cancelled the installation.
int RunSetupProgram();
