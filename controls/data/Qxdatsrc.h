#pragma once

#include "platform/db/db.h"

// The data source the library's bound controls accept; a plain TDataSource
// reads back as none from their DataSource property.
class TqxDataSource : public TDataSource
{
public:
    explicit TqxDataSource(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
