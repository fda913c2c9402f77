#pragma once
// Not public API: the item list of a control that rebuilds its window from it.

#include "platform/rtl/strings.h"

// The items of a list box, a combo box or a radio group: the control
// rebuilds its window's list after every change, or once when an update ends.
template <class TOwner> class TItemStrings : public TStringList
{
public:
    explicit TItemStrings(TOwner *owner)
        : owner_(owner)
    {
    }

protected:
    void Changed() override
    {
        if (UpdateCount() == 0)
            owner_->ItemsChanged();
        TStringList::Changed();
    }

private:
    TOwner *owner_;
};
