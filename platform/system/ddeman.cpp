#include "platform/system/ddeman.h"

#include "platform/rtl/sysutils.h"
#include "platform/system/progman.h"

const TMetaClass TDdeClientConv::Class { "TDdeClientConv", &TComponent::Class };

struct TDdeClientConv::Impl {
    TDataMode connectMode = ddeAutomatic;
    std::string service;
    std::string topic;
    std::unique_ptr<TProgmanConversation> progman;
};

TDdeClientConv::TDdeClientConv(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
}

TDdeClientConv::~TDdeClientConv() = default;

TDataMode TDdeClientConv::ConnectMode() const
{
    return d->connectMode;
}
void TDdeClientConv::SetConnectMode(TDataMode value)
{
    d->connectMode = value;
}
const std::string &TDdeClientConv::DdeService() const
{
    return d->service;
}
const std::string &TDdeClientConv::DdeTopic() const
{
    return d->topic;
}
bool TDdeClientConv::Connected() const
{
    return d->progman != nullptr;
}

bool TDdeClientConv::SetLink(const std::string &service, const std::string &topic)
{
    CloseLink();
    d->service = service;
    d->topic = topic;
    return d->connectMode == ddeAutomatic ? OpenLink() : true;
}

bool TDdeClientConv::OpenLink()
{
    CloseLink();
    if (SameText(d->service, "PROGMAN"))
        d->progman = TProgmanConversation::Open(d->topic);
    return Connected();
}

void TDdeClientConv::CloseLink()
{
    d->progman.reset();
}

bool TDdeClientConv::ExecuteMacro(const std::string &command, bool)
{
    return d->progman && d->progman->Execute(command);
}

std::optional<std::string> TDdeClientConv::RequestData(const std::string &item)
{
    if (!d->progman)
        return std::nullopt;
    return d->progman->Request(item);
}
