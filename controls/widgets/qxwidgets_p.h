#pragma once
// Not public API: small helpers the date and time controls share.

#include <cmath>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

namespace qxwidgets {

// Whole days of a moment, as limits compare them.
inline int Days(TDateTime value) { return static_cast<int>(std::trunc(value)); }
// The time of day of a moment, before or after 1899-12-30.
inline TDateTime TimeOfDay(TDateTime value) { return std::fabs(value - std::trunc(value)); }
// The day of date at the time of day time.
inline TDateTime WithTime(TDateTime date, TDateTime time)
{
    return date >= 0 ? std::trunc(date) + time : std::trunc(date) - time;
}

// Whether object's class or one of its ancestors is called name: the
// controls test for the grid and the picker by name, without linking them.
inline bool InheritsFromClassNamed(const TObject *object, const char *name)
{
    for (const TMetaClass *c = object ? object->ClassType() : nullptr; c; c = c->ClassParent())
        if (SameText(c->ClassName(), name))
            return true;
    return false;
}

} // namespace qxwidgets
