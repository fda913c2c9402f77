#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

// A list of objects it does not own, as the class library's TList holds them:
// indexes are checked, and removing an item that is not listed does nothing.
template <typename T>
class TPointerList
{
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T *Items(int index) const
    {
        if (index < 0 || index >= Count())
            throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        return items_[static_cast<size_t>(index)];
    }
    int IndexOf(const T *item) const
    {
        const auto it = std::find(items_.begin(), items_.end(), item);
        return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
    }
    void Add(T *item) { items_.push_back(item); }
    void Remove(const T *item)
    {
        const auto it = std::find(items_.begin(), items_.end(), item);
        if (it != items_.end())
            items_.erase(it);
    }
    void Clear() { items_.clear(); }

private:
    std::vector<T *> items_;
};

// The globals of a unit, made on first use. Components freed after the
// unit's statics at program exit ask again and get null rather than a freed
// object.
template <typename T>
class TUnitGlobals
{
public:
    static T *Get()
    {
        static Holder holder;
        return gone_ ? nullptr : &holder.value;
    }

private:
    struct Holder {
        T value;
        ~Holder() { gone_ = true; }
    };
    static inline bool gone_ = false;
};
