// The setup program: its main form carries the whole installation, which
// runs by itself once the window first shows (or builds the distribution
// with -b).
#include "installer/app/setupprogram.h"
#include "platform/ui/forms.h"

int main(int argc, char **argv)
{
    StartSetupProgram(argc, argv);
    const int result = RunSetupProgram();
    ShutdownApplication();
    return result;
}
