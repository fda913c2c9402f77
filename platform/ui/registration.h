#pragma once

// The window classes a form resource may name (see platform/classes/registration.h).
void RegisterUiClasses();
