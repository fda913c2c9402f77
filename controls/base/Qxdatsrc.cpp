#include "controls/base/Qxdatsrc.h"

#include "platform/classes/typinfo.h"

const TMetaClass TqxDataSource::Class { "TqxDataSource", &TDataSource::Class };

namespace
{
const TClassRegistrar<TqxDataSource> registrar({});
} // namespace

TqxDataSource::TqxDataSource(TComponent *owner)
    : TDataSource(owner)
{
}
