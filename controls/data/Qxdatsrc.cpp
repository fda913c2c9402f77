#include "controls/data/Qxdatsrc.h"

#include "platform/classes/typinfo.h"

const TMetaClass TqxDataSource::Class { "TqxDataSource", &TDataSource::Class };

namespace {
const TClassRegistrar<TqxDataSource> dataSourceRegistrar({});
}

TqxDataSource::TqxDataSource(TComponent *owner)
    : TDataSource(owner)
{
}
