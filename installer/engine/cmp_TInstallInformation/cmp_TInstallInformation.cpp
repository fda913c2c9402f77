#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"

#include "platform/classes/typinfo.h"

const TMetaClass TInstallInformation::Class { "TInstallInformation", &TPersistent::Class };

namespace
{

constexpr const char *DefaultCompanyName = "My Company";
constexpr const char *DefaultProductName = "My product";
constexpr const char *DefaultVersion = "1.0";

// clang-format off
using P = TPublish<TInstallInformation>;
const TClassRegistrar<TInstallInformation> registrar({
    //         name            getter                              setter                                 default
    P::String ("CompanyName",  &TInstallInformation::CompanyName,  &TInstallInformation::SetCompanyName,  DefaultCompanyName),
    P::String ("ProductName",  &TInstallInformation::ProductName,  &TInstallInformation::SetProductName,  DefaultProductName),
    P::String ("Version",      &TInstallInformation::Version,      &TInstallInformation::SetVersion,      DefaultVersion),
});
// clang-format on

} // namespace

TInstallInformation::TInstallInformation()
    : companyName_(DefaultCompanyName)
    , productName_(DefaultProductName)
    , version_(DefaultVersion)
{
}

void TInstallInformation::Assign(const TPersistent *source)
{
    if (const auto *info = dynamic_cast<const TInstallInformation *>(source)) {
        companyName_ = info->companyName_;
        productName_ = info->productName_;
        version_ = info->version_;
        return;
    }
    TPersistent::Assign(source);
}
