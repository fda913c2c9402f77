#pragma once

// The wizard's managers, page components and page forms, with the
// installation components below them (see platform/classes/registration.h).
void RegisterInstallerDialogsClasses();
