#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/object.h"

class TNode;
class TStringList;

// The two stacks of the filter compiler: grammar symbols and tokens, and the
// parse-tree nodes waiting for their parent.

class TStackStr : public TObject
{
public:
    TStackStr();
    ~TStackStr() override;
    const char *ClassName() const override { return "TStackStr"; }

    void Push(const std::string &s);
    std::string Pop(); // empty when the stack is
    int Count() const;

private:
    std::unique_ptr<TStringList> const list_;
};

// Holds the nodes without owning them.
class TStackPtr : public TObject
{
public:
    TStackPtr();
    ~TStackPtr() override;
    const char *ClassName() const override { return "TStackPtr"; }

    void Push(TNode *node);
    TNode *Pop(); // nullptr when the stack is empty
    int Count() const;

private:
    std::vector<TNode *> items_;
};
