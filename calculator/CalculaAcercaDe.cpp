#include "calculator/CalculaAcercaDe.h"

#include "platform/classes/typinfo.h"

const TMetaClass TfCalculaAcercaDe::Class { "TfCalculaAcercaDe", &TFAcercaDe::Class };

namespace
{
const TClassRegistrar<TfCalculaAcercaDe> registrar({});
}

TfCalculaAcercaDe::TfCalculaAcercaDe(TComponent *owner)
    : TFAcercaDe(owner)
{
}
