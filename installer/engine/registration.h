#pragma once

// The installation components a setup form's resource may name, with the
// window classes below them (see platform/classes/registration.h).
void RegisterInstallerEngineClasses();
