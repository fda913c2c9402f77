#pragma once

#include "platform/db/db.h"

// The library's data source. It adds nothing to the platform's, but the
// library's controls take only this class as their DataSource.
class TqxDataSource : public TDataSource
{
public:
    explicit TqxDataSource(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
