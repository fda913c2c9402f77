#pragma once

// The data-aware controls a form resource may name, with the window classes
// below them (see platform/classes/registration.h).
void RegisterControlsBaseClasses();
