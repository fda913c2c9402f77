#include "tests/installer/engine/install_support.h"

namespace install_test
{

const TMetaClass TSetupForm::Class { "TSetupForm", &TForm::Class };
static const TClassRegistrar<TSetupForm> setupFormRegistrar({});

} // namespace install_test
