#pragma once

#include "calculator/zacerca.h"

// The calculator's about box: the company's, with the calculator's texts.
class TfCalculaAcercaDe : public TFAcercaDe
{
public:
    explicit TfCalculaAcercaDe(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
