#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/classes/classes.h"

// The client side of a DDE conversation, as the class library's component
// holds it. The emulated machine serves one service: Program Manager
// ("PROGMAN", progman.h); a link to any other service cannot be opened.

enum TDataMode { ddeAutomatic, ddeManual };

class TDdeClientConv : public TComponent
{
public:
    explicit TDdeClientConv(TComponent *owner);
    ~TDdeClientConv() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The link
    TDataMode ConnectMode() const;
    void SetConnectMode(TDataMode value);
    const std::string &DdeService() const;
    const std::string &DdeTopic() const;
    // Closes an open link and names the new one; in ddeAutomatic it opens
    // it too and answers whether that worked.
    bool SetLink(const std::string &service, const std::string &topic);
    bool OpenLink(); // false when no server answers
    void CloseLink();
    bool Connected() const;

    // The conversation: false, or no data, when it is not open or the
    // server refuses.
    bool ExecuteMacro(const std::string &command, bool waitFlg);
    std::optional<std::string> RequestData(const std::string &item);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};
