#include "installer/engine/routines/routines_Components.h"

#include "platform/classes/classes.h"

void UniqueComponentName(TComponent *component, const std::string &base)
{
    for (int n = 0;; ++n) {
        const std::string name = n == 0 ? base : base + std::to_string(n);
        try {
            component->SetName(name);
            return;
        } catch (const Exception &) {
            // Only a name taken by a sibling is worth another number; each
            // sibling can take one name only, so this ends.
            TComponent *owner = component->Owner();
            TComponent *holder = owner ? owner->FindComponent(name) : nullptr;
            if (!holder || holder == component)
                throw;
        }
    }
}
