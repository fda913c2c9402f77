// The product's uninstaller: asks, removes the product, says how it went.
#include "installer/uninstaller/uninstaller.h"
#include "platform/ui/forms.h"

int main(int argc, char **argv)
{
    const std::string product = StartUninstaller(argc, argv);
    const int result = RunUninstaller(product);
    ShutdownApplication();
    return result;
}
