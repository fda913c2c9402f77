#pragma once

// The library's datasets and data source, with the classes below them
// (see platform/classes/registration.h). The calculator does not link them.
void RegisterControlsDataClasses();
