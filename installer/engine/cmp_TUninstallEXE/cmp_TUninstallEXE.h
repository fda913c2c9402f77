#pragma once

#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"

// The install file that carries the uninstaller; its uninstall step writes
// the product's Uninstall key (display name and uninstall command).
class TUninstallEXE : public TCustomInstallFile
{
public:
    explicit TUninstallEXE(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void SetStateProperty(TInstallFileState value) { TCustomInstallFile::SetState(value); }
    void WriteUninstallInfo(const std::string &key) override;
};
