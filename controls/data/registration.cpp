#include "controls/data/registration.h"

#include "controls/base/registration.h"
#include "controls/data/Qxdatsrc.h"
#include "controls/data/Qxdbsets.h"
#include "platform/db/registration.h"

void RegisterControlsDataClasses()
{
    RegisterControlsBaseClasses();
    RegisterDbClasses();
    RegisterClasses({ &TqxDataSource::Class, &TqxTable::Class, &TqxQuery::Class, &TqxStoredProc::Class, &TqxQBE::Class });
}
