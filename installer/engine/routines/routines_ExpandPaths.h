#pragma once

#include <string>

class TInstallContainer;

// The user's folders as the registry names them, each without a trailing
// backslash; a missing registry value gives the folder Windows would use.
std::string GetStartMenuDir(); // else <Windows>\Startmen
std::string GetProgramsMenuDir(); // else <Start Menu>\Programs
std::string GetDesktopDir(); // else <Windows>\Desktop
std::string GetStartupDir(); // else <Windows>\Startup
std::string GetProgramFilesDir(); // else <current drive>\Program Files
std::string GetCommonFilesDir(); // else <current drive>\Program Files\Common Files

// Replaces the %-letters of text with folders (upper or lower case):
//   %a obj's destination       %b Programs menu     %c obj's Container's destination
//   %d desktop                 %f common files      %i the install's destination
//   %m Start Menu              %p program files     %s system folder
//   %w Windows folder          %% a single '%'
// Any other letter after '%' is dropped with it, as is a '%' at the end.
// %a and %c without obj, or %c without its Container, raise
// EAICannotExpandContainerDirMV; %i without install component
// EAICannotExpandInstallDirMV.
std::string ExpandMetaVariables(const std::string &text, TInstallContainer *obj);
