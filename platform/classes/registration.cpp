#include "platform/classes/registration.h"

#include "platform/classes/classes.h"

void RegisterComponentClasses()
{
    RegisterClasses({ &TPersistent::Class, &TComponent::Class, &TCollection::Class, &TCollectionItem::Class });
}
