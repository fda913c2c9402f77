#include "tests/installer/engine/install_support.h"

namespace install_test
{

const TMetaClass TSetupForm::Class { "TSetupForm", &TForm::Class };
static const TClassRegistrar<TSetupForm> setupFormRegistrar({});
// A test program's own classes: its sources are always linked.
static const bool registered = (RegisterClass(TSetupForm::Class), true);

} // namespace install_test
