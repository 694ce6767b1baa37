#include "app/DesktopSaveDialog.h"
#include "app/ImageLibrary.h"
#include "app/InformationOptions.h"
#include "app/Interruption.h"
#include "app/RunModes.h"
#include "diagnostics/SupportLink.h"
#include "export/EngineDescription.h"
#include "export/SavePresentation.h"
#include "ui/MessageCatalogue.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Before any other thread exists, so that every thread inherits it.
    InstallInterruptionCleanup();
    LoadMessageCatalogue();
    // The support link describes the engine when the failure did not.
    SetInstalledEngineDescriber([] { return DescribeInstalledPowerPoint(); });
    // A failed save asks the user on the desktop, when there is one.
    SetSaveDialog(DesktopSaveDialog);
    // The arguments arrive already split; position 0 is the program itself.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (PrintInformation(arguments, std::cout))
        return 0;
    {
        ImageLibrary imageLibrary;
        RunApplication(arguments);
    }
    return 0;
}
