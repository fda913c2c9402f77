#pragma once

#include <string>

class TComponent;

// Names component base, or base followed by 1, 2, ... when its owner already
// has a component of that name. A name refused for another reason (base is
// not an identifier) is refused at once: no number would make it valid.
void UniqueComponentName(TComponent *component, const std::string &base);
