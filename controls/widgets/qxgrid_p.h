#pragma once
// Not public API: scope guards the grid's units share.

#include "platform/db/db.h"

namespace qxgrid {

// Sets a flag for a scope and clears it however the scope is left.
struct TFlagGuard {
    explicit TFlagGuard(bool &flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~TFlagGuard() { flag_ = false; }
    bool &flag_;
};

// Shows another row of the link's window for a while.
struct TActiveRecordGuard {
    TActiveRecordGuard(TDataLink *link, int record)
        : link_(link)
        , saved_(link->ActiveRecord())
    {
        link_->SetActiveRecord(record);
    }
    ~TActiveRecordGuard() { link_->SetActiveRecord(saved_); }
    TDataLink *link_;
    int saved_;
};

} // namespace qxgrid
