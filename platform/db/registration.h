#pragma once

// The data-access classes a form resource may name (see platform/classes/registration.h).
void RegisterDbClasses();
