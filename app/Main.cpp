#include "app/DesktopSaveDialog.h"
#include "app/ImageLibrary.h"
#include "app/InformationOptions.h"
#include "app/Interruption.h"
#include "app/ProgramServices.h"
#include "app/RunModes.h"
#include "export/EngineDescription.h"
#include "ui/MessageCatalogue.h"

#include <iostream>
#include <string>
#include <vector>

using namespace exporting;

using namespace ui;

int main(int argc, char** argv)
{
    // Before any other thread exists, so that every thread inherits it.
    app::InstallInterruptionCleanup();
    LoadMessageCatalogue();
    app::ProgramServices services;
    // A failed save asks the user on the desktop, when there is one.
    services.save.dialog = app::DesktopSaveDialog;
    // The support link describes the engine when the failure did not.
    services.describeInstalledEngine = [] { return DescribeInstalledPowerPoint(); };
    // The arguments arrive already split; position 0 is the program itself.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (app::PrintInformation(arguments, std::cout))
        return 0;
    {
        app::ImageLibrary imageLibrary;
        app::RunApplication(arguments, services);
    }
    return 0;
}
