#pragma once

// The rich edit classes a form resource may name (see platform/classes/registration.h).
void RegisterRichClasses();
