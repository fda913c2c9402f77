#pragma once

#include <string>

// The product's uninstaller, installed beside it and named by its Uninstall
// key's UninstallString ("<this program> <product name>"). It asks before it
// removes anything and says when it is done, in Spanish through the company's
// message boxes, as the setup program speaks.

// Maps the machine's paths and sets the application up. Answers the
// product's name: the arguments after the program's, joined by blanks (the
// name may hold blanks, and the command line does not quote it).
std::string StartUninstaller(int argc, char **argv);

// Asks, then removes every file that the setup recorded in the product's
// Uninstall key (a shared file only once no other product counts on it),
// the program running this when it lies in a folder of the product, the
// folders left empty and the key, and says how it went. Answers 0 when the
// product is gone, 1 when it is not installed or a file of it could not be
// removed (they are named, for the user to remove), 2 when the user chose
// not to go on.
int RunUninstaller(const std::string &product);
