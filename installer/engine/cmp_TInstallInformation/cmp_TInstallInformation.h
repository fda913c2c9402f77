#pragma once

#include <string>

#include "platform/classes/classes.h"

// What the product is: the install component's Information. ProductName also
// names the product's Uninstall key.
class TInstallInformation : public TPersistent
{
public:
    TInstallInformation();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    // Product
    const std::string &CompanyName() const { return companyName_; }
    void SetCompanyName(const std::string &value) { companyName_ = value; }
    const std::string &ProductName() const { return productName_; }
    void SetProductName(const std::string &value) { productName_ = value; }
    const std::string &Version() const { return version_; }
    void SetVersion(const std::string &value) { version_ = value; }

private:
    std::string companyName_;
    std::string productName_;
    std::string version_;
};
