#include "controls/base/Qxstack.h"

#include "platform/rtl/strings.h"

TStackStr::TStackStr()
    : list_(std::make_unique<TStringList>())
{
}

TStackStr::~TStackStr() = default;

void TStackStr::Push(const std::string &s)
{
    list_->Add(s);
}

std::string TStackStr::Pop()
{
    const int last = list_->Count() - 1;
    if (last < 0)
        return {};
    std::string top = list_->Strings(last);
    list_->Delete(last);
    return top;
}

int TStackStr::Count() const
{
    return list_->Count();
}

TStackPtr::TStackPtr() = default;

TStackPtr::~TStackPtr() = default;

void TStackPtr::Push(TNode *node)
{
    items_.push_back(node);
}

TNode *TStackPtr::Pop()
{
    if (items_.empty())
        return nullptr;
    TNode *top = items_.back();
    items_.pop_back();
    return top;
}

int TStackPtr::Count() const
{
    return static_cast<int>(items_.size());
}
