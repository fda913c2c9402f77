#pragma once

// Registers every class of the data-aware widgets (and of what they build on).
void RegisterControlsWidgetsClasses();
